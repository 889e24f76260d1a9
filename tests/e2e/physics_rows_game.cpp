// Writes a game data file whose code names every physics built-in of the world, fixtures,
// bodies and joints (a game naming a row the runner lacks is refused at load), and whose room
// creation code gives its room a world and prints what a few of them answer.
// Usage: e2e_physics_rows_game OUTPUT
#include <cstdio>
#include <string>
#include <vector>

#include "TestGameFileWriter.h"
#include "physics/PhysicsRowNames.h"

namespace {


// Arguments are pushed last first.
std::string RoomCreation() {
    e2e::CallCode code;
    code.Real(0.1).Call("physics_world_create", 1);
    code.Call("physics_fixture_create", 0).Keep("fixture").ShowResult("fixture");
    code.Real(8).Global("fixture").Call("physics_fixture_set_circle_shape", 2);
    code.Real(-3).Global("fixture").Call("physics_fixture_bind", 2).ShowResult("bound");
    code.Real(0).Real(999).Call("physics_joint_get_value", 2).ShowResult("joint");
    return code.Str() + "    exit.i\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_physics_rows_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.major = 1;
    file.header.gameName = "physics_rows_test";
    file.header.roomOrder = {0};
    const std::vector<const char*> names(std::begin(physicsfuzz::kNames), std::end(physicsfuzz::kNames));
    if (!e2e::AddRoomAndEveryRowScript(file, RoomCreation(), e2e::CallEachOnce(names), 640, 480)) return 1;
    return e2e::WriteGame(file, argv[1]);
}
