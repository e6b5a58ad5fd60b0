// The global input hook library "Hook.so", loaded by full path from the program's
// folder. Its seven entry points form the HookTable that the main window, the macro
// editor and the shortcut capture dialog share; any of them may be missing.
#pragma once

#include <filesystem>
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
    // Empties the table and frees the library.
    void free();

    bool loaded() const { return library_.loaded(); }
    const HookTable& table() const { return table_; }
    const std::string& error() const { return library_.error(); }

private:
    RuntimeLibrary library_;
    HookTable table_;
};

}  // namespace halvern
