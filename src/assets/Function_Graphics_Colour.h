// The colour, blend, alpha-test, clear, primitive, user-primitive and pixel built-ins.
#pragma once

#include <cstdint>

// What these built-ins read from modules that join later (views and paths). Defaults: view 0,
// and no path exists.
struct DrawBuiltinHooks {
    int32_t (*currentView)();
    bool (*pathExists)(int32_t path);
    // Draws the path as a line strip in the draw colour: offset (x, y) unless absolute.
    void (*pathDraw)(int32_t path, float x, float y, bool absolute);
};
extern DrawBuiltinHooks g_DrawBuiltinHooks;
void DrawBuiltinHooks_Reset();

void InitColourFunctions();

// The typed entry the compiled game calls.
void Direct_draw_set_blend_mode(int32_t mode);
