#include "data/Function_Misc.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/Code_Function.h"
#include "core/Code_Variable.h"
#include "core/Console.h"
#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "core/RuntimeError.h"
#include "core/Timing.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "core/Variable.h"
#include "data/Function_Date.h"
#include "platform/Function_MiscM.h"

namespace {

constexpr int32_t kAlarmCount = 12;
constexpr int32_t kDebugOverlayShown = 2;
constexpr int32_t kDebugTextStartBytes = 256;
constexpr double kMicrosecondsPerSecond = 1000000.0;


// --- Debugging ------------------------------------------------------------------------------

void F_ShowDebugMessage(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (args[0].kind == VALUE_STRING) {
        const char* text = RValue_GetStringText(&args[0]);
        ErrorConsole.Output("%s\n", text != nullptr ? text : "");
        return;
    }
    int32_t capacity = kDebugTextStartBytes;
    char* base = static_cast<char*>(MEM_ALLOC(capacity));
    char* cursor = base;
    RValue_AppendText(cursor, base, capacity, &args[0]);
    ErrorConsole.Output("%s\n", base);
    MEM_FREE(base);
}

void F_ShowDebugOverlay(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (Arg_GetBool(args, 0)) {
        g_Switches.debugOverlayFlags |= kDebugOverlayShown;
    } else {
        g_Switches.debugOverlayFlags &= ~kDebugOverlayShown;
    }
}

void F_DebugEvent(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* text = Arg_GetString(args, 0);
    if (text == nullptr) text = "";
    MemLog_Event("%s", text);
    if (std::strncmp(text, "DumpMemory", 6) == 0) MemoryManager::DumpTotal();
}

// --- Window, process and clipboard ----------------------------------------------------------

void F_SetProgramPriority(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Process_SetPriority(Arg_GetInt32(args, 0));
}

void F_ClipboardHasText(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    Result_SetFlag(result, Clipboard_HasText());
}

void F_ClipboardSetText(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* text = Arg_GetString(args, 0);
    if (text == nullptr) {
        Result_SetReal(result, 0.0);
        return;
    }
    Clipboard_SetText(text);
}

void F_ClipboardGetText(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    const std::string text = Clipboard_GetText();
    RValue_SetString(&result, text.c_str());
}

// --- Alarms ---------------------------------------------------------------------------------

int32_t GetAlarm(const CInstance* self, int32_t number) {
    if (self == nullptr || number < 0 || number >= kAlarmCount) return -1;
    return self->alarm[number];
}

void SetAlarm(CInstance* self, int32_t number, int32_t steps) {
    if (self == nullptr || number < 0 || number >= kAlarmCount) return;
    self->alarm[number] = steps;
}

void F_AlarmSet(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    SetAlarm(self, Arg_GetInt32(args, 0), Arg_GetInt32(args, 1));
}

void F_AlarmGet(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, GetAlarm(self, Arg_GetInt32(args, 0)));
}

// --- Variables by name ----------------------------------------------------------------------
// The plain forms read and write the whole variable, as game code naming it would: a value
// set by name reads back as itself, and a plain variable can be read by name.

constexpr int32_t kArrayIndexLimit = 32000;

enum class Store { Global, Local };

// The variable id of argument 0; false (nothing to do) when it is not a name.
bool NameId(const RValue* args, int32_t* id) {
    const char* name = Arg_GetString(args, 0);
    if (name == nullptr) return false;
    *id = Code_Variable_GetId(name);
    return true;
}

// A negative index stays negative (and so names no element) without overflowing, and never
// becomes the whole-value marker.
int32_t CombineIndex(int64_t row, int64_t column) {
    const int64_t index = row * kArrayIndexLimit + column;
    return index <= static_cast<int64_t>(ARRAY_INDEX_WHOLE) ? -1 : static_cast<int32_t>(index);
}

// The element index of the arguments from `first` on: false (after the report) when an index
// is 32000 or more.
bool ElementIndex(const RValue* args, int32_t first, int32_t count, int32_t* index) {
    if (count == 0) {
        *index = ARRAY_INDEX_WHOLE;
        return true;
    }
    const int32_t row = Arg_GetInt32(args, first);
    const int32_t column = count == 2 ? Arg_GetInt32(args, first + 1) : 0;
    if (row >= kArrayIndexLimit || column >= kArrayIndexLimit) {
        Runtime_ErrorNonFatal("Array index >= 32000");
        return false;
    }
    *index = count == 2 ? CombineIndex(row, column) : CombineIndex(0, row);
    return true;
}

// Built-in variables answer through their own getter and setter, whichever store is named.
bool ReadVariable(Store store, CInstance* self, int32_t id, int32_t index, RValue* out) {
    if (store == Store::Global && id >= VARIABLE_BUILTIN_LIMIT) return Variable_GetGlobal(id, index, out);
    return Variable_GetValue(self, id, index, out);
}

bool WriteVariable(Store store, CInstance* self, int32_t id, int32_t index, RValue* value) {
    if (store == Store::Global && id >= VARIABLE_BUILTIN_LIMIT) return Variable_SetGlobal(id, index, value);
    return Variable_SetValue(self, id, index, value);
}

// indices: 0 plain, 1 or 2 element forms; the indices follow the name.
void GetByName(Store store, RValue& result, CInstance* self, RValue* args, int32_t indices) {
    int32_t id = 0, index = 0;
    if (!NameId(args, &id) || !ElementIndex(args, 1, indices, &index)) return;
    ReadVariable(store, self, id, index, &result);
    // A variable never assigned reads as undefined rather than leaking the unset marker.
    if (RValue_IsUnset(result)) RValue_Release(&result);
}

// The value is the argument after the indices.
void SetByName(Store store, CInstance* self, RValue* args, int32_t indices) {
    int32_t id = 0, index = 0;
    if (!NameId(args, &id) || !ElementIndex(args, 1, indices, &index)) return;
    WriteVariable(store, self, id, index, &args[1 + indices]);
}

// A variable exists once something was assigned to it.
void ExistsByName(Store store, RValue& result, CInstance* self, RValue* args) {
    int32_t id = 0;
    if (!NameId(args, &id)) return;
    RValue value = RValue_Undefined();
    const bool found = ReadVariable(store, self, id, ARRAY_INDEX_WHOLE, &value) && !RValue_IsUnset(value);
    RValue_Release(&value);
    Result_SetFlag(result, found);
}

#define BY_NAME_ROWS(scope, store) \
    void F_Variable##scope##Exists(RValue& r, CInstance* s, CInstance*, int32_t, RValue* a) { \
        ExistsByName(store, r, s, a); \
    } \
    void F_Variable##scope##Get(RValue& r, CInstance* s, CInstance*, int32_t, RValue* a) { \
        GetByName(store, r, s, a, 0); \
    } \
    void F_Variable##scope##ArrayGet(RValue& r, CInstance* s, CInstance*, int32_t, RValue* a) { \
        GetByName(store, r, s, a, 1); \
    } \
    void F_Variable##scope##Array2Get(RValue& r, CInstance* s, CInstance*, int32_t, RValue* a) { \
        GetByName(store, r, s, a, 2); \
    } \
    void F_Variable##scope##Set(RValue&, CInstance* s, CInstance*, int32_t, RValue* a) { \
        SetByName(store, s, a, 0); \
    } \
    void F_Variable##scope##ArraySet(RValue&, CInstance* s, CInstance*, int32_t, RValue* a) { \
        SetByName(store, s, a, 1); \
    } \
    void F_Variable##scope##Array2Set(RValue&, CInstance* s, CInstance*, int32_t, RValue* a) { \
        SetByName(store, s, a, 2); \
    }

BY_NAME_ROWS(Global, Store::Global)
BY_NAME_ROWS(Local, Store::Local)
#undef BY_NAME_ROWS

// --- Game speed -----------------------------------------------------------------------------

void F_GameSetSpeed(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const double speed = Arg_GetReal(args, 0);
    const int32_t type = Arg_GetInt32(args, 1);
    // Not a number is no speed either: refused like a negative one.
    if (!(speed >= 0.0)) {
        Runtime_ShowError("game_set_speed() - game time can't run backwards", false);
        return;
    }
    if (speed == 0.0) {
        g_GameClock.SetFrameRate(0.0);
    } else if (type == 0) {
        g_GameClock.SetFrameRate(speed);
    } else if (type == 1) {
        g_GameClock.SetFrameRate(kMicrosecondsPerSecond / speed);
    }
}

void F_GameGetSpeed(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t type = Arg_GetInt32(args, 0);
    if (!(g_GameClock.targetRate > 0.0)) {
        Result_SetReal(result, 0.0);
        return;
    }
    const double fps = g_GameClock.GetFps();
    Result_SetReal(result, type == 0 ? fps : kMicrosecondsPerSecond / fps);
}

// --- Registration ---------------------------------------------------------------------------

const BuiltinRow kRowsBeforeDates[] = {
    {"show_debug_message", F_ShowDebugMessage, 1, 0},
    {"show_debug_overlay", F_ShowDebugOverlay, 1, 0},
    {"debug_event", F_DebugEvent, 1, 0},
    {"set_program_priority", F_SetProgramPriority, 1, 0},
    {"alarm_set", F_AlarmSet, 2, 0},
    {"alarm_get", F_AlarmGet, 1, 0},
    {"variable_global_exists", F_VariableGlobalExists, 1, 0},
    {"variable_global_get", F_VariableGlobalGet, 1, 0},
    {"variable_global_array_get", F_VariableGlobalArrayGet, 2, 0},
    {"variable_global_array2_get", F_VariableGlobalArray2Get, 3, 0},
    {"variable_global_set", F_VariableGlobalSet, 2, 0},
    {"variable_global_array_set", F_VariableGlobalArraySet, 3, 0},
    {"variable_global_array2_set", F_VariableGlobalArray2Set, 4, 0},
    {"variable_local_exists", F_VariableLocalExists, 1, 0},
    {"variable_local_get", F_VariableLocalGet, 1, 0},
    {"variable_local_array_get", F_VariableLocalArrayGet, 2, 0},
    {"variable_local_array2_get", F_VariableLocalArray2Get, 3, 0},
    {"variable_local_set", F_VariableLocalSet, 2, 0},
    {"variable_local_array_set", F_VariableLocalArraySet, 3, 0},
    {"variable_local_array2_set", F_VariableLocalArray2Set, 4, 0},
    {"clipboard_has_text", F_ClipboardHasText, 0, 0},
    {"clipboard_set_text", F_ClipboardSetText, 1, 0},
    {"clipboard_get_text", F_ClipboardGetText, 0, 0},
};

const BuiltinRow kRowsAfterDates[] = {
    {"game_set_speed", F_GameSetSpeed, 2, 1},
    {"game_get_speed", F_GameGetSpeed, 2, 1},
};

}  // namespace

void InitMiscFunctions() {
    // The external (DLL) rows join the event rows once shared-object calls are in.
    Code_Function_AddRows(kRowsBeforeDates);
    InitDateFunctions();
    Code_Function_AddRows(kRowsAfterDates);
}
