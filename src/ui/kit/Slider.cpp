#include "ui/kit/Slider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOption>
#include <QWheelEvent>

#include <cmath>
#include <limits>

namespace halvern::kit {

namespace {

constexpr int kGroove = 4;   // the groove's height
constexpr int kHandle = 14;  // the handle's diameter
constexpr int kLength = 84;  // the length a slider asks for when nothing else is said
// The ring the sheet draws round a slider the keyboard focused: the groove keeps
// inside it.
constexpr int kFocusRing = 1;

void FillRounded(QPainter& painter, const QRect& r, qreal radius, const QBrush& brush) {
    QPainterPath path;
    path.addRoundedRect(QRectF(r), radius, radius);
    painter.fillPath(path, brush);
}

}  // namespace

Slider::Slider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QSlider::valueChanged, this, [this](int) {
        if (!programChange_) raiseNotify(notify::kValueChanged);
    });
}

// A pixel taller than the handle: the height the pages were laid out with.
QSize Slider::sizeHint() const { return {kLength, kHandle + 1}; }

QSize Slider::minimumSizeHint() const { return {kHandle, kHandle + 1}; }

QRect Slider::grooveRect() const {
    const int ring = keyFocus() ? kFocusRing : 0;
    const QRect inside = rect().adjusted(ring, ring, -ring, -ring);
    return {inside.x(), inside.y() + (inside.height() - kGroove) / 2, inside.width(), kGroove};
}

QRect Slider::handleRect() const {
    const QRect groove = grooveRect();
    const int x = QStyle::sliderPositionFromValue(minimum(), maximum(), sliderPosition(), groove.width() - kHandle);
    return {groove.x() + x, groove.y() - (kHandle - kGroove) / 2, kHandle, kHandle};
}

int Slider::positionAt(int x) const {
    const QRect groove = grooveRect();
    return QStyle::sliderValueFromPosition(minimum(), maximum(), x - groove.x(), groove.width() - kHandle);
}

bool Slider::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::HoverEnter:
        case QEvent::HoverLeave:
        case QEvent::HoverMove:
            // The look has no hover state; QSlider would ask the style where its parts are.
            return QAbstractSlider::event(event);
        default: return QSlider::event(event);
    }
}

void Slider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // What the sheet draws for the slider as a whole: the keyboard's focus ring.
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);

    painter.setRenderHint(QPainter::Antialiasing);
    const QRect groove = grooveRect();
    const QRect handle = handleRect();
    FillRounded(painter, groove, kGroove / 2.0, groove_);
    FillRounded(painter, QRect(groove.topLeft(), QPoint(handle.x() + kHandle / 2, groove.bottom())), kGroove / 2.0,
                progress_);
    // A ring, if the look has one, is the handle's edge in its colour.
    const int ring = handleBorder_.isValid() && handleBorder_.alpha() > 0 ? 1 : 0;
    painter.setPen(Qt::NoPen);
    if (ring) {
        painter.setBrush(handleBorder_);
        painter.drawEllipse(QRectF(handle));
    }
    painter.setBrush(handle_);
    painter.drawEllipse(QRectF(handle).adjusted(ring, ring, -ring, -ring));
}

void Slider::mousePressEvent(QMouseEvent* event) {
    // One button at a time, as QSlider takes them: the left one on the handle takes
    // it, on the groove pages towards the pointer for as long as it is held; the
    // middle one puts the handle under the pointer and takes it there.
    if (maximum() == minimum() || (event->buttons() ^ event->button())) {
        event->ignore();
        return;
    }
    const QRect handle = handleRect();
    const int x = qRound(event->position().x());
    if (event->button() == Qt::LeftButton && handle.contains(event->position().toPoint())) {
        heldAt_ = x - handle.x();
    } else if (event->button() == Qt::LeftButton) {
        const int at = positionAt(x - kHandle / 2);
        const SliderAction action = at > value()   ? SliderPageStepAdd
                                    : at < value() ? SliderPageStepSub
                                                   : SliderNoAction;
        if (action != SliderNoAction) {
            triggerAction(action);
            setRepeatAction(action);
        }
        event->accept();
        return;
    } else if (event->button() == Qt::MiddleButton) {
        heldAt_ = kHandle / 2;
        setSliderPosition(positionAt(x - *heldAt_));
        triggerAction(SliderMove);
    } else {
        event->ignore();
        return;
    }
    event->accept();
    setRepeatAction(SliderNoAction);
    setSliderDown(true);
    update();
}

void Slider::mouseMoveEvent(QMouseEvent* event) {
    if (!heldAt_) {
        event->ignore();
        return;
    }
    event->accept();
    setSliderPosition(positionAt(qRound(event->position().x()) - *heldAt_));
}

void Slider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->buttons()) {
        event->ignore();
        return;
    }
    event->accept();
    setRepeatAction(SliderNoAction);
    if (heldAt_) {
        heldAt_.reset();
        setSliderDown(false);
    }
    update();
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
