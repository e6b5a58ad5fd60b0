#include "ui/kit/Slider.h"

#include <QWheelEvent>

#include <cmath>
#include <limits>

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

double Slider::shownStep() const {
    double step = std::numeric_limits<double>::infinity();
    for (int p = minimum(); p < maximum(); ++p) step = std::min(step, std::abs(shownValue(p + 1) - shownValue(p)));
    return std::isfinite(step) ? step : 0;
}

void Slider::setShownValueByUser(double shown) {
    int best = value();
    double distance = std::numeric_limits<double>::infinity();
    for (int p = minimum(); p <= maximum(); ++p) {
        const double d = std::abs(shownValue(p) - shown);
        if (d < distance) {
            distance = d;
            best = p;
        }
    }
    setValue(best, Notify::Yes);
}

}  // namespace halvern::kit
