// "List": rows of one column. A row is either a label row (a text) or a row built from
// a layout file ("keylistitem.xml"), whose sub-controls are found by name in that row.
// Selecting another row raises "itemselect" with the new row in wParam and the old
// one in lParam (-1 for none). A label row too long for the list is drawn elided and
// shows its whole text on hover; screen readers get the whole text either way. In a
// scrolling container the wheel scrolls the list only while it has the focus.
#pragma once

#include <QHash>
#include <QListWidget>

#include "ui/kit/Control.h"

namespace halvern::kit {

class ListRow : public QWidget {
public:
    using QWidget::QWidget;

    Control* find(const QString& name) const { return controls_.value(name, nullptr); }
    template <typename T>
    T* find(const QString& name) const {
        return dynamic_cast<T*>(find(name));
    }
    void add(Control* control);

private:
    QHash<QString, Control*> controls_;
};

class List : public QListWidget, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES

public:
    explicit List(QWidget* parent = nullptr);
    QWidget* widget() override { return this; }

    int rowCount() const { return count(); }
    // Adds a label row; returns its index.
    int addLabelRow(const QString& text, int height);
    // Adds a row built from a layout file of the skin; nullptr (and no row) when the
    // layout cannot be read or built.
    ListRow* addLayoutRow(const QString& layoutFile, int height);
    ListRow* layoutRow(int index) const;

    bool setRowText(int index, const QString& text);
    // What screen readers say for the row: a layout row shows its texts in controls of
    // its own, which the list's row does not read. False for an index outside the rows.
    bool setRowSpokenName(int index, const QString& name);
    QString rowText(int index) const;
    bool removeRow(int index);
    void removeAll();

    // -1 clears the selection. False for an index outside the rows.
    bool selectRow(int index, Notify notify);
    int selectedRow() const { return currentRow(); }

    void ensureRowVisible(int index);
    void scrollToEnd() { scrollToBottom(); }

    void setDefaultRowHeight(int height) { defaultRowHeight_ = height; }
    int defaultRowHeight() const { return defaultRowHeight_; }

protected:
    bool viewportEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Whether the label row's text is wider than the room the list gives it.
    bool rowElided(int index) const;

    int defaultRowHeight_ = 22;
    int last_ = -1;
    bool programChange_ = false;
};

}  // namespace halvern::kit
