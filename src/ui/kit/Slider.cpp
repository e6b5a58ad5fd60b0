#include "ui/kit/Slider.h"

#include <QWheelEvent>

namespace halvern::kit {

Slider::Slider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QSlider::valueChanged, this, [this](int) {
        if (!programChange_) raiseNotify(notify::kValueChanged);
    });
}

void Slider::wheelEvent(QWheelEvent* event) {
    // Left unaccepted, the wheel goes on to the scrolling container around.
    if (!takesWheel()) {
        event->ignore();
        return;
    }
    QSlider::wheelEvent(event);
}

void Slider::setValue(int value, Notify notify) {
    const int before = this->value();
    programChange_ = true;
    QSlider::setValue(value);
    programChange_ = false;
    if (notify == Notify::Yes && before != this->value()) raiseNotify(notify::kValueChanged);
}

}  // namespace halvern::kit
