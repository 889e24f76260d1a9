#include "room/Camera_Main.h"

#include <cmath>
#include <cstring>

#include "core/GarbageCollector.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/Script_Main.h"
#include "core/Value.h"
#include "core/Variable.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Window.h"
#include "world/Event_Main.h"
#include "base/GEN8.h"
#include "world/Room_Services.h"
#include "base/LoadGame.h"
#include "world/Object_Class.h"
#include "world/Object_Main.h"
#include "world/Room_Class.h"
#include "world/Run.h"

CCameraManager g_CameraManager;
int32_t g_DefaultCameraId = -1;

namespace {

constexpr float kDegToRad = 0.017453292f;
constexpr double kTwoPi = 6.2831854820251465;

bool RoomSizeOfCurrent(int32_t* width, int32_t* height) {
    const CRoom* room = Run_Room();
    if (!room) return false;
    *width = room->width;
    *height = room->height;
    return true;
}

void UpdateBoxIfDirty(CInstance* instance) {
    if (instance->boxDirty && InstanceWorld().computeBoundingBox)
        InstanceWorld().computeBoundingBox(instance);
}

bool Live(const CInstance* instance) {
    return instance && !instance->destroyed && !instance->deactivated;
}

void Invert(Matrix4* out, const Matrix4& in) {
    Matrix4 copy = in;
    if (Matrix_Inverse(&copy)) *out = copy;
}

// The look-at of a camera at (cx, cy, eyeZ) with its up vector turned by the angle.
void LookAt(Matrix4* out, float cx, float cy, float eyeZ, float angle) {
    const float a = -angle * kDegToRad;
    const float eye[3] = {cx, cy, eyeZ};
    const float at[3] = {cx, cy, 0.0f};
    const float up[3] = {std::sin(a), std::cos(a), 0.0f};
    Matrix_Build_LookAt(out, eye, at, up);
}

// (x, y, z, 1) x m without the perspective division.
void TransformRow(const Matrix4& m, float x, float y, float z, float out[3]) {
    for (int i = 0; i < 3; ++i) out[i] = x * m.m[i] + y * m.m[4 + i] + z * m.m[8 + i] + m.m[12 + i];
}

float Distance(const float a[3], const float b[3]) {
    const float dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

void MarkScriptInstance(GCMarkContext& marker) {
    if (CInstance* instance = g_CameraManager.ScriptInstance()) GC_MarkObject(instance, marker);
}

}  // namespace

CameraWorld g_CameraWorld = {RoomSizeOfCurrent, Camera_FindTarget, UpdateBoxIfDirty};

// ---- CCamera -------------------------------------------------------------------------------

CCamera::CCamera() {
    m_proj = m_view = m_invProj = m_invView = Matrix_Identity;
    std::memset(&m_viewProj, 0, sizeof m_viewProj);
    std::memset(&m_invViewProj, 0, sizeof m_invViewProj);
}

void CCamera::Recompute() {
    Matrix_Multiply(&m_viewProj, m_view, m_proj);
    Invert(&m_invViewProj, m_viewProj);
    const float* p = m_proj.m;
    const float* v = m_view.m;
    m_is2D = p[11] == 0.0f && p[4] == 0.0f && p[8] == 0.0f && p[1] == 0.0f && p[9] == 0.0f && p[2] == 0.0f &&
             p[6] == 0.0f && v[2] == 0.0f && v[6] == 0.0f;
}

void CCamera::SetProjMat(const Matrix4& projection) {
    m_proj = projection;
    Invert(&m_invProj, m_proj);
    Recompute();
}

void CCamera::SetViewMat(const Matrix4& view) {
    m_view = view;
    Invert(&m_invView, m_view);
    Recompute();
}

void CCamera::GetViewProjMatrix(float out[16]) const {
    std::memcpy(out, m_viewProj.m, sizeof m_viewProj.m);
}

void CCamera::GetInvViewProjMatrix(float out[16]) const {
    std::memcpy(out, m_invViewProj.m, sizeof m_invViewProj.m);
}

void CCamera::BuildOrtho(float cx, float cy) {
    Matrix4 view, projection;
    LookAt(&view, cx, cy, -16000.0f, angle);
    Matrix_Build_Ortho(&projection, viewWidth, viewHeight, 1.0f, 32000.0f);
    SetViewMat(view);
    SetProjMat(projection);
}

void CCamera::BuildPerspective(float cx, float cy) {
    Matrix4 view, projection;
    LookAt(&view, cx, cy, -viewWidth, angle);
    // A view without width has no aspect: the projection stays flat rather than infinite.
    const float aspect = viewWidth != 0.0f ? -viewHeight / viewWidth : 0.0f;
    Matrix_Build_Perspective(&projection, 1.0f, aspect, 1.0f, 32000.0f);
    SetViewMat(view);
    SetProjMat(projection);
}

void CCamera::RebuildAround(float cx, float cy) {
    if (m_proj.m[11] != 0.0f)
        BuildPerspective(cx, cy);
    else
        BuildOrtho(cx, cy);
}

void CCamera::SetViewPos(float x, float y) {
    viewX = x;
    viewY = y;
    viewChanged = true;
}

void CCamera::SetViewSize(float width, float height) {
    viewWidth = width;
    viewHeight = height;
    viewChanged = true;
}

void CCamera::SetViewAngle(float value) {
    angle = value;
    viewChanged = true;
}

void Camera_Follow(float ix, float iy, float oldX, float oldY, float w, float h, float borderX, float borderY,
                   float speedX, float speedY, int32_t roomW, int32_t roomH, float* outX, float* outY) {
    auto axis = [](float i, float old, float size, float border, float speed, int32_t room) {
        float v;
        if (2.0f * border >= size)
            v = i - size * 0.5f;
        else if (old > i - border)
            v = i - border;
        else if (border + i > old + size)
            v = border + i - size;
        else
            v = old;
        if (v < 0.0f) v = 0.0f;
        if (size + v > static_cast<float>(room)) v = static_cast<float>(room) - size;
        if (speed >= 0.0f) {
            if (old > v && old - v > speed) v = old - speed;
            if (old < v && v - old > speed) v = old + speed;
        }
        return v;
    };
    *outX = axis(ix, oldX, w, borderX, speedX, roomW);
    *outY = axis(iy, oldY, h, borderY, speedY, roomH);
}

CInstance* Camera_FindTarget(int32_t target) {
    if (target > 99999) {
        CInstance* instance = Instance_Find(target);
        return Live(instance) ? instance : nullptr;
    }
    CObjectHV* object = Object_Find(target);
    if (!object) return nullptr;
    for (auto* node = object->instances.First(); node; node = node->next)
        if (Live(node->item)) return node->item;
    return nullptr;
}

void CCamera::Update() {
    if (updateScript != -1) {
        RunScript(updateScript);
        return;
    }
    if (target != -1) {
        CInstance* instance = g_CameraWorld.findTarget ? g_CameraWorld.findTarget(target) : nullptr;
        int32_t roomW = 0, roomH = 0;
        if (!instance || !g_CameraWorld.roomSize || !g_CameraWorld.roomSize(&roomW, &roomH)) return;
        if (g_CameraWorld.updateBox) g_CameraWorld.updateBox(instance);
        float x, y;
        Camera_Follow(std::floor(instance->x), std::floor(instance->y), viewX, viewY, viewWidth, viewHeight,
                      borderX, borderY, speedX, speedY, roomW, roomH, &x, &y);
        viewX = x;
        viewY = y;
        RebuildAround(x + viewWidth * 0.5f, y + viewHeight * 0.5f);
        return;
    }
    if (viewChanged) RebuildAround(viewX + viewWidth * 0.5f, viewY + viewHeight * 0.5f);
}

void CCamera::Apply() {
    if (m_proj.m[11] == 0.0f) {
        float left[3], right[3], top[3], bottom[3];
        TransformRow(m_invViewProj, -1, 0, 0, left);
        TransformRow(m_invViewProj, 1, 0, 0, right);
        TransformRow(m_invViewProj, 0, 1, 0, top);
        TransformRow(m_invViewProj, 0, -1, 0, bottom);
        const float width = Distance(left, right), height = Distance(top, bottom);
        const float x = -m_view.m[12] - width * 0.5f, y = -m_view.m[13] - height * 0.5f;
        float d[3] = {top[0] - bottom[0], top[1] - bottom[1], top[2] - bottom[2]};
        const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        double a = 0.0;
        if (length > 0.0f) {
            for (float& c : d) c /= length;
            a = std::acos(std::fmax(-1.0, std::fmin(1.0, static_cast<double>(d[1]))));
            if (d[0] < 0.0f) a = kTwoPi - a;
        }
        const float degrees = static_cast<float>(a / kTwoPi * 360.0);
        g_ViewRecord = {x, y, width, height, degrees};
        GR_Compute_View_Bounds(x, y, width, height, degrees);
    }
    GR_D3D_Set_Matrix(GR_MATRIX_VIEW, m_view);
    // projection x diag(1, -1, 1, 1): the second column negated.
    Matrix4 flipped = m_proj;
    for (int row = 0; row < 4; ++row) flipped.m[row * 4 + 1] = -m_proj.m[row * 4 + 1];
    GR_D3D_Set_Matrix(GR_MATRIX_PROJECTION, flipped);
}

void CCamera::RunScript(int32_t script) {
    if (script == -1) return;
    const int32_t savedObject = g_CurrentEvent.object;
    g_CurrentEvent.object = m_id;
    CInstance* self = nullptr;
    if (g_GameHeader.objectMode)
        self = reinterpret_cast<CInstance*>(g_GlobalObject);
    else
        self = g_CameraManager.ScriptInstance();
    if (self) {
        RValue result = RValue_Undefined();
        Script_Run(script, self, self, 0, &result, nullptr);
        RValue_Release(&result);
    }
    g_CurrentEvent.object = savedObject;
}

// ---- CCameraManager ------------------------------------------------------------------------

int32_t CCameraManager::IndexOf(int32_t id) {
    if (m_cachedIndex < m_count && m_cameras[m_cachedIndex] && m_cameras[m_cachedIndex]->m_id == id)
        return m_cachedIndex;
    for (int32_t i = 0; i < m_count; ++i) {
        const CCamera* camera = m_cameras[i];
        if (!camera) continue;
        if (camera->m_id > id) return -1;
        if (camera->m_id == id) {
            m_cachedIndex = i;
            return i;
        }
    }
    return -1;
}

CCamera* CCameraManager::GetCamera(int32_t id) {
    const int32_t index = IndexOf(id);
    return index < 0 ? nullptr : m_cameras[index];
}

CCamera* CCameraManager::CreateCamera() {
    if (m_count == m_capacity) {
        const int32_t capacity = m_capacity == 0 ? 1 : m_capacity * 2;
        m_cameras = static_cast<CCamera**>(MEM_REALLOC(m_cameras, sizeof(CCamera*) * capacity));
        m_capacity = capacity;
    }
    auto* camera = new CCamera();
    camera->m_id = m_nextId++;
    m_cameras[m_count++] = camera;
    return camera;
}

CCamera* CCameraManager::CreateFromRoomView(const int32_t* record) {
    if (!record) return nullptr;
    CCamera* camera = CreateCamera();
    camera->viewX = static_cast<float>(record[1]);
    camera->viewY = static_cast<float>(record[2]);
    camera->viewWidth = static_cast<float>(record[3]);
    camera->viewHeight = static_cast<float>(record[4]);
    camera->borderX = static_cast<float>(record[9]);
    camera->borderY = static_cast<float>(record[10]);
    camera->speedX = static_cast<float>(record[11]);
    camera->speedY = static_cast<float>(record[12]);
    camera->angle = 0.0f;
    camera->target = record[13];
    camera->BuildOrtho(camera->viewX + camera->viewWidth * 0.5f, camera->viewY + camera->viewHeight * 0.5f);
    return camera;
}

CCamera* CCameraManager::Clone(int32_t id) {
    CCamera* source = GetCamera(id);
    if (!source) return nullptr;
    CCamera* copy = CreateCamera();
    copy->viewX = source->viewX;
    copy->viewY = source->viewY;
    copy->viewWidth = source->viewWidth;
    copy->viewHeight = source->viewHeight;
    copy->speedX = source->speedX;
    copy->speedY = source->speedY;
    copy->borderX = source->borderX;
    copy->borderY = source->borderY;
    copy->angle = source->angle;
    copy->target = source->target;
    copy->beginScript = source->beginScript;
    copy->endScript = source->endScript;
    copy->updateScript = source->updateScript;
    copy->SetViewMat(source->m_view);
    copy->SetProjMat(source->m_proj);
    return copy;
}

int32_t CCameraManager::Destroy(int32_t id) {
    const int32_t index = IndexOf(id);
    if (index < 0) return -1;
    CCamera* camera = m_cameras[index];
    if (camera == m_active) m_active = nullptr;
    delete camera;
    for (int32_t i = index; i + 1 < m_count; ++i) m_cameras[i] = m_cameras[i + 1];
    m_cameras[--m_count] = nullptr;
    m_cachedIndex = 0;
    return 0;
}

void CCameraManager::SetActive(int32_t id) {
    if (id == -1) {
        m_active = nullptr;
        return;
    }
    if (CCamera* camera = GetCamera(id)) m_active = camera;
}

void CCameraManager::CreateScriptInstance() {
    if (m_scriptInstance) return;
    m_scriptInstance = new CInstance(0.0f, 0.0f, 0, -1, false);
}

void CCameraManager::FreeScriptInstance() {
    delete m_scriptInstance;
    m_scriptInstance = nullptr;
}

void CCameraManager::Reset() {
    for (int32_t i = 0; i < m_count; ++i) delete m_cameras[i];
    MEM_FREE(m_cameras);
    m_cameras = nullptr;
    m_capacity = m_count = 0;
    m_nextId = 0;
    m_active = nullptr;
    // A script instance still held here belongs to no room any more.
    delete m_scriptInstance;
    m_scriptInstance = nullptr;
    m_cachedIndex = 0;
}

// ---- the default camera ----------------------------------------------------------------------

void CreateDefaultCamera() {
    g_DefaultCameraId = g_CameraManager.CreateCamera()->GetID();
}

void Camera_ResetAll() {
    g_CameraManager.Reset();
    CreateDefaultCamera();
}

void Camera_SetDefaultView(float x, float y, float w, float h, float angle) {
    CCamera* camera = g_CameraManager.GetCamera(g_DefaultCameraId);
    if (!camera) return;
    if (camera->Is2D()) {
        camera->viewX = x;
        camera->viewY = y;
        camera->viewWidth = w;
        camera->viewHeight = h;
        camera->angle = angle;
        camera->BuildOrtho(x + w * 0.5f, y + h * 0.5f);
        camera->Apply();
    } else {
        Matrix4 view, projection;
        LookAt(&view, x + w * 0.5f, y + h * 0.5f, -w, angle);
        // A zero width has no aspect; the flat projection keeps the matrices finite.
        Matrix_Build_Perspective(&projection, w != 0.0f ? w / w : 1.0f, w != 0.0f ? -h / w : 0.0f, 1.0f,
                                 32000.0f);
        camera->SetViewMat(view);
        camera->SetProjMat(projection);
        camera->Apply();
        g_ViewRecord = {x, y, w, h, angle};
        GR_Compute_View_Bounds(x, y, w, h, angle);
    }
    g_CameraManager.SetActive(camera->GetID());
    camera->Apply();
}

// ---- hooks -----------------------------------------------------------------------------------

namespace {

int32_t HookCameraFromView(CRoom* room, int32_t index) {
    const RoomView& v = room->views[index];
    const int32_t record[14] = {v.visible ? 1 : 0,
                                static_cast<int32_t>(v.viewX),
                                static_cast<int32_t>(v.viewY),
                                static_cast<int32_t>(v.viewW),
                                static_cast<int32_t>(v.viewH),
                                v.portX,
                                v.portY,
                                v.portW,
                                v.portH,
                                v.hborder,
                                v.vborder,
                                v.hspeed,
                                v.vspeed,
                                v.object};
    return g_CameraManager.CreateFromRoomView(record)->GetID();
}

int32_t HookCameraClone(int32_t id) {
    CCamera* copy = g_CameraManager.Clone(id);
    return copy ? copy->GetID() : -1;
}

void HookCameraDestroy(int32_t id) {
    g_CameraManager.Destroy(id);
}

bool HookCameraRectangle(int32_t id, int32_t* l, int32_t* t, int32_t* r, int32_t* b) {
    const CCamera* camera = g_CameraManager.GetCamera(id);
    if (!camera) return false;
    *l = static_cast<int32_t>(camera->viewX);
    *t = static_cast<int32_t>(camera->viewY);
    *r = static_cast<int32_t>(camera->viewX + camera->viewWidth);
    *b = static_cast<int32_t>(camera->viewY + camera->viewHeight);
    return true;
}

bool HookViewProj(int32_t id, float out[16]) {
    const CCamera* camera = g_CameraManager.GetCamera(id);
    if (!camera) return false;
    camera->GetViewProjMatrix(out);
    return true;
}

bool HookInvViewProj(int32_t id, float out[16]) {
    const CCamera* camera = g_CameraManager.GetCamera(id);
    if (!camera) return false;
    camera->GetInvViewProjMatrix(out);
    return true;
}

// The surface stack asks for the default view; in the legacy model it is the plain one.
void HookSurfaceDefaultView(float x, float y, float w, float h, float angle) {
    if (g_GameHeader.layerModel)
        Camera_SetDefaultView(x, y, w, h, angle);
    else
        GR_D3D_Set_View_Projection(x, y, w, h, angle);
}

}  // namespace

void Camera_InstallHooks() {
    g_LoaderHooks.resetCameras = Camera_ResetAll;
    g_RoomServices.cameraCreateScriptInstance = [] { g_CameraManager.CreateScriptInstance(); };
    g_RoomServices.cameraFreeScriptInstance = [] { g_CameraManager.FreeScriptInstance(); };
    g_RoomServices.cameraFromView = HookCameraFromView;
    g_RoomServices.cameraClone = HookCameraClone;
    g_RoomServices.cameraDestroy = HookCameraDestroy;
    g_RoomServices.cameraRectangle = HookCameraRectangle;
    g_WindowHooks.Camera_GetViewProjMatrix = HookViewProj;
    g_WindowHooks.Camera_GetInvViewProjMatrix = HookInvViewProj;
    g_SurfaceHooks.setDefaultView = HookSurfaceDefaultView;
    static const bool rooted = (GC_RegisterRoots(MarkScriptInstance, GC_ROOTS_ALWAYS), true);
    (void)rooted;
}
