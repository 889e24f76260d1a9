// Native dialogs where this machine can show them. Where it cannot (no display, or no
// helper program) every dialog answers as if the player cancelled it.
//
// Every dialog goes through one backend: the desktop's own by default, or one a test or a
// headless run installs (ScriptedDialogs), so nothing above ever waits on a real window.
#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

// True when a display is there to show dialogs on.
bool PlatformDialog_HaveDisplay();

// Open-file dialog over every file. True with the chosen path (UTF-8, as the file system
// names it) in `path`; false when cancelled or when no dialog can be shown.
bool PlatformDialog_ChooseOpenFile(const char* title, std::string& path);

// The open or save dialog with its filters (a name and its ";"-separated patterns), a
// proposed file name and a starting folder. True with the chosen path.
struct PlatformFileDialog {
    bool save = false;
    std::string title, fileName, folder;
    std::vector<std::pair<std::string, std::string>> filters;
};
bool PlatformDialog_ChooseFile(const PlatformFileDialog& dialog, std::string& path);

// A modal message box with one button. False when it could not be shown.
bool PlatformDialog_ShowMessage(const char* title, const char* text);

// --- message, question, input and login dialogs ----------------------------------------------

enum class PlatformDialogKind { Input, Question, Message, Login };

struct PlatformDialogRequest {
    PlatformDialogKind kind = PlatformDialogKind::Message;
    std::string caption;   // the title bar
    std::string text;      // prompt, question or message
    std::string answer;    // the default answer; for a login, the default user name
    std::string password;  // login only: the default password
};

struct PlatformDialogAnswer {
    bool accepted = false;  // OK or Yes; false for Cancel, No, Escape and "could not be shown"
    std::string text;       // the typed answer; for a login, the user name
    std::string password;   // login only
};

class PlatformDialogBackend {
public:
    virtual ~PlatformDialogBackend() = default;
    // Runs a dialog to its end and answers it.
    virtual PlatformDialogAnswer Ask(const PlatformDialogRequest& request) = 0;
    // Opens a dialog that stays up while the game runs on; one at a time.
    virtual void Open(const PlatformDialogRequest& request) = 0;
    // True, with its answer, once the open dialog has been answered; the dialog is then closed.
    virtual bool Poll(PlatformDialogAnswer& answer) = 0;
    // The open or save dialog; false when cancelled.
    virtual bool ChooseFile(const PlatformFileDialog& dialog, std::string& path) = 0;
};

// The backend every dialog goes through.
PlatformDialogBackend& PlatformDialog_Backend();
// Installs a backend (borrowed, not owned); null restores the desktop's own.
void PlatformDialog_SetBackend(PlatformDialogBackend* backend);

// A backend that never shows anything: dialogs take the scripted answers in order, and once
// they run out every dialog is cancelled (No for a question). Used by tests and by "-headless".
class ScriptedDialogs : public PlatformDialogBackend {
public:
    void AnswerOk(std::string text = {}, std::string password = {});
    void AnswerCancel();
    // The next file dialog chooses this path; an empty path cancels it.
    void ChoosePath(std::string path);

    PlatformDialogAnswer Ask(const PlatformDialogRequest& request) override;
    void Open(const PlatformDialogRequest& request) override;
    bool Poll(PlatformDialogAnswer& answer) override;
    bool ChooseFile(const PlatformFileDialog& dialog, std::string& path) override;

    // What was shown, in order (Ask and Open both).
    std::vector<PlatformDialogRequest> shown;
    std::vector<PlatformFileDialog> fileDialogs;
    bool open = false;

private:
    PlatformDialogAnswer Next();
    std::deque<PlatformDialogAnswer> m_answers;
    std::deque<std::string> m_paths;
};
