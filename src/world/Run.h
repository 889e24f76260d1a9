// Room transitions and the run state of one game: entering and leaving rooms with their
// events, carrying persistent instances, keeping persistent rooms, ending the game.
#pragma once

#include <cstdint>

#include "base/RunState.h"

class CInstance;
class CRoom;


// The room being played (null between games) and its index.
CRoom* Run_Room();
int32_t Run_RoomIndex();
void Run_SetCurrentRoom(CRoom* room);
// The working room kept in a slot (the current one, or a persistent room left behind).
CRoom* Run_WorkingRoom(int32_t index);
// Game load: destroys every working room and sizes the table to count empty slots; a room
// placed in a slot is owned by the table; the slot's room becomes the current one (null when
// the slot is empty).
void Run_ReplaceWorkingRooms(int32_t count);
void Run_PlaceWorkingRoom(int32_t index, CRoom* room);
void Run_SelectWorkingRoom(int32_t index);
int32_t Run_WorkingRoomCount();
// Sizes the working-room table to the number of rooms with every slot empty, and empties the
// carried list (game start).
void Run_ResetWorkingRooms();

// Starts the game: event lists, run state, the first room of the room order (and, once, the
// room its start asked for). Also the restart of a running game.
void StartGame();
// Requests the end of the game at the end of the frame (-100).
void Run_RequestEnd();

// Enters a room; gameStart for the first room of a game.
void Room_Start(int32_t index, bool gameStart);
// Leaves the current room; gameEnd when the whole game ends.
void Room_End(bool gameEnd);
void SwitchRoom(int32_t index);
void EndGame();
// Acts on a pending game load (-300).
void Run_LoadGameNow();

void Run_InitGlobals();
// Frees what one turn of the restart loop held: captions, options, the data-file path, cached
// folders; returns the run state's sizes and ids to their sentinels.
void Run_FreeGlobals();
// Empties the pending object-change and depth lists.
void Run_ClearPendingLists();
// Deletes the carried copies of persistent instances and frees the list.
void Run_FreePersistentInstances();

// The collector's roots held here: the instances of every working room (a persistent room
// that is not current keeps its instances out of the id table) and the carried copies.
struct GCMarkContext;
void Run_MarkRoots(GCMarkContext& marker);

// Clears every reference to an object about to be deleted from the instances of the working
// rooms and the carried list.
class CObjectHV;
void Run_ForgetObject(const CObjectHV* object);
