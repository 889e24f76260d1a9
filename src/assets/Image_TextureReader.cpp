#include <climits>
#include <cstring>

#include "assets/Graphics_Bitmap32.h"
#include "assets/ImageDecode.h"
#include "graphics/TBitmap.h"
#include "core/MemoryManager.h"
#include "graphics/TexturesM.h"

namespace {

int32_t Size32(uint32_t size) {
    return size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
}

bool StartsWith(const uint8_t* data, uint32_t size, const char* magic, uint32_t length) {
    return size >= length && std::memcmp(data, magic, length) == 0;
}

uint32_t* DecodePng(const uint8_t* data, uint32_t size, int32_t* width, int32_t* height) {
    uint8_t* held = PNG_Decode(data, Size32(size), width, height);
    uint32_t* pixels = nullptr;
    if (held && *width > 0 && *height > 0) {
        const uint64_t bytes = uint64_t(*width) * uint64_t(*height) * 4;
        pixels = static_cast<uint32_t*>(MEM_ALLOC_RAW(bytes));
        std::memcpy(pixels, held, bytes);
    }
    PNG_Release();
    return pixels;
}

uint32_t* DecodeBmp(const uint8_t* data, uint32_t size, int32_t* width, int32_t* height) {
    CMemoryReadStream stream(data, size);
    TBitmap bitmap;
    bitmap.LoadFromStream(&stream);
    if (!bitmap.HasPixels()) return nullptr;
    CBitmap32 picture(&bitmap);
    if (!picture.IsValid() || picture.GetWidth() < 1 || picture.GetHeight() < 1) return nullptr;
    *width = picture.GetWidth();
    *height = picture.GetHeight();
    const uint64_t bytes = uint64_t(*width) * uint64_t(*height) * 4;
    auto* pixels = static_cast<uint32_t*>(MEM_ALLOC_RAW(bytes));
    std::memcpy(pixels, picture.GetPixels(), bytes);
    return pixels;
}

uint32_t* Decode(const uint8_t* data, uint32_t size, int32_t* width, int32_t* height) {
    if (!data) return nullptr;
    if (StartsWith(data, size, "\x89PNG", 4)) return DecodePng(data, size, width, height);
    if (StartsWith(data, size, "\xFF\xD8\xFF", 3))
        return reinterpret_cast<uint32_t*>(JPEG_Decode(data, Size32(size), width, height));
    if (StartsWith(data, size, "GIF8", 4))
        return reinterpret_cast<uint32_t*>(GIF_Decode(data, Size32(size), width, height));
    if (StartsWith(data, size, "BM", 2)) return DecodeBmp(data, size, width, height);
    return nullptr;
}

// PNG headers give the size alone; the other formats are decoded to learn it.
bool ReadSize(const uint8_t* data, uint32_t size, int32_t* width, int32_t* height) {
    if (data && StartsWith(data, size, "\x89PNG", 4))
        return PNG_GetSize(data, Size32(size), width, height, false);
    uint32_t* pixels = Decode(data, size, width, height);
    MEM_FREE(pixels);
    return pixels != nullptr;
}

int32_t GlobalScale() {
    return g_TextureGlobalScale;
}

}  // namespace

void Image_InstallTextureReader() {
    static const GR_ImageReader reader = {Decode, ReadSize, GlobalScale};
    GR_Texture_Set_Image_Reader(&reader);
}
