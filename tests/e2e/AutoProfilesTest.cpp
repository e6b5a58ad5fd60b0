// The built program following the window in front on a private X server with a real
// window manager (openbox sets _NET_ACTIVE_WINDOW as xdotool activates windows): rules
// written by halvernctl, two applications brought to the front in turn, and the virtual
// mouse's log compared with what halvernctl says an apply of the difference writes.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "RunningHalvern.h"
#include "platform/DataPaths.h"
#include "storage/ProfileStore.h"
#include "storage/RecordFiles.h"
#include "support/RunProcess.h"
#include "support/XvfbServer.h"

namespace halvern::test {
namespace {

namespace fs = std::filesystem;

class FollowingTheFront : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x.ok()) << x.err();
        // Three profiles that differ in their first DPI level only, each also as a file
        // for halvernctl to compare.
        ProfileStore store(ModelFolder(data.path()));
        const char16_t* names[] = {u"Desktop", u"Shooter", u"Browsing"};
        for (int i = 0; i < 3; ++i) {
            auto p = MouseProfile::Create(names[i]);
            p->dpiValue[0] = static_cast<std::uint8_t>(8 << i);
            ASSERT_FALSE(ExportProfile(*p, files / ("p" + std::to_string(i) + ".pro")));
            store.append(std::move(p));
        }
        ASSERT_FALSE(store.save());
        ctl({"rules", "add", "shooter", "Shooter"});
        ctl({"rules", "add", "browser", "browsing"});
    }

    void ctl(const std::vector<std::string>& args) {
        ProcessResult r = RunProcess(HALVERNCTL_PATH, args, {{"HALVERN_DATA_DIR", data.path().string()}});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    // What halvernctl says the mouse gets when it holds profile `from` and `to` is applied.
    std::vector<std::string> diff(int from, int to) {
        ProcessResult r = RunProcess(
            HALVERNCTL_PATH, {"reports", (files / ("p" + std::to_string(to) + ".pro")).string(), "--transport",
                              "receiver", "--against", (files / ("p" + std::to_string(from) + ".pro")).string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return NonEmptyLines(r.out);
    }
    // An xmessage window of that WM_CLASS instance, mapped; its window id.
    std::string window(const std::string& name) {
        windows.push_back(
            std::make_unique<BackgroundProcess>("/usr/bin/xmessage", std::vector<std::string>{"-name", name, name},
                                                std::map<std::string, std::string>{{"DISPLAY", x.display()}}));
        ProcessResult found = x.runXdotool({"search", "--sync", "--onlyvisible", "--classname", name}, 10);
        EXPECT_EQ(found.exitCode, 0) << found.err;
        const std::vector<std::string> ids = NonEmptyLines(found.out);
        return ids.empty() ? std::string() : ids.front();
    }
    bool activate(const std::string& id) { return x.xdotool({"windowactivate", "--sync", id}, 10); }
    // An activation asked for before the window manager took the screen goes unseen.
    bool windowManagerUp() {
        for (int i = 0; i < 100; ++i) {
            const ProcessResult r =
                RunProcess("/usr/bin/xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}, {{"DISPLAY", x.display()}});
            if (r.out.find("window id") != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    XvfbServer x;
    TempDir data, files;
    std::vector<std::unique_ptr<BackgroundProcess>> windows;
};

TEST_F(FollowingTheFront, EachSwitchSendsTheDifferenceAndTheSameApplicationAgainNothing) {
    BackgroundProcess wm("/usr/bin/openbox", {"--sm-disable"}, {{"DISPLAY", x.display()}});
    ASSERT_TRUE(wm.started());
    ASSERT_TRUE(windowManagerUp()) << "openbox did not take the screen";
    const std::string shooter = window("shooter");
    const std::string browser = window("browser");
    const std::string other = window("other");
    ASSERT_FALSE(shooter.empty() || browser.empty() || other.empty());
    ASSERT_TRUE(activate(other));

    RunningHalvern halvern("receiver", data.path(),
                           {{"DISPLAY", x.display()},
                            {"XDG_SESSION_TYPE", "x11"},
                            {"WAYLAND_DISPLAY", ""},
                            {"HALVERN_FOCUS_SOURCE", "x11"}});
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    // The mouse's state is known once the first (full) apply went through.
    ASSERT_TRUE(halvern.apply());
    std::size_t seen = halvern.received().size();

    const auto bringToFront = [&](const std::string& id, const std::string& row) {
        const int before = halvern.applies().first;
        ASSERT_TRUE(activate(id));
        ASSERT_TRUE(halvern.fieldBecomes("ms_1_list_profile", "value", row)) << halvern.err();
        ASSERT_TRUE(halvern.waitForAppliesAfter(before));
    };
    bringToFront(shooter, "1");
    EXPECT_EQ(halvern.receivedSince(seen), diff(0, 1)) << "the DPI report alone";
    seen = halvern.received().size();

    // A window without a rule (and no fallback), then the same application again.
    ASSERT_TRUE(activate(other));
    ASSERT_TRUE(activate(shooter));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(halvern.field("ms_1_list_profile", "value"), "1");
    EXPECT_EQ(halvern.receivedSince(seen), std::vector<std::string>{});

    bringToFront(browser, "2");
    EXPECT_EQ(halvern.receivedSince(seen), diff(1, 2));
}

}  // namespace
}  // namespace halvern::test
