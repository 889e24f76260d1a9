#include "physics/Physics_Variables.h"

#include <cmath>

#include "core/Instance.h"
#include "physics/Physics_Guard.h"
#include "physics/Physics_Main.h"
#include "physics/Physics_Object.h"
#include "physics/Physics_World.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

constexpr float kRadiansToDegrees = 180.0f / kPhysicsPi;

// What every variable needs: the instance's body and the current room's world.
struct Context {
    CPhysicsObject* object = nullptr;
    b2Body* body = nullptr;
    CPhysicsWorld* world = nullptr;
    CRoom* room = nullptr;
    float scale = 1.0f;
};

bool Take(const CInstance* instance, Context* c) {
    if (instance == nullptr || instance->physicsBody == nullptr || instance->physicsBody->Body() == nullptr)
        return false;
    c->object = instance->physicsBody;
    c->body = c->object->Body();
    c->room = Run_Room();
    c->world = c->room != nullptr ? c->room->physicsWorld : nullptr;
    if (c->world == nullptr || !(c->world->PixelsToMetres() > 0.0f)) return false;
    c->scale = c->world->PixelsToMetres();
    return true;
}

// The frame rate of the per-frame speeds; 0 when the room runs at none, which gives them no value.
float FrameRate(const Context& c) {
    const auto rate = static_cast<float>(Physics_RoomFrameRate(c.room));
    return rate > 0.0f && std::isfinite(rate) ? rate : 0.0f;
}

bool IsPerFrame(PhysicsVariable variable) {
    return variable == PHYSICS_VAR_SPEED_X || variable == PHYSICS_VAR_SPEED_Y ||
           variable == PHYSICS_VAR_SPEED;
}

bool Contact(const Context& c, const CInstance* instance, PhysicsVariable variable, int32_t index,
             double* out) {
    float x = 0.0f, y = 0.0f;
    const bool point = variable == PHYSICS_VAR_COLLISION_X || variable == PHYSICS_VAR_COLLISION_Y;
    const bool found = point ? c.world->GetCollisionPoint(instance, index, &x, &y)
                             : c.world->GetCollisionNormal(instance, index, &x, &y);
    if (!found) return false;
    *out = variable == PHYSICS_VAR_COLLISION_X || variable == PHYSICS_VAR_COL_NORMAL_X ? x : y;
    return true;
}

}  // namespace

bool Physics_GetVariable(const CInstance* instance, PhysicsVariable variable, int32_t index, double* out) {
    Context c;
    if (!Take(instance, &c) || (IsPerFrame(variable) && FrameRate(c) == 0.0f)) return false;
    const b2Body* body = c.body;
    const b2Vec2 velocity = body->GetLinearVelocity();
    float value = 0.0f;
    switch (variable) {
        case PHYSICS_VAR_ROTATION:
            value = body->GetAngle() * kRadiansToDegrees;
            break;
        case PHYSICS_VAR_POSITION_X:
            value = body->GetPosition().x / c.scale;
            break;
        case PHYSICS_VAR_POSITION_Y:
            value = body->GetPosition().y / c.scale;
            break;
        case PHYSICS_VAR_ANGULAR_VELOCITY:
            value = body->GetAngularVelocity() * kRadiansToDegrees;
            break;
        case PHYSICS_VAR_LINEAR_VELOCITY_X:
            value = velocity.x / c.scale;
            break;
        case PHYSICS_VAR_LINEAR_VELOCITY_Y:
            value = velocity.y / c.scale;
            break;
        case PHYSICS_VAR_SPEED_X:
            value = velocity.x / c.scale / FrameRate(c);
            break;
        case PHYSICS_VAR_SPEED_Y:
            value = velocity.y / c.scale / FrameRate(c);
            break;
        case PHYSICS_VAR_SPEED: {
            const float rate = FrameRate(c);
            const float sx = velocity.x / c.scale / rate, sy = velocity.y / c.scale / rate;
            value = std::sqrt(sx * sx + sy * sy);
            break;
        }
        case PHYSICS_VAR_ANGULAR_DAMPING:
            value = body->GetAngularDamping();
            break;
        case PHYSICS_VAR_LINEAR_DAMPING:
            value = body->GetLinearDamping();
            break;
        case PHYSICS_VAR_BULLET:
            value = body->IsBullet() ? 1.0f : 0.0f;
            break;
        case PHYSICS_VAR_FIXED_ROTATION:
            value = body->IsFixedRotation() ? 1.0f : 0.0f;
            break;
        case PHYSICS_VAR_ACTIVE:
            value = body->IsEnabled() ? 1.0f : 0.0f;
            break;
        case PHYSICS_VAR_MASS:
            value = body->GetMass();
            break;
        case PHYSICS_VAR_INERTIA:
            // The library's inertia is about the body origin: the centred inertia plus the
            // mass times the squared distance of the centre of mass.
            value = body->GetInertia();
            break;
        case PHYSICS_VAR_COM_X:
            value = body->GetWorldCenter().x / c.scale;
            break;
        case PHYSICS_VAR_COM_Y:
            value = body->GetWorldCenter().y / c.scale;
            break;
        case PHYSICS_VAR_DYNAMIC:
            value = body->GetType() == b2_dynamicBody ? 1.0f : 0.0f;
            break;
        case PHYSICS_VAR_KINEMATIC:
            value = body->GetType() == b2_kinematicBody ? 1.0f : 0.0f;
            break;
        case PHYSICS_VAR_SLEEPING:
            value = body->IsAwake() ? 0.0f : 1.0f;
            break;
        case PHYSICS_VAR_POSITION_XPREVIOUS:
            value = c.object->PreviousPosition().x / c.scale;
            break;
        case PHYSICS_VAR_POSITION_YPREVIOUS:
            value = c.object->PreviousPosition().y / c.scale;
            break;
        case PHYSICS_VAR_COLLISION_POINTS:
            value = static_cast<float>(c.world->GetCollisionPointCount(instance));
            break;
        case PHYSICS_VAR_COLLISION_X:
        case PHYSICS_VAR_COLLISION_Y:
        case PHYSICS_VAR_COL_NORMAL_X:
        case PHYSICS_VAR_COL_NORMAL_Y:
            return Contact(c, instance, variable, index, out);
        case PHYSICS_VAR_COUNT:
            return false;
    }
    *out = value;
    return true;
}

bool Physics_SetVariable(CInstance* instance, PhysicsVariable variable, double value) {
    Context c;
    if (!Take(instance, &c) || (IsPerFrame(variable) && FrameRate(c) == 0.0f)) return false;
    CPhysicsObject* object = c.object;
    b2Body* body = c.body;
    const b2Vec2 position = body->GetPosition();
    const b2Vec2 velocity = body->GetLinearVelocity();
    const float single = static_cast<float>(value);
    switch (variable) {
        case PHYSICS_VAR_ROTATION:
            object->SetRotation(single);
            return true;
        case PHYSICS_VAR_POSITION_X:
            object->SetPosition(static_cast<float>(value * c.scale), position.y);
            return true;
        case PHYSICS_VAR_POSITION_Y:
            object->SetPosition(position.x, static_cast<float>(value * c.scale));
            return true;
        case PHYSICS_VAR_ANGULAR_VELOCITY:
            object->SetAngularVelocity(single);
            return true;
        case PHYSICS_VAR_LINEAR_VELOCITY_X:
            object->SetLinearVelocity(static_cast<float>(value * c.scale), velocity.y);
            return true;
        case PHYSICS_VAR_LINEAR_VELOCITY_Y:
            object->SetLinearVelocity(velocity.x, static_cast<float>(value * c.scale));
            return true;
        case PHYSICS_VAR_SPEED_X:
            object->SetLinearVelocity(static_cast<float>(value * c.scale * FrameRate(c)), velocity.y);
            return true;
        case PHYSICS_VAR_SPEED_Y:
            object->SetLinearVelocity(velocity.x, static_cast<float>(value * c.scale * FrameRate(c)));
            return true;
        case PHYSICS_VAR_ANGULAR_DAMPING:
            body->SetAngularDamping(PhysicsGuard_NonNegative(single));
            return true;
        case PHYSICS_VAR_LINEAR_DAMPING:
            body->SetLinearDamping(PhysicsGuard_NonNegative(single));
            return true;
        case PHYSICS_VAR_BULLET:
            body->SetBullet(value > 0.5);
            return true;
        case PHYSICS_VAR_FIXED_ROTATION:
            object->SetFixedRotation(value > 0.5);
            return true;
        case PHYSICS_VAR_ACTIVE:
            body->SetEnabled(value > 0.5);
            return true;
        default:
            return false;  // read-only
    }
}
