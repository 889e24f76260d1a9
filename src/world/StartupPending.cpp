// Stand-ins for modules that are not linked in yet: each is weak, so the real module replaces
// it. This file goes once the input layer and the action built-ins are in.
#include "world/GameLoopServices.h"

#define HV_PENDING __attribute__((weak))

HV_PENDING void IO_Clear() {}
HV_PENDING bool g_ActionRelative = false;
