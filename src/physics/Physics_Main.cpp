#include "physics/Physics_Main.h"

#include <algorithm>
#include <vector>

#include "base/GEN8.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "physics/Physics_Fixture.h"
#include "physics/Physics_Object.h"
#include "physics/Physics_Variables.h"
#include "physics/Physics_World.h"
#include "world/Object_Class.h"
#include "world/Object_Main.h"
#include "world/Physics_Services.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

void ShapeFromObject(CPhysicsFixture* fixture, const ObjectPhysics& physics, const CInstance* instance,
                     float factor, float* offsetX, float* offsetY) {
    const float xs = instance->image_xscale, ys = instance->image_yscale;
    if (physics.shape == 0) {
        if (physics.points.size() < 2) return;
        fixture->SetCircleShape(physics.points[1].x * factor * xs);
        *offsetX = -physics.points[0].x * xs;
        *offsetY = -physics.points[0].y * xs;
        return;
    }
    fixture->SetPolygonShape();
    std::vector<ObjectPoint> points = physics.points;
    // A mirrored instance turns the winding round; reversing the points restores it.
    if (xs * ys < 0.0f) std::reverse(points.begin(), points.end());
    for (const ObjectPoint& p : points) fixture->AddPoint(p.x * factor * xs, p.y * factor * ys);
}

void DeleteBody(CInstance* instance) {
    delete instance->physicsBody;
    instance->physicsBody = nullptr;
}

void RebuildBody(CInstance* instance, CRoom* room, bool remake) {
    if (room == nullptr) room = Run_Room();
    DeleteBody(instance);
    if (remake && room != nullptr && room->physicsWorld != nullptr)
        Physics_CreateInstanceBody(instance, room->physicsWorld);
}

CPhysicsWorld* CreateWorld(float factor, int32_t updateSpeed, float gravityX, float gravityY) {
    auto* world = new CPhysicsWorld(factor, updateSpeed);
    world->SetGravity(gravityX, gravityY);
    return world;
}

}  // namespace

void Physics_CreateInstanceBody(CInstance* instance, CPhysicsWorld* world) {
    const CObjectHV* object = Object_Find(instance->object_index);
    SpriteInfo sprite{};
    if (object == nullptr || !object->physics.uses ||
        !InstanceWorld().spriteInfo(instance->sprite_index, &sprite))
        return;
    const ObjectPhysics& physics = object->physics;
    CPhysicsFixture* fixture = Fixture_Create();
    float offsetX = 0.0f, offsetY = 0.0f;
    ShapeFromObject(fixture, physics, instance, world->PixelsToMetres(), &offsetX, &offsetY);
    fixture->density = physics.density;
    fixture->restitution = physics.restitution;
    fixture->friction = physics.friction;
    fixture->groupIndex = static_cast<int16_t>(physics.group);
    fixture->sensor = physics.sensor;
    fixture->linearDamping = physics.linearDamping;
    fixture->angularDamping = physics.angularDamping;
    fixture->awake = physics.awake;
    fixture->kinematic = physics.kinematic;
    world->BindFixture(fixture, instance, offsetX, offsetY);
    Fixture_Delete(fixture->id);
}

double Physics_RoomFrameRate(const CRoom* room) {
    if (g_GameHeader.major >= 2 && InstanceWorld().frameRate != nullptr) return InstanceWorld().frameRate();
    return room->speed;
}

void Physics_Install() {
    g_PhysicsServices.createWorld = CreateWorld;
    g_PhysicsServices.copyWorld = CPhysicsWorld::CopyFrom;
    g_PhysicsServices.destroyWorld = [](CPhysicsWorld* world) { delete world; };
    g_PhysicsServices.step = [](CPhysicsWorld* world, int32_t frameRate, bool onPath) {
        world->Step(frameRate, onPath);
    };
    g_PhysicsServices.getVariable = Physics_GetVariable;
    g_PhysicsServices.setVariable = Physics_SetVariable;
    InstanceWorldHooks hooks = InstanceWorld();
    hooks.rebuildPhysicsBody = RebuildBody;
    hooks.deletePhysicsBody = DeleteBody;
    InstanceWorld_Install(&hooks);
    Physics_SetAssertHandler();
}
