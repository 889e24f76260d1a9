#include "graphics/Function_3D.h"

#include <cmath>

#include "base/Error_Report.h"
#include "base/GEN8.h"
#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/Value.h"
#include "core/Value_Array.h"
#include "core/Value_Convert.h"
#include "graphics/Function_3D_Rows.h"
#include "graphics/GPUState.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Light.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/Graphics_Primitive3D.h"
#include "graphics/Model3D.h"
#include "io/LoadSave.h"

namespace {

using Args = RValue*;

int32_t Tex(Args args, int32_t n) {
    return Arg_GetNumberOrPointer(args, n);
}

#define HV_BUILTIN(Name) void Name(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args)
#define HV_UNUSED_ARGS \
    (void)result; \
    (void)argc; \
    (void)args

// --- 3-D mode and settings ----------------------------------------------------------------

HV_BUILTIN(F_D3DStart) {
    HV_UNUSED_ARGS;
    result = RValue_Real(GR_D3D_Set_3D_Mode(true) ? 1 : 0);
}
HV_BUILTIN(F_D3DEnd) {
    HV_UNUSED_ARGS;
    result = RValue_Real(GR_D3D_Set_3D_Mode(false) ? 1 : 0);
}
HV_BUILTIN(F_D3DSetPerspective) {
    HV_UNUSED_ARGS;
    GR_D3D_Set_Perspective(Arg_GetBool(args, 0));
}
HV_BUILTIN(F_D3DSetHidden) {
    HV_UNUSED_ARGS;
    GR_D3D_Set_Hidden(Arg_GetBool(args, 0));
}
HV_BUILTIN(F_D3DSetDepth) {
    HV_UNUSED_ARGS;
    GR_Set_Depth(Arg_GetFloat(args, 0));
}
HV_BUILTIN(F_D3DSetShading) {
    HV_UNUSED_ARGS;
    GR_D3D_Set_Shading(Arg_GetBool(args, 0));
}
HV_BUILTIN(F_D3DSetFog) {
    HV_UNUSED_ARGS;
    GR_Set_Fog(Arg_GetBool(args, 0), static_cast<int32_t>(std::lround(Arg_GetReal(args, 1))),
               Arg_GetInt32(args, 2), Arg_GetInt32(args, 3));
}
HV_BUILTIN(F_D3DSetCulling) {
    HV_UNUSED_ARGS;
    GR_D3D_Set_Culling(Arg_GetBool(args, 0));
}
HV_BUILTIN(F_D3DSetZWriteEnable) {
    HV_UNUSED_ARGS;
    GR_D3D_Set_ZWriteEnable(Arg_GetBool(args, 0));
}
HV_BUILTIN(F_DrawEnableAlphaBlend) {
    HV_UNUSED_ARGS;
    GPUState_SetRenderState(&g_GPUState, GPU_RS_BLENDENABLE, static_cast<uint32_t>(Arg_GetInt32(args, 0)));
}

// --- Primitives and shapes ----------------------------------------------------------------

HV_BUILTIN(F_D3DPrimitiveBegin) {
    HV_UNUSED_ARGS;
    GR_D3D_Primitive_Begin(Arg_GetInt32(args, 0), -1);
}
HV_BUILTIN(F_D3DPrimitiveBeginTexture) {
    HV_UNUSED_ARGS;
    GR_D3D_Primitive_Begin(Arg_GetInt32(args, 0), Tex(args, 1));
}
HV_BUILTIN(F_D3DPrimitiveEnd) {
    HV_UNUSED_ARGS;
    GR_D3D_Primitive_End();
}
HV_BUILTIN(F_D3DVertex) {
    HV_UNUSED_ARGS;
    GR_D3D_Vertex(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2));
}
HV_BUILTIN(F_D3DVertexColour) {
    HV_UNUSED_ARGS;
    GR_D3D_Vertex_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                         Arg_GetInt32(args, 3), Arg_GetFloat(args, 4));
}
HV_BUILTIN(F_D3DVertexTexture) {
    HV_UNUSED_ARGS;
    GR_D3D_Vertex_Texture(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                          Arg_GetFloat(args, 3), Arg_GetFloat(args, 4));
}
HV_BUILTIN(F_D3DVertexTextureColour) {
    HV_UNUSED_ARGS;
    GR_D3D_Vertex_Texture_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                 Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetInt32(args, 5),
                                 Arg_GetFloat(args, 6));
}
HV_BUILTIN(F_D3DVertexNormal) {
    HV_UNUSED_ARGS;
    GR_D3D_Vertex_Normal(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                         Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5));
}
HV_BUILTIN(F_D3DVertexNormalColour) {
    HV_UNUSED_ARGS;
    GR_D3D_Vertex_Normal_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                                Arg_GetInt32(args, 6), Arg_GetFloat(args, 7));
}
HV_BUILTIN(F_D3DVertexNormalTexture) {
    HV_UNUSED_ARGS;
    GR_D3D_Vertex_Normal_Texture(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                 Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                                 Arg_GetFloat(args, 6), Arg_GetFloat(args, 7));
}
HV_BUILTIN(F_D3DVertexNormalTextureColour) {
    HV_UNUSED_ARGS;
    GR_D3D_Vertex_Normal_Texture_Colour(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                        Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                                        Arg_GetFloat(args, 6), Arg_GetFloat(args, 7), Arg_GetInt32(args, 8),
                                        Arg_GetFloat(args, 9));
}

template <void (*Shape)(float, float, float, float, float, float, int32_t, float, float)>
HV_BUILTIN(F_D3DDrawQuadShape) {
    HV_UNUSED_ARGS;
    Shape(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), Arg_GetFloat(args, 3),
          Arg_GetFloat(args, 4), Arg_GetFloat(args, 5), Tex(args, 6), Arg_GetFloat(args, 7),
          Arg_GetFloat(args, 8));
}
template <void (*Shape)(float, float, float, float, float, float, int32_t, float, float, bool, int32_t)>
HV_BUILTIN(F_D3DDrawRoundShape) {
    HV_UNUSED_ARGS;
    Shape(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), Arg_GetFloat(args, 3),
          Arg_GetFloat(args, 4), Arg_GetFloat(args, 5), Tex(args, 6), Arg_GetFloat(args, 7),
          Arg_GetFloat(args, 8), Arg_GetBool(args, 9), Arg_GetInt32(args, 10));
}
HV_BUILTIN(F_D3DDrawEllipsoid) {
    HV_UNUSED_ARGS;
    GR_D3D_Draw_Ellipsoid(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                          Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5), Tex(args, 6),
                          Arg_GetFloat(args, 7), Arg_GetFloat(args, 8), Arg_GetInt32(args, 9));
}

// --- Projections and transforms -----------------------------------------------------------

HV_BUILTIN(F_D3DSetProjection) {
    HV_UNUSED_ARGS;
    GR_D3D_Set_Projection(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                          Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                          Arg_GetFloat(args, 6), Arg_GetFloat(args, 7), Arg_GetFloat(args, 8));
}
HV_BUILTIN(F_D3DSetProjectionExt) {
    HV_UNUSED_ARGS;
    GR_D3D_Set_Projection_Ext(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                              Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                              Arg_GetFloat(args, 6), Arg_GetFloat(args, 7), Arg_GetFloat(args, 8),
                              Arg_GetFloat(args, 9), Arg_GetFloat(args, 10), Arg_GetFloat(args, 11),
                              Arg_GetFloat(args, 12));
}
HV_BUILTIN(F_D3DSetProjectionOrtho) {
    HV_UNUSED_ARGS;
    GR_D3D_Set_Projection_Ortho(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                Arg_GetFloat(args, 3), Arg_GetFloat(args, 4));
}
HV_BUILTIN(F_D3DSetProjectionPerspective) {
    HV_UNUSED_ARGS;
    GR_D3D_Set_Projection_Perspective(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                      Arg_GetFloat(args, 3), Arg_GetFloat(args, 4));
}

template <void (*Operation)()>
HV_BUILTIN(F_D3DTransform0) {
    HV_UNUSED_ARGS;
    Operation();
}
template <void (*Operation)(float)>
HV_BUILTIN(F_D3DTransform1) {
    HV_UNUSED_ARGS;
    Operation(Arg_GetFloat(args, 0));
}
template <void (*Operation)(float, float, float)>
HV_BUILTIN(F_D3DTransform3) {
    HV_UNUSED_ARGS;
    Operation(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2));
}
template <void (*Operation)(float, float, float, float)>
HV_BUILTIN(F_D3DTransform4) {
    HV_UNUSED_ARGS;
    Operation(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), Arg_GetFloat(args, 3));
}
template <bool (*Operation)()>
HV_BUILTIN(F_D3DTransformStack) {
    HV_UNUSED_ARGS;
    result = RValue_Real(Operation() ? 1 : 0);
}
HV_BUILTIN(F_D3DTransformVertex) {
    HV_UNUSED_ARGS;
    float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1), z = Arg_GetFloat(args, 2);
    GR_Transform_Vertex(&x, &y, &z);
    const double values[3] = {x, y, z};
    ReturnRealArray(result, 3, values);
}

// --- Models -------------------------------------------------------------------------------

HV_BUILTIN(F_D3DModelCreate) {
    HV_UNUSED_ARGS;
    result = RValue_Real(Model3D_Create());
}
HV_BUILTIN(F_D3DModelDestroy) {
    HV_UNUSED_ARGS;
    Model3D_Destroy_By_Index(Arg_GetInt32(args, 0));
}
HV_BUILTIN(F_D3DModelClear) {
    HV_UNUSED_ARGS;
    Model3D_Clear_By_Index(Arg_GetInt32(args, 0));
}
HV_BUILTIN(F_D3DModelLoad) {
    HV_UNUSED_ARGS;
    const char* name = Arg_GetStringOrEmpty(args, 1);
    char path[1024] = {};
    bool found = false;
    if (LoadSave_SaveFileExists(name))
        found = LoadSave_GetSavePath(path, sizeof path, name);
    else if (LoadSave_BundleFileExists(name))
        found = LoadSave_GetBundlePath(path, sizeof path, name);
    if (!found) {
        DebugConsole.Output("d3d_model_load - unable to find file %s\n", name);
        result = RValue_Real(0);
        return;
    }
    Model3D_Load_By_Index(Arg_GetInt32(args, 0), path);
    result = RValue_Real(1);
}
HV_BUILTIN(F_D3DModelSave) {
    HV_UNUSED_ARGS;
    char path[1024] = {};
    if (!LoadSave_GetSavePath(path, sizeof path, Arg_GetStringOrEmpty(args, 1))) return;
    File_CreateDirectoryForFile(path);
    Model3D_Save_By_Index(Arg_GetInt32(args, 0), path);
}
HV_BUILTIN(F_D3DModelDraw) {
    HV_UNUSED_ARGS;
    Model3D_Draw_By_Index(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                          Arg_GetFloat(args, 3), Tex(args, 4));
}

// A model command from the arguments after the index: `count` values, those named in intMask
// read as integers (the closed flag as a flag).
template <int32_t Type, int32_t Count, uint32_t IntMask = 0, int32_t FlagValue = -1>
HV_BUILTIN(F_D3DModelCommand) {
    HV_UNUSED_ARGS;
    float values[10] = {};
    int32_t ints[10] = {};
    for (int32_t i = 0; i < Count; ++i) {
        if (i == FlagValue)
            ints[i] = Arg_GetBool(args, i + 1) ? 1 : 0;
        else if (IntMask >> i & 1u)
            ints[i] = Arg_GetInt32(args, i + 1);
        else
            values[i] = Arg_GetFloat(args, i + 1);
    }
    Model3D_Add_Command(Arg_GetInt32(args, 0), Type, values, Count, IntMask, ints);
}

// --- Lights -------------------------------------------------------------------------------

// The light index argument; -1 after the report when it is outside 0 .. 7.
int32_t LightIndex(Args args) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (index >= 0 && index < 8) return index;
    Error_Report("Light index out of range - must be between 0 and 7 (inclusive)", false);
    return -1;
}

void StoreLightColour(LightSlot& slot, uint32_t colour) {
    for (int32_t i = 0; i < 3; ++i)
        slot.colour[i] = static_cast<float>(colour >> (8 * i) & 0xFF) * 0.003921569f;
    slot.colour[3] = 1;
}

HV_BUILTIN(F_LightDefineAmbient) {
    HV_UNUSED_ARGS;
    const uint32_t colour = static_cast<uint32_t>(Arg_GetInt32(args, 0));
    g_LightTable.ambient = colour;
    GR_D3D_Light_Define_Ambient(colour);
}

HV_BUILTIN(F_LightDefineDirection) {
    HV_UNUSED_ARGS;
    const int32_t index = LightIndex(args);
    if (index < 0) return;
    float n[3] = {Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), Arg_GetFloat(args, 3)};
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    // A zero direction stays zero instead of becoming non-numbers.
    if (length > 0)
        for (float& c : n) c *= 1 / length;
    const uint32_t colour = static_cast<uint32_t>(Arg_GetInt32(args, 4));
    LightSlot& slot = g_LightTable.slots[index];
    slot.kind = 0;
    slot.direction[0] = -n[0];
    slot.direction[1] = -n[1];
    slot.direction[2] = -n[2];
    slot.direction[3] = 1;
    for (float& p : slot.position) p = 0;
    StoreLightColour(slot, colour);
    GR_D3D_Light_Define_Direction(index, n[0], n[1], n[2], colour | 0xFF000000u);
}

HV_BUILTIN(F_LightDefinePoint) {
    HV_UNUSED_ARGS;
    const int32_t index = LightIndex(args);
    if (index < 0) return;
    const float x = Arg_GetFloat(args, 1), y = Arg_GetFloat(args, 2), z = Arg_GetFloat(args, 3),
                range = Arg_GetFloat(args, 4);
    const uint32_t colour = static_cast<uint32_t>(Arg_GetInt32(args, 5));
    LightSlot& slot = g_LightTable.slots[index];
    slot.kind = 1;
    slot.position[0] = x;
    slot.position[1] = y;
    slot.position[2] = z;
    slot.position[3] = range;
    for (float& d : slot.direction) d = 0;
    StoreLightColour(slot, colour);
    GR_D3D_Light_Define_Point(index, x, y, z, range, colour | 0xFF000000u);
}

HV_BUILTIN(F_LightEnable) {
    HV_UNUSED_ARGS;
    const int32_t index = LightIndex(args);
    if (index < 0) return;
    const bool on = Arg_GetBool(args, 1);
    g_LightTable.slots[index].enabled = on ? 1 : 0;
    GR_D3D_Light_Enable(index, on);
}

HV_BUILTIN(F_SetLighting) {
    HV_UNUSED_ARGS;
    const bool on = Arg_GetBool(args, 0);
    g_LightTable.lighting = on ? 1 : 0;
    GR_D3D_Set_Lighting(on);
}

HV_BUILTIN(F_DrawGetLighting) {
    HV_UNUSED_ARGS;
    result = RValue_Real(g_LightTable.lighting ? 1 : 0);
}

HV_BUILTIN(F_DrawLightGetAmbient) {
    HV_UNUSED_ARGS;
    result = RValue_Real(static_cast<double>(g_LightTable.ambient));
}

HV_BUILTIN(F_DrawLightGet) {
    HV_UNUSED_ARGS;
    if (argc != 1)
        return Error_Report("draw_light_get() - wrong number of arguments - should take light index", false);
    const int32_t index = Arg_GetInt32(args, 0);
    if (index < 0 || index >= 8) return Error_Report("draw_light_get() - light index out of range", false);
    const LightSlot& slot = g_LightTable.slots[index];
    const float* where = slot.kind == 1 ? slot.position : slot.direction;
    uint32_t packed = 0;
    for (int32_t i = 0; i < 4; ++i) packed += static_cast<uint32_t>(slot.colour[i] * 255.0f) << (8 * i);
    const double values[7] = {slot.enabled, static_cast<double>(slot.kind), where[0], where[1], where[2],
                              where[3],     static_cast<double>(packed)};
    ReturnRealArray(result, 7, values);
}

constexpr uint32_t kColourAt(int32_t i) {
    return 1u << i;
}

void AddLegacyRows() {
    static const BuiltinRow kRows[] = {
        {"d3d_start", F_D3DStart, 0, 1},
        {"d3d_end", F_D3DEnd, 0, 1},
        {"d3d_set_perspective", F_D3DSetPerspective, 1, 1},
        {"d3d_set_hidden", F_D3DSetHidden, 1, 1},
        {"d3d_set_depth", F_D3DSetDepth, 1, 1},
        {"d3d_set_shading", F_D3DSetShading, 1, 1},
        {"d3d_set_fog", F_D3DSetFog, 4, 1},
        {"d3d_set_culling", F_D3DSetCulling, 1, 1},
        {"d3d_set_zwriteenable", F_D3DSetZWriteEnable, 1, 1},
        {"d3d_primitive_begin", F_D3DPrimitiveBegin, 1, 1},
        {"d3d_primitive_begin_texture", F_D3DPrimitiveBeginTexture, 2, 1},
        {"d3d_primitive_end", F_D3DPrimitiveEnd, 0, 1},
        {"d3d_vertex", F_D3DVertex, 3, 1},
        {"d3d_vertex_color", F_D3DVertexColour, 5, 1},
        {"d3d_vertex_colour", F_D3DVertexColour, 5, 1},
        {"d3d_vertex_texture", F_D3DVertexTexture, 5, 1},
        {"d3d_vertex_texture_color", F_D3DVertexTextureColour, 7, 1},
        {"d3d_vertex_texture_colour", F_D3DVertexTextureColour, 7, 1},
        {"d3d_vertex_normal", F_D3DVertexNormal, 6, 1},
        {"d3d_vertex_normal_color", F_D3DVertexNormalColour, 8, 1},
        {"d3d_vertex_normal_colour", F_D3DVertexNormalColour, 8, 1},
        {"d3d_vertex_normal_texture", F_D3DVertexNormalTexture, 8, 1},
        {"d3d_vertex_normal_texture_color", F_D3DVertexNormalTextureColour, 10, 1},
        {"d3d_vertex_normal_texture_colour", F_D3DVertexNormalTextureColour, 10, 1},
        {"d3d_draw_block", F_D3DDrawQuadShape<GR_D3D_Draw_Block>, 9, 1},
        {"d3d_draw_cylinder", F_D3DDrawRoundShape<GR_D3D_Draw_Cylinder>, 11, 1},
        {"d3d_draw_cone", F_D3DDrawRoundShape<GR_D3D_Draw_Cone>, 11, 1},
        {"d3d_draw_ellipsoid", F_D3DDrawEllipsoid, 10, 1},
        {"d3d_draw_wall", F_D3DDrawQuadShape<GR_D3D_Draw_Wall>, 9, 1},
        {"d3d_draw_floor", F_D3DDrawQuadShape<GR_D3D_Draw_Floor>, 9, 1},
        {"d3d_set_projection", F_D3DSetProjection, 9, 1},
        {"d3d_set_projection_ext", F_D3DSetProjectionExt, 13, 1},
        {"d3d_set_projection_ortho", F_D3DSetProjectionOrtho, 5, 1},
        {"d3d_set_projection_perspective", F_D3DSetProjectionPerspective, 5, 1},
        {"d3d_transform_set_identity", F_D3DTransform0<GR_Transform_Set_Identity>, 0, 1},
        {"d3d_transform_set_translation", F_D3DTransform3<GR_Transform_Set_Translation>, 3, 1},
        {"d3d_transform_set_scaling", F_D3DTransform3<GR_Transform_Set_Scaling>, 3, 1},
        {"d3d_transform_set_rotation_x", F_D3DTransform1<GR_Transform_Set_Rotation_X>, 1, 1},
        {"d3d_transform_set_rotation_y", F_D3DTransform1<GR_Transform_Set_Rotation_Y>, 1, 1},
        {"d3d_transform_set_rotation_z", F_D3DTransform1<GR_Transform_Set_Rotation_Z>, 1, 1},
        {"d3d_transform_set_rotation_axis", F_D3DTransform4<GR_Transform_Set_Rotation_Axis>, 4, 1},
        {"d3d_transform_add_translation", F_D3DTransform3<GR_Transform_Add_Translation>, 3, 1},
        {"d3d_transform_add_scaling", F_D3DTransform3<GR_Transform_Add_Scaling>, 3, 1},
        {"d3d_transform_add_rotation_x", F_D3DTransform1<GR_Transform_Add_Rotation_X>, 1, 1},
        {"d3d_transform_add_rotation_y", F_D3DTransform1<GR_Transform_Add_Rotation_Y>, 1, 1},
        {"d3d_transform_add_rotation_z", F_D3DTransform1<GR_Transform_Add_Rotation_Z>, 1, 1},
        {"d3d_transform_add_rotation_axis", F_D3DTransform4<GR_Transform_Add_Rotation_Axis>, 4, 1},
        {"d3d_transform_stack_clear", F_D3DTransform0<GR_Transform_Stack_Clear>, 0, 1},
        {"d3d_transform_stack_empty", F_D3DTransformStack<GR_Transform_Stack_Empty>, 0, 1},
        {"d3d_transform_stack_push", F_D3DTransformStack<GR_Transform_Stack_Push>, 0, 1},
        {"d3d_transform_stack_pop", F_D3DTransformStack<GR_Transform_Stack_Pop>, 0, 1},
        {"d3d_transform_stack_top", F_D3DTransformStack<GR_Transform_Stack_Top>, 0, 1},
        {"d3d_transform_stack_discard", F_D3DTransformStack<GR_Transform_Stack_Discard>, 0, 1},
        {"d3d_transform_vertex", F_D3DTransformVertex, 3, 1},
        {"d3d_model_create", F_D3DModelCreate, 0, 1},
        {"d3d_model_destroy", F_D3DModelDestroy, 1, 1},
        {"d3d_model_clear", F_D3DModelClear, 1, 1},
        {"d3d_model_load", F_D3DModelLoad, 2, 1},
        {"d3d_model_save", F_D3DModelSave, 2, 1},
        {"d3d_model_draw", F_D3DModelDraw, 5, 1},
        {"d3d_model_primitive_begin", F_D3DModelCommand<0, 1>, 2, 1},
        {"d3d_model_primitive_end", F_D3DModelCommand<1, 0>, 1, 1},
        {"d3d_model_vertex", F_D3DModelCommand<2, 3>, 4, 1},
        {"d3d_model_vertex_color", F_D3DModelCommand<3, 5, kColourAt(3)>, 6, 1},
        {"d3d_model_vertex_colour", F_D3DModelCommand<3, 5, kColourAt(3)>, 6, 1},
        {"d3d_model_vertex_texture", F_D3DModelCommand<4, 5>, 6, 1},
        {"d3d_model_vertex_texture_color", F_D3DModelCommand<5, 7, kColourAt(5)>, 8, 1},
        {"d3d_model_vertex_texture_colour", F_D3DModelCommand<5, 7, kColourAt(5)>, 8, 1},
        {"d3d_model_vertex_normal", F_D3DModelCommand<6, 6>, 7, 1},
        {"d3d_model_vertex_normal_color", F_D3DModelCommand<7, 8, kColourAt(6)>, 9, 1},
        {"d3d_model_vertex_normal_colour", F_D3DModelCommand<7, 8, kColourAt(6)>, 9, 1},
        {"d3d_model_vertex_normal_texture", F_D3DModelCommand<8, 8>, 9, 1},
        {"d3d_model_vertex_normal_texture_color", F_D3DModelCommand<9, 10, kColourAt(8)>, 11, 1},
        {"d3d_model_vertex_normal_texture_colour", F_D3DModelCommand<9, 10, kColourAt(8)>, 11, 1},
        {"d3d_model_block", F_D3DModelCommand<10, 8>, 9, 1},
        {"d3d_model_cylinder", F_D3DModelCommand<11, 10, kColourAt(8) | kColourAt(9), 8>, 11, 1},
        {"d3d_model_cone", F_D3DModelCommand<12, 10, kColourAt(8) | kColourAt(9), 8>, 11, 1},
        {"d3d_model_ellipsoid", F_D3DModelCommand<13, 9, kColourAt(8)>, 10, 1},
        {"d3d_model_wall", F_D3DModelCommand<14, 8>, 9, 1},
        {"d3d_model_floor", F_D3DModelCommand<15, 8>, 9, 1},
        {"d3d_light_define_ambient", F_LightDefineAmbient, 1, 1},
        {"d3d_light_define_direction", F_LightDefineDirection, 5, 1},
        {"d3d_light_define_point", F_LightDefinePoint, 6, 1},
        {"d3d_light_enable", F_LightEnable, 2, 1},
        {"d3d_set_lighting", F_SetLighting, 1, 1},
        {"Pell_EnableAlphaBlend", F_DrawEnableAlphaBlend, 1, 0},
        {"draw_enable_alphablend", F_DrawEnableAlphaBlend, 1, 0},
    };
    Code_Function_AddRows(kRows);
}

void AddDrawLightRows() {
    static const BuiltinRow kRows[] = {
        {"draw_light_define_ambient", F_LightDefineAmbient, 1, 1},
        {"draw_light_define_direction", F_LightDefineDirection, 5, 1},
        {"draw_light_define_point", F_LightDefinePoint, 6, 1},
        {"draw_light_enable", F_LightEnable, 2, 1},
        {"draw_set_lighting", F_SetLighting, 1, 1},
        {"draw_light_get_ambient", F_DrawLightGetAmbient, 0, 1},
        {"draw_light_get", F_DrawLightGet, 1, 1},
        {"draw_get_lighting", F_DrawGetLighting, 0, 1},
    };
    Code_Function_AddRows(kRows);
}

}  // namespace

void Init3DFunctions() {
    const bool legacy = g_GameHeader.major < 2;
    if (legacy) AddLegacyRows();
    AddMatrixRows();
    if (legacy) return;
    AddMatrixStackRows();
    AddGPUStateRows();
    AddDrawLightRows();
}
