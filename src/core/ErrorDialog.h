// The error dialog: shows a run-time error and lets the player abort the game or ignore the error.
#pragma once

class IErrorBox;

// Filled by the error reporter before the dialog is shown.
struct ErrorDialogRecord {
    const char* text = nullptr;  // UTF-8, owned by the error reporter; null once cleared
    bool ignoreAllowed = false;
};

extern ErrorDialogRecord g_ErrorDialog;

// Shows the dialog for g_ErrorDialog until the player aborts (1) or ignores (0). "Copy" puts the
// text on the clipboard and "Clear" forgets it; neither ends the dialog. With no way to show a
// dialog (no display) the answer is abort.
int ErrorDialog_Show();

// The runner's message pump, run before the dialog opens so that the window is up to date.
void ErrorDialog_SetMessagePump(void (*pump)());
// Replaces the box the dialog is shown in (tests); null puts the system's box back. Returns the
// box installed before (null for the system's).
IErrorBox* ErrorDialog_SetBox(IErrorBox* box);
