// Contacts reported while the library steps, merged per pair of fixtures and kept until the
// frame's dispatch turns them into collision events; and the contact filter on 32-bit
// category and mask bits.
#pragma once

#include <box2d/box2d.h>

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

class CInstance;
class CPhysicsObject;
class CPhysicsWorld;

// What a bound fixture is to this runner. One logical fixture may be several library fixtures
// (a chain is a run of two-sided edges); each of them points at the same record through its
// user data. The library's own filter has 16 bits: ours are kept here.
struct PhysicsFixtureRecord {
    CPhysicsObject* owner = nullptr;
    int32_t key = -1;
    uint32_t categoryBits = 1;
    uint32_t maskBits = 0x0000FFFF;
    int16_t groupIndex = 0;
    std::vector<b2Fixture*> parts;
};

PhysicsFixtureRecord* Physics_FixtureRecord(const b2Fixture* fixture);

// The normal and at most two points of a manifold in world terms, in metres.
struct PhysicsWorldManifold {
    b2Vec2 normal{0.0f, 0.0f};
    b2Vec2 points[b2_maxManifoldPoints];
};

constexpr int32_t kContactManifolds = 8;

struct CPhysicsContactRecord {
    int32_t manifoldCount = 0;
    PhysicsFixtureRecord* fixtureA = nullptr;  // null once the fixture has been removed
    PhysicsFixtureRecord* fixtureB = nullptr;
    b2Fixture* partA = nullptr;  // the library fixtures last reported for the pair
    b2Fixture* partB = nullptr;
    CInstance* instanceA = nullptr;  // the instances of the pair, set while it is dispatched
    CInstance* instanceB = nullptr;
    b2Manifold manifolds[kContactManifolds];
    PhysicsWorldManifold worldManifolds[kContactManifolds];

    void AddManifold(const b2Manifold& manifold, const PhysicsWorldManifold& world);
    int32_t PointCount() const;
};

class CPhysicsContactStack {
public:
    void Add(b2Contact* contact);
    // The last record, removed; false when there is none.
    bool Pop(CPhysicsContactRecord* out);
    void RemoveFixture(const PhysicsFixtureRecord* fixture);
    int32_t Count() const { return static_cast<int32_t>(m_records.size()); }
    const CPhysicsContactRecord& At(int32_t i) const { return m_records[i]; }

private:
    struct PairHash {
        size_t operator()(const std::pair<const void*, const void*>& p) const {
            return std::hash<const void*>()(p.first) * 31u ^ std::hash<const void*>()(p.second);
        }
    };
    void Reindex();

    std::vector<CPhysicsContactRecord> m_records;
    // The record of each fixture pair, under both orders, so that a crowded frame finds it at once.
    std::unordered_map<std::pair<const void*, const void*>, size_t, PairHash> m_index;
};

class CRunnerContactListener : public b2ContactListener {
public:
    explicit CRunnerContactListener(CPhysicsWorld* world) : m_world(world) {}
    void BeginContact(b2Contact* contact) override;
    void PostSolve(b2Contact* contact, const b2ContactImpulse* impulse) override;

private:
    CPhysicsWorld* m_world;
};

// The library's rule on groups, then our 32-bit category and mask bits.
class CRunnerContactFilter : public b2ContactFilter {
public:
    bool ShouldCollide(b2Fixture* fixtureA, b2Fixture* fixtureB) override;
};
