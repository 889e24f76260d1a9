// Device-independent bitmaps: the abstract picture, its DIB-block implementation with "BM"
// reading, and the single-picture loader through which decoded images reach sprites and backgrounds.
#pragma once

#include <cstdint>

// Pixel format codes, derived from a DIB bit count.
enum TBitmapFormat : int32_t {
    kBitmapFormat1 = 1,   // 1 bit per pixel
    kBitmapFormat4 = 2,   // 4 bits
    kBitmapFormat8 = 3,   // 8 bits
    kBitmapFormat15 = 4,  // 15 bits
    kBitmapFormat16 = 5,  // 16 bits
    kBitmapFormat24 = 6,  // 24 bits: bytes blue, green, red
    kBitmapFormat32 = 7,  // 32 bits (and any other bit count): bytes blue, green, red, alpha
};

// Layout of a bitmap block: the DIB file header less its first two bytes, then the info header.
constexpr int32_t kBitmapBlockFileSize = 0;
constexpr int32_t kBitmapBlockPixelOffset = 8;  // offset of the first row from the block start
constexpr int32_t kBitmapBlockInfoHeader = 12;
constexpr int32_t kBitmapBlockHeaderSize = 52;  // blocks made in memory keep their pixels here

// Largest side of any picture the runner decodes or builds; it keeps width x height x 4 within
// one memory-manager block.
constexpr int32_t kImageMaxSide = 16384;

// What "BM" reading needs of a memory stream. The file layer's growable stream offers the same
// four calls; CMemoryReadStream serves callers that hold the bytes themselves.
class IReadStream {
public:
    virtual ~IReadStream() = default;
    virtual int64_t GetSize() = 0;
    virtual int64_t GetPosition() = 0;
    // origin: 0 from the start, 1 from the position, 2 from the end; answers the new position.
    virtual int64_t Seek(int64_t offset, int origin) = 0;
    // Copies up to count bytes from the position (fewer at the end), advances, answers the count.
    virtual int64_t ReadBuffer(void* destination, int64_t count) = 0;
};

// A read-only stream over bytes it does not own.
class CMemoryReadStream final : public IReadStream {
public:
    CMemoryReadStream(const void* data, int64_t size);
    int64_t GetSize() override { return m_size; }
    int64_t GetPosition() override { return m_position; }
    int64_t Seek(int64_t offset, int origin) override;
    int64_t ReadBuffer(void* destination, int64_t count) override;

private:
    const uint8_t* m_data;
    int64_t m_size;
    int64_t m_position = 0;
};

class IBitmap {
public:
    virtual ~IBitmap() = default;
    virtual void LoadFromStream(IReadStream* stream) = 0;
    virtual void SetWidth(int32_t width) = 0;
    virtual int32_t GetWidth() const = 0;
    virtual void SetHeight(int32_t height) = 0;
    virtual int32_t GetHeight() const = 0;
    virtual void SetFormat(int32_t format) = 0;
    virtual int32_t GetFormat() const = 0;
    // Answers the pixel address and writes the address of the row and the stride to the out
    // parameters that are given; a bitmap without pixels gets a cleared block first.
    virtual uint8_t* GetScanline(int32_t row, uint8_t** rowAddress, int32_t* stride) = 0;
    virtual void ReleaseScanline(uint8_t* address) = 0;
    virtual void Assign(const IBitmap* other) = 0;
    virtual void Free() = 0;
    virtual int32_t GetReserved() const = 0;
    // Takes ownership of a memory-manager block laid out as above with 32-bit pixels.
    virtual void AttachDIB(uint8_t* block, int32_t size) = 0;
};

class TBitmap final : public IBitmap {
public:
    TBitmap() = default;
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    // Reads a "BM" picture from the stream's position; anything unreadable leaves it empty.
    void LoadFromStream(IReadStream* stream) override;
    void SetWidth(int32_t width) override;
    int32_t GetWidth() const override { return m_width; }
    void SetHeight(int32_t height) override;
    int32_t GetHeight() const override { return m_height; }
    void SetFormat(int32_t format) override;
    int32_t GetFormat() const override { return m_format; }
    uint8_t* GetScanline(int32_t row, uint8_t** rowAddress, int32_t* stride) override;
    void ReleaseScanline(uint8_t*) override {}
    void Assign(const IBitmap* other) override;
    void Free() override;
    int32_t GetReserved() const override { return 0; }
    void AttachDIB(uint8_t* block, int32_t size) override;

    bool HasPixels() const { return m_block != nullptr; }
    int32_t GetStride() const { return m_stride; }
    int32_t GetBlockSize() const { return m_blockSize; }
    const uint8_t* GetBlock() const { return m_block; }

private:
    void SetLayout(int32_t width, int32_t height, int32_t format);
    bool TakeBlock(uint8_t* block, int32_t size);

    uint8_t* m_block = nullptr;
    uint8_t* m_pixels = nullptr;
    int32_t m_blockSize = 0;
    int32_t m_format = kBitmapFormat32;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_stride = 0;
};

// Bytes per row of a format code at a width.
int32_t TBitmap_Stride(int32_t format, int32_t width);
// A new empty 32-bit bitmap; callers set its size, fill it through GetScanline and delete it.
TBitmap* TBitmap_Create();

class IBitmapLoader {
public:
    virtual ~IBitmapLoader() = default;
    virtual bool HasFrames() const = 0;
    virtual int32_t GetFrameCount() const = 0;
    virtual TBitmap* GetFrame(int32_t index) const = 0;
};

class BitmapLoader final : public IBitmapLoader {
public:
    BitmapLoader(uint8_t* block, int32_t blockSize) : m_block(block), m_blockSize(blockSize) {}
    ~BitmapLoader() override;
    BitmapLoader(const BitmapLoader&) = delete;
    BitmapLoader& operator=(const BitmapLoader&) = delete;

    bool HasFrames() const override { return false; }
    int32_t GetFrameCount() const override { return 1; }
    // A new bitmap owning a copy of the picture; null past the last frame.
    TBitmap* GetFrame(int32_t index) const override;

private:
    uint8_t* m_block;
    int32_t m_blockSize;
};

// Copies width x height 32-bit pixels (top row first, byte order as given) into a loader; null
// when the size is not one of a picture.
BitmapLoader* BitmapLoader_Create(const void* pixels, int32_t width, int32_t height);
