#include "graphics/GPUState.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "core/Console.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Matrix.h"

GPUState g_GPUState;

// Ids 0..35 in order; 17 and 18 hold the bits of the floats 0.0 and 1.0.
const uint32_t GPU_RenderStateDefaults[GPU_RS_COUNT] = {
    0,           0, 3, 2, 1, 0, 5,  6, 0, 4, 0, 5, 1, 0,           0,           0, 0, 0x00000000u,
    0x3F800000u, 0, 0, 0, 0, 3, 15, 0, 1, 1, 1, 8, 0, 0xFFFFFFFFu, 0xFFFFFFFFu, 0, 5, 6};

uint8_t g_TextureInterpolation[GPU_STAGES] = {1, 1, 1, 1, 1, 1, 1, 1};
uint8_t g_TextureRepeat[GPU_STAGES] = {};
bool g_HiddenSurface = true;
bool g_FogOn = false;
uint32_t g_FogColour = 0;
float g_FogStart = 0.0f, g_FogEnd = 1.0f;

namespace {

constexpr uint64_t kAllRenderStates = (uint64_t{1} << GPU_RS_COUNT) - 1;
constexpr uint64_t kAllSamplerStates = (uint64_t{1} << GPU_SAMPLER_STATES) - 1;

uint32_t FloatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void UpdateCombined(GPUState* state) {
    state->dirty = state->renderDirty | state->samplerDirty;
}

// Makes `value` the wanted one; the bit says whether the device still has to hear of it.
void Want(uint32_t& current, uint32_t applied, uint64_t& mask, int32_t bit, uint32_t value) {
    if (value == applied) {
        mask &= ~(uint64_t{1} << bit);
    } else {
        mask |= uint64_t{1} << bit;
    }
    current = value;
}

int16_t Saturate16(int32_t value) {
    return static_cast<int16_t>(std::clamp<int32_t>(value, -32768, 32767));
}

}  // namespace

void GPUState_Init(GPUState* state) {
    std::fill(std::begin(g_TextureInterpolation), std::end(g_TextureInterpolation), uint8_t{1});
    std::fill(std::begin(g_TextureRepeat), std::end(g_TextureRepeat), uint8_t{0});
    g_HiddenSurface = true;
    g_Perspective = true;
    g_FogOn = false;
    g_FogColour = 0;
    g_FogStart = 0.0f;
    g_FogEnd = 1.0f;
    state->renderDirty = kAllRenderStates;
    std::copy(std::begin(GPU_RenderStateDefaults), std::end(GPU_RenderStateDefaults), state->appliedRender);
    std::copy(std::begin(GPU_RenderStateDefaults), std::end(GPU_RenderStateDefaults), state->currentRender);
    std::fill(std::begin(state->appliedSampler), std::end(state->appliedSampler), 0u);
    std::fill(state->currentSampler, state->currentSampler + 4, 0u);
    // The device may still hold sampler values from before a restart that the applied copy
    // no longer shows, so every sampler state is sent again.
    state->samplerDirty = kAllSamplerStates;
    UpdateCombined(state);
    state->stackDepth = 0;
}

void GPUState_SetRenderState(GPUState* state, int32_t id, uint32_t value) {
    if (value == state->currentRender[id]) return;
    Want(state->currentRender[id], state->appliedRender[id], state->renderDirty, id, value);
    UpdateCombined(state);
}

void GPUState_SetSamplerState(GPUState* state, int32_t stage, int32_t kind, uint32_t value) {
    const int32_t index = stage * 4 + kind;
    if (value == state->currentSampler[index]) return;
    Want(state->currentSampler[index], state->appliedSampler[index], state->samplerDirty, index, value);
    UpdateCombined(state);
}

uint32_t GPUState_GetRenderState(const GPUState* state, int32_t id) {
    return id >= 0 && id < GPU_RS_COUNT ? state->currentRender[id] : 0;
}

uint32_t GPUState_GetSamplerState(const GPUState* state, int32_t stage, int32_t kind) {
    if (stage < 0 || stage >= GPU_STAGES || kind < 0 || kind > 3) return 0;
    return state->currentSampler[stage * 4 + kind];
}

void GPUState_Push(GPUState* state) {
    if (state->stackDepth >= GPU_STACK_DEPTH) {
        DebugConsole.Output("GPU state stack has run out of space\n");
        return;
    }
    uint32_t* entry = state->stack[state->stackDepth++];
    std::copy(std::begin(state->currentRender), std::end(state->currentRender), entry);
    std::copy(std::begin(state->currentSampler), std::end(state->currentSampler), entry + GPU_RS_COUNT);
}

void GPUState_Pop(GPUState* state) {
    if (state->stackDepth == 0) {
        DebugConsole.Output("Attempting to drop below bottom of GPU state stack\n");
    } else {
        --state->stackDepth;
    }
    const uint32_t* entry = state->stack[state->stackDepth];
    for (int32_t id = 0; id < GPU_RS_COUNT; ++id) {
        if (entry[id] != state->currentRender[id]) {
            Want(state->currentRender[id], state->appliedRender[id], state->renderDirty, id, entry[id]);
        }
    }
    for (int32_t index = 0; index < GPU_SAMPLER_STATES; ++index) {
        const uint32_t value = entry[GPU_RS_COUNT + index];
        if (value != state->currentSampler[index]) {
            Want(state->currentSampler[index], state->appliedSampler[index], state->samplerDirty, index,
                 value);
        }
    }
    UpdateCombined(state);
}

void GPUState_Apply(GPUState* state) {
    if (state->renderDirty) {
        for (int32_t id = 0; id < GPU_RS_COUNT; ++id) {
            if (!(state->renderDirty >> id & 1)) continue;
            GR_D3D_Apply_Render_State(id, state->currentRender[id]);
            state->appliedRender[id] = state->currentRender[id];
        }
        state->renderDirty = 0;
    }
    if (state->samplerDirty) {
        for (int32_t index = 0; index < GPU_SAMPLER_STATES; ++index) {
            if (!(state->samplerDirty >> index & 1)) continue;
            GR_D3D_Apply_Sampler_State(index / 4, index % 4, state->currentSampler[index]);
            state->appliedSampler[index] = state->currentSampler[index];
        }
        state->samplerDirty = 0;
    }
    state->dirty = 0;
}

void GPUState_ApplyAll(GPUState* state) {
    state->renderDirty = kAllRenderStates;
    state->samplerDirty = kAllSamplerStates;
    GPUState_Apply(state);
}

// ---- setters ---------------------------------------------------------------------------

void GR_Set_Blend_Mode_Ext(int32_t source, int32_t dest) {
    GPUState_SetRenderState(&g_GPUState, GPU_RS_SRCBLEND, static_cast<uint32_t>(source));
    GPUState_SetRenderState(&g_GPUState, GPU_RS_SRCBLENDALPHA, static_cast<uint32_t>(source));
    GPUState_SetRenderState(&g_GPUState, GPU_RS_DESTBLEND, static_cast<uint32_t>(dest));
    GPUState_SetRenderState(&g_GPUState, GPU_RS_DESTBLENDALPHA, static_cast<uint32_t>(dest));
}

void GR_Set_Blend_Mode(int32_t mode) {
    switch (mode) {
        case 1:
            GR_Set_Blend_Mode_Ext(5, 2);
            break;  // bm_add
        case 2:
            GR_Set_Blend_Mode_Ext(5, 4);
            break;  // bm_max
        case 3:
            GR_Set_Blend_Mode_Ext(1, 4);
            break;  // bm_subtract
        default:
            GR_Set_Blend_Mode_Ext(5, 6);
            break;
    }
}

void GR_Set_Colour_Write_Enable(bool red, bool green, bool blue, bool alpha) {
    const uint32_t mask = (red ? 1u : 0u) | (green ? 2u : 0u) | (blue ? 4u : 0u) | (alpha ? 8u : 0u);
    GPUState_SetRenderState(&g_GPUState, GPU_RS_COLORWRITEENABLE, mask);
}

void GR_D3D_Set_Culling(bool on) {
    GPUState_SetRenderState(&g_GPUState, GPU_RS_CULLMODE, on ? 2 : 0);
}

void GR_D3D_Set_Hidden(bool on) {
    g_HiddenSurface = on;
    GPUState_SetRenderState(&g_GPUState, GPU_RS_ZTESTENABLE, g_3DMode && on ? 1 : 0);
}

void GR_D3D_Set_Lighting(bool on) {
    GPUState_SetRenderState(&g_GPUState, GPU_RS_LIGHTING, on ? 1 : 0);
}

void GR_D3D_Set_Shading(bool smooth) {
    GPUState_SetRenderState(&g_GPUState, GPU_RS_SHADEMODE, smooth ? 2 : 1);
}

void GR_D3D_Set_ZWriteEnable(bool on) {
    GPUState_SetRenderState(&g_GPUState, GPU_RS_ZWRITEENABLE, on ? 1 : 0);
}

void GR_Set_Alpha_Test(bool on) {
    if (g_D3D.device) GPUState_SetRenderState(&g_GPUState, GPU_RS_ALPHATESTENABLE, on ? 1 : 0);
}

bool GR_Get_Alpha_Test() {
    return g_GPUState.currentRender[GPU_RS_ALPHATESTENABLE] != 0;
}

void GR_Set_Alpha_Test_Ref(uint32_t value) {
    GPUState_SetRenderState(&g_GPUState, GPU_RS_ALPHATESTREF, value);
}

uint32_t GR_Get_Alpha_Test_Ref() {
    return g_GPUState.currentRender[GPU_RS_ALPHATESTREF];
}

void GR_Set_Fog(bool on, int32_t colour, int32_t start, int32_t end) {
    g_FogOn = on;
    const uint32_t bgr = static_cast<uint32_t>(colour);
    g_FogColour = 0xFF000000u | (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
    // Distances beyond 16 bits stop at the edge of the range rather than wrapping round.
    g_FogStart = Saturate16(start);
    g_FogEnd = Saturate16(end);
    const int32_t kind = GR_D3D_Get_Fog_Mode();
    if (on && kind != 0) {
        GPUState_SetRenderState(&g_GPUState, GPU_RS_FOGENABLE, 1);
        if (kind == 1) {
            GPUState_SetRenderState(&g_GPUState, GPU_RS_FOGTABLEMODE, 3);
        } else {
            GPUState_SetRenderState(&g_GPUState, GPU_RS_FOGVERTEXMODE, 3);
            GPUState_SetRenderState(&g_GPUState, GPU_RS_RANGEFOGENABLE, 1);
        }
        GPUState_SetRenderState(&g_GPUState, GPU_RS_FOGCOLOR, g_FogColour);
        GR_Set_Fog_Range();
    } else {
        g_FogOn = false;
        GPUState_SetRenderState(&g_GPUState, GPU_RS_FOGENABLE, 0);
    }
}

void GR_Set_Fog_Range() {
    float start = g_FogStart, end = g_FogEnd;
    if (g_Projection.orthographic) {
        const float span = g_Projection.farPlane - g_Projection.nearPlane;
        start = (g_FogStart - g_Projection.nearPlane) / span;
        end = (g_FogEnd - g_Projection.nearPlane) / span;
    }
    GPUState_SetRenderState(&g_GPUState, GPU_RS_FOGSTART, FloatBits(start));
    GPUState_SetRenderState(&g_GPUState, GPU_RS_FOGEND, FloatBits(end));
}

void GR_Texture_Set_Interpolation_Ext(int32_t stage, bool on) {
    if (stage < 0 || stage >= GPU_STAGES) return;
    g_TextureInterpolation[stage] = on ? 1 : 0;
    GPUState_SetSamplerState(&g_GPUState, stage, GPU_SAMP_MAGFILTER, on ? 0 : 1);
    GPUState_SetSamplerState(&g_GPUState, stage, GPU_SAMP_MINFILTER, on ? 0 : 1);
}

void GR_Texture_Set_Interpolation(bool on) {
    for (int32_t stage = 0; stage < GPU_STAGES; ++stage) GR_Texture_Set_Interpolation_Ext(stage, on);
}

void GR_Texture_Set_Repeat_Ext(int32_t stage, bool on) {
    if (stage < 0 || stage >= GPU_STAGES) return;
    g_TextureRepeat[stage] = on ? 1 : 0;
    GPUState_SetSamplerState(&g_GPUState, stage, GPU_SAMP_ADDRESSU, on ? 0 : 1);
    GPUState_SetSamplerState(&g_GPUState, stage, GPU_SAMP_ADDRESSV, on ? 0 : 1);
}

void GR_Texture_Set_Repeat(bool on) {
    for (int32_t stage = 0; stage < GPU_STAGES; ++stage) GR_Texture_Set_Repeat_Ext(stage, on);
}

bool GR_Texture_Get_Interpolation() {
    return g_TextureInterpolation[0] != 0;
}
bool GR_Texture_Get_Repeat() {
    return g_TextureRepeat[0] != 0;
}

void GR_Texture_Set_Blending(bool on) {
    GraphicsFlush();
    g_GRHooks.setTextureBlending(on);
}

// ---- translation -----------------------------------------------------------------------

uint32_t GR_D3D_Blend_Factor(uint32_t value) {
    return value >= 2 && value <= 17 ? value : D3DBLEND_ZERO;
}
uint32_t GR_D3D_Compare_Func(uint32_t value) {
    return value >= 1 && value <= 7 ? value : D3DCMP_ALWAYS;
}
uint32_t GR_D3D_Stencil_Op(uint32_t value) {
    return value >= 2 && value <= 8 ? value : D3DSTENCILOP_KEEP;
}
uint32_t GR_D3D_Fog_Mode(uint32_t value) {
    return value <= 2 ? value : D3DFOG_LINEAR;
}

uint32_t GR_D3D_Cull_Mode(uint32_t value) {
    return value == 1 ? D3DCULL_CW : value == 2 ? D3DCULL_CCW : D3DCULL_NONE;
}

uint32_t GR_D3D_Fill_Mode(uint32_t value) {
    return value == 1 ? D3DFILL_POINT : value == 2 ? D3DFILL_WIREFRAME : D3DFILL_SOLID;
}

uint32_t GR_D3D_Shade_Mode(uint32_t value) {
    return value == 1 ? D3DSHADE_FLAT : D3DSHADE_GOURAUD;
}

void GR_D3D_Apply_Render_State(int32_t id, uint32_t value) {
    Device* device = g_D3D.device;
    if (!device) return;
    D3DRENDERSTATETYPE target;
    switch (id) {
        case GPU_RS_ZTESTENABLE:
            target = D3DRS_ZENABLE;
            break;
        case GPU_RS_FILLMODE:
            target = D3DRS_FILLMODE, value = GR_D3D_Fill_Mode(value);
            break;
        case GPU_RS_SHADEMODE:
            target = D3DRS_SHADEMODE, value = GR_D3D_Shade_Mode(value);
            break;
        case GPU_RS_ZWRITEENABLE:
            target = D3DRS_ZWRITEENABLE;
            break;
        case GPU_RS_ALPHATESTENABLE:
            target = D3DRS_ALPHATESTENABLE;
            break;
        case GPU_RS_SRCBLEND:
            target = D3DRS_SRCBLEND, value = GR_D3D_Blend_Factor(value);
            break;
        case GPU_RS_DESTBLEND:
            target = D3DRS_DESTBLEND, value = GR_D3D_Blend_Factor(value);
            break;
        case GPU_RS_CULLMODE:
            target = D3DRS_CULLMODE, value = GR_D3D_Cull_Mode(value);
            break;
        case GPU_RS_ZFUNC:
            target = D3DRS_ZFUNC, value = GR_D3D_Compare_Func(value);
            break;
        case GPU_RS_ALPHATESTREF:
            target = D3DRS_ALPHAREF;
            break;
        case GPU_RS_ALPHATESTFUNC:
            target = D3DRS_ALPHAFUNC, value = GR_D3D_Compare_Func(value);
            break;
        case GPU_RS_BLENDENABLE:
            target = D3DRS_ALPHABLENDENABLE;
            break;
        case GPU_RS_FOGENABLE:
            target = D3DRS_FOGENABLE;
            break;
        case GPU_RS_FOGCOLOR:
            target = D3DRS_FOGCOLOR;
            break;
        case GPU_RS_FOGTABLEMODE:
            target = D3DRS_FOGTABLEMODE, value = GR_D3D_Fog_Mode(value);
            break;
        case GPU_RS_FOGSTART:
            target = D3DRS_FOGSTART;
            break;
        case GPU_RS_FOGEND:
            target = D3DRS_FOGEND;
            break;
        case GPU_RS_RANGEFOGENABLE:
            target = D3DRS_RANGEFOGENABLE;
            break;
        case GPU_RS_LIGHTING:
            target = D3DRS_LIGHTING;
            break;
        case GPU_RS_FOGVERTEXMODE:
            target = D3DRS_FOGVERTEXMODE, value = GR_D3D_Fog_Mode(value);
            break;
        case GPU_RS_COLORWRITEENABLE:
            target = D3DRS_COLORWRITEENABLE, value &= 15;
            break;
        case GPU_RS_STENCILENABLE:
            target = D3DRS_STENCILENABLE;
            break;
        case GPU_RS_STENCILFAIL:
            target = D3DRS_STENCILFAIL, value = GR_D3D_Stencil_Op(value);
            break;
        case GPU_RS_STENCILZFAIL:
            target = D3DRS_STENCILZFAIL, value = GR_D3D_Stencil_Op(value);
            break;
        case GPU_RS_STENCILPASS:
            target = D3DRS_STENCILPASS, value = GR_D3D_Stencil_Op(value);
            break;
        case GPU_RS_STENCILFUNC:
            target = D3DRS_STENCILFUNC, value = GR_D3D_Compare_Func(value);
            break;
        case GPU_RS_STENCILREF:
            target = D3DRS_STENCILREF;
            break;
        case GPU_RS_STENCILMASK:
            target = D3DRS_STENCILMASK;
            break;
        case GPU_RS_STENCILWRITEMASK:
            target = D3DRS_STENCILWRITEMASK;
            break;
        default:
            return;  // kept in the cache only
    }
    device->SetRenderState(target, value);
}

void GR_D3D_Apply_Sampler_State(int32_t stage, int32_t kind, uint32_t value) {
    Device* device = g_D3D.device;
    if (!device || stage < 0 || stage >= GPU_STAGES) return;
    const uint32_t unit = static_cast<uint32_t>(stage);
    switch (kind) {
        case GPU_SAMP_MAGFILTER:
            device->SetSamplerState(unit, D3DSAMP_MAGFILTER, value == 0 ? D3DTEXF_LINEAR : D3DTEXF_POINT);
            break;
        case GPU_SAMP_MINFILTER:
            device->SetSamplerState(unit, D3DSAMP_MINFILTER, value == 0 ? D3DTEXF_LINEAR : D3DTEXF_POINT);
            break;
        case GPU_SAMP_ADDRESSU:
            device->SetSamplerState(unit, D3DSAMP_ADDRESSU,
                                    value == 0 ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP);
            break;
        case GPU_SAMP_ADDRESSV:
            device->SetSamplerState(unit, D3DSAMP_ADDRESSV,
                                    value == 0 ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP);
            break;
        default:
            break;
    }
}

void GR_D3D_Normalize_Normals() {
    if (g_D3D.device) g_D3D.device->SetRenderState(D3DRS_NORMALIZENORMALS, 1);
}

int32_t GR_D3D_Get_Fog_Mode() {
    if (g_D3D.caps.RasterCaps & D3DPRASTERCAPS_FOGTABLE) return 1;
    if (g_D3D.caps.RasterCaps & D3DPRASTERCAPS_FOGVERTEX) return 2;
    return 0;
}
