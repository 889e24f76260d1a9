// The kind data of vector sprites (kind 1) and skeleton sprites (kind 2) of a "SPRT" entry:
// put the result in `Sprite::kindData` with `extended` set and the kind chosen. Vector data is
// also what ".pws" files hold.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace formpack {

// Colours here are 0xAARRGGBB; they are stored as the bytes red, green, blue, alpha.
struct VectorFillStyle {
    int32_t kind = 1;  // 1 solid, 2 gradient, 3 bitmap
    uint32_t colour = 0xFFFFFFFF;
    int32_t gradientKind = 0;                          // 0 linear, 1 radial
    std::array<float, 6> matrix = {1, 0, 0, 0, 1, 0};  // a, c, tx, b, d, ty
    std::vector<std::pair<int32_t, uint32_t>> stops;   // ratio 0..255, colour
    int32_t bitmapMode = 0, bitmapId = 0;
};

// Positions in data units (twentieths of a pixel); indices are 16-bit.
struct VectorPart {
    int32_t fillStyle = -1, lineStyle = -1;
    std::vector<float> fillVertices;     // x, y
    std::vector<int16_t> fillTriangles;  // three each
    std::vector<float> lineVertices;
    std::vector<int16_t> lineTriangles;
    std::vector<int16_t> fillEdges;  // two each
    std::vector<float> fillNormals;  // x, y per fill vertex
    std::vector<int16_t> lineEdges;
    std::vector<float> lineNormals;
};

struct VectorSubShape {
    std::vector<VectorFillStyle> fills;
    std::vector<uint32_t> lineColours;
    std::vector<VectorPart> parts;
};

struct VectorShape {
    int32_t kind = 1, id = 0;  // 1 shape, 2 bitmap
    std::vector<VectorSubShape> subShapes;
    // Bitmaps: format 0..9, size and the three byte blocks.
    int32_t format = 6, width = 0, height = 0;
    std::vector<uint8_t> data, alpha, palette;
};

struct VectorItem {
    int32_t kind = 1, shape = 0, depth = 1, clipDepth = 0;
    std::array<int32_t, 4> multiply = {256, 256, 256, 256};  // red, green, blue, alpha (8.8)
    std::array<int32_t, 4> add = {0, 0, 0, 0};               // red, green, blue, alpha
    std::array<float, 4> bounds = {0, 0, 0, 0};              // min x, max x, min y, max y
    std::array<float, 6> matrix = {1, 0, 0, 0, 1, 0};        // a, c, tx, b, d, ty
};

struct VectorFrame {
    std::array<float, 4> bounds = {0, 0, 0, 0};
    std::vector<VectorItem> items;
};

struct VectorData {
    int32_t version = 6;  // 4 writes no version word
    std::vector<uint8_t> jpegTables;
    std::vector<VectorShape> shapes;
    std::vector<VectorFrame> frames;
    std::array<float, 4> bounds = {0, 0, 0, 0};  // min x, max x, min y, max y (data units)
    int32_t maskWidth = 0, maskHeight = 0;
    std::vector<std::vector<uint8_t>> masks;  // run-length codes
};

std::vector<uint8_t> BuildVectorData(const VectorData& data);

// The seeds of the running keys the runner unscrambles the skeleton texts with.
constexpr uint8_t kSkeletonJsonSeed = 0x6B;
constexpr uint8_t kSkeletonAtlasSeed = 0x2F;

// The skeleton block after its unread first word: the three sizes, the texture size, the
// scrambled JSON and atlas texts and the atlas page as a PNG file.
std::vector<uint8_t> BuildSkeletonBlock(const std::string& json, const std::string& atlas,
                                        const std::vector<uint8_t>& png, uint32_t width, uint32_t height);

}  // namespace formpack
