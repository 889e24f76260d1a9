// The 3-D layer on the trace device: the registrar's rows by header version, matrix and frustum
// built-ins, the matrix stack, the GPU state built-ins, lights, 3-D primitives and models.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "ShaderSupport.h"
#include "base/GEN8.h"
#include "data/Function_Data_Structures.h"
#include "data/Support_Data_Structures.h"
#include "graphics/Function_3D.h"
#include "graphics/Graphics_Light.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Primitive3D.h"
#include "graphics/Model3D.h"

namespace threed_test {

struct Registration {
    int32_t legacyRows = 0, modernRows = 0;
    std::set<std::string> names;
    std::string firstLegacy, firstModern;
};

std::string RowName(int32_t index) {
    const char* name = nullptr;
    BuiltinProc function = nullptr;
    int32_t argc = 0;
    Code_Function_GetInfo(index, &name, &function, &argc);
    return name ? name : "";
}

// Both versions' rows, registered once (modern first, so the shared names find those rows).
const Registration& Registered() {
    static Registration registration = [] {
        Registration r;
        const int32_t saved = g_GameHeader.major;
        for (int32_t major : {2, 1}) {
            g_GameHeader.major = major;
            const int32_t before = Code_Function_Count();
            Init3DFunctions();
            const int32_t after = Code_Function_Count();
            (major == 2 ? r.modernRows : r.legacyRows) = after - before;
            (major == 2 ? r.firstModern : r.firstLegacy) = RowName(before);
            for (int32_t i = before; i < after; ++i) r.names.insert(RowName(i));
        }
        g_GameHeader.major = saved;
        return r;
    }();
    return registration;
}

std::vector<double> Reals(const RValue& value) {
    std::vector<double> out;
    if (!RValue_IsArray(&value) || !value.arr || value.arr->rowCount < 1) return out;
    const ArrayRow& row = value.arr->rows[0];
    for (int32_t i = 0; i < row.length; ++i) out.push_back(row.items[i].val);
    return out;
}

std::vector<double> CallArray(const char* name, std::vector<RValue> args = {}) {
    RValue result = CallBuiltin(name, std::move(args));
    std::vector<double> values = Reals(result);
    RValue_Release(&result);
    return values;
}

RValue R(double value) {
    return RValue_Real(value);
}

class ThreeDTest : public ShaderTest {
protected:
    void SetUp() override {
        ShaderTest::SetUp();
        Registered();
        LightTable_Reset();
        Model3D_Free_All();
        g_ActiveRecorder = nullptr;
    }
    void TearDown() override {
        Model3D_Free_All();
        g_ActiveRecorder = nullptr;
        ShaderTest::TearDown();
    }

    static void ExpectNear(const std::vector<double>& got, const std::vector<double>& want,
                           double tolerance = 1e-5) {
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], tolerance) << "element " << i;
    }
};

TEST_F(ThreeDTest, RegistrarAddsTheRowsOfEachHeaderVersionInOrder) {
    const Registration& r = Registered();
    EXPECT_EQ(r.legacyRows, 87 + 14);
    EXPECT_EQ(r.modernRows, 14 + 56);
    EXPECT_EQ(r.names.size(), 157u);
    EXPECT_EQ(r.firstLegacy, "d3d_start");
    EXPECT_EQ(r.firstModern, "matrix_get");
    EXPECT_EQ(r.names.count("gpu_set_state"), 1u);
    EXPECT_EQ(r.names.count("Pell_EnableAlphaBlend"), 1u);
}

TEST_F(ThreeDTest, MatrixBuildTurnsLikeTheWorldRotationAndMultiplyLetsTheFirstActFirst) {
    Open();
    RValue built = CallBuiltin("matrix_build", {R(0), R(0), R(0), R(0), R(0), R(90), R(1), R(1), R(1)});
    ExpectNear(CallArray("matrix_transform_vertex", {built, R(1), R(0), R(0)}), {0, -1, 0});
    CallBuiltin("d3d_transform_set_rotation_z", {R(90)});
    ExpectNear(CallArray("d3d_transform_vertex", {R(1), R(0), R(0)}), {0, -1, 0});
    RValue_Release(&built);

    RValue a = RealArray({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1});
    RValue b = RealArray({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
    RValue product = CallBuiltin("matrix_multiply", {a, b});
    ExpectNear(CallArray("matrix_transform_vertex", {product, R(0), R(0), R(0)}), {2, 0, 0});
    // A short row is read only as far as it goes.
    RValue shortRow = RealArray({1, 2});
    EXPECT_EQ(CallArray("matrix_transform_vertex", {shortRow, R(1), R(1), R(1)}).size(), 3u);
    for (RValue* v : {&a, &b, &product, &shortRow}) RValue_Release(v);
}

TEST_F(ThreeDTest, MatrixBuiltinsReportBadArguments) {
    Open();
    RValue text = RValue_Undefined();
    RValue_SetStringBytes(&text, "x", 1);
    RValue matrix = RealArray(std::vector<double>(16, 0));
    RValue shortMatrix = RealArray({1, 2, 3});
    struct Case {
        const char* name;
        std::vector<RValue> args;
        const char* message;
    } const cases[] = {
        {"matrix_get", {R(3)}, "Illegal matrix type"},
        {"matrix_set", {R(-1), matrix}, "Illegal matrix type"},
        {"matrix_set", {R(0), shortMatrix}, "Illegal matrix"},
        {"matrix_build", {text, R(0), R(0), R(0), R(0), R(0), R(1), R(1), R(1)}, "Illegal argument type"},
        {"matrix_build", {R(0)}, "Illegal argument count or type"},
        {"matrix_multiply", {matrix}, "Illegal argument count"},
        {"matrix_multiply", {matrix, R(2)}, "Illegal argument type"},
        {"matrix_multiply", {matrix, shortMatrix}, "Illegal matrix"},
        {"matrix_transform_vertex", {R(1), R(0), R(0), R(0)}, "Illegal argument type"},
        {"matrix_build_projection_perspective",
         {R(0), R(1), R(1), R(10)},
         "matrix_build_projection_perspective() - can't have width or height of zero"},
        {"matrix_build_projection_perspective_fov",
         {R(60), R(0), R(1), R(10)},
         "matrix_build_projection_perspective_fov() - can't have fov or aspect of zero"},
    };
    for (const Case& c : cases) {
        LastError();
        RValue result = CallBuiltin(c.name, c.args);
        EXPECT_NE(LastError().find(c.message), std::string::npos) << c.name;
        RValue_Release(&result);
    }
    for (RValue* v : {&text, &matrix, &shortMatrix}) RValue_Release(v);
}

TEST_F(ThreeDTest, MatrixStackHoldsFiftyPushesAndKeepsItsBase) {
    CallBuiltin("matrix_stack_clear");
    CallBuiltin("matrix_stack_pop");
    EXPECT_EQ(CallReal("matrix_stack_is_empty"), 1);
    RValue translate = RealArray({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1});
    CallBuiltin("matrix_stack_set", {translate});
    ExpectNear(CallArray("matrix_stack_top"), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1});
    RValue scale = RealArray({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
    CallBuiltin("matrix_stack_push", {scale});  // acts after the translation
    ExpectNear(CallArray("matrix_stack_top"), {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 10, 12, 14, 1});
    EXPECT_EQ(CallReal("matrix_stack_is_empty"), 0);
    LastError();
    for (int32_t i = 1; i < 50; ++i) CallBuiltin("matrix_stack_push");
    EXPECT_EQ(LastError().find("stack is full"), std::string::npos);
    CallBuiltin("matrix_stack_push");
    EXPECT_NE(LastError().find("matrix_stack_push() - stack is full"), std::string::npos);
    CallBuiltin("matrix_stack_push", {R(3)});
    EXPECT_NE(LastError().find("matrix_stack_push() - argument must be matrix"), std::string::npos);
    CallBuiltin("matrix_stack_set", {R(3)});
    EXPECT_NE(LastError().find("matrix_stack_set() - expects matrix"), std::string::npos);
    CallBuiltin("matrix_stack_clear");
    ExpectNear(CallArray("matrix_stack_top"), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    RValue_Release(&translate);
    RValue_Release(&scale);
}

TEST_F(ThreeDTest, FrustumOfAnOrthographicViewKeepsNearSpheresAndDropsFarOnes) {
    Open();
    Matrix4 ortho;
    Matrix_Build_Ortho(&ortho, 640, 480, 1, 32000);
    g_HalfPixelAdjust = false;
    GR_D3D_Set_Matrix(GR_MATRIX_VIEW, Matrix_Identity);
    GR_D3D_Set_Matrix(GR_MATRIX_PROJECTION, ortho);
    EXPECT_EQ(CallReal("frustum_build"), 0);
    EXPECT_EQ(CallReal("frustum_test_sphere", {R(0), R(0), R(10), R(1)}), 1);
    EXPECT_EQ(CallReal("frustum_test_sphere", {R(1000), R(0), R(10), R(1)}), 0);
    g_HalfPixelAdjust = true;
}

TEST_F(ThreeDTest, BlendModeBuiltinsStoreFactorsAndRecogniseModes) {
    CallBuiltin("gpu_set_blendmode", {R(7)});
    EXPECT_EQ(CallReal("gpu_get_blendmode"), 0);
    CallBuiltin("gpu_set_blendmode", {R(3)});
    EXPECT_EQ(CallReal("gpu_get_blendmode"), 3);
    EXPECT_EQ(CallReal("gpu_set_blendmode_ext_sepalpha", {R(5), R(6), R(2), R(2)}), -1);
    EXPECT_EQ(CallReal("gpu_get_blendmode"), -1);
    ExpectNear(CallArray("gpu_get_blendmode_ext_sepalpha"), {5, 6, 2, 2});
    RValue pair = RealArray({5, 2});
    CallBuiltin("gpu_set_blendmode_ext", {pair});
    EXPECT_EQ(CallReal("gpu_get_blendmode"), 1);
    RValue triple = RealArray({5, 2, 1});
    LastError();
    CallBuiltin("gpu_set_blendmode_ext", {triple});
    EXPECT_NE(LastError().find("gpu_set_blendmode_ext() - invalid array (must be 2 values)"),
              std::string::npos);
    EXPECT_EQ(CallReal("gpu_get_blendmode_src"), 5);
    EXPECT_EQ(CallReal("gpu_get_zfunc", {R(1)}), 0);
    EXPECT_NE(LastError().find("gpu_get_zfunc() - shouldn't take any arguments"), std::string::npos);
    RValue_Release(&pair);
    RValue_Release(&triple);
}

TEST_F(ThreeDTest, FogColourWriteAndSamplerBuiltins) {
    CallBuiltin("gpu_set_fog", {R(1), R(255), R(10), R(100)});
    ExpectNear(CallArray("gpu_get_fog"), {1, 4294901760.0, 10, 100});
    CallBuiltin("gpu_set_fog", {R(0), R(0xFF00), R(0), R(5)});
    ExpectNear(CallArray("gpu_get_fog"), {0, 4294901760.0, 10, 100});
    CallBuiltin("gpu_set_colorwriteenable", {R(1), R(0), R(1), R(0)});
    EXPECT_EQ(GPUState_GetRenderState(&g_GPUState, GPU_RS_COLORWRITEENABLE), 5u);
    ExpectNear(CallArray("gpu_get_colorwriteenable"), {1, 0, 1, 0});
    const GPUState before = g_GPUState;
    EXPECT_EQ(CallReal("gpu_set_texfilter_ext", {R(9), R(1)}), -1);
    EXPECT_EQ(std::memcmp(before.currentSampler, g_GPUState.currentSampler, sizeof before.currentSampler), 0);
    CallBuiltin("gpu_set_texrepeat", {R(0)});
    CallBuiltin("gpu_set_texrepeat_ext", {R(2), R(1)});
    EXPECT_EQ(CallReal("gpu_get_texrepeat_ext", {R(2)}), 1);
    EXPECT_EQ(CallReal("gpu_get_texrepeat_ext", {R(3)}), 0);
}

TEST_F(ThreeDTest, StateMapRoundTripChangesNothingAndSingleKeysApply) {
    CallBuiltin("gpu_set_fog", {R(1), R(0x123456), R(2.5), R(99.25)});
    CallBuiltin("gpu_set_texfilter_ext", {R(1), R(1)});
    CallBuiltin("gpu_set_alphatestref", {R(77)});
    const GPUState before = g_GPUState;
    const int32_t index = static_cast<int32_t>(CallReal("gpu_get_state"));
    ASSERT_NE(DS_GetMap(index), nullptr);
    EXPECT_EQ(DS_GetMap(index)->Size(), 50);
    CallBuiltin("gpu_set_blendmode", {R(2)});
    CallBuiltin("gpu_set_fog", {R(0), R(0), R(0), R(0)});
    EXPECT_EQ(CallReal("gpu_set_state", {R(index)}), -1);
    EXPECT_EQ(std::memcmp(before.currentRender, g_GPUState.currentRender, sizeof before.currentRender), 0);
    EXPECT_EQ(std::memcmp(before.currentSampler, g_GPUState.currentSampler, sizeof before.currentSampler), 0);

    const int32_t single = DsMap_CreateFromPairs(1, "magfilter3", 1.0, static_cast<const char*>(nullptr));
    CallBuiltin("gpu_set_state", {R(single)});
    EXPECT_EQ(GPUState_GetSamplerState(&g_GPUState, 3, GPU_SAMP_MAGFILTER), 1u);
    EXPECT_EQ(GPUState_GetSamplerState(&g_GPUState, 3, GPU_SAMP_MINFILTER),
              before.currentSampler[3 * 4 + GPU_SAMP_MINFILTER]);
    LastError();
    CallBuiltin("gpu_set_state", {R(123456)});
    EXPECT_NE(LastError().find("gpu_set_state() - ds_map index is invalid"), std::string::npos);
}

TEST_F(ThreeDTest, LightsFillTheTableAndTheDevice) {
    OpenInFrame();
    EXPECT_EQ(CallReal("draw_light_get_ambient"), 4294967295.0);
    CallBuiltin("draw_light_define_direction", {R(0), R(0), R(0), R(1), R(16777215)});
    const LightSlot& slot = g_LightTable.slots[0];
    EXPECT_FLOAT_EQ(slot.direction[2], -1);
    EXPECT_FLOAT_EQ(slot.direction[3], 1);
    EXPECT_FLOAT_EQ(Trace().lights[0].direction[2], 1);
    EXPECT_EQ(Trace().lights[0].type, D3DLIGHT_DIRECTIONAL);
    // A zero direction stays zero.
    CallBuiltin("draw_light_define_direction", {R(1), R(0), R(0), R(0), R(255)});
    for (float d : g_LightTable.slots[1].direction) EXPECT_FALSE(std::isnan(d));
    EXPECT_FALSE(std::isnan(Trace().lights[1].direction[0]));

    CallBuiltin("draw_light_define_point", {R(2), R(10), R(20), R(30), R(100), R(255)});
    ExpectNear(CallArray("draw_light_get", {R(2)}), {0, 1, 10, 20, 30, 100, 4278190335.0});
    EXPECT_FLOAT_EQ(Trace().lights[2].attenuation1, 0.01f);
    CallBuiltin("draw_light_define_point", {R(3), R(0), R(0), R(0), R(0), R(255)});
    EXPECT_EQ(Trace().lights[3].attenuation1, 0);
    CallBuiltin("draw_light_enable", {R(2), R(1)});
    EXPECT_EQ(CallArray("draw_light_get", {R(2)})[0], 1);
    EXPECT_GE(Trace().Find("LightEnable(2,1)"), 0);

    LastError();
    EXPECT_TRUE(CallArray("draw_light_get", {R(8)}).empty());
    EXPECT_NE(LastError().find("draw_light_get() - light index out of range"), std::string::npos);
    CallBuiltin("draw_light_enable", {R(9), R(1)});
    EXPECT_NE(LastError().find("Light index out of range - must be between 0 and 7 (inclusive)"),
              std::string::npos);
    CallBuiltin("draw_set_lighting", {R(1)});
    EXPECT_EQ(CallReal("draw_get_lighting"), 1);
    EXPECT_EQ(GPUState_GetRenderState(&g_GPUState, GPU_RS_LIGHTING), 1u);
}

// --- Primitives, through a recorder that keeps what each submission brings ---------------

class RecordingTest : public ThreeDTest {
protected:
    void SetUp() override {
        ThreeDTest::SetUp();
        g_ActiveRecorder = &m_recorder;
    }
    GraphicsRecorder m_recorder;
    std::vector<Vertex3D>& Triangles() { return m_recorder.lists[0].vertices; }
    std::vector<Vertex3D>& Lines() { return m_recorder.lists[1].vertices; }
};

TEST_F(RecordingTest, LongStripsSplitWithoutBreakingTheLineOrTheWinding) {
    GR_D3D_Primitive_Begin(3, -1);
    for (int32_t i = 0; i < 2500; ++i) GR_D3D_Vertex(static_cast<float>(i), 0, 0);
    GR_D3D_Primitive_End();
    ASSERT_EQ(Lines().size(), 2u * 2499);
    for (size_t s = 0; s < 2499; ++s) {
        EXPECT_EQ(Lines()[2 * s].x, static_cast<float>(s));
        EXPECT_EQ(Lines()[2 * s + 1].x, static_cast<float>(s + 1));
    }
    // A triangle strip of 1001: 999 triangles, every one wound as the unsplit strip winds it.
    GR_D3D_Primitive_Begin(5, -1);
    for (int32_t i = 0; i < 1001; ++i) GR_D3D_Vertex(static_cast<float>(i), 0, 0);
    GR_D3D_Primitive_End();
    ASSERT_EQ(Triangles().size(), 3u * 999);
    for (int32_t k = 0; k < 999; ++k) {
        const float first = static_cast<float>(k % 2 == 0 ? k : k + 2);
        EXPECT_EQ(Triangles()[3 * k].x, first) << k;
        EXPECT_EQ(Triangles()[3 * k + 1].x, static_cast<float>(k + 1)) << k;
    }
    // A triangle list splits after 999 vertices: no triangle cut in two.
    Triangles().clear();
    GR_D3D_Primitive_Begin(4, -1);
    for (int32_t i = 0; i < 1200; ++i) GR_D3D_Vertex(static_cast<float>(i / 3), 0, 0);
    GR_D3D_Primitive_End();
    ASSERT_EQ(Triangles().size(), 1200u);
    for (size_t t = 0; t < 400; ++t) EXPECT_EQ(Triangles()[3 * t].x, Triangles()[3 * t + 2].x);
}

TEST_F(RecordingTest, VertexColoursAndShapeSizes) {
    GR_Draw_Set_Colour(0xFFFFFF);
    GR_D3D_Primitive_Begin(1, -1);
    GR_D3D_Vertex_Colour(0, 0, 0, 0x0000FF, 0.5f);
    GR_D3D_Vertex_Colour(0, 0, 0, 0, 1);
    GR_D3D_Vertex(0, 0, 0);
    GR_D3D_Primitive_End();
    const auto& points = m_recorder.lists[2].vertices;
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].colour, 0x7FFF0000u);
    EXPECT_EQ(points[1].colour, 0xFF010000u);
    EXPECT_EQ(points[2].colour & 1u, 0u);

    struct Case {
        int32_t steps;
        size_t triangles;
    } const cylinders[] = {{2, 6}, {500, 256}};
    for (const Case& c : cylinders) {
        Triangles().clear();
        GR_D3D_Draw_Cylinder(0, 0, 0, 10, 10, 10, -1, 1, 1, false, c.steps);
        EXPECT_EQ(Triangles().size(), 3 * c.triangles) << c.steps;
    }
    Triangles().clear();
    GR_D3D_Draw_Ellipsoid(0, 0, 0, 10, 10, 10, -1, 1, 1, 24);
    EXPECT_EQ(Triangles().size(), 3u * 12 * 48);  // 12 bands of 25 vertex pairs
    Triangles().clear();
    GR_D3D_Draw_Wall(0, 0, 0, 0, 0, 10, -1, 1, 1);  // length 0
    EXPECT_TRUE(Triangles().empty());
    GR_D3D_Draw_Block(0, 0, 0, 1, 1, 1, -1, 1, 1);
    EXPECT_EQ(Triangles().size(), 36u);
}

// --- Models --------------------------------------------------------------------------------

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST_F(ThreeDTest, SavedBlockModelMatchesTheFileFormat) {
    const int32_t model = static_cast<int32_t>(CallReal("d3d_model_create"));
    CallBuiltin("d3d_model_block", {R(model), R(0), R(0), R(0), R(1), R(-2), R(3.5), R(1), R(1)});
    const std::string path = TempPath("hv_threed_block.txt");
    ASSERT_TRUE(Model3D_Save_By_Index(model, path.c_str()));
    // Each field: a blank and the value right-aligned in ten characters with four decimals.
    std::string expected = "100\r\n1\r\n10";
    for (const char* field : {"0.0000", "0.0000", "0.0000", "1.0000", "-2.0000", "3.5000", "1.0000", "1.0000",
                              "0.0000", "0.0000"})
        expected += " " + std::string(10 - std::strlen(field), ' ') + field;
    expected += "\r\n";
    EXPECT_EQ(ReadFile(path), expected);
    std::remove(path.c_str());
}

TEST_F(ThreeDTest, ModelFilesLoadWithEitherLineEndAndRefuseBadHeadersAndCounts) {
    const int32_t model = Model3D_Create();
    const std::string path = TempPath("hv_threed_load.txt");
    const std::string cylinder = "11 0 0 0 1 1 1 1 1 1 24";
    struct Case {
        std::string text;
        bool loads;
        size_t commands;
    } const cases[] = {
        {"100\r\n1\r\n" + cylinder + "\r\n", true, 1},
        {"100\n1\n" + cylinder + "\n", true, 1},
        {"100 \n1\n" + cylinder + "\n", false, 0},
        {"100\n-5\n", false, 0},
        {"100\n999999999\n", false, 0},
        {"100\n3\n" + cylinder + "\n", true, 1},  // announces more lines than it holds
        {"", false, 0},
    };
    for (const Case& c : cases) {
        WriteFile(path, c.text);
        EXPECT_EQ(Model3D_Load_By_Index(model, path.c_str()), c.loads) << c.text;
        ASSERT_EQ(Model3D_Get(model)->commands.size(), c.commands) << c.text;
        if (c.commands) {
            const ModelCommand& command = Model3D_Get(model)->commands[0];
            EXPECT_EQ(command.type, 11);
            EXPECT_EQ(command.values[8], 1u);
            EXPECT_EQ(command.values[9], 24u);
        }
    }
    std::remove(path.c_str());
    LastError();
    EXPECT_EQ(CallReal("d3d_model_load", {R(model),
                                          [] {
                                              RValue name = RValue_Undefined();
                                              RValue_SetStringBytes(&name, "no_such_model.txt", 17);
                                              return name;
                                          }()}),
              0);
    EXPECT_NE(s_log.find("d3d_model_load - unable to find file no_such_model.txt"), std::string::npos);
}

TEST_F(ThreeDTest, ModelsRecordOncePerTextureAndRecolourPlainVertices) {
    OpenInFrame();
    const int32_t model = Model3D_Create();
    Model3D_Destroy_By_Index(model);
    EXPECT_EQ(Model3D_Create(), model);
    const float begin[1] = {5};
    Model3D_Add_Command(model, 0, begin, 1);
    for (int32_t i = 0; i < 5; ++i) {
        const float v[3] = {static_cast<float>(i), 0, 0};
        Model3D_Add_Command(model, 2, v, 3);
    }
    Model3D_Add_Command(model, 1, nullptr, 0);
    GR_Draw_Set_Colour(0x0000FF);
    Model3D_Draw_By_Index(model, 0, 0, 0, -1);
    Model3D* m = Model3D_Get(model);
    ASSERT_EQ(m->recorders.size(), 1u);
    const auto& triangles = m->recorders[0]->lists[0].vertices;
    ASSERT_EQ(triangles.size(), 9u);
    const float order[9] = {0, 1, 2, 3, 2, 1, 2, 3, 4};
    for (int32_t i = 0; i < 9; ++i) EXPECT_EQ(triangles[static_cast<size_t>(i)].x, order[i]);
    EXPECT_GE(Trace().Find("DrawPrimitive(4,0,3)"), 0);
    Model3D_Draw_By_Index(model, 0, 0, 0, 7);
    Model3D_Draw_By_Index(model, 0, 0, 0, -1);
    EXPECT_EQ(m->recorders.size(), 2u);
    GR_Draw_Set_Colour(0x00FF00);
    Model3D_Draw_By_Index(model, 0, 0, 0, -1);
    EXPECT_EQ(triangles[0].colour, GR_D3D_Vertex_Draw_Colour());

    // Own colours stay when the draw colour changes.
    const int32_t coloured = Model3D_Create();
    Model3D_Add_Command(coloured, 0, begin, 1);
    for (int32_t i = 0; i < 3; ++i) {
        const float v[5] = {static_cast<float>(i), 0, 0, 0, 1};
        const int32_t ints[5] = {0, 0, 0, 0x0000FF, 0};
        Model3D_Add_Command(coloured, 3, v, 5, 1u << 3, ints);
    }
    Model3D_Add_Command(coloured, 1, nullptr, 0);
    Model3D_Draw_By_Index(coloured, 0, 0, 0, -1);
    GR_Draw_Set_Colour(0xFFFFFF);
    Model3D_Draw_By_Index(coloured, 0, 0, 0, -1);
    EXPECT_EQ(Model3D_Get(coloured)->recorders[0]->lists[0].vertices[0].colour, 0xFFFF0000u);
}

}  // namespace threed_test
