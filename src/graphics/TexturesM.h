// Device textures. A TextureRecord wraps one device texture with what is needed to make it
// again: a pixel copy in system memory, the image blob it came from (kept only in on-demand
// mode), or nothing for a render target. This module creates records from sizes, pixels and
// image blobs ("RAW " blobs, PNG and the other image files), creates their device objects at
// once or at first use, uploads pixels, binds records to texture stages, keeps the
// render-target stack and serves the built-in image table.
#pragma once

#include "base/TextureChunks.h"
#include <cstdint>

class GpuTexture;
class GpuSurface;

// Format codes of records. Codes 1-5 are the block-compressed formats DXT1-DXT5.
enum TextureFormatCode : int32_t {
    TEXFMT_DEFAULT = 0,  // an image file's own format
    TEXFMT_A8R8G8B8 = 6,
    TEXFMT_D32 = 7,
    TEXFMT_D24S8 = 8,
    TEXFMT_R16F = 9,
    TEXFMT_R32F = 10,
    TEXFMT_A4R4G4B4 = 11,
};

// Record flags.
constexpr uint32_t TEXREC_TARGET_PENDING = 0x1;  // drawn into; the texture needs the surface copied
constexpr uint32_t TEXREC_POOL_DEFAULT = 0x10000;
constexpr uint32_t TEXREC_POOL_MANAGED = 0x20000;

// Creation flags of GR_Texture_Create.
constexpr uint32_t TEXCREATE_RENDER_TARGET = 2;
constexpr uint32_t TEXCREATE_DEPTH = 8;  // every render target gets a depth-stencil surface anyway

struct TextureRecord {
    int32_t format;       // a TextureFormatCode (or any other device format value)
    uint32_t packedSize;  // bits 0-12 width - 1, 13-25 height - 1, 26-31 levels - 1
    uint32_t flags;
    GpuTexture* texture;       // null until created
    GpuSurface* surface;       // render target: its own surface; otherwise level 0 of the texture
    GpuSurface* depthStencil;  // render targets only
    void* pixelBlock;          // memory-manager block behind `pixels`
    uint8_t* pixels;           // the pixel copy: rows of width x bytes per pixel, 16-byte aligned
    const uint8_t* blob;       // the image the record is made from (not owned; on-demand mode only)
    uint32_t blobLength;
    TextureRecord* next;  // every record, newest first
};

inline int32_t GR_Texture_Width(const TextureRecord* record) {
    return static_cast<int32_t>(record->packedSize & 0x1FFF) + 1;
}
inline int32_t GR_Texture_Height(const TextureRecord* record) {
    return static_cast<int32_t>((record->packedSize >> 13) & 0x1FFF) + 1;
}
inline int32_t GR_Texture_Levels(const TextureRecord* record) {
    return static_cast<int32_t>(record->packedSize >> 26) + 1;
}

// What an image blob turned out to be (sizes in pixels; depth in bits per pixel).
struct GR_ImageInfo {
    uint32_t Width, Height, Depth, MipLevels;
    int32_t Format;           // the format code asked for; 6 or 11 for "RAW " blobs
    int32_t ResourceType;     // 3 a texture; -1 for "RAW " blobs
    int32_t ImageFileFormat;  // GR_IMAGE_FILE_*; 6 or 11 for "RAW " blobs
};

enum GRImageFileFormat : int32_t {
    GR_IMAGE_FILE_BMP = 0,
    GR_IMAGE_FILE_JPG = 1,
    GR_IMAGE_FILE_PNG = 3,
    GR_IMAGE_FILE_DDS = 4,
    GR_IMAGE_FILE_GIF = 100,
};

// Image files other than "RAW " blobs and DDS are decoded by the image code of the asset layer,
// which installs its reader here at start-up. Until then such blobs make no texture.
struct GR_ImageReader {
    // The whole image as 0xAARRGGBB words, rows top first, in a new memory-manager block the
    // caller frees; null when the bytes are not an image it can read.
    uint32_t* (*decode)(const uint8_t* data, uint32_t size, int32_t* width, int32_t* height);
    // The image's own size, read from its header where the format allows; false when unreadable.
    bool (*readSize)(const uint8_t* data, uint32_t size, int32_t* width, int32_t* height);
    // The power of two by which images are scaled down when made on demand.
    int32_t (*globalScale)();
};
void GR_Texture_Set_Image_Reader(const GR_ImageReader* reader);

// Whole sides of any record: 1 to 8192 pixels.
constexpr int32_t GR_TEXTURE_SIDE_LIMIT = TXTR_PAGE_SIDE_LIMIT;

// Creation. Sides are rounded up to powers of two within the device limit, except in
// on-demand mode and for render targets, whose sides stay as requested (within 1 .. limit).
TextureRecord* GR_Texture_Create(int32_t width, int32_t height, uint32_t flags, int32_t format);
// `pixels`: width x height words 0xAARRGGBB. The info gets the texture's (rounded) size.
TextureRecord* GR_Texture_Create_From_RGBA(const void* pixels, int32_t width, int32_t height,
                                           GR_ImageInfo* info);
// `length` bounds every read of the blob. Null for a blob that makes no record.
// The sides an image blob (raw, DDS, or what the image reader knows) decodes to, from its
// header alone.
bool GR_Texture_Read_Blob_Size(const uint8_t* blob, uint32_t length, int32_t* width, int32_t* height);
TextureRecord* GR_Texture_Create_From_Blob(const uint8_t* blob, uint32_t length, GR_ImageInfo* info,
                                           int32_t format);
TextureRecord* TextureRecord_Init(int32_t width, int32_t height, int32_t levels);
TextureRecord* TextureRecord_Init_Wrap(GpuTexture* texture, int32_t width, int32_t height, int32_t levels,
                                       int32_t format);
void GR_Texture_Set_Pool_Flags(TextureRecord* record, uint32_t pool);

// Device objects.
bool SetupD3DTexture(TextureRecord* record);
void GR_Texture_Prepare(TextureRecord* record);   // creates them when missing, in any mode
void GR_Texture_Prefetch(TextureRecord* record);  // the same, in on-demand mode only
void GR_Texture_Release_Device(TextureRecord* record);
void GR_Texture_Flush_All();
void GR_Texture_Free_Record(TextureRecord* record);
int32_t GR_Texture_Max_Size();
// The device format of a format code, and the bytes one pixel takes in pixel copies.
uint32_t GR_Texture_D3D_Format(int32_t format);
int32_t GR_Texture_Bytes_Per_Pixel(int32_t format);
bool GR_Texture_On_Demand();
// Records alive now (every record is freed by GR_Texture_Free_Record).
int32_t GR_Texture_Record_Count();

// Uploads. `pixels`: sourceHeight rows of sourceWidth pixels.
bool GR_Texture_Upload(TextureRecord* record, int32_t level, int32_t sourceWidth, int32_t sourceHeight,
                       const void* pixels);
// Sends a rectangle of the record's own pixel copy, which the caller has written, to the device.
bool GR_Texture_Upload_Region(TextureRecord* record, int32_t x, int32_t y, int32_t width, int32_t height);

// Binding.
void GR_D3D_Set_Texture(int32_t stage, TextureRecord* record);
void GR_D3D_Set_Texture_Blending(bool textured);
void GR_Texture_Resolve_Target(TextureRecord* record);
extern uint32_t TextureSwitchCount;  // changes of the bound texture, for the overlay

// The render-target stack (8 frames).
constexpr int32_t GR_TARGET_STACK_DEPTH = 8;
constexpr int32_t GR_TARGET_SLOTS = 4;
bool GR_Target_Push();
bool GR_Target_Pop();
void GR_Target_Pop_All();
bool GR_Target_Set(int32_t slot, TextureRecord* record);
// End of scene: frames above the bottom one are dropped without restoring, then the bottom
// one (the device's own targets) is popped.
void GR_Target_Unwind_For_End_Scene();
int32_t GR_Target_Depth();
// The record drawn into through a slot; null for the back buffer.
TextureRecord* GR_Target_Current(int32_t slot);

// Where the built-in images come from: image `index` as a file in memory and its byte count
// (null past the last). GR_Builtin_Image_Texture makes a record from one (null when there is none).
using GR_BuiltinImageSource = const uint8_t* (*)(int32_t index, uint32_t* size);
void GR_Builtin_Images_Init(GR_BuiltinImageSource source);
TextureRecord* GR_Builtin_Image_Texture(int32_t index);
