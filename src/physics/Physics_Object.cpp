#include "physics/Physics_Object.h"

#include <cmath>

#include "physics/Physics_Guard.h"
#include "physics/Physics_Joint.h"
#include "physics/Physics_World.h"

namespace {

// The sums of the library's mass update, in its order: the newest fixture first.
bool InertiaHolds(const b2Body* body, const b2Fixture* leaving, const b2Shape* joining,
                  float joiningDensity) {
    float mass = 0.0f, inertia = 0.0f;
    b2Vec2 centre(0.0f, 0.0f);
    const auto add = [&](const b2Shape* shape, float density) {
        if (density == 0.0f) return;
        b2MassData data;
        shape->ComputeMass(&data, density);
        mass += data.mass;
        centre += data.mass * data.center;
        inertia += data.I;
    };
    if (joining != nullptr) add(joining, joiningDensity);
    for (const b2Fixture* f = body->GetFixtureList(); f != nullptr; f = f->GetNext())
        if (f != leaving) add(f->GetShape(), f->GetDensity());
    if (mass > 0.0f) centre *= 1.0f / mass;
    if (!(inertia > 0.0f)) return true;
    const float centred = inertia - mass * b2Dot(centre, centre);
    // A margin for the library's own rounding of the same sums.
    return centred > 1.0e-6f * inertia;
}

}  // namespace

void Physics_KeepInertiaPositive(b2Body* body, const b2Fixture* leaving, const b2Shape* joining,
                                 float joiningDensity) {
    if (body->GetType() != b2_dynamicBody || body->IsFixedRotation()) return;
    if (InertiaHolds(body, leaving, joining, joiningDensity)) return;
    Physics_AssertHandler(false, "m_I > 0.0f");
    body->SetFixedRotation(true);
}

CPhysicsObject::CPhysicsObject(CPhysicsWorld* world, b2Body* body, int32_t categorySlot, float offsetX,
                               float offsetY)
    : m_world(world),
      m_body(body),
      m_offsetX(offsetX),
      m_offsetY(offsetY),
      m_previous(body->GetPosition()),
      m_categorySlot(categorySlot) {}

CPhysicsObject::~CPhysicsObject() {
    Destroy();
}

int32_t CPhysicsObject::AddFixture(std::unique_ptr<PhysicsFixtureRecord> fixture) {
    const int32_t key = m_nextKey++;
    fixture->owner = this;
    fixture->key = key;
    m_fixtures[key] = std::move(fixture);
    return key;
}

PhysicsFixtureRecord* CPhysicsObject::Find(int32_t key) const {
    auto it = m_fixtures.find(key);
    return it == m_fixtures.end() ? nullptr : it->second.get();
}

const PhysicsFixtureRecord* CPhysicsObject::Fixture(int32_t key) const {
    return Find(key);
}

bool CPhysicsObject::RemoveFixture(int32_t key) {
    PhysicsFixtureRecord* fixture = Find(key);
    if (fixture == nullptr || m_body == nullptr) return false;
    // Contacts still waiting for the dispatch must not name a fixture that is gone; they live
    // in this body's own world, whichever room is current.
    m_world->RemoveContactsOfFixture(fixture);
    for (b2Fixture* part : fixture->parts) {
        Physics_KeepInertiaPositive(m_body, part, nullptr, 0.0f);
        m_body->DestroyFixture(part);
    }
    m_fixtures.erase(key);
    return true;
}

void CPhysicsObject::Destroy() {
    if (m_body != nullptr) {
        // The library would take the joints with the body, but not their ids.
        Joint_DeleteAllOfBody(m_body);
        for (auto& entry : m_fixtures) m_world->RemoveContactsOfFixture(entry.second.get());
        m_world->DestroyBody(this);
    }
    m_body = nullptr;
    m_fixtures.clear();
}

void CPhysicsObject::SetPosition(float x, float y) {
    if (m_body == nullptr) return;
    m_body->SetTransform(b2Vec2(PhysicsGuard_Length(x), PhysicsGuard_Length(y)), m_body->GetAngle());
    m_body->SetAwake(true);
}

void CPhysicsObject::SetRotation(float degrees) {
    if (m_body == nullptr) return;
    const float angle = PhysicsGuard_Length(degrees) * kPhysicsPi / 180.0f;
    m_body->SetTransform(m_body->GetPosition(), angle);
    m_body->SetAwake(true);
}

void CPhysicsObject::SetLinearVelocity(float vx, float vy) {
    if (m_body == nullptr) return;
    vx = PhysicsGuard_Length(vx);
    vy = PhysicsGuard_Length(vy);
    const bool moving = vx * vx + vy * vy > 0.0f;
    if (moving && m_body->GetType() == b2_staticBody) m_body->SetType(b2_kinematicBody);
    if (m_body->GetType() != b2_staticBody) {
        if (moving) m_body->SetAwake(true);
        m_body->SetLinearVelocity(b2Vec2(vx, vy));
    }
    m_body->SetAwake(true);
}

void CPhysicsObject::SetAngularVelocity(float degreesPerSecond) {
    if (m_body == nullptr) return;
    if (m_body->GetType() != b2_staticBody) {
        const float omega = PhysicsGuard_Length(degreesPerSecond) * kPhysicsPi / 180.0f;
        if (omega * omega > 0.0f) m_body->SetAwake(true);
        m_body->SetAngularVelocity(omega);
    }
    m_body->SetAwake(true);
}

void CPhysicsObject::SetFixedRotation(bool fixed) {
    if (m_body == nullptr || m_body->IsFixedRotation() == fixed) return;
    if (!fixed && m_body->GetType() == b2_dynamicBody && !InertiaHolds(m_body, nullptr, nullptr, 0.0f)) {
        Physics_AssertHandler(false, "m_I > 0.0f");
        return;
    }
    m_body->SetFixedRotation(fixed);
}

void CPhysicsObject::ApplyForce(float px, float py, float fx, float fy) {
    if (m_body == nullptr) return;
    m_body->ApplyForce(PhysicsGuard_Vector(fx, fy), PhysicsGuard_Vector(px, py), true);
}

void CPhysicsObject::ApplyImpulse(float px, float py, float ix, float iy) {
    if (m_body == nullptr) return;
    m_body->ApplyLinearImpulse(PhysicsGuard_Vector(ix, iy), PhysicsGuard_Vector(px, py), true);
}

void CPhysicsObject::ApplyLocalForce(float px, float py, float fx, float fy) {
    if (m_body == nullptr) return;
    const b2Vec2 point = m_body->GetWorldPoint(PhysicsGuard_Vector(px, py));
    const b2Vec2 force = m_body->GetWorldVector(PhysicsGuard_Vector(fx, fy));
    m_body->ApplyForce(force, point, true);
}

void CPhysicsObject::ApplyLocalImpulse(float px, float py, float ix, float iy) {
    if (m_body == nullptr) return;
    const b2Vec2 point = m_body->GetWorldPoint(PhysicsGuard_Vector(px, py));
    const b2Vec2 impulse = m_body->GetWorldVector(PhysicsGuard_Vector(ix, iy));
    m_body->ApplyLinearImpulse(impulse, point, true);
}

void CPhysicsObject::ApplyTorque(float torque) {
    if (m_body != nullptr) m_body->ApplyTorque(PhysicsGuard_Length(torque), true);
}

void CPhysicsObject::ApplyAngularImpulse(float impulse) {
    if (m_body != nullptr) m_body->ApplyAngularImpulse(PhysicsGuard_Length(impulse), true);
}

void CPhysicsObject::SetMassProperties(float mass, float centreX, float centreY, float inertia) {
    if (m_body == nullptr || m_body->GetType() != b2_dynamicBody) return;
    b2MassData data;
    data.mass = PhysicsGuard_Length(mass);
    data.center = PhysicsGuard_Vector(centreX, centreY);
    data.I = PhysicsGuard_Length(inertia);
    // The library takes the inertia about the body origin and keeps what is left about the
    // centre of mass, which must stay positive.
    const float massUsed = data.mass > 0.0f ? data.mass : 1.0f;
    if (data.I > 0.0f && !m_body->IsFixedRotation() &&
        !(data.I - massUsed * b2Dot(data.center, data.center) > 0.0f)) {
        Physics_AssertHandler(false, "m_I > 0.0f");
        data.I = 0.0f;
    }
    m_body->SetMassData(&data);
}

float CPhysicsObject::GetFriction(int32_t key) const {
    const PhysicsFixtureRecord* f = Find(key);
    return f != nullptr && !f->parts.empty() ? f->parts[0]->GetFriction() : 0.0f;
}

float CPhysicsObject::GetDensity(int32_t key) const {
    const PhysicsFixtureRecord* f = Find(key);
    return f != nullptr && !f->parts.empty() ? f->parts[0]->GetDensity() : 0.0f;
}

float CPhysicsObject::GetRestitution(int32_t key) const {
    const PhysicsFixtureRecord* f = Find(key);
    return f != nullptr && !f->parts.empty() ? f->parts[0]->GetRestitution() : 0.0f;
}

void CPhysicsObject::SetFriction(int32_t key, float value) {
    if (PhysicsFixtureRecord* f = Find(key))
        for (b2Fixture* part : f->parts) part->SetFriction(PhysicsGuard_NonNegative(value));
}

void CPhysicsObject::SetRestitution(int32_t key, float value) {
    if (PhysicsFixtureRecord* f = Find(key))
        for (b2Fixture* part : f->parts) part->SetRestitution(PhysicsGuard_Length(value));
}

void CPhysicsObject::SetDensity(int32_t key, float value) {
    PhysicsFixtureRecord* f = Find(key);
    if (f == nullptr) return;
    for (b2Fixture* part : f->parts) part->SetDensity(PhysicsGuard_NonNegative(value));
    Physics_KeepInertiaPositive(m_body, nullptr, nullptr, 0.0f);
    m_body->ResetMassData();
}
