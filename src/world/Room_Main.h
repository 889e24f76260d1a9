// The room table: definitions read from "ROOM" or made at run time, their names, the room
// order from the header and the id counters of instances and tiles.
#pragma once

#include <cstdint>

#include "world/Room_Class.h"

// Empty table and order (before the chunks are read); resets the display mapping.
void Room_Init();
// The "ROOM" reader.
void Room_Load(ChunkView& chunk);
// The room order of the general header.
void Room_SetOrder();
void Room_SetLastInstanceID(int32_t id);
void Room_SetLastTileID(int32_t id);
// "Room_Prepare() ": nothing to do; true.
bool Room_Prepare();

int32_t Room_Count();
bool Room_Exists(int32_t index);
CRoom* Room_Get(int32_t index);
const char* Room_GetName(int32_t index);
int32_t Room_FindByName(const char* name);

// The first and last rooms of the order (-1 for an empty order), and the neighbours of a room
// in the order (-1 when there is none).
int32_t Room_First();
int32_t Room_Last();
int32_t Room_Previous(int32_t room);
int32_t Room_Next(int32_t room);

int32_t Room_Add();
// -1 when the index names no room. The copy owns its records; no instances are made.
int32_t Room_Duplicate(int32_t index);
// The target becomes a copy of the source's definition (records included); false unless both
// name rooms. No instances are made until the room is entered.
bool Room_Assign(int32_t index, int32_t source);

// Shutdown: every definition destroyed, order and names freed.
void Room_FreeAll();

// The id counters: a new instance takes ++last instance id, a new tile ++last tile id.
int32_t Room_NextInstanceID();
int32_t Room_NextTileID();
int32_t Room_LastInstanceID();
int32_t Room_LastTileID();
