// Writes a game data file whose code names every interpreter support built-in of the script
// object runtime (a game naming a row the runner lacks is refused at load), and whose room
// creation code prints the type names of a number and of an object literal.
// Usage: e2e_scriptfns_game OUTPUT
#include <cstdio>
#include <string>

#include "TestGameFileWriter.h"
#include "VMHelperRows.h"

namespace {


std::string Print(const char* label, const std::string& call) {
    return call + "    pop.v.v global.value\n    push.s \"" + label +
           "=\"\n    conv.s.v\n    push.v global.value\n    add.v.v\n"
           "    call.i show_debug_message 1\n    pop.v.v global.sink\n";
}

std::string RoomCreation() {
    std::string code;
    code += Print("number", "    push.i 1\n    conv.i.v\n    call.i @@typeof@@ 1\n");
    code += Print("object", "    call.i @@NewObject@@ 0\n    call.i @@typeof@@ 1\n");
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_scriptfns_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "scriptfns_test";
    file.header.roomOrder = {0};
    file.header.windowWidth = 320;
    file.header.windowHeight = 240;
    if (!e2e::AddRoomAndEveryRowScript(file, RoomCreation(), e2e::CallEachOnce(kVMHelperRows), 320, 240))
        return 1;
    return e2e::WriteGame(file, argv[1]);
}
