// The room's eight views each frame: following their objects (legacy) or updating their
// cameras, the mouse view slots, the port scales onto the application surface, and the
// window's fit to the views at room start.
#include <algorithm>
#include <cmath>

#include "core/Instance.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Window.h"
#include "room/Camera_Main.h"
#include "room/Room_Draw.h"
#include "base/GEN8.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

void FollowLegacy(RoomView& view, const CRoom& room) {
    CInstance* instance = g_CameraWorld.findTarget ? g_CameraWorld.findTarget(view.object) : nullptr;
    if (!instance) return;
    if (g_CameraWorld.updateBox) g_CameraWorld.updateBox(instance);
    float x, y;
    Camera_Follow(std::floor(instance->x), std::floor(instance->y), view.viewX, view.viewY, view.viewW,
                  view.viewH, static_cast<float>(view.hborder), static_cast<float>(view.vborder),
                  static_cast<float>(view.hspeed), static_cast<float>(view.vspeed), room.width, room.height,
                  &x, &y);
    view.viewX = x;
    view.viewY = y;
}

// A span of no width (no visible view, or ports of no size) keeps the scale at 1.
float PortScale(int32_t surfaceSize, int32_t low, int32_t high) {
    const int32_t span = high - low;
    return span > 0 ? static_cast<float>(surfaceSize) / static_cast<float>(span) : 1.0f;
}

}  // namespace

void Views_FollowTargets() {
    CRoom* room = Run_Room();
    if (!room) return;
    if (!room->viewsEnabled) {
        for (int32_t i = 0; i < kRoomViews; ++i) Window_Clear_View_Port(i);
        return;
    }
    for (RoomView& view : room->views) {
        if (!view.visible) continue;
        if (g_GameHeader.layerModel) {
            if (view.cameraId == -1) continue;
            if (CCamera* camera = g_CameraManager.GetCamera(view.cameraId)) camera->Update();
        } else {
            FollowLegacy(view, *room);
        }
    }
    int32_t left = 999999, top = 999999, right = -999999, bottom = -999999;
    for (int32_t i = 0; i < kRoomViews; ++i) {
        Window_Clear_View_Port(i);
        const RoomView& v = room->views[i];
        if (!v.visible) continue;
        Window_Set_View_Port(i, static_cast<float>(v.portX), static_cast<float>(v.portY),
                             static_cast<float>(v.portW), static_cast<float>(v.portH), v.viewX, v.viewY,
                             v.viewW, v.viewH, v.angle, v.surfaceId, v.cameraId);
        left = std::min(left, v.portX);
        top = std::min(top, v.portY);
        right = std::max(right, v.portX + v.portW);
        bottom = std::max(bottom, v.portY + v.portH);
    }
    g_FrameDraw.portScaleX = PortScale(g_RunState.applicationSurfaceWidth, left, right);
    g_FrameDraw.portScaleY = PortScale(g_RunState.applicationSurfaceHeight, top, bottom);
    Window_Set_Scale_Factors(g_FrameDraw.portScaleX, g_FrameDraw.portScaleY);
}

void Room_ComputeWindowFit(const CRoom& room, int32_t* outWidth, int32_t* outHeight) {
    int32_t width = room.width, height = room.height;
    if (room.viewsEnabled) {
        width = height = 0;
        for (const RoomView& v : room.views) {
            if (!v.visible) continue;
            width = std::max(width, v.portX + v.portW);
            height = std::max(height, v.portY + v.portH);
        }
        width = std::max(width, 8);
        height = std::max(height, 8);
    }
    *outWidth = width;
    *outHeight = height;
}

void Room_FitWindowSize() {
    CRoom* room = Run_Room();
    if (!room) return;
    int32_t width, height;
    Room_ComputeWindowFit(*room, &width, &height);
    // A screen whose size is unknown (0) sets no limit.
    const int32_t screenWidth = Display_Get_Width(), screenHeight = Display_Get_Height();
    if (screenWidth > 0) width = std::min(width, screenWidth);
    if (screenHeight > 0) height = std::min(height, screenHeight);
    if (width != Window_Get_Base_Width() || height != Window_Get_Base_Height()) GR_D3D_Resize(width, height);
}
