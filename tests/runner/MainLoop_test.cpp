// The frame loop on the virtual clock: pacing, frames per second, the order of the stages in
// one step, room changes cutting a step, persistence across rooms, nesting, alarms, animation.
#include <chrono>

#include "GameLoopTestSupport.h"
#include "core/StackTrace.h"

using namespace gameloop_test;

namespace {

class FrameLoop : public GameLoopTest {};

formpack::FormFile OneRoomGame(int32_t speed, std::vector<std::array<int32_t, 3>> handlers = {},
                               std::vector<formpack::RoomInstance> instances = {}) {
    formpack::Room room = MakeRoom("room0", std::move(instances));
    room.speed = speed;
    return MakeGame({MakeObject("A", std::move(handlers))}, {room}, {0});
}

TEST_F(FrameLoop, SixHundredFramesRunInNoRealTimeAtSixtyFramesPerSecond) {
    ASSERT_TRUE(Load(OneRoomGame(60, {{EVENT_STEP, 0, 1}}, {At(0, 100001)})));
    int steps = 0;
    Label(1, "", [&](CInstance*, CInstance*) { ++steps; });
    Start();
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(Harness_RunFrames(60), 60);
    EXPECT_EQ(g_FrameTiming.fps, 0);  // the first second is not over yet
    EXPECT_EQ(Harness_RunFrames(540), 540);
    const auto real = std::chrono::steady_clock::now() - begun;
    EXPECT_LT(real, std::chrono::seconds(1));
    EXPECT_EQ(g_FrameTiming.fps, 60);
    EXPECT_EQ(steps, 600);
    EXPECT_EQ(Timing_Time(), 600 * 16666);
    EXPECT_EQ(g_FrameTiming.deltaTime, 16666);
    EXPECT_EQ(MainLoop_Frame(), 60);
}

TEST_F(FrameLoop, ATenMillisecondStepAtSpeedThirtyWaitsTheRestOfTheFrame) {
    ASSERT_TRUE(Load(OneRoomGame(30, {{EVENT_STEP, 1, 1}}, {At(0, 100001)})));
    std::vector<int64_t> stepStarts;
    Label(1, "", [&](CInstance*, CInstance*) {
        stepStarts.push_back(Timing_Time());
        Harness_AdvanceClock(10000);
    });
    Start();
    Harness_RunFrames(3);
    EXPECT_EQ(g_FrameTiming.lastWait, 23333);
    ASSERT_EQ(stepStarts.size(), 3u);
    EXPECT_EQ(stepStarts[1] - stepStarts[0], 33333);
    EXPECT_EQ(stepStarts[2] - stepStarts[1], 33333);
}

TEST_F(FrameLoop, AStepLongerThanAFrameStartsTheNextAtOnce) {
    ASSERT_TRUE(Load(OneRoomGame(30, {{EVENT_STEP, 0, 1}}, {At(0, 100001)})));
    Label(1, "", [](CInstance*, CInstance*) { Harness_AdvanceClock(50000); });
    Start();
    Harness_RunFrames(2);
    EXPECT_EQ(g_FrameTiming.lastWait, 0);
    EXPECT_EQ(Timing_Time(), 33333 + 50000 + 50000);
}

TEST_F(FrameLoop, ManualVerticalSyncLeavesPacingToThePresent) {
    ASSERT_TRUE(Load(OneRoomGame(30)));
    Start();
    g_Switches.manualVsync = true;
    Harness_RunFrames(3);
    g_Switches.manualVsync = false;
    EXPECT_EQ(g_FrameTiming.lastWait, 0);
    EXPECT_EQ(Timing_Time(), 0);
}

TEST_F(FrameLoop, WaitIsCappedAndStopsWhenTheClockGoesBack) {
    Harness_UseVirtualClock(1000);
    Timing_Wait(5000000);
    EXPECT_EQ(Timing_Time(), 1000 + 3000000);
    Timing_Wait(0);
    Timing_Wait(-5);
    EXPECT_EQ(Timing_Time(), 1000 + 3000000);
}

// Begin step, alarm, keyboard, step, other and end step, in that order, in one step.
TEST_F(FrameLoop, OneStepRunsTheStagesInOrder) {
    ASSERT_TRUE(Load(OneRoomGame(60,
                                 {{EVENT_CREATE, 0, 1},
                                  {EVENT_STEP, STEP_BEGIN, 2},
                                  {EVENT_ALARM, 0, 3},
                                  {EVENT_KEYBOARD, 0, 4},
                                  {EVENT_STEP, STEP_NORMAL, 5},
                                  {EVENT_OTHER, OTHER_OUTSIDE_ROOM, 6},
                                  {EVENT_STEP, STEP_END, 7},
                                  {EVENT_OTHER, OTHER_GAME_START, 8},
                                  {EVENT_OTHER, OTHER_ROOM_START, 9}},
                                 {At(0, 100001, -50, 10)})));
    Label(1, "create", [](CInstance* self, CInstance*) { self->alarm[0] = 1; });
    Label(2, "begin step");
    Label(3, "alarm 0");
    Label(4, "no key");
    Label(5, "step");
    Label(6, "outside room");
    Label(7, "end step");
    Label(8, "game start");
    Label(9, "room start");
    Start();
    EXPECT_EQ(Log(), (std::vector<std::string>{"create", "game start", "room start"}));
    Log().clear();
    Harness_RunFrames(2);
    EXPECT_EQ(Log(), (std::vector<std::string>{"begin step", "alarm 0", "no key", "step", "outside room",
                                               "end step", "begin step", "no key", "step", "end step"}));
}

TEST_F(FrameLoop, RoomChangeRaisedAtTheAlarmStageCutsTheStep) {
    formpack::FormFile game =
        MakeGame({MakeObject("A", {{EVENT_CREATE, 0, 1},
                                   {EVENT_STEP, STEP_BEGIN, 2},
                                   {EVENT_ALARM, 0, 3},
                                   {EVENT_KEYBOARD, 0, 4},
                                   {EVENT_STEP, STEP_NORMAL, 5},
                                   {EVENT_STEP, STEP_END, 7},
                                   {EVENT_OTHER, OTHER_ROOM_END, 8}}),
                  MakeObject("B", {{EVENT_OTHER, OTHER_ROOM_START, 9}})},
                 {MakeRoom("room0", {At(0, 100001)}), MakeRoom("room1", {At(1, 100002)})}, {0, 1});
    ASSERT_TRUE(Load(game));
    Label(1, "", [](CInstance* self, CInstance*) { self->alarm[0] = 1; });
    Label(2, "begin step");
    Label(3, "alarm 0", [](CInstance*, CInstance*) { NewRoomCode = 1; });
    Label(4, "no key");
    Label(5, "step");
    Label(7, "end step");
    Label(8, "room end");
    Label(9, "room start in room1");
    Start();
    Harness_RunFrames(1);
    EXPECT_EQ(Log(), (std::vector<std::string>{"begin step", "alarm 0", "room end", "room start in room1"}));
    EXPECT_EQ(Run_RoomIndex(), 1);
    EXPECT_EQ(CountInstances(0), 0);
    EXPECT_EQ(CountInstances(1), 1);
}

TEST_F(FrameLoop, PersistentInstanceKeepsItsIdAcrossRoomsWithoutASecondCreate) {
    formpack::Object keeper = MakeObject("Keeper", {{EVENT_CREATE, 0, 1}, {EVENT_STEP, 0, 2}});
    keeper.persistent = true;
    ASSERT_TRUE(Load(
        MakeGame({keeper, MakeObject("Other", {{EVENT_CREATE, 0, 3}})},
                 {MakeRoom("room0", {At(0, 100007, 20, 30)}), MakeRoom("room1", {At(1, 100008)})}, {0, 1})));
    Label(1, "keeper create");
    Label(2, "", [](CInstance* self, CInstance*) {
        if (Run_RoomIndex() == 0) {
            self->x = 99.0f;
            NewRoomCode = 1;
        }
    });
    Label(3, "other create");
    Start();
    Harness_RunFrames(3);
    EXPECT_EQ(Run_RoomIndex(), 1);
    EXPECT_EQ(Log(), (std::vector<std::string>{"keeper create", "other create"}));
    CInstance* kept = Instance_Find(100007);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->object_index, 0);
    EXPECT_FLOAT_EQ(kept->x, 99.0f);
    EXPECT_EQ(CountInstances(0), 1);
    EXPECT_EQ(CountInstances(1), 1);
}

TEST_F(FrameLoop, RoomOrderChoosesTheFirstRoom) {
    ASSERT_TRUE(
        Load(MakeGame({MakeObject("A", {{EVENT_CREATE, 0, 1}}), std::nullopt, MakeObject("B")},
                      {MakeRoom("room0", {At(0, 100001)}), MakeRoom("room1", {At(2, 100002)})}, {1, 0})));
    Label(1, "A create");
    Start();
    EXPECT_EQ(Run_RoomIndex(), 1);
    EXPECT_FALSE(Object_Exists(1));
    EXPECT_EQ(CountInstances(2), 1);
    EXPECT_TRUE(Log().empty());
}

TEST_F(FrameLoop, NestingThirtyThreeDeepIsFatal) {
    ASSERT_TRUE(Load(OneRoomGame(60, {{EVENT_OTHER, OTHER_USER0, 1}}, {At(0, 100001)})));
    int depth = 0, deepest = 0, runs = 0;
    Label(1, "", [&](CInstance* self, CInstance*) {
        ++runs;
        deepest = std::max(deepest, g_CurrentEvent.depth);
        ++depth;
        PerformEvent(self, self, 0, EVENT_OTHER, OTHER_USER0);
        --depth;
    });
    Start();
    PerformEvent(FirstOf(0), FirstOf(0), 0, EVENT_OTHER, OTHER_USER0);
    EXPECT_EQ(runs, kEventMaxDepth);
    EXPECT_EQ(deepest, kEventMaxDepth);
    EXPECT_EQ(g_CurrentEvent.depth, 0);
    EXPECT_EQ(NewRoomCode, ROOM_ABORT_GAME);
    Harness_RunFrames(1);
    EXPECT_EQ(g_RunnerRunning, 0);
}

// A compiled step event calls two functions; the innermost reports an error.
TEST_F(FrameLoop, AnErrorThreeCallsDeepIsReportedWithItsEventAndCallStack) {
    ASSERT_TRUE(Load(OneRoomGame(60, {{EVENT_STEP, 0, 1}}, {At(0, 100001)})));
    Label(1, "", [](CInstance*, CInstance*) {
        StackTraceNode event, script, inner;
        StackTrace_Push(&event, "hvs_Object_A_Step_0", 3);
        StackTrace_Push(&script, "scr_outer", 12);
        StackTrace_Push(&inner, "scr_inner", -1);
        Error_Report("boom", false);
        StackTrace_Pop(&inner);
        StackTrace_Pop(&script);
        StackTrace_Pop(&event);
    });
    Start();
    Harness_RunFrames(1);
    const std::string report = Error_LastText();
    EXPECT_NE(report.find("ERROR in\naction number 1\nof  Step Event0\nfor object A:\n\n\nboom"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("called from - scr_inner\ncalled from - scr_outer (line 12)\n"
                          "called from - hvs_Object_A_Step_0 (line 3)\n"),
              std::string::npos)
        << report;
    EXPECT_EQ(g_RunnerRunning, 1);  // not fatal: the game goes on
}

TEST_F(FrameLoop, HandlerInheritedFromTheParentSeesTheParentAsEventObject) {
    ASSERT_TRUE(Load(MakeGame({MakeObject("P", {{EVENT_STEP, 0, 1}}), MakeObject("C", {}, 0)},
                              {MakeRoom("room0", {At(1, 100001)})}, {0})));
    std::vector<int32_t> seen;
    Label(1, "", [&](CInstance* self, CInstance*) {
        seen = {self->object_index, g_CurrentEvent.object, g_CurrentEvent.type, g_CurrentEvent.number};
    });
    Start();
    Harness_RunFrames(1);
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 0, EVENT_STEP, 0}));
}

TEST_F(FrameLoop, AlarmsCountDownAndFireAtZero) {
    ASSERT_TRUE(Load(OneRoomGame(60, {{EVENT_ALARM, 0, 1}, {EVENT_ALARM, 11, 2}}, {At(0, 100001)})));
    Label(1, "alarm 0");
    Label(2, "alarm 11");
    Start();
    CInstance* a = FirstOf(0);
    a->alarm[0] = 1;
    a->alarm[11] = 0;
    a->alarm[5] = 3;  // no handler for alarm 5: not counted down
    Harness_RunFrames(1);
    EXPECT_EQ(Log(), std::vector<std::string>{"alarm 0"});
    EXPECT_EQ(a->alarm[0], 0);
    EXPECT_EQ(a->alarm[11], -1);
    EXPECT_EQ(a->alarm[5], 3);
    Harness_RunFrames(1);
    EXPECT_EQ(a->alarm[0], -1);
    EXPECT_EQ(Log().size(), 1u);
}

TEST_F(FrameLoop, InstanceMadeInTheStepWaitsForTheNextStage) {
    ASSERT_TRUE(
        Load(OneRoomGame(60, {{EVENT_STEP, STEP_NORMAL, 1}, {EVENT_STEP, STEP_END, 2}}, {At(0, 100001)})));
    Label(1, "", [](CInstance* self, CInstance*) {
        Log().push_back("step " + std::to_string(self->id));
        if (self->id == 100001 && CountInstances(0) == 1) Run_Room()->CreateInstance(0.0f, 0.0f, 0);
    });
    Label(2, "", [](CInstance* self, CInstance*) { Log().push_back("end " + std::to_string(self->id)); });
    Start();
    Harness_RunFrames(1);
    const int32_t made = Room_LastInstanceID();
    EXPECT_EQ(Log(), (std::vector<std::string>{"step 100001", "end 100001", "end " + std::to_string(made)}));
}

TEST_F(FrameLoop, SpeedMovesInstancesAndKeepsThePreviousPosition) {
    ASSERT_TRUE(Load(OneRoomGame(60, {}, {At(0, 100001, 10, 20)})));
    Start();
    CInstance* a = FirstOf(0);
    a->hspeed = 2.0f;
    a->vspeed = -1.0f;
    Harness_RunFrames(2);
    EXPECT_FLOAT_EQ(a->x, 14.0f);
    EXPECT_FLOAT_EQ(a->y, 18.0f);
    EXPECT_FLOAT_EQ(a->xprevious, 12.0f);
    EXPECT_FLOAT_EQ(a->yprevious, 19.0f);
}

// Sprite 0 has four frames, sprite 1 none.
TEST_F(FrameLoop, AnimationWrapsAndEndsOnlyForSpritesWithFrames) {
    ASSERT_TRUE(Load(OneRoomGame(60, {{EVENT_OTHER, OTHER_ANIMATION_END, 1}}, {At(0, 100001)})));
    InstanceWorldHooks hooks = InstanceWorld();
    hooks.spriteInfo = [](int32_t sprite, SpriteInfo* out) {
        if (sprite != 0 && sprite != 1) return false;
        *out = SpriteInfo{sprite == 0 ? 4 : 0, false, 0.0};
        return true;
    };
    InstanceWorld_Install(&hooks);
    Label(1, "animation end");
    Start();
    CInstance* a = FirstOf(0);
    struct Case {
        int32_t sprite;
        float index, speed, after;
        size_t events;
    };
    for (const Case& c : {Case{0, 3.5f, 1.0f, 0.5f, 1}, Case{0, -0.5f, 0.0f, 3.5f, 1},
                          Case{0, 1.0f, 1.0f, 2.0f, 0}, Case{1, 3.5f, 1.0f, 4.5f, 0}}) {
        Log().clear();
        a->sprite_index = c.sprite;
        a->image_index = c.index;
        a->image_speed = c.speed;
        Instance_AnimateImage(a);
        EXPECT_FLOAT_EQ(a->image_index, c.after) << c.sprite << " " << c.index;
        EXPECT_EQ(Log().size(), c.events) << c.sprite << " " << c.index;
    }
}

TEST_F(FrameLoop, EndAndAbortStopTheLoopAndTheHarnessStopsAfterNFrames) {
    ASSERT_TRUE(Load(OneRoomGame(60)));
    Start();
    Harness_StopAfterFrames(5);
    EXPECT_EQ(Harness_RunFrames(100), 5);
    EXPECT_EQ(g_RunnerRunning, 0);
    g_RunnerRunning = 1;
    NewRoomCode = ROOM_END_GAME;
    EXPECT_EQ(Harness_RunFrames(100), 1);
    EXPECT_EQ(g_RunnerRunning, 0);
}

TEST_F(FrameLoop, RestartEndsTheGameAndStartsItAgain) {
    ASSERT_TRUE(Load(
        MakeGame({MakeObject("A", {{EVENT_OTHER, OTHER_GAME_END, 1}, {EVENT_OTHER, OTHER_GAME_START, 2}})},
                 {MakeRoom("room0", {At(0, 100001)}), MakeRoom("room1")}, {0, 1})));
    Label(1, "game end");
    Label(2, "game start");
    Start();
    NewRoomCode = 1;
    Harness_RunFrames(1);
    ASSERT_EQ(Run_RoomIndex(), 1);
    NewRoomCode = ROOM_RESTART_GAME;
    Harness_RunFrames(1);
    EXPECT_EQ(Run_RoomIndex(), 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"game start", "game start"}));
    EXPECT_EQ(CountInstances(0), 1);
}

}  // namespace
