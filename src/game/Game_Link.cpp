// The link record of a program that carries no compiled game: no embedded data, no code. The
// runner then reads the game data file from disk. A program with a compiled game links its own
// record in place of this one.
#include <cstring>

#include "runner/LoadGame.h"

__attribute__((weak)) GameLinkRecord* Game_FillLinkRecord(GameLinkRecord* record) {
    std::memset(record, 0, sizeof *record);
    return record;
}
