// The part_* and effect_* built-ins called by name, and the ready-made effects: their systems,
// their types, the speed scale and what each kind makes.
#include <cmath>

#include "ParticleTestSupport.h"
#include "assets/Function_Particle.h"
#include "core/Code_Function.h"
#include "core/Timing.h"
#include "core/Value.h"
#include "app/MainLoop.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace particletest {
namespace {

RValue R(double d) {
    return RValue_Real(d);
}

class ParticleBuiltinTest : public ::testing::Test, protected ParticleTables {
protected:
    void SetUp() override {
        static const bool registered = (InitParticleFunctions(), true);
        (void)registered;
        StartParticles();
        m_room = new CRoom();
        m_room->width = 400;
        m_room->height = 300;
        m_room->speed = 30;
        Run_SetCurrentRoom(m_room);
        g_FrameTiming.fps = 30;
    }
    void TearDown() override {
        StopParticles();
        Run_SetCurrentRoom(nullptr);
        delete m_room;
        g_FrameTiming.fps = 0;
    }

    static RValue Call(const char* name, std::vector<RValue> args) {
        RValue result = RValue_Undefined();
        int32_t id = -1;
        const BuiltinFunction* row = Code_Function_Find(name, &id) ? Code_Function_Row(id) : nullptr;
        EXPECT_NE(row, nullptr) << name;
        if (row) row->function(result, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
        return result;
    }
    static double Real(const char* name, std::vector<RValue> args) {
        const RValue result = Call(name, std::move(args));
        EXPECT_EQ(result.kind, VALUE_REAL) << name;
        return result.val;
    }

    CRoom* m_room = nullptr;
};

TEST_F(ParticleBuiltinTest, RowsAreRegisteredInOrderWithTheirArgumentCounts) {
    const char* names[] = {
        "part_type_create",     "part_type_destroy", "part_type_color_mix", "part_type_color",
        "part_type_colour_mix", "part_type_alpha",   "part_system_drawit",  "part_particles_create_colour",
        "part_emitter_stream",  "effect_clear"};
    const int32_t argc[] = {0, 1, 3, 4, 3, 4, 1, 6, 4, 0};
    int32_t previous = -1;
    for (size_t i = 0; i < std::size(names); ++i) {
        int32_t id = -1;
        ASSERT_TRUE(Code_Function_Find(names[i], &id)) << names[i];
        EXPECT_GT(id, previous) << names[i];
        EXPECT_EQ(Code_Function_Row(id)->argc, argc[i]) << names[i];
        previous = id;
    }
    int32_t first = -1, last = -1;
    Code_Function_Find("part_type_create", &first);
    Code_Function_Find("effect_clear", &last);
    EXPECT_EQ(last - first, 60);
}

TEST_F(ParticleBuiltinTest, QueriesOfMissingThingsAnswerZeroOrMinusOne) {
    EXPECT_EQ(Real("part_type_exists", {R(-1)}), 0);
    EXPECT_EQ(Real("part_system_exists", {R(99999)}), 0);
    const double s = Real("part_system_create", {});
    EXPECT_EQ(Real("part_system_exists", {R(s)}), 1);
    Call("part_system_destroy", {R(s)});
    EXPECT_EQ(Real("part_particles_count", {R(s)}), 0);
    EXPECT_EQ(Real("part_emitter_create", {R(s)}), -1);
    EXPECT_EQ(Call("part_system_clear", {R(s)}).kind, VALUE_UNDEFINED);
}

TEST_F(ParticleBuiltinTest, SpellingsShareTheirSetters) {
    const double t = Real("part_type_create", {});
    Call("part_type_colour", {R(t), R(1), R(2), R(3)});
    EXPECT_EQ(ParticleType_Get(0)->colourMode, 2);
    EXPECT_EQ(ParticleType_Get(0)->colour[2], 3);
    Call("part_type_color_rgb", {R(t), R(1), R(2), R(3), R(4), R(5), R(6)});
    EXPECT_EQ(ParticleType_Get(0)->colourMode, 3);
    Call("part_type_alpha", {R(t), R(0.1), R(0.2), R(0.3)});
    EXPECT_FLOAT_EQ(ParticleType_Get(0)->alpha2, 0.2f);
    Call("part_type_alpha2", {R(t), R(1), R(0)});
    EXPECT_FLOAT_EQ(ParticleType_Get(0)->alpha2, 0.5f);
    // A real index is truncated by the argument reader.
    Real("part_type_create", {});
    Real("part_type_create", {});
    Call("part_type_life", {R(2.7), R(5), R(6)});
    EXPECT_EQ(ParticleType_Get(2)->lifeMin, 5);
}

TEST_F(ParticleBuiltinTest, ParticlesMadeAndStreamedThroughTheBuiltIns) {
    const double s = Real("part_system_create", {});
    const double t = Real("part_type_create", {});
    Call("part_particles_create", {R(s), R(5), R(6), R(t), R(3)});
    EXPECT_EQ(Real("part_particles_count", {R(s)}), 3);
    const double e = Real("part_emitter_create", {R(s)});
    Call("part_emitter_region", {R(s), R(e), R(0), R(10), R(0), R(10), R(1), R(0)});
    Call("part_emitter_stream", {R(s), R(e), R(t), R(2)});
    Call("part_system_update", {R(s)});
    EXPECT_EQ(Real("part_particles_count", {R(s)}), 5);
    Call("part_particles_clear", {R(s)});
    EXPECT_EQ(Real("part_particles_count", {R(s)}), 0);
}

TEST_F(ParticleBuiltinTest, TheSpeedScaleFollowsTheRoomSpeedAndTheMeasuredRate) {
    struct Case {
        int32_t roomSpeed, measured;
        float scale;
    } cases[] = {{30, 30, 1}, {60, 60, 0.5f}, {60, 40, 0.75f}, {60, 55, 0.5f}, {60, 20, 1}, {20, 60, 1}};
    for (const Case& c : cases) {
        m_room->speed = c.roomSpeed;
        g_FrameTiming.fps = c.measured;
        EXPECT_FLOAT_EQ(Effect_SpeedScale(), c.scale) << c.roomSpeed << " " << c.measured;
    }
}

TEST_F(ParticleBuiltinTest, AnExplosionScalesItsSpeedAndLifeAndPutsItsBlackCoreLast) {
    m_room->speed = 60;
    g_FrameTiming.fps = 60;
    Call("effect_create_above", {R(0), R(100), R(100), R(1), R(0x00FF00)});
    const int32_t above = Effect_SystemAbove();
    ASSERT_TRUE(ParticleSystem_Exists(above));
    EXPECT_EQ(ParticleSystem_Get(above)->depth, -100000.0f);
    EXPECT_EQ(ParticleSystem_Get(Effect_SystemBelow())->depth, 100000.0f);
    ASSERT_EQ(Particles_Count(above), 21);
    const ParticleSystem& s = *ParticleSystem_Get(above);
    for (int32_t i = 0; i < 20; ++i) {
        EXPECT_FLOAT_EQ(s.particles[i]->speed, 2.0f);  // medium: 4 x 0.5
        EXPECT_GE(s.particles[i]->life, 24);           // R(12 / 0.5) .. R(17 / 0.5)
        EXPECT_LT(s.particles[i]->life, 34);
        EXPECT_EQ(s.particles[i]->colour, 0x00FF00);
    }
    EXPECT_EQ(s.particles[20]->colour, 0);
    EXPECT_EQ(s.particles[20]->life, 34);
    // The effect types take the first free type slots: the next game type comes after them.
    EXPECT_EQ(ParticleType_Create(), 35);
}

TEST_F(ParticleBuiltinTest, EachKindMakesItsParticles) {
    struct Case {
        int32_t kind, size, count;
    } cases[] = {{1, 7, 1}, {2, 0, 1}, {3, 0, 75}, {3, 2, 250}, {4, 1, 11}, {5, 2, 16}, {6, 0, 1},
                 {7, 1, 1}, {8, 2, 1}, {9, 1, 1},  {10, 0, 2},  {10, 2, 9}, {11, 1, 3}, {12, 1, 0}};
    for (const Case& c : cases) {
        Effect_Clear();
        Call("effect_create_below", {R(c.kind), R(50), R(60), R(c.size), R(0xFFFFFF)});
        EXPECT_EQ(Particles_Count(Effect_SystemBelow()), c.count) << c.kind << "/" << c.size;
    }
    EXPECT_TRUE(ParticleSystem_Exists(Effect_SystemAbove()));
    // Rain ignores the position and spreads over 1.2 times the room's width above its top.
    Effect_Clear();
    Call("effect_create_below", {R(10), R(-500), R(-500), R(2), R(0)});
    const ParticleSystem& s = *ParticleSystem_Get(Effect_SystemBelow());
    for (int32_t i = 0; i < s.particleCount; ++i) {
        EXPECT_GE(s.particles[i]->x, 0);
        EXPECT_LT(s.particles[i]->x, 480);
        EXPECT_GE(s.particles[i]->y, -30);
        EXPECT_LT(s.particles[i]->y, -10);
        EXPECT_EQ(s.particles[i]->life, 60);  // R(0.2 x 300)
    }
}

TEST_F(ParticleBuiltinTest, EffectsRemakeWhatTheGameDestroyed) {
    Effect_Create(false, 1, 0, 0, 1, 0);
    const int32_t above = Effect_SystemAbove();
    ParticleSystem_Destroy(above);
    ParticleType_DestroyAll();
    Effect_Create(false, 1, 0, 0, 1, 0);
    EXPECT_TRUE(ParticleSystem_Exists(Effect_SystemAbove()));
    EXPECT_EQ(ParticleSystem_Get(Effect_SystemAbove())->depth, -100000.0f);
    EXPECT_EQ(Particles_Count(Effect_SystemAbove()), 1);
    EXPECT_TRUE(ParticleType_Exists(34));
    // A new run forgets the effect systems: the game's first system stays the game's.
    Particle_Reset();
    const int32_t mine = ParticleSystem_Create();
    Effect_Create(true, 1, 0, 0, 1, 0);
    EXPECT_NE(Effect_SystemBelow(), mine);
    EXPECT_EQ(Particles_Count(mine), 0);
    EXPECT_EQ(ParticleSystem_Get(Effect_SystemBelow())->depth, 100000.0f);
    // Room start empties both systems.
    Call("effect_clear", {});
    EXPECT_EQ(Particles_Count(Effect_SystemAbove()), 0);
}

}  // namespace
}  // namespace particletest
