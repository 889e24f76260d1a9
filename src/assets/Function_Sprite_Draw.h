// The script-facing faces of sprite and surface drawing: draw_self, the draw_sprite family, the
// draw_surface family and the surface_* built-ins, and the typed entries the compiled game calls.
#pragma once

#include <cstdint>

class CInstance;

// The instance being drawn (draw_self, the room drawing); skeleton drawing reads it.
extern CInstance* Draw_CurrentInstance;

// The body of draw_self.
void Draw_Self(CInstance* self);
// draw_sprite and draw_sprite_ext without the existence check: a negative frame is the
// instance's image_index truncated toward zero. A sprite that does not exist draws nothing.
void Direct_draw_sprite(CInstance* self, int32_t sprite, int32_t frame, float x, float y);
void Direct_draw_sprite_ext(CInstance* self, int32_t sprite, int32_t frame, float x, float y, float xScale,
                            float yScale, float angle, uint32_t colour, float alpha);

// Registers the rows of the sprite and surface drawing built-ins.
void InitSpriteDrawFunctions();
