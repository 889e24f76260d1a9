// GIF decoding through giflib: the first image only, read record by record so that nothing
// after it is decoded and its size is checked before any raster is allocated.
#include <gif_lib.h>

#include <cstring>

#include "assets/ImageDecode.h"
#include "graphics/TBitmap.h"
#include "core/MemoryManager.h"

namespace {

constexpr int kGraphicsControlBytes = 4;

struct GifSource {
    const uint8_t* data;
    size_t size;
    size_t position;
};

int ReadFromData(GifFileType* gif, GifByteType* out, int count) {
    GifSource* source = (GifSource*)gif->UserData;
    size_t n = count < 0 ? 0 : (size_t)count;
    if (n > source->size - source->position) n = source->size - source->position;
    std::memcpy(out, source->data + source->position, n);
    source->position += n;
    return (int)n;
}

// Extension blocks before the first image: a graphics control block with its transparency flag
// names the transparent index. Answers false on a read error.
bool ReadExtension(GifFileType* gif, int* transparent) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= kGraphicsControlBytes) {
        *transparent = (block[1] & 1) ? block[4] : -1;
    }
    while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

// The raster of the current image, rows in display order (interlaced rows are put in place).
uint8_t* ReadRaster(GifFileType* gif) {
    const int w = gif->Image.Width, h = gif->Image.Height;
    uint8_t* raster = (uint8_t*)MEM_ALLOC_RAW((size_t)w * h);
    static const int kPassStart[] = {0, 4, 2, 1};
    static const int kPassStep[] = {8, 8, 4, 2};
    const int passes = gif->Image.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = gif->Image.Interlace ? kPassStart[pass] : 0;
        const int step = gif->Image.Interlace ? kPassStep[pass] : 1;
        for (int y = start; y < h; y += step) {
            if (DGifGetLine(gif, raster + (size_t)y * w, w) == GIF_ERROR) {
                MEM_FREE(raster);
                return nullptr;
            }
        }
    }
    return raster;
}

struct Canvas {
    int32_t width;
    int32_t height;
};

// The logical screen, or the image's extent when the file gives no screen size.
bool ChooseCanvas(const GifFileType* gif, Canvas* canvas) {
    const GifImageDesc& image = gif->Image;
    if (image.Left < 0 || image.Top < 0 || image.Width < 1 || image.Height < 1) return false;
    if (image.Width > kImageMaxSide || image.Height > kImageMaxSide) return false;
    if (gif->SWidth > 0 && gif->SHeight > 0) {
        canvas->width = gif->SWidth;
        canvas->height = gif->SHeight;
    } else {
        canvas->width = image.Left + image.Width;
        canvas->height = image.Top + image.Height;
    }
    return canvas->width <= kImageMaxSide && canvas->height <= kImageMaxSide;
}

// Places the image at its offsets; indices outside the colour map stay transparent black.
void Compose(const GifFileType* gif, const ColorMapObject* map, const uint8_t* raster, int transparent,
             const Canvas& canvas, uint32_t* pixels) {
    const GifImageDesc& image = gif->Image;
    for (int y = 0; y < image.Height && image.Top + y < canvas.height; ++y) {
        const uint8_t* in = raster + (size_t)y * image.Width;
        uint32_t* out = pixels + (size_t)(image.Top + y) * canvas.width + image.Left;
        for (int x = 0; x < image.Width && image.Left + x < canvas.width; ++x) {
            int index = in[x];
            if (index >= map->ColorCount) continue;
            const GifColorType& c = map->Colors[index];
            uint32_t alpha = index == transparent ? 0 : 0xFF000000u;
            out[x] = alpha | (uint32_t)c.Red << 16 | (uint32_t)c.Green << 8 | c.Blue;
        }
    }
}

uint8_t* DecodeFirstImage(GifFileType* gif, int32_t* width, int32_t* height) {
    int transparent = -1;
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) return nullptr;
        if (record == EXTENSION_RECORD_TYPE) {
            if (!ReadExtension(gif, &transparent)) return nullptr;
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            break;
        } else {
            return nullptr;  // the file ends before any image
        }
    }
    Canvas canvas;
    if (DGifGetImageDesc(gif) == GIF_ERROR || !ChooseCanvas(gif, &canvas)) return nullptr;
    const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
    if (!map || !map->Colors) return nullptr;
    uint8_t* raster = ReadRaster(gif);
    if (!raster) return nullptr;
    uint32_t* pixels = (uint32_t*)MEM_ALLOC((size_t)canvas.width * canvas.height * 4);
    Compose(gif, map, raster, transparent, canvas, pixels);
    MEM_FREE(raster);
    *width = canvas.width;
    *height = canvas.height;
    return (uint8_t*)pixels;
}

}  // namespace

uint8_t* GIF_Decode(const void* data, int32_t size, int32_t* width, int32_t* height) {
    int32_t w = -1, h = -1;
    uint8_t* pixels = nullptr;
    if (data && size > 0) {
        GifSource source = {(const uint8_t*)data, (size_t)size, 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&source, ReadFromData, &error);
        if (gif) {
            pixels = DecodeFirstImage(gif, &w, &h);
            DGifCloseFile(gif, &error);
        }
    }
    if (!pixels) w = h = -1;
    if (width) *width = w;
    if (height) *height = h;
    return pixels;
}
