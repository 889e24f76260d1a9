// The physics_particle_* built-ins. Each finds the current room's world (or reports the
// built-in's own no-world message and leaves its default result), converts room units to the
// particle system's (pixels x the world's factor, degrees x pi / 180) and runs one operation.
#include "physics/Function_Physics_Particle.h"

#include <cmath>
#include <cstdio>

#include "assets/Sprite_Main.h"
#include "core/CRuntimeCompat.h"
#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "data/Function_Data_Structures.h"
#include "io/Buffer_Manager.h"
#include "physics/Physics_Guard.h"
#include "physics/Physics_ParticleDraw.h"
#include "physics/Physics_World.h"
#include "world/Room_Class.h"
#include "world/Run.h"

#define PARTICLE_BUILTIN(Name) \
    void Name(RValue& result, CInstance*, CInstance*, [[maybe_unused]] int32_t argc, \
              [[maybe_unused]] RValue* args)

namespace {

// The current room's world; without one, "<name> The current room does not have a physics world
// representation" is reported and the result is null.
CPhysicsWorld* WorldOf(const char* name) {
    CRoom* room = Run_Room();
    if (room != nullptr && room->physicsWorld != nullptr) return room->physicsWorld;
    char message[256];
    std::snprintf(message, sizeof message, "%s The current room does not have a physics world representation",
                  name);
    Runtime_ReportError(message, false);
    return nullptr;
}

// Colour 0xBBGGRR and alpha 0..1 as particle colour bytes: alpha keeps the low 8 bits of
// alpha x 255 truncated.
ParticleColour ColourOf(int32_t colour, float alpha) {
    const auto c = static_cast<uint32_t>(colour);
    const int32_t a = CRT_TruncToInt32(static_cast<double>(alpha * 255.0f));
    return {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>((c >> 8) & 0xFF),
            static_cast<uint8_t>((c >> 16) & 0xFF), static_cast<uint8_t>(a & 0xFF)};
}

float Radians(float degrees) {
    return degrees * kPhysicsPi / 180.0f;
}

float Degrees(float radians) {
    return radians * 180.0f / kPhysicsPi;
}

IBuffer* BufferOrReport(int32_t index) {
    IBuffer* buffer = Buffer_GetByIndex(index);
    if (buffer == nullptr) Runtime_ReportError("Illegal Buffer Index", false);
    return buffer;
}

void WriteNumber(IBuffer* buffer, int32_t type, double value) {
    const RValue v = RValue_Real(value);
    buffer->Write(type, &v);
}

// --- Particles -----------------------------------------------------------------------------

PARTICLE_BUILTIN(F_PhysicsParticleCreate) {
    Result_SetReal(result, -1.0);
    CPhysicsWorld* world = WorldOf("physics_particle_create()");
    if (world == nullptr) return;
    const float f = world->PixelsToMetres();
    const int32_t index = world->Particles().CreateParticle(
        Arg_GetUInt32(args, 0), b2Vec2(Arg_GetFloat(args, 1) * f, Arg_GetFloat(args, 2) * f),
        b2Vec2(Arg_GetFloat(args, 3) * f, Arg_GetFloat(args, 4) * f),
        ColourOf(Arg_GetInt32(args, 5), Arg_GetFloat(args, 6)), Arg_GetInt32(args, 7));
    Result_SetReal(result, index);
}

PARTICLE_BUILTIN(F_PhysicsParticleDelete) {
    (void)result;
    if (CPhysicsWorld* world = WorldOf("physics_particle_delete()"))
        world->Particles().DestroyParticle(Arg_GetInt32(args, 0));
}

PARTICLE_BUILTIN(F_PhysicsParticleDeleteRegionCircle) {
    (void)result;
    CPhysicsWorld* world = WorldOf("physics_particle_delete_region_circle()");
    if (world == nullptr) return;
    const float f = world->PixelsToMetres();
    b2CircleShape circle;
    circle.m_radius = PhysicsGuard_Length(Arg_GetFloat(args, 2) * f);
    const b2Transform at(PhysicsGuard_Vector(Arg_GetFloat(args, 0) * f, Arg_GetFloat(args, 1) * f),
                         b2Rot(0.0f));
    world->Particles().DestroyParticlesInShape(circle, at);
}

PARTICLE_BUILTIN(F_PhysicsParticleDeleteRegionBox) {
    (void)result;
    CPhysicsWorld* world = WorldOf("physics_particle_delete_region_box()");
    if (world == nullptr) return;
    const float f = world->PixelsToMetres();
    b2PolygonShape box;
    box.SetAsBox(std::fabs(PhysicsGuard_Length(Arg_GetFloat(args, 2) * f)),
                 std::fabs(PhysicsGuard_Length(Arg_GetFloat(args, 3) * f)));
    const b2Transform at(PhysicsGuard_Vector(Arg_GetFloat(args, 0) * f, Arg_GetFloat(args, 1) * f),
                         b2Rot(0.0f));
    world->Particles().DestroyParticlesInShape(box, at);
}

PARTICLE_BUILTIN(F_PhysicsParticleDeleteRegionPoly) {
    (void)result;
    CPhysicsWorld* world = WorldOf("physics_particle_delete_region_poly()");
    if (world == nullptr) return;
    CDS_List* list = g_DsListTable.Get(Arg_GetInt32(args, 0));
    if (list == nullptr) {
        DS_ReportMissing();
        return;
    }
    if (list->Size() == 0) return;
    const float f = world->PixelsToMetres();
    b2Vec2 points[b2_maxPolygonVertices];
    const int32_t count = std::min(list->Size() / 2, static_cast<int32_t>(b2_maxPolygonVertices));
    for (int32_t i = 0; i < count; ++i)
        points[i] = b2Vec2(static_cast<float>(RValue_ToReal(list->GetItem(2 * i))) * f,
                           static_cast<float>(RValue_ToReal(list->GetItem(2 * i + 1))) * f);
    if (!PhysicsGuard_PolygonIsBuildable(points, count)) {
        Physics_AssertHandler(false, "3 <= count && count <= b2_maxPolygonVertices");
        return;
    }
    b2PolygonShape polygon;
    polygon.Set(points, count);
    b2Transform origin;
    origin.SetIdentity();
    world->Particles().DestroyParticlesInShape(polygon, origin);
}

PARTICLE_BUILTIN(F_PhysicsParticleSetFlags) {
    (void)result;
    if (CPhysicsWorld* world = WorldOf("physics_particle_group_delete()"))
        world->Particles().SetParticleFlags(Arg_GetInt32(args, 0), Arg_GetUInt32(args, 1));
}

PARTICLE_BUILTIN(F_PhysicsParticleSetCategoryFlags) {
    (void)result;
    if (CPhysicsWorld* world = WorldOf("physics_particle_group_delete()"))
        world->Particles().SetCategoryFlags(Arg_GetInt32(args, 0), Arg_GetUInt32(args, 1));
}

PARTICLE_BUILTIN(F_PhysicsParticleDraw) {
    (void)result;
    CPhysicsWorld* world = WorldOf("physics_particles_draw()");
    if (world == nullptr) return;
    const int32_t sprite = Arg_GetInt32(args, 2);
    if (Sprite_Exists(sprite))
        PhysicsParticles_Draw(*world, Arg_GetUInt32(args, 0), Arg_GetInt32(args, 1), sprite,
                              Arg_GetInt32(args, 3));
}

PARTICLE_BUILTIN(F_PhysicsParticleDrawExt) {
    (void)result;
    CPhysicsWorld* world = WorldOf("physics_particles_draw()");
    if (world == nullptr) return;
    const int32_t sprite = Arg_GetInt32(args, 2);
    if (Sprite_Exists(sprite))
        PhysicsParticles_DrawExt(*world, Arg_GetUInt32(args, 0), Arg_GetInt32(args, 1), sprite,
                                 Arg_GetInt32(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                                 Radians(Arg_GetFloat(args, 6)), Arg_GetColour(args, 7),
                                 Arg_GetFloat(args, 8));
}

PARTICLE_BUILTIN(F_PhysicsParticleCount) {
    Result_SetReal(result, -1.0);
    if (CPhysicsWorld* world = WorldOf("physics_particle_count()"))
        Result_SetReal(result, world->Particles().Count());
}

PARTICLE_BUILTIN(F_PhysicsParticleGetData) {
    Result_SetReal(result, -1.0);
    CPhysicsWorld* world = WorldOf("physics_particle_data()");
    if (world == nullptr) return;
    if (IBuffer* buffer = BufferOrReport(Arg_GetInt32(args, 0)))
        PhysicsParticles_WriteData(*world, buffer, Arg_GetUInt32(args, 1), 0, world->Particles().Count());
}

// Registered with two arguments and reads three: a call with fewer is refused, not read past.
PARTICLE_BUILTIN(F_PhysicsParticleGetDataParticle) {
    Result_SetReal(result, -1.0);
    CPhysicsWorld* world = WorldOf("physics_particle_get_data_particle()");
    if (world == nullptr) return;
    if (argc < 3) {
        Runtime_ReportError(
            "physics_particle_get_data_particle() takes 3 arguments: index, buffer, data mask", false);
        return;
    }
    const int32_t index = Arg_GetInt32(args, 0);
    if (IBuffer* buffer = BufferOrReport(Arg_GetInt32(args, 1)))
        PhysicsParticles_WriteData(*world, buffer, Arg_GetUInt32(args, 2), index, index + 1);
}

// --- Groups --------------------------------------------------------------------------------

PARTICLE_BUILTIN(F_PhysicsParticleGroupBegin) {
    (void)result;
    CPhysicsWorld* world = WorldOf("physics_particle_group_begin()");
    if (world == nullptr) return;
    const float f = world->PixelsToMetres();
    ParticleGroupDef& def = world->Particles().PendingGroup();
    def.flags = Arg_GetUInt32(args, 0);
    def.groupFlags = Arg_GetUInt32(args, 1);
    def.position = b2Vec2(Arg_GetFloat(args, 2) * f, Arg_GetFloat(args, 3) * f);
    def.angle = -Radians(Arg_GetFloat(args, 4));
    def.linearVelocity = b2Vec2(Arg_GetFloat(args, 5) * f, Arg_GetFloat(args, 6) * f);
    def.angularVelocity = Radians(Arg_GetFloat(args, 7));
    def.colour = ColourOf(Arg_GetInt32(args, 8), Arg_GetFloat(args, 9));
    def.strength = Arg_GetFloat(args, 10);
    def.category = Arg_GetInt32(args, 11);
    def.destroyAutomatically = true;
}

PARTICLE_BUILTIN(F_PhysicsParticleGroupCircle) {
    (void)result;
    CPhysicsWorld* world = WorldOf("physics_particle_group_circle()");
    if (world == nullptr) return;
    ParticleGroupDef& def = world->Particles().PendingGroup();
    def.shape = ParticleGroupDef::CIRCLE;
    def.radius = std::fabs(Arg_GetFloat(args, 0) * world->PixelsToMetres());
}

PARTICLE_BUILTIN(F_PhysicsParticleGroupBox) {
    (void)result;
    CPhysicsWorld* world = WorldOf("physics_particle_group_box()");
    if (world == nullptr) return;
    // A side of 0 counts as 1 pixel.
    float halfWidth = Arg_GetFloat(args, 0), halfHeight = Arg_GetFloat(args, 1);
    if (halfWidth == 0.0f) halfWidth = 1.0f;
    if (halfHeight == 0.0f) halfHeight = 1.0f;
    ParticleGroupDef& def = world->Particles().PendingGroup();
    def.shape = ParticleGroupDef::BOX;
    def.halfWidth = halfWidth * world->PixelsToMetres();
    def.halfHeight = halfHeight * world->PixelsToMetres();
}

PARTICLE_BUILTIN(F_PhysicsParticleGroupPolygon) {
    (void)result;
    CPhysicsWorld* world = WorldOf("physics_particle_group_polygon()");
    if (world == nullptr) return;
    ParticleGroupDef& def = world->Particles().PendingGroup();
    def.shape = ParticleGroupDef::POLYGON;
    def.points.clear();
}

PARTICLE_BUILTIN(F_PhysicsParticleGroupAddPoint) {
    (void)result;
    CPhysicsWorld* world = WorldOf("physics_particle_group_add_point()");
    if (world == nullptr) return;
    ParticleGroupDef& def = world->Particles().PendingGroup();
    if (def.shape != ParticleGroupDef::POLYGON || def.points.size() >= kParticleGroupPolygonPoints) return;
    const float f = world->PixelsToMetres();
    def.points.emplace_back(Arg_GetFloat(args, 0) * f, Arg_GetFloat(args, 1) * f);
}

PARTICLE_BUILTIN(F_PhysicsParticleGroupEnd) {
    Result_SetReal(result, -1.0);
    if (CPhysicsWorld* world = WorldOf("physics_particle_group_end()"))
        Result_SetReal(result, world->Particles().EndGroup());
}

PARTICLE_BUILTIN(F_PhysicsParticleGroupJoin) {
    (void)result;
    if (CPhysicsWorld* world = WorldOf("physics_particle_group_join()"))
        world->Particles().JoinGroups(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1));
}

PARTICLE_BUILTIN(F_PhysicsParticleGroupDelete) {
    (void)result;
    if (CPhysicsWorld* world = WorldOf("physics_particle_group_delete()"))
        world->Particles().DeleteGroup(Arg_GetInt32(args, 0));
}

PARTICLE_BUILTIN(F_PhysicsParticleGroupCount) {
    Result_SetReal(result, -1.0);
    if (CPhysicsWorld* world = WorldOf("physics_particle_group_count()"))
        Result_SetReal(result, world->Particles().GroupCount(Arg_GetInt32(args, 0)));
}

PARTICLE_BUILTIN(F_PhysicsParticleGroupGetData) {
    Result_SetReal(result, -1.0);
    CPhysicsWorld* world = WorldOf("physics_particle_group_get_data()");
    if (world == nullptr) return;
    const PhysicsParticleGroup* group = world->Particles().Group(Arg_GetInt32(args, 0));
    IBuffer* buffer = BufferOrReport(Arg_GetInt32(args, 1));
    if (buffer != nullptr && group != nullptr)
        PhysicsParticles_WriteData(*world, buffer, Arg_GetUInt32(args, 2), group->first, group->end);
}

// The ten group getters: one statistic of the group, in room units.
enum class GroupValue { Mass, Inertia, CentreX, CentreY, VelX, VelY, AngVel, X, Y, Angle };

template <GroupValue value>
void GroupGetter(RValue& result, RValue* args, const char* name) {
    Result_SetReal(result, -1.0);
    CPhysicsWorld* world = WorldOf(name);
    if (world == nullptr) return;
    const int32_t id = Arg_GetInt32(args, 0);
    const CPhysicsParticleSystem& system = world->Particles();
    const PhysicsParticleGroup* group = system.Group(id);
    if (group == nullptr) {
        Result_SetReal(result, 0.0);
        return;
    }
    const float f = world->PixelsToMetres();
    const ParticleGroupStats s = system.GroupStats(id);
    float answer = 0.0f;
    switch (value) {
        case GroupValue::Mass:
            answer = s.mass;
            break;
        case GroupValue::Inertia:
            answer = s.inertia;
            break;
        case GroupValue::CentreX:
            answer = s.centre.x / f;
            break;
        case GroupValue::CentreY:
            answer = s.centre.y / f;
            break;
        case GroupValue::VelX:
            answer = s.velocity.x / f;
            break;
        case GroupValue::VelY:
            answer = s.velocity.y / f;
            break;
        case GroupValue::AngVel:
            answer = Degrees(s.angularVelocity);
            break;
        case GroupValue::X:
            answer = group->position.x / f;
            break;
        case GroupValue::Y:
            answer = group->position.y / f;
            break;
        case GroupValue::Angle:
            answer = Degrees(group->angle);
            break;
    }
    Result_SetReal(result, answer);
}

PARTICLE_BUILTIN(F_PhysicsParticleGroupGetMass) {
    GroupGetter<GroupValue::Mass>(result, args, "physics_particle_group_get_mass()");
}
PARTICLE_BUILTIN(F_PhysicsParticleGroupGetInertia) {
    GroupGetter<GroupValue::Inertia>(result, args, "physics_particle_group_get_inertia()");
}
PARTICLE_BUILTIN(F_PhysicsParticleGroupGetCentreX) {
    GroupGetter<GroupValue::CentreX>(result, args, "physics_particle_group_get_centre_x()");
}
PARTICLE_BUILTIN(F_PhysicsParticleGroupGetCentreY) {
    GroupGetter<GroupValue::CentreY>(result, args, "physics_particle_group_get_centre_y()");
}
PARTICLE_BUILTIN(F_PhysicsParticleGroupGetVelX) {
    GroupGetter<GroupValue::VelX>(result, args, "physics_particle_group_get_vel_x()");
}
PARTICLE_BUILTIN(F_PhysicsParticleGroupGetVelY) {
    GroupGetter<GroupValue::VelY>(result, args, "physics_particle_group_get_vel_y()");
}
PARTICLE_BUILTIN(F_PhysicsParticleGroupGetAngVel) {
    GroupGetter<GroupValue::AngVel>(result, args, "physics_particle_group_get_x()");
}
PARTICLE_BUILTIN(F_PhysicsParticleGroupGetX) {
    GroupGetter<GroupValue::X>(result, args, "physics_particle_group_get_x()");
}
PARTICLE_BUILTIN(F_PhysicsParticleGroupGetY) {
    GroupGetter<GroupValue::Y>(result, args, "physics_particle_group_get_y()");
}
PARTICLE_BUILTIN(F_PhysicsParticleGroupGetAngle) {
    GroupGetter<GroupValue::Angle>(result, args, "physics_particle_group_get_angle()");
}

PARTICLE_BUILTIN(F_PhysicsParticleSetGroupFlags) {
    (void)result;
    CPhysicsWorld* world = WorldOf("physics_particle_group_delete()");
    if (world == nullptr) return;
    if (PhysicsParticleGroup* group = world->Particles().Group(Arg_GetInt32(args, 0)))
        group->flags = Arg_GetUInt32(args, 1);
}

PARTICLE_BUILTIN(F_PhysicsParticleGetGroupFlags) {
    Result_SetReal(result, -1.0);
    CPhysicsWorld* world = WorldOf("physics_particle_create()");
    if (world == nullptr) return;
    const PhysicsParticleGroup* group = world->Particles().Group(Arg_GetInt32(args, 0));
    Result_SetReal(result, group != nullptr ? group->flags : 0u);
}

// --- Settings ------------------------------------------------------------------------------

PARTICLE_BUILTIN(F_PhysicsParticleGetMaxCount) {
    Result_SetReal(result, -1.0);
    if (CPhysicsWorld* world = WorldOf("physics_particle_max_count()"))
        Result_SetReal(result, world->Particles().MaxCount());
}

PARTICLE_BUILTIN(F_PhysicsParticleGetRadius) {
    Result_SetReal(result, -1.0);
    if (CPhysicsWorld* world = WorldOf("physics_particle_radius()"))
        Result_SetReal(result, world->Particles().Radius() / world->PixelsToMetres());
}

PARTICLE_BUILTIN(F_PhysicsParticleGetDensity) {
    Result_SetReal(result, -1.0);
    if (CPhysicsWorld* world = WorldOf("physics_particle_density()"))
        Result_SetReal(result, world->Particles().Density());
}

PARTICLE_BUILTIN(F_PhysicsParticleGetDamping) {
    Result_SetReal(result, -1.0);
    if (CPhysicsWorld* world = WorldOf("physics_particle_damping()"))
        Result_SetReal(result, world->Particles().Damping());
}

PARTICLE_BUILTIN(F_PhysicsParticleGetGravityScale) {
    Result_SetReal(result, -1.0);
    if (CPhysicsWorld* world = WorldOf("physics_particle_gravity_scale()"))
        Result_SetReal(result, world->Particles().GravityScale());
}

PARTICLE_BUILTIN(F_PhysicsParticleSetMaxCount) {
    (void)result;
    if (CPhysicsWorld* world = WorldOf("physics_particle_set_max_count()"))
        world->Particles().SetMaxCount(Arg_GetInt32(args, 0));
}

PARTICLE_BUILTIN(F_PhysicsParticleSetRadius) {
    (void)result;
    if (CPhysicsWorld* world = WorldOf("physics_particle_set_radius()"))
        world->Particles().SetRadius(Arg_GetFloat(args, 0) * world->PixelsToMetres());
}

PARTICLE_BUILTIN(F_PhysicsParticleSetDensity) {
    (void)result;
    if (CPhysicsWorld* world = WorldOf("physics_particle_set_radius()"))
        world->Particles().SetDensity(Arg_GetFloat(args, 0));
}

PARTICLE_BUILTIN(F_PhysicsParticleSetDamping) {
    (void)result;
    if (CPhysicsWorld* world = WorldOf("physics_particle_set_damping()"))
        world->Particles().SetDamping(Arg_GetFloat(args, 0));
}

PARTICLE_BUILTIN(F_PhysicsParticleSetGravityScale) {
    (void)result;
    if (CPhysicsWorld* world = WorldOf("physics_particle_set_gravity_scale()"))
        world->Particles().SetGravityScale(Arg_GetFloat(args, 0));
}

constexpr BuiltinRow kRows[] = {
    {"physics_particle_create", F_PhysicsParticleCreate, 8, 1},
    {"physics_particle_delete", F_PhysicsParticleDelete, 1, 1},
    {"physics_particle_delete_region_circle", F_PhysicsParticleDeleteRegionCircle, 3, 0},
    {"physics_particle_delete_region_box", F_PhysicsParticleDeleteRegionBox, 4, 0},
    {"physics_particle_delete_region_poly", F_PhysicsParticleDeleteRegionPoly, 1, 0},
    {"physics_particle_set_flags", F_PhysicsParticleSetFlags, 2, 0},
    {"physics_particle_set_category_flags", F_PhysicsParticleSetCategoryFlags, 2, 0},
    {"physics_particle_draw", F_PhysicsParticleDraw, 4, 1},
    {"physics_particle_draw_ext", F_PhysicsParticleDrawExt, 9, 1},
    {"physics_particle_count", F_PhysicsParticleCount, 0, 1},
    {"physics_particle_get_data", F_PhysicsParticleGetData, 2, 1},
    {"physics_particle_get_data_particle", F_PhysicsParticleGetDataParticle, 2, 1},
    {"physics_particle_group_begin", F_PhysicsParticleGroupBegin, 12, 1},
    {"physics_particle_group_circle", F_PhysicsParticleGroupCircle, 2, 1},
    {"physics_particle_group_box", F_PhysicsParticleGroupBox, 3, 1},
    {"physics_particle_group_polygon", F_PhysicsParticleGroupPolygon, 1, 1},
    {"physics_particle_group_add_point", F_PhysicsParticleGroupAddPoint, 3, 1},
    {"physics_particle_group_end", F_PhysicsParticleGroupEnd, 0, 1},
    {"physics_particle_group_join", F_PhysicsParticleGroupJoin, 2, 1},
    {"physics_particle_group_delete", F_PhysicsParticleGroupDelete, 1, 1},
    {"physics_particle_group_count", F_PhysicsParticleGroupCount, 1, 1},
    {"physics_particle_group_get_data", F_PhysicsParticleGroupGetData, 3, 1},
    {"physics_particle_group_get_mass", F_PhysicsParticleGroupGetMass, 1, 0},
    {"physics_particle_group_get_inertia", F_PhysicsParticleGroupGetInertia, 1, 0},
    {"physics_particle_group_get_centre_x", F_PhysicsParticleGroupGetCentreX, 1, 0},
    {"physics_particle_group_get_centre_y", F_PhysicsParticleGroupGetCentreY, 1, 0},
    {"physics_particle_group_get_vel_x", F_PhysicsParticleGroupGetVelX, 1, 0},
    {"physics_particle_group_get_vel_y", F_PhysicsParticleGroupGetVelY, 1, 0},
    {"physics_particle_group_get_ang_vel", F_PhysicsParticleGroupGetAngVel, 1, 0},
    {"physics_particle_group_get_x", F_PhysicsParticleGroupGetX, 1, 0},
    {"physics_particle_group_get_y", F_PhysicsParticleGroupGetY, 1, 0},
    {"physics_particle_group_get_angle", F_PhysicsParticleGroupGetAngle, 1, 0},
    {"physics_particle_set_group_flags", F_PhysicsParticleSetGroupFlags, 2, 0},
    {"physics_particle_get_group_flags", F_PhysicsParticleGetGroupFlags, 1, 0},
    {"physics_particle_get_max_count", F_PhysicsParticleGetMaxCount, 0, 0},
    {"physics_particle_get_radius", F_PhysicsParticleGetRadius, 0, 0},
    {"physics_particle_get_density", F_PhysicsParticleGetDensity, 0, 0},
    {"physics_particle_get_damping", F_PhysicsParticleGetDamping, 0, 0},
    {"physics_particle_get_gravity_scale", F_PhysicsParticleGetGravityScale, 0, 0},
    {"physics_particle_set_max_count", F_PhysicsParticleSetMaxCount, 1, 0},
    {"physics_particle_set_radius", F_PhysicsParticleSetRadius, 1, 0},
    {"physics_particle_set_density", F_PhysicsParticleSetDensity, 1, 0},
    {"physics_particle_set_damping", F_PhysicsParticleSetDamping, 1, 0},
    {"physics_particle_set_gravity_scale", F_PhysicsParticleSetGravityScale, 1, 0},
};
static_assert(sizeof kRows / sizeof kRows[0] == 44, "the particle family has 44 built-ins");

}  // namespace

void PhysicsParticles_WriteData(CPhysicsWorld& world, IBuffer* buffer, uint32_t mask, int32_t first,
                                int32_t end) {
    const CPhysicsParticleSystem& system = world.Particles();
    const int32_t count = system.Count();
    if (first < 0 || first >= count || end < first || end > count) return;
    const int32_t start = buffer->Seek(1, 0);
    for (int32_t i = first; i < end; ++i) {
        const PhysicsParticle& p = system.Particles()[i];
        if ((mask & 1) != 0) WriteNumber(buffer, eBuffer_U32, p.flags);
        if ((mask & 2) != 0) {
            WriteNumber(buffer, eBuffer_F32, p.position.x / world.PixelsToMetres());
            WriteNumber(buffer, eBuffer_F32, p.position.y / world.PixelsToMetres());
        }
        if ((mask & 4) != 0) {
            WriteNumber(buffer, eBuffer_F32, p.velocity.x / world.PixelsToMetres());
            WriteNumber(buffer, eBuffer_F32, p.velocity.y / world.PixelsToMetres());
        }
        if ((mask & 8) != 0)
            WriteNumber(buffer, eBuffer_U32,
                        static_cast<uint32_t>(p.colour.a) << 24 | static_cast<uint32_t>(p.colour.r) << 16 |
                            static_cast<uint32_t>(p.colour.g) << 8 | p.colour.b);
        if ((mask & 16) != 0) WriteNumber(buffer, eBuffer_S32, p.category);
    }
    buffer->Seek(0, start);
}

void InitPhysicsParticleFunctions() {
    Code_Function_AddRows(kRows);
}
