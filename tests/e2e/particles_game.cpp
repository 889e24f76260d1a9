// Writes a game data file with a physics room whose code names every physics_particle_*
// built-in (a game naming a row the runner lacks is refused at load), and whose room creation
// code fills a group, makes and deletes a particle and reads one back through a buffer,
// printing what each answers.
// Usage: e2e_particles_game OUTPUT
#include <cstdio>
#include <string>

#include "TestGameFileWriter.h"

namespace {

const char* const kEveryRow[] = {
    "physics_particle_create",
    "physics_particle_delete",
    "physics_particle_delete_region_circle",
    "physics_particle_delete_region_box",
    "physics_particle_delete_region_poly",
    "physics_particle_set_flags",
    "physics_particle_set_category_flags",
    "physics_particle_draw",
    "physics_particle_draw_ext",
    "physics_particle_count",
    "physics_particle_get_data",
    "physics_particle_get_data_particle",
    "physics_particle_group_begin",
    "physics_particle_group_circle",
    "physics_particle_group_box",
    "physics_particle_group_polygon",
    "physics_particle_group_add_point",
    "physics_particle_group_end",
    "physics_particle_group_join",
    "physics_particle_group_delete",
    "physics_particle_group_count",
    "physics_particle_group_get_data",
    "physics_particle_group_get_mass",
    "physics_particle_group_get_inertia",
    "physics_particle_group_get_centre_x",
    "physics_particle_group_get_centre_y",
    "physics_particle_group_get_vel_x",
    "physics_particle_group_get_vel_y",
    "physics_particle_group_get_ang_vel",
    "physics_particle_group_get_x",
    "physics_particle_group_get_y",
    "physics_particle_group_get_angle",
    "physics_particle_set_group_flags",
    "physics_particle_get_group_flags",
    "physics_particle_get_max_count",
    "physics_particle_get_radius",
    "physics_particle_get_density",
    "physics_particle_get_damping",
    "physics_particle_get_gravity_scale",
    "physics_particle_set_max_count",
    "physics_particle_set_radius",
    "physics_particle_set_density",
    "physics_particle_set_damping",
    "physics_particle_set_gravity_scale",
};
static_assert(sizeof kEveryRow / sizeof kEveryRow[0] == 44);

// Pushes the numbers as call arguments (given in call order; pushed last first).
std::string Args(std::initializer_list<double> values) {
    std::string code;
    for (auto it = std::rbegin(values); it != std::rend(values); ++it)
        code += "    push.d " + std::to_string(*it) + "\n    conv.d.v\n";
    return code;
}

std::string Call(const char* name, std::initializer_list<double> values) {
    return Args(values) + "    call.i " + name + " " + std::to_string(values.size()) + "\n";
}

// Runs code that leaves one value and prints "label=<value>".
std::string Print(const char* label, const std::string& call) {
    return call + "    pop.v.v global.value\n    push.s \"" + label +
           "=\"\n    conv.s.v\n    push.v global.value\n    call.i string 1\n    add.v.v\n"
           "    call.i show_debug_message 1\n    pop.v.v global.sink\n";
}

std::string Discard(const std::string& call) {
    return call + "    pop.v.v global.sink\n";
}

std::string RoomCreation() {
    std::string code;
    code += Discard(Call("physics_particle_set_radius", {4}));
    code += Discard(Call("physics_particle_group_begin", {0, 0, 100, 100, 0, 0, 0, 0, 0xFF, 1, 1, 0}));
    code += Discard(Call("physics_particle_group_box", {20, 10, 0}));
    code += Print("group", Call("physics_particle_group_end", {}));
    code += Print("count", Call("physics_particle_count", {}));
    code += Print("index", Call("physics_particle_create", {0, 50, 50, 0, 0, 0xFF, 1, 3}));
    code += Discard(Call("physics_particle_delete", {0}));
    code += Print("counted", Call("physics_particle_count", {}));
    code += Print("members", Call("physics_particle_group_count", {0}));
    // The new particle's category through a buffer (buffer_grow, then buffer_s32).
    code += Call("buffer_create", {64, 1, 1}) + "    pop.v.v global.buffer\n";
    code += Args({16}) + "    push.v global.buffer\n" + Args({21}) +
            "    call.i physics_particle_get_data_particle 3\n    pop.v.v global.sink\n";
    code += Print("category", Args({6}) + "    push.v global.buffer\n    call.i buffer_read 2\n");
    code += Print("radius", Call("physics_particle_get_radius", {}));
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_particles_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "particles_test";
    file.header.roomOrder = {0};
    file.header.windowWidth = 320;
    file.header.windowHeight = 240;
    if (!e2e::AddRoomAndEveryRowScript(file, RoomCreation(), e2e::CallEachOnce(kEveryRow), 320, 240))
        return 1;
    (*file.rooms)[0]->physics = true;
    return e2e::WriteGame(file, argv[1]);
}
