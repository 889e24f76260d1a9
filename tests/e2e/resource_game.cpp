// Writes a game that names every resource built-in (sprites, backgrounds, fonts, sounds, paths,
// scripts, time lines, objects, rooms, asset lookup, object properties, script_execute and
// legacy tiles) in a script it never runs, so loading it shows each name is known; its room
// creation code runs a few of them and prints what they answer. A data-file sprite sits on a
// texture page read from PAGE_PNG. MODE "legacy" writes a game of header major version 1,
// "layer" one of version 2 (where object_get_depth and object_set_depth are unknown and
// room_get_camera is known).
// Usage: e2e_resource_game OUTPUT PAGE_PNG MODE
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestGameFileWriter.h"

namespace {

// Every row, with its registered argument count (-1: any number).
struct Row {
    const char* name;
    int argc;
};
const Row kRows[] = {
    {"sprite_name", 1},
    {"sprite_exists", 1},
    {"sprite_get_name", 1},
    {"sprite_get_number", 1},
    {"sprite_get_width", 1},
    {"sprite_get_height", 1},
    {"sprite_get_transparent", 1},
    {"sprite_get_smooth", 1},
    {"sprite_get_preload", 1},
    {"sprite_get_xoffset", 1},
    {"sprite_get_yoffset", 1},
    {"sprite_get_bbox_mode", 1},
    {"sprite_get_bbox_left", 1},
    {"sprite_get_bbox_right", 1},
    {"sprite_get_bbox_top", 1},
    {"sprite_get_bbox_bottom", 1},
    {"sprite_get_precise", 1},
    {"sprite_collision_mask", 9},
    {"sprite_set_cache_size", 2},
    {"sprite_set_cache_size_ext", 3},
    {"font_set_cache_size", 2},
    {"sprite_get_tpe", 2},
    {"sprite_set_offset", 3},
    {"sprite_set_bbox_mode", 2},
    {"sprite_set_bbox", 5},
    {"sprite_set_precise", 2},
    {"sprite_set_alpha_from_sprite", 2},
    {"sprite_add", 6},
    {"sprite_create_from_screen", 8},
    {"sprite_add_from_screen", 7},
    {"sprite_create_from_surface", 9},
    {"sprite_add_from_surface", 8},
    {"sprite_replace", 7},
    {"sprite_add_sprite", 1},
    {"sprite_replace_sprite", 2},
    {"sprite_save_strip", 2},
    {"sprite_delete", 1},
    {"sprite_duplicate", 1},
    {"sprite_assign", 2},
    {"sprite_merge", 2},
    {"sprite_save", 3},
    {"sprite_prefetch", 1},
    {"sprite_prefetch_multi", 1},
    {"sprite_flush", 1},
    {"sprite_flush_multi", 1},
    {"background_name", 1},
    {"background_exists", 1},
    {"background_get_name", 1},
    {"background_get_width", 1},
    {"background_get_height", 1},
    {"background_get_transparent", 1},
    {"background_get_smooth", 1},
    {"background_get_preload", 1},
    {"background_set_alpha_from_background", 2},
    {"background_create_color", 3},
    {"background_create_colour", 3},
    {"background_replace", 4},
    {"background_create_from_screen", 6},
    {"background_create_from_surface", 7},
    {"background_create_gradient", 5},
    {"background_add", 3},
    {"background_add_background", 1},
    {"background_replace_background", 2},
    {"background_delete", 1},
    {"background_duplicate", 1},
    {"background_assign", 2},
    {"background_save", 2},
    {"background_prefetch", 1},
    {"background_prefetch_multi", 1},
    {"background_flush", 1},
    {"background_flush_multi", 1},
    {"font_name", 1},
    {"font_exists", 1},
    {"font_get_name", 1},
    {"font_get_fontname", 1},
    {"font_get_size", 1},
    {"font_get_bold", 1},
    {"font_get_italic", 1},
    {"font_get_first", 1},
    {"font_get_last", 1},
    {"font_add", 6},
    {"font_replace", 7},
    {"font_add_sprite", 4},
    {"font_add_sprite_ext", 4},
    {"font_replace_sprite", 5},
    {"font_replace_sprite_ext", 5},
    {"font_delete", 1},
    {"asset_get_index", 1},
    {"asset_get_type", 1},
    {"sound_name", 1},
    {"sound_exists", 1},
    {"sound_get_name", 1},
    {"sound_get_kind", 1},
    {"sound_get_preload", 1},
    {"sound_discard", 1},
    {"sound_restore", 1},
    {"sound_add", 3},
    {"sound_replace", 4},
    {"sound_delete", 1},
    {"audio_delete", 1},
    {"script_name", 1},
    {"script_exists", 1},
    {"script_get_name", 1},
    {"script_get_text", 1},
    {"script_execute", -1},
    {"path_name", 1},
    {"path_exists", 1},
    {"path_get_name", 1},
    {"path_get_length", 1},
    {"path_get_time", 2},
    {"path_get_kind", 1},
    {"path_get_closed", 1},
    {"path_get_precision", 1},
    {"path_get_number", 1},
    {"path_get_point_x", 2},
    {"path_get_point_y", 2},
    {"path_get_point_speed", 2},
    {"path_get_x", 2},
    {"path_get_y", 2},
    {"path_get_speed", 2},
    {"path_set_kind", 2},
    {"path_set_closed", 2},
    {"path_set_precision", 2},
    {"path_add", 0},
    {"path_duplicate", 1},
    {"path_assign", 2},
    {"path_append", 2},
    {"path_delete", 1},
    {"path_add_point", 4},
    {"path_insert_point", 5},
    {"path_change_point", 5},
    {"path_delete_point", 2},
    {"path_clear_points", 1},
    {"path_reverse", 1},
    {"path_mirror", 1},
    {"path_flip", 1},
    {"path_rotate", 2},
    {"path_rescale", 3},
    {"path_shift", 3},
    {"timeline_name", 1},
    {"timeline_exists", 1},
    {"timeline_get_name", 1},
    {"timeline_add", 0},
    {"timeline_delete", 1},
    {"timeline_moment_clear", 2},
    {"timeline_clear", 1},
    {"timeline_moment_add", 3},
    {"timeline_moment_add_script", 3},
    {"timeline_size", 1},
    {"timeline_max_moment", 1},
    {"object_name", 1},
    {"object_exists", 1},
    {"object_get_name", 1},
    {"object_get_sprite", 1},
    {"object_get_solid", 1},
    {"object_get_visible", 1},
    {"object_get_persistent", 1},
    {"object_get_mask", 1},
    {"object_get_parent", 1},
    {"object_get_physics", 1},
    {"object_is_ancestor", 2},
    {"object_set_sprite", 2},
    {"object_set_solid", 2},
    {"object_set_visible", 2},
    {"object_set_persistent", 2},
    {"object_set_collisions", 2},
    {"object_set_mask", 2},
    {"object_set_parent", 2},
    {"object_add", 0},
    {"object_delete", 1},
    {"object_event_clear", 3},
    {"object_event_add", 4},
    {"room_name", 1},
    {"room_exists", 1},
    {"room_get_name", 1},
    {"room_set_width", 2},
    {"room_set_height", 2},
    {"room_set_caption", 2},
    {"room_set_persistent", 2},
    {"room_set_code", 2},
    {"room_set_background_color", 3},
    {"room_set_background_colour", 3},
    {"room_set_background", 12},
    {"room_set_view", 16},
    {"room_set_view_enabled", 2},
    {"room_add", 0},
    {"room_duplicate", 1},
    {"room_assign", 2},
    {"room_instance_add", 4},
    {"room_instance_clear", 1},
    {"room_tile_add", 9},
    {"room_tile_add_ext", 12},
    {"room_tile_clear", 1},
    {"tile_exists", 1},
    {"tile_delete", 1},
    {"tile_get_x", 1},
    {"tile_get_y", 1},
    {"tile_get_left", 1},
    {"tile_get_top", 1},
    {"tile_get_width", 1},
    {"tile_get_height", 1},
    {"tile_get_depth", 1},
    {"tile_get_visible", 1},
    {"tile_get_xscale", 1},
    {"tile_get_yscale", 1},
    {"tile_get_blend", 1},
    {"tile_get_alpha", 1},
    {"tile_get_background", 1},
    {"tile_set_position", 3},
    {"tile_set_visible", 2},
    {"tile_set_background", 2},
    {"tile_set_region", 5},
    {"tile_set_depth", 2},
    {"tile_set_scale", 3},
    {"tile_set_blend", 2},
    {"tile_set_alpha", 2},
    {"tile_get_count", 0},
    {"tile_get_id", 1},
    {"tile_get_ids", 0},
    {"tile_get_ids_at_depth", 1},
    {"tile_add", 8},
    {"tile_layer_hide", 1},
    {"tile_layer_show", 1},
    {"tile_layer_delete", 1},
    {"tile_layer_shift", 3},
    {"tile_layer_delete_at", 3},
    {"tile_layer_depth", 2},
    {"tile_layer_find", 3},
};
const Row kLegacyRows[] = {{"object_get_depth", 1}, {"object_set_depth", 2}};
const Row kLayerRows[] = {{"room_get_camera", 2}};

using Code = e2e::CallCode;

// The room's checks; python reads each label and the value on the line after it.
std::string RoomCreation() {
    Code c;
    // The copy of a data-file sprite saves its page rectangle.
    c.Real(0).Call("sprite_duplicate", 1).Keep("copy");
    c.Text("dup.png").Real(0).Global("copy").Call("sprite_save", 3);
    // Two tiles get consecutive ids.
    for (const char* slot : {"t1", "t2"})
        c.Real(100).Real(20).Real(10).Real(4).Real(4).Real(0).Real(0).Real(0).Call("tile_add", 8).Keep(slot);
    c.Global("t1").Call("tile_exists", 1).ShowResult("first tile exists");
    c.Global("t2").Call("tile_get_x", 1).ShowResult("second tile x");
    c.Real(1).Call("background_exists", 1).ShowResult("background 1 exists");
    c.Real(0).Real(0).Real(0).Real(4).Real(4).Real(0).Real(0).Real(1).Call("tile_add", 8);
    c.ShowResult("tile of a missing background");
    // obj_b's parent is obj_a: making obj_a a child of obj_b is a cycle, refused.
    c.Real(0).Call("object_get_parent", 1).ShowResult("obj_a parent before");
    c.Real(1).Real(0).Call("object_set_parent", 2);
    c.Real(0).Call("object_get_parent", 1).ShowResult("obj_a parent after");
    c.Real(0).Real(1).Call("object_is_ancestor", 2).ShowResult("obj_b descends from obj_a");
    c.Text("obj_b").Call("asset_get_index", 1).ShowResult("obj_b index");
    c.Text("obj_b").Call("asset_get_type", 1).ShowResult("obj_b type");
    c.Text("scr_twice").Call("asset_get_index", 1).Keep("script");
    c.Real(21).Global("script").Call("script_execute", 2).ShowResult("script_execute");
    c.Call("script_execute", 0);
    c.Real(-1).Call("sprite_get_width", 1).ShowResult("missing sprite width");
    c.Real(9).Call("font_get_size", 1).ShowResult("missing font size");
    c.Real(9).Call("object_get_parent", 1).ShowResult("missing object parent");
    c.Real(9).Call("path_duplicate", 1).ShowResult("missing path duplicate");
    c.Real(9).Call("room_duplicate", 1).ShowResult("missing room duplicate");
    // Tile ids come after the header's last tile id, so the difference is what counts.
    c.Text("tile ids").Call("show_debug_message", 1);
    c.Global("t1").Call("show_debug_message", 1);
    c.Global("t2").Call("show_debug_message", 1);
    c.Show("done");
    return c.Str();
}

// Every row called with as many arguments as it registers (scripts: one), never run.
std::string EveryRow(bool layerMode) {
    Code c;
    auto call = [&](const Row& row) {
        const int argc = row.argc < 0 ? 1 : row.argc;
        for (int i = 0; i < argc; ++i) c.Real(0);
        c.Call(row.name, argc);
    };
    for (const Row& row : kRows) call(row);
    for (const Row& row : layerMode ? std::vector<Row>(std::begin(kLayerRows), std::end(kLayerRows))
                                    : std::vector<Row>(std::begin(kLegacyRows), std::end(kLegacyRows)))
        call(row);
    return c.Str();
}

const char* const kTwice = R"(
    push.v builtin.argument0
    push.v builtin.argument0
    add.v.v
    ret.v
)";

std::vector<uint8_t> ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: e2e_resource_game OUTPUT PAGE_PNG MODE\n");
        return 2;
    }
    const bool layerMode = std::string(argv[3]) == "layer";
    formpack::FormFile file;
    file.header.format = 15;
    file.header.major = layerMode ? 2 : 1;
    file.header.gameName = "resource_test";
    file.header.roomOrder = {0};
    if (!e2e::AddCode(file, "gml_RoomCC_room0_Create", RoomCreation().c_str()) ||
        !e2e::AddCode(file, "gml_Script_scr_every_row", EveryRow(layerMode).c_str()) ||
        !e2e::AddCode(file, "gml_Script_scr_twice", kTwice))
        return 1;
    file.scripts = std::vector<formpack::Script>{{"scr_every_row", 1}, {"scr_twice", 2}};

    // A 16 x 12 page; the sprite shows its 8 x 6 rectangle at (4, 2), the backgrounds all of it.
    file.textures = std::vector<formpack::TexturePage>{{0, ReadFile(argv[2])}};
    formpack::PageEntry sprite{4, 2, 8, 6, 0, 0, 8, 6, 8, 6, 0};
    formpack::PageEntry whole{0, 0, 16, 12, 0, 0, 16, 12, 16, 12, 0};
    file.pageEntries = std::vector<formpack::PageEntry>{sprite, whole};
    formpack::Sprite spr;
    spr.name = "spr_page";
    spr.width = 8;
    spr.height = 6;
    spr.boxRight = 7;
    spr.boxBottom = 5;
    spr.frames = {0};
    file.sprites = std::vector<std::optional<formpack::Sprite>>{spr};
    formpack::Background bg;
    bg.name = "bg_page";
    bg.pageEntry = 1;
    file.backgrounds = std::vector<std::optional<formpack::Background>>{bg, std::nullopt};

    formpack::Object a, b;
    a.name = "obj_a";
    b.name = "obj_b";
    b.parent = 0;
    file.objects = std::vector<std::optional<formpack::Object>>{a, b};

    formpack::Room room;
    room.name = "room0";
    room.creationCode = 0;
    if (layerMode) room.version = 2;
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    return e2e::WriteGame(file, argv[1]);
}
