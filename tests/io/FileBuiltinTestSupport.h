// Calls the file built-ins by name, as game code would through the built-in table, inside a
// private temporary tree with a save area and a bundle folder of its own.
#pragma once

#include <deque>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "BufferTestSupport.h"
#include "IoTestSupport.h"
#include "core/Code_Function.h"
#include "io/Function_File.h"
#include "io/LoadSave.h"

namespace filetest {

// A built-in argument: a number or a text.
struct Arg {
    RValue v;
    Arg(double d) : v(RValue_Real(d)) {}
    Arg(int i) : v(RValue_Real(i)) {}
    Arg(const char* text) : v(RValue_Undefined()) { RValue_CreateString(&v, text); }
    Arg(const std::string& text) : Arg(text.c_str()) {}
    explicit Arg(const RValue& value) : v(RValue_Undefined()) { RValue_Assign(&v, &value); }
    Arg(const Arg& other) : v(RValue_Undefined()) { RValue_Assign(&v, &other.v); }
    Arg& operator=(const Arg&) = delete;
    ~Arg() { RValue_Release(&v); }
};

// "real:1", "bool:true", "string:abc", "undefined", "kind:N".
inline std::string Show(const RValue& v) {
    switch (RValue_Kind(v)) {
        case VALUE_REAL: {
            std::ostringstream s;
            s.precision(17);
            s << "real:" << v.val;
            return s.str();
        }
        case VALUE_BOOL:
            return v.val != 0 ? "bool:true" : "bool:false";
        case VALUE_STRING:
            return "string:" + buftest::Text(v);
        case VALUE_UNDEFINED:
            return "undefined";
        default:
            return "kind:" + std::to_string(v.kind);
    }
}

// Save area <root>/home/.local/share/FileGame/, bundle <root>/game/, current folder <root>/cwd.
class FileBuiltinTest : public iotest::TempTreeTest {
protected:
    void SetUp() override {
        TempTreeTest::SetUp();
        Code_Function_Free();
        InitFileFunctions();
        save = LoadSave_MakeSaveArea("FileGame", false);
        bundle = root + "/game/";
        LoadSave_SetSaveArea(save.c_str());
        LoadSave_SetBundleFolder(bundle.c_str());
        LoadSave_SetWorkingFolder(nullptr);
    }
    void TearDown() override {
        File_FreeTables();
        for (RValue& r : m_results) RValue_Release(&r);
        Code_Function_Free();
        TempTreeTest::TearDown();
    }

    // Calls the built-in through its row of the table; the result lives until the test ends.
    const RValue& Call(const char* name, std::initializer_list<Arg> args = {}) {
        int32_t id = -1;
        EXPECT_TRUE(Code_Function_Find(name, &id)) << name;
        const BuiltinFunction* row = Code_Function_Row(id);
        std::vector<RValue> values;
        for (const Arg& a : args) {
            values.push_back(RValue_Undefined());
            RValue_Assign(&values.back(), &a.v);
        }
        m_results.push_back(RValue_Undefined());
        if (row == nullptr) return m_results.back();
        Builtin_Current = row;
        row->function(m_results.back(), nullptr, nullptr, int32_t(values.size()), values.data());
        Builtin_Current = nullptr;
        for (RValue& v : values) RValue_Release(&v);
        return m_results.back();
    }
    std::string ShowCall(const char* name, std::initializer_list<Arg> args = {}) {
        return Show(Call(name, args));
    }
    double Real(const char* name, std::initializer_list<Arg> args = {}) { return Call(name, args).val; }

    std::string SaveFile(const std::string& name) { return iotest::ReadFile(save + name); }
    bool SaveHas(const std::string& name) { return std::filesystem::exists(save + name); }
    void PutSave(const std::string& name, const std::string& bytes) { iotest::WriteFile(save + name, bytes); }
    void PutBundle(const std::string& name, const std::string& bytes) {
        iotest::WriteFile(bundle + name, bytes);
    }

    buftest::ErrorRecorder errors;
    std::string save, bundle;
    std::deque<RValue> m_results;
};

}  // namespace filetest
