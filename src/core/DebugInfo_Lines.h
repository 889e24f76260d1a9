// Source lines of bytecode: a code object's debug table maps code offsets to positions in its
// source text, and these turn a position into a line number and the line's text.
#pragma once

#include <cstdint>

struct VMBuffer;

// One pair of a debug table.
struct DebugInfoEntry {
    int32_t codeOffset;
    int32_t sourcePosition;  // byte offset into the source text
};

// The last pair whose code offset is not above the given offset; null for no table, an empty
// one, or one whose first pair lies above the offset.
const DebugInfoEntry* DebugInfo_FindEntry(const VMBuffer* table, int32_t codeOffset);

// The line (from 1) of the pair's position. A line "#line NAME N" states that the line after
// it is line N of file NAME; with fileOut given, NAME comes back there in a block of the
// process heap (free() it), or null when no directive applies. -1 without a pair or text.
int32_t DebugInfo_GetLine(const DebugInfoEntry* entry, const char* source, char** fileOut);

// The text of the pair's line, without its line break, at most 255 bytes, in one shared
// buffer that the next call overwrites; "<unknown source line>" without a pair.
const char* DebugInfo_GetLineText(const DebugInfoEntry* entry, const char* source);
