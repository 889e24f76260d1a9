#include "core/Value_Convert.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/CRuntimeCompat.h"
#include "core/Code_Function.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/ScriptObjectHooks.h"
#include "core/CRC32.h"

namespace {

// Nesting of element 0 deeper than any real data; the walk stops there.
constexpr int kMaxElementChain = 256;

inline int KindNumber(const RValue* value) {
    return static_cast<int>(RValue_Kind(value));
}

// Element 0 of nested arrays down to the first value that is not an array; null when the
// walk comes back to an array it has passed (an array holding itself has no number) or
// goes deeper than any real nesting.
RValue* FirstElement(RValue* value) {
    const SharedArray* passed[kMaxElementChain];
    for (int depth = 0; RValue_Kind(value) == VALUE_ARRAY; ++depth) {
        if (depth == kMaxElementChain) return nullptr;
        for (int i = 0; i < depth; ++i) {
            if (passed[i] == value->arr && value->arr != nullptr) return nullptr;
        }
        passed[depth] = value->arr;
        value = RValue_ElementRef(value, 0);
    }
    return value;
}

// The script runtime's ToNumber of a string or object argument; false when it could not.
bool ToNumber(const RValue* value, double* number) {
    RValue converted = RValue_Undefined();
    int32_t status = ScriptObjects().toNumber(&converted, value);
    bool ok = status == 0 && RValue_Kind(&converted) == VALUE_REAL;
    if (ok) *number = converted.val;
    RValue_Release(&converted);
    return ok;
}

const char* ArgName() {
    return Builtin_CurrentName();
}

}  // namespace

// --- Converters -------------------------------------------------------------------------

double RValue_ToReal(RValue* value) {
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            return value->val;
        case VALUE_STRING:
            return CRT_atof(RValue_GetStringText(value));
        case VALUE_ARRAY: {
            RValue* first = FirstElement(value);
            return first ? RValue_ToReal(first) : 0.0;
        }
        case VALUE_INT32:
            return value->v32;
        case VALUE_INT64:
            return static_cast<double>(value->v64);
        case VALUE_UNDEFINED:
            return 0.0;
        case VALUE_UNSET:
            Runtime_Error("REAL argument is unset");
            return 0.0;
        default:
            Runtime_Error("REAL argument incorrect type %d", KindNumber(value));
            return 0.0;
    }
}

int32_t RValue_ToInt32(RValue* value) {
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            return CRT_TruncToInt32(value->val);
        case VALUE_STRING:
            return CRT_strtol32(RValue_GetStringText(value), 10);
        case VALUE_ARRAY: {
            RValue* first = FirstElement(value);
            return first ? RValue_ToInt32(first) : 0;
        }
        case VALUE_INT32:
            return value->v32;
        case VALUE_INT64:
        case VALUE_PTR:
            return static_cast<int32_t>(static_cast<uint32_t>(value->v64));
        case VALUE_UNDEFINED:
            return 0;
        case VALUE_UNSET:
            Runtime_Error("I32 argument is unset");
            return 0;
        default:
            Runtime_Error("I32 argument incorrect type %d", KindNumber(value));
            return 0;
    }
}

int64_t RValue_ToInt64(RValue* value) {
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            return CRT_TruncToInt64(value->val);
        case VALUE_STRING:
            return CRT_strtoll(RValue_GetStringText(value), 10);
        case VALUE_ARRAY: {
            RValue* first = FirstElement(value);
            return first ? RValue_ToInt64(first) : 0;
        }
        case VALUE_INT32:
            return value->v32;
        case VALUE_INT64:
        case VALUE_PTR:
            return value->v64;
        case VALUE_UNDEFINED:
            return 0;
        case VALUE_UNSET:
            Runtime_Error("I64 argument is unset");
            return 0;
        default:
            Runtime_Error("I64 argument incorrect type %d", KindNumber(value));
            return 0;
    }
}

intptr_t RValue_ToPointer(RValue* value) {
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            return static_cast<intptr_t>(static_cast<uint32_t>(CRT_TruncToInt64(value->val)));
        case VALUE_STRING:
            return static_cast<intptr_t>(CRT_strtoll(RValue_GetStringText(value), 16));
        case VALUE_ARRAY: {
            RValue* first = FirstElement(value);
            return first ? RValue_ToPointer(first) : 0;
        }
        case VALUE_INT32:
        case VALUE_INT64:
            return static_cast<intptr_t>(static_cast<uint32_t>(value->v64));
        case VALUE_PTR:
            return reinterpret_cast<intptr_t>(value->ptr);
        case VALUE_UNDEFINED:
            return 0;
        case VALUE_UNSET:
            Runtime_Error("PTR argument is unset");
            return 0;
        default:
            Runtime_Error("PTR argument incorrect type %d", KindNumber(value));
            return 0;
    }
}

// --- Hash -------------------------------------------------------------------------------

uint32_t RValue_Hash(const RValue* value) {
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
            return static_cast<uint32_t>(CRT_TruncToInt32(value->val));
        case VALUE_STRING:
            return value->str ? CRC32_String(value->str->text) : 0;
        case VALUE_ARRAY:
            return value->arr ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value->arr->rows)) : 0;
        case VALUE_UNDEFINED:
            return 0;
        case VALUE_UNSET:
            Runtime_Error("HASH argument is unset");
            return static_cast<uint32_t>(value->v64);
        default:
            // int32, int64, the bits of a bool's double, pointers and objects: the low 32 bits.
            return static_cast<uint32_t>(value->v64);
    }
}

// --- Text form --------------------------------------------------------------------------

namespace {

// Cycle guard: every call takes a new pass number; records printed since the outermost
// call began carry a stamp at or above its start. 64-bit so a long run never wraps.
int64_t g_textPass = 0;
int64_t g_textStart = 0;
int32_t g_textDepth = 0;

void AppendReal(char*& cursor, char*& base, int32_t& capacity, double d) {
    char scratch[512];
    if (std::isnan(d)) {
        TextBuffer_Append(cursor, base, capacity, "NaN");
        return;
    }
    // Only a real inside the int64 range can be a whole number printed as one.
    if (d >= -9223372036854775808.0 && d < 9223372036854775808.0) {
        long long whole = static_cast<long long>(d);
        if (static_cast<double>(whole) == d) {
            std::snprintf(scratch, sizeof scratch, "%lld", whole);
            TextBuffer_Append(cursor, base, capacity, scratch);
            return;
        }
    }
    CRT_FormatFixed2(scratch, sizeof scratch, d);
    TextBuffer_Append(cursor, base, capacity, scratch);
}

void AppendArray(char*& cursor, char*& base, int32_t& capacity, SharedArray* record) {
    TextBuffer_Append(cursor, base, capacity, "{ ");
    if (record != nullptr && record->visitStamp < g_textStart) {
        record->visitStamp = g_textPass;
        for (int32_t r = 0; r < record->rowCount; ++r) {
            TextBuffer_Append(cursor, base, capacity, "{ ");
            const ArrayRow& row = record->rows[r];
            for (int32_t i = 0; i < row.length; ++i) {
                if (i > 0) TextBuffer_Append(cursor, base, capacity, ",");
                RValue_AppendText(cursor, base, capacity, &row.items[i]);
            }
            TextBuffer_Append(cursor, base, capacity, " }, ");
        }
    }
    TextBuffer_Append(cursor, base, capacity, " }");
}

void AppendObject(char*& cursor, char*& base, int32_t& capacity, PWObjectBase* object) {
    if (object == nullptr) {
        TextBuffer_Append(cursor, base, capacity, "null");
        return;
    }
    const ScriptObjectHooks& hooks = ScriptObjects();
    int64_t* stamp = hooks.visitStamp(object);
    if (stamp == nullptr || *stamp >= g_textStart) return;
    *stamp = g_textPass;
    RValue method = RValue_Undefined();
    hooks.getProperty(object, &method, "toString");
    if (hooks.isCallable(&method)) {
        RValue result = RValue_Undefined();
        hooks.callValue(object, &result, &method, 0, nullptr);
        if (const char* text = RValue_GetStringText(&result)) TextBuffer_Append(cursor, base, capacity, text);
        RValue_Release(&result);
    }
    RValue_Release(&method);
}

void AppendBody(char*& cursor, char*& base, int32_t& capacity, const RValue* value) {
    char scratch[64];
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
            AppendReal(cursor, base, capacity, value->val);
            break;
        case VALUE_STRING:
            if (const char* text = RValue_GetStringText(value))
                TextBuffer_Append(cursor, base, capacity, text);
            break;
        case VALUE_ARRAY:
            AppendArray(cursor, base, capacity, value->arr);
            break;
        case VALUE_PTR:
            CRT_FormatPointer(scratch, sizeof scratch, value->ptr);
            TextBuffer_Append(cursor, base, capacity, scratch);
            break;
        case VALUE_UNDEFINED:
            TextBuffer_Append(cursor, base, capacity, "undefined");
            break;
        case VALUE_OBJECT:
            AppendObject(cursor, base, capacity, value->obj);
            break;
        case VALUE_INT32:
            std::snprintf(scratch, sizeof scratch, "%d", value->v32);
            TextBuffer_Append(cursor, base, capacity, scratch);
            break;
        case VALUE_INT64:
            std::snprintf(scratch, sizeof scratch, "%lld", static_cast<long long>(value->v64));
            TextBuffer_Append(cursor, base, capacity, scratch);
            break;
        case VALUE_BOOL:
            TextBuffer_Append(cursor, base, capacity, value->val != 0.0 ? "1" : "0");
            break;
        case VALUE_UNSET:
            Runtime_Error("STRING argument is unset");
            break;
        default:
            break;  // vectors, matrix, function references, null, iterators: no text
    }
}

}  // namespace

void TextBuffer_Append(char*& cursor, char*& base, int32_t& capacity, const char* text) {
    if (text == nullptr) return;
    if (base == nullptr) {
        capacity = 256;
        base = cursor = static_cast<char*>(MEM_ALLOC(static_cast<uint32_t>(capacity)));
    }
    int64_t length = static_cast<int64_t>(std::strlen(text));
    int64_t used = cursor - base + 1;
    int64_t needed = used + length;
    if (needed >= INT32_MAX) {
        Runtime_Error("text too long (%lld bytes)", static_cast<long long>(needed));
        return;
    }
    if (capacity < needed) {
        int64_t grown = static_cast<int64_t>(capacity) * 2;
        int64_t newCapacity = grown > needed + 1 ? grown : needed + 1;
        if (newCapacity > INT32_MAX) newCapacity = INT32_MAX;
        int64_t offset = cursor - base;
        base = static_cast<char*>(MEM_REALLOC(base, static_cast<uint32_t>(newCapacity)));
        cursor = base + offset;
        capacity = static_cast<int32_t>(newCapacity);
    }
    std::memcpy(cursor, text, static_cast<size_t>(length) + 1);
    cursor += length;
}

void RValue_AppendText(char*& cursor, char*& base, int32_t& capacity, const RValue* value) {
    ++g_textPass;
    if (g_textDepth == 0) g_textStart = g_textPass;
    ++g_textDepth;
    AppendBody(cursor, base, capacity, value);
    --g_textDepth;
}

// --- Argument getters -------------------------------------------------------------------

int32_t Arg_GetNumberOrPointer(const RValue* args, int32_t n) {
    const RValue* value = &args[n];
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
            return CRT_TruncToInt32(value->val);
        case VALUE_INT32:
            return value->v32;
        case VALUE_INT64:
        case VALUE_PTR:
            return static_cast<int32_t>(static_cast<uint32_t>(value->v64));
        default:
            Runtime_Error("%s argument %d incorrect type (%d) expecting a Number or Pointer", ArgName(),
                          n + 1, KindNumber(value));
            return -1;
    }
}

bool Arg_GetBool(const RValue* args, int32_t n) {
    const RValue* value = &args[n];
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
            return value->val > 0.5;
        case VALUE_BOOL:
            return value->val != 0.0;
        case VALUE_INT32:
            return value->v32 > 0;
        case VALUE_INT64:
            return value->v64 > 0;
        default:
            Runtime_Error("%s argument %d incorrect type (%d) expecting a Number (PWB)", ArgName(), n + 1,
                          KindNumber(value));
            return false;
    }
}

int32_t Arg_GetInt32Any(const RValue* args, int32_t n) {
    const RValue* value = &args[n];
    double d;
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            d = value->val;
            break;
        case VALUE_INT32:
            return value->v32;
        case VALUE_INT64:
            return static_cast<int32_t>(static_cast<uint32_t>(value->v64));
        case VALUE_STRING:
        case VALUE_OBJECT:
            if (!ToNumber(value, &d)) return 0;
            break;
        default:
            Runtime_Error("%s argument %d incorrect type (%d) expecting a Number (PWI32)", ArgName(), n + 1,
                          KindNumber(value));
            return 0;
    }
    return std::isfinite(d) ? CRT_TruncToInt32(d) : 0;
}

uint32_t Arg_GetUInt32(const RValue* args, int32_t n) {
    const RValue* value = &args[n];
    double d;
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            d = value->val;
            break;
        case VALUE_INT32:
        case VALUE_INT64:
            return static_cast<uint32_t>(value->v64);
        case VALUE_STRING:
        case VALUE_OBJECT:
            if (!ToNumber(value, &d)) return 0;
            break;
        default:
            Runtime_Error("%s argument %d incorrect type (%d) expecting a Number (PWU32)", ArgName(), n + 1,
                          KindNumber(value));
            return 0;
    }
    return std::isfinite(d) ? static_cast<uint32_t>(CRT_TruncToInt64(d)) : 0;
}

int64_t Arg_GetInt64(const RValue* args, int32_t n) {
    const RValue* value = &args[n];
    double d;
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            d = value->val;
            break;
        case VALUE_INT32:
            return value->v32;
        case VALUE_INT64:
            return value->v64;
        case VALUE_STRING:
        case VALUE_OBJECT:
            if (!ToNumber(value, &d)) return 0;
            break;
        default:
            Runtime_Error("%s argument %d incorrect type expecting a Number", ArgName(), n + 1);
            return 0;
    }
    return std::isfinite(d) ? CRT_TruncToInt64(d) : 0;
}

double Arg_GetReal(const RValue* args, int32_t n) {
    const RValue* value = &args[n];
    double d;
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            return value->val;
        case VALUE_INT32:
            return value->v32;
        case VALUE_INT64:
            return static_cast<double>(value->v64);
        case VALUE_STRING:
        case VALUE_OBJECT:
            return ToNumber(value, &d) ? d : 0.0;
        default:
            Runtime_Error("%s argument %d incorrect type (%d) expecting a Number (PWR)", ArgName(), n + 1,
                          KindNumber(value));
            return 0.0;
    }
}

float Arg_GetFloat(const RValue* args, int32_t n) {
    const RValue* value = &args[n];
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            // Narrowing is IEEE rounding: a finite real beyond the float range becomes infinite.
            return std::isfinite(value->val) ? static_cast<float>(value->val) : 0.0f;
        case VALUE_INT32:
            return static_cast<float>(value->v32);
        case VALUE_INT64:
            return static_cast<float>(value->v64);
        default:
            Runtime_Error("%s argument %d incorrect type (%d) expecting a Number (PWF)", ArgName(), n + 1,
                          KindNumber(value));
            return 0.0f;
    }
}

const char* Arg_GetString(const RValue* args, int32_t n) {
    const RValue* value = &args[n];
    switch (RValue_Kind(value)) {
        case VALUE_STRING:
            return RValue_GetStringText(value);
        case VALUE_OBJECT:
            return nullptr;
        default:
            Runtime_Error("%s argument %d incorrect type (%d) expecting a String (PWS)", ArgName(), n + 1,
                          KindNumber(value));
            return nullptr;
    }
}
