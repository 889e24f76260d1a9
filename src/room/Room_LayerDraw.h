// What one view shows: a room with layers drawn layer by layer from the deepest, each element by
// its own drawer (tilemaps as quads written straight into the vertex batch), or a legacy room's
// backgrounds, tiles, instances and particle systems merged by depth.
#pragma once

#include <cstdint>

#include "graphics/Graphics_Matrix.h"

class CBackground;
class CInstance;
class CLayer;
class CRoom;
struct CLayerElement;
struct LayerTilemapElement;
struct TextureRecord;

void Draw_Layers(const GRBounds& rect);
void Draw_LegacyRoom(const GRBounds& rect);

// A layer's script with event_object, event_type and event_number set for it.
void Layer_RunScript(int32_t layerId, int32_t script, int32_t type, int32_t subtype);

// A tile set's texture geometry. No texture: nothing of the set can be drawn.
struct TileSetUV {
    TextureRecord* texture = nullptr;
    float du = 0, dv = 0;        // one tile's size in texture space
    float baseU = 0, baseV = 0;  // tile 0's texture-space origin
    float su = 0, sv = 0;        // stride between tiles
    float sx = 1, sy = 1;        // source scale of a page that holds the image scaled down
    bool batchable = false;
};
TileSetUV TileSet_GetUVInfo(const CBackground* tileSet);

// A tilemap element; with a layer its position is the element's plus the layer's and z the
// drawing depth, without one (tilemap_draw) x, y and z are given.
void Draw_Tilemap(const GRBounds& rect, const CLayer* layer, const LayerTilemapElement* tilemap, float x,
                  float y, float z);
// One cell value of a tile set at (x, y) (draw_tile).
void Draw_TileFromSet(const GRBounds& rect, int32_t tileSet, uint32_t value, int32_t frame, float x, float y,
                      float z);

// The default drawing of an instance without a draw handler: its sprite, plainly when it is
// untransformed, white and opaque. truncateFrame takes the frame toward zero on the plain path.
void Draw_InstanceSprite(CInstance* instance, bool truncateFrame);
// The instance's draw event, or its sprite when its object has no handler.
void Draw_Instance(CInstance* instance, bool truncateFrame);
