#include "ui/kit/Accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "ui/kit/Button.h"
#include "ui/kit/ColorPalette.h"
#include "ui/kit/Container.h"
#include "ui/kit/PlainControl.h"
#include "ui/kit/SkinWindow.h"
#include "ui/kit/Slider.h"

namespace halvern::kit {

namespace {

// An Option or a Check: Qt would call either a push button, which a screen reader
// announces without its state.
class CheckableButtonInterface final : public QAccessibleWidget {
public:
    CheckableButtonInterface(Button* button, QAccessible::Role role) : QAccessibleWidget(button, role) {}

    // A section's header is a button that expands its panel, not a choice.
    QAccessible::Role role() const override { return expander() ? QAccessible::Button : QAccessibleWidget::role(); }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (expander()) {
            s.expandable = true;
            s.expanded = button()->isChecked();
            s.collapsed = !button()->isChecked();
            return s;
        }
        s.checkable = true;
        s.checked = button()->isChecked();
        return s;
    }
    // Pressed or toggled, and focused like any control (a screen reader's "grab focus").
    QStringList actionNames() const override {
        return QStringList{pressAction(), toggleAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction() || action == toggleAction()) button()->click();
        else QAccessibleWidget::doAction(action);
    }

private:
    Button* button() const { return static_cast<Button*>(widget()); }
    bool expander() const {
        const auto* check = dynamic_cast<const CheckBox*>(button());
        return check && check->isExpander();
    }
};

// A slider reads and takes the number the user sees beside it (800 DPI, 0.5 min), not
// its position.
class SliderInterface final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderInterface(Slider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return QString::number(slider()->shownValue(slider()->value()));
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return slider()->shownValue(slider()->value()); }
    void setCurrentValue(const QVariant& value) override { slider()->setShownValueByUser(value.toDouble()); }
    QVariant maximumValue() const override { return slider()->shownValue(slider()->maximum()); }
    QVariant minimumValue() const override { return slider()->shownValue(slider()->minimum()); }
    QVariant minimumStepSize() const override { return slider()->shownStep(); }

private:
    Slider* slider() const { return static_cast<Slider*>(widget()); }
};

// A skin window is the application's frame or one of its dialogs, modal while it runs
// modally; its name is its title.
class WindowInterface final : public QAccessibleWidget {
public:
    explicit WindowInterface(SkinWindow* window)
        : QAccessibleWidget(window,
                            window->windowKind() == WindowKind::Main ? QAccessible::Window : QAccessible::Dialog) {}

    QAccessible::Role role() const override {
        return skinWindow()->windowKind() == WindowKind::Main ? QAccessible::Window : QAccessible::Dialog;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.modal = skinWindow()->isModal();
        return s;
    }

private:
    SkinWindow* skinWindow() const { return static_cast<SkinWindow*>(widget()); }
};

QAccessibleInterface* KitFactory(const QString& className, QObject* object) {
    // The toolkit asks once for each class the object descends from, its own first. The
    // answer depends on the object alone, so the first asking settles it; the others
    // would repeat the casts below for every control that changes its name.
    if (!object || className != QLatin1StringView(object->metaObject()->className())) return nullptr;
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) return nullptr;
    if (auto* window = dynamic_cast<SkinWindow*>(widget)) return new WindowInterface(window);
    if (auto* slider = dynamic_cast<Slider*>(widget)) return new SliderInterface(slider);
    if (auto* option = dynamic_cast<Option*>(widget))
        return new CheckableButtonInterface(option, QAccessible::RadioButton);
    if (auto* check = dynamic_cast<CheckBox*>(widget))
        return new CheckableButtonInterface(check, QAccessible::CheckBox);
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
