// The tilemap built-ins: tilemap elements on layers, their settings and cells, drawing them now,
// and the tile-data helpers that build and read cell values.
#include <cstdint>
#include <cstdio>

#include "core/Console.h"
#include "core/Instance.h"
#include "room/Function_Layer.h"
#include "room/Function_Layer_Internal.h"
#include "room/Layer_Tilemap.h"

using namespace layer_fn;

namespace {

TilemapDrawProc g_drawTilemap = nullptr;
TileDrawProc g_drawTile = nullptr;

LayerTilemapElement* TilemapArg(RValue* args, CLayer** layer = nullptr) {
    return ElementArg<LayerTilemapElement>(args, 0, eLayerElement_Tilemap, layer);
}

// The tilemap of argument 0, or its "couldn't find" line on the console.
LayerTilemapElement* TilemapOrSay(RValue* args, const char* name, CLayer** layer = nullptr) {
    LayerTilemapElement* tilemap = TilemapArg(args, layer);
    if (tilemap == nullptr) SayFor(name, "() - couldn't find specified tilemap\n");
    return tilemap;
}

// The calling instance's depth, where tiles drawn now go.
float CallerDepth(const CInstance* self) {
    return self != nullptr ? self->depth : 0.0f;
}

// --- tilemaps on layers ----------------------------------------------------------------------

LAYER_BUILTIN(layer_tilemap_get_id) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_tilemap_get_id" LAYER_WRONG_COUNT)) return;
    CLayer* layer = LayerArg(TargetRoom(), args, 0);
    if (layer == nullptr) {
        Say("layer_tilemap_get_id() - specified tilemap not found\n");
        return;
    }
    Result_SetReal(result, ElementNamedLikeLayer(layer, eLayerElement_Tilemap));
}

LAYER_BUILTIN(layer_tilemap_exists) {
    Result_SetReal(result, 0.0);
    if (!CountIs(argc, 2, "layer_tilemap_exists" LAYER_WRONG_COUNT)) return;
    CLayer* layer = LayerArg(TargetRoom(), args, 0);
    if (layer == nullptr) {
        Say("layer_tilemap_exists() - specified tilemap not found\n");
        return;
    }
    Result_SetFlag(result, LayerHoldsElementOfKind(layer, Arg_GetInt32(args, 1), eLayerElement_Tilemap));
}

LAYER_BUILTIN(layer_tilemap_create) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 6, "layer_tilemap_create" LAYER_WRONG_COUNT)) return;
    CRoom* room = TargetRoom();
    CLayer* layer = LayerArg(room, args, 0);
    if (layer == nullptr) {
        Say("layer_tilemap_create() - could not find specified layer in current room\n");
        return;
    }
    LayerTilemapElement* tilemap = LayerElement_NewTilemap();
    if (tilemap == nullptr) return;
    tilemap->x = Arg_GetFloat(args, 1);
    tilemap->y = Arg_GetFloat(args, 2);
    tilemap->tileSet = Arg_GetInt32(args, 3);
    const int32_t width = Arg_GetInt32(args, 4);
    const int32_t height = Arg_GetInt32(args, 5);
    // A size that is negative or beyond what a cell block can hold makes no tilemap.
    if (!Tilemap_AllocateCells(tilemap, width, height)) {
        LayerElement_Discard(tilemap);
        DebugConsole.Output("layer_tilemap_create() - invalid tilemap size %d x %d\n", width, height);
        return;
    }
    tilemap->width = width;
    tilemap->height = height;
    Result_SetReal(result, AddCreated(room, layer, tilemap));
}

LAYER_BUILTIN(layer_tilemap_destroy) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_tilemap_destroy" LAYER_WRONG_COUNT)) return;
    DestroyElement(args);
}

// --- settings --------------------------------------------------------------------------------

#define TILEMAP_SETTER(name, store) \
    LAYER_BUILTIN(name) { \
        SetField( \
            result, argc, args, #name LAYER_WRONG_COUNT, [](RValue* a) { return TilemapArg(a); }, \
            [](LayerTilemapElement* tilemap, RValue* a) { store; }); \
    }
#define TILEMAP_GETTER(name, read) \
    LAYER_BUILTIN(name) { \
        GetField( \
            result, argc, args, #name LAYER_WRONG_COUNT, [](RValue* a) { return TilemapArg(a); }, -1.0, \
            [](const LayerTilemapElement* tilemap) { return static_cast<double>(read); }); \
    }

TILEMAP_SETTER(tilemap_tileset, tilemap->tileSet = Arg_GetInt32(a, 1))
TILEMAP_SETTER(tilemap_x, tilemap->x = Arg_GetFloat(a, 1))
TILEMAP_SETTER(tilemap_y, tilemap->y = Arg_GetFloat(a, 1))
TILEMAP_GETTER(tilemap_get_tileset, tilemap->tileSet)
TILEMAP_GETTER(tilemap_get_width, tilemap->width)
TILEMAP_GETTER(tilemap_get_height, tilemap->height)
TILEMAP_GETTER(tilemap_get_x, tilemap->x)
TILEMAP_GETTER(tilemap_get_y, tilemap->y)

// The tile set's tile width or height; its absence goes to the error dialog.
void TileSize(RValue& result, int32_t argc, RValue* args, const char* name, bool width) {
    Result_SetReal(result, -1.0);
    char countMessage[96];
    snprintf(countMessage, sizeof countMessage, "%s" LAYER_WRONG_COUNT, name);
    if (!CountIs(argc, 1, countMessage)) return;
    const LayerTilemapElement* tilemap = TilemapArg(args);
    if (tilemap == nullptr) return;
    TileSetInfo info;
    if (!TileSet_Get(tilemap->tileSet, &info)) {
        char message[96];
        snprintf(message, sizeof message, "%s() - could not find tileset for this map", name);
        Show(message);
        return;
    }
    Result_SetReal(result, width ? info.tileWidth : info.tileHeight);
}

LAYER_BUILTIN(tilemap_get_tile_width) {
    TileSize(result, argc, args, "tilemap_get_tile_width", true);
}
LAYER_BUILTIN(tilemap_get_tile_height) {
    TileSize(result, argc, args, "tilemap_get_tile_height", false);
}

LAYER_BUILTIN(tilemap_set_mask) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 2, "tilemap_set_mask" LAYER_WRONG_COUNT)) return;
    if (LayerTilemapElement* tilemap = TilemapOrSay(args, "tilemap_set_mask"))
        tilemap->mask = Arg_GetUInt32(args, 1);
}
LAYER_BUILTIN(tilemap_get_mask) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "tilemap_get_mask" LAYER_WRONG_COUNT)) return;
    if (const LayerTilemapElement* tilemap = TilemapOrSay(args, "tilemap_get_mask"))
        Result_SetUnsigned(result, tilemap->mask);
}
LAYER_BUILTIN(tilemap_get_frame) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "tilemap_get_frame" LAYER_WRONG_COUNT)) return;
    if (const LayerTilemapElement* tilemap = TilemapOrSay(args, "tilemap_get_frame"))
        Result_SetReal(result, tilemap->frame);
}
LAYER_BUILTIN(tilemap_set_global_mask) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "tilemap_set_global_mask" LAYER_WRONG_COUNT)) return;
    TileGlobalMask = Arg_GetUInt32(args, 0);
}
LAYER_BUILTIN(tilemap_get_global_mask) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 0, "tilemap_get_global_mask" LAYER_WRONG_COUNT)) return;
    Result_SetUnsigned(result, TileGlobalMask);
}

// --- cells -----------------------------------------------------------------------------------

// The console line of a refused cell access; false for a cell that was read or written.
bool SayCellStatus(const char* name, TilemapCellStatus status, const char* corrupted) {
    switch (status) {
        case TILEMAP_CELL_OK:
            return false;
        case TILEMAP_CELL_NO_CELLS:
            Show(corrupted);
            break;
        case TILEMAP_CELL_X_NEGATIVE:
            SayFor(name, "() - x coordinate smaller than 0\n");
            break;
        case TILEMAP_CELL_X_TOO_LARGE:
            SayFor(name, "() - x coordinate larger than tilemap width\n");
            break;
        case TILEMAP_CELL_Y_NEGATIVE:
            SayFor(name, "() - y coordinate smaller than 0\n");
            break;
        case TILEMAP_CELL_Y_TOO_LARGE:
            SayFor(name, "() - y coordinate larger than tilemap height\n");
            break;
        case TILEMAP_CELL_BAD_INDEX:
            SayFor(name, "() - tile index outside tile set count\n");
            break;
    }
    return true;
}

// The tile count of the map's tile set; -1 (no index test) when the tile set does not exist.
int32_t TileCountOf(const LayerTilemapElement* tilemap) {
    TileSetInfo info;
    return TileSet_Get(tilemap->tileSet, &info) ? info.tileCount : -1;
}

LAYER_BUILTIN(tilemap_set) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 4, "tilemap_set() - wrong number of arguments\n")) return;
    LayerTilemapElement* tilemap = TilemapOrSay(args, "tilemap_set");
    if (tilemap == nullptr) return;
    const TileCell data = Arg_GetUInt32(args, 1);
    const TilemapCellStatus status =
        Tilemap_SetCell(tilemap, data, Arg_GetInt32(args, 2), Arg_GetInt32(args, 3), TileCountOf(tilemap));
    SayCellStatus("tilemap_set", status, "tilemap_set() - tilemap element corrupted\n");
}

LAYER_BUILTIN(tilemap_get) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 3, "tilemap_get" LAYER_WRONG_COUNT)) return;
    const LayerTilemapElement* tilemap = TilemapOrSay(args, "tilemap_get");
    if (tilemap == nullptr) return;
    TileCell cell = 0;
    const TilemapCellStatus status =
        Tilemap_GetCell(tilemap, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), &cell);
    if (!SayCellStatus("tilemap_get", status, "tilemap_get() - tilemap element corrupted"))
        Result_SetUnsigned(result, cell);
}

// The texts of one pixel built-in.
struct PixelRow {
    const char* name;
    const char* corrupted;
    const char* noTileSet;
};
const PixelRow kSetAtPixel = {"tilemap_set_at_pixel", "tilemap_set_at_pixel() - tilemap element corrupted\n",
                              "tilemap_set_at_pixel() - could not find tileset for this map\n"};
const PixelRow kGetAtPixel = {"tilemap_get_at_pixel", "tilemap_get_at_pixel() - tilemap element corrupted",
                              "tilemap_get_at_pixel() - could not find tileset for this map"};
const PixelRow kCellXAtPixel = {"tilemap_get_cell_x_at_pixel",
                                "tilemap_get_cell_x_at_pixel() - tilemap element corrupted",
                                "tilemap_get_cell_x_at_pixel() - could not find tileset for this map"};
const PixelRow kCellYAtPixel = {"tilemap_get_cell_y_at_pixel",
                                "tilemap_get_cell_y_at_pixel() - tilemap element corrupted",
                                "tilemap_get_cell_y_at_pixel() - could not find tileset for this map"};

// The cell under room pixel (args[xArg], args[yArg]) of the tilemap of argument 0, as computed
// (not clamped); false, after the row's complaint or silently outside the map.
struct PixelCell {
    LayerTilemapElement* tilemap = nullptr;
    TileSetInfo tileSet;
    int32_t column = 0, row = 0;
};
bool CellUnderPixel(RValue* args, int32_t xArg, const PixelRow& texts, PixelCell* out) {
    CLayer* layer = nullptr;
    out->tilemap = TilemapArg(args, &layer);
    if (out->tilemap == nullptr || layer == nullptr) {
        SayFor(texts.name, "() - couldn't find specified tilemap\n");
        return false;
    }
    if (out->tilemap->cells == nullptr) {
        Show(texts.corrupted);
        return false;
    }
    if (!TileSet_Get(out->tilemap->tileSet, &out->tileSet)) {
        Show(texts.noTileSet);
        return false;
    }
    return Tilemap_PixelToCell(out->tilemap, layer, out->tileSet.tileWidth, out->tileSet.tileHeight,
                               Arg_GetFloat(args, xArg), Arg_GetFloat(args, xArg + 1), &out->column,
                               &out->row);
}

LAYER_BUILTIN(tilemap_set_at_pixel) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 4, "tilemap_set_at_pixel" LAYER_WRONG_COUNT)) return;
    PixelCell cell;
    if (!CellUnderPixel(args, 2, kSetAtPixel, &cell)) return;
    const TileCell data = Arg_GetUInt32(args, 1);
    if (TileCell_GetIndex(data) >= static_cast<uint32_t>(cell.tileSet.tileCount)) {
        Say("tilemap_set_at_pixel() - tile index outside tile set count\n");
        return;
    }
    Tilemap_ClampCell(cell.tilemap, &cell.column, &cell.row);
    Tilemap_SetCell(cell.tilemap, data, cell.column, cell.row, cell.tileSet.tileCount);
}

LAYER_BUILTIN(tilemap_get_at_pixel) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 3, "tilemap_get_at_pixel" LAYER_WRONG_COUNT)) return;
    PixelCell cell;
    if (!CellUnderPixel(args, 1, kGetAtPixel, &cell)) return;
    Tilemap_ClampCell(cell.tilemap, &cell.column, &cell.row);
    TileCell data = 0;
    if (Tilemap_GetCell(cell.tilemap, cell.column, cell.row, &data) == TILEMAP_CELL_OK)
        Result_SetUnsigned(result, data);
}

LAYER_BUILTIN(tilemap_get_cell_x_at_pixel) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 3, "tilemap_get_cell_x_at_pixel" LAYER_WRONG_COUNT)) return;
    PixelCell cell;
    if (CellUnderPixel(args, 1, kCellXAtPixel, &cell)) Result_SetReal(result, cell.column);
}

LAYER_BUILTIN(tilemap_get_cell_y_at_pixel) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 3, "tilemap_get_cell_y_at_pixel" LAYER_WRONG_COUNT)) return;
    PixelCell cell;
    if (CellUnderPixel(args, 1, kCellYAtPixel, &cell)) Result_SetReal(result, cell.row);
}

LAYER_BUILTIN(tilemap_clear) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 2, "tilemap_clear" LAYER_WRONG_COUNT)) return;
    LayerTilemapElement* tilemap = TilemapArg(args);
    if (tilemap != nullptr && !Tilemap_Clear(tilemap, Arg_GetUInt32(args, 1)))
        Show("tilemap_clear() - tilemap element corrupted");
}

// --- drawing now -----------------------------------------------------------------------------

LAYER_BUILTIN(tilemap_draw) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 3, "tilemap_draw" LAYER_WRONG_COUNT)) return;
    LayerTilemapElement* tilemap = TilemapOrSay(args, "tilemap_draw");
    if (tilemap == nullptr) return;
    if (tilemap->cells == nullptr) {
        Show("tilemap_draw() - tilemap element corrupted");
        return;
    }
    if (g_drawTilemap != nullptr)
        g_drawTilemap(tilemap, Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), CallerDepth(self));
}

LAYER_BUILTIN(draw_tile) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 5, "draw_tile" LAYER_WRONG_COUNT)) return;
    const int32_t tileSet = Arg_GetInt32(args, 0);
    TileSetInfo info;
    if (!TileSet_Get(tileSet, &info)) {
        Say("draw_tile() - couldn't find specified tilemap\n");
        return;
    }
    const TileCell data = Arg_GetUInt32(args, 1);
    if (TileCell_GetIndex(data) >= static_cast<uint32_t>(info.tileCount)) {
        Say("draw_tile() - tile index outside tile set count\n");
        return;
    }
    if (g_drawTile != nullptr)
        g_drawTile(tileSet, data & TileGlobalMask & kTileDefaultMask, Arg_GetInt32(args, 2),
                   Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), CallerDepth(self));
}

// --- tile data -------------------------------------------------------------------------------

// The tile-data rows: cell values in and out as signed 32-bit numbers.
template <typename Make>
void TileData(RValue& result, int32_t argc, int32_t expected, const char* countMessage, Make make) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, expected, countMessage)) return;
    Result_SetReal(result, static_cast<int32_t>(make()));
}

#define TILE_DATA(name, count, countName, expression) \
    LAYER_BUILTIN(name) { \
        TileData(result, argc, count, #countName LAYER_WRONG_COUNT, [args]() -> uint32_t { \
            const TileCell data = static_cast<TileCell>(Arg_GetInt32(args, 0)); \
            return expression; \
        }); \
    }

TILE_DATA(tile_set_empty, 1, tile_set_empty, TileCell_SetEmpty(data))
TILE_DATA(tile_set_index, 2, tile_set_index,
          TileCell_SetIndex(data, static_cast<uint32_t>(Arg_GetInt32(args, 1))))
TILE_DATA(tile_set_mirror, 2, tile_set_mirror, TileCell_SetBit(data, kTileMirrorBit, Arg_GetBool(args, 1)))
TILE_DATA(tile_set_flip, 2, tile_set_flip, TileCell_SetBit(data, kTileFlipBit, Arg_GetBool(args, 1)))
TILE_DATA(tile_set_rotate, 2, tile_set_rotate, TileCell_SetBit(data, kTileRotateBit, Arg_GetBool(args, 1)))
TILE_DATA(tile_get_empty, 1, tilemap_tile_get_empty, TileCell_IsEmpty(data) ? 1u : 0u)
TILE_DATA(tile_get_index, 1, tilemap_tile_get_index, TileCell_GetIndex(data))
TILE_DATA(tile_get_flip, 1, tilemap_tile_get_flip, TileCell_GetBit(data, kTileFlipBit) ? 1u : 0u)
TILE_DATA(tile_get_mirror, 1, tilemap_tile_get_mirror, TileCell_GetBit(data, kTileMirrorBit) ? 1u : 0u)
TILE_DATA(tile_get_rotate, 1, tilemap_tile_get_rotate, TileCell_GetBit(data, kTileRotateBit) ? 1u : 0u)

const BuiltinRow kRows[] = {
    LAYER_ROW(layer_tilemap_get_id, 1),
    LAYER_ROW(layer_tilemap_exists, 2),
    LAYER_ROW(layer_tilemap_create, 6),
    LAYER_ROW(layer_tilemap_destroy, 1),
    LAYER_ROW(tilemap_tileset, 2),
    LAYER_ROW(tilemap_x, 2),
    LAYER_ROW(tilemap_y, 2),
    LAYER_ROW(tilemap_set, 4),
    LAYER_ROW(tilemap_set_at_pixel, 4),
    LAYER_ROW(tilemap_get_tileset, 1),
    LAYER_ROW(tilemap_get_tile_width, 1),
    LAYER_ROW(tilemap_get_tile_height, 1),
    LAYER_ROW(tilemap_get_width, 1),
    LAYER_ROW(tilemap_get_height, 1),
    LAYER_ROW(tilemap_get_x, 1),
    LAYER_ROW(tilemap_get_y, 1),
    LAYER_ROW(tilemap_get, 3),
    LAYER_ROW(tilemap_get_at_pixel, 3),
    LAYER_ROW(tilemap_get_cell_x_at_pixel, 3),
    LAYER_ROW(tilemap_get_cell_y_at_pixel, 3),
    LAYER_ROW(tilemap_clear, 2),
    LAYER_ROW(tilemap_draw, 3),
    LAYER_ROW(tilemap_set_global_mask, 1),
    LAYER_ROW(tilemap_get_global_mask, 0),
    LAYER_ROW(tilemap_set_mask, 2),
    LAYER_ROW(tilemap_get_mask, 1),
    LAYER_ROW(tilemap_get_frame, 1),
    LAYER_ROW(draw_tile, 5),
    LAYER_ROW(tile_set_empty, 1),
    LAYER_ROW(tile_set_index, 2),
    LAYER_ROW(tile_set_flip, 2),
    LAYER_ROW(tile_set_mirror, 2),
    LAYER_ROW(tile_set_rotate, 2),
    LAYER_ROW(tile_get_empty, 1),
    LAYER_ROW(tile_get_index, 1),
    LAYER_ROW(tile_get_flip, 1),
    LAYER_ROW(tile_get_mirror, 1),
    LAYER_ROW(tile_get_rotate, 1),
};
static_assert(sizeof(kRows) / sizeof(kRows[0]) == 38);

}  // namespace

void LayerFunctions_SetTileDrawing(TilemapDrawProc drawTilemap, TileDrawProc drawTile) {
    g_drawTilemap = drawTilemap;
    g_drawTile = drawTile;
}

void InitTilemapRows() {
    Code_Function_AddRows(kRows);
}
