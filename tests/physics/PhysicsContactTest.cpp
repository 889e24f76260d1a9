// Contacts recorded during the sub-steps and dispatched as collision events after them.
#include "PhysicsTestSupport.h"

using namespace physicstest;

namespace {

class PhysicsContactTest : public PhysicsTest {
protected:
    // A ball of object 1 resting on a ground of object 0, settled; the events seen cleared.
    void RestingBall(int32_t updateSpeed, bool sensorGround = false) {
        MakeObjects(2, {{0, 1}, {1, 0}});
        m_world = MakeWorld(0.1f, updateSpeed);
        m_ground = MakeInstance(0, 100, 0);
        CPhysicsFixture* ground = Box(20, 1, 0);
        ground->sensor = sensorGround;
        m_world->BindFixture(ground, m_ground, 0, 0);
        m_ball = MakeInstance(0, 80, 1);
        m_world->BindFixture(Circle(1, 1), m_ball, 0, 0);
    }
    // A few frames: the ball touches at once, and would fall asleep after half a second.
    void Settle() {
        for (int frame = 0; frame < 10; ++frame) m_world->Step(60, false);
        Seen().clear();
    }

    CPhysicsWorld* m_world = nullptr;
    CInstance* m_ground = nullptr;
    CInstance* m_ball = nullptr;
};

TEST_F(PhysicsContactTest, RestingBallGivesOneEventPairPerFrame) {
    RestingBall(60);
    Settle();
    for (int frame = 0; frame < 5; ++frame) {
        Seen().clear();
        m_world->Step(60, false);
        ASSERT_EQ(Seen().size(), 2u) << frame;
        // The record's fixture A is dispatched first: the pair comes in both directions.
        EXPECT_EQ(Seen()[0].self, Seen()[1].other);
        EXPECT_EQ(Seen()[1].self, Seen()[0].other);
        for (const CollisionSeen& s : Seen()) {
            EXPECT_GE(s.points, 1);
            EXPECT_LE(s.points, 2);
        }
    }
    EXPECT_EQ(m_world->Contacts().Count(), 0);
}

TEST_F(PhysicsContactTest, SubStepsMergeIntoOneRecord) {
    RestingBall(180);
    Settle();
    m_world->Step(60, false);
    ASSERT_EQ(Seen().size(), 2u);
    EXPECT_EQ(Seen()[0].points, 3);  // one point in each of three manifolds
}

TEST_F(PhysicsContactTest, SensorReportsWhenTheOverlapBeginsOnly) {
    RestingBall(60, true);
    int32_t frames = 0, events = 0;
    for (int frame = 0; frame < 60; ++frame) {
        Seen().clear();
        m_world->Step(60, false);
        if (!Seen().empty()) {
            ++frames;
            events += static_cast<int32_t>(Seen().size());
            EXPECT_EQ(Seen()[0].points, 0);
        }
    }
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(events, 2);
}

TEST_F(PhysicsContactTest, PointsAndNormalsOfTheCurrentContactOnly) {
    RestingBall(60);
    Settle();
    m_world->Step(60, false);
    ASSERT_EQ(Seen().size(), 2u);
    // Both instances read the same point, on the ground's top face, and the same normal.
    for (const CollisionSeen& s : Seen()) {
        EXPECT_NEAR(s.y, 90.0f, 0.5f);
        EXPECT_NEAR(s.x, 0.0f, 0.5f);
        EXPECT_NEAR(std::fabs(s.ny), 1.0f, 1e-4f);
        EXPECT_EQ(s.ny, Seen()[0].ny);
    }
    EXPECT_EQ(m_world->GetCollisionPointCount(m_ball), 0);  // outside the dispatch
    float x = 0, y = 0;
    EXPECT_FALSE(m_world->GetCollisionPoint(m_ball, 0, &x, &y));
    EXPECT_FALSE(m_world->GetCollisionNormal(m_ball, 0, &x, &y));
}

TEST_F(PhysicsContactTest, RecordQueriesWalkTheManifolds) {
    CPhysicsContactRecord record;
    b2Manifold one{};
    one.pointCount = 2;
    b2Manifold two{};
    two.pointCount = 1;
    PhysicsWorldManifold first, second;
    first.points[0] = b2Vec2(1, 1);
    first.points[1] = b2Vec2(2, 2);
    second.points[0] = b2Vec2(3, 3);
    second.normal = b2Vec2(0, 1);
    record.AddManifold(one, first);
    record.AddManifold(two, second);
    EXPECT_EQ(record.PointCount(), 3);
    for (int i = 0; i < 7; ++i) record.AddManifold(one, first);
    EXPECT_EQ(record.manifoldCount, 8);
}

TEST_F(PhysicsContactTest, RemovedFixtureIsNotDispatched) {
    RestingBall(60);
    Settle();
    // Contacts recorded by a library step wait for the dispatch; the removal blanks them.
    m_world->Library().Step(1.0f / 60, 10, 10);
    ASSERT_EQ(m_world->Contacts().Count(), 1);
    EXPECT_TRUE(m_ground->physicsBody->RemoveFixture(0));
    m_world->SetUpdateSpeed(0);  // dispatch without a further step
    m_world->Step(60, false);
    EXPECT_TRUE(Seen().empty());
    EXPECT_EQ(m_world->Contacts().Count(), 0);
}

}  // namespace
