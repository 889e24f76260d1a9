// Shared by the files of the ds module: the built-ins that the native helpers run with
// argument arrays of their own, and the missing-index report. Not for other modules.
#pragma once

#include "data/Function_Math_Internal.h"

// "Data structure with index does not exist." as a non-fatal script error.
void DS_ReportMissing();

HV_BUILTIN(F_DsMapCreate);
HV_BUILTIN(F_DsMapDestroy);
HV_BUILTIN(F_DsMapClear);
HV_BUILTIN(F_DsMapAdd);
HV_BUILTIN(F_DsMapAddList);
HV_BUILTIN(F_DsListCreate);
HV_BUILTIN(F_DsListClear);
HV_BUILTIN(F_DsListAdd);
HV_BUILTIN(F_DsListSize);
HV_BUILTIN(F_DsListMarkAsMap);
HV_BUILTIN(F_DsQueueCreate);
HV_BUILTIN(F_DsQueueEnqueue);
HV_BUILTIN(F_DsQueueDequeue);
HV_BUILTIN(F_DsQueueSize);
HV_BUILTIN(F_DsQueueClear);
