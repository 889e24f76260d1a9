#include "script/JS_Call.h"

#include <algorithm>

#include "core/Code_Main.h"
#include "core/Script_Main.h"
#include "core/VM.h"
#include "core/VariableList.h"
#include "core/Value_Convert.h"
#include "script/JS_Element.h"

namespace {

void* OwnPointer(PWObjectBase* object, const char* name) {
    if (object->variables == nullptr) return nullptr;
    CVariableNode* node = object->variables->FindName(name);
    return node != nullptr && RValue_IsPtr(node->value) ? node->value.ptr : nullptr;
}

bool HasOwnPointer(PWObjectBase* object, const char* name) {
    if (object->variables == nullptr) return false;
    CVariableNode* node = object->variables->FindName(name);
    return node != nullptr && RValue_IsPtr(node->value);
}

int32_t LocalsCount(const CCode* code) {
    const VMHooks& hooks = VM_Hooks();
    return hooks.maxLocals ? hooks.maxLocals() : code->locals;
}

void CallScript(PWObjectBase* self, RValue* result, PWObjectBase* function, CScript* script, int32_t argc,
                RValue* args) {
    CCode* code = script->GetCode();
    if (code == nullptr) return;
    PWObjectBase* locals = VM_NewLocals(LocalsCount(code));
    if (const RValue* stored = JS_FindOwnValue(function, JS_SCOPE); stored && RValue_IsObject(stored))
        locals->scopeLink = stored->obj;
    RValue arguments = RValue_Undefined();
    JS_CreateArgumentsObject(&arguments, function, argc, args, false);
    auto* instance = reinterpret_cast<CInstance*>(self);
    if (code->buffer != nullptr) {
        VM::Exec(code, instance, instance, result, locals, argc, args, arguments.obj);
    } else {
        VM_SetNextRunArguments(argc, args);
        Code_Execute(instance, instance, code, result, 0);
    }
}

}  // namespace

int32_t JS_Call(PWObjectBase* self, RValue* result, PWObjectBase* function, int32_t argc, RValue* args) {
    if (function != nullptr) {
        if (HasOwnPointer(function, JS_CALL_SCRIPT)) {
            if (auto* script = static_cast<CScript*>(OwnPointer(function, JS_CALL_SCRIPT)))
                CallScript(self, result, function, script, argc, args);
        } else if (HasOwnPointer(function, JS_CALL_CPP)) {
            if (auto proc = reinterpret_cast<BuiltinProc>(OwnPointer(function, JS_CALL_CPP))) {
                auto* instance = reinterpret_cast<CInstance*>(self);
                proc(*result, instance, instance, argc, args);
            }
        }
    }
    return VM_PendingException.pending ? JS_EXCEPTION : JS_DONE;
}

int32_t JS_CallValue(PWObjectBase* self, RValue* result, const RValue* function, int32_t argc, RValue* args) {
    if (!RValue_IsObject(function)) return JS_FAILED;
    return JS_Call(self, result, function->obj, argc, args);
}

void JS_CreateArgumentsObject(RValue* result, PWObjectBase* callee, int32_t argc, RValue* args,
                              bool noCallee) {
    JS_NewObject(*result, nullptr, nullptr, 0, nullptr);
    PWObjectBase* arguments = result->obj;
    arguments->AddPointer(JS_GET_OWN_PROPERTY, reinterpret_cast<void*>(JS_ArgumentsGetOwnProperty), 0);
    arguments->AddString(JS_CLASS, "Arguments", 0);
    arguments->AddReal("length", argc, JS_CONFIGURABLE | JS_WRITABLE);
    int32_t declared = 0;
    if (callee != nullptr) {
        RValue length = RValue_Undefined();
        JS_GetProperty(callee, &length, "length");
        if (RValue_IsReal(length) && length.val > 0 && length.val < 65536)
            declared = static_cast<int32_t>(length.val);
    }
    PWObjectBase* elements = PWObjectBase_Alloc(std::max(argc, declared), VALUE_UNDEFINED, false);
    RValue* store = arguments->GetSlot(JS_SLOT_ELEMENTS);
    RValue_Release(store);
    store->obj = elements;
    store->kind = VALUE_OBJECT;
    for (int32_t i = argc - 1; i >= 0; --i) {
        RValue* element = elements->GetSlot(i);
        RValue_Assign(element, &args[i]);
        element->flags = JS_ATTRIBUTES;
    }
    if (!noCallee && callee != nullptr) {
        RValue descriptor = RValue_Undefined();
        descriptor.obj = callee;
        descriptor.kind = VALUE_OBJECT;
        descriptor.flags = JS_CONFIGURABLE | JS_WRITABLE;
        JS_DefineOwnProperty(arguments, "callee", &descriptor, false);
    }
}

PWObjectBase* JS_CreateAccessorFunction(void* accessor, int32_t length) {
    PWObjectBase* function = JS_NewBareObject();
    if (g_JSStandard.functionPrototype != nullptr)
        function->AddObject(JS_PROTOTYPE, g_JSStandard.functionPrototype, 0);
    else
        function->AddNull(JS_PROTOTYPE, 0);
    function->AddString(JS_CLASS, "Function", 0);
    function->AddReal(JS_EXTENSIBLE, 1.0, 0);
    function->AddPointer(JS_CALL_CPP_BUILTIN, accessor, 0);
    function->AddPointer(JS_CONSTRUCT, reinterpret_cast<void*>(JS_NewObject), 0);
    function->AddReal("length", length, 0);
    return function;
}

PWObjectBase* JS_CreateNativeAccessor(NativeAccessorGetter getter, NativeAccessorSetter setter) {
    PWObjectBase* record = JS_NewAccessorRecord();
    if (getter != nullptr) {
        RValue* slot = record->GetSlot(0);
        slot->obj = JS_CreateAccessorFunction(reinterpret_cast<void*>(getter), 0);
        slot->flags = 0;
        slot->kind = VALUE_ACCESSOR;
    }
    if (setter != nullptr) {
        RValue* slot = record->GetSlot(1);
        slot->obj = JS_CreateAccessorFunction(reinterpret_cast<void*>(setter), 1);
        slot->flags = 0;
        slot->kind = VALUE_ACCESSOR;
    }
    return record;
}

// --- Construction and instances ---------------------------------------------------------

void JS_ScriptConstruct(RValue& result, CInstance* constructor, CInstance*, int32_t argc, RValue* args) {
    JS_NewObject(result, nullptr, nullptr, 0, nullptr);
    PWObjectBase* made = result.obj;
    auto* function = reinterpret_cast<PWObjectBase*>(constructor);
    const RValue* prototype = function != nullptr ? function->PeekSlot(JS_SLOT_PROTOTYPE) : nullptr;
    RValue* link = made->FindName(JS_PROTOTYPE);
    RValue_Release(link);
    if (prototype != nullptr && RValue_IsObject(prototype) && prototype->obj != nullptr) {
        link->obj = prototype->obj;
        link->kind = VALUE_OBJECT;
    } else {
        link->kind = VALUE_NULL;
    }
    if (function == nullptr || !HasOwnPointer(function, JS_CALL_SCRIPT)) return;
    // What the constructor returns is dropped: "new" always answers the object it made.
    RValue scratch = RValue_Undefined();
    JS_Call(made, &scratch, function, argc, args);
    RValue_Release(&scratch);
}

int32_t JS_HasInstance(PWObjectBase* function, RValue* value) {
    if (!RValue_IsObject(value) || value->obj == nullptr) return 0;
    const RValue* prototype = function != nullptr ? function->PeekSlot(JS_SLOT_PROTOTYPE) : nullptr;
    if (prototype == nullptr || !RValue_IsObject(prototype)) return 2;
    for (PWObjectBase* p = JS_PrototypeOf(value->obj); p != nullptr; p = JS_PrototypeOf(p))
        if (p == prototype->obj) return 1;
    return 0;
}

void JS_CreateScriptFunction(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc < 1) return;
    CScript* script = Script_Get(Arg_GetInt32(args, 0) - 100000);
    if (script == nullptr) return;
    CCode* code = script->GetCode();
    RValue_Release(&result);
    PWObjectBase* function = JS_NewBareObject();
    result.obj = function;
    result.kind = VALUE_OBJECT;
    if (g_JSStandard.functionPrototype != nullptr)
        function->AddObject(JS_PROTOTYPE, g_JSStandard.functionPrototype, 0);
    else
        function->AddNull(JS_PROTOTYPE, 0);
    function->AddString(JS_CLASS, "Function", 0);
    function->AddReal(JS_EXTENSIBLE, 1.0, 0);
    function->AddPointer(JS_CALL_CPP, nullptr, 0);
    function->AddPointer(JS_HAS_INSTANCE, reinterpret_cast<void*>(JS_HasInstance), 0);
    // A closure keeps the running call's locals: the run must not free them when the call ends.
    PWObjectBase* scope = VM_Current != nullptr ? VM_Locals(VM_Current) : nullptr;
    if (scope != nullptr) {
        function->AddObject(JS_SCOPE, scope, 0);
        VM_Current->localsBorrowed = 1;
    } else {
        function->AddNull(JS_SCOPE, 0);
    }
    function->AddNull(JS_FORMAL_PARAMETERS, 0);
    function->AddPointer(JS_CODE, code, 0);
    function->AddPointer(JS_CALL_SCRIPT, script, 0);
    function->AddReal("length", code != nullptr ? code->arguments : 0, 0);
    function->AddPointer(JS_CONSTRUCT, reinterpret_cast<void*>(JS_ScriptConstruct), 0);
    PWObjectBase* prototype = JS_NewBareObject();
    prototype->AddObject("constructor", function, JS_CONFIGURABLE | JS_WRITABLE);
    if (g_JSStandard.objectPrototype != nullptr)
        prototype->AddObject(JS_PROTOTYPE, g_JSStandard.objectPrototype, 0);
    else
        prototype->AddNull(JS_PROTOTYPE, 0);
    RValue* slot = function->GetSlot(JS_SLOT_PROTOTYPE);
    RValue_Release(slot);
    slot->obj = prototype;
    slot->kind = VALUE_OBJECT;
    slot->flags = JS_CONFIGURABLE | JS_WRITABLE;
}

void JS_NativeNoOp(RValue&, CInstance*, CInstance*, int32_t, RValue*) {}

void JS_NativeReturnUndefined(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    RValue_Release(&result);
}
