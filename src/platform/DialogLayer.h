// Native dialogs where this machine can show them. Where it cannot (no display, or no
// helper program) every dialog answers as if the player cancelled it.
#pragma once

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
