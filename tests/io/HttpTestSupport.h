// A small HTTP server of the test's own on 127.0.0.1 (Python's standard library, port 0), and
// a recorder of the asynchronous events the request list performs.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "data/Function_Data_Structures.h"
#include "io/HTTP_Main.h"

namespace httptest {

// Paths:
//   /hello   200 "hello world", X-Custom: yes, X-Seen-Agent: <the agent>, X-Dup twice
//   /echo    any method: the body back; X-Seen-Method, X-Seen-Type, X-Seen-A, X-Seen-Length
//   /slow    Content-Length 30, three pieces of 10 bytes 250 ms apart
//   /wait    300 ms, then "done"
//   /empty   204, no body
//   /moved   302 to /hello
//   /liar    announces 1500000000 bytes, sends "short" and closes
// The server ends by itself after 60 s; the test kills it first.
constexpr const char* kServer = R"PY(
import http.server, socketserver, sys, time, threading, os
class H(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def log_message(self, *a): pass
    def reply(self, code, body, extra=()):
        self.send_response(code)
        for k, v in extra: self.send_header(k, v)
        if code != 204: self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if code != 204: self.wfile.write(body)
    def body(self):
        n = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(n) if n > 0 else b""
    def any(self):
        if self.path == "/hello":
            self.reply(200, b"hello world", [("X-Custom", "yes"),
                ("X-Seen-Agent", self.headers.get("User-Agent", "")), ("X-Dup", "first"), ("X-Dup", "second")])
        elif self.path == "/echo":
            data = self.body()
            self.reply(200, data, [("X-Seen-Method", self.command),
                ("X-Seen-Type", self.headers.get("Content-Type", "")),
                ("X-Seen-A", self.headers.get("X-A", "")),
                ("X-Seen-Length", str(len(data)))])
        elif self.path == "/slow":
            self.send_response(200)
            self.send_header("Content-Length", "30")
            self.end_headers()
            self.wfile.flush()
            for part in (b"a" * 10, b"b" * 10, b"c" * 10):
                time.sleep(0.25)
                self.wfile.write(part)
                self.wfile.flush()
        elif self.path == "/wait":
            time.sleep(0.3)
            self.reply(200, b"done")
        elif self.path == "/liar":
            self.send_response(200)
            self.send_header("Content-Length", "1500000000")
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(b"short")
            self.wfile.flush()
            self.close_connection = True
        elif self.path == "/moved":
            self.reply(302, b"", [("Location", "/hello"), ("X-Moved", "1")])
        elif self.path == "/empty":
            self.reply(204, b"")
        else:
            self.reply(404, b"missing")
    do_GET = do_POST = do_PUT = do_DELETE = any
class S(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
s = S(("127.0.0.1", 0), H)
print(s.server_address[1], os.getpid(), flush=True)
threading.Timer(60, lambda: os._exit(0)).start()
s.serve_forever()
)PY";

class Server {
public:
    Server() {
        const char* base = std::getenv("HV_TEST_TMP");
        std::string dir = base && *base ? base : "/tmp";
        std::system(("mkdir -p '" + dir + "'").c_str());
        m_script = dir + "/httpserver-" + std::to_string(::getpid()) + ".py";
        if (FILE* f = std::fopen(m_script.c_str(), "wb")) {
            std::fputs(kServer, f);
            std::fclose(f);
        }
        m_pipe = ::popen(("exec python3 '" + m_script + "'").c_str(), "r");
        if (m_pipe == nullptr || std::fscanf(m_pipe, "%d %d", &port, &m_pid) != 2) port = 0;
    }
    ~Server() {
        if (m_pid > 0) ::kill(m_pid, SIGKILL);
        if (m_pipe) ::pclose(m_pipe);
        std::remove(m_script.c_str());
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }

    int port = 0;

private:
    std::string m_script;
    FILE* m_pipe = nullptr;
    int m_pid = 0;
};

// The entries of a map as texts (numbers in %g form).
inline std::map<std::string, std::string> Snapshot(int32_t index) {
    std::map<std::string, std::string> out;
    const CDS_Map* map = DS_GetMap(index);
    if (map == nullptr) return out;
    for (DSMapNode* node = map->FirstNode(); node != nullptr; node = map->NextNode(node)) {
        auto text = [](const RValue& v) -> std::string {
            if (v.kind == VALUE_STRING) return RValue_GetStringText(&v) ? RValue_GetStringText(&v) : "";
            char number[64];
            std::snprintf(number, sizeof number, "%g", v.val);
            return number;
        };
        out.emplace(text(node->entry.key), text(node->entry.value));
    }
    return out;
}

struct Event {
    int32_t subtype;
    int32_t map;
    std::map<std::string, std::string> values;
    std::map<std::string, std::string> headers;  // the "response_headers" map, read during the event
};

inline std::vector<Event>& Events() {
    static std::vector<Event> events;
    return events;
}

// Runs inside each performed event.
inline std::function<void(const Event&)>& DuringEvent() {
    static std::function<void(const Event&)> action;
    return action;
}

inline void RecordEvent(int32_t subtype) {
    Event event{subtype, Async_GetLoadMap(), Snapshot(Async_GetLoadMap()), {}};
    auto headers = event.values.find("response_headers");
    if (headers != event.values.end()) event.headers = Snapshot(std::stoi(headers->second));
    Events().push_back(event);
    if (DuringEvent()) DuringEvent()(event);
}

// The asynchronous stage as the frame runs it.
inline void Frame() {
    HTTP_Poll();
    Async_ProcessRequests();
}

// Frames every 10 ms until done() holds or 10 s have passed.
inline bool RunFramesUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        Frame();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Result events (progress events carry no "result").
inline std::vector<Event> Results() {
    std::vector<Event> out;
    for (const Event& e : Events())
        if (e.values.count("result")) out.push_back(e);
    return out;
}

}  // namespace httptest
