// Plugs the game world into the loader and the instance core: the "OBJT", "ROOM" and "TMLN"
// readers, the answers instances ask of objects, rooms and the frame loop, and the names the
// error report gives the running event.
#pragma once

// Called once per turn before the data file is read.
void GameWorld_Init();
