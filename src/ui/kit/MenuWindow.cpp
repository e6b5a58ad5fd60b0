#include "ui/kit/MenuWindow.h"

#include <QPointer>

#include <functional>

#include "halvern_abi.h"
#include "ui/kit/LayoutParser.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"

namespace halvern::kit {

std::unique_ptr<MenuWindow> MenuWindow::Create(const Skin& skin, const QString& file, SkinWindow* owner,
                                               QString* error) {
    const LayoutResult& layout = skin.layout(file);
    QString problem;
    if (auto* failure = std::get_if<LayoutError>(&layout))
        problem = failure->message;
    else if (std::get<LayoutNode>(layout).element != u"Menu")
        problem = u"%1: the root element must be <Menu>"_qs.arg(file);
    if (!problem.isEmpty()) {
        if (error) *error = problem;
        return nullptr;
    }
    const LayoutNode& root = std::get<LayoutNode>(layout);
    std::unique_ptr<MenuWindow> menu(new MenuWindow);
    menu->owner_ = owner;
    menu->setObjectName(file);
    menu->fill(menu.get(), root, skin);
    return menu;
}

void MenuWindow::fill(QMenu* menu, const LayoutNode& node, const Skin& skin) {
    menu->setAttribute(Qt::WA_TranslucentBackground);
    menu->setWindowFlag(Qt::FramelessWindowHint);
    menu->setWindowFlag(Qt::NoDropShadowWindowHint);
    if (owner_) menu->setStyleSheet(owner_->styleSheet());
    if (auto cls = node.attribute(u"class"_qs)) menu->setProperty("class", *cls);
    auto textOf = [&skin](const LayoutNode& n) {
        const auto key = n.attribute(u"textkey"_qs);
        return key ? skin.text(*key) : n.attributeOr(u"text"_qs);
    };
    for (const LayoutNode& item : node.children) {
        if (item.element == u"Separator") {
            menu->addSeparator();
            continue;
        }
        if (item.element == u"Menu") {
            QMenu* sub = menu->addMenu(textOf(item));
            sub->setObjectName(item.attributeOr(u"name"_qs));
            sub->menuAction()->setObjectName(sub->objectName());
            fill(sub, item, skin);
            continue;
        }
        auto command = std::make_shared<MenuCommand>();
        command->name = item.attributeOr(u"name"_qs);
        command->userData = item.attributeOr(u"userdata"_qs);
        command->text = textOf(item);
        QAction* action = addCommand(menu, command);
        action->setCheckable(LayoutParser::ParseBool(item.attributeOr(u"checkable"_qs, u"false"_qs)).value_or(false));
        action->setVisible(LayoutParser::ParseBool(item.attributeOr(u"visible"_qs, u"true"_qs)).value_or(true));
    }
}

QAction* MenuWindow::addCommand(QMenu* menu, std::shared_ptr<MenuCommand> command) {
    QAction* action = menu->addAction(command->text);
    action->setObjectName(command->name);
    action->setData(command->userData);
    QPointer<SkinWindow> target(owner_);
    QObject::connect(action, &QAction::triggered, this, [target, command] {
        if (!target) return;
        // Each choice gets its own copy: the receiver owns what it is given.
        auto chosen = std::make_shared<const MenuCommand>(*command);
        target->post(UM_MENU_COMMAND, reinterpret_cast<std::uintptr_t>(chosen.get()), 0, chosen);
    });
    return action;
}

bool MenuWindow::addItem(const QString& submenuName, const MenuCommand& command, bool checked) {
    QMenu* sub = submenu(submenuName);
    if (!sub) return false;
    QAction* action = addCommand(sub, std::make_shared<MenuCommand>(command));
    action->setCheckable(true);
    action->setChecked(checked);
    return true;
}

QMenu* MenuWindow::submenu(const QString& name) const {
    for (QMenu* sub : findChildren<QMenu*>())
        if (sub->objectName() == name) return sub;
    return nullptr;
}

QStringList MenuWindow::describeItems() const {
    QStringList out;
    std::function<void(const QMenu*)> walk = [&](const QMenu* menu) {
        for (QAction* a : menu->actions()) {
            if (a->isSeparator()) continue;
            QString entry = a->objectName();
            if (!a->data().toString().isEmpty()) entry += u':' + a->data().toString();
            if (a->isCheckable()) entry += a->isChecked() ? u"=1"_qs : u"=0"_qs;
            out << entry;
            if (a->menu()) walk(a->menu());
        }
    };
    walk(this);
    return out;
}

void MenuWindow::popupAt(const QPoint& pos) { popup(pos); }

QAction* MenuWindow::findItem(const QString& name, const QString& userData) const {
    std::function<QAction*(const QMenu*)> search = [&](const QMenu* menu) -> QAction* {
        for (QAction* a : menu->actions()) {
            if (a->menu()) {
                if (QAction* found = search(a->menu())) return found;
            } else if (a->objectName() == name && (userData.isEmpty() || a->data().toString() == userData)) {
                return a;
            }
        }
        return nullptr;
    };
    return search(this);
}

int MenuWindow::visibleItemCount() const {
    int n = 0;
    for (QAction* a : actions()) n += a->isVisible() ? 1 : 0;
    return n;
}

}  // namespace halvern::kit
