#include <algorithm>
#include <vector>

#include "base/Error_Report.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/ShaderM.h"
#include "graphics/TexturesM.h"

namespace {

void Report(const char* text) {
    Error_Report(text, false);
}

// Before a uniform is written: the batch drawn, the shader the game asked for current.
void PrepareForUniforms() {
    GraphicsFlush();
    if (Shader_Apply_Pending()) Shader_Apply();
}

// The first row of an array argument; null after the report.
const ArrayRow* ArrayArgument(RValue* args, int32_t n) {
    const RValue& value = args[n];
    if (!RValue_IsArray(&value) || !value.arr) {
        Report("Illegal argument type");
        return nullptr;
    }
    static const ArrayRow kEmpty = {0, 0, nullptr};
    return value.arr->rowCount > 0 ? &value.arr->rows[0] : &kEmpty;
}

void F_ShaderSet(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Shader_Set_Index(Arg_GetInt32(args, 0));
}

void F_ShaderReset(RValue&, CInstance*, CInstance*, int32_t argc, RValue*) {
    if (argc != 0) return Report("shader_reset: Illegal argument count");
    Shader_Reset();
}

template <int32_t (*Lookup)(const ShaderRecord*, const char*)>
void F_ShaderLookup(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1);
    const int32_t index = Arg_GetInt32(args, 0);
    const ShaderRecord* record = Shader_Get(index);
    if (!record) return Report("Illegal shader handle");
    const char* name = Arg_GetString(args, 1);
    if (name) result = RValue_Real(Lookup(record, name));
}

template <bool (*Setter)(int32_t, int32_t, double, double, double, double)>
void F_ShaderSetUniform(RValue&, CInstance*, CInstance*, int32_t argc, RValue* args) {
    PrepareForUniforms();
    double values[4] = {};
    for (int32_t i = 1; i < std::min(argc, 5); ++i) values[i - 1] = Arg_GetReal(args, i);
    Setter(Arg_GetInt32(args, 0), argc - 1, values[0], values[1], values[2], values[3]);
}

void F_ShaderSetUniformIArray(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const ArrayRow* row = ArrayArgument(args, 1);
    if (!row) return;
    PrepareForUniforms();
    if (row->length <= 0) return Report("Illegal array count");
    std::vector<int32_t> values(static_cast<size_t>(row->length));
    for (int32_t i = 0; i < row->length; ++i) values[static_cast<size_t>(i)] = Arg_GetInt32(row->items, i);
    GR_Shader_Set_Uniform_I_Array(Arg_GetInt32(args, 0), row->length, values.data());
}

void F_ShaderSetUniformFArray(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const ArrayRow* row = ArrayArgument(args, 1);
    if (!row) return;
    PrepareForUniforms();
    if (row->length <= 0) return Report("Illegal array count");
    std::vector<float> values(static_cast<size_t>(row->length));
    for (int32_t i = 0; i < row->length; ++i) values[static_cast<size_t>(i)] = Arg_GetFloat(row->items, i);
    GR_Shader_Set_Uniform_F_Array(Arg_GetInt32(args, 0), row->length, values.data());
}

void F_ShaderSetUniformMatrix(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    PrepareForUniforms();
    Matrix4 world;
    GR_D3D_Get_Matrix(GR_MATRIX_WORLD, &world);
    GR_Shader_Set_Uniform_Matrix(Arg_GetInt32(args, 0), 1, world.m);
}

void F_ShaderSetUniformMatrixArray(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const ArrayRow* row = ArrayArgument(args, 1);
    if (!row) return;
    PrepareForUniforms();
    const int32_t count = row->length / 16 * 16;
    if (count <= 0) return Report("Illegal array count");
    std::vector<float> values(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) values[static_cast<size_t>(i)] = Arg_GetFloat(row->items, i);
    GR_Shader_Set_Uniform_Matrix(Arg_GetInt32(args, 0), count / 16, values.data());
}

void F_ShaderIsCompiled(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(0);
    const ShaderRecord* record = Shader_Get(Arg_GetInt32(args, 0));
    if (!record) return Report("Illegal shader handle");
    result = RValue_Real(record->failed ? 0 : 1);
}

void F_ShadersAreSupported(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(GR_D3D_Shader_Version() ? 1 : 0);
}

void F_TextureSetStage(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GraphicsFlush();
    TextureRecord* record = nullptr;
    if (!Shader_Resolve_Texture(Arg_GetNumberOrPointer(args, 1), &record)) return;
    GR_D3D_Set_Texture(Arg_GetInt32(args, 0), record);
}

template <bool Width>
void F_TextureGetTexelSize(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(1.0);
    TextureRecord* record = nullptr;
    if (!Shader_Resolve_Texture(Arg_GetNumberOrPointer(args, 0), &record) || !record) return;
    result = RValue_Real(1.0 / (Width ? GR_Texture_Width(record) : GR_Texture_Height(record)));
}

}  // namespace

void Shader_Set_Index(int32_t index) {
    ShaderRecord* record = nullptr;
    if (index != -1) {
        record = Shader_Get(index);
        if (!record) return Report("Illegal shader handle");
    }
    Shader_Set_Wanted(record);
    if (Shader_Apply_Pending()) Shader_Apply();
}

void Shader_Reset() {
    GraphicsFlush();
    Shader_Set_Wanted(nullptr);
    if (Shader_Apply_Pending()) Shader_Apply();
}

bool Shader_Resolve_Texture(int32_t handle, TextureRecord** out) {
    *out = nullptr;
    if (GR_Texture_Is_Page_Handle(handle)) {
        const TexturePageEntry* page = GR_Texture_Page_From_Handle(handle);
        if (!page || !GR_Texture_Exists(page->texture)) return false;
        *out = GR_Texture_Get(page->texture);
        return true;
    }
    if (GR_Texture_Exists(handle)) *out = GR_Texture_Get(handle);
    return true;
}

void InitShaderFunctions() {
    static const BuiltinRow kRows[] = {
        {"shader_set", F_ShaderSet, 1},
        {"shader_reset", F_ShaderReset, 1},
        {"shader_get_uniform", F_ShaderLookup<GR_Shader_Get_Uniform>, 2},
        {"shader_get_sampler_index", F_ShaderLookup<GR_Shader_Get_Sampler_Index>, 2},
        {"shader_set_uniform_i", F_ShaderSetUniform<GR_Shader_Set_Uniform_I>, -1},
        {"shader_set_uniform_f", F_ShaderSetUniform<GR_Shader_Set_Uniform_F>, -1},
        {"shader_set_uniform_i_array", F_ShaderSetUniformIArray, 2},
        {"shader_set_uniform_f_array", F_ShaderSetUniformFArray, 2},
        {"shader_set_uniform_matrix", F_ShaderSetUniformMatrix, 1},
        {"shader_set_uniform_matrix_array", F_ShaderSetUniformMatrixArray, 2},
        {"shader_is_compiled", F_ShaderIsCompiled, 1},
        {"shaders_are_supported", F_ShadersAreSupported, 0},
        {"texture_set_stage", F_TextureSetStage, 2},
        {"texture_get_texel_width", F_TextureGetTexelSize<true>, 1},
        {"texture_get_texel_height", F_TextureGetTexelSize<false>, 1},
    };
    static_assert(std::size(kRows) == 15);
    Code_Function_AddRows(kRows);
}
