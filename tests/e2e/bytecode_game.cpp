// Writes a game data file whose logic is bytecode, assembled with tools/asm: the first room's
// creation code prints a line with show_debug_message and calls a script that prints another.
// Usage: e2e_bytecode_game OUTPUT
#include <cstdio>
#include <fstream>
#include <string>

#include "asm/Assembler.h"
#include "formpack/FormWriter.h"

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

bool Add(formpack::FormFile& file, const char* name, const char* text) {
    hvasm::Assembly assembly;
    std::string error;
    if (!hvasm::Assemble(text, hvasm::FormNames(file), &assembly, &error)) {
        std::fprintf(stderr, "%s: %s\n", name, error.c_str());
        return false;
    }
    hvasm::AddCodeEntry(file, name, assembly);
    return true;
}

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
    if (!Add(file, "gml_RoomCC_room0_Create", kRoomCreation) || !Add(file, "gml_Script_scr_greet", kGreet)) return 1;
    file.scripts = std::vector<formpack::Script>{{"scr_greet", 1}};
    formpack::Room room;
    room.name = "room0";
    room.creationCode = 0;
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    std::string error;
    const std::vector<uint8_t> bytes = formpack::Build(file, &error);
    if (bytes.empty()) {
        std::fprintf(stderr, "formpack: %s\n", error.c_str());
        return 1;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out ? 0 : 1;
}
