// Plugs the game world into the loader and the instance core: the "OBJT", "ROOM" and "TMLN"
// readers, and the answers instances ask of objects, rooms and the frame loop.
#pragma once

// Called once per turn before the data file is read.
void GameWorld_Init();
