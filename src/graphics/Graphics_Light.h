// The light table: one ambient colour and eight light slots, directional or point with a range.
// The light built-ins write it, the shader uniforms copy it, and each definition is mirrored to
// the device's fixed-function lighting.
#pragma once

#include <cstdint>

struct LightSlot {
    int32_t kind;  // 0 directional, 1 point
    float enabled;
    float colour[4];
    float direction[4];  // directional: the unit direction negated (towards the light) and 1
    float position[4];   // point: x, y, z and the range
};

struct LightTable {
    uint32_t ambient;  // 0xAABBGGRR as the script gave it
    uint8_t lighting;
    LightSlot slots[8];
};

extern LightTable g_LightTable;

void LightTable_Reset();

void GR_D3D_Light_Define_Ambient(uint32_t colour);
void GR_D3D_Light_Define_Direction(int32_t index, float dx, float dy, float dz, uint32_t colour);
void GR_D3D_Light_Define_Point(int32_t index, float x, float y, float z, float range, uint32_t colour);
void GR_D3D_Light_Enable(int32_t index, bool on);
void Vector3_Set(float x, float y, float z, float out[3]);
