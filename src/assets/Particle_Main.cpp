#include "assets/Particle_Main.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "assets/Graphics_Colour.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/ResourceTable.h"
#include "core/RuntimeError.h"
#include "data/Common.h"
#include "graphics/TexturesM.h"
#include "base/GEN8.h"
#include "world/Room_Services.h"

ParticleRandom g_ParticleRandom = {Random_Real, Random_IntMod};
ParticleLayerHooks g_ParticleLayerHooks;

void ParticleRandom_Reset() {
    g_ParticleRandom = {Random_Real, Random_IntMod};
}

namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
// The list grows by 100 slots, or by a quarter when it is already large, so that a pass that
// spawns many thousands of particles does not copy the list at every hundredth.
constexpr int32_t kListGrowth = 100;
// One ageing pass visits what it spawns, so two types that spawn each other (or a type that
// dies into itself at once) would never end it. Past this many visits beyond the particles the
// pass started with, new particles wait for the next step.
constexpr int32_t kSpawnVisitLimit = 100000;
constexpr const char* kNoSystem = "part_particles_create :: particle system does not exist!\n";
constexpr const char* kNoType = "part_particles_create :: particle type does not exist!\n";

ResourceTable<ParticleType> g_types;
ResourceTable<ParticleSystem> g_systems;
TextureRecord* g_shapeTextures[PARTICLE_SHAPE_COUNT] = {};
void (*g_destroyAllListener)() = nullptr;
void (*g_systemsGoneListener)() = nullptr;

// The first empty slot of a table of pointers, growing it by one when every slot is taken.
template <typename T>
int32_t TakeSlot(T**& table, int32_t& count) {
    for (int32_t i = 0; i < count; ++i)
        if (table[i] == nullptr) return i;
    table = static_cast<T**>(MEM_REALLOC(table, sizeof(T*) * (count + 1)));
    table[count] = nullptr;
    return count++;
}

void SetTypeDefaults(ParticleType* t) {
    t->sprite = -1;
    t->animate = true;
    t->stretch = t->randomFrame = false;
    t->shape = 0;
    t->sizeMin = t->sizeMax = 1.0f;
    t->sizeIncrement = t->sizeWiggle = 0.0f;
    t->xScale = t->yScale = 1.0f;
    t->lifeMin = t->lifeMax = 100;
    t->deathType = t->deathNumber = t->stepType = t->stepNumber = 0;
    t->speedMin = t->speedMax = t->speedIncrement = t->speedWiggle = 0.0f;
    t->directionMin = t->directionMax = t->directionIncrement = t->directionWiggle = 0.0f;
    t->gravityAmount = 0.0f;
    t->gravityDirection = 270.0f;
    t->orientationMin = t->orientationMax = t->orientationIncrement = t->orientationWiggle = 0.0f;
    t->orientationRelative = false;
    t->colourMode = 0;
    t->colour[0] = t->colour[1] = t->colour[2] = 0xFFFFFF;
    t->alpha1 = t->alpha2 = t->alpha3 = 1.0f;
    t->additive = false;
}

void SetSystemDefaults(ParticleSystem* s) {
    s->oldToNew = true;
    s->depth = 0.0f;
    s->x = s->y = 0.0f;
    s->automaticUpdate = s->automaticDraw = true;
}

bool LayerMode() {
    return Particle_LayerMode();
}

void AttachElement(int32_t index, ParticleSystem* s) {
    if (!LayerMode() || g_ParticleLayerHooks.addElement == nullptr) return;
    s->layerElement = g_ParticleLayerHooks.addElement(index, static_cast<int32_t>(s->depth));
}

void DetachElement(ParticleSystem* s) {
    if (s->layerElement != -1 && g_ParticleLayerHooks.removeElement != nullptr)
        g_ParticleLayerHooks.removeElement(s->layerElement);
    s->layerElement = -1;
}

void FreeParticles(ParticleSystem* s) {
    for (int32_t i = 0; i < s->particleCapacity; ++i) MEM_FREE(s->particles[i]);
    MEM_FREE(s->particles);
    s->particles = nullptr;
    s->particleCapacity = s->particleCount = 0;
}

void FreeEmitters(ParticleSystem* s) {
    MEM_FREE(s->emitters);
    s->emitters = nullptr;
    s->emitterSlotCount = s->emitterCount = 0;
}

// The most slots a list may have: its size in bytes must stay within what the memory manager
// addresses, so a huge count asked for by the game can never wrap the size of the list.
constexpr int64_t kMaxListSlots = INT32_MAX / static_cast<int64_t>(sizeof(Particle*));

void GrowList(ParticleSystem* s, int64_t capacity) {
    capacity = std::min(capacity, kMaxListSlots);
    if (capacity <= s->particleCapacity) return;
    s->particles = static_cast<Particle**>(MEM_REALLOC(s->particles, sizeof(Particle*) * capacity));
    s->particleCapacity = static_cast<int32_t>(capacity);
}

// The slot past the count, with a cleared record in it (a slot past the count may hold the
// record of a particle that died; it is cleared and used again). Null when the list is full.
Particle* AppendParticle(ParticleSystem* s) {
    if (s->particleCount >= s->particleCapacity)
        GrowList(s, int64_t{s->particleCapacity} + std::max(kListGrowth, s->particleCapacity / 4));
    if (s->particleCount >= s->particleCapacity) return nullptr;
    Particle*& slot = s->particles[s->particleCount++];
    if (slot == nullptr)
        slot = static_cast<Particle*>(MEM_ALLOC(sizeof(Particle)));
    else
        std::memset(slot, 0, sizeof(Particle));
    return slot;
}

// Creates count particles of a type that exists in a system that exists.
void CreateParticles(ParticleSystem* s, float x, float y, int32_t type, int32_t count,
                     const int32_t* colour) {
    for (int32_t i = 0; i < count; ++i) {
        Particle* p = AppendParticle(s);
        if (p == nullptr) return;
        Particle_Setup(p, type, x, y);
        if (colour) p->colour = *colour;
    }
}

void CreateChecked(int32_t system, float x, float y, int32_t type, int32_t count, const int32_t* colour) {
    ParticleSystem* s = ParticleSystem_Get(system);
    if (s == nullptr) {
        DebugConsole.Output("%s", kNoSystem);
        return;
    }
    if (!ParticleType_Exists(type)) {
        DebugConsole.Output("%s", kNoType);
        return;
    }
    CreateParticles(s, x, y, type, count, colour);
}

// One particle with a chance of one in |n|.
bool OneInN(int32_t n) {
    return static_cast<int64_t>(g_ParticleRandom.real(1.0) * std::abs(static_cast<double>(n))) == 0;
}

void SpawnOnDeath(int32_t system, const Particle& p, const ParticleType& t) {
    const int32_t n = t.deathNumber;
    if (n > 0)
        Particles_Create(system, p.x, p.y, t.deathType, n);
    else if (n < 0 && OneInN(n))
        Particles_Create(system, p.x, p.y, t.deathType, 1);
}

void SpawnOnStep(int32_t system, const Particle& p, const ParticleType& t) {
    const int32_t n = t.stepNumber;
    if (n == 0) return;
    if (t.stepType == p.type) {
        Runtime_ErrorNonFatal("%s", "Error: a particle cannot spawn another of the same type");
        return;
    }
    if (n > 0)
        Particles_Create(system, p.x, p.y, t.stepType, n);
    else if (OneInN(n))
        Particles_Create(system, p.x, p.y, t.stepType, 1);
}

void AgeParticles(int32_t system) {
    ParticleSystem* s = g_systems.slots[system];
    const int32_t visitLimit = s->particleCount + kSpawnVisitLimit;
    for (int32_t i = 0; i < s->particleCount && i < visitLimit; ++i) {
        Particle* p = s->particles[i];
        ++p->age;
        const ParticleType* t = ParticleType_Get(p->type);
        // Spawning may move the list, never the records: copy what the spawn needs.
        const Particle at = *p;
        if (p->age >= p->life) {
            p->alive = false;
            if (t) SpawnOnDeath(system, at, *t);
        } else if (t) {
            SpawnOnStep(system, at, *t);
        }
    }
    int32_t kept = 0;
    for (int32_t i = 0; i < s->particleCount; ++i) {
        if (!s->particles[i]->alive) continue;
        if (i != kept) *s->particles[kept] = *s->particles[i];
        ++kept;
    }
    s->particleCount = kept;
}

// (age + offset) mod period, in 64 bits: the age of a long-lived particle plus its seed may
// pass the largest 32-bit number.
double Phase(int32_t age, int32_t offset, int32_t period) {
    return static_cast<double>((int64_t{age} + offset) % period);
}

void MoveParticle(Particle* p, const ParticleType& t) {
    p->speed += t.speedIncrement;
    if (p->speed < 0.0f) p->speed = 0.0f;
    p->direction += t.directionIncrement;
    p->angle += t.orientationIncrement;
    if (t.gravityAmount != 0.0f) {
        const double d = p->direction * kDegToRad, gd = t.gravityDirection * kDegToRad;
        const double g = t.gravityAmount;
        const double vx = p->speed * std::cos(d) + g * std::cos(gd);
        const double vy = -p->speed * std::sin(d) - g * std::sin(gd);
        Particle_VectorToMotion(vx, vy, &p->direction, &p->speed);
    }
    const double direction =
        p->direction + t.directionWiggle * Particle_Wiggle(Phase(p->age, 3 * p->seed, 24) / 6.0);
    const double speed = p->speed + t.speedWiggle * Particle_Wiggle(Phase(p->age, 4 * p->seed, 20) / 5.0);
    p->x = static_cast<float>(p->x + std::cos(direction * kDegToRad) * speed);
    p->y = static_cast<float>(p->y - std::sin(direction * kDegToRad) * speed);
}

void MoveParticles(ParticleSystem* s) {
    for (int32_t i = 0; i < s->particleCount; ++i) {
        Particle* p = s->particles[i];
        if (const ParticleType* t = ParticleType_Get(p->type)) MoveParticle(p, *t);
    }
}

void UpdateAppearance(ParticleSystem* s) {
    for (int32_t i = 0; i < s->particleCount; ++i) {
        Particle* p = s->particles[i];
        const ParticleType* t = ParticleType_Get(p->type);
        if (t == nullptr) continue;
        p->size += t->sizeIncrement;
        if (p->size < 0.0f) p->size = 0.0f;
        Particle_UpdateColour(p, t);
        const double f = p->life > 0 ? 2.0 * p->age / p->life : 1.0;
        const double alpha =
            f < 1.0 ? (1.0 - f) * t->alpha1 + f * t->alpha2 : (2.0 - f) * t->alpha2 + (f - 1.0) * t->alpha3;
        p->alpha = static_cast<float>(alpha);
    }
}

void RunStreams(int32_t system) {
    ParticleSystem* s = g_systems.slots[system];
    for (int32_t e = 0; e < s->emitterSlotCount; ++e) {
        const ParticleEmitter& emitter = s->emitters[e];
        if (emitter.alive && emitter.streamNumber != 0)
            ParticleEmitter_Burst(system, e, emitter.particleType, emitter.streamNumber);
    }
}

ParticleEmitter* AliveEmitter(int32_t system, int32_t emitter) {
    ParticleSystem* s = ParticleSystem_Get(system);
    if (s == nullptr || emitter < 0 || emitter >= s->emitterSlotCount) return nullptr;
    return s->emitters[emitter].alive ? &s->emitters[emitter] : nullptr;
}

// A point of the unit square drawn for an emitter region of that shape and distribution.
void RegionPoint(int32_t shape, int32_t distribution, double* u, double* v) {
    for (;;) {
        *u = Particle_RandomRange(0.0, 1.0, distribution);
        *v = Particle_RandomRange(0.0, 1.0, distribution);
        if (distribution == PS_DISTR_INVGAUSSIAN && shape != PS_SHAPE_LINE) {
            if (g_ParticleRandom.real(1.0) < 0.5)
                *u = g_ParticleRandom.real(1.0);
            else
                *v = g_ParticleRandom.real(1.0);
        }
        const double du = *u - 0.5, dv = *v - 0.5;
        if (shape == PS_SHAPE_ELLIPSE && du * du + dv * dv > 0.25) continue;
        if (shape == PS_SHAPE_DIAMOND && std::fabs(du) + std::fabs(dv) > 0.5) continue;
        if (shape == PS_SHAPE_LINE) *v = *u;
        return;
    }
}

}  // namespace

// --- Types ------------------------------------------------------------------------------------

int32_t ParticleType_Create() {
    const int32_t index = TakeSlot(g_types.slots, g_types.count);
    g_types.slots[index] = static_cast<ParticleType*>(MEM_ALLOC(sizeof(ParticleType)));
    SetTypeDefaults(g_types.slots[index]);
    return index;
}

void ParticleType_Destroy(int32_t index) {
    if (!ParticleType_Exists(index)) return;
    MEM_FREE(g_types.slots[index]);
    g_types.slots[index] = nullptr;
}

bool ParticleType_Exists(int32_t index) {
    return g_types.Get(index) != nullptr;
}

ParticleType* ParticleType_Get(int32_t index) {
    return ParticleType_Exists(index) ? g_types.slots[index] : nullptr;
}

void ParticleType_Clear(int32_t index) {
    if (ParticleType* t = ParticleType_Get(index)) SetTypeDefaults(t);
}

void ParticleType_DestroyAll() {
    for (int32_t i = 0; i < g_types.count; ++i) ParticleType_Destroy(i);
    if (g_destroyAllListener) g_destroyAllListener();
}

void ParticleType_SetDestroyAllListener(void (*listener)()) {
    g_destroyAllListener = listener;
}

void ParticleType_Shape(int32_t index, int32_t shape) {
    if (ParticleType* t = ParticleType_Get(index)) {
        t->shape = shape;
        t->sprite = -1;
    }
}

void ParticleType_Sprite(int32_t index, int32_t sprite, bool animate, bool stretch, bool random) {
    if (ParticleType* t = ParticleType_Get(index)) {
        t->sprite = sprite;
        t->animate = animate;
        t->stretch = stretch;
        t->randomFrame = random;
    }
}

void ParticleType_Size(int32_t index, float min, float max, float increment, float wiggle) {
    if (ParticleType* t = ParticleType_Get(index)) {
        t->sizeMin = min;
        t->sizeMax = max;
        t->sizeIncrement = increment;
        t->sizeWiggle = wiggle;
    }
}

void ParticleType_Scale(int32_t index, float x, float y) {
    if (ParticleType* t = ParticleType_Get(index)) {
        t->xScale = x;
        t->yScale = y;
    }
}

void ParticleType_Life(int32_t index, int32_t min, int32_t max) {
    if (ParticleType* t = ParticleType_Get(index)) {
        t->lifeMin = min;
        t->lifeMax = max;
    }
}

void ParticleType_Step(int32_t index, int32_t number, int32_t type) {
    if (ParticleType* t = ParticleType_Get(index)) {
        t->stepNumber = number;
        t->stepType = type;
    }
}

void ParticleType_Death(int32_t index, int32_t number, int32_t type) {
    if (ParticleType* t = ParticleType_Get(index)) {
        t->deathNumber = number;
        t->deathType = type;
    }
}

void ParticleType_Speed(int32_t index, float min, float max, float increment, float wiggle) {
    if (ParticleType* t = ParticleType_Get(index)) {
        t->speedMin = min;
        t->speedMax = max;
        t->speedIncrement = increment;
        t->speedWiggle = wiggle;
    }
}

void ParticleType_Direction(int32_t index, float min, float max, float increment, float wiggle) {
    if (ParticleType* t = ParticleType_Get(index)) {
        t->directionMin = min;
        t->directionMax = max;
        t->directionIncrement = increment;
        t->directionWiggle = wiggle;
    }
}

void ParticleType_Orientation(int32_t index, float min, float max, float increment, float wiggle,
                              bool relative) {
    if (ParticleType* t = ParticleType_Get(index)) {
        t->orientationMin = min;
        t->orientationMax = max;
        t->orientationIncrement = increment;
        t->orientationWiggle = wiggle;
        t->orientationRelative = relative;
    }
}

void ParticleType_Gravity(int32_t index, float amount, float direction) {
    if (ParticleType* t = ParticleType_Get(index)) {
        t->gravityAmount = amount;
        t->gravityDirection = direction;
    }
}

namespace {
void SetColours(int32_t index, int32_t mode, std::initializer_list<int32_t> words) {
    ParticleType* t = ParticleType_Get(index);
    if (t == nullptr) return;
    t->colourMode = mode;
    int32_t i = 0;
    for (int32_t word : words) t->colour[i++] = word;
}
}  // namespace

void ParticleType_Colour1(int32_t index, int32_t c) {
    SetColours(index, 0, {c});
}
void ParticleType_Colour2(int32_t index, int32_t c1, int32_t c2) {
    SetColours(index, 1, {c1, c2});
}
void ParticleType_Colour3(int32_t index, int32_t c1, int32_t c2, int32_t c3) {
    SetColours(index, 2, {c1, c2, c3});
}
void ParticleType_ColourRGB(int32_t index, int32_t rmin, int32_t rmax, int32_t gmin, int32_t gmax,
                            int32_t bmin, int32_t bmax) {
    SetColours(index, 3, {rmin, rmax, gmin, gmax, bmin, bmax});
}
void ParticleType_ColourHSV(int32_t index, int32_t hmin, int32_t hmax, int32_t smin, int32_t smax,
                            int32_t vmin, int32_t vmax) {
    SetColours(index, 4, {hmin, hmax, smin, smax, vmin, vmax});
}
void ParticleType_ColourMix(int32_t index, int32_t c1, int32_t c2) {
    SetColours(index, 5, {c1, c2});
}

void ParticleType_Alpha1(int32_t index, float a) {
    ParticleType_Alpha3(index, a, a, a);
}

void ParticleType_Alpha2(int32_t index, float a1, float a2) {
    ParticleType_Alpha3(index, a1, (a1 + a2) / 2.0f, a2);
}

void ParticleType_Alpha3(int32_t index, float a1, float a2, float a3) {
    if (ParticleType* t = ParticleType_Get(index)) {
        t->alpha1 = a1;
        t->alpha2 = a2;
        t->alpha3 = a3;
    }
}

void ParticleType_Blend(int32_t index, bool additive) {
    if (ParticleType* t = ParticleType_Get(index)) t->additive = additive;
}

// --- Systems ----------------------------------------------------------------------------------

int32_t ParticleSystem_Create() {
    const int32_t index = TakeSlot(g_systems.slots, g_systems.count);
    auto* s = static_cast<ParticleSystem*>(MEM_ALLOC(sizeof(ParticleSystem)));
    SetSystemDefaults(s);
    s->layerElement = -1;
    g_systems.slots[index] = s;
    AttachElement(index, s);
    return index;
}

void ParticleSystem_Destroy(int32_t index) {
    if (!ParticleSystem_Exists(index)) return;
    ParticleSystem_Clear(index);
    MEM_FREE(g_systems.slots[index]);
    g_systems.slots[index] = nullptr;
}

bool ParticleSystem_Exists(int32_t index) {
    return g_systems.Get(index) != nullptr;
}

ParticleSystem* ParticleSystem_Get(int32_t index) {
    return ParticleSystem_Exists(index) ? g_systems.slots[index] : nullptr;
}

int32_t ParticleSystem_TableSize() {
    return g_systems.count;
}

void ParticleSystem_Clear(int32_t index) {
    ParticleSystem* s = ParticleSystem_Get(index);
    if (s == nullptr) return;
    FreeParticles(s);
    FreeEmitters(s);
    SetSystemDefaults(s);
    DetachElement(s);
}

void ParticleSystem_DestroyAll() {
    for (int32_t i = 0; i < g_systems.count; ++i) ParticleSystem_Destroy(i);
    if (g_systemsGoneListener) g_systemsGoneListener();
}

void ParticleSystem_SetDestroyAllListener(void (*listener)()) {
    g_systemsGoneListener = listener;
}

void ParticleSystem_DrawOrder(int32_t index, bool oldToNew) {
    if (ParticleSystem* s = ParticleSystem_Get(index)) s->oldToNew = oldToNew;
}

void ParticleSystem_SetDepth(int32_t index, float depth) {
    ParticleSystem* s = ParticleSystem_Get(index);
    if (s == nullptr) return;
    s->depth = depth;
    if (!LayerMode()) return;
    DetachElement(s);
    AttachElement(index, s);
}

void ParticleSystem_Position(int32_t index, float x, float y) {
    if (ParticleSystem* s = ParticleSystem_Get(index)) {
        s->x = x;
        s->y = y;
    }
}

void ParticleSystem_AutomaticUpdate(int32_t index, bool on) {
    if (ParticleSystem* s = ParticleSystem_Get(index)) s->automaticUpdate = on;
}

void ParticleSystem_AutomaticDraw(int32_t index, bool on) {
    if (ParticleSystem* s = ParticleSystem_Get(index)) s->automaticDraw = on;
}

void ParticleSystem_Update(int32_t index) {
    if (!ParticleSystem_Exists(index)) return;
    AgeParticles(index);
    MoveParticles(g_systems.slots[index]);
    UpdateAppearance(g_systems.slots[index]);
    RunStreams(index);
}

void ParticleSystem_UpdateAll() {
    for (int32_t i = 0; i < g_systems.count; ++i) {
        if (g_systems.slots[i] != nullptr && g_systems.slots[i]->automaticUpdate) ParticleSystem_Update(i);
    }
}

float ParticleSystem_MaxAutoDrawDepth() {
    float best = PARTICLE_NO_DEPTH;
    for (int32_t i = 0; i < g_systems.count; ++i) {
        const ParticleSystem* s = g_systems.slots[i];
        if (s && s->automaticDraw && s->depth > best) best = s->depth;
    }
    return best;
}

float ParticleSystem_NextDepthBelow(float depth) {
    float best = PARTICLE_NO_DEPTH;
    for (int32_t i = 0; i < g_systems.count; ++i) {
        const ParticleSystem* s = g_systems.slots[i];
        if (s && s->automaticDraw && s->depth < depth && s->depth > best) best = s->depth;
    }
    return best;
}

void ParticleSystem_DrawAtDepth(float depth) {
    for (int32_t i = 0; i < g_systems.count; ++i) {
        const ParticleSystem* s = g_systems.slots[i];
        if (s && s->automaticDraw && std::fabs(s->depth - depth) < 0.01f) ParticleSystem_Draw(i);
    }
}

void ParticleSystem_DrawElement(int32_t index) {
    const ParticleSystem* s = ParticleSystem_Get(index);
    if (s && s->automaticDraw) ParticleSystem_Draw(index);
}

// --- Particles --------------------------------------------------------------------------------

double Particle_RandomRange(double min, double max, int32_t distribution) {
    const double r = max - min;
    if (r <= 0.0) return min;
    if (distribution != PS_DISTR_GAUSSIAN && distribution != PS_DISTR_INVGAUSSIAN)
        return min + g_ParticleRandom.real(1.0) * r;
    double x;
    for (;;) {
        x = (g_ParticleRandom.real(1.0) - 0.5) * 6.0;
        if (g_ParticleRandom.real(1.0) < std::exp(-0.5 * x * x)) break;
    }
    if (distribution == PS_DISTR_GAUSSIAN) return min + (x + 3.0) / 6.0 * r;
    if (x < 0.0) x += 6.0;
    return min + x / 6.0 * r;
}

void Particle_Setup(Particle* p, int32_t type, float x, float y) {
    const ParticleType& t = *g_types.slots[type];
    p->alive = true;
    p->type = type;
    p->x = x;
    p->y = y;
    p->speed = static_cast<float>(Particle_RandomRange(t.speedMin, t.speedMax, PS_DISTR_LINEAR));
    p->direction = static_cast<float>(Particle_RandomRange(t.directionMin, t.directionMax, PS_DISTR_LINEAR));
    p->angle = static_cast<float>(Particle_RandomRange(t.orientationMin, t.orientationMax, PS_DISTR_LINEAR));
    p->life = static_cast<int32_t>(Particle_RandomRange(t.lifeMin, t.lifeMax, PS_DISTR_LINEAR));
    p->age = 0;
    Particle_UpdateColour(p, &t);
    p->alpha = t.alpha1;
    p->size = static_cast<float>(Particle_RandomRange(t.sizeMin, t.sizeMax, PS_DISTR_LINEAR));
    p->frameOffset = t.randomFrame ? static_cast<int32_t>(g_ParticleRandom.intMod(10000)) : 0;
    p->seed = static_cast<int32_t>(g_ParticleRandom.intMod(100000));
}

namespace {
// One channel of a range colour: the range between two words read as unsigned numbers, cut
// to its low byte.
int32_t RangeByte(int32_t min, int32_t max) {
    const double value = Particle_RandomRange(static_cast<uint32_t>(min), static_cast<uint32_t>(max), 0);
    return static_cast<int32_t>(static_cast<int64_t>(value) & 0xFF);
}
}  // namespace

void Particle_UpdateColour(Particle* p, const ParticleType* t) {
    const int32_t* c = t->colour;
    if (p->age > 0 && p->life > 0) {
        if (t->colourMode == 1) {
            const float f = std::min(static_cast<float>(p->age) / p->life, 1.0f);
            p->colour = static_cast<int32_t>(Colour_Merge(c[0], c[1], f));
        } else if (t->colourMode == 2) {
            const float f = std::min(2.0f * p->age / p->life, 2.0f);
            p->colour = static_cast<int32_t>(f < 1.0f ? Colour_Merge(c[0], c[1], f)
                                                      : Colour_Merge(c[1], c[2], f - 1));
        }
        return;
    }
    switch (t->colourMode) {
        case 0:
        case 1:
        case 2:
            p->colour = c[0];
            break;
        case 3: {
            const int32_t r = RangeByte(c[0], c[1]), g = RangeByte(c[2], c[3]), b = RangeByte(c[4], c[5]);
            p->colour = r + g * 256 + b * 65536;
            break;
        }
        case 4: {
            const int32_t h = RangeByte(c[0], c[1]), s = RangeByte(c[2], c[3]), v = RangeByte(c[4], c[5]);
            p->colour = static_cast<int32_t>(Colour_FromHSV(Colour_MakeHSVTriple(h, s, v)));
            break;
        }
        case 5:
            p->colour = static_cast<int32_t>(
                Colour_Merge(c[0], c[1], static_cast<float>(g_ParticleRandom.real(1.0))));
            break;
        default:
            break;
    }
}

void Particle_VectorToMotion(double vx, double vy, float* direction, float* speed) {
    double d = *direction;
    if (vx != 0.0) {
        const double a = std::atan2(vy, vx) / kDegToRad;
        d = a <= 0.0 ? -a : 360.0 - a;
    } else if (vy > 0.0) {
        d = 270.0;
    } else if (vy < 0.0) {
        d = 90.0;
    }
    // The zero vector has no direction of its own: the particle keeps the one it had.
    *direction = static_cast<float>(d - std::floor(d / 360.0) * 360.0);
    *speed = static_cast<float>(std::sqrt(vx * vx + vy * vy));
}

double Particle_Wiggle(double m) {
    return (m > 2.0 ? 4.0 - m : m) - 1.0;
}

void Particles_Create(int32_t system, float x, float y, int32_t type, int32_t count) {
    CreateChecked(system, x, y, type, count, nullptr);
}

void Particles_CreateColour(int32_t system, float x, float y, int32_t type, int32_t colour, int32_t count) {
    CreateChecked(system, x, y, type, count, &colour);
}

void Particles_Clear(int32_t system) {
    if (ParticleSystem* s = ParticleSystem_Get(system)) FreeParticles(s);
}

int32_t Particles_Count(int32_t system) {
    const ParticleSystem* s = ParticleSystem_Get(system);
    return s ? s->particleCount : 0;
}

// --- Emitters ---------------------------------------------------------------------------------

int32_t ParticleEmitter_Create(int32_t system) {
    ParticleSystem* s = ParticleSystem_Get(system);
    if (s == nullptr) return -1;
    int32_t slot = 0;
    while (slot < s->emitterSlotCount && s->emitters[slot].alive) ++slot;
    if (slot == s->emitterSlotCount) {
        s->emitters =
            static_cast<ParticleEmitter*>(MEM_REALLOC(s->emitters, sizeof(ParticleEmitter) * (slot + 1)));
        s->emitterSlotCount = s->emitterCount = slot + 1;
    }
    s->emitters[slot] = ParticleEmitter{};
    s->emitters[slot].alive = true;
    return slot;
}

void ParticleEmitter_Destroy(int32_t system, int32_t emitter) {
    if (ParticleEmitter* e = AliveEmitter(system, emitter)) e->alive = false;
}

void ParticleEmitter_DestroyAll(int32_t system) {
    if (ParticleSystem* s = ParticleSystem_Get(system)) FreeEmitters(s);
}

bool ParticleEmitter_Exists(int32_t system, int32_t emitter) {
    return AliveEmitter(system, emitter) != nullptr;
}

void ParticleEmitter_Clear(int32_t system, int32_t emitter) {
    if (ParticleEmitter* e = AliveEmitter(system, emitter)) {
        *e = ParticleEmitter{};
        e->alive = true;
    }
}

void ParticleEmitter_Region(int32_t system, int32_t emitter, float xMin, float xMax, float yMin, float yMax,
                            int32_t shape, int32_t distribution) {
    if (ParticleEmitter* e = AliveEmitter(system, emitter)) {
        e->xMin = xMin;
        e->xMax = xMax;
        e->yMin = yMin;
        e->yMax = yMax;
        e->shape = shape;
        e->distribution = distribution;
    }
}

void ParticleEmitter_Burst(int32_t system, int32_t emitter, int32_t type, int32_t number) {
    const ParticleEmitter* e = AliveEmitter(system, emitter);
    if (e == nullptr) return;
    if (number < 0) {
        if (g_ParticleRandom.intMod(number) != 0) return;
        number = 1;
    }
    ParticleSystem* s = g_systems.slots[system];
    const int64_t wanted = int64_t{s->particleCount} + number;
    if (wanted >= s->particleCapacity) GrowList(s, wanted);
    // Copied: the record stays put, but a copy keeps the region the same for the whole burst.
    const ParticleEmitter region = *e;
    for (int32_t i = 0; i < number && s->particleCount < kMaxListSlots; ++i) {
        double u, v;
        RegionPoint(region.shape, region.distribution, &u, &v);
        const float x = static_cast<float>(region.xMin + u * (region.xMax - region.xMin));
        const float y = static_cast<float>(region.yMin + v * (region.yMax - region.yMin));
        Particles_Create(system, x, y, type, 1);
    }
}

void ParticleEmitter_Stream(int32_t system, int32_t emitter, int32_t type, int32_t number) {
    ParticleSystem* s = ParticleSystem_Get(system);
    if (s == nullptr) {
        DebugConsole.Output("part_emitter_stream :: particle system does not exist!\n");
        return;
    }
    if (emitter < 0 || emitter >= s->emitterSlotCount) {
        DebugConsole.Output("part_emitter_stream :: specified emitter does not exist\n");
        return;
    }
    s->emitters[emitter].particleType = type;
    s->emitters[emitter].streamNumber = number;
}

// --- Life cycle -------------------------------------------------------------------------------

void Particle_Reset() {
    ParticleType_DestroyAll();
    ParticleSystem_DestroyAll();
}

void Particle_Init() {
    for (int32_t i = 0; i < PARTICLE_SHAPE_COUNT; ++i) {
        if (g_shapeTextures[i] == nullptr) g_shapeTextures[i] = GR_Builtin_Image_Texture(i + 1);
    }
}

void Particle_RoomStart() {
    if (!LayerMode()) return;
    for (int32_t i = 0; i < g_systems.count; ++i) {
        if (g_systems.slots[i] != nullptr && g_systems.slots[i]->layerElement == -1)
            AttachElement(i, g_systems.slots[i]);
    }
}

void Particle_RoomEnd() {
    if (!LayerMode()) return;
    for (int32_t i = 0; i < g_systems.count; ++i)
        if (g_systems.slots[i] != nullptr) DetachElement(g_systems.slots[i]);
}

void Particle_Shutdown() {
    Particle_Reset();
    MEM_FREE(g_types.slots);
    MEM_FREE(g_systems.slots);
    g_types.slots = nullptr;
    g_systems.slots = nullptr;
    g_types.count = g_systems.count = 0;
    for (TextureRecord*& texture : g_shapeTextures) {
        if (texture) GR_Texture_Free_Record(texture);
        texture = nullptr;
    }
}

bool Particle_LayerMode() {
    return g_ParticleLayerHooks.layerMode != nullptr && g_ParticleLayerHooks.layerMode();
}

TextureRecord* Particle_ShapeTexture(int32_t shape) {
    if (shape < 0 || shape >= PARTICLE_SHAPE_COUNT) return nullptr;
    // Made at the first draw of the shape, so that a game without particles never makes one.
    if (g_shapeTextures[shape] == nullptr) g_shapeTextures[shape] = GR_Builtin_Image_Texture(shape + 1);
    return g_shapeTextures[shape];
}

void Particle_InstallHooks() {
    g_RoomServices.particlesAttachLayers = Particle_RoomStart;
    g_RoomServices.particlesDetachLayers = Particle_RoomEnd;
    if (g_ParticleLayerHooks.layerMode == nullptr)
        g_ParticleLayerHooks.layerMode = [] { return g_GameHeader.layerModel; };
}
