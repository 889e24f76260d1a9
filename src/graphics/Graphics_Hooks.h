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
    // The overlay's pointer: device 0's position scaled to the room (or view 0's port) into
    // the outputs; true while its button 1 is held (default: no pointer, never held).
    bool (*overlayPointer)(float* x, float* y);
    // Draws the audio system's debug view 0 or 1 over the frame (default: nothing).
    void (*overlayAudioView)(int32_t view);
    // False in the runner's no-drawing mode.
    bool (*drawingEnabled)();

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
