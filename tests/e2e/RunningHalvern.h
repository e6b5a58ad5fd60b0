// The built halvern on the virtual mouse, driven through its test driver: a fresh data
// folder, the mouse on the given links, and what the mouse received read back from the
// emulator log. One per test; the program is ended through its tray menu when the test
// is done with it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace halvern::test {

using namespace std::chrono_literals;

// One field of a driver answer such as "ok text=Polling rate selected=1 visible=1": a
// field starts at " key=" whose "=" has no backslash before it and runs to the next
// such start; its value comes back unescaped, but for a line break, which stays "\n"
// as the tests spell it.
inline std::optional<std::string> AnswerField(const std::string& answer, const std::string& key) {
    struct Field {
        std::size_t start;  // the space before the key
        std::size_t value;
        std::string key;
    };
    std::vector<Field> fields;
    for (std::size_t i = 0; i < answer.size(); ++i) {
        if (answer[i] == '\\') {
            ++i;
            continue;
        }
        if (answer[i] != '=') continue;
        std::size_t k = i;
        while (k > 0 && answer[k - 1] != ' ') --k;
        if (k > 0 && k < i) fields.push_back({k - 1, i + 1, answer.substr(k, i - k)});
    }
    for (std::size_t f = 0; f < fields.size(); ++f) {
        if (fields[f].key != key) continue;
        const std::size_t end = f + 1 < fields.size() ? fields[f + 1].start : answer.size();
        std::string value;
        for (std::size_t i = fields[f].value; i < end; ++i) {
            if (answer[i] == '\\' && i + 1 < end && answer[i + 1] != 'n') ++i;
            value += answer[i];
        }
        return value;
    }
    return std::nullopt;
}

// The lines of a program's output, empty ones left out.
inline std::vector<std::string> NonEmptyLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// Polls `done` every 20 ms; false when it did not hold within `timeout`.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class RunningHalvern {
public:
    // links: the HALVERN_EMULATOR list, e.g. "receiver" or "receiver,cable".
    // dataFolder: where the program keeps its stores, to start it again on what an
    // earlier run left; empty: a fresh folder of its own. extraEnv adds to or replaces
    // the environment below (a display of its own, say).
    explicit RunningHalvern(const std::string& links, std::filesystem::path dataFolder = {},
                            const std::map<std::string, std::string>& extraEnv = {})
        : data_(dataFolder.empty() ? dir_.path() / "data" : std::move(dataFolder)),
          process_(HALVERN_PATH, {}, Environment(links, extraEnv)) {
        // A start under AddressSanitizer on a loaded two-core machine has taken over 20 s.
        ready_ = process_.started() && process_.readLine(std::chrono::seconds(60)) == "ready";
    }

    ~RunningHalvern() {
        if (!ready_) return;
        EXPECT_EQ(quit(), 0) << process_.err();
    }

    RunningHalvern(const RunningHalvern&) = delete;
    RunningHalvern& operator=(const RunningHalvern&) = delete;

    bool ready() const { return ready_; }
    const std::string& err() const { return process_.err(); }
    const std::filesystem::path& dataFolder() const { return data_; }

    // Ends the program as a user does, from its tray menu; its exit status. The data
    // folder stays for the test to read.
    std::optional<int> quit() {
        ready_ = false;
        ask("tray right");
        ask("menu exit");
        return process_.waitExit();
    }

    // Ends the program as the session does (SIGTERM at logout); its exit status.
    std::optional<int> terminate() {
        ready_ = false;
        process_.signal(SIGTERM);
        return process_.waitExit();
    }

    // One driver command and its one-line answer.
    std::string ask(const std::string& command) {
        process_.writeLine(command);
        return process_.readLine().value_or("<no answer to " + command + ">");
    }

    // A field of the control's state ("visible", "text", "value", "selected", ...).
    std::string field(const std::string& control, const std::string& key) {
        const std::string answer = ask("get " + control);
        return AnswerField(answer, key).value_or("<" + answer + ">");
    }

    // Whether the control's field reaches `want` within `timeout`: the page acts on the
    // mouse's events when they come through the event loop, not before the next answer.
    bool fieldBecomes(const std::string& control, const std::string& key, const std::string& want,
                      std::chrono::milliseconds timeout = 10s) {
        return WaitFor([&] { return field(control, key) == want; }, timeout);
    }

    // Every buffer the virtual mouse received so far, in order.
    std::vector<std::string> received() const {
        std::vector<std::string> lines;
        std::ifstream in(dir_.path() / "received");
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    std::vector<std::string> receivedSince(std::size_t count) const {
        std::vector<std::string> lines = received();
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(count, lines.size())));
        return lines;
    }

    // (done, busy) from the driver's "applies".
    std::pair<int, bool> applies() {
        const std::string answer = ask("applies");
        const std::optional<std::string> done = AnswerField(answer, "done");
        const std::optional<std::string> busy = AnswerField(answer, "busy");
        if (!done || !busy) return {-1, false};
        return {std::stoi(*done), *busy == "1"};
    }

    // Until more applies than `before` are done and none is running. An apply with four
    // macro blocks on the receiver takes 16 s of the protocol's own pauses.
    bool waitForAppliesAfter(int before, std::chrono::milliseconds timeout = 60s) {
        return WaitFor(
            [&] {
                const auto [done, busy] = applies();
                return done > before && !busy;
            },
            timeout);
    }

    // Clicks an apply button of the page and waits until that apply is done.
    bool apply(const std::string& button = "ms_1_apply_btn") {
        const int before = applies().first;
        return ask("click " + button) == "ok" && waitForAppliesAfter(before);
    }

private:
    std::map<std::string, std::string> Environment(const std::string& links,
                                                   const std::map<std::string, std::string>& extraEnv) const {
        std::map<std::string, std::string> env = {{"HALVERN_EMULATOR", links},
                                                  {"HALVERN_EMULATOR_LOG", (dir_.path() / "received").string()},
                                                  {"HALVERN_TEST_DRIVER", "1"},
                                                  {"HALVERN_DATA_DIR", dataFolder().string()},
                                                  {"XDG_RUNTIME_DIR", dir_.path().string()},
                                                  {"QT_QPA_PLATFORM", "offscreen"},
                                                  // English whatever the machine's locale, and
                                                  // the autostart entry kept out of the
                                                  // user's own configuration.
                                                  {"LANGUAGE", ""},
                                                  {"LC_ALL", ""},
                                                  {"LC_MESSAGES", ""},
                                                  {"LANG", "C.UTF-8"},
                                                  {"XDG_CONFIG_HOME", (dir_.path() / "config").string()}};
        // Without a session bus of the caller's (scripts/desktop-test brings one), libdbus
        // would autolaunch one through the X display under Xvfb and the accessibility
        // bridge would have it start at-spi's launcher: daemons outside the test that its
        // start would wait on (a start under AddressSanitizer once never got ready). An
        // address that leads nowhere fails at once instead.
        if (!std::getenv("DBUS_SESSION_BUS_ADDRESS"))
            env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + (dir_.path() / "no-session-bus").string();
        for (const auto& [key, value] : extraEnv) env[key] = value;
        return env;
    }

    TempDir dir_;
    std::filesystem::path data_;
    BackgroundProcess process_;
    bool ready_ = false;
};

// Byte `index` of a logged buffer (two hex digits each); -1 past its end.
inline int ByteAt(const std::string& hexLine, std::size_t index) {
    if (hexLine.size() < 2 * index + 2) return -1;
    return std::stoi(hexLine.substr(2 * index, 2), nullptr, 16);
}

}  // namespace halvern::test
