// The camera and view built-ins: cameras made, destroyed, selected, read and written by id,
// and the port, visibility, surface and camera of the current room's eight views.
#pragma once

void InitCameraFunctions();
