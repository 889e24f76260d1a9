// Entering and leaving a called script's frame. Both the call handler and the fast loop's own
// script calls and returns go through these, so a frame looks the same whoever made it.
#pragma once

#include <cassert>
#include <cstddef>
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

// Makes code (its buffer prepared) the context's code object. A call into the code already
// running (recursion) changes nothing.
inline void VM_EnterCode(VMExecContext* ctx, const CCode* code) {
    if (code == ctx->codeObject) return;
    ctx->codeObject = code;
    ctx->debugTable = code->debugTable;
    ctx->source = code->source;
    ctx->name = code->name;
    ctx->deferredLocals = code->locals;
    if (code->buffer != ctx->buffer) VM_EnterBuffer(ctx, code->buffer);
}

// Byte distance up from a frame record to a position above it in the same block.
inline int32_t VM_FrameDistance(const uint8_t* record, const void* at) {
    return static_cast<int32_t>(static_cast<const uint8_t*>(at) - record);
}

// Writes the frame record directly below the callee's arguments (args, 8-byte aligned, argc of
// them, ending at argsEnd) and switches the context to the code object, whose buffer is
// prepared, with the given locals (null: made when the code first touches one). nextInstruction
// is the number of the caller's instruction at ctx->pc, first that of the callee's at its start.
// Answers the record, the callee's stack pointer.
inline uint8_t* VM_PushFrame(VMExecContext* ctx, const CCode* code, int32_t argc, uint8_t* args,
                             uint8_t* argsEnd, PWObjectBase* scope, PWObjectBase* function,
                             int32_t nextInstruction, int32_t first) {
    uint8_t* const record = args - sizeof(VMFrame);
    assert(record >= ctx->stack && argsEnd <= ctx->stack + ctx->stackSize);  // the caller checked the room
    // The caller's arguments lie above the record when they lie in the block at all.
    const uintptr_t callerArgs = reinterpret_cast<uintptr_t>(VM_Args) - reinterpret_cast<uintptr_t>(record);
    const bool argsInBlock = callerArgs < static_cast<uintptr_t>(ctx->stack + ctx->stackSize - record);
    auto* frame = reinterpret_cast<VMFrame*>(record);
    frame->callerCode = ctx->codeObject;
    frame->callerSelf = ctx->self;
    frame->callerOther = ctx->other;
    frame->function = function;
    frame->callerLocals = ctx->locals;
    frame->callerPc = ctx->pc;
    frame->callerInstruction = nextInstruction;
    frame->callerArgCount = VM_ArgCount;
    frame->callerLocalsBorrowed = ctx->localsBorrowed;
    frame->callerFrame = VM_FrameDistance(record, ctx->frame);
    frame->callerArgs = argsInBlock ? static_cast<int32_t>(callerArgs) : 0;
    frame->argsEnd = VM_FrameDistance(record, argsEnd);
    frame->spare = 0;

    VM_Args = argc > 0 ? reinterpret_cast<RValue*>(args) : nullptr;
    VM_ArgCount = argc;
    ctx->frame = record;
    ctx->pc = code->start;
    ctx->locals = scope;
    ctx->localsBorrowed = scope ? 1 : 0;
    VM_EnterCode(ctx, code);
    ctx->nextInstruction = first;
    ++ctx->depth;
    return record;
}

// Releases the payloads of those of argc arguments at args that have one, each left undefined.
void VM_ReleaseArguments(uint8_t* args, int32_t argc);

// Pops the current frame: frees the callee's own locals, releases its arguments (each left
// undefined) and puts the caller back. Answers where the callee's argument block ended.
[[gnu::always_inline]] inline uint8_t* VM_PopFrame(VMExecContext* ctx) {
    --ctx->depth;
    assert(ctx->depth >= 0);
    uint8_t* const record = ctx->frame;
    const auto* frame = reinterpret_cast<const VMFrame*>(record);
    const CCode* callerCode = frame->callerCode;
    if (callerCode == nullptr) return record + sizeof(VMFrame);
    if (!ctx->localsBorrowed && ctx->locals) PWObjectBase_Free(ctx->locals);
    ctx->self = frame->callerSelf;
    ctx->other = frame->callerOther;
    ctx->locals = frame->callerLocals;
    ctx->pc = frame->callerPc;
    ctx->nextInstruction = frame->callerInstruction;
    ctx->localsBorrowed = frame->callerLocalsBorrowed;
    ctx->frame = record + frame->callerFrame;
    const int32_t callerArgCount = frame->callerArgCount;
    const int32_t callerArgs = frame->callerArgs;
    uint8_t* const argsEnd = record + frame->argsEnd;
    if (callerCode != ctx->codeObject) {
        callerCode->buffer->Prepare();
        VM_EnterCode(ctx, callerCode);
    }
    auto* args = reinterpret_cast<uint8_t*>(VM_Args);
    const int32_t argc = args ? VM_ArgCount : 0;
    // Only a kind with a payload needs releasing (and leaving undefined, so that nothing releases
    // it twice); such a call goes out of line, so that the common case of plain numbers keeps its
    // registers (a call in the loop would save them all first).
    bool payload = false;
    for (const uint8_t* at = args; at < args + 16 * argc; at += 16) payload |= VM_KindAt(at) - 1u < 4u;
    if (payload) VM_ReleaseArguments(args, argc);
    VM_Args = callerArgs ? reinterpret_cast<RValue*>(record + callerArgs) : nullptr;
    VM_ArgCount = callerArgCount;
    return argsEnd;
}
