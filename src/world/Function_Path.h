// The path built-ins: queries, edits and transforms of the path table's paths.
#pragma once

// Registers the path rows in their fixed order.
void InitPathFunctions();
