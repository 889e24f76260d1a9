#include "script/JS_Object.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "core/Code_Variable.h"
#include "core/GarbageCollector.h"
#include "core/RuntimeError.h"
#include "core/VariableList.h"
#include "script/JS_Property.h"

const char* const JS_PROTOTYPE = "[[Prototype]]";
const char* const JS_CLASS = "[[Class]]";
const char* const JS_EXTENSIBLE = "[[Extensible]]";
const char* const JS_PRIMITIVE_VALUE = "[[PrimitiveValue]]";
const char* const JS_PRIMITIVE_VALUE_UTF16 = "[[PrimitiveValue_UTF16]]";
const char* const JS_GET_OWN_PROPERTY = "[[GetOwnProperty]]";
const char* const JS_DEFINE_OWN_PROPERTY = "[[DefineOwnProperty]]";
const char* const JS_DELETE = "[[Delete]]";
const char* const JS_HAS_INSTANCE = "[[HasInstance]]";
const char* const JS_CONSTRUCT = "[[Construct]]";
const char* const JS_CALL_SCRIPT = "[[Call_Script]]";
const char* const JS_CALL_CPP = "[[Call_Cpp]]";
const char* const JS_CALL_CPP_BUILTIN = "[[Call_Cpp_Builtin]]";
const char* const JS_SCOPE = "[[Scope]]";
const char* const JS_CODE = "[[Code]]";
const char* const JS_FORMAL_PARAMETERS = "[[FormalParameters]]";

JSStandardObjects g_JSStandard;

namespace {

void MarkStandardObjects(GCMarkContext& marker) {
    PWObjectBase* roots[] = {g_JSStandard.global,
                             g_JSStandard.objectPrototype,
                             g_JSStandard.functionPrototype,
                             g_JSStandard.booleanPrototype,
                             g_JSStandard.stringPrototype,
                             g_JSStandard.datePrototype,
                             g_JSStandard.arrayPrototype,
                             g_JSStandard.numberPrototype,
                             g_JSStandard.regExpPrototype,
                             g_JSStandard.objectConstructor,
                             g_JSStandard.namespaceObject};
    for (PWObjectBase* object : roots)
        if (object != nullptr) GC_MarkObject(object, marker);
    for (PWObjectBase* object : g_JSStandard.errorPrototypes)
        if (object != nullptr) GC_MarkObject(object, marker);
}

// The standard objects are roots from the first object made on.
void RegisterRootsOnce() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    GC_RegisterRoots(MarkStandardObjects, GC_ROOTS_ALWAYS);
}

CVariableNode* OwnNode(PWObjectBase* object, const char* name) {
    return object->variables != nullptr ? object->variables->FindName(name) : nullptr;
}

// A hook property of the object itself: found (with its pointer, maybe null) or not.
bool OwnHook(PWObjectBase* object, const char* name, void** hook) {
    CVariableNode* node = OwnNode(object, name);
    if (node == nullptr) return false;
    *hook = RValue_IsPtr(node->value) ? node->value.ptr : nullptr;
    return true;
}

// The nearest hook of that name up the chain; null when none or a null one is found first.
void* FindHook(PWObjectBase* object, const char* name, bool* found = nullptr) {
    for (PWObjectBase* current = object; current != nullptr; current = JS_PrototypeOf(current)) {
        void* hook = nullptr;
        if (OwnHook(current, name, &hook)) {
            if (found) *found = true;
            return hook;
        }
    }
    if (found) *found = false;
    return nullptr;
}

void SetUnset(RValue* value) {
    value->v64 = 0;
    value->flags = 0;
    value->kind = VALUE_UNSET;
}

}  // namespace

// --- Making objects ---------------------------------------------------------------------

PWObjectBase* JS_NewBareObject() {
    RegisterRootsOnce();
    // Slot 0 is "prototype" and slot 1 the element store, whatever the game's names are.
    return PWObjectBase_Alloc(std::max(2, Code_Variable_InstanceCount()), VALUE_UNSET, false);
}

PWObjectBase* JS_NewAccessorRecord() {
    PWObjectBase* record = PWObjectBase_Alloc(2, VALUE_UNSET, true);
    record->objectClass = OBJECT_CLASS_ACCESSOR;
    return record;
}

void JS_NewObject(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    PWObjectBase* object = JS_NewBareObject();
    result.obj = object;
    result.flags = 0;
    result.kind = VALUE_OBJECT;
    if (g_JSStandard.objectPrototype != nullptr)
        object->AddObject(JS_PROTOTYPE, g_JSStandard.objectPrototype, 0);
    else
        object->AddNull(JS_PROTOTYPE, 0);
    object->AddString(JS_CLASS, "Object", 0);
    object->AddReal(JS_EXTENSIBLE, 1.0, 0);
    object->AddPointer(JS_GET_OWN_PROPERTY, reinterpret_cast<void*>(JS_DefaultGetOwnProperty), 0);
    object->AddPointer(JS_DELETE, reinterpret_cast<void*>(JS_DefaultDelete), 0);
    object->AddPointer(JS_DEFINE_OWN_PROPERTY, reinterpret_cast<void*>(JS_DefaultDefineOwnProperty), 0);
}

// --- Own storage ------------------------------------------------------------------------

int32_t JS_OwnSlotIndex(PWObjectBase* object, const char* name) {
    int32_t index = Code_Variable_FindForObject(object, name);
    return index >= 0 && index < object->slotCount ? index : -1;
}

RValue* JS_FindOwnValue(PWObjectBase* object, const char* name) {
    if (CVariableNode* node = OwnNode(object, name)) return &node->value;
    int32_t slot = JS_OwnSlotIndex(object, name);
    if (slot < 0) return nullptr;
    RValue* value = object->PeekSlot(slot);
    return value != nullptr && !RValue_IsUnset(value) ? value : nullptr;
}

PWObjectBase* JS_PrototypeOf(PWObjectBase* object) {
    CVariableNode* node = OwnNode(object, JS_PROTOTYPE);
    return node != nullptr && RValue_IsObject(node->value) ? node->value.obj : nullptr;
}

const char* JS_ClassOf(PWObjectBase* object) {
    CVariableNode* node = OwnNode(object, JS_CLASS);
    return node != nullptr ? RValue_GetStringText(&node->value) : nullptr;
}

// --- Hook dispatch and the prototype chain ----------------------------------------------

JSGetOwnPropertyHook JS_FindGetOwnPropertyHook(PWObjectBase* object, bool* found) {
    return reinterpret_cast<JSGetOwnPropertyHook>(FindHook(object, JS_GET_OWN_PROPERTY, found));
}

void JS_GetOwnProperty(PWObjectBase* object, RValue* result, const char* name) {
    for (PWObjectBase* current = object; current != nullptr; current = JS_PrototypeOf(current)) {
        void* hook = nullptr;
        if (!OwnHook(current, JS_GET_OWN_PROPERTY, &hook)) continue;
        // A null hook stands for "no own properties to report": the result stays as it was.
        if (hook != nullptr) reinterpret_cast<JSGetOwnPropertyHook>(hook)(object, result, name);
        return;
    }
    SetUnset(result);
}

void JS_GetProperty(PWObjectBase* object, RValue* result, const char* name) {
    SetUnset(result);
    for (PWObjectBase* current = object; current != nullptr; current = JS_PrototypeOf(current)) {
        JS_GetOwnProperty(current, result, name);
        if (!RValue_IsUnset(result)) return;
    }
}

int32_t JS_DefineOwnProperty(PWObjectBase* object, const char* name, RValue* descriptor, bool throwFlag) {
    auto hook = reinterpret_cast<JSDefineOwnPropertyHook>(FindHook(object, JS_DEFINE_OWN_PROPERTY));
    if (hook == nullptr) hook = JS_DefaultDefineOwnProperty;
    return hook(object, name, descriptor, throwFlag);
}

// --- Kind tests -------------------------------------------------------------------------

bool JS_IsFunctionObject(PWObjectBase* object) {
    return object != nullptr &&
           (OwnNode(object, JS_CALL_SCRIPT) != nullptr || OwnNode(object, JS_CALL_CPP) != nullptr);
}

bool JS_IsCallable(const RValue* value) {
    switch (RValue_Kind(value)) {
        case VALUE_OBJECT:
            return JS_IsFunctionObject(value->obj);
        case VALUE_REAL:
        case VALUE_STRING:
        case VALUE_UNDEFINED:
        case VALUE_UNSET:
        case VALUE_INT32:
        case VALUE_INT64:
        case VALUE_NULL:
        case VALUE_BOOL:
            return false;
        default:
            Runtime_Error("unhandled type for JS_IsCallable");
            return false;
    }
}

bool JS_IsPrimitive(const RValue* value) {
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_STRING:
        case VALUE_UNDEFINED:
        case VALUE_INT32:
        case VALUE_INT64:
        case VALUE_NULL:
        case VALUE_BOOL:
            return true;
        default:
            return false;
    }
}

bool JS_IsBuiltinGlobalName(const char* name) {
    static const std::unordered_set<std::string_view> kNames = {"application_surface",
                                                                "argument",
                                                                "argument0",
                                                                "argument1",
                                                                "argument10",
                                                                "argument11",
                                                                "argument12",
                                                                "argument13",
                                                                "argument14",
                                                                "argument15",
                                                                "argument2",
                                                                "argument3",
                                                                "argument4",
                                                                "argument5",
                                                                "argument6",
                                                                "argument7",
                                                                "argument8",
                                                                "argument9",
                                                                "argument_count",
                                                                "argument_relative",
                                                                "async_load",
                                                                "background_alpha",
                                                                "background_blend",
                                                                "background_color",
                                                                "background_colour",
                                                                "background_foreground",
                                                                "background_height",
                                                                "background_hspeed",
                                                                "background_htiled",
                                                                "background_index",
                                                                "background_showcolor",
                                                                "background_showcolour",
                                                                "background_visible",
                                                                "background_vspeed",
                                                                "background_vtiled",
                                                                "background_width",
                                                                "background_x",
                                                                "background_xscale",
                                                                "background_y",
                                                                "background_yscale",
                                                                "browser_height",
                                                                "browser_width",
                                                                "caption_health",
                                                                "caption_lives",
                                                                "caption_score",
                                                                "current_day",
                                                                "current_hour",
                                                                "current_minute",
                                                                "current_month",
                                                                "current_second",
                                                                "current_time",
                                                                "current_weekday",
                                                                "current_year",
                                                                "cursor_sprite",
                                                                "debug_mode",
                                                                "delta_time",
                                                                "display_aa",
                                                                "error_last",
                                                                "error_occurred",
                                                                "event_action",
                                                                "event_number",
                                                                "event_object",
                                                                "event_type",
                                                                "fps",
                                                                "fps_real",
                                                                "game_display_name",
                                                                "game_id",
                                                                "game_project_name",
                                                                "game_save_id",
                                                                "halvane_version",
                                                                "health",
                                                                "iap_data",
                                                                "instance_count",
                                                                "instance_id",
                                                                "keyboard_key",
                                                                "keyboard_lastchar",
                                                                "keyboard_lastkey",
                                                                "keyboard_string",
                                                                "lives",
                                                                "mouse_button",
                                                                "mouse_lastbutton",
                                                                "mouse_x",
                                                                "mouse_y",
                                                                "os_browser",
                                                                "os_device",
                                                                "os_type",
                                                                "os_version",
                                                                "pointer_invalid",
                                                                "pointer_null",
                                                                "program_directory",
                                                                "room",
                                                                "room_caption",
                                                                "room_first",
                                                                "room_height",
                                                                "room_last",
                                                                "room_persistent",
                                                                "room_speed",
                                                                "room_width",
                                                                "score",
                                                                "secure_mode",
                                                                "show_health",
                                                                "show_lives",
                                                                "show_score",
                                                                "temp_directory",
                                                                "transition_color",
                                                                "transition_kind",
                                                                "transition_steps",
                                                                "undefined",
                                                                "view_angle",
                                                                "view_current",
                                                                "view_enabled",
                                                                "view_hborder",
                                                                "view_hport",
                                                                "view_hspeed",
                                                                "view_hview",
                                                                "view_object",
                                                                "view_surface_id",
                                                                "view_camera",
                                                                "view_vborder",
                                                                "view_visible",
                                                                "view_vspeed",
                                                                "view_wport",
                                                                "view_wview",
                                                                "view_xport",
                                                                "view_xview",
                                                                "view_yport",
                                                                "view_yview"};
    return name != nullptr && kNames.count(name) != 0;
}
