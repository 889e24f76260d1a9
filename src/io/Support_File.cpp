#include "io/Support_File.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include "core/CommandLine_Tokens.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "io/LoadSave.h"
#include "platform/HostOS.h"

namespace {

constexpr auto kProgramPollInterval = std::chrono::milliseconds(50);

void (*g_messagePump)() = nullptr;
std::string g_tempDirectory;
std::vector<std::string> g_tempFiles;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Both separators count: a name built from a folder and a "\"-joined tail still splits right.
size_t LastSeparator(std::string_view path) {
    return path.find_last_of("\\/");
}

char* NewText(std::string_view text) {
    auto* out = static_cast<char*>(MEM_ALLOC(text.size() + 1));
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    return out;
}

std::string_view DirectoryPart(std::string_view path) {
    const size_t sep = LastSeparator(path);
    return sep == std::string_view::npos || sep == 0 ? std::string_view() : path.substr(0, sep);
}

std::string_view NamePart(std::string_view path) {
    const size_t sep = LastSeparator(path);
    return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

std::string_view ExtensionPart(std::string_view path) {
    const std::string_view name = NamePart(path);
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string_view DrivePart(std::string_view path) {
    if (path.size() < 2 || path[1] != ':') return std::string_view();
    const char c = path[0];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ? path.substr(0, 2) : std::string_view();
}

// The folder of a bare name: where the save area, else the bundle, holds the file.
std::string FolderOfExistingFile(const char* name) {
    std::string resolved;
    if (LoadSave_SaveFileExists(name))
        resolved = LoadSave_GetSavePath(name);
    else if (LoadSave_BundleFileExists(name))
        resolved = LoadSave_GetBundlePath(name);
    return std::string(DirectoryPart(resolved));
}

// The folder part a filename_path or filename_dir result starts from, and the separator the
// path itself uses after it.
std::string FolderForFilename(const char* path, char& separator) {
    const std::string_view view = path;
    const std::string_view folder = DirectoryPart(view);
    if (!folder.empty()) {
        separator = view[folder.size()];
        return std::string(folder);
    }
    separator = '/';
    return FolderOfExistingFile(path);
}

std::string CurrentFolderOr(const char* folder) {
    return folder && *folder ? File_ToSystemPath(folder) : FileM_CurrentDirectory();
}

}  // namespace

// --- parts of a path ---------------------------------------------------------------------

const char* File_FindLastChar(const char* text, char c) {
    // Separators and other ASCII characters never occur inside a UTF-8 sequence, so a byte
    // search from the end steps over whole characters.
    return text ? std::strrchr(text, c) : nullptr;
}

char* File_GetDirectory(const char* path) {
    return NewText(path ? DirectoryPart(path) : std::string_view());
}
char* File_GetName(const char* path) {
    return NewText(path ? NamePart(path) : std::string_view());
}
char* File_GetDrive(const char* path) {
    return NewText(path ? DrivePart(path) : std::string_view());
}
char* File_GetExtension(const char* path) {
    return NewText(path ? ExtensionPart(path) : std::string_view());
}

void File_StripTrailingSeparator(char* path) {
    if (path == nullptr) return;
    const size_t len = std::strlen(path);
    if (len > 1 && IsSeparator(path[len - 1])) path[len - 1] = '\0';
}

// --- folders and programs ----------------------------------------------------------------

bool File_CreateDirectories(const char* path) {
    if (path == nullptr || *path == '\0') return false;
    std::string folder = File_ToSystemPath(path);
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder == "/" || folder == DrivePart(folder) || Directory_Exists(folder.c_str())) return true;
    // Each missing folder from the outermost in; one made meanwhile by someone else counts too.
    for (size_t sep = folder.find('/', 1);; sep = folder.find('/', sep + 1)) {
        const std::string step = folder.substr(0, sep);
        if (!Directory_Exists(step.c_str()) && !File_CreateDirectory(step.c_str()) &&
            !Directory_Exists(step.c_str())) {
            return false;
        }
        if (sep == std::string::npos) return true;
    }
}

char* File_GetCurrentDirectory() {
    return NewText(FileM_CurrentDirectory());
}

std::vector<std::string> File_SplitArguments(const char* text) {
    std::vector<std::string> args;
    if (text == nullptr) return args;
    const char* p = text;
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == '\0') return args;
        std::string arg;
        bool quoted = false;
        while (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) {
            size_t slashes = 0;
            while (*p == '\\') {
                ++slashes;
                ++p;
            }
            if (*p == '"') {
                // 2n backslashes and a quote: n backslashes and a quote that groups;
                // 2n+1: n backslashes and a literal quote.
                arg.append(slashes / 2, '\\');
                if (slashes % 2)
                    arg += '"';
                else
                    quoted = !quoted;
                ++p;
            } else {
                arg.append(slashes, '\\');
                if (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) arg += *p++;
            }
        }
        args.push_back(std::move(arg));
    }
}

bool File_ExecuteShell(const char* file, const char* parameters, const char* folder) {
    if (file == nullptr || *file == '\0') return false;
    const std::string where = CurrentFolderOr(folder);
    std::string target = File_ToSystemPath(file);
    if (target.find('/') == std::string::npos && FileM_IsExecutableFile((where + "/" + target).c_str())) {
        target = where + "/" + target;
    }
    std::vector<std::string> argv;
    if (target.find('/') != std::string::npos && FileM_IsExecutableFile(target.c_str())) {
        argv.push_back(target);
        for (std::string& a : File_SplitArguments(parameters)) argv.push_back(std::move(a));
    } else {
        argv = {"xdg-open", file};
    }
    return FileM_StartProcess(argv, where) > 0;
}

bool File_ExecuteProgram(const char* program, const char* arguments, const char* folder, bool wait) {
    if (program == nullptr || *program == '\0') return false;
    std::vector<std::string> argv{File_ToSystemPath(program)};
    for (std::string& a : File_SplitArguments(arguments)) argv.push_back(std::move(a));
    const int64_t process = FileM_StartProcess(argv, CurrentFolderOr(folder));
    if (process <= 0) return false;
    while (wait && FileM_ProcessRunning(process)) {
        if (g_messagePump) g_messagePump();
        std::this_thread::sleep_for(kProgramPollInterval);
    }
    return true;
}

void File_SetMessagePump(void (*pump)()) {
    g_messagePump = pump;
}

// --- temporary folder --------------------------------------------------------------------

void File_InitTempDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    g_tempDirectory = tmp && *tmp ? tmp : "/tmp";
}

const char* File_GetTempDirectory() {
    return g_tempDirectory.c_str();
}

void File_AddTempFile(const char* path) {
    if (path && *path) g_tempFiles.emplace_back(path);
}

void File_CleanTempDirectory() {
    for (const std::string& file : g_tempFiles) FileM_DeleteFile(file.c_str());
    g_tempFiles.clear();
}

// --- built-in behaviours -----------------------------------------------------------------

std::string Filename_Name(const char* path) {
    return path ? std::string(NamePart(path)) : std::string();
}
std::string Filename_Drive(const char* path) {
    return path ? std::string(DrivePart(path)) : std::string();
}
std::string Filename_Ext(const char* path) {
    return path ? std::string(ExtensionPart(path)) : std::string();
}

bool Filename_Path(const char* path, std::string& out) {
    if (path == nullptr) return false;
    char separator = '/';
    const std::string folder = FolderForFilename(path, separator);
    out = folder.empty() ? std::string() : folder + separator;
    return true;
}

bool Filename_Dir(const char* path, std::string& out) {
    if (path == nullptr) return false;
    char separator = '/';
    out = FolderForFilename(path, separator);
    if (out.size() > 1 && IsSeparator(out.back())) out.pop_back();
    return true;
}

std::string Filename_ChangeExt(const char* path, const char* extension) {
    if (path == nullptr) return std::string();
    const std::string_view view = path;
    const std::string_view ext = extension ? extension : "";
    const size_t nameStart = view.size() - NamePart(view).size();
    const size_t dot = view.rfind('.');
    if (dot != std::string_view::npos && dot >= nameStart)
        return std::string(view.substr(0, dot)) + std::string(ext);
    if (!ext.empty() && ext[0] != '.') return std::string(view) + "." + std::string(ext);
    return std::string(view) + std::string(ext);
}

int Execute_Program(const char* program, const char* arguments, bool wait) {
    if (File_ExecuteProgram(program, arguments ? arguments : "", nullptr, wait)) return 0;
    DebugConsole.Output("Cannot execute %s\n", program ? program : "");
    return -1;
}

int Execute_Shell(const char* file, const char* parameters) {
    if (file == nullptr) return 0;
    if (File_ExecuteShell(file, parameters, nullptr)) return 0;
    DebugConsole.Output("Cannot execute %s\n", file);
    return -1;
}

int Parameters_Count() {
    return CommandLine_TokenCount();
}

const char* Parameters_String(int index) {
    if (index < 0 || index >= Parameters_Count()) return "";
    const char* token = CommandLine_Token(index);
    return token != nullptr ? token : "";
}

std::string Environment_GetVariable(const char* name) {
    std::string value;
    if (name == nullptr || *name == '\0' || !HostOS_GetEnv(name, value)) return std::string();
    return value;
}
