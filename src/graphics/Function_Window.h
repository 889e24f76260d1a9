// The window's handle, its device and the application title, as game code reads and sets them.
#pragma once

void InitWindowFunctions();
