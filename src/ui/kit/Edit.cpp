#include "ui/kit/Edit.h"

#include <QKeyEvent>
#include <QValidator>

#include "ui/kit/Skin.h"

namespace halvern::kit {

Edit::Edit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, [this](const QString& typed) {
        typing_ = true;
        // Keep the control's own copy in step with what the user typed.
        Control::setText(typed);
        typed_ = true;
        raiseNotify(notify::kTextChanged);
        typing_ = false;
    });
    connect(this, &QLineEdit::returnPressed, this, [this] {
        markCommitted();
        raiseNotify(notify::kReturn);
    });
}

void Edit::setText(const QString& text, Notify notify) {
    Control::setText(text);
    if (notify == Notify::Yes) raiseNotify(notify::kTextChanged);
}

void Edit::showText(const QString& text) {
    if (QLineEdit::text() != text) QLineEdit::setText(text);
    if (!typing_) {
        committed_ = text;
        typed_ = false;
    }
}

void Edit::markCommitted() {
    committed_ = QLineEdit::text();
    typed_ = false;
}

bool Edit::revertTyping() {
    if (!typed_) return false;
    typed_ = false;
    if (QLineEdit::text() == committed_) return true;
    Control::setText(committed_);
    raiseNotify(notify::kTextChanged);
    return true;
}

void Edit::keyPressEvent(QKeyEvent* event) {
    // Escape drops what was typed, then goes on to the window as before: a dialog that
    // closes on Escape still closes with the one press.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) revertTyping();
    QLineEdit::keyPressEvent(event);
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

void Edit::setNumberOnly(bool on) { setValidator(on ? new DigitsValidator(this) : nullptr); }

void Edit::setPlaceholderKey(const QString& key) {
    placeholderKey_ = key;
    retranslatePlaceholder();
}

void Edit::retranslatePlaceholder() {
    if (!placeholderKey_.isEmpty() && skin()) setPlaceholderText(skin()->text(placeholderKey_));
}

}  // namespace halvern::kit
