// Saved games: the run state, the globals, every working room with its instances, tiles,
// backgrounds and views, and the virtual keys, written as typed buffer values to a file in the
// save area or into a game buffer. A load is only queued; the step performs it at its very
// start, so no event is running while instances are replaced. A queued save is read through
// once before anything is touched: a damaged or foreign one leaves the running game as it was.
#pragma once

#include <cstdint>

class CRoom;
class IBuffer;
struct RoomBackground;
struct RoomTile;
struct RoomView;

constexpr int32_t GAME_SAVE_VERSION = 851;
constexpr int32_t GAME_SAVE_FILE_BUFFER_SIZE = 0x20000;

// game_save / action_save_game; false when nothing was written.
bool GameSave_File(const char* name);
// game_save_buffer: the four blocks at the buffer's position; false when the index names none.
bool GameSave_Buffer(int32_t index);
// game_load / action_load_game: queues the file's contents.
void GameLoad_File(const char* name);
// game_load_buffer: queues the buffer, read from its position; false when refused.
bool GameLoad_QueueBuffer(int32_t index);
// Start of the step: performs the queued load; false when none was queued or it failed.
bool GameLoad_PerformQueued();
// The version the last load read (0 before any).
int32_t GameLoad_LastVersion();
// Forgets a queued load and frees the file-load buffer (end of a turn, tests).
void GameLoad_ClearQueue();

// The blocks and records, in the order the file holds them.
void GameSave_WriteHeader(IBuffer* buffer);
void GameSave_WriteRooms(IBuffer* buffer);
void RoomBackground_Save(const RoomBackground& background, IBuffer* buffer);
bool RoomBackground_Load(RoomBackground& background, IBuffer* buffer);
void RoomView_Save(const RoomView& view, IBuffer* buffer);
bool RoomView_Load(RoomView& view, IBuffer* buffer);
void RoomTile_Save(const RoomTile& tile, IBuffer* buffer);
bool RoomTile_Load(RoomTile& tile, IBuffer* buffer);
