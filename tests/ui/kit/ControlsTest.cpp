// Each control kind raises its notifications from real input and from program changes
// made with a notification, and none from changes made without one.
#include <gtest/gtest.h>

#include <QTest>

#include "support/SkinFolder.h"
#include "ui/kit/Button.h"
#include "ui/kit/ColorPalette.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Container.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Label.h"
#include "ui/kit/List.h"
#include "ui/kit/Slider.h"
#include "ui/kit/TabLayout.h"

using namespace halvern;
using halvern::kit::Notify;
using halvern::test::Seen;

namespace {

constexpr const char* kLayout = R"(<Window size="500,700">
  <Vertical name="root">
    <Button name="btn" text="Go" height="30" tooltipkey="tip_text"/>
    <Horizontal height="30">
      <Option name="o1" group="g" text="1" selected="true"/>
      <Option name="o2" group="g" text="2"/>
      <Option name="solo" text="s"/>
    </Horizontal>
    <Check name="chk" text="c" height="30"/>
    <Edit name="edit" height="30"/>
    <RichEdit name="rich" height="30" numberonly="true" maxchar="5"/>
    <Slider name="slider" min="0" max="10" value="3" height="30"/>
    <Progress name="progress" min="0" max="100" value="40" height="10"/>
    <Combo name="combo" height="30"><Item text="zero"/><Item textkey="one_text"/><Item text="two"/></Combo>
    <List name="list" height="100" rowheight="24"><Item text="r0"/><Item text="r1"/><Item text="r2"/></List>
    <ColorPalette name="palette" width="200" height="100" color="#FF0000"/>
    <Label name="label" textkey="hello_text" height="20"/>
    <Horizontal name="row" height="28" childpadding="6" text="17" textwidth="18" class="keyrow">
      <Button name="row_btn" text="r"/>
    </Horizontal>
    <Tab name="tab" height="30" selected="1"><Label name="t0" text="a"/><Label name="t1" text="b"/></Tab>
    <Vertical name="page" virtualwnd="Page" height="70">
      <Button name="page_btn" text="p" height="30"/>
      <Horizontal virtualwnd="Inner" height="30"><Button name="inner_btn" text="i"/></Horizontal>
    </Vertical>
  </Vertical>
</Window>)";

constexpr const char* kLanguage = R"(<Language>
  <Text key="hello_text">Hello</Text><Text key="one_text">One</Text>
</Language>)";

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        folder.write("t.xml", kLayout);
        folder.write("lan.xml", kLanguage);
        folder.write("row.xml", R"(<Window><Label name="key" width="40"/><Label name="delay"/></Window>)");
        ASSERT_FALSE(skin.loadLanguage(QStringLiteral("lan.xml")));
        auto error = window.create(kit::WindowKind::Main);
        ASSERT_FALSE(error) << error->toStdString();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.take();
    }

    template <typename T>
    T* get(const char* name) {
        T* c = window.find<T>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }

    test::SkinFolder folder;
    kit::Skin skin = folder.makeSkin();
    test::RecordingWindow window{skin, QStringLiteral("t.xml")};
};

std::vector<Seen> Just(std::initializer_list<Seen> s) { return s; }

}  // namespace

TEST_F(Controls, ButtonRaisesClick) {
    auto* btn = get<kit::Button>("btn");
    QTest::mouseClick(btn, Qt::LeftButton);
    EXPECT_EQ(window.take(), Just({{"click", "btn", 0, 0}}));
}

TEST_F(Controls, OptionsOfAGroupAreExclusiveAndNotifyOnlyWhenSelected) {
    auto* o1 = get<kit::Option>("o1");
    auto* o2 = get<kit::Option>("o2");
    EXPECT_TRUE(o1->isSelected());

    QTest::mouseClick(o2, Qt::LeftButton);
    EXPECT_EQ(window.take(), Just({{"click", "o2", 0, 0}, {"selectchanged", "o2", 1, 0}}));
    EXPECT_TRUE(o2->isSelected());
    EXPECT_FALSE(o1->isSelected());

    // Clicking the selected option of a group leaves it selected.
    QTest::mouseClick(o2, Qt::LeftButton);
    EXPECT_EQ(window.take(), Just({{"click", "o2", 0, 0}}));
    EXPECT_TRUE(o2->isSelected());

    o1->setSelected(true, Notify::No);
    EXPECT_TRUE(window.take().empty());
    EXPECT_FALSE(o2->isSelected());
    o2->setSelected(true, Notify::Yes);
    EXPECT_EQ(window.take(), Just({{"selectchanged", "o2", 1, 0}}));
    EXPECT_FALSE(o1->isSelected());
}

TEST_F(Controls, AnOptionOnItsOwnToggles) {
    auto* solo = get<kit::Option>("solo");
    QTest::mouseClick(solo, Qt::LeftButton);
    QTest::mouseClick(solo, Qt::LeftButton);
    EXPECT_EQ(window.take(), Just({{"click", "solo", 0, 0},
                                   {"selectchanged", "solo", 1, 0},
                                   {"click", "solo", 0, 0},
                                   {"selectchanged", "solo", 0, 0}}));
    EXPECT_TRUE(get<kit::Option>("o1")->isSelected());  // other groups untouched
}

TEST_F(Controls, CheckBoxRaisesCheckClickWithItsNewState) {
    auto* chk = get<kit::CheckBox>("chk");
    QTest::mouseClick(chk, Qt::LeftButton);
    EXPECT_EQ(window.take(), Just({{"click", "chk", 0, 0}, {"checkclick", "chk", 1, 0}}));
    EXPECT_TRUE(chk->isChecked());
    chk->setChecked(false, Notify::No);
    EXPECT_TRUE(window.take().empty());
    EXPECT_FALSE(chk->isChecked());
    chk->setChecked(true, Notify::Yes);
    EXPECT_EQ(window.take(), Just({{"checkclick", "chk", 1, 0}}));
}

TEST_F(Controls, EditRaisesFocusTextAndReturn) {
    auto* edit = get<kit::Edit>("edit");
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClicks(edit, QStringLiteral("ab"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::mouseClick(get<kit::Edit>("rich"), Qt::LeftButton);
    // Other controls' focus changes (the window's first focus) are not this test's.
    std::vector<Seen> seen;
    for (const Seen& s : window.take())
        if (s.sender == "edit" || s.sender == "rich") seen.push_back(s);
    ASSERT_GE(seen.size(), 6u);
    EXPECT_EQ(seen[0], (Seen{"setfocus", "edit", 0, 0}));
    EXPECT_EQ(seen[1], (Seen{"textchanged", "edit", 0, 0}));
    EXPECT_EQ(seen[2], (Seen{"textchanged", "edit", 0, 0}));
    EXPECT_EQ(seen[3], (Seen{"return", "edit", 0, 0}));
    EXPECT_EQ(seen[4], (Seen{"killfocus", "edit", 0, 0}));
    EXPECT_EQ(seen[5], (Seen{"setfocus", "rich", 0, 0}));
    EXPECT_EQ(edit->text(), QStringLiteral("ab"));

    edit->setText(QStringLiteral("quiet"), Notify::No);
    EXPECT_TRUE(window.take().empty());
    EXPECT_EQ(edit->QLineEdit::text(), QStringLiteral("quiet"));
    edit->setText(QStringLiteral("loud"), Notify::Yes);
    EXPECT_EQ(window.take(), Just({{"textchanged", "edit", 0, 0}}));
}

TEST_F(Controls, NumberOnlyEditKeepsDigitsUpToItsLimit) {
    auto* rich = get<kit::RichEdit>("rich");
    QTest::mouseClick(rich, Qt::LeftButton);
    QTest::keyClicks(rich, QStringLiteral("1a2b34567"));
    EXPECT_EQ(rich->text(), QStringLiteral("12345"));
}

TEST_F(Controls, SliderRaisesValueChangedForUserValuesOnly) {
    auto* slider = get<kit::Slider>("slider");
    slider->setFocus();
    window.take();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(window.take(), Just({{"valuechanged", "slider", 0, 0}}));
    EXPECT_EQ(slider->value(), 4);

    slider->setValue(8, Notify::No);
    EXPECT_TRUE(window.take().empty());
    slider->setValue(50, Notify::Yes);
    EXPECT_EQ(window.take(), Just({{"valuechanged", "slider", 0, 0}}));
    EXPECT_EQ(slider->value(), 10);
    slider->setValue(10, Notify::Yes);  // no change, no notification
    EXPECT_TRUE(window.take().empty());
}

TEST_F(Controls, SliderDrawsItselfInTheSheetsColoursAndFollowsThePointer) {
    auto* slider = get<kit::Slider>("slider");
    window.setStyleSheet(
        QStringLiteral("QSlider[kind] { qproperty-grooveColor: #102030; "
                       "qproperty-progressBrush: #708090; qproperty-handleColor: #405060; }"));
    slider->setValue(5, Notify::No);
    const QRect groove = slider->grooveRect();
    const QImage look = slider->grab().toImage();
    const int middle = groove.center().y();
    EXPECT_EQ(look.pixelColor(groove.left() + 3, middle), QColor(0x708090)) << "the part up to the handle";
    EXPECT_EQ(look.pixelColor(slider->handleRect().center()), QColor(0x405060)) << "the handle";
    EXPECT_EQ(look.pixelColor(groove.right() - 3, middle), QColor(0x102030)) << "the groove after it";

    // Where the pointer goes, the slider goes, each change a notification.
    slider->setPageStep(2);
    const QPoint start = slider->rect().topLeft() + QPoint(0, middle);
    const QPoint end = start + QPoint(groove.width() - 1, 0);
    struct Case {
        const char* what;
        int from;
        std::function<void()> act;
        int to;
    };
    const Case cases[] = {
        {"the handle dragged to the end", 5,
         [&] {
             QTest::mousePress(slider, Qt::LeftButton, {}, slider->handleRect().center());
             QTest::mouseMove(slider, end);
             QTest::mouseRelease(slider, Qt::LeftButton, {}, end);
         },
         10},
        {"the handle dragged past the start", 5,
         [&] {
             QTest::mousePress(slider, Qt::LeftButton, {}, slider->handleRect().center());
             QTest::mouseMove(slider, start - QPoint(40, 0));
             QTest::mouseRelease(slider, Qt::LeftButton, {}, start);
         },
         0},
        {"a click on the groove pages towards it", 5, [&] { QTest::mouseClick(slider, Qt::LeftButton, {}, end); }, 7},
        {"the middle button puts the handle under the pointer", 2,
         [&] { QTest::mouseClick(slider, Qt::MiddleButton, {}, QPoint(groove.center().x(), middle)); }, 5},
    };
    slider->setFocus();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        slider->setValue(c.from, Notify::No);
        window.take();
        c.act();
        EXPECT_EQ(slider->value(), c.to);
        EXPECT_FALSE(slider->isSliderDown());
        const auto seen = window.take();
        EXPECT_FALSE(seen.empty());
        for (const Seen& n : seen) EXPECT_EQ(n, Seen({"valuechanged", "slider", 0, 0}));
    }
}

TEST_F(Controls, ARowsNumberIsDrawnInItsOwnBandBeforeTheChildren) {
    auto* row = get<kit::Container>("row");
    window.setStyleSheet(
        QStringLiteral("QFrame[class=\"keyrow\"] { qproperty-textColor: #ff0000; "
                       "qproperty-textPixelSize: 20; }"));
    EXPECT_EQ(row->leadingText(), QStringLiteral("17"));
    EXPECT_EQ(get<kit::Button>("row_btn")->x(), 18 + 6) << "the children start after the band and the padding";
    EXPECT_EQ(row->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 1) << "no widget for the number";

    const QImage look = row->grab().toImage();
    int red = 0;
    for (int y = 0; y < look.height(); ++y)
        for (int x = 0; x < look.width(); ++x)
            if (look.pixelColor(x, y) == QColor(0xff0000)) {
                EXPECT_LT(x, 18) << "drawn outside its band";
                ++red;
            }
    EXPECT_GT(red, 10) << "the number in the sheet's colour";
}

TEST_F(Controls, ComboRaisesItemSelectWithNewAndOldIndex) {
    auto* combo = get<kit::Combo>("combo");
    EXPECT_EQ(combo->itemText(1), QStringLiteral("One"));
    combo->setFocus();
    window.take();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(window.take(), Just({{"itemselect", "combo", 1, 0}}));

    EXPECT_TRUE(combo->selectItem(2, Notify::No));
    EXPECT_TRUE(window.take().empty());
    EXPECT_TRUE(combo->selectItem(0, Notify::Yes));
    EXPECT_EQ(window.take(), Just({{"itemselect", "combo", 0, 2}}));
    EXPECT_FALSE(combo->selectItem(3, Notify::Yes));
    EXPECT_FALSE(combo->selectItem(-2, Notify::Yes));
    EXPECT_EQ(combo->currentSelection(), 0);
    EXPECT_TRUE(window.take().empty());
}

TEST_F(Controls, ListRaisesItemSelectForClickedRows) {
    auto* list = get<kit::List>("list");
    ASSERT_EQ(list->rowCount(), 3);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(test::OfTypes(window.take(), {"itemselect"}), Just({{"itemselect", "list", 1, -1}}));

    EXPECT_TRUE(list->selectRow(2, Notify::No));
    EXPECT_TRUE(window.take().empty());
    EXPECT_EQ(list->selectedRow(), 2);
    EXPECT_TRUE(list->selectRow(0, Notify::Yes));
    EXPECT_EQ(window.take(), Just({{"itemselect", "list", 0, 2}}));
    EXPECT_FALSE(list->selectRow(3, Notify::Yes));
    EXPECT_EQ(list->rowText(0), QStringLiteral("r0"));
    EXPECT_TRUE(list->setRowText(0, QStringLiteral("renamed")));
    EXPECT_EQ(list->rowText(0), QStringLiteral("renamed"));
    EXPECT_TRUE(list->removeRow(0));
    EXPECT_FALSE(list->removeRow(5));
    EXPECT_TRUE(window.take().empty());
}

TEST_F(Controls, ListRowsFromALayoutHaveTheirOwnNamedSubControls) {
    auto* list = get<kit::List>("list");
    list->removeAll();
    kit::ListRow* first = list->addLayoutRow(QStringLiteral("row.xml"), 30);
    kit::ListRow* second = list->addLayoutRow(QStringLiteral("row.xml"), 30);
    ASSERT_TRUE(first && second);
    first->find<kit::Label>(QStringLiteral("key"))->setText(QStringLiteral("A"));
    second->find<kit::Label>(QStringLiteral("key"))->setText(QStringLiteral("B"));
    EXPECT_EQ(list->layoutRow(0)->find<kit::Label>(QStringLiteral("key"))->QLabel::text(), QStringLiteral("A"));
    EXPECT_EQ(list->layoutRow(1)->find<kit::Label>(QStringLiteral("key"))->QLabel::text(), QStringLiteral("B"));
    EXPECT_EQ(list->item(1)->sizeHint().height(), 30);
    // Row controls are not the window's names.
    EXPECT_EQ(window.findControl(QStringLiteral("key")), nullptr);
    EXPECT_EQ(list->addLayoutRow(QStringLiteral("missing.xml"), 30), nullptr);
    EXPECT_EQ(list->rowCount(), 2);
}

TEST_F(Controls, ColorPaletteRaisesColorChangedWhileDraggingAndButtonUpAtTheEnd) {
    auto* palette = get<kit::ColorPalette>("palette");
    EXPECT_EQ(palette->selectedColor(), 0xFFFF0000u);
    QTest::mousePress(palette, Qt::LeftButton, {}, QPoint(60, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(90, 40), palette->mapToGlobal(QPointF(90, 40)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(palette, &move);
    QTest::mouseRelease(palette, Qt::LeftButton, {}, QPoint(90, 40));
    auto seen = window.take();
    // Press and move each pick a new colour; the release where the move ended only ends.
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], (Seen{"colorchanged", "palette", 0, 0}));
    EXPECT_EQ(seen[1], (Seen{"colorchanged", "palette", 0, 0}));
    EXPECT_EQ(seen[2], (Seen{"colorchangedbuttonup", "palette", 0, 0}));
    EXPECT_NE(palette->selectedColor(), 0xFFFF0000u);

    palette->setSelectedColor(0xFF123456, Notify::No);
    EXPECT_TRUE(window.take().empty());
    EXPECT_EQ(palette->selectedColor(), 0xFF123456u);
    palette->setSelectedColor(0x00ABCDEF, Notify::Yes);
    EXPECT_EQ(window.take(), Just({{"colorchanged", "palette", 0, 0}}));
    EXPECT_EQ(palette->selectedColor(), 0xFFABCDEFu);  // always opaque
}

TEST_F(Controls, LabelsShowLanguageTextsInTextKeyMode) {
    auto* label = get<kit::Label>("label");
    EXPECT_EQ(label->QLabel::text(), QStringLiteral("Hello"));
    EXPECT_EQ(label->text(), QStringLiteral("hello_text"));
    label->setText(QStringLiteral("no_such_text"));
    EXPECT_EQ(label->QLabel::text(), QStringLiteral("no_such_text"));
    label->setText(QStringLiteral("one_text"));
    EXPECT_EQ(label->QLabel::text(), QStringLiteral("One"));
    label->setTextKeyMode(false);
    EXPECT_EQ(label->QLabel::text(), QStringLiteral("one_text"));

    label->setTextKeyMode(true);
    EXPECT_EQ(get<kit::Button>("btn")->toolTip(), QStringLiteral("tip_text"));
    folder.write("lan2.xml", R"(<Language><Text key="one_text">Eins</Text><Text key="tip_text">Los</Text></Language>)");
    ASSERT_FALSE(window.loadLanguage(QStringLiteral("lan2.xml")));
    EXPECT_EQ(label->QLabel::text(), QStringLiteral("Eins"));
    EXPECT_EQ(get<kit::Combo>("combo")->itemText(1), QStringLiteral("Eins"));
    EXPECT_EQ(get<kit::Button>("btn")->toolTip(), QStringLiteral("Los"));
}

TEST_F(Controls, TabShowsOnePageAndImagesAreCheckedAtRunTime) {
    auto* tab = get<kit::TabLayout>("tab");
    EXPECT_EQ(tab->currentSelection(), 1);
    EXPECT_TRUE(tab->selectItem(0));
    EXPECT_FALSE(tab->selectItem(2));
    EXPECT_EQ(tab->currentSelection(), 0);

    auto* btn = get<kit::Button>("btn");
    EXPECT_TRUE(btn->setBkImage(QStringLiteral("res='skins/a.png' dest='0,0,4,4'")));
    EXPECT_FALSE(btn->setBkImage(QStringLiteral("res='../../etc/x.png'")));
    EXPECT_EQ(btn->bkImage().file, QStringLiteral("skins/a.png"));
    EXPECT_EQ(get<kit::Progress>("progress")->value(), 40);
}

TEST_F(Controls, VirtualWindowsReceiveTheirSubtreesNotifications) {
    auto* pageBtn = get<kit::Button>("page_btn");
    auto* innerBtn = get<kit::Button>("inner_btn");
    EXPECT_EQ(pageBtn->virtualWindow(), QStringLiteral("Page"));
    EXPECT_EQ(innerBtn->virtualWindow(), QStringLiteral("Inner"));

    // Without a pump the notifications of a virtual window reach nobody.
    QTest::mouseClick(pageBtn, Qt::LeftButton);
    EXPECT_TRUE(window.take(true).empty());

    test::RecordingPump page, inner;
    window.addVirtualWindow(QStringLiteral("Page"), &page);
    window.addVirtualWindow(QStringLiteral("Inner"), &inner);
    QTest::mouseClick(pageBtn, Qt::LeftButton);
    QTest::mouseClick(innerBtn, Qt::LeftButton);
    QTest::mouseClick(get<kit::Button>("btn"), Qt::LeftButton);
    auto without = [](std::vector<Seen> v) {
        std::erase_if(v, [](const Seen& s) { return s.type == "mouseenter" || s.type == "mouseleave"; });
        return v;
    };
    EXPECT_EQ(without(page.seen), Just({{"click", "page_btn", 0, 0}}));
    EXPECT_EQ(without(inner.seen), Just({{"click", "inner_btn", 0, 0}}));
    EXPECT_EQ(window.take(), Just({{"click", "btn", 0, 0}}));

    window.removeVirtualWindow(QStringLiteral("Page"));
    page.seen.clear();
    QTest::mouseClick(pageBtn, Qt::LeftButton);
    EXPECT_TRUE(page.seen.empty());
    EXPECT_TRUE(window.take().empty());
}

TEST_F(Controls, HoverRaisesMouseEnterAndLeave) {
    auto* btn = get<kit::Button>("btn");
    QEvent enter(QEvent::Enter), leave(QEvent::Leave);
    QApplication::sendEvent(btn, &enter);
    QApplication::sendEvent(btn, &leave);
    EXPECT_EQ(window.take(true), Just({{"mouseenter", "btn", 0, 0}, {"mouseleave", "btn", 0, 0}}));
}
