#include "storage/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>
#include <system_error>

#include "records/Text.h"

namespace halvern {

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::span<const std::byte> data) {
    const std::byte* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// The kernel's own limit on links followed in one lookup.
constexpr int kMaxLinkHops = 40;

std::filesystem::path FolderOf(const std::filesystem::path& file) {
    std::filesystem::path dir = file.parent_path();
    return dir.empty() ? std::filesystem::path(".") : dir;
}

// The writer's temporary files are this prefix and mkstemp's six letters and digits.
std::string TemporaryPrefix(const std::filesystem::path& file) { return "." + file.filename().string() + ".tmp-"; }

bool IsTemporaryName(std::string_view name, std::string_view prefix) {
    constexpr std::size_t kRandomLetters = 6;
    if (name.size() != prefix.size() + kRandomLetters || !name.starts_with(prefix)) return false;
    name.remove_prefix(prefix.size());
    // ASCII only, whatever the locale says a letter is.
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

struct LinkTarget {
    std::filesystem::path path;  // the first path on the chain that is not a link
    std::string error;           // set when the chain could not be followed
};

// Follows `path` through symbolic links, relative targets taken from the link's folder.
// The result need not exist.
LinkTarget FollowLinks(const std::filesystem::path& path) {
    std::filesystem::path current = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {current, {}};
        char buffer[PATH_MAX];
        ssize_t n = ::readlink(current.c_str(), buffer, sizeof buffer);
        if (n < 0) return {current, PathForMessage(path) + ": " + ErrnoText(errno)};
        if (static_cast<std::size_t>(n) == sizeof buffer)
            return {current, PathForMessage(path) + ": " + ErrnoText(ENAMETOOLONG)};
        std::filesystem::path next(std::string(buffer, static_cast<std::size_t>(n)));
        // Not normalised: ".." after a linked folder must mean what the kernel takes it to.
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return {{}, PathForMessage(path) + ": " + ErrnoText(ELOOP)};
}

// Why the atomic writer must not replace `target` (a path that is no link), as a short
// cause: it exists and is not a regular file, or this process may not write it. Nullopt
// when it may, which includes a target that does not exist yet.
std::optional<std::string> WhyNotReplaceable(const std::filesystem::path& target) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) {
        if (errno == ENOENT) return std::nullopt;
        return ErrnoText(errno);
    }
    if (S_ISDIR(st.st_mode)) return "is a folder";
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    // Opening it asks the kernel, which knows what a check of the mode bits by hand would
    // miss: ACLs, capabilities, read-only mounts, immutable files. Nothing is written.
    Fd fd(::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) return ErrnoText(errno);
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return "not a regular file";
    return std::nullopt;
}

// Root replacing someone else's file hands the new one back to its owner, who could
// otherwise no longer save it. Where even root may not (a squashed network share), the
// file stays root's: the data is written all the same.
void KeepOwner(int fd, const struct stat& old) {
    if (::geteuid() != 0) return;
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) return;
}

// Copies `from` to `to`, which must not exist; a part-written copy is removed. Returns
// 0 or the errno of the step that failed.
int CopyToNewFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0) return errno;
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777));
    if (out.get() < 0) return errno;
    auto fail = [&](int error) {
        ::unlink(to.c_str());
        return error;
    };
    std::byte buffer[65536];
    for (;;) {
        ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(errno);
        if (n == 0) break;
        if (!WriteAll(out.get(), std::span(buffer, static_cast<std::size_t>(n)))) return fail(errno);
    }
    if (::fsync(out.get()) != 0) return fail(errno);
    if (::close(out.release()) != 0) return fail(errno);
    return 0;
}

}  // namespace

std::string ErrnoText(int error) { return std::generic_category().message(error); }

FileContents ReadFileBytes(const std::filesystem::path& path, std::uintmax_t maxBytes) {
    FileContents out;
    // Opened without waiting: opening a pipe for reading would wait for a writer.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        out.exists = errno != ENOENT;
        if (out.exists) out.error = PathForMessage(path) + ": " + ErrnoText(errno);
        return out;
    }
    out.exists = true;
    // Only a regular file is read: a folder reads as nothing, and a pipe or a device
    // may never end.
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        out.error = PathForMessage(path) + ": " + ErrnoText(errno);
        return out;
    }
    if (S_ISDIR(st.st_mode)) {
        out.error = PathForMessage(path) + ": is a folder, not a file";
        return out;
    }
    if (!S_ISREG(st.st_mode)) {
        out.error = PathForMessage(path) + ": not a regular file";
        return out;
    }
    std::byte buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            out.error = PathForMessage(path) + ": " + ErrnoText(errno);
            return out;
        }
        if (n == 0) break;
        std::size_t take = static_cast<std::size_t>(n);
        if (out.data.size() + take > maxBytes) {
            take = static_cast<std::size_t>(maxBytes - out.data.size());
            out.truncated = true;
        }
        out.data.insert(out.data.end(), buffer, buffer + take);
        if (out.truncated) break;
    }
    return out;
}

std::optional<std::string> WriteFileAtomically(const std::filesystem::path& path,
                                               std::span<const std::span<const std::byte>> pieces) {
    LinkTarget target = FollowLinks(path);
    if (!target.error.empty()) return target.error;
    if (auto why = WhyNotReplaceable(target.path)) return PathForMessage(path) + ": cannot write: " + *why;

    std::string tmpl = (FolderOf(target.path) / (TemporaryPrefix(target.path) + "XXXXXX")).string();
    Fd fd(::mkostemp(tmpl.data(), O_CLOEXEC));
    if (fd.get() < 0) return PathForMessage(path) + ": cannot write: " + ErrnoText(errno);
    // mkstemp creates the file private; give it the owner and mode of the file it replaces.
    struct stat old {};
    if (::stat(target.path.c_str(), &old) == 0) {
        KeepOwner(fd.get(), old);
        ::fchmod(fd.get(), old.st_mode & 07777);
    } else {
        ::fchmod(fd.get(), 0644);
    }

    auto fail = [&](int error) {
        ::unlink(tmpl.c_str());
        return PathForMessage(path) + ": cannot write: " + ErrnoText(error);
    };
    for (std::span<const std::byte> piece : pieces)
        if (!WriteAll(fd.get(), piece)) return fail(errno);
    if (::fsync(fd.get()) != 0) return fail(errno);
    if (::close(fd.release()) != 0) return fail(errno);
    if (::rename(tmpl.c_str(), target.path.c_str()) != 0) return fail(errno);

    // Make the rename itself durable; a failure here leaves a complete file either way.
    Fd dirFd(::open(FolderOf(target.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0) ::fsync(dirFd.get());
    return std::nullopt;
}

std::optional<std::string> WriteFileAtomically(const std::filesystem::path& path, std::span<const std::byte> data) {
    std::span<const std::byte> pieces[] = {data};
    return WriteFileAtomically(path, pieces);
}

std::vector<std::filesystem::path> RemoveTemporaryLeftovers(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> removed;
    const std::string prefix = TemporaryPrefix(path);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(FolderOf(path), ec), end; !ec && it != end; it.increment(ec)) {
        if (!IsTemporaryName(it->path().filename().string(), prefix)) continue;
        if (it->symlink_status(ec).type() != std::filesystem::file_type::regular) continue;
        if (std::filesystem::remove(it->path(), ec)) removed.push_back(it->path());
    }
    return removed;
}

std::optional<std::filesystem::path> KeepCopy(const std::filesystem::path& path) {
    for (int n = 0; n <= 1000; ++n) {
        std::filesystem::path copy = path;
        copy += n == 0 ? std::string(".bad") : ".bad." + std::to_string(n);
        // A second name for the same bytes costs no space, which matters when the disk is
        // full; the writer only ever renames over `path`, so the copy stays as it is now.
        if (::linkat(AT_FDCWD, path.c_str(), AT_FDCWD, copy.c_str(), AT_SYMLINK_FOLLOW) == 0) return copy;
        if (errno == EEXIST) continue;
        // No hard links here (another file system, a FAT stick, protected links): copy.
        int error = CopyToNewFile(path, copy);
        if (error == 0) return copy;
        if (error != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

void EnsureDirectory(const std::filesystem::path& dir) {
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec)) return;
    std::filesystem::create_directories(dir, ec);
}

std::string PathForMessage(const std::filesystem::path& path) { return EscapeControls(path.string()); }

}  // namespace halvern
