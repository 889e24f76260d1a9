#include "graphics/Graphics_Matrix.h"

#include <cmath>

#include "graphics/GPUState.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/ShaderM.h"

Matrix4 g_Matrices[5] = {Matrix_Identity, Matrix_Identity, Matrix_Identity, Matrix_Identity, Matrix_Identity};
GRViewRecord g_ViewRecord = {};
GRBounds g_ViewBounds = {};
GRBounds g_VisibleBounds = {};
bool g_VisibleBoundsDirty = true;
GRProjection g_Projection = {true, 1.0f, 32000.0f};
bool g_Perspective = true;
bool g_HalfPixelAdjust = true;
float g_PrimitiveOffsetX = 0.0f, g_PrimitiveOffsetY = 0.0f;

namespace {

// Degrees to radians through the single-precision constant nearest pi / 180.
constexpr double kDegreesToRadians = 0.01745329238474369;

float Radians(float degrees) {
    return static_cast<float>(degrees * 0.017453292f);
}

const D3DTRANSFORMSTATETYPE kTransformOf[3] = {D3DTS_VIEW, D3DTS_PROJECTION, D3DTS_WORLD};

float Dot3(const float a[3], const float b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void Cross3(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

void GR_D3D_Get_Matrix(int32_t index, Matrix4* out) {
    if (index >= 0 && index < 5) *out = g_Matrices[index];
}

void GR_D3D_Set_Matrix(int32_t index, const Matrix4& matrix) {
    if (!g_D3D.device || index < 0 || index > 2) return;
    GraphicsFlush();
    Matrix4& target = g_Matrices[index];
    target = matrix;
    // A viewport without size (minimised window, nothing set yet) has no pixels to centre on.
    if (index == GR_MATRIX_PROJECTION && g_HalfPixelAdjust && g_Viewport.width > 0 && g_Viewport.height > 0) {
        g_PrimitiveOffsetX = g_PrimitiveOffsetY = 1.0f;
        target.m[12] -= 1.0f / static_cast<float>(g_Viewport.width);
        target.m[13] += 1.0f / static_cast<float>(g_Viewport.height);
    }
    Matrix_Multiply(&g_Matrices[GR_MATRIX_WORLD_VIEW], g_Matrices[GR_MATRIX_WORLD],
                    g_Matrices[GR_MATRIX_VIEW]);
    Matrix_Multiply(&g_Matrices[GR_MATRIX_WORLD_VIEW_PROJECTION], g_Matrices[GR_MATRIX_WORLD_VIEW],
                    g_Matrices[GR_MATRIX_PROJECTION]);
    g_D3D.device->SetTransform(kTransformOf[index], target.m);
    if (index == GR_MATRIX_PROJECTION) GR_Set_Fog_Range();
    if (index == GR_MATRIX_VIEW) GR_D3D_View_Changed();
    Shader_Matrices_Changed();
}

void GR_D3D_Set_Perspective(bool on) {
    g_Perspective = on;
}

void GR_D3D_Set_View_Projection(float x, float y, float width, float height, float angle) {
    g_ViewRecord = {x, y, width, height, angle};
    GR_Compute_View_Bounds(x, y, width, height, angle);
    const float cx = x + width / 2, cy = y + height / 2;
    const double radians = -angle * kDegreesToRadians;
    const float up[3] = {static_cast<float>(std::sin(radians)), static_cast<float>(std::cos(radians)), 0.0f};
    const float target[3] = {cx, cy, 0.0f};
    g_Projection.nearPlane = 1.0f;
    g_Projection.farPlane = 32000.0f;
    Matrix4 view, projection;
    if (g_3DMode && g_Perspective) {
        const float eye[3] = {cx, cy, -width};
        Matrix_Build_LookAt(&view, eye, target, up);
        g_Projection.orthographic = false;
        Matrix_Build_Perspective(&projection, 1.0f, height / width, 1.0f, 32000.0f);
    } else {
        const float eye[3] = {cx, cy, -16000.0f};
        Matrix_Build_LookAt(&view, eye, target, up);
        g_Projection.orthographic = true;
        // 2-D keeps y growing downwards.
        Matrix_Build_Ortho(&projection, width, g_3DMode ? height : -height, 1.0f, 32000.0f);
    }
    GR_D3D_Set_Matrix(GR_MATRIX_VIEW, view);
    GR_D3D_Set_Matrix(GR_MATRIX_PROJECTION, projection);
}

void GR_Compute_View_Bounds(float x, float y, float width, float height, float angle) {
    if (std::fabs(angle) < 0.001f) {
        g_ViewBounds.left = static_cast<int32_t>(x - 0.999);
        g_ViewBounds.top = static_cast<int32_t>(y - 0.999);
        g_ViewBounds.right = static_cast<int32_t>(x + width + 0.999);
        g_ViewBounds.bottom = static_cast<int32_t>(y + height + 0.999);
        return;
    }
    const double radians = angle * kDegreesToRadians;
    const double s = std::fabs(std::sin(radians)), c = std::fabs(std::cos(radians));
    const double boxWidth = c * width + s * height, boxHeight = s * width + c * height;
    g_ViewBounds.left = static_cast<int32_t>(x + (width - boxWidth) / 2);
    g_ViewBounds.right = static_cast<int32_t>(x + (width + boxWidth) / 2);
    g_ViewBounds.top = static_cast<int32_t>(y + (height - boxHeight) / 2);
    g_ViewBounds.bottom = static_cast<int32_t>(y + (height + boxHeight) / 2);
}

void GR_Mark_Transform_Dirty() {
    g_VisibleBoundsDirty = true;
}

void GR_Compute_Visible_Bounds() {
    if (!g_VisibleBoundsDirty) return;
    Matrix4 inverse = g_Matrices[GR_MATRIX_WORLD];
    Matrix_Inverse(&inverse);
    const float* m = inverse.m;
    const float xs[4] = {float(g_ViewBounds.left), float(g_ViewBounds.right), float(g_ViewBounds.right),
                         float(g_ViewBounds.left)};
    const float ys[4] = {float(g_ViewBounds.top), float(g_ViewBounds.top), float(g_ViewBounds.bottom),
                         float(g_ViewBounds.bottom)};
    for (int corner = 0; corner < 4; ++corner) {
        const int32_t x = static_cast<int32_t>(xs[corner] * m[0] + ys[corner] * m[4] + m[12]);
        const int32_t y = static_cast<int32_t>(xs[corner] * m[1] + ys[corner] * m[5] + m[13]);
        if (corner == 0 || x < g_VisibleBounds.left) g_VisibleBounds.left = x;
        if (corner == 0 || x > g_VisibleBounds.right) g_VisibleBounds.right = x;
        if (corner == 0 || y < g_VisibleBounds.top) g_VisibleBounds.top = y;
        if (corner == 0 || y > g_VisibleBounds.bottom) g_VisibleBounds.bottom = y;
    }
    g_VisibleBoundsDirty = false;
}

void Matrix_Multiply(Matrix4* out, const Matrix4& a, const Matrix4& b) {
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a.m[row * 4 + k] * b.m[k * 4 + column];
            out->m[row * 4 + column] = sum;
        }
    }
}

bool Matrix_Inverse(Matrix4* matrix) {
    const float* a = matrix->m;
    float c[16];  // cofactors, already transposed (the adjugate)
    c[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] +
           a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
    c[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] - a[8] * a[7] * a[14] -
           a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
    c[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] +
           a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
    c[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] - a[8] * a[6] * a[13] -
            a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
    const float determinant = a[0] * c[0] + a[1] * c[4] + a[2] * c[8] + a[3] * c[12];
    if (determinant == 0.0f) return false;
    c[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] - a[9] * a[3] * a[14] -
           a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
    c[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] +
           a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
    c[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] -
           a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
    c[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] +
            a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
    c[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
           a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
    c[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] -
           a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
    c[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] +
            a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
    c[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] -
            a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
    c[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] -
           a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
    c[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
           a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
    c[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
            a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
    c[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] +
            a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
    for (int i = 0; i < 16; ++i) matrix->m[i] = c[i] / determinant;
    return true;
}

void Vector3_Normalise(const float in[3], float out[3]) {
    const float length = std::sqrt(in[0] * in[0] + in[1] * in[1] + in[2] * in[2]);
    out[0] = in[0] / length;
    out[1] = in[1] / length;
    out[2] = in[2] / length;
}

void Matrix_Build_LookAt(Matrix4* out, const float eye[3], const float target[3], const float up[3]) {
    const float forward[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    float z[3], u[3], x[3], y[3], t[3];
    Vector3_Normalise(forward, z);
    Vector3_Normalise(up, u);
    Cross3(u, z, t);
    Vector3_Normalise(t, x);
    Cross3(z, x, t);
    Vector3_Normalise(t, y);
    *out = {{x[0], y[0], z[0], 0, x[1], y[1], z[1], 0, x[2], y[2], z[2], 0, -Dot3(x, eye), -Dot3(y, eye),
             -Dot3(z, eye), 1}};
}

void Matrix_Build_Rotation_X(Matrix4* out, float degrees) {
    const float r = Radians(degrees), c = std::cos(r), s = std::sin(r);
    *out = {{1, 0, 0, 0, 0, c, -s, 0, 0, s, c, 0, 0, 0, 0, 1}};
}

void Matrix_Build_Rotation_Y(Matrix4* out, float degrees) {
    const float r = Radians(degrees), c = std::cos(r), s = std::sin(r);
    *out = {{c, 0, s, 0, 0, 1, 0, 0, -s, 0, c, 0, 0, 0, 0, 1}};
}

void Matrix_Build_Rotation_Z(Matrix4* out, float degrees) {
    const float r = Radians(degrees), c = std::cos(r), s = std::sin(r);
    *out = {{c, -s, 0, 0, s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}

void Matrix_Build_Rotation_Axis(Matrix4* out, float axis[3], float degrees) {
    Vector3_Normalise(axis, axis);
    const float r = Radians(degrees), c = std::cos(r), s = std::sin(r), t = 1 - c;
    const float x = axis[0], y = axis[1], z = axis[2];
    *out = {{c + t * x * x, t * x * y + s * z, t * x * z - s * y, 0,  //
             t * x * y - s * z, c + t * y * y, t * y * z + s * x, 0,  //
             t * x * z + s * y, t * y * z - s * x, c + t * z * z, 0,  //
             0, 0, 0, 1}};
}

void Matrix_Build_Perspective_Fov(Matrix4* out, float fov, float aspect, float nearPlane, float farPlane) {
    if (fov == 0 || aspect == 0 || nearPlane == farPlane) {
        *out = Matrix_Identity;
        return;
    }
    const float yScale = 1.0f / std::tan(fov / 2);
    *out = {};
    out->m[0] = yScale / aspect;
    out->m[5] = yScale;
    out->m[10] = farPlane / (farPlane - nearPlane);
    out->m[11] = 1;
    out->m[14] = -nearPlane * farPlane / (farPlane - nearPlane);
}

void Matrix_Build_Perspective(Matrix4* out, float width, float height, float nearPlane, float farPlane) {
    if (width == 0 || height == 0 || nearPlane == farPlane) {
        *out = Matrix_Identity;
        return;
    }
    *out = {};
    out->m[0] = 2 * nearPlane / width;
    out->m[5] = 2 * nearPlane / height;
    out->m[10] = farPlane / (farPlane - nearPlane);
    out->m[11] = 1;
    out->m[14] = -nearPlane * farPlane / (farPlane - nearPlane);
}

void Matrix_Build_Ortho(Matrix4* out, float width, float height, float nearPlane, float farPlane) {
    if (width == 0 || height == 0 || nearPlane == farPlane) {
        *out = Matrix_Identity;
        return;
    }
    *out = {};
    out->m[0] = 2 / width;
    out->m[5] = 2 / height;
    out->m[10] = 1 / (farPlane - nearPlane);
    out->m[14] = nearPlane / (nearPlane - farPlane);
    out->m[15] = 1;
}

void Matrix_Build_Transform(Matrix4* out, float x, float y, float z, float xrotation, float yrotation,
                            float zrotation, float xscale, float yscale, float zscale) {
    constexpr double kRadians = 0.01745329238474369;
    const double ax = -xrotation * kRadians, ay = -yrotation * kRadians, az = -zrotation * kRadians;
    const double sx = std::sin(ax), cx = std::cos(ax), sy = std::sin(ay), cy = std::cos(ay);
    const double sz = std::sin(az), cz = std::cos(az);
    const double m[16] = {(cy * cz - sy * sx * sz) * xscale,
                          (sy * sx * cz + sz * cy) * yscale,
                          -sy * cx * zscale,
                          0,
                          -sz * cx * xscale,
                          cz * cx * yscale,
                          sx * zscale,
                          0,
                          (sx * sz * cy + cz * sy) * xscale,
                          (sz * sy - sx * cz * cy) * yscale,
                          cy * cx * zscale,
                          0,
                          x,
                          y,
                          z,
                          1};
    for (int32_t i = 0; i < 16; ++i) out->m[i] = static_cast<float>(m[i]);
}
