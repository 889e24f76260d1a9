#include "base/RunState.h"

RunState g_RunState;
int32_t NewRoomCode = ROOM_NO_CHANGE;
