// The built Hook.so, loaded as halvern loads it, watching a private X server while
// xdotool types and clicks.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include "halvern_abi.h"
#include "support/XvfbServer.h"

namespace halvern {
namespace {

using Event = std::pair<std::uintptr_t, std::intptr_t>;
using namespace std::chrono_literals;

// What the library posted to the window, collected from its thread.
class PostedEvents {
public:
    PostedEvents() { window_ = {this, &PostedEvents::Post}; }
    const HalvernHostWindow* window() const { return &window_; }

    // Waits until `count` events arrived (or 5 s passed) and takes them.
    std::vector<Event> take(std::size_t count) {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, 5s, [&] { return events_.size() >= count; });
        return std::exchange(events_, {});
    }

private:
    static void Post(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam) {
        auto* self = static_cast<PostedEvents*>(context);
        std::lock_guard lock(self->mutex_);
        EXPECT_EQ(message, static_cast<uint32_t>(UM_HOOK_EVENT));
        self->events_.emplace_back(wParam, lParam);
        self->arrived_.notify_all();
    }

    HalvernHostWindow window_{};
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Event> events_;
};

class GlobalHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x_.ok()) << "Xvfb did not start: " << x_.err();
        setenv("DISPLAY", x_.display().c_str(), 1);
        setenv("XKB_DEFAULT_LAYOUT", "us", 1);
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("XDG_SESSION_TYPE");
        library_ = dlopen(HALVERN_BIN_DIR "/" HALVERN_HOOK_LIBRARY_NAME, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        install = resolve<HalvernInstallHookFn>("installhook");
        remove = resolve<HalvernRemoveHookFn>("removehook");
        enable = resolve<HalvernEnableHookFn>("enablehook");
        enableMouse = resolve<HalvernEnableMouseHookFn>("enablemousehook");
        ASSERT_TRUE(install && remove && enable && enableMouse);
    }
    void TearDown() override {
        if (remove) remove();
        if (library_) dlclose(library_);
    }

    template <typename Fn>
    Fn resolve(const char* name) {
        return reinterpret_cast<Fn>(dlsym(library_, name));
    }

    test::XvfbServer x_;
    PostedEvents posted_;
    void* library_ = nullptr;
    HalvernInstallHookFn install = nullptr;
    HalvernRemoveHookFn remove = nullptr;
    HalvernEnableHookFn enable = nullptr;
    HalvernEnableMouseHookFn enableMouse = nullptr;
};

TEST_F(GlobalHookTest, TypedKeysArriveAsVirtualKeyPressesAndReleases) {
    ASSERT_EQ(install(posted_.window()), 1);
    enable(1);
    ASSERT_TRUE(x_.xdotool({"key", "a", "space", "Left"}));
    EXPECT_EQ(posted_.take(6), (std::vector<Event>{{0x41, 0}, {0x41, 1}, {0x20, 0}, {0x20, 1}, {0x25, 0}, {0x25, 1}}));
}

TEST_F(GlobalHookTest, MouseButtonsArriveOnlyOnceMouseEventsAreTurnedOn) {
    ASSERT_EQ(install(posted_.window()), 1);
    enable(1);
    ASSERT_TRUE(x_.xdotool({"click", "2"}));
    ASSERT_TRUE(x_.xdotool({"key", "c"}));
    EXPECT_EQ(posted_.take(2), (std::vector<Event>{{0x43, 0}, {0x43, 1}}));

    enableMouse(1);
    ASSERT_TRUE(x_.xdotool({"click", "2", "click", "1", "click", "8"}));
    EXPECT_EQ(posted_.take(6),
              (std::vector<Event>{{0x207, 0}, {0x208, 0}, {0x201, 0}, {0x202, 0}, {0x20B, 2}, {0x20C, 2}}));

    // Every install starts with mouse events off again.
    remove();
    ASSERT_EQ(install(posted_.window()), 1);
    enable(1);
    ASSERT_TRUE(x_.xdotool({"click", "3", "key", "c"}));
    EXPECT_EQ(posted_.take(2), (std::vector<Event>{{0x43, 0}, {0x43, 1}}));
}

TEST_F(GlobalHookTest, NothingArrivesOutsideTheEnabledSpan) {
    ASSERT_EQ(install(posted_.window()), 1);
    ASSERT_TRUE(x_.xdotool({"key", "b"}));  // installed, not enabled
    enable(1);
    ASSERT_TRUE(x_.xdotool({"key", "d"}));
    enable(0);
    ASSERT_TRUE(x_.xdotool({"key", "e"}));
    enable(1);
    ASSERT_TRUE(x_.xdotool({"key", "f"}));
    EXPECT_EQ(posted_.take(4), (std::vector<Event>{{0x44, 0}, {0x44, 1}, {0x46, 0}, {0x46, 1}}));

    remove();
    ASSERT_TRUE(x_.xdotool({"key", "g"}));
    ASSERT_EQ(install(posted_.window()), 1);
    enable(1);
    ASSERT_TRUE(x_.xdotool({"key", "h"}));
    EXPECT_EQ(posted_.take(2), (std::vector<Event>{{0x48, 0}, {0x48, 1}}));
}

TEST_F(GlobalHookTest, AWaylandSessionOrNoDisplayIsReportedAsNotHookable) {
    setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    EXPECT_EQ(install(posted_.window()), 0);
    remove();
    unsetenv("WAYLAND_DISPLAY");
    setenv("DISPLAY", ":4999", 1);
    EXPECT_EQ(install(posted_.window()), 0);
    remove();
}

}  // namespace
}  // namespace halvern
