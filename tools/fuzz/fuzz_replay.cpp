// Replays a fuzz corpus through the fuzzers' own entry points, built with the ordinary compiler:
// `fuzz_replay load|code FOLDER`. Each file runs in a child process, so one input's end cannot
// leave state for the next; a child that dies by a signal or a sanitizer report fails the run.
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzGame.h"

namespace {

std::vector<std::string> FilesOf(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// True when the child ran the input to its end.
bool RunInChild(bool code, const std::vector<uint8_t>& bytes) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        if (code)
            FuzzCode_RunInput(bytes.data(), bytes.size());
        else
            FuzzLoad_RunInput(bytes.data(), bytes.size());
        std::fflush(nullptr);
        _exit(0);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "load") != 0 && std::strcmp(argv[1], "code") != 0)) {
        std::fprintf(stderr, "usage: fuzz_replay load|code FOLDER\n");
        return 2;
    }
    const bool code = std::strcmp(argv[1], "code") == 0;
    const std::vector<std::string> files = FilesOf(argv[2]);
    const std::string scratch = FuzzGame_ScratchFolder();
    int failed = 0;
    for (const std::string& name : files) {
        if (RunInChild(code, ReadWhole(std::string(argv[2]) + "/" + name))) continue;
        std::printf("FAILED: %s\n", name.c_str());
        ++failed;
    }
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    std::printf("%zu inputs replayed, %d failed\n", files.size(), failed);
    return files.empty() || failed != 0 ? 1 : 0;
}
