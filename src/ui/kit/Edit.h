// Text boxes. "Edit" and "RichEdit" behave alike here: "textchanged" on every change
// the user makes, "return" on Enter; focus gives "setfocus" and "killfocus" like any
// control. "numberonly" lets only digits in, "maxchar" limits the length.
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

protected:
    void showText(const QString& text) override;
    bool namedByText() const override { return false; }

private:
    QString placeholderKey_;
};

class RichEdit : public Edit {
public:
    using Edit::Edit;
};

}  // namespace halvern::kit
