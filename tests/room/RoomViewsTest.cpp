// Views: port scales onto the application surface, the window fit, legacy following, the view
// built-ins, and where a letterboxed surface lands in the window.
#include "RoomTestSupport.h"
#include "graphics/Graphics_Window.h"
#include "room/Room_Draw.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

class RoomViewsTest : public roomtest::CameraTest {
protected:
    void SetUp() override {
        CameraTest::SetUp();
        m_room = new CRoom();
        m_room->viewsEnabled = true;
        Run_SetCurrentRoom(m_room);
        m_saved = g_RunState;
    }
    void TearDown() override {
        Run_SetCurrentRoom(nullptr);
        delete m_room;
        g_RunState.applicationSurfaceWidth = m_saved.applicationSurfaceWidth;
        g_RunState.applicationSurfaceHeight = m_saved.applicationSurfaceHeight;
        g_FrameDraw = FrameDrawState{};
        for (int32_t i = 0; i < WINDOW_VIEW_PORTS; ++i) Window_Clear_View_Port(i);
        CameraTest::TearDown();
    }

    void SetPort(int32_t i, int32_t x, int32_t y, int32_t w, int32_t h) {
        RoomView& v = m_room->views[i];
        v.visible = true;
        v.portX = x, v.portY = y, v.portW = w, v.portH = h;
    }

    CRoom* m_room = nullptr;
    RunState m_saved;
};

TEST_F(RoomViewsTest, PortScalesMapTheUnionOfPortsOntoTheSurface) {
    g_RunState.applicationSurfaceWidth = 1280;
    g_RunState.applicationSurfaceHeight = 480;
    SetPort(0, 0, 0, 320, 240);
    SetPort(1, 320, 0, 320, 240);
    Views_FollowTargets();
    EXPECT_FLOAT_EQ(g_FrameDraw.portScaleX, 2);
    EXPECT_FLOAT_EQ(g_FrameDraw.portScaleY, 2);
    EXPECT_TRUE(g_Window.viewPorts[1].inUse);
    EXPECT_FLOAT_EQ(g_Window.viewPorts[1].portX, 320);
    EXPECT_FALSE(g_Window.viewPorts[2].inUse);
}

TEST_F(RoomViewsTest, NoVisibleViewOrPortsOfNoSizeKeepScaleOne) {
    g_RunState.applicationSurfaceWidth = 640;
    g_RunState.applicationSurfaceHeight = 480;
    Views_FollowTargets();
    EXPECT_FLOAT_EQ(g_FrameDraw.portScaleX, 1);
    EXPECT_FLOAT_EQ(g_FrameDraw.portScaleY, 1);
    SetPort(0, 10, 10, 0, 0);
    Views_FollowTargets();
    EXPECT_FLOAT_EQ(g_FrameDraw.portScaleX, 1);
    EXPECT_FLOAT_EQ(g_FrameDraw.portScaleY, 1);
}

TEST_F(RoomViewsTest, ViewsOffClearEveryMouseSlot) {
    SetPort(0, 0, 0, 320, 240);
    Views_FollowTargets();
    EXPECT_TRUE(g_Window.viewPorts[0].inUse);
    m_room->viewsEnabled = false;
    Views_FollowTargets();
    EXPECT_FALSE(g_Window.viewPorts[0].inUse);
}

TEST_F(RoomViewsTest, WindowFitsTheVisiblePortsAtLeastEightSquare) {
    int32_t w, h;
    SetPort(0, 0, 0, 4, 4);
    Room_ComputeWindowFit(*m_room, &w, &h);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 8);
    SetPort(3, 100, 50, 400, 300);
    Room_ComputeWindowFit(*m_room, &w, &h);
    EXPECT_EQ(w, 500);
    EXPECT_EQ(h, 350);
    m_room->viewsEnabled = false;
    m_room->width = 1024, m_room->height = 768;
    Room_ComputeWindowFit(*m_room, &w, &h);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
}

TEST_F(RoomViewsTest, LegacyViewFollowsItsObjectWithinTheRoom) {
    static CInstance* target = nullptr;
    CInstance instance(700.5f, 100.0f, 100001, -1, false);
    target = &instance;
    g_CameraWorld.findTarget = [](int32_t id) { return id == 100001 ? target : nullptr; };
    g_CameraWorld.updateBox = [](CInstance*) {};
    m_room->width = 800;
    m_room->height = 600;
    SetPort(0, 0, 0, 320, 240);
    RoomView& v = m_room->views[0];
    v.viewW = 320, v.viewH = 240;
    v.hborder = v.vborder = 32;
    v.object = 100001;
    Views_FollowTargets();
    EXPECT_FLOAT_EQ(v.viewX, 412);  // 700 + 32 - 320
    EXPECT_FLOAT_EQ(v.viewY, 0);
    instance.x = 790;
    Views_FollowTargets();
    EXPECT_FLOAT_EQ(v.viewX, 480) << "clamped at the room's right edge";
}

TEST_F(RoomViewsTest, ViewBuiltinsRoundHalvesToEvenAndMapBadIndicesToViewZero) {
    roomtest::Call("view_set_visible", roomtest::Reals({3, 0.5}));
    EXPECT_FALSE(m_room->views[3].visible);
    roomtest::Call("view_set_visible", roomtest::Reals({3, 1.5}));
    EXPECT_TRUE(m_room->views[3].visible);
    roomtest::Call("view_set_xport", roomtest::Reals({0, 2.5}));
    EXPECT_EQ(m_room->views[0].portX, 2);
    EXPECT_EQ(roomtest::CallReal("view_get_xport", roomtest::Reals({9})), 2);
    roomtest::Call("view_set_camera", roomtest::Reals({-1, 7}));
    EXPECT_EQ(m_room->views[0].cameraId, 7);
    EXPECT_EQ(roomtest::CallReal("view_get_camera", roomtest::Reals({0})), 7);
}

TEST(LetterboxTest, SurfaceLandsCentredWithBars) {
    struct Case {
        float sw, sh, w, h;
        bool keep;
        float expected[4];
    };
    const Case cases[] = {
        {400, 300, 1000, 600, true, {100, 0, 800, 600}}, {400, 300, 800, 1000, true, {0, 200, 800, 600}},
        {400, 300, 800, 600, true, {0, 0, 800, 600}},    {400, 300, 1000, 600, false, {0, 0, 1000, 600}},
        {0, 300, 1000, 600, true, {0, 0, 1000, 600}},  // a surface of no size is not divided by
    };
    for (const Case& c : cases) {
        float out[4];
        Draw_LetterboxRect(c.sw, c.sh, 0, 0, c.w, c.h, c.keep, out);
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(out[i], c.expected[i]) << c.sw << "x" << c.sh << " " << i;
    }
}

}  // namespace
