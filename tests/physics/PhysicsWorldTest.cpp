// The world of a room: sub-steps at the update speed, write-back to the instances, gravity,
// the collision categories and the bodies' own worlds.
#include "PhysicsTestSupport.h"

#include <cmath>

using namespace physicstest;

namespace {

class PhysicsWorldTest : public PhysicsTest {};

// A body falling from rest for one frame reaches gravity x the frame's simulated time, so the
// velocity shows how much time the sub-steps added up to.
TEST_F(PhysicsWorldTest, SubStepsAddUpToOneFrame) {
    struct Case {
        int32_t updateSpeed, frameRate;
        float seconds;
    };
    for (const Case& c : {Case{60, 60, 1.0f / 60}, Case{60, 30, 1.0f / 30}, Case{60, 45, 1.0f / 45},
                          Case{30, 60, 1.0f / 60}, Case{0, 60, 0.0f}}) {
        MakeObjects(1);
        CPhysicsWorld* world = MakeWorld(0.1f, c.updateSpeed);
        CInstance* box = MakeInstance(100, 100, 0);
        ASSERT_EQ(world->BindFixture(Box(1, 1, 1), box, 0, 0), 0);
        world->Step(c.frameRate, false);
        EXPECT_NEAR(box->physicsBody->Body()->GetLinearVelocity().y, 10.0f * c.seconds, 1e-4f)
            << c.updateSpeed << " at " << c.frameRate;
        TearDown();
        SetUp();
    }
}

TEST_F(PhysicsWorldTest, FallingBoxIsWrittenBackEachFrame) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld(0.1f, 60);
    CInstance* box = MakeInstance(100, 50, 0);
    world->BindFixture(Box(1, 1, 1), box, 0, 0);
    float lastY = box->y;
    for (int frame = 0; frame < 10; ++frame) {
        world->Step(60, false);
        const b2Vec2 p = box->physicsBody->Body()->GetPosition();
        EXPECT_GT(box->y, lastY) << frame;
        EXPECT_FLOAT_EQ(box->y, p.y * (1.0f / 0.1f));
        EXPECT_FLOAT_EQ(box->x, 100.0f);
        lastY = box->y;
    }
}

TEST_F(PhysicsWorldTest, NothingMovesWhilePausedOrWithoutFrameRate) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld();
    CInstance* box = MakeInstance(100, 50, 0);
    world->BindFixture(Box(1, 1, 1), box, 0, 0);
    world->Step(0, false);
    world->SetPaused(true);
    world->Step(60, false);
    EXPECT_FLOAT_EQ(box->y, 50.0f);
    EXPECT_FLOAT_EQ(box->physicsBody->Body()->GetLinearVelocity().y, 0.0f);
}

TEST_F(PhysicsWorldTest, WriteBackTurnsTheAngleAndTheOffset) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld(0.5f, 60, 0, 0);
    CInstance* box = MakeInstance(0, 0, 0);
    world->BindFixture(Box(1, 1, 0), box, 10, 0);
    b2Body* body = box->physicsBody->Body();
    body->SetTransform(b2Vec2(4, 6), kPhysicsPi / 2);
    world->Step(60, false);
    EXPECT_NEAR(box->image_angle, -90.0f, 1e-3f);
    EXPECT_NEAR(box->x, 8.0f, 1e-4f);
    EXPECT_NEAR(box->y, 12.0f + 10.0f, 1e-4f);
}

TEST_F(PhysicsWorldTest, BindingPlacesTheBodyByAngleAndOffset) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld(0.1f, 60, 0, 0);
    CInstance* box = MakeInstance(50, 80, 0);
    box->image_angle = 90;
    world->BindFixture(Box(1, 1, 0), box, 16, 0);
    b2Body* body = box->physicsBody->Body();
    EXPECT_NEAR(body->GetAngle(), -kPhysicsPi / 2, 1e-6f);
    EXPECT_NEAR(body->GetPosition().x / 0.1f, 50.0f, 1e-3f);
    EXPECT_NEAR(body->GetPosition().y / 0.1f, 96.0f, 1e-3f);
    world->Step(60, false);
    EXPECT_NEAR(box->x, 50.0f, 1e-3f);
    EXPECT_NEAR(box->y, 80.0f, 1e-3f);
}

TEST_F(PhysicsWorldTest, GravityWakesSleepersOnlyWhenNotZero) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld();
    CInstance* box = MakeInstance(0, 0, 0);
    CPhysicsFixture* sleeper = Box(1, 1, 1);
    sleeper->awake = false;
    world->BindFixture(sleeper, box, 0, 0);
    b2Body* body = box->physicsBody->Body();
    world->SetGravity(0, 0);
    EXPECT_FALSE(body->IsAwake());
    world->SetGravity(0, 5);
    EXPECT_TRUE(body->IsAwake());
}

// Objects 0..19 and 21..29 take their own slots; 20 and 30 name each other, so their slots
// reach past the library's 16 filter bits. Object 31 is in no pair and passes through.
TEST_F(PhysicsWorldTest, CategoriesBeyondSixteenBitsCollide) {
    std::vector<std::pair<int32_t, int32_t>> pairs = {{20, 30}};
    for (int32_t i = 0; i < 30; ++i)
        if (i != 20) pairs.push_back({i, i});
    MakeObjects(32, pairs);
    CPhysicsWorld* world = MakeWorld(0.1f, 60);
    std::vector<CInstance*> fillers;
    CInstance* ground = nullptr;
    for (int32_t i = 0; i < 30; ++i) {
        CInstance* instance = MakeInstance(1000.0f + 100 * i, 0, i);
        world->BindFixture(Box(1, 1, 0), instance, 0, 0);
        if (i == 20) ground = instance;
    }
    CInstance* ground2 = MakeInstance(3000, 300, 20);
    world->BindFixture(Box(10, 1, 0), ground2, 0, 0);
    CInstance* faller = MakeInstance(3000, 200, 30);
    world->BindFixture(Box(1, 1, 1), faller, 0, 0);
    CInstance* ghost = MakeInstance(3050, 200, 31);
    world->BindFixture(Box(1, 1, 1), ghost, 0, 0);
    EXPECT_EQ(ground->physicsBody->CategorySlot(), 20);
    EXPECT_EQ(faller->physicsBody->CategorySlot(), 30);
    EXPECT_EQ(world->Slot(20).maskBits, 1u << 30);
    EXPECT_EQ(world->Slot(30).maskBits, 1u << 20);
    for (int frame = 0; frame < 120; ++frame) world->Step(60, false);
    EXPECT_NEAR(faller->y, 300.0f - 20.0f, 1.0f);  // resting on the ground's top face
    EXPECT_GT(ghost->y, 400.0f);                   // fell through
    EXPECT_FALSE(Seen().empty());
}

TEST_F(PhysicsWorldTest, TheThirtyThirdObjectGetsNoCategory) {
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (int32_t i = 0; i < 33; ++i) pairs.push_back({i, i});
    MakeObjects(33, pairs);
    CPhysicsWorld* world = MakeWorld();
    for (int32_t i = 0; i < 33; ++i) world->BindFixture(Box(1, 1, 0), MakeInstance(0, 0, i), 0, 0);
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0],
              "Unable to assign a collision category for object __newobject32.\nConsider using "
              "parenting to reduce collision overheads where possible.");
    EXPECT_EQ(m_instances.back()->physicsBody->CategorySlot(), -1);
}

TEST_F(PhysicsWorldTest, ChildrenShareTheSlotOfAParentWithAsManyPartners) {
    MakeObjects(3, {{0, 2}, {1, 2}});
    Object_Find(1)->parentIndex = 0;
    Object_LinkParents();
    CPhysicsWorld* world = MakeWorld();
    CInstance* parent = MakeInstance(0, 0, 0);
    CInstance* child = MakeInstance(0, 0, 1);
    world->BindFixture(Box(1, 1, 0), parent, 0, 0);
    world->BindFixture(Box(1, 1, 0), child, 0, 0);
    EXPECT_EQ(parent->physicsBody->CategorySlot(), child->physicsBody->CategorySlot());
}

// A body lives in the world that made it, whichever room is current when it goes.
TEST_F(PhysicsWorldTest, BodyIsDestroyedInItsOwnWorld) {
    MakeObjects(1);
    CPhysicsWorld* first = MakeWorld();
    CPhysicsWorld* second = MakeWorld();
    CInstance* a = MakeInstance(0, 0, 0);
    CInstance* b = MakeInstance(0, 0, 0);
    first->BindFixture(Box(1, 1, 1), a, 0, 0);
    second->BindFixture(Box(1, 1, 1), b, 0, 0);
    Forget(a);
    EXPECT_EQ(first->Library().GetBodyCount(), 0);
    EXPECT_EQ(second->Library().GetBodyCount(), 1);
}

TEST_F(PhysicsWorldTest, DestroyingTheWorldTakesTheBodiesOffItsInstances) {
    MakeObjects(1);
    auto* world = new CPhysicsWorld(0.1f, 60);
    CInstance* a = MakeInstance(0, 0, 0);
    world->BindFixture(Box(1, 1, 1), a, 0, 0);
    delete world;
    EXPECT_EQ(a->physicsBody, nullptr);
}

TEST_F(PhysicsWorldTest, CopyKeepsSettingsButNoBodies) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld(0.25f, 45, 1, 2);
    world->SetIterations(4);
    world->BindFixture(Box(1, 1, 1), MakeInstance(0, 0, 0), 0, 0);
    world->SetPaused(true);
    CPhysicsWorld* copy = CPhysicsWorld::CopyFrom(world);
    m_worlds.push_back(copy);
    EXPECT_FLOAT_EQ(copy->PixelsToMetres(), 0.25f);
    EXPECT_EQ(copy->UpdateSpeed(), 45);
    EXPECT_EQ(copy->Iterations(), 4);
    EXPECT_EQ(copy->Gravity().x, 1.0f);
    EXPECT_EQ(copy->Gravity().y, 2.0f);
    EXPECT_FALSE(copy->Paused());
    EXPECT_EQ(copy->Library().GetBodyCount(), 0);
}

}  // namespace
