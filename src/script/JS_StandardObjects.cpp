// The start-up chain of the standard objects, the native Function objects the steps are made
// of, and the global and namespace objects.
#include "script/JS_StandardObjects.h"

#include <cmath>
#include <cstring>

#include "core/Code_Constant.h"
#include "core/Code_Function.h"
#include "core/Variable.h"
#include "script/JS_Call.h"
#include "script/JS_Convert.h"
#include "script/JS_Property.h"

// --- Building blocks --------------------------------------------------------------------

PWObjectBase* JS_NewOrdinaryObject() {
    RValue made = RValue_Undefined();
    JS_NewObject(made, nullptr, nullptr, 0, nullptr);
    return made.obj;
}

void JS_SetPrototypeLink(PWObjectBase* object, PWObjectBase* prototype) {
    if (prototype != nullptr)
        object->AddObject(JS_PROTOTYPE, prototype, 0);
    else
        object->AddNull(JS_PROTOTYPE, 0);
}

void JS_SetPrototypeSlot(PWObjectBase* constructor, PWObjectBase* prototype, uint32_t attributes) {
    RValue* slot = constructor->GetSlot(JS_SLOT_PROTOTYPE);
    RValue_Release(slot);
    slot->obj = prototype;
    slot->kind = VALUE_OBJECT;
    slot->flags = attributes;
}

void JS_AddDefaultHooks(PWObjectBase* object) {
    object->AddPointer(JS_GET_OWN_PROPERTY, reinterpret_cast<void*>(JS_DefaultGetOwnProperty), 0);
    object->AddPointer(JS_DELETE, reinterpret_cast<void*>(JS_DefaultDelete), 0);
    object->AddPointer(JS_DEFINE_OWN_PROPERTY, reinterpret_cast<void*>(JS_DefaultDefineOwnProperty), 0);
}

PWObjectBase* JS_CreateNativeFunction(BuiltinProc function, int32_t length, bool constructible) {
    PWObjectBase* made = JS_NewBareObject();
    JS_SetPrototypeLink(made, g_JSStandard.functionPrototype);
    made->AddString(JS_CLASS, "Function", 0);
    made->AddReal(JS_EXTENSIBLE, 1.0, 0);
    made->AddPointer(JS_CALL_CPP, reinterpret_cast<void*>(function), 0);
    made->AddPointer(JS_HAS_INSTANCE, reinterpret_cast<void*>(JS_HasInstance), 0);
    if (constructible) made->AddPointer(JS_CONSTRUCT, reinterpret_cast<void*>(JS_NewObject), 0);
    made->AddReal("length", length, 0);
    return made;
}

PWObjectBase* JS_CreateFunctionAccessor(BuiltinProc getter, BuiltinProc setter) {
    PWObjectBase* record = JS_NewAccessorRecord();
    const BuiltinProc halves[2] = {getter, setter};
    for (int32_t slot = 0; slot < 2; ++slot) {
        if (halves[slot] == nullptr) continue;
        RValue* cell = record->GetSlot(slot);
        cell->obj = JS_CreateNativeFunction(halves[slot], 0, false);
        cell->flags = 0;
        cell->kind = VALUE_ACCESSOR;
    }
    return record;
}

PWObjectBase* JS_AddNativeMethod(PWObjectBase* object, const char* name, BuiltinProc function, int32_t length,
                                 uint32_t attributes) {
    PWObjectBase* method = JS_CreateNativeFunction(function, length, false);
    object->AddObject(name, method, attributes);
    return method;
}

// --- The chain --------------------------------------------------------------------------

void JS_InitStandardObjects() {
    // The loader made the global object; a run without a loader (tests, tools) gets its own.
    if (g_GlobalObject == nullptr) g_GlobalObject = PWObjectBase_Alloc(2, VALUE_UNSET, true);
    g_JSStandard.global = g_GlobalObject;
    JS_SetupFunctionPrototype();
    JS_CreateGlobalObject();
    JS_SetupObjectConstructor();
    JS_SetupArrayConstructor();
    JS_SetupStringConstructor();
    JS_SetupMathObject();
    JS_SetupBooleanConstructor();
    JS_SetupErrorConstructors();
    JS_SetupNumberConstructor();
    JS_SetupDateConstructor();
    JS_SetupRegExpConstructor();
    JS_SetupJSONObject();
}

// --- The global and namespace objects ---------------------------------------------------

void JS_CreateGlobalObject() {
    if (g_JSStandard.global == nullptr) g_JSStandard.global = g_GlobalObject;
    PWObjectBase* global = g_JSStandard.global;
    if (global == nullptr) return;

    const RValue undefined = RValue_Undefined();
    global->AddValue("undefined", &undefined, 0);
    global->AddReal("NaN", JS_NaN(), 0);
    global->AddReal("Infinity", HUGE_VAL, 0);

    static const struct {
        const char* name;
        BuiltinProc function;
    } kGlobalFunctions[] = {
        {"isNaN", F_JS_IsNaN},
        {"isFinite", F_JS_IsFinite},
        {"parseInt", JS_Global_parseInt},
        {"parseFloat", JS_Global_parseFloat},
        {"decodeURI", JS_Unimplemented},
        {"decodeURIComponent", JS_Unimplemented},
        {"encodeURI", JS_Unimplemented},
        {"encodeURIComponent", JS_Unimplemented},
    };
    for (const auto& entry : kGlobalFunctions)
        JS_AddNativeMethod(global, entry.name, entry.function, 0, JS_WRITABLE | JS_CONFIGURABLE);

    global->AddString(JS_CLASS, "Object", 0);
    global->AddReal(JS_EXTENSIBLE, 1.0, 0);
    JS_AddDefaultHooks(global);

    // Every built-in function, constant and built-in global variable under its own name.
    PWObjectBase* names = JS_NewOrdinaryObject();
    g_JSStandard.namespaceObject = names;
    const int32_t functionCount = Code_Function_Count();
    for (int32_t row = 0; row < functionCount; ++row) {
        const char* name = nullptr;
        BuiltinProc function = nullptr;
        int32_t argc = 0;
        Code_Function_GetInfo(row, &name, &function, &argc);
        if (name == nullptr || *name == '\0') continue;
        names->AddObject(name, JS_CreateNativeFunction(function, argc, false), JS_ENUMERABLE);
    }
    const int32_t constantCount = Code_Constant_Count();
    for (int32_t i = 0; i < constantCount; ++i) {
        const char* name = Code_Constant_Name(i);
        const RValue* value = Code_Constant_Value(i);
        if (name == nullptr || value == nullptr || std::strcmp(name, "global") == 0) continue;
        names->AddValue(name, value, JS_ENUMERABLE);
    }
    const int32_t variableCount = Variable_BuiltIn_Count();
    for (int32_t i = 0; i < variableCount; ++i) {
        const BuiltinVariable* row = Variable_BuiltIn_Row(i);
        if (row == nullptr || row->name == nullptr || !JS_IsBuiltinGlobalName(row->name)) continue;
        names->AddObject(row->name, JS_CreateNativeAccessor(row->getter, row->setter), JS_ENUMERABLE);
    }

    global->AddObject("hv", names, JS_ENUMERABLE);
    global->AddObject("global", global, JS_ENUMERABLE);
    global->scopeLink = names;
    names->scopeLink = nullptr;
}

void JS_ForgetStandardObjects() {
    g_JSStandard = JSStandardObjects();
}
