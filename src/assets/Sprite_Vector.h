// Vector sprite data: pre-tessellated shapes, bitmaps and frames of display items, read from the
// vector data format (".pws" files added at run time). Positions stay in data units (twentieths
// of a pixel); bounds are in pixels once loaded; colours are 0xAARRGGBB.
#pragma once

#include <cstdint>

constexpr float kVectorScale = 0.05f;  // pixels per data unit

enum VectorShapeKind : int32_t { VECTOR_SHAPE = 1, VECTOR_BITMAP = 2 };
enum VectorFillKind : int32_t { VECTOR_FILL_SOLID = 1, VECTOR_FILL_GRADIENT = 2, VECTOR_FILL_BITMAP = 3 };

struct VectorGradientStop {
    int32_t ratio;  // 0..255
    uint32_t colour;
};

struct VectorFillStyle {
    int32_t kind;
    uint32_t colour;       // solid
    int32_t gradientKind;  // gradient: 0 linear, 1 radial
    int32_t stopCount;
    VectorGradientStop* stops;
    int32_t bitmapMode;  // bitmap: 0 or 2 repeat, 1 or 3 clamp
    int32_t bitmapId;
    int32_t bitmapShape;  // index of the bitmap shape with that id, -1 when none precedes it
    float matrix[16];     // row-vector 4 x 4
    int32_t textureId;    // gradient texture, -1 until made
};

struct VectorPart {
    int32_t styleIndex, fillStyle, lineStyle;
    int32_t fillVertexCount, pairCount, fillTriangleCount, lineVertexCount, lineTriangleCount;
    int32_t fillEdgeCount, fillNormalCount, lineEdgeCount, lineNormalCount;
    float* fillVertices;     // x, y
    int16_t* pairs;          // two each
    int16_t* fillTriangles;  // three each
    float* lineVertices;     // x, y
    int16_t* lineTriangles;  // three each
    int16_t* fillEdges;      // two each
    float* fillNormals;      // x, y
    int16_t* lineEdges;      // two each
    float* lineNormals;      // x, y
};

struct VectorSubShape {
    int32_t fillStyleCount, lineStyleCount, partCount;
    VectorFillStyle** fillStyles;  // null for kinds other than 1, 2, 3
    uint32_t* lineColours;
    VectorPart* parts;
};

struct VectorShape {
    int32_t kind, id;
    int32_t kept[4];
    int32_t subShapeCount;
    VectorSubShape* subShapes;
    int32_t textureId;  // bitmap: -1 until made
    int32_t width, height;
};

struct VectorItem {
    int32_t kind, shape, depth, clipDepth;
    int32_t multiply[4];   // blue, green, red, alpha; 8.8 fixed point
    int32_t add[4];        // blue, green, red, alpha
    int32_t fringeAdd[4];  // 0, green, red, alpha
    float minX, maxX, minY, maxY;
    float matrix[16];
};

struct VectorFrame {
    int32_t itemCount;
    VectorItem* items;
    float minX, maxX, minY, maxY;
};

struct VectorFrameList {
    int32_t kept;
    int32_t frameCount;
    VectorFrame* frames;
    float minX, maxX, minY, maxY;
};

// The colour of a gradient at a ratio (clamped to 0..255); 0 without stops.
uint32_t VectorGradient_Lookup(const VectorFillStyle* style, int32_t ratio);
// Bakes the gradient into a 256 x 1 (linear) or 64 x 64 (radial) texture.
void VectorGradient_CreateTexture(VectorFillStyle* style);
