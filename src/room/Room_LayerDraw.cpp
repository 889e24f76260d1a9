#include "room/Room_LayerDraw.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "assets/Background_Main.h"
#include "assets/Function_Sprite_Draw.h"
#include "assets/Particle_Main.h"
#include "assets/Sprite_Main.h"
#include "core/Instance.h"
#include "core/Script_Main.h"
#include "core/Value.h"
#include "core/Variable.h"
#include "graphics/GPUState.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/ShaderM.h"
#include "graphics/TexturesM.h"
#include "room/Layer_Manager.h"
#include "room/Room_Draw.h"
#include "world/Event_Main.h"
#include "base/GEN8.h"
#include "world/Object_Class.h"
#include "world/Room_Class.h"
#include "world/Run.h"


uint32_t Colour_ToARGB(uint32_t colour, float alpha);

namespace {

constexpr double kNoParticles = PARTICLE_NO_DEPTH;
constexpr double kParticlesDone = -1e8;

struct TileVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(TileVertex) == 24);

bool Drawable(const CInstance* instance) {
    return instance && !instance->destroyed && !instance->deactivated && instance->visible;
}

bool ShaderSet(int32_t shader) {
    if (shader == -1) return false;
    Shader_Set_Index(shader);
    return true;
}

void ShaderReset() {
    Shader_Reset();
}

double ParticleMax() {
    return ParticleSystem_MaxAutoDrawDepth();
}

double ParticleNextBelow(double depth) {
    return ParticleSystem_NextDepthBelow(static_cast<float>(depth));
}

void ParticleDrawAt(double depth) {
    ParticleSystem_DrawAtDepth(static_cast<float>(depth));
}

float DepthCap(double depth) {
    return static_cast<float>(std::min(depth, 11000.0));
}

// The old tiles' view test: the tile's own rectangle (scaled, either way round) meets the view.
bool TileInView(const GRBounds& rect, float x, float y, float width, float height) {
    const float x2 = x + width, y2 = y + height;
    return rect.right >= std::min(x, x2) && rect.bottom >= std::min(y, y2) && std::max(x, x2) >= rect.left &&
           std::max(y, y2) >= rect.top;
}

int32_t Truncate(float value) {
    return std::isfinite(value) && std::fabs(value) < 2147483647.0f ? static_cast<int32_t>(value) : 0;
}

// ---- element drawers ----------------------------------------------------------------------------

// A fill of the whole viewport in clip space, whatever the view.
void FillViewport(uint32_t argb) {
    Matrix4 saved[3];
    for (int32_t i = 0; i < 3; ++i) GR_D3D_Get_Matrix(i, &saved[i]);
    const bool halfPixel = g_HalfPixelAdjust;
    // Clip-space corners must not move by the half-pixel shift, or an edge column stays unfilled.
    g_HalfPixelAdjust = false;
    for (int32_t i = 0; i < 3; ++i) GR_D3D_Set_Matrix(i, Matrix_Identity);
    GPUState_Push(&g_GPUState);
    GR_D3D_Set_Culling(false);
    auto* v = static_cast<float*>(GR_Batch_Alloc(D3DPT_TRIANGLESTRIP, nullptr, GR_FORMAT_XYZC, 4));
    const float corners[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
    for (const auto& c : corners) {
        v[0] = c[0];
        v[1] = c[1];
        v[2] = 1.0f;
        std::memcpy(&v[3], &argb, sizeof argb);
        v += 4;
    }
    GraphicsFlush();
    for (int32_t i = 0; i < 3; ++i) GR_D3D_Set_Matrix(i, saved[i]);
    g_HalfPixelAdjust = halfPixel;
    GPUState_Pop(&g_GPUState);
}

void DrawBackgroundElement(const GRBounds& rect, const CLayer* layer, const CLayerElement* element) {
    const auto* data = static_cast<const LayerBackgroundElement*>(element)->data;
    if (!data || !data->visible) return;
    if (CSprite* sprite = Sprite_Get(data->sprite)) {
        sprite->DrawTiled(Truncate(data->index), layer->x, layer->y, data->xscale, data->yscale, data->htiled,
                          data->vtiled, static_cast<float>(rect.left), static_cast<float>(rect.top),
                          static_cast<float>(rect.right - rect.left),
                          static_cast<float>(rect.bottom - rect.top), data->blend, data->alpha);
        return;
    }
    FillViewport(Colour_ToARGB(data->blend, data->alpha));
}

void DrawInstanceElement(const CLayerElement* element) {
    CInstance* instance = static_cast<const LayerInstanceElement*>(element)->instance;
    if (!Drawable(instance) || !instance->object) return;
    Draw_Instance(instance, false);
}

void DrawOldTiles(const GRBounds& rect, const CLayer* layer, const CLayerElement* element) {
    const auto* tiles = static_cast<const LayerOldTilesElement*>(element);
    for (const TileBatch* batch = tiles->batches.head; batch; batch = batch->next) {
        const int32_t count = std::min(batch->count, kTileBatchSize);
        for (int32_t i = 0; i < count; ++i) {
            const TileBatchEntry& t = batch->entries[i];
            if (!t.visible) continue;
            CSprite* sprite = Sprite_Get(t.background);
            if (!sprite || !TileInView(rect, t.x, t.y, t.width * t.xscale, t.height * t.yscale)) continue;
            sprite->DrawPart(0, float(t.left), float(t.top), float(t.width), float(t.height), t.x + layer->x,
                             t.y + layer->y, t.xscale, t.yscale, t.blend, t.alpha);
        }
    }
}

void DrawSpriteElement(const CLayer* layer, const CLayerElement* element) {
    const auto* s = static_cast<const LayerSpriteElement*>(element);
    if (CSprite* sprite = Sprite_Get(s->sprite))
        sprite->DrawExt(Truncate(s->index), s->x + layer->x, s->y + layer->y, s->xscale, s->yscale, s->angle,
                        s->blend, s->alpha);
}

void DrawTileElement(const GRBounds& rect, const CLayer* layer, const CLayerElement* element) {
    const auto* t = static_cast<const LayerTileElement*>(element);
    if (!t->visible) return;
    CSprite* sprite = Sprite_Get(t->sprite);
    if (!sprite || !TileInView(rect, t->x, t->y, t->width * t->xscale, t->height * t->yscale)) return;
    sprite->DrawPart(0, float(t->left), float(t->top), float(t->width), float(t->height), t->x + layer->x,
                     t->y + layer->y, t->xscale, t->yscale, t->blend, t->alpha);
}

void DrawElement(const GRBounds& rect, const CLayer* layer, const CLayerElement* element) {
    switch (element->kind) {
        case eLayerElement_Background:
            return DrawBackgroundElement(rect, layer, element);
        case eLayerElement_Instance:
            return DrawInstanceElement(element);
        case eLayerElement_OldTiles:
            return DrawOldTiles(rect, layer, element);
        case eLayerElement_Sprite:
            return DrawSpriteElement(layer, element);
        case eLayerElement_Tilemap:
            return Draw_Tilemap(rect, layer, static_cast<const LayerTilemapElement*>(element), 0, 0, 0);
        case eLayerElement_ParticleSystem:
            return ParticleSystem_DrawElement(static_cast<const LayerParticleElement*>(element)->systemIndex);
        case eLayerElement_Tile:
            return DrawTileElement(rect, layer, element);
        default:
            return;
    }
}

// ---- tiles --------------------------------------------------------------------------------------

// A tile set whose geometry can be trusted: sizes positive, a table, columns to place tiles in.
bool TileSetUsable(const BackgroundTileSet& set) {
    return set.tileWidth > 0 && set.tileHeight > 0 && set.columns > 0 && set.framesPerTile > 0 &&
           set.tileCount > 0 && set.tileIds != nullptr && set.borderX >= 0 && set.borderY >= 0;
}

// The tile number a cell shows in a frame; 0 (nothing) for an empty cell and for an index or
// frame outside the table.
uint32_t TileNumber(const BackgroundTileSet& set, uint32_t value, int32_t frame) {
    const uint32_t index = value & kTileIndexMask;
    if (index == 0 || index >= static_cast<uint32_t>(set.tileCount)) return 0;
    if (frame < 0 || frame >= set.framesPerTile) return 0;
    return set.tileIds[static_cast<size_t>(index) * set.framesPerTile + frame];
}

// One cell's six vertices; mirror, then flip, then a quarter turn clockwise of the texture.
void WriteTileQuad(TileVertex* v, const TileSetUV& uv, const BackgroundTileSet& set, uint32_t tile,
                   uint32_t value, float x, float y, float w, float h, float z) {
    const uint32_t columns = static_cast<uint32_t>(set.columns);
    const float u0 = uv.baseU + static_cast<float>(tile % columns) * uv.su;
    const float v0 = uv.baseV + static_cast<float>(tile / columns) * uv.sv;
    float left = u0, right = u0 + uv.du, top = v0, bottom = v0 + uv.dv;
    if (value & kTileMirrorBit) std::swap(left, right);
    if (value & kTileFlipBit) std::swap(top, bottom);
    // Texture corners at the cell's top-left, top-right, bottom-right, bottom-left.
    float cu[4] = {left, right, right, left};
    float cv[4] = {top, top, bottom, bottom};
    if (value & kTileRotateBit) {
        const float lu = cu[3], lv = cv[3];
        for (int i = 3; i > 0; --i) {
            cu[i] = cu[i - 1];
            cv[i] = cv[i - 1];
        }
        cu[0] = lu;
        cv[0] = lv;
    }
    const float x2 = x + w, y2 = y + h;
    const TileVertex tl{x, y, z, 0xFFFFFFFFu, cu[0], cv[0]};
    const TileVertex tr{x2, y, z, 0xFFFFFFFFu, cu[1], cv[1]};
    const TileVertex br{x2, y2, z, 0xFFFFFFFFu, cu[2], cv[2]};
    const TileVertex bl{x, y2, z, 0xFFFFFFFFu, cu[3], cv[3]};
    v[0] = tl;
    v[1] = tr;
    v[2] = bl;
    v[3] = bl;
    v[4] = tr;
    v[5] = br;
}

// A trimmed page's cell, through the background's general drawing.
void DrawTileGeneral(CBackground* background, const TileSetUV& uv, const BackgroundTileSet& set,
                     uint32_t tile, uint32_t value, float cx, float cy) {
    const uint32_t columns = static_cast<uint32_t>(set.columns);
    const float column = static_cast<float>(tile % columns), row = static_cast<float>(tile / columns);
    const float tw = static_cast<float>(set.tileWidth), th = static_cast<float>(set.tileHeight);
    const float bx = static_cast<float>(set.borderX), by = static_cast<float>(set.borderY);
    const float left = (bx + column * (tw + 2 * bx)) * uv.sx, top = (by + row * (th + 2 * by)) * uv.sy;
    const float xSign = (value & kTileMirrorBit) ? -1.0f : 1.0f;
    const float ySign = (value & kTileFlipBit) ? -1.0f : 1.0f;
    const bool rotated = (value & kTileRotateBit) != 0;
    float X, Y;
    if (!rotated) {
        X = cx + tw * 0.5f * (1 - xSign);
        Y = cy + th * 0.5f * (1 - ySign);
    } else {
        X = cx + th * 0.5f * (1 + ySign);
        Y = cy + tw * 0.5f * (1 - xSign);
    }
    background->DrawGeneral(left, top, tw * uv.sx, th * uv.sy, X, Y, xSign / uv.sx, ySign / uv.sy,
                            rotated ? -90.0f : 0.0f, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 1.0f);
}

// Quads reserved from the batch in runs as large as it allows.
class QuadWriter {
public:
    QuadWriter(TextureRecord* texture, int64_t cellsLeft) : m_texture(texture), m_cellsLeft(cellsLeft) {}
    ~QuadWriter() {
        if (m_reserved > 0) GR_Batch_Unreserve(m_reserved * 6);
    }
    TileVertex* Next() {
        if (m_reserved == 0) {
            const int64_t run = std::min<int64_t>(m_cellsLeft, GR_Batch_Max_Vertices() / 6);
            m_next = static_cast<TileVertex*>(GR_Batch_Alloc(D3DPT_TRIANGLELIST, m_texture, GR_FORMAT_XYZCUV,
                                                             static_cast<int32_t>(run * 6)));
            m_reserved = static_cast<int32_t>(run);
        }
        --m_reserved;
        --m_cellsLeft;
        TileVertex* v = m_next;
        m_next += 6;
        return v;
    }
    void Skip() { --m_cellsLeft; }

private:
    TextureRecord* m_texture;
    int64_t m_cellsLeft;
    int32_t m_reserved = 0;
    TileVertex* m_next = nullptr;
};

int32_t FloorDivClamp(int64_t numerator, int32_t denominator) {
    // Integer division truncating toward zero, as the cell range takes it.
    return static_cast<int32_t>(std::clamp<int64_t>(numerator / denominator, INT32_MIN, INT32_MAX));
}

}  // namespace

// ---- scripts and layers -------------------------------------------------------------------------

void Layer_RunScript(int32_t layerId, int32_t script, int32_t type, int32_t subtype) {
    if (script == -1) return;
    const CurrentEvent saved = g_CurrentEvent;
    g_CurrentEvent.object = layerId;
    g_CurrentEvent.type = type;
    g_CurrentEvent.number = subtype;
    CInstance* self =
        g_GameHeader.objectMode ? reinterpret_cast<CInstance*>(g_GlobalObject) : LayerScriptInstance;
    if (self) {
        RValue result = RValue_Undefined();
        Script_Run(script, self, self, 0, &result, nullptr);
        RValue_Release(&result);
    }
    g_CurrentEvent.object = saved.object;
    g_CurrentEvent.type = saved.type;
    g_CurrentEvent.number = saved.number;
}

void Draw_Layers(const GRBounds& rect) {
    CRoom* room = Run_Room();
    for (CLayer* layer = Room_LastLayer(room); layer; layer = layer->prev) {
        if (!layer->visible) continue;
        GR_Set_Depth(static_cast<float>(LayerDepthForced ? LayerForcedDepth : layer->depth));
        const bool shaded = ShaderSet(layer->shader);
        Layer_RunScript(layer->id, layer->beginScript, kDrawEventType, DRAW_EVENT_DRAW);
        // A draw event may destroy elements: the next one is taken first, and the walk stops
        // when an element has left this layer.
        for (CLayerElement* element = layer->elements.head; element;) {
            CLayerElement* next = element->next;
            DrawElement(rect, layer, element);
            if (element->layer != layer || (next && next->layer != layer)) break;
            element = next;
        }
        Layer_RunScript(layer->id, layer->endScript, kDrawEventType, DRAW_EVENT_DRAW);
        if (shaded) ShaderReset();
    }
    GraphicsFlush();
}

// ---- tile sets and tilemaps ---------------------------------------------------------------------

TileSetUV TileSet_GetUVInfo(const CBackground* tileSet) {
    TileSetUV uv;
    if (!tileSet) return uv;
    const BackgroundTileSet& set = tileSet->GetTileSet();
    const float tw = static_cast<float>(set.tileWidth), th = static_cast<float>(set.tileHeight);
    const float bx = static_cast<float>(set.borderX), by = static_cast<float>(set.borderY);
    const int32_t own = tileSet->GetTextureId();
    if (own >= 0 && GR_Texture_Exists(own)) {
        TextureEntry* t = GR_Texture_Get_Entry(own);
        if (!t || !t->record) return uv;
        const float W = static_cast<float>(tileSet->GetWidth()), H = static_cast<float>(tileSet->GetHeight());
        if (!(W > 0) || !(H > 0)) return uv;
        uv.texture = t->record;
        uv.du = tw / W;
        uv.dv = th / H;
        uv.baseU = bx / W;
        uv.baseV = by / H;
        uv.su = 2 * uv.baseU + uv.du;
        uv.sv = 2 * uv.baseV + uv.dv;
        uv.batchable = true;
        return uv;
    }
    const TexturePageEntry* page = tileSet->GetPageEntry();
    if (!page) return uv;
    TextureEntry* t = GR_Texture_Get_Entry(page->texture);
    if (!t || !t->record || page->boundWidth <= 0 || page->boundHeight <= 0) return uv;
    uv.texture = t->record;
    uv.sx = static_cast<float>(page->sourceWidth) / static_cast<float>(page->boundWidth);
    uv.sy = static_cast<float>(page->sourceHeight) / static_cast<float>(page->boundHeight);
    const bool trimmed = page->targetX != 0 || page->targetY != 0 || page->targetWidth != page->boundWidth ||
                         page->targetHeight != page->boundHeight;
    if (trimmed) return uv;
    const float U = t->invWidth, V = t->invHeight;
    uv.du = tw * U * uv.sx;
    uv.dv = th * V * uv.sy;
    uv.baseU = page->sourceX * U + bx * U * uv.sx;
    uv.baseV = page->sourceY * V + by * V * uv.sy;
    uv.su = uv.du + 2 * bx * U * uv.sx;
    uv.sv = uv.dv + 2 * by * V * uv.sy;
    uv.batchable = true;
    return uv;
}

void Draw_Tilemap(const GRBounds& rect, const CLayer* layer, const LayerTilemapElement* tilemap, float x,
                  float y, float z) {
    if (!tilemap || !tilemap->cells || tilemap->width <= 0 || tilemap->height <= 0) return;
    CBackground* background = Background_Get(tilemap->tileSet);
    if (!background) return;
    const BackgroundTileSet& set = background->GetTileSet();
    if (!TileSetUsable(set)) return;
    const TileSetUV uv = TileSet_GetUVInfo(background);
    if (!uv.texture) return;
    if (layer) {
        x = tilemap->x + layer->x;
        y = tilemap->y + layer->y;
        z = g_DrawDepth;
    }
    const uint32_t mask = tilemap->mask & TileGlobalMask;
    const int32_t tw = set.tileWidth, th = set.tileHeight;
    const int32_t frame = tilemap->frame;
    if (!uv.batchable) {
        for (int32_t row = 0; row < tilemap->height; ++row) {
            for (int32_t column = 0; column < tilemap->width; ++column) {
                const uint32_t value =
                    tilemap->cells[static_cast<size_t>(row) * tilemap->width + column] & mask;
                const uint32_t tile = TileNumber(set, value, frame);
                if (tile == 0) continue;
                DrawTileGeneral(background, uv, set, tile, value, x + static_cast<float>(column * tw),
                                y + static_cast<float>(row * th));
            }
        }
        return;
    }
    const int64_t ix = Truncate(x), iy = Truncate(y);
    const int32_t firstColumn = std::max(0, FloorDivClamp(rect.left - ix, tw));
    const int32_t endColumn = std::min(tilemap->width, FloorDivClamp(rect.right - ix + tw, tw));
    const int32_t firstRow = std::max(0, FloorDivClamp(rect.top - iy, th));
    const int32_t endRow = std::min(tilemap->height, FloorDivClamp(rect.bottom - iy + th, th));
    if (firstColumn >= endColumn || firstRow >= endRow) return;
    QuadWriter writer(uv.texture, int64_t{endColumn - firstColumn} * (endRow - firstRow));
    const float fw = static_cast<float>(tw), fh = static_cast<float>(th);
    for (int32_t row = firstRow; row < endRow; ++row) {
        const TileCell* cells = tilemap->cells + static_cast<size_t>(row) * tilemap->width;
        const float cy = y + static_cast<float>(row) * fh;
        for (int32_t column = firstColumn; column < endColumn; ++column) {
            const uint32_t value = cells[column] & mask;
            const uint32_t tile = TileNumber(set, value, frame);
            if (tile == 0) {
                writer.Skip();
                continue;
            }
            WriteTileQuad(writer.Next(), uv, set, tile, value, x + static_cast<float>(column) * fw, cy, fw,
                          fh, z);
        }
    }
}

void Draw_TileFromSet(const GRBounds&, int32_t tileSet, uint32_t value, int32_t frame, float x, float y,
                      float z) {
    CBackground* background = Background_Get(tileSet);
    if (!background) return;
    const BackgroundTileSet& set = background->GetTileSet();
    if (!TileSetUsable(set)) return;
    const TileSetUV uv = TileSet_GetUVInfo(background);
    if (!uv.texture) return;
    value &= TileGlobalMask;
    const int32_t wrapped = ((frame % set.framesPerTile) + set.framesPerTile) % set.framesPerTile;
    const uint32_t tile = TileNumber(set, value, wrapped);
    if (tile == 0) return;
    if (!uv.batchable) return DrawTileGeneral(background, uv, set, tile, value, x, y);
    auto* v = static_cast<TileVertex*>(GR_Batch_Alloc(D3DPT_TRIANGLELIST, uv.texture, GR_FORMAT_XYZCUV, 6));
    WriteTileQuad(v, uv, set, tile, value, x, y, static_cast<float>(set.tileWidth),
                  static_cast<float>(set.tileHeight), z);
}

// ---- instances ----------------------------------------------------------------------------------

void Draw_InstanceSprite(CInstance* instance, bool truncateFrame) {
    CSprite* sprite = Sprite_Get(instance->sprite_index);
    if (!sprite) return;
    // A skeleton sprite poses the instance's own skeleton.
    Draw_CurrentInstance = instance;
    const bool plain = instance->image_xscale == 1.0f && instance->image_yscale == 1.0f &&
                       instance->image_angle == 0.0f && instance->image_blend == 0xFFFFFF &&
                       instance->image_alpha == 1.0f;
    if (plain) {
        const float frame =
            truncateFrame ? std::trunc(instance->image_index) : std::floor(instance->image_index);
        sprite->Draw(Truncate(frame), instance->x, instance->y);
    } else {
        sprite->DrawExt(Truncate(instance->image_index), instance->x, instance->y, instance->image_xscale,
                        instance->image_yscale, instance->image_angle, instance->image_blend,
                        instance->image_alpha);
    }
    Draw_CurrentInstance = nullptr;
}

void Draw_Instance(CInstance* instance, bool truncateFrame) {
    if (instance->object && instance->object->HasEvent(kDrawEventType, DRAW_EVENT_DRAW))
        PerformEvent_Instance(instance, instance, kDrawEventType, DRAW_EVENT_DRAW);
    else
        Draw_InstanceSprite(instance, truncateFrame);
}

// ---- legacy rooms -------------------------------------------------------------------------------

namespace {

void DrawBackgroundSlots(const CRoom& room, const GRBounds& rect, bool foreground) {
    for (const RoomBackground& b : room.backgrounds) {
        if (!b.visible || b.foreground != foreground) continue;
        CBackground* background = Background_Get(b.index);
        if (!background) continue;
        background->DrawTiled(b.x, b.y, b.xscale, b.yscale, b.tileX, b.tileY, static_cast<float>(rect.left),
                              static_cast<float>(rect.top), static_cast<float>(rect.right - rect.left),
                              static_cast<float>(rect.bottom - rect.top), static_cast<uint32_t>(b.blend),
                              b.alpha);
    }
}

// The room's instances from the deepest.
CInstance* SkipHidden(CInstance* instance) {
    while (instance && !Drawable(instance)) instance = instance->depthPrev;
    return instance;
}

int32_t SkipHiddenTiles(const CRoom& room, int32_t i) {
    while (i < room.tileCount && !room.tiles[i].visible) ++i;
    return i;
}

void DrawLegacyTile(const RoomTile& t, const GRBounds& rect) {
    CBackground* background = Background_Get(t.background);
    if (!background || !TileInView(rect, t.x, t.y, t.width * t.xscale, t.height * t.yscale)) return;
    background->DrawPart(float(t.left), float(t.top), float(t.width), float(t.height), t.x, t.y, t.xscale,
                         t.yscale, static_cast<uint32_t>(t.blend), t.alpha);
}

void Draw_LegacyDepthSorted(CRoom& room, const GRBounds& rect) {
    CInstance* instance = room.active.tail;
    int32_t tile = 0;
    double p = ParticleMax();
    for (;;) {
        instance = SkipHidden(instance);
        tile = SkipHiddenTiles(room, tile);
        const bool tileLeft = tile < room.tileCount;
        if (!instance && !tileLeft && p <= kParticlesDone) break;
        if (p > kParticlesDone && (!instance || p > instance->depth) &&
            (!tileLeft || p >= room.tiles[tile].depth)) {
            GR_Set_Depth(DepthCap(p));
            ParticleDrawAt(p);
            p = ParticleNextBelow(p);
        } else if (instance && (!tileLeft || !(room.tiles[tile].depth > instance->depth))) {
            GR_Set_Depth(DepthCap(instance->depth));
            CInstance* next = instance->depthPrev;
            if (instance->object) Draw_Instance(instance, false);
            instance = next;
        } else {
            GR_Set_Depth(DepthCap(room.tiles[tile].depth));
            DrawLegacyTile(room.tiles[tile], rect);
            ++tile;
        }
    }
    GraphicsFlush();
}

void SetDepthIn3D(double depth) {
    if (g_3DMode) GR_Set_Depth(DepthCap(depth));
}

void Draw_LegacyInstancesParticles(CRoom& room) {
    CInstance* instance = room.active.tail;
    double p = ParticleMax();
    for (;;) {
        instance = SkipHidden(instance);
        if (!instance && p <= kParticlesDone) break;
        if (p > kParticlesDone && (!instance || p > instance->depth)) {
            SetDepthIn3D(p);
            ParticleDrawAt(p);
            p = ParticleNextBelow(p);
        } else {
            SetDepthIn3D(instance->depth);
            CInstance* next = instance->depthPrev;
            if (instance->object) Draw_Instance(instance, false);
            instance = next;
        }
    }
    GraphicsFlush();
}

void Draw_LegacyInstances(CRoom& room) {
    for (CInstance* instance = SkipHidden(room.active.tail); instance;) {
        SetDepthIn3D(instance->depth);
        CInstance* next = instance->depthPrev;
        if (instance->object) Draw_Instance(instance, true);
        instance = SkipHidden(next);
    }
    GraphicsFlush();
}

}  // namespace

void Draw_LegacyRoom(const GRBounds& rect) {
    CRoom* room = Run_Room();
    if (!room) return;
    GR_Set_Depth(12000.0f);
    DrawBackgroundSlots(*room, rect, false);
    const double p = ParticleMax();
    const bool instances = room->active.head != nullptr;
    if (room->tileCount > 0 || !instances)
        Draw_LegacyDepthSorted(*room, rect);
    else if (p > kNoParticles)
        Draw_LegacyInstancesParticles(*room);
    else
        Draw_LegacyInstances(*room);
    GR_Set_Depth(-12000.0f);
    DrawBackgroundSlots(*room, rect, true);
    GR_Set_Depth(-13000.0f);
}
