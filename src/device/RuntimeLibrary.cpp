#include "device/RuntimeLibrary.h"

#include <dlfcn.h>

namespace halvern {

bool RuntimeLibrary::open(const std::filesystem::path& file) {
    if (handle_) return true;
    handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = ::dlerror();
        error_ = why ? why : ("cannot load " + file.string());
        return false;
    }
    error_.clear();
    return true;
}

void RuntimeLibrary::close() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

void* RuntimeLibrary::symbol(const char* name) const { return handle_ ? ::dlsym(handle_, name) : nullptr; }

}  // namespace halvern
