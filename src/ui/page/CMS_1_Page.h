// The mouse settings page: one MouseProfile shown and edited in the main window.
//
// An edit travels one way. A control's notification reaches the section that bound the
// control (routes_), which writes the profile model at once and says what the edit asks
// for (PageEdit); the page then has the store keep it (StoreKeeper: a moment after the
// last change, at once when the list of profiles changed) and the mouse get it (the
// apply worker: at once, a short pause after the last change, or with the next apply),
// whether or not a mouse is linked. The worker sends what differs from what the mouse
// holds. The other way, a setting the mouse reports changes that one field of the model
// and of what the mouse holds, and nothing else.
//
// The page owns the stores, the apply worker, the link-dependent parts and the routing;
// the sections (ui/page/*Section, SectionHeaders, MousePicture, BatteryDisplay) own their
// controls and never reach into each other. Main thread only; the apply worker gets a
// copy of the profile with each request and hands everything back through the window.
#pragma once

#include <QString>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "device/DeviceObserver.h"
#include "device/ProfileHolder.h"
#include "protocol/ApplyWorker.h"
#include "records/MouseProfile.h"
#include "storage/MacroStore.h"
#include "storage/ProfileStore.h"
#include "ui/kit/MenuWindow.h"
#include "ui/kit/Notification.h"
#include "ui/page/BatteryDisplay.h"
#include "ui/page/PageContext.h"
#include "ui/page/PageParts.h"
#include "ui/page/PageSection.h"
#include "ui/page/SettingsPage.h"
#include "ui/page/StoreKeeper.h"

namespace halvern {

namespace kit {
class Button;
class Control;
class Label;
class Progress;
class SkinWindow;
}  // namespace kit

class AutoProfileSection;
class ButtonSection;
class DpiSection;
class LightSection;
class MousePicture;
class PollingSection;
class ProfileSection;
class SectionHeaders;
class SettingsSection;

class CMS_1_Page final : public SettingsPage,
                         public kit::NotifyPump,
                         public DeviceObserver,
                         public ProfileHolder,
                         public ApplyHost {
public:
    using Parts = PageParts;

    explicit CMS_1_Page(Parts parts);
    // The link whose transports the apply worker writes through; before init().
    void setDeviceLink(DeviceLink* device) { parts_.device = device; }
    ~CMS_1_Page() override;
    CMS_1_Page(const CMS_1_Page&) = delete;
    CMS_1_Page& operator=(const CMS_1_Page&) = delete;

    // SettingsPage
    kit::NotifyPump& notifyPump() override { return *this; }
    void init(kit::SkinWindow& window) override;
    void loadProfiles() override;
    void layoutComplete() override;
    void onMenuItem(const QString& item) override;
    void onApplyRequest() override;
    bool onTimer(int id) override;
    void windowShown(bool shown) override { battery_->setShown(shown); }
    void languageChanged() override { refreshControls(); }
    void keepBeforeQuit() override;
    void destroy() override;

    // NotifyPump
    void notify(const kit::Notification& n) override;

    // DeviceObserver
    void showIndicator(Indicator which, bool visible) override;
    void updateLinkSections() override;
    void selectDpiLevel(int level) override;
    void selectPollingRate(int pollingRate) override;
    void selectLightEffect(int effect) override;
    void batteryChanged(BatteryState state) override { battery_->show(state); }

    // ProfileHolder
    MouseProfile* currentProfile() override { return current_; }
    void settingReported(SettingId setting, std::int32_t value) override;
    void mouseSaved() override;

    // ApplyHost (every call on the main thread, through the window)
    void stopLinkWatchdog() override;
    void startLinkWatchdog(std::chrono::milliseconds delay) override;
    void setApplyRingVisible(bool visible) override;
    void saveProfileStore() override;
    void lastAppliedChanged(const MouseProfile& lastApplied) override;
    void applyProgress(std::size_t sent, std::size_t planned) override;
    void applyDropped() override;
    void applyFinished(ApplyOutcome outcome) override;

    // What tests and the test driver read.
    ProfileStore& profileStore() { return profiles_; }
    MacroStore& macroStore() { return macros_; }
    const MouseProfile* lastApplied() const { return lastApplied_.get(); }
    int appliesDone() const { return appliesDone_; }
    // An apply was asked for and has not ended yet (sent, or dropped for want of a link).
    bool applyBusy() const { return appliesRequested_ > appliesDone_ + appliesDropped_; }
    // Whether the store on disk lacks a change of the model.
    bool storeUnsaved() const { return keeper_.unsaved(); }
    BatteryDisplay& battery() { return *battery_; }

    // Writes every control from the current profile.
    void refreshControls();
    // The sections that depend on the links (polling rate and debounce headers) and on
    // the light effect.
    void updateLinkSectionsNow();

    // The window in front may ask for another profile: made current now, or once
    // nothing holds it back (an apply running, the user editing).
    void followFocus();
    AutoProfileSection* autoProfiles() const { return autoProfiles_.get(); }

    // The assignment menu opened last (it may be closed by now), or nullptr.
    kit::MenuWindow* assignMenu() const;
    // After the macro list changed (the editor closed): every profile's macro copies
    // follow the renames and the list, the store is saved, and the current profile is
    // shown and applied when it changed.
    void reconcileMacroCopies(const std::vector<MacroRename>& renames);

private:
    void bindSections();
    // Carries out what an edit asks for.
    void take(const PageEdit& edit);
    void applyNow();
    void applyAfter(std::chrono::milliseconds pause);
    // A dialog, a menu, a drag, typing not yet committed, or edits waiting for their
    // pause: a switch now would pull the profile from under the user's hands.
    bool userEditing() const;
    // The line in the side column: a store that could not be written comes first, then
    // an apply the mouse did not wholly get.
    void showState();

    Parts parts_;
    ProfileStore profiles_;
    MacroStore macros_;
    PageContext context_;
    kit::SkinWindow* window_ = nullptr;
    MouseProfile* current_ = nullptr;
    std::unique_ptr<MouseProfile> lastApplied_;  // the worker's, as last reported
    std::unique_ptr<ApplyWorker> worker_;
    std::unique_ptr<BatteryDisplay> battery_;
    StoreKeeper keeper_;

    std::unique_ptr<SectionHeaders> headers_;
    std::unique_ptr<ProfileSection> profileSection_;
    std::unique_ptr<DpiSection> dpi_;
    std::unique_ptr<ButtonSection> buttons_;
    std::unique_ptr<LightSection> light_;
    std::unique_ptr<PollingSection> polling_;
    std::unique_ptr<SettingsSection> power_;
    std::unique_ptr<SettingsSection> sensor_;
    std::unique_ptr<MousePicture> picture_;
    std::unique_ptr<AutoProfileSection> autoProfiles_;
    std::vector<PageSection*> sections_;  // in refresh order
    std::unordered_map<const kit::Control*, PageSection*> routes_;

    bool applyWaitsForLink_ = false;
    bool editsWaitForPause_ = false;  // an apply is armed to follow a burst of edits
    bool followHeld_ = false;         // a switch waits for an apply or an edit to end
    std::optional<ApplyOutcome> lastOutcome_;
    int appliesRequested_ = 0;
    int appliesDone_ = 0;
    int appliesDropped_ = 0;
    // A first start's default store is written once the window is up: its first paint
    // does not wait for the disk.
    bool layoutComplete_ = false;
    bool storeToWrite_ = false;

    // The page's own controls; a name the skin lacks stays null and its part is inert.
    kit::Button* applyBtn_ = nullptr;
    kit::Control* wired_ = nullptr;
    kit::Control* wireless_ = nullptr;
    kit::Control* ble_ = nullptr;
    kit::Progress* applyProgress_ = nullptr;
    kit::Control* applyRing_ = nullptr;
    kit::Label* applyState_ = nullptr;
};

}  // namespace halvern
