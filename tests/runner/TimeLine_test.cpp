// Time lines: the TMLN reader, the table, moment searches and edits, and the time-line stage
// forwards, backwards, looped and with positions moved by game code.
#include "GameLoopTestSupport.h"

using namespace gameloop_test;

namespace {

class TimeLines : public GameLoopTest {
protected:
    // One object whose Create event starts time line 0 at `position` with `speed`; the time
    // line's moments are at `times`, moment k running handler 20 + k, which logs "m<time>@<step>".
    void StartTimeLine(std::vector<int32_t> times, float position, float speed, bool loop) {
        formpack::TimeLine line;
        line.name = "line";
        for (size_t k = 0; k < times.size(); ++k) {
            line.moments.push_back({times[k], static_cast<int32_t>(20 + k)});
            const std::string text = "m" + std::to_string(times[k]);
            Label(static_cast<int>(20 + k), "", [text](CInstance*, CInstance*) {
                Log().push_back(text + "@" + std::to_string(g_FrameTiming.stepCount));
            });
        }
        formpack::FormFile game =
            MakeGame({MakeObject("A", {{EVENT_CREATE, 0, 1}})}, {MakeRoom("r0", {At(0, 100001)})}, {0});
        game.timeLines = std::vector<formpack::TimeLine>{line};
        ASSERT_TRUE(Load(game));
        Label(1, "", [=](CInstance* self, CInstance*) {
            self->timeline_index = 0;
            self->timeline_position = position;
            self->timeline_speed = speed;
            self->timeline_running = 1;
            self->timeline_loop = loop ? 1 : 0;
        });
        Start();
    }
};

TEST_F(TimeLines, TableSearchesAndEdits) {
    CTimeLine* line = TimeLine_Get(TimeLine_Add());
    ASSERT_NE(line, nullptr);
    EXPECT_STREQ(TimeLine_GetName(0), "__newtimeline0");
    EXPECT_EQ(line->FirstAtOrAfter(3), 0);
    EXPECT_EQ(line->LastAtOrBefore(3), -1);
    for (int32_t t : {5, 1, 3}) line->AddMoment(t, 7);
    EXPECT_EQ(line->GetCount(), 3);
    EXPECT_EQ((std::vector<int32_t>{line->GetTime(0), line->GetTime(1), line->GetTime(2)}),
              (std::vector<int32_t>{1, 3, 5}));
    EXPECT_EQ(line->GetEvent(0), 7u * 2 + 1);
    EXPECT_EQ(line->GetEvent(3), 0u);
    EXPECT_EQ(line->GetTime(-1), 0);
    struct Search {
        double at;
        int32_t first, last;
    };
    for (const Search& s :
         {Search{0.5, 0, -1}, Search{1, 0, 0}, Search{2.5, 1, 0}, Search{5, 2, 2}, Search{6, 3, 2}})
        EXPECT_EQ(std::make_pair(line->FirstAtOrAfter(s.at), line->LastAtOrBefore(s.at)),
                  std::make_pair(s.first, s.last))
            << s.at;
    line->SetMomentScript(3, 9);
    EXPECT_EQ(line->GetEvent(1), 9u * 2 + 1);
    line->ClearMoment(4);  // no moment there
    EXPECT_EQ(line->GetCount(), 3);
    line->ClearMoment(3);
    EXPECT_EQ(line->GetCount(), 2);
    EXPECT_EQ(line->GetTime(1), 5);
    EXPECT_EQ(line->FindMoment(5), 1);
    EXPECT_EQ(line->FindMoment(3), -1);
}

// Deleting leaves an empty slot: later time lines keep their indices.
TEST_F(TimeLines, DeletingLeavesAnEmptySlot) {
    TimeLine_Add();
    TimeLine_Add();
    const CTimeLine* second = TimeLine_Get(1);
    EXPECT_TRUE(TimeLine_Delete(0));
    EXPECT_FALSE(TimeLine_Delete(0));
    EXPECT_FALSE(TimeLine_Exists(0));
    EXPECT_STREQ(TimeLine_GetName(0), "<undefined>");
    EXPECT_EQ(TimeLine_Get(1), second);
    EXPECT_EQ(TimeLine_Count(), 2);
    EXPECT_EQ(TimeLine_FindByName("__newtimeline1"), 1);
    EXPECT_EQ(TimeLine_Add(), 2);
}

TEST_F(TimeLines, ReaderKeepsNamesAndMoments) {
    formpack::TimeLine a, b;
    a.name = "intro";
    a.moments = {{0, 1}, {30, 2}};
    formpack::FormFile game = MakeGame({}, {}, {});
    game.timeLines = std::vector<formpack::TimeLine>{a, b};  // b has no name: an empty slot
    ASSERT_TRUE(Load(game));
    EXPECT_EQ(TimeLine_Count(), 2);
    EXPECT_EQ(TimeLine_FindByName("intro"), 0);
    EXPECT_FALSE(TimeLine_Exists(1));
    ASSERT_EQ(TimeLine_Get(0)->GetCount(), 2);
    EXPECT_EQ(TimeLine_Get(0)->GetTime(1), 30);
    EXPECT_NE(TimeLine_Get(0)->GetEvent(1) & 1u, 1u);  // a handler, not a script
}

TEST_F(TimeLines, ForwardsMomentsRunInTheirStages) {
    StartTimeLine({0, 3}, 0.0f, 1.0f, false);
    Harness_RunFrames(5);
    EXPECT_EQ(Log(), (std::vector<std::string>{"m0@0", "m3@3"}));
    EXPECT_FLOAT_EQ(FirstOf(0)->timeline_position, 5.0f);
}

TEST_F(TimeLines, FasterSpeedRunsTheMomentsItPasses) {
    StartTimeLine({2}, 1.0f, 2.0f, false);
    Harness_RunFrames(2);
    EXPECT_EQ(Log(), std::vector<std::string>{"m2@0"});
}

TEST_F(TimeLines, BackwardsLoopedWraps) {
    StartTimeLine({0, 3}, 3.0f, -1.0f, true);
    Harness_RunFrames(4);
    EXPECT_EQ(Log(), (std::vector<std::string>{"m3@0", "m0@3"}));
    EXPECT_FLOAT_EQ(FirstOf(0)->timeline_position, 3.0f);
    Harness_RunFrames(1);
    EXPECT_EQ(Log().back(), "m3@4");
}

TEST_F(TimeLines, ForwardsLoopedReturnsToZeroPastTheLastMoment) {
    StartTimeLine({5}, 0.0f, 1.0f, true);
    Harness_RunFrames(6);
    EXPECT_FLOAT_EQ(FirstOf(0)->timeline_position, 0.0f);
    Harness_RunFrames(6);
    EXPECT_EQ(Log(), (std::vector<std::string>{"m5@5", "m5@11"}));
}

TEST_F(TimeLines, AMomentThatMovesThePositionKeepsIt) {
    StartTimeLine({1}, 0.0f, 1.0f, false);
    Handlers().actions[20] = [](CInstance* self, CInstance*) { self->timeline_position = 10.0f; };
    Harness_RunFrames(2);
    EXPECT_FLOAT_EQ(FirstOf(0)->timeline_position, 10.0f);
}

TEST_F(TimeLines, APositionSetByCodeAtSpeedZeroRunsThePassedMoments) {
    StartTimeLine({0, 2, 4, 5}, 0.0f, 0.0f, false);
    Harness_RunFrames(1);
    EXPECT_TRUE(Log().empty());
    FirstOf(0)->timeline_position = 5.0f;
    Harness_RunFrames(1);
    EXPECT_EQ(Log(), (std::vector<std::string>{"m0@1", "m2@1", "m4@1"}));
}

TEST_F(TimeLines, ARoomChangeStopsTheLaterMomentsButPositionsStillAdvance) {
    formpack::TimeLine line;
    line.name = "line";
    line.moments = {{0, 2}, {0, 3}};
    formpack::FormFile game =
        MakeGame({MakeObject("A", {{EVENT_CREATE, 0, 1}})},
                 {MakeRoom("r0", {At(0, 100001), At(0, 100002)}), MakeRoom("r1")}, {0, 1});
    game.timeLines = std::vector<formpack::TimeLine>{line};
    ASSERT_TRUE(Load(game));
    Label(1, "", [](CInstance* self, CInstance*) {
        self->timeline_index = 0;
        self->timeline_running = 1;
    });
    Label(2, "first moment", [](CInstance*, CInstance*) { NewRoomCode = 1; });
    Label(3, "second moment");
    Start();
    CInstance* a = Instance_Find(100001);
    CInstance* b = Instance_Find(100002);
    DoAStep();
    EXPECT_EQ(Log(), std::vector<std::string>{"first moment"});
    EXPECT_FLOAT_EQ(a->timeline_position, 1.0f);
    EXPECT_FLOAT_EQ(b->timeline_position, 1.0f);
}

}  // namespace
