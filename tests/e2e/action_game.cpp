// Writes a game whose never-run script names every action built-in (a game naming a row the
// runner lacks is refused at load), and whose one instance runs actions in its events and
// prints what they leave: the relative flag within one event, action_move's stop cell, the
// value comparison, No More Lives, time lines and the particle slots.
// Usage: e2e_action_game OUTPUT
#include <cstdio>
#include <string>
#include <vector>

#include "TestGameFileWriter.h"

namespace {

// Every row with its registered argument count, in registration order.
struct Row {
    const char* name;
    int argc;
};
const Row kRows[] = {
    {"action_path_old", 3},
    {"action_draw_font", 1},
    {"action_draw_font_old", 6},
    {"action_fill_color", 1},
    {"action_fill_colour", 1},
    {"action_line_color", 1},
    {"action_line_colour", 1},
    {"action_highscore", 0},
    {"action_set_relative", 1},
    {"action_move", 2},
    {"action_set_motion", 2},
    {"action_set_hspeed", 1},
    {"action_set_vspeed", 1},
    {"action_set_gravity", 2},
    {"action_set_friction", 1},
    {"action_move_point", 3},
    {"action_move_to", 2},
    {"action_move_start", 0},
    {"action_move_random", 2},
    {"action_snap", 2},
    {"action_wrap", 1},
    {"action_reverse_xdir", 0},
    {"action_reverse_ydir", 0},
    {"action_move_contact", 3},
    {"action_bounce", 2},
    {"action_path", 4},
    {"action_path_end", 0},
    {"action_path_position", 1},
    {"action_path_speed", 1},
    {"action_linear_step", 4},
    {"action_potential_step", 4},
    {"action_kill_object", 0},
    {"action_create_object", 3},
    {"action_create_object_motion", 5},
    {"action_create_object_random", 6},
    {"action_change_object", 2},
    {"action_kill_position", 2},
    {"action_set_sprite", 2},
    {"action_sprite_set", 3},
    {"action_sprite_transform", 4},
    {"action_sprite_color", 2},
    {"action_sprite_colour", 2},
    {"action_replace_sprite", 3},
    {"action_replace_sound", 2},
    {"action_replace_background", 2},
    {"action_sound", 2},
    {"action_end_sound", 1},
    {"action_if_sound", 1},
    {"action_another_room", 1},
    {"action_current_room", 0},
    {"action_previous_room", 0},
    {"action_next_room", 0},
    {"action_if_previous_room", 0},
    {"action_if_next_room", 0},
    {"action_set_alarm", 2},
    {"action_sleep", 2},
    {"action_set_timeline", 2},
    {"action_set_timeline_position", 1},
    {"action_set_timeline_speed", 1},
    {"action_timeline_set", 4},
    {"action_timeline_start", 0},
    {"action_timeline_pause", 0},
    {"action_timeline_stop", 0},
    {"action_message", 1},
    {"action_show_info", 0},
    {"action_show_video", 3},
    {"action_end_game", 0},
    {"action_restart_game", 0},
    {"action_save_game", 1},
    {"action_load_game", 1},
    {"action_fullscreen", 1},
    {"action_set_cursor", 2},
    {"action_webpage", 1},
    {"action_snapshot", 1},
    {"action_set_caption", 6},
    {"action_cd_play", 2},
    {"action_cd_stop", 0},
    {"action_cd_pause", 0},
    {"action_cd_resume", 0},
    {"action_cd_present", 0},
    {"action_cd_playing", 0},
    {"action_if_empty", 3},
    {"action_if_collision", 3},
    {"action_if_object", 3},
    {"action_if_number", 3},
    {"action_if_dice", 1},
    {"action_if_question", 1},
    {"action_if_mouse", 1},
    {"action_if_aligned", 2},
    {"action_if_variable", 3},
    {"action_if", 1},
    {"action_if_score", 2},
    {"action_if_life", 2},
    {"action_if_health", 2},
    {"action_inherited", 0},
    {"action_execute_script", 6},
    {"action_set_score", 1},
    {"action_set_life", 1},
    {"action_set_health", 1},
    {"action_draw_score", 3},
    {"action_draw_life", 3},
    {"action_draw_life_images", 3},
    {"action_draw_health", 6},
    {"action_draw_variable", 3},
    {"action_highscore_show", 11},
    {"action_highscore_clear", 0},
    {"action_draw_sprite", 4},
    {"action_draw_background", 4},
    {"action_draw_text", 3},
    {"action_draw_text_transformed", 6},
    {"action_draw_rectangle", 5},
    {"action_draw_gradient_hor", 6},
    {"action_draw_gradient_vert", 6},
    {"action_draw_ellipse", 5},
    {"action_draw_ellipse_gradient", 6},
    {"action_draw_line", 4},
    {"action_draw_arrow", 5},
    {"action_color", 1},
    {"action_colour", 1},
    {"action_font", 2},
    {"action_effect", 6},
    {"action_partsyst_create", 1},
    {"action_partsyst_destroy", 0},
    {"action_partsyst_clear", 0},
    {"action_parttype_create_old", 6},
    {"action_parttype_create", 6},
    {"action_parttype_color", 6},
    {"action_parttype_colour", 6},
    {"action_parttype_life", 3},
    {"action_parttype_speed", 6},
    {"action_parttype_gravity", 3},
    {"action_parttype_secondary", 5},
    {"action_partemit_create", 6},
    {"action_partemit_destroy", 1},
    {"action_partemit_burst", 3},
    {"action_partemit_stream", 3},
};

using Code = e2e::CallCode;

constexpr int kUserEvent0 = 10, kNoMoreLives = 6;

std::string CreateEvent() {
    Code c;
    c.Real(1).Call("action_set_relative", 1);
    c.Real(10).Call("action_set_score", 1).Game("score").ShowResult("relative score");
    c.Real(7).Real(5).Call("action_move_to", 2).Game("y").ShowResult("relative move y");
    // The user event runs with the flag clear; it is back on when the event returns.
    c.Real(0).Call("event_user", 1);
    c.Real(10).Call("action_set_score", 1).Game("score").ShowResult("score after the nested event");
    c.Real(0).Call("action_set_relative", 1);
    c.Real(0).Text("1").Real(1).Call("action_if_variable", 3).ShowResult("real against text");
    c.Real(1).Text("abd").Text("abc").Call("action_if_variable", 3).ShowResult("abc below abd");
    c.Real(0.5).Call("action_if_dice", 1).ShowResult("dice of half a side");
    c.Real(1).Real(2).Real(0).Call("action_if_number", 3).ShowResult("fewer than two actors");
    c.Real(3).Call("action_set_life", 1);
    c.Real(0).Call("action_set_life", 1);
    c.Real(0).Call("action_set_life", 1);
    c.Real(0).Real(1).Real(0).Real(-1).Call("action_timeline_set", 4);
    c.Game("timeline_running").ShowResult("time line started with 1");
    c.Real(0).Real(0).Real(0).Real(-1).Call("action_timeline_set", 4);
    c.Game("timeline_running").ShowResult("time line started with 0");
    c.Real(0).Real(0).Real(52).Real(51).Real(50).Real(-1).Call("action_create_object_random", 6);
    c.Real(0).Call("action_partsyst_create", 1);
    c.Real(5).Real(0).Real(0).Call("action_partemit_burst", 3);
    c.Real(0).Real(10).Real(0).Real(10).Real(0).Real(99).Call("action_partemit_create", 6);
    c.Real(5).Real(0).Real(99).Call("action_partemit_stream", 3);
    c.Real(10).Real(10).Real(0).Real(0).Real(0).Real(3).Call("action_partemit_create", 6);
    c.Real(2).Real(0).Real(3).Call("action_partemit_burst", 3);
    c.Real(10).Real(1).Real(-20).Call("action_parttype_life", 3);
    c.Real(0).Real(0).Call("action_move_random", 2);
    c.Game("x").ShowResult("random x");
    c.Real(1).Call("action_set_relative", 1);  // left on: the next event must not see it
    return c.Str();
}

std::string UserEvent() {
    Code c;
    c.Real(3).Call("action_set_score", 1).Game("score").ShowResult("score in the nested event");
    c.Real(4).Real(90).Call("action_set_motion", 2);
    c.Real(5).Text("000010000").Call("action_move", 2);
    c.Game("direction").ShowResult("stop cell direction");
    c.Game("speed").ShowResult("stop cell speed");
    c.Real(5).Text("000000000").Call("action_move", 2);
    c.Game("speed").ShowResult("no cell speed");
    c.Real(5).Text("00001000").Call("action_move", 2);
    return c.Str();
}

std::string NoMoreLives() {
    return Code().Show("no more lives").Str();
}

std::string DrawEvent() {
    Code c;
    c.Real(0).Real(0).Real(40).Real(30).Real(20).Real(10).Call("action_draw_health", 6);
    c.Real(-1).Real(0).Real(40).Real(30).Real(20).Real(10).Call("action_draw_health", 6);
    c.Real(0).Real(0).Text("a#b").Call("action_draw_text", 3);
    c.Text("Score: ").Real(0).Real(0).Call("action_draw_score", 3);
    c.Real(1).Real(10).Real(10).Real(0).Real(0).Call("action_draw_rectangle", 5);
    c.Real(0xFF).Real(0xFF00).Real(10).Real(10).Real(0).Real(0).Call("action_draw_gradient_vert", 6);
    c.Real(5).Real(0).Real(0).Call("action_draw_life_images", 3);
    c.Real(0).Real(0).Real(0).Real(5).Call("action_draw_sprite", 4);
    return c.Str();
}

// The drawing actions run here too, as the headless runner may end before any Draw event.
std::string StepEvent() {
    Code c;
    c.Real(100).Call("action_set_score", 1).Game("score").ShowResult("score in the next event");
    c.Show("done").Call("game_end", 0);
    return c.Str() + DrawEvent();
}

// Every row called with as many arguments as it registers, never run.
std::string EveryRow() {
    Code c;
    for (const Row& row : kRows) {
        for (int i = 0; i < row.argc; ++i) c.Real(0);
        c.Call(row.name, row.argc);
    }
    return c.Str() + "    exit.i\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_action_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "action_test";
    file.header.roomOrder = {0};
    const char* names[] = {"gml_Script_scr_every_row",      "gml_Object_obj_actor_Create_0",
                           "gml_Object_obj_actor_Other_10", "gml_Object_obj_actor_Other_6",
                           "gml_Object_obj_actor_Step_0",   "gml_Object_obj_actor_Draw_0"};
    const std::string codes[] = {EveryRow(),    CreateEvent(), UserEvent(),
                                 NoMoreLives(), StepEvent(),   DrawEvent()};
    for (int i = 0; i < 6; ++i)
        if (!e2e::AddCode(file, names[i], codes[i].c_str())) return 1;
    file.scripts = std::vector<formpack::Script>{{"scr_every_row", 0}};

    formpack::Object actor;
    actor.name = "obj_actor";
    actor.events[0] = {{0, 1}};
    actor.events[7] = {{kUserEvent0, 2}, {kNoMoreLives, 3}};
    actor.events[3] = {{0, 4}};
    actor.events[8] = {{0, 5}};
    file.objects = std::vector<std::optional<formpack::Object>>{actor};

    formpack::Room room;
    room.name = "room0";
    room.instances = {formpack::RoomInstance{100, 100, 0, 100001, -1}};
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    return e2e::WriteGame(file, argv[1]);
}
