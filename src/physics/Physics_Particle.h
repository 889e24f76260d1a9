// The liquid particles of a physics world. Box2D has no particle system, so this is our own:
// particles addressed by index (0 .. count - 1) with flags, position and velocity in metres,
// a colour and a category, made one at a time or as groups that fill a shape on a lattice.
//
// The world steps the system after each of its own sub-steps. One step: particles marked for
// destruction are compacted away (and groups left empty destroyed, their ids freed), gravity
// and the particles' own pressure and damping change velocities, positions advance, and
// particles that reach into a fixture are pushed out of it, giving dynamic bodies the impulse.
// Wall particles never move. The README gives the whole model.
#pragma once

#include <box2d/box2d.h>

#include <cstdint>
#include <memory>
#include <vector>

// Particle flag bits the step reads; every other bit is kept as given.
constexpr uint32_t PARTICLE_FLAG_ZOMBIE = 1u << 1;  // destroyed at the next step
constexpr uint32_t PARTICLE_FLAG_WALL = 1u << 2;    // fixed where it is

struct ParticleColour {
    uint8_t r = 0, g = 0, b = 0, a = 0;
};

struct PhysicsParticleGroup;

struct PhysicsParticle {
    b2Vec2 position;  // metres
    b2Vec2 velocity;  // metres per second
    uint32_t flags;
    ParticleColour colour;
    int32_t category;             // the game's number for the particle
    PhysicsParticleGroup* group;  // null for a particle made on its own
};

// A group's particles lie side by side: indices first .. end - 1.
struct PhysicsParticleGroup {
    int32_t first = 0, end = 0;
    uint32_t flags = 0;
    b2Vec2 position;  // the transform it was made with
    float angle = 0.0f;
    bool destroyAutomatically = true;  // destroyed once it has no particle left
};

// The group being described before it is made: the game's begin call fills it, the shape
// calls replace its shape, and each end makes one more group from it.
struct ParticleGroupDef {
    enum Shape { NONE, CIRCLE, BOX, POLYGON };

    uint32_t flags = 0;
    uint32_t groupFlags = 0;
    b2Vec2 position{0.0f, 0.0f};
    float angle = 0.0f;
    b2Vec2 linearVelocity{0.0f, 0.0f};
    float angularVelocity = 0.0f;
    ParticleColour colour;
    float strength = 1.0f;
    int32_t category = 0;
    bool destroyAutomatically = true;

    Shape shape = NONE;
    float radius = 0.0f;                        // CIRCLE
    float halfWidth = 0.0f, halfHeight = 0.0f;  // BOX
    std::vector<b2Vec2> points;                 // POLYGON, at most 8
};

constexpr int32_t kParticleGroupPolygonPoints = 8;

// Mass statistics of a group, in metres, kilograms and radians.
struct ParticleGroupStats {
    float mass = 0.0f, inertia = 0.0f;
    b2Vec2 centre{0.0f, 0.0f};
    b2Vec2 velocity{0.0f, 0.0f};
    float angularVelocity = 0.0f;
};

class CPhysicsParticleSystem {
public:
    // No particle can be made beyond this many, whatever the maximum count says.
    static constexpr int32_t kHardLimit = 1 << 21;

    explicit CPhysicsParticleSystem(b2World* world);
    ~CPhysicsParticleSystem();
    CPhysicsParticleSystem(const CPhysicsParticleSystem&) = delete;
    CPhysicsParticleSystem& operator=(const CPhysicsParticleSystem&) = delete;

    // One step of dt seconds (nothing for dt <= 0 or no particle).
    void Step(float dt);

    // Settings. A maximum count of 0 means no limit.
    int32_t MaxCount() const { return m_maxCount; }
    void SetMaxCount(int32_t count);
    float Radius() const { return m_radius; }
    void SetRadius(float metres);
    float Density() const { return m_density; }
    void SetDensity(float density);
    float Damping() const { return m_damping; }
    void SetDamping(float damping);
    float GravityScale() const { return m_gravityScale; }
    void SetGravityScale(float scale);
    // The lattice spacing of groups and the mass of one particle follow from the radius.
    float Stride() const { return 1.5f * m_radius; }
    float ParticleMass() const { return m_density * Stride() * Stride(); }

    // Particles. Particles marked for destruction stay counted until the next step.
    int32_t Count() const { return static_cast<int32_t>(m_particles.size()); }
    const PhysicsParticle* Particles() const { return m_particles.data(); }
    bool InRange(int32_t index) const { return index >= 0 && index < Count(); }
    // The new particle's index, or -1 at the maximum count.
    int32_t CreateParticle(uint32_t flags, b2Vec2 position, b2Vec2 velocity, ParticleColour colour,
                           int32_t category);
    void DestroyParticle(int32_t index);
    // Marks every particle whose centre lies in the shape; how many it marked.
    int32_t DestroyParticlesInShape(const b2Shape& shape, const b2Transform& transform);
    void SetParticleFlags(int32_t index, uint32_t flags);
    // Every particle of the category (every particle for category 0) gets the flags.
    void SetCategoryFlags(int32_t category, uint32_t flags);

    // Groups, by id: the id indexes the group table, whose empty entries are reused first.
    ParticleGroupDef& PendingGroup() { return m_pending; }
    // Makes a group of the pending definition; its id, or -1 when the shape is missing or
    // has no area.
    int32_t EndGroup();
    // Null for an id out of range or an empty entry.
    PhysicsParticleGroup* Group(int32_t id) const;
    int32_t GroupTableSize() const { return static_cast<int32_t>(m_table.size()); }
    // Moves group b's particles into group a; entry b becomes empty.
    void JoinGroups(int32_t a, int32_t b);
    // Marks the group's particles for destruction and empties its entry at once.
    void DeleteGroup(int32_t id);
    int32_t GroupCount(int32_t id) const;
    ParticleGroupStats GroupStats(int32_t id) const;

private:
    void SubStep(float dt);
    void Compact();
    void DestroyGroup(PhysicsParticleGroup* group);
    void RecomputeGroupRanges();
    int32_t StoreGroup(PhysicsParticleGroup* group);
    void BuildHash();
    void FindPairs();
    void ApplyPressure(float dt);
    void ApplyDamping(float dt);
    template <typename Visit>
    void ForNearFixtures(float reach, bool sinceLastStep, Visit visit);
    void FindFixtureContacts();
    void CollideWithFixtures();
    void CollideWithWalls();

    b2World* m_world;
    std::vector<PhysicsParticle> m_particles;
    std::vector<std::unique_ptr<PhysicsParticleGroup>> m_groups;
    std::vector<PhysicsParticleGroup*> m_table;
    ParticleGroupDef m_pending;

    int32_t m_maxCount = 0;
    float m_radius = 1.0f;
    float m_density = 1.0f;
    float m_damping = 1.0f;
    float m_gravityScale = 1.0f;

    // Scratch of the step, kept between steps so it is not allocated every time.
    struct Pair {
        int32_t a, b;
        float weight;   // 1 at the same place, 0 a diameter apart
        b2Vec2 normal;  // from a to b
    };
    std::vector<Pair> m_pairs;
    struct FixtureContact {
        int32_t index;
        b2Body* body;
        float weight;   // 1 touching the surface, 0 a diameter from it
        b2Vec2 normal;  // out of the fixture
    };
    std::vector<FixtureContact> m_contacts;
    std::vector<b2Fixture*> m_fixtures;
    std::vector<float> m_crowding;
    std::vector<b2Vec2> m_previous;
    std::vector<int64_t> m_cellX, m_cellY;
    std::vector<int32_t> m_bucketStart, m_sorted;
    uint32_t m_bucketMask = 0;
    float m_cellSize = 2.0f;
};
