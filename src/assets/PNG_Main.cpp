// PNG reading and writing through libpng.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "assets/ImageDecode.h"
#include "graphics/TBitmap.h"
#include "core/Console.h"
#include "core/MemoryManager.h"

int32_t g_TextureGlobalScale = 1;

namespace {

constexpr int kSignatureBytes = 8;

// One PNG read: the bytes, the libpng state and, once read, the pixels.
struct PngContext {
    bool error;
    const uint8_t* data;
    size_t size;
    size_t position;
    int32_t width;
    int32_t height;
    png_structp png;
    png_infop info;
    png_infop endInfo;
    uint8_t* pixels;
    png_bytep* rows;
};

PngContext* s_held = nullptr;

PngContext* Context_Create(const void* data, int32_t size) {
    PngContext* context = (PngContext*)MEM_ALLOC(sizeof(PngContext));
    context->data = (const uint8_t*)data;
    context->size = data && size > 0 ? (size_t)size : 0;
    context->position = kSignatureBytes;
    return context;
}

void Context_Destroy(PngContext* context) {
    if (!context) return;
    if (context->png) png_destroy_read_struct(&context->png, &context->info, &context->endInfo);
    MEM_FREE(context->rows);
    MEM_FREE(context->pixels);
    MEM_FREE(context);
}

void ReadFromData(png_structp png, png_bytep out, size_t count) {
    PngContext* context = (PngContext*)png_get_io_ptr(png);
    if (count > context->size - context->position) png_error(png, "read past the end of the data");
    std::memcpy(out, context->data + context->position, count);
    context->position += count;
}

// Every PNG becomes 8-bit blue, green, red, alpha: palettes and grey below 8 bits are expanded,
// transparency chunks become alpha, 16-bit samples are scaled to 8 bits, grey becomes RGB and
// images without alpha get an opaque one.
void SetTransforms(png_structp png, png_infop info) {
    const int colourType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    const bool transparencyChunk = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (transparencyChunk) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_scale_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    if (!(colourType & PNG_COLOR_MASK_ALPHA) && !transparencyChunk)
        png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_set_interlace_handling(png);
}

// Reads the header, and the pixels too unless headerOnly. Nothing in here may need a destructor:
// libpng errors come back through longjmp.
bool ReadPNG(PngContext* context, bool headerOnly) {
    context->error = true;
    if (context->size < kSignatureBytes || png_sig_cmp(context->data, 0, kSignatureBytes) != 0) {
        DebugConsole.Output("Not a PNG\n");
        DebugConsole.Output("ReadPNG :: a PNG error occured\n");
        return false;
    }
    context->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (context->png) context->info = png_create_info_struct(context->png);
    if (context->info) context->endInfo = png_create_info_struct(context->png);
    if (!context->endInfo) {
        DebugConsole.Output("ReadPNG :: a PNG error occured\n");
        return false;
    }
    if (setjmp(png_jmpbuf(context->png))) {
        DebugConsole.Output("ReadPNG :: a PNG error occured\n");
        return false;
    }
    png_set_read_fn(context->png, context, ReadFromData);
    png_set_sig_bytes(context->png, kSignatureBytes);
    png_set_user_limits(context->png, kImageMaxSide, kImageMaxSide);
    png_read_info(context->png, context->info);
    SetTransforms(context->png, context->info);
    png_read_update_info(context->png, context->info);
    context->width = (int32_t)png_get_image_width(context->png, context->info);
    context->height = (int32_t)png_get_image_height(context->png, context->info);
    if (png_get_rowbytes(context->png, context->info) != (size_t)context->width * 4) {
        png_error(context->png, "unexpected row layout");
    }
    if (!headerOnly) {
        const size_t stride = (size_t)context->width * 4;
        context->pixels = (uint8_t*)MEM_ALLOC_RAW(stride * context->height);
        context->rows = (png_bytep*)MEM_ALLOC_RAW(sizeof(png_bytep) * context->height);
        for (int32_t y = 0; y < context->height; ++y) context->rows[y] = context->pixels + stride * y;
        png_read_image(context->png, context->rows);
    }
    context->error = false;
    return true;
}

bool PNG_ReadHeader(PngContext* context) {
    return ReadPNG(context, true);
}

void SetSize(int32_t* width, int32_t* height, int32_t w, int32_t h) {
    if (width) *width = w;
    if (height) *height = h;
}

// ---- writing ---------------------------------------------------------------------------------

ImageSavePathResolver s_savePathResolver = nullptr;

// The encoded file grows here and is written in one go, so a failed encode leaves no file.
struct PngOutput {
    uint8_t* data;
    uint32_t size;
    uint32_t capacity;
};

void WriteToOutput(png_structp png, png_bytep bytes, size_t count) {
    PngOutput* out = (PngOutput*)png_get_io_ptr(png);
    if (count > UINT32_MAX - out->size) png_error(png, "PNG too large");
    if (out->size + count > out->capacity) {
        uint64_t capacity = out->capacity ? out->capacity : 65536;
        while (capacity < out->size + count) capacity *= 2;
        if (capacity > UINT32_MAX) capacity = UINT32_MAX;
        out->data = (uint8_t*)MEM_REALLOC(out->data, capacity);
        out->capacity = (uint32_t)capacity;
    }
    std::memcpy(out->data + out->size, bytes, count);
    out->size += (uint32_t)count;
}

void FlushOutput(png_structp) {}

// Runs one phase of the encode; a libpng error in it logs the phase's message.
template <typename Phase>
bool RunPhase(png_structp png, const char* failure, Phase phase) {
    if (setjmp(png_jmpbuf(png))) {
        DebugConsole.Output("%s", failure);
        return false;
    }
    phase();
    return true;
}

bool EncodePng(PngOutput* out, const uint8_t* pixels, int32_t width, int32_t height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        DebugConsole.Output("[write_png_file] png_create_write_struct failed\n");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        DebugConsole.Output("[write_png_file] png_create_info_struct failed\n");
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    png_bytep* rows = (png_bytep*)MEM_ALLOC_RAW(sizeof(png_bytep) * (height > 0 ? height : 1));
    for (int32_t y = 0; y < height; ++y) rows[y] = (png_bytep)pixels + (size_t)y * width * 4;
    bool ok =
        RunPhase(png, "[write_png_file] Error during init_io\n",
                 [&] { png_set_write_fn(png, out, WriteToOutput, FlushOutput); }) &&
        RunPhase(png, "[write_png_file] Error during writing header\n",
                 [&] {
                     png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8,
                                  PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                                  PNG_FILTER_TYPE_DEFAULT);
                     png_write_info(png, info);
                 }) &&
        RunPhase(png, "[write_png_file] Error during writing bytes", [&] { png_write_image(png, rows); }) &&
        RunPhase(png, "[write_png_file] Error during end of write", [&] { png_write_end(png, nullptr); });
    MEM_FREE(rows);
    png_destroy_write_struct(&png, &info);
    return ok;
}

bool ResolveSavePath(char* path, int32_t capacity, const char* name) {
    if (s_savePathResolver) return s_savePathResolver(path, capacity, name);
    if (std::strlen(name) >= (size_t)capacity) return false;
    std::strcpy(path, name);
    return true;
}

bool WriteWholeFile(const char* path, const uint8_t* data, uint32_t size) {
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    bool ok = std::fwrite(data, 1, size, file) == size;
    ok = std::fclose(file) == 0 && ok;
    if (!ok) std::remove(path);
    return ok;
}

}  // namespace

// ---- decoding --------------------------------------------------------------------------------

uint8_t* PNG_Decode(const void* data, int32_t size, int32_t* width, int32_t* height) {
    PNG_Release();
    PngContext* context = Context_Create(data, size);
    if (!ReadPNG(context, false)) {
        Context_Destroy(context);
        SetSize(width, height, -1, -1);
        return nullptr;
    }
    s_held = context;
    SetSize(width, height, context->width, context->height);
    return context->pixels;
}

void PNG_Release() {
    Context_Destroy(s_held);
    s_held = nullptr;
}

// Reads through a context of its own, so a decode still held by a caller stays intact.
bool PNG_GetSize(const void* data, int32_t size, int32_t* width, int32_t* height, bool scaled) {
    PngContext* context = Context_Create(data, size);
    bool ok = PNG_ReadHeader(context);
    int32_t scale = scaled && g_TextureGlobalScale > 1 ? g_TextureGlobalScale : 1;
    if (ok) {
        SetSize(width, height, context->width / scale, context->height / scale);
    } else {
        SetSize(width, height, -1, -1);
    }
    Context_Destroy(context);
    return ok;
}

// ---- writing ---------------------------------------------------------------------------------

void Image_SetSavePathResolver(ImageSavePathResolver resolver) {
    s_savePathResolver = resolver;
}

bool write_png_file(const char* name, const uint8_t* pixels, int32_t width, int32_t height) {
    if (!name || !pixels) return false;
    char path[2048];
    if (!ResolveSavePath(path, sizeof(path), name)) return false;
    std::error_code ignored;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);

    PngOutput out = {};
    bool ok = EncodePng(&out, pixels, width, height) && WriteWholeFile(path, out.data, out.size);
    MEM_FREE(out.data);
    return ok;
}

bool write_png_file_argb(const char* name, const uint32_t* pixels, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return false;
    const size_t count = size_t(width) * size_t(height);
    std::vector<uint8_t> rgba(count * 4);
    for (size_t i = 0; i < count; ++i) {
        rgba[i * 4 + 0] = uint8_t(pixels[i] >> 16);
        rgba[i * 4 + 1] = uint8_t(pixels[i] >> 8);
        rgba[i * 4 + 2] = uint8_t(pixels[i]);
        rgba[i * 4 + 3] = uint8_t(pixels[i] >> 24);
    }
    return write_png_file(name, rgba.data(), width, height);
}
