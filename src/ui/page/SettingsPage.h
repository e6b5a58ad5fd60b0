// The settings page as the main window sees it. The window registers the page's
// notification pump as the virtual window "MS_1_Page", then hands it the moments that
// belong to it; everything else the page does it does through the skin layer, the
// device link and the apply worker it holds. Main thread only.
#pragma once

#include <QString>

namespace halvern {

namespace kit {
class NotifyPump;
class SkinWindow;
}  // namespace kit

class SettingsPage {
public:
    virtual ~SettingsPage() = default;

    // The notifications of the page's controls.
    virtual kit::NotifyPump& notifyPump() = 0;
    // The window's layout is built and the page registered; the language file may not
    // be read yet. The page binds its controls here.
    virtual void init(kit::SkinWindow& window) = 0;
    // The stores are read into the page, before the device link starts.
    virtual void loadProfiles() = 0;
    // Every control is in its place and the first screen is painted (or the window
    // starts hidden): what a start can leave until its window is up is done now.
    virtual void layoutComplete() {}
    // A menu item of the page's own menus ("ms_1..."), chosen by the user.
    virtual void onMenuItem(const QString& item) = 0;
    // UM_APPLY_REQUEST: the edits made so far are to be applied now.
    virtual void onApplyRequest() = 0;
    // A timer the window and the device link do not own fired (the battery display's
    // ChargingAnimation); returns whether the page owns `id`.
    virtual bool onTimer(int id) = 0;
    // Whether the window can be seen (shown and not minimised); animations rest
    // while it cannot.
    virtual void windowShown(bool shown) = 0;
    // The language file changed while the page is shown: the texts the page composes
    // itself (values with units, button assignments) are written again.
    virtual void languageChanged() {}
    // The user asked the program to end: what the page holds that is not kept yet is
    // written now, and a failure is said before the program goes.
    virtual void keepBeforeQuit() {}
    // The program ends; the device link's readers have stopped. The page stops its
    // apply worker and closes what it opened.
    virtual void destroy() = 0;
};

}  // namespace halvern
