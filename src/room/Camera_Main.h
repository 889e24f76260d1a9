// Cameras: in the layer model every view looks through a camera, which owns its view and
// projection matrices (with their inverses and product), a 2-D view rectangle with the follow
// rules of the classic views (target, border, speed), and three optional scripts: one that
// takes over the per-frame update, and two that run around the drawing of the camera's view.
// Every camera lives in the one manager, addressed by integer id; ids are handed out in
// increasing order and never reused within a run.
#pragma once

#include <cstdint>

#include "core/MemoryManager.h"
#include "graphics/Graphics_Matrix.h"

class CInstance;

class CCamera : public MemoryManaged {
public:
    CCamera();

    int32_t GetID() const { return m_id; }

    void SetProjMat(const Matrix4& projection);
    void SetViewMat(const Matrix4& view);
    const Matrix4& GetProjMat() const { return m_proj; }
    const Matrix4& GetViewMat() const { return m_view; }
    void GetViewProjMatrix(float out[16]) const;
    void GetInvViewProjMatrix(float out[16]) const;
    bool Is2D() const { return m_is2D; }

    // Both matrices again from the view rectangle and angle, looking at (cx, cy).
    void BuildOrtho(float cx, float cy);
    void BuildPerspective(float cx, float cy);
    // The per-frame follow step.
    void Update();
    // The camera's matrices become the device's.
    void Apply();
    void RunScript(int32_t script);
    void RunBeginScript() { RunScript(beginScript); }
    void RunEndScript() { RunScript(endScript); }

    // The view values; the setters of position, size and angle mark the view changed.
    void SetViewPos(float x, float y);
    void SetViewSize(float width, float height);
    void SetViewAngle(float angle);

    float viewX = 0, viewY = 0, viewWidth = 0, viewHeight = 0;
    float speedX = 0, speedY = 0;
    float borderX = 0, borderY = 0;
    float angle = 0;
    int32_t target = -1;
    int32_t beginScript = -1, endScript = -1, updateScript = -1;
    bool viewChanged = false;

private:
    friend class CCameraManager;
    void Recompute();
    void RebuildAround(float cx, float cy);

    int32_t m_id = -1;
    Matrix4 m_proj, m_view, m_viewProj, m_invProj, m_invView, m_invViewProj;
    bool m_is2D = true;
};

class CCameraManager {
public:
    CCamera* CreateCamera();
    // From a ROOM view record of 14 32-bit words; null for a null record.
    CCamera* CreateFromRoomView(const int32_t* record);
    CCamera* Clone(int32_t id);
    // -1 when no camera has the id, else 0.
    int32_t Destroy(int32_t id);
    CCamera* GetCamera(int32_t id);
    // -1 makes no camera active; an id that names no camera changes nothing.
    void SetActive(int32_t id);
    CCamera* GetActive() const { return m_active; }
    void CreateScriptInstance();
    void FreeScriptInstance();
    CInstance* ScriptInstance() const { return m_scriptInstance; }
    // Frees every camera; the next id is 0 again.
    void Reset();
    int32_t Count() const { return m_count; }
    int32_t NextId() const { return m_nextId; }

private:
    int32_t IndexOf(int32_t id);

    int32_t m_nextId = 0;
    CCamera* m_active = nullptr;
    CInstance* m_scriptInstance = nullptr;
    CCamera** m_cameras = nullptr;
    int32_t m_capacity = 0;
    int32_t m_count = 0;
    int32_t m_cachedIndex = 0;
};

extern CCameraManager g_CameraManager;
extern int32_t g_DefaultCameraId;

// The data-file loader's reset: every camera goes, then the default camera is made.
void CreateDefaultCamera();
void Camera_ResetAll();
// Points the default camera at a rectangle and makes it active (the whole window, the whole
// room, a surface becoming the target).
void Camera_SetDefaultView(float x, float y, float w, float h, float angle);

// What a camera's follow step needs of the world: the room's size and the instance it
// follows (null when none is live). The runner's functions by default.
struct CameraWorld {
    bool (*roomSize)(int32_t* width, int32_t* height);
    CInstance* (*findTarget)(int32_t target);
    // Brings a dirty bounding box up to date.
    void (*updateBox)(CInstance* instance);
};
extern CameraWorld g_CameraWorld;

// The follow rule shared by cameras and legacy views: the new top-left corner (x, y) of a
// w x h view at (oldX, oldY) that follows a target at (ix, iy) in a room of roomW x roomH.
// A speed below 0 is unlimited.
void Camera_Follow(float ix, float iy, float oldX, float oldY, float w, float h, float borderX, float borderY,
                   float speedX, float speedY, int32_t roomW, int32_t roomH, float* x, float* y);

// The live instance a target names: from 100000 an instance id, below an object index (its
// first instance neither marked nor deactivated). Null when there is none.
CInstance* Camera_FindTarget(int32_t target);

// Puts the cameras' hooks into the runner, the window and the surface stack.
void Camera_InstallHooks();
