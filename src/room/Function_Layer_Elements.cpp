// The background and sprite element built-ins.
#include <cstdint>

#include "room/Function_Layer_Internal.h"

using namespace layer_fn;

namespace {

// A background element counts only with its data block; an element of another kind is missing.
LayerBackgroundData* BackgroundData(RValue* args) {
    LayerBackgroundElement* element = ElementArg<LayerBackgroundElement>(args, 0, eLayerElement_Background);
    return element != nullptr ? element->data : nullptr;
}
LayerSpriteElement* SpriteElement(RValue* args) {
    return ElementArg<LayerSpriteElement>(args, 0, eLayerElement_Sprite);
}

// How a field takes its value from argument 1 and how its getter answers it.
template <typename R>
auto StoreBool(bool R::*field) {
    return [field](R* record, RValue* args) { record->*field = Arg_GetBool(args, 1); };
}
template <typename R>
auto StoreInt(int32_t R::*field) {
    return [field](R* record, RValue* args) { record->*field = Arg_GetInt32(args, 1); };
}
template <typename R>
auto StoreColour(uint32_t R::*field) {
    return
        [field](R* record, RValue* args) { record->*field = static_cast<uint32_t>(Arg_GetInt32(args, 1)); };
}
template <typename R>
auto StoreReal(float R::*field) {
    return [field](R* record, RValue* args) { record->*field = Arg_GetFloat(args, 1); };
}
template <typename R>
auto ReadBool(bool R::*field) {
    return [field](const R* record) { return record->*field ? 1.0 : 0.0; };
}
template <typename R>
auto ReadInt(int32_t R::*field) {
    return [field](const R* record) { return static_cast<double>(record->*field); };
}
// A background's colour reads back signed, a sprite element's unsigned.
template <typename R>
auto ReadSignedColour(uint32_t R::*field) {
    return [field](const R* record) { return static_cast<double>(static_cast<int32_t>(record->*field)); };
}
template <typename R>
auto ReadUnsignedColour(uint32_t R::*field) {
    return [field](const R* record) { return static_cast<double>(record->*field); };
}
template <typename R>
auto ReadReal(float R::*field) {
    return [field](const R* record) { return static_cast<double>(record->*field); };
}

#define BACKGROUND_FIELD(setter, getter, Store, Read, field, missing) \
    LAYER_BUILTIN(setter) { \
        SetField(result, argc, args, #setter LAYER_WRONG_COUNT, BackgroundData, \
                 Store(&LayerBackgroundData::field)); \
    } \
    LAYER_BUILTIN(getter) { \
        GetField(result, argc, args, #getter LAYER_WRONG_COUNT, BackgroundData, missing, \
                 Read(&LayerBackgroundData::field)); \
    }
#define SPRITE_FIELD(setter, getter, Store, Read, field, missing) \
    LAYER_BUILTIN(setter) { \
        SetField(result, argc, args, #setter LAYER_WRONG_COUNT, SpriteElement, \
                 Store(&LayerSpriteElement::field)); \
    } \
    LAYER_BUILTIN(getter) { \
        GetField(result, argc, args, #getter LAYER_WRONG_COUNT, SpriteElement, missing, \
                 Read(&LayerSpriteElement::field)); \
    }

BACKGROUND_FIELD(layer_background_visible, layer_background_get_visible, StoreBool, ReadBool, visible, 1.0)
BACKGROUND_FIELD(layer_background_change, layer_background_get_sprite, StoreInt, ReadInt, sprite, -1.0)
BACKGROUND_FIELD(layer_background_htiled, layer_background_get_htiled, StoreBool, ReadBool, htiled, 0.0)
BACKGROUND_FIELD(layer_background_vtiled, layer_background_get_vtiled, StoreBool, ReadBool, vtiled, 0.0)
BACKGROUND_FIELD(layer_background_xscale, layer_background_get_xscale, StoreReal, ReadReal, xscale, 1.0)
BACKGROUND_FIELD(layer_background_yscale, layer_background_get_yscale, StoreReal, ReadReal, yscale, 1.0)
BACKGROUND_FIELD(layer_background_blend, layer_background_get_blend, StoreColour, ReadSignedColour, blend,
                 0.0)
BACKGROUND_FIELD(layer_background_alpha, layer_background_get_alpha, StoreReal, ReadReal, alpha, 0.0)
BACKGROUND_FIELD(layer_background_index, layer_background_get_index, StoreReal, ReadReal, index, -1.0)
BACKGROUND_FIELD(layer_background_speed, layer_background_get_speed, StoreReal, ReadReal, speed, 0.0)

SPRITE_FIELD(layer_sprite_change, layer_sprite_get_sprite, StoreInt, ReadInt, sprite, -1.0)
SPRITE_FIELD(layer_sprite_index, layer_sprite_get_index, StoreReal, ReadReal, index, -1.0)
SPRITE_FIELD(layer_sprite_speed, layer_sprite_get_speed, StoreReal, ReadReal, speed, 0.0)
SPRITE_FIELD(layer_sprite_xscale, layer_sprite_get_xscale, StoreReal, ReadReal, xscale, 1.0)
SPRITE_FIELD(layer_sprite_yscale, layer_sprite_get_yscale, StoreReal, ReadReal, yscale, 1.0)
SPRITE_FIELD(layer_sprite_angle, layer_sprite_get_angle, StoreReal, ReadReal, angle, 0.0)
SPRITE_FIELD(layer_sprite_blend, layer_sprite_get_blend, StoreColour, ReadUnsignedColour, blend, 0.0)
SPRITE_FIELD(layer_sprite_alpha, layer_sprite_get_alpha, StoreReal, ReadReal, alpha, 0.0)
SPRITE_FIELD(layer_sprite_x, layer_sprite_get_x, StoreReal, ReadReal, x, 0.0)
SPRITE_FIELD(layer_sprite_y, layer_sprite_get_y, StoreReal, ReadReal, y, 0.0)

// The layer of argument 0 for the create rows, with their complaint when it is missing.
CLayer* CreateLayerOrSay(CRoom* room, RValue* args, const char* name) {
    CLayer* layer = LayerArg(room, args, 0);
    if (layer == nullptr) SayFor(name, "() - could not find specified layer in current room\n");
    return layer;
}

LAYER_BUILTIN(layer_background_get_id) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_background_get_id" LAYER_WRONG_COUNT)) return;
    Result_SetReal(result, ElementNamedLikeLayer(LayerArg(TargetRoom(), args, 0), eLayerElement_Background));
}

LAYER_BUILTIN(layer_background_exists) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 2, "layer_background_exists" LAYER_WRONG_COUNT)) return;
    CLayer* layer = LayerArg(TargetRoom(), args, 0);
    Result_SetFlag(result, LayerHoldsElementOfKind(layer, Arg_GetInt32(args, 1), eLayerElement_Background));
}

LAYER_BUILTIN(layer_background_create) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 2, "layer_background_create" LAYER_WRONG_COUNT)) return;
    CRoom* room = TargetRoom();
    CLayer* layer = CreateLayerOrSay(room, args, "layer_background_create");
    if (layer == nullptr) return;
    LayerBackgroundElement* element = LayerElement_NewBackground();
    if (element != nullptr && element->data != nullptr) {
        LayerBackgroundData& data = *element->data;
        data.visible = true;
        data.foreground = false;
        data.sprite = Arg_GetInt32(args, 1);
        data.htiled = data.vtiled = false;
        data.xscale = data.yscale = 1.0f;
        data.blend = 0xFFFFFFFFu;
        data.alpha = 1.0f;
        data.index = 0.0f;
        data.speed = 1.0f;
    }
    Result_SetReal(result, AddCreated(room, layer, element));
}

LAYER_BUILTIN(layer_background_destroy) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_background_destroy" LAYER_WRONG_COUNT)) return;
    DestroyElement(args);
}

LAYER_BUILTIN(layer_sprite_get_id) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 2, "layer_sprite_get_id" LAYER_WRONG_COUNT)) return;
    CLayer* layer = LayerArg(TargetRoom(), args, 0);
    const char* name = Arg_GetString(args, 1);
    if (layer == nullptr || name == nullptr) return;
    const CLayerElement* element = Layer_FindElementByName(layer, name);
    if (element != nullptr && element->kind == eLayerElement_Sprite) Result_SetReal(result, element->id);
}

LAYER_BUILTIN(layer_sprite_exists) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 2, "layer_sprite_exists" LAYER_WRONG_COUNT)) return;
    CLayer* layer = LayerArg(TargetRoom(), args, 0);
    Result_SetFlag(result, LayerHoldsElementOfKind(layer, Arg_GetInt32(args, 1), eLayerElement_Sprite));
}

LAYER_BUILTIN(layer_sprite_create) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 4, "layer_sprite_create" LAYER_WRONG_COUNT)) return;
    CRoom* room = TargetRoom();
    CLayer* layer = CreateLayerOrSay(room, args, "layer_sprite_create");
    if (layer == nullptr) return;
    LayerSpriteElement* element = LayerElement_NewSprite();
    if (element != nullptr) {
        element->x = Arg_GetFloat(args, 1);
        element->y = Arg_GetFloat(args, 2);
        element->sprite = Arg_GetInt32(args, 3);
        element->index = 0.0f;
        element->speed = 1.0f;
        element->xscale = element->yscale = 1.0f;
        element->angle = 0.0f;
        element->blend = 0xFFFFFFFFu;
        element->alpha = 1.0f;
        element->name = nullptr;
    }
    Result_SetReal(result, AddCreated(room, layer, element));
}

LAYER_BUILTIN(layer_sprite_destroy) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_sprite_destroy" LAYER_WRONG_COUNT)) return;
    DestroyElement(args);
}

#define FIELD_ROWS(setter, getter) LAYER_ROW(setter, 2), LAYER_ROW(getter, 1)

const BuiltinRow kRows[] = {
    LAYER_ROW(layer_background_get_id, 1),
    LAYER_ROW(layer_background_exists, 2),
    LAYER_ROW(layer_background_create, 2),
    LAYER_ROW(layer_background_destroy, 1),
    FIELD_ROWS(layer_background_visible, layer_background_get_visible),
    FIELD_ROWS(layer_background_change, layer_background_get_sprite),
    FIELD_ROWS(layer_background_htiled, layer_background_get_htiled),
    FIELD_ROWS(layer_background_vtiled, layer_background_get_vtiled),
    FIELD_ROWS(layer_background_xscale, layer_background_get_xscale),
    FIELD_ROWS(layer_background_yscale, layer_background_get_yscale),
    FIELD_ROWS(layer_background_blend, layer_background_get_blend),
    FIELD_ROWS(layer_background_alpha, layer_background_get_alpha),
    FIELD_ROWS(layer_background_index, layer_background_get_index),
    FIELD_ROWS(layer_background_speed, layer_background_get_speed),
    LAYER_ROW(layer_sprite_get_id, 2),
    LAYER_ROW(layer_sprite_exists, 2),
    LAYER_ROW(layer_sprite_create, 4),
    LAYER_ROW(layer_sprite_destroy, 1),
    FIELD_ROWS(layer_sprite_change, layer_sprite_get_sprite),
    FIELD_ROWS(layer_sprite_index, layer_sprite_get_index),
    FIELD_ROWS(layer_sprite_speed, layer_sprite_get_speed),
    FIELD_ROWS(layer_sprite_xscale, layer_sprite_get_xscale),
    FIELD_ROWS(layer_sprite_yscale, layer_sprite_get_yscale),
    FIELD_ROWS(layer_sprite_angle, layer_sprite_get_angle),
    FIELD_ROWS(layer_sprite_blend, layer_sprite_get_blend),
    FIELD_ROWS(layer_sprite_alpha, layer_sprite_get_alpha),
    FIELD_ROWS(layer_sprite_x, layer_sprite_get_x),
    FIELD_ROWS(layer_sprite_y, layer_sprite_get_y),
};
static_assert(sizeof(kRows) / sizeof(kRows[0]) == 48);

}  // namespace

void InitLayerElementRows() {
    Code_Function_AddRows(kRows);
}
