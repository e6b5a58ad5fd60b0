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
    menu->setAttribute(Qt::WA_TranslucentBackground);
    menu->setWindowFlag(Qt::FramelessWindowHint);
    menu->setWindowFlag(Qt::NoDropShadowWindowHint);
    menu->setObjectName(file);
    if (owner) menu->setStyleSheet(owner->styleSheet());
    if (auto cls = root.attribute(u"class"_qs)) menu->setProperty("class", *cls);
    for (const LayoutNode& item : root.children) {
        auto command = std::make_shared<MenuCommand>();
        command->name = item.attributeOr(u"name"_qs);
        command->userData = item.attributeOr(u"userdata"_qs);
        const auto key = item.attribute(u"textkey"_qs);
        command->text = key ? skin.text(*key) : item.attributeOr(u"text"_qs);
        QAction* action = menu->addAction(command->text);
        action->setObjectName(command->name);
        action->setVisible(LayoutParser::ParseBool(item.attributeOr(u"visible"_qs, u"true"_qs)).value_or(true));
        QPointer<SkinWindow> target(owner);
        QObject::connect(action, &QAction::triggered, menu.get(), [target, command] {
            if (!target) return;
            // Each choice gets its own copy: the receiver owns what it is given.
            auto chosen = std::make_shared<const MenuCommand>(*command);
            target->post(UM_MENU_COMMAND, reinterpret_cast<std::uintptr_t>(chosen.get()), 0, chosen);
        });
    }
    return menu;
}

void MenuWindow::popupAt(const QPoint& pos) { popup(pos); }

QAction* MenuWindow::findItem(const QString& name) const {
    for (QAction* a : actions())
        if (a->objectName() == name) return a;
    return nullptr;
}

int MenuWindow::visibleItemCount() const {
    int n = 0;
    for (QAction* a : actions()) n += a->isVisible() ? 1 : 0;
    return n;
}

}  // namespace halvern::kit
