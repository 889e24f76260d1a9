// Backgrounds: single pictures behind rooms, for legacy room tiles and, in layer mode, tile sets
// of tilemaps. Backgrounds of the data file draw from a texture-page entry inside the "BGND"
// chunk's file; backgrounds made at run time (files, URLs, colours, gradients, duplicates) own a
// 32-bit bitmap and a texture made from it. The table's index is the background id of game code.
#pragma once

#include <cstdint>

#include "core/MemoryManager.h"

class CBitmap32;
class ChunkView;
class TBitmap;
struct TexturePageEntry;

// The tile-set block (layer mode, block version 2 or more); zero otherwise.
struct BackgroundTileSet {
    int32_t tileWidth, tileHeight;
    int32_t borderX, borderY;
    int32_t columns;
    int32_t framesPerTile;
    int32_t tileCount;
    int32_t unused;
    int64_t frameTime;        // microseconds
    const uint32_t* tileIds;  // [tile x framesPerTile + frame], inside the loaded data file
};

class CBackground : public MemoryManaged {
public:
    CBackground();
    ~CBackground();
    CBackground(const CBackground&) = delete;
    CBackground& operator=(const CBackground&) = delete;

    // Drops the bitmap and the texture and zeroes the size, flags, page entry and tile set.
    void Clear();
    // Fills the background from the "BGND" entry at file offset `entry`. False (with the chunk's
    // failure recorded) when the entry, its page entry or its tile table lies outside the file.
    bool LoadFromChunk(ChunkView& chunk, uint32_t entry, bool layerMode);

    int32_t GetWidth() const { return m_width; }
    int32_t GetHeight() const { return m_height; }
    bool GetTransparent() const { return m_transparent; }
    bool GetSmooth() const { return m_smooth; }
    bool GetPreload() const { return m_preload; }
    TexturePageEntry* GetPageEntry() const { return m_pageEntry; }
    int32_t GetTextureId() const { return m_textureId; }
    const CBitmap32* GetBitmap() const { return m_bitmap; }
    const BackgroundTileSet& GetTileSet() const { return m_tileSet; }

    void CreateTexture();
    void FreeTexture();

    void Assign(const CBackground& other);
    // A data-file background becomes a run-time one: its page rectangle is read back into a
    // bitmap of its own. False when the pixels cannot be read.
    bool CopyPageToBitmap();
    void CreateFromBitmap(TBitmap* image, bool transparent, bool smooth, bool preload, bool keepAlpha);
    void CreateColour(int32_t width, int32_t height, uint32_t colour, bool preload);
    void CreateGradient(int32_t width, int32_t height, uint32_t colour1, uint32_t colour2, int32_t kind,
                        bool preload);
    void SetAlphaFromBackground(const CBackground* other);
    // Reads the file (save area first, then the bundle) and decodes it; true even when the image
    // could not be decoded (the background then stays empty).
    bool LoadFile(const char* path, bool transparent, bool smooth, bool preload, bool keepAlpha);
    bool LoadImageData(const char* name, const uint8_t* data, int32_t size, bool transparent, bool smooth,
                       bool preload, bool keepAlpha);
    bool CreateFromPixels(const void* pixels, int32_t width, int32_t height, bool transparent, bool smooth,
                          bool preload, bool keepAlpha);

    // Drawing. Colours 0xBBGGRR, alpha 0..1, angles in degrees.
    void Draw(float x, float y);
    void DrawExt(float x, float y, float xScale, float yScale, float angle, uint32_t colour, float alpha);
    void DrawStretched(float x, float y, float width, float height, uint32_t colour, float alpha);
    void DrawPart(float left, float top, float width, float height, float x, float y, float xScale,
                  float yScale, uint32_t colour, float alpha);
    void DrawGeneral(float left, float top, float width, float height, float x, float y, float xScale,
                     float yScale, float angle, uint32_t colour1, uint32_t colour2, uint32_t colour3,
                     uint32_t colour4, float alpha);
    void DrawTiled(float x, float y, float xScale, float yScale, bool horizontal, bool vertical,
                   float regionLeft, float regionTop, float regionWidth, float regionHeight, uint32_t colour,
                   float alpha);

private:
    void TakeBitmap(CBitmap32* bitmap);

    int32_t m_width = 0, m_height = 0;
    bool m_transparent = false, m_smooth = false, m_preload = false;
    int32_t m_textureId = -1;
    CBitmap32* m_bitmap = nullptr;
    TexturePageEntry* m_pageEntry = nullptr;
    BackgroundTileSet m_tileSet = {};
};

// ---- the background table --------------------------------------------------------------------

// Before the chunks are read: deletes every background; the table is empty.
void Background_Init();
// The "BGND" chunk reader.
void Background_Load(ChunkView& chunk);
// "Init Graphics": the textures of every background with a bitmap.
void Background_InitTextures();
// Frees names, textures and backgrounds; the table is empty afterwards.
void Background_Shutdown();

int32_t Background_Count();
bool Background_Exists(int32_t index);
CBackground* Background_Get(int32_t index);
// "<undefined>" for a background that does not exist.
const char* Background_GetName(int32_t index);
// The lowest index of a background of that name (byte for byte), -1 when none.
int32_t Background_Find(const char* name);

// Run-time operations. Paths are looked up in the save area, then the bundle; "http://" and
// "https://" paths of Background_Add and Background_Replace are downloaded, and the slot is
// filled in the asynchronous stage (Other event 60).
int32_t Background_Add(const char* path, bool removeBack, bool smooth, bool preload);
bool Background_Replace(int32_t index, const char* path, bool removeBack, bool smooth, bool preload);
int32_t Background_AddAlpha(const char* path, bool preload);
bool Background_ReplaceAlpha(int32_t index, const char* path, bool preload);
int32_t Background_AddEmpty();
int32_t Background_Duplicate(int32_t index);
bool Background_Assign(int32_t destination, int32_t source);
bool Background_Delete(int32_t index);

// Start-up: the "BGND" reader joins the chunk table and background names resolve as assets.
void Background_InstallHooks();
