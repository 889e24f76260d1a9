// Cameras: ids, matrices, the follow rule and its clamps, update scripts, and the active camera.
#include <cmath>

#include "RoomTestSupport.h"
#include "core/Instance.h"

using roomtest::CameraTest;

namespace {

// The look-at and orthographic matrices of a camera centred on (cx, cy), worked out by hand:
// the eye looks down +z from -16000 with +y up, so the view only translates.
void ExpectOrthoCamera(const CCamera& camera, float cx, float cy, float width, float height) {
    const float view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -cx, -cy, 16000, 1};
    const float proj[16] = {2 / width,     0, 0, 0, 0, 2 / height, 0, 0, 0, 0, 1 / 31999.0f, 0, 0, 0,
                            -1 / 31999.0f, 1};
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(camera.GetViewMat().m[i], view[i], 1e-6) << "view " << i;
        EXPECT_NEAR(camera.GetProjMat().m[i], proj[i], 1e-6) << "projection " << i;
    }
    float viewProj[16];
    camera.GetViewProjMatrix(viewProj);
    // A room point at the centre lands at the clip-space origin; the top-left corner at (-1, -1).
    auto clip = [&](float x, float y, int axis) {
        return x * viewProj[axis] + y * viewProj[4 + axis] + viewProj[12 + axis];
    };
    EXPECT_NEAR(clip(cx, cy, 0), 0, 1e-6);
    EXPECT_NEAR(clip(cx - width / 2, cy - height / 2, 0), -1, 1e-6);
    EXPECT_NEAR(clip(cx - width / 2, cy - height / 2, 1), -1, 1e-6);
    EXPECT_TRUE(camera.Is2D());
}

}  // namespace

TEST_F(CameraTest, DefaultCameraHasIdZeroAndLaterIdsKeepCounting) {
    EXPECT_EQ(g_DefaultCameraId, 0);
    EXPECT_EQ(roomtest::CallReal("camera_get_default", {}), 0);
    const double first = roomtest::CallReal("camera_create", {});
    const double second = roomtest::CallReal("camera_create", {});
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    roomtest::Call("camera_destroy", roomtest::Reals({2}));
    EXPECT_EQ(roomtest::CallReal("camera_create", {}), 3) << "ids are never reused";
}

TEST_F(CameraTest, CreateViewBuildsTheMatricesAroundTheViewCentre) {
    const double id = roomtest::CallReal("camera_create_view", roomtest::Reals({0, 0, 640, 480}));
    const CCamera* camera = g_CameraManager.GetCamera(static_cast<int32_t>(id));
    ASSERT_NE(camera, nullptr);
    ExpectOrthoCamera(*camera, 320, 240, 640, 480);
    EXPECT_EQ(camera->target, -1);
    EXPECT_EQ(camera->speedX, -1);
    EXPECT_EQ(camera->speedY, -1);
    EXPECT_EQ(camera->borderX, 0);
    EXPECT_EQ(camera->angle, 0);
    EXPECT_EQ(roomtest::CallReal("camera_get_view_speed_x", roomtest::Reals({id})), -1);
}

TEST_F(CameraTest, FollowRuleCentresClampsAndLimitsSpeed) {
    struct Case {
        const char* what;
        float ix, oldX, w, border, speed;
        int32_t room;
        float expected;
    };
    const Case cases[] = {
        {"border of half the width centres", 500, 0, 200, 100, -1, 2000, 400},
        {"target left of the border pulls", 90, 100, 200, 32, -1, 2000, 58},
        {"target right of the border pushes", 300, 100, 200, 32, -1, 2000, 132},
        {"target inside stays", 200, 100, 200, 32, -1, 2000, 100},
        {"speed 0 never moves", 900, 100, 200, 32, 0, 2000, 100},
        {"speed limits the step", 900, 100, 200, 32, 5, 2000, 105},
        {"unlimited speed jumps", 900, 100, 200, 32, -1, 2000, 732},
        {"clamped at the room's left", 10, 100, 200, 32, -1, 2000, 0},
        {"clamped at the room's right", 1990, 100, 200, 32, -1, 2000, 1800},
        {"a view wider than the room ends negative", 300, 0, 800, 0, -1, 600, -200},
    };
    for (const Case& c : cases) {
        float x, y;
        Camera_Follow(c.ix, 0, c.oldX, 0, c.w, 100, c.border, 0, c.speed, -1, c.room, 1000, &x, &y);
        EXPECT_FLOAT_EQ(x, c.expected) << c.what;
    }
}

TEST_F(CameraTest, UpdateFollowsItsTargetUnlessAnUpdateScriptTakesOver) {
    static CInstance* target = nullptr;
    CInstance instance(1000.7f, 900.2f, 100001, -1, false);
    target = &instance;
    g_CameraWorld.findTarget = [](int32_t id) { return id == 100001 ? target : nullptr; };
    g_CameraWorld.roomSize = [](int32_t* w, int32_t* h) {
        *w = 3000;
        *h = 3000;
        return true;
    };
    g_CameraWorld.updateBox = [](CInstance*) {};
    CCamera* camera = g_CameraManager.CreateCamera();
    camera->SetViewSize(400, 300);
    camera->speedX = camera->speedY = -1;
    camera->borderX = 200;  // centres
    camera->borderY = 150;
    camera->target = 100001;
    camera->Update();
    EXPECT_FLOAT_EQ(camera->viewX, 800);
    EXPECT_FLOAT_EQ(camera->viewY, 750);
    ExpectOrthoCamera(*camera, 1000, 900, 400, 300);

    camera->updateScript = 12345;  // no such script: it runs nothing, and still nothing follows
    instance.x = 2000;
    camera->Update();
    EXPECT_FLOAT_EQ(camera->viewX, 800);

    camera->updateScript = -1;
    camera->target = 100002;  // no live instance: no move, no rebuild
    camera->Update();
    EXPECT_FLOAT_EQ(camera->viewX, 800);
}

TEST_F(CameraTest, ViewChangedRebuildsButSpeedAloneDoesNot) {
    const double id = roomtest::CallReal("camera_create_view", roomtest::Reals({0, 0, 640, 480}));
    CCamera* camera = g_CameraManager.GetCamera(static_cast<int32_t>(id));
    roomtest::Call("camera_set_view_speed", roomtest::Reals({id, 3, 3}));
    camera->Update();
    ExpectOrthoCamera(*camera, 320, 240, 640, 480);
    roomtest::Call("camera_set_view_pos", roomtest::Reals({id, 100, 50}));
    ExpectOrthoCamera(*camera, 320, 240, 640, 480);  // from the next update on
    camera->Update();
    ExpectOrthoCamera(*camera, 420, 290, 640, 480);
}

TEST_F(CameraTest, PerspectiveProjectionIsNotTwoD) {
    const double id = roomtest::CallReal("camera_create", {});
    RValue array = RValue_Undefined();
    const float fov[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, -1, 0};
    for (int i = 0; i < 16; ++i) {
        RValue item = RValue_Real(fov[i]);
        RValue_SetIndexed(&array, &item, i);
    }
    roomtest::Call("camera_set_proj_mat", {RValue_Real(id), array});
    EXPECT_FALSE(g_CameraManager.GetCamera(static_cast<int32_t>(id))->Is2D());
    RValue back = roomtest::Call("camera_get_proj_mat", roomtest::Reals({id}));
    ASSERT_EQ(back.kind, VALUE_ARRAY);
    EXPECT_EQ(back.arr->rows[0].length, 16);
    EXPECT_EQ(back.arr->rows[0].items[11].val, 1);
    RValue_Release(&back);
}

TEST_F(CameraTest, MatrixOfFifteenEntriesChangesNothingAndReports) {
    const double id = roomtest::CallReal("camera_create_view", roomtest::Reals({0, 0, 640, 480}));
    RValue array = RValue_Undefined();
    for (int i = 0; i < 15; ++i) {
        RValue item = RValue_Real(7);
        RValue_SetIndexed(&array, &item, i);
    }
    roomtest::Call("camera_set_view_mat", {RValue_Real(id), array});
    ASSERT_EQ(roomtest::Shown().size(), 1u);
    EXPECT_EQ(roomtest::Shown()[0], "camera_set_view_mat() - must be 16 entries in array");
    ExpectOrthoCamera(*g_CameraManager.GetCamera(static_cast<int32_t>(id)), 320, 240, 640, 480);
}

TEST_F(CameraTest, ArgumentFaultsShowTheirMessages) {
    struct Case {
        const char* name;
        std::vector<RValue> args;
        const char* message;
    };
    RValue text = RValue_Undefined();
    RValue_SetString(&text, "x");
    std::vector<Case> cases;
    cases.push_back({"camera_create", roomtest::Reals({1}), "camera_create() - doesn't take any arguments"});
    cases.push_back({"camera_create_view", roomtest::Reals({1, 2}),
                     "camera_create_view() - must have at least 4 arguments"});
    cases.push_back({"camera_destroy", {}, "camera_destroy() - wrong number of arguments"});
    cases.push_back({"camera_set_view_speed",
                     {RValue_Real(0), RValue_Real(1), text},
                     "camera_set_view_speed() - parameter has wrong type"});
    RValue text2 = RValue_Undefined();
    RValue_SetString(&text2, "y");
    cases.push_back({"camera_set_view_target",
                     {RValue_Real(0), text2},
                     "camera_set_view_target() - parameter wrong type"});
    RValue text3 = RValue_Undefined();
    RValue_SetString(&text3, "z");
    cases.push_back({"camera_get_view_x", {text3}, "camera_get_view_x() - parameter wrong type"});
    cases.push_back({"camera_get_view_mat", {}, "camera_get_view_mat() - wrong number of arguments"});
    for (Case& c : cases) {
        roomtest::Shown().clear();
        RValue result = roomtest::Call(c.name, c.args);
        EXPECT_EQ(result.kind, VALUE_REAL) << c.name;
        EXPECT_EQ(result.val, -1) << c.name;
        ASSERT_EQ(roomtest::Shown().size(), 1u) << c.name;
        EXPECT_EQ(roomtest::Shown()[0], c.message);
    }
    EXPECT_EQ(g_CameraManager.Count(), 1) << "no camera was made";
}

TEST_F(CameraTest, ActiveCameraFollowsSetActiveAndDestroy) {
    const int32_t a = g_CameraManager.CreateCamera()->GetID();
    g_CameraManager.SetActive(a);
    g_CameraManager.SetActive(999);
    EXPECT_EQ(roomtest::CallReal("camera_get_active", {}), a) << "an unknown id keeps the active camera";
    roomtest::Call("camera_destroy", roomtest::Reals({double(a)}));
    EXPECT_EQ(roomtest::CallReal("camera_get_active", {}), -1);
    EXPECT_EQ(roomtest::CallReal("camera_get_view_x", roomtest::Reals({double(a)})), -1);
}

TEST_F(CameraTest, CloneCopiesValuesAndMatricesUnderANewId) {
    const double id =
        roomtest::CallReal("camera_create_view", roomtest::Reals({10, 20, 200, 100, 0, -1, 4, 5, 6, 7}));
    CCamera* source = g_CameraManager.GetCamera(static_cast<int32_t>(id));
    source->SetViewAngle(30);  // marks changed; the copy starts unchanged
    CCamera* copy = g_CameraManager.Clone(static_cast<int32_t>(id));
    ASSERT_NE(copy, nullptr);
    EXPECT_GT(copy->GetID(), source->GetID());
    EXPECT_EQ(copy->speedX, 4);
    EXPECT_EQ(copy->borderY, 7);
    EXPECT_EQ(copy->angle, 30);
    EXPECT_FALSE(copy->viewChanged);
    ExpectOrthoCamera(*copy, 110, 70, 200, 100);
    EXPECT_EQ(g_CameraManager.Clone(9999), nullptr);
}
