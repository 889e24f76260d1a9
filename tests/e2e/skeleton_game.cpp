// Writes a game that names every skeleton built-in (a game naming a row the runner lacks is
// refused at load), with a skeleton sprite and a vector sprite in its "SPRT" chunk. Its room
// creation code lists the skeleton's animations and reads the vector sprite's width.
// Usage: e2e_skeleton_game OUTPUT
#include <cstdio>
#include <string>

#include "TestGameFileWriter.h"
#include "formpack/Png.h"
#include "formpack/SpriteKinds.h"

namespace {

const char* const kEveryRow[] = {
    "skeleton_animation_set",
    "skeleton_animation_set_ext",
    "skeleton_animation_get",
    "skeleton_animation_get_ext",
    "skeleton_animation_get_duration",
    "skeleton_animation_clear",
    "skeleton_animation_mix",
    "skeleton_skin_set",
    "skeleton_skin_get",
    "skeleton_attachment_set",
    "skeleton_attachment_get",
    "skeleton_attachment_create",
    "skeleton_collision_draw_set",
    "skeleton_bone_data_get",
    "skeleton_bone_data_set",
    "skeleton_bone_state_get",
    "skeleton_bone_state_set",
    "draw_skeleton",
    "draw_skeleton_time",
    "draw_skeleton_collision",
    "skeleton_animation_list",
    "skeleton_skin_list",
    "skeleton_slot_data",
};

const char* const kAtlas = "page.png\nsize: 8,8\nsq\n  xy: 0, 0\n  size: 8, 8\n";
const char* const kJson = R"({"bones": [{"name": "root"}, {"name": "arm", "parent": "root"}],
  "slots": [{"name": "s", "bone": "arm", "attachment": "sq"}],
  "skins": {"default": {"s": {"sq": {"width": 8, "height": 8}}}},
  "animations": {"spin": {"bones": {"arm": {"rotate": [{"time": 0, "angle": 0}, {"time": 1, "angle": 90}]}}},
                 "wave": {}}})";

// global.r printed as "label=<value>".
std::string Line(const std::string& label) {
    return "    push.v global.r\n    call.i string 1\n    pop.v.v global.r\n    push.s \"" + label +
           "=\"\n    conv.s.v\n    push.v global.r\n    add.v.v\n    call.i show_debug_message 1\n    "
           "popz.v\n";
}

std::string RoomCreation() {
    e2e::CallCode c;
    c.Call("ds_list_create", 0).Keep("list");
    c.Global("list").Real(0).Call("skeleton_animation_list", 2);
    c.Global("list").Call("ds_list_size", 1);
    std::string code = c.Str() + Line("animations");
    e2e::CallCode first;
    first.Real(0).Global("list").Call("ds_list_find_value", 2);
    code += first.Str() + Line("first");
    e2e::CallCode width;
    width.Real(1).Call("sprite_get_width", 1);
    code += width.Str() + Line("vector_width");
    e2e::CallCode draw;  // no instance draws here: a temporary pose
    draw.Real(1)
        .Real(0xFFFFFF)
        .Real(0)
        .Real(1)
        .Real(1)
        .Real(20)
        .Real(20)
        .Real(0.5)
        .Text("")
        .Text("spin")
        .Real(0)
        .Call("draw_skeleton_time", 11);
    code += draw.Str() + Line("drawn");
    return code;
}

formpack::Sprite SkeletonSprite() {
    formpack::Sprite sprite;
    sprite.name = "spr_skeleton";
    sprite.extended = true;
    sprite.kind = 2;
    const std::vector<uint8_t> png = formpack::EncodePng(8, 8, std::vector<uint8_t>(8 * 8 * 4, 0xFF));
    sprite.kindData = formpack::BuildSkeletonBlock(kJson, kAtlas, png, 8, 8);
    return sprite;
}

formpack::Sprite VectorSprite() {
    formpack::VectorPart part;
    part.fillStyle = 0;
    part.fillVertices = {0, 0, 800, 0, 800, 400, 0, 400};
    part.fillTriangles = {0, 1, 2, 0, 2, 3};
    formpack::VectorShape shape;
    shape.subShapes = {{{formpack::VectorFillStyle{}}, {}, {part}}};
    formpack::VectorItem item;
    formpack::VectorData data;
    data.shapes = {shape};
    data.frames = {{{0, 800, 0, 400}, {item}}};
    data.bounds = {0, 800, 0, 400};
    formpack::Sprite sprite;
    sprite.name = "spr_vector";
    sprite.extended = true;
    sprite.kind = 1;
    sprite.kindData = formpack::BuildVectorData(data);
    return sprite;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_skeleton_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "skeleton_test";
    file.header.roomOrder = {0};
    file.header.windowWidth = 320;
    file.header.windowHeight = 240;
    file.sprites = std::vector<std::optional<formpack::Sprite>>{SkeletonSprite(), VectorSprite()};
    if (!e2e::AddRoomAndEveryRowScript(file, RoomCreation(), e2e::CallEachOnce(kEveryRow), 320, 240))
        return 1;
    return e2e::WriteGame(file, argv[1]);
}
