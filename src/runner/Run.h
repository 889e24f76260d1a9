// Room transitions and the run state of one game.
#pragma once

void EndGame();
// Frees what one turn of the restart loop held: options, the data-file path, cached folders.
void Run_FreeGlobals();
