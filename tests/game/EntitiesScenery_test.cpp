// The characters kept out of solids and apart, the crystal picked up, and the scenery's
// spawners, plants, rocks and trees, in the game's first room through the frame loop.
#include <cmath>

#include "PlayedGame.h"
#include "core/Value_Operators.h"
#include "game/Game_Functions.h"
#include "world/Function_Game.h"

namespace {

using namespace hvs;

constexpr double kStartX = 260, kStartY = 820;

class EntitiesTest : public gametest::PlayedGame {
protected:
    void SetUp() override {
        PlayedGame::SetUp();
        FirstFrame();
        Frames(1);  // the player's begin step runs from the frame after the one that woke him
    }
    bool Overlaps(CInstance* a, CInstance* b) {
        RValue x = RValue_Real(Builtin(a, V_x)), y = RValue_Real(Builtin(a, V_y)), id = RValue_Real(b->id);
        RValue result = RValue_Undefined();
        RValue* args[] = {&x, &y, &id};
        return TakeReal(Call(a, a, &result, F_place_meeting, {args[0], args[1], args[2]})) > 0.5;
    }
};

TEST_F(EntitiesTest, AGroundedPlayerInATrunkMovesStraightOutAWholePixelAPass) {
    CInstance* trunk = Create(kStartX - 10, kStartY, OBJ_obj_trunk);
    ASSERT_TRUE(Overlaps(m_dude, trunk));
    Frames(1);
    EXPECT_FALSE(Overlaps(m_dude, trunk));
    const double moved = Builtin(m_dude, V_x) - kStartX;
    EXPECT_GT(moved, 0);
    EXPECT_EQ(moved, std::floor(moved));
    EXPECT_EQ(Builtin(m_dude, V_y), kStartY);
    EXPECT_EQ(FirstError(), "");
}

TEST_F(EntitiesTest, InTheAirOnlyTallSolidsPushThePlayer) {
    SetVar(m_dude, S_in_air, 1);
    SetVar(m_dude, S_vel_z, 100);  // stays up for the frame
    CInstance* trunk = Create(kStartX - 10, kStartY, OBJ_obj_trunk);
    Frames(1);
    EXPECT_EQ(Builtin(m_dude, V_x), kStartX);
    EXPECT_TRUE(Overlaps(m_dude, trunk));
    Game_InstanceDestroyDirect(trunk);
    CInstance* rock = Create(kStartX - 10, kStartY, OBJ_obj_rock_large);
    Frames(1);
    EXPECT_FALSE(Overlaps(m_dude, rock));
    EXPECT_GT(Builtin(m_dude, V_x), kStartX);
    EXPECT_EQ(FirstError(), "");
}

// On the solid's origin there is no way out: the push ends at once instead of looping for ever.
// A direction too small to move the position is given up after a bounded number of passes.
TEST_F(EntitiesTest, APushWithNoDirectionOrTooSmallAStepEnds) {
    CInstance* trunk = Create(kStartX, kStartY, OBJ_obj_trunk);
    Frames(1);
    EXPECT_EQ(Builtin(m_dude, V_x), kStartX);
    EXPECT_EQ(Builtin(m_dude, V_y), kStartY);
    EXPECT_TRUE(Overlaps(m_dude, trunk));

    const float nextX = std::nextafter(static_cast<float>(kStartX), 1000.0f);
    SetBuiltin(m_dude, V_x, nextX);
    Frames(1);
    EXPECT_TRUE(Overlaps(m_dude, trunk));
    EXPECT_GT(Builtin(m_dude, V_x), nextX);
    EXPECT_LT(Builtin(m_dude, V_x), kStartX + 1);
    EXPECT_EQ(FirstError(), "");
}

TEST_F(EntitiesTest, TwoGroundedCharactersOverlappingMoveApartAtMostThreePixelsAnEvent) {
    CInstance* second = Create(kStartX + 4, kStartY, OBJ_obj_dude);
    // One event: five passes of 0.3 pixels each way along the line between them.
    hvs_Object_par_entity_Collision_12(m_dude, second);
    EXPECT_NEAR(Builtin(m_dude, V_x), kStartX - 1.5, 1e-4);
    EXPECT_NEAR(Builtin(second, V_x), kStartX + 4 + 1.5, 1e-4);
    EXPECT_EQ(Builtin(m_dude, V_y), kStartY);
    // A jumping one is not pushed.
    SetVar(second, S_in_air, 1);
    hvs_Object_par_entity_Collision_12(m_dude, second);
    EXPECT_NEAR(Builtin(second, V_x), kStartX + 4 + 1.5, 1e-4);
    SetVar(second, S_in_air, 0);
    // Through the frame loop they end apart.
    Frames(1);
    EXPECT_FALSE(Overlaps(m_dude, second));

    // On the same point there is no line between them: neither moves.
    Place(second, kStartX, kStartY);
    Place(m_dude, kStartX, kStartY);
    Frames(1);
    EXPECT_EQ(Builtin(second, V_x), kStartX);
    EXPECT_EQ(Builtin(m_dude, V_x), kStartX);
    EXPECT_EQ(FirstError(), "");
}

TEST_F(EntitiesTest, TouchingACrystalCarriesItEvenInTheAir) {
    for (bool jumping : {false, true}) {
        CInstance* crystal = Create(kStartX, kStartY, OBJ_obj_artefact);
        EXPECT_EQ(Var(crystal, S_hover_dist), 23);
        const int32_t id = crystal->id;
        SetVar(m_dude, S_carrying_artefact, 0);
        if (jumping) {
            SetVar(m_dude, S_in_air, 1);
            SetVar(m_dude, S_vel_z, 100);
        }
        Frames(1);
        EXPECT_EQ(Instance_Find(id), nullptr) << jumping;
        EXPECT_EQ(Var(m_dude, S_carrying_artefact), 1) << jumping;
        CInstance* flash = FirstOf(OBJ_obj_artefact_poof);
        ASSERT_NE(flash, nullptr);
        EXPECT_EQ(Builtin(flash, V_y), kStartY - 23);
        EXPECT_EQ(Builtin(flash, V_depth), -10000);
    }
    EXPECT_EQ(FirstError(), "");
}

class SceneryTest : public gametest::PlayedGame {};

TEST_F(SceneryTest, SpawnersLeaveTwentyPlantsOrFourToSixTreesAndGo) {
    const int plants = CountInstances(OBJ_obj_plant_basic), trees = CountInstances(OBJ_obj_tree_1);
    EXPECT_EQ(CountInstances(OBJ_objj_grass_spawner), 0);
    EXPECT_EQ(CountInstances(OBJ_obj_tree_spawner), 0);
    CInstance* grass = Create(800, 800, OBJ_objj_grass_spawner);
    EXPECT_TRUE(grass->destroyed);
    EXPECT_EQ(CountInstances(OBJ_obj_plant_basic), plants + 20);
    for (CInstance* i = Run_Room()->active.head; i != nullptr; i = i->depthNext)
        if (i->object_index == OBJ_obj_plant_basic && i->id > grass->id) {
            EXPECT_LE(std::hypot(Builtin(i, V_x) - 800, Builtin(i, V_y) - 800), 64.01);
        }
    for (int n = 0; n < 8; ++n) {
        const int before = CountInstances(OBJ_obj_tree_1);
        Create(800, 800, OBJ_obj_tree_spawner);
        const int made = CountInstances(OBJ_obj_tree_1) - before;
        EXPECT_GE(made, 4);
        EXPECT_LE(made, 6);
    }
    EXPECT_GT(CountInstances(OBJ_obj_tree_1), trees);
    EXPECT_EQ(CountInstances(OBJ_obj_tree_spawner), 0);
    EXPECT_EQ(FirstError(), "");
}

// A plant rustles once when entered, not again while the visitor stays, and again after the
// visitor has left and its animation has come back to rest.
TEST_F(SceneryTest, APlantRustlesOncePerVisit) {
    FirstFrame();
    CInstance* plant = Create(kStartX, kStartY, OBJ_obj_plant_basic);
    EXPECT_EQ(Builtin(plant, V_image_speed), 1);  // its creation animation at full speed
    Frames(1);
    EXPECT_EQ(Var(plant, S_can_animate), 0);
    EXPECT_EQ(Builtin(plant, V_image_speed), 0.125);
    Frames(40);  // the rustle plays out while the player stands in it
    EXPECT_EQ(Var(plant, S_can_animate), 0);
    EXPECT_EQ(Builtin(plant, V_image_speed), 0);
    Place(m_dude, kStartX - 100, kStartY);
    Frames(1);
    EXPECT_EQ(Var(plant, S_can_animate), 1);
    Place(m_dude, kStartX, kStartY);
    Frames(1);
    EXPECT_EQ(Var(plant, S_can_animate), 0);
    EXPECT_EQ(Builtin(plant, V_image_speed), 0.125);
    EXPECT_EQ(FirstError(), "");
}

TEST_F(SceneryTest, PiecesVaryTheirLookWithinTheirRanges) {
    CInstance* rock = Create(700, 700, OBJ_obj_rock_large);
    for (int n = 0; n < 20; ++n) {
        SetBuiltin(rock, V_image_xscale, 2);
        SetBuiltin(rock, V_image_yscale, 2);
        hvs_Object_obj_rock_large_Create_0(rock, rock);
        const double sx = Builtin(rock, V_image_xscale), sy = Builtin(rock, V_image_yscale);
        EXPECT_NEAR(std::fabs(sx), sy, 1e-6);
        EXPECT_GE(sy, 1.6 - 1e-6);
        EXPECT_LE(sy, 2 + 1e-6);
    }
    for (int n = 0; n < 10; ++n) {
        CInstance* tree = Create(700, 900, OBJ_obj_tree_1);
        const double scale = Builtin(tree, V_image_yscale);
        EXPECT_EQ(std::fabs(Builtin(tree, V_image_xscale)), scale);
        EXPECT_EQ(Builtin(tree, V_depth), -900);
        const int leaves = static_cast<int>(Var(tree, S_n_leaves));
        EXPECT_GE(leaves, 10);
        EXPECT_LE(leaves, 17);
        for (int i = 0; i < leaves; ++i) {
            const double lx = RValue_ToReal(RValue_ArrayElement2D(tree->SlotRef(S_leaves_x), i));
            const double ly = RValue_ToReal(RValue_ArrayElement2D(tree->SlotRef(S_leaves_y), i));
            EXPECT_LE(std::fabs(lx), 22 * scale + 1e-6);
            EXPECT_GE(ly, -60 * scale - 1e-6);
            EXPECT_LE(ly, -28 * scale + 1e-6);
        }
    }
    CInstance* stones = Create(700, 700, OBJ_obj_stepping_stones);
    EXPECT_EQ(Builtin(stones, V_depth), 1);
    EXPECT_EQ(FirstError(), "");
}

}  // namespace
