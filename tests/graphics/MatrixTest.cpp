// Matrices, view and visible bounds, 3-D mode, projections and world transforms.
#include <cmath>

#include <vector>

#include "GraphicsFixture.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "graphics/Function_3D.h"
#include "base/GEN8.h"

namespace {

using MatrixTest = GraphicsTest;

void ExpectMatrixNear(const Matrix4& actual, const Matrix4& expected, float tolerance = 1e-5f) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual.m[i], expected.m[i], tolerance) << "element " << i;
}

Matrix4 World() {
    Matrix4 world;
    GR_D3D_Get_Matrix(GR_MATRIX_WORLD, &world);
    return world;
}

TEST_F(MatrixTest, ViewBoundsCoverEveryTouchedPixel) {
    struct Case {
        float x, y, w, h, angle;
        GRBounds expected;
    };
    const Case cases[] = {
        {0, 0, 640, 480, 0, {0, 0, 640, 480}},
        {10.5f, 10.5f, 100, 100, 0, {9, 9, 111, 111}},
        {0, 0, 100, 100, 90, {0, 0, 100, 100}},
        // The turned box is a hair wider than 100 (the angle goes through single precision).
        {0, 0, 200, 100, 90, {49, -50, 150, 150}},
    };
    for (const Case& c : cases) {
        GR_Compute_View_Bounds(c.x, c.y, c.w, c.h, c.angle);
        EXPECT_EQ(g_ViewBounds.left, c.expected.left) << c.x << "," << c.angle;
        EXPECT_EQ(g_ViewBounds.top, c.expected.top);
        EXPECT_EQ(g_ViewBounds.right, c.expected.right);
        EXPECT_EQ(g_ViewBounds.bottom, c.expected.bottom);
    }
}

TEST_F(MatrixTest, InverseUndoesAMatrixAndRefusesASingularOne) {
    Matrix4 rotation, translation, m, inverse, product;
    Matrix_Build_Rotation_Z(&rotation, 30);
    translation = Matrix_Identity;
    translation.m[12] = 5;
    translation.m[13] = -3;
    Matrix_Multiply(&m, rotation, translation);
    inverse = m;
    ASSERT_TRUE(Matrix_Inverse(&inverse));
    Matrix_Multiply(&product, m, inverse);
    ExpectMatrixNear(product, Matrix_Identity);

    Matrix4 singular = m;
    singular.m[4] = singular.m[5] = singular.m[6] = singular.m[7] = 0;
    const Matrix4 before = singular;
    EXPECT_FALSE(Matrix_Inverse(&singular));
    ExpectMatrixNear(singular, before, 0);
}

TEST_F(MatrixTest, ProjectionBuildersGiveTheIdentityForDegenerateSizes) {
    Matrix4 m;
    Matrix_Build_Ortho(&m, 640, 480, 5, 5);
    ExpectMatrixNear(m, Matrix_Identity, 0);
    Matrix_Build_Perspective(&m, 0, 480, 1, 100);
    ExpectMatrixNear(m, Matrix_Identity, 0);
    Matrix_Build_Perspective_Fov(&m, 1, 0, 1, 100);
    ExpectMatrixNear(m, Matrix_Identity, 0);
    Matrix_Build_Ortho(&m, 640, -480, 1, 32000);
    EXPECT_FLOAT_EQ(m.m[0], 2.0f / 640);
    EXPECT_FLOAT_EQ(m.m[5], -2.0f / 480);
    EXPECT_FLOAT_EQ(m.m[14], 1.0f / (1 - 32000));
}

TEST_F(MatrixTest, LookAtIsLeftHanded) {
    const float eye[3] = {320, 240, -16000}, target[3] = {320, 240, 0}, up[3] = {0, 1, 0};
    Matrix4 view;
    Matrix_Build_LookAt(&view, eye, target, up);
    ExpectMatrixNear(view, {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -320, -240, 16000, 1}});
}

TEST_F(MatrixTest, TheDefaultTwoDProjectionCarriesTheHalfPixelShift) {
    Open();
    const Matrix4& projection = g_Matrices[GR_MATRIX_PROJECTION];
    EXPECT_FLOAT_EQ(projection.m[12], -1.0f / 640);
    EXPECT_FLOAT_EQ(projection.m[13], 1.0f / 480);
    EXPECT_EQ(g_PrimitiveOffsetX, 1.0f);
    EXPECT_TRUE(g_Projection.orthographic);
}

TEST_F(MatrixTest, AViewportWithoutSizeGetsNoHalfPixelShift) {
    Open();
    GR_Set_Viewport(0, 0, 0, 0);
    GR_D3D_Set_View_Projection(0, 0, 0, 0, 0);
    for (float value : g_Matrices[GR_MATRIX_PROJECTION].m) EXPECT_TRUE(std::isfinite(value));
    EXPECT_EQ(g_Matrices[GR_MATRIX_PROJECTION].m[12], 0.0f);
}

TEST_F(MatrixTest, VisibleBoundsFollowTheWorldMatrix) {
    Open();
    GR_Transform_Set_Translation(100, 50, 0);
    GR_Compute_View_Bounds(0, 0, 640, 480, 0);
    GR_Compute_Visible_Bounds();
    EXPECT_EQ(g_VisibleBounds.left, -100);
    EXPECT_EQ(g_VisibleBounds.top, -50);
    EXPECT_EQ(g_VisibleBounds.right, 540);
    EXPECT_EQ(g_VisibleBounds.bottom, 430);
    EXPECT_FALSE(g_VisibleBoundsDirty);
}

TEST_F(MatrixTest, ThreeDModeSwitchesOnceAndSetsPerspectiveAndDepthTest) {
    OpenInFrame();
    GR_D3D_Set_Perspective(false);
    EXPECT_TRUE(GR_D3D_Set_3D_Mode(true));
    EXPECT_TRUE(g_Perspective);
    EXPECT_TRUE(g_HiddenSurface);
    EXPECT_EQ(g_GPUState.currentRender[GPU_RS_ZTESTENABLE], 1u);
    GR_D3D_Set_Perspective(false);
    EXPECT_TRUE(GR_D3D_Set_3D_Mode(true));
    EXPECT_FALSE(g_Perspective);  // the second start changed nothing
    GR_D3D_Set_3D_Mode(false);
    EXPECT_EQ(g_GPUState.currentRender[GPU_RS_ZTESTENABLE], 0u);
}

TEST_F(MatrixTest, DrawingDepthIsClampedIn3DAndZeroForOldTwoDGames) {
    static bool layerMode;
    g_GRHooks.layerMode = [] { return layerMode; };
    struct Case {
        bool threeD, layers;
        float depth, expected;
    };
    const Case cases[] = {{true, false, 20000, 16000},
                          {true, false, -20000, -16000},
                          {false, false, -5, 0},
                          {false, true, -5, -5},
                          {false, true, 16001, 16000}};
    for (const Case& c : cases) {
        g_3DMode = c.threeD;
        layerMode = c.layers;
        GR_Set_Depth(c.depth);
        EXPECT_EQ(g_DrawDepth, c.expected) << c.depth;
    }
}

TEST_F(MatrixTest, TransformStackHoldsFiftyOneMatrices) {
    Open();
    for (int i = 0; i < GR_TRANSFORM_STACK_SLOTS; ++i) EXPECT_TRUE(GR_Transform_Stack_Push()) << i;
    EXPECT_FALSE(GR_Transform_Stack_Push());
    GR_Transform_Stack_Clear();
    EXPECT_TRUE(GR_Transform_Stack_Empty());
    EXPECT_FALSE(GR_Transform_Stack_Pop());
    EXPECT_FALSE(GR_Transform_Stack_Top());
    EXPECT_FALSE(GR_Transform_Stack_Discard());
}

TEST_F(MatrixTest, StackTopRestoresWithoutRemoving) {
    Open();
    GR_Transform_Set_Translation(3, 4, 5);
    ASSERT_TRUE(GR_Transform_Stack_Push());
    GR_Transform_Set_Identity();
    g_VisibleBoundsDirty = false;
    ASSERT_TRUE(GR_Transform_Stack_Top());
    EXPECT_FALSE(g_VisibleBoundsDirty);  // Top leaves the bounds alone
    EXPECT_EQ(World().m[12], 3.0f);
    GR_Transform_Set_Identity();
    ASSERT_TRUE(GR_Transform_Stack_Pop());
    EXPECT_EQ(World().m[13], 4.0f);
    EXPECT_TRUE(g_VisibleBoundsDirty);
    EXPECT_TRUE(GR_Transform_Stack_Empty());
}

TEST_F(MatrixTest, AxisRotationAboutZTurnsLikeTheZRotation) {
    Open();
    GR_Transform_Set_Rotation_Z(30);
    const Matrix4 aboutZ = World();
    GR_Transform_Set_Rotation_Axis(0, 0, 1, 30);
    ExpectMatrixNear(World(), aboutZ);
    GR_Transform_Set_Rotation_Axis(0, 0, 2, 30);
    ExpectMatrixNear(World(), aboutZ);
}

TEST_F(MatrixTest, AddedTransformsApplyAfterThoseAlreadyThere) {
    Open();
    GR_Transform_Set_Translation(10, 0, 0);
    GR_Transform_Add_Rotation_Z(90);
    float x = 0, y = 0, z = 0;
    GR_Transform_Vertex(&x, &y, &z);
    EXPECT_NEAR(x, 0, 1e-4);
    EXPECT_NEAR(y, -10, 1e-4);
    EXPECT_NEAR(z, 0, 1e-4);

    GR_Transform_Set_Scaling(2, 3, 4);
    GR_Transform_Add_Translation(1, 1, 1);
    x = y = z = 1;
    GR_Transform_Vertex(&x, &y, &z);
    EXPECT_EQ(x, 3.0f);
    EXPECT_EQ(y, 4.0f);
    EXPECT_EQ(z, 5.0f);
}

TEST_F(MatrixTest, OrthographicProjectionOfARoomRectangle) {
    Open();
    GR_D3D_Set_Projection_Ortho(0, 0, 640, 480, 0);
    const Matrix4& view = g_Matrices[GR_MATRIX_VIEW];
    // The eye at (320, 240, -16000) looking along +z with y up.
    EXPECT_FLOAT_EQ(view.m[12], -320);
    EXPECT_FLOAT_EQ(view.m[13], -240);
    EXPECT_FLOAT_EQ(view.m[14], 16000);
    EXPECT_FLOAT_EQ(view.m[5], 1);
    const Matrix4& projection = g_Matrices[GR_MATRIX_PROJECTION];
    EXPECT_FLOAT_EQ(projection.m[0], 2.0f / 640);
    EXPECT_FLOAT_EQ(projection.m[5], -2.0f / 480);
    EXPECT_TRUE(g_Projection.orthographic);
    EXPECT_TRUE(g_SpriteCullBypass);
}

TEST_F(MatrixTest, PerspectiveProjectionShowsTheRectangleAtDepthZero) {
    Open();
    GR_D3D_Set_Projection_Perspective(0, 0, 640, 480, 0);
    EXPECT_FALSE(g_Projection.orthographic);
    EXPECT_FALSE(g_SpriteCullBypass);
    // The rectangle's corner lands on a corner of the view.
    const float corner[4] = {0, 0, 0, 1};
    const Matrix4& m = g_Matrices[GR_MATRIX_WORLD_VIEW_PROJECTION];
    float clip[4];
    for (int c = 0; c < 4; ++c) {
        clip[c] =
            corner[0] * m.m[c] + corner[1] * m.m[4 + c] + corner[2] * m.m[8 + c] + corner[3] * m.m[12 + c];
    }
    EXPECT_NEAR(std::fabs(clip[0] / clip[3]), 1, 1e-4);
    EXPECT_NEAR(std::fabs(clip[1] / clip[3]), 1, 1e-4);
}

}  // namespace

namespace {

// The transform rows exist only for games before the layer model, and drive the world matrix.
TEST_F(MatrixTest, TransformBuiltinsAreRowsOfOldGamesOnly) {
    const auto callRow = [](const char* name, std::vector<RValue> args) {
        int32_t id = -1;
        ASSERT_TRUE(Code_Function_Find(name, &id)) << name;
        RValue result{};
        Code_Function_Row(id)->function(result, nullptr, nullptr, int32_t(args.size()), args.data());
    };
    Open();
    Code_Function_Free();
    g_GameHeader.major = 1;
    Init3DFunctions();
    callRow("d3d_transform_set_translation", {RValue_Real(5), RValue_Real(6), RValue_Real(0)});
    callRow("d3d_transform_add_rotation_z", {RValue_Real(90)});
    callRow("d3d_transform_add_translation", {RValue_Real(1), RValue_Real(0), RValue_Real(0)});
    Matrix4 expected = Matrix_Identity;
    expected.m[12] = 7, expected.m[13] = -5, expected.m[0] = 0, expected.m[5] = 0;
    expected.m[1] = -1, expected.m[4] = 1;
    ExpectMatrixNear(World(), expected, 1e-4f);
    callRow("d3d_transform_set_identity", {});
    ExpectMatrixNear(World(), Matrix_Identity);

    Code_Function_Free();
    g_GameHeader.major = 2;
    Init3DFunctions();
    int32_t id = -1;
    EXPECT_FALSE(Code_Function_Find("d3d_transform_set_identity", &id));
    Code_Function_Free();
    g_GameHeader.major = 0;
}

}  // namespace
