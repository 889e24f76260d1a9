// Fixture definitions, binding them into bodies, and what bodies take: velocities, forces,
// material values and inputs the library could not take.
#include "PhysicsTestSupport.h"

using namespace physicstest;

namespace {

class PhysicsFixtureTest : public PhysicsTest {};

TEST_F(PhysicsFixtureTest, PolygonPointsMustRunClockwiseOnScreen) {
    struct Case {
        const char* name;
        std::vector<PhysicsPoint> points;
        int32_t failsAt;  // -1: every point accepted
    };
    const std::vector<Case> cases = {
        {"clockwise square", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, -1},
        {"reversed square", {{0, 10}, {10, 10}, {10, 0}, {0, 0}}, 2},
        {"collinear", {{0, 0}, {5, 0}, {10, 0}}, -1},
        {"concave", {{0, 0}, {10, 0}, {10, 10}, {5, 2}, {0, 10}}, 3},
    };
    for (const Case& c : cases) {
        Reports().clear();
        CPhysicsFixture* fixture = Fixture_Create();
        fixture->SetPolygonShape();
        int32_t failedAt = -1;
        for (size_t i = 0; i < c.points.size() && failedAt < 0; ++i)
            if (!fixture->AddPoint(c.points[i].x, c.points[i].y)) failedAt = static_cast<int32_t>(i);
        EXPECT_EQ(failedAt, c.failsAt) << c.name;
        if (c.failsAt >= 0) {
            ASSERT_EQ(Reports().size(), 1u) << c.name;
            EXPECT_EQ(Reports()[0], "ERROR: The polygon shape for fixture " + std::to_string(fixture->id) +
                                        " is concave or ordered anti-clockwise");
        }
    }
}

TEST_F(PhysicsFixtureTest, PointLimitsByShape) {
    CPhysicsFixture* fixture = Fixture_Create();
    fixture->SetPolygonShape();
    const float xs[] = {0, 4, 8, 10, 10, 8, 4, 0};
    const float ys[] = {0, -2, -2, 0, 4, 6, 6, 4};
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(fixture->AddPoint(xs[i], ys[i])) << i;
    EXPECT_FALSE(fixture->AddPoint(5, 5));  // a ninth point
    for (auto set : {+[](CPhysicsFixture* f) { f->SetCircleShape(1); },
                     +[](CPhysicsFixture* f) { f->SetBoxShape(1, 1); },
                     +[](CPhysicsFixture* f) { f->SetEdgeShape(0, 0, 1, 0); }}) {
        set(fixture);
        EXPECT_FALSE(fixture->AddPoint(0, 0));
    }
    fixture->SetChainShape(false);
    std::vector<int32_t> capacities;
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(fixture->AddPoint(static_cast<float>(i), 0));
        if (capacities.empty() || capacities.back() != fixture->PointCapacity())
            capacities.push_back(fixture->PointCapacity());
    }
    EXPECT_EQ(capacities, (std::vector<int32_t>{8, 12, 18, 27}));
    fixture->SetPolygonShape();
    EXPECT_TRUE(fixture->Points().empty());
}

TEST_F(PhysicsFixtureTest, BodyTypeComesFromTheFirstDefinition) {
    struct Case {
        float density;
        bool kinematic;
        b2BodyType type;
    };
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld();
    for (const Case& c :
         {Case{0, false, b2_staticBody}, Case{0, true, b2_kinematicBody}, Case{0.5f, true, b2_dynamicBody}}) {
        CPhysicsFixture* fixture = Box(1, 1, c.density);
        fixture->kinematic = c.kinematic;
        fixture->linearDamping = 0.5f;
        CInstance* instance = MakeInstance(0, 0, 0);
        EXPECT_EQ(world->BindFixture(fixture, instance, 0, 0), 0);
        EXPECT_EQ(instance->physicsBody->Body()->GetType(), c.type);
        // A second binding adds a fixture under the next key and keeps the body as it was.
        CPhysicsFixture* second = Circle(1, 2);
        second->linearDamping = 3;
        EXPECT_EQ(world->BindFixture(second, instance, 0, 0), 1);
        EXPECT_EQ(instance->physicsBody->Body()->GetType(), c.type);
        EXPECT_FLOAT_EQ(instance->physicsBody->Body()->GetLinearDamping(), 0.5f);
    }
}

TEST_F(PhysicsFixtureTest, BindingWithoutShapeOrPointsFails) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld();
    CInstance* instance = MakeInstance(0, 0, 0);
    EXPECT_EQ(world->BindFixture(Fixture_Create(), instance, 0, 0), -1);
    CPhysicsFixture* polygon = Fixture_Create();
    polygon->SetPolygonShape();
    polygon->AddPoint(0, 0);
    polygon->AddPoint(1, 0);
    EXPECT_EQ(world->BindFixture(polygon, instance, 0, 0), -1);
    EXPECT_EQ(Reports(),
              (std::vector<std::string>{"No fixture shape data present for __newobject0\n",
                                        "Too few vertices in polygon shape fixture for __newobject0"}));
    EXPECT_EQ(instance->physicsBody, nullptr);
}

TEST_F(PhysicsFixtureTest, VelocityOnAStaticBodyMakesItKinematic) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld(0.1f, 60, 0, 0);
    CInstance* still = MakeInstance(0, 0, 0);
    CInstance* moved = MakeInstance(0, 0, 0);
    world->BindFixture(Box(1, 1, 0), still, 0, 0);
    world->BindFixture(Box(1, 1, 0), moved, 0, 0);
    still->physicsBody->SetLinearVelocity(0, 0);
    moved->physicsBody->SetLinearVelocity(1, 0);
    EXPECT_EQ(still->physicsBody->Body()->GetType(), b2_staticBody);
    EXPECT_EQ(moved->physicsBody->Body()->GetType(), b2_kinematicBody);
    world->Step(60, false);
    EXPECT_GT(moved->x, 0.0f);
}

TEST_F(PhysicsFixtureTest, MaterialByKey) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld();
    CInstance* instance = MakeInstance(0, 0, 0);
    world->BindFixture(Box(1, 1, 1), instance, 0, 0);
    CPhysicsObject* body = instance->physicsBody;
    const float massBefore = body->Body()->GetMass();
    body->SetDensity(0, 2);
    EXPECT_FLOAT_EQ(body->Body()->GetMass(), 2 * massBefore);
    body->SetFriction(0, 0.7f);
    EXPECT_FLOAT_EQ(body->GetFriction(0), 0.7f);
    body->SetFriction(5, 0.9f);  // no such key
    EXPECT_EQ(body->GetFriction(5), 0.0f);
    EXPECT_FALSE(body->RemoveFixture(5));
    EXPECT_TRUE(body->RemoveFixture(0));
    EXPECT_FALSE(body->RemoveFixture(0));
    EXPECT_EQ(body->Body()->GetFixtureList(), nullptr);
}

TEST_F(PhysicsFixtureTest, ChainIsOneFixtureOfTwoSidedEdges) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld(0.1f, 60);
    CInstance* ground = MakeInstance(0, 0, 0);
    CPhysicsFixture* chain = Fixture_Create();
    chain->SetChainShape(false);
    for (auto [x, y] : {std::pair{0.0f, 10.0f}, {10.0f, 10.0f}, {20.0f, 10.0f}}) chain->AddPoint(x, y);
    EXPECT_EQ(world->BindFixture(chain, ground, 0, 0), 0);
    EXPECT_EQ(ground->physicsBody->Fixture(0)->parts.size(), 2u);
    EXPECT_TRUE(ground->physicsBody->RemoveFixture(0));
    EXPECT_EQ(ground->physicsBody->Body()->GetFixtureList(), nullptr);
}

TEST_F(PhysicsFixtureTest, OverlapPlacesTheShapesAtTheGivenTransform) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld();
    CInstance* a = MakeInstance(0, 0, 0);
    CInstance* b = MakeInstance(100, 0, 0);  // 10 m away
    world->BindFixture(Box(1, 1, 0), a, 0, 0);
    world->BindFixture(Box(1, 1, 0), b, 0, 0);
    EXPECT_FALSE(world->TestOverlap(a, b, 0, 0, 0));
    EXPECT_TRUE(world->TestOverlap(a, b, 9.5f, 0, 0));
    EXPECT_FALSE(world->TestOverlap(a, MakeInstance(0, 0, 0), 0, 0, 0));
}

// Values the library asserts on are reported and replaced; the process carries on.
TEST_F(PhysicsFixtureTest, InputsTheLibraryCannotTakeAreReportedNotFatal) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld();
    const float nan = std::nanf("");
    CPhysicsFixture* flat = Fixture_Create();
    flat->SetPolygonShape();
    for (int i = 0; i < 3; ++i) flat->AddPoint(1, 1);  // no area
    flat->density = 1;
    CPhysicsFixture* tiny = Box(0, 0, 1);
    CPhysicsFixture* negative = Box(1, 1, -5);
    negative->linearDamping = -1;
    CPhysicsFixture* chain = Fixture_Create();
    chain->SetChainShape(true);
    for (int i = 0; i < 4; ++i) chain->AddPoint(2, 2);  // all one point
    for (CPhysicsFixture* fixture : {flat, tiny, negative, chain}) {
        CInstance* instance = MakeInstance(nan, 1e30f, 0);
        world->BindFixture(fixture, instance, 0, 0);
        if (CPhysicsObject* body = instance->physicsBody) {
            body->SetLinearVelocity(nan, 1);
            body->ApplyForce(nan, 0, 1e38f, 1e38f);
            body->SetMassProperties(1, 100, 100, 1);
            body->SetDensity(0, nan);
        }
    }
    for (int frame = 0; frame < 5; ++frame) world->Step(60, false);
    EXPECT_FALSE(Reports().empty());
}

}  // namespace
