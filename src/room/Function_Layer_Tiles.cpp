// The tile element built-ins: single tiles drawn from a rectangle of a sprite's first frame.
#include <cstdint>

#include "assets/Function_Texture.h"
#include "room/Function_Layer_Internal.h"

using namespace layer_fn;

namespace {

LayerTileElement* TileElement(RValue* args) {
    return ElementArg<LayerTileElement>(args, 0, eLayerElement_Tile);
}

// The setters and getters name themselves in double quotes in their count message.
#define TILE_COUNT_MESSAGE(name) "\"" #name "\"" LAYER_WRONG_COUNT

#define TILE_FIELD(setter, getter, store, read, missing) \
    LAYER_BUILTIN(setter) { \
        SetField(result, argc, args, TILE_COUNT_MESSAGE(setter), TileElement, \
                 [](LayerTileElement* tile, RValue* a) { store; }); \
    } \
    LAYER_BUILTIN(getter) { \
        GetField(result, argc, args, TILE_COUNT_MESSAGE(getter), TileElement, missing, \
                 [](const LayerTileElement* tile) { return static_cast<double>(read); }); \
    }

// A colour given as a real keeps the low 32 bits of its value truncated toward zero.
// Outside the 64-bit range (and for not-a-number) the truncation gives the lowest 64-bit integer,
// whose low bits are 0.
uint32_t ColourBits(float value) {
    const double d = value;
    if (!(d > -9223372036854775808.0 && d < 9223372036854775808.0)) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(d)));
}

TILE_FIELD(layer_tile_change, layer_tile_get_sprite, tile->sprite = Arg_GetInt32(a, 1), tile->sprite, -1.0)
TILE_FIELD(layer_tile_xscale, layer_tile_get_xscale, tile->xscale = Arg_GetFloat(a, 1), tile->xscale, 1.0)
TILE_FIELD(layer_tile_yscale, layer_tile_get_yscale, tile->yscale = Arg_GetFloat(a, 1), tile->yscale, 1.0)
TILE_FIELD(layer_tile_blend, layer_tile_get_blend, tile->blend = ColourBits(Arg_GetFloat(a, 1)), tile->blend,
           0.0)
TILE_FIELD(layer_tile_alpha, layer_tile_get_alpha, tile->alpha = Arg_GetFloat(a, 1), tile->alpha, 0.0)
TILE_FIELD(layer_tile_x, layer_tile_get_x, tile->x = Arg_GetFloat(a, 1), tile->x, 0.0)
TILE_FIELD(layer_tile_y, layer_tile_get_y, tile->y = Arg_GetFloat(a, 1), tile->y, 0.0)
// Only exactly 0 hides a tile.
TILE_FIELD(layer_tile_visible, layer_tile_get_visible, tile->visible = Arg_GetFloat(a, 1) != 0.0f,
           tile->visible ? 1 : 0, 0.0)

LAYER_BUILTIN(layer_tile_exists) {
    Result_SetReal(result, 0.0);
    if (argc == 1) {
        Result_SetFlag(result, TileElement(args) != nullptr);
    } else if (argc == 2) {
        CLayer* layer = LayerArg(TargetRoom(), args, 0);
        Result_SetFlag(result, LayerHoldsElementOfKind(layer, Arg_GetInt32(args, 1), eLayerElement_Tile));
    } else {
        Show("layer_tile_exists() - takes one or two parameters");
    }
}

LAYER_BUILTIN(layer_tile_create) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 8, "layer_tile_create" LAYER_WRONG_COUNT)) return;
    CRoom* room = TargetRoom();
    CLayer* layer = LayerArg(room, args, 0);
    if (layer == nullptr) {
        Say("layer_tile_create() - could not find specified layer in current room\n");
        return;
    }
    LayerTileElement* tile = LayerElement_NewTile();
    if (tile == nullptr) return;
    tile->x = Arg_GetFloat(args, 1);
    tile->y = Arg_GetFloat(args, 2);
    tile->sprite = Arg_GetInt32(args, 3);
    tile->left = Arg_GetInt32(args, 4);
    tile->top = Arg_GetInt32(args, 5);
    tile->width = Arg_GetInt32(args, 6);
    tile->height = Arg_GetInt32(args, 7);
    tile->visible = true;
    tile->xscale = tile->yscale = 1.0f;
    tile->blend = 0xFFFFFFFFu;
    tile->alpha = 1.0f;
    tile->name = nullptr;
    Result_SetReal(result, AddCreated(room, layer, tile));
}

LAYER_BUILTIN(layer_tile_destroy) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_tile_destroy" LAYER_WRONG_COUNT)) return;
    DestroyElement(args);
}

LAYER_BUILTIN(layer_tile_region) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 5, "layer_tile_region" LAYER_WRONG_COUNT)) return;
    LayerTileElement* tile = TileElement(args);
    if (tile == nullptr) return;
    tile->left = Arg_GetInt32(args, 1);
    tile->top = Arg_GetInt32(args, 2);
    tile->width = Arg_GetInt32(args, 3);
    tile->height = Arg_GetInt32(args, 4);
}

LAYER_BUILTIN(layer_tile_get_region) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_tile_get_region" LAYER_WRONG_COUNT)) return;
    const LayerTileElement* tile = TileElement(args);
    if (tile == nullptr) return;
    const double region[4] = {static_cast<double>(tile->left), static_cast<double>(tile->top),
                              static_cast<double>(tile->width), static_cast<double>(tile->height)};
    ReturnRealArray(result, 4, region);
}

#define FIELD_ROWS(setter, getter) LAYER_ROW(setter, 2), LAYER_ROW(getter, 1)

const BuiltinRow kRows[] = {
    LAYER_ROW(layer_tile_exists, 2),
    LAYER_ROW(layer_tile_create, 8),
    LAYER_ROW(layer_tile_destroy, 1),
    FIELD_ROWS(layer_tile_change, layer_tile_get_sprite),
    FIELD_ROWS(layer_tile_xscale, layer_tile_get_xscale),
    FIELD_ROWS(layer_tile_yscale, layer_tile_get_yscale),
    FIELD_ROWS(layer_tile_blend, layer_tile_get_blend),
    FIELD_ROWS(layer_tile_alpha, layer_tile_get_alpha),
    FIELD_ROWS(layer_tile_x, layer_tile_get_x),
    FIELD_ROWS(layer_tile_y, layer_tile_get_y),
    FIELD_ROWS(layer_tile_visible, layer_tile_get_visible),
    LAYER_ROW(layer_tile_region, 5),
    LAYER_ROW(layer_tile_get_region, 1),
};
static_assert(sizeof(kRows) / sizeof(kRows[0]) == 21);

}  // namespace

void InitLayerTileRows() {
    Code_Function_AddRows(kRows);
}
