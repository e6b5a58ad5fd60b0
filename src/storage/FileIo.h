// File access for the stores and record files. Errors are values: a one-line message
// naming the file and the cause, ready to show or print.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace halvern {

struct FileContents {
    bool exists = false;  // false: the file is not there (nothing to keep)
    std::string error;    // set when the file exists but could not be read
    std::vector<std::byte> data;
    bool truncated = false;  // the file is larger than the caller's limit; data holds the limit

    bool ok() const { return exists && error.empty(); }
};

// Reads a whole file, at most maxBytes of it (a hostile file may be huge). Only a
// regular file is read: a folder, a pipe, a socket or a device is refused at once with
// `error` set, never waited on. Every file read from outside goes through here.
FileContents ReadFileBytes(const std::filesystem::path& path, std::uintmax_t maxBytes);

// Replaces the file `path` names with the concatenated pieces so that the old file stays
// whole until the new one is complete on disk: a temporary file beside it is written,
// flushed and renamed over it, keeping the old file's mode and owner. A symbolic link
// (or a chain of them) is written through: its final target is replaced and the link
// stays; a dangling link creates its target. An existing target that is not a regular
// file (a device, a pipe, a folder) is refused, and so is one this process may not open
// for writing, as a plain write would be. Returns an error message, or nullopt.
std::optional<std::string> WriteFileAtomically(const std::filesystem::path& path,
                                               std::span<const std::span<const std::byte>> pieces);
std::optional<std::string> WriteFileAtomically(const std::filesystem::path& path, std::span<const std::byte> data);

// Removes the temporary files that writes of `path` left behind when the process died
// part-way: exactly the ".NAME.tmp-XXXXXX" regular files beside it, nothing else. Only
// the process that owns the file may call this, since another's write in progress looks
// the same. Returns the paths removed.
std::vector<std::filesystem::path> RemoveTemporaryLeftovers(const std::filesystem::path& path);

// Keeps the current contents of a file that is about to be replaced, as "<name>.bad",
// or "<name>.bad.N" when that exists already; the file itself stays in place, so a
// replacement that fails loses nothing. Returns the copy's path, or nullopt when no copy
// could be made.
std::optional<std::filesystem::path> KeepCopy(const std::filesystem::path& path);

// Creates the folder when no directory of that name exists; failures are left to the
// write that follows, which reports them.
void EnsureDirectory(const std::filesystem::path& dir);

std::string ErrnoText(int error);

// A path as a one-line message shows it: a file name may hold line breaks, terminal
// controls or bytes that are no UTF-8, and those are written as escapes.
std::string PathForMessage(const std::filesystem::path& path);

}  // namespace halvern
