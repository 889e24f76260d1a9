// Writes a game data file whose room is drawn through two views side by side onto a 400 x 300
// application surface, shown letterboxed in a 1000 x 600 window: view 0 shows the room's left
// half in the right port, view 1 the right half in the left port. Two instances draw red
// squares in their draw events; the GUI event saves the screen each frame, and alarm 0 ends the
// game a few steps in. The logic is bytecode, assembled with tools/asm.
// Usage: e2e_views_game OUTPUT
#include <cstdio>
#include <string>

#include "TestGameFileWriter.h"

namespace {

constexpr int32_t kCreateEvent = 0, kAlarmEvent = 2, kDrawEvent = 8, kDrawGuiSubtype = 64;
constexpr uint32_t kKeepAspectFlag = 1u << 4;

const char* const kCreate = R"(
    push.i 4
    conv.i.v
    push.i 0
    conv.i.v
    call.i alarm_set 2
    pop.v.v global.sink
)";

const char* const kAlarm = R"(
    call.i game_end 0
    pop.v.v global.sink
)";

// draw_set_colour(c_red); draw_rectangle(x1, y1, x2, y2, false): arguments last first.
std::string DrawSquare(int x1, int y1, int x2, int y2) {
    char text[512];
    std::snprintf(text, sizeof text, R"(
    push.i 255
    conv.i.v
    call.i draw_set_colour 1
    pop.v.v global.sink
    push.i 0
    conv.i.v
    push.i %d
    conv.i.v
    push.i %d
    conv.i.v
    push.i %d
    conv.i.v
    push.i %d
    conv.i.v
    call.i draw_rectangle 5
    pop.v.v global.sink
)",
                  y2, x2, y1, x1);
    return text;
}

const char* const kGui = R"(
    push.s "shot.png"
    conv.s.v
    call.i screen_save 1
    pop.v.v global.sink
)";

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_views_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "views_test";
    file.header.roomOrder = {0};
    file.header.windowWidth = 1000;
    file.header.windowHeight = 600;
    file.header.infoFlags = kKeepAspectFlag;
    const std::string left = DrawSquare(50, 50, 149, 149), right = DrawSquare(250, 150, 349, 249);
    if (!e2e::AddCode(file, "gml_Object_obj_left_Create_0", kCreate) ||
        !e2e::AddCode(file, "gml_Object_obj_left_Alarm_0", kAlarm) ||
        !e2e::AddCode(file, "gml_Object_obj_left_Draw_0", left.c_str()) ||
        !e2e::AddCode(file, "gml_Object_obj_left_Draw_64", kGui) ||
        !e2e::AddCode(file, "gml_Object_obj_right_Draw_0", right.c_str()))
        return 1;
    formpack::Object leftObject;
    leftObject.name = "obj_left";
    leftObject.events[kCreateEvent].push_back({0, 0});
    leftObject.events[kAlarmEvent].push_back({0, 1});
    leftObject.events[kDrawEvent].push_back({0, 2});
    leftObject.events[kDrawEvent].push_back({kDrawGuiSubtype, 3});
    formpack::Object rightObject;
    rightObject.name = "obj_right";
    rightObject.events[kDrawEvent].push_back({0, 4});
    file.objects = std::vector<std::optional<formpack::Object>>{leftObject, rightObject};

    formpack::Room room;
    room.name = "room0";
    room.width = 400;
    room.height = 300;
    room.colour = 0xFF0000;  // blue
    room.viewsEnabled = true;
    formpack::RoomView showsLeft;
    showsLeft.visible = true;
    showsLeft.viewX = 0, showsLeft.viewY = 0, showsLeft.viewW = 200, showsLeft.viewH = 300;
    showsLeft.portX = 200, showsLeft.portY = 0, showsLeft.portW = 200, showsLeft.portH = 300;
    formpack::RoomView showsRight = showsLeft;
    showsRight.viewX = 200;
    showsRight.portX = 0;
    room.views = {showsLeft, showsRight};
    formpack::RoomInstance a;
    a.object = 0;
    a.id = 100001;
    formpack::RoomInstance b;
    b.object = 1;
    b.id = 100002;
    room.instances = {a, b};
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    return e2e::WriteGame(file, argv[1]);
}
