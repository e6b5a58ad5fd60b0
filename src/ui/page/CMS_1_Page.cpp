#include "ui/page/CMS_1_Page.h"

#include <QLoggingCategory>

#include <algorithm>
#include <utility>

#include "device/DeviceLink.h"
#include "halvern_abi.h"
#include "platform/DataPaths.h"
#include "storage/SettingsFile.h"
#include "ui/kit/Button.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Container.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Label.h"
#include "ui/kit/List.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"
#include "ui/kit/Slider.h"
#include "ui/page/PageControls.h"
#include "ui/page/PageRanges.h"

Q_LOGGING_CATEGORY(lcPage, "halvern.page")

namespace halvern {

namespace {

struct SectionName {
    const char* check;
    const char* panel;
    bool scrolls;  // the lower sections scroll into view when opened
};
constexpr SectionName kSections[] = {
    {"ms_1_check_button", "ms_1_hor_button", false},
    {"ms_1_check_profile", "ms_1_ver_profile", false},
    {"ms_1_check_power", "ms_1_ver_power", false},
    {"ms_1_check_dpi", "ms_1_ver_dpi", false},
    {"ms_1_check_light", "ms_1_ver_light", false},
    {"ms_1_check_prate", "ms_1_ver_prate", false},
    {"ms_1_check_mouse_attribute", "ms_1_ver_mouse_attribute", false},
    {"ms_1_check_power_setting", "ms_1_ver_power_setting", true},
    {"ms_1_check_lift_of_distance", "ms_1_hor_lift_of_distance", true},
    {"ms_1_check_key_debounce", "ms_1_hor_key_debounce", true},
    {"ms_1_check_ripple_control", "ms_1_hor_ripple_control", true},
    {"ms_1_check_angle_snap", "ms_1_hor_angle_snap", true},
};
constexpr int kLightSection = 4;
constexpr int kPrateSection = 5;
constexpr int kLiftSection = 8;
constexpr int kDebounceSection = 9;

constexpr std::chrono::milliseconds kScrollDelay{10};

using page::SetVisible;

bool IsVisible(kit::Control* control) { return control && !control->widget()->isHidden(); }

void LogStoreLoad(const char* store, const StoreLoadResult& result) {
    for (const std::string& problem : result.problems)
        qCWarning(lcPage).noquote() << store << QString::fromStdString(problem);
    if (result.keptAs)
        qCWarning(lcPage).noquote() << store << "repaired; the original is kept at"
                                    << QString::fromStdString(result.keptAs->string());
    if (result.saveError) qCWarning(lcPage).noquote() << store << QString::fromStdString(*result.saveError);
}

}  // namespace

CMS_1_Page::CMS_1_Page(Parts parts)
    : parts_(std::move(parts)),
      profiles_(ModelFolder(parts_.dataFolder)),
      macros_(ModelFolder(parts_.dataFolder)),
      battery_(std::make_unique<BatteryDisplay>(parts_.timers, nullptr, nullptr, QString())) {}

CMS_1_Page::~CMS_1_Page() { destroy(); }

QString CMS_1_Page::text(const char* key) const {
    return window_ ? window_->skin().text(QString::fromLatin1(key)) : QString::fromLatin1(key);
}

template <typename T>
T* CMS_1_Page::find(const QString& name) const {
    if (!window_) return nullptr;
    T* control = window_->find<T>(name);
    // A skin without the control leaves that part of the page inert; say so once.
    if (!control) qCWarning(lcPage).noquote() << "the skin has no control" << name;
    return control;
}

template <typename T, std::size_t N>
void CMS_1_Page::findNumbered(std::array<T*, N>& out, const char* format) const {
    for (std::size_t i = 0; i < N; ++i) out[i] = find<T>(QString::asprintf(format, static_cast<int>(i + 1)));
}

// ---- Start-up ----

void CMS_1_Page::init(kit::SkinWindow& window) {
    window_ = &window;
    bindControls();

    for (std::size_t i = 0; i < sections_.size(); ++i) {
        // Only the light section starts closed; the lift-off toggle cannot be opened.
        if (sections_[i].check) sections_[i].check->setChecked(i != kLightSection, kit::Notify::No);
    }
    SetVisible(sections_[kLiftSection].check, false);
    SetVisible(sections_[kLightSection].panel, false);

    Transports transports = parts_.device ? parts_.device->transports() : parts_.transports;
    worker_ = std::make_unique<ApplyWorker>(parts_.links, transports, parts_.clock, *this,
                                            [w = window_](ApplyWorker::Task task) { w->postTask(std::move(task)); });

    const SettingsFile::StartupModelId startup = SettingsFile(parts_.dataFolder).modelIdForStartup();
    modelIdToWrite_ = startup.writeBack;
    showModelPicture(startup.id);
}

void CMS_1_Page::bindControls() {
    findNumbered(keyButtons_, "ms_1_btn_key_%d");
    macroBtn_ = find<kit::Button>(u"ms_1_btn_macro"_qs);
    profileList_ = find<kit::List>(u"ms_1_list_profile"_qs);
    profileAdd_ = find<kit::Button>(u"ms_1_profile_add_btn"_qs);
    profileDelete_ = find<kit::Button>(u"ms_1_profile_delete_btn"_qs);
    profileRename_ = find<kit::Button>(u"ms_1_profile_rename_btn"_qs);
    profileImport_ = find<kit::Button>(u"ms_1_profile_import_btn"_qs);
    profileExport_ = find<kit::Button>(u"ms_1_profile_export_btn"_qs);
    profileReset_ = find<kit::Button>(u"ms_1_profile_reset_btn"_qs);
    wired_ = find<kit::Control>(u"ms_1_wired"_qs);
    wireless_ = find<kit::Control>(u"ms_1_wireless"_qs);
    ble_ = find<kit::Control>(u"ms_1_BLE"_qs);
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        sections_[i].check = find<kit::CheckBox>(QString::fromLatin1(kSections[i].check));
        sections_[i].panel = find<kit::Control>(QString::fromLatin1(kSections[i].panel));
        sections_[i].scrolls = kSections[i].scrolls;
    }
    findNumbered(dpiSliders_, "ms_1_slider_dpi_%d");
    findNumbered(dpiLabels_, "ms_1_label_dpi_%d");
    findNumbered(dpiOptions_, "ms_1_option_dpi_step_%d");
    findNumbered(dpiColorBtns_, "ms_1_btn_dpi_color_%d");
    findNumbered(dpiEdits_, "ms_1_edit_dpi_%d");
    applyDpiBtn_ = find<kit::Button>(u"ms_1_btn_apply_dpi"_qs);
    resetDpiBtn_ = find<kit::Button>(u"ms_1_btn_reset_dpi"_qs);
    lightCombo_ = find<kit::Combo>(u"ms_1_combo_light"_qs);
    lightComboBle_ = find<kit::Combo>(u"ms_1_combo_light_ble"_qs);
    brightnessPanel_ = find<kit::Control>(u"ms_1_ver_brightness"_qs);
    brightnessSlider_ = find<kit::Slider>(u"ms_1_slider_brightness"_qs);
    breathPanel_ = find<kit::Control>(u"ms_1_ver_breathspeed"_qs);
    breathSlider_ = find<kit::Slider>(u"ms_1_slider_breathspeed"_qs);
    lightColorPanel_ = find<kit::Control>(u"ms_1_hor_light_color"_qs);
    lightColorBtn_ = find<kit::Button>(u"ms_1_btn_light_color"_qs);
    findNumbered(pollingOptions_, "ms_1_btn_prate_%d");
    pollingLabel_ = find<kit::Label>(u"ms_1_label_prate"_qs);
    if (pollingLabel_) pollingLabel_->setTextKeyMode(true);
    mouseAttributeBtn_ = find<kit::Button>(u"ms_1_btn_mouse_attribute"_qs);
    lightOffSlider_ = find<kit::Slider>(u"ms_1_slider_light_off"_qs);
    lightOffLabel_ = find<kit::Label>(u"ms_1_label_light_off"_qs);
    sleepSlider_ = find<kit::Slider>(u"ms_1_slider_sleep_timer"_qs);
    sleepLabel_ = find<kit::Label>(u"ms_1_label_sleep_timer"_qs);
    moveModeCheck_ = find<kit::CheckBox>(u"ms_1_check_movemode"_qs);
    debounceSlider_ = find<kit::Slider>(u"ms_1_slider_key_debounce"_qs);
    debounceLabel_ = find<kit::Label>(u"ms_1_label_key_debounce"_qs);
    findNumbered(liftOptions_, "ms_1_option_lift_of_distance_%d");
    findNumbered(rippleOptions_, "ms_1_option_ripple_control_%d");
    findNumbered(angleOptions_, "ms_1_option_angle_snap_%d");
    applyBtn_ = find<kit::Button>(u"ms_1_apply_btn"_qs);
    resetBtn_ = find<kit::Button>(u"ms_1_btn_reset"_qs);
    applyProgress_ = window_->find<kit::Progress>(u"apply_progress"_qs);
    applyRing_ = window_->findControl(u"apply_ring"_qs);  // optional in every skin
    applyState_ = find<kit::Label>(u"ms_1_label_apply_state"_qs);
    if (applyState_) applyState_->setTextKeyMode(true);
    mousePicture_ = find<kit::Control>(u"ms_1_container_mouse_pic"_qs);
    findNumbered(pictureOptions_, "ms_1_option_mouse_pic_%d");
    battery_ = std::make_unique<BatteryDisplay>(parts_.timers, find<kit::Progress>(u"ms_1_progress_power"_qs),
                                                find<kit::Label>(u"ms_1_label_power"_qs), u"charging_text"_qs);
}

void CMS_1_Page::loadProfiles() {
    // Until the store is read the page shows nothing and applies nothing.
    const StoreLoadResult loaded =
        profiles_.load(text("add_profile_text").toStdU16String(), Leftovers::Remove, MissingStore::CallerSaves);
    storeToWrite_ = loaded.outcome == StoreLoadResult::Outcome::Missing;
    LogStoreLoad("profile store", loaded);
    LogStoreLoad("macro store", macros_.load());
    for (auto& profile : profiles_.profiles())
        if (MakeSettingsSane(*profile)) qCInfo(lcPage).noquote() << "profile" << QString::fromStdU16String(profile->nameText())
                                                                  << "had values out of range; shown and sent within range";

    if (profileList_) {
        profileList_->removeAll();
        for (const auto& profile : profiles_.profiles())
            profileList_->addLabelRow(QString::fromStdU16String(profile->nameText()), 22);
        profileList_->selectRow(profiles_.selectedProfile(), kit::Notify::No);
    }
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
    if (std::exchange(storeToWrite_, false))
        if (auto error = profiles_.save()) qCWarning(lcPage).noquote() << "profile store" << QString::fromStdString(*error);
    if (std::exchange(modelIdToWrite_, false))
        if (auto error = SettingsFile(parts_.dataFolder).saveModelId(modelId_))
            qCWarning(lcPage).noquote() << "picture number not kept:" << QString::fromStdString(*error);
}

void CMS_1_Page::showModelPicture(int modelId) {
    modelId_ = std::clamp(modelId, 0, 2);
    const int number = modelId_ + 1;
    if (kit::Option* option = pictureOptions_[static_cast<std::size_t>(modelId_)]) option->setSelected(true, kit::Notify::No);
    if (mousePicture_) {
        kit::ImageSpec image = mousePicture_->bkImage();
        image.file = u"skins/ms_1/mouse_%1.png"_qs.arg(number);
        mousePicture_->setBkImage(image);
    }
}

// ---- Refresh ----

void CMS_1_Page::refreshControls() {
    updateLinkSectionsNow();
    if (!current_) return;
    refreshDpi();
    refreshSettings();
    for (int n = 0; n < static_cast<int>(keyButtons_.size()); ++n) showButtonAssignment(n);
}

void CMS_1_Page::updateLinkSectionsNow() {
    updateLightSections();
    const LinkState& links = parts_.links;
    Section& prate = sections_[kPrateSection];
    Section& debounce = sections_[kDebounceSection];
    if (links.wiredLink == 1) {
        SetVisible(prate.check, true);
        SetVisible(debounce.check, true);
    } else if (links.bleLink != 0) {
        // Polling rate and key debounce cannot be changed over Bluetooth LE.
        for (Section* s : {&prate, &debounce}) {
            if (s->check && s->check->isChecked()) s->check->setChecked(false, kit::Notify::No);
            SetVisible(s->check, false);
            if (IsVisible(s->panel)) SetVisible(s->panel, false);
        }
    }
}

// ---- Applies ----

void CMS_1_Page::applyNow() {
    if (window_) window_->post(UM_APPLY_REQUEST);
}

void CMS_1_Page::applyAfter(std::chrono::milliseconds pause) {
    // Re-arming restarts the wait, so a drag ends in one request after its last value.
    parts_.timers.arm(TimerId::ApplyDebounce, pause);
}

void CMS_1_Page::onApplyRequest() {
    if (!worker_ || !current_) return;
    ++appliesRequested_;
    worker_->requestApply(*current_);
}

void CMS_1_Page::applyDropped() {
    ++appliesDropped_;
    applyWaitsForLink_ = true;
}

void CMS_1_Page::storeProfile() {
    saveProfileStore();
    if (worker_ && current_) worker_->adoptAsApplied(*current_);
}

void CMS_1_Page::stopLinkWatchdog() { parts_.timers.kill(TimerId::WirelessTimeout); }

void CMS_1_Page::startLinkWatchdog(std::chrono::milliseconds delay) {
    // The watchdog only means something while the receiver is the link.
    if (parts_.links.wirelessLink != 0) parts_.timers.arm(TimerId::WirelessTimeout, delay);
}

void CMS_1_Page::setApplyRingVisible(bool visible) {
    SetVisible(applyRing_, visible);
    if (!visible && applyProgress_) applyProgress_->setValue(0);
}

void CMS_1_Page::applyFinished(ApplyOutcome outcome) {
    ++appliesDone_;
    // Said in the page, not in a window of its own: the next apply sends again what
    // did not get through, so there is nothing for the user to decide.
    if (applyState_) {
        switch (outcome) {
            case ApplyOutcome::Applied: break;
            case ApplyOutcome::Unconfirmed: applyState_->setText(u"apply_unconfirmed_text"_qs); break;
            case ApplyOutcome::Incomplete: applyState_->setText(u"apply_incomplete_text"_qs); break;
        }
        SetVisible(applyState_, outcome != ApplyOutcome::Applied);
    }
    // What did not reach a mouse that went away goes out when a link is back.
    if (outcome == ApplyOutcome::Incomplete) applyWaitsForLink_ = true;
}

void CMS_1_Page::saveProfileStore() {
    if (std::optional<std::string> error = profiles_.save())
        qCWarning(lcPage).noquote() << "profile store not saved:" << QString::fromStdString(*error);
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
    if (id != TimerId::ChargingAnimation) return false;
    battery_->tick();
    return true;
}

void CMS_1_Page::destroy() {
    // The worker lets the send in progress end; what it posts after this is dropped
    // with the window.
    if (worker_) worker_->quit();
}

// ---- What the mouse did ----

void CMS_1_Page::showIndicator(Indicator which, bool visible) {
    switch (which) {
        case Indicator::Wired: SetVisible(wired_, visible); break;
        case Indicator::Wireless: SetVisible(wireless_, visible); break;
        case Indicator::Ble: SetVisible(ble_, visible); break;
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

void CMS_1_Page::selectDpiLevel(int level) {
    if (level < 1 || level > kLevels) return;
    if (kit::Option* option = dpiOptions_[static_cast<std::size_t>(level - 1)]) option->setSelected(true, kit::Notify::No);
}

void CMS_1_Page::selectPollingRate(int pollingRate) {
    if (pollingRate < 0 || pollingRate >= static_cast<int>(pollingOptions_.size())) return;
    if (kit::Option* option = pollingOptions_[static_cast<std::size_t>(pollingRate)]) option->setSelected(true, kit::Notify::No);
    setPollingText();
}

void CMS_1_Page::selectLightEffect(int effect) {
    if (lightCombo_ && effect >= 0 && effect < lightCombo_->count()) lightCombo_->selectItem(effect, kit::Notify::No);
    updateLightSections();
}

// ---- Dispatch ----

void CMS_1_Page::notify(const kit::Notification& n) {
    using namespace kit::notify;
    if (!n.sender) return;
    if (n.type == kClick) onClick(n);
    else if (n.type == kSelectChanged) onSelectChanged(n);
    else if (n.type == kItemSelect) onItemSelect(n);
    else if (n.type == kCheckClick) onCheckClick(n);
    else if (n.type == kKillFocus || n.type == kReturn) commitDpiEdit(n.sender);
    else if (n.type == kValueChanged) onValueChanged(n);
    else if (n.type == kTextChanged) onTextChanged(n);
}

void CMS_1_Page::onClick(const kit::Notification& n) {
    kit::Control* sender = n.sender;
    if (sender == applyBtn_ || sender == applyDpiBtn_) {
        applyNow();
        return;
    }
    if (sender == resetDpiBtn_) {
        resetDpi();
        return;
    }
    if (sender == macroBtn_) {
        openMacroEditor();
        return;
    }
    if (onKeyButtonClick(sender)) return;
    if (onDpiColorClick(sender)) return;
    if (onProfileClick(sender)) return;
    onSettingsClick(sender);
}

void CMS_1_Page::onSelectChanged(const kit::Notification& n) {
    if (onDpiOption(n.sender)) return;
    onSettingsSelect(n.sender);
}

void CMS_1_Page::onItemSelect(const kit::Notification& n) {
    if (n.sender == profileList_) {
        // The kit raises no selection at start-up, so the user's first choice counts.
        selectProfileRow(static_cast<int>(n.wParam));
        return;
    }
    onSettingsItem(n.sender);
}

void CMS_1_Page::onCheckClick(const kit::Notification& n) {
    const bool checked = n.wParam != 0;
    if (onSectionToggle(n.sender, checked)) return;
    onMoveModeCheck(n.sender, checked);
}

void CMS_1_Page::onValueChanged(const kit::Notification& n) {
    if (onDpiValueChanged(n.sender)) return;
    onSettingsValue(n.sender);
}

void CMS_1_Page::onTextChanged(const kit::Notification& n) { onDpiEditText(n.sender); }

bool CMS_1_Page::onSectionToggle(kit::Control* sender, bool checked) {
    for (Section& s : sections_) {
        if (!s.check || sender != s.check) continue;
        SetVisible(s.panel, checked);
        if (checked && s.scrolls) parts_.timers.arm(TimerId::ScrollSettings, kScrollDelay);
        return true;
    }
    return false;
}

}  // namespace halvern
