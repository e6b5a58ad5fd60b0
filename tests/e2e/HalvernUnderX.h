// The built halvern on a private X server, with xdotool as the user's hands: real
// pointer, wheel and keyboard input through XTEST, which reaches the program as a
// user's does (focus changes included) where the driver's verbs call controls directly.
// The driver still answers for what the program shows; the stores and the emulator
// log say what it kept and what the mouse received.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "RunningHalvern.h"
#include "support/XvfbServer.h"

namespace halvern::test {

class HalvernUnderX {
public:
    explicit HalvernUnderX(const std::string& links = "receiver") {
        if (!x_.ok()) return;
        std::map<std::string, std::string> env{{"DISPLAY", x_.display()},
                                               {"QT_QPA_PLATFORM", "xcb"},
                                               {"XKB_DEFAULT_LAYOUT", "us"},
                                               {"XDG_SESSION_TYPE", "x11"},
                                               {"WAYLAND_DISPLAY", ""}};
#ifdef HALVERN_LSAN_X11
        env["LSAN_OPTIONS"] = "suppressions=" HALVERN_LSAN_X11;
#endif
        halvern_ = std::make_unique<RunningHalvern>(links, std::filesystem::path(), env);
    }

    // Why the program is not there to be driven, or empty when it is.
    std::string problem() const {
        if (!x_.ok()) return "Xvfb did not start: " + x_.err();
        if (!halvern_->ready()) return "halvern did not start: " + halvern_->err();
        return {};
    }

    RunningHalvern* operator->() { return halvern_.get(); }
    const RunningHalvern* operator->() const { return halvern_.get(); }
    const XvfbServer& x() const { return x_; }

    // The centre of a control on the screen, as xdotool takes it.
    std::pair<std::string, std::string> where(const std::string& control) {
        std::istringstream answer(halvern_->ask("where " + control));
        std::string ok, x, y;
        answer >> ok >> x >> y;
        EXPECT_EQ(ok, "ok") << control;
        return {x, y};
    }

    // The pointer onto the control, a pause for the program to see it arrive, a click.
    bool clickOn(const std::string& control) {
        const auto [x, y] = where(control);
        return x_.xdotool({"mousemove", x, y, "sleep", "0.2", "click", "1", "sleep", "0.3"});
    }

    // Clicks into the text box and types `text` over what it held.
    bool typeInto(const std::string& control, const std::string& text) {
        // The typing in a call of its own: xdotool's "type" takes every word after it.
        const bool typed =
            clickOn(control) && x_.xdotool({"key", "ctrl+a"}) && x_.xdotool({"type", "--delay", "20", text});
        std::this_thread::sleep_for(200ms);
        return typed;
    }

private:
    XvfbServer x_;
    std::unique_ptr<RunningHalvern> halvern_;
};

}  // namespace halvern::test
