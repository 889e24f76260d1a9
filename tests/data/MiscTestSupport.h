// Calls the misc and date built-ins by name through the built-in table, with the output
// console going to a file of the test's own.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BuiltinTestSupport.h"
#include "core/RunSwitches.h"
#include "data/Function_Misc.h"
#include "graphics/Function_Window.h"
#include "world/Function_Event.h"

// The family's rows, added once for the whole test program.
inline void RegisterMiscFunctionsOnce() {
    static const bool registered = (InitEventFunctions(), InitWindowFunctions(), InitMiscFunctions(), true);
    (void)registered;
}

class MiscTest : public BuiltinTest {
public:
    void SetUp() override {
        BuiltinTest::SetUp();
        RegisterMiscFunctionsOnce();
        const char* root = std::getenv("HV_TEST_TMP");
        std::string pattern = std::string(root != nullptr ? root : "/tmp") + "/misc-XXXXXX";
        std::filesystem::create_directories(std::filesystem::path(pattern).parent_path());
        m_folder = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
        ASSERT_FALSE(m_folder.empty());
        m_savedOutput = g_Switches.outputFile;
        m_savedHeadless = g_Switches.headless;
        g_Switches.outputFile = m_folder + "/output.txt";
        g_Switches.headless = true;  // standard output stays quiet
    }
    void TearDown() override {
        g_Switches.outputFile = m_savedOutput;
        g_Switches.headless = m_savedHeadless;
        std::filesystem::remove_all(m_folder);
        BuiltinTest::TearDown();
    }

    // What the output console wrote since the test began.
    std::string Output() const {
        std::ifstream in(g_Switches.outputFile, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::string m_folder;
    std::string m_savedOutput;
    bool m_savedHeadless = false;
};

// Calls a row with a calling instance pair (the events, alarms and local variables act on
// self), releasing the arguments afterwards.
inline std::unique_ptr<Owned> RunOn(const char* name, CInstance* self, CInstance* other,
                                    std::vector<RValue> args = {}) {
    auto result = std::make_unique<Owned>();
    int32_t id = -1;
    const BuiltinFunction* row = Code_Function_Find(name, &id) ? Code_Function_Row(id) : nullptr;
    EXPECT_NE(row, nullptr) << name;
    if (row != nullptr) {
        const BuiltinFunction* outer = Builtin_Current;
        Builtin_Current = row;
        row->function(result->v, self, other, static_cast<int32_t>(args.size()), args.data());
        Builtin_Current = outer;
    }
    for (RValue& a : args) RValue_Release(&a);
    return result;
}
