// The pads over SDL's own virtual devices: a controller plugged in after start is found through
// the device-change message the event pump makes of SDL's device event, its scripted sticks,
// trigger and buttons read back through the built-ins, and pulling it out loses it once.
#include <SDL.h>

#include "GamepadTestSupport.h"
#include "graphics/Graphics_Window.h"
#include "platform/EventPump.h"

using namespace gamepad_test;

namespace {

class SdlGamepads : public GamepadTest {
protected:
    void SetUp() override {
        GamepadTest::SetUp();
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
        Gamepad_InstallHooks(PlatformGamepad_Sdl());
        Gamepad_InitXInput();
        ASSERT_GE(Gamepad_InitDirectInput(), 0);
        PlatformEvents_SetDispatcher([](const WindowMessage& m) { Window_Proc(m); });
        Deliver();
    }
    void TearDown() override {
        PlatformEvents_SetDispatcher(nullptr);
        GamepadTest::TearDown();
        if (m_device >= 0) SDL_JoystickDetachVirtual(m_device);
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }

    // Pumps the queue as the frame does, then polls as the step does.
    static void Frame() {
        PlatformEvents_Pump();
        Gamepad_Poll();
    }

    int m_device = -1;
};

TEST_F(SdlGamepads, VirtualControllerIsFoundReadAndLost) {
    EXPECT_EQ(Real("gamepad_is_supported", {}), 1);
    m_device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                         SDL_CONTROLLER_BUTTON_MAX, 0);
    ASSERT_GE(m_device, 0) << SDL_GetError();
    SDL_Joystick* stick = SDL_JoystickOpen(m_device);
    ASSERT_NE(stick, nullptr);

    Frame();
    auto events = Deliver();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].subtype, 75);
    EXPECT_EQ(events[0].type, "gamepad discovered");
    EXPECT_EQ(events[0].index, 0);

    SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_LEFTX, 19661);   // 0.6
    SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_LEFTY, -32768);  // pushed up
    SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
    SDL_JoystickSetVirtualButton(stick, SDL_CONTROLLER_BUTTON_A, 1);
    SDL_JoystickSetVirtualButton(stick, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 1);
    Frame();
    Call("gamepad_set_axis_deadzone", {0, 0.2});
    EXPECT_NEAR(Real("gamepad_axis_value", {0, 32785}), 0.5, 1e-4);
    EXPECT_NEAR(Real("gamepad_axis_value", {0, 32786}), -1.0, 1e-4);
    EXPECT_FLOAT_EQ(Real("gamepad_button_value", {0, 32775}), 255.0 / 256.0);
    EXPECT_EQ(Real("gamepad_button_check_pressed", {0, 32769}), 1);
    EXPECT_EQ(Real("gamepad_button_check", {0, 32784}), 1);
    EXPECT_EQ(Real("gamepad_button_check", {0, 32783}), 0);

    SDL_JoystickClose(stick);
    ASSERT_EQ(SDL_JoystickDetachVirtual(m_device), 0);
    m_device = -1;
    Frame();
    Frame();
    events = Deliver();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, "gamepad lost");
    EXPECT_EQ(events[0].index, 0);
    EXPECT_EQ(Real("gamepad_axis_value", {0, 32785}), 0);
}

}  // namespace

namespace {

TEST_F(SdlGamepads, VirtualJoystickTakesAGenericPad) {
    m_device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 4, 1);
    ASSERT_GE(m_device, 0) << SDL_GetError();
    ASSERT_FALSE(SDL_IsGameController(m_device));
    SDL_Joystick* stick = SDL_JoystickOpen(m_device);
    ASSERT_NE(stick, nullptr);
    Frame();
    auto events = Deliver();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, "gamepad discovered");
    EXPECT_EQ(events[0].index, 4);

    SDL_JoystickSetVirtualAxis(stick, 1, 16384);
    SDL_JoystickSetVirtualButton(stick, 0, 1);
    SDL_JoystickSetVirtualHat(stick, 0, SDL_HAT_RIGHT);
    Frame();
    EXPECT_NEAR(Real("gamepad_axis_value", {4, 32786}), 0.5, 1e-3);
    EXPECT_EQ(Real("gamepad_button_check", {4, 32769}), 1);
    EXPECT_EQ(Real("gamepad_button_check", {4, 32784}), 1);
    EXPECT_EQ(Real("gamepad_button_check", {4, 32783}), 0);

    SDL_JoystickClose(stick);
    ASSERT_EQ(SDL_JoystickDetachVirtual(m_device), 0);
    m_device = -1;
    Frame();
    Frame();
    events = Deliver();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, "gamepad lost");
    EXPECT_EQ(events[0].index, 4);
}

}  // namespace
