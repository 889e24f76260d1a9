#include "core/VM.h"

#include <pthread.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/Code_Main.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/ObjectBase.h"
#include "core/Process.h"
#include "core/RunSwitches.h"
#include "core/RuntimeError.h"
#include "core/VMStack.h"
#include "core/VM_Arith.h"
#include "core/VM_Debug.h"
#include "core/VM_Frame.h"
#include "core/VM_Threaded.h"

VMExecContext* VM_Current = nullptr;
uint32_t VM_BranchCount = 0;

// Handlers that live in the other interpreter modules.
uint8_t* VM_HandlerPush(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerPushLocal(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerPushGlobal(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerPushBuiltin(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerPushImmediate(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerPop(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerPopLocalFast(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerDup(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerConvIntToValue(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerRem(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerNot(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerCall(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerCallBuiltin(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerCallScriptById(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerPushEnv(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerPopEnv(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);

namespace {

// --- Hooks ------------------------------------------------------------------------------

void FatalExit() {
    Process_Exit(-1);
}

void MessageBoxToConsole(const char* caption, const char* text) {
    ErrorConsole.Output("%s\n%s\n", caption, text);
}

constexpr VMHooks DefaultHooks() {
    VMHooks hooks;
    hooks.fatal = FatalExit;
    hooks.messageBox = MessageBoxToConsole;
    hooks.debuggerConnected = Debug_Connected;
    hooks.debugInstruction = Debug_Instruction;
    return hooks;
}

// --- Errors and aborts ------------------------------------------------------------------

void EndRun(VMExecContext* ctx) {
    ctx->aborted = true;
    ctx->pc = ctx->codeSize;
}

void StackOverflow(VMExecContext* ctx) {
    VM_HookTable.messageBox("Stack overflow...", ctx->name ? ctx->name : "");
    EndRun(ctx);
}

// Nested runs (code that runs code) recurse on the machine stack; a run that starts with
// less than this much of it left ends as a stack overflow instead of crashing.
constexpr uintptr_t kNativeHeadroom = 256 * 1024;

uintptr_t NativeStackLow() {
    thread_local uintptr_t low = 0;
    if (low != 0) return low;
    pthread_attr_t attr;
    void* base = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstack(&attr, &base, &size);
        pthread_attr_destroy(&attr);
    }
    low = reinterpret_cast<uintptr_t>(base);
    return low;
}

bool NativeStackHasRoom() {
    const uintptr_t low = NativeStackLow();
    const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    return low == 0 || here - low > kNativeHeadroom;
}

// --- Handlers of this module ------------------------------------------------------------

void CountBranch() {
    if ((++VM_BranchCount & 0xFFF) == 0 && VM_HookTable.processMessages) VM_HookTable.processMessages();
}

void Jump(uint32_t word, VMExecContext* ctx) {
    const int64_t target = static_cast<int64_t>(ctx->currentInstruction) + 4 * int64_t{VM_BranchWords(word)};
    if (target < 0 || target > ctx->codeSize ||
        !ctx->buffer->IsInstructionStart(static_cast<int32_t>(target))) {
        VM_Error(ctx, "%s :: branch to 0x%llx leaves the code", Code_OpcodeName(VM_Opcode(word)),
                 static_cast<long long>(target));
        return;
    }
    ctx->pc = static_cast<int32_t>(target);
    ctx->nextInstruction = ctx->wordMap[target / 4];
}

uint8_t* DoBranch(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    CountBranch();
    Jump(word, ctx);
    return sp;
}

uint8_t* DoBranchIf(uint32_t word, uint8_t* sp, VMExecContext* ctx, bool when) {
    CountBranch();
    if (!VM_HaveItems(sp, ctx, 4, Code_OpcodeName(VM_Opcode(word)))) return sp;
    const bool value = VM_Load<int32_t>(sp) != 0;
    sp += 4;
    if (value == when) Jump(word, ctx);
    return sp;
}

uint8_t* DoBranchTrue(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    return DoBranchIf(word, sp, ctx, true);
}

uint8_t* DoBranchFalse(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    return DoBranchIf(word, sp, ctx, false);
}

int32_t ReturnedBytes(uint32_t type) {
    return type == VM_TYPE_SPECIAL ? 16 : VM_TypeStackSize(type);
}

uint8_t* DoRet(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    const uint32_t type = VM_Type1(word);
    if (type == VM_TYPE_SPECIAL) {
        uint8_t* room = VM_Reserve(sp, ctx, 16);
        if (room == nullptr) return sp;
        sp = room - 16;
        VM_Store(sp, RValue_Undefined());
    }
    if (ctx->depth == 0) {
        ctx->pc = ctx->codeSize;
        return sp;
    }
    const int32_t bytes = ReturnedBytes(type);
    if (!VM_HaveItems(sp, ctx, bytes, "ret")) return sp;
    if (bytes == 16) {
        const RValue value = VM_Load<RValue>(sp);
        sp = VM_Unwind(sp, ctx) - 16;
        VM_Store(sp, value);
        return sp;
    }
    uint8_t item[16] = {};
    std::memcpy(item, sp, static_cast<size_t>(bytes));
    sp = VM_Unwind(sp, ctx) - 16;
    std::memcpy(sp, item, 16);
    return sp;
}

uint8_t* DoExit(uint32_t, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (ctx->depth == 0) {
        ctx->pc = ctx->codeSize;
        return sp;
    }
    sp = VM_Unwind(sp, ctx) - 16;
    VM_Store(sp, RValue_Real(0.0));
    return sp;
}

uint8_t* DoBreak(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if ((word & 0xFFFF) == 0) return Debug_Break(word, sp, ctx);
    if ((word & 0xFFFF) != 0xFFFF) return sp;
    if (!VM_HaveItems(sp, ctx, 4, "break")) return sp;
    const int32_t index = VM_Load<int32_t>(sp);
    if (index < 0)
        VM_Error(ctx, "Array index must be +'ve");
    else if (index >= ARRAY_ROW_STRIDE)
        VM_Error(ctx, "Array index must be < %d", ARRAY_ROW_STRIDE);
    return sp;
}

constexpr VMHandler kPlainHandlers[32] = {
    VM_HandlerPush,
    VM_HandlerPushLocal,
    VM_HandlerPushGlobal,
    VM_HandlerPushBuiltin,
    VM_HandlerPushImmediate,
    VM_HandlerPop,
    VM_HandlerDup,
    VM_HandlerConv,
    VM_HandlerMul,
    VM_HandlerDiv,
    VM_HandlerRem,
    VM_HandlerMod,
    VM_HandlerAdd,
    VM_HandlerSub,
    VM_HandlerAnd,
    VM_HandlerOr,
    VM_HandlerXor,
    VM_HandlerNeg,
    VM_HandlerNot,
    VM_HandlerShl,
    VM_HandlerShr,
    VM_HandlerSet,
    DoBranch,
    DoBranchTrue,
    DoBranchFalse,
    VM_HandlerCall,
    VM_HandlerPushEnv,
    VM_HandlerPopEnv,
    DoRet,
    DoExit,
    VM_HandlerPopNull,
    DoBreak,
};
// The table in use: modules and tests may put their own handlers into it.
VMHandler g_handlers[32] = {
    kPlainHandlers[0],  kPlainHandlers[1],  kPlainHandlers[2],  kPlainHandlers[3],  kPlainHandlers[4],
    kPlainHandlers[5],  kPlainHandlers[6],  kPlainHandlers[7],  kPlainHandlers[8],  kPlainHandlers[9],
    kPlainHandlers[10], kPlainHandlers[11], kPlainHandlers[12], kPlainHandlers[13], kPlainHandlers[14],
    kPlainHandlers[15], kPlainHandlers[16], kPlainHandlers[17], kPlainHandlers[18], kPlainHandlers[19],
    kPlainHandlers[20], kPlainHandlers[21], kPlainHandlers[22], kPlainHandlers[23], kPlainHandlers[24],
    kPlainHandlers[25], kPlainHandlers[26], kPlainHandlers[27], kPlainHandlers[28], kPlainHandlers[29],
    kPlainHandlers[30], kPlainHandlers[31],
};

// --- String handles ---------------------------------------------------------------------

SharedString** g_strings = nullptr;  // by handle; slot 0 unused
uint32_t* g_freeHandles = nullptr;
uint32_t g_stringCapacity = 0, g_freeCount = 0, g_stringUsed = 1;
int32_t g_liveStrings = 0;

bool GrowHandles() {
    const uint32_t capacity = g_stringCapacity ? g_stringCapacity * 2 : 256;
    auto* strings = static_cast<SharedString**>(MEM_REALLOC(g_strings, capacity * sizeof(SharedString*)));
    auto* freeHandles = static_cast<uint32_t*>(MEM_REALLOC(g_freeHandles, capacity * sizeof(uint32_t)));
    if (strings) g_strings = strings;
    if (freeHandles) g_freeHandles = freeHandles;
    if (!strings || !freeHandles) return false;
    g_stringCapacity = capacity;
    return true;
}

// --- The loops --------------------------------------------------------------------------

void EnterBuffer(VMExecContext* ctx, VMBuffer* buffer) {
    buffer->Prepare();
    ctx->buffer = buffer;
    ctx->code = buffer->code;
    ctx->codeSize = buffer->runLength;
    ctx->handlers = buffer->handlers;
    ctx->wordMap = buffer->wordMap;
}

// One step of the debugger loop: the word is read from the code again (breakpoints patch it)
// and the hooks may replace it.
inline uint8_t* DebugStep(uint8_t* sp, VMExecContext* ctx) {
    ctx->currentInstruction = ctx->pc;
    uint32_t word = VM_Load<uint32_t>(ctx->code + ctx->pc);
    const uint8_t* operand = ctx->code + ctx->pc + 4;
    if (VM_HookTable.debugInstruction) VM_HookTable.debugInstruction(ctx, &word);
    ctx->pc += 4 + static_cast<int32_t>(VM_OperandSize(word));
    ++ctx->nextInstruction;
    return g_handlers[VM_HandlerIndex(word)](word, sp, operand, ctx);
}

// The loop while a debugger is connected; without one, VM_RunThreaded runs the code.
uint8_t* DebugLoop(uint8_t* sp, VMExecContext* ctx) {
    const int32_t savedArgCount = VM_ArgCount;
    VM_Current = ctx;
    ctx->nextInstruction = ctx->wordMap[ctx->pc / 4];
    for (;;) {
        while (ctx->pc < ctx->codeSize && !ctx->aborted) {
            sp = DebugStep(sp, ctx);
            if (VM_PendingException.pending && VM_PendingException.catcher == ctx) {
                sp = VM_AtFromEnd(ctx, VM_PendingException.position) - 16;
                VM_PushPendingValue(sp);
                VM_PendingException.pending = false;
            } else if (VM_PendingException.pending) {
                EndRun(ctx);
            }
        }
        if (ctx->aborted) {
            while (ctx->depth > 0) sp = VM_Unwind(sp, ctx);
            break;
        }
        if (ctx->depth == 0) break;
        // A called script that runs off its end gives its caller a real 0.
        sp = VM_Unwind(sp, ctx) - 16;
        VM_Store(sp, RValue_Real(0.0));
    }
    VM_ArgCount = savedArgCount;
    return sp;
}

void FreeLocals(VMExecContext* ctx) {
    if (!ctx->localsBorrowed && ctx->locals) PWObjectBase_Free(ctx->locals);
    ctx->locals = nullptr;
}

void ReleaseValueAt(uint8_t* at) {
    RValue value = VM_Load<RValue>(at);
    RValue_Free(&value);
    VM_Store(at, RValue_Undefined());
}

}  // namespace

VMPendingException VM_PendingException;
constinit VMHooks VM_HookTable = DefaultHooks();

// --- Public -----------------------------------------------------------------------------

void VM_Install(const VMHooks* hooks) {
    VMHooks defaults = DefaultHooks();
    if (!hooks) {
        VM_HookTable = defaults;
        return;
    }
    VM_HookTable = *hooks;
    if (!VM_HookTable.fatal) VM_HookTable.fatal = defaults.fatal;
    if (!VM_HookTable.messageBox) VM_HookTable.messageBox = defaults.messageBox;
    if (!VM_HookTable.debuggerConnected) VM_HookTable.debuggerConnected = defaults.debuggerConnected;
    if (!VM_HookTable.debugInstruction) VM_HookTable.debugInstruction = defaults.debugInstruction;
}

void VM_Error(VMExecContext* ctx, const char* format, ...) {
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    Runtime_SetErrorText(message);
    if (g_RuntimeErrorsSuppressed) {
        g_RuntimeErrorFlag = true;
    } else {
        Runtime_ReportError(message, true);
        VM_HookTable.fatal();
    }
    if (ctx) EndRun(ctx);
}

VMHandler VM_Handler(uint32_t index) {
    return g_handlers[index & 31];
}

bool VM_IsPlainHandler(uint32_t index, VMHandler handler) {
    return handler == kPlainHandlers[index & 31];
}

void VM_SetHandler(uint32_t index, VMHandler handler) {
    if (handler) g_handlers[index & 31] = handler;
}

VMHandler VM_SelectHandler(uint32_t word, const uint8_t* operand, uint32_t operandBytes) {
    const uint32_t index = VM_HandlerIndex(word);
    if (index == VM_OP_POP && VM_Type1(word) == VM_TYPE_VALUE && VM_Type2(word) == VM_TYPE_VALUE &&
        VM_Immediate(word) == -7 && operandBytes > 0)
        return VM_HandlerPopLocalFast;
    if (index == VM_OP_CONV && (word & 0x0F00) == 0 && ((word >> 16) & 0xFF) == 0x52)
        return VM_HandlerConvIntToValue;
    if (index == VM_OP_CALL && VM_Type1(word) == VM_TYPE_INT && operandBytes == 4) {
        const int32_t id = VM_Load<int32_t>(operand);
        if (id >= 0 && id < 100000) return VM_HandlerCallBuiltin;
        if (id >= 100000 && id <= 500000 && id != 499999) return VM_HandlerCallScriptById;
    }
    return g_handlers[index];
}

bool VM_StackUnderflow(VMExecContext* ctx, const char* handler) {
    VM_Error(ctx, "%s :: Execution Error - stack underflow", handler);
    return false;
}

uint8_t* VM_GrowStack(uint8_t* sp, VMExecContext* ctx, int32_t bytes) {
    if (sp - ctx->stack >= bytes + 1024) return sp;
    const int64_t used = ctx->stack + ctx->stackSize - sp;
    int64_t size = ctx->stackSize + VM_STACK_BYTES;
    while (size - used < bytes + 1024) size += VM_STACK_BYTES;
    if (size > VM_STACK_CAP_BYTES) {
        StackOverflow(ctx);
        return nullptr;
    }
    auto* block = static_cast<uint8_t*>(MEM_ALLOC(size));
    uint8_t* oldEnd = ctx->stack + ctx->stackSize;
    uint8_t* newEnd = block + size;
    std::memcpy(newEnd - ctx->stackSize, ctx->stack, static_cast<size_t>(ctx->stackSize));
    const ptrdiff_t delta = newEnd - oldEnd;
    auto* args = reinterpret_cast<uint8_t*>(VM_Args);
    if (args >= ctx->stack && args < oldEnd) VM_Args = reinterpret_cast<RValue*>(args + delta);
    ctx->frame += delta;
    MEM_FREE(ctx->stack);
    ctx->stack = block;
    ctx->stackSize = static_cast<int32_t>(size);
    return sp + delta;
}

void VM_PushPendingValue(uint8_t* sp) {
    RValue thrown = RValue_Undefined();
    RValue_Assign(&thrown, &VM_PendingException.value);
    VM_Store(sp, thrown);
    RValue_Relocated(reinterpret_cast<RValue*>(sp), reinterpret_cast<uintptr_t>(&thrown));
}

void VM_ReleaseArguments(uint8_t* args, int32_t argc) {
    for (uint8_t* at = args; at < args + 16 * argc; at += 16) {
        if (VM_KindAt(at) - 1u >= 4u) continue;
        RValue value = VM_Load<RValue>(at);
        RValue_Free(&value);
        VM_Store(at, RValue_Undefined());
    }
}

uint8_t* VM_Unwind(uint8_t*, VMExecContext* ctx) {
    return VM_PopFrame(ctx);
}

PWObjectBase* VM_NewLocals(int32_t count) {
    return PWObjectBase_Alloc(count, VALUE_UNSET, true);
}

PWObjectBase* VM_MakeLocals(VMExecContext* ctx) {
    ctx->locals = VM_NewLocals(ctx->deferredLocals);
    return ctx->locals;
}

uint32_t VMString_NewHandle(SharedString* record) {
    if (record == nullptr) return 0;
    uint32_t handle;
    if (g_freeCount > 0) {
        handle = g_freeHandles[--g_freeCount];
    } else {
        if (g_stringUsed >= g_stringCapacity && !GrowHandles()) {
            record->Release();
            return 0;
        }
        handle = g_stringUsed++;
    }
    g_strings[handle] = record;
    ++g_liveStrings;
    return handle;
}

SharedString* VMString_Get(uint32_t handle) {
    return handle != 0 && handle < g_stringUsed ? g_strings[handle] : nullptr;
}

SharedString* VMString_Take(uint32_t handle) {
    SharedString* record = VMString_Get(handle);
    if (record == nullptr) return nullptr;
    g_strings[handle] = nullptr;
    g_freeHandles[g_freeCount++] = handle;
    --g_liveStrings;
    return record;
}

int32_t VMString_LiveCount() {
    return g_liveStrings;
}

uint8_t* VM_LoadTypedValue(RValue* out, uint32_t type, uint8_t* sp) {
    switch (type) {
        case VM_TYPE_DOUBLE:
            *out = RValue_Real(VM_Load<double>(sp));
            return sp + 8;
        case VM_TYPE_FLOAT:
            *out = RValue_Real(VM_Load<float>(sp));
            return sp + 4;
        case VM_TYPE_INT:
            *out = RValue_Real(VM_Load<int32_t>(sp));
            return sp + 4;
        case VM_TYPE_LONG:
            *out = RValue_Real(static_cast<double>(VM_Load<int64_t>(sp)));
            return sp + 8;
        case VM_TYPE_BOOL:
            *out = RValue_Bool(VM_Load<int32_t>(sp));
            return sp + 4;
        case VM_TYPE_VALUE:
            *out = VM_Load<RValue>(sp);
            return sp + 16;
        case VM_TYPE_STRING:
            *out = RValue_Undefined();
            out->str = VMString_Take(VM_Load<uint32_t>(sp));
            out->kind = VALUE_STRING;
            return sp + 4;
        default:
            *out = RValue_Undefined();
            return sp;
    }
}

void VM_ReleaseItem(uint32_t type, uint8_t* at) {
    if (type == VM_TYPE_VALUE) ReleaseValueAt(at);
    if (type == VM_TYPE_STRING) SharedString_ReleaseSafe(VMString_Take(VM_Load<uint32_t>(at)));
}

bool VM::Exec(CCode* code, CInstance* self, CInstance* other, RValue* result, PWObjectBase* locals,
              int32_t argc, RValue* args, PWObjectBase* function) {
    if (code == nullptr || code->buffer == nullptr) return true;
    if (g_Switches.trace) DebugConsole.Output("script = %s\n", code->name ? code->name : "");
    VMExecContext ctx{};
    ctx.name = code->name;
    if (!NativeStackHasRoom()) {
        StackOverflow(&ctx);
        return false;
    }
    if (argc < 0 || args == nullptr) argc = 0;
    int32_t size = VM_STACK_BYTES;
    while (size < 16 * (argc + 1) + static_cast<int32_t>(sizeof(VMFrame)) + 1024) size += VM_STACK_BYTES;
    ctx.stack = static_cast<uint8_t*>(MEM_ALLOC(size));
    ctx.stackSize = size;
    uint8_t* argsAt = ctx.stack + size - 16 - 16 * argc;
    if (argc > 0) std::memcpy(argsAt, args, 16 * static_cast<size_t>(argc));
    const int32_t savedArgCount = VM_ArgCount;
    RValue* const savedArgs = VM_Args;
    VM_ArgCount = argc;
    VM_Args = argc > 0 ? reinterpret_cast<RValue*>(argsAt) : nullptr;
    ctx.frame = argsAt - sizeof(VMFrame);
    VM_Store(ctx.frame, VMFrame{});
    uint8_t* sp = ctx.frame;

    ctx.self = self;
    ctx.other = other;
    ctx.source = code->source;
    ctx.debugTable = code->debugTable;
    ctx.codeObject = code;
    ctx.deferredLocals = code->locals;  // what a call back into this code object makes
    EnterBuffer(&ctx, code->buffer);
    ctx.pc = code->start;
    ctx.outer = VM_Current;
    if (ctx.outer) ctx.outer->inner = &ctx;
    VM_Current = &ctx;

    if (locals) {
        ctx.locals = locals;
        ctx.localsBorrowed = 1;
    } else {
        ctx.locals = VM_NewLocals(VM_HookTable.maxLocals ? VM_HookTable.maxLocals() : code->locals);
    }
    if (VM_HookTable.objectMode && VM_HookTable.objectMode() && ctx.locals->slotCount > 0) {
        RValue* slot = ctx.locals->GetSlot(0);
        RValue_Free(slot);
        slot->obj = function;
        slot->flags = 5;
        slot->kind = VALUE_OBJECT;
    }
    if (!code->buffer->IsInstructionStart(code->start))
        VM_Error(&ctx, "VM::Exec :: code %s starts inside an instruction", code->name ? code->name : "");
    const bool debugging = VM_HookTable.debuggerConnected && VM_HookTable.debuggerConnected();
    sp = debugging ? DebugLoop(sp, &ctx) : VM_RunThreaded(sp, &ctx);

    if (result && !ctx.aborted && sp + 16 <= ctx.frame) {
        RValue value = VM_Load<RValue>(sp);
        RValue_Free(result);
        *result = value;
        RValue_Relocated(result, reinterpret_cast<uintptr_t>(sp));
    }
    MEM_FREE(ctx.stack);
    FreeLocals(&ctx);
    VM_Current = ctx.outer;
    if (VM_Current) VM_Current->inner = nullptr;
    VM_ArgCount = savedArgCount;
    VM_Args = savedArgs;
    return !ctx.aborted;
}

namespace {

int32_t g_nextArgCount = 0;
RValue* g_nextArgs = nullptr;

bool RunBytecode(CCode* code, CInstance* self, CInstance* other, RValue* result) {
    const int32_t argc = g_nextArgCount;
    RValue* const args = g_nextArgs;
    g_nextArgCount = 0;
    g_nextArgs = nullptr;
    VM::Exec(code, self, other, result, nullptr, argc, args);
    // Errors have been reported (or, suppressed, left in the error flag) by VM_Error.
    return true;
}

}  // namespace

void VM_Init() {
    Code_SetBytecodeRunner(RunBytecode);
    Debug_Init();
}

void VM_SetNextRunArguments(int32_t argc, RValue* args) {
    g_nextArgCount = args ? argc : 0;
    g_nextArgs = args;
}

void VM_Shutdown() {}
