// A frozen vertex buffer of 1,000,000 vertices submitted once a frame (vertex_submit through
// the built-in table, the device binding the buffer's own declaration) against raw GL drawing
// the same vertices from a static buffer of its own with a program of its own, into the same
// back buffer of the same off-screen context. Each iteration draws one frame each way and waits
// for it; the ratio is taken from the median frame times.
#include <benchmark/benchmark.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchRatio.h"
#include "RawGlQuads.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "graphics/Buffer_Vertex.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/VertexFormat.h"

namespace {

constexpr int kSide = 256;
constexpr int kVertices = 1000000;

std::vector<RawVertex> g_vertices;
RValue g_buffer;

RValue Call(const char* name, std::vector<RValue> args = {}) {
    int32_t id = -1;
    Code_Function_Find(name, &id);
    RValue result = RValue_Undefined();
    Code_Function_Row(id)->function(result, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
    return result;
}

// Small triangles spread over the square.
void PrepareVertices() {
    for (int i = 0; i < kVertices / 3; ++i) {
        const float x = static_cast<float>(i * 7 % (kSide - 4)), y = static_cast<float>(i * 13 % (kSide - 4));
        const uint32_t colour = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
        const RawVertex triangle[3] = {
            {x, y, 0, colour, 0, 0}, {x + 2, y, 0, colour, 1, 0}, {x, y + 2, 0, colour, 0, 1}};
        g_vertices.insert(g_vertices.end(), triangle, triangle + 3);
    }
}

// The game's side: a format, a buffer written with the writers, frozen.
void BuildFrozenBuffer() {
    InitVertexFormatFunctions();
    InitVertexBufferFunctions();
    Call("vertex_format_begin");
    Call("vertex_format_add_position_3d");
    Call("vertex_format_add_colour");
    Call("vertex_format_add_texcoord");
    const RValue format = Call("vertex_format_end");
    g_buffer = Call("vertex_create_buffer");
    Call("vertex_begin", {g_buffer, format});
    for (const RawVertex& v : g_vertices) {
        Call("vertex_position_3d", {g_buffer, RValue_Real(v.x), RValue_Real(v.y), RValue_Real(v.z)});
        Call("vertex_argb", {g_buffer, RValue_Real(v.colour)});
        Call("vertex_texcoord", {g_buffer, RValue_Real(v.u), RValue_Real(v.v)});
    }
    Call("vertex_end", {g_buffer});
    Call("vertex_freeze", {g_buffer});
}

void SubmitFrame() {
    Start_Frame();
    GR_D3D_Clear(0xFF000000u, 1.0f, 0, 1);
    Call("vertex_submit", {g_buffer, RValue_Real(4), RValue_Real(-1)});
    End_Frame(true);
    glFinish();
}

// The baseline: the same bytes in a static buffer, uploaded once, drawn each frame.
class StaticRawGl {
public:
    StaticRawGl() {
        program = glCreateProgram();
        const std::string vertexText = RawVertexShader(false);
        for (auto [kind, text] :
             {std::pair{GL_VERTEX_SHADER, vertexText.c_str()}, {GL_FRAGMENT_SHADER, kRawFragment}}) {
            GLuint shader = glCreateShader(kind);
            glShaderSource(shader, 1, &text, nullptr);
            glCompileShader(shader);
            glAttachShader(program, shader);
            glDeleteShader(shader);
        }
        glLinkProgram(program);
        GLint previousVao = 0;
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &previousVao);
        glGenVertexArrays(1, &vao);
        glGenBuffers(1, &buffer);
        glBindVertexArray(vao);
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(g_vertices.size() * sizeof(RawVertex)),
                     g_vertices.data(), GL_STATIC_DRAW);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(RawVertex), nullptr);
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(RawVertex),
                              reinterpret_cast<void*>(12));
        glBindVertexArray(static_cast<GLuint>(previousVao));
    }
    ~StaticRawGl() {
        glDeleteBuffers(1, &buffer);
        glDeleteVertexArrays(1, &vao);
        glDeleteProgram(program);
    }
    void Frame() {
        GLint deviceProgram = 0, deviceVao = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &deviceProgram);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &deviceVao);
        glUseProgram(program);
        glBindVertexArray(vao);
        glClear(GL_COLOR_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(g_vertices.size()));
        glFinish();
        glUseProgram(static_cast<GLuint>(deviceProgram));
        glBindVertexArray(static_cast<GLuint>(deviceVao));
    }

private:
    GLuint program = 0, vao = 0, buffer = 0;
};

void BM_FrozenBufferAgainstRawGl(benchmark::State& state) {
    SubmitFrame();  // the first frame binds the device's back buffer; both draw into it
    StaticRawGl raw;
    raw.Frame();
    const PairedMedians times = TimeAlternately(
        state, [&] { SubmitFrame(); }, [&] { raw.Frame(); });
    const double frozen = times.ours, rawTime = times.baseline;
    const double ratio = rawTime / frozen;
    state.counters["frozen_vertices_per_s"] = kVertices / frozen;
    state.counters["raw_vertices_per_s"] = kVertices / rawTime;
    state.counters["ratio"] = ratio;
}

BENCHMARK(BM_FrozenBufferAgainstRawGl)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    UseSoftwareGl();
    benchmark::Initialize(&argc, argv);
    PrepareVertices();
    if (!GR_D3D_Init(nullptr, kSide, kSide, 0)) {
        std::fprintf(stderr, "no GL device\n");
        return 1;
    }
    BuildFrozenBuffer();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintCounter("ratio frozen vertex buffer/raw GL vertices per second",
                          "BM_FrozenBufferAgainstRawGl", "ratio");
    VertexBuffer_Free_All();
    VertexFormat_Free_All();
    GR_D3D_Shutdown();
    return 0;
}
