#include "device/HookLibrary.h"

#include <system_error>

namespace halvern {

HookLibrary::~HookLibrary() { free(); }

bool HookLibrary::load(const std::filesystem::path& folder) {
    pending_.reset();
    error_.clear();
    return open(folder);
}

bool HookLibrary::loadOnFirstUse(const std::filesystem::path& folder) {
    if (library_.loaded()) return true;
    const std::filesystem::path file = folder / HALVERN_HOOK_LIBRARY_NAME;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        error_ = file.string() + ": no such file";
        pending_.reset();
        return false;
    }
    error_.clear();
    pending_ = folder;
    return true;
}

void HookLibrary::openPending() const {
    if (!pending_) return;
    const std::filesystem::path folder = std::move(*pending_);
    pending_.reset();
    open(folder);
}

bool HookLibrary::open(const std::filesystem::path& folder) const {
    if (library_.loaded()) return true;
    if (!library_.open(folder / HALVERN_HOOK_LIBRARY_NAME)) return false;
    table_.installmousehook = library_.resolve<HalvernInstallMouseHookFn>("installmousehook");
    table_.removemousehook = library_.resolve<HalvernRemoveMouseHookFn>("removemousehook");
    table_.enablemousehook = library_.resolve<HalvernEnableMouseHookFn>("enablemousehook");
    table_.installhook = library_.resolve<HalvernInstallHookFn>("installhook");
    table_.removehook = library_.resolve<HalvernRemoveHookFn>("removehook");
    table_.enablehook = library_.resolve<HalvernEnableHookFn>("enablehook");
    table_.mousewheelenable = library_.resolve<HalvernMouseWheelEnableFn>("mousewheelenable");
    return true;
}

void HookLibrary::free() {
    pending_.reset();
    table_ = {};
    library_.close();
}

}  // namespace halvern
