// Step-wise motion planning towards a goal while avoiding instances: the linear planner steps
// straight at the goal and stops when blocked; the potential planner fans out from the goal's
// direction within a turn limit, probing ahead. The path forms simulate the steps (moving the
// instance and putting it back) and record the positions into a path.
#pragma once

#include <cstdint>

class CInstance;

// Filter -3 tests every instance (check all: any instance, else solid ones); another filter
// tests that object or instance.
bool MP_IsFree(CInstance* self, float x, float y, int32_t filter, bool all);
bool Command_MpLinearStep(CInstance* self, float gx, float gy, float step, int32_t filter, bool all);
bool Command_MpPotentialStep(CInstance* self, float gx, float gy, float step, int32_t filter, bool all);
bool Command_MpLinearPath(CInstance* self, int32_t path, float gx, float gy, float step, int32_t filter,
                          bool all);
bool Command_MpPotentialPath(CInstance* self, int32_t path, float gx, float gy, float step, float factor,
                             int32_t filter, bool all);
// Each number below 1 is stored as 1.
void Command_MpPotentialSettings(float maxRotation, float rotationStep, float ahead, bool onSpot);

struct MpPotentialSettings {
    float maxRotation = 30.0f;
    float rotationStep = 10.0f;
    float ahead = 3.0f;
    bool onSpot = true;
};
MpPotentialSettings& MP_Settings();

// Degrees in [0, 360), counter-clockwise with y down.
double Point_Direction(double x1, double y1, double x2, double y2);
// 0..180 degrees.
double Angle_Difference(double a, double b);
