// Bullets in the running game: passing under a jumping player, killing a grounded one once,
// bursting on a wall, expiring unburst; the bursts' and the dead player's poofs.
#include "GameWorld.h"
#include "game/Game_Actions.h"

namespace {

using namespace hvs;

class BulletsTest : public gametest::GameWorldTest {
protected:
    void SetUp() override {
        GameWorldTest::SetUp();
        StartGameWithoutGunmen();
        m_dude = First(OBJ_obj_dude);
        ASSERT_NE(m_dude, nullptr);
    }

    // A bullet as a gunman fires it: along `direction` at 5 pixels a step.
    static CInstance* Fire(float x, float y, float direction) {
        CInstance* bullet = Instance_Find(Game_InstanceCreateDirect(x, y, OBJ_obj_bullet_1));
        EXPECT_NE(bullet, nullptr);
        if (bullet == nullptr) return nullptr;
        SetBuiltinReal(bullet, V_direction, ARRAY_INDEX_WHOLE, direction);
        SetBuiltinReal(bullet, V_image_angle, ARRAY_INDEX_WHOLE, direction);
        SetBuiltinReal(bullet, V_speed, ARRAY_INDEX_WHOLE, 5);
        return bullet;
    }
    double State() { return Slot(First(OBJ_obj_state_manager), S_state); }

    CInstance* m_dude = nullptr;
};

TEST_F(BulletsTest, PassesUnderAJumpingPlayerAndKillsAGroundedOneOnce) {
    const float x = m_dude->x, y = m_dude->y;
    Press(kVkSpace);
    ASSERT_EQ(Slot(m_dude, S_in_air), 1);
    Fire(x - 30, y, 0);
    Frames(18);
    EXPECT_EQ(Slot(m_dude, S_dead), 0) << "the bullet passed under him";
    EXPECT_EQ(Count(OBJ_obj_bullet_1), 1);
    EXPECT_EQ(Count(OBJ_obj_bullet_poof_1), 0);
    Frames(10);
    ASSERT_EQ(Slot(m_dude, S_in_air), 0) << "landed";

    const float at = m_dude->x;
    Fire(at - 30, y, 0);
    int steps = 0;
    while (Slot(m_dude, S_dead) == 0 && steps < 20) Frames(1), ++steps;
    ASSERT_EQ(Slot(m_dude, S_dead), 1);
    EXPECT_EQ(m_dude->alarm[1], 120);
    EXPECT_EQ(State(), 3);
    EXPECT_EQ(Count(OBJ_obj_bullet_poof_1), 1);
    CInstance* poof = First(OBJ_obj_bullet_poof_1);
    EXPECT_EQ(poof->depth, -poof->y);

    // A second hit bursts, and the death alarm runs on.
    Frames(10);
    Fire(m_dude->x - 30, m_dude->y, 0);
    Frames(10);
    EXPECT_EQ(Count(OBJ_obj_bullet_poof_1), 2);
    EXPECT_EQ(m_dude->alarm[1], 100);
    EXPECT_EQ(State(), 3);

    Frames(99);
    ASSERT_EQ(Count(OBJ_obj_dude), 1);
    const float deadX = m_dude->x, deadY = m_dude->y;
    Frames(1);  // 120 steps after the hit
    EXPECT_EQ(Count(OBJ_obj_dude), 0);
    CInstance* cloud = First(OBJ_obj_dead_poof);
    ASSERT_NE(cloud, nullptr);
    EXPECT_EQ(cloud->x, deadX);
    EXPECT_EQ(cloud->y, deadY);
    EXPECT_EQ(State(), 3);
    Frames(47);  // 12 frames at a quarter speed
    EXPECT_EQ(Count(OBJ_obj_dead_poof), 1);
    Frames(1);
    EXPECT_EQ(Count(OBJ_obj_dead_poof), 0);
    EXPECT_EQ(Errors(), "");
}

TEST_F(BulletsTest, BurstsOnAWallAndExpiresUnburstAfterTwoHundredSteps) {
    MovePlayer(150, 900);  // the camera keeps the west wall active
    CInstance* free = Fire(400, 700, 0);
    Frames(199);
    EXPECT_NEAR(free->x, 400 + 199 * 5, 1e-3) << "flown out of view, still moving";
    EXPECT_EQ(Count(OBJ_obj_bullet_1), 1);
    Frames(1);
    EXPECT_EQ(Count(OBJ_obj_bullet_1), 0);
    EXPECT_EQ(Count(OBJ_obj_bullet_poof_1), 0);

    Fire(120, 700, 180);
    Frames(20);
    EXPECT_EQ(Count(OBJ_obj_bullet_1), 0);
    CInstance* burst = First(OBJ_obj_bullet_poof_1);
    ASSERT_NE(burst, nullptr);
    EXPECT_LT(burst->x, 60.0f);
    EXPECT_EQ(burst->image_speed, 0.25f);
    EXPECT_EQ(Errors(), "");
}

}  // namespace
