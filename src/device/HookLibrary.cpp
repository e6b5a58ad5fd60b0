#include "device/HookLibrary.h"

namespace halvern {

HookLibrary::~HookLibrary() { free(); }

bool HookLibrary::load(const std::filesystem::path& folder) {
    if (loaded()) return true;
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
    table_ = {};
    library_.close();
}

}  // namespace halvern
