// draw_sprite through the built-in table (argument reading, the sprite table, culling, the
// page-entry quad, the vertex batch and its flush) against raw GL drawing the same number of
// quads of the same size from one prepared vertex array with a program of its own, into the
// same back buffer of the same off-screen context. Each iteration draws one frame each way and
// waits for it; the ratio is raw GL's median frame time over ours. The aim is 0.7 or better.
#include <benchmark/benchmark.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "assets/Function_Sprite_Draw.h"
#include "assets/Sprite_Main.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "formpack/FormWriter.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Texture.h"
#include "runner/GameFile.h"

namespace {

constexpr int kSide = 256;
constexpr int kSprite = 16;
constexpr int kDraws = 100000;

struct RawVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

std::vector<RawVertex> g_quads;  // six vertices a quad
std::vector<float> g_positions;  // x, y per draw
double g_ratio = 0;
BuiltinProc g_drawSprite = nullptr;

float PositionX(int i) {
    return static_cast<float>(i * 7 % (kSide - kSprite));
}
float PositionY(int i) {
    return static_cast<float>(i * 13 % (kSide - kSprite));
}

void PrepareQuads() {
    for (int i = 0; i < kDraws; ++i) {
        const float x = PositionX(i), y = PositionY(i), s = kSprite;
        const uint32_t colour = 0xFFFF0000u;
        const RawVertex quad[6] = {{x, y, 0, colour, 0, 0},         {x + s, y, 0, colour, 1, 0},
                                   {x, y + s, 0, colour, 0, 1},     {x + s, y, 0, colour, 1, 0},
                                   {x + s, y + s, 0, colour, 1, 1}, {x, y + s, 0, colour, 0, 1}};
        g_quads.insert(g_quads.end(), quad, quad + 6);
    }
}

// One 16 x 16 red sprite on its own page, read through the chunk pass.
bool LoadSprite() {
    formpack::FormFile file;
    formpack::Sprite sprite;
    sprite.name = "spr_bench";
    sprite.width = sprite.height = kSprite;
    sprite.frames = {0};
    file.sprites = std::vector<std::optional<formpack::Sprite>>{sprite};
    file.pageEntries = std::vector<formpack::PageEntry>{
        {0, 0, kSprite, kSprite, 0, 0, kSprite, kSprite, kSprite, kSprite, 0}};
    std::vector<uint8_t> blob(16 + kSprite * kSprite * 4, 0xFF);
    const uint32_t header[4] = {0x20574152u, kSprite, kSprite, 0};
    std::memcpy(blob.data(), header, 16);
    file.textures = std::vector<formpack::TexturePage>{{0, blob}};
    const std::vector<uint8_t> bytes = formpack::Build(file);
    Sprite_InstallHooks();
    return Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size())) &&
           Form_FirstPass(Form_Base(), Form_Size()) && LoadGameData(Form_Base(), Form_Size()) &&
           Sprite_Exists(0);
}

void SpriteFrame() {
    Start_Frame();
    GR_D3D_Clear(0xFF000000u, 1.0f, 0, 1);
    RValue args[4] = {RValue_Real(0), RValue_Real(0), RValue_Real(0), RValue_Real(0)};
    RValue result = RValue_Undefined();
    for (int i = 0; i < kDraws; ++i) {
        args[2].val = PositionX(i);
        args[3].val = PositionY(i);
        g_drawSprite(result, nullptr, nullptr, 4, args);
    }
    End_Frame(true);
    glFinish();
}

const char* const kRawVertex = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 2) in vec4 aColour;
out vec4 vColour;
void main() {
    vColour = aColour;
    gl_Position = vec4(aPosition.x / 128.0 - 1.0, 1.0 - aPosition.y / 128.0, 0.0, 1.0);
}
)";

const char* const kRawFragment = R"(#version 330 core
in vec4 vColour;
out vec4 oColour;
void main() { oColour = vColour; }
)";

// The baseline: its own program, vertex array and buffer; the device's bindings are put
// back after each frame.
class RawGl {
public:
    RawGl() {
        program = glCreateProgram();
        vertex = Compile(GL_VERTEX_SHADER, kRawVertex);
        fragment = Compile(GL_FRAGMENT_SHADER, kRawFragment);
        glAttachShader(program, vertex);
        glAttachShader(program, fragment);
        glLinkProgram(program);
        GLint previousVao = 0;
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &previousVao);
        glGenVertexArrays(1, &vao);
        glGenBuffers(1, &buffer);
        glBindVertexArray(vao);
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(RawVertex), nullptr);
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(RawVertex),
                              reinterpret_cast<void*>(12));
        glBindVertexArray(static_cast<GLuint>(previousVao));
    }
    ~RawGl() {
        glDeleteBuffers(1, &buffer);
        glDeleteVertexArrays(1, &vao);
        glDeleteProgram(program);
        glDeleteShader(vertex);
        glDeleteShader(fragment);
    }

    void Frame() {
        GLint deviceProgram = 0, deviceVao = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &deviceProgram);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &deviceVao);
        glUseProgram(program);
        glBindVertexArray(vao);
        glClear(GL_COLOR_BUFFER_BIT);
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(g_quads.size() * sizeof(RawVertex)),
                     g_quads.data(), GL_STREAM_DRAW);
        glDrawArrays(GL_TRIANGLES, 0, kDraws * 6);
        glFinish();
        glUseProgram(static_cast<GLuint>(deviceProgram));
        glBindVertexArray(static_cast<GLuint>(deviceVao));
    }

private:
    static GLuint Compile(GLenum kind, const char* source) {
        GLuint shader = glCreateShader(kind);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        return shader;
    }

    GLuint program = 0, vertex = 0, fragment = 0, vao = 0, buffer = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_DrawSpriteAgainstRawGl(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    SpriteFrame();  // the first frame binds the device's back buffer; both draw into it
    RawGl raw;
    raw.Frame();
    std::vector<double> spriteTimes, rawTimes;
    for (auto _ : state) {
        const auto start = Clock::now();
        SpriteFrame();
        const auto middle = Clock::now();
        raw.Frame();
        const auto end = Clock::now();
        spriteTimes.push_back(std::chrono::duration<double>(middle - start).count());
        rawTimes.push_back(std::chrono::duration<double>(end - middle).count());
    }
    const double sprite = Median(spriteTimes), rawTime = Median(rawTimes);
    g_ratio = rawTime / sprite;
    state.counters["draw_sprite_per_s"] = kDraws / sprite;
    state.counters["raw_quads_per_s"] = kDraws / rawTime;
    state.counters["ratio"] = g_ratio;
}

BENCHMARK(BM_DrawSpriteAgainstRawGl)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    setenv("GALLIUM_DRIVER", "llvmpipe", 0);
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    setenv("LP_NUM_THREADS", "2", 0);
    benchmark::Initialize(&argc, argv);
    PrepareQuads();
    GR_Texture_Startup();
    if (!GR_D3D_Init(nullptr, kSide, kSide, 0)) {
        std::fprintf(stderr, "no GL device\n");
        return 1;
    }
    InitSpriteDrawFunctions();
    int32_t id = -1;
    if (!LoadSprite() || !Code_Function_Find("draw_sprite", &id)) {
        std::fprintf(stderr, "the sprite did not load\n");
        return 1;
    }
    g_drawSprite = Code_Function_Row(id)->function;
    GR_Draw_Set_Alpha(1.0f);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("ratio draw_sprite/raw GL quads per second: %.2f (target >= 0.70)\n", g_ratio);
    Form_Free();
    GR_D3D_Shutdown();
    return 0;
}
