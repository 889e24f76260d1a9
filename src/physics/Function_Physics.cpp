// The physics built-ins: each reads its arguments, finds the current room's world, the fixture
// definition, the calling instance's body or the joint it names, and reports what is missing.
// Room positions and lengths become metres through the world's pixel-to-metre factor and
// degrees become radians before they reach the physics layer.
#include "physics/Function_Physics.h"

#include <cstdio>

#include "base/GEN8.h"
#include "core/Code_Function.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "physics/Physics_DebugDraw.h"
#include "physics/Physics_Fixture.h"
#include "physics/Physics_Joint.h"
#include "physics/Physics_Main.h"
#include "physics/Physics_Object.h"
#include "physics/Physics_World.h"
#include "world/Room_Class.h"
#include "world/Run.h"
#include "world/Run_Command.h"

namespace {

constexpr const char* kNoWorld = "The current room does not have a physics world representation";
constexpr const char* kNoRoom = "No room is available to create a physics world for";
constexpr const char* kNoFixture = "The physics fixture does not exist";
constexpr const char* kNoBody = "The instance does not have an associated physics representation";
constexpr const char* kCannotBind = "Cannot bind a fixture if no physics world exists for the current room";
constexpr const char* kBadPoint =
    "The fixture must be a polygon shape, convex, ordered clockwise and have no more than 8 points";
constexpr const char* kNoJoint = "A joint does not exist";
constexpr const char* kNotValid = "  is not valid.";

constexpr float kDegreesToRadians = kPhysicsPi / 180.0f;

void Report(const char* message) {
    Runtime_ReportError(message, false);
}

CPhysicsWorld* CurrentWorld() {
    CRoom* room = Run_Room();
    return room != nullptr ? room->physicsWorld : nullptr;
}

// The current world, or null after the room message.
CPhysicsWorld* NeedWorld() {
    CPhysicsWorld* world = CurrentWorld();
    if (world == nullptr) Report(kNoWorld);
    return world;
}

CPhysicsFixture* NeedFixture(RValue* args) {
    CPhysicsFixture* fixture = Fixture_Find(Arg_GetInt32(args, 0));
    if (fixture == nullptr) Report(kNoFixture);
    return fixture;
}

CPhysicsObject* BodyOf(const CInstance* instance) {
    if (instance == nullptr || instance->physicsBody == nullptr || instance->physicsBody->Body() == nullptr)
        return nullptr;
    return instance->physicsBody;
}

CPhysicsObject* NeedBody(CInstance* self) {
    CPhysicsObject* body = BodyOf(self);
    if (body == nullptr) Report(kNoBody);
    return body;
}

// The instances a fixture target names: -1 the caller, -3 the room's, an id one instance, any
// other value an object and its descendants. False after the message when an id names no one.
template <typename Visit>
bool ForEachTarget(CInstance* self, int32_t target, const char* notValid, Visit visit) {
    if (target == -1 && self != nullptr) target = self->id;
    if (target >= kFirstInstanceId) {
        CInstance* instance = Instance_Find(target);
        if (!Instance_Qualifies(instance)) {
            Report(notValid);
            return false;
        }
        visit(instance);
        return true;
    }
    if (target == kFilterAll || target >= 0)
        Command_ForEachCandidate(target, [&](CInstance* instance) {
            if (Instance_Qualifies(instance)) return visit(instance);
            return true;
        });
    return true;
}

// --- World -------------------------------------------------------------------------------

void F_PhysicsWorldCreate(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float factor = Arg_GetFloat(args, 0);
    CRoom* room = Run_Room();
    if (room == nullptr) {
        Report(kNoRoom);
        return;
    }
    const auto rate = static_cast<int32_t>(Physics_RoomFrameRate(room));
    if (room->physicsWorld != nullptr) {
        room->physicsWorld->SetPixelsToMetres(factor);
        room->physicsWorld->SetUpdateSpeed(rate);
        return;
    }
    room->physicsWorld = new CPhysicsWorld(factor, rate);
}

// The world of the current room for the world setters: both messages.
CPhysicsWorld* WorldToChange() {
    if (Run_Room() == nullptr) {
        Report(kNoRoom);
        return nullptr;
    }
    return NeedWorld();
}

void F_PhysicsWorldGravity(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1);
    if (CPhysicsWorld* world = WorldToChange()) world->SetGravity(x, y);
}

void F_PhysicsWorldUpdateSpeed(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t speed = Arg_GetInt32(args, 0);
    if (CPhysicsWorld* world = WorldToChange()) world->SetUpdateSpeed(speed);
}

void F_PhysicsWorldUpdateIterations(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t iterations = Arg_GetInt32(args, 0);
    if (CPhysicsWorld* world = WorldToChange()) world->SetIterations(iterations);
}

void F_PhysicsWorldDrawDebug(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const uint32_t flags = Arg_GetUInt32(args, 0);
    if (CPhysicsWorld* world = NeedWorld()) PhysicsDebug_DrawWorld(world, flags);
}

void F_PhysicsPauseEnable(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const bool paused = Arg_GetBool(args, 0);
    CPhysicsWorld* world = CurrentWorld();
    if (world == nullptr) {
        Report("physics_pause_enable() The current room does not have a physics world representation");
        return;
    }
    world->SetPaused(paused);
}

// --- Fixture definitions -----------------------------------------------------------------

void F_PhysicsFixtureCreate(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    Result_SetReal(result, Fixture_Create()->id);
}

void F_PhysicsFixtureSetKinematic(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (CPhysicsFixture* fixture = NeedFixture(args)) fixture->kinematic = true;
}

void F_PhysicsFixtureSetAwake(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const bool awake = Arg_GetBool(args, 1);
    if (CPhysicsFixture* fixture = NeedFixture(args)) fixture->awake = awake;
}

void F_PhysicsFixtureSetDensity(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float value = Arg_GetFloat(args, 1);
    if (CPhysicsFixture* fixture = NeedFixture(args)) fixture->density = value;
}

void F_PhysicsFixtureSetRestitution(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float value = Arg_GetFloat(args, 1);
    if (CPhysicsFixture* fixture = NeedFixture(args)) fixture->restitution = value;
}

void F_PhysicsFixtureSetFriction(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float value = Arg_GetFloat(args, 1);
    if (CPhysicsFixture* fixture = NeedFixture(args)) fixture->friction = value;
}

void F_PhysicsFixtureSetCollisionGroup(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t group = Arg_GetInt32(args, 1);
    if (CPhysicsFixture* fixture = NeedFixture(args))
        fixture->groupIndex = static_cast<int16_t>(static_cast<uint16_t>(group));  // its low 16 bits
}

void F_PhysicsFixtureSetSensor(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const bool sensor = Arg_GetBool(args, 1);
    if (CPhysicsFixture* fixture = NeedFixture(args)) fixture->sensor = sensor;
}

void F_PhysicsFixtureSetLinearDamping(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float value = Arg_GetFloat(args, 1);
    if (CPhysicsFixture* fixture = NeedFixture(args)) fixture->linearDamping = value;
}

void F_PhysicsFixtureSetAngularDamping(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float value = Arg_GetFloat(args, 1);
    if (CPhysicsFixture* fixture = NeedFixture(args)) fixture->angularDamping = value;
}

void F_PhysicsFixtureSetCircleShape(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float radius = Arg_GetFloat(args, 1);
    CPhysicsFixture* fixture = NeedFixture(args);
    if (fixture == nullptr) return;
    if (CPhysicsWorld* world = NeedWorld()) fixture->SetCircleShape(radius * world->PixelsToMetres());
}

void F_PhysicsFixtureSetBoxShape(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float w = Arg_GetFloat(args, 1), h = Arg_GetFloat(args, 2);
    CPhysicsFixture* fixture = NeedFixture(args);
    if (fixture == nullptr) return;
    if (CPhysicsWorld* world = NeedWorld())
        fixture->SetBoxShape(w * world->PixelsToMetres(), h * world->PixelsToMetres());
}

void F_PhysicsFixtureSetEdgeShape(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x1 = Arg_GetFloat(args, 1), y1 = Arg_GetFloat(args, 2);
    const float x2 = Arg_GetFloat(args, 3), y2 = Arg_GetFloat(args, 4);
    CPhysicsFixture* fixture = NeedFixture(args);
    if (fixture == nullptr) return;
    if (CPhysicsWorld* world = NeedWorld()) {
        const float f = world->PixelsToMetres();
        fixture->SetEdgeShape(x1 * f, y1 * f, x2 * f, y2 * f);
    }
}

void F_PhysicsFixtureSetPolygonShape(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (CPhysicsFixture* fixture = NeedFixture(args)) fixture->SetPolygonShape();
}

void F_PhysicsFixtureSetChainShape(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const bool loop = Arg_GetBool(args, 1);
    if (CPhysicsFixture* fixture = NeedFixture(args)) fixture->SetChainShape(loop);
}

void F_PhysicsFixtureAddPoint(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = Arg_GetFloat(args, 1), y = Arg_GetFloat(args, 2);
    CPhysicsFixture* fixture = NeedFixture(args);
    if (fixture == nullptr) return;
    CPhysicsWorld* world = NeedWorld();
    if (world == nullptr) return;
    if (!fixture->AddPoint(x * world->PixelsToMetres(), y * world->PixelsToMetres())) Report(kBadPoint);
}

void BindFixture(RValue& result, CInstance* self, RValue* args, float offsetX, float offsetY) {
    Result_SetReal(result, -1);
    CPhysicsFixture* fixture = NeedFixture(args);
    if (fixture == nullptr) return;
    CPhysicsWorld* world = CurrentWorld();
    if (world == nullptr) {
        Report(kCannotBind);
        return;
    }
    int32_t key = -1;
    ForEachTarget(self, Arg_GetInt32(args, 1), kNotValid, [&](CInstance* instance) {
        key = world->BindFixture(fixture, instance, offsetX, offsetY);
        return true;
    });
    Result_SetReal(result, key);
}

void F_PhysicsFixtureBind(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    BindFixture(result, self, args, 0.0f, 0.0f);
}

void F_PhysicsFixtureBindExt(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    BindFixture(result, self, args, Arg_GetFloat(args, 2), Arg_GetFloat(args, 3));
}

void F_PhysicsFixtureDelete(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Fixture_Delete(Arg_GetInt32(args, 0));
}

// --- Bodies ------------------------------------------------------------------------------

// The four arguments of a force or an impulse, with the world whose factor scales the point.
struct Push {
    float x, y, fx, fy;
};

Push ReadPush(RValue* args) {
    return {Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), Arg_GetFloat(args, 3)};
}

template <typename Apply>
void ApplyInWorld(CInstance* self, RValue* args, Apply apply) {
    const Push p = ReadPush(args);
    CPhysicsWorld* world = NeedWorld();
    if (world == nullptr) return;
    CPhysicsObject* body = NeedBody(self);
    if (body == nullptr) return;
    const float f = world->PixelsToMetres();
    apply(body, p.x * f, p.y * f, p.fx, p.fy);
}

void F_PhysicsApplyForce(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    ApplyInWorld(self, args, [](CPhysicsObject* b, float x, float y, float fx, float fy) {
        b->ApplyForce(x, y, fx, fy);
    });
}

void F_PhysicsApplyImpulse(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    ApplyInWorld(self, args, [](CPhysicsObject* b, float x, float y, float fx, float fy) {
        b->ApplyImpulse(x, y, fx, fy);
    });
}

void F_PhysicsApplyLocalForce(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    ApplyInWorld(self, args, [](CPhysicsObject* b, float x, float y, float fx, float fy) {
        b->ApplyLocalForce(x, y, fx, fy);
    });
}

void F_PhysicsApplyLocalImpulse(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    ApplyInWorld(self, args, [](CPhysicsObject* b, float x, float y, float fx, float fy) {
        b->ApplyLocalImpulse(x, y, fx, fy);
    });
}

void F_PhysicsApplyAngularImpulse(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    const float impulse = Arg_GetFloat(args, 0);
    if (NeedWorld() == nullptr) return;
    if (CPhysicsObject* body = NeedBody(self)) body->ApplyAngularImpulse(impulse);
}

void F_PhysicsApplyTorque(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    const float torque = Arg_GetFloat(args, 0);
    if (CPhysicsObject* body = NeedBody(self)) body->ApplyTorque(torque);
}

void F_PhysicsMassProperties(RValue&, CInstance* self, CInstance*, int32_t, RValue* args) {
    const float mass = Arg_GetFloat(args, 0), x = Arg_GetFloat(args, 1), y = Arg_GetFloat(args, 2);
    const float inertia = Arg_GetFloat(args, 3);
    CPhysicsWorld* world = NeedWorld();
    if (world == nullptr) return;
    CPhysicsObject* body = NeedBody(self);
    if (body == nullptr) return;
    body->SetMassProperties(mass, x * world->PixelsToMetres(), y * world->PixelsToMetres(), inertia);
}

void F_PhysicsDrawDebug(RValue&, CInstance* self, CInstance*, int32_t, RValue*) {
    CPhysicsWorld* world = NeedWorld();
    if (world == nullptr) return;
    if (const CPhysicsObject* body = BodyOf(self))
        PhysicsDebug_DrawObject(body, 1.0f / world->PixelsToMetres());
}

void F_PhysicsTestOverlap(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, 0);
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1), angle = Arg_GetFloat(args, 2);
    const int32_t target = Arg_GetInt32(args, 3);
    CPhysicsWorld* world = NeedWorld();
    if (world == nullptr || self == nullptr) return;
    const float f = world->PixelsToMetres();
    bool overlap = false;
    ForEachTarget(self, target, "physics_test_overlap:   is not valid.", [&](CInstance* instance) {
        overlap = world->TestOverlap(self, instance, x * f, y * f, angle * kDegreesToRadians);
        return !overlap;
    });
    Result_SetReal(result, overlap ? 1 : 0);
}

void F_PhysicsRemoveFixture(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    const int32_t target = Arg_GetInt32(args, 0), key = Arg_GetInt32(args, 1);
    if (CurrentWorld() == nullptr) {
        Report(kCannotBind);
        return;
    }
    ForEachTarget(self, target, kNotValid, [&](CInstance* instance) {
        if (CPhysicsObject* body = BodyOf(instance)) Result_SetReal(result, body->RemoveFixture(key) ? 1 : 0);
        return true;
    });
}

template <typename Read>
void GetFixtureValue(RValue& result, CInstance* self, RValue* args, Read read) {
    Result_SetReal(result, -1);
    const int32_t key = Arg_GetInt32(args, 0);
    if (CPhysicsObject* body = NeedBody(self)) Result_SetReal(result, read(body, key));
}

template <typename Write>
void SetFixtureValue(RValue& result, CInstance* self, RValue* args, Write write) {
    Result_SetReal(result, 0);
    const int32_t key = Arg_GetInt32(args, 0);
    const float value = Arg_GetFloat(args, 1);
    if (CPhysicsObject* body = NeedBody(self)) write(body, key, value);
}

void F_PhysicsGetFriction(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    GetFixtureValue(result, self, args, [](CPhysicsObject* b, int32_t key) { return b->GetFriction(key); });
}

void F_PhysicsGetDensity(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    GetFixtureValue(result, self, args, [](CPhysicsObject* b, int32_t key) { return b->GetDensity(key); });
}

void F_PhysicsGetRestitution(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    GetFixtureValue(result, self, args,
                    [](CPhysicsObject* b, int32_t key) { return b->GetRestitution(key); });
}

void F_PhysicsSetFriction(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    SetFixtureValue(result, self, args,
                    [](CPhysicsObject* b, int32_t key, float v) { b->SetFriction(key, v); });
}

void F_PhysicsSetDensity(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    SetFixtureValue(result, self, args,
                    [](CPhysicsObject* b, int32_t key, float v) { b->SetDensity(key, v); });
}

void F_PhysicsSetRestitution(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    SetFixtureValue(result, self, args,
                    [](CPhysicsObject* b, int32_t key, float v) { b->SetRestitution(key, v); });
}

// --- Joints ------------------------------------------------------------------------------

// Arguments 0 and 1 of a joint creation: -1 the caller, -2 the other instance, an object's
// oldest instance, or an instance id.
CInstance* JointInstance(CInstance* self, CInstance* other, int32_t value) {
    if (value == -1) return self;
    if (value == -2) return other;
    if (value >= kFirstInstanceId) {
        CInstance* instance = Instance_Find(value);
        return Instance_Qualifies(instance) ? instance : nullptr;
    }
    CInstance* found = nullptr;
    if (value >= 0)
        Command_ForEachCandidate(value, [&](CInstance* instance) {
            if (!Instance_Qualifies(instance)) return true;
            found = instance;
            return false;
        });
    return found;
}

bool JointInstances(CInstance* self, CInstance* other, RValue* args, CInstance** a, CInstance** b) {
    for (int32_t n = 0; n < 2; ++n) {
        const int32_t value = Arg_GetInt32(args, n);
        CInstance* instance = JointInstance(self, other, value);
        if (instance == nullptr) {
            char message[256];
            std::snprintf(message, sizeof message, "Unable to find instance: %d", value);
            Report(message);
            return false;
        }
        (n == 0 ? *a : *b) = instance;
    }
    return true;
}

struct JointBodies {
    CPhysicsWorld* world;
    CPhysicsObject* a;
    CPhysicsObject* b;
};

// Both bodies in the current room's world, or false after the message.
bool JointBodiesOf(CInstance* a, CInstance* b, const char* noBody, JointBodies* out) {
    CPhysicsWorld* world = CurrentWorld();
    CPhysicsObject* bodyA = BodyOf(a);
    CPhysicsObject* bodyB = BodyOf(b);
    // A body left in another room's world cannot be joined to this one's.
    if (bodyA != nullptr && bodyA->World() != world) bodyA = nullptr;
    if (bodyB != nullptr && bodyB->World() != world) bodyB = nullptr;
    if (world == nullptr) {
        Report(kNoWorld);
        return false;
    }
    if (bodyA == nullptr || bodyB == nullptr) {
        Report(noBody);
        return false;
    }
    *out = {world, bodyA, bodyB};
    return true;
}

template <typename Create>
void CreateJoint(RValue& result, CInstance* self, CInstance* other, RValue* args, const char* noBody,
                 Create create) {
    Result_SetReal(result, -1);
    CInstance *a = nullptr, *b = nullptr;
    JointBodies bodies{};
    if (!JointInstances(self, other, args, &a, &b) || !JointBodiesOf(a, b, noBody, &bodies)) return;
    Result_SetReal(result, create(bodies));
}

float F(RValue* args, int32_t n) {
    return Arg_GetFloat(args, n);
}
bool B(RValue* args, int32_t n) {
    return Arg_GetBool(args, n);
}

constexpr const char* kPulleyNoBody =
    "physics_joint_pulley_create: An instance does not have an associated physics representation";

void F_PhysicsJointDistanceCreate(RValue& result, CInstance* self, CInstance* other, int32_t, RValue* args) {
    CreateJoint(
        result, self, other, args,
        "physics_joint_distance_create: An instance does not have an associated physics representation",
        [&](const JointBodies& j) {
            return Joint_CreateDistance(j.world, j.a, j.b, F(args, 2), F(args, 3), F(args, 4), F(args, 5),
                                        B(args, 6));
        });
}

void F_PhysicsJointRopeCreate(RValue& result, CInstance* self, CInstance* other, int32_t, RValue* args) {
    CreateJoint(
        result, self, other, args,
        "physics_rope_distance_create: An instance does not have an associated physics representation",
        [&](const JointBodies& j) {
            return Joint_CreateRope(j.world, j.a, j.b, F(args, 2), F(args, 3), F(args, 4), F(args, 5),
                                    F(args, 6), B(args, 7));
        });
}

void F_PhysicsJointRevoluteCreate(RValue& result, CInstance* self, CInstance* other, int32_t, RValue* args) {
    CreateJoint(
        result, self, other, args,
        "physics_joint_revolute_create: An instance does not have an associated physics representation",
        [&](const JointBodies& j) {
            return Joint_CreateRevolute(j.world, j.a, j.b, F(args, 2), F(args, 3), F(args, 4), F(args, 5),
                                        B(args, 6), F(args, 7), F(args, 8), B(args, 9), B(args, 10));
        });
}

void F_PhysicsJointPrismaticCreate(RValue& result, CInstance* self, CInstance* other, int32_t, RValue* args) {
    CreateJoint(
        result, self, other, args,
        "physics_joint_prismatic_create: An instance does not have an associated physics representation",
        [&](const JointBodies& j) {
            return Joint_CreatePrismatic(j.world, j.a, j.b, F(args, 2), F(args, 3), F(args, 4), F(args, 5),
                                         F(args, 6), F(args, 7), B(args, 8), F(args, 9), F(args, 10),
                                         B(args, 11), B(args, 12));
        });
}

void F_PhysicsJointPulleyCreate(RValue& result, CInstance* self, CInstance* other, int32_t, RValue* args) {
    CreateJoint(result, self, other, args, kPulleyNoBody, [&](const JointBodies& j) {
        return Joint_CreatePulley(j.world, j.a, j.b, F(args, 2), F(args, 3), F(args, 4), F(args, 5),
                                  F(args, 6), F(args, 7), F(args, 8), F(args, 9), F(args, 10), B(args, 11));
    });
}

void F_PhysicsJointWheelCreate(RValue& result, CInstance* self, CInstance* other, int32_t, RValue* args) {
    CreateJoint(result, self, other, args, kPulleyNoBody, [&](const JointBodies& j) {
        return Joint_CreateWheel(j.world, j.a, j.b, F(args, 2), F(args, 3), F(args, 4), F(args, 5),
                                 B(args, 6), F(args, 7), F(args, 8), F(args, 9), F(args, 10), B(args, 11));
    });
}

void F_PhysicsJointWeldCreate(RValue& result, CInstance* self, CInstance* other, int32_t, RValue* args) {
    CreateJoint(result, self, other, args, kPulleyNoBody, [&](const JointBodies& j) {
        return Joint_CreateWeld(j.world, j.a, j.b, F(args, 2), F(args, 3), F(args, 4), F(args, 5), F(args, 6),
                                B(args, 7));
    });
}

void F_PhysicsJointFrictionCreate(RValue& result, CInstance* self, CInstance* other, int32_t, RValue* args) {
    CreateJoint(result, self, other, args, kPulleyNoBody, [&](const JointBodies& j) {
        return Joint_CreateFriction(j.world, j.a, j.b, F(args, 2), F(args, 3), F(args, 4), F(args, 5),
                                    B(args, 6));
    });
}

void F_PhysicsJointGearCreate(RValue& result, CInstance* self, CInstance* other, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    CInstance *a = nullptr, *b = nullptr;
    if (!JointInstances(self, other, args, &a, &b)) return;
    CPhysicsJoint* joint1 = Joint_Find(Arg_GetInt32(args, 2));
    CPhysicsJoint* joint2 = Joint_Find(Arg_GetInt32(args, 3));
    if (joint1 == nullptr || joint2 == nullptr) {
        Report(kNoJoint);
        return;
    }
    JointBodies j{};
    if (!JointBodiesOf(
            a, b, "physics_joint_gear_create: An instance does not have an associated physics representation",
            &j))
        return;
    Result_SetReal(result, Joint_CreateGear(j.world, j.a, j.b, joint1, joint2, F(args, 4)));
}

CPhysicsJoint* NeedJoint(RValue* args) {
    CPhysicsJoint* joint = Joint_Find(Arg_GetInt32(args, 0));
    if (joint == nullptr) Report(kNoJoint);
    return joint;
}

void F_PhysicsJointEnableMotor(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const bool flag = Arg_GetBool(args, 1);
    if (CPhysicsJoint* joint = NeedJoint(args)) Joint_EnableMotor(joint, flag);
}

void F_PhysicsJointGetValue(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, 0);
    const int32_t code = Arg_GetInt32(args, 1);
    if (CPhysicsJoint* joint = NeedJoint(args)) Result_SetReal(result, Joint_GetValue(joint, code));
}

void F_PhysicsJointSetValue(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t code = Arg_GetInt32(args, 1);
    const float value = Arg_GetFloat(args, 2);
    if (CPhysicsJoint* joint = NeedJoint(args)) Joint_SetValue(joint, code, value);
}

void F_PhysicsJointDelete(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t id = Arg_GetInt32(args, 0);
    // The joint goes from its own world, which need not be the current room's.
    if (CPhysicsWorld* world = NeedWorld()) Joint_Delete(world, id);
}

const BuiltinRow kRows[] = {
    {"physics_world_create", F_PhysicsWorldCreate, 1, 1},
    {"physics_world_gravity", F_PhysicsWorldGravity, 2, 1},
    {"physics_world_update_speed", F_PhysicsWorldUpdateSpeed, 1, 1},
    {"physics_world_update_iterations", F_PhysicsWorldUpdateIterations, 1, 1},
    {"physics_world_draw_debug", F_PhysicsWorldDrawDebug, 1, 1},
    {"physics_pause_enable", F_PhysicsPauseEnable, 1, 1},
    {"physics_fixture_create", F_PhysicsFixtureCreate, 0, 1},
    {"physics_fixture_set_kinematic", F_PhysicsFixtureSetKinematic, 1, 1},
    {"physics_fixture_set_awake", F_PhysicsFixtureSetAwake, 2, 1},
    {"physics_fixture_set_density", F_PhysicsFixtureSetDensity, 2, 1},
    {"physics_fixture_set_restitution", F_PhysicsFixtureSetRestitution, 2, 1},
    {"physics_fixture_set_friction", F_PhysicsFixtureSetFriction, 2, 1},
    {"physics_fixture_set_collision_group", F_PhysicsFixtureSetCollisionGroup, 2, 1},
    {"physics_fixture_set_sensor", F_PhysicsFixtureSetSensor, 2, 1},
    {"physics_fixture_set_linear_damping", F_PhysicsFixtureSetLinearDamping, 2, 1},
    {"physics_fixture_set_angular_damping", F_PhysicsFixtureSetAngularDamping, 2, 1},
    {"physics_fixture_set_circle_shape", F_PhysicsFixtureSetCircleShape, 2, 1},
    {"physics_fixture_set_box_shape", F_PhysicsFixtureSetBoxShape, 3, 1},
    {"physics_fixture_set_edge_shape", F_PhysicsFixtureSetEdgeShape, 5, 1},
    {"physics_fixture_set_polygon_shape", F_PhysicsFixtureSetPolygonShape, 1, 1},
    {"physics_fixture_set_chain_shape", F_PhysicsFixtureSetChainShape, 2, 1},
    {"physics_fixture_add_point", F_PhysicsFixtureAddPoint, 3, 1},
    {"physics_fixture_bind", F_PhysicsFixtureBind, 2, 1},
    {"physics_fixture_bind_ext", F_PhysicsFixtureBindExt, 4, 1},
    {"physics_fixture_delete", F_PhysicsFixtureDelete, 1, 1},
    {"physics_apply_force", F_PhysicsApplyForce, 4, 1},
    {"physics_apply_impulse", F_PhysicsApplyImpulse, 4, 1},
    {"physics_apply_angular_impulse", F_PhysicsApplyAngularImpulse, 1, 1},
    {"physics_apply_local_force", F_PhysicsApplyLocalForce, 4, 1},
    {"physics_apply_local_impulse", F_PhysicsApplyLocalImpulse, 4, 1},
    {"physics_apply_torque", F_PhysicsApplyTorque, 1, 1},
    {"physics_mass_properties", F_PhysicsMassProperties, 4, 1},
    {"physics_draw_debug", F_PhysicsDrawDebug, 0, 1},
    {"physics_test_overlap", F_PhysicsTestOverlap, 4, 1},
    {"physics_remove_fixture", F_PhysicsRemoveFixture, 2, 1},
    {"physics_get_friction", F_PhysicsGetFriction, 1, 1},
    {"physics_get_density", F_PhysicsGetDensity, 1, 1},
    {"physics_get_restitution", F_PhysicsGetRestitution, 1, 1},
    {"physics_set_friction", F_PhysicsSetFriction, 2, 1},
    {"physics_set_density", F_PhysicsSetDensity, 2, 1},
    {"physics_set_restitution", F_PhysicsSetRestitution, 2, 1},
    {"physics_joint_distance_create", F_PhysicsJointDistanceCreate, 7, 1},
    {"physics_joint_rope_create", F_PhysicsJointRopeCreate, 8, 1},
    {"physics_joint_revolute_create", F_PhysicsJointRevoluteCreate, 11, 1},
    {"physics_joint_prismatic_create", F_PhysicsJointPrismaticCreate, 13, 1},
    {"physics_joint_pulley_create", F_PhysicsJointPulleyCreate, 12, 1},
    {"physics_joint_wheel_create", F_PhysicsJointWheelCreate, 12, 1},
    {"physics_joint_gear_create", F_PhysicsJointGearCreate, 5, 1},
    {"physics_joint_weld_create", F_PhysicsJointWeldCreate, 8, 1},
    {"physics_joint_friction_create", F_PhysicsJointFrictionCreate, 7, 0},
    {"physics_joint_enable_motor", F_PhysicsJointEnableMotor, 2, 1},
    {"physics_joint_get_value", F_PhysicsJointGetValue, 2, 1},
    {"physics_joint_set_value", F_PhysicsJointSetValue, 3, 1},
    {"physics_joint_delete", F_PhysicsJointDelete, 1, 1},
};
static_assert(sizeof kRows / sizeof kRows[0] == 54);

}  // namespace

void InitPhysicsFunctions() {
    Code_Function_AddRows(kRows);
}
