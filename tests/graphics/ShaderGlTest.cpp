// Shaders and vertex buffers on the real GL device: programs from GLSL ES texts (as the driver
// takes them, and through the "#version 330" prelude), compilation failures, and a vertex
// buffer in a custom format drawn without a texture.
#include <string>
#include <vector>

#include "ShaderSupport.h"
#include "platform/GlDevice.h"
#include "support/GpuTestSupport.h"

namespace shader_gl_test {

constexpr int kSize = 32;

const char* const kVertex = R"(#version 100
attribute vec3 in_Position;
uniform mat4 hv_Matrices[5];
void main() {
    gl_Position = hv_Matrices[4] * vec4(in_Position, 1.0);
}
)";

const char* const kRed = R"(#version 100
precision mediump float;
void main() {
    gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0);
}
)";

struct Vertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

void DrawQuad(float x0, float y0, float x1, float y1) {
    auto* v = static_cast<Vertex*>(GR_Batch_Alloc(D3DPT_TRIANGLELIST, nullptr, GR_FORMAT_XYZCUV, 6));
    const uint32_t white = 0xFFFFFFFFu;
    const Vertex corners[6] = {{x0, y0, 0, white, 0, 0}, {x1, y0, 0, white, 1, 0}, {x0, y1, 0, white, 0, 1},
                               {x1, y0, 0, white, 1, 0}, {x1, y1, 0, white, 1, 1}, {x0, y1, 0, white, 0, 1}};
    std::copy(corners, corners + 6, v);
}

class ShaderGlTest : public ShaderTest {
protected:
    void SetUp() override {
        ShaderTest::SetUp();
        UseSoftwareGl();
        GR_Hooks_Reset();  // the real device
    }
    void TearDown() override {
        ShaderTest::TearDown();
        g_GlDesktopShaderPrelude = false;
    }

    void OpenCleared() {
        Open(0, kSize, kSize);
        ASSERT_TRUE(Start_Frame());
        GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
    }

    uint32_t Pixel(const std::vector<uint32_t>& pixels, int x, int y) {
        return pixels[size_t(y * kSize + x)];
    }
};

TEST_F(ShaderGlTest, RedShaderColoursWhatIsDrawnThroughItOnBothShaderPaths) {
    for (bool desktopPrelude : {false, true}) {
        SCOPED_TRACE(desktopPrelude ? "#version 330 prelude" : "GLSL ES as it is");
        g_GlDesktopShaderPrelude = desktopPrelude;
        OpenCleared();
        // A warning alone does not fail a shader.
        const ShaderRecord* record = AddShader(
            "red",
            (std::string("#version 100\n#extension GL_HV_not_there : warn\n") + (kVertex + 13)).c_str(),
            kRed);
        ASSERT_FALSE(record->failed) << record->errorText;
        CallBuiltin("shader_set", {RValue_Real(record->index)});
        DrawQuad(4, 4, 12, 12);
        CallBuiltin("shader_reset");
        DrawQuad(20, 20, 24, 24);  // the fixed-function stages again: white
        ASSERT_TRUE(End_Frame(true));
        const std::vector<uint32_t> pixels = ReadBackBuffer(g_D3D.device);
        EXPECT_EQ(Pixel(pixels, 4, 4), 0xFFFF0000u);
        EXPECT_EQ(Pixel(pixels, 11, 11), 0xFFFF0000u);
        EXPECT_EQ(Pixel(pixels, 12, 12), 0xFF000000u);
        EXPECT_EQ(Pixel(pixels, 22, 22), 0xFFFFFFFFu);
        Shader_FreeAll();
        GR_D3D_Shutdown();
    }
}

TEST_F(ShaderGlTest, AlphaTestAppliesToWhatAShaderDraws) {
    OpenCleared();
    AddShader("faint", kVertex, "#version 100\nvoid main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 0.25); }\n");
    CallBuiltin("shader_set", {RValue_Real(0)});
    GR_Set_Alpha_Test_Ref(128);
    GR_Set_Alpha_Test(true);
    DrawQuad(4, 4, 12, 12);  // alpha 64 fails the test
    GR_Set_Alpha_Test(false);
    DrawQuad(20, 20, 24, 24);
    ASSERT_TRUE(End_Frame(true));
    const std::vector<uint32_t> pixels = ReadBackBuffer(g_D3D.device);
    EXPECT_EQ(Pixel(pixels, 6, 6), 0xFF000000u);
    EXPECT_NE(Pixel(pixels, 22, 22), 0xFF000000u);
}

TEST_F(ShaderGlTest, BrokenFragmentProgramIsNotCompiledAndSettingItReportsTheCompiler) {
    OpenCleared();
    AddShader("broken", kVertex, "#version 100\nvoid main() { gl_FragColor = undeclared; }\n");
    EXPECT_EQ(CallReal("shader_is_compiled", {RValue_Real(0)}), 0);
    CallBuiltin("shader_set", {RValue_Real(0)});
    const std::string report = LastError();
    EXPECT_NE(report.find("FATAL ERROR in Fragment Shader compilation\n\nShaderName: broken\n\n\n"),
              std::string::npos);
    EXPECT_NE(report.find("undeclared"), std::string::npos);
}

TEST_F(ShaderGlTest, PositionAndColourTriangleWithoutTextureLightsItsInside) {
    OpenCleared();
    const double format = MakeFormat({{2, 1}, {5, 2}});
    const RValue buffer = RValue_Real(CallReal("vertex_create_buffer"));
    CallBuiltin("vertex_begin", {buffer, RValue_Real(format)});
    for (auto [x, y] : {std::pair{2, 2}, {30, 2}, {2, 30}}) {
        CallBuiltin("vertex_position", {buffer, RValue_Real(x), RValue_Real(y)});
        CallBuiltin("vertex_colour", {buffer, RValue_Real(0x0000FF), RValue_Real(1)});
    }
    CallBuiltin("vertex_end", {buffer});
    CallBuiltin("vertex_submit", {buffer, RValue_Real(4), RValue_Real(-1)});
    ASSERT_TRUE(End_Frame(true));
    const std::vector<uint32_t> pixels = ReadBackBuffer(g_D3D.device);
    EXPECT_EQ(Pixel(pixels, 6, 6), 0xFFFF0000u);
    EXPECT_EQ(Pixel(pixels, 20, 6), 0xFFFF0000u);
    EXPECT_EQ(Pixel(pixels, 26, 26), 0xFF000000u);
}

}  // namespace shader_gl_test
