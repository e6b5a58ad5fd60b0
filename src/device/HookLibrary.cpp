#include "device/HookLibrary.h"

#include <dlfcn.h>

namespace halvern {

namespace {

template <typename Fn>
void Resolve(void* handle, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(::dlsym(handle, name));
}

}  // namespace

HookLibrary::~HookLibrary() { free(); }

bool HookLibrary::load(const std::filesystem::path& folder) {
    if (handle_) return true;
    std::filesystem::path file = folder / HALVERN_HOOK_LIBRARY_NAME;
    handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = ::dlerror();
        error_ = why ? why : ("cannot load " + file.string());
        return false;
    }
    Resolve(handle_, "installmousehook", table_.installmousehook);
    Resolve(handle_, "removemousehook", table_.removemousehook);
    Resolve(handle_, "enablemousehook", table_.enablemousehook);
    Resolve(handle_, "installhook", table_.installhook);
    Resolve(handle_, "removehook", table_.removehook);
    Resolve(handle_, "enablehook", table_.enablehook);
    Resolve(handle_, "mousewheelenable", table_.mousewheelenable);
    return true;
}

void HookLibrary::free() {
    table_ = {};
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

}  // namespace halvern
