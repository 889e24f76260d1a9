// Helpers the interpreter's handlers share: reading and writing stack items (which may lie at
// any 4-byte boundary, so every access goes through memcpy), the string items' handles, and
// the bounds of the current frame.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/VM.h"
#include "core/Value.h"

template <typename T>
inline T VM_Load(const uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Values are read a half at a time (see RValue_CopyBits).
template <>
inline RValue VM_Load<RValue>(const uint8_t* at) {
    RValue value;
    RValue_CopyBits(&value, at);
    return value;
}

template <typename T>
inline void VM_Store(uint8_t* at, const T& value) {
    std::memcpy(static_cast<void*>(at), &value, sizeof value);
}

// The kind word of a value at `at` (any alignment), read as the whole upper half (flags and
// kind). Values are written a half at a time; a 4-byte read of the kind alone cannot be forwarded
// from the upper half's store still in flight and waits for it to retire, which the interpreter
// would pay on every local or item just written.
inline uint32_t VM_KindAt(const void* at) {
    uint64_t high;
    __builtin_memcpy(&high, static_cast<const char*>(at) + 8, 8);
    asm("" : "+r"(high));  // keeps the read 8 bytes wide (the compiler would narrow it to the kind)
    return static_cast<uint32_t>(high >> 32);
}

// Writes a value as its two 8-byte halves, the halves VM_KindAt and RValue_CopyBits read back.
inline void VM_StoreHalves(void* at, uint64_t low, uint32_t kind) {
    const uint64_t high = uint64_t{kind} << 32;  // flags 0
    __builtin_memcpy(at, &low, 8);
    __builtin_memcpy(static_cast<char*>(at) + 8, &high, 8);
}
inline void VM_StoreReal(void* at, double d) {
    uint64_t low;
    __builtin_memcpy(&low, &d, 8);
    VM_StoreHalves(at, low, VALUE_REAL);
}
inline void VM_StoreInt32(void* at, int32_t i) {
    VM_StoreHalves(at, static_cast<uint32_t>(i), VALUE_INT32);
}

// A value leaving a local for the stack: an array that took the local as its owner must not
// keep that address, or a later holder there could write into a shared array in place.
inline void VM_StoreValue(uint8_t* at, RValue value, const RValue* local) {
    if (value.kind == VALUE_ARRAY && value.arr != nullptr && value.arr->owner == local)
        value.arr->owner = nullptr;
    VM_Store(at, value);
}
inline void VM_StoreValue(uint8_t* at, RValue& value) {
    VM_StoreValue(at, value, &value);
}

// A string item is a 32-bit handle to a record of stable address; the item owns one
// reference of the record. Handle 0 is the null record.
uint32_t VMString_NewHandle(SharedString* record);
SharedString* VMString_Get(uint32_t handle);
// Frees the handle and answers the record with the item's reference.
SharedString* VMString_Take(uint32_t handle);
// Live handles (tests).
int32_t VMString_LiveCount();

// Bytes of items between the stack pointer and the current frame record.
inline int64_t VM_ItemBytes(const uint8_t* sp, const VMExecContext* ctx) {
    return ctx->frame - sp;
}

// True when n bytes of items lie in the current frame; otherwise raises the underflow error
// of the named handler.
// Raises the underflow error of the named handler and answers false.
bool VM_StackUnderflow(VMExecContext* ctx, const char* handler);
inline bool VM_HaveItems(const uint8_t* sp, VMExecContext* ctx, int64_t n, const char* handler) {
    return VM_ItemBytes(sp, ctx) >= n || VM_StackUnderflow(ctx, handler);
}

// Makes room for n more bytes below sp (null: the run has ended as a stack overflow).
inline uint8_t* VM_Reserve(uint8_t* sp, VMExecContext* ctx, int32_t n) {
    if (sp - ctx->stack >= n + 1024) return sp;
    return VM_GrowStack(sp, ctx, n);
}

// Reads a stack item of a type as a value: d, f, i and l as reals; b as a bool; v the 16
// bytes; s a string value taking over the item's reference. Answers the pointer past it.
uint8_t* VM_LoadTypedValue(RValue* out, uint32_t type, uint8_t* sp);
// Releases what a stack item of a type holds (a v payload, an s reference).
void VM_ReleaseItem(uint32_t type, uint8_t* at);

// The frame record of a script call, directly below the callee's arguments. Positions are
// byte distances up from the record itself: record, arguments and the caller's frame move
// together when the block grows. A run starts with a zero record (no caller code) that marks
// the bottom. The caller's code object stands for its buffer, debug table, source, name and
// deferred locals count, which the context always takes from the code object it runs.
struct VMFrame {
    const CCode* callerCode;  // null: the bottom record
    CInstance* callerSelf;
    CInstance* callerOther;
    PWObjectBase* function;
    PWObjectBase* callerLocals;
    int32_t callerPc;
    int32_t callerInstruction;  // the caller's next instruction number (that of callerPc)
    int32_t callerArgCount;
    int32_t callerLocalsBorrowed;
    int32_t callerFrame;  // up to the caller's record; 0: none
    int32_t callerArgs;   // up to the caller's first argument (VM_Args); 0: none or outside the block
    int32_t argsEnd;      // up to where the callee's argument block ended: the result goes below it
    int32_t spare;
};
static_assert(sizeof(VMFrame) % 8 == 0);

inline int64_t VM_FromEnd(const VMExecContext* ctx, const void* at) {
    return ctx->stack + ctx->stackSize - static_cast<const uint8_t*>(at);
}
inline uint8_t* VM_AtFromEnd(const VMExecContext* ctx, int64_t distance) {
    return ctx->stack + ctx->stackSize - distance;
}
