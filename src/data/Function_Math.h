// The math, random, string, array, type-test and conversion built-ins, and the typed entries
// that compiled game code calls without going through the built-in table.
#pragma once

#include <cstdint>

#include "core/VM_Arith.h"

struct RValue;

// Adds the module's 108 rows to the built-in function table.
void InitMathFunctions();

// Two reals within MathEpsilon (core/VM_Arith.h) of each other compare equal in game code.

// --- Typed entries for compiled game code -----------------------------------------------

double Direct_random(double x);
double Direct_random_range(double a, double b);
int64_t Direct_irandom(int32_t n);
int32_t Direct_irandom_range(int32_t a, int32_t b);
double Direct_abs(double x);
double Direct_sign(double x);
// Computed and snapped in double precision, unlike cos.
double Direct_cos(double x);
float Direct_point_direction(float x1, float y1, float x2, float y2);
float Direct_lengthdir_x(float length, float direction);
float Direct_lengthdir_y(float length, float direction);
RValue* Direct_max(RValue* result, int32_t count, RValue** args);
RValue* Direct_choose(RValue* result, int32_t count, RValue** args);
