// The texture and UV built-ins: the texture behind a sprite frame, a background or a font, handed
// to game code as a texture handle with the UVs of its rectangle, and the texture settings.
#pragma once

#include <cstdint>

#include "core/Value_Array.h"

// Registers the rows of the texture and UV built-ins.
void InitTextureFunctions();
