// The input and login dialogs: a small window of our own with a prompt, one or two edit
// fields and OK / Cancel, drawn with FreeType into the window's own surface (never a GL
// context, so the game's stays current). Enter answers OK, Escape or closing answers Cancel,
// Tab moves between the login's fields and the password shows as '*'.
//
// The editing, the answer and the layout are plain functions over plain data, so they run
// without a display; only Open / Poll / Run and the event hook touch a window.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DialogLayer.h"

// --- one edit field ---------------------------------------------------------------------------

struct DialogEditField {
    std::string text;  // UTF-8
    size_t caret = 0;  // a byte offset, always on a character boundary
};

void DialogEdit_Insert(DialogEditField& field, std::string_view utf8);
void DialogEdit_Backspace(DialogEditField& field);  // the whole character before the caret
void DialogEdit_Delete(DialogEditField& field);     // the whole character after it
void DialogEdit_Left(DialogEditField& field);
void DialogEdit_Right(DialogEditField& field);
void DialogEdit_Home(DialogEditField& field);
void DialogEdit_End(DialogEditField& field);

// One '*' for every character (not byte) of the text.
std::string DialogEdit_Masked(std::string_view utf8);

// --- the dialog's state -----------------------------------------------------------------------

enum class DialogKey { Enter, Escape, Tab, Backspace, Delete, Left, Right, Home, End, Other };

struct DialogState {
    PlatformDialogKind kind = PlatformDialogKind::Input;
    DialogEditField fields[2];  // input: [0]; login: user, password
    int fieldCount = 1;
    int focus = 0;
    bool finished = false;
    bool accepted = false;
};

// The defaults filled in, the caret at their end, the first field focused.
DialogState DialogState_Start(const PlatformDialogRequest& request);
void DialogState_Key(DialogState& state, DialogKey key, bool shift = false);
void DialogState_Text(DialogState& state, std::string_view utf8);
// The answer once finished: the typed texts when accepted, nothing when cancelled.
PlatformDialogAnswer DialogState_Answer(const DialogState& state);
// What a field shows: the password masked.
std::string DialogState_Shown(const DialogState& state, int field);

// --- layout -----------------------------------------------------------------------------------

struct DialogRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

struct DialogLabel {
    int x = 0, y = 0;  // the top left of its line
    std::string text;
};

struct DialogLayout {
    int width = 0, height = 0;
    int lineHeight = 0;
    std::vector<DialogLabel> labels;
    std::vector<DialogRect> fields;
    DialogRect ok, cancel;
};

using DialogMeasure = std::function<int(std::string_view)>;

// The prompt broken into lines no wider than width: at its line breaks, then between words,
// and inside a word too long for a line. Long prompts stop after kDialogMaxPromptLines.
constexpr int kDialogMaxPromptLines = 16;
std::vector<std::string> DialogLayout_Wrap(std::string_view text, int width, const DialogMeasure& measure);
DialogLayout DialogLayout_Make(const PlatformDialogRequest& request, int lineHeight,
                               const DialogMeasure& measure);
// A click on a field focuses it; on a button it answers.
void DialogState_Click(DialogState& state, const DialogLayout& layout, int x, int y);

// --- the font ---------------------------------------------------------------------------------

// The first of the files that exists, or empty.
std::string DialogFont_Find(const std::vector<std::string>& candidates);
// Where Debian puts the fonts we draw with (fonts-dejavu-core first).
const std::vector<std::string>& DialogFont_Candidates();

// --- the window -------------------------------------------------------------------------------

// Opens the window (one at a time; an open one is closed unanswered). False when it cannot
// be shown: no display, no font, no window.
bool DialogWindow_Open(const PlatformDialogRequest& request);
// True, with the answer, once the open window was answered; the window is then closed.
bool DialogWindow_Poll(PlatformDialogAnswer& answer);
void DialogWindow_Close();
bool DialogWindow_IsOpen();
// Shows the window and waits for its answer while the game's window goes on receiving its
// events; a quit request cancels it and stays queued. Cancel when it cannot be shown.
PlatformDialogAnswer DialogWindow_Run(const PlatformDialogRequest& request);
// The event pump offers every SDL event here first: true when it was the dialog's.
bool DialogWindow_TakeEvent(const void* sdlEvent);
// The window's id for SDL events (0 while none is open); tests post events to it.
unsigned DialogWindow_Id();
