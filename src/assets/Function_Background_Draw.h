// The draw_background family. In legacy games it draws backgrounds of the background table; in
// layer-mode games backgrounds are sprites, and the same index draws frame 0 of that sprite.
#pragma once

// Registers the rows of the background drawing built-ins.
void InitBackgroundDrawFunctions();
