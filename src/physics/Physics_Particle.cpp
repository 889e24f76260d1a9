#include "physics/Physics_Particle.h"

#include <algorithm>
#include <cmath>

#include "core/RuntimeError.h"
#include "physics/Physics_Guard.h"
#include "physics/Physics_World.h"

namespace {

// Pressure: each particle's crowding is the sum of its neighbours' weights (1 - distance /
// diameter); beyond one neighbour's worth, up to five, it pushes its neighbours apart. The
// parting speed a pair gains in a step is this share of the critical speed (a diameter a step)
// times the pair's weight and the two crowdings, so it does not depend on the step's length.
constexpr float kPressureStrength = 0.1f / 0.75f;
constexpr float kRestWeight = 1.0f;
constexpr float kMaxWeight = 5.0f;
// Damping takes away at most the whole speed at which a pair approaches.
constexpr float kMaxDampingShare = 1.0f;
constexpr size_t kMaxPairsPerParticle = 16;
// Steps of the liquid within one world step: enough that gravity moves a particle by no more
// than about a hundredth of its radius a step, at most eight.
constexpr float kRadiusThreshold = 0.01f;
constexpr int32_t kMaxIterations = 8;
// Lattice points a group fill looks at, at most: a shape far larger than the particles would
// otherwise keep the step busy for minutes before the hard limit stops it.
constexpr double kMaxLatticePoints = 64.0 * 1024.0 * 1024.0;
// Cell coordinates stay within this, so they convert to integers whatever the position.
constexpr double kLargestCell = 1.0e15;

uint32_t HashCell(int64_t x, int64_t y) {
    const uint64_t h =
        static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(y) * 0xC2B2AE3D27D4EB4Full;
    return static_cast<uint32_t>(h >> 32);
}

int64_t CellOf(float coordinate, float inverseSize) {
    const double cell = std::floor(static_cast<double>(coordinate) * inverseSize);
    return static_cast<int64_t>(std::clamp(cell, -kLargestCell, kLargestCell));
}

b2Vec2 ClosestOnSegment(b2Vec2 p, b2Vec2 a, b2Vec2 b) {
    const b2Vec2 e = b - a;
    const float length2 = b2Dot(e, e);
    if (length2 <= b2_epsilon) return a;
    const float t = std::clamp(b2Dot(p - a, e) / length2, 0.0f, 1.0f);
    return a + t * e;
}

// How far p lies outside the shape's surface (negative inside), and the surface's outward
// normal there. For a polygon more than `reach` away the distance is only a lower bound.
void Separation(const b2Shape* shape, int32_t child, const b2Transform& xf, b2Vec2 p, float reach,
                float* separation, b2Vec2* normal) {
    switch (shape->GetType()) {
        case b2Shape::e_circle: {
            const auto* circle = static_cast<const b2CircleShape*>(shape);
            const b2Vec2 d = p - b2Mul(xf, circle->m_p);
            const float length = d.Length();
            *separation = length - circle->m_radius;
            *normal = length > b2_epsilon ? (1.0f / length) * d : b2Vec2(0.0f, -1.0f);
            return;
        }
        case b2Shape::e_edge:
        case b2Shape::e_chain: {
            b2EdgeShape edge;
            if (shape->GetType() == b2Shape::e_chain)
                static_cast<const b2ChainShape*>(shape)->GetChildEdge(&edge, child);
            else
                edge = *static_cast<const b2EdgeShape*>(shape);
            const b2Vec2 local = b2MulT(xf, p);
            const b2Vec2 d = local - ClosestOnSegment(local, edge.m_vertex1, edge.m_vertex2);
            const float length = d.Length();
            b2Vec2 n =
                length > b2_epsilon ? (1.0f / length) * d : b2Cross(edge.m_vertex2 - edge.m_vertex1, 1.0f);
            n.Normalize();
            *separation = length - edge.m_radius;
            *normal = b2Mul(xf.q, n);
            return;
        }
        case b2Shape::e_polygon: {
            const auto* polygon = static_cast<const b2PolygonShape*>(shape);
            const b2Vec2 local = b2MulT(xf, p);
            float best = -b2_maxFloat;
            int32_t face = 0;
            for (int32_t i = 0; i < polygon->m_count; ++i) {
                const float s = b2Dot(polygon->m_normals[i], local - polygon->m_vertices[i]);
                if (s > best) best = s, face = i;
            }
            if (best <= 0.0f || best > reach + polygon->m_radius) {
                *separation = best - polygon->m_radius;
                *normal = b2Mul(xf.q, polygon->m_normals[face]);
                return;
            }
            // Outside near a corner: the nearest point of the outline decides.
            float nearest = b2_maxFloat;
            b2Vec2 n(0.0f, 0.0f);
            for (int32_t i = 0; i < polygon->m_count; ++i) {
                const b2Vec2 a = polygon->m_vertices[i];
                const b2Vec2 b = polygon->m_vertices[i + 1 < polygon->m_count ? i + 1 : 0];
                const b2Vec2 d = local - ClosestOnSegment(local, a, b);
                const float length = d.Length();
                if (length < nearest) {
                    nearest = length;
                    n = length > b2_epsilon ? (1.0f / length) * d : polygon->m_normals[i];
                }
            }
            *separation = nearest - polygon->m_radius;
            *normal = b2Mul(xf.q, n);
            return;
        }
        default:
            *separation = b2_maxFloat;
            *normal = b2Vec2(0.0f, -1.0f);
            return;
    }
}

class FixtureQuery : public b2QueryCallback {
public:
    explicit FixtureQuery(std::vector<b2Fixture*>* found) : m_found(found) {}
    bool ReportFixture(b2Fixture* fixture) override {
        if (!fixture->IsSensor()) m_found->push_back(fixture);
        return true;
    }

private:
    std::vector<b2Fixture*>* m_found;
};

}  // namespace

CPhysicsParticleSystem::CPhysicsParticleSystem(b2World* world) : m_world(world) {}

CPhysicsParticleSystem::~CPhysicsParticleSystem() = default;

// --- Settings ------------------------------------------------------------------------------

void CPhysicsParticleSystem::SetMaxCount(int32_t count) {
    if (count < 0 || (count > 0 && count < Count())) {
        Physics_AssertHandler(false, "maxCount == 0 || maxCount >= particle count");
        return;
    }
    m_maxCount = count;
}

void CPhysicsParticleSystem::SetRadius(float metres) {
    if (!(std::isfinite(metres) && metres > 0.0f)) {
        Physics_AssertHandler(false, "radius > 0.0f");
        return;
    }
    if (PhysicsGuard_Length(metres) > 0.0f) m_radius = metres;
}

void CPhysicsParticleSystem::SetDensity(float density) {
    if (!(std::isfinite(density) && density > 0.0f)) {
        Physics_AssertHandler(false, "density > 0.0f");
        return;
    }
    m_density = density;
}

void CPhysicsParticleSystem::SetDamping(float damping) {
    m_damping = PhysicsGuard_NonNegative(damping);
}

void CPhysicsParticleSystem::SetGravityScale(float scale) {
    m_gravityScale = PhysicsGuard_Length(scale);
}

// --- Particles -----------------------------------------------------------------------------

int32_t CPhysicsParticleSystem::CreateParticle(uint32_t flags, b2Vec2 position, b2Vec2 velocity,
                                               ParticleColour colour, int32_t category) {
    const int32_t count = Count();
    if ((m_maxCount > 0 && count >= m_maxCount) || count >= kHardLimit) return -1;
    m_particles.push_back({PhysicsGuard_Vector(position.x, position.y),
                           PhysicsGuard_Vector(velocity.x, velocity.y), flags, colour, category, nullptr});
    return count;
}

void CPhysicsParticleSystem::DestroyParticle(int32_t index) {
    if (InRange(index)) m_particles[index].flags |= PARTICLE_FLAG_ZOMBIE;
}

int32_t CPhysicsParticleSystem::DestroyParticlesInShape(const b2Shape& shape, const b2Transform& transform) {
    int32_t marked = 0;
    for (PhysicsParticle& p : m_particles) {
        if ((p.flags & PARTICLE_FLAG_ZOMBIE) != 0 || !shape.TestPoint(transform, p.position)) continue;
        p.flags |= PARTICLE_FLAG_ZOMBIE;
        ++marked;
    }
    return marked;
}

void CPhysicsParticleSystem::SetParticleFlags(int32_t index, uint32_t flags) {
    if (InRange(index)) m_particles[index].flags = flags;
}

void CPhysicsParticleSystem::SetCategoryFlags(int32_t category, uint32_t flags) {
    for (PhysicsParticle& p : m_particles)
        if (category == 0 || p.category == category) p.flags = flags;
}

// --- Groups --------------------------------------------------------------------------------

PhysicsParticleGroup* CPhysicsParticleSystem::Group(int32_t id) const {
    return id >= 0 && id < GroupTableSize() ? m_table[id] : nullptr;
}

int32_t CPhysicsParticleSystem::StoreGroup(PhysicsParticleGroup* group) {
    for (size_t i = 0; i < m_table.size(); ++i) {
        if (m_table[i] != nullptr) continue;
        m_table[i] = group;
        return static_cast<int32_t>(i);
    }
    // Grown by half again: 0, 1, 3, 6, 10, 16...
    const size_t first = m_table.size();
    m_table.resize((first * 3 + 3) / 2, nullptr);
    m_table[first] = group;
    return static_cast<int32_t>(first);
}

int32_t CPhysicsParticleSystem::EndGroup() {
    const ParticleGroupDef& def = m_pending;
    b2CircleShape circle;
    b2PolygonShape polygon;
    const b2Shape* shape = nullptr;
    switch (def.shape) {
        case ParticleGroupDef::CIRCLE:
            circle.m_radius = std::fabs(PhysicsGuard_Length(def.radius));
            shape = &circle;
            break;
        case ParticleGroupDef::BOX:
            polygon.SetAsBox(std::fabs(PhysicsGuard_Length(def.halfWidth)),
                             std::fabs(PhysicsGuard_Length(def.halfHeight)));
            shape = &polygon;
            break;
        case ParticleGroupDef::POLYGON:
            if (!PhysicsGuard_PolygonIsBuildable(def.points.data(),
                                                 static_cast<int32_t>(def.points.size()))) {
                Physics_AssertHandler(false, "3 <= count && count <= b2_maxPolygonVertices");
                return -1;
            }
            polygon.Set(def.points.data(), static_cast<int32_t>(def.points.size()));
            shape = &polygon;
            break;
        case ParticleGroupDef::NONE:
            Physics_AssertHandler(false, "groupDef.shape");
            return -1;
    }

    b2Transform identity;
    identity.SetIdentity();
    b2AABB box;
    shape->ComputeAABB(&box, identity, 0);
    const double stride = Stride();
    const double x0 = std::floor(box.lowerBound.x / stride), y0 = std::floor(box.lowerBound.y / stride);
    const double columns = std::ceil(box.upperBound.x / stride) - x0 + 1.0;
    const double rows = std::ceil(box.upperBound.y / stride) - y0 + 1.0;
    if (!(columns * rows <= kMaxLatticePoints)) {
        Runtime_ReportError("Particle group too large for its particle radius", false);
        return -1;
    }

    auto group = std::make_unique<PhysicsParticleGroup>();
    group->first = Count();
    group->flags = def.groupFlags;
    group->position = PhysicsGuard_Vector(def.position.x, def.position.y);
    group->angle = PhysicsGuard_Length(def.angle);
    group->destroyAutomatically = def.destroyAutomatically;
    const b2Transform placed(group->position, b2Rot(group->angle));
    const b2Vec2 velocity = PhysicsGuard_Vector(def.linearVelocity.x, def.linearVelocity.y);
    const float spin = PhysicsGuard_Length(def.angularVelocity);
    bool full = false;
    for (double row = y0; !full && row * stride < box.upperBound.y; row += 1.0) {
        for (double column = x0; column * stride < box.upperBound.x; column += 1.0) {
            const b2Vec2 local(static_cast<float>(column * stride), static_cast<float>(row * stride));
            if (!shape->TestPoint(identity, local)) continue;
            const b2Vec2 at = b2Mul(placed, local);
            const int32_t index = CreateParticle(
                def.flags, at, velocity + b2Cross(spin, at - group->position), def.colour, def.category);
            if (index < 0) {
                full = true;
                break;
            }
            m_particles[index].group = group.get();
        }
    }
    group->end = Count();
    PhysicsParticleGroup* made = group.get();
    m_groups.push_back(std::move(group));
    return StoreGroup(made);
}

void CPhysicsParticleSystem::RecomputeGroupRanges() {
    for (auto& group : m_groups) group->first = group->end = -1;
    for (int32_t i = 0; i < Count(); ++i) {
        PhysicsParticleGroup* group = m_particles[i].group;
        if (group == nullptr) continue;
        if (group->first < 0) group->first = i;
        group->end = i + 1;
    }
    for (auto& group : m_groups)
        if (group->first < 0) group->first = group->end = 0;
}

void CPhysicsParticleSystem::DestroyGroup(PhysicsParticleGroup* group) {
    for (PhysicsParticleGroup*& entry : m_table)
        if (entry == group) entry = nullptr;
    std::erase_if(m_groups, [group](const auto& owned) { return owned.get() == group; });
}

void CPhysicsParticleSystem::JoinGroups(int32_t a, int32_t b) {
    PhysicsParticleGroup* to = Group(a);
    PhysicsParticleGroup* from = Group(b);
    if (to == nullptr || from == nullptr || to == from) return;
    // The joined group must lie side by side: from's particles move to just after to's.
    const auto begin = m_particles.begin();
    if (from->first > to->end)
        std::rotate(begin + to->end, begin + from->first, begin + from->end);
    else if (from->end <= to->first)
        std::rotate(begin + from->first, begin + from->end, begin + to->end);
    for (PhysicsParticle& p : m_particles)
        if (p.group == from) p.group = to;
    to->flags |= from->flags;
    DestroyGroup(from);
    RecomputeGroupRanges();
}

void CPhysicsParticleSystem::DeleteGroup(int32_t id) {
    PhysicsParticleGroup* group = Group(id);
    if (group == nullptr) return;
    for (int32_t i = group->first; i < group->end; ++i) m_particles[i].flags |= PARTICLE_FLAG_ZOMBIE;
    // The entry is free at once; the group itself goes when the step has removed its particles.
    m_table[id] = nullptr;
}

int32_t CPhysicsParticleSystem::GroupCount(int32_t id) const {
    const PhysicsParticleGroup* group = Group(id);
    return group != nullptr ? group->end - group->first : 0;
}

ParticleGroupStats CPhysicsParticleSystem::GroupStats(int32_t id) const {
    ParticleGroupStats stats;
    const PhysicsParticleGroup* group = Group(id);
    if (group == nullptr || group->end <= group->first) return stats;
    const float m = ParticleMass();
    for (int32_t i = group->first; i < group->end; ++i) {
        stats.mass += m;
        stats.centre += m * m_particles[i].position;
        stats.velocity += m * m_particles[i].velocity;
    }
    if (stats.mass > 0.0f) {
        stats.centre *= 1.0f / stats.mass;
        stats.velocity *= 1.0f / stats.mass;
    }
    float angularMomentum = 0.0f;
    for (int32_t i = group->first; i < group->end; ++i) {
        const b2Vec2 r = m_particles[i].position - stats.centre;
        stats.inertia += m * b2Dot(r, r);
        angularMomentum += m * b2Cross(r, m_particles[i].velocity - stats.velocity);
    }
    if (stats.inertia > 0.0f) stats.angularVelocity = angularMomentum / stats.inertia;
    return stats;
}

// --- The step ------------------------------------------------------------------------------

void CPhysicsParticleSystem::Compact() {
    const size_t count = m_particles.size();
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i)
        if ((m_particles[i].flags & PARTICLE_FLAG_ZOMBIE) == 0) m_particles[kept++] = m_particles[i];
    m_particles.resize(kept);
    RecomputeGroupRanges();
    std::vector<PhysicsParticleGroup*> empty;
    for (auto& group : m_groups)
        if (group->end == group->first && group->destroyAutomatically) empty.push_back(group.get());
    for (PhysicsParticleGroup* group : empty) DestroyGroup(group);
}

void CPhysicsParticleSystem::BuildHash() {
    const int32_t n = Count();
    m_cellSize = 2.0f * m_radius;
    const float inverse = 1.0f / m_cellSize;
    uint32_t buckets = 64;
    while (buckets < static_cast<uint32_t>(n) * 2u) buckets <<= 1;
    m_bucketMask = buckets - 1;
    m_cellX.resize(n);
    m_cellY.resize(n);
    m_sorted.resize(n);
    m_bucketStart.assign(buckets + 1, 0);
    for (int32_t i = 0; i < n; ++i) {
        m_cellX[i] = CellOf(m_particles[i].position.x, inverse);
        m_cellY[i] = CellOf(m_particles[i].position.y, inverse);
        ++m_bucketStart[HashCell(m_cellX[i], m_cellY[i]) & m_bucketMask];
    }
    // Running totals give each bucket's end; filling from the back brings each back to its start.
    for (uint32_t b = 1; b < buckets; ++b) m_bucketStart[b] += m_bucketStart[b - 1];
    m_bucketStart[buckets] = n;
    for (int32_t i = n - 1; i >= 0; --i)
        m_sorted[--m_bucketStart[HashCell(m_cellX[i], m_cellY[i]) & m_bucketMask]] = i;
}

void CPhysicsParticleSystem::FindPairs() {
    m_pairs.clear();
    const float diameter = 2.0f * m_radius;
    const float diameter2 = diameter * diameter;
    const float inverseDiameter = 1.0f / diameter;
    const int32_t n = Count();
    // Particles heaped on one spot would pair every one with every other; past this many pairs
    // a step leaves the rest for the steps after it, which part the heap.
    const size_t maxPairs = static_cast<size_t>(n) * kMaxPairsPerParticle;
    for (int32_t k = 0; k < n && m_pairs.size() < maxPairs; ++k) {
        const int32_t i = m_sorted[k];  // in bucket order, so neighbours sit close in memory
        const b2Vec2 pi = m_particles[i].position;
        for (int64_t dy = -1; dy <= 1; ++dy) {
            for (int64_t dx = -1; dx <= 1; ++dx) {
                const int64_t cx = m_cellX[i] + dx, cy = m_cellY[i] + dy;
                const uint32_t bucket = HashCell(cx, cy) & m_bucketMask;
                for (int32_t s = m_bucketStart[bucket]; s < m_bucketStart[bucket + 1]; ++s) {
                    const int32_t j = m_sorted[s];
                    if (j <= i || m_cellX[j] != cx || m_cellY[j] != cy) continue;
                    const b2Vec2 d = m_particles[j].position - pi;
                    const float distance2 = b2Dot(d, d);
                    if (distance2 >= diameter2) continue;
                    const float distance = std::sqrt(distance2);
                    // Two particles at one place part along a fixed direction.
                    const b2Vec2 normal = distance > b2_epsilon ? (1.0f / distance) * d : b2Vec2(0.0f, 1.0f);
                    m_pairs.push_back({i, j, 1.0f - distance * inverseDiameter, normal});
                }
            }
        }
    }
}

namespace {

// The shares of a change two particles take: a wall particle none, the other all of it.
bool Shares(const PhysicsParticle& a, const PhysicsParticle& b, float* shareA, float* shareB) {
    const float mobileA = (a.flags & PARTICLE_FLAG_WALL) != 0 ? 0.0f : 1.0f;
    const float mobileB = (b.flags & PARTICLE_FLAG_WALL) != 0 ? 0.0f : 1.0f;
    if (mobileA + mobileB == 0.0f) return false;
    *shareA = mobileA / (mobileA + mobileB);
    *shareB = mobileB / (mobileA + mobileB);
    return true;
}

}  // namespace

void CPhysicsParticleSystem::ApplyPressure(float dt) {
    const int32_t n = Count();
    m_crowding.assign(n, 0.0f);
    for (const Pair& pair : m_pairs) {
        m_crowding[pair.a] += pair.weight;
        m_crowding[pair.b] += pair.weight;
    }
    for (const FixtureContact& contact : m_contacts) m_crowding[contact.index] += contact.weight;
    for (float& w : m_crowding) w = std::max(0.0f, std::min(w, kMaxWeight) - kRestWeight);
    const float pressure = kPressureStrength * 2.0f * m_radius / dt;
    // A fixture pushes back as a wall particle as crowded as the particle would; a dynamic body
    // takes the opposite impulse.
    const float mass = ParticleMass();
    for (const FixtureContact& contact : m_contacts) {
        const b2Vec2 change = (pressure * contact.weight * 2.0f * m_crowding[contact.index]) * contact.normal;
        PhysicsParticle& p = m_particles[contact.index];
        p.velocity += change;
        if (contact.body->GetType() == b2_dynamicBody)
            contact.body->ApplyLinearImpulse(-mass * change, p.position, true);
    }
    for (const Pair& pair : m_pairs) {
        PhysicsParticle& a = m_particles[pair.a];
        PhysicsParticle& b = m_particles[pair.b];
        float shareA, shareB;
        if (!Shares(a, b, &shareA, &shareB)) continue;
        const float push = pressure * pair.weight * (m_crowding[pair.a] + m_crowding[pair.b]);
        a.velocity -= (shareA * push) * pair.normal;
        b.velocity += (shareB * push) * pair.normal;
    }
}

void CPhysicsParticleSystem::ApplyDamping(float dt) {
    const float criticalSpeed = 2.0f * m_radius / dt;
    const float mass = ParticleMass();
    for (const FixtureContact& contact : m_contacts) {
        PhysicsParticle& p = m_particles[contact.index];
        const b2Vec2 surface = contact.body->GetLinearVelocityFromWorldPoint(p.position);
        const float approach = b2Dot(p.velocity - surface, contact.normal);
        if (approach >= 0.0f) continue;
        const float damping =
            std::min(kMaxDampingShare, std::max(m_damping * contact.weight, -approach / criticalSpeed));
        const b2Vec2 change = (-damping * approach) * contact.normal;
        p.velocity += change;
        if (contact.body->GetType() == b2_dynamicBody)
            contact.body->ApplyLinearImpulse(-mass * change, p.position, true);
    }
    for (const Pair& pair : m_pairs) {
        PhysicsParticle& a = m_particles[pair.a];
        PhysicsParticle& b = m_particles[pair.b];
        float shareA, shareB;
        if (!Shares(a, b, &shareA, &shareB)) continue;
        const float approach = b2Dot(b.velocity - a.velocity, pair.normal);
        if (approach >= 0.0f) continue;
        const float damping =
            std::min(kMaxDampingShare, std::max(m_damping * pair.weight, -approach / criticalSpeed));
        a.velocity += (shareA * damping * approach) * pair.normal;
        b.velocity -= (shareB * damping * approach) * pair.normal;
    }
}

template <typename Visit>
void CPhysicsParticleSystem::ForNearFixtures(float reach, bool sinceLastStep, Visit visit) {
    const int32_t n = Count();
    b2AABB all;
    all.lowerBound = all.upperBound = m_particles[0].position;
    for (int32_t i = 0; i < n; ++i) {
        const b2Vec2 p = m_particles[i].position;
        all.lowerBound = b2Min(all.lowerBound, p);
        all.upperBound = b2Max(all.upperBound, p);
        if (sinceLastStep) {
            all.lowerBound = b2Min(all.lowerBound, m_previous[i]);
            all.upperBound = b2Max(all.upperBound, m_previous[i]);
        }
    }
    all.lowerBound -= b2Vec2(reach, reach);
    all.upperBound += b2Vec2(reach, reach);
    m_fixtures.clear();
    FixtureQuery query(&m_fixtures);
    m_world->QueryAABB(&query, all);
    std::sort(m_fixtures.begin(), m_fixtures.end());
    m_fixtures.erase(std::unique(m_fixtures.begin(), m_fixtures.end()), m_fixtures.end());
    const float inverse = 1.0f / m_cellSize;
    for (b2Fixture* fixture : m_fixtures) {
        b2Body* body = fixture->GetBody();
        const b2Shape* shape = fixture->GetShape();
        const b2Transform& xf = body->GetTransform();
        for (int32_t child = 0; child < shape->GetChildCount(); ++child) {
            b2AABB box;
            shape->ComputeAABB(&box, xf, child);
            box.lowerBound -= b2Vec2(reach, reach);
            box.upperBound += b2Vec2(reach, reach);
            // The particles in the cells the box covers, or all of them when that is fewer.
            const int64_t x0 = CellOf(box.lowerBound.x, inverse), x1 = CellOf(box.upperBound.x, inverse);
            const int64_t y0 = CellOf(box.lowerBound.y, inverse), y1 = CellOf(box.upperBound.y, inverse);
            if (static_cast<double>(x1 - x0 + 1) * static_cast<double>(y1 - y0 + 1) < n) {
                for (int64_t cy = y0; cy <= y1; ++cy)
                    for (int64_t cx = x0; cx <= x1; ++cx) {
                        const uint32_t bucket = HashCell(cx, cy) & m_bucketMask;
                        for (int32_t s = m_bucketStart[bucket]; s < m_bucketStart[bucket + 1]; ++s) {
                            const int32_t i = m_sorted[s];
                            if (m_cellX[i] == cx && m_cellY[i] == cy) visit(i, body, shape, child, xf);
                        }
                    }
            } else {
                for (int32_t i = 0; i < n; ++i) visit(i, body, shape, child, xf);
            }
        }
    }
}

void CPhysicsParticleSystem::FindFixtureContacts() {
    m_contacts.clear();
    const float diameter = 2.0f * m_radius;
    ForNearFixtures(diameter, false,
                    [&](int32_t i, b2Body* body, const b2Shape* shape, int32_t child, const b2Transform& xf) {
                        if ((m_particles[i].flags & PARTICLE_FLAG_WALL) != 0) return;
                        float separation;
                        b2Vec2 normal;
                        Separation(shape, child, xf, m_particles[i].position, diameter, &separation, &normal);
                        if (separation >= diameter) return;
                        const float weight = 1.0f - std::max(0.0f, separation) / diameter;
                        m_contacts.push_back({i, body, weight, normal});
                    });
}

void CPhysicsParticleSystem::CollideWithFixtures() {
    const int32_t n = Count();
    const float r = m_radius;
    float largestMove2 = 0.0f;
    for (int32_t i = 0; i < n; ++i)
        largestMove2 = std::max(largestMove2, (m_particles[i].position - m_previous[i]).LengthSquared());
    BuildHash();
    const float mass = ParticleMass();
    ForNearFixtures(r + std::sqrt(largestMove2), true,
                    [&](int32_t i, b2Body* body, const b2Shape* shape, int32_t child, const b2Transform& xf) {
                        PhysicsParticle& p = m_particles[i];
                        if ((p.flags & PARTICLE_FLAG_WALL) != 0) return;
                        // A particle that moved further than its radius may have passed through a
                        // thin fixture: it goes back to where its path first met the surface.
                        const b2Vec2 from = m_previous[i];
                        if ((p.position - from).LengthSquared() > r * r) {
                            b2RayCastInput ray{from, p.position, 1.0f};
                            b2RayCastOutput hit;
                            if (shape->RayCast(&hit, ray, xf, child))
                                p.position = from + hit.fraction * (p.position - from) + r * hit.normal;
                        }
                        float separation;
                        b2Vec2 normal;
                        Separation(shape, child, xf, p.position, r, &separation, &normal);
                        if (separation >= r) return;
                        p.position += (r - separation) * normal;
                        const b2Vec2 surface = body->GetLinearVelocityFromWorldPoint(p.position);
                        const float approach = b2Dot(p.velocity - surface, normal);
                        if (approach >= 0.0f) return;
                        const b2Vec2 change = -approach * normal;
                        p.velocity += change;
                        if (body->GetType() == b2_dynamicBody)
                            body->ApplyLinearImpulse(-mass * change, p.position, true);
                    });
}

void CPhysicsParticleSystem::CollideWithWalls() {
    const int32_t n = Count();
    bool anyWall = false;
    for (const PhysicsParticle& p : m_particles) anyWall = anyWall || (p.flags & PARTICLE_FLAG_WALL) != 0;
    if (!anyWall) return;
    // Wall particles hold the others a lattice spacing off, on the side they came from.
    const float spacing = Stride();
    for (int32_t wall = 0; wall < n; ++wall) {
        if ((m_particles[wall].flags & PARTICLE_FLAG_WALL) == 0) continue;
        const b2Vec2 w = m_particles[wall].position;
        for (int64_t dy = -1; dy <= 1; ++dy) {
            for (int64_t dx = -1; dx <= 1; ++dx) {
                const int64_t cx = m_cellX[wall] + dx, cy = m_cellY[wall] + dy;
                const uint32_t bucket = HashCell(cx, cy) & m_bucketMask;
                for (int32_t s = m_bucketStart[bucket]; s < m_bucketStart[bucket + 1]; ++s) {
                    const int32_t i = m_sorted[s];
                    PhysicsParticle& p = m_particles[i];
                    if ((p.flags & PARTICLE_FLAG_WALL) != 0 || m_cellX[i] != cx || m_cellY[i] != cy) continue;
                    if ((p.position - w).LengthSquared() >= spacing * spacing) continue;
                    b2Vec2 normal = m_previous[i] - w;
                    if (normal.Normalize() < b2_epsilon) normal = b2Vec2(0.0f, -1.0f);
                    const float depth = spacing - b2Dot(p.position - w, normal);
                    if (depth > 0.0f) p.position += depth * normal;
                    const float approach = b2Dot(p.velocity, normal);
                    if (approach < 0.0f) p.velocity -= approach * normal;
                }
            }
        }
    }
}

void CPhysicsParticleSystem::Step(float dt) {
    if (!(dt > 0.0f)) return;
    const float gravity = m_world->GetGravity().Length() * std::fabs(m_gravityScale);
    const float steps = std::ceil(std::sqrt(gravity / (kRadiusThreshold * m_radius)) * dt);
    const int32_t iterations =
        std::isfinite(steps) ? std::clamp(static_cast<int32_t>(steps), 1, kMaxIterations) : 1;
    for (int32_t i = 0; i < iterations; ++i) SubStep(dt / static_cast<float>(iterations));
}

void CPhysicsParticleSystem::SubStep(float dt) {
    Compact();
    const int32_t n = Count();
    if (n == 0) return;
    const b2Vec2 gravity = (dt * m_gravityScale) * m_world->GetGravity();
    for (PhysicsParticle& p : m_particles)
        if ((p.flags & PARTICLE_FLAG_WALL) == 0) p.velocity += gravity;
    BuildHash();
    FindPairs();
    FindFixtureContacts();
    ApplyPressure(dt);
    ApplyDamping(dt);
    // No particle moves more than a diameter a step; wall particles do not move at all.
    const float criticalSpeed = 2.0f * m_radius / dt;
    m_previous.resize(n);
    for (int32_t i = 0; i < n; ++i) {
        PhysicsParticle& p = m_particles[i];
        m_previous[i] = p.position;
        if ((p.flags & PARTICLE_FLAG_WALL) != 0) {
            p.velocity.SetZero();
            continue;
        }
        const float speed2 = p.velocity.LengthSquared();
        if (speed2 > criticalSpeed * criticalSpeed) p.velocity *= criticalSpeed / std::sqrt(speed2);
        p.position += dt * p.velocity;
    }
    CollideWithFixtures();
    CollideWithWalls();
}
