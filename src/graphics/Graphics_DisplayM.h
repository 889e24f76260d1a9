// The device of the game's window: creation, adapters and display modes, the frame (begin,
// end, present with frame pacing), resets through the reset countdown, window sizes and
// full-screen switches, shutdown, and the display back-ends of the display built-ins.
#pragma once

#include <cstdint>

#include "platform/Device.h"

struct TextureRecord;

struct DisplayModeEntry {
    uint16_t width, height;
    uint8_t bitsPerPixel, refreshRate;
    uint16_t modeNumber;
    int32_t adapterOrdinal;
};

struct AdapterInfo {
    uint32_t flags;  // 1 portrait desktop, 2 not the master of its group
    int32_t groupSize;
    int32_t modeCount;
    GpuCaps caps;
    char description[512];
    char deviceName[512];
    DisplayModeEntry* modes;
    int32_t desktopX, desktopY, desktopWidth, desktopHeight, desktopBits, desktopRefresh;
    bool interlaced;
    int32_t monitor;  // the display's index
    int32_t ordinal;
    int32_t masterOrdinal;
    AdapterInfo* groupMaster;
    AdapterInfo* nextInGroup;
};

// Header flags word bits the layer reads.
constexpr uint32_t GR_FLAG_FULLSCREEN = 1u << 0;
constexpr uint32_t GR_FLAG_VSYNC = 1u << 1;
constexpr uint32_t GR_FLAG_SOFTWARE_VERTICES = 1u << 2;
constexpr uint32_t GR_FLAG_INTERPOLATE = 1u << 3;
constexpr uint32_t GR_FLAG_KEEP_ASPECT = 1u << 4;
constexpr uint32_t GR_FLAG_BORDERLESS = 1u << 14;

struct GRDeviceState {
    Device* device = nullptr;
    void* window = nullptr;  // the SDL window; null off-screen
    bool plainInterface = true;
    bool interfaceCreated = false;
    GpuPresentParameters presentParams;
    uint32_t resourcePool = D3DPOOL_DEFAULT;
    GpuCaps caps = {};
    uint32_t multisampleMask = 0;
    uint32_t renderTargetLimit = 4;
    bool alternateSync = false;
    bool vsync = false;
    bool fullscreen = false;
    bool softwareVertexProcessing = false;
    bool manualClears = false, discardFlag = false;
    bool adapterCheckOff = false;
    bool keepAspect = false;
    bool interpolation = false;
    uint32_t pendingMultisample = 0;
    uint32_t resetSwapEffect = D3DSWAPEFFECT_COPY;
    int32_t renderWidth = 640, renderHeight = 480;
    int32_t backBufferWidth = 640, backBufferHeight = 480;
    int32_t clientWidth = 640, clientHeight = 480;
    int32_t restoreWidth = 640, restoreHeight = 480;
    int32_t rememberedWidth = -1, rememberedHeight = -1;
    int32_t pendingWidth = -1, pendingHeight = -1;
    int32_t sceneDepth = 0;
    bool firstShowPending = true;
    bool skipCentring = false;
    int64_t lastPresentTime = -1, previousPresentTime = -1;
    int64_t pacingBalance = 0;
    uint64_t presentDuration = 0;
    uint32_t headerFlags = 0;
    int32_t targetFrameRate = 60;  // set by the frame loop; Present paces to it
    AdapterInfo* adapters = nullptr;
    int32_t adapterCount = 0;
    int32_t whiteTextureId = -1;
    TextureRecord* whiteTexture = nullptr;
};

extern GRDeviceState g_D3D;

// Frames until a pending window size or full-screen switch is applied (the frame loop's
// countdown): 10 after a user resize, 1 after a programmatic one.
extern int32_t Run_ResetCountdown;
// What the frame loop does with the countdown before Start_Frame: above 1 applies the
// pending window size and counts down, at 1 resets the device and stops.
void GR_D3D_Apply_Reset_Countdown();

bool GR_D3D_Init(void* window, int32_t width, int32_t height, uint32_t flags);
bool GR_D3D_Create_Device(void* window, int32_t width, int32_t height, uint32_t flags);
void GR_D3D_Enumerate_Adapters();
DisplayModeEntry GR_D3D_Pick_Display_Mode(int32_t width, int32_t height);
void GR_D3D_Check_Adapter();
bool Start_Frame();
bool End_Frame(bool present);
void GR_D3D_Begin_Scene();
void GR_D3D_End_Scene();
bool GR_D3D_Present();
bool GR_Window_Show_First();
bool GR_D3D_Reset();
bool GR_D3D_Reset_Device();
void GR_D3D_Restore_State();
void GR_D3D_Check_Window_Size();
void GR_D3D_Apply_Window_Size();
void GR_D3D_Resize(int32_t width, int32_t height);
void GR_D3D_Get_Render_Size(int32_t* width, int32_t* height);
void GR_D3D_Prepare_For_Dialog();
void GR_D3D_Set_Multisample(int32_t samples);
void GR_D3D_Set_VSync(bool on);
bool GR_D3D_Shader_Version();
void GR_D3D_Shutdown();
void GR_D3D_Release();
void GR_D3D_Print_Fps_Stats();
void GR_D3D_Prepare_Hook();
void GR_D3D_Message_Box(const char* text);

// Display back-ends of the display built-ins.
int32_t Display_Get_Width();
int32_t Display_Get_Height();
int32_t Display_Get_Frequency();
int32_t Display_Get_Colour_Depth();
// Only the current mode can be "set": values above 0 must equal it.
bool Display_Test_All(int32_t width, int32_t height, int32_t frequency, int32_t bits);
bool Display_Set_All(int32_t width, int32_t height, int32_t frequency, int32_t bits);
bool Display_Set_Size(int32_t width, int32_t height);
bool Display_Set_Frequency(int32_t frequency);
bool Display_Set_Colour_Depth(int32_t bits);
int32_t Display_Mouse_Get_X();
int32_t Display_Mouse_Get_Y();
void Display_Mouse_Set(int32_t x, int32_t y);
