// The instance rows of the built-in variable table, in the order that gives them ids 0 up.
#include <array>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <utility>

#include "core/Instance.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "core/Variable.h"
#include "io/HTTP_Main.h"
#include "world/Physics_Services.h"
#include "world/Room_Services.h"
#include "world/World_Step.h"
#include "world/Run.h"
#include "world/Variable_BuiltIn.h"
#include "world/World_Services.h"

namespace {

bool Real(RValue* out, double value) {
    out->val = value;
    out->flags = 0;
    out->kind = VALUE_REAL;
    return true;
}
float Single(RValue* v) {
    return static_cast<float>(RValue_ToReal(v));
}
int32_t SingleRounded(RValue* v) {
    return BuiltIn_Round(static_cast<double>(Single(v)));
}
bool Flag(RValue* v) {
    return BuiltIn_Round(RValue_ToReal(v)) >= 1;
}
bool NonzeroFlag(RValue* v) {
    return SingleRounded(v) != 0;
}
int32_t AlarmIndex(int32_t index) {
    return index < 0 || index >= INSTANCE_ALARM_COUNT ? 0 : index;
}

void Add(const char* name, BuiltinVarGetter get, BuiltinVarSetter set = nullptr) {
    Variable_BuiltIn_Add(name, get, set);
}

// Sprite measures scaled by the instance; 0 without a loaded sprite.
bool SpriteMeasure(const CInstance* self, int which, RValue* out) {
    SpriteCollisionShape shape{};
    if (World().spriteMask == nullptr || !World().spriteMask(self->sprite_index, &shape)) return Real(out, 0);
    switch (which) {
        case 0:
            return Real(out, static_cast<double>(shape.width) * self->image_xscale);
        case 1:
            return Real(out, static_cast<double>(shape.height) * self->image_yscale);
        case 2:
            return Real(out, static_cast<double>(shape.xorigin) * self->image_xscale);
        default:
            return Real(out, static_cast<double>(shape.yorigin) * self->image_yscale);
    }
}

bool Box(CInstance* self, int edge, RValue* out) {
    if (self->boxDirty) self->ComputeBoundingBox(true);
    const int32_t values[4] = {self->bbox_left, self->bbox_right, self->bbox_top, self->bbox_bottom};
    return Real(out, values[edge]);
}

bool SetDepth(CInstance* self, int32_t, RValue* v) {
    const float depth = Single(v);
    // NaN compares unequal, so it always counts as a change.
    if (static_cast<double>(depth) == static_cast<double>(self->depth)) return true;
    self->depth = depth;
    Pending_AddDepthChange(self);
    if (Run_Room() != nullptr) ROOM_SERVICE(layerInstanceDepthChanged, Run_Room(), self);
    return true;
}

bool GetLayer(CInstance* self, int32_t, RValue* out) {
    if (!self->onLayer || World().layerFind == nullptr || Run_Room() == nullptr) return Real(out, -1);
    return Real(out, World().layerFind(Run_Room(), self->layer) != nullptr ? self->layer : -1);
}
bool SetLayer(CInstance* self, int32_t, RValue* v) {
    CRoom* room = Run_Room();
    if (room != nullptr && g_RoomServices.layerRemoveInstance) g_RoomServices.layerRemoveInstance(room, self);
    self->layer = static_cast<int32_t>(std::trunc(RValue_ToReal(v)));
    CLayer* layer = room != nullptr && World().layerFind ? World().layerFind(room, self->layer) : nullptr;
    if (layer != nullptr && g_RoomServices.layerAttachInstance)
        g_RoomServices.layerAttachInstance(room, layer, self);
    return true;
}

// The phy_ variables ask the physics module; without it every instance is one without a body.
template <PhysicsVariable variable>
bool PhysicsGet(CInstance* self, int32_t index, RValue* out) {
    double value = 0.0;
    if (g_PhysicsServices.getVariable == nullptr ||
        !g_PhysicsServices.getVariable(self, variable, index, &value))
        return false;
    return Real(out, value);
}
template <PhysicsVariable variable>
bool PhysicsSet(CInstance* self, int32_t, RValue* v) {
    return g_PhysicsServices.setVariable != nullptr &&
           g_PhysicsServices.setVariable(self, variable, RValue_ToReal(v));
}
template <size_t... I>
constexpr std::array<BuiltinVarGetter, sizeof...(I)> PhysicsGetterTable(std::index_sequence<I...>) {
    return {PhysicsGet<static_cast<PhysicsVariable>(I)>...};
}
template <size_t... I>
constexpr std::array<BuiltinVarSetter, sizeof...(I)> PhysicsSetterTable(std::index_sequence<I...>) {
    return {PhysicsSet<static_cast<PhysicsVariable>(I)>...};
}
constexpr auto PhysicsGetters = PhysicsGetterTable(std::make_index_sequence<PHYSICS_VAR_COUNT>());
constexpr auto PhysicsSetters = PhysicsSetterTable(std::make_index_sequence<PHYSICS_VAR_COUNT>());

#define G(expr) [](CInstance* self, int32_t, RValue* out) -> bool { return Real(out, (expr)); }
#define S(stmt) \
    [](CInstance* self, int32_t, RValue* v) -> bool { \
        stmt; \
        return true; \
    }

}  // namespace

void Variable_BuiltIn_RegisterInstance() {
    Add("x", G(self->x), S(self->SetPosition(Single(v), self->y)));
    Add("y", G(self->y), S(self->SetPosition(self->x, Single(v))));
    Add("xprevious", G(self->xprevious), S(self->xprevious = Single(v)));
    Add("yprevious", G(self->yprevious), S(self->yprevious = Single(v)));
    Add("xstart", G(self->xstart), S(self->xstart = Single(v)));
    Add("ystart", G(self->ystart), S(self->ystart = Single(v)));
    Add("hspeed", G(self->hspeed), S(self->SetHSpeed(Single(v))));
    Add("vspeed", G(self->vspeed), S(self->SetVSpeed(Single(v))));
    Add("direction", G(self->direction), S(self->SetDirection(Single(v))));
    Add("speed", G(self->speed), S(self->SetSpeed(Single(v))));
    Add("friction", G(self->friction), S(self->friction = Single(v)));
    Add("gravity", G(self->gravity), S(self->gravity = Single(v)));
    Add("gravity_direction", G(self->gravity_direction), S(self->gravity_direction = Single(v)));
    Add("object_index", G(self->object_index));
    Add("id", G(self->id));
    Add(
        "alarm",
        [](CInstance* self, int32_t index, RValue* out) {
            return Real(out, self->GetAlarm(AlarmIndex(index)));
        },
        [](CInstance* self, int32_t index, RValue* v) {
            self->SetAlarm(AlarmIndex(index), SingleRounded(v));
            return true;
        });
    Add("solid", G(self->solid), S(self->solid = NonzeroFlag(v)));
    Add("visible", G(self->visible), S(self->visible = NonzeroFlag(v)));
    Add("persistent", G(self->persistent), S(self->persistent = NonzeroFlag(v)));
    Add("depth", G(self->depth), SetDepth);
    Add("bbox_left", [](CInstance* self, int32_t, RValue* out) { return Box(self, 0, out); });
    Add("bbox_right", [](CInstance* self, int32_t, RValue* out) { return Box(self, 1, out); });
    Add("bbox_top", [](CInstance* self, int32_t, RValue* out) { return Box(self, 2, out); });
    Add("bbox_bottom", [](CInstance* self, int32_t, RValue* out) { return Box(self, 3, out); });
    Add("sprite_index", G(self->sprite_index), S(self->SetSpriteIndex(RValue_ToInt32(v))));
    Add("image_index", G(self->image_index), S(self->image_index = Single(v)));
    Add("image_single", G(self->image_speed != 0.0f ? -1.0 : self->image_index), S({
            const float value = Single(v);
            if (value < 0.0f) {
                self->image_speed = 1.0f;
            } else {
                self->image_index = value;
                self->image_speed = 0.0f;
            }
        }));
    Add("image_number", G(self->GetImageNumber()));
    Add("sprite_width", [](CInstance* self, int32_t, RValue* out) { return SpriteMeasure(self, 0, out); });
    Add("sprite_height", [](CInstance* self, int32_t, RValue* out) { return SpriteMeasure(self, 1, out); });
    Add("sprite_xoffset", [](CInstance* self, int32_t, RValue* out) { return SpriteMeasure(self, 2, out); });
    Add("sprite_yoffset", [](CInstance* self, int32_t, RValue* out) { return SpriteMeasure(self, 3, out); });
    Add("image_xscale", G(self->image_xscale), S(self->SetImageXScale(Single(v))));
    Add("image_yscale", G(self->image_yscale), S(self->SetImageYScale(Single(v))));
    Add("image_angle", G(self->image_angle), S(self->SetImageAngle(Single(v))));
    Add("image_alpha", G(self->image_alpha), S(self->image_alpha = Single(v)));
    Add("image_blend", G(static_cast<int32_t>(self->image_blend)),
        S(self->image_blend = static_cast<uint32_t>(SingleRounded(v))));
    Add("image_speed", G(self->image_speed), S(self->image_speed = Single(v)));
    Add("mask_index", G(self->mask_index), S(self->SetMaskIndex(SingleRounded(v))));
    Add("path_index", G(self->path_index));
    Add("path_position", G(self->path_position), S(self->SetPathPosition(Single(v))));
    Add("path_positionprevious", G(self->path_positionprevious), S(self->SetPathPositionPrevious(Single(v))));
    Add("path_speed", G(self->path_speed), S(self->SetPathSpeed(Single(v))));
    Add("path_scale", G(self->path_scale), S(self->path_scale = Single(v)));
    Add("path_orientation", G(self->path_orientation), S(self->path_orientation = Single(v)));
    Add("path_endaction", G(self->path_endaction), S(self->path_endaction = SingleRounded(v)));
    Add("timeline_index", G(self->timeline_index), S(self->timeline_index = SingleRounded(v)));
    Add("timeline_position", G(self->timeline_position), S(self->timeline_position = Single(v)));
    Add("timeline_speed", G(self->timeline_speed), S(self->timeline_speed = Single(v)));
    Add("timeline_running", G(self->timeline_running), S(self->timeline_running = Flag(v)));
    Add("timeline_loop", G(self->timeline_loop), S(self->timeline_loop = Flag(v)));
    Add("async_load", [](CInstance*, int32_t, RValue* out) { return Real(out, Async_GetLoadMap()); });
    Add("iap_data", [](CInstance*, int32_t, RValue* out) { return Real(out, -1); });
    static constexpr const char* kPhysicsNames[] = {"phy_rotation",
                                                    "phy_position_x",
                                                    "phy_position_y",
                                                    "phy_angular_velocity",
                                                    "phy_linear_velocity_x",
                                                    "phy_linear_velocity_y",
                                                    "phy_speed_x",
                                                    "phy_speed_y",
                                                    "phy_angular_damping",
                                                    "phy_linear_damping",
                                                    "phy_bullet",
                                                    "phy_fixed_rotation",
                                                    "phy_active",
                                                    "phy_mass",
                                                    "phy_inertia",
                                                    "phy_com_x",
                                                    "phy_com_y",
                                                    "phy_speed",
                                                    "phy_dynamic",
                                                    "phy_kinematic",
                                                    "phy_sleeping",
                                                    "phy_position_xprevious",
                                                    "phy_position_yprevious",
                                                    "phy_collision_points",
                                                    "phy_collision_x",
                                                    "phy_collision_y",
                                                    "phy_col_normal_x",
                                                    "phy_col_normal_y"};
    static_assert(std::size(kPhysicsNames) == PHYSICS_VAR_COUNT);
    for (int32_t i = 0; i < PHYSICS_VAR_COUNT; ++i)
        Variable_BuiltIn_Add(kPhysicsNames[i], PhysicsGetters[i],
                             i < kPhysicsVariableFirstReadOnly ? PhysicsSetters[i] : nullptr);
    Add("display_aa", [](CInstance*, int32_t, RValue* out) { return Real(out, 0); });
    Add("delta_time", [](CInstance*, int32_t, RValue* out) {
        return Real(out, static_cast<double>(g_FrameTiming.deltaTime));
    });
    Add("webgl_enabled", [](CInstance*, int32_t, RValue* out) { return Real(out, 1); });
    Add("layer", GetLayer, SetLayer);
}
