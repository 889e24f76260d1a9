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

// Operand bytes of an instruction, without a branch: a nibble per type (8 for d and l, 4 for
// f, i, b, v, s and ds, 0 above), kept only when the opcode says an operand follows.
inline uint32_t CheckOperandBytes(uint32_t word) {
    constexpr uint64_t kBytesByType = 0x44448448u;
    const uint32_t bytes = static_cast<uint32_t>(kBytesByType >> ((word >> 14) & 0x3C)) & 0xF;
    return bytes & (0u - ((word >> 30) & 1));
}

// The same in words, for the walk.
inline uint32_t CheckOperandWords(uint32_t word) {
    constexpr uint64_t kWordsByType = 0x11112112u;
    const uint32_t words = static_cast<uint32_t>(kWordsByType >> ((word >> 14) & 0x3C)) & 0xF;
    return words & (0u - ((word >> 30) & 1));
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

// Opcodes the walk must look at more closely: those that may jump and those whose operand may
// name a string or a variable. The rest only need their length.
constexpr bool NeedsLook(uint32_t opcode) {
    const uint32_t index = opcode & 0x1F;
    if ((opcode & VM_OPCODE_BRANCH) && (index == VM_OP_B || index == VM_OP_BT || index == VM_OP_BF ||
                                        index == VM_OP_PUSHENV || index == VM_OP_POPENV))
        return true;
    return (opcode & VM_OPCODE_OPERAND) &&
           (index == VM_OP_PUSH || index == VM_OP_POP || index == VM_OP_PUSH_LOCAL ||
            index == VM_OP_PUSH_GLOBAL || index == VM_OP_PUSH_BUILTIN);
}

struct LookTable {
    uint8_t needs[256];
    constexpr LookTable() : needs() {
        for (uint32_t op = 0; op < 256; ++op) needs[op] = NeedsLook(op) ? 1 : 0;
    }
};
constexpr LookTable kLook;

// The check of one code entry. The walk goes through the instructions once; it only marks
// their starts and lists the ones that need a closer look (branches, strings, variables), as
// each step waits for the word before it to know where the next instruction starts. The
// listed instructions are looked at when the walk ends, where nothing waits on anything. Of
// several faults the one reported is the one a walk in order meets first: a cut-off
// instruction, then the start offset, then the earliest bad branch or operand.
class CodeWalk {
public:
    static constexpr uint32_t kLocalBytes = 12288;

    ~CodeWalk() { FreeScratch(); }

    // False when the entry fails before its walk (its reason is written).
    bool Begin(const VMCodeSpan& span, uint32_t entry, char* error, uint32_t errorBytes) {
        m_code = span.code;
        m_length = span.length;
        m_start = span.start;
        m_entry = entry;
        m_word = 0;
        m_cut = false;
        if (m_length % 4 != 0)
            return Fail(error, errorBytes, "the code length %u is not a whole number of words", m_length);
        const uint32_t words = m_length / 4;
        // A mark per word (one past the end counts), then room for every word to be listed.
        // Entries of ordinary size are checked in the walk's own buffer.
        const uint64_t marksBytes = (uint64_t(words) + 1 + 3) & ~uint64_t(3);
        const uint64_t scratchBytes = marksBytes + uint64_t(sizeof(uint32_t)) * words;
        if (scratchBytes >= UINT32_MAX)
            return Fail(error, errorBytes, "the code of %u bytes is too long to check", m_length);
        FreeScratch();
        if (scratchBytes <= kLocalBytes) {
            m_marks = m_local;
        } else {
            m_marks = static_cast<uint8_t*>(MEM_ALLOC_RAW(scratchBytes));
            m_owned = m_marks;
            if (!m_marks) return Fail(error, errorBytes, "no memory to check %u bytes of code", m_length);
        }
        std::memset(m_marks, 0, marksBytes);
        m_looks = m_looksEnd = reinterpret_cast<uint32_t*>(m_marks + marksBytes);
        return true;
    }

    bool Done() const { return m_word >= m_length / 4 || m_cut; }
    uint32_t Entry() const { return m_entry; }

    // Walks `a` and `b` a step of each in turn until one of them is done, so the waits of the two
    // overlap. The state lives in locals meanwhile, where the compiler keeps it in registers.
    static void WalkPair(CodeWalk& a, CodeWalk& b) {
        Cursor x = a.Take(), y = b.Take();
        while (x.word < x.words && y.word < y.words && x.Step() && y.Step()) {
        }
        a.Put(x);
        b.Put(y);
    }
    void Walk() {
        Cursor x = Take();
        while (x.word < x.words && x.Step()) {
        }
        Put(x);
    }

    // The checks that wait for the whole walk; false with the reason written when the entry is bad.
    bool Finish(const VMCodeLimits& limits, char* error, uint32_t errorBytes) {
        if (m_cut)
            return Fail(error, errorBytes,
                        "the operand of the instruction at %u runs past the end of the code", 4 * m_word);
        // The branches are kept at the front of the same list.
        const char* operandFault = nullptr;
        uint32_t operandFaultAt = 0, branchCount = 0;
        for (const uint32_t* look = m_looks; look < m_looksEnd; ++look) {
            const uint32_t at = 4 * *look;
            const uint32_t word = ReadWord(m_code + at);
            if ((VM_Opcode(word) & VM_OPCODE_BRANCH) && Jumps(word)) {
                m_looks[branchCount++] = at;
            } else if ((VM_Opcode(word) & VM_OPCODE_OPERAND) && operandFault == nullptr) {
                const uint32_t operand = CheckOperandBytes(word) >= 4 ? ReadWord(m_code + at + 4) : 0;
                operandFault = OperandFault(word, operand, limits);
                operandFaultAt = at;
            }
        }
        m_marks[m_length / 4] = 1;
        if (m_start % 4 != 0 || m_start > m_length || !m_marks[m_start / 4])
            return Fail(error, errorBytes, "the code starts at %u, inside an instruction", m_start);
        for (uint32_t b = 0; b < branchCount; ++b) {
            const uint32_t from = m_looks[b];
            if (operandFault && operandFaultAt < from) break;
            const int64_t target = static_cast<int64_t>(from) +
                                   4 * static_cast<int64_t>(VM_BranchWords(ReadWord(m_code + from)));
            if (target < 0 || target > m_length || !m_marks[target / 4])
                return Fail(error, errorBytes,
                            "the branch at %u leads outside the code or into an instruction", from);
        }
        if (operandFault) return Fail(error, errorBytes, operandFault, operandFaultAt);
        return true;
    }

private:
    struct Cursor {
        const uint8_t* code;
        uint8_t* marks;
        uint32_t* looks;  // the end of the list
        uint32_t word, words;

        // One instruction; false when it is cut off by the end of the code (`word` stays on it).
        bool Step() {
            const uint32_t instruction = ReadWord(code + 4 * size_t{word});
            const uint32_t operandWords = CheckOperandWords(instruction);
            if (operandWords > words - word - 1) [[unlikely]]
                return false;
            marks[word] = 1;
            *looks = word;
            looks += kLook.needs[VM_Opcode(instruction)];
            word += 1 + operandWords;
            return true;
        }
        // A walk that stopped inside the code stopped at an instruction cut off by its end.
        bool Cut() const {
            return word < words && CheckOperandWords(ReadWord(code + 4 * size_t{word})) > words - word - 1;
        }
    };

    Cursor Take() const { return Cursor{m_code, m_marks, m_looksEnd, m_word, m_length / 4}; }
    void Put(const Cursor& c) {
        m_word = c.word;
        m_looksEnd = c.looks;
        m_cut = c.Cut();
    }
    void FreeScratch() {
        MEM_FREE(m_owned);
        m_owned = nullptr;
    }

    const uint8_t* m_code = nullptr;
    uint32_t m_length = 0, m_start = 0, m_entry = 0, m_word = 0;
    uint8_t* m_marks = nullptr;
    uint8_t* m_owned = nullptr;
    uint32_t* m_looks = nullptr;  // word offsets of the instructions to look at
    uint32_t* m_looksEnd = nullptr;
    bool m_cut = false;
    alignas(8) uint8_t m_local[kLocalBytes];
};

}  // namespace

bool VMBuffer_Check(const uint8_t* code, uint32_t length, uint32_t start, const VMCodeLimits& limits,
                    char* error, uint32_t errorBytes) {
    const VMCodeSpan span{code, length, start};
    return VMBuffer_CheckAll(&span, 1, limits, error, errorBytes) == 1;
}

// Entries are walked two at a time, so the waits of one walk overlap the other's.
uint32_t VMBuffer_CheckAll(const VMCodeSpan* spans, uint32_t count, const VMCodeLimits& limits, char* error,
                           uint32_t errorBytes) {
    CodeWalk walks[2];
    bool live[2] = {};
    uint32_t next = 0, failed = count;
    char reason[256];
    const auto fail = [&](uint32_t entry) {
        if (entry >= failed) return;
        failed = entry;
        if (error && errorBytes) std::snprintf(error, errorBytes, "%s", reason);
    };
    const auto end = [&](CodeWalk& walk) {
        if (!walk.Finish(limits, reason, sizeof reason)) fail(walk.Entry());
    };
    // Puts the next entry with instructions to walk on `walk`; false when none is left. Entries
    // after one known to be bad need no check.
    const auto start = [&](CodeWalk& walk) {
        while (next < count && next < failed) {
            const uint32_t entry = next++;
            if (!spans[entry].code) continue;
            if (!walk.Begin(spans[entry], entry, reason, sizeof reason)) {
                fail(entry);
            } else if (walk.Done()) {
                end(walk);
            } else {
                return true;
            }
        }
        return false;
    };
    live[0] = start(walks[0]);
    live[1] = start(walks[1]);
    while (live[0] && live[1]) {
        CodeWalk::WalkPair(walks[0], walks[1]);
        for (int k = 0; k < 2; ++k) {
            if (!walks[k].Done()) continue;
            end(walks[k]);
            live[k] = start(walks[k]);
        }
    }
    for (int k = 0; k < 2; ++k) {
        while (live[k]) {
            walks[k].Walk();
            end(walks[k]);
            live[k] = start(walks[k]);
        }
    }
    return failed;
}
