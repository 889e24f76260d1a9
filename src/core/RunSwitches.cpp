#include "core/RunSwitches.h"

RunSwitches g_Switches;
