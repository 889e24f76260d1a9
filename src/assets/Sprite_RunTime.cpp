// Run-time sprites: frames decoded from image files and URLs, copies of other sprites, merges
// and frame pictures for saving. Every new or changed sprite gets textures, page entries, a box
// and masks the same way, so the drawing and collision code never tells them from loaded ones.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

#include "assets/Graphics_Bitmap32.h"
#include "assets/ImageDecode.h"
#include "assets/Sprite_Main.h"
#include "assets/Sprite_Skeleton.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TBitmap.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "data/Function_Data_Structures.h"
#include "io/HTTP_Main.h"
#include "io/LoadSave.h"

namespace {

constexpr int32_t kAsyncEventImageLoaded = 60;

bool HasSuffix(const char* name, const char* suffix) {
    const size_t n = std::strlen(name), s = std::strlen(suffix);
    if (n < s) return false;
    for (size_t i = 0; i < s; ++i)
        if (std::tolower(static_cast<unsigned char>(name[n - s + i])) != suffix[i]) return false;
    return true;
}

bool IsUrl(const char* name) {
    return std::strncmp(name, "http://", 7) == 0 || std::strncmp(name, "https://", 8) == 0;
}

bool FileFound(const char* name) {
    return LoadSave_SaveFileExists(name) || LoadSave_BundleFileExists(name);
}

bool StartsWith(const uint8_t* bytes, int64_t size, const uint8_t* magic, int64_t length) {
    return size >= length && std::memcmp(bytes, magic, size_t(length)) == 0;
}

const uint8_t kJpegMagic[] = {0xFF, 0xD8, 0xFF};
const uint8_t kGifMagic[] = {'G', 'I', 'F', '8'};
const uint8_t kPngMagic[] = {0x89, 'P', 'N', 'G'};

void AppendBitmap(CSprite& sprite, CBitmap32* bitmap) {
    sprite.m_bitmaps = static_cast<CBitmap32**>(
        MEM_REALLOC(sprite.m_bitmaps, size_t(sprite.m_bitmapCount + 1) * sizeof(CBitmap32*)));
    sprite.m_bitmaps[sprite.m_bitmapCount++] = bitmap;
}

}  // namespace

// ---- frames from pictures ------------------------------------------------------------------

void CSprite::LoadStrip(IBitmapLoader* loader, bool removeBackground, bool smooth, int32_t frameCount,
                        bool keepAlpha) {
    TBitmap* image = loader ? loader->GetFrame(0) : nullptr;
    Free();
    m_transparent = removeBackground;
    m_smooth = smooth;
    if (!image) {
        DebugConsole.Output("CSprite::LoadStrip :: Unable to load sprite data\n");
        return;
    }
    const int32_t count = frameCount < 1 ? 1 : frameCount;
    CBitmap32 whole(image, keepAlpha ? false : removeBackground, keepAlpha ? false : smooth, keepAlpha);
    delete image;
    m_frameCount = count;
    m_width = whole.GetWidth() / count;
    m_height = whole.GetHeight();
    for (int32_t i = 0; i < count; ++i)
        AppendBitmap(*this, new CBitmap32(whole, i * m_width, 0, m_width, m_height));
}

void CSprite::FinishRunTimeFrames() {
    CreateTextures();
    BuildPageEntries();
    ComputeBoundingBox();
    GenerateMasks();
}

bool CSprite::LoadFromPixels(const uint32_t* pixels, int32_t width, int32_t height, int32_t frameCount,
                             bool precise, bool removeBackground, bool smooth, int32_t originX,
                             int32_t originY, bool keepAlpha) {
    BitmapLoader* loader = BitmapLoader_Create(pixels, width, height);
    LoadStrip(loader, removeBackground, smooth, frameCount, keepAlpha);
    delete loader;
    m_originX = originX;
    m_originY = originY;
    m_boxMode = SPRITE_BOX_AUTOMATIC;
    m_preload = true;
    m_precise = precise;
    FinishRunTimeFrames();
    return true;
}

bool CSprite::LoadFromImage(const uint8_t* bytes, int64_t size, const SpriteLoadOptions& o) {
    if (size <= 0 || size > 0x7FFFFFFF) return false;
    int32_t width = -1, height = -1;
    const int32_t n = int32_t(size);
    if (StartsWith(bytes, size, kJpegMagic, 3) || StartsWith(bytes, size, kGifMagic, 4)) {
        uint8_t* pixels =
            bytes[0] == 0xFF ? JPEG_Decode(bytes, n, &width, &height) : GIF_Decode(bytes, n, &width, &height);
        if (pixels) {
            LoadFromPixels(reinterpret_cast<const uint32_t*>(pixels), width, height, o.frames, o.precise,
                           o.removeBackground, o.smooth, o.originX, o.originY, o.keepAlpha);
            MEM_FREE(pixels);
            return true;
        }
    }
    // Anything else, or a picture its signature did not decode, is left to the PNG reader.
    return LoadFromPNG(bytes, size, o);
}

bool CSprite::LoadFromPNG(const uint8_t* bytes, int64_t size, const SpriteLoadOptions& o) {
    if (size <= 0 || size > 0x7FFFFFFF) return false;
    int32_t width = -1, height = -1;
    uint8_t* pixels = PNG_Decode(bytes, int32_t(size), &width, &height);
    if (!pixels) return false;
    LoadFromPixels(reinterpret_cast<const uint32_t*>(pixels), width, height, o.frames, o.precise,
                   o.removeBackground, o.smooth, o.originX, o.originY, o.keepAlpha);
    PNG_Release();
    return true;
}

bool CSprite::LoadFromFile(const char* name, const SpriteLoadOptions& options) {
    if (!LoadFromFileBytes(name, options)) return false;
    // The caller's preload flag is the one the sprite reports, not the loader's default.
    m_preload = options.preload;
    return true;
}

bool CSprite::LoadFromFileBytes(const char* name, const SpriteLoadOptions& options) {
    // Skeleton data first for a ".json" name; data that does not read is tried as an image.
    const size_t length = name ? std::strlen(name) : 0;
    if (length >= 5 && strcasecmp(name + length - 5, ".json") == 0) {
        char path[1024];
        const bool found = LoadSave_SaveFileExists(name) ? LoadSave_GetSavePath(path, sizeof path, name)
                                                         : LoadSave_GetBundlePath(path, sizeof path, name);
        auto* skeleton = found ? new CSkeletonAsset(path) : nullptr;
        if (skeleton && skeleton->IsValid()) {
            Free();
            m_skeleton = skeleton;
            m_kind = SPRITE_SKELETON;
            m_frameCount = SPRITE_SKELETON_FRAMES;
            return true;
        }
        delete skeleton;
    }
    int64_t size = 0;
    void* bytes = LoadSave_SaveFileExists(name) ? LoadSave_ReadSaveFile(name, &size)
                                                : LoadSave_ReadBundleFile(name, &size);
    if (!bytes) return false;
    const bool ok = LoadFromImage(static_cast<const uint8_t*>(bytes), size, options);
    MEM_FREE(bytes);
    return ok;
}

void CSprite::CopyFrom(const CSprite& source) {
    if (source.m_kind != SPRITE_BITMAP) return;
    Free();
    m_width = source.m_width;
    m_height = source.m_height;
    m_box = source.m_box;
    m_transparent = source.m_transparent;
    m_smooth = source.m_smooth;
    m_preload = source.m_preload;
    m_boxMode = source.m_boxMode;
    m_precise = source.m_precise;
    m_originX = source.m_originX;
    m_originY = source.m_originY;
    m_frameCount = source.m_frameCount;
    m_boundingRadius = source.m_boundingRadius;
    const bool shared = source.m_pageEntries && !source.m_ownsPageEntries;
    if (shared && m_frameCount > 0) {
        m_pageEntries = static_cast<TexturePageEntry**>(MEM_ALLOC(size_t(m_frameCount) * sizeof(void*)));
        std::memcpy(m_pageEntries, source.m_pageEntries, size_t(m_frameCount) * sizeof(void*));
        m_packedMaskCount = source.m_packedMaskCount;
        m_packedMasks = source.m_packedMasks;
    }
    for (int32_t i = 0; i < source.m_bitmapCount; ++i)
        AppendBitmap(*this, new CBitmap32(*source.m_bitmaps[i]));
    CreateTextures();
    if (!shared) BuildPageEntries();
    GenerateMasks();
}

namespace {

// The page entry's rectangle placed at its offset in a picture of the entry's full size (the
// trimmed border cleared to 0); null when the texture cannot be read.
CBitmap32* ReadPageEntry(const TexturePageEntry& entry) {
    TextureRecord* record = GR_Texture_Exists(entry.texture) ? GR_Texture_Get(entry.texture) : nullptr;
    uint32_t* pixels = record ? GR_Texture_Read_Pixels(record, entry.sourceX, entry.sourceY,
                                                       entry.sourceWidth, entry.sourceHeight)
                              : nullptr;
    if (!pixels) return nullptr;
    const int32_t width = std::max<int32_t>(entry.boundWidth, 1),
                  height = std::max<int32_t>(entry.boundHeight, 1);
    auto* picture = new CBitmap32(width, height, 0u);
    for (int32_t y = 0; y < entry.sourceHeight; ++y) {
        const int32_t ty = entry.targetY + y;
        if (ty < 0 || ty >= height) continue;
        for (int32_t x = 0; x < entry.sourceWidth; ++x) {
            const int32_t tx = entry.targetX + x;
            if (tx >= 0 && tx < width)
                picture->GetPixels()[int64_t(ty) * width + tx] = pixels[int64_t(y) * entry.sourceWidth + x];
        }
    }
    MEM_FREE(pixels);
    return picture;
}

}  // namespace

bool CSprite::ExtractFrameBitmaps() {
    if (m_kind != SPRITE_BITMAP || !m_pageEntries || m_frameCount <= 0) return false;
    std::vector<CBitmap32*> pictures;
    for (int32_t i = 0; i < m_frameCount; ++i) {
        CBitmap32* picture = m_pageEntries[i] ? ReadPageEntry(*m_pageEntries[i]) : nullptr;
        if (!picture) {
            for (CBitmap32* p : pictures) delete p;
            return false;
        }
        pictures.push_back(picture);
    }
    for (CBitmap32* picture : pictures) AppendBitmap(*this, picture);
    return true;
}

bool CSprite::Merge(const CSprite& source) {
    // Frames are merged as pictures, which sprites drawn from the data file's pages lack.
    if (m_frameCount > 0 && m_bitmapCount < m_frameCount) {
        Runtime_ErrorNonFatal("sprite_merge() requires the destination sprite to have been duplicated");
        return false;
    }
    if (source.m_bitmapCount < source.m_frameCount) {
        Runtime_ErrorNonFatal("sprite_merge() requires the source sprite to have been duplicated");
        return false;
    }
    if (m_frameCount == 0) {
        m_width = source.m_width;
        m_height = source.m_height;
    }
    for (int32_t i = 0; i < source.m_bitmapCount; ++i) {
        auto* copy = new CBitmap32(*source.m_bitmaps[i]);
        copy->Resize(m_width, m_height);
        AppendBitmap(*this, copy);
    }
    m_frameCount += source.m_bitmapCount;
    FinishRunTimeFrames();
    return true;
}

void CSprite::CreateFromBitmap(TBitmap* bitmap, bool precise, bool removeBackground, bool smooth,
                               bool preload, int32_t originX, int32_t originY, bool keepAlpha) {
    // The slot's name and index survive the reset: the sprite is remade in place.
    const char* name = m_name;
    const int32_t index = m_index;
    Free();
    m_name = name;
    m_index = index;
    m_transparent = removeBackground;
    m_smooth = smooth;
    m_preload = preload;
    m_precise = precise;
    m_originX = originX;
    m_originY = originY;
    m_boxMode = SPRITE_BOX_AUTOMATIC;
    auto* frame = new CBitmap32(bitmap, removeBackground, smooth, keepAlpha);
    if (!frame->IsValid()) {
        delete frame;
        return;
    }
    m_width = frame->GetWidth();
    m_height = frame->GetHeight();
    m_frameCount = 1;
    AppendBitmap(*this, frame);
    FinishRunTimeFrames();
}

bool CSprite::AddFrameFromBitmap(TBitmap* bitmap, bool removeBackground, bool smooth, bool keepAlpha) {
    // New textures are made from every frame's picture, so frames without one cannot join them.
    if (m_kind != SPRITE_BITMAP || m_bitmapCount < m_frameCount || (m_pageEntries && !m_ownsPageEntries))
        return false;
    auto* frame = new CBitmap32(bitmap, removeBackground, smooth, keepAlpha);
    if (!frame->IsValid()) {
        delete frame;
        return true;  // nothing was read, so nothing is added
    }
    if (m_frameCount == 0) {
        m_width = frame->GetWidth();
        m_height = frame->GetHeight();
    }
    frame->Resize(m_width, m_height);
    AppendBitmap(*this, frame);
    m_frameCount += 1;
    FinishRunTimeFrames();
    return true;
}

void CSprite::SetAlphaFromSprite(const CSprite& source) {
    if (source.m_frameCount <= 0) return;
    if (m_pageEntries && !m_ownsPageEntries) {
        Runtime_ErrorNonFatal(
            "sprite_set_alpha_from_sprite() requires the destination sprite to have been duplicated");
        return;
    }
    if (source.m_pageEntries && !source.m_ownsPageEntries) {
        Runtime_ErrorNonFatal(
            "sprite_set_alpha_from_sprite() requires the source sprite to have been duplicated");
        return;
    }
    const int32_t sourceCount =
        source.m_frameCount < source.m_bitmapCount ? source.m_frameCount : source.m_bitmapCount;
    if (sourceCount <= 0) return;
    for (int32_t i = 0; i < m_bitmapCount; ++i)
        m_bitmaps[i]->AlphaFromIntensity(source.m_bitmaps[i % sourceCount]);
    CreateTextures();
    BuildPageEntries();
}

TBitmap* CSprite::GetFrameBitmap(int32_t frame) const {
    if (m_kind != SPRITE_BITMAP || frame < 0 || frame >= m_frameCount || frame >= m_bitmapCount)
        return nullptr;
    return m_bitmaps[frame] ? m_bitmaps[frame]->ToTBitmap() : nullptr;
}

// ---- the table's run-time paths ------------------------------------------------------------

namespace {

struct SpriteRequest {
    int32_t index;
    int32_t frames;
    int32_t originX, originY;
    int32_t flags;  // 1 precise, 2 remove background, 4 smooth, 8 preload
};

SpriteLoadOptions OptionsOf(const SpriteRequest& r) {
    const bool removeBackground = (r.flags & 2) != 0;
    return SpriteLoadOptions{r.frames,           (r.flags & 1) != 0, removeBackground, (r.flags & 4) != 0,
                             (r.flags & 8) != 0, r.originX,          r.originY,        !removeBackground};
}

int32_t Sprite_AsyncLoadCallback(HTTP_REQ_CONTEXT* record, void* userData, int32_t* map) {
    const auto* request = static_cast<const SpriteRequest*>(userData);
    const int64_t size = record->received.load();
    const bool arrived = size > 0 && record->result != nullptr;
    *map = DsMap_CreateFromPairs(4, "filename", 0.0, record->url ? record->url : "", "id",
                                 double(request->index), static_cast<const char*>(nullptr), "http_status",
                                 double(record->httpStatus), static_cast<const char*>(nullptr), "status",
                                 arrived ? 0.0 : -1.0, static_cast<const char*>(nullptr));
    CSprite* sprite = Sprite_Get(request->index);
    if (record->httpStatus != 200 || !arrived || !sprite) return kAsyncEventImageLoaded;
    const SpriteLoadOptions options = OptionsOf(*request);
    const uint8_t* bytes = record->result;
    const int64_t n = size < record->resultCapacity ? size : record->resultCapacity;
    bool loaded = false;
    if (StartsWith(bytes, n, kJpegMagic, 3) || StartsWith(bytes, n, kGifMagic, 4))
        loaded = sprite->LoadFromImage(bytes, n, options);
    if (!loaded && StartsWith(bytes, n, kPngMagic, 4)) loaded = sprite->LoadFromPNG(bytes, n, options);
    if (!loaded) {
        DebugConsole.Output("Failed to decode data in Sprite_Add %s\n", record->url ? record->url : "");
    } else {
        sprite->m_preload = options.preload;
        sprite->m_index = request->index;
        sprite->m_name = Sprite_GetName(request->index);
    }
    return kAsyncEventImageLoaded;
}

void Sprite_AsyncLoadCleanup(HTTP_REQ_CONTEXT* record) {
    MEM_FREE(record->userData);
    record->userData = nullptr;
}

void StartUrlLoad(const char* url, int32_t index, const SpriteLoadOptions& o) {
    auto* request = static_cast<SpriteRequest*>(MEM_ALLOC(sizeof(SpriteRequest)));
    *request = SpriteRequest{
        index, o.frames, o.originX, o.originY,
        (o.precise ? 1 : 0) | (o.removeBackground ? 2 : 0) | (o.smooth ? 4 : 0) | (o.preload ? 8 : 0)};
    HTTP_Get(url, Sprite_AsyncLoadCallback, Sprite_AsyncLoadCleanup, request);
}

// The name and index the table gave the slot, set again after a load reset them.
void Rename(int32_t index) {
    if (CSprite* sprite = Sprite_Get(index)) {
        sprite->m_index = index;
        sprite->m_name = Sprite_GetName(index);
    }
}

}  // namespace

int32_t Sprite_Add(const char* name, const SpriteLoadOptions& options) {
    if (!name) return -1;
    if (IsUrl(name)) {
        const int32_t index = Sprite_CreateEmpty();
        if (index >= 0) StartUrlLoad(name, index, options);
        return index;
    }
    if (!FileFound(name)) return -1;
    const int32_t index = Sprite_CreateEmpty();
    if (index < 0) return -1;
    CSprite* sprite = Sprite_Get(index);
    const bool loaded = HasSuffix(name, ".pws")
                            ? sprite->LoadVectorFile(name, options.originX, options.originY)
                            : sprite->LoadFromFile(name, options);
    if (!loaded) {
        Sprite_GiveUpLast();
        return -1;
    }
    Rename(index);
    return index;
}

bool Sprite_Replace(int32_t index, const char* name, const SpriteLoadOptions& options) {
    if (index < 0 || index >= Sprite_Count() || !name) return false;
    if (IsUrl(name)) {
        Sprite_FillSlot(index);
        StartUrlLoad(name, index, options);
        return false;
    }
    if (!FileFound(name)) return false;
    CSprite* sprite = Sprite_FillSlot(index);
    const bool ok = sprite->LoadFromFile(name, options);
    Rename(index);
    return ok;
}

namespace {

SpriteLoadOptions AlphaOptions(int32_t frames, bool precise, bool preload, int32_t originX, int32_t originY) {
    SpriteLoadOptions o;
    o.frames = frames;
    o.precise = precise;
    o.removeBackground = true;
    o.smooth = false;
    o.preload = preload;
    o.originX = originX;
    o.originY = originY;
    o.keepAlpha = true;
    return o;
}

}  // namespace

int32_t Sprite_AddAlpha(const char* name, int32_t frames, bool precise, bool preload, int32_t originX,
                        int32_t originY) {
    if (!name || IsUrl(name) || !FileFound(name)) return -1;
    const int32_t index = Sprite_CreateEmpty();
    if (index < 0) return -1;
    if (!Sprite_Get(index)->LoadFromFile(name, AlphaOptions(frames, precise, preload, originX, originY))) {
        Sprite_GiveUpLast();
        return -1;
    }
    Rename(index);
    return index;
}

bool Sprite_ReplaceAlpha(int32_t index, const char* name, int32_t frames, bool precise, bool preload,
                         int32_t originX, int32_t originY) {
    if (index < 0 || index >= Sprite_Count() || !name || IsUrl(name) || !FileFound(name)) return false;
    CSprite* sprite = Sprite_FillSlot(index);
    const bool ok = sprite->LoadFromFile(name, AlphaOptions(frames, precise, preload, originX, originY));
    Rename(index);
    return ok;
}

int32_t Sprite_Duplicate(int32_t index) {
    const CSprite* source = Sprite_Get(index);
    if (!source) return -1;
    const int32_t copy = Sprite_CreateEmpty();
    if (copy < 0) return -1;
    CSprite* sprite = Sprite_Get(copy);
    sprite->CopyFrom(*source);
    // A copy of a data-file sprite gets pictures of its own, so it can be saved, merged and
    // changed like any run-time sprite.
    if (sprite->m_bitmapCount == 0 && sprite->m_pageEntries && !sprite->m_ownsPageEntries &&
        sprite->ExtractFrameBitmaps()) {
        MEM_FREE(sprite->m_pageEntries);  // the shared entries belong to the data file
        sprite->m_pageEntries = nullptr;
        sprite->CreateTextures();
        sprite->BuildPageEntries();
    }
    Rename(copy);
    return copy;
}

bool Sprite_Assign(int32_t destination, int32_t source) {
    if (destination < 0 || destination >= Sprite_Count()) return false;
    const CSprite* from = Sprite_Get(source);
    if (!from) return false;
    CSprite* to = Sprite_FillSlot(destination);
    if (to == from) return true;
    to->CopyFrom(*from);
    Rename(destination);
    return true;
}
