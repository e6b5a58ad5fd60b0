// halvern's start, memory and idle cost against the Qt floor, on a virtual X display:
// starts Xvfb once, then N times in turn the floor program (gui_floor, one plain
// window) and halvern (on the virtual receiver, a fresh data folder each start; the
// runtime folder, as on a desktop, on a tmpfs when /dev/shm is one), and
// prints the medians of
// - exec to the first mapped main window: the clock is read just before the program is
//   spawned and again when the X server's MapNotify for a top-level window whose
//   _NET_WM_PID is the child reaches this process, which watches the root window's
//   substructure. There is no window manager on the display, so the map is the
//   program's own and not a reparented frame; the error is the wake-up latency of this
//   process, well under a millisecond on an idle machine;
// - peak RSS: VmHWM of /proc/PID/status once the window is up and has settled;
// - for halvern, idle CPU (% of one core) and wake-ups per second over a window of
//   time, shown and then hidden in the tray (the test driver's `assume-tray` and a
//   click on the close button). CPU time is the per-thread run time in nanoseconds from
//   /proc/PID/task/*/schedstat (clock ticks of /proc/PID/stat when the kernel has no
//   schedstat); wake-ups are the per-thread voluntary and involuntary context switches.
//   Every thread counts, not only the main one.
// Both programs find a session bus of the bench's own, as every desktop session has one:
// without a bus, a program that asks for it (the accessibility bridge does) has libdbus
// run dbus-launch at every start, a cost no desktop start pays.
// Not a test: run it by hand, `build/bench/gui_bench --help`.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

struct Options {
    int runs = 10;
    int warmups = 1;
    double idleSeconds = 30;
    int settleMs = 1000;
    bool verbose = false;
    bool charging = false;
    fs::path halvern;
    fs::path floor;
    fs::path compare;  // a second build of halvern, started after each start of the first
};

void Usage() {
    std::fputs(
        "usage: gui_bench [--runs N] [--idle SECONDS] [--settle MS] [--warmup N] [--charging] [--verbose]\n"
        "                 [--halvern PATH] [--floor PATH] [--compare PATH]\n"
        "  --runs N        starts of each program, interleaved (default 10)\n"
        "  --idle SECONDS  length of each idle window, shown and hidden (default 30; 0 skips them)\n"
        "  --settle MS     wait after the window maps before peak RSS and idle are read (default 1000)\n"
        "  --warmup N      uncounted starts of each program first, for the disk cache (default 1)\n"
        "  --charging      the virtual mouse charges while halvern idles, so the battery animation runs\n"
        "  --verbose       per-run figures and halvern's wake-ups by thread\n"
        "  --halvern PATH  default: ../bin/halvern beside this program\n"
        "  --floor PATH    default: gui_floor beside this program\n"
        "  --compare PATH  another halvern build, started in turn with the first (its start and\n"
        "                  memory only): two builds measured side by side on a machine whose\n"
        "                  speed drifts\n",
        stderr);
}

std::optional<std::string> ReadFile(const fs::path& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The number after "KEY:" in a /proc status file, or -1.
long StatusField(const std::string& status, const char* key) {
    const std::string needle = std::string("\n") + key + ":";
    const auto at = status.find(needle);
    if (at == std::string::npos) return -1;
    return std::strtol(status.c_str() + at + needle.size(), nullptr, 10);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// ---- Processes ---------------------------------------------------------------------

struct Child {
    pid_t pid = -1;
    int stdinFd = -1;   // halvern's test driver reads its commands here
    int stdoutFd = -1;  // and answers here
    Clock::time_point spawned;
};

// Reaps CHILD if it has ended, so that its pid is never signalled once it may be reused.
bool Reaped(Child& child) {
    if (child.pid <= 0) return true;
    if (waitpid(child.pid, nullptr, WNOHANG) != child.pid) return false;
    child.pid = -1;
    return true;
}

void Stop(Child& child) {
    if (child.stdinFd >= 0) close(child.stdinFd);
    if (child.stdoutFd >= 0) close(child.stdoutFd);
    child.stdinFd = child.stdoutFd = -1;
    if (Reaped(child)) return;
    kill(child.pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (Reaped(child)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(child.pid, SIGKILL);
    waitpid(child.pid, nullptr, 0);
    child.pid = -1;
}

// Starts PROGRAM with ENV added to this process's environment, its standard error into
// LOG, and pipes on its standard input and output. The start time is read last, so
// only the spawn itself lies between it and the child's exec.
std::optional<Child> Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                           const fs::path& log, bool searchPath = false) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return std::nullopt;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<std::string> fullEnv;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        const bool overridden = std::any_of(env.begin(), env.end(), [&](const std::string& mine) {
            return mine.compare(0, name.size() + 1, name + "=") == 0;
        });
        if (!overridden && name != "WAYLAND_DISPLAY") fullEnv.push_back(entry);
    }
    fullEnv.insert(fullEnv.end(), env.begin(), env.end());
    std::vector<char*> argvPtrs, envPtrs;
    for (const auto& a : argv) argvPtrs.push_back(const_cast<char*>(a.c_str()));
    for (const auto& e : fullEnv) envPtrs.push_back(const_cast<char*>(e.c_str()));
    argvPtrs.push_back(nullptr);
    envPtrs.push_back(nullptr);

    Child child;
    child.spawned = Clock::now();
    const int rc = searchPath
                       ? posix_spawnp(&child.pid, argv[0].c_str(), &actions, nullptr, argvPtrs.data(), envPtrs.data())
                       : posix_spawn(&child.pid, argv[0].c_str(), &actions, nullptr, argvPtrs.data(), envPtrs.data());
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    if (rc != 0) {
        close(in[1]);
        close(out[0]);
        std::fprintf(stderr, "gui_bench: cannot start %s: %s\n", argv[0].c_str(), std::strerror(rc));
        return std::nullopt;
    }
    child.stdinFd = in[1];
    child.stdoutFd = out[0];
    return child;
}

// One line from FD, or nothing once TIMEOUT has passed or the pipe closed.
std::optional<std::string> ReadLine(int fd, std::string& buffer, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (const auto end = buffer.find('\n'); end != std::string::npos) {
            std::string line = buffer.substr(0, end);
            buffer.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return std::nullopt;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char chunk[256];
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) return std::nullopt;
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

// ---- Per-thread counters from /proc ------------------------------------------------

struct ThreadCounters {
    double cpuSeconds = 0;
    long switches = 0;
    std::string name;
};

using ProcessSample = std::map<int, ThreadCounters>;

ProcessSample Sample(pid_t pid) {
    ProcessSample sample;
    static const double tick = 1.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::error_code ec;
    const fs::path tasks = fs::path("/proc") / std::to_string(pid) / "task";
    for (const auto& entry : fs::directory_iterator(tasks, ec)) {
        ThreadCounters c;
        const auto status = ReadFile(entry.path() / "status");
        if (!status) continue;  // the thread ended meanwhile
        c.switches =
            StatusField(*status, "voluntary_ctxt_switches") + StatusField(*status, "nonvoluntary_ctxt_switches");
        if (const auto schedstat = ReadFile(entry.path() / "schedstat"); schedstat && !schedstat->empty()) {
            c.cpuSeconds = std::strtod(schedstat->c_str(), nullptr) / 1e9;
        } else if (const auto stat = ReadFile(entry.path() / "stat")) {
            // Fields 14 and 15 (utime, stime) follow the parenthesised name, which may hold spaces.
            std::istringstream fields(stat->substr(stat->rfind(')') + 2));
            std::string skip;
            for (int i = 3; i < 14; ++i) fields >> skip;
            double utime = 0, stime = 0;
            fields >> utime >> stime;
            c.cpuSeconds = (utime + stime) * tick;
        }
        if (auto comm = ReadFile(entry.path() / "comm")) {
            if (!comm->empty() && comm->back() == '\n') comm->pop_back();
            c.name = *comm;
        }
        sample[std::stoi(entry.path().filename().string())] = c;
    }
    return sample;
}

double TotalCpuSeconds(const ProcessSample& sample) {
    double total = 0;
    for (const auto& [tid, counters] : sample) total += counters.cpuSeconds;
    return total;
}

struct Idle {
    double cpuPercent = 0;
    double wakeupsPerSecond = 0;
    std::map<std::string, double> wakeupsByThread;
};

// What the threads alive at the end did since BEFORE; a thread born meanwhile counts whole.
Idle Difference(const ProcessSample& before, const ProcessSample& after, double seconds) {
    Idle idle;
    double cpu = 0, switches = 0;
    for (const auto& [tid, end] : after) {
        const auto start = before.find(tid);
        const double dc = end.cpuSeconds - (start != before.end() ? start->second.cpuSeconds : 0);
        const double ds = static_cast<double>(end.switches - (start != before.end() ? start->second.switches : 0));
        cpu += dc;
        switches += ds;
        idle.wakeupsByThread[end.name + " " + std::to_string(tid)] += ds / seconds;
    }
    idle.cpuPercent = 100 * cpu / seconds;
    idle.wakeupsPerSecond = switches / seconds;
    return idle;
}

Idle MeasureIdle(pid_t pid, double seconds) {
    const ProcessSample before = Sample(pid);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const ProcessSample after = Sample(pid);
    return Difference(before, after, std::chrono::duration<double>(Clock::now() - start).count());
}

double PeakRssMb(pid_t pid) {
    const auto status = ReadFile(fs::path("/proc") / std::to_string(pid) / "status");
    return status ? static_cast<double>(StatusField(*status, "VmHWM")) / 1024.0 : 0;
}

// ---- Servers the bench runs --------------------------------------------------------

// A server started in the background that says one line on descriptor 3 once it
// accepts clients (Xvfb its display number, dbus-daemon its address); ended and waited
// for with this object.
class Server {
public:
    Server() = default;
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    ~Server() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

    // The line, or nothing when the server could not be started or said nothing within
    // ten seconds. Its standard error goes to LOG.
    std::optional<std::string> start(std::vector<std::string> argv, const fs::path& log) {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0) return std::nullopt;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char*> argvPtrs;
        for (std::string& a : argv) argvPtrs.push_back(a.data());
        argvPtrs.push_back(nullptr);
        const int rc = posix_spawnp(&pid_, argv[0].c_str(), &actions, nullptr, argvPtrs.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(ready[1]);
        if (rc != 0) {
            close(ready[0]);
            std::fprintf(stderr, "gui_bench: cannot start %s: %s\n", argv[0].c_str(), std::strerror(rc));
            pid_ = -1;
            return std::nullopt;
        }
        std::string buffer;
        auto line = ReadLine(ready[0], buffer, std::chrono::seconds(10));
        close(ready[0]);
        return line;
    }

private:
    pid_t pid_ = -1;
};

// ---- The X display -----------------------------------------------------------------

class Display {
public:
    ~Display() {
        if (connection_) xcb_disconnect(connection_);
    }

    // Xvfb tells the display number it chose once it accepts clients.
    bool start(const fs::path& log) {
        const auto number =
            server_.start({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp"}, log);
        if (!number) return false;
        name_ = ":" + *number;
        connection_ = xcb_connect(name_.c_str(), nullptr);
        if (xcb_connection_has_error(connection_)) return false;
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        pidAtom_ = atom("_NET_WM_PID");
        return pidAtom_ != XCB_NONE;
    }

    const std::string& name() const { return name_; }

    struct Mapped {
        Clock::time_point at;
        int width = 0;
        int height = 0;
    };

    // Waits for PID's first top-level window to map; nothing if it exits or TIMEOUT passes.
    std::optional<Mapped> waitForMap(Child& child, std::chrono::milliseconds timeout) {
        const pid_t pid = child.pid;
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
                const auto at = Clock::now();
                std::optional<Mapped> mapped;
                if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                    const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                    if (!map->override_redirect && windowPid(map->window) == pid) mapped = size(map->window, at);
                }
                std::free(event);
                if (mapped) return mapped;
            }
            if (xcb_connection_has_error(connection_) || Reaped(child)) return std::nullopt;
            pollfd p{xcb_get_file_descriptor(connection_), POLLIN, 0};
            poll(&p, 1, 100);
        }
        return std::nullopt;
    }

private:
    xcb_atom_t atom(const char* name) {
        auto cookie = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection_, cookie, nullptr);
        const xcb_atom_t a = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return a;
    }

    pid_t windowPid(xcb_window_t window) {
        auto cookie = xcb_get_property(connection_, 0, window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(connection_, cookie, nullptr);
        pid_t pid = -1;
        if (reply && xcb_get_property_value_length(reply) == 4)
            pid = static_cast<pid_t>(*static_cast<std::uint32_t*>(xcb_get_property_value(reply)));
        std::free(reply);
        return pid;
    }

    Mapped size(xcb_window_t window, Clock::time_point at) {
        Mapped m{at};
        xcb_get_geometry_reply_t* g =
            xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr);
        if (g) {
            m.width = g->width;
            m.height = g->height;
        }
        std::free(g);
        return m;
    }

    Server server_;
    std::string name_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_atom_t pidAtom_ = XCB_NONE;
};

// ---- The session bus ---------------------------------------------------------------

class SessionBus {
public:
    // dbus-daemon tells its address once it accepts clients.
    bool start(const fs::path& folder, const fs::path& log) {
        const auto address = daemon_.start({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3",
                                            "--address=unix:path=" + (folder / "bus").string()},
                                           log);
        if (!address || address->empty()) return false;
        address_ = *address;
        return true;
    }

    // Empty when there is none.
    const std::string& address() const { return address_; }

private:
    Server daemon_;
    std::string address_;
};

// ---- One start of each program -----------------------------------------------------

struct Run {
    double mapMs = 0;
    double mapCpuMs = 0;  // CPU time of all threads until the map was seen
    double readyMs = 0;   // halvern: exec to the test driver's "ready"
    double peakRssMb = 0;
    Idle shown, hidden;
};

class Bench {
public:
    Bench(const Options& options, Display& display, const SessionBus& bus, fs::path work)
        : options_(options), display_(display), bus_(bus), work_(std::move(work)) {}

    std::optional<Run> floorRun() {
        const fs::path folder = freshFolder("floor");
        auto child = Spawn({options_.floor.string()}, baseEnv(folder), folder / "stderr.log");
        if (!child) return std::nullopt;
        auto run = startup(*child, folder, nullptr);
        Stop(*child);
        return run;
    }

    // `binary` empty: the halvern being measured, idle windows included; else another
    // build, for its start and memory only.
    std::optional<Run> halvernRun(const fs::path& binary = {}) {
        const bool other = !binary.empty();
        const fs::path folder = freshFolder("halvern");
        auto env = baseEnv(folder);
        env.push_back("HALVERN_DATA_DIR=" + (folder / "data").string());
        env.push_back("HALVERN_EMULATOR=receiver");
        env.push_back("HALVERN_TEST_DRIVER=1");
        auto child = Spawn({(other ? binary : options_.halvern).string()}, env, folder / "stderr.log");
        if (!child) return std::nullopt;
        std::string out;
        auto run = startup(*child, folder, &out);
        if (run && options_.charging && !Command(*child, out, "mouse battery 3 50")) {
            std::fprintf(stderr, "gui_bench: the virtual mouse did not take the charging state\n");
            run.reset();
        }
        if (run && !other && options_.idleSeconds > 0) {
            run->shown = MeasureIdle(child->pid, options_.idleSeconds);
            if (!hide(*child, out)) {
                std::fprintf(stderr, "gui_bench: halvern did not hide in the tray; see %s\n",
                             (folder / "stderr.log").c_str());
                run.reset();
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(options_.settleMs));
                run->hidden = MeasureIdle(child->pid, options_.idleSeconds);
            }
        }
        Stop(*child);
        return run;
    }

    // The data and runtime folders of the last start stay for a look until the next one.
    void clean() {
        std::error_code ec;
        if (!last_.empty()) fs::remove_all(last_, ec);
        if (!runtime_.empty()) fs::remove_all(runtime_, ec);
        last_.clear();
        runtime_.clear();
    }

private:
    fs::path freshFolder(const char* what) {
        clean();
        const std::string name = std::string(what) + "-" + std::to_string(++serial_);
        last_ = work_ / name;
        fs::create_directories(last_);
        fs::permissions(last_, fs::perms::owner_all, fs::perm_options::replace);
        // A desktop's runtime folder is a tmpfs (/run/user/UID); one on disk would make
        // every file the program keeps there cost a write to the disk.
        std::error_code ec;
        if (fs::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0) {
            std::string tag = work_.relative_path().string();
            std::replace(tag.begin(), tag.end(), '/', '_');
            runtime_ = fs::path("/dev/shm") / (tag + "-" + name);
            fs::create_directories(runtime_, ec);
            fs::permissions(runtime_, fs::perms::owner_all, fs::perm_options::replace, ec);
            if (ec) runtime_.clear();
        }
        return last_;
    }

    std::vector<std::string> baseEnv(const fs::path& folder) const {
        const fs::path& runtime = runtime_.empty() ? folder : runtime_;
        std::vector<std::string> env{"DISPLAY=" + display_.name(), "QT_QPA_PLATFORM=xcb",
                                     "XDG_RUNTIME_DIR=" + runtime.string()};
        // Never the bus of the desktop the bench runs in: the program would take its names.
        env.push_back("DBUS_SESSION_BUS_ADDRESS=" + (bus_.address().empty() ? "disabled:" : bus_.address()));
        return env;
    }

    std::optional<Run> startup(Child& child, const fs::path& folder, std::string* out) {
        const auto mapped = display_.waitForMap(child, std::chrono::seconds(20));
        if (!mapped) {
            std::fprintf(stderr, "gui_bench: no window mapped; see %s\n", (folder / "stderr.log").c_str());
            return std::nullopt;
        }
        if (mapped->width != 800 || mapped->height != 572)
            std::fprintf(stderr, "gui_bench: the first window mapped is %dx%d, not 800x572\n", mapped->width,
                         mapped->height);
        Run run;
        run.mapMs = Ms(mapped->at - child.spawned).count();
        run.mapCpuMs = 1000 * TotalCpuSeconds(Sample(child.pid));
        if (out) {
            const auto line = ReadLine(child.stdoutFd, *out, std::chrono::seconds(10));
            if (!line || *line != "ready") {
                std::fprintf(stderr, "gui_bench: no \"ready\" from the test driver\n");
                return std::nullopt;
            }
            run.readyMs = Ms(Clock::now() - child.spawned).count();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(options_.settleMs));
        run.peakRssMb = PeakRssMb(child.pid);
        return run;
    }

    // One test driver command; its answer, or nothing when it failed or never came.
    static std::optional<std::string> Command(Child& child, std::string& out, const std::string& command) {
        const std::string line = command + "\n";
        if (write(child.stdinFd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return std::nullopt;
        auto answer = ReadLine(child.stdoutFd, out, std::chrono::seconds(5));
        if (!answer || answer->rfind("error", 0) == 0) return std::nullopt;
        return answer;
    }

    // Hidden as a user hides it: the close button, on a desktop that has a tray.
    static bool hide(Child& child, std::string& out) {
        if (!Command(child, out, "assume-tray") || !Command(child, out, "click exit_btn")) return false;
        const auto state = Command(child, out, "state");
        return state && state->find("visible=0") != std::string::npos;
    }

    const Options& options_;
    Display& display_;
    const SessionBus& bus_;
    fs::path work_;
    fs::path last_;
    fs::path runtime_;
    int serial_ = 0;
};

// ---- The report --------------------------------------------------------------------

struct Row {
    const char* label;
    double floor;  // negative: not measured for the floor
    double halvern;
    std::string target;
    bool met;
};

void PrintReport(const Options& options, const std::vector<Run>& floors, const std::vector<Run>& halverns) {
    auto median = [](const std::vector<Run>& runs, auto field) {
        std::vector<double> v;
        for (const Run& r : runs) v.push_back(field(r));
        return Median(v);
    };
    const double floorMap = median(floors, [](const Run& r) { return r.mapMs; });
    const double floorRss = median(floors, [](const Run& r) { return r.peakRssMb; });
    const double map = median(halverns, [](const Run& r) { return r.mapMs; });
    const double rss = median(halverns, [](const Run& r) { return r.peakRssMb; });
    char buf[96];
    std::vector<Row> rows;
    std::snprintf(buf, sizeof buf, "< %.1f (2x floor) and < 100", 2 * floorMap);
    rows.push_back({"exec to mapped window (ms)", floorMap, map, buf, map < 2 * floorMap && map < 100});
    rows.push_back({"CPU time to mapped window (ms)", median(floors, [](const Run& r) { return r.mapCpuMs; }),
                    median(halverns, [](const Run& r) { return r.mapCpuMs; }), "", true});
    rows.push_back(
        {"exec to test driver ready (ms)", -1, median(halverns, [](const Run& r) { return r.readyMs; }), "", true});
    std::snprintf(buf, sizeof buf, "< %.1f (floor + 12)", floorRss + 12);
    rows.push_back({"peak RSS (MB)", floorRss, rss, buf, rss < floorRss + 12});
    if (options.idleSeconds > 0) {
        rows.push_back({"idle shown, CPU (% of a core)", -1,
                        median(halverns, [](const Run& r) { return r.shown.cpuPercent; }), "", true});
        rows.push_back({"idle shown, wake-ups/s", -1,
                        median(halverns, [](const Run& r) { return r.shown.wakeupsPerSecond; }), "", true});
        const double cpu = median(halverns, [](const Run& r) { return r.hidden.cpuPercent; });
        const double wake = median(halverns, [](const Run& r) { return r.hidden.wakeupsPerSecond; });
        rows.push_back({"idle in tray, CPU (% of a core)", -1, cpu, "<= 0.05", cpu <= 0.05});
        rows.push_back({"idle in tray, wake-ups/s", -1, wake, "<= 5", wake <= 5});
    }
    std::printf("%-32s %9s %9s   %s\n", "median", "floor", "halvern", "target");
    for (const Row& row : rows) {
        char floorText[16] = "-";
        if (row.floor >= 0) std::snprintf(floorText, sizeof floorText, "%.1f", row.floor);
        std::printf("%-32s %9s %9.*f   %s%s\n", row.label, floorText, row.halvern < 1 ? 3 : 1, row.halvern,
                    row.target.c_str(), row.target.empty() ? "" : (row.met ? "  met" : "  MISSED"));
    }
}

void PrintRun(const char* what, int index, const Run& r, bool halvern, bool idle) {
    std::printf("%s %2d: map %6.1f ms (CPU %5.1f ms)", what, index, r.mapMs, r.mapCpuMs);
    if (halvern) std::printf(", ready %6.1f ms", r.readyMs);
    std::printf(", peak RSS %5.1f MB", r.peakRssMb);
    if (halvern && idle)
        std::printf(", shown %.3f %% %.2f/s, tray %.3f %% %.2f/s", r.shown.cpuPercent, r.shown.wakeupsPerSecond,
                    r.hidden.cpuPercent, r.hidden.wakeupsPerSecond);
    std::putchar('\n');
    if (!halvern || !idle) return;
    for (const auto& [label, window] : {std::pair{"shown", &r.shown}, std::pair{"tray", &r.hidden}})
        for (const auto& [name, rate] : window->wakeupsByThread)
            if (rate > 0) std::printf("    %-5s %-16s %.2f wake-ups/s\n", label, name.c_str(), rate);
}

void PrintComparison(const fs::path& binary, const std::vector<Run>& runs) {
    auto median = [&runs](auto field) {
        std::vector<double> v;
        for (const Run& r : runs) v.push_back(field(r));
        return Median(v);
    };
    std::printf("compared build %s: exec to mapped window %.1f ms, CPU time to it %.1f ms, peak RSS %.1f MB\n",
                binary.c_str(), median([](const Run& r) { return r.mapMs; }),
                median([](const Run& r) { return r.mapCpuMs; }), median([](const Run& r) { return r.peakRssMb; }));
}

std::optional<Options> Parse(int argc, char** argv) {
    Options o;
    const fs::path here = fs::canonical("/proc/self/exe").parent_path();
    o.halvern = here.parent_path() / "bin" / "halvern";
    o.floor = here / "gui_floor";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--verbose") o.verbose = true;
        else if (arg == "--charging") o.charging = true;
        else if (arg == "--runs" && hasValue) o.runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--warmup" && hasValue) o.warmups = std::max(0, std::atoi(argv[++i]));
        else if (arg == "--idle" && hasValue) o.idleSeconds = std::max(0.0, std::atof(argv[++i]));
        else if (arg == "--settle" && hasValue) o.settleMs = std::max(0, std::atoi(argv[++i]));
        else if (arg == "--halvern" && hasValue) o.halvern = argv[++i];
        else if (arg == "--compare" && hasValue) o.compare = argv[++i];
        else if (arg == "--floor" && hasValue) o.floor = argv[++i];
        else return std::nullopt;
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = Parse(argc, argv);
    if (!options) {
        Usage();
        return 2;
    }
    char pattern[] = "/tmp/gui_bench.XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("gui_bench: mkdtemp");
        return 1;
    }
    const fs::path work = pattern;
    int code = 0;
    {
        Display display;
        if (!display.start(work / "xvfb.log")) {
            std::fprintf(stderr, "gui_bench: no X display (is Xvfb installed?); see %s\n", (work / "xvfb.log").c_str());
            return 1;
        }
        SessionBus bus;
        if (!bus.start(work, work / "dbus.log"))
            std::fprintf(stderr,
                         "gui_bench: no session bus (is dbus-daemon installed?); the programs run without one\n");
        double load[1] = {0};
        getloadavg(load, 1);
        std::printf(
            "gui_bench: %d runs of each, interleaved, after %d warm-up; idle windows %.0f s; Xvfb %s; %s; "
            "load average %.2f\n",
            options->runs, options->warmups, options->idleSeconds, display.name().c_str(),
            bus.address().empty() ? "no session bus" : "a session bus", load[0]);
        std::fflush(stdout);
        Bench bench(*options, display, bus, work);
        std::vector<Run> floors, halverns, compares;
        Options warm = *options;
        warm.idleSeconds = 0;
        Bench warmBench(warm, display, bus, work / "warm");
        for (int i = 0; i < options->warmups; ++i) {
            warmBench.floorRun();
            warmBench.halvernRun();
        }
        warmBench.clean();
        for (int i = 0; i < options->runs && code == 0; ++i) {
            const auto f = bench.floorRun();
            // The start right after another runs a little slower; the two builds take
            // that place in turn.
            const bool compareFirst = !options->compare.empty() && i % 2 == 1;
            std::optional<Run> c;
            if (f && compareFirst) {
                c = bench.halvernRun(options->compare);
                bench.clean();
            }
            const auto h = f && (c || !compareFirst) ? bench.halvernRun() : std::nullopt;
            if (h && !options->compare.empty() && !compareFirst) {
                bench.clean();
                c = bench.halvernRun(options->compare);
            }
            if (!f || !h || (!options->compare.empty() && !c)) {
                code = 1;
                break;
            }
            bench.clean();
            floors.push_back(*f);
            halverns.push_back(*h);
            if (c) compares.push_back(*c);
            if (options->verbose) {
                PrintRun("floor  ", i + 1, *f, false, false);
                PrintRun("halvern", i + 1, *h, true, options->idleSeconds > 0);
                std::fflush(stdout);
            }
        }
        if (code == 0) PrintReport(*options, floors, halverns);
        if (code == 0 && !compares.empty()) PrintComparison(options->compare, compares);
    }
    std::error_code ec;
    if (code == 0) fs::remove_all(work, ec);
    return code;
}
