// The table of paths: the game's paths from the "PATH" chunk and those added at run time.
// Slots are never reused: a deleted path leaves its slot empty and the count unchanged.
#pragma once

#include <cstdint>

#include "world/Path_Class.h"

class ChunkView;

// Frees every path and name and empties the table.
void Path_Init();
// Reads the "PATH" chunk into the table.
void Path_Load(ChunkView& chunk);
int32_t Path_Count();
bool Path_Exists(int32_t index);
// Null out of range or for an empty slot.
CPath* Path_Get(int32_t index);
// "<undefined>" for an empty slot or an index out of range.
const char* Path_GetName(int32_t index);
// The lowest index holding a path of exactly this name, or -1.
int32_t Path_FindByName(const char* name);
// A new empty path named "__newpath<index>"; answers its index.
int32_t Path_Add();
// -1 unless the slot holds a path; else the index of the copy.
int32_t Path_Duplicate(int32_t index);
bool Path_Assign(int32_t target, int32_t source);
bool Path_Delete(int32_t index);
// At shutdown.
void Path_FreeAll();

// Registers the "PATH" chunk reader.
void Path_InstallChunkReader();
// draw_path's entry: draws the path when it exists.
void Path_Draw(int32_t index, float x, float y, bool absolute);
