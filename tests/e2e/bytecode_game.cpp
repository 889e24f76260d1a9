// Writes a game data file whose logic is bytecode, assembled with tools/asm: the first room's
// creation code prints a line with show_debug_message and calls a script that prints another.
// Usage: e2e_bytecode_game OUTPUT
#include <cstdio>
#include <string>

#include "TestGameFileWriter.h"

namespace {

const char* const kRoomCreation = R"(
    push.s "Hello from bytecode"
    pop.v.s global.msg
    push.v global.msg
    call.i show_debug_message 1
    pop.v.v global.msg
    call.i scr_greet 0
    pop.v.v global.msg
)";

const char* const kGreet = R"(
    push.s "Hello from a script"
    pop.v.s global.msg
    push.v global.msg
    call.i show_debug_message 1
    ret.v
)";

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_bytecode_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "bytecode_test";
    file.header.roomOrder = {0};
    if (!e2e::AddCode(file, "gml_RoomCC_room0_Create", kRoomCreation) ||
        !e2e::AddCode(file, "gml_Script_scr_greet", kGreet))
        return 1;
    file.scripts = std::vector<formpack::Script>{{"scr_greet", 1}};
    formpack::Room room;
    room.name = "room0";
    room.creationCode = 0;
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    return e2e::WriteGame(file, argv[1]);
}
