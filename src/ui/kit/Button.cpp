#include "ui/kit/Button.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>

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

void Button::keyPressEvent(QKeyEvent* event) {
    // A push button takes Enter only as a dialog's default button; here every button does.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() == Qt::NoModifier && !event->isAutoRepeat()) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

Option::Option(QWidget* parent) : Button(parent) { setCheckable(true); }

void Option::keyPressEvent(QKeyEvent* event) {
    int step = 0;
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up: step = -1; break;
        case Qt::Key_Right:
        case Qt::Key_Down: step = 1; break;
        default: break;
    }
    if (step == 0 || group_.isEmpty() || !skinWindow()) {
        Button::keyPressEvent(event);
        return;
    }
    std::vector<Option*> group = skinWindow()->optionsInGroup(group_);
    std::erase_if(group, [this](Option* o) { return o != this && (!o->isVisibleTo(window()) || !o->isEnabled()); });
    const auto at = std::find(group.begin(), group.end(), this);
    if (at == group.end()) return;
    const auto index = at - group.begin() + step;
    if (index < 0 || index >= static_cast<std::ptrdiff_t>(group.size())) return;
    Option* next = group[static_cast<std::size_t>(index)];
    next->setFocus(Qt::TabFocusReason);
    next->click();
}

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
    const bool changed = isChecked() != checked;
    QPushButton::setChecked(checked);
    if (expander_ && changed && QAccessible::isActive()) {
        QAccessible::State expanded;
        expanded.expanded = true;
        QAccessibleStateChangeEvent event(this, expanded);
        QAccessible::updateAccessibility(&event);
    }
    if (notify == Notify::Yes) raiseNotify(notify::kCheckClick, checked ? 1 : 0);
}

void CheckBox::onUserClick() {
    raiseNotify(notify::kClick);
    setChecked(!isChecked(), Notify::Yes);
}

}  // namespace halvern::kit
