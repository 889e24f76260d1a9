// The twelve ready-made effects (explosion, ring, ellipse, firework, smoke, smoke rising, star,
// spark, flare, cloud, rain, snow) in three sizes and a colour, below or above everything. They
// are ordinary particle types and systems: two shared systems hold the particles and 35 types,
// made on first use, are set up anew on every call.
#pragma once

#include <cstdint>

// ef_* values.
enum EffectKind : int32_t {
    EF_EXPLOSION = 0,
    EF_RING,
    EF_ELLIPSE,
    EF_FIREWORK,
    EF_SMOKE,
    EF_SMOKEUP,
    EF_STAR,
    EF_SPARK,
    EF_FLARE,
    EF_CLOUD,
    EF_RAIN,
    EF_SNOW,
};

// size: 0 small, 2 large, anything else medium. A kind outside 0..11 makes nothing.
void Effect_Create(bool below, int32_t kind, float x, float y, int32_t size, int32_t colour);
// Empties both effect systems (effect_clear and every room start).
void Effect_Clear();
void Effect_InitSystems();
// Scales the effects' speeds and lives (tuned for 30 steps a second) to the game's pace.
float Effect_SpeedScale();
// The effect systems' indices (-1 before the first effect).
int32_t Effect_SystemBelow();
int32_t Effect_SystemAbove();
// Fills the room start's effect member and listens for the loss of every type.
void Effect_InstallHooks();
