// The built-ins of room layers: layers, their background, sprite, tile and tilemap elements,
// tilemap cells and tile data, the target room and the forced drawing depth.
#pragma once

#include <cstdint>

struct LayerTilemapElement;

// Registers the 144 rows of the layer built-ins.
void InitLayerFunctions();

// What tilemap_draw and draw_tile draw with, installed by the layer drawing: a tilemap at
// (x, y) without its layer's offset, and one tile of a tile set, each at the given depth.
// Unset, the two built-ins check their arguments and draw nothing.
using TilemapDrawProc = void (*)(LayerTilemapElement* tilemap, float x, float y, float depth);
using TileDrawProc = void (*)(int32_t tileSet, uint32_t data, int32_t frame, float x, float y, float depth);
void LayerFunctions_SetTileDrawing(TilemapDrawProc drawTilemap, TileDrawProc drawTile);
