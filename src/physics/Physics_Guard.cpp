#include "physics/Physics_Guard.h"

#include <cmath>

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
