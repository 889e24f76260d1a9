// The input state: the back end's fold into each step, the record file, playback, and keys
// arriving through the window's SDL translation.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <fstream>
#include <string>
#include <vector>

#include "core/Code_Function.h"
#include "core/RunSwitches.h"
#include "core/Value.h"
#include "graphics/Graphics_Window.h"
#include "io/IBuffer.h"
#include "platform/EventPump.h"
#include "world/Function_IO.h"
#include "world/Event_Inputs.h"
#include "world/IO_Main.h"

namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_Switches.recording = g_Switches.playback = false;
        g_Switches.recordFile.clear();
        IO_InstallHooks();
        IO_Init();
        const char* base = std::getenv("HV_TEST_TMP");
        m_dir = std::filesystem::path(base ? base : "/tmp") / ("input_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override {
        IO_End();
        g_Switches.recording = g_Switches.playback = false;
        g_Switches.recordFile.clear();
        Window_Hooks_Reset();
        std::filesystem::remove_all(m_dir);
    }
    static bool Key(int32_t key, InputEdge edge) { return g_EventInputs.keyState(key, edge); }
    std::filesystem::path m_dir;
};

TEST_F(InputTest, PressAndReleaseBetweenStepsShowPressedAndReleasedButNotDown) {
    IO_OnKeyDown('A', false);
    IO_OnKeyUp('A');
    IO_StartStep();
    EXPECT_TRUE(IO_KeyPressed('A'));
    EXPECT_TRUE(IO_KeyReleased('A'));
    EXPECT_FALSE(IO_KeyDown('A'));
    IO_StartStep();
    EXPECT_FALSE(IO_KeyPressed('A'));
    EXPECT_FALSE(IO_KeyReleased('A'));
}

TEST_F(InputTest, AutoRepeatDoesNotPressAgainAndReleaseRestoresTheHeldKey) {
    IO_OnKeyDown('A', false);
    IO_StartStep();
    EXPECT_TRUE(IO_KeyPressed('A'));
    IO_OnKeyDown('A', true);
    IO_StartStep();
    EXPECT_FALSE(IO_KeyPressed('A'));
    EXPECT_TRUE(IO_KeyDown('A'));
    EXPECT_EQ(IO_GetCurrentKey(), 'A');
    IO_OnKeyDown('B', false);
    IO_OnKeyUp('B');
    IO_StartStep();
    EXPECT_EQ(IO_GetCurrentKey(), 'A');
    EXPECT_EQ(IO_GetLastKey(), 'B');
    IO_OnKeyUp('A');
    IO_StartStep();
    EXPECT_EQ(IO_GetCurrentKey(), 0);
}

TEST_F(InputTest, KeyMapTranslatesAndRefusesOutOfRangeCodes) {
    IO_SetKeyMap('A', 'B');
    IO_OnKeyDown('A', false);
    IO_StartStep();
    EXPECT_TRUE(IO_KeyDown('B'));
    EXPECT_FALSE(IO_KeyDown('A'));
    EXPECT_EQ(IO_GetKeyMap(300), 300);
    EXPECT_EQ(IO_GetKeyMap(-5), -5);
    IO_OnKeyDown(-1, false);
    IO_OnKeyDown(999, false);
    EXPECT_FALSE(IO_KeyDown(-1));
    EXPECT_FALSE(IO_MouseButtonDown(1, -1));
    EXPECT_FALSE(IO_WheelUp(-3));
}

TEST_F(InputTest, KeyboardStringKeepsAtMost1023AndBackspaceOnEmptyDoesNothing) {
    IO_OnChar(8);
    IO_StartStep();
    EXPECT_STREQ(IO_GetKeyboardString(), "");
    for (int i = 0; i < 1023; ++i) IO_OnChar('a' + i % 26);
    IO_StartStep();
    EXPECT_EQ(std::string(IO_GetKeyboardString()).size(), 1023u);
    IO_OnChar('Z');
    IO_StartStep();
    const char expected[] = {static_cast<char>('a' + 1022 % 26), 'Z', 0};
    EXPECT_STREQ(IO_GetKeyboardString(), expected);
    IO_OnChar(8);
    IO_OnChar(13);
    IO_StartStep();
    EXPECT_EQ(std::string(IO_GetKeyboardString()).size(), 1u);
    EXPECT_EQ(IO_GetLastChar(), 13);
    IO_SetKeyboardString("h\xC3\xA9llo");
    EXPECT_STREQ(IO_GetKeyboardString(), "h\xC3\xA9llo");
}

TEST_F(InputTest, MouseButtonsAndWheelFoldIntoTheStep) {
    IO_OnMouseMove(0, 40, 30);
    IO_OnMouseDown(2, 5, 6);
    IO_OnWheel(true);
    IO_StartStep();
    EXPECT_TRUE(IO_MouseButtonPressed(2, 0));
    EXPECT_TRUE(IO_MouseButtonDown(2, 0));
    EXPECT_EQ(g_EventInputs.mouseWheel(), 1);
    EXPECT_EQ(IO_GetMouseButton(0), 2);
    // The mouse events of instances look where the pointer is (no room: client coordinates).
    int32_t x = 0, y = 0;
    g_EventInputs.mouseRoomPosition(&x, &y);
    EXPECT_EQ(x, 40);
    EXPECT_EQ(y, 30);
    IO_OnMouseUp(2, 5, 6);
    IO_StartStep();
    EXPECT_TRUE(IO_MouseButtonReleased(2, 0));
    EXPECT_FALSE(IO_MouseButtonDown(2, 0));
    EXPECT_EQ(g_EventInputs.mouseWheel(), 0);
    EXPECT_EQ(IO_GetLastButton(0), 2);
    IO_SetMouseButton(0, 0);  // outside 1..3: ignored
    IO_SetMouseButton(3, -1);
    EXPECT_EQ(IO_GetMouseButton(0), 0);
}

// The file is written here byte by byte at the record's offsets, not by the module's encoder.
TEST_F(InputTest, PlaybackOfAnIndependentlyWrittenFileReplaysTheKey) {
    constexpr size_t kDown = 2060, kReleased = 2316, kPressed = 2572;
    std::vector<uint8_t> file(3 * 3034, 0);
    file[0 * 3034 + kDown + 65] = 1;
    file[0 * 3034 + kPressed + 65] = 1;
    file[1 * 3034 + kDown + 65] = 1;
    file[2 * 3034 + kReleased + 65] = 1;
    for (int record = 0; record < 3; ++record) file[record * 3034 + 2052] = 65;  // keyboard_lastkey
    const std::string path = (m_dir / "play.rec").string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
    g_Switches.playback = true;
    g_Switches.recordFile = path;
    IO_Init();
    IO_OnKeyDown('Q', false);  // the devices are not read while playing back
    const bool pressed[] = {true, false, false}, held[] = {true, true, false},
               released[] = {false, false, true};
    for (int step = 0; step < 3; ++step) {
        IO_StartStep();
        EXPECT_EQ(Key(65, INPUT_PRESSED), pressed[step]) << step;
        EXPECT_EQ(Key(65, INPUT_HELD), held[step]) << step;
        EXPECT_EQ(Key(65, INPUT_RELEASED), released[step]) << step;
        EXPECT_FALSE(Key('Q', INPUT_HELD));
    }
    EXPECT_EQ(IO_GetLastKey(), 65);
    IO_StartStep();  // past the end: the cleared per-step state and the last record
    EXPECT_FALSE(Key(65, INPUT_RELEASED));
}

TEST_F(InputTest, RecordingWritesOneRecordPerStepThatReadsBackTheSame) {
    const std::string path = (m_dir / "rec.rec").string();
    g_Switches.recording = true;
    g_Switches.recordFile = path;
    IO_Init();
    std::vector<InputState> seen;
    IO_OnChar('x');
    IO_OnKeyDown('X', false);
    IO_OnMouseMove(0, 12, -7);
    for (int step = 0; step < 4; ++step) {
        if (step == 2) IO_OnKeyUp('X');
        if (step == 3) IO_OnMouseDown(1, 3, 4);
        IO_StartStep();
        seen.push_back(IO_StepState());
    }
    IO_End();
    EXPECT_EQ(std::filesystem::file_size(path), 4u * IO_RECORD_SIZE);
    std::ifstream in(path, std::ios::binary);
    for (const InputState& expected : seen) {
        uint8_t record[IO_RECORD_SIZE];
        in.read(reinterpret_cast<char*>(record), IO_RECORD_SIZE);
        InputState read;
        IO_DecodeRecord(record, read);
        uint8_t again[IO_RECORD_SIZE], original[IO_RECORD_SIZE];
        IO_EncodeRecord(read, again);
        IO_EncodeRecord(expected, original);
        EXPECT_EQ(std::memcmp(again, original, IO_RECORD_SIZE), 0);
        EXPECT_EQ(read.mouseY, -7);
    }
    IO_Init();  // playback is off again: a fresh start
}

TEST_F(InputTest, VirtualKeysPressTheirKeyFromAPointer) {
    const int32_t slot = IO_AddVirtualKeySlot();
    ASSERT_EQ(slot, 0);
    VirtualKey* key = IO_VirtualKey(slot);
    *key = VirtualKey{VIRTUAL_KEY_IN_USE, 0, 10, 10, 20, 20, 10, 10, 0, 0, 'K', 0};
    IO_SetPointer(0, 15, 15, true);
    IO_StartStep();
    EXPECT_TRUE(IO_KeyPressed('K'));
    IO_SetPointer(0, 15, 15, true);
    IO_StartStep();
    EXPECT_TRUE(IO_KeyDown('K'));
    EXPECT_FALSE(IO_KeyPressed('K'));
    IO_StartStep();
    EXPECT_TRUE(IO_KeyReleased('K'));
    EXPECT_EQ(IO_VirtualKey(IO_VIRTUAL_KEYS), nullptr);
    EXPECT_EQ(IO_VirtualKey(-1), nullptr);
}

TEST_F(InputTest, VirtualKeysSaveAndLoadBackAndRefuseAForeignBlock) {
    VirtualKey* key = IO_VirtualKey(IO_AddVirtualKeySlot());
    *key = VirtualKey{VIRTUAL_KEY_IN_USE | VIRTUAL_KEY_VISIBLE, 0, 1, 2, 3, 4, 2, 2, 5, 6, 'Z', 0};
    IBuffer buffer(64, eBufferType_Grow, 1);
    IO_SaveVirtualKeys(&buffer);
    IO_ClearVirtualKeys();
    buffer.Seek(0, 0);
    ASSERT_TRUE(IO_LoadVirtualKeys(&buffer));
    EXPECT_EQ(IO_VirtualKey(0)->flags, VIRTUAL_KEY_IN_USE | VIRTUAL_KEY_VISIBLE);
    EXPECT_EQ(IO_VirtualKey(0)->key, 'Z');
    EXPECT_EQ(IO_VirtualKey(0)->v, 6);
    IBuffer foreign(64, eBufferType_Grow, 1);
    RValue mark = RValue_Real(850);
    foreign.Write(eBuffer_S32, &mark);
    foreign.Seek(0, 0);
    EXPECT_FALSE(IO_LoadVirtualKeys(&foreign));
}

TEST_F(InputTest, JoystickDirectionCellsAndTheSaveDialogExtension) {
    EXPECT_EQ(IO_JoystickDirection(32767, 32767), 101);
    EXPECT_EQ(IO_JoystickDirection(0, 0), 103);
    EXPECT_EQ(IO_JoystickDirection(65535, 65535), 99);
    char extension[16];
    EXPECT_STREQ(IO_DefaultExtension("Text|*.txt", extension, sizeof extension), "txt");
    EXPECT_STREQ(IO_DefaultExtension("Text", extension, sizeof extension), "");
}

double CallBuiltin(const char* name, double arg) {
    int32_t id = -1;
    if (!Code_Function_Find(name, &id)) InitIOFunctions();
    EXPECT_TRUE(Code_Function_Find(name, &id)) << name;
    const char* found = nullptr;
    BuiltinProc function = nullptr;
    int32_t argc = 0;
    Code_Function_GetInfo(id, &found, &function, &argc);
    if (function == nullptr) return -1000;
    RValue args[2] = {RValue_Real(arg), RValue_Real(1)};  // joystick_check_button reads two
    RValue result = RValue_Real(-99);
    function(result, nullptr, nullptr, 2, args);
    return result.val;
}

TEST_F(InputTest, MouseCheckButtonNoneAnyAndWaitsThatReturnAtOnceWhenNoPlayerCanAnswer) {
    IO_StartStep();
    EXPECT_EQ(CallBuiltin("mouse_check_button", 0), 1);
    EXPECT_EQ(CallBuiltin("mouse_check_button", -1), 0);
    IO_OnMouseDown(3, 0, 0);
    IO_StartStep();
    EXPECT_EQ(CallBuiltin("mouse_check_button", 0), 0);
    EXPECT_EQ(CallBuiltin("mouse_check_button", -1), 1);
    EXPECT_EQ(CallBuiltin("mouse_check_button", 3), 1);
    EXPECT_EQ(CallBuiltin("mouse_check_button_pressed", 3), 1);
    EXPECT_EQ(CallBuiltin("mouse_check_button", 4), 0);
    g_Switches.headless = true;
    IO_SetLastKey(5);
    CallBuiltin("keyboard_wait", 0);
    EXPECT_EQ(IO_GetLastKey(), 0);
    CallBuiltin("mouse_wait", 0);
    EXPECT_EQ(IO_GetLastButton(0), 0);
    g_Switches.headless = false;
    g_Switches.playback = true;
    CallBuiltin("keyboard_wait", 0);
    g_Switches.playback = false;
    EXPECT_EQ(CallBuiltin("joystick_direction", 1), 101);  // no joystick here
    EXPECT_EQ(CallBuiltin("joystick_pov", 2), -1);
    EXPECT_EQ(CallBuiltin("joystick_check_button", 1), 0);
}

// A key pushed into SDL's queue goes through the window's translation and the window
// procedure into the step, with the virtual-key codes the game sees.
TEST_F(InputTest, SdlKeyEventsReachTheStepWithVirtualKeyCodes) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
    PlatformEvents_SetDispatcher([](const WindowMessage& message) { Window_Proc(message); });
    auto push = [](SDL_Scancode scancode, SDL_Keycode sym, bool down, uint16_t mod) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.scancode = scancode;
        event.key.keysym.sym = sym;
        event.key.keysym.mod = mod;
        SDL_PushEvent(&event);
    };
    push(SDL_SCANCODE_A, SDLK_a, true, 0);
    push(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, true, KMOD_LSHIFT);
    push(SDL_SCANCODE_F1, SDLK_F1, true, KMOD_LSHIFT);
    push(SDL_SCANCODE_KP_0, SDLK_KP_0, true, KMOD_LSHIFT | KMOD_NUM);
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    std::snprintf(text.text.text, sizeof text.text.text, "q");
    SDL_PushEvent(&text);
    push(SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, true, 0);
    PlatformEvents_Pump();
    IO_StartStep();
    EXPECT_TRUE(Key(65, INPUT_HELD));
    EXPECT_TRUE(Key(65, INPUT_PRESSED));
    EXPECT_TRUE(Key(16, INPUT_HELD));
    EXPECT_TRUE(Key(160, INPUT_HELD));
    EXPECT_TRUE(Key(112, INPUT_HELD));
    EXPECT_TRUE(Key(96, INPUT_HELD));
    EXPECT_TRUE(IO_SystemKeyDown(65));
    EXPECT_STREQ(IO_GetKeyboardString(), "");  // "q" then backspace
    EXPECT_EQ(IO_GetLastChar(), 8);
    push(SDL_SCANCODE_A, SDLK_a, false, 0);
    PlatformEvents_Pump();
    IO_StartStep();
    EXPECT_TRUE(Key(65, INPUT_RELEASED));
    EXPECT_FALSE(Key(65, INPUT_HELD));
    PlatformEvents_SetDispatcher(nullptr);
}

}  // namespace
