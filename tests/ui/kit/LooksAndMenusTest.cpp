// The two looks of the skin (only the current one read, light drawings preferred in the
// light look, both covering the same selectors) and menus with checkable items and
// items added to a submenu while the program runs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "halvern_abi.h"
#include "support/SkinFolder.h"
#include "ui/kit/LayoutParser.h"
#include "ui/kit/MenuWindow.h"
#include "ui/kit/Skin.h"

using namespace halvern;

namespace {

QSet<QString> Selectors(const QString& file) {
    QFile f(QString::fromStdString((test::SourceSkinFolder() / file.toStdString()).string()));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
    QString text = QString::fromUtf8(f.readAll());
    text.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption));
    QSet<QString> out;
    const QRegularExpression rule(QStringLiteral("([^{}]+)\\{"));
    for (auto it = rule.globalMatch(text); it.hasNext();)
        for (const QString& selector : it.next().captured(1).split(u',')) out.insert(selector.simplified());
    return out;
}

}  // namespace

TEST(SkinThemes, OnlyTheCurrentLookIsReadAndItsReferencesAreAbsolute) {
    test::SkinFolder folder;
    folder.write("theme.qss", "QWidget { color: #dark; background: url(skins/a.png); }");
    folder.write("theme_light.qss", "QWidget { color: #light; background: url(skins/a.png); }");
    kit::Skin skin = folder.makeSkin();
    EXPECT_EQ(skin.theme(), kit::Skin::Theme::Dark);
    EXPECT_TRUE(skin.styleSheet().contains(QStringLiteral("#dark")));
    skin.setTheme(kit::Skin::Theme::Light);
    const QString light = skin.styleSheet();
    EXPECT_TRUE(light.contains(QStringLiteral("#light")));
    EXPECT_TRUE(light.contains(QStringLiteral("url(") + skin.folder() + QStringLiteral("/skins/a.png)")));
    skin.setTheme(kit::Skin::Theme::Dark);
    EXPECT_TRUE(skin.styleSheet().contains(QStringLiteral("#dark")));
}

TEST(SkinThemes, TheLightLookTakesLightDrawingsWhereThereAreAny) {
    test::SkinFolder folder;
    QImage dark(4, 4, QImage::Format_RGB32), light(6, 6, QImage::Format_RGB32);
    std::filesystem::create_directories(folder.path() / "skins/light");
    ASSERT_TRUE(dark.save(QString::fromStdString((folder.path() / "skins/icon.png").string())));
    ASSERT_TRUE(dark.save(QString::fromStdString((folder.path() / "skins/only_dark.png").string())));
    ASSERT_TRUE(light.save(QString::fromStdString((folder.path() / "skins/light/icon.png").string())));
    kit::Skin skin = folder.makeSkin();
    ASSERT_TRUE(skin.image(QStringLiteral("skins/icon.png")));
    EXPECT_EQ(skin.image(QStringLiteral("skins/icon.png"))->width(), 4);
    skin.setTheme(kit::Skin::Theme::Light);
    ASSERT_TRUE(skin.image(QStringLiteral("skins/icon.png")));
    EXPECT_EQ(skin.image(QStringLiteral("skins/icon.png"))->width(), 6);
    ASSERT_TRUE(skin.image(QStringLiteral("skins/only_dark.png")));
    EXPECT_EQ(skin.image(QStringLiteral("skins/only_dark.png"))->width(), 4);
    skin.setTheme(kit::Skin::Theme::Dark);
    EXPECT_EQ(skin.image(QStringLiteral("skins/icon.png"))->width(), 4);
}

TEST(SkinThemes, ThemeNamesReadBackAndNothingElseIsALook) {
    for (auto theme : {kit::Skin::Theme::Dark, kit::Skin::Theme::Light})
        EXPECT_EQ(kit::Skin::ThemeNamed(kit::Skin::ThemeName(theme)), theme);
    EXPECT_EQ(kit::Skin::ThemeNamed(QStringLiteral("Dark")), std::nullopt);
    EXPECT_EQ(kit::Skin::ThemeNamed(QString()), std::nullopt);
}

TEST(ShippedThemes, TheLightLookStylesEverythingTheDarkOneDoes) {
    const QSet<QString> dark = Selectors(QStringLiteral("theme.qss"));
    const QSet<QString> light = Selectors(QStringLiteral("theme_light.qss"));
    EXPECT_GT(dark.size(), 40);
    QStringList onlyDark = (dark - light).values(), onlyLight = (light - dark).values();
    EXPECT_TRUE(onlyDark.isEmpty()) << onlyDark.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(onlyLight.isEmpty()) << onlyLight.join(QStringLiteral(" | ")).toStdString();
}

// Each look's face and text colour are the application's, not a rule Qt's style sheet
// engine would apply to every widget one by one.
TEST(ShippedThemes, EachLookHasABaseFaceAndColourAndHandsNoRuleForEveryWidgetToQt) {
    kit::Skin skin(QString::fromStdString(test::SourceSkinFolder().string()));
    for (auto theme : {kit::Skin::Theme::Dark, kit::Skin::Theme::Light}) {
        skin.setTheme(theme);
        const kit::Skin::BaseLook look = skin.baseLook();
        EXPECT_TRUE(look.font && look.text) << kit::Skin::ThemeName(theme).toStdString();
        EXPECT_FALSE(skin.styleSheet().contains(QRegularExpression(QStringLiteral("(^|\\n)QWidget \\{"))));
    }
}

// A platform theme may give labels or menus a face and colours of their own when the
// desktop's theme changes; the skin's base look comes back over them.
TEST(SkinThemes, TheBaseLookComesBackWhenTheDesktopsThemeChanges) {
    const QFont fontBefore = QApplication::font();
    const QPalette paletteBefore = QApplication::palette();
    test::SkinFolder folder;
    folder.write("theme.qss",
                 "QWidget {\n    font-size: 17px;\n    color: #123456;\n}\nQWidget:disabled { color: #654321; }\n");
    folder.write("w.xml", "<Window size='100,60'><Label name='l' text='L'/><Button name='b' text='B'/></Window>");
    kit::Skin skin = folder.makeSkin();
    kit::ApplyBaseLook(skin);
    test::RecordingWindow window(skin, QStringLiteral("w.xml"));
    window.create(kit::WindowKind::Dialog);
    QWidget* label = window.findControl(QStringLiteral("l"))->widget();
    auto holdsTheLook = [&] {
        return label->font().pixelSize() == 17 && label->palette().color(QPalette::WindowText) == QColor(0x123456);
    };
    EXPECT_TRUE(holdsTheLook());
    // A control that cannot act is drawn in the look's own colour for it.
    QWidget* button = window.findControl(QStringLiteral("b"))->widget();
    button->setEnabled(false);
    EXPECT_EQ(button->palette().color(QPalette::ButtonText), QColor(0x654321));
    button->setEnabled(true);
    EXPECT_EQ(button->palette().color(QPalette::ButtonText), QColor(0x123456));

    QFont theirs;
    theirs.setPixelSize(9);
    QApplication::setFont(theirs, "QLabel");
    QPalette theirColours = QApplication::palette();
    theirColours.setColor(QPalette::WindowText, Qt::black);
    QApplication::setPalette(theirColours, "QLabel");
    EXPECT_FALSE(holdsTheLook());
    QEvent themeChange(QEvent::ThemeChange);
    QCoreApplication::sendEvent(&window, &themeChange);
    EXPECT_TRUE(holdsTheLook()) << "the label has " << label->font().pixelSize() << " px in "
                                << label->palette().color(QPalette::WindowText).name().toStdString();

    QApplication::setFont(fontBefore);
    QApplication::setPalette(paletteBefore);
}

// ---- Menus ----

class Menus : public ::testing::Test {
protected:
    void SetUp() override {
        folder.write("w.xml", "<Window/>");
        folder.write("lan.xml",
                     "<Language><Text key='lang_text'>Language</Text><Text key='quit_text'>Quit</Text></Language>");
        folder.write("menu.xml", R"(<Menu class="mainmenu">
            <Item name="autostart" text="Start at login" checkable="true"/>
            <Item name="language" textkey="lang_text">
              <Item name="lang" userdata="en" text="English" checkable="true"/>
            </Item>
            <Item name="quit" textkey="quit_text"/>
          </Menu>)");
        ASSERT_FALSE(skin.setLanguage(QStringLiteral("en")));
        window.create(kit::WindowKind::Dialog);
        QString error;
        menu = kit::MenuWindow::Create(skin, QStringLiteral("menu.xml"), &window, &error);
        ASSERT_TRUE(menu) << error.toStdString();
    }
    std::shared_ptr<const kit::MenuCommand> lastCommand() {
        QCoreApplication::processEvents();
        if (window.messages.empty()) return nullptr;
        return std::any_cast<std::shared_ptr<const kit::MenuCommand>>(window.messages.back().payload);
    }

    test::SkinFolder folder;
    kit::Skin skin = folder.makeSkin();
    test::RecordingWindow window{skin, QStringLiteral("w.xml")};
    std::unique_ptr<kit::MenuWindow> menu;
};

TEST_F(Menus, CheckableItemsAndSubmenusComeFromTheFile) {
    ASSERT_TRUE(menu->submenu(QStringLiteral("language")));
    EXPECT_EQ(menu->submenu(QStringLiteral("language"))->title(), QStringLiteral("Language"));
    EXPECT_EQ(menu->describeItems(), QStringList({QStringLiteral("autostart=0"), QStringLiteral("language"),
                                                  QStringLiteral("lang:en=0"), QStringLiteral("quit")}));
    QAction* autostart = menu->findItem(QStringLiteral("autostart"));
    ASSERT_TRUE(autostart);
    EXPECT_TRUE(autostart->isCheckable());
    EXPECT_FALSE(menu->findItem(QStringLiteral("quit"))->isCheckable());
}

TEST_F(Menus, ItemsAddedToASubmenuAreFoundByNameAndUserDataAndPostTheirCommand) {
    menu->findItem(QStringLiteral("lang"), QStringLiteral("en"))->setChecked(true);
    EXPECT_TRUE(menu->addItem(QStringLiteral("language"),
                              {QStringLiteral("lang"), QStringLiteral("de"), QStringLiteral("Deutsch")}, false));
    EXPECT_FALSE(menu->addItem(QStringLiteral("nothere"), {QStringLiteral("x"), {}, QStringLiteral("X")}, false));
    EXPECT_EQ(menu->describeItems(),
              QStringList({QStringLiteral("autostart=0"), QStringLiteral("language"), QStringLiteral("lang:en=1"),
                           QStringLiteral("lang:de=0"), QStringLiteral("quit")}));
    QAction* german = menu->findItem(QStringLiteral("lang"), QStringLiteral("de"));
    ASSERT_TRUE(german);
    EXPECT_EQ(german->text(), QStringLiteral("Deutsch"));
    EXPECT_EQ(menu->findItem(QStringLiteral("lang")), menu->findItem(QStringLiteral("lang"), QStringLiteral("en")));
    EXPECT_FALSE(menu->findItem(QStringLiteral("lang"), QStringLiteral("sv")));
    german->trigger();
    auto command = lastCommand();
    ASSERT_TRUE(command);
    EXPECT_EQ(window.messages.back().id, static_cast<std::uint32_t>(UM_MENU_COMMAND));
    EXPECT_EQ(command->name, QStringLiteral("lang"));
    EXPECT_EQ(command->userData, QStringLiteral("de"));
}

TEST(MenuLayouts, CheckableTakesOnlyATruthValue) {
    auto parse = [](const char* xml) { return kit::LayoutParser::Parse(QByteArray(xml), QStringLiteral("t.xml")); };
    EXPECT_TRUE(std::holds_alternative<kit::LayoutNode>(parse("<Menu><Item name='a' checkable='true'/></Menu>")));
    EXPECT_TRUE(std::holds_alternative<kit::LayoutError>(parse("<Menu><Item checkable='maybe'/></Menu>")));
}
