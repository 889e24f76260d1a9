// The command line: split into tokens (kept for parameter_count and parameter_string) and
// turned into the run-time switches of g_Switches and the game data-file path.
#pragma once

#include <cstdint>

#include "core/CommandLine_Tokens.h"

// Resets the per-turn switches, then (for a text) rebuilds the token list and acts on every
// option it knows. Unknown tokens are only kept in the list.
void CommandLine_Parse(const char* text);

// Leading decimal integer after optional blanks and sign (0 when there is none), clamped to
// 32 bits.
int32_t CommandLine_ReadInt(const char* text);

// Lets the player pick a game file. A new text (memory manager), or null when cancelled,
// headless, or where no dialog can be shown.
char* Runner_ChooseGameFile();
