#include <cmath>
#include <string>

#include "ServicesTestSupport.h"
#include "core/Console.h"
#include "graphics/Graphics_Window.h"
#include "services/InputQuery.h"

using namespace servicestest;

namespace {

std::vector<std::string>& LogLines() {
    static std::vector<std::string> lines;
    return lines;
}
void CaptureLine(const char* line) {
    LogLines().emplace_back(line);
}

double Id(const RValue& result) {
    return result.val;
}

}  // namespace

TEST_F(DialogTest, ThreeInputRequestsInOneStepAnswerOnePerFrameInOrder) {
    dialogs.AnswerOk("12abc");
    dialogs.AnswerOk(" -3.5e2x");
    dialogs.AnswerCancel();
    const double first = Id(Call("get_integer_async", {Text("How many?"), RValue_Real(5)}));
    const double second = Id(Call("get_string_async", {Text("Name"), Text("a#b")}));
    const double third = Id(Call("get_integer_async", {Text("More?"), RValue_Real(0)}));
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    // Only the oldest is up; the default went through the "#" rule.
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "How many?");
    EXPECT_EQ(dialogs.shown[0].answer, "5");
    EXPECT_EQ(dialogs.shown[0].caption, Window_Get_Caption());

    const std::map<std::string, std::string> expected[] = {
        {{"id", std::to_string(static_cast<int>(first))},
         {"result", "12abc"},
         {"value", "12"},
         {"status", "1"}},
        {{"id", std::to_string(static_cast<int>(second))},
         {"result", " -3.5e2x"},
         {"value", "-350"},
         {"status", "1"}},
        {{"id", std::to_string(static_cast<int>(third))}, {"result", ""}, {"value", "0"}, {"status", "0"}},
    };
    for (size_t frame = 0; frame < 3; ++frame) {
        Frame();
        ASSERT_EQ(Events().size(), frame + 1) << "frame " << frame;
        EXPECT_EQ(Events()[frame].subtype, 63);
        EXPECT_EQ(Events()[frame].values, expected[frame]);
    }
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[1].answer, "a\rb");
    Frame();
    EXPECT_EQ(Events().size(), 3u);
    EXPECT_EQ(Dialog_PendingCount(), 0);
    EXPECT_EQ(Async_RequestCount(), 0);
}

TEST_F(DialogTest, LoginAnswersSplitByTheUserNameLength) {
    struct Case {
        bool ok;
        const char* user;
        const char* password;
        std::map<std::string, std::string> expected;
    };
    const Case cases[] = {
        {true, "bob", "pw", {{"username", "bob"}, {"password", "pw"}, {"status", "4"}}},
        {true, "", "pw", {{"username", ""}, {"password", "pw"}, {"status", "0"}}},
        {true, "a#b", "x#y", {{"username", "a#b"}, {"password", "x#y"}, {"status", "4"}}},
        {true, "bob", "", {{"username", "bob"}, {"password", ""}, {"status", "4"}}},
        {false, "", "", {{"username", ""}, {"password", ""}, {"status", "0"}}},
    };
    for (const Case& c : cases) {
        Events().clear();
        if (c.ok)
            dialogs.AnswerOk(c.user, c.password);
        else
            dialogs.AnswerCancel();
        const double id = Id(Call("get_login_async", {Text("default user"), Text("default pw")}));
        EXPECT_EQ(dialogs.shown.back().kind, PlatformDialogKind::Login);
        EXPECT_EQ(dialogs.shown.back().answer, "default user");
        EXPECT_EQ(dialogs.shown.back().password, "default pw");
        Frame();
        ASSERT_EQ(Events().size(), 1u) << c.user;
        std::map<std::string, std::string> expected = c.expected;
        expected["id"] = std::to_string(static_cast<int>(id));
        EXPECT_EQ(Events()[0].values, expected) << c.user << "/" << c.password;
    }
}

TEST_F(DialogTest, QuestionAndMessageRequestsAndTheirLogLines) {
    LogLines().clear();
    Console_SetDebuggerSink(CaptureLine);
    dialogs.AnswerOk();
    dialogs.AnswerCancel();
    dialogs.AnswerCancel();  // the message has one button: however it closes, it was read
    Call("show_question_async", {Text("Sure?#Really?")});
    Call("show_question_async", {Text("No?")});
    Call("show_message_async", {Text("Hello")});
    Frame();
    Frame();
    Frame();
    Console_SetDebuggerSink(nullptr);
    ASSERT_EQ(Events().size(), 3u);
    EXPECT_EQ(dialogs.shown[0].text, "Sure?\rReally?");
    EXPECT_EQ(Events()[0].values.at("result"), "1");
    EXPECT_EQ(Events()[0].values.at("value"), "1");
    EXPECT_EQ(Events()[0].values.at("status"), "1");
    EXPECT_EQ(Events()[1].values.at("result"), "");
    EXPECT_EQ(Events()[1].values.at("value"), "0");
    EXPECT_EQ(Events()[1].values.at("status"), "0");
    EXPECT_EQ(Events()[2].values.size(), 2u);
    EXPECT_EQ(Events()[2].values.at("status"), "1");
    const std::vector<std::string> expectedLog = {"Finished dialog - IDOK\n", "Finished dialog - IDCANCEL\n"};
    EXPECT_EQ(LogLines(), expectedLog);
}

TEST_F(DialogTest, ModalDialogsAnswerTheirCallerOnly) {
    dialogs.AnswerOk("hello");
    dialogs.AnswerCancel();
    dialogs.AnswerOk("12abc");
    dialogs.AnswerCancel();
    dialogs.AnswerOk();
    dialogs.AnswerCancel();
    EXPECT_EQ(TakeText(Call("get_string", {Text("Name?"), Text("x#y")})), "hello");
    EXPECT_EQ(dialogs.shown.back().answer, "x\ry");
    EXPECT_EQ(TakeText(Call("get_string", {Text("Name?"), Text("")})), "<none>");
    EXPECT_EQ(Call("get_integer", {Text("Count?"), RValue_Real(1)}).val, 12);
    EXPECT_EQ(Call("get_integer", {Text("Count?"), RValue_Real(1)}).val, -99);  // left as prepared
    EXPECT_EQ(Call("show_question", {Text("Yes?")}).val, 1);
    EXPECT_EQ(Call("show_question", {Text("No?")}).val, 0);
    EXPECT_EQ(Async_RequestCount(), 0);
}

TEST_F(DialogTest, AModalDialogWhileARequestIsUpLeavesTheRequestAlone) {
    dialogs.AnswerOk("modal");
    dialogs.AnswerOk("async");
    Call("get_string_async", {Text("Later"), Text("")});
    EXPECT_EQ(TakeText(Call("get_string", {Text("Now"), Text("")})), "modal");
    EXPECT_EQ(Events().size(), 0u);
    Frame();
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].values.at("result"), "async");
}

TEST_F(DialogTest, WithoutScriptedAnswersEveryDialogIsCancelled) {
    EXPECT_EQ(TakeText(Call("get_string", {Text("?"), Text("d")})), "<none>");
    EXPECT_EQ(Call("show_question", {Text("?")}).val, 0);
    Call("get_integer_async", {Text("?"), Text("")});
    Frame();
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].values.at("status"), "0");
}

TEST_F(DialogTest, LongAnswersAndDefaultsAreCutOnACharacterBoundary) {
    std::string twoByte;
    for (int i = 0; i < 5000; ++i) twoByte += "\xC3\xA9";  // 5000 characters, 10000 bytes
    dialogs.AnswerOk(twoByte);
    Call("get_string_async", {Text("?"), Text(std::string(9000, 'a').c_str())});
    EXPECT_EQ(dialogs.shown.back().answer.size(), 8193u);
    Frame();
    ASSERT_EQ(Events().size(), 1u);
    // The edit hands over 4096 units at most: 4096 two-byte characters.
    EXPECT_EQ(Events()[0].values.at("result"), twoByte.substr(0, 8192));

    // A user name and password too long together: the cut keeps whole characters.
    Events().clear();
    dialogs.AnswerOk(std::string(7999, 'u'), twoByte);
    Call("get_login_async", {Text(""), Text("")});
    Frame();
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].values.at("username"), std::string(7999, 'u'));
    EXPECT_EQ(Events()[0].values.at("password"), twoByte.substr(0, 192));
    EXPECT_EQ(Events()[0].values.at("status"), "8000");
}

TEST(DialogAnswerValue, ReadsTheLeadingDecimalNumberOnly) {
    const std::pair<const char*, double> cases[] = {
        {"12abc", 12},       {"  -3.5e2x", -350},
        {"+7", 7},           {".5", 0.5},
        {"5.", 5},           {"1e", 1},
        {"1e+", 1},          {"2E3", 2000},
        {"0x1A", 0},         {"inf", 0},
        {"nan", 0},          {"-inf", 0},
        {"abc", 0},          {"", 0},
        {"-.e5", 0},         {"\t\n42", 42},
        {"1,5", 1},          {"-0", 0},
        {"1e400", HUGE_VAL},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(Dialog_AnswerValue(text), value) << text;
    EXPECT_EQ(Dialog_AnswerValue(nullptr), 0);
}

TEST(DialogCutUtf8, KeepsWholeCharacters) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // 1 + 2 + 3 + 4 bytes
    const int32_t length = static_cast<int32_t>(text.size());
    const std::pair<int32_t, int32_t> byBytes[] = {{0, 0}, {1, 1}, {2, 1}, {3, 3},
                                                   {5, 3}, {6, 6}, {9, 6}, {10, 10}};
    for (const auto& [limit, cut] : byBytes)
        EXPECT_EQ(Dialog_CutUtf8(text.data(), length, limit), cut) << limit;
    // The four-byte character counts two UTF-16 units.
    EXPECT_EQ(Dialog_CutUtf8(text.data(), length, 100, 3), 6);
    EXPECT_EQ(Dialog_CutUtf8(text.data(), length, 100, 4), 6);
    EXPECT_EQ(Dialog_CutUtf8(text.data(), length, 100, 5), 10);
}
