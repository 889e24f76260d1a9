#include "physics/Physics_Fixture.h"

#include <cstdio>
#include <map>
#include <memory>

#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/RuntimeError.h"

namespace {

std::map<int32_t, std::unique_ptr<CPhysicsFixture>>& Table() {
    static std::map<int32_t, std::unique_ptr<CPhysicsFixture>> table;
    return table;
}

int32_t g_lastFixtureId = 0;  // ids are never reused

constexpr float kConvexTolerance = -0.00001f;

}  // namespace

CPhysicsFixture* Fixture_Create() {
    const int32_t id = ++g_lastFixtureId;
    auto& slot = Table()[id];
    slot = std::make_unique<CPhysicsFixture>(id);
    return slot.get();
}

CPhysicsFixture* Fixture_Find(int32_t id) {
    auto it = Table().find(id);
    return it == Table().end() ? nullptr : it->second.get();
}

bool Fixture_Delete(int32_t id) {
    return Table().erase(id) > 0;
}

void Fixture_DeleteAll() {
    Table().clear();
}

void CPhysicsFixture::ClearShape(PhysicsShapeKind kind) {
    shape = kind;
    m_points.clear();
    m_points.shrink_to_fit();
    m_capacity = 0;
}

void CPhysicsFixture::SetCircleShape(float r) {
    ClearShape(PHYSICS_SHAPE_CIRCLE);
    radius = r;
}

void CPhysicsFixture::SetBoxShape(float w, float h) {
    ClearShape(PHYSICS_SHAPE_BOX);
    halfWidth = w;
    halfHeight = h;
}

void CPhysicsFixture::SetEdgeShape(float x1, float y1, float x2, float y2) {
    ClearShape(PHYSICS_SHAPE_EDGE);
    SetPointCount(2);
    m_points = {{x1, y1}, {x2, y2}};
}

void CPhysicsFixture::SetPolygonShape() {
    ClearShape(PHYSICS_SHAPE_POLYGON);
    SetPointCount(kPolygonPoints);
}

void CPhysicsFixture::SetChainShape(bool loop) {
    ClearShape(PHYSICS_SHAPE_CHAIN);
    SetPointCount(kPolygonPoints);
    chainLoop = loop;
}

void CPhysicsFixture::SetPointCount(int32_t capacity) {
    m_capacity = capacity;
    m_points.reserve(static_cast<size_t>(capacity));
}

bool CPhysicsFixture::AddPoint(float x, float y) {
    if (shape == PHYSICS_SHAPE_POLYGON) {
        if (static_cast<int32_t>(m_points.size()) >= kPolygonPoints) return false;
        m_points.push_back({x, y});
        return CheckConvex();
    }
    if (shape == PHYSICS_SHAPE_CHAIN) {
        const int32_t count = static_cast<int32_t>(m_points.size());
        if (count >= m_capacity) SetPointCount(count < 2 ? kPolygonPoints : count * 3 / 2);
        m_points.push_back({x, y});
        return true;
    }
    return false;
}

bool CPhysicsFixture::CheckConvex() {
    const int32_t n = static_cast<int32_t>(m_points.size());
    if (n <= 2) return true;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t next = (i + 1) % n;
        const PhysicsPoint& a = m_points[i];
        const PhysicsPoint& e = m_points[next];
        for (int32_t j = 0; j < n; ++j) {
            if (j == i || j == next) continue;
            const PhysicsPoint& p = m_points[j];
            const float cross = (p.y - a.y) * (e.x - a.x) - (p.x - a.x) * (e.y - a.y);
            if (cross <= kConvexTolerance) {
                Runtime_Error("ERROR: The polygon shape for fixture %d is concave or ordered anti-clockwise",
                              id);
                return false;
            }
        }
    }
    return true;
}

bool CPhysicsFixture::FinishShape(const CInstance* instance) {
    if (shape != PHYSICS_SHAPE_POLYGON || m_points.size() > 2) return true;
    const char* name = instance != nullptr ? InstanceWorld().objectName(instance->object_index) : nullptr;
    char message[1024];
    std::snprintf(message, sizeof message, "Too few vertices in polygon shape fixture for %s",
                  name != nullptr ? name : "");
    Runtime_ReportError(message, true);
    return false;
}
