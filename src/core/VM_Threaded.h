// The interpreter's fast loop: a code buffer is decoded once, on its first run, into one
// record per instruction (what to do, its operands read out, branch targets as instruction
// numbers), and the loop jumps from record to record. Common instructions on plain numbers run
// inline; frequent sequences run as one step; anything else, and every case that could
// report an error, goes through the instruction's handler exactly as the plain loop runs it.
// The debugger loop stays the plain one: breakpoints patch the code, which this form never reads.
#pragma once

#include <cstdint>

#include "core/VMBuffer.h"

class CCode;
struct VMExecContext;

struct VMDecoded {
    uint16_t op;      // the step to take here (may cover the instructions that follow)
    uint16_t single;  // the step of this instruction alone
    uint32_t word;    // the instruction word as the code holds it (a breakpoint's saved word)
    int32_t pc;       // byte offset of the instruction
    int32_t nextPc;   // byte offset of the one after it
    const uint8_t* operand;
    VMHandler handler;
    int32_t target;  // branch: instruction number of the target; script call: the callee's first
    int32_t slot;    // slot of a local or global push or pop; built-in variable of push.b; script of a call
    union {
        struct {
            int32_t slot2;  // fused sequences: the second slot read; push.b: the argument it reads
            int32_t slot3;  // fused sequences: the slot written
        };
        const CCode* callee;  // script call: the code object it resolved to
    };
    int64_t constant;  // the bytes a push puts on the stack, or the constant of a fused sequence
    uint32_t kind;     // comparison kind (1..6), the operator of a fused sequence, or (script call)
                       // the g_CodeGeneration its callee was resolved at
    uint32_t spare;
};

// Builds the decoded form unless it exists (prepares the buffer first).
VMDecoded* VM_Decode(VMBuffer* buffer);

// Runs from ctx->pc until the outermost frame ends; as the plain loop, without the debugger.
uint8_t* VM_RunThreaded(uint8_t* sp, VMExecContext* ctx);
