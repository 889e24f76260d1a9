#include "graphics/Graphics_Overlay.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/GEN8.h"
#include "base/GameOptions.h"
#include "core/RunSwitches.h"
#include "core/Timing.h"
#include "graphics/BuiltinImages.h"
#include "graphics/GPUState.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/Graphics_Window.h"
#include "graphics/TexturesM.h"
#include "platform/GpuDefs.h"

namespace {

struct TimingMarker {
    int64_t start;
    int64_t end;
    uint32_t colour;
    const char* name;
};

struct OverlayVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(OverlayVertex) == 24, "format 24 vertices");

constexpr uint32_t kTotalColour = 0xFF000080u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kHeaderShade = 0xC0000000u;
constexpr int32_t kTrackAfterFrames = 100;
constexpr size_t kFirstTextCapacity = 2048;

struct OverlayState {
    TextureRecord* font = nullptr;
    float budget = OVERLAY_TIMING_BUDGET;
    int32_t lineHeight = 0;
    TimingMarker markers[OVERLAY_MAX_MARKERS];
    int32_t markerCount = 0;
    int32_t open[OVERLAY_MAX_MARKERS];
    int32_t openCount = 0;
    bool frameBegun = false;
    int64_t frameStart = 0;
    int32_t fps = 0;
    // The run's frame rate, from one drawn frame to the next.
    int64_t previousStart = -1;
    int64_t frames = 0;
    int64_t trackedFrames = 0, trackedTime = 0;
    int32_t slowest = 0, fastest = 0;
    // Pointer and tap progress.
    float mouseX = 0.0f, mouseY = 0.0f;
    bool held = false;
    int32_t openProgress = 0, menuProgress = 0;
    // Matrices and states saved around the overlay's drawing.
    Matrix4 savedView{}, savedProjection{}, savedWorld{};
    uint32_t savedStates[4] = {};
};

OverlayState g_overlay;

constexpr int32_t kSavedStates[4] = {GPU_RS_ZTESTENABLE, GPU_RS_CULLMODE, GPU_RS_LIGHTING, GPU_RS_FOGENABLE};

uint32_t SwapRedBlue(uint32_t colour) {
    return (colour & 0xFF00FF00u) | ((colour & 0xFFu) << 16) | ((colour >> 16) & 0xFFu);
}

const BuiltinGlyph* Glyph(unsigned char c) {
    if (c < BUILTIN_FONT_FIRST || c > BUILTIN_FONT_LAST) return nullptr;
    return &BuiltinFont_Glyphs[c - BUILTIN_FONT_FIRST];
}

// Formats into a buffer that grows to fit: the game's name in the header comes from the data
// file and has no length limit.
std::string Format(const char* format, va_list args) {
    std::string text(kFirstTextCapacity, '\0');
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(text.data(), text.size(), format, copy);
    va_end(copy);
    if (needed < 0) return {};
    if (static_cast<size_t>(needed) >= text.size()) {
        text.resize(static_cast<size_t>(needed) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
    }
    text.resize(static_cast<size_t>(needed));
    return text;
}

float BaseWidth() {
    return static_cast<float>(Window_Get_Base_Width());
}

float BaseHeight() {
    return static_cast<float>(Window_Get_Base_Height());
}

void PutQuad(OverlayVertex* v, float x0, float y0, float x1, float y1, float z, uint32_t colour) {
    v[0] = {x0, y0, z, colour, 0.0f, 0.0f};
    v[1] = {x1, y0, z, colour, 0.0f, 0.0f};
    v[2] = {x1, y1, z, colour, 0.0f, 0.0f};
    v[3] = {x1, y1, z, colour, 0.0f, 0.0f};
    v[4] = {x0, y1, z, colour, 0.0f, 0.0f};
    v[5] = {x0, y0, z, colour, 0.0f, 0.0f};
}

void TrackFrameRate(int64_t start) {
    if (g_overlay.previousStart >= 0 && start > g_overlay.previousStart) {
        const int64_t period = start - g_overlay.previousStart;
        if (++g_overlay.frames > kTrackAfterFrames) {
            const int32_t fps = static_cast<int32_t>(1000000 / period);
            if (g_overlay.trackedFrames == 0 || fps < g_overlay.slowest) g_overlay.slowest = fps;
            if (g_overlay.trackedFrames == 0 || fps > g_overlay.fastest) g_overlay.fastest = fps;
            ++g_overlay.trackedFrames;
            g_overlay.trackedTime += period;
        }
    }
    g_overlay.previousStart = start;
}

}  // namespace

// The four corners, the centre and a diagonal open the header; the four edge middles, the
// centre, the top corners and the centre again open the menu.
const uint32_t Overlay_Open_Sequence[OVERLAY_OPEN_STEPS] = {
    Overlay_Step(0, 0, 1), Overlay_Step(9, 0, 1), Overlay_Step(9, 9, 1), Overlay_Step(0, 9, 1),
    Overlay_Step(5, 5, 2), Overlay_Step(0, 0, 1), Overlay_Step(9, 9, 1),
};
const uint32_t Overlay_Menu_Sequence[OVERLAY_MENU_STEPS] = {
    Overlay_Step(5, 0, 1), Overlay_Step(5, 9, 1), Overlay_Step(0, 5, 1), Overlay_Step(9, 5, 1),
    Overlay_Step(5, 5, 2), Overlay_Step(0, 0, 1), Overlay_Step(9, 0, 1), Overlay_Step(5, 5, 2),
};

void Overlay_Init() {
    if (g_overlay.font == nullptr && g_D3D.device)
        g_overlay.font = GR_Builtin_Image_Texture(BUILTIN_IMAGE_FONT);
    g_overlay.budget = OVERLAY_TIMING_BUDGET;
    g_overlay.lineHeight = Glyph('@')->height + 2;
    g_overlay.openCount = 0;
    g_overlay.markerCount = 0;
    g_overlay.frameBegun = false;
}

void Overlay_Shutdown() {
    if (g_overlay.font != nullptr) GR_Texture_Free_Record(g_overlay.font);
    g_overlay = OverlayState{};
}

void Overlay_Frame_Begin() {
    g_overlay.openCount = 0;
    g_overlay.markerCount = 0;
    g_overlay.frameBegun = true;
    g_overlay.frameStart = Timing_Time();
    TextureSwitchCount = 0;
    g_Batch.drawCalls = 0;
    Overlay_Timing_Begin(kTotalColour, "Total");
}

void Overlay_Timing_Begin(uint32_t colour, const char* name) {
    if (!g_overlay.frameBegun) Overlay_Frame_Begin();
    if (g_overlay.markerCount >= OVERLAY_MAX_MARKERS) return;
    const int32_t index = g_overlay.markerCount++;
    const int64_t now = Timing_Time();
    g_overlay.markers[index] = {now, now, colour, name};
    g_overlay.open[g_overlay.openCount++] = index;
}

int32_t Overlay_Timing_End() {
    if (g_overlay.openCount == 0) return 0;
    g_overlay.markers[g_overlay.open[--g_overlay.openCount]].end = Timing_Time();
    return 1;
}

void Overlay_Draw() {
    if (!g_overlay.frameBegun) Overlay_Frame_Begin();
    Overlay_Timing_End();
    const TimingMarker& total = g_overlay.markers[0];
    const float frameTime = static_cast<float>(total.end - total.start);
    const float fps = frameTime > 0.0f ? 1000000.0f / frameTime : 0.0f;
    g_overlay.fps = static_cast<int32_t>(std::fmin(fps, 2147483520.0f));
    TrackFrameRate(total.end);

    Overlay_Handle_Input();
    Overlay_Begin_Draw();
    const int32_t flags = g_Switches.debugOverlayFlags;
    if (flags & OVERLAY_BARS) {
        Overlay_Draw_Timing_Bars();
        Overlay_Printf_Outlined(0.0f, 0.0f, kBlack, kWhite, "%dfps\t\t(%d)(%d)", g_overlay.fps,
                                static_cast<int32_t>(TextureSwitchCount),
                                static_cast<int32_t>(g_Batch.drawCalls));
    }
    if (flags & OVERLAY_HEADER) Overlay_Draw_Header();
    if (flags & OVERLAY_AUDIO) g_GRHooks.overlayAudioView(0);
    if (flags & OVERLAY_AUDIO_SECOND) g_GRHooks.overlayAudioView(1);
    Overlay_End_Draw();
    g_overlay.frameBegun = false;
}

void Overlay_Begin_Draw() {
    for (int32_t i = 0; i < 4; ++i)
        g_overlay.savedStates[i] = GPUState_GetRenderState(&g_GPUState, kSavedStates[i]);
    GR_D3D_Get_Matrix(GR_MATRIX_VIEW, &g_overlay.savedView);
    GR_D3D_Get_Matrix(GR_MATRIX_PROJECTION, &g_overlay.savedProjection);
    GR_D3D_Get_Matrix(GR_MATRIX_WORLD, &g_overlay.savedWorld);
    const int32_t width = g_D3D.backBufferWidth, height = g_D3D.backBufferHeight;
    Matrix4 view = Matrix_Identity;
    view.m[12] = static_cast<float>(-(width / 2)) - (width > 0 ? 1.0f / static_cast<float>(width) : 0.0f);
    view.m[13] = static_cast<float>(-(height / 2)) + (height > 0 ? 1.0f / static_cast<float>(height) : 0.0f);
    view.m[14] = 16000.0f;
    GR_D3D_Set_Matrix(GR_MATRIX_VIEW, view);
    Matrix4 projection;
    Matrix_Build_Ortho(&projection, static_cast<float>(width), static_cast<float>(-height), 1.0f, 32000.0f);
    GR_D3D_Set_Matrix(GR_MATRIX_PROJECTION, projection);
    for (int32_t id : kSavedStates) GPUState_SetRenderState(&g_GPUState, id, 0);
    GPUState_SetRenderState(&g_GPUState, GPU_RS_BLENDENABLE, 1);
    GR_D3D_Set_Matrix(GR_MATRIX_WORLD, Matrix_Identity);
    GR_D3D_Set_Texture(g_Batch.textureStage, g_overlay.font);
}

void Overlay_End_Draw() {
    GraphicsFlush();
    GR_D3D_Set_Texture(g_Batch.textureStage, nullptr);
    for (int32_t i = 0; i < 4; ++i)
        GPUState_SetRenderState(&g_GPUState, kSavedStates[i], g_overlay.savedStates[i]);
    GPUState_SetRenderState(&g_GPUState, GPU_RS_BLENDENABLE, 1);
    // The stored projection carries the half-pixel shift, which setting it adds again.
    Matrix4 projection = g_overlay.savedProjection;
    if (g_HalfPixelAdjust && g_Viewport.width > 0 && g_Viewport.height > 0) {
        projection.m[12] += 1.0f / static_cast<float>(g_Viewport.width);
        projection.m[13] -= 1.0f / static_cast<float>(g_Viewport.height);
    }
    GR_D3D_Set_Matrix(GR_MATRIX_PROJECTION, projection);
    GR_D3D_Set_Matrix(GR_MATRIX_VIEW, g_overlay.savedView);
    // The game's world matrix outlives the frame.
    GR_D3D_Set_Matrix(GR_MATRIX_WORLD, g_overlay.savedWorld);
}

void Overlay_Draw_Timing_Bars() {
    if (!g_GRHooks.drawingEnabled() || !g_D3D.device) return;
    const int32_t count = g_overlay.markerCount + 1;
    auto* v = static_cast<OverlayVertex*>(
        GR_Batch_Alloc(D3DPT_TRIANGLELIST, g_D3D.whiteTexture, GR_FORMAT_XYZCUV, count * 6));
    if (v == nullptr) return;
    const float scale = BaseWidth() / g_overlay.budget;
    PutQuad(v, 0.0f, 10.0f, static_cast<float>(g_D3D.presentDuration) * scale, 20.0f, 0.5f, kWhite);
    for (int32_t i = 0; i < g_overlay.markerCount; ++i) {
        const TimingMarker& m = g_overlay.markers[i];
        PutQuad(v + (i + 1) * 6, static_cast<float>(m.start - g_overlay.frameStart) * scale, 10.0f,
                static_cast<float>(m.end - g_overlay.frameStart) * scale, 20.0f, 0.5f, SwapRedBlue(m.colour));
    }
}

void Overlay_Draw_Header() {
    const float width = BaseWidth();
    Overlay_Draw_Rectangle(0.0f, 0.0f, width, 100.0f, kHeaderShade);
    // The asterisk would mark a data file whose object definitions carry flagged sprite
    // words; such files are not read here, so the mark is always blank.
    Overlay_Printf_Centred(40.0f, width, kWhite, "Pell Works Runner v%d.%d(%d)[%s]%c", 1, 0, 999, "r32908",
                           ' ');
    if (g_GameHeader.gameName != nullptr) {
        Overlay_Printf_Centred(54.0f, width, kWhite, "Game : %s v%d.%d", g_GameHeader.gameName,
                               g_GameOptions.versionMajor, g_GameOptions.versionMinor);
    }
    Overlay_Printf(width - 80.0f, 80.0f, kWhite, "CLOSE");
    if (g_Switches.debugOverlayFlags & OVERLAY_MENU) {
        Overlay_Printf(10.0f, 10.0f, kWhite, "%s",
                       g_Switches.debugOverlayFlags & OVERLAY_BARS ? "FPS : ON" : "FPS : OFF");
        Overlay_Printf(10.0f, 30.0f, kWhite, "%s",
                       g_Switches.debugOverlayFlags & OVERLAY_AUDIO ? "AUDIO : ON" : "AUDIO : OFF");
    }
}

float Overlay_Draw_Text(float x, float y, float xScale, float yScale, uint32_t colour, const char* text,
                        int32_t maximum) {
    if (text == nullptr || maximum <= 0) return 0.0f;
    // One reservation per run: a run longer than the batch holds is cut there.
    const int32_t length = static_cast<int32_t>(
        strnlen(text, static_cast<size_t>(std::min(maximum, GR_Batch_Max_Vertices() / 6))));
    if (length == 0 || !g_D3D.device) return 0.0f;
    auto* v = static_cast<OverlayVertex*>(
        GR_Batch_Alloc(D3DPT_TRIANGLELIST, g_overlay.font, GR_FORMAT_XYZCUV, length * 6));
    if (v == nullptr) return 0.0f;
    const uint32_t argb = SwapRedBlue(colour);
    const float left = std::trunc(x), top = std::trunc(y);
    float pen = left;
    int32_t drawn = 0;
    for (int32_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\t') {
            pen = std::trunc((pen + 63.0f) / 64.0f) * 64.0f;
            continue;
        }
        // Control characters and those past the font draw nothing and do not move the pen.
        const BuiltinGlyph* glyph = Glyph(c);
        const float advance = glyph != nullptr ? static_cast<float>(glyph->width) * xScale : 0.0f;
        if (glyph != nullptr && c != ' ') {
            const float x1 = pen + advance, y1 = top + static_cast<float>(glyph->height) * yScale;
            const float u0 = static_cast<float>(glyph->x) / BUILTIN_FONT_WIDTH;
            const float v0 = static_cast<float>(glyph->y) / BUILTIN_FONT_HEIGHT;
            const float u1 = static_cast<float>(glyph->x + glyph->width) / BUILTIN_FONT_WIDTH;
            const float v1 = static_cast<float>(glyph->y + glyph->height) / BUILTIN_FONT_HEIGHT;
            OverlayVertex* q = v + drawn * 6;
            q[0] = {pen, top, 0.7f, argb, u0, v0};
            q[1] = {x1, top, 0.7f, argb, u1, v0};
            q[2] = {x1, y1, 0.7f, argb, u1, v1};
            q[3] = {x1, y1, 0.7f, argb, u1, v1};
            q[4] = {pen, y1, 0.7f, argb, u0, v1};
            q[5] = {pen, top, 0.7f, argb, u0, v0};
            ++drawn;
        }
        pen += advance;
    }
    if (drawn < length) GR_Batch_Unreserve((length - drawn) * 6);
    return pen - x;
}

float Overlay_Printf(float x, float y, uint32_t colour, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = Format(format, args);
    va_end(args);
    return Overlay_Draw_Text(x, y, 1.0f, 1.0f, colour, text.c_str(), static_cast<int32_t>(text.size()));
}

float Overlay_Printf_Outlined(float x, float y, uint32_t outline, uint32_t colour, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = Format(format, args);
    va_end(args);
    const int32_t n = static_cast<int32_t>(text.size());
    Overlay_Draw_Text(x - 1.0f, y - 1.0f, 1.0f, 1.0f, outline, text.c_str(), n);
    Overlay_Draw_Text(x + 1.0f, y - 1.0f, 1.0f, 1.0f, outline, text.c_str(), n);
    Overlay_Draw_Text(x - 1.0f, y + 1.0f, 1.0f, 1.0f, outline, text.c_str(), n);
    Overlay_Draw_Text(x + 1.0f, y + 1.0f, 1.0f, 1.0f, outline, text.c_str(), n);
    Overlay_Draw_Text(x, y, 1.0f, 1.0f, colour, text.c_str(), n);
    return Overlay_Text_Width(text.c_str(), n) + 2.0f;
}

float Overlay_Printf_Centred(float y, float width, uint32_t colour, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = Format(format, args);
    va_end(args);
    const int32_t n = static_cast<int32_t>(text.size());
    const float x = (width + 1.0f - Overlay_Text_Width(text.c_str(), n)) * 0.5f;
    return Overlay_Draw_Text(x, y, 1.0f, 1.0f, colour, text.c_str(), n);
}

float Overlay_Text_Width(const char* text, int32_t length) {
    float width = 0.0f;
    for (int32_t i = 0; text != nullptr && i < length && text[i] != '\0'; ++i) {
        const BuiltinGlyph* glyph = Glyph(static_cast<unsigned char>(text[i]));
        if (glyph != nullptr) width += static_cast<float>(glyph->width);
    }
    return width;
}

int32_t Overlay_Line_Height() {
    return g_overlay.lineHeight;
}

void Overlay_Draw_Rectangle(float x, float y, float width, float height, uint32_t colour) {
    if (!g_D3D.device) return;
    auto* v = static_cast<OverlayVertex*>(
        GR_Batch_Alloc(D3DPT_TRIANGLESTRIP, g_D3D.whiteTexture, GR_FORMAT_XYZCUV, 4));
    if (v == nullptr) return;
    v[0] = {x, y + height, 0.0f, colour, 0.0f, 0.0f};
    v[1] = {x, y, 0.0f, colour, 0.0f, 0.0f};
    v[2] = {x + width, y + height, 0.0f, colour, 0.0f, 0.0f};
    v[3] = {x + width, y, 0.0f, colour, 0.0f, 0.0f};
}

void Overlay_Handle_Input() {
    g_overlay.held = g_GRHooks.overlayPointer(&g_overlay.mouseX, &g_overlay.mouseY);
    int32_t& flags = g_Switches.debugOverlayFlags;
    const float width = BaseWidth();
    const bool held = g_overlay.held;
    if (!(flags & OVERLAY_HEADER)) {
        if (held &&
            Overlay_Check_Tap_Pattern(&g_overlay.openProgress, Overlay_Open_Sequence, OVERLAY_OPEN_STEPS))
            flags |= OVERLAY_HEADER;
        return;
    }
    const float x = g_overlay.mouseX, y = g_overlay.mouseY;
    if (held && x > width - 80.0f && x < width - 16.0f && y >= 81.0f && y <= 95.0f)
        flags &= ~(OVERLAY_HEADER | OVERLAY_MENU);
    if (flags & OVERLAY_MENU) {
        if (held && x >= 11.0f && x <= 73.0f && y >= 11.0f && y <= 25.0f)
            flags ^= OVERLAY_BARS;
        else if (held && Overlay_Mouse_In_Rect(10.0f, 30.0f, 64.0f, 16.0f))
            flags ^= OVERLAY_AUDIO;
        return;
    }
    if (held && Overlay_Check_Tap_Pattern(&g_overlay.menuProgress, Overlay_Menu_Sequence, OVERLAY_MENU_STEPS))
        flags |= OVERLAY_MENU;
}

bool Overlay_Check_Tap_Pattern(int32_t* state, const uint32_t* sequence, int32_t length) {
    const float width = BaseWidth(), height = BaseHeight();
    if (width <= 0.0f || height <= 0.0f) return false;
    const float fx = std::trunc(g_overlay.mouseX / width * 10.0f);
    const float fy = std::trunc(g_overlay.mouseY / height * 10.0f);
    if (fx < 0.0f || fx > 9.0f || fy < 0.0f || fy > 9.0f) return false;
    const int32_t cx = static_cast<int32_t>(fx), cy = static_cast<int32_t>(fy);
    if (*state < 0 || *state >= length) *state = 0;
    const uint32_t step = sequence[*state];
    const int32_t sx = static_cast<int32_t>(step & 0xFF), sy = static_cast<int32_t>((step >> 8) & 0xFF);
    const int32_t tolerance = static_cast<int32_t>((step >> 16) & 0xFF);
    if (std::abs(cx - sx) <= tolerance && std::abs(cy - sy) <= tolerance) {
        if (++*state == length) {
            *state = 0;
            return true;
        }
        return false;
    }
    *state = 0;
    return false;
}

bool Overlay_Mouse_In_Rect(float x, float y, float width, float height) {
    return g_overlay.mouseX > x && g_overlay.mouseX < x + width && g_overlay.mouseY > y &&
           g_overlay.mouseY < y + height;
}

int32_t Overlay_Fps() {
    return g_overlay.fps;
}

void Overlay_Fps_Stats(int32_t* minimum, int32_t* maximum, int32_t* average) {
    *minimum = g_overlay.slowest;
    *maximum = g_overlay.fastest;
    *average = g_overlay.trackedTime > 0
                   ? static_cast<int32_t>(g_overlay.trackedFrames * 1000000 / g_overlay.trackedTime)
                   : 0;
}
