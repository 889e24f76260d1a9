#include "core/VMBuffer.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    handlers = static_cast<VMHandler*>(MemoryManager::Alloc(
        sizeof(VMHandler) * static_cast<size_t>(count + 1), "Files/Code/VMBuffer", 107, true));
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
        case 0xC0:
            return "push";
        case 0x80:
            return "pushv";
        case 0xC1:
            return "push.l";
        case 0xC2:
            return "push.g";
        case 0xC3:
            return "push.b";
        case 0x84:
            return "push.i";
        case 0x45:
            return "pop";
        case 0x05:
            return "popv";
        case 0x86:
            return "dup";
        case 0x07:
            return "conv";
        case 0x08:
            return "mul";
        case 0x09:
            return "div";
        case 0x0A:
            return "rem";
        case 0x0B:
            return "mod";
        case 0x0C:
            return "add";
        case 0x0D:
            return "sub";
        case 0x0E:
            return "and";
        case 0x0F:
            return "or";
        case 0x10:
            return "xor";
        case 0x11:
            return "neg";
        case 0x12:
            return "not";
        case 0x13:
            return "shl";
        case 0x14:
            return "shr";
        case 0x15:
            return "set";
        case 0xB6:
            return "b";
        case 0xB7:
            return "bt";
        case 0xB8:
            return "bf";
        case 0xD9:
        case 0x99:
            return "call";
        case 0xBA:
            return "pushenv";
        case 0xBB:
            return "popenv";
        case 0x9C:
            return "ret";
        case 0x9D:
            return "exit";
        case 0x9E:
            return "popz";
        case 0xFF:
            return "break";
        default:
            return "unknown";
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

// The opcode bytes the interpreter defines, a bit per byte. Any other byte would reach a handler
// with an operand it does not have or a debug stop that is not there, so it is refused.
struct OpcodeSet {
    uint64_t bits[4] = {};
    constexpr OpcodeSet() {
        constexpr uint8_t kDefined[] = {0xC0, 0x80, 0xC1, 0xC2, 0xC3, 0x84, 0x45, 0x05, 0x86,
                                        0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
                                        0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0xB6, 0xB7, 0xB8,
                                        0xD9, 0x99, 0xBA, 0xBB, 0x9C, 0x9D, 0x9E, 0xFF};
        for (uint8_t opcode : kDefined) bits[opcode >> 6] |= uint64_t{1} << (opcode & 63);
    }
    constexpr bool Has(uint32_t opcode) const { return (bits[opcode >> 6] >> (opcode & 63)) & 1; }
};
constexpr OpcodeSet kDefinedOpcodes;

// The check works on blocks of 64 words, a bit per word in each mask.
constexpr uint32_t kBlockWords = 64;

// What a block's words would be if an instruction started at each of them, worked out for all
// words at once as nothing here depends on where instructions start.
struct BlockScan {
    uint64_t operand;      // words that would have an operand word after them
    uint64_t twoOperands;  // words that would have two (a subset of `operand`)
    uint64_t branches;     // words whose opcode has the branch bit
    bool mayFault;         // some word may be a push or pop of a bad string or variable
};

#if defined(__SSE2__)
// Sixteen words at a time, their opcode and type bytes packed into 16-bit lanes. The fault test
// only needs to let every real fault through: the words it flags are looked at one by one once
// the block's starts are known.
void ScanBlock(const uint8_t* words, const VMCodeLimits& limits, BlockScan& scan) {
    const __m128i operandTest = _mm_set1_epi16(0x4008), hasOperand = _mm_set1_epi16(0x4000);
    const __m128i typeTest = _mm_set1_epi16(0x400F), typeDouble = _mm_set1_epi16(0x4000 | VM_TYPE_DOUBLE),
                  typeLong = _mm_set1_epi16(0x4000 | VM_TYPE_LONG),
                  typeValue = _mm_set1_epi16(0x4000 | VM_TYPE_VALUE);
    const __m128i pushStringTest = _mm_set1_epi16(0x5F0F),
                  pushString = _mm_set1_epi16(0x4000 | VM_OP_PUSH << 8 | VM_TYPE_STRING);
    const __m128i idMask = _mm_set1_epi32(0x0FFFFFFF), idBase = _mm_set1_epi32(VARIABLE_ID_BASE),
                  builtinCount = _mm_set1_epi32(limits.builtinVariableCount);
    // Unsigned comparisons as signed ones with the top bit flipped.
    const __m128i flip = _mm_set1_epi32(INT32_MIN);
    const __m128i stringCount = _mm_xor_si128(_mm_set1_epi32(static_cast<int32_t>(limits.stringCount)), flip);
    // The opcode and type bytes of 8 words, sign-extended into 16-bit lanes.
    const auto high = [](const uint8_t* at) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16));
        return _mm_packs_epi32(_mm_srai_epi32(low, 16), _mm_srai_epi32(high, 16));
    };
    // Of 16-bit lanes: the operand bit with a type that has an operand, and a type of 8 bytes.
    const auto longer = [&](__m128i h) { return _mm_cmpeq_epi16(_mm_and_si128(h, operandTest), hasOperand); };
    const auto longest = [&](__m128i type) {
        return _mm_or_si128(_mm_cmpeq_epi16(type, typeDouble), _mm_cmpeq_epi16(type, typeLong));
    };
    // Of the 4 words at `at`, read as operands.
    const auto badId = [&](const uint8_t* at) {
        const __m128i id = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), idMask);
        return _mm_andnot_si128(_mm_cmpgt_epi32(builtinCount, id), _mm_cmpgt_epi32(idBase, id));
    };
    const auto goodString = [&](const uint8_t* at) {
        const __m128i operand = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        return _mm_cmpgt_epi32(stringCount, _mm_xor_si128(operand, flip));
    };
    // Of 8 words, those typed as a value followed by a bad variable id, and the pushes of a
    // string followed by a bad string index.
    const auto fault = [&](__m128i h, __m128i type, const uint8_t* operands) {
        const __m128i isValue = _mm_cmpeq_epi16(type, typeValue);
        const __m128i isString = _mm_cmpeq_epi16(_mm_and_si128(h, pushStringTest), pushString);
        const __m128i bad = _mm_packs_epi32(badId(operands), badId(operands + 16));
        const __m128i good = _mm_packs_epi32(goodString(operands), goodString(operands + 16));
        return _mm_or_si128(_mm_and_si128(isValue, bad), _mm_andnot_si128(good, isString));
    };
    // The sign bits of two vectors of 16-bit lanes, in order.
    const auto mask = [](__m128i a, __m128i b) {
        return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(a, b))));
    };
    __m128i faults = _mm_setzero_si128();
    scan.operand = scan.twoOperands = scan.branches = 0;
    for (uint32_t q = 0; q < kBlockWords / 16; ++q) {
        const uint8_t* at = words + 64 * q;
        const __m128i high0 = high(at), high1 = high(at + 32);
        const __m128i type0 = _mm_and_si128(high0, typeTest), type1 = _mm_and_si128(high1, typeTest);
        scan.operand |= mask(longer(high0), longer(high1)) << (16 * q);
        scan.twoOperands |= mask(longest(type0), longest(type1)) << (16 * q);
        scan.branches |= mask(_mm_slli_epi16(high0, 2), _mm_slli_epi16(high1, 2)) << (16 * q);
        faults = _mm_or_si128(faults, fault(high0, type0, at + 4));
        faults = _mm_or_si128(faults, fault(high1, type1, at + 36));
    }
    scan.mayFault = _mm_movemask_epi8(faults) != 0;
}
#else
void ScanBlock(const uint8_t* words, const VMCodeLimits&, BlockScan& scan) {
    scan.operand = scan.twoOperands = scan.branches = 0;
    for (uint32_t j = 0; j < kBlockWords; ++j) {
        const uint32_t word = ReadWord(words + 4 * j);
        const uint32_t operandBytes = CheckOperandBytes(word);
        scan.operand |= uint64_t(operandBytes >= 4 ? 1 : 0) << j;
        scan.twoOperands |= uint64_t(operandBytes == 8 ? 1 : 0) << j;
        scan.branches |= uint64_t(VM_Opcode(word) & VM_OPCODE_BRANCH ? 1 : 0) << j;
    }
    scan.mayFault = true;
}
#endif

// The instruction starts of a block whose first start is at word `first` (0 to 2); `first`
// becomes that of the next block.
uint64_t WalkBlock(const BlockScan& scan, uint32_t& first) {
    // Up to the first start with two operand words, the starts follow from the operand bits
    // alone: in a run of words with operand bits that begins at a start, every other word is a
    // start with an operand word after it. A carry through each run that begins on an even word
    // tells those runs from the others. After a start with two operand words the same goes on
    // from the word after them.
    constexpr uint64_t kEven = 0x5555555555555555u;
    uint64_t starts = 0;
    for (uint32_t from = first;;) {
        const uint64_t before = (uint64_t{1} << from) - 1;
        const uint64_t operand = scan.operand & ~before;
        const uint64_t runStarts = operand & ~(operand << 1);
        const uint64_t evenRuns = operand & ~(operand + (runStarts & kEven));
        const uint64_t leads = operand & ~(evenRuns ^ kEven);  // starts followed by an operand word
        const uint64_t found = ~(leads << 1) & ~before;
        const uint64_t longest = found & scan.twoOperands;
        if (longest == 0) {
            first = static_cast<uint32_t>(leads >> 63);
            return starts | found;
        }
        const uint32_t at = static_cast<uint32_t>(std::countr_zero(longest));
        starts |= found & ((uint64_t{2} << at) - 1);
        from = at + 3;
        if (from >= kBlockWords) {
            first = from - kBlockWords;
            return starts;
        }
    }
}

// The check of one code entry. A scan of each block tells, for every word, how long an
// instruction starting there would be; bit arithmetic over those lengths then marks where
// instructions really start, with no chain of reads from one instruction to the next. Of
// several faults the one reported is the one a walk in order meets first: a cut-off
// instruction, then the start offset, then the earliest bad branch or operand.
class CodeCheck {
public:
    ~CodeCheck() { MEM_FREE(m_owned); }

    bool Run(const VMCodeSpan& span, const VMCodeLimits& limits, char* error, uint32_t errorBytes) {
        m_code = span.code;
        m_words = span.length / 4;
        if (span.length % 4 != 0)
            return Fail(error, errorBytes, "the code length %u is not a whole number of words", span.length);
        if (TooLong(m_words))
            return Fail(error, errorBytes, "the code of %u bytes is too long to check", span.length);
        if (!MakeRoom(m_words / kBlockWords + 1))
            return Fail(error, errorBytes, "no memory to check %u bytes of code", span.length);
        Walk(limits);
        if (!IsStart(m_words))
            return Fail(error, errorBytes,
                        "the operand of the instruction at %u runs past the end of the code",
                        4 * LastStartBefore(m_words));
        if (span.start % 4 != 0 || span.start > span.length || !IsStart(span.start / 4))
            return Fail(error, errorBytes, "the code starts at %u, inside an instruction", span.start);
        const uint32_t badBranch = FirstBadBranchBefore(m_faultAt);
        if (badBranch != kNone)
            return Fail(error, errorBytes, "the branch at %u leads outside the code or into an instruction",
                        4 * badBranch);
        if (m_fault) return Fail(error, errorBytes, m_fault, 4 * m_faultAt);
        return true;
    }

private:
    static constexpr uint32_t kNone = UINT32_MAX;
    static constexpr uint32_t kLocalBlocks = 256;

    // The longest code the check takes, about 3.4 GB; longer code is refused.
    static bool TooLong(uint32_t words) {
        const uint64_t marksBytes = (uint64_t(words) + 1 + 3) & ~uint64_t(3);
        return marksBytes + uint64_t(sizeof(uint32_t)) * words >= UINT32_MAX;
    }

    // Room for a mask of starts and of branch starts per block; entries of ordinary size use the
    // check's own buffer.
    bool MakeRoom(uint32_t blocks) {
        MEM_FREE(m_owned);
        m_owned = nullptr;
        if (blocks <= kLocalBlocks) {
            m_starts = m_local;
        } else {
            m_owned = static_cast<uint64_t*>(MEM_ALLOC_RAW(2 * sizeof(uint64_t) * blocks));
            if (!m_owned) return false;
            m_starts = m_owned;
        }
        m_branches = m_starts + blocks;
        return true;
    }

    // Marks the starts of words [0, m_words], the one past the end being a start unless the
    // last instruction runs past the end; notes the branch starts and the first bad operand. The
    // last block or two are read from a copy padded with one-word instructions, so every block
    // has the word after it to read as an operand.
    void Walk(const VMCodeLimits& limits) {
        m_fault = nullptr;
        m_faultAt = kNone;
        uint32_t first = 0;  // offset of the first start in the next block
        alignas(16) uint8_t padded[4 * (kBlockWords + 4)];
        for (uint32_t block = 0, base = 0; base <= m_words; ++block, base += kBlockWords) {
            const uint8_t* words = m_code + 4 * size_t{base};
            if (m_words - base <= kBlockWords) {
                std::memset(padded, 0, sizeof padded);
                if (m_words > base) std::memcpy(padded, words, 4 * size_t{m_words - base});
                words = padded;
            }
            BlockScan scan;
            ScanBlock(words, limits, scan);
            const uint64_t starts = WalkBlock(scan, first);
            m_starts[block] = starts;
            m_branches[block] = starts & scan.branches;
            if (m_fault) continue;
            // Of the words past the end only the one right after it is a start, and it is no
            // instruction.
            const uint64_t real =
                m_words - base >= kBlockWords ? ~uint64_t{0} : (uint64_t{1} << (m_words - base)) - 1;
            const uint64_t unknown = FirstUnknownOpcode(words, starts & real);
            if (scan.mayFault) NoteOperandFault(words, base, starts & real & (unknown - 1), limits);
            if (!m_fault && unknown) {
                m_fault = "the instruction at %u has an opcode the interpreter does not define";
                m_faultAt = base + static_cast<uint32_t>(std::countr_zero(unknown));
            }
        }
    }

    // The bit of the first of `starts` whose opcode byte is not defined, or 0.
    static uint64_t FirstUnknownOpcode(const uint8_t* words, uint64_t starts) {
        for (; starts != 0; starts &= starts - 1) {
            const uint32_t j = static_cast<uint32_t>(std::countr_zero(starts));
            if (!kDefinedOpcodes.Has(words[4 * j + 3])) return starts & (0 - starts);
        }
        return 0;
    }

    // Notes the first bad string or variable among the instructions starting at `starts` in the
    // block at word `base`.
    void NoteOperandFault(const uint8_t* words, uint32_t base, uint64_t starts, const VMCodeLimits& limits) {
        for (; starts != 0; starts &= starts - 1) {
            const uint32_t j = static_cast<uint32_t>(std::countr_zero(starts));
            const uint32_t word = ReadWord(words + 4 * j);
            if (!(VM_Opcode(word) & VM_OPCODE_OPERAND)) continue;
            const uint32_t operand = CheckOperandBytes(word) >= 4 ? ReadWord(words + 4 * j + 4) : 0;
            if ((m_fault = OperandFault(word, operand, limits)) != nullptr) {
                m_faultAt = base + j;
                return;
            }
        }
    }

    bool IsStart(uint32_t word) const { return (m_starts[word / kBlockWords] >> (word % kBlockWords)) & 1; }

    // The start of the instruction that covers `word` (which is not a start itself).
    uint32_t LastStartBefore(uint32_t word) const {
        uint32_t block = word / kBlockWords;
        uint64_t starts = m_starts[block] & ((uint64_t{1} << (word % kBlockWords)) - 1);
        while (starts == 0) starts = m_starts[--block];
        return block * kBlockWords + 63 - static_cast<uint32_t>(std::countl_zero(starts));
    }

    // The first branch before word `limit` whose target is not an instruction start in [0, end].
    uint32_t FirstBadBranchBefore(uint32_t limit) const {
        for (uint32_t block = 0; block <= m_words / kBlockWords; ++block) {
            for (uint64_t branches = m_branches[block]; branches != 0; branches &= branches - 1) {
                const uint32_t from = block * kBlockWords + static_cast<uint32_t>(std::countr_zero(branches));
                if (from > limit) return kNone;
                const uint32_t word = ReadWord(m_code + 4 * size_t{from});
                if (!Jumps(word)) continue;
                const int64_t target = int64_t{from} + VM_BranchWords(word);
                if (target < 0 || target > m_words || !IsStart(static_cast<uint32_t>(target))) return from;
            }
        }
        return kNone;
    }

    const uint8_t* m_code = nullptr;
    uint32_t m_words = 0;
    uint64_t* m_starts = nullptr;    // a bit per word: an instruction starts there
    uint64_t* m_branches = nullptr;  // a bit per word: a branch starts there
    uint64_t* m_owned = nullptr;
    const char* m_fault = nullptr;  // the first bad operand, at word m_faultAt
    uint32_t m_faultAt = kNone;
    uint64_t m_local[2 * kLocalBlocks];
};

}  // namespace

bool VMBuffer_Check(const uint8_t* code, uint32_t length, uint32_t start, const VMCodeLimits& limits,
                    char* error, uint32_t errorBytes) {
    const VMCodeSpan span{code, length, start};
    return VMBuffer_CheckAll(&span, 1, limits, error, errorBytes) == 1;
}

uint32_t VMBuffer_CheckAll(const VMCodeSpan* spans, uint32_t count, const VMCodeLimits& limits, char* error,
                           uint32_t errorBytes) {
    CodeCheck check;
    char reason[256];
    for (uint32_t entry = 0; entry < count; ++entry) {
        if (!spans[entry].code || check.Run(spans[entry], limits, reason, sizeof reason)) continue;
        if (error && errorBytes) std::snprintf(error, errorBytes, "%s", reason);
        return entry;
    }
    return count;
}
