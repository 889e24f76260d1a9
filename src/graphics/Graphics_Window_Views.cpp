// The window's view-port slots and the arithmetic between window, application surface and
// room positions. A window with no area (minimised) or a port or factor of 0 maps nothing:
// the outputs keep the values they came with.
#include <cmath>

#include "core/CRuntimeCompat.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Window.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

int32_t Trunc(double value) {
    return CRT_TruncToInt32(value);
}

// To the nearest integer, halves to even, as the floating-point unit rounds.
int32_t Round(double value) {
    return CRT_TruncToInt32(std::nearbyint(value));
}

const ViewPortSlot* UsedSlot(int32_t slot) {
    if (slot < 0 || slot >= WINDOW_VIEW_PORTS || !g_Window.viewPorts[slot].inUse) return nullptr;
    return &g_Window.viewPorts[slot];
}

// Client position (relative to the display rectangle) to application-surface pixels; false
// when the window or the ports have no area.
bool ToSurface(int32_t x, int32_t y, int32_t* sx, int32_t* sy) {
    int32_t left, top, right, bottom;
    Window_Get_Display_Rect(&left, &top, &right, &bottom);
    int32_t surfaceWidth = 0, surfaceHeight = 0;
    g_WindowHooks.ApplicationSurface_Get(&surfaceWidth, &surfaceHeight);
    const int32_t areaWidth = g_D3D.clientWidth - 2 * left;
    const int32_t areaHeight = g_D3D.clientHeight - 2 * top;
    if (areaWidth == 0 || areaHeight == 0 || g_Window.widthScale == 0.0f || g_Window.heightScale == 0.0f)
        return false;
    const float xFactor =
        static_cast<float>(surfaceWidth) / static_cast<float>(areaWidth) / g_Window.widthScale;
    const float yFactor =
        static_cast<float>(surfaceHeight) / static_cast<float>(areaHeight) / g_Window.heightScale;
    *sx = Trunc(xFactor * static_cast<float>(x));
    *sy = Trunc(yFactor * static_cast<float>(y));
    return true;
}

bool DrawsToScreen(int32_t slot) {
    const ViewPortSlot* port = UsedSlot(slot);
    return port && slot < 8 && port->surfaceId == -1 && g_WindowHooks.Room_ViewVisible(slot);
}

bool ContainsMouse(const ViewPortSlot& port, int32_t dx, int32_t dy, int32_t roomX, int32_t roomY) {
    if (g_GRHooks.layerMode()) {
        int32_t sx = 0, sy = 0;
        if (!ToSurface(dx, dy, &sx, &sy)) return false;
        return sx >= port.portX && sx < port.portX + port.portWidth && sy >= port.portY &&
               sy < port.portY + port.portHeight;
    }
    return roomX >= port.viewX && roomX < port.viewX + port.viewWidth && roomY >= port.viewY &&
           roomY < port.viewY + port.viewHeight;
}

}  // namespace

void Window_Set_View_Port(int32_t slot, float portX, float portY, float portWidth, float portHeight,
                          float viewX, float viewY, float viewWidth, float viewHeight, float angle,
                          int32_t surfaceId, int32_t cameraId) {
    if (slot < 0 || slot >= WINDOW_VIEW_PORTS) return;
    ViewPortSlot& port = g_Window.viewPorts[slot];
    if (!port.inUse) ++g_Window.viewPortCount;
    port = {true,  viewX,     viewY,      viewWidth, viewHeight, portX,
            portY, portWidth, portHeight, angle,     surfaceId,  cameraId};
}

void Window_Clear_View_Port(int32_t slot) {
    if (slot < 0 || slot >= WINDOW_VIEW_PORTS) return;
    ViewPortSlot& port = g_Window.viewPorts[slot];
    if (port.inUse) --g_Window.viewPortCount;
    port.inUse = false;
}

void Window_Set_Scale_Factors(float width, float height) {
    g_Window.widthScale = width;
    g_Window.heightScale = height;
}

void Window_Get_Display_Rect(int32_t* left, int32_t* top, int32_t* right, int32_t* bottom) {
    *left = *top = 0;
    const int32_t width = g_D3D.backBufferWidth, height = g_D3D.backBufferHeight;
    int32_t surfaceWidth = 0, surfaceHeight = 0;
    const bool surfaceOn = g_WindowHooks.ApplicationSurface_Get(&surfaceWidth, &surfaceHeight);
    if (!g_D3D.keepAspect || !surfaceOn || surfaceWidth <= 0 || surfaceHeight <= 0) {
        *right = width;
        *bottom = height;
        return;
    }
    const float ratio = static_cast<float>(surfaceWidth) / static_cast<float>(surfaceHeight);
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    if (h > w / ratio) {
        const float shown = static_cast<float>(surfaceHeight) / static_cast<float>(surfaceWidth) * w;
        *top = Trunc((h - shown) * 0.5f);
        *bottom = Trunc(static_cast<float>(*top) + shown);
        *right = width;
    } else {
        const float shown = ratio * h;
        *left = Trunc((w - shown) * 0.5f);
        *right = Trunc(static_cast<float>(*left) + shown);
        *bottom = height;
    }
}

void Window_Map_Mouse_To_View(int32_t slot, int32_t x, int32_t y, int32_t* roomX, int32_t* roomY) {
    const ViewPortSlot* port = UsedSlot(slot);
    if (!port || port->portWidth == 0.0f || port->portHeight == 0.0f) return;
    int32_t sx = 0, sy = 0;
    if (!ToSurface(x, y, &sx, &sy)) return;
    const float px = static_cast<float>(sx - Trunc(port->portX));
    const float py = static_cast<float>(sy - Trunc(port->portY));
    if (g_GRHooks.layerMode()) {
        float m[16];
        if (!g_WindowHooks.Camera_GetInvViewProjMatrix(port->cameraId, m)) return;
        const float nx = px / port->portWidth * 2.0f - 1.0f;
        const float ny = py / port->portHeight * 2.0f - 1.0f;
        *roomX = Trunc(nx * m[0] + ny * m[4] + m[12]);
        *roomY = Trunc(nx * m[1] + ny * m[5] + m[13]);
        return;
    }
    const float wx = px * port->viewWidth / port->portWidth;
    const float wy = py * port->viewHeight / port->portHeight;
    if (std::fabs(port->angle) < 0.01f) {
        *roomX = Round(port->viewX + wx);
        *roomY = Round(port->viewY + wy);
        return;
    }
    const double a = -port->angle * kPi / 180.0;
    const double dx = wx - port->viewWidth / 2.0;
    const double dy = wy - port->viewHeight / 2.0;
    *roomX = Round(std::cos(a) * dx + port->viewX + port->viewWidth / 2.0 + std::sin(a) * dy);
    *roomY = Round(port->viewY + port->viewHeight / 2.0 - std::sin(a) * dx + std::cos(a) * dy);
}

void Window_Map_Room_To_View(int32_t slot, float roomX, float roomY, int32_t* x, int32_t* y) {
    *x = Round(roomX);
    *y = Round(roomY);
    const ViewPortSlot* port = UsedSlot(slot);
    if (!port || port->viewWidth == 0.0f || port->viewHeight == 0.0f) return;
    float m[16];
    if (g_GRHooks.layerMode() && g_WindowHooks.Camera_GetViewProjMatrix(port->cameraId, m)) {
        const float w = roomX * m[3] + roomY * m[7] + m[15];
        if (w == 0.0f) return;
        *x = Trunc(((roomX * m[0] + roomY * m[4] + m[12]) / w * 0.5f + 0.5f) * port->portWidth + port->portX);
        *y =
            Trunc(((roomX * m[1] + roomY * m[5] + m[13]) / w * 0.5f + 0.5f) * port->portHeight + port->portY);
        return;
    }
    const float cx = (roomX - port->viewX) * port->portWidth / port->viewWidth;
    const float cy = (roomY - port->viewY) * port->portHeight / port->viewHeight;
    if (std::fabs(port->angle) < 0.01f) {
        *x = Round(port->portX + cx);
        *y = Round(port->portY + cy);
        return;
    }
    const double a = port->angle * kPi / 180.0;
    const double dx = cx - port->portWidth / 2.0;
    const double dy = cy - port->portHeight / 2.0;
    *x = Round(std::cos(a) * dx + port->portX + port->portWidth / 2.0 + std::sin(a) * dy);
    *y = Round(port->portY + port->portHeight / 2.0 - std::sin(a) * dx + std::cos(a) * dy);
}

void Window_Map_Mouse_To_Room(int32_t x, int32_t y, int32_t* roomX, int32_t* roomY) {
    int32_t left, top, right, bottom;
    Window_Get_Display_Rect(&left, &top, &right, &bottom);
    const int32_t dx = x - left, dy = y - top;
    int32_t roomWidth = 0, roomHeight = 0;
    const bool hasRoom = g_WindowHooks.Room_GetSize(&roomWidth, &roomHeight);
    bool anyView = false;
    for (int32_t slot = 0; hasRoom && slot < 8; ++slot) anyView = anyView || DrawsToScreen(slot);
    if (anyView) {
        for (int32_t slot = WINDOW_VIEW_PORTS - 1; slot >= 0; --slot) {
            if (!DrawsToScreen(slot)) continue;
            Window_Map_Mouse_To_View(slot, dx, dy, roomX, roomY);
            if (ContainsMouse(g_Window.viewPorts[slot], dx, dy, *roomX, *roomY)) return;
        }
        return;
    }
    if (!hasRoom) {
        *roomX = dx;
        *roomY = dy;
        return;
    }
    const int32_t areaWidth = g_D3D.clientWidth - 2 * left;
    const int32_t areaHeight = g_D3D.clientHeight - 2 * top;
    if (areaWidth == 0 || areaHeight == 0) return;
    *roomX = Trunc(static_cast<double>(dx) * roomWidth / areaWidth);
    *roomY = Trunc(static_cast<double>(dy) * roomHeight / areaHeight);
}

int32_t Window_View_Mouse_Get_X(int32_t view) {
    int32_t x = 0, y = 0, roomX = 0, roomY = 0, left, top, right, bottom;
    g_WindowHooks.Input_GetMousePosition(0, &x, &y);
    Window_Get_Display_Rect(&left, &top, &right, &bottom);
    Window_Map_Mouse_To_View(view, x - left, y - top, &roomX, &roomY);
    return roomX;
}

int32_t Window_View_Mouse_Get_Y(int32_t view) {
    int32_t x = 0, y = 0, roomX = 0, roomY = 0, left, top, right, bottom;
    g_WindowHooks.Input_GetMousePosition(0, &x, &y);
    Window_Get_Display_Rect(&left, &top, &right, &bottom);
    Window_Map_Mouse_To_View(view, x - left, y - top, &roomX, &roomY);
    return roomY;
}

void Window_Device_Mouse_Room(int32_t* x, int32_t* y, int32_t device) {
    if (device < 0 || device > 9) {
        *x = *y = 0;
        return;
    }
    int32_t mouseX = 0, mouseY = 0;
    g_WindowHooks.Input_GetMousePosition(device, &mouseX, &mouseY);
    *x = mouseX;
    *y = mouseY;
    int32_t roomWidth = 0, roomHeight = 0;
    if (g_WindowHooks.Room_GetSize(&roomWidth, &roomHeight)) Window_Map_Mouse_To_Room(mouseX, mouseY, x, y);
}

int32_t Window_Mouse_Room_X(int32_t device) {
    int32_t x, y;
    Window_Device_Mouse_Room(&x, &y, device);
    return x;
}

int32_t Window_Mouse_Room_Y(int32_t device) {
    int32_t x, y;
    Window_Device_Mouse_Room(&x, &y, device);
    return y;
}
