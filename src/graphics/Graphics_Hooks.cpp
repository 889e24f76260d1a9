#include "graphics/Graphics_Hooks.h"

#include <chrono>
#include <thread>

#include "core/Console.h"
#include "core/Process.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Surface.h"
#include "platform/GlDevice.h"

namespace {

void NoOp() {}

void BindNoTexture(int32_t stage, TextureRecord*) {
    if (g_D3D.device && stage >= 0 && stage < 8)
        g_D3D.device->SetTexture(static_cast<uint32_t>(stage), nullptr);
}

// Stage 0 modulates the texture by the vertex colour, or shows the texture alone.
void SetStageZeroBlending(bool textured) {
    Device* device = g_D3D.device;
    if (!device) return;
    if (textured) {
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    } else {
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    }
}

TextureRecord* NoWhiteTexture(int32_t* id) {
    *id = -1;
    return nullptr;
}

void FreeNothing(int32_t) {}

bool NoPointer(float* x, float* y) {
    *x = *y = -1.0f;
    return false;
}

void NoAudioView(int32_t) {}


int64_t SteadyMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void SleepMicros(int64_t micros) {
    if (micros <= 0) return;
    std::this_thread::sleep_for(std::chrono::microseconds(micros < 3000000 ? micros : 3000000));
}

bool Yes() {
    return true;
}
bool No() {
    return false;
}

void PrintMessage(const char* text) {
    ErrorConsole.Output("%s\n", text);
}
const char* NoName() {
    return "";
}

void EndWithError(const char* text) {
    ErrorConsole.Output("%s\n", text);
    Process_Exit(1);
}

void ReportError(const char* text, bool fatal) {
    ErrorConsole.Output("ERROR!!! :: %s\n", text);
    if (fatal) Process_Exit(1);
}

HRESULT OpenGlDevice(void* window, GpuPresentParameters* params, uint32_t, Device** device) {
    return GlDevice_Create(window, params, device);
}

void ExitProcess(int32_t code) {
    Process_Exit(code);
}

}  // namespace

constexpr GR_Hooks kDefaultHooks = {
    .setTexture = BindNoTexture,
    .setTextureBlending = SetStageZeroBlending,
    .textureFreeTable = NoOp,
    .createWhiteTexture = NoWhiteTexture,
    .freeTexture = FreeNothing,
    .targetPopAll = NoOp,
    .targetUnwindForEndScene = NoOp,
    .surfaceReleaseAll = GR_Surface_Release_All,
    .overlayPointer = NoPointer,
    .overlayAudioView = NoAudioView,
    .drawingEnabled = Yes,
    .timeMicros = SteadyMicros,
    .wait = SleepMicros,
    .processMessages = NoOp,
    .applicationActive = Yes,
    .showMessage = PrintMessage,
    .displayName = NoName,
    .layerMode = No,
    .runtimeError = EndWithError,
    .errorReport = ReportError,
    .compositorAvailable = Yes,
    .createDevice = OpenGlDevice,
    .exitProcess = ExitProcess,
};

GR_Hooks g_GRHooks = kDefaultHooks;

void GR_Hooks_Reset() {
    g_GRHooks = kDefaultHooks;
}
