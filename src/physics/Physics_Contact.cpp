#include "physics/Physics_Contact.h"

#include "core/Console.h"
#include "core/Instance.h"
#include "physics/Physics_Object.h"
#include "physics/Physics_World.h"
#include "world/Event_Main.h"
#include "world/Object_Class.h"

PhysicsFixtureRecord* Physics_FixtureRecord(const b2Fixture* fixture) {
    return reinterpret_cast<PhysicsFixtureRecord*>(const_cast<b2Fixture*>(fixture)->GetUserData().pointer);
}

// --- Records -----------------------------------------------------------------------------

void CPhysicsContactRecord::AddManifold(const b2Manifold& manifold, const PhysicsWorldManifold& world) {
    if (manifoldCount >= kContactManifolds) {
        DebugConsole.Output("WARNING: Too many manifolds in collision\n");
        return;
    }
    manifolds[manifoldCount] = manifold;
    worldManifolds[manifoldCount] = world;
    ++manifoldCount;
}

int32_t CPhysicsContactRecord::PointCount() const {
    int32_t points = 0;
    for (int32_t i = 0; i < manifoldCount; ++i) points += manifolds[i].pointCount;
    return points;
}

void CPhysicsContactStack::Add(b2Contact* contact) {
    b2Fixture* fa = contact->GetFixtureA();
    b2Fixture* fb = contact->GetFixtureB();
    const b2Manifold& manifold = *contact->GetManifold();
    b2WorldManifold computed;
    computed.normal.SetZero();
    computed.Initialize(&manifold, fa->GetBody()->GetTransform(), fa->GetShape()->m_radius,
                        fb->GetBody()->GetTransform(), fb->GetShape()->m_radius);
    PhysicsWorldManifold world;
    world.normal = computed.normal;
    for (int32_t i = 0; i < b2_maxManifoldPoints; ++i)
        world.points[i] = i < manifold.pointCount ? computed.points[i] : b2Vec2(0.0f, 0.0f);

    PhysicsFixtureRecord* a = Physics_FixtureRecord(fa);
    PhysicsFixtureRecord* b = Physics_FixtureRecord(fb);
    if (auto it = m_index.find({a, b}); it != m_index.end()) {
        m_records[it->second].AddManifold(manifold, world);
        return;
    }
    // Grown geometrically: a frame with thousands of contacts must not copy them all again
    // every ten.
    if (m_records.size() == m_records.capacity()) m_records.reserve(m_records.size() * 2 + 10);
    CPhysicsContactRecord& record = m_records.emplace_back();
    m_index[{a, b}] = m_index[{b, a}] = m_records.size() - 1;
    record.fixtureA = a;
    record.fixtureB = b;
    record.partA = fa;
    record.partB = fb;
    record.AddManifold(manifold, world);
}

bool CPhysicsContactStack::Pop(CPhysicsContactRecord* out) {
    if (m_records.empty()) return false;
    *out = m_records.back();
    m_index.erase({out->fixtureA, out->fixtureB});
    m_index.erase({out->fixtureB, out->fixtureA});
    m_records.pop_back();
    return true;
}

void CPhysicsContactStack::Reindex() {
    m_index.clear();
    for (size_t i = 0; i < m_records.size(); ++i) {
        const CPhysicsContactRecord& r = m_records[i];
        if (r.fixtureA != nullptr && r.fixtureB != nullptr)
            m_index[{r.fixtureA, r.fixtureB}] = m_index[{r.fixtureB, r.fixtureA}] = i;
    }
}

void CPhysicsContactStack::RemoveFixture(const PhysicsFixtureRecord* fixture) {
    for (CPhysicsContactRecord& record : m_records) {
        if (record.fixtureA == fixture) record.fixtureA = nullptr;
        if (record.fixtureB == fixture) record.fixtureB = nullptr;
    }
    Reindex();
}

// --- Listener and filter -----------------------------------------------------------------

void CRunnerContactListener::BeginContact(b2Contact* contact) {
    // Sensors are never solved: their contacts are kept when the overlap begins.
    if (contact->GetFixtureA()->IsSensor() || contact->GetFixtureB()->IsSensor())
        m_world->RecordContact(contact);
}

void CRunnerContactListener::PostSolve(b2Contact* contact, const b2ContactImpulse*) {
    m_world->RecordContact(contact);
}

bool CRunnerContactFilter::ShouldCollide(b2Fixture* fixtureA, b2Fixture* fixtureB) {
    const PhysicsFixtureRecord* a = Physics_FixtureRecord(fixtureA);
    const PhysicsFixtureRecord* b = Physics_FixtureRecord(fixtureB);
    if (a == nullptr || b == nullptr) return b2ContactFilter::ShouldCollide(fixtureA, fixtureB);
    if (a->groupIndex == b->groupIndex && a->groupIndex != 0) return a->groupIndex > 0;
    return (a->maskBits & b->categoryBits) != 0 && (a->categoryBits & b->maskBits) != 0;
}

// --- Dispatch and queries ----------------------------------------------------------------

void CPhysicsWorld::RemoveContactsOfFixture(const PhysicsFixtureRecord* fixture) {
    m_contacts.RemoveFixture(fixture);
}

void CPhysicsWorld::DispatchCollisions() {
    CPhysicsContactRecord record;
    while (m_contacts.Pop(&record)) {
        if (record.fixtureA == nullptr || record.fixtureB == nullptr) continue;
        const CPhysicsObject* ownerA = record.fixtureA->owner;
        const CPhysicsObject* ownerB = record.fixtureB->owner;
        if (ownerA == nullptr || ownerB == nullptr || ownerA->Body() == nullptr || ownerB->Body() == nullptr)
            continue;
        CInstance* a = Physics_BodyInstance(ownerA->Body());
        CInstance* b = Physics_BodyInstance(ownerB->Body());
        record.instanceA = a;
        record.instanceB = b;
        m_currentContact = &record;
        if (a != nullptr && b != nullptr) {
            const int32_t objectA = a->object_index, objectB = b->object_index;
            PerformEvent_Instance(a, b, EVENT_COLLISION, objectB);
            PerformEvent_Instance(b, a, EVENT_COLLISION, objectA);
        }
        m_currentContact = nullptr;
    }
}

const CPhysicsContactRecord* CPhysicsWorld::ContactOf(const CInstance* instance) const {
    const CPhysicsContactRecord* record = m_currentContact;
    if (record == nullptr || instance == nullptr) return nullptr;
    return instance == record->instanceA || instance == record->instanceB ? record : nullptr;
}

int32_t CPhysicsWorld::GetCollisionPointCount(const CInstance* instance) const {
    const CPhysicsContactRecord* record = ContactOf(instance);
    return record == nullptr ? 0 : record->PointCount();
}

namespace {

// The manifold that holds point `index` of the record, and the point's place in it.
bool FindPoint(const CPhysicsContactRecord& record, int32_t index, int32_t* manifold, int32_t* point) {
    if (index < 0) return false;
    int32_t total = 0;
    for (int32_t m = 0; m < record.manifoldCount; ++m) {
        const int32_t count = record.manifolds[m].pointCount;
        if (index < total + count) {
            *manifold = m;
            *point = index - total;
            return true;
        }
        total += count;
    }
    return false;
}

}  // namespace

bool CPhysicsWorld::GetCollisionPoint(const CInstance* instance, int32_t index, float* x, float* y) const {
    const CPhysicsContactRecord* record = ContactOf(instance);
    int32_t m = 0, p = 0;
    if (record == nullptr || !FindPoint(*record, index, &m, &p)) return false;
    const float toPixels = 1.0f / m_pixelsToMetres;
    *x = record->worldManifolds[m].points[p].x * toPixels;
    *y = record->worldManifolds[m].points[p].y * toPixels;
    return true;
}

bool CPhysicsWorld::GetCollisionNormal(const CInstance* instance, int32_t index, float* x, float* y) const {
    const CPhysicsContactRecord* record = ContactOf(instance);
    int32_t m = 0, p = 0;
    if (record == nullptr || !FindPoint(*record, index, &m, &p)) return false;
    *x = record->worldManifolds[m].normal.x;
    *y = record->worldManifolds[m].normal.y;
    return true;
}
