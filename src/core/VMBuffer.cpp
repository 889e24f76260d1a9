#include "core/VMBuffer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/Code_Function.h"
#include "core/Code_Variable.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/VM.h"
#include "core/VM_Debug.h"

namespace {

uint32_t ReadWord(const uint8_t* at) {
    uint32_t word;
    std::memcpy(&word, at, 4);
    return word;
}

// Bytes of the instruction at offset, or 0 when it does not fit before the end.
uint32_t InstructionBytes(const uint8_t* code, uint32_t length, uint32_t offset) {
    if (length - offset < 4) return 0;
    const uint32_t size = 4 + VM_OperandSize(ReadWord(code + offset));
    return size <= length - offset ? size : 0;
}

}  // namespace

VMBuffer::~VMBuffer() {
    Debug_ForgetBuffer(this);
    MEM_FREE(handlers);
    MEM_FREE(wordMap);
    MEM_FREE(decoded);
}

void VMBuffer::Build() {
    const uint32_t size = length > 0 ? static_cast<uint32_t>(length) : 0;
    int32_t count = 0;
    uint32_t at = 0;
    for (uint32_t step; at < size && (step = InstructionBytes(code, size, at)) != 0; at += step) ++count;
    runLength = static_cast<int32_t>(at);
    instructionCount = count;
    MEM_FREE(handlers);
    MEM_FREE(wordMap);
    handlers = static_cast<VMHandler*>(
        MemoryManager::Alloc(sizeof(VMHandler) * static_cast<size_t>(count + 1), "Files/Code/VMBuffer", 107, true));
    wordMap = static_cast<int32_t*>(
        MemoryManager::Alloc(sizeof(int32_t) * (size / 4 + 1), "Files/Code/VMBuffer", 108, true));
    at = 0;
    for (int32_t n = 0; n < count; ++n) {
        const uint32_t word = ReadWord(code + at);
        const uint32_t operandBytes = VM_OperandSize(word);
        wordMap[at / 4] = n;
        handlers[n] = VM_SelectHandler(word, code + at + 4, operandBytes);
        at += 4 + operandBytes;
    }
}

// --- Listing ----------------------------------------------------------------------------

int32_t Code_InstructionSize(uint32_t type) {
    switch (type) {
        case VM_TYPE_DOUBLE:
        case VM_TYPE_LONG:
            return 8;
        case VM_TYPE_FLOAT:
        case VM_TYPE_INT:
        case VM_TYPE_BOOL:
        case VM_TYPE_VALUE:
        case VM_TYPE_STRING:
        case VM_TYPE_WATCH_STRING:
            return 4;
        default:
            return 0;
    }
}

const char* Code_OpcodeName(uint32_t opcode) {
    switch (opcode) {
        case 0xC0: return "push";
        case 0x80: return "pushv";
        case 0xC1: return "push.l";
        case 0xC2: return "push.g";
        case 0xC3: return "push.b";
        case 0x84: return "push.i";
        case 0x45: return "pop";
        case 0x05: return "popv";
        case 0x86: return "dup";
        case 0x07: return "conv";
        case 0x08: return "mul";
        case 0x09: return "div";
        case 0x0A: return "rem";
        case 0x0B: return "mod";
        case 0x0C: return "add";
        case 0x0D: return "sub";
        case 0x0E: return "and";
        case 0x0F: return "or";
        case 0x10: return "xor";
        case 0x11: return "neg";
        case 0x12: return "not";
        case 0x13: return "shl";
        case 0x14: return "shr";
        case 0x15: return "set";
        case 0xB6: return "b";
        case 0xB7: return "bt";
        case 0xB8: return "bf";
        case 0xD9:
        case 0x99: return "call";
        case 0xBA: return "pushenv";
        case 0xBB: return "popenv";
        case 0x9C: return "ret";
        case 0x9D: return "exit";
        case 0x9E: return "popz";
        case 0xFF: return "break";
        default: return "unknown";
    }
}

const char* Code_TypeSuffix(uint32_t type) {
    static const char* const kSuffixes[16] = {".d", ".f", ".i", ".l", ".b", ".v", ".s", ".ds",
                                              "",   "",   "",   "",   "",   "",   "",   ".e"};
    return kSuffixes[type & 0xF];
}

namespace {

void Pad(tagIConsole* console, int32_t& column, int32_t to) {
    while (column < to) {
        console->Output(" ");
        ++column;
    }
}

const char* VariableOperandName(const char* scriptName, uint32_t word, uint32_t operand) {
    if (!(operand & 0x20000000u)) return nullptr;
    int32_t scope = VM_Immediate(word);
    if (operand & 0x40000000u) scope += 100000;
    return Code_Variable_GetName(scriptName, scope, static_cast<int32_t>(operand & 0x0FFFFFFFu));
}

void ListOperand(const char* scriptName, uint32_t word, const uint8_t* operand, tagIConsole* console) {
    switch (VM_Type1(word)) {
        case VM_TYPE_DOUBLE: {
            double d;
            std::memcpy(&d, operand, 8);
            console->Output("%f", d);
            break;
        }
        case VM_TYPE_FLOAT: {
            float f;
            std::memcpy(&f, operand, 4);
            console->Output("%f", static_cast<double>(f));
            break;
        }
        case VM_TYPE_INT: {
            const int32_t i = static_cast<int32_t>(ReadWord(operand));
            if (VM_Opcode(word) == 0xD9 && i >= 0 && i < 100000) {
                const BuiltinFunction* row = Code_Function_Row(i);
                console->Output("%s", row ? row->name : "");
            } else {
                console->Output("%d", i);
            }
            break;
        }
        case VM_TYPE_LONG: {
            long long l;
            std::memcpy(&l, operand, 8);
            console->Output("%lld", l);
            break;
        }
        case VM_TYPE_BOOL:
            console->Output("%s", ReadWord(operand) == 1 ? "true" : "false");
            break;
        case VM_TYPE_VALUE: {
            const char* name = VariableOperandName(scriptName, word, ReadWord(operand));
            console->Output("$%s$", name ? name : "unknown");
            break;
        }
        case VM_TYPE_STRING:
        case VM_TYPE_WATCH_STRING: {
            const int32_t index = static_cast<int32_t>(ReadWord(operand));
            const VMHooks& hooks = VM_Hooks();
            auto text = VM_Type1(word) == VM_TYPE_STRING ? hooks.stringText : hooks.watchStringText;
            const char* s = text ? text(index) : nullptr;
            console->Output("\"%s\"", s ? s : "");
            break;
        }
        default:
            break;
    }
}

}  // namespace

int32_t Code_ListInstruction(const char* scriptName, const uint8_t* code, int32_t length, int32_t offset,
                             tagIConsole* console) {
    if (offset < 0 || length - offset < 4) return length;
    const uint32_t word = ReadWord(code + offset);
    uint32_t operandBytes = VM_OperandSize(word);
    if (operandBytes > static_cast<uint32_t>(length - offset - 4)) operandBytes = 0;
    console->Output("%08x : ", static_cast<uint32_t>(offset));
    int32_t column = 11;
    for (uint32_t i = 0; i < 4 + operandBytes; ++i, column += 2) console->Output("%02x", code[offset + i]);
    Pad(console, column, 36);
    const uint32_t opcode = VM_Opcode(word);
    const char* mnemonic = Code_OpcodeName(opcode);
    console->Output("%s", mnemonic);
    column += static_cast<int32_t>(std::strlen(mnemonic));
    if ((opcode & 0xA0) == 0x80) {
        console->Output("%s", Code_TypeSuffix(VM_Type1(word)));
        column += 2;
    } else if ((opcode & 0xA0) == 0) {
        console->Output("%s%s", Code_TypeSuffix(VM_Type1(word)), Code_TypeSuffix(VM_Type2(word)));
        column += 4;
    }
    Pad(console, column, 46);
    if (opcode & VM_OPCODE_OPERAND) {
        if (VM_Type1(word) == VM_TYPE_SPECIAL)
            console->Output("%d", VM_Immediate(word));
        else if (operandBytes > 0)
            ListOperand(scriptName, word, code + offset + 4, console);
    } else if (opcode & VM_OPCODE_BRANCH) {
        console->Output("0x%08x", static_cast<uint32_t>(offset + 4 * VM_BranchWords(word)));
    }
    console->Output("\n");
    return offset + 4 + static_cast<int32_t>(operandBytes);
}

void Code_List(const char* scriptName, const VMBuffer* buffer, tagIConsole* console) {
    for (int32_t offset = 0; offset < buffer->length;)
        offset = Code_ListInstruction(scriptName, buffer->code, buffer->length, offset, console);
}

// --- Load-time check --------------------------------------------------------------------

namespace {

bool Fail(char* error, uint32_t bytes, const char* format, uint32_t offset) {
    if (error && bytes) std::snprintf(error, bytes, format, offset);
    return false;
}

// Operand bytes by type nibble for an instruction that carries one (the listing's sizes, kept
// in a table so the check's walk does not branch on the type).
constexpr uint8_t kOperandBytes[16] = {8, 4, 4, 8, 4, 4, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0};

inline uint32_t CheckOperandBytes(uint32_t word) {
    return (VM_Opcode(word) & VM_OPCODE_OPERAND) ? kOperandBytes[VM_Type1(word)] : 0;
}

bool Jumps(uint32_t word) {
    const uint32_t index = VM_HandlerIndex(word);
    return index == VM_OP_B || index == VM_OP_BT || index == VM_OP_BF || index == VM_OP_PUSHENV ||
           (index == VM_OP_POPENV && ((word >> 16) & 0xFF) != 0xF0);
}

// The fault of an operand, or null.
const char* OperandFault(uint32_t word, uint32_t operand, const VMCodeLimits& limits) {
    const uint32_t index = VM_HandlerIndex(word);
    if (index == VM_OP_PUSH && VM_Type1(word) == VM_TYPE_STRING && operand >= limits.stringCount)
        return "the string of the instruction at %u is not in the string table";
    const bool variable = VM_Type1(word) == VM_TYPE_VALUE &&
                          (index == VM_OP_PUSH || index == VM_OP_POP || index == VM_OP_PUSH_LOCAL ||
                           index == VM_OP_PUSH_GLOBAL || index == VM_OP_PUSH_BUILTIN);
    const int32_t id = static_cast<int32_t>(operand & 0x0FFFFFFFu);
    if (variable && id < VARIABLE_ID_BASE && id >= limits.builtinVariableCount)
        return "the variable of the instruction at %u is not a known variable";
    return nullptr;
}

}  // namespace

// One walk marks the instruction starts, checks every operand and notes the branches; the
// branches are checked against the starts afterwards. Of several faults the one reported is
// the one a walk in order meets first: a cut-off instruction, then the start offset, then the
// earliest bad branch or operand.
bool VMBuffer_Check(const uint8_t* code, uint32_t length, uint32_t start, const VMCodeLimits& limits,
                    char* error, uint32_t errorBytes) {
    if (length % 4 != 0)
        return Fail(error, errorBytes, "the code length %u is not a whole number of words", length);
    const uint32_t words = length / 4;
    // Instruction starts per word (one past the end counts), then room for every word to be a
    // branch. Entries of ordinary size are checked on the stack: loads check thousands of them,
    // several threads at once.
    uint8_t local[12288];
    const uint64_t scratchBytes = words + 4 + uint64_t(sizeof(uint32_t)) * words;
    if (scratchBytes >= UINT32_MAX)
        return Fail(error, errorBytes, "the code of %u bytes is too long to check", length);
    const bool onStack = scratchBytes <= sizeof local;
    auto* starts = onStack ? local : static_cast<uint8_t*>(MEM_ALLOC(scratchBytes));
    if (onStack) std::memset(starts, 0, words + 1);
    auto* branches = reinterpret_cast<uint32_t*>(starts + ((words + 1 + 3) & ~3u));
    uint32_t branchCount = 0;
    const char* operandFault = nullptr;
    uint32_t operandFaultAt = 0;
    uint32_t at = 0;
    bool ok = true;
    while (at < length) {
        const uint32_t word = ReadWord(code + at);
        const uint32_t operandBytes = CheckOperandBytes(word);
        if (operandBytes > length - at - 4) {
            ok = Fail(error, errorBytes, "the operand of the instruction at %u runs past the end of the code",
                      at);
            break;
        }
        starts[at / 4] = 1;
        if ((VM_Opcode(word) & VM_OPCODE_BRANCH) && Jumps(word)) {
            branches[branchCount++] = at;
        } else if ((VM_Opcode(word) & VM_OPCODE_OPERAND) && operandFault == nullptr) {
            const uint32_t operand = operandBytes >= 4 ? ReadWord(code + at + 4) : 0;
            operandFault = OperandFault(word, operand, limits);
            operandFaultAt = at;
        }
        at += 4 + operandBytes;
    }
    starts[words] = 1;
    if (ok && (start % 4 != 0 || start > length || !starts[start / 4]))
        ok = Fail(error, errorBytes, "the code starts at %u, inside an instruction", start);
    for (uint32_t b = 0; ok && b < branchCount; ++b) {
        const uint32_t from = branches[b];
        if (operandFault && operandFaultAt < from) break;
        const int64_t target =
            static_cast<int64_t>(from) + 4 * static_cast<int64_t>(VM_BranchWords(ReadWord(code + from)));
        if (target < 0 || target > length || !starts[target / 4])
            ok = Fail(error, errorBytes, "the branch at %u leads outside the code or into an instruction",
                      from);
    }
    if (ok && operandFault) ok = Fail(error, errorBytes, operandFault, operandFaultAt);
    if (!onStack) MEM_FREE(starts);
    return ok;
}
