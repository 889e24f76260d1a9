#include "room/Room_Draw.h"

#include <cmath>

#include "assets/Sprite_Main.h"
#include "core/Instance.h"
#include "core/RuntimeError.h"
#include "graphics/GPUState.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Window.h"
#include "graphics/ShaderM.h"
#include "assets/Function_Graphics_Colour.h"
#include "room/Camera_Main.h"
#include "room/Function_Layer.h"
#include "room/Layer_Manager.h"
#include "room/Room_LayerDraw.h"
#include "world/Event_Main.h"
#include "base/GEN8.h"
#include "world/Room_Services.h"
#include "world/IO_Main.h"
#include "world/World_Step.h"
#include "world/Object_Class.h"
#include "world/Object_Main.h"
#include "world/Room_Class.h"
#include "world/Run.h"

FrameDrawState g_FrameDraw;
DisplayMapping g_DisplayMapping;
Matrix4 g_GuiInverse = Matrix_Identity;

namespace {

constexpr const char* kUnbalancedStack =
    "Unbalanced surface stack. You MUST use surface_reset_target() for each set.";

int32_t WindowWidth() {
    return g_D3D.backBufferWidth;
}

int32_t WindowHeight() {
    return g_D3D.backBufferHeight;
}

GRBounds WindowRect() {
    return {0, 0, WindowWidth(), WindowHeight()};
}

bool Drawable(const CInstance* instance) {
    return instance && !instance->destroyed && !instance->deactivated && instance->visible;
}

bool HasHandler(const CInstance* instance, int32_t type, int32_t subtype) {
    return instance->object && instance->object->HasEvent(type, subtype);
}

// Whether any object has a handler of its own for the event. When none has, no instance has one
// (an instance's handler is its object's or a parent's), and a pass need not visit them all.
bool AnyObjectHandles(int32_t type, int32_t subtype) {
    CHashIterator it;
    for (CObjectHV* object = Object_IterateFirst(it); it.node != nullptr; object = Object_IterateNext(it))
        if (object && object->GetEvent(type, subtype)) return true;
    return false;
}

// One draw-event pass; `clear` (when not null and set) clears the target before the first
// handler that runs and is then dropped.
void RunPass(const GRBounds& rect, int32_t type, int32_t subtype, bool* clear) {
    g_ViewBounds = rect;
    GR_Mark_Transform_Dirty();
    CRoom* room = Run_Room();
    if (!room) return;
    // Asking the objects costs less than asking every instance only where instances outnumber them.
    const bool handled = room->active.count <= Object_Count() || AnyObjectHandles(type, subtype);
    auto perform = [&](CInstance* instance) {
        if (!Drawable(instance) || !HasHandler(instance, type, subtype)) return;
        if (clear && *clear) {
            GR_Draw_Clear(Window_Get_Colour());
            *clear = false;
        }
        PerformEvent_Instance(instance, instance, type, subtype);
    };
    if (Room_LayerCount(room) > 0) {
        for (CLayer* layer = Room_LastLayer(room); layer; layer = layer->prev) {
            if (!layer->visible) continue;
            const bool shaded = layer->shader != -1;
            if (shaded) Shader_Set_Index(layer->shader);
            Layer_RunScript(layer->id, layer->beginScript, type, subtype);
            for (CLayerElement* element = handled ? layer->elements.head : nullptr; element;) {
                CLayerElement* next = element->next;
                if (element->kind == eLayerElement_Instance)
                    perform(static_cast<LayerInstanceElement*>(element)->instance);
                if (element->layer != layer || (next && next->layer != layer)) break;
                element = next;
            }
            Layer_RunScript(layer->id, layer->endScript, type, subtype);
            if (shaded) Shader_Reset();
        }
        return;
    }
    for (CInstance* instance = handled ? room->active.tail : nullptr; instance;) {
        CInstance* next = instance->depthPrev;
        perform(instance);
        instance = next;
    }
}

void SetDefaultView(float x, float y, float w, float h) {
    if (g_GameHeader.layerModel)
        Camera_SetDefaultView(x, y, w, h, 0);
    else
        GR_D3D_Set_View_Projection(x, y, w, h, 0);
}

// Step 1: the application surface made, resized or freed.
void PrepareApplicationSurface() {
    RunState& run = g_RunState;
    if (run.applicationSurfaceEnabled) {
        if (!g_FrameDraw.surfaceUsedLastFrame && g_FrameDraw.rememberedWidth > 0) {
            run.applicationSurfaceWidth = g_FrameDraw.rememberedWidth;
            run.applicationSurfaceHeight = g_FrameDraw.rememberedHeight;
        }
        // A size never set is the game's render size.
        if (run.applicationSurfaceWidth <= 0 || run.applicationSurfaceHeight <= 0) {
            run.applicationSurfaceWidth = g_D3D.renderWidth;
            run.applicationSurfaceHeight = g_D3D.renderHeight;
        }
        if (run.applicationSurface < 0 || !GR_Surface_Exists(run.applicationSurface)) {
            const int32_t w = run.applicationSurfaceWidth, h = run.applicationSurfaceHeight;
            run.applicationSurface = GR_Surface_Create(w, h, -1);
            run.applicationSurfaceWidth = w;
            run.applicationSurfaceHeight = h;
            g_Window.baseWidth = w;
            g_Window.baseHeight = h;
        }
        if (run.pendingSurfaceWidth > 0 && run.pendingSurfaceHeight > 0) {
            const int32_t w = run.pendingSurfaceWidth, h = run.pendingSurfaceHeight;
            run.pendingSurfaceWidth = run.pendingSurfaceHeight = -1;
            GR_Surface_Resize(run.applicationSurface, w, h);
            run.applicationSurfaceWidth = w;
            run.applicationSurfaceHeight = h;
        }
    } else {
        run.applicationSurfaceWidth = g_D3D.clientWidth;
        run.applicationSurfaceHeight = g_D3D.clientHeight;
        if (GR_Surface_Exists(run.applicationSurface)) {
            GR_Surface_Free(run.applicationSurface, true);
            run.applicationSurface = GR_NO_APPLICATION_SURFACE;
        }
    }
    g_FrameDraw.surfaceInUse = run.applicationSurfaceEnabled;
    g_FrameDraw.surfaceUsedLastFrame = g_FrameDraw.surfaceInUse;
}

void SetViewport(int32_t x, int32_t y, int32_t w, int32_t h) {
    GR_Set_Viewport(x, y, w, h);
}

int32_t Trunc(float value) {
    return std::isfinite(value) && std::fabs(value) < 2147483647.0f ? static_cast<int32_t>(value) : 0;
}

// Step 7 for one visible view.
void DrawOneView(CRoom& room, int32_t index) {
    const RoomView& view = room.views[index];
    const float scaleX = g_FrameDraw.portScaleX, scaleY = g_FrameDraw.portScaleY;
    const SurfaceRecord* surface = view.surfaceId != -1 ? GR_Surface_Get(view.surfaceId) : nullptr;
    g_FrameDraw.viewSurfaceTexture = false;
    if (surface && surface->textureId >= 0) {
        GraphicsFlush();
        if (GR_Surface_Set_Target(0, view.surfaceId)) {
            g_FrameDraw.viewSurfaceTexture = true;
            SetViewport(0, 0, surface->width, surface->height);
        }
    }
    if (!g_FrameDraw.viewSurfaceTexture) {
        SetViewport(Trunc(view.portX * scaleX), Trunc(view.portY * scaleY), Trunc(view.portW * scaleX),
                    Trunc(view.portH * scaleY));
    }
    if (g_GameHeader.layerModel) {
        g_CameraManager.SetActive(view.cameraId);
        if (CCamera* camera = g_CameraManager.GetActive()) {
            camera->RunBeginScript();
            camera->Apply();
        }
    } else {
        GR_D3D_Set_View_Projection(view.viewX, view.viewY, view.viewW, view.viewH, view.angle);
    }
    Draw_View(g_ViewBounds);
    if (g_FrameDraw.viewSurfaceTexture) {
        g_FrameDraw.viewSurfaceTexture = false;
        GR_Surface_Reset_Target();
    }
    g_FrameDraw.portScaleX = scaleX;
    g_FrameDraw.portScaleY = scaleY;
    if (g_GameHeader.layerModel) {
        if (CCamera* camera = g_CameraManager.GetActive()) camera->RunEndScript();
        g_CameraManager.SetActive(-1);
    }
}

void DrawViews(CRoom& room) {
    if (room.viewsEnabled) {
        if (room.clearWindow) GR_Draw_Clear(Window_Get_Colour());
        for (int32_t i = 0; i < kRoomViews; ++i) {
            g_RunState.viewCurrent = i;
            if (!room.views[i].visible) continue;
            DrawOneView(room, i);
        }
        GraphicsFlush();
        return;
    }
    g_RunState.viewCurrent = 0;
    GraphicsFlush();
    SetViewport(0, 0, g_RunState.applicationSurfaceWidth, g_RunState.applicationSurfaceHeight);
    SetDefaultView(0, 0, static_cast<float>(room.width), static_cast<float>(room.height));
    Draw_View(g_ViewBounds);
}

void DrawCursor() {
    CSprite* sprite = Sprite_Get(g_RunState.cursorSprite);
    if (!sprite) return;
    Matrix4 view = Matrix_Identity;
    view.m[12] = -static_cast<float>(WindowWidth()) * 0.5f;
    view.m[13] = -static_cast<float>(WindowHeight()) * 0.5f;
    view.m[14] = 16000.0f;
    GR_D3D_Set_Matrix(GR_MATRIX_VIEW, view);
    const bool bypass = g_SpriteCullBypass;
    g_SpriteCullBypass = true;
    const int32_t frame = static_cast<int32_t>(g_FrameTiming.stepCount & 0x7FFFFFFF);
    sprite->DrawExt(frame, static_cast<float>(Window_Mouse_Get_X()), static_cast<float>(Window_Mouse_Get_Y()),
                    1, 1, 0, 0xFFFFFF, 1);
    g_SpriteCullBypass = bypass;
}

void DrawFrameBody() {
    CRoom* room = Run_Room();
    if (!room) return;
    PrepareApplicationSurface();
    const bool inUse = g_FrameDraw.surfaceInUse;
    const int32_t surface = g_RunState.applicationSurface;

    // Pre-draw, in window coordinates.
    const bool saved3D = g_3DMode;
    if (g_GameHeader.layerModel) g_3DMode = false;
    SetViewport(0, 0, WindowWidth(), WindowHeight());
    SetDefaultView(0, 0, static_cast<float>(WindowWidth()), static_cast<float>(WindowHeight()));
    g_FrameDraw.portScaleX = g_FrameDraw.portScaleY = 1.0f;
    bool pendingClear = room->clearDisplay && inUse;
    if (Draw_PreDrawEvent(WindowRect(), kDrawEventType, DRAW_EVENT_PRE, pendingClear)) pendingClear = false;
    if (g_GameHeader.layerModel) g_3DMode = saved3D;

    if (inUse) GR_Surface_Set_Target(0, surface);
    Views_FollowTargets();
    if (Room_LayerCount(room) == 0) room->SortTiles();
    g_FrameDraw.viewSurfaceTexture = false;
    DrawViews(*room);
    if (inUse) GR_Surface_Reset_Target();

    // Post-draw, in window coordinates.
    const bool postSaved3D = g_3DMode;
    g_3DMode = false;
    SetViewport(0, 0, WindowWidth(), WindowHeight());
    GR_D3D_Set_View_Projection(0, 0, static_cast<float>(WindowWidth()), static_cast<float>(WindowHeight()),
                               0);
    const float scaleX = g_FrameDraw.portScaleX, scaleY = g_FrameDraw.portScaleY;
    g_FrameDraw.portScaleX = g_FrameDraw.portScaleY = 1.0f;
    if (pendingClear) GR_Draw_Clear(Window_Get_Colour());
    Draw_RunDrawEvent(WindowRect(), kDrawEventType, DRAW_EVENT_POST);

    if (GR_Surface_Stack_Depth() != 0) {
        Runtime_ShowError(kUnbalancedStack, false);
        // The targets left behind are popped, so the next frame starts from the back buffer.
        while (GR_Surface_Stack_Depth() > 0 && GR_Surface_Reset_Target()) {
        }
        g_3DMode = postSaved3D;
        g_RunState.viewCurrent = 0;
        return;
    }
    g_FrameDraw.portScaleX = scaleX;
    g_FrameDraw.portScaleY = scaleY;
    if (g_FrameDraw.surfaceDraw && inUse)
        Draw_ApplicationSurface(surface, 0, 0, static_cast<float>(WindowWidth()),
                                static_cast<float>(WindowHeight()), g_D3D.keepAspect, true);

    // The GUI pass, in window (or GUI) coordinates.
    const bool perspective = g_Perspective;
    g_3DMode = postSaved3D;
    GR_D3D_Set_3D_Mode(false);
    GR_Set_Depth(0);
    g_FrameDraw.guiPass = true;
    GUI_BeginDraw();
    for (int32_t subtype : {DRAW_EVENT_GUI_BEGIN, DRAW_EVENT_GUI, DRAW_EVENT_GUI_END})
        Draw_RunDrawEvent(g_ViewBounds, kDrawEventType, subtype);
    g_FrameDraw.guiPass = false;
    DrawCursor();
    GR_D3D_Set_3D_Mode(postSaved3D);
    g_Perspective = perspective;
    g_RunState.viewCurrent = 0;
}

}  // namespace

bool Draw_PreDrawEvent(const GRBounds& rect, int32_t type, int32_t subtype, bool clearFirst) {
    bool clear = clearFirst;
    RunPass(rect, type, subtype, &clear);
    return clearFirst && !clear;
}

void Draw_RunDrawEvent(const GRBounds& rect, int32_t type, int32_t subtype) {
    RunPass(rect, type, subtype, nullptr);
}

void Draw_View(const GRBounds& rect) {
    g_ViewBounds = rect;
    GR_Mark_Transform_Dirty();
    CRoom* room = Run_Room();
    if (!room) return;
    uint32_t mask = 0;
    if (g_3DMode || g_GameHeader.layerModel) mask |= 2;
    uint32_t colour = 0;
    if (room->showColour) {
        mask |= 1;
        colour = 0xFF000000u | (static_cast<uint32_t>(room->colour) & 0xFFFFFF);
    }
    if (mask != 0) GR_D3D_Clear(colour, 1.0f, 0, mask | 2 | 4);
    Draw_RunDrawEvent(rect, kDrawEventType, DRAW_EVENT_BEGIN);
    if (Room_LayerCount(room) > 0)
        Draw_Layers(rect);
    else
        Draw_LegacyRoom(rect);
    Draw_RunDrawEvent(rect, kDrawEventType, DRAW_EVENT_END);
}

void Draw_Frame() {
    DrawFrameBody();
}

void Draw_LetterboxRect(float sw, float sh, float x, float y, float w, float h, bool keepAspect,
                        float out[4]) {
    out[0] = x;
    out[1] = y;
    out[2] = w;
    out[3] = h;
    if (!keepAspect || !(sw > 0) || !(sh > 0)) return;
    const float ratio = sw / sh;
    if (h > w / ratio) {
        const float shown = w * sh / sw;
        out[1] = y + (h - shown) * 0.5f;
        out[3] = shown;
    } else if (w / ratio > h) {
        const float shown = h * ratio;
        out[0] = x + (w - shown) * 0.5f;
        out[2] = shown;
    }
}

void Draw_ApplicationSurface(int32_t surface, float x, float y, float w, float h, bool keepAspect,
                             bool resetStates) {
    GraphicsFlush();
    if (GR_Surface_Get_Texture(surface) < 0) return;
    const float sw = static_cast<float>(GR_Surface_Get_Width(surface));
    const float sh = static_cast<float>(GR_Surface_Get_Height(surface));
    if (resetStates) {
        for (int32_t id : {GPU_RS_CULLMODE, GPU_RS_ZTESTENABLE, GPU_RS_LIGHTING, GPU_RS_FOGENABLE,
                           GPU_RS_BLENDENABLE, GPU_RS_ALPHATESTENABLE, GPU_RS_STENCILENABLE})
            GR_D3D_Apply_Render_State(id, 0);
    }
    float target[4];
    Draw_LetterboxRect(sw, sh, x, y, w, h, keepAspect, target);
    GR_Surface_Draw_Stretched(surface, target[0], target[1], target[2], target[3], 0xFFFFFF, 1.0f);
    GraphicsFlush();
    if (resetStates) {
        g_GPUState.renderDirty = ~uint64_t{0};
        g_GPUState.samplerDirty = ~uint64_t{0};
        g_GPUState.dirty = ~uint64_t{0};
        GPUState_ApplyAll(&g_GPUState);
    }
}

// ---- the GUI transform -------------------------------------------------------------------------

void GUI_ComputeTransform(Matrix4* view, Matrix4* inverse, float* scaleX, float* scaleY, float* offsetX,
                          float* offsetY) {
    *view = *inverse = Matrix_Identity;
    const float windowW = static_cast<float>(WindowWidth()), windowH = static_cast<float>(WindowHeight());
    const DisplayMapping& d = g_DisplayMapping;
    // A GUI size of 0 counts as unset, like a negative one: no division by it.
    const bool widthSet = d.guiWidth > 0, heightSet = d.guiHeight > 0;
    int32_t left, top, right, bottom;
    Window_Get_Display_Rect(&left, &top, &right, &bottom);
    const float dw = static_cast<float>(right - left), dh = static_cast<float>(bottom - top);
    if (d.guiMaximise) {
        *offsetX = -std::floor(windowW * 0.5f);
        if (d.guiOffsetX != kGuiOffsetUnset) *offsetX += static_cast<float>(d.guiOffsetX);
        *offsetY = -std::floor(windowH * 0.5f);
        if (d.guiOffsetY != kGuiOffsetUnset) *offsetY += static_cast<float>(d.guiOffsetY);
        *scaleX = d.guiScaleX;
        *scaleY = d.guiScaleY;
    } else {
        *scaleX = widthSet ? dw / d.guiWidth : 1.0f;
        *scaleY = heightSet ? dh / d.guiHeight : 1.0f;
        *offsetX = -std::floor(dw * 0.5f);
        *offsetY = -std::floor(dh * 0.5f);
    }
    if (*scaleX == 0.0f) *scaleX = 1.0f;
    if (*scaleY == 0.0f) *scaleY = 1.0f;
    view->m[0] = *scaleX;
    view->m[5] = *scaleY;
    view->m[12] = *offsetX;
    view->m[13] = *offsetY;
    view->m[14] = 1.0f;
    inverse->m[0] = 1.0f / *scaleX;
    inverse->m[5] = 1.0f / *scaleY;
    inverse->m[12] = -(windowW * 0.5f + *offsetX) / *scaleX;
    inverse->m[13] = -(windowH * 0.5f + *offsetY) / *scaleY;
    inverse->m[14] = -1.0f;
}

void GUI_ApplyTransform() {
    Matrix4 view, inverse;
    float scaleX, scaleY, offsetX, offsetY;
    GUI_ComputeTransform(&view, &inverse, &scaleX, &scaleY, &offsetX, &offsetY);
    g_GuiInverse = inverse;
    GR_D3D_Set_Matrix(GR_MATRIX_VIEW, view);
    const float windowW = static_cast<float>(WindowWidth()), windowH = static_cast<float>(WindowHeight());
    g_ViewBounds.left = static_cast<int32_t>(std::floor((-windowW * 0.5f - offsetX) / scaleX));
    g_ViewBounds.right = static_cast<int32_t>(std::ceil((windowW * 0.5f - offsetX) / scaleX));
    g_ViewBounds.top = static_cast<int32_t>(std::floor((-windowH * 0.5f - offsetY) / scaleY));
    g_ViewBounds.bottom = static_cast<int32_t>(std::ceil((windowH * 0.5f - offsetY) / scaleY));
    GR_Mark_Transform_Dirty();
}

void GUI_BeginDraw() {
    SetViewport(0, 0, WindowWidth(), WindowHeight());
    Matrix4 projection;
    Matrix_Build_Ortho(&projection, static_cast<float>(WindowWidth()), -static_cast<float>(WindowHeight()),
                       1.0f, 32000.0f);
    GR_D3D_Set_Matrix(GR_MATRIX_PROJECTION, projection);
    GUI_ApplyTransform();
}


// ---- virtual keys --------------------------------------------------------------------------------

namespace {

struct KeyVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(KeyVertex) == GR_FORMAT_XYZCUV);

bool AnyVirtualKeyVisible() {
    for (int32_t slot = 0; slot < IO_VIRTUAL_KEYS; ++slot) {
        const VirtualKey* key = IO_VirtualKey(slot);
        if (key != nullptr && (key->flags & VIRTUAL_KEY_VISIBLE) != 0) return true;
    }
    return false;
}

}  // namespace

void Draw_VirtualKeys() {
    if (!g_D3D.device || !AnyVirtualKeyVisible()) return;
    GraphicsFlush();
    Matrix4 savedView, savedProjection;
    GR_D3D_Get_Matrix(GR_MATRIX_VIEW, &savedView);
    GR_D3D_Get_Matrix(GR_MATRIX_PROJECTION, &savedProjection);
    const float windowW = static_cast<float>(WindowWidth()), windowH = static_cast<float>(WindowHeight());
    SetViewport(0, 0, WindowWidth(), WindowHeight());
    Matrix4 projection, view = Matrix_Identity;
    Matrix_Build_Ortho(&projection, windowW, -windowH, 1.0f, 32000.0f);
    view.m[12] = -windowW * 0.5f;
    view.m[13] = -windowH * 0.5f;
    view.m[14] = 16000.0f;
    GR_D3D_Set_Matrix(GR_MATRIX_PROJECTION, projection);
    GR_D3D_Set_Matrix(GR_MATRIX_VIEW, view);

    // Keys are placed in GUI coordinates, which the letterboxed display area shows.
    int32_t left, top, right, bottom;
    Window_Get_Display_Rect(&left, &top, &right, &bottom);
    const float guiW = g_DisplayMapping.guiWidth > 0 ? g_DisplayMapping.guiWidth : windowW;
    const float guiH = g_DisplayMapping.guiHeight > 0 ? g_DisplayMapping.guiHeight : windowH;
    const float scaleX = (windowW - 2.0f * static_cast<float>(left)) / guiW;
    const float scaleY = (windowH - 2.0f * static_cast<float>(top)) / guiH;
    for (int32_t slot = 0; slot < IO_VIRTUAL_KEYS; ++slot) {
        const VirtualKey* key = IO_VirtualKey(slot);
        if (key == nullptr || (key->flags & VIRTUAL_KEY_VISIBLE) == 0) continue;
        const float x1 = static_cast<float>(key->left) * scaleX + static_cast<float>(left);
        const float y1 = static_cast<float>(key->top) * scaleY + static_cast<float>(top);
        const float x2 = static_cast<float>(key->right) * scaleX + static_cast<float>(left);
        const float y2 = static_cast<float>(key->bottom) * scaleY + static_cast<float>(top);
        auto* v = static_cast<KeyVertex*>(
            GR_Batch_Alloc(D3DPT_TRIANGLELIST, g_D3D.whiteTexture, GR_FORMAT_XYZCUV, 6));
        if (v == nullptr) break;
        const float corners[6][2] = {{x1, y1}, {x2, y1}, {x2, y2}, {x2, y2}, {x1, y2}, {x1, y1}};
        for (int32_t i = 0; i < 6; ++i) v[i] = {corners[i][0], corners[i][1], 0.5f, 0xFFFFFFFFu, 0.0f, 0.0f};
    }
    GraphicsFlush();
    GR_D3D_Set_Matrix(GR_MATRIX_VIEW, savedView);
    GR_D3D_Set_Matrix(GR_MATRIX_PROJECTION, savedProjection);
}


// ---- application surface switches -------------------------------------------------------------

void Draw_SetApplicationSurfaceEnabled(bool on) {
    if (g_RunState.applicationSurfaceEnabled) {
        g_FrameDraw.rememberedWidth = g_RunState.applicationSurfaceWidth;
        g_FrameDraw.rememberedHeight = g_RunState.applicationSurfaceHeight;
    }
    g_RunState.applicationSurfaceEnabled = on;
}

bool Draw_GetApplicationSurfaceEnabled() {
    return g_RunState.applicationSurfaceEnabled;
}

void Draw_SetApplicationSurfaceDraw(bool on) {
    g_FrameDraw.surfaceDraw = on;
}

// ---- hooks -------------------------------------------------------------------------------------

namespace {

bool HookApplicationSurface(int32_t* width, int32_t* height) {
    *width = g_RunState.applicationSurfaceWidth;
    *height = g_RunState.applicationSurfaceHeight;
    return g_FrameDraw.surfaceInUse && g_RunState.applicationSurfaceEnabled;
}

bool HookRoomSize(int32_t* width, int32_t* height) {
    const CRoom* room = Run_Room();
    if (!room) return false;
    *width = room->width;
    *height = room->height;
    return true;
}

bool HookViewVisible(int32_t view) {
    const CRoom* room = Run_Room();
    return room && view >= 0 && view < kRoomViews && room->viewsEnabled && room->views[view].visible;
}

bool HookCameraIs2D() {
    const CCamera* camera = g_CameraManager.GetActive();
    return !camera || camera->Is2D();
}

void ResetDisplayMapping() {
    g_DisplayMapping = DisplayMapping{};
}

}  // namespace

void Room_InstallDrawHooks() {
    Camera_InstallHooks();
    g_RoomServices.fitWindowSize = Room_FitWindowSize;
    g_RoomServices.resetDisplayMapping = ResetDisplayMapping;
    g_WindowHooks.ApplicationSurface_Get = HookApplicationSurface;
    g_WindowHooks.Room_GetSize = HookRoomSize;
    g_WindowHooks.Room_ViewVisible = HookViewVisible;
    g_SurfaceHooks.guiDrawing = [] { return g_FrameDraw.guiPass; };
    g_SurfaceHooks.guiBeginDraw = GUI_BeginDraw;
    g_TextureHooks.cameraIs2D = HookCameraIs2D;
    g_DrawBuiltinHooks.currentView = [] { return g_RunState.viewCurrent; };
    // tilemap_draw and draw_tile draw within the view being drawn.
    LayerFunctions_SetTileDrawing(
        [](LayerTilemapElement* map, float x, float y, float depth) {
            Draw_Tilemap(g_ViewBounds, nullptr, map, x, y, depth);
        },
        [](int32_t tileSet, uint32_t data, int32_t frame, float x, float y, float depth) {
            Draw_TileFromSet(g_ViewBounds, tileSet, data, frame, x, y, depth);
        });
}
