#include "SkinFuzzTargets.h"

#include <QApplication>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>

#include "FuzzRequire.h"
#include "halvern_abi.h"
#include "support/TempDir.h"
#include "ui/kit/LanguageFile.h"
#include "ui/kit/LayoutParser.h"
#include "ui/kit/List.h"
#include "ui/kit/MenuWindow.h"
#include "ui/kit/MessagePort.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"

namespace halvern::fuzz {

namespace {

// libFuzzer's main has no application object; make one that needs no display.
void EnsureApplication() {
    if (QCoreApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

class FuzzWindow final : public kit::SkinWindow {
public:
    using kit::SkinWindow::SkinWindow;
    QString windowClassName() const override { return QStringLiteral("FuzzWindow"); }
    QString skinFile() const override { return QStringLiteral("fuzz.xml"); }
};

// The window a menu posts its commands to; it keeps them.
class MenuOwner final : public kit::SkinWindow {
public:
    using kit::SkinWindow::SkinWindow;
    QString windowClassName() const override { return QStringLiteral("MenuOwner"); }
    QString skinFile() const override { return QStringLiteral("owner.xml"); }
    bool handleMessage(const kit::Message& m) override {
        if (m.id != UM_MENU_COMMAND) return false;
        auto command = std::any_cast<std::shared_ptr<const kit::MenuCommand>>(m.payload);
        Require(reinterpret_cast<std::uintptr_t>(command.get()) == m.wParam, "wParam is the command's address");
        commands.push_back(command);
        return true;
    }
    std::vector<std::shared_ptr<const kit::MenuCommand>> commands;
};

const test::TempDir& Folder() {
    static test::TempDir dir;
    return dir;
}

}  // namespace

void LayoutInput(const std::uint8_t* data, std::size_t size) {
    EnsureApplication();
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    auto parsed = kit::LayoutParser::Parse(xml, QStringLiteral("fuzz.xml"));
    if (!std::holds_alternative<kit::LayoutNode>(parsed)) {
        if (std::get<kit::LayoutError>(parsed).message.isEmpty()) std::abort();
        return;
    }
    std::ofstream(Folder() / "fuzz.xml", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    kit::Skin skin(QString::fromStdString(Folder().path().string()));
    FuzzWindow window(skin);
    window.create(kit::WindowKind::Dialog);
    window.retranslate();
    // The same file as a list row of a list of its own.
    FuzzWindow host(skin);
    host.create(kit::WindowKind::Dialog);
    kit::List list;
    list.attach(&host, &skin, QStringLiteral("List"), QStringLiteral("l"), QString());
    list.addLayoutRow(QStringLiteral("fuzz.xml"), 30);
    list.removeAll();
}

void LanguageFileInput(const std::uint8_t* data, std::size_t size) {
    kit::LanguageFile lan;
    if (lan.load("<Language><Text key='kept'>K</Text></Language>", QStringLiteral("seed.xml"))) std::abort();
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (lan.load(xml, QStringLiteral("lan.xml"))) {
        if (lan.text(QStringLiteral("kept")) != QStringLiteral("K")) std::abort();
    }
}

void MenuInput(const std::uint8_t* data, std::size_t size) {
    EnsureApplication();
    std::ofstream(Folder() / "owner.xml", std::ios::trunc) << "<Window/>";
    std::ofstream(Folder() / "menu.xml", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    kit::Skin skin(QString::fromStdString(Folder().path().string()));
    auto owner = std::make_unique<MenuOwner>(skin);
    owner->create(kit::WindowKind::Dialog);
    QString error;
    std::unique_ptr<kit::MenuWindow> menu =
        kit::MenuWindow::Create(skin, QStringLiteral("menu.xml"), owner.get(), &error);
    if (!menu) {
        Require(!error.isEmpty(), "a menu that cannot be built says why");
        return;
    }
    Require(menu->visibleItemCount() <= menu->actions().size(), "visible items are items");
    // The items that can be chosen, submenus' included; a submenu's own row chooses nothing.
    QList<QAction*> items;
    std::function<void(const QMenu&)> collect = [&](const QMenu& m) {
        for (QAction* a : m.actions()) {
            if (a->menu()) collect(*a->menu());
            else items << a;
        }
    };
    collect(*menu);
    for (QAction* item : items) {
        Require(menu->findItem(item->objectName()) != nullptr, "every item is found by its name");
        item->trigger();
    }
    QCoreApplication::processEvents();
    Require(owner->commands.size() == static_cast<std::size_t>(items.size()), "one command per choice");
    for (qsizetype i = 0; i < items.size(); ++i)
        Require(owner->commands[static_cast<std::size_t>(i)]->name == items[i]->objectName(),
                "the chosen item's command");

    owner.reset();
    for (QAction* item : items) item->trigger();
    QCoreApplication::processEvents();
}

}  // namespace halvern::fuzz
