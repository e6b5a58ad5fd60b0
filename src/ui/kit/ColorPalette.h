// "ColorPalette": picks a colour with the mouse. The field shows hue across and
// saturation down; the strip on the right sets the brightness. Dragging raises
// "colorchanged" for each new colour, releasing the button "colorchangedbuttonup".
#pragma once

#include <QImage>
#include <QWidget>

#include "ui/kit/Control.h"

namespace halvern::kit {

class ColorPalette : public QWidget, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES

public:
    static constexpr int kStripWidth = 16;
    static constexpr int kGap = 8;

    explicit ColorPalette(QWidget* parent = nullptr);
    QWidget* widget() override { return this; }

    // Opaque ARGB; what the palette shows after a program change is this colour
    // exactly, even where the field cannot show it exactly.
    QRgb selectedColor() const { return color_; }
    void setSelectedColor(QRgb argb, Notify notify);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent*) override { field_ = QImage(); }

private:
    enum class Drag { None, Field, Strip };
    QRect fieldRect() const;
    QRect stripRect() const;
    void pickAt(QPoint p);

    QRgb color_ = 0xFF000000;
    float hue_ = 0, saturation_ = 0, value_ = 0;
    Drag drag_ = Drag::None;
    QImage field_;
};

}  // namespace halvern::kit
