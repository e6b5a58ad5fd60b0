#include "ui/page/CMS_1_Page.h"

#include <QApplication>
#include <QLoggingCategory>

#include <utility>

#include "device/DeviceLink.h"
#include "ui/page/PageTimers.h"
#include "halvern_abi.h"
#include "platform/DataPaths.h"
#include "ui/dialogs/CMsgWnd.h"
#include "ui/kit/Button.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Label.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"
#include "ui/kit/Slider.h"
#include "ui/page/AutoProfileSection.h"
#include "ui/page/ButtonSection.h"
#include "ui/page/DpiSection.h"
#include "ui/page/MousePicture.h"
#include "ui/page/ProfileSection.h"
#include "ui/page/SectionHeaders.h"
#include "ui/page/SettingsSection.h"

Q_DECLARE_LOGGING_CATEGORY(lcPage)

namespace halvern {

namespace {

constexpr std::chrono::milliseconds kEffectPause{200};
constexpr std::chrono::milliseconds kSliderPause{500};
// How soon a switch held back by an edit is tried again.
constexpr std::chrono::milliseconds kFollowRetry{1000};

void LogStoreLoad(const char* store, const StoreLoadResult& result) {
    for (const std::string& problem : result.problems)
        qCWarning(lcPage).noquote() << store << QString::fromStdString(problem);
}

}  // namespace

CMS_1_Page::CMS_1_Page(Parts parts)
    : parts_(std::move(parts)),
      profiles_(ModelFolder(parts_.dataFolder)),
      macros_(ModelFolder(parts_.dataFolder)),
      context_(parts_, profiles_, macros_),
      keeper_(profiles_, parts_.timers, [this](const std::optional<std::string>& error) {
          if (error) qCWarning(lcPage).noquote() << "profile store not saved:" << QString::fromStdString(*error);
          else qCInfo(lcPage) << "profile store saved again";
          showState();
      }) {}

CMS_1_Page::~CMS_1_Page() = default;

// ---- Start-up ----

void CMS_1_Page::init(kit::SkinWindow& window) {
    window_ = &window;
    context_.setWindow(&window);
    bindSections();
    headers_->showAtStart();

    Transports transports = parts_.device ? parts_.device->transports() : parts_.transports;
    worker_ = std::make_unique<ApplyWorker>(parts_.links, transports, parts_.clock, *this,
                                            [w = window_](ApplyWorker::Task task) { w->postTask(std::move(task)); });
    picture_->showStored();
}

void CMS_1_Page::bindSections() {
    headers_ = std::make_unique<SectionHeaders>(parts_.timers);
    profileSection_ = std::make_unique<ProfileSection>(context_);
    dpi_ = std::make_unique<DpiSection>(context_);
    buttons_ = std::make_unique<ButtonSection>(context_);
    light_ = std::make_unique<LightSection>(context_);
    polling_ = std::make_unique<PollingSection>(context_);
    power_ = std::make_unique<SettingsSection>(
        context_, std::initializer_list<SettingId>{SettingId::SleepTimer, SettingId::LightOffTimer});
    sensor_ = std::make_unique<SettingsSection>(
        context_, std::initializer_list<SettingId>{SettingId::KeyDebounce, SettingId::LiftOff, SettingId::Ripple,
                                                   SettingId::AngleSnap, SettingId::MoveMode});
    picture_ = std::make_unique<MousePicture>(parts_.dataFolder);
    autoProfiles_ =
        std::make_unique<AutoProfileSection>(context_, parts_.focus, parts_.ownApplications, [this] { followFocus(); });
    profileSection_->onRenamed(
        [this](std::u16string_view from, std::u16string_view to) { autoProfiles_->profileRenamed(from, to); });
    sections_ = {headers_.get(), profileSection_.get(), dpi_.get(),     light_.get(),   polling_.get(),
                 power_.get(),   sensor_.get(),         buttons_.get(), picture_.get(), autoProfiles_.get()};
    for (PageSection* section : sections_) {
        SectionBinder binder(*window_, [this, section](kit::Control* c) { routes_[c] = section; });
        section->bind(binder);
    }

    SectionBinder own(*window_, [](kit::Control*) {});
    applyBtn_ = own.find<kit::Button>(u"ms_1_apply_btn"_qs);
    wired_ = own.find<kit::Control>(u"ms_1_wired"_qs);
    wireless_ = own.find<kit::Control>(u"ms_1_wireless"_qs);
    ble_ = own.find<kit::Control>(u"ms_1_BLE"_qs);
    applyProgress_ = own.findQuietly<kit::Progress>(u"apply_progress"_qs);
    applyRing_ = own.findQuietly<kit::Control>(u"apply_ring"_qs);  // optional in every skin
    applyState_ = own.find<kit::Label>(u"ms_1_label_apply_state"_qs);
    if (applyState_) applyState_->setTextKeyMode(true);
    battery_ = std::make_unique<BatteryDisplay>(parts_.timers, own.find<kit::Progress>(u"ms_1_progress_power"_qs),
                                                own.find<kit::Label>(u"ms_1_label_power"_qs), u"charging_text"_qs);
}

void CMS_1_Page::loadProfiles() {
    // Until the store is read the page shows nothing and applies nothing.
    const StoreLoadResult loaded = profiles_.load(context_.text("add_profile_text").toStdU16String(), Leftovers::Remove,
                                                  MissingStore::CallerSaves);
    storeToWrite_ = loaded.outcome == StoreLoadResult::Outcome::Missing;
    LogStoreLoad("profile store", loaded);
    LogStoreLoad("macro store", macros_.load());
    for (auto& profile : profiles_.profiles())
        if (BringIntoRange(*profile))
            qCInfo(lcPage).noquote() << "profile" << QString::fromStdU16String(profile->nameText())
                                     << "had values out of range; shown and sent within range";

    profileSection_->fillList();
    autoProfiles_->loadRules();
    current_ = profiles_.currentProfile();
    if (current_) {
        lastApplied_ = std::make_unique<MouseProfile>(*current_);
        worker_->adoptAsApplied(*current_);
    }
    // The first apply after start-up sends every group: what the mouse holds is unknown.
    worker_->markFullApply();
    if (parts_.device) parts_.device->applyInitialBleLink();
    refreshControls();
    if (layoutComplete_) layoutComplete();
}

void CMS_1_Page::layoutComplete() {
    layoutComplete_ = true;
    if (std::exchange(storeToWrite_, false)) keeper_.saveNow();
    picture_->keepFirstChoice();
    autoProfiles_->startWatching();
}

// ---- Refresh ----

void CMS_1_Page::refreshControls() {
    updateLinkSectionsNow();
    if (!current_) return;
    for (PageSection* section : sections_) section->refresh(*current_);
}

void CMS_1_Page::updateLinkSectionsNow() {
    light_->showPanels(current_);
    const LinkState& links = parts_.links;
    headers_->followLinks(links.wiredLink == 1, links.bleLink != 0);
}

// ---- Edits ----

void CMS_1_Page::notify(const kit::Notification& n) {
    if (!n.sender) return;
    if (n.sender == applyBtn_ && n.type == kit::notify::kClick) {
        applyNow();
        return;
    }
    const auto route = routes_.find(n.sender);
    if (route == routes_.end() || !current_) return;
    take(route->second->handle(n, *current_));
}

void CMS_1_Page::onMenuItem(const QString& item) {
    if (current_) take(buttons_->onMenuItem(item, *current_));
}

void CMS_1_Page::reconcileMacroCopies(const std::vector<MacroRename>& renames) {
    if (current_) take(buttons_->reconcileMacroCopies(renames, *current_));
}

kit::MenuWindow* CMS_1_Page::assignMenu() const { return buttons_ ? buttons_->assignMenu() : nullptr; }

void CMS_1_Page::take(const PageEdit& edit) {
    if (edit.switched) current_ = profiles_.currentProfile();
    if (edit.switched || edit.refresh) refreshControls();
    if (edit.whole && worker_) worker_->markFullApply();
    switch (edit.keep) {
        case PageEdit::Keep::Nothing: break;
        case PageEdit::Keep::Soon: keeper_.changed(); break;
        case PageEdit::Keep::Now: keeper_.saveNow(); break;
    }
    switch (edit.send) {
        case PageEdit::Send::Nothing:
        case PageEdit::Send::WithNextApply: break;
        case PageEdit::Send::AtOnce: applyNow(); break;
        case PageEdit::Send::AfterEffect: applyAfter(kEffectPause); break;
        case PageEdit::Send::AfterSlider: applyAfter(kSliderPause); break;
    }
}

// ---- Applies ----

void CMS_1_Page::applyNow() {
    if (window_) window_->post(UM_APPLY_REQUEST);
}

void CMS_1_Page::applyAfter(std::chrono::milliseconds pause) {
    // Re-arming restarts the wait, so a drag ends in one request after its last value.
    parts_.timers.arm(TimerId::ApplyDebounce, pause);
    editsWaitForPause_ = true;
}

void CMS_1_Page::onApplyRequest() {
    editsWaitForPause_ = false;
    if (!worker_ || !current_) return;
    ++appliesRequested_;
    worker_->requestApply(*current_);
}

void CMS_1_Page::applyDropped() {
    ++appliesDropped_;
    applyWaitsForLink_ = true;
    if (followHeld_) followFocus();
}

void CMS_1_Page::stopLinkWatchdog() { parts_.timers.kill(TimerId::WirelessTimeout); }

void CMS_1_Page::startLinkWatchdog(std::chrono::milliseconds delay) {
    // The watchdog only means something while the receiver is the link.
    if (parts_.links.wirelessLink != 0) parts_.timers.arm(TimerId::WirelessTimeout, delay);
}

void CMS_1_Page::setApplyRingVisible(bool visible) {
    kit::SetVisible(applyRing_, visible);
    if (!visible && applyProgress_) applyProgress_->setValue(0);
}

void CMS_1_Page::applyFinished(ApplyOutcome outcome) {
    ++appliesDone_;
    lastOutcome_ = outcome;
    showState();
    // What did not reach a mouse that went away goes out when a link is back.
    if (outcome == ApplyOutcome::Incomplete) applyWaitsForLink_ = true;
    // The last window in front wins once the apply is over.
    if (followHeld_) followFocus();
}

// ---- The application in front ----

bool CMS_1_Page::userEditing() const {
    if (editsWaitForPause_ || QApplication::activeModalWidget() || QApplication::activePopupWidget()) return true;
    if (!window_) return false;
    if (window_->isActiveWindow() && QApplication::mouseButtons() != Qt::NoButton) return true;
    const QList<kit::Edit*> boxes = window_->findChildren<kit::Edit*>();
    return std::any_of(boxes.begin(), boxes.end(), [](const kit::Edit* box) { return box->hasUncommittedTyping(); });
}

void CMS_1_Page::followFocus() {
    if (!current_ || !autoProfiles_) return;
    const std::optional<int> row = autoProfiles_->wantedRow();
    if (!row || *row == profiles_.selectedProfile()) {
        followHeld_ = false;
        return;
    }
    if (applyBusy() || userEditing()) {
        // An apply's end comes by itself; an edit's end is looked for again shortly.
        followHeld_ = true;
        if (!applyBusy()) parts_.timers.arm(TimerId::FollowFocus, kFollowRetry);
        return;
    }
    followHeld_ = false;
    qCInfo(lcPage) << "automatic profiles: profile" << *row << "for the window in front";
    take(profileSection_->followRule(*row));
}

void CMS_1_Page::showState() {
    if (!applyState_) return;
    // Said in the page, not in a window of its own: the next apply sends again what did
    // not get through, and a store that could not be written is tried again, so there is
    // nothing for the user to decide.
    const char* key = nullptr;
    if (keeper_.failure()) key = "store_not_saved_text";
    else if (lastOutcome_ == ApplyOutcome::Unconfirmed) key = "apply_unconfirmed_text";
    else if (lastOutcome_ == ApplyOutcome::Incomplete) key = "apply_incomplete_text";
    else if (lastOutcome_ == ApplyOutcome::MacroCut) key = "apply_macro_cut_text";
    if (key) applyState_->setText(QString::fromLatin1(key));
    kit::SetVisible(applyState_, key != nullptr);
}

void CMS_1_Page::saveProfileStore() {
    // An apply ended: what it was made from is kept now rather than a moment later.
    keeper_.saveIfUnsaved();
}

void CMS_1_Page::lastAppliedChanged(const MouseProfile& lastApplied) {
    if (!lastApplied_) lastApplied_ = std::make_unique<MouseProfile>(lastApplied);
    else *lastApplied_ = lastApplied;
}

void CMS_1_Page::applyProgress(std::size_t sent, std::size_t planned) {
    if (!applyProgress_ || planned == 0) return;
    applyProgress_->setValue(static_cast<int>(sent * 100 / planned));
}

bool CMS_1_Page::onTimer(int id) {
    if (keeper_.onTimer(id)) return true;
    if (id == TimerId::FollowFocus) {
        parts_.timers.kill(TimerId::FollowFocus);
        if (followHeld_) followFocus();
        return true;
    }
    if (id != TimerId::ChargingAnimation) return false;
    battery_->tick();
    return true;
}

void CMS_1_Page::keepBeforeQuit() {
    // Nothing is lost without the user's word: as long as the store cannot be written,
    // OK tries again and Cancel ends the program without the changes.
    while (!keeper_.saveIfUnsaved()) {
        if (!window_) return;
        if (CMsgWnd::Ask(window_->skin(), window_, u"warning_title_text"_qs, u"store_not_saved_quit_text"_qs) != 1)
            return;
    }
}

void CMS_1_Page::destroy() {
    // The worker lets the send in progress end; what it posts after this is dropped
    // with the window.
    if (worker_) worker_->quit();
    // The end of the program without the tray's Quit (the session ending) keeps the
    // changes too, without asking.
    keeper_.saveIfUnsaved();
}

// ---- What the mouse did ----

void CMS_1_Page::settingReported(SettingId setting, std::int32_t value) {
    if (!current_) return;
    SetValue(*current_, setting, value);
    if (worker_) worker_->adoptReported(setting, value, parts_.clock.now());
    keeper_.changed();
}

void CMS_1_Page::mouseSaved() { keeper_.saveNow(); }

void CMS_1_Page::showIndicator(Indicator which, bool visible) {
    switch (which) {
        case Indicator::Wired: kit::SetVisible(wired_, visible); break;
        case Indicator::Wireless: kit::SetVisible(wireless_, visible); break;
        case Indicator::Ble: kit::SetVisible(ble_, visible); break;
    }
}

void CMS_1_Page::updateLinkSections() {
    updateLinkSectionsNow();
    // Edits made while no link was up go out as soon as one is.
    if (applyWaitsForLink_ && parts_.links.anyLink != 0) {
        applyWaitsForLink_ = false;
        applyNow();
    }
}

void CMS_1_Page::selectDpiLevel(int level) { dpi_->selectLevel(level); }

void CMS_1_Page::selectPollingRate(int pollingRate) { polling_->showSetting(SettingId::Polling, pollingRate); }

void CMS_1_Page::selectLightEffect(int effect) {
    light_->showSetting(SettingId::LightEffect, effect);
    updateLinkSectionsNow();
}

}  // namespace halvern
