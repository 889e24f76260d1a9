// Shared by the files of the ds module: the built-ins that the native helpers run with
// argument arrays of their own, and the missing-index report. Not for other modules.
#pragma once

#include "data/Function_Math_Internal.h"

// "Data structure with index does not exist." as a non-fatal script error.
void DS_ReportMissing();

HV_BUILTIN(F_ds_map_create);
HV_BUILTIN(F_ds_map_destroy);
HV_BUILTIN(F_ds_map_clear);
HV_BUILTIN(F_ds_map_add);
HV_BUILTIN(F_ds_map_add_list);
HV_BUILTIN(F_ds_list_create);
HV_BUILTIN(F_ds_list_clear);
HV_BUILTIN(F_ds_list_add);
HV_BUILTIN(F_ds_list_size);
HV_BUILTIN(F_ds_list_mark_as_map);
HV_BUILTIN(F_ds_queue_create);
HV_BUILTIN(F_ds_queue_enqueue);
HV_BUILTIN(F_ds_queue_dequeue);
HV_BUILTIN(F_ds_queue_size);
HV_BUILTIN(F_ds_queue_clear);
