// Fills the debug overlay's slots that reach above the device layer: the pointer it reads
// for its tap sequences and switches, and the no-drawing mode.
#pragma once

void Overlay_InstallHooks();
