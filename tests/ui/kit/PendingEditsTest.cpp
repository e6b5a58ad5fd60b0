// Typed text reaches the window before anything else acts, or is dropped by a cancel;
// and inside a scrolling container the wheel belongs to the column, not to the control
// it passes over, unless that control has the focus.
#include <gtest/gtest.h>

#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <functional>

#include "support/SkinFolder.h"
#include "ui/kit/Button.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Edit.h"
#include "ui/kit/List.h"
#include "ui/kit/MenuWindow.h"
#include "ui/kit/Slider.h"

using namespace halvern;
using kit::Notify;

namespace {

constexpr const char* kLayout = R"(<Window size="400,560">
  <Vertical>
    <Edit name="edit" text="start" height="30"/>
    <Edit name="digits" height="30"/>
    <Button name="btn" text="Go" height="30"/>
    <Button name="cancel" text="Cancel" cancel="true" height="30"/>
    <Option name="opt" group="g" text="o" height="30"/>
    <Check name="chk" text="c" height="30"/>
    <Slider name="slider" min="0" max="10" value="5" height="30"/>
    <Combo name="combo" height="30"><Item text="a"/><Item text="b"/><Item text="c"/></Combo>
    <Vertical name="column" vscroll="true" height="120">
      <Slider name="inner_slider" min="0" max="10" value="5" height="30"/>
      <Combo name="inner_combo" height="30"><Item text="a"/><Item text="b"/><Item text="c"/></Combo>
      <List name="inner_list" height="60" rowheight="24">
        <Item text="0"/><Item text="1"/><Item text="2"/><Item text="3"/><Item text="4"/><Item text="5"/>
      </List>
      <Fill height="400"/>
    </Vertical>
  </Vertical>
</Window>)";

// Notes each notification with the text the box shows at that moment, which is what a
// receiver commits. Like a page's digits filter, it rewrites "digits" as it is typed.
class Window : public kit::SkinWindow {
public:
    using kit::SkinWindow::SkinWindow;
    QString windowClassName() const override { return QStringLiteral("PendingEdits"); }
    QString skinFile() const override { return QStringLiteral("w.xml"); }

    std::vector<std::string> seen;

protected:
    void notify(const kit::Notification& n) override {
        if (n.type == "setfocus" || n.type == "mouseenter" || n.type == "mouseleave") return;
        std::string line = n.type + " " + n.sender->name().toStdString();
        if (auto* edit = dynamic_cast<kit::Edit*>(n.sender)) line += " " + edit->QLineEdit::text().toStdString();
        seen.push_back(line);
        if (n.type == "textchanged" && n.sender->name() == u"digits") {
            auto* edit = static_cast<kit::Edit*>(n.sender);
            edit->setText(edit->QLineEdit::text().remove(QLatin1Char('x')), Notify::No);
        }
    }
};

class PendingEdits : public ::testing::Test {
public:
    // Public: the cases' actions take the fixture as an argument.
    void SetUp() override {
        folder.write("w.xml", kLayout);
        folder.write("menu.xml", R"(<Menu><Item name="item" text="Item"/></Menu>)");
        ASSERT_FALSE(window.create(kit::WindowKind::Main));
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    template <typename T = kit::Control>
    T* get(const char* name) {
        auto* c = window.find<T>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    kit::Edit* edit() { return get<kit::Edit>("edit"); }
    void typeInto(const char* name, const QString& text) {
        auto* box = get<kit::Edit>(name);
        QTest::mouseClick(box, Qt::LeftButton);
        box->selectAll();
        QTest::keyClicks(box, text);
    }
    std::vector<std::string> take() { return std::exchange(window.seen, {}); }

    test::SkinFolder folder;
    kit::Skin skin = folder.makeSkin();
    Window window{skin};
};

}  // namespace

TEST_F(PendingEdits, TypedTextIsCommittedBeforeAnotherControlActsOrDroppedByACancel) {
    struct Case {
        const char* what;
        std::function<void(PendingEdits&)> act;  // after "42" was typed into "edit"
        std::vector<std::string> seen;
        const char* shownAfter;
    };
    auto click = [](const char* name) {
        return [name](PendingEdits& t) { QTest::mouseClick(t.get<QWidget>(name), Qt::LeftButton); };
    };
    auto key = [](Qt::Key k) { return [k](PendingEdits& t) { QTest::keyClick(t.edit(), k); }; };
    const Case cases[] = {
        {"a pointer click on a button, which takes no focus", click("btn"), {"killfocus edit 42", "click btn"}, "42"},
        {"an option", click("opt"), {"killfocus edit 42", "click opt", "selectchanged opt"}, "42"},
        {"a check box", click("chk"), {"killfocus edit 42", "click chk", "checkclick chk"}, "42"},
        {"a program change with a notification",
         [](PendingEdits& t) { t.get<kit::Slider>("slider")->setValue(2, Notify::Yes); },
         {"killfocus edit 42", "valuechanged slider"},
         "42"},
        {"a combo",
         [](PendingEdits& t) { t.get<kit::Combo>("combo")->selectItem(1, Notify::Yes); },
         {"killfocus edit 42", "itemselect combo"},
         "42"},
        {"a menu item, before it is posted",
         [](PendingEdits& t) {
             auto menu = kit::MenuWindow::Create(t.skin, QStringLiteral("menu.xml"), &t.window);
             menu->findItem(QStringLiteral("item"))->trigger();
         },
         {"killfocus edit 42"},
         "42"},
        {"committed once: a second click finds nothing pending",
         [](PendingEdits& t) {
             QTest::mouseClick(t.get<QWidget>("btn"), Qt::LeftButton);
             QTest::mouseClick(t.get<QWidget>("btn"), Qt::LeftButton);
         },
         {"killfocus edit 42", "click btn", "click btn"},
         "42"},
        {"Enter commits, and the click after it has nothing to commit",
         [](PendingEdits& t) {
             QTest::keyClick(t.edit(), Qt::Key_Return);
             QTest::mouseClick(t.get<QWidget>("btn"), Qt::LeftButton);
         },
         {"return edit 42", "click btn"},
         "42"},
        {"leaving the box commits again what a click committed",
         [](PendingEdits& t) {
             QTest::mouseClick(t.get<QWidget>("btn"), Qt::LeftButton);
             QTest::mouseClick(t.get<QWidget>("digits"), Qt::LeftButton);
         },
         {"killfocus edit 42", "click btn", "killfocus edit 42"},
         "42"},
        {"Escape drops the typing", key(Qt::Key_Escape), {"textchanged edit start"}, "start"},
        {"a cancel button drops it before its click",
         click("cancel"),
         {"textchanged edit start", "click cancel"},
         "start"},
        {"a drop goes back to the last commit, not to the first text",
         [](PendingEdits& t) {
             QTest::keyClick(t.edit(), Qt::Key_Return);
             QTest::keyClicks(t.edit(), QStringLiteral("5"));
             QTest::keyClick(t.edit(), Qt::Key_Escape);
         },
         {"return edit 42", "textchanged edit 425", "textchanged edit 42"},
         "42"},
        {"what the program writes counts as committed",
         [](PendingEdits& t) {
             t.edit()->setText(QStringLiteral("7"), Notify::No);
             QTest::keyClick(t.edit(), Qt::Key_Escape);
             QTest::mouseClick(t.get<QWidget>("btn"), Qt::LeftButton);
         },
         {"click btn"},
         "7"},
        {"closing with result 0 drops it",
         [](PendingEdits& t) { t.window.closeWindow(0); },
         {"textchanged edit start"},
         "start"},
        {"closing with another result commits it",
         [](PendingEdits& t) { t.window.closeWindow(1); },
         {"killfocus edit 42"},
         "42"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        edit()->setText(QStringLiteral("start"), Notify::No);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        typeInto("edit", QStringLiteral("42"));
        EXPECT_TRUE(edit()->hasUncommittedTyping());
        take();
        c.act(*this);
        std::vector<std::string> seen = take();
        // The box losing the focus as its window goes commits the text it shows by then.
        if (window.isHidden() && seen.size() > c.seen.size()) {
            EXPECT_EQ(seen.back(), std::string("killfocus edit ") + c.shownAfter);
            seen.pop_back();
        }
        EXPECT_EQ(seen, c.seen);
        EXPECT_EQ(edit()->QLineEdit::text().toStdString(), c.shownAfter);
        EXPECT_FALSE(edit()->hasUncommittedTyping());
        // Out of the box before the next case types into it afresh.
        QTest::mouseClick(get<QWidget>("digits"), Qt::LeftButton);
        take();
    }
}

TEST_F(PendingEdits, ARewriteWhileTypingIsStillTyping) {
    typeInto("digits", QStringLiteral("1x2"));
    EXPECT_TRUE(get<kit::Edit>("digits")->hasUncommittedTyping());
    take();
    QTest::mouseClick(get<QWidget>("btn"), Qt::LeftButton);
    EXPECT_EQ(take(), (std::vector<std::string>{"killfocus digits 12", "click btn"}));
}

TEST_F(PendingEdits, InAScrollingColumnTheWheelIsTheFocusedControlsOnly) {
    struct Case {
        const char* control;
        bool focused;
        bool taken;
    };
    const Case cases[] = {
        {"inner_slider", false, false},
        {"inner_combo", false, false},
        {"inner_list", false, false},
        {"inner_slider", true, true},
        {"inner_combo", true, true},
        {"inner_list", true, true},
        // Outside a scrolling container there is nothing else for the wheel to move.
        {"slider", false, true},
        {"combo", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.control) + (c.focused ? " focused" : " not focused"));
        kit::Control* control = get(c.control);
        QWidget* w = control->widget();
        get<QWidget>("btn")->setFocus();
        if (c.focused) w->setFocus();
        ASSERT_EQ(w->hasFocus(), c.focused);
        auto* slider = dynamic_cast<kit::Slider*>(control);
        auto* combo = dynamic_cast<kit::Combo*>(control);
        auto* list = dynamic_cast<kit::List*>(control);
        auto state = [&] {
            return slider ? slider->value() : combo ? combo->currentIndex() : list->verticalScrollBar()->value();
        };
        const int before = state();
        QWidget* target = list ? list->viewport() : w;
        const QPointF at = QRectF(target->rect()).center();
        QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
        EXPECT_EQ(state() != before, c.taken) << before << " -> " << state();
        // Not taken, it is left unaccepted for the column around to scroll.
        EXPECT_EQ(wheel.isAccepted(), c.taken);
        take();
    }
}
