// The run-time error report: its texts byte for byte, the call-stack lines, the event names,
// and what showing an error does to the game (fatal or not, dialog or log).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Console.h"
#include "core/ErrorDialog.h"
#include "core/RunSwitches.h"
#include "core/StackTrace.h"
#include "core/VMBuffer.h"
#include "platform/ErrorBox.h"
#include "base/Error_Report.h"
#include "world/GameLoopServices.h"
#include "base/GameOptions.h"
#include "app/HalvaneM.h"

namespace {

const std::string kHashes = std::string(92, '#') + "\n";
const std::string kDashes = std::string(92, '-') + "\n";

ErrorEventContext g_event;
bool g_codeRuns = false;
ErrorRunningCode g_code;
std::string g_console;

void CaptureConsole(const char* text) {
    g_console += text;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}
bool StartsWith(const std::string& text, const std::string& head) {
    return text.rfind(head, 0) == 0;
}

const char* ObjectNames(int32_t index) {
    static const char* const names[] = {"obj_wall", "obj_player", "obj_enemy"};
    return index >= 0 && index < 3 ? names[index] : "<undefined>";
}
const char* TimeLineNames(int32_t index) {
    return index == 0 ? "tl_intro" : "<undefined>";
}

class ErrorReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_event = ErrorEventContext();
        g_codeRuns = false;
        g_code = ErrorRunningCode();
        g_console.clear();
        ErrorReportSources sources;
        sources.currentEvent = [](ErrorEventContext* out) { *out = g_event; };
        sources.runningCode = [](ErrorRunningCode* out) {
            *out = g_code;
            return g_codeRuns;
        };
        sources.objectName = ObjectNames;
        sources.timeLineName = TimeLineNames;
        Error_SetSources(&sources);
        Console_SetDebuggerSink(CaptureConsole);
        g_Switches.headless = true;
        g_Switches.noErrors = false;
        g_GameOptions.errorsFatal = false;
        g_GameOptions.errorDialogs = true;
        Error_ClearFatalMark();
        Error_SetOccurred(false);
        NewRoomCode = -1;
        g_RunnerExitStatus = 0;
    }
    void TearDown() override {
        while (*StackTrace_HeadSlot()) StackTrace_Pop(*StackTrace_HeadSlot());
        Error_SetSources(nullptr);
        Console_SetDebuggerSink(nullptr);
        ErrorDialog_SetBox(nullptr);
        Error_FreeForm();
        Error_ClearFatalMark();
        g_Switches.headless = false;
        g_GameOptions.errorsFatal = false;
        NewRoomCode = -1;
        g_RunnerExitStatus = 0;
        ProcessMessages();  // takes the quit a fatal error posted
        g_RunnerRunning = 0;
    }
};

TEST_F(ErrorReportTest, StepEventReportListsTheCallStackNewestFirst) {
    g_event.type = 3;
    g_event.number = 0;
    g_event.object = 1;
    g_event.action = 1;
    StackTraceNode outer, middle, inner;
    StackTrace_Push(&outer, "hvs_Object_obj_player_Step_0", 5);
    StackTrace_Push(&middle, "hvs_Script_scr_move", 12);
    StackTrace_Push(&inner, "hvs_Script_scr_clamp", 3);

    Error_Report("Division by zero", false);

    const std::string expected = kHashes +
                                 "ERROR in\naction number 2\nof  Step Event0\nfor object obj_player:\n\n\n"
                                 "Division by zero\n" +
                                 kHashes + kDashes +
                                 "called from - hvs_Script_scr_clamp (line 3)\n"
                                 "called from - hvs_Script_scr_move (line 12)\n"
                                 "called from - hvs_Object_obj_player_Step_0 (line 5)\n";
    EXPECT_EQ(Error_LastText(), expected);
    EXPECT_EQ(g_console, "ERROR!!! :: " + expected + "\n");
    EXPECT_TRUE(Error_Occurred());
    EXPECT_FALSE(Error_FatalShown());
    EXPECT_EQ(NewRoomCode, -1);
}

TEST_F(ErrorReportTest, NodesWithoutALineAndAnEmptyStack) {
    StackTraceNode node;
    StackTrace_Push(&node, "hvs_Script_scr_nolines", -1);
    Error_Report(nullptr, false);
    const std::string text = Error_LastText();
    EXPECT_NE(text.find(":\n\n\n\n" + kHashes), std::string::npos) << text;  // null message reads as empty
    EXPECT_TRUE(EndsWith(text, kHashes + kDashes + "called from - hvs_Script_scr_nolines\n")) << text;
    StackTrace_Pop(&node);

    Error_Report("x", false);
    EXPECT_TRUE(EndsWith(Error_LastText(), "\nx\n" + kHashes + kDashes)) << Error_LastText();
}

TEST_F(ErrorReportTest, TimeLineAndShaderTexts) {
    g_event.type = 100000;
    g_event.number = 30;
    g_event.object = 0;
    Error_Report("bad moment", true);
    EXPECT_TRUE(StartsWith(Error_LastText(), kHashes +
                                                 "FATAL ERROR in\naction number 1\nat time step30\n"
                                                 "of time line tl_intro:\n\n\nbad moment\n" +
                                                 kHashes))
        << Error_LastText();
    Error_ClearFatalMark();

    g_event = ErrorEventContext();
    g_event.type = -1;
    g_event.shaderName = "sh_glow";
    g_event.fragmentShader = true;
    Error_Report("syntax", false);
    EXPECT_EQ(std::string(Error_LastText()).substr(kHashes.size()),
              "FATAL ERROR in Fragment Shader compilation\n\nShaderName: sh_glow\n\n\nsyntax\n\n" + kHashes +
                  kDashes);
    g_event.fragmentShader = false;
    Error_Report("syntax", false);
    EXPECT_NE(std::string(Error_LastText()).find("FATAL ERROR in Vertex Shader compilation\n"),
              std::string::npos);
}

TEST_F(ErrorReportTest, RunningCodeAddsItsSourceLine) {
    g_event.type = 8;
    g_event.object = 2;
    std::vector<int32_t> pairs = {0, 0, 16, 9};
    VMBuffer table(reinterpret_cast<uint8_t*>(pairs.data()), 16, 0, 0);
    g_codeRuns = true;
    g_code.name = "hvs_Object_obj_enemy_Draw_0_14";
    g_code.debugTable = &table;
    g_code.source = "a = 1;\nb = c / 0;\n";
    g_code.offset = 20;
    Error_Report("oops", false);
    EXPECT_EQ(std::string(Error_LastText()),
              kHashes + "ERROR in\naction number 14\nof Draw Event\nfor object obj_enemy:\n\n\noops\n" +
                  " at hvs_Object_obj_enemy_Draw_0_14 (line 2) - b = c / 0;\n" + kHashes + kDashes);

    g_code.debugTable = nullptr;
    g_code.name = "gml_Script_x";
    Error_Report("oops", false);
    EXPECT_NE(std::string(Error_LastText()).find("action number 1\n"), std::string::npos);
    EXPECT_NE(std::string(Error_LastText()).find("\noops\nat gml_Script_x\n" + kHashes), std::string::npos);
}

TEST_F(ErrorReportTest, EventNames) {
    const struct {
        int32_t type, subtype;
        const char* name;
    } cases[] = {
        {0, 0, "Create Event"},
        {1, 0, "Destroy Event"},
        {2, 11, "Alarm Event for alarm 11"},
        {3, 2, " Step Event2"},
        {4, 2, " Step Eventobj_enemy"},
        {5, 65, "Keyboard Event for A-key Key"},
        {6, 60, "Mouse Event for Mouse Wheel Up"},
        {7, 59, "Other Event: <unknown>"},
        {7, 12, "Other Event: User Defined 2"},
        {7, 62, "Async Event: HTTP"},
        {8, 0, "Draw Event"},
        {9, 32, "Key Press Event for <Space> Key"},
        {10, 112, "Key Release Event for F1 Key"},
        {11, 0, "<Unknown Event>"},
        {-5, 0, "<Unknown Event>"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(EventName(c.type, c.subtype), c.name) << c.type << "/" << c.subtype;
}

TEST_F(ErrorReportTest, KeyMouseOtherAndAsyncNames) {
    const struct {
        const char* (*name)(int32_t);
        int32_t code;
        const char* text;
    } cases[] = {
        {KeyName, 0, "<no key>"},
        {KeyName, 1, "<any key>"},
        {KeyName, 13, "<Enter>"},
        {KeyName, 46, "<Delete>"},
        {KeyName, 48, "0-key"},
        {KeyName, 90, "Z-key"},
        {KeyName, 96, "Keypad-0"},
        {KeyName, 105, "Keypad-9"},
        {KeyName, 106, "Keypad *"},
        {KeyName, 108, "<unknown>"},
        {KeyName, 111, "Keypad /"},
        {KeyName, 123, "F12"},
        {KeyName, 124, "<unknown>"},
        {KeyName, 91, "<unknown>"},
        {KeyName, -1, "<unknown>"},
        {MouseEventName, 3, "No Button"},
        {MouseEventName, 11, "Mouse Leave"},
        {MouseEventName, 12, "<unknown>"},
        {MouseEventName, 16, "Joystick 1 Left"},
        {MouseEventName, 19, "Joystick 1 Down"},
        {MouseEventName, 20, "<unknown>"},
        {MouseEventName, 21, "Joystick 1 Button 1"},
        {MouseEventName, 28, "Joystick 1 Button 8"},
        {MouseEventName, 31, "Joystick 2 Left"},
        {MouseEventName, 35, "<unknown>"},
        {MouseEventName, 43, "Joystick 2 Button 8"},
        {MouseEventName, 50, "Glob Left Button"},
        {MouseEventName, 58, "Glob Middle Released"},
        {MouseEventName, 59, "<unknown>"},
        {MouseEventName, 61, "Mouse Wheel Down"},
        {OtherEventName, 0, "Outside Room"},
        {OtherEventName, 9, "No More Health"},
        {OtherEventName, 10, "User Defined 0"},
        {OtherEventName, 25, "User Defined 15"},
        {OtherEventName, 26, "<unknown>"},
        {OtherEventName, 30, "Close Button"},
        {OtherEventName, 40, "Outside View 0"},
        {OtherEventName, 47, "Outside View 7"},
        {OtherEventName, 50, "Boundary View 0"},
        {OtherEventName, 57, "Boundary View 7"},
        {OtherEventName, 58, "Animation Update"},
        {AsyncEventName, 60, "Image Loaded"},
        {AsyncEventName, 64, "<unknown>"},
        {AsyncEventName, 72, "Save-Load"},
        {AsyncEventName, 75, "System Event"},
        {AsyncEventName, 76, "<unknown>"},
    };
    for (const auto& c : cases) EXPECT_STREQ(c.name(c.code), c.text) << c.code;
}

TEST_F(ErrorReportTest, FatalErrorEndsTheGameAndSilencesLaterErrors) {
    Error_Report("first", true);
    EXPECT_TRUE(Error_FatalShown());
    EXPECT_EQ(NewRoomCode, -400);
    EXPECT_EQ(g_RunnerExitStatus, 1);  // headless: the exit status tells
    const std::string shown = Error_LastText();
    g_console.clear();

    Error_Report("second", true);
    Error_Show("third", false);
    EXPECT_EQ(Error_LastText(), shown);
    EXPECT_EQ(g_console, "");

    Error_ClearFatalMark();  // a return to the launching game
    Error_Show("fourth", false);
    EXPECT_STREQ(Error_LastText(), "fourth");
}

TEST_F(ErrorReportTest, ErrorsAreFatalOptionEscalates) {
    g_GameOptions.errorsFatal = true;
    Error_Show("plain", false);
    EXPECT_TRUE(Error_FatalShown());
    EXPECT_EQ(NewRoomCode, -400);
}

// Answers every showing with the next button and records what it was shown.
class ScriptedBox final : public IErrorBox {
public:
    explicit ScriptedBox(std::vector<ErrorBoxChoice> presses) : m_presses(std::move(presses)) {}
    ErrorBoxChoice Show(const char*, const char* text, bool ignoreAllowed) override {
        shown.push_back(text);
        ignoreOffered.push_back(ignoreAllowed);
        return m_next < m_presses.size() ? m_presses[m_next++] : ErrorBoxChoice::Abort;
    }
    bool CopyToClipboard(const char*) override { return true; }
    const char* LastFailure() override { return "scripted"; }
    std::vector<std::string> shown;
    std::vector<bool> ignoreOffered;

private:
    std::vector<ErrorBoxChoice> m_presses;
    size_t m_next = 0;
};

TEST_F(ErrorReportTest, DialogLetsThePlayerIgnoreOrAbort) {
    g_Switches.headless = false;
    ScriptedBox box({ErrorBoxChoice::Ignore, ErrorBoxChoice::Abort});
    ErrorDialog_SetBox(&box);

    Error_Show("line one\r\n\r\nline\ttwo", false);
    EXPECT_FALSE(Error_FatalShown());
    Error_Show("again", false);
    EXPECT_TRUE(Error_FatalShown());  // aborted
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[0], Error_DialogText("line one\r\n\r\nline\ttwo"));
    EXPECT_EQ(box.ignoreOffered, (std::vector<bool>{true, true}));

    Error_ClearFatalMark();
    Error_Show("fatal", true);
    ASSERT_EQ(box.ignoreOffered.size(), 3u);
    EXPECT_FALSE(box.ignoreOffered[2]);  // no choice to continue

    Error_ClearFatalMark();
    g_Switches.noErrors = true;
    Error_Show("quiet", false);
    EXPECT_EQ(box.shown.size(), 3u);
    EXPECT_STREQ(Error_LastText(), "quiet");
}

TEST_F(ErrorReportTest, DialogTextFramesTheLinesAndNormalisesBreaks) {
    const std::string rule = "\r\n" + std::string(43, '_') + "\r\n";
    const struct {
        const char* text;
        std::string dialog;
    } cases[] = {
        {"", rule},
        {"one", rule + "one"},
        {"a\tb", rule + "a       b"},
        {"a\nb", rule + "a\r\nb"},
        {"a\r\nb", rule + "a\r\nb"},
        {"a\n\nb", rule + "a\r\nb"},          // a pair of breaks is one
        {"a\r\n\r\nb", rule + "a\r\n\r\nb"},  // two pairs leave an empty line
        {"end\n", rule + "end\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(Error_DialogText(c.text), c.dialog) << c.text;
}

}  // namespace
