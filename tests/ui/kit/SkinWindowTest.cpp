// The window base: building from a broken skin, timers by id, messages posted from
// other threads, modal results and menus.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <thread>

#include "halvern_abi.h"
#include "support/SkinFolder.h"
#include "support/VirtualTimerSource.h"
#include "ui/kit/Button.h"
#include "ui/kit/Combo.h"
#include "ui/kit/MenuWindow.h"

using namespace halvern;
using namespace std::chrono_literals;

namespace {

class InitCounting : public test::RecordingWindow {
public:
    using RecordingWindow::RecordingWindow;
    int inits = 0;
    bool sawButtonInInit = false;

protected:
    void onInit() override {
        ++inits;
        sawButtonInInit = findControl(QStringLiteral("b")) != nullptr;
    }
};

// Remembers on which thread each message arrived.
class ThreadCheckingWindow : public test::RecordingWindow {
public:
    using RecordingWindow::RecordingWindow;
    std::vector<QThread*> threads;

protected:
    bool handleMessage(const kit::Message& m) override {
        threads.push_back(QThread::currentThread());
        return RecordingWindow::handleMessage(m);
    }
};

// A window on a one-line layout, built and ready.
template <typename W = test::RecordingWindow>
struct Bare {
    explicit Bare(const char* layout = "<Window/>") {
        folder.write("w.xml", layout);
        window.create(kit::WindowKind::Dialog);
    }
    test::SkinFolder folder;
    kit::Skin skin = folder.makeSkin();
    W window{skin, QStringLiteral("w.xml")};
};

// Puts a window on virtual time; returns the clock.
test::VirtualTimerSource* OnVirtualTime(kit::SkinWindow& w) {
    auto source = std::make_unique<test::VirtualTimerSource>();
    auto* clock = source.get();
    w.setTimerSource(std::move(source));
    return clock;
}

template <typename Pred>
bool WaitFor(Pred pred, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Counts completions and notes which controls were on screen at each.
class CompletionCounting : public test::RecordingWindow {
public:
    using RecordingWindow::RecordingWindow;
    int completions = 0;

protected:
    void onLayoutComplete() override { ++completions; }
};

// Two deferred children around one that is not, and one hidden from the start.
constexpr const char* kDeferredLayout = R"(<Window size="200,300">
  <Vertical name="col">
    <Label name="a" text="A" height="20"/>
    <Vertical deferred="true" height="40"><Button name="d1" text="D1" height="20"/></Vertical>
    <Label name="b" text="B" height="20"/>
    <Vertical deferred="true" height="40"><Button name="d2" text="D2" height="20"/></Vertical>
    <Label name="c" text="C" height="20"/>
    <Vertical name="hid" deferred="true" visible="false" height="40"/>
  </Vertical>
</Window>)";

}  // namespace

TEST(SkinWindowDeferred, ChildrenExistAtOnceAndJoinInDocumentOrderAfterTheFirstPaint) {
    test::SkinFolder folder;
    folder.write("w.xml", kDeferredLayout);
    kit::Skin skin = folder.makeSkin();
    CompletionCounting window{skin, QStringLiteral("w.xml")};
    window.setDeferredBuilding(true);
    window.create(kit::WindowKind::Dialog);

    // Built, found by name and usable, but not yet part of the window.
    auto* d1 = window.find<kit::Button>(QStringLiteral("d1"));
    ASSERT_NE(d1, nullptr);
    d1->setText(QStringLiteral("set early"));
    EXPECT_FALSE(window.isAncestorOf(d1));
    EXPECT_FALSE(window.layoutComplete());
    EXPECT_EQ(window.completions, 0);

    window.show();
    ASSERT_TRUE(WaitFor([&] { return window.layoutComplete(); }));
    EXPECT_EQ(window.completions, 1);
    EXPECT_TRUE(window.isAncestorOf(d1));
    EXPECT_EQ(d1->text(), QStringLiteral("set early"));
    EXPECT_TRUE(d1->isVisible());
    EXPECT_FALSE(window.findControl(QStringLiteral("hid"))->widget()->isVisible());

    QCoreApplication::processEvents();
    std::vector<int> tops;
    for (const char* name : {"a", "d1", "b", "d2", "c"}) {
        QWidget* w = window.findControl(QString::fromLatin1(name))->widget();
        tops.push_back(w->mapTo(&window, QPoint(0, 0)).y());
    }
    EXPECT_TRUE(std::is_sorted(tops.begin(), tops.end())) << "children out of document order";
    EXPECT_EQ(std::adjacent_find(tops.begin(), tops.end()), tops.end()) << "children overlap";

    window.completeLayout();  // a second call changes nothing
    EXPECT_EQ(window.completions, 1);
}

TEST(SkinWindowDeferred, WithoutDeferredBuildingEverythingJoinsAtCreate) {
    test::SkinFolder folder;
    folder.write("w.xml", kDeferredLayout);
    kit::Skin skin = folder.makeSkin();
    CompletionCounting window{skin, QStringLiteral("w.xml")};
    window.create(kit::WindowKind::Dialog);
    EXPECT_TRUE(window.layoutComplete());
    EXPECT_EQ(window.completions, 1);
    EXPECT_TRUE(window.isAncestorOf(window.findControl(QStringLiteral("d2"))->widget()));
}

TEST(SkinWindowDeferred, AWindowClosedBeforeItsFirstPaintFreesWhatWaited) {
    test::SkinFolder folder;
    folder.write("w.xml", kDeferredLayout);
    kit::Skin skin = folder.makeSkin();
    QPointer<QWidget> parked;
    {
        CompletionCounting window{skin, QStringLiteral("w.xml")};
        window.setDeferredBuilding(true);
        window.create(kit::WindowKind::Dialog);
        parked = window.findControl(QStringLiteral("d2"))->widget();
        ASSERT_FALSE(parked.isNull());
        EXPECT_FALSE(parked->isVisible());
    }
    EXPECT_TRUE(parked.isNull());
}

// A combo builds its drop-down when it is first opened, not as it joins the styled
// window, and measures and opens as one that joined at once does.
TEST(SkinWindowDeferred, ACombosDropDownIsBuiltWhenFirstOpenedInTheLookOfThatMoment) {
    test::SkinFolder folder;
    folder.write("theme.qss",
                 "QComboBox { padding: 5px 24px; border: 1px solid #2d3242; }\n"
                 "QComboBox QAbstractItemView { background-color: #1b1e27; }\n");
    folder.write("w.xml", R"(<Window size="300,200"><Vertical>
  <Combo name="now" height="30"><Item text="a rather long effect name"/><Item text="b"/></Combo>
  <Vertical deferred="true" height="40">
    <Combo name="later" height="30"><Item text="a rather long effect name"/><Item text="b"/></Combo>
  </Vertical>
</Vertical></Window>)");
    kit::Skin skin = folder.makeSkin();
    CompletionCounting window{skin, QStringLiteral("w.xml")};
    window.setDeferredBuilding(true);
    window.create(kit::WindowKind::Dialog);
    auto* now = window.find<kit::Combo>(QStringLiteral("now"));
    auto* later = window.find<kit::Combo>(QStringLiteral("later"));
    ASSERT_TRUE(now && later);
    const QSize unstyled = later->minimumSizeHint();  // measured before it has the look
    window.show();
    ASSERT_TRUE(WaitFor([&] { return window.layoutComplete() && later->isVisible(); }));

    for (kit::Combo* combo : {now, later}) EXPECT_EQ(combo->findChild<QAbstractItemView*>(), nullptr);
    EXPECT_EQ(later->sizeHint(), now->sizeHint());
    EXPECT_EQ(later->minimumSizeHint(), now->minimumSizeHint()) << "measured before the look: " << unstyled.width();

    later->showPopup();
    auto* list = later->findChild<QAbstractItemView*>();
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(WaitFor([&] { return list->isVisible(); }));
    EXPECT_EQ(list->model()->rowCount(), 2);
    EXPECT_EQ(list->palette().color(QPalette::Base), QColor(0x1b1e27)) << "the drop-down has the sheet's look";
    later->hidePopup();
}

TEST(SkinWindow, BuildsFromTheLayoutAndFindsControlsBeforeInit) {
    test::SkinFolder folder;
    folder.write("w.xml", "<Window size='321,123'><Button name='b'/></Window>");
    kit::Skin skin = folder.makeSkin();
    InitCounting w(skin, QStringLiteral("w.xml"));
    EXPECT_FALSE(w.create(kit::WindowKind::Dialog));
    EXPECT_EQ(w.inits, 1);
    EXPECT_TRUE(w.sawButtonInInit);
    EXPECT_EQ(w.size(), QSize(321, 123));
    EXPECT_EQ(w.objectName(), QStringLiteral("RecordingWindow"));
    // A second create would build every control twice.
    EXPECT_TRUE(w.create(kit::WindowKind::Dialog));
    EXPECT_EQ(w.inits, 1);
    EXPECT_EQ(w.controls().size(), 1u);
}

TEST(SkinWindow, RowsThatOnlyArrangeTakeNoWidgetYetKeepTheirSizeAndOrder) {
    test::SkinFolder folder;
    folder.write("w.xml", R"(<Window size='300,200'>
  <Vertical name='col'>
    <Horizontal height='40' childpadding='4'>
      <Label name='l' text='L'/>
      <Button name='b' text='B' height='20' width='50'/>
    </Horizontal>
    <Vertical width='120'><Button name='c' text='C' height='24'/></Vertical>
    <Fill/>
  </Vertical>
</Window>)");
    kit::Skin skin = folder.makeSkin();
    test::RecordingWindow window(skin, QStringLiteral("w.xml"));
    window.create(kit::WindowKind::Dialog);
    window.show();
    QCoreApplication::processEvents();

    QWidget* col = window.findControl(QStringLiteral("col"))->widget();
    QWidget* label = window.findControl(QStringLiteral("l"))->widget();
    QWidget* button = window.findControl(QStringLiteral("b"))->widget();
    QWidget* c = window.findControl(QStringLiteral("c"))->widget();
    EXPECT_EQ(label->parentWidget(), col);
    EXPECT_EQ(button->parentWidget(), col);
    EXPECT_EQ(label->height(), 40);  // the row's fixed height, not the column's
    EXPECT_EQ(button->y(), 10);      // centred in the row
    EXPECT_EQ(button->x(), label->geometry().right() + 1 + 4);
    EXPECT_EQ(c->y(), 40);
    EXPECT_EQ(c->width(), 120);
}

TEST(Skin, AForgottenLayoutIsParsedAgainWhenAskedFor) {
    test::SkinFolder folder;
    folder.write("w.xml", "<Window><Button name='a'/></Window>");
    kit::Skin skin = folder.makeSkin();
    ASSERT_TRUE(std::holds_alternative<kit::LayoutNode>(skin.layout(QStringLiteral("w.xml"))));
    folder.write("w.xml", "<Window><Label name='b'/></Window>");
    skin.forgetLayout(QStringLiteral("w.xml"));
    const auto& again = skin.layout(QStringLiteral("w.xml"));
    ASSERT_TRUE(std::holds_alternative<kit::LayoutNode>(again));
    EXPECT_EQ(std::get<kit::LayoutNode>(again).children.at(0).element, QStringLiteral("Label"));
}

TEST(Skin, TheRuleForEveryWidgetBecomesTheBaseLookAndLeavesTheSheet) {
    const QString sheet = QStringLiteral(
        "QPushButton QWidget { font-size: 30px; }\n"
        "QWidget {\n  color: #fff;\n  font-family: \"Inter\", 'DejaVu Sans', sans-serif;\n  font-size: 13px;\n}\n"
        "QWidget:disabled { color: #5d6375; }\n"
        "QLabel { font-size: 20px; }");
    const kit::Skin::BaseLook look = kit::Skin::BaseLookOf(sheet);
    ASSERT_TRUE(look.font && look.text && look.disabledText);
    EXPECT_EQ(look.font->families(),
              (QStringList{QStringLiteral("Inter"), QStringLiteral("DejaVu Sans"), QStringLiteral("sans-serif")}));
    EXPECT_EQ(look.font->pixelSize(), 13);
    EXPECT_EQ(*look.text, QColor(Qt::white));
    EXPECT_EQ(*look.disabledText, QColor(0x5d6375));
    EXPECT_EQ(kit::Skin::WithoutBaseLook(sheet),
              QStringLiteral("QPushButton QWidget { font-size: 30px; }\nQLabel { font-size: 20px; }"));

    // What it cannot read stays in the sheet for Qt to read.
    struct Case {
        const char* sheet;
        int pixelSize;  // 0: no font
        const char* text;
        const char* left;
    };
    for (const Case& c : {
             Case{"QLabel { font-size: 20px; }", 0, "", "QLabel { font-size: 20px; }"},
             Case{"QWidget { color: red; }", 0, "#ff0000", ""},
             Case{"QWidget { font-size: 99999px", 0, "", "QWidget { font-size: 99999px"},
             Case{"QWidget { color: rgb(1, 2, 3); background: #000; font-size: 12px; }", 12, "",
                  "QWidget { color: rgb(1, 2, 3); background: #000; }"},
             Case{"QWidget { font-size: 99999px; }\nQLabel {}", 0, "", "QWidget { font-size: 99999px; }\nQLabel {}"},
             // A disabled control keeps its font: only the colour is taken.
             Case{"QWidget:disabled { color: blue; font-size: 12px; }", 0, "", "QWidget:disabled { font-size: 12px; }"},
         }) {
        const QString in = QString::fromUtf8(c.sheet);
        const kit::Skin::BaseLook got = kit::Skin::BaseLookOf(in);
        EXPECT_EQ(got.font ? got.font->pixelSize() : 0, c.pixelSize) << c.sheet;
        EXPECT_EQ(got.text ? got.text->name() : QString(), QString::fromUtf8(c.text)) << c.sheet;
        EXPECT_EQ(kit::Skin::WithoutBaseLook(in), QString::fromUtf8(c.left)) << c.sheet;
    }
}

TEST(SkinWindow, ABrokenOrMissingLayoutGivesAnEmptyWindowAndAnError) {
    test::SkinFolder folder;
    folder.write("broken.xml", "<Window>\n<Button name='b'>\n</Window>");
    folder.write("menu.xml", "<Menu><Item name='x'/></Menu>");
    kit::Skin skin = folder.makeSkin();
    for (const char* file : {"broken.xml", "missing.xml", "menu.xml"}) {
        InitCounting w(skin, QString::fromLatin1(file));
        auto error = w.create(kit::WindowKind::Dialog);
        ASSERT_TRUE(error) << file;
        EXPECT_TRUE(error->startsWith(QString::fromLatin1(file))) << error->toStdString();
        EXPECT_EQ(w.inits, 1);
        EXPECT_FALSE(w.sawButtonInInit);
        EXPECT_TRUE(w.controls().empty());
    }
}

TEST(SkinWindowTimers, RearmingAnIdRestartsItsPeriod) {
    Bare<> bare;
    auto& w = bare.window;
    QElapsedTimer clock;
    clock.start();
    w.setTimer(7, 200ms);
    QTest::qWait(100);
    w.setTimer(7, 200ms);
    const qint64 rearmedAt = clock.elapsed();
    ASSERT_TRUE(WaitFor([&] { return !w.timers.empty(); }));
    EXPECT_GE(clock.elapsed(), rearmedAt + 190);
    EXPECT_EQ(w.timers, std::vector<int>{7});
    // Timers repeat until stopped.
    ASSERT_TRUE(WaitFor([&] { return w.timers.size() >= 2; }));
    w.stopTimer(7);
    EXPECT_FALSE(w.isTimerActive(7));
}

TEST(SkinWindowTimers, ControlTimersRaiseTimerNotificationsWithTheirId) {
    Bare<> bare("<Window><Label name='l'/><Label name='v' virtualwnd='P'/></Window>");
    auto& w = bare.window;
    auto* clock = OnVirtualTime(w);
    test::RecordingPump pump;
    w.addVirtualWindow(QStringLiteral("P"), &pump);

    w.setControlTimer(w.findControl(QStringLiteral("l")), 6, 50ms);
    w.setControlTimer(w.findControl(QStringLiteral("v")), 28, 50ms);
    w.setTimer(6, 30ms);  // a window timer with the same number is a different timer
    clock->advance(50ms);
    EXPECT_EQ(w.take(), (std::vector<test::Seen>{{"timer", "l", 6, 0}}));
    EXPECT_EQ(pump.seen, (std::vector<test::Seen>{{"timer", "v", 28, 0}}));
    EXPECT_EQ(w.timers, std::vector<int>{6});

    w.stopControlTimer(w.findControl(QStringLiteral("l")), 6);
    clock->advance(50ms);
    EXPECT_TRUE(w.take().empty());
    EXPECT_EQ(pump.seen.size(), 2u);
}

TEST(SkinWindowTimers, VirtualTimeRearmDelaysTheExpiry) {
    Bare<> bare;
    auto& w = bare.window;
    auto* clock = OnVirtualTime(w);
    w.setTimer(513, 500ms);
    clock->advance(400ms);
    w.setTimer(513, 500ms);
    clock->advance(499ms);
    EXPECT_TRUE(w.timers.empty());
    clock->advance(1ms);
    EXPECT_EQ(w.timers, std::vector<int>{513});
}

TEST(SkinWindowMessages, PostedFromOtherThreadsArriveInOrderOnTheMainThread) {
    Bare<ThreadCheckingWindow> bare;
    auto& w = bare.window;
    constexpr int kPerThread = 1500;
    HalvernHostWindow* host = w.hostWindow();
    std::thread viaKit([&] {
        for (int i = 0; i < kPerThread; ++i) w.post(UM_SHOW_DPI, 0, i);
    });
    std::thread viaAbi([host] {
        for (int i = 0; i < kPerThread; ++i) host->post(host->context, UM_DRIVER_EVENT, 1, i);
    });
    viaKit.join();
    viaAbi.join();
    ASSERT_TRUE(WaitFor([&] { return w.messages.size() == 2 * kPerThread; }));
    std::intptr_t nextDpi = 0, nextDriver = 0;
    for (const kit::Message& m : w.messages) {
        if (m.id == UM_SHOW_DPI) EXPECT_EQ(m.lParam, nextDpi++);
        else if (m.id == UM_DRIVER_EVENT) EXPECT_EQ(m.lParam, nextDriver++);
        else ADD_FAILURE() << m.id;
    }
    EXPECT_EQ(nextDpi, kPerThread);
    EXPECT_EQ(nextDriver, kPerThread);
    for (QThread* t : w.threads) ASSERT_EQ(t, QCoreApplication::instance()->thread());
}

TEST(SkinWindowMessages, TasksRunOnTheMainThreadInOrderWithMessages) {
    Bare<ThreadCheckingWindow> bare;
    auto& w = bare.window;
    std::vector<std::string> order;
    std::vector<QThread*> taskThreads;
    std::thread other([&] {
        for (int i = 0; i < 3; ++i) {
            w.postTask([&, i] {
                order.push_back("task " + std::to_string(i));
                taskThreads.push_back(QThread::currentThread());
            });
            w.post(UM_SHOW_DPI, 0, i);
        }
    });
    other.join();
    ASSERT_TRUE(WaitFor([&] { return w.messages.size() == 3 && order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<std::string>{"task 0", "task 1", "task 2"}));
    for (QThread* t : taskThreads) EXPECT_EQ(t, QCoreApplication::instance()->thread());
    EXPECT_FALSE(w.postTask({}));
    // Tasks never reach the window's message handling.
    for (const kit::Message& m : w.messages) EXPECT_EQ(m.id, static_cast<std::uint32_t>(UM_SHOW_DPI));
}

TEST(SkinWindowMessages, SendIsSynchronousAndADetachedPortDropsPosts) {
    Bare<> bare;
    auto& w = bare.window;
    EXPECT_TRUE(w.send(UM_ACTIVATE, 1, 2));
    ASSERT_EQ(w.messages.size(), 1u);
    EXPECT_EQ(w.messages[0].wParam, 1u);

    kit::MessagePort port(&w);
    EXPECT_TRUE(port.post({UM_ACTIVATE, 0, 0, {}}));
    port.detach();
    EXPECT_FALSE(port.post({UM_ACTIVATE, 0, 0, {}}));
    port.hostWindow()->post(port.hostWindow()->context, UM_ACTIVATE, 0, 0);  // dropped, no crash
    QCoreApplication::processEvents();
    EXPECT_EQ(w.messages.size(), 2u);
}

TEST(SkinWindowModal, ShowModalReturnsTheResultGivenToCloseWindow) {
    Bare<> bare("<Window size='200,100'><Button name='b'/></Window>");
    auto& w = bare.window;
    QTimer::singleShot(0, &w, [&] { w.closeWindow(5); });
    EXPECT_EQ(w.showModal(), 5);
    EXPECT_FALSE(w.isVisible());

    // The window system's close gives 0.
    QTimer::singleShot(0, &w, [&] { w.close(); });
    EXPECT_EQ(w.showModal(), 0);
}

TEST(SkinWindowModal, CentresOverTheScreen) {
    Bare<> bare("<Window size='200,100'/>");
    auto& w = bare.window;
    w.centerWindow();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(w.geometry().center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(w.geometry().center().y() - area.center().y()), 1);
}

TEST(MenuWindow, ChoosingAnItemPostsItsCommandToTheOwner) {
    test::SkinFolder folder;
    folder.write("w.xml", "<Window/>");
    folder.write("menu.xml", R"(<Menu>
        <Item name="configuration" textkey="open_text" userdata="u1"/>
        <Item name="hidden" text="H" visible="false"/>
        <Item name="exit" text="Quit"/>
      </Menu>)");
    folder.write("lan.xml", "<Language><Text key='open_text'>Open</Text></Language>");
    kit::Skin skin = folder.makeSkin();
    ASSERT_FALSE(skin.loadLanguage(QStringLiteral("lan.xml")));
    test::RecordingWindow w(skin, QStringLiteral("w.xml"));
    w.create(kit::WindowKind::Dialog);

    QString error;
    auto menu = kit::MenuWindow::Create(skin, QStringLiteral("menu.xml"), &w, &error);
    ASSERT_TRUE(menu) << error.toStdString();
    EXPECT_EQ(menu->visibleItemCount(), 2);
    ASSERT_TRUE(menu->findItem(QStringLiteral("configuration")));
    EXPECT_EQ(menu->findItem(QStringLiteral("configuration"))->text(), QStringLiteral("Open"));
    menu->findItem(QStringLiteral("configuration"))->trigger();
    QCoreApplication::processEvents();
    ASSERT_EQ(w.messages.size(), 1u);
    const kit::Message& m = w.messages[0];
    EXPECT_EQ(m.id, static_cast<std::uint32_t>(UM_MENU_COMMAND));
    EXPECT_NE(m.wParam, 0u);
    auto command = std::any_cast<std::shared_ptr<const kit::MenuCommand>>(m.payload);
    EXPECT_EQ(command->name, QStringLiteral("configuration"));
    EXPECT_EQ(command->userData, QStringLiteral("u1"));
    EXPECT_EQ(command->text, QStringLiteral("Open"));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(command.get()), m.wParam);

    // A menu that outlives its owner drops the choice.
    {
        auto owner = std::make_unique<test::RecordingWindow>(skin, QStringLiteral("w.xml"));
        owner->create(kit::WindowKind::Dialog);
        auto orphan = kit::MenuWindow::Create(skin, QStringLiteral("menu.xml"), owner.get());
        owner.reset();
        orphan->findItem(QStringLiteral("exit"))->trigger();
        QCoreApplication::processEvents();
    }

    folder.write("notmenu.xml", "<Window/>");
    EXPECT_FALSE(kit::MenuWindow::Create(skin, QStringLiteral("notmenu.xml"), &w, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("<Menu>")));
    EXPECT_FALSE(kit::MenuWindow::Create(skin, QStringLiteral("nothere.xml"), &w, &error));
}

TEST(MenuWindow, AnItemHoldingItemsOpensThemAsASubmenuWhoseItemsAreFoundByName) {
    test::SkinFolder folder;
    folder.write("w.xml", "<Window/>");
    folder.write("menu.xml", R"(<Menu>
        <Item name="left" text="Left"/>
        <Item name="media" text="Media">
          <Item name="mute" text="Mute"/>
          <Item name="hidden" text="H" visible="false"/>
        </Item>
      </Menu>)");
    kit::Skin skin = folder.makeSkin();
    test::RecordingWindow w(skin, QStringLiteral("w.xml"));
    w.create(kit::WindowKind::Dialog);

    QString error;
    auto menu = kit::MenuWindow::Create(skin, QStringLiteral("menu.xml"), &w, &error);
    ASSERT_TRUE(menu) << error.toStdString();
    EXPECT_EQ(menu->visibleItemCount(), 2);
    // The submenu's own row chooses nothing.
    EXPECT_FALSE(menu->findItem(QStringLiteral("media")));
    QAction* mute = menu->findItem(QStringLiteral("mute"));
    ASSERT_TRUE(mute);
    ASSERT_NE(mute->parent(), menu.get());
    mute->trigger();
    QCoreApplication::processEvents();
    ASSERT_EQ(w.messages.size(), 1u);
    EXPECT_EQ(std::any_cast<std::shared_ptr<const kit::MenuCommand>>(w.messages[0].payload)->name,
              QStringLiteral("mute"));
}
