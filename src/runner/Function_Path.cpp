#include "runner/Function_Path.h"

#include <cstdint>

#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "runner/Error_Report.h"
#include "runner/Path_Main.h"

namespace {

#define BUILTIN(name)                                                                \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc,  \
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

BUILTIN(path_exists) {
    Result_SetFlag(result, Path_Exists(Arg_GetInt32(args, 0)));
}

BUILTIN(path_get_name) {
    RValue_SetString(&result, Path_GetName(Arg_GetInt32(args, 0)));
}

BUILTIN(path_get_length) {
    Answer(result, args, -1.0, [](const CPath* p) { return static_cast<double>(p->GetLength()); });
}

BUILTIN(path_get_time) {
    const double position = Arg_GetReal(args, 1);
    Answer(result, args, -1.0, [position](const CPath* p) { return position * p->GetTime(); });
}

BUILTIN(path_get_kind) {
    Answer(result, args, -1.0, [](const CPath* p) { return static_cast<double>(p->GetKind()); });
}

BUILTIN(path_get_closed) {
    Answer(result, args, 0.0, [](const CPath* p) { return p->GetClosed() ? 1.0 : 0.0; });
}

BUILTIN(path_get_precision) {
    Answer(result, args, -1.0, [](const CPath* p) { return static_cast<double>(p->GetPrecision()); });
}

BUILTIN(path_get_number) {
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

BUILTIN(path_get_point_x) {
    PointField(result, args, [](const PathPoint& p) { return p.x; });
}

BUILTIN(path_get_point_y) {
    PointField(result, args, [](const PathPoint& p) { return p.y; });
}

BUILTIN(path_get_point_speed) {
    PointField(result, args, [](const PathPoint& p) { return p.speed; });
}

BUILTIN(path_get_x) {
    const float t = Arg_GetFloat(args, 1);
    Answer(result, args, -1.0, [t](const CPath* p) { return static_cast<double>(p->GetX(t)); });
}

BUILTIN(path_get_y) {
    const float t = Arg_GetFloat(args, 1);
    Answer(result, args, -1.0, [t](const CPath* p) { return static_cast<double>(p->GetY(t)); });
}

BUILTIN(path_get_speed) {
    const float t = Arg_GetFloat(args, 1);
    Answer(result, args, -1.0, [t](const CPath* p) { return static_cast<double>(p->GetSpeed(t)); });
}

BUILTIN(path_set_kind) {
    const int32_t kind = Arg_GetInt32(args, 1);
    Change(args, [kind](CPath* p) { p->SetKind(kind); });
}

BUILTIN(path_set_closed) {
    const bool closed = Arg_GetBool(args, 1);
    Change(args, [closed](CPath* p) { p->SetClosed(closed); });
}

BUILTIN(path_set_precision) {
    const int32_t precision = Arg_GetInt32(args, 1);
    Change(args, [precision](CPath* p) { p->SetPrecision(precision); });
}

BUILTIN(path_add) {
    Result_SetReal(result, Path_Add());
}

BUILTIN(path_duplicate) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (!Path_Exists(index)) {
        Error_Report("Trying to duplicate non-existing path.", false);
        Result_SetReal(result, 0.0);
        return;
    }
    Result_SetReal(result, Path_Duplicate(index));
}

BUILTIN(path_assign) {
    if (PathArg(args) == nullptr) return;
    if (!Path_Assign(Arg_GetInt32(args, 0), Arg_GetInt32(args, 1)))
        Error_Report("Error assigning a path.", false);
}

BUILTIN(path_append) {
    CPath* path = PathArg(args);
    const CPath* more = Path_Get(Arg_GetInt32(args, 1));
    if (path == nullptr) Error_Report("Appending to non-existing path.", false);
    if (more == nullptr) Error_Report("Appending a non-existing path.", false);
    if (path != nullptr && more != nullptr) path->Append(more);
}

BUILTIN(path_delete) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (!Path_Exists(index)) {
        Error_Report("Trying to delete non-existing path.", false);
        Result_SetReal(result, 0.0);
        return;
    }
    Result_SetFlag(result, Path_Delete(index));
}

BUILTIN(path_add_point) {
    const float x = Arg_GetFloat(args, 1), y = Arg_GetFloat(args, 2), speed = Arg_GetFloat(args, 3);
    Change(args, [=](CPath* p) { p->AddPoint(x, y, speed); });
}

BUILTIN(path_insert_point) {
    const int32_t n = Arg_GetInt32(args, 1);
    const float x = Arg_GetFloat(args, 2), y = Arg_GetFloat(args, 3), speed = Arg_GetFloat(args, 4);
    Change(args, [=](CPath* p) { p->InsertPoint(n, x, y, speed); });
}

BUILTIN(path_change_point) {
    const int32_t n = Arg_GetInt32(args, 1);
    const float x = Arg_GetFloat(args, 2), y = Arg_GetFloat(args, 3), speed = Arg_GetFloat(args, 4);
    Change(args, [=](CPath* p) { p->ChangePoint(n, x, y, speed); });
}

BUILTIN(path_delete_point) {
    const int32_t n = Arg_GetInt32(args, 1);
    Change(args, [n](CPath* p) { p->DeletePoint(n); });
}

BUILTIN(path_clear_points) {
    Change(args, [](CPath* p) { p->Clear(); });
}

BUILTIN(path_reverse) {
    Change(args, [](CPath* p) { p->Reverse(); });
}

BUILTIN(path_mirror) {
    Change(args, [](CPath* p) { p->Mirror(); });
}

BUILTIN(path_flip) {
    Change(args, [](CPath* p) { p->Flip(); });
}

BUILTIN(path_rotate) {
    const float angle = Arg_GetFloat(args, 1);
    Change(args, [angle](CPath* p) { p->Rotate(angle); });
}

BUILTIN(path_rescale) {
    const float xscale = Arg_GetFloat(args, 1), yscale = Arg_GetFloat(args, 2);
    Change(args, [=](CPath* p) { p->Scale(xscale, yscale); });
}

BUILTIN(path_shift) {
    const float dx = Arg_GetFloat(args, 1), dy = Arg_GetFloat(args, 2);
    Change(args, [=](CPath* p) { p->Shift(dx, dy); });
}

#define ROW(name, argc) \
    { #name, F_##name, argc }

const BuiltinRow kRows[] = {
    {"path_name", F_path_get_name, 1},
    ROW(path_exists, 1),
    ROW(path_get_name, 1),
    ROW(path_get_length, 1),
    ROW(path_get_time, 2),
    ROW(path_get_kind, 1),
    ROW(path_get_closed, 1),
    ROW(path_get_precision, 1),
    ROW(path_get_number, 1),
    ROW(path_get_point_x, 2),
    ROW(path_get_point_y, 2),
    ROW(path_get_point_speed, 2),
    ROW(path_get_x, 2),
    ROW(path_get_y, 2),
    ROW(path_get_speed, 2),
    ROW(path_set_kind, 2),
    ROW(path_set_closed, 2),
    ROW(path_set_precision, 2),
    ROW(path_add, 0),
    ROW(path_duplicate, 1),
    ROW(path_assign, 2),
    ROW(path_append, 2),
    ROW(path_delete, 1),
    ROW(path_add_point, 4),
    ROW(path_insert_point, 5),
    ROW(path_change_point, 5),
    ROW(path_delete_point, 2),
    ROW(path_clear_points, 1),
    ROW(path_reverse, 1),
    ROW(path_mirror, 1),
    ROW(path_flip, 1),
    ROW(path_rotate, 2),
    ROW(path_rescale, 3),
    ROW(path_shift, 3),
};
static_assert(sizeof(kRows) / sizeof(kRows[0]) == 34);

}  // namespace

void InitPathFunctions() {
    Code_Function_AddRows(kRows);
}
