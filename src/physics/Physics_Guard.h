// Checks in front of the library: Box2D asserts on values it cannot use and ends the process.
// A value that fails is reported as the library's assertion would be, and replaced by one the
// library takes, so the game carries on.
#pragma once

#include <box2d/box2d.h>

// Finite and within the range the library's broad phase can hold; else 0.
float PhysicsGuard_Length(float value);
// As PhysicsGuard_Length, and not negative (densities, dampings, friction).
float PhysicsGuard_NonNegative(float value);
b2Vec2 PhysicsGuard_Vector(float x, float y);

// What the library asks of the points of a polygon: at least three of them apart from one
// another, enclosing an area its single-precision sums still see. Fewer leave it without a hull.
bool PhysicsGuard_PolygonIsBuildable(const b2Vec2* points, int32_t count);
