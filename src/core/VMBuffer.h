// A code buffer: one bytecode sequence as the interpreter runs it. The same record holds a
// code object's debug table, its words read as (code offset, source position) pairs.
//
// An instruction is a 32-bit little-endian word: opcode byte (bit 7 a type suffix, bit 6
// operand words follow, bit 5 a branch, bits 4..0 the handler index), type byte (low nibble
// type 1, high nibble type 2) and a 16-bit immediate. A branch keeps a signed 23-bit count of
// words in place of the type byte and immediate.
#pragma once

#include <cstdint>

struct VMDecoded;
struct VMExecContext;
struct tagIConsole;

// An instruction handler: (instruction word, stack pointer, operand, context) -> stack pointer.
using VMHandler = uint8_t* (*)(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx);

// Operand and stack item types (the nibbles of the type byte).
enum VMType : uint32_t {
    VM_TYPE_DOUBLE = 0,
    VM_TYPE_FLOAT = 1,
    VM_TYPE_INT = 2,
    VM_TYPE_LONG = 3,
    VM_TYPE_BOOL = 4,
    VM_TYPE_VALUE = 5,
    VM_TYPE_STRING = 6,
    VM_TYPE_WATCH_STRING = 7,
    VM_TYPE_SPECIAL = 15,
};

// Handler indexes (the low five bits of the opcode byte).
enum VMOp : uint32_t {
    VM_OP_PUSH = 0,
    VM_OP_PUSH_LOCAL = 1,
    VM_OP_PUSH_GLOBAL = 2,
    VM_OP_PUSH_BUILTIN = 3,
    VM_OP_PUSH_IMMEDIATE = 4,
    VM_OP_POP = 5,
    VM_OP_DUP = 6,
    VM_OP_CONV = 7,
    VM_OP_MUL = 8,
    VM_OP_DIV = 9,
    VM_OP_REM = 10,
    VM_OP_MOD = 11,
    VM_OP_ADD = 12,
    VM_OP_SUB = 13,
    VM_OP_AND = 14,
    VM_OP_OR = 15,
    VM_OP_XOR = 16,
    VM_OP_NEG = 17,
    VM_OP_NOT = 18,
    VM_OP_SHL = 19,
    VM_OP_SHR = 20,
    VM_OP_SET = 21,
    VM_OP_B = 22,
    VM_OP_BT = 23,
    VM_OP_BF = 24,
    VM_OP_CALL = 25,
    VM_OP_PUSHENV = 26,
    VM_OP_POPENV = 27,
    VM_OP_RET = 28,
    VM_OP_EXIT = 29,
    VM_OP_POPZ = 30,
    VM_OP_BREAK = 31,
};

constexpr uint32_t VM_OPCODE_TYPED = 0x80;
constexpr uint32_t VM_OPCODE_OPERAND = 0x40;
constexpr uint32_t VM_OPCODE_BRANCH = 0x20;

inline uint32_t VM_Opcode(uint32_t word) {
    return word >> 24;
}
inline uint32_t VM_HandlerIndex(uint32_t word) {
    return (word >> 24) & 0x1F;
}
inline uint32_t VM_Type1(uint32_t word) {
    return (word >> 16) & 0xF;
}
inline uint32_t VM_Type2(uint32_t word) {
    return (word >> 20) & 0xF;
}
inline int32_t VM_Immediate(uint32_t word) {
    return static_cast<int16_t>(word & 0xFFFF);
}
// The signed word count of a branch.
inline int32_t VM_BranchWords(uint32_t word) {
    return static_cast<int32_t>(word << 9) >> 9;
}
// Bytes of operand that follow the word (none unless opcode bit 6 is set): 8 for d and l,
// 4 for f, i, b, v, s and ds, else 0.
inline uint32_t VM_OperandSize(uint32_t word) {
    if (!(VM_Opcode(word) & VM_OPCODE_OPERAND)) return 0;
    constexpr uint8_t kBytes[16] = {8, 4, 4, 8, 4, 4, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0};
    return kBytes[VM_Type1(word)];
}

struct VMBuffer {
    VMBuffer(uint8_t* code, int32_t length, int32_t locals, int32_t arguments)
        : length(length), locals(locals), arguments(arguments), code(code) {}
    // Frees the dispatch tables; the code is never owned (it lies in the data file or in a
    // debugger packet).
    virtual ~VMBuffer();
    VMBuffer(const VMBuffer&) = delete;
    VMBuffer& operator=(const VMBuffer&) = delete;

    // Builds the handlers and the word map unless they exist.
    void Prepare() {
        if (handlers == nullptr || wordMap == nullptr) Build();
    }
    // True when offset is the start of an instruction inside the code, or the end of the last
    // whole one (prepares the buffer).
    bool IsInstructionStart(int32_t offset) {
        Prepare();
        if (offset < 0 || offset > runLength || (offset & 3) != 0) return false;
        return offset == 0 || offset == runLength || wordMap[offset / 4] != 0;
    }

    int32_t length;     // bytes of code
    int32_t locals;     // local slots of the code entry
    int32_t arguments;  // declared arguments of the code entry
    uint8_t* code;
    VMHandler* handlers = nullptr;  // one per instruction plus a spare, built on first use
    int32_t* wordMap = nullptr;     // instruction number per word offset (0 for operands)
    VMDecoded* decoded = nullptr;   // the fast loop's form, built on its first run
    int32_t instructionCount = 0;
    // Bytes covered by whole instructions: a word or operand cut off by the end of the code
    // never runs.
    int32_t runLength = 0;

private:
    void Build();
};

// --- Listing ----------------------------------------------------------------------------

// Operand size for the listing by type: 8 for d and l, 4 for f, i, b, v, s and ds, else 0.
int32_t Code_InstructionSize(uint32_t type);
// The mnemonic of an opcode byte ("unknown" for bytes outside the set) and a type's suffix.
const char* Code_OpcodeName(uint32_t opcode);
const char* Code_TypeSuffix(uint32_t type);
// Writes the listing line of the instruction at byte offset and returns the offset of the
// next one. Variable names are those of the named script.
int32_t Code_ListInstruction(const char* scriptName, const uint8_t* code, int32_t length, int32_t offset,
                             tagIConsole* console);
void Code_List(const char* scriptName, const VMBuffer* buffer, tagIConsole* console);

// --- Load-time check --------------------------------------------------------------------

struct VMCodeLimits {
    uint32_t stringCount;          // entries of the data file's string table
    int32_t builtinVariableCount;  // rows of the built-in variable table
};
// Checks bytecode from a data file before anything runs it: whole instructions only, every
// operand inside the code, branch and pushenv targets at instruction starts within
// [0, length], string indexes and built-in variable ids in range, and the start offset at an
// instruction. On failure writes the reason to error and answers false.
bool VMBuffer_Check(const uint8_t* code, uint32_t length, uint32_t start, const VMCodeLimits& limits,
                    char* error, uint32_t errorBytes);
// The code of one entry; null code marks an empty slot, which is skipped.
struct VMCodeSpan {
    const uint8_t* code;
    uint32_t length;
    uint32_t start;
};
// Checks spans [0, count) as VMBuffer_Check checks each one. Answers the index of the first
// span that fails, with its reason in error, or count when all pass.
uint32_t VMBuffer_CheckAll(const VMCodeSpan* spans, uint32_t count, const VMCodeLimits& limits, char* error,
                           uint32_t errorBytes);
