// The interpreter's side of the remote debugger: the breakpoint table, the single-step modes,
// the poll of the connection while code runs, and the stop at a break word. The debugger
// plugs in through DebuggerHooks; until it does, everything here is inert.
#pragma once

#include <cstdint>

struct VMBuffer;
struct VMExecContext;

// The break word patched into code, and the forced stop the debugger loop runs in place of
// the instruction it is about to run.
constexpr uint32_t VM_BREAK_WORD = 0xFFFF0000u;
constexpr uint32_t VM_FORCED_STOP_WORD = 0xFF0F0000u;
constexpr int32_t VM_BREAKPOINT_SLOTS = 256;

struct DebuggerHooks {
    bool (*connected)() = nullptr;
    // Runs until the user resumes or steps.
    void (*pauseLoop)(VMExecContext* ctx) = nullptr;
    // Services the connection (at most every half second while code runs).
    void (*tick)() = nullptr;
    void (*profilerPause)() = nullptr;
};
// Copied; null restores the inert defaults. A debugger that was connected and is replaced
// (or disconnects) should call Debug_Disconnected first.
void Debug_Install(const DebuggerHooks* hooks);
bool Debug_Connected();

// A breakpoint is a (code buffer, byte offset) pair; the offset must be an instruction start
// inside the buffer's code, or it is refused (false). Adding an existing one does nothing
// (true); the 256th distinct one is refused.
bool Debug_AddBreakpoint(VMBuffer* buffer, int32_t offset);
void Debug_RemoveBreakpoint(VMBuffer* buffer, int32_t offset);
void Debug_ClearBreakpoints();
int32_t Debug_BreakpointCount();
// Patches the break word into every breakpoint's code / puts the saved words back.
void Debug_ArmBreakpoints();
void Debug_DisarmBreakpoints();
// The debugger went away: its breakpoints are disarmed and dropped, stepping stops.
void Debug_Disconnected();
// The word the code holds at offset with any armed breakpoint there taken out: the saved
// word under a break word, else word (the word read there).
uint32_t Debug_SavedWord(VMBuffer* buffer, int32_t offset, uint32_t word);
// A code buffer is going away: breakpoints into it are dropped without touching its code.
void Debug_ForgetBuffer(VMBuffer* buffer);

// Where a step started and how it stops (-1 off; 0 next line; 1 next line at the same depth
// or shallower; 2 the same in another code object).
struct DebugStepState {
    int32_t mode = -1;
    int32_t line = -1;
    const char* source = nullptr;
    int32_t depth = 0;
    bool stopPending = false;
    int32_t pollCounter = 0;
    int64_t lastPoll = 0;
};
extern DebugStepState Debug_Step;

// Resets the table and the poll counter (start-up).
void Debug_Init();

// The debugger loop's look at each instruction word before it runs (may replace it by the
// forced stop).
void Debug_Instruction(VMExecContext* ctx, uint32_t* word);
// The break instruction with immediate 0: pause, then run the instruction it stands for.
uint8_t* Debug_Break(uint32_t word, uint8_t* sp, VMExecContext* ctx);
