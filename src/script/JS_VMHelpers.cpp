#include "script/JS_VMHelpers.h"

#include "core/Code_Function.h"
#include "core/Variable.h"
#include "core/VariableList.h"
#include "script/JS_Array.h"
#include "script/JS_Call.h"
#include "script/JS_Compare.h"
#include "script/JS_Element.h"
#include "script/JS_Exception.h"
#include "script/JS_PropertyIterator.h"

namespace {

void SetObject(RValue& result, PWObjectBase* object) {
    RValue_Release(&result);
    if (object == nullptr) return;
    result.obj = object;
    result.kind = VALUE_OBJECT;
}

void* OwnPointer(PWObjectBase* object, const char* name, bool* present) {
    CVariableNode* node = object->variables != nullptr ? object->variables->FindName(name) : nullptr;
    *present = node != nullptr && RValue_IsPtr(node->value);
    return *present ? node->value.ptr : nullptr;
}

void SetFunctionReference(PWObjectBase* record, int32_t slot, const RValue* function) {
    if (!RValue_IsObject(function) || function->obj == nullptr) return;
    RValue* cell = record->GetSlot(slot);
    cell->obj = function->obj;
    cell->flags = 0;
    cell->kind = VALUE_ACCESSOR;
}

const BuiltinRow kRows[] = {
    {"$ERROR", F_JS_TestError, 1, 1},
    {"ERROR", F_JS_TestError, 1, 1},
    {"testFailed", F_JS_TestError, 1, 1},
    {"@@typeof@@", F_JS_TypeOf, 1, 1},
    {"@@new@@", F_JS_New, 1, 1},
    {"@@delete@@", F_JS_Delete, 1, 1},
    {"@@try_hook@@", F_JS_TryHook, 2, 1},
    {"@@try_unhook@@", F_JS_TryUnhook, 0, 1},
    {"@@throw@@", F_JS_ThrowValue, 1, 1},
    {"@@finish_catch@@", F_JS_FinishCatch, 0, 1},
    {"@@finish_finally@@", F_JS_FinishFinally, 0, 1},
    {"@@script_ref@@", JS_CreateScriptFunction, 0, 1},
    {"@@instanceof@@", F_JS_InstanceOf, 2, 1},
    {"@@This@@", F_JS_This, 0, 1},
    {"@@Other@@", F_JS_Other, 0, 1},
    {"@@GlobalScope@@", F_JS_GlobalScope, 0, 1},
    {"@@NewHVSArray@@", F_JS_NewHVSArray, 0, 1},
    {"@@NewArray@@", F_JS_NewArray, 0, 1},
    {"@@NewObject@@", F_JS_NewObjectLiteral, 0, 1},
    {"@@NewProperty@@", F_JS_NewProperty, 0, 1},
    {"@@ForInIterator@@", F_JS_ForInIterator, 0, 1},
    {"@@ForInIteratorGetNext@@", F_JS_ForInIteratorGetNext, 0, 1},
    {"@@ForInIteratorDelete@@", F_JS_ForInIteratorDelete, 0, 1},
};

}  // namespace

void JS_RegisterVMHelpers() {
    Code_Function_AddRows(kRows);
}

void F_JS_New(RValue& result, CInstance*, CInstance* other, int32_t argc, RValue* args) {
    if (argc < 1) return;
    if (RValue_IsUnset(args[0])) {
        JS_ThrowReferenceError("Trying to find a constructor which does not exist");
        return;
    }
    if (!RValue_IsObject(args[0]) || args[0].obj == nullptr) {
        JS_ThrowTypeError("Trying to construct something which isn't an object");
        return;
    }
    PWObjectBase* constructor = args[0].obj;
    bool present = false;
    auto construct = reinterpret_cast<BuiltinProc>(OwnPointer(constructor, JS_CONSTRUCT, &present));
    if (construct == nullptr) {
        JS_ThrowTypeError("Trying to construct something that isn't a function");
        return;
    }
    construct(result, reinterpret_cast<CInstance*>(constructor), other, argc - 1, args + 1);
}

void F_JS_Delete(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc > 0) RValue_Release(&args[0]);
    RValue_Release(&result);
}

void F_JS_InstanceOf(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const RValue unset = {{0}, 0, VALUE_UNSET};
    const RValue* rhs = argc > 0 ? &args[0] : &unset;
    RValue* lhs = argc > 1 ? &args[1] : nullptr;
    if (lhs == nullptr || RValue_IsUnset(lhs)) {
        JS_ThrowReferenceError("lhs of instanceof does not exist");
        return;
    }
    if (RValue_IsUnset(rhs)) {
        JS_ThrowReferenceError("rhs of instanceof does not exist");
        return;
    }
    RValue_SetBool(&result, false);
    if (!RValue_IsObject(rhs) || rhs->obj == nullptr) {
        JS_ThrowTypeError("Trying to look for instances of something which isn't an object");
        return;
    }
    RValue hook;
    JS_GetProperty(rhs->obj, &hook, JS_HAS_INSTANCE);
    if (!RValue_IsPtr(hook)) {
        JS_ThrowTypeError("Trying to find instances of something which isn't a function (2)");
        return;
    }
    if (hook.ptr == nullptr) {
        JS_ThrowTypeError("Trying to find instances of something which isn't a function (1)");
        return;
    }
    const int32_t answer = reinterpret_cast<JSHasInstanceHook>(hook.ptr)(rhs->obj, lhs);
    if (answer == 2)
        JS_ThrowTypeError("Left-hand side of instanceof is not an object");
    else
        result.val = answer == 1 ? 1.0 : 0.0;
}

void F_JS_This(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    SetObject(result, reinterpret_cast<PWObjectBase*>(self));
}

void F_JS_Other(RValue& result, CInstance*, CInstance* other, int32_t, RValue*) {
    SetObject(result, reinterpret_cast<PWObjectBase*>(other));
}

void F_JS_GlobalScope(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    SetObject(result, g_JSStandard.global != nullptr ? g_JSStandard.global : g_GlobalObject);
}

void F_JS_NewHVSArray(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    RValue_Release(&result);
    result.arr = SharedArray_Create(&result);
    result.kind = VALUE_ARRAY;
    for (int32_t i = 0; i < argc; ++i) RValue_SetIndexed(&result, &args[i], i);
}

// The array literal: an Array whose elements are enumerable, unlike those written by index.
void F_JS_NewArray(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    RValue_Release(&result);
    JS_CreateArray(result, argc);
    PWObjectBase* store = JS_ElementStore(result.obj);
    for (int32_t i = 0; i < argc; ++i) {
        RValue* element = store->GetSlot(i);
        RValue_Assign(element, &args[i]);
        element->flags = JS_ATTRIBUTES;
    }
}

void F_JS_NewObjectLiteral(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    JS_NewObject(result, nullptr, nullptr, 0, nullptr);
    PWObjectBase* object = result.obj;
    // Pairs of name and value; a trailing name without a value is ignored.
    for (int32_t i = 0; i + 1 < argc; i += 2) {
        const char* name = RValue_GetStringText(&args[i]);
        if (!RValue_IsString(args[i]) || name == nullptr) continue;
        const int32_t slot = JS_OwnSlotIndex(object, name);
        if (slot >= 0) {
            RValue* cell = object->GetSlot(slot);
            RValue_Assign(cell, &args[i + 1]);
            cell->flags = JS_ATTRIBUTES;
            continue;
        }
        // A repeated name replaces the earlier value rather than being listed twice.
        if (CVariableNode* node = object->variables->FindValueKey(&args[i])) {
            RValue_Assign(&node->value, &args[i + 1]);
            node->value.flags = args[i + 1].flags | JS_ATTRIBUTES;
            continue;
        }
        CVariableNode* node = object->variables->AllocNode(&args[i]);
        RValue_Assign(&node->value, &args[i + 1]);
        node->value.flags = args[i + 1].flags | JS_ATTRIBUTES;
        object->variables->Insert(node);
    }
}

void F_JS_NewProperty(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* record = JS_NewAccessorRecord();
    if (argc > 1) SetFunctionReference(record, 0, &args[1]);
    if (argc > 0) SetFunctionReference(record, 1, &args[0]);
    SetObject(result, record);
}
