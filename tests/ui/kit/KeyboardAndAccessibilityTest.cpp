// What assistive technology and the keyboard get from the kit's controls: a name from
// the spoken name, the shown text or the hover text, a role for the kind of control
// (windows, sections' headers and sliders included), Space and Enter acting, arrows
// moving within an option group, Tab following the layout past a scrolling column, and
// a focus ring that shows on coloured controls too.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QScrollArea>
#include <QTest>
#include <QTimer>

#include "support/SkinFolder.h"
#include "ui/kit/Button.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Slider.h"

using namespace halvern;
using test::Seen;

namespace {

constexpr const char* kLayout = R"(<Window size="400,300">
  <Vertical name="column">
    <Horizontal height="30">
      <Button name="apply" textkey="apply_text"/>
      <Button name="icon" tooltipkey="menu_tip_text" width="30"/>
      <Check name="section" textkey="section_text"/>
    </Horizontal>
    <Horizontal height="30">
      <Option name="o1" group="g" text="1" selected="true"/>
      <Option name="o2" group="g" text="2"/>
      <Option name="o3" group="g" text="3" visible="false"/>
      <Option name="o4" group="g" text="4"/>
    </Horizontal>
    <Vertical deferred="true" height="80">
      <Slider name="level" tooltipkey="level_tip_text" min="1" max="10" value="5"/>
      <Edit name="number" tooltip="Number of this level"/>
      <Label name="caption" text="Caption"/>
      <Control name="picture" height="20"/>
    </Vertical>
    <Vertical name="scrolling" vscroll="true" height="60">
      <Button name="inside" text="Inside" height="30"/>
    </Vertical>
    <Button name="swatch" width="30" height="30" bkcolor="#ff0000"/>
    <Button name="last" text="Last"/>
  </Vertical>
</Window>)";

class KitControls : public ::testing::Test {
protected:
    void SetUp() override {
        folder.write("w.xml", kLayout);
        folder.write("lan.xml", R"(<Language>
            <Text key="apply_text">Apply</Text><Text key="menu_tip_text">Menu</Text>
            <Text key="section_text">Lighting</Text><Text key="level_tip_text">Level</Text>
            <Text key="title_text">Settings</Text></Language>)");
        folder.write("lan_de.xml", R"(<Language>
            <Text key="apply_text">Übernehmen</Text><Text key="menu_tip_text">Menü</Text>
            <Text key="section_text">Beleuchtung</Text><Text key="level_tip_text">Stufe</Text>
            <Text key="title_text">Einstellungen</Text></Language>)");
        ASSERT_FALSE(skin.setLanguage(QStringLiteral("en")));
        window.setDeferredBuilding(true);
        window.create(kit::WindowKind::Dialog);
        window.completeLayout();
        window.show();
        window.take();
    }
    QWidget* widget(const char* name) const { return window.findControl(QString::fromLatin1(name))->widget(); }
    QAccessibleInterface* accessible(const char* name) const {
        return QAccessible::queryAccessibleInterface(widget(name));
    }
    QString name(const char* control) const { return accessible(control)->text(QAccessible::Name); }

    test::SkinFolder folder;
    kit::Skin skin = folder.makeSkin();
    test::RecordingWindow window{skin, QStringLiteral("w.xml")};
};

}  // namespace

TEST_F(KitControls, EachIsNamedByItsTextElseByItsHoverText) {
    EXPECT_EQ(name("apply"), QStringLiteral("Apply"));
    EXPECT_EQ(name("icon"), QStringLiteral("Menu"));
    EXPECT_EQ(name("section"), QStringLiteral("Lighting"));
    EXPECT_EQ(name("o2"), QStringLiteral("2"));
    EXPECT_EQ(name("level"), QStringLiteral("Level"));
    EXPECT_EQ(name("caption"), QStringLiteral("Caption"));
    // A text box is named by its hover text, never by what was typed into it.
    window.find<kit::Edit>(QStringLiteral("number"))->setText(QStringLiteral("1600"), kit::Notify::No);
    EXPECT_EQ(name("number"), QStringLiteral("Number of this level"));
}

TEST_F(KitControls, NamesFollowTextChangesAndTheLanguage) {
    window.find<kit::Button>(QStringLiteral("last"))->setText(QStringLiteral("Right click"));
    EXPECT_EQ(name("last"), QStringLiteral("Right click"));
    ASSERT_FALSE(skin.setLanguage(QStringLiteral("de")));
    window.retranslate();
    EXPECT_EQ(name("apply"), QStringLiteral("Übernehmen"));
    EXPECT_EQ(name("icon"), QStringLiteral("Menü"));
    EXPECT_EQ(name("level"), QStringLiteral("Stufe"));
    // A text of its own wins over the hover text, and an emptied one gives way to it.
    auto* icon = window.find<kit::Button>(QStringLiteral("icon"));
    icon->setText(QStringLiteral("≡"));
    EXPECT_EQ(name("icon"), QStringLiteral("≡"));
    icon->setText(QString());
    EXPECT_EQ(name("icon"), QStringLiteral("Menü"));
}

TEST_F(KitControls, RolesSayWhatKindOfControlEachIs) {
    EXPECT_EQ(accessible("apply")->role(), QAccessible::Button);
    EXPECT_EQ(accessible("section")->role(), QAccessible::CheckBox);
    EXPECT_EQ(accessible("o1")->role(), QAccessible::RadioButton);
    EXPECT_EQ(accessible("level")->role(), QAccessible::Slider);
    EXPECT_EQ(accessible("number")->role(), QAccessible::EditableText);
    EXPECT_EQ(accessible("caption")->role(), QAccessible::StaticText);
    EXPECT_EQ(accessible("column")->role(), QAccessible::Grouping);
    EXPECT_EQ(accessible("picture")->role(), QAccessible::Graphic);
}

TEST_F(KitControls, OptionsAndChecksTellTheirStateAndActWhenAsked) {
    EXPECT_TRUE(accessible("o1")->state().checkable);
    EXPECT_TRUE(accessible("o1")->state().checked);
    EXPECT_FALSE(accessible("o2")->state().checked);
    QAccessibleActionInterface* actions = accessible("section")->actionInterface();
    ASSERT_TRUE(actions);
    const bool before = accessible("section")->state().checked;
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_NE(accessible("section")->state().checked, before);
    EXPECT_EQ(test::OfTypes(window.take(), {"checkclick"}).size(), 1u);
    accessible("o2")->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(accessible("o2")->state().checked);
    EXPECT_FALSE(accessible("o1")->state().checked);
}

TEST_F(KitControls, EnterAndSpaceActLikeAClick) {
    QTest::keyClick(widget("apply"), Qt::Key_Return);
    QTest::keyClick(widget("apply"), Qt::Key_Enter);
    QTest::keyClick(widget("apply"), Qt::Key_Space);
    EXPECT_EQ(test::OfTypes(window.take(), {"click"}), std::vector<Seen>(3, Seen{"click", "apply", 0, 0}));
    QTest::keyClick(widget("section"), Qt::Key_Return);
    QTest::keyClick(widget("section"), Qt::Key_Space);
    const auto checks = test::OfTypes(window.take(), {"checkclick"});
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_NE(checks[0].wParam, checks[1].wParam);
    // Enter with a modifier is left to whatever else listens for it.
    QTest::keyClick(widget("apply"), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(test::OfTypes(window.take(), {"click"}).empty());
}

TEST_F(KitControls, ArrowsMoveTheSelectionWithinTheGroupSkippingHiddenOptions) {
    auto* o1 = window.find<kit::Option>(QStringLiteral("o1"));
    auto* o2 = window.find<kit::Option>(QStringLiteral("o2"));
    auto* o4 = window.find<kit::Option>(QStringLiteral("o4"));
    QTest::keyClick(o1, Qt::Key_Right);
    EXPECT_TRUE(o2->isSelected());
    EXPECT_FALSE(o1->isSelected());
    EXPECT_EQ(test::OfTypes(window.take(), {"click", "selectchanged"}),
              (std::vector<Seen>{{"click", "o2", 0, 0}, {"selectchanged", "o2", 1, 0}}));
    QTest::keyClick(o2, Qt::Key_Down);
    EXPECT_TRUE(o4->isSelected());
    QTest::keyClick(o4, Qt::Key_Right);  // the last stays selected
    EXPECT_TRUE(o4->isSelected());
    QTest::keyClick(o4, Qt::Key_Up);
    QTest::keyClick(o2, Qt::Key_Left);
    EXPECT_TRUE(o1->isSelected());
    QTest::keyClick(o1, Qt::Key_Left);
    EXPECT_TRUE(o1->isSelected());
}

TEST_F(KitControls, ArrowsMoveASliderAsTheUserWould) {
    auto* level = window.find<kit::Slider>(QStringLiteral("level"));
    QTest::keyClick(level, Qt::Key_Right);
    QTest::keyClick(level, Qt::Key_Right);
    QTest::keyClick(level, Qt::Key_Left);
    EXPECT_EQ(level->value(), 6);
    EXPECT_EQ(test::OfTypes(window.take(), {"valuechanged"}).size(), 3u);
}

TEST_F(KitControls, TabGoesThroughTheControlsInLayoutOrderDeferredOnesIncluded) {
    std::vector<std::string> byLayout;
    for (kit::Control* c : window.controls())
        if (c->widget()->focusPolicy() & Qt::TabFocus) byLayout.push_back(c->name().toStdString());
    std::vector<std::string> byTab;
    for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain()) {
        auto* c = dynamic_cast<kit::Control*>(w);
        if (c && (w->focusPolicy() & Qt::TabFocus)) byTab.push_back(c->name().toStdString());
    }
    EXPECT_EQ(byTab, byLayout);
    EXPECT_GE(byLayout.size(), 8u);
}

TEST_F(KitControls, ASpokenNameSaysMoreThanTheTextAndOutlastsALanguageChange) {
    auto* option = window.find<kit::Option>(QStringLiteral("o2"));
    option->setSpokenName(QStringLiteral("DPI level 2"));
    EXPECT_EQ(name("o2"), QStringLiteral("DPI level 2"));
    ASSERT_FALSE(skin.setLanguage(QStringLiteral("de")));
    window.retranslate();
    EXPECT_EQ(name("o2"), QStringLiteral("DPI level 2"));
    option->setSpokenName(QString());
    EXPECT_EQ(name("o2"), QStringLiteral("2"));
}

TEST_F(KitControls, ASectionsHeaderIsAButtonThatExpandsItsPanel) {
    auto* section = window.find<kit::CheckBox>(QStringLiteral("section"));
    section->setExpander(true);
    section->setChecked(true, kit::Notify::No);
    QAccessibleInterface* header = accessible("section");
    EXPECT_EQ(header->role(), QAccessible::Button);
    EXPECT_TRUE(header->state().expandable);
    EXPECT_TRUE(header->state().expanded);
    EXPECT_FALSE(header->state().checkable);
    header->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(header->state().expanded);
    EXPECT_TRUE(header->state().collapsed);
}

// A slider reads as the number beside it: the DPI of a level, half minutes as minutes.
TEST_F(KitControls, ASliderReadsAndTakesTheValueShownNotItsPosition) {
    struct Case {
        const char* unit;
        std::function<double(int)> shown;
        int position;
        double value, minimum, maximum, step;
        double asked;       // a value a screen reader sets
        int positionAfter;  // the position the slider takes for it
    };
    const auto halves = [](int p) { return p * 0.5; };
    const auto dpi = [](int p) { return p <= 200 ? p * 50.0 : (p - 100) * 100.0; };
    const Case cases[] = {
        {"position", {}, 5, 5, 1, 10, 1, 7, 7},
        {"half minutes", halves, 1, 0.5, 0.5, 5, 0.5, 2.4, 5},
        {"DPI", dpi, 4, 200, 50, 500, 50, 333, 7},
    };
    auto* level = window.find<kit::Slider>(QStringLiteral("level"));
    QAccessibleValueInterface* value = accessible("level")->valueInterface();
    ASSERT_TRUE(value);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        level->setShownValue(c.shown);
        level->setValue(c.position, kit::Notify::No);
        EXPECT_DOUBLE_EQ(value->currentValue().toDouble(), c.value);
        EXPECT_DOUBLE_EQ(value->minimumValue().toDouble(), c.minimum);
        EXPECT_DOUBLE_EQ(value->maximumValue().toDouble(), c.maximum);
        EXPECT_DOUBLE_EQ(value->minimumStepSize().toDouble(), c.step);
        window.take();
        value->setCurrentValue(c.asked);
        EXPECT_EQ(level->value(), c.positionAfter);
        EXPECT_EQ(test::OfTypes(window.take(), {"valuechanged"}).size(), 1u) << "a user's change";
    }
}

TEST_F(KitControls, AWindowIsAFrameOrAModalDialogTitledInTheLanguageShown) {
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&window)->role(), QAccessible::Dialog);
    test::RecordingWindow main{skin, QStringLiteral("w.xml")};
    main.setTitleKey(QStringLiteral("title_text"));
    main.create(kit::WindowKind::Main);
    QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(&main);
    EXPECT_EQ(frame->role(), QAccessible::Window);
    EXPECT_EQ(frame->text(QAccessible::Name), QStringLiteral("Settings"));
    ASSERT_FALSE(skin.setLanguage(QStringLiteral("de")));
    main.retranslate();
    EXPECT_EQ(frame->text(QAccessible::Name), QStringLiteral("Einstellungen"));

    test::RecordingWindow dialog{skin, QStringLiteral("w.xml")};
    dialog.create(kit::WindowKind::Dialog);
    bool modalWhileRunning = false;
    QTimer::singleShot(0, &dialog, [&] {
        modalWhileRunning = QAccessible::queryAccessibleInterface(&dialog)->state().modal;
        dialog.closeWindow(0);
    });
    dialog.showModal();
    EXPECT_TRUE(modalWhileRunning);
}

TEST_F(KitControls, TheScrollingColumnIsNoTabStopOfItsOwn) {
    for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain())
        EXPECT_FALSE(qobject_cast<QScrollArea*>(w) && (w->focusPolicy() & Qt::TabFocus)) << "an unnamed stop";
    QApplication::setActiveWindow(&window);
    widget("number")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(widget("number"), Qt::Key_Tab);
    EXPECT_TRUE(widget("inside")->hasFocus());
}

// The ring the theme draws around the keyboard's focus lies where a coloured button
// paints its colour; with the focus the colour leaves it room.
TEST_F(KitControls, TheFocusRingShowsOnAColouredButton) {
    window.setStyleSheet(QStringLiteral("QPushButton[kind][keyfocus=\"true\"] { border: 2px solid #00ff00; }"));
    auto* swatch = window.find<kit::Button>(QStringLiteral("swatch"));
    auto ringPixel = [&] { return swatch->grab().toImage().pixelColor(1, swatch->height() / 2); };
    auto middle = [&] { return swatch->grab().toImage().pixelColor(swatch->width() / 2, swatch->height() / 2); };
    QApplication::setActiveWindow(&window);
    swatch->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(ringPixel(), QColor(Qt::red)) << "no ring after a click";
    window.find<kit::Button>(QStringLiteral("last"))->setFocus(Qt::MouseFocusReason);
    swatch->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(swatch->keyFocus());
    EXPECT_NE(ringPixel(), QColor(Qt::red));
    EXPECT_EQ(middle(), QColor(Qt::red));
}

// A keyboard user who opens a window with a key sees where its focus starts; one who
// opened it with a click sees no ring until Tab.
TEST_F(KitControls, AWindowOpenedFromTheKeyboardShowsWhereItsFocusStarts) {
    for (bool byKey : {true, false}) {
        SCOPED_TRACE(byKey ? "a key" : "a click");
        if (byKey) QTest::keyClick(widget("apply"), Qt::Key_Space);
        else QTest::mouseClick(widget("apply"), Qt::LeftButton);
        test::RecordingWindow opened{skin, QStringLiteral("w.xml")};
        opened.create(kit::WindowKind::Dialog);
        opened.show();
        QApplication::setActiveWindow(&opened);
        auto* first = dynamic_cast<kit::Control*>(QApplication::focusWidget());
        ASSERT_TRUE(first);
        EXPECT_EQ(first->keyFocus(), byKey) << first->name().toStdString();
    }
}
