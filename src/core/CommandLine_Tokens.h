// The command line's token list, kept for parameter_count and parameter_string: the tokens
// of the last parse, split at blanks and control characters with double quotes grouping words.
#pragma once

#include <cstddef>

constexpr int kCommandLineMaxTokens = 100;       // the token list keeps the first 100
constexpr size_t kCommandLineTokenBytes = 4096;  // a token keeps at most 4095 bytes

// Takes the token that starts at or after the position: the blanks and control characters
// before it are skipped, double quotes group words and are dropped. Leaves the token in the
// token buffer, appends a copy to the token list and returns the position after it. With
// nothing left the buffer is empty, no token is added and the position of the end returns.
size_t CommandLine_NextToken(size_t position, const char* text);
// The token buffer: the token the last CommandLine_NextToken took.
const char* CommandLine_CurrentToken();

// Empties the token list.
void CommandLine_ClearTokens();

int CommandLine_TokenCount();
// Null for an index outside the list.
const char* CommandLine_Token(int index);
