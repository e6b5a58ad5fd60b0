// "Slider" raises "valuechanged" for every value the user gives it (drag, keys,
// wheel; in a scrolling container the wheel only while it has the focus, see
// Control::takesWheel); "Progress" only shows a value.
#pragma once

#include <QProgressBar>
#include <QSlider>

#include "ui/kit/Control.h"

namespace halvern::kit {

class Slider : public QSlider, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES

public:
    explicit Slider(QWidget* parent = nullptr);
    QWidget* widget() override { return this; }

    // Out-of-range values are clamped to the range, as a drag would.
    void setValue(int value, Notify notify);

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    bool programChange_ = false;
};

class Progress : public QProgressBar, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES

public:
    explicit Progress(QWidget* parent = nullptr) : QProgressBar(parent) { setTextVisible(false); }
    QWidget* widget() override { return this; }
};

}  // namespace halvern::kit
