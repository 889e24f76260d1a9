#include "room/Function_Camera.h"

#include <cmath>
#include <cstdio>

#include "assets/Function_Texture.h"
#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "room/Camera_Main.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

void Show(const char* name, const char* what) {
    char text[160];
    std::snprintf(text, sizeof text, "%s() - %s", name, what);
    Runtime_ShowError(text, false);
}

// The count and every argument a real; false after showing the message.
bool CheckArgs(const char* name, int32_t argc, int32_t expected, const RValue* args, const char* wrongType) {
    if (argc != expected) {
        Show(name, "wrong number of arguments");
        return false;
    }
    for (int32_t i = 0; i < argc; ++i) {
        if (!RValue_IsReal(args[i])) {
            Show(name, wrongType);
            return false;
        }
    }
    return true;
}

constexpr const char* kWrongType = "parameter wrong type";
constexpr const char* kHasWrongType = "parameter has wrong type";

CCamera* CameraArg(const RValue* args) {
    return g_CameraManager.GetCamera(Arg_GetInt32(args, 0));
}

// ---- creation, destruction and selection ---------------------------------------------------

void F_CameraCreate(RValue& result, CInstance*, CInstance*, int32_t argc, RValue*) {
    result = RValue_Real(-1);
    if (argc != 0) {
        Runtime_ShowError("camera_create() - doesn't take any arguments", false);
        return;
    }
    result = RValue_Real(g_CameraManager.CreateCamera()->GetID());
}

void F_CameraCreateView(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (argc < 4) {
        Runtime_ShowError("camera_create_view() - must have at least 4 arguments", false);
        return;
    }
    for (int32_t i = 0; i < argc; ++i) {
        if (!RValue_IsReal(args[i])) {
            Show("camera_create_view", kWrongType);
            return;
        }
    }
    auto optional = [&](int32_t n, double fallback) { return n < argc ? args[n].val : fallback; };
    CCamera* camera = g_CameraManager.CreateCamera();
    camera->viewX = static_cast<float>(args[0].val);
    camera->viewY = static_cast<float>(args[1].val);
    camera->viewWidth = static_cast<float>(args[2].val);
    camera->viewHeight = static_cast<float>(args[3].val);
    camera->angle = static_cast<float>(optional(4, 0));
    camera->target = argc > 5 ? Arg_GetInt32(args, 5) : -1;
    camera->speedX = static_cast<float>(optional(6, -1));
    camera->speedY = static_cast<float>(optional(7, -1));
    camera->borderX = static_cast<float>(optional(8, 0));
    camera->borderY = static_cast<float>(optional(9, 0));
    camera->BuildOrtho(camera->viewX + camera->viewWidth * 0.5f, camera->viewY + camera->viewHeight * 0.5f);
    result = RValue_Real(camera->GetID());
}

void F_CameraDestroy(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (!CheckArgs("camera_destroy", argc, 1, args, kWrongType)) return;
    const int32_t id = Arg_GetInt32(args, 0);
    if (g_CameraManager.GetActive() && g_CameraManager.GetActive()->GetID() == id)
        g_CameraManager.SetActive(-1);
    g_CameraManager.Destroy(id);
}

void F_CameraApply(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    if (!CheckArgs("camera_apply", argc, 1, args, kWrongType)) return;
    if (CCamera* camera = CameraArg(args)) camera->Apply();
}

void F_CameraGetActive(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    const CCamera* active = g_CameraManager.GetActive();
    result = RValue_Real(active ? active->GetID() : -1);
}

void F_CameraGetDefault(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(g_CameraManager.GetCamera(g_DefaultCameraId) ? g_DefaultCameraId : -1);
}

void F_CameraSetDefault(RValue&, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc < 1) return;
    const int32_t id = Arg_GetInt32(args, 0);
    if (g_CameraManager.GetCamera(id)) g_DefaultCameraId = id;
}

// ---- matrices --------------------------------------------------------------------------------

void SetMatrix(const char* name, int32_t argc, RValue* args, void (CCamera::*set)(const Matrix4&)) {
    if (argc != 2) return Show(name, "wrong number of arguments");
    if (!RValue_IsReal(args[0]) || !RValue_IsArray(args[1])) return Show(name, kWrongType);
    char text[160];
    const SharedArray* array = args[1].arr;
    if (!array || array->rowCount < 1 || !array->rows) {
        std::snprintf(text, sizeof text, "%s() - array invalid (has it been created properly?)", name);
        return Runtime_ReportError(text, false);
    }
    const ArrayRow& row = array->rows[0];
    if (row.length != 16) {
        std::snprintf(text, sizeof text, "%s() - must be 16 entries in array", name);
        return Runtime_ReportError(text, false);
    }
    Matrix4 matrix;
    for (int32_t i = 0; i < 16; ++i) {
        RValue item = row.items[i];
        matrix.m[i] = static_cast<float>(RValue_IsReal(item) ? item.val : RValue_ToReal(&item));
    }
    if (CCamera* camera = CameraArg(args)) (camera->*set)(matrix);
}

void F_CameraSetViewMat(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    SetMatrix("camera_set_view_mat", argc, args, &CCamera::SetViewMat);
}

void F_CameraSetProjMat(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1);
    SetMatrix("camera_set_proj_mat", argc, args, &CCamera::SetProjMat);
}

void GetMatrix(RValue& result, const char* name, int32_t argc, RValue* args,
               const Matrix4& (CCamera::*get)() const) {
    result = RValue_Real(-1);
    if (!CheckArgs(name, argc, 1, args, kHasWrongType)) return;
    const CCamera* camera = CameraArg(args);
    if (!camera) return;
    double values[16];
    const Matrix4& m = (camera->*get)();
    for (int32_t i = 0; i < 16; ++i) values[i] = m.m[i];
    ReturnRealArray(result, 16, values);
}

void F_CameraGetViewMat(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    GetMatrix(result, "camera_get_view_mat", argc, args, &CCamera::GetViewMat);
}

void F_CameraGetProjMat(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    GetMatrix(result, "camera_get_proj_mat", argc, args, &CCamera::GetProjMat);
}

// ---- setters and getters of the view values --------------------------------------------------

// One setter: its name, the argument count with the camera, the wrong-type text, and the store.
struct CameraSetter {
    const char* name;
    int32_t argc;
    const char* wrongType;
    void (*store)(CCamera* camera, const RValue* args);
};

float F(const RValue* args, int32_t n) {
    return static_cast<float>(args[n].val);
}

const CameraSetter kSetters[] = {
    {"camera_set_view_pos", 3, kHasWrongType,
     [](CCamera* c, const RValue* a) { c->SetViewPos(F(a, 1), F(a, 2)); }},
    {"camera_set_view_size", 3, kHasWrongType,
     [](CCamera* c, const RValue* a) { c->SetViewSize(F(a, 1), F(a, 2)); }},
    {"camera_set_view_speed", 3, kHasWrongType,
     [](CCamera* c, const RValue* a) {
         c->speedX = F(a, 1);
         c->speedY = F(a, 2);
     }},
    {"camera_set_view_border", 3, kHasWrongType,
     [](CCamera* c, const RValue* a) {
         c->borderX = F(a, 1);
         c->borderY = F(a, 2);
     }},
    {"camera_set_view_angle", 2, kHasWrongType,
     [](CCamera* c, const RValue* a) { c->SetViewAngle(F(a, 1)); }},
    {"camera_set_view_target", 2, kWrongType,
     [](CCamera* c, const RValue* a) { c->target = Arg_GetInt32(a, 1); }},
    {"camera_set_update_script", 2, kWrongType,
     [](CCamera* c, const RValue* a) { c->updateScript = Arg_GetInt32(a, 1); }},
    {"camera_set_begin_script", 2, kWrongType,
     [](CCamera* c, const RValue* a) { c->beginScript = Arg_GetInt32(a, 1); }},
    {"camera_set_end_script", 2, kWrongType,
     [](CCamera* c, const RValue* a) { c->endScript = Arg_GetInt32(a, 1); }},
};

template <int N>
void F_CameraSet(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const CameraSetter& setter = kSetters[N];
    result = RValue_Real(-1);
    if (!CheckArgs(setter.name, argc, setter.argc, args, setter.wrongType)) return;
    if (CCamera* camera = CameraArg(args)) setter.store(camera, args);
}

struct CameraGetter {
    const char* name;
    double (*read)(const CCamera* camera);
};

const CameraGetter kGetters[] = {
    {"camera_get_view_x", [](const CCamera* c) { return double{c->viewX}; }},
    {"camera_get_view_y", [](const CCamera* c) { return double{c->viewY}; }},
    {"camera_get_view_width", [](const CCamera* c) { return double{c->viewWidth}; }},
    {"camera_get_view_height", [](const CCamera* c) { return double{c->viewHeight}; }},
    {"camera_get_view_speed_x", [](const CCamera* c) { return double{c->speedX}; }},
    {"camera_get_view_speed_y", [](const CCamera* c) { return double{c->speedY}; }},
    {"camera_get_view_border_x", [](const CCamera* c) { return double{c->borderX}; }},
    {"camera_get_view_border_y", [](const CCamera* c) { return double{c->borderY}; }},
    {"camera_get_view_angle", [](const CCamera* c) { return double{c->angle}; }},
    {"camera_get_view_target", [](const CCamera* c) { return double(c->target); }},
    {"camera_get_update_script", [](const CCamera* c) { return double(c->updateScript); }},
    {"camera_get_begin_script", [](const CCamera* c) { return double(c->beginScript); }},
    {"camera_get_end_script", [](const CCamera* c) { return double(c->endScript); }},
};

template <int N>
void F_CameraGet(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const CameraGetter& getter = kGetters[N];
    result = RValue_Real(-1);
    if (!CheckArgs(getter.name, argc, 1, args, kWrongType)) return;
    if (const CCamera* camera = CameraArg(args)) result = RValue_Real(getter.read(camera));
}

// ---- views -----------------------------------------------------------------------------------

// The current room's view of an index; outside 0..7 it is view 0. Null without a room.
RoomView* ViewArg(const RValue* args) {
    CRoom* room = Run_Room();
    if (!room) return nullptr;
    int32_t index = Arg_GetInt32(args, 0);
    if (index < 0 || index >= kRoomViews) index = 0;
    return &room->views[index];
}

int32_t Nearest(const RValue* args, int32_t n) {
    return static_cast<int32_t>(std::nearbyint(Arg_GetReal(args, n)));
}

struct ViewField {
    const char* getName;
    const char* setName;
    double (*read)(const RoomView& view);
    void (*write)(RoomView& view, int32_t value);
};

const ViewField kViewFields[] = {
    {"view_get_visible", "view_set_visible", [](const RoomView& v) { return v.visible ? 1.0 : 0.0; },
     [](RoomView& v, int32_t value) { v.visible = value > 0.5; }},
    {"view_get_xport", "view_set_xport", [](const RoomView& v) { return double(v.portX); },
     [](RoomView& v, int32_t value) { v.portX = value; }},
    {"view_get_yport", "view_set_yport", [](const RoomView& v) { return double(v.portY); },
     [](RoomView& v, int32_t value) { v.portY = value; }},
    {"view_get_wport", "view_set_wport", [](const RoomView& v) { return double(v.portW); },
     [](RoomView& v, int32_t value) { v.portW = value; }},
    {"view_get_hport", "view_set_hport", [](const RoomView& v) { return double(v.portH); },
     [](RoomView& v, int32_t value) { v.portH = value; }},
    {"view_get_surface_id", "view_set_surface_id", [](const RoomView& v) { return double(v.surfaceId); },
     [](RoomView& v, int32_t value) { v.surfaceId = value; }},
    {"view_get_camera", "view_set_camera", [](const RoomView& v) { return double(v.cameraId); },
     [](RoomView& v, int32_t value) { v.cameraId = value; }},
};

template <int N>
void F_ViewGet(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    if (const RoomView* view = ViewArg(args)) result = RValue_Real(kViewFields[N].read(*view));
}

template <int N>
void F_ViewSet(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (RoomView* view = ViewArg(args)) kViewFields[N].write(*view, Nearest(args, 1));
}

template <int... I>
void AddSetters(std::integer_sequence<int, I...>) {
    (Code_Function_Add(kSetters[I].name, F_CameraSet<I>, kSetters[I].argc, 0), ...);
}

template <int... I>
void AddGetters(std::integer_sequence<int, I...>) {
    (Code_Function_Add(kGetters[I].name, F_CameraGet<I>, 1, 0), ...);
}

template <int... I>
void AddViewFields(std::integer_sequence<int, I...>) {
    (Code_Function_Add(kViewFields[I].getName, F_ViewGet<I>, 1, 0), ...);
    (Code_Function_Add(kViewFields[I].setName, F_ViewSet<I>, 2, 0), ...);
}

template <typename T, size_t N>
constexpr int Count(const T (&)[N]) {
    return static_cast<int>(N);
}

}  // namespace

void InitCameraFunctions() {
    static const BuiltinRow kRows[] = {
        {"camera_create", F_CameraCreate, 0},           {"camera_create_view", F_CameraCreateView, 4},
        {"camera_destroy", F_CameraDestroy, 1},         {"camera_apply", F_CameraApply, 1},
        {"camera_get_active", F_CameraGetActive, 0},    {"camera_get_default", F_CameraGetDefault, 0},
        {"camera_set_default", F_CameraSetDefault, 1},  {"camera_set_view_mat", F_CameraSetViewMat, 2},
        {"camera_set_proj_mat", F_CameraSetProjMat, 2}, {"camera_get_view_mat", F_CameraGetViewMat, 1},
        {"camera_get_proj_mat", F_CameraGetProjMat, 1},
    };
    Code_Function_AddRows(kRows);
    AddSetters(std::make_integer_sequence<int, Count(kSetters)>{});
    AddGetters(std::make_integer_sequence<int, Count(kGetters)>{});
    AddViewFields(std::make_integer_sequence<int, Count(kViewFields)>{});
}
