#include "ui/macro/KeyCaptureBox.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include "ui/kit/Edit.h"
#include "ui/macro/OwnWindowInput.h"

namespace halvern {

namespace {

constexpr std::uintptr_t kVkEscape = 0x1B;
// A key whose copy never reaches the box (one the window manager keeps) is not waited
// for longer than this.
constexpr qint64 kKeepKeyMs = 1000;

bool StartsCapture(const QKeyEvent& key) {
    if (key.modifiers() & ~Qt::KeypadModifier || key.isAutoRepeat()) return false;
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter || key.key() == Qt::Key_Space;
}

}  // namespace

KeyCaptureBox::KeyCaptureBox(kit::Edit* box, QString runningText, Owner owner)
    : box_(box), runningText_(std::move(runningText)), owner_(std::move(owner)) {
    if (box_) box_->installEventFilter(this);
}

KeyCaptureBox::~KeyCaptureBox() {
    if (running_ && owner_.stop) owner_.stop();
}

void KeyCaptureBox::start() {
    if (running_ || !box_) return;
    running_ = true;
    keeping_ = false;
    globalInput_ = owner_.start && owner_.start();
    shownBefore_ = box_->QLineEdit::text();
    box_->setText(runningText_, kit::Notify::No);
}

void KeyCaptureBox::end() {
    running_ = false;
    if (owner_.stop) owner_.stop();
}

void KeyCaptureBox::cancel() {
    if (!running_) return;
    end();
    box_->setText(shownBefore_, kit::Notify::No);
    if (owner_.cancelled) owner_.cancelled();
}

void KeyCaptureBox::take(std::uintptr_t virtualKey) {
    end();
    box_->setText(shownBefore_, kit::Notify::No);
    if (owner_.taken) owner_.taken(virtualKey);
}

void KeyCaptureBox::keepKeyFromWindow() {
    keeping_ = true;
    keptSince_.start();
}

bool KeyCaptureBox::keepingKey() const { return keeping_ && keptSince_.elapsed() < kKeepKeyMs; }

void KeyCaptureBox::onHookEvent(std::uintptr_t wParam, std::intptr_t lParam) {
    // Releases end nothing: the key of the first press is the one taken.
    if (!running_ || !globalInput_ || lParam != 0) return;
    keepKeyFromWindow();
    if (wParam == kVkEscape) cancel();
    else take(wParam);
}

bool KeyCaptureBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched != box_) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) start();
            return false;
        case QEvent::FocusOut: cancel(); return false;
        case QEvent::ShortcutOverride:
            // While it waits, every key is the box's: no shortcut of the window acts on it.
            if (running_ || keepingKey()) event->accept();
            return false;
        case QEvent::KeyRelease:
            if (running_) return true;
            if (keepingKey()) {
                // A held key repeats as presses and releases; its last release ends it.
                if (!static_cast<const QKeyEvent*>(event)->isAutoRepeat()) keeping_ = false;
                return true;
            }
            return false;
        case QEvent::KeyPress: {
            const auto& key = static_cast<const QKeyEvent&>(*event);
            if (running_) {
                // The hook's copy of the key decides; this one is only kept from the window.
                keepKeyFromWindow();
                std::uintptr_t virtualKey = 0;  // none known
                if (owner_.keyboard)
                    if (const std::optional<OwnInputEvent> own = OwnInputEventOf(key, owner_.keyboard()))
                        virtualKey = own->wParam;
                if (key.key() == Qt::Key_Escape || virtualKey == kVkEscape) cancel();
                else if (!globalInput_) take(virtualKey);
                return true;
            }
            if (keepingKey()) return true;
            if (StartsCapture(key)) {
                start();
                return true;
            }
            return false;
        }
        default: return false;
    }
}

}  // namespace halvern
