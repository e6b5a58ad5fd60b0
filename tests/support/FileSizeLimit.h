// Writes that fail part-way, as on a full disk, for tests of what a failed or killed
// save leaves behind. A file size limit stops root too, whom permissions do not.
#pragma once

#include <sys/resource.h>

#include <csignal>

namespace halvern::test {

// Caps the size of files this process may write; past it the kernel ends the process
// with SIGXFSZ, as if it was killed in the middle of a save.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
};

// A full disk for the length of a scope: writes past `bytes` fail with EFBIG and the
// process goes on.
class DiskFullAfter {
public:
    explicit DiskFullAfter(rlim_t bytes) : limit_(bytes) {}

private:
    struct IgnoreSignal {
        IgnoreSignal() : saved(std::signal(SIGXFSZ, SIG_IGN)) {}
        ~IgnoreSignal() { std::signal(SIGXFSZ, saved); }
        void (*saved)(int);
    };
    IgnoreSignal ignore_;  // first in, last out: the signal is back only once the limit is gone
    FileSizeLimit limit_;
};

}  // namespace halvern::test
