#include "ui/kit/Edit.h"

#include <QValidator>

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

namespace {

// Digits only, checked by hand: a regular expression would load and compile PCRE at
// start-up for this alone.
class DigitsValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (QChar c : input)
            if (c < u'0' || c > u'9') return Invalid;
        return Acceptable;
    }
};

}  // namespace

void Edit::setNumberOnly(bool on) {
    setValidator(on ? new DigitsValidator(this) : nullptr);
}

void Edit::setPlaceholderKey(const QString& key) {
    placeholderKey_ = key;
    retranslatePlaceholder();
}

void Edit::retranslatePlaceholder() {
    if (!placeholderKey_.isEmpty() && skin()) setPlaceholderText(skin()->text(placeholderKey_));
}

}  // namespace halvern::kit
