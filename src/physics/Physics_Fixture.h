// Fixture definitions: a shape, material values and body settings kept under an integer id,
// bound to instances any number of times. Lengths are in metres.
#pragma once

#include <cstdint>
#include <vector>

class CInstance;

enum PhysicsShapeKind : int32_t {
    PHYSICS_SHAPE_NONE = 0,
    PHYSICS_SHAPE_CIRCLE,
    PHYSICS_SHAPE_BOX,
    PHYSICS_SHAPE_EDGE,
    PHYSICS_SHAPE_POLYGON,
    PHYSICS_SHAPE_CHAIN,
};

struct PhysicsPoint {
    float x, y;
};

constexpr int32_t kPolygonPoints = 8;  // the library's polygon vertex limit

class CPhysicsFixture {
public:
    explicit CPhysicsFixture(int32_t fixtureId) : id(fixtureId) {}

    void SetCircleShape(float radius);
    void SetBoxShape(float halfWidth, float halfHeight);
    void SetEdgeShape(float x1, float y1, float x2, float y2);
    void SetPolygonShape();
    void SetChainShape(bool loop);
    // False for a ninth polygon point or a point on a shape that takes none.
    bool AddPoint(float x, float y);
    // Convexity and winding of the points; raises the run-time error when they fail.
    bool CheckConvex();
    // Makes sure a polygon has enough points to be built; false after reporting it.
    bool FinishShape(const CInstance* instance);
    void SetPointCount(int32_t capacity);

    int32_t PointCapacity() const { return m_capacity; }
    const std::vector<PhysicsPoint>& Points() const { return m_points; }

    float linearDamping = 0.0f;
    float angularDamping = 0.0f;
    bool awake = true;
    bool kinematic = false;
    bool chainLoop = false;
    int32_t id;

    // The shape and material of the fixtures made from it.
    PhysicsShapeKind shape = PHYSICS_SHAPE_NONE;
    float radius = 0.0f;                        // circle
    float halfWidth = 0.0f, halfHeight = 0.0f;  // box
    float friction = 0.2f;
    float restitution = 0.0f;
    float density = 0.0f;
    bool sensor = false;
    uint32_t categoryBits = 1;
    uint32_t maskBits = 0x0000FFFF;
    int16_t groupIndex = 0;

private:
    void ClearShape(PhysicsShapeKind kind);

    std::vector<PhysicsPoint> m_points;
    int32_t m_capacity = 0;
};

CPhysicsFixture* Fixture_Create();
CPhysicsFixture* Fixture_Find(int32_t id);
bool Fixture_Delete(int32_t id);
// Deletes every definition; ids keep counting.
void Fixture_DeleteAll();
