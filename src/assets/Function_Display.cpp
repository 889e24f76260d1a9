#include "assets/Function_Display.h"

#include <algorithm>

#include "assets/Function_Texture.h"
#include "assets/ImageDecode.h"
#include "core/CRuntimeCompat.h"
#include "core/Code_Function.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "data/Common.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Window.h"
#include "platform/WindowOps.h"
#include "world/World_Step.h"

bool g_VectorSpriteAntiAlias = false;
float g_VectorSpriteAntiAliasLevel = 1.0f;

bool Screen_ClipRectangle(int32_t bufferWidth, int32_t bufferHeight, int32_t* x, int32_t* y, int32_t* width,
                          int32_t* height) {
    if (*x < 0) {
        *width += *x;
        *x = 0;
    }
    if (*y < 0) {
        *height += *y;
        *y = 0;
    }
    if (int64_t(*x) + *width > bufferWidth) *width = bufferWidth - *x;
    if (int64_t(*y) + *height > bufferHeight) *height = bufferHeight - *y;
    return *width > 0 && *height > 0;
}

namespace {

// ---- display ---------------------------------------------------------------------------------

void F_DisplayGetWidth(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Display_Get_Width());
}
void F_DisplayGetHeight(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Display_Get_Height());
}
void F_DisplayGetColourDepth(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Display_Get_Colour_Depth());
}
void F_DisplayGetFrequency(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Display_Get_Frequency());
}
void F_DisplayGetOrientation(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(0);
}

// The mode setters reset the device at once, whether the mode changed or not.
double ResetAfter(bool changed) {
    GR_D3D_Reset();
    return changed ? 1 : 0;
}

void F_DisplaySetSize(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(ResetAfter(Display_Set_Size(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1))));
}
void F_DisplaySetColourDepth(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(ResetAfter(Display_Set_Colour_Depth(Arg_GetInt32(args, 0))));
}
void F_DisplaySetFrequency(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(ResetAfter(Display_Set_Frequency(Arg_GetInt32(args, 0))));
}
void F_DisplaySetAll(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(ResetAfter(Display_Set_All(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1),
                                                    Arg_GetInt32(args, 2), Arg_GetInt32(args, 3))));
}
void F_DisplayTestAll(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(Display_Test_All(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2),
                                          Arg_GetInt32(args, 3))
                             ? 1
                             : 0);
}

// Only scheduled: the reset happens before the next frame begins.
void F_DisplayReset(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    GR_D3D_Set_Multisample(Arg_GetInt32(args, 0) & 0xFF);
    GR_D3D_Set_VSync(Arg_GetBool(args, 1));
    Run_ResetCountdown = 1;
}

void F_DisplayMouseGetX(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Display_Mouse_Get_X());
}
void F_DisplayMouseGetY(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Display_Mouse_Get_Y());
}
void F_DisplayMouseSet(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    Display_Mouse_Set(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1));
}
void F_DisplaySetUiVisibility(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(0);
}

// ---- runner-wide switches ----------------------------------------------------------------------

void F_DisplayGetVertexBufferMethod(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(g_Switches.vertexBufferMethod);
}
void F_DisplaySetVertexBufferMethod(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t method = Arg_GetInt32(args, 0);
    GraphicsFlush();
    if (method >= 0 && method <= 2) g_Switches.vertexBufferMethod = method;
    result = RValue_Real(0);
}
void F_DisplayGetAlternateSync(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(g_Switches.manualVsync ? 1 : 0);
}
void F_DisplaySetAlternateSync(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    g_Switches.manualVsync = Arg_GetBool(args, 0);
    Run_ResetCountdown = 1;
    result = RValue_Real(0);
}
void F_DrawEnableDrawEvent(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    g_FrameSwitches.drawingEnabled = Arg_GetBool(args, 0);
}
void F_DrawEnableSwfAA(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    g_VectorSpriteAntiAlias = Arg_GetBool(args, 0);
}
void F_DrawSetSwfAALevel(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    g_VectorSpriteAntiAliasLevel = std::clamp(Arg_GetFloat(args, 0), 0.0f, 1.0f);
}
void F_DrawGetSwfAALevel(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(g_VectorSpriteAntiAliasLevel);
}

// ---- window ----------------------------------------------------------------------------------

void F_WindowSetFullscreen(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    Window_Set_Fullscreen(Arg_GetBool(args, 0));
}
void F_WindowGetFullscreen(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Window_Get_Fullscreen() ? 1 : 0);
}
void F_WindowSetCaption(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    Window_Set_Caption(Arg_GetString(args, 0));
}
void F_WindowGetCaption(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    const char* caption = Window_Get_Caption();
    RValue_SetString(&result, caption ? caption : "");
}
void F_WindowSetCursor(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    Window_Set_Cursor(Arg_GetInt32(args, 0));
}
void F_WindowGetCursor(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Window_Get_Cursor());
}
void F_WindowSetColour(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    Window_Set_Colour(Arg_GetColour(args, 0));
}
void F_WindowGetColour(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Window_Get_Colour());
}
void F_WindowSetMinWidth(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    Window_Set_Min_Width(Arg_GetInt32(args, 0));
}
void F_WindowSetMaxWidth(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    Window_Set_Max_Width(Arg_GetInt32(args, 0));
}
void F_WindowSetMinHeight(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    Window_Set_Min_Height(Arg_GetInt32(args, 0));
}
void F_WindowSetMaxHeight(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    Window_Set_Max_Height(Arg_GetInt32(args, 0));
}
void F_WindowSetPosition(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    Window_Set_Position(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1));
}
void F_WindowSetSize(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    Window_Set_Size(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1));
}
void F_WindowSetRectangle(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    Window_Set_Rectangle(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2),
                         Arg_GetInt32(args, 3));
}

// The outer rectangle goes to the middle of the first display; the window keeps its size.
void F_WindowCenter(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    (void)args;
    void* window = Window_Get_Handle();
    if (!window) return;
    int32_t outerWidth = 0, outerHeight = 0, clientWidth = 0, clientHeight = 0;
    Window_GetOuterSize(window, &outerWidth, &outerHeight);
    Window_GetClientSize(window, &clientWidth, &clientHeight);
    const bool enumerated = g_D3D.adapters && g_D3D.adapterCount > 0;
    const int32_t displayWidth = enumerated ? g_D3D.adapters[0].desktopWidth : Display_Get_Width();
    const int32_t displayHeight = enumerated ? g_D3D.adapters[0].desktopHeight : Display_Get_Height();
    const int32_t x = (displayWidth - outerWidth) / 2, y = (displayHeight - outerHeight) / 2;
    // The frame's sides are even; what the title bar adds sits above the client area.
    const int32_t side = (outerWidth - clientWidth) / 2;
    Window_SetClientRect(window, x + side, y + (outerHeight - clientHeight - side), clientWidth,
                         clientHeight);
}

void F_WindowGetX(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Window_Get_X());
}
void F_WindowGetY(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Window_Get_Y());
}
void F_WindowGetWidth(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Window_Get_Width());
}
void F_WindowGetHeight(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Window_Get_Height());
}

void F_WindowGetVisibleRects(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const double x1 = Arg_GetReal(args, 0), y1 = Arg_GetReal(args, 1);
    const double x2 = Arg_GetReal(args, 2), y2 = Arg_GetReal(args, 3);
    double* numbers = nullptr;
    const int32_t count = Window_Get_Visible_Rects(CRT_TruncToInt32(x1), CRT_TruncToInt32(y1),
                                                   CRT_TruncToInt32(x2), CRT_TruncToInt32(y2), &numbers);
    ReturnRealArray(result, numbers ? count : 0, numbers);
    MEM_FREE(numbers);
}

void F_WindowMouseGetX(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Window_Mouse_Get_X());
}
void F_WindowMouseGetY(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Window_Mouse_Get_Y());
}
void F_WindowMouseSet(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    Window_Mouse_Set(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1));
}
void F_WindowViewMouseGetX(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(Window_View_Mouse_Get_X(Arg_GetInt32(args, 0)));
}
void F_WindowViewMouseGetY(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(Window_View_Mouse_Get_Y(Arg_GetInt32(args, 0)));
}
void F_WindowViewsMouseGetX(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Window_Mouse_Room_X(0));
}
void F_WindowViewsMouseGetY(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(Window_Mouse_Room_Y(0));
}

// Settings of other platforms: the getters answer fixed values and the setters do nothing.
void F_WindowAlwaysOne(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(1);
}
void F_WindowAlwaysZero(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)args;
    result = RValue_Real(0);
}
void F_WindowIgnored(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    (void)args;
}

// ---- screen saving ---------------------------------------------------------------------------

// Reads a rectangle of the current target and writes it as an opaque PNG; nothing is reported
// when the pixels cannot be read.
void SaveScreen(const char* name, int32_t x, int32_t y, int32_t width, int32_t height) {
    uint32_t* pixels =
        GR_D3D_Read_Target_Pixels(g_D3D.backBufferWidth, g_D3D.backBufferHeight, x, y, &width, &height);
    if (!pixels) return;
    Pixels_SwapRedBlue(pixels, width, height);
    Pixels_SetOpaque(pixels, width, height);
    if (name) write_png_file(name, reinterpret_cast<const uint8_t*>(pixels), width, height);
    MEM_FREE(pixels);
}

void F_ScreenSave(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    SaveScreen(Arg_GetString(args, 0), 0, 0, g_D3D.backBufferWidth, g_D3D.backBufferHeight);
}

void F_ScreenSavePart(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    (void)result;
    const char* name = Arg_GetString(args, 0);
    int32_t x = Arg_GetInt32(args, 1), y = Arg_GetInt32(args, 2);
    int32_t width = Arg_GetInt32(args, 3), height = Arg_GetInt32(args, 4);
    if (Screen_ClipRectangle(g_D3D.backBufferWidth, g_D3D.backBufferHeight, &x, &y, &width, &height))
        SaveScreen(name, x, y, width, height);
}

}  // namespace

void InitDisplayFunctions() {
    static const BuiltinRow kRows[] = {
        {"display_get_width", F_DisplayGetWidth, 0, 0},
        {"display_get_height", F_DisplayGetHeight, 0, 0},
        {"display_get_colordepth", F_DisplayGetColourDepth, 0, 0},
        {"display_get_frequency", F_DisplayGetFrequency, 0, 0},
        {"display_get_orientation", F_DisplayGetOrientation, 0, 0},
        {"display_set_size", F_DisplaySetSize, 2, 1},
        {"display_set_colordepth", F_DisplaySetColourDepth, 1, 1},
        {"display_set_frequency", F_DisplaySetFrequency, 1, 1},
        {"display_set_all", F_DisplaySetAll, 4, 1},
        {"display_test_all", F_DisplayTestAll, 4, 1},
        {"display_reset", F_DisplayReset, 2, 1},
        {"display_mouse_get_x", F_DisplayMouseGetX, 0, 0},
        {"display_mouse_get_y", F_DisplayMouseGetY, 0, 0},
        {"display_mouse_set", F_DisplayMouseSet, 2, 0},
        {"display_set_ui_visibility", F_DisplaySetUiVisibility, 1, 0},
        {"display_get_windows_vertex_buffer_method", F_DisplayGetVertexBufferMethod, 0, 0},
        {"display_set_windows_vertex_buffer_method", F_DisplaySetVertexBufferMethod, 1, 0},
        {"display_get_windows_alternate_sync", F_DisplayGetAlternateSync, 0, 0},
        {"display_set_windows_alternate_sync", F_DisplaySetAlternateSync, 1, 0},
        {"draw_enable_drawevent", F_DrawEnableDrawEvent, 1, 0},
        {"draw_enable_swf_aa", F_DrawEnableSwfAA, 1, 1},
        {"draw_set_swf_aa_level", F_DrawSetSwfAALevel, 1, 1},
        {"draw_get_swf_aa_level", F_DrawGetSwfAALevel, 0, 1},
        {"window_set_fullscreen", F_WindowSetFullscreen, 1, 0},
        {"window_get_fullscreen", F_WindowGetFullscreen, 0, 0},
        {"window_set_caption", F_WindowSetCaption, 1, 0},
        {"window_get_caption", F_WindowGetCaption, 0, 0},
        {"window_set_cursor", F_WindowSetCursor, 1, 0},
        {"window_get_cursor", F_WindowGetCursor, 0, 0},
        {"window_set_colour", F_WindowSetColour, 1, 0},
        {"window_set_color", F_WindowSetColour, 1, 0},
        {"window_get_colour", F_WindowGetColour, 0, 0},
        {"window_get_color", F_WindowGetColour, 0, 0},
        {"window_set_min_width", F_WindowSetMinWidth, 1, 0},
        {"window_set_max_width", F_WindowSetMaxWidth, 1, 0},
        {"window_set_min_height", F_WindowSetMinHeight, 1, 0},
        {"window_set_max_height", F_WindowSetMaxHeight, 1, 0},
        {"window_set_position", F_WindowSetPosition, 2, 0},
        {"window_set_size", F_WindowSetSize, 2, 0},
        {"window_set_rectangle", F_WindowSetRectangle, 4, 0},
        {"window_center", F_WindowCenter, 0, 0},
        {"window_get_x", F_WindowGetX, 0, 0},
        {"window_get_y", F_WindowGetY, 0, 0},
        {"window_get_width", F_WindowGetWidth, 0, 0},
        {"window_get_height", F_WindowGetHeight, 0, 0},
        {"window_get_visible_rects", F_WindowGetVisibleRects, 4, 0},
        {"window_mouse_get_x", F_WindowMouseGetX, 0, 0},
        {"window_mouse_get_y", F_WindowMouseGetY, 0, 0},
        {"window_mouse_set", F_WindowMouseSet, 2, 0},
        {"window_view_mouse_get_x", F_WindowViewMouseGetX, 1, 0},
        {"window_view_mouse_get_y", F_WindowViewMouseGetY, 1, 0},
        {"window_views_mouse_get_x", F_WindowViewsMouseGetX, 0, 0},
        {"window_views_mouse_get_y", F_WindowViewsMouseGetY, 0, 0},
        {"window_get_visible", F_WindowAlwaysOne, 0, 0},
        {"window_get_showborder", F_WindowAlwaysZero, 0, 0},
        {"window_get_showicons", F_WindowAlwaysZero, 0, 0},
        {"window_get_stayontop", F_WindowAlwaysZero, 0, 0},
        {"window_get_sizeable", F_WindowAlwaysZero, 0, 0},
        {"window_set_visible", F_WindowIgnored, 1, 0},
        {"window_set_showborder", F_WindowIgnored, 1, 0},
        {"window_set_showicons", F_WindowIgnored, 1, 0},
        {"window_set_stayontop", F_WindowIgnored, 1, 0},
        {"window_set_sizeable", F_WindowIgnored, 1, 0},
        {"window_default", F_WindowIgnored, 0, 0},
        {"window_view_mouse_set", F_WindowIgnored, 3, 0},
        {"window_views_mouse_set", F_WindowIgnored, 2, 0},
        {"screen_save", F_ScreenSave, 1, 0},
        {"screen_save_part", F_ScreenSavePart, 5, 0},
    };
    Code_Function_AddRows(kRows);
}
