// The run state of one game that the built-in variables read and the drawing code shares:
// the pending room change, captions, score, lives and health, the current view and the
// application surface.
#pragma once

#include <cstdint>

struct SharedString;

// The pending room change.
enum : int32_t {
    ROOM_NO_CHANGE = -1,
    ROOM_END_GAME = -100,
    ROOM_RESTART_GAME = -200,
    ROOM_LOAD_GAME = -300,
    ROOM_ABORT_GAME = -400,
};
extern int32_t NewRoomCode;

// Run-state values that game code reads through built-in variables.
struct RunState {
    SharedString* captionScore = nullptr;
    SharedString* captionLives = nullptr;
    SharedString* captionHealth = nullptr;
    int32_t transitionKind = 0;
    int32_t score = 0;
    bool showScore = true;
    bool captionSet = false;  // show_score was assigned (game saves carry it)
    int32_t lives = -1;
    bool showLives = false;
    double health = 100.0;
    bool showHealth = false;
    int32_t viewCurrent = 0;
    int32_t cursorSprite = -1;
    int32_t applicationSurface = static_cast<int32_t>(0xFEEEDEAD);  // none yet
    int32_t applicationSurfaceWidth = -1, applicationSurfaceHeight = -1;
    int32_t pendingSurfaceWidth = -1, pendingSurfaceHeight = -1;
    bool applicationSurfaceEnabled = true;
};
extern RunState g_RunState;
