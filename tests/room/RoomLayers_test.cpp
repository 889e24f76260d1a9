// A room's layers from the data file: the four layer-record types read from a formpack room,
// the working copy made on entry, instances bound at room start and unbound at room end, and
// bad records skipped.
#include <cstring>

#include "assets/Sprite_Main.h"
#include "room/Layer_Manager.h"
#include "room/Layer_Tilemap.h"
#include "runner/GameLoopTestSupport.h"

using namespace gameloop_test;

namespace {

class RoomLayers : public GameLoopTest {
protected:
    void SetUp() override {
        GameLoopTest::SetUp();
        Layer_InstallHooks();
    }
    void TearDown() override {
        GameLoopTest::TearDown();
        Sprite_FreeAll();
    }

    // A 64 x 32 sprite for the stretched background; its index.
    static int32_t MakeSprite() {
        const int32_t index = Sprite_CreateEmpty();
        CSprite* sprite = Sprite_Get(index);
        sprite->m_width = 64;
        sprite->m_height = 32;
        return index;
    }

    static formpack::RoomLayer Layer(const std::string& name, int32_t id, int32_t type, int32_t depth) {
        formpack::RoomLayer l;
        l.name = name;
        l.id = id;
        l.type = type;
        l.depth = depth;
        return l;
    }

    // A version-2 room with every layer type, the instance 100001 of object 0 on "Instances".
    static formpack::FormFile LayerGame(int32_t sprite) {
        formpack::Room room = MakeRoom("level", {At(0, 100001)});
        room.version = 2;
        room.width = 640;
        room.height = 480;
        formpack::RoomLayer background = Layer("Background", 5, 1, 100);
        background.bgSprite = sprite;
        background.bgStretch = true;
        background.bgColour = 0x80FF0000u;
        background.bgSpeed = 15.0f;
        formpack::RoomLayer instances = Layer("Instances", 6, 2, 0);
        instances.instances = {100001};
        formpack::RoomLayer assets = Layer("Assets", 7, 3, 50);
        formpack::RoomTile tile;
        tile.x = 16;
        tile.background = 2;
        tile.colour = 0x40123456u;
        assets.tiles = {tile};
        formpack::RoomSpriteAsset placed;
        placed.name = "spr_tree";
        placed.sprite = 1;
        placed.x = 33;
        placed.angle = 90.0f;
        assets.sprites = {placed};
        formpack::RoomLayer tiles = Layer("Tiles", 8, 4, 200);
        tiles.tileSet = 0;
        tiles.tilemapWidth = 3;
        tiles.tilemapHeight = 2;
        tiles.cells = {0, 1, 2, 3 | kTileMirrorBit, 4, 5};
        formpack::RoomLayer other = Layer("", 9, 5, -10);
        formpack::RoomLayer bare = Layer("Bare", 10, 3, 60);

        formpack::Room legacy = MakeRoom("legacy");
        legacy.version = 1;
        formpack::FormFile file = MakeGame({MakeObject("obj")}, {room, legacy}, {0, 1});
        file.header.major = 2;
        file.rooms->at(0)->layers = {background, instances, assets, tiles, other, bare};
        return file;
    }

    static std::vector<int32_t> LayerIds(CRoom* room) {
        std::vector<int32_t> ids;
        for (CLayer* l = Room_FirstLayer(room); l != nullptr; l = l->next) ids.push_back(l->id);
        return ids;
    }
};

TEST_F(RoomLayers, VersionTwoRoomBuildsEveryLayerType) {
    const int32_t sprite = MakeSprite();
    ASSERT_TRUE(Load(LayerGame(sprite)));
    CRoom* room = Room_Get(0);
    EXPECT_EQ(LayerIds(room), (std::vector<int32_t>{9, 6, 7, 10, 5, 8}));
    EXPECT_GE(MaxRoomLayerId, 10);
    EXPECT_EQ(Room_Get(1)->layers, nullptr);  // a version-1 entry has none

    CLayer* bg = Layer_Find(room, 5);
    ASSERT_NE(bg, nullptr);
    EXPECT_STREQ(bg->name, "Background");
    EXPECT_TRUE(IsPointerInGameData(bg->name));
    ASSERT_EQ(bg->elements.count, 1);
    auto* background = static_cast<LayerBackgroundElement*>(bg->elements.head);
    ASSERT_EQ(background->kind, eLayerElement_Background);
    EXPECT_EQ(background->name, bg->name);
    EXPECT_FLOAT_EQ(background->data->xscale, 10.0f);
    EXPECT_FLOAT_EQ(background->data->yscale, 15.0f);
    EXPECT_EQ(background->data->blend, 0xFF0000u);
    EXPECT_FLOAT_EQ(background->data->alpha, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(background->data->speed, 15.0f);
    EXPECT_FALSE(background->ready);

    CLayer* inst = Layer_Find(room, 6);
    ASSERT_EQ(inst->elements.count, 1);
    ASSERT_EQ(inst->elements.head->kind, eLayerElement_Instance);
    EXPECT_EQ(static_cast<LayerInstanceElement*>(inst->elements.head)->instanceId, 100001);
    EXPECT_EQ(static_cast<LayerInstanceElement*>(inst->elements.head)->instance, nullptr);

    CLayer* assets = Layer_Find(room, 7);
    ASSERT_EQ(assets->elements.count, 2);
    auto* tile = static_cast<LayerTileElement*>(assets->elements.head);
    ASSERT_EQ(tile->kind, eLayerElement_Tile);
    EXPECT_EQ(tile->sprite, 2);
    EXPECT_FLOAT_EQ(tile->x, 16.0f);
    EXPECT_EQ(tile->blend, 0x123456u);
    EXPECT_FLOAT_EQ(tile->alpha, 64.0f / 255.0f);
    auto* placed = static_cast<LayerSpriteElement*>(assets->elements.tail);
    ASSERT_EQ(placed->kind, eLayerElement_Sprite);
    EXPECT_STREQ(placed->name, "spr_tree");
    EXPECT_FLOAT_EQ(placed->x, 33.0f);
    EXPECT_FLOAT_EQ(placed->angle, 90.0f);
    EXPECT_EQ(Layer_FindElementByName(assets, "SPR_TREE"), placed);

    CLayer* tiles = Layer_Find(room, 8);
    auto* tilemap = static_cast<LayerTilemapElement*>(tiles->elements.head);
    ASSERT_EQ(tilemap->kind, eLayerElement_Tilemap);
    EXPECT_EQ(tilemap->width, 3);
    EXPECT_EQ(tilemap->height, 2);
    EXPECT_EQ(tilemap->mask, kTileDefaultMask);
    EXPECT_TRUE(IsPointerInGameData(tilemap->cells));
    EXPECT_EQ(tilemap->cells[3], 3u | kTileMirrorBit);
    EXPECT_STREQ(tilemap->name, "Tiles");

    EXPECT_EQ(Layer_Find(room, 9)->name, nullptr);
    EXPECT_EQ(Layer_Find(room, 9)->elements.count, 0);
    EXPECT_EQ(Layer_Find(room, 10)->elements.count, 0);
}

TEST_F(RoomLayers, WorkingCopyKeepsIdsBindsInstancesAndUnbindsAtRoomEnd) {
    ASSERT_TRUE(Load(LayerGame(MakeSprite())));
    CRoom* definition = Room_Get(0);
    static_cast<LayerTilemapElement*>(Layer_Find(definition, 8)->elements.head)->mask = 0;
    Start();
    CRoom* working = Run_Room();
    ASSERT_NE(working, definition);
    EXPECT_EQ(LayerIds(working), LayerIds(definition));
    for (CLayer *d = Room_FirstLayer(definition), *w = Room_FirstLayer(working); d != nullptr;
         d = d->next, w = w->next) {
        ASSERT_EQ(d->elements.count, w->elements.count);
        for (CLayerElement *de = d->elements.head, *we = w->elements.head; de; de = de->next, we = we->next) {
            EXPECT_EQ(de->id, we->id);
            EXPECT_EQ(Room_FindElement(working, we->id), we);
            EXPECT_TRUE(we->ready) << we->kind;
        }
    }
    auto* tilemap = static_cast<LayerTilemapElement*>(Layer_Find(working, 8)->elements.head);
    EXPECT_FALSE(IsPointerInGameData(tilemap->cells));
    EXPECT_EQ(tilemap->cells[3], 3u | kTileMirrorBit);
    EXPECT_EQ(tilemap->mask, kTileDefaultMask);

    CInstance* instance = Instance_Find(100001);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->onLayer, 1);
    EXPECT_EQ(instance->layer, 6);
    auto* element = static_cast<LayerInstanceElement*>(Layer_Find(working, 6)->elements.head);
    EXPECT_EQ(element->instance, instance);
    EXPECT_NE(LayerScriptInstance, nullptr);

    // Elements made later take new ids from the one counter.
    const int32_t before = NextElementId;
    EXPECT_EQ(Layer_AddNewElement(working, Layer_Find(working, 7), LayerElement_NewSprite(), true), before);

    // Room end unlinks first (the room and its instances go after that).
    Room_UnlinkLayerElements(working);
    EXPECT_EQ(instance->onLayer, 0);
    EXPECT_EQ(instance->layer, -1);
    EXPECT_EQ(element->instance, nullptr);
    EXPECT_FALSE(element->ready);
    EXPECT_EQ(LayerScriptInstance, nullptr);

    // A kept room started again binds its instance elements anew, by instance id.
    Room_StartLayers(working);
    EXPECT_EQ(element->instance, instance);
    EXPECT_EQ(instance->layer, 6);

    // Freeing the definition, whose element of that id never held the instance, leaves it be.
    Room_FreeLayers(definition);
    EXPECT_EQ(instance->onLayer, 1);
    EXPECT_EQ(instance->layer, 6);
    Room_End(false);
}

TEST_F(RoomLayers, RoomStartPlacesEveryInstancePastEmptyHashEntries) {
    formpack::FormFile file = LayerGame(MakeSprite());
    file.rooms->at(0)->instances.push_back(At(0, 100002));  // on no layer: joins depth 0
    ASSERT_TRUE(Load(file));
    Instance_IdHash().Insert(0, nullptr);  // bucket 0 comes first in the walk
    Start();
    Instance_IdHash().Delete(0);
    CInstance* loose = Instance_Find(100002);
    ASSERT_NE(loose, nullptr);
    EXPECT_EQ(loose->onLayer, 1);
    CLayer* layer = Layer_Find(Run_Room(), loose->layer);
    ASSERT_NE(layer, nullptr);
    EXPECT_TRUE(layer->dynamic);
    EXPECT_EQ(layer->depth, 0);
    EXPECT_EQ(Layer_FindByName(Run_Room(), "Instances")->elements.count, 1);
}

// Patches the loaded file: the layer list's entries are file offsets of the records.
TEST_F(RoomLayers, BadRecordsAreSkipped) {
    ASSERT_TRUE(Load(LayerGame(MakeSprite())));
    const uint32_t list = Room_Get(0)->layerListOffset;
    uint8_t* base = Form_Base();
    auto read = [&](uint32_t at) {
        uint32_t v;
        std::memcpy(&v, base + at, 4);
        return v;
    };
    auto write = [&](uint32_t at, uint32_t v) { std::memcpy(base + at, &v, 4); };
    ASSERT_EQ(read(list), 6u);
    write(read(list + 4 + 3 * 4) + 40, 0x10000);  // tilemap: width x height x 4 past the end of the file
    write(list + 4 + 0 * 4, 0);                   // background: no record
    write(list + 4 + 4 * 4, Form_Size() - 8);     // "other": a header running off the end

    CRoom rebuilt;
    rebuilt.width = 640;
    rebuilt.height = 480;
    Room_BuildLayers(&rebuilt, list);
    EXPECT_EQ(LayerIds(&rebuilt), (std::vector<int32_t>{6, 7, 10}));
    Room_FreeLayers(&rebuilt);

    // A list offset outside the file builds nothing.
    Room_BuildLayers(&rebuilt, Form_Size() - 2);
    EXPECT_EQ(Room_LayerCount(&rebuilt), 0);
    Room_FreeLayers(&rebuilt);
}

}  // namespace
