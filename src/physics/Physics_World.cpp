#include "physics/Physics_World.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/Instance.h"
#include "core/RuntimeError.h"
#include "physics/Physics_Fixture.h"
#include "physics/Physics_Guard.h"
#include "physics/Physics_Joint.h"
#include "physics/Physics_Object.h"
#include "world/Collision_Main.h"
#include "world/Event_Main.h"
#include "world/Object_Class.h"
#include "world/Object_Main.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

bool g_assertHandlerInstalled = false;

// The smallest half extent a box keeps: a box without area has no mass for the library.
constexpr float kSmallestHalfExtent = 0.5f * b2_linearSlop;

// Cosine and sine in double precision, rounded to single.
b2Vec2 Rotate(double angle, b2Vec2 v) {
    const float c = static_cast<float>(std::cos(angle));
    const float s = static_cast<float>(std::sin(angle));
    return b2Vec2(v.x * c - v.y * s, v.x * s + v.y * c);
}

std::vector<int32_t> PartnersOf(int32_t objectIndex) {
    std::vector<int32_t> partners;
    const CollisionObjectPair* pairs = CollisionObjectPairs();
    const int32_t count = CollisionObjectPairs_Count();
    for (int32_t i = 0; i < count; ++i) {
        int32_t partner = -1;
        if (pairs[i].first == objectIndex)
            partner = pairs[i].second;
        else if (pairs[i].second == objectIndex)
            partner = pairs[i].first;
        if (partner != -1) partners.push_back(partner);
    }
    return partners;
}

// The chain's segments as two-sided edges, skipping those too short for the library.
std::vector<std::pair<b2Vec2, b2Vec2>> ChainSegments(const CPhysicsFixture& def) {
    std::vector<std::pair<b2Vec2, b2Vec2>> segments;
    const std::vector<PhysicsPoint>& points = def.Points();
    const size_t n = points.size();
    const size_t count = def.chainLoop && n >= 3 ? n : (n >= 2 ? n - 1 : 0);
    for (size_t i = 0; i < count; ++i) {
        const PhysicsPoint& a = points[i];
        const PhysicsPoint& b = points[(i + 1) % n];
        const b2Vec2 v1 = PhysicsGuard_Vector(a.x, a.y), v2 = PhysicsGuard_Vector(b.x, b.y);
        if (b2DistanceSquared(v1, v2) > b2_linearSlop * b2_linearSlop) segments.emplace_back(v1, v2);
    }
    return segments;
}

bool HasShapeData(const CPhysicsFixture& def) {
    if (def.shape == PHYSICS_SHAPE_NONE) return false;
    if (def.shape == PHYSICS_SHAPE_CHAIN) return !ChainSegments(def).empty();
    return true;
}

b2Fixture* MakePart(b2Body* body, b2FixtureDef fd, const b2Shape& shape) {
    fd.shape = &shape;
    if (fd.density > 0.0f) Physics_KeepInertiaPositive(body, nullptr, &shape, fd.density);
    return body->CreateFixture(&fd);
}

// Builds the library fixtures of a definition on the body, under one record.
std::unique_ptr<PhysicsFixtureRecord> MakeFixtures(b2Body* body, const CPhysicsFixture& def) {
    auto record = std::make_unique<PhysicsFixtureRecord>();
    record->categoryBits = def.categoryBits;
    record->maskBits = def.maskBits;
    record->groupIndex = def.groupIndex;
    b2FixtureDef fd;
    fd.friction = PhysicsGuard_NonNegative(def.friction);
    fd.restitution = PhysicsGuard_Length(def.restitution);
    fd.density = PhysicsGuard_NonNegative(def.density);
    fd.isSensor = def.sensor;
    fd.filter.groupIndex = def.groupIndex;
    fd.userData.pointer = reinterpret_cast<uintptr_t>(record.get());
    switch (def.shape) {
        case PHYSICS_SHAPE_CIRCLE: {
            b2CircleShape circle;
            circle.m_radius = std::fabs(PhysicsGuard_Length(def.radius));
            record->parts.push_back(MakePart(body, fd, circle));
            break;
        }
        case PHYSICS_SHAPE_BOX: {
            b2PolygonShape box;
            box.SetAsBox(std::fmax(std::fabs(PhysicsGuard_Length(def.halfWidth)), kSmallestHalfExtent),
                         std::fmax(std::fabs(PhysicsGuard_Length(def.halfHeight)), kSmallestHalfExtent));
            record->parts.push_back(MakePart(body, fd, box));
            break;
        }
        case PHYSICS_SHAPE_EDGE: {
            const std::vector<PhysicsPoint>& p = def.Points();
            b2EdgeShape edge;
            const b2Vec2 v1 = PhysicsGuard_Vector(p[0].x, p[0].y);
            b2Vec2 v2 = PhysicsGuard_Vector(p[1].x, p[1].y);
            // An edge without length leaves the library's collision nothing to divide by.
            if (!(b2DistanceSquared(v1, v2) > b2_linearSlop * b2_linearSlop)) {
                Physics_AssertHandler(false, "den > 0.0f");
                v2 = v1 + b2Vec2(std::max(b2_linearSlop, 1.0e-6f * std::fabs(v1.x)), 0.0f);
            }
            edge.SetTwoSided(v1, v2);
            record->parts.push_back(MakePart(body, fd, edge));
            break;
        }
        case PHYSICS_SHAPE_POLYGON: {
            b2PolygonShape polygon;
            const std::vector<PhysicsPoint>& p = def.Points();
            b2Vec2 vertices[kPolygonPoints];
            const int32_t count = static_cast<int32_t>(std::min<size_t>(p.size(), kPolygonPoints));
            for (int32_t i = 0; i < count; ++i) vertices[i] = b2Vec2(p[i].x, p[i].y);
            if (PhysicsGuard_PolygonIsBuildable(vertices, count)) {
                polygon.Set(vertices, count);
            } else {
                // The library's own answer to a polygon without a hull.
                Physics_AssertHandler(false, "false");
                polygon.SetAsBox(1.0f, 1.0f);
            }
            record->parts.push_back(MakePart(body, fd, polygon));
            break;
        }
        case PHYSICS_SHAPE_CHAIN:
            for (const auto& [v1, v2] : ChainSegments(def)) {
                b2EdgeShape edge;
                edge.SetTwoSided(v1, v2);
                record->parts.push_back(MakePart(body, fd, edge));
            }
            break;
        case PHYSICS_SHAPE_NONE:
            break;
    }
    return record;
}

void ShowNoShape(const CInstance* instance) {
    const char* name = Object_GetName(instance->object_index);
    char message[1024];
    std::snprintf(message, sizeof message, "No fixture shape data present for %s\n",
                  name != nullptr ? name : "");
    Runtime_ShowError(message, true);
}

}  // namespace

CInstance* Physics_BodyInstance(const b2Body* body) {
    return body == nullptr ? nullptr
                           : reinterpret_cast<CInstance*>(const_cast<b2Body*>(body)->GetUserData().pointer);
}

void Physics_SetAssertHandler() {
    g_assertHandlerInstalled = true;
}

void Physics_AssertHandler(bool condition, const char* expression) {
    if (!g_assertHandlerInstalled || condition) return;
    char message[1024];
    std::snprintf(message, sizeof message, "%s %s", expression, "");
    Runtime_ReportError(message, false);
}

CPhysicsWorld::CPhysicsWorld(float pixelsToMetres, int32_t updateSpeed)
    : m_world(b2Vec2(0.0f, 10.0f)), m_updateSpeed(updateSpeed), m_pixelsToMetres(pixelsToMetres) {
    InitListeners();
}

CPhysicsWorld* CPhysicsWorld::CopyFrom(const CPhysicsWorld* source) {
    auto* world = new CPhysicsWorld(source->m_pixelsToMetres, source->m_updateSpeed);
    world->m_iterations = source->m_iterations;
    world->m_world.SetGravity(source->m_world.GetGravity());
    return world;
}

void CPhysicsWorld::InitListeners() {
    m_paused = false;
    m_currentContact = nullptr;
    m_listener = std::make_unique<CRunnerContactListener>(this);
    m_filter = std::make_unique<CRunnerContactFilter>();
    m_world.SetContactListener(m_listener.get());
    m_world.SetContactFilter(m_filter.get());
    for (CollisionCategorySlot& slot : m_slots) slot = CollisionCategorySlot();
}

CPhysicsWorld::~CPhysicsWorld() {
    m_world.SetContactListener(nullptr);
    m_world.SetContactFilter(nullptr);
    DestroyInstanceBodies();
    Joint_DeleteAllOfWorld(this);
}

void CPhysicsWorld::DestroyInstanceBodies() {
    for (b2Body* body = m_world.GetBodyList(); body != nullptr;) {
        b2Body* next = body->GetNext();
        CInstance* instance = Physics_BodyInstance(body);
        if (instance != nullptr && instance->physicsBody != nullptr &&
            instance->physicsBody->Body() == body) {
            delete instance->physicsBody;
            instance->physicsBody = nullptr;
        }
        body = next;
    }
}

void CPhysicsWorld::DestroyBody(CPhysicsObject* object) {
    if (object->Body() != nullptr) m_world.DestroyBody(object->Body());
}

b2Vec2 CPhysicsWorld::RotateVector(float angle, b2Vec2 v) {
    if (v.x == 0.0f && v.y == 0.0f) return v;
    return Rotate(angle, v);
}

void CPhysicsWorld::SetGravity(float x, float y) {
    m_world.SetGravity(PhysicsGuard_Vector(x, y));
    if (x == 0.0f && y == 0.0f) return;
    for (b2Body* body = m_world.GetBodyList(); body != nullptr; body = body->GetNext())
        if (body->GetType() == b2_dynamicBody && !body->IsAwake()) body->SetAwake(true);
}

// --- The frame ---------------------------------------------------------------------------

void CPhysicsWorld::Step(int32_t frameRate, bool anyInstanceOnPath) {
    if (frameRate <= 0) return;
    if (anyInstanceOnPath) SyncNonDynamicBodies();
    if (m_paused) return;
    StorePreviousPositions();
    if (m_updateSpeed > 0) {
        // A frame stays bounded whatever speed and iterations the game sets; beyond 2^24 sub-steps
        // the single-precision count would not even go down.
        constexpr int32_t kMostSubSteps = 1000, kMostIterations = 1000;
        const int32_t iterations = std::min(m_iterations, kMostIterations);
        const float inverse = 1.0f / static_cast<float>(m_updateSpeed);
        int32_t steps = 0;
        for (float e = static_cast<float>(m_updateSpeed) / static_cast<float>(frameRate);
             e > 0.0f && steps < kMostSubSteps; e -= 1.0f, ++steps) {
            const float dt = e > 1.0f ? inverse : e * inverse;
            m_world.Step(dt, iterations, iterations);
            m_particles.Step(dt);
        }
    }
    // A force applied between frames acts in the first sub-step only.
    m_world.ClearForces();
    WriteBack();
    DispatchCollisions();
}

void CPhysicsWorld::SyncNonDynamicBodies() {
    CRoom* room = Run_Room();
    if (room == nullptr) return;
    for (CInstance* instance = room->active.head; instance != nullptr;) {
        CInstance* next = instance->depthNext;
        if (instance->path_index >= 0) {
            if (instance->AdvancePath())
                PerformEvent_Instance(instance, instance, EVENT_OTHER, OTHER_END_OF_PATH);
            CPhysicsObject* object = instance->physicsBody;
            if (object != nullptr && object->World() == this && object->Body() != nullptr &&
                object->Body()->GetType() != b2_dynamicBody)
                object->SetPosition(instance->x * m_pixelsToMetres, instance->y * m_pixelsToMetres);
        }
        instance = next;
    }
}

void CPhysicsWorld::StorePreviousPositions() {
    for (b2Body* body = m_world.GetBodyList(); body != nullptr; body = body->GetNext()) {
        CInstance* instance = Physics_BodyInstance(body);
        if (instance != nullptr && instance->physicsBody != nullptr)
            instance->physicsBody->SetPreviousPosition(body->GetPosition());
    }
}

void CPhysicsWorld::WriteBack() {
    const float toPixels = 1.0f / m_pixelsToMetres;
    for (b2Body* body = m_world.GetBodyList(); body != nullptr; body = body->GetNext()) {
        CInstance* instance = Physics_BodyInstance(body);
        if (instance == nullptr || instance->physicsBody == nullptr) continue;
        const float angle = body->GetAngle();
        b2Vec2 offset(instance->physicsBody->OffsetX(), instance->physicsBody->OffsetY());
        if (offset.x != 0.0f || offset.y != 0.0f) offset = Rotate(angle, offset);
        const b2Vec2 position = body->GetPosition();
        instance->x = position.x * toPixels + offset.x;
        instance->y = position.y * toPixels + offset.y;
        instance->SetImageAngle(-angle * 180.0f / kPhysicsPi);
        instance->boxDirty = 1;
        Collision_MarkDirty(instance);
    }
}

// --- Collision categories ----------------------------------------------------------------

int32_t CPhysicsWorld::GetCategory(int32_t objectIndex) {
    for (int32_t i = 0; i < kCollisionCategorySlots; ++i)
        if (m_slots[i].objectIndex == objectIndex) return i;
    for (int32_t i = 0; i < kCollisionCategorySlots; ++i) {
        if (m_slots[i].objectIndex != -1) continue;
        m_slots[i] = {objectIndex, 1u << i, 0u};
        return i;
    }
    const char* name = Object_GetName(objectIndex);
    char message[1024];
    std::snprintf(message, sizeof message,
                  "Unable to assign a collision category for object %s.\nConsider using parenting to reduce "
                  "collision overheads where possible.",
                  name != nullptr ? name : "");
    Runtime_ReportError(message, false);
    return -1;
}

int32_t CPhysicsWorld::FindParentCategoryObject(int32_t objectIndex, int32_t partnerCount) {
    int32_t current = objectIndex;
    for (int32_t guard = 0; guard < 10000; ++guard) {  // a parent loop must not hang the frame
        CObjectHV* object = Object_Find(current);
        if (object == nullptr || object->parentIndex < 0 || Object_Find(object->parentIndex) == nullptr)
            break;
        if (static_cast<int32_t>(PartnersOf(object->parentIndex).size()) != partnerCount) break;
        current = object->parentIndex;
    }
    return current;
}

int32_t CPhysicsWorld::BuildCategoryMasks(int32_t objectIndex) {
    const std::vector<int32_t> partners = PartnersOf(objectIndex);
    if (partners.empty()) return -1;
    const int32_t s =
        GetCategory(FindParentCategoryObject(objectIndex, static_cast<int32_t>(partners.size())));
    if (s == -1) return -1;
    for (int32_t partner : partners) {
        for (CollisionCategorySlot& slot : m_slots) {
            if (slot.objectIndex != partner) continue;
            m_slots[s].maskBits |= slot.categoryBits;
            slot.maskBits |= m_slots[s].categoryBits;
        }
    }
    return s;
}

void CPhysicsWorld::ApplyCategoryFilters() {
    for (b2Body* body = m_world.GetBodyList(); body != nullptr; body = body->GetNext()) {
        CInstance* instance = Physics_BodyInstance(body);
        if (instance == nullptr || instance->physicsBody == nullptr) continue;
        const int32_t s = instance->physicsBody->CategorySlot();
        if (s < 0) continue;
        for (b2Fixture* fixture = body->GetFixtureList(); fixture != nullptr; fixture = fixture->GetNext()) {
            if (PhysicsFixtureRecord* record = Physics_FixtureRecord(fixture)) {
                record->categoryBits = m_slots[s].categoryBits;
                record->maskBits = m_slots[s].maskBits;
            }
            fixture->SetFilterData(fixture->GetFilterData());  // makes the library ask the filter again
        }
    }
}

// --- Fixtures and bodies -----------------------------------------------------------------

int32_t CPhysicsWorld::BindFixture(CPhysicsFixture* fixture, CInstance* instance, float offsetX,
                                   float offsetY) {
    if (!fixture->FinishShape(instance)) return -1;
    if (!HasShapeData(*fixture)) {
        ShowNoShape(instance);
        return -1;
    }
    const int32_t s = BuildCategoryMasks(instance->object_index);
    fixture->categoryBits = s >= 0 ? m_slots[s].categoryBits : 0u;
    fixture->maskBits = s >= 0 ? m_slots[s].maskBits : 0u;

    if (CPhysicsObject* object = instance->physicsBody; object != nullptr && object->Body() != nullptr)
        return object->AddFixture(MakeFixtures(object->Body(), *fixture));

    b2BodyDef def;
    def.type = fixture->density > 0.0f ? b2_dynamicBody
               : fixture->kinematic    ? b2_kinematicBody
                                       : b2_staticBody;
    def.angle = PhysicsGuard_Length(-instance->image_angle * kPhysicsPi / 180.0f);
    const b2Vec2 r = RotateVector(def.angle, b2Vec2(offsetX, offsetY));
    def.position =
        PhysicsGuard_Vector((instance->x - r.x) * m_pixelsToMetres, (instance->y - r.y) * m_pixelsToMetres);
    def.linearDamping = PhysicsGuard_NonNegative(fixture->linearDamping);
    def.angularDamping = PhysicsGuard_NonNegative(fixture->angularDamping);
    def.awake = fixture->awake;
    def.allowSleep = true;
    def.userData.pointer = reinterpret_cast<uintptr_t>(instance);
    b2Body* body = m_world.CreateBody(&def);
    std::unique_ptr<PhysicsFixtureRecord> record = MakeFixtures(body, *fixture);
    delete instance->physicsBody;
    instance->physicsBody = new CPhysicsObject(this, body, s, offsetX, offsetY);
    const int32_t key = instance->physicsBody->AddFixture(std::move(record));
    ApplyCategoryFilters();
    return key;
}

bool CPhysicsWorld::TestOverlap(CInstance* instance, CInstance* other, float x, float y, float angle) {
    if (instance->physicsBody == nullptr || other->physicsBody == nullptr) return false;
    b2Body* a = instance->physicsBody->Body();
    b2Body* b = other->physicsBody->Body();
    if (a == nullptr || b == nullptr) return false;
    const b2Transform placed(PhysicsGuard_Vector(x, y), b2Rot(PhysicsGuard_Length(angle)));
    for (b2Fixture* fa = a->GetFixtureList(); fa != nullptr; fa = fa->GetNext())
        for (b2Fixture* fb = b->GetFixtureList(); fb != nullptr; fb = fb->GetNext())
            if (b2TestOverlap(fa->GetShape(), 0, fb->GetShape(), 0, placed, b->GetTransform())) return true;
    return false;
}
