// The sprite draw operations: pick the frame, cull by the bounding radius against the visible
// bounds, then hand the frame to the page-entry quads (data-file frames and run-time frames with
// entries) or the texture quads (run-time frames without entries). Vector frames go to the
// vector drawing, skeleton frames to the sprite's skeleton.
#include <cmath>

#include "assets/Sprite_Main.h"
#include "assets/Sprite_Skeleton.h"
#include "core/Console.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/Graphics_Texture.h"
#include "core/ProfilerScope.h"
#include "io/Profiler.h"

namespace {

// Degrees to the radians of the quad routines: pi rounded to single precision, double arithmetic.
float Radians(float degrees) {
    return static_cast<float>(degrees * 3.1415927410125732 / 180.0);
}

// The profiler marker around a draw: begun first, ended on every way out.
class ProfileScope {
public:
    explicit ProfileScope(int32_t id) : m_on(g_ProfilerActive) {
        if (m_on) g_Profiler.Begin(PROFILE_SECTION, id);
    }
    ~ProfileScope() {
        if (m_on) g_Profiler.End();
    }
    ProfileScope(const ProfileScope&) = delete;
    ProfileScope& operator=(const ProfileScope&) = delete;

private:
    bool m_on;
};

// Where a bitmap frame's pixels come from: a page entry (which may be missing: a frame the data
// file left without one), a texture id, or nothing at all (a sprite without such frames).
struct FrameSource {
    enum Kind { kNone, kPage, kTexture } kind;
    TexturePageEntry* entry;
    int32_t texture;
};

FrameSource SourceOf(const CSprite& sprite, int32_t frame) {
    if (sprite.m_pageEntries) return {FrameSource::kPage, sprite.GetPageEntry(frame), -1};
    if (sprite.m_textureIds) return {FrameSource::kTexture, nullptr, sprite.GetTextureId(frame)};
    return {FrameSource::kNone, nullptr, -1};
}

void ReportFailure(const CSprite& sprite) {
    DebugConsole.Output("Error attempting to draw sprite %s\n", sprite.GetName());
}

// Whether the frame's texture is there at all (a tiled draw also declines degenerate scales).
bool Drawable(const FrameSource& source) {
    if (source.kind == FrameSource::kPage) return source.entry && GR_Texture_Get(source.entry->texture);
    return GR_Texture_Get(source.texture) != nullptr;
}

float Magnitude(float value) {
    return std::fabs(value);
}

}  // namespace

uint32_t Colour_ToARGB(uint32_t colour, float alpha) {
    const double scaled = std::trunc(static_cast<double>(alpha) * 255.0);
    const uint32_t a = !(scaled > 0.0) ? 0u : scaled >= 255.0 ? 255u : static_cast<uint32_t>(scaled);
    return a << 24 | (colour & 0xFF) << 16 | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

bool CSprite::Visible(float x, float y, float extentX, float extentY) const {
    if (g_VisibleBoundsDirty) GR_Compute_Visible_Bounds();
    const GRBounds& b = g_VisibleBounds;
    const double ex = extentX, ey = extentY, px = x, py = y;
    if (ey >= b.top - py && ey >= py - b.bottom && ex >= b.left - px && ex >= px - b.right) return true;
    // A perspective camera shows more than the bounds say: its sprites are never culled.
    return g_GRHooks.layerMode() && g_TextureHooks.cameraIs2D && !g_TextureHooks.cameraIs2D();
}

void CSprite::Draw(int32_t frame, float x, float y) {
    ProfileScope profile(PROFILE_SPRITE_DRAW_SIMPLE);
    const int32_t i = WrapFrame(frame);
    if (i < 0) return;
    if (!g_SpriteCullBypass && m_kind != SPRITE_SKELETON) {
        const auto radius = static_cast<float>(m_boundingRadius);
        if (!Visible(x, y, radius, radius)) return;
    }
    if (m_kind == SPRITE_VECTOR)
        return DrawVector(i, float(m_originX), float(m_originY), x, y, 1, 1, 0, 0xFFFFFFFF, 1);
    if (m_kind == SPRITE_SKELETON) {
        if (m_skeleton && m_skeleton->IsValid()) m_skeleton->DrawInstance(i, x, y, 1, 1, 0, 0xFFFFFFFF, 1);
        return;
    }
    if (m_kind != SPRITE_BITMAP) return;
    const auto left = static_cast<float>(double(x) - m_originX),
               top = static_cast<float>(double(y) - m_originY);
    const FrameSource source = SourceOf(*this, i);
    const bool drawn = source.kind == FrameSource::kPage ? GR_TPE_Draw(source.entry, left, top)
                                                         : GR_Texture_Draw(source.texture, left, top);
    if (!drawn) ReportFailure(*this);
}

void CSprite::DrawExt(int32_t frame, float x, float y, float xScale, float yScale, float angle,
                      uint32_t colour, float alpha) {
    ProfileScope profile(PROFILE_SPRITE_DRAW);
    const int32_t i = WrapFrame(frame);
    if (i < 0) return;
    if (!g_3DMode && !g_SpriteCullBypass && m_kind != SPRITE_SKELETON) {
        const auto radius = static_cast<float>(m_boundingRadius);
        const float extent = std::fmax(Magnitude(radius * xScale), Magnitude(radius * yScale));
        if (!Visible(x, y, extent, extent)) return;
    }
    if (m_kind == SPRITE_VECTOR)
        return DrawVector(i, float(m_originX), float(m_originY), x, y, xScale, yScale, angle, colour, alpha);
    if (m_kind == SPRITE_SKELETON) {
        if (m_skeleton && m_skeleton->IsValid())
            m_skeleton->DrawInstance(i, x, y, xScale, yScale, angle, colour, alpha);
        return;
    }
    if (m_kind != SPRITE_BITMAP) return;
    const auto ox = static_cast<float>(m_originX), oy = static_cast<float>(m_originY);
    const FrameSource source = SourceOf(*this, i);
    const float radians = Radians(angle);
    const bool drawn =
        source.kind == FrameSource::kPage
            ? GR_TPE_Draw_Ext(source.entry, ox, oy, x, y, xScale, yScale, radians, colour, alpha)
            : GR_Texture_Draw_Ext(source.texture, ox, oy, x, y, xScale, yScale, radians, colour, alpha);
    if (!drawn) ReportFailure(*this);
}

void CSprite::DrawPart(int32_t frame, float left, float top, float width, float height, float x, float y,
                       float xScale, float yScale, uint32_t colour, float alpha) {
    const int32_t i = WrapFrame(frame);
    if (i < 0 || m_kind != SPRITE_BITMAP) return;
    const FrameSource source = SourceOf(*this, i);
    if (source.kind == FrameSource::kNone) return;
    const bool drawn =
        source.kind == FrameSource::kPage
            ? GR_TPE_Draw_Part(source.entry, left, top, width, height, x, y, xScale, yScale, 0, colour, alpha)
            : GR_Texture_Draw_Part(source.texture, left, top, width, height, x, y, xScale, yScale, 0, colour,
                                   alpha);
    if (!drawn) ReportFailure(*this);
}

void CSprite::DrawGeneral(int32_t frame, float left, float top, float width, float height, float x, float y,
                          float xScale, float yScale, float angle, uint32_t colour1, uint32_t colour2,
                          uint32_t colour3, uint32_t colour4, float alpha) {
    const int32_t i = WrapFrame(frame);
    if (i < 0 || m_kind != SPRITE_BITMAP) return;
    if (!g_SpriteCullBypass) {
        const auto radius = static_cast<float>(m_boundingRadius);
        if (!Visible(x, y, Magnitude(radius * xScale), Magnitude(radius * yScale))) return;
    }
    const FrameSource source = SourceOf(*this, i);
    if (source.kind == FrameSource::kNone) return;
    const float radians = Radians(angle);
    const bool drawn =
        source.kind == FrameSource::kPage
            ? GR_TPE_Draw_General(source.entry, left, top, width, height, x, y, xScale, yScale, radians,
                                  colour1, colour2, colour3, colour4, alpha)
            : GR_Texture_Draw_General(source.texture, left, top, width, height, x, y, xScale, yScale, radians,
                                      colour1, colour2, colour3, colour4, alpha);
    if (!drawn) ReportFailure(*this);
}

void CSprite::DrawStretched(int32_t frame, float x, float y, float width, float height, uint32_t colour,
                            float alpha) {
    const int32_t i = WrapFrame(frame);
    if (i < 0) return;
    if (!(width > 0) || !(height > 0) || m_width <= 0 || m_height <= 0) return;
    const auto xScale = static_cast<float>(double(width) / m_width);
    const auto yScale = static_cast<float>(double(height) / m_height);
    if (m_kind == SPRITE_VECTOR) return DrawVector(i, 0, 0, x, y, xScale, yScale, 0, colour, alpha);
    if (m_kind != SPRITE_BITMAP) return;
    const FrameSource source = SourceOf(*this, i);
    if (source.kind == FrameSource::kNone) return;
    const bool drawn =
        source.kind == FrameSource::kPage
            ? GR_TPE_Draw_Ext(source.entry, 0, 0, x, y, xScale, yScale, 0, colour, alpha)
            : GR_Texture_Draw_Ext(source.texture, 0, 0, x, y, xScale, yScale, 0, colour, alpha);
    if (!drawn) ReportFailure(*this);
}

void CSprite::DrawTiled(int32_t frame, float x, float y, float xScale, float yScale, bool horizontal,
                        bool vertical, float regionLeft, float regionTop, float regionWidth,
                        float regionHeight, uint32_t colour, float alpha) {
    const int32_t i = WrapFrame(frame);
    if (i >= 0 && m_kind == SPRITE_VECTOR)
        return DrawVectorTiled(i, x, y, xScale, yScale, horizontal, vertical, regionLeft, regionTop,
                               regionWidth, regionHeight, colour, alpha);
    if (i < 0 || m_kind != SPRITE_BITMAP) return;
    const FrameSource source = SourceOf(*this, i);
    if (source.kind == FrameSource::kNone) return;
    const auto ox = static_cast<float>(m_originX), oy = static_cast<float>(m_originY);
    const bool drawn =
        source.kind == FrameSource::kPage
            ? GR_TPE_Draw_Tiled(source.entry, ox, oy, x, y, xScale, yScale, horizontal, vertical, regionLeft,
                                regionTop, regionWidth, regionHeight, colour, alpha)
            : GR_Texture_Draw_Tiled(source.texture, ox, oy, x, y, xScale, yScale, horizontal, vertical,
                                    regionLeft, regionTop, regionWidth, regionHeight, colour, alpha);
    if (!drawn && !Drawable(source)) ReportFailure(*this);
}

void CSprite::DrawPos(int32_t frame, float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                      float y4, uint32_t colour, float alpha) {
    const int32_t i = WrapFrame(frame);
    if (i < 0 || m_kind != SPRITE_BITMAP || !m_pageEntries) return;
    if (!GR_TPE_Draw_Pos(GetPageEntry(i), x1, y1, x2, y2, x3, y3, x4, y4, colour, alpha))
        ReportFailure(*this);
}
