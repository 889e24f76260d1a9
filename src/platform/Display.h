// The displays (adapters) of the machine and their modes. With the video subsystem up they
// come from SDL; an off-screen run sees one virtual display instead.
#pragma once

#include <cstdint>
#include <string>

struct DisplayModeDesc {
    int32_t width, height, bitsPerPixel, refreshRate;
};

struct DisplayAdapterDesc {
    std::string description;
    std::string deviceName;
    int32_t x, y, width, height, bitsPerPixel, refreshRate;
    bool interlaced;
};

int32_t Display_AdapterCount();
// False for an adapter that does not exist.
bool Display_GetAdapter(int32_t adapter, DisplayAdapterDesc* out);
// The adapter's modes in order, index 0 up; false past the last.
bool Display_GetMode(int32_t adapter, int32_t index, DisplayModeDesc* out);

// The desktop mode of the virtual display (1920 x 1080, 32 bits, 60 Hz until set).
void Display_SetVirtualMode(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t refreshRate);

// The first display's dots per inch; false (outputs untouched) when the system does not say,
// as with the virtual display.
bool Display_GetDPI(float* x, float* y);

// Pointer position on the desktop.
void Display_GetCursor(int32_t* x, int32_t* y);
void Display_SetCursor(int32_t x, int32_t y);
