// The raw-GL side of the sprite comparison: the scene of make_sprite_game and bench/love/main.lua
// (20,000 16 x 16 sprites of one red texture at the same scattered positions in a 640 x 480
// window, alpha blending on) drawn the plainest way a hand-written program would: an SDL window
// with a GL 3.3 core context, one program, each frame's quads built on the CPU into one array,
// uploaded with glBufferData and drawn with one glDrawArrays, then the window swapped.
// Prints "sprites_per_second N" over 120 frames after a first untimed one, like main.lua.
//
// With -noblend it draws with blending off (what the runner does for draws whose texels and
// colours are all opaque, which leaves the same pixels): the ceiling of this scene here.
// With -startup it draws one frame of the start-up scene (its first 100 sprites), prints
// "first_frame_monotonic S" (the CLOCK_MONOTONIC seconds at the end of that first swap) and quits: the
// start-up bench subtracts the time it started the process.
#include <SDL.h>

#include <GL/glcorearb.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

constexpr int kStartupCount = 100;
constexpr int kCount = 20000, kFrames = 120, kWidth = 640, kHeight = 480, kSize = 16;

struct Vertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 2) in vec4 aColour;
layout(location = 3) in vec2 aTexCoord;
uniform vec2 uScale;
out vec4 vColour;
out vec2 vTexCoord;
void main() {
    vColour = aColour;
    vTexCoord = aTexCoord;
    gl_Position = vec4(aPosition.x * uScale.x - 1.0, 1.0 - aPosition.y * uScale.y, 0.0, 1.0);
}
)";

const char* const kFragmentShader = R"(#version 330 core
in vec4 vColour;
in vec2 vTexCoord;
uniform sampler2D uTexture;
out vec4 oColour;
void main() { oColour = vColour * texture(uTexture, vTexCoord); }
)";

// GL 3.3 entry points through SDL, as a program without a loader library would fetch them.
#define GL_FUNCTIONS(X) \
    X(PFNGLCREATESHADERPROC, glCreateShader) \
    X(PFNGLSHADERSOURCEPROC, glShaderSource) \
    X(PFNGLCOMPILESHADERPROC, glCompileShader) \
    X(PFNGLCREATEPROGRAMPROC, glCreateProgram) \
    X(PFNGLATTACHSHADERPROC, glAttachShader) \
    X(PFNGLLINKPROGRAMPROC, glLinkProgram) \
    X(PFNGLUSEPROGRAMPROC, glUseProgram) \
    X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation) \
    X(PFNGLUNIFORM1IPROC, glUniform1i) \
    X(PFNGLUNIFORM2FPROC, glUniform2f) \
    X(PFNGLGENVERTEXARRAYSPROC, glGenVertexArrays) \
    X(PFNGLBINDVERTEXARRAYPROC, glBindVertexArray) \
    X(PFNGLGENBUFFERSPROC, glGenBuffers) \
    X(PFNGLBINDBUFFERPROC, glBindBuffer) \
    X(PFNGLBUFFERDATAPROC, glBufferData) \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, glEnableVertexAttribArray) \
    X(PFNGLVERTEXATTRIBPOINTERPROC, glVertexAttribPointer) \
    X(PFNGLDRAWARRAYSPROC, glDrawArrays) \
    X(PFNGLGENTEXTURESPROC, glGenTextures) \
    X(PFNGLBINDTEXTUREPROC, glBindTexture) \
    X(PFNGLTEXIMAGE2DPROC, glTexImage2D) \
    X(PFNGLTEXPARAMETERIPROC, glTexParameteri) \
    X(PFNGLENABLEPROC, glEnable) \
    X(PFNGLBLENDFUNCPROC, glBlendFunc) \
    X(PFNGLVIEWPORTPROC, glViewport) \
    X(PFNGLCLEARCOLORPROC, glClearColor) \
    X(PFNGLCLEARPROC, glClear)

#define DECLARE(type, name) type name = nullptr;
GL_FUNCTIONS(DECLARE)
#undef DECLARE

bool LoadGl() {
    bool all = true;
#define LOAD(type, name) \
    name = reinterpret_cast<type>(SDL_GL_GetProcAddress(#name)); \
    all = all && name != nullptr;
    GL_FUNCTIONS(LOAD)
#undef LOAD
    return all;
}

GLuint Compile(GLenum kind, const char* source) {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

}  // namespace

int main(int argc, char** argv) {
    bool startup = false, blend = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-startup") == 0) {
            startup = true;
        } else if (std::strcmp(argv[i], "-noblend") == 0) {
            blend = false;
        } else {
            std::fprintf(stderr, "usage: raw_gl_sprites [-startup] [-noblend]\n");
            return 2;
        }
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "raw_gl_sprites: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_Window* window = SDL_CreateWindow("raw_gl_sprites", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          kWidth, kHeight, SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context || !LoadGl()) {
        std::fprintf(stderr, "raw_gl_sprites: no GL 3.3 core context: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetSwapInterval(0);

    GLuint program = glCreateProgram();
    glAttachShader(program, Compile(GL_VERTEX_SHADER, kVertexShader));
    glAttachShader(program, Compile(GL_FRAGMENT_SHADER, kFragmentShader));
    glLinkProgram(program);
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "uTexture"), 0);
    glUniform2f(glGetUniformLocation(program, "uScale"), 2.0f / kWidth, 2.0f / kHeight);

    GLuint vao = 0, buffer = 0, texture = 0;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex), reinterpret_cast<void*>(12));
    glEnableVertexAttribArray(3);
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(16));

    std::vector<uint32_t> pixels(kSize * kSize, 0xFF2020FFu);  // R 255, G 32, B 32, A 255 in memory order
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kSize, kSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());

    if (blend) glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glViewport(0, 0, kWidth, kHeight);
    glClearColor(0, 0, 0, 1);

    const int count = startup ? kStartupCount : kCount;
    std::vector<float> xs(count), ys(count);
    for (int i = 0; i < count; ++i) {
        xs[i] = static_cast<float>((i * 7919) % 624);
        ys[i] = static_cast<float>((i * 104729) % 464);
    }
    std::vector<Vertex> vertices(size_t(count) * 6);
    uint64_t started = 0;
    const int frames = startup ? 1 : kFrames + 1;
    for (int frame = 1; frame <= frames; ++frame) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
        }
        glClear(GL_COLOR_BUFFER_BIT);
        Vertex* v = vertices.data();
        for (int i = 0; i < count; ++i, v += 6) {
            const float l = xs[i], t = ys[i], r = l + kSize, b = t + kSize;
            v[0] = {l, t, 0, 0xFFFFFFFFu, 0, 0};
            v[1] = {r, t, 0, 0xFFFFFFFFu, 1, 0};
            v[2] = {r, b, 0, 0xFFFFFFFFu, 1, 1};
            v[3] = {r, b, 0, 0xFFFFFFFFu, 1, 1};
            v[4] = {l, b, 0, 0xFFFFFFFFu, 0, 1};
            v[5] = {l, t, 0, 0xFFFFFFFFu, 0, 0};
        }
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)),
                     vertices.data(), GL_STREAM_DRAW);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
        SDL_GL_SwapWindow(window);
        if (startup) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("first_frame_monotonic %.6f\n", static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9);
        } else if (frame == 1) {
            started = SDL_GetPerformanceCounter();
        }
    }
    if (!startup) {
        const double seconds = static_cast<double>(SDL_GetPerformanceCounter() - started) /
                               static_cast<double>(SDL_GetPerformanceFrequency());
        std::printf("sprites_per_second %.0f\n", kCount * static_cast<double>(kFrames) / seconds);
    }
    std::fflush(stdout);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
