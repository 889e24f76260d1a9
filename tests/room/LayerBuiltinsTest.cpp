// The layer, element, tile and tilemap built-ins called by name as game code calls them: a table
// of results and printed texts in the current room and in a target room, then the built-ins
// whose effects reach beyond their result.
#include "LayerBuiltinsTestSupport.h"
#include "room/Layer_Tilemap.h"
#include "app/MainLoop.h"

using namespace layer_test;

namespace {

constexpr double kMissing = 99999;  // no layer or element has this id
constexpr uint32_t kMirror = 1u << 28;

// A room of two layers: "Ground" at depth 100 (x 100) with a sprite, a background, a 4 x 3
// tilemap at x 32 and an instance; an unnamed one at depth 50 with a tile.
class LayerScene : public LayerBuiltinsTest {
protected:
    void SetUp() override {
        LayerBuiltinsTest::SetUp();
        ground = Real("layer_create", {R(100), S("Ground")});
        unnamed = Real("layer_create", {R(50)});
        ASSERT_GE(ground, 0);
        ASSERT_GE(unnamed, 0);
        sprite = Real("layer_sprite_create", {S("Ground"), R(10), R(20), R(3)});
        background = Real("layer_background_create", {R(ground), R(7)});
        tile = Real("layer_tile_create", {R(unnamed), R(5), R(6), R(2), R(16), R(32), R(8), R(8)});
        tilemap = Real("layer_tilemap_create", {R(ground), R(32), R(0), R(kTileSet), R(4), R(3)});
        instance = MakeInstance(100.0f);
        Real("layer_add_instance", {R(ground), R(instance->id)});
        instanceElement = NextElementId - 1;
        Real("layer_x", {R(ground), R(100)});
        ASSERT_EQ(Printed(), "");
    }

    double ground = -1, unnamed = -1;
    double sprite = -1, background = -1, tile = -1, tilemap = -1, instanceElement = -1;
    CInstance* instance = nullptr;
};

TEST_F(LayerScene, LayerRowsInTheCurrentRoom) {
    const double id = instance->id;
    RunCases(
        {
            {"layer_get_id", {"Ground"}, ground, ""},
            {"layer_get_id", {"gROUND"}, ground, ""},
            {"layer_get_id", {"Sky"}, -1.0, ""},
            {"layer_get_id", {}, -1.0, Shown("layer_get_id() - wrong number of arguments")},
            {"layer_get_depth", {"Ground"}, 100.0, ""},
            {"layer_get_depth", {kMissing}, -1.0, "layer_get_depth() - layer not found in current room\n"},
            {"layer_exists", {unnamed}, 1.0, ""},
            {"layer_exists", {kMissing}, 0.0, ""},
            {"layer_exists", {}, -1.0, Shown("layer_exists() - wrong number of arguments")},
            {"layer_get_visible", {ground}, 1.0, ""},
            {"layer_get_visible",
             {kMissing},
             0.0,
             "layer_get_visible() - could not find specified layer in current room\n"},
            {"layer_set_visible",
             {kMissing, 0.0},
             -1.0,
             "layer_set_visible() - could not find specified layer in current room\n"},
            {"layer_get_x", {ground}, 100.0, ""},
            {"layer_get_x", {kMissing}, 0.0, ""},
            {"layer_vspeed", {ground, 2.5}, -1.0, ""},
            {"layer_get_vspeed", {"Ground"}, 2.5, ""},
            {"layer_get_hspeed", {kMissing}, 0.0, ""},
            {"layer_shader", {ground, 4.0}, -1.0, ""},
            {"layer_get_shader", {ground}, 4.0, ""},
            {"layer_get_shader", {kMissing}, -1.0, ""},
            {"layer_get_script_end", {ground}, -1.0, ""},
            {"layer_script_begin", {ground}, -1.0, Shown("layer_script_begin() - wrong number of arguments")},
            {"layer_get_name", {ground}, Text{"Ground"}, ""},
            {"layer_get_name", {unnamed}, Text{""}, ""},
            {"layer_get_name", {kMissing}, -1.0, "layer_get_name() - can't find specified layer\n"},
            {"layer_get_name", {}, -1.0, Shown("layer_get_name() - takes a layer name or ID")},
            {"layer_get_all", {}, Array{{unnamed, ground}}, ""},
            {"layer_get_all", {1.0}, -1.0, Shown("layer_get_all() - doesn't take any arguments")},
            {"layer_get_all_elements", {"Ground"}, Array{{sprite, background, tilemap, instanceElement}}, ""},
            {"layer_get_all_elements",
             {kMissing},
             -1.0,
             "layer_get_all_elements() - can't find specified layer\n"},
            {"layer_get_all_elements", {}, -1.0, Shown("layer_get_all_elements() - takes one argument")},
            {"layer_has_instance", {ground, id}, 1.0, ""},
            {"layer_has_instance", {unnamed, id}, -1.0, ""},
            {"layer_has_instance",
             {kMissing, id},
             -1.0,
             "layer_has_instance() - could not find specified layer in current room\n"},
            {"layer_has_instance",
             {ground, kMissing},
             -1.0,
             "layer_has_instance() - could not find specified instance\n"},
            {"layer_add_instance",
             {kMissing, id},
             -1.0,
             Shown("layer_add_instance() - could not find specified layer in current room")},
            {"layer_add_instance",
             {ground, kMissing},
             -1.0,
             Shown("layer_add_instance() - could not find specified instance")},
            {"layer_add_instance", {ground}, -1.0, Shown("layer_add_instance() - wrong number of arguments")},
            {"layer_remove_instance",
             {unnamed, id},
             -1.0,
             "layer_remove_instance() - instance not on specified layer\n"},
            {"layer_remove_instance",
             {ground, kMissing},
             -1.0,
             Shown("layer_remove_instance() - could not find specified instance")},
            {"layer_remove_instance",
             {kMissing, id},
             -1.0,
             Shown("layer_remove_instance() - could not find specified layer in current room")},
            {"layer_get_element_layer", {tile}, unnamed, ""},
            {"layer_get_element_layer",
             {kMissing},
             -1.0,
             "layer_get_element_layer() - can't find specified element\n"},
            {"layer_get_element_layer",
             {},
             -1.0,
             Shown("layer_get_element_layer() - takes a single parameter")},
            {"layer_get_element_type", {background}, 1.0, ""},
            {"layer_get_element_type", {instanceElement}, 2.0, ""},
            {"layer_get_element_type", {sprite}, 4.0, ""},
            {"layer_get_element_type", {tilemap}, 5.0, ""},
            {"layer_get_element_type", {tile}, 7.0, ""},
            {"layer_get_element_type",
             {kMissing},
             -1.0,
             "layer_get_element_type() - can't find specified element\n"},
            {"layer_element_move",
             {sprite, "Ground"},
             -1.0,
             "layer_element_move() - can't find target layer\n"},
            {"layer_element_move",
             {sprite, kMissing},
             -1.0,
             "layer_element_move() - can't find target layer\n"},
            {"layer_element_move",
             {kMissing, ground},
             -1.0,
             "layer_element_move() - can't find specified element\n"},
            {"layer_element_move", {sprite}, -1.0, Shown("layer_element_move() - takes two parameters")},
            {"layer_depth", {ground}, -1.0, Shown("layer_depth() - wrong number of parameters")},
            {"layer_depth", {kMissing, 5.0}, -1.0, "layer_depth() - can't find specified layer\n"},
            {"layer_create", {}, -1.0, Shown("layer_create() - must have at least 1 argument")},
            {"layer_destroy", {kMissing}, -1.0, "layer_destroy() - layer not found in current room\n"},
            {"layer_destroy", {}, -1.0, Shown("layer_destroy() - wrong number of arguments")},
            {"layer_get_target_room", {}, -1.0, ""},
            {"layer_set_target_room", {kMissing}, NoResult{}, ""},
            {"layer_get_target_room", {}, kMissing, ""},
            {"layer_reset_target_room", {}, NoResult{}, ""},
            {"layer_get_target_room", {}, -1.0, ""},
            {"layer_force_draw_depth",
             {1.0},
             NoResult{},
             Shown("layer_force_draw_depth() - takes two parameters")},
            {"layer_is_draw_depth_forced", {}, 0.0, ""},
            {"layer_force_draw_depth", {0.6, -20.0}, NoResult{}, ""},
            {"layer_is_draw_depth_forced", {}, 1.0, ""},
            {"layer_get_forced_depth", {}, -20.0, ""},
        },
        "current room");
}

TEST_F(LayerScene, BackgroundAndSpriteRowsInTheCurrentRoom) {
    RunCases(
        {
            {"layer_background_get_sprite", {background}, 7.0, ""},
            {"layer_background_get_visible", {background}, 1.0, ""},
            {"layer_background_get_speed", {background}, 1.0, ""},
            {"layer_background_get_blend", {background}, -1.0, ""},
            {"layer_background_get_alpha", {kMissing}, 0.0, ""},
            {"layer_background_get_visible", {kMissing}, 1.0, ""},
            {"layer_background_get_index", {kMissing}, -1.0, ""},
            {"layer_background_get_xscale", {sprite}, 1.0, ""},  // the wrong kind counts as missing
            {"layer_background_htiled", {background, 0.51}, -1.0, ""},
            {"layer_background_get_htiled", {background}, 1.0, ""},
            {"layer_background_alpha", {sprite, 0.25}, -1.0, ""},
            {"layer_sprite_get_alpha", {sprite}, 1.0, ""},
            {"layer_background_get_id", {ground}, -1.0, ""},  // made at run time: no name
            {"layer_background_exists", {ground, background}, 1.0, ""},
            {"layer_background_exists", {unnamed, background}, 0.0, ""},
            {"layer_background_exists", {ground, sprite}, 0.0, ""},
            {"layer_background_create",
             {kMissing, 1.0},
             -1.0,
             "layer_background_create() - could not find specified layer in current room\n"},
            {"layer_background_blend",
             {background},
             -1.0,
             Shown("layer_background_blend() - wrong number of arguments")},
            {"layer_sprite_get_x", {sprite}, 10.0, ""},
            {"layer_sprite_get_y", {sprite}, 20.0, ""},
            {"layer_sprite_get_sprite", {sprite}, 3.0, ""},
            {"layer_sprite_get_index", {sprite}, 0.0, ""},
            {"layer_sprite_get_blend", {sprite}, 4294967295.0, ""},
            {"layer_sprite_get_index", {kMissing}, -1.0, ""},
            {"layer_sprite_get_xscale", {kMissing}, 1.0, ""},
            {"layer_sprite_angle", {sprite, 45.5}, -1.0, ""},
            {"layer_sprite_get_angle", {sprite}, 45.5, ""},
            {"layer_sprite_blend", {sprite, 255.0}, -1.0, ""},
            {"layer_sprite_get_blend", {sprite}, 255.0, ""},
            {"layer_sprite_exists", {"Ground", sprite}, 1.0, ""},
            {"layer_sprite_exists", {ground, tile}, 0.0, ""},
            {"layer_sprite_get_id", {ground, "Ground"}, -1.0, ""},
            {"layer_sprite_create",
             {kMissing, 0.0, 0.0, 1.0},
             -1.0,
             "layer_sprite_create() - could not find specified layer in current room\n"},
            {"layer_sprite_alpha", {sprite}, -1.0, Shown("layer_sprite_alpha() - wrong number of arguments")},
            {"layer_sprite_get_alpha",
             {},
             -1.0,
             Shown("layer_sprite_get_alpha() - wrong number of arguments")},
        },
        "current room");
}

TEST_F(LayerScene, TileRowsInTheCurrentRoom) {
    RunCases(
        {
            {"layer_tile_exists", {tile}, 1.0, ""},
            {"layer_tile_exists", {sprite}, 0.0, ""},
            {"layer_tile_exists", {unnamed, tile}, 1.0, ""},
            {"layer_tile_exists", {ground, tile}, 0.0, ""},
            {"layer_tile_exists", {}, 0.0, Shown("layer_tile_exists() - takes one or two parameters")},
            {"layer_tile_get_region", {tile}, Array{{16, 32, 8, 8}}, ""},
            {"layer_tile_get_region", {kMissing}, -1.0, ""},
            {"layer_tile_get_sprite", {tile}, 2.0, ""},
            {"layer_tile_get_x", {tile}, 5.0, ""},
            {"layer_tile_get_blend", {tile}, 4294967295.0, ""},
            {"layer_tile_visible", {tile, 0.3}, -1.0, ""},
            {"layer_tile_get_visible", {tile}, 1.0, ""},
            {"layer_tile_visible", {tile, 0.0}, -1.0, ""},
            {"layer_tile_get_visible", {tile}, 0.0, ""},
            {"layer_tile_blend", {tile, 255.9}, -1.0, ""},
            {"layer_tile_get_blend", {tile}, 255.0, ""},
            {"layer_tile_blend", {tile, -1.0}, -1.0, ""},
            {"layer_tile_get_blend", {tile}, 4294967295.0, ""},
            {"layer_tile_region", {tile, 1.0, 2.0, 3.0, 4.0}, -1.0, ""},
            {"layer_tile_get_region", {tile}, Array{{1, 2, 3, 4}}, ""},
            {"layer_tile_get_blend", {kMissing}, 0.0, ""},
            {"layer_tile_get_xscale", {kMissing}, 1.0, ""},
            {"layer_tile_get_sprite", {sprite}, -1.0, ""},
            {"layer_tile_change", {tile}, -1.0, Shown("\"layer_tile_change\"() - wrong number of arguments")},
            {"layer_tile_get_visible",
             {},
             -1.0,
             Shown("\"layer_tile_get_visible\"() - wrong number of arguments")},
            {"layer_tile_region", {tile}, -1.0, Shown("layer_tile_region() - wrong number of arguments")},
            {"layer_tile_create",
             {kMissing, 0.0, 0.0, 1.0, 0.0, 0.0, 8.0, 8.0},
             -1.0,
             "layer_tile_create() - could not find specified layer in current room\n"},
        },
        "current room");
}

TEST_F(LayerScene, TilemapRowsInTheCurrentRoom) {
    const double bit31AndIndex1 = 2147483649.0;
    RunCases(
        {
            {"layer_tilemap_exists", {ground, tilemap}, 1.0, ""},
            {"layer_tilemap_exists", {ground, sprite}, 0.0, ""},
            {"layer_tilemap_exists",
             {kMissing, tilemap},
             0.0,
             "layer_tilemap_exists() - specified tilemap not found\n"},
            {"layer_tilemap_exists",
             {ground},
             0.0,
             Shown("layer_tilemap_exists() - wrong number of arguments")},
            {"layer_tilemap_get_id", {ground}, -1.0, ""},  // made at run time: no name
            {"layer_tilemap_get_id",
             {kMissing},
             -1.0,
             "layer_tilemap_get_id() - specified tilemap not found\n"},
            {"tilemap_get_width", {tilemap}, 4.0, ""},
            {"tilemap_get_height", {tilemap}, 3.0, ""},
            {"tilemap_get_x", {tilemap}, 32.0, ""},
            {"tilemap_get_tileset", {tilemap}, double(kTileSet), ""},
            {"tilemap_get_tile_width", {tilemap}, double(kTileWidth), ""},
            {"tilemap_get_tile_height", {tilemap}, double(kTileHeight), ""},
            {"tilemap_get_width", {sprite}, -1.0, ""},
            {"tilemap_get_frame", {tilemap}, 0.0, ""},
            {"tilemap_get_frame",
             {kMissing},
             -1.0,
             "tilemap_get_frame() - couldn't find specified tilemap\n"},
            {"tilemap_get_mask", {tilemap}, 2147483647.0, ""},
            {"tilemap_get_global_mask", {}, 2147483647.0, ""},
            {"tilemap_set", {tilemap, 3.0, 0.0, 0.0}, -1.0, ""},
            {"tilemap_get", {tilemap, 0.0, 0.0}, 3.0, ""},
            {"tilemap_set",
             {tilemap, double(kTileCount), 1.0, 0.0},
             -1.0,
             "tilemap_set() - tile index outside tile set count\n"},
            {"tilemap_set", {tilemap, double(kTileCount - 1), 1.0, 0.0}, -1.0, ""},
            {"tilemap_get", {tilemap, 1.0, 0.0}, double(kTileCount - 1), ""},
            {"tilemap_set", {tilemap, 1.0, -1.0, 0.0}, -1.0, "tilemap_set() - x coordinate smaller than 0\n"},
            {"tilemap_set",
             {tilemap, 1.0, 4.0, 0.0},
             -1.0,
             "tilemap_set() - x coordinate larger than tilemap width\n"},
            {"tilemap_set", {tilemap, 1.0, 0.0, -1.0}, -1.0, "tilemap_set() - y coordinate smaller than 0\n"},
            {"tilemap_set",
             {tilemap, 1.0, 0.0, 3.0},
             -1.0,
             "tilemap_set() - y coordinate larger than tilemap height\n"},
            {"tilemap_set", {tilemap, 1.0, 0.0}, -1.0, Shown("tilemap_set() - wrong number of arguments\n")},
            {"tilemap_set",
             {kMissing, 1.0, 0.0, 0.0},
             -1.0,
             "tilemap_set() - couldn't find specified tilemap\n"},
            {"tilemap_set", {tilemap, bit31AndIndex1, 2.0, 0.0}, -1.0, ""},
            {"tilemap_get", {tilemap, 2.0, 0.0}, bit31AndIndex1, ""},
            {"tilemap_get",
             {tilemap, 4.0, 0.0},
             -1.0,
             "tilemap_get() - x coordinate larger than tilemap width\n"},
            {"tilemap_get",
             {tilemap, 0.0, 3.0},
             -1.0,
             "tilemap_get() - y coordinate larger than tilemap height\n"},
            {"tilemap_get", {kMissing, 0.0, 0.0}, -1.0, "tilemap_get() - couldn't find specified tilemap\n"},
            // The map starts at the layer's x 100 plus its own 32.
            {"tilemap_get_cell_x_at_pixel", {tilemap, 132.0, 0.0}, 0.0, ""},
            {"tilemap_get_cell_x_at_pixel", {tilemap, 131.5, 0.0}, -1.0, ""},
            {"tilemap_get_cell_x_at_pixel", {tilemap, 148.0, 0.0}, 1.0, ""},
            {"tilemap_get_cell_x_at_pixel", {tilemap, 195.5, 0.0}, 3.0, ""},
            {"tilemap_get_cell_x_at_pixel", {tilemap, 196.0, 0.0}, -1.0, ""},
            {"tilemap_get_cell_y_at_pixel", {tilemap, 132.0, 23.5}, 2.0, ""},
            {"tilemap_get_cell_y_at_pixel", {tilemap, 132.0, 24.0}, -1.0, ""},
            {"tilemap_get_at_pixel", {tilemap, 132.0, 0.0}, 3.0, ""},
            {"tilemap_get_at_pixel", {tilemap, 196.0, 0.0}, -1.0, ""},
            {"tilemap_get_at_pixel",
             {kMissing, 0.0, 0.0},
             -1.0,
             "tilemap_get_at_pixel() - couldn't find specified tilemap\n"},
            {"tilemap_set_at_pixel", {tilemap, 5.0, 150.0, 10.0}, -1.0, ""},
            {"tilemap_get", {tilemap, 1.0, 1.0}, 5.0, ""},
            {"tilemap_set_at_pixel",
             {tilemap, double(kTileCount), 150.0, 10.0},
             -1.0,
             "tilemap_set_at_pixel() - tile index outside tile set count\n"},
            // A mask of 0 hides every cell without changing it.
            {"tilemap_set_mask", {tilemap, 0.0}, -1.0, ""},
            {"tilemap_get_mask", {tilemap}, 0.0, ""},
            {"tilemap_get", {tilemap, 0.0, 0.0}, 3.0, ""},
            {"tilemap_set_mask",
             {kMissing, 0.0},
             -1.0,
             "tilemap_set_mask() - couldn't find specified tilemap\n"},
            {"tilemap_set_global_mask", {4294967295.0}, -1.0, ""},
            {"tilemap_get_global_mask", {}, 4294967295.0, ""},
            {"tilemap_clear", {kMissing, 0.0}, -1.0, ""},
            {"tilemap_clear", {tilemap, 0.0}, -1.0, ""},
            {"tilemap_get", {tilemap, 0.0, 0.0}, 0.0, ""},
            {"tilemap_draw",
             {kMissing, 0.0, 0.0},
             -1.0,
             "tilemap_draw() - couldn't find specified tilemap\n"},
            {"draw_tile", {5.0, 1.0, 0.0, 0.0, 0.0}, -1.0, "draw_tile() - couldn't find specified tilemap\n"},
            {"draw_tile",
             {double(kTileSet), double(kTileCount), 0.0, 0.0, 0.0},
             -1.0,
             "draw_tile() - tile index outside tile set count\n"},
            {"draw_tile",
             {double(kTileSet), 1.0, 0.0, 0.0},
             -1.0,
             Shown("draw_tile() - wrong number of arguments")},
            {"layer_tilemap_create",
             {ground, 0.0, 0.0, 0.0, -1.0, 3.0},
             -1.0,
             "layer_tilemap_create() - invalid tilemap size -1 x 3\n"},
            {"layer_tilemap_create",
             {ground, 0.0, 0.0, 0.0, 2000000000.0, 2000000000.0},
             -1.0,
             "layer_tilemap_create() - invalid tilemap size 2000000000 x 2000000000\n"},
            {"layer_tilemap_create",
             {kMissing, 0.0, 0.0, 0.0, 1.0, 1.0},
             -1.0,
             "layer_tilemap_create() - could not find specified layer in current room\n"},
        },
        "current room");
}

TEST_F(LayerScene, ATilemapWithoutItsTileSet) {
    RunCases(
        {
            {"tilemap_tileset", {tilemap, 42.0}, -1.0, ""},
            {"tilemap_get_tileset", {tilemap}, 42.0, ""},
            {"tilemap_get_tile_width",
             {tilemap},
             -1.0,
             Shown("tilemap_get_tile_width() - could not find tileset for this map")},
            {"tilemap_get_tile_height",
             {tilemap},
             -1.0,
             Shown("tilemap_get_tile_height() - could not find tileset for this map")},
            {"tilemap_get_at_pixel",
             {tilemap, 132.0, 0.0},
             -1.0,
             Shown("tilemap_get_at_pixel() - could not find tileset for this map")},
            {"tilemap_set_at_pixel",
             {tilemap, 1.0, 132.0, 0.0},
             -1.0,
             Shown("tilemap_set_at_pixel() - could not find tileset for this map\n")},
            {"tilemap_get_cell_x_at_pixel",
             {tilemap, 132.0, 0.0},
             -1.0,
             Shown("tilemap_get_cell_x_at_pixel() - could not find tileset for this map")},
            // Without a tile set the index is not tested.
            {"tilemap_set", {tilemap, 500.0, 0.0, 0.0}, -1.0, ""},
            {"tilemap_get", {tilemap, 0.0, 0.0}, 500.0, ""},
        },
        "no tile set");
}

// A tilemap element that lost its cells says so through the error dialog.
TEST_F(LayerScene, ATilemapWithoutCells) {
    LayerTilemapElement* bare = LayerElement_NewTilemap();
    bare->tileSet = kTileSet;
    bare->width = 2;
    bare->height = 2;
    const double id =
        Layer_AddNewElement(m_room, Layer_Find(m_room, static_cast<int32_t>(ground)), bare, true);
    ASSERT_GE(id, 0);
    RunCases(
        {
            {"tilemap_get", {id, 0.0, 0.0}, -1.0, Shown("tilemap_get() - tilemap element corrupted")},
            {"tilemap_set", {id, 1.0, 0.0, 0.0}, -1.0, Shown("tilemap_set() - tilemap element corrupted\n")},
            {"tilemap_get_at_pixel",
             {id, 132.0, 0.0},
             -1.0,
             Shown("tilemap_get_at_pixel() - tilemap element corrupted")},
            {"tilemap_set_at_pixel",
             {id, 1.0, 132.0, 0.0},
             -1.0,
             Shown("tilemap_set_at_pixel() - tilemap element corrupted\n")},
            {"tilemap_get_cell_y_at_pixel",
             {id, 132.0, 0.0},
             -1.0,
             Shown("tilemap_get_cell_y_at_pixel() - tilemap element corrupted")},
            {"tilemap_clear", {id, 0.0}, -1.0, Shown("tilemap_clear() - tilemap element corrupted")},
            {"tilemap_draw", {id, 0.0, 0.0}, -1.0, Shown("tilemap_draw() - tilemap element corrupted")},
            {"tilemap_get_width", {id}, 2.0, ""},
        },
        "no cells");
}

TEST_F(LayerBuiltinsTest, TileDataRows) {
    const double mirrored5 = double(kMirror | 5);
    RunCases(
        {
            {"tile_set_index", {mirrored5, 7.0}, double(kMirror | 7), ""},
            {"tile_set_index", {mirrored5, double(0x80001)}, double(kMirror | 0x80001), ""},
            {"tile_get_index", {double(kMirror | 0x80001)}, 1.0, ""},
            {"tile_set_empty", {mirrored5}, double(kMirror), ""},
            {"tile_get_empty", {double(kMirror)}, 1.0, ""},
            {"tile_get_empty", {mirrored5}, 0.0, ""},
            {"tile_set_flip", {0.0, 0.5}, 0.0, ""},
            {"tile_set_flip", {0.0, 0.51}, double(1u << 29), ""},
            {"tile_get_flip", {double(1u << 29)}, 1.0, ""},
            {"tile_set_mirror", {0.0, 1.0}, double(kMirror), ""},
            {"tile_get_mirror", {mirrored5}, 1.0, ""},
            {"tile_set_rotate", {1.0, 1.0}, double((1u << 30) | 1), ""},
            {"tile_get_rotate", {1.0}, 0.0, ""},
            // Results are signed 32-bit numbers.
            {"tile_set_rotate", {-1.0, 0.0}, -1073741825.0, ""},
            {"tile_set_empty", {}, -1.0, Shown("tile_set_empty() - wrong number of arguments")},
            {"tile_get_index", {}, -1.0, Shown("tilemap_tile_get_index() - wrong number of arguments")},
            {"tile_get_rotate", {}, -1.0, Shown("tilemap_tile_get_rotate() - wrong number of arguments")},
        },
        "tile data");
}

// The same rows after layer_set_target_room: they act on that room's definition, whose
// instances do not exist yet, and leave the current room alone.
TEST_F(LayerScene, RowsInATargetRoom) {
    CRoom* target = Room_Get(kTargetRoom);
    ASSERT_NE(target, nullptr);
    RValue none = Call("layer_set_target_room", {R(kTargetRoom)});
    EXPECT_EQ(none.kind, VALUE_UNDEFINED);
    const double far = Real("layer_create", {R(10), S("Far")});
    const double near = Real("layer_create", {R(5)});
    const double farSprite = Real("layer_sprite_create", {S("Far"), R(1), R(2), R(3)});
    const double farMap = Real("layer_tilemap_create", {R(far), R(0), R(0), R(kTileSet), R(2), R(2)});
    ASSERT_EQ(Printed(), "");
    EXPECT_EQ(Layer_Find(m_room, static_cast<int32_t>(far)), nullptr);
    ASSERT_NE(Layer_Find(target, static_cast<int32_t>(far)), nullptr);
    CLayerElement* element = Room_FindElement(target, static_cast<int32_t>(farSprite));
    ASSERT_NE(element, nullptr);
    EXPECT_FALSE(element->ready) << "prepared when the room is entered";
    EXPECT_TRUE(Room_FindElement(m_room, static_cast<int32_t>(sprite))->ready);

    const double id = instance->id;
    RunCases(
        {
            {"layer_get_target_room", {}, double(kTargetRoom), ""},
            {"layer_get_id", {"far"}, far, ""},
            {"layer_get_id", {"Ground"}, -1.0, ""},
            {"layer_get_depth", {far}, 10.0, ""},
            {"layer_get_depth", {ground}, -1.0, "layer_get_depth() - layer not found in current room\n"},
            {"layer_get_all", {}, Array{{near, far}}, ""},
            {"layer_get_all_elements", {far}, Array{{farSprite, farMap}}, ""},
            {"layer_sprite_get_x", {farSprite}, 1.0, ""},
            {"layer_sprite_get_x", {sprite}, 0.0, ""},
            {"layer_tile_exists", {tile}, 0.0, ""},
            {"layer_get_element_type", {farMap}, 5.0, ""},
            {"layer_get_element_layer", {farSprite}, far, ""},
            {"tilemap_set", {farMap, 3.0, 1.0, 1.0}, -1.0, ""},
            {"tilemap_get", {farMap, 1.0, 1.0}, 3.0, ""},
            {"tilemap_get",
             {farMap, 2.0, 0.0},
             -1.0,
             "tilemap_get() - x coordinate larger than tilemap width\n"},
            {"tilemap_get_at_pixel", {farMap, 16.0, 8.0}, 3.0, ""},
            {"tilemap_get_at_pixel", {farMap, 32.0, 0.0}, -1.0, ""},
            // Instances of that room are known by id only.
            {"layer_add_instance", {far, 777.0}, -1.0, ""},
            {"layer_has_instance", {far, 777.0}, 1.0, ""},
            {"layer_has_instance", {near, 777.0}, -1.0, ""},
            {"layer_has_instance", {far, id}, -1.0, ""},
            {"layer_remove_instance",
             {near, 777.0},
             -1.0,
             "layer_remove_instance() - instance not on specified layer\n"},
            {"layer_add_instance", {near, 777.0}, -1.0, ""},
            {"layer_has_instance", {far, 777.0}, -1.0, ""},
            {"layer_remove_instance", {near, 777.0}, -1.0, ""},
            {"layer_has_instance", {near, 777.0}, -1.0, ""},
            {"layer_remove_instance",
             {near, 777.0},
             -1.0,
             "layer_remove_instance() - instance not on any layer\n"},
            {"layer_element_move", {farSprite, near}, -1.0, ""},
            {"layer_get_element_layer", {farSprite}, near, ""},
            {"layer_sprite_destroy", {farSprite}, -1.0, ""},
            {"layer_get_element_type",
             {farSprite},
             -1.0,
             "layer_get_element_type() - can't find specified element\n"},
        },
        "target room");
    // The current room saw none of it.
    EXPECT_EQ(instance->layer, static_cast<int32_t>(ground));
    EXPECT_TRUE(instance->onLayer);
    EXPECT_EQ(Room_LayerCount(m_room), 2);

    // A target that names no room falls back to the current room.
    Call("layer_set_target_room", {R(kMissing)});
    EXPECT_EQ(Real("layer_get_id", {S("Ground")}), ground);
    RValue reset = Call("layer_reset_target_room", {});
    EXPECT_EQ(reset.kind, VALUE_UNDEFINED);
    EXPECT_EQ(LayerTargetRoom, -1);
}

// An instance element added to another room binds to its instance when that room is entered.
TEST_F(LayerScene, AnInstanceAddedToATargetRoomWaitsUnbound) {
    Call("layer_set_target_room", {R(kTargetRoom)});
    const double far = Real("layer_create", {R(10)});
    Real("layer_add_instance", {R(far), R(777)});
    CRoom* target = Room_Get(kTargetRoom);
    CLayer* layer = Layer_Find(target, static_cast<int32_t>(far));
    ASSERT_NE(layer, nullptr);
    ASSERT_NE(layer->elements.head, nullptr);
    ASSERT_EQ(layer->elements.head->kind, eLayerElement_Instance);
    const auto* element = static_cast<const LayerInstanceElement*>(layer->elements.head);
    EXPECT_EQ(element->instanceId, 777);
    EXPECT_EQ(element->instance, nullptr);
    EXPECT_FALSE(element->ready);
    EXPECT_EQ(Layer_GetInstanceLayerId(target, 777), static_cast<int32_t>(far));
}

TEST_F(LayerScene, DestroyingALayerLeavesItsInstancesAliveOnNoLayer) {
    Real("layer_destroy", {S("Ground")});
    EXPECT_EQ(Printed(), "");
    EXPECT_EQ(Instance_Find(instance->id), instance);
    EXPECT_EQ(instance->layer, -1);
    EXPECT_FALSE(instance->onLayer);
    EXPECT_EQ(Real("layer_exists", {R(ground)}), 0.0);
    EXPECT_EQ(Real("layer_get_element_type", {R(sprite)}), -1.0);
    EXPECT_EQ(Real("layer_has_instance", {R(unnamed), R(instance->id)}), -1.0);
}

TEST_F(LayerScene, LayerDepthMovesTheLayerAndItsInstances) {
    Real("layer_depth", {R(ground), R(10)});
    EXPECT_EQ(Printed(), "");
    EXPECT_EQ(Real("layer_get_depth", {R(ground)}), 10.0);
    RValue all = Call("layer_get_all", {});
    EXPECT_EQ(ArrayItems(all), (std::vector<double>{ground, unnamed}));
    RValue_Release(&all);
    EXPECT_EQ(instance->depth, 10.0f);
    EXPECT_EQ(instance->layer, static_cast<int32_t>(ground)) << "the instance stays on its layer";
}

// layer_depth never merges: two dynamic layers at one depth stay two.
TEST_F(LayerScene, LayerDepthKeepsDynamicLayersApart) {
    CInstance* first = MakeInstance(30.0f);
    CInstance* second = MakeInstance(40.0f);
    Layer_AddInstance(m_room, first);
    Layer_AddInstance(m_room, second);
    ASSERT_NE(first->layer, second->layer);
    Real("layer_depth", {R(first->layer), R(40)});
    ASSERT_NE(Layer_Find(m_room, first->layer), nullptr);
    ASSERT_NE(Layer_Find(m_room, second->layer), nullptr);
    EXPECT_EQ(Layer_Find(m_room, first->layer)->depth, 40);
    EXPECT_EQ(Real("layer_has_instance", {R(first->layer), R(first->id)}), 1.0);
    EXPECT_EQ(Real("layer_has_instance", {R(second->layer), R(first->id)}), -1.0);
}

// Putting an instance on the dynamic layer it already sits on must not lose that layer.
TEST_F(LayerScene, AddingAnInstanceToItsOwnDynamicLayerKeepsIt) {
    CInstance* walker = MakeInstance(75.0f);
    Layer_AddInstance(m_room, walker);
    ASSERT_TRUE(walker->onLayer);
    const int32_t dynamic = walker->layer;
    ASSERT_TRUE(Layer_Find(m_room, dynamic)->dynamic);
    Real("layer_add_instance", {R(dynamic), R(walker->id)});
    EXPECT_EQ(Printed(), "");
    ASSERT_NE(Layer_Find(m_room, dynamic), nullptr);
    EXPECT_EQ(Real("layer_has_instance", {R(dynamic), R(walker->id)}), 1.0);
    // layer_get_all leaves the dynamic layer out; its elements are still listed.
    RValue all = Call("layer_get_all", {});
    EXPECT_EQ(ArrayItems(all), (std::vector<double>{unnamed, ground}));
    RValue_Release(&all);
    RValue elements = Call("layer_get_all_elements", {R(dynamic)});
    EXPECT_EQ(ArrayItems(elements).size(), 1u);
    RValue_Release(&elements);
    // Moving it to a room layer and taking it off there leaves it on no layer.
    Real("layer_add_instance", {R(unnamed), R(walker->id)});
    EXPECT_EQ(Layer_Find(m_room, dynamic), nullptr) << "the emptied dynamic layer goes";
    EXPECT_EQ(walker->layer, static_cast<int32_t>(unnamed));
    Real("layer_remove_instance", {R(unnamed), R(walker->id)});
    EXPECT_EQ(Printed(), "");
    EXPECT_FALSE(walker->onLayer);
    EXPECT_EQ(walker->layer, -1);
    Real("layer_remove_instance", {R(unnamed), R(walker->id)});
    EXPECT_EQ(Printed(), "layer_remove_instance() - instance not on any layer\n");
}

TEST_F(LayerScene, DestroyRowsTakeAnyKindAndAnEmptiedDynamicLayer) {
    Real("layer_sprite_destroy", {R(tilemap)});
    EXPECT_EQ(Real("layer_tilemap_exists", {R(ground), R(tilemap)}), 0.0);
    Real("layer_tilemap_destroy", {R(sprite)});
    EXPECT_EQ(Real("layer_sprite_exists", {R(ground), R(sprite)}), 0.0);
    Real("layer_background_destroy", {R(kMissing)});
    EXPECT_EQ(Printed(), "");

    CLayer* dynamic = Layer_NewDynamic(m_room, 30);
    ASSERT_NE(dynamic, nullptr);
    const int32_t dynamicId = dynamic->id;
    const double a = Real("layer_tile_create", {R(dynamicId), R(0), R(0), R(1), R(0), R(0), R(8), R(8)});
    const double b = Real("layer_sprite_create", {R(dynamicId), R(0), R(0), R(1)});
    Real("layer_tile_destroy", {R(a)});
    EXPECT_NE(Layer_Find(m_room, dynamicId), nullptr) << "one element left";
    Real("layer_background_destroy", {R(b)});
    EXPECT_EQ(Layer_Find(m_room, dynamicId), nullptr);
    // Room layers stay when emptied.
    Real("layer_tile_destroy", {R(tile)});
    EXPECT_EQ(Real("layer_exists", {R(unnamed)}), 1.0);
}

// The two draw-now rows hand their work to the layer drawing, at the caller's depth.
struct DrawCall {
    int32_t what = 0;  // 1 a tilemap, 2 a tile
    const LayerTilemapElement* tilemap = nullptr;
    int32_t tileSet = -1, frame = -1;
    uint32_t data = 0;
    float x = 0, y = 0, depth = 0;
};
DrawCall g_drawn;

TEST_F(LayerScene, DrawingNowGoesThroughTheInstalledDrawing) {
    LayerFunctions_SetTileDrawing([](LayerTilemapElement* map, float x, float y,
                                     float depth) { g_drawn = {1, map, -1, -1, 0, x, y, depth}; },
                                  [](int32_t set, uint32_t data, int32_t frame, float x, float y,
                                     float depth) { g_drawn = {2, nullptr, set, frame, data, x, y, depth}; });
    instance->depth = -7.0f;
    g_drawn = DrawCall();
    RValue r = Call("tilemap_draw", {R(tilemap), R(3), R(4)}, instance);
    EXPECT_EQ(g_drawn.what, 1);
    EXPECT_EQ(g_drawn.tilemap, Room_FindElement(m_room, static_cast<int32_t>(tilemap)));
    EXPECT_EQ(g_drawn.x, 3.0f);
    EXPECT_EQ(g_drawn.depth, -7.0f);
    g_drawn = DrawCall();
    TileGlobalMask = ~kMirror;
    r = Call("draw_tile", {R(kTileSet), R(double(0x80000000u | kMirror | (1u << 29) | 2)), R(1), R(5), R(6)},
             instance);
    EXPECT_EQ(g_drawn.what, 2);
    EXPECT_EQ(g_drawn.tileSet, kTileSet);
    EXPECT_EQ(g_drawn.data, (1u << 29) | 2) << "bit 31 and the globally masked bits are cleared";
    EXPECT_EQ(g_drawn.frame, 1);
    EXPECT_EQ(g_drawn.y, 6.0f);
    LayerFunctions_SetTileDrawing(nullptr, nullptr);
    EXPECT_EQ(Printed(), "");
}

// The 144 rows come in one block.
TEST_F(LayerBuiltinsTest, OneHundredAndFortyFourRows) {
    int32_t first = -1, last = -1;
    ASSERT_TRUE(Code_Function_Find("layer_get_id", &first));
    ASSERT_TRUE(Code_Function_Find("layer_tile_get_region", &last));
    EXPECT_EQ(last - first, 143);
    const char* name = nullptr;
    BuiltinProc function = nullptr;
    int32_t argc = -2;
    Code_Function_GetInfo(first + 2, &name, &function, &argc);
    EXPECT_STREQ(name, "layer_create");
    EXPECT_EQ(argc, 2);
    int32_t tileCreate = -1;
    ASSERT_TRUE(Code_Function_Find("layer_tile_create", &tileCreate));
    Code_Function_GetInfo(tileCreate, &name, &function, &argc);
    EXPECT_EQ(argc, 8);
}

}  // namespace
