// "Combo": a drop-down list of items (plain texts or language keys). Choosing another
// item raises "itemselect" with the new index in wParam and the old in lParam. In a
// scrolling container the wheel chooses only while the combo has the focus.
#pragma once

#include <QComboBox>

#include "ui/kit/Control.h"
#include "ui/kit/FixedSize.h"

namespace halvern::kit {

class Combo : public QComboBox, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES

public:
    explicit Combo(QWidget* parent = nullptr);
    QWidget* widget() override { return this; }
    QSize sizeHint() const override { return measure(); }
    QSize minimumSizeHint() const override { return measure(); }

    void addItem(const QString& text, bool isKey);
    // Removes every item without a notification; nothing is chosen afterwards.
    void removeAllItems();
    // False and nothing changed for an index outside the items (-1 clears the choice).
    bool selectItem(int index, Notify notify);
    int currentSelection() const { return currentIndex(); }

    void retranslateItems();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Its fixed size, else the widest item's text in the look of the moment. QComboBox
    // keeps what it measured
    // until a style or font change that this combo does not pass on before its drop-down
    // is built (see changeEvent), so it measures itself.
    QSize measure() const;

    struct Item {
        QString text;
        bool isKey;
    };
    std::vector<Item> items_;
    int last_ = -1;
    bool programChange_ = false;
};

}  // namespace halvern::kit
