// Layers and their elements on a bare room: the depth order, moving and merging layers, the id
// maps, element look-ups and the instances that sit on layers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "room/Layer_Manager.h"
#include "base/GEN8.h"
#include "world/Room_Class.h"

namespace {

class LayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedModel = g_GameHeader.layerModel;
        g_GameHeader.layerModel = true;
        LayerPools_Init();
        room = new CRoom();
    }
    void TearDown() override {
        Room_FreeLayers(room);
        delete room;
        for (CInstance* instance : m_instances) {
            Instance_IdHash().Delete(instance->id);
            delete instance;
        }
        g_GameHeader.layerModel = m_savedModel;
    }

    CInstance* MakeInstance(int32_t id, float depth) {
        auto* instance = new CInstance(0.0f, 0.0f, id, -1, false);
        instance->depth = depth;
        Instance_IdHash().Insert(id, instance);
        m_instances.push_back(instance);
        return instance;
    }

    std::vector<int32_t> Depths() const {
        std::vector<int32_t> out;
        for (CLayer* l = Room_FirstLayer(room); l != nullptr; l = l->next) out.push_back(l->depth);
        return out;
    }
    std::vector<CLayer*> Order() const {
        std::vector<CLayer*> out;
        for (CLayer* l = Room_FirstLayer(room); l != nullptr; l = l->next) out.push_back(l);
        return out;
    }

    CRoom* room = nullptr;

private:
    bool m_savedModel = false;
    std::vector<CInstance*> m_instances;
};

TEST_F(LayerTest, NewLayersOrderByDepthAfterEqualDepths) {
    CLayer* a = Layer_New(room, 10, "a");
    CLayer* b = Layer_New(room, 0, "b");
    CLayer* c = Layer_New(room, 10, "c");
    CLayer* d = Layer_New(room, -5, nullptr);
    EXPECT_EQ(Order(), (std::vector<CLayer*>{d, b, a, c}));
    EXPECT_EQ(Room_LastLayer(room), c);
    EXPECT_EQ(Room_LayerCount(room), 4);
    EXPECT_EQ(Layer_Find(room, a->id), a);
    EXPECT_EQ(Layer_FindByName(room, "C"), c);
    EXPECT_EQ(Layer_FindByName(room, nullptr), nullptr);
    EXPECT_EQ(Layer_FindAtDepth(room, 10, false), a);
    EXPECT_EQ(Layer_FindAtDepth(room, 10, true), nullptr);
}

TEST_F(LayerTest, RunTimeLayerIdsContinueAboveEveryRoomLayerId) {
    const int32_t savedMax = MaxRoomLayerId, savedLast = LastLayerId;
    MaxRoomLayerId = 500;
    LastLayerId = 3;
    EXPECT_EQ(Layer_New(room, 0, nullptr)->id, 501);
    EXPECT_EQ(Layer_NewDynamic(room, 0)->id, 502);
    // Ids stop short of the one whose hash is the maps' empty marker.
    LastLayerId = INT32_MAX - 1;
    EXPECT_EQ(Layer_New(room, 0, nullptr), nullptr);
    MaxRoomLayerId = savedMax;
    LastLayerId = savedLast;
}

TEST_F(LayerTest, SetDepthPlacesBeforeOrAfterLayersOfTheNewDepth) {
    CLayer* a = Layer_New(room, 0, nullptr);
    CLayer* b = Layer_New(room, 10, nullptr);
    CLayer* c = Layer_New(room, 20, nullptr);
    // Moving up lands in front of the layers already at that depth.
    Layer_SetDepth(room, c, 10, true);
    EXPECT_EQ(Order(), (std::vector<CLayer*>{a, c, b}));
    // Moving down lands behind them.
    Layer_SetDepth(room, a, 10, true);
    EXPECT_EQ(Order(), (std::vector<CLayer*>{c, b, a}));
    Layer_SetDepth(room, c, 30, true);
    EXPECT_EQ(Order(), (std::vector<CLayer*>{b, a, c}));
    Layer_SetDepth(room, c, -1, true);
    EXPECT_EQ(Order(), (std::vector<CLayer*>{c, b, a}));
    EXPECT_EQ(Depths(), (std::vector<int32_t>{-1, 10, 10}));
}

TEST_F(LayerTest, DynamicLayersMergeOnlyWhenMovingDeeper) {
    CLayer* front = Layer_NewDynamic(room, 0);
    CLayer* back = Layer_NewDynamic(room, 10);
    CInstance* i1 = MakeInstance(100001, 0.0f);
    CInstance* i2 = MakeInstance(100002, 10.0f);
    Layer_AttachInstance(room, front, i1);
    Layer_AttachInstance(room, back, i2);

    // The back layer moving to the front layer's depth does not merge.
    Layer_SetDepth(room, back, 0, true);
    EXPECT_EQ(Room_LayerCount(room), 2);
    Layer_SetDepth(room, back, 10, true);

    const int32_t frontId = front->id;
    Layer_SetDepth(room, front, 10, true);
    ASSERT_EQ(Room_LayerCount(room), 1);
    EXPECT_EQ(Layer_Find(room, frontId), nullptr);
    EXPECT_EQ(back->elements.count, 2);
    EXPECT_EQ(i1->layer, back->id);
    for (CLayerElement* e = back->elements.head; e != nullptr; e = e->next) EXPECT_EQ(e->layer, back);
}

TEST_F(LayerTest, IdMapGrowsOnThe104thInsertAndCountsOnlyNewKeys) {
    IdMap map;
    map.Init();
    int dummy = 0;
    for (int32_t key = 0; key < 103; ++key) {
        ASSERT_TRUE(map.Insert(key * 128, &dummy));  // all of one home slot
        if (key < 100) map.Insert(0, &dummy);        // a replacement is not counted
    }
    EXPECT_EQ(map.Count(), 103);
    EXPECT_EQ(map.Capacity(), 128);
    map.Insert(103 * 128, &dummy);
    EXPECT_EQ(map.Capacity(), 256);
    EXPECT_EQ(map.Count(), 104);
    for (int32_t key = 0; key < 104; ++key) EXPECT_EQ(map.Find(key * 128), &dummy) << key;

    EXPECT_FALSE(map.Insert(-1, &dummy));
    EXPECT_FALSE(map.Insert(INT32_MAX, &dummy));
    EXPECT_EQ(map.Find(-1), nullptr);
    EXPECT_EQ(map.Count(), 104);
}

TEST_F(LayerTest, IdMapRemoveKeepsTheRestFindable) {
    IdMap map;
    map.Init();
    std::vector<int> values(40);
    for (int32_t i = 0; i < 40; ++i) map.Insert(i % 2 == 0 ? i * 128 : i, &values[i]);
    map.Remove(10 * 128);
    map.Remove(7);
    map.Remove(999);  // absent: nothing changes
    EXPECT_EQ(map.Count(), 38);
    for (int32_t i = 0; i < 40; ++i) {
        const int32_t key = i % 2 == 0 ? i * 128 : i;
        EXPECT_EQ(map.Find(key), (i == 10 || i == 7) ? nullptr : &values[i]) << key;
    }
}

TEST_F(LayerTest, DeletedCachedElementIsNotFound) {
    CLayer* layer = Layer_New(room, 0, nullptr);
    LayerSpriteElement* sprite = LayerElement_NewSprite();
    const int32_t id = Layer_AddNewElement(room, layer, sprite, true);
    ASSERT_GE(id, 0);
    CLayer* found = nullptr;
    EXPECT_EQ(Room_FindElement(room, id, &found), sprite);
    EXPECT_EQ(found, layer);
    EXPECT_TRUE(sprite->ready);
    EXPECT_EQ(room->layers->lastElement, sprite);
    Layer_RemoveElement(room, id, true);
    EXPECT_EQ(Room_FindElement(room, id), nullptr);
    EXPECT_EQ(layer->elements.count, 0);
    EXPECT_EQ(Layer_Find(room, layer->id), layer);  // not dynamic: it stays
}

TEST_F(LayerTest, ParticleSystemElementsLiveOnDynamicLayers) {
    LayerParticleElement* system = LayerElement_NewParticleSystem();
    system->systemIndex = 3;
    const int32_t id = Layer_AddElementAtDepth(room, 50, system, true, true);
    ASSERT_GE(id, 0);
    CLayer* layer = system->layer;
    ASSERT_NE(layer, nullptr);
    EXPECT_TRUE(layer->dynamic);
    EXPECT_EQ(layer->depth, 50);
    // Without useDynamic a missing layer is not made.
    LayerParticleElement* other = LayerElement_NewParticleSystem();
    EXPECT_EQ(Layer_AddElementAtDepth(room, 60, other, true, false), -1);
    LayerElement_Discard(other);

    const int32_t layerId = layer->id;
    Layer_RemoveElement(room, id, true);
    EXPECT_EQ(Layer_Find(room, layerId), nullptr);
    EXPECT_EQ(Room_LayerCount(room), 0);
}

TEST_F(LayerTest, DestroyedLayerGivesItsRecordsBack) {
    const int32_t freeLayers = LayerPool_FreeCount(0);
    const int32_t freeTiles = LayerPool_FreeCount(eLayerElement_Tile);
    CLayer* layer = Layer_New(room, 0, "tiles");
    for (int i = 0; i < 3; ++i) Layer_AddNewElement(room, layer, LayerElement_NewTile(), false);
    EXPECT_EQ(LayerPool_FreeCount(eLayerElement_Tile), freeTiles - 3);
    Layer_Destroy(room, layer->id);
    EXPECT_EQ(LayerPool_FreeCount(eLayerElement_Tile), freeTiles);
    EXPECT_EQ(LayerPool_FreeCount(0), freeLayers);
    EXPECT_EQ(room->layers->elementIds.Count(), 0);
}

TEST_F(LayerTest, MovedElementKeepsItsIdAndEmptyDynamicLayerStays) {
    CLayer* dynamic = Layer_NewDynamic(room, 5);
    CLayer* target = Layer_New(room, 7, nullptr);
    CInstance* instance = MakeInstance(100010, 5.0f);
    Layer_AttachInstance(room, dynamic, instance);
    CLayerElement* element = dynamic->elements.head;
    const int32_t id = element->id;
    LayerElement_Move(room, element, target);
    EXPECT_EQ(Room_FindElement(room, id), element);
    EXPECT_EQ(instance->layer, target->id);
    EXPECT_EQ(dynamic->elements.count, 0);
    EXPECT_NE(Layer_Find(room, dynamic->id), nullptr);
}

TEST_F(LayerTest, InstancesJoinTheDynamicLayerOfTheirTruncatedDepth) {
    CInstance* a = MakeInstance(100001, 100.7f);
    CInstance* b = MakeInstance(100002, -0.5f);
    Layer_AddInstance(room, a);
    Layer_AddInstance(room, b);
    ASSERT_NE(Layer_Find(room, a->layer), nullptr);
    EXPECT_EQ(Layer_Find(room, a->layer)->depth, 100);
    EXPECT_TRUE(Layer_Find(room, a->layer)->dynamic);
    EXPECT_EQ(Layer_Find(room, b->layer)->depth, 0);
    EXPECT_EQ(Layer_GetInstanceLayerId(room, 100001), a->layer);

    // Attached once only.
    const int32_t before = Layer_Find(room, a->layer)->elements.count;
    Layer_AttachInstance(room, Layer_Find(room, b->layer), a);
    EXPECT_EQ(Layer_Find(room, a->layer)->elements.count, before);

    // An unknown layer id leaves the instance off every layer.
    CInstance* c = MakeInstance(100003, 0.0f);
    c->layer = 9999;
    Layer_AddInstance(room, c);
    EXPECT_EQ(c->onLayer, 0);
    EXPECT_EQ(c->layer, 9999);

    // The last instance leaving a dynamic layer takes the layer with it.
    const int32_t layerId = a->layer;
    Layer_RemoveInstance(room, a);
    EXPECT_EQ(a->onLayer, 0);
    EXPECT_EQ(a->layer, -1);
    EXPECT_EQ(Layer_Find(room, layerId), nullptr);
}

TEST_F(LayerTest, DepthChangesMoveTheLayerOrTheInstance) {
    CLayer* own = Layer_New(room, 0, "own");
    CInstance* alone = MakeInstance(100001, 0.0f);
    Layer_AttachInstance(room, own, alone);
    alone->depth = 40.0f;
    Layer_InstanceDepthChanged(room, alone);
    EXPECT_EQ(own->depth, 40);  // the whole layer follows
    EXPECT_EQ(alone->layer, own->id);

    CInstance* shared = MakeInstance(100002, 40.0f);
    Layer_AttachInstance(room, own, shared);
    shared->depth = -3.0f;
    Layer_InstanceDepthChanged(room, shared);
    CLayer* now = Layer_Find(room, shared->layer);
    ASSERT_NE(now, nullptr);
    EXPECT_TRUE(now->dynamic);
    EXPECT_EQ(now->depth, -3);
    EXPECT_EQ(own->elements.count, 1);

    // Removing the last instance from one of the room's own layers keeps the layer.
    Layer_RemoveInstance(room, alone);
    EXPECT_EQ(Layer_Find(room, own->id), own);
}

TEST_F(LayerTest, BindingAnInstanceAlreadyOnALayerMovesIt) {
    CLayer* dynamic = Layer_NewDynamic(room, 3);
    CLayer* placed = Layer_New(room, 8, "placed");
    CInstance* instance = MakeInstance(100020, 3.0f);
    Layer_AttachInstance(room, dynamic, instance);
    LayerInstanceElement* element = LayerElement_NewInstance();
    element->instanceId = 100020;
    Layer_AddNewElement(room, placed, element, true);
    EXPECT_TRUE(element->ready);
    EXPECT_EQ(element->instance, instance);
    EXPECT_EQ(instance->layer, placed->id);
    EXPECT_EQ(dynamic->elements.count, 0);
    EXPECT_NE(Layer_Find(room, dynamic->id), nullptr);  // kept, empty

    // An element whose instance does not exist stays unbound.
    LayerInstanceElement* missing = LayerElement_NewInstance();
    missing->instanceId = 123456;
    Layer_AddNewElement(room, placed, missing, true);
    EXPECT_FALSE(missing->ready);
}

TEST_F(LayerTest, OldTileListBuildsBatchesAndCopiesWhole) {
    CLayer* layer = Layer_New(room, 0, nullptr);
    LayerOldTilesElement* tiles = LayerElement_NewOldTiles();
    tiles->tileBlockCount = 33;
    tiles->tiles = static_cast<RoomTileRecord*>(MEM_ALLOC(33 * sizeof(RoomTileRecord)));
    for (int32_t i = 0; i < 33; ++i)
        tiles->tiles[i] = RoomTileRecord{i, 2, 1, 0, 0, 16, 16, 7, i, 1, 1, 0x80FF0000u};
    const int32_t id = Layer_AddNewElement(room, layer, tiles, true);
    EXPECT_TRUE(tiles->ready);
    EXPECT_EQ(tiles->tileCount, 33);
    ASSERT_EQ(tiles->batches.count, 2);
    EXPECT_EQ(tiles->batches.head->count, 32);
    ASSERT_EQ(tiles->batches.tail->count, 1);
    const TileBatchEntry& last = tiles->batches.tail->entries[0];
    EXPECT_FLOAT_EQ(last.x, 32.0f);
    EXPECT_FLOAT_EQ(last.depth, 7.0f);
    EXPECT_EQ(last.blend, 0xFF0000u);
    EXPECT_FLOAT_EQ(last.alpha, 128.0f / 255.0f);

    CRoom copy;
    Room_CopyLayers(&copy, room);
    auto* copied = static_cast<LayerOldTilesElement*>(Room_FindElement(&copy, id));
    ASSERT_NE(copied, nullptr);
    EXPECT_NE(copied->tiles, tiles->tiles);
    EXPECT_EQ(copied->tiles[32].x, 32);
    EXPECT_TRUE(copied->ready);
    EXPECT_EQ(copied->batches.count, 2);
    Room_UnlinkLayerElements(&copy);
    EXPECT_FALSE(copied->ready);
    EXPECT_EQ(copied->batches.count, 0);
    Room_FreeLayers(&copy);
}

}  // namespace
