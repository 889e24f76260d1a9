// Character-based search and deletion on UTF-8 text, shared by the string built-ins.
#pragma once

#include <cstdint>

// 0-based character index of the first occurrence of needle in text; -1 when absent or when
// either text is null or empty.
int32_t String_FindChar(const char* needle, const char* text);
// Deletes count characters from the 1-based character position, in place. A position
// outside the text or a count of 0 or less changes nothing.
void String_DeleteChars(char* text, int32_t position, int32_t count);
