#include "ui/kit/List.h"

#include <QHelpEvent>
#include <QToolTip>
#include <QWheelEvent>

#include "ui/kit/SkinWindow.h"

namespace halvern::kit {

void ListRow::add(Control* control) {
    if (!control->name().isEmpty() && !controls_.contains(control->name())) controls_.insert(control->name(), control);
}

List::List(QWidget* parent) : QListWidget(parent) {
    // Not the item views' wheel focus: a wheel passing over the list must not take the
    // focus, and with it the wheel, from the column it scrolls.
    setFocusPolicy(Qt::StrongFocus);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(false);
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        const int old = last_;
        last_ = row;
        if (!programChange_) raiseNotify(notify::kItemSelect, static_cast<std::uintptr_t>(row), old);
    });
}

void List::wheelEvent(QWheelEvent* event) {
    // Left unaccepted, the wheel goes on to the scrolling container around.
    if (!takesWheel()) {
        event->ignore();
        return;
    }
    QListWidget::wheelEvent(event);
}

int List::addLabelRow(const QString& text, int height) {
    auto* item = new QListWidgetItem(text);
    item->setSizeHint(QSize(0, height > 0 ? height : defaultRowHeight_));
    programChange_ = true;
    addItem(item);
    programChange_ = false;
    return count() - 1;
}

ListRow* List::addLayoutRow(const QString& layoutFile, int height) {
    if (!skinWindow()) return nullptr;
    ListRow* row = skinWindow()->buildRow(layoutFile);
    if (!row) return nullptr;
    auto* item = new QListWidgetItem;
    item->setSizeHint(QSize(0, height > 0 ? height : defaultRowHeight_));
    programChange_ = true;
    addItem(item);
    setItemWidget(item, row);
    programChange_ = false;
    return row;
}

ListRow* List::layoutRow(int index) const {
    QListWidgetItem* it = item(index);
    return it ? dynamic_cast<ListRow*>(itemWidget(it)) : nullptr;
}

bool List::setRowText(int index, const QString& text) {
    QListWidgetItem* it = item(index);
    if (!it) return false;
    it->setText(text);
    return true;
}

bool List::setRowSpokenName(int index, const QString& name) {
    QListWidgetItem* it = item(index);
    if (!it) return false;
    it->setData(Qt::AccessibleTextRole, name);
    return true;
}

QString List::rowText(int index) const {
    QListWidgetItem* it = item(index);
    return it ? it->text() : QString();
}

bool List::removeRow(int index) {
    if (index < 0 || index >= count()) return false;
    programChange_ = true;
    delete takeItem(index);
    programChange_ = false;
    last_ = currentRow();
    return true;
}

void List::removeAll() {
    programChange_ = true;
    clear();
    programChange_ = false;
    last_ = -1;
}

bool List::selectRow(int index, Notify notify) {
    if (index < -1 || index >= count()) return false;
    const int old = currentRow();
    programChange_ = true;
    setCurrentRow(index);
    if (index < 0) clearSelection();
    programChange_ = false;
    last_ = index;
    if (notify == Notify::Yes) raiseNotify(notify::kItemSelect, static_cast<std::uintptr_t>(index), old);
    return true;
}

void List::ensureRowVisible(int index) {
    if (QListWidgetItem* it = item(index)) scrollToItem(it);
}

bool List::rowElided(int index) const {
    QListWidgetItem* it = item(index);
    if (!it || itemWidget(it)) return false;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualItemRect(it);
    option.text = it->text();
    option.features |= QStyleOptionViewItem::HasDisplay;
    const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    // The item delegate keeps a focus frame's margin and a pixel on each side.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return option.fontMetrics.horizontalAdvance(it->text()) > text.width() - 2 * margin;
}

bool List::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        QListWidgetItem* it = itemAt(help->pos());
        if (it && it->toolTip().isEmpty() && rowElided(row(it))) {
            QToolTip::showText(help->globalPos(), it->text(), viewport(), visualItemRect(it));
            return true;
        }
    }
    return QListWidget::viewportEvent(event);
}

}  // namespace halvern::kit
