// Instance motion: the coupled speed fields bit for bit, friction and gravity, direction
// wrapping, paths with their end actions, alarms, and the bounding box in both regimes.
#include <bit>
#include <cmath>

#include "world/Path_Class.h"
#include "world/Path_Main.h"
#include "MotionTestSupport.h"

using namespace motion_test;

namespace {

class Motion : public WorldTest {
protected:
    CInstance* Plain(float x = 0, float y = 0) {
        MakeRoom(false);
        return Make(AddObject(-1), x, y);
    }
};

uint32_t Bits(float f) {
    return std::bit_cast<uint32_t>(f);
}

TEST_F(Motion, ComponentsGiveDirectionAndSpeed) {
    struct Case {
        float h, v, direction, speed;
    };
    const Case cases[] = {
        {0, 0, 0, 0},    {0, 3, 270, 3},          {0, -3, 90, 3}, {3, -3, 45, 4.2426405f},
        {-2, 0, 180, 2}, {1, 1, 315, 1.4142135f},
    };
    for (const Case& c : cases) {
        CInstance* i = Plain();
        i->SetHSpeed(1234);  // a change either way
        i->SetHSpeed(c.h);
        i->SetVSpeed(c.v);
        EXPECT_EQ(Bits(i->direction), Bits(c.direction)) << c.h << "," << c.v << " -> " << i->direction;
        EXPECT_EQ(Bits(i->speed), Bits(c.speed)) << c.h << "," << c.v << " -> " << i->speed;
    }
}

TEST_F(Motion, SpeedAndDirectionGiveComponents) {
    CInstance* i = Plain();
    i->SetSpeed(5);
    i->SetDirection(90);
    EXPECT_EQ(Bits(i->hspeed), Bits(0.0f)) << "snapped to a plain zero";
    EXPECT_EQ(i->vspeed, -5.0f);
    i->SetDirection(180);
    EXPECT_EQ(i->hspeed, -5.0f);
    EXPECT_EQ(Bits(i->vspeed), Bits(0.0f));
    // Negative speeds run backwards.
    i->SetSpeed(-2);
    EXPECT_EQ(i->hspeed, 2.0f);
}

TEST_F(Motion, DirectionWrapsIntoOneTurn) {
    CInstance* i = Plain();
    const std::pair<float, float> cases[] = {{-90, 270}, {720, 0}, {360, 0}, {-720, 0}, {725.5f, 5.5f}};
    for (auto [given, wanted] : cases) {
        i->SetDirection(given);
        EXPECT_EQ(i->direction, wanted) << given;
    }
    // Directions too large for the float steps to change them still end.
    i->SetDirection(3e20f);
    EXPECT_GE(i->direction, 0.0f);
    EXPECT_LT(i->direction, 360.0f);
    i->SetDirection(INFINITY);
    EXPECT_TRUE(std::isnan(i->direction));
}

TEST_F(Motion, FrictionStopsButNeverReverses) {
    CInstance* i = Plain();
    i->SetSpeed(3);
    i->friction = 5;
    i->ApplyFriction();
    EXPECT_EQ(i->speed, 0.0f);
    i->ApplyFriction();
    EXPECT_EQ(i->speed, 0.0f) << "friction starts no motion";
    i->SetSpeed(-3);
    i->friction = 1;
    i->ApplyFriction();
    EXPECT_EQ(i->speed, -2.0f);
    i->friction = -1;
    i->ApplyFriction();
    EXPECT_EQ(i->speed, -3.0f) << "negative friction accelerates";
}

TEST_F(Motion, GravityAddsMotionWithASnappedDirection) {
    CInstance* i = Plain();
    i->gravity = 0.5f;
    i->gravity_direction = 270;
    i->ApplyFriction();
    EXPECT_EQ(i->vspeed, 0.5f);
    EXPECT_EQ(i->direction, 270.0f);
    EXPECT_EQ(i->speed, 0.5f);
    EXPECT_NE(i->hspeed, 0.0f);
    EXPECT_LT(std::fabs(i->hspeed), 1e-8f) << "only direction and speed are snapped";
}

TEST_F(Motion, SettersCompareBeforeTheyStore) {
    MakeRoom(true);
    CInstance* i = Make(AddObject(-1), 5, 5);
    HandleCollision();  // the stage takes it off the moved list
    i->SetPosition(5, 5);
    i->SetImageXScale(1);
    i->SetMaskIndex(-1);
    EXPECT_FALSE(i->boxDirty);
    i->SetPosition(6, 5);
    EXPECT_TRUE(i->boxDirty);
}

TEST_F(Motion, AlarmsOutsideTheTwelveReadMinusOneAndAreNotWritten) {
    CInstance* i = Plain();
    i->SetAlarm(11, 7);
    i->SetAlarm(12, 9);
    i->SetAlarm(-1, 9);
    EXPECT_EQ(i->GetAlarm(11), 7);
    EXPECT_EQ(i->GetAlarm(12), -1);
    EXPECT_EQ(i->GetAlarm(-1), -1);
}

// --- Bounding boxes ---

struct BoxCase {
    int32_t xo, yo;
    float x, y, xscale, angle;
    bool tree;
    int32_t l, t, r, b;
};

TEST_F(Motion, WorkedBoundingBoxesInBothRegimes) {
    const BoxCase cases[] = {
        {0, 0, 100, 100, 1, 0, false, 100, 100, 131, 115},
        {0, 0, 100, 100, 1, 0, true, 100, 100, 131, 115},
        {0, 0, 100, 100, 1, 90, false, 100, 68, 115, 99},
        {0, 0, 100, 100, 1, 90, true, 99, 67, 115, 99},
        {16, 8, 101.5f, 100.5f, 1, 0, false, 86, 92, 117, 107},  // 85.5 and 92.5 round to even
        {16, 8, 100.5f, 100.5f, 1, 0, false, 84, 92, 115, 107},
        {16, 8, 100, 100, -1, 0, false, 84, 92, 115, 107},  // mirrored: the same box
        {16, 8, 100, 100, 1, 0, false, 84, 92, 115, 107},
    };
    for (const BoxCase& c : cases) {
        MakeRoom(c.tree);
        Sprites()[0] = Rect(32, 16, c.xo, c.yo);
        CInstance* i = Make(AddObject(0), c.x, c.y);
        i->SetImageXScale(c.xscale);
        i->SetImageAngle(c.angle);
        i->ComputeBoundingBox(true);
        EXPECT_EQ((std::array{i->bbox_left, i->bbox_top, i->bbox_right, i->bbox_bottom}),
                  (std::array{c.l, c.t, c.r, c.b}))
            << "origin " << c.xo << " at " << c.x << " scale " << c.xscale << " angle " << c.angle << " tree "
            << c.tree;
        EXPECT_FALSE(i->boxDirty);
    }
}

TEST_F(Motion, WithoutASpriteTheBoxIsTheTruncatedPosition) {
    CInstance* i = Plain(-3.7f, 12.9f);
    i->ComputeBoundingBox(false);
    EXPECT_EQ((std::array{i->bbox_left, i->bbox_top, i->bbox_right, i->bbox_bottom}),
              (std::array{-3, 12, -3, 12}));
}

// --- Paths ---

// Path 0: a straight path from (10, 0) to (110, 0), 100 pixels long, at full speed everywhere.
class Paths : public Motion {
protected:
    void SetUp() override {
        Motion::SetUp();
        Path_FreeAll();
        ASSERT_EQ(Path_Add(), 0);
        Path_Get(0)->SetClosed(false);
        Path_Get(0)->AddPoint(10, 0, 100);
        Path_Get(0)->AddPoint(110, 0, 100);
    }
    void TearDown() override {
        Path_FreeAll();
        Motion::TearDown();
    }
};

TEST_F(Paths, StartRelativeOrAbsolute) {
    CInstance* i = Plain(50, 50);
    i->StartPath(0, 10, 1, 0, true, 0);
    EXPECT_EQ(i->path_index, 0);
    EXPECT_EQ(i->x, 50.0f);
    EXPECT_FALSE(i->AdvancePath());
    EXPECT_EQ(i->x, 60.0f);
    EXPECT_EQ(i->y, 50.0f);
    EXPECT_EQ(i->speed, 0.0f);
    EXPECT_EQ(i->hspeed, 0.0f);
    EXPECT_EQ(i->direction, 0.0f) << "direction follows the path";

    i->StartPath(0, -10, 1, 0, false, 0);
    EXPECT_EQ(i->x, 110.0f) << "a backwards path starts at its end";
    EXPECT_EQ(i->path_position, 1.0f);

    i->StartPath(7, 10, 1, 0, true, 0);
    EXPECT_EQ(i->path_index, -1) << "missing path";
    i->StartPath(0, 3, -1, 0, true, 0);
    EXPECT_EQ(i->path_index, -1) << "negative scale";
    EXPECT_EQ(i->path_speed, 3.0f);
    EXPECT_EQ(i->path_position, 0.0f);
}

TEST_F(Paths, EndActions) {
    CInstance* i = Plain(0, 0);
    // Restart: exactly 1.0 continues from 0.0.
    i->StartPath(0, 50, 1, 0, false, 1);
    EXPECT_FALSE(i->AdvancePath());
    EXPECT_TRUE(i->AdvancePath());
    EXPECT_EQ(i->path_position, 0.0f);
    EXPECT_EQ(i->path_index, 0);

    // Stop: the end is reported once, then the path is gone at position 1.
    i->StartPath(0, 50, 1, 0, false, 0);
    i->AdvancePath();
    EXPECT_TRUE(i->AdvancePath());
    EXPECT_EQ(i->path_index, -1);
    EXPECT_EQ(i->path_position, 1.0f);
    EXPECT_EQ(i->x, 110.0f);
    EXPECT_FALSE(i->AdvancePath());

    // Reverse at 1.04 goes on at 0.96, backwards.
    i->StartPath(0, 50, 1, 0, false, 3);
    i->path_position = 0.54f;
    EXPECT_TRUE(i->AdvancePath());
    EXPECT_NEAR(i->path_position, 0.96f, 1e-6);
    EXPECT_EQ(i->path_speed, -50.0f);

    // Continue: the path is moved on by its own span.
    i->StartPath(0, 50, 1, 0, false, 2);
    i->AdvancePath();
    i->AdvancePath();
    EXPECT_EQ(i->pathStartX, 110.0f);
    EXPECT_EQ(i->x, 110.0f);
    i->AdvancePath();
    EXPECT_EQ(i->x, 160.0f);
}

}  // namespace
