// Writes a one-room game at room speed 60 whose creation code turns the debug overlay on and
// says so, and whose script names every row of the overlay.
// Usage: e2e_overlay_game OUTPUT
#include <cstdio>
#include <string>

#include "TestGameFileWriter.h"

namespace {

const char* const kEveryRow[] = {
    "show_debug_overlay",
};

std::string RoomCreation() {
    e2e::CallCode code;
    code.Real(1).Call("show_debug_overlay", 1).Show("overlay on");
    return code.Str() + "    exit.i\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_overlay_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "overlay_test";
    file.header.roomOrder = {0};
    file.header.windowWidth = 320;
    file.header.windowHeight = 240;
    if (!e2e::AddRoomAndEveryRowScript(file, RoomCreation(), e2e::CallEachOnce(kEveryRow), 320, 240))
        return 1;
    (*file.rooms)[0]->speed = 60;
    return e2e::WriteGame(file, argv[1]);
}
