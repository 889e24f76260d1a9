#include "assets/Sprite_Main.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "assets/Graphics_Bitmap32.h"
#include "assets/Sprite_Skeleton.h"
#include "core/Code_Constant.h"
#include "core/Console.h"
#include "core/InstanceWorld.h"
#include "core/MemoryManager.h"
#include "core/ResourceTable.h"
#include "graphics/Graphics_Texture.h"
#include "base/GEN8.h"
#include "base/GameFile.h"

namespace {

constexpr uint32_t kWord = 4;
constexpr uint32_t kCommonWords = 15;  // words 0..14 of every entry
constexpr uint32_t kPageEntryBytes = sizeof(TexturePageEntry);

// The table: sprites and their names, both exactly `count` long.
struct SpriteTable : ResourceTable<CSprite> {
    int32_t capacity = 0;
    char** names = nullptr;
};
SpriteTable g_table;

char* CopyName(const char* name) {
    const size_t length = std::strlen(name);
    auto* copy = static_cast<char*>(MEM_ALLOC(length + 1));
    std::memcpy(copy, name, length + 1);
    return copy;
}

void ResizeTable(int32_t count) {
    const size_t slots = count > 0 ? static_cast<size_t>(count) : 0;
    if (count > g_table.count) {
        g_table.slots = static_cast<CSprite**>(MEM_REALLOC(g_table.slots, slots * sizeof(CSprite*)));
        g_table.names = static_cast<char**>(MEM_REALLOC(g_table.names, slots * sizeof(char*)));
    }
    // The manager never shrinks a block: slots past a smaller count are cleared instead.
    for (int32_t i = count; i < g_table.count; ++i) {
        g_table.slots[i] = nullptr;
        g_table.names[i] = nullptr;
    }
    g_table.count = g_table.capacity = count;
}

void DeleteSlot(int32_t index) {
    if (g_table.names[index]) SpriteNameHash::Remove(g_table.names[index]);
    delete g_table.slots[index];
    MEM_FREE(g_table.names[index]);
    g_table.slots[index] = nullptr;
    g_table.names[index] = nullptr;
}

void DeleteAll() {
    for (int32_t i = 0; i < g_table.count; ++i) {
        delete g_table.slots[i];
        MEM_FREE(g_table.names[i]);
    }
    MEM_FREE(g_table.slots);
    MEM_FREE(g_table.names);
    g_table = SpriteTable{};
}

float CornerDistance(int64_t dx, int64_t dy) {
    return std::sqrt(static_cast<float>(dx * dx + dy * dy));
}

}  // namespace

// ---- CSprite -------------------------------------------------------------------------------

CSprite::CSprite() {
    Free();
}

CSprite::~CSprite() {
    Free();
}

uint32_t Sprite_PackedMaskBytes(int32_t width, int32_t height) {
    if (width < 1 || height < 1) return 0;
    const uint64_t bytes = (static_cast<uint64_t>(width) + 7) / 8 * static_cast<uint64_t>(height);
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

void CSprite::FreeOwnedPageEntries() {
    if (!m_ownsPageEntries) return;
    for (int32_t i = 0; i < m_ownedPageEntryCount; ++i) {
        GR_Texture_Page_Forget(m_pageEntries[i]);
        MEM_FREE(m_pageEntries[i]);
    }
    MEM_FREE(m_pageEntries);
    m_pageEntries = nullptr;
    m_ownsPageEntries = false;
    m_ownedPageEntryCount = 0;
}

void CSprite::Free() {
    FreeVectorData();
    delete m_skeleton;
    m_skeleton = nullptr;
    FreeOwnedPageEntries();
    if (m_pageEntries) {
        // Data-file entries: the array is ours, the entries belong to the file.
        MEM_FREE(m_pageEntries);
        m_pageEntries = nullptr;
    }
    for (int32_t i = 0; i < m_bitmapCount; ++i) delete m_bitmaps[i];
    FreeTextures();
    MEM_FREE(m_bitmaps);
    MEM_FREE(m_textureIds);
    m_bitmaps = nullptr;
    m_textureIds = nullptr;
    m_bitmapCount = m_textureCount = 0;
    FreeMasks();
    m_kind = SPRITE_BITMAP;
    m_frameCount = 0;
    m_width = m_height = 1;
    m_originX = m_originY = 0;
    m_box = {0, 0, 0, 0};
    m_boxMode = SPRITE_BOX_AUTOMATIC;
    m_boundingRadius = 0;
    m_transparent = true;
    m_smooth = false;
    m_preload = true;
    m_precise = true;
    m_name = nullptr;
    m_index = 0;
}

void CSprite::ComputeBoundingRadius() {
    const int64_t ox = m_originX, oy = m_originY, w = m_width, h = m_height;
    const float corners[4] = {CornerDistance(ox, oy), CornerDistance(w - ox, oy), CornerDistance(ox, h - oy),
                              CornerDistance(w - ox, h - oy)};
    int32_t radius = 0;
    for (float distance : corners) {
        const float up = std::ceil(distance);
        const int32_t r = up < 2147483647.0f ? static_cast<int32_t>(up) : 2147483647;
        if (r > radius) radius = r;
    }
    m_boundingRadius = radius;
}

namespace {

// Whether size bytes at a file offset lie inside the loaded file. Checked before each read so
// that the failure recorded for the chunk is the one that names the sprite.
bool Fits(uint64_t offset, uint64_t size) {
    return offset <= Form_Size() && size <= Form_Size() - offset;
}

}  // namespace

bool CSprite::LoadFromChunk(ChunkView& chunk, uint32_t entry, bool layerMode) {
    Free();
    if (!Fits(entry, kCommonWords * kWord)) return chunk.Fail("sprite at %u lies outside the file", entry);
    const uint32_t nameRef = chunk.FileU32(entry);
    const char* name = nameRef ? chunk.String(nameRef) : nullptr;
    if (!name) return chunk.Fail("sprite at %u has no name", entry);
    auto word = [&](uint32_t i) { return chunk.FileI32(entry + i * kWord); };
    m_width = word(1);
    m_height = word(2);
    m_box = {word(3), word(6), word(4), word(5)};
    m_transparent = word(7) != 0;
    m_smooth = word(8) != 0;
    m_preload = word(9) != 0;
    m_boxMode = word(10);
    m_precise = word(11) != 0;
    m_originX = word(12);
    m_originY = word(13);

    uint64_t at = entry + 14 * kWord;  // the frame count (legacy form)
    bool countPresent = word(14) >= 0;
    if (!countPresent) {
        const uint32_t words = layerMode ? 4 : 3;  // the unread word, the kind, the speed
        if (!Fits(entry + 15 * kWord, words * kWord)) return chunk.Fail("sprite %s is cut short", name);
        m_kind = word(16);
        at = entry + 17 * kWord;
        if (layerMode) {
            m_playbackSpeed = chunk.FileF32(static_cast<uint32_t>(at));
            at += kWord;
        }
        countPresent = layerMode;
    }
    if (m_kind == SPRITE_VECTOR) {
        // The kind data follows one unread word.
        m_vectorFromDataFile = true;
        if (!Fits(at, kWord)) return chunk.Fail("sprite %s: its vector data lies outside the file", name);
        const uint64_t data = at + kWord;
        if (!LoadVectorShapes(Form_Base() + data, int64_t(Form_Size() - data), m_originX, m_originY))
            return chunk.Fail("sprite %s: its vector data is damaged", name);
        return chunk.Ok();
    }
    if (m_kind == SPRITE_SKELETON) {
        // The skeleton block begins with the unread word.
        if (!Fits(at, 24)) return chunk.Fail("sprite %s: its skeleton lies outside the file", name);
        const uint64_t sizes = uint64_t(chunk.FileU32(uint32_t(at + 4))) + chunk.FileU32(uint32_t(at + 8)) +
                               chunk.FileU32(uint32_t(at + 12));
        if (!Fits(at, 24 + sizes)) return chunk.Fail("sprite %s: its skeleton lies outside the file", name);
        m_skeleton = new CSkeletonAsset(Form_Base() + at, int64_t(24 + sizes));
        m_frameCount = SPRITE_SKELETON_FRAMES;
        return chunk.Ok();
    }
    if (m_kind != SPRITE_BITMAP) {
        DebugConsole.Output("Sprite %s: sprites of kind %d are not supported, loaded empty\n", name, m_kind);
        return chunk.Ok();
    }

    if (countPresent) {
        if (!Fits(at, kWord)) return chunk.Fail("sprite %s has no frame count", name);
        const uint32_t count = chunk.FileU32(static_cast<uint32_t>(at));
        at += kWord;
        if (count > 0x7FFFFFFFu || !Fits(at, uint64_t(count) * kWord))
            return chunk.Fail("sprite %s: its %u frames lie outside the file", name, count);
        m_frameCount = static_cast<int32_t>(count);
    }
    if (m_frameCount > 0) {
        m_pageEntries = static_cast<TexturePageEntry**>(MEM_ALLOC(size_t(m_frameCount) * sizeof(void*)));
        for (int32_t i = 0; i < m_frameCount; ++i, at += kWord) {
            const uint32_t offset = chunk.FileU32(static_cast<uint32_t>(at));
            if (offset == 0) continue;
            if (!Fits(offset, kPageEntryBytes))
                return chunk.Fail("sprite %s: frame %d lies outside the file", name, i);
            m_pageEntries[i] = reinterpret_cast<TexturePageEntry*>(Form_Base() + offset);
        }
    }

    if (!Fits(at, kWord)) return chunk.Fail("sprite %s: its mask count lies outside the file", name);
    const int32_t maskCount = chunk.FileI32(static_cast<uint32_t>(at));
    at += kWord;
    if (maskCount >= 1) {
        const uint64_t bytes = uint64_t(maskCount) * Sprite_PackedMaskBytes(m_width, m_height);
        if (!Fits(at, bytes))
            return chunk.Fail("sprite %s: its %d masks lie outside the file", name, maskCount);
        m_packedMaskCount = maskCount;
        m_packedMasks = bytes ? Form_Base() + at : nullptr;
        m_masksPerFrame = maskCount == m_frameCount;
    } else {
        m_packedMaskCount = 0;
        m_packedMasks = nullptr;
    }
    ComputeBoundingRadius();
    return chunk.Ok();
}

void CSprite::FreeTextures() {
    for (int32_t i = 0; i < m_textureCount; ++i) {
        if (m_textureIds[i] >= 0) GR_Texture_Free(m_textureIds[i]);
        m_textureIds[i] = -1;
    }
}

void CSprite::CreateTextures() {
    FreeTextures();
    if (m_pageEntries && !m_ownsPageEntries) return;
    if (m_frameCount <= 0 || m_bitmapCount <= 0) return;
    const int32_t count = m_frameCount < m_bitmapCount ? m_frameCount : m_bitmapCount;
    if (count > m_textureCount) {
        m_textureIds = static_cast<int32_t*>(MEM_REALLOC(m_textureIds, size_t(count) * sizeof(int32_t)));
        m_textureCount = count;
    }
    for (int32_t i = 0; i < m_textureCount; ++i) {
        m_textureIds[i] = i < count ? GR_Texture_Create_From_Bitmap(m_bitmaps[i]) : -1;
        if (m_preload && m_textureIds[i] >= 0) GR_Texture_Preload(m_textureIds[i]);
    }
}

void CSprite::BuildPageEntries() {
    if (m_pageEntries && !m_ownsPageEntries) return;
    FreeOwnedPageEntries();
    if (m_bitmapCount <= 0) return;
    m_pageEntries = static_cast<TexturePageEntry**>(MEM_ALLOC(size_t(m_bitmapCount) * sizeof(void*)));
    for (int32_t i = 0; i < m_bitmapCount; ++i) {
        auto* entry = static_cast<TexturePageEntry*>(MEM_ALLOC(sizeof(TexturePageEntry)));
        const auto w = static_cast<int16_t>(m_bitmaps[i]->GetWidth());
        const auto h = static_cast<int16_t>(m_bitmaps[i]->GetHeight());
        const int32_t texture = i < m_textureCount ? m_textureIds[i] : -1;
        *entry = {0, 0, w, h, 0, 0, w, h, w, h, static_cast<int16_t>(texture & 0xFFFF)};
        m_pageEntries[i] = entry;
    }
    m_ownsPageEntries = true;
    m_ownedPageEntryCount = m_bitmapCount;
}

int32_t CSprite::WrapFrame(int32_t frame) const {
    if (m_frameCount < 1) return -1;
    int32_t wrapped = frame % m_frameCount;
    if (wrapped < 0) wrapped += m_frameCount;
    return wrapped;
}

TexturePageEntry* CSprite::GetPageEntry(int32_t frame) const {
    if (m_kind == SPRITE_VECTOR || !m_pageEntries) return nullptr;
    const int32_t i = WrapFrame(frame);
    if (i < 0) return nullptr;
    if (m_ownsPageEntries && i >= m_ownedPageEntryCount) return nullptr;
    return m_pageEntries[i];
}

int32_t CSprite::GetTextureId(int32_t frame) const {
    if (m_kind == SPRITE_VECTOR || !m_textureIds) return -1;
    const int32_t i = WrapFrame(frame);
    return i >= 0 && i < m_textureCount ? m_textureIds[i] : -1;
}

int32_t* CSprite::GetFrameBounds(int32_t frame) const {
    auto* bounds = static_cast<int32_t*>(MEM_ALLOC(4 * sizeof(int32_t)));
    if (frame < 0 || frame >= m_frameCount) return bounds;
    if (m_pageEntries && (!m_ownsPageEntries || frame < m_ownedPageEntryCount)) {
        if (const TexturePageEntry* e = m_pageEntries[frame]) {
            bounds[0] = e->targetX;
            bounds[1] = e->targetY;
            bounds[2] = e->targetX + e->sourceWidth;
            bounds[3] = e->targetY + e->sourceHeight;
        }
        return bounds;
    }
    if (frame < m_bitmapCount && m_bitmaps[frame]) {
        int32_t* opaque = m_bitmaps[frame]->GetOpaqueBounds();
        if (opaque) {
            std::memcpy(bounds, opaque, 4 * sizeof(int32_t));
            MEM_FREE(opaque);
        }
    }
    return bounds;
}

// ---- the table -----------------------------------------------------------------------------

void Sprite_Init() {
    DeleteAll();
    SpriteNameHash::Clear();
}

void Sprite_Load(ChunkView& chunk) {
    const uint32_t count = chunk.Count(0, kWord);
    if (!chunk.Ok()) return;
    if (count > 0x7FFFFFFFu) {
        chunk.Fail("too many sprites (%u)", count);
        return;
    }
    for (int32_t i = 0; i < g_table.count; ++i) DeleteSlot(i);
    ResizeTable(static_cast<int32_t>(count));
    const bool layerMode = g_GameHeader.layerModel;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t entry = chunk.U32(kWord + kWord * i);
        if (entry == 0) continue;
        auto* sprite = new CSprite();
        if (!sprite->LoadFromChunk(chunk, entry, layerMode)) {
            delete sprite;
            return;
        }
        g_table.names[i] = CopyName(chunk.String(chunk.FileU32(entry)));
        g_table.slots[i] = sprite;
        sprite->m_index = static_cast<int32_t>(i);
        sprite->m_name = g_table.names[i];
        SpriteNameHash::Insert(g_table.names[i], static_cast<int32_t>(i));
    }
}

void Sprite_InitTextures() {
    for (int32_t i = 0; i < g_table.count; ++i) {
        if (CSprite* sprite = g_table.slots[i]) {
            sprite->CreateTextures();
            sprite->BuildPageEntries();
        }
    }
}

void Sprite_FreeAll() {
    for (int32_t i = 0; i < g_table.count; ++i) {
        MEM_FREE(g_table.names[i]);
        g_table.names[i] = nullptr;
        if (g_table.slots[i]) g_table.slots[i]->FreeTextures();
    }
    DeleteAll();
    SpriteNameHash::Clear();
}

void Sprite_Shutdown() {}

int32_t Sprite_Count() {
    return g_table.count;
}

CSprite* Sprite_Get(int32_t index) {
    return g_table.Get(index);
}

bool Sprite_Exists(int32_t index) {
    return Sprite_Get(index) != nullptr;
}

const char* Sprite_GetName(int32_t index) {
    return Sprite_Exists(index) && g_table.names[index] ? g_table.names[index] : "<undefined>";
}

int32_t Sprite_Find(const char* name) {
    return name ? SpriteNameHash::Find(name) : -1;
}

bool Sprite_GetBoundingBox(int32_t index, SpriteBox* box, int32_t* originX, int32_t* originY) {
    const CSprite* sprite = Sprite_Get(index);
    if (!sprite) return false;
    if (box) *box = sprite->m_box;
    if (originX) *originX = sprite->m_originX;
    if (originY) *originY = sprite->m_originY;
    return true;
}

int32_t Sprite_CreateEmpty() {
    if (g_table.count == 0x7FFFFFFF) return -1;
    const int32_t index = g_table.count;
    ResizeTable(index + 1);
    char name[256];
    std::snprintf(name, sizeof name, "__newsprite%d", index);
    g_table.names[index] = CopyName(name);
    SpriteNameHash::Insert(g_table.names[index], index);
    auto* sprite = new CSprite();
    sprite->m_index = index;
    sprite->m_name = g_table.names[index];
    g_table.slots[index] = sprite;
    return index;
}

bool Sprite_Delete(int32_t index) {
    if (!Sprite_Exists(index)) return false;
    DeleteSlot(index);
    return true;
}

void Sprite_GiveUpLast() {
    const int32_t last = g_table.count - 1;
    if (last < 0) return;
    DeleteSlot(last);
    ResizeTable(last);
}

CSprite* Sprite_FillSlot(int32_t index) {
    if (!g_table.InRange(index)) return nullptr;
    if (!g_table.slots[index]) {
        auto* sprite = new CSprite();
        sprite->m_index = index;
        sprite->m_name = g_table.names[index];
        g_table.slots[index] = sprite;
    }
    return g_table.slots[index];
}

// ---- start-up ------------------------------------------------------------------------------

namespace {

bool SpriteInfoOf(int32_t index, SpriteInfo* out) {
    const CSprite* sprite = Sprite_Get(index);
    if (!sprite) return false;
    const bool skeleton = sprite->m_kind == SPRITE_SKELETON;
    const double duration =
        skeleton && sprite->m_skeleton ? sprite->m_skeleton->FirstAnimationDuration() : 0.0;
    *out = SpriteInfo{sprite->m_frameCount, skeleton, duration, sprite->m_playbackSpeed};
    return true;
}

}  // namespace

void Sprite_InstallHooks() {
    Form_RegisterChunkReader("SPRT", ChunkReader{Sprite_Load, Sprite_Init, Sprite_FreeAll});
    Asset_SetFinder(ASSET_SPRITE, Sprite_Find);
    InstanceWorldHooks hooks = InstanceWorld();
    hooks.spriteInfo = SpriteInfoOf;
    InstanceWorld_Install(&hooks);
    Sprite_InstallServices();
}
