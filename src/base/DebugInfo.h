// The debug-information file beside the data file (".pwdebug"): per code entry its line table
// and source text, and per instance the debugger's record. A file that does not hold what it
// says is ignored as a whole: the game runs without debug information.
#pragma once

#include <cstdint>

// Takes a copy of the file. False when it was not read (wrong length or a bad table).
bool DebugInfo_Load(const uint8_t* data, uint32_t size);
void DebugInfo_Free();

bool DebugInfo_Present();
// The line table of code entry `index`: `count` words, read as (code offset, source position)
// pairs. False when there is none.
bool DebugInfo_LineTable(uint32_t index, const int32_t** words, uint32_t* count);
// The source text of code entry `index`, or null.
const char* DebugInfo_Source(uint32_t index);
uint32_t DebugInfo_InstanceCount();
// The file offset of instance record `index` inside the debug file, and the file's base.
uint32_t DebugInfo_InstanceOffset(uint32_t index);
const uint8_t* DebugInfo_Base();
uint32_t DebugInfo_Size();
