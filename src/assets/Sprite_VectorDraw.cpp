// Drawing vector sprites: each display item's tessellated parts become triangle lists in the
// vertex batch, with anti-aliasing fringes pushed out along the vertex normals when the game
// asks for them. Items with a clip depth are masks: they are drawn into the stencil only
// (incrementing it), the items they cover draw where the stencil equals the number of masks
// open, and a mask is drawn again (decrementing) when an item beyond its clip depth comes.
#include <algorithm>
#include <cmath>
#include <vector>

#include "assets/Function_Display.h"
#include "assets/Sprite_Main.h"
#include "assets/Sprite_Vector.h"
#include "graphics/GPUState.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/ShaderM.h"

namespace {

constexpr int32_t kMaxPartVertices = 65536;
constexpr uint32_t kStencilEqual = 3, kStencilAlways = 8;
constexpr uint32_t kStencilKeep = 1, kStencilIncrement = 7, kStencilDecrement = 8;
constexpr uint32_t kSamplerWrap = 0, kSamplerClamp = 1;

struct Vertex16 {
    float x, y, z;
    uint32_t colour;
};
struct Vertex24 {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

// Shared by every draw (main thread only).
std::vector<float> g_transformed, g_outer;

int32_t Clamp255(int32_t v) {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

// Channel i (0 blue .. 3 alpha) of a 0xAARRGGBB colour.
int32_t ChannelOf(uint32_t colour, int i) {
    return int32_t(colour >> (i * 8) & 0xFF);
}

// A solid colour through the item's colour transform and the draw colour.
uint32_t ItemColour(uint32_t k, const int32_t base[4], const int32_t multiply[4], const int32_t add[4]) {
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i)
        out |= uint32_t(Clamp255(((multiply[i] * ((ChannelOf(k, i) * base[i]) >> 8)) >> 8) + add[i]))
               << (i * 8);
    return out;
}

// The colour of a textured fill (the texture carries the colours).
uint32_t TexturedColour(const int32_t base[4], const int32_t multiply[4], const int32_t add[4]) {
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) out |= uint32_t(Clamp255(((base[i] * multiply[i]) >> 8) + add[i])) << (i * 8);
    return out;
}

Matrix4 Scale(float sx, float sy) {
    Matrix4 m = Matrix_Identity;
    m.m[0] = sx, m.m[5] = sy;
    return m;
}

Matrix4 Translate(float x, float y) {
    Matrix4 m = Matrix_Identity;
    m.m[12] = x, m.m[13] = y;
    return m;
}

Matrix4 Times(const Matrix4& a, const Matrix4& b) {
    Matrix4 out;
    Matrix_Multiply(&out, a, b);
    return out;
}

void SetStencil(bool enable, uint32_t function, uint32_t pass) {
    GPUState_SetRenderState(&g_GPUState, GPU_RS_STENCILENABLE, enable ? 1 : 0);
    GPUState_SetRenderState(&g_GPUState, GPU_RS_STENCILFUNC, function);
    GPUState_SetRenderState(&g_GPUState, GPU_RS_STENCILPASS, pass);
}

void SetWrites(uint32_t colourWrite, uint32_t depthWrite) {
    GPUState_SetRenderState(&g_GPUState, GPU_RS_COLORWRITEENABLE, colourWrite);
    GPUState_SetRenderState(&g_GPUState, GPU_RS_ZWRITEENABLE, depthWrite);
}

// The width of the fringe in data units: the level over half the on-screen size of one data
// unit under the item's transform.
float FringeWidth(const Matrix4& m) {
    Matrix4 wvp, e;
    GR_D3D_Get_Matrix(GR_MATRIX_WORLD_VIEW_PROJECTION, &wvp);
    Matrix_Multiply(&e, m, wvp);
    float width = float(g_Viewport.width), height = float(g_Viewport.height);
    if (width <= 0 || height <= 0) {
        int32_t w = 0, h = 0;
        GR_D3D_Get_Render_Size(&w, &h);
        width = float(w), height = float(h);
    }
    auto project = [&](float x, float y, float* px, float* py) {
        const float z = g_DrawDepth;
        const float cx = x * e.m[0] + y * e.m[4] + z * e.m[8] + e.m[12];
        const float cy = x * e.m[1] + y * e.m[5] + z * e.m[9] + e.m[13];
        const float cw = x * e.m[3] + y * e.m[7] + z * e.m[11] + e.m[15];
        const float w = cw != 0 ? cw : 1.0f;
        *px = cx / w * width, *py = cy / w * height;
    };
    float ox, oy, ax, ay, bx, by;
    project(0, 0, &ox, &oy);
    project(1, 0, &ax, &ay);
    project(0, 1, &bx, &by);
    const float m1 = std::hypot(ax - ox, ay - oy), m2 = std::hypot(bx - ox, by - oy);
    const float half = std::max(m1, m2) * 0.5f;
    const float level = g_VectorSpriteAntiAliasLevel;
    return half > 0 ? level * (1.0f / half) : level;
}

struct Fill {
    TextureRecord* texture = nullptr;
    bool textured = false;
    Matrix4 uv = Matrix_Identity;  // data point to texture coordinates
};

void UvOf(const Fill& fill, float x, float y, float* u, float* v) {
    *u = x * fill.uv.m[0] + y * fill.uv.m[4] + fill.uv.m[12];
    *v = x * fill.uv.m[1] + y * fill.uv.m[5] + fill.uv.m[13];
}

// One area (fill or stroke) of a part: transformed vertices, the fringe, then the triangles.
int32_t DrawArea(const Matrix4& m, const float* vertices, int32_t vertexCount, const int16_t* triangles,
                 int32_t triangleCount, const int16_t* edges, int32_t edgeCount, const float* normals,
                 int32_t normalCount, bool antiAlias, float fringe, const Fill& fill, uint32_t inner,
                 uint32_t outer) {
    const int32_t n = std::min(vertexCount, kMaxPartVertices);
    g_transformed.resize(size_t(n) * 2);
    for (int32_t i = 0; i < n; ++i) {
        const float x = vertices[i * 2], y = vertices[i * 2 + 1];
        g_transformed[size_t(i) * 2] = m.m[0] * x + m.m[4] * y + m.m[12];
        g_transformed[size_t(i) * 2 + 1] = m.m[1] * x + m.m[5] * y + m.m[13];
    }
    const bool withFringe = antiAlias && edgeCount > 0 && normalCount > 0;
    if (withFringe) {
        const int32_t k = std::min({normalCount, n, kMaxPartVertices});
        g_outer.resize(size_t(k) * 2);
        for (int32_t i = 0; i < k; ++i) {
            const float nx = normals[i * 2], ny = normals[i * 2 + 1];
            g_outer[size_t(i) * 2] = g_transformed[size_t(i) * 2] + fringe * (nx * m.m[0] + ny * m.m[4]);
            g_outer[size_t(i) * 2 + 1] =
                g_transformed[size_t(i) * 2 + 1] + fringe * (nx * m.m[1] + ny * m.m[5]);
        }
    }
    // Indices were checked against the vertex and normal counts when the data was read; the
    // scratch limit still stands.
    auto fits = [&](int32_t i) { return i >= 0 && i < n && (!withFringe || size_t(i) * 2 < g_outer.size()); };
    const int32_t fringeVertices = withFringe ? edgeCount * 6 : 0;
    const int32_t total = fringeVertices + triangleCount * 3;
    if (total <= 0 || total > GR_Batch_Max_Vertices()) return 0;
    const bool wide = fill.textured || Shader_Current() != nullptr;
    TextureRecord* texture = fill.textured ? fill.texture : g_D3D.whiteTexture;
    void* out = GR_Batch_Alloc(D3DPT_TRIANGLELIST, texture, wide ? GR_FORMAT_XYZCUV : GR_FORMAT_XYZC, total);
    if (!out) return 0;
    int32_t written = 0;
    auto put = [&](float x, float y, float dataX, float dataY, uint32_t colour) {
        if (wide) {
            float u = 0, v = 0;
            if (fill.textured) UvOf(fill, dataX, dataY, &u, &v);
            static_cast<Vertex24*>(out)[written++] = {x, y, g_DrawDepth, colour, u, v};
        } else {
            static_cast<Vertex16*>(out)[written++] = {x, y, g_DrawDepth, colour};
        }
    };
    auto inner_ = [&](int32_t i) {
        put(g_transformed[size_t(i) * 2], g_transformed[size_t(i) * 2 + 1], vertices[i * 2],
            vertices[i * 2 + 1], inner);
    };
    auto outer_ = [&](int32_t i) {
        put(g_outer[size_t(i) * 2], g_outer[size_t(i) * 2 + 1], vertices[i * 2] + fringe * normals[i * 2],
            vertices[i * 2 + 1] + fringe * normals[i * 2 + 1], outer);
    };
    int32_t drawn = 0;
    for (int32_t e = 0; e < fringeVertices / 6; ++e) {
        const int32_t i = edges[e * 2], j = edges[e * 2 + 1];
        if (!fits(i) || !fits(j)) continue;
        inner_(i), inner_(j), outer_(i), outer_(i), inner_(j), outer_(j);
        drawn += 2;
    }
    for (int32_t t = 0; t < triangleCount; ++t) {
        const int32_t a = triangles[t * 3], b = triangles[t * 3 + 1], c = triangles[t * 3 + 2];
        if (!fits(a) || !fits(b) || !fits(c)) continue;
        inner_(a), inner_(b), inner_(c);
        ++drawn;
    }
    // Skipped entries leave their room unused: degenerate triangles fill it.
    while (written < total) put(0, 0, 0, 0, 0);
    return drawn;
}

}  // namespace

int32_t CSprite::DrawVectorItem(const VectorItem& item, const Matrix4& transform,
                                const Matrix4& gradientMatrix, uint32_t drawColour, uint32_t fringeColour,
                                bool antiAlias) {
    if (item.kind == 0 || item.shape < 0 || item.shape >= m_vectorShapeCount) return 0;
    const VectorShape* shape = m_vectorShapes[item.shape];
    if (!shape || shape->kind != VECTOR_SHAPE) return 0;
    const Matrix4 m = Times(*reinterpret_cast<const Matrix4*>(item.matrix), transform);
    const float fringe = antiAlias ? FringeWidth(m) : 0.0f;
    int32_t base[4], fringeBase[4];
    for (int i = 0; i < 4; ++i)
        base[i] = ChannelOf(drawColour, i), fringeBase[i] = ChannelOf(fringeColour, i);
    int32_t triangles = 0;
    for (int32_t s = 0; s < shape->subShapeCount; ++s) {
        const VectorSubShape& sub = shape->subShapes[s];
        for (int32_t p = 0; p < sub.partCount; ++p) {
            const VectorPart& part = sub.parts[p];
            if (part.fillStyle >= 0 && part.fillStyle < sub.fillStyleCount && part.fillTriangleCount != 0) {
                const VectorFillStyle* style = sub.fillStyles[part.fillStyle];
                Fill fill;
                bool ok = style != nullptr;
                uint32_t inner = 0, outer = 0;
                if (ok && style->kind == VECTOR_FILL_SOLID) {
                    inner = ItemColour(style->colour, base, item.multiply, item.add);
                    outer = ItemColour(style->colour, fringeBase, item.multiply, item.fringeAdd);
                } else if (ok && style->kind == VECTOR_FILL_GRADIENT) {
                    fill.texture = GR_Texture_Get(style->textureId);
                    ok = fill.texture != nullptr;
                    fill.textured = true;
                    fill.uv = Times(*reinterpret_cast<const Matrix4*>(style->matrix), gradientMatrix);
                    GPUState_SetSamplerState(&g_GPUState, 0, GPU_SAMP_ADDRESSU, kSamplerClamp);
                    GPUState_SetSamplerState(&g_GPUState, 0, GPU_SAMP_ADDRESSV, kSamplerClamp);
                } else if (ok && style->kind == VECTOR_FILL_BITMAP) {
                    const VectorShape* bitmap =
                        style->bitmapShape >= 0 && style->bitmapShape < m_vectorShapeCount
                            ? m_vectorShapes[style->bitmapShape]
                            : nullptr;
                    const TextureEntry* entry = bitmap ? GR_Texture_Get_Entry(bitmap->textureId) : nullptr;
                    fill.texture = bitmap ? GR_Texture_Get(bitmap->textureId) : nullptr;
                    ok = fill.texture != nullptr && entry != nullptr;
                    fill.textured = true;
                    if (ok) {
                        fill.uv = Times(*reinterpret_cast<const Matrix4*>(style->matrix),
                                        Scale(entry->invWidth, entry->invHeight));
                        const uint32_t address =
                            style->bitmapMode == 1 || style->bitmapMode == 3 ? kSamplerClamp : kSamplerWrap;
                        GPUState_SetSamplerState(&g_GPUState, 0, GPU_SAMP_ADDRESSU, address);
                        GPUState_SetSamplerState(&g_GPUState, 0, GPU_SAMP_ADDRESSV, address);
                    }
                } else {
                    ok = false;
                }
                if (ok && fill.textured) {
                    inner = TexturedColour(base, item.multiply, item.add);
                    outer = TexturedColour(fringeBase, item.multiply, item.fringeAdd);
                }
                if (ok)
                    triangles +=
                        DrawArea(m, part.fillVertices, part.fillVertexCount, part.fillTriangles,
                                 part.fillTriangleCount, part.fillEdges, part.fillEdgeCount, part.fillNormals,
                                 part.fillNormalCount, antiAlias, fringe, fill, inner, outer);
            }
            if (part.lineStyle >= 0 && part.lineStyle < sub.lineStyleCount && part.lineTriangleCount != 0) {
                const uint32_t k = sub.lineColours[part.lineStyle];
                triangles += DrawArea(m, part.lineVertices, part.lineVertexCount, part.lineTriangles,
                                      part.lineTriangleCount, part.lineEdges, part.lineEdgeCount,
                                      part.lineNormals, part.lineNormalCount, antiAlias, fringe, Fill{},
                                      ItemColour(k, base, item.multiply, item.add),
                                      ItemColour(k, fringeBase, item.multiply, item.fringeAdd));
            }
        }
    }
    return triangles;
}

void CSprite::DrawVector(int32_t frame, float originX, float originY, float x, float y, float xScale,
                         float yScale, float angle, uint32_t colour, float alpha) {
    if (m_vectorShapeCount <= 0 || !m_vectorShapes || !m_vectorFrames || m_vectorFrames->frameCount <= 0)
        return;
    const int32_t saved[] = {GPU_RS_STENCILREF,  GPU_RS_STENCILENABLE,    GPU_RS_STENCILFUNC,
                             GPU_RS_STENCILPASS, GPU_RS_COLORWRITEENABLE, GPU_RS_ZWRITEENABLE};
    uint32_t savedRender[6];
    for (int i = 0; i < 6; ++i) savedRender[i] = GPUState_GetRenderState(&g_GPUState, saved[i]);
    const uint32_t savedU = GPUState_GetSamplerState(&g_GPUState, 0, GPU_SAMP_ADDRESSU);
    const uint32_t savedV = GPUState_GetSamplerState(&g_GPUState, 0, GPU_SAMP_ADDRESSV);
    const uint32_t colourWrites = savedRender[4], depthWrites = savedRender[5];

    int32_t f = frame % m_vectorFrames->frameCount;
    if (f < 0) f += m_vectorFrames->frameCount;
    const VectorFrame& vf = m_vectorFrames->frames[f];

    const uint32_t drawColour = Colour_ToARGB(colour, alpha);
    const uint32_t fringeColour = (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);

    Matrix4 rotation;
    Matrix_Build_Rotation_Z(&rotation, angle);
    const Matrix4 transform = Times(Times(Times(Translate(-originX / kVectorScale, -originY / kVectorScale),
                                                Scale(kVectorScale * xScale, kVectorScale * yScale)),
                                          rotation),
                                    Translate(x, y));
    const Matrix4 gradient = Times(Scale(1.0f / 32768.0f, 1.0f / 32768.0f), Translate(0.5f, 0.5f));

    std::vector<const VectorItem*> masks;
    masks.reserve(size_t(vf.itemCount));
    auto redrawMask = [&](const VectorItem* mask) {
        SetStencil(true, kStencilAlways, kStencilDecrement);
        SetWrites(0, 0);
        DrawVectorItem(*mask, transform, gradient, drawColour, fringeColour, false);
    };
    for (int32_t i = 0; i < vf.itemCount; ++i) {
        const VectorItem& item = vf.items[i];
        for (size_t k = 0; k < masks.size();) {
            if (masks[k]->clipDepth >= item.depth) {
                ++k;
                continue;
            }
            redrawMask(masks[k]);
            masks.erase(masks.begin() + ptrdiff_t(k));
            GPUState_SetRenderState(&g_GPUState, GPU_RS_STENCILREF, uint32_t(masks.size()));
            SetStencil(true, kStencilEqual, kStencilKeep);
            SetWrites(colourWrites, depthWrites);
        }
        const bool isMask = item.clipDepth >= 1;
        if (isMask) {
            masks.push_back(&item);
            SetStencil(true, kStencilAlways, kStencilIncrement);
            SetWrites(0, 0);
        }
        if (masks.empty()) GPUState_SetRenderState(&g_GPUState, GPU_RS_STENCILENABLE, 0);
        DrawVectorItem(item, transform, gradient, drawColour, fringeColour,
                       !isMask && g_VectorSpriteAntiAlias);
        if (isMask) {
            GPUState_SetRenderState(&g_GPUState, GPU_RS_STENCILREF, uint32_t(masks.size()));
            SetStencil(true, kStencilEqual, kStencilKeep);
            SetWrites(colourWrites, depthWrites);
        }
    }
    for (const VectorItem* mask : masks) redrawMask(mask);

    for (int i = 0; i < 6; ++i) GPUState_SetRenderState(&g_GPUState, saved[i], savedRender[i]);
    GPUState_SetSamplerState(&g_GPUState, 0, GPU_SAMP_ADDRESSU, savedU);
    GPUState_SetSamplerState(&g_GPUState, 0, GPU_SAMP_ADDRESSV, savedV);
}

void CSprite::DrawVectorTiled(int32_t frame, float x, float y, float xScale, float yScale, bool horizontal,
                              bool vertical, float rx, float ry, float rw, float rh, uint32_t colour,
                              float alpha) {
    if (xScale == 0 || yScale == 0) return;
    const float tw = std::fabs(xScale) * float(m_width), th = std::fabs(yScale) * float(m_height);
    float ux = float(m_originX) * xScale, uy = float(m_originY) * yScale;
    if (ux < 0) ux += tw;
    if (uy < 0) uy += th;
    auto wrap = [](float value, float period) {
        if (period <= 0) return value;
        const float q = value / period;
        return (q - std::floor(q)) * period;
    };
    // A tile of no size, or a region that would take more tiles than a frame can draw, is
    // drawn once instead of looping without end.
    constexpr float kMaxTiles = 4096;
    float firstX = x, firstY = y;
    int32_t columns = 1, rows = 1;
    if (horizontal && tw > 0 && std::ceil(rw / tw) < kMaxTiles) {
        float d = wrap(x - rx - ux, tw);
        if (d > 0) d -= tw;
        firstX = ux + rx + d;
        columns = int32_t(std::ceil(rw / tw)) + 1;
    }
    if (vertical && th > 0 && std::ceil(rh / th) < kMaxTiles) {
        float d = wrap(y - ry - uy, th);
        if (d > 0) d -= th;
        firstY = uy + ry + d;
        rows = int32_t(std::ceil(rh / th)) + 1;
    }
    for (int32_t i = 0; i < rows; ++i)
        for (int32_t j = 0; j < columns; ++j)
            DrawVector(frame, float(m_originX), float(m_originY), firstX + float(j) * tw,
                       firstY + float(i) * th, xScale, yScale, 0, colour, alpha);
}
