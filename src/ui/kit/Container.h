// Vertical and horizontal containers ("Vertical", "Horizontal"), optionally scrolling
// vertically ("vscroll"). Children are laid out in order with "childpadding" between
// them and "inset" around them. A short "text" (a row's number) may head the
// children: drawn right-aligned in its own band of "textwidth" pixels, in the colour
// and pixel size the sheet gives as properties, without a label widget of its own.
#pragma once

#include <QFrame>

#include "ui/kit/Control.h"

class QBoxLayout;
class QScrollArea;

namespace halvern::kit {

class Container : public QFrame, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor)
    Q_PROPERTY(int textPixelSize READ textPixelSize WRITE setTextPixelSize)

public:
    Container(bool vertical, bool scrolling, QWidget* parent = nullptr);

    // The text heading the children, in a band of `width` pixels before them.
    void setLeadingText(const QString& text, int width);
    QString leadingText() const { return leadingText_; }
    // Unset, the text colour and size are those of the window's text.
    QColor textColor() const { return textColor_; }
    void setTextColor(const QColor& color) { SetLook(*this, textColor_, color); }
    int textPixelSize() const { return textPixelSize_; }
    void setTextPixelSize(int size) { SetLook(*this, textPixelSize_, size); }

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
    QString leadingText_;
    int leadingLeft_ = 0;
    int leadingWidth_ = 0;
    QColor textColor_;
    int textPixelSize_ = 0;
};

}  // namespace halvern::kit
