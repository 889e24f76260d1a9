// The interpreter's operator handlers: arithmetic, bitwise, shifts, negation, comparison,
// popz and conversion. The handler table of VM.cpp points at them.
#pragma once

#include <cstdint>

#include "core/VMBuffer.h"

// The comparison epsilon of the set instruction (math_set_epsilon changes it; 1e-10 at start).
extern double MathEpsilon;

// The decision of a comparison kind (1 <, 2 <=, 3 ==, 4 !=, 5 >=, 6 >) on the difference
// left - right, within the epsilon. A NaN difference decides false.
inline bool VM_CompareDecide(uint32_t kind, double h) {
    if (h != h) return false;
    const double e = MathEpsilon;
    switch (kind) {
        case 1:
            return h < -e;
        case 2:
            return h <= e;
        case 3:
            return h >= -e && h <= e;
        case 4:
            return h < -e || h > e;
        case 5:
            return h >= -e;
        default:
            return h > e;
    }
}

// Largest text a string repetition (mul of a number and a string) may make, in bytes.
constexpr int64_t VM_MAX_REPEAT_BYTES = 0x7FFFFFFE;

uint8_t* VM_HandlerAdd(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
uint8_t* VM_HandlerSub(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
uint8_t* VM_HandlerMul(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
uint8_t* VM_HandlerDiv(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
uint8_t* VM_HandlerMod(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
uint8_t* VM_HandlerAnd(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
uint8_t* VM_HandlerOr(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
uint8_t* VM_HandlerXor(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
uint8_t* VM_HandlerShl(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
uint8_t* VM_HandlerShr(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
uint8_t* VM_HandlerNeg(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
uint8_t* VM_HandlerSet(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
uint8_t* VM_HandlerPopNull(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
uint8_t* VM_HandlerConv(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);
