#include "physics/Physics_ParticleDraw.h"

#include <algorithm>
#include <cmath>

#include "assets/Sprite_Main.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Texture.h"
#include "physics/Physics_World.h"
#include "platform/GpuDefs.h"

namespace {

struct QuadVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(QuadVertex) == GR_FORMAT_XYZCUV);

// Particles a batch reservation holds: well inside the batch's vertex and byte limits.
constexpr int32_t kParticlesPerReservation = 8192;

// What a frame is drawn from: a copy of its page entry (a frame loaded at run time gets one
// covering its whole texture), so a fix-up of the sizes never writes into the shared entry.
struct FrameQuad {
    TexturePageEntry entry;
    TextureEntry* texture;
    float originX, originY;
};

bool FrameOf(int32_t spriteIndex, int32_t frame, FrameQuad* out) {
    const CSprite* sprite = Sprite_Get(spriteIndex);
    if (sprite == nullptr) return false;
    const int32_t wrapped = sprite->WrapFrame(frame);
    if (wrapped < 0) return false;
    if (const TexturePageEntry* entry = sprite->GetPageEntry(wrapped)) {
        out->entry = *entry;
    } else {
        const int32_t id = sprite->GetTextureId(wrapped);
        const TextureEntry* texture = GR_Texture_Get_Entry(id);
        if (texture == nullptr) return false;
        out->entry = {0,
                      0,
                      texture->width,
                      texture->height,
                      0,
                      0,
                      texture->width,
                      texture->height,
                      texture->width,
                      texture->height,
                      static_cast<int16_t>(id)};
    }
    out->texture = GR_Texture_Get_Entry(out->entry.texture);
    if (out->texture == nullptr || out->texture->record == nullptr) return false;
    if (out->entry.targetWidth == 0) out->entry.targetWidth = 1;
    if (out->entry.targetHeight == 0) out->entry.targetHeight = 1;
    out->originX = static_cast<float>(sprite->m_originX);
    out->originY = static_cast<float>(sprite->m_originY);
    return true;
}

bool Selected(const PhysicsParticle& p, uint32_t typeMask, int32_t category) {
    return (p.flags == 0 || (p.flags & typeMask) != 0) && (category == 0 || p.category == category);
}

uint32_t DeviceColour(ParticleColour c) {
    return static_cast<uint32_t>(c.a) << 24 | static_cast<uint32_t>(c.r) << 16 |
           static_cast<uint32_t>(c.g) << 8 | c.b;
}

// Corner offsets from a particle, in the order top-left, top-right, bottom-right, bottom-left.
struct Corners {
    float x[4], y[4];
};

// Writes the quads of the selected particles, reserving batch space in runs.
template <typename ColourOf>
void DrawQuads(CPhysicsWorld& world, uint32_t typeMask, int32_t category, const FrameQuad& frame,
               const Corners& corners, ColourOf colourOf) {
    const CPhysicsParticleSystem& system = world.Particles();
    const PhysicsParticle* particles = system.Particles();
    const int32_t count = system.Count();
    int32_t selected = 0;
    for (int32_t i = 0; i < count; ++i) selected += Selected(particles[i], typeMask, category) ? 1 : 0;
    if (selected == 0) return;

    const TexturePageEntry& e = frame.entry;
    const float uLeft = e.sourceX * frame.texture->invWidth, vTop = e.sourceY * frame.texture->invHeight;
    const float uRight = (e.sourceX + e.sourceWidth) * frame.texture->invWidth;
    const float vBottom = (e.sourceY + e.sourceHeight) * frame.texture->invHeight;
    static constexpr int kOrder[6] = {0, 1, 2, 2, 3, 0};
    const float u[4] = {uLeft, uRight, uRight, uLeft}, v[4] = {vTop, vTop, vBottom, vBottom};
    const float f = world.PixelsToMetres();
    const float z = g_DrawDepth;

    int32_t next = 0;
    while (selected > 0) {
        const int32_t run = std::min(selected, kParticlesPerReservation);
        auto* out = static_cast<QuadVertex*>(
            GR_Batch_Alloc(D3DPT_TRIANGLELIST, frame.texture->record, GR_FORMAT_XYZCUV, run * 6));
        if (out == nullptr) return;
        for (int32_t written = 0; written < run; ++next) {
            const PhysicsParticle& p = particles[next];
            if (!Selected(p, typeMask, category)) continue;
            const float x = p.position.x / f, y = p.position.y / f;
            const uint32_t colour = colourOf(p);
            for (int k = 0; k < 6; ++k) {
                const int c = kOrder[k];
                *out++ = {x + corners.x[c], y + corners.y[c], z, colour, u[c], v[c]};
            }
            ++written;
        }
        selected -= run;
    }
}

}  // namespace

void PhysicsParticles_Draw(CPhysicsWorld& world, uint32_t typeMask, int32_t category, int32_t sprite,
                           int32_t frame) {
    FrameQuad quad;
    if (!FrameOf(sprite, frame, &quad)) return;
    const float left = quad.entry.targetX - quad.originX, top = quad.entry.targetY - quad.originY;
    const float right = left + quad.entry.targetWidth, bottom = top + quad.entry.targetHeight;
    const Corners corners = {{left, right, right, left}, {top, top, bottom, bottom}};
    DrawQuads(world, typeMask, category, quad, corners,
              [](const PhysicsParticle& p) { return DeviceColour(p.colour); });
}

void PhysicsParticles_DrawExt(CPhysicsWorld& world, uint32_t typeMask, int32_t category, int32_t sprite,
                              int32_t frame, float xScale, float yScale, float angle, uint32_t colour,
                              float alpha) {
    FrameQuad quad;
    if (!FrameOf(sprite, frame, &quad)) return;
    const float left = (quad.entry.targetX - quad.originX) * xScale;
    const float top = (quad.entry.targetY - quad.originY) * yScale;
    const float right = left + quad.entry.targetWidth * xScale,
                bottom = top + quad.entry.targetHeight * yScale;
    Corners corners = {{left, right, right, left}, {top, top, bottom, bottom}};
    if (std::fabs(angle) >= 0.001f) {
        const float c = std::cos(angle), s = std::sin(angle);
        for (int i = 0; i < 4; ++i) {
            const float ox = corners.x[i], oy = corners.y[i];
            corners.x[i] = ox * c + oy * s;
            corners.y[i] = -ox * s + oy * c;
        }
    }
    const uint32_t argb = Colour_ToARGB(colour, alpha);
    DrawQuads(world, typeMask, category, quad, corners, [argb](const PhysicsParticle&) { return argb; });
}

void PhysicsParticles_DrawDebug(CPhysicsWorld& world) {
    const CPhysicsParticleSystem& system = world.Particles();
    const float scale = 1.0f / world.PixelsToMetres();
    const float radius = system.Radius() * scale;
    for (int32_t i = 0; i < system.Count(); ++i) {
        const PhysicsParticle& p = system.Particles()[i];
        GR_Draw_Set_Colour(p.colour.r | static_cast<uint32_t>(p.colour.g) << 8 |
                           static_cast<uint32_t>(p.colour.b) << 16);
        const float x = p.position.x * scale, y = p.position.y * scale;
        GR_Draw_Ellipse(x - radius, y - radius, x + radius, y + radius, true);
    }
}
