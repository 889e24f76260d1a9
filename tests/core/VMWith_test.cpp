#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/MemoryManager.h"
#include "core/VMBuffer.h"
#include "core/VMStack.h"
#include "core/VMTestSupport.h"
#include "core/WithIterator.h"

namespace {

std::vector<int32_t> g_visits;  // self then other of each visit, as instance ids
int32_t g_breakAt = 0;

int32_t IdOf(CInstance* instance) {
    return instance ? instance->id : 0;
}

class WithTest : public VMTest {
protected:
    void SetUp() override {
        VMTest::SetUp();
        g_visits.clear();
        g_breakAt = 0;
        world.AddObject(0, "obj_a");
        world.AddObject(1, "obj_b");
        Code_Function_Add(
            "test_visit",
            [](RValue& r, CInstance* s, CInstance* o, int32_t, RValue*) {
                g_visits.push_back(IdOf(s));
                g_visits.push_back(IdOf(o));
                r = RValue_Real(g_breakAt != 0 && static_cast<int32_t>(g_visits.size()) / 2 == g_breakAt ? 1
                                                                                                         : 0);
            },
            0);
        m_conv = VM_Handler(VM_OP_CONV);
        // A test conversion of a value to an int32, so a block can decide to leave.
        VM_SetHandler(VM_OP_CONV, [](uint32_t, uint8_t* sp, const uint8_t*, VMExecContext*) {
            RValue v = VM_Load<RValue>(sp);
            sp += 12;
            VM_Store(sp, static_cast<int32_t>(v.val));
            return sp;
        });
    }
    void TearDown() override {
        VM_SetHandler(VM_OP_CONV, m_conv);
        VMTest::TearDown();
    }

    // Instances of an object, in room order (ascending depth).
    std::vector<CInstance*> Make(int32_t object, int32_t count, int32_t firstId) {
        std::vector<CInstance*> made;
        for (int32_t i = 0; i < count; ++i) {
            auto* instance = new CInstance(0, 0, firstId + i, object, true);
            instance->depth = static_cast<float>(firstId + i);
            world.active.InsertByDepth(instance);
            Instance_IdHash().Insert(instance->id, instance);
            made.push_back(instance);
        }
        return made;
    }

    // The bytecode form of with (target) { test_visit(); } with an optional early leave.
    static std::string WithText(int32_t target, bool mayLeave) {
        std::string body = "call.i test_visit 0\n";
        body += mayLeave ? "conv.v.i\nbf next\npopenv exit\nb out\nnext:\n" : "pop.v.v global.score\n";
        return "push.i " + std::to_string(target) + "\npushenv end\nbody:\n" + body +
               "end:\npopenv body\nout:\n" + "call.i test_visit 0\npop.v.v global.total\n";
    }
    void RunWith(int32_t target, bool mayLeave = false) { Run(WithText(target, mayLeave)); }

    // The compiled form.
    void CompiledWith(int32_t target) {
        CInstance* s = self;
        CInstance* o = self;
        WithIterator it;
        if (WithIterator_Begin(&it, &s, &o, target) > 0) {
            do {
                g_visits.push_back(IdOf(s));
                g_visits.push_back(IdOf(o));
            } while (WithIterator_Next(&it, &s));
        }
        WithIterator_Finish(&it, &s, &o);
        EXPECT_EQ(s, self);
        EXPECT_EQ(o, self);
    }

    FakeWorld world;
    std::vector<CInstance*> m_made;  // owned by the id hash
    VMHandler m_conv = nullptr;
};

TEST_F(WithTest, AllVisitsTheLastFirstThenBackwardsOnBothPaths) {
    m_made = Make(0, 3, 100010);  // P, Q, R
    RunWith(-3);
    EXPECT_TRUE(reports.empty()) << reports[0];
    const std::vector<int32_t> bytecode = {100012, 100001, 100011, 100001, 100010, 100001, 100001, 100001};
    EXPECT_EQ(g_visits, bytecode) << "R, Q, P with other = the old self, then self and other restored";
    g_visits.clear();
    CompiledWith(-3);
    EXPECT_EQ(g_visits, std::vector<int32_t>(bytecode.begin(), bytecode.end() - 2));
}

TEST_F(WithTest, TwoTargetsRunInOppositeOrdersOnTheTwoPaths) {
    m_made = Make(1, 2, 100020);
    RunWith(1);
    EXPECT_EQ(g_visits, (std::vector<int32_t>{100020, 100001, 100021, 100001, 100001, 100001}));
    g_visits.clear();
    CompiledWith(1);
    EXPECT_EQ(g_visits, (std::vector<int32_t>{100021, 100001, 100020, 100001}));
}

TEST_F(WithTest, LeavingAtTheThirdIterationFreesTheListAndRestoresSelf) {
    m_made = Make(0, 5, 100030);
    g_breakAt = 3;
    m_locals = 0;  // nothing but the list may come from the pools
    CCode* code = Code(WithText(-3, true));
    code->buffer->Prepare();
    const int32_t pool = 3;  // five entries of 8 bytes
    const int32_t before = MemoryManager::GetPoolCounts(pool).inUse;
    RValue result = RValue_Undefined();
    VM::Exec(code, self, self, &result);
    EXPECT_TRUE(reports.empty()) << reports[0];
    ASSERT_EQ(g_visits.size(), 8u);
    EXPECT_EQ(g_visits[4], 100032);
    EXPECT_EQ(g_visits[6], 100001) << "self after the block";
    EXPECT_EQ(g_visits[7], 100001) << "other after the block";
    EXPECT_EQ(MemoryManager::GetPoolCounts(pool).inUse, before);
}

TEST_F(WithTest, SelfOtherInstanceAndObjectTargets) {
    m_made = Make(0, 1, 100040);
    CInstance* other = m_made[0];
    // with (other) swaps self and other for the block.
    RValue result = RValue_Undefined();
    CCode* code =
        Code("push.i -2\npushenv end\nbody:\ncall.i test_visit 0\npop.v.v global.score\nend:\npopenv body\n");
    VM::Exec(code, self, other, &result);
    EXPECT_EQ(g_visits, (std::vector<int32_t>{100040, 100001}));
    g_visits.clear();
    RunWith(-1);
    EXPECT_EQ(g_visits, (std::vector<int32_t>{100001, 100001, 100001, 100001}));
    g_visits.clear();
    RunWith(100040);
    EXPECT_EQ(g_visits, (std::vector<int32_t>{100040, 100001, 100001, 100001}));
    g_visits.clear();
    RunWith(100099);  // no such instance: the block is skipped
    EXPECT_EQ(g_visits, (std::vector<int32_t>{100001, 100001}));
}

TEST_F(WithTest, ObjectTargetsTakeChangedInstancesAndSkipDeactivatedOnes) {
    m_made = Make(0, 2, 100050);
    m_made[1]->deactivated = 1;
    auto* changed = new CInstance(0, 0, 100060, 1, false);
    changed->object_index = 0;  // changed to object 0, not yet re-linked
    Instance_IdHash().Insert(changed->id, changed);
    world.pendingChange.push_back(changed);
    world.pendingChange.push_back(m_made[0]);  // found again in the pending list: counted once
    RunWith(0);
    EXPECT_EQ(g_visits, (std::vector<int32_t>{100050, 100001, 100060, 100001, 100001, 100001}));
    g_visits.clear();
    CompiledWith(0);
    EXPECT_EQ(g_visits, (std::vector<int32_t>{100050, 100001, 100060, 100001}));
    world.pendingChange.clear();
}

TEST_F(WithTest, GlobalAndLocalTargetsAreRefused) {
    RunWith(-5);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports[0], "Cannot use global in with statement");
    reports.clear();
    RunWith(-7);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports[0], "Cannot use local in with statement");
    WithIterator it;
    CInstance* s = self;
    CInstance* o = self;
    EXPECT_EQ(WithIterator_Begin(&it, &s, &o, -5), -1);
    EXPECT_EQ(WithIterator_Begin(&it, &s, &o, -4), -1);
    EXPECT_EQ(WithIterator_Begin(&it, &s, &o, 7), 0);
}

}  // namespace
