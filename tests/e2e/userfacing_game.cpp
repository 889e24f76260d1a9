// Writes two games for the runner's own command-line behaviour: "plain.win", one empty room,
// and "box.win", whose first room's creation code shows a message box.
// Usage: e2e_userfacing_game FOLDER
#include <cstdio>
#include <string>

#include "TestGameFileWriter.h"

namespace {

formpack::FormFile OneRoom(const char* name) {
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = name;
    file.header.roomOrder = {0};
    formpack::Room room;
    room.name = "room0";
    room.speed = 60;
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_userfacing_game FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (e2e::WriteGame(OneRoom("plain_test"), (folder + "/plain.win").c_str()) != 0) return 1;
    formpack::FormFile box = OneRoom("box_test");
    const std::string code =
        e2e::CallCode().Show("the box comes next").Text("Waiting for a signal").Call("show_message", 1).Str();
    if (!e2e::AddCode(box, "gml_RoomCC_room0_Create", code.c_str())) return 1;
    (*box.rooms)[0]->creationCode = 0;
    return e2e::WriteGame(box, (folder + "/box.win").c_str());
}
