#include "ui/page/StoreKeeper.h"
#include "ui/page/PageTimers.h"

namespace halvern {

void StoreKeeper::changed() {
    unsaved_ = true;
    // A failing disk is tried again on its own schedule; a change does not put it off.
    if (!failure_) timers_.arm(TimerId::SaveProfiles, kStoreSaveDelay);
}

bool StoreKeeper::saveNow() {
    timers_.kill(TimerId::SaveProfiles);
    std::optional<std::string> error = store_.save();
    const bool outcomeChanged = error.has_value() != failure_.has_value() || (error && *error != *failure_);
    failure_ = std::move(error);
    unsaved_ = failure_.has_value();
    if (failure_) timers_.arm(TimerId::SaveProfiles, kStoreRetryDelay);
    if (outcomeChanged && report_) report_(failure_);
    return !failure_;
}

bool StoreKeeper::saveIfUnsaved() { return !unsaved_ || saveNow(); }

bool StoreKeeper::onTimer(int id) {
    if (id != TimerId::SaveProfiles) return false;
    saveNow();
    return true;
}

}  // namespace halvern
