// The gunman in the running game: sighting, chase, charge and shot; standing still through a
// conversation; giving up on a removed player; sliding along a wall.
#include <cmath>

#include "GameWorld.h"
#include "game/Game_Actions.h"

namespace {

using namespace hvs;

class GunmanTest : public gametest::GameWorldTest {
protected:
    void SetUp() override {
        GameWorldTest::SetUp();
        StartGame();
        std::vector<CInstance*> gunmen = All(OBJ_obj_gunman);
        ASSERT_EQ(gunmen.size(), 4u);
        m_gunman = gunmen.front();
        for (size_t i = 1; i < gunmen.size(); ++i) Game_InstanceDestroyDirect(gunmen[i]);
        m_dude = First(OBJ_obj_dude);
        ASSERT_NE(m_dude, nullptr);
    }

    // Pausing, with the pause not yet over: the one state in which it looks for the player.
    void Pause() {
        SetSlot(m_gunman, S_state, 1);
        SetSlot(m_gunman, S_done, 0);
        m_gunman->alarm[0] = 1000;
    }

    CInstance* m_gunman = nullptr;
    CInstance* m_dude = nullptr;
};

TEST_F(GunmanTest, CreateSetsItsWalkAndItsSenses) {
    MovePlayer(m_gunman->x, m_gunman->y + 200);  // the camera keeps it active
    Frames(1);
    EXPECT_EQ(Slot(m_gunman, S_in_air), 0) << "the parent's Create runs first";
    EXPECT_EQ(Slot(m_gunman, S_target_object), kNoone);
    EXPECT_EQ(Slot(m_gunman, S_view_radius), 250);
    EXPECT_EQ(Slot(m_gunman, S_shoot_radius), 150);
    EXPECT_EQ(Slot(m_gunman, S_gs_stone), SND_snd_foot_2);
    EXPECT_EQ(m_gunman->image_speed, 0.25f);
    EXPECT_EQ(m_gunman->mask_index, SPR_spr_mask_dude);
    const double move = std::hypot(Slot(m_gunman, S_move_target_x) - m_gunman->xstart,
                                   Slot(m_gunman, S_move_target_y) - m_gunman->ystart);
    EXPECT_GE(move, 40);  // its first step drew a wander target
    EXPECT_LE(move, 90);
    EXPECT_EQ(Errors(), "");
}

TEST_F(GunmanTest, SeesThePlayerWhilePausingChargesForASecondAndFiresAlongItsAim) {
    MovePlayer(m_gunman->x + 200, m_gunman->y);
    Pause();
    Frames(1);
    EXPECT_EQ(Slot(m_gunman, S_state), 2);
    EXPECT_EQ(Slot(m_gunman, S_target_object), OBJ_obj_dude);
    Frames(1);
    EXPECT_EQ(Slot(m_gunman, S_state), 2);
    EXPECT_EQ(Slot(m_gunman, S_move_target_x), m_dude->x) << "chasing: the player is 200 pixels away";

    MovePlayer(m_gunman->x + 120, m_gunman->y);
    Frames(1);
    EXPECT_EQ(Slot(m_gunman, S_state), 4);
    EXPECT_EQ(Plays(SND_snd_charge_1), 1);
    Frames(59);
    EXPECT_EQ(Count(OBJ_obj_bullet_1), 0);
    Frames(1);
    EXPECT_EQ(Slot(m_gunman, S_state), 3);
    CInstance* bullet = First(OBJ_obj_bullet_1);
    ASSERT_NE(bullet, nullptr);
    EXPECT_EQ(Plays(SND_snd_hyper_1) + Plays(SND_snd_hyper_2), 1);
    const double angle = Slot(m_gunman, S_angle);
    EXPECT_NEAR(std::remainder(angle, 360.0), 0, 1) << "60 steps of aim turned it to the player";
    EXPECT_FLOAT_EQ(bullet->direction, static_cast<float>(angle));
    EXPECT_FLOAT_EQ(bullet->image_angle, bullet->direction);
    EXPECT_EQ(bullet->speed, 5.0f);
    Frames(30);
    EXPECT_EQ(Slot(m_gunman, S_state), 0);
    EXPECT_EQ(Count(OBJ_obj_bullet_1) + Count(OBJ_obj_bullet_poof_1), 1);
    EXPECT_EQ(Errors(), "");
}

TEST_F(GunmanTest, StandsStillThroughAConversationWhileItsAlarmsCount) {
    MovePlayer(m_gunman->x, m_gunman->y + 200);
    Frames(20);
    SetSlot(First(OBJ_obj_state_manager), S_state, 1);
    const float x = m_gunman->x, y = m_gunman->y, depth = m_gunman->depth;
    const double angle = Slot(m_gunman, S_angle);
    const int32_t footsteps = m_gunman->alarm[1];
    Frames(10);
    EXPECT_EQ(m_gunman->x, x);
    EXPECT_EQ(m_gunman->y, y);
    EXPECT_EQ(m_gunman->depth, depth);
    EXPECT_EQ(Slot(m_gunman, S_angle), angle);
    EXPECT_NE(m_gunman->alarm[1], footsteps);
    EXPECT_EQ(Errors(), "");
}

TEST_F(GunmanTest, AChaseAfterThePlayersRemovalMovesTheHomePointAndWandersAgain) {
    MovePlayer(m_gunman->x + 200, m_gunman->y);
    Pause();
    Frames(1);
    ASSERT_EQ(Slot(m_gunman, S_state), 2);
    Frames(1);
    const double lastX = Slot(m_gunman, S_move_target_x), lastY = Slot(m_gunman, S_move_target_y);
    Game_InstanceDestroyDirect(m_dude);
    Frames(1);
    EXPECT_EQ(Count(OBJ_obj_dude), 0);
    EXPECT_EQ(m_gunman->xstart, static_cast<float>(lastX));
    EXPECT_EQ(m_gunman->ystart, static_cast<float>(lastY));
    // Wandering at once: its next step drew a new target about the new home point.
    Frames(1);
    EXPECT_EQ(Slot(m_gunman, S_state), 0);
    EXPECT_EQ(Slot(m_gunman, S_done), 0);
    EXPECT_EQ(Slot(m_gunman, S_target_object), OBJ_obj_dude) << "the aim target is never cleared";
    Frames(20);
    EXPECT_EQ(Errors(), "");
}

// Walking diagonally into the room's west wall: x stops at the wall, y slides on.
TEST_F(GunmanTest, SlidesAlongAWallItWalksIntoDiagonally) {
    MovePlayer(200, 800);
    m_gunman->SetPosition(48, 800);
    SetSlot(m_gunman, S_state, 3);  // after a shot: it walks to its target and waits
    SetSlot(m_gunman, S_done, 0);
    m_gunman->alarm[0] = 1000;
    SetSlot(m_gunman, S_move_target_x, -100);
    SetSlot(m_gunman, S_move_target_y, 1200);
    Frames(40);
    EXPECT_GT(m_gunman->x, 36.0f) << "its mask, 6 pixels left of its origin, stays out of the wall";
    EXPECT_LT(m_gunman->x, 48.0f);
    EXPECT_GT(m_gunman->y, 840.0f);
    EXPECT_EQ(Slot(m_gunman, S_dir), 3) << "heading mostly down";
    EXPECT_EQ(Errors(), "");
}

// The footstep clock runs every 20 steps; a step sounds only while the gunman moves, on the
// ground's sound.
TEST_F(GunmanTest, FootstepsSoundEveryTwentyStepsOnlyWhileItMoves) {
    MovePlayer(m_gunman->x, m_gunman->y + 200);
    SetSlot(m_gunman, S_state, 3);  // waits where it stands
    SetSlot(m_gunman, S_done, 0);
    m_gunman->alarm[0] = 1000;
    SetSlot(m_gunman, S_move_target_x, m_gunman->x);
    SetSlot(m_gunman, S_move_target_y, m_gunman->y);
    Frames(30);  // whatever speed it had has worn off
    gametest::Played().sounds.clear();
    Frames(40);
    EXPECT_EQ(Plays(SND_snd_foot_1) + Plays(SND_snd_foot_2), 0);

    SetSlot(m_gunman, S_move_target_x, m_gunman->x + 150);
    Frames(60);
    EXPECT_EQ(Plays(SND_snd_foot_1), 3);
    EXPECT_EQ(Plays(SND_snd_foot_2), 0);
    EXPECT_EQ(Errors(), "");
}

}  // namespace
