#include "graphics/TBitmap.h"

#include <cstring>

#include "core/MemoryManager.h"

namespace {

uint32_t ReadU32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24;
}
uint16_t ReadU16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}
int32_t ReadI32(const uint8_t* p) {
    return (int32_t)ReadU32(p);
}

void WriteU32(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}
void WriteU16(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

// Offsets inside the info header.
constexpr int kInfoSize = 0, kInfoWidth = 4, kInfoHeight = 8, kInfoPlanes = 12, kInfoBitCount = 14,
              kInfoCompression = 16, kInfoImageSize = 20, kInfoColoursUsed = 32;
constexpr int kInfoHeaderBytes = 40;

int32_t FormatFromBitCount(int32_t bits) {
    switch (bits) {
        case 1:
            return kBitmapFormat1;
        case 4:
            return kBitmapFormat4;
        case 8:
            return kBitmapFormat8;
        case 15:
            return kBitmapFormat15;
        case 16:
            return kBitmapFormat16;
        case 24:
            return kBitmapFormat24;
        default:
            return kBitmapFormat32;
    }
}

int32_t BitCountFromFormat(int32_t format) {
    static const int32_t kBits[] = {32, 1, 4, 8, 15, 16, 24, 32};
    return format >= 1 && format <= 7 ? kBits[format] : 32;
}

// Fills the 52-byte header of a block made here: pixels right after it.
void WriteBlockHeader(uint8_t* block, int32_t width, int32_t height, int32_t bitCount, uint32_t imageBytes) {
    WriteU32(block + kBitmapBlockFileSize, kBitmapBlockHeaderSize + 2 + imageBytes);
    WriteU32(block + kBitmapBlockPixelOffset, kBitmapBlockHeaderSize);
    uint8_t* info = block + kBitmapBlockInfoHeader;
    WriteU32(info + kInfoSize, kInfoHeaderBytes);
    WriteU32(info + kInfoWidth, (uint32_t)width);
    WriteU32(info + kInfoHeight, (uint32_t)height);
    WriteU16(info + kInfoPlanes, 1);
    WriteU16(info + kInfoBitCount, (uint16_t)bitCount);
    WriteU32(info + kInfoCompression, 0);
    WriteU32(info + kInfoImageSize, imageBytes);
}

bool SizeIsPicture(int64_t width, int64_t height) {
    return width >= 0 && height >= 0 && width <= kImageMaxSide && height <= kImageMaxSide;
}

// ---- "BM" files ----------------------------------------------------------------------------

constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitFields = 3;

struct BmpHeader {
    uint32_t pixelOffset;
    uint32_t infoSize;
    int32_t width;
    int32_t height;  // always positive here; topDown tells the row order
    bool topDown;
    int32_t bitCount;
    uint32_t fileStride;
};

// Checks every field a reader relies on; false for anything it cannot read safely.
bool ParseBmpHeader(const uint8_t* file, int64_t size, BmpHeader* h) {
    if (size < 14 + kInfoHeaderBytes) return false;
    h->pixelOffset = ReadU32(file + 10);
    h->infoSize = ReadU32(file + 14);
    const uint8_t* info = file + 14;
    if (h->infoSize < kInfoHeaderBytes || 14 + (int64_t)h->infoSize > size) return false;
    int32_t width = ReadI32(info + kInfoWidth);
    int32_t height = ReadI32(info + kInfoHeight);
    h->bitCount = ReadU16(info + kInfoBitCount);
    uint32_t compression = ReadU32(info + kInfoCompression);
    if (width < 1 || height == 0 || height == INT32_MIN) return false;
    h->topDown = height < 0;
    h->height = height < 0 ? -height : height;
    h->width = width;
    if (!SizeIsPicture(h->width, h->height)) return false;

    switch (h->bitCount) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            break;
        default:
            return false;
    }
    if (compression == kCompressionBitFields) {
        // Only the plain blue-green-red layout of 32-bit pictures is read; masks follow the
        // 40-byte part of the info header whatever its version.
        if (h->bitCount != 32 || 14 + kInfoHeaderBytes + 12 > size) return false;
        const uint8_t* masks = info + kInfoHeaderBytes;
        if (ReadU32(masks) != 0xFF0000 || ReadU32(masks + 4) != 0xFF00 || ReadU32(masks + 8) != 0xFF)
            return false;
    } else if (compression != kCompressionNone) {
        return false;  // run-length and embedded JPEG/PNG pictures are not read
    }
    h->fileStride = (uint32_t)((((int64_t)h->width * h->bitCount + 31) / 32) * 4);
    return (int64_t)h->pixelOffset + (int64_t)h->fileStride * h->height <= size;
}

// Palette pictures become 32-bit: each index picks blue, green, red from the colour table.
void ExpandPaletteRow(const uint8_t* src, int32_t width, int32_t bits, const uint8_t* palette,
                      uint32_t colours, uint8_t* dst) {
    const int32_t perByte = 8 / bits;
    const uint32_t mask = (1u << bits) - 1;
    for (int32_t x = 0; x < width; ++x) {
        int32_t shift = 8 - bits * (x % perByte + 1);
        uint32_t index = ((uint32_t)src[x / perByte] >> shift) & mask;
        uint8_t* out = dst + x * 4;
        if (index < colours) {
            std::memcpy(out, palette + index * 4, 3);
        } else {
            out[0] = out[1] = out[2] = 0;
        }
        out[3] = 255;
    }
}

// Builds a block of our own layout (top-down rows at the table's stride) from a checked file.
uint8_t* DecodeBmp(const uint8_t* file, int64_t size, const BmpHeader& h, int32_t* outFormat,
                   int32_t* outSize) {
    const bool palette = h.bitCount <= 8;
    const int32_t format = palette ? kBitmapFormat32 : FormatFromBitCount(h.bitCount);
    const int32_t stride = TBitmap_Stride(format, h.width);
    const uint32_t imageBytes = (uint32_t)stride * (uint32_t)h.height;
    const int32_t blockSize = kBitmapBlockHeaderSize + (int32_t)imageBytes;
    uint8_t* block = (uint8_t*)MEM_ALLOC(blockSize);

    std::memcpy(block + kBitmapBlockInfoHeader, file + 14, kInfoHeaderBytes);
    WriteBlockHeader(block, h.width, h.height, BitCountFromFormat(format), imageBytes);
    std::memcpy(block + kBitmapBlockFileSize, file + 2, 8);  // the file's size and reserved words
    WriteU32(block + kBitmapBlockInfoHeader + kInfoColoursUsed, 0);

    const int64_t paletteStart = 14 + (int64_t)h.infoSize;
    uint32_t colours = 0;
    if (palette && paletteStart < size) {
        uint32_t used = ReadU32(file + 14 + kInfoColoursUsed);
        uint32_t maxColours = 1u << h.bitCount;
        colours = used == 0 || used > maxColours ? maxColours : used;
        if ((int64_t)colours * 4 > size - paletteStart) colours = (uint32_t)((size - paletteStart) / 4);
    }
    uint8_t* pixels = block + kBitmapBlockHeaderSize;
    for (int32_t r = 0; r < h.height; ++r) {
        const uint8_t* src = file + h.pixelOffset + (int64_t)r * h.fileStride;
        int32_t y = h.topDown ? r : h.height - 1 - r;
        uint8_t* dst = pixels + (int64_t)y * stride;
        if (palette) {
            ExpandPaletteRow(src, h.width, h.bitCount, file + paletteStart, colours, dst);
        } else {
            std::memcpy(dst, src, stride);
        }
    }
    *outFormat = format;
    *outSize = blockSize;
    return block;
}

}  // namespace

// ---- streams ---------------------------------------------------------------------------------

CMemoryReadStream::CMemoryReadStream(const void* data, int64_t size)
    : m_data((const uint8_t*)data), m_size(data && size > 0 ? size : 0) {}

int64_t CMemoryReadStream::Seek(int64_t offset, int origin) {
    int64_t base = origin == 1 ? m_position : origin == 2 ? m_size : 0;
    int64_t target = base + offset;
    m_position = target < 0 ? 0 : target > m_size ? m_size : target;
    return m_position;
}

int64_t CMemoryReadStream::ReadBuffer(void* destination, int64_t count) {
    int64_t n = count < 0 ? 0 : count > m_size - m_position ? m_size - m_position : count;
    if (n > 0) std::memcpy(destination, m_data + m_position, (size_t)n);
    m_position += n;
    return n;
}

// ---- TBitmap ---------------------------------------------------------------------------------

int32_t TBitmap_Stride(int32_t format, int32_t width) {
    switch (format) {
        case kBitmapFormat1:
            return width / 8;
        case kBitmapFormat4:
            return width / 2;
        case kBitmapFormat8:
            return width;
        case kBitmapFormat15:
        case kBitmapFormat16:
            return width * 2;
        case kBitmapFormat24:
            return width * 3;
        default:
            return width * 4;
    }
}

TBitmap* TBitmap_Create() {
    return new TBitmap();
}

TBitmap::~TBitmap() {
    Free();
}

void TBitmap::Free() {
    MEM_FREE(m_block);
    m_block = nullptr;
    m_pixels = nullptr;
    m_blockSize = 0;
}

void TBitmap::SetLayout(int32_t width, int32_t height, int32_t format) {
    width = width < 0 ? 0 : width;
    height = height < 0 ? 0 : height;
    // Pixels laid out for another size would be read past their end: a new layout starts empty.
    if (m_block && (width != m_width || height != m_height || format != m_format)) Free();
    m_width = width;
    m_height = height;
    m_format = format;
    m_stride = TBitmap_Stride(format, width);
}

void TBitmap::SetWidth(int32_t width) {
    SetLayout(width, m_height, m_format);
}
void TBitmap::SetHeight(int32_t height) {
    SetLayout(m_width, height, m_format);
}
void TBitmap::SetFormat(int32_t format) {
    SetLayout(m_width, m_height, format);
}

uint8_t* TBitmap::GetScanline(int32_t row, uint8_t** rowAddress, int32_t* stride) {
    if (!m_block && SizeIsPicture(m_width, m_height)) {
        uint32_t imageBytes = (uint32_t)m_stride * (uint32_t)m_height;
        m_blockSize = kBitmapBlockHeaderSize + (int32_t)imageBytes;
        m_block = (uint8_t*)MEM_ALLOC(m_blockSize);
        WriteBlockHeader(m_block, m_width, m_height, BitCountFromFormat(m_format), imageBytes);
        m_pixels = m_block + kBitmapBlockHeaderSize;
    }
    if (stride) *stride = m_stride;
    if (rowAddress) {
        bool inside = m_pixels && row >= 0 && row < m_height;
        *rowAddress = inside ? m_pixels + (int64_t)row * m_stride : nullptr;
    }
    return m_pixels;
}

// Every block, read or made, keeps its pixel offset from the block start in the pixel offset
// word, so copies and attached blocks read back the same way.
bool TBitmap::TakeBlock(uint8_t* block, int32_t size) {
    if (!block || size < kBitmapBlockHeaderSize) return false;
    const uint8_t* info = block + kBitmapBlockInfoHeader;
    uint32_t offset = ReadU32(block + kBitmapBlockPixelOffset);
    int32_t width = ReadI32(info + kInfoWidth);
    int32_t height = ReadI32(info + kInfoHeight);
    int32_t format = FormatFromBitCount(ReadU16(info + kInfoBitCount));
    if (!SizeIsPicture(width, height) || offset < kBitmapBlockHeaderSize) return false;
    int32_t stride = TBitmap_Stride(format, width);
    if ((int64_t)offset + (int64_t)stride * height > size) return false;
    m_block = block;
    m_blockSize = size;
    m_pixels = block + offset;
    m_width = width;
    m_height = height;
    m_format = format;
    m_stride = stride;
    return true;
}

void TBitmap::Assign(const IBitmap* other) {
    Free();
    if (!other || other == this) return;
    m_width = other->GetWidth();
    m_height = other->GetHeight();
    m_stride = TBitmap_Stride(m_format, m_width);
    const TBitmap* source = dynamic_cast<const TBitmap*>(other);
    if (!source || !source->m_block) return;
    uint8_t* copy = (uint8_t*)MEM_ALLOC_RAW(source->m_blockSize);
    std::memcpy(copy, source->m_block, source->m_blockSize);
    if (!TakeBlock(copy, source->m_blockSize)) MEM_FREE(copy);
}

void TBitmap::AttachDIB(uint8_t* block, int32_t size) {
    Free();
    if (!block) return;
    // Attached blocks always hold 32-bit pixels.
    if (size >= kBitmapBlockHeaderSize) WriteU16(block + kBitmapBlockInfoHeader + kInfoBitCount, 32);
    if (!TakeBlock(block, size)) MEM_FREE(block);
}

void TBitmap::LoadFromStream(IReadStream* stream) {
    Free();
    if (!stream) return;
    const int64_t start = stream->GetPosition();
    const int64_t size = stream->GetSize() - start;
    if (size <= 0) return;
    char magic[2] = {};
    if (stream->ReadBuffer(magic, 2) != 2 || magic[0] != 'B' || magic[1] != 'M') return;
    if (size > INT32_MAX) return;

    uint8_t* file = (uint8_t*)MEM_ALLOC_RAW(size);
    stream->Seek(start, 0);
    BmpHeader header;
    int32_t format = 0, blockSize = 0;
    uint8_t* block = nullptr;
    if (stream->ReadBuffer(file, size) == size && ParseBmpHeader(file, size, &header)) {
        block = DecodeBmp(file, size, header, &format, &blockSize);
    }
    MEM_FREE(file);
    if (block && !TakeBlock(block, blockSize)) MEM_FREE(block);
}

// ---- BitmapLoader ----------------------------------------------------------------------------

BitmapLoader* BitmapLoader_Create(const void* pixels, int32_t width, int32_t height) {
    if (!pixels || width < 1 || height < 1 || !SizeIsPicture(width, height)) return nullptr;
    uint32_t imageBytes = (uint32_t)width * (uint32_t)height * 4;
    int32_t blockSize = kBitmapBlockHeaderSize + (int32_t)imageBytes;
    uint8_t* block = (uint8_t*)MEM_ALLOC(blockSize);
    WriteBlockHeader(block, width, height, 32, imageBytes);
    std::memcpy(block + kBitmapBlockHeaderSize, pixels, imageBytes);
    return new BitmapLoader(block, blockSize);
}

BitmapLoader::~BitmapLoader() {
    MEM_FREE(m_block);
}

TBitmap* BitmapLoader::GetFrame(int32_t index) const {
    if (index < 0 || index >= GetFrameCount() || !m_block) return nullptr;
    uint8_t* copy = (uint8_t*)MEM_ALLOC_RAW(m_blockSize);
    std::memcpy(copy, m_block, m_blockSize);
    TBitmap* bitmap = TBitmap_Create();
    bitmap->AttachDIB(copy, m_blockSize);
    return bitmap;
}
