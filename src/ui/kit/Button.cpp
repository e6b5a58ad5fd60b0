#include "ui/kit/Button.h"

#include <QPainter>

#include "ui/kit/SkinWindow.h"

namespace halvern::kit {

Button::Button(QWidget* parent) : QPushButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QPushButton::clicked, this, [this] { onUserClick(); });
}

void Button::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    QPainter painter(this);
    paintBackground(painter);
}

Option::Option(QWidget* parent) : Button(parent) { setCheckable(true); }

void Option::setSelected(bool selected, Notify notify) {
    if (selected && !group_.isEmpty() && skinWindow()) {
        for (Option* other : skinWindow()->optionsInGroup(group_))
            if (other != this) other->QPushButton::setChecked(false);
    }
    const bool changed = isChecked() != selected;
    QPushButton::setChecked(selected);
    if (notify == Notify::Yes && (changed || selected)) raiseNotify(notify::kSelectChanged, selected ? 1 : 0);
}

void Option::onUserClick() {
    raiseNotify(notify::kClick);
    // A grouped option is selected by a click and stays selected when clicked again;
    // an option on its own toggles.
    if (!group_.isEmpty()) {
        if (!isChecked()) setSelected(true, Notify::Yes);
    } else {
        setSelected(!isChecked(), Notify::Yes);
    }
}

CheckBox::CheckBox(QWidget* parent) : Button(parent) { setCheckable(true); }

void CheckBox::setChecked(bool checked, Notify notify) {
    QPushButton::setChecked(checked);
    if (notify == Notify::Yes) raiseNotify(notify::kCheckClick, checked ? 1 : 0);
}

void CheckBox::onUserClick() {
    raiseNotify(notify::kClick);
    setChecked(!isChecked(), Notify::Yes);
}

}  // namespace halvern::kit
