#include "core/ErrorDialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ErrorBox.h"

namespace {

// Answers with the buttons it was given, one per showing, and records what it showed.
class ScriptedBox final : public IErrorBox {
public:
    explicit ScriptedBox(std::vector<ErrorBoxChoice> presses) : m_presses(std::move(presses)) {}

    ErrorBoxChoice Show(const char* title, const char* text, bool ignoreAllowed) override {
        titles.push_back(title);
        shown.push_back(text);
        ignoreOffered.push_back(ignoreAllowed);
        if (m_next >= m_presses.size()) return ErrorBoxChoice::Abort;
        return m_presses[m_next++];
    }
    bool CopyToClipboard(const char* text) override {
        clipboard.push_back(text);
        return true;
    }
    const char* LastFailure() override { return "scripted"; }

    std::vector<std::string> titles, shown, clipboard;
    std::vector<bool> ignoreOffered;

private:
    std::vector<ErrorBoxChoice> m_presses;
    size_t m_next = 0;
};

int g_pumps = 0;
void CountPump() {
    ++g_pumps;
}

class ErrorDialogTest : public testing::Test {
protected:
    void TearDown() override {
        ErrorDialog_SetBox(nullptr);
        ErrorDialog_SetMessagePump(nullptr);
        g_ErrorDialog = {};
    }
    int Run(ScriptedBox& box, const char* text, bool ignoreAllowed) {
        g_ErrorDialog.text = text;
        g_ErrorDialog.ignoreAllowed = ignoreAllowed;
        ErrorDialog_SetBox(&box);
        return ErrorDialog_Show();
    }
};

TEST_F(ErrorDialogTest, CopyAndClearKeepTheDialogOpenUntilAbort) {
    using C = ErrorBoxChoice;
    ScriptedBox box({C::Copy, C::Clear, C::Copy, C::Closed, C::Abort});
    g_pumps = 0;
    ErrorDialog_SetMessagePump(&CountPump);
    EXPECT_EQ(Run(box, "ERROR in\naction number 1", false), 1);
    EXPECT_EQ(g_pumps, 2);
    EXPECT_EQ(box.titles.front(), "Code Error");
    EXPECT_EQ(box.shown, (std::vector<std::string>{"ERROR in\naction number 1", "ERROR in\naction number 1",
                                                   " ", " ", " "}));
    for (bool offered : box.ignoreOffered) EXPECT_FALSE(offered);
    // After "Clear" there is nothing left to copy.
    EXPECT_EQ(box.clipboard, (std::vector<std::string>{"ERROR in\naction number 1"}));
    EXPECT_EQ(g_ErrorDialog.text, nullptr);
}

TEST_F(ErrorDialogTest, IgnoreAnswersZeroOnlyWhenAllowed) {
    using C = ErrorBoxChoice;
    ScriptedBox allowed({C::Ignore});
    EXPECT_EQ(Run(allowed, "text", true), 0);
    EXPECT_TRUE(allowed.ignoreOffered.front());

    ScriptedBox refused({C::Ignore, C::Abort});
    EXPECT_EQ(Run(refused, "text", false), 1);
    EXPECT_EQ(refused.shown.size(), 2u);
}

TEST_F(ErrorDialogTest, NoBoxToShowAnswersAbort) {
    ScriptedBox box({ErrorBoxChoice::Unavailable});
    EXPECT_EQ(Run(box, "text", true), 1);
    EXPECT_EQ(box.shown.size(), 1u);
}

}  // namespace
