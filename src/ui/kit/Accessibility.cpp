#include "ui/kit/Accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "ui/kit/Button.h"
#include "ui/kit/ColorPalette.h"
#include "ui/kit/Container.h"
#include "ui/kit/PlainControl.h"

namespace halvern::kit {

namespace {

// An Option or a Check: Qt would call either a push button, which a screen reader
// announces without its state.
class CheckableButtonInterface final : public QAccessibleWidget {
public:
    CheckableButtonInterface(Button* button, QAccessible::Role role) : QAccessibleWidget(button, role) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        return s;
    }
    QStringList actionNames() const override { return {pressAction(), toggleAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() || action == toggleAction()) button()->click();
    }

private:
    Button* button() const { return static_cast<Button*>(widget()); }
};

QAccessibleInterface* KitFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) return nullptr;
    if (auto* option = dynamic_cast<Option*>(widget)) return new CheckableButtonInterface(option, QAccessible::RadioButton);
    if (auto* check = dynamic_cast<CheckBox*>(widget)) return new CheckableButtonInterface(check, QAccessible::CheckBox);
    if (dynamic_cast<Container*>(widget)) return new QAccessibleWidget(widget, QAccessible::Grouping);
    if (dynamic_cast<PlainControl*>(widget)) return new QAccessibleWidget(widget, QAccessible::Graphic);
    if (dynamic_cast<ColorPalette*>(widget)) return new QAccessibleWidget(widget, QAccessible::ColorChooser);
    return nullptr;
}

}  // namespace

void InstallKitAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&KitFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace halvern::kit
