// Writes a game data file whose code names every 3-D, matrix, light and GPU state built-in that
// a game of the given header major version has (a game naming a row the runner lacks is refused
// at load), and whose room creation code prints a few answers.
// Usage: e2e_threed_game OUTPUT MAJOR
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestGameFileWriter.h"

namespace {

const char* const kAlways[] = {
    "matrix_get",
    "matrix_set",
    "matrix_build_identity",
    "matrix_build",
    "matrix_build_lookat",
    "matrix_build_projection_ortho",
    "matrix_build_projection_perspective",
    "matrix_build_projection_perspective_fov",
    "matrix_multiply",
    "matrix_transform_vertex",
    "frustum_build",
    "frustum_test_sphere",
    "draw_texture_flush",
    "draw_flush",
};

const char* const kLegacy[] = {
    "d3d_start",
    "d3d_end",
    "d3d_set_perspective",
    "d3d_set_hidden",
    "d3d_set_depth",
    "d3d_set_shading",
    "d3d_set_fog",
    "d3d_set_culling",
    "d3d_set_zwriteenable",
    "d3d_primitive_begin",
    "d3d_primitive_begin_texture",
    "d3d_primitive_end",
    "d3d_vertex",
    "d3d_vertex_color",
    "d3d_vertex_colour",
    "d3d_vertex_texture",
    "d3d_vertex_texture_color",
    "d3d_vertex_texture_colour",
    "d3d_vertex_normal",
    "d3d_vertex_normal_color",
    "d3d_vertex_normal_colour",
    "d3d_vertex_normal_texture",
    "d3d_vertex_normal_texture_color",
    "d3d_vertex_normal_texture_colour",
    "d3d_draw_block",
    "d3d_draw_cylinder",
    "d3d_draw_cone",
    "d3d_draw_ellipsoid",
    "d3d_draw_wall",
    "d3d_draw_floor",
    "d3d_set_projection",
    "d3d_set_projection_ext",
    "d3d_set_projection_ortho",
    "d3d_set_projection_perspective",
    "d3d_transform_set_identity",
    "d3d_transform_set_translation",
    "d3d_transform_set_scaling",
    "d3d_transform_set_rotation_x",
    "d3d_transform_set_rotation_y",
    "d3d_transform_set_rotation_z",
    "d3d_transform_set_rotation_axis",
    "d3d_transform_add_translation",
    "d3d_transform_add_scaling",
    "d3d_transform_add_rotation_x",
    "d3d_transform_add_rotation_y",
    "d3d_transform_add_rotation_z",
    "d3d_transform_add_rotation_axis",
    "d3d_transform_stack_clear",
    "d3d_transform_stack_empty",
    "d3d_transform_stack_push",
    "d3d_transform_stack_pop",
    "d3d_transform_stack_top",
    "d3d_transform_stack_discard",
    "d3d_transform_vertex",
    "d3d_model_create",
    "d3d_model_destroy",
    "d3d_model_clear",
    "d3d_model_load",
    "d3d_model_save",
    "d3d_model_draw",
    "d3d_model_primitive_begin",
    "d3d_model_primitive_end",
    "d3d_model_vertex",
    "d3d_model_vertex_color",
    "d3d_model_vertex_colour",
    "d3d_model_vertex_texture",
    "d3d_model_vertex_texture_color",
    "d3d_model_vertex_texture_colour",
    "d3d_model_vertex_normal",
    "d3d_model_vertex_normal_color",
    "d3d_model_vertex_normal_colour",
    "d3d_model_vertex_normal_texture",
    "d3d_model_vertex_normal_texture_color",
    "d3d_model_vertex_normal_texture_colour",
    "d3d_model_block",
    "d3d_model_cylinder",
    "d3d_model_cone",
    "d3d_model_ellipsoid",
    "d3d_model_wall",
    "d3d_model_floor",
    "d3d_light_define_ambient",
    "d3d_light_define_direction",
    "d3d_light_define_point",
    "d3d_light_enable",
    "d3d_set_lighting",
    "Pell_EnableAlphaBlend",
    "draw_enable_alphablend",
};

const char* const kModern[] = {
    "matrix_stack_push",
    "matrix_stack_pop",
    "matrix_stack_set",
    "matrix_stack_clear",
    "matrix_stack_top",
    "matrix_stack_is_empty",
    "gpu_set_blendenable",
    "gpu_set_ztestenable",
    "gpu_set_zfunc",
    "gpu_set_cullmode",
    "gpu_set_blendmode",
    "gpu_set_blendmode_ext",
    "gpu_set_blendmode_ext_sepalpha",
    "gpu_set_colorwriteenable",
    "gpu_set_alphatestenable",
    "gpu_set_alphatestref",
    "gpu_set_alphatestfunc",
    "gpu_set_texfilter",
    "gpu_set_texfilter_ext",
    "gpu_set_texrepeat",
    "gpu_set_texrepeat_ext",
    "gpu_set_zwriteenable",
    "gpu_set_fog",
    "gpu_get_blendenable",
    "gpu_get_ztestenable",
    "gpu_get_zfunc",
    "gpu_get_cullmode",
    "gpu_get_blendmode",
    "gpu_get_blendmode_ext",
    "gpu_get_blendmode_ext_sepalpha",
    "gpu_get_blendmode_src",
    "gpu_get_blendmode_dest",
    "gpu_get_blendmode_srcalpha",
    "gpu_get_blendmode_destalpha",
    "gpu_get_colorwriteenable",
    "gpu_get_alphatestenable",
    "gpu_get_alphatestref",
    "gpu_get_alphatestfunc",
    "gpu_get_texfilter",
    "gpu_get_texfilter_ext",
    "gpu_get_texrepeat",
    "gpu_get_texrepeat_ext",
    "gpu_get_zwriteenable",
    "gpu_get_fog",
    "gpu_push_state",
    "gpu_pop_state",
    "gpu_get_state",
    "gpu_set_state",
    "draw_light_define_ambient",
    "draw_light_define_direction",
    "draw_light_define_point",
    "draw_light_enable",
    "draw_set_lighting",
    "draw_light_get_ambient",
    "draw_light_get",
    "draw_get_lighting",
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

std::string RoomCreation(bool legacy) {
    std::string code;
    // Arguments are pushed last first.
    code += Print("frustum", "    call.i frustum_build 0\n");
    if (legacy) {
        code += Print("start", "    call.i d3d_start 0\n");
        code += Print("model", "    call.i d3d_model_create 0\n");
        code += Print("end", "    call.i d3d_end 0\n");
    } else {
        code += Print("empty", "    call.i matrix_stack_is_empty 0\n");
        code += Print("blendmode",
                      Number(1) + "    call.i gpu_set_blendmode 1\n    call.i gpu_get_blendmode 0\n");
        code += Print("ambient", "    call.i draw_light_get_ambient 0\n");
    }
    return code;
}

std::string EveryRow(bool legacy) {
    std::vector<const char*> names(std::begin(kAlways), std::end(kAlways));
    if (legacy)
        names.insert(names.end(), std::begin(kLegacy), std::end(kLegacy));
    else
        names.insert(names.end(), std::begin(kModern), std::end(kModern));
    return e2e::CallEachOnce(names);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: e2e_threed_game OUTPUT MAJOR\n");
        return 2;
    }
    const bool legacy = std::atoi(argv[2]) < 2;
    formpack::FormFile file;
    file.header.format = 15;
    file.header.major = legacy ? 1 : 2;
    file.header.gameName = "threed_test";
    file.header.roomOrder = {0};
    if (!e2e::AddRoomAndEveryRowScript(file, RoomCreation(legacy), EveryRow(legacy), 640, 480)) return 1;
    return e2e::WriteGame(file, argv[1]);
}
