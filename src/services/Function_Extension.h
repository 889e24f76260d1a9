// The external_* built-ins: game code defining and calling functions of shared objects.
#pragma once

// Registers the 25 rows, unless the run is restricted (ExternalsDisabled).
void InitExternalFunctions();
