// A line protocol on standard input that lets the end-to-end tests act on a running
// halvern as a user would, without a desktop: only active when HALVERN_TEST_DRIVER=1.
// Every command answers one line, "ok ..." or "error ...".
//
//   click NAME         a button, option or check box of the main window or of the
//                      topmost modal window, clicked (the answer comes first, so a
//                      click that opens a modal window can be followed by commands
//                      that act in it); while a key button's assignment menu is open
//                      and no such control exists, its item NAME, in its submenus too
//   slide NAME VALUE   drags a slider to VALUE, one value at a time
//   type NAME TEXT     focuses an edit box and types TEXT over its content
//   key NAME KEY       presses Return, Tab or Escape in it (Tab moves the focus on)
//   pick NAME INDEX    chooses item INDEX of a combo box or row INDEX of a list
//   get NAME           -> "ok text=... value=N selected=0|1 visible=0|1 enabled=0|1
//                      color=#rrggbb", the fields that apply to the control; while a
//                      key button's assignment menu is open and no such control
//                      exists, its item NAME: "ok text=... enabled=0|1 [tip=...]"
//   rows NAME          -> "ok N" and the N row texts of a list, tab-separated (a row
//                      built from a layout: its labels' texts, space-separated)
//   modal              -> "ok FILE" (the topmost modal window's layout) or "ok none"
//   close-modal N      ends the topmost modal window with result N
//   mouse ACTION       the virtual mouse (HALVERN_EMULATOR only): dpi N, polling N,
//                      light N, battery STATUS LEVEL, unplug LINK, plug LINK
//   applies            -> "ok done=N busy=0|1"
//   grab FILE          saves a PNG of the main window
//   answer-file PATH|cancel  the next file dialog returns PATH (or is cancelled)
//                      instead of showing itself
//   where NAME         -> "ok X Y", the control's centre on the screen
//   grab-modal FILE    saves a PNG of the topmost modal window
//   tray left|right    a left or right click on the tray icon
//   menu NAME          chooses item NAME of the open tray menu
//   assume-tray        behaves as if the desktop had a tray
//   state              -> "state visible=0|1 minimized=0|1 title=TITLE"
//   press NAME CODE    focuses an edit box, clicks it (which starts a key box's
//                      capture) and presses and releases on it the key of Linux key
//                      code CODE (KEY_K is 37), as the keyboard sends it
//   grab-menu FILE     saves a PNG of the main window with the open assignment menu
//                      drawn where it stands
//   menu-at            -> "ok X Y W H" of the open assignment menu, "ok none" when closed
//   platform           -> "ok NAME", Qt's platform plugin ("wayland", "xcb", "offscreen")
//   windows            -> "ok N", the program's visible top-level windows
//   dpi-route          -> "ok ROUTE", how the last DPI change was shown: window,
//                      plasma-osd, notification, nothing (none before the first)
//   focus NAME         gives the control the keyboard focus as Tab would, its window
//                      made the active one (real keys then reach it under a display)
//   help               -> "ok N" and the N commands with what follows each, tab-separated
//
// In "key=value" answers a value is escaped: a backslash and "=" are preceded by a
// backslash and a line break is "\n", so a field starts only at " key=" with an "="
// that has no backslash before it, whatever a text holds.
// It prints "ready" once the main window is up.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>
#include <span>

namespace halvern {

class CMainWnd;
class CMS_1_Page;
class DeviceStack;

namespace kit {
class Control;
class SkinWindow;
}  // namespace kit

class TestDriver {
public:
    static bool Enabled();
    TestDriver(CMainWnd& window, CMS_1_Page* page, DeviceStack* device);
    ~TestDriver();

    // A value of a "key=value" answer, escaped as above.
    static QString EscapedValue(const QString& value);

private:
    struct Verb;
    static std::span<const Verb> verbs();
    void readLine();
    QString run(const QString& line);
    // The control NAME of the topmost modal window, else of the main window.
    kit::Control* control(const QString& name) const;
    kit::SkinWindow* topModal() const;
    QString click(const QString& name);
    QString slide(const QString& name, const QString& value);
    QString type(const QString& name, const QString& text);
    QString key(const QString& name, const QString& key);
    QString pick(const QString& name, const QString& index);
    QString get(const QString& name) const;
    QString focus(const QString& name);
    QString rows(const QString& name);
    QString closeModal(const QString& arg);
    QString openMainMenu();
    QString chooseMainMenuItem(const QString& arg);
    // The key buttons' assignment menu.
    QString clickMenuItem(const QString& name);
    QString press(const QString& name, const QString& code);
    QString grabWithMenu(const QString& file);

    CMainWnd& window_;
    CMS_1_Page* page_;
    DeviceStack* device_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray buffer_;
};

}  // namespace halvern
