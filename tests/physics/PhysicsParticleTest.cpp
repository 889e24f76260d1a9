// The particles of a physics world: group fills on the lattice, destruction at the next step,
// the group table, buffers of particle data, the step (settling, walls, push-out from fixtures)
// and the built-ins' conversions and messages.
#include <cstring>

#include "PhysicsTestSupport.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "data/Function_Data_Structures.h"
#include "io/Buffer_Manager.h"
#include "physics/Function_Physics_Particle.h"
#include "physics/Physics_Particle.h"
#include "world/Room_Class.h"
#include "world/Run.h"

using namespace physicstest;

namespace {

class PhysicsParticleTest : public PhysicsTest {
protected:
    // A world of factor 1 whose lattice spacing is 1 metre.
    CPhysicsParticleSystem& UnitLattice(float gravityY = 0.0f) {
        CPhysicsWorld* world = MakeWorld(1.0f, 60, 0.0f, gravityY);
        world->Particles().SetRadius(1.0f / 1.5f);
        return world->Particles();
    }
    static int32_t FillBox(CPhysicsParticleSystem& system, float halfWidth, float halfHeight,
                           b2Vec2 at = {0, 0}) {
        ParticleGroupDef& def = system.PendingGroup();
        def.shape = ParticleGroupDef::BOX;
        def.halfWidth = halfWidth;
        def.halfHeight = halfHeight;
        def.position = at;
        return system.EndGroup();
    }
};

TEST_F(PhysicsParticleTest, GroupsFillTheirShapeOnTheLattice) {
    struct Case {
        ParticleGroupDef::Shape shape;
        float a, b;
        int32_t count;
    };
    // Lattice points inside: a 5 x 3 box; the 3 x 3 points within 1.5 of the centre.
    for (const Case& c :
         {Case{ParticleGroupDef::BOX, 2.5f, 1.5f, 15}, Case{ParticleGroupDef::CIRCLE, 1.5f, 0, 9},
          Case{ParticleGroupDef::CIRCLE, 0.5f, 0, 1}}) {
        CPhysicsParticleSystem& system = UnitLattice();
        ParticleGroupDef& def = system.PendingGroup();
        def.shape = c.shape;
        def.radius = c.a;
        def.halfWidth = c.a;
        def.halfHeight = c.b;
        def.position = b2Vec2(10.0f, 20.0f);
        def.category = 7;
        const int32_t id = system.EndGroup();
        ASSERT_EQ(id, 0);
        EXPECT_EQ(system.Count(), c.count);
        EXPECT_EQ(system.GroupCount(id), c.count);
        for (int32_t i = 0; i < system.Count(); ++i) {
            const PhysicsParticle& p = system.Particles()[i];
            EXPECT_FLOAT_EQ(p.position.x - 10.0f, std::round(p.position.x - 10.0f));
            EXPECT_LE(std::fabs(p.position.x - 10.0f), c.a);
            EXPECT_EQ(p.category, 7);
        }
        const ParticleGroupStats stats = system.GroupStats(id);
        EXPECT_NEAR(stats.centre.x, 10.0f, 1e-4f);
        EXPECT_NEAR(stats.centre.y, 20.0f, 1e-4f);
        EXPECT_NEAR(stats.mass, c.count * system.ParticleMass(), 1e-4f);
        TearDown();
        SetUp();
    }
}

TEST_F(PhysicsParticleTest, AGroupWithoutAShapeIsReportedAndNotMade) {
    CPhysicsParticleSystem& system = UnitLattice();
    EXPECT_EQ(system.EndGroup(), -1);
    ParticleGroupDef& def = system.PendingGroup();
    def.shape = ParticleGroupDef::POLYGON;
    def.points = {{0, 0}, {1, 0}};
    EXPECT_EQ(system.EndGroup(), -1);
    EXPECT_EQ(Reports().size(), 2u);
    def.points.emplace_back(0, 1);
    EXPECT_EQ(system.EndGroup(), 0);
}

TEST_F(PhysicsParticleTest, DestroyedParticlesCountUntilTheNextStep) {
    CPhysicsParticleSystem& system = UnitLattice();
    for (int32_t i = 0; i < 3; ++i) system.CreateParticle(0, b2Vec2(10.0f * i, 0), b2Vec2(0, 0), {}, i + 1);
    system.DestroyParticle(1);
    system.DestroyParticle(7);  // out of range: nothing
    EXPECT_EQ(system.Count(), 3);
    system.Step(1.0f / 60);
    ASSERT_EQ(system.Count(), 2);
    EXPECT_EQ(system.Particles()[0].category, 1);
    EXPECT_EQ(system.Particles()[1].category, 3);
}

TEST_F(PhysicsParticleTest, TheMaximumCountStopsCreation) {
    CPhysicsParticleSystem& system = UnitLattice();
    system.SetMaxCount(4);
    EXPECT_EQ(FillBox(system, 2.5f, 1.5f), 0);
    EXPECT_EQ(system.Count(), 4);
    EXPECT_EQ(system.CreateParticle(0, b2Vec2(0, 0), b2Vec2(0, 0), {}, 0), -1);
    system.SetMaxCount(2);  // below the count: refused
    EXPECT_EQ(system.MaxCount(), 4);
    EXPECT_FALSE(Reports().empty());
}

TEST_F(PhysicsParticleTest, GroupIdsReuseEmptyEntries) {
    CPhysicsParticleSystem& system = UnitLattice();
    for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(FillBox(system, 0.5f, 0.5f, b2Vec2(10.0f * i, 0)), i);
    system.DeleteGroup(1);
    EXPECT_EQ(system.GroupCount(1), 0);
    EXPECT_EQ(FillBox(system, 0.5f, 0.5f), 1);
    EXPECT_EQ(system.GroupTableSize(), 3);
    EXPECT_EQ(FillBox(system, 0.5f, 0.5f), 3);
    EXPECT_EQ(system.GroupTableSize(), 6);  // 0, 1, 3, 6
}

TEST_F(PhysicsParticleTest, AGroupEmptiedByDestructionClearsItsEntry) {
    CPhysicsParticleSystem& system = UnitLattice();
    const int32_t keep = FillBox(system, 1.5f, 1.5f, b2Vec2(-20, 0));
    const int32_t lose = FillBox(system, 1.5f, 1.5f, b2Vec2(20, 0));
    b2PolygonShape region;
    region.SetAsBox(5, 5);
    EXPECT_EQ(system.DestroyParticlesInShape(region, b2Transform(b2Vec2(20, 0), b2Rot(0))), 9);
    EXPECT_NE(system.Group(lose), nullptr);  // still there until the step
    system.Step(1.0f / 60);
    EXPECT_EQ(system.Group(lose), nullptr);
    EXPECT_EQ(system.GroupCount(lose), 0);
    EXPECT_EQ(system.GroupCount(keep), 9);
    EXPECT_EQ(FillBox(system, 0.5f, 0.5f), lose);
}

TEST_F(PhysicsParticleTest, JoiningMovesTheParticlesAndEmptiesTheEntry) {
    CPhysicsParticleSystem& system = UnitLattice();
    const int32_t a = FillBox(system, 0.5f, 0.5f, b2Vec2(0, 0));
    const int32_t middle = FillBox(system, 1.5f, 0.5f, b2Vec2(10, 0));
    const int32_t b = FillBox(system, 1.5f, 1.5f, b2Vec2(20, 0));
    system.PendingGroup().groupFlags = 0;
    system.Group(b)->flags = 2;
    system.JoinGroups(a, b);
    EXPECT_EQ(system.Group(b), nullptr);
    EXPECT_EQ(system.GroupCount(b), 0);
    EXPECT_EQ(system.GroupCount(a), 10);
    EXPECT_EQ(system.GroupCount(middle), 3);
    EXPECT_EQ(system.Group(a)->flags, 2u);
    for (int32_t i = system.Group(a)->first; i < system.Group(a)->end; ++i)
        EXPECT_EQ(system.Particles()[i].group, system.Group(a));
    EXPECT_NEAR(system.GroupStats(middle).centre.x, 10.0f, 1e-4f);
    system.JoinGroups(a, a);  // nothing
    EXPECT_EQ(system.GroupCount(a), 10);
}

TEST_F(PhysicsParticleTest, ParticleDataDecodesFieldByField) {
    CPhysicsWorld* world = MakeWorld(0.5f, 60, 0, 0);
    CPhysicsParticleSystem& system = world->Particles();
    system.CreateParticle(5, b2Vec2(1, 2), b2Vec2(3, -4), {10, 20, 30, 40}, 7);
    system.CreateParticle(0, b2Vec2(-1, 0.5f), b2Vec2(0, 0), {255, 0, 0, 255}, -2);
    const int32_t index = Buffer_Create(16, 1, 1);
    IBuffer* buffer = Buffer_GetByIndex(index);
    PhysicsParticles_WriteData(*world, buffer, 1 | 2 | 4 | 8 | 16, 0, 2);
    EXPECT_EQ(buffer->GetPosition(), 0);
    ASSERT_EQ(buffer->GetUsedSize(), 2 * (4 + 8 + 8 + 4 + 4));
    const double expected[2][7] = {{5, 2, 4, 6, -8, 40u << 24 | 10 << 16 | 20 << 8 | 30, 7},
                                   {0, -2, 1, 0, 0, 0xFFFF0000u, -2}};
    const int32_t types[7] = {eBuffer_U32, eBuffer_F32, eBuffer_F32, eBuffer_F32,
                              eBuffer_F32, eBuffer_U32, eBuffer_S32};
    for (int32_t p = 0; p < 2; ++p)
        for (int32_t field = 0; field < 7; ++field) {
            RValue value = RValue_Real(0);
            ASSERT_EQ(buffer->Read(types[field], &value), 0);
            EXPECT_DOUBLE_EQ(value.val, expected[p][field]) << p << " " << field;
        }
    // Position and colour only: 12 bytes a particle, from where the buffer stood.
    buffer->Seek(0, 3);
    PhysicsParticles_WriteData(*world, buffer, 2 | 8, 1, 2);
    EXPECT_EQ(buffer->GetPosition(), 3);
    for (const auto& [first, end] : {std::pair{2, 2}, std::pair{-1, 1}, std::pair{1, 0}, std::pair{0, 3}}) {
        const int32_t before = buffer->GetUsedSize();
        PhysicsParticles_WriteData(*world, buffer, 31, first, end);  // out of range: nothing
        EXPECT_EQ(buffer->GetUsedSize(), before);
    }
    Buffer_Free(index);
}

// A pool of liquid dropped into a box of four static walls: after a few seconds it rests on
// the floor, no particle having passed through a wall.
TEST_F(PhysicsParticleTest, TenThousandParticlesSettleInABox) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld(1.0f, 60, 0, 10);
    CPhysicsParticleSystem& system = world->Particles();
    system.SetRadius(0.25f);
    const float halfWidth = 94.5f, halfHeight = 10.0f;  // inside the walls; walls 2 thick
    for (const auto& [x, y, hw, hh] : {std::tuple{0.0f, halfHeight + 1, halfWidth + 2, 1.0f},
                                       std::tuple{0.0f, -halfHeight - 1, halfWidth + 2, 1.0f},
                                       std::tuple{-halfWidth - 1, 0.0f, 1.0f, halfHeight + 2},
                                       std::tuple{halfWidth + 1, 0.0f, 1.0f, halfHeight + 2}}) {
        CInstance* wall = MakeInstance(x, y, 0);
        world->BindFixture(Box(hw, hh, 0), wall, 0, 0);
    }
    // 501 x 21 lattice points, a little above the floor.
    FillBox(system, 93.9f, 3.86f, b2Vec2(0, halfHeight - 4.2f));
    ASSERT_GE(system.Count(), 10000);
    for (int frame = 0; frame < 240; ++frame) world->Step(60, false);
    float meanSpeed = 0.0f, lowest = -halfHeight, highest = halfHeight;
    for (int32_t i = 0; i < system.Count(); ++i) {
        const PhysicsParticle& p = system.Particles()[i];
        ASSERT_LT(std::fabs(p.position.x), halfWidth) << i;
        ASSERT_LT(std::fabs(p.position.y), halfHeight) << i;
        meanSpeed += p.velocity.Length() / static_cast<float>(system.Count());
        lowest = std::max(lowest, p.position.y);
        highest = std::min(highest, p.position.y);
    }
    EXPECT_LT(meanSpeed, 1.0f);
    EXPECT_GT(lowest, halfHeight - 0.5f);    // the lowest layer lies on the floor
    EXPECT_GT(highest, -halfHeight + 2.0f);  // and nothing is still up at the ceiling
}

// A cup of wall particles (a floor row and two side columns) holds a block of liquid.
TEST_F(PhysicsParticleTest, WallParticlesStayAndHoldOthers) {
    CPhysicsParticleSystem& system = UnitLattice(10.0f);
    system.SetRadius(0.1f);  // lattice spacing 0.15
    std::vector<b2Vec2> cup;
    for (int32_t i = -20; i <= 20; ++i) cup.emplace_back(0.15f * i, 0.0f);
    for (int32_t i = 1; i <= 12; ++i) {
        cup.emplace_back(-3.0f, -0.15f * i);
        cup.emplace_back(3.0f, -0.15f * i);
    }
    for (const b2Vec2& at : cup) system.CreateParticle(PARTICLE_FLAG_WALL, at, b2Vec2(0, 0), {}, 1);
    FillBox(system, 0.5f, 0.5f, b2Vec2(0, -1.0f));  // 7 x 7 above the floor row
    ASSERT_EQ(system.Count(), static_cast<int32_t>(cup.size()) + 49);
    for (int step = 0; step < 180; ++step) system.Step(1.0f / 60);
    for (int32_t i = 0; i < system.Count(); ++i) {
        const PhysicsParticle& p = system.Particles()[i];
        if (p.category == 1) {
            EXPECT_EQ(p.position, cup[i]);
            EXPECT_EQ(p.velocity, b2Vec2(0, 0));
        } else {
            EXPECT_LT(p.position.y, -0.05f) << i;  // resting on the floor row, not through it
            EXPECT_LT(std::fabs(p.position.x), 2.95f) << i;
        }
    }
}

TEST_F(PhysicsParticleTest, ParticlesPushDynamicBodiesAndAreStoppedByThem) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld(1.0f, 60, 0, 0);
    CPhysicsParticleSystem& system = world->Particles();
    system.SetRadius(0.1f);
    CInstance* box = MakeInstance(2, 0, 0);
    world->BindFixture(Box(0.5f, 0.5f, 1), box, 0, 0);
    CInstance* edge = MakeInstance(-2, 0, 0);
    CPhysicsFixture* thin = Fixture_Create();
    thin->SetEdgeShape(0, -1, 0, 1);
    world->BindFixture(thin, edge, 0, 0);
    // One particle thrown at the box, one thrown fast at a thin edge.
    system.CreateParticle(0, b2Vec2(0, 0), b2Vec2(5, 0), {}, 1);
    system.CreateParticle(0, b2Vec2(-1.5f, 0), b2Vec2(-60, 0), {}, 2);
    for (int frame = 0; frame < 30; ++frame) world->Step(60, false);
    EXPECT_GT(box->physicsBody->Body()->GetLinearVelocity().x, 0.0f);
    EXPECT_LT(system.Particles()[0].position.x, box->physicsBody->Body()->GetPosition().x - 0.5f);
    EXPECT_GT(system.Particles()[1].position.x, -2.0f);
}

// Thousands of particles made on one spot neither hang the step nor stay heaped.
TEST_F(PhysicsParticleTest, AHeapOnOneSpotParts) {
    CPhysicsParticleSystem& system = UnitLattice();
    system.SetRadius(0.1f);
    for (int32_t i = 0; i < 3000; ++i) system.CreateParticle(0, b2Vec2(0, 0), b2Vec2(0, 0), {}, 0);
    for (int step = 0; step < 30; ++step) system.Step(1.0f / 60);
    float farthest = 0.0f;
    for (int32_t i = 0; i < system.Count(); ++i)
        farthest = std::max(farthest, system.Particles()[i].position.Length());
    EXPECT_GT(farthest, 1.0f);
    for (int32_t i = 0; i < system.Count(); ++i) ASSERT_TRUE(system.Particles()[i].position.IsValid());
}

// --- The built-ins ------------------------------------------------------------------------

class ParticleBuiltinTest : public PhysicsParticleTest {
protected:
    void SetUp() override {
        PhysicsParticleTest::SetUp();
        static const bool registered = (InitPhysicsParticleFunctions(), true);
        (void)registered;
        Run_SetCurrentRoom(&m_room);
    }
    void TearDown() override {
        m_room.physicsWorld = nullptr;
        Run_SetCurrentRoom(nullptr);
        PhysicsParticleTest::TearDown();
    }
    RValue Call(const char* name, std::vector<double> values) {
        int32_t id = -1;
        EXPECT_TRUE(Code_Function_Find(name, &id)) << name;
        std::vector<RValue> args;
        for (double v : values) args.push_back(RValue_Real(v));
        RValue result = RValue_Real(12345);
        Code_Function_Row(id)->function(result, nullptr, nullptr, static_cast<int32_t>(args.size()),
                                        args.data());
        return result;
    }
    CRoom m_room;
};

TEST_F(ParticleBuiltinTest, EveryRowIsRegisteredInOrderWithItsCountAndFlag) {
    int32_t first = -1, last = -1;
    ASSERT_TRUE(Code_Function_Find("physics_particle_create", &first));
    ASSERT_TRUE(Code_Function_Find("physics_particle_set_gravity_scale", &last));
    EXPECT_EQ(last - first, 43);
    const BuiltinFunction* poly = Code_Function_Row(first + 4);
    EXPECT_STREQ(poly->name, "physics_particle_delete_region_poly");
    EXPECT_EQ(Code_Function_Row(first + 11)->argc, 2);  // get_data_particle reads 3
}

TEST_F(ParticleBuiltinTest, WithoutAWorldEachReportsItsMessageAndDefault) {
    EXPECT_EQ(Call("physics_particle_create", {0, 0, 0, 0, 0, 0, 1, 0}).val, -1.0);
    EXPECT_EQ(Call("physics_particle_group_get_ang_vel", {0}).val, -1.0);
    EXPECT_EQ(Call("physics_particle_delete", {0}).val, 12345.0);  // no default: left as it was
    ASSERT_EQ(Reports().size(), 3u);
    EXPECT_EQ(Reports()[0],
              "physics_particle_create() The current room does not have a physics world representation");
    EXPECT_EQ(Reports()[1],
              "physics_particle_group_get_x() The current room does not have a physics world representation");
}

TEST_F(ParticleBuiltinTest, RoomUnitsAndColoursConvert) {
    m_room.physicsWorld = MakeWorld(0.1f, 60, 0, 0);
    CPhysicsParticleSystem& system = m_room.physicsWorld->Particles();
    EXPECT_EQ(Call("physics_particle_create", {5, 100, 200, 10, 0, 0x332211, 0.5, 9}).val, 0.0);
    const PhysicsParticle& p = system.Particles()[0];
    EXPECT_FLOAT_EQ(p.position.x, 10.0f);
    EXPECT_FLOAT_EQ(p.position.y, 20.0f);
    EXPECT_FLOAT_EQ(p.velocity.x, 1.0f);
    EXPECT_EQ(p.flags, 5u);
    EXPECT_EQ(p.colour.r, 0x11);
    EXPECT_EQ(p.colour.g, 0x22);
    EXPECT_EQ(p.colour.b, 0x33);
    EXPECT_EQ(p.colour.a, 127);
    EXPECT_EQ(p.category, 9);

    // A side of 0 counts as 1 pixel.
    Call("physics_particle_group_box", {0, 10, 0});
    EXPECT_FLOAT_EQ(system.PendingGroup().halfWidth, 0.1f);
    EXPECT_FLOAT_EQ(system.PendingGroup().halfHeight, 1.0f);
    Call("physics_particle_group_begin", {0, 0, 50, 60, 30, 0, 0, 90, 0xFF, 1, 1, 3});
    EXPECT_NEAR(system.PendingGroup().angle, -kPhysicsPi / 6, 1e-6f);
    EXPECT_NEAR(system.PendingGroup().angularVelocity, kPhysicsPi / 2, 1e-6f);
    Call("physics_particle_set_radius", {2});
    EXPECT_NEAR(Call("physics_particle_get_radius", {}).val, 2.0, 1e-5);
    const int32_t group = static_cast<int32_t>(Call("physics_particle_group_end", {}).val);
    EXPECT_EQ(group, 0);
    EXPECT_NEAR(Call("physics_particle_group_get_x", {0}).val, 50.0, 1e-4);
    EXPECT_NEAR(Call("physics_particle_group_get_angle", {0}).val, -30.0, 1e-4);
    EXPECT_EQ(Call("physics_particle_group_get_mass", {5}).val, 0.0);  // no such group

    // Polygon points: the ninth is ignored.
    Call("physics_particle_group_polygon", {0});
    for (int i = 0; i < 9; ++i) Call("physics_particle_group_add_point", {double(i), 0, 0});
    EXPECT_EQ(system.PendingGroup().points.size(), 8u);

    // Category flags: 0 means every particle.
    Call("physics_particle_create", {0, 0, 0, 0, 0, 0, 1, 7});
    Call("physics_particle_set_category_flags", {7, 64});
    EXPECT_EQ(system.Particles()[system.Count() - 1].flags, 64u);
    EXPECT_EQ(system.Particles()[0].flags, 5u);
    Call("physics_particle_set_category_flags", {0, 32});
    EXPECT_EQ(system.Particles()[0].flags, 32u);
}

TEST_F(ParticleBuiltinTest, RegionsDeleteWhatLiesInThem) {
    m_room.physicsWorld = MakeWorld(0.1f, 60, 0, 0);
    CPhysicsParticleSystem& system = m_room.physicsWorld->Particles();
    system.SetRadius(0.1f);
    for (int32_t i = 0; i < 10; ++i) system.CreateParticle(0, b2Vec2(1.0f * i, 0), b2Vec2(0, 0), {}, 0);
    Call("physics_particle_delete_region_circle", {0, 0, 15});  // pixels: particles 0 and 1
    Call("physics_particle_delete_region_box", {50, 0, 5, 5});  // particle 5
    const int32_t list = g_DsListTable.AllocSlot();
    g_DsListTable.Store(list, new CDS_List());
    for (double v : {65.0, -5.0, 85.0, -5.0, 85.0, 5.0, 65.0, 5.0, 99.0}) {  // an odd last value is left
        const RValue value = RValue_Real(v);
        g_DsListTable.Get(list)->Add(&value);
    }
    Call("physics_particle_delete_region_poly", {double(list)});  // particles 7 and 8
    Runtime_SetNonFatalReporter([](const char* text) { Reports().push_back(text); });
    Call("physics_particle_delete_region_poly", {double(list + 1)});
    Runtime_SetNonFatalReporter(nullptr);
    DS_DestroyList(list);
    EXPECT_EQ(Reports().back(), "Data structure with index does not exist.");
    EXPECT_EQ(system.Count(), 10);
    m_room.physicsWorld->Step(60, false);
    ASSERT_EQ(system.Count(), 5);
    const float kept[] = {2.0f, 3.0f, 4.0f, 6.0f, 9.0f};
    for (int32_t i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(system.Particles()[i].position.x, kept[i]);
}

TEST_F(ParticleBuiltinTest, DataParticleNeedsItsThreeArguments) {
    m_room.physicsWorld = MakeWorld(1.0f, 60, 0, 0);
    m_room.physicsWorld->Particles().CreateParticle(3, b2Vec2(1, 2), b2Vec2(0, 0), {}, 0);
    const int32_t index = Buffer_Create(8, 1, 1);
    EXPECT_EQ(Call("physics_particle_get_data_particle", {0, double(index)}).val, -1.0);
    EXPECT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Buffer_GetByIndex(index)->GetUsedSize(), 8);
    Call("physics_particle_get_data_particle", {0, double(index), 1});
    RValue flags = RValue_Real(0);
    Buffer_GetByIndex(index)->Read(eBuffer_U32, &flags);
    EXPECT_EQ(flags.val, 3.0);
    Call("physics_particle_get_data", {double(index + 100), 1});
    EXPECT_EQ(Reports().back(), "Illegal Buffer Index");
    Buffer_Free(index);
}

}  // namespace
