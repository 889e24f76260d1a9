// Joints between two bodies, kept under integer ids in a global table and addressed by game
// code through those ids. Nine kinds; the rope is a distance joint with only a maximum length,
// and frequencies and damping ratios are kept here and turned into the library's stiffness.
#pragma once

#include <box2d/box2d.h>

#include <cstdint>

class CPhysicsObject;
class CPhysicsWorld;

// The kinds as game code numbers them.
enum PhysicsJointKind : int32_t {
    PHYSICS_JOINT_REVOLUTE = 1,
    PHYSICS_JOINT_PRISMATIC = 2,
    PHYSICS_JOINT_DISTANCE = 3,
    PHYSICS_JOINT_PULLEY = 4,
    PHYSICS_JOINT_GEAR = 6,
    PHYSICS_JOINT_WHEEL = 7,
    PHYSICS_JOINT_WELD = 8,
    PHYSICS_JOINT_FRICTION = 9,
    PHYSICS_JOINT_ROPE = 10,
};

// The value codes read and written by physics_joint_get_value and physics_joint_set_value.
enum PhysicsJointValue : int32_t {
    JOINT_ANCHOR_1_X = 0,
    JOINT_ANCHOR_1_Y = 1,
    JOINT_ANCHOR_2_X = 2,
    JOINT_ANCHOR_2_Y = 3,
    JOINT_REACTION_FORCE_X = 4,
    JOINT_REACTION_FORCE_Y = 5,
    JOINT_REACTION_TORQUE = 6,
    JOINT_MOTOR_SPEED = 7,
    JOINT_ANGLE = 8,
    JOINT_MOTOR_TORQUE = 9,
    JOINT_MAX_MOTOR_TORQUE = 10,
    JOINT_TRANSLATION = 11,
    JOINT_SPEED = 12,
    JOINT_MOTOR_FORCE = 13,
    JOINT_MAX_MOTOR_FORCE = 14,
    JOINT_LENGTH_1 = 15,
    JOINT_LENGTH_2 = 16,
    JOINT_DAMPING_RATIO = 17,
    JOINT_FREQUENCY = 18,
    JOINT_LOWER_ANGLE_LIMIT = 19,
    JOINT_UPPER_ANGLE_LIMIT = 20,
    JOINT_ANGLE_LIMITS = 21,
    JOINT_MAX_LENGTH = 22,
    JOINT_MAX_TORQUE = 23,
    JOINT_MAX_FORCE = 24,
};

class CPhysicsJoint {
public:
    CPhysicsWorld* world;  // where it was made, and where it is destroyed
    b2Joint* joint;
    int32_t id;
    PhysicsJointKind kind;
    // Distance, wheel and weld: the spring as set, turned into stiffness whenever it changes.
    float frequency = 0.0f;
    float dampingRatio = 0.0f;
};

CPhysicsJoint* Joint_Create(CPhysicsWorld* world, const b2JointDef& def, PhysicsJointKind kind);
CPhysicsJoint* Joint_Find(int32_t id);
CPhysicsJoint* Joint_FindByB2Joint(const b2Joint* joint);
// Destroys the joint in its own world (the world given plays no part) together with the gears
// built on it; false when the id is absent.
bool Joint_Delete(CPhysicsWorld* world, int32_t id);
// Deletes every joint of the world.
void Joint_DeleteAllOfWorld(CPhysicsWorld* world);
// Deletes every joint attached to the body.
void Joint_DeleteAllOfBody(b2Body* body);

void Joint_EnableMotor(CPhysicsJoint* joint, bool flag);
float Joint_GetValue(const CPhysicsJoint* joint, int32_t code);
void Joint_SetValue(CPhysicsJoint* joint, int32_t code, float value);

// Creation, in room units (positions in pixels, angles in degrees) as the built-ins pass them;
// each answers the new joint's id or -1.
int32_t Joint_CreateDistance(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x1, float y1,
                             float x2, float y2, bool collide);
int32_t Joint_CreateRope(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x1, float y1,
                         float x2, float y2, float maxLength, bool collide);
int32_t Joint_CreateRevolute(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x, float y,
                             float lowerAngle, float upperAngle, bool limit, float maxMotorTorque,
                             float motorSpeed, bool motor, bool collide);
int32_t Joint_CreatePrismatic(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x, float y,
                              float axisX, float axisY, float lower, float upper, bool limit,
                              float maxMotorForce, float motorSpeed, bool motor, bool collide);
int32_t Joint_CreatePulley(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float groundX1,
                           float groundY1, float groundX2, float groundY2, float localX1, float localY1,
                           float localX2, float localY2, float ratio, bool collide);
int32_t Joint_CreateWheel(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x, float y,
                          float axisX, float axisY, bool motor, float maxMotorTorque, float motorSpeed,
                          float frequency, float dampingRatio, bool collide);
int32_t Joint_CreateWeld(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x, float y,
                         float referenceAngle, float frequency, float dampingRatio, bool collide);
int32_t Joint_CreateFriction(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x, float y,
                             float maxForce, float maxTorque, bool collide);
// -1 and no joint unless both joints are revolute or prismatic and live in this world.
int32_t Joint_CreateGear(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, CPhysicsJoint* joint1,
                         CPhysicsJoint* joint2, float ratio);
