// The button that opens the macro editor over the page, and what follows its closing.
#include <algorithm>

#include "device/HookLibrary.h"
#include "storage/ProfileStore.h"
#include "ui/kit/SkinWindow.h"
#include "ui/macro/CMS_1_Macro.h"
#include "ui/page/CMS_1_Page.h"

namespace halvern {

void CMS_1_Page::openMacroEditor() {
    if (!window_) return;
    CMS_1_Macro::Parts parts{macros_};
    if (parts_.hooks && parts_.hooks->loaded()) parts.hooks = parts_.hooks->table();
    parts.keyboard = parts_.keyboard;
    parts.dataFolder = parts_.dataFolder;
    const std::vector<MacroRename> renames = CMS_1_Macro::Run(window_->skin(), window_, std::move(parts));
    reconcileMacroCopies(renames);
}

void CMS_1_Page::reconcileMacroCopies(const std::vector<MacroRename>& renames) {
    // Button entries hold copies of their macros, linked by name: the edited list is
    // what they play from now on, and a macro gone under its name frees its buttons.
    const std::vector<std::size_t> touched = ResynchroniseProfiles(profiles_.profiles(), macros_, renames);
    if (touched.empty()) return;
    // Profiles other than the current one are not applied, and only an apply saves;
    // kept unsaved, a copy would still bear a name the macro list no longer has.
    saveProfileStore();
    const bool currentTouched = std::any_of(touched.begin(), touched.end(), [&](std::size_t p) {
        return profiles_.profiles()[p].get() == current_;
    });
    if (!currentTouched) return;
    for (int n = 0; n < static_cast<int>(keyButtons_.size()); ++n) showButtonAssignment(n);
    applyNow();
}

}  // namespace halvern
