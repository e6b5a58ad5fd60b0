// Menus from the skin ("traymenu.xml", "MS/MS_1/ms_1_menu.xml"):
//
//   <Menu>
//     <Item name="configuration" textkey="tray_configuration_text"/>
//     <Item name="media" textkey="menu_media_text">     (a submenu)
//       <Item name="ms_1_mute" textkey="mute_text"/>
//     </Item>
//     <Item name="autostart" textkey="..." checkable="true"/>
//     <Item name="exit" textkey="tray_exit_text"/>
//   </Menu>
//
// Choosing an item commits the owner's pending typing (SkinWindow::commitPendingEdits),
// then posts UM_MENU_COMMAND to the owner window. The message carries a
// MenuCommand (the item's name, user data and text) as its payload and the command's
// address in wParam, so wParam 0 means "no command".
#pragma once

#include <QMenu>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

#include "ui/kit/LayoutNode.h"

namespace halvern::kit {

class Skin;
class SkinWindow;

struct MenuCommand {
    QString name;
    QString userData;
    QString text;
};

class MenuWindow : public QMenu {
public:
    // nullptr and the error in `error` when the file cannot be read or is not a menu.
    // The menu may outlive its owner; choices made after the owner is gone are dropped.
    static std::unique_ptr<MenuWindow> Create(const Skin& skin, const QString& file, SkinWindow* owner,
                                              QString* error = nullptr);

    // Opens the menu with its top-left corner at `pos` (screen), kept on the screen.
    void popupAt(const QPoint& pos);
    // The item of that name (and user data, when given) that can be chosen, in submenus
    // too, whether it is enabled or not; nullptr when none.
    QAction* findItem(const QString& name, const QString& userData = {}) const;
    // Enables or disables the item of that name; a disabled one is shown greyed and says
    // `why` on hover. False when there is no such item.
    bool setItemEnabled(const QString& name, bool enabled, const QString& why = {});
    // Visible rows of the menu itself; a submenu counts as its one row.
    int visibleItemCount() const;

    // The submenu of that name, or nullptr.
    QMenu* submenu(const QString& name) const;
    // Adds a checkable item to the submenu `submenuName` while the program runs (choices
    // known only then, such as the languages found); false when there is no such submenu.
    bool addItem(const QString& submenuName, const MenuCommand& command, bool checked);
    // Every item as "name" or "name:userdata", with "=1"/"=0" after a checkable one, in
    // menu order, a submenu's items right after its own row.
    QStringList describeItems() const;

private:
    MenuWindow() = default;
    void addItems(const std::vector<LayoutNode>& items, const Skin& skin, SkinWindow* owner, QMenu* into = nullptr);
    QAction* addCommand(QMenu* into, std::shared_ptr<MenuCommand> command, SkinWindow* owner);

    SkinWindow* owner_ = nullptr;
};

}  // namespace halvern::kit
