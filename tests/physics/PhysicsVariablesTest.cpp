// The instances' phy_ variables, read and written through the built-in variable rows.
#include "PhysicsTestSupport.h"
#include "core/Variable.h"
#include "world/Variable_BuiltIn.h"

using namespace physicstest;

namespace {

// What one collision event read through the rows: the point count, then x, y, nx, ny of each
// point, and whether an index past the last point gave no value.
struct ContactRead {
    int32_t self = -1;
    double count = -1;
    std::vector<double> values;
    bool pastLastIsEmpty = false;
};

std::vector<ContactRead>& ContactReads() {
    static std::vector<ContactRead> reads;
    return reads;
}

bool Read(CInstance* self, const char* name, double* value, int32_t index = ARRAY_INDEX_WHOLE) {
    const BuiltinVariable* row = Variable_BuiltIn_Row(Variable_BuiltIn_Find(name));
    if (row == nullptr) {
        ADD_FAILURE() << "no variable " << name;
        return false;
    }
    RValue out = RValue_Real(-12345);
    if (!row->getter(self, index, &out)) return false;
    *value = out.val;
    return true;
}

// The value, or NaN when the row gave none.
double Value(CInstance* self, const char* name, int32_t index = ARRAY_INDEX_WHOLE) {
    double value = 0;
    return Read(self, name, &value, index) ? value : std::nan("");
}

bool Write(CInstance* self, const char* name, double value) {
    const BuiltinVariable* row = Variable_BuiltIn_Row(Variable_BuiltIn_Find(name));
    if (row == nullptr || row->setter == nullptr) return false;
    RValue v = RValue_Real(value);
    return row->setter(self, ARRAY_INDEX_WHOLE, &v);
}

void ContactHandler(CInstance* self, CInstance*) {
    ContactRead read;
    read.self = self->id;
    read.count = Value(self, "phy_collision_points");
    for (int32_t i = 0; i < static_cast<int32_t>(read.count); ++i)
        for (const char* name :
             {"phy_collision_x", "phy_collision_y", "phy_col_normal_x", "phy_col_normal_y"})
            read.values.push_back(Value(self, name, i));
    read.pastLastIsEmpty = std::isnan(Value(self, "phy_collision_x", static_cast<int32_t>(read.count))) &&
                           std::isnan(Value(self, "phy_col_normal_y", static_cast<int32_t>(read.count)));
    ContactReads().push_back(read);
}

bool ContactEntry(int32_t, CompiledEntryInfo* out) {
    out->entry = nullptr;
    out->name = "collision";
    out->function = reinterpret_cast<void*>(&ContactHandler);
    return true;
}

class PhysicsVariablesTest : public PhysicsTest {
protected:
    void SetUp() override {
        PhysicsTest::SetUp();
        if (Variable_BuiltIn_Find("phy_rotation") < 0) Variable_BuiltIn_Init();
        ContactReads().clear();
    }
    // A room at factor 0.1 (10 pixels a metre) and 60 frames a second, without gravity, and a
    // dynamic 2 x 1 metre box of object 0 at (100, 50).
    CInstance* BoxInRoom() {
        MakeObjects(2, {{0, 1}, {1, 0}});
        MakeRoom(0.1f, 60);
        m_room->physicsWorld->SetGravity(0, 0);
        CInstance* box = MakeRoomInstance(100, 50, 0);
        m_room->physicsWorld->BindFixture(Box(1, 0.5f, 1), box, 0, 0);
        return box;
    }
};

TEST_F(PhysicsVariablesTest, InstanceWithoutBodyOrWorldGivesNoValue) {
    MakeObjects(1);
    CInstance* plain = MakeInstance(10, 20, 0);
    for (const char* name : {"phy_rotation", "phy_position_x", "phy_speed", "phy_mass", "phy_sleeping",
                             "phy_collision_points", "phy_col_normal_y"})
        EXPECT_TRUE(std::isnan(Value(plain, name))) << name;
    EXPECT_FALSE(Write(plain, "phy_position_x", 5));
    EXPECT_FALSE(Write(plain, "phy_rotation", 5));
    EXPECT_EQ(plain->x, 10);

    // A body in a world that is not the current room's: no scale to convert with.
    CPhysicsWorld* world = MakeWorld();
    CInstance* bodied = MakeInstance(10, 20, 0);
    world->BindFixture(Box(1, 1, 1), bodied, 0, 0);
    ASSERT_NE(bodied->physicsBody, nullptr);
    EXPECT_TRUE(std::isnan(Value(bodied, "phy_position_x")));
    EXPECT_FALSE(Write(bodied, "phy_position_x", 50));
    EXPECT_FLOAT_EQ(bodied->physicsBody->Body()->GetPosition().x, 1.0f);
}

TEST_F(PhysicsVariablesTest, ReadOnlyRowsHaveNoSetter) {
    for (const char* name :
         {"phy_mass", "phy_inertia", "phy_com_x", "phy_com_y", "phy_speed", "phy_dynamic", "phy_kinematic",
          "phy_sleeping", "phy_position_xprevious", "phy_position_yprevious", "phy_collision_points",
          "phy_collision_x", "phy_collision_y", "phy_col_normal_x", "phy_col_normal_y"})
        EXPECT_EQ(Variable_BuiltIn_Row(Variable_BuiltIn_Find(name))->setter, nullptr) << name;
    for (const char* name : {"phy_rotation", "phy_position_x", "phy_active", "phy_speed_y"})
        EXPECT_NE(Variable_BuiltIn_Row(Variable_BuiltIn_Find(name))->setter, nullptr) << name;
}

TEST_F(PhysicsVariablesTest, BodyReadsInRoomUnits) {
    CInstance* box = BoxInRoom();
    b2Body* body = box->physicsBody->Body();
    EXPECT_FLOAT_EQ(Value(box, "phy_position_x"), 100);
    EXPECT_FLOAT_EQ(Value(box, "phy_position_y"), 50);
    EXPECT_FLOAT_EQ(Value(box, "phy_com_x"), 100);
    EXPECT_FLOAT_EQ(Value(box, "phy_com_y"), 50);
    EXPECT_FLOAT_EQ(Value(box, "phy_mass"), 2);  // 2 x 1 metres at density 1
    // About the centre: m (w^2 + h^2) / 12.
    EXPECT_NEAR(Value(box, "phy_inertia"), 2 * (4 + 1) / 12.0, 1e-5);
    EXPECT_EQ(Value(box, "phy_dynamic"), 1);
    EXPECT_EQ(Value(box, "phy_kinematic"), 0);

    // The body angle in degrees without change of sign; the image angle after a step negates it.
    body->SetTransform(body->GetPosition(), kPhysicsPi / 6);
    EXPECT_NEAR(Value(box, "phy_rotation"), 30, 1e-4);
    body->SetLinearVelocity(b2Vec2(3, -6));  // metres a second
    body->SetAngularVelocity(kPhysicsPi);
    EXPECT_FLOAT_EQ(Value(box, "phy_linear_velocity_x"), 30);
    EXPECT_FLOAT_EQ(Value(box, "phy_linear_velocity_y"), -60);
    EXPECT_FLOAT_EQ(Value(box, "phy_speed_x"), 0.5);  // pixels a frame at 60 frames a second
    EXPECT_FLOAT_EQ(Value(box, "phy_speed_y"), -1);
    EXPECT_NEAR(Value(box, "phy_speed"), std::sqrt(1.25), 1e-6);
    EXPECT_NEAR(Value(box, "phy_angular_velocity"), 180, 1e-4);

    body->SetAngularVelocity(0);
    m_room->physicsWorld->Step(60, false);
    EXPECT_NEAR(box->image_angle, -Value(box, "phy_rotation"), 1e-4);
    // The previous position is where the body stood before this frame's steps.
    EXPECT_FLOAT_EQ(Value(box, "phy_position_xprevious"), 100);
    EXPECT_FLOAT_EQ(Value(box, "phy_position_yprevious"), 50);
    EXPECT_NEAR(Value(box, "phy_position_x"), 100.5, 1e-4);
    EXPECT_NEAR(Value(box, "phy_position_y"), 49, 1e-4);
    m_room->physicsWorld->Step(60, false);
    EXPECT_NEAR(Value(box, "phy_position_xprevious"), 100.5, 1e-4);

    // A body that stays still long enough falls asleep.
    body->SetLinearVelocity(b2Vec2(0, 0));
    EXPECT_EQ(Value(box, "phy_sleeping"), 0);
    for (int frame = 0; frame < 40; ++frame) m_room->physicsWorld->Step(60, false);
    EXPECT_EQ(Value(box, "phy_sleeping"), 1);
}

TEST_F(PhysicsVariablesTest, SettersMoveTheBody) {
    CInstance* box = BoxInRoom();
    b2Body* body = box->physicsBody->Body();
    ASSERT_TRUE(Write(box, "phy_position_x", 200));
    EXPECT_FLOAT_EQ(body->GetPosition().x, 20);
    EXPECT_FLOAT_EQ(body->GetPosition().y, 5);  // the other coordinate kept
    ASSERT_TRUE(Write(box, "phy_position_y", 70));
    EXPECT_FLOAT_EQ(body->GetPosition().y, 7);
    ASSERT_TRUE(Write(box, "phy_rotation", 90));
    EXPECT_NEAR(body->GetAngle(), kPhysicsPi / 2, 1e-6);

    ASSERT_TRUE(Write(box, "phy_linear_velocity_x", 40));
    ASSERT_TRUE(Write(box, "phy_linear_velocity_y", -20));
    EXPECT_FLOAT_EQ(body->GetLinearVelocity().x, 4);
    EXPECT_FLOAT_EQ(body->GetLinearVelocity().y, -2);
    ASSERT_TRUE(Write(box, "phy_speed_x", 1));  // a pixel a frame: 6 metres a second
    EXPECT_FLOAT_EQ(body->GetLinearVelocity().x, 6);
    EXPECT_FLOAT_EQ(body->GetLinearVelocity().y, -2);
    ASSERT_TRUE(Write(box, "phy_speed_y", -0.5));
    EXPECT_FLOAT_EQ(body->GetLinearVelocity().y, -3);
    ASSERT_TRUE(Write(box, "phy_angular_velocity", 90));
    EXPECT_NEAR(body->GetAngularVelocity(), kPhysicsPi / 2, 1e-6);

    ASSERT_TRUE(Write(box, "phy_linear_damping", 0.25));
    ASSERT_TRUE(Write(box, "phy_angular_damping", 2));
    EXPECT_FLOAT_EQ(Value(box, "phy_linear_damping"), 0.25);
    EXPECT_FLOAT_EQ(Value(box, "phy_angular_damping"), 2);

    // The flags turn on above one half.
    const std::vector<std::pair<const char*, bool (b2Body::*)() const>> flags = {
        {"phy_bullet", &b2Body::IsBullet},
        {"phy_fixed_rotation", &b2Body::IsFixedRotation},
        {"phy_active", &b2Body::IsEnabled}};
    for (const auto& [name, is] : flags) {
        ASSERT_TRUE(Write(box, name, 0.5)) << name;
        EXPECT_FALSE((body->*is)()) << name;
        EXPECT_EQ(Value(box, name), 0) << name;
        ASSERT_TRUE(Write(box, name, 0.51)) << name;
        EXPECT_TRUE((body->*is)()) << name;
        EXPECT_EQ(Value(box, name), 1) << name;
    }
    EXPECT_TRUE(Reports().empty());
}

TEST_F(PhysicsVariablesTest, StaticBodyTurnsKinematicWhenGivenAVelocity) {
    MakeObjects(1);
    MakeRoom(0.1f, 60);
    CInstance* wall = MakeRoomInstance(0, 0, 0);
    m_room->physicsWorld->BindFixture(Box(1, 1, 0), wall, 0, 0);
    EXPECT_EQ(Value(wall, "phy_dynamic"), 0);
    EXPECT_EQ(Value(wall, "phy_kinematic"), 0);
    EXPECT_EQ(Value(wall, "phy_mass"), 0);
    ASSERT_TRUE(Write(wall, "phy_linear_velocity_x", 10));
    EXPECT_EQ(Value(wall, "phy_kinematic"), 1);
    EXPECT_FLOAT_EQ(Value(wall, "phy_linear_velocity_x"), 10);
}

TEST_F(PhysicsVariablesTest, BadValuesAreReportedAndReplaced) {
    CInstance* box = BoxInRoom();
    b2Body* body = box->physicsBody->Body();
    ASSERT_TRUE(Write(box, "phy_position_x", std::nan("")));
    EXPECT_EQ(body->GetPosition().x, 0);
    ASSERT_TRUE(Write(box, "phy_linear_damping", -1));
    EXPECT_EQ(body->GetLinearDamping(), 0);
    EXPECT_EQ(Reports().size(), 2u);
    m_room->physicsWorld->Step(60, false);
    EXPECT_TRUE(std::isfinite(Value(box, "phy_position_y")));
}

// A body kept on fixed rotation because its inertia would not hold stays so, after a report,
// rather than handing the library a negative inertia.
TEST_F(PhysicsVariablesTest, FixedRotationStaysWhereInertiaWouldNotHold) {
    MakeObjects(1);
    MakeRoom(0.1f, 60);
    CPhysicsFixture* far = Fixture_Create();
    far->SetPolygonShape();
    for (const PhysicsPoint& p : {PhysicsPoint{1000, 1000}, PhysicsPoint{1000.1f, 1000},
                                  PhysicsPoint{1000.1f, 1000.1f}, PhysicsPoint{1000, 1000.1f}})
        ASSERT_TRUE(far->AddPoint(p.x, p.y));
    far->density = 1;
    CInstance* instance = MakeRoomInstance(0, 0, 0);
    m_room->physicsWorld->BindFixture(far, instance, 0, 0);
    ASSERT_EQ(Value(instance, "phy_fixed_rotation"), 1);
    Reports().clear();
    ASSERT_TRUE(Write(instance, "phy_fixed_rotation", 0));
    EXPECT_EQ(Value(instance, "phy_fixed_rotation"), 1);
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0], "m_I > 0.0f ");
}

TEST_F(PhysicsVariablesTest, CollisionVariablesReadTheContactBeingDispatched) {
    static CodeSource source;
    source.gameIsCompiled = [] { return true; };
    source.gameHasCode = [] { return true; };
    source.compiledEntry = ContactEntry;
    Code_SetSource(&source);
    MakeObjects(2, {{0, 1}, {1, 0}});
    MakeRoom(0.1f, 60);
    CPhysicsWorld* world = m_room->physicsWorld;
    world->SetGravity(0, 10);
    CInstance* ground = MakeRoomInstance(0, 100, 0);
    world->BindFixture(Box(20, 1, 0), ground, 0, 0);
    CInstance* box = MakeRoomInstance(0, 70, 1);  // falls 1 metre onto the ground's top at 90
    world->BindFixture(Box(1, 1, 1), box, 0, 0);
    for (int frame = 0; frame < 60 && ContactReads().empty(); ++frame) world->Step(60, false);
    ASSERT_EQ(ContactReads().size(), 2u);
    for (const ContactRead& read : ContactReads()) {
        EXPECT_EQ(read.count, 2) << read.self;  // a box face on a box face: two points
        ASSERT_EQ(read.values.size(), 8u);
        for (int32_t i = 0; i < 2; ++i) {
            EXPECT_NEAR(std::fabs(read.values[i * 4]), 10, 0.5) << i;  // the box's corners
            EXPECT_NEAR(read.values[i * 4 + 1], 90, 0.5) << i;
            // The normal points from fixture A to fixture B whichever instance asks.
            EXPECT_EQ(read.values[i * 4 + 2], ContactReads()[0].values[i * 4 + 2]);
            EXPECT_NEAR(std::fabs(read.values[i * 4 + 3]), 1, 1e-5);
        }
        EXPECT_TRUE(read.pastLastIsEmpty);
    }
    // Outside the dispatch, no contact.
    EXPECT_EQ(Value(box, "phy_collision_points"), 0);
    EXPECT_TRUE(std::isnan(Value(box, "phy_collision_x", 0)));
    EXPECT_TRUE(std::isnan(Value(box, "phy_col_normal_x", 0)));
}

}  // namespace
