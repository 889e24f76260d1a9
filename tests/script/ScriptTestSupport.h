// Shared set-up of the script object runtime tests: object mode on, a small instance-variable
// table (slot 0 "prototype", slot 1 the element store, slot 2 "px"), run-time errors recorded.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Code_Variable.h"
#include "core/RuntimeError.h"
#include "core/Variable.h"
#include "script/JS_Call.h"
#include "script/JS_Object.h"

namespace script_test {

inline std::vector<std::string>& Errors() {
    static std::vector<std::string> errors;
    return errors;
}

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_VariableSettings.objectMode = true;
        Code_Variable_InitTables(0, 3);
        Code_Variable_SetName("prototype", SCOPE_SELF, 0);
        Code_Variable_SetName("__elements", SCOPE_SELF, 1);
        Code_Variable_SetName("px", SCOPE_SELF, 2);
        Errors().clear();
        m_fatal = Runtime_SetErrorReporter([](const char* m) { Errors().push_back(m); });
        m_nonFatal = Runtime_SetNonFatalReporter([](const char* m) { Errors().push_back(m); });
    }
    void TearDown() override {
        Runtime_SetErrorReporter(m_fatal);
        Runtime_SetNonFatalReporter(m_nonFatal);
        g_JSStandard = JSStandardObjects{};
        g_VariableSettings.objectMode = false;
    }

    static PWObjectBase* NewObject() {
        RValue v = RValue_Undefined();
        JS_NewObject(v, nullptr, nullptr, 0, nullptr);
        return v.obj;
    }
    static PWObjectBase* NewFunction(BuiltinProc proc) {
        PWObjectBase* f = NewObject();
        f->AddString(JS_CLASS, "Function", 0);
        f->AddPointer(JS_CALL_CPP, reinterpret_cast<void*>(proc), 0);
        return f;
    }
    static RValue Object(PWObjectBase* o, uint32_t flags = 0) {
        RValue v = RValue_Undefined();
        v.obj = o;
        v.kind = VALUE_OBJECT;
        v.flags = flags;
        return v;
    }
    static RValue Data(double d, uint32_t flags) {
        RValue v = RValue_Real(d);
        v.flags = flags;
        return v;
    }
    static RValue String(const char* text) {
        RValue v = RValue_Undefined();
        RValue_SetString(&v, text);
        return v;
    }
    // An accessor record over native functions (null: that half unset).
    static RValue Accessor(PWObjectBase* getter, PWObjectBase* setter, uint32_t flags) {
        PWObjectBase* record = JS_NewAccessorRecord();
        if (getter) {
            RValue* s = record->GetSlot(0);
            s->obj = getter;
            s->kind = VALUE_ACCESSOR;
        }
        if (setter) {
            RValue* s = record->GetSlot(1);
            s->obj = setter;
            s->kind = VALUE_ACCESSOR;
        }
        return Object(record, flags);
    }

private:
    RuntimeErrorReporter m_fatal = nullptr;
    RuntimeErrorReporter m_nonFatal = nullptr;
};

}  // namespace script_test
