// What the frame loop, the event stages and the room transitions ask of the subsystems that
// plug into them: input, motion and collisions, drawing, audio, layers and cameras, physics,
// particles, networking, the debugger and profiler, saved games. Each subsystem fills its
// members at start-up; a member left null is a service that is not there, and the loop does
// without it (input reads as nothing pressed, nothing moves or draws).
#pragma once

#include <cstdint>

class CCode;
class CInstance;
class CLayer;
class CPhysicsWorld;
class CRoom;

enum InputEdge : int32_t {
    INPUT_HELD = 0,      // held now, or pressed during this step
    INPUT_PRESSED = 1,   // went down during this step
    INPUT_RELEASED = 2,  // went up during this step
};

// One legacy joystick's reading.
struct JoystickReading {
    uint32_t x, y;     // 0 .. 65535, centre 32767
    uint32_t buttons;  // bit n-1: button n held
};

struct GameLoopHooks {
    void (*textReset)() = nullptr;              // game end
    void (*gameLoadPerformQueued)() = nullptr;  // GameLoad_PerformQueued

    // --- input ---
    void (*ioStartStep)() = nullptr;      // IO_StartStep
    void (*drawVirtualKeys)() = nullptr;  // Draw_VirtualKeys (room)
    void (*resetVirtualKeys)() = nullptr;
    bool (*keyState)(int32_t key, InputEdge edge) = nullptr;
    bool (*mouseButtonState)(int32_t button, InputEdge edge) = nullptr;  // 1 left, 2 right, 3 middle
    int32_t (*mouseWheel)() = nullptr;                                   // 1 up, -1 down, 0 still (this step)
    void (*mouseRoomPosition)(int32_t* x, int32_t* y) = nullptr;         // device 0, room coordinates
    bool (*windowVisible)() = nullptr;                                   // null reads as visible
    bool (*joystickProbe)(int32_t systemId) = nullptr;                   // present?
    bool (*joystickRead)(int32_t systemId, JoystickReading* out) = nullptr;
    void (*gamepadAnnounceAll)() = nullptr;  // after a restart

    // --- motion, paths and collisions ---
    void (*applyFriction)(CInstance* instance) = nullptr;
    bool (*advancePath)(CInstance* instance) = nullptr;  // true at the path's end
    void (*setPosition)(CInstance* instance, float x, float y) = nullptr;
    bool (*collisionPoint)(CInstance* instance, float x, float y, bool precise) = nullptr;
    void (*handleCollision)() = nullptr;  // HandleCollision
    void (*collisionAddInstance)(CInstance* instance) = nullptr;
    void (*collisionDiscardTree)() = nullptr;  // before a mass removal
    void (*collisionRebuild)() = nullptr;      // after it

    // --- physics ---

    // --- layers, cameras and the room's drawing ---
    void (*buildLayers)(CRoom* room, uint32_t layerListOffset) = nullptr;  // Room_BuildLayers
    void (*copyLayers)(CRoom* to, const CRoom* from) = nullptr;            // Room_CopyLayers
    void (*freeLayers)(CRoom* room) = nullptr;                             // Room_FreeLayers
    void (*startLayers)(CRoom* room) = nullptr;                            // Room_StartLayers
    void (*unlinkLayerElements)(CRoom* room) = nullptr;                    // Room_UnlinkLayerElements
    void (*animateLayers)(CRoom* room) = nullptr;                          // CRoom::AnimateLayers
    void (*layerAddInstance)(CRoom* room, CInstance* instance) = nullptr;
    void (*layerRemoveInstance)(CRoom* room, CInstance* instance) = nullptr;
    void (*layerAttachInstance)(CRoom* room, CLayer* layer, CInstance* instance) = nullptr;
    void (*layerInstanceDepthChanged)(CRoom* room, CInstance* instance) = nullptr;  // after a depth change
    float (*layerDepth)(const CLayer* layer) = nullptr;
    int32_t (*layerForInstanceId)(CRoom* room, int32_t id) = nullptr;  // -1 when none
    void (*fitWindowSize)() = nullptr;                                 // Room_FitWindowSize
    void (*cameraCreateScriptInstance)() = nullptr;
    void (*cameraFreeScriptInstance)() = nullptr;
    int32_t (*cameraFromView)(CRoom* room, int32_t view) = nullptr;  // a new camera's id
    int32_t (*cameraClone)(int32_t cameraId) = nullptr;              // -1 when none
    void (*cameraDestroy)(int32_t cameraId) = nullptr;
    // The rectangle a camera shows; false when no camera has the id.
    bool (*cameraRectangle)(int32_t cameraId, int32_t* l, int32_t* t, int32_t* r, int32_t* b) = nullptr;
    void (*drawFrame)() = nullptr;            // Draw_Frame
    void (*resetDisplayMapping)() = nullptr;  // Room_Init

    // --- assets ---
    float (*spritePlaybackSpeed)(int32_t sprite) = nullptr;  // layer model image speed
    bool (*backgroundSize)(int32_t background, int32_t* width, int32_t* height) = nullptr;
    void (*effectClear)() = nullptr;
    void (*particlesUpdate)() = nullptr;        // ParticleSystem_UpdateAll
    void (*particlesAttachLayers)() = nullptr;  // room start
    void (*particlesDetachLayers)() = nullptr;  // room end

    // --- networking, platform, extensions ---
    void (*httpPoll)() = nullptr;
    // Walks the asynchronous request records and performs their events (Async_PerformEvent).
    void (*asyncProcessRequests)() = nullptr;
};

extern GameLoopHooks g_GameLoopHooks;

// Calls a hook when it is set: GAMELOOP_HOOK(soundTick) or GAMELOOP_HOOK(endFrame, true).
#define GAMELOOP_HOOK(member, ...) \
    do { \
        if (g_GameLoopHooks.member != nullptr) g_GameLoopHooks.member(__VA_ARGS__); \
    } while (0)
