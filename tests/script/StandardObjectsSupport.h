// A fixture with the standard objects built, and small helpers to make objects, call methods
// and read what was thrown.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "ScriptTestSupport.h"
#include "core/Code_Constant.h"
#include "core/Code_Function.h"
#include "script/JS_Array.h"
#include "script/JS_Convert.h"
#include "script/JS_Element.h"
#include "script/JS_Exception.h"
#include "script/JS_Number.h"
#include "script/JS_Property.h"
#include "script/JS_StandardObjects.h"
#include "script/JS_VMHelpers.h"

namespace script_test {

inline bool RoomSeven(CInstance*, int32_t, RValue* out) {
    *out = RValue_Real(7);
    return true;
}

inline void AnswerFortyTwo(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(42);
}

// "object|a,b": whether this was the global object, then the arguments' texts.
inline void EchoThisAndArguments(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    std::string text = reinterpret_cast<PWObjectBase*>(self) == g_JSStandard.global ? "global|" : "object|";
    for (int32_t i = 0; i < argc; ++i) {
        RValue part = RValue_Undefined();
        JS_ToString(&part, &args[i]);
        if (i > 0) text += ",";
        const char* chars = RValue_GetStringText(&part);
        text += chars != nullptr ? chars : "";
        RValue_Release(&part);
    }
    RValue_SetString(&result, text.c_str());
}

class StandardTest : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        // Other suites may have emptied the tables since the last test.
        int32_t id = -1;
        if (!Code_Function_Find("test_row_any", &id)) Code_Function_Add("test_row_any", AnswerFortyTwo, -1);
        if (Variable_BuiltIn_Find("room") < 0) Variable_BuiltIn_Add("room", RoomSeven, nullptr);
        if (Code_Constant_Find("test_constant") == nullptr) {
            Code_Constant_AddReal("test_constant", 7);
            Code_Constant_AddReal("global", 1);
        }
        JS_ResetExceptions();
        JS_InitStandardObjects();
    }
    void TearDown() override {
        JS_ResetExceptions();
        for (RValue& value : Held()) RValue_Release(&value);
        Held().clear();
        ScriptTest::TearDown();
    }

    // Values whose references the test owns, released when it ends.
    static std::vector<RValue>& Held() {
        static std::vector<RValue> values;
        return values;
    }
    static RValue Hold(RValue value) {
        Held().push_back(value);
        return value;
    }

    static RValue Obj(PWObjectBase* o) { return Object(o); }
    static RValue Str(const char* text) { return Hold(String(text)); }
    static RValue Null() { return RValue{{0}, 0, VALUE_NULL}; }

    static RValue Property(PWObjectBase* o, const char* name) {
        RValue v;
        JS_Get(o, &v, name);
        return v;
    }
    static RValue Own(PWObjectBase* o, const char* name) {
        const RValue* v = JS_FindOwnValue(o, name);
        return v != nullptr ? *v : RValue{{0}, 0, VALUE_UNSET};
    }
    static RValue Call(PWObjectBase* self, PWObjectBase* function, std::vector<RValue> args) {
        RValue result = RValue_Undefined();
        JS_Call(self, &result, function, static_cast<int32_t>(args.size()), args.data());
        return Hold(result);
    }
    static RValue Method(const RValue& target, const char* name, std::vector<RValue> args) {
        RValue method = Property(target.obj, name);
        if (!RValue_IsObject(method)) return RValue{{0}, 0, VALUE_UNSET};
        return Call(target.obj, method.obj, std::move(args));
    }
    static RValue CallGlobal(const char* name, std::vector<RValue> args) {
        return Call(g_JSStandard.global, Property(g_JSStandard.global, name).obj, std::move(args));
    }
    static RValue Construct(const char* name, std::vector<RValue> args) {
        PWObjectBase* constructor = Property(g_JSStandard.global, name).obj;
        auto construct = reinterpret_cast<BuiltinProc>(Own(constructor, JS_CONSTRUCT).ptr);
        RValue result = RValue_Undefined();
        construct(result, reinterpret_cast<CInstance*>(constructor), nullptr,
                  static_cast<int32_t>(args.size()), args.data());
        return result;
    }
    static PWObjectBase* NativeFunction(BuiltinProc proc) { return JS_CreateNativeFunction(proc, 0, false); }

    // An ordinary object with the properties written in order ([[Put]]).
    static RValue MakeObject(std::initializer_list<std::pair<const char*, RValue>> properties) {
        RValue made = RValue_Undefined();
        JS_NewObject(made, nullptr, nullptr, 0, nullptr);
        for (const auto& [name, value] : properties) {
            RValue copy = value;
            JS_Put(made.obj, &copy, name, false);
        }
        return made;
    }
    // An array literal.
    static RValue MakeArray(std::vector<RValue> elements) {
        RValue made = RValue_Undefined();
        F_JS_NewArray(made, nullptr, nullptr, static_cast<int32_t>(elements.size()), elements.data());
        return made;
    }
    static std::string Text(const RValue& value) {
        RValue text = RValue_Undefined();
        if (JS_ToString(&text, &value) != JS_DONE) return "<no text>";
        const char* chars = RValue_GetStringText(&text);
        std::string answer = chars != nullptr ? chars : "";
        RValue_Release(&text);
        return answer;
    }
    // The value thrown since the last reset (undefined when none), and the state cleared.
    static RValue TakeThrown() {
        RValue thrown = RValue_Undefined();
        if (JS_ExceptionPending()) RValue_Assign(&thrown, JS_PendingValue());
        JS_ResetExceptions();
        Errors().clear();
        return Hold(thrown);
    }
    // "Kind: message" of what was thrown, "" when nothing was.
    static std::string ThrownText() {
        if (!JS_ExceptionPending()) return "";
        RValue thrown = TakeThrown();
        if (!RValue_IsObject(thrown)) return Text(thrown);
        return Text(Property(thrown.obj, "name")) + ": " + Text(Property(thrown.obj, "message"));
    }
};

}  // namespace script_test
