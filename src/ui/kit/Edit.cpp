#include "ui/kit/Edit.h"

#include <QRegularExpressionValidator>

#include "ui/kit/Skin.h"

namespace halvern::kit {

Edit::Edit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, [this](const QString& typed) {
        // Keep the control's own copy in step with what the user typed.
        Control::setText(typed);
        raiseNotify(notify::kTextChanged);
    });
    connect(this, &QLineEdit::returnPressed, this, [this] { raiseNotify(notify::kReturn); });
}

void Edit::setText(const QString& text, Notify notify) {
    Control::setText(text);
    if (notify == Notify::Yes) raiseNotify(notify::kTextChanged);
}

void Edit::showText(const QString& text) {
    if (QLineEdit::text() != text) QLineEdit::setText(text);
}

void Edit::setNumberOnly(bool on) {
    static const QRegularExpression digits(u"[0-9]*"_qs);
    setValidator(on ? new QRegularExpressionValidator(digits, this) : nullptr);
}

void Edit::setPlaceholderKey(const QString& key) {
    placeholderKey_ = key;
    retranslatePlaceholder();
}

void Edit::retranslatePlaceholder() {
    if (!placeholderKey_.isEmpty() && skin()) setPlaceholderText(skin()->text(placeholderKey_));
}

}  // namespace halvern::kit
