// Shared pieces of the buffer tests: recorded run-time errors, values that release
// themselves, hex views of bytes and a Python runner for the independent checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <string>
#include <vector>

#include "core/RuntimeError.h"
#include "core/Value.h"

namespace buftest {

// Records fatal and non-fatal run-time errors while alive; the game would go on after either.
class ErrorRecorder {
public:
    ErrorRecorder() {
        Fatal().clear();
        NonFatal().clear();
        m_fatal = Runtime_SetErrorReporter([](const char* m) { Fatal().push_back(m); });
        m_nonFatal = Runtime_SetNonFatalReporter([](const char* m) { NonFatal().push_back(m); });
    }
    ~ErrorRecorder() {
        Runtime_SetErrorReporter(m_fatal);
        Runtime_SetNonFatalReporter(m_nonFatal);
    }
    ErrorRecorder(const ErrorRecorder&) = delete;
    ErrorRecorder& operator=(const ErrorRecorder&) = delete;

    static std::vector<std::string>& Fatal() {
        static std::vector<std::string> messages;
        return messages;
    }
    static std::vector<std::string>& NonFatal() {
        static std::vector<std::string> messages;
        return messages;
    }
    // The non-fatal messages since the last call, joined by "|"; clears them.
    std::string TakeNonFatal() {
        std::string joined;
        for (const std::string& m : NonFatal()) joined += (joined.empty() ? "" : "|") + m;
        NonFatal().clear();
        return joined;
    }

private:
    RuntimeErrorReporter m_fatal;
    RuntimeErrorReporter m_nonFatal;
};

struct Held {
    RValue v = RValue_Undefined();
    Held() = default;
    explicit Held(double d) : v(RValue_Real(d)) {}
    explicit Held(const char* text) { RValue_CreateString(&v, text); }
    ~Held() { RValue_Release(&v); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
};

inline std::string Hex(const uint8_t* bytes, int64_t n) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (int64_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

inline std::string Text(const RValue& v) {
    const char* text = v.kind == VALUE_STRING ? RValue_GetStringText(&v) : nullptr;
    return text ? text : "<not a string>";
}

// Runs a Python program with the given input on standard input; its standard output.
inline std::string RunPython(const std::string& program, const std::string& input) {
    const char* base = std::getenv("HV_TEST_TMP");
    std::string dir = base && *base ? base : "/tmp";
    std::string cmd = "mkdir -p '" + dir + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    std::string script = dir + "/buftest-" + std::to_string(::getpid()) + ".py";
    std::string stdinFile = script + ".in";
    if (FILE* f = std::fopen(script.c_str(), "wb")) {
        std::fwrite(program.data(), 1, program.size(), f);
        std::fclose(f);
    }
    if (FILE* f = std::fopen(stdinFile.c_str(), "wb")) {
        std::fwrite(input.data(), 1, input.size(), f);
        std::fclose(f);
    }
    std::string output;
    std::string run = "python3 '" + script + "' < '" + stdinFile + "'";
    if (FILE* pipe = ::popen(run.c_str(), "r")) {
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, n);
        EXPECT_EQ(::pclose(pipe), 0) << "python3 failed";
    }
    std::remove(script.c_str());
    std::remove(stdinFile.c_str());
    return output;
}

}  // namespace buftest
