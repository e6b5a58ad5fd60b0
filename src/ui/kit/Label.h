// "Label": a text, plain or by language key ("textkey"), over its background.
#pragma once

#include <QLabel>
#include <QPainter>

#include "ui/kit/Control.h"
#include "ui/kit/FixedSize.h"

namespace halvern::kit {

class Label : public QLabel, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES

public:
    explicit Label(QWidget* parent = nullptr) : QLabel(parent) { setTextFormat(Qt::PlainText); }
    QWidget* widget() override { return this; }
    using Control::setText;
    using Control::text;
    QSize sizeHint() const override {
        if (auto size = FixedSize(*this)) return *size;
        return QLabel::sizeHint();
    }
    QSize minimumSizeHint() const override {
        if (auto size = FixedSize(*this)) return *size;
        return QLabel::minimumSizeHint();
    }

protected:
    void showText(const QString& text) override { QLabel::setText(text); }
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(this);
            paintBackground(painter);
        }
        QLabel::paintEvent(event);
    }
};

}  // namespace halvern::kit
