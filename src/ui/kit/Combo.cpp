#include "ui/kit/Combo.h"

#include <QWheelEvent>

#include "ui/kit/Skin.h"

namespace halvern::kit {

Combo::Combo(QWidget* parent) : QComboBox(parent) {
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        const int old = last_;
        last_ = index;
        if (!programChange_) raiseNotify(notify::kItemSelect, static_cast<std::uintptr_t>(index), old);
    });
}

void Combo::wheelEvent(QWheelEvent* event) {
    // Left unaccepted, the wheel goes on to the scrolling container around.
    if (!takesWheel()) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

void Combo::addItem(const QString& text, bool isKey) {
    items_.push_back({text, isKey});
    programChange_ = true;
    QComboBox::addItem(isKey && skin() ? skin()->text(text) : text);
    programChange_ = false;
    last_ = currentIndex();
}

void Combo::removeAllItems() {
    items_.clear();
    programChange_ = true;
    clear();
    programChange_ = false;
    last_ = -1;
}

bool Combo::selectItem(int index, Notify notify) {
    if (index < -1 || index >= count()) return false;
    const int old = currentIndex();
    programChange_ = true;
    setCurrentIndex(index);
    programChange_ = false;
    last_ = index;
    if (notify == Notify::Yes && old != index)
        raiseNotify(notify::kItemSelect, static_cast<std::uintptr_t>(index), old);
    return true;
}

void Combo::retranslateItems() {
    for (int i = 0; i < count() && i < static_cast<int>(items_.size()); ++i)
        if (items_[static_cast<std::size_t>(i)].isKey && skin())
            setItemText(i, skin()->text(items_[static_cast<std::size_t>(i)].text));
}

}  // namespace halvern::kit
