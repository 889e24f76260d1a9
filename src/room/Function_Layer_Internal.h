// What the layer, element, tile and tilemap built-in files share: the argument conventions, the
// target room, the messages and the row tables each file adds to InitLayerFunctions.
#pragma once

#include <cstdint>

#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "room/Layer_Manager.h"

#define LAYER_BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)
#define LAYER_ROW(name, count) \
    BuiltinRow { \
#name, F_##name, count, 1 \
    }

// The usual tail of a wrong-count message.
#define LAYER_WRONG_COUNT "() - wrong number of arguments"

namespace layer_fn {

// True when the count is the expected one; otherwise the message goes to the error dialog
// (the game goes on) and the built-in is to return at once.
bool CountIs(int32_t argc, int32_t expected, const char* message);
// A complaint of a built-in: one line on the debug console, written as given.
void Say(const char* text);
// "<name><tail>" on the debug console.
void SayFor(const char* name, const char* tail);
// Not fatal: through the error dialog.
void Show(const char* text);

// The room a layer built-in acts on (see layer_set_target_room); null when there is none.
CRoom* TargetRoom();
// Elements added to the room being played are prepared at once; other rooms prepare them
// when they are entered.
bool IsRunningRoom(const CRoom* room);

// A layer argument: by name when it is a string, else by id.
CLayer* LayerArg(CRoom* room, RValue* args, int32_t n);

// The element with the id of argument n, when it is of that kind, in the target room.
template <typename T>
T* ElementArg(RValue* args, int32_t n, LayerElementKind kind, CLayer** layer = nullptr) {
    return Room_FindElementOfKind<T>(TargetRoom(), Arg_GetInt32(args, n), kind, layer);
}

// The common shape of an element field's setter (element, value) and getter (element): the
// result starts at -1, a wrong count is shown, a getter then answers `missing` unless the
// record is there.
template <typename Find, typename Store>
void SetField(RValue& result, int32_t argc, RValue* args, const char* countMessage, Find find, Store store) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 2, countMessage)) return;
    if (auto* record = find(args)) store(record, args);
}
template <typename Find, typename Read>
void GetField(RValue& result, int32_t argc, RValue* args, const char* countMessage, Find find, double missing,
              Read read) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, countMessage)) return;
    Result_SetReal(result, missing);
    if (auto* record = find(args)) Result_SetReal(result, read(record));
}

// The id of the layer's first element named like the layer, when it is of that kind; else -1.
int32_t ElementNamedLikeLayer(CLayer* layer, LayerElementKind kind);
// 1 when the layer's first element with that id is of that kind, else 0.
bool LayerHoldsElementOfKind(CLayer* layer, int32_t id, LayerElementKind kind);
// Adds a made element to a layer of the room, prepared at once in the room being played; its
// id, or -1 when element ids have run out (the element is then back in its pool).
int32_t AddCreated(CRoom* room, CLayer* layer, CLayerElement* element);
// The element destroy built-ins: the element of any kind goes, and an emptied dynamic layer
// with it. An unknown id does nothing.
void DestroyElement(RValue* args);

}  // namespace layer_fn

// Each file's rows, added in this order by InitLayerFunctions.
void InitLayerCoreRows();
void InitTilemapRows();
void InitLayerElementRows();
void InitLayerTileRows();
