// The legacy tile built-ins over the tiles of the current room. Depths are compared exactly as
// the 32-bit floats the tiles keep.
#include "room/Function_Tile.h"

#include <iterator>
#include <vector>

#include "assets/Background_Main.h"
#include "assets/Function_Texture.h"
#include "core/RuntimeError.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

#define BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)

int32_t TileCount(const CRoom* room) {
    return room ? room->tileCount : 0;
}

// The tile of the id in argument 0, or null after "Tile does not exist.".
RoomTile* TileArg(RValue* args) {
    const int32_t id = Arg_GetInt32(args, 0);
    CRoom* room = Run_Room();
    const int32_t index = room ? room->FindTile(id) : -1;
    if (index < 0) {
        Runtime_ErrorNonFatal("Tile does not exist.");
        return nullptr;
    }
    return &room->tiles[index];
}

// ---- tiles by id ---------------------------------------------------------------------------

BUILTIN(TileExists) {
    CRoom* room = Run_Room();
    Result_SetFlag(result, room && room->FindTile(Arg_GetInt32(args, 0)) >= 0);
}

BUILTIN(TileDelete) {
    const int32_t id = Arg_GetInt32(args, 0);
    CRoom* room = Run_Room();
    const int32_t index = room ? room->FindTile(id) : -1;
    if (index < 0) return Runtime_ErrorNonFatal("Tile does not exist.");
    room->DeleteTile(index);
}

// The getters answer 0 for a missing tile.
template <typename Field>
void Get(RValue& result, RValue* args, Field field) {
    const RoomTile* tile = TileArg(args);
    Result_SetReal(result, tile ? double(field(*tile)) : 0.0);
}

BUILTIN(TileGetX) {
    Get(result, args, [](const RoomTile& t) { return t.x; });
}
BUILTIN(TileGetY) {
    Get(result, args, [](const RoomTile& t) { return t.y; });
}
BUILTIN(TileGetLeft) {
    Get(result, args, [](const RoomTile& t) { return t.left; });
}
BUILTIN(TileGetTop) {
    Get(result, args, [](const RoomTile& t) { return t.top; });
}
BUILTIN(TileGetWidth) {
    Get(result, args, [](const RoomTile& t) { return t.width; });
}
BUILTIN(TileGetHeight) {
    Get(result, args, [](const RoomTile& t) { return t.height; });
}
BUILTIN(TileGetDepth) {
    Get(result, args, [](const RoomTile& t) { return t.depth; });
}
BUILTIN(TileGetVisible) {
    Get(result, args, [](const RoomTile& t) { return t.visible ? 1 : 0; });
}
BUILTIN(TileGetXscale) {
    Get(result, args, [](const RoomTile& t) { return t.xscale; });
}
BUILTIN(TileGetYscale) {
    Get(result, args, [](const RoomTile& t) { return t.yscale; });
}
BUILTIN(TileGetBlend) {
    Get(result, args, [](const RoomTile& t) { return t.blend; });
}
BUILTIN(TileGetAlpha) {
    Get(result, args, [](const RoomTile& t) { return t.alpha; });
}
BUILTIN(TileGetBackground) {
    Get(result, args, [](const RoomTile& t) { return t.background; });
}

BUILTIN(TileSetPosition) {
    RoomTile* tile = TileArg(args);
    if (!tile) return;
    tile->x = Arg_GetFloat(args, 1);
    tile->y = Arg_GetFloat(args, 2);
}

BUILTIN(TileSetVisible) {
    if (RoomTile* tile = TileArg(args)) tile->visible = Arg_GetBool(args, 1);
}

BUILTIN(TileSetBackground) {
    if (RoomTile* tile = TileArg(args)) tile->background = Arg_GetInt32(args, 1);
}

BUILTIN(TileSetRegion) {
    RoomTile* tile = TileArg(args);
    if (!tile) return;
    tile->left = Arg_GetInt32(args, 1);
    tile->top = Arg_GetInt32(args, 2);
    tile->width = Arg_GetInt32(args, 3);
    tile->height = Arg_GetInt32(args, 4);
}

BUILTIN(TileSetDepth) {
    if (RoomTile* tile = TileArg(args)) tile->depth = Arg_GetFloat(args, 1);
}

BUILTIN(TileSetScale) {
    RoomTile* tile = TileArg(args);
    if (!tile) return;
    tile->xscale = Arg_GetFloat(args, 1);
    tile->yscale = Arg_GetFloat(args, 2);
}

BUILTIN(TileSetBlend) {
    if (RoomTile* tile = TileArg(args)) tile->blend = Arg_GetInt32(args, 1);
}

BUILTIN(TileSetAlpha) {
    if (RoomTile* tile = TileArg(args)) tile->alpha = Arg_GetFloat(args, 1);
}

// ---- the tile list -------------------------------------------------------------------------

BUILTIN(TileGetCount) {
    Result_SetReal(result, TileCount(Run_Room()));
}

BUILTIN(TileGetId) {
    const int32_t index = Arg_GetInt32(args, 0);
    const CRoom* room = Run_Room();
    Result_SetReal(result, index >= 0 && index < TileCount(room) ? room->tiles[index].id : -1);
}

BUILTIN(TileGetIds) {
    const CRoom* room = Run_Room();
    if (TileCount(room) == 0) return;
    if (argc != 0) return Runtime_ErrorNonFatal("Incorrect argument count");
    std::vector<double> ids;
    for (int32_t i = 0; i < room->tileCount; ++i) ids.push_back(room->tiles[i].id);
    ReturnRealArray(result, int32_t(ids.size()), ids.data());
}

// A depth without tiles gives the one-element array [0].
BUILTIN(TileGetIdsAtDepth) {
    const float depth = Arg_GetFloat(args, 0);
    const CRoom* room = Run_Room();
    if (TileCount(room) == 0) return;
    std::vector<double> ids;
    for (int32_t i = 0; i < room->tileCount; ++i)
        if (room->tiles[i].depth == depth) ids.push_back(room->tiles[i].id);
    if (ids.empty()) ids.push_back(0);
    ReturnRealArray(result, int32_t(ids.size()), ids.data());
}

BUILTIN(TileAdd) {
    Result_SetReal(result, -1);
    const int32_t background = Arg_GetInt32(args, 0);
    if (!Background_Exists(background)) return Runtime_ErrorNonFatal("Background does not exist.");
    RoomTile tile;
    tile.background = background;
    tile.left = Arg_GetInt32(args, 1);
    tile.top = Arg_GetInt32(args, 2);
    tile.width = Arg_GetInt32(args, 3);
    tile.height = Arg_GetInt32(args, 4);
    tile.x = Arg_GetFloat(args, 5);
    tile.y = Arg_GetFloat(args, 6);
    tile.depth = Arg_GetFloat(args, 7);
    CRoom* room = Run_Room();
    if (!room) return;
    const int32_t index = room->AddTile(tile);
    Result_SetReal(result, room->tiles[index].id);
}

// ---- tile layers ---------------------------------------------------------------------------

template <typename Act>
void OnLayer(Act act) {
    if (CRoom* room = Run_Room()) act(*room);
}

BUILTIN(TileLayerHide) {
    const float depth = Arg_GetFloat(args, 0);
    OnLayer([&](CRoom& room) { room.HideTileLayer(depth); });
}

BUILTIN(TileLayerShow) {
    const float depth = Arg_GetFloat(args, 0);
    OnLayer([&](CRoom& room) { room.ShowTileLayer(depth); });
}

BUILTIN(TileLayerDelete) {
    const float depth = Arg_GetFloat(args, 0);
    OnLayer([&](CRoom& room) { room.DeleteTileLayer(depth); });
}

BUILTIN(TileLayerShift) {
    const float depth = Arg_GetFloat(args, 0), dx = Arg_GetFloat(args, 1), dy = Arg_GetFloat(args, 2);
    OnLayer([&](CRoom& room) { room.ShiftTileLayer(depth, dx, dy); });
}

BUILTIN(TileLayerDeleteAt) {
    const float depth = Arg_GetFloat(args, 0), x = Arg_GetFloat(args, 1), y = Arg_GetFloat(args, 2);
    OnLayer([&](CRoom& room) { room.DeleteTilesAt(depth, x, y); });
}

BUILTIN(TileLayerDepth) {
    const float depth = Arg_GetFloat(args, 0), newDepth = Arg_GetFloat(args, 1);
    OnLayer([&](CRoom& room) { room.SetTileLayerDepth(depth, newDepth); });
}

BUILTIN(TileLayerFind) {
    const float depth = Arg_GetFloat(args, 0), x = Arg_GetFloat(args, 1), y = Arg_GetFloat(args, 2);
    const CRoom* room = Run_Room();
    const int32_t index = room ? room->FindTileAt(depth, x, y) : -1;
    Result_SetReal(result, index >= 0 ? room->tiles[index].id : -1);
}

}  // namespace

void InitTileFunctions() {
    static const BuiltinRow kRows[] = {
        {"tile_exists", F_TileExists, 1},
        {"tile_delete", F_TileDelete, 1},
        {"tile_get_x", F_TileGetX, 1},
        {"tile_get_y", F_TileGetY, 1},
        {"tile_get_left", F_TileGetLeft, 1},
        {"tile_get_top", F_TileGetTop, 1},
        {"tile_get_width", F_TileGetWidth, 1},
        {"tile_get_height", F_TileGetHeight, 1},
        {"tile_get_depth", F_TileGetDepth, 1},
        {"tile_get_visible", F_TileGetVisible, 1},
        {"tile_get_xscale", F_TileGetXscale, 1},
        {"tile_get_yscale", F_TileGetYscale, 1},
        {"tile_get_blend", F_TileGetBlend, 1},
        {"tile_get_alpha", F_TileGetAlpha, 1},
        {"tile_get_background", F_TileGetBackground, 1},
        {"tile_set_position", F_TileSetPosition, 3},
        {"tile_set_visible", F_TileSetVisible, 2},
        {"tile_set_background", F_TileSetBackground, 2},
        {"tile_set_region", F_TileSetRegion, 5},
        {"tile_set_depth", F_TileSetDepth, 2},
        {"tile_set_scale", F_TileSetScale, 3},
        {"tile_set_blend", F_TileSetBlend, 2, 1},
        {"tile_set_alpha", F_TileSetAlpha, 2},
        {"tile_get_count", F_TileGetCount, 0},
        {"tile_get_id", F_TileGetId, 1},
        {"tile_get_ids", F_TileGetIds, 0},
        {"tile_get_ids_at_depth", F_TileGetIdsAtDepth, 1},
        {"tile_add", F_TileAdd, 8},
        {"tile_layer_hide", F_TileLayerHide, 1},
        {"tile_layer_show", F_TileLayerShow, 1},
        {"tile_layer_delete", F_TileLayerDelete, 1},
        {"tile_layer_shift", F_TileLayerShift, 3},
        {"tile_layer_delete_at", F_TileLayerDeleteAt, 3},
        {"tile_layer_depth", F_TileLayerDepth, 2},
        {"tile_layer_find", F_TileLayerFind, 3},
    };
    static_assert(std::size(kRows) == 35);
    Code_Function_AddRows(kRows);
}
