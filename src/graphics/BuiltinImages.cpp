#include "graphics/BuiltinImages.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "core/MemoryManager.h"
#include "graphics/DDS_Main.h"

namespace {

// ---- the font ------------------------------------------------------------------------------

// Glyphs are 5 x 9 patterns (rows 7 and 8 hold descenders), bit 4 the leftmost column. Each
// sits at (1, 2) inside its 7 x 13 rectangle (7 x 15 for characters 127 and up), and the
// rectangles lie 9 pixels apart across and 16 down, so that sampling half a texel outside a
// rectangle still reads only transparent texels.
constexpr int kPatternRows = 9;
constexpr int kCellsAcross = 28;

constexpr uint8_t kFontPatterns[BUILTIN_FONT_GLYPHS][kPatternRows] = {
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // space
    {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04, 0x00, 0x00},  // !
    {0x0A, 0x0A, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // "
    {0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A, 0x00, 0x00},  // #
    {0x04, 0x0F, 0x14, 0x0E, 0x05, 0x1E, 0x04, 0x00, 0x00},  // $
    {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03, 0x00, 0x00},  // %
    {0x0C, 0x12, 0x14, 0x08, 0x15, 0x12, 0x0D, 0x00, 0x00},  // &
    {0x0C, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // '
    {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02, 0x00, 0x00},  // (
    {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08, 0x00, 0x00},  // )
    {0x00, 0x04, 0x15, 0x0E, 0x15, 0x04, 0x00, 0x00, 0x00},  // *
    {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00, 0x00, 0x00},  // +
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C, 0x04, 0x08},  // ,
    {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x00},  // -
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C, 0x00, 0x00},  // .
    {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00, 0x00, 0x00},  // /
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E, 0x00, 0x00},  // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E, 0x00, 0x00},  // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F, 0x00, 0x00},  // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E, 0x00, 0x00},  // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02, 0x00, 0x00},  // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E, 0x00, 0x00},  // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E, 0x00, 0x00},  // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08, 0x00, 0x00},  // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E, 0x00, 0x00},  // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C, 0x00, 0x00},  // 9
    {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00, 0x00, 0x00},  // :
    {0x00, 0x0C, 0x0C, 0x00, 0x00, 0x0C, 0x0C, 0x04, 0x08},  // ;
    {0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02, 0x00, 0x00},  // <
    {0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00, 0x00, 0x00},  // =
    {0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08, 0x00, 0x00},  // >
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04, 0x00, 0x00},  // ?
    {0x0E, 0x11, 0x01, 0x0D, 0x15, 0x15, 0x0E, 0x00, 0x00},  // @
    {0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x00, 0x00},  // A
    {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E, 0x00, 0x00},  // B
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E, 0x00, 0x00},  // C
    {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C, 0x00, 0x00},  // D
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F, 0x00, 0x00},  // E
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10, 0x00, 0x00},  // F
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F, 0x00, 0x00},  // G
    {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11, 0x00, 0x00},  // H
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E, 0x00, 0x00},  // I
    {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C, 0x00, 0x00},  // J
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11, 0x00, 0x00},  // K
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F, 0x00, 0x00},  // L
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11, 0x00, 0x00},  // M
    {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x00, 0x00},  // N
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E, 0x00, 0x00},  // O
    {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10, 0x00, 0x00},  // P
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D, 0x00, 0x00},  // Q
    {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11, 0x00, 0x00},  // R
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E, 0x00, 0x00},  // S
    {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x00},  // T
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E, 0x00, 0x00},  // U
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04, 0x00, 0x00},  // V
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A, 0x00, 0x00},  // W
    {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11, 0x00, 0x00},  // X
    {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x00, 0x00},  // Y
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F, 0x00, 0x00},  // Z
    {0x0E, 0x08, 0x08, 0x08, 0x08, 0x08, 0x0E, 0x00, 0x00},  // [
    {0x00, 0x10, 0x08, 0x04, 0x02, 0x01, 0x00, 0x00, 0x00},  // backslash
    {0x0E, 0x02, 0x02, 0x02, 0x02, 0x02, 0x0E, 0x00, 0x00},  // ]
    {0x04, 0x0A, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // ^
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F, 0x00},  // _
    {0x08, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // `
    {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F, 0x00, 0x00},  // a
    {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x1E, 0x00, 0x00},  // b
    {0x00, 0x00, 0x0E, 0x10, 0x10, 0x11, 0x0E, 0x00, 0x00},  // c
    {0x01, 0x01, 0x0D, 0x13, 0x11, 0x11, 0x0F, 0x00, 0x00},  // d
    {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E, 0x00, 0x00},  // e
    {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08, 0x00, 0x00},  // f
    {0x00, 0x00, 0x0F, 0x11, 0x11, 0x11, 0x0F, 0x01, 0x0E},  // g
    {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x11, 0x00, 0x00},  // h
    {0x04, 0x00, 0x0C, 0x04, 0x04, 0x04, 0x0E, 0x00, 0x00},  // i
    {0x02, 0x00, 0x06, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},  // j
    {0x10, 0x10, 0x12, 0x14, 0x18, 0x14, 0x12, 0x00, 0x00},  // k
    {0x0C, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E, 0x00, 0x00},  // l
    {0x00, 0x00, 0x1A, 0x15, 0x15, 0x11, 0x11, 0x00, 0x00},  // m
    {0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x11, 0x00, 0x00},  // n
    {0x00, 0x00, 0x0E, 0x11, 0x11, 0x11, 0x0E, 0x00, 0x00},  // o
    {0x00, 0x00, 0x1E, 0x11, 0x11, 0x11, 0x1E, 0x10, 0x10},  // p
    {0x00, 0x00, 0x0F, 0x11, 0x11, 0x11, 0x0F, 0x01, 0x01},  // q
    {0x00, 0x00, 0x16, 0x19, 0x10, 0x10, 0x10, 0x00, 0x00},  // r
    {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E, 0x00, 0x00},  // s
    {0x08, 0x08, 0x1C, 0x08, 0x08, 0x09, 0x06, 0x00, 0x00},  // t
    {0x00, 0x00, 0x11, 0x11, 0x11, 0x13, 0x0D, 0x00, 0x00},  // u
    {0x00, 0x00, 0x11, 0x11, 0x11, 0x0A, 0x04, 0x00, 0x00},  // v
    {0x00, 0x00, 0x11, 0x11, 0x15, 0x15, 0x0A, 0x00, 0x00},  // w
    {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x00, 0x00},  // x
    {0x00, 0x00, 0x11, 0x11, 0x11, 0x11, 0x0F, 0x01, 0x0E},  // y
    {0x00, 0x00, 0x1F, 0x02, 0x04, 0x08, 0x1F, 0x00, 0x00},  // z
    {0x02, 0x04, 0x04, 0x08, 0x04, 0x04, 0x02, 0x00, 0x00},  // {
    {0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},  // |
    {0x08, 0x04, 0x04, 0x02, 0x04, 0x04, 0x08, 0x00, 0x00},  // }
    {0x00, 0x00, 0x08, 0x15, 0x02, 0x00, 0x00, 0x00, 0x00},  // ~
    {0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F},  // 127: block
    {0x04, 0x0E, 0x15, 0x04, 0x04, 0x04, 0x04, 0x00, 0x00},  // 128: arrow up
    {0x04, 0x04, 0x04, 0x04, 0x15, 0x0E, 0x04, 0x00, 0x00},  // 129: arrow down
    {0x00, 0x04, 0x08, 0x1F, 0x08, 0x04, 0x00, 0x00, 0x00},  // 130: arrow left
    {0x00, 0x04, 0x02, 0x1F, 0x02, 0x04, 0x00, 0x00, 0x00},  // 131: arrow right
    {0x00, 0x01, 0x01, 0x02, 0x14, 0x08, 0x00, 0x00, 0x00},  // 132: tick
    {0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x00, 0x00, 0x00},  // 133: cross
    {0x00, 0x0E, 0x11, 0x11, 0x11, 0x0E, 0x00, 0x00, 0x00},  // 134: ring
    {0x00, 0x00, 0x0E, 0x0E, 0x0E, 0x00, 0x00, 0x00, 0x00},  // 135: bullet
    {0x00, 0x04, 0x0E, 0x1F, 0x0E, 0x04, 0x00, 0x00, 0x00},  // 136: diamond
};

constexpr std::array<BuiltinGlyph, BUILTIN_FONT_GLYPHS> MakeGlyphTable() {
    std::array<BuiltinGlyph, BUILTIN_FONT_GLYPHS> table{};
    for (int i = 0; i < BUILTIN_FONT_GLYPHS; ++i) {
        const int character = BUILTIN_FONT_FIRST + i;
        table[i] = {static_cast<uint8_t>(2 + 9 * (i % kCellsAcross)),
                    static_cast<uint8_t>(1 + 16 * (i / kCellsAcross)), 7,
                    static_cast<uint8_t>(character >= 127 ? 15 : 13)};
    }
    return table;
}

constexpr std::array<BuiltinGlyph, BUILTIN_FONT_GLYPHS> kGlyphTable = MakeGlyphTable();

// ---- pictures ------------------------------------------------------------------------------

constexpr uint32_t kClear = 0x00FFFFFFu;  // transparent white, so filtering never darkens edges

using Picture = std::vector<uint32_t>;

uint32_t WhiteWithAlpha(double alpha) {
    const double clamped = std::clamp(alpha, 0.0, 1.0);
    return static_cast<uint32_t>(std::lround(clamped * 255.0)) << 24 | 0xFFFFFF;
}

// Fills a 64 x 64 picture from an alpha field over coordinates relative to the centre. Hard
// shapes take 4 x 4 samples per pixel so their edges come out smooth; soft ones need one.
template <typename Field>
Picture Shape(Field alpha, int samples = 4) {
    Picture picture(BUILTIN_SHAPE_SIDE * BUILTIN_SHAPE_SIDE);
    const double centre = BUILTIN_SHAPE_SIDE / 2.0;
    for (int y = 0; y < BUILTIN_SHAPE_SIDE; ++y) {
        for (int x = 0; x < BUILTIN_SHAPE_SIDE; ++x) {
            double sum = 0.0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    sum += alpha(x + (sx + 0.5) / samples - centre, y + (sy + 0.5) / samples - centre);
                }
            }
            picture[y * BUILTIN_SHAPE_SIDE + x] = WhiteWithAlpha(sum / (samples * samples));
        }
    }
    return picture;
}

constexpr int kSoft = 1;

double Inside(bool inside) {
    return inside ? 1.0 : 0.0;
}

double Length(double x, double y) {
    return std::sqrt(x * x + y * y);
}

// Deterministic value noise in 0..1 on a lattice of the given cell size.
double Lattice(int ix, int iy, uint32_t seed) {
    uint32_t h =
        static_cast<uint32_t>(ix) * 374761393u + static_cast<uint32_t>(iy) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

double ValueNoise(double x, double y, uint32_t seed) {
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    const double fx = x - ix, fy = y - iy;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double top = Lattice(ix, iy, seed) + (Lattice(ix + 1, iy, seed) - Lattice(ix, iy, seed)) * sx;
    const double bottom =
        Lattice(ix, iy + 1, seed) + (Lattice(ix + 1, iy + 1, seed) - Lattice(ix, iy + 1, seed)) * sx;
    return top + (bottom - top) * sy;
}

double Fractal(double x, double y, uint32_t seed) {
    double sum = 0.0, weight = 0.5, scale = 1.0 / 16;
    for (int octave = 0; octave < 4; ++octave) {
        sum += weight * ValueNoise(x * scale, y * scale, seed + octave);
        weight *= 0.5;
        scale *= 2;
    }
    return sum / 0.9375;
}

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    const double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return Length(px - ax - t * dx, py - ay - t * dy);
}

struct Segment {
    double ax, ay, bx, by, width;
};

constexpr int kStarPoints = 5;

struct Star {
    double vx[2 * kStarPoints], vy[2 * kStarPoints];
    Star() {
        for (int i = 0; i < 2 * kStarPoints; ++i) {
            const double radius = i % 2 ? 12.0 : 30.0;
            const double angle = -M_PI / 2 + i * M_PI / kStarPoints;
            vx[i] = radius * std::cos(angle);
            vy[i] = radius * std::sin(angle) + 2.0;
        }
    }
};

bool InsideStar(const Star& star, double x, double y) {
    constexpr int kPoints = kStarPoints;
    const double* vx = star.vx;
    const double* vy = star.vy;
    bool inside = false;
    for (int i = 0, j = 2 * kPoints - 1; i < 2 * kPoints; j = i++) {
        if ((vy[i] > y) != (vy[j] > y) && x < (vx[j] - vx[i]) * (y - vy[i]) / (vy[j] - vy[i]) + vx[i])
            inside = !inside;
    }
    return inside;
}

// Six arms, each with two pairs of side branches.
std::vector<Segment> Snowflake() {
    std::vector<Segment> segments;
    for (int arm = 0; arm < 6; ++arm) {
        const double angle = arm * M_PI / 3;
        const double c = std::cos(angle), s = std::sin(angle);
        segments.push_back({0, 0, 28 * c, 28 * s, 1.6});
        for (double along : {14.0, 21.0}) {
            const double bx = along * c, by = along * s;
            const double length = along < 20 ? 8.0 : 5.0;
            for (double turn : {-M_PI / 4, M_PI / 4}) {
                segments.push_back({bx, by, bx + length * std::cos(angle + turn),
                                    by + length * std::sin(angle + turn), 1.3});
            }
        }
    }
    return segments;
}

bool OnSegments(const std::vector<Segment>& segments, double x, double y) {
    for (const Segment& g : segments) {
        if (SegmentDistance(x, y, g.ax, g.ay, g.bx, g.by) < g.width) return true;
    }
    return false;
}

double Falloff(double r, double radius) {
    return std::clamp(1.0 - r / radius, 0.0, 1.0);
}

Picture ParticleShape(int shape) {
    switch (shape) {
        case 0:  // pixel
            return Shape([](double x, double y) { return Inside(std::fabs(x) < 4 && std::fabs(y) < 4); });
        case 1:  // disk
            return Shape([](double x, double y) { return Inside(Length(x, y) < 30); });
        case 2:  // square
            return Shape([](double x, double y) { return Inside(std::fabs(x) < 30 && std::fabs(y) < 30); });
        case 3:  // line
            return Shape(
                [](double x, double y) { return std::fabs(y) < 3 ? Falloff(std::fabs(x), 31) * 1.5 : 0.0; });
        case 4: {  // star
            const Star star;
            return Shape([&star](double x, double y) { return Inside(InsideStar(star, x, y)); });
        }
        case 5:  // circle
            return Shape([](double x, double y) { return Inside(std::fabs(Length(x, y) - 28) < 1.5); });
        case 6:  // ring
            return Shape(
                [](double x, double y) {
                    const double d = (Length(x, y) - 22) / 5;
                    return std::exp(-d * d);
                },
                kSoft);
        case 7:  // sphere
            return Shape(
                [](double x, double y) {
                    const double r = Length(x, y) / 31;
                    return r < 1 ? 1 - r * r : 0.0;
                },
                kSoft);
        case 8:  // flare
            return Shape(
                [](double x, double y) {
                    const double r = Length(x, y);
                    const double glow = std::exp(-(r / 9) * (r / 9));
                    const double streaks =
                        std::max(std::exp(-std::fabs(y) * 1.5) * Falloff(std::fabs(x), 32),
                                 std::exp(-std::fabs(x) * 1.5) * Falloff(std::fabs(y), 32));
                    return std::max(glow, streaks * 0.8);
                },
                kSoft);
        case 9:  // spark
            return Shape(
                [](double x, double y) {
                    const double along = std::max(Falloff(std::fabs(x), 31) * std::exp(-std::fabs(y)),
                                                  Falloff(std::fabs(y), 31) * std::exp(-std::fabs(x)));
                    return std::max(along * along, std::exp(-Length(x, y) / 3));
                },
                kSoft);
        case 10:  // explosion
            return Shape(
                [](double x, double y) {
                    const double angle = std::atan2(y, x);
                    const double edge =
                        20 + 9 * ValueNoise(std::cos(angle) * 3 + 8, std::sin(angle) * 3 + 8, 11);
                    const double r = Length(x, y);
                    return std::clamp((edge - r) / 4, 0.0, 1.0) * (0.55 + 0.45 * Fractal(x + 32, y + 32, 21));
                },
                kSoft);
        case 11:  // cloud
            return Shape(
                [](double x, double y) {
                    const double r = Length(x, y);
                    return std::clamp(Fractal(x + 32, y + 32, 31) * 1.6 - 0.3, 0.0, 1.0) * Falloff(r, 31) *
                           1.4;
                },
                kSoft);
        case 12:  // smoke
            return Shape(
                [](double x, double y) {
                    const double r = Length(x, y);
                    return (0.35 + 0.65 * Fractal(x + 32, y + 32, 41)) * std::pow(Falloff(r, 31), 1.5);
                },
                kSoft);
        default: {  // snow
            const std::vector<Segment> flake = Snowflake();
            return Shape([&flake](double x, double y) { return Inside(OnSegments(flake, x, y)); });
        }
    }
}

Picture FontImage() {
    Picture picture(BUILTIN_FONT_WIDTH * BUILTIN_FONT_HEIGHT, kClear);
    for (int i = 0; i < BUILTIN_FONT_GLYPHS; ++i) {
        const BuiltinGlyph& g = kGlyphTable[i];
        for (int row = 0; row < kPatternRows; ++row) {
            for (int column = 0; column < 5; ++column) {
                if (!(kFontPatterns[i][row] & (0x10 >> column))) continue;
                picture[(g.y + 2 + row) * BUILTIN_FONT_WIDTH + g.x + 1 + column] = 0xFFFFFFFFu;
            }
        }
    }
    return picture;
}

// ---- the splash picture, a palette PNG ----------------------------------------------------

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size) {
    PutBE32(out, static_cast<uint32_t>(size));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    PutBE32(out, static_cast<uint32_t>(crc32(0, out.data() + typeAt, static_cast<uInt>(size + 4))));
}

std::vector<uint8_t> SplashPng() {
    constexpr int kSide = BUILTIN_SPLASH_SIDE;
    std::vector<uint8_t> palette(3 * 256);
    for (int i = 0; i < 256; ++i) {
        const double t = i / 255.0;
        palette[3 * i] = static_cast<uint8_t>(20 + 215 * t * t);
        palette[3 * i + 1] = static_cast<uint8_t>(30 + 150 * t);
        palette[3 * i + 2] = static_cast<uint8_t>(90 + 120 * std::sin(M_PI * t));
    }
    // Rows of indices: a glow from the centre crossed by rings, in whole numbers only.
    std::vector<uint8_t> rows(static_cast<size_t>(kSide) * (kSide + 1));
    for (int y = 0; y < kSide; ++y) {
        uint8_t* row = &rows[static_cast<size_t>(y) * (kSide + 1)];
        row[0] = 0;  // no filter
        const int dy = 2 * y - kSide + 1;
        for (int x = 0; x < kSide; ++x) {
            const int dx = 2 * x - kSide + 1;
            const int distance = (dx * dx + dy * dy) >> 8;  // up to 8192
            const int glow = std::max(0, 255 - distance / 32);
            const int ring = (distance >> 6) & 1 ? 0 : 32;
            row[x + 1] = static_cast<uint8_t>(std::max(0, glow - ring));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), Z_BEST_SPEED);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBE32(header, kSide);
    PutBE32(header, kSide);
    header.insert(header.end(), {8, 3, 0, 0, 0});  // 8-bit palette indices
    PutChunk(png, "IHDR", header.data(), header.size());
    PutChunk(png, "PLTE", palette.data(), palette.size());
    PutChunk(png, "IDAT", packed.data(), packedSize);
    PutChunk(png, "IEND", nullptr, 0);
    return png;
}

// ---- the images and the table --------------------------------------------------------------

// Each image is drawn the first time it is asked for (a start-up that needs none of them pays
// for none) and kept for the run.
std::vector<uint8_t> MakeImage(int32_t index) {
    auto dds = [](const Picture& picture, int width, int height) {
        uint32_t size = 0;
        uint8_t* bytes = DDS_Encode(picture.data(), width, height, &size);
        std::vector<uint8_t> image(bytes, bytes + size);
        MEM_FREE(bytes);
        return image;
    };
    if (index == BUILTIN_IMAGE_WHITE)
        return dds(Picture(BUILTIN_SHAPE_SIDE * BUILTIN_SHAPE_SIDE, 0xFFFFFFFFu), BUILTIN_SHAPE_SIDE,
                   BUILTIN_SHAPE_SIDE);
    if (index < BUILTIN_IMAGE_FONT)
        return dds(ParticleShape(index - BUILTIN_IMAGE_FIRST_SHAPE), BUILTIN_SHAPE_SIDE, BUILTIN_SHAPE_SIDE);
    if (index == BUILTIN_IMAGE_FONT) return dds(FontImage(), BUILTIN_FONT_WIDTH, BUILTIN_FONT_HEIGHT);
    return SplashPng();
}

struct Made {
    std::once_flag once;
    std::vector<uint8_t> bytes;
};
std::array<Made, BUILTIN_IMAGE_COUNT> g_images;

struct Table {
    uint8_t* bytes = nullptr;
    uint32_t size = 0;
};

uint32_t Align128(uint32_t offset) {
    return (offset + 127) & ~127u;
}

Table BuildTable() {
    const uint32_t count = BUILTIN_IMAGE_COUNT;
    uint32_t offset = Align128(4 + 8 * count);
    std::vector<uint32_t> offsets, sizes;
    for (int32_t i = 0; i < BUILTIN_IMAGE_COUNT; ++i) {
        uint32_t size = 0;
        BuiltinImages_Image(i, &size);
        offsets.push_back(offset);
        sizes.push_back(size);
        offset = Align128(offset + size);
    }
    Table table;
    table.size = offset;
    table.bytes = static_cast<uint8_t*>(MEM_ALLOC(offset));
    std::memcpy(table.bytes, &count, 4);
    for (uint32_t i = 0; i < count; ++i) {
        std::memcpy(table.bytes + 4 + 8 * i, &sizes[i], 4);
        std::memcpy(table.bytes + 8 + 8 * i, &offsets[i], 4);
        std::memcpy(table.bytes + offsets[i], BuiltinImages_Image(static_cast<int32_t>(i), nullptr),
                    sizes[i]);
    }
    return table;
}

const Table& TheTable() {
    static const Table table = BuildTable();
    return table;
}

}  // namespace

const uint8_t* BuiltinImages_Image(int32_t index, uint32_t* size) {
    if (index < 0 || index >= BUILTIN_IMAGE_COUNT) {
        if (size) *size = 0;
        return nullptr;
    }
    Made& made = g_images[static_cast<size_t>(index)];
    std::call_once(made.once, [&made, index] { made.bytes = MakeImage(index); });
    if (size) *size = static_cast<uint32_t>(made.bytes.size());
    return made.bytes.data();
}

const BuiltinGlyph* const BuiltinFont_Glyphs = kGlyphTable.data();

const uint8_t* BuiltinImages_Table() {
    return TheTable().bytes;
}

uint32_t BuiltinImages_TableSize() {
    return TheTable().size;
}
