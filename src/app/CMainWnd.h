// The program's one top-level window: hosts "main.xml" with the settings page as the
// virtual window "MS_1_Page", owns the tray icon and its menu and the DPI display, and
// is the one receiver of the messages and timers through which other threads, the
// run-time libraries and a second start reach the user interface.
#pragma once

#include <QPointer>

#include <functional>
#include <memory>

#include "app/MainWndSeams.h"
#include "ui/dialogs/CDPIMsg.h"
#include "ui/kit/SkinWindow.h"

namespace halvern::kit {
class Button;
class MenuWindow;
class Progress;
class TabLayout;
class TrayIcon;
}  // namespace halvern::kit

namespace halvern {


// Timers of the main window; the settings page and the device link arm some of them.
enum MainWndTimer : int {
    OsdHideTimer = 52,
    ReenumerateTimer = 54,
    WirelessTimeoutTimer = 512,
    ApplyDebounceTimer = 513,
    ScrollSettingsTimer = 514,
    ChargingAnimationTimer = 515,
    BleSubscribeTimer = 516,
    CableSettleTimer = 517,  // the device link's own: an attached cable settles
};

class CMainWnd : public kit::SkinWindow {
public:
    static constexpr const char* kClassName = "NORVA KX Halvern Gaming Mouse";
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 572;
    static constexpr int kOsdHideMs = 2000;

    struct Options {
        MainWndSeams seams;
        // Whether the desktop shows tray icons; empty asks the desktop.
        std::function<bool()> trayAvailable;
    };

    CMainWnd(kit::Skin& skin, Options options);
    ~CMainWnd() override;

    QString windowClassName() const override { return QString::fromLatin1(kClassName); }
    QString skinFile() const override { return u"main.xml"_qs; }

    // Shows the window, restores it when minimised and brings it to the front: what a
    // second start, the tray's left click and the tray menu's "configuration" do.
    void activate();

    // Ends the program: the destroy handling (DPI display, hooks, quit) runs, the window
    // hides, and the event loop ends with 0. The object itself is deleted by its owner.
    void destroyWindow();

    // The DPI text for a stored DPI value: "DPI :" and the DPI in decimal.
    static QString DpiText(std::intptr_t storedValue);

    CDPIMsg* dpiOsd() const { return dpiOsd_.data(); }
    kit::MenuWindow* trayMenu() const { return trayMenu_.get(); }
    kit::TrayIcon* trayIcon() const { return tray_.get(); }
    bool trayAvailable() const;
    void setTrayAvailable(std::function<bool()> probe) { trayAvailable_ = std::move(probe); }

    void setChargeAnimationStep(int step) { chargeAnimationStep_ = step; }
    int chargeAnimationStep() const { return chargeAnimationStep_; }

protected:
    void onInit() override;
    void notify(const kit::Notification& n) override;
    bool handleMessage(const kit::Message& m) override;
    void onTimer(int id) override;
    void onCloseRequest() override { destroyWindow(); }

private:
    void onClick(const kit::Notification& n);
    void onDestroy();
    void openTrayMenu();
    void onMenuCommand(const kit::Message& m);
    void showDpi(std::intptr_t storedValue);

    Options options_;
    std::function<bool()> trayAvailable_;

    kit::Button* skinBtn_ = nullptr;
    kit::Button* mainMenuBtn_ = nullptr;
    kit::Button* minBtn_ = nullptr;
    kit::Button* exitBtn_ = nullptr;
    kit::Progress* applyProgress_ = nullptr;
    kit::TabLayout* deviceTabSwitch_ = nullptr;

    std::unique_ptr<kit::MenuWindow> trayMenu_;
    std::unique_ptr<kit::TrayIcon> tray_;
    QPointer<CDPIMsg> dpiOsd_;
    int chargeAnimationStep_ = 0;
    bool destroyed_ = false;
};

}  // namespace halvern
