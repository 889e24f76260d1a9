// Particle types, particle systems and their emitters. Each lives in a table addressed by integer
// index: a type says how a particle looks, moves, lives and spawns; a system owns its particles
// and emitters and has a position, a depth and a draw order; an emitter bursts or streams
// particles of a type over a region of its system. The frame step updates every system that
// updates automatically; the room drawing draws every system that draws automatically, by depth
// among the instances (legacy rooms) or as a particle-system element of a layer (layer mode).
#pragma once

#include <cstdint>

struct TextureRecord;

// pt_shape_* values.
constexpr int32_t PARTICLE_SHAPE_COUNT = 14;
// ps_distr_* values.
enum ParticleDistribution : int32_t { PS_DISTR_LINEAR = 0, PS_DISTR_GAUSSIAN = 1, PS_DISTR_INVGAUSSIAN = 2 };
// ps_shape_* values.
enum ParticleRegionShape : int32_t {
    PS_SHAPE_RECTANGLE = 0,
    PS_SHAPE_ELLIPSE = 1,
    PS_SHAPE_DIAMOND = 2,
    PS_SHAPE_LINE = 3,
};

struct ParticleType {
    int32_t sprite;
    bool animate, stretch, randomFrame;
    int32_t shape;
    float sizeMin, sizeMax, sizeIncrement, sizeWiggle;
    float xScale, yScale;
    int32_t lifeMin, lifeMax;
    int32_t deathType, deathNumber;
    int32_t stepType, stepNumber;
    float speedMin, speedMax, speedIncrement, speedWiggle;
    float directionMin, directionMax, directionIncrement, directionWiggle;
    float gravityAmount, gravityDirection;
    float orientationMin, orientationMax, orientationIncrement, orientationWiggle;
    bool orientationRelative;
    int32_t colourMode;  // 0 one colour, 1 two, 2 three, 3 RGB ranges, 4 HSV ranges, 5 mix
    int32_t colour[6];
    float alpha1, alpha2, alpha3;
    bool additive;
};

struct Particle {
    bool alive;
    int32_t type;
    int32_t age, life;
    float x, y;  // relative to the system's position
    float speed, direction, angle;
    int32_t colour;
    float alpha;
    float size;
    int32_t frameOffset;
    int32_t seed;
};

struct ParticleEmitter {
    bool alive;
    int32_t streamNumber;
    float xMin, xMax, yMin, yMax;
    int32_t distribution;
    int32_t shape;
    int32_t particleType;
};

struct ParticleSystem {
    int32_t particleCapacity;
    Particle** particles;  // oldest first; slots past the count keep spare records
    int32_t particleCount;
    int32_t emitterSlotCount;
    ParticleEmitter* emitters;
    int32_t emitterCount;
    bool oldToNew;
    float depth;
    float x, y;
    bool automaticUpdate, automaticDraw;
    int32_t layerElement;  // -1: none
};

// --- Seams ------------------------------------------------------------------------------------

// The random numbers the particles draw: the game's generator, replaceable by tests.
struct ParticleRandom {
    double (*real)(double x);       // [0, x)
    uint32_t (*intMod)(int32_t n);  // 0 .. |n| - 1
};
extern ParticleRandom g_ParticleRandom;
void ParticleRandom_Reset();

// Layer mode: where a system's particle-system element goes. The room layers fill these; while
// they are null no system gets an element.
struct ParticleLayerHooks {
    bool (*layerMode)() = nullptr;
    // Adds a particle-system element for the system at that depth in the current room, making a
    // layer there when there is none; the element's id, or -1.
    int32_t (*addElement)(int32_t system, int32_t depth) = nullptr;
    // Removes the element with that id from the current room (nothing for -1 or an unknown id).
    void (*removeElement)(int32_t elementId) = nullptr;
};
extern ParticleLayerHooks g_ParticleLayerHooks;

// --- Types ------------------------------------------------------------------------------------

int32_t ParticleType_Create();
void ParticleType_Destroy(int32_t index);
bool ParticleType_Exists(int32_t index);
ParticleType* ParticleType_Get(int32_t index);  // null for an invalid index
void ParticleType_Clear(int32_t index);
void ParticleType_DestroyAll();
// Called by ParticleType_DestroyAll, so the effects know their types are gone.
void ParticleType_SetDestroyAllListener(void (*listener)());

void ParticleType_Shape(int32_t index, int32_t shape);
void ParticleType_Sprite(int32_t index, int32_t sprite, bool animate, bool stretch, bool random);
void ParticleType_Size(int32_t index, float min, float max, float increment, float wiggle);
void ParticleType_Scale(int32_t index, float x, float y);
void ParticleType_Life(int32_t index, int32_t min, int32_t max);
void ParticleType_Step(int32_t index, int32_t number, int32_t type);
void ParticleType_Death(int32_t index, int32_t number, int32_t type);
void ParticleType_Speed(int32_t index, float min, float max, float increment, float wiggle);
void ParticleType_Direction(int32_t index, float min, float max, float increment, float wiggle);
void ParticleType_Orientation(int32_t index, float min, float max, float increment, float wiggle,
                              bool relative);
void ParticleType_Gravity(int32_t index, float amount, float direction);
void ParticleType_Colour1(int32_t index, int32_t c);
void ParticleType_Colour2(int32_t index, int32_t c1, int32_t c2);
void ParticleType_Colour3(int32_t index, int32_t c1, int32_t c2, int32_t c3);
void ParticleType_ColourRGB(int32_t index, int32_t rmin, int32_t rmax, int32_t gmin, int32_t gmax,
                            int32_t bmin, int32_t bmax);
void ParticleType_ColourHSV(int32_t index, int32_t hmin, int32_t hmax, int32_t smin, int32_t smax,
                            int32_t vmin, int32_t vmax);
void ParticleType_ColourMix(int32_t index, int32_t c1, int32_t c2);
void ParticleType_Alpha1(int32_t index, float a);
void ParticleType_Alpha2(int32_t index, float a1, float a2);
void ParticleType_Alpha3(int32_t index, float a1, float a2, float a3);
void ParticleType_Blend(int32_t index, bool additive);

// --- Systems ----------------------------------------------------------------------------------

int32_t ParticleSystem_Create();
void ParticleSystem_Destroy(int32_t index);
bool ParticleSystem_Exists(int32_t index);
ParticleSystem* ParticleSystem_Get(int32_t index);  // null for an invalid index
int32_t ParticleSystem_TableSize();
void ParticleSystem_Clear(int32_t index);
void ParticleSystem_DestroyAll();
// Called by ParticleSystem_DestroyAll (every new run), so the effects forget their systems.
void ParticleSystem_SetDestroyAllListener(void (*listener)());

void ParticleSystem_DrawOrder(int32_t index, bool oldToNew);
void ParticleSystem_SetDepth(int32_t index, float depth);
void ParticleSystem_Position(int32_t index, float x, float y);
void ParticleSystem_AutomaticUpdate(int32_t index, bool on);
void ParticleSystem_AutomaticDraw(int32_t index, bool on);

void ParticleSystem_Update(int32_t index);  // one step, whatever the automatic flag says
void ParticleSystem_UpdateAll();            // the frame step
void ParticleSystem_Draw(int32_t index);    // whatever the automatic flag says

// The depth-sorted room drawing of legacy rooms. "None" is -1e9.
constexpr float PARTICLE_NO_DEPTH = -1e9f;
float ParticleSystem_MaxAutoDrawDepth();
float ParticleSystem_NextDepthBelow(float depth);
void ParticleSystem_DrawAtDepth(float depth);
// A particle-system layer element draws its system.
void ParticleSystem_DrawElement(int32_t index);

// --- Particles --------------------------------------------------------------------------------

void Particles_Create(int32_t system, float x, float y, int32_t type, int32_t count);
void Particles_CreateColour(int32_t system, float x, float y, int32_t type, int32_t colour, int32_t count);
void Particles_Clear(int32_t system);
int32_t Particles_Count(int32_t system);

// --- Emitters ---------------------------------------------------------------------------------

int32_t ParticleEmitter_Create(int32_t system);
void ParticleEmitter_Destroy(int32_t system, int32_t emitter);
void ParticleEmitter_DestroyAll(int32_t system);
bool ParticleEmitter_Exists(int32_t system, int32_t emitter);
void ParticleEmitter_Clear(int32_t system, int32_t emitter);
void ParticleEmitter_Region(int32_t system, int32_t emitter, float xMin, float xMax, float yMin, float yMax,
                            int32_t shape, int32_t distribution);
void ParticleEmitter_Burst(int32_t system, int32_t emitter, int32_t type, int32_t number);
void ParticleEmitter_Stream(int32_t system, int32_t emitter, int32_t type, int32_t number);

// --- Inner steps, named so tests can check them -------------------------------------------------

double Particle_RandomRange(double min, double max, int32_t distribution);
void Particle_Setup(Particle* particle, int32_t type, float x, float y);
void Particle_UpdateColour(Particle* particle, const ParticleType* type);
// Direction (degrees, 0..360) and speed of a step vector; the zero vector keeps the direction.
void Particle_VectorToMotion(double vx, double vy, float* direction, float* speed);
// The triangle wave of the wiggles: m in 0..4 gives -1, 0, 1, 0.
double Particle_Wiggle(double m);

// --- Life cycle -------------------------------------------------------------------------------

void Particle_Reset();      // every run and restart: all types and systems go
void Particle_Init();       // every shape texture now (else each is made at its first draw)
void Particle_RoomStart();  // layer mode: elements for systems that have none
void Particle_RoomEnd();    // layer mode: every system loses its element
void Particle_Shutdown();
// Fills the frame loop's particle members.
void Particle_InstallHooks();

// The shape texture of a pt_shape_* value, made at its first use (null outside 0..13).
TextureRecord* Particle_ShapeTexture(int32_t shape);

// Whether systems live on layers (the room layers' layer mode).
bool Particle_LayerMode();
