// The step-wise planners: linear and potential steps, their path forms, the settings and the
// direction helpers.
#include "world/Motion_Planning.h"

#include <gtest/gtest.h>

#include <cmath>

#include "MotionTestSupport.h"
#include "world/Path_Main.h"
#include "world/Run_Command.h"

using namespace motion_test;

namespace {

TEST(MotionDirections, PointDirectionAndAngleDifference) {
    EXPECT_EQ(Point_Direction(0, 0, 10, 0), 0.0);
    EXPECT_EQ(Point_Direction(0, 0, 0, 10), 270.0);
    EXPECT_EQ(Point_Direction(0, 0, 0, -10), 90.0);
    EXPECT_EQ(Point_Direction(0, 0, 0, 0), 0.0);
    EXPECT_NEAR(Point_Direction(0, 0, -10, 0), 180.0, 1e-5);
    EXPECT_NEAR(Point_Direction(0, 0, 10, 10), 315.0, 1e-5);
    const double cases[][3] = {{10, 350, 20}, {0, 360, 0}, {-90, 90, 180}, {720, 30, 30}, {1e30, 1e30, 0}};
    for (const auto& c : cases) EXPECT_NEAR(Angle_Difference(c[0], c[1]), c[2], 1e-9) << c[0] << " " << c[1];
}

class Planners : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        Path_FreeAll();
        MP_Settings() = MpPotentialSettings{};
        MakeRoom(false);
        Sprites()[0] = Rect(8, 8);
        m_mover = AddObject(0);
        m_wall = AddObject(0, true);
    }
    void TearDown() override {
        Path_FreeAll();
        MP_Settings() = MpPotentialSettings{};
        WorldTest::TearDown();
    }
    int32_t m_mover = -1, m_wall = -1;
};

TEST_F(Planners, LinearStepReachesAFreeGoalOnly) {
    CInstance* self = Make(m_mover, 100, 100);
    EXPECT_TRUE(Command_MpLinearStep(self, 103, 100, 4, kFilterAll, false));
    EXPECT_EQ(self->x, 103.0f);
    EXPECT_TRUE(Command_MpLinearStep(self, 103, 100, 4, kFilterAll, false)) << "already there";

    Make(m_wall, 200, 100);
    CInstance* blocked = Make(m_mover, 197, 100);
    EXPECT_TRUE(Command_MpLinearStep(blocked, 200, 100, 4, kFilterAll, false));
    EXPECT_EQ(blocked->x, 197.0f) << "the goal is occupied";

    CInstance* walker = Make(m_mover, 0, 300);
    EXPECT_FALSE(Command_MpLinearStep(walker, 0, 400, 5, kFilterAll, false));
    EXPECT_EQ(walker->y, 305.0f);
    EXPECT_EQ(walker->direction, 270.0f);
}

TEST_F(Planners, PotentialStepTurnsOnTheSpotWhenBoxedIn) {
    CInstance* self = Make(m_mover, 100, 100);
    for (float dx : {-8.0f, 0.0f, 8.0f})
        for (float dy : {-8.0f, 0.0f, 8.0f})
            if (dx != 0 || dy != 0) Make(m_wall, 100 + dx, 100 + dy);
    self->SetDirection(0);
    EXPECT_FALSE(Command_MpPotentialStep(self, 300, 100, 4, kFilterAll, false));
    EXPECT_EQ(self->x, 100.0f);
    EXPECT_EQ(self->direction, 30.0f);
    MP_Settings().onSpot = false;
    EXPECT_FALSE(Command_MpPotentialStep(self, 300, 100, 4, kFilterAll, false));
    EXPECT_EQ(self->direction, 30.0f);
    EXPECT_EQ(self->x, 100.0f);
}

TEST_F(Planners, PotentialStepTurnsAtMostTheMaximumRotation) {
    CInstance* self = Make(m_mover, 100, 100);
    self->SetDirection(0);
    EXPECT_FALSE(Command_MpPotentialStep(self, 100, 0, 4, kFilterAll, false));
    EXPECT_EQ(self->direction, 30.0f);
    EXPECT_NEAR(self->x, 100 + 4 * std::cos(30 * 3.14159265 / 180), 1e-4);
    EXPECT_NEAR(self->y, 100 - 4 * std::sin(30 * 3.14159265 / 180), 1e-4);
}

TEST_F(Planners, SettingsBelowOneAreOne) {
    Command_MpPotentialSettings(0.5f, 0, -2, false);
    EXPECT_EQ(MP_Settings().maxRotation, 1.0f);
    EXPECT_EQ(MP_Settings().rotationStep, 1.0f);
    EXPECT_EQ(MP_Settings().ahead, 1.0f);
    EXPECT_FALSE(MP_Settings().onSpot);
}

TEST_F(Planners, LinearPathRecordsTheStepsAndPutsTheInstanceBack) {
    CInstance* self = Make(m_mover, 0, 0);
    self->SetDirection(45);
    const int32_t path = Path_Add();
    ASSERT_TRUE(Command_MpLinearPath(self, path, 10, 0, 4, kFilterAll, false));
    const CPath* p = Path_Get(path);
    ASSERT_EQ(p->GetNumber(), 4);  // 0, 4, 8 and the goal
    EXPECT_EQ(p->GetPoint(2).x, 8.0f);
    EXPECT_EQ(p->GetPoint(3).x, 10.0f);
    EXPECT_FALSE(p->GetClosed());
    EXPECT_EQ(self->x, 0.0f);
    EXPECT_EQ(self->direction, 45.0f);

    Make(m_wall, 6, 200);
    CInstance* stuck = Make(m_mover, 0, 200);
    EXPECT_FALSE(Command_MpLinearPath(stuck, path, 100, 200, 4, kFilterAll, false));
    EXPECT_EQ(p->GetNumber(), 1) << "blocked at once: the start only";
    EXPECT_FALSE(Command_MpLinearPath(stuck, path, 100, 200, 0, kFilterAll, false));
    EXPECT_FALSE(Command_MpLinearPath(stuck, 99, 100, 200, 4, kFilterAll, false));
}

TEST_F(Planners, PotentialPathGoesRoundAWall) {
    CInstance* self = Make(m_mover, 100, 100);
    Make(m_wall, 140, 100);
    const int32_t path = Path_Add();
    EXPECT_FALSE(Command_MpPotentialPath(self, path, 200, 100, 4, 0.9f, kFilterAll, false));
    ASSERT_TRUE(Command_MpPotentialPath(self, path, 200, 100, 4, 4, kFilterAll, false));
    const CPath* p = Path_Get(path);
    EXPECT_EQ(p->GetPoint(p->GetNumber() - 1).x, 200.0f);
    EXPECT_GT(p->GetLength(), 100.0f);
    EXPECT_EQ(self->x, 100.0f);
    EXPECT_EQ(self->y, 100.0f);
}

}  // namespace
