// A private session bus: a real dbus-daemon of its own on a socket in a temporary
// folder, ended with the test. Tests connect to address() by name. It starts no
// services of the machine's on demand: what is on it is what the test put there.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/TempDir.h"

namespace halvern::test {

class PrivateBus {
public:
    PrivateBus() {
        address_ = "unix:path=" + (dir_.path() / "bus").string();
        const std::filesystem::path config = dir_.path() / "bus.conf";
        std::ofstream(config)
            << "<busconfig><type>session</type><listen>" << address_
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
               "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
        const std::string configArg = "--config-file=" + config.string();
        // The daemon prints its address once it accepts connections; the socket file
        // alone appears at bind(), before listen(), and a connection then is refused.
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0) return;
        const std::string printArg = "--print-address=" + std::to_string(ready[1]);
        const char* argv[] = {"dbus-daemon", configArg.c_str(), "--nofork", "--nopidfile", printArg.c_str(), nullptr};
        pid_ = fork();
        if (pid_ == 0) {
            // The bus ends with the test, however the test ends, and keeps away from
            // its output.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            fcntl(ready[1], F_SETFD, 0);
            execvp("dbus-daemon", const_cast<char**>(argv));
            _exit(127);
        }
        close(ready[1]);
        pollfd wait{ready[0], POLLIN, 0};
        char line[512];
        listening_ = pid_ > 0 && poll(&wait, 1, 10000) == 1 && read(ready[0], line, sizeof line) > 0;
        close(ready[0]);
    }
    ~PrivateBus() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool up() const { return listening_; }
    QString address() const { return QString::fromStdString(address_); }

private:
    TempDir dir_;
    std::string address_;
    pid_t pid_ = -1;
    bool listening_ = false;
};

}  // namespace halvern::test
