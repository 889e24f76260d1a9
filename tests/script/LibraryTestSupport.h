// Shared helpers of the String, Math, Boolean, Number, Date, JSON and global-function tests:
// calls by dotted path ("String.prototype.slice") with this and arguments, values shown as
// short texts, and a node peer that reads one case a line and prints one answer a line.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "ScriptTestSupport.h"
#include "script/JS_Call.h"
#include "core/Variable.h"
#include "script/JS_Convert.h"
#include "script/JS_Exception.h"
#include "script/JS_Number.h"
#include "script/JS_Property.h"
#include "script/JS_StandardObjects.h"

namespace script_test {

inline RValue Num(double d) {
    return RValue_Real(d);
}
inline RValue Undef() {
    return RValue_Undefined();
}

// A value as short text: "s:" and the text, "n:" and the number's script text, "b:true",
// "o:" and the object's class, "u" undefined, "null", "unset".
inline std::string Show(const RValue& v) {
    char buffer[JS_NUMBER_TEXT_SIZE];
    switch (RValue_Kind(v)) {
        case VALUE_STRING: {
            const char* t = RValue_GetStringText(&v);
            return std::string("s:") + (t ? t : "");
        }
        case VALUE_REAL:
            return std::string("n:") + JS_NumberToText(v.val, buffer);
        case VALUE_BOOL:
            return v.val != 0 ? "b:true" : "b:false";
        case VALUE_OBJECT: {
            const char* c = v.obj ? JS_ClassOf(v.obj) : nullptr;
            return std::string("o:") + (c ? c : "");
        }
        case VALUE_UNDEFINED:
            return "u";
        case VALUE_NULL:
            return "null";
        case VALUE_UNSET:
            return "unset";
        default:
            return "kind" + std::to_string(RValue_Kind(v));
    }
}

// The standard objects built on a fresh global object, with calls and reads by dotted path.
class LibraryTest : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        JS_ResetExceptions();
        g_GlobalObject = nullptr;
        JS_InitStandardObjects();
    }
    void TearDown() override {
        JS_ResetExceptions();
        g_GlobalObject = nullptr;
        ScriptTest::TearDown();
    }

    static RValue Str(const char* text) { return String(text); }

    // The value at a dotted path from the global object ([[Get]], getters run).
    static RValue At(const std::string& path) {
        RValue current = Object(g_JSStandard.global);
        size_t start = 0;
        for (;;) {
            const size_t dot = path.find('.', start);
            const std::string name =
                path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
            if (!RValue_IsObject(current)) return RValue_Undefined();
            RValue next = RValue_Undefined();
            JS_Get(current.obj, &next, name.c_str());
            current = next;
            if (dot == std::string::npos) return current;
            start = dot + 1;
        }
    }
    static PWObjectBase* AtObject(const std::string& path) {
        RValue v = At(path);
        return RValue_IsObject(v) ? v.obj : nullptr;
    }

    // Calls the function at the path with this (a primitive is wrapped first, as the
    // interpreter does) and the arguments.
    static RValue Call(const std::string& path, const RValue& thisValue, std::vector<RValue> args = {}) {
        PWObjectBase* function = AtObject(path);
        EXPECT_NE(function, nullptr) << path;
        RValue self = RValue_Undefined();
        if (RValue_IsObject(thisValue) || JS_IsPrimitive(&thisValue)) F_JS_ToObject(&self, &thisValue);
        RValue result = RValue_Undefined();
        if (function != nullptr)
            JS_Call(RValue_IsObject(self) ? self.obj : nullptr, &result, function,
                    static_cast<int32_t>(args.size()), args.data());
        return result;
    }
    // new F (args...) through the global constructor's "[[Construct]]".
    static RValue Construct(const char* name, std::vector<RValue> args) {
        PWObjectBase* constructor = AtObject(name);
        const RValue* construct = constructor ? JS_FindOwnValue(constructor, JS_CONSTRUCT) : nullptr;
        RValue result = RValue_Undefined();
        EXPECT_TRUE(construct != nullptr && RValue_IsPtr(construct)) << name;
        if (construct != nullptr && RValue_IsPtr(construct))
            reinterpret_cast<BuiltinProc>(construct->ptr)(result, reinterpret_cast<CInstance*>(constructor),
                                                          nullptr, static_cast<int32_t>(args.size()),
                                                          args.data());
        return result;
    }

    // "Kind: message" of the thrown error, "" when nothing was thrown; forgets it.
    static std::string ThrownText() {
        if (!JS_ExceptionPending()) return "";
        const RValue* value = JS_PendingValue();
        std::string text = "?";
        if (RValue_IsObject(value)) {
            RValue name = RValue_Undefined(), message = RValue_Undefined();
            JS_Get(value->obj, &name, "name");
            JS_Get(value->obj, &message, "message");
            const char* n = RValue_GetStringText(&name);
            const char* m = RValue_GetStringText(&message);
            text = std::string(n ? n : "?") + ": " + (m ? m : "?");
        }
        JS_ResetExceptions();
        Errors().clear();
        return text;
    }
};

// Runs node on the script with a file of input lines as argv[2]; answers its output lines,
// or nothing when node is missing.
inline std::vector<std::string> NodeLines(const std::string& script, const std::vector<std::string>& input,
                                          const std::string& name) {
    std::vector<std::string> lines;
    if (std::system("node --version > /dev/null 2>&1") != 0) return lines;
    const char* tmp = std::getenv("HV_TEST_TMP");
    const std::string dir = tmp ? tmp : "/tmp";
    std::system(("mkdir -p " + dir).c_str());
    const std::string scriptFile = dir + "/" + name + ".js";
    const std::string inputFile = dir + "/" + name + ".txt";
    std::ofstream(scriptFile) << script;
    {
        std::ofstream out(inputFile);
        for (const std::string& line : input) out << line << '\n';
    }
    FILE* pipe = popen(("node " + scriptFile + " " + inputFile).c_str(), "r");
    if (pipe == nullptr) return lines;
    std::string current;
    for (int c; (c = std::fgetc(pipe)) != EOF;) {
        if (c == '\n') {
            lines.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(c));
        }
    }
    pclose(pipe);
    return lines;
}

inline bool NodeAvailable() {
    return std::system("node --version > /dev/null 2>&1") == 0;
}

}  // namespace script_test
