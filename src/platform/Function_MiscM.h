// The system's side of the miscellaneous built-ins: the clipboard (through SDL) and the
// scheduling priority of the process.
#pragma once

#include <cstdint>
#include <string>

// True when the clipboard holds text. Without a display there is no clipboard: false.
bool Clipboard_HasText();
// Empties the clipboard, then puts the UTF-8 text on it unless the text is empty. False when
// there is no clipboard.
bool Clipboard_SetText(const char* utf8);
// The clipboard's text as UTF-8; empty when it holds none or there is no clipboard.
std::string Clipboard_GetText();

// Levels -3 (lowest) to 3 (highest) of the process and the calling thread; any other level
// is normal. A level the system refuses (raising it needs privileges) leaves the priority.
void Process_SetPriority(int32_t level);
