// Drawing a world's particles: each selected particle as one quad of a sprite frame, straight
// into the vertex batch, in room pixels; and the debug view, an outline circle a particle.
#pragma once

#include <cstdint>

class CPhysicsWorld;

// A particle is drawn when its flags are 0 or share a bit with the type mask, and the category
// is 0 or its own. The frame wraps into the sprite's frames. Each particle keeps its colour.
void PhysicsParticles_Draw(CPhysicsWorld& world, uint32_t typeMask, int32_t category, int32_t sprite,
                           int32_t frame);
// The same selection, scaled and turned (angle in radians, counter-clockwise on screen), in one
// colour (0xBBGGRR) and alpha for all.
void PhysicsParticles_DrawExt(CPhysicsWorld& world, uint32_t typeMask, int32_t category, int32_t sprite,
                              int32_t frame, float xScale, float yScale, float angle, uint32_t colour,
                              float alpha);
// Every particle as an outline circle of the particle radius in its own colour.
void PhysicsParticles_DrawDebug(CPhysicsWorld& world);
