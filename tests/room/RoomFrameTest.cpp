// The frame's passes in order: pre-draw, each visible view's begin, content and end, post-draw,
// then the three GUI events; the unbalanced surface stack; the clear of the display buffer.
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
    EXPECT_EQ(Log(), (std::vector<std::string>{"front 76", "front 72", "back 0", "front 0", "front 73", "front 77",
                                               "front 74", "front 64", "front 75"}));
}

TEST_F(RoomFrameTest, HiddenAndDestroyedInstancesAreNotDrawn) {
    LoadTwoObjects({});
    FirstOf(1)->visible = 0;
    FirstOf(0)->destroyed = 1;
    Draw_Frame();
    EXPECT_TRUE(Log().empty());
}

TEST_F(RoomFrameTest, TheCurrentViewIsTheOneBeingDrawn) {
    LoadTwoObjects({View(false, 0), View(true, 0), View(false, 0), View(true, 320)});
    std::vector<int32_t> seen;
    Handlers().actions[8] = [&](CInstance*, CInstance*) { seen.push_back(g_RunState.viewCurrent); };
    Draw_Frame();
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 3}));
}

}  // namespace
