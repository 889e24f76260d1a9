// Instances in object mode: every built-in variable that is not a global one becomes an
// accessor property of the instance, read and written through the row's getter and setter.
#include "ScriptTestSupport.h"
#include "core/Instance.h"
#include "core/ScriptObjectHooks.h"
#include "core/VariableList.h"
#include "script/JS_Property.h"
#include "script/JS_Runtime.h"

namespace {

using script_test::ScriptTest;

CInstance* g_readFrom = nullptr;
double g_stored = 0;
bool GetProbe(CInstance* self, int32_t, RValue* out) {
    g_readFrom = self;
    *out = RValue_Real(g_stored);
    return true;
}
bool SetProbe(CInstance*, int32_t, RValue* value) {
    g_stored = value->val;
    return true;
}

class InstanceAccessorTest : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        JS_InstallCoreHooks();
        Variable_BuiltIn_Add("probe_speed", GetProbe, SetProbe);
        Variable_BuiltIn_Add("score", GetProbe, SetProbe);
    }
    void TearDown() override {
        Variable_BuiltIn_Free();
        ScriptObjects_Install(nullptr);
        ScriptTest::TearDown();
    }
};

TEST_F(InstanceAccessorTest, InstanceReadsBuiltinsThroughAccessorsButNotGlobalOnes) {
    auto* instance = new CInstance(0, 0, 100001, -1, false);
    CVariableNode* node = instance->variables->FindName("probe_speed");
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(JS_IsAccessor(&node->value));
    EXPECT_EQ(node->value.flags, JS_ENUMERABLE);
    EXPECT_EQ(instance->variables->FindName("score"), nullptr);

    g_stored = 3;
    RValue r;
    JS_Get(instance, &r, "probe_speed");
    EXPECT_EQ(g_readFrom, instance);
    EXPECT_EQ(r.val, 3);
    RValue five = RValue_Real(5);
    JS_CallSetter(instance, &five, &node->value);
    EXPECT_EQ(g_stored, 5);

    // An object that merely inherits from the instance is no instance: the row is not run.
    PWObjectBase* derived = NewObject();
    derived->AddObject(JS_PROTOTYPE, instance, 0);
    g_readFrom = nullptr;
    JS_Get(derived, &r, "probe_speed");
    EXPECT_EQ(g_readFrom, nullptr);
    EXPECT_EQ(RValue_Kind(r), VALUE_UNDEFINED);
    delete instance;
}

}  // namespace
