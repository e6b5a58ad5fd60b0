// The window base of the skin layer. A window names its layout file and class; create()
// builds it from the skin, after which its controls are found by name. Everything the
// controls raise arrives at notify() (or at the pump of their virtual window), posted
// messages at handleMessage(), timers at onTimer(), all on the main thread.
#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <any>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/kit/Control.h"
#include "ui/kit/LayoutBuilder.h"
#include "ui/kit/MessagePort.h"
#include "ui/kit/Notification.h"
#include "ui/kit/TimerSource.h"

class QEventLoop;

namespace halvern::kit {

class Edit;
class ListRow;
class Option;
class Skin;

// How a window stands on the desktop.
enum class WindowKind {
    Main,     // a top-level application window with a taskbar entry
    Dialog,   // a tool window over its owner, usually modal
    Overlay,  // topmost, takes neither focus nor input (on-screen displays)
};

class SkinWindow : public QWidget {
public:
    SkinWindow(Skin& skin, QWidget* owner = nullptr);
    ~SkinWindow() override;

    virtual QString windowClassName() const = 0;
    virtual QString skinFile() const = 0;

    // Builds the window from its layout and runs onInit(). On an error (layout missing
    // or malformed) the window stays empty and the error is returned; onInit() still
    // runs, finding no controls, so a broken skin never takes the program down.
    std::optional<QString> create(WindowKind kind, const QString& title = {});
    WindowKind windowKind() const { return kind_; }
    // The window's title by language key, what the desktop and screen readers call it;
    // it follows the language. Before or after create().
    void setTitleKey(const QString& key);

    // Set before create(): children marked deferred="true" in the layout are built with
    // the rest (their controls exist, are found by name and take values) but join the
    // window only after its first paint, so what lies below the first screen does not
    // delay it. A window hidden before its first paint completes then; one never
    // shown stays incomplete until completeLayout(). Off by default: everything joins
    // at once.
    void setDeferredBuilding(bool on) { deferredBuilding_ = on; }
    // Puts every deferred child in its place now (idempotent).
    void completeLayout();
    bool layoutComplete() const { return deferred_.empty(); }

    Control* findControl(const QString& name) const { return controls_.value(name, nullptr); }
    template <typename T>
    T* find(const QString& name) const {
        return dynamic_cast<T*>(findControl(name));
    }
    const std::vector<Control*>& controls() const { return ordered_; }

    // Notifications of controls whose virtual window is `name` go to `pump`.
    void addVirtualWindow(const QString& name, NotifyPump* pump);
    void removeVirtualWindow(const QString& name);
    bool hasVirtualWindow(const QString& name) const { return pumps_.contains(name); }

    // Window timers by id (onTimer) and control timers ("timer" notifications from
    // that control, id in wParam). Setting a running id restarts it.
    void setTimer(int id, std::chrono::milliseconds period);
    void stopTimer(int id);
    bool isTimerActive(int id) const;
    void setControlTimer(Control* control, int id, std::chrono::milliseconds period);
    void stopControlTimer(Control* control, int id);
    // Replaces the timer source (tests: virtual time). Running timers are dropped.
    void setTimerSource(std::unique_ptr<TimerSource> source);

    // Any thread: queues the message for handleMessage() on the main thread.
    bool post(std::uint32_t id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0, std::any payload = {});
    // Any thread: runs `task` on the main thread, in order with the posted messages (the
    // form the apply worker's poster takes). False when the window is going away.
    bool postTask(std::function<void()> task);
    // Main thread: handles the message at once; returns whether it was handled.
    bool send(std::uint32_t id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    HalvernHostWindow* hostWindow() { return port_.hostWindow(); }

    // Shows the window and waits until closeWindow(); returns its result.
    int showModal();
    // Ends the window with a result: hides it, ends a modal wait, and deletes the
    // window when delete-on-close is set.
    void closeWindow(int result = 0);
    std::optional<int> result() const { return result_; }
    void setDeleteOnClose(bool on) { deleteOnClose_ = on; }
    // Escape ends the window with result 0, as Cancel does in a dialog.
    void setCloseOnEscape(bool on) { closeOnEscape_ = on; }

    void centerWindow();

    // Loads the language file into the skin and re-reads every key text.
    std::optional<QString> loadLanguage(const QString& file);
    void retranslate();

    Skin& skin() const { return skin_; }

    // What the text boxes show reaches the window's code before anything else acts:
    // before a control raises "click", "selectchanged", "itemselect", "checkclick",
    // "valuechanged", "colorchanged" or "colorchangedbuttonup", and before a menu item
    // is posted, every box of the window holding typed text raises "killfocus" (the
    // commit), whether or not it keeps the focus. A button marked cancel drops that
    // typing instead; so do Escape in the box and closeWindow(0). Call this before the
    // program ends.
    void commitPendingEdits();
    void revertPendingEdits();

    // For the controls.
    void dispatchNotification(const Notification& n);
    std::vector<Option*> optionsInGroup(const QString& group) const;
    ListRow* buildRow(const QString& layoutFile);

protected:
    virtual void onInit() {}
    // Once every control is in its place: right after onInit(), or with deferred
    // building once the deferred children have joined.
    virtual void onLayoutComplete() {}
    virtual void notify(const Notification&) {}
    virtual bool handleMessage(const Message&) { return false; }
    virtual void onTimer(int) {}
    // The window system asks the window to close (Alt+F4, a window manager's button).
    virtual void onCloseRequest() { closeWindow(0); }
    // After closeWindow() has hidden the window, before a delete-on-close deletion.
    virtual void onFinalMessage() {}

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void registerControl(Control* control);
    void raiseFrom(Control* control, std::string_view type);
    // Commits or drops the boxes' typing before `n` acts, as its sender asks.
    void settleEditsBefore(const Notification& n);
    void markKeyboardFocus(QWidget* widget, QEvent* focusEvent);
    void onTimerKey(std::uint64_t key);

    Skin& skin_;
    WindowKind kind_ = WindowKind::Main;
    QString titleKey_;
    MessagePort port_;
    std::unique_ptr<TimerSource> timers_;
    QHash<QString, Control*> controls_;
    std::vector<Control*> ordered_;
    // The options among them, in the same order: a group is looked up at every selection.
    std::vector<Option*> options_;
    // The window's text boxes, list rows' included; a row's go with it.
    std::vector<QPointer<Edit>> edits_;
    QHash<Control*, std::uint32_t> controlSerials_;
    QHash<std::uint32_t, QPointer<QWidget>> controlsBySerial_;
    QHash<QString, NotifyPump*> pumps_;
    int captionHeight_ = 0;
    std::optional<int> result_;
    QEventLoop* modalLoop_ = nullptr;
    bool deleteOnClose_ = false;
    bool closeOnEscape_ = false;
    bool closing_ = false;
    bool created_ = false;
    bool deferredBuilding_ = false;
    bool completionQueued_ = false;
    std::unique_ptr<QWidget> deferredHolder_;
    std::vector<LayoutBuilder::Deferred> deferred_;
};

}  // namespace halvern::kit
