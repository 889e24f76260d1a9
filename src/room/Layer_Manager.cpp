// Layers, elements, pools and id maps (first cut: the interface, filled in step by step).
#include "room/Layer_Manager.h"

#include "room/Layer_Tilemap.h"

int32_t LayerTargetRoom = -1;
uint32_t TileGlobalMask = kTileDefaultMask;
bool LayerDepthForced = false;
int32_t LayerForcedDepth = 0;
int32_t NextElementId = 0;
int32_t LastLayerId = 0;
int32_t MaxRoomLayerId = 0;
CInstance* LayerScriptInstance = nullptr;
bool LayerPoolsReady = false;

IdMap::~IdMap() {}
void IdMap::Init(int32_t) {}
void* IdMap::Find(int32_t) const { return nullptr; }
bool IdMap::Insert(int32_t, void*) { return false; }
void IdMap::Remove(int32_t) {}
void IdMap::Clear() {}
void IdMap::Grow() {}
uint32_t IdMap::Displacement(int32_t) const { return 0; }

RoomLayers* Room_Layers(CRoom*) { return nullptr; }
CLayer* Room_FirstLayer(CRoom*) { return nullptr; }
CLayer* Room_LastLayer(CRoom*) { return nullptr; }
int32_t Room_LayerCount(CRoom*) { return 0; }
CLayer* Layer_Find(CRoom*, int32_t) { return nullptr; }
CLayer* Layer_FindByName(CRoom*, const char*) { return nullptr; }
CLayer* Layer_FindAtDepth(CRoom*, int32_t, bool) { return nullptr; }
CLayerElement* Room_FindElement(CRoom*, int32_t, CLayer**) { return nullptr; }
CLayerElement* Layer_FindElementById(CLayer*, int32_t) { return nullptr; }
CLayerElement* Layer_FindElementByName(CLayer*, const char*) { return nullptr; }
CRoom* Layer_TargetRoom() { return nullptr; }
CLayer* Layer_New(CRoom*, int32_t, const char*) { return nullptr; }
CLayer* Layer_NewDynamic(CRoom*, int32_t) { return nullptr; }
void Layer_InsertByDepth(CRoom*, CLayer*) {}
void Layer_SetDepth(CRoom*, CLayer*, int32_t, bool) {}
void Layer_Destroy(CRoom*, int32_t) {}
void Layer_SetName(CLayer*, const char*) {}
CLayerElement* LayerElement_New(LayerElementKind) { return nullptr; }
LayerBackgroundElement* LayerElement_NewBackground() { return nullptr; }
LayerInstanceElement* LayerElement_NewInstance() { return nullptr; }
LayerOldTilesElement* LayerElement_NewOldTiles() { return nullptr; }
LayerSpriteElement* LayerElement_NewSprite() { return nullptr; }
LayerTilemapElement* LayerElement_NewTilemap() { return nullptr; }
LayerParticleElement* LayerElement_NewParticleSystem() { return nullptr; }
LayerTileElement* LayerElement_NewTile() { return nullptr; }
void LayerElement_Discard(CLayerElement*) {}
void Layer_LinkElement(CRoom*, CLayer*, CLayerElement*) {}
int32_t Layer_AddNewElement(CRoom*, CLayer*, CLayerElement*, bool) { return -1; }
int32_t Layer_AddElementAtDepth(CRoom*, int32_t, CLayerElement*, bool, bool) { return -1; }
void LayerElement_Move(CRoom*, CLayerElement*, CLayer*) {}
void Layer_DeleteElement(CRoom*, CLayer*, CLayerElement*) {}
void Layer_RemoveElement(CRoom*, int32_t, bool) {}
void LayerElement_Prepare(CRoom*, CLayer*, CLayerElement*) {}
void LayerElement_Unprepare(CLayerElement*) {}
void LayerElement_BindInstance(CRoom*, CLayer*, LayerInstanceElement*) {}
void LayerElement_UnbindInstance(LayerInstanceElement*) {}
void LayerElement_BuildTileBatches(CRoom*, CLayer*, LayerOldTilesElement*) {}
void LayerElement_FreeTileBatches(LayerOldTilesElement*) {}
void LayerPools_Init() {}
int32_t LayerPool_FreeCount(int32_t) { return 0; }
void Room_BuildLayers(CRoom*, uint32_t) {}
void Room_CopyLayers(CRoom*, const CRoom*) {}
void Room_StartLayers(CRoom*) {}
void Room_UnlinkLayerElements(CRoom*) {}
void Room_FreeLayers(CRoom*) {}
void Layer_AddInstance(CRoom*, CInstance*) {}
void Layer_AttachInstance(CRoom*, CLayer*, CInstance*) {}
void Layer_RemoveInstance(CRoom*, CInstance*) {}
void Layer_RemoveInstanceElement(CRoom*, CLayer*, CInstance*) {}
void Layer_RemoveInstanceById(CRoom*, CLayer*, int32_t) {}
int32_t Layer_GetInstanceLayerId(CRoom*, int32_t) { return -1; }
void Layer_InstanceDepthChanged(CRoom*, CInstance*) {}
void Layer_InstallHooks() {}

bool TileSet_Get(int32_t, TileSetInfo*) { return false; }
bool Tilemap_AllocateCells(LayerTilemapElement*, int32_t, int32_t) { return false; }
void Tilemap_FreeCells(LayerTilemapElement*) {}
TilemapCellStatus Tilemap_GetCell(const LayerTilemapElement*, int32_t, int32_t, TileCell*) {
    return TILEMAP_CELL_NO_CELLS;
}
TilemapCellStatus Tilemap_SetCell(LayerTilemapElement*, TileCell, int32_t, int32_t, int32_t) {
    return TILEMAP_CELL_NO_CELLS;
}
bool Tilemap_Clear(LayerTilemapElement*, TileCell) { return false; }
bool Tilemap_PixelToCell(const LayerTilemapElement*, const CLayer*, int32_t, int32_t, float, float, int32_t*,
                         int32_t*) {
    return false;
}
void Tilemap_ClampCell(const LayerTilemapElement*, int32_t*, int32_t*) {}
