// The mouse settings page: one MouseProfile shown and edited in the main window. It
// owns the profile and macro stores in memory and the apply worker, and turns every
// edit into a change of the current profile followed by an apply request, at once, a
// short pause later (timer 513) or on an explicit apply. It never talks to the mouse
// itself: the device link tells it what the mouse did (DeviceObserver) and reads and
// stores the current profile through it (ProfileHolder); the apply worker sends.
//
// Sections live in files of their own: PageDpi.cpp (DPI levels and colours),
// PageSettings.cpp (light, polling rate, power, sensor options, mouse picture),
// PageProfiles.cpp (the profile list and its actions), PageButtons.cpp (the key
// buttons and their assignment menu), PageMacros.cpp (the macro editor and the macro
// copies in the buttons), BatteryDisplay (the power state). Main thread only; the apply worker gets a copy of
// the profile with each request and hands everything back through the window.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "device/DeviceObserver.h"
#include "device/ProfileHolder.h"
#include "device/TimerService.h"
#include "protocol/ApplyWorker.h"
#include "protocol/Clock.h"
#include "protocol/LinkState.h"
#include "records/MouseProfile.h"
#include "storage/MacroStore.h"
#include "storage/ProfileStore.h"
#include "ui/kit/MenuWindow.h"
#include "ui/kit/Notification.h"
#include "ui/page/BatteryDisplay.h"
#include "ui/page/SettingsPage.h"

namespace halvern {

class DeviceLink;
class HookLibrary;
class KeyboardLayout;

namespace kit {
class Button;
class CheckBox;
class Combo;
class Container;
class Control;
class Label;
class List;
class Option;
class Progress;
class RichEdit;
class Skin;
class SkinWindow;
class Slider;
}  // namespace kit

class CMS_1_Page final : public SettingsPage,
                         public kit::NotifyPump,
                         public DeviceObserver,
                         public ProfileHolder,
                         public ApplyHost {
public:
    struct Parts {
        std::filesystem::path dataFolder;  // CONFIG.ini; the stores in its model folder
        LinkState& links;
        TimerService& timers;              // the window's timer table
        Clock& clock;                      // the apply worker's pauses
        DeviceLink* device = nullptr;      // null: no transports, no initial BLE step
        // Starts the desktop's own mouse settings; false when none could be started.
        std::function<bool()> openMouseSettings{};
        // Asks for a colour under a button: the start colour as 0xAARRGGBB and where
        // the picker's top-left corner goes; nullopt when the user cancelled.
        std::function<std::optional<std::uint32_t>(std::uint32_t argb, QPoint origin)> pickColor{};
        // What the apply worker writes through when there is no device link (tests).
        Transports transports{};
        // The desktop's keyboard layout, for key names; asked for only when a key is
        // shown. Empty: the US layout.
        std::function<const KeyboardLayout&()> keyboard{};
        // The hook library the main window loaded; its table goes to the macro editor.
        const HookLibrary* hooks = nullptr;
    };

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
    void destroy() override;

    // NotifyPump
    void notify(const kit::Notification& n) override;

    // DeviceObserver
    void showIndicator(Indicator which, bool visible) override;
    void updateLinkSections() override;
    void selectDpiLevel(int level) override;
    void selectPollingRate(int pollingRate) override;
    void selectLightEffect(int effect) override;
    void showCharged() override { battery_->showCharged(); }
    void showCharging(bool restartAnimation) override { battery_->showCharging(restartAnimation); }
    void showBatteryLevel(int level) override { battery_->showBatteryLevel(level); }
    void clearBatteryDisplay() override { battery_->clearBatteryDisplay(); }
    void stopChargingAnimation() override { battery_->stopChargingAnimation(); }
    void showFullBattery() override { battery_->showFullBattery(); }

    // ProfileHolder
    MouseProfile* currentProfile() override { return current_; }
    void storeProfile() override;

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
    BatteryDisplay& battery() { return *battery_; }

    // Writes every control from the current profile.
    void refreshControls();
    // The sections that depend on the links (polling rate and debounce toggles) and
    // on the light effect.
    void updateLinkSectionsNow();

    // Key button n (0..17) shows what its entry does.
    void showButtonAssignment(int n);
    // The assignment menu opened last (it may be closed by now), or nullptr.
    kit::MenuWindow* assignMenu() const { return assignMenu_.get(); }
    // Where the assignment menu of a key button opens: to the right of the button,
    // level with its top; when that would reach the bottom of the screen, above, its
    // bottom edge 25 pixels below the button's top. Screen coordinates throughout.
    static QPoint AssignMenuOrigin(const QRect& button, const QSize& menu, const QRect& screen);
    // After the macro list changed (the editor closed): every profile's macro copies
    // follow the renames and the list, the store is saved, and the current profile is
    // shown and applied when it changed.
    void reconcileMacroCopies(const std::vector<MacroRename>& renames);

    // The stored DPI value of a level for display: "%d" of its DPI.
    static QString DpiText(std::int32_t value);

private:
    static constexpr int kLevels = kDpiLevels;

    void bindControls();
    void showModelPicture(int modelId);

    // Apply requests, the three ways.
    void applyNow();
    void applyAfter(std::chrono::milliseconds pause);

    // Dispatch by notification type.
    void onClick(const kit::Notification& n);
    void onSelectChanged(const kit::Notification& n);
    void onItemSelect(const kit::Notification& n);
    void onCheckClick(const kit::Notification& n);
    void onValueChanged(const kit::Notification& n);
    void onTextChanged(const kit::Notification& n);

    // DPI section (PageDpi.cpp).
    void refreshDpi();
    bool onDpiValueChanged(kit::Control* sender);
    bool onDpiOption(kit::Control* sender);
    bool onDpiEditText(kit::Control* sender);
    bool commitDpiEdit(kit::Control* sender);
    bool onDpiColorClick(kit::Control* sender);
    void resetDpi();
    std::optional<std::uint32_t> pickColorUnder(kit::Button* button, std::uint32_t argb);

    // Light, polling, power, sensor options, pictures (PageSettings.cpp).
    void refreshSettings();
    void updateLightSections();
    void setPollingText();
    void setSleepTimerText();
    void setLightOffText();
    void setKeyDebounceText();
    bool onSettingsSelect(kit::Control* sender);
    bool onSettingsItem(kit::Control* sender);
    bool onSettingsValue(kit::Control* sender);
    bool onSettingsClick(kit::Control* sender);
    bool onMoveModeCheck(kit::Control* sender, bool checked);
    void chooseMousePicture(int number);

    // The macro editor, built when the user first opens it (PageMacros.cpp).
    void openMacroEditor();
    // Key buttons and their assignments (PageButtons.cpp).
    bool onKeyButtonClick(kit::Control* sender);
    void openAssignMenu(int n);
    // The dialogs behind the "key" and "macro" items; false when the entry stays as it was.
    bool assignKey(ButtonAssignment& entry);
    bool assignMacro(ButtonAssignment& entry);
    const KeyboardLayout& keyboard() const;
    // Profile list (PageProfiles.cpp).
    bool onProfileClick(kit::Control* sender);
    // A row the user chose; the row already current changes nothing.
    void selectProfileRow(int row);
    // Makes the profile at `row` current and shown, and sends all of it.
    void makeProfileCurrent(int row);
    void addProfile();
    void deleteProfile();
    void renameProfile();
    void restoreProfile();
    void importProfile();
    void exportProfile();
    // The message box with the warning title; its result (1: OK).
    int askUser(const char* messageKey);
    std::optional<QString> askProfileName(const char* titleKey);
    // Where the profile file dialogs start: the folder used last, else home.
    QString profileFileFolder() const;
    void rememberProfileFolder(const QString& file);

    // Sections that open and close.
    bool onSectionToggle(kit::Control* sender, bool checked);

    QString text(const char* key) const;
    template <typename T>
    T* find(const QString& name) const;
    template <typename T, std::size_t N>
    void findNumbered(std::array<T*, N>& out, const char* format) const;

    Parts parts_;
    kit::SkinWindow* window_ = nullptr;
    ProfileStore profiles_;
    MacroStore macros_;
    MouseProfile* current_ = nullptr;
    std::unique_ptr<MouseProfile> lastApplied_;  // the worker's, as last reported
    std::unique_ptr<ApplyWorker> worker_;
    std::unique_ptr<BatteryDisplay> battery_;
    bool applyWaitsForLink_ = false;
    int appliesRequested_ = 0;
    int appliesDone_ = 0;
    int appliesDropped_ = 0;
    int modelId_ = 0;
    // A first start's defaults (no profile store, no valid picture number) are written
    // once the window is up: its first paint does not wait for the disk.
    bool layoutComplete_ = false;
    bool storeToWrite_ = false;
    bool modelIdToWrite_ = false;
    int assigningButton_ = -1;  // entry 0..11 the assignment menu was opened for
    std::unique_ptr<kit::MenuWindow> assignMenu_;

    // Controls, found once; a name the skin lacks stays null and its part is inert.
    std::array<kit::Button*, 18> keyButtons_{};
    kit::Button* macroBtn_ = nullptr;
    kit::List* profileList_ = nullptr;
    kit::Button* profileAdd_ = nullptr;
    kit::Button* profileDelete_ = nullptr;
    kit::Button* profileRename_ = nullptr;
    kit::Button* profileImport_ = nullptr;
    kit::Button* profileExport_ = nullptr;
    kit::Button* profileReset_ = nullptr;
    kit::Control* wired_ = nullptr;
    kit::Control* wireless_ = nullptr;
    kit::Control* ble_ = nullptr;
    struct Section {
        kit::CheckBox* check = nullptr;
        kit::Control* panel = nullptr;
        bool scrolls = false;
    };
    std::array<Section, 12> sections_{};
    std::array<kit::Slider*, kLevels> dpiSliders_{};
    std::array<kit::Label*, kLevels> dpiLabels_{};
    std::array<kit::Option*, kLevels> dpiOptions_{};
    std::array<kit::Button*, kLevels> dpiColorBtns_{};
    std::array<kit::RichEdit*, kLevels> dpiEdits_{};
    kit::Button* applyDpiBtn_ = nullptr;
    kit::Button* resetDpiBtn_ = nullptr;
    kit::Combo* lightCombo_ = nullptr;
    kit::Combo* lightComboBle_ = nullptr;
    kit::Control* brightnessPanel_ = nullptr;
    kit::Slider* brightnessSlider_ = nullptr;
    kit::Control* breathPanel_ = nullptr;
    kit::Slider* breathSlider_ = nullptr;
    kit::Control* lightColorPanel_ = nullptr;
    kit::Button* lightColorBtn_ = nullptr;
    std::array<kit::Option*, 4> pollingOptions_{};
    kit::Label* pollingLabel_ = nullptr;
    kit::Button* mouseAttributeBtn_ = nullptr;
    kit::Slider* lightOffSlider_ = nullptr;
    kit::Label* lightOffLabel_ = nullptr;
    kit::Slider* sleepSlider_ = nullptr;
    kit::Label* sleepLabel_ = nullptr;
    kit::CheckBox* moveModeCheck_ = nullptr;
    kit::Slider* debounceSlider_ = nullptr;
    kit::Label* debounceLabel_ = nullptr;
    std::array<kit::Option*, 2> liftOptions_{};
    std::array<kit::Option*, 2> rippleOptions_{};
    std::array<kit::Option*, 2> angleOptions_{};
    kit::Button* applyBtn_ = nullptr;
    kit::Button* resetBtn_ = nullptr;
    kit::Progress* applyProgress_ = nullptr;
    kit::Control* applyRing_ = nullptr;
    kit::Label* applyState_ = nullptr;
    kit::Control* mousePicture_ = nullptr;
    std::array<kit::Option*, 3> pictureOptions_{};
};

}  // namespace halvern
