// What the rooms and the motion stage ask of the physics module: a room's world made from the
// room's settings, copied for a working copy, stepped once a frame and destroyed with the room.
// The physics module fills it at start-up; while it is empty no room gets a world.
#pragma once

#include <cstdint>

class CPhysicsWorld;

struct PhysicsServices {
    CPhysicsWorld* (*createWorld)(float pixelsToMetres, int32_t updateSpeed, float gravityX,
                                  float gravityY) = nullptr;
    CPhysicsWorld* (*copyWorld)(const CPhysicsWorld* source) = nullptr;
    // Destroys the world and every body in it; the instances keep no body.
    void (*destroyWorld)(CPhysicsWorld* world) = nullptr;
    // One frame of simulation: bodies move, instances follow, contacts become collision events.
    void (*step)(CPhysicsWorld* world, int32_t frameRate, bool anyInstanceOnPath) = nullptr;
};

extern PhysicsServices g_PhysicsServices;
