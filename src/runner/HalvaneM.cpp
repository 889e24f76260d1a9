#include "runner/HalvaneM.h"

int Runner_Main(int, char**) { return 1; }
