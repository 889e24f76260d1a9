#include "platform/Support_FileM.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

extern char** environ;

namespace {

bool StatPath(const char* path, struct stat& st) {
    if (path == nullptr || *path == '\0') return false;
    return ::stat(File_ToSystemPath(path).c_str(), &st) == 0;
}

// Empties the folder open at dirFd, entry by entry, without following any link.
bool EmptyDirectory(int dirFd) {
    DIR* dir = ::fdopendir(dirFd);
    if (dir == nullptr) {
        ::close(dirFd);
        return false;
    }
    bool ok = true;
    while (ok) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            ok = (errno == 0);
            break;
        }
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
        } else if (S_ISDIR(st.st_mode)) {
            const int childFd = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            ok = childFd >= 0 && EmptyDirectory(childFd) && ::unlinkat(::dirfd(dir), name, AT_REMOVEDIR) == 0;
        } else {
            ok = ::unlinkat(::dirfd(dir), name, 0) == 0;
        }
    }
    ::closedir(dir);
    return ok;
}

// Processes we started and have not yet collected; only these are ever waited for.
std::mutex g_startedProcessesMutex;
std::vector<pid_t> g_startedProcesses;

}  // namespace

std::string File_ToSystemPath(const char* path) {
    std::string out = path ? path : "";
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

bool File_Exists(const char* path) {
    struct stat st;
    return StatPath(path, st) && !S_ISDIR(st.st_mode) && !S_ISCHR(st.st_mode) && !S_ISBLK(st.st_mode);
}

bool Directory_Exists(const char* path) {
    struct stat st;
    return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool File_CreateDirectory(const char* path) {
    if (path == nullptr || *path == '\0') return false;
    return ::mkdir(File_ToSystemPath(path).c_str(), 0777) == 0;
}

bool Directory_Delete(const char* path) {
    if (path == nullptr || *path == '\0') return false;
    const std::string native = File_ToSystemPath(path);
    const int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    return EmptyDirectory(fd) && ::rmdir(native.c_str()) == 0;
}

bool Directory_DeleteAt(int parentFd, const char* name) {
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    return EmptyDirectory(fd) && ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0;
}

bool FileM_MoveNoReplaceAt(int fromFolder, const char* from, int toFolder, const char* to) {
    if (::renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the no-replace rename: a hard link fails on an existing name too.
    if (::linkat(fromFolder, from, toFolder, to, 0) != 0) return false;
    if (::unlinkat(fromFolder, from, 0) != 0) {
        ::unlinkat(toFolder, to, 0);
        return false;
    }
    return true;
}

bool FileM_DeleteFile(const char* path) {
    if (path == nullptr || *path == '\0') return false;
    const std::string native = File_ToSystemPath(path);
    struct stat st;
    if (::lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return ::unlink(native.c_str()) == 0;
}

std::string FileM_CurrentDirectory() {
    std::string folder(256, '\0');
    while (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) return std::string();
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::strlen(folder.c_str()));
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

bool FileM_SetCurrentDirectory(const char* folder) {
    if (folder == nullptr || *folder == '\0') return false;
    return ::chdir(File_ToSystemPath(folder).c_str()) == 0;
}

bool FileM_IsExecutableFile(const char* path) {
    struct stat st;
    if (!StatPath(path, st) || !S_ISREG(st.st_mode)) return false;
    return ::access(File_ToSystemPath(path).c_str(), X_OK) == 0;
}

int64_t FileM_StartProcess(const std::vector<std::string>& argv, const std::string& folder) {
    if (argv.empty() || argv[0].empty()) return 0;
    FileM_ReapFinishedProcesses();
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return 0;
    if (!folder.empty() && posix_spawn_file_actions_addchdir_np(&actions, folder.c_str()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return 0;
    }
    pid_t pid = 0;
    const bool searchPath = argv[0].find('/') == std::string::npos;
    const int rc = searchPath ? posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ)
                              : posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return 0;
    std::lock_guard lock(g_startedProcessesMutex);
    g_startedProcesses.push_back(pid);
    return pid;
}

bool FileM_ProcessRunning(int64_t process) {
    std::lock_guard lock(g_startedProcessesMutex);
    auto it = std::find(g_startedProcesses.begin(), g_startedProcesses.end(), static_cast<pid_t>(process));
    if (it == g_startedProcesses.end()) return false;
    int status = 0;
    const pid_t rc = ::waitpid(*it, &status, WNOHANG);
    if (rc == 0) return true;
    g_startedProcesses.erase(it);
    return false;
}

void FileM_ReapFinishedProcesses() {
    std::lock_guard lock(g_startedProcessesMutex);
    std::erase_if(g_startedProcesses, [](pid_t pid) {
        int status = 0;
        return ::waitpid(pid, &status, WNOHANG) != 0;
    });
}
