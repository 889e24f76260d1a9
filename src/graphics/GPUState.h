// The GPU state cache: 36 render states and 8 x 4 sampler states in the runner's own
// numbering, each with the value wanted now and the value last sent. Setters only mark;
// GPUState_Apply, which GraphicsFlush calls after drawing the open batch, sends what
// changed. A 32-entry stack saves and restores the wanted states as a whole.
#pragma once

#include <cstdint>

enum GPURenderStateId : int32_t {
    GPU_RS_NONE0 = 0,
    GPU_RS_ZTESTENABLE = 1,
    GPU_RS_FILLMODE = 2,
    GPU_RS_SHADEMODE = 3,
    GPU_RS_ZWRITEENABLE = 4,
    GPU_RS_ALPHATESTENABLE = 5,
    GPU_RS_SRCBLEND = 6,
    GPU_RS_DESTBLEND = 7,
    GPU_RS_CULLMODE = 8,
    GPU_RS_ZFUNC = 9,
    GPU_RS_ALPHATESTREF = 10,
    GPU_RS_ALPHATESTFUNC = 11,
    GPU_RS_BLENDENABLE = 12,
    GPU_RS_FOGENABLE = 13,
    GPU_RS_NONE14 = 14,
    GPU_RS_FOGCOLOR = 15,
    GPU_RS_FOGTABLEMODE = 16,
    GPU_RS_FOGSTART = 17,
    GPU_RS_FOGEND = 18,
    GPU_RS_NONE19 = 19,
    GPU_RS_RANGEFOGENABLE = 20,
    GPU_RS_LIGHTING = 21,
    GPU_RS_NONE22 = 22,
    GPU_RS_FOGVERTEXMODE = 23,
    GPU_RS_COLORWRITEENABLE = 24,
    GPU_RS_STENCILENABLE = 25,
    GPU_RS_STENCILFAIL = 26,
    GPU_RS_STENCILZFAIL = 27,
    GPU_RS_STENCILPASS = 28,
    GPU_RS_STENCILFUNC = 29,
    GPU_RS_STENCILREF = 30,
    GPU_RS_STENCILMASK = 31,
    GPU_RS_STENCILWRITEMASK = 32,
    GPU_RS_SEPALPHAENABLE = 33,
    GPU_RS_SRCBLENDALPHA = 34,
    GPU_RS_DESTBLENDALPHA = 35,
    GPU_RS_COUNT = 36,
};

// Sampler kinds of each stage.
enum GPUSamplerKind : int32_t {
    GPU_SAMP_MAGFILTER = 0,
    GPU_SAMP_MINFILTER = 1,
    GPU_SAMP_ADDRESSU = 2,
    GPU_SAMP_ADDRESSV = 3
};

constexpr int32_t GPU_STAGES = 8;
constexpr int32_t GPU_SAMPLER_STATES = GPU_STAGES * 4;
constexpr int32_t GPU_STACK_DEPTH = 32;

struct GPUState {
    uint64_t renderDirty;
    uint64_t samplerDirty;
    uint32_t appliedRender[GPU_RS_COUNT];
    uint32_t appliedSampler[GPU_SAMPLER_STATES];
    uint32_t currentRender[GPU_RS_COUNT];
    uint32_t currentSampler[GPU_SAMPLER_STATES];
    uint64_t dirty;  // renderDirty | samplerDirty; the batch tests it
    uint32_t stack[GPU_STACK_DEPTH][GPU_RS_COUNT + GPU_SAMPLER_STATES];
    int32_t stackDepth;
};

extern GPUState g_GPUState;

// Default of each render state (the values the id table starts from).
extern const uint32_t GPU_RenderStateDefaults[GPU_RS_COUNT];

void GPUState_Init(GPUState* state);
void GPUState_SetRenderState(GPUState* state, int32_t id, uint32_t value);
void GPUState_SetSamplerState(GPUState* state, int32_t stage, int32_t kind, uint32_t value);
uint32_t GPUState_GetRenderState(const GPUState* state, int32_t id);
uint32_t GPUState_GetSamplerState(const GPUState* state, int32_t stage, int32_t kind);
void GPUState_Push(GPUState* state);
void GPUState_Pop(GPUState* state);
void GPUState_Apply(GPUState* state);
void GPUState_ApplyAll(GPUState* state);

// Flags kept beside the cache.
extern uint8_t g_TextureInterpolation[GPU_STAGES];  // default 1
extern uint8_t g_TextureRepeat[GPU_STAGES];         // default 0
extern bool g_HiddenSurface;                        // default true
extern bool g_FogOn;
extern uint32_t g_FogColour;  // device ARGB
extern float g_FogStart, g_FogEnd;

// Setters (on the one global cache).
void GR_Set_Blend_Mode_Ext(int32_t source, int32_t dest);
void GR_Set_Blend_Mode(int32_t mode);
void GR_Set_Colour_Write_Enable(bool red, bool green, bool blue, bool alpha);
void GR_D3D_Set_Culling(bool on);
void GR_D3D_Set_Hidden(bool on);
void GR_D3D_Set_Lighting(bool on);
void GR_D3D_Set_Shading(bool smooth);
void GR_D3D_Set_ZWriteEnable(bool on);
void GR_Set_Alpha_Test(bool on);
bool GR_Get_Alpha_Test();
void GR_Set_Alpha_Test_Ref(uint32_t value);
uint32_t GR_Get_Alpha_Test_Ref();
// colour is a game colour 0xBBGGRR; start and end are whole numbers.
void GR_Set_Fog(bool on, int32_t colour, int32_t start, int32_t end);
void GR_Set_Fog_Range();
void GR_Texture_Set_Interpolation(bool on);
void GR_Texture_Set_Interpolation_Ext(int32_t stage, bool on);
void GR_Texture_Set_Repeat(bool on);
void GR_Texture_Set_Repeat_Ext(int32_t stage, bool on);
bool GR_Texture_Get_Interpolation();
bool GR_Texture_Get_Repeat();
void GR_Texture_Set_Blending(bool on);

// Translation to the device.
void GR_D3D_Apply_Render_State(int32_t id, uint32_t value);
void GR_D3D_Apply_Sampler_State(int32_t stage, int32_t kind, uint32_t value);
uint32_t GR_D3D_Blend_Factor(uint32_t value);
uint32_t GR_D3D_Compare_Func(uint32_t value);
uint32_t GR_D3D_Stencil_Op(uint32_t value);
uint32_t GR_D3D_Fog_Mode(uint32_t value);
uint32_t GR_D3D_Cull_Mode(uint32_t value);
uint32_t GR_D3D_Fill_Mode(uint32_t value);
uint32_t GR_D3D_Shade_Mode(uint32_t value);
void GR_D3D_Normalize_Normals();
// 1 table fog, 2 vertex fog, 0 none.
int32_t GR_D3D_Get_Fog_Mode();
