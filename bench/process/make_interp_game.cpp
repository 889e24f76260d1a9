// Writes the runner's side of the whole-process comparison with Lua 5.4 (runner_vs_lua.py): a
// game whose first room's creation code runs one program and prints its result with
// show_debug_message, then ends the game. The programs are the interpreter bench's: "loop" sums
// 1..10,000,000 as reals in two locals, "fib" calls a recursive script for fib(32) (fib(27),
// the bench's, runs in about 15 ms, less than a process start varies), "empty" only ends the
// game (the cost of starting and ending the runner).
// Usage: make_interp_game OUTPUT loop|fib|empty
#include <cstdio>
#include <string>

#include "../../tests/e2e/TestGameFileWriter.h"

namespace {

const char* const kLoop = R"(
    push.d 0
    pop.v.d local.n
    push.i 1
    pop.v.i local.i
top:
    push.l.v local.i
    push.i 10000000
    conv.i.v
    set.v.v 0x0600
    bt done
    push.l.v local.n
    push.l.v local.i
    add.v.v
    pop.v.v local.n
    push.l.v local.i
    push.i 1
    conv.i.v
    add.v.v
    pop.v.v local.i
    b top
done:
    push.l.v local.n
    call.i string 1
    call.i show_debug_message 1
    popz.v
)";

const char* const kFibCall = R"(
    push.i 32
    conv.i.v
    call.i scr_fib 1
    call.i string 1
    call.i show_debug_message 1
    popz.v
)";

const char* const kFib = R"(
    push.b.v builtin.argument0
    push.i 2
    set.i.v 0x0100
    bf rec
    push.b.v builtin.argument0
    ret.v
rec:
    push.b.v builtin.argument0
    push.i 1
    sub.i.v
    call.i scr_fib 1
    push.b.v builtin.argument0
    push.i 2
    sub.i.v
    call.i scr_fib 1
    add.v.v
    ret.v
)";

const char* const kEnd = R"(
    call.i game_end 0
    popz.v
)";

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[2] : "";
    if (mode != "loop" && mode != "fib" && mode != "empty") {
        std::fprintf(stderr, "usage: make_interp_game OUTPUT loop|fib|empty\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "interp_vs_lua";
    file.header.roomOrder = {0};
    const std::string body = mode == "loop" ? kLoop : mode == "fib" ? kFibCall : "";
    if (!e2e::AddCode(file, "gml_RoomCC_room0_Create", (body + kEnd).c_str()) ||
        !e2e::AddCode(file, "gml_Script_scr_fib", kFib))
        return 1;
    file.scripts = std::vector<formpack::Script>{{"scr_fib", 1}};
    file.code->localCount = 4;
    formpack::Room room;
    room.name = "room0";
    room.creationCode = 0;
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    return e2e::WriteGame(file, argv[1]);
}
