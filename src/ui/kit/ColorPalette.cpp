#include "ui/kit/ColorPalette.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace halvern::kit {

ColorPalette::ColorPalette(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::CrossCursor);
    setMinimumSize(80, 60);
}

QRect ColorPalette::fieldRect() const { return QRect(0, 0, std::max(1, width() - kStripWidth - kGap), height()); }
QRect ColorPalette::stripRect() const { return QRect(width() - kStripWidth, 0, kStripWidth, height()); }

void ColorPalette::setSelectedColor(QRgb argb, Notify notify) {
    const QRgb before = color_;
    color_ = argb | 0xFF000000u;
    const QColor c = QColor::fromRgb(color_);
    float h, s, v;
    c.getHsvF(&h, &s, &v);
    if (h >= 0) hue_ = h;  // grey has no hue; keep the one shown
    saturation_ = s;
    value_ = v;
    update();
    if (notify == Notify::Yes && before != color_) raiseNotify(notify::kColorChanged);
}

void ColorPalette::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintBackground(p);
    const QRect field = fieldRect();
    if (field_.size() != field.size()) {
        field_ = QImage(field.size(), QImage::Format_RGB32);
        for (int y = 0; y < field.height(); ++y) {
            const float s = 1.0f - static_cast<float>(y) / static_cast<float>(std::max(1, field.height() - 1));
            auto* line = reinterpret_cast<QRgb*>(field_.scanLine(y));
            for (int x = 0; x < field.width(); ++x) {
                const float h = static_cast<float>(x) / static_cast<float>(std::max(1, field.width()));
                line[x] = QColor::fromHsvF(h, s, 1.0f).rgb();
            }
        }
    }
    p.drawImage(field.topLeft(), field_);
    // The field shows full brightness; darken it by the chosen brightness.
    p.fillRect(field, QColor(0, 0, 0, static_cast<int>((1.0f - value_) * 255)));

    const QRect strip = stripRect();
    QLinearGradient g(strip.topLeft(), strip.bottomLeft());
    g.setColorAt(0, QColor::fromHsvF(hue_, saturation_, 1.0f));
    g.setColorAt(1, Qt::black);
    p.fillRect(strip, g);

    p.setRenderHint(QPainter::Antialiasing);
    const QPointF marker(field.left() + hue_ * field.width(),
                         field.top() + (1.0f - saturation_) * (field.height() - 1));
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(marker, 5, 5);
    const qreal sy = strip.top() + (1.0f - value_) * (strip.height() - 1);
    p.drawRect(QRectF(strip.left() - 1, sy - 2, strip.width() + 1, 4));
}

void ColorPalette::pickAt(QPoint pos) {
    if (drag_ == Drag::Field) {
        const QRect field = fieldRect();
        hue_ =
            std::clamp(static_cast<float>(pos.x() - field.left()) / static_cast<float>(field.width()), 0.0f, 0.9999f);
        saturation_ = std::clamp(
            1.0f - static_cast<float>(pos.y() - field.top()) / static_cast<float>(std::max(1, field.height() - 1)),
            0.0f, 1.0f);
    } else if (drag_ == Drag::Strip) {
        const QRect strip = stripRect();
        value_ = std::clamp(
            1.0f - static_cast<float>(pos.y() - strip.top()) / static_cast<float>(std::max(1, strip.height() - 1)),
            0.0f, 1.0f);
    } else {
        return;
    }
    const QRgb picked = QColor::fromHsvF(hue_, saturation_, value_).rgb();
    update();
    if (picked != color_) {
        color_ = picked;
        raiseNotify(notify::kColorChanged);
    }
}

void ColorPalette::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint pos = event->position().toPoint();
    drag_ = stripRect().contains(pos) ? Drag::Strip : fieldRect().contains(pos) ? Drag::Field : Drag::None;
    pickAt(pos);
}

void ColorPalette::mouseMoveEvent(QMouseEvent* event) { pickAt(event->position().toPoint()); }

void ColorPalette::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || drag_ == Drag::None) return;
    pickAt(event->position().toPoint());
    drag_ = Drag::None;
    raiseNotify(notify::kColorChangedButtonUp);
}

}  // namespace halvern::kit
