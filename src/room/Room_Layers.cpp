// A room's layers through its life: built from the layer records of its ROOM entry at start-up,
// copied into the working room on entry, prepared at room start, unlinked at room end and given
// back when the room object is cleared.
#include <cstring>
#include <new>

#include "assets/Sprite_Main.h"
#include "core/Console.h"
#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "room/Layer_Internal.h"
#include "room/Layer_Manager.h"
#include "room/Layer_Tilemap.h"
#include "base/GameFile.h"

namespace {

enum RoomLayerType : int32_t {
    ROOM_LAYER_BACKGROUND = 1,
    ROOM_LAYER_INSTANCES = 2,
    ROOM_LAYER_ASSETS = 3,
    ROOM_LAYER_TILEMAP = 4,
};

constexpr uint32_t kLayerHeaderBytes = 36;
constexpr uint32_t kBackgroundBodyBytes = 36;
constexpr uint32_t kAssetsBodyBytes = 8;
constexpr uint32_t kTilemapBodyBytes = 12;
constexpr uint32_t kTileRecordBytes = 48;
constexpr uint32_t kSpriteRecordBytes = 40;

// Reads of the loaded data file that check every offset and size against it; a record that
// does not fit is skipped with a line on the console, the rest of the room loads.
class LayerData {
public:
    LayerData() : m_base(Form_Base()), m_size(m_base != nullptr ? Form_Size() : 0) {}

    bool Fits(uint32_t offset, uint64_t bytes) const {
        return offset != 0 && static_cast<uint64_t>(offset) + bytes <= m_size;
    }
    uint32_t U32(uint32_t offset) const {
        uint32_t v;
        std::memcpy(&v, m_base + offset, 4);
        return v;
    }
    int32_t I32(uint32_t offset) const { return static_cast<int32_t>(U32(offset)); }
    float F32(uint32_t offset) const {
        float v;
        std::memcpy(&v, m_base + offset, 4);
        return v;
    }
    // A text reference: the offset of the first byte, its length word before it, a NUL after.
    // 0 and a reference that does not hold a text both read as none.
    const char* Text(uint32_t ref) const {
        if (ref < 4 || !Fits(ref - 4, 4)) return nullptr;
        const uint64_t end = static_cast<uint64_t>(ref) + U32(ref - 4);
        if (end >= m_size || m_base[end] != 0) return nullptr;
        return reinterpret_cast<const char*>(m_base + ref);
    }
    const uint8_t* At(uint32_t offset) const { return m_base + offset; }

    // A count at `offset` followed by count 4-byte offsets; -1 when they do not fit.
    int32_t OffsetList(uint32_t offset) const {
        if (!Fits(offset, 4)) return -1;
        const int32_t count = I32(offset);
        if (count < 0 || !Fits(offset, 4 + static_cast<uint64_t>(count) * 4)) return -1;
        return count;
    }

private:
    const uint8_t* m_base;
    uint32_t m_size;
};

uint32_t BlendOf(uint32_t colour) {
    return colour & 0xFFFFFFu;
}

float AlphaOf(uint32_t colour) {
    return static_cast<float>(colour >> 24) / 255.0f;
}

void BuildBackground(const LayerData& data, uint32_t at, CRoom* room, CLayer* layer) {
    LayerBackgroundElement* element = LayerElement_NewBackground();
    LayerBackgroundData& b = *element->data;
    b = LayerBackgroundData();
    b.xscale = b.yscale = 1.0f;
    b.visible = data.I32(at + 36) != 0;
    b.foreground = data.I32(at + 40) != 0;
    b.sprite = data.I32(at + 44);
    b.htiled = data.I32(at + 48) != 0;
    b.vtiled = data.I32(at + 52) != 0;
    const bool stretch = data.I32(at + 56) != 0;
    const uint32_t colour = data.U32(at + 60);
    b.blend = BlendOf(colour);
    b.alpha = AlphaOf(colour);
    b.index = data.F32(at + 64);
    b.speed = data.F32(at + 68);
    element->name = layer->name;
    if (stretch && Sprite_Exists(b.sprite)) {
        const CSprite* sprite = Sprite_Get(b.sprite);
        if (sprite->m_width > 0)
            b.xscale = static_cast<float>(room->width) / static_cast<float>(sprite->m_width);
        if (sprite->m_height > 0)
            b.yscale = static_cast<float>(room->height) / static_cast<float>(sprite->m_height);
    }
    Layer_AddNewElement(room, layer, element, false);
}

void BuildInstances(const LayerData& data, uint32_t at, CRoom* room, CLayer* layer) {
    const int32_t count = data.OffsetList(at + 36);  // instance ids are 4 bytes as offsets are
    for (int32_t i = 0; i < count; ++i) {
        const int32_t elementId = LayerIds_NextElementId();
        if (elementId < 0) return;
        LayerInstanceElement* element = LayerElement_NewInstance();
        element->instanceId = data.I32(at + 40 + static_cast<uint32_t>(i) * 4);
        element->id = elementId;
        Layer_LinkElement(room, layer, element);
    }
}

void BuildTile(const LayerData& data, uint32_t record, CRoom* room, CLayer* layer) {
    LayerTileElement* tile = LayerElement_NewTile();
    tile->x = static_cast<float>(data.I32(record));
    tile->y = static_cast<float>(data.I32(record + 4));
    tile->sprite = data.I32(record + 8);
    tile->left = data.I32(record + 12);
    tile->top = data.I32(record + 16);
    tile->width = data.I32(record + 20);
    tile->height = data.I32(record + 24);
    tile->xscale = data.F32(record + 36);
    tile->yscale = data.F32(record + 40);
    const uint32_t colour = data.U32(record + 44);
    tile->blend = BlendOf(colour);
    tile->alpha = AlphaOf(colour);
    tile->visible = true;
    tile->name = nullptr;
    Layer_AddNewElement(room, layer, tile, false);
}

void BuildSprite(const LayerData& data, uint32_t record, CRoom* room, CLayer* layer) {
    const int32_t elementId = LayerIds_NextElementId();
    if (elementId < 0) return;
    LayerSpriteElement* sprite = LayerElement_NewSprite();
    sprite->name = data.Text(data.U32(record));
    sprite->sprite = data.I32(record + 4);
    sprite->x = static_cast<float>(data.I32(record + 8));
    sprite->y = static_cast<float>(data.I32(record + 12));
    sprite->xscale = data.F32(record + 16);
    sprite->yscale = data.F32(record + 20);
    const uint32_t colour = data.U32(record + 24);
    sprite->blend = BlendOf(colour);
    sprite->alpha = AlphaOf(colour);
    sprite->speed = data.F32(record + 28);
    sprite->index = data.F32(record + 32);
    sprite->angle = data.F32(record + 36);
    sprite->id = elementId;
    Layer_LinkElement(room, layer, sprite);
}

// Each record of an assets list; a list or record outside the file is skipped.
template <typename Build>
void BuildAssetList(const LayerData& data, uint32_t list, uint32_t recordBytes, const char* what,
                    Build build) {
    if (list == 0) return;
    const int32_t count = data.OffsetList(list);
    if (count < 0) {
        DebugConsole.Output("Room layers: %s list at %u lies outside the data file; skipped\n", what, list);
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t record = data.U32(list + 4 + static_cast<uint32_t>(i) * 4);
        if (!data.Fits(record, recordBytes)) {
            DebugConsole.Output("Room layers: %s record at %u lies outside the data file; skipped\n", what,
                                record);
            continue;
        }
        build(record);
    }
}

void BuildAssets(const LayerData& data, uint32_t at, CRoom* room, CLayer* layer) {
    BuildAssetList(data, data.U32(at + 36), kTileRecordBytes, "tile",
                   [&](uint32_t record) { BuildTile(data, record, room, layer); });
    BuildAssetList(data, data.U32(at + 40), kSpriteRecordBytes, "sprite",
                   [&](uint32_t record) { BuildSprite(data, record, room, layer); });
}

void BuildTilemap(const LayerData& data, uint32_t at, CRoom* room, CLayer* layer) {
    LayerTilemapElement* tilemap = LayerElement_NewTilemap();
    tilemap->tileSet = data.I32(at + 36);
    tilemap->width = data.I32(at + 40);
    tilemap->height = data.I32(at + 44);
    tilemap->name = layer->name;
    const uint8_t* cells = data.At(at + 48);
    if (reinterpret_cast<uintptr_t>(cells) % alignof(TileCell) == 0) {
        tilemap->cells = reinterpret_cast<TileCell*>(const_cast<uint8_t*>(cells));
        tilemap->cellsInGameData = true;
    } else if (Tilemap_AllocateCells(tilemap, tilemap->width, tilemap->height)) {
        // Cells at an odd offset cannot be read in place; the element keeps its own copy.
        std::memcpy(tilemap->cells, cells, static_cast<size_t>(tilemap->width) * tilemap->height * 4);
    }
    Layer_AddNewElement(room, layer, tilemap, false);
}

// The bytes a layer record needs beyond its header; false for a body that cannot fit.
bool BodyFits(const LayerData& data, uint32_t at, int32_t type) {
    switch (type) {
        case ROOM_LAYER_BACKGROUND:
            return data.Fits(at, kLayerHeaderBytes + kBackgroundBodyBytes);
        case ROOM_LAYER_INSTANCES:
            return data.OffsetList(at + kLayerHeaderBytes) >= 0;
        case ROOM_LAYER_ASSETS:
            return data.Fits(at, kLayerHeaderBytes + kAssetsBodyBytes);
        case ROOM_LAYER_TILEMAP: {
            if (!data.Fits(at, kLayerHeaderBytes + kTilemapBodyBytes)) return false;
            const int32_t width = data.I32(at + 40), height = data.I32(at + 44);
            if (width < 0 || height < 0) return false;
            const uint64_t cells = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4;
            return data.Fits(at, kLayerHeaderBytes + kTilemapBodyBytes + cells);
        }
        default:
            return true;  // a layer without elements
    }
}

void BuildLayer(const LayerData& data, uint32_t at, CRoom* room) {
    if (!data.Fits(at, kLayerHeaderBytes)) {
        DebugConsole.Output("Room layers: layer record at %u lies outside the data file; skipped\n", at);
        return;
    }
    const int32_t id = data.I32(at + 4);
    const int32_t type = data.I32(at + 8);
    if (!IdMap::KeyAllowed(id)) {
        DebugConsole.Output("Room layers: layer record at %u has id %d, which no layer can hold; skipped\n",
                            at, id);
        return;
    }
    if (!BodyFits(data, at, type)) {
        DebugConsole.Output("Room layers: layer record at %u (type %d) runs past the data file; skipped\n",
                            at, type);
        return;
    }
    CLayer* layer = LayerPool_TakeLayer();
    layer->name = data.Text(data.U32(at));
    layer->id = id;
    layer->depth = data.I32(at + 12);
    layer->x = data.F32(at + 16);
    layer->y = data.F32(at + 20);
    layer->hspeed = data.F32(at + 24);
    layer->vspeed = data.F32(at + 28);
    layer->visible = data.I32(at + 32) != 0;
    switch (type) {
        case ROOM_LAYER_BACKGROUND:
            BuildBackground(data, at, room, layer);
            break;
        case ROOM_LAYER_INSTANCES:
            BuildInstances(data, at, room, layer);
            break;
        case ROOM_LAYER_ASSETS:
            BuildAssets(data, at, room, layer);
            break;
        case ROOM_LAYER_TILEMAP:
            BuildTilemap(data, at, room, layer);
            break;
        default:
            break;
    }
    Layer_InsertByDepth(room, layer);
    if (id > MaxRoomLayerId) MaxRoomLayerId = id;
}

// --- copies ----------------------------------------------------------------------------------

CLayerElement* CopyBackground(const LayerBackgroundElement* src) {
    if (src->data == nullptr) return nullptr;
    LayerBackgroundElement* copy = LayerElement_NewBackground();
    *copy->data = *src->data;
    copy->name = src->name;
    return copy;
}

CLayerElement* CopyInstance(const LayerInstanceElement* src) {
    LayerInstanceElement* copy = LayerElement_NewInstance();
    copy->instanceId = src->instanceId;
    return copy;
}

CLayerElement* CopyOldTiles(const LayerOldTilesElement* src) {
    if (src->tiles == nullptr && src->batches.head == nullptr) return nullptr;
    LayerOldTilesElement* copy = LayerElement_NewOldTiles();
    copy->name = src->name;
    if (src->tiles != nullptr && src->tileBlockCount > 0) {
        const size_t bytes = static_cast<size_t>(src->tileBlockCount) * sizeof(RoomTileRecord);
        copy->tiles = static_cast<RoomTileRecord*>(MEM_ALLOC(bytes));
        std::memcpy(copy->tiles, src->tiles, bytes);
        copy->tileBlockCount = src->tileBlockCount;
    }
    for (const TileBatch* batch = src->batches.head; batch != nullptr; batch = batch->next) {
        TileBatch* into = LayerPool_TakeBatch();
        std::memcpy(into->entries, batch->entries, sizeof(batch->entries));
        into->count = batch->count;
        into->prev = copy->batches.tail;
        if (copy->batches.tail != nullptr)
            copy->batches.tail->next = into;
        else
            copy->batches.head = into;
        copy->batches.tail = into;
        ++copy->batches.count;
    }
    copy->tileCount = src->tileCount;
    copy->ready = src->batches.head != nullptr;
    return copy;
}

CLayerElement* CopySprite(const LayerSpriteElement* src) {
    LayerSpriteElement* copy = LayerElement_NewSprite();
    copy->sprite = src->sprite;
    copy->index = src->index;
    copy->speed = src->speed;
    copy->xscale = src->xscale;
    copy->yscale = src->yscale;
    copy->angle = src->angle;
    copy->blend = src->blend;
    copy->alpha = src->alpha;
    copy->x = src->x;
    copy->y = src->y;
    copy->name = src->name;
    return copy;
}

CLayerElement* CopyTilemap(const LayerTilemapElement* src) {
    LayerTilemapElement* copy = LayerElement_NewTilemap();
    copy->tileSet = src->tileSet;
    copy->x = src->x;
    copy->y = src->y;
    copy->name = src->name;
    copy->width = src->width;
    copy->height = src->height;
    if (src->cells != nullptr && Tilemap_AllocateCells(copy, src->width, src->height))
        std::memcpy(copy->cells, src->cells,
                    static_cast<size_t>(src->width) * src->height * sizeof(TileCell));
    return copy;
}

CLayerElement* CopyParticleSystem(const LayerParticleElement* src) {
    LayerParticleElement* copy = LayerElement_NewParticleSystem();
    copy->systemIndex = src->systemIndex;
    copy->name = src->name;
    return copy;
}

CLayerElement* CopyTile(const LayerTileElement* src) {
    LayerTileElement* copy = LayerElement_NewTile();
    *copy = *src;
    copy->id = -1;
    copy->ready = false;
    copy->layer = nullptr;
    copy->next = copy->prev = nullptr;
    return copy;
}

CLayerElement* CopyElement(const CLayerElement* src) {
    switch (src->kind) {
        case eLayerElement_Background:
            return CopyBackground(static_cast<const LayerBackgroundElement*>(src));
        case eLayerElement_Instance:
            return CopyInstance(static_cast<const LayerInstanceElement*>(src));
        case eLayerElement_OldTiles:
            return CopyOldTiles(static_cast<const LayerOldTilesElement*>(src));
        case eLayerElement_Sprite:
            return CopySprite(static_cast<const LayerSpriteElement*>(src));
        case eLayerElement_Tilemap:
            return CopyTilemap(static_cast<const LayerTilemapElement*>(src));
        case eLayerElement_ParticleSystem:
            return CopyParticleSystem(static_cast<const LayerParticleElement*>(src));
        case eLayerElement_Tile:
            return CopyTile(static_cast<const LayerTileElement*>(src));
        default:
            return nullptr;
    }
}

CLayer* CopyLayer(const CLayer* src) {
    CLayer* layer = LayerPool_TakeLayer();
    layer->id = src->id;
    layer->depth = src->depth;
    layer->x = src->x;
    layer->y = src->y;
    layer->hspeed = src->hspeed;
    layer->vspeed = src->vspeed;
    layer->visible = src->visible;
    layer->beginScript = src->beginScript;
    layer->endScript = src->endScript;
    layer->shader = src->shader;
    if (src->nameOwned)
        Layer_SetName(layer, src->name);
    else
        layer->name = src->name;
    return layer;
}

}  // namespace

void Room_BuildLayers(CRoom* room, uint32_t listOffset) {
    if (room == nullptr || listOffset == 0) return;
    if (!LayerPoolsReady) LayerPools_Init();
    RoomLayers* layers = Room_Layers(room);
    layers->width = room->width;
    layers->height = room->height;
    const LayerData data;
    const int32_t count = data.OffsetList(listOffset);
    if (count < 0) {
        DebugConsole.Output("Room layers: layer list at %u of room \"%s\" lies outside the data file\n",
                            listOffset, room->Name());
        return;
    }
    for (int32_t i = 0; i < count; ++i)
        BuildLayer(data, data.U32(listOffset + 4 + static_cast<uint32_t>(i) * 4), room);
}

void Room_CopyLayers(CRoom* dst, const CRoom* src) {
    if (dst == nullptr || src == nullptr) return;
    Room_FreeLayers(dst);
    if (src->layers == nullptr) return;
    RoomLayers* layers = Room_Layers(dst);
    for (const CLayer* from = src->layers->head; from != nullptr; from = from->next) {
        CLayer* layer = CopyLayer(from);
        for (const CLayerElement* e = from->elements.head; e != nullptr; e = e->next) {
            CLayerElement* copy = CopyElement(e);
            if (copy == nullptr) continue;
            copy->id = e->id;
            Layer_LinkElement(dst, layer, copy);
        }
        Layer_AppendLayer(layers, layer);
        layers->layerIds.Insert(layer->id, layer);
    }
}

void Room_StartLayers(CRoom* room) {
    if (room == nullptr || !Layer_RoomsUseLayers()) return;
    for (CLayer* layer = Room_FirstLayer(room); layer != nullptr; layer = layer->next) {
        layer->clock.Reset();
        for (CLayerElement* e = layer->elements.head; e != nullptr;) {
            // Binding may give back another instance element of this layer, never the next one
            // of the walk before it is read.
            CLayerElement* next = e->next;
            if (!e->ready) LayerElement_Prepare(room, layer, e);
            e = next;
        }
    }
    // Empty entries of the id hash are passed over: the walk goes on to the end.
    CHash<CInstance>& hash = Instance_IdHash();
    CHashIterator it;
    for (CInstance* instance = hash.IteratorFirst(it); it.node != nullptr; instance = hash.IteratorNext(it))
        if (instance != nullptr) Layer_AddInstance(room, instance);
    if (LayerScriptInstance == nullptr) LayerScriptInstance = new CInstance(0.0f, 0.0f, 0, -1, false);
}

void Room_UnlinkLayerElements(CRoom* room) {
    for (CLayer* layer = Room_FirstLayer(room); layer != nullptr; layer = layer->next)
        for (CLayerElement* e = layer->elements.head; e != nullptr; e = e->next) LayerElement_Unprepare(e);
    delete LayerScriptInstance;
    LayerScriptInstance = nullptr;
}

void Room_FreeLayers(CRoom* room) {
    if (room == nullptr || room->layers == nullptr) return;
    RoomLayers* layers = room->layers;
    while (CLayer* layer = layers->head) {
        while (layer->elements.head != nullptr) Layer_DeleteElement(room, layer, layer->elements.head);
        Layer_Unlink(layers, layer);
        Layer_ReleaseToPool(layer);
    }
    layers->~RoomLayers();
    MEM_FREE(layers);
    room->layers = nullptr;
}
