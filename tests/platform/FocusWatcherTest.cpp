// The window in front, as each desktop tells it. On X11 against a real X server: the
// test writes _NET_ACTIVE_WINDOW on the root window as a window manager does, and the
// watcher reports what changed, and nothing else. The KWin and wlroots sources need
// their compositor running as this user; where none is, those tests say so and skip.
#include "platform/FocusWatcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/KWinFocusWatcher.h"
#include "platform/WlrFocusWatcher.h"
#include "platform/XcbFocusWatcher.h"
#include "support/PrivateBus.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"
#include "support/XvfbServer.h"
#include "support/X11WindowManager.h"

namespace halvern {
namespace {

using Names = std::vector<std::string>;

TEST(FocusSource, OneSourcePerDesktop) {
    struct Case {
        DesktopSession session;
        FocusSource expected;
    };
    const Case cases[] = {
        {{"x11", "XFCE", true, false, ""}, FocusSource::X11},
        {{"x11", "KDE", true, false, ""}, FocusSource::X11},
        {{"", "", true, false, ""}, FocusSource::X11},
        {{"", "", false, false, ""}, FocusSource::None},
        {{"wayland", "KDE", true, true, ""}, FocusSource::KWin},
        {{"wayland", "ubuntu:GNOME", true, true, ""}, FocusSource::Xwayland},
        {{"wayland", "GNOME", false, true, ""}, FocusSource::None},
        {{"wayland", "sway", true, true, ""}, FocusSource::Wlroots},
        {{"wayland", "Hyprland", false, true, ""}, FocusSource::Wlroots},
        {{"", "", true, true, ""}, FocusSource::Wlroots},
        {{"wayland", "", false, false, ""}, FocusSource::None},
        {{"wayland", "KDE", true, true, "x11"}, FocusSource::X11},
        {{"x11", "", true, false, "none"}, FocusSource::None},
        {{"x11", "", true, false, "nonsense"}, FocusSource::X11},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseFocusSource(c.session), c.expected)
            << c.session.sessionType << " " << c.session.currentDesktop << " forced " << c.session.forced;
}

TEST(FocusSource, WmClassGivesInstanceThenClassEachOnce) {
    using std::string_literals::operator""s;
    struct Case {
        std::string wmClass;
        Names names;
    };
    const Case cases[] = {
        {"xterm\0XTerm\0"s, {"xterm"}},
        {"Navigator\0firefox\0"s, {"Navigator", "firefox"}},
        {"steam_app_730\0steam_app_730\0"s, {"steam_app_730"}},
        {"game.exe\0"s, {"game.exe"}},
        {"\0Class\0"s, {"Class"}},
        {"caf\xe9\0Caf\xc3\xa9s\0"s, {"caf\xc3\xa9", "Caf\xc3\xa9s"}},  // Latin-1, then UTF-8
        {"bad\x01name\0ok\0"s, {"ok"}},
        {""s, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(XcbFocusWatcher::NamesOfClass(c.wmClass), c.names) << c.wmClass;
}

class QtLoop {
public:
    QtLoop() {
        if (!QCoreApplication::instance()) app_ = std::make_unique<QCoreApplication>(argc_, argv_);
    }
    // Runs the loop until `done` holds, at most `ms` milliseconds.
    template <typename Done>
    static bool runUntil(Done done, int ms = 5000) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }
    static void runFor(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

private:
    int argc_ = 1;
    char arg0_[8] = "test";
    char* argv_[2] = {arg0_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

TEST(X11FocusWatcher, ReportsEachChangeOfTheWindowInFrontAndNothingElse) {
    QtLoop loop;
    test::XvfbServer x;
    ASSERT_TRUE(x.ok()) << x.err();
    test::X11WindowManager wm(x.display());
    using std::string_literals::operator""s;
    const std::uint32_t shooter = wm.window("shooter\0Xmessage\0"s);
    const std::uint32_t shooterTwo = wm.window("shooter\0Xmessage\0"s);
    const std::uint32_t browser = wm.window("Navigator\0firefox\0"s);
    wm.activate(shooter);

    XcbFocusWatcher watcher(FocusSource::X11, x.display());
    std::vector<Names> heard;
    ASSERT_TRUE(watcher.start([&](const FocusedWindow& w) { heard.push_back(w.names); }));
    ASSERT_TRUE(QtLoop::runUntil([&] { return heard.size() == 1; })) << "the window in front at start";
    EXPECT_EQ(heard[0], (Names{"shooter", "Xmessage"}));

    // The same window again, another window of the same application, another property
    // of the root: nothing to report.
    wm.activate(shooter);
    wm.activate(shooterTwo);
    wm.touchOtherProperty();
    QtLoop::runFor(300);
    EXPECT_EQ(heard.size(), 1u);

    wm.activate(browser);
    ASSERT_TRUE(QtLoop::runUntil([&] { return heard.size() == 2; }));
    EXPECT_EQ(heard[1], (Names{"Navigator", "firefox"}));
    EXPECT_EQ(watcher.focused().names, heard[1]);
    wm.activate(XCB_WINDOW_NONE);
    ASSERT_TRUE(QtLoop::runUntil([&] { return heard.size() == 3; }));
    EXPECT_EQ(heard[2], Names{}) << "no window in front";

    EXPECT_EQ(watcher.applications(), (Names{"shooter", "Xmessage", "Navigator", "firefox"}));
}

TEST(X11FocusWatcher, NoDisplayIsAnErrorNotACrash) {
    QtLoop loop;
    XcbFocusWatcher watcher(FocusSource::X11, ":999");
    EXPECT_FALSE(watcher.start([](const FocusedWindow&) {}));
    EXPECT_FALSE(watcher.error().isEmpty());
    EXPECT_TRUE(watcher.applications().empty());
}

TEST(X11FocusWatcher, AServerThatGoesAwayEndsTheWatchQuietly) {
    QtLoop loop;
    auto x = std::make_unique<test::XvfbServer>();
    ASSERT_TRUE(x->ok());
    XcbFocusWatcher watcher(FocusSource::X11, x->display());
    int heard = 0;
    ASSERT_TRUE(watcher.start([&](const FocusedWindow&) { ++heard; }));
    QtLoop::runFor(100);
    x.reset();
    // A closed connection stays readable: the watcher must stop listening rather than
    // spin. The loop keeps running normally afterwards.
    QtLoop::runFor(300);
    EXPECT_EQ(heard, 0);
}

// KDE's compositor where it is installed: KWin runs the watcher's script and the script
// calls back. Debian's kwin_wayland carries file capabilities that this sandbox refuses,
// so it runs from a copy.
TEST(KWinFocusWatcher, KWinRunsTheScriptAndReportsTheActiveWindow) {
    if (!std::filesystem::exists("/usr/bin/kwin_wayland"))
        GTEST_SKIP() << "kwin_wayland is not installed: the KWin source is not tested here";
    QtLoop loop;
    test::PrivateBus bus;
    ASSERT_TRUE(bus.up());
    test::TempDir runtime;
    std::filesystem::permissions(runtime.path(), std::filesystem::perms::owner_all);
    // A copy without the file capabilities this sandbox refuses to exec.
    const std::filesystem::path kwin = runtime.path() / "kwin_wayland";
    std::filesystem::copy_file("/usr/bin/kwin_wayland", kwin);
    const std::map<std::string, std::string> env{{"XDG_RUNTIME_DIR", runtime.path().string()},
                                                 {"DBUS_SESSION_BUS_ADDRESS", bus.address().toStdString()},
                                                 {"QT_QPA_PLATFORM", "offscreen"},
                                                 {"DISPLAY", ""}};
    test::BackgroundProcess compositor(
        kwin.string(),
        {"--virtual", "--xwayland", "--no-lockscreen", "--width", "800", "--height", "600", "--socket", "halvern-kwin"},
        env);
    QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), u"kwin-test"_qs);
    ASSERT_TRUE(QtLoop::runUntil(
        [&] { return connection.interface()->isServiceRegistered(u"org.kde.KWin"_qs).value(); }, 20000))
        << compositor.err();
    KWinFocusWatcher watcher(connection);
    std::vector<Names> heard;
    ASSERT_TRUE(watcher.start([&](const FocusedWindow& w) { heard.push_back(w.names); }))
        << watcher.error().toStdString();
    // X11 windows through KWin's Xwayland: a new window is activated as it maps.
    const std::string display = ":" + std::to_string(0);  // KWin's Xwayland takes the first free display
    (void)display;
    test::BackgroundProcess one("/usr/bin/xmessage", {"-name", "shooter", "one"},
                                {{"WAYLAND_DISPLAY", "halvern-kwin"}, {"XDG_RUNTIME_DIR", runtime.path().string()}});
    ASSERT_TRUE(QtLoop::runUntil([&] { return !heard.empty() && heard.back().front() == "shooter"; }, 20000));
    test::BackgroundProcess two("/usr/bin/xmessage", {"-name", "browser", "two"},
                                {{"WAYLAND_DISPLAY", "halvern-kwin"}, {"XDG_RUNTIME_DIR", runtime.path().string()}});
    ASSERT_TRUE(QtLoop::runUntil([&] { return heard.back().front() == "browser"; }, 20000));
}

TEST(KWinFocusWatcher, TheScriptCallsBackOnTheWatchersObject) {
    const QString script = KWinFocusWatcher::Script(u":1.42"_qs);
    EXPECT_TRUE(script.contains(u"var service = \":1.42\";"_qs));
    EXPECT_TRUE(script.contains(QString::fromLatin1(KWinFocusWatcher::kObjectPath)));
    for (const char* signal : {"windowActivated", "clientActivated", "windowAdded", "clientRemoved"})
        EXPECT_TRUE(script.contains(QString::fromLatin1(signal))) << signal;
}

// A wlroots compositor run by this user: sway, headless, with two windows of their own
// app ids; the watcher sees which one is activated.
TEST(WlrFocusWatcher, TheActivatedToplevelIsInFront) {
    if (geteuid() == 0) GTEST_SKIP() << "sway refuses to run as root: the wlroots source is not tested here";
    if (!std::filesystem::exists("/usr/bin/sway") || !std::filesystem::exists("/usr/bin/foot"))
        GTEST_SKIP() << "sway or foot is not installed: the wlroots source is not tested here";
    QtLoop loop;
    test::TempDir runtime;
    std::filesystem::permissions(runtime.path(), std::filesystem::perms::owner_all);
    std::ofstream(runtime.path() / "config") << "output HEADLESS-1 resolution 800x600\n";
    const std::map<std::string, std::string> env{{"XDG_RUNTIME_DIR", runtime.path().string()},
                                                 {"WLR_BACKENDS", "headless"},
                                                 {"WLR_LIBINPUT_NO_DEVICES", "1"},
                                                 {"WAYLAND_DISPLAY", "halvern-test"},
                                                 {"SWAYSOCK", (runtime.path() / "sway.sock").string()}};
    test::BackgroundProcess sway("/usr/bin/sway", {"-c", (runtime.path() / "config").string()}, env);
    const std::filesystem::path socket = runtime.path() / "wayland-1";
    ASSERT_TRUE(QtLoop::runUntil([&] { return std::filesystem::exists(socket); }, 10000)) << sway.err();
    test::BackgroundProcess one("/usr/bin/foot", {"--app-id=shooter"},
                                {{"XDG_RUNTIME_DIR", runtime.path().string()}, {"WAYLAND_DISPLAY", socket.string()}});
    WlrFocusWatcher watcher(socket.string());
    std::vector<Names> heard;
    ASSERT_TRUE(watcher.start([&](const FocusedWindow& w) { heard.push_back(w.names); }))
        << watcher.error().toStdString();
    ASSERT_TRUE(QtLoop::runUntil([&] { return !heard.empty() && heard.back() == Names{"shooter"}; }, 10000));
    test::BackgroundProcess two("/usr/bin/foot", {"--app-id=browser"},
                                {{"XDG_RUNTIME_DIR", runtime.path().string()}, {"WAYLAND_DISPLAY", socket.string()}});
    ASSERT_TRUE(QtLoop::runUntil([&] { return heard.back() == Names{"browser"}; }, 10000));
    const test::ProcessResult focus = test::RunProcess("/usr/bin/swaymsg", {"[app_id=shooter] focus"},
                                                       {{"SWAYSOCK", (runtime.path() / "sway.sock").string()}});
    EXPECT_EQ(focus.exitCode, 0) << focus.err;
    ASSERT_TRUE(QtLoop::runUntil([&] { return heard.back() == Names{"shooter"}; }, 10000));
    EXPECT_EQ(watcher.applications().size(), 2u);
}

}  // namespace
}  // namespace halvern
