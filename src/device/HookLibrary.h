// The global input hook library "Hook.so", loaded by full path from the program's
// folder. Its seven entry points form the HookTable that the main window, the macro
// editor and the shortcut capture dialog share; any of them may be missing.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "device/RuntimeLibrary.h"
#include "halvern_abi.h"

namespace halvern {

struct HookTable {
    HalvernInstallMouseHookFn installmousehook = nullptr;
    HalvernRemoveMouseHookFn removemousehook = nullptr;
    HalvernEnableMouseHookFn enablemousehook = nullptr;
    HalvernInstallHookFn installhook = nullptr;
    HalvernRemoveHookFn removehook = nullptr;
    HalvernEnableHookFn enablehook = nullptr;
    HalvernMouseWheelEnableFn mousewheelenable = nullptr;
};

class HookLibrary {
public:
    HookLibrary() = default;
    ~HookLibrary();  // frees the library (free())
    HookLibrary(const HookLibrary&) = delete;
    HookLibrary& operator=(const HookLibrary&) = delete;

    // Loads `folder`/Hook.so and resolves the table; on failure the table stays empty
    // and error() says why.
    bool load(const std::filesystem::path& folder);
    // Loads it when loaded() or table() is first asked: the library maps the X input
    // libraries, which only the macro editor and the shortcut dialog use. False, and
    // error() says why, when there is no file to load.
    bool loadOnFirstUse(const std::filesystem::path& folder);
    // Empties the table and frees the library (or forgets one waiting to be loaded).
    void free();

    bool loaded() const {
        openPending();
        return library_.loaded();
    }
    // Whether the library is in memory now; never loads it.
    bool opened() const { return library_.loaded(); }
    const HookTable& table() const {
        openPending();
        return table_;
    }
    const std::string& error() const { return error_.empty() ? library_.error() : error_; }

private:
    void openPending() const;
    bool open(const std::filesystem::path& folder) const;

    mutable std::optional<std::filesystem::path> pending_;
    mutable RuntimeLibrary library_;
    mutable HookTable table_;
    std::string error_;
};

}  // namespace halvern
