// The misc built-ins that act on a running game: events performed by name and inherited,
// alarms and instance variables by name, on a formpack-made game whose handlers log.
#include "MiscTestSupport.h"
#include "runner/GameLoopTestSupport.h"

using namespace gameloop_test;

namespace {

constexpr int32_t kParent = 0, kChild = 1, kOrphan = 2;
constexpr int32_t kChildId = 100001, kOrphanId = 100002;

class MiscInGame : public GameLoopTest {
protected:
    void SetUp() override {
        GameLoopTest::SetUp();
        RegisterMiscFunctionsOnce();
        // Handlers log their label and the instance they ran on.
        auto labelled = [](const char* text) {
            return [text](CInstance* self, CInstance*) {
                Log().back() = std::string(text) + " on " + std::to_string(self->id);
            };
        };
        Label(1, "parent step", labelled("parent step"));
        Label(2, "child step", [](CInstance* self, CInstance* other) {
            Log().back() = "child step on " + std::to_string(self->id);
            RunOn("event_inherited", self, other);
        });
        Label(3, "parent user 3", labelled("parent user 3"));
        Label(4, "orphan step", [](CInstance* self, CInstance* other) {
            Log().back() = "orphan step on " + std::to_string(self->id);
            RunOn("event_inherited", self, other);
        });
        Label(5, "child other 5", labelled("child other 5"));
        ASSERT_TRUE(Load(MakeGame({MakeObject("Parent", {{EVENT_STEP, 0, 1}, {EVENT_OTHER, 13, 3}}),
                                   MakeObject("Child", {{EVENT_STEP, 0, 2}, {EVENT_OTHER, 5, 5}}, kParent),
                                   MakeObject("Orphan", {{EVENT_STEP, 0, 4}})},
                                  {MakeRoom("r0", {At(kChild, kChildId), At(kOrphan, kOrphanId)})}, {0})));
        Start();
        child = FirstOf(kChild);
        orphan = FirstOf(kOrphan);
        ASSERT_NE(child, nullptr);
        ASSERT_NE(orphan, nullptr);
        Log().clear();
    }

    CInstance* child = nullptr;
    CInstance* orphan = nullptr;
};

TEST_F(MiscInGame, EventInheritedFromAChildsStepRunsTheParentsStep) {
    PerformEvent_Instance(child, child, EVENT_STEP, 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"child step on 100001", "parent step on 100001"}));
}

TEST_F(MiscInGame, EventInheritedWithoutParentDoesNothing) {
    PerformEvent_Instance(orphan, orphan, EVENT_STEP, 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"orphan step on 100002"}));
    // Outside any handler there is no event to inherit from.
    g_CurrentEvent = CurrentEvent();
    g_CurrentEvent.object = -1;
    RunOn("event_inherited", child, child);
    // Nor inside a time-line moment, whose index may well name an object too.
    g_CurrentEvent.type = EVENT_TIMELINE_MOMENT;
    g_CurrentEvent.object = kChild;
    RunOn("event_inherited", child, child);
    EXPECT_EQ(Log().size(), 1u);
    EXPECT_FALSE(Error_FatalShown());
}

TEST_F(MiscInGame, EventUserPerformsOtherEventNPlusTen) {
    RunOn("event_user", child, child, {R(3)});  // found on the parent
    RunOn("event_user", orphan, orphan, {R(3)});
    EXPECT_EQ(Log(), (std::vector<std::string>{"parent user 3 on 100001"}));
}

TEST_F(MiscInGame, EventPerformUsesSelfsObjectAndEventPerformObjectTheGivenOne) {
    RunOn("event_perform", child, child, {R(EVENT_OTHER), R(5)});
    RunOn("event_perform_object", orphan, orphan, {R(kParent), R(EVENT_STEP), R(0)});
    RunOn("event_perform", orphan, orphan, {R(EVENT_OTHER), R(5)});  // the orphan has none
    EXPECT_EQ(Log(), (std::vector<std::string>{"child other 5 on 100001", "parent step on 100002"}));
}

TEST_F(MiscInGame, AlarmsZeroToElevenAreSetAndRead) {
    RunOn("alarm_set", child, child, {R(3), R(10)});
    RunOn("alarm_set", child, child, {R(11), R(4)});
    RunOn("alarm_set", child, child, {R(12), R(99)});
    RunOn("alarm_set", child, child, {R(-1), R(99)});
    EXPECT_EQ(child->alarm[3], 10);
    EXPECT_EQ(RunOn("alarm_get", child, child, {R(3)})->Real(), 10.0);
    EXPECT_EQ(RunOn("alarm_get", child, child, {R(11)})->Real(), 4.0);
    EXPECT_EQ(RunOn("alarm_get", child, child, {R(12)})->Real(), -1.0);
    EXPECT_EQ(RunOn("alarm_get", child, child, {R(-1)})->Real(), -1.0);
    EXPECT_EQ(RunOn("alarm_get", orphan, orphan, {R(3)})->Real(), -1.0);  // never set
}

TEST_F(MiscInGame, LocalVariablesByNameBelongToSelf) {
    EXPECT_EQ(RunOn("variable_local_exists", child, child, {S("misc_hp")})->Real(), 0.0);
    RunOn("variable_local_set", child, child, {S("misc_hp"), R(5)});
    RunOn("variable_local_array2_set", child, child, {S("misc_map"), R(1), R(2), S("wall")});
    EXPECT_EQ(RunOn("variable_local_exists", child, child, {S("misc_hp")})->Real(), 1.0);
    EXPECT_EQ(RunOn("variable_local_get", child, child, {S("misc_hp")})->Real(), 5.0);
    EXPECT_EQ(RunOn("variable_local_array2_get", child, child, {S("misc_map"), R(1), R(2)})->Text(), "wall");
    EXPECT_EQ(RunOn("variable_local_exists", orphan, orphan, {S("misc_hp")})->Real(), 0.0);
}

}  // namespace
