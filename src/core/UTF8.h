// Stepping through UTF-8 text one character at a time. Characters are 16-bit code points
// of one, two or three bytes, chosen by the lead byte alone; continuation bytes are taken
// as they come, but decoding never steps past a terminating zero.
#pragma once

#include <cstdint>

uint16_t UTF8_PeekChar(const char* text);
// Decodes at the cursor and advances it by 1, 2 or 3 bytes (fewer when the text ends).
uint16_t UTF8_GetChar(const char*& cursor);
uint16_t UTF8_GetChar(char*& cursor);
// Writes 1, 2 or 3 bytes and advances the cursor; no terminator.
void UTF8_PutChar(char*& cursor, uint32_t codePoint);
int32_t UTF8_CharSize(uint32_t codePoint);
// Characters before the terminating zero.
int32_t UTF8_Length(const char* text);
// 0 when equal ignoring ASCII case, else the difference of the first differing code points
// (as they are, not lower-cased).
int32_t UTF8_CompareNoCase(const char* a, const char* b);
// 0 when the first n characters are equal, else the difference at the first difference
// (a terminator counts as 0).
int32_t UTF8_CompareN(const char* a, const char* b, int32_t n);
// The first occurrence of needle in text, or null. An empty needle matches at the start of
// a non-empty text; an empty text never matches.
const char* UTF8_StrStr(const char* text, const char* needle);

float FloorFloat(float value);
float FModFloat(float a, float b);
// Installed where a callback is required but nothing is to be done.
void EmptyCallback(void* first, void* second);
