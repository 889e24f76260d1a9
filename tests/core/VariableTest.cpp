#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/Code_Variable.h"
#include "core/Instance.h"
#include "core/ObjectTestSupport.h"
#include "core/ScriptObjectHooks.h"
#include "core/ValueTestSupport.h"
#include "core/Variable.h"
#include "core/VariableList.h"
#include "io/IBuffer.h"

namespace {

constexpr int32_t kWhole = ARRAY_INDEX_WHOLE;

// --- Registry ---------------------------------------------------------------------------

std::vector<std::string> g_messages;
CInstance* g_lastSelf = nullptr;
int32_t g_lastIndex = 0;
double g_stored = 0.0;

bool GetSeven(CInstance*, int32_t, RValue* out) {
    *out = RValue_Real(7);
    return true;
}
bool SetStored(CInstance* self, int32_t index, RValue* value) {
    g_lastSelf = self;
    g_lastIndex = index;
    g_stored = value->val;
    return true;
}

class RegistryTest : public testing::Test {
protected:
    RegistryTest() {
        g_messages.clear();
        Variable_BuiltIn_Free();
        Variable_SetMessageHook([](const char* text) { g_messages.push_back(text); });
    }
    ~RegistryTest() override {
        Variable_BuiltIn_Free();
        Variable_SetMessageHook(nullptr);
    }
};

TEST_F(RegistryTest, TheFiveHundredAndFirstRowIsRefused) {
    for (int i = 0; i < BUILTIN_VARIABLE_ROWS; ++i) {
        std::string name = "row" + std::to_string(i);
        ASSERT_EQ(Variable_BuiltIn_Add(name.c_str(), GetSeven, nullptr), i);
    }
    EXPECT_TRUE(g_messages.empty());
    EXPECT_EQ(Variable_BuiltIn_Add("one_too_many", GetSeven, nullptr), -1);
    EXPECT_EQ(g_messages, std::vector<std::string>{"INTERNAL ERROR: Adding too many variables"});
    EXPECT_EQ(Variable_BuiltIn_Count(), 500);
    EXPECT_EQ(Variable_BuiltIn_Find("one_too_many"), -1);
    EXPECT_EQ(Variable_BuiltIn_Find("row499"), 499);
    EXPECT_STREQ(Variable_BuiltIn_GetName(500), "<unknown built-in variable>");
    EXPECT_STREQ(Variable_BuiltIn_GetName(-1), "<unknown built-in variable>");
}

TEST_F(RegistryTest, BuiltInRowsReadAndWriteThroughTheirFunctions) {
    GameSettingsScope settings(2);
    int32_t readOnly = Variable_BuiltIn_Add("fps", GetSeven, nullptr);
    int32_t writable = Variable_BuiltIn_Add("x", GetSeven, SetStored);
    EXPECT_EQ(Variable_BuiltIn_Find("X"), -1);
    CInstance instance(0, 0, 100001, -1, false);
    RValue value = RValue_Real(3);
    g_stored = 0;
    EXPECT_FALSE(Variable_SetValue(&instance, readOnly, kWhole, &value));
    EXPECT_EQ(g_stored, 0.0);
    EXPECT_TRUE(Variable_SetValue(&instance, writable, 5, &value));
    EXPECT_EQ(g_stored, 3.0);
    EXPECT_EQ(g_lastSelf, &instance);
    EXPECT_EQ(g_lastIndex, 5);
    Held out;
    EXPECT_TRUE(Variable_GetValue(&instance, readOnly, kWhole, &out.v));
    EXPECT_EQ(out.v.val, 7.0);
    // Ids with no row, and the gap between built-ins and script variables, read nothing.
    EXPECT_FALSE(Variable_GetValue(&instance, 400, kWhole, &out.v));
    EXPECT_FALSE(Variable_GetValue(&instance, 50000, kWhole, &out.v));
    EXPECT_FALSE(Variable_SetValue(&instance, -7, kWhole, &value));
    EXPECT_EQ(Code_Variable_GetId("fps"), readOnly);
    EXPECT_STREQ(Code_Variable_GetName(nullptr, SCOPE_SELF, writable), "x");
}

// --- Targets ----------------------------------------------------------------------------

class TargetTest : public testing::Test {
protected:
    TargetTest() : settings(4) {}
    ~TargetTest() override {
        for (CInstance* instance : made) {
            Instance_IdHash().Delete(instance->id);
            delete instance;
        }
    }
    CInstance* Make(int32_t id, int32_t object, bool active = true) {
        auto* instance = new CInstance(0, 0, id, object, true);
        Instance_IdHash().Insert(id, instance);
        if (active) world.active.InsertByDepth(instance);
        made.push_back(instance);
        return instance;
    }
    double SlotOf(CInstance* instance, int32_t slot) {
        RValue* value = instance->PeekSlot(slot);
        return value && value->kind == VALUE_REAL ? value->val : -1.0;
    }

    GameSettingsScope settings;
    FakeWorld world;
    RuntimeErrorRecorder errors;
    std::vector<CInstance*> made;
};

TEST_F(TargetTest, AWriteToAnObjectReachesItsDescendantsAndItsPendingInstances) {
    world.AddObject(1, "parent");
    world.AddObject(2, "child", 1);
    world.AddObject(3, "grandchild", 2);
    world.AddObject(4, "unrelated");
    CInstance* parent = Make(100001, 1);
    CInstance* child = Make(100002, 2);
    CInstance* grandchild = Make(100003, 3);
    CInstance* unrelated = Make(100004, 4);
    CInstance* destroyed = Make(100005, 2);
    destroyed->destroyed = 1;
    // Changed to a child of object 1 during this step: still listed under its old object.
    CInstance* changed = Make(100006, 4);
    changed->SetObjectIndex(2);
    world.pendingChange.push_back(changed);

    RValue value = RValue_Real(9);
    EXPECT_TRUE(Variable_SetOnTarget(1, 100002, kWhole, &value));
    for (CInstance* instance : {parent, child, grandchild, changed})
        EXPECT_EQ(SlotOf(instance, 2), 9.0) << instance->id;
    EXPECT_EQ(SlotOf(unrelated, 2), -1.0);
    EXPECT_EQ(SlotOf(destroyed, 2), -1.0);
    EXPECT_EQ(errors.Take(), "");

    // The slot variant matches the pending list by the instance's own object only.
    value = RValue_Real(4);
    EXPECT_TRUE(Variable_SetSlotOnTarget(1, 3, kWhole, &value));
    EXPECT_EQ(SlotOf(grandchild, 3), 4.0);
    EXPECT_EQ(SlotOf(changed, 3), -1.0);
    EXPECT_TRUE(Variable_SetSlotOnTarget(2, 3, kWhole, &value));
    EXPECT_EQ(SlotOf(changed, 3), 4.0);

    Held out;
    EXPECT_TRUE(Variable_GetOnTarget(2, 100002, kWhole, &out.v));
    EXPECT_EQ(out.v.val, 9.0);
    EXPECT_TRUE(Variable_GetSlotOnTarget(100004, 2, kWhole, &out.v));
    EXPECT_EQ(out.v.kind, uint32_t(VALUE_UNSET));
}

TEST_F(TargetTest, ReadsWithNoInstanceFailAndRaiseTheNotFoundFlag) {
    world.AddObject(1, "sleeper");
    for (int32_t id : {100001, 100002}) Make(id, 1)->deactivated = 1;
    Held out;
    for (int32_t target : {int32_t(SCOPE_ALL), 1, 100777, int32_t(SCOPE_NOONE)}) {
        Variable_NotFound = false;
        EXPECT_FALSE(Variable_GetOnTarget(target, 100000, kWhole, &out.v)) << target;
        EXPECT_TRUE(Variable_NotFound) << target;
    }
    EXPECT_STREQ(Variable_TargetObjectName(SCOPE_ALL), "<unknown_object>");
    EXPECT_STREQ(Variable_TargetObjectName(1), "sleeper");
    EXPECT_STREQ(Variable_TargetObjectName(100002), "sleeper");
    EXPECT_STREQ(Variable_TargetObjectName(77), "<unknown_object>");
    EXPECT_EQ(errors.Take(), "");
}

TEST_F(TargetTest, WritesWithNoInstanceReportWhatTheyLookedFor) {
    world.AddObject(5, "ghost");
    Make(100123, 5)->destroyed = 1;
    RValue value = RValue_Real(1);
    struct Case {
        int32_t target;
        const char* message;
    } cases[] = {
        {100123, "Unable to find any instance for object index '100123'"},
        {5, "Unable to find any instance for object index '5' name 'ghost'"},
        {6, "Unable to find any instance for object index '6'"},
        {SCOPE_ALL, "Unable to find any instance for object index '-3'"},
        {SCOPE_NOONE, ""},
    };
    world.active = InstanceList{};
    for (const Case& c : cases) {
        EXPECT_FALSE(Variable_SetOnTarget(c.target, 100000, kWhole, &value)) << c.target;
        EXPECT_EQ(errors.Take(), c.message);
        EXPECT_FALSE(Variable_SetSlotOnTarget(c.target, 0, kWhole, &value)) << c.target;
        EXPECT_EQ(errors.Take(), "");
    }
}

TEST_F(TargetTest, AllMeansEveryActiveInstanceAndReadsTakeTheFirst) {
    CInstance* first = Make(100001, -1);
    CInstance* asleep = Make(100002, -1);
    CInstance* last = Make(100003, -1);
    asleep->deactivated = 1;
    RValue value = RValue_Real(2);
    EXPECT_TRUE(Variable_SetOnTarget(SCOPE_ALL, 100001, 3, &value));
    Held out;
    EXPECT_TRUE(Variable_GetOnTarget(SCOPE_ALL, 100001, 3, &out.v));
    EXPECT_EQ(out.v.val, 2.0);
    EXPECT_EQ(asleep->PeekSlot(1), nullptr);
    EXPECT_EQ(last->PeekSlot(1)->kind, uint32_t(VALUE_ARRAY));
    // An element that is not there reads as 0 and fails.
    EXPECT_FALSE(Variable_GetOnTarget(SCOPE_ALL, 100001, 7, &out.v));
    EXPECT_TRUE(ArrayIndexError.raised);
    (void)first;
}

// --- Globals ----------------------------------------------------------------------------

class GlobalsTest : public testing::Test {
protected:
    ~GlobalsTest() override { SetGlobal(nullptr); }
    void SetGlobal(PWObjectBase* global) {
        if (g_GlobalObject != nullptr) PWObjectBase_Free(g_GlobalObject);
        g_GlobalObject = global;
    }
    RuntimeErrorRecorder errors;
};

TEST_F(GlobalsTest, WritesKeepTheFlagsOfTheVariable) {
    SetGlobal(PWObjectBase_Alloc(4, VALUE_UNSET, true));
    RValue value = RValue_Real(1);
    EXPECT_TRUE(Variable_SetGlobal(100001, kWhole, &value));
    EXPECT_EQ(g_GlobalObject->slots[1].flags, 7u);
    g_GlobalObject->slots[1].flags = 2;
    Held text("two");
    EXPECT_TRUE(Variable_SetGlobal(100001, kWhole, &text.v));
    EXPECT_EQ(g_GlobalObject->slots[1].flags, 2u);
    Held out;
    EXPECT_TRUE(Variable_GetGlobal(100001, kWhole, &out.v));
    EXPECT_STREQ(RValue_GetStringText(&out.v), "two");
    // An id below the script range reaches no slot.
    EXPECT_TRUE(Variable_SetGlobal(5, kWhole, &value));
    EXPECT_TRUE(Variable_GetGlobal(5, kWhole, &out.v));
    EXPECT_EQ(out.v.kind, uint32_t(VALUE_UNSET));
}

// The globals of a game with count global slots (slot i holds i + 0.5), as saved.
Buffer_Standard* SaveGlobals(int32_t count) {
    PWObjectBase* global = PWObjectBase_Alloc(count, VALUE_UNSET, true);
    for (int32_t i = 0; i < count; ++i) global->slots[i] = RValue_Real(i + 0.5);
    PWObjectBase* previous = g_GlobalObject;
    g_GlobalObject = global;
    auto* buffer = new Buffer_Standard;
    Variable_SaveGlobals(buffer);
    g_GlobalObject = previous;
    PWObjectBase_Free(global);
    return buffer;
}

TEST_F(GlobalsTest, ASaveWithOtherCountsRaisesTheErrorAndStaysInStep) {
    struct Case {
        int32_t saved, current;
    } cases[] = {{20, 21}, {21, 20}, {20, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.saved) + " saved, " + std::to_string(c.current) + " now");
        Variable_InitFlags();
        Buffer_Standard* saved = SaveGlobals(c.saved);
        SetGlobal(PWObjectBase_Alloc(c.current, VALUE_UNSET, true));
        Buffer_Standard reader(saved->GetData(), saved->GetUsedSize(), eBufferType_Fixed, 1, false);

        EXPECT_TRUE(Variable_LoadGlobals(&reader));
        delete saved;
        EXPECT_EQ(errors.Take(), c.saved != c.current ? "Save game format has changed" : "");
        int32_t both = std::min(c.saved, c.current);
        for (int32_t i = 0; i < both; ++i) EXPECT_EQ(g_GlobalObject->slots[i].val, i + 0.5) << i;
        for (int32_t i = both; i < c.current; ++i)
            EXPECT_EQ(g_GlobalObject->slots[i].kind, uint32_t(VALUE_UNSET));
        EXPECT_EQ(Variable_FlagCount(), 10000);
        EXPECT_EQ(reader.Seek(1, 0), reader.GetUsedSize());
    }
}

TEST_F(GlobalsTest, FlagsComeBackAsZeroOrOne) {
    SetGlobal(PWObjectBase_Alloc(1, VALUE_UNSET, true));
    // Written by hand: one global (real 0.0: kind 0, then 8 bytes), then three flags.
    Buffer_Standard handmade;
    RValue words[] = {RValue_Int32(1), RValue_Int32(VALUE_REAL)};
    for (RValue& w : words) handmade.Write(eBuffer_S32, &w);
    RValue zero = RValue_Real(0);
    handmade.Write(eBuffer_F64, &zero);
    for (int32_t word : {3, 0, 9, 1}) {
        RValue v = RValue_Int32(word);
        handmade.Write(eBuffer_S32, &v);
    }
    Buffer_Standard in(handmade.GetData(), handmade.GetUsedSize(), eBufferType_Fixed, 1, false);
    ASSERT_TRUE(Variable_LoadGlobals(&in));
    EXPECT_EQ(Variable_FlagCount(), 3);
    EXPECT_EQ(Variable_GetFlags(100000), 0);
    EXPECT_EQ(Variable_GetFlags(100001), 1);
    EXPECT_EQ(Variable_GetFlags(100002), 1);
    EXPECT_EQ(Variable_GetFlags(100003), 0);
    EXPECT_EQ(Variable_GetFlags(99999), 0);
    Variable_InitFlags();
}

TEST_F(GlobalsTest, CountsTheBufferCannotHoldAreRefused) {
    SetGlobal(PWObjectBase_Alloc(2, VALUE_UNSET, true));
    for (int32_t count : {-1, 0x7FFFFFFF}) {
        Buffer_Standard buffer;
        RValue v = RValue_Int32(count);
        buffer.Write(eBuffer_S32, &v);
        Buffer_Standard reader(buffer.GetData(), buffer.GetUsedSize(), eBufferType_Fixed, 1, false);
        EXPECT_FALSE(Variable_LoadGlobals(&reader)) << count;
        errors.Take();
    }
}

// --- Names ------------------------------------------------------------------------------

TEST(CodeVariableTest, NamesByScope) {
    VariableSettings saved = g_VariableSettings;
    g_VariableSettings.newFormat = true;
    Code_Variable_InitTables(2, 3);
    EXPECT_EQ(Code_Variable_SetName("score", SCOPE_GLOBAL, 1), 100001);
    EXPECT_EQ(Code_Variable_SetName("speed_x", SCOPE_SELF, 2), 100002);
    EXPECT_EQ(Code_Variable_SetName("beyond", SCOPE_GLOBAL, 9), 100009);  // stores nothing
    EXPECT_EQ(Code_Variable_SetName("loc", SCOPE_LOCAL, 4), 100004);
    struct Case {
        int32_t scope, id;
        const char* name;
    } cases[] = {
        {SCOPE_GLOBAL, 100001, "score"},
        {SCOPE_GLOBAL, 100000, "<unknown variable>"},
        {SCOPE_GLOBAL, 100002, "<unknown variable>"},
        {SCOPE_GLOBAL, 100009, "<unknown variable>"},
        {SCOPE_SELF, 100002, "speed_x"},
        {SCOPE_CHAIN, 100002, "speed_x"},
        {SCOPE_INSTANCE_NAMES, 100002, "speed_x"},
        {100005, 100002, "speed_x"},
        {SCOPE_OTHER, 100002, "<unknown variable>"},
        {SCOPE_SELF, 103000, "<unknown variable>"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(Code_Variable_GetName(nullptr, c.scope, c.id), c.name) << c.scope;
    EXPECT_EQ(Code_Variable_FindGlobalName("score"), 1);
    EXPECT_EQ(Code_Variable_FindInstanceName("score"), -1);

    // Older data files name every variable by the dynamic list.
    g_VariableSettings.newFormat = false;
    int32_t id = Code_Variable_FindOrAdd("cv_dynamic_name");
    EXPECT_EQ(Code_Variable_FindOrAdd("cv_dynamic_name"), id);
    EXPECT_EQ(Code_Variable_GetId("cv_dynamic_name"), id);
    EXPECT_STREQ(Code_Variable_GetName(nullptr, SCOPE_GLOBAL, id), "cv_dynamic_name");
    EXPECT_STREQ(Code_Variable_GetName(nullptr, SCOPE_GLOBAL, id + 100000), "<unknown variable>");
    Code_Variable_InitTables(0, 0);
    g_VariableSettings = saved;
}

// A small data file: the locals block first, then the strings it names. Strings are a
// length word, the text and a NUL; the block refers to them by the offset of their first
// text byte.
struct LocalsFile {
    static constexpr size_t kBlockAt = 4;  // after a leading word: offset 0 means none
    static constexpr int64_t kBlockLength = 5 * 4;
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kBlockAt + kBlockLength);

    LocalsFile() {
        uint32_t script = AddString("scr_move");
        uint32_t first = AddString("dx");
        uint32_t second = AddString("dy");
        uint32_t words[] = {1, script, 2, first, second};
        std::memcpy(bytes.data() + kBlockAt, words, sizeof words);
    }
    uint32_t AddString(const char* text) {
        uint32_t length = uint32_t(std::strlen(text));
        uint8_t b[4];
        std::memcpy(b, &length, 4);
        bytes.insert(bytes.end(), b, b + 4);
        uint32_t offset = uint32_t(bytes.size());
        bytes.insert(bytes.end(), text, text + length + 1);
        return offset;
    }
    bool Load() const {
        return Code_Variable_LoadLocals(bytes.data() + kBlockAt, kBlockLength, bytes.data(),
                                        int64_t(bytes.size()));
    }
};

TEST(CodeVariableTest, LocalsAreLoadedPerScriptAndBadOffsetsRefused) {
    VariableSettings saved = g_VariableSettings;
    g_VariableSettings.newFormat = true;
    LocalsFile file;
    ASSERT_TRUE(file.Load());
    EXPECT_STREQ(Code_Variable_GetName("scr_move", SCOPE_LOCAL, 100001), "dy");
    EXPECT_STREQ(Code_Variable_GetName("scr_move", SCOPE_LOCAL_NAMES, 100000), "dx");
    EXPECT_STREQ(Code_Variable_GetName("scr_move", SCOPE_LOCAL, 100002), "<unknown variable>");
    EXPECT_STREQ(Code_Variable_GetName("scr_other", SCOPE_LOCAL, 100000), "<unknown variable>");

    struct Patch {
        size_t word;  // index of the word in the block
        uint32_t value;
    } patches[] = {{0, 0x10000000}, {2, 0x7FFFFFFF}, {3, 0}, {4, uint32_t(file.bytes.size())}};
    for (const Patch& p : patches) {
        LocalsFile bad;
        std::memcpy(bad.bytes.data() + LocalsFile::kBlockAt + 4 * p.word, &p.value, 4);
        EXPECT_FALSE(bad.Load()) << p.word;
        EXPECT_STREQ(Code_Variable_GetName("scr_move", SCOPE_LOCAL, 100000), "<unknown variable>");
    }
    // The last name runs to the end of the file without its NUL.
    LocalsFile unterminated;
    unterminated.bytes.back() = 'y';
    EXPECT_FALSE(unterminated.Load());
    g_VariableSettings = saved;
}

// --- Scope chain ------------------------------------------------------------------------

PWObjectBase* g_chainHead = nullptr;
std::vector<std::string> g_accessorCalls;

TEST(ScopeChainTest, ReadsWritesAndDeletesFindTheFirstObjectThatHasTheVariable) {
    GameSettingsScope settings(0, true);
    Code_Variable_InitTables(0, 4);
    Code_Variable_SetName("sc_a", SCOPE_SELF, 1);
    Code_Variable_SetName("sc_b", SCOPE_SELF, 2);
    PWObjectBase* inner = PWObjectBase_Alloc(3, VALUE_UNSET, true);   // slots
    PWObjectBase* outer = PWObjectBase_Alloc(0, VALUE_UNSET, false);  // named variables
    inner->scopeLink = outer;
    g_chainHead = inner;
    ScriptObjectHooks hooks{};
    hooks.scopeChainHead = [] { return g_chainHead; };
    ScriptObjects_Install(&hooks);

    outer->AddReal("sc_b", 5.0, 7);
    Held out;
    EXPECT_TRUE(Variable_GetScoped(100002, kWhole, &out.v));
    EXPECT_EQ(out.v.val, 5.0);

    // The object that has the variable receives the write; a new one goes to the head.
    RValue six = RValue_Real(6);
    EXPECT_TRUE(Variable_SetScoped(100002, kWhole, &six));
    EXPECT_EQ(outer->variables->FindName("sc_b")->value.val, 6.0);
    EXPECT_EQ(inner->slots[2].kind, uint32_t(VALUE_UNSET));
    EXPECT_TRUE(Variable_SetScoped(100001, kWhole, &six));
    EXPECT_EQ(inner->slots[1].val, 6.0);
    EXPECT_EQ(inner->slots[1].flags, 7u);

    // Deletion needs the deletable attribute.
    outer->variables->FindName("sc_b")->value.flags = 1;
    EXPECT_FALSE(Variable_DeleteScoped(100002, kWhole));
    outer->variables->FindName("sc_b")->value.flags = 7;
    EXPECT_TRUE(Variable_DeleteScoped(100002, kWhole));
    EXPECT_EQ(outer->variables->FindName("sc_b"), nullptr);
    EXPECT_TRUE(Variable_DeleteScoped(100001, kWhole));
    EXPECT_EQ(inner->slots[1].kind, uint32_t(VALUE_UNSET));
    EXPECT_FALSE(Variable_GetScoped(100002, kWhole, &out.v));
    EXPECT_TRUE(Variable_DeleteScoped(100003, kWhole));  // nothing to delete

    ScriptObjects_Install(nullptr);
    g_chainHead = nullptr;
    PWObjectBase_Free(inner);
    PWObjectBase_Free(outer);
    Code_Variable_InitTables(0, 0);
}

}  // namespace
