// An instance's body: the library body, where the instance sits relative to it, its
// collision-category slot and the fixtures its bindings made, under small integer keys.
#pragma once

#include <box2d/box2d.h>

#include <cstdint>
#include <map>
#include <memory>

#include "physics/Physics_Contact.h"

class CPhysicsWorld;

// The library keeps a dynamic body's inertia about its centre of mass and asserts that it stays
// positive, which rounding can break for small shapes far from the body origin. Called before
// the library recomputes the mass, with the fixture about to leave and the shape about to join
// (either may be null): when the inertia would not hold, the body turns to fixed rotation
// after a report, which spares it the inertia altogether.
void Physics_KeepInertiaPositive(b2Body* body, const b2Fixture* leaving, const b2Shape* joining,
                                 float joiningDensity);

class CPhysicsObject {
public:
    CPhysicsObject(CPhysicsWorld* world, b2Body* body, int32_t categorySlot, float offsetX, float offsetY);
    ~CPhysicsObject();
    CPhysicsObject(const CPhysicsObject&) = delete;
    CPhysicsObject& operator=(const CPhysicsObject&) = delete;

    // Takes the record of a logical fixture made on this body; its key.
    int32_t AddFixture(std::unique_ptr<PhysicsFixtureRecord> fixture);
    bool RemoveFixture(int32_t key);
    // Destroys the body in its own world; the object keeps no fixture.
    void Destroy();

    void SetPosition(float x, float y);
    void SetRotation(float degrees);
    void SetLinearVelocity(float vx, float vy);
    void SetAngularVelocity(float degreesPerSecond);
    // Clearing it on a body whose inertia would not hold keeps it fixed, after a report.
    void SetFixedRotation(bool fixed);
    void ApplyForce(float px, float py, float fx, float fy);
    void ApplyImpulse(float px, float py, float ix, float iy);
    void ApplyLocalForce(float px, float py, float fx, float fy);
    void ApplyLocalImpulse(float px, float py, float ix, float iy);
    void ApplyTorque(float torque);
    void ApplyAngularImpulse(float impulse);
    void SetMassProperties(float mass, float centreX, float centreY, float inertia);

    float GetFriction(int32_t key) const;
    float GetDensity(int32_t key) const;
    float GetRestitution(int32_t key) const;
    void SetFriction(int32_t key, float value);
    void SetRestitution(int32_t key, float value);
    void SetDensity(int32_t key, float value);

    b2Body* Body() const { return m_body; }
    CPhysicsWorld* World() const { return m_world; }
    int32_t CategorySlot() const { return m_categorySlot; }
    float OffsetX() const { return m_offsetX; }
    float OffsetY() const { return m_offsetY; }
    b2Vec2 PreviousPosition() const { return m_previous; }
    void SetPreviousPosition(b2Vec2 p) { m_previous = p; }
    int32_t FixtureCount() const { return static_cast<int32_t>(m_fixtures.size()); }
    const PhysicsFixtureRecord* Fixture(int32_t key) const;

private:
    PhysicsFixtureRecord* Find(int32_t key) const;

    CPhysicsWorld* m_world;
    b2Body* m_body;
    float m_offsetX, m_offsetY;
    b2Vec2 m_previous;
    int32_t m_categorySlot;
    int32_t m_nextKey = 0;
    std::map<int32_t, std::unique_ptr<PhysicsFixtureRecord>> m_fixtures;
};
