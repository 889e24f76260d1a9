// Writes a game data file whose code names every network built-in (a game naming a row the
// runner lacks is refused at load), and whose room creation code prints a few answers and
// then talks to itself over 127.0.0.1 on the given port: a server, a client that logs in and
// sends a packet, and a second client whose blocking connect polls the server meanwhile. An
// instance prints the type of every networking event it gets.
// Usage: e2e_network_game OUTPUT PORT
#include <cstdio>
#include <cstdlib>
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

std::string Number(int value) {
    return "    push.i " + std::to_string(value) + "\n    conv.i.v\n";
}

std::string Connect(const char* label, const char* socket, int port) {
    return Print(label, Number(port) + "    push.s \"127.0.0.1\"\n    conv.s.v\n    push.v global." + socket +
                            "\n    call.i network_connect 3\n");
}

std::string RoomCreation(int port) {
    std::string code;
    code += Print("resolve", "    push.s \"localhost\"\n    conv.s.v\n    call.i network_resolve 1\n");
    code += Print("udp", "    push.i 1\n    conv.i.v\n    call.i network_create_socket 1\n");
    code +=
        Print("config",
              "    push.i 0\n    conv.i.v\n    push.i 2\n    conv.i.v\n    call.i network_set_config 2\n");
    code += Print("destroy", "    push.i 0\n    conv.i.v\n    call.i network_destroy 1\n");
    code += Number(4) + Number(port) + Number(0) +
            "    call.i network_create_server 3\n    pop.v.v global.server\n";
    code += Number(0) + "    call.i network_create_socket 1\n    pop.v.v global.client\n";
    code += Connect("connect", "client", port);
    code += Number(1) + Number(0) + Number(3) + "    call.i buffer_create 3\n    pop.v.v global.buffer\n";
    code += Print("sent", Number(3) +
                              "    push.v global.buffer\n    push.v global.client\n"
                              "    call.i network_send_packet 3\n");
    code += Number(0) + "    call.i network_create_socket 1\n    pop.v.v global.second\n";
    code += Connect("connect2", "second", port);
    return code;
}

// Other event 68: "event=" and the map's "type".
constexpr const char* kNetworkEvent = R"(
    push.s "type"
    conv.s.v
    push.v builtin.async_load
    call.i ds_map_find_value 2
    pop.v.v global.value
    push.s "event="
    conv.s.v
    push.v global.value
    call.i string 1
    add.v.v
    call.i show_debug_message 1
    popz.v
    exit.i
)";
constexpr int32_t kOtherEvent = 7, kNetworkingSubtype = 68;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: e2e_network_game OUTPUT PORT\n");
        return 2;
    }
    const int port = std::atoi(argv[2]);
    formpack::FormFile file;
    file.header.format = 15;
    file.header.major = 2;
    file.header.gameName = "network_test";
    file.header.roomOrder = {0};
    const std::vector<const char*> names(std::begin(kRows), std::end(kRows));
    if (!e2e::AddRoomAndEveryRowScript(file, RoomCreation(port), e2e::CallEachOnce(names), 320, 240) ||
        !e2e::AddCode(file, "gml_Object_obj_listener_Other_68", kNetworkEvent))
        return 1;
    formpack::Object listener;
    listener.name = "obj_listener";
    listener.events[kOtherEvent].push_back({kNetworkingSubtype, 2});  // the third code entry
    file.objects = std::vector<std::optional<formpack::Object>>{listener};
    (*file.rooms)[0]->instances.push_back(formpack::RoomInstance{});
    return e2e::WriteGame(file, argv[1]);
}
