#include "world/Function_Game.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "core/CRuntimeCompat.h"
#include "core/Code_Function.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "data/Common.h"
#include "world/Collision_Main.h"
#include "base/Runner.h"
#include "base/Error_Report.h"
#include "world/Event_Main.h"
#include "base/GEN8.h"
#include "world/World_Step.h"
#include "world/Object_Main.h"
#include "world/Room_Main.h"
#include "world/Run.h"
#include "world/Run_Command.h"
#include "world/GameSave.h"
#include "world/Motion_Grid.h"
#include "world/Motion_Planning.h"
#include "world/Path_Main.h"

namespace {

// Every built-in has the same signature; most read only some of it.
#define BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)

void SetInstance(RValue& result, const CInstance* instance) {
    result = RValue_Real(instance != nullptr ? instance->id : kFilterNoone);
}
// The create family and instance_find: the instance itself in object mode.
void SetMadeInstance(RValue& result, CInstance* instance, double none) {
    if (g_GameHeader.objectMode) {
        result = RValue_Undefined();
        result.kind = instance != nullptr ? VALUE_OBJECT : VALUE_NULL;
        result.obj = instance;
        return;
    }
    result = RValue_Real(instance != nullptr ? instance->id : none);
}

// -1 and -2 become the caller's and the other instance's ids when there are such instances.
int32_t SelfOther(int32_t filter, const CInstance* self, const CInstance* other) {
    if (filter == -1 && self != nullptr) return self->id;
    if (filter == -2 && other != nullptr) return other->id;
    return filter;
}

bool PathCheck(int32_t path) {
    if (Path_Exists(path)) return true;
    Error_Report("Trying to assign to a non-existing path.", false);
    return false;
}

bool HasSprite(const CInstance* i) {
    SpriteInfo info;
    return InstanceWorld().spriteInfo(i->sprite_index, &info) ||
           InstanceWorld().spriteInfo(i->mask_index, &info);
}

void FreshBox(CInstance* i) {
    if (i->boxDirty) i->ComputeBoundingBox(true);
}

// --- Motion ---------------------------------------------------------------------------------------

BUILTIN(MoveRandom) {
    CRoom* room = Run_Room();
    if (self == nullptr || room == nullptr) return;
    const int32_t h = Arg_GetInt32(args, 0), v = Arg_GetInt32(args, 1);
    int32_t lowX = 0, highX = room->width, lowY = 0, highY = room->height;
    if (HasSprite(self)) {
        FreshBox(self);
        lowX = CRT_TruncToInt32(std::nearbyint(static_cast<double>(self->x) - self->bbox_left));
        highX =
            CRT_TruncToInt32(std::nearbyint(room->width + static_cast<double>(self->x) - self->bbox_right));
        lowY = CRT_TruncToInt32(std::nearbyint(static_cast<double>(self->y) - self->bbox_top));
        highY =
            CRT_TruncToInt32(std::nearbyint(room->height + static_cast<double>(self->y) - self->bbox_bottom));
    }
    // An instance as large as the room has nowhere else to go.
    const int64_t spanX = std::llabs(static_cast<int64_t>(highX) - lowX);
    const int64_t spanY = std::llabs(static_cast<int64_t>(highY) - lowY);
    if (spanX == 0 || spanY == 0 || spanX > INT32_MAX || spanY > INT32_MAX) return;
    for (int32_t attempt = 0; attempt < 100; ++attempt) {
        double cx = static_cast<double>(lowX) + Random_IntMod(static_cast<int32_t>(spanX));
        if (h > 0) cx = h * std::floor(cx / h);
        double cy = static_cast<double>(lowY) + Random_IntMod(static_cast<int32_t>(spanY));
        if (v > 0) cy = v * std::floor(cy / v);
        if (Command_PlaceFree(self, static_cast<float>(cx), static_cast<float>(cy))) {
            self->SetPosition(static_cast<float>(cx), static_cast<float>(cy));
            return;
        }
    }
}

BUILTIN(PlaceFree) {
    if (self != nullptr)
        Result_SetFlag(result, Command_PlaceFree(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1)));
}

BUILTIN(PlaceEmpty) {
    if (self != nullptr)
        Result_SetFlag(result, Command_PlaceEmpty(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1)));
}

BUILTIN(PlaceMeeting) {
    const int32_t filter = SelfOther(Arg_GetInt32(args, 2), self, other);
    if (filter == kFilterNoone || self == nullptr) {
        Result_SetFlag(result, false);
        return;
    }
    Result_SetFlag(result, Command_PlaceMeeting(self, filter, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1)));
}

BUILTIN(PlaceSnapped) {
    if (self == nullptr) return;
    const double h = Arg_GetReal(args, 0), v = Arg_GetReal(args, 1);
    auto off = [](double pos, double grid) {
        return std::fabs(pos - std::nearbyint(pos / grid) * grid) >= 0.001;
    };
    Result_SetFlag(result, !((h > 0 && off(self->x, h)) || (v > 0 && off(self->y, v))));
}

BUILTIN(MoveSnap) {
    Command_MoveSnap(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1));
}

BUILTIN(MoveTowardsPoint) {
    Command_MoveTowardsPoint(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2));
}

BUILTIN(MoveContact) {
    if (self == nullptr) return;
    if (Command_PlaceFree(self, self->x, self->y))
        Command_MoveContact(self, Arg_GetFloat(args, 0), -1.0f, false);
    else
        Command_MoveOutside(self, Arg_GetFloat(args, 0), -1.0f, false);
}

BUILTIN(MoveContactSolid) {
    Command_MoveContact(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), false);
}

BUILTIN(MoveContactAll) {
    Command_MoveContact(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), true);
}

BUILTIN(MoveOutsideSolid) {
    Command_MoveOutside(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), false);
}

BUILTIN(MoveOutsideAll) {
    Command_MoveOutside(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), true);
}

BUILTIN(MoveBounce) {
    Command_MoveBounce(self, Arg_GetBool(args, 0), false);
}

BUILTIN(MoveBounceAll) {
    Command_MoveBounce(self, Arg_GetBool(args, 0), true);
}

BUILTIN(MoveWrap) {
    CRoom* room = Run_Room();
    if (self == nullptr || room == nullptr) return;
    const bool hor = Arg_GetBool(args, 0), vert = Arg_GetBool(args, 1);
    const double margin = Arg_GetFloat(args, 2);
    if (hor) {
        if (self->x < -margin)
            self->SetPosition(static_cast<float>(room->width + self->x + 2 * margin), self->y);
        if (self->x > room->width + margin)
            self->SetPosition(static_cast<float>(self->x - room->width - 2 * margin), self->y);
    }
    if (vert) {
        if (self->y < -margin)
            self->SetPosition(self->x, static_cast<float>(room->height + self->y + 2 * margin));
        if (self->y > room->height + margin)
            self->SetPosition(self->x, static_cast<float>(self->y - room->height - 2 * margin));
    }
}

BUILTIN(MotionSet) {
    if (self == nullptr) return;
    self->SetDirection(Arg_GetFloat(args, 0));
    self->SetSpeed(Arg_GetFloat(args, 1));
}

BUILTIN(MotionAdd) {
    if (self != nullptr) self->AddMotion(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1));
}

BUILTIN(DistanceToPoint) {
    if (self == nullptr) return;
    FreshBox(self);
    const double x = Arg_GetReal(args, 0), y = Arg_GetReal(args, 1);
    const double dx =
        x < self->bbox_left ? x - self->bbox_left : (x > self->bbox_right ? x - self->bbox_right : 0.0);
    const double dy =
        y < self->bbox_top ? y - self->bbox_top : (y > self->bbox_bottom ? y - self->bbox_bottom : 0.0);
    Result_SetReal(result, std::sqrt(dx * dx + dy * dy));
}

double Instance_BoxDistance(CInstance* a, CInstance* b) {
    if (a == nullptr || a == b || a->destroyed || a->deactivated) return 1000000.0;
    FreshBox(a);
    FreshBox(b);
    auto gap = [](int32_t aLow, int32_t aHigh, int32_t bLow, int32_t bHigh) -> int64_t {
        if (aHigh < bLow) return static_cast<int64_t>(aHigh) - bLow;
        if (bHigh < aLow) return static_cast<int64_t>(aLow) - bHigh;
        return 0;
    };
    const int64_t gx = gap(a->bbox_left, a->bbox_right, b->bbox_left, b->bbox_right);
    const int64_t gy = gap(a->bbox_top, a->bbox_bottom, b->bbox_top, b->bbox_bottom);
    // Summed in 64 bits: boxes far apart would overflow a 32-bit sum of squares.
    return std::sqrt(static_cast<float>(gx * gx + gy * gy));
}

BUILTIN(DistanceToObject) {
    if (self == nullptr) return;
    const int32_t filter = Arg_GetInt32(args, 0);
    double best = 1000000.0;
    auto consider = [&](CInstance* candidate) {
        best = std::min(best, Instance_BoxDistance(candidate, self));
        return true;
    };
    if (filter == -2) {
        consider(other);
    } else if (filter >= kFirstInstanceId) {
        CInstance* i = Instance_Find(filter);
        if (Instance_Qualifies(i)) consider(i);
    } else if (filter == kFilterAll || filter >= 0) {
        Command_ForEachCandidate(filter, consider);
    }
    Result_SetReal(result, best);
}

BUILTIN(PathStart) {
    if (self != nullptr)
        self->StartPath(Arg_GetInt32(args, 0), Arg_GetFloat(args, 1), 1.0f, 0.0f, !Arg_GetBool(args, 3),
                        Arg_GetInt32(args, 2));
}

BUILTIN(PathEnd) {
    if (self != nullptr) self->StartPath(-1, 0.0f, 1.0f, 0.0f, false, 0);
}

// --- Motion planning and grids --------------------------------------------------------------------

BUILTIN(MpLinearStep) {
    if (self != nullptr)
        Result_SetFlag(result, Command_MpLinearStep(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1),
                                                    Arg_GetFloat(args, 2), -3, Arg_GetBool(args, 3)));
}

BUILTIN(MpLinearPath) {
    const int32_t path = Arg_GetInt32(args, 0);
    if (self == nullptr || !PathCheck(path)) return;
    Result_SetFlag(result, Command_MpLinearPath(self, path, Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                                Arg_GetFloat(args, 3), -3, Arg_GetBool(args, 4)));
}

BUILTIN(MpLinearStepObject) {
    if (self != nullptr)
        Result_SetFlag(result, Command_MpLinearStep(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1),
                                                    Arg_GetFloat(args, 2), Arg_GetInt32(args, 3), true));
}

BUILTIN(MpLinearPathObject) {
    const int32_t path = Arg_GetInt32(args, 0);
    if (self == nullptr || !PathCheck(path)) return;
    Result_SetFlag(result, Command_MpLinearPath(self, path, Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                                Arg_GetFloat(args, 3), Arg_GetInt32(args, 4), true));
}

BUILTIN(MpPotentialSettings) {
    Command_MpPotentialSettings(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                Arg_GetBool(args, 3));
}

BUILTIN(MpPotentialStep) {
    if (self != nullptr)
        Result_SetFlag(result, Command_MpPotentialStep(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1),
                                                       Arg_GetFloat(args, 2), -3, Arg_GetBool(args, 3)));
}

BUILTIN(MpPotentialPath) {
    const int32_t path = Arg_GetInt32(args, 0);
    if (self == nullptr || !PathCheck(path)) return;
    Result_SetFlag(result, Command_MpPotentialPath(self, path, Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                                   Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), -3,
                                                   Arg_GetBool(args, 5)));
}

BUILTIN(MpPotentialStepObject) {
    if (self != nullptr)
        Result_SetFlag(result, Command_MpPotentialStep(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1),
                                                       Arg_GetFloat(args, 2), Arg_GetInt32(args, 3), true));
}

BUILTIN(MpPotentialPathObject) {
    const int32_t path = Arg_GetInt32(args, 0);
    if (self == nullptr || !PathCheck(path)) return;
    Result_SetFlag(result, Command_MpPotentialPath(self, path, Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                                   Arg_GetFloat(args, 3), Arg_GetFloat(args, 4),
                                                   Arg_GetInt32(args, 5), true));
}

BUILTIN(MpGridCreate) {
    Result_SetReal(result,
                   MpGrid_Create(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1), Arg_GetInt32(args, 2),
                                 Arg_GetInt32(args, 3), Arg_GetInt32(args, 4), Arg_GetInt32(args, 5)));
}

BUILTIN(MpGridDestroy) {
    MpGrid_Destroy(Arg_GetInt32(args, 0));
}

BUILTIN(MpGridClearAll) {
    if (CGrid* grid = MpGrid_Get(Arg_GetInt32(args, 0))) grid->ClearAll();
}

BUILTIN(MpGridClearCell) {
    if (CGrid* grid = MpGrid_Get(Arg_GetInt32(args, 0)))
        grid->ClearCell(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2));
}

BUILTIN(MpGridClearRectangle) {
    if (CGrid* grid = MpGrid_Get(Arg_GetInt32(args, 0)))
        grid->ClearRectangle(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                             Arg_GetInt32(args, 4));
}

BUILTIN(MpGridAddCell) {
    if (CGrid* grid = MpGrid_Get(Arg_GetInt32(args, 0)))
        grid->AddCell(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2));
}

BUILTIN(MpGridGetCell) {
    const CGrid* grid = MpGrid_Get(Arg_GetInt32(args, 0));
    Result_SetReal(result,
                   grid != nullptr ? grid->GetCell(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2)) : -1.0);
}

BUILTIN(MpGridAddRectangle) {
    if (CGrid* grid = MpGrid_Get(Arg_GetInt32(args, 0)))
        grid->AddRectangle(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                           Arg_GetInt32(args, 4));
}

BUILTIN(MpGridAddInstances) {
    CGrid* grid = MpGrid_Get(Arg_GetInt32(args, 0));
    if (grid == nullptr) return;
    const int32_t filter = Arg_GetInt32(args, 1);
    const bool precise = Arg_GetBool(args, 2);
    const auto add = [grid, precise](CInstance* instance) { grid->AddInstance(instance, precise); };
    if (filter == -1 || filter == -2) {
        // No instance to add when the caller or the other one is missing.
        CInstance* which = filter == -1 ? self : other;
        if (which != nullptr) add(which);
    } else if (filter >= kFirstInstanceId) {
        CInstance* i = Instance_Find(filter);
        if (Instance_Qualifies(i)) add(i);
    } else {
        Command_ForEachCandidate(filter, [&](CInstance* i) {
            add(i);
            return true;
        });
    }
}

BUILTIN(MpGridPath) {
    const int32_t path = Arg_GetInt32(args, 1);
    if (!PathCheck(path)) return;
    CGrid* grid = MpGrid_Get(Arg_GetInt32(args, 0));
    Result_SetFlag(result, grid != nullptr && grid->FindPath(Path_Get(path), Arg_GetInt32(args, 2),
                                                             Arg_GetInt32(args, 3), Arg_GetInt32(args, 4),
                                                             Arg_GetInt32(args, 5), Arg_GetBool(args, 6)));
}

BUILTIN(MpGridDraw) {
    if (CGrid* grid = MpGrid_Get(Arg_GetInt32(args, 0))) grid->Draw();
}

BUILTIN(MpGridToDsGrid) {
    MpGrid_ToDsGrid(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1));
}

// --- Shape queries --------------------------------------------------------------------------------

BUILTIN(CollisionPoint) {
    SetInstance(result,
                Command_CollisionPoint(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1),
                                       Arg_GetInt32(args, 2), Arg_GetBool(args, 3), Arg_GetBool(args, 4)));
}

BUILTIN(CollisionRectangle) {
    SetInstance(result, Command_CollisionRectangle(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1),
                                                   Arg_GetFloat(args, 2), Arg_GetFloat(args, 3),
                                                   Arg_GetInt32(args, 4), Arg_GetBool(args, 5),
                                                   Arg_GetBool(args, 6)));
}

BUILTIN(CollisionCircle) {
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1), r = Arg_GetFloat(args, 2);
    SetInstance(result, Command_CollisionEllipse(self, x - r, y - r, x + r, y + r, Arg_GetInt32(args, 3),
                                                 Arg_GetBool(args, 4), Arg_GetBool(args, 5)));
}

BUILTIN(CollisionEllipse) {
    SetInstance(result,
                Command_CollisionEllipse(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1),
                                         Arg_GetFloat(args, 2), Arg_GetFloat(args, 3), Arg_GetInt32(args, 4),
                                         Arg_GetBool(args, 5), Arg_GetBool(args, 6)));
}

BUILTIN(CollisionLine) {
    SetInstance(result,
                Command_CollisionLine(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1),
                                      Arg_GetFloat(args, 2), Arg_GetFloat(args, 3), Arg_GetInt32(args, 4),
                                      Arg_GetBool(args, 5), Arg_GetBool(args, 6)));
}

// --- Instances ------------------------------------------------------------------------------------

CInstance* FindNth(int32_t filter, int32_t n) {
    if (filter >= kFirstInstanceId) {
        CInstance* i = Instance_Find(filter);
        return n == 0 && Instance_Qualifies(i) ? i : nullptr;
    }
    if (filter != kFilterAll && (filter < 0 || !Object_Exists(filter))) return nullptr;
    CInstance* last = nullptr;
    CInstance* answer = nullptr;
    int32_t count = -1;
    Command_ForEachCandidate(filter, [&](CInstance* i) {
        last = i;
        if (Instance_Qualifies(i)) ++count;
        if (count != n) return true;
        answer = i;
        return false;
    });
    return answer != nullptr ? answer : last;
}

BUILTIN(InstanceFind) {
    SetMadeInstance(result, FindNth(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1)), kFilterNoone);
}

BUILTIN(InstanceExists) {
    Result_SetFlag(result, Game_InstanceExistsDirect(self, other, Arg_GetInt32(args, 0)));
}

BUILTIN(InstanceNumber) {
    const int32_t filter = Arg_GetInt32(args, 0);
    if (filter == -1 || filter == -2) {
        Result_SetFlag(result, Instance_Qualifies(filter == -1 ? self : other));
        return;
    }
    Result_SetReal(result, Command_InstanceNumber(filter));
}

BUILTIN(InstancePosition) {
    SetInstance(result, Command_InstancePosition(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1),
                                                 Arg_GetInt32(args, 2)));
}

BUILTIN(InstanceNearest) {
    SetInstance(result,
                Command_InstanceNearest(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetInt32(args, 2)));
}

BUILTIN(InstanceFurthest) {
    SetInstance(result, Command_InstanceFurthest(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1),
                                                 Arg_GetInt32(args, 2)));
}

BUILTIN(InstancePlace) {
    SetInstance(result, Command_InstancePlace(self, Arg_GetFloat(args, 0), Arg_GetFloat(args, 1),
                                              Arg_GetInt32(args, 2)));
}

BUILTIN(InstanceCreate) {
    SetMadeInstance(
        result, Command_InstanceCreate(Arg_GetInt32(args, 2), Arg_GetFloat(args, 0), Arg_GetFloat(args, 1)),
        -1.0);
}

BUILTIN(InstanceCreateDepth) {
    SetMadeInstance(result,
                    Command_InstanceCreateDepth(Arg_GetInt32(args, 3), Arg_GetFloat(args, 0),
                                                Arg_GetFloat(args, 1), Arg_GetFloat(args, 2)),
                    -1.0);
}

BUILTIN(InstanceCreateLayer) {
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1);
    const int32_t object = Arg_GetInt32(args, 3);
    CInstance* made = args[2].kind == VALUE_STRING
                          ? Command_InstanceCreateLayerByName(object, x, y, Arg_GetString(args, 2))
                          : Command_InstanceCreateLayer(object, x, y, Arg_GetInt32(args, 2));
    SetMadeInstance(result, made, -1.0);
}

BUILTIN(InstanceCopy) {
    CRoom* room = Run_Room();
    if (self == nullptr || room == nullptr) return;
    const bool perform = Arg_GetBool(args, 0);
    CInstance* copy = room->CreateInstance(self->x, self->y, self->object_index);
    const int32_t id = copy->id;
    copy->CopyFrom(self, true);
    copy->id = id;
    copy->boxDirty = 1;
    Collision_MarkDirty(copy);
    Pending_AddDepthChange(copy);
    if (perform) {
        PerformEvent_Instance(copy, copy, EVENT_CREATE, 0);
        copy->created = 1;
    }
    Result_SetReal(result, id);
}

BUILTIN(InstanceChange) {
    Command_InstanceChange(self, Arg_GetInt32(args, 0), Arg_GetBool(args, 1));
}

BUILTIN(InstanceDestroy) {
    Command_InstanceDestroy(self);
}

BUILTIN(InstanceSprite) {
    Command_SetSprite(self, Arg_GetInt32(args, 0));
}

BUILTIN(PositionEmpty) {
    Result_SetFlag(result,
                   !Command_PositionOccupied(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), kFilterAll));
}

struct PointQuery {
    int32_t filter;
    float x, y;
    bool hit;
};

bool Query_PointHit(CInstance* candidate, void* context) {
    auto* q = static_cast<PointQuery*>(context);
    if (candidate->destroyed || candidate->deactivated) return true;
    const bool wanted = q->filter >= kFirstInstanceId ? candidate->id == q->filter
                                                      : candidate->object_index == q->filter ||
                                                            (candidate->object != nullptr &&
                                                             candidate->object->IsDescendantOf(q->filter));
    if (!wanted || !candidate->CollisionPoint(q->x, q->y, true)) return true;
    q->hit = true;
    return false;
}

BUILTIN(PositionMeeting) {
    result = RValue_Bool(0.0);
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1);
    const int32_t filter = SelfOther(Arg_GetInt32(args, 2), self, other);
    if (!Collision_TreeMode() || filter == kFilterAll || filter >= kFirstInstanceId) {
        result = RValue_Bool(Command_PositionOccupied(x, y, filter) ? 1.0 : 0.0);
        return;
    }
    const CObjectHV* object = filter >= 0 ? Object_Find(filter) : nullptr;
    if (object == nullptr) return;
    if (object->instancesRecursive.Count() < Collision_RootLevel()) {
        result = RValue_Bool(Command_PositionOccupied(x, y, filter) ? 1.0 : 0.0);
        return;
    }
    Collision_UpdateDirtyBoxes();
    PointQuery q{filter, x, y, false};
    const int at[2] = {CRT_TruncToInt32(x), CRT_TruncToInt32(y)};
    Collision_Tree().Search(at, at, Query_PointHit, &q);
    result = RValue_Bool(q.hit ? 1.0 : 0.0);
}

BUILTIN(PositionDestroy) {
    Command_PositionDestroy(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1));
}

BUILTIN(PositionChange) {
    Command_PositionChange(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetInt32(args, 2),
                           Arg_GetBool(args, 3));
}

BUILTIN(InstanceIdGet) {
    Result_SetReal(result, Instance_IdAt(Arg_GetInt32(args, 0)));
}

// --- Activation -----------------------------------------------------------------------------------

void SetDeactivated(CInstance* i, bool deactivated) {
    i->deactivated = deactivated ? 1 : 0;
    Pending_AddActivation(i);
}

// Candidates from both room lists: for deactivation the active ones, for activation the
// unmarked deactivated ones.
template <typename Visit>
void ForEachRoomInstance(bool wantDeactivated, Visit visit) {
    CRoom* room = Run_Room();
    if (room == nullptr) return;
    for (InstanceList* list : {&room->active, &room->deactivated}) {
        for (CInstance* i = list->head; i != nullptr;) {
            CInstance* next = i->depthNext;
            if (!i->destroyed && (i->deactivated != 0) == wantDeactivated) visit(i);
            i = next;
        }
    }
}

bool OutsideRegion(CInstance* i, double x1, double y1, double x2, double y2) {
    if (HasSprite(i)) {
        FreshBox(i);
        return x1 > i->bbox_right || i->bbox_left > x2 || y1 > i->bbox_bottom || i->bbox_top > y2;
    }
    return x1 > i->x || i->x > x2 || y1 > i->y || i->y > y2;
}

void Activation_Region(RValue* args, bool deactivate) {
    const double x1 = Arg_GetFloat(args, 0), y1 = Arg_GetFloat(args, 1);
    const double x2 = x1 + Arg_GetFloat(args, 2), y2 = y1 + Arg_GetFloat(args, 3);
    const bool inside = Arg_GetBool(args, 4);
    ForEachRoomInstance(!deactivate, [&](CInstance* i) {
        if (OutsideRegion(i, x1, y1, x2, y2) != inside) SetDeactivated(i, deactivate);
    });
}

void ReactivateCaller(CInstance* self) {
    if (self != nullptr && !self->destroyed) SetDeactivated(self, false);
}

BUILTIN(InstanceDeactivateAll) {
    ForEachRoomInstance(false, [](CInstance* i) { SetDeactivated(i, true); });
    if (Arg_GetBool(args, 0)) ReactivateCaller(self);
}

bool Inherits(const CInstance* i, int32_t object) {
    return i->object_index == object || (i->object != nullptr && i->object->IsDescendantOf(object));
}

BUILTIN(InstanceDeactivateObject) {
    const int32_t filter = Arg_GetInt32(args, 0);
    if (filter == -1 || filter == -2) {
        CInstance* which = filter == -1 ? self : other;
        if (which != nullptr) SetDeactivated(which, true);
    } else if (filter == kFilterAll) {
        ForEachRoomInstance(false, [](CInstance* i) { SetDeactivated(i, true); });
    } else if (filter >= kFirstInstanceId) {
        CInstance* i = Instance_Find(filter);
        if (Instance_Qualifies(i)) SetDeactivated(i, true);
    } else if (filter >= 0 && Object_Exists(filter)) {
        ForEachRoomInstance(false, [&](CInstance* i) {
            if (Inherits(i, filter)) SetDeactivated(i, true);
        });
    }
}

BUILTIN(InstanceDeactivateRegion) {
    Activation_Region(args, true);
    if (Arg_GetBool(args, 5)) ReactivateCaller(self);
}

BUILTIN(InstanceActivateAll) {
    ForEachRoomInstance(true, [](CInstance* i) { SetDeactivated(i, false); });
}

BUILTIN(InstanceActivateObject) {
    const int32_t filter = Arg_GetInt32(args, 0);
    if (filter == -1 || filter == -2) {
        ReactivateCaller(filter == -1 ? self : other);
    } else if (filter == kFilterAll) {
        ForEachRoomInstance(true, [](CInstance* i) { SetDeactivated(i, false); });
    } else if (filter >= kFirstInstanceId) {
        CInstance* i = Instance_Find(filter);
        if (i != nullptr && !i->destroyed && i->deactivated) SetDeactivated(i, false);
    } else if (filter >= 0) {
        ForEachRoomInstance(true, [&](CInstance* i) {
            if (Inherits(i, filter)) SetDeactivated(i, false);
        });
    }
}

BUILTIN(InstanceActivateRegion) {
    Activation_Region(args, false);
}

// --- Rooms and game -------------------------------------------------------------------------------

BUILTIN(RoomGoto) {
    Command_RoomGoto(Arg_GetInt32(args, 0));
}

BUILTIN(RoomGotoPrevious) {
    Command_RoomGotoPrevious();
}

BUILTIN(RoomGotoNext) {
    Command_RoomGotoNext();
}

BUILTIN(RoomPrevious) {
    const int32_t room = Arg_GetInt32(args, 0);
    Result_SetReal(result, Room_Exists(room) ? Room_Previous(room) : -1);
}

BUILTIN(RoomNext) {
    const int32_t room = Arg_GetInt32(args, 0);
    Result_SetReal(result, Room_Exists(room) ? Room_Next(room) : -1);
}

BUILTIN(RoomRestart) {
    Command_RoomRestart();
}

BUILTIN(GameEnd) {
    NewRoomCode = ROOM_END_GAME;
}

BUILTIN(GameRestart) {
    NewRoomCode = ROOM_RESTART_GAME;
}

BUILTIN(GameLoad) {
    GameLoad_File(Arg_GetString(args, 0));
}

BUILTIN(GameSave) {
    GameSave_File(Arg_GetString(args, 0));
}

BUILTIN(GameSaveBuffer) {
    GameSave_Buffer(Arg_GetInt32(args, 0));
}

BUILTIN(GameLoadBuffer) {
    GameLoad_QueueBuffer(Arg_GetInt32(args, 0));
}

BUILTIN(TransitionDefine) {
    Result_SetReal(result, -1.0);
}

BUILTIN(TransitionExists) {
    Result_SetReal(result, -1.0);
}

BUILTIN(Sleep) {
    // The product is formed in 32 bits, as the milliseconds always were.
    const auto micro = static_cast<int32_t>(static_cast<uint32_t>(Arg_GetInt32(args, 0)) * 1000u);
    Timing_Wait(micro);
}

// --- Geometry -------------------------------------------------------------------------------------

bool InTriangle(double px, double py, double x1, double y1, double x2, double y2, double x3, double y3) {
    const double ex = x3 - x1, ey = y3 - y1, fx = x2 - x1, fy = y2 - y1, gx = px - x1, gy = py - y1;
    const double ee = ex * ex + ey * ey, ef = ex * fx + ey * fy, eg = ex * gx + ey * gy;
    const double ff = fx * fx + fy * fy, fg = fx * gx + fy * gy;
    const double denominator = ff * ee - ef * ef;
    if (denominator == 0.0) return false;  // a degenerate triangle contains nothing
    const double k = 1.0 / denominator;
    const double u = (ff * eg - ef * fg) * k, w = (ee * fg - ef * eg) * k;
    return u >= 0.0 && w >= 0.0 && u + w < 1.0;
}

BUILTIN(PointInRectangle) {
    const float px = Arg_GetFloat(args, 0), py = Arg_GetFloat(args, 1);
    Result_SetFlag(result, Arg_GetFloat(args, 2) <= px && px <= Arg_GetFloat(args, 4) &&
                               Arg_GetFloat(args, 3) <= py && py <= Arg_GetFloat(args, 5));
}

BUILTIN(PointInTriangle) {
    Result_SetFlag(result, InTriangle(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2),
                                      Arg_GetFloat(args, 3), Arg_GetFloat(args, 4), Arg_GetFloat(args, 5),
                                      Arg_GetFloat(args, 6), Arg_GetFloat(args, 7)));
}

BUILTIN(PointInCircle) {
    const double dx = static_cast<double>(Arg_GetFloat(args, 0)) - Arg_GetFloat(args, 2),
                 dy = static_cast<double>(Arg_GetFloat(args, 1)) - Arg_GetFloat(args, 3);
    Result_SetFlag(result, Arg_GetFloat(args, 4) >= std::sqrt(dx * dx + dy * dy));
}

struct Box {
    double l, t, r, b;
    bool Contains(double x, double y) const { return l <= x && x <= r && t <= y && y <= b; }
};

Box Ordered(double x1, double y1, double x2, double y2) {
    return Box{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

int32_t CornersIn(const Box& of, const Box& in) {
    return in.Contains(of.l, of.t) + in.Contains(of.r, of.t) + in.Contains(of.r, of.b) +
           in.Contains(of.l, of.b);
}

// A vertical edge of v crosses a horizontal edge of h.
bool EdgesCross(const Box& v, const Box& h) {
    for (double x : {v.l, v.r})
        for (double y : {h.t, h.b})
            if (h.l <= x && x <= h.r && v.t <= y && y <= v.b) return true;
    return false;
}

BUILTIN(RectangleInRectangle) {
    const Box s =
        Ordered(Arg_GetFloat(args, 0), Arg_GetFloat(args, 1), Arg_GetFloat(args, 2), Arg_GetFloat(args, 3));
    const Box d =
        Ordered(Arg_GetFloat(args, 4), Arg_GetFloat(args, 5), Arg_GetFloat(args, 6), Arg_GetFloat(args, 7));
    const int32_t inside = CornersIn(s, d);
    if (inside == 4) {
        Result_SetReal(result, 1.0);
        return;
    }
    const bool touches = inside > 0 || CornersIn(d, s) > 0 || EdgesCross(s, d) || EdgesCross(d, s);
    Result_SetReal(result, touches ? 2.0 : 0.0);
}

BUILTIN(RectangleInTriangle) {
    const double sx1 = Arg_GetFloat(args, 0), sy1 = Arg_GetFloat(args, 1), sx2 = Arg_GetFloat(args, 2),
                 sy2 = Arg_GetFloat(args, 3);
    const double t[6] = {Arg_GetFloat(args, 4), Arg_GetFloat(args, 5), Arg_GetFloat(args, 6),
                         Arg_GetFloat(args, 7), Arg_GetFloat(args, 8), Arg_GetFloat(args, 9)};
    int32_t inside = 0;
    for (const auto& [px, py] :
         {std::pair{sx1, sy1}, std::pair{sx2, sy1}, std::pair{sx2, sy2}, std::pair{sx1, sy2}})
        inside += InTriangle(px, py, t[0], t[1], t[2], t[3], t[4], t[5]) ? 1 : 0;
    Result_SetReal(result, inside == 4 ? 1.0 : (inside == 0 ? 0.0 : 2.0));
}

BUILTIN(RectangleInCircle) {
    const double sx1 = Arg_GetFloat(args, 0), sy1 = Arg_GetFloat(args, 1), sx2 = Arg_GetFloat(args, 2),
                 sy2 = Arg_GetFloat(args, 3);
    const double cx = Arg_GetFloat(args, 4), cy = Arg_GetFloat(args, 5), r = Arg_GetFloat(args, 6);
    auto distance2 = [&](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy); };
    const double nx = std::min(sx2, std::max(sx1, cx)), ny = std::min(sy2, std::max(sy1, cy));
    if (distance2(nx, ny) > r * r) {
        Result_SetReal(result, 0.0);
        return;
    }
    const bool all = distance2(sx1, sy1) <= r * r && distance2(sx2, sy1) <= r * r &&
                     distance2(sx2, sy2) <= r * r && distance2(sx1, sy2) <= r * r;
    Result_SetReal(result, all ? 1.0 : 2.0);
}

const BuiltinRow kRows[] = {
    {"move_random", F_MoveRandom, 2, 1},
    {"place_free", F_PlaceFree, 2, 1},
    {"place_empty", F_PlaceEmpty, 2, 1},
    {"place_meeting", F_PlaceMeeting, 3, 1},
    {"place_snapped", F_PlaceSnapped, 2, 1},
    {"move_snap", F_MoveSnap, 2, 1},
    {"move_towards_point", F_MoveTowardsPoint, 3, 1},
    {"move_contact", F_MoveContact, 1, 1},
    {"move_contact_solid", F_MoveContactSolid, 2, 1},
    {"move_contact_all", F_MoveContactAll, 2, 1},
    {"move_outside_solid", F_MoveOutsideSolid, 2, 1},
    {"move_outside_all", F_MoveOutsideAll, 2, 1},
    {"move_bounce", F_MoveBounce, 1, 1},
    {"move_bounce_solid", F_MoveBounce, 1},
    {"move_bounce_all", F_MoveBounceAll, 1, 1},
    {"move_wrap", F_MoveWrap, 3, 1},
    {"motion_set", F_MotionSet, 2, 1},
    {"motion_add", F_MotionAdd, 2, 1},
    {"distance_to_point", F_DistanceToPoint, 2, 1},
    {"distance_to_object", F_DistanceToObject, 1, 1},
    {"path_start", F_PathStart, 4, 1},
    {"path_end", F_PathEnd, 0, 1},
    {"mp_linear_step", F_MpLinearStep, 4, 1},
    {"mp_linear_path", F_MpLinearPath, 5, 1},
    {"mp_linear_step_object", F_MpLinearStepObject, 4, 1},
    {"mp_linear_path_object", F_MpLinearPathObject, 5, 1},
    {"mp_potential_settings", F_MpPotentialSettings, 4, 1},
    {"mp_potential_step", F_MpPotentialStep, 4, 1},
    {"mp_potential_path", F_MpPotentialPath, 6, 1},
    {"mp_potential_step_object", F_MpPotentialStepObject, 4, 1},
    {"mp_potential_path_object", F_MpPotentialPathObject, 6, 1},
    {"mp_grid_create", F_MpGridCreate, 6, 1},
    {"mp_grid_destroy", F_MpGridDestroy, 1, 1},
    {"mp_grid_clear_all", F_MpGridClearAll, 1, 1},
    {"mp_grid_clear_cell", F_MpGridClearCell, 3, 1},
    {"mp_grid_clear_rectangle", F_MpGridClearRectangle, 5, 1},
    {"mp_grid_add_cell", F_MpGridAddCell, 3, 1},
    {"mp_grid_get_cell", F_MpGridGetCell, 3, 1},
    {"mp_grid_add_rectangle", F_MpGridAddRectangle, 5, 1},
    {"mp_grid_add_instances", F_MpGridAddInstances, 3, 1},
    {"mp_grid_path", F_MpGridPath, 7, 1},
    {"mp_grid_draw", F_MpGridDraw, 1, 1},
    {"mp_grid_to_ds_grid", F_MpGridToDsGrid, 2, 1},
    {"collision_point", F_CollisionPoint, 5, 1},
    {"collision_rectangle", F_CollisionRectangle, 7, 1},
    {"collision_circle", F_CollisionCircle, 6, 1},
    {"collision_ellipse", F_CollisionEllipse, 7, 1},
    {"collision_line", F_CollisionLine, 7, 1},
    {"instance_find", F_InstanceFind, 2, 1},
    {"instance_exists", F_InstanceExists, 1, 1},
    {"instance_number", F_InstanceNumber, 1, 1},
    {"instance_position", F_InstancePosition, 3, 1},
    {"instance_nearest", F_InstanceNearest, 3, 1},
    {"instance_furthest", F_InstanceFurthest, 3, 1},
    {"instance_place", F_InstancePlace, 3, 1},
    {"instance_create", F_InstanceCreate, 3, 1},
    {"instance_create_depth", F_InstanceCreateDepth, 4, 1},
    {"instance_create_layer", F_InstanceCreateLayer, 4, 1},
    {"instance_copy", F_InstanceCopy, 1, 1},
    {"instance_change", F_InstanceChange, 2, 1},
    {"instance_destroy", F_InstanceDestroy, 0, 1},
    {"instance_sprite", F_InstanceSprite, 1, 1},
    {"position_empty", F_PositionEmpty, 2, 1},
    {"position_meeting", F_PositionMeeting, 3, 1},
    {"position_destroy", F_PositionDestroy, 2, 1},
    {"position_change", F_PositionChange, 4, 1},
    {"instance_id_get", F_InstanceIdGet, 1, 1},
    {"instance_deactivate_all", F_InstanceDeactivateAll, 1, 1},
    {"instance_deactivate_object", F_InstanceDeactivateObject, 1, 1},
    {"instance_deactivate_region", F_InstanceDeactivateRegion, 6, 1},
    {"instance_activate_all", F_InstanceActivateAll, 0, 1},
    {"instance_activate_object", F_InstanceActivateObject, 1, 1},
    {"instance_activate_region", F_InstanceActivateRegion, 5, 1},
    {"room_goto", F_RoomGoto, 1, 1},
    {"room_goto_previous", F_RoomGotoPrevious, 0, 1},
    {"room_goto_next", F_RoomGotoNext, 0, 1},
    {"room_previous", F_RoomPrevious, 1, 1},
    {"room_next", F_RoomNext, 1, 1},
    {"room_restart", F_RoomRestart, 0, 1},
    {"game_end", F_GameEnd, 0, 1},
    {"game_restart", F_GameRestart, 0, 1},
    {"game_load", F_GameLoad, 1, 1},
    {"game_save", F_GameSave, 1, 1},
    {"game_save_buffer", F_GameSaveBuffer, 1, 1},
    {"game_load_buffer", F_GameLoadBuffer, 1, 1},
    {"transition_define", F_TransitionDefine, 2, 1},
    {"transition_exists", F_TransitionExists, 1, 1},
    {"sleep", F_Sleep, 1, 1},
    {"point_in_rectangle", F_PointInRectangle, 6, 1},
    {"point_in_triangle", F_PointInTriangle, 8, 1},
    {"point_in_circle", F_PointInCircle, 5, 1},
    {"rectangle_in_rectangle", F_RectangleInRectangle, 8, 1},
    {"rectangle_in_triangle", F_RectangleInTriangle, 10, 1},
    {"rectangle_in_circle", F_RectangleInCircle, 7, 1},
};
static_assert(sizeof(kRows) / sizeof(kRows[0]) == 94);

bool PendingActivationOf(int32_t object) {
    struct Search {
        int32_t object;
        bool found;
    } search{object, false};
    Pending_ForEach(
        1,
        [](CInstance* i, void* context) {
            auto* s = static_cast<Search*>(context);
            if (Instance_Qualifies(i) && Inherits(i, s->object)) s->found = true;
            return !s->found;
        },
        &search);
    return search.found;
}

}  // namespace

void InitGameFunctions() {
    Code_Function_AddRows(kRows);
}

bool Game_PlaceFreeDirect(CInstance* self, float x, float y) {
    return self != nullptr && Command_PlaceFree(self, x, y);
}

int32_t Game_InstanceCreateDirect(float x, float y, int32_t object) {
    CInstance* made = Command_InstanceCreate(object, x, y);
    return made != nullptr ? made->id : -1;
}

void Game_InstanceDestroyDirect(CInstance* instance) {
    Command_InstanceDestroy(instance);
}

bool Game_InstanceExistsDirect(CInstance* self, CInstance* other, int32_t filter) {
    if (filter == kFilterAll) {
        bool any = false;
        Command_ForEachCandidate(kFilterAll, [&](CInstance* i) {
            any = Instance_Qualifies(i);
            return !any;
        });
        return any;
    }
    if (filter == -2) return Instance_Qualifies(other);
    if (filter == -1) return Instance_Qualifies(self);
    if (filter >= kFirstInstanceId) return Instance_Qualifies(Instance_Find(filter));
    if (filter < 0 || !Object_Exists(filter)) return false;
    bool any = false;
    Command_ForEachCandidate(filter, [&](CInstance* i) {
        any = Instance_Qualifies(i);
        return !any;
    });
    return any || PendingActivationOf(filter);
}

int32_t Instance_IdAt(int32_t n) {
    CRoom* room = Run_Room();
    if (room == nullptr || n < 0 || n >= room->active.count) return kFilterNoone;
    CInstance* i = room->active.head;
    for (int32_t step = 0; step < n && i != nullptr; ++step) i = i->depthNext;
    return i != nullptr ? i->id : kFilterNoone;
}
