#include "ui/kit/Container.h"

#include <QBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

namespace halvern::kit {

Container::Container(bool vertical, bool scrolling, QWidget* parent) : QFrame(parent) {
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

void Container::setLeadingText(const QString& text, int width) {
    if (scroll_ || !leadingText_.isEmpty() || text.isEmpty()) return;
    leadingText_ = text;
    const QMargins m = layout_->contentsMargins();
    leadingLeft_ = m.left();
    leadingWidth_ = std::max(0, width);
    layout_->setContentsMargins(m.left() + leadingWidth_ + layout_->spacing(), m.top(), m.right(), m.bottom());
}

void Container::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    paintBackground(painter);
    if (leadingText_.isEmpty()) return;
    QFont face = font();
    if (textPixelSize_ > 0) face.setPixelSize(textPixelSize_);
    painter.setFont(face);
    painter.setPen(textColor_.isValid() ? textColor_ : palette().color(QPalette::WindowText));
    const QMargins m = layout_->contentsMargins();
    const QRect band(leadingLeft_, m.top(), leadingWidth_, height() - m.top() - m.bottom());
    painter.drawText(band, Qt::AlignRight | Qt::AlignVCenter, leadingText_);
}

}  // namespace halvern::kit
