// Sprites: the CSprite record with its frames, origin, bounding box and masks; the "SPRT" chunk
// reader; the process-wide sprite table with its name index; and the sprite draw operations.
//
// A sprite's frames are either texture-page entries inside the loaded data file (not owned)
// or run-time bitmaps with a texture each (owned, with page entries made from them). Drawing
// picks a frame (wrapped into the frame count), culls by the bounding radius against the
// visible bounds and hands the frame to the page-entry or texture quads of the device layer.
#pragma once

#include <cstdint>

#include "core/MemoryManager.h"
#include "core/MurmurHash.h"

class CBitmap32;
class CSkeletonAsset;
class ChunkView;
struct TexturePageEntry;

enum SpriteKind : int32_t {
    SPRITE_BITMAP = 0,
    SPRITE_VECTOR = 1,
    SPRITE_SKELETON = 2,
};

enum SpriteBoxMode : int32_t {
    SPRITE_BOX_AUTOMATIC = 0,
    SPRITE_BOX_FULL = 1,
    SPRITE_BOX_MANUAL = 2,
};

// The frame count of a skeleton sprite: its frames come from the animation.
constexpr int32_t SPRITE_SKELETON_FRAMES = 2147483647;

struct SpriteMask {
    int32_t size;   // bytes
    uint8_t* data;  // one byte per pixel, 0 or 1, rows top to bottom
};

// A bounding box in frame pixels, inclusive.
struct SpriteBox {
    int32_t left, top, right, bottom;
};

class CSprite : public MemoryManaged {
public:
    CSprite();
    virtual ~CSprite();
    CSprite(const CSprite&) = delete;
    CSprite& operator=(const CSprite&) = delete;

    // Releases everything the sprite owns and puts back the defaults of a new sprite (the
    // playback speed, masks-per-frame, packed masks and vector flag are kept).
    void Free();

    // Fills the sprite from the "SPRT" entry at file offset `entry`. False (with the chunk's
    // failure recorded) when a word, frame offset or mask of the entry lies outside the file.
    bool LoadFromChunk(ChunkView& chunk, uint32_t entry, bool layerMode);

    void CreateTextures();
    void FreeTextures();
    void BuildPageEntries();
    // The frame's page entry or texture id (see GetTexture); frame wrapped into the count.
    // Null / -1 for sprites without such frames.
    TexturePageEntry* GetPageEntry(int32_t frame) const;
    int32_t GetTextureId(int32_t frame) const;
    // A new memory-manager block {left, top, right, bottom} (all 0 outside 0 .. count - 1)
    // that the caller frees.
    int32_t* GetFrameBounds(int32_t frame) const;

    // Drawing. Positions in room pixels, angles in degrees, colours 0xBBGGRR, alpha 0..1.
    void Draw(int32_t frame, float x, float y);
    void DrawExt(int32_t frame, float x, float y, float xScale, float yScale, float angle, uint32_t colour,
                 float alpha);
    void DrawPart(int32_t frame, float left, float top, float width, float height, float x, float y,
                  float xScale, float yScale, uint32_t colour, float alpha);
    void DrawGeneral(int32_t frame, float left, float top, float width, float height, float x, float y,
                     float xScale, float yScale, float angle, uint32_t colour1, uint32_t colour2,
                     uint32_t colour3, uint32_t colour4, float alpha);
    void DrawStretched(int32_t frame, float x, float y, float width, float height, uint32_t colour,
                       float alpha);
    void DrawTiled(int32_t frame, float x, float y, float xScale, float yScale, bool horizontal,
                   bool vertical, float regionLeft, float regionTop, float regionWidth, float regionHeight,
                   uint32_t colour, float alpha);
    void DrawPos(int32_t frame, float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                 float y4, uint32_t colour, float alpha);

    // The frame index reduced into 0 .. count - 1 (negative values from the end); -1 when the
    // sprite has no frames.
    int32_t WrapFrame(int32_t frame) const;
    // The largest distance from the origin to a frame corner, rounded up.
    void ComputeBoundingRadius();
    const char* GetName() const { return m_name ? m_name : "<undefined>"; }

    int32_t m_boxMode = SPRITE_BOX_AUTOMATIC;
    SpriteBox m_box = {0, 0, 0, 0};
    int32_t m_frameCount = 0;
    int32_t m_width = 1, m_height = 1;
    int32_t m_originX = 0, m_originY = 0;
    int32_t m_boundingRadius = 0;
    bool m_precise = true;
    bool m_masksUnpacked = false;
    bool m_transparent = true;
    bool m_smooth = false;
    bool m_preload = true;
    bool m_masksPerFrame = true;
    bool m_ownsPageEntries = false;
    int32_t m_ownedPageEntryCount = 0;
    int32_t m_maskCount = 0;
    SpriteMask* m_masks = nullptr;
    int32_t m_bitmapCount = 0;
    CBitmap32** m_bitmaps = nullptr;
    int32_t m_textureCount = 0;
    int32_t* m_textureIds = nullptr;
    TexturePageEntry** m_pageEntries = nullptr;
    CSkeletonAsset* m_skeleton = nullptr;
    const char* m_name = nullptr;  // held by the sprite table
    int32_t m_index = 0;
    int32_t m_packedMaskCount = 0;
    const uint8_t* m_packedMasks = nullptr;  // inside the loaded data file
    float m_playbackSpeed = 30.0f;
    int32_t m_kind = SPRITE_BITMAP;
    bool m_vectorFromDataFile = false;

private:
    bool HasPageEntries() const { return m_pageEntries != nullptr; }
    bool HasTextureIds() const { return m_textureIds != nullptr; }
    bool Visible(float x, float y, float extentX, float extentY) const;
    void FreeMasks();
    void FreeOwnedPageEntries();
};

// The bytes one packed mask takes: height rows of (width + 7) / 8 bytes.
uint32_t Sprite_PackedMaskBytes(int32_t width, int32_t height);

// ---- the sprite table ----------------------------------------------------------------------

// Before the chunks are read: deletes every sprite and name and empties the name index.
void Sprite_Init();
// The "SPRT" chunk reader.
void Sprite_Load(ChunkView& chunk);
// "Init Graphics": textures and page entries of every run-time frame.
void Sprite_InitTextures();
// Shutdown: frees names, textures and sprites; the table is empty afterwards.
void Sprite_FreeAll();
void Sprite_Shutdown();

int32_t Sprite_Count();
// The sprite of an index, or null outside the table or for an empty slot.
CSprite* Sprite_Get(int32_t index);
bool Sprite_Exists(int32_t index);
// "<undefined>" for a sprite that does not exist.
const char* Sprite_GetName(int32_t index);
// The index of the sprite of that name (compared byte for byte), -1 when none.
int32_t Sprite_Find(const char* name);
// A sprite's bounding box in frame pixels and its origin: what collisions and instance boxes
// need. False when the sprite does not exist.
bool Sprite_GetBoundingBox(int32_t index, SpriteBox* box, int32_t* originX, int32_t* originY);

// Run-time slots: grows the table by one empty sprite named "__newsprite%d"; -1 on failure.
int32_t Sprite_CreateEmpty();
// Destroys the sprite and empties its slot for good; false outside the table or when empty.
bool Sprite_Delete(int32_t index);

// The name index: open addressing with robin-hood probing over MurmurHash3 keys; names are
// compared byte for byte, so two names with the same hash are told apart.
namespace SpriteNameHash {
// Adds (name, index), or gives a present name the new index. The name pointer must live until
// it is removed (the table's own copy).
void Insert(const char* name, int32_t index);
// The index of the name, or -1.
int32_t Find(const char* name);
bool Remove(const char* name);
void Clear();
int32_t Count();
int32_t Capacity();
}  // namespace SpriteNameHash

// Game colour 0xBBGGRR and alpha as a device colour 0xAARRGGBB; alpha x 255 truncated toward
// zero and clamped to 0..255. Bits 24..31 of the colour are ignored.
uint32_t Colour_ToARGB(uint32_t colour, float alpha);

// Start-up: the "SPRT" reader joins the chunk table, and the name lookup, the instances'
// sprite information and the layer model's playback speed answer from the sprite table.
void Sprite_InstallHooks();
// Lends the table to sprite fonts and to collisions.
void Sprite_InstallServices();
