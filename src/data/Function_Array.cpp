// Type tests, conversions, and the array built-ins that read and write cells by call rather
// than by index syntax. Writes land in the array record the argument refers to, so every
// holder of a shared array sees them.
#include <cstdint>

#include "core/RuntimeError.h"
#include "core/Value_Convert.h"
#include "data/Function_Math_Internal.h"

namespace {

// --- Type tests -------------------------------------------------------------------------

// The whole kind word must match: a real carrying container marks is no plain real.
template <uint32_t Kind>
HV_BUILTIN(F_IsKind) {
    result = RValue_Real(args[0].kind == Kind ? 1.0 : 0.0);
}

// --- Conversions ------------------------------------------------------------------------

HV_BUILTIN(F_Real) {
    result = RValue_Real(RValue_ToReal(&args[0]));
}
HV_BUILTIN(F_Int64) {
    result = RValue_Int64(RValue_ToInt64(&args[0]));
}

HV_BUILTIN(F_Ptr) {
    result.ptr = reinterpret_cast<void*>(RValue_ToPointer(&args[0]));
    result.flags = 0;
    result.kind = VALUE_PTR;
}

// --- Arrays -----------------------------------------------------------------------------

inline bool IsArrayValue(const RValue& value) {
    return value.kind == VALUE_ARRAY && value.arr != nullptr;
}

// The cell at (row, column) of a two-index call as one combined index; false when either
// is negative or the row lies beyond what a combined index can address.
bool CombinedIndex(int32_t row, int32_t column, int32_t* index) {
    const int64_t combined = int64_t{row} * ARRAY_ROW_STRIDE + column;
    if (row < 0 || column < 0 || combined > INT32_MAX) return false;
    *index = static_cast<int32_t>(combined);
    return true;
}

// Reads a cell into the result (real 0 outside the array). The index-error record is
// cleared first so that only this read can raise it.
bool ReadCell(RValue& result, RValue* array, int32_t index) {
    ArrayIndexError.raised = 0;
    return RValue_GetIndexed(&result, array, index) && ArrayIndexError.raised == 0;
}

HV_BUILTIN(F_ArrayLength1d) {
    const RValue& a = args[0];
    const bool hasRow = IsArrayValue(a) && a.arr->rowCount > 0;
    result = RValue_Real(hasRow ? a.arr->rows[0].length : 0);
}

HV_BUILTIN(F_ArrayLength2d) {
    const RValue& a = args[0];
    const int32_t row = Arg_GetInt32(args, 1);
    const bool hasRow = IsArrayValue(a) && row >= 0 && row < a.arr->rowCount;
    result = RValue_Real(hasRow ? a.arr->rows[row].length : 0);
}

HV_BUILTIN(F_ArrayHeight2d) {
    result = RValue_Real(argc == 1 && IsArrayValue(args[0]) ? args[0].arr->rowCount : 0);
}

HV_BUILTIN(F_ArrayGet) {
    if (!IsArrayValue(args[0])) return;  // undefined
    if (!ReadCell(result, &args[0], Arg_GetInt32(args, 1))) {
        const ArrayIndexErrorRecord& e = ArrayIndexError;
        Runtime_Error("array_get :: Index [%d,%d] out of range [%d,%d]", e.row, e.column, e.rowCount,
                      e.rowLength);
    }
}

// The checks of the setters: the count they take and an array record in argument 0.
bool CheckSetter(int32_t argc, RValue* args, int32_t wantedArgc, const char* name) {
    const bool isArrayKind = argc > 0 && args[0].kind == VALUE_ARRAY;
    if (isArrayKind && argc == wantedArgc && args[0].arr != nullptr) return true;
    if (isArrayKind)
        Runtime_Error("%s :: takes %d arguments", name, wantedArgc);
    else
        Runtime_Error("%s :: argument 0 is not an array", name);
    return false;
}

HV_BUILTIN(F_ArraySet) {
    if (!CheckSetter(argc, args, 3, "array_set")) return;
    RValue_SetElement(&args[0], &args[2], Arg_GetInt32(args, 1));
}

HV_BUILTIN(F_ArraySetPre) {
    if (!CheckSetter(argc, args, 3, "array_set")) return;
    RValue_SetElement(&args[0], &args[2], Arg_GetInt32(args, 1));
    RValue_Assign(&result, &args[2]);
}

// Gives the cell's old content (real 0 when there was none), then writes it.
HV_BUILTIN(F_ArraySetPost) {
    const int32_t index = Arg_GetInt32(args, 1);
    ReadCell(result, &args[0], index);
    if (args[0].kind != VALUE_ARRAY) {  // reported by the read; nothing to write into
        RValue_Release(&result);
        return;
    }
    RValue_SetElement(&args[0], &args[2], index);
}

HV_BUILTIN(F_ArrayGet2D) {
    if (argc != 3 || !IsArrayValue(args[0])) return;  // undefined
    const int32_t row = Arg_GetInt32(args, 1);
    int32_t index;
    if (CombinedIndex(row, Arg_GetInt32(args, 2), &index))
        ReadCell(result, &args[0], index);
    else
        result = RValue_Real(0.0);
}

// A negative row or column writes nothing.
void SetCell2D(RValue* args) {
    const int32_t row = Arg_GetInt32(args, 1);
    int32_t index;
    if (CombinedIndex(row, Arg_GetInt32(args, 2), &index)) RValue_SetElement(&args[0], &args[3], index);
}

HV_BUILTIN(F_ArraySet2D) {
    if (!CheckSetter(argc, args, 4, "array_set_2d")) return;
    SetCell2D(args);
}

HV_BUILTIN(F_ArraySet2DPre) {
    if (!CheckSetter(argc, args, 4, "array_set_2d")) return;
    SetCell2D(args);
    RValue_Assign(&result, &args[3]);
}

HV_BUILTIN(F_ArraySet2DPost) {
    if (!CheckSetter(argc, args, 4, "array_set_2d")) return;
    const int32_t row = Arg_GetInt32(args, 1);
    int32_t index;
    if (CombinedIndex(row, Arg_GetInt32(args, 2), &index)) {
        ReadCell(result, &args[0], index);
        RValue_SetElement(&args[0], &args[3], index);
    } else {
        result = RValue_Real(0.0);
    }
}

constexpr BuiltinRow kArrayRows[] = {
    {"is_real", F_IsKind<VALUE_REAL>, 1},
    {"is_string", F_IsKind<VALUE_STRING>, 1},
    {"is_array", F_IsKind<VALUE_ARRAY>, 1},
    {"is_ptr", F_IsKind<VALUE_PTR>, 1},
    {"is_vec3", F_IsKind<VALUE_VEC3>, 1},
    {"is_undefined", F_IsKind<VALUE_UNDEFINED>, 1},
    {"is_int32", F_IsKind<VALUE_INT32>, 1},
    {"is_vec4", F_IsKind<VALUE_VEC4>, 1},
    {"is_matrix", F_IsKind<VALUE_MATRIX>, 1},
    {"is_int64", F_IsKind<VALUE_INT64>, 1},
    {"is_bool", F_IsKind<VALUE_BOOL>, 1},
    {"real", F_Real, 1},
    {"int64", F_Int64, 1},
    {"ptr", F_Ptr, 1},
    {"array_length_1d", F_ArrayLength1d, 1},
    {"array_length_2d", F_ArrayLength2d, 2},
    {"array_height_2d", F_ArrayHeight2d, 1},
    {"array_get", F_ArrayGet, 2},
    {"array_set", F_ArraySet, 3},
    {"array_set_pre", F_ArraySetPre, 3},
    {"array_set_post", F_ArraySetPost, 3},
    {"array_get_2D", F_ArrayGet2D, 3},
    {"array_set_2D", F_ArraySet2D, 4},
    {"array_set_2D_pre", F_ArraySet2DPre, 4},
    {"array_set_2D_post", F_ArraySet2DPost, 4},
};

}  // namespace

void InitArrayFunctions() {
    Code_Function_AddRows(kArrayRows);
}
