#include "core/VM_Debug.h"

#include <cstring>

#include "core/DebugInfo_Lines.h"
#include "core/Timing.h"
#include "core/VM.h"
#include "core/VMStack.h"

DebugStepState Debug_Step;

namespace {

struct Breakpoint {
    uint32_t saved = 0;
    VMBuffer* buffer = nullptr;  // null: the slot is free
    int32_t offset = -1;
};

Breakpoint g_slots[VM_BREAKPOINT_SLOTS];
DebuggerHooks g_debugger;

// Adding uses only the first 255 slots.
constexpr int32_t kAddableSlots = VM_BREAKPOINT_SLOTS - 1;
constexpr int32_t kPollEvery = 20000;
constexpr int64_t kPollMicros = 500000;

uint32_t WordAt(const Breakpoint& b) {
    return VM_Load<uint32_t>(b.buffer->code + b.offset);
}

Breakpoint* Find(VMBuffer* buffer, int32_t offset) {
    for (int32_t i = 0; i < kAddableSlots; ++i)
        if (g_slots[i].buffer == buffer && g_slots[i].offset == offset) return &g_slots[i];
    return nullptr;
}

void Free(Breakpoint& b) {
    b = Breakpoint{};
}

bool StepStops(VMExecContext* ctx) {
    const DebugInfoEntry* entry = DebugInfo_FindEntry(ctx->debugTable, ctx->pc);
    if (ctx->source == nullptr) return false;
    const int32_t line = DebugInfo_GetLine(entry, ctx->source, nullptr);
    if (line == Debug_Step.line && ctx->source == Debug_Step.source) return false;
    switch (Debug_Step.mode) {
        case 0:
            return true;
        case 1:
            return ctx->depth <= Debug_Step.depth;
        case 2:
            return ctx->depth <= Debug_Step.depth && ctx->source != Debug_Step.source;
        default:
            return false;
    }
}

}  // namespace

void Debug_Install(const DebuggerHooks* hooks) {
    g_debugger = hooks ? *hooks : DebuggerHooks{};
}

bool Debug_Connected() {
    return g_debugger.connected && g_debugger.connected();
}

bool Debug_AddBreakpoint(VMBuffer* buffer, int32_t offset) {
    if (buffer == nullptr || offset < 0 || offset % 4 != 0) return false;
    // Only a whole instruction inside the code can take the break word.
    if (!buffer->IsInstructionStart(offset) || offset + 4 > buffer->runLength) return false;
    if (Find(buffer, offset)) return true;
    for (int32_t i = 0; i < kAddableSlots; ++i) {
        Breakpoint& b = g_slots[i];
        if (b.buffer != nullptr) continue;
        b.buffer = buffer;
        b.offset = offset;
        b.saved = VM_Load<uint32_t>(buffer->code + offset);
        return true;
    }
    return false;
}

void Debug_RemoveBreakpoint(VMBuffer* buffer, int32_t offset) {
    if (Breakpoint* b = Find(buffer, offset)) {
        if (WordAt(*b) == VM_BREAK_WORD) VM_Store(b->buffer->code + b->offset, b->saved);
        Free(*b);
    }
}

void Debug_ClearBreakpoints() {
    Debug_DisarmBreakpoints();
    for (Breakpoint& b : g_slots) Free(b);
}

int32_t Debug_BreakpointCount() {
    int32_t n = 0;
    for (const Breakpoint& b : g_slots) n += b.buffer != nullptr;
    return n;
}

void Debug_ArmBreakpoints() {
    for (const Breakpoint& b : g_slots)
        if (b.buffer) VM_Store(b.buffer->code + b.offset, VM_BREAK_WORD);
}

void Debug_DisarmBreakpoints() {
    for (const Breakpoint& b : g_slots)
        if (b.buffer) VM_Store(b.buffer->code + b.offset, b.saved);
}

void Debug_Disconnected() {
    Debug_ClearBreakpoints();
    Debug_Step.mode = -1;
    Debug_Step.stopPending = false;
}

uint32_t Debug_SavedWord(VMBuffer* buffer, int32_t offset, uint32_t word) {
    if (word != VM_BREAK_WORD) return word;
    const Breakpoint* b = Find(buffer, offset);
    return b ? b->saved : word;
}

void Debug_ForgetBuffer(VMBuffer* buffer) {
    for (Breakpoint& b : g_slots)
        if (b.buffer == buffer) Free(b);
}

void Debug_Init() {
    for (Breakpoint& b : g_slots) Free(b);
    Debug_Step = DebugStepState{};
}

void Debug_Instruction(VMExecContext* ctx, uint32_t* word) {
    if (++Debug_Step.pollCounter > kPollEvery) {
        Debug_Step.pollCounter = 0;
        const int64_t now = Timing_Time();
        if (now - Debug_Step.lastPoll > kPollMicros) {
            Debug_Step.lastPoll = now;
            if (g_debugger.tick) g_debugger.tick();
        }
    }
    // The pc of the next instruction is what the line lookup sees, as the loop has it.
    const int32_t saved = ctx->pc;
    ctx->pc += 4;
    const bool stop = Debug_Step.mode != -1 && StepStops(ctx);
    ctx->pc = saved;
    if (stop || Debug_Step.stopPending) {
        *word = VM_FORCED_STOP_WORD;
        Debug_Step.stopPending = false;
        Debug_Step.mode = -1;
    }
}

uint8_t* Debug_Break(uint32_t, uint8_t* sp, VMExecContext* ctx) {
    if (g_debugger.profilerPause) g_debugger.profilerPause();
    ctx->pc = ctx->currentInstruction;
    Debug_DisarmBreakpoints();
    const bool connected = Debug_Connected();
    if (connected && g_debugger.pauseLoop) g_debugger.pauseLoop(ctx);
    const uint32_t word = VM_Load<uint32_t>(ctx->code + ctx->pc);
    const uint8_t* operand = ctx->code + ctx->pc + 4;
    ctx->pc += 4 + static_cast<int32_t>(VM_OperandSize(word));
    // A break word that is the code's own (not a breakpoint) has nothing under it to run.
    if ((word & 0xFF00FFFFu) != 0xFF000000u) {
        VM_Current = ctx;
        sp = VM_Handler(VM_HandlerIndex(word))(word, sp, operand, ctx);
    }
    VM_Current = ctx;
    if (connected) Debug_ArmBreakpoints();
    return sp;
}
