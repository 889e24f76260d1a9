// The bytecode interpreter: one run of a code object's bytecode for a self and an other
// instance, with its own value stack. A call to another bytecode script pushes a frame on
// the same stack; a nested run (code started while code runs) gets a context of its own.
#pragma once

#include <cstdint>

#include "core/VMBuffer.h"
#include "core/Value.h"

class CCode;
class CInstance;
class CScript;
class PWObjectBase;

// One run. Stack items are raw bytes sized by the instruction types; the stack grows towards
// lower addresses and the stack pointer is the address of the top item.
struct VMExecContext {
    VMExecContext* inner;  // a run started while this one is current
    VMExecContext* outer;  // the run that was current when this one started
    uint8_t* stack;        // the block (memory manager, owned)
    int32_t localsBorrowed;
    PWObjectBase* locals;
    CInstance* self;
    CInstance* other;
    uint8_t* code;
    uint8_t* frame;  // the current frame record
    VMBuffer* buffer;
    const char* name;
    VMBuffer* debugTable;
    const char* source;
    int32_t stackSize;
    int32_t pc;
    int32_t nextInstruction;
    int32_t depth;
    int32_t codeSize;
    int32_t currentInstruction;
    VMHandler* handlers;
    int32_t* wordMap;
    bool aborted;  // an error ended the run: every frame unwinds and nothing more runs
    // A called script's locals object is made when the code first touches a local: a call
    // that never does costs no object. Meaningful while locals is null and not borrowed.
    int32_t deferredLocals;
    // The code object running now; buffer, name, source, debug table and deferred locals are its.
    const CCode* codeObject;
};

// The current frame's locals object, made now if the frame deferred it.
PWObjectBase* VM_MakeLocals(VMExecContext* ctx);
inline PWObjectBase* VM_Locals(VMExecContext* ctx) {
    return ctx->locals != nullptr || ctx->localsBorrowed ? ctx->locals : VM_MakeLocals(ctx);
}

extern VMExecContext* VM_Current;
extern uint32_t VM_BranchCount;

namespace VM {
// Runs the code object's bytecode to its end. With result, the value left on top becomes the
// result. Locals given are borrowed; otherwise the run makes its own. False when an error
// ended the run.
bool Exec(CCode* code, CInstance* self, CInstance* other, RValue* result, PWObjectBase* locals = nullptr,
          int32_t argc = 0, RValue* args = nullptr, PWObjectBase* function = nullptr);
}  // namespace VM

// Stack block: the size a run starts with, its growth step and the cap past which a run
// ends as a stack overflow.
constexpr int32_t VM_STACK_BYTES = 16384;
constexpr int32_t VM_STACK_CAP_BYTES = 2 * 1024 * 1024;

// An object with count unset slots and no scope link.
PWObjectBase* VM_NewLocals(int32_t count);

// Raises an interpreter error: formats the message (at most 1023 bytes) and hands it to the
// error report as fatal, then ends the process with exit code -1 (the fatal hook). When errors
// are suppressed, or the hook returns, the run ends after the current instruction.
void VM_Error(VMExecContext* ctx, const char* format, ...) __attribute__((format(printf, 2, 3)));

// --- What the interpreter asks of the runner (installed at start-up) -----------------------
struct VMHooks {
    // After a fatal error is reported: ends the process (-1) or the game. May return.
    void (*fatal)() = nullptr;
    // Pumps window messages every 4096th branch.
    void (*processMessages)() = nullptr;
    // The data file's string table; null for an index outside it.
    const char* (*stringText)(int32_t index) = nullptr;
    // The debugger's watch string table (type ds).
    const char* (*watchStringText)(int32_t index) = nullptr;
    // Calls extension function id; false when there is none.
    bool (*extensionCall)(int32_t id, int32_t argc, RValue* args, RValue* result) = nullptr;
    // The stack-overflow box: caption and text.
    void (*messageBox)(const char* caption, const char* text) = nullptr;
    // The debugger: connected, and its look at each instruction word (may replace it). The
    // defaults are those of core/VM_Debug.h.
    bool (*debuggerConnected)() = nullptr;
    void (*debugInstruction)(VMExecContext* ctx, uint32_t* word) = nullptr;
    // The largest local count of the game: the locals of a run.
    int32_t (*maxLocals)() = nullptr;
    bool (*objectMode)() = nullptr;
};
// Copied; null members keep the defaults.
void VM_Install(const VMHooks* hooks);
// The hooks in use (set through VM_Install).
extern VMHooks VM_HookTable;
inline const VMHooks& VM_Hooks() {
    return VM_HookTable;
}

// Start-up ("VM Init"): installs the interpreter as the runner of bytecode code objects.
void VM_Init();
void VM_Shutdown();
// The arguments the next bytecode run started through Code_Execute receives (a script run by
// index); the run consumes them, and a run that does not happen leaves them to be cleared.
void VM_SetNextRunArguments(int32_t argc, RValue* args);

// --- Handlers -------------------------------------------------------------------------

// The handler that a prepared buffer dispatches to for one instruction.
VMHandler VM_SelectHandler(uint32_t word, const uint8_t* operand, uint32_t operandBytes);
// The plain handler of a handler index (the debugger loop's table).
VMHandler VM_Handler(uint32_t index);
// True when handler is the interpreter's own handler of the index (not one a module put in).
bool VM_IsPlainHandler(uint32_t index, VMHandler handler);
// Puts the handler of an index into the table (opcode families that live elsewhere).
void VM_SetHandler(uint32_t index, VMHandler handler);

// Pops the current frame without a value; answers the new stack pointer (where the callee's
// argument block ended).
uint8_t* VM_Unwind(uint8_t* sp, VMExecContext* ctx);
// Grows the stack when fewer than `bytes` + 1024 bytes lie below sp; answers the moved sp.
// A stack that would pass the cap ends the run as a stack overflow and answers null.
uint8_t* VM_GrowStack(uint8_t* sp, VMExecContext* ctx, int32_t bytes = 0);

// Calls a script with argc 16-byte arguments at sp. The callee continues in the same loop.
uint8_t* VM_CallScript(CScript* script, int32_t argc, uint8_t* sp, VMExecContext* ctx, PWObjectBase* scope,
                       PWObjectBase* function);

// Calls built-in row `index` for compiled code: the arguments (pointers) are copied into one
// array as they are, the result is released and made undefined first, and the argument count
// is not compared with the row's.
RValue* Builtin_CallByIndex(CInstance* self, CInstance* other, RValue* result, int32_t argc, int32_t index,
                            RValue** args);

// Item size on the stack of a type: d and l 8, v 16, f, i, b and s 4, other types 0.
inline int32_t VM_TypeStackSize(uint32_t type) {
    constexpr int8_t kSizes[7] = {8, 4, 4, 8, 4, 16, 4};
    return type < 7 ? kSizes[type] : 0;
}

// The exception of the script object runtime waiting to be caught: the catching run, the
// stack position (from the block's end) where the thrown value goes, and the value.
struct VMPendingException {
    bool pending = false;
    VMExecContext* catcher = nullptr;
    int64_t position = 0;
    RValue value = RValue_Undefined();
};
extern VMPendingException VM_PendingException;
// The catching run's copy of the thrown value at sp: the exception state keeps its own
// references, so the copy takes one of its own.
void VM_PushPendingValue(uint8_t* sp);
