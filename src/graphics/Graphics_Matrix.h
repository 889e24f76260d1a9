// Matrices of the device layer: 16 floats, row-major (m[row * 4 + column]), points as row
// vectors (p' = p x M, translation in elements 12..14); in A x B, A acts first. The set
// holds view, projection, world and the products world x view and world x view x projection.
#pragma once

#include <cstdint>

struct Matrix4 {
    float m[16];
};

enum GRMatrixIndex : int32_t {
    GR_MATRIX_VIEW = 0,
    GR_MATRIX_PROJECTION = 1,
    GR_MATRIX_WORLD = 2,
    GR_MATRIX_WORLD_VIEW = 3,
    GR_MATRIX_WORLD_VIEW_PROJECTION = 4,
};

struct GRViewRecord {
    float x, y, width, height, angle;
};

struct GRBounds {
    int32_t left, top, right, bottom;
};

struct GRProjection {
    bool orthographic;
    float nearPlane, farPlane;
};

extern Matrix4 g_Matrices[5];
extern GRViewRecord g_ViewRecord;  // the last GR_D3D_Set_View_Projection
extern GRBounds g_ViewBounds;      // pixels the current view covers
extern GRBounds g_VisibleBounds;   // world rectangle visible through view and world matrix
extern bool g_VisibleBoundsDirty;  // starts set
extern GRProjection g_Projection;
extern bool g_Perspective;      // default true
extern bool g_HalfPixelAdjust;  // default true
extern float g_PrimitiveOffsetX, g_PrimitiveOffsetY;

constexpr Matrix4 Matrix_Identity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

void GR_D3D_Get_Matrix(int32_t index, Matrix4* out);
void GR_D3D_Set_Matrix(int32_t index, const Matrix4& matrix);
void GR_D3D_Set_Perspective(bool on);
void GR_D3D_Set_View_Projection(float x, float y, float width, float height, float angle);
void GR_Compute_View_Bounds(float x, float y, float width, float height, float angle);
void GR_Mark_Transform_Dirty();
void GR_Compute_Visible_Bounds();

// out must be neither a nor b.
void Matrix_Multiply(Matrix4* out, const Matrix4& a, const Matrix4& b);
// False (and the matrix left as it was) when the determinant is exactly 0.
bool Matrix_Inverse(Matrix4* matrix);
void Vector3_Normalise(const float in[3], float out[3]);
void Matrix_Build_LookAt(Matrix4* out, const float eye[3], const float target[3], const float up[3]);
void Matrix_Build_Rotation_X(Matrix4* out, float degrees);
void Matrix_Build_Rotation_Y(Matrix4* out, float degrees);
void Matrix_Build_Rotation_Z(Matrix4* out, float degrees);
// Normalises the axis in place.
void Matrix_Build_Rotation_Axis(Matrix4* out, float axis[3], float degrees);
void Matrix_Build_Perspective_Fov(Matrix4* out, float fov, float aspect, float nearPlane, float farPlane);
void Matrix_Build_Perspective(Matrix4* out, float width, float height, float nearPlane, float farPlane);
void Matrix_Build_Ortho(Matrix4* out, float width, float height, float nearPlane, float farPlane);
// Rotation about y, then x, then z (degrees), then scaling, then translation by (x, y, z).
void Matrix_Build_Transform(Matrix4* out, float x, float y, float z, float xrotation, float yrotation,
                            float zrotation, float xscale, float yscale, float zscale);
