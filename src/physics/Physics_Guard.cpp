#include "physics/Physics_Guard.h"

#include <cmath>
#include <vector>

#include "physics/Physics_World.h"

namespace {

// Far beyond any room, yet small enough that the library's sums stay finite.
constexpr float kLargestValue = 1.0e8f;

}  // namespace

float PhysicsGuard_Length(float value) {
    if (std::isfinite(value) && std::fabs(value) <= kLargestValue) return value;
    Physics_AssertHandler(false, "b2IsValid(value)");
    return 0.0f;
}

float PhysicsGuard_NonNegative(float value) {
    value = PhysicsGuard_Length(value);
    if (value >= 0.0f) return value;
    Physics_AssertHandler(false, "value >= 0.0f");
    return 0.0f;
}

b2Vec2 PhysicsGuard_Vector(float x, float y) {
    return b2Vec2(PhysicsGuard_Length(x), PhysicsGuard_Length(y));
}

bool PhysicsGuard_PolygonIsBuildable(const b2Vec2* points, int32_t count) {
    std::vector<b2Vec2> kept;
    const float weld = (0.5f * b2_linearSlop) * (0.5f * b2_linearSlop);
    for (int32_t i = 0; i < count; ++i) {
        const b2Vec2 v = points[i];
        if (!v.IsValid() || std::fabs(v.x) > kLargestValue || std::fabs(v.y) > kLargestValue) return false;
        bool unique = true;
        for (const b2Vec2& k : kept) unique = unique && b2DistanceSquared(v, k) > weld;
        if (unique) kept.push_back(v);
    }
    if (kept.size() < 3) return false;
    double largest = 0.0, extent = 0.0;
    for (size_t i = 0; i < kept.size(); ++i) {
        extent = std::fmax(extent, std::fabs(static_cast<double>(kept[i].x) - kept[0].x));
        extent = std::fmax(extent, std::fabs(static_cast<double>(kept[i].y) - kept[0].y));
        for (size_t j = i + 1; j < kept.size(); ++j)
            for (size_t k = j + 1; k < kept.size(); ++k) {
                const double ax = static_cast<double>(kept[j].x) - kept[i].x;
                const double ay = static_cast<double>(kept[j].y) - kept[i].y;
                const double bx = static_cast<double>(kept[k].x) - kept[i].x;
                const double by = static_cast<double>(kept[k].y) - kept[i].y;
                largest = std::fmax(largest, std::fabs(ax * by - ay * bx) * 0.5);
            }
    }
    // Rounding in the library's own sums grows with the polygon's size.
    return largest > 16.0 * b2_epsilon && largest > 1.0e-5 * extent * extent;
}
