// The runner program's link record: the compiled game with its data file, made at build time
// and linked into the program.
#include "game/Game_Link.h"

extern "C" const uint8_t hvs_embedded_data[];
extern "C" const uint8_t hvs_embedded_data_end[];

asm(".section .rodata\n"
    ".balign 16\n"
    ".globl hvs_embedded_data\n"
    "hvs_embedded_data:\n"
    ".incbin \"" HV_GAME_DATA_FILE
    "\"\n"
    ".globl hvs_embedded_data_end\n"
    "hvs_embedded_data_end:\n"
    ".previous\n");

GameLinkRecord* Game_FillLinkRecord(GameLinkRecord* record) {
    const auto size = static_cast<uint32_t>(hvs_embedded_data_end - hvs_embedded_data);
    return Game_FillCompiledRecord(record, hvs_embedded_data, size);
}
