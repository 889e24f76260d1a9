// The command line: split into tokens (kept for parameter_count and parameter_string) and
// turned into the run-time switches of g_Switches and the game data-file path.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kCommandLineMaxTokens = 100;       // the token list keeps the first 100
constexpr size_t kCommandLineTokenBytes = 4096;  // a token keeps at most 4095 bytes

// Takes the token that starts at or after the position: the blanks and control characters
// before it are skipped, double quotes group words and are dropped. Leaves the token in the
// token buffer, appends a copy to the token list and returns the position after it. With
// nothing left the buffer is empty, no token is added and the position of the end returns.
size_t CommandLine_NextToken(size_t position, const char* text);
// The token buffer: the token the last CommandLine_NextToken took.
const char* CommandLine_CurrentToken();

// Resets the per-turn switches, then (for a text) rebuilds the token list and acts on every
// option it knows. Unknown tokens are only kept in the list.
void CommandLine_Parse(const char* text);

int CommandLine_TokenCount();
// Null for an index outside the list.
const char* CommandLine_Token(int index);

// Leading decimal integer after optional blanks and sign (0 when there is none), clamped to
// 32 bits.
int32_t CommandLine_ReadInt(const char* text);

// Lets the player pick a game file. A new text (memory manager), or null when cancelled,
// headless, or where no dialog can be shown.
char* Runner_ChooseGameFile();
