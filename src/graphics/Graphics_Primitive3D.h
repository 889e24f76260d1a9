// 3-D primitives and shapes: vertices with normals in the 36-byte format, collected between a
// begin and an end and handed to the vertex batch (or, while a model is recorded, to the active
// recorder). Long primitives are split without breaking strips and fans. Texture arguments are
// texture handles: -1 none, a texture id, or a registered page-entry handle whose rectangle the
// texture coordinates are mapped into.
#pragma once

#include <cstdint>

struct Vertex3D {
    float x, y, z;
    float nx, ny, nz;
    uint32_t colour;  // device ARGB
    float u, v;
};
static_assert(sizeof(Vertex3D) == 36, "the 36-byte vertex format");

constexpr int32_t GR_PRIMITIVE3D_SLOTS = 1001;

struct Primitive3D {
    Vertex3D vertices[GR_PRIMITIVE3D_SLOTS];
    int32_t count;
    int32_t kind;
    int32_t textureId;               // -1 none
    struct TexturePageEntry* entry;  // or null
    float textureWidth, textureHeight;
    int32_t capacity;
};
extern Primitive3D g_Primitive3D;

// Where finished primitives go instead of the batch while a model is recorded.
struct GraphicsRecorder;
extern GraphicsRecorder* g_ActiveRecorder;
void GraphicsRecorder_Add(int32_t kind, int32_t count, const Vertex3D* vertices);

// Device ARGB of a vertex given its own colour (0xBBGGRR) and alpha: bit 0 of red is set, so
// such vertices never match the draw colour (which carries bit 0 clear).
uint32_t GR_D3D_Vertex_Own_Colour(int32_t colour, float alpha);
uint32_t GR_D3D_Vertex_Draw_Colour();

void GR_D3D_Primitive_Begin(int32_t kind, int32_t texture);
void GR_D3D_Vertex(float x, float y, float z);
void GR_D3D_Vertex_Colour(float x, float y, float z, int32_t colour, float alpha);
void GR_D3D_Vertex_Texture(float x, float y, float z, float u, float v);
void GR_D3D_Vertex_Texture_Colour(float x, float y, float z, float u, float v, int32_t colour, float alpha);
void GR_D3D_Vertex_Normal(float x, float y, float z, float nx, float ny, float nz);
void GR_D3D_Vertex_Normal_Colour(float x, float y, float z, float nx, float ny, float nz, int32_t colour,
                                 float alpha);
void GR_D3D_Vertex_Normal_Texture(float x, float y, float z, float nx, float ny, float nz, float u, float v);
void GR_D3D_Vertex_Normal_Texture_Colour(float x, float y, float z, float nx, float ny, float nz, float u,
                                         float v, int32_t colour, float alpha);
void GR_D3D_Primitive_End();

void GR_D3D_Draw_Block(float x1, float y1, float z1, float x2, float y2, float z2, int32_t texture,
                       float hrepeat, float vrepeat);
void GR_D3D_Draw_Cylinder(float x1, float y1, float z1, float x2, float y2, float z2, int32_t texture,
                          float hrepeat, float vrepeat, bool closed, int32_t steps);
void GR_D3D_Draw_Cone(float x1, float y1, float z1, float x2, float y2, float z2, int32_t texture,
                      float hrepeat, float vrepeat, bool closed, int32_t steps);
void GR_D3D_Draw_Ellipsoid(float x1, float y1, float z1, float x2, float y2, float z2, int32_t texture,
                           float hrepeat, float vrepeat, int32_t steps);
void GR_D3D_Draw_Wall(float x1, float y1, float z1, float x2, float y2, float z2, int32_t texture,
                      float hrepeat, float vrepeat);
void GR_D3D_Draw_Floor(float x1, float y1, float z1, float x2, float y2, float z2, int32_t texture,
                       float hrepeat, float vrepeat);

// The device record of a texture handle: none for -1 and for unknown handles.
struct TextureRecord;
TextureRecord* GR_D3D_Texture_Record(int32_t texture);
