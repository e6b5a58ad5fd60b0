// A private session bus: a real dbus-daemon of its own on a socket in a temporary
// folder, ended with the test. Tests connect to address() by name. It starts no
// services of the machine's on demand: what is on it is what the test put there.
#pragma once

#include <fcntl.h>
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
        std::ofstream(config) << "<busconfig><type>session</type><listen>" << address_
                              << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
                                 "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
        const std::string configArg = "--config-file=" + config.string();
        const char* argv[] = {"dbus-daemon", configArg.c_str(), "--nofork", "--nopidfile", nullptr};
        pid_ = fork();
        if (pid_ == 0) {
            // The bus ends with the test, however the test ends, and keeps away from
            // its output.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            execvp("dbus-daemon", const_cast<char**>(argv));
            _exit(127);
        }
        for (int i = 0; i < 500 && pid_ > 0 && !std::filesystem::exists(dir_.path() / "bus"); ++i) usleep(10000);
    }
    ~PrivateBus() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool up() const { return pid_ > 0 && std::filesystem::exists(dir_.path() / "bus"); }
    QString address() const { return QString::fromStdString(address_); }

private:
    TempDir dir_;
    std::string address_;
    pid_t pid_ = -1;
};

}  // namespace halvern::test
