// Menus from the skin ("traymenu.xml", "MS/MS_1/ms_1_menu.xml"):
//
//   <Menu>
//     <Item name="configuration" textkey="tray_configuration_text"/>
//     <Item name="autostart" textkey="..." checkable="true"/>
//     <Menu name="language" textkey="..."/>      a submenu; items may be added at run time
//     <Separator/>
//     <Item name="exit" textkey="tray_exit_text"/>
//   </Menu>
//
// Choosing an item posts UM_MENU_COMMAND to the owner window. The message carries a
// MenuCommand (the item's name, user data and text) as its payload and the command's
// address in wParam, so wParam 0 means "no command".
#pragma once

#include <QMenu>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace halvern::kit {

class Skin;
class SkinWindow;
struct LayoutNode;

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
    // The first item of that name (and user data, when given), in submenus too.
    QAction* findItem(const QString& name, const QString& userData = {}) const;
    int visibleItemCount() const;
    // The submenu of that name, or nullptr.
    QMenu* submenu(const QString& name) const;

    // Adds a checkable item to the submenu `submenuName`; false when there is none.
    bool addItem(const QString& submenuName, const MenuCommand& command, bool checked);
    // Every item as "name", "name:userdata", with "=1"/"=0" after a checkable one, in
    // menu order, submenus' items after their title.
    QStringList describeItems() const;

private:
    MenuWindow() = default;
    void fill(QMenu* menu, const LayoutNode& node, const Skin& skin);
    QAction* addCommand(QMenu* menu, std::shared_ptr<MenuCommand> command);

    SkinWindow* owner_ = nullptr;
};

}  // namespace halvern::kit
