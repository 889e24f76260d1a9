#include <gtest/gtest.h>

#include <string>

#include "core/Code_Function.h"
#include "core/VM.h"
#include "core/Value.h"

namespace {

void First(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(1);
}
void Second(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(2);
}

int32_t g_scriptIndex = -1;
const char* g_scriptName = "";
int32_t FindScript(const char* name) {
    return std::string(name) == g_scriptName ? g_scriptIndex : -1;
}
int32_t g_extensionId = -1;
int32_t FindExtension(const char* name) {
    return std::string(name) == "ext_fn" ? g_extensionId : -1;
}

class BuiltinTable : public ::testing::Test {
protected:
    void SetUp() override { Code_Function_Free(); }
    void TearDown() override {
        Code_Function_Free();
        Code_Function_SetScriptFinder(nullptr);
        Code_Function_SetExtensionFinder(nullptr);
    }
};

TEST_F(BuiltinTable, FindByNameInOrderScriptsExtensionsRows) {
    Code_Function_Add("abs", First, 1);
    Code_Function_Add("ext_fn", First, -1);
    int32_t id = 7;
    EXPECT_TRUE(Code_Function_Find("abs", &id));
    EXPECT_EQ(id, 0);
    EXPECT_FALSE(Code_Function_Find("ABS", &id)) << "case-sensitive";
    EXPECT_EQ(id, -1);
    id = 7;
    EXPECT_FALSE(Code_Function_Find("", &id));
    EXPECT_EQ(id, -1);
    id = 7;
    EXPECT_FALSE(Code_Function_Find(nullptr, &id));
    EXPECT_EQ(id, -1);

    // A script of the same name hides the built-in; so does an extension function.
    g_scriptName = "abs";
    g_scriptIndex = 4;
    Code_Function_SetScriptFinder(FindScript);
    EXPECT_TRUE(Code_Function_Find("abs", &id));
    EXPECT_EQ(id, 100004);
    g_extensionId = 3;
    Code_Function_SetExtensionFinder(FindExtension);
    EXPECT_TRUE(Code_Function_Find("ext_fn", &id));
    EXPECT_EQ(id, 500003);

    // An extension id of 0 would read as a script; it never resolves to 500000.
    g_extensionId = 0;
    EXPECT_TRUE(Code_Function_Find("ext_fn", &id));
    EXPECT_EQ(id, 1) << "falls through to the built-in row";
    // A script index that would reach 499999 is not taken for a script id.
    g_scriptIndex = 399999;
    EXPECT_TRUE(Code_Function_Find("abs", &id));
    EXPECT_EQ(id, 0);
}

TEST_F(BuiltinTable, DuplicatesReplaceAndGetInfo) {
    Code_Function_Add("dup", First, 2);
    Code_Function_Add("dup", First, 3);
    int32_t id;
    ASSERT_TRUE(Code_Function_Find("dup", &id));
    EXPECT_EQ(id, 0);
    Code_Function_Replace("dup", Second);
    EXPECT_EQ(Code_Function_Row(0)->function, Second);
    EXPECT_EQ(Code_Function_Row(0)->argc, 2);
    EXPECT_EQ(Code_Function_Row(1)->function, First);
    Code_Function_Replace("missing", Second);
    EXPECT_EQ(Code_Function_Row(1)->function, First);
    EXPECT_EQ(Code_Function_Row(0)->reserved, -1);

    const char* name = "untouched";
    BuiltinProc function = nullptr;
    int32_t argc = 99;
    Code_Function_GetInfo(-1, &name, &function, &argc);
    Code_Function_GetInfo(Code_Function_Count(), &name, &function, &argc);
    EXPECT_STREQ(name, "untouched");
    EXPECT_EQ(function, nullptr);
    EXPECT_EQ(argc, 99);
    Code_Function_GetInfo(1, &name, &function, &argc);
    EXPECT_STREQ(name, "dup");
    EXPECT_EQ(function, First);
    EXPECT_EQ(argc, 3);
    EXPECT_EQ(Code_Function_Row(2), nullptr);
}

TEST_F(BuiltinTable, GrowsBy500AndKeepsRows) {
    for (int i = 0; i < 500; ++i) Code_Function_Add(("f" + std::to_string(i)).c_str(), First, i);
    EXPECT_EQ(Code_Function_Capacity(), 500);
    EXPECT_EQ(Code_Function_Add("f500", Second, 500), 501);
    EXPECT_EQ(Code_Function_Capacity(), 1000);
    for (int i : {0, 250, 499, 500}) {
        int32_t id;
        ASSERT_TRUE(Code_Function_Find(("f" + std::to_string(i)).c_str(), &id));
        EXPECT_EQ(id, i);
        EXPECT_EQ(Code_Function_Row(i)->argc, i);
    }
    Code_Function_Free();
    EXPECT_EQ(Code_Function_Count(), 0);
    EXPECT_EQ(Code_Function_Capacity(), 0);
    EXPECT_EQ(Code_Function_Add("again", First, 0), 1);
}

TEST_F(BuiltinTable, OverlongNameIsCutNotOverflowed) {
    std::string longName(100, 'n');
    Code_Function_Add(longName.c_str(), First, 0);
    Code_Function_Add("after", Second, 0);
    EXPECT_EQ(std::string(Code_Function_Row(0)->name), longName.substr(0, 63));
    EXPECT_STREQ(Code_Function_Row(1)->name, "after");
    int32_t id;
    EXPECT_TRUE(Code_Function_Find(longName.substr(0, 63).c_str(), &id));
    EXPECT_EQ(id, 0);
}

}  // namespace

namespace {

int32_t g_calledId = -1, g_calledArgc = -1;
double g_calledFirst = 0;
bool RecordExtensionCall(int32_t id, int32_t argc, RValue* args, RValue* result) {
    g_calledId = id;
    g_calledArgc = argc;
    g_calledFirst = args[0].val;
    EXPECT_TRUE(RValue_IsReal(*result));  // the call starts from the real 0
    *result = RValue_Real(result->val + 42);
    return true;
}

}  // namespace

// Compiled code calls extension functions by their id (500000 + the function's) like built-ins.
TEST(CompiledExtensionCall, ReachesTheExtensionHookWithTheFunctionsOwnId) {
    const VMHooks saved = VM_HookTable;
    VM_HookTable.extensionCall = RecordExtensionCall;
    RValue a = RValue_Real(7), b = RValue_Real(8);
    RValue* args[] = {&a, &b};
    RValue result = RValue_Undefined();
    Builtin_CallByIndex(nullptr, nullptr, &result, 2, FUNCTION_ID_EXTENSION_BASE + 3, args);
    VM_HookTable = saved;
    EXPECT_EQ(g_calledId, 3);
    EXPECT_EQ(g_calledArgc, 2);
    EXPECT_EQ(g_calledFirst, 7);
    EXPECT_TRUE(RValue_IsReal(result));
    EXPECT_EQ(result.val, 42);
}
