#include "ui/kit/Combo.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QWheelEvent>
#include <QtMath>

#include <algorithm>

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

void Combo::changeEvent(QEvent* event) {
    // QComboBox builds its drop-down (a popup frame, a list view, scroll bars and
    // scrollers, each styled by the sheet) on the first style or font change, which
    // every combo gets as it joins a styled window: about 130 KB each, for a list most
    // combos never open. Until it is first opened or asked for it is not built; it is
    // built then, in the look of that moment. The change still re-measures the combo.
    const bool restyle = event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange;
    if (restyle && !findChild<QAbstractItemView*>()) {
        QWidget::changeEvent(event);
        return;
    }
    QComboBox::changeEvent(event);
}

QSize Combo::measure() const {
    if (auto size = FixedSize(*this)) return *size;
    const QFontMetrics metrics = fontMetrics();
    int width = count() == 0 ? 7 * metrics.horizontalAdvance(u'x') : 0;
    for (int i = 0; i < count(); ++i) width = std::max(width, metrics.boundingRect(itemText(i)).width());
    const QSize text(width, std::max(qCeil(QFontMetricsF(metrics).height()), 14) + 2);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, this);
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
