// Events and creation code whose game logic is written elsewhere in the game's units; until
// then each is an event with an empty source: it runs and pushes no node.
#include "game/Game_Functions.h"

#define HVS_EMPTY_EVENT(name) \
    void name(CInstance*, CInstance*) {}

