// Shared pieces of the io tests: a private temporary tree with HOME, the XDG folders and the
// current folder inside it, console capture, and small file helpers.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/Console.h"

namespace iotest {

inline std::vector<std::string>& ConsoleLines() {
    static std::vector<std::string> lines;
    return lines;
}

inline void CaptureConsoleLine(const char* text) {
    ConsoleLines().emplace_back(text);
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Sets environment variables for the test's lifetime and puts the old values back after.
class EnvGuard {
public:
    void Set(const char* name, const std::optional<std::string>& value) {
        if (!m_saved.count(name)) {
            const char* old = std::getenv(name);
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~EnvGuard() {
        for (auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

// A fresh folder under $HV_TEST_TMP (else the system's), with HOME, XDG_DATA_HOME,
// XDG_CONFIG_HOME and TMPDIR pointing inside it and the current folder at <root>/cwd.
class TempTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("HV_TEST_TMP");
        std::filesystem::path parent = base && *base ? base : std::filesystem::temp_directory_path().string();
        std::filesystem::create_directories(parent);
        std::string pattern = (parent / "io-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        // The real path: the current folder the system reports never holds a symbolic link.
        root = std::filesystem::canonical(pattern).string();
        home = root + "/home";
        std::filesystem::create_directories(home);
        std::filesystem::create_directories(root + "/cwd");
        env.Set("HOME", home);
        env.Set("XDG_DATA_HOME", std::nullopt);
        env.Set("XDG_CONFIG_HOME", std::nullopt);
        env.Set("TMPDIR", root + "/tmp");
        char old[PATH_MAX];
        ASSERT_NE(::getcwd(old, sizeof old), nullptr);
        oldCwd = old;
        ASSERT_EQ(::chdir((root + "/cwd").c_str()), 0);
        ConsoleLines().clear();
        Console_SetDebuggerSink(CaptureConsoleLine);
    }

    void TearDown() override {
        Console_SetDebuggerSink(nullptr);
        if (!oldCwd.empty()) {
            EXPECT_EQ(::chdir(oldCwd.c_str()), 0);
        }
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    bool ConsoleHas(const std::string& line) const {
        for (const std::string& l : ConsoleLines())
            if (l == line) return true;
        return false;
    }

    std::string root, home, oldCwd;
    EnvGuard env;
};

}  // namespace iotest
