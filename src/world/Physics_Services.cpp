#include "world/Physics_Services.h"

PhysicsServices g_PhysicsServices;
