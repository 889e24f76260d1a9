#include "world/Function_Path.h"

#include <cstdint>

#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "base/Error_Report.h"
#include "world/Path_Main.h"

namespace {

#define BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)

CPath* PathArg(RValue* args) {
    return Path_Get(Arg_GetInt32(args, 0));
}

// The query rows: the value for a path, or `missing` when there is none.
template <typename Query>
void Answer(RValue& result, RValue* args, double missing, Query query) {
    const CPath* path = PathArg(args);
    Result_SetReal(result, path != nullptr ? query(path) : missing);
}

// The editing rows: nothing happens without a path.
template <typename Edit>
void Change(RValue* args, Edit edit) {
    if (CPath* path = PathArg(args)) edit(path);
}

BUILTIN(PathExists) {
    Result_SetFlag(result, Path_Exists(Arg_GetInt32(args, 0)));
}

BUILTIN(PathGetName) {
    RValue_SetString(&result, Path_GetName(Arg_GetInt32(args, 0)));
}

BUILTIN(PathGetLength) {
    Answer(result, args, -1.0, [](const CPath* p) { return static_cast<double>(p->GetLength()); });
}

BUILTIN(PathGetTime) {
    const double position = Arg_GetReal(args, 1);
    Answer(result, args, -1.0, [position](const CPath* p) { return position * p->GetTime(); });
}

BUILTIN(PathGetKind) {
    Answer(result, args, -1.0, [](const CPath* p) { return static_cast<double>(p->GetKind()); });
}

BUILTIN(PathGetClosed) {
    Answer(result, args, 0.0, [](const CPath* p) { return p->GetClosed() ? 1.0 : 0.0; });
}

BUILTIN(PathGetPrecision) {
    Answer(result, args, -1.0, [](const CPath* p) { return static_cast<double>(p->GetPrecision()); });
}

BUILTIN(PathGetNumber) {
    Answer(result, args, -1.0, [](const CPath* p) { return static_cast<double>(p->GetNumber()); });
}

// A point index outside the path reads 0 for each field.
template <typename Field>
void PointField(RValue& result, RValue* args, Field field) {
    const int32_t n = Arg_GetInt32(args, 1);
    Answer(result, args, -1.0, [n, field](const CPath* p) {
        return n >= 0 && n < p->GetNumber() ? static_cast<double>(field(p->GetPoint(n))) : 0.0;
    });
}

BUILTIN(PathGetPointX) {
    PointField(result, args, [](const PathPoint& p) { return p.x; });
}

BUILTIN(PathGetPointY) {
    PointField(result, args, [](const PathPoint& p) { return p.y; });
}

BUILTIN(PathGetPointSpeed) {
    PointField(result, args, [](const PathPoint& p) { return p.speed; });
}

BUILTIN(PathGetX) {
    const float t = Arg_GetFloat(args, 1);
    Answer(result, args, -1.0, [t](const CPath* p) { return static_cast<double>(p->GetX(t)); });
}

BUILTIN(PathGetY) {
    const float t = Arg_GetFloat(args, 1);
    Answer(result, args, -1.0, [t](const CPath* p) { return static_cast<double>(p->GetY(t)); });
}

BUILTIN(PathGetSpeed) {
    const float t = Arg_GetFloat(args, 1);
    Answer(result, args, -1.0, [t](const CPath* p) { return static_cast<double>(p->GetSpeed(t)); });
}

BUILTIN(PathSetKind) {
    const int32_t kind = Arg_GetInt32(args, 1);
    Change(args, [kind](CPath* p) { p->SetKind(kind); });
}

BUILTIN(PathSetClosed) {
    const bool closed = Arg_GetBool(args, 1);
    Change(args, [closed](CPath* p) { p->SetClosed(closed); });
}

BUILTIN(PathSetPrecision) {
    const int32_t precision = Arg_GetInt32(args, 1);
    Change(args, [precision](CPath* p) { p->SetPrecision(precision); });
}

BUILTIN(PathAdd) {
    Result_SetReal(result, Path_Add());
}

BUILTIN(PathDuplicate) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (!Path_Exists(index)) {
        Error_Report("Trying to duplicate non-existing path.", false);
        Result_SetReal(result, 0.0);
        return;
    }
    Result_SetReal(result, Path_Duplicate(index));
}

BUILTIN(PathAssign) {
    if (PathArg(args) == nullptr) return;
    if (!Path_Assign(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1)))
        Error_Report("Error assigning a path.", false);
}

BUILTIN(PathAppend) {
    CPath* path = PathArg(args);
    const CPath* more = Path_Get(Arg_GetInt32(args, 1));
    if (path == nullptr) Error_Report("Appending to non-existing path.", false);
    if (more == nullptr) Error_Report("Appending a non-existing path.", false);
    if (path != nullptr && more != nullptr) path->Append(more);
}

BUILTIN(PathDelete) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (!Path_Exists(index)) {
        Error_Report("Trying to delete non-existing path.", false);
        Result_SetReal(result, 0.0);
        return;
    }
    Result_SetFlag(result, Path_Delete(index));
}

BUILTIN(PathAddPoint) {
    const float x = Arg_GetFloat(args, 1), y = Arg_GetFloat(args, 2), speed = Arg_GetFloat(args, 3);
    Change(args, [=](CPath* p) { p->AddPoint(x, y, speed); });
}

BUILTIN(PathInsertPoint) {
    const int32_t n = Arg_GetInt32(args, 1);
    const float x = Arg_GetFloat(args, 2), y = Arg_GetFloat(args, 3), speed = Arg_GetFloat(args, 4);
    Change(args, [=](CPath* p) { p->InsertPoint(n, x, y, speed); });
}

BUILTIN(PathChangePoint) {
    const int32_t n = Arg_GetInt32(args, 1);
    const float x = Arg_GetFloat(args, 2), y = Arg_GetFloat(args, 3), speed = Arg_GetFloat(args, 4);
    Change(args, [=](CPath* p) { p->ChangePoint(n, x, y, speed); });
}

BUILTIN(PathDeletePoint) {
    const int32_t n = Arg_GetInt32(args, 1);
    Change(args, [n](CPath* p) { p->DeletePoint(n); });
}

BUILTIN(PathClearPoints) {
    Change(args, [](CPath* p) { p->Clear(); });
}

BUILTIN(PathReverse) {
    Change(args, [](CPath* p) { p->Reverse(); });
}

BUILTIN(PathMirror) {
    Change(args, [](CPath* p) { p->Mirror(); });
}

BUILTIN(PathFlip) {
    Change(args, [](CPath* p) { p->Flip(); });
}

BUILTIN(PathRotate) {
    const float angle = Arg_GetFloat(args, 1);
    Change(args, [angle](CPath* p) { p->Rotate(angle); });
}

BUILTIN(PathRescale) {
    const float xscale = Arg_GetFloat(args, 1), yscale = Arg_GetFloat(args, 2);
    Change(args, [=](CPath* p) { p->Scale(xscale, yscale); });
}

BUILTIN(PathShift) {
    const float dx = Arg_GetFloat(args, 1), dy = Arg_GetFloat(args, 2);
    Change(args, [=](CPath* p) { p->Shift(dx, dy); });
}

const BuiltinRow kRows[] = {
    {"path_name", F_PathGetName, 1},
    {"path_exists", F_PathExists, 1},
    {"path_get_name", F_PathGetName, 1},
    {"path_get_length", F_PathGetLength, 1},
    {"path_get_time", F_PathGetTime, 2},
    {"path_get_kind", F_PathGetKind, 1},
    {"path_get_closed", F_PathGetClosed, 1},
    {"path_get_precision", F_PathGetPrecision, 1},
    {"path_get_number", F_PathGetNumber, 1},
    {"path_get_point_x", F_PathGetPointX, 2},
    {"path_get_point_y", F_PathGetPointY, 2},
    {"path_get_point_speed", F_PathGetPointSpeed, 2},
    {"path_get_x", F_PathGetX, 2},
    {"path_get_y", F_PathGetY, 2},
    {"path_get_speed", F_PathGetSpeed, 2},
    {"path_set_kind", F_PathSetKind, 2},
    {"path_set_closed", F_PathSetClosed, 2},
    {"path_set_precision", F_PathSetPrecision, 2},
    {"path_add", F_PathAdd, 0},
    {"path_duplicate", F_PathDuplicate, 1},
    {"path_assign", F_PathAssign, 2},
    {"path_append", F_PathAppend, 2},
    {"path_delete", F_PathDelete, 1},
    {"path_add_point", F_PathAddPoint, 4},
    {"path_insert_point", F_PathInsertPoint, 5},
    {"path_change_point", F_PathChangePoint, 5},
    {"path_delete_point", F_PathDeletePoint, 2},
    {"path_clear_points", F_PathClearPoints, 1},
    {"path_reverse", F_PathReverse, 1},
    {"path_mirror", F_PathMirror, 1},
    {"path_flip", F_PathFlip, 1},
    {"path_rotate", F_PathRotate, 2},
    {"path_rescale", F_PathRescale, 3},
    {"path_shift", F_PathShift, 3},
};
static_assert(sizeof(kRows) / sizeof(kRows[0]) == 34);

}  // namespace

void InitPathFunctions() {
    Code_Function_AddRows(kRows);
}
