// Calls the device layer makes into modules that sit beside or above it (textures and the
// render-target stack, surfaces, the overlay, the runner's clock,
// messages and errors). Each slot has a default that does the least harmful thing; the
// module that owns the call puts its function in the slot when it starts.
#pragma once

#include <cstdint>

#include "platform/Device.h"

struct TextureRecord;

struct GR_Hooks {
    // Textures and the render-target stack.
    void (*setTexture)(int32_t stage, TextureRecord* record);  // default: binds no texture
    void (*setTextureBlending)(bool textured);                 // default: sets stage 0 itself
    void (*textureFreeTable)();
    // Makes the 1 x 1 white texture; the record (null when none) and its id through out.
    TextureRecord* (*createWhiteTexture)(int32_t* id);
    void (*freeTexture)(int32_t id);
    void (*targetPopAll)();
    // End of scene: empties the stack without restoring unless exactly one entry is left,
    // then pops that one.
    void (*targetUnwindForEndScene)();

    // Surfaces and the overlay.
    void (*surfaceReleaseAll)();
    void (*overlayInit)();
    void (*overlayFrameBegin)();
    void (*overlayDraw)();
    void (*overlayFpsStats)(int32_t* minimum, int32_t* maximum, int32_t* average);

    // Runner and platform services.
    int64_t (*timeMicros)();
    void (*wait)(int64_t micros);
    void (*processMessages)();
    bool (*applicationActive)();
    void (*showMessage)(const char* text);  // modal message captioned with the game's name
    const char* (*displayName)();
    bool (*layerMode)();                                // header major version 2 or more
    void (*runtimeError)(const char* text);             // fatal; ends the game
    void (*errorReport)(const char* text, bool fatal);  // the script-level report
    void (*profilerBegin)(int32_t kind, int32_t id);
    void (*profilerEnd)();
    // Whether the desktop compositor's scheduling library is present (it picks the
    // extended interface and allows the alternate sync method).
    bool (*compositorAvailable)();
    // Opens the device for the window (null: off-screen).
    HRESULT (*createDevice)(void* window, GpuPresentParameters* params, uint32_t behaviour, Device** device);
    void (*exitProcess)(int32_t code);
};

extern GR_Hooks g_GRHooks;

// Puts every slot back to its default.
void GR_Hooks_Reset();
