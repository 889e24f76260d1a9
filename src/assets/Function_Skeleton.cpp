// The skeleton built-ins: animations, tracks and mixes, skins, attachments and bones of the
// calling instance's skeleton, and the lists and drawing of a skeleton sprite's data.
#include "assets/Function_Skeleton.h"

#include <cmath>

#include "assets/Sprite_Main.h"
#include "assets/Sprite_Skeleton.h"
#include "core/Code_Function.h"
#include "core/Instance.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "data/Function_Data_Structures.h"

namespace {

void SetString(RValue& result, const char* text) {
    RValue_SetString(&result, text ? text : "");
}

// The instance's skeleton, made on first use for a skeleton sprite.
CSkeletonInstance* StateOf(CInstance* self) {
    return Skeleton_InstanceOf(self);
}

// ---- instance built-ins --------------------------------------------------------------------

void F_SkeletonAnimationSet(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, 0);
    CSkeletonInstance* s = StateOf(self);
    if (!s) return;
    s->SetAnimation(Arg_GetString(args, 0));
    self->image_index = 0;
    Result_SetReal(result, 1);
}

void F_SkeletonAnimationSetExt(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    CSkeletonInstance* s = StateOf(self);
    if (!s) return;
    s->SetAnimationExt(Arg_GetString(args, 0), Arg_GetInt32(args, 1));
    Result_SetReal(result, 1);
}

void F_SkeletonAnimationGet(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    CSkeletonInstance* s = StateOf(self);
    SetString(result, s ? s->GetAnimation(0) : "");
}

void F_SkeletonAnimationGetExt(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    CSkeletonInstance* s = StateOf(self);
    const int32_t track = Arg_GetInt32(args, 0);
    SetString(result, s ? s->GetAnimation(track) : "");
}

void F_SkeletonAnimationGetDuration(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    CSkeletonInstance* s = StateOf(self);
    const char* name = Arg_GetString(args, 0);
    Result_SetReal(result, s ? s->GetAnimationDuration(name) : 0.0);
}

void F_SkeletonAnimationClear(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, 0);
    if (CSkeletonInstance* s = StateOf(self)) s->ClearTrack(Arg_GetInt32(args, 0));
}

void F_SkeletonAnimationMix(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    CSkeletonInstance* s = StateOf(self);
    if (!s) return;
    s->SetMix(Arg_GetString(args, 0), Arg_GetString(args, 1), Arg_GetFloat(args, 2));
    Result_SetReal(result, 1);
}

void F_SkeletonSkinSet(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    CSkeletonInstance* s = StateOf(self);
    if (!s) return;
    s->SetSkin(Arg_GetString(args, 0));
    Result_SetReal(result, 1);
}

void F_SkeletonSkinGet(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    CSkeletonInstance* s = StateOf(self);
    SetString(result, s ? s->GetSkin() : "");
}

void F_SkeletonAttachmentSet(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    CSkeletonInstance* s = StateOf(self);
    if (!s) return;
    const char* slot = Arg_GetString(args, 0);
    // A real names a sprite, whose name is the attachment's.
    const char* attachment = nullptr;
    if (RValue_IsReal(args[1])) {
        const int32_t sprite = Arg_GetInt32(args, 1);
        attachment = Sprite_Exists(sprite) ? Sprite_GetName(sprite) : nullptr;
    } else {
        attachment = Arg_GetString(args, 1);
    }
    s->SetAttachment(slot, attachment);
    Result_SetReal(result, 1);
}

void F_SkeletonAttachmentGet(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    CSkeletonInstance* s = StateOf(self);
    const char* slot = Arg_GetString(args, 0);
    SetString(result, s ? s->GetAttachment(slot) : "");
}

void F_SkeletonAttachmentCreate(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    CSkeletonInstance* s = StateOf(self);
    if (!s) return;
    const char* name = Arg_GetString(args, 0);
    CSprite* sprite = Sprite_Get(Arg_GetInt32(args, 1));
    const int32_t frame = Arg_GetInt32(args, 2);
    if (!sprite || frame < 0) return;
    s->CreateAttachmentFromSprite(name, sprite, frame, Arg_GetFloat(args, 3), Arg_GetFloat(args, 4),
                                  Arg_GetFloat(args, 5), Arg_GetFloat(args, 6), Arg_GetFloat(args, 7));
    Result_SetReal(result, 1);
}

void F_SkeletonCollisionDrawSet(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    CSkeletonInstance* s = StateOf(self);
    if (!s) return;
    s->m_collisionDraw = Arg_GetBool(args, 0);
    Result_SetReal(result, 1);
}

template <bool (CSkeletonInstance::*Op)(const char*, int32_t)>
void BoneMap(RValue& result, CInstance* self, RValue* args) {
    Result_SetReal(result, -1);
    CSkeletonInstance* s = StateOf(self);
    if (!s) return;
    Result_SetFlag(result, (s->*Op)(Arg_GetString(args, 0), Arg_GetInt32(args, 1)));
}

// The getters are const: a thin adapter gives them the shape the template takes.
bool GetData(CSkeletonInstance* s, const char* bone, int32_t map) {
    return s->GetBoneData(bone, map);
}
bool GetState(CSkeletonInstance* s, const char* bone, int32_t map) {
    return s->GetBoneState(bone, map);
}

void BoneGetter(RValue& result, CInstance* self, RValue* args,
                bool (*get)(CSkeletonInstance*, const char*, int32_t)) {
    Result_SetReal(result, -1);
    CSkeletonInstance* s = StateOf(self);
    if (!s) return;
    Result_SetFlag(result, get(s, Arg_GetString(args, 0), Arg_GetInt32(args, 1)));
}

void F_SkeletonBoneDataGet(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    BoneGetter(result, self, args, GetData);
}
void F_SkeletonBoneDataSet(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    BoneMap<&CSkeletonInstance::SetBoneData>(result, self, args);
}
void F_SkeletonBoneStateGet(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    BoneGetter(result, self, args, GetState);
}
void F_SkeletonBoneStateSet(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    BoneMap<&CSkeletonInstance::SetBoneState>(result, self, args);
}

// ---- sprite built-ins ----------------------------------------------------------------------

void F_DrawSkeleton(RValue& result, CInstance* self, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    CSkeletonAsset* asset = Skeleton_AssetOf(Arg_GetInt32(args, 0));
    if (!asset) return;
    asset->Draw(Arg_GetString(args, 1), Arg_GetString(args, 2), Arg_GetInt32(args, 3), Arg_GetFloat(args, 4),
                Arg_GetFloat(args, 5), Arg_GetFloat(args, 6), Arg_GetFloat(args, 7), Arg_GetFloat(args, 8),
                uint32_t(Arg_GetInt32(args, 9)), Arg_GetFloat(args, 10), self);
}

void F_DrawSkeletonTime(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    CSkeletonAsset* asset = Skeleton_AssetOf(Arg_GetInt32(args, 0));
    if (!asset) return;
    asset->DrawTime(Arg_GetString(args, 1), Arg_GetString(args, 2), Arg_GetFloat(args, 3),
                    Arg_GetFloat(args, 4), Arg_GetFloat(args, 5), Arg_GetFloat(args, 6),
                    Arg_GetFloat(args, 7), Arg_GetFloat(args, 8), uint32_t(Arg_GetInt32(args, 9)),
                    Arg_GetFloat(args, 10));
}

void F_DrawSkeletonCollision(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    CSkeletonAsset* asset = Skeleton_AssetOf(Arg_GetInt32(args, 0));
    if (!asset) return;
    asset->DrawCollision(Arg_GetString(args, 1), Arg_GetInt32(args, 2), Arg_GetFloat(args, 3),
                         Arg_GetFloat(args, 4), Arg_GetFloat(args, 5), Arg_GetFloat(args, 6),
                         Arg_GetFloat(args, 7));
}

// A list built-in: the skeleton sprite and a list that exists, else the family's report.
CSkeletonAsset* ListTarget(RValue* args, const char* family, int32_t* list) {
    CSkeletonAsset* asset = Skeleton_AssetOf(Arg_GetInt32(args, 0));
    if (!asset) {
        Runtime_ErrorNonFatal("%s: Sprite is not a Skeleton", family);
        return nullptr;
    }
    *list = Arg_GetInt32(args, 1);
    if (!g_DsListTable.Get(*list)) {
        Runtime_ErrorNonFatal("Data structure with index does not exist.");
        return nullptr;
    }
    return asset;
}

void F_SkeletonAnimationList(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    int32_t list;
    if (CSkeletonAsset* asset = ListTarget(args, "skeleton_animation_list", &list))
        asset->ListAnimations(list);
}

void F_SkeletonSkinList(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    int32_t list;
    if (CSkeletonAsset* asset = ListTarget(args, "skeleton_skin_list", &list)) asset->ListSkins(list);
}

void F_SkeletonSlotData(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    Result_SetReal(result, -1);
    int32_t list;
    if (CSkeletonAsset* asset = ListTarget(args, "skeleton_slot_map", &list)) asset->ListSlots(list);
}

}  // namespace

void InitSkeletonFunctions() {
    static const BuiltinRow kRows[] = {
        {"skeleton_animation_set", F_SkeletonAnimationSet, 1, 1},
        {"skeleton_animation_set_ext", F_SkeletonAnimationSetExt, 2, 1},
        {"skeleton_animation_get", F_SkeletonAnimationGet, 0, 1},
        {"skeleton_animation_get_ext", F_SkeletonAnimationGetExt, 1, 1},
        {"skeleton_animation_get_duration", F_SkeletonAnimationGetDuration, 1, 1},
        {"skeleton_animation_clear", F_SkeletonAnimationClear, 1, 1},
        {"skeleton_animation_mix", F_SkeletonAnimationMix, 3, 1},
        {"skeleton_skin_set", F_SkeletonSkinSet, 1, 1},
        {"skeleton_skin_get", F_SkeletonSkinGet, 0, 1},
        {"skeleton_attachment_set", F_SkeletonAttachmentSet, 2, 1},
        {"skeleton_attachment_get", F_SkeletonAttachmentGet, 1, 1},
        {"skeleton_attachment_create", F_SkeletonAttachmentCreate, 8, 1},
        {"skeleton_collision_draw_set", F_SkeletonCollisionDrawSet, 1, 1},
        {"skeleton_bone_data_get", F_SkeletonBoneDataGet, 2, 1},
        {"skeleton_bone_data_set", F_SkeletonBoneDataSet, 2, 1},
        {"skeleton_bone_state_get", F_SkeletonBoneStateGet, 2, 1},
        {"skeleton_bone_state_set", F_SkeletonBoneStateSet, 2, 1},
        {"draw_skeleton", F_DrawSkeleton, 11, 1},
        {"draw_skeleton_time", F_DrawSkeletonTime, 11, 1},
        {"draw_skeleton_collision", F_DrawSkeletonCollision, 9, 1},
        {"skeleton_animation_list", F_SkeletonAnimationList, 2, 1},
        {"skeleton_skin_list", F_SkeletonSkinList, 2, 1},
        {"skeleton_slot_data", F_SkeletonSlotData, 2, 1},
    };
    static_assert(sizeof kRows / sizeof kRows[0] == 23);
    Code_Function_AddRows(kRows);
}
