#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/DialogWindow.h"
#include "platform/EventPump.h"

namespace {
// Every byte one pixel wide: layout is checked in bytes.
const DialogMeasure kBytes = [](std::string_view text) { return static_cast<int>(text.size()); };

DialogEditField Field(std::string text) {
    DialogEditField field{std::move(text), 0};
    DialogEdit_End(field);
    return field;
}

PlatformDialogRequest Login(std::string user, std::string password) {
    PlatformDialogRequest request;
    request.kind = PlatformDialogKind::Login;
    request.caption = "Login";
    request.answer = std::move(user);
    request.password = std::move(password);
    return request;
}
}  // namespace

TEST(DialogEdit, BackspaceAndDeleteTakeWholeCharacters) {
    struct Case {
        const char* text;
        const char* afterBackspace;
    } cases[] = {
        {"ab", "a"},
        {"a\xC3\xA9", "a"},        // é, two bytes
        {"x\xE2\x82\xAC", "x"},    // €, three bytes
        {"\xF0\x9F\x98\x80", ""},  // an emoji, four bytes
        {"", ""},
    };
    for (const Case& c : cases) {
        DialogEditField field = Field(c.text);
        DialogEdit_Backspace(field);
        EXPECT_EQ(field.text, c.afterBackspace) << c.text;
        EXPECT_EQ(field.caret, field.text.size());
    }

    DialogEditField field = Field("\xC3\xA9z\xE2\x82\xAC");
    DialogEdit_Home(field);
    DialogEdit_Delete(field);
    EXPECT_EQ(field.text, "z\xE2\x82\xAC");
    DialogEdit_Right(field);
    DialogEdit_Right(field);
    EXPECT_EQ(field.caret, field.text.size());
    DialogEdit_Left(field);
    EXPECT_EQ(field.caret, 1u);
    DialogEdit_Insert(field, "\xC3\xA9");
    EXPECT_EQ(field.text, "z\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(field.caret, 3u);
    DialogEdit_Home(field);
    DialogEdit_Backspace(field);  // nothing before the caret
    EXPECT_EQ(field.text, "z\xC3\xA9\xE2\x82\xAC");
}

TEST(DialogEdit, MaskShowsOneStarPerCharacter) {
    EXPECT_EQ(DialogEdit_Masked(""), "");
    EXPECT_EQ(DialogEdit_Masked("pw"), "**");
    EXPECT_EQ(DialogEdit_Masked("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), "***");
}

TEST(DialogState, InputStartsWithTheDefaultAndAnswersOnEnterOrEscape) {
    PlatformDialogRequest request;
    request.kind = PlatformDialogKind::Input;
    request.answer = "12";
    DialogState state = DialogState_Start(request);
    DialogState_Text(state, "3\r\n\t");  // controls never enter the answer
    DialogState_Key(state, DialogKey::Tab);
    EXPECT_EQ(state.focus, 0);
    DialogState_Key(state, DialogKey::Enter);
    PlatformDialogAnswer answer = DialogState_Answer(state);
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(answer.text, "123");
    DialogState_Text(state, "4");  // a finished dialog takes nothing more
    EXPECT_EQ(DialogState_Answer(state).text, "123");

    state = DialogState_Start(request);
    DialogState_Text(state, "9");
    DialogState_Key(state, DialogKey::Escape);
    answer = DialogState_Answer(state);
    EXPECT_FALSE(answer.accepted);
    EXPECT_EQ(answer.text, "");
    EXPECT_FALSE(DialogState_Answer(DialogState_Start(request)).accepted);  // not yet answered
}

TEST(DialogState, LoginTabSwitchesFieldsAndMasksThePassword) {
    DialogState state = DialogState_Start(Login("bo", "p"));
    DialogState_Text(state, "b");
    DialogState_Key(state, DialogKey::Tab);
    DialogState_Text(state, "w");
    EXPECT_EQ(DialogState_Shown(state, 0), "bob");
    EXPECT_EQ(DialogState_Shown(state, 1), "**");
    DialogState_Key(state, DialogKey::Tab, true);
    EXPECT_EQ(state.focus, 0);
    DialogState_Key(state, DialogKey::Tab, true);
    EXPECT_EQ(state.focus, 1);
    DialogState_Key(state, DialogKey::Enter);
    const PlatformDialogAnswer answer = DialogState_Answer(state);
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(answer.text, "bob");
    EXPECT_EQ(answer.password, "pw");
}

TEST(DialogLayout, WrapsAtBreaksWordsAndInsideLongWords) {
    EXPECT_EQ(DialogLayout_Wrap("ab cd ef", 5, kBytes), (std::vector<std::string>{"ab cd", "ef"}));
    EXPECT_EQ(DialogLayout_Wrap("a\r\n\nb", 5, kBytes), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(DialogLayout_Wrap("abcdefgh x", 3, kBytes),
              (std::vector<std::string>{"abc", "def", "gh", "x"}));
    // A character wider than the line still goes on one, whole.
    EXPECT_EQ(DialogLayout_Wrap("\xE2\x82\xAC", 1, kBytes), (std::vector<std::string>{"\xE2\x82\xAC"}));
    EXPECT_EQ(DialogLayout_Wrap(std::string(100, '\n'), 10, kBytes).size(),
              static_cast<size_t>(kDialogMaxPromptLines));
}

TEST(DialogLayout, TheWindowGrowsWithThePromptAndClicksFindTheirTargets) {
    PlatformDialogRequest request;
    request.kind = PlatformDialogKind::Input;
    request.text = "one";
    const DialogLayout one = DialogLayout_Make(request, 16, kBytes);
    request.text = "one\ntwo\nthree";
    const DialogLayout three = DialogLayout_Make(request, 16, kBytes);
    EXPECT_EQ(three.height - one.height, 32);
    ASSERT_EQ(three.fields.size(), 1u);
    const DialogRect& field = three.fields[0];
    EXPECT_GT(field.y, three.labels.back().y);
    EXPECT_GE(three.ok.y, field.y + field.h);
    EXPECT_LE(three.cancel.x + three.cancel.w, three.width);
    EXPECT_LE(three.ok.y + three.ok.h, three.height);

    const DialogLayout login = DialogLayout_Make(Login("", ""), 16, kBytes);
    ASSERT_EQ(login.fields.size(), 2u);
    DialogState state = DialogState_Start(Login("", ""));
    DialogState_Click(state, login, login.fields[1].x + 2, login.fields[1].y + 2);
    EXPECT_EQ(state.focus, 1);
    DialogState_Click(state, login, 0, 0);
    EXPECT_FALSE(state.finished);
    DialogState_Click(state, login, login.cancel.x + 1, login.cancel.y + 1);
    EXPECT_TRUE(state.finished);
    EXPECT_FALSE(state.accepted);
}

TEST(DialogFont, FirstReadableCandidateOrNone) {
    EXPECT_EQ(DialogFont_Find({"/nonexistent/a.ttf", "/nonexistent/b.ttf"}), "");
    const std::string found = DialogFont_Find(DialogFont_Candidates());
    if (!found.empty()) {
        EXPECT_EQ(DialogFont_Find({"/nonexistent/a.ttf", found}), found);
    }
}

TEST(DialogWindow, WithoutADisplayItAnswersCancel) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const std::string savedWayland = wayland ? wayland : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(DialogWindow_Open(Login("a", "b")));
    EXPECT_FALSE(DialogWindow_Run(Login("a", "b")).accepted);
    if (display) setenv("DISPLAY", saved.c_str(), 1);
    if (wayland) setenv("WAYLAND_DISPLAY", savedWayland.c_str(), 1);
}

// A real window: runs when a display is there (ctest runs it again under xvfb-run).
TEST(DialogWindowDisplay, TypedKeysReachTheWindowAndNotTheGame) {
    if (!PlatformDialog_HaveDisplay() || DialogFont_Find(DialogFont_Candidates()).empty())
        GTEST_SKIP() << "no display or no font";
    static int gameMessages = 0;
    gameMessages = 0;
    PlatformEvents_SetDispatcher([](const WindowMessage&) { ++gameMessages; });
    ASSERT_TRUE(DialogWindow_Open(Login("bo", "")));
    const Uint32 id = DialogWindow_Id();
    ASSERT_NE(id, 0u);

    auto post = [](SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1); };
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    text.text.windowID = id;
    std::strcpy(text.text.text, "b");
    post(text);
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.windowID = id;
    key.key.keysym.sym = SDLK_TAB;
    post(key);
    std::strcpy(text.text.text, "pw");
    post(text);
    key.key.keysym.sym = SDLK_RETURN;
    post(key);

    PlatformDialogAnswer answer;
    for (int tries = 0; tries < 50 && !DialogWindow_Poll(answer); ++tries)
        EXPECT_FALSE(PlatformEvents_Pump());
    EXPECT_FALSE(DialogWindow_IsOpen());
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(answer.text, "bob");
    EXPECT_EQ(answer.password, "pw");
    EXPECT_EQ(gameMessages, 0);
    PlatformEvents_SetDispatcher(nullptr);
}

TEST(DialogWindowDisplay, AQuitCancelsTheModalWindowAndStaysQueued) {
    if (!PlatformDialog_HaveDisplay() || DialogFont_Find(DialogFont_Candidates()).empty())
        GTEST_SKIP() << "no display or no font";
    PlatformEvents_PostQuit();
    PlatformDialogRequest request;
    request.kind = PlatformDialogKind::Input;
    request.answer = "x";
    EXPECT_FALSE(DialogWindow_Run(request).accepted);
    EXPECT_FALSE(DialogWindow_IsOpen());
    // SDL ends a pump at the mark it set when the pump began, so the quit may be one pump away.
    bool quit = false;
    for (int pumps = 0; pumps < 3 && !quit; ++pumps) quit = PlatformEvents_Pump();
    EXPECT_TRUE(quit);
}
