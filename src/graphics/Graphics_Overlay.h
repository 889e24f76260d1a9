// The debug overlay, drawn over every frame just before the scene ends: a timing bar per frame
// stage with a frames-per-second line, a header bar with the runner's and the game's names and
// a CLOSE button, the FPS and AUDIO switches, and the audio system's debug views. It is opened
// at run time by hidden tap sequences and draws with the built-in font image.
#pragma once

#include <cstddef>
#include <cstdint>

// Bits of the overlay flags (g_Switches.debugOverlayFlags).
constexpr int32_t OVERLAY_HEADER = 1;
constexpr int32_t OVERLAY_BARS = 2;
constexpr int32_t OVERLAY_MENU = 8;
constexpr int32_t OVERLAY_AUDIO = 0x10;
constexpr int32_t OVERLAY_AUDIO_SECOND = 0x20;

constexpr int32_t OVERLAY_MAX_MARKERS = 1024;
// Four frames at 60 per second, the single-precision value nearest 1,000,000 / 15: the span
// of the window's base width in the timing bars.
constexpr float OVERLAY_TIMING_BUDGET = 66666.664f;

// A tap-sequence step: cell x in byte 0, cell y in byte 1, tolerance in cells in byte 2.
constexpr uint32_t Overlay_Step(uint32_t x, uint32_t y, uint32_t tolerance) {
    return x | (y << 8) | (tolerance << 16);
}
// The hidden sequences on a 10 x 10 grid over the window's base size that open the header
// and then the menu.
constexpr int32_t OVERLAY_OPEN_STEPS = 7, OVERLAY_MENU_STEPS = 8;
extern const uint32_t Overlay_Open_Sequence[OVERLAY_OPEN_STEPS];
extern const uint32_t Overlay_Menu_Sequence[OVERLAY_MENU_STEPS];

// Frame and timing.
void Overlay_Init();
void Overlay_Shutdown();
void Overlay_Frame_Begin();
// colour 0xAABBGGRR; the name is not copied.
void Overlay_Timing_Begin(uint32_t colour, const char* name);
// Closes the innermost open marker; 0 when none was open, else 1.
int32_t Overlay_Timing_End();
// A marker open for the life of the object, closed on every way out.
class OverlayTimingScope {
public:
    OverlayTimingScope(uint32_t colour, const char* name) { Overlay_Timing_Begin(colour, name); }
    ~OverlayTimingScope() { Overlay_Timing_End(); }
    OverlayTimingScope(const OverlayTimingScope&) = delete;
    OverlayTimingScope& operator=(const OverlayTimingScope&) = delete;
};

// Drawing.
void Overlay_Draw();
void Overlay_Begin_Draw();
void Overlay_End_Draw();
void Overlay_Draw_Timing_Bars();
void Overlay_Draw_Header();

// Text, with colours 0xAABBGGRR. Each returns the pen advance (the outlined one, width + 2).
float Overlay_Draw_Text(float x, float y, float xScale, float yScale, uint32_t colour, const char* text,
                        int32_t maximum);
float Overlay_Printf(float x, float y, uint32_t colour, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
float Overlay_Printf_Outlined(float x, float y, uint32_t outline, uint32_t colour, const char* format, ...)
    __attribute__((format(printf, 5, 6)));
float Overlay_Printf_Centred(float y, float width, uint32_t colour, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
float Overlay_Text_Width(const char* text, int32_t length);
int32_t Overlay_Line_Height();

// Other drawing and input. The rectangle's colour is ARGB.
void Overlay_Draw_Rectangle(float x, float y, float width, float height, uint32_t colour);
void Overlay_Handle_Input();
// Follows a tap sequence one step with the overlay mouse position; true when it completes.
bool Overlay_Check_Tap_Pattern(int32_t* state, const uint32_t* sequence, int32_t length);
bool Overlay_Mouse_In_Rect(float x, float y, float width, float height);

// What the overlay measured: the whole fps of the last frame it drew, and the slowest, the
// fastest and the average frame rate of the run (the time from one drawn frame to the
// next), tracked after the first 100 frames; 0 until then.
int32_t Overlay_Fps();
void Overlay_Fps_Stats(int32_t* minimum, int32_t* maximum, int32_t* average);
