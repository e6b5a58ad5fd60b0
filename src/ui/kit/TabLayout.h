// "Tab": shows one of its children at a time.
#pragma once

#include <QStackedWidget>

#include "ui/kit/Control.h"

namespace halvern::kit {

class TabLayout : public QStackedWidget, public Control {
    Q_OBJECT
    HALVERN_KIT_STYLE_PROPERTIES

public:
    using QStackedWidget::QStackedWidget;
    QWidget* widget() override { return this; }

    // Shows page `index`; false and nothing changed when there is no such page.
    bool selectItem(int index);
    int currentSelection() const { return currentIndex(); }
};

inline bool TabLayout::selectItem(int index) {
    if (index < 0 || index >= count()) return false;
    setCurrentIndex(index);
    return true;
}

}  // namespace halvern::kit
