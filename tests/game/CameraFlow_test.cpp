// The camera's easing and zoom, the instances it keeps active, the rooms' creation code and the
// state manager's states, through the frame loop of the game's first room.
#include <cmath>

#include "PlayedGame.h"
#include "game/Game_Functions.h"

namespace {

using namespace hvs;

class CameraFlowTest : public gametest::PlayedGame {};

TEST_F(CameraFlowTest, TheRoomStartsWithOneOfEachControllerAHelpBubbleOverThePlayerAndStateZero) {
    for (int32_t object :
         {OBJ_obj_vignette, OBJ_obj_particles, OBJ_obj_camera, OBJ_obj_state_manager, OBJ_obj_help})
        EXPECT_EQ(CountInstances(object), 1) << object;
    EXPECT_EQ(Var(StateManager(), S_state), 0);
    CInstance* help = FirstOf(OBJ_obj_help);
    EXPECT_EQ(Builtin(help, V_x), 260);
    EXPECT_EQ(Builtin(help, V_y), 820);
    CInstance* camera = Camera();
    EXPECT_EQ(Builtin(camera, V_x), 260);
    EXPECT_EQ(Builtin(camera, V_y), 820);
    EXPECT_EQ(Var(camera, S_target_object), OBJ_obj_dude);
    EXPECT_EQ(Var(camera, S_zoom_w), 640 * 0.55);

    // State 0: the player steers, the camera zooms in and follows nobody.
    Frames(2);
    EXPECT_EQ(Var(StateManager(), S_state), 0);
    EXPECT_EQ(Var(camera, S_zoomed_in), 1);
    EXPECT_EQ(Var(camera, S_target_object), -4);
    EXPECT_EQ(Var(m_dude, S_input_enabled), 1);
    EXPECT_EQ(CountInstances(OBJ_obj_help), 1);
    EXPECT_EQ(FirstError(), "");
}

TEST_F(CameraFlowTest, TheFirstMovementStartsFreePlayAndPopsTheHelpBubble) {
    FirstFrame();
    Hold(37);
    Frames(1);
    EXPECT_EQ(Var(StateManager(), S_state), 2);
    EXPECT_EQ(CountInstances(OBJ_obj_help), 0);
    Frames(1);
    EXPECT_EQ(Var(Camera(), S_zoomed_in), 0);
    EXPECT_EQ(Var(Camera(), S_target_object), OBJ_obj_dude);
    EXPECT_EQ(FirstError(), "");
}

TEST_F(CameraFlowTest, AJumpInPlaceAlsoEndsTheIntroduction) {
    FirstFrame();
    IO_OnKeyDown(32, false);
    IO_OnKeyUp(32);
    Frames(1);
    EXPECT_EQ(Var(m_dude, S_vel_x), 0);
    EXPECT_EQ(Var(StateManager(), S_state), 2);
    EXPECT_EQ(FirstError(), "");
}

// The begin step of each state, run on its own: the player's input, the bullets, the camera's
// zoom and what it follows. The speech bubble is the target point in states 0 and 1.
TEST_F(CameraFlowTest, EachStateSetsInputBulletsZoomAndTarget) {
    const struct {
        double state;
        double input, zoomed, follows;
        bool bulletsKept, aimsAtSpeech;
    } cases[] = {{0, 1, 1, -4, true, true},
                 {1, 0, 1, -4, false, true},
                 {2, 1, 0, OBJ_obj_dude, true, false},
                 {3, 0, 1, OBJ_obj_dude, true, false},
                 {2.9, 1, 0, OBJ_obj_dude, true, false},
                 {7, 0.5, 0.5, 99, true, false}};
    CInstance* manager = StateManager();
    CInstance* camera = Camera();
    // A bubble as the cats make them: the script gives it the word map its Destroy frees.
    RValue args[5] = {RValue_Real(300), RValue_Real(200), RValue_Undefined(), RValue_Real(1),
                      RValue_Real(17)};
    RValue_CreateString(&args[2], "[\"Hi\"]");
    RValue* argv[5] = {&args[0], &args[1], &args[2], &args[3], &args[4]};
    RValue id = RValue_Undefined();
    hvs_Script_scr_create_speech(manager, manager, &id, 5, argv);
    RValue_Release(&args[2]);
    CInstance* speech = Instance_Find(static_cast<int32_t>(RValue_ToReal(&id)));
    ASSERT_NE(speech, nullptr);
    SetBuiltin(speech, V_image_yscale, 0.5);
    for (const auto& c : cases) {
        SetVar(manager, S_state, c.state);
        SetVar(m_dude, S_input_enabled, 0.5);
        SetVar(camera, S_zoomed_in, 0.5);
        SetVar(camera, S_target_object, 99);
        SetVar(camera, S_target_x, 1);
        SetVar(camera, S_target_y, 2);
        CInstance* bullet = Create(500, 500, OBJ_obj_bullet_1);
        hvs_Object_obj_state_manager_Step_1(manager, manager);
        EXPECT_EQ(Var(m_dude, S_input_enabled), c.input) << c.state;
        EXPECT_EQ(Var(camera, S_zoomed_in), c.zoomed) << c.state;
        EXPECT_EQ(Var(camera, S_target_object), c.follows) << c.state;
        EXPECT_EQ(bullet->destroyed == 0, c.bulletsKept) << c.state;
        EXPECT_EQ(Var(camera, S_target_x), c.aimsAtSpeech ? 300 : 1) << c.state;
        EXPECT_EQ(Var(camera, S_target_y), c.aimsAtSpeech ? 200 + 72 * 0.5 : 2) << c.state;
        if (!bullet->destroyed) Game_InstanceDestroyDirect(bullet);
    }
    // Without a bubble the target point stays where it was.
    Game_InstanceDestroyDirect(speech);
    Run_ClearPendingLists();
    SetVar(manager, S_state, 1);
    hvs_Object_obj_state_manager_Step_1(manager, manager);
    EXPECT_EQ(Var(camera, S_target_x), 1);
    EXPECT_EQ(StackTraceHead, nullptr);
    EXPECT_EQ(FirstError(), "");
}

TEST_F(CameraFlowTest, OnlyAStateWithinTheEpsilonOfZeroEndsOnTheFirstMovement) {
    CInstance* manager = StateManager();
    SetVar(m_dude, S_vel_x, 2);
    for (double state : {1e-11, 1e-9}) {
        SetVar(manager, S_state, state);
        hvs_Object_obj_state_manager_Step_0(manager, manager);
        EXPECT_EQ(Var(manager, S_state), state == 1e-11 ? 2 : 1e-9) << state;
    }
    // A velocity within the epsilon of zero is no movement.
    SetVar(manager, S_state, 0);
    SetVar(m_dude, S_vel_x, 1e-11);
    hvs_Object_obj_state_manager_Step_0(manager, manager);
    EXPECT_EQ(Var(manager, S_state), 0);
    EXPECT_EQ(FirstError(), "");
}

// Resting 100 pixels from its target, the camera closes 5 % of the distance a frame.
TEST_F(CameraFlowTest, TheCameraDistanceShrinksByFivePercentAFrame) {
    FirstFrame();
    CInstance* camera = Camera();
    Place(camera, 500, 400);
    SetVar(camera, S_target_x, 560);
    SetVar(camera, S_target_y, 480);
    SetVar(camera, S_target_object, -4);
    for (int n = 1; n <= 50; ++n) {
        Frames(1);
        const double distance = std::hypot(560 - Builtin(camera, V_x), 480 - Builtin(camera, V_y));
        EXPECT_NEAR(distance, 100 * std::pow(0.95, n), 1e-3) << n;
        // The view is centred on the camera.
        EXPECT_NEAR(Builtin(V_view_xview) + Builtin(V_view_wview) / 2, Builtin(camera, V_x), 1e-3);
        EXPECT_NEAR(Builtin(V_view_yview) + Builtin(V_view_hview) / 2, Builtin(camera, V_y), 1e-3);
    }
    EXPECT_NEAR(std::hypot(560 - Builtin(camera, V_x), 480 - Builtin(camera, V_y)), 7.69, 0.01);
    EXPECT_EQ(FirstError(), "");
}

// Zoomed in from the room's start: the view eases from 640 x 360 toward 352 x 198.
TEST_F(CameraFlowTest, TheZoomedViewWidthIs352Plus288TimesPointNinetyFiveToTheN) {
    for (int n = 1; n <= 60; ++n) {
        Frames(1);
        EXPECT_NEAR(Builtin(V_view_wview), 352 + 288 * std::pow(0.95, n), 1e-3) << n;
        EXPECT_NEAR(Builtin(V_view_hview), 198 + 162 * std::pow(0.95, n), 1e-3) << n;
    }
    // Free play zooms back out toward the normal size.
    SetVar(StateManager(), S_state, 2);
    const double before = Builtin(V_view_wview);
    Frames(1);
    EXPECT_NEAR(Builtin(V_view_wview), before + (640 - before) * 0.05, 1e-3);
    EXPECT_EQ(FirstError(), "");
}

TEST_F(CameraFlowTest, FarInstancesRestAndTheAlwaysActiveOnesRun) {
    CInstance* far = FirstOf(OBJ_obj_cat_3);  // 1000 pixels to the right of the view
    ASSERT_NE(far, nullptr);
    FirstFrame();
    Frames(1);
    EXPECT_TRUE(far->deactivated);
    EXPECT_FALSE(m_dude->deactivated);
    CInstance* farEffect = Create(1500, 1500, OBJ_obj_effect);
    Frames(1);
    EXPECT_FALSE(farEffect->deactivated);
    for (int32_t object : {OBJ_obj_vignette, OBJ_obj_particles, OBJ_obj_state_manager})
        EXPECT_FALSE(FirstOf(object)->deactivated) << object;
    EXPECT_EQ(FirstError(), "");
}

TEST_F(CameraFlowTest, AFollowedInstanceThatIsGoneLeavesItsLastPositionAsTheTarget) {
    FirstFrame();
    SetVar(StateManager(), S_state, 3);
    Place(m_dude, 300, 800);
    Frames(1);
    Game_InstanceDestroyDirect(m_dude);
    Frames(200);
    EXPECT_NEAR(Builtin(Camera(), V_x), 300, 1e-2);
    EXPECT_NEAR(Builtin(Camera(), V_y), 800, 1e-2);
    EXPECT_EQ(Var(StateManager(), S_state), 3);
    EXPECT_EQ(FirstError(), "");
}

}  // namespace
