// Runs a built binary and collects its exit code and both output streams, for tests of
// the real executables.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace halvern::test {

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// The argument and environment arrays posix_spawn takes. extraEnv entries are added to
// (or replace those of) this process's environment.
class SpawnStrings {
public:
    SpawnStrings(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& extraEnv) {
        for (char** e = environ; *e; ++e) {
            std::string s = *e;
            if (!extraEnv.count(s.substr(0, s.find('=')))) env_.push_back(s);
        }
        for (const auto& [k, v] : extraEnv) env_.push_back(k + "=" + v);
        args_.push_back(program);
        args_.insert(args_.end(), args.begin(), args.end());
    }
    std::vector<char*> argv() { return Pointers(args_); }
    std::vector<char*> envp() { return Pointers(env_); }

private:
    static std::vector<char*> Pointers(std::vector<std::string>& strings) {
        std::vector<char*> out;
        for (auto& s : strings) out.push_back(s.data());
        out.push_back(nullptr);
        return out;
    }
    std::vector<std::string> args_, env_;
};

inline ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                                const std::map<std::string, std::string>& extraEnv = {}) {
    SpawnStrings spawn(program, args, extraEnv);
    auto argv = spawn.argv();
    auto envp = spawn.envp();

    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    ProcessResult result;
    if (rc != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return result;
    }
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buf[4096];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace halvern::test

#include <signal.h>
#include <time.h>

#include <chrono>
#include <optional>

namespace halvern::test {

// A binary running beside the test: lines can be written to its standard input, and its
// output is read as it comes, so a test waits for what the program says instead of
// sleeping. The process is killed if the test ends before it does.
class BackgroundProcess {
public:
    BackgroundProcess(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& extraEnv = {}) {
        SpawnStrings spawn(program, args, extraEnv);
        auto argv = spawn.argv();
        auto envp = spawn.envp();

        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        close(err[1]);
        stdin_ = in[1];
        stdout_ = out[0];
        stderr_ = err[0];
    }
    ~BackgroundProcess() {
        if (pid_ > 0 && !exitCode_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {stdin_, stdout_, stderr_})
            if (fd >= 0) close(fd);
    }
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool started() const { return pid_ > 0; }
    void signal(int sig) {
        if (pid_ > 0 && !exitCode_) kill(pid_, sig);
    }

    void writeLine(const std::string& line) {
        std::string s = line + "\n";
        [[maybe_unused]] ssize_t n = write(stdin_, s.data(), s.size());
    }

    // The next whole line of standard output, or nullopt when none came in time or the
    // output ended.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (auto nl = out_.find('\n'); nl != std::string::npos) {
                std::string line = out_.substr(0, nl);
                out_.erase(0, nl + 1);
                return line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !pump(static_cast<int>(left.count()))) return std::nullopt;
        }
    }

    // Closes standard input and waits for the exit code; nullopt when it did not end.
    std::optional<int> waitExit(std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!exitCode_) {
            int status = 0;
            pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
            pump(20);
        }
        while (pump(0)) {}
        return exitCode_;
    }

    const std::string& err() const { return err_; }

private:
    // Reads what is there (waiting up to `ms`); false once both streams ended.
    bool pump(int ms) {
        pollfd fds[2] = {{stdout_, POLLIN, 0}, {stderr_, POLLIN, 0}};
        if (stdout_ < 0 && stderr_ < 0) return false;
        if (poll(fds, 2, ms) <= 0) return stdout_ >= 0 || stderr_ >= 0;
        int* fdsRef[2] = {&stdout_, &stderr_};
        std::string* sinks[2] = {&out_, &err_};
        bool any = false;
        for (int i = 0; i < 2; ++i) {
            if (*fdsRef[i] < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buf[4096];
            ssize_t n = read(*fdsRef[i], buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
                any = true;
            } else {
                close(*fdsRef[i]);
                *fdsRef[i] = -1;
            }
        }
        return any || stdout_ >= 0 || stderr_ >= 0;
    }

    pid_t pid_ = -1;
    int stdin_ = -1, stdout_ = -1, stderr_ = -1;
    std::string out_, err_;
    std::optional<int> exitCode_;
};

}  // namespace halvern::test
