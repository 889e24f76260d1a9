// What the rooms of the world ask of the modules above them: the layers and their elements,
// the cameras, the window's fit to the room, and the particle, effect and text state that
// lives as long as a room or a game. Each module fills its members at start-up; a member left
// null is a module that is not there, and the room does without it (no layers, no cameras).
#pragma once

#include <cstdint>

class CLayer;
class CInstance;
class CRoom;

struct RoomServices {
    // --- layers ---
    void (*buildLayers)(CRoom* room, uint32_t layerListOffset) = nullptr;  // Room_BuildLayers
    void (*copyLayers)(CRoom* to, const CRoom* from) = nullptr;            // Room_CopyLayers
    void (*freeLayers)(CRoom* room) = nullptr;                             // Room_FreeLayers
    void (*startLayers)(CRoom* room) = nullptr;                            // Room_StartLayers
    void (*unlinkLayerElements)(CRoom* room) = nullptr;                    // Room_UnlinkLayerElements
    void (*layerAddInstance)(CRoom* room, CInstance* instance) = nullptr;
    void (*layerRemoveInstance)(CRoom* room, CInstance* instance) = nullptr;
    void (*layerAttachInstance)(CRoom* room, CLayer* layer, CInstance* instance) = nullptr;
    void (*layerInstanceDepthChanged)(CRoom* room, CInstance* instance) = nullptr;  // after a depth change
    float (*layerDepth)(const CLayer* layer) = nullptr;
    int32_t (*layerForInstanceId)(CRoom* room, int32_t id) = nullptr;  // -1 when none

    // --- cameras and the window ---
    void (*cameraCreateScriptInstance)() = nullptr;
    void (*cameraFreeScriptInstance)() = nullptr;
    int32_t (*cameraFromView)(CRoom* room, int32_t view) = nullptr;  // a new camera's id
    int32_t (*cameraClone)(int32_t cameraId) = nullptr;              // -1 when none
    void (*cameraDestroy)(int32_t cameraId) = nullptr;
    // The rectangle a camera shows; false when no camera has the id.
    bool (*cameraRectangle)(int32_t cameraId, int32_t* l, int32_t* t, int32_t* r, int32_t* b) = nullptr;
    void (*fitWindowSize)() = nullptr;        // Room_FitWindowSize
    void (*resetDisplayMapping)() = nullptr;  // Room_Init

    // --- what lives as long as a room or a game ---
    void (*effectClear)() = nullptr;
    void (*particlesAttachLayers)() = nullptr;  // room start
    void (*particlesDetachLayers)() = nullptr;  // room end
    void (*textReset)() = nullptr;              // game end

    // --- what runs as a game starts and ends ---
    // Before the first room is built; false: the game does not start.
    bool (*gameStarting)() = nullptr;
    // After the rooms are gone; false: the rest of the game's end is skipped.
    bool (*gameEnded)() = nullptr;
};

extern RoomServices g_RoomServices;

// Calls a service when it is there: ROOM_SERVICE(fitWindowSize) or ROOM_SERVICE(freeLayers, room).
#define ROOM_SERVICE(member, ...) \
    do { \
        if (g_RoomServices.member != nullptr) g_RoomServices.member(__VA_ARGS__); \
    } while (0)
