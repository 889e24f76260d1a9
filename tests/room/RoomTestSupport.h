// Shared helpers of the room tests: built-ins called by name as game code calls them, and the
// messages they show captured.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "room/Camera_Main.h"
#include "room/Function_Camera.h"

namespace roomtest {

inline std::vector<std::string>& Shown() {
    static std::vector<std::string> shown;
    return shown;
}

inline RValue Call(const char* name, std::vector<RValue> args) {
    static const bool registered = (InitCameraFunctions(), true);
    (void)registered;
    RValue result = RValue_Undefined();
    int32_t id = -1;
    const BuiltinFunction* row = Code_Function_Find(name, &id) ? Code_Function_Row(id) : nullptr;
    EXPECT_NE(row, nullptr) << name;
    if (row) {
        Builtin_Current = row;
        row->function(result, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
        Builtin_Current = nullptr;
    }
    for (RValue& a : args) RValue_Release(&a);
    return result;
}

inline double CallReal(const char* name, std::vector<RValue> args) {
    RValue result = Call(name, std::move(args));
    EXPECT_EQ(result.kind, VALUE_REAL) << name;
    const double value = result.kind == VALUE_REAL ? result.val : -12345;
    RValue_Release(&result);
    return value;
}

inline std::vector<RValue> Reals(std::initializer_list<double> values) {
    std::vector<RValue> args;
    for (double v : values) args.push_back(RValue_Real(v));
    return args;
}

// A clean camera manager with the default camera, and shown messages captured.
class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        Camera_ResetAll();
        Shown().clear();
        Runtime_SetReportHooks([](const char* text, bool) { Shown().push_back(text); },
                               [](const char* text, bool) { Shown().push_back(text); });
    }
    void TearDown() override {
        Runtime_SetReportHooks(nullptr, nullptr);
        g_CameraManager.Reset();
        g_CameraWorld = m_world;
    }

private:
    CameraWorld m_world = g_CameraWorld;
};

}  // namespace roomtest
