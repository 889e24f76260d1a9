// Shaders: the "SHDR" chunk's entries, each compiled at load into a device program, the
// shader the game wants and the one the device has, and the uniforms of the current shader.
// A shader is addressed by its index in the table; -1 means none (the fixed-function stages).
//
// On this platform source texts 1 and 2 of an entry (the GLSL ES vertex and fragment
// programs) are what gets compiled; the other texts and the precompiled blobs are kept unread.
// Uniforms are described as constant registers of four values (GpuUniformDesc): the setters
// lay values out in registers and the device hands them to the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class GpuShaderProgram;
class ChunkView;

// The device half of a compiled shader.
struct ShaderD3D {
    GpuShaderProgram* program = nullptr;  // one reference
};

enum ShaderBuiltinUniform : int32_t {
    SHADER_U_MATRICES,
    SHADER_U_LIGHTS_DIRECTION,
    SHADER_U_LIGHTS_POSRANGE,
    SHADER_U_LIGHTS_COLOUR,
    SHADER_U_AMBIENT_COLOUR,
    SHADER_U_LIGHTING_ENABLED,
    SHADER_U_COUNT,
};

struct ShaderRecord {
    int32_t index = -1;
    const char* name = nullptr;  // texts and blobs point into the loaded data file
    int32_t kind = 1;
    const char* texts[8] = {};
    const uint8_t* blobs[4] = {};
    const uint8_t* extraBlobs[2] = {};
    int32_t blobSizes[4] = {};
    bool failed = false;  // the error text below is set
    std::string errorText;
    uint8_t errorStage = 0;  // 0 the vertex program failed, 1 the fragment program
    std::vector<const char*> attributes;
    ShaderD3D* device = nullptr;
    int32_t baseTextureSampler = -1;
    int32_t builtinUniforms[SHADER_U_COUNT] = {-1, -1, -1, -1, -1, -1};
};

// The table.
void Shader_Load(ChunkView& chunk);
void Shader_FreeAll();
ShaderRecord* Shader_Add(const char* name, int32_t kind, const char* const texts[8],
                         const uint8_t* const blobs[4], const int32_t blobSizes[4],
                         const uint8_t* const extraBlobs[2], std::vector<const char*> attributes);
ShaderRecord* Shader_Get(int32_t index);
bool Shader_Exists(int32_t index);
int32_t Shader_Find(const char* name);
int32_t Shader_Count();
// Registers the "SHDR" reader with the loader and the shader step of asset lookups.
void Shader_RegisterChunkReader();

// Wanted and current shader.
void Shader_Set_Wanted(ShaderRecord* record);
void Shader_Apply();
bool Shader_Apply_Pending();
ShaderRecord* Shader_Current();
ShaderRecord* Shader_Wanted();
// The texture stage the batch binds its texture on: 0 without a shader, else the shader's
// base-texture sampler (-1 when it has none, which binds nothing).
int32_t Shader_Base_Texture_Stage();
// The current shader takes the matrix set again (the matrix setter calls this).
void Shader_Matrices_Changed();
// The device went away or was reset: every record forgets its program (and the device its
// current shader); Shader_Recompile_All makes them again.
void Shader_Release_All_Device();
void Shader_Recompile_All();

// The device half.
bool GR_Shader_Compile(ShaderRecord* record);
void GR_Shader_Build_Uniforms(ShaderRecord* record);
int32_t GR_Shader_Get_Uniform(const ShaderRecord* record, const char* name);
int32_t GR_Shader_Get_Sampler_Index(const ShaderRecord* record, const char* name);
void GR_Shader_Set(ShaderRecord* record);
bool GR_Shader_Set_Uniform_F(int32_t uniform, int32_t count, double a, double b, double c, double d);
bool GR_Shader_Set_Uniform_I(int32_t uniform, int32_t count, double a, double b, double c, double d);
bool GR_Shader_Set_Uniform_B(int32_t uniform, int32_t count, double a, double b, double c, double d);
bool GR_Shader_Set_Uniform_F_Array(int32_t uniform, int32_t count, const float* values);
bool GR_Shader_Set_Uniform_I_Array(int32_t uniform, int32_t count, const int32_t* values);
bool GR_Shader_Set_Uniform_Matrix(int32_t uniform, int32_t matrixCount, const float* values);
void GR_Shader_Release(ShaderD3D* shader);

// A texture argument: a texture id in use names that texture; a page-entry handle names its
// entry's texture, which must be in use (false when it is not); anything else means none.
struct TextureRecord;
bool Shader_Resolve_Texture(int32_t handle, TextureRecord** out);

// What shader_set and shader_reset do, for the room drawing: -1 selects no shader, an index
// outside the table reports "Illegal shader handle" and changes nothing.
void Shader_Set_Index(int32_t index);
void Shader_Reset();

// Registers the shader built-ins.
void InitShaderFunctions();
