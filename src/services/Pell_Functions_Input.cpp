// Virtual keys, the pointer devices and their mapping to the GUI layer, tilt and keypad, the
// screen's DPI and the GUI size, the application surface switches and the focus test.
#include <cmath>

#include "assets/Function_Texture.h"
#include "base/Error_Report.h"
#include "core/Value_Convert.h"
#include "graphics/Graphics_Window.h"
#include "platform/Display.h"
#include "platform/WindowOps.h"
#include "room/Room_Draw.h"
#include "services/Pell_Functions_Internal.h"
#include "services/Pell_Services.h"
#include "world/IO_Main.h"

namespace {

constexpr float kDefaultDpi = 96.0f;

// Nothing measures tilt or watches a keypad here: they stay 0 and closed.
float g_tilt[3] = {0.0f, 0.0f, 0.0f};
bool g_keypadOpen = false;

// --- virtual keys ------------------------------------------------------------------------------

PELL_BUILTIN(VirtualKeyAdd) {
    VirtualKey* key = IO_VirtualKey(IO_AddVirtualKeySlot());
    if (key == nullptr) return;
    key->left = Arg_GetInt32(args, 0);
    key->top = Arg_GetInt32(args, 1);
    key->width = Arg_GetInt32(args, 2);
    key->height = Arg_GetInt32(args, 3);
    key->key = Arg_GetInt32(args, 4);
    key->right = key->left + key->width;
    key->bottom = key->top + key->height;
    key->u = key->v = key->button = 0;
    key->flags = VIRTUAL_KEY_IN_USE;
    Result_SetReal(result, key->index + 1);
}

// The key a handle names (its slot plus 1); a bad handle is reported.
VirtualKey* VirtualKeyOf(RValue* args) {
    VirtualKey* key = IO_VirtualKey(Arg_GetInt32(args, 0) - 1);
    if (key == nullptr) Error_Report("Illegal virtual key handle", false);
    return key;
}

PELL_BUILTIN(VirtualKeyDelete) {
    if (VirtualKey* key = VirtualKeyOf(args)) IO_DeleteVirtualKey(key->index);
}
PELL_BUILTIN(VirtualKeyShow) {
    if (VirtualKey* key = VirtualKeyOf(args)) key->flags |= VIRTUAL_KEY_VISIBLE;
}
PELL_BUILTIN(VirtualKeyHide) {
    if (VirtualKey* key = VirtualKeyOf(args)) key->flags &= static_cast<uint16_t>(~VIRTUAL_KEY_VISIBLE);
}

const BuiltinRow kVirtualKeyRows[] = {
    {"Pell_AddVirtualKey", F_VirtualKeyAdd, 5},   {"Pell_DeleteVirtualKey", F_VirtualKeyDelete, 1},
    {"Pell_ShowVirtualKey", F_VirtualKeyShow, 1}, {"Pell_HideVirtualKey", F_VirtualKeyHide, 1},
    {"virtual_key_add", F_VirtualKeyAdd, 5},      {"virtual_key_delete", F_VirtualKeyDelete, 1},
    {"virtual_key_show", F_VirtualKeyShow, 1},    {"virtual_key_hide", F_VirtualKeyHide, 1},
};

// --- display and the GUI size ----------------------------------------------------------------

PELL_BUILTIN(DisplayGetDpiX) {
    float x = kDefaultDpi, y = kDefaultDpi;
    Display_GetDPI(&x, &y);
    Result_SetReal(result, x);
}
PELL_BUILTIN(DisplayGetDpiY) {
    float x = kDefaultDpi, y = kDefaultDpi;
    Display_GetDPI(&x, &y);
    Result_SetReal(result, y);
}

// The new settings reach the GUI pass at once when it is running; otherwise at its next start.
void ApplyGuiSettings() {
    if (g_FrameDraw.guiPass) GUI_ApplyTransform();
}

PELL_BUILTIN(DisplaySetGuiSize) {
    DisplayMapping& d = g_DisplayMapping;
    d.guiWidth = static_cast<float>(Arg_GetInt32(args, 0));
    d.guiHeight = static_cast<float>(Arg_GetInt32(args, 1));
    d.guiOffsetX = d.guiOffsetY = kGuiOffsetUnset;
    d.guiMaximise = false;
    d.guiScaleX = d.guiScaleY = 1.0f;
    ApplyGuiSettings();
    Result_SetReal(result, 0);
}

PELL_BUILTIN(DisplaySetGuiMaximise) {
    DisplayMapping& d = g_DisplayMapping;
    d.guiOffsetX = d.guiOffsetY = kGuiOffsetUnset;
    d.guiScaleX = d.guiScaleY = 1.0f;
    d.guiMaximise = true;
    d.guiWidth = d.guiHeight = -1.0f;
    if (argc > 0) d.guiScaleX = Arg_GetFloat(args, 0);
    if (argc > 1) d.guiScaleY = Arg_GetFloat(args, 1);
    if (argc > 2) d.guiOffsetX = Arg_GetFloat(args, 2);
    if (argc > 3) d.guiOffsetY = Arg_GetFloat(args, 3);
    ApplyGuiSettings();
}

// The GUI size the game set, else the window's drawing area.
float GuiWidth() {
    return g_DisplayMapping.guiWidth >= 0 ? g_DisplayMapping.guiWidth
                                          : static_cast<float>(Window_Get_Width());
}
float GuiHeight() {
    return g_DisplayMapping.guiHeight >= 0 ? g_DisplayMapping.guiHeight
                                           : static_cast<float>(Window_Get_Height());
}

PELL_BUILTIN(DisplayGetGuiWidth) {
    Result_SetReal(result, GuiWidth());
}
PELL_BUILTIN(DisplayGetGuiHeight) {
    Result_SetReal(result, GuiHeight());
}

const BuiltinRow kDisplayRows[] = {
    {"display_get_dpi_x", F_DisplayGetDpiX, 0},
    {"display_get_dpi_y", F_DisplayGetDpiY, 0},
    {"display_set_gui_size", F_DisplaySetGuiSize, 2},
    {"display_get_gui_width", F_DisplayGetGuiWidth, 0},
    {"display_get_gui_height", F_DisplayGetGuiHeight, 0},
    {"display_set_gui_maximise", F_DisplaySetGuiMaximise, 2},
};

// --- pointer devices ---------------------------------------------------------------------------

bool ValidDevice(int32_t device) {
    return device >= 0 && device < IO_MOUSE_DEVICES;
}

// (device, button): button 0 asks for none of the three held, -1 for any.
void DeviceMouseCheck(RValue& result, RValue* args, bool (*test)(int32_t, int32_t)) {
    const int32_t device = Arg_GetInt32(args, 0), button = Arg_GetInt32(args, 1);
    const bool any = test(1, device) || test(2, device) || test(3, device);
    const bool answer = button == 0 ? !any : button == -1 ? any : test(button, device);
    Result_SetFlag(result, answer);
}

PELL_BUILTIN(DeviceMouseCheckButton) {
    DeviceMouseCheck(result, args, IO_MouseButtonDown);
}
PELL_BUILTIN(DeviceMouseCheckButtonPressed) {
    DeviceMouseCheck(result, args, IO_MouseButtonPressed);
}
PELL_BUILTIN(DeviceMouseCheckButtonReleased) {
    DeviceMouseCheck(result, args, IO_MouseButtonReleased);
}
PELL_BUILTIN(DeviceMouseX) {
    Result_SetReal(result, Window_Mouse_Room_X(Arg_GetInt32(args, 0)));
}
PELL_BUILTIN(DeviceMouseY) {
    Result_SetReal(result, Window_Mouse_Room_Y(Arg_GetInt32(args, 0)));
}

PELL_BUILTIN(DeviceMouseRawX) {
    int32_t x = 0;
    IO_GetMouseClient(Arg_GetInt32(args, 0), &x, nullptr);
    Result_SetReal(result, x);
}
PELL_BUILTIN(DeviceMouseRawY) {
    int32_t y = 0;
    IO_GetMouseClient(Arg_GetInt32(args, 0), nullptr, &y);
    Result_SetReal(result, y);
}

// floor((raw - start) * GUI size / (window size - 2 * start)) in single precision. An unset
// GUI size, or a letterbox that leaves no width, maps one to one.
float RawToGui(int32_t raw, int32_t start, int32_t window, float gui) {
    const float span = static_cast<float>(window - 2 * start);
    const float scale = gui < 0.0f || span <= 0.0f ? 1.0f : gui / span;
    const float mapped = static_cast<float>(raw - start) * scale;
    return std::floor(mapped);
}

PELL_BUILTIN(DeviceMouseXToGui) {
    const int32_t device = Arg_GetInt32(args, 0);
    if (!ValidDevice(device)) return;
    int32_t left, top, right, bottom, x = 0;
    Window_Get_Display_Rect(&left, &top, &right, &bottom);
    IO_GetMouseClient(device, &x, nullptr);
    Result_SetReal(result, RawToGui(x, left, Window_Get_Width(), g_DisplayMapping.guiWidth));
}
PELL_BUILTIN(DeviceMouseYToGui) {
    const int32_t device = Arg_GetInt32(args, 0);
    if (!ValidDevice(device)) return;
    int32_t left, top, right, bottom, y = 0;
    Window_Get_Display_Rect(&left, &top, &right, &bottom);
    IO_GetMouseClient(device, nullptr, &y);
    Result_SetReal(result, RawToGui(y, top, Window_Get_Height(), g_DisplayMapping.guiHeight));
}

PELL_BUILTIN(TiltX) {
    Result_SetReal(result, g_tilt[0]);
}
PELL_BUILTIN(TiltY) {
    Result_SetReal(result, g_tilt[1]);
}
PELL_BUILTIN(TiltZ) {
    Result_SetReal(result, g_tilt[2]);
}
PELL_BUILTIN(KeypadOpen) {
    Result_SetFlag(result, g_keypadOpen);
}

const BuiltinRow kPointerRows[] = {
    {"Pell_MouseCheckButton", F_DeviceMouseCheckButton, 2},
    {"Pell_MouseCheckButtonPressed", F_DeviceMouseCheckButtonPressed, 2},
    {"Pell_MouseCheckButtonReleased", F_DeviceMouseCheckButtonReleased, 2},
    {"Pell_MouseX", F_DeviceMouseX, 1},
    {"Pell_MouseY", F_DeviceMouseY, 1},
    {"Pell_MouseXRaw", F_DeviceMouseRawX, 1},
    {"Pell_MouseYRaw", F_DeviceMouseRawY, 1},
    {"Pell_GetTiltX", F_TiltX, 0},
    {"Pell_GetTiltY", F_TiltY, 0},
    {"Pell_GetTiltZ", F_TiltZ, 0},
    {"Pell_IsKeypadOpen", F_KeypadOpen, 0},
    {"device_mouse_check_button", F_DeviceMouseCheckButton, 2},
    {"device_mouse_check_button_pressed", F_DeviceMouseCheckButtonPressed, 2},
    {"device_mouse_check_button_released", F_DeviceMouseCheckButtonReleased, 2},
    {"device_mouse_x", F_DeviceMouseX, 1},
    {"device_mouse_y", F_DeviceMouseY, 1},
    {"device_mouse_raw_x", F_DeviceMouseRawX, 1},
    {"device_mouse_raw_y", F_DeviceMouseRawY, 1},
    {"device_mouse_x_to_gui", F_DeviceMouseXToGui, 1},
    {"device_mouse_y_to_gui", F_DeviceMouseYToGui, 1},
    {"device_get_tilt_x", F_TiltX, 0},
    {"device_get_tilt_y", F_TiltY, 0},
    {"device_get_tilt_z", F_TiltZ, 0},
    {"device_is_keypad_open", F_KeypadOpen, 0},
};

// --- pause and focus ---------------------------------------------------------------------------

PELL_BUILTIN(OSIsPaused) {
    Result_SetFlag(result, Pell_IsPaused());
}
PELL_BUILTIN(WindowHasFocus) {
    Result_SetFlag(result, Window_HasKeyboardFocus(Window_Get_Handle()));
}

const BuiltinRow kPauseAndFocusRows[] = {
    {"Pell_OSPauseEvent", F_OSIsPaused, 0},
    {"os_is_paused", F_OSIsPaused, 0},
    {"window_has_focus", F_WindowHasFocus, 0},
};

// --- the application surface -------------------------------------------------------------------

PELL_BUILTIN(ApplicationSurfaceDrawEnable) {
    Draw_SetApplicationSurfaceDraw(Arg_GetReal(args, 0) > 0.5);
}
PELL_BUILTIN(ApplicationSurfaceEnable) {
    Draw_SetApplicationSurfaceEnabled(Arg_GetReal(args, 0) > 0.5);
}
PELL_BUILTIN(ApplicationSurfaceIsEnabled) {
    Result_SetFlag(result, Draw_GetApplicationSurfaceEnabled());
}
PELL_BUILTIN(ApplicationGetPosition) {
    int32_t left, top, right, bottom;
    Window_Get_Display_Rect(&left, &top, &right, &bottom);
    const double rect[4] = {static_cast<double>(left), static_cast<double>(top),
                            static_cast<double>(right - left), static_cast<double>(bottom - top)};
    ReturnRealArray(result, 4, rect);
}

const BuiltinRow kReleaseAndSurfaceRows[] = {
    {"hvs_release_mode", F_HvsReleaseMode, 1, 1},
    {"application_surface_draw_enable", F_ApplicationSurfaceDrawEnable, 1, 1},
    {"application_get_position", F_ApplicationGetPosition, 0},
    {"application_surface_enable", F_ApplicationSurfaceEnable, 1, 1},
    {"application_surface_is_enabled", F_ApplicationSurfaceIsEnabled, 0, 1},
};

}  // namespace

void PellRows_VirtualKeys() {
    Code_Function_AddRows(kVirtualKeyRows);
}
void PellRows_Display() {
    Code_Function_AddRows(kDisplayRows);
}
void PellRows_Pointers() {
    Code_Function_AddRows(kPointerRows);
}
void PellRows_PauseAndFocus() {
    Code_Function_AddRows(kPauseAndFocusRows);
}
void PellRows_ReleaseAndSurface() {
    Code_Function_AddRows(kReleaseAndSurfaceRows);
}
