// Joints made through the built-ins: their value codes, the rope's slack, ids and deletion with
// bodies, gears, and the debug views of bodies and of the world.
#include "PhysicsTestSupport.h"
#include "graphics/Graphics_Primitive.h"
#include "physics/Physics_DebugDraw.h"
#include "physics/Physics_Joint.h"

using namespace physicstest;

namespace {

class PhysicsJointTest : public PhysicsTest {
protected:
    void SetUp() override {
        PhysicsTest::SetUp();
        MakeObjects(2);
        MakeRoom(0.1f, 60);
        m_room->physicsWorld->SetGravity(0, 0);
    }
    // An instance with a 16 x 16 pixel box; density 0 leaves it static.
    CInstance* BoxAt(float x, float y, float density) {
        CInstance* instance = MakeRoomInstance(x, y, 0);
        const double fixture = Call("physics_fixture_create", nullptr, {});
        Call("physics_fixture_set_box_shape", nullptr, {fixture, 8, 8});
        Call("physics_fixture_set_density", nullptr, {fixture, density});
        Call("physics_fixture_bind", nullptr, {fixture, static_cast<double>(instance->id)});
        Call("physics_fixture_delete", nullptr, {fixture});
        return instance;
    }
    double Value(double joint, int32_t code) {
        return Call("physics_joint_get_value", nullptr, {joint, double(code)});
    }
    void SetValue(double joint, int32_t code, double value) {
        Call("physics_joint_set_value", nullptr, {joint, double(code), value});
    }
    std::vector<double> AllValues(double joint) {
        std::vector<double> values;
        for (int32_t code = 0; code <= 24; ++code) values.push_back(Value(joint, code));
        return values;
    }
    double Id(const CInstance* instance) { return instance->id; }
};

// Which codes each kind answers (beyond anchors and reactions, which every kind answers).
TEST_F(PhysicsJointTest, ValueCodesByKind) {
    CInstance* a = BoxAt(100, 100, 0);
    CInstance* b = BoxAt(200, 100, 1);
    const double ia = Id(a), ib = Id(b);
    struct Case {
        const char* kind;
        double joint;
        std::vector<std::pair<int32_t, double>> values;  // every other code from 7 reads 0
    };
    const double revolute =
        Call("physics_joint_revolute_create", nullptr, {ia, ib, 150, 100, -45, 45, 1, 20, 3, 1, 0});
    const std::vector<Case> cases = {
        {"distance",
         Call("physics_joint_distance_create", nullptr, {ia, ib, 100, 100, 200, 100, 0}),
         {{15, 100}}},
        {"rope",
         Call("physics_joint_rope_create", nullptr, {ia, ib, 100, 100, 200, 100, 300, 0}),
         {{22, 300}}},
        {"revolute", revolute, {{7, 3}, {10, 20}, {19, -45}, {20, 45}, {21, 1}}},
        {"prismatic",
         Call("physics_joint_prismatic_create", nullptr, {ia, ib, 150, 100, 1, 0, -10, 10, 1, 40, 2, 1, 0}),
         {{7, 2}, {14, 40}}},
        {"pulley",
         Call("physics_joint_pulley_create", nullptr, {ia, ib, 100, 0, 200, 0, 0, 0, 0, 0, 1, 0}),
         {{15, 100}, {16, 100}}},
        {"wheel",
         Call("physics_joint_wheel_create", nullptr, {ia, ib, 200, 100, 0, 1, 1, 30, 4, 5, 0.7, 0}),
         {{7, 4}, {10, 30}, {17, 0.7}, {18, 5}}},
        {"weld",
         Call("physics_joint_weld_create", nullptr, {ia, ib, 150, 100, 90, 2, 0.5, 0}),
         {{8, -1.5707964}, {17, 0.5}, {18, 2}}},
        {"friction",
         Call("physics_joint_friction_create", nullptr, {ia, ib, 150, 100, 6, 7, 0}),
         {{23, 7}, {24, 6}}},
    };
    for (const Case& c : cases) {
        ASSERT_GT(c.joint, 0) << c.kind;
        std::vector<double> expected(25, 0.0);
        for (auto [code, value] : c.values) expected[code] = value;
        const std::vector<double> got = AllValues(c.joint);
        for (int32_t code = 7; code <= 24; ++code) {
            if (code == 8 && std::string(c.kind) == "revolute") continue;  // the joint's current angle
            if (code == 11 || code == 12) continue;                        // where the bodies are now
            EXPECT_NEAR(got[code], expected[code], 1e-4) << c.kind << " code " << code;
        }
    }
    // Anchors in pixels.
    const double distance = cases[0].joint;
    EXPECT_NEAR(Value(distance, 0), 100, 1e-3);
    EXPECT_NEAR(Value(distance, 2), 200, 1e-3);
    EXPECT_NEAR(Value(revolute, 8), 0, 1e-6);  // radians, nothing turned yet
    // The distance joint's length is set in metres and read back in pixels.
    SetValue(distance, 15, 50);
    EXPECT_NEAR(Value(distance, 15), 500, 1e-3);
    // Read-only codes and codes of other kinds change nothing.
    const std::vector<double> before = AllValues(distance);
    for (int32_t code : {0, 1, 2, 3, 4, 5, 6, 8, 9, 11, 12, 13, 16, 22, 23}) SetValue(distance, code, 7);
    EXPECT_EQ(AllValues(distance), before);
    const double pulley = cases[4].joint;
    SetValue(pulley, 16, 999);
    EXPECT_NEAR(Value(pulley, 16), 100, 1e-3);
    // Limits written in degrees, the limit switch at 0.5.
    SetValue(revolute, 19, -30);
    SetValue(revolute, 20, 60);
    SetValue(revolute, 21, 0.4);
    EXPECT_NEAR(Value(revolute, 19), -30, 1e-4);
    EXPECT_NEAR(Value(revolute, 20), 60, 1e-4);
    EXPECT_EQ(Value(revolute, 21), 0);
    EXPECT_TRUE(Reports().empty()) << Reports()[0];
    // A lower limit above the upper one is reported, not fatal.
    SetValue(revolute, 19, 90);
    EXPECT_EQ(Reports().size(), 1u);
}

TEST_F(PhysicsJointTest, SlackRopePullsOnNothing) {
    m_room->physicsWorld->SetGravity(0, 10);
    CInstance* anchor = BoxAt(100, 100, 0);
    CInstance* tied = BoxAt(100, 150, 1);
    CInstance* free = BoxAt(300, 150, 1);
    const double rope =
        Call("physics_joint_rope_create", nullptr, {Id(anchor), Id(tied), 100, 100, 100, 150, 200, 0});
    ASSERT_GT(rope, 0);
    for (int frame = 0; frame < 30; ++frame) {
        m_room->physicsWorld->Step(60, false);
        // While slack the tied box falls exactly as the free one does.
        ASSERT_EQ(tied->y, free->y) << frame;
        ASSERT_EQ(Value(rope, 4), 0);
        ASSERT_EQ(Value(rope, 5), 0);
    }
    ASSERT_LT(tied->y - 100, 200);
    for (int frame = 0; frame < 120; ++frame) m_room->physicsWorld->Step(60, false);
    EXPECT_GT(free->y - 100, 300);
    EXPECT_LT(tied->y - 100, 202);  // taut: held at its length
    EXPECT_NE(Value(rope, 5), 0);
}

TEST_F(PhysicsJointTest, IdsCountOnAndGoWithTheirBodies) {
    CInstance* a = BoxAt(100, 100, 1);
    CInstance* b = BoxAt(200, 100, 1);
    const double first =
        Call("physics_joint_distance_create", nullptr, {Id(a), Id(b), 100, 100, 200, 100, 0});
    Call("physics_joint_delete", nullptr, {first});
    EXPECT_EQ(Joint_Find(static_cast<int32_t>(first)), nullptr);
    const double second =
        Call("physics_joint_distance_create", nullptr, {Id(a), Id(b), 100, 100, 200, 100, 0});
    const double third = Call("physics_joint_weld_create", nullptr, {Id(a), Id(b), 150, 100, 0, 0, 0, 0});
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(third, first + 2);
    delete a->physicsBody;  // as the instance's destruction does
    a->physicsBody = nullptr;
    EXPECT_EQ(Joint_Find(static_cast<int32_t>(second)), nullptr);
    EXPECT_EQ(Joint_Find(static_cast<int32_t>(third)), nullptr);
    EXPECT_EQ(m_room->physicsWorld->Library().GetJointCount(), 0);
    // Unknown ids and missing instances are reported.
    Reports().clear();
    EXPECT_EQ(Call("physics_joint_get_value", nullptr, {9999, 0}), 0);
    EXPECT_EQ(Call("physics_joint_revolute_create", nullptr, {123456, Id(b), 0, 0, 0, 0, 0, 0, 0, 0, 0}), -1);
    EXPECT_EQ(Call("physics_joint_distance_create", nullptr, {Id(a), Id(b), 0, 0, 0, 0, 0}), -1);
    EXPECT_EQ(Call("physics_joint_weld_create", nullptr, {Id(b), Id(b), 0, 0, 0, 0, 0, 0}), -1);
    ASSERT_EQ(Reports().size(), 4u);
    EXPECT_EQ(Reports()[0], "A joint does not exist");
    EXPECT_EQ(Reports()[1], "Unable to find instance: 123456");
    EXPECT_EQ(
        Reports()[2],
        "physics_joint_distance_create: An instance does not have an associated physics representation");
    EXPECT_EQ(Reports()[3], "def->bodyA != def->bodyB ");  // the library's own refusal, reported
}

TEST_F(PhysicsJointTest, GearsCoupleJointsOfOneWorldAndGoWithThem) {
    CInstance* ground = BoxAt(100, 300, 0);
    CInstance* a = BoxAt(100, 100, 1);
    CInstance* b = BoxAt(200, 100, 1);
    const double j1 =
        Call("physics_joint_revolute_create", nullptr, {Id(ground), Id(a), 100, 100, 0, 0, 0, 0, 0, 0, 0});
    const double j2 =
        Call("physics_joint_revolute_create", nullptr, {Id(ground), Id(b), 200, 100, 0, 0, 0, 0, 0, 0, 0});
    const double weld = Call("physics_joint_weld_create", nullptr, {Id(a), Id(b), 150, 100, 0, 0, 0, 0});
    EXPECT_EQ(Call("physics_joint_gear_create", nullptr, {Id(a), Id(b), j1, weld, 1}), -1);
    const double gear = Call("physics_joint_gear_create", nullptr, {Id(a), Id(b), j1, j2, 2});
    ASSERT_GT(gear, 0);
    m_room->physicsWorld->Step(60, false);
    // Another world's joint cannot be geared to this one's.
    CPhysicsWorld* elsewhere = MakeWorld();
    CInstance* c = MakeInstance(0, 0, 0);
    CInstance* d = MakeInstance(50, 0, 0);
    elsewhere->BindFixture(Box(1, 1, 0), c, 0, 0);
    elsewhere->BindFixture(Box(1, 1, 1), d, 0, 0);
    const int32_t foreign = Joint_CreateRevolute(elsewhere, c->physicsBody, d->physicsBody, 0, 0, 0, 0, false,
                                                 0, 0, false, false);
    EXPECT_EQ(Joint_CreateGear(m_room->physicsWorld, a->physicsBody, b->physicsBody,
                               Joint_Find(static_cast<int32_t>(j1)), Joint_Find(foreign), 1),
              -1);
    // Deleting a geared joint takes the gear with it.
    Call("physics_joint_delete", nullptr, {j1});
    EXPECT_EQ(Joint_Find(static_cast<int32_t>(gear)), nullptr);
    m_room->physicsWorld->Step(60, false);
    EXPECT_NE(Joint_Find(static_cast<int32_t>(j2)), nullptr);
    // A joint of another world is deleted in its own world, even from this room.
    Call("physics_joint_delete", nullptr, {double(foreign)});
    EXPECT_EQ(elsewhere->Library().GetJointCount(), 0);
    Forget(c);
    Forget(d);
}

struct Recorder : PhysicsDebugCanvas {
    struct Segment {
        float x1, y1, x2, y2;
        bool operator==(const Segment&) const = default;
    };
    void SetColour(uint32_t colour) override { colours.push_back(colour); }
    void Line(float x1, float y1, float x2, float y2) override { lines.push_back({x1, y1, x2, y2}); }
    void Triangle(float, float, float, float, float, float) override { ++triangles; }
    void Ellipse(float, float, float, float, bool) override { ++ellipses; }
    std::vector<uint32_t> colours;
    std::vector<Segment> lines;
    int triangles = 0, ellipses = 0;
};

TEST_F(PhysicsJointTest, BodyViewDrawsFixturesAndARevoluteCross) {
    CInstance* a = BoxAt(100, 100, 1);
    CInstance* b = MakeRoomInstance(200, 100, 0);
    const double edge = Call("physics_fixture_create", nullptr, {});
    Call("physics_fixture_set_edge_shape", nullptr, {edge, 0, 0, 20, 0});
    Call("physics_fixture_bind", nullptr, {edge, Id(b)});
    Call("physics_joint_revolute_create", nullptr, {Id(a), Id(b), 100, 100, 0, 0, 0, 0, 0, 0, 0});
    Recorder view;
    PhysicsDebug_DrawObject(a->physicsBody, 10.0f, view);
    ASSERT_EQ(view.lines.size(), 6u);  // the box's four edges, then the cross
    EXPECT_EQ(view.lines[4], (Recorder::Segment{98, 98, 102, 102}));
    EXPECT_EQ(view.lines[5], (Recorder::Segment{98, 102, 102, 98}));
    EXPECT_TRUE(view.colours.empty());  // in the current draw colour
    Recorder edgeView;
    PhysicsDebug_DrawObject(b->physicsBody, 10.0f, edgeView);
    EXPECT_EQ(edgeView.lines.size(), 2u);  // the cross only: edges are not drawn
}

TEST_F(PhysicsJointTest, WorldViewFollowsTheFlagsAndConvertsColours) {
    EXPECT_EQ(PhysicsDebug_Colour(b2Color(0.5f, 0.9f, 0.5f)), GR_Make_Colour(128, 230, 128));
    EXPECT_EQ(PhysicsDebug_Colour(b2Color(1.0f, 0.25f, 1.0f)), GR_Make_Colour(0, 64, 0));  // 256 wraps to 0
    EXPECT_EQ(PhysicsDebug_LibraryFlags(16 | 32), 0u);
    EXPECT_EQ(PhysicsDebug_LibraryFlags(1 | 2 | 4 | 8 | 64),
              uint32_t{b2Draw::e_shapeBit | b2Draw::e_jointBit | b2Draw::e_centerOfMassBit |
                       b2Draw::e_aabbBit | b2Draw::e_pairBit});
    BoxAt(100, 100, 1);
    Recorder nothing;
    PhysicsDebug_DrawWorld(m_room->physicsWorld, 16 | 32, nothing);
    EXPECT_TRUE(nothing.lines.empty() && nothing.triangles == 0 && nothing.colours.empty());
    Recorder shapes;
    PhysicsDebug_DrawWorld(m_room->physicsWorld, 1 | 8, shapes);
    EXPECT_EQ(shapes.triangles, 2);      // the box as a fan
    EXPECT_EQ(shapes.lines.size(), 4u);  // its bounding box
    Recorder coms;
    PhysicsDebug_DrawWorld(m_room->physicsWorld, 4, coms);
    ASSERT_EQ(coms.lines.size(), 2u);
    EXPECT_EQ(coms.colours, (std::vector<uint32_t>{0x0000FF, 0xFF0000}));
    EXPECT_NEAR(coms.lines[0].x2 - coms.lines[0].x1, 4.0f, 1e-3f);  // 0.4 m at 0.1 m a pixel
}

}  // namespace
