#include "core/ErrorDialog.h"

#include <atomic>

#include "core/Console.h"
#include "core/Thread.h"
#include "platform/ErrorBox.h"

ErrorDialogRecord g_ErrorDialog;

namespace {
std::atomic<void (*)()> g_messagePump{nullptr};
std::atomic<IErrorBox*> g_box{nullptr};

void PumpMessages() {
    if (void (*pump)() = g_messagePump.load()) pump();
}
}  // namespace

void ErrorDialog_SetMessagePump(void (*pump)()) {
    g_messagePump.store(pump);
}

IErrorBox* ErrorDialog_SetBox(IErrorBox* box) {
    return g_box.exchange(box);
}

int ErrorDialog_Show() {
    // Give the game window a moment to catch up before a modal box covers it.
    Thread_Sleep(100);
    PumpMessages();
    Thread_Sleep(100);
    PumpMessages();

    IErrorBox* replaced = g_box.load();
    IErrorBox& box = replaced ? *replaced : ErrorBox_System();
    const bool ignoreAllowed = g_ErrorDialog.ignoreAllowed;
    for (;;) {
        const char* shown = g_ErrorDialog.text ? g_ErrorDialog.text : " ";
        switch (box.Show("Code Error", shown, ignoreAllowed)) {
            case ErrorBoxChoice::Abort:
                return 1;
            case ErrorBoxChoice::Ignore:
                if (ignoreAllowed) return 0;
                break;
            case ErrorBoxChoice::Copy:
                if (g_ErrorDialog.text) box.CopyToClipboard(g_ErrorDialog.text);
                break;
            case ErrorBoxChoice::Clear:
                g_ErrorDialog.text = nullptr;
                break;
            case ErrorBoxChoice::Closed:
                break;  // only "Abort" and "Ignore" end the dialog
            case ErrorBoxChoice::Unavailable:
                DebugConsole.Output("Error dialog could not be shown (%s): aborting\n", box.LastFailure());
                return 1;
        }
    }
}
