// The program's one top-level window: hosts "main.xml" with the settings page as the
// virtual window "MS_1_Page", owns the tray icon and its menu and the DPI display, and
// is the one receiver of the messages and timers through which other threads, the
// run-time libraries and a second start reach the user interface.
#pragma once

#include <QByteArray>
#include <QPointer>

#include <filesystem>
#include <functional>
#include <memory>

#include "device/WindowIds.h"
#include "ui/dialogs/CDPIMsg.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"

namespace halvern::kit {
class Button;
class MenuWindow;
class Progress;
class TabLayout;
class TrayIcon;
}  // namespace halvern::kit

namespace halvern {

class DesktopOsd;
class DeviceLink;
class HookLibrary;
class SettingsPage;

class CMainWnd : public kit::SkinWindow {
public:
    static constexpr const char* kClassName = "NORVA KX Halvern Gaming Mouse";
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 572;

    // What plugs into the window; each part is optional and outlives the window.
    struct Options {
        // Registered as the virtual window "MS_1_Page" before its init runs.
        SettingsPage* page = nullptr;
        // Started once the profiles are loaded; every message and timer the window does
        // not handle itself is handed to it as it is; its readers stop before the page
        // is destroyed.
        DeviceLink* device = nullptr;
        // Loaded from `libraryFolder` at start; its hooks removed and the library freed
        // when the program ends.
        HookLibrary* hooks = nullptr;
        std::filesystem::path libraryFolder;
        // Whether the desktop shows tray icons; empty asks the desktop.
        std::function<bool()> trayAvailable;
        // CONFIG.ini's folder: the language and look chosen from the title bar are
        // kept there. Empty: they are not kept.
        std::filesystem::path dataFolder;
        // The language shown at start (a code, see kit/Languages.h).
        QString language = u"en"_qs;
        // Whether the look follows the desktop's preference (no look chosen yet).
        bool followDesktopTheme = true;
        // Chooses how a DPI change is shown; null: always the window of its own.
        DesktopOsd* desktopOsd = nullptr;
    };

    CMainWnd(kit::Skin& skin, Options options);
    ~CMainWnd() override;

    // For a link built over this window's timers and host handle: set before create().
    void setDeviceLink(DeviceLink* device) { options_.device = device; }
    void setPage(SettingsPage* page) { options_.page = page; }

    QString windowClassName() const override { return QString::fromLatin1(kClassName); }
    QString skinFile() const override { return u"main.xml"_qs; }

    // Shows the window, restores it when minimised and brings it to the front: what a
    // second start, the tray's left click and the tray menu's "configuration" do. A
    // second start's activation token lets the desktop give it the focus.
    void activate(const QByteArray& token = {});
    // A second start's request, with its token (empty: none): UM_ACTIVATE.
    void activateForSecondStart(const QByteArray& token);

    // The first appearance, after create(). `hidden` (autostart) leaves the window
    // unshown with its layout complete and its tray icon in place; with no tray to bring
    // it back from, the window starts minimised instead.
    void showAtStart(bool hidden);

    // Ends the program: the destroy handling (DPI display, hooks, quit) runs, the window
    // hides, and the event loop ends with 0. The object itself is deleted by its owner.
    void destroyWindow();

    // The DPI text for a stored DPI value: "DPI :" and the DPI in decimal.
    static QString DpiText(std::intptr_t storedValue);
    static constexpr const char* kPageWindow = "MS_1_Page";

    CDPIMsg* dpiOsd() const { return dpiOsd_.data(); }
    // How the last DPI change was shown ("window", "notification", ...).
    const char* dpiRoute() const { return dpiRoute_; }
    kit::MenuWindow* trayMenu() const { return trayMenu_.get(); }
    kit::MenuWindow* mainMenu() const { return mainMenu_.get(); }

    // The language and look, switched while the program runs: every open window of the
    // skin takes the new texts or style sheet at once. A look chosen by the user
    // (`chosen`) is kept and ends following the desktop; one the desktop asks for is
    // taken only while the window still follows it.
    void switchLanguage(const QString& code);
    void switchTheme(kit::Skin::Theme theme, bool chosen);
    void desktopPrefersTheme(kit::Skin::Theme theme);
    bool followsDesktopTheme() const { return options_.followDesktopTheme; }

    // The About text: version, licence, data folder, device access.
    QString aboutText() const;
    kit::TrayIcon* trayIcon() const { return tray_.get(); }
    bool trayAvailable() const;
    void setTrayAvailable(std::function<bool()> probe) { trayAvailable_ = std::move(probe); }

protected:
    void onInit() override;
    void onLayoutComplete() override;
    void notify(const kit::Notification& n) override;
    bool handleMessage(const kit::Message& m) override;
    void onTimer(int id) override;
    void onCloseRequest() override { destroyWindow(); }
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void onClick(const kit::Notification& n);
    void onDestroy();
    void openTrayMenu();
    void openMainMenu();
    void toggleAutostart();
    void toggleBatteryWarnings();
    void onMenuCommand(const kit::Message& m);
    void showDpi(std::intptr_t storedValue);
    void tellPageWhetherShown();
    void stopDeviceLink();

    Options options_;
    std::function<bool()> trayAvailable_;

    kit::Button* skinBtn_ = nullptr;
    kit::Button* mainMenuBtn_ = nullptr;
    kit::Button* minBtn_ = nullptr;
    kit::Button* exitBtn_ = nullptr;
    kit::Progress* applyProgress_ = nullptr;
    kit::TabLayout* deviceTabSwitch_ = nullptr;

    std::unique_ptr<kit::MenuWindow> trayMenu_;
    std::unique_ptr<kit::MenuWindow> mainMenu_;
    std::unique_ptr<kit::TrayIcon> tray_;
    QPointer<CDPIMsg> dpiOsd_;
    const char* dpiRoute_ = "none";
    QByteArray activationToken_;
    bool destroyed_ = false;
    bool pageToldShown_ = false;
};

}  // namespace halvern
