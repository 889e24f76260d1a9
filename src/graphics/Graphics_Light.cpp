#include "graphics/Graphics_Light.h"

#include <cstring>

#include "graphics/Graphics_DisplayM.h"
#include "platform/Device.h"

LightTable g_LightTable = {0xFFFFFFFFu, 0, {}};

namespace {

// Diffuse (red, green, blue) / 255 and alpha 0 from a 0x..BBGGRR colour.
void DiffuseOf(uint32_t colour, float out[4]) {
    out[0] = static_cast<float>(colour & 0xFF) / 255.0f;
    out[1] = static_cast<float>(colour >> 8 & 0xFF) / 255.0f;
    out[2] = static_cast<float>(colour >> 16 & 0xFF) / 255.0f;
    out[3] = 0;
}

}  // namespace

void LightTable_Reset() {
    g_LightTable = {0xFFFFFFFFu, 0, {}};
}

void Vector3_Set(float x, float y, float z, float out[3]) {
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

void GR_D3D_Light_Define_Ambient(uint32_t colour) {
    if (!g_D3D.device) return;
    GpuMaterial material = {};
    for (int32_t i = 0; i < 4; ++i) material.diffuse[i] = material.ambient[i] = material.specular[i] = 1;
    material.power = 1;
    g_D3D.device->SetMaterial(&material);
    const uint32_t argb =
        (colour & 0xFF000000u) | (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
    g_D3D.device->SetRenderState(D3DRS_AMBIENT, argb);
}

void GR_D3D_Light_Define_Direction(int32_t index, float dx, float dy, float dz, uint32_t colour) {
    if (!g_D3D.device) return;
    GpuLight light = {};
    light.type = D3DLIGHT_DIRECTIONAL;
    DiffuseOf(colour, light.diffuse);
    Vector3_Set(dx, dy, dz, light.direction);
    g_D3D.device->SetLight(static_cast<uint32_t>(index & 7), &light);
}

void GR_D3D_Light_Define_Point(int32_t index, float x, float y, float z, float range, uint32_t colour) {
    if (!g_D3D.device) return;
    GpuLight light = {};
    light.type = D3DLIGHT_POINT;
    DiffuseOf(colour, light.diffuse);
    Vector3_Set(x, y, z, light.position);
    light.range = range;
    light.attenuation0 = 1;
    light.attenuation1 = range > 0 ? 1 / range : 0;
    g_D3D.device->SetLight(static_cast<uint32_t>(index & 7), &light);
}

void GR_D3D_Light_Enable(int32_t index, bool on) {
    if (g_D3D.device) g_D3D.device->LightEnable(static_cast<uint32_t>(index & 7), on);
}
