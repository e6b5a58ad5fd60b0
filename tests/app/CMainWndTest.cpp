// The main window: what it shows, how it hides and comes back, its message and timer
// tables, the DPI display and the order in which it hands over to the other parts.
#include <gtest/gtest.h>

#include <QTest>

#include "app/CMainWnd.h"
#include "halvern_abi.h"
#include "support/SkinFolder.h"
#include "support/VirtualTimerSource.h"
#include "ui/kit/Button.h"
#include "ui/kit/Container.h"
#include "ui/kit/Label.h"
#include "ui/kit/MenuWindow.h"
#include "ui/kit/Slider.h"
#include "ui/kit/TabLayout.h"

using namespace halvern;
using namespace std::chrono_literals;

namespace {

class MainWindow : public ::testing::Test {
protected:
    void open(bool withTray = true, kit::Skin* useSkin = nullptr) {
        CMainWnd::Options options;
        MainWndSeams& s = options.seams;
        s.page = &page;
        s.initPage = [this](CMainWnd& w) {
            calls.push_back(w.hasVirtualWindow(QStringLiteral("MS_1_Page")) ? "initPage(registered)" : "initPage");
        };
        s.loadHookLibrary = [this] { calls.push_back("loadHookLibrary"); };
        s.loadProfiles = [this] { calls.push_back("loadProfiles"); };
        s.registerForDeviceNotifications = [this] { calls.push_back("registerForDeviceNotifications"); };
        s.enumerateDevices = [this] { calls.push_back("enumerateDevices"); };
        s.onMenuItem = [this](const QString& item) { calls.push_back("onMenuItem " + item.toStdString()); };
        s.anyLink = [this] { return anyLink; };
        s.unloadHookLibrary = [this] {
            calls.push_back(std::string("unloadHookLibrary") + (raw->dpiOsd() ? " (display open)" : ""));
        };
        s.stopReaders = [this] {
            calls.push_back(raw->hasVirtualWindow(QStringLiteral("MS_1_Page")) ? "stopReaders (page still registered)"
                                                                               : "stopReaders");
        };
        s.destroyPage = [this] { calls.push_back("destroyPage"); };
        s.onDriverEvent = [this](std::uint32_t e) { driverEvents.push_back(e); };
        s.onWirelessTimeout = [this] { calls.push_back("onWirelessTimeout"); };
        s.onBleSubscribe = [this] { calls.push_back("onBleSubscribe"); };
        s.postApplyNow = [this] { calls.push_back("postApplyNow"); };
        s.onDeviceMessage = [this](std::uint32_t id, std::uintptr_t w, std::intptr_t l) {
            if (id != HALVERN_WM_USER + 530) return false;
            calls.push_back("onDeviceMessage " + std::to_string(w) + " " + std::to_string(l));
            return true;
        };
        s.onDeviceTimer = [this](int id) { calls.push_back("onDeviceTimer " + std::to_string(id)); };
        options.trayAvailable = [withTray] { return withTray; };
        window = std::make_unique<CMainWnd>(useSkin ? *useSkin : skin, std::move(options));
        raw = window.get();
        auto timers = std::make_unique<test::VirtualTimerSource>();
        clock = timers.get();
        window->setTimerSource(std::move(timers));
        ASSERT_FALSE(window->create(kit::WindowKind::Main));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        calls.clear();
    }

    void TearDown() override { window.reset(); }

    void postMenu(const QString& name) {
        auto command = std::make_shared<const kit::MenuCommand>(kit::MenuCommand{name, {}, {}});
        window->post(UM_MENU_COMMAND, reinterpret_cast<std::uintptr_t>(command.get()), 0, command);
        QCoreApplication::processEvents();
    }

    kit::Skin skin{QString::fromStdString(test::SourceSkinFolder().string())};
    test::RecordingPump page;
    std::vector<std::string> calls;
    std::vector<std::uint32_t> driverEvents;
    bool anyLink = false;
    std::unique_ptr<CMainWnd> window;
    CMainWnd* raw = nullptr;  // for the seams, which run while `window` is being reset
    test::VirtualTimerSource* clock = nullptr;
};

}  // namespace

TEST_F(MainWindow, ComesUpWithItsTitleSizeAndClassName) {
    open();
    EXPECT_EQ(window->windowTitle(), skin.text(QStringLiteral("mouse_name_text")));
    EXPECT_NE(window->windowTitle(), QStringLiteral("mouse_name_text"));
    EXPECT_EQ(window->size(), QSize(CMainWnd::kWidth, CMainWnd::kHeight));
    EXPECT_EQ(window->windowClassName(), QStringLiteral("NORVA KX Halvern Gaming Mouse"));
    EXPECT_FALSE(window->windowIcon().isNull());
    for (const char* name : {"skin_btn", "main_menu_btn", "min_btn", "exit_btn", "apply_progress", "device_tab_switch"})
        EXPECT_NE(window->findControl(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(window->find<kit::TabLayout>(QStringLiteral("device_tab_switch"))->count(), 2);
    EXPECT_EQ(window->find<kit::TabLayout>(QStringLiteral("device_tab_switch"))->currentSelection(), 0);
}

TEST_F(MainWindow, InitialisationHandsOverInItsOrder) {
    CMainWnd::Options options;
    std::vector<std::string> order;
    options.seams.page = &page;
    options.seams.initPage = [&](CMainWnd& w) {
        order.push_back(w.hasVirtualWindow(QStringLiteral("MS_1_Page")) ? "initPage(registered)" : "initPage");
        // The page binds its controls before the language file is read.
        order.push_back(w.windowTitle().isEmpty() ? "untitled" : "titled");
    };
    options.seams.loadHookLibrary = [&] { order.push_back("loadHookLibrary"); };
    options.seams.loadProfiles = [&] { order.push_back("loadProfiles"); };
    options.seams.registerForDeviceNotifications = [&] { order.push_back("registerForDeviceNotifications"); };
    options.seams.enumerateDevices = [&] { order.push_back("enumerateDevices"); };
    CMainWnd w(skin, std::move(options));
    w.create(kit::WindowKind::Main);
    EXPECT_EQ(order, (std::vector<std::string>{"initPage(registered)", "untitled", "loadHookLibrary", "loadProfiles",
                                                "registerForDeviceNotifications", "enumerateDevices"}));
}

TEST_F(MainWindow, ThePageReceivesItsControlsNotificationsNotTheWindow) {
    open();
    auto* pageArea = window->findControl(QStringLiteral("ms_1_page"));
    ASSERT_TRUE(pageArea);
    EXPECT_EQ(pageArea->virtualWindow(), QStringLiteral("MS_1_Page"));
}

TEST_F(MainWindow, ExitButtonHidesToTheTrayAndMinimisesWithoutOne) {
    open(true);
    QTest::mouseClick(window->find<kit::Button>(QStringLiteral("exit_btn")), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(calls.empty());  // the program keeps running

    window->send(UM_ACTIVATE);
    EXPECT_TRUE(window->isVisible());
    window.reset();

    open(false);
    QTest::mouseClick(window->find<kit::Button>(QStringLiteral("exit_btn")), Qt::LeftButton);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
}

TEST_F(MainWindow, MinimiseAndEveryWayBack) {
    open();
    auto minimise = [&] {
        QTest::mouseClick(window->find<kit::Button>(QStringLiteral("min_btn")), Qt::LeftButton);
        ASSERT_TRUE(window->isMinimized());
    };
    minimise();
    window->send(UM_ACTIVATE);
    EXPECT_FALSE(window->isMinimized());

    minimise();
    window->post(UM_TRAY_NOTIFY, 0, 0x0202);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isMinimized());

    minimise();
    postMenu(QStringLiteral("ConFiguration"));
    EXPECT_FALSE(window->isMinimized());

    window->hide();
    window->send(UM_TRAY_NOTIFY, 0, 0x0202);
    EXPECT_TRUE(window->isVisible());
    // Other mouse messages of the tray do nothing.
    window->hide();
    EXPECT_TRUE(window->send(UM_TRAY_NOTIFY, 0, 0x0201));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindow, TrayRightClickOpensAFreshMenuFromTheSkin) {
    open();
    window->send(UM_TRAY_NOTIFY, 0, 0x0205);
    kit::MenuWindow* first = window->trayMenu();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->findItem(QStringLiteral("configuration")));
    EXPECT_TRUE(first->findItem(QStringLiteral("exit")));
    EXPECT_EQ(first->findItem(QStringLiteral("exit"))->text(), skin.text(QStringLiteral("tray_exit_text")));
    QPointer<kit::MenuWindow> old(first);
    window->send(UM_TRAY_NOTIFY, 0, 0x0205);
    EXPECT_TRUE(old.isNull());
    EXPECT_TRUE(window->trayMenu());
}

TEST_F(MainWindow, MenuCommandsGoWhereTheirNameSays) {
    open();
    for (const char* name : {"ms_1_click", "ms_1_select_macro", "", "m", "ms", "ms_", "other", "MS_1_CLICK"})
        postMenu(QString::fromLatin1(name));
    EXPECT_EQ(calls, (std::vector<std::string>{"onMenuItem ms_1_click", "onMenuItem ms_1_select_macro"}));

    // A message without a command does nothing.
    window->hide();
    window->post(UM_MENU_COMMAND, 0, 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindow, TrayMenuExitEndsInTheShutdownOrder) {
    open();
    window->send(UM_SHOW_DPI, 0, 16);
    ASSERT_TRUE(window->dpiOsd());
    QPointer<CDPIMsg> osd(window->dpiOsd());
    window->send(UM_TRAY_NOTIFY, 0, 0x0205);
    ASSERT_TRUE(window->trayMenu());
    window->trayMenu()->findItem(QStringLiteral("exit"))->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(window->dpiOsd(), nullptr);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(calls, std::vector<std::string>{"unloadHookLibrary"});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(osd.isNull());

    window.reset();
    EXPECT_EQ(calls, (std::vector<std::string>{"unloadHookLibrary", "stopReaders", "destroyPage"}));
}

TEST_F(MainWindow, ExitInAnyLetterCaseAndTheWindowSystemsCloseEndTheProgramToo) {
    open();
    postMenu(QStringLiteral("Exit"));
    EXPECT_EQ(calls, std::vector<std::string>{"unloadHookLibrary"});
    window.reset();
    calls.clear();

    open();
    window->close();
    EXPECT_EQ(calls, std::vector<std::string>{"unloadHookLibrary"});
    window->destroyWindow();  // only once
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(MainWindow, LinkChangesSelectTheDeviceTab) {
    open();
    auto* tab = window->find<kit::TabLayout>(QStringLiteral("device_tab_switch"));
    anyLink = true;
    window->post(UM_LINK_CHANGED);
    QCoreApplication::processEvents();
    EXPECT_EQ(tab->currentSelection(), 1);
    anyLink = false;
    window->send(UM_LINK_CHANGED);
    EXPECT_EQ(tab->currentSelection(), 0);
}

TEST_F(MainWindow, DpiTextFollowsTheStoredValueRule) {
    EXPECT_EQ(CMainWnd::DpiText(16), QStringLiteral("DPI :800"));
    EXPECT_EQ(CMainWnd::DpiText(200), QStringLiteral("DPI :10000"));
    EXPECT_EQ(CMainWnd::DpiText(201), QStringLiteral("DPI :10100"));
    EXPECT_EQ(CMainWnd::DpiText(280), QStringLiteral("DPI :18000"));
    EXPECT_EQ(CMainWnd::DpiText(1), QStringLiteral("DPI :50"));
}

TEST_F(MainWindow, DpiDisplayShowsTheTextOfEachStoredValue) {
    open();
    for (auto [value, text] : {std::pair{16, "DPI :800"}, {200, "DPI :10000"}, {201, "DPI :10100"}}) {
        window->post(UM_SHOW_DPI, 0, value);
        QCoreApplication::processEvents();
        ASSERT_TRUE(window->dpiOsd());
        ASSERT_TRUE(window->dpiOsd()->label());
        EXPECT_EQ(window->dpiOsd()->label()->QLabel::text(), QString::fromLatin1(text));
    }
}

TEST_F(MainWindow, TwoDpiEventsASecondApartGiveOneDisplayThatClosesTwoSecondsAfterTheSecond) {
    open();
    window->send(UM_SHOW_DPI, 0, 16);
    QPointer<CDPIMsg> first(window->dpiOsd());
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    const QRect placed = first->geometry();

    clock->advance(1000ms);
    window->send(UM_SHOW_DPI, 0, 32);
    EXPECT_EQ(window->dpiOsd(), first.data());
    EXPECT_EQ(first->label()->QLabel::text(), QStringLiteral("DPI :1600"));
    EXPECT_EQ(first->geometry(), placed);

    clock->advance(1999ms);
    EXPECT_EQ(window->dpiOsd(), first.data());
    EXPECT_TRUE(first->isVisible());
    clock->advance(1ms);
    EXPECT_EQ(window->dpiOsd(), nullptr);
    EXPECT_FALSE(window->isTimerActive(OsdHideTimer));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
}

TEST_F(MainWindow, DriverMessagesBecomeOneEventValue) {
    open();
    window->send(UM_DRIVER_EVENT, 0x12, 0x5ABCD);
    window->send(UM_DRIVER_PLUG, 1, 0);
    window->send(UM_DRIVER_PLUG, 0, 0);
    window->send(UM_DRIVER_PLUG, 7, 0);
    EXPECT_EQ(driverEvents, (std::vector<std::uint32_t>{0x0012ABCDu, 0x7F000001u, 0x7F000002u, 0x7F000000u}));
}

TEST_F(MainWindow, MessagesThatMeanNothingAreStillTaken) {
    open();
    for (std::uint32_t id : {UM_HOOK_EVENT, HALVERN_WM_USER + 106, HALVERN_WM_USER + 513, HALVERN_WM_USER + 514,
                             HALVERN_WM_USER + 518, HALVERN_WM_USER + 4097})
        EXPECT_TRUE(window->send(id)) << id;
    EXPECT_FALSE(window->send(HALVERN_WM_USER + 2000));
    EXPECT_TRUE(calls.empty());
}

TEST_F(MainWindow, TheDeviceLinksOwnMessagesAndTimersAreHandedOver) {
    open();
    EXPECT_TRUE(window->send(HALVERN_WM_USER + 530, 7, 9));
    EXPECT_FALSE(window->send(HALVERN_WM_USER + 2000));
    window->setTimer(CableSettleTimer, 1000ms);
    clock->advance(1000ms);
    // The device link kills its timer itself.
    EXPECT_EQ(calls, (std::vector<std::string>{"onDeviceMessage 7 9", "onDeviceTimer 517"}));
}

TEST_F(MainWindow, ApplyDebounceTimerTurnsARunOfChangesIntoOneApplyRequest) {
    open();
    for (int i = 0; i < 10; ++i) {
        window->setTimer(ApplyDebounceTimer, 500ms);
        clock->advance(40ms);
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(calls.empty());
    clock->advance(460ms);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, std::vector<std::string>{"postApplyNow"});
    EXPECT_FALSE(window->isTimerActive(ApplyDebounceTimer));
    clock->advance(5000ms);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(MainWindow, OneShotTimersHandOverOnceAndStop) {
    open();
    window->setTimer(ReenumerateTimer, 1000ms);
    window->setTimer(WirelessTimeoutTimer, 6000ms);
    window->setTimer(BleSubscribeTimer, 2000ms);
    clock->advance(20000ms);
    EXPECT_EQ(calls, (std::vector<std::string>{"enumerateDevices", "onBleSubscribe", "onWirelessTimeout"}));
    for (int id : {ReenumerateTimer, WirelessTimeoutTimer, BleSubscribeTimer}) EXPECT_FALSE(window->isTimerActive(id));
}

TEST_F(MainWindow, ChargingAnimationSweepsTheBatteryBarAndScrollTimerShowsTheColumnsEnd) {
    auto folder = test::SkinFolder::CopyOfRealSkin();
    folder->write("main.xml", R"(<Window size="800,572">
      <Tab name="device_tab_switch"><Vertical/>
        <Vertical virtualwnd="MS_1_Page">
          <Progress name="ms_1_progress_power" min="0" max="100"/>
          <Vertical name="ms_1_ver_setting" vscroll="true" height="100"><Control height="1000"/></Vertical>
        </Vertical>
      </Tab></Window>)");
    kit::Skin pageSkin = folder->makeSkin();
    open(true, &pageSkin);
    auto* tab = window->find<kit::TabLayout>(QStringLiteral("device_tab_switch"));
    tab->selectItem(1);
    QCoreApplication::processEvents();

    auto* bar = window->find<kit::Progress>(QStringLiteral("ms_1_progress_power"));
    window->setChargeAnimationStep(96);
    window->setTimer(ChargingAnimationTimer, 30ms);
    std::vector<int> values;
    for (int i = 0; i < 4; ++i) {
        clock->advance(30ms);
        values.push_back(bar->value());
    }
    EXPECT_EQ(values, (std::vector<int>{96, 98, 100, 0}));
    EXPECT_EQ(window->chargeAnimationStep(), 2);
    EXPECT_TRUE(window->isTimerActive(ChargingAnimationTimer));

    auto* column = window->find<kit::Container>(QStringLiteral("ms_1_ver_setting"));
    EXPECT_EQ(column->scrollPosition(), 0);
    window->setTimer(ScrollSettingsTimer, 10ms);
    clock->advance(10ms);
    EXPECT_GT(column->scrollPosition(), 0);
    EXPECT_EQ(column->scrollPosition(), column->scrollMaximum());
    EXPECT_FALSE(window->isTimerActive(ScrollSettingsTimer));
}
