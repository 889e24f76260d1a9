// The whole game from its start, seeded, played by recorded input: the player talks with the
// first cat, then walks north and east towards the first gunman's ground and stands. The gunman
// sees him, charges and fires; the player dies. The record played back twice more, as a headless
// run plays it, ends in the same state.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "GameWorld.h"
#include "game/Game_Actions.h"

namespace {

using namespace hvs;

constexpr int32_t kKeyW = 87, kKeyD = 68;
constexpr int64_t kFrames = 1100;

// The keys, by step: a key goes down at `from` and up at `to`.
struct KeyHold {
    int64_t from, to;
    int32_t key;
};
// East to the first cat; Space completes its words and closes its bubble; once it has gone, north
// and east towards the first gunman, then stand.
constexpr KeyHold kInput[] = {
    {1, 45, kKeyD}, {130, 131, kVkSpace}, {170, 171, kVkSpace}, {260, 340, kKeyW}, {340, 400, kKeyD}};

class DeathRunTest : public gametest::GameWorldTest {
protected:
    void TearDown() override {
        GameWorldTest::TearDown();
        g_Switches.recording = g_Switches.playback = false;
        g_Switches.recordFile.clear();
    }

    // What the run left: every instance's object and place, the player's flags, the state.
    static std::string FinalState() {
        std::ostringstream out;
        out.precision(10);
        if (CRoom* room = Run_Room())
            for (const InstanceList* list : {&room->active, &room->deactivated})
                for (CInstance* i = list->head; i != nullptr; i = i->depthNext)
                    out << i->id << ":" << i->object_index << "@" << i->x << "," << i->y << " ";
        if (CInstance* manager = First(OBJ_obj_state_manager)) out << "state " << Slot(manager, S_state);
        return out.str();
    }

    struct Run {
        int64_t talkStep = -1, closedStep = -1, catGoneStep = -1;
        int64_t hitStep = -1, removedStep = -1;
        bool deadPoofAtRemoval = false;
        std::string final;
    };

    // One run of kFrames steps; live keys (and recording) when `live`, else the record plays.
    Run Play(bool live) {
        StartGame();
        Run run;
        for (int64_t step = 1; step <= kFrames; ++step) {
            for (const KeyHold& k : kInput) {
                if (!live) break;
                if (step == k.from) IO_OnKeyDown(k.key, false);
                if (step == k.to) IO_OnKeyUp(k.key);
            }
            const bool talking = Count(OBJ_obj_speech) == 1;
            Frames(1);
            if (run.talkStep < 0 && Count(OBJ_obj_speech) == 1) run.talkStep = step;
            if (run.closedStep < 0 && talking && Count(OBJ_obj_speech) == 0) run.closedStep = step;
            if (run.catGoneStep < 0 && Count(OBJ_obj_cat_poof) == 1) run.catGoneStep = step;
            CInstance* dude = First(OBJ_obj_dude);
            if (run.hitStep < 0 && dude && Slot(dude, S_dead) == 1) run.hitStep = step;
            if (run.removedStep < 0 && run.hitStep >= 0 && !dude) {
                run.removedStep = step;
                run.deadPoofAtRemoval = Count(OBJ_obj_dead_poof) == 1;
            }
        }
        run.final = FinalState();
        return run;
    }

    void Restart() {
        GameWorldTest::TearDown();
        GameWorldTest::SetUp();
    }
};

TEST_F(DeathRunTest, RecordedInputReachesTheDeathStateAndPlaysBackToTheSameEnd) {
    const std::filesystem::path record =
        std::filesystem::temp_directory_path() / ("hv_death_run_" + std::to_string(::getpid()) + ".rec");
    g_Switches.recording = true;
    g_Switches.recordFile = record.string();
    const Run recorded = Play(true);
    EXPECT_EQ(Errors(), "");
    ASSERT_GT(recorded.talkStep, 0);
    EXPECT_GT(recorded.closedStep, recorded.talkStep);
    EXPECT_EQ(recorded.catGoneStep, recorded.closedStep + 60) << "the cat's poof, 60 steps after its bubble";
    ASSERT_GT(recorded.hitStep, recorded.catGoneStep) << recorded.final;
    EXPECT_EQ(recorded.removedStep, recorded.hitStep + 120);
    EXPECT_TRUE(recorded.deadPoofAtRemoval);
    EXPECT_NE(recorded.final.find("state 3"), std::string::npos) << recorded.final;
    // One record a step, the settling first step included.
    EXPECT_EQ(std::filesystem::file_size(record), static_cast<uintmax_t>((kFrames + 1) * IO_RECORD_SIZE));

    g_Switches.recording = false;
    g_Switches.playback = true;
    for (int pass = 0; pass < 2; ++pass) {
        Restart();
        const Run played = Play(false);
        EXPECT_EQ(played.closedStep, recorded.closedStep) << pass;
        EXPECT_EQ(played.hitStep, recorded.hitStep) << pass;
        EXPECT_EQ(played.removedStep, recorded.removedStep) << pass;
        EXPECT_EQ(played.final, recorded.final) << pass;
        EXPECT_EQ(Errors(), "");
    }
    std::filesystem::remove(record);
}

}  // namespace
