// What the rooms and the motion stage ask of the physics module: a room's world made from the
// room's settings, copied for a working copy, stepped once a frame and destroyed with the room.
// The physics module fills it at start-up; while it is empty no room gets a world, and the
// instances' phy_ variables answer as for an instance without a body.
#pragma once

#include <cstdint>

class CInstance;
class CPhysicsWorld;

// The instance variables that read or move an instance's body.
enum PhysicsVariable : int32_t {
    PHYSICS_VAR_ROTATION,
    PHYSICS_VAR_POSITION_X,
    PHYSICS_VAR_POSITION_Y,
    PHYSICS_VAR_ANGULAR_VELOCITY,
    PHYSICS_VAR_LINEAR_VELOCITY_X,
    PHYSICS_VAR_LINEAR_VELOCITY_Y,
    PHYSICS_VAR_SPEED_X,
    PHYSICS_VAR_SPEED_Y,
    PHYSICS_VAR_ANGULAR_DAMPING,
    PHYSICS_VAR_LINEAR_DAMPING,
    PHYSICS_VAR_BULLET,
    PHYSICS_VAR_FIXED_ROTATION,
    PHYSICS_VAR_ACTIVE,
    // Read-only from here on.
    PHYSICS_VAR_MASS,
    PHYSICS_VAR_INERTIA,
    PHYSICS_VAR_COM_X,
    PHYSICS_VAR_COM_Y,
    PHYSICS_VAR_SPEED,
    PHYSICS_VAR_DYNAMIC,
    PHYSICS_VAR_KINEMATIC,
    PHYSICS_VAR_SLEEPING,
    PHYSICS_VAR_POSITION_XPREVIOUS,
    PHYSICS_VAR_POSITION_YPREVIOUS,
    PHYSICS_VAR_COLLISION_POINTS,
    PHYSICS_VAR_COLLISION_X,
    PHYSICS_VAR_COLLISION_Y,
    PHYSICS_VAR_COL_NORMAL_X,
    PHYSICS_VAR_COL_NORMAL_Y,
    PHYSICS_VAR_COUNT
};
constexpr int32_t kPhysicsVariableFirstReadOnly = PHYSICS_VAR_MASS;

struct PhysicsServices {
    CPhysicsWorld* (*createWorld)(float pixelsToMetres, int32_t updateSpeed, float gravityX,
                                  float gravityY) = nullptr;
    CPhysicsWorld* (*copyWorld)(const CPhysicsWorld* source) = nullptr;
    // Destroys the world and every body in it; the instances keep no body.
    void (*destroyWorld)(CPhysicsWorld* world) = nullptr;
    // One frame of simulation: bodies move, instances follow, contacts become collision events.
    void (*step)(CPhysicsWorld* world, int32_t frameRate, bool anyInstanceOnPath) = nullptr;
    // An instance's phy_ variable in room units (pixels, degrees, frames); index is the contact
    // point of the collision variables. False, with nothing written, when the instance has no
    // body, the current room no world, or the contact no such point.
    bool (*getVariable)(const CInstance* instance, PhysicsVariable variable, int32_t index,
                        double* out) = nullptr;
    // Moves or changes the body; false, with nothing changed, under the same conditions.
    bool (*setVariable)(CInstance* instance, PhysicsVariable variable, double value) = nullptr;
};

extern PhysicsServices g_PhysicsServices;
