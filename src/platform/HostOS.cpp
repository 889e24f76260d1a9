#include "platform/HostOS.h"

#include "platform/Support_FileM.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

std::string HostOS_ExecutablePath() {
    std::vector<char> buffer(1024);
    for (;;) {
        const ssize_t got = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (got < 0) return {};
        if (static_cast<size_t>(got) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(got));
        buffer.resize(buffer.size() * 2);
    }
}

std::string HostOS_FullPath(const char* path) {
    if (path == nullptr || path[0] == '\0') return {};
    std::string text(path);
    for (char& c : text)
        if (c == '\\') c = '/';
    if (text[0] != '/') text = FileM_CurrentDirectory() + "/" + text;
    const bool trailingSlash = text.back() == '/';

    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    std::string full;
    for (const std::string& part : parts) full += "/" + part;
    if (full.empty()) return "/";
    if (trailingSlash) full += '/';
    return full;
}

bool HostOS_GetEnv(const char* name, std::string& value) {
    if (name == nullptr) return false;
    const char* found = std::getenv(name);
    if (found == nullptr) return false;
    value = found;
    return true;
}

bool HostOS_FileReadable(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

std::vector<std::string> HostOS_ListPlainFiles(const char* folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder && folder[0] ? folder : ".");
    if (dir == nullptr) return names;
    const int dirFd = dirfd(dir);
    while (const struct dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        struct stat info;
        if (fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(info.st_mode) || (info.st_mode & S_IWUSR) == 0) continue;
        names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

bool HostOS_MakeFolder(const char* path) {
    if (mkdir(path, 0777) == 0) return true;
    struct stat info;
    return errno == EEXIST && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool HostOS_MoveFileNoReplace(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the no-replace rename: a hard link fails on an existing name too.
    if (link(from, to) != 0) return false;
    if (unlink(from) != 0) {
        unlink(to);
        return false;
    }
    return true;
}

void HostOS_InstallCrashHandler(HostCrashHandler handler) {
    static char alternateStack[64 * 1024];
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) sigaction(signal, &action, nullptr);
}

void HostOS_WriteAndExit(const char* text, int code) {
    size_t left = text ? std::strlen(text) : 0;
    while (left > 0) {
        const ssize_t wrote = write(STDOUT_FILENO, text, left);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) break;
        text += wrote;
        left -= static_cast<size_t>(wrote);
    }
    _exit(code);
}
