// Tilemaps and tile cells: the cell bits, reading and writing cells with their range checks, and
// the pixel to cell mapping shared by the tilemap built-ins and the drawing.
#pragma once

#include <cstdint>

#include "room/Layer_Manager.h"

// --- cell bits -----------------------------------------------------------------------------
// Clears bits 0-18 and ORs in the index unmasked: a larger index spills into the higher bits.
inline TileCell TileCell_SetIndex(TileCell cell, uint32_t index) {
    return (cell & ~kTileIndexMask) | index;
}
inline TileCell TileCell_SetEmpty(TileCell cell) {
    return cell & ~kTileIndexMask;
}
inline TileCell TileCell_SetBit(TileCell cell, uint32_t bit, bool on) {
    return on ? (cell | bit) : (cell & ~bit);
}
inline uint32_t TileCell_GetIndex(TileCell cell) {
    return cell & kTileIndexMask;
}
inline bool TileCell_IsEmpty(TileCell cell) {
    return (cell & kTileIndexMask) == 0;
}
inline bool TileCell_GetBit(TileCell cell, uint32_t bit) {
    return (cell & bit) != 0;
}
// What a cell draws as under the tilemap's mask and the global one.
inline TileCell TileCell_Masked(TileCell cell, uint32_t mapMask) {
    return cell & mapMask & TileGlobalMask;
}

// --- tile sets -----------------------------------------------------------------------------
struct TileSetInfo {
    int32_t tileWidth = 0, tileHeight = 0;
    int32_t tileCount = 0;
    int32_t framesPerTile = 1;
    int64_t frameTime = 0;  // microseconds per animation frame
};
// False when no background with a tile set has that index.
bool TileSet_Get(int32_t tileSet, TileSetInfo* out);

// --- cells ---------------------------------------------------------------------------------
enum TilemapCellStatus : int32_t {
    TILEMAP_CELL_OK = 0,
    TILEMAP_CELL_NO_CELLS,     // the element has no cell array ("tilemap element corrupted")
    TILEMAP_CELL_X_NEGATIVE,   // "x coordinate smaller than 0"
    TILEMAP_CELL_X_TOO_LARGE,  // "x coordinate larger than tilemap width"
    TILEMAP_CELL_Y_NEGATIVE,   // "y coordinate smaller than 0"
    TILEMAP_CELL_Y_TOO_LARGE,  // "y coordinate larger than tilemap height"
    TILEMAP_CELL_BAD_INDEX,    // "tile index outside tile set count"
};

// A new zeroed cell block of width x height cells for the element (its old owned cells freed);
// false (no cells) for a size that is negative or too large to hold.
bool Tilemap_AllocateCells(LayerTilemapElement* tilemap, int32_t width, int32_t height);
void Tilemap_FreeCells(LayerTilemapElement* tilemap);
TilemapCellStatus Tilemap_GetCell(const LayerTilemapElement* tilemap, int32_t x, int32_t y, TileCell* out);
// tileCount < 0 writes without the index test (the tile set does not exist).
TilemapCellStatus Tilemap_SetCell(LayerTilemapElement* tilemap, TileCell data, int32_t x, int32_t y,
                                  int32_t tileCount);
// Every cell = data; false when the element has no cells.
bool Tilemap_Clear(LayerTilemapElement* tilemap, TileCell data);

// The column and row under room pixel (x, y) of a tilemap on `layer` (its offset is added to the
// map's position); false outside the map. The column and row are as computed, not clamped.
bool Tilemap_PixelToCell(const LayerTilemapElement* tilemap, const CLayer* layer, int32_t tileWidth,
                         int32_t tileHeight, float x, float y, int32_t* column, int32_t* row);
// Clamps a column and row to the map, for reading and writing the cell under a pixel.
void Tilemap_ClampCell(const LayerTilemapElement* tilemap, int32_t* column, int32_t* row);
