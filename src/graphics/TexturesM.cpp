#include "graphics/TexturesM.h"

#include <algorithm>
#include <cstring>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "graphics/DDS_Main.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_DisplayM.h"
#include "platform/Device.h"

uint32_t TextureSwitchCount = 0;

namespace {

constexpr uint32_t kRawMagic = 0x20574152;  // "RAW "
constexpr uint32_t kRawHeaderBytes = 16;
constexpr uint32_t kFormatDefault = 0xFFFFFFFFu;

struct TargetStackFrame {
    GpuSurface* targets[GR_TARGET_SLOTS];
    GpuSurface* depthStencil;
    TextureRecord* records[GR_TARGET_SLOTS];
};

TextureRecord* g_records = nullptr;  // every record, newest first
TargetStackFrame g_targetStack[GR_TARGET_STACK_DEPTH];
int32_t g_targetDepth = 0;
TextureRecord* g_currentTargets[GR_TARGET_SLOTS] = {};
GpuTexture* g_lastBound = nullptr;
GR_ImageReader g_imageReader = {};
GR_BuiltinImageSource g_builtinImages = nullptr;

Device* TheDevice() {
    return g_D3D.device;
}

uint32_t ReadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

template <typename T>
void Release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

uint32_t PackSize(int32_t width, int32_t height, int32_t levels) {
    const uint32_t w = static_cast<uint32_t>(std::clamp(width, 1, GR_TEXTURE_SIDE_LIMIT));
    const uint32_t h = static_cast<uint32_t>(std::clamp(height, 1, GR_TEXTURE_SIDE_LIMIT));
    const uint32_t l = static_cast<uint32_t>(std::clamp(levels, 1, 64));
    return (w - 1) | (h - 1) << 13 | (l - 1) << 26;
}

// Doubling from 1 until the side is reached; a doubling past the limit gives the limit.
int32_t RoundSide(int32_t side, int32_t limit) {
    int32_t rounded = 1;
    while (rounded < side) {
        rounded *= 2;
        if (rounded > limit) return limit;
    }
    return rounded;
}

void AllocatePixelCopy(TextureRecord* record) {
    const uint64_t bytes = uint64_t(GR_Texture_Width(record)) * GR_Texture_Height(record) * 4 + 16;
    record->pixelBlock = MEM_ALLOC(bytes);
    const auto address = reinterpret_cast<uintptr_t>(record->pixelBlock);
    record->pixels = reinterpret_cast<uint8_t*>((address + 15) & ~uintptr_t{15});
}

// Copies `rows` rows of `rowBytes` bytes into level 0 of a texture.
bool WriteRows(GpuTexture* texture, const uint8_t* source, uint32_t sourcePitch, uint32_t rowBytes,
               uint32_t rows, int32_t level = 0) {
    GpuLockedRect locked{};
    if (FAILED(texture->LockRect(static_cast<uint32_t>(level), &locked, nullptr, 0))) return false;
    auto* destination = static_cast<uint8_t*>(locked.pBits);
    for (uint32_t row = 0; row < rows; ++row) {
        std::memcpy(destination + size_t(row) * locked.Pitch, source + size_t(row) * sourcePitch, rowBytes);
    }
    texture->UnlockRect(static_cast<uint32_t>(level));
    return true;
}

void FetchSurface(TextureRecord* record) {
    if (!record->surface && record->texture) record->texture->GetSurfaceLevel(0, &record->surface);
}

void ReleaseDeviceObjects(TextureRecord* record) {
    if (record->texture && record->texture == g_lastBound) g_lastBound = nullptr;
    Release(record->surface);
    Release(record->depthStencil);
    Release(record->texture);
}

// Forgets the record wherever the render-target bookkeeping holds it.
void ForgetTargets(TextureRecord* record) {
    for (int32_t frame = 0; frame < g_targetDepth; ++frame) {
        for (TextureRecord*& saved : g_targetStack[frame].records) {
            if (saved == record) saved = nullptr;
        }
    }
    for (TextureRecord*& current : g_currentTargets) {
        if (current == record) current = nullptr;
    }
}

// ---- "RAW " blobs --------------------------------------------------------------------------

struct RawHeader {
    uint32_t width, height, pixelFormat;
    uint32_t BytesPerPixel() const { return pixelFormat == 1 ? 2 : 4; }
    int32_t Code() const { return pixelFormat == 1 ? TEXFMT_A4R4G4B4 : TEXFMT_A8R8G8B8; }
};

bool IsRaw(const uint8_t* blob, uint32_t length) {
    return length >= 4 && ReadU32(blob) == kRawMagic;
}

// A header whose sides, pixel format and pixel bytes all fit the blob.
bool ReadRawHeader(const uint8_t* blob, uint32_t length, RawHeader* header) {
    if (length < kRawHeaderBytes || ReadU32(blob) != kRawMagic) return false;
    header->width = ReadU32(blob + 4);
    header->height = ReadU32(blob + 8);
    header->pixelFormat = ReadU32(blob + 12);
    if (header->width < 1 || header->height < 1 || header->width > GR_TEXTURE_SIDE_LIMIT ||
        header->height > GR_TEXTURE_SIDE_LIMIT || header->pixelFormat > 1) {
        return false;
    }
    const uint64_t bytes = uint64_t{header->width} * header->height * header->BytesPerPixel();
    return bytes <= length - kRawHeaderBytes;
}

// The blob's pixels in device order, in a new block: the blob itself is never changed, so it
// can be read again (on-demand re-creation, a restart).
uint8_t* ConvertRawPixels(const uint8_t* blob, const RawHeader& header) {
    const uint64_t count = uint64_t{header.width} * header.height;
    const uint8_t* source = blob + kRawHeaderBytes;
    auto* out = static_cast<uint8_t*>(MEM_ALLOC_RAW(count * header.BytesPerPixel()));
    if (header.pixelFormat == 0) {
        for (uint64_t i = 0; i < count; ++i) {
            out[4 * i] = source[4 * i + 2];
            out[4 * i + 1] = source[4 * i + 1];
            out[4 * i + 2] = source[4 * i];
            out[4 * i + 3] = source[4 * i + 3];
        }
    } else {
        for (uint64_t i = 0; i < count; ++i) {
            const uint16_t v = static_cast<uint16_t>(source[2 * i] | source[2 * i + 1] << 8);
            const uint16_t reversed = static_cast<uint16_t>((v & 0xF) << 12 | ((v >> 4) & 0xF) << 8 |
                                                            ((v >> 8) & 0xF) << 4 | v >> 12);
            out[2 * i] = static_cast<uint8_t>(reversed);
            out[2 * i + 1] = static_cast<uint8_t>(reversed >> 8);
        }
    }
    return out;
}

// ---- image files ---------------------------------------------------------------------------

int32_t ImageFileFormat(const uint8_t* blob, uint32_t length) {
    if (DDS_IsFile(blob, length)) return GR_IMAGE_FILE_DDS;
    if (length >= 4 && blob[0] == 0x89 && blob[1] == 'P' && blob[2] == 'N' && blob[3] == 'G')
        return GR_IMAGE_FILE_PNG;
    if (length >= 3 && blob[0] == 0xFF && blob[1] == 0xD8 && blob[2] == 0xFF) return GR_IMAGE_FILE_JPG;
    if (length >= 4 && std::memcmp(blob, "GIF8", 4) == 0) return GR_IMAGE_FILE_GIF;
    return GR_IMAGE_FILE_BMP;
}

uint32_t* DecodeImage(const uint8_t* blob, uint32_t length, int32_t* width, int32_t* height) {
    if (DDS_IsFile(blob, length)) return DDS_Decode(blob, length, width, height);
    if (!g_imageReader.decode) return nullptr;
    uint32_t* pixels = g_imageReader.decode(blob, length, width, height);
    if (pixels && (*width < 1 || *height < 1)) {
        MEM_FREE(pixels);
        return nullptr;
    }
    return pixels;
}

bool ReadImageSize(const uint8_t* blob, uint32_t length, int32_t* width, int32_t* height) {
    if (IsRaw(blob, length) && length >= 12) {
        *width = static_cast<int32_t>(ReadU32(blob + 4));
        *height = static_cast<int32_t>(ReadU32(blob + 8));
        return *width >= 1 && *height >= 1;
    }
    if (DDS_IsFile(blob, length)) return DDS_ReadSize(blob, length, width, height);
    return g_imageReader.readSize && g_imageReader.readSize(blob, length, width, height) && *width >= 1 &&
           *height >= 1;
}

int32_t GlobalScale() {
    const int32_t scale = g_imageReader.globalScale ? g_imageReader.globalScale() : 1;
    return scale > 1 ? scale : 1;
}

// Box-filtered copy of a picture at another size.
uint32_t* Resample(const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight, int32_t width,
                   int32_t height) {
    auto* out = static_cast<uint32_t*>(MEM_ALLOC_RAW(uint64_t(width) * height * 4));
    for (int32_t y = 0; y < height; ++y) {
        const int32_t top = int32_t(int64_t(y) * sourceHeight / height);
        const int32_t bottom = std::max(top + 1, int32_t(int64_t(y + 1) * sourceHeight / height));
        for (int32_t x = 0; x < width; ++x) {
            const int32_t left = int32_t(int64_t(x) * sourceWidth / width);
            const int32_t right = std::max(left + 1, int32_t(int64_t(x + 1) * sourceWidth / width));
            uint64_t sum[4] = {};
            for (int32_t sy = top; sy < bottom; ++sy) {
                for (int32_t sx = left; sx < right; ++sx) {
                    const uint32_t pixel = source[size_t(sy) * sourceWidth + sx];
                    for (int c = 0; c < 4; ++c) sum[c] += (pixel >> (8 * c)) & 0xFF;
                }
            }
            const uint64_t n = uint64_t(bottom - top) * (right - left);
            uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c) pixel |= uint32_t((sum[c] + n / 2) / n) << (8 * c);
            out[size_t(y) * width + x] = pixel;
        }
    }
    return out;
}

// Puts a decoded picture into a new A8R8G8B8 texture of the given size (the picture is
// stretched over it when the sizes differ). Frees the pixels.
HRESULT CreatePictureTexture(uint32_t* pixels, int32_t pictureWidth, int32_t pictureHeight, int32_t width,
                             int32_t height, GpuTexture** texture) {
    *texture = nullptr;
    if (pictureWidth != width || pictureHeight != height) {
        uint32_t* resized = Resample(pixels, pictureWidth, pictureHeight, width, height);
        MEM_FREE(pixels);
        pixels = resized;
    }
    const uint32_t w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
    HRESULT result = TheDevice()->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, g_D3D.resourcePool, texture);
    if (SUCCEEDED(result) &&
        !WriteRows(*texture, reinterpret_cast<const uint8_t*>(pixels), w * 4, w * 4, h)) {
        Release(*texture);
        result = E_FAIL;
    }
    MEM_FREE(pixels);
    return result;
}

// ---- device objects ------------------------------------------------------------------------

HRESULT CreateRenderTargetObjects(TextureRecord* record, uint32_t width, uint32_t height, uint32_t format) {
    Device* device = TheDevice();
    const uint32_t samples = g_D3D.presentParams.MultiSampleType;
    HRESULT result = device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT,
                                           &record->texture);
    if (SUCCEEDED(result))
        result = device->CreateRenderTarget(width, height, format, samples, false, &record->surface);
    if (SUCCEEDED(result)) {
        result = device->CreateDepthStencilSurface(width, height, g_D3D.presentParams.AutoDepthStencilFormat,
                                                   samples, &record->depthStencil);
    }
    return result;
}

HRESULT CreateFromPixels(TextureRecord* record, const uint8_t* pixels, uint32_t width, uint32_t height,
                         uint32_t levels) {
    const uint32_t bytesPerPixel = static_cast<uint32_t>(GR_Texture_Bytes_Per_Pixel(record->format));
    HRESULT result =
        TheDevice()->CreateTexture(width, height, levels, 0, GR_Texture_D3D_Format(record->format),
                                   g_D3D.resourcePool, &record->texture);
    if (SUCCEEDED(result) &&
        !WriteRows(record->texture, pixels, width * bytesPerPixel, width * bytesPerPixel, height)) {
        Release(record->texture);
        result = E_FAIL;
    }
    return result;
}

bool InRange(int32_t slot) {
    return slot >= 0 && slot < GR_TARGET_SLOTS;
}

uint32_t TargetSlots() {
    return std::min<uint32_t>(g_D3D.renderTargetLimit, GR_TARGET_SLOTS);
}

// Takes the top frame off the stack without restoring it.
void DropTopFrame() {
    if (g_targetDepth == 0) return;
    TargetStackFrame& frame = g_targetStack[--g_targetDepth];
    for (GpuSurface*& surface : frame.targets) Release(surface);
    Release(frame.depthStencil);
}

}  // namespace

void GR_Texture_Set_Image_Reader(const GR_ImageReader* reader) {
    g_imageReader = reader ? *reader : GR_ImageReader{};
}

bool GR_Texture_On_Demand() {
    return g_Switches.createTexturesOnDemand;
}

int32_t GR_Texture_Record_Count() {
    int32_t count = 0;
    for (const TextureRecord* record = g_records; record; record = record->next) ++count;
    return count;
}

uint32_t GR_Texture_D3D_Format(int32_t format) {
    switch (format) {
        case TEXFMT_DEFAULT:
            return kFormatDefault;
        case 1:
            return D3DFMT_DXT1;
        case 2:
            return D3DFMT_DXT2;
        case 3:
            return D3DFMT_DXT3;
        case 4:
            return D3DFMT_DXT4;
        case 5:
            return D3DFMT_DXT5;
        case TEXFMT_A8R8G8B8:
            return D3DFMT_A8R8G8B8;
        case TEXFMT_D32:
            return D3DFMT_D32;
        case TEXFMT_D24S8:
            return D3DFMT_D24S8;
        case TEXFMT_R16F:
            return D3DFMT_R16F;
        case TEXFMT_R32F:
            return D3DFMT_R32F;
        case TEXFMT_A4R4G4B4:
            return D3DFMT_A4R4G4B4;
        default:
            return static_cast<uint32_t>(format);
    }
}

int32_t GR_Texture_Bytes_Per_Pixel(int32_t format) {
    return format == TEXFMT_A4R4G4B4 ? 2 : 4;
}

void GR_Texture_Set_Pool_Flags(TextureRecord* record, uint32_t pool) {
    record->flags &= ~(TEXREC_POOL_DEFAULT | TEXREC_POOL_MANAGED);
    if (pool == D3DPOOL_DEFAULT) record->flags |= TEXREC_POOL_DEFAULT;
    if (pool == D3DPOOL_MANAGED) record->flags |= TEXREC_POOL_MANAGED;
}

TextureRecord* TextureRecord_Init(int32_t width, int32_t height, int32_t levels) {
    auto* record = static_cast<TextureRecord*>(MEM_ALLOC(sizeof(TextureRecord)));
    record->packedSize = PackSize(width, height, levels);
    record->next = g_records;
    g_records = record;
    return record;
}

TextureRecord* TextureRecord_Init_Wrap(GpuTexture* texture, int32_t width, int32_t height, int32_t levels,
                                       int32_t format) {
    TextureRecord* record = TextureRecord_Init(width, height, levels);
    record->texture = texture;
    record->format = format;
    return record;
}

int32_t GR_Texture_Max_Size() {
    const uint32_t width = g_D3D.caps.MaxTextureWidth, height = g_D3D.caps.MaxTextureHeight;
    if (!g_D3D.device || width == 0 || height == 0) return GR_TEXTURE_SIDE_LIMIT;
    return static_cast<int32_t>(std::min<uint32_t>({width, height, GR_TEXTURE_SIDE_LIMIT}));
}

TextureRecord* GR_Texture_Create(int32_t width, int32_t height, uint32_t flags, int32_t format) {
    const int32_t limit = GR_Texture_Max_Size();
    const bool target = (flags & TEXCREATE_RENDER_TARGET) != 0;
    const bool onDemand = GR_Texture_On_Demand();
    if (onDemand || target) {
        width = std::clamp(width, 1, limit);
        height = std::clamp(height, 1, limit);
    } else {
        width = RoundSide(width, limit);
        height = RoundSide(height, limit);
    }
    const uint32_t pool = target ? D3DPOOL_DEFAULT : g_D3D.resourcePool;
    if (!onDemand && !TheDevice()) return nullptr;

    TextureRecord* record = TextureRecord_Init(width, height, 1);
    record->format = format;
    if (!(target && onDemand)) AllocatePixelCopy(record);
    GR_Texture_Set_Pool_Flags(record, pool);
    if (onDemand) return record;

    const uint32_t w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
    const uint32_t d3dFormat = GR_Texture_D3D_Format(format);
    const HRESULT result = target ? CreateRenderTargetObjects(record, w, h, d3dFormat)
                                  : TheDevice()->CreateTexture(w, h, 1, 0, d3dFormat, pool, &record->texture);
    if (FAILED(result)) {
        DebugConsole.Output("CreateTexture failed - %08x\n", static_cast<uint32_t>(result));
        GR_Texture_Free_Record(record);
        return nullptr;
    }
    FetchSurface(record);
    return record;
}

TextureRecord* GR_Texture_Create_From_RGBA(const void* pixels, int32_t width, int32_t height,
                                           GR_ImageInfo* info) {
    TextureRecord* record = GR_Texture_Create(width, height, 0, TEXFMT_A8R8G8B8);
    if (!record) return nullptr;
    GR_Texture_Upload(record, 0, width, height, pixels);
    if (info) {
        *info = {static_cast<uint32_t>(GR_Texture_Width(record)),
                 static_cast<uint32_t>(GR_Texture_Height(record)),
                 32,
                 0,
                 TEXFMT_A8R8G8B8,
                 -1,
                 TEXFMT_A8R8G8B8};
    }
    return record;
}

namespace {

TextureRecord* CreateFromRaw(const uint8_t* blob, uint32_t length, GR_ImageInfo* info) {
    RawHeader header;
    if (!ReadRawHeader(blob, length, &header)) return nullptr;
    const int32_t code = header.Code();
    const int32_t width = static_cast<int32_t>(header.width), height = static_cast<int32_t>(header.height);
    *info = {header.width, header.height, header.pixelFormat == 1 ? 16u : 32u, 0, code, -1, code};
    if (GR_Texture_On_Demand()) {
        TextureRecord* record = TextureRecord_Init(width, height, 1);
        record->blob = blob;
        record->blobLength = length;
        record->format = code;
        GR_Texture_Set_Pool_Flags(record, g_D3D.resourcePool);
        return record;
    }
    TextureRecord* record = GR_Texture_Create(width, height, 0, code);
    if (!record) return nullptr;
    uint8_t* pixels = ConvertRawPixels(blob, header);
    GR_Texture_Upload(record, 0, width, height, pixels);
    MEM_FREE(pixels);
    // The texture may be larger than the picture (sides are rounded up): texture coordinates
    // must then be taken against the texture's own size.
    info->Width = static_cast<uint32_t>(GR_Texture_Width(record));
    info->Height = static_cast<uint32_t>(GR_Texture_Height(record));
    return record;
}

void FillImageInfo(GR_ImageInfo* info, int32_t width, int32_t height, int32_t format, int32_t fileFormat) {
    *info = {static_cast<uint32_t>(width), static_cast<uint32_t>(height), 32, 1, format, 3, fileFormat};
}

// On demand: the record keeps the blob and learns only its size now.
TextureRecord* CreateImageOnDemand(const uint8_t* blob, uint32_t length, GR_ImageInfo* info, int32_t format) {
    const int32_t fileFormat = ImageFileFormat(blob, length);
    int32_t width = 0, height = 0;
    const bool known = ReadImageSize(blob, length, &width, &height);
    const int32_t scale = GlobalScale();
    width = std::max(width / scale, 1);
    height = std::max(height / scale, 1);
    const bool fits = known && width <= GR_TEXTURE_SIDE_LIMIT && height <= GR_TEXTURE_SIDE_LIMIT;
    if (fileFormat == GR_IMAGE_FILE_PNG) {
        TextureRecord* record = TextureRecord_Init(1, 1, 1);
        record->blob = blob;
        record->blobLength = length;
        if (fits) {
            record->packedSize = PackSize(width, height, 1);
            record->format = TEXFMT_A8R8G8B8;
        } else {
            DebugConsole.Output("an error occured");
        }
        FillImageInfo(info, GR_Texture_Width(record), GR_Texture_Height(record), record->format, fileFormat);
        info->Depth = record->format == TEXFMT_A8R8G8B8 ? 32 : 16;
        GR_Texture_Set_Pool_Flags(record, g_D3D.resourcePool);
        return record;
    }
    if (!fits) return nullptr;
    TextureRecord* record = TextureRecord_Init(width, height, 1);
    record->blob = blob;
    record->blobLength = length;
    record->format = format;
    FillImageInfo(info, width, height, format, fileFormat);
    GR_Texture_Set_Pool_Flags(record, g_D3D.resourcePool);
    return record;
}

// At once: the image is decoded into a texture of its own size (at most the device limit).
TextureRecord* CreateImageNow(const uint8_t* blob, uint32_t length, GR_ImageInfo* info, int32_t format) {
    if (!TheDevice()) return nullptr;
    int32_t width = 0, height = 0;
    uint32_t* pixels = DecodeImage(blob, length, &width, &height);
    if (!pixels) return nullptr;
    const int32_t limit = GR_Texture_Max_Size();
    const int32_t textureWidth = std::min(width, limit), textureHeight = std::min(height, limit);
    GpuTexture* texture = nullptr;
    if (FAILED(CreatePictureTexture(pixels, width, height, textureWidth, textureHeight, &texture)))
        return nullptr;
    TextureRecord* record = TextureRecord_Init_Wrap(texture, textureWidth, textureHeight, 1, format);
    FetchSurface(record);
    GR_Texture_Set_Pool_Flags(record, g_D3D.resourcePool);
    FillImageInfo(info, width, height, format, ImageFileFormat(blob, length));
    return record;
}

}  // namespace

bool GR_Texture_Read_Blob_Size(const uint8_t* blob, uint32_t length, int32_t* width, int32_t* height) {
    return blob != nullptr && length >= 4 && ReadImageSize(blob, length, width, height);
}

TextureRecord* GR_Texture_Create_From_Blob(const uint8_t* blob, uint32_t length, GR_ImageInfo* info,
                                           int32_t format) {
    GR_ImageInfo scratch;
    if (!info) info = &scratch;
    *info = {};
    if (!blob || length < 4) return nullptr;
    if (IsRaw(blob, length)) return CreateFromRaw(blob, length, info);
    if (GR_Texture_On_Demand()) return CreateImageOnDemand(blob, length, info, format);
    return CreateImageNow(blob, length, info, format);
}

bool SetupD3DTexture(TextureRecord* record) {
    if (!record || !TheDevice()) return false;
    const uint32_t width = static_cast<uint32_t>(GR_Texture_Width(record));
    const uint32_t height = static_cast<uint32_t>(GR_Texture_Height(record));
    const uint32_t levels = static_cast<uint32_t>(GR_Texture_Levels(record));
    HRESULT result = D3D_OK;
    if (record->blob && IsRaw(record->blob, record->blobLength)) {
        RawHeader header;
        if (!ReadRawHeader(record->blob, record->blobLength, &header)) return false;
        uint8_t* pixels = ConvertRawPixels(record->blob, header);
        result = CreateFromPixels(record, pixels, width, height, levels);
        MEM_FREE(pixels);
    } else if (record->blob) {
        int32_t pictureWidth = 0, pictureHeight = 0;
        uint32_t* pixels = DecodeImage(record->blob, record->blobLength, &pictureWidth, &pictureHeight);
        if (!pixels) return false;  // an image that cannot be decoded stays without a texture
        result = CreatePictureTexture(pixels, pictureWidth, pictureHeight, static_cast<int32_t>(width),
                                      static_cast<int32_t>(height), &record->texture);
    } else if (record->pixels) {
        result = CreateFromPixels(record, record->pixels, width, height, levels);
    } else {
        result = CreateRenderTargetObjects(record, width, height, GR_Texture_D3D_Format(record->format));
    }
    if (FAILED(result)) {
        DebugConsole.Output("SetupD3DTexture failed - %08x\n", static_cast<uint32_t>(result));
        ReleaseDeviceObjects(record);
        return false;
    }
    FetchSurface(record);
    return true;
}

void GR_Texture_Prepare(TextureRecord* record) {
    if (record && !record->texture) SetupD3DTexture(record);
}

void GR_Texture_Prefetch(TextureRecord* record) {
    if (GR_Texture_On_Demand()) GR_Texture_Prepare(record);
}

void GR_Texture_Release_Device(TextureRecord* record) {
    if (!record || !GR_Texture_On_Demand() || !record->texture) return;
    if (g_Batch.texture == record) GraphicsFlush();
    ForgetTargets(record);
    ReleaseDeviceObjects(record);
}

void GR_Texture_Flush_All() {
    for (TextureRecord* record = g_records; record; record = record->next) GR_Texture_Release_Device(record);
}

void GR_Texture_Free_Record(TextureRecord* record) {
    if (!record) return;
    // Quads already batched with this texture are drawn with it before it goes.
    if (g_Batch.texture == record) GraphicsFlush();
    ForgetTargets(record);
    ReleaseDeviceObjects(record);
    MEM_FREE(record->pixelBlock);
    for (TextureRecord** link = &g_records; *link; link = &(*link)->next) {
        if (*link == record) {
            *link = record->next;
            break;
        }
    }
    MEM_FREE(record);
}

bool GR_Texture_Upload(TextureRecord* record, int32_t level, int32_t sourceWidth, int32_t sourceHeight,
                       const void* pixels) {
    if (!record || !record->pixels) return false;
    const int32_t bytesPerPixel = GR_Texture_Bytes_Per_Pixel(record->format);
    const int32_t width = GR_Texture_Width(record), height = GR_Texture_Height(record);
    if (pixels && sourceWidth > 0 && sourceHeight > 0) {
        const auto* source = static_cast<const uint8_t*>(pixels);
        const size_t rowBytes = size_t(std::min(sourceWidth, width)) * bytesPerPixel;
        for (int32_t row = 0; row < std::min(sourceHeight, height); ++row) {
            std::memcpy(record->pixels + size_t(row) * width * bytesPerPixel,
                        source + size_t(row) * sourceWidth * bytesPerPixel, rowBytes);
        }
    }
    if (GR_Texture_On_Demand() && !record->texture) return SetupD3DTexture(record);
    if (!record->texture || level < 0 || level > 31) return false;
    const uint32_t levelWidth = std::max(uint32_t(width) >> level, 1u);
    const uint32_t levelHeight = std::max(uint32_t(height) >> level, 1u);
    const uint32_t rowBytes = levelWidth * uint32_t(bytesPerPixel);
    return WriteRows(record->texture, record->pixels, rowBytes, rowBytes, levelHeight, level);
}

bool GR_Texture_Upload_Region(TextureRecord* record, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!record || !record->pixels || GR_Texture_Bytes_Per_Pixel(record->format) != 4) return false;
    if (!record->texture) return true;
    const int32_t recordWidth = GR_Texture_Width(record), recordHeight = GR_Texture_Height(record);
    const int64_t right = int64_t(x) + width, bottom = int64_t(y) + height;
    if (x >= recordWidth || y >= recordHeight || right < 0 || bottom < 0) return true;
    const GpuRect clipped = {std::max(x, 0), std::max(y, 0), int32_t(std::min<int64_t>(right, recordWidth)),
                             int32_t(std::min<int64_t>(bottom, recordHeight))};
    if (clipped.right <= clipped.left || clipped.bottom <= clipped.top) return true;
    GpuLockedRect locked{};
    if (FAILED(record->texture->LockRect(0, &locked, &clipped, 0))) return false;
    const size_t rowBytes = size_t(clipped.right - clipped.left) * 4;
    for (int32_t row = clipped.top; row < clipped.bottom; ++row) {
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(row - clipped.top) * locked.Pitch,
                    record->pixels + (size_t(row) * recordWidth + clipped.left) * 4, rowBytes);
    }
    record->texture->UnlockRect(0);
    return true;
}

void GR_Texture_Resolve_Target(TextureRecord* record) {
    if (!record || !TheDevice()) return;
    if (GR_Texture_On_Demand() && !record->texture) return;
    record->flags &= ~TEXREC_TARGET_PENDING;
    // Only a render target draws into a surface of its own; any other record's surface is
    // level 0 of its texture already.
    if (!record->texture || !record->surface || !(record->texture->Usage() & D3DUSAGE_RENDERTARGET)) return;
    GpuSurface* level0 = nullptr;
    if (FAILED(record->texture->GetSurfaceLevel(0, &level0))) return;
    const GpuRect whole = {0, 0, GR_Texture_Width(record), GR_Texture_Height(record)};
    TheDevice()->StretchRect(record->surface, &whole, level0, &whole, D3DTEXF_LINEAR);
    level0->Release();
}

void GR_D3D_Set_Texture(int32_t stage, TextureRecord* record) {
    Device* device = TheDevice();
    if (!device || stage < 0 || stage >= 8) return;
    if (!record) {
        device->SetTexture(static_cast<uint32_t>(stage), nullptr);
        return;
    }
    if (GR_Texture_On_Demand()) GR_Texture_Prepare(record);
    if (record->flags & TEXREC_TARGET_PENDING) GR_Texture_Resolve_Target(record);
    device->SetTexture(static_cast<uint32_t>(stage), record->texture);
    if (record->texture != g_lastBound) {
        ++TextureSwitchCount;
        g_lastBound = record->texture;
    }
}

void GR_D3D_Set_Texture_Blending(bool textured) {
    Device* device = TheDevice();
    if (!device) return;
    if (textured) {
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    } else {
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    }
}

// ---- the render-target stack ---------------------------------------------------------------

bool GR_Target_Push() {
    Device* device = TheDevice();
    if (!device || g_targetDepth >= GR_TARGET_STACK_DEPTH) return false;
    TargetStackFrame& frame = g_targetStack[g_targetDepth];
    frame = {};
    for (uint32_t slot = 0; slot < TargetSlots(); ++slot) {
        if (FAILED(device->GetRenderTarget(slot, &frame.targets[slot]))) frame.targets[slot] = nullptr;
        frame.records[slot] = g_currentTargets[slot];
    }
    if (FAILED(device->GetDepthStencilSurface(&frame.depthStencil))) frame.depthStencil = nullptr;
    ++g_targetDepth;
    return true;
}

bool GR_Target_Pop() {
    Device* device = TheDevice();
    if (!device || g_targetDepth == 0) return false;
    GraphicsFlush();
    TargetStackFrame frame = g_targetStack[--g_targetDepth];
    bool ok = true;
    for (uint32_t slot = 0; slot < TargetSlots(); ++slot) {
        if (ok && FAILED(device->SetRenderTarget(slot, frame.targets[slot]))) ok = false;
        Release(frame.targets[slot]);  // every saved reference goes, even after a failure
        if (!ok) continue;
        TextureRecord* record = frame.records[slot];
        g_currentTargets[slot] = record;
        if (record) {
            if (GR_Texture_On_Demand() && !record->texture) SetupD3DTexture(record);
            record->flags |= TEXREC_TARGET_PENDING;
        }
    }
    if (ok && FAILED(device->SetDepthStencilSurface(frame.depthStencil))) ok = false;
    Release(frame.depthStencil);
    return ok;
}

void GR_Target_Pop_All() {
    while (g_targetDepth > 0) {
        if (!TheDevice()) {
            DropTopFrame();
        } else {
            GR_Target_Pop();
        }
    }
}

void GR_Target_Unwind_For_End_Scene() {
    while (g_targetDepth > 1) DropTopFrame();
    GR_Target_Pop();
}

bool GR_Target_Set(int32_t slot, TextureRecord* record) {
    Device* device = TheDevice();
    if (!device) return false;
    GraphicsFlush();
    if (record && GR_Texture_On_Demand() && !record->texture) SetupD3DTexture(record);
    if (!InRange(slot) || static_cast<uint32_t>(slot) >= TargetSlots()) return false;
    if (!record || !record->surface) return false;
    HRESULT result = device->SetRenderTarget(static_cast<uint32_t>(slot), record->surface);
    if (slot == 0 && SUCCEEDED(result)) result = device->SetDepthStencilSurface(record->depthStencil);
    g_currentTargets[slot] = record;
    record->flags |= TEXREC_TARGET_PENDING;
    return SUCCEEDED(result);
}

int32_t GR_Target_Depth() {
    return g_targetDepth;
}

TextureRecord* GR_Target_Current(int32_t slot) {
    return InRange(slot) ? g_currentTargets[slot] : nullptr;
}

// ---- built-in images -----------------------------------------------------------------------

void GR_Builtin_Images_Init(GR_BuiltinImageSource source) {
    g_builtinImages = source;
}

TextureRecord* GR_Builtin_Image_Texture(int32_t index) {
    if (!g_builtinImages) return nullptr;
    uint32_t size = 0;
    const uint8_t* image = g_builtinImages(index, &size);
    if (!image || size == 0) return nullptr;
    GR_ImageInfo info;
    return GR_Texture_Create_From_Blob(image, size, &info, TEXFMT_DEFAULT);
}
