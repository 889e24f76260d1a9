// Peers for the network tests: Python standard-library scripts run as their own processes on
// 127.0.0.1, and a recorder of the networking events the pump performs.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "HttpTestSupport.h"
#include "IoTestSupport.h"
#include "io/Buffer_Manager.h"
#include "io/HTTP_Main.h"
#include "io/Network_Main.h"

namespace nettest {

// Runs a Python script with arguments; its standard output goes to a file read by Output().
// Every script ends by itself after 20 s; the destructor kills it first.
class PyPeer {
public:
    PyPeer(const std::string& script, const std::vector<std::string>& args) {
        const char* base = std::getenv("HV_TEST_TMP");
        const std::string dir = base && *base ? base : "/tmp";
        std::system(("mkdir -p '" + dir + "'").c_str());
        static int counter = 0;
        const std::string stem =
            dir + "/netpeer-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        m_script = stem + ".py";
        m_output = stem + ".out";
        iotest::WriteFile(
            m_script, "import threading, os\nthreading.Timer(20, lambda: os._exit(3)).start()\n" + script +
                          "\nimport sys\nsys.stdout.flush()\nos._exit(0)\n");
        m_pid = ::fork();
        if (m_pid == 0) {
            const int out = ::open(m_output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, 1);
            ::dup2(out, 2);
            std::vector<const char*> argv{"python3", m_script.c_str()};
            for (const std::string& a : args) argv.push_back(a.c_str());
            argv.push_back(nullptr);
            ::execvp("python3", const_cast<char* const*>(argv.data()));
            ::_exit(127);
        }
    }
    ~PyPeer() {
        if (m_pid > 0 && !m_done) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        std::remove(m_script.c_str());
        std::remove(m_output.c_str());
    }
    PyPeer(const PyPeer&) = delete;
    PyPeer& operator=(const PyPeer&) = delete;

    bool Finished() {
        if (m_done) return true;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_done = true;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return m_done;
    }
    int Status() const { return m_status; }
    std::string Output() const { return iotest::ReadFile(m_output); }

private:
    std::string m_script, m_output;
    pid_t m_pid = -1;
    bool m_done = false;
    int m_status = -1;
};

struct NetEvent {
    std::map<std::string, std::string> values;
    std::string payload;  // a data event's buffer, read during the event
    int32_t bufferSize = -1;

    int Type() const { return values.count("type") ? std::stoi(values.at("type")) : 0; }
    int Get(const char* key) const { return values.count(key) ? std::stoi(values.at(key)) : -999; }
};

inline std::vector<NetEvent>& Events() {
    static std::vector<NetEvent> events;
    return events;
}

inline std::function<void(const NetEvent&)>& DuringEvent() {
    static std::function<void(const NetEvent&)> action;
    return action;
}

inline void RecordEvent(int32_t subtype) {
    if (subtype != kAsyncEventNetworking) return;
    NetEvent event;
    event.values = httptest::Snapshot(Async_GetLoadMap());
    if (event.Type() == NETWORK_EVENT_DATA) {
        const IBuffer* buffer = Buffer_GetByIndex(event.Get("buffer"));
        if (buffer != nullptr) {
            event.bufferSize = buffer->GetSize();
            event.payload.assign(reinterpret_cast<const char*>(buffer->GetData()),
                                 static_cast<size_t>(buffer->GetSize()));
        }
    }
    Events().push_back(event);
    if (DuringEvent()) DuringEvent()(event);
}

inline std::vector<NetEvent> OfType(int type) {
    std::vector<NetEvent> out;
    for (const NetEvent& e : Events())
        if (e.Type() == type) out.push_back(e);
    return out;
}

// Pumps the network every millisecond until done() holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, int milliseconds = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < deadline) {
        Network_Tick();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Python helpers every script starts with.
constexpr const char* kPrelude = R"PY(
import socket, struct, sys, time, zlib
def frame(p): return struct.pack("<3I", 0xDEADC0DE, 12, len(p)) + p
def recv_exact(s, n):
    d = b""
    while len(d) < n:
        c = s.recv(n - len(d))
        if not c: break
        d += c
    return d
def closed(s, wait=3):
    s.settimeout(wait)
    try: return s.recv(100) == b""
    except socket.timeout: return False
    except ConnectionResetError: return True
GREETING = b"HV:Halvane-Attach\0"
LOGIN = struct.pack("<4I", 0xCAFEBABE, 0xDEADB00B, 16, 0)
ACCEPT = struct.pack("<3I", 0xDEAFBEAD, 0xF00DBEEB, 12)
def crc(b): return zlib.crc32(b) ^ 0xFFFFFFFF
def rely(kind, pid, payload):
    body = struct.pack("<2I", kind, pid) + payload
    return struct.pack("<I", crc(body)) + body
)PY";

}  // namespace nettest
