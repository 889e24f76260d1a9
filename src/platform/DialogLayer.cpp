#include "platform/DialogLayer.h"

#include <SDL.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
bool EnvSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// The file dialog comes from zenity; a missing program means no dialog.
std::string FindInPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    std::string dirs(path);
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start);
        if (!candidate.empty()) {
            candidate += '/';
            candidate += program;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return {};
}

// Runs the program with the arguments (no shell) and collects its standard output.
bool RunAndCapture(const std::string& program, const std::vector<std::string>& args, std::string& out) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return false;
    }
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    char chunk[4096];
    ssize_t got;
    while ((got = read(pipeFds[0], chunk, sizeof chunk)) != 0) {
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        out.append(chunk, static_cast<size_t>(got));
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
}  // namespace

bool PlatformDialog_HaveDisplay() {
    return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY");
}

bool PlatformDialog_ChooseOpenFile(const char* title, std::string& path) {
    path.clear();
    if (!PlatformDialog_HaveDisplay()) return false;
    const std::string zenity = FindInPath("zenity");
    if (zenity.empty()) return false;
    std::string chosen;
    const std::vector<std::string> args = {"--file-selection", std::string("--title=") + (title ? title : ""),
                                           "--file-filter=All Files (*.*) | *"};
    if (!RunAndCapture(zenity, args, chosen)) return false;
    while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r')) chosen.pop_back();
    if (chosen.empty()) return false;
    path = std::move(chosen);
    return true;
}

bool PlatformDialog_ChooseFile(const PlatformFileDialog& dialog, std::string& path) {
    path.clear();
    if (!PlatformDialog_HaveDisplay()) return false;
    const std::string zenity = FindInPath("zenity");
    if (zenity.empty()) return false;
    std::vector<std::string> args = {"--file-selection", std::string("--title=") + dialog.title};
    if (dialog.save) args.push_back("--save");
    if (!dialog.folder.empty() || !dialog.fileName.empty()) {
        std::string start = dialog.folder;
        if (!start.empty() && start.back() != '/') start += '/';
        args.push_back("--filename=" + start + dialog.fileName);
    }
    for (const auto& [name, patterns] : dialog.filters) {
        std::string filter = "--file-filter=" + name + " |";
        for (char c : patterns) filter += c == ';' ? ' ' : c;
        args.push_back(filter);
    }
    std::string chosen;
    if (!RunAndCapture(zenity, args, chosen)) return false;
    while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r')) chosen.pop_back();
    if (chosen.empty()) return false;
    path = std::move(chosen);
    return true;
}

bool PlatformDialog_ShowMessage(const char* title, const char* text) {
    if (!PlatformDialog_HaveDisplay()) return false;
    return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title ? title : "", text ? text : "",
                                    nullptr) == 0;
}
