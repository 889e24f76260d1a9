// Writes a game data file with a physics room: a box of obj_ball falls on the static
// obj_ground, and the ball's collision event prints a line, the contact's point count, its
// first point's y and the ball's mass (phy_ variables), and ends the game.
// Usage: e2e_physics_game OUTPUT
#include <cstdio>
#include <string>

#include "TestGameFileWriter.h"

namespace {

const char* const kHit = R"(
    push.s "ball hit the ground"
    pop.v.s global.msg
    push.v global.msg
    call.i show_debug_message 1
    pop.v.v global.msg
    push.v builtin.phy_collision_points
    call.i show_debug_message 1
    pop.v.v global.msg
    push.i 0
    push.v builtin.phy_collision_y[]
    call.i show_debug_message 1
    pop.v.v global.msg
    push.v builtin.phy_mass
    call.i show_debug_message 1
    pop.v.v global.msg
    call.i game_end 0
    pop.v.v global.msg
)";

formpack::Object PhysicsObject(const char* name, float halfWidth, float halfHeight, float density) {
    formpack::Object object;
    object.name = name;
    object.sprite = 0;
    object.physics.uses = true;
    object.physics.shape = 1;
    object.physics.density = density;
    object.physics.points = {{-halfWidth, -halfHeight},
                             {halfWidth, -halfHeight},
                             {halfWidth, halfHeight},
                             {-halfWidth, halfHeight}};
    return object;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_physics_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "physics_test";
    file.header.roomOrder = {0};
    if (!e2e::AddCode(file, "gml_Object_obj_ball_Collision_obj_ground", kHit)) return 1;
    formpack::Sprite sprite;
    sprite.name = "spr_box";
    file.sprites = std::vector<std::optional<formpack::Sprite>>{sprite};
    formpack::Object ball = PhysicsObject("obj_ball", 8, 8, 0.5f);
    ball.events[4].push_back({1, 0});  // collision with obj_ground
    formpack::Object ground = PhysicsObject("obj_ground", 100, 8, 0.0f);
    file.objects = std::vector<std::optional<formpack::Object>>{ball, ground};
    formpack::Room room;
    room.name = "room0";
    room.speed = 60;
    room.physics = true;
    room.instances = {{100, 50, 0, 100001}, {100, 200, 1, 100002}};
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    return e2e::WriteGame(file, argv[1]);
}
