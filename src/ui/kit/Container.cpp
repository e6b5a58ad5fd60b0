#include "ui/kit/Container.h"

#include <QBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

namespace halvern::kit {

Container::Container(bool vertical, bool scrolling, QWidget* parent) : QFrame(parent), vertical_(vertical) {
    const auto direction = vertical ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight;
    if (!scrolling) {
        content_ = this;
        layout_ = new QBoxLayout(direction, this);
    } else {
        auto* outer = new QVBoxLayout(this);
        outer->setContentsMargins(0, 0, 0, 0);
        scroll_ = new QScrollArea(this);
        scroll_->setObjectName(u"kit_scroll"_qs);
        scroll_->setWidgetResizable(true);
        scroll_->setFrameShape(QFrame::NoFrame);
        scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // Not a stop of its own for Tab: the controls inside are, and Tab onto one
        // scrolls it into view.
        scroll_->setFocusPolicy(Qt::NoFocus);
        content_ = new QWidget;
        content_->setObjectName(u"kit_scroll_content"_qs);
        layout_ = new QBoxLayout(direction, content_);
        scroll_->setWidget(content_);
        outer->addWidget(scroll_);
    }
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
}

void Container::scrollToEnd() {
    if (!scroll_) return;
    // The content may have just grown; let the layout settle before asking its height.
    content_->adjustSize();
    layout_->activate();
    scroll_->verticalScrollBar()->setValue(scroll_->verticalScrollBar()->maximum());
}

int Container::scrollPosition() const { return scroll_ ? scroll_->verticalScrollBar()->value() : 0; }
int Container::scrollMaximum() const { return scroll_ ? scroll_->verticalScrollBar()->maximum() : 0; }

void Container::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    paintBackground(painter);
}

}  // namespace halvern::kit
