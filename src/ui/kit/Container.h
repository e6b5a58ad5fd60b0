// Vertical and horizontal containers ("Vertical", "Horizontal"), optionally scrolling
// vertically ("vscroll"). Children are laid out in order with "childpadding" between
// them and "inset" around them.
#pragma once

#include <QFrame>

#include "ui/kit/Control.h"

class QBoxLayout;
class QScrollArea;

namespace halvern::kit {

class Container : public QFrame, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES

public:
    Container(bool vertical, bool scrolling, QWidget* parent = nullptr);

    QWidget* widget() override { return this; }

    // Where the builder puts the children.
    QWidget* content() { return content_; }
    QBoxLayout* contentLayout() { return layout_; }

    // Scrolling containers: brings the end of the content into view. Others: nothing.
    void scrollToEnd();
    int scrollPosition() const;
    int scrollMaximum() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    QBoxLayout* layout_ = nullptr;
};

}  // namespace halvern::kit
