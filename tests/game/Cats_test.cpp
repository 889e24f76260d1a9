// The cats in the running game: the visible cat's conversation from the player's approach to
// its poof, the hidden cats' sequence for a carried crystal, and a removed player read as
// nobody.
#include "GameWorld.h"
#include "game/Game_Actions.h"

namespace {

using namespace hvs;

class CatsTest : public gametest::GameWorldTest {
protected:
    void SetUp() override {
        GameWorldTest::SetUp();
        StartGameWithoutGunmen();
        m_dude = First(OBJ_obj_dude);
        ASSERT_NE(m_dude, nullptr);
    }

    double State() { return Slot(First(OBJ_obj_state_manager), S_state); }
    // Presses that complete the bubble's words and then close it.
    void CloseBubble() {
        ASSERT_EQ(Count(OBJ_obj_speech), 1);
        Press(kVkSpace);
        Press(kVkSpace);
        ASSERT_EQ(Count(OBJ_obj_speech), 0);
    }

    CInstance* m_dude = nullptr;
};

TEST_F(CatsTest, TheFirstCatTalksWithinAHundredPixelsAndVanishesSixtyStepsAfterItsBubble) {
    CInstance* cat = First(OBJ_obj_cat_1);
    ASSERT_NE(cat, nullptr);
    EXPECT_EQ(Slot(cat, S_voice), SND_snd_purr);
    EXPECT_EQ(cat->depth, -cat->y);

    // Exactly 100 pixels away is not close enough.
    MovePlayer(cat->x + 100, cat->y);
    Frames(2);
    EXPECT_EQ(Slot(cat, S_progress), 0);
    EXPECT_EQ(Count(OBJ_obj_speech), 0);
    EXPECT_EQ(cat->image_xscale, -1.0f) << "the cat faces the player to its right";

    MovePlayer(cat->x + 99, cat->y);
    Frames(1);
    EXPECT_EQ(Slot(cat, S_progress), 1);
    EXPECT_EQ(State(), 1);
    CInstance* bubble = First(OBJ_obj_speech);
    ASSERT_NE(bubble, nullptr);
    EXPECT_EQ(Slot(bubble, S_word_delay), 11);
    EXPECT_EQ(bubble->image_yscale, 1.0f) << "the cat does not stand higher than the player";
    EXPECT_EQ(Slot(bubble, S_length), 16);

    Frames(7);
    EXPECT_EQ(Plays(SND_snd_purr), 1);
    Press(kVkSpace);  // completes the words without their voices
    EXPECT_EQ(Plays(SND_snd_purr), 1);
    Press(kVkSpace);  // closes the bubble
    ASSERT_EQ(Count(OBJ_obj_speech), 0);

    // The bubble is gone within the step, before the cat's own step looks for it.
    const float catX = cat->x;
    Frames(59);
    EXPECT_EQ(Slot(cat, S_progress), 2);
    EXPECT_EQ(Count(OBJ_obj_cat_poof), 0);
    EXPECT_EQ(State(), 1);
    Frames(1);
    EXPECT_EQ(Count(OBJ_obj_cat_1), 0);
    CInstance* poof = First(OBJ_obj_cat_poof);
    ASSERT_NE(poof, nullptr);
    EXPECT_EQ(poof->x, catX);
    EXPECT_EQ(Plays(SND_snd_cat_poof), 1);
    EXPECT_EQ(State(), 2);
    Frames(44);  // 11 frames at a quarter speed
    EXPECT_EQ(Count(OBJ_obj_cat_poof), 0);
    EXPECT_EQ(Errors(), "");
}

TEST_F(CatsTest, TheBubbleOpensUpwardsOnlyWhenTheCatStandsHigher) {
    CInstance* cat = First(OBJ_obj_cat_1);
    MovePlayer(cat->x, cat->y + 50);
    Frames(1);
    CInstance* bubble = First(OBJ_obj_speech);
    ASSERT_NE(bubble, nullptr);
    EXPECT_EQ(bubble->image_yscale, -1.0f);
    EXPECT_EQ(cat->sprite_index, SPR_spr_cat_idle_1_down);
    EXPECT_EQ(Errors(), "");
}

// A flag, not a count: the player who picked up both crystals serves only the first hidden cat
// he reaches.
TEST_F(CatsTest, AHiddenCatTakesTheCrystalAndTheNextOneIgnoresThePlayer) {
    CInstance* cat2 = First(OBJ_obj_cat_2);
    CInstance* cat3 = First(OBJ_obj_cat_3);
    ASSERT_NE(cat2, nullptr);
    ASSERT_NE(cat3, nullptr);
    EXPECT_EQ(cat2->visible, 0);
    EXPECT_EQ(cat2->sprite_index, SPR_spr_cat_spawn);

    MovePlayer(cat2->x + 40, cat2->y + 30);
    Frames(5);
    EXPECT_EQ(Slot(cat2, S_progress), 0) << "no crystal, no cat";

    SetSlot(m_dude, S_carrying_artefact, 1);
    Frames(1);
    EXPECT_EQ(Slot(cat2, S_progress), 1);
    EXPECT_EQ(State(), 1);
    CInstance* camera = First(OBJ_obj_camera);
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(Slot(camera, S_target_x), cat2->x);
    EXPECT_EQ(Slot(camera, S_target_object), kNoone);

    Frames(59);
    EXPECT_EQ(Slot(cat2, S_progress), 1);
    Frames(1);  // 60 steps on the hidden cat, then it appears in the same step
    EXPECT_EQ(Slot(cat2, S_progress), 3);
    EXPECT_EQ(cat2->visible, 1);
    EXPECT_EQ(cat2->image_speed, 0.25f);
    EXPECT_EQ(Plays(SND_snd_cat_spawn), 1);
    Frames(29);
    EXPECT_EQ(Slot(cat2, S_progress), 3);
    Frames(1);  // 30 steps of spawning, then it takes the crystal and talks
    EXPECT_EQ(Slot(cat2, S_progress), 5);
    EXPECT_EQ(Slot(m_dude, S_carrying_artefact), 0);
    EXPECT_EQ(Count(OBJ_obj_speech), 1);
    Frames(30);  // the spawn animation (52 steps) has ended: the cat faces the player
    EXPECT_EQ(Slot(cat2, S_anim_done), 1);
    EXPECT_EQ(cat2->sprite_index, SPR_spr_cat_idle_1_down);
    CloseBubble();
    Frames(74);
    EXPECT_EQ(Slot(cat2, S_progress), 6);
    EXPECT_EQ(State(), 1);
    Frames(1);  // 75 steps on the cat, then it vanishes
    EXPECT_EQ(Count(OBJ_obj_cat_2), 0);
    EXPECT_EQ(Count(OBJ_obj_cat_poof), 1);
    EXPECT_EQ(State(), 2);

    MovePlayer(cat3->x - 40, cat3->y + 30);
    Frames(90);
    EXPECT_EQ(Slot(cat3, S_progress), 0);
    EXPECT_EQ(cat3->visible, 0);
    EXPECT_EQ(State(), 2);
    EXPECT_EQ(Errors(), "");
}

// After the player's removal nothing reads him: no conversation starts, a hidden cat about to
// talk opens its bubble downwards, and nothing raises an error.
TEST_F(CatsTest, ARemovedPlayerReadsAsNobody) {
    CInstance* cat1 = First(OBJ_obj_cat_1);
    CInstance* cat2 = First(OBJ_obj_cat_2);
    const float sprite = static_cast<float>(cat1->sprite_index);
    MovePlayer(cat2->x + 150, cat2->y);  // the camera stays here once he is gone
    Game_InstanceDestroyDirect(m_dude);
    Frames(2);
    ASSERT_EQ(Count(OBJ_obj_dude), 0);
    SetSlot(cat2, S_progress, 4);
    SetSlot(cat2, S_anim_done, 1);
    Frames(1);
    CInstance* bubble = First(OBJ_obj_speech);
    ASSERT_NE(bubble, nullptr);
    EXPECT_EQ(bubble->image_yscale, 1.0f);
    EXPECT_EQ(Slot(cat2, S_progress), 5);
    Frames(5);
    EXPECT_EQ(Slot(cat1, S_progress), 0);
    EXPECT_EQ(static_cast<float>(cat1->sprite_index), sprite);
    EXPECT_EQ(Errors(), "");
}

}  // namespace
