// Vector sprites: reading the vector data format into shapes, bitmaps and frames, baking
// gradients into textures and unpacking the run-length collision masks. Every count of the data
// is checked against the bytes that remain, so a short or damaged file fails to load instead of
// being read past its end.
#include "assets/Sprite_Vector.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <zlib.h>

#include "assets/ImageDecode.h"
#include "assets/Sprite_Main.h"
#include "graphics/TBitmap.h"
#include "core/MemoryManager.h"
#include "graphics/Graphics_Texture.h"
#include "io/LoadSave.h"

namespace {

template <typename T>
T* NewArray(int64_t count) {
    return count > 0 ? static_cast<T*>(MEM_ALLOC(size_t(count) * sizeof(T))) : nullptr;
}

// Little-endian words from a bounded block; any read past the end marks the reader failed and
// answers 0 from then on.
class WordReader {
public:
    WordReader(const uint8_t* data, int64_t size) : m_data(data), m_size(size) {}
    bool Ok() const { return m_ok; }
    int32_t Int() {
        if (!Need(4)) return 0;
        int32_t v;
        std::memcpy(&v, m_data + m_at, 4);
        m_at += 4;
        return v;
    }
    float Float() {
        const int32_t bits = Int();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    void Skip(int64_t words) {
        if (words > 0 && Need(words * 4)) m_at += words * 4;
    }
    // A count of items of `words` words each that the remaining bytes can hold.
    int32_t Count(int64_t words) {
        const int32_t n = Int();
        if (n < 0 || (words > 0 && int64_t(n) * words * 4 > m_size - m_at)) return Fail(), 0;
        return n;
    }
    // `bytes` bytes padded to a multiple of 4; null when they are not there.
    const uint8_t* Bytes(int64_t bytes) {
        if (bytes < 0 || !Need((bytes + 3) & ~int64_t(3))) return nullptr;
        const uint8_t* at = m_data + m_at;
        m_at += (bytes + 3) & ~int64_t(3);
        return at;
    }
    void Fail() { m_ok = false; }

private:
    bool Need(int64_t bytes) {
        if (m_ok && bytes <= m_size - m_at) return true;
        m_ok = false;
        return false;
    }
    const uint8_t* m_data;
    int64_t m_size;
    int64_t m_at = 0;
    bool m_ok = true;
};

// Stored bytes red, green, blue, alpha as 0xAARRGGBB.
uint32_t StoredColour(int32_t word) {
    const auto w = uint32_t(word);
    return (w & 0xFF000000u) | (w & 0xFFu) << 16 | (w & 0xFF00u) | (w >> 16 & 0xFFu);
}

// (a, c, tx, b, d, ty) as a row-vector 4 x 4 matrix.
void ReadMatrix(WordReader& in, float* m) {
    const float a = in.Float(), c = in.Float(), tx = in.Float(), b = in.Float(), d = in.Float(),
                ty = in.Float();
    std::memset(m, 0, 16 * sizeof(float));
    m[0] = a, m[1] = b, m[4] = c, m[5] = d, m[10] = 1, m[12] = tx, m[13] = ty, m[15] = 1;
}

VectorFillStyle* ReadFillStyle(WordReader& in) {
    const int32_t kind = in.Int();
    if (kind < VECTOR_FILL_SOLID || kind > VECTOR_FILL_BITMAP) return nullptr;
    auto* style = NewArray<VectorFillStyle>(1);
    style->kind = kind;
    style->textureId = -1;
    style->bitmapShape = -1;
    if (kind == VECTOR_FILL_SOLID) {
        style->colour = StoredColour(in.Int());
    } else if (kind == VECTOR_FILL_GRADIENT) {
        style->gradientKind = in.Int();
        ReadMatrix(in, style->matrix);
        in.Skip(3);
        style->stopCount = in.Count(2);
        style->stops = NewArray<VectorGradientStop>(style->stopCount);
        for (int32_t i = 0; i < style->stopCount; ++i) {
            style->stops[i].ratio = in.Int();
            style->stops[i].colour = StoredColour(in.Int());
        }
    } else {
        style->bitmapMode = in.Int();
        style->bitmapId = in.Int();
        ReadMatrix(in, style->matrix);
        in.Skip(3);
    }
    return style;
}

template <typename T>
T* ReadArray(WordReader& in, int32_t count, int32_t perItem) {
    T* out = NewArray<T>(int64_t(count) * perItem);
    for (int64_t i = 0; i < int64_t(count) * perItem; ++i) {
        if constexpr (sizeof(T) == 2)
            out[i] = static_cast<T>(in.Int() & 0xFFFF);
        else
            out[i] = in.Float();
    }
    return out;
}

void ReadPart(WordReader& in, int32_t version, VectorPart& p) {
    p.styleIndex = in.Int();
    p.fillStyle = in.Int();
    p.lineStyle = in.Int();
    int32_t* counts[] = {&p.fillVertexCount, &p.pairCount,         &p.fillTriangleCount,
                         &p.lineVertexCount, &p.lineTriangleCount, &p.fillEdgeCount,
                         &p.fillNormalCount, &p.lineEdgeCount,     &p.lineNormalCount};
    const int32_t present = version >= 6 ? 9 : version >= 5 ? 7 : 5;
    for (int32_t i = 0; i < present; ++i) *counts[i] = in.Count(1);
    p.fillVertices = ReadArray<float>(in, p.fillVertexCount, 2);
    p.pairs = ReadArray<int16_t>(in, p.pairCount, 2);
    p.fillTriangles = ReadArray<int16_t>(in, p.fillTriangleCount, 3);
    p.lineVertices = ReadArray<float>(in, p.lineVertexCount, 2);
    p.lineTriangles = ReadArray<int16_t>(in, p.lineTriangleCount, 3);
    p.fillEdges = ReadArray<int16_t>(in, p.fillEdgeCount, 2);
    p.fillNormals = ReadArray<float>(in, p.fillNormalCount, 2);
    p.lineEdges = ReadArray<int16_t>(in, p.lineEdgeCount, 2);
    p.lineNormals = ReadArray<float>(in, p.lineNormalCount, 2);
}

// Every index of the list lies below the limit.
bool IndicesBelow(const int16_t* indices, int64_t count, int32_t limit) {
    for (int64_t i = 0; i < count; ++i)
        if (indices[i] < 0 || indices[i] >= limit) return false;
    return true;
}

// The triangles and fringe edges of a part name vertices (and normals) that exist.
bool PartIndicesValid(const VectorPart& p) {
    const int32_t fillEdgeLimit =
        p.fillNormalCount > 0 ? std::min(p.fillVertexCount, p.fillNormalCount) : p.fillVertexCount;
    const int32_t lineEdgeLimit =
        p.lineNormalCount > 0 ? std::min(p.lineVertexCount, p.lineNormalCount) : p.lineVertexCount;
    return IndicesBelow(p.fillTriangles, int64_t(p.fillTriangleCount) * 3, p.fillVertexCount) &&
           IndicesBelow(p.lineTriangles, int64_t(p.lineTriangleCount) * 3, p.lineVertexCount) &&
           IndicesBelow(p.fillEdges, int64_t(p.fillEdgeCount) * 2, fillEdgeLimit) &&
           IndicesBelow(p.lineEdges, int64_t(p.lineEdgeCount) * 2, lineEdgeLimit);
}

bool ShapeIndicesValid(const VectorShape* shape) {
    for (int32_t i = 0; shape && i < shape->subShapeCount; ++i)
        for (int32_t p = 0; p < shape->subShapes[i].partCount; ++p)
            if (!PartIndicesValid(shape->subShapes[i].parts[p])) return false;
    return true;
}

void ReadSubShape(WordReader& in, int32_t version, VectorSubShape& s) {
    s.fillStyleCount = in.Count(1);
    s.lineStyleCount = in.Count(1);
    s.partCount = in.Count(1);
    s.fillStyles = NewArray<VectorFillStyle*>(s.fillStyleCount);
    for (int32_t i = 0; i < s.fillStyleCount && in.Ok(); ++i) s.fillStyles[i] = ReadFillStyle(in);
    s.lineColours = NewArray<uint32_t>(s.lineStyleCount);
    for (int32_t i = 0; i < s.lineStyleCount; ++i) s.lineColours[i] = StoredColour(in.Int());
    s.parts = NewArray<VectorPart>(s.partCount);
    for (int32_t i = 0; i < s.partCount && in.Ok(); ++i) ReadPart(in, version, s.parts[i]);
}

void FreeShape(VectorShape* shape) {
    if (!shape) return;
    for (int32_t i = 0; i < shape->subShapeCount; ++i) {
        VectorSubShape& s = shape->subShapes[i];
        for (int32_t f = 0; f < s.fillStyleCount; ++f) {
            if (VectorFillStyle* style = s.fillStyles[f]) {
                if (style->textureId >= 0) GR_Texture_Free(style->textureId);
                MEM_FREE(style->stops);
                MEM_FREE(style);
            }
        }
        for (int32_t p = 0; p < s.partCount; ++p) {
            VectorPart& part = s.parts[p];
            for (void* array : {(void*)part.fillVertices, (void*)part.pairs, (void*)part.fillTriangles,
                                (void*)part.lineVertices, (void*)part.lineTriangles, (void*)part.fillEdges,
                                (void*)part.fillNormals, (void*)part.lineEdges, (void*)part.lineNormals})
                MEM_FREE(array);
        }
        MEM_FREE(s.fillStyles);
        MEM_FREE(s.lineColours);
        MEM_FREE(s.parts);
    }
    MEM_FREE(shape->subShapes);
    if (shape->textureId >= 0) GR_Texture_Free(shape->textureId);
    MEM_FREE(shape);
}

void FreeFrames(VectorFrameList* list) {
    if (!list) return;
    for (int32_t i = 0; i < list->frameCount; ++i) MEM_FREE(list->frames[i].items);
    MEM_FREE(list->frames);
    MEM_FREE(list);
}

// ---- bitmaps -------------------------------------------------------------------------------

struct BitmapBlock {
    int32_t format, width, height;
    const uint8_t *data, *alpha, *palette;
    int32_t dataSize, alphaSize, paletteSize;
};

// Stored bytes red, green, blue, alpha per pixel as 0xAARRGGBB words.
uint32_t* RawPixels(const uint8_t* bytes, int64_t count) {
    uint32_t* pixels = NewArray<uint32_t>(count);
    for (int64_t i = 0; i < count; ++i) {
        int32_t word;
        std::memcpy(&word, bytes + i * 4, 4);
        pixels[i] = StoredColour(word);
    }
    return pixels;
}

uint32_t* PalettePixels(const BitmapBlock& b) {
    const int64_t stride = (int64_t(b.width) + 3) & ~int64_t(3);
    if (stride * b.height > b.dataSize) return nullptr;
    uint32_t* pixels = NewArray<uint32_t>(int64_t(b.width) * b.height);
    const int32_t entries = b.paletteSize / 4;
    for (int32_t y = 0; y < b.height; ++y)
        for (int32_t x = 0; x < b.width; ++x) {
            const uint8_t index = b.data[y * stride + x];
            int32_t word = 0;
            if (index < entries) std::memcpy(&word, b.palette + index * 4, 4);
            pixels[int64_t(y) * b.width + x] = StoredColour(word);
        }
    return pixels;
}

// JPEG with the shared tables in front; with an alpha block (format 2) its inflated bytes
// become each pixel's alpha in order.
uint8_t* JpegPixels(const BitmapBlock& b, const uint8_t* tables, int32_t tableSize, int32_t* w, int32_t* h) {
    uint8_t* joined = NewArray<uint8_t>(int64_t(tableSize) + b.dataSize);
    if (tableSize > 0) std::memcpy(joined, tables, size_t(tableSize));
    if (b.dataSize > 0) std::memcpy(joined + tableSize, b.data, size_t(b.dataSize));
    uint8_t* pixels = JPEG_Decode(joined, tableSize + b.dataSize, w, h);
    MEM_FREE(joined);
    if (!pixels || b.format != 2 || b.alphaSize <= 0) return pixels;
    const uLongf want = uLongf(*w) * uLongf(*h);
    uint8_t* alpha = NewArray<uint8_t>(int64_t(want));
    uLongf got = want;
    if (alpha && uncompress(alpha, &got, b.alpha, uLong(b.alphaSize)) != Z_DATA_ERROR)
        for (uLongf i = 0; i < got; ++i) pixels[i * 4 + 3] = alpha[i];
    MEM_FREE(alpha);
    return pixels;
}

void LoadBitmap(VectorShape* shape, const BitmapBlock& b, const uint8_t* tables, int32_t tableSize) {
    int32_t w = b.width, h = b.height;
    uint8_t* decoded = nullptr;
    uint32_t* made = nullptr;
    bool pngHeld = false;
    switch (b.format) {
        case 0:
            decoded = JpegPixels(b, tables, tableSize, &w, &h);
            break;
        case 1:
        case 2:
            decoded = JpegPixels(b, nullptr, 0, &w, &h);
            break;
        case 3:
            decoded = PNG_Decode(b.data, b.dataSize, &w, &h), pngHeld = decoded != nullptr;
            break;
        case 4:
            decoded = GIF_Decode(b.data, b.dataSize, &w, &h);
            break;
        case 5:
        case 8:
            made = PalettePixels(b);
            break;
        case 6:
        case 7:
        case 9:
            if (int64_t(b.width) * b.height <= b.dataSize / 4) made = RawPixels(b.data, b.dataSize / 4);
            break;
        default:
            break;
    }
    const void* pixels = decoded ? static_cast<const void*>(decoded) : made;
    if (pixels && w > 0 && h > 0) {
        const int32_t id = GR_Texture_Create_From_Pixels(w, h, pixels, uint32_t(w) * uint32_t(h) * 4);
        shape->textureId = GR_Texture_Exists(id) ? id : -1;
        shape->width = w;
        shape->height = h;
    }
    if (pngHeld)
        PNG_Release();
    else
        MEM_FREE(decoded);
    MEM_FREE(made);
}

VectorShape* ReadShape(WordReader& in, int32_t version, const uint8_t* tables, int32_t tableSize) {
    auto* shape = NewArray<VectorShape>(1);
    shape->kind = in.Int();
    shape->id = in.Int();
    shape->textureId = -1;
    if (shape->kind == VECTOR_SHAPE) {
        for (int32_t& k : shape->kept) k = in.Int();
        shape->subShapeCount = in.Count(3);
        shape->subShapes = NewArray<VectorSubShape>(shape->subShapeCount);
        for (int32_t i = 0; i < shape->subShapeCount && in.Ok(); ++i)
            ReadSubShape(in, version, shape->subShapes[i]);
    } else if (shape->kind == VECTOR_BITMAP) {
        BitmapBlock b{};
        b.format = in.Int();
        b.width = in.Int();
        b.height = in.Int();
        b.dataSize = in.Count(0);
        b.alphaSize = in.Count(0);
        b.paletteSize = in.Count(0);
        const int64_t total = int64_t(b.dataSize) + b.alphaSize + b.paletteSize;
        const uint8_t* bytes = in.Bytes(total);
        if (bytes && b.width >= 0 && b.height >= 0 && b.width <= kImageMaxSide && b.height <= kImageMaxSide) {
            b.data = bytes;
            b.alpha = bytes + b.dataSize;
            b.palette = b.alpha + b.alphaSize;
            LoadBitmap(shape, b, tables, tableSize);
        }
    }
    return shape;
}

// Unpacked masks take a byte per pixel each; a file cannot ask for more than this in all.
constexpr int64_t kMaskBytesLimit = int64_t(256) << 20;

bool MasksFit(int32_t count, int32_t width, int32_t height) {
    if (width < 1 || height < 1 || width > kImageMaxSide || height > kImageMaxSide) return false;
    return int64_t(count) * width * height <= kMaskBytesLimit;
}

void ReadItem(WordReader& in, VectorItem& item) {
    item.kind = in.Int();
    item.shape = in.Int();
    item.depth = in.Int();
    item.clipDepth = in.Int();
    const int32_t mr = in.Int(), mg = in.Int(), mb = in.Int(), ma = in.Int();
    const int32_t ar = in.Int(), ag = in.Int(), ab = in.Int(), aa = in.Int();
    item.multiply[0] = mb, item.multiply[1] = mg, item.multiply[2] = mr, item.multiply[3] = ma;
    item.add[0] = ab, item.add[1] = ag, item.add[2] = ar, item.add[3] = aa;
    item.fringeAdd[0] = 0, item.fringeAdd[1] = ag, item.fringeAdd[2] = ar, item.fringeAdd[3] = aa;
    item.minX = in.Float() * kVectorScale;
    item.maxX = in.Float() * kVectorScale;
    item.minY = in.Float() * kVectorScale;
    item.maxY = in.Float() * kVectorScale;
    ReadMatrix(in, item.matrix);
    in.Skip(3);
}

}  // namespace

// ---- gradients -----------------------------------------------------------------------------

uint32_t VectorGradient_Lookup(const VectorFillStyle* style, int32_t ratio) {
    if (!style || style->stopCount <= 0) return 0;
    ratio = ratio < 0 ? 0 : ratio > 255 ? 255 : ratio;
    const VectorGradientStop* s = style->stops;
    if (ratio < s[0].ratio) return s[0].colour;
    int32_t i = 1;
    while (i < style->stopCount && s[i].ratio < ratio) ++i;
    if (i >= style->stopCount) return s[style->stopCount - 1].colour;
    const int32_t span = s[i].ratio - s[i - 1].ratio;
    const uint32_t d = span == 0 ? 0 : uint32_t(((ratio - s[i - 1].ratio) * 256) / span);
    uint32_t out = 0;
    for (int32_t shift = 0; shift < 32; shift += 8) {
        const uint32_t a = s[i - 1].colour >> shift & 0xFF, b = s[i].colour >> shift & 0xFF;
        out |= (((a * (256 - d)) >> 8) + ((b * d) >> 8)) << shift;
    }
    return out;
}

void VectorGradient_CreateTexture(VectorFillStyle* style) {
    if (!style || (style->gradientKind != 0 && style->gradientKind != 1)) return;
    const bool radial = style->gradientKind == 1;
    const int32_t w = radial ? 64 : 256, h = radial ? 64 : 1;
    uint32_t* pixels = NewArray<uint32_t>(int64_t(w) * h);
    for (int32_t r = 0; r < h; ++r)
        for (int32_t c = 0; c < w; ++c) {
            const int32_t ratio =
                radial ? int32_t(std::sqrt(double((c - 31) * (c - 31) + (r - 31) * (r - 31))) / 31 * 255) : c;
            pixels[r * w + c] = VectorGradient_Lookup(style, ratio);
        }
    const int32_t id = GR_Texture_Create_From_Pixels(w, h, pixels, uint32_t(w * h * 4));
    style->textureId = GR_Texture_Exists(id) ? id : -1;
    MEM_FREE(pixels);
}

// ---- the sprite's vector data --------------------------------------------------------------

void CSprite::FreeVectorData() {
    for (int32_t i = 0; i < m_vectorShapeCount; ++i) FreeShape(m_vectorShapes[i]);
    MEM_FREE(m_vectorShapes);
    m_vectorShapes = nullptr;
    m_vectorShapeCount = 0;
    FreeFrames(m_vectorFrames);
    m_vectorFrames = nullptr;
}

bool CSprite::LoadVectorShapes(const uint8_t* data, int64_t size, int32_t originX, int32_t originY) {
    if (!data) return false;
    FreeVectorData();
    WordReader in(data, size);
    int32_t tableWord = in.Int(), version = 4;
    if (tableWord < 0) {
        version = in.Int();
        tableWord &= 0x7FFFFFFF;
    }
    const uint8_t* tables = tableWord ? in.Bytes(tableWord) : nullptr;

    m_vectorShapeCount = in.Count(2);
    m_vectorShapes = NewArray<VectorShape*>(m_vectorShapeCount);
    for (int32_t i = 0; i < m_vectorShapeCount && in.Ok(); ++i) {
        m_vectorShapes[i] = ReadShape(in, version, tables, tables ? tableWord : 0);
        if (in.Ok() && !ShapeIndicesValid(m_vectorShapes[i])) in.Fail();
    }

    auto* list = NewArray<VectorFrameList>(1);
    m_vectorFrames = list;
    list->kept = in.Int();
    list->frameCount = in.Count(5);
    list->minX = in.Float(), list->maxX = in.Float(), list->minY = in.Float(), list->maxY = in.Float();
    const int32_t maskCount = in.Count(1), maskWidth = in.Int(), maskHeight = in.Int();
    list->frames = NewArray<VectorFrame>(list->frameCount);
    for (int32_t f = 0; f < list->frameCount && in.Ok(); ++f) {
        VectorFrame& frame = list->frames[f];
        frame.itemCount = in.Count(25);
        frame.minX = in.Float() * kVectorScale, frame.maxX = in.Float() * kVectorScale;
        frame.minY = in.Float() * kVectorScale, frame.maxY = in.Float() * kVectorScale;
        if (!in.Ok()) frame.itemCount = 0;  // the items are not there
        frame.items = NewArray<VectorItem>(frame.itemCount);
        for (int32_t i = 0; i < frame.itemCount; ++i) ReadItem(in, frame.items[i]);
    }
    const uint8_t** masks = NewArray<const uint8_t*>(maskCount);
    int32_t* maskSizes = NewArray<int32_t>(maskCount);
    for (int32_t m = 0; m < maskCount && in.Ok(); ++m) {
        maskSizes[m] = in.Count(0);
        masks[m] = in.Bytes(maskSizes[m]);
    }
    if (!in.Ok() || (maskCount > 0 && !MasksFit(maskCount, maskWidth, maskHeight))) {
        MEM_FREE(masks);
        MEM_FREE(maskSizes);
        FreeVectorData();
        return false;
    }
    list->minX *= kVectorScale, list->maxX *= kVectorScale, list->minY *= kVectorScale,
        list->maxY *= kVectorScale;

    // Gradients are baked, and bitmap fills find the bitmap shape read before them.
    for (int32_t i = 0; i < m_vectorShapeCount; ++i) {
        const VectorShape* shape = m_vectorShapes[i];
        for (int32_t s = 0; s < shape->subShapeCount; ++s)
            for (int32_t f = 0; f < shape->subShapes[s].fillStyleCount; ++f) {
                VectorFillStyle* style = shape->subShapes[s].fillStyles[f];
                if (style && style->kind == VECTOR_FILL_GRADIENT) VectorGradient_CreateTexture(style);
                if (style && style->kind == VECTOR_FILL_BITMAP)
                    for (int32_t j = 0; j < i && style->bitmapShape < 0; ++j)
                        if (m_vectorShapes[j]->id == style->bitmapId) style->bitmapShape = j;
            }
    }

    if (maskCount == 0) {
        m_width = int32_t(list->maxX);
        m_height = int32_t(list->maxY);
        if (!m_vectorFromDataFile) m_precise = false;
    } else {
        m_width = maskWidth;
        m_height = maskHeight;
        if (!m_vectorFromDataFile) m_precise = true;
        LoadVectorMasks(masks, maskSizes, maskCount);
    }
    MEM_FREE(masks);
    MEM_FREE(maskSizes);
    if (!m_vectorFromDataFile || m_precise) {
        m_box = {int32_t(list->minX), int32_t(list->minY), int32_t(list->maxX), int32_t(list->maxY)};
        m_originX = originX;
        m_originY = originY;
    }
    if (!m_vectorFromDataFile) {
        m_boxMode = SPRITE_BOX_AUTOMATIC;
        m_preload = true;
    }
    m_frameCount = list->frameCount;
    m_transparent = true;
    float radius = 0;
    for (const int32_t cx : {m_box.left, m_box.right})
        for (const int32_t cy : {m_box.top, m_box.bottom}) {
            const float dx = float(cx - m_originX), dy = float(cy - m_originY);
            radius = std::fmax(radius, std::sqrt(dx * dx + dy * dy));
        }
    m_boundingRadius = int32_t(radius);
    return true;
}

void CSprite::LoadVectorMasks(const uint8_t* const* masks, const int32_t* sizes, int32_t count) {
    FreeMasks();
    if (!m_precise || count <= 0) return;
    const int64_t bytes = int64_t(m_width) * m_height;
    m_masks = NewArray<SpriteMask>(count);
    m_maskCount = count;
    for (int32_t m = 0; m < count; ++m) {
        m_masks[m].size = int32_t(bytes);
        m_masks[m].data = NewArray<uint8_t>(bytes);
        int64_t at = 0;
        for (int32_t i = 0; i < sizes[m] && at < bytes; ++i) {
            const uint8_t code = masks[m][i];
            const int64_t run = std::min<int64_t>((code & 0x7F) + 1, bytes - at);
            std::memset(m_masks[m].data + at, code >> 7, size_t(run));
            at += run;
        }
    }
    m_masksUnpacked = true;
}

bool CSprite::LoadVectorFile(const char* name, int32_t originX, int32_t originY) {
    if (!name) return false;
    int64_t size = 0;
    void* bytes = LoadSave_SaveFileExists(name) ? LoadSave_ReadSaveFile(name, &size)
                                                : LoadSave_ReadBundleFile(name, &size);
    if (!bytes) return false;
    Free();
    m_vectorFromDataFile = false;
    const bool ok = LoadVectorShapes(static_cast<const uint8_t*>(bytes), size, originX, originY);
    MEM_FREE(bytes);
    if (ok) m_kind = SPRITE_VECTOR;
    return ok;
}
