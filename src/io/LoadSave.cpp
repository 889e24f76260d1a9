#include "io/LoadSave.h"

#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "data/Support_Stream.h"
#include "io/Support_File.h"

namespace {

// Blocks of the memory manager are sized by 32-bit counts; the runtime's sizes are int32.
constexpr int64_t kMaxWholeFileBytes = 0x7FFFFFFF;

struct AllowedPath {
    std::string path;  // absolute, no trailing "/"
    bool prefix;
};

struct Roots {
    std::string bundle;  // absolute, no trailing "/" (the root itself is "/"); empty: unset
    std::string working;
    std::string save;
};

// The root's own path as the roots are kept: absolute, without a trailing "/".
std::string RootForm(const char* folder) {
    std::string full = LoadSave_GetFullPath(folder);
    if (full.size() > 1 && full.back() == '/') full.pop_back();
    return full;
}

std::string WithSlash(const std::string& root) {
    return root.empty() || root == "/" ? root : root + "/";
}

// What follows the root when the path lies inside it (the root itself gives the empty rest).
std::optional<std::string_view> RestInside(std::string_view full, std::string_view root) {
    if (root.empty() || full.empty()) return std::nullopt;
    if (root == "/") return full.substr(1);
    if (full.size() < root.size() || full.compare(0, root.size(), root) != 0) return std::nullopt;
    if (full.size() == root.size()) return std::string_view();
    if (full[root.size()] != '/') return std::nullopt;
    return full.substr(root.size() + 1);
}

std::string Join(const std::string& root, std::string_view rest) {
    return WithSlash(root) + std::string(rest);
}

// The audio-group loader resolves bundle names on its own thread while the main thread may add
// allow-list entries, so both are read and changed under this lock.
std::mutex g_rootsAndListsMutex;
Roots g_roots;
std::vector<AllowedPath> g_allowed[2];  // newest first

Roots CurrentRoots() {
    std::lock_guard lock(g_rootsAndListsMutex);
    return g_roots;
}

void SetRoot(std::string Roots::*root, const char* folder) {
    std::string form = RootForm(folder);
    std::lock_guard lock(g_rootsAndListsMutex);
    g_roots.*root = std::move(form);
}

bool MatchesEntry(const AllowedPath& entry, const std::string& full) {
    if (entry.prefix) return RestInside(full, entry.path).has_value();
    // Exact entries compare byte for byte: names differing in letter case are different files here.
    std::string_view path = full;
    if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path == entry.path;
}

bool IsAllowed(LoadSaveAllowList list, const std::string& full, bool prefixOnly) {
    if (full.empty()) return false;
    std::lock_guard lock(g_rootsAndListsMutex);
    for (const AllowedPath& entry : g_allowed[list]) {
        if (prefixOnly && !entry.prefix) continue;
        if (MatchesEntry(entry, full)) return true;
    }
    return false;
}

bool CopyOut(const std::string& path, char* out, size_t size) {
    if (out == nullptr || size == 0) return false;
    if (path.empty() || path.size() + 1 > size) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, path.c_str(), path.size() + 1);
    return true;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return pw->pw_dir;
    return std::string();
}

// An XDG base folder: the variable when it holds an absolute path, else the home-relative default.
std::string BaseFolder(const char* variable, const char* homeRelative) {
    if (const char* value = std::getenv(variable); value && value[0] == '/') return value;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/" + homeRelative;
}

// --- changes inside the save area ----------------------------------------------------------

// An open folder, closed when it goes.
class Folder {
public:
    explicit Folder(int fd = -1) : m_fd(fd) {}
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder() { Reset(-1); }
    int Get() const { return m_fd; }
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// Opens the folder `name` of the folder open at `parent` without following a link; `create`
// makes it when it is missing.
int OpenChildFolder(int parent, const std::string& name, bool create) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(parent, name.c_str(), kFlags);
    if (fd < 0 && errno == ENOENT && create) {
        if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) return -1;
        fd = ::openat(parent, name.c_str(), kFlags);
    }
    return fd;
}

// Opens the folder that holds `path` and gives the last name in `leaf`. Inside the save area
// the walk starts at the area's root and opens each folder on the way without following a
// symbolic link, so a link planted in the area never leads a change out of it. A path the
// player picked outside the area (the allow-list) is opened as given. `create` makes missing
// folders. -1 when the folder cannot be had or a link stands in the way.
int OpenParent(const std::string& path, bool create, std::string* leaf) {
    const std::string native = File_ToSystemPath(path.c_str());
    const size_t slash = native.rfind('/');
    if (slash == std::string::npos || native[0] != '/') return -1;
    *leaf = native.substr(slash + 1);
    if (leaf->empty() || *leaf == "." || *leaf == "..") return -1;
    const std::string folder = slash == 0 ? "/" : native.substr(0, slash);
    std::string save;
    {
        std::lock_guard lock(g_rootsAndListsMutex);
        save = g_roots.save;
    }
    const std::optional<std::string_view> rest = RestInside(folder, save);
    const std::string start = rest ? save : folder;
    if (create && !Directory_Exists(start.c_str())) File_CreateDirectories(start.c_str());
    Folder at(::open(start.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (at.Get() < 0 || !rest) return at.Release();
    std::string_view remaining = *rest;
    while (!remaining.empty() && at.Get() >= 0) {
        const size_t next = remaining.find('/');
        const std::string part(remaining.substr(0, next));
        remaining = next == std::string_view::npos ? std::string_view() : remaining.substr(next + 1);
        if (part.empty()) continue;
        at.Reset(OpenChildFolder(at.Get(), part, create));
    }
    return at.Release();
}

// A temporary name of this process in the target's folder.
std::string TemporaryName() {
    static std::atomic<uint32_t> counter{0};
    return ".hv-save-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

bool WriteAll(int fd, const uint8_t* bytes, int64_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, static_cast<size_t>(std::min<int64_t>(size, 1 << 30)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= n;
    }
    return true;
}

// The bytes go to a temporary file beside `leaf`, reach the disk, and then take its name in one
// step: whoever looks, at any moment, finds the old file or the new one whole. A link standing
// at the name is replaced, never written through.
bool ReplaceAt(int folder, const std::string& leaf, const void* bytes, int64_t size) {
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = TemporaryName();
        fd = ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = WriteAll(fd, static_cast<const uint8_t*>(bytes), size) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::renameat(folder, temporary.c_str(), folder, leaf.c_str()) == 0;
    if (!ok) {
        ::unlinkat(folder, temporary.c_str(), 0);
        return false;
    }
    ::fsync(folder);  // the new name itself survives a crash
    return true;
}

int OpenForReading(const char* path) {
    if (path == nullptr || *path == '\0') return -1;
    // Non-blocking, so a named pipe cannot stall the open; only regular files are accepted.
    const int fd = ::open(File_ToSystemPath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// --- text-mode streams -------------------------------------------------------------------

ssize_t TextRead(void* cookie, char* buffer, size_t size) {
    FILE* file = static_cast<FILE*>(cookie);
    size_t n = 0;
    while (n < size) {
        int c = std::fgetc(file);
        if (c == EOF) break;
        if (c == '\r') {
            const int next = std::fgetc(file);
            if (next == '\n')
                c = '\n';
            else if (next != EOF)
                std::ungetc(next, file);
        }
        buffer[n++] = static_cast<char>(c);
    }
    return std::ferror(file) && n == 0 ? -1 : static_cast<ssize_t>(n);
}

ssize_t TextWrite(void* cookie, const char* buffer, size_t size) {
    FILE* file = static_cast<FILE*>(cookie);
    for (size_t i = 0; i < size; ++i) {
        if (buffer[i] == '\n' && std::fputc('\r', file) == EOF) return i == 0 ? -1 : static_cast<ssize_t>(i);
        if (std::fputc(buffer[i], file) == EOF) return i == 0 ? -1 : static_cast<ssize_t>(i);
    }
    return static_cast<ssize_t>(size);
}

int TextSeek(void* cookie, off64_t* offset, int whence) {
    FILE* file = static_cast<FILE*>(cookie);
    if (::fseeko(file, *offset, whence) != 0) return -1;
    *offset = ::ftello(file);
    return *offset < 0 ? -1 : 0;
}

int TextClose(void* cookie) {
    return std::fclose(static_cast<FILE*>(cookie));
}

}  // namespace

// --- roots -------------------------------------------------------------------------------

void LoadSave_SetBundleFolder(const char* folder) {
    SetRoot(&Roots::bundle, folder);
}
void LoadSave_SetWorkingFolder(const char* folder) {
    SetRoot(&Roots::working, folder);
}
void LoadSave_SetSaveArea(const char* folder) {
    SetRoot(&Roots::save, folder);
}
std::string LoadSave_GetBundleFolder() {
    return WithSlash(CurrentRoots().bundle);
}
std::string LoadSave_GetSaveArea() {
    return WithSlash(CurrentRoots().save);
}

std::string LoadSave_MakeSafeName(const char* gameName) {
    std::string name = gameName ? gameName : "";
    bool dotsOnly = true;
    for (char& c : name) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
        if (c != '.') dotsOnly = false;
    }
    if (dotsOnly) name.assign(name.size(), '_');
    return name;
}

std::string LoadSave_MakeSaveArea(const char* gameName, bool roaming) {
    const std::string name = LoadSave_MakeSafeName(gameName);
    if (name.empty()) return std::string();
    const std::string base =
        roaming ? BaseFolder("XDG_CONFIG_HOME", ".config") : BaseFolder("XDG_DATA_HOME", ".local/share");
    if (base.empty()) return std::string();
    return WithSlash(RootForm(base.c_str())) + name + "/";
}

std::string LoadSave_GetFullPath(const char* name) {
    if (name == nullptr || *name == '\0') return std::string();
    std::string path = File_ToSystemPath(name);
    if (path[0] != '/') {
        const std::string current = FileM_CurrentDirectory();
        if (current.empty()) return std::string();
        path = current + "/" + path;
    }
    std::vector<std::string_view> parts;
    std::string_view rest = path;
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string full;
    for (std::string_view part : parts) {
        full += '/';
        full += part;
    }
    if (full.empty()) return "/";
    if (path.back() == '/') full += '/';
    return full;
}

// --- allow-lists -------------------------------------------------------------------------

void LoadSave_AddAllowedPath(LoadSaveAllowList list, const char* path, bool prefix) {
    std::string full = RootForm(path);
    if (full.empty()) return;
    std::lock_guard lock(g_rootsAndListsMutex);
    g_allowed[list].insert(g_allowed[list].begin(), AllowedPath{std::move(full), prefix});
}

bool LoadSave_IsPathAllowed(LoadSaveAllowList list, const char* path) {
    return IsAllowed(list, LoadSave_GetFullPath(path), false);
}

bool LoadSave_IsPathAllowedPrefix(LoadSaveAllowList list, const char* path) {
    return IsAllowed(list, LoadSave_GetFullPath(path), true);
}

// --- resolvers ---------------------------------------------------------------------------

std::string LoadSave_GetBundlePath(const char* name) {
    const std::string full = LoadSave_GetFullPath(name);
    if (full.empty()) return std::string();
    const Roots roots = CurrentRoots();
    const std::string& bundle = roots.bundle;
    if (!bundle.empty()) {
        if (RestInside(full, bundle)) return full;
        if (auto rest = RestInside(full, FileM_CurrentDirectory())) return Join(bundle, *rest);
        if (auto rest = RestInside(full, roots.working)) return Join(bundle, *rest);
    }
    return IsAllowed(LOADSAVE_READ_LIST, full, false) ? full : std::string();
}

std::string LoadSave_GetSavePath(const char* name) {
    const std::string full = LoadSave_GetFullPath(name);
    if (full.empty()) return std::string();
    const bool picked = IsAllowed(LOADSAVE_WRITE_LIST, full, false);
    const Roots roots = CurrentRoots();
    const std::string& save = roots.save;
    std::string result;
    if (!save.empty()) {
        // A path already in the save area is itself, even when the area lies inside the current
        // or working folder (a home folder as current folder is common here).
        if (RestInside(full, save))
            result = full;
        else if (auto rest = RestInside(full, FileM_CurrentDirectory()))
            result = Join(save, *rest);
        else if (auto rest = RestInside(full, roots.working))
            result = Join(save, *rest);
    }
    if (!result.empty()) {
        if (picked) DebugConsole.Output("Warning! Save location - redirected to: '%s'\n", result.c_str());
        return result;
    }
    if (picked) return full;
    DebugConsole.Output("Error! not allowing save with filename '%s'\n", full.c_str());
    return std::string();
}

bool LoadSave_GetBundlePath(char* out, size_t size, const char* name) {
    return CopyOut(LoadSave_GetBundlePath(name), out, size);
}

bool LoadSave_GetSavePath(char* out, size_t size, const char* name) {
    const std::string path = LoadSave_GetSavePath(name);
    if (CopyOut(path, out, size)) return true;
    if (!path.empty()) DebugConsole.Output("Error! not allowing save with filename '%s'\n", path.c_str());
    return false;
}

// --- whole files -------------------------------------------------------------------------

void* LoadSave_ReadWholeFile(const char* path, int64_t* outSize) {
    const int fd = OpenForReading(path);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_size < 0 || st.st_size > kMaxWholeFileBytes) {
        ::close(fd);
        return nullptr;
    }
    const int64_t size = st.st_size;
    auto* block = static_cast<uint8_t*>(MEM_ALLOC(size > 0 ? size : 1));
    int64_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, block + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            MEM_FREE(block);
            return nullptr;
        }
        if (n == 0) break;  // the file shrank since it was measured
        done += n;
    }
    ::close(fd);
    if (outSize) *outSize = done;
    return block;
}

bool LoadSave_CanOpenFile(const char* path) {
    const int fd = OpenForReading(path);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

void* LoadSave_ReadSaveFile(const char* name, int64_t* outSize) {
    return LoadSave_ReadWholeFile(LoadSave_GetSavePath(name).c_str(), outSize);
}

void* LoadSave_ReadBundleFile(const char* name, int64_t* outSize) {
    return LoadSave_ReadWholeFile(LoadSave_GetBundlePath(name).c_str(), outSize);
}

bool LoadSave_SaveFileExists(const char* name) {
    return LoadSave_CanOpenFile(LoadSave_GetSavePath(name).c_str());
}

bool LoadSave_BundleFileExists(const char* name) {
    return LoadSave_CanOpenFile(LoadSave_GetBundlePath(name).c_str());
}

bool LoadSave_WriteFile(const char* name, const void* bytes, int64_t size) {
    if (size < 0 || (bytes == nullptr && size > 0)) return false;
    const std::string path = LoadSave_GetSavePath(name);
    return !path.empty() && LoadSave_WritePath(path, bytes, size);
}

bool LoadSave_DeleteFile(const char* name) {
    const std::string path = LoadSave_GetSavePath(name);
    return !path.empty() && LoadSave_DeletePath(path);
}

bool LoadSave_WritePath(const std::string& path, const void* bytes, int64_t size) {
    std::string leaf;
    const Folder folder(OpenParent(path, true, &leaf));
    return folder.Get() >= 0 && ReplaceAt(folder.Get(), leaf, bytes, size);
}

bool LoadSave_CanCreatePath(const std::string& path) {
    if (path.size() >= PATH_MAX) return false;
    std::string leaf;
    const Folder folder(OpenParent(path, true, &leaf));
    if (folder.Get() < 0 || leaf.size() > NAME_MAX) return false;
    struct stat st;
    return ::fstatat(folder.Get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode);
}

int64_t LoadSave_FileSize(const char* path) {
    struct stat st;
    if (path == nullptr || *path == '\0' || ::stat(File_ToSystemPath(path).c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return -1;
    return st.st_size;
}

bool LoadSave_DeletePath(const std::string& path) {
    std::string leaf;
    const Folder folder(OpenParent(path, false, &leaf));
    struct stat st;
    if (folder.Get() < 0 || ::fstatat(folder.Get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        S_ISDIR(st.st_mode))
        return false;
    return ::unlinkat(folder.Get(), leaf.c_str(), 0) == 0;
}

bool LoadSave_MovePathNoReplace(const std::string& from, const std::string& to) {
    std::string fromLeaf, toLeaf;
    const Folder fromFolder(OpenParent(from, false, &fromLeaf));
    const Folder toFolder(OpenParent(to, false, &toLeaf));
    if (fromFolder.Get() < 0 || toFolder.Get() < 0) return false;
    return FileM_MoveNoReplaceAt(fromFolder.Get(), fromLeaf.c_str(), toFolder.Get(), toLeaf.c_str());
}

bool LoadSave_CreateFolderPath(const std::string& path) {
    std::string leaf;
    const Folder parent(OpenParent(path, true, &leaf));
    if (parent.Get() < 0) return false;
    const Folder made(OpenChildFolder(parent.Get(), leaf, true));
    return made.Get() >= 0;
}

bool LoadSave_DestroyFolderPath(const std::string& path) {
    std::string leaf;
    const Folder parent(OpenParent(path, false, &leaf));
    return parent.Get() >= 0 && Directory_DeleteAt(parent.Get(), leaf.c_str());
}

FILE* LoadSave_wfopen(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr || *path == '\0') return nullptr;
    const std::string native = File_ToSystemPath(path);
    std::string systemMode;
    for (const char* m = mode; *m; ++m) {
        if (*m != 't') systemMode += *m;
    }
    if (std::strchr(mode, 'b')) return std::fopen(native.c_str(), systemMode.c_str());
    FILE* file = std::fopen(native.c_str(), (systemMode + "b").c_str());
    if (file == nullptr) return nullptr;
    const cookie_io_functions_t text{TextRead, TextWrite, TextSeek, TextClose};
    FILE* stream = ::fopencookie(file, systemMode.c_str(), text);
    if (stream == nullptr) std::fclose(file);
    return stream;
}

bool File_CreateDirectoryForFile(const char* path) {
    if (path == nullptr) return false;
    const std::string native = File_ToSystemPath(path);
    const size_t slash = native.rfind('/');
    if (slash == std::string::npos) return false;
    if (slash == 0) return true;  // a file of the root folder
    if (native[0] != '/') return File_CreateDirectories(native.substr(0, slash).c_str());
    // In the save area no link on the way is followed.
    std::string leaf;
    const Folder folder(OpenParent(native.back() == '/' ? native + "-" : native, true, &leaf));
    return folder.Get() >= 0;
}

void LoadSave_Init() {}

void LoadSave_ReadIntoStream(CStream* stream, const char* name, int64_t skip) {
    int64_t size = 0;
    void* block = nullptr;
    if (LoadSave_SaveFileExists(name))
        block = LoadSave_ReadSaveFile(name, &size);
    else if (LoadSave_BundleFileExists(name))
        block = LoadSave_ReadBundleFile(name, &size);
    stream->AdoptFileBytes(static_cast<uint8_t*>(block), size, skip);
}
