#include <cmath>

#include "base/Error_Report.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Array.h"
#include "core/Value_Convert.h"
#include "graphics/Function_3D_Rows.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/TexturesM.h"

namespace {

constexpr double kDegreesToRadians = 0.01745329238474369;
constexpr int32_t kMatrixStackSlots = 51;

struct Plane {
    float a, b, c, d;
};

Plane s_Frustum[6] = {};
Matrix4 s_MatrixStack[kMatrixStackSlots];
int32_t s_MatrixStackTop = 0;

void Fatal(const char* text) {
    Error_Report(text, true);
}

// A matrix type of matrix_get and matrix_set (0 view, 1 projection, 2 world); -1 after the report.
int32_t MatrixType(RValue* args) {
    const int32_t type = Arg_GetInt32(args, 0);
    if (type >= 0 && type <= 2) return type;
    Fatal("Illegal matrix type");
    return -1;
}

void F_MatrixGet(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t type = MatrixType(args);
    if (type < 0) return;
    Matrix4 matrix;
    GR_D3D_Get_Matrix(type, &matrix);
    ReturnMatrix(result, matrix);
}

void F_MatrixSet(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const int32_t type = MatrixType(args);
    if (type < 0) return;
    Matrix4 matrix;
    if (!MatrixFromValue(args[1], &matrix)) return Fatal("Illegal matrix");
    GR_D3D_Set_Matrix(type, matrix);
}

void F_MatrixBuildIdentity(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    ReturnMatrix(result, Matrix_Identity);
}

void F_MatrixBuild(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc != 9) return Fatal("Illegal argument count or type");
    for (int32_t i = 0; i < 9; ++i)
        if (!RValue_IsReal(&args[i])) return Fatal("Illegal argument type");
    float values[9];
    for (int32_t i = 0; i < 9; ++i) values[i] = static_cast<float>(args[i].val);
    Matrix4 matrix;
    Matrix_Build_Transform(&matrix, values[0], values[1], values[2], values[3], values[4], values[5],
                           values[6], values[7], values[8]);
    ReturnMatrix(result, matrix);
}

void F_MatrixBuildLookAt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    float v[9];
    for (int32_t i = 0; i < 9; ++i) v[i] = Arg_GetFloat(args, i);
    Matrix4 matrix;
    Matrix_Build_LookAt(&matrix, v, v + 3, v + 6);
    ReturnMatrix(result, matrix);
}

void F_MatrixBuildProjectionOrtho(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Matrix4 matrix;
    Matrix_Build_Ortho(&matrix, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                       Arg_GetFloat(args, 3));
    ReturnMatrix(result, matrix);
}

void F_MatrixBuildProjectionPerspective(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const float width = Arg_GetFloat(args, 0), height = Arg_GetFloat(args, 1);
    if (width == 0 || height == 0)
        return Fatal("matrix_build_projection_perspective() - can't have width or height of zero");
    Matrix4 matrix;
    Matrix_Build_Perspective(&matrix, width, height, Arg_GetFloat(args, 2), Arg_GetFloat(args, 3));
    ReturnMatrix(result, matrix);
}

void F_MatrixBuildProjectionPerspectiveFov(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const float fov = Arg_GetFloat(args, 0), aspect = Arg_GetFloat(args, 1);
    if (fov == 0 || aspect == 0)
        return Fatal("matrix_build_projection_perspective_fov() - can't have fov or aspect of zero");
    Matrix4 matrix;
    Matrix_Build_Perspective_Fov(&matrix, static_cast<float>(fov * kDegreesToRadians), aspect,
                                 Arg_GetFloat(args, 2), Arg_GetFloat(args, 3));
    ReturnMatrix(result, matrix);
}

void F_MatrixMultiply(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc != 2) return Fatal("Illegal argument count");
    const ArrayRow* a = ArrayArgumentRow(args[0]);
    const ArrayRow* b = ArrayArgumentRow(args[1]);
    if (!a || !b) return Fatal("Illegal argument type");
    Matrix4 ma, mb, product;
    if (a->length != 16 || b->length != 16 || !MatrixFromValue(args[0], &ma) ||
        !MatrixFromValue(args[1], &mb))
        return Fatal("Illegal matrix");
    Matrix_Multiply(&product, ma, mb);
    ReturnMatrix(result, product);
}

// A short first row reads its missing elements as 0, so nothing past the row is read.
void F_MatrixTransformVertex(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const ArrayRow* row = ArrayArgumentRow(args[0]);
    if (!row) return Fatal("Illegal argument type");
    double m[16] = {};
    for (int32_t i = 0; i < 16 && i < row->length; ++i) m[i] = RValue_ToReal(&row->items[i]);
    const double x = Arg_GetReal(args, 1), y = Arg_GetReal(args, 2), z = Arg_GetReal(args, 3);
    const double out[3] = {x * m[0] + y * m[4] + z * m[8] + m[12], x * m[1] + y * m[5] + z * m[9] + m[13],
                           x * m[2] + y * m[6] + z * m[10] + m[14]};
    ReturnRealArray(result, 3, out);
}

void F_FrustumBuild(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    Matrix4 view, projection, m;
    GR_D3D_Get_Matrix(GR_MATRIX_VIEW, &view);
    GR_D3D_Get_Matrix(GR_MATRIX_PROJECTION, &projection);
    Matrix_Multiply(&m, view, projection);
    auto column = [&m](int32_t j, int32_t k) { return m.m[j + 4 * k]; };
    // Planes as (sign0 x c0 or c1 or c2) + c3 in the order left, right, top, bottom, near, far.
    struct Recipe {
        int32_t col;
        float sign, withC3;
    } const recipes[6] = {{0, 1, 1}, {0, -1, 1}, {1, -1, 1}, {1, 1, 1}, {2, 1, 0}, {2, -1, 1}};
    for (int32_t p = 0; p < 6; ++p) {
        float v[4];
        for (int32_t k = 0; k < 4; ++k)
            v[k] = recipes[p].withC3 * column(3, k) + recipes[p].sign * column(recipes[p].col, k);
        float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (length == 0) length = 1;  // a degenerate matrix keeps its planes as they are, not NaN
        s_Frustum[p] = {v[0] / length, v[1] / length, v[2] / length, v[3] / length};
    }
    result = RValue_Real(0);
}

void F_FrustumTestSphere(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1), z = Arg_GetFloat(args, 2);
    const float r = Arg_GetFloat(args, 3);
    for (const Plane& plane : s_Frustum) {
        if (plane.a * x + plane.b * y + plane.c * z + plane.d + r < 0) {
            result = RValue_Real(0);
            return;
        }
    }
    result = RValue_Real(1);
}

void F_DrawFlush(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    GraphicsFlush();
    result = RValue_Real(0);
}

void F_DrawTextureFlush(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    GraphicsFlush();
    GR_Texture_Flush_All();
    result = RValue_Real(0);
}

// --- The matrix stack: it only stores matrices; scripts apply one with matrix_set. ---------

void F_MatrixStackPush(RValue&, CInstance*, CInstance*, int32_t argc, RValue* args) {
    Matrix4 pushed = Matrix_Identity;
    if (argc >= 1) {
        if (!ArrayArgumentRow(args[0]))
            return Error_Report("matrix_stack_push() - argument must be matrix", false);
        if (!MatrixFromValue(args[0], &pushed)) return Fatal("matrix_stack_multiply() - matrix not valid");
    }
    if (s_MatrixStackTop >= kMatrixStackSlots - 1) return Fatal("matrix_stack_push() - stack is full");
    const Matrix4& below = s_MatrixStack[s_MatrixStackTop];
    Matrix4& top = s_MatrixStack[++s_MatrixStackTop];
    if (argc >= 1)
        Matrix_Multiply(&top, below, pushed);
    else
        top = below;
}

void F_MatrixStackPop(RValue&, CInstance*, CInstance*, int32_t, RValue*) {
    if (s_MatrixStackTop > 0)
        --s_MatrixStackTop;
    else
        s_MatrixStack[0] = Matrix_Identity;
}

void F_MatrixStackSet(RValue&, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc != 1 || !ArrayArgumentRow(args[0]))
        return Error_Report("matrix_stack_set() - expects matrix", false);
    Matrix4 matrix;
    if (!MatrixFromValue(args[0], &matrix)) return Fatal("matrix_stack_set() - Illegal matrix");
    s_MatrixStack[s_MatrixStackTop] = matrix;
}

void F_MatrixStackClear(RValue&, CInstance*, CInstance*, int32_t, RValue*) {
    s_MatrixStackTop = 0;
    s_MatrixStack[0] = Matrix_Identity;
}

void F_MatrixStackTop(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    ReturnMatrix(result, s_MatrixStack[s_MatrixStackTop]);
}

void F_MatrixStackIsEmpty(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(s_MatrixStackTop == 0 ? 1 : 0);
}

}  // namespace

const ArrayRow* ArrayArgumentRow(const RValue& value) {
    if (!RValue_IsArray(&value) || !value.arr) return nullptr;
    static const ArrayRow kEmpty = {0, 0, nullptr};
    return value.arr->rowCount > 0 ? &value.arr->rows[0] : &kEmpty;
}

bool MatrixFromValue(const RValue& value, Matrix4* out) {
    const ArrayRow* row = ArrayArgumentRow(value);
    if (!row || row->length < 16) return false;
    for (int32_t i = 0; i < 16; ++i) out->m[i] = static_cast<float>(RValue_ToReal(&row->items[i]));
    return true;
}

void ReturnMatrix(RValue& result, const Matrix4& matrix) {
    double values[16];
    for (int32_t i = 0; i < 16; ++i) values[i] = matrix.m[i];
    ReturnRealArray(result, 16, values);
}

void AddMatrixRows() {
    static const BuiltinRow kRows[] = {
        {"matrix_get", F_MatrixGet, 1, 1},
        {"matrix_set", F_MatrixSet, 2, 1},
        {"matrix_build_identity", F_MatrixBuildIdentity, 0, 1},
        {"matrix_build", F_MatrixBuild, 9, 1},
        {"matrix_build_lookat", F_MatrixBuildLookAt, 9, 1},
        {"matrix_build_projection_ortho", F_MatrixBuildProjectionOrtho, 4, 1},
        {"matrix_build_projection_perspective", F_MatrixBuildProjectionPerspective, 4, 1},
        {"matrix_build_projection_perspective_fov", F_MatrixBuildProjectionPerspectiveFov, 4, 1},
        {"matrix_multiply", F_MatrixMultiply, 2, 1},
        {"matrix_transform_vertex", F_MatrixTransformVertex, 4, 1},
        {"frustum_build", F_FrustumBuild, 0, 1},
        {"frustum_test_sphere", F_FrustumTestSphere, 4, 1},
        {"draw_texture_flush", F_DrawTextureFlush, 0, 0},
        {"draw_flush", F_DrawFlush, 0, 0},
    };
    Code_Function_AddRows(kRows);
}

void AddMatrixStackRows() {
    static const BuiltinRow kRows[] = {
        {"matrix_stack_push", F_MatrixStackPush, 0, 1}, {"matrix_stack_pop", F_MatrixStackPop, 0, 1},
        {"matrix_stack_set", F_MatrixStackSet, 1, 1},   {"matrix_stack_clear", F_MatrixStackClear, 0, 1},
        {"matrix_stack_top", F_MatrixStackTop, 0, 1},   {"matrix_stack_is_empty", F_MatrixStackIsEmpty, 0, 1},
    };
    Code_Function_AddRows(kRows);
    s_MatrixStackTop = 0;
    s_MatrixStack[0] = Matrix_Identity;
}
