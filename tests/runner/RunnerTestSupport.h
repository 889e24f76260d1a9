// Shared set-up of the runner tests: fresh switches and scratch folders.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

#include "core/RunSwitches.h"

namespace runner_test {

inline void ResetSwitches() {
    g_Switches.~RunSwitches();
    new (&g_Switches) RunSwitches();
}

// A fresh folder under HV_TEST_TMP (else the system's temporary folder), removed at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        const char* base = std::getenv("HV_TEST_TMP");
        std::filesystem::path root = base != nullptr ? base : std::filesystem::temp_directory_path().string();
        std::filesystem::create_directories(root);
        std::string pattern = (root / "runner-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        m_path = std::filesystem::canonical(pattern);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(m_path / name, std::ios::binary) << text;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(m_path / name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::filesystem::path m_path;
};

}  // namespace runner_test
