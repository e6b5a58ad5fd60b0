// A library loaded at run time by its full path, never through the library search
// path, with its symbols kept out of the process's global scope. Entry points are
// looked up by name; a missing one is a null pointer.
#pragma once

#include <filesystem>
#include <string>

namespace halvern {

class RuntimeLibrary {
public:
    RuntimeLibrary() = default;
    ~RuntimeLibrary() { close(); }
    RuntimeLibrary(const RuntimeLibrary&) = delete;
    RuntimeLibrary& operator=(const RuntimeLibrary&) = delete;

    // False with error() set when the file cannot be loaded.
    bool open(const std::filesystem::path& file);
    void close();
    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }

    // The entry point `name` as a function pointer of type Fn, or null.
    template <typename Fn>
    Fn resolve(const char* name) const {
        // POSIX guarantees that the object pointer dlsym hands back converts to a
        // function pointer.
        return reinterpret_cast<Fn>(symbol(name));
    }

private:
    void* symbol(const char* name) const;

    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace halvern
