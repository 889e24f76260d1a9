#include "graphics/ShaderM.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/Error_Report.h"
#include "base/GameFile.h"
#include "core/Code_Constant.h"
#include "core/Console.h"
#include "graphics/GPUState.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Light.h"
#include "graphics/Graphics_Matrix.h"
#include "platform/Device.h"

namespace {

std::vector<std::unique_ptr<ShaderRecord>> g_shaders;
ShaderRecord* g_wanted = nullptr;
ShaderRecord* g_current = nullptr;
bool g_applyPending = false;

constexpr const char* kBuiltinNames[SHADER_U_COUNT] = {"hv_Matrices",        "hv_Lights_Direction",
                                                       "hv_Lights_PosRange", "hv_Lights_Colour",
                                                       "hv_AmbientColour",   "hv_LightingEnabled"};

// The uniform of the current shader, or null when the index names none.
const GpuUniformDesc* CurrentUniform(int32_t uniform) {
    if (!g_current || !g_current->device || !g_current->device->program || uniform < 0) return nullptr;
    const auto& uniforms = g_current->device->program->Uniforms();
    return static_cast<size_t>(uniform) < uniforms.size() ? &uniforms[static_cast<size_t>(uniform)] : nullptr;
}

bool SendFloats(int32_t uniform, const float* registers, uint32_t count) {
    if (!g_D3D.device || count == 0) return false;
    return SUCCEEDED(g_D3D.device->SetShaderConstantF(static_cast<uint32_t>(uniform), registers, count));
}

bool SendInts(int32_t uniform, const int32_t* registers, uint32_t count) {
    if (!g_D3D.device || count == 0) return false;
    return SUCCEEDED(g_D3D.device->SetShaderConstantI(static_cast<uint32_t>(uniform), registers, count));
}

// The four values of a single-value setter: the first always, the others up to count.
template <typename T>
void FourValues(T out[4], int32_t count, double a, double b, double c, double d, T (*convert)(double)) {
    const double in[4] = {a, b, c, d};
    for (int32_t i = 0; i < 4; ++i) out[i] = i == 0 || count > i ? convert(in[i]) : T{};
}

float ToFloat(double value) {
    return static_cast<float>(value);
}
int32_t ToInt(double value) {
    return value >= -2147483648.0 && value < 2147483648.0 ? static_cast<int32_t>(value) : INT32_MIN;
}

// Values laid out one matrix row (or vector) per register: the direct path when the shape
// is vec4 and the values come in fours, else a zero-padded copy.
template <typename T>
uint32_t LayOutArray(const GpuUniformDesc& d, int32_t count, const T* values, std::vector<T>* out) {
    const auto n = static_cast<uint32_t>(count);
    const uint32_t cols = d.columns, rows = d.rows;
    if (cols == 4 && rows == 1 && n % 4 == 0) {
        out->assign(values, values + n);
        return std::min(n / 4, d.registerCount);
    }
    const uint32_t elements = (n + cols * rows - 1) / (cols * rows);
    out->assign(size_t{rows} * elements * 4, T{});
    for (uint32_t i = 0; i < n; ++i) (*out)[(i / cols) * 4 + i % cols] = values[i];
    return std::min(rows * elements, d.registerCount);
}

void ReadShader(ChunkView& chunk, uint32_t entry) {
    const char* name = chunk.String(chunk.FileU32(entry));
    uint32_t kind = chunk.FileU32(entry + 4);
    const char* texts[8];
    for (uint32_t i = 0; i < 8; ++i) texts[i] = chunk.String(chunk.FileU32(entry + 8 + 4 * i));
    const uint32_t count = chunk.FileCount(entry + 40, 4);
    std::vector<const char*> attributes;
    for (uint32_t i = 0; i < count; ++i)
        attributes.push_back(chunk.String(chunk.FileU32(entry + 44 + 4 * i)));
    const uint8_t* blobs[4] = {};
    const uint8_t* extra[2] = {};
    int32_t sizes[4] = {};
    if (kind & 0x80000000u) {
        kind &= 0x7FFFFFFFu;
        const uint32_t block = entry + 44 + 4 * count;
        const int32_t version = chunk.FileI32(block);
        auto pair = [&](uint32_t at, int32_t* size) -> const uint8_t* {
            const uint32_t offset = chunk.FileU32(at), bytes = chunk.FileU32(at + 4);
            if (size) *size = static_cast<int32_t>(bytes);
            return offset ? chunk.FileBytes(offset, size ? bytes : 0) : nullptr;
        };
        if (version >= 1)
            for (uint32_t i = 0; i < 4; ++i) blobs[i] = pair(block + 4 + 8 * i, &sizes[i]);
        if (version >= 2)
            for (uint32_t i = 0; i < 2; ++i) extra[i] = pair(block + 36 + 8 * i, nullptr);
    }
    if (!chunk.Ok()) return;
    ShaderRecord* record = Shader_Add(name ? name : "", static_cast<int32_t>(kind), texts, blobs, sizes,
                                      extra, std::move(attributes));
    if (!GR_Shader_Compile(record) && !record->failed) {
        DebugConsole.Output("Invalid shader (is it marked as incompatible type for this target?) \"%s\":\n",
                            record->name);
        record->failed = true;
        record->errorText = "Invalid shader";
    }
}

}  // namespace

// ---- the table -------------------------------------------------------------------------

void Shader_FreeAll() {
    for (auto& record : g_shaders) GR_Shader_Release(record->device);
    g_shaders.clear();
    g_wanted = g_current = nullptr;
    g_applyPending = false;
}

void Shader_Load(ChunkView& chunk) {
    Shader_FreeAll();
    const uint32_t count = chunk.Count(0, 4);
    for (uint32_t i = 0; i < count && chunk.Ok(); ++i) {
        const uint32_t entry = chunk.U32(4 + 4 * i);
        if (entry != 0) ReadShader(chunk, entry);
    }
}

ShaderRecord* Shader_Add(const char* name, int32_t kind, const char* const texts[8],
                         const uint8_t* const blobs[4], const int32_t blobSizes[4],
                         const uint8_t* const extraBlobs[2], std::vector<const char*> attributes) {
    auto record = std::make_unique<ShaderRecord>();
    record->index = static_cast<int32_t>(g_shaders.size());
    record->name = name;
    record->kind = kind;
    std::copy(texts, texts + 8, record->texts);
    std::copy(blobs, blobs + 4, record->blobs);
    std::copy(blobSizes, blobSizes + 4, record->blobSizes);
    std::copy(extraBlobs, extraBlobs + 2, record->extraBlobs);
    record->attributes = std::move(attributes);
    g_shaders.push_back(std::move(record));
    return g_shaders.back().get();
}

ShaderRecord* Shader_Get(int32_t index) {
    return index >= 0 && static_cast<size_t>(index) < g_shaders.size() ? g_shaders[index].get() : nullptr;
}

bool Shader_Exists(int32_t index) {
    return Shader_Get(index) != nullptr;
}

int32_t Shader_Count() {
    return static_cast<int32_t>(g_shaders.size());
}

int32_t Shader_Find(const char* name) {
    if (!name) return -1;
    for (const auto& record : g_shaders)
        if (record->name && std::strcmp(record->name, name) == 0) return record->index;
    return -1;
}

void Shader_RegisterChunkReader() {
    Form_RegisterChunkReader("SHDR", ChunkReader{Shader_Load, nullptr, Shader_FreeAll});
    Asset_SetFinder(ASSET_SHADER, Shader_Find);
}

// ---- wanted and current ------------------------------------------------------------------

void Shader_Set_Wanted(ShaderRecord* record) {
    if (record == g_wanted) return;
    g_wanted = record;
    g_applyPending = record != g_current;
}

bool Shader_Apply_Pending() {
    return g_applyPending;
}
ShaderRecord* Shader_Current() {
    return g_current;
}
ShaderRecord* Shader_Wanted() {
    return g_wanted;
}

int32_t Shader_Base_Texture_Stage() {
    return g_Batch.textureStage;
}

namespace {}  // namespace

void Shader_Matrices_Changed() {
    if (!g_current) return;
    float all[5 * 16];
    for (int32_t i = 0; i < 5; ++i) std::memcpy(all + 16 * i, g_Matrices[i].m, sizeof g_Matrices[i].m);
    GR_Shader_Set_Uniform_Matrix(g_current->builtinUniforms[SHADER_U_MATRICES], 5, all);
}

namespace {

// The lighting uniforms, copied from the light table; each slot's colour counts only while
// the slot is enabled.
void SendLights() {
    const LightTable& table = g_LightTable;
    float ambient[4];
    for (int32_t i = 0; i < 4; ++i) ambient[i] = static_cast<float>(table.ambient >> (8 * i) & 0xFF) / 255.0f;
    float directions[32], colours[32], positions[32];
    for (int32_t slot = 0; slot < 8; ++slot) {
        const LightSlot& light = table.slots[slot];
        for (int32_t i = 0; i < 4; ++i) {
            directions[4 * slot + i] = light.direction[i];
            colours[4 * slot + i] = light.colour[i] * light.enabled;
            positions[4 * slot + i] = light.position[i];
        }
    }
    const int32_t* u = g_current->builtinUniforms;
    GR_Shader_Set_Uniform_F_Array(u[SHADER_U_AMBIENT_COLOUR], 4, ambient);
    GR_Shader_Set_Uniform_F_Array(u[SHADER_U_LIGHTS_DIRECTION], 32, directions);
    GR_Shader_Set_Uniform_F_Array(u[SHADER_U_LIGHTS_COLOUR], 32, colours);
    GR_Shader_Set_Uniform_F_Array(u[SHADER_U_LIGHTS_POSRANGE], 32, positions);
    GR_Shader_Set_Uniform_B(u[SHADER_U_LIGHTING_ENABLED], 1, table.lighting ? 1 : 0, 0, 0, 0);
}

}  // namespace

void Shader_Apply() {
    GraphicsFlush();
    g_applyPending = false;
    g_current = g_wanted;
    GR_Shader_Set(g_current);
    if (!g_current) {
        g_Batch.textureStage = 0;
        return;
    }
    Shader_Matrices_Changed();
    g_Batch.textureStage = g_current->baseTextureSampler;
    SendLights();
}

void Shader_Release_All_Device() {
    g_current = nullptr;
    g_applyPending = g_wanted != nullptr;
    for (auto& record : g_shaders) {
        GR_Shader_Release(record->device);
        record->device = nullptr;
    }
}

void Shader_Recompile_All() {
    for (auto& record : g_shaders)
        if (!record->device && !record->failed) GR_Shader_Compile(record.get());
}

// ---- the device half ---------------------------------------------------------------------

bool GR_Shader_Compile(ShaderRecord* record) {
    const char* vertex = record->texts[0];
    const char* fragment = record->texts[1];
    if (!vertex || !*vertex || !fragment || !*fragment || !g_D3D.device) return false;
    GpuShaderProgram* program = nullptr;
    if (FAILED(g_D3D.device->CreateShaderProgram(vertex, fragment, record->attributes.data(),
                                                 static_cast<uint32_t>(record->attributes.size()),
                                                 &program)) ||
        !program) {
        record->failed = true;
        record->errorText = "D3DXCompile failed - result\n";
        record->errorStage = 0;
        return false;
    }
    // GL's compile and link status decide: a program that built with warnings is good.
    if (!program->Linked()) {
        const bool fragmentFailed = program->FailedStage() == 1;
        record->failed = true;
        record->errorText = program->Log();
        record->errorStage = fragmentFailed ? 1 : 0;
        DebugConsole.Output(fragmentFailed ? "Error in fragment shader \"%s\"\n\n %s\n"
                                           : "Error in vertex shader \"%s\":\n\n %s\n",
                            record->name, record->errorText.c_str());
        program->Release();
        return false;
    }
    record->device = new ShaderD3D{program};
    GR_Shader_Build_Uniforms(record);
    return true;
}

void GR_Shader_Build_Uniforms(ShaderRecord* record) {
    record->baseTextureSampler = GR_Shader_Get_Sampler_Index(record, "hv_BaseTexture");
    for (int32_t i = 0; i < SHADER_U_COUNT; ++i)
        record->builtinUniforms[i] = GR_Shader_Get_Uniform(record, kBuiltinNames[i]);
}

int32_t GR_Shader_Get_Uniform(const ShaderRecord* record, const char* name) {
    if (!record || !record->device || !record->device->program || !name) return -1;
    const auto& uniforms = record->device->program->Uniforms();
    // A name the compiler prefixed with "_" is found by the plain name first.
    const std::string prefixed = std::string("_") + name;
    for (size_t i = 0; i < uniforms.size(); ++i)
        if (uniforms[i].name == prefixed) return static_cast<int32_t>(i);
    for (size_t i = 0; i < uniforms.size(); ++i)
        if (uniforms[i].name == name) return static_cast<int32_t>(i);
    return -1;
}

int32_t GR_Shader_Get_Sampler_Index(const ShaderRecord* record, const char* name) {
    const int32_t uniform = GR_Shader_Get_Uniform(record, name);
    if (uniform < 0) return -1;
    return static_cast<int32_t>(
        record->device->program->Uniforms()[static_cast<size_t>(uniform)].registerIndex);
}

void GR_Shader_Set(ShaderRecord* record) {
    if (record && record->failed) {
        Error_ReportShader(record->name, record->errorStage == 1, record->errorText.c_str());
        return;
    }
    if (!g_D3D.device) return;
    g_D3D.device->SetShaderProgram(record && record->device ? record->device->program : nullptr);
}

bool GR_Shader_Set_Uniform_F(int32_t uniform, int32_t count, double a, double b, double c, double d) {
    if (!CurrentUniform(uniform)) return false;
    float values[4];
    FourValues(values, count, a, b, c, d, ToFloat);
    return SendFloats(uniform, values, 1);
}

bool GR_Shader_Set_Uniform_I(int32_t uniform, int32_t count, double a, double b, double c, double d) {
    if (!CurrentUniform(uniform)) return false;
    int32_t values[4];
    FourValues(values, count, a, b, c, d, ToInt);
    return SendInts(uniform, values, 1);
}

bool GR_Shader_Set_Uniform_B(int32_t uniform, int32_t count, double a, double b, double c, double d) {
    return GR_Shader_Set_Uniform_I(uniform, count, a, b, c, d);
}

bool GR_Shader_Set_Uniform_F_Array(int32_t uniform, int32_t count, const float* values) {
    const GpuUniformDesc* d = CurrentUniform(uniform);
    if (!d || count <= 0) return false;
    std::vector<float> registers;
    const uint32_t n = LayOutArray(*d, count, values, &registers);
    SendFloats(uniform, registers.data(), n);
    return true;
}

bool GR_Shader_Set_Uniform_I_Array(int32_t uniform, int32_t count, const int32_t* values) {
    const GpuUniformDesc* d = CurrentUniform(uniform);
    if (!d || count <= 0) return false;
    std::vector<int32_t> registers;
    const uint32_t n = LayOutArray(*d, count, values, &registers);
    SendInts(uniform, registers.data(), n);
    return true;
}

// Matrices are stored row-major for row vectors; read as GL columns they are the transpose,
// which is what the program's column-vector products need, so they go as stored.
bool GR_Shader_Set_Uniform_Matrix(int32_t uniform, int32_t matrixCount, const float* values) {
    if (!CurrentUniform(uniform) || matrixCount <= 0) return false;
    SendFloats(uniform, values, static_cast<uint32_t>(matrixCount) * 4);
    return true;
}

void GR_Shader_Release(ShaderD3D* shader) {
    if (!shader) return;
    if (shader->program) {
        if (g_D3D.device) g_D3D.device->SetShaderProgram(nullptr);
        shader->program->Release();
    }
    delete shader;
}
