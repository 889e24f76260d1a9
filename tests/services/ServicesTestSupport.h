// Calling the interaction built-ins by name, with the scripted dialog form in place of the
// desktop's dialogs and a recorder of the asynchronous events the request list performs.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "core/Code_Function.h"
#include "core/Value.h"
#include "data/Function_Data_Structures.h"
#include "data/Support_Data_Structures.h"
#include "io/HTTP_Main.h"
#include "platform/DialogLayer.h"
#include "services/Function_Interaction.h"

namespace servicestest {

// The built-in of that name (the interaction rows are registered on first use).
inline BuiltinProc Builtin(const char* name) {
    int32_t id = -1;
    if (!Code_Function_Find(name, &id)) Function_Interaction_Init();
    const char* found = nullptr;
    BuiltinProc function = nullptr;
    int32_t argc = 0;
    if (Code_Function_Find(name, &id)) Code_Function_GetInfo(id, &found, &function, &argc);
    return function;
}

// Calls the built-in with the arguments; the result starts as the real -99 (what the
// caller prepared) so rows that set none can be told apart.
inline RValue Call(const char* name, std::vector<RValue> args = {}) {
    BuiltinProc function = Builtin(name);
    RValue result = RValue_Real(-99);
    EXPECT_NE(function, nullptr) << name;
    if (function != nullptr)
        function(result, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
    for (RValue& arg : args) RValue_Free(&arg);
    return result;
}

inline RValue Text(const char* text) {
    RValue value = RValue_Undefined();
    RValue_CreateString(&value, text);
    return value;
}

// The text of a string result (released); "<none>" for a string without text, "<real>" for
// anything else.
inline std::string TakeText(RValue value) {
    std::string out = "<real>";
    if (value.kind == VALUE_STRING) {
        const char* text = RValue_GetStringText(&value);
        out = text ? text : "<none>";
    }
    RValue_Free(&value);
    return out;
}

// The entries of a map as texts (numbers in %g form).
inline std::map<std::string, std::string> Snapshot(int32_t index) {
    std::map<std::string, std::string> out;
    const CDS_Map* map = DS_GetMap(index);
    if (map == nullptr) return out;
    for (DSMapNode* node = map->FirstNode(); node != nullptr; node = map->NextNode(node)) {
        auto text = [](const RValue& v) -> std::string {
            if (v.kind == VALUE_STRING) return RValue_GetStringText(&v) ? RValue_GetStringText(&v) : "";
            char number[64];
            std::snprintf(number, sizeof number, "%g", v.val);
            return number;
        };
        out.emplace(text(node->entry.key), text(node->entry.value));
    }
    return out;
}

struct Event {
    int32_t subtype;
    std::map<std::string, std::string> values;
};

inline std::vector<Event>& Events() {
    static std::vector<Event> events;
    return events;
}

inline void RecordEvent(int32_t subtype) {
    Events().push_back({subtype, Snapshot(Async_GetLoadMap())});
}

// Scripted dialogs and the event recorder in place for each test.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Events().clear();
        PlatformDialog_SetBackend(&dialogs);
        Async_SetEventPerformer(RecordEvent);
    }
    void TearDown() override {
        Async_FreeAll();
        Async_SetEventPerformer(nullptr);
        PlatformDialog_SetBackend(nullptr);
    }

    // The frame's asynchronous stage.
    static void Frame() { Async_ProcessRequests(); }

    ScriptedDialogs dialogs;
};

// The real a built-in answered (the value is freed); -12345 for any other kind.
inline double Real(RValue value) {
    const double d = RValue_IsReal(value) ? value.val : -12345;
    RValue_Free(&value);
    return d;
}

// Where a test makes its folders: HV_TEST_TMP, else the system's temporary folder.
inline std::filesystem::path TempParent() {
    const char* base = std::getenv("HV_TEST_TMP");
    std::filesystem::path parent = base && *base ? base : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(parent);
    return parent;
}

}  // namespace servicestest
