#include "graphics/Graphics_3D.h"

#include <algorithm>
#include <cmath>

#include "graphics/GPUState.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Matrix.h"

bool g_3DMode = false;
float g_DrawDepth = 0.0f;
bool g_SpriteCullBypass = false;

namespace {

constexpr double kDegreesToRadians = 0.01745329238474369;

Matrix4 g_transformStack[GR_TRANSFORM_STACK_SLOTS];
int32_t g_transformTop = -1;

void SetWorld(const Matrix4& world) {
    GR_D3D_Set_Matrix(GR_MATRIX_WORLD, world);
    GR_Mark_Transform_Dirty();
}

void AddToWorld(const Matrix4& transform) {
    Matrix4 world, product;
    GR_D3D_Get_Matrix(GR_MATRIX_WORLD, &world);
    Matrix_Multiply(&product, world, transform);
    SetWorld(product);
}

void SetView(const Matrix4& view) {
    GR_D3D_Set_Matrix(GR_MATRIX_VIEW, view);
    GR_Mark_Transform_Dirty();
}

void SetProjection(const Matrix4& projection) {
    GR_D3D_Set_Matrix(GR_MATRIX_PROJECTION, projection);
    GR_Mark_Transform_Dirty();
}

void LookAt(float xfrom, float yfrom, float zfrom, float xto, float yto, float zto, float xup, float yup,
            float zup) {
    const float eye[3] = {xfrom, yfrom, zfrom}, target[3] = {xto, yto, zto}, up[3] = {xup, yup, zup};
    Matrix4 view;
    Matrix_Build_LookAt(&view, eye, target, up);
    SetView(view);
}

Matrix4 Translation(float x, float y, float z) {
    Matrix4 m = Matrix_Identity;
    m.m[12] = x;
    m.m[13] = y;
    m.m[14] = z;
    return m;
}

Matrix4 Scaling(float x, float y, float z) {
    Matrix4 m = {};
    m.m[0] = x;
    m.m[5] = y;
    m.m[10] = z;
    m.m[15] = 1;
    return m;
}

// The axis builder turns the other way about z, so it is given the angle negated.
Matrix4 AxisRotation(float x, float y, float z, float angle) {
    float axis[3] = {x, y, z};
    Matrix4 m;
    Matrix_Build_Rotation_Axis(&m, axis, -angle);
    return m;
}

template <void (*Build)(Matrix4*, float)>
Matrix4 Rotation(float angle) {
    Matrix4 m;
    Build(&m, angle);
    return m;
}

}  // namespace

bool GR_D3D_Set_3D_Mode(bool on) {
    if (on == g_3DMode) return true;
    GraphicsFlush();
    g_3DMode = on;
    GR_D3D_Set_Perspective(on);
    GR_D3D_Set_Hidden(on);
    return true;
}

void GR_Set_Depth(float depth) {
    g_DrawDepth = g_3DMode || g_GRHooks.layerMode() ? std::clamp(depth, -16000.0f, 16000.0f) : 0.0f;
}

void GR_D3D_Set_Projection(float xfrom, float yfrom, float zfrom, float xto, float yto, float zto, float xup,
                           float yup, float zup) {
    LookAt(xfrom, yfrom, zfrom, xto, yto, zto, xup, yup, zup);
}

void GR_D3D_Set_Projection_Ext(float xfrom, float yfrom, float zfrom, float xto, float yto, float zto,
                               float xup, float yup, float zup, float angle, float aspect, float znear,
                               float zfar) {
    LookAt(xfrom, yfrom, zfrom, xto, yto, zto, xup, yup, zup);
    g_Projection = {false, znear, zfar};
    Matrix4 projection;
    Matrix_Build_Perspective_Fov(&projection, static_cast<float>(angle * kDegreesToRadians), aspect, znear,
                                 zfar);
    SetProjection(projection);
    g_SpriteCullBypass = false;
}

void GR_D3D_Set_Projection_Ortho(float x, float y, float width, float height, float angle) {
    const double a = -angle * 3.1415927f / 180;
    const float cx = x + width / 2, cy = y + height / 2;
    LookAt(cx, cy, -16000.0f, cx, cy, 0.0f, static_cast<float>(std::sin(a)), static_cast<float>(std::cos(a)),
           0.0f);
    g_Projection = {true, 1.0f, 32000.0f};
    Matrix4 projection;
    Matrix_Build_Ortho(&projection, width, -height, 1.0f, 32000.0f);
    SetProjection(projection);
    g_SpriteCullBypass = true;
}

void GR_D3D_Set_Projection_Perspective(float x, float y, float width, float height, float angle) {
    const double a = -angle * kDegreesToRadians;
    const float cx = x + width / 2, cy = y + height / 2;
    LookAt(cx, cy, -width, cx, cy, 0.0f, static_cast<float>(std::sin(a)), static_cast<float>(std::cos(a)),
           0.0f);
    g_Projection = {false, 1.0f, 32000.0f};
    Matrix4 projection;
    Matrix_Build_Perspective(&projection, width / width, height / width, 1.0f, 32000.0f);
    SetProjection(projection);
    g_SpriteCullBypass = false;
}

void GR_Transform_Set_Identity() {
    SetWorld(Matrix_Identity);
}
void GR_Transform_Set_Translation(float x, float y, float z) {
    SetWorld(Translation(x, y, z));
}
void GR_Transform_Set_Scaling(float x, float y, float z) {
    SetWorld(Scaling(x, y, z));
}
void GR_Transform_Set_Rotation_X(float angle) {
    SetWorld(Rotation<Matrix_Build_Rotation_X>(angle));
}
void GR_Transform_Set_Rotation_Y(float angle) {
    SetWorld(Rotation<Matrix_Build_Rotation_Y>(angle));
}
void GR_Transform_Set_Rotation_Z(float angle) {
    SetWorld(Rotation<Matrix_Build_Rotation_Z>(angle));
}
void GR_Transform_Set_Rotation_Axis(float x, float y, float z, float angle) {
    SetWorld(AxisRotation(x, y, z, angle));
}

void GR_Transform_Add_Translation(float x, float y, float z) {
    AddToWorld(Translation(x, y, z));
}
void GR_Transform_Add_Scaling(float x, float y, float z) {
    AddToWorld(Scaling(x, y, z));
}
void GR_Transform_Add_Rotation_X(float angle) {
    AddToWorld(Rotation<Matrix_Build_Rotation_X>(angle));
}
void GR_Transform_Add_Rotation_Y(float angle) {
    AddToWorld(Rotation<Matrix_Build_Rotation_Y>(angle));
}
void GR_Transform_Add_Rotation_Z(float angle) {
    AddToWorld(Rotation<Matrix_Build_Rotation_Z>(angle));
}
void GR_Transform_Add_Rotation_Axis(float x, float y, float z, float angle) {
    AddToWorld(AxisRotation(x, y, z, angle));
}

void GR_Transform_Stack_Clear() {
    g_transformTop = -1;
}
bool GR_Transform_Stack_Empty() {
    return g_transformTop < 0;
}

bool GR_Transform_Stack_Push() {
    if (g_transformTop >= GR_TRANSFORM_STACK_SLOTS - 1) return false;
    GR_D3D_Get_Matrix(GR_MATRIX_WORLD, &g_transformStack[++g_transformTop]);
    return true;
}

bool GR_Transform_Stack_Pop() {
    if (g_transformTop < 0) return false;
    SetWorld(g_transformStack[g_transformTop--]);
    return true;
}

bool GR_Transform_Stack_Top() {
    if (g_transformTop < 0) return false;
    GR_D3D_Set_Matrix(GR_MATRIX_WORLD, g_transformStack[g_transformTop]);
    return true;
}

bool GR_Transform_Stack_Discard() {
    if (g_transformTop < 0) return false;
    --g_transformTop;
    return true;
}

void GR_Transform_Vertex(float* x, float* y, float* z) {
    Matrix4 world;
    GR_D3D_Get_Matrix(GR_MATRIX_WORLD, &world);
    const float* m = world.m;
    const double px = *x, py = *y, pz = *z;
    *x = static_cast<float>(px * m[0] + py * m[4] + pz * m[8] + m[12]);
    *y = static_cast<float>(px * m[1] + py * m[5] + pz * m[9] + m[13]);
    *z = static_cast<float>(px * m[2] + py * m[6] + pz * m[10] + m[14]);
}

void GR_D3D_View_Changed() {}
