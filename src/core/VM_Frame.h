// Entering and leaving a called script's frame. Both the call handler and the fast loop's own
// script calls and returns go through these, so a frame looks the same whoever made it.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/Code_Main.h"
#include "core/ObjectBase.h"
#include "core/VMStack.h"

// Switches the context to a prepared buffer; the next instruction number is the caller's to set.
inline void VM_EnterBuffer(VMExecContext* ctx, VMBuffer* buffer) {
    ctx->buffer = buffer;
    ctx->code = buffer->code;
    ctx->codeSize = buffer->runLength;
    ctx->handlers = buffer->handlers;
    ctx->wordMap = buffer->wordMap;
}

// Writes the frame record directly below the callee's arguments (args, 8-byte aligned, argc of
// them, ending at argsEnd) and switches the context to the code object, whose buffer is
// prepared, with the given locals (null: made when the code first touches one). nextInstruction
// is the number of the caller's instruction at ctx->pc, first that of the callee's at its start.
// Answers the record, the callee's stack pointer.
inline uint8_t* VM_PushFrame(VMExecContext* ctx, const CCode* code, int32_t argc, uint8_t* args,
                             uint8_t* argsEnd, PWObjectBase* scope, PWObjectBase* function,
                             int32_t nextInstruction, int32_t first) {
    uint8_t* const end = ctx->stack + ctx->stackSize;
    auto* callerArgs = reinterpret_cast<uint8_t*>(VM_Args);
    const VMFrame caller{ctx->pc,
                         VM_ArgCount,
                         end - ctx->frame,
                         ctx->self,
                         ctx->other,
                         function,
                         ctx->buffer,
                         ctx->debugTable,
                         ctx->source,
                         ctx->name,
                         ctx->locals,
                         callerArgs >= ctx->stack && callerArgs < end ? end - callerArgs : -1,
                         end - argsEnd,
                         ctx->localsBorrowed,
                         ctx->deferredLocals,
                         nextInstruction,
                         0};
    VMBuffer* buffer = code->buffer;
    const int32_t start = code->start;
    auto* record = reinterpret_cast<VMFrame*>(args - sizeof(VMFrame));
    record->callerPc = caller.callerPc;
    record->callerArgCount = caller.callerArgCount;
    record->callerFrame = caller.callerFrame;
    record->callerSelf = caller.callerSelf;
    record->callerOther = caller.callerOther;
    record->function = caller.function;
    record->callerBuffer = caller.callerBuffer;
    record->callerDebugTable = caller.callerDebugTable;
    record->callerSource = caller.callerSource;
    record->callerName = caller.callerName;
    record->callerLocals = caller.callerLocals;
    record->callerArgs = caller.callerArgs;
    record->argsEnd = caller.argsEnd;
    record->callerLocalsBorrowed = caller.callerLocalsBorrowed;
    record->callerDeferredLocals = caller.callerDeferredLocals;
    record->callerInstruction = caller.callerInstruction;
    record->spare = 0;

    VM_Args = argc > 0 ? reinterpret_cast<RValue*>(args) : nullptr;
    VM_ArgCount = argc;
    ctx->frame = reinterpret_cast<uint8_t*>(record);
    ctx->pc = start;
    ctx->debugTable = code->debugTable;
    ctx->source = code->source;
    ctx->name = code->name;
    ctx->deferredLocals = code->locals;
    ctx->locals = scope;
    ctx->localsBorrowed = scope ? 1 : 0;
    // A script calling into its own buffer (recursion) keeps the buffer's fields as they are.
    if (buffer != caller.callerBuffer) VM_EnterBuffer(ctx, buffer);
    ctx->nextInstruction = first;
    ++ctx->depth;
    return reinterpret_cast<uint8_t*>(record);
}

// Pops the current frame: frees the callee's own locals, releases its arguments (each left
// undefined) and puts the caller back. Answers where the callee's argument block ended.
[[gnu::always_inline]] inline uint8_t* VM_PopFrame(VMExecContext* ctx) {
    --ctx->depth;
    const auto* record = reinterpret_cast<const VMFrame*>(ctx->frame);
    if (record->callerBuffer == nullptr) return ctx->frame + sizeof(VMFrame);
    // Every field is read before the context changes (the record could alias it as far as the
    // compiler knows).
    const VMFrame caller{record->callerPc,
                         record->callerArgCount,
                         record->callerFrame,
                         record->callerSelf,
                         record->callerOther,
                         nullptr,
                         record->callerBuffer,
                         record->callerDebugTable,
                         record->callerSource,
                         record->callerName,
                         record->callerLocals,
                         record->callerArgs,
                         record->argsEnd,
                         record->callerLocalsBorrowed,
                         record->callerDeferredLocals,
                         record->callerInstruction,
                         0};
    uint8_t* const end = ctx->stack + ctx->stackSize;
    if (!ctx->localsBorrowed && ctx->locals) PWObjectBase_Free(ctx->locals);
    ctx->self = caller.callerSelf;
    ctx->other = caller.callerOther;
    ctx->pc = caller.callerPc;
    ctx->debugTable = caller.callerDebugTable;
    ctx->source = caller.callerSource;
    ctx->name = caller.callerName;
    ctx->frame = end - caller.callerFrame;
    ctx->locals = caller.callerLocals;
    ctx->localsBorrowed = caller.callerLocalsBorrowed;
    ctx->deferredLocals = caller.callerDeferredLocals;
    if (caller.callerBuffer != ctx->buffer) {
        caller.callerBuffer->Prepare();
        VM_EnterBuffer(ctx, caller.callerBuffer);
    }
    ctx->nextInstruction = caller.callerInstruction;
    auto* args = reinterpret_cast<uint8_t*>(VM_Args);
    const int32_t argc = args ? VM_ArgCount : 0;
    for (int32_t i = 0; i < argc; ++i) {
        RValue value = VM_Load<RValue>(args + 16 * i);
        RValue_Free(&value);
        VM_Store(args + 16 * i, RValue_Undefined());
    }
    VM_Args = caller.callerArgs < 0 ? nullptr : reinterpret_cast<RValue*>(end - caller.callerArgs);
    VM_ArgCount = caller.callerArgCount;
    return end - caller.argsEnd;
}
