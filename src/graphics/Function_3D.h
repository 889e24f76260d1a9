// The script face of the 3-D layer: the d3d_* and matrix built-ins.
#pragma once

// Adds the rows of the 3-D built-ins to the built-in table; which rows exist depends on the
// game header's major version.
void Init3DFunctions();
