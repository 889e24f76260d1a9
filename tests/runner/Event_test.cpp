// The input, other and asynchronous stages, and collision handlers found through parents, on
// input and sprites supplied through the stage hooks.
#include <set>

#include "GameLoopTestSupport.h"

using namespace gameloop_test;

namespace {

struct FakeInput {
    std::set<int32_t> held, pressed, released;
    std::set<int32_t> buttonsHeld, buttonsPressed, buttonsReleased;
    int32_t wheel = 0;
    int32_t mouseX = 0, mouseY = 0;
};
FakeInput g_input;

class Stages : public GameLoopTest {
protected:
    void SetUp() override {
        GameLoopTest::SetUp();
        g_input = FakeInput();
    }
    static void InstallInput() {
        g_EventInputs.keyState = [](int32_t key, InputEdge edge) {
            const std::set<int32_t>& s = edge == INPUT_HELD      ? g_input.held
                                         : edge == INPUT_PRESSED ? g_input.pressed
                                                                 : g_input.released;
            return s.count(key) > 0;
        };
        g_EventInputs.mouseButtonState = [](int32_t button, InputEdge edge) {
            const std::set<int32_t>& s = edge == INPUT_HELD      ? g_input.buttonsHeld
                                         : edge == INPUT_PRESSED ? g_input.buttonsPressed
                                                                 : g_input.buttonsReleased;
            return s.count(button) > 0;
        };
        g_EventInputs.mouseWheel = [] { return g_input.wheel; };
        g_EventInputs.mouseRoomPosition = [](int32_t* x, int32_t* y) {
            *x = g_input.mouseX;
            *y = g_input.mouseY;
        };
        // An instance is under the mouse within 8 pixels of its position.
        g_EventInputs.collisionPoint = [](CInstance* i, float x, float y, bool) {
            return std::abs(i->x - x) <= 8.0f && std::abs(i->y - y) <= 8.0f;
        };
    }
    // Runs one pass of every stage on a started one-object game with labelled handlers.
    void StartWith(std::vector<std::pair<std::array<int32_t, 2>, std::string>> events,
                   std::vector<formpack::RoomInstance> instances = {At(0, 100001)}) {
        std::vector<std::array<int32_t, 3>> handlers;
        for (size_t k = 0; k < events.size(); ++k) {
            handlers.push_back({events[k].first[0], events[k].first[1], static_cast<int32_t>(k + 1)});
            Label(static_cast<int>(k + 1), events[k].second);
        }
        ASSERT_TRUE(Load(MakeGame({MakeObject("A", handlers)}, {MakeRoom("r0", instances)}, {0})));
        InstallInput();
        Start();
    }
};

TEST_F(Stages, KeyboardPassesForKeysAndForAnyOrNoKey) {
    StartWith({{{EVENT_KEYBOARD, 0}, "no key"},
               {{EVENT_KEYBOARD, 1}, "any key"},
               {{EVENT_KEYBOARD, 65}, "A held"},
               {{EVENT_KEYPRESS, 200}, "200 pressed"},
               {{EVENT_KEYPRESS, 1}, "any pressed"},
               {{EVENT_KEYPRESS, 0}, "none pressed"},
               {{EVENT_KEYRELEASE, 66}, "B released"}});
    HandleKeyboard();
    EXPECT_EQ(Log(), (std::vector<std::string>{"no key", "none pressed"}));
    Log().clear();
    g_input.held = {65, 90};
    g_input.pressed = {200};
    g_input.released = {66};
    HandleKeyboard();
    EXPECT_EQ(Log(),
              (std::vector<std::string>{"A held", "B released", "200 pressed", "any key", "any pressed"}));
}

TEST_F(Stages, MouseButtonsWheelAndGlobalEvents) {
    StartWith({{{EVENT_MOUSE, 0}, "left"},
               {{EVENT_MOUSE, 3}, "no button"},
               {{EVENT_MOUSE, 4}, "left pressed"},
               {{EVENT_MOUSE, 12}, "any pressed"},
               {{EVENT_MOUSE, 50}, "global left"},
               {{EVENT_MOUSE, 13}, "any released"},
               {{EVENT_MOUSE, 61}, "wheel down"}},
              {At(0, 100001, 100, 100)});
    g_input.mouseX = 500;
    HandleMouse();
    EXPECT_TRUE(Log().empty());  // no button, but not under the mouse
    g_input.mouseX = 104;
    g_input.mouseY = 98;
    HandleMouse();
    EXPECT_EQ(Log(), std::vector<std::string>{"no button"});
    Log().clear();
    g_input.buttonsPressed = {1, 2};
    g_input.wheel = -1;
    HandleMouse();
    EXPECT_EQ(Log(), (std::vector<std::string>{"left", "global left", "left pressed", "any pressed",
                                               "any pressed", "wheel down"}));
    Log().clear();
    g_EventInputs.windowVisible = [] { return false; };
    HandleMouse();
    EXPECT_TRUE(Log().empty());
}

TEST_F(Stages, MouseEnterAndLeave) {
    StartWith({{{EVENT_MOUSE, 10}, "enter"}, {{EVENT_MOUSE, 11}, "leave"}}, {At(0, 100001, 100, 100)});
    g_input.mouseX = 300;
    g_input.mouseY = 100;
    HandleMouse();
    EXPECT_TRUE(Log().empty());
    g_input.mouseX = 100;
    HandleMouse();
    HandleMouse();
    g_input.mouseX = 300;
    HandleMouse();
    EXPECT_EQ(Log(), (std::vector<std::string>{"enter", "leave"}));
}

TEST_F(Stages, OutsideRoomFiresOncePerExitAndTheEdgeIsInside) {
    StartWith({{{EVENT_OTHER, OTHER_OUTSIDE_ROOM}, "outside"},
               {{EVENT_OTHER, OTHER_INTERSECT_BOUNDARY}, "boundary"}},
              {At(0, 100001, 640, 100)});
    CInstance* a = FirstOf(0);
    HandleOther();
    EXPECT_TRUE(Log().empty());
    a->x = 640.5f;
    HandleOther();
    HandleOther();
    a->x = 320.0f;
    HandleOther();
    a->x = -1.0f;
    HandleOther();
    EXPECT_EQ(Log(), (std::vector<std::string>{"outside", "boundary", "boundary", "outside", "boundary"}));
}

TEST_F(Stages, OutsideAndBoundaryOfViews) {
    formpack::Room room = MakeRoom("r0", {At(0, 100001, 50, 50)});
    room.viewsEnabled = true;
    formpack::RoomView v;
    v.visible = true;
    v.viewX = 100;
    v.viewY = 0;
    v.viewW = 200;
    v.viewH = 200;
    room.views = {formpack::RoomView(), v};  // view 0 invisible, view 1 from x 100 to 300
    ASSERT_TRUE(Load(MakeGame({MakeObject("A", {{EVENT_OTHER, OTHER_OUTSIDE_VIEW0, 1},
                                                {EVENT_OTHER, OTHER_OUTSIDE_VIEW0 + 1, 2},
                                                {EVENT_OTHER, OTHER_BOUNDARY_VIEW0 + 1, 3}})},
                              {room}, {0})));
    Label(1, "outside view 0");
    Label(2, "outside view 1");
    Label(3, "boundary view 1");
    Start();
    HandleOther();
    HandleOther();
    FirstOf(0)->x = 100.0f;
    HandleOther();
    EXPECT_EQ(Log(), (std::vector<std::string>{"outside view 1", "boundary view 1", "outside view 1",
                                               "boundary view 1"}));
}

TEST_F(Stages, AsynchronousSubtypes) {
    StartWith({{{EVENT_OTHER, 62}, "http"}, {{EVENT_OTHER, 66}, "iap"}, {{EVENT_OTHER, 59}, "59"}});
    NewRoomCode = 3;  // the asynchronous pass does not apply the pending-room rule
    Async_PerformEvent(62);
    Async_PerformEvent(66);
    Async_PerformEvent(59);
    NewRoomCode = ROOM_NO_CHANGE;
    EXPECT_EQ(Log(), std::vector<std::string>{"http"});
}

// A meets B; B's parent is P. A's handler for P runs until A also has one for B.
TEST_F(Stages, CollisionHandlersThroughTheOtherObjectsParent) {
    for (bool forB : {false, true}) {
        ResetWorld();
        Log().clear();
        std::vector<std::array<int32_t, 3>> handlers = {{EVENT_COLLISION, 1, 1}};
        if (forB) handlers.push_back({EVENT_COLLISION, 2, 2});
        ASSERT_TRUE(Load(MakeGame({MakeObject("A", handlers), MakeObject("P"), MakeObject("B", {}, 1)},
                                  {MakeRoom("r0", {At(0, 100001), At(2, 100002)})}, {0})));
        Label(1, "A:coll P");
        Label(2, "A:coll B");
        Start();
        CInstance* a = Instance_Find(100001);
        CInstance* b = Instance_Find(100002);
        PerformEvent_Instance(a, b, EVENT_COLLISION, b->object_index);
        EXPECT_EQ(Log(), std::vector<std::string>{forB ? "A:coll B" : "A:coll P"});
        Object_BuildEventLists();
        ASSERT_EQ(CollisionObjectPairs_Count(), 2) << forB;  // A with P, and A with B
    }
}

TEST_F(Stages, JoystickPassesFollowTheStickAndButtons) {
    StartWith({{{EVENT_MOUSE, 16}, "left"}, {{EVENT_MOUSE, 24}, "button 4"}, {{EVENT_MOUSE, 34}, "2 down"}});
    g_EventInputs.joystickProbe = [](int32_t id) { return id == 0; };
    g_EventInputs.joystickRead = [](int32_t, JoystickReading* r) {
        *r = JoystickReading{100, 32767, 1u << 3};
        return true;
    };
    HandleJoystick();
    EXPECT_EQ(Log(), (std::vector<std::string>{"left", "button 4"}));
}

}  // namespace
