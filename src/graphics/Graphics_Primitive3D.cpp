#include "graphics/Graphics_Primitive3D.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/GPUState.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TexturesM.h"

Primitive3D g_Primitive3D = {};
GraphicsRecorder* g_ActiveRecorder = nullptr;

namespace {

constexpr float kPi = 3.1415927f;

int32_t CapacityOf(int32_t kind) {
    if (kind == 4) return 999;  // a whole number of triangles
    if (kind >= 1 && kind <= 6) return 1000;
    return 0;
}

// Texture coordinates into a page entry's rectangle; unchanged for a texture id or none.
void MapUV(float u, float v, float* outU, float* outV) {
    const Primitive3D& p = g_Primitive3D;
    if (!p.entry) {
        *outU = u;
        *outV = v;
        return;
    }
    *outU = static_cast<float>((static_cast<double>(p.entry->targetWidth) * u + p.entry->sourceX) /
                               p.textureWidth);
    *outV = static_cast<float>((static_cast<double>(p.entry->targetHeight) * v + p.entry->sourceY) /
                               p.textureHeight);
}

void SplitPrimitive() {
    Primitive3D& p = g_Primitive3D;
    GR_D3D_Primitive_End();
    const int32_t submitted = p.count;
    Vertex3D* v = p.vertices;
    switch (p.kind) {
        case 3:
            v[0] = v[submitted - 1];
            p.count = 1;
            break;
        case 5: {
            const Vertex3D a = v[submitted - 2], b = v[submitted - 1];
            if (submitted % 2 != 0) {
                v[0] = a;
                v[1] = a;
                v[2] = b;
                p.count = 3;
            } else {
                v[0] = a;
                v[1] = b;
                p.count = 2;
            }
            break;
        }
        case 6:
            v[1] = v[submitted - 1];
            p.count = 2;
            break;
        default:
            p.count = 0;
    }
}

void AddVertex(float x, float y, float z, float nx, float ny, float nz, uint32_t colour, float u, float v) {
    Primitive3D& p = g_Primitive3D;
    if (p.capacity <= 0) return;  // no primitive kind that can hold vertices
    if (p.count >= p.capacity) SplitPrimitive();
    Vertex3D& out = p.vertices[p.count++];
    out = {x, y, z, nx, ny, nz, colour, 0, 0};
    MapUV(u, v, &out.u, &out.v);
}

// A shape draws with repeat on, flushed before and after; the old repeat setting comes back.
class ShapeScope {
public:
    ShapeScope() : m_repeat(GR_Texture_Get_Repeat()) {
        GraphicsFlush();
        GR_Texture_Set_Repeat(true);
    }
    ~ShapeScope() {
        GraphicsFlush();
        GR_Texture_Set_Repeat(m_repeat);
    }
    ShapeScope(const ShapeScope&) = delete;
    ShapeScope& operator=(const ShapeScope&) = delete;

private:
    bool m_repeat;
};

void BlockVertex(float x, float y, float z, float nx, float ny, float nz, float u, float v) {
    Primitive3D& p = g_Primitive3D;
    Vertex3D& out = p.vertices[p.count++];
    out = {x, y, z, nx, ny, nz, GR_D3D_Vertex_Draw_Colour(), 0, 0};
    MapUV(u, v, &out.u, &out.v);
}

// Rings of cylinders, cones and ellipsoids.
struct Ring {
    int32_t steps;
    float cx, cy, rx, ry;
    float c[129], s[129];
    Ring(float x1, float y1, float x2, float y2, int32_t wanted) {
        steps = std::clamp(wanted, 3, 128);
        cx = (x1 + x2) / 2;
        cy = (y1 + y2) / 2;
        rx = (x2 - x1) / 2;
        ry = (y2 - y1) / 2;
        for (int32_t i = 0; i <= steps; ++i) {
            const float angle = static_cast<float>(i) * 2 * kPi / static_cast<float>(steps);
            c[i] = std::cos(angle);
            s[i] = std::sin(angle);
        }
    }
    float X(int32_t i) const { return cx + c[i] * rx; }
    float Y(int32_t i) const { return cy + s[i] * ry; }
    float U(int32_t i, float hrepeat) const {
        return static_cast<float>(i) * hrepeat / static_cast<float>(steps);
    }
};

void BottomCap(const Ring& ring, float z1, int32_t texture) {
    GR_D3D_Primitive_Begin(6, texture);
    GR_D3D_Vertex_Normal_Texture(ring.cx, ring.cy, z1, 0, 0, -1, 0, 0);
    for (int32_t i = ring.steps; i >= 0; --i)
        GR_D3D_Vertex_Normal_Texture(ring.X(i), ring.Y(i), z1, 0, 0, -1, 0, 0);
    GR_D3D_Primitive_End();
}

}  // namespace

uint32_t GR_D3D_Vertex_Draw_Colour() {
    return g_DrawColour & ~1u;
}

uint32_t GR_D3D_Vertex_Own_Colour(int32_t colour, float alpha) {
    const uint32_t c = static_cast<uint32_t>(colour) | 1u;
    const uint32_t a = static_cast<uint32_t>(std::clamp(alpha, 0.0f, 1.0f) * 255.0f);
    return a << 24 | (c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu);
}

TextureRecord* GR_D3D_Texture_Record(int32_t texture) {
    if (texture == -1) return nullptr;
    if (GR_Texture_Exists(texture)) return GR_Texture_Get(texture);
    const TexturePageEntry* entry = GR_Texture_Page_From_Handle(texture);
    return entry ? GR_Texture_Get(entry->texture) : nullptr;
}

void GR_D3D_Primitive_Begin(int32_t kind, int32_t texture) {
    Primitive3D& p = g_Primitive3D;
    p.count = 0;
    p.kind = kind;
    p.capacity = CapacityOf(kind);
    p.textureId = -1;
    p.entry = nullptr;
    p.textureWidth = p.textureHeight = 1;
    if (texture == -1) return;
    if (GR_Texture_Exists(texture)) {
        p.textureId = texture;
        return;
    }
    // Only registered page entries are followed; any other handle draws untextured.
    TexturePageEntry* entry = GR_Texture_Page_From_Handle(texture);
    const TextureRecord* record = entry ? GR_Texture_Get(entry->texture) : nullptr;
    if (!record) return;
    p.textureId = entry->texture;
    p.entry = entry;
    p.textureWidth = static_cast<float>(GR_Texture_Width(record));
    p.textureHeight = static_cast<float>(GR_Texture_Height(record));
}

void GR_D3D_Vertex(float x, float y, float z) {
    AddVertex(x, y, z, 0, 0, 0, GR_D3D_Vertex_Draw_Colour(), 0, 0);
}
void GR_D3D_Vertex_Colour(float x, float y, float z, int32_t colour, float alpha) {
    AddVertex(x, y, z, 0, 0, 0, GR_D3D_Vertex_Own_Colour(colour, alpha), 0, 0);
}
void GR_D3D_Vertex_Texture(float x, float y, float z, float u, float v) {
    AddVertex(x, y, z, 0, 0, 0, GR_D3D_Vertex_Draw_Colour(), u, v);
}
void GR_D3D_Vertex_Texture_Colour(float x, float y, float z, float u, float v, int32_t colour, float alpha) {
    AddVertex(x, y, z, 0, 0, 0, GR_D3D_Vertex_Own_Colour(colour, alpha), u, v);
}
void GR_D3D_Vertex_Normal(float x, float y, float z, float nx, float ny, float nz) {
    AddVertex(x, y, z, nx, ny, nz, GR_D3D_Vertex_Draw_Colour(), 0, 0);
}
void GR_D3D_Vertex_Normal_Colour(float x, float y, float z, float nx, float ny, float nz, int32_t colour,
                                 float alpha) {
    AddVertex(x, y, z, nx, ny, nz, GR_D3D_Vertex_Own_Colour(colour, alpha), 0, 0);
}
void GR_D3D_Vertex_Normal_Texture(float x, float y, float z, float nx, float ny, float nz, float u, float v) {
    AddVertex(x, y, z, nx, ny, nz, GR_D3D_Vertex_Draw_Colour(), u, v);
}
void GR_D3D_Vertex_Normal_Texture_Colour(float x, float y, float z, float nx, float ny, float nz, float u,
                                         float v, int32_t colour, float alpha) {
    AddVertex(x, y, z, nx, ny, nz, GR_D3D_Vertex_Own_Colour(colour, alpha), u, v);
}

void GR_D3D_Primitive_End() {
    const Primitive3D& p = g_Primitive3D;
    if (p.kind < 1 || p.kind > 6 || p.count <= 0) return;
    if (g_ActiveRecorder) return GraphicsRecorder_Add(p.kind, p.count, p.vertices);
    TextureRecord* record = p.textureId >= 0 ? GR_Texture_Get(p.textureId) : nullptr;
    void* out = GR_Batch_Alloc(p.kind, record, 36, p.count);
    if (out) std::memcpy(out, p.vertices, sizeof(Vertex3D) * static_cast<size_t>(p.count));
}

void GR_D3D_Draw_Block(float x1, float y1, float z1, float x2, float y2, float z2, int32_t texture,
                       float hrepeat, float vrepeat) {
    ShapeScope scope;
    GR_D3D_Primitive_Begin(4, texture);
    const float u = hrepeat, v = vrepeat;
    // Each face: two varying coordinates at its four corners (0,0), (0,v), (u,v), (u,0) as two triangles.
    struct Face {
        float n[3];
        int32_t axis;  // the fixed axis: 0 x, 1 y, 2 z
        float fixed;
        float a0, b0, a1, b1;  // corner (0, 0) and corner (u, v) in the two varying coordinates
    };
    const Face faces[6] = {
        {{0, 0, -1}, 2, z1, x1, y1, x2, y2}, {{0, 0, 1}, 2, z2, x1, y1, x2, y2},
        {{0, 1, 0}, 1, y2, x1, z1, x2, z2},  {{1, 0, 0}, 0, x2, y2, z1, y1, z2},
        {{0, -1, 0}, 1, y1, x2, z1, x1, z2}, {{-1, 0, 0}, 0, x1, y1, z1, y2, z2},
    };
    for (int32_t f = 0; f < 6; ++f) {
        const Face& face = faces[f];
        // The z = z2 face runs the other way round: (0,0) (u,0) (u,v) (u,v) (0,v) (0,0).
        struct Corner {
            bool a, b;
        };
        static const Corner kFront[6] = {{0, 0}, {0, 1}, {1, 1}, {1, 1}, {1, 0}, {0, 0}};
        static const Corner kBack[6] = {{0, 0}, {1, 0}, {1, 1}, {1, 1}, {0, 1}, {0, 0}};
        const Corner* corners = f == 1 ? kBack : kFront;
        for (int32_t k = 0; k < 6; ++k) {
            // In the face table the first varying coordinate follows u and the second v.
            const float a = corners[k].a ? face.a1 : face.a0;
            const float b = corners[k].b ? face.b1 : face.b0;
            const float tu = corners[k].a ? u : 0, tv = corners[k].b ? v : 0;
            float p[3];
            p[face.axis] = face.fixed;
            const int32_t first = face.axis == 0 ? 1 : 0, second = face.axis == 2 ? 1 : 2;
            p[first] = a;
            p[second] = b;
            BlockVertex(p[0], p[1], p[2], face.n[0], face.n[1], face.n[2], tu, tv);
        }
    }
    GR_D3D_Primitive_End();
}

void GR_D3D_Draw_Cylinder(float x1, float y1, float z1, float x2, float y2, float z2, int32_t texture,
                          float hrepeat, float vrepeat, bool closed, int32_t steps) {
    ShapeScope scope;
    const Ring ring(x1, y1, x2, y2, steps);
    if (closed) {
        GR_D3D_Primitive_Begin(6, texture);
        GR_D3D_Vertex_Normal_Texture(ring.cx, ring.cy, z2, 0, 0, 1, 0, vrepeat);
        for (int32_t i = 0; i <= ring.steps; ++i)
            GR_D3D_Vertex_Normal_Texture(ring.X(i), ring.Y(i), z2, 0, 0, 1, 0, vrepeat);
        GR_D3D_Primitive_End();
    }
    GR_D3D_Primitive_Begin(5, texture);
    for (int32_t i = 0; i <= ring.steps; ++i) {
        const float u = ring.U(i, hrepeat);
        GR_D3D_Vertex_Normal_Texture(ring.X(i), ring.Y(i), z2, ring.c[i], ring.s[i], 0, u, vrepeat);
        GR_D3D_Vertex_Normal_Texture(ring.X(i), ring.Y(i), z1, ring.c[i], ring.s[i], 0, u, 0);
    }
    GR_D3D_Primitive_End();
    if (closed) BottomCap(ring, z1, texture);
}

void GR_D3D_Draw_Cone(float x1, float y1, float z1, float x2, float y2, float z2, int32_t texture,
                      float hrepeat, float vrepeat, bool closed, int32_t steps) {
    ShapeScope scope;
    const Ring ring(x1, y1, x2, y2, steps);
    GR_D3D_Primitive_Begin(5, texture);
    for (int32_t i = 0; i <= ring.steps; ++i) {
        const float u = ring.U(i, hrepeat);
        GR_D3D_Vertex_Normal_Texture(ring.cx, ring.cy, z2, 0, 0, 1, u, vrepeat);
        GR_D3D_Vertex_Normal_Texture(ring.X(i), ring.Y(i), z1, ring.c[i], ring.s[i], 0, u, 0);
    }
    GR_D3D_Primitive_End();
    if (closed) BottomCap(ring, z1, texture);
}

void GR_D3D_Draw_Ellipsoid(float x1, float y1, float z1, float x2, float y2, float z2, int32_t texture,
                           float hrepeat, float vrepeat, int32_t steps) {
    ShapeScope scope;
    const Ring ring(x1, y1, x2, y2, steps);
    const int32_t rings = (ring.steps + 1) / 2;
    const float cz = (z1 + z2) / 2, rz = (z2 - z1) / 2;
    for (int32_t k = 0; k < rings; ++k) {
        const float a[2] = {static_cast<float>(k) * kPi / static_cast<float>(rings),
                            static_cast<float>(k + 1) * kPi / static_cast<float>(rings)};
        GR_D3D_Primitive_Begin(5, texture);
        for (int32_t i = 0; i <= ring.steps; ++i) {
            for (int32_t e = 0; e < 2; ++e) {
                const float sa = std::sin(a[e]), ca = std::cos(a[e]);
                const float nx = ring.c[i] * sa, ny = ring.s[i] * sa;
                GR_D3D_Vertex_Normal_Texture(ring.cx + nx * ring.rx, ring.cy + ny * ring.ry, cz + ca * rz, nx,
                                             ny, ca, ring.U(i, hrepeat),
                                             static_cast<float>(k + e) * vrepeat / static_cast<float>(rings));
            }
        }
        GR_D3D_Primitive_End();
    }
}

void GR_D3D_Draw_Wall(float x1, float y1, float z1, float x2, float y2, float z2, int32_t texture,
                      float hrepeat, float vrepeat) {
    const float length = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
    if (length == 0) return;
    ShapeScope scope;
    const float nx = (y2 - y1) / length, ny = -(x2 - x1) / length;
    GR_D3D_Primitive_Begin(6, texture);
    GR_D3D_Vertex_Normal_Texture(x1, y1, z1, nx, ny, 0, 0, 0);
    GR_D3D_Vertex_Normal_Texture(x2, y2, z1, nx, ny, 0, hrepeat, 0);
    GR_D3D_Vertex_Normal_Texture(x2, y2, z2, nx, ny, 0, hrepeat, vrepeat);
    GR_D3D_Vertex_Normal_Texture(x1, y1, z2, nx, ny, 0, 0, vrepeat);
    GR_D3D_Primitive_End();
}

void GR_D3D_Draw_Floor(float x1, float y1, float z1, float x2, float y2, float z2, int32_t texture,
                       float hrepeat, float vrepeat) {
    const float length = std::sqrt((z2 - z1) * (z2 - z1) + (x2 - x1) * (x2 - x1));
    if (length == 0) return;
    ShapeScope scope;
    const float nx = -(z2 - z1) / length, nz = (x2 - x1) / length;
    GR_D3D_Primitive_Begin(6, texture);
    GR_D3D_Vertex_Normal_Texture(x1, y1, z1, nx, 0, nz, 0, 0);
    GR_D3D_Vertex_Normal_Texture(x1, y2, z1, nx, 0, nz, 0, vrepeat);
    GR_D3D_Vertex_Normal_Texture(x2, y2, z2, nx, 0, nz, hrepeat, vrepeat);
    GR_D3D_Vertex_Normal_Texture(x2, y1, z2, nx, 0, nz, hrepeat, 0);
    GR_D3D_Primitive_End();
}
