// A small game for the interpreter tests: code entries assembled from text, scripts, named
// variables, a few built-ins that record what they get, and the reports the run raises.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "asm/Assembler.h"
#include "core/Code_Function.h"
#include "core/Code_Main.h"
#include "core/Code_Variable.h"
#include "core/Instance.h"
#include "core/ObjectBase.h"
#include "core/ObjectTestSupport.h"
#include "core/RuntimeError.h"
#include "core/Script_Main.h"
#include "core/VM.h"
#include "core/Value_Convert.h"
#include "core/Variable.h"

class VMTest : public testing::Test {
protected:
    static VMTest*& Current() {
        static VMTest* current = nullptr;
        return current;
    }

    void SetUp() override {
        Current() = this;
        Code_Function_Free();
        Code_Function_Add("test_print", TestPrint, -1);
        Code_Function_Add("test_sum", TestSum, -1);
        Code_Function_Add(
            "test_nothing", [](RValue&, CInstance*, CInstance*, int32_t, RValue*) {}, 0);
        Code_Function_Add(
            "test_argc",
            [](RValue& r, CInstance*, CInstance*, int32_t argc, RValue*) { r = RValue_Real(argc); }, -1);
        Code_Variable_InitTables(8, 8);
        const char* globals[] = {"score", "arr", "total", "unset_global"};
        for (int32_t i = 0; i < 4; ++i) m_variables[globals[i]] = Code_Variable_SetName(globals[i], -5, i);
        const char* instance[] = {"hp", "visits", "count"};
        for (int32_t i = 0; i < 3; ++i)
            m_variables[instance[i]] = Code_Variable_SetName(instance[i], -1, 4 + i);
        const char* locals[] = {"i", "n"};
        for (int32_t i = 0; i < 2; ++i) m_variables[locals[i]] = VARIABLE_ID_BASE + i;
        g_GlobalObject = PWObjectBase_Alloc(16, VALUE_UNSET, true);

        CodeSource source;
        source.gameHasCode = [] { return true; };
        source.bytecodeEntry = [](int32_t index, CodeEntryInfo* out) {
            auto& code = Current()->m_code;
            if (index < 0 || index >= static_cast<int32_t>(code.size())) return false;
            auto& words = code[static_cast<size_t>(index)];
            *out = CodeEntryInfo{"code",
                                 reinterpret_cast<uint8_t*>(words.data()),
                                 static_cast<uint32_t>(4 * words.size()),
                                 0,
                                 Current()->m_locals,
                                 0};
            return true;
        };
        Code_SetSource(&source);
        VMHooks hooks;
        hooks.fatal = [] { ++Current()->fatals; };
        hooks.processMessages = [] { ++Current()->pumps; };
        hooks.stringText = [](int32_t index) {
            auto& strings = Current()->m_strings;
            return index >= 0 && index < static_cast<int32_t>(strings.size())
                       ? strings[static_cast<size_t>(index)].c_str()
                       : nullptr;
        };
        hooks.messageBox = [](const char* caption, const char* text) {
            Current()->reports.push_back(std::string(caption) + " " + text);
        };
        VM_Install(&hooks);
        Runtime_SetReportHooks([](const char* text, bool) { Current()->reports.push_back(text); },
                               [](const char* text, bool) { Current()->reports.push_back(text); });
        Runtime_SetErrorReporter([](const char* text) { Current()->reports.push_back(text); });
        Script_Init(8);
        self = new CInstance(0, 0, 100001, 0, false);
        Instance_IdHash().Insert(100001, self);
    }

    void TearDown() override {
        Instance_FreeAll();
        Script_Free();
        Code_Shutdown();
        Code_SetSource(nullptr);
        VM_Install(nullptr);
        Runtime_SetReportHooks(nullptr, nullptr);
        Runtime_SetErrorReporter(nullptr);
        PWObjectBase_Free(g_GlobalObject);
        g_GlobalObject = nullptr;
        Code_Function_Free();
        for (RValue& v : printedValues) RValue_Free(&v);
        Current() = nullptr;
    }

    static void TestPrint(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
        std::string line;
        for (int32_t i = 0; i < argc; ++i) {
            const char* text = RValue_GetStringText(&args[i]);
            line += (i ? " " : "") + (text ? std::string(text) : std::to_string(RValue_ToReal(&args[i])));
        }
        Current()->printed.push_back(line);
        result = RValue_Real(argc);
    }
    static void TestSum(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
        double sum = 0;
        for (int32_t i = 0; i < argc; ++i) sum += Arg_GetReal(args, i);
        result = RValue_Real(sum);
    }

    hvasm::Names Names() {
        hvasm::Names names;
        names.function = [](const std::string& name) {
            int32_t id = -1;
            Code_Function_Find(name.c_str(), &id);
            return id;
        };
        names.variable = [this](const std::string& name, int32_t) {
            auto it = m_variables.find(name);
            return it == m_variables.end() ? -1 : it->second;
        };
        names.string = [this](const std::string& text) {
            for (size_t i = 0; i < m_strings.size(); ++i)
                if (m_strings[i] == text) return static_cast<int32_t>(i);
            m_strings.push_back(text);
            return static_cast<int32_t>(m_strings.size() - 1);
        };
        return names;
    }

    std::vector<uint32_t> Assemble(const std::string& text) {
        hvasm::Assembly assembly;
        std::string error;
        EXPECT_TRUE(hvasm::Assemble(text, Names(), &assembly, &error)) << error;
        return assembly.words;
    }

    // A code object over the assembled text (owned by the code table).
    CCode* Code(const std::string& text) {
        m_code.push_back(Assemble(text));
        const int32_t index = static_cast<int32_t>(m_code.size() - 1);
        return Code_Get(Code_AddCode(index, 0));
    }

    // Script n, whose code is the text; called as 100000 + n.
    void Script(int32_t n, const char* name, const std::string& text) {
        m_code.push_back(Assemble(text));
        Script_Set(n, name, static_cast<int32_t>(m_code.size() - 1), nullptr);
        ASSERT_TRUE(Script_Get(n)->Compile());
    }

    // Runs the text with self as self and other; the value left on top is the result.
    RValue Run(const std::string& text, bool* ok = nullptr) {
        RValue result = RValue_Undefined();
        const bool done = VM::Exec(Code(text), self, self, &result);
        if (ok) *ok = done;
        return result;
    }

    double Global(const char* name) {
        RValue value = RValue_Undefined();
        Variable_GetGlobal(m_variables[name], ARRAY_INDEX_WHOLE, &value);
        const double d = value.kind == VALUE_UNSET ? -999 : RValue_ToReal(&value);
        RValue_Free(&value);
        return d;
    }

    int32_t Id(const char* name) { return m_variables[name]; }

    CInstance* self = nullptr;
    std::vector<std::string> reports;
    std::vector<std::string> printed;
    std::vector<RValue> printedValues;
    int fatals = 0;
    int pumps = 0;
    int32_t m_locals = 4;

private:
    std::deque<std::vector<uint32_t>> m_code;
    std::vector<std::string> m_strings;
    std::map<std::string, int32_t> m_variables;
};
