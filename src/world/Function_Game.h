// The game-world built-ins: motion, collision and position queries, instances made, copied,
// changed, destroyed, activated and deactivated, motion planning and grids, rooms, saved
// games and the pure geometry tests; and the entries the compiled game calls directly.
#pragma once

#include <cstdint>

class CInstance;

// Registers the 94 rows in their fixed order.
void InitGameFunctions();

bool Game_PlaceFreeDirect(CInstance* self, float x, float y);
// The new instance's id, or -1.
int32_t Game_InstanceCreateDirect(float x, float y, int32_t object);
void Game_InstanceDestroyDirect(CInstance* instance);
bool Game_InstanceExistsDirect(CInstance* self, CInstance* other, int32_t filter);

// The id of the n-th instance of the current room's active list, or -4.
int32_t Instance_IdAt(int32_t n);
