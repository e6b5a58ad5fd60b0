#include "ui/kit/MenuWindow.h"

#include <QPointer>

#include "halvern_abi.h"
#include "ui/kit/LayoutParser.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"

namespace halvern::kit {

std::unique_ptr<MenuWindow> MenuWindow::Create(const Skin& skin, const QString& file, SkinWindow* owner,
                                               QString* error) {
    const LayoutResult& layout = skin.layout(file);
    QString problem;
    if (auto* failure = std::get_if<LayoutError>(&layout)) problem = failure->message;
    else if (std::get<LayoutNode>(layout).element != u"Menu")
        problem = u"%1: the root element must be <Menu>"_qs.arg(file);
    if (!problem.isEmpty()) {
        if (error) *error = problem;
        return nullptr;
    }
    const LayoutNode& root = std::get<LayoutNode>(layout);
    std::unique_ptr<MenuWindow> menu(new MenuWindow);
    menu->setAttribute(Qt::WA_TranslucentBackground);
    menu->setWindowFlag(Qt::FramelessWindowHint);
    menu->setWindowFlag(Qt::NoDropShadowWindowHint);
    menu->setObjectName(file);
    if (owner) menu->setStyleSheet(owner->styleSheet());
    if (auto cls = root.attribute(u"class"_qs)) menu->setProperty("class", *cls);
    menu->owner_ = owner;
    // Items show their hover text only when they have one of their own (a disabled
    // item's reason), not their text again.
    menu->setToolTipsVisible(true);
    menu->addItems(root.children, skin, owner);
    return menu;
}

void MenuWindow::addItems(const std::vector<LayoutNode>& items, const Skin& skin, SkinWindow* owner, QMenu* into) {
    if (!into) into = this;
    for (const LayoutNode& item : items) {
        auto command = std::make_shared<MenuCommand>();
        command->name = item.attributeOr(u"name"_qs);
        command->userData = item.attributeOr(u"userdata"_qs);
        const auto key = item.attribute(u"textkey"_qs);
        command->text = key ? skin.text(*key) : item.attributeOr(u"text"_qs);
        const bool visible = LayoutParser::ParseBool(item.attributeOr(u"visible"_qs, u"true"_qs)).value_or(true);
        if (!item.children.empty()) {
            // An item holding items opens them as a submenu; choosing it chooses nothing.
            QMenu* submenu = into->addMenu(command->text);
            submenu->setObjectName(command->name);
            submenu->setAttribute(Qt::WA_TranslucentBackground);
            submenu->setWindowFlag(Qt::FramelessWindowHint);
            submenu->setWindowFlag(Qt::NoDropShadowWindowHint);
            submenu->setProperty("class", property("class"));
            submenu->setToolTipsVisible(true);
            submenu->menuAction()->setObjectName(command->name);
            submenu->menuAction()->setVisible(visible);
            addItems(item.children, skin, owner, submenu);
            continue;
        }
        QAction* action = addCommand(into, std::move(command), owner);
        action->setVisible(visible);
        action->setCheckable(LayoutParser::ParseBool(item.attributeOr(u"checkable"_qs, u"false"_qs)).value_or(false));
    }
}

QAction* MenuWindow::addCommand(QMenu* into, std::shared_ptr<MenuCommand> command, SkinWindow* owner) {
    QAction* action = into->addAction(command->text);
    action->setObjectName(command->name);
    action->setData(command->userData);
    QPointer<SkinWindow> target(owner);
    QObject::connect(action, &QAction::triggered, this, [target, command] {
        if (!target) return;
        // The choice acts like a click: what the owner's boxes hold is committed first.
        target->commitPendingEdits();
        // Each choice gets its own copy: the receiver owns what it is given.
        auto chosen = std::make_shared<const MenuCommand>(*command);
        target->post(UM_MENU_COMMAND, reinterpret_cast<std::uintptr_t>(chosen.get()), 0, chosen);
    });
    return action;
}

bool MenuWindow::addItem(const QString& submenuName, const MenuCommand& command, bool checked) {
    QMenu* into = submenu(submenuName);
    if (!into) return false;
    QAction* action = addCommand(into, std::make_shared<MenuCommand>(command), owner_);
    action->setCheckable(true);
    action->setChecked(checked);
    return true;
}

QMenu* MenuWindow::submenu(const QString& name) const {
    for (QMenu* sub : findChildren<QMenu*>())
        if (sub->objectName() == name) return sub;
    return nullptr;
}

void MenuWindow::popupAt(const QPoint& pos) { popup(pos); }

namespace {

QAction* FindItemIn(const QMenu& menu, const QString& name, const QString& userData) {
    for (QAction* a : menu.actions()) {
        if (QMenu* submenu = a->menu()) {
            if (QAction* found = FindItemIn(*submenu, name, userData)) return found;
        } else if (a->objectName() == name && (userData.isEmpty() || a->data().toString() == userData)) {
            return a;
        }
    }
    return nullptr;
}

void DescribeIn(const QMenu& menu, QStringList& out) {
    for (QAction* a : menu.actions()) {
        if (a->isSeparator()) continue;
        QString entry = a->objectName();
        if (!a->data().toString().isEmpty()) entry += u':' + a->data().toString();
        if (a->isCheckable()) entry += a->isChecked() ? u"=1"_qs : u"=0"_qs;
        out << entry;
        if (a->menu()) DescribeIn(*a->menu(), out);
    }
}

}  // namespace

QAction* MenuWindow::findItem(const QString& name, const QString& userData) const {
    return FindItemIn(*this, name, userData);
}

bool MenuWindow::setItemEnabled(const QString& name, bool enabled, const QString& why) {
    QAction* item = findItem(name);
    if (!item) return false;
    item->setEnabled(enabled);
    item->setToolTip(enabled ? QString() : why);
    return true;
}

QStringList MenuWindow::describeItems() const {
    QStringList out;
    DescribeIn(*this, out);
    return out;
}

int MenuWindow::visibleItemCount() const {
    int n = 0;
    for (QAction* a : actions()) n += a->isVisible() ? 1 : 0;
    return n;
}

}  // namespace halvern::kit
