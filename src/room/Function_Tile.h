// The legacy tile built-ins: tiles of the current room by id, by position in its list and by
// depth (a tile layer is every tile of one depth).
#pragma once

// Registers the tile_* rows.
void InitTileFunctions();
