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
class IBitmapLoader;
class TBitmap;
class CSkeletonAsset;
class ChunkView;
struct VectorShape;
struct VectorFrameList;
struct TexturePageEntry;
struct VectorItem;
struct Matrix4;

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

// How a run-time sprite is made from a picture.
struct SpriteLoadOptions {
    int32_t frames = 1;
    bool precise = false;
    bool removeBackground = false;
    bool smooth = false;
    bool preload = false;
    int32_t originX = 0, originY = 0;
    bool keepAlpha = true;
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

    // Run-time frames. The loaders replace every frame; a picture that does not decode fails.
    bool LoadFromFile(const char* name, const SpriteLoadOptions& options);
    // JPEG or GIF by their signatures, anything else (and a failed JPEG or GIF) as PNG.
    bool LoadFromImage(const uint8_t* bytes, int64_t size, const SpriteLoadOptions& options);
    bool LoadFromPNG(const uint8_t* bytes, int64_t size, const SpriteLoadOptions& options);
    bool LoadFromPixels(const uint32_t* pixels, int32_t width, int32_t height, int32_t frameCount,
                        bool precise, bool removeBackground, bool smooth, int32_t originX, int32_t originY,
                        bool keepAlpha);
    // The loader's picture cut into frameCount frames side by side.
    void LoadStrip(IBitmapLoader* loader, bool removeBackground, bool smooth, int32_t frameCount,
                   bool keepAlpha);
    // Nothing unless the source is a bitmap sprite; frames on the data file's pages are shared.
    void CopyFrom(const CSprite& source);
    // Reads every frame's page rectangle back from its texture into a picture of the frame's
    // full size; false (nothing kept) when the sprite has no pages or one cannot be read.
    bool ExtractFrameBitmaps();
    // Appends the source's frames resized to this sprite's size; false (reported) when either
    // side has no frame pictures.
    bool Merge(const CSprite& source);
    // A new picture of the frame (bytes red, green, blue, alpha), or null.
    TBitmap* GetFrameBitmap(int32_t frame) const;
    // Every frame replaced by one frame of the picture (sprites made from the screen or a surface).
    void CreateFromBitmap(TBitmap* bitmap, bool precise, bool removeBackground, bool smooth, bool preload,
                          int32_t originX, int32_t originY, bool keepAlpha);
    // One more frame of the picture, resized to the sprite's size (a sprite without frames takes
    // the picture's). False, nothing changed, when the present frames have no pictures of their
    // own (frames on the data file's pages, skeleton frames).
    bool AddFrameFromBitmap(TBitmap* bitmap, bool removeBackground, bool smooth, bool keepAlpha);
    // Each frame's alpha limited by the brightness of the source's frame of the same number
    // (wrapped into the source's count); the masks stay as they were.
    void SetAlphaFromSprite(const CSprite& source);
    // Textures, page entries, box and masks of freshly made frames.
    void FinishRunTimeFrames();

private:
    bool LoadFromFileBytes(const char* name, const SpriteLoadOptions& options);

public:
    // Vector data. LoadVectorShapes reads `size` bytes of the vector data format and fails for
    // null or truncated data (nothing is kept then); LoadVectorFile reads the file from the save
    // area, else the bundle, and makes the sprite a vector sprite.
    bool LoadVectorShapes(const uint8_t* data, int64_t size, int32_t originX, int32_t originY);
    bool LoadVectorFile(const char* name, int32_t originX, int32_t originY);
    void LoadVectorMasks(const uint8_t* const* masks, const int32_t* sizes, int32_t count);
    void FreeVectorData();
    // Draws a vector frame (wrapped into the count); angle in degrees, colour 0xBBGGRR. Items
    // with a clip depth mask the items after them through the stencil.
    void DrawVector(int32_t frame, float originX, float originY, float x, float y, float xScale, float yScale,
                    float angle, uint32_t colour, float alpha);
    // One item under the sprite's transform; the number of triangles it put in the batch.
    int32_t DrawVectorItem(const VectorItem& item, const Matrix4& transform, const Matrix4& gradientMatrix,
                           uint32_t drawColour, uint32_t fringeColour, bool antiAlias);
    void DrawVectorTiled(int32_t frame, float x, float y, float xScale, float yScale, bool horizontal,
                         bool vertical, float regionLeft, float regionTop, float regionWidth,
                         float regionHeight, uint32_t colour, float alpha);

    // Collision masks. Masks from the data file are unpacked on the first precise test; run-time
    // frames make theirs from alpha, or in a chosen shape.
    void UnpackMasks();
    void FreeMasks();
    void GenerateMasks();
    // kind: 0 from alpha above the tolerance, 1 rectangle, 2 ellipse, 3 diamond; box mode 0 and 1
    // take the whole frame, 2 the given box (clamped), other modes keep the current box.
    void BuildCollisionMasks(bool separate, int32_t boxMode, const SpriteBox& box, int32_t kind,
                             int32_t tolerance);
    void SetPrecise(bool precise);
    void SetBoundingBoxMode(int32_t mode);
    void SetBoundingBox(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void ComputeBoundingBox();

    // Precise tests. box: the instance's box in room pixels {left, top, right, bottom}; x, y: the
    // instance position rounded; scales and angle (degrees) the instance's. A zero or non-finite
    // scale or angle maps every point outside the frame, so the tests answer false.
    bool CollisionSprite(int32_t frame, const int32_t box[4], int32_t x, int32_t y, float xScale,
                         float yScale, float angle, CSprite* other, int32_t otherFrame,
                         const int32_t otherBox[4], int32_t otherX, int32_t otherY, float otherXScale,
                         float otherYScale, float otherAngle);
    bool CollisionPoint(int32_t frame, const int32_t box[4], int32_t x, int32_t y, float xScale, float yScale,
                        float angle, int32_t px, int32_t py);
    bool CollisionRectangle(int32_t frame, const int32_t box[4], int32_t x, int32_t y, float xScale,
                            float yScale, float angle, const int32_t rect[4]);
    bool CollisionEllipse(int32_t frame, const int32_t box[4], int32_t x, int32_t y, float xScale,
                          float yScale, float angle, const int32_t rect[4]);
    // The caller orders the ends so that x1 <= x2.
    bool CollisionLine(int32_t frame, const int32_t box[4], int32_t x, int32_t y, float xScale, float yScale,
                       float angle, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

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
    int32_t m_vectorShapeCount = 0;
    VectorShape** m_vectorShapes = nullptr;
    VectorFrameList* m_vectorFrames = nullptr;

private:
    bool HasPageEntries() const { return m_pageEntries != nullptr; }
    bool HasTextureIds() const { return m_textureIds != nullptr; }
    bool Visible(float x, float y, float extentX, float extentY) const;
    bool HasRunTimeFrames() const { return m_bitmapCount > 0 && (!m_pageEntries || m_ownsPageEntries); }
    // The unpacked mask of a frame (wrapped by the mask count), or null when there are none.
    const uint8_t* MaskFor(int32_t frame) const;
    bool SampleMask(const uint8_t* mask, int32_t u, int32_t v) const;
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
// Gives up the last slot again (a run-time creation that failed).
void Sprite_GiveUpLast();
// The slot's sprite, a new empty one put in first when the slot is empty; null outside the table.
CSprite* Sprite_FillSlot(int32_t index);

// Run-time creation. A file name is looked up in the save area, then the bundle; a URL
// ("http://", "https://") gives an empty sprite at once, filled when the image-loaded
// asynchronous event (60) delivers its map. -1 / false when the file is missing or undecodable.
int32_t Sprite_Add(const char* name, const SpriteLoadOptions& options);
// A URL starts the load and answers false at once; the old frames stay until it arrives.
bool Sprite_Replace(int32_t index, const char* name, const SpriteLoadOptions& options);
// Files only (no URLs, no vector files): the picture's own alpha is kept, nothing is smoothed.
int32_t Sprite_AddAlpha(const char* name, int32_t frames, bool precise, bool preload, int32_t originX,
                        int32_t originY);
bool Sprite_ReplaceAlpha(int32_t index, const char* name, int32_t frames, bool precise, bool preload,
                         int32_t originX, int32_t originY);
int32_t Sprite_Duplicate(int32_t index);
bool Sprite_Assign(int32_t destination, int32_t source);

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
