#include "core/Value_Operators.h"

#include <cstring>

#include "core/CRuntimeCompat.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value_Convert.h"

namespace {

enum class Op { Add, Sub, Mul, Div };

const char* OpText(Op op) {
    switch (op) {
        case Op::Add:
            return "+=";
        case Op::Sub:
            return "-=";
        case Op::Mul:
            return "*=";
        default:
            return "/=";
    }
}

// A copy that holds its own references. A pointer that owns its object stays owned by the
// original: the copy only borrows it.
RValue Held(const RValue* v) {
    RValue copy = *v;
    switch (copy.kind) {
        case VALUE_STRING:
            if (copy.str) ++copy.str->refCount;
            break;
        case VALUE_ARRAY:
            if (copy.arr) ++copy.arr->refCount;
            break;
        case VALUE_PTR:
            copy.flags &= ~VALUE_FLAG_OWNS_OBJECT;
            break;
        default:
            break;
    }
    return copy;
}

// Moves a computed value into dest; an array without an owner takes dest.
RValue* Place(RValue* dest, const RValue& value) {
    *dest = value;
    if (dest->kind == VALUE_ARRAY && dest->arr && dest->arr->owner == nullptr) dest->arr->owner = dest;
    return dest;
}

double ToReal(const RValue* v) {
    return RValue_ToReal(const_cast<RValue*>(v));
}
int32_t ToInt32(const RValue* v) {
    return RValue_ToInt32(const_cast<RValue*>(v));
}
int64_t ToInt64(const RValue* v) {
    return RValue_ToInt64(const_cast<RValue*>(v));
}

// The left text followed by the right one, as the left value's new record.
void Concatenate(RValue* left, const RValue* right) {
    if (right->kind != VALUE_STRING) {
        Runtime_Error("unable to add a number to string");
        return;
    }
    const char* lt = left->str && left->str->text ? left->str->text : "";
    const char* rt = right->str && right->str->text ? right->str->text : "";
    const size_t ll = std::strlen(lt), rl = std::strlen(rt);
    if (ll + rl > 0x7FFFFFFEu) {
        Runtime_Error("unable to add a number to string");
        return;
    }
    SharedString* record = SharedString_Alloc(static_cast<int32_t>(ll + rl));
    if (record == nullptr) return;
    std::memcpy(record->text, lt, ll);
    std::memcpy(record->text + ll, rt, rl);
    SharedString_ReleaseSafe(left->str);
    left->str = record;
}

// Integer division leaves the left value unchanged on a zero divisor, after the error.
template <typename T>
bool DivisorOk(T divisor) {
    if (divisor != 0) return true;
    Runtime_Error("DoDiv :: Divide by zero");
    return false;
}

// Computes left op right in place, by the left operand's kind.
void Apply(Op op, RValue* left, const RValue* right) {
    switch (left->kind) {
        case VALUE_REAL:
        case VALUE_BOOL: {
            const double r = ToReal(right);
            left->val = op == Op::Add   ? left->val + r
                        : op == Op::Sub ? left->val - r
                        : op == Op::Mul ? left->val * r
                                        : left->val / r;
            return;
        }
        case VALUE_INT32: {
            const auto a = static_cast<uint32_t>(left->v32);
            const int32_t b = ToInt32(right);
            const auto ub = static_cast<uint32_t>(b);
            if (op == Op::Div) {
                if (DivisorOk(b)) left->v32 = b == -1 ? static_cast<int32_t>(0u - a) : left->v32 / b;
                return;
            }
            left->v32 = static_cast<int32_t>(op == Op::Add ? a + ub : op == Op::Sub ? a - ub : a * ub);
            return;
        }
        case VALUE_INT64: {
            const auto a = static_cast<uint64_t>(left->v64);
            const int64_t b = ToInt64(right);
            const auto ub = static_cast<uint64_t>(b);
            if (op == Op::Div) {
                if (DivisorOk(b)) left->v64 = b == -1 ? static_cast<int64_t>(0 - a) : left->v64 / b;
                return;
            }
            left->v64 = static_cast<int64_t>(op == Op::Add ? a + ub : op == Op::Sub ? a - ub : a * ub);
            return;
        }
        case VALUE_STRING:
            if (op == Op::Add) {
                Concatenate(left, right);
                return;
            }
            break;
        default:
            break;
    }
    RValue_OperatorTypeError(OpText(op), left, right);
}

RValue* Binary(Op op, RValue* dest, const RValue* left, const RValue* right) {
    RValue temp = Held(left);
    Apply(op, &temp, right);
    return Place(dest, temp);
}

RValue* Step(RValue* value, RValue* dest, double delta, const char* op) {
    Place(dest, Held(value));
    switch (value->kind) {
        case VALUE_REAL:
        case VALUE_BOOL:
            value->val += delta;
            break;
        case VALUE_INT32:
            value->v32 =
                static_cast<int32_t>(static_cast<uint32_t>(value->v32) + static_cast<uint32_t>(delta));
            break;
        case VALUE_INT64:
            value->v64 =
                static_cast<int64_t>(static_cast<uint64_t>(value->v64) + static_cast<uint64_t>(delta));
            break;
        default:
            RValue_OperatorTypeError(op, value, value);
            break;
    }
    return dest;
}

}  // namespace

RValue* RValue_Add(RValue* dest, const RValue* left, const RValue* right) {
    return Binary(Op::Add, dest, left, right);
}

RValue* RValue_AddAssign(RValue* left, const RValue* right) {
    // Read the right side first: it may be the left value itself.
    RValue rightCopy = Held(right);
    Apply(Op::Add, left, &rightCopy);
    RValue_Free(&rightCopy);
    return left;
}

RValue* RValue_AddFloat(RValue* dest, const RValue* left, float f) {
    RValue temp = Held(left);
    switch (temp.kind) {
        case VALUE_REAL:
        case VALUE_BOOL:
            temp.val += static_cast<double>(f);
            break;
        case VALUE_INT32:
            temp.v32 = static_cast<int32_t>(static_cast<uint32_t>(temp.v32) +
                                            static_cast<uint32_t>(CRT_TruncToInt32(f)));
            break;
        case VALUE_INT64:
            temp.v64 = static_cast<int64_t>(static_cast<uint64_t>(temp.v64) +
                                            static_cast<uint64_t>(CRT_TruncToInt64(f)));
            break;
        case VALUE_STRING:
            Runtime_Error("unable to add a number to string");
            break;
        default:
            break;
    }
    return Place(dest, temp);
}

RValue* RValue_Sub(RValue* dest, const RValue* left, const RValue* right) {
    return Binary(Op::Sub, dest, left, right);
}

RValue* RValue_SubInt(RValue* dest, const RValue* left, int32_t i) {
    const RValue right = RValue_Real(i);
    return Binary(Op::Sub, dest, left, &right);
}

RValue* RValue_IntSubValue(RValue* dest, int32_t i, const RValue* right) {
    RValue copy = Held(right);
    const double r = ToReal(&copy);
    RValue_Free(&copy);
    return Place(dest, RValue_Real(static_cast<double>(i) - r));
}

RValue* RValue_MulValue(RValue* dest, const RValue* left, const RValue* right) {
    return Binary(Op::Mul, dest, left, right);
}

RValue* RValue_MulReal(RValue* dest, const RValue* left, double d) {
    const RValue right = RValue_Real(d);
    return Binary(Op::Mul, dest, left, &right);
}

RValue* RValue_MulInt(RValue* dest, const RValue* left, int32_t i) {
    const RValue right = RValue_Real(i);
    return Binary(Op::Mul, dest, left, &right);
}

RValue* RValue_RealMulValue(RValue* dest, double d, const RValue* right) {
    RValue copy = Held(right);
    const double r = ToReal(&copy);
    RValue_Free(&copy);
    return Place(dest, RValue_Real(d * r));
}

RValue* RValue_DivValue(RValue* dest, const RValue* left, const RValue* right) {
    return Binary(Op::Div, dest, left, right);
}

RValue* RValue_PostIncrement(RValue* value, RValue* dest) {
    return Step(value, dest, 1.0, "++");
}
RValue* RValue_PostDecrement(RValue* value, RValue* dest) {
    return Step(value, dest, -1.0, "--");
}

RValue* RValue_ArrayElement2D(RValue* array, int32_t index) {
    if (array->kind != VALUE_ARRAY || array->arr == nullptr) {
        Runtime_Error("trying to index variable that is not an array");
        return array;
    }
    const int32_t row = index / ARRAY_ROW_STRIDE, column = index % ARRAY_ROW_STRIDE;
    SharedArray* record = array->arr;
    if (record->owner == nullptr) record->owner = array;
    if (row < 0 || row >= record->rowCount) {
        Runtime_Error("first index out of bounds request %d maximum size is %d", row, record->rowCount);
        return nullptr;
    }
    if (column < 0 || column >= record->rows[row].length) {
        Runtime_Error("second index out of bounds request %d,%d maximum size is %d", row, column,
                      record->rowCount);
        return nullptr;
    }
    return &record->rows[row].items[column];
}

void TextBuilder_AppendValue(TextBuilder* builder, const RValue* value) {
    int32_t capacity = 256;
    char* base = static_cast<char*>(MEM_ALLOC(capacity));
    base[0] = '\0';
    char* cursor = base;
    RValue_AppendText(cursor, base, capacity, value);
    const auto textLength = static_cast<int32_t>(std::strlen(base));
    const int32_t need = builder->length + textLength + 1;
    if (builder->capacity - builder->length - 1 < textLength + 1) {
        int32_t size = (builder->capacity ? builder->capacity : textLength + 1) * 3 / 2;
        if (size < need) size = need * 3 / 2;
        char* grown = static_cast<char*>(MEM_ALLOC(size));
        if (builder->buffer) std::memcpy(grown, builder->buffer, static_cast<size_t>(builder->length) + 1);
        MEM_FREE(builder->buffer);
        builder->buffer = grown;
        builder->capacity = size;
    }
    std::memcpy(builder->buffer + builder->length, base, static_cast<size_t>(textLength) + 1);
    builder->length += textLength;
    MEM_FREE(base);
}

void TextBuilder_Free(TextBuilder* builder) {
    MEM_FREE(builder->buffer);
    *builder = TextBuilder{};
}

void RValue_OperatorTypeError(const char* op, const RValue* left, const RValue* right) {
    TextBuilder lt, rt;
    TextBuilder_AppendValue(&lt, left);
    TextBuilder_AppendValue(&rt, right);
    Runtime_Error("invalid type for %s lhs=%s (type=%d), rhs=%s (type=%d)", op, lt.buffer,
                  static_cast<int>(left->kind), rt.buffer, static_cast<int>(right->kind));
    TextBuilder_Free(&lt);
    TextBuilder_Free(&rt);
}
