// 32-bit pictures in memory: the frames of run-time sprites and backgrounds, with the picture
// operations the sprite and background built-ins need.
#pragma once

#include <cstdint>

class IBitmap;
class TBitmap;

// Gradient kinds of the gradient constructor; any other kind gives opaque black.
enum Bitmap32Gradient : int32_t {
    kGradientHorizontal = 0,
    kGradientVertical = 1,
    kGradientRectangle = 2,
    kGradientEllipse = 3,
    kGradientDoubleHorizontal = 4,  // from both left and right edges towards the middle
    kGradientDoubleVertical = 5,
};

struct Bitmap32Data {
    int32_t size;  // bytes
    uint32_t* pixels;
};

// Pixels are words 0xAARRGGBB, rows top-down without gaps. A pixel with alpha 0 is transparent,
// any other is visible. A constructor whose condition fails leaves an invalid, empty picture.
class CBitmap32 {
public:
    CBitmap32(const CBitmap32& other);
    // The w x h rectangle at (x, y) of the source; invalid unless it lies inside the source.
    CBitmap32(const CBitmap32& source, int32_t x, int32_t y, int32_t w, int32_t h);
    // Every pixel the 0xBBGGRR colour, opaque; sides below 1 become 1.
    CBitmap32(int32_t w, int32_t h, uint32_t colour);
    // 24- and 32-bit bitmaps only, read opaque; the background of the bottom-left pixel's colour
    // is removed when asked, and its edges then smoothed when asked too.
    explicit CBitmap32(IBitmap* bitmap, bool removeBackground = false, bool smooth = false);
    // keepAlpha: a 32-bit bitmap is taken with its alpha; otherwise as the constructor above.
    CBitmap32(TBitmap* bitmap, bool removeBackground, bool smooth, bool keepAlpha);
    // Colours 0xBBGGRR; kind is a Bitmap32Gradient.
    CBitmap32(int32_t w, int32_t h, uint32_t colour1, uint32_t colour2, int32_t kind);
    virtual ~CBitmap32();
    CBitmap32& operator=(const CBitmap32& other);

    void Assign(const CBitmap32& other);
    bool IsValid() const { return m_valid; }
    int32_t GetWidth() const { return m_width; }
    int32_t GetHeight() const { return m_height; }
    Bitmap32Data GetData() const { return {m_size, m_pixels}; }
    uint32_t* GetPixels() const { return m_pixels; }

    // Pixels of the bottom-left pixel's colour become transparent, then take visible neighbours' colours.
    void RemoveBackground();
    void BleedTransparentColours();
    void SmoothEdges();
    // Limits each pixel's alpha by the brightness of the other picture's pixel at the same place.
    void AlphaFromIntensity(const CBitmap32* other);
    // Nearest-neighbour scaling.
    void Resize(int32_t newWidth, int32_t newHeight);
    // A new memory-manager block {left, top, right, bottom} that the caller frees.
    int32_t* GetOpaqueBounds() const;
    // A new 32-bit bitmap of the bytes red, green, blue, alpha (the PNG writer's order); null when invalid.
    TBitmap* ToTBitmap() const;

private:
    void Reset();
    bool Allocate(int32_t w, int32_t h, bool clear);
    void ReadBitmap(IBitmap* bitmap, bool keepAlpha);
    void ApplyOptions(bool removeBackground, bool smooth);
    void FillGradient(uint32_t colour1, uint32_t colour2, int32_t kind);
    void FillEllipseGradient(uint32_t colour1, uint32_t colour2);

    bool m_valid = false;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_size = 0;
    uint32_t* m_pixels = nullptr;
};

// The 24-bit blend of two 0xBBGGRR colours, t the weight of the second, each byte rounded to nearest.
uint32_t Bitmap32_LerpColour(uint32_t colour1, uint32_t colour2, double t);

// A texture id for the picture's pixels (-1 for a null picture).
int32_t GR_Texture_Create_From_Bitmap(const CBitmap32* bitmap);
