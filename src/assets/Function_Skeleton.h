// The skeleton built-ins (skeleton_* and draw_skeleton*).
#pragma once

// Registers their rows.
void InitSkeletonFunctions();
