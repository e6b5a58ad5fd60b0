#include "storage/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace halvern {

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { if (fd_ >= 0) ::close(fd_); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { int fd = fd_; fd_ = -1; return fd; }

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

std::string Quote(const std::filesystem::path& p) { return p.string(); }

}  // namespace

std::string ErrnoText(int error) { return std::generic_category().message(error); }

FileContents ReadFileBytes(const std::filesystem::path& path, std::uintmax_t maxBytes) {
    FileContents out;
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        out.exists = errno != ENOENT;
        if (out.exists) out.error = Quote(path) + ": " + ErrnoText(errno);
        return out;
    }
    out.exists = true;
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode)) {
        out.error = Quote(path) + ": is a folder, not a file";
        return out;
    }
    std::byte buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            out.error = Quote(path) + ": " + ErrnoText(errno);
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
    std::filesystem::path dir = path.parent_path();
    if (dir.empty()) dir = ".";
    std::string tmpl = (dir / ("." + path.filename().string() + ".tmp-XXXXXX")).string();
    Fd fd(::mkstemp(tmpl.data()));
    if (fd.get() < 0) return Quote(path) + ": cannot write: " + ErrnoText(errno);
    // mkstemp creates the file private; give it the mode of the file it replaces.
    struct stat old {};
    ::fchmod(fd.get(), ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);

    auto fail = [&](int error) {
        ::unlink(tmpl.c_str());
        return Quote(path) + ": cannot write: " + ErrnoText(error);
    };
    for (std::span<const std::byte> piece : pieces)
        if (!WriteAll(fd.get(), piece)) return fail(errno);
    if (::fsync(fd.get()) != 0) return fail(errno);
    if (::close(fd.release()) != 0) return fail(errno);
    if (::rename(tmpl.c_str(), path.c_str()) != 0) return fail(errno);

    // Make the rename itself durable; a failure here leaves a complete file either way.
    Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0) ::fsync(dirFd.get());
    return std::nullopt;
}

std::optional<std::string> WriteFileAtomically(const std::filesystem::path& path, std::span<const std::byte> data) {
    std::span<const std::byte> pieces[] = {data};
    return WriteFileAtomically(path, pieces);
}

std::optional<std::filesystem::path> MoveAside(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path target = path;
    target += ".bad";
    for (int n = 1; std::filesystem::symlink_status(target, ec).type() != std::filesystem::file_type::not_found; ++n) {
        if (n > 1000) return std::nullopt;
        target = path;
        target += ".bad." + std::to_string(n);
    }
    if (::rename(path.c_str(), target.c_str()) != 0) return std::nullopt;
    return target;
}

void EnsureDirectory(const std::filesystem::path& dir) {
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec)) return;
    std::filesystem::create_directories(dir, ec);
}

}  // namespace halvern
