#include "room/Function_Layer.h"

#include <cstdint>
#include <vector>

#include "assets/Function_Texture.h"
#include "core/Console.h"
#include "core/Instance.h"
#include "room/Function_Layer_Internal.h"
#include "base/Error_Report.h"
#include "world/World_Step.h"
#include "world/Run.h"

namespace layer_fn {

bool CountIs(int32_t argc, int32_t expected, const char* message) {
    if (argc == expected) return true;
    Show(message);
    return false;
}

void Say(const char* text) {
    DebugConsole.Output("%s", text);
}

void SayFor(const char* name, const char* tail) {
    DebugConsole.Output("%s%s", name, tail);
}

void Show(const char* text) {
    Error_Show(text, false);
}

CRoom* TargetRoom() {
    return Layer_TargetRoom();
}

bool IsRunningRoom(const CRoom* room) {
    return room != nullptr && room == Run_Room();
}

CLayer* LayerArg(CRoom* room, RValue* args, int32_t n) {
    if (RValue_IsString(args[n])) return Layer_FindByName(room, Arg_GetString(args, n));
    return Layer_Find(room, Arg_GetInt32(args, n));
}

int32_t ElementNamedLikeLayer(CLayer* layer, LayerElementKind kind) {
    if (layer == nullptr || layer->name == nullptr) return -1;
    const CLayerElement* element = Layer_FindElementByName(layer, layer->name);
    return element != nullptr && element->kind == kind ? element->id : -1;
}

bool LayerHoldsElementOfKind(CLayer* layer, int32_t id, LayerElementKind kind) {
    const CLayerElement* element = Layer_FindElementById(layer, id);
    return element != nullptr && element->kind == kind;
}

int32_t AddCreated(CRoom* room, CLayer* layer, CLayerElement* element) {
    return element != nullptr ? Layer_AddNewElement(room, layer, element, IsRunningRoom(room)) : -1;
}

void DestroyElement(RValue* args) {
    Layer_RemoveElement(TargetRoom(), Arg_GetInt32(args, 0), true);
}

}  // namespace layer_fn

using namespace layer_fn;

namespace {

// The layer of argument 0 in the target room; its complaint when missing (null: silent).
CLayer* FindLayerOrSay(RValue* args, const char* missing) {
    CLayer* layer = LayerArg(TargetRoom(), args, 0);
    if (layer == nullptr && missing != nullptr) Say(missing);
    return layer;
}

// A layer field's setter (layer, value) and getter (layer), silent about missing layers.
template <typename Store>
void SetLayerField(RValue& result, int32_t argc, RValue* args, const char* countMessage, Store store) {
    SetField(
        result, argc, args, countMessage, [](RValue* a) { return LayerArg(TargetRoom(), a, 0); }, store);
}
template <typename Read>
void GetLayerField(RValue& result, int32_t argc, RValue* args, const char* countMessage, double missing,
                   Read read) {
    GetField(
        result, argc, args, countMessage, [](RValue* a) { return LayerArg(TargetRoom(), a, 0); }, missing,
        read);
}

void ReturnIds(RValue& result, const std::vector<double>& ids) {
    ReturnRealArray(result, static_cast<int32_t>(ids.size()), ids.data());
}

// --- finding and making layers ---------------------------------------------------------------

LAYER_BUILTIN(layer_get_id) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_get_id() - wrong number of arguments")) return;
    const char* name = Arg_GetString(args, 0);
    CRoom* room = TargetRoom();
    if (room == nullptr || name == nullptr) return;
    if (const CLayer* layer = Layer_FindByName(room, name)) Result_SetReal(result, layer->id);
}

LAYER_BUILTIN(layer_get_depth) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_get_depth() - wrong number of arguments")) return;
    if (const CLayer* layer = FindLayerOrSay(args, "layer_get_depth() - layer not found in current room\n"))
        Result_SetReal(result, layer->depth);
}

LAYER_BUILTIN(layer_create) {
    Result_SetReal(result, -1.0);
    if (argc < 1) {
        Show("layer_create() - must have at least 1 argument");
        return;
    }
    const int32_t depth = Arg_GetInt32(args, 0);
    const char* name = argc >= 2 ? Arg_GetString(args, 1) : nullptr;
    const CLayer* layer = Layer_New(TargetRoom(), depth, name);
    if (layer == nullptr) {
        Show("layer_create() - can't create layer");
        return;
    }
    Result_SetReal(result, layer->id);
}

LAYER_BUILTIN(layer_destroy) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_destroy() - wrong number of arguments")) return;
    if (const CLayer* layer = FindLayerOrSay(args, "layer_destroy() - layer not found in current room\n"))
        Layer_Destroy(TargetRoom(), layer->id);
}

LAYER_BUILTIN(layer_exists) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_exists() - wrong number of arguments")) return;
    Result_SetFlag(result, LayerArg(TargetRoom(), args, 0) != nullptr);
}

// --- instances on layers ---------------------------------------------------------------------

// An instance of the room being played leaves its present layer for this one. Already on it,
// it stays: taking it off first could destroy that very layer when it is dynamic.
void AddRunningInstance(CRoom* room, CLayer* layer, CInstance* instance) {
    if (instance->onLayer && instance->layer == layer->id) return;
    const int32_t layerId = layer->id;
    Layer_RemoveInstance(room, instance);
    if (CLayer* target = Layer_Find(room, layerId)) Layer_AttachInstance(room, target, instance);
}

// Another room has no instances yet: its instance element holds the id, unbound and not ready,
// and binds when that room is entered.
void AddInstanceById(CRoom* room, CLayer* layer, int32_t instanceId) {
    const int32_t presentLayer = Layer_GetInstanceLayerId(room, instanceId);
    if (presentLayer == layer->id) return;
    if (presentLayer != -1) Layer_RemoveInstanceById(room, Layer_Find(room, presentLayer), instanceId);
    LayerInstanceElement* element = LayerElement_NewInstance();
    if (element == nullptr) return;
    element->instanceId = instanceId;
    Layer_AddNewElement(room, layer, element, false);
}

LAYER_BUILTIN(layer_add_instance) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 2, "layer_add_instance() - wrong number of arguments")) return;
    CRoom* room = TargetRoom();
    CLayer* layer = LayerArg(room, args, 0);
    if (layer == nullptr) {
        Show("layer_add_instance() - could not find specified layer in current room");
        return;
    }
    const int32_t instanceId = Arg_GetInt32(args, 1);
    if (!IsRunningRoom(room)) {
        AddInstanceById(room, layer, instanceId);
        return;
    }
    CInstance* instance = Instance_Find(instanceId);
    if (instance == nullptr) {
        Show("layer_add_instance() - could not find specified instance");
        return;
    }
    AddRunningInstance(room, layer, instance);
}

// In another room the instance elements alone say where an instance is.
void RemoveInstanceById(CRoom* room, CLayer* layer, int32_t instanceId) {
    const int32_t presentLayer = Layer_GetInstanceLayerId(room, instanceId);
    if (presentLayer == -1) {
        Say("layer_remove_instance() - instance not on any layer\n");
    } else if (presentLayer != layer->id) {
        Say("layer_remove_instance() - instance not on specified layer\n");
    } else {
        Layer_RemoveInstanceById(room, layer, instanceId);
    }
}

LAYER_BUILTIN(layer_remove_instance) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 2, "layer_remove_instance() - wrong number of arguments")) return;
    CRoom* room = TargetRoom();
    CLayer* layer = LayerArg(room, args, 0);
    if (layer == nullptr) {
        Show("layer_remove_instance() - could not find specified layer in current room");
        return;
    }
    const int32_t instanceId = Arg_GetInt32(args, 1);
    if (!IsRunningRoom(room)) {
        RemoveInstanceById(room, layer, instanceId);
        return;
    }
    CInstance* instance = Instance_Find(instanceId);
    if (instance == nullptr) {
        Show("layer_remove_instance() - could not find specified instance");
    } else if (!instance->onLayer) {
        Say("layer_remove_instance() - instance not on any layer\n");
    } else if (instance->layer != layer->id) {
        Say("layer_remove_instance() - instance not on specified layer\n");
    } else {
        Layer_RemoveInstanceElement(room, layer, instance);
    }
}

LAYER_BUILTIN(layer_has_instance) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 2, "layer_has_instance() - wrong number of arguments")) return;
    CRoom* room = TargetRoom();
    const CLayer* layer = LayerArg(room, args, 0);
    if (layer == nullptr) {
        Say("layer_has_instance() - could not find specified layer in current room\n");
        return;
    }
    const int32_t instanceId = Arg_GetInt32(args, 1);
    if (!IsRunningRoom(room)) {
        if (Layer_GetInstanceLayerId(room, instanceId) == layer->id) Result_SetReal(result, 1.0);
        return;
    }
    const CInstance* instance = Instance_Find(instanceId);
    if (instance == nullptr) {
        Say("layer_has_instance() - could not find specified instance\n");
        return;
    }
    if (instance->onLayer && instance->layer == layer->id) Result_SetReal(result, 1.0);
}

// --- layer fields ----------------------------------------------------------------------------

LAYER_BUILTIN(layer_set_visible) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 2, "layer_set_visible() - wrong number of arguments")) return;
    if (CLayer* layer = LayerArg(TargetRoom(), args, 0)) {
        layer->visible = Arg_GetBool(args, 1);
    } else {
        Say("layer_set_visible() - could not find specified layer in current room\n");
    }
}

LAYER_BUILTIN(layer_get_visible) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_get_visible() - wrong number of arguments")) return;
    Result_SetReal(result, 0.0);
    if (const CLayer* layer = LayerArg(TargetRoom(), args, 0)) {
        Result_SetFlag(result, layer->visible);
    } else {
        Say("layer_get_visible() - could not find specified layer in current room\n");
    }
}

LAYER_BUILTIN(layer_x) {
    SetLayerField(result, argc, args, "layer_x() - wrong number of arguments",
                  [](CLayer* l, RValue* a) { l->x = Arg_GetFloat(a, 1); });
}
LAYER_BUILTIN(layer_y) {
    SetLayerField(result, argc, args, "layer_y() - wrong number of arguments",
                  [](CLayer* l, RValue* a) { l->y = Arg_GetFloat(a, 1); });
}
LAYER_BUILTIN(layer_get_x) {
    GetLayerField(result, argc, args, "layer_get_x() - wrong number of arguments", 0.0,
                  [](const CLayer* l) { return static_cast<double>(l->x); });
}
LAYER_BUILTIN(layer_get_y) {
    GetLayerField(result, argc, args, "layer_get_y() - wrong number of arguments", 0.0,
                  [](const CLayer* l) { return static_cast<double>(l->y); });
}
LAYER_BUILTIN(layer_hspeed) {
    SetLayerField(result, argc, args, "layer_hspeed() - wrong number of arguments",
                  [](CLayer* l, RValue* a) { l->hspeed = Arg_GetFloat(a, 1); });
}
LAYER_BUILTIN(layer_vspeed) {
    SetLayerField(result, argc, args, "layer_vspeed() - wrong number of arguments",
                  [](CLayer* l, RValue* a) { l->vspeed = Arg_GetFloat(a, 1); });
}
LAYER_BUILTIN(layer_get_hspeed) {
    GetLayerField(result, argc, args, "layer_get_hspeed() - wrong number of arguments", 0.0,
                  [](const CLayer* l) { return static_cast<double>(l->hspeed); });
}
LAYER_BUILTIN(layer_get_vspeed) {
    GetLayerField(result, argc, args, "layer_get_vspeed() - wrong number of arguments", 0.0,
                  [](const CLayer* l) { return static_cast<double>(l->vspeed); });
}
LAYER_BUILTIN(layer_script_begin) {
    SetLayerField(result, argc, args, "layer_script_begin() - wrong number of arguments",
                  [](CLayer* l, RValue* a) { l->beginScript = Arg_GetInt32(a, 1); });
}
LAYER_BUILTIN(layer_script_end) {
    SetLayerField(result, argc, args, "layer_script_end() - wrong number of arguments",
                  [](CLayer* l, RValue* a) { l->endScript = Arg_GetInt32(a, 1); });
}
LAYER_BUILTIN(layer_shader) {
    SetLayerField(result, argc, args, "layer_shader() - wrong number of arguments",
                  [](CLayer* l, RValue* a) { l->shader = Arg_GetInt32(a, 1); });
}
LAYER_BUILTIN(layer_get_script_begin) {
    GetLayerField(result, argc, args, "layer_get_script_begin() - wrong number of arguments", -1.0,
                  [](const CLayer* l) { return static_cast<double>(l->beginScript); });
}
LAYER_BUILTIN(layer_get_script_end) {
    GetLayerField(result, argc, args, "layer_get_script_end() - wrong number of arguments", -1.0,
                  [](const CLayer* l) { return static_cast<double>(l->endScript); });
}
LAYER_BUILTIN(layer_get_shader) {
    GetLayerField(result, argc, args, "layer_get_shader() - wrong number of arguments", -1.0,
                  [](const CLayer* l) { return static_cast<double>(l->shader); });
}

// --- the target room -------------------------------------------------------------------------

LAYER_BUILTIN(layer_set_target_room) {
    if (argc >= 1) LayerTargetRoom = Arg_GetInt32(args, 0);
}
LAYER_BUILTIN(layer_get_target_room) {
    Result_SetReal(result, LayerTargetRoom);
}
LAYER_BUILTIN(layer_reset_target_room) {
    LayerTargetRoom = -1;
}

// --- listing ---------------------------------------------------------------------------------

LAYER_BUILTIN(layer_get_all) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 0, "layer_get_all() - doesn't take any arguments")) return;
    CRoom* room = TargetRoom();
    if (room == nullptr) return;
    std::vector<double> ids;
    for (const CLayer* layer = Room_FirstLayer(room); layer != nullptr; layer = layer->next)
        if (!layer->dynamic) ids.push_back(layer->id);
    ReturnIds(result, ids);
}

LAYER_BUILTIN(layer_get_all_elements) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_get_all_elements() - takes one argument")) return;
    const CLayer* layer = FindLayerOrSay(args, "layer_get_all_elements() - can't find specified layer\n");
    if (layer == nullptr) return;
    std::vector<double> ids;
    for (const CLayerElement* element = layer->elements.head; element != nullptr; element = element->next)
        ids.push_back(element->id);
    ReturnIds(result, ids);
}

LAYER_BUILTIN(layer_get_name) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_get_name() - takes a layer name or ID")) return;
    if (const CLayer* layer = FindLayerOrSay(args, "layer_get_name() - can't find specified layer\n"))
        RValue_SetString(&result, layer->name != nullptr ? layer->name : "");
}

// --- depth -----------------------------------------------------------------------------------

// The layer's instances take its new depth; the room re-sorts them after the current stage.
void InstancesFollowLayerDepth(const CLayer* layer) {
    for (CLayerElement* element = layer->elements.head; element != nullptr; element = element->next) {
        if (element->kind != eLayerElement_Instance) continue;
        CInstance* instance = static_cast<LayerInstanceElement*>(element)->instance;
        if (instance == nullptr) continue;
        instance->depth = static_cast<float>(layer->depth);
        Pending_AddDepthChange(instance);
    }
}

LAYER_BUILTIN(layer_depth) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 2, "layer_depth() - wrong number of parameters")) return;
    CLayer* layer = FindLayerOrSay(args, "layer_depth() - can't find specified layer\n");
    if (layer == nullptr) return;
    const int32_t depth = Arg_GetInt32(args, 1);
    if (depth == layer->depth) return;
    Layer_SetDepth(TargetRoom(), layer, depth, false);
    InstancesFollowLayerDepth(layer);
}

LAYER_BUILTIN(layer_force_draw_depth) {
    if (!CountIs(argc, 2, "layer_force_draw_depth() - takes two parameters")) return;
    LayerDepthForced = Arg_GetBool(args, 0);
    LayerForcedDepth = Arg_GetInt32(args, 1);
}
LAYER_BUILTIN(layer_is_draw_depth_forced) {
    Result_SetFlag(result, LayerDepthForced);
}
LAYER_BUILTIN(layer_get_forced_depth) {
    Result_SetReal(result, LayerForcedDepth);
}

// --- elements of any kind --------------------------------------------------------------------

// The element of argument 0 with its layer, after the family's room and element complaints.
CLayerElement* ElementOrSay(RValue* args, const char* name, CLayer** layer) {
    CRoom* room = TargetRoom();
    if (room == nullptr) {
        SayFor(name, "() - room is invalid\n");
        return nullptr;
    }
    CLayerElement* element = Room_FindElement(room, Arg_GetInt32(args, 0), layer);
    if (element == nullptr) SayFor(name, "() - can't find specified element\n");
    return element;
}

LAYER_BUILTIN(layer_get_element_layer) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_get_element_layer() - takes a single parameter")) return;
    CLayer* layer = nullptr;
    if (ElementOrSay(args, "layer_get_element_layer", &layer) == nullptr) return;
    if (layer == nullptr) {
        Say("layer_get_element_layer() - element is not on a valid layer\n");
        return;
    }
    Result_SetReal(result, layer->id);
}

LAYER_BUILTIN(layer_get_element_type) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 1, "layer_get_element_type() - takes a single parameter")) return;
    if (const CLayerElement* element = ElementOrSay(args, "layer_get_element_type", nullptr))
        Result_SetReal(result, element->kind);
}

LAYER_BUILTIN(layer_element_move) {
    Result_SetReal(result, -1.0);
    if (!CountIs(argc, 2, "layer_element_move() - takes two parameters")) return;
    CLayerElement* element = ElementOrSay(args, "layer_element_move", nullptr);
    if (element == nullptr) return;
    // The target is found by id only: a name finds nothing (it would read as id 0).
    CRoom* room = TargetRoom();
    const bool byName = RValue_IsString(args[1]);
    CLayer* layer = byName ? nullptr : Layer_Find(room, Arg_GetInt32(args, 1));
    if (layer == nullptr) {
        Say("layer_element_move() - can't find target layer\n");
        return;
    }
    LayerElement_Move(room, element, layer);
}

const BuiltinRow kRows[] = {
    LAYER_ROW(layer_get_id, 1),
    LAYER_ROW(layer_get_depth, 1),
    LAYER_ROW(layer_create, 2),
    LAYER_ROW(layer_destroy, 1),
    LAYER_ROW(layer_add_instance, 2),
    LAYER_ROW(layer_remove_instance, 2),
    LAYER_ROW(layer_has_instance, 2),
    LAYER_ROW(layer_set_visible, 2),
    LAYER_ROW(layer_get_visible, 1),
    LAYER_ROW(layer_exists, 1),
    LAYER_ROW(layer_x, 2),
    LAYER_ROW(layer_y, 2),
    LAYER_ROW(layer_get_x, 1),
    LAYER_ROW(layer_get_y, 1),
    LAYER_ROW(layer_hspeed, 2),
    LAYER_ROW(layer_vspeed, 2),
    LAYER_ROW(layer_get_hspeed, 1),
    LAYER_ROW(layer_get_vspeed, 1),
    LAYER_ROW(layer_script_begin, 2),
    LAYER_ROW(layer_script_end, 2),
    LAYER_ROW(layer_shader, 2),
    LAYER_ROW(layer_get_script_begin, 1),
    LAYER_ROW(layer_get_script_end, 1),
    LAYER_ROW(layer_get_shader, 1),
    LAYER_ROW(layer_set_target_room, 1),
    LAYER_ROW(layer_get_target_room, 0),
    LAYER_ROW(layer_reset_target_room, 0),
    LAYER_ROW(layer_get_all, 0),
    LAYER_ROW(layer_get_all_elements, 1),
    LAYER_ROW(layer_get_name, 1),
    LAYER_ROW(layer_depth, 2),
    LAYER_ROW(layer_get_element_layer, 1),
    LAYER_ROW(layer_get_element_type, 1),
    LAYER_ROW(layer_element_move, 2),
    LAYER_ROW(layer_force_draw_depth, 2),
    LAYER_ROW(layer_is_draw_depth_forced, 0),
    LAYER_ROW(layer_get_forced_depth, 0),
};
static_assert(sizeof(kRows) / sizeof(kRows[0]) == 37);

}  // namespace

void InitLayerCoreRows() {
    Code_Function_AddRows(kRows);
}

void InitLayerFunctions() {
    InitLayerCoreRows();
    InitTilemapRows();
    InitLayerElementRows();
    InitLayerTileRows();
}
