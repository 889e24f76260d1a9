// The free lists that layers, elements and tile batches come from. Records are taken from the
// memory manager in blocks and never freed while the program runs, so making and deleting
// elements at run time allocates nothing once the pools are warm.
#include <new>

#include "core/MemoryManager.h"
#include "room/Layer_Manager.h"

namespace {

// A last-in, first-out free list threaded through the records' own next field. The refill
// count starts at the first fill, so a pool can refill even before LayerPools_Init runs.
template <typename T>
struct RecordPool {
    T* head = nullptr;
    int32_t freeCount = 0;
    int32_t refill;

    explicit RecordPool(int32_t firstFill) : refill(firstFill) {}

    void Fill(int32_t count) {
        for (int32_t i = 0; i < count; ++i) {
            T* record = new (MEM_ALLOC(sizeof(T))) T();
            Push(record);
        }
    }
    void Push(T* record) {
        record->prev = nullptr;
        record->next = head;
        head = record;
        ++freeCount;
    }
    T* Take() {
        if (freeCount == 0) {
            Fill(refill);
            refill *= 2;
        }
        T* record = head;
        head = static_cast<T*>(record->next);
        --freeCount;
        record->next = record->prev = nullptr;
        return record;
    }
};

RecordPool<CLayer> g_LayerPool(32);
RecordPool<LayerBackgroundElement> g_BackgroundPool(32);
RecordPool<LayerInstanceElement> g_InstancePool(256);
RecordPool<LayerOldTilesElement> g_OldTilesPool(32);
RecordPool<LayerSpriteElement> g_SpritePool(64);
RecordPool<LayerTilemapElement> g_TilemapPool(32);
RecordPool<LayerParticleElement> g_ParticlePool(32);
RecordPool<LayerTileElement> g_TilePool(1024);
RecordPool<TileBatch> g_BatchPool(32);

template <typename T>
T* TakeElement(RecordPool<T>& pool, LayerElementKind kind) {
    T* element = pool.Take();
    element->kind = kind;
    return element;
}

template <typename T>
void GiveElement(RecordPool<T>& pool, CLayerElement* element) {
    auto* record = static_cast<T*>(element);
    *record = T();
    record->kind = element->kind;
    pool.Push(record);
}

}  // namespace

void LayerPools_Init() {
    if (!LayerPoolsReady) {
        g_LayerPool.Fill(32);
        g_BackgroundPool.Fill(32);
        g_InstancePool.Fill(256);
        g_OldTilesPool.Fill(32);
        g_SpritePool.Fill(64);
        g_TilemapPool.Fill(32);
        g_ParticlePool.Fill(32);
        g_TilePool.Fill(1024);
        g_BatchPool.Fill(32);
        delete LayerScriptInstance;
        LayerScriptInstance = nullptr;
        LayerPoolsReady = true;
    }
    TileGlobalMask = kTileDefaultMask;
}

int32_t LayerPool_FreeCount(int32_t pool) {
    switch (pool) {
        case 0:
            return g_LayerPool.freeCount;
        case eLayerElement_Background:
            return g_BackgroundPool.freeCount;
        case eLayerElement_Instance:
            return g_InstancePool.freeCount;
        case eLayerElement_OldTiles:
            return g_OldTilesPool.freeCount;
        case eLayerElement_Sprite:
            return g_SpritePool.freeCount;
        case eLayerElement_Tilemap:
            return g_TilemapPool.freeCount;
        case eLayerElement_ParticleSystem:
            return g_ParticlePool.freeCount;
        case eLayerElement_Tile:
            return g_TilePool.freeCount;
        case 8:
            return g_BatchPool.freeCount;
        default:
            return 0;
    }
}

CLayer* LayerPool_TakeLayer() {
    return g_LayerPool.Take();
}

void LayerPool_GiveLayer(CLayer* layer) {
    *layer = CLayer();
    g_LayerPool.Push(layer);
}

TileBatch* LayerPool_TakeBatch() {
    return g_BatchPool.Take();
}

void LayerPool_GiveBatch(TileBatch* batch) {
    *batch = TileBatch();
    g_BatchPool.Push(batch);
}

CLayerElement* LayerElement_New(LayerElementKind kind) {
    switch (kind) {
        case eLayerElement_Background:
            return LayerElement_NewBackground();
        case eLayerElement_Instance:
            return LayerElement_NewInstance();
        case eLayerElement_OldTiles:
            return LayerElement_NewOldTiles();
        case eLayerElement_Sprite:
            return LayerElement_NewSprite();
        case eLayerElement_Tilemap:
            return LayerElement_NewTilemap();
        case eLayerElement_ParticleSystem:
            return LayerElement_NewParticleSystem();
        case eLayerElement_Tile:
            return LayerElement_NewTile();
        default:
            return nullptr;
    }
}

LayerBackgroundElement* LayerElement_NewBackground() {
    LayerBackgroundElement* element = TakeElement(g_BackgroundPool, eLayerElement_Background);
    element->data = new (MEM_ALLOC(sizeof(LayerBackgroundData))) LayerBackgroundData();
    return element;
}

LayerInstanceElement* LayerElement_NewInstance() {
    return TakeElement(g_InstancePool, eLayerElement_Instance);
}

LayerOldTilesElement* LayerElement_NewOldTiles() {
    return TakeElement(g_OldTilesPool, eLayerElement_OldTiles);
}

LayerSpriteElement* LayerElement_NewSprite() {
    return TakeElement(g_SpritePool, eLayerElement_Sprite);
}

LayerTilemapElement* LayerElement_NewTilemap() {
    return TakeElement(g_TilemapPool, eLayerElement_Tilemap);
}

LayerParticleElement* LayerElement_NewParticleSystem() {
    return TakeElement(g_ParticlePool, eLayerElement_ParticleSystem);
}

LayerTileElement* LayerElement_NewTile() {
    return TakeElement(g_TilePool, eLayerElement_Tile);
}

// Frees what the kind owns and gives the record back to its pool.
void LayerElement_DeleteByKind(CLayerElement* element) {
    switch (element->kind) {
        case eLayerElement_Background: {
            auto* background = static_cast<LayerBackgroundElement*>(element);
            MEM_FREE(background->data);
            GiveElement(g_BackgroundPool, element);
            break;
        }
        case eLayerElement_Instance:
            GiveElement(g_InstancePool, element);
            break;
        case eLayerElement_OldTiles: {
            auto* tiles = static_cast<LayerOldTilesElement*>(element);
            LayerElement_FreeTileBatches(tiles);
            MEM_FREE(tiles->tiles);
            GiveElement(g_OldTilesPool, element);
            break;
        }
        case eLayerElement_Sprite:
            GiveElement(g_SpritePool, element);
            break;
        case eLayerElement_Tilemap: {
            auto* tilemap = static_cast<LayerTilemapElement*>(element);
            if (!tilemap->cellsInGameData) MEM_FREE(tilemap->cells);
            GiveElement(g_TilemapPool, element);
            break;
        }
        case eLayerElement_ParticleSystem:
            GiveElement(g_ParticlePool, element);
            break;
        case eLayerElement_Tile:
            GiveElement(g_TilePool, element);
            break;
        default:
            break;
    }
}

void LayerElement_Discard(CLayerElement* element) {
    if (element != nullptr) LayerElement_DeleteByKind(element);
}
