// The background rows of the resource built-ins.
#pragma once

// Registers background_exists, the background_get_* queries, creation from colours, gradients,
// files, the screen and surfaces, replacing, duplicating, assigning, deleting, saving, and
// texture prefetch and flush.
void InitBackgroundResourceFunctions();
