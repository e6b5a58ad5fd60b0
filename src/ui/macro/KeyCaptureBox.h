// A read-only key box (the shortcut dialog's, the macro editor's edit panel's) that takes
// one key when the user asks it to. A click on the box, or Enter or Space while it has
// the focus, starts the capture; the next key pressed is the key, Enter and Tab
// included, and the box is an ordinary control again. Escape during the capture, the
// focus leaving the box and cancel() end it without a key. Until a capture is started
// nothing typed lands in the box: Tab and Shift+Tab leave it as they leave any control,
// and Escape reaches its window (a dialog closes).
//
// The key comes from the hook library (its UM_HOOK_EVENT, handed in by the window) when
// start() reports that the library watches the desktop's input, else from the keys the
// box itself receives. Either way the box keeps the key's own press and release from
// its window, whichever of the two copies arrives first, so a taken Tab moves no focus,
// a taken Enter presses nothing and the Escape that cancels closes no dialog. Main
// thread only.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

namespace halvern {

class KeyboardLayout;

namespace kit {
class Edit;
}

class KeyCaptureBox final : public QObject {
public:
    struct Owner {
        // Installs and enables the hook; whether it watches the desktop's input.
        std::function<bool()> start;
        // Disables and removes it.
        std::function<void()> stop;
        // A key was taken: its virtual key (0: one without a virtual key).
        std::function<void(std::uintptr_t virtualKey)> taken;
        // The capture ended without a key; the box shows what it showed before.
        std::function<void()> cancelled;
        std::function<const KeyboardLayout&()> keyboard;
    };

    // `runningText` is what the box shows while it waits for the key.
    KeyCaptureBox(kit::Edit* box, QString runningText, Owner owner);
    ~KeyCaptureBox() override;

    bool running() const { return running_; }
    bool globalInput() const { return globalInput_; }
    void setRunningText(const QString& text) { runningText_ = text; }

    // Starts a capture, as a click on the box does.
    void start();
    // Ends a running capture without a key.
    void cancel();
    // The hook library's UM_HOOK_EVENT; ignored unless a capture runs on its input.
    void onHookEvent(std::uintptr_t wParam, std::intptr_t lParam);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void end();
    void take(std::uintptr_t virtualKey);
    // The box keeps the key it just took (or the Escape that cancelled) from its window
    // until that key is released, or for a moment where no release comes.
    void keepKeyFromWindow();
    bool keepingKey() const;

    kit::Edit* box_;
    QString runningText_;
    QString shownBefore_;
    Owner owner_;
    bool running_ = false;
    bool globalInput_ = false;
    bool keeping_ = false;
    QElapsedTimer keptSince_;
};

}  // namespace halvern
