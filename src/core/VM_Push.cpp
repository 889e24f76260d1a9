// Push, pop and dup, with rem and not: the instructions that move data between the stack and
// constants, strings and variables of every scope.
#include <cstring>

#include "core/CRuntimeCompat.h"
#include "core/Code_Variable.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/ObjectBase.h"
#include "core/RuntimeError.h"
#include "core/ScriptObjectHooks.h"
#include "core/VMStack.h"
#include "core/VM_ScriptOps.h"
#include "core/Variable.h"
#include "core/VariableList.h"

namespace {

bool ObjectMode() {
    const VMHooks& hooks = VM_Hooks();
    return hooks.objectMode ? hooks.objectMode() : g_VariableSettings.objectMode;
}

// A variable reference: id, element index (ARRAY_INDEX_WHOLE for none) and instance code.
struct VarRef {
    int32_t id = 0;
    int32_t index = ARRAY_INDEX_WHOLE;
    int32_t instance = 0;
    bool clearDeletable = false;
    // Instance codes -9 and -10: a member of the script object value taken from the stack, by
    // the variable's name or (-10) by a key value taken with it.
    bool member = false;
    RValue object = RValue_Undefined();
    RValue key = RValue_Undefined();
};

constexpr int32_t SCOPE_MEMBER = -9;
constexpr int32_t SCOPE_MEMBER_KEY = -10;

void ReleaseMember(VarRef& ref) {
    RValue_Free(&ref.object);
    RValue_Free(&ref.key);
    ref.object = RValue_Undefined();
    ref.key = RValue_Undefined();
}

// Decodes the reference of a push or pop, taking the index and instance code from the stack
// when the word asks for them (the index on top). False after an underflow error.
bool TakeVarRef(uint32_t word, const uint8_t* operand, uint8_t*& sp, VMExecContext* ctx, VarRef& ref,
                const char* handler) {
    ref.instance = VM_Immediate(word);
    if (!(VM_Opcode(word) & VM_OPCODE_OPERAND)) return true;
    const uint32_t w = VM_Load<uint32_t>(operand);
    ref.id = static_cast<int32_t>(w & 0x0FFFFFFFu);
    ref.clearDeletable = (w & 0x10000000u) != 0;
    if (!(w & 0x80000000u)) {
        if (!VM_HaveItems(sp, ctx, 4, handler)) return false;
        ref.index = VM_Load<int32_t>(sp);
        sp += 4;
    }
    if (!(w & 0x20000000u)) {
        if (!VM_HaveItems(sp, ctx, 4, handler)) return false;
        ref.instance = VM_Load<int32_t>(sp);
        sp += 4;
    }
    if (w & 0x40000000u) ref.instance += 100000;
    if (ref.instance == SCOPE_MEMBER || ref.instance == SCOPE_MEMBER_KEY) {
        // The key (for -10) on top, the object beneath it.
        const bool keyed = ref.instance == SCOPE_MEMBER_KEY;
        if (!VM_HaveItems(sp, ctx, keyed ? 32 : 16, handler)) return false;
        if (keyed) {
            ref.key = VM_Load<RValue>(sp);
            sp += 16;
        }
        ref.object = VM_Load<RValue>(sp);
        sp += 16;
        ref.member = true;
    }
    return true;
}

const char* VariableName(const VMExecContext* ctx, const VarRef& ref) {
    return Code_Variable_GetName(ctx->name, ref.instance, ref.id);
}

const char* ScopeName(const VMExecContext* ctx, int32_t instance) {
    switch (instance) {
        case SCOPE_SELF:
            return "self";
        case SCOPE_OTHER:
            return "other";
        case SCOPE_ALL:
            return "all";
        case SCOPE_NOONE:
            return "noone";
        case SCOPE_GLOBAL:
            return "global";
        case SCOPE_BUILTIN:
            return "builtin";
        case SCOPE_LOCAL:
        case SCOPE_LOCAL_OR_SELF:
            return "local";
        default:
            break;
    }
    if (instance >= 0 && instance < 100000) {
        const char* name = InstanceWorld().objectName(instance);
        return name ? name : "<undefined>";
    }
    (void)ctx;
    return instance >= 100000 ? "instance" : "<unknown>";
}

bool ReadLocal(PWObjectBase* locals, int32_t id, int32_t index, RValue* out) {
    if (locals == nullptr || id < VARIABLE_ID_BASE) return false;
    if (locals->slotCount == 0 && locals->variables != nullptr)
        return locals->variables->GetValue(id, index, out);
    return RValue_GetIndexed(out, locals->GetSlot(id - VARIABLE_ID_BASE), index);
}

bool WriteLocal(PWObjectBase* locals, int32_t id, int32_t index, RValue* value) {
    if (locals == nullptr || id < VARIABLE_ID_BASE) return false;
    if (locals->slotCount == 0 && locals->variables != nullptr) {
        locals->variables->SetValue(id, index, value);
        return true;
    }
    RValue_SetIndexed(locals->GetSlot(id - VARIABLE_ID_BASE), value, index);
    return true;
}

bool GlobalForBuiltinScope(int32_t id) {
    return (Variable_GetFlags(id) & 1) != 0;
}

enum class ReadOutcome { Read, Failed, NoInstance, Reported };

ReadOutcome ReadVariable(VMExecContext* ctx, const VarRef& ref, RValue* out) {
    bool ok = false;
    switch (ref.instance) {
        case SCOPE_SELF:
            ok = Variable_GetValue(ctx->self, ref.id, ref.index, out);
            break;
        case SCOPE_OTHER:
            ok = Variable_GetValue(ctx->other, ref.id, ref.index, out);
            break;
        case SCOPE_NOONE:
            return ReadOutcome::NoInstance;
        case SCOPE_GLOBAL:
            ok = Variable_GetGlobal(ref.id, ref.index, out);
            break;
        case SCOPE_BUILTIN:
            ok = GlobalForBuiltinScope(ref.id) ? Variable_GetGlobal(ref.id, ref.index, out)
                                               : Variable_GetValue(ctx->self, ref.id, ref.index, out);
            break;
        case SCOPE_LOCAL:
            ok = ReadLocal(VM_Locals(ctx), ref.id, ref.index, out);
            break;
        case SCOPE_LOCAL_OR_SELF:
            ok = ReadLocal(VM_Locals(ctx), ref.id, ref.index, out) && !RValue_IsUnset(*out);
            if (!ok) ok = Variable_GetValue(ctx->self, ref.id, ref.index, out);
            break;
        case -12:
            ok = Variable_GetScoped(ref.id, ref.index, out);
            break;
        case -14:
            return ReadOutcome::Read;
        default:
            if (ref.instance == SCOPE_ALL || ref.instance >= 0) {
                ok = Variable_GetOnTarget(ref.instance, ref.id, ref.index, out);
                if (!ok && Variable_NotFound) {
                    const char* name = InstanceWorld().objectName(ref.instance);
                    VM_Error(ctx, "Unable to find any instance for object index '%d' name '%s'", ref.instance,
                             name ? name : "<undefined>");
                    return ReadOutcome::Reported;
                }
            }
            break;
    }
    return ok ? ReadOutcome::Read : ReadOutcome::Failed;
}

void ReportIndexError(VMExecContext* ctx, const char* side, const VarRef& ref) {
    VM_Error(ctx, "%s :: Execution Error - Variable Index [%d,%d] out of range [%d,%d] - %d.%s(%d,%d)", side,
             ArrayIndexError.row, ArrayIndexError.column, ArrayIndexError.rowCount, ArrayIndexError.rowLength,
             ref.instance, VariableName(ctx, ref), ref.id, ref.index);
}

// The member key of a reference: the key value taken from the stack, or the variable's name.
RValue MemberKey(const VMExecContext* ctx, VarRef& ref) {
    if (ref.instance == SCOPE_MEMBER_KEY) {
        RValue key = ref.key;
        ref.key = RValue_Undefined();
        return key;
    }
    RValue key = RValue_Undefined();
    RValue_SetString(&key, VariableName(ctx, ref));
    return key;
}

uint8_t* PushMember(uint8_t* sp, VMExecContext* ctx, VarRef& ref) {
    RValue key = MemberKey(ctx, ref);
    RValue value = RValue_Undefined();
    const int32_t status = ScriptObjects().getMember(&value, &ref.object, &key);
    RValue_Free(&key);
    ReleaseMember(ref);
    if (status != SCRIPT_OP_DONE) {
        RValue_Free(&value);
        if (status != SCRIPT_OP_THROWN)
            VM_Error(ctx, "Push :: Execution Engine - script object operands need the script object runtime");
        return sp;
    }
    uint8_t* room = VM_Reserve(sp, ctx, 16);
    if (room == nullptr) {
        RValue_Free(&value);
        return sp;
    }
    sp = room - 16;
    VM_StoreValue(sp, value);
    return sp;
}

uint8_t* PushVariable(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx) {
    VarRef ref;
    if (!TakeVarRef(word, operand, sp, ctx, ref, "Push")) return sp;
    if (ref.member) return PushMember(sp, ctx, ref);
    uint8_t* room = VM_Reserve(sp, ctx, 16);
    if (room == nullptr) return sp;
    sp = room - 16;
    RValue value{};
    value.kind = VALUE_UNSET;
    ArrayIndexError.raised = 0;
    Variable_NotFound = false;
    const ReadOutcome outcome = ReadVariable(ctx, ref, &value);
    VM_StoreValue(sp, value);
    if (outcome == ReadOutcome::Reported) return sp;
    if (RValue_IsUnset(value) && !ObjectMode() && outcome == ReadOutcome::Read) {
        VM_Error(ctx, "Variable %s.%s(%d, %d) not set before reading it.", ScopeName(ctx, ref.instance),
                 VariableName(ctx, ref), ref.id, ref.index);
        return sp;
    }
    if (outcome == ReadOutcome::Read) return sp;
    if (ArrayIndexError.raised) {
        ReportIndexError(ctx, "Push", ref);
    } else if (outcome == ReadOutcome::NoInstance || Variable_NotFound) {
        const char* name = InstanceWorld().objectName(ref.instance);
        VM_Error(ctx, "Unable to find any instance for object index '%d' name '%s'", ref.instance,
                 name ? name : "<undefined>");
    } else {
        int32_t instance = ref.instance;
        if (instance == SCOPE_SELF && ctx->self && ctx->self->objectClass == OBJECT_CLASS_INSTANCE)
            instance = ctx->self->id;
        VM_Error(ctx, "Push :: Execution Error - Variable Get %d.%s(%d, %d)", instance,
                 VariableName(ctx, ref), ref.id, ref.index);
    }
    return sp;
}

uint8_t* PushString(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx) {
    uint8_t* room = VM_Reserve(sp, ctx, 4);
    if (room == nullptr) return sp;
    const int32_t index = VM_Load<int32_t>(operand);
    const VMHooks& hooks = VM_Hooks();
    auto text = VM_Type1(word) == VM_TYPE_STRING ? hooks.stringText : hooks.watchStringText;
    const char* s = text ? text(index) : nullptr;
    const uint32_t handle = s ? VMString_NewHandle(new SharedString(s)) : 0;
    sp = room - 4;
    VM_Store(sp, handle);
    return sp;
}

uint8_t* PushBytes(uint8_t* sp, VMExecContext* ctx, const void* bytes, int32_t n) {
    uint8_t* room = VM_Reserve(sp, ctx, n);
    if (room == nullptr) return sp;
    sp = room - n;
    std::memcpy(sp, bytes, static_cast<size_t>(n));
    return sp;
}

// A copy of a value item for the stack: strings and arrays gain a reference.
RValue CopyValue(const RValue& source) {
    RValue copy = RValue_Undefined();
    RValue_Assign(&copy, &source);
    if (copy.kind == VALUE_ARRAY && copy.arr != nullptr && copy.arr->owner == &copy)
        copy.arr->owner = nullptr;
    return copy;
}

uint8_t* PushSlot(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx,
                  PWObjectBase* holder, const char* scope) {
    VarRef ref;
    ref.id = static_cast<int32_t>(VM_Load<uint32_t>(operand) & 0x0FFFFFFFu);
    ref.instance = VM_Immediate(word);
    uint8_t* room = VM_Reserve(sp, ctx, 16);
    if (room == nullptr) return sp;
    sp = room - 16;
    const RValue* slot =
        holder && ref.id >= VARIABLE_ID_BASE ? holder->PeekSlot(ref.id - VARIABLE_ID_BASE) : nullptr;
    RValue value = RValue_Undefined();
    value.kind = VALUE_UNSET;
    if (slot != nullptr && !RValue_IsUnset(*slot)) value = CopyValue(*slot);
    VM_Store(sp, value);
    if (RValue_IsUnset(value))
        VM_Error(ctx, "%s variable %s(%d, %d) not set before reading it.", scope, VariableName(ctx, ref),
                 ref.id, ARRAY_INDEX_WHOLE);
    return sp;
}

// --- pop --------------------------------------------------------------------------------

bool TakeValue(uint32_t type, bool intoValueRef, uint8_t*& sp, VMExecContext* ctx, RValue* out) {
    const int32_t size = VM_TypeStackSize(type);
    if (size == 0 || type == VM_TYPE_FLOAT) {
        VM_Error(ctx, "Pop :: Execution Engine");
        return false;
    }
    if (!VM_HaveItems(sp, ctx, size, "Pop")) return false;
    if (type == VM_TYPE_LONG && intoValueRef) {
        *out = RValue_Int64(VM_Load<int64_t>(sp));
        sp += 8;
        return true;
    }
    sp = VM_LoadTypedValue(out, type, sp);
    if (type == VM_TYPE_BOOL) *out = RValue_Bool(out->val != 0.0 ? 1.0 : 0.0);
    return true;
}

bool StoreVariable(VMExecContext* ctx, const VarRef& ref, RValue* value) {
    switch (ref.instance) {
        case SCOPE_SELF:
            return Variable_SetValue(ctx->self, ref.id, ref.index, value);
        case SCOPE_OTHER:
            return Variable_SetValue(ctx->other, ref.id, ref.index, value);
        case SCOPE_GLOBAL:
            return Variable_SetGlobal(ref.id, ref.index, value);
        case SCOPE_BUILTIN:
        case SCOPE_LOCAL_OR_SELF:
            return GlobalForBuiltinScope(ref.id) ? Variable_SetGlobal(ref.id, ref.index, value)
                                                 : Variable_SetValue(ctx->self, ref.id, ref.index, value);
        case SCOPE_LOCAL:
            return WriteLocal(VM_Locals(ctx), ref.id, ref.index, value);
        case -12:
            return Variable_SetScoped(ref.id, ref.index, value);
        default:
            break;
    }
    if (ref.instance >= 0) return Variable_SetOnTarget(ref.instance, ref.id, ref.index, value);
    VM_Error(ctx, "Pop :: Execution Error - Variable references invalid object (%d).%s", ref.instance,
             VariableName(ctx, ref));
    return true;
}

uint8_t* PopRotate(uint32_t word, uint8_t* sp, VMExecContext* ctx) {
    const int32_t n = static_cast<int8_t>(word & 0xFF);
    const int32_t move = static_cast<int8_t>((word >> 8) & 0xFF);
    const int32_t size = VM_TypeStackSize(VM_Type2(word));
    if (n > 0 && size > 0 && 4 * n >= size) {
        if (!VM_HaveItems(sp, ctx, 8 * n, "Pop")) return sp;
        uint8_t saved[16];
        std::memcpy(saved, sp, static_cast<size_t>(size));
        std::memmove(sp + 4 * n - size, sp + 4 * n, static_cast<size_t>(4 * n));
        std::memcpy(sp + 4 * n, saved, static_cast<size_t>(size));
    }
    if (move > 0 && !VM_HaveItems(sp, ctx, 4 * move, "Pop")) return sp;
    if (move < 0) {
        uint8_t* room = VM_Reserve(sp, ctx, -4 * move);
        if (room == nullptr) return sp;
        sp = room;
    }
    return sp + 4 * move;
}

// The delete form of pop (value type 8): a member is deleted through its object's [[Delete]];
// a variable is not deletable. A bool value answers either way.
constexpr uint32_t VM_TYPE_DELETE = 8;

uint8_t* PopDelete(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx) {
    VarRef ref;
    if (!TakeVarRef(word, operand, sp, ctx, ref, "Pop")) return sp;
    RValue answer = RValue_Bool(0.0);
    if (ref.member) {
        RValue key = MemberKey(ctx, ref);
        const int32_t status = ScriptObjects().deleteMember(&answer, &ref.object, &key);
        RValue_Free(&key);
        ReleaseMember(ref);
        if (status != SCRIPT_OP_DONE) {
            RValue_Free(&answer);
            if (status != SCRIPT_OP_THROWN)
                VM_Error(ctx,
                         "Pop :: Execution Engine - script object operands need the script object runtime");
            return sp;
        }
    }
    uint8_t* room = VM_Reserve(sp, ctx, 16);
    if (room == nullptr) return sp;
    sp = room - 16;
    VM_StoreValue(sp, answer);
    return sp;
}

uint8_t* PopInto(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx) {
    const uint32_t type1 = VM_Type1(word);
    if (type1 == VM_TYPE_VALUE && VM_Type2(word) == VM_TYPE_DELETE) return PopDelete(word, sp, operand, ctx);
    VarRef ref;
    RValue value = RValue_Undefined();
    if (type1 == VM_TYPE_INT) {
        if (!TakeValue(VM_Type2(word), false, sp, ctx, &value)) return sp;
        if (!TakeVarRef(word, operand, sp, ctx, ref, "Pop")) {
            RValue_Free(&value);
            return sp;
        }
    } else {
        if (!TakeVarRef(word, operand, sp, ctx, ref, "Pop")) return sp;
        if (!TakeValue(VM_Type2(word), true, sp, ctx, &value)) {
            ReleaseMember(ref);
            return sp;
        }
    }
    if (ref.clearDeletable) value.flags &= ~PROPERTY_DELETABLE;
    if (ObjectMode() && RValue_IsUnset(value)) {
        ReleaseMember(ref);
        VM_Error(ctx, "Attempting to set variable %s to an invalid value", VariableName(ctx, ref));
        return sp;
    }
    if (ref.member) {
        RValue key = MemberKey(ctx, ref);
        const int32_t status = ScriptObjects().putMember(&ref.object, &key, &value);
        RValue_Free(&key);
        ReleaseMember(ref);
        RValue_Free(&value);
        if (status != SCRIPT_OP_DONE && status != SCRIPT_OP_THROWN)
            VM_Error(ctx, "Pop :: Execution Engine - script object operands need the script object runtime");
        return sp;
    }
    ArrayIndexError.raised = 0;
    const bool stored = StoreVariable(ctx, ref, &value);
    if (!ctx->aborted) {
        if (ArrayIndexError.raised)
            ReportIndexError(ctx, "Pop", ref);
        else if (!stored)
            VM_Error(ctx, "Pop :: Execution Error - Variable set failed %s - read only variable?",
                     VariableName(ctx, ref));
    }
    RValue_Free(&value);
    return sp;
}

// --- rem --------------------------------------------------------------------------------

enum class NumKind { Double, Int, Long };

struct Number {
    NumKind kind;
    double d;
    int64_t l;
};

// Reads a rem operand; side is 1 for the divisor, 2 for the dividend. False after an error.
bool ReadNumber(uint32_t type, const uint8_t* at, int side, VMExecContext* ctx, Number& out) {
    switch (type) {
        case VM_TYPE_DOUBLE:
            out = {NumKind::Double, VM_Load<double>(at), 0};
            return true;
        case VM_TYPE_INT:
            out = {NumKind::Int, 0, VM_Load<int32_t>(at)};
            return true;
        case VM_TYPE_LONG:
            out = {NumKind::Long, 0, VM_Load<int64_t>(at)};
            return true;
        case VM_TYPE_STRING:
            VM_Error(ctx, "DoRem :: Execution Engine - Cannot operate on string type");
            return false;
        case VM_TYPE_VALUE:
            break;
        default:
            VM_Error(ctx, "DoRem :: Execution Error");
            return false;
    }
    const RValue v = VM_Load<RValue>(at);
    switch (RValue_Kind(v)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            out = {NumKind::Double, v.val, 0};
            return true;
        case VALUE_INT32:
            out = {NumKind::Int, 0, v.v32};
            return true;
        case VALUE_INT64:
            out = {NumKind::Long, 0, v.v64};
            return true;
        case VALUE_STRING:
            VM_Error(ctx, side == 1 ? "DoRem :1: Execution Engine - Cannot operate on string type"
                                    : "DoRem :: Execution Engine - Cannot operate on string type");
            return false;
        case VALUE_ARRAY:
            VM_Error(ctx, "DoRem :%d: illegal array use", side);
            return false;
        case VALUE_PTR:
            VM_Error(ctx, "DoRem :%d: illegal pointer use", side);
            return false;
        case VALUE_UNDEFINED:
            VM_Error(ctx, "DoRem :%d: undefined value", side);
            return false;
        default:
            VM_Error(ctx, "DoRem :%d: Malformed variable", side);
            return false;
    }
}

int64_t Quotient64(int64_t a, int64_t b) {
    if (b == -1) return static_cast<int64_t>(0 - static_cast<uint64_t>(a));
    return a / b;
}

uint8_t* DoRemImpl(uint32_t word, uint8_t* sp, VMExecContext* ctx) {
    const uint32_t t1 = VM_Type1(word), t2 = VM_Type2(word);
    const int32_t s1 = VM_TypeStackSize(t1), s2 = VM_TypeStackSize(t2);
    if (s1 == 0 || s2 == 0) {
        VM_Error(ctx, "DoRem :: Execution Error");
        return sp;
    }
    if (!VM_HaveItems(sp, ctx, s1 + s2, "DoRem")) return sp;
    Number divisor, dividend;
    if (!ReadNumber(t1, sp, 1, ctx, divisor) || !ReadNumber(t2, sp + s1, 2, ctx, dividend)) return sp;
    NumKind kind;
    double dq = 0;
    int64_t lq = 0;
    if (divisor.kind == NumKind::Double || dividend.kind == NumKind::Double) {
        const int64_t b = divisor.kind == NumKind::Double ? CRT_TruncToInt64(divisor.d) : divisor.l;
        if (b == 0) {
            VM_Error(ctx, "DoRem :: Divide by zero");
            return sp;
        }
        if (divisor.kind == NumKind::Double && dividend.kind == NumKind::Int) {
            const int32_t b32 = CRT_TruncToInt32(divisor.d);
            if (b32 == 0) {
                VM_Error(ctx, "DoRem :: Divide by zero");
                return sp;
            }
            kind = NumKind::Int;
            lq = static_cast<int32_t>(Quotient64(dividend.l, b32));
        } else {
            const int64_t a = dividend.kind == NumKind::Double ? CRT_TruncToInt64(dividend.d) : dividend.l;
            kind = NumKind::Double;
            dq = static_cast<double>(Quotient64(a, b));
        }
    } else {
        if (divisor.l == 0) {
            VM_Error(ctx, "DoRem :: Divide by zero");
            return sp;
        }
        const bool both32 = divisor.kind == NumKind::Int && dividend.kind == NumKind::Int;
        kind = both32 ? NumKind::Int : NumKind::Long;
        lq = both32 ? static_cast<int32_t>(Quotient64(dividend.l, divisor.l))
                    : Quotient64(dividend.l, divisor.l);
    }
    // The operands go; what they held is released before the result takes their place.
    VM_ReleaseItem(t1, sp);
    VM_ReleaseItem(t2, sp + s1);
    uint8_t* end = sp + s1 + s2;
    if (t1 == VM_TYPE_VALUE || t2 == VM_TYPE_VALUE) {
        RValue result = kind == NumKind::Double ? RValue_Real(dq)
                        : kind == NumKind::Long ? RValue_Int64(lq)
                                                : RValue_Int32(static_cast<int32_t>(lq));
        sp = end - 16;
        VM_Store(sp, result);
    } else if (kind == NumKind::Double) {
        sp = end - 8;
        VM_Store(sp, dq);
    } else if (kind == NumKind::Long) {
        sp = end - 8;
        VM_Store(sp, lq);
    } else {
        sp = end - 4;
        VM_Store(sp, static_cast<int32_t>(lq));
    }
    return sp;
}

}  // namespace

uint8_t* VM_HandlerPush(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx) {
    const bool hasOperand = (VM_Opcode(word) & VM_OPCODE_OPERAND) != 0;
    switch (VM_Type1(word)) {
        case VM_TYPE_DOUBLE:
        case VM_TYPE_LONG:
            return hasOperand ? PushBytes(sp, ctx, operand, 8) : sp;
        case VM_TYPE_FLOAT:
        case VM_TYPE_INT:
        case VM_TYPE_BOOL:
            return hasOperand ? PushBytes(sp, ctx, operand, 4) : sp;
        case VM_TYPE_STRING:
        case VM_TYPE_WATCH_STRING:
            return hasOperand ? PushString(word, sp, operand, ctx) : sp;
        case VM_TYPE_SPECIAL: {
            const int32_t immediate = VM_Immediate(word);
            return PushBytes(sp, ctx, &immediate, 4);
        }
        case VM_TYPE_VALUE:
            return PushVariable(word, sp, operand, ctx);
        default:
            return sp;
    }
}

uint8_t* VM_HandlerPushLocal(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx) {
    if (!(VM_Opcode(word) & VM_OPCODE_OPERAND) || VM_OperandSize(word) < 4) return sp;
    return PushSlot(word, sp, operand, ctx, VM_Locals(ctx), "local");
}

uint8_t* VM_HandlerPushGlobal(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx) {
    if (!(VM_Opcode(word) & VM_OPCODE_OPERAND) || VM_OperandSize(word) < 4) return sp;
    return PushSlot(word, sp, operand, ctx, g_GlobalObject, "global");
}

uint8_t* VM_HandlerPushBuiltin(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx) {
    uint8_t* room = VM_Reserve(sp, ctx, 16);
    if (room == nullptr) return sp;
    sp = room - 16;
    RValue value = RValue_Real(0.0);
    const bool hasOperand = (VM_Opcode(word) & VM_OPCODE_OPERAND) && VM_OperandSize(word) >= 4;
    const int32_t index = hasOperand ? static_cast<int32_t>(VM_Load<uint32_t>(operand) & 0x0FFFFFFFu) : 0;
    const int32_t count = Variable_BuiltIn_Count();
    if (index < count) {
        const BuiltinVariable* row = Variable_BuiltIn_Row(index);
        if (row && row->getter) row->getter(nullptr, ARRAY_INDEX_WHOLE, &value);
        VM_StoreValue(sp, value);
    } else {
        VM_Store(sp, value);
        VM_Error(ctx, "DoPushBuiltin :: variable index is out of range %d max is %d", index, count);
    }
    return sp;
}

uint8_t* VM_HandlerPushImmediate(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    const int32_t immediate = VM_Immediate(word);
    return PushBytes(sp, ctx, &immediate, 4);
}

uint8_t* VM_HandlerPop(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx) {
    switch (VM_Type1(word)) {
        case VM_TYPE_SPECIAL:
            return PopRotate(word, sp, ctx);
        case VM_TYPE_INT:
        case VM_TYPE_VALUE:
            return PopInto(word, sp, operand, ctx);
        default:
            VM_Error(ctx, "Pop :: Execution Error - Instruction malformed");
            return sp;
    }
}

// pop.v.v into a local slot of a locals object that has its slots.
uint8_t* VM_HandlerPopLocalFast(uint32_t word, uint8_t* sp, const uint8_t* operand, VMExecContext* ctx) {
    const uint32_t w = VM_Load<uint32_t>(operand);
    PWObjectBase* locals = VM_Locals(ctx);
    const int32_t id = static_cast<int32_t>(w & 0x0FFFFFFFu);
    if ((w & 0xB0000000u) != 0xA0000000u || locals == nullptr || locals->slots == nullptr ||
        id < VARIABLE_ID_BASE || id - VARIABLE_ID_BASE >= locals->slotCount || ObjectMode())
        return PopInto(word, sp, operand, ctx);
    if (!VM_HaveItems(sp, ctx, 16, "Pop")) return sp;
    RValue value = VM_Load<RValue>(sp);
    RValue_SetIndexed(&locals->slots[id - VARIABLE_ID_BASE], &value, ARRAY_INDEX_WHOLE);
    RValue_Free(&value);
    return sp + 16;
}

uint8_t* VM_HandlerConvIntToValue(uint32_t, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    if (!VM_HaveItems(sp, ctx, 4, "DoConv")) return sp;
    const int32_t i = VM_Load<int32_t>(sp);
    uint8_t* room = VM_Reserve(sp, ctx, 12);
    if (room == nullptr) return sp;
    sp = room - 12;
    VM_Store(sp, RValue_Real(i));
    return sp;
}

uint8_t* VM_HandlerDup(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    const uint32_t type = VM_Type1(word);
    const uint32_t immediate = word & 0xFFFF;
    const int32_t size = VM_TypeStackSize(type);
    if (type > VM_TYPE_STRING || size == 0) return sp;
    if (!(immediate & 0x8000) && (immediate & 0x7F00)) {
        if (type != VM_TYPE_VALUE) {
            Runtime_Error("Argument type %d currently unhandled by DoDup swap mode", type);
            return sp;
        }
        const int32_t a = static_cast<int32_t>((immediate >> 4) & 0xF),
                      b = static_cast<int32_t>(immediate & 0xF);
        if (!VM_HaveItems(sp, ctx, 16 * (a + b), "DoDup")) return sp;
        uint8_t saved[16 * 15];
        std::memcpy(saved, sp, 16 * static_cast<size_t>(a));
        std::memmove(sp, sp + 16 * a, 16 * static_cast<size_t>(b));
        std::memcpy(sp + 16 * b, saved, 16 * static_cast<size_t>(a));
        return sp;
    }
    const bool one = (immediate & 0x8000) != 0;
    const int32_t n = static_cast<int32_t>(immediate & 0x7FFF);
    const int32_t count = one ? 1 : n + 1;
    const int32_t from = one ? n * size : 0;
    if (!VM_HaveItems(sp, ctx, int64_t{from} + int64_t{count} * size, "DoDup")) return sp;
    const int64_t offset = from;
    uint8_t* room = VM_Reserve(sp, ctx, count * size);
    if (room == nullptr) return sp;
    uint8_t* source = room + offset;
    uint8_t* dest = room - count * size;
    for (int32_t i = 0; i < count; ++i) {
        uint8_t* item = source + i * size;
        uint8_t* copy = dest + i * size;
        if (type == VM_TYPE_VALUE) {
            VM_Store(copy, CopyValue(VM_Load<RValue>(item)));
        } else if (type == VM_TYPE_STRING) {
            SharedString* record = VMString_Get(VM_Load<uint32_t>(item));
            if (record) ++record->refCount;
            VM_Store(copy, VMString_NewHandle(record));
        } else {
            std::memcpy(copy, item, static_cast<size_t>(size));
        }
    }
    return dest;
}

uint8_t* VM_HandlerRem(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    return DoRemImpl(word, sp, ctx);
}

uint8_t* VM_HandlerNot(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    const uint32_t mode = (word >> 8) & 0xF;
    const uint32_t type = VM_Type1(word);
    const int32_t size = VM_TypeStackSize(type);
    if (size == 0 || !VM_HaveItems(sp, ctx, size, "DoNot")) return sp;
    if (mode == 1) {
        return VM_ScriptOperator(ScriptOperator::LogicalNot, true, VMScriptResult::Bool, type, 0, sp, ctx,
                                 "DoNot");
    }
    if (mode == 2)
        return VM_ScriptOperator(ScriptOperator::BitNot, true, VMScriptResult::Value, type, 0, sp, ctx,
                                 "DoNot");
    switch (type) {
        case VM_TYPE_INT:
            VM_Store(sp, ~VM_Load<int32_t>(sp));
            return sp;
        case VM_TYPE_LONG:
            VM_Store(sp, ~VM_Load<int64_t>(sp));
            return sp;
        case VM_TYPE_BOOL:
            VM_Store(sp, VM_Load<int32_t>(sp) == 0 ? 1 : 0);
            return sp;
        case VM_TYPE_FLOAT:
            VM_Store(sp, static_cast<float>(~CRT_TruncToInt32(VM_Load<float>(sp))));
            return sp;
        case VM_TYPE_DOUBLE:
            VM_Store(sp, static_cast<double>(~CRT_TruncToInt64(VM_Load<double>(sp))));
            return sp;
        case VM_TYPE_STRING:
            VM_Error(ctx, "DoNot :: Execution Engine - Cannot operate on string type");
            return sp;
        default:
            break;
    }
    RValue value = VM_Load<RValue>(sp);
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            value.val = static_cast<double>(~CRT_TruncToInt64(value.val));
            break;
        case VALUE_INT32:
            value.v32 = ~value.v32;
            break;
        case VALUE_INT64:
            value.v64 = ~value.v64;
            break;
        case VALUE_STRING:
            VM_Error(ctx, "DoNot :: Execution Engine - Cannot operate on string type");
            return sp;
        case VALUE_ARRAY:
            VM_Error(ctx, "DoNot :: illegal array use");
            return sp;
        default:
            VM_Error(ctx, "DoNot :: Malformed variable");
            return sp;
    }
    VM_Store(sp, value);
    return sp;
}
