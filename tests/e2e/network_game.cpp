// Writes a game data file whose code names every network built-in (a game naming a row the
// runner lacks is refused at load), and whose room creation code prints a few answers.
// Usage: e2e_network_game OUTPUT
#include <cstdio>
#include <string>
#include <vector>

#include "TestGameFileWriter.h"

namespace {

const char* const kRows[] = {
    "network_create_socket",     "network_create_socket_ext", "network_create_server",
    "network_create_server_raw", "network_connect",           "network_connect_raw",
    "network_send_packet",       "network_send_raw",          "network_send_broadcast",
    "network_send_udp",          "network_send_udp_raw",      "network_resolve",
    "network_destroy",           "network_set_timeout",       "network_set_config",
};

// Prints "label=value" for a built-in called with the pushed arguments.
std::string Print(const char* label, const std::string& call) {
    return call + "    pop.v.v global.value\n    push.s \"" + label +
           "=\"\n    conv.s.v\n    push.v global.value\n    call.i string 1\n    add.v.v\n"
           "    call.i show_debug_message 1\n    pop.v.v global.sink\n";
}

std::string RoomCreation() {
    std::string code;
    code += Print("resolve", "    push.s \"localhost\"\n    conv.s.v\n    call.i network_resolve 1\n");
    code += Print("udp", "    push.i 1\n    conv.i.v\n    call.i network_create_socket 1\n");
    code +=
        Print("config",
              "    push.i 0\n    conv.i.v\n    push.i 2\n    conv.i.v\n    call.i network_set_config 2\n");
    code += Print("destroy", "    push.i 0\n    conv.i.v\n    call.i network_destroy 1\n");
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_network_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.major = 2;
    file.header.gameName = "network_test";
    file.header.roomOrder = {0};
    const std::vector<const char*> names(std::begin(kRows), std::end(kRows));
    if (!e2e::AddRoomAndEveryRowScript(file, RoomCreation(), e2e::CallEachOnce(names), 320, 240)) return 1;
    return e2e::WriteGame(file, argv[1]);
}
