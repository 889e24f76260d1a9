#include "world/Run_Command.h"

#include <cfloat>
#include <cmath>
#include <cstdio>

#include "core/CRuntimeCompat.h"
#include "core/Console.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/MemoryManager.h"
#include "data/Common.h"
#include "world/Collision_Main.h"
#include "base/Error_Report.h"
#include "world/Event_Main.h"
#include "world/World_Step.h"
#include "world/Object_Main.h"
#include "world/Room_Main.h"
#include "world/Run.h"
#include "world/World_Services.h"

namespace {

constexpr double kPi = static_cast<double>(3.14159265358979323846f);

// The text followed directly by the number, handed at once to the error report.
void Run_ErrorText(const char* text, int32_t n, bool fatal) {
    static char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%s%d", text, n);
    Error_Report(buffer, fatal);
}

float Radians(float degrees) {
    return static_cast<float>(degrees * kPi / 180.0);
}

int32_t Nearest(double v) {
    return CRT_TruncToInt32(std::nearbyint(v));
}

bool IsObjectIndex(int32_t filter) {
    return filter >= 0 && filter < kFirstInstanceId;
}

bool MatchesFilter(const CInstance* candidate, int32_t filter) {
    return candidate->object_index == filter ||
           (candidate->object != nullptr && candidate->object->IsDescendantOf(filter));
}

CInstance* Created(CInstance* instance) {
    if (instance == nullptr) return nullptr;
    PerformEvent_Instance(instance, instance, EVENT_CREATE, 0);
    instance->created = 1;
    return instance;
}

bool ObjectMissing(int32_t object) {
    if (Object_Exists(object)) return false;
    Run_ErrorText("Creating instance for non-existing object: ", object, false);
    return true;
}

// --- Tree queries ---

enum class Shape { Rectangle, Line, Place, Point };

struct TreeQuery {
    CInstance* self;
    int32_t filter;
    bool precise;
    bool notme;
    float x1, y1, x2, y2;
    Shape shape;
    bool solidOnly;
    CInstance* hit;
};

bool QueryHit(CInstance* candidate, void* context) {
    auto* q = static_cast<TreeQuery*>(context);
    if (candidate->destroyed || candidate->deactivated) return true;
    if (q->notme && candidate == q->self) return true;
    if (q->filter < 0) {
        DebugConsole.Output(q->shape == Shape::Place ? "wnot sure if this should happen\n"
                                                     : "not sure if this should happen\n");
        return true;
    }
    if (!MatchesFilter(candidate, q->filter)) return true;
    bool meets = false;
    switch (q->shape) {
        case Shape::Rectangle:
            meets = candidate->CollisionRectangle(q->x1, q->y1, q->x2, q->y2, q->precise);
            break;
        case Shape::Line:
            meets = candidate->CollisionLine(q->x1, q->y1, q->x2, q->y2, q->precise);
            break;
        case Shape::Place:
            meets = candidate->CollisionInstance(q->self, true);
            break;
        case Shape::Point:
            meets = candidate->CollisionPoint(q->x1, q->y1, true);
            break;
    }
    if (!meets) return true;
    q->hit = candidate;
    return false;
}

// Place-empty and place-free: any meeting candidate ends the search.
bool EmptyHit(CInstance* candidate, void* context) {
    auto* q = static_cast<TreeQuery*>(context);
    if (candidate->destroyed || candidate->deactivated || candidate->id == q->self->id) return true;
    if (q->solidOnly && !candidate->solid) return true;
    if (!candidate->CollisionInstance(q->self, true)) return true;
    q->hit = candidate;
    return false;
}

void SelfBox(const CInstance* self, int min[2], int max[2]) {
    min[0] = std::min(self->bbox_left, self->bbox_right);
    min[1] = std::min(self->bbox_top, self->bbox_bottom);
    max[0] = std::max(self->bbox_left, self->bbox_right);
    max[1] = std::max(self->bbox_top, self->bbox_bottom);
}

// --- List queries ---

template <typename Test>
CInstance* FirstMatch(CInstance* self, int32_t filter, bool notme, Test test) {
    if (filter >= kFirstInstanceId) {
        if (notme && self != nullptr && self->id == filter) return nullptr;
        CInstance* i = Instance_Find(filter);
        return i != nullptr && Instance_Qualifies(i) && test(i) ? i : nullptr;
    }
    CInstance* found = nullptr;
    Command_ForEachCandidate(filter, [&](CInstance* i) {
        if (!Instance_Qualifies(i) || (notme && i == self) || !test(i)) return true;
        found = i;
        return false;
    });
    return found;
}

CInstance* ShapeQuery(CInstance* self, Shape shape, float x1, float y1, float x2, float y2, int32_t filter,
                      bool precise, bool notme) {
    if (Command_QueryMode(filter)) {
        Collision_UpdateDirtyBoxes();
        TreeQuery q{self, filter, precise, notme, x1, y1, x2, y2, shape, false, nullptr};
        const int tx1 = CRT_TruncToInt32(x1), ty1 = CRT_TruncToInt32(y1);
        const int tx2 = CRT_TruncToInt32(x2), ty2 = CRT_TruncToInt32(y2);
        if (shape == Shape::Line) {
            Collision_Tree().SearchSegment(tx1, ty1, tx2, ty2, QueryHit, &q);
        } else {
            const int min[2] = {std::min(tx1, tx2), std::min(ty1, ty2)};
            const int max[2] = {std::max(tx1, tx2), std::max(ty1, ty2)};
            Collision_Tree().Search(min, max, QueryHit, &q);
        }
        return q.hit;
    }
    return FirstMatch(self, filter, notme, [&](CInstance* i) {
        return shape == Shape::Line ? i->CollisionLine(x1, y1, x2, y2, precise)
                                    : i->CollisionRectangle(x1, y1, x2, y2, precise);
    });
}

// Empty or free at (x, y): no candidate (solid ones only for free) meets the caller there.
bool PlaceClear(CInstance* self, float x, float y, bool solidOnly) {
    if (self == nullptr) return true;
    const float oldX = self->x, oldY = self->y;
    CInstance* hit = nullptr;
    if (Collision_TreeMode()) {
        Collision_UpdateDirtyBoxes();
        self->SetPosition(x, y);
        if (self->boxDirty) self->ComputeBoundingBox(true);
        TreeQuery q{self, -1, true, false, 0, 0, 0, 0, Shape::Place, solidOnly, nullptr};
        int min[2], max[2];
        SelfBox(self, min, max);
        Collision_Tree().Search(min, max, EmptyHit, &q);
        hit = q.hit;
    } else {
        self->SetPosition(x, y);
        if (CRoom* room = Run_Room()) {
            for (CInstance* i = room->active.head; i != nullptr && hit == nullptr; i = i->depthNext) {
                if (solidOnly && !i->solid) continue;
                if (i->CollisionInstance(self, true)) hit = i;
            }
        }
    }
    self->SetPosition(oldX, oldY);
    return hit == nullptr;
}

bool Free(CInstance* self, float x, float y, bool all) {
    return all ? Command_PlaceEmpty(self, x, y) : Command_PlaceFree(self, x, y);
}

}  // namespace

// --- Candidates ---------------------------------------------------------------------------------

bool Instance_Qualifies(const CInstance* instance) {
    return instance != nullptr && !instance->destroyed && !instance->deactivated;
}

void Command_VisitCandidates(int32_t filter, CandidateVisitor visit, void* context) {
    if (filter == kFilterAll) {
        CRoom* room = Run_Room();
        if (room == nullptr) return;
        for (CInstance* i = room->active.head; i != nullptr;) {
            CInstance* next = i->depthNext;
            if (!visit(i, context)) return;
            i = next;
        }
    } else if (IsObjectIndex(filter)) {
        const CObjectHV* object = Object_Find(filter);
        if (object == nullptr) return;
        for (auto* node = object->instancesRecursive.First(); node != nullptr;) {
            auto* next = node->next;
            if (!visit(node->item, context)) return;
            node = next;
        }
    } else if (filter >= kFirstInstanceId) {
        if (CInstance* i = Instance_Find(filter)) visit(i, context);
    }
}

// --- Instance life ------------------------------------------------------------------------------

CInstance* Command_InstanceCreate(int32_t object, float x, float y) {
    CRoom* room = Run_Room();
    if (ObjectMissing(object) || room == nullptr) return nullptr;
    return Created(room->CreateInstance(x, y, object));
}

CInstance* Command_InstanceCreateDepth(int32_t object, float x, float y, float depth) {
    CRoom* room = Run_Room();
    if (ObjectMissing(object) || room == nullptr) return nullptr;
    return Created(room->CreateInstanceDepth(x, y, depth, object));
}

namespace {
CInstance* CreateOnLayer(int32_t object, float x, float y, CLayer* layer) {
    if (layer == nullptr) {
        DebugConsole.Output("Specified layer does not exist\n");
        return nullptr;
    }
    return Created(Run_Room()->CreateInstanceLayer(x, y, layer, object));
}
}  // namespace

CInstance* Command_InstanceCreateLayer(int32_t object, float x, float y, int32_t layerId) {
    CRoom* room = Run_Room();
    if (ObjectMissing(object) || room == nullptr) return nullptr;
    CLayer* layer = World().layerFind != nullptr ? World().layerFind(room, layerId) : nullptr;
    return CreateOnLayer(object, x, y, layer);
}

CInstance* Command_InstanceCreateLayerByName(int32_t object, float x, float y, const char* layerName) {
    CRoom* room = Run_Room();
    if (ObjectMissing(object) || room == nullptr) return nullptr;
    CLayer* layer = World().layerFindByName != nullptr && layerName != nullptr
                        ? World().layerFindByName(room, layerName)
                        : nullptr;
    return CreateOnLayer(object, x, y, layer);
}

void Command_InstanceDestroy(CInstance* instance) {
    if (instance == nullptr || instance->destroyEventDone) return;
    instance->destroyEventDone = 1;
    PerformEvent_Instance(instance, instance, EVENT_DESTROY, 0);
    instance->destroyed = 1;
    if (CRoom* room = Run_Room()) ++room->destroyedCount;
}

void Command_InstanceChange(CInstance* instance, int32_t object, bool perform) {
    if (instance == nullptr) return;
    if (!Object_Exists(object)) {
        Run_ErrorText("Asking to change into non-existing object: ", object, false);
        return;
    }
    if (object == instance->object_index) return;
    if (perform && !instance->destroyEventDone) PerformEvent_Instance(instance, instance, EVENT_DESTROY, 0);
    instance->SetObjectIndex(object);
    if (perform) PerformEvent_Instance(instance, instance, EVENT_CREATE, 0);
}

void Command_SetSprite(CInstance* instance, int32_t sprite) {
    if (instance == nullptr) return;
    SpriteInfo info;
    if (!InstanceWorld().spriteInfo(sprite, &info)) {
        Run_ErrorText("Setting instance to non-existing sprite: ", sprite, false);
        return;
    }
    instance->SetSpriteIndex(sprite);
}

// --- Counting and point queries ------------------------------------------------------------------

int32_t Command_InstanceNumber(int32_t filter) {
    if (filter >= kFirstInstanceId) return Instance_Qualifies(Instance_Find(filter)) ? 1 : 0;
    if (filter != kFilterAll && (!IsObjectIndex(filter) || !Object_Exists(filter))) return 0;
    int32_t count = 0;
    Command_ForEachCandidate(filter, [&](CInstance* i) {
        count += Instance_Qualifies(i) ? 1 : 0;
        return true;
    });
    if (filter == kFilterAll) return count;
    // Instances changed into the object this stage are not in its lists yet.
    struct Pending {
        int32_t filter;
        int32_t count;
    } pending{filter, 0};
    Pending_ForEach(
        0,
        [](CInstance* i, void* context) {
            auto* p = static_cast<Pending*>(context);
            if (Instance_Qualifies(i) && i->object_index == p->filter) ++p->count;
            return true;
        },
        &pending);
    return count + pending.count;
}

CInstance* Command_InstancePosition(float x, float y, int32_t filter) {
    return FirstMatch(nullptr, filter, false, [&](CInstance* i) { return i->CollisionPoint(x, y, true); });
}

bool Command_PositionOccupied(float x, float y, int32_t filter) {
    return Command_InstancePosition(x, y, filter) != nullptr;
}

namespace {
CInstance* Extreme(float x, float y, int32_t filter, bool nearest) {
    if (filter >= kFirstInstanceId) return nullptr;
    CInstance* best = nullptr;
    float bestDistance = nearest ? FLT_MAX : -1.0f;
    Command_ForEachCandidate(filter, [&](CInstance* i) {
        if (!Instance_Qualifies(i)) return true;
        const double dx = static_cast<double>(i->x) - x, dy = static_cast<double>(i->y) - y;
        const float d = static_cast<float>(dx * dx + dy * dy);
        if (nearest ? d < bestDistance : d > bestDistance) {
            bestDistance = d;
            best = i;
        }
        return true;
    });
    return best;
}
}  // namespace

CInstance* Command_InstanceNearest(float x, float y, int32_t filter) {
    return Extreme(x, y, filter, true);
}

CInstance* Command_InstanceFurthest(float x, float y, int32_t filter) {
    return Extreme(x, y, filter, false);
}

void Command_PositionDestroy(float x, float y) {
    Command_ForEachCandidate(kFilterAll, [&](CInstance* i) {
        if (!i->destroyEventDone && i->CollisionPoint(x, y, true)) Command_InstanceDestroy(i);
        return true;
    });
}

void Command_PositionChange(float x, float y, int32_t object, bool perform) {
    if (!Object_Exists(object)) {
        Run_ErrorText("Asking to change into non-existing object: ", object, false);
        return;
    }
    Command_ForEachCandidate(kFilterAll, [&](CInstance* i) {
        if (i->CollisionPoint(x, y, true)) Command_InstanceChange(i, object, perform);
        return true;
    });
}

// --- Shape and place queries ---------------------------------------------------------------------

bool Command_QueryMode(int32_t filter) {
    if (!Collision_TreeMode() || !IsObjectIndex(filter)) return false;
    const CObjectHV* object = Object_Find(filter);
    return object != nullptr && object->instancesRecursive.Count() >= Collision_RootLevel();
}

CInstance* Command_CollisionPoint(CInstance* self, float x, float y, int32_t filter, bool precise,
                                  bool notme) {
    return FirstMatch(self, filter, notme, [&](CInstance* i) { return i->CollisionPoint(x, y, precise); });
}

CInstance* Command_CollisionRectangle(CInstance* self, float x1, float y1, float x2, float y2, int32_t filter,
                                      bool precise, bool notme) {
    return ShapeQuery(self, Shape::Rectangle, x1, y1, x2, y2, filter, precise, notme);
}

CInstance* Command_CollisionEllipse(CInstance* self, float x1, float y1, float x2, float y2, int32_t filter,
                                    bool precise, bool notme) {
    return FirstMatch(self, filter, notme,
                      [&](CInstance* i) { return i->CollisionEllipse(x1, y1, x2, y2, precise); });
}

CInstance* Command_CollisionLine(CInstance* self, float x1, float y1, float x2, float y2, int32_t filter,
                                 bool precise, bool notme) {
    return ShapeQuery(self, Shape::Line, x1, y1, x2, y2, filter, precise, notme);
}

CInstance* Command_InstancePlace(CInstance* self, float x, float y, int32_t filter) {
    if (self == nullptr) return nullptr;
    const float oldX = self->x, oldY = self->y;
    self->SetPosition(x, y);
    CInstance* hit = nullptr;
    if (Command_QueryMode(filter)) {
        Collision_UpdateDirtyBoxes();
        if (self->boxDirty) self->ComputeBoundingBox(false);
        TreeQuery q{self, filter, true, true, 0, 0, 0, 0, Shape::Place, false, nullptr};
        int min[2], max[2];
        SelfBox(self, min, max);
        Collision_Tree().Search(min, max, QueryHit, &q);
        hit = q.hit;
    } else {
        hit = FirstMatch(self, filter, false, [&](CInstance* i) { return i->CollisionInstance(self, true); });
    }
    self->SetPosition(oldX, oldY);
    return hit;
}

bool Command_PlaceEmpty(CInstance* self, float x, float y) {
    return PlaceClear(self, x, y, false);
}

bool Command_PlaceFree(CInstance* self, float x, float y) {
    return PlaceClear(self, x, y, true);
}

bool Command_PlaceMeeting(CInstance* self, int32_t filter, float x, float y) {
    return Command_InstancePlace(self, x, y, filter) != nullptr;
}

// --- Motion ---------------------------------------------------------------------------------------

namespace {
int32_t StepLimit(float maxDistance) {
    return maxDistance <= 0.0f ? 1000 : Nearest(maxDistance);
}
}  // namespace

void Command_MoveContact(CInstance* self, float direction, float maxDistance, bool all) {
    if (self == nullptr) return;
    const double r = Radians(direction);
    const float sx = static_cast<float>(std::cos(r)), sy = static_cast<float>(-std::sin(r));
    const int32_t n = StepLimit(maxDistance);
    if (!Free(self, self->x, self->y, all)) return;
    for (int32_t i = 0; i < n; ++i) {
        const float nx = self->x + sx, ny = self->y + sy;
        if (!Free(self, nx, ny, all)) return;
        self->SetPosition(nx, ny);
    }
}

bool Command_MoveOutside(CInstance* self, float direction, float maxDistance, bool all) {
    if (self == nullptr) return false;
    const double r = Radians(direction);
    const float sx = static_cast<float>(std::cos(r)), sy = static_cast<float>(-std::sin(r));
    const int32_t n = StepLimit(maxDistance);
    bool ok = Free(self, self->x, self->y, all);
    for (int32_t steps = 0; !ok && steps < n; ++steps) {
        self->SetPosition(self->x + sx, self->y + sy);
        ok = Free(self, self->x, self->y, all);
    }
    return ok;
}

void Command_MoveBounce(CInstance* self, bool advanced, bool all) {
    if (self == nullptr) return;
    bool stuck = false;
    if (!Free(self, self->x, self->y, all)) {
        self->SetPosition(self->xprevious, self->yprevious);
        stuck = true;
    }
    const float x = self->x, y = self->y, s = self->speed;
    if (advanced) {
        auto freeAt = [&](float angle) {
            const double r = Radians(angle);
            return Free(self, static_cast<float>(x + std::cos(r) * s),
                        static_cast<float>(y - std::sin(r) * s), all);
        };
        const float b = static_cast<float>(std::nearbyint(self->direction / 10.0) * 10.0);
        float a = b, c = b;
        for (int32_t t = 1; t <= 35; ++t) {
            a = b - 10.0f * t;
            if (freeAt(a)) break;
            stuck = true;
        }
        bool firstUpFree = false;
        for (int32_t t = 1; t <= 35; ++t) {
            c = b + 10.0f * t;
            if (freeAt(c)) {
                firstUpFree = t == 1;
                break;
            }
            stuck = true;
        }
        if (firstUpFree && !stuck) return;
        self->SetDirection(c + a + 180.0f - b);
        return;
    }
    const bool h = Free(self, x + self->hspeed, y, all);
    const bool v = Free(self, x, y + self->vspeed, all);
    const bool d = Free(self, x + self->hspeed, y + self->vspeed, all);
    if (!h) {
        self->SetHSpeed(-self->hspeed);
        if (!v) self->SetVSpeed(-self->vspeed);
    } else if (v) {
        if (!d) {
            self->SetHSpeed(-self->hspeed);
            self->SetVSpeed(-self->vspeed);
        }
    } else {
        self->SetVSpeed(-self->vspeed);
    }
}

void Command_MoveSnap(CInstance* self, float hgrid, float vgrid) {
    if (self == nullptr) return;
    float x = self->x, y = self->y;
    if (hgrid > 0.0f) x = static_cast<float>(std::nearbyint(x / static_cast<double>(hgrid)) * hgrid);
    if (vgrid > 0.0f) y = static_cast<float>(std::nearbyint(y / static_cast<double>(vgrid)) * vgrid);
    self->SetPosition(x, y);
}

void Command_MoveWrap(CInstance* self, bool horizontal, bool vertical) {
    CRoom* room = Run_Room();
    if (self == nullptr || room == nullptr) return;
    SpriteCollisionShape sprite{};
    double w = 0.0, h = 0.0;
    if (World().spriteMask != nullptr && World().spriteMask(self->sprite_index, &sprite)) {
        w = sprite.width * static_cast<double>(self->image_xscale);
        h = sprite.height * static_cast<double>(self->image_yscale);
    }
    float x = self->x, y = self->y;
    if (horizontal) {
        if (self->hspeed < 0.0f && x < 0.0f) x = static_cast<float>(x + (room->width + w));
        if (self->hspeed > 0.0f && x >= room->width) x = static_cast<float>(x - (room->width + w));
    }
    if (vertical) {
        if (self->vspeed < 0.0f && y < 0.0f) y = static_cast<float>(y + (room->height + h));
        if (self->vspeed > 0.0f && y >= room->height) y = static_cast<float>(y - (room->height + h));
    }
    self->SetPosition(x, y);
}

void Command_MoveTowardsPoint(CInstance* self, float x, float y, float speed) {
    if (self == nullptr) return;
    self->SetHSpeed(static_cast<float>(static_cast<double>(x) - self->x));
    self->SetVSpeed(static_cast<float>(static_cast<double>(y) - self->y));
    self->SetSpeed(speed);
}

// --- Rooms ----------------------------------------------------------------------------------------

void Command_RoomGoto(int32_t room) {
    g_RunState.transitionKind = 0;
    if (!Room_Exists(room)) {
        Run_ErrorText("Unexisting room number: ", room, true);
        NewRoomCode = ROOM_ABORT_GAME;
        return;
    }
    NewRoomCode = room;
}

void Command_RoomGotoPrevious() {
    if (Run_RoomIndex() == Room_First()) {
        Error_Report("Moving to previous room before the first room.", true);
        NewRoomCode = ROOM_ABORT_GAME;
        return;
    }
    Command_RoomGoto(Room_Previous(Run_RoomIndex()));
}

void Command_RoomGotoNext() {
    if (Run_RoomIndex() == Room_Last()) {
        Error_Report("Moving to next room after the last room.", true);
        NewRoomCode = ROOM_ABORT_GAME;
        return;
    }
    Command_RoomGoto(Room_Next(Run_RoomIndex()));
}

void Command_RoomRestart() {
    Command_RoomGoto(Run_RoomIndex());
}

// --- The screen -----------------------------------------------------------------------------------

void Command_SaveScreen(const char* name) {
    if (name == nullptr || name[0] == '\0') {
        Error_Report("Trying to save screen to empty image file name.", false);
        return;
    }
    const WorldServices& w = World();
    if (w.readTargetPixels == nullptr || w.writePng == nullptr) return;
    int32_t width = 0, height = 0;
    void* pixels = w.readTargetPixels(&width, &height);
    if (pixels == nullptr) return;
    Pixels_SwapRedBlue(pixels, width, height);
    w.writePng(name, pixels, width, height);
    MEM_FREE(pixels);
}
