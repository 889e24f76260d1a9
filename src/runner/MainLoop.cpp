#include "runner/MainLoop.h"

// Frames come with the game loop; until then a turn has nothing to step.
void MainLoop_Frame() {}
