// Text boxes. "Edit" and "RichEdit" behave alike here: "textchanged" on every change
// the user makes, "return" on Enter; focus gives "setfocus" and "killfocus" like any
// control. "numberonly" lets only digits in, "maxchar" limits the length.
//
// "killfocus" and "return" from a box mean "commit what it shows". A box knows whether
// it holds text typed since its last commit, so that its window can commit it before
// another control acts, or drop it (Escape in the box, a cancel button, a window
// closing with result 0) by putting back the text it held at its last commit. What the
// program writes into the box counts as committed.
#pragma once

#include <QLineEdit>

#include "ui/kit/Control.h"
#include "ui/kit/FixedSize.h"

namespace halvern::kit {

class Edit : public QLineEdit, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES

public:
    explicit Edit(QWidget* parent = nullptr);
    QWidget* widget() override { return this; }

    using Control::setText;
    using Control::text;
    QSize sizeHint() const override {
        if (auto size = FixedSize(*this)) return *size;
        return QLineEdit::sizeHint();
    }
    QSize minimumSizeHint() const override {
        if (auto size = FixedSize(*this)) return *size;
        return QLineEdit::minimumSizeHint();
    }
    // Program change of the text; with Notify::Yes it raises "textchanged" as typing does.
    void setText(const QString& text, Notify notify);

    void setNumberOnly(bool on);
    void setPlaceholderKey(const QString& key);
    void retranslatePlaceholder();

    // Typed since the last commit (or program change), and not yet committed.
    bool hasUncommittedTyping() const { return typed_; }
    // What the box shows now is what a revert goes back to. The window calls it just
    // before it raises a commit ("killfocus", "return") from the box, so that whatever
    // the receiver writes back into the box is committed too.
    void markCommitted();
    // Drops the uncommitted typing: the box shows its last committed text again, with
    // "textchanged" when that differs from what it showed. False when there was none.
    bool revertTyping();

protected:
    void showText(const QString& text) override;
    bool namedByText() const override { return false; }
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString placeholderKey_;
    QString committed_;
    bool typed_ = false;
    // Inside the user's own change: a receiver of its "textchanged" that rewrites the
    // text (a digits filter) is still editing the typing, not committing it.
    bool typing_ = false;
};

class RichEdit : public Edit {
public:
    using Edit::Edit;
};

}  // namespace halvern::kit
