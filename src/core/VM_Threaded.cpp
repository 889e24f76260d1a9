#include "core/VM_Threaded.h"

#include <cstring>

#include "core/Code_Function.h"
#include "core/Code_Main.h"
#include "core/Code_Variable.h"
#include "core/MemoryManager.h"
#include "core/ObjectBase.h"
#include "core/RunSwitches.h"
#include "core/Script_Main.h"
#include "core/VMStack.h"
#include "core/VM_Arith.h"
#include "core/VM_Debug.h"
#include "core/VM_Frame.h"
#include "core/Variable.h"

// Handlers whose work the fast loop does inline for plain numbers.
uint8_t* VM_HandlerPush(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerPushLocal(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerPushGlobal(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerPushImmediate(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerPopLocalFast(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerConvIntToValue(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerPushBuiltin(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);
uint8_t* VM_HandlerCallScriptById(uint32_t, uint8_t*, const uint8_t*, VMExecContext*);

namespace {

// The steps of the fast loop. The order is that of the label table in VM_RunThreaded.
enum Step : uint16_t {
    S_GENERIC,
    S_END,
    S_PUSH4,
    S_PUSH8,
    S_PUSH_LOCAL,
    S_PUSH_GLOBAL,
    S_POP_LOCAL,
    S_CONV_IV,
    S_ADD_VV,
    S_ADD_IV,
    S_ADD_VI,
    S_ADD_II,
    S_ADD_DD,
    S_SUB_VV,
    S_SUB_IV,
    S_SUB_VI,
    S_SUB_II,
    S_SUB_DD,
    S_MUL_VV,
    S_MUL_IV,
    S_MUL_VI,
    S_MUL_II,
    S_MUL_DD,
    S_SET_VV,
    S_SET_IV,
    S_SET_VI,
    S_SET_II,
    S_SET_DD,
    S_B,
    S_BT,
    S_BF,
    S_PUSH_BUILTIN,
    S_CALL_SCRIPT,
    S_RET_VALUE,
    // Fused: push.l.v a; push.i k; conv.i.v; set.v.v; bt/bf
    S_LOCAL_COMPARE_BRANCH,
    // Fused: push.l.v a; push.l.v b; add/sub/mul.v.v; pop.v.v local c
    S_LOCAL_OP_LOCAL,
    // Fused: push.l.v a; push.i k; conv.i.v; add/sub/mul.v.v; pop.v.v local c
    S_LOCAL_OP_CONSTANT,
    // Fused: push.b.v a; push.i k; set.i.v; bt/bf
    S_BUILTIN_COMPARE_BRANCH,
    // Fused: push.b.v a; push.i k; add/sub/mul.i.v
    S_BUILTIN_OP_CONSTANT,
    S_COUNT
};

// The operand pairs the inline arithmetic and comparison take, as (type 1, type 2).
int32_t PairIndex(uint32_t typeByte) {
    switch (typeByte) {
        case 0x55:
            return 0;  // v, v
        case 0x52:
            return 1;  // i (right), v (left)
        case 0x25:
            return 2;  // v (right), i (left)
        case 0x22:
            return 3;  // i, i
        case 0x00:
            return 4;  // d, d
        default:
            return -1;
    }
}

// Marks a push of a 32-bit integer (what conv.i.v reads back as one).
constexpr uint32_t kIntPush = 1;

uint32_t ReadWord(const uint8_t* at) {
    return VM_Load<uint32_t>(at);
}

bool BranchTarget(VMBuffer* buffer, int32_t count, const VMDecoded& d, int32_t* out) {
    const int64_t target = int64_t{d.pc} + 4 * int64_t{VM_BranchWords(d.word)};
    if (target < 0 || target > buffer->runLength || !buffer->IsInstructionStart(static_cast<int32_t>(target)))
        return false;
    *out = target == buffer->runLength ? count : buffer->wordMap[target / 4];
    return true;
}

int32_t SlotOf(const VMDecoded& d) {
    return static_cast<int32_t>(ReadWord(d.operand) & 0x0FFFFFFFu) - VARIABLE_ID_BASE;
}

// The single step of one instruction; S_GENERIC when it has no inline form.
uint16_t Classify(VMBuffer* buffer, int32_t count, VMDecoded& d, uint32_t operandBytes) {
    const uint32_t word = d.word;
    const uint32_t index = VM_HandlerIndex(word);
    const uint32_t t1 = VM_Type1(word);
    const bool hasOperand = (VM_Opcode(word) & VM_OPCODE_OPERAND) != 0;
    const uint32_t typeByte = (word >> 16) & 0xFF;
    const uint32_t mode = (word >> 8) & 0xF;
    switch (index) {
        case VM_OP_PUSH:
            if (!VM_IsPlainHandler(index, d.handler)) return S_GENERIC;
            if (t1 == VM_TYPE_SPECIAL) {
                d.constant = static_cast<uint32_t>(VM_Immediate(word));
                d.spare = kIntPush;
                return S_PUSH4;
            }
            if (!hasOperand) return S_GENERIC;
            if (t1 == VM_TYPE_INT || t1 == VM_TYPE_BOOL || t1 == VM_TYPE_FLOAT) {
                d.constant = ReadWord(d.operand);
                d.spare = t1 == VM_TYPE_INT ? kIntPush : 0;
                return S_PUSH4;
            }
            if (t1 == VM_TYPE_DOUBLE || t1 == VM_TYPE_LONG) {
                d.constant = VM_Load<int64_t>(d.operand);
                return S_PUSH8;
            }
            return S_GENERIC;
        case VM_OP_PUSH_IMMEDIATE:
            if (!VM_IsPlainHandler(index, d.handler)) return S_GENERIC;
            d.constant = static_cast<uint32_t>(VM_Immediate(word));
            d.spare = kIntPush;
            return S_PUSH4;
        case VM_OP_PUSH_LOCAL:
        case VM_OP_PUSH_GLOBAL: {
            const bool local = index == VM_OP_PUSH_LOCAL;
            if (!VM_IsPlainHandler(index, d.handler)) return S_GENERIC;
            if (!hasOperand || operandBytes < 4 || SlotOf(d) < 0) return S_GENERIC;
            d.slot = SlotOf(d);
            return local ? S_PUSH_LOCAL : S_PUSH_GLOBAL;
        }
        case VM_OP_POP:
            if (d.handler != VM_HandlerPopLocalFast) return S_GENERIC;
            if ((ReadWord(d.operand) & 0xB0000000u) != 0xA0000000u || SlotOf(d) < 0) return S_GENERIC;
            d.slot = SlotOf(d);
            return S_POP_LOCAL;
        case VM_OP_CONV:
            return d.handler == VM_HandlerConvIntToValue ? S_CONV_IV : S_GENERIC;
        case VM_OP_PUSH_BUILTIN:
            if (!VM_IsPlainHandler(index, d.handler)) return S_GENERIC;
            d.slot =
                hasOperand && operandBytes >= 4 ? static_cast<int32_t>(ReadWord(d.operand) & 0x0FFFFFFFu) : 0;
            // The step reads its row without asking for it: a slot no row can have is the handler's.
            if (d.slot >= BUILTIN_VARIABLE_ROWS) return S_GENERIC;
            d.slot2 = g_BuiltinRows[d.slot].argument;
            return S_PUSH_BUILTIN;
        case VM_OP_CALL:
            if (d.handler != VM_HandlerCallScriptById || ReadWord(d.operand) == FUNCTION_ID_SCRIPT_EXECUTE ||
                VM_Immediate(word) < 0)
                return S_GENERIC;
            d.slot = static_cast<int32_t>(ReadWord(d.operand)) - FUNCTION_ID_SCRIPT_BASE;
            d.kind = 0;  // no callee resolved yet
            return S_CALL_SCRIPT;
        case VM_OP_RET:
            return VM_IsPlainHandler(index, d.handler) && t1 == VM_TYPE_VALUE ? S_RET_VALUE : S_GENERIC;
        case VM_OP_ADD:
        case VM_OP_SUB:
        case VM_OP_MUL: {
            const int32_t pair = PairIndex(typeByte);
            if (!VM_IsPlainHandler(index, d.handler) || mode != 0 || pair < 0) return S_GENERIC;
            const uint16_t first = index == VM_OP_ADD ? S_ADD_VV : index == VM_OP_SUB ? S_SUB_VV : S_MUL_VV;
            d.kind = index == VM_OP_ADD ? 0 : index == VM_OP_SUB ? 1 : 2;
            return static_cast<uint16_t>(first + pair);
        }
        case VM_OP_SET: {
            const int32_t pair = PairIndex(typeByte);
            if (!VM_IsPlainHandler(index, d.handler) || mode < 1 || mode > 6 || pair < 0) return S_GENERIC;
            d.kind = mode;
            return static_cast<uint16_t>(S_SET_VV + pair);
        }
        case VM_OP_B:
        case VM_OP_BT:
        case VM_OP_BF:
            if (!VM_IsPlainHandler(index, d.handler) || !BranchTarget(buffer, count, d, &d.target))
                return S_GENERIC;
            return index == VM_OP_B ? S_B : index == VM_OP_BT ? S_BT : S_BF;
        default:
            return S_GENERIC;
    }
}

bool IsArithVV(uint16_t s) {
    return s == S_ADD_VV || s == S_SUB_VV || s == S_MUL_VV;
}

// A fused sequence followed by a plain branch (the end of a loop body) takes the branch
// itself: spare 1 and the branch's target.
void FollowBranch(VMDecoded* d, int32_t n, int32_t length) {
    if (d[n + length].single != S_B) return;
    d[n].spare = 1;
    d[n].target = d[n + length].target;
}

// Frequent sequences become one step at their first instruction; the instructions after it
// keep their own steps, so a branch into the middle still runs them one by one.
void Fuse(VMDecoded* d, int32_t n, int32_t count) {
    const int32_t left = count - n;
    if (d[n].single == S_PUSH_BUILTIN && left >= 3 && d[n + 1].single == S_PUSH4 &&
        d[n + 1].spare == kIntPush) {
        const uint16_t third = d[n + 2].single;
        if (third == S_SET_IV && left >= 4 && (d[n + 3].single == S_BT || d[n + 3].single == S_BF)) {
            d[n].op = S_BUILTIN_COMPARE_BRANCH;
            d[n].constant = d[n + 1].constant;
            d[n].kind = d[n + 2].kind;
            d[n].target = d[n + 3].target;
            d[n].spare = d[n + 3].single == S_BT ? 1 : 0;
        } else if (third == S_ADD_IV || third == S_SUB_IV || third == S_MUL_IV) {
            d[n].op = S_BUILTIN_OP_CONSTANT;
            d[n].constant = d[n + 1].constant;
            d[n].kind = d[n + 2].kind;
        }
        return;
    }
    if (d[n].single != S_PUSH_LOCAL || left < 4) return;
    if (left >= 5 && d[n + 1].single == S_PUSH4 && d[n + 1].spare == kIntPush &&
        d[n + 2].single == S_CONV_IV) {
        if (d[n + 3].single == S_SET_VV && (d[n + 4].single == S_BT || d[n + 4].single == S_BF)) {
            d[n].op = S_LOCAL_COMPARE_BRANCH;
            d[n].constant = d[n + 1].constant;
            d[n].kind = d[n + 3].kind;
            d[n].target = d[n + 4].target;
            d[n].spare = d[n + 4].single == S_BT ? 1 : 0;
            return;
        }
        if (IsArithVV(d[n + 3].single) && d[n + 4].single == S_POP_LOCAL) {
            d[n].op = S_LOCAL_OP_CONSTANT;
            d[n].constant = d[n + 1].constant;
            d[n].kind = d[n + 3].kind;
            d[n].slot3 = d[n + 4].slot;
            FollowBranch(d, n, 5);
            return;
        }
    }
    if (d[n + 1].single == S_PUSH_LOCAL && IsArithVV(d[n + 2].single) && d[n + 3].single == S_POP_LOCAL) {
        d[n].op = S_LOCAL_OP_LOCAL;
        d[n].slot2 = d[n + 1].slot;
        d[n].kind = d[n + 2].kind;
        d[n].slot3 = d[n + 3].slot;
        FollowBranch(d, n, 4);
    }
}

// --- Inline work on plain numbers ---------------------------------------------------------

// Kinds whose 16 bytes are the whole value: copying them takes and gives up nothing.
constexpr uint32_t kPlainKinds = (1u << VALUE_REAL) | (1u << VALUE_UNDEFINED) | (1u << VALUE_OBJECT) |
                                 (1u << VALUE_INT32) | (1u << VALUE_INT64) | (1u << VALUE_NULL) |
                                 (1u << VALUE_BOOL);
inline bool Plain(uint32_t kind) {
    return kind < 32 && ((kPlainKinds >> kind) & 1) != 0;
}

// The slot of a locals or global object that has its slot array, or null.
inline RValue* FixedSlot(PWObjectBase* holder, int32_t slot) {
    if (holder == nullptr || holder->slots == nullptr) return nullptr;
    if (slot >= holder->slotCount || slot >= holder->slotCapacity) return nullptr;
    return &holder->slots[slot];
}

inline bool HasRoom(const uint8_t* sp, const VMExecContext* ctx, int32_t n) {
    return sp - ctx->stack >= n + 1024;
}
inline bool HasItems(const uint8_t* sp, const VMExecContext* ctx, int32_t n) {
    return ctx->frame - sp >= n;
}

// A plain number in the call's argument that the row reads, as its getter would read it. n is
// the row's argument as the step was decoded with (the read starts from it without waiting on
// the row); the row still has the last word, as a program may register its rows anew. A row
// not registered (yet) reads no argument. args and count are the current call's (VM_Args,
// VM_ArgCount, the count 0 when there are none).
inline bool ReadArgument(const BuiltinVariable& row, int32_t n, const RValue* args, int32_t count,
                         void* out) {
    // One unsigned comparison also refuses a negative n (a row that reads no argument).
    if (static_cast<uint32_t>(n) >= static_cast<uint32_t>(count) || row.argument != n) return false;
    const RValue* at = &args[n];
    const uint32_t kind = VM_KindAt(at);
    if (kind != VALUE_REAL && kind != VALUE_INT32) return false;
    // Half by half: the caller has just stored the argument, perhaps as two halves.
    RValue_CopyBits(out, at);
    return true;
}

// A row read through its getter, for the fused steps that go on only with a plain number: false
// when the getter gave anything else, raised an error or moved the run, and the value must go on
// the stack as push.b.v leaves it.
inline bool GetterGaveNumber(const BuiltinVariable* row, RValue* value, const VMExecContext* ctx,
                             int32_t nextPc, const VMBuffer* buffer) {
    *value = RValue_Real(0.0);
    if (row->getter) row->getter(nullptr, ARRAY_INDEX_WHOLE, value);
    return !VM_PendingException.pending && !ctx->aborted && ctx->pc == nextPc && ctx->buffer == buffer &&
           (value->kind == VALUE_REAL || value->kind == VALUE_INT32);
}

// The code object of a script call the loop can enter itself (Classify has seen a count of 0
// or more arguments): bytecode already decoded and a start the loop can take. Null leaves the
// call to VM_CallScript, which handles (and reports) every other case.
inline const CCode* LeanCallee(const CScript* script, int32_t* first) {
    const CCode* code = script ? script->GetCode() : nullptr;
    VMBuffer* callee = code ? code->buffer : nullptr;
    if (callee == nullptr || callee->decoded == nullptr) return nullptr;
    // A decoded buffer is prepared. A start at the very end (no instructions) is the handler's.
    const int32_t start = code->start;
    if (static_cast<uint32_t>(start) >= static_cast<uint32_t>(callee->runLength) || (start & 3) != 0)
        return nullptr;
    *first = callee->wordMap[static_cast<uint32_t>(start) / 4];
    return start == 0 || *first != 0 ? code : nullptr;
}

// What the loop's own call needs of the moment: argc arguments on the stack, 8-byte aligned,
// room for the frame below them, and lean calls allowed in this run (no call trace, no object mode).
inline bool LeanCallFits(int32_t argc, const uint8_t* sp, const VMExecContext* ctx, bool leanCalls) {
    if (!HasItems(sp, ctx, 16 * argc) || !HasRoom(sp, ctx, static_cast<int32_t>(sizeof(VMFrame)) + 24))
        return false;
    return (reinterpret_cast<uintptr_t>(sp) & 7) == 0 && leanCalls;
}

inline bool ObjectMode(const VMHooks& hooks) {
    return hooks.objectMode ? hooks.objectMode() : g_VariableSettings.objectMode;
}

struct Num {
    double d;
    int32_t i;
    bool real;
};

template <uint32_t T>
constexpr int32_t kSize = T == VM_TYPE_INT      ? 4
                          : T == VM_TYPE_DOUBLE ? 8
                                                : 16;

// A declared i or d, or a v holding a real or a 32-bit integer.
template <uint32_t T>
inline bool LoadNum(const uint8_t* at, Num& n) {
    if constexpr (T == VM_TYPE_INT) {
        n.i = VM_Load<int32_t>(at);
        n.real = false;
        return true;
    } else if constexpr (T == VM_TYPE_DOUBLE) {
        n.d = VM_Load<double>(at);
        n.real = true;
        return true;
    } else {
        const uint32_t kind = VM_KindAt(at);
        if (kind == VALUE_REAL) {
            n.d = VM_Load<double>(at);
            n.real = true;
            return true;
        }
        if (kind != VALUE_INT32) return false;
        n.i = VM_Load<int32_t>(at);
        n.real = false;
        return true;
    }
}

inline double AsReal(const Num& n) {
    return n.real ? n.d : n.i;
}

inline double RealOp(uint32_t op, double x, double y) {
    return op == 0 ? x + y : op == 1 ? x - y : x * y;
}

// Integers wrap through unsigned arithmetic, as the handlers do.
inline int32_t IntOp(uint32_t op, int32_t a, int32_t b) {
    const auto x = static_cast<uint32_t>(a), y = static_cast<uint32_t>(b);
    return static_cast<int32_t>(op == 0 ? x + y : op == 1 ? x - y : x * y);
}

// add, sub or mul of two plain numbers, with the result slot of the declared pair; false
// leaves everything to the handler.
template <uint32_t kOp, uint32_t T1, uint32_t T2>
inline bool Arith(uint8_t*& sp, const VMExecContext* ctx) {
    constexpr int32_t s1 = kSize<T1>, s2 = kSize<T2>;
    constexpr bool value = T1 == VM_TYPE_VALUE || T2 == VM_TYPE_VALUE;
    if (!HasItems(sp, ctx, s1 + s2)) return false;
    Num right, left;
    if (!LoadNum<T1>(sp, right) || !LoadNum<T2>(sp + s1, left)) return false;
    uint8_t* end = sp + s1 + s2;
    if (left.real || right.real) {
        const double r = RealOp(kOp, AsReal(left), AsReal(right));
        if constexpr (value) {
            sp = end - 16;
            VM_StoreReal(sp, r);
        } else {
            sp = end - 8;
            VM_Store(sp, r);
        }
        return true;
    }
    const int32_t r = IntOp(kOp, left.i, right.i);
    if constexpr (value) {
        sp = end - 16;
        VM_StoreInt32(sp, r);
    } else {
        sp = end - 4;
        VM_Store(sp, r);
    }
    return true;
}

template <uint32_t T1, uint32_t T2>
inline bool Compare(uint32_t kind, uint8_t*& sp, const VMExecContext* ctx) {
    constexpr int32_t s1 = kSize<T1>, s2 = kSize<T2>;
    if (!HasItems(sp, ctx, s1 + s2)) return false;
    Num right, left;
    if (!LoadNum<T1>(sp, right) || !LoadNum<T2>(sp + s1, left)) return false;
    double h;
    if (left.real || right.real)
        h = AsReal(left) - AsReal(right);
    else
        h = static_cast<int32_t>(static_cast<uint32_t>(left.i) - static_cast<uint32_t>(right.i));
    sp += s1 + s2 - 4;
    VM_Store(sp, int32_t{VM_CompareDecide(kind, h) ? 1 : 0});
    return true;
}

// A branch counts towards the message pump; the branch that would call the pump goes
// through its handler instead.
inline bool BranchCounted(const VMHooks& hooks) {
    if (((VM_BranchCount + 1) & 0xFFF) == 0 && hooks.processMessages) return false;
    ++VM_BranchCount;
    return true;
}

}  // namespace

VMDecoded* VM_Decode(VMBuffer* buffer) {
    if (buffer->decoded != nullptr) return buffer->decoded;
    buffer->Prepare();
    const int32_t count = buffer->instructionCount;
    auto* d = static_cast<VMDecoded*>(MemoryManager::Alloc(sizeof(VMDecoded) * static_cast<size_t>(count + 1),
                                                           "Files/Code/VMBuffer", 109, true));
    int32_t at = 0;
    for (int32_t n = 0; n < count; ++n) {
        VMDecoded& r = d[n];
        r.word = Debug_SavedWord(buffer, at, ReadWord(buffer->code + at));
        const uint32_t operandBytes = VM_OperandSize(r.word);
        r.pc = at;
        r.nextPc = at + 4 + static_cast<int32_t>(operandBytes);
        r.operand = buffer->code + at + 4;
        r.handler = VM_SelectHandler(r.word, r.operand, operandBytes);
        r.single = Classify(buffer, count, r, operandBytes);
        r.op = r.single;
        at = r.nextPc;
    }
    d[count].op = d[count].single = S_END;
    d[count].pc = d[count].nextPc = buffer->runLength;
    for (int32_t n = 0; n < count; ++n) Fuse(d, n, count);
    buffer->decoded = d;
    return d;
}

uint8_t* VM_RunThreaded(uint8_t* sp, VMExecContext* ctx) {
    static void* const kLabels[] = {
        &&generic,
        &&end,
        &&push4,
        &&push8,
        &&pushLocal,
        &&pushGlobal,
        &&popLocal,
        &&convIntToValue,
        &&addVV,
        &&addIV,
        &&addVI,
        &&addII,
        &&addDD,
        &&subVV,
        &&subIV,
        &&subVI,
        &&subII,
        &&subDD,
        &&mulVV,
        &&mulIV,
        &&mulVI,
        &&mulII,
        &&mulDD,
        &&setVV,
        &&setIV,
        &&setVI,
        &&setII,
        &&setDD,
        &&branch,
        &&branchTrue,
        &&branchFalse,
        &&pushBuiltin,
        &&callScript,
        &&retValue,
        &&localCompareBranch,
        &&localOpLocal,
        &&localOpConstant,
        &&builtinCompareBranch,
        &&builtinOpConstant,
    };
    static_assert(sizeof kLabels / sizeof kLabels[0] == S_COUNT, "a label for every step");
    const int32_t savedArgCount = VM_ArgCount;
    const VMHooks& hooks = VM_Hooks();
    // Object mode is the game's, fixed while code runs: asked once here, not on every step
    // that would write a local.
    const bool objectMode = ObjectMode(hooks);
    // The loop enters script calls itself unless they are traced (a start-up switch) or go
    // through the script runtime.
    const bool leanCalls = !objectMode && !g_Switches.trace;
    VM_Current = ctx;
    ctx->nextInstruction = ctx->wordMap[ctx->pc / 4];
    VMBuffer* buffer = nullptr;
    const VMDecoded* base = nullptr;
    const VMDecoded* ip = nullptr;
    // The current call's arguments (VM_Args, VM_ArgCount) in registers for the steps that read
    // them: the steps' own calls and returns set them, and they are taken again from the globals
    // after anything else that runs (a handler, a getter), which may have changed them.
    const RValue* callArgs = nullptr;
    int32_t callArgCount = 0;
#define HV_ARGS_FROM_GLOBALS() (callArgs = VM_Args, callArgCount = VM_Args ? VM_ArgCount : 0)

#define HV_NEXT goto* kLabels[ip->op]
#define HV_SINGLE goto* kLabels[ip->single]
#define HV_ARITH(label, op, t1, t2) \
    label: \
    if (!Arith<op, t1, t2>(sp, ctx)) goto generic; \
    ++ip; \
    HV_NEXT;
#define HV_SET(label, t1, t2) \
    label: \
    if (!Compare<t1, t2>(ip->kind, sp, ctx)) goto generic; \
    ++ip; \
    HV_NEXT;

reload:
    // Where the handler left the run: another buffer, a jump, the end of a frame, an error.
    if (ctx->aborted) {
        while (ctx->depth > 0) sp = VM_Unwind(sp, ctx);
        goto done;
    }
    if (ctx->pc >= ctx->codeSize) {
        if (ctx->depth == 0) goto done;
        // A called script that runs off its end gives its caller a real 0.
        sp = VM_Unwind(sp, ctx) - 16;
        VM_Store(sp, RValue_Real(0.0));
        goto reload;
    }
    buffer = ctx->buffer;
    base = buffer->decoded ? buffer->decoded : VM_Decode(buffer);
    ip = base + ctx->nextInstruction;
    HV_ARGS_FROM_GLOBALS();
    HV_NEXT;

// Where the plain loop would stand while the instruction runs.
#define HV_SYNC() \
    do { \
        ctx->currentInstruction = ip->pc; \
        ctx->pc = ip->nextPc; \
        ctx->nextInstruction = static_cast<int32_t>(ip - base) + 1; \
    } while (0)

// The built-in argument row of the step read into `value` when it holds a plain number; any
// other read runs as push.b.v does, and the rest of the step only when it gave a plain number
// and left the run where it was, else the value goes on the stack and the run goes on from there.
#define HV_BUILTIN_NUMBER(value) \
    RValue value; \
    if (!ReadArgument(g_BuiltinRows[ip->slot], ip->slot2, callArgs, callArgCount, &value)) { \
        const BuiltinVariable* row = Variable_BuiltIn_Row(ip->slot); \
        if (row == nullptr || !HasRoom(sp, ctx, 32)) goto generic; \
        HV_SYNC(); \
        const bool number = GetterGaveNumber(row, &value, ctx, ip->nextPc, buffer); \
        HV_ARGS_FROM_GLOBALS(); \
        if (!number) { \
            sp -= 16; \
            VM_StoreValue(sp, value); \
            goto afterHandler; \
        } \
    }

generic:
    HV_SYNC();
    sp = ip->handler(ip->word, sp, ip->operand, ctx);
afterHandler:
    HV_ARGS_FROM_GLOBALS();
    if (VM_PendingException.pending) {
        if (VM_PendingException.catcher == ctx) {
            sp = VM_AtFromEnd(ctx, VM_PendingException.position) - 16;
            VM_PushPendingValue(sp);
            VM_PendingException.pending = false;
        } else {
            ctx->aborted = true;
            ctx->pc = ctx->codeSize;
        }
        goto reload;
    }
    if (ctx->pc != ip->nextPc || ctx->buffer != buffer || ctx->aborted) goto reload;
    ++ip;
    HV_NEXT;

end:
    ctx->pc = ip->pc;
    ctx->nextInstruction = static_cast<int32_t>(ip - base);
    goto reload;

push4:
    if (!HasRoom(sp, ctx, 4)) goto generic;
    sp -= 4;
    VM_Store(sp, static_cast<uint32_t>(ip->constant));
    ++ip;
    HV_NEXT;

push8:
    if (!HasRoom(sp, ctx, 8)) goto generic;
    sp -= 8;
    VM_Store(sp, ip->constant);
    ++ip;
    HV_NEXT;

pushLocal : {
    const RValue* slot = FixedSlot(ctx->locals, ip->slot);
    if (slot == nullptr || !Plain(VM_KindAt(slot)) || !HasRoom(sp, ctx, 16)) goto generic;
    sp -= 16;
    RValue_CopyBits(sp, slot);
    ++ip;
    HV_NEXT;
}

pushGlobal : {
    const RValue* slot = FixedSlot(g_GlobalObject, ip->slot);
    if (slot == nullptr || !Plain(VM_KindAt(slot)) || !HasRoom(sp, ctx, 16)) goto generic;
    sp -= 16;
    RValue_CopyBits(sp, slot);
    ++ip;
    HV_NEXT;
}

popLocal : {
    RValue* slot = FixedSlot(ctx->locals, ip->slot);
    if (slot == nullptr || !Plain(VM_KindAt(slot)) || !HasItems(sp, ctx, 16) || !Plain(VM_KindAt(sp)) ||
        objectMode)
        goto generic;
    RValue_CopyBits(slot, sp);
    sp += 16;
    ++ip;
    HV_NEXT;
}

convIntToValue:
    if (!HasItems(sp, ctx, 4) || !HasRoom(sp, ctx, 12)) goto generic;
    sp -= 12;
    VM_StoreReal(sp, VM_Load<int32_t>(sp + 12));
    ++ip;
    HV_NEXT;

    HV_ARITH(addVV, 0, VM_TYPE_VALUE, VM_TYPE_VALUE)
    HV_ARITH(addIV, 0, VM_TYPE_INT, VM_TYPE_VALUE)
    HV_ARITH(addVI, 0, VM_TYPE_VALUE, VM_TYPE_INT)
    HV_ARITH(addII, 0, VM_TYPE_INT, VM_TYPE_INT)
    HV_ARITH(addDD, 0, VM_TYPE_DOUBLE, VM_TYPE_DOUBLE)
    HV_ARITH(subVV, 1, VM_TYPE_VALUE, VM_TYPE_VALUE)
    HV_ARITH(subIV, 1, VM_TYPE_INT, VM_TYPE_VALUE)
    HV_ARITH(subVI, 1, VM_TYPE_VALUE, VM_TYPE_INT)
    HV_ARITH(subII, 1, VM_TYPE_INT, VM_TYPE_INT)
    HV_ARITH(subDD, 1, VM_TYPE_DOUBLE, VM_TYPE_DOUBLE)
    HV_ARITH(mulVV, 2, VM_TYPE_VALUE, VM_TYPE_VALUE)
    HV_ARITH(mulIV, 2, VM_TYPE_INT, VM_TYPE_VALUE)
    HV_ARITH(mulVI, 2, VM_TYPE_VALUE, VM_TYPE_INT)
    HV_ARITH(mulII, 2, VM_TYPE_INT, VM_TYPE_INT)
    HV_ARITH(mulDD, 2, VM_TYPE_DOUBLE, VM_TYPE_DOUBLE)
    HV_SET(setVV, VM_TYPE_VALUE, VM_TYPE_VALUE)
    HV_SET(setIV, VM_TYPE_INT, VM_TYPE_VALUE)
    HV_SET(setVI, VM_TYPE_VALUE, VM_TYPE_INT)
    HV_SET(setII, VM_TYPE_INT, VM_TYPE_INT)
    HV_SET(setDD, VM_TYPE_DOUBLE, VM_TYPE_DOUBLE)

branch:
    if (!BranchCounted(hooks)) goto generic;
    ip = base + ip->target;
    HV_NEXT;

branchTrue:
    if (!HasItems(sp, ctx, 4) || !BranchCounted(hooks)) goto generic;
    sp += 4;
    ip = VM_Load<int32_t>(sp - 4) != 0 ? base + ip->target : ip + 1;
    HV_NEXT;

branchFalse:
    if (!HasItems(sp, ctx, 4) || !BranchCounted(hooks)) goto generic;
    sp += 4;
    ip = VM_Load<int32_t>(sp - 4) == 0 ? base + ip->target : ip + 1;
    HV_NEXT;

pushBuiltin : {
    // The getter may run code or raise errors: the run is where the handler would have it.
    if (!HasRoom(sp, ctx, 16)) goto generic;
    // Straight onto the stack: a copy through a local would be read back as one 16-byte
    // value just written in halves, which stalls.
    if (ReadArgument(g_BuiltinRows[ip->slot], ip->slot2, callArgs, callArgCount, sp - 16)) {
        sp -= 16;
        ++ip;
        HV_NEXT;
    }
    const BuiltinVariable* row = Variable_BuiltIn_Row(ip->slot);
    if (row == nullptr) goto generic;
    RValue value;
    HV_SYNC();
    value = RValue_Real(0.0);
    if (row->getter) row->getter(nullptr, ARRAY_INDEX_WHOLE, &value);
    sp -= 16;
    VM_StoreValue(sp, value);
    goto afterHandler;
}

callScript : {
    const int32_t argc = VM_Immediate(ip->word);
    // The step keeps the callee it resolved last (its code object, first instruction number and
    // first record) with the code generation of then; while no code has changed it is entered
    // without the chain of lookups that finds it.
    auto* const call = const_cast<VMDecoded*>(ip);
    if (call->kind != g_CodeGeneration || !LeanCallFits(argc, sp, ctx, leanCalls)) {
        CScript* script = Script_Get(ip->slot);
        int32_t first = 0;
        const CCode* code = LeanCallee(script, &first);
        if (code == nullptr || !LeanCallFits(argc, sp, ctx, leanCalls)) {
            HV_SYNC();
            sp = VM_CallScript(script, argc, sp, ctx, nullptr, nullptr);
            goto afterHandler;
        }
        call->callee = code;
        call->target = first;
        call->constant = static_cast<int64_t>(reinterpret_cast<uintptr_t>(code->buffer->decoded + first));
        call->kind = g_CodeGeneration;
    }
    const CCode* const code = call->callee;
    const auto* const entry = reinterpret_cast<const VMDecoded*>(static_cast<uintptr_t>(call->constant));
    // The frame keeps pc; the callee's own instruction number comes from its word map.
    ctx->currentInstruction = ip->pc;
    ctx->pc = ip->nextPc;
    callArgs = argc > 0 ? reinterpret_cast<const RValue*>(sp) : nullptr;  // as VM_PushFrame sets VM_Args
    callArgCount = argc;
    sp = VM_PushFrame(ctx, code, argc, sp, sp + 16 * argc, nullptr, nullptr,
                      static_cast<int32_t>(ip - base) + 1, call->target);
    buffer = code->buffer;
    base = entry - call->target;
    ip = entry;
    HV_NEXT;
}

retValue : {
    if (ctx->depth == 0 || !HasItems(sp, ctx, 16)) goto generic;
    // The caller's pc and instruction number come back from the frame.
    ctx->currentInstruction = ip->pc;
    const RValue value = VM_Load<RValue>(sp);
    // Read from the frame itself: through the context it would wait on the store just made.
    const int32_t back = reinterpret_cast<const VMFrame*>(ctx->frame)->callerInstruction;
    sp = VM_PopFrame(ctx) - 16;
    HV_ARGS_FROM_GLOBALS();
    VM_Store(sp, value);
    if (VM_PendingException.pending) goto afterHandler;
    if (ctx->buffer != buffer || ctx->aborted) goto reload;
    // Back in the same buffer (recursion): its decoded form is the one in hand.
    ip = base + back;
    HV_NEXT;
}

builtinCompareBranch : {
    HV_BUILTIN_NUMBER(value);
    if (!BranchCounted(hooks)) {
        HV_SYNC();
        sp -= 16;
        VM_Store(sp, value);
        goto afterHandler;
    }
    const auto right = static_cast<int32_t>(ip->constant);
    const double h =
        value.kind == VALUE_REAL
            ? value.val - right
            : static_cast<int32_t>(static_cast<uint32_t>(value.v32) - static_cast<uint32_t>(right));
    ip = VM_CompareDecide(ip->kind, h) == (ip->spare != 0) ? base + ip->target : ip + 4;
    HV_NEXT;
}

builtinOpConstant : {
    if (!HasRoom(sp, ctx, 16)) goto generic;
    HV_BUILTIN_NUMBER(value);
    sp -= 16;
    const auto right = static_cast<int32_t>(ip->constant);
    if (value.kind == VALUE_REAL)
        VM_StoreReal(sp, RealOp(ip->kind, value.val, right));
    else
        VM_StoreInt32(sp, IntOp(ip->kind, value.v32, right));
    ip += 3;
    HV_NEXT;
}

localCompareBranch : {
    const RValue* slot = FixedSlot(ctx->locals, ip->slot);
    if (slot == nullptr || VM_KindAt(slot) != VALUE_REAL || !HasRoom(sp, ctx, 32) || !BranchCounted(hooks))
        HV_SINGLE;
    const bool result = VM_CompareDecide(ip->kind, slot->val - static_cast<int32_t>(ip->constant));
    ip = result == (ip->spare != 0) ? base + ip->target : ip + 5;
    HV_NEXT;
}

localOpLocal : {
    PWObjectBase* locals = ctx->locals;
    const RValue* a = FixedSlot(locals, ip->slot);
    const RValue* b = FixedSlot(locals, ip->slot2);
    RValue* c = FixedSlot(locals, ip->slot3);
    if (a == nullptr || b == nullptr || c == nullptr || VM_KindAt(a) != VALUE_REAL ||
        VM_KindAt(b) != VALUE_REAL || !Plain(VM_KindAt(c)) || !HasRoom(sp, ctx, 32) || objectMode)
        HV_SINGLE;
    VM_StoreReal(c, RealOp(ip->kind, a->val, b->val));
    ip = ip->spare && BranchCounted(hooks) ? base + ip->target : ip + 4;
    HV_NEXT;
}

localOpConstant : {
    PWObjectBase* locals = ctx->locals;
    const RValue* a = FixedSlot(locals, ip->slot);
    RValue* c = FixedSlot(locals, ip->slot3);
    if (a == nullptr || c == nullptr || VM_KindAt(a) != VALUE_REAL || !Plain(VM_KindAt(c)) ||
        !HasRoom(sp, ctx, 32) || objectMode)
        HV_SINGLE;
    VM_StoreReal(c, RealOp(ip->kind, a->val, static_cast<int32_t>(ip->constant)));
    ip = ip->spare && BranchCounted(hooks) ? base + ip->target : ip + 5;
    HV_NEXT;
}

#undef HV_ARGS_FROM_GLOBALS
#undef HV_BUILTIN_NUMBER
#undef HV_SYNC
#undef HV_SET
#undef HV_ARITH
#undef HV_SINGLE
#undef HV_NEXT

done:
    VM_ArgCount = savedArgCount;
    return sp;
}
