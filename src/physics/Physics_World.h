// A room's physics world: a Box2D world stepped once a frame in sub-steps at its update speed,
// its bodies written back to their instances, its contacts turned into collision events, and
// the 32 collision categories that decide which objects' fixtures meet.
//
// Room units are pixels and degrees, the library's metres and radians: metres = pixels x the
// pixel-to-metre factor, and a body's angle is the negated image angle of its instance.
#pragma once

#include <box2d/box2d.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "physics/Physics_Contact.h"
#include "physics/Physics_Particle.h"

class CInstance;
class CPhysicsFixture;
class CPhysicsObject;

// Single-precision pi, as every conversion uses it.
constexpr float kPhysicsPi = 3.1415927410125732f;

struct CollisionCategorySlot {
    int32_t objectIndex = -1;  // -1: the slot is free
    uint32_t categoryBits = 0;
    uint32_t maskBits = 0;
};

constexpr int32_t kCollisionCategorySlots = 32;

class CPhysicsWorld {
public:
    CPhysicsWorld(float pixelsToMetres, int32_t updateSpeed);
    ~CPhysicsWorld();
    CPhysicsWorld(const CPhysicsWorld&) = delete;
    CPhysicsWorld& operator=(const CPhysicsWorld&) = delete;

    // A fresh world with the source's iterations, update speed, factor and gravity, and
    // nothing else of it.
    static CPhysicsWorld* CopyFrom(const CPhysicsWorld* source);

    void Step(int32_t frameRate, bool anyInstanceOnPath);
    void SetGravity(float x, float y);
    b2Vec2 Gravity() const { return m_world.GetGravity(); }

    // Binds a fixture definition to an instance, making its body on first use; the fixture's
    // key, or -1 when the definition has no shape.
    int32_t BindFixture(CPhysicsFixture* fixture, CInstance* instance, float offsetX, float offsetY);
    // Destroys the body of the object (its fixtures and contacts with it).
    void DestroyBody(CPhysicsObject* object);
    bool TestOverlap(CInstance* instance, CInstance* other, float x, float y, float angle);

    static b2Vec2 RotateVector(float angle, b2Vec2 v);

    int32_t GetCategory(int32_t objectIndex);
    int32_t FindParentCategoryObject(int32_t objectIndex, int32_t partnerCount);
    int32_t BuildCategoryMasks(int32_t objectIndex);
    void ApplyCategoryFilters();
    const CollisionCategorySlot& Slot(int32_t i) const { return m_slots[i]; }

    // Contacts (recorded during the sub-steps, dispatched after the write-back).
    void RecordContact(b2Contact* contact) { m_contacts.Add(contact); }
    void DispatchCollisions();
    void RemoveContactsOfFixture(const struct PhysicsFixtureRecord* fixture);
    int32_t GetCollisionPointCount(const CInstance* instance) const;
    bool GetCollisionPoint(const CInstance* instance, int32_t index, float* x, float* y) const;
    bool GetCollisionNormal(const CInstance* instance, int32_t index, float* x, float* y) const;
    const CPhysicsContactStack& Contacts() const { return m_contacts; }

    b2World& Library() { return m_world; }
    float PixelsToMetres() const { return m_pixelsToMetres; }
    void SetPixelsToMetres(float factor) { m_pixelsToMetres = factor; }
    int32_t UpdateSpeed() const { return m_updateSpeed; }
    void SetUpdateSpeed(int32_t speed) { m_updateSpeed = speed; }
    int32_t Iterations() const { return m_iterations; }
    void SetIterations(int32_t iterations) { m_iterations = iterations; }
    bool Paused() const { return m_paused; }
    void SetPaused(bool paused) { m_paused = paused; }

    // The world's liquid particles, stepped after each library step.
    CPhysicsParticleSystem& Particles() { return m_particles; }

private:
    void InitListeners();
    void SyncNonDynamicBodies();
    void StorePreviousPositions();
    void WriteBack();
    void DestroyInstanceBodies();
    const CPhysicsContactRecord* ContactOf(const CInstance* instance) const;

    CPhysicsContactStack m_contacts;
    const CPhysicsContactRecord* m_currentContact = nullptr;
    b2World m_world;
    std::unique_ptr<CRunnerContactListener> m_listener;
    std::unique_ptr<CRunnerContactFilter> m_filter;
    int32_t m_updateSpeed;
    int32_t m_iterations = 10;
    float m_pixelsToMetres;
    bool m_paused = false;
    CollisionCategorySlot m_slots[kCollisionCategorySlots];
    CPhysicsParticleSystem m_particles{&m_world};
};

// The instance whose body this is; null for a body that belongs to no instance.
CInstance* Physics_BodyInstance(const b2Body* body);

// Guards in front of the library report a failed check as its assertion would, and the
// runner carries on with the library's fallback. Nothing is reported until the hook is set.
void Physics_SetAssertHandler();
void Physics_AssertHandler(bool condition, const char* expression);
