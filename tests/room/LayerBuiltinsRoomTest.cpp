// The layer built-ins over rooms read from a formpack data file: elements named by their room
// records, the definition reached through the target room, and the working copy once the room
// is entered.
#include "LayerBuiltinsTestSupport.h"
#include "runner/GameLoopTestSupport.h"

using namespace gameloop_test;
using layer_test::Call;
using layer_test::R;
using layer_test::Real;
using layer_test::S;

namespace {

class LayerBuiltinsRoom : public GameLoopTest {
protected:
    void SetUp() override {
        GameLoopTest::SetUp();
        Layer_InstallHooks();
        int32_t id = -1;
        if (!Code_Function_Find("layer_get_id", &id)) InitLayerFunctions();
        LayerTargetRoom = -1;
    }
    void TearDown() override {
        LayerTargetRoom = -1;
        GameLoopTest::TearDown();
    }

    static formpack::RoomLayer Layer(const std::string& name, int32_t id, int32_t type, int32_t depth) {
        formpack::RoomLayer l;
        l.name = name;
        l.id = id;
        l.type = type;
        l.depth = depth;
        return l;
    }

    // Room 0 has a background, an instance, an assets and a tilemap layer; room 1 has none.
    static formpack::FormFile Game() {
        formpack::Room room = MakeRoom("level", {At(0, 100001)});
        room.version = 2;
        formpack::RoomLayer background = Layer("Background", 5, 1, 100);
        formpack::RoomLayer instances = Layer("Instances", 6, 2, 0);
        instances.instances = {100001};
        formpack::RoomLayer assets = Layer("Assets", 7, 3, 50);
        formpack::RoomSpriteAsset tree;
        tree.name = "spr_tree";
        tree.sprite = 1;
        tree.x = 33;
        formpack::RoomSpriteAsset rock;
        rock.name = "spr_rock";
        assets.sprites = {tree, rock};
        formpack::RoomLayer tiles = Layer("Tiles", 8, 4, 200);
        tiles.tileSet = 0;
        tiles.tilemapWidth = 2;
        tiles.tilemapHeight = 1;
        tiles.cells = {1, 2};
        room.layers = {background, instances, assets, tiles};
        formpack::Room other = MakeRoom("other");
        other.version = 2;
        formpack::FormFile file = MakeGame({MakeObject("obj")}, {room, other}, {0, 1});
        file.header.major = 2;
        return file;
    }

    static double ElementNamed(CRoom* room, const char* layer, const char* name) {
        const CLayerElement* element = Layer_FindElementByName(Layer_FindByName(room, layer), name);
        return element != nullptr ? element->id : -2;
    }
};

TEST_F(LayerBuiltinsRoom, RecordsNameTheirElementsInTheDefinitionAndTheWorkingCopy) {
    ASSERT_TRUE(Load(Game()));
    CRoom* definition = Room_Get(0);
    const double background = ElementNamed(definition, "Background", "Background");
    const double tilemap = ElementNamed(definition, "Tiles", "Tiles");
    const double tree = ElementNamed(definition, "Assets", "spr_tree");
    ASSERT_GE(background, 0);
    ASSERT_GE(tilemap, 0);
    ASSERT_GE(tree, 0);

    // Before the game starts there is no current room: the definition through the target room.
    Call("layer_set_target_room", {R(0)});
    EXPECT_EQ(Real("layer_background_get_id", {S("Background")}), background);
    EXPECT_EQ(Real("layer_background_get_id", {S("Assets")}), -1.0);
    EXPECT_EQ(Real("layer_tilemap_get_id", {S("tiles")}), tilemap);
    EXPECT_EQ(Real("layer_sprite_get_id", {S("Assets"), S("SPR_TREE")}), tree);
    EXPECT_EQ(Real("layer_sprite_get_id", {S("Assets"), S("spr_bush")}), -1.0);
    EXPECT_EQ(Real("tilemap_get", {R(tilemap), R(1), R(0)}), 2.0);
    // A mask set in the definition does not reach the working copy.
    Real("tilemap_set_mask", {R(tilemap), R(0)});
    Call("layer_reset_target_room", {});

    Start();
    ASSERT_NE(Run_Room(), nullptr);
    EXPECT_EQ(Real("layer_background_get_id", {S("Background")}), background) << "the copy keeps the ids";
    EXPECT_EQ(Real("layer_sprite_get_id", {S("Assets"), S("spr_rock")}),
              ElementNamed(definition, "Assets", "spr_rock"));
    EXPECT_EQ(Real("tilemap_get_mask", {R(tilemap)}), 2147483647.0);
    EXPECT_EQ(Real("layer_sprite_get_x", {R(tree)}), 33.0);
    EXPECT_EQ(Real("layer_has_instance", {S("Instances"), R(100001)}), 1.0);

    // A layer made in room 1 while room 0 plays exists there, not here.
    Call("layer_set_target_room", {R(1)});
    const double made = Real("layer_create", {R(-5), S("Later")});
    const double sprite = Real("layer_sprite_create", {S("Later"), R(1), R(2), R(0)});
    EXPECT_GT(made, 8.0) << "run-time layer ids continue above every room's";
    EXPECT_NE(Layer_Find(Room_Get(1), static_cast<int32_t>(made)), nullptr);
    EXPECT_EQ(Layer_Find(Run_Room(), static_cast<int32_t>(made)), nullptr);
    EXPECT_NE(Room_FindElement(Room_Get(1), static_cast<int32_t>(sprite)), nullptr);
}

}  // namespace
