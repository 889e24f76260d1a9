#include "graphics/Function_3D.h"

#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "graphics/Graphics_3D.h"
#include "base/GEN8.h"

namespace {

void F_D3DTransformSetIdentity(RValue&, CInstance*, CInstance*, int32_t, RValue*) {
    GR_Transform_Set_Identity();
}

void F_D3DTransformSetTranslation(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Transform_Set_Translation(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2));
}

void F_D3DTransformAddTranslation(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Transform_Add_Translation(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2));
}

void F_D3DTransformAddRotationZ(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    GR_Transform_Add_Rotation_Z(Arg_GetFloat(args, 0));
}

}  // namespace

void Init3DFunctions() {
    if (g_GameHeader.major < 2) {
        Code_Function_Add("d3d_transform_set_identity", F_D3DTransformSetIdentity, 0);
        Code_Function_Add("d3d_transform_set_translation", F_D3DTransformSetTranslation, 3);
        Code_Function_Add("d3d_transform_add_translation", F_D3DTransformAddTranslation, 3);
        Code_Function_Add("d3d_transform_add_rotation_z", F_D3DTransformAddRotationZ, 1);
    }
}
