// The built-ins through which a game talks to the player outside the game world: splash and
// info stubs, message, question and input dialogs, the high-score table, file-name dialogs,
// keyboard and mouse housekeeping, and stubs for hardware this platform lacks.
#pragma once

#include <cstdint>

// Sets the window caption to the game's display name and registers the rows in their order
// (the joystick rows only for games whose header major version is below 2).
void Function_Interaction_Init();

// keyboard_check: 0 no key held, 1 any key held, 2..255 that key held; else 0.
bool Interaction_KeyboardCheck(int32_t key);

// The high-score table drawn in the box: names at the left edge, values against the right.
void Interaction_DrawHighscore(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
