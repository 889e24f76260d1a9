// The frame's passes in order: pre-draw, each visible view's begin, content and end, post-draw,
// then the three GUI events; the unbalanced surface stack; the clear of the display buffer.
#include "core/RuntimeError.h"
#include "core/Script_Main.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Surface.h"
#include "graphics/Graphics_Texture.h"
#include "platform/TraceDevice.h"
#include "room/Layer_Manager.h"
#include "room/Room_Draw.h"
#include "runner/GameLoopTestSupport.h"

using namespace gameloop_test;

namespace {

constexpr int32_t kDraw = 8;

class RoomFrameTest : public GameLoopTest {
protected:
    void TearDown() override {
        g_FrameDraw = FrameDrawState{};
        GameLoopTest::TearDown();
    }

    // Object 0 ("front", depth 0) has every draw event; object 1 ("back", depth 10) only the
    // plain draw. The room has the given views.
    void LoadTwoObjects(std::vector<formpack::RoomView> views) {
        const int32_t subtypes[] = {76, 72, 0, 73, 77, 74, 64, 75};
        std::vector<std::array<int32_t, 3>> handlers;
        for (int32_t i = 0; i < 8; ++i) {
            handlers.push_back({kDraw, subtypes[i], i});
            Label(i, "front " + std::to_string(subtypes[i]));
        }
        formpack::Object front = MakeObject("front", handlers);
        formpack::Object back = MakeObject("back", {{kDraw, 0, 8}});
        back.depth = 10;
        Label(8, "back 0");
        formpack::Room room = MakeRoom("room0", {At(0, 100001), At(1, 100002)});
        room.viewsEnabled = !views.empty();
        room.views = std::move(views);
        ASSERT_TRUE(Load(MakeGame({front, back}, {room}, {0})));
        Start();
        Log().clear();
    }

    static formpack::RoomView View(bool visible, int32_t portX) {
        formpack::RoomView v;
        v.visible = visible;
        v.viewW = 320, v.viewH = 240;
        v.portX = portX, v.portW = 320, v.portH = 240;
        return v;
    }
};

TEST_F(RoomFrameTest, PassesRunInTheirOrderOncePerVisibleView) {
    LoadTwoObjects({View(true, 0), View(false, 320), View(true, 320)});
    Draw_Frame();
    const std::vector<std::string> perView = {"front 72", "back 0", "front 0", "front 73"};
    std::vector<std::string> expected = {"front 76"};
    for (int view = 0; view < 2; ++view) expected.insert(expected.end(), perView.begin(), perView.end());
    for (const char* label : {"front 77", "front 74", "front 64", "front 75"}) expected.push_back(label);
    EXPECT_EQ(Log(), expected);
    EXPECT_EQ(g_RunState.viewCurrent, 0) << "0 outside the view loop";
}

TEST_F(RoomFrameTest, ViewsOnButNoneVisibleDrawsNoRoomButRunsTheOtherPasses) {
    LoadTwoObjects({View(false, 0)});
    Draw_Frame();
    EXPECT_EQ(Log(), (std::vector<std::string>{"front 76", "front 77", "front 74", "front 64", "front 75"}));
}

TEST_F(RoomFrameTest, ViewsOffDrawTheWholeRoomOnce) {
    LoadTwoObjects({});
    Draw_Frame();
    EXPECT_EQ(Log(), (std::vector<std::string>{"front 76", "front 72", "back 0", "front 0", "front 73",
                                               "front 77", "front 74", "front 64", "front 75"}));
}

TEST_F(RoomFrameTest, HiddenAndDestroyedInstancesAreNotDrawn) {
    LoadTwoObjects({});
    FirstOf(1)->visible = 0;
    FirstOf(0)->destroyed = 1;
    Draw_Frame();
    EXPECT_TRUE(Log().empty());
}

// With more instances than objects a pass asks the objects first: a handler found only on a
// parent still runs for each instance, and a pass no object handles runs nothing.
TEST_F(RoomFrameTest, ManyInstancesStillRunTheHandlersTheirParentsHave) {
    formpack::Object parent = MakeObject("parent", {{kDraw, 64, 0}});
    formpack::Object child = MakeObject("child");
    child.parent = 0;
    Label(0, "gui");
    formpack::Room room =
        MakeRoom("room0", {At(1, 100001), At(2, 100002), At(2, 100003), At(2, 100004), At(1, 100005)});
    ASSERT_TRUE(Load(MakeGame({parent, child, MakeObject("plain")}, {room}, {0})));
    Start();
    Log().clear();
    Draw_Frame();
    EXPECT_EQ(Log(), (std::vector<std::string>{"gui", "gui"}));
}

TEST_F(RoomFrameTest, TheCurrentViewIsTheOneBeingDrawn) {
    LoadTwoObjects({View(false, 0), View(true, 0), View(false, 0), View(true, 320)});
    std::vector<int32_t> seen;
    Handlers().actions[8] = [&](CInstance*, CInstance*) { seen.push_back(g_RunState.viewCurrent); };
    Draw_Frame();
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 3}));
}

TEST_F(RoomFrameTest, AnUnbalancedSurfaceStackEndsTheFrameAndIsEmptiedForTheNext) {
    LoadTwoObjects({});
    g_GRHooks.createDevice = [](void*, GpuPresentParameters* params, uint32_t, Device** device) -> HRESULT {
        *device = new TraceDevice(*params);
        return D3D_OK;
    };
    GR_Texture_Startup();
    ASSERT_TRUE(GR_D3D_Init(nullptr, 64, 48, 0));
    ASSERT_TRUE(Start_Frame());
    const int32_t surface = GR_Surface_Create(8, 8, -1);
    Handlers().actions[4] = [surface](CInstance*, CInstance*) { GR_Surface_Set_Target(0, surface); };
    static std::vector<std::string> shown;
    shown.clear();
    Runtime_SetReportHooks(nullptr, [](const char* text, bool) { shown.push_back(text); });
    Draw_Frame();
    EXPECT_EQ(shown, std::vector<std::string>{
                         "Unbalanced surface stack. You MUST use surface_reset_target() for each set."});
    EXPECT_EQ(GR_Surface_Stack_Depth(), 0) << "the next frame starts from the back buffer";
    EXPECT_EQ(Log().back(), "front 77") << "no GUI pass after the error";
    Handlers().actions[4] = nullptr;
    Log().clear();
    shown.clear();
    Draw_Frame();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(Log().back(), "front 75");
    Runtime_SetReportHooks(nullptr, nullptr);
    End_Frame(false);
    GR_Surface_Reset_State();
    g_RunState.applicationSurface = GR_NO_APPLICATION_SURFACE;
    GR_Texture_Free_All();
    GR_D3D_Shutdown();
    GR_Hooks_Reset();
    g_D3D = GRDeviceState{};
}

// The layers' script: logs the layer and the pass it runs for.
RValue* LayerScript(CInstance*, CInstance*, RValue* result, int32_t, RValue**) {
    Handlers().log.push_back("script " + std::to_string(g_CurrentEvent.object) + " " +
                             std::to_string(g_CurrentEvent.number));
    return result;
}

// Layer mode: two instance layers seen through two views. Every draw-event pass runs each
// visible layer's scripts, deepest layer first, with the pass's subtype.
class LayerFrameTest : public RoomFrameTest {
protected:
    void SetUp() override {
        RoomFrameTest::SetUp();
        m_saved = CodeTable()[9];
        Layer_InstallHooks();
        Room_InstallDrawHooks();
    }

    void LoadLayerGame(std::vector<int32_t> frontIds = {100001}) {
        const int32_t subtypes[] = {76, 72, 0, 73, 77, 74, 64, 75};
        std::vector<std::array<int32_t, 3>> handlers;
        for (int32_t i = 0; i < 8; ++i) {
            handlers.push_back({kDraw, subtypes[i], i});
            Label(i, "front " + std::to_string(subtypes[i]));
        }
        Label(8, "back 0");
        CodeTable()[9] = CompiledCodeEntry{"layer script", reinterpret_cast<void*>(&LayerScript)};
        std::vector<formpack::RoomInstance> instances = {At(0, 100001), At(1, 100002)};
        if (frontIds.size() > 1) instances.push_back(At(1, frontIds[1]));
        formpack::Room room = MakeRoom("room0", instances);
        room.version = 2;
        room.viewsEnabled = true;
        room.views = {View(true, 0), View(true, 320)};
        formpack::RoomLayer front, back;
        front.name = "front", front.id = 1, front.type = 2, front.depth = 0, front.instances = frontIds;
        back.name = "back", back.id = 2, back.type = 2, back.depth = 100, back.instances = {100002};
        room.layers = {front, back};
        formpack::FormFile file =
            MakeGame({MakeObject("front", handlers), MakeObject("back", {{kDraw, 0, 8}})}, {room}, {0});
        file.header.major = 2;
        file.scripts = std::vector<formpack::Script>{{"scr_layer", 9}};
        ASSERT_TRUE(Load(file));
        ASSERT_TRUE(Script_Prepare());
        Start();
        for (CLayer* layer = Room_FirstLayer(Run_Room()); layer; layer = layer->next) layer->beginScript = 0;
        Log().clear();
    }
    void TearDown() override {
        CodeTable()[9] = m_saved;
        RoomFrameTest::TearDown();
    }

private:
    CompiledCodeEntry m_saved{};
};

TEST_F(LayerFrameTest, EachPassRunsTheLayerScriptsDeepestFirst) {
    LoadLayerGame();
    ASSERT_EQ(Room_LayerCount(Run_Room()), 2);
    Draw_Frame();
    auto pass = [](int32_t subtype, bool frontHandles) {
        std::vector<std::string> p = {"script 2 " + std::to_string(subtype),
                                      "script 1 " + std::to_string(subtype)};
        if (frontHandles) p.push_back("front " + std::to_string(subtype));
        return p;
    };
    std::vector<std::string> expected = pass(76, true);
    for (int view = 0; view < 2; ++view) {
        for (const std::string& s : pass(72, true)) expected.push_back(s);
        for (const char* s : {"script 2 0", "back 0", "script 1 0", "front 0"}) expected.push_back(s);
        for (const std::string& s : pass(73, true)) expected.push_back(s);
    }
    for (int32_t subtype : {77, 74, 64, 75})
        for (const std::string& s : pass(subtype, true)) expected.push_back(s);
    EXPECT_EQ(Log(), expected);
    const auto begins = std::count_if(Log().begin(), Log().end(),
                                      [](const std::string& s) { return s.rfind("script 1 ", 0) == 0; });
    EXPECT_EQ(begins, 5 + 3 * 2) << "five passes, and three for each visible view";
}

TEST_F(LayerFrameTest, ADrawEventThatTakesTheNextElementOffItsLayerEndsTheWalkSafely) {
    LoadLayerGame({100001, 100003});
    Handlers().actions[2] = [](CInstance*, CInstance*) {
        if (CInstance* next = Instance_Find(100003)) Layer_RemoveInstance(Run_Room(), next);
    };
    Draw_Frame();
    EXPECT_EQ(std::count(Log().begin(), Log().end(), "back 0"), 2)
        << "only the back layer's instance, per view";
    EXPECT_EQ(std::count(Log().begin(), Log().end(), "front 0"), 2);
}

}  // namespace
