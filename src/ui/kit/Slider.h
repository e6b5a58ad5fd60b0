// "Slider" raises "valuechanged" for every value the user gives it (drag, keys,
// wheel; in a scrolling container the wheel only while it has the focus, see
// Control::takesWheel); "Progress" only shows a value.
//
// The slider draws itself: a groove, the part of it up to the handle, a round handle,
// in the colours the style sheet gives it as properties. Drawn by the style sheet
// engine, each of those parts costs a cache of rules the engine keeps for every
// slider, about 30 KB a slider, whether or not the sheet says anything of the part.
#pragma once

#include <QProgressBar>
#include <QSlider>

#include <functional>
#include <optional>

#include "ui/kit/Control.h"

namespace halvern::kit {

class Slider : public QSlider, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES
    Q_PROPERTY(QColor grooveColor READ grooveColor WRITE setGrooveColor)
    Q_PROPERTY(QBrush progressBrush READ progressBrush WRITE setProgressBrush)
    Q_PROPERTY(QColor handleColor READ handleColor WRITE setHandleColor)
    Q_PROPERTY(QColor handleBorderColor READ handleBorderColor WRITE setHandleBorderColor)

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

    QColor grooveColor() const { return groove_; }
    void setGrooveColor(const QColor& c) { SetLook(*this, groove_, c); }
    QBrush progressBrush() const { return progress_; }
    void setProgressBrush(const QBrush& b) { SetLook(*this, progress_, b); }
    QColor handleColor() const { return handle_; }
    void setHandleColor(const QColor& c) { SetLook(*this, handle_, c); }
    QColor handleBorderColor() const { return handleBorder_; }
    void setHandleBorderColor(const QColor& c) { SetLook(*this, handleBorder_, c); }

    // Where the parts lie for the current position.
    QRect grooveRect() const;
    QRect handleRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // The position whose handle would start at x.
    int positionAt(int x) const;

    bool programChange_ = false;
    std::function<double(int)> shown_;
    QColor groove_{0x2a, 0x2e, 0x3a};
    QBrush progress_{QColor(0x7c, 0x5c, 0xff)};
    QColor handle_{Qt::white};
    QColor handleBorder_;
    // Where in the handle the pointer took it; none while the handle is not held.
    std::optional<int> heldAt_;
};

class Progress : public QProgressBar, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES

public:
    explicit Progress(QWidget* parent = nullptr) : QProgressBar(parent) { setTextVisible(false); }
    QWidget* widget() override { return this; }
};

}  // namespace halvern::kit
