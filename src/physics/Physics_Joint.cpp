#include "physics/Physics_Joint.h"

#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "physics/Physics_Guard.h"
#include "physics/Physics_Object.h"
#include "physics/Physics_World.h"

namespace {

std::map<int32_t, std::unique_ptr<CPhysicsJoint>>& Table() {
    static std::map<int32_t, std::unique_ptr<CPhysicsJoint>> table;
    return table;
}

int32_t g_lastJointId = 0;  // ids are never reused

constexpr float kDegreesToRadians = kPhysicsPi / 180.0f;
constexpr float kRadiansToDegrees = 180.0f / kPhysicsPi;
// Longer than any joint in a room, well inside what the library sums in single precision.
constexpr float kLongestJoint = 100000.0f * b2_lengthUnitsPerMeter;

CPhysicsJoint* WrapperOf(const b2Joint* joint) {
    return joint == nullptr
               ? nullptr
               : reinterpret_cast<CPhysicsJoint*>(const_cast<b2Joint*>(joint)->GetUserData().pointer);
}

void WakeBodies(b2Joint* joint) {
    joint->GetBodyA()->SetAwake(true);
    joint->GetBodyB()->SetAwake(true);
}

void WakeBodies(CPhysicsObject* a, CPhysicsObject* b) {
    a->Body()->SetAwake(true);
    b->Body()->SetAwake(true);
}

// The library refuses a joint of a body with itself.
bool DistinctBodies(CPhysicsObject* a, CPhysicsObject* b) {
    if (a->Body() != b->Body()) return true;
    Physics_AssertHandler(false, "def->bodyA != def->bodyB");
    return false;
}

b2Vec2 Scaled(CPhysicsWorld* world, float x, float y) {
    return PhysicsGuard_Vector(x * world->PixelsToMetres(), y * world->PixelsToMetres());
}

// A direction the library can normalise.
b2Vec2 Axis(float x, float y) {
    b2Vec2 axis = PhysicsGuard_Vector(x, y);
    if (axis.Length() > b2_epsilon) return axis;
    Physics_AssertHandler(false, "axis.Length() > b2_epsilon");
    return b2Vec2(1.0f, 0.0f);
}

// Lower and upper limits in the order the library asserts.
void OrderedLimits(float* lower, float* upper) {
    if (*lower <= *upper) return;
    Physics_AssertHandler(false, "lower <= upper");
    *upper = *lower;
}

void SetRigidLength(b2DistanceJoint* joint, float length) {
    joint->SetMaxLength(kLongestJoint);
    joint->SetMinLength(joint->SetLength(length));
    joint->SetMaxLength(joint->GetLength());
}

// A frequency above 0 makes the joint a spring; 0 makes it rigid (distance) or leaves it
// without spring (wheel) or rigid (weld).
void ApplySpring(CPhysicsJoint* j) {
    float stiffness = 0.0f, damping = 0.0f;
    b2Body* a = j->joint->GetBodyA();
    b2Body* b = j->joint->GetBodyB();
    const bool spring = j->frequency > 0.0f;
    switch (j->kind) {
        case PHYSICS_JOINT_DISTANCE: {
            auto* joint = static_cast<b2DistanceJoint*>(j->joint);
            if (spring) {
                b2LinearStiffness(stiffness, damping, j->frequency, j->dampingRatio, a, b);
                joint->SetMaxLength(kLongestJoint);
                joint->SetMinLength(0.0f);
            } else {
                SetRigidLength(joint, joint->GetLength());
            }
            joint->SetStiffness(stiffness);
            joint->SetDamping(damping);
            break;
        }
        case PHYSICS_JOINT_WHEEL: {
            auto* joint = static_cast<b2WheelJoint*>(j->joint);
            if (spring) b2LinearStiffness(stiffness, damping, j->frequency, j->dampingRatio, a, b);
            joint->SetStiffness(stiffness);
            joint->SetDamping(damping);
            break;
        }
        case PHYSICS_JOINT_WELD: {
            auto* joint = static_cast<b2WeldJoint*>(j->joint);
            if (spring) b2AngularStiffness(stiffness, damping, j->frequency, j->dampingRatio, a, b);
            joint->SetStiffness(stiffness);
            joint->SetDamping(damping);
            break;
        }
        default:
            break;
    }
}

void FillCommon(b2JointDef& def, CPhysicsObject* a, CPhysicsObject* b, bool collide) {
    def.userData.pointer = 0;
    def.bodyA = a->Body();
    def.bodyB = b->Body();
    def.collideConnected = collide;
}

int32_t Finish(CPhysicsWorld* world, const b2JointDef& def, PhysicsJointKind kind, float frequency = 0.0f,
               float dampingRatio = 0.0f) {
    CPhysicsJoint* joint = Joint_Create(world, def, kind);
    joint->frequency = PhysicsGuard_Length(frequency);
    joint->dampingRatio = PhysicsGuard_Length(dampingRatio);
    ApplySpring(joint);
    return joint->id;
}

void DestroyWrapper(CPhysicsJoint* j) {
    const int32_t id = j->id;
    // A gear holds on to the joints it couples: it goes first.
    if (j->kind == PHYSICS_JOINT_REVOLUTE || j->kind == PHYSICS_JOINT_PRISMATIC) {
        std::vector<int32_t> gears;
        for (b2Joint* other = j->world->Library().GetJointList(); other != nullptr;
             other = other->GetNext()) {
            if (other->GetType() != e_gearJoint) continue;
            auto* gear = static_cast<b2GearJoint*>(other);
            if (gear->GetJoint1() == j->joint || gear->GetJoint2() == j->joint)
                if (CPhysicsJoint* wrapper = WrapperOf(gear)) gears.push_back(wrapper->id);
        }
        for (int32_t gear : gears) Joint_Delete(j->world, gear);
    }
    j->world->Library().DestroyJoint(j->joint);
    Table().erase(id);
}

}  // namespace

CPhysicsJoint* Joint_Create(CPhysicsWorld* world, const b2JointDef& def, PhysicsJointKind kind) {
    def.bodyA->SetAwake(true);
    def.bodyB->SetAwake(true);
    auto wrapper = std::make_unique<CPhysicsJoint>();
    wrapper->world = world;
    wrapper->joint = world->Library().CreateJoint(&def);
    wrapper->id = ++g_lastJointId;
    wrapper->kind = kind;
    wrapper->joint->GetUserData().pointer = reinterpret_cast<uintptr_t>(wrapper.get());
    CPhysicsJoint* joint = wrapper.get();
    Table()[joint->id] = std::move(wrapper);
    return joint;
}

CPhysicsJoint* Joint_Find(int32_t id) {
    auto it = Table().find(id);
    return it == Table().end() ? nullptr : it->second.get();
}

CPhysicsJoint* Joint_FindByB2Joint(const b2Joint* joint) {
    CPhysicsJoint* wrapper = WrapperOf(joint);
    return wrapper != nullptr && Joint_Find(wrapper->id) == wrapper ? wrapper : nullptr;
}

bool Joint_Delete(CPhysicsWorld*, int32_t id) {
    CPhysicsJoint* joint = Joint_Find(id);
    if (joint == nullptr) return false;
    DestroyWrapper(joint);
    return true;
}

void Joint_DeleteAllOfWorld(CPhysicsWorld* world) {
    // Deleting one joint may take its gears with it: look the next one up afresh each time.
    while (true) {
        b2Joint* joint = world->Library().GetJointList();
        while (joint != nullptr && Joint_FindByB2Joint(joint) == nullptr) joint = joint->GetNext();
        if (joint == nullptr) return;
        DestroyWrapper(Joint_FindByB2Joint(joint));
    }
}

void Joint_DeleteAllOfBody(b2Body* body) {
    while (true) {
        b2JointEdge* edge = body->GetJointList();
        while (edge != nullptr && Joint_FindByB2Joint(edge->joint) == nullptr) edge = edge->next;
        if (edge == nullptr) return;
        DestroyWrapper(Joint_FindByB2Joint(edge->joint));
    }
}

void Joint_EnableMotor(CPhysicsJoint* j, bool flag) {
    switch (j->kind) {
        case PHYSICS_JOINT_REVOLUTE:
            WakeBodies(j->joint);
            static_cast<b2RevoluteJoint*>(j->joint)->EnableMotor(flag);
            break;
        case PHYSICS_JOINT_PRISMATIC:
            WakeBodies(j->joint);
            static_cast<b2PrismaticJoint*>(j->joint)->EnableMotor(flag);
            break;
        case PHYSICS_JOINT_WHEEL:
            WakeBodies(j->joint);
            static_cast<b2WheelJoint*>(j->joint)->EnableMotor(flag);
            break;
        default:
            break;
    }
}

float Joint_GetValue(const CPhysicsJoint* j, int32_t code) {
    // Lengths and steps are those of the joint's own world, whichever room is current.
    const float factor = j->world->PixelsToMetres();
    const int32_t speed = j->world->UpdateSpeed();
    const float step = speed > 0 ? 1.0f / static_cast<float>(speed) : 0.0f;
    b2Joint* joint = j->joint;
    const auto revolute = [&] { return static_cast<b2RevoluteJoint*>(joint); };
    const auto prismatic = [&] { return static_cast<b2PrismaticJoint*>(joint); };
    const auto wheel = [&] { return static_cast<b2WheelJoint*>(joint); };
    const PhysicsJointKind kind = j->kind;
    switch (code) {
        case JOINT_ANCHOR_1_X:
            return joint->GetAnchorA().x / factor;
        case JOINT_ANCHOR_1_Y:
            return joint->GetAnchorA().y / factor;
        case JOINT_ANCHOR_2_X:
            return joint->GetAnchorB().x / factor;
        case JOINT_ANCHOR_2_Y:
            return joint->GetAnchorB().y / factor;
        case JOINT_REACTION_FORCE_X:
            return joint->GetReactionForce(step).x;
        case JOINT_REACTION_FORCE_Y:
            return joint->GetReactionForce(step).y;
        case JOINT_REACTION_TORQUE:
            return joint->GetReactionTorque(step);
        case JOINT_MOTOR_SPEED:
            if (kind == PHYSICS_JOINT_REVOLUTE) return revolute()->GetMotorSpeed();
            if (kind == PHYSICS_JOINT_PRISMATIC) return prismatic()->GetMotorSpeed();
            if (kind == PHYSICS_JOINT_WHEEL) return wheel()->GetMotorSpeed();
            return 0.0f;
        case JOINT_ANGLE:
            if (kind == PHYSICS_JOINT_REVOLUTE) return revolute()->GetJointAngle();
            if (kind == PHYSICS_JOINT_WELD) return static_cast<b2WeldJoint*>(joint)->GetReferenceAngle();
            return 0.0f;
        case JOINT_MOTOR_TORQUE:
            if (kind == PHYSICS_JOINT_REVOLUTE) return revolute()->GetMotorTorque(step);
            if (kind == PHYSICS_JOINT_WHEEL) return wheel()->GetMotorTorque(step);
            return 0.0f;
        case JOINT_MAX_MOTOR_TORQUE:
            if (kind == PHYSICS_JOINT_REVOLUTE) return revolute()->GetMaxMotorTorque();
            if (kind == PHYSICS_JOINT_WHEEL) return wheel()->GetMaxMotorTorque();
            return 0.0f;
        case JOINT_TRANSLATION:
            if (kind == PHYSICS_JOINT_PRISMATIC) return prismatic()->GetJointTranslation() / factor;
            if (kind == PHYSICS_JOINT_WHEEL) return wheel()->GetJointTranslation() / factor;
            return 0.0f;
        case JOINT_SPEED:
            if (kind == PHYSICS_JOINT_PRISMATIC) return prismatic()->GetJointSpeed();
            if (kind == PHYSICS_JOINT_WHEEL) return wheel()->GetJointAngularSpeed();
            return 0.0f;
        case JOINT_MOTOR_FORCE:
            return kind == PHYSICS_JOINT_PRISMATIC ? prismatic()->GetMotorForce(step) : 0.0f;
        case JOINT_MAX_MOTOR_FORCE:
            return kind == PHYSICS_JOINT_PRISMATIC ? prismatic()->GetMaxMotorForce() : 0.0f;
        case JOINT_LENGTH_1:
            if (kind == PHYSICS_JOINT_DISTANCE)
                return static_cast<b2DistanceJoint*>(joint)->GetLength() / factor;
            if (kind == PHYSICS_JOINT_PULLEY)
                return static_cast<b2PulleyJoint*>(joint)->GetLengthA() / factor;
            return 0.0f;
        case JOINT_LENGTH_2:
            return kind == PHYSICS_JOINT_PULLEY ? static_cast<b2PulleyJoint*>(joint)->GetLengthB() / factor
                                                : 0.0f;
        case JOINT_DAMPING_RATIO:
        case JOINT_FREQUENCY:
            if (kind != PHYSICS_JOINT_DISTANCE && kind != PHYSICS_JOINT_WHEEL && kind != PHYSICS_JOINT_WELD)
                return 0.0f;
            return code == JOINT_FREQUENCY ? j->frequency : j->dampingRatio;
        case JOINT_LOWER_ANGLE_LIMIT:
            return kind == PHYSICS_JOINT_REVOLUTE ? revolute()->GetLowerLimit() * kRadiansToDegrees : 0.0f;
        case JOINT_UPPER_ANGLE_LIMIT:
            return kind == PHYSICS_JOINT_REVOLUTE ? revolute()->GetUpperLimit() * kRadiansToDegrees : 0.0f;
        case JOINT_ANGLE_LIMITS:
            return kind == PHYSICS_JOINT_REVOLUTE && revolute()->IsLimitEnabled() ? 1.0f : 0.0f;
        case JOINT_MAX_LENGTH:
            return kind == PHYSICS_JOINT_ROPE ? static_cast<b2DistanceJoint*>(joint)->GetMaxLength() / factor
                                              : 0.0f;
        case JOINT_MAX_TORQUE:
            return kind == PHYSICS_JOINT_FRICTION ? static_cast<b2FrictionJoint*>(joint)->GetMaxTorque()
                                                  : 0.0f;
        case JOINT_MAX_FORCE:
            return kind == PHYSICS_JOINT_FRICTION ? static_cast<b2FrictionJoint*>(joint)->GetMaxForce()
                                                  : 0.0f;
        default:
            return 0.0f;
    }
}

void Joint_SetValue(CPhysicsJoint* j, int32_t code, float value) {
    value = PhysicsGuard_Length(value);
    b2Joint* joint = j->joint;
    const PhysicsJointKind kind = j->kind;
    switch (code) {
        case JOINT_MOTOR_SPEED:
            if (kind == PHYSICS_JOINT_REVOLUTE) {
                WakeBodies(joint);
                static_cast<b2RevoluteJoint*>(joint)->SetMotorSpeed(value);
            } else if (kind == PHYSICS_JOINT_PRISMATIC) {
                WakeBodies(joint);
                static_cast<b2PrismaticJoint*>(joint)->SetMotorSpeed(value);
            } else if (kind == PHYSICS_JOINT_WHEEL) {
                WakeBodies(joint);
                static_cast<b2WheelJoint*>(joint)->SetMotorSpeed(value);
            }
            break;
        case JOINT_MAX_MOTOR_TORQUE:
            if (kind == PHYSICS_JOINT_REVOLUTE)
                static_cast<b2RevoluteJoint*>(joint)->SetMaxMotorTorque(value);
            if (kind == PHYSICS_JOINT_WHEEL) static_cast<b2WheelJoint*>(joint)->SetMaxMotorTorque(value);
            break;
        case JOINT_MAX_MOTOR_FORCE:
            if (kind == PHYSICS_JOINT_PRISMATIC)
                static_cast<b2PrismaticJoint*>(joint)->SetMaxMotorForce(value);
            break;
        case JOINT_LENGTH_1:
            if (kind == PHYSICS_JOINT_DISTANCE) {
                auto* distance = static_cast<b2DistanceJoint*>(joint);
                if (j->frequency > 0.0f)
                    distance->SetLength(value);
                else
                    SetRigidLength(distance, value);
            }
            break;
        case JOINT_DAMPING_RATIO:
        case JOINT_FREQUENCY:
            if (kind != PHYSICS_JOINT_DISTANCE && kind != PHYSICS_JOINT_WHEEL && kind != PHYSICS_JOINT_WELD)
                break;
            (code == JOINT_FREQUENCY ? j->frequency : j->dampingRatio) = value;
            ApplySpring(j);
            break;
        case JOINT_LOWER_ANGLE_LIMIT:
        case JOINT_UPPER_ANGLE_LIMIT:
            if (kind == PHYSICS_JOINT_REVOLUTE) {
                auto* revolute = static_cast<b2RevoluteJoint*>(joint);
                float lower = revolute->GetLowerLimit(), upper = revolute->GetUpperLimit();
                (code == JOINT_LOWER_ANGLE_LIMIT ? lower : upper) = value * kDegreesToRadians;
                if (lower > upper) {
                    Physics_AssertHandler(false, "lower <= upper");
                    lower = upper = value * kDegreesToRadians;
                }
                revolute->SetLimits(lower, upper);
            }
            break;
        case JOINT_ANGLE_LIMITS:
            if (kind == PHYSICS_JOINT_REVOLUTE)
                static_cast<b2RevoluteJoint*>(joint)->EnableLimit(value > 0.5f);
            break;
        case JOINT_MAX_LENGTH:
            if (kind == PHYSICS_JOINT_ROPE) {
                auto* rope = static_cast<b2DistanceJoint*>(joint);
                rope->SetLength(value);
                rope->SetMaxLength(value);
            }
            break;
        case JOINT_MAX_TORQUE:
            if (kind == PHYSICS_JOINT_FRICTION)
                static_cast<b2FrictionJoint*>(joint)->SetMaxTorque(PhysicsGuard_NonNegative(value));
            break;
        case JOINT_MAX_FORCE:
            if (kind == PHYSICS_JOINT_FRICTION)
                static_cast<b2FrictionJoint*>(joint)->SetMaxForce(PhysicsGuard_NonNegative(value));
            break;
        default:
            break;
    }
}

// --- Creation ------------------------------------------------------------------------------

int32_t Joint_CreateDistance(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x1, float y1,
                             float x2, float y2, bool collide) {
    if (!DistinctBodies(a, b)) return -1;
    WakeBodies(a, b);
    b2DistanceJointDef def;
    def.Initialize(a->Body(), b->Body(), Scaled(world, x1, y1), Scaled(world, x2, y2));
    FillCommon(def, a, b, collide);
    return Finish(world, def, PHYSICS_JOINT_DISTANCE);
}

int32_t Joint_CreateRope(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x1, float y1,
                         float x2, float y2, float maxLength, bool collide) {
    if (!DistinctBodies(a, b)) return -1;
    WakeBodies(a, b);
    b2DistanceJointDef def;
    FillCommon(def, a, b, collide);
    def.localAnchorA = a->Body()->GetLocalPoint(Scaled(world, x1, y1));
    def.localAnchorB = b->Body()->GetLocalPoint(Scaled(world, x2, y2));
    // Only the maximum holds: a slack rope pulls on nothing.
    def.maxLength = PhysicsGuard_NonNegative(maxLength * world->PixelsToMetres());
    def.length = def.maxLength;
    def.minLength = 0.0f;
    def.stiffness = 0.0f;
    def.damping = 0.0f;
    CPhysicsJoint* joint = Joint_Create(world, def, PHYSICS_JOINT_ROPE);
    return joint->id;
}

int32_t Joint_CreateRevolute(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x, float y,
                             float lowerAngle, float upperAngle, bool limit, float maxMotorTorque,
                             float motorSpeed, bool motor, bool collide) {
    if (!DistinctBodies(a, b)) return -1;
    WakeBodies(a, b);
    b2RevoluteJointDef def;
    def.Initialize(a->Body(), b->Body(), Scaled(world, x, y));
    FillCommon(def, a, b, collide);
    def.lowerAngle = PhysicsGuard_Length(lowerAngle * kDegreesToRadians);
    def.upperAngle = PhysicsGuard_Length(upperAngle * kDegreesToRadians);
    OrderedLimits(&def.lowerAngle, &def.upperAngle);
    def.enableLimit = limit;
    def.maxMotorTorque = PhysicsGuard_Length(maxMotorTorque);
    def.motorSpeed = PhysicsGuard_Length(motorSpeed);
    def.enableMotor = motor;
    return Finish(world, def, PHYSICS_JOINT_REVOLUTE);
}

int32_t Joint_CreatePrismatic(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x, float y,
                              float axisX, float axisY, float lower, float upper, bool limit,
                              float maxMotorForce, float motorSpeed, bool motor, bool collide) {
    if (!DistinctBodies(a, b)) return -1;
    WakeBodies(a, b);
    b2PrismaticJointDef def;
    def.Initialize(a->Body(), b->Body(), Scaled(world, x, y), Axis(axisX, axisY));
    FillCommon(def, a, b, collide);
    def.lowerTranslation = PhysicsGuard_Length(lower * world->PixelsToMetres());
    def.upperTranslation = PhysicsGuard_Length(upper * world->PixelsToMetres());
    OrderedLimits(&def.lowerTranslation, &def.upperTranslation);
    def.enableLimit = limit;
    def.maxMotorForce = PhysicsGuard_Length(maxMotorForce);
    def.motorSpeed = PhysicsGuard_Length(motorSpeed);
    def.enableMotor = motor;
    return Finish(world, def, PHYSICS_JOINT_PRISMATIC);
}

int32_t Joint_CreatePulley(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float groundX1,
                           float groundY1, float groundX2, float groundY2, float localX1, float localY1,
                           float localX2, float localY2, float ratio, bool collide) {
    if (!DistinctBodies(a, b)) return -1;
    WakeBodies(a, b);
    ratio = PhysicsGuard_Length(ratio);
    if (!(ratio > b2_epsilon)) {
        Physics_AssertHandler(false, "ratio > b2_epsilon");
        ratio = 1.0f;
    }
    b2PulleyJointDef def;
    def.Initialize(a->Body(), b->Body(), Scaled(world, groundX1, groundY1), Scaled(world, groundX2, groundY2),
                   a->Body()->GetWorldPoint(PhysicsGuard_Vector(localX1, localY1)),
                   b->Body()->GetWorldPoint(PhysicsGuard_Vector(localX2, localY2)), ratio);
    FillCommon(def, a, b, collide);
    return Finish(world, def, PHYSICS_JOINT_PULLEY);
}

int32_t Joint_CreateWheel(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x, float y,
                          float axisX, float axisY, bool motor, float maxMotorTorque, float motorSpeed,
                          float frequency, float dampingRatio, bool collide) {
    if (!DistinctBodies(a, b)) return -1;
    WakeBodies(a, b);
    b2WheelJointDef def;
    def.Initialize(a->Body(), b->Body(), Scaled(world, x, y), Axis(axisX, axisY));
    FillCommon(def, a, b, collide);
    def.enableMotor = motor;
    def.maxMotorTorque = PhysicsGuard_Length(maxMotorTorque);
    def.motorSpeed = PhysicsGuard_Length(motorSpeed);
    return Finish(world, def, PHYSICS_JOINT_WHEEL, frequency, dampingRatio);
}

int32_t Joint_CreateWeld(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x, float y,
                         float referenceAngle, float frequency, float dampingRatio, bool collide) {
    if (!DistinctBodies(a, b)) return -1;
    WakeBodies(a, b);
    b2WeldJointDef def;
    def.Initialize(a->Body(), b->Body(), Scaled(world, x, y));
    FillCommon(def, a, b, collide);
    def.referenceAngle = PhysicsGuard_Length(-referenceAngle * kPhysicsPi / 180.0f);
    return Finish(world, def, PHYSICS_JOINT_WELD, frequency, dampingRatio);
}

int32_t Joint_CreateFriction(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, float x, float y,
                             float maxForce, float maxTorque, bool collide) {
    if (!DistinctBodies(a, b)) return -1;
    WakeBodies(a, b);
    b2FrictionJointDef def;
    def.Initialize(a->Body(), b->Body(), Scaled(world, x, y));
    FillCommon(def, a, b, collide);
    def.maxForce = PhysicsGuard_NonNegative(maxForce);
    def.maxTorque = PhysicsGuard_NonNegative(maxTorque);
    return Finish(world, def, PHYSICS_JOINT_FRICTION);
}

int32_t Joint_CreateGear(CPhysicsWorld* world, CPhysicsObject* a, CPhysicsObject* b, CPhysicsJoint* joint1,
                         CPhysicsJoint* joint2, float ratio) {
    const auto couplable = [](const CPhysicsJoint* j) {
        return j->kind == PHYSICS_JOINT_REVOLUTE || j->kind == PHYSICS_JOINT_PRISMATIC;
    };
    if (!couplable(joint1) || !couplable(joint2)) return -1;
    // A gear couples joints of one world only.
    if (joint1->world != world || joint2->world != world) return -1;
    if (!DistinctBodies(a, b)) return -1;
    // The gear turns the second bodies of its joints, which the library needs to be dynamic.
    if (joint1->joint->GetBodyB()->GetType() != b2_dynamicBody ||
        joint2->joint->GetBodyB()->GetType() != b2_dynamicBody) {
        Physics_AssertHandler(false, "m_bodyA->m_type == b2_dynamicBody");
        return -1;
    }
    WakeBodies(a, b);
    b2GearJointDef def;
    FillCommon(def, a, b, false);
    def.joint1 = joint1->joint;
    def.joint2 = joint2->joint;
    def.ratio = PhysicsGuard_Length(ratio);
    return Joint_Create(world, def, PHYSICS_JOINT_GEAR)->id;
}
