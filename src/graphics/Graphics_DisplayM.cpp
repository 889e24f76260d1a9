#include "graphics/Graphics_DisplayM.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "graphics/GPUState.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/ShaderM.h"
#include "graphics/Buffer_Vertex.h"
#include "platform/Clock.h"
#include "platform/Display.h"
#include "platform/HostOS.h"
#include "platform/WindowOps.h"
#include "core/ProfilerScope.h"
#include "io/Profiler.h"
#include "graphics/Graphics_Overlay.h"

GRDeviceState g_D3D;
int32_t Run_ResetCountdown = 0;

namespace {

void CopyText(char (&target)[512], const std::string& text) {
    std::strncpy(target, text.c_str(), sizeof target - 1);
    target[sizeof target - 1] = '\0';
}

uint32_t PresentationInterval() {
    if (g_D3D.alternateSync) return D3DPRESENT_INTERVAL_ONE;
    return g_D3D.vsync ? D3DPRESENT_INTERVAL_DEFAULT : D3DPRESENT_INTERVAL_IMMEDIATE;
}

void FreeAdapters() {
    for (int32_t i = 0; i < g_D3D.adapterCount; ++i) MEM_FREE(g_D3D.adapters[i].modes);
    MEM_FREE(g_D3D.adapters);
    g_D3D.adapters = nullptr;
    g_D3D.adapterCount = 0;
}

void FillModes(AdapterInfo* info, int32_t adapter) {
    auto wanted = [](const DisplayModeDesc& mode) {
        return mode.bitsPerPixel == 16 || mode.bitsPerPixel == 32;
    };
    DisplayModeDesc mode;
    int32_t count = 0;
    for (int32_t index = 0; Display_GetMode(adapter, index, &mode); ++index) count += wanted(mode);
    info->modeCount = count;
    info->modes = static_cast<DisplayModeEntry*>(MEM_ALLOC(sizeof(DisplayModeEntry) * std::max(count, 1)));
    int32_t filled = 0;
    for (int32_t index = 0; filled < count && Display_GetMode(adapter, index, &mode); ++index) {
        if (!wanted(mode)) continue;
        info->modes[filled++] = {static_cast<uint16_t>(mode.width),
                                 static_cast<uint16_t>(mode.height),
                                 static_cast<uint8_t>(mode.bitsPerPixel),
                                 static_cast<uint8_t>(std::clamp(mode.refreshRate, 0, 255)),
                                 static_cast<uint16_t>(index),
                                 adapter};
    }
}

// Tries the device with the present parameters as they stand.
bool TryCreate(uint32_t behaviour) {
    Device* device = nullptr;
    const HRESULT result = g_GRHooks.createDevice(g_D3D.window, &g_D3D.presentParams, behaviour, &device);
    if (FAILED(result) || !device) return false;
    g_D3D.device = device;
    return true;
}

const char* VertexProcessingName(uint32_t behaviour) {
    return (behaviour & D3DCREATE_SOFTWARE_VERTEXPROCESSING) ? "Software vertex processing"
                                                             : "Hardware vertex processing";
}

HRESULT ResetWith(GpuPresentParameters& params) {
    return g_D3D.device->Reset(&params);
}

void PacePresent() {
    float refresh = 16666.666f;
    if (g_D3D.adapterCount > 0 && g_D3D.adapters[0].desktopRefresh > 0) {
        refresh = 1000000.0f / static_cast<float>(g_D3D.adapters[0].desktopRefresh);
        if (g_D3D.adapters[0].interlaced) refresh /= 2;
    }
    g_D3D.previousPresentTime = g_D3D.lastPresentTime;
    const int64_t now = g_GRHooks.timeMicros();
    if (g_D3D.lastPresentTime == -1) g_D3D.lastPresentTime = now;
    const int64_t target = 1000000 / g_D3D.targetFrameRate;
    const double wait = static_cast<double>(target) - 0.9f * refresh -
                        static_cast<double>(now - g_D3D.lastPresentTime) +
                        static_cast<double>(g_D3D.pacingBalance);
    g_GRHooks.wait(std::clamp<int64_t>(static_cast<int64_t>(wait), 0, 1000000));
    GpuRasterStatus status{};
    while (SUCCEEDED(g_D3D.device->GetRasterStatus(&status)) && !status.InVBlank) {
    }
    g_D3D.lastPresentTime = g_GRHooks.timeMicros();
    if (g_D3D.previousPresentTime != -1) {
        const int64_t bound = static_cast<int64_t>(refresh);
        g_D3D.pacingBalance += target - (g_D3D.lastPresentTime - g_D3D.previousPresentTime);
        g_D3D.pacingBalance = std::clamp(g_D3D.pacingBalance, -bound, bound);
    }
}

bool PendingSize() {
    return g_D3D.pendingWidth != -1 || g_D3D.pendingHeight != -1;
}

// A minimised window asks for a size without pixels: nothing to present into.
bool PendingSizeEmpty() {
    return PendingSize() && (g_D3D.pendingWidth <= 0 || g_D3D.pendingHeight <= 0);
}

void CentreWindow(int32_t width, int32_t height) {
    const int32_t left = (Display_Get_Width() - width) / 2;
    const int32_t top = (Display_Get_Height() - height) / 2;
    Window_SetClientRect(g_D3D.window, left, top, width, height);
}

}  // namespace

void GR_D3D_Apply_Reset_Countdown() {
    if (Run_ResetCountdown > 1) {
        GR_D3D_Check_Window_Size();
        --Run_ResetCountdown;
    } else if (Run_ResetCountdown == 1) {
        GR_D3D_Reset();
        Run_ResetCountdown = 0;
    }
}

bool GR_D3D_Init(void* window, int32_t width, int32_t height, uint32_t flags) {
    int32_t clientWidth = width, clientHeight = height;
    Window_GetClientSize(window, &clientWidth, &clientHeight);
    g_D3D.renderWidth = std::min(width, clientWidth);
    g_D3D.renderHeight = std::min(height, clientHeight);
    const int32_t depth = Display_Get_Colour_Depth();
    if (depth != 16 && depth != 32) {
        g_GRHooks.showMessage(
            "This program requires 16-bit (High Color) or 32-bit (Full Color) mode. Please change this in "
            "your "
            "display properties and run again.");
        return false;
    }
    const bool created = GR_D3D_Create_Device(window, g_D3D.renderWidth, g_D3D.renderHeight, flags);
    GR_D3D_Set_Matrix(GR_MATRIX_WORLD, Matrix_Identity);
    g_GRHooks.textureFreeTable();
    GPUState_Init(&g_GPUState);
    GR_D3D_Restore_State();
    GR_D3D_Clear(0, 1.0f, 0, 7);
    if (g_D3D.device) {
        GraphicsFlush();
        GR_Set_Viewport(0, 0, g_D3D.backBufferWidth, g_D3D.backBufferHeight);
    }
    GR_D3D_Set_View_Projection(0, 0, static_cast<float>(g_D3D.backBufferWidth),
                               static_cast<float>(g_D3D.backBufferHeight), 0);
    g_D3D.sceneDepth = 0;
    Overlay_Init();
    if (g_D3D.whiteTextureId < 0) {
        int32_t id = -1;
        TextureRecord* record = g_GRHooks.createWhiteTexture(&id);
        g_D3D.whiteTextureId = id;
        g_D3D.whiteTexture = record;
    }
    return created;
}

bool GR_D3D_Create_Device(void* window, int32_t width, int32_t height, uint32_t flags) {
    g_D3D.window = window;
    g_D3D.headerFlags = flags;
    if (g_GRHooks.compositorAvailable()) {
        DebugConsole.Output("Enable DwmEnableMMCSS\n");
        g_D3D.plainInterface = false;
    } else if (g_D3D.plainInterface) {
        g_D3D.alternateSync = false;
    }
    g_D3D.vsync = (flags & GR_FLAG_VSYNC) != 0;
    const uint32_t interval = PresentationInterval();
    g_D3D.interpolation = (flags & GR_FLAG_INTERPOLATE) != 0;
    std::fill(std::begin(g_TextureInterpolation), std::end(g_TextureInterpolation),
              g_D3D.interpolation ? 1 : 0);
    g_D3D.softwareVertexProcessing =
        (flags & GR_FLAG_SOFTWARE_VERTICES) || g_Switches.softwareVertexProcessing;
    uint32_t behaviour = (g_D3D.softwareVertexProcessing ? D3DCREATE_SOFTWARE_VERTEXPROCESSING
                                                         : D3DCREATE_HARDWARE_VERTEXPROCESSING) |
                         D3DCREATE_FPU_PRESERVE;
    g_D3D.keepAspect = (flags & GR_FLAG_KEEP_ASPECT) != 0;
    if (g_D3D.plainInterface) {
        DebugConsole.Output("Create D3D9 interface\n");
        g_D3D.resourcePool = D3DPOOL_MANAGED;
    } else {
        DebugConsole.Output("Create D3D9Ex interface\n");
        g_D3D.resourcePool = D3DPOOL_DEFAULT;
    }
    g_D3D.interfaceCreated = true;

    DebugConsole.Output("Enumerate Adapters\n");
    GR_D3D_Enumerate_Adapters();
    GR_D3D_Check_Adapter();
    GR_D3D_Pick_Display_Mode(width, height);  // one GPU serves every display here

    g_D3D.fullscreen = (flags & GR_FLAG_FULLSCREEN) != 0;
    if (g_D3D.fullscreen && g_D3D.adapterCount > 0) {
        width = g_D3D.adapters[0].desktopWidth;
        height = g_D3D.adapters[0].desktopHeight;
    }
    DebugConsole.Output("Selected Resolution: %dx%d\n", width, height);
    DebugConsole.Output("Prepare to create device\n");

    GpuPresentParameters& params = g_D3D.presentParams;
    params = GpuPresentParameters{};
    params.BackBufferWidth = static_cast<uint32_t>(std::max(width, 1));
    params.BackBufferHeight = static_cast<uint32_t>(std::max(height, 1));
    params.BackBufferFormat = D3DFMT_A8R8G8B8;
    params.BackBufferCount = g_D3D.alternateSync ? 2 : 1;
    params.SwapEffect = g_D3D.alternateSync ? D3DSWAPEFFECT_FLIPEX : D3DSWAPEFFECT_COPY;
    g_D3D.resetSwapEffect = D3DSWAPEFFECT_COPY;
    params.MultiSampleType = 0;
    params.Windowed = !g_D3D.fullscreen;
    params.EnableAutoDepthStencil = true;
    params.AutoDepthStencilFormat = D3DFMT_D24S8;
    params.PresentationInterval = interval;
    if (g_D3D.fullscreen) Window_SetFullscreen(window, true);

    DebugConsole.Output("Creating D3D device - ARGB=32bit, D24S8, SwapEffect=Copy, %s\n",
                        VertexProcessingName(behaviour));
    bool created = TryCreate(behaviour);
    if (!created && g_D3D.alternateSync) {
        g_D3D.alternateSync = false;
        params.PresentationInterval = PresentationInterval();
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_COPY;
        created = TryCreate(behaviour);
    }
    if (!created) {
        params.AutoDepthStencilFormat = D3DFMT_D16;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        DebugConsole.Output(
            "Creating D3D device - ARGB=32bit, D16, SwapEffect=Discard, Software Vertex Processing\n");
        behaviour = D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE;
        created = TryCreate(behaviour);
    }
    if (!created) {
        GR_D3D_Message_Box(
            "Failed to create Direct3D Device. Please check that your drivers are up-to-date. Alternatively "
            "try "
            "switching your computer to a lower resolution to reduce graphics memory requirements.");
        g_GRHooks.exitProcess(-1);
        return false;
    }

    DebugConsole.Output("Creating screen render target\n");
    g_D3D.backBufferWidth = static_cast<int32_t>(params.BackBufferWidth);
    g_D3D.backBufferHeight = static_cast<int32_t>(params.BackBufferHeight);
    DebugConsole.Output("Get Device Caps\n");
    g_D3D.device->GetDeviceCaps(&g_D3D.caps);
    g_D3D.multisampleMask = 0;
    for (uint32_t samples : {2u, 4u, 8u, 16u}) {
        if (SUCCEEDED(g_D3D.device->CheckDeviceMultiSampleType(samples))) g_D3D.multisampleMask |= samples;
    }
    g_D3D.renderTargetLimit = std::min(g_D3D.caps.NumSimultaneousRTs, 4u);
    g_D3D.pendingWidth = g_D3D.pendingHeight = -1;
    DebugConsole.Output("Graphics initialisation end...\n");
    return true;
}

void GR_D3D_Enumerate_Adapters() {
    FreeAdapters();
    const int32_t count = Display_AdapterCount();
    g_D3D.adapters = static_cast<AdapterInfo*>(MEM_ALLOC(sizeof(AdapterInfo) * std::max(count, 1)));
    int32_t filled = 0;
    for (int32_t ordinal = 0; ordinal < count; ++ordinal) {
        DisplayAdapterDesc desc;
        if (!Display_GetAdapter(ordinal, &desc)) continue;
        AdapterInfo* info = &g_D3D.adapters[filled++];
        CopyText(info->description, desc.description);
        CopyText(info->deviceName, desc.deviceName);
        info->caps.DeviceType = D3DDEVTYPE_HAL;
        info->groupSize = 1;
        info->caps.NumberOfAdaptersInGroup = 1;
        info->ordinal = ordinal;
        info->monitor = ordinal;
        info->desktopX = desc.x;
        info->desktopY = desc.y;
        info->desktopWidth = desc.width;
        info->desktopHeight = desc.height;
        info->desktopBits = desc.bitsPerPixel;
        info->desktopRefresh = desc.refreshRate;
        info->interlaced = desc.interlaced;
        FillModes(info, ordinal);
        if (info->desktopWidth < info->desktopHeight) info->flags |= 1;
        if (info->groupSize == 0) {
            info->flags |= 2;
            info->masterOrdinal = static_cast<int32_t>(info->caps.MasterAdapterOrdinal);
        }
    }
    g_D3D.adapterCount = filled;
    for (int32_t i = 0; i < filled; ++i) {
        AdapterInfo* member = &g_D3D.adapters[i];
        if (!(member->flags & 2)) continue;
        for (int32_t j = 0; j < filled; ++j) {
            AdapterInfo* master = &g_D3D.adapters[j];
            if (master->ordinal != member->masterOrdinal) continue;
            member->groupMaster = master;
            member->nextInGroup = master->nextInGroup;
            master->nextInGroup = member;
            break;
        }
    }
}

DisplayModeEntry GR_D3D_Pick_Display_Mode(int32_t width, int32_t height) {
    DisplayModeEntry result = {};
    if (g_D3D.adapterCount == 0) return result;
    const AdapterInfo& adapter = g_D3D.adapters[0];
    bool found = false;
    int32_t bestHeightExcess = INT32_MAX, bestWidthExcess = INT32_MAX;
    for (int32_t i = 0; i < adapter.modeCount; ++i) {
        const DisplayModeEntry& mode = adapter.modes[i];
        if (mode.height < height) continue;
        const int32_t heightExcess = mode.height - height;
        if (heightExcess < bestHeightExcess) {
            result = mode;
            found = true;
            if (mode.width >= width && mode.width - width < bestWidthExcess) {
                bestHeightExcess = heightExcess;
                bestWidthExcess = mode.width - width;
            }
        }
    }
    if (found) return result;
    const double area = static_cast<double>(width) * height;
    double bestMismatch = 0;
    for (int32_t i = 0; i < adapter.modeCount; ++i) {
        const DisplayModeEntry& mode = adapter.modes[i];
        const double mismatch = std::fabs(1.0 - static_cast<double>(mode.width) * mode.height / area);
        if (!found || mismatch < bestMismatch) {
            result = mode;
            bestMismatch = mismatch;
            found = true;
        } else if (mismatch == bestMismatch) {
            if (mode.bitsPerPixel == 32 && result.bitsPerPixel != 32) {
                result = mode;
            } else if (mode.bitsPerPixel == 32 && result.bitsPerPixel == 32 &&
                       std::abs(mode.refreshRate - 60) < std::abs(result.refreshRate - 60)) {
                result = mode;
            }
        }
    }
    return result;
}

void GR_D3D_Check_Adapter() {
    if (g_Switches.vanillaGfx || g_D3D.adapterCheckOff || g_D3D.adapterCount == 0) return;
    std::string description = g_D3D.adapters[0].description;
    for (char& c : description) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (description.find("intel") != std::string::npos) {
        g_D3D.manualClears = g_D3D.discardFlag = true;
        DebugConsole.Output("Switching to manual clears\n");
    }
}

bool Start_Frame() {
    if (!g_D3D.device) return false;
    const bool profiled = g_ProfilerActive;
    if (profiled) g_Profiler.Begin(PROFILE_SECTION, PROFILE_START_FRAME);
    GR_D3D_Begin_Scene();
    if (profiled) g_Profiler.End();
    return true;
}

namespace {

// With HV_FIRST_FRAME_STAMP set, the end of the first present is written to standard error as
// "first_frame_monotonic SECONDS" (the monotonic clock): start-up benches time exec to first frame.
void StampFirstFrame() {
    static bool done = false;
    if (done) return;
    done = true;
    std::string wanted;
    if (!HostOS_GetEnv("HV_FIRST_FRAME_STAMP", wanted) || wanted.empty()) return;
    std::fprintf(stderr, "first_frame_monotonic %.6f\n",
                 static_cast<double>(PlatformClock_Microseconds()) * 1e-6);
}

}  // namespace

bool End_Frame(bool present) {
    if (!g_D3D.device) return false;
    const bool profiled = g_ProfilerActive;
    if (profiled) g_Profiler.Begin(PROFILE_SECTION, PROFILE_END_FRAME);
    GR_D3D_End_Scene();
    const int64_t sceneEnd = g_GRHooks.timeMicros();
    if (present) GR_D3D_Present();
    g_D3D.presentDuration = static_cast<uint64_t>(std::max<int64_t>(g_GRHooks.timeMicros() - sceneEnd, 0));
    if (profiled) g_Profiler.End();
    return true;
}

void GR_D3D_Begin_Scene() {
    if (!g_D3D.device || g_D3D.sceneDepth != 0) return;
    const HRESULT level = g_D3D.device->TestCooperativeLevel();
    if (level == D3DERR_DEVICENOTRESET || (level == D3DERR_DEVICELOST && !g_D3D.plainInterface))
        GR_D3D_Reset();
    g_D3D.device->BeginScene();
    g_GRHooks.targetPopAll();
    if (g_D3D.window) {
        Window_GetClientSize(g_D3D.window, &g_D3D.clientWidth, &g_D3D.clientHeight);
    } else {
        g_D3D.clientWidth = g_D3D.backBufferWidth;
        g_D3D.clientHeight = g_D3D.backBufferHeight;
    }
    Overlay_Frame_Begin();
    g_D3D.sceneDepth = 1;
}

void GR_D3D_End_Scene() {
    if (!g_D3D.device || g_D3D.sceneDepth != 1) return;
    GraphicsFlush();
    Overlay_Draw();
    g_D3D.sceneDepth = 0;
    GraphicsFlush();
    g_GRHooks.targetUnwindForEndScene();
    GraphicsFlush();
    GR_Batch_End_Frame();
    g_D3D.device->EndScene();
    g_GRHooks.targetPopAll();
}

bool GR_D3D_Present() {
    GR_Window_Show_First();
    if (!g_D3D.device) return false;
    // A frame rate of 0 has no period to pace to.
    if (g_D3D.alternateSync && g_D3D.vsync && Run_ResetCountdown != 1 && g_D3D.targetFrameRate > 0)
        PacePresent();
    const bool presented = SUCCEEDED(g_D3D.device->Present());
    if (presented) StampFirstFrame();
    return presented;
}

bool GR_Window_Show_First() {
    if (!g_D3D.firstShowPending) return false;
    const int times = (g_D3D.headerFlags & GR_FLAG_BORDERLESS) ? 1 : 10;
    for (int i = 0; i < times; ++i) {
        Window_Show(g_D3D.window);
        g_GRHooks.processMessages();
    }
    g_D3D.firstShowPending = false;
    return true;
}

bool GR_D3D_Reset() {
    if (PendingSizeEmpty()) return false;
    g_GRHooks.surfaceReleaseAll();
    if (!GR_D3D_Reset_Device()) return false;
    GR_D3D_Clear(0, 1.0f, 0, 7);
    GR_D3D_Restore_State();
    return true;
}

bool GR_D3D_Reset_Device() {
    if (!g_D3D.fullscreen && g_D3D.rememberedWidth != -1) {
        if (!PendingSize()) {
            g_D3D.pendingWidth = g_D3D.rememberedWidth;
            g_D3D.pendingHeight = g_D3D.rememberedHeight;
        }
        g_D3D.rememberedWidth = g_D3D.rememberedHeight = -1;
    }
    g_GRHooks.targetPopAll();
    if (!g_D3D.device) return false;
    GpuDisplayMode mode;
    if (FAILED(g_D3D.device->GetDisplayMode(&mode))) return false;
    if (FAILED(g_D3D.device->CheckDeviceMultiSampleType(g_D3D.pendingMultisample))) {
        g_D3D.pendingMultisample = 0;
        g_D3D.resetSwapEffect = D3DSWAPEFFECT_COPY;
    }
    GpuPresentParameters& params = g_D3D.presentParams;
    params.PresentationInterval = PresentationInterval();
    const bool pending = PendingSize();
    int32_t width = pending ? g_D3D.pendingWidth : g_D3D.backBufferWidth;
    int32_t height = pending ? g_D3D.pendingHeight : g_D3D.backBufferHeight;
    if (g_D3D.fullscreen) {
        Window_SetFullscreen(g_D3D.window, true);
        params.Windowed = false;
        if (g_D3D.adapterCount > 0) {
            width = g_D3D.backBufferWidth = g_D3D.adapters[0].desktopWidth;
            height = g_D3D.backBufferHeight = g_D3D.adapters[0].desktopHeight;
        }
    } else {
        Window_SetFullscreen(g_D3D.window, false);
        params.Windowed = true;
        if (!pending) {
            width = g_D3D.clientWidth = g_D3D.restoreWidth;
            height = g_D3D.clientHeight = g_D3D.restoreHeight;
        }
    }
    params.BackBufferWidth = static_cast<uint32_t>(std::max(width, 1));
    params.BackBufferHeight = static_cast<uint32_t>(std::max(height, 1));
    params.BackBufferCount = g_D3D.alternateSync ? 2 : 1;
    params.SwapEffect = g_D3D.alternateSync ? D3DSWAPEFFECT_FLIPEX : g_D3D.resetSwapEffect;
    params.MultiSampleType = g_D3D.pendingMultisample;
    HRESULT result = ResetWith(params);
    if (FAILED(result)) {
        DebugConsole.Output("Reset() Failed: %X\n", static_cast<uint32_t>(result));
        if (g_D3D.alternateSync) {
            g_D3D.alternateSync = false;
            params.PresentationInterval = PresentationInterval();
            params.SwapEffect = g_D3D.resetSwapEffect;
            params.BackBufferCount = 1;
            result = ResetWith(params);
        }
    }
    if (FAILED(result)) {
        g_D3D.pendingMultisample = 0;
        g_D3D.resetSwapEffect = params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.MultiSampleType = 0;
        DebugConsole.Output("Change SWAP+Multisample type effect, try Reset() again\n");
        if (FAILED(ResetWith(params))) return false;
    }
    if (pending) {
        if (!g_D3D.fullscreen) {
            g_D3D.backBufferWidth = g_D3D.pendingWidth;
            g_D3D.backBufferHeight = g_D3D.pendingHeight;
        }
        GR_D3D_Resize(g_D3D.backBufferWidth, g_D3D.backBufferHeight);
    }
    if (!g_D3D.fullscreen) {
        if (pending) {
            g_D3D.restoreWidth = g_D3D.pendingWidth;
            g_D3D.restoreHeight = g_D3D.pendingHeight;
        }
        width = g_D3D.restoreWidth;
        height = g_D3D.restoreHeight;
        g_D3D.clientWidth = g_D3D.backBufferWidth = width;
        g_D3D.clientHeight = g_D3D.backBufferHeight = height;
        if (!g_D3D.skipCentring) {
            CentreWindow(width, height);
            GR_D3D_Resize(width, height);
        }
    } else if (pending) {
        g_D3D.restoreWidth = g_D3D.pendingWidth;
        g_D3D.restoreHeight = g_D3D.pendingHeight;
    }
    g_D3D.skipCentring = false;
    GR_D3D_Clear(0, 1.0f, 0, 7);
    g_D3D.pendingWidth = g_D3D.pendingHeight = -1;
    GR_D3D_Restore_State();
    return true;
}

void GR_D3D_Restore_State() {
    if (!g_D3D.device) return;
    g_Batch.textureStage = 0;
    GR_D3D_Normalize_Normals();
    GPUState_SetRenderState(&g_GPUState, GPU_RS_BLENDENABLE, 1);
    GPUState_SetRenderState(&g_GPUState, GPU_RS_ZTESTENABLE, g_3DMode && g_HiddenSurface ? 1 : 0);
    const uint32_t argb = g_FogColour;
    const int32_t bgr = static_cast<int32_t>((argb & 0xFF) << 16 | (argb & 0xFF00) | (argb >> 16 & 0xFF));
    GR_Set_Fog(g_FogOn, bgr, static_cast<int32_t>(g_FogStart), static_cast<int32_t>(g_FogEnd));
    g_GRHooks.setTexture(0, nullptr);
    GR_Texture_Set_Interpolation(g_D3D.interpolation);
    GraphicsFlush();
    g_GRHooks.setTextureBlending(true);
    GR_Texture_Set_Repeat(g_TextureRepeat[0] != 0);
    GPUState_ApplyAll(&g_GPUState);
}

void GR_D3D_Check_Window_Size() {
    GR_D3D_Apply_Window_Size();
}

void GR_D3D_Apply_Window_Size() {
    if (g_D3D.fullscreen || !PendingSize() || PendingSizeEmpty()) return;
    Window_SetClientSize(g_D3D.window, g_D3D.pendingWidth, g_D3D.pendingHeight);
    GR_D3D_Resize(g_D3D.pendingWidth, g_D3D.pendingHeight);
}

void GR_D3D_Resize(int32_t width, int32_t height) {
    width = std::min(width, Display_Get_Width());
    height = std::min(height, Display_Get_Height());
    if (width != g_D3D.renderWidth || height != g_D3D.renderHeight) {
        g_D3D.renderWidth = width;
        g_D3D.renderHeight = height;
        if (g_D3D.device) {
            GraphicsFlush();
            GR_Set_Viewport(0, 0, width, height);
        }
    }
    GR_D3D_Set_View_Projection(0, 0, static_cast<float>(width), static_cast<float>(height), 0);
}

void GR_D3D_Get_Render_Size(int32_t* width, int32_t* height) {
    *width = g_D3D.renderWidth;
    *height = g_D3D.renderHeight;
}

void GR_D3D_Prepare_For_Dialog() {
    GR_Window_Show_First();
    if (!g_D3D.fullscreen) return;
    g_D3D.fullscreen = false;
    const bool sceneOpen = g_D3D.sceneDepth == 1;
    if (sceneOpen) End_Frame(false);
    GR_D3D_Reset_Device();
    if (sceneOpen) Start_Frame();
}

void GR_D3D_Set_Multisample(int32_t samples) {
    if (samples == 2 || samples == 4 || samples == 8 || samples == 16) {
        g_D3D.pendingMultisample = static_cast<uint32_t>(samples);
        g_D3D.resetSwapEffect = D3DSWAPEFFECT_DISCARD;
    } else {
        g_D3D.pendingMultisample = 0;
        g_D3D.resetSwapEffect = D3DSWAPEFFECT_COPY;
    }
}

void GR_D3D_Set_VSync(bool on) {
    g_D3D.vsync = on;
}

bool GR_D3D_Shader_Version() {
    return (g_D3D.caps.VertexShaderVersion & 0xFFFF) >= 0x200 &&
           (g_D3D.caps.PixelShaderVersion & 0xFFFF) >= 0x200;
}

void GR_D3D_Shutdown() {
    g_GRHooks.freeTexture(g_D3D.whiteTextureId);
    g_D3D.whiteTextureId = -1;
    g_D3D.whiteTexture = nullptr;
    Overlay_Shutdown();
    g_GRHooks.surfaceReleaseAll();
    VertexBuffer_Release_All_Device();
    Shader_Release_All_Device();
    GR_Batch_Free_All();
    GR_D3D_Release();
}

void GR_D3D_Release() {
    g_GRHooks.targetPopAll();
    if (g_D3D.device) {
        while (g_D3D.device->Release() > 0) {
        }
        g_D3D.device = nullptr;
    }
    g_D3D.interfaceCreated = false;
    g_D3D.rememberedWidth = g_D3D.rememberedHeight = -1;
}

void GR_D3D_Print_Fps_Stats() {
    int32_t minimum = 0, maximum = 0, average = 0;
    Overlay_Fps_Stats(&minimum, &maximum, &average);
    const std::string dashes(63, '-');
    DebugConsole.Output("%s\n", dashes.c_str());
    DebugConsole.Output("minFPS, maxFPS, avgFPS\n");
    DebugConsole.Output("%d, %d, %d\n", minimum, maximum, average);
    DebugConsole.Output("%s\n", dashes.c_str());
}

void GR_D3D_Prepare_Hook() {}

void GR_D3D_Message_Box(const char* text) {
    g_GRHooks.showMessage(text);
}

// ---- display back-ends -----------------------------------------------------------------

namespace {

bool DesktopMode(DisplayAdapterDesc* desc) {
    return Display_GetAdapter(0, desc);
}

}  // namespace

int32_t Display_Get_Width() {
    DisplayAdapterDesc desc;
    return DesktopMode(&desc) ? desc.width : 0;
}

int32_t Display_Get_Height() {
    DisplayAdapterDesc desc;
    return DesktopMode(&desc) ? desc.height : 0;
}

int32_t Display_Get_Frequency() {
    DisplayAdapterDesc desc;
    return DesktopMode(&desc) ? desc.refreshRate : -1;
}

int32_t Display_Get_Colour_Depth() {
    DisplayAdapterDesc desc;
    return DesktopMode(&desc) ? desc.bitsPerPixel : -1;
}

bool Display_Test_All(int32_t width, int32_t height, int32_t frequency, int32_t bits) {
    DisplayAdapterDesc desc;
    if (!DesktopMode(&desc)) return false;
    return (width <= 0 || width == desc.width) && (height <= 0 || height == desc.height) &&
           (frequency <= 0 || frequency == desc.refreshRate) && (bits <= 0 || bits == desc.bitsPerPixel);
}

bool Display_Set_All(int32_t width, int32_t height, int32_t frequency, int32_t bits) {
    // The desktop keeps its mode; asking for the one it has succeeds.
    return Display_Test_All(width, height, frequency, bits);
}

bool Display_Set_Size(int32_t width, int32_t height) {
    return Display_Set_All(width, height, 0, 0);
}
bool Display_Set_Frequency(int32_t frequency) {
    return Display_Set_All(0, 0, frequency, 0);
}
bool Display_Set_Colour_Depth(int32_t bits) {
    return Display_Set_All(0, 0, 0, bits);
}

int32_t Display_Mouse_Get_X() {
    int32_t x = 0, y = 0;
    Display_GetCursor(&x, &y);
    return x;
}

int32_t Display_Mouse_Get_Y() {
    int32_t x = 0, y = 0;
    Display_GetCursor(&x, &y);
    return y;
}

void Display_Mouse_Set(int32_t x, int32_t y) {
    if (g_GRHooks.applicationActive()) Display_SetCursor(x, y);
}
