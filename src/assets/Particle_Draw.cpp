// Drawing a particle system: shape particles as textured quads straight into the open vertex
// batch (consecutive particles of one shape share a draw call), sprite particles through the
// sprite drawing.
#include <cmath>

#include "assets/Particle_Main.h"
#include "assets/Sprite_Main.h"
#include "graphics/GPUState.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"

namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
constexpr float kHalfShape = 32.0f;  // a size of 1 is a 64-pixel shape

struct ShapeVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(ShapeVertex) == GR_FORMAT_XYZCUV);

// The device colour of a particle: alpha byte the integer part of alpha x 255, within 0..255.
uint32_t ParticleARGB(int32_t colour, float alpha) {
    const double scaled = std::trunc(static_cast<double>(alpha) * 255.0);
    const uint32_t a = !(scaled > 0.0) ? 0u : scaled >= 255.0 ? 255u : static_cast<uint32_t>(scaled);
    const auto c = static_cast<uint32_t>(colour);
    return a << 24 | (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

void DrawShape(const ParticleSystem& s, const Particle& p, TextureRecord* texture, const ParticleType& t,
               double angle, double size) {
    auto* v = static_cast<ShapeVertex*>(GR_Batch_Alloc(D3DPT_TRIANGLELIST, texture, GR_FORMAT_XYZCUV, 6));
    if (v == nullptr) return;
    const float cx = std::trunc(p.x + s.x), cy = std::trunc(p.y + s.y);
    const double hx = kHalfShape * t.xScale * size, hy = kHalfShape * t.yScale * size;
    const double corners[4][2] = {{-hx, -hy}, {hx, -hy}, {hx, hy}, {-hx, hy}};
    float px[4], py[4];
    const bool turned = std::fabs(angle) >= 0.01;
    const double cosA = turned ? std::cos(angle * kDegToRad) : 1.0;
    const double sinA = turned ? std::sin(angle * kDegToRad) : 0.0;
    for (int i = 0; i < 4; ++i) {
        const double dx = corners[i][0], dy = corners[i][1];
        px[i] = static_cast<float>(cx + dx * cosA + dy * sinA);
        py[i] = static_cast<float>(cy - dx * sinA + dy * cosA);
    }
    static constexpr int kOrder[6] = {0, 1, 2, 2, 3, 0};
    static constexpr float kU[4] = {0, 1, 1, 0}, kV[4] = {0, 0, 1, 1};
    const uint32_t colour = ParticleARGB(p.colour, p.alpha);
    for (int i = 0; i < 6; ++i) {
        const int c = kOrder[i];
        v[i] = {px[c], py[c], g_DrawDepth, colour, kU[c], kV[c]};
    }
}

// The sums run in 64 bits (a long life plus an offset may pass the largest 32-bit number); the
// sprite drawing wraps the frame into its count, so only the low 32 bits matter.
int32_t SpriteFrame(const ParticleType& t, const Particle& p, int32_t frameCount) {
    if (!t.animate) return p.frameOffset;
    if (t.stretch) return static_cast<int32_t>(int64_t{frameCount} * p.age / p.life + p.frameOffset);
    return static_cast<int32_t>(int64_t{p.frameOffset} + p.age);
}

double Phase(int32_t age, int32_t offset) {
    return static_cast<double>((int64_t{age} + offset) % 16) / 4.0;
}

// Draws one particle; false ends the pass (a life below 1, a sprite without frames or a shape
// out of range).
bool DrawParticle(const ParticleSystem& s, const Particle& p, bool* additive) {
    if (p.life < 1) return false;
    const ParticleType* t = ParticleType_Get(p.type);
    if (t == nullptr) return true;
    CSprite* sprite = Sprite_Exists(t->sprite) ? Sprite_Get(t->sprite) : nullptr;
    if (sprite != nullptr && sprite->m_frameCount < 1) return false;
    if (sprite == nullptr && (t->shape < 0 || t->shape >= PARTICLE_SHAPE_COUNT)) return false;

    const double angle = p.angle + (t->orientationRelative ? p.direction : 0.0f) +
                         t->orientationWiggle * Particle_Wiggle(Phase(p.age, 2 * p.seed));
    const double size = p.size + t->sizeWiggle * Particle_Wiggle(Phase(p.age, p.seed));
    if (t->additive != *additive) {
        GR_Set_Blend_Mode(t->additive ? 1 : 0);
        *additive = t->additive;
    }
    if (sprite == nullptr) {
        DrawShape(s, p, Particle_ShapeTexture(t->shape), *t, angle, size);
    } else {
        sprite->DrawExt(SpriteFrame(*t, p, sprite->m_frameCount), p.x + s.x, p.y + s.y,
                        static_cast<float>(t->xScale * size), static_cast<float>(t->yScale * size),
                        static_cast<float>(angle), static_cast<uint32_t>(p.colour), p.alpha);
    }
    return true;
}

void DrawParticles(const ParticleSystem& s) {
    bool additive = false;
    const int32_t n = s.particleCount;
    for (int32_t k = 0; k < n; ++k) {
        const Particle& p = *s.particles[s.oldToNew ? k : n - 1 - k];
        if (!DrawParticle(s, p, &additive)) break;
    }
    // Also after a pass that ended early, so no additive blending leaks into later drawing.
    GR_Set_Blend_Mode(0);
}

}  // namespace

void ParticleSystem_Draw(int32_t index) {
    const ParticleSystem* s = ParticleSystem_Get(index);
    if (s == nullptr) return;
    const bool interpolation = GR_Texture_Get_Interpolation();
    DrawParticles(*s);
    GR_Texture_Set_Interpolation(interpolation);
}
