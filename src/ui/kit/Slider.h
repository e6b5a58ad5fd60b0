// "Slider" raises "valuechanged" for every value the user gives it (drag, keys,
// wheel; in a scrolling container the wheel only while it has the focus, see
// Control::takesWheel); "Progress" only shows a value.
#pragma once

#include <QProgressBar>
#include <QSlider>

#include <functional>

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

    // The number the user sees for a position (800 DPI for the DPI slider's 16): what
    // assistive technology reads, in the range and steps it reports, and sets. Unset,
    // the position is that number.
    void setShownValue(std::function<double(int)> shown) { shown_ = std::move(shown); }
    double shownValue(int position) const { return shown_ ? shown_(position) : position; }
    // The smallest step between two positions' shown values.
    double shownStep() const;
    // Moves to the position whose shown value is nearest `shown`, as a user's drag does.
    void setShownValueByUser(double shown);

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    bool programChange_ = false;
    std::function<double(int)> shown_;
};

class Progress : public QProgressBar, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES

public:
    explicit Progress(QWidget* parent = nullptr) : QProgressBar(parent) { setTextVisible(false); }
    QWidget* widget() override { return this; }
};

}  // namespace halvern::kit
