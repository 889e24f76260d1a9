// options.ini beside the game data file: orientation, debug and trace switches (section
// "DEFAULT") and the display settings (section "Windows"). Switches the command line set
// explicitly stay as it set them.
#pragma once

#include <string>

class IniFile;

// The options file for a data-file path: everything from its last "/" (else its last "\")
// replaced by "/options.ini"; empty when the path has neither separator.
std::string Options_IniPath(const char* dataFilePath);

// Looks for options.ini beside the data file ("Checking if INIFile %s Exists\n"), keeps it
// open for the run and reads it; a missing file is only logged ("!!!!No INI File %s\n").
void Options_LoadForGame(const char* dataFilePath);
// The open options file of this turn, or null.
IniFile* Options_GetIniFile();
// Closes the options file at the end of a turn.
void Options_Close();

// Both sections; the "Windows" section first. A null file does nothing.
void Options_ReadIni(const IniFile* ini);
void Options_ReadWindowsIni(const IniFile* ini);
