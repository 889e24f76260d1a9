// The physics_particle_* built-ins: particles, particle groups, their settings, bulk reads into
// buffers and drawing, in room units (pixels and degrees) over the current room's world.
#pragma once

#include <cstdint>

class CPhysicsWorld;
class IBuffer;

// Writes the parts the mask selects of particles first .. end - 1 at the buffer's position, in
// room units, and puts the position back where it was. Nothing unless 0 <= first < count and
// first <= end <= count. Mask bits: 1 flags (u32), 2 position (f32 x, y), 4 velocity (f32 x, y),
// 8 colour (u32 0xAARRGGBB), 16 category (s32).
void PhysicsParticles_WriteData(CPhysicsWorld& world, IBuffer* buffer, uint32_t mask, int32_t first,
                                int32_t end);

// Adds the 44 physics_particle_* rows.
void InitPhysicsParticleFunctions();
