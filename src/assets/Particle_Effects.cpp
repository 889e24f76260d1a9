#include "assets/Particle_Effects.h"

#include <cmath>

#include "assets/Particle_Main.h"
#include "core/Timing.h"
#include "world/Room_Services.h"
#include "world/World_Step.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

constexpr int32_t kTypeCount = 35;  // 6 explosion, 3 for each of nine kinds, rain, snow
constexpr float kBelowDepth = 100000.0f, kBelowLayerDepth = 50.0f, kAboveDepth = -100000.0f;

int32_t g_systemBelow = -1, g_systemAbove = -1;
bool g_typesMade = false;

// The effect types in the order they are made.
struct EffectTypes {
    int32_t explosion[3][2];
    int32_t ring[3], ellipse[3], firework[3], smoke[3], smokeUp[3], star[3], spark[3], flare[3], cloud[3];
    int32_t rain, snow;
};
static_assert(sizeof(EffectTypes) == kTypeCount * sizeof(int32_t));
EffectTypes g_types;

void TypesLost() {
    g_typesMade = false;
}

// A new run starts with no systems: the effects make theirs again rather than borrow whatever
// system the game makes first in the same slot.
void SystemsLost() {
    g_systemBelow = g_systemAbove = -1;
}

void InitTypes() {
    auto* slot = reinterpret_cast<int32_t*>(&g_types);
    for (int32_t i = 0; i < kTypeCount; ++i) slot[i] = ParticleType_Create();
    g_typesMade = true;
}

void EnsureSystem(int32_t* system, float depth) {
    if (ParticleSystem_Exists(*system)) return;
    *system = ParticleSystem_Create();
    ParticleSystem_SetDepth(*system, depth);
}

// The effect's scale s and R(n), the nearest integer to n / s (halves to even).
struct Scale {
    float s;
    int32_t R(double n) const { return static_cast<int32_t>(std::nearbyint(n / s)); }
};

const CRoom* Room() {
    return Run_Room();
}

void RandomOrientation(int32_t t) {
    ParticleType_Orientation(t, 0, 360, 0, 0, false);
}

void AnyDirection(int32_t t) {
    ParticleType_Direction(t, 0, 360, 0, 0);
}

void Explosion(int32_t system, float x, float y, int32_t size, int32_t colour, Scale k) {
    struct Row {
        float size, increment, speed, speedIncrement;
        int32_t lifeMin, lifeMax;
        float coreSize, coreIncrement;
        int32_t coreLife;
    };
    static constexpr Row kRows[3] = {{0.1f, 0.05f, 2, -0.1f, 10, 15, 0.1f, 0.1f, 15},
                                     {0.3f, 0.1f, 4, -0.18f, 12, 17, 0.3f, 0.2f, 17},
                                     {0.4f, 0.2f, 7, -0.2f, 15, 20, 0.4f, 0.4f, 20}};
    const Row& r = kRows[size];
    const float s = k.s;
    const int32_t first = g_types.explosion[size][0], core = g_types.explosion[size][1];
    ParticleType_Shape(first, 10);
    ParticleType_Size(first, r.size, r.size, r.increment * s, 0);
    RandomOrientation(first);
    AnyDirection(first);
    ParticleType_Speed(first, r.speed * s, r.speed * s, r.speedIncrement * s, 0);
    ParticleType_Alpha2(first, 0.6f, 0);
    ParticleType_Life(first, k.R(r.lifeMin), k.R(r.lifeMax));
    Particles_CreateColour(system, x, y, first, colour, 20);
    ParticleType_Shape(core, 10);
    ParticleType_Size(core, r.coreSize, r.coreSize, r.coreIncrement * s, 0);
    RandomOrientation(core);
    ParticleType_Alpha2(core, 0.8f, 0);
    ParticleType_Life(core, k.R(r.coreLife), k.R(r.coreLife));
    Particles_CreateColour(system, x, y, core, 0, 1);
}

void RingOrEllipse(int32_t system, float x, float y, int32_t size, int32_t colour, Scale k, bool ellipse) {
    static constexpr float kRingIncrement[3] = {0.15f, 0.25f, 0.4f},
                           kEllipseIncrement[3] = {0.2f, 0.35f, 0.6f};
    static constexpr int32_t kLife[3][2] = {{10, 12}, {13, 15}, {18, 20}};
    const int32_t t = ellipse ? g_types.ellipse[size] : g_types.ring[size];
    ParticleType_Shape(t, 6);
    ParticleType_Alpha2(t, 1, 0);
    ParticleType_Size(t, 0, 0, (ellipse ? kEllipseIncrement : kRingIncrement)[size] * k.s, 0);
    if (ellipse) ParticleType_Scale(t, 1, 0.5f);
    ParticleType_Life(t, k.R(kLife[size][0]), k.R(kLife[size][1]));
    Particles_CreateColour(system, x, y, t, colour, 1);
}

void Firework(int32_t system, float x, float y, int32_t size, int32_t colour, Scale k) {
    static constexpr float kTop[3] = {3, 6, 8}, kGravity[3] = {0.1f, 0.15f, 0.17f};
    static constexpr int32_t kLife[3][2] = {{15, 25}, {20, 30}, {30, 40}}, kCount[3] = {75, 150, 250};
    const int32_t t = g_types.firework[1];  // one type serves every size
    ParticleType_Shape(t, 8);
    ParticleType_Size(t, 0.1f, 0.2f, 0, 0);
    ParticleType_Speed(t, 0.5f * k.s, kTop[size] * k.s, 0, 0);
    AnyDirection(t);
    ParticleType_Alpha2(t, 1, 0.4f);
    ParticleType_Gravity(t, kGravity[size] * k.s, 270);
    ParticleType_Life(t, k.R(kLife[size][0]), k.R(kLife[size][1]));
    Particles_CreateColour(system, x, y, t, colour, kCount[size]);
}

void Smoke(int32_t system, float x, float y, int32_t size, int32_t colour, Scale k, bool rising) {
    static constexpr float kSize[3][2] = {{0.2f, 0.4f}, {0.4f, 0.7f}, {0.4f, 1.0f}};
    static constexpr float kSpeed[3][2] = {{3, 4}, {5, 6}, {6, 7}};
    static constexpr int32_t kLife[3] = {25, 30, 50}, kSpread[3] = {5, 15, 30}, kCount[3] = {6, 11, 16};
    const int32_t t = rising ? g_types.smokeUp[size] : g_types.smoke[size];
    ParticleType_Shape(t, 10);
    ParticleType_Size(t, kSize[size][0], kSize[size][1], -0.01f * k.s, 0);
    ParticleType_Alpha2(t, 0.4f, 0);
    ParticleType_Life(t, k.R(kLife[size]), k.R(kLife[size]));
    if (rising) {
        ParticleType_Direction(t, 90, 90, 0, 0);
        ParticleType_Speed(t, kSpeed[size][0] * k.s, kSpeed[size][1] * k.s, 0, 0);
    }
    const int32_t d = kSpread[size];
    for (int32_t i = 0; i < kCount[size]; ++i) {
        const float py = y - d + static_cast<float>(g_ParticleRandom.intMod(2 * d));
        const float px = x - d + static_cast<float>(g_ParticleRandom.intMod(2 * d));
        Particles_CreateColour(system, px, py, t, colour, 1);
    }
}

// Star, spark and flare: one turned shape that shrinks.
void Glint(int32_t system, float x, float y, int32_t size, int32_t colour, Scale k, int32_t kind) {
    static constexpr float kSize[3] = {0.4f, 0.75f, 1.2f}, kIncrement[3] = {-0.02f, -0.03f, -0.04f};
    static constexpr int32_t kLife[3] = {20, 25, 30};
    int32_t t = g_types.flare[size], shape = 8;
    if (kind == EF_STAR) t = g_types.star[size], shape = 4;
    if (kind == EF_SPARK) t = g_types.spark[size], shape = 9;
    // The small star asks for a maximum below its minimum, which the range reads as the minimum.
    const float max = kind == EF_STAR && size == 0 ? 0.3f : kSize[size];
    ParticleType_Shape(t, shape);
    RandomOrientation(t);
    ParticleType_Size(t, kSize[size], max, kIncrement[size] * k.s, 0);
    ParticleType_Life(t, k.R(kLife[size]), k.R(kLife[size]));
    Particles_CreateColour(system, x, y, t, colour, 1);
}

void Cloud(int32_t system, float x, float y, int32_t size, int32_t colour, Scale k) {
    static constexpr float kSize[3] = {2, 4, 8};
    const int32_t t = g_types.cloud[size];
    ParticleType_Shape(t, 10);
    ParticleType_Size(t, kSize[size], kSize[size], 0, 0);
    ParticleType_Scale(t, 1, 0.5f);
    ParticleType_Alpha3(t, 0, 0.3f, 0);
    ParticleType_Life(t, k.R(100), k.R(100));
    Particles_CreateColour(system, x, y, t, colour, 1);
}

// Rain and snow fall across the whole room from just above its top, wherever they were asked for.
void Weather(int32_t system, int32_t size, int32_t colour, Scale k, bool snow) {
    static constexpr int32_t kRain[3] = {2, 5, 9}, kSnow[3] = {1, 3, 7};
    const CRoom* room = Room();
    const double width = room ? room->width : 0, height = room ? room->height : 0;
    const int32_t t = snow ? g_types.snow : g_types.rain;
    if (snow) {
        ParticleType_Shape(t, 13);
        ParticleType_Size(t, 0.1f, 0.25f, 0, 0);
        ParticleType_Alpha1(t, 0.6f);
        RandomOrientation(t);
        ParticleType_Speed(t, 2.5f * k.s, 3.0f * k.s, 0, 0);
        ParticleType_Direction(t, 240, 300, 0, 20);
        ParticleType_Life(t, k.R(0.5 * height), k.R(0.5 * height));
    } else {
        ParticleType_Shape(t, 3);
        ParticleType_Size(t, 0.2f, 0.3f, 0, 0);
        ParticleType_Orientation(t, 0, 0, 0, 0, true);
        ParticleType_Speed(t, 7 * k.s, 7 * k.s, 0, 0);
        ParticleType_Direction(t, 260, 260, 0, 0);
        ParticleType_Alpha1(t, 0.4f);
        ParticleType_Life(t, k.R(0.2 * height), k.R(0.2 * height));
    }
    const int32_t count = (snow ? kSnow : kRain)[size];
    for (int32_t i = 0; i < count; ++i) {
        const float y = static_cast<float>(g_ParticleRandom.real(20) - 30);
        const float x = static_cast<float>(g_ParticleRandom.real(1) * 1.2 * width - (snow ? 60 : 0));
        Particles_CreateColour(system, x, y, t, colour, 1);
    }
}

}  // namespace

float Effect_SpeedScale() {
    const CRoom* room = Room();
    const int32_t target =
        Particle_LayerMode() ? static_cast<int32_t>(g_GameClock.GetFps()) : (room ? room->speed : 30);
    const int32_t measured = g_FrameTiming.fps;
    if (target <= 30 || measured <= 30) return 1.0f;
    if (static_cast<double>(target) / measured < 1.2) return 30.0f / static_cast<float>(target);
    return 30.0f / static_cast<float>(measured);
}

void Effect_InitSystems() {
    EnsureSystem(&g_systemBelow, Particle_LayerMode() ? kBelowLayerDepth : kBelowDepth);
    EnsureSystem(&g_systemAbove, kAboveDepth);
    if (!g_typesMade) InitTypes();
}

void Effect_Create(bool below, int32_t kind, float x, float y, int32_t size, int32_t colour) {
    Effect_InitSystems();
    const int32_t system = below ? g_systemBelow : g_systemAbove;
    const int32_t s = size == 0 ? 0 : size == 2 ? 2 : 1;
    const Scale k{Effect_SpeedScale()};
    switch (kind) {
        case EF_EXPLOSION:
            Explosion(system, x, y, s, colour, k);
            break;
        case EF_RING:
            RingOrEllipse(system, x, y, s, colour, k, false);
            break;
        case EF_ELLIPSE:
            RingOrEllipse(system, x, y, s, colour, k, true);
            break;
        case EF_FIREWORK:
            Firework(system, x, y, s, colour, k);
            break;
        case EF_SMOKE:
            Smoke(system, x, y, s, colour, k, false);
            break;
        case EF_SMOKEUP:
            Smoke(system, x, y, s, colour, k, true);
            break;
        case EF_STAR:
        case EF_SPARK:
        case EF_FLARE:
            Glint(system, x, y, s, colour, k, kind);
            break;
        case EF_CLOUD:
            Cloud(system, x, y, s, colour, k);
            break;
        case EF_RAIN:
            Weather(system, s, colour, k, false);
            break;
        case EF_SNOW:
            Weather(system, s, colour, k, true);
            break;
        default:
            break;
    }
}

void Effect_Clear() {
    Particles_Clear(g_systemBelow);
    Particles_Clear(g_systemAbove);
}

int32_t Effect_SystemBelow() {
    return g_systemBelow;
}

int32_t Effect_SystemAbove() {
    return g_systemAbove;
}

void Effect_InstallHooks() {
    g_RoomServices.effectClear = Effect_Clear;
    ParticleType_SetDestroyAllListener(TypesLost);
    ParticleSystem_SetDestroyAllListener(SystemsLost);
}
