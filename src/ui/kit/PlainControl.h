// "Control": a plain area that shows a background colour or image (a swatch, a
// picture, a spacer with a look).
#pragma once

#include <QPainter>
#include <QStyleOption>
#include <QWidget>

#include "ui/kit/Control.h"

namespace halvern::kit {

class PlainControl : public QWidget, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES

public:
    explicit PlainControl(QWidget* parent = nullptr) : QWidget(parent) { setAttribute(Qt::WA_StyledBackground); }
    QWidget* widget() override { return this; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QStyleOption option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
        paintBackground(painter);
    }
};

}  // namespace halvern::kit
