// 3-D mode, the drawing depth, the four projection set-ups, world-transform editing and the
// 51-slot transform stack. Every write of the view or world matrix goes through
// GR_D3D_Set_Matrix and then marks the visible bounds dirty (GR_Transform_Stack_Top aside).
#pragma once

#include <cstdint>

extern bool g_3DMode;            // off at start
extern float g_DrawDepth;        // the z of every 2-D vertex
extern bool g_SpriteCullBypass;  // set by the orthographic set-up: sprites are not culled

constexpr int32_t GR_TRANSFORM_STACK_SLOTS = 51;

bool GR_D3D_Set_3D_Mode(bool on);
void GR_Set_Depth(float depth);
void GR_D3D_Set_Projection(float xfrom, float yfrom, float zfrom, float xto, float yto, float zto, float xup,
                           float yup, float zup);
void GR_D3D_Set_Projection_Ext(float xfrom, float yfrom, float zfrom, float xto, float yto, float zto,
                               float xup, float yup, float zup, float angle, float aspect, float znear,
                               float zfar);
void GR_D3D_Set_Projection_Ortho(float x, float y, float width, float height, float angle);
void GR_D3D_Set_Projection_Perspective(float x, float y, float width, float height, float angle);

void GR_Transform_Set_Identity();
void GR_Transform_Set_Translation(float x, float y, float z);
void GR_Transform_Set_Scaling(float x, float y, float z);
void GR_Transform_Set_Rotation_X(float angle);
void GR_Transform_Set_Rotation_Y(float angle);
void GR_Transform_Set_Rotation_Z(float angle);
void GR_Transform_Set_Rotation_Axis(float x, float y, float z, float angle);
void GR_Transform_Add_Translation(float x, float y, float z);
void GR_Transform_Add_Scaling(float x, float y, float z);
void GR_Transform_Add_Rotation_X(float angle);
void GR_Transform_Add_Rotation_Y(float angle);
void GR_Transform_Add_Rotation_Z(float angle);
void GR_Transform_Add_Rotation_Axis(float x, float y, float z, float angle);

void GR_Transform_Stack_Clear();
bool GR_Transform_Stack_Empty();
bool GR_Transform_Stack_Push();
bool GR_Transform_Stack_Pop();
bool GR_Transform_Stack_Top();
bool GR_Transform_Stack_Discard();

// (x, y, z, 1) x world, the fourth component dropped.
void GR_Transform_Vertex(float* x, float* y, float* z);

// Called when the view matrix is set; nothing listens yet.
void GR_D3D_View_Changed();
