// The frame loop: waits for each frame's slot and runs one game step.
#pragma once

void MainLoop_Frame();
