// Room layers and their elements: the records, the pools they come from, the two id maps of a
// room, the depth order, dynamic layers, the element life cycle, the room's layer set-up
// (build from the data file, copy, start, unlink, free) and the instances that sit on layers.
//
// Every room (definition or working copy) owns one RoomLayers, made on first use. Its layer list
// runs from the smallest depth at the head to the largest (deepest) at the tail, so drawing walks
// it from the tail back. Everything here runs on the main thread.
#pragma once

#include <cstdint>

#include "core/Timing.h"
#include "world/Room_Class.h"

class CInstance;
class CRoom;
class CLayer;

enum LayerElementKind : uint32_t {
    eLayerElement_Undefined = 0,
    eLayerElement_Background = 1,
    eLayerElement_Instance = 2,
    eLayerElement_OldTiles = 3,
    eLayerElement_Sprite = 4,
    eLayerElement_Tilemap = 5,
    eLayerElement_ParticleSystem = 6,
    eLayerElement_Tile = 7,
};
constexpr int32_t kLayerElementKinds = 8;  // kinds are 1 .. 7

// A 32-bit tilemap cell: bits 0-18 the tile index (0 empty), 28 mirror, 29 flip, 30 rotate.
using TileCell = uint32_t;
constexpr uint32_t kTileIndexMask = 0x7FFFFu;
constexpr uint32_t kTileMirrorBit = 1u << 28;
constexpr uint32_t kTileFlipBit = 1u << 29;
constexpr uint32_t kTileRotateBit = 1u << 30;
constexpr uint32_t kTileDefaultMask = 0x7FFFFFFFu;

// Every element kind begins with this header.
struct CLayerElement {
    LayerElementKind kind = eLayerElement_Undefined;
    int32_t id = -1;             // -1 until the element is added to a layer
    bool ready = false;          // prepared for the running room
    const char* name = nullptr;  // not owned: game data, or shared with the element it was copied from
    CLayer* layer = nullptr;     // null while pooled
    CLayerElement* next = nullptr;
    CLayerElement* prev = nullptr;
};

// What a background element owns.
struct LayerBackgroundData {
    bool visible = false;
    bool foreground = false;
    int32_t sprite = -1;  // -1: a full colour fill
    bool htiled = false, vtiled = false;
    float xscale = 0.0f, yscale = 0.0f;
    uint32_t blend = 0;
    float alpha = 0.0f;
    float index = 0.0f;
    float speed = 0.0f;  // frames per second
};

struct LayerBackgroundElement : CLayerElement {
    LayerBackgroundData* data = nullptr;  // owned
};

struct LayerInstanceElement : CLayerElement {
    int32_t instanceId = -1;
    CInstance* instance = nullptr;  // null until bound
};

// The drawing form of an old tile list: up to 32 tiles per batch.
constexpr int32_t kTileBatchSize = 32;
struct TileBatchEntry {
    float x, y;
    int32_t background;
    int32_t left, top, width, height;
    float depth;
    int32_t id;
    float xscale, yscale;
    uint32_t blend;  // 0xBBGGRR
    float alpha;
    bool visible;
};
struct TileBatch {
    TileBatchEntry entries[kTileBatchSize];
    int32_t count = 0;
    TileBatch* next = nullptr;
    TileBatch* prev = nullptr;
};
struct TileBatchList {
    TileBatch* head = nullptr;
    TileBatch* tail = nullptr;
    int32_t count = 0;
};

struct LayerOldTilesElement : CLayerElement {
    RoomTileRecord* tiles = nullptr;  // owned block of tileBlockCount records
    int32_t tileBlockCount = 0;
    int32_t tileCount = 0;  // tiles held by the batches
    TileBatchList batches;
};

struct LayerSpriteElement : CLayerElement {
    int32_t sprite = -1;
    float index = 0.0f;
    float speed = 1.0f;  // frames per second
    float xscale = 1.0f, yscale = 1.0f;
    float angle = 0.0f;  // degrees
    uint32_t blend = 0xFFFFFFFFu;
    float alpha = 1.0f;
    float x = 0.0f, y = 0.0f;
};

struct LayerTilemapElement : CLayerElement {
    int32_t tileSet = -1;  // a background index
    float x = 0.0f, y = 0.0f;
    int32_t width = 0, height = 0;  // in cells
    int32_t frame = 0;              // current animation frame
    TileCell* cells = nullptr;      // width x height, row by row; owned unless cellsInGameData
    uint32_t mask = kTileDefaultMask;
    bool cellsInGameData = false;
};

struct LayerParticleElement : CLayerElement {
    int32_t systemIndex = -1;
};

struct LayerTileElement : CLayerElement {
    bool visible = true;
    int32_t sprite = -1;
    float x = 0.0f, y = 0.0f;
    int32_t width = 0, height = 0;
    float xscale = 1.0f, yscale = 1.0f;
    uint32_t blend = 0xFFFFFFFFu;
    float alpha = 1.0f;
    int32_t left = 0, top = 0;
};

// A layer's elements in drawing order.
struct LayerElementList {
    CLayerElement* head = nullptr;
    CLayerElement* tail = nullptr;
    int32_t count = 0;
};

class CLayer {
public:
    int32_t id = -1;
    int32_t depth = 0;  // larger is further back
    float x = 0.0f, y = 0.0f;
    float hspeed = 0.0f, vspeed = 0.0f;
    bool visible = true;
    bool dynamic = false;  // made by the runner for one depth
    const char* name = nullptr;
    bool nameOwned = false;  // a copy made for the layer (else game data or none)
    int32_t beginScript = -1, endScript = -1;
    int32_t shader = -1;
    TimingSource clock;  // real time; drives element animation
    LayerElementList elements;
    CLayer* next = nullptr;
    CLayer* prev = nullptr;
};

// Open-addressing (Robin Hood) map of non-negative int32 keys to pointers.
struct IdMapSlot {
    int32_t key;
    void* value;
    uint32_t hash;  // (key + 1) & 0x7FFFFFFF; 0 marks an empty slot
};
class IdMap {
public:
    static constexpr int32_t kInitialCapacity = 128;

    IdMap() = default;
    ~IdMap();
    IdMap(const IdMap&) = delete;
    IdMap& operator=(const IdMap&) = delete;

    // An empty slot array of `capacity` slots (a power of two).
    void Init(int32_t capacity = kInitialCapacity);
    void* Find(int32_t key) const;
    // False (nothing stored) for a key that cannot be held: negative, or one whose hash is the
    // empty marker.
    bool Insert(int32_t key, void* value);
    void Remove(int32_t key);
    // Forgets every entry, keeping the capacity.
    void Clear();

    int32_t Capacity() const { return m_capacity; }
    int32_t Count() const { return m_count; }
    static bool KeyAllowed(int32_t key) { return key >= 0 && key != INT32_MAX; }

private:
    void Grow();
    uint32_t Displacement(int32_t slot) const;

    IdMapSlot* m_slots = nullptr;
    int32_t m_capacity = 0;
    int32_t m_count = 0;
    int32_t m_mask = 0;
    int32_t m_threshold = 0;
};

// The layer subsystem's part of a room.
struct RoomLayers {
    CLayer* head = nullptr;  // smallest depth
    CLayer* tail = nullptr;  // deepest
    int32_t count = 0;
    IdMap layerIds;
    IdMap elementIds;
    CLayerElement* lastElement = nullptr;  // what Room_FindElement found last
    int32_t width = 0, height = 0;         // the room's size when its layers were built
};

// --- globals -------------------------------------------------------------------------------
extern int32_t LayerTargetRoom;  // -1: the current room
extern uint32_t TileGlobalMask;
extern bool LayerDepthForced;
extern int32_t LayerForcedDepth;
extern int32_t NextElementId;
extern int32_t LastLayerId;
extern int32_t MaxRoomLayerId;
extern CInstance* LayerScriptInstance;
extern bool LayerPoolsReady;

// --- rooms -------------------------------------------------------------------------------
// The room's layer set, made empty on first use; null for a null room.
RoomLayers* Room_Layers(CRoom* room);
// Depth order: the head has the smallest depth, the tail is the deepest (drawn first).
CLayer* Room_FirstLayer(CRoom* room);
CLayer* Room_LastLayer(CRoom* room);
int32_t Room_LayerCount(CRoom* room);

// --- lookups -------------------------------------------------------------------------------
CLayer* Layer_Find(CRoom* room, int32_t id);
CLayer* Layer_FindByName(CRoom* room, const char* name);  // ASCII case ignored
CLayer* Layer_FindAtDepth(CRoom* room, int32_t depth, bool dynamicOnly);
CLayerElement* Room_FindElement(CRoom* room, int32_t id, CLayer** layer = nullptr);
CLayerElement* Layer_FindElementById(CLayer* layer, int32_t id);
CLayerElement* Layer_FindElementByName(CLayer* layer, const char* name);
// The room the layer built-ins act on: LayerTargetRoom's, else the current room.
CRoom* Layer_TargetRoom();
// The element with that id and kind in the room, else null.
template <typename T>
T* Room_FindElementOfKind(CRoom* room, int32_t id, LayerElementKind kind, CLayer** layer = nullptr) {
    CLayerElement* element = Room_FindElement(room, id, layer);
    return element != nullptr && element->kind == kind ? static_cast<T*>(element) : nullptr;
}

// --- layers --------------------------------------------------------------------------------
CLayer* Layer_New(CRoom* room, int32_t depth, const char* name);
CLayer* Layer_NewDynamic(CRoom* room, int32_t depth);
void Layer_InsertByDepth(CRoom* room, CLayer* layer);
void Layer_SetDepth(CRoom* room, CLayer* layer, int32_t depth, bool mergeDynamic);
void Layer_Destroy(CRoom* room, int32_t layerId);
// Replaces the layer's name with a copy of `name` (null: none).
void Layer_SetName(CLayer* layer, const char* name);

// --- elements ------------------------------------------------------------------------------
// A fresh element of the kind from its pool; null for a kind outside 1 .. 7.
CLayerElement* LayerElement_New(LayerElementKind kind);
LayerBackgroundElement* LayerElement_NewBackground();  // with a fresh LayerBackgroundData
LayerInstanceElement* LayerElement_NewInstance();
LayerOldTilesElement* LayerElement_NewOldTiles();
LayerSpriteElement* LayerElement_NewSprite();
LayerTilemapElement* LayerElement_NewTilemap();
LayerParticleElement* LayerElement_NewParticleSystem();
LayerTileElement* LayerElement_NewTile();
// Gives an element that was never linked back to its pool (a caller that changed its mind).
void LayerElement_Discard(CLayerElement* element);

void Layer_LinkElement(CRoom* room, CLayer* layer, CLayerElement* element);
// The element's new id (-1 for a null argument or when ids have run out).
int32_t Layer_AddNewElement(CRoom* room, CLayer* layer, CLayerElement* element, bool prepare);
int32_t Layer_AddElementAtDepth(CRoom* room, int32_t depth, CLayerElement* element, bool prepare,
                                bool useDynamic);
void LayerElement_Move(CRoom* room, CLayerElement* element, CLayer* layer);
void Layer_DeleteElement(CRoom* room, CLayer* layer, CLayerElement* element);
void Layer_RemoveElement(CRoom* room, int32_t elementId, bool destroyEmptyDynamic);
void LayerElement_Prepare(CRoom* room, CLayer* layer, CLayerElement* element);
void LayerElement_Unprepare(CLayerElement* element);
void LayerElement_BindInstance(CRoom* room, CLayer* layer, LayerInstanceElement* element);
void LayerElement_UnbindInstance(LayerInstanceElement* element);
void LayerElement_BuildTileBatches(CRoom* room, CLayer* layer, LayerOldTilesElement* element);
void LayerElement_FreeTileBatches(LayerOldTilesElement* element);

// --- pools ---------------------------------------------------------------------------------
void LayerPools_Init();
// Free records held by a pool (0 layers, 1 .. 7 element kinds, 8 tile batches); for tests.
int32_t LayerPool_FreeCount(int32_t pool);

// --- the room's layer set-up --------------------------------------------------------------
// `listOffset` is the file offset of the room entry's layer list in the loaded data (0: none).
void Room_BuildLayers(CRoom* room, uint32_t listOffset);
void Room_CopyLayers(CRoom* dst, const CRoom* src);
void Room_StartLayers(CRoom* room);
void Room_UnlinkLayerElements(CRoom* room);
// Gives back every layer and element, and the room's layer set itself.
void Room_FreeLayers(CRoom* room);
// Once per step in layer mode: clocks advance, layers move by their speeds, background and sprite
// frames advance by their speeds and tilemaps take their tile sets' animation frame.
void Room_StepLayers(CRoom* room);

// --- instances on layers -------------------------------------------------------------------
void Layer_AddInstance(CRoom* room, CInstance* instance);
void Layer_AttachInstance(CRoom* room, CLayer* layer, CInstance* instance);
void Layer_RemoveInstance(CRoom* room, CInstance* instance);
void Layer_RemoveInstanceElement(CRoom* room, CLayer* layer, CInstance* instance);
void Layer_RemoveInstanceById(CRoom* room, CLayer* layer, int32_t instanceId);
int32_t Layer_GetInstanceLayerId(CRoom* room, int32_t instanceId);
void Layer_InstanceDepthChanged(CRoom* room, CInstance* instance);

// Fills the runner's layer seams (room hooks, layer lookups). Called once at start-up.
void Layer_InstallHooks();
