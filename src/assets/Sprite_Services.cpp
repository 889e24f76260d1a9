// What fonts and the game world read of the sprite table: sprite fonts draw frames, collisions
// take a sprite's mask box and origin. Both reach the table through their own seams, filled here.
#include "assets/Sprite_Main.h"

#include "assets/Font_Class.h"
#include "core/MemoryManager.h"
#include "graphics/Graphics_Texture.h"
#include "world/World_Services.h"

namespace {

int32_t FrameCount(int32_t index) {
    const CSprite* sprite = Sprite_Get(index);
    return sprite ? sprite->m_frameCount : 0;
}

int32_t Width(int32_t index) {
    const CSprite* sprite = Sprite_Get(index);
    return sprite ? sprite->m_width : 0;
}

int32_t Height(int32_t index) {
    const CSprite* sprite = Sprite_Get(index);
    return sprite ? sprite->m_height : 0;
}

// A packed frame spans its trimmed pixels; a run-time frame spans its bounding box.
void FrameExtent(int32_t index, int32_t frame, int32_t* left, int32_t* right) {
    *left = *right = 0;
    const CSprite* sprite = Sprite_Get(index);
    if (!sprite) return;
    if (const TexturePageEntry* entry = sprite->GetPageEntry(frame)) {
        *left = entry->targetX;
        *right = entry->targetX + entry->targetWidth;
        return;
    }
    int32_t* bounds = sprite->GetFrameBounds(frame);
    *left = bounds[0];
    *right = bounds[2];
    MEM_FREE(bounds);
}

void DrawExt(int32_t index, int32_t frame, float x, float y, float xScale, float yScale, float angle,
             uint32_t colour, float alpha) {
    if (CSprite* sprite = Sprite_Get(index))
        sprite->DrawExt(frame, x, y, xScale, yScale, angle, colour, alpha);
}

void DrawGeneral(int32_t index, int32_t frame, float left, float top, float width, float height, float x,
                 float y, float xScale, float yScale, float angle, uint32_t colour1, uint32_t colour2,
                 uint32_t colour3, uint32_t colour4, float alpha) {
    if (CSprite* sprite = Sprite_Get(index))
        sprite->DrawGeneral(frame, left, top, width, height, x, y, xScale, yScale, angle, colour1, colour2,
                            colour3, colour4, alpha);
}

bool CollisionShape(int32_t index, SpriteCollisionShape* out) {
    const CSprite* sprite = Sprite_Get(index);
    if (!sprite) return false;
    // Masks from the data file count before their first test unpacks them.
    const bool masks = sprite->m_maskCount > 0 || sprite->m_packedMaskCount > 0;
    *out = SpriteCollisionShape{sprite->m_box.left,        sprite->m_box.top, sprite->m_box.right,
                                sprite->m_box.bottom,      sprite->m_originX, sprite->m_originY,
                                sprite->m_width,           sprite->m_height,  sprite->m_frameCount,
                                sprite->m_precise && masks};
    return true;
}

// The per-pixel tests: a missing sprite has no mask to refuse the box's answer.
bool PointTest(const MaskPose& p, int32_t px, int32_t py) {
    CSprite* sprite = Sprite_Get(p.sprite);
    return !sprite || sprite->CollisionPoint(p.frame, p.box, p.x, p.y, p.xscale, p.yscale, p.angle, px, py);
}

bool RectangleTest(const MaskPose& p, const int32_t rect[4]) {
    CSprite* sprite = Sprite_Get(p.sprite);
    return !sprite || sprite->CollisionRectangle(p.frame, p.box, p.x, p.y, p.xscale, p.yscale, p.angle, rect);
}

bool EllipseTest(const MaskPose& p, const int32_t rect[4]) {
    CSprite* sprite = Sprite_Get(p.sprite);
    return !sprite || sprite->CollisionEllipse(p.frame, p.box, p.x, p.y, p.xscale, p.yscale, p.angle, rect);
}

bool LineTest(const MaskPose& p, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    CSprite* sprite = Sprite_Get(p.sprite);
    return !sprite ||
           sprite->CollisionLine(p.frame, p.box, p.x, p.y, p.xscale, p.yscale, p.angle, x1, y1, x2, y2);
}

bool PairTest(const MaskPose& a, const MaskPose& b) {
    CSprite* sprite = Sprite_Get(a.sprite);
    if (!sprite) return false;
    CSprite* other = Sprite_Get(b.sprite);
    return sprite->CollisionSprite(a.frame, a.box, a.x, a.y, a.xscale, a.yscale, a.angle, other, b.frame,
                                   b.box, b.x, b.y, b.xscale, b.yscale, b.angle);
}

}  // namespace

void Sprite_InstallServices() {
    g_FontSpriteOps =
        FontSpriteOps{Sprite_Exists, FrameCount, Width, Height, FrameExtent, DrawExt, DrawGeneral};
    WorldServices services;
    services.spriteMask = CollisionShape;
    services.spritePointTest = PointTest;
    services.spriteRectangleTest = RectangleTest;
    services.spriteEllipseTest = EllipseTest;
    services.spriteLineTest = LineTest;
    services.spritePairTest = PairTest;
    World_InstallServices(&services);
}
