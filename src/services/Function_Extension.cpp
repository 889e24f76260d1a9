#include "services/Function_Extension.h"

#include "base/Error_Report.h"
#include "core/Code_Constant.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "services/Extension_DLL.h"

namespace {

constexpr int32_t kTypeString = 1;
constexpr int32_t kFixedMixed = 4;  // external_define0..4 take argument types; 5..8 are all reals
// The argument block of external_call: one more than any definition can take.
constexpr int32_t kCallBlock = DLL_MAX_ARGUMENTS + 1;

// --- defining -------------------------------------------------------------------------------

// (DLL name, function name, convention, result type, n, n argument types)
void F_ExternalDefine(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    Result_SetReal(result, -1);
    constexpr const char* kWrongCount = "Wrong number of arguments to external_define()";
    if (argc < 5) {
        Error_Report(kWrongCount, false);
        return;
    }
    const char* dll = Arg_GetString(args, 0);
    const char* name = Arg_GetString(args, 1);
    const int32_t convention = Arg_GetInt32(args, 2);
    const int32_t resultType = Arg_GetInt32(args, 3);
    const int32_t n = Arg_GetInt32(args, 4);
    if (n < 0 || argc != n + 5) {
        Error_Report(kWrongCount, false);
        return;
    }
    if (n > DLL_MAX_ARGUMENTS) {
        Error_Report("DLL functions can have at most 16 arguments", false);
        return;
    }
    int32_t types[DLL_MAX_ARGUMENTS + 1] = {};
    for (int32_t i = 0; i < n; ++i) {
        const int32_t type = Arg_GetInt32(args, 5 + i);
        if (n > DLL_MAX_MIXED_ARGUMENTS && type != 0) {
            Error_Report("DLL functions with more than 4 arguments cannot have string arguments", false);
            return;
        }
        types[i] = type == kTypeString ? 1 : 0;
    }
    const int32_t id = DLL_Define(dll, name, convention, n, types, resultType == kTypeString);
    Result_SetReal(result, id);
    if (id < 0) Error_Report("Error defining an external function.", false);
}

// external_define0 .. 8: (DLL name, function name, [N argument types for N <= 4], result type),
// always cdecl.
template <int32_t N>
void F_ExternalDefineN(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    int32_t types[DLL_MAX_ARGUMENTS + 1] = {};
    const int32_t typeCount = N <= kFixedMixed ? N : 0;
    for (int32_t i = 0; i < typeCount; ++i) types[i] = Arg_GetInt32(args, 2 + i) == kTypeString ? 1 : 0;
    const bool resultIsText = Arg_GetInt32(args, 2 + typeCount) == kTypeString;
    const int32_t id = DLL_Define(Arg_GetString(args, 0), Arg_GetString(args, 1), 0, N, types, resultIsText);
    Result_SetReal(result, id);
    if (id < 0) Error_Report("Error defining an external function.", false);
}

// --- calling --------------------------------------------------------------------------------

// (id, values...): -1 for a negative id; a call with more values than any definition takes is
// refused with 0.
void F_ExternalCall(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc < 1) {
        Result_SetReal(result, 0);
        return;
    }
    const int32_t id = Arg_GetInt32(args, 0);
    if (id < 0) {
        Result_SetReal(result, -1);
        return;
    }
    const int32_t values = argc - 1;
    if (values > kCallBlock) {
        Result_SetReal(result, 0);
        return;
    }
    RValue answer = RValue_Real(0);
    DLL_Call(id, values, args + 1, &answer);
    RValue_Move(&result, &answer);
}

template <int32_t N>
void F_ExternalCallN(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    DLL_Call(Arg_GetInt32(args, 0), N, args + 1, &result);
}

void F_ExternalFree(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (RValue_IsString(args[0])) DLL_Free(RValue_GetStringText(&args[0]));
}

const BuiltinRow kRows[] = {
    {"external_define", F_ExternalDefine, -1, 1}, {"external_call", F_ExternalCall, -1, 1},
    {"external_free", F_ExternalFree, 1, 1},      {"external_define0", F_ExternalDefineN<0>, 3, 1},
    {"external_call0", F_ExternalCallN<0>, 1, 1}, {"external_define1", F_ExternalDefineN<1>, 4, 1},
    {"external_call1", F_ExternalCallN<1>, 2, 1}, {"external_define2", F_ExternalDefineN<2>, 5, 1},
    {"external_call2", F_ExternalCallN<2>, 3, 1}, {"external_define3", F_ExternalDefineN<3>, 6, 1},
    {"external_call3", F_ExternalCallN<3>, 4, 1}, {"external_define4", F_ExternalDefineN<4>, 7, 1},
    {"external_call4", F_ExternalCallN<4>, 5, 1}, {"external_define5", F_ExternalDefineN<5>, 3, 1},
    {"external_call5", F_ExternalCallN<5>, 6, 1}, {"external_define6", F_ExternalDefineN<6>, 3, 1},
    {"external_call6", F_ExternalCallN<6>, 7, 1}, {"external_define7", F_ExternalDefineN<7>, 3, 1},
    {"external_call7", F_ExternalCallN<7>, 8, 1}, {"external_define8", F_ExternalDefineN<8>, 3, 1},
    {"external_call8", F_ExternalCallN<8>, 9, 1},
};
static_assert(sizeof kRows / sizeof kRows[0] == 21);

}  // namespace

void InitExternalFunctions() {
    if (ExternalsDisabled) return;
    Code_Function_AddRows(kRows);
}
