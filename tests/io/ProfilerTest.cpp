// The frame profiler on an injected clock: scripted scopes over a few frames, then the report
// read back and checked line by line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/ProfilerScope.h"
#include "core/Timing.h"
#include "io/Profiler.h"

namespace {

struct SetClock final : ITimingClock {
    int64_t now = 1000000;
    int64_t Now() override { return now; }
    void Sleep(int64_t micros) override { now += micros; }
};

void F_ProfiledBuiltin(RValue&, CInstance*, CInstance*, int32_t, RValue*) {}

// The report is a text-mode file: each line ends in CR LF, taken off here.
std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << line;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

struct Row {
    double msPerFrame, msPerCall, callsPerFrame;
};

class ProfilerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_before = Timing_SetClock(&m_clock);
        char folder[] = "/tmp/hv_profiler_XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        m_folder = folder;
        m_file = m_folder + "/profile.txt";
        s_log.clear();
        Console_SetDebuggerSink([](const char* text) { s_log += text; });
    }
    void TearDown() override {
        Console_SetDebuggerSink(nullptr);
        g_Profiler.Shutdown();
        Timing_SetClock(m_before);
        std::remove(m_file.c_str());
        rmdir(m_folder.c_str());
    }

    // A scope of `length` microseconds around `inner` (called at its start).
    template <typename Inner>
    void Scope(int32_t category, int32_t id, int64_t length, Inner inner) {
        ASSERT_TRUE(g_ProfilerActive);
        ProfilerScope_Begin(category, id);  // through the interpreter's way in
        const int64_t start = m_clock.now;
        inner();
        m_clock.now = start + length;
        ProfilerScope_End();
    }
    void Scope(int32_t category, int32_t id, int64_t length) {
        Scope(category, id, length, [] {});
    }

    SetClock m_clock;
    ITimingClock* m_before = nullptr;
    std::string m_folder, m_file;
    static inline std::string s_log;
};

TEST_F(ProfilerTest, ReportMergesCallPathsSortsByTimeAndNamesEachCategory) {
    const int32_t builtin = Code_Function_Add("profiled_builtin", F_ProfiledBuiltin, 0) - 1;
    ASSERT_GE(builtin, 0);
    g_Profiler.Start(m_file.c_str(), 0, "/games/test.win");
    EXPECT_FALSE(g_ProfilerActive);  // nothing is measured before the first frame

    // Frame 1, 2000 us: the step (1000 us) calls the built-in (300 us) and an unknown code
    // object (200 us); then a scope of an unknown category (50 us).
    g_Profiler.FrameBegin();
    g_Profiler.BeginStep();
    m_clock.now += 100;
    Scope(PROFILE_BUILTIN, builtin, 300);
    m_clock.now += 100;
    Scope(PROFILE_CODE, 12345, 200);
    m_clock.now += 300;
    g_Profiler.EndStep();
    Scope(7, 3, 50);
    m_clock.now += 950;
    g_Profiler.FrameEnd();
    EXPECT_FALSE(g_ProfilerActive);

    // Frame 2, 1000 us: the built-in again (100 us), now inside the frame wait's section.
    g_Profiler.FrameBegin();
    Scope(PROFILE_SECTION, PROFILE_ROOM_SPEED_SYNC, 400, [&] { Scope(PROFILE_BUILTIN, builtin, 100); });
    m_clock.now += 600;
    g_Profiler.FrameEnd();

    // Frame 3, 1000 us, measures nothing but counts.
    g_Profiler.FrameBegin();
    m_clock.now += 1000;
    g_Profiler.FrameEnd();

    EXPECT_FALSE(std::ifstream(m_file).good());  // an interval of 0: only the final report
    g_Profiler.Dump();
    EXPECT_EQ(s_log, "Dumping profile data to " + m_file + "\n");

    const std::vector<std::string> lines = ReadLines(m_file);
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0], "/games/test.win (Linux)");
    EXPECT_EQ(lines[1], "Frame Count:                   3");
    EXPECT_EQ(lines[2], "Frame total ms:                4");
    EXPECT_EQ(lines[3], "Average frame time(ms):        1.33");
    EXPECT_EQ(lines[4], "Average step time(ms):         0.33");
    EXPECT_EQ(lines[5], "");
    char heading[128];
    std::snprintf(heading, sizeof heading, "%-50s %-12s %-12s %s", "CALL", "MS/FRAME", "MS/CALL",
                  "CALLS/FRAME");
    EXPECT_EQ(lines[6], heading);

    // Each row: a name padded to 50, then three figures; in order of time, largest first.
    std::vector<std::string> names;
    std::map<std::string, Row> rows;
    for (size_t i = 7; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        ASSERT_GT(line.size(), 51u) << line;
        EXPECT_EQ(line[50], ' ') << line;
        std::string name = line.substr(0, 50);
        name.erase(name.find_last_not_of(' ') + 1);
        Row row{};
        std::istringstream figures(line.substr(51));
        ASSERT_TRUE(figures >> row.msPerFrame >> row.msPerCall >> row.callsPerFrame) << line;
        names.push_back(name);
        rows[name] = row;
    }
    const std::vector<std::string> expected = {"[DoAStep]", "profiled_builtin", "[RoomSpeedSync]", "<?>",
                                               "<?>"};
    EXPECT_EQ(names, expected);
    // The built-in from both call paths: 2 calls, 400 us.
    EXPECT_NEAR(rows["profiled_builtin"].msPerFrame, 0.4 / 3, 0.0005);
    EXPECT_NEAR(rows["profiled_builtin"].msPerCall, 0.2, 0.0005);
    EXPECT_NEAR(rows["profiled_builtin"].callsPerFrame, 2.0 / 3, 0.0005);
    EXPECT_NEAR(rows["[DoAStep]"].msPerCall, 1.0, 0.0005);
    EXPECT_NEAR(rows["[RoomSpeedSync]"].msPerCall, 0.4, 0.0005);
    EXPECT_EQ(lines[9].substr(0, 50).find("[RoomSpeedSync]"), 0u);
    EXPECT_EQ(lines[7].substr(51), "0.333        1.000        0.333");
}

TEST_F(ProfilerTest, IntervalRewritesTheReportAndAFailedOpenIsSkipped) {
    g_Profiler.Start(m_file.c_str(), 1, "game.win");
    for (int frame = 0; frame < 3; ++frame) {
        g_Profiler.FrameBegin();
        m_clock.now += 600000;
        g_Profiler.FrameEnd();
    }
    // The timer starts at the first frame's end; 1.2 s later the report is written.
    std::vector<std::string> lines = ReadLines(m_file);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "Frame Count:                   3");

    // A folder that cannot be made: its name is taken by the report file.
    const std::string blocked = m_file + "/profile.txt";
    g_Profiler.Start(blocked.c_str(), 0, "game.win");
    s_log.clear();
    g_Profiler.Dump();
    EXPECT_EQ(s_log, "Dumping profile data to " + blocked + "\n...FAILED to open file\n");
}

TEST_F(ProfilerTest, WithoutADumpFileNothingIsMeasured) {
    g_Profiler.Start(nullptr, 0, "game.win");
    g_Profiler.FrameBegin();
    EXPECT_FALSE(g_ProfilerActive);
    EXPECT_FALSE(g_Profiler.Recording());
    g_Profiler.FrameEnd();
}

}  // namespace
