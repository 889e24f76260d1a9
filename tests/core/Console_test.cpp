#include "core/Console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/RunSwitches.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Standard output goes to a file while one of these lives.
class StdoutCapture {
public:
    explicit StdoutCapture(const fs::path& path) : m_path(path) {
        std::fflush(stdout);
        m_saved = dup(STDOUT_FILENO);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
    ~StdoutCapture() { Finish(); }
    std::string Finish() {
        if (m_saved >= 0) {
            std::fflush(stdout);
            dup2(m_saved, STDOUT_FILENO);
            close(m_saved);
            m_saved = -1;
        }
        return ReadFile(m_path);
    }

private:
    fs::path m_path;
    int m_saved = -1;
};

std::string g_sinkText;
void CollectSink(const char* text) {
    g_sinkText += text;
}

class ConsoleTest : public testing::Test {
protected:
    void SetUp() override {
        const char* root = std::getenv("HV_TEST_TMP");
        fs::path base = root ? fs::path(root) : fs::temp_directory_path();
        fs::create_directories(base);
        std::string pattern = (base / "console-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        m_headless = g_Switches.headless.load();
        m_output = g_Switches.outputFile;
        m_debugOutput = g_Switches.debugOutputFile;
        g_Switches.headless = true;
        g_sinkText.clear();
    }
    void TearDown() override {
        Console_SetDebuggerSink(nullptr);
        g_Switches.headless = m_headless;
        g_Switches.outputFile = m_output;
        g_Switches.debugOutputFile = m_debugOutput;
        fs::remove_all(dir);
    }
    fs::path dir;

private:
    bool m_headless = false;
    std::string m_output, m_debugOutput;
};

TEST_F(ConsoleTest, BothConsolesAppendToOneFileInCallOrder) {
    const fs::path log = dir / "both.txt";
    g_Switches.outputFile = log.string();
    g_Switches.debugOutputFile = log.string();
    {
        std::ofstream(log) << "kept\n";  // appended to, never truncated
    }
    DebugConsole.Output("debug %d\n", 1);
    ErrorConsole.Output("ERROR!!! :: %s\n", "two");
    DebugConsole.Output("debug %d\n", 3);
    EXPECT_EQ(ReadFile(log), "kept\ndebug 1\nERROR!!! :: two\ndebug 3\n");
}

TEST_F(ConsoleTest, EachConsoleWritesOnlyItsOwnFile) {
    g_Switches.outputFile = (dir / "errors.txt").string();
    g_Switches.debugOutputFile = (dir / "debug.txt").string();
    DebugConsole.Output("to debug\n");
    ErrorConsole.Output("to errors\n");
    EXPECT_EQ(ReadFile(dir / "debug.txt"), "to debug\n");
    EXPECT_EQ(ReadFile(dir / "errors.txt"), "to errors\n");
}

TEST_F(ConsoleTest, PercentSignsInTheTextReachTheFileUnchanged) {
    g_Switches.debugOutputFile = (dir / "percent.txt").string();
    DebugConsole.Output("%s", "100% done %d %s %n\n");
    EXPECT_EQ(ReadFile(dir / "percent.txt"), "100% done %d %s %n\n");
}

TEST_F(ConsoleTest, HeadlessKeepsStandardOutputQuietButFeedsFilesAndDebugger) {
    g_Switches.debugOutputFile = (dir / "debug.txt").string();
    Console_SetDebuggerSink(&CollectSink);
    for (bool headless : {true, false}) {
        SCOPED_TRACE(headless);
        g_Switches.headless = headless;
        g_sinkText.clear();
        fs::remove(dir / "debug.txt");
        StdoutCapture capture(dir / "stdout.txt");
        DebugConsole.Output("line %s\n", "one");
        EXPECT_EQ(capture.Finish(), headless ? "" : "line one\n");
        EXPECT_EQ(ReadFile(dir / "debug.txt"), "line one\n");
        EXPECT_EQ(g_sinkText, "line one\n");
    }
}

TEST_F(ConsoleTest, FileAndDebuggerGetAtMost4095BytesOfALine) {
    g_Switches.headless = false;
    g_Switches.debugOutputFile = (dir / "long.txt").string();
    Console_SetDebuggerSink(&CollectSink);
    const std::string text(5000, 'x');
    StdoutCapture capture(dir / "stdout.txt");
    DebugConsole.Output("%s", text.c_str());
    EXPECT_EQ(capture.Finish(), text);
    EXPECT_EQ(ReadFile(dir / "long.txt"), text.substr(0, 4095));
    EXPECT_EQ(g_sinkText, text.substr(0, 4095));
}

TEST_F(ConsoleTest, UnopenableLogFileSkipsTheLineOnly) {
    g_Switches.outputFile = (dir / "missing-folder" / "errors.txt").string();
    g_Switches.debugOutputFile = (dir / "debug.txt").string();
    ErrorConsole.Output("lost\n");
    DebugConsole.Output("kept\n");
    EXPECT_FALSE(fs::exists(dir / "missing-folder"));
    EXPECT_EQ(ReadFile(dir / "debug.txt"), "kept\n");
}

TEST_F(ConsoleTest, LinesFromManyThreadsStayWhole) {
    const fs::path log = dir / "threads.txt";
    g_Switches.debugOutputFile = log.string();
    constexpr int kThreads = 4, kLines = 200;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([t] {
            const std::string padding(100, static_cast<char>('a' + t));
            for (int i = 0; i < kLines; ++i) DebugConsole.Output("%d:%d:%s\n", t, i, padding.c_str());
        });
    }
    for (auto& worker : workers) worker.join();

    std::istringstream lines(ReadFile(log));
    std::set<std::string> seen;
    std::string line;
    while (std::getline(lines, line)) {
        const int t = line[0] - '0';
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        const std::string tail = line.substr(line.rfind(':') + 1);
        EXPECT_EQ(tail, std::string(100, static_cast<char>('a' + t))) << line;
        seen.insert(line.substr(0, line.rfind(':')));
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
}

TEST(ErrStreamConsoleTest, TextBeyondTheFirstBlockGrowsIt) {
    TErrStreamConsole console;
    EXPECT_STREQ(console.Text(), "");
    std::string expected;
    for (int i = 0; i < 12; ++i) {
        const std::string chunk(10000, static_cast<char>('A' + i));
        console.Output("%s", chunk.c_str());
        expected += chunk;
    }
    ASSERT_GT(expected.size(), 102400u);
    EXPECT_EQ(std::string(console.Text()), expected);
}

TEST(ErrStreamConsoleTest, OneOutputIsCutTo16383Bytes) {
    TErrStreamConsole console;
    console.Output("%s", "head ");
    console.Output("%s", std::string(20000, 'z').c_str());
    EXPECT_EQ(std::string(console.Text()), "head " + std::string(16383, 'z'));
}

}  // namespace
