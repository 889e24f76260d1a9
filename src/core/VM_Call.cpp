// Calls from bytecode and compiled code: built-ins by row, scripts by index (a frame on the
// caller's stack), extension functions, and function values of the script object runtime.
#include <cstring>
#include <new>
#include <vector>

#include "core/Code_Function.h"
#include "core/Code_Main.h"
#include "core/Console.h"
#include "core/ObjectBase.h"
#include "core/ProfilerScope.h"
#include "core/RunSwitches.h"
#include "core/ScriptObjectHooks.h"
#include "core/Script_Main.h"
#include "core/StackTrace.h"
#include "core/VMStack.h"
#include "core/VM_Frame.h"
#include "core/Value_Convert.h"
#include "core/VariableList.h"

namespace {

// Argument blocks are handed on as RValue arrays, which must sit at an 8-byte boundary; a
// block that does not is moved 4 bytes down (the stack always has room below sp).
uint8_t* AlignArguments(uint8_t* sp, int32_t argc) {
    if ((reinterpret_cast<uintptr_t>(sp) & 7) == 0) return sp;
    std::memmove(sp - 4, sp, 16 * static_cast<size_t>(argc));
    return sp - 4;
}

void ReleaseArguments(uint8_t* args, int32_t argc) {
    for (int32_t i = 0; i < argc; ++i) VM_ReleaseItem(VM_TYPE_VALUE, args + 16 * i);
}

// Puts the result where the arguments ended; answers the new stack pointer.
uint8_t* PlaceResult(uint8_t* argsEnd, const RValue& result) {
    uint8_t* at = argsEnd - 16;
    VM_StoreValue(at, result, &result);
    return at;
}

bool HaveArguments(uint8_t*& sp, VMExecContext* ctx, int32_t argc, const char* handler) {
    if (argc < 0) {
        VM_Error(ctx, "%s :: Execution Error - negative argument count %d", handler, argc);
        return false;
    }
    if (!VM_HaveItems(sp, ctx, 16 * int64_t{argc}, handler)) return false;
    uint8_t* room = VM_Reserve(sp, ctx, 16);
    if (room == nullptr) return false;
    sp = room;
    return true;
}

uint8_t* CallBuiltin(int32_t id, int32_t argc, uint8_t* sp, VMExecContext* ctx) {
    const BuiltinFunction* row = Code_Function_Row(id);
    if (row == nullptr || row->function == nullptr) {
        VM_Error(ctx, "DoCall :: Execution Error - function index %d is not a built-in function", id);
        return sp;
    }
    if (!HaveArguments(sp, ctx, argc, "DoCall")) return sp;
    uint8_t* argsEnd = sp + 16 * argc;
    uint8_t* args = AlignArguments(sp, argc);
    RValue result = RValue_Real(0.0);
    const BuiltinFunction* saved = Builtin_Current;
    Builtin_Current = row;
    StackTraceNode node;
    StackTrace_Push(&node, row->name, -1);
    const bool profiled = g_ProfilerActive;
    if (profiled) ProfilerScope_Begin(PROFILE_BUILTIN, id);
    row->function(result, ctx->self, ctx->other, argc, reinterpret_cast<RValue*>(args));
    if (profiled) ProfilerScope_End();
    Builtin_Current = saved;
    VM_Current = ctx;
    if (VM_PendingException.pending) {
        StackTrace_Pop(&node);
        RValue_Free(&result);
        return sp;
    }
    ReleaseArguments(args, argc);
    StackTrace_Pop(&node);
    return PlaceResult(argsEnd, result);
}

uint8_t* CallExtension(int32_t id, int32_t argc, uint8_t* sp, VMExecContext* ctx) {
    if (!HaveArguments(sp, ctx, argc, "DoCall")) return sp;
    uint8_t* argsEnd = sp + 16 * argc;
    uint8_t* args = AlignArguments(sp, argc);
    RValue result = RValue_Real(0.0);
    const VMHooks& hooks = VM_Hooks();
    const bool called = hooks.extensionCall && hooks.extensionCall(id - FUNCTION_ID_EXTENSION_BASE, argc,
                                                                   reinterpret_cast<RValue*>(args), &result);
    VM_Current = ctx;
    if (!called) {
        VM_Error(ctx, "DoCall :: Execution Error - extension function %d is not defined",
                 id - FUNCTION_ID_EXTENSION_BASE);
        return sp;
    }
    ReleaseArguments(args, argc);
    return PlaceResult(argsEnd, result);
}

uint8_t* CallScriptId(int32_t id, int32_t argc, uint8_t* sp, VMExecContext* ctx) {
    if (id == FUNCTION_ID_SCRIPT_EXECUTE) {
        // The script to call is the first argument, which the call consumes.
        if (argc < 1) {
            VM_Error(ctx,
                     "DoCall :: Execution Error - script_execute needs the script as its first argument");
            return sp;
        }
        if (!VM_HaveItems(sp, ctx, 16 * int64_t{argc}, "DoCall")) return sp;
        RValue first = VM_Load<RValue>(sp);
        id = FUNCTION_ID_SCRIPT_BASE + Arg_GetInt32(&first, 0);
        RValue_Free(&first);
        sp += 16;
        --argc;
    }
    return VM_CallScript(Script_Get(id - FUNCTION_ID_SCRIPT_BASE), argc, sp, ctx, nullptr, nullptr);
}

uint8_t* CallById(int32_t id, int32_t argc, uint8_t* sp, VMExecContext* ctx) {
    if (id >= 0 && id < FUNCTION_ID_SCRIPT_BASE) return CallBuiltin(id, argc, sp, ctx);
    if (id > FUNCTION_ID_EXTENSION_BASE) return CallExtension(id, argc, sp, ctx);
    if (id >= FUNCTION_ID_SCRIPT_BASE) return CallScriptId(id, argc, sp, ctx);
    VM_Error(ctx, "DoCall :: Execution Error - function index %d is not a built-in function", id);
    return sp;
}

const RValue* Property(PWObjectBase* object, const char* name) {
    if (object == nullptr || object->variables == nullptr) return nullptr;
    CVariableNode* node = object->variables->FindName(name);
    return node ? &node->value : nullptr;
}

// A function value of the script object runtime: [[Call_Script]] names a script and
// [[Call_Cpp]] a native function.
uint8_t* CallFunctionValue(int32_t argc, uint8_t* sp, VMExecContext* ctx) {
    if (!VM_HaveItems(sp, ctx, 32 + 16 * int64_t{argc}, "DoCall")) return sp;
    RValue function = VM_Load<RValue>(sp);
    RValue self = VM_Load<RValue>(sp + 16);
    if (!RValue_IsObject(function) || function.obj == nullptr) {
        VM_Error(ctx, RValue_IsUnset(function) ? "Invalid callv target" : "Invalid callv target #2");
        return sp;
    }
    auto* selfObject = RValue_IsObject(self) ? self.obj : nullptr;
    if (selfObject == nullptr) {
        // A primitive this becomes its wrapper object; undefined and null call with the global
        // object as this.
        RValue converted = RValue_Undefined();
        int32_t status = SCRIPT_OP_UNAVAILABLE;
        if (RValue_Kind(self) == VALUE_UNDEFINED || RValue_Kind(self) == VALUE_NULL) {
            if (PWObjectBase* global = ScriptObjects().scopeChainHead()) {
                converted.obj = global;
                converted.kind = VALUE_OBJECT;
                status = SCRIPT_OP_DONE;
            }
        } else {
            status = ScriptObjects().toObject(&converted, &self);
        }
        if (status == SCRIPT_OP_THROWN) return sp;
        if (status != SCRIPT_OP_DONE || !RValue_IsObject(converted) || converted.obj == nullptr) {
            RValue_Free(&converted);
            VM_Error(ctx, "could not convert rvalue of kind=%d to object", RValue_Kind(self));
            return sp;
        }
        RValue_Free(&self);
        self = converted;
        VM_Store(sp + 16, self);
        selfObject = self.obj;
    }
    const RValue* script = Property(function.obj, "[[Call_Script]]");
    const RValue* native = Property(function.obj, "[[Call_Cpp]]");
    sp += 32;
    if (script && RValue_IsPtr(script) && script->ptr) {
        const VMHooks& hooks = VM_Hooks();
        PWObjectBase* scope = VM_NewLocals(hooks.maxLocals ? hooks.maxLocals() : 0);
        const RValue* link = Property(function.obj, "[[Scope]]");
        if (link && RValue_IsObject(link)) scope->scopeLink = link->obj;
        RValue_Free(&self);
        // The arguments object is made from aligned copies of the items (it takes its own
        // references); slot 0 of the callee's locals holds it.
        PWObjectBase* arguments = nullptr;
        if (VM_HaveItems(sp, ctx, 16 * int64_t{argc}, "DoCall")) {
            std::vector<RValue> copies(static_cast<size_t>(argc));
            if (argc > 0) std::memcpy(static_cast<void*>(copies.data()), sp, 16 * static_cast<size_t>(argc));
            arguments = ScriptObjects().newArguments(function.obj, argc, copies.data());
        }
        uint8_t* result = VM_CallScript(static_cast<CScript*>(script->ptr), argc, sp, ctx, scope,
                                        arguments ? arguments : function.obj);
        ctx->self = reinterpret_cast<CInstance*>(selfObject);
        RValue_Free(&function);
        return result;
    }
    if (native && RValue_IsPtr(native) && native->ptr) {
        uint8_t* argsEnd = sp + 16 * argc;
        uint8_t* args = AlignArguments(sp, argc);
        RValue result = RValue_Real(0.0);
        reinterpret_cast<BuiltinProc>(native->ptr)(result, reinterpret_cast<CInstance*>(selfObject),
                                                   ctx->other, argc, reinterpret_cast<RValue*>(args));
        VM_Current = ctx;
        RValue_Free(&self);
        RValue_Free(&function);
        if (VM_PendingException.pending) return sp;
        ReleaseArguments(args, argc);
        return PlaceResult(argsEnd, result);
    }
    RValue_Free(&self);
    RValue_Free(&function);
    VM_Error(ctx, "Invalid callv target #1");
    return sp;
}

}  // namespace

uint8_t* VM_CallScript(CScript* script, int32_t argc, uint8_t* sp, VMExecContext* ctx, PWObjectBase* scope,
                       PWObjectBase* function) {
    if (script == nullptr) {
        VM_Error(ctx, "call to non-existent script\n");
        return sp;
    }
    if (!HaveArguments(sp, ctx, argc, "DoCall")) return sp;
    CCode* code = script->GetCode();
    if (code == nullptr || code->buffer == nullptr) {
        uint8_t* argsEnd = sp + 16 * argc;
        ReleaseArguments(sp, argc);
        return PlaceResult(argsEnd, RValue_Real(0.0));
    }
    if (!code->buffer->IsInstructionStart(code->start)) {
        VM_Error(ctx, "DoCall :: script %s starts inside an instruction",
                 script->Name() ? script->Name() : "");
        return sp;
    }
    if (g_Switches.trace) DebugConsole.Output("script call = %s\n", script->Name() ? script->Name() : "");
    // Room for the frame record (and the 4 bytes an alignment move may take).
    uint8_t* room = VM_Reserve(sp, ctx, static_cast<int32_t>(sizeof(VMFrame)) + 8);
    if (room == nullptr) return sp;
    sp = room;
    uint8_t* argsEnd = sp + 16 * argc;
    uint8_t* args = AlignArguments(sp, argc);

    // The record is written where it lies (arguments and records sit at 8-byte boundaries).
    uint8_t* record = VM_PushFrame(ctx, code, argc, args, argsEnd, scope, function, ctx->wordMap[ctx->pc / 4],
                                   code->buffer->wordMap[code->start / 4]);
    const VMHooks& hooks = VM_Hooks();
    const bool objectMode = hooks.objectMode && hooks.objectMode();
    // In object mode slot 0 holds the function at once, so the object is made now.
    if (objectMode && !scope) VM_MakeLocals(ctx);
    if (objectMode && ctx->locals->slotCount > 0) {
        RValue* slot = ctx->locals->GetSlot(0);
        RValue_Free(slot);
        slot->obj = function;
        slot->flags = 5;
        slot->kind = VALUE_OBJECT;
    }
    return record;
}

uint8_t* VM_HandlerCallBuiltin(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx) {
    return CallBuiltin(VM_Load<int32_t>(operand), VM_Immediate(word), sp, ctx);
}

uint8_t* VM_HandlerCallScriptById(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx) {
    return CallScriptId(VM_Load<int32_t>(operand), VM_Immediate(word), sp, ctx);
}

uint8_t* VM_HandlerCall(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx) {
    const uint32_t type = VM_Type1(word);
    if (type == VM_TYPE_INT && VM_OperandSize(word) == 4)
        return CallById(VM_Load<int32_t>(operand), VM_Immediate(word), sp, ctx);
    if (type == VM_TYPE_VALUE) return CallFunctionValue(VM_Immediate(word), sp, ctx);
    VM_Error(ctx, "DoCall :: Execution Engine type error");
    return sp;
}

namespace {

// Compiled code reaches an extension function through its id (500000 + the function's id);
// the call starts from the real 0, as the interpreter's does.
RValue* CallExtensionByIndex(RValue* result, int32_t argc, int32_t index, RValue** args) {
    *result = RValue_Real(0.0);
    const VMHooks& hooks = VM_Hooks();
    if (hooks.extensionCall == nullptr) return result;
    RValue local[16];
    RValue* values =
        argc <= 16 ? local : static_cast<RValue*>(MEM_ALLOC(sizeof(RValue) * static_cast<size_t>(argc)));
    for (int32_t i = 0; i < argc; ++i) std::memcpy(static_cast<void*>(&values[i]), args[i], sizeof(RValue));
    hooks.extensionCall(index - FUNCTION_ID_EXTENSION_BASE, argc, values, result);
    if (values != local) MEM_FREE(values);
    return result;
}

}  // namespace

RValue* Builtin_CallByIndex(CInstance* self, CInstance* other, RValue* result, int32_t argc, int32_t index,
                            RValue** args) {
    const BuiltinFunction* row = Code_Function_Row(index);
    RValue_Release(result);
    if (argc < 0) argc = 0;
    if (index > FUNCTION_ID_EXTENSION_BASE) return CallExtensionByIndex(result, argc, index, args);
    if (row == nullptr || row->function == nullptr) return result;
    RValue local[16];
    RValue* values =
        argc <= 16 ? local : static_cast<RValue*>(MEM_ALLOC(sizeof(RValue) * static_cast<size_t>(argc)));
    for (int32_t i = 0; i < argc; ++i) std::memcpy(static_cast<void*>(&values[i]), args[i], sizeof(RValue));
    const BuiltinFunction* saved = Builtin_Current;
    Builtin_Current = row;
    const bool profiled = g_ProfilerActive;
    if (profiled) ProfilerScope_Begin(PROFILE_BUILTIN, index);
    row->function(*result, self, other, argc, values);
    if (profiled) ProfilerScope_End();
    Builtin_Current = saved;
    if (values != local) MEM_FREE(values);
    return result;
}
