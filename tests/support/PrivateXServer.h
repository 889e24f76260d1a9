// An X server of the test's own (Xvfb on the first free display), for tests that need a real
// window. Start() is false when Xvfb is not installed; the server ends with the object.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

extern char** environ;

class PrivateXServer {
public:
    bool Start() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        const std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb",       "-displayfd", fd.c_str(), "-screen", "0",
                              "800x600x24", "-nolisten",  "tcp",      nullptr};
        const int spawned = posix_spawnp(&m_pid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ);
        close(fds[1]);
        if (spawned != 0) {
            m_pid = -1;
            close(fds[0]);
            return false;
        }
        std::string number;
        pollfd reader = {fds[0], POLLIN, 0};
        char c;
        while (poll(&reader, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return false;
        m_display = ":" + number;
        return true;
    }
    ~PrivateXServer() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    const std::string& Display() const { return m_display; }

    // Points SDL at this server, with no desktop bus: the test's session has none, and the bus
    // library keeps blocks for the whole process that sanitizer builds would report as leaks.
    void Select() const {
        setenv("DISPLAY", m_display.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
        setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    }

private:
    pid_t m_pid = -1;
    std::string m_display;
};
