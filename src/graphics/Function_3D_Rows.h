// The row groups that Init3DFunctions adds, each kept beside its built-ins.
#pragma once

#include <cstdint>

struct RValue;
struct Matrix4;

// The first row of an array value; null when the value is not an array. An array without rows
// gives an empty row.
struct ArrayRow;
const ArrayRow* ArrayArgumentRow(const RValue& value);
// The 16 values of a script matrix; false when the value is not an array or its first row does
// not hold at least 16 values.
bool MatrixFromValue(const RValue& value, Matrix4* out);
void ReturnMatrix(RValue& result, const Matrix4& matrix);

void AddMatrixRows();       // matrix_*, frustum_*, draw_texture_flush, draw_flush
void AddMatrixStackRows();  // matrix_stack_*; also sets the base entry to the identity
void AddGPUStateRows();     // gpu_*
