// Calls the ds built-ins by name through the built-in table, records the errors they raise
// and the console lines they print.
#pragma once

#include <string>
#include <vector>

#include "BuiltinTestSupport.h"
#include "core/Console.h"
#include "data/Function_Data_Structures.h"

class DsTest : public BuiltinTest {
public:
    void SetUp() override {
        BuiltinTest::SetUp();
        static const bool registered = (InitDataStructureFunctions(), true);
        (void)registered;
        Lines().clear();
        Console_SetDebuggerSink([](const char* text) { Lines().push_back(text); });
    }
    void TearDown() override {
        Console_SetDebuggerSink(nullptr);
        BuiltinTest::TearDown();
    }

    static std::vector<std::string>& Lines() {
        static std::vector<std::string> lines;
        return lines;
    }

    // A new container of the kind, by its create built-in.
    static int32_t Create(const char* name, std::vector<RValue> args = {}) {
        return static_cast<int32_t>(Real(name, std::move(args)));
    }
    static double Exists(int32_t index, int32_t kind) { return Real("ds_exists", {R(index), R(kind)}); }
};

// A string value to pass where a built-in copies what it is given.
inline std::string TextOf(const RValue& value) {
    const char* text = RValue_GetStringText(&value);
    return text ? text : "";
}
