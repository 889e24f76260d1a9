// Writes a game data file whose code names every physics built-in of the world, fixtures,
// bodies and joints (a game naming a row the runner lacks is refused at load), and whose room
// creation code gives its room a world and prints what a few of them answer.
// Usage: e2e_physics_rows_game OUTPUT
#include <cstdio>
#include <string>
#include <vector>

#include "TestGameFileWriter.h"

namespace {

const char* const kEveryRow[] = {
    "physics_world_create",
    "physics_world_gravity",
    "physics_world_update_speed",
    "physics_world_update_iterations",
    "physics_world_draw_debug",
    "physics_pause_enable",
    "physics_fixture_create",
    "physics_fixture_set_kinematic",
    "physics_fixture_set_awake",
    "physics_fixture_set_density",
    "physics_fixture_set_restitution",
    "physics_fixture_set_friction",
    "physics_fixture_set_collision_group",
    "physics_fixture_set_sensor",
    "physics_fixture_set_linear_damping",
    "physics_fixture_set_angular_damping",
    "physics_fixture_set_circle_shape",
    "physics_fixture_set_box_shape",
    "physics_fixture_set_edge_shape",
    "physics_fixture_set_polygon_shape",
    "physics_fixture_set_chain_shape",
    "physics_fixture_add_point",
    "physics_fixture_bind",
    "physics_fixture_bind_ext",
    "physics_fixture_delete",
    "physics_apply_force",
    "physics_apply_impulse",
    "physics_apply_angular_impulse",
    "physics_apply_local_force",
    "physics_apply_local_impulse",
    "physics_apply_torque",
    "physics_mass_properties",
    "physics_draw_debug",
    "physics_test_overlap",
    "physics_remove_fixture",
    "physics_get_friction",
    "physics_get_density",
    "physics_get_restitution",
    "physics_set_friction",
    "physics_set_density",
    "physics_set_restitution",
    "physics_joint_distance_create",
    "physics_joint_rope_create",
    "physics_joint_revolute_create",
    "physics_joint_prismatic_create",
    "physics_joint_pulley_create",
    "physics_joint_wheel_create",
    "physics_joint_gear_create",
    "physics_joint_weld_create",
    "physics_joint_friction_create",
    "physics_joint_enable_motor",
    "physics_joint_get_value",
    "physics_joint_set_value",
    "physics_joint_delete",
};

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
    const std::vector<const char*> names(std::begin(kEveryRow), std::end(kEveryRow));
    if (!e2e::AddRoomAndEveryRowScript(file, RoomCreation(), e2e::CallEachOnce(names), 640, 480)) return 1;
    return e2e::WriteGame(file, argv[1]);
}
