// The player walked, jumped and stopped by a wall with keys fed through the input module and
// the real frame loop; and the sounds the player plays are the data file's sounds of those names.
#include "PlayedGame.h"
#include "audio/Audio_Control.h"
#include "world/Function_Game.h"
#include "runner/GamepadTestSupport.h"

namespace {

using namespace hvs;

constexpr int32_t kLeft = 37, kUp = 38, kRight = 39, kDown = 40, kSpace = 32;

class PlayerTest : public gametest::PlayedGame {
protected:
    void SetUp() override {
        PlayedGame::SetUp();
        FirstFrame();
    }
};

TEST_F(PlayerTest, HoldingAKeyAcceleratesByTheFrameUpToTheLimitJudgedBeforeFriction) {
    Hold(kLeft);  // open ground to the left of the start
    const double expected[] = {1, 1.5, 2, 2.5, 3, 3.5, 4, 3.9375, 3.944444444444};
    double previousX = Builtin(m_dude, V_x);
    for (double speed : expected) {
        Frames(1);
        EXPECT_NEAR(Var(m_dude, S_vel_x), -speed, 1e-5);
        EXPECT_EQ(Var(m_dude, S_vel_y), 0);
        EXPECT_EQ(Var(m_dude, S_dir), 4);
        EXPECT_EQ(Builtin(m_dude, V_sprite_index), SPR_spr_dude_run_left);
    }
    // The position follows the velocity of the frame before (movement comes before acceleration).
    EXPECT_NEAR(previousX - Builtin(m_dude, V_x), 1 + 1.5 + 2 + 2.5 + 3 + 3.5 + 4 + 3.9375, 1e-3);
    Frames(10);
    EXPECT_NEAR(Var(m_dude, S_vel_x), -(3.5 + std::sqrt(19.25)) / 2, 1e-5);

    // Released above the limit: the first frame loses 0.5 and is scaled back to the limit, then
    // the speed falls by 0.5 a frame until the velocity is zeroed.
    Release(kLeft);
    const double limit = (3.5 + std::sqrt(19.25)) / 2, released = (limit - 0.5) * 3.5 / limit;
    Frames(1);
    EXPECT_NEAR(Var(m_dude, S_vel_x), -released, 1e-5);
    Frames(6);
    EXPECT_NEAR(Var(m_dude, S_vel_x), -(released - 3), 1e-5);
    Frames(1);
    EXPECT_EQ(Var(m_dude, S_vel_x), 0);
    EXPECT_EQ(Builtin(m_dude, V_sprite_index), SPR_spr_dude_idle_left);
    EXPECT_EQ(FirstError(), "");
}

TEST_F(PlayerTest, DiagonalKeysGiveAUnitInputAndAnOddDirection) {
    const struct {
        int32_t a, b;
        double x, y;
        int32_t dir, sprite;
    } cases[] = {{kRight, kUp, 1, -1, 1, SPR_spr_dude_run_right_up},
                 {kLeft, kUp, -1, -1, 3, SPR_spr_dude_run_left_up},
                 {kLeft, kDown, -1, 1, 5, SPR_spr_dude_run_left_down},
                 {kRight, kDown, 1, 1, 7, SPR_spr_dude_run_right_down}};
    for (const auto& c : cases) {
        Hold(c.a);
        Hold(c.b);
        Frames(1);
        EXPECT_NEAR(Var(m_dude, S_input_x), c.x * std::sqrt(0.5), 1e-6) << c.dir;
        EXPECT_NEAR(Var(m_dude, S_input_y), c.y * std::sqrt(0.5), 1e-6) << c.dir;
        EXPECT_NEAR(Var(m_dude, S_input_magnitude), 1, 1e-6) << c.dir;
        EXPECT_EQ(Var(m_dude, S_dir), c.dir);
        EXPECT_EQ(Builtin(m_dude, V_sprite_index), c.sprite) << c.dir;
        Release(c.a);
        Release(c.b);
    }
    EXPECT_EQ(FirstError(), "");
}

TEST_F(PlayerTest, WithInputDisabledHeldKeysMoveNothing) {
    SetVar(StateManager(), S_state, 1);  // a conversation: the state manager turns the input off
    Hold(kRight);
    Tap(kSpace);
    Frames(3);
    EXPECT_EQ(Var(m_dude, S_input_enabled), 0);
    EXPECT_EQ(Var(m_dude, S_vel_x), 0);
    EXPECT_EQ(Var(m_dude, S_in_air), 0);
    EXPECT_EQ(FirstError(), "");
}

// Take-off at 6.5 less 0.5 a frame: z is 39 after 12 and 13 frames, exactly 0 after 25, and the
// player lands on the 26th with a puff.
TEST_F(PlayerTest, AJumpRisesAndFallsByTheFramesAndLandsWithAPuff) {
    Tap(kSpace);
    Frames(1);
    EXPECT_EQ(Var(m_dude, S_in_air), 1);
    EXPECT_EQ(Var(m_dude, S_vel_z), 6.5);
    EXPECT_EQ(Var(m_dude, S_z), 0);
    EXPECT_EQ(Builtin(m_dude, V_sprite_index), SPR_spr_dude_jump);
    for (int frame = 1; frame <= 25; ++frame) {
        Frames(1);
        EXPECT_EQ(Var(m_dude, S_z), 6.5 * frame - 0.25 * frame * (frame + 1)) << frame;
        EXPECT_EQ(Var(m_dude, S_in_air), 1) << frame;
        if (frame == 12 || frame == 13) {
            EXPECT_EQ(Var(m_dude, S_z), 39);
        }
    }
    // The jump animation ran through its four frames and holds the last.
    EXPECT_EQ(Builtin(m_dude, V_image_index), 3);
    EXPECT_EQ(Builtin(m_dude, V_image_speed), 0);
    EXPECT_EQ(CountInstances(OBJ_obj_effect), 0);
    Frames(1);
    EXPECT_EQ(Var(m_dude, S_in_air), 0);
    EXPECT_EQ(Var(m_dude, S_z), 0);
    EXPECT_EQ(Var(m_dude, S_vel_z), 0);
    CInstance* puff = FirstOf(OBJ_obj_effect);
    ASSERT_NE(puff, nullptr);
    EXPECT_EQ(Builtin(puff, V_sprite_index), SPR_spr_puff_medium_1);
    EXPECT_EQ(Builtin(puff, V_x), Builtin(m_dude, V_x));
    EXPECT_EQ(FirstError(), "");
}

// Left and down into the room's left wall: x stops at the wall, y slides on at full speed.
TEST_F(PlayerTest, AWallStopsOneAxisAndTheOtherSlidesOn) {
    Place(m_dude, 60, 700);
    Hold(kLeft);
    Hold(kDown);
    Frames(20);
    const double wallX = Builtin(m_dude, V_x);
    EXPECT_LT(wallX, 45);
    EXPECT_FALSE(Game_PlaceFreeDirect(m_dude, static_cast<float>(wallX - 1),
                                      static_cast<float>(Builtin(m_dude, V_y))));
    double previousY = Builtin(m_dude, V_y);
    for (int frame = 0; frame < 5; ++frame) {
        Frames(1);
        EXPECT_EQ(Builtin(m_dude, V_x), wallX);
        EXPECT_GT(Builtin(m_dude, V_y) - previousY, 3);
        EXPECT_GT(Var(m_dude, S_vel_y), 3);
        previousY = Builtin(m_dude, V_y);
    }
    EXPECT_EQ(FirstError(), "");
}

TEST_F(PlayerTest, FootstepsComeEveryTwelveFramesOnlyWhileMoving) {
    Frames(30);
    EXPECT_EQ(CountInstances(OBJ_obj_effect), 0);  // standing still: no puff
    Hold(kLeft);
    Frames(12);
    ASSERT_EQ(CountInstances(OBJ_obj_effect), 1);
    const int32_t sprite = static_cast<int32_t>(Builtin(FirstOf(OBJ_obj_effect), V_sprite_index));
    EXPECT_TRUE(sprite == SPR_spr_puff_small_1 || sprite == SPR_spr_puff_small_2 ||
                sprite == SPR_spr_puff_small_3);
    EXPECT_EQ(Var(m_dude, S_ground_sound), SND_snd_foot_1);
    // On stepping stones the ground sounds of stone.
    Release(kLeft);
    Create(Builtin(m_dude, V_x), Builtin(m_dude, V_y), OBJ_obj_stepping_stones);
    Frames(1);
    EXPECT_EQ(Var(m_dude, S_ground_sound), SND_snd_foot_2);
    EXPECT_EQ(FirstError(), "");
}

TEST_F(PlayerTest, TheSoundsTheGamePlaysByNumberAreTheDataFilesSoundsOfThoseNames) {
    const std::pair<int32_t, const char*> sounds[] = {
        {5, "snd_speech_pop"}, {6, "snd_jump_1"},    {7, "snd_foot_1"},         {8, "snd_foot_2"},
        {13, "snd_land_2"},    {14, "snd_hyper_1"},  {15, "snd_hyper_2"},       {16, "snd_charge_1"},
        {17, "snd_purr"},      {18, "snd_cat_poof"}, {19, "snd_artefact_poof"}, {20, "snd_cat_spawn"}};
    for (const auto& [index, name] : sounds) {
        const char* loaded = Audio_GetName(index);
        EXPECT_STREQ(loaded ? loaded : "(none)", name) << index;
    }
}

TEST_F(PlayerTest, TheBulletsAlarmEndsThePlayerInADeadPoof) {
    SetVar(m_dude, S_dead, 1);
    SetBuiltin(m_dude, V_alarm, 3, 1);
    Frames(1);
    EXPECT_EQ(Builtin(m_dude, V_sprite_index), SPR_spr_dude_dead);
    Frames(2);
    EXPECT_EQ(CountInstances(OBJ_obj_dude), 0);
    EXPECT_EQ(CountInstances(OBJ_obj_dead_poof), 1);
    Frames(3);  // the with-statements on the player find nobody
    EXPECT_EQ(FirstError(), "");
}

// The left stick of pad 0 through the pad layer's per-axis dead zone of 0.3 (set by the player's
// Create) and then the game's own: a combined length below 0.3 moves nothing, one above 1 is
// scaled back to 1; face button 1 jumps.
class GamepadPlayerTest : public PlayerTest {
protected:
    void BeforeStart() override {
        gamepad_test::Fake() = gamepad_test::FakeDevices{};
        gamepad_test::Fake().plugged[0] = true;
        Gamepad_SetDeviceLayer(gamepad_test::FakeLayer());
        Gamepad_InitXInput();
        ASSERT_GE(Gamepad_InitDirectInput(), 0);  // the pads are found as the window is made
    }
    void TearDown() override {
        PlayerTest::TearDown();
        Gamepad_SetDeviceLayer(nullptr);
    }
    static void Stick(double x, double y) {
        gamepad_test::Fake().state[0].thumbLX = static_cast<int16_t>(x * 32767);
        gamepad_test::Fake().state[0].thumbLY = static_cast<int16_t>(-y * 32767);  // the pad's y points up
    }
};

TEST_F(GamepadPlayerTest, TheStickSteersThroughBothDeadZones) {
    const struct {
        double x, y;  // raw deflection
        double inputX, inputY;
    } cases[] = {{0.5, 0, 0, 0},  // 0.2857 after the pad's dead zone: below the game's
                 {0.6, 0, 0.3 / 0.7, 0},
                 {0.2, 0.9, 0, 0.6 / 0.7},
                 {1, 1, std::sqrt(0.5), std::sqrt(0.5)}};
    for (const auto& c : cases) {
        Stick(c.x, c.y);
        Frames(1);
        EXPECT_NEAR(Var(m_dude, S_input_x), c.inputX, 1e-3) << c.x << ", " << c.y;
        EXPECT_NEAR(Var(m_dude, S_input_y), c.inputY, 1e-3) << c.x << ", " << c.y;
    }
    Stick(0, 0);
    gamepad_test::Fake().state[0].buttons = 1u << 12;  // face button 1
    Frames(1);
    EXPECT_EQ(Var(m_dude, S_in_air), 1);
    EXPECT_EQ(FirstError(), "");
}

}  // namespace
