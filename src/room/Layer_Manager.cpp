// Layers and their elements: lookups, the depth order, dynamic layers, merging and the element
// life cycle within a room.
#include "room/Layer_Manager.h"

#include <new>

#include "core/Console.h"
#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "room/Layer_Internal.h"
#include "base/GEN8.h"
#include "world/Room_Main.h"
#include "world/Run.h"

int32_t LayerTargetRoom = -1;
uint32_t TileGlobalMask = kTileDefaultMask;
bool LayerDepthForced = false;
int32_t LayerForcedDepth = 0;
int32_t NextElementId = 0;
int32_t LastLayerId = 0;
int32_t MaxRoomLayerId = 0;
CInstance* LayerScriptInstance = nullptr;
bool LayerPoolsReady = false;

namespace {

bool SameNameIgnoringAsciiCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char ca = *a, cb = *b;
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<char>(cb - 'A' + 'a');
        if (ca != cb) return false;
        if (ca == '\0') return true;
    }
}

// Ids stop one short of the largest int32: its hash would be the id maps' empty marker.
int32_t NextLayerId() {
    const int32_t base = LastLayerId > MaxRoomLayerId ? LastLayerId : MaxRoomLayerId;
    if (base >= INT32_MAX - 1) {
        DebugConsole.Output("Layer ids exhausted: no more layers can be made\n");
        return -1;
    }
    LastLayerId = base + 1;
    return LastLayerId;
}

void InsertAfter(RoomLayers* layers, CLayer* at, CLayer* layer) {
    layer->prev = at;
    layer->next = at->next;
    if (at->next != nullptr)
        at->next->prev = layer;
    else
        layers->tail = layer;
    at->next = layer;
    ++layers->count;
}

void InsertBefore(RoomLayers* layers, CLayer* at, CLayer* layer) {
    layer->next = at;
    layer->prev = at->prev;
    if (at->prev != nullptr)
        at->prev->next = layer;
    else
        layers->head = layer;
    at->prev = layer;
    ++layers->count;
}

void InsertAtHead(RoomLayers* layers, CLayer* layer) {
    if (layers->head != nullptr)
        InsertBefore(layers, layers->head, layer);
    else
        Layer_AppendLayer(layers, layer);
}

// The moving layer's elements join the other layer's list; the emptied layer goes.
void MergeLayer(CRoom* room, RoomLayers* layers, CLayer* layer, CLayer* into) {
    for (CLayerElement* e = layer->elements.head; e != nullptr; e = e->next) {
        if (e->kind == eLayerElement_Instance) {
            CInstance* instance = static_cast<LayerInstanceElement*>(e)->instance;
            if (instance != nullptr) instance->layer = into->id;
        }
        e->layer = into;
    }
    LayerElementList& to = into->elements;
    if (layer->elements.head != nullptr) {
        if (to.tail != nullptr) {
            to.tail->next = layer->elements.head;
            layer->elements.head->prev = to.tail;
        } else {
            to.head = layer->elements.head;
        }
        to.tail = layer->elements.tail;
        to.count += layer->elements.count;
    }
    // Detached before the layer goes back to its pool, so the pool never holds live elements.
    layer->elements = LayerElementList();
    Layer_Unlink(layers, layer);
    layers->layerIds.Remove(layer->id);
    (void)room;
    Layer_ReleaseToPool(layer);
}

}  // namespace

// --- shared with the module's other files ----------------------------------------------------

bool Layer_RoomsUseLayers() {
    return g_GameHeader.layerModel;
}

int32_t LayerIds_NextElementId() {
    if (NextElementId >= INT32_MAX - 1) {
        DebugConsole.Output("Layer element ids exhausted: no more elements can be made\n");
        return -1;
    }
    return NextElementId++;
}

void Layer_ReleaseToPool(CLayer* layer) {
    if (layer->nameOwned) MEM_FREE(const_cast<char*>(layer->name));
    LayerPool_GiveLayer(layer);
}

void Layer_Unlink(RoomLayers* layers, CLayer* layer) {
    if (layer->prev != nullptr)
        layer->prev->next = layer->next;
    else if (layers->head == layer)
        layers->head = layer->next;
    else
        return;  // not in this list
    if (layer->next != nullptr)
        layer->next->prev = layer->prev;
    else
        layers->tail = layer->prev;
    layer->next = layer->prev = nullptr;
    --layers->count;
}

void Layer_AppendLayer(RoomLayers* layers, CLayer* layer) {
    layer->next = nullptr;
    layer->prev = layers->tail;
    if (layers->tail != nullptr)
        layers->tail->next = layer;
    else
        layers->head = layer;
    layers->tail = layer;
    ++layers->count;
}

void ElementList_Unlink(LayerElementList& list, CLayerElement* element) {
    if (element->prev != nullptr)
        element->prev->next = element->next;
    else if (list.head == element)
        list.head = element->next;
    else
        return;
    if (element->next != nullptr)
        element->next->prev = element->prev;
    else
        list.tail = element->prev;
    element->next = element->prev = nullptr;
    --list.count;
}

void ElementList_Append(LayerElementList& list, CLayerElement* element) {
    element->next = nullptr;
    element->prev = list.tail;
    if (list.tail != nullptr)
        list.tail->next = element;
    else
        list.head = element;
    list.tail = element;
    ++list.count;
}

// --- rooms -----------------------------------------------------------------------------------

RoomLayers* Room_Layers(CRoom* room) {
    if (room == nullptr) return nullptr;
    if (room->layers == nullptr) {
        room->layers = new (MEM_ALLOC(sizeof(RoomLayers))) RoomLayers();
        room->layers->layerIds.Init();
        room->layers->elementIds.Init();
    }
    return room->layers;
}

CLayer* Room_FirstLayer(CRoom* room) {
    return room != nullptr && room->layers != nullptr ? room->layers->head : nullptr;
}

CLayer* Room_LastLayer(CRoom* room) {
    return room != nullptr && room->layers != nullptr ? room->layers->tail : nullptr;
}

int32_t Room_LayerCount(CRoom* room) {
    return room != nullptr && room->layers != nullptr ? room->layers->count : 0;
}

// --- lookups ---------------------------------------------------------------------------------

CLayer* Layer_Find(CRoom* room, int32_t id) {
    if (room == nullptr || room->layers == nullptr) return nullptr;
    return static_cast<CLayer*>(room->layers->layerIds.Find(id));
}

CLayer* Layer_FindByName(CRoom* room, const char* name) {
    if (name == nullptr) return nullptr;
    for (CLayer* layer = Room_FirstLayer(room); layer != nullptr; layer = layer->next)
        if (layer->name != nullptr && SameNameIgnoringAsciiCase(layer->name, name)) return layer;
    return nullptr;
}

CLayer* Layer_FindAtDepth(CRoom* room, int32_t depth, bool dynamicOnly) {
    for (CLayer* layer = Room_FirstLayer(room); layer != nullptr; layer = layer->next)
        if (layer->depth == depth && (!dynamicOnly || layer->dynamic)) return layer;
    return nullptr;
}

CLayerElement* Room_FindElement(CRoom* room, int32_t id, CLayer** layer) {
    if (room == nullptr || room->layers == nullptr) return nullptr;
    RoomLayers* layers = room->layers;
    CLayerElement* element = layers->lastElement;
    if (element == nullptr || element->id != id) {
        element = static_cast<CLayerElement*>(layers->elementIds.Find(id));
        if (element == nullptr) return nullptr;
        layers->lastElement = element;
    }
    if (layer != nullptr) *layer = element->layer;
    return element;
}

CLayerElement* Layer_FindElementById(CLayer* layer, int32_t id) {
    if (layer == nullptr) return nullptr;
    for (CLayerElement* e = layer->elements.head; e != nullptr; e = e->next)
        if (e->id == id) return e;
    return nullptr;
}

CLayerElement* Layer_FindElementByName(CLayer* layer, const char* name) {
    if (layer == nullptr || name == nullptr) return nullptr;
    for (CLayerElement* e = layer->elements.head; e != nullptr; e = e->next)
        if (e->name != nullptr && SameNameIgnoringAsciiCase(e->name, name)) return e;
    return nullptr;
}

CRoom* Layer_TargetRoom() {
    if (LayerTargetRoom == -1) return Run_Room();
    CRoom* room = Room_Get(LayerTargetRoom);
    return room != nullptr ? room : Run_Room();
}

// --- layers ----------------------------------------------------------------------------------

void Layer_SetName(CLayer* layer, const char* name) {
    if (layer == nullptr) return;
    if (layer->nameOwned) MEM_FREE(const_cast<char*>(layer->name));
    layer->name = name != nullptr ? MEM_COPY_TEXT(name) : nullptr;
    layer->nameOwned = name != nullptr;
}

CLayer* Layer_New(CRoom* room, int32_t depth, const char* name) {
    if (room == nullptr) return nullptr;
    const int32_t id = NextLayerId();
    if (id < 0) return nullptr;
    CLayer* layer = LayerPool_TakeLayer();
    layer->id = id;
    layer->depth = depth;
    Layer_SetName(layer, name);
    Layer_InsertByDepth(room, layer);
    return layer;
}

CLayer* Layer_NewDynamic(CRoom* room, int32_t depth) {
    CLayer* layer = Layer_New(room, depth, nullptr);
    if (layer != nullptr) layer->dynamic = true;
    return layer;
}

void Layer_InsertByDepth(CRoom* room, CLayer* layer) {
    RoomLayers* layers = Room_Layers(room);
    if (layers == nullptr || layer == nullptr) return;
    CLayer* at = layers->head;
    while (at != nullptr && at->depth <= layer->depth) at = at->next;
    if (at != nullptr)
        InsertBefore(layers, at, layer);
    else
        Layer_AppendLayer(layers, layer);
    layers->layerIds.Insert(layer->id, layer);
}

void Layer_SetDepth(CRoom* room, CLayer* layer, int32_t depth, bool mergeDynamic) {
    RoomLayers* layers = Room_Layers(room);
    if (layers == nullptr || layer == nullptr || depth == layer->depth) return;
    const bool deeper = depth > layer->depth;
    layer->depth = depth;
    if (!deeper) {
        CLayer* at = layer->prev;
        while (at != nullptr && at->depth >= depth) at = at->prev;
        if (at != nullptr && at == layer->prev) return;
        Layer_Unlink(layers, layer);
        if (at != nullptr)
            InsertAfter(layers, at, layer);
        else
            InsertAtHead(layers, layer);
        return;
    }
    for (CLayer* at = layer->next; at != nullptr; at = at->next) {
        if (at->depth > depth) {
            if (at->prev == layer) return;
            Layer_Unlink(layers, layer);
            InsertBefore(layers, at, layer);
            return;
        }
        if (at->depth == depth && mergeDynamic && layer->dynamic && at->dynamic) {
            MergeLayer(room, layers, layer, at);
            return;
        }
    }
    Layer_Unlink(layers, layer);
    Layer_AppendLayer(layers, layer);
}

void Layer_Destroy(CRoom* room, int32_t layerId) {
    CLayer* layer = Layer_Find(room, layerId);
    if (layer == nullptr) return;
    while (layer->elements.head != nullptr) Layer_DeleteElement(room, layer, layer->elements.head);
    Layer_Unlink(room->layers, layer);
    room->layers->layerIds.Remove(layerId);
    Layer_ReleaseToPool(layer);
}

// --- elements --------------------------------------------------------------------------------

void Layer_LinkElement(CRoom* room, CLayer* layer, CLayerElement* element) {
    RoomLayers* layers = Room_Layers(room);
    if (layers == nullptr || layer == nullptr || element == nullptr) return;
    ElementList_Append(layer->elements, element);
    element->layer = layer;
    layers->elementIds.Insert(element->id, element);
}

int32_t Layer_AddNewElement(CRoom* room, CLayer* layer, CLayerElement* element, bool prepare) {
    if (room == nullptr || layer == nullptr || element == nullptr) return -1;
    const int32_t id = LayerIds_NextElementId();
    if (id < 0) {
        LayerElement_Discard(element);
        return -1;
    }
    element->id = id;
    Layer_LinkElement(room, layer, element);
    if (prepare) LayerElement_Prepare(room, layer, element);
    return id;
}

int32_t Layer_AddElementAtDepth(CRoom* room, int32_t depth, CLayerElement* element, bool prepare,
                                bool useDynamic) {
    if (room == nullptr || element == nullptr) return -1;
    CLayer* layer = Layer_FindAtDepth(room, depth, useDynamic);
    if (layer == nullptr) {
        if (!useDynamic) return -1;
        layer = Layer_NewDynamic(room, depth);
        if (layer == nullptr) return -1;
    }
    return Layer_AddNewElement(room, layer, element, prepare);
}

void LayerElement_Move(CRoom* room, CLayerElement* element, CLayer* layer) {
    if (room == nullptr || element == nullptr || layer == nullptr || element->layer == layer) return;
    if (element->layer != nullptr) ElementList_Unlink(element->layer->elements, element);
    if (element->kind == eLayerElement_Instance) {
        CInstance* instance = static_cast<LayerInstanceElement*>(element)->instance;
        if (instance != nullptr) {
            instance->layer = layer->id;
            instance->onLayer = 1;
        }
    }
    ElementList_Append(layer->elements, element);
    element->layer = layer;
}

void Layer_DeleteElement(CRoom* room, CLayer* layer, CLayerElement* element) {
    if (room == nullptr || element == nullptr) return;
    RoomLayers* layers = Room_Layers(room);
    // Only the map entry that is this element goes: a copy's id may name another record.
    if (layers->elementIds.Find(element->id) == element) layers->elementIds.Remove(element->id);
    if (layers->lastElement == element) layers->lastElement = nullptr;
    LayerElement_Unprepare(element);
    CLayer* holder = element->layer != nullptr ? element->layer : layer;
    if (holder != nullptr) ElementList_Unlink(holder->elements, element);
    LayerElement_DeleteByKind(element);
}

void Layer_RemoveElement(CRoom* room, int32_t elementId, bool destroyEmptyDynamic) {
    CLayer* layer = nullptr;
    CLayerElement* element = Room_FindElement(room, elementId, &layer);
    if (element == nullptr) return;
    Layer_DeleteElement(room, layer, element);
    if (destroyEmptyDynamic && layer != nullptr && layer->dynamic && layer->elements.count == 0)
        Layer_Destroy(room, layer->id);
}

void LayerElement_Prepare(CRoom* room, CLayer* layer, CLayerElement* element) {
    if (element == nullptr || element->ready) return;
    switch (element->kind) {
        case eLayerElement_Instance:
            LayerElement_BindInstance(room, layer, static_cast<LayerInstanceElement*>(element));
            break;
        case eLayerElement_OldTiles:
            LayerElement_BuildTileBatches(room, layer, static_cast<LayerOldTilesElement*>(element));
            break;
        case eLayerElement_Background:
        case eLayerElement_Sprite:
        case eLayerElement_Tilemap:
        case eLayerElement_ParticleSystem:
        case eLayerElement_Tile:
            element->ready = true;
            break;
        default:
            break;
    }
}

void LayerElement_Unprepare(CLayerElement* element) {
    if (element == nullptr) return;
    if (element->kind == eLayerElement_Instance)
        LayerElement_UnbindInstance(static_cast<LayerInstanceElement*>(element));
    else if (element->kind == eLayerElement_OldTiles)
        LayerElement_FreeTileBatches(static_cast<LayerOldTilesElement*>(element));
    element->ready = false;
}

void LayerElement_BindInstance(CRoom* room, CLayer* layer, LayerInstanceElement* element) {
    if (room == nullptr || element == nullptr) return;
    CInstance* instance = Instance_Find(element->instanceId);
    if (instance == nullptr) return;  // tried again at the next room start
    RoomLayers* layers = Room_Layers(room);
    if (instance->onLayer && instance->layer != -1) {
        for (CLayer* l = layers->head; l != nullptr; l = l->next) {
            if (l->id != instance->layer) continue;
            for (CLayerElement* e = l->elements.head; e != nullptr; e = e->next) {
                if (e == element || e->kind != eLayerElement_Instance) continue;
                if (static_cast<LayerInstanceElement*>(e)->instance != instance) continue;
                if (layers->elementIds.Find(e->id) == e) layers->elementIds.Remove(e->id);
                if (layers->lastElement == e) layers->lastElement = nullptr;
                ElementList_Unlink(l->elements, e);
                LayerElement_DeleteByKind(e);
                break;
            }
        }
    }
    CLayer* holder = element->layer != nullptr ? element->layer : layer;
    element->instance = instance;
    instance->layer = holder != nullptr ? holder->id : -1;
    instance->onLayer = 1;
    element->ready = true;
}

void LayerElement_UnbindInstance(LayerInstanceElement* element) {
    if (element == nullptr) return;
    // Only the instance this element holds leaves its layer: freeing a room that never bound
    // the id (a definition, a room already left) must not knock the live instance of that id off
    // the layer it sits on now.
    CInstance* instance = Instance_Find(element->instanceId);
    if (instance != nullptr && instance == element->instance) {
        instance->onLayer = 0;
        instance->layer = -1;
    }
    element->instance = nullptr;
}

void LayerElement_BuildTileBatches(CRoom* room, CLayer* layer, LayerOldTilesElement* element) {
    (void)room;
    (void)layer;
    if (element == nullptr) return;
    LayerElement_FreeTileBatches(element);
    const int32_t n = element->tiles != nullptr ? element->tileBlockCount : 0;
    element->tileCount = n;
    TileBatch* batch = nullptr;
    for (int32_t i = 0; i < n; ++i) {
        if (i % kTileBatchSize == 0) {
            batch = LayerPool_TakeBatch();
            batch->prev = element->batches.tail;
            if (element->batches.tail != nullptr)
                element->batches.tail->next = batch;
            else
                element->batches.head = batch;
            element->batches.tail = batch;
            ++element->batches.count;
        }
        const RoomTileRecord& tile = element->tiles[i];
        TileBatchEntry& entry = batch->entries[i % kTileBatchSize];
        entry.x = static_cast<float>(tile.x);
        entry.y = static_cast<float>(tile.y);
        entry.background = tile.background;
        entry.left = tile.left;
        entry.top = tile.top;
        entry.width = tile.width;
        entry.height = tile.height;
        entry.depth = static_cast<float>(tile.depth);
        entry.id = tile.id;
        entry.xscale = tile.scaleX;
        entry.yscale = tile.scaleY;
        entry.blend = tile.colour & 0xFFFFFFu;
        entry.alpha = static_cast<float>(tile.colour >> 24) / 255.0f;
        entry.visible = true;
        ++batch->count;
    }
    element->ready = true;
}

void LayerElement_FreeTileBatches(LayerOldTilesElement* element) {
    if (element == nullptr) return;
    TileBatch* batch = element->batches.head;
    while (batch != nullptr) {
        TileBatch* next = batch->next;
        LayerPool_GiveBatch(batch);
        batch = next;
    }
    element->batches = TileBatchList();
}
