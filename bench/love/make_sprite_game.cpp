// Writes the runner's side of the sprite comparison with LOVE: COUNT (default 20,000) instances
// of a 16 x 16 sprite at the same scattered positions in a 640 x 480 room whose speed sets no
// frame limit; a controller prints current_time at step 1 and step 121 and then ends the game.
// With "startup" the controller ends the game at step 2, once the first frame is presented.
// Usage: make_sprite_game OUTPUT [COUNT] [startup]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../../tests/e2e/TestGameFileWriter.h"

namespace {

const char* const kStartupCreate = R"(
    push.i 2
    conv.i.v
    push.i 1
    conv.i.v
    call.i alarm_set 2
    pop.v.v global.sink
)";

const char* const kCreate = R"(
    push.i 1
    conv.i.v
    push.i 0
    conv.i.v
    call.i alarm_set 2
    pop.v.v global.sink
    push.i 121
    conv.i.v
    push.i 1
    conv.i.v
    call.i alarm_set 2
    pop.v.v global.sink
)";

const char* const kStamp = R"(
    push.v builtin.current_time
    call.i string 1
    call.i show_debug_message 1
    pop.v.v global.sink
)";

std::vector<uint8_t> RedBlob() {
    std::vector<uint8_t> blob(16 + 16 * 16 * 4);
    const uint32_t header[4] = {0x20574152u, 16, 16, 0};
    std::memcpy(blob.data(), header, 16);
    for (size_t i = 16; i < blob.size(); i += 4)
        blob[i] = 255, blob[i + 1] = 32, blob[i + 2] = 32, blob[i + 3] = 255;
    return blob;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 2 ? std::atoi(argv[2]) : 20000;
    const bool startup = argc > 3 && std::strcmp(argv[3], "startup") == 0;
    if (argc < 2 || argc > 4 || count < 0 || (argc > 3 && !startup)) {
        std::fprintf(stderr, "usage: make_sprite_game OUTPUT [COUNT] [startup]\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "sprites_vs_love";
    file.header.roomOrder = {0};
    file.header.windowWidth = 640;
    file.header.windowHeight = 480;
    file.textures = std::vector<formpack::TexturePage>{{0, RedBlob()}};
    file.pageEntries = std::vector<formpack::PageEntry>{{0, 0, 16, 16, 0, 0, 16, 16, 16, 16, 0}};
    formpack::Sprite sprite;
    sprite.name = "spr_red";
    sprite.width = sprite.height = 16;
    sprite.frames = {0};
    file.sprites = std::vector<std::optional<formpack::Sprite>>{sprite};
    const std::string last = std::string(kStamp) + "    call.i game_end 0\n    pop.v.v global.sink\n";
    if (!e2e::AddCode(file, "gml_Object_obj_clock_Create_0", startup ? kStartupCreate : kCreate) ||
        !e2e::AddCode(file, "gml_Object_obj_clock_Alarm_0", kStamp) ||
        !e2e::AddCode(file, "gml_Object_obj_clock_Alarm_1", last.c_str()))
        return 1;
    formpack::Object clock;
    clock.name = "obj_clock";
    clock.events[0].push_back({0, 0});
    clock.events[2].push_back({0, 1});
    clock.events[2].push_back({1, 2});
    formpack::Object box;
    box.name = "obj_sprite";
    box.sprite = 0;
    file.objects = std::vector<std::optional<formpack::Object>>{clock, box};
    formpack::Room room;
    room.name = "room0";
    room.speed = 1000000;
    room.showColour = true;
    room.colour = 0;
    formpack::RoomInstance c;
    c.object = 0;
    c.id = 100001;
    room.instances.push_back(c);
    for (int i = 0; i < count; ++i) {
        formpack::RoomInstance r;
        r.object = 1;
        r.id = 100002 + i;
        r.x = (i * 7919) % 624;
        r.y = (i * 104729) % 464;
        room.instances.push_back(r);
    }
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    return e2e::WriteGame(file, argv[1]);
}
