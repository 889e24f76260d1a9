#include "assets/Background_Main.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "assets/Graphics_Bitmap32.h"
#include "assets/ImageDecode.h"
#include "graphics/TBitmap.h"
#include "core/Code_Constant.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/ResourceTable.h"
#include "data/Function_Data_Structures.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TexturesM.h"
#include "io/HTTP_Main.h"
#include "io/LoadSave.h"
#include "world/World_Services.h"
#include "base/GEN8.h"
#include "base/GameFile.h"

namespace {

constexpr uint32_t kWord = 4;
constexpr uint32_t kLegacyEntryBytes = 5 * kWord;  // name, three flags, page entry
constexpr uint32_t kTileSetEntryBytes = 64;        // up to the tile id table
constexpr uint32_t kPageEntryBytes = sizeof(TexturePageEntry);
constexpr uint32_t kOversizeColour = 0xFF0000;  // opaque blue
constexpr float kDegreesToRadians = 3.1415927f / 180.0f;

struct BackgroundTable : ResourceTable<CBackground> {
    char** names = nullptr;
};
BackgroundTable g_table;

char* CopyName(const char* name) {
    const size_t length = std::strlen(name);
    auto* copy = static_cast<char*>(MEM_ALLOC(length + 1));
    std::memcpy(copy, name, length + 1);
    return copy;
}

void DeleteAll() {
    for (int32_t i = 0; i < g_table.count; ++i) {
        delete g_table.slots[i];
        MEM_FREE(g_table.names[i]);
    }
    MEM_FREE(g_table.slots);
    MEM_FREE(g_table.names);
    g_table = BackgroundTable{};
}

// Both arrays grow to `count`; new slots are empty (the manager zero-fills growth).
void GrowTable(int32_t count) {
    const size_t slots = static_cast<size_t>(count);
    g_table.slots = static_cast<CBackground**>(MEM_REALLOC(g_table.slots, slots * sizeof(CBackground*)));
    g_table.names = static_cast<char**>(MEM_REALLOC(g_table.names, slots * sizeof(char*)));
    for (int32_t i = g_table.count; i < count; ++i) {
        g_table.slots[i] = nullptr;
        g_table.names[i] = nullptr;
    }
    g_table.count = count;
}

// A new slot at the end named "__newbackground%d", holding an empty background.
int32_t AppendSlot() {
    if (g_table.count == 0x7FFFFFFF) return -1;
    const int32_t index = g_table.count;
    GrowTable(index + 1);
    char name[64];
    std::snprintf(name, sizeof name, "__newbackground%d", index);
    g_table.names[index] = CopyName(name);
    g_table.slots[index] = new CBackground();
    return index;
}

// Whether size bytes at a file offset lie inside the loaded file.
bool Fits(uint64_t offset, uint64_t size) {
    return offset <= Form_Size() && size <= Form_Size() - offset;
}

bool IsUrl(const char* path) {
    return std::strncmp(path, "http://", 7) == 0 || std::strncmp(path, "https://", 8) == 0;
}

// Save area first, then the bundle; false when the name is in neither.
bool FileFound(const char* path) {
    return LoadSave_SaveFileExists(path) || LoadSave_BundleFileExists(path);
}

bool StartsWith(const uint8_t* data, int32_t size, const uint8_t* signature, int32_t length) {
    return size >= length && std::memcmp(data, signature, static_cast<size_t>(length)) == 0;
}

const uint8_t kJpegSignature[] = {0xFF, 0xD8, 0xFF};
const uint8_t kGifSignature[] = {0x47, 0x49, 0x46, 0x38};
const uint8_t kPngSignature[] = {0x89, 0x50, 0x4E, 0x47};

// ---- downloads -------------------------------------------------------------------------------

constexpr int32_t kAsyncEventImageLoad = 60;

struct DownloadRecord : MemoryManaged {
    int32_t slot;
    uint32_t flags;  // removeback | smooth << 1 | preload << 2
};

void DecodeDownload(HTTP_REQ_CONTEXT* record, const DownloadRecord* download) {
    CBackground* background = Background_Get(download->slot);
    if (!background) return;
    const bool removeBack = (download->flags & 1) != 0;
    background->LoadImageData(record->url ? record->url : "", record->result, record->received.load(),
                              removeBack, (download->flags & 2) != 0, (download->flags & 4) != 0,
                              !removeBack);
}

int32_t DownloadCompleted(HTTP_REQ_CONTEXT* record, void* userData, int32_t* map) {
    const auto* download = static_cast<const DownloadRecord*>(userData);
    // A failed transfer counts as one that brought nothing, whatever part of it arrived.
    const bool arrived = !record->failed && record->result && record->received.load() > 0;
    *map = DsMap_CreateFromPairs(
        4, "filename", 0.0, record->url ? record->url : "", "id", static_cast<double>(download->slot),
        static_cast<const char*>(nullptr), "http_status", static_cast<double>(record->httpStatus),
        static_cast<const char*>(nullptr), "status", arrived ? 0.0 : -1.0, static_cast<const char*>(nullptr));
    if (record->httpStatus == 200 && arrived) DecodeDownload(record, download);
    return kAsyncEventImageLoad;
}

void DownloadCleanup(HTTP_REQ_CONTEXT* record) {
    delete static_cast<DownloadRecord*>(record->userData);
    record->userData = nullptr;
}

void StartDownload(const char* url, int32_t slot, bool removeBack, bool smooth, bool preload) {
    auto* download = new DownloadRecord();
    download->slot = slot;
    download->flags = uint32_t(removeBack) | uint32_t(smooth) << 1 | uint32_t(preload) << 2;
    HTTP_Get(url, DownloadCompleted, DownloadCleanup, download);
}

}  // namespace

// ---- CBackground -----------------------------------------------------------------------------

CBackground::CBackground() {
    Clear();
}

CBackground::~CBackground() {
    Clear();
}

void CBackground::Clear() {
    delete m_bitmap;
    m_bitmap = nullptr;
    FreeTexture();
    m_width = m_height = 0;
    m_transparent = m_smooth = m_preload = false;
    m_pageEntry = nullptr;
    m_tileSet = BackgroundTileSet{};
}

bool CBackground::LoadFromChunk(ChunkView& chunk, uint32_t entry, bool layerMode) {
    Clear();
    if (!Fits(entry, kLegacyEntryBytes)) return chunk.Fail("background at %u lies outside the file", entry);
    auto word = [&](uint32_t i) { return chunk.FileU32(entry + i * kWord); };
    const uint32_t page = word(4);
    if (page != 0) {
        if (!Fits(page, kPageEntryBytes))
            return chunk.Fail("background at %u: its page entry lies outside the file", entry);
        m_pageEntry = reinterpret_cast<TexturePageEntry*>(Form_Base() + page);
        m_width = m_pageEntry->boundWidth;
        m_height = m_pageEntry->boundHeight;
    }
    m_transparent = word(1) != 0;
    m_smooth = word(2) != 0;
    m_preload = word(3) != 0;
    if (!layerMode) return chunk.Ok();
    if (!Fits(entry, kLegacyEntryBytes + kWord))
        return chunk.Fail("background at %u: its tile-set version lies outside the file", entry);
    if (word(5) < 2) return chunk.Ok();
    if (!Fits(entry, kTileSetEntryBytes))
        return chunk.Fail("background at %u: its tile set lies outside the file", entry);
    const int32_t* block = reinterpret_cast<const int32_t*>(Form_Base() + entry + 6 * kWord);
    BackgroundTileSet& t = m_tileSet;
    int32_t* fields[] = {&t.tileWidth, &t.tileHeight,    &t.borderX,  &t.borderY,
                         &t.columns,   &t.framesPerTile, &t.tileCount};
    for (int32_t i = 0; i < 7; ++i) std::memcpy(fields[i], block + i, sizeof(int32_t));
    std::memcpy(&t.frameTime, Form_Base() + entry + 56, sizeof(int64_t));
    const uint64_t ids = uint64_t(uint32_t(t.tileCount)) * uint64_t(uint32_t(t.framesPerTile));
    if (t.tileCount < 0 || t.framesPerTile < 0 || !Fits(uint64_t(entry) + kTileSetEntryBytes, ids * kWord))
        return chunk.Fail("background at %u: its %d tiles lie outside the file", entry, t.tileCount);
    t.tileIds = reinterpret_cast<const uint32_t*>(Form_Base() + entry + kTileSetEntryBytes);
    return chunk.Ok();
}

void CBackground::FreeTexture() {
    if (m_textureId >= 0) GR_Texture_Free(m_textureId);
    m_textureId = -1;
}

void CBackground::CreateTexture() {
    FreeTexture();
    m_textureId = GR_Texture_Create_From_Bitmap(m_bitmap);
    if (m_preload && m_textureId >= 0) GR_Texture_Preload(m_textureId);
}

void CBackground::TakeBitmap(CBitmap32* bitmap) {
    delete m_bitmap;
    m_bitmap = bitmap;
}

void CBackground::Assign(const CBackground& other) {
    if (this == &other) return;
    Clear();
    m_width = other.m_width;
    m_height = other.m_height;
    m_transparent = other.m_transparent;
    m_smooth = other.m_smooth;
    m_preload = other.m_preload;
    m_pageEntry = other.m_pageEntry;
    if (other.m_bitmap) m_bitmap = new CBitmap32(*other.m_bitmap);
    CreateTexture();
}

bool CBackground::CopyPageToBitmap() {
    if (m_bitmap) return true;
    if (!m_pageEntry) return false;
    const TexturePageEntry page = *m_pageEntry;
    uint32_t* pixels = GR_Texture_Read_Pixels(GR_Texture_Get(page.texture), page.sourceX, page.sourceY,
                                              page.sourceWidth, page.sourceHeight);
    if (!pixels) return false;
    BitmapLoader* loader = BitmapLoader_Create(pixels, page.sourceWidth, page.sourceHeight);
    MEM_FREE(pixels);
    TBitmap* image = loader ? loader->GetFrame(0) : nullptr;
    delete loader;
    if (!image) return false;
    TakeBitmap(new CBitmap32(image, false, false, true));
    delete image;
    m_pageEntry = nullptr;
    CreateTexture();
    return true;
}

void CBackground::CreateFromBitmap(TBitmap* image, bool transparent, bool smooth, bool preload,
                                   bool keepAlpha) {
    Clear();
    m_transparent = transparent;
    m_smooth = smooth;
    m_preload = preload;
    m_width = image ? image->GetWidth() : 0;
    m_height = image ? image->GetHeight() : 0;
    const int32_t limit = GR_Texture_Max_Size();
    if (m_width > limit || m_height > limit) {
        DebugConsole.Output(
            "Error creating background: image width or height exceeds maximum texture size of %d\n", limit);
        m_width = std::min(m_width, limit);
        m_height = std::min(m_height, limit);
        auto* blank = new CBitmap32(m_width, m_height, kOversizeColour);
        if (transparent) {
            blank->RemoveBackground();
            if (smooth) blank->SmoothEdges();
        }
        TakeBitmap(blank);
    } else {
        TakeBitmap(new CBitmap32(image, transparent, smooth, keepAlpha));
    }
    CreateTexture();
}

void CBackground::CreateColour(int32_t width, int32_t height, uint32_t colour, bool preload) {
    Clear();
    m_preload = preload;
    m_width = width;
    m_height = height;
    TakeBitmap(new CBitmap32(width, height, colour));
    CreateTexture();
}

void CBackground::CreateGradient(int32_t width, int32_t height, uint32_t colour1, uint32_t colour2,
                                 int32_t kind, bool preload) {
    Clear();
    m_preload = preload;
    m_width = width;
    m_height = height;
    TakeBitmap(new CBitmap32(width, height, colour1, colour2, kind));
    CreateTexture();
}

void CBackground::SetAlphaFromBackground(const CBackground* other) {
    if (!m_bitmap || !other || !other->m_bitmap) {
        DebugConsole.Output("Both bitmaps need to be duplicated first\n");
        return;
    }
    m_bitmap->AlphaFromIntensity(other->m_bitmap);
    CreateTexture();
}

bool CBackground::LoadFile(const char* path, bool transparent, bool smooth, bool preload, bool keepAlpha) {
    int64_t size = 0;
    void* bytes = LoadSave_ReadSaveFile(path, &size);
    if (!bytes) bytes = LoadSave_ReadBundleFile(path, &size);
    FreeTexture();
    if (bytes) {
        const int32_t size32 = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(size);
        LoadImageData(path, static_cast<const uint8_t*>(bytes), size32, transparent, smooth, preload,
                      keepAlpha);
        MEM_FREE(bytes);
    }
    return true;
}

bool CBackground::LoadImageData(const char* name, const uint8_t* data, int32_t size, bool transparent,
                                bool smooth, bool preload, bool keepAlpha) {
    int32_t width = 0, height = 0;
    auto take = [&](const void* pixels) {
        return pixels && width > 0 && height > 0 &&
               CreateFromPixels(pixels, width, height, transparent, smooth, preload, keepAlpha);
    };
    if (data && StartsWith(data, size, kJpegSignature, 3)) {
        uint8_t* pixels = JPEG_Decode(data, size, &width, &height);
        const bool done = take(pixels);
        MEM_FREE(pixels);
        if (done) return true;
    }
    if (data && StartsWith(data, size, kGifSignature, 4)) {
        uint8_t* pixels = GIF_Decode(data, size, &width, &height);
        const bool done = take(pixels);
        MEM_FREE(pixels);
        if (done) return true;
    }
    if (data && StartsWith(data, size, kPngSignature, 4)) {
        const bool done = take(PNG_Decode(data, size, &width, &height));
        PNG_Release();
        if (done) return true;
    }
    DebugConsole.Output("Failed to decode background data in %s\n", name ? name : "");
    return false;
}

bool CBackground::CreateFromPixels(const void* pixels, int32_t width, int32_t height, bool transparent,
                                   bool smooth, bool preload, bool keepAlpha) {
    BitmapLoader* loader = BitmapLoader_Create(pixels, width, height);
    TBitmap* image = loader ? loader->GetFrame(0) : nullptr;
    delete loader;
    // A size no picture can have leaves the background empty rather than half made.
    if (!image) return false;
    CreateFromBitmap(image, transparent, smooth, preload, keepAlpha);
    delete image;
    return true;
}

// ---- drawing ---------------------------------------------------------------------------------

void CBackground::Draw(float x, float y) {
    if (m_pageEntry)
        GR_TPE_Draw(m_pageEntry, x, y);
    else
        GR_Texture_Draw(m_textureId, x, y);
}

void CBackground::DrawExt(float x, float y, float xScale, float yScale, float angle, uint32_t colour,
                          float alpha) {
    const float radians = angle * kDegreesToRadians;
    if (m_pageEntry)
        GR_TPE_Draw_Ext(m_pageEntry, 0, 0, x, y, xScale, yScale, radians, colour, alpha);
    else
        GR_Texture_Draw_Ext(m_textureId, 0, 0, x, y, xScale, yScale, radians, colour, alpha);
}

void CBackground::DrawStretched(float x, float y, float width, float height, uint32_t colour, float alpha) {
    if (width <= 0 || height <= 0 || m_width <= 0 || m_height <= 0) return;
    const float xScale = width / static_cast<float>(m_width);
    const float yScale = height / static_cast<float>(m_height);
    if (m_pageEntry)
        GR_TPE_Draw_Ext(m_pageEntry, 0, 0, x, y, xScale, yScale, 0, colour, alpha);
    else
        GR_Texture_Draw_Ext(m_textureId, 0, 0, x, y, xScale, yScale, 0, colour, alpha);
}

void CBackground::DrawPart(float left, float top, float width, float height, float x, float y, float xScale,
                           float yScale, uint32_t colour, float alpha) {
    if (m_pageEntry)
        GR_TPE_Draw_Part(m_pageEntry, left, top, width, height, x, y, xScale, yScale, 0, colour, alpha);
    else
        GR_Texture_Draw_Part(m_textureId, left, top, width, height, x, y, xScale, yScale, 0, colour, alpha);
}

void CBackground::DrawGeneral(float left, float top, float width, float height, float x, float y,
                              float xScale, float yScale, float angle, uint32_t colour1, uint32_t colour2,
                              uint32_t colour3, uint32_t colour4, float alpha) {
    const float radians = angle * kDegreesToRadians;
    if (m_pageEntry)
        GR_TPE_Draw_General(m_pageEntry, left, top, width, height, x, y, xScale, yScale, radians, colour1,
                            colour2, colour3, colour4, alpha);
    else
        GR_Texture_Draw_General(m_textureId, left, top, width, height, x, y, xScale, yScale, radians, colour1,
                                colour2, colour3, colour4, alpha);
}

void CBackground::DrawTiled(float x, float y, float xScale, float yScale, bool horizontal, bool vertical,
                            float regionLeft, float regionTop, float regionWidth, float regionHeight,
                            uint32_t colour, float alpha) {
    if (m_pageEntry)
        GR_TPE_Draw_Tiled(m_pageEntry, 0, 0, x, y, xScale, yScale, horizontal, vertical, regionLeft,
                          regionTop, regionWidth, regionHeight, colour, alpha);
    else
        GR_Texture_Draw_Tiled(m_textureId, 0, 0, x, y, xScale, yScale, horizontal, vertical, regionLeft,
                              regionTop, regionWidth, regionHeight, colour, alpha);
}

// ---- the table -------------------------------------------------------------------------------

void Background_Init() {
    DeleteAll();
}

void Background_Load(ChunkView& chunk) {
    const uint32_t count = chunk.Count(0, kWord);
    if (!chunk.Ok()) return;
    if (count > 0x7FFFFFFEu) {
        chunk.Fail("too many backgrounds (%u)", count);
        return;
    }
    DeleteAll();
    GrowTable(static_cast<int32_t>(count));
    const bool layerMode = g_GameHeader.layerModel;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t entry = chunk.U32(kWord + kWord * i);
        if (entry == 0) continue;
        auto* background = new CBackground();
        if (!background->LoadFromChunk(chunk, entry, layerMode)) {
            delete background;
            return;
        }
        const char* name = chunk.String(chunk.FileU32(entry));
        if (!name) {
            delete background;
            chunk.Fail("background at %u has no name", entry);
            return;
        }
        g_table.names[i] = CopyName(name);
        g_table.slots[i] = background;
    }
}

void Background_InitTextures() {
    for (int32_t i = 0; i < g_table.count; ++i)
        if (CBackground* background = g_table.slots[i]) background->CreateTexture();
}

void Background_Shutdown() {
    for (int32_t i = 0; i < g_table.count; ++i) {
        MEM_FREE(g_table.names[i]);
        g_table.names[i] = nullptr;
    }
    for (int32_t i = 0; i < g_table.count; ++i)
        if (g_table.slots[i]) g_table.slots[i]->FreeTexture();
    DeleteAll();
}

int32_t Background_Count() {
    return g_table.count;
}

CBackground* Background_Get(int32_t index) {
    return g_table.Get(index);
}

bool Background_Exists(int32_t index) {
    return Background_Get(index) != nullptr;
}

const char* Background_GetName(int32_t index) {
    return Background_Exists(index) && g_table.names[index] ? g_table.names[index] : "<undefined>";
}

int32_t Background_Find(const char* name) {
    if (!name) return -1;
    for (int32_t i = 0; i < g_table.count; ++i)
        if (g_table.slots[i] && g_table.names[i] && std::strcmp(g_table.names[i], name) == 0) return i;
    return -1;
}

int32_t Background_Add(const char* path, bool removeBack, bool smooth, bool preload) {
    if (!path) return -1;
    if (IsUrl(path)) {
        const int32_t index = AppendSlot();
        if (index >= 0) StartDownload(path, index, removeBack, smooth, preload);
        return index;
    }
    if (!FileFound(path)) return -1;
    const int32_t index = AppendSlot();
    if (index >= 0) g_table.slots[index]->LoadFile(path, removeBack, smooth, preload, !removeBack);
    return index;
}

bool Background_Replace(int32_t index, const char* path, bool removeBack, bool smooth, bool preload) {
    if (!g_table.InRange(index) || !path) return false;
    if (!g_table.slots[index]) g_table.slots[index] = new CBackground();
    if (IsUrl(path)) {
        StartDownload(path, index, removeBack, smooth, preload);
        return false;
    }
    if (!FileFound(path)) return false;
    g_table.slots[index]->LoadFile(path, removeBack, smooth, preload, !removeBack);
    return true;
}

int32_t Background_AddAlpha(const char* path, bool preload) {
    if (!path || !FileFound(path)) return -1;
    const int32_t index = AppendSlot();
    if (index >= 0) g_table.slots[index]->LoadFile(path, true, false, preload, true);
    return index;
}

bool Background_ReplaceAlpha(int32_t index, const char* path, bool preload) {
    if (!g_table.InRange(index) || !path || !FileFound(path)) return false;
    if (!g_table.slots[index]) g_table.slots[index] = new CBackground();
    g_table.slots[index]->LoadFile(path, true, false, preload, true);
    return true;
}

int32_t Background_AddEmpty() {
    return AppendSlot();
}

int32_t Background_Duplicate(int32_t index) {
    if (!Background_Exists(index)) return -1;
    const int32_t copy = AppendSlot();
    if (copy < 0) return -1;
    g_table.slots[copy]->Assign(*g_table.slots[index]);
    g_table.slots[copy]->CopyPageToBitmap();
    return copy;
}

bool Background_Assign(int32_t destination, int32_t source) {
    if (!Background_Exists(source) || !g_table.InRange(destination)) return false;
    if (destination == source) return true;
    if (!g_table.slots[destination]) g_table.slots[destination] = new CBackground();
    g_table.slots[destination]->Assign(*g_table.slots[source]);
    return true;
}

bool Background_Delete(int32_t index) {
    if (!Background_Exists(index)) return false;
    delete g_table.slots[index];
    g_table.slots[index] = nullptr;
    MEM_FREE(g_table.names[index]);
    g_table.names[index] = nullptr;
    return true;
}

namespace {

// A room's stretched backgrounds and background_width/height ask for the size.
bool BackgroundSizeOf(int32_t index, int32_t* width, int32_t* height) {
    const CBackground* background = Background_Get(index);
    if (background == nullptr) return false;
    *width = background->GetWidth();
    *height = background->GetHeight();
    return true;
}

}  // namespace

void Background_InstallHooks() {
    Form_RegisterChunkReader("BGND", ChunkReader{Background_Load, Background_Init, Background_Shutdown});
    Asset_SetFinder(ASSET_BACKGROUND, Background_Find);
    WorldServices services;
    services.backgroundExists = Background_Exists;
    services.backgroundSize = BackgroundSizeOf;
    World_InstallServices(&services);
}
