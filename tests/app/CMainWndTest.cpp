// The main window: what it shows, how it hides and comes back, its message and timer
// tables, the DPI display and the order in which it hands over to the other parts.
#include <gtest/gtest.h>

#include <QTest>

#include <dlfcn.h>

#include "SettlingClock.h"
#include "VirtualDevices.h"
#include "app/CMainWnd.h"
#include "ui/page/PageTimers.h"
#include "app/WindowTimers.h"
#include "device/HookLibrary.h"
#include "device/DeviceObserver.h"
#include "device/ProfileHolder.h"
#include "halvern_abi.h"
#include "host/DeviceStack.h"
#include "storage/SettingsFile.h"
#include "support/SkinFolder.h"
#include "support/TempDir.h"
#include "support/VirtualTimerSource.h"
#include "ui/kit/Button.h"
#include "ui/kit/Container.h"
#include "ui/kit/Label.h"
#include "ui/kit/MenuWindow.h"
#include "ui/kit/Slider.h"
#include "ui/kit/TabLayout.h"
#include "ui/kit/TrayIcon.h"
#include "ui/page/SettingsPage.h"

using namespace halvern;
using namespace std::chrono_literals;

namespace {

// The page as a list of the calls the window makes, with what the window looked like.
class RecordingPage final : public SettingsPage {
public:
    explicit RecordingPage(std::vector<std::string>& calls) : calls_(calls) {}
    kit::NotifyPump& notifyPump() override { return pump; }
    void init(kit::SkinWindow& w) override {
        window = &w;
        calls_.push_back(w.hasVirtualWindow(QStringLiteral("MS_1_Page")) ? "init(registered)" : "init");
        // The page binds its controls before the language file is read.
        calls_.push_back(w.windowTitle().isEmpty() ? "untitled" : "titled");
    }
    void loadProfiles() override { calls_.push_back("loadProfiles"); }
    void onMenuItem(const QString& item) override { calls_.push_back("onMenuItem " + item.toStdString()); }
    void onApplyRequest() override { calls_.push_back("onApplyRequest"); }
    bool onTimer(int id) override {
        calls_.push_back("onTimer " + std::to_string(id));
        return true;
    }
    void windowShown(bool shown) override { calls_.push_back(shown ? "shown" : "not shown"); }
    void languageChanged() override { calls_.push_back("languageChanged"); }
    void destroy() override {
        calls_.push_back(
            std::string("destroy") +
            (window && window->hasVirtualWindow(QStringLiteral("MS_1_Page")) ? " (still registered)" : "") +
            (readersAtDestroy ? " readers " + std::to_string(readersAtDestroy()) : ""));
    }

    test::RecordingPump pump;
    kit::SkinWindow* window = nullptr;
    std::function<int()> readersAtDestroy;

private:
    std::vector<std::string>& calls_;
};

class MainWindow : public ::testing::Test {
protected:
    void open(bool withTray = true, kit::Skin* useSkin = nullptr) {
        CMainWnd::Options options;
        options.page = &page;
        options.trayAvailable = [withTray] { return withTray; };
        options.dataFolder = dataFolder;
        options.language = language;
        options.followDesktopTheme = followDesktopTheme;
        options.hooks = hooks;
        options.libraryFolder = libraryFolder;
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
    std::filesystem::path dataFolder;
    QString language = QStringLiteral("en");
    bool followDesktopTheme = true;
    HookLibrary hookLibrary;  // given to the window when `hooks` points to it
    HookLibrary* hooks = nullptr;
    std::filesystem::path libraryFolder;
    std::vector<std::string> calls;
    RecordingPage page{calls};
    std::unique_ptr<CMainWnd> window;
    CMainWnd* raw = nullptr;
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
    options.page = &page;
    CMainWnd w(skin, std::move(options));
    w.create(kit::WindowKind::Main);
    EXPECT_EQ(calls, (std::vector<std::string>{"init(registered)", "untitled", "not shown", "loadProfiles"}));
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
    EXPECT_EQ(calls, std::vector<std::string>{"not shown"});  // the program keeps running
    calls.clear();

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
    calls.clear();

    // A message without a command does nothing.
    window->hide();
    window->post(UM_MENU_COMMAND, 0, 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindow, TrayMenuExitEndsInTheShutdownOrder) {
    // The hook library notes its calls; a handle of the test's own keeps the notes
    // readable once the window has freed it.
    hooks = &hookLibrary;
    libraryFolder = RECORDING_HOOK_DIR;
    const std::string file = (libraryFolder / HALVERN_HOOK_LIBRARY_NAME).string();
    void* own = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(own) << dlerror();
    const auto recorded = reinterpret_cast<const char* (*)()>(dlsym(own, "recorded_hook_calls"));
    ASSERT_TRUE(recorded);
    open();
    ASSERT_TRUE(hookLibrary.loaded());  // as the macro editor's first use loads it
    window->send(UM_SHOW_DPI, 0, 16);
    ASSERT_TRUE(window->dpiOsd());
    QPointer<CDPIMsg> osd(window->dpiOsd());
    window->send(UM_TRAY_NOTIFY, 0, 0x0205);
    ASSERT_TRUE(window->trayMenu());
    window->trayMenu()->findItem(QStringLiteral("exit"))->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(window->dpiOsd(), nullptr);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(calls, std::vector<std::string>{"not shown"});
    // The mouse hook goes first, then the keyboard's, then the library.
    EXPECT_STREQ(recorded(), "removemousehook removehook ");
    EXPECT_FALSE(hookLibrary.opened());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(osd.isNull());

    window.reset();
    EXPECT_EQ(calls, (std::vector<std::string>{"not shown", "destroy"}));
    dlclose(own);
}

TEST_F(MainWindow, ExitInAnyLetterCaseAndTheWindowSystemsCloseEndTheProgramToo) {
    open();
    postMenu(QStringLiteral("Exit"));
    EXPECT_FALSE(window->isVisible());
    window.reset();
    calls.clear();

    open();
    window->close();
    EXPECT_FALSE(window->isVisible());
    window->destroyWindow();  // only once
    EXPECT_EQ(calls, std::vector<std::string>{"not shown"});
}

TEST_F(MainWindow, DpiTextFollowsTheStoredValueRule) {
    EXPECT_EQ(CMainWnd::DpiText(16), QStringLiteral("DPI :800"));
    EXPECT_EQ(CMainWnd::DpiText(200), QStringLiteral("DPI :10000"));
    EXPECT_EQ(CMainWnd::DpiText(201), QStringLiteral("DPI :10100"));
    EXPECT_EQ(CMainWnd::DpiText(280), QStringLiteral("DPI :18000"));
    EXPECT_EQ(CMainWnd::DpiText(1), QStringLiteral("DPI :50"));
    EXPECT_EQ(CMainWnd::DpiText(65535), QStringLiteral("DPI :6543500"));  // any 16-bit value
    EXPECT_FALSE(CMainWnd::DpiText(std::numeric_limits<std::intptr_t>::max()).isEmpty());
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
    EXPECT_FALSE(window->isTimerActive(TimerId::OsdHide));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
}

TEST_F(MainWindow, MessagesThatMeanNothingAreStillTaken) {
    open();
    for (std::uint32_t id : {UM_HOOK_EVENT, HALVERN_WM_USER + 106, HALVERN_WM_USER + 513, HALVERN_WM_USER + 514,
                             HALVERN_WM_USER + 518, HALVERN_WM_USER + 4097})
        EXPECT_TRUE(window->send(id)) << id;
    EXPECT_FALSE(window->send(HALVERN_WM_USER + 2000));
    EXPECT_TRUE(calls.empty());
}

TEST_F(MainWindow, ApplyDebounceTimerTurnsARunOfChangesIntoOneApplyRequest) {
    open();
    for (int i = 0; i < 10; ++i) {
        window->setTimer(TimerId::ApplyDebounce, 500ms);
        clock->advance(40ms);
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(calls.empty());
    clock->advance(460ms);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, std::vector<std::string>{"onApplyRequest"});
    EXPECT_FALSE(window->isTimerActive(TimerId::ApplyDebounce));
    clock->advance(5000ms);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(MainWindow, ScrollTimerShowsTheColumnsEndAndOtherTimersGoToThePage) {
    auto folder = test::SkinFolder::CopyOfRealSkin();
    folder->write("main.xml", R"(<Window size="800,572">
      <Tab name="device_tab_switch"><Vertical/>
        <Vertical virtualwnd="MS_1_Page">
          <Vertical name="ms_1_ver_setting" vscroll="true" height="100"><Control height="1000"/></Vertical>
        </Vertical>
      </Tab></Window>)");
    kit::Skin pageSkin = folder->makeSkin();
    open(true, &pageSkin);
    auto* tab = window->find<kit::TabLayout>(QStringLiteral("device_tab_switch"));
    tab->selectItem(1);
    QCoreApplication::processEvents();

    auto* column = window->find<kit::Container>(QStringLiteral("ms_1_ver_setting"));
    EXPECT_EQ(column->scrollPosition(), 0);
    window->setTimer(TimerId::ScrollSettings, 10ms);
    clock->advance(10ms);
    EXPECT_GT(column->scrollPosition(), 0);
    EXPECT_EQ(column->scrollPosition(), column->scrollMaximum());
    EXPECT_FALSE(window->isTimerActive(TimerId::ScrollSettings));

    window->setTimer(TimerId::ChargingAnimation, 30ms);
    clock->advance(60ms);
    EXPECT_EQ(calls, (std::vector<std::string>{"onTimer 515", "onTimer 515"}));
}

TEST_F(MainWindow, ThePageHearsWhetherTheWindowCanBeSeen) {
    open();
    QTest::mouseClick(window->find<kit::Button>(QStringLiteral("min_btn")), Qt::LeftButton);
    window->send(UM_ACTIVATE);
    window->hide();
    window->hide();
    window->send(UM_TRAY_NOTIFY, 0, 0x0202);
    EXPECT_EQ(calls, (std::vector<std::string>{"not shown", "shown", "not shown", "shown"}));
}

namespace {

// Built as the program builds it at start, deferred children and all, but not shown.
std::unique_ptr<CMainWnd> BuildForStart(kit::Skin& skin, bool withTray) {
    CMainWnd::Options options;
    options.trayAvailable = [withTray] { return withTray; };
    auto w = std::make_unique<CMainWnd>(skin, std::move(options));
    w->setDeferredBuilding(true);
    w->create(kit::WindowKind::Main);
    return w;
}

}  // namespace

TEST_F(MainWindow, AHiddenStartStaysInTheTrayWithItsLayoutCompleteAndItsTrayIcon) {
    std::unique_ptr<CMainWnd> w = BuildForStart(skin, true);
    ASSERT_FALSE(w->layoutComplete());
    ASSERT_EQ(w->trayIcon(), nullptr);

    w->showAtStart(true);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->layoutComplete());
    EXPECT_NE(w->trayIcon(), nullptr);
    EXPECT_FALSE(w->windowIcon().isNull());

    // The tray brings it back whole.
    w->send(UM_TRAY_NOTIFY, 0, kit::kTrayLeftButtonUp);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isMinimized());
}

TEST_F(MainWindow, AHiddenStartWithoutATrayStartsMinimisedSoTheWindowCanBeReached) {
    std::unique_ptr<CMainWnd> w = BuildForStart(skin, false);
    w->showAtStart(true);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->isMinimized());
    EXPECT_TRUE(w->layoutComplete());
}

TEST_F(MainWindow, AnOrdinaryStartShowsTheWindowAndLeavesTheRestToTheFirstPaint) {
    std::unique_ptr<CMainWnd> w = BuildForStart(skin, true);
    w->showAtStart(false);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isMinimized());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->layoutComplete(); }));
    EXPECT_NE(w->trayIcon(), nullptr);
}

namespace {

// The window with a real device link on the virtual receiver: the link's messages and
// timers reach it through the window unchanged, and it stops before the page goes.
class MainWindowWithMouse : public MainWindow {
protected:
    void openWithMouse(const std::string& scenario) {
        world = std::make_unique<emu::VirtualDevices>(*emu::NamedScenario(scenario), mouseClock);
        mouseClock.setSettle([this] { world->settle(); });
        CMainWnd::Options options;
        options.page = &page;
        options.trayAvailable = [] { return true; };
        window = std::make_unique<CMainWnd>(skin, std::move(options));
        auto timerSource = std::make_unique<test::VirtualTimerSource>();
        clock = timerSource.get();
        window->setTimerSource(std::move(timerSource));
        timers = std::make_unique<WindowTimers>(*window);
        DeviceStack::Options o;
        o.virtualDevices = world.get();
        o.loadDriver = false;
        std::string error;
        stack = DeviceStack::Create(o, {*timers, *window->hostWindow(), observer, profiles, links}, error);
        ASSERT_TRUE(stack) << error;
        window->setDeviceLink(&stack->link());
        page.readersAtDestroy = [this] { return stack->link().discovery().readerCount(); };
        ASSERT_FALSE(window->create(kit::WindowKind::Main));
        window->show();
    }

    bool runUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 2000 && !done(); ++i) {
            world->settle();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return done();
    }

    void TearDown() override {
        window.reset();
        stack.reset();
        world.reset();
    }

    emu::SettlingClock mouseClock;
    std::unique_ptr<emu::VirtualDevices> world;
    std::unique_ptr<WindowTimers> timers;
    QuietDeviceObserver observer;
    struct : ProfileHolder {
        std::unique_ptr<MouseProfile> profile = MouseProfile::Create(u"test");
        MouseProfile* currentProfile() override { return profile.get(); }
        void settingReported(SettingId setting, std::int32_t value) override { SetValue(*profile, setting, value); }
        void mouseSaved() override {}
    } profiles;
    LinkState links;
    std::unique_ptr<DeviceStack> stack;
};

TEST_F(MainWindowWithMouse, TheLinksMessagesAndTimersPassThroughTheWindowAsTheyCame) {
    openWithMouse("receiver");
    // The readers post to the window; only the link understands what they say.
    ASSERT_TRUE(runUntil([&] { return links.wirelessLink == 1; }));
    EXPECT_TRUE(window->isTimerActive(TimerId::WirelessTimeout));
    auto* tab = window->find<kit::TabLayout>(QStringLiteral("device_tab_switch"));
    window->send(UM_LINK_CHANGED);
    EXPECT_EQ(tab->currentSelection(), 1);

    // The link's watchdog runs on the window's timer table and stops itself.
    clock->advance(6000ms);
    EXPECT_EQ(links.wirelessLink, 0);
    EXPECT_FALSE(window->isTimerActive(TimerId::WirelessTimeout));
    window->send(UM_LINK_CHANGED);
    EXPECT_EQ(tab->currentSelection(), 0);
    // What neither the window nor the link knows stays unclaimed.
    EXPECT_FALSE(window->send(HALVERN_WM_USER + 2000));
}

TEST_F(MainWindowWithMouse, ReadersStopBeforeThePageIsDestroyed) {
    openWithMouse("receiver");
    ASSERT_TRUE(runUntil([&] { return links.wirelessLink == 1; }));
    ASSERT_GT(stack->link().discovery().readerCount(), 0);
    calls.clear();
    window.reset();
    EXPECT_EQ(calls, std::vector<std::string>{"destroy readers 0"});
}

}  // namespace

// ---- The title bar's menu, languages and looks ----

TEST_F(MainWindow, TheMenuButtonOpensTheMainMenuWithTheLanguagesFound) {
    open();
    QTest::mouseClick(window->find<kit::Button>(QStringLiteral("main_menu_btn")), Qt::LeftButton);
    kit::MenuWindow* menu = window->mainMenu();
    ASSERT_TRUE(menu);
    const QStringList items = menu->describeItems();
    EXPECT_EQ(items.first().section(u'=', 0, 0), QStringLiteral("main_autostart"));
    EXPECT_TRUE(items.contains(QStringLiteral("main_language:en=1"))) << items.join(u' ').toStdString();
    EXPECT_TRUE(items.contains(QStringLiteral("main_language:de=0"))) << items.join(u' ').toStdString();
    EXPECT_EQ(items.count(QStringLiteral("main_language:en=1")), 1);
    EXPECT_TRUE(items.contains(QStringLiteral("main_about")));
    EXPECT_EQ(menu->findItem(QStringLiteral("main_language"), QStringLiteral("de"))->text(), QStringLiteral("Deutsch"));
    menu->close();
}

TEST_F(MainWindow, QuitInTheMainMenuEndsAsTheTrayMenuDoes) {
    open();
    window->send(UM_SHOW_DPI, 0, 16);
    postMenu(QStringLiteral("main_quit"));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->dpiOsd(), nullptr);
}

TEST_F(MainWindow, ALanguageChosenRetextsTheOpenWindowAndIsKept) {
    test::TempDir data;
    dataFolder = data.path();
    open();
    auto* apply = window->find<kit::Button>(QStringLiteral("ms_1_apply_btn"));
    ASSERT_TRUE(apply);
    EXPECT_EQ(apply->shownText(), QStringLiteral("Apply"));
    window->switchLanguage(QStringLiteral("de"));
    EXPECT_EQ(apply->shownText(), QStringLiteral("Übernehmen"));
    EXPECT_EQ(apply->QPushButton::text(), QStringLiteral("Übernehmen"));
    EXPECT_EQ(window->find<kit::Button>(QStringLiteral("main_menu_btn"))->toolTip(), QStringLiteral("Menü"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Halvern Gaming-Maus"));
    EXPECT_EQ(calls, std::vector<std::string>{"languageChanged"});
    EXPECT_EQ(SettingsFile(data.path()).readLanguage(), "de");
    // A language that is not there leaves English, and English is what is kept.
    window->switchLanguage(QStringLiteral("xx"));
    EXPECT_EQ(apply->shownText(), QStringLiteral("Apply"));
    EXPECT_EQ(SettingsFile(data.path()).readLanguage(), "en");
}

TEST_F(MainWindow, TheLookFollowsTheDesktopUntilTheUserPicksOneWhichIsKept) {
    test::TempDir data;
    dataFolder = data.path();
    open();
    ASSERT_EQ(skin.theme(), kit::Skin::Theme::Dark);
    window->desktopPrefersTheme(kit::Skin::Theme::Light);
    EXPECT_EQ(skin.theme(), kit::Skin::Theme::Light);
    EXPECT_EQ(window->styleSheet(), skin.styleSheet());
    EXPECT_EQ(SettingsFile(data.path()).readTheme(), std::nullopt);  // the desktop's choice is not kept

    QTest::mouseClick(window->find<kit::Button>(QStringLiteral("skin_btn")), Qt::LeftButton);
    EXPECT_EQ(skin.theme(), kit::Skin::Theme::Dark);
    EXPECT_FALSE(window->followsDesktopTheme());
    EXPECT_EQ(SettingsFile(data.path()).readTheme(), "dark");
    window->desktopPrefersTheme(kit::Skin::Theme::Light);
    EXPECT_EQ(skin.theme(), kit::Skin::Theme::Dark);

    QTest::mouseClick(window->find<kit::Button>(QStringLiteral("skin_btn")), Qt::LeftButton);
    EXPECT_EQ(skin.theme(), kit::Skin::Theme::Light);
    EXPECT_EQ(SettingsFile(data.path()).readTheme(), "light");
    EXPECT_EQ(window->styleSheet(), skin.styleSheet());
}
