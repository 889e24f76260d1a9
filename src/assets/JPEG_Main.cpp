// JPEG decoding through libjpeg. Library errors come back here through longjmp, so a bad or
// truncated file gives no image instead of ending the process.
// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <cstring>

#include "assets/ImageDecode.h"
#include "graphics/TBitmap.h"
#include "core/MemoryManager.h"

namespace {

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

struct JpegErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
};

struct JpegSource {
    jpeg_source_mgr base;
    const JOCTET* data;
    size_t size;
    // Once every row is out, a missing end marker is supplied rather than failing the image.
    bool allRowsRead;
};

// Everything a decode holds lives in one block, so a longjmp out of libjpeg finds it all.
struct JpegDecode {
    jpeg_decompress_struct info;
    JpegErrorManager error;
    JpegSource source;
    uint8_t* row;
    uint8_t* pixels;
};

[[noreturn]] void OnError(j_common_ptr info) {
    (*info->err->output_message)(info);
    longjmp(((JpegErrorManager*)info->err)->jump, 1);
}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// The whole file is in the buffer from the start: asking for more means the data ran out.
boolean FillInput(j_decompress_ptr info) {
    JpegSource* source = (JpegSource*)info->src;
    if (!source->allRowsRead) {
        info->err->msg_code = JERR_INPUT_EOF;
        (*info->err->error_exit)((j_common_ptr)info);
    }
    source->base.next_input_byte = kEndOfImage;
    source->base.bytes_in_buffer = sizeof(kEndOfImage);
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* source = info->src;
    size_t skip = (size_t)count < source->bytes_in_buffer ? (size_t)count : source->bytes_in_buffer;
    source->next_input_byte += skip;
    source->bytes_in_buffer -= skip;
}

uint8_t Multiply255(uint32_t a, uint32_t b) {
    return (uint8_t)((a * b + 127) / 255);
}

// Four-component files are CMYK (YCCK arrives converted); Adobe's files store the inks inverted.
uint32_t CmykToPixel(const uint8_t* p, bool inverted) {
    uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
    if (!inverted) {
        c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    }
    return 0xFF000000u | (uint32_t)Multiply255(c, k) << 16 | (uint32_t)Multiply255(m, k) << 8 |
           Multiply255(y, k);
}

void ConvertRow(const jpeg_decompress_struct& info, const uint8_t* in, uint32_t* out) {
    const uint32_t width = info.output_width;
    switch (info.output_components) {
        case 1:
            for (uint32_t x = 0; x < width; ++x) out[x] = 0xFF000000u | in[x] * 0x010101u;
            break;
        case 3:
            for (uint32_t x = 0; x < width; ++x, in += 3) {
                out[x] = 0xFF000000u | (uint32_t)in[0] << 16 | (uint32_t)in[1] << 8 | in[2];
            }
            break;
        case 4:
            for (uint32_t x = 0; x < width; ++x, in += 4) out[x] = CmykToPixel(in, info.saw_Adobe_marker);
            break;
        default:
            break;  // no other layout is turned into colours
    }
}

void Decode_Free(JpegDecode* decode) {
    jpeg_destroy_decompress(&decode->info);
    MEM_FREE(decode->row);
    MEM_FREE(decode->pixels);
    MEM_FREE(decode);
}

}  // namespace

uint8_t* JPEG_Decode(const void* data, int32_t size, int32_t* width, int32_t* height) {
    if (width) *width = -1;
    if (height) *height = -1;
    if (!data || size <= 0) return nullptr;

    JpegDecode* decode = (JpegDecode*)MEM_ALLOC(sizeof(JpegDecode));
    decode->info.err = jpeg_std_error(&decode->error.base);
    decode->error.base.error_exit = OnError;
    if (setjmp(decode->error.jump)) {
        Decode_Free(decode);
        return nullptr;
    }
    jpeg_create_decompress(&decode->info);
    JpegSource& source = decode->source;
    source.base.init_source = InitSource;
    source.base.fill_input_buffer = FillInput;
    source.base.skip_input_data = SkipInput;
    source.base.resync_to_restart = jpeg_resync_to_restart;
    source.base.term_source = TermSource;
    source.base.next_input_byte = (const JOCTET*)data;
    source.base.bytes_in_buffer = (size_t)size;
    decode->info.src = &source.base;

    jpeg_decompress_struct& info = decode->info;
    int header;
    while ((header = jpeg_read_header(&info, FALSE)) == JPEG_HEADER_TABLES_ONLY) {
    }
    if (header != JPEG_HEADER_OK || info.image_width > (JDIMENSION)kImageMaxSide ||
        info.image_height > (JDIMENSION)kImageMaxSide) {
        Decode_Free(decode);
        return nullptr;
    }
    jpeg_start_decompress(&info);
    const uint32_t w = info.output_width, h = info.output_height;
    decode->row = (uint8_t*)MEM_ALLOC((size_t)w * info.output_components);
    decode->pixels = (uint8_t*)MEM_ALLOC((size_t)w * h * 4);
    while (info.output_scanline < h) {
        JSAMPROW row = decode->row;
        uint32_t y = info.output_scanline;
        if (jpeg_read_scanlines(&info, &row, 1) != 1) {
            Decode_Free(decode);
            return nullptr;
        }
        ConvertRow(info, decode->row, (uint32_t*)decode->pixels + (size_t)y * w);
    }
    source.allRowsRead = true;
    jpeg_finish_decompress(&info);

    uint8_t* pixels = decode->pixels;
    decode->pixels = nullptr;
    Decode_Free(decode);
    if (width) *width = (int32_t)w;
    if (height) *height = (int32_t)h;
    return pixels;
}
