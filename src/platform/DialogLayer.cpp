#include "platform/DialogLayer.h"

#include <SDL.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/DialogWindow.h"
#include "platform/QuitSignals.h"

namespace {
bool EnvSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// The file dialogs come from zenity; a missing program means no dialog.
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

// A helper program started with the arguments (no shell), its standard output on a pipe.
struct Child {
    pid_t pid = -1;
    int output = -1;
};

Child Spawn(const std::string& program, const std::vector<std::string>& args) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return {};
    }
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // a dialog never outlives the runner
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    return {child, pipeFds[0]};
}

// Reads what the pipe holds now; false once it is at its end (or broken).
bool Drain(int fd, std::string& out) {
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got > 0) {
            out.append(chunk, static_cast<size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

bool ExitedWell(int status) {
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs the program to its end and collects its output; true when it answered OK.
bool RunAndCapture(const std::string& program, const std::vector<std::string>& args, std::string& out) {
    const QuitSignals_ModalWait modal;
    Child child = Spawn(program, args);
    if (child.pid < 0) return false;
    Drain(child.output, out);
    close(child.output);
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    return ExitedWell(status);
}

void TrimLineEnd(std::string& text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
}

// Messages and questions fit SDL's own message box, which needs no helper program.
PlatformDialogAnswer SdlBox(const PlatformDialogRequest& request) {
    const QuitSignals_ModalWait modal;
    PlatformDialogAnswer answer;
    if (request.kind == PlatformDialogKind::Message) {
        answer.accepted = SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, request.caption.c_str(),
                                                   request.text.c_str(), nullptr) == 0;
        return answer;
    }
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {0, 0, "No"},
    };
    const SDL_MessageBoxData box = {SDL_MESSAGEBOX_INFORMATION,
                                    nullptr,
                                    request.caption.c_str(),
                                    request.text.c_str(),
                                    2,
                                    buttons,
                                    nullptr};
    int pressed = 0;
    answer.accepted = SDL_ShowMessageBox(&box, &pressed) == 0 && pressed == 1;
    return answer;
}

bool OwnWindowFits(const PlatformDialogRequest& request) {
    return request.kind == PlatformDialogKind::Input || request.kind == PlatformDialogKind::Login;
}

class DesktopDialogs : public PlatformDialogBackend {
public:
    PlatformDialogAnswer Ask(const PlatformDialogRequest& request) override {
        if (!PlatformDialog_HaveDisplay()) return {};
        return OwnWindowFits(request) ? DialogWindow_Run(request) : SdlBox(request);
    }

    void Open(const PlatformDialogRequest& request) override {
        DialogWindow_Close();
        m_ready = true;
        m_answer = {};
        if (!PlatformDialog_HaveDisplay()) return;
        if (OwnWindowFits(request)) {
            // Answered through Poll while the game runs on; Cancel when it cannot be shown.
            m_ready = !DialogWindow_Open(request);
            return;
        }
        // SDL's message box has no modeless form: it holds the game until it is answered.
        m_answer = SdlBox(request);
    }

    bool Poll(PlatformDialogAnswer& answer) override {
        if (DialogWindow_IsOpen()) return DialogWindow_Poll(answer);
        if (!m_ready) return false;
        answer = std::move(m_answer);
        m_ready = false;
        return true;
    }

    bool ChooseFile(const PlatformFileDialog& dialog, std::string& path) override {
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
        TrimLineEnd(chosen);
        if (chosen.empty()) return false;
        path = std::move(chosen);
        return true;
    }

private:
    PlatformDialogAnswer m_answer;
    bool m_ready = false;
};

DesktopDialogs g_desktop;
PlatformDialogBackend* g_backend = nullptr;
}  // namespace

bool PlatformDialog_HaveDisplay() {
    return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY");
}

PlatformDialogBackend& PlatformDialog_Backend() {
    return g_backend != nullptr ? *g_backend : g_desktop;
}

void PlatformDialog_SetBackend(PlatformDialogBackend* backend) {
    g_backend = backend;
}

bool PlatformDialog_ChooseOpenFile(const char* title, std::string& path) {
    PlatformFileDialog dialog;
    dialog.title = title ? title : "";
    dialog.filters.emplace_back("All Files (*.*)", "*");
    return PlatformDialog_ChooseFile(dialog, path);
}

bool PlatformDialog_ChooseFile(const PlatformFileDialog& dialog, std::string& path) {
    return PlatformDialog_Backend().ChooseFile(dialog, path);
}

bool PlatformDialog_ShowMessage(const char* title, const char* text) {
    PlatformDialogRequest request;
    request.kind = PlatformDialogKind::Message;
    request.caption = title ? title : "";
    request.text = text ? text : "";
    return PlatformDialog_Backend().Ask(request).accepted;
}

// --- the scripted form ------------------------------------------------------------------------

void ScriptedDialogs::AnswerOk(std::string text, std::string password) {
    PlatformDialogAnswer answer;
    answer.accepted = true;
    answer.text = std::move(text);
    answer.password = std::move(password);
    m_answers.push_back(std::move(answer));
}

void ScriptedDialogs::AnswerCancel() {
    m_answers.emplace_back();
}

void ScriptedDialogs::ChoosePath(std::string path) {
    m_paths.push_back(std::move(path));
}

PlatformDialogAnswer ScriptedDialogs::Next() {
    if (m_answers.empty()) return {};
    PlatformDialogAnswer answer = std::move(m_answers.front());
    m_answers.pop_front();
    return answer;
}

PlatformDialogAnswer ScriptedDialogs::Ask(const PlatformDialogRequest& request) {
    shown.push_back(request);
    return Next();
}

void ScriptedDialogs::Open(const PlatformDialogRequest& request) {
    shown.push_back(request);
    open = true;
}

bool ScriptedDialogs::Poll(PlatformDialogAnswer& answer) {
    if (!open) return false;
    open = false;
    answer = Next();
    return true;
}

bool ScriptedDialogs::ChooseFile(const PlatformFileDialog& dialog, std::string& path) {
    fileDialogs.push_back(dialog);
    path.clear();
    if (m_paths.empty()) return false;
    path = std::move(m_paths.front());
    m_paths.pop_front();
    return !path.empty();
}
