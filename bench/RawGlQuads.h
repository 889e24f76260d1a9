// The raw-GL baseline of the drawing benchmarks: the same quads drawn with a program, vertex
// array and buffer of its own into the device's current target, the device's bindings put
// back after each frame. Positions are pixels of a 256-pixel square.
#pragma once

#include <GL/glcorearb.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// The device's vertex layout for coloured, textured vertices.
struct RawVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

inline std::string RawVertexShader(bool yDown) {
    return std::string(R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 2) in vec4 aColour;
out vec4 vColour;
void main() {
    vColour = aColour;
    gl_Position = vec4(aPosition.x / 128.0 - 1.0, )") +
           (yDown ? "1.0 - aPosition.y / 128.0" : "aPosition.y / 128.0 - 1.0") + R"(, 0.0, 1.0);
}
)";
}

inline const char* const kRawFragment = R"(#version 330 core
in vec4 vColour;
out vec4 oColour;
void main() { oColour = vColour; }
)";

class RawGl {
public:
    explicit RawGl(bool yDown) {
        program = glCreateProgram();
        vertex = Compile(GL_VERTEX_SHADER, RawVertexShader(yDown).c_str());
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

    void Frame(const std::vector<RawVertex>& quads) {
        GLint deviceProgram = 0, deviceVao = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &deviceProgram);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &deviceVao);
        glUseProgram(program);
        glBindVertexArray(vao);
        glClear(GL_COLOR_BUFFER_BIT);
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(quads.size() * sizeof(RawVertex)), quads.data(),
                     GL_STREAM_DRAW);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(quads.size()));
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

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Our frame and the baseline's, timed one after the other in each iteration so both see the
// same machine: the median seconds of each.
struct PairedMedians {
    double ours, baseline;
};
template <typename Ours, typename Baseline>
PairedMedians TimeAlternately(benchmark::State& state, Ours ours, Baseline baseline) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> ourTimes, baseTimes;
    for (auto _ : state) {
        const auto start = Clock::now();
        ours();
        const auto middle = Clock::now();
        baseline();
        const auto end = Clock::now();
        ourTimes.push_back(std::chrono::duration<double>(middle - start).count());
        baseTimes.push_back(std::chrono::duration<double>(end - middle).count());
    }
    return {Median(ourTimes), Median(baseTimes)};
}
