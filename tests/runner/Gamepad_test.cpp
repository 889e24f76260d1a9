// The pad table over a fake device layer: discovery and loss events, the code tables for both
// slot kinds, the value scaling, dead zones and thresholds, and the pool of generic pads.
#include "GamepadTestSupport.h"

using namespace gamepad_test;

namespace {

constexpr double kFace1 = 32769, kShoulderLB = 32775, kPadU = 32781, kPadD = 32782, kPadL = 32783,
                 kPadR = 32784;
constexpr double kAxisLH = 32785, kAxisLV = 32786, kAxisRV = 32788;

class Gamepads : public GamepadTest {
protected:
    // Plugged controllers and attached joysticks are found as the window is made.
    void Start() { ASSERT_GE(Gamepad_InitDirectInput(), 0); }
};

TEST_F(Gamepads, ControllerIsDiscoveredReadAndLostOnce) {
    Fake().plugged[0] = true;
    Start();
    auto events = Deliver();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].subtype, 75);
    EXPECT_EQ(events[0].type, "gamepad discovered");
    EXPECT_EQ(events[0].index, 0);
    EXPECT_EQ(Real("gamepad_is_connected", {0}), 1);
    EXPECT_EQ(Text("gamepad_get_description", {0}), "Xbox 360 Controller (XInput STANDARD GAMEPAD)");
    EXPECT_EQ(Real("gamepad_button_count", {0}), 16);
    EXPECT_EQ(Real("gamepad_axis_count", {0}), 4);

    PadControllerState& s = Fake().state[0];
    s.buttons = PAD_A | PAD_DPAD_UP;
    s.leftTrigger = 255;
    s.thumbLY = 32767;  // pushed up
    Gamepad_Poll();
    EXPECT_EQ(Real("gamepad_button_check_pressed", {0, kFace1}), 1);
    EXPECT_EQ(Real("gamepad_button_check", {0, kPadU}), 1);
    EXPECT_EQ(Real("gamepad_button_check", {0, kPadD}), 0);
    EXPECT_FLOAT_EQ(Real("gamepad_button_value", {0, kShoulderLB}), 255.0 / 256.0);
    EXPECT_LT(Real("gamepad_axis_value", {0, kAxisLV}), -0.99) << "y up reads negative through gp_axislv";
    EXPECT_GT(Real("gamepad_axis_value", {0, 1}), 0.99) << "the raw axis keeps y up positive";

    Gamepad_Poll();
    EXPECT_EQ(Real("gamepad_button_check_pressed", {0, kFace1}), 0);
    EXPECT_EQ(Real("gamepad_button_check", {0, kFace1}), 1);
    s.buttons = 0;
    Gamepad_Poll();
    EXPECT_EQ(Real("gamepad_button_check_released", {0, kFace1}), 1);

    Fake().plugged[0] = false;
    Gamepad_Poll();
    Gamepad_ScanXInput();  // the device change that follows finds nothing new
    events = Deliver();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, "gamepad lost");
    EXPECT_EQ(events[0].index, 0);
    EXPECT_EQ(Real("gamepad_is_connected", {0}), 0);
    EXPECT_EQ(Real("gamepad_button_value", {0, kShoulderLB}), 0);
    EXPECT_EQ(Real("gamepad_button_count", {0}), 0);
    EXPECT_EQ(Text("gamepad_get_description", {0}), "");
}

TEST_F(Gamepads, TriggerHeldFromHalfWithTheDefaultThreshold) {
    Fake().plugged[1] = true;
    Start();
    for (uint8_t trigger : {127, 128}) {
        Fake().state[1].rightTrigger = trigger;
        Gamepad_Poll();
        EXPECT_EQ(Real("gamepad_button_check", {1, 32776}), trigger >= 128 ? 1 : 0) << int(trigger);
    }
}

TEST_F(Gamepads, DeadZoneScalesWhatIsLeft) {
    Fake().plugged[0] = true;
    Start();
    Call("gamepad_set_axis_deadzone", {0, 0.2});
    struct Case {
        int16_t raw;
        double expected;
    };
    const Case cases[] = {{3277, 0.0}, {19661, 0.5}, {-32768, -1.0}, {-19661, -0.5}};
    for (const Case& c : cases) {
        Fake().state[0].thumbLX = c.raw;
        Gamepad_Poll();
        EXPECT_NEAR(Real("gamepad_axis_value", {0, kAxisLH}), c.expected, 1e-4) << c.raw;
    }
    // The stick read as a button uses the same dead zone but not its scaling.
    Fake().state[0].thumbLX = 3277;
    Gamepad_Poll();
    EXPECT_EQ(Real("gamepad_button_value", {0, 0x1000}), 0);
}

TEST_F(Gamepads, FullDeadZoneLeavesOnlyTheStops) {
    Fake().plugged[0] = true;
    Start();
    Call("gamepad_set_axis_deadzone", {0, 1.0});
    Fake().state[0].thumbRX = -32768;
    Gamepad_Poll();
    EXPECT_EQ(Real("gamepad_axis_value", {0, 32787}), -1.0);
    Fake().state[0].thumbRX = 30000;
    Gamepad_Poll();
    EXPECT_EQ(Real("gamepad_axis_value", {0, 32787}), 0.0);
}

TEST_F(Gamepads, OutOfRangeSettingsAreReportedAndIgnored) {
    Start();
    struct Case {
        const char* set;
        const char* get;
        double value;
        const char* error;
    };
    const Case cases[] = {
        {"gamepad_set_button_threshold", "gamepad_get_button_threshold", 1.5,
         "Button threshold is outside the accepted range"},
        {"gamepad_set_button_threshold", "gamepad_get_button_threshold", -0.1,
         "Button threshold is outside the accepted range"},
        {"gamepad_set_axis_deadzone", "gamepad_get_axis_deadzone", 1.01,
         "Axis dead zone is outside the accepted range"},
    };
    for (const Case& c : cases) {
        Errors().clear();
        const double before = Real(c.get, {2});
        Call(c.set, {2, c.value});
        EXPECT_EQ(Real(c.get, {2}), before) << c.set;
        ASSERT_EQ(Errors().size(), 1u) << c.set;
        EXPECT_EQ(Errors()[0], c.error);
    }
    Call("gamepad_set_button_threshold", {2, 0.25});
    EXPECT_FLOAT_EQ(Real("gamepad_get_button_threshold", {2}), 0.25);
    EXPECT_TRUE(Errors().size() == 1u);
}

TEST_F(Gamepads, PadsOutsideTheTableReadAsNothing) {
    Start();
    for (double pad : {-1.0, 12.0, 1000.0}) {
        EXPECT_EQ(Real("gamepad_is_connected", {pad}), 0);
        EXPECT_EQ(Real("gamepad_button_check", {pad, kFace1}), 0);
        EXPECT_EQ(Real("gamepad_axis_value", {pad, kAxisLH}), 0);
        EXPECT_EQ(Text("gamepad_get_description", {pad}), "");
        Call("gamepad_set_vibration", {pad, 1, 1});
    }
}

TEST_F(Gamepads, JoysticksTakePadsFromThePool) {
    Fake().Attach(7, "Arcade Stick");
    Start();
    EXPECT_EQ(Real("gamepad_get_device_count", {}), 12);
    EXPECT_EQ(Text("gamepad_get_description", {4}), "Arcade Stick");
    Gamepad_Poll();
    auto events = Deliver();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, "gamepad discovered");
    EXPECT_EQ(events[0].index, 4);
    EXPECT_EQ(Real("gamepad_button_count", {4}), 128);
    EXPECT_EQ(Real("gamepad_axis_count", {4}), 40);

    PadJoystickState& s = Fake().sticks[7];
    s.axes[1] = 500;
    s.axes[5] = -250;
    s.buttons[0] = 0x80;
    s.hats[0] = 9000;  // right
    Gamepad_Poll();
    EXPECT_FLOAT_EQ(Real("gamepad_axis_value", {4, kAxisLV}), 0.5) << "the device's own y";
    EXPECT_FLOAT_EQ(Real("gamepad_axis_value", {4, kAxisRV}), -0.25);
    EXPECT_EQ(Real("gamepad_button_check", {4, kFace1}), 1);
    EXPECT_EQ(Real("gamepad_button_check", {4, kPadR}), 1);
    EXPECT_EQ(Real("gamepad_button_check", {4, kPadL}), 0);
    EXPECT_EQ(Real("gamepad_button_check", {4, kPadU}), 0);
    s.hats[0] = 0;  // up
    Gamepad_Poll();
    EXPECT_EQ(Real("gamepad_button_check", {4, kPadU}), 1);
    EXPECT_EQ(Real("gamepad_button_check", {4, kPadR}), 0);
    s.hats[0] = 0xFFFFFFFFu;
    Gamepad_Poll();
    for (double code : {kPadU, kPadD, kPadL, kPadR}) EXPECT_EQ(Real("gamepad_button_check", {4, code}), 0);

    // Pulled out: the poll loses it, the device change returns its pad.
    Fake().Detach(7);
    Gamepad_Poll();
    Gamepad_RescanDirectInput();
    events = Deliver();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, "gamepad lost");
    EXPECT_EQ(events[0].index, 4);
    EXPECT_EQ(Fake().released, std::vector<uint64_t>{7});

    // A new device takes the pad returned most recently.
    Fake().Attach(9, "Wheel");
    Fake().Attach(10, "Pedals");
    Gamepad_RescanDirectInput();
    events = Deliver();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].index, 4);
    EXPECT_EQ(events[1].index, 5);
    EXPECT_EQ(Text("gamepad_get_description", {4}), "Wheel");
    EXPECT_EQ(Text("gamepad_get_description", {5}), "Pedals");
}

TEST_F(Gamepads, TableSizeFollowsTheGenericDevices) {
    g_Switches.noDirectInput = true;
    Start();
    EXPECT_EQ(Real("gamepad_get_device_count", {}), 4);
    Gamepad_Shutdown();

    g_Switches.noDirectInput = false;
    Fake().joysticks = false;
    EXPECT_EQ(Gamepad_InitDirectInput(), -1);
    EXPECT_EQ(Real("gamepad_get_device_count", {}), 0);
    Gamepad_Poll();
    Gamepad_ScanXInput();
}

TEST_F(Gamepads, ControllersNeedTheLayerAndTheOptionBit) {
    Fake().plugged[0] = true;
    g_GameHeader.optionFlags = ~4ull;
    Start();
    EXPECT_EQ(Real("gamepad_is_supported", {}), 1);
    EXPECT_EQ(Real("gamepad_is_connected", {0}), 0);
    Gamepad_Shutdown();

    g_GameHeader.optionFlags = ~0ull;
    Fake().controllers = false;
    Gamepad_InitXInput();
    Start();
    EXPECT_EQ(Real("gamepad_is_supported", {}), 0);
    EXPECT_EQ(Real("gamepad_is_connected", {0}), 0);
    EXPECT_TRUE(Deliver().empty());
}

TEST_F(Gamepads, VibrationIsClampedAndSentWithThePoll) {
    Fake().plugged[2] = true;
    Start();
    Call("gamepad_set_vibration", {2, 0.5, 2.0});
    EXPECT_EQ(Fake().vibration[2][0], 0);
    Gamepad_Poll();
    EXPECT_EQ(Fake().vibration[2][0], 32767);
    EXPECT_EQ(Fake().vibration[2][1], 65535);
}

TEST_F(Gamepads, RestartAnnouncesEveryConnectedPad) {
    Fake().plugged[3] = true;
    Fake().Attach(1, "Stick");
    Start();
    Gamepad_Poll();
    Deliver();
    Gamepad_AnnounceAll();
    const auto events = Deliver();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].index, 3);
    EXPECT_EQ(events[1].index, 4);
    for (const PadEvent& e : events) EXPECT_EQ(e.type, "gamepad discovered");
}

}  // namespace
