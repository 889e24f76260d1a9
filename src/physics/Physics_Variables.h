// The instances' phy_ variables: the body read in room units and moved through its object.
#pragma once

#include <cstdint>

#include "world/Physics_Services.h"

class CInstance;

bool Physics_GetVariable(const CInstance* instance, PhysicsVariable variable, int32_t index, double* out);
bool Physics_SetVariable(CInstance* instance, PhysicsVariable variable, double value);
