// Writes a game whose first room draws a sprite through a shader onto a surface and reads the
// pixels back, checks which shaders compiled, and finally sets a shader that failed. A script
// that never runs names every shader, vertex-format and vertex-buffer built-in, so the game
// loads only when each of them is registered.
// Usage: e2e_shader_game OUTPUT
#include <cstdio>
#include <string>

#include "TestGameFileWriter.h"
#include "formpack/Png.h"

namespace {

const char* const kVertex = R"(#version 100
attribute vec3 in_Position;
attribute vec2 in_TextureCoord;
varying vec2 v_uv;
uniform mat4 hv_Matrices[5];
void main() {
    gl_Position = hv_Matrices[4] * vec4(in_Position, 1.0);
    v_uv = in_TextureCoord;
}
)";

const char* const kRedFragment = R"(#version 100
precision mediump float;
varying vec2 v_uv;
uniform sampler2D hv_BaseTexture;
void main() {
    gl_FragColor = vec4(1.0, 0.0, 0.0, texture2D(hv_BaseTexture, v_uv).a);
}
)";

const char* const kBrokenFragment = R"(#version 100
precision mediump float;
void main() {
    gl_FragColor = vec4(1.0) + undeclared;
}
)";

const char* const kRows[] = {"shader_set",
                             "shader_reset",
                             "shader_get_uniform",
                             "shader_get_sampler_index",
                             "shader_set_uniform_i",
                             "shader_set_uniform_f",
                             "shader_set_uniform_i_array",
                             "shader_set_uniform_f_array",
                             "shader_set_uniform_matrix",
                             "shader_set_uniform_matrix_array",
                             "shader_is_compiled",
                             "shaders_are_supported",
                             "texture_set_stage",
                             "texture_get_texel_width",
                             "texture_get_texel_height",
                             "vertex_format_begin",
                             "vertex_format_add_position",
                             "vertex_format_add_position_3d",
                             "vertex_format_add_colour",
                             "vertex_format_add_normal",
                             "vertex_format_add_textcoord",
                             "vertex_format_add_texcoord",
                             "vertex_format_add_custom",
                             "vertex_format_end",
                             "vertex_format_delete",
                             "vertex_create_buffer",
                             "vertex_create_buffer_ext",
                             "vertex_delete_buffer",
                             "vertex_begin",
                             "vertex_end",
                             "vertex_position",
                             "vertex_position_3d",
                             "vertex_colour",
                             "vertex_argb",
                             "vertex_texcoord",
                             "vertex_normal",
                             "vertex_float1",
                             "vertex_float2",
                             "vertex_float3",
                             "vertex_float4",
                             "vertex_ubyte4",
                             "vertex_submit",
                             "vertex_freeze",
                             "vertex_get_number",
                             "vertex_get_buffer_size",
                             "vertex_create_buffer_from_buffer",
                             "vertex_create_buffer_from_buffer_ext"};

std::string Call(const char* name, std::initializer_list<int> args) {
    std::string text;
    // Arguments go on the stack last first.
    for (auto it = std::rbegin(args); it != std::rend(args); ++it)
        text += "    push.i " + std::to_string(*it) + "\n    conv.i.v\n";
    text += std::string("    call.i ") + name + " " + std::to_string(args.size()) + "\n";
    return text;
}

std::string Print(const std::string& call) {
    return call + "    call.i show_debug_message 1\n    pop.v.v global.sink\n";
}

std::string Discard(const std::string& call) {
    return call + "    pop.v.v global.sink\n";
}

std::string RoomCreation() {
    std::string text =
        "    push.s \"shader checks\"\n    conv.s.v\n    call.i show_debug_message 1\n"
        "    pop.v.v global.sink\n";
    text += Print(Call("shader_is_compiled", {0}));
    text += Print(Call("shader_is_compiled", {1}));
    text += Call("surface_create", {16, 16}) + "    pop.v.v global.surf\n";
    text += "    push.v global.surf\n    call.i surface_set_target 1\n    pop.v.v global.sink\n";
    text += Discard(Call("draw_clear_alpha", {0, 1}));
    text += Discard(Call("shader_set", {0}));
    text += Discard(Call("draw_sprite", {0, 0, 4, 4}));
    text += Discard(Call("shader_reset", {}));
    text += Discard(Call("surface_reset_target", {}));
    for (int at : {6, 1}) {
        text += "    push.i " + std::to_string(at) + "\n    conv.i.v\n    push.i " + std::to_string(at) +
                "\n    conv.i.v\n    push.v global.surf\n    call.i surface_getpixel 3\n"
                "    call.i show_debug_message 1\n    pop.v.v global.sink\n";
    }
    text += Discard(Call("shader_set", {1}));
    return text;
}

std::string RowNames() {
    std::string text;
    for (const char* row : kRows) text += Discard(Call(row, {}));
    return text + "    ret.v\n";
}

formpack::Shader MakeShader(const char* name, const char* fragment) {
    formpack::Shader shader;
    shader.name = name;
    shader.kind = 2;
    shader.texts[0] = kVertex;
    shader.texts[1] = fragment;
    shader.attributes = {"in_Position", "in_TextureCoord"};
    return shader;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_shader_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "shader_test";
    file.header.roomOrder = {0};
    file.shaders = std::vector<std::optional<formpack::Shader>>{
        MakeShader("sh_red", kRedFragment), std::nullopt, MakeShader("sh_broken", kBrokenFragment)};
    // An 8 x 8 opaque white sprite.
    file.textures =
        std::vector<formpack::TexturePage>{{0, formpack::EncodePng(8, 8, std::vector<uint8_t>(256, 255))}};
    formpack::PageEntry page;
    page.sourceW = page.sourceH = page.targetW = page.targetH = page.boundW = page.boundH = 8;
    file.pageEntries = std::vector<formpack::PageEntry>{page};
    formpack::Sprite sprite;
    sprite.name = "spr_white";
    sprite.width = sprite.height = 8;
    sprite.boxRight = sprite.boxBottom = 7;
    sprite.frames = {0};
    file.sprites = std::vector<std::optional<formpack::Sprite>>{sprite};
    if (!e2e::AddCode(file, "gml_RoomCC_room0_Create", RoomCreation().c_str()) ||
        !e2e::AddCode(file, "gml_Script_scr_rows", RowNames().c_str()))
        return 1;
    file.scripts = std::vector<formpack::Script>{{"scr_rows", 1}};
    formpack::Room room;
    room.name = "room0";
    room.creationCode = 0;
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    return e2e::WriteGame(file, argv[1]);
}
