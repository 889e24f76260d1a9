// The command layer behind the game-world built-ins: instances created, changed and
// destroyed; instance queries by point, shape, place and distance; motion by rule (contact,
// outside, bounce, snap, wrap, towards a point); room requests; the screen saved as PNG.
//
// Object filter of every query: -3 every instance of the room's active list; 0..99999 the
// instances of that object and its descendants; 100000 and above one instance id; anything
// else matches nothing. An instance qualifies when it is neither destroyed nor deactivated.
#pragma once

#include <cstdint>

class CInstance;

constexpr int32_t kFilterAll = -3;
constexpr int32_t kFilterNoone = -4;
constexpr int32_t kFirstInstanceId = 100000;

// Instance life.
CInstance* Command_InstanceCreate(int32_t object, float x, float y);
CInstance* Command_InstanceCreateDepth(int32_t object, float x, float y, float depth);
CInstance* Command_InstanceCreateLayer(int32_t object, float x, float y, int32_t layerId);
CInstance* Command_InstanceCreateLayerByName(int32_t object, float x, float y, const char* layerName);
void Command_InstanceDestroy(CInstance* instance);
void Command_InstanceChange(CInstance* instance, int32_t object, bool perform);
void Command_SetSprite(CInstance* instance, int32_t sprite);

// Counting and point queries.
int32_t Command_InstanceNumber(int32_t filter);
CInstance* Command_InstancePosition(float x, float y, int32_t filter);
CInstance* Command_InstanceNearest(float x, float y, int32_t filter);
CInstance* Command_InstanceFurthest(float x, float y, int32_t filter);
bool Command_PositionOccupied(float x, float y, int32_t filter);
void Command_PositionDestroy(float x, float y);
void Command_PositionChange(float x, float y, int32_t object, bool perform);

// Shape queries; notme leaves the calling instance out.
CInstance* Command_CollisionPoint(CInstance* self, float x, float y, int32_t filter, bool precise,
                                  bool notme);
CInstance* Command_CollisionRectangle(CInstance* self, float x1, float y1, float x2, float y2, int32_t filter,
                                      bool precise, bool notme);
CInstance* Command_CollisionEllipse(CInstance* self, float x1, float y1, float x2, float y2, int32_t filter,
                                    bool precise, bool notme);
CInstance* Command_CollisionLine(CInstance* self, float x1, float y1, float x2, float y2, int32_t filter,
                                 bool precise, bool notme);

// Place queries: the caller is tried at (x, y) and put back.
CInstance* Command_InstancePlace(CInstance* self, float x, float y, int32_t filter);
bool Command_PlaceEmpty(CInstance* self, float x, float y);
bool Command_PlaceFree(CInstance* self, float x, float y);
bool Command_PlaceMeeting(CInstance* self, int32_t filter, float x, float y);
// True when the filter takes the tree path in tree mode (an object with enough instances).
bool Command_QueryMode(int32_t filter);

// Motion.
void Command_MoveContact(CInstance* self, float direction, float maxDistance, bool all);
bool Command_MoveOutside(CInstance* self, float direction, float maxDistance, bool all);
void Command_MoveBounce(CInstance* self, bool advanced, bool all);
void Command_MoveSnap(CInstance* self, float hgrid, float vgrid);
void Command_MoveWrap(CInstance* self, bool horizontal, bool vertical);
void Command_MoveTowardsPoint(CInstance* self, float x, float y, float speed);

// Rooms: the change happens at the end of the step.
void Command_RoomGoto(int32_t room);
void Command_RoomGotoPrevious();
void Command_RoomGotoNext();
void Command_RoomRestart();

// The current render target over the window's client size, as a PNG file.
void Command_SaveScreen(const char* name);

// Shared by the commands and the built-ins: the instance of an id, when it qualifies.
bool Instance_Qualifies(const CInstance* instance);
// Calls visit for each candidate of the filter in scan order (qualifying or not) until it
// answers false; ids name at most one.
template <typename Visit>
void Command_ForEachCandidate(int32_t filter, Visit visit);

// Implementation detail of Command_ForEachCandidate.
using CandidateVisitor = bool (*)(CInstance* instance, void* context);
void Command_VisitCandidates(int32_t filter, CandidateVisitor visit, void* context);

template <typename Visit>
void Command_ForEachCandidate(int32_t filter, Visit visit) {
    Command_VisitCandidates(
        filter, [](CInstance* instance, void* context) { return (*static_cast<Visit*>(context))(instance); },
        &visit);
}
