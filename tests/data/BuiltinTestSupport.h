// Calls built-ins of the math module by name, as game code would through the built-in table,
// and records the errors they raise instead of ending the process.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "data/Function_Math.h"

// A value that releases itself.
struct Owned {
    RValue v = RValue_Undefined();
    Owned() = default;
    ~Owned() { RValue_Release(&v); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    uint32_t Kind() const { return v.kind; }
    double Real() const {
        EXPECT_EQ(v.kind, VALUE_REAL);
        return v.kind == VALUE_REAL ? v.val : -12345.0;
    }
    std::string Text() const {
        EXPECT_EQ(v.kind, VALUE_STRING);
        const char* text = RValue_GetStringText(&v);
        return text ? text : "";
    }
};

inline RValue R(double d) {
    return RValue_Real(d);
}
inline RValue I32(int32_t i) {
    return RValue_Int32(i);
}
inline RValue I64(int64_t i) {
    return RValue_Int64(i);
}
inline RValue S(const char* text) {
    RValue v = RValue_Undefined();
    RValue_CreateString(&v, text);
    return v;
}
// Another reference to a value held elsewhere (a string or array is shared, not copied).
inline RValue Ref(const RValue& value) {
    RValue v = RValue_Undefined();
    RValue_Assign(&v, &value);
    return v;
}

class BuiltinTest : public ::testing::Test {
public:
    void SetUp() override {
        static const bool registered = (InitMathFunctions(), true);
        (void)registered;
        Fatal().clear();
        Reported().clear();
        m_previousFatal = Runtime_SetErrorReporter([](const char* m) { Fatal().push_back(m); });
        m_previousReport = Runtime_SetNonFatalReporter([](const char* m) { Reported().push_back(m); });
    }
    void TearDown() override {
        Runtime_SetErrorReporter(m_previousFatal);
        Runtime_SetNonFatalReporter(m_previousReport);
    }

    // Calls the row with these arguments (released afterwards) and returns its result.
    static std::unique_ptr<Owned> Run(const char* name, std::vector<RValue> args = {}) {
        auto result = std::make_unique<Owned>();
        int32_t id = -1;
        const BuiltinFunction* row = Code_Function_Find(name, &id) ? Code_Function_Row(id) : nullptr;
        EXPECT_NE(row, nullptr) << name;
        if (row != nullptr) {
            Builtin_Current = row;
            row->function(result->v, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
            Builtin_Current = nullptr;
        }
        for (RValue& a : args) RValue_Release(&a);
        return result;
    }
    static double Real(const char* name, std::vector<RValue> args = {}) {
        return Run(name, std::move(args))->Real();
    }
    static std::string Text(const char* name, std::vector<RValue> args = {}) {
        return Run(name, std::move(args))->Text();
    }

    // Messages of fatal run-time errors and of the non-fatal reports since the test began.
    static std::vector<std::string>& Fatal() {
        static std::vector<std::string> messages;
        return messages;
    }
    static std::vector<std::string>& Reported() {
        static std::vector<std::string> messages;
        return messages;
    }

private:
    RuntimeErrorReporter m_previousFatal = nullptr;
    RuntimeErrorReporter m_previousReport = nullptr;
};
