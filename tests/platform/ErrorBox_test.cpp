#include "platform/ErrorBox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Hides the display from this process while it lives.
class NoDisplay {
public:
    NoDisplay() : m_x11(Take("DISPLAY")), m_wayland(Take("WAYLAND_DISPLAY")) {}
    ~NoDisplay() {
        Restore("DISPLAY", m_x11);
        Restore("WAYLAND_DISPLAY", m_wayland);
    }

private:
    static std::optional<std::string> Take(const char* name) {
        const char* value = std::getenv(name);
        std::optional<std::string> saved = value ? std::optional<std::string>(value) : std::nullopt;
        unsetenv(name);
        return saved;
    }
    static void Restore(const char* name, const std::optional<std::string>& value) {
        if (value) setenv(name, value->c_str(), 1);
    }
    std::optional<std::string> m_x11, m_wayland;
};

TEST(ErrorBoxTest, WithoutADisplayTheBoxReportsItselfUnavailable) {
    NoDisplay noDisplay;
    IErrorBox& box = ErrorBox_System();
    EXPECT_EQ(box.Show("Code Error", "text", true), ErrorBoxChoice::Unavailable);
    EXPECT_STREQ(box.LastFailure(), "no display");
}

}  // namespace
