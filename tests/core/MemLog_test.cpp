#include "core/MemLog.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "core/MemoryManager.h"
#include "core/Process.h"

namespace {

namespace fs = std::filesystem;

const fs::path kReader = fs::path(__FILE__).parent_path() / "memlog_reader.py";

std::string Hex(const void* p) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return text;
}

// Runs the independent reader over a log and returns what it printed.
std::string ReadLog(const fs::path& log) {
    const std::string command = "python3 '" + kReader.string() + "' '" + log.string() + "' 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
        pclose(pipe);
    }
    return output;
}

class MemLogTest : public testing::Test {
protected:
    void SetUp() override {
        const char* root = std::getenv("HV_TEST_TMP");
        fs::path base = root ? fs::path(root) : fs::temp_directory_path();
        fs::create_directories(base);
        std::string pattern = (base / "memlog-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        m_log = m_folder / "mem.log";
    }

    void TearDown() override {
        MemLog_Close();
        MemLog_SetCallStackProvider(nullptr);
        MemLog_SetCurrentBuiltinNameProvider(nullptr);
        MemoryManager_MarkThread(true);
        for (int i = 0; i < 64; ++i) MemoryManager::PopName();  // the stack is process-wide
        MemoryManager_MarkThread(false);
        fs::remove_all(m_folder);
    }

    fs::path m_folder;
    fs::path m_log;
};

const char* g_builtinName = nullptr;
const char* CurrentBuiltin() {
    return g_builtinName;
}

int TwoFrames(MemLogFrame* frames, int capacity) {
    // Whatever the interpreter allocates while it is asked must not log records of its own.
    MEM_FREE(MEM_ALLOC(20));
    if (capacity < 2) return 0;
    frames[0] = {"gml_Script_spawn", 12};
    frames[1] = {"gml_Object_player_Create_0", -1};
    return 2;
}

int AsManyFramesAsAsked(MemLogFrame* frames, int capacity) {
    for (int i = 0; i < capacity; ++i) frames[i] = {"gml_Script_recurse", i};
    return capacity;
}

TEST_F(MemLogTest, RecordsReadBackInOrderWithNamesBeforeTheirUse) {
    ASSERT_TRUE(MemLog_Open(m_log.c_str()));
    MemLog_SetCurrentBuiltinNameProvider(CurrentBuiltin);
    MemLog_SetCallStackProvider(TwoFrames);

    void* unmarked = MEM_ALLOC(10);  // not the marked thread: no scope, no stack
    MemoryManager_MarkThread(true);
    g_builtinName = "ds_list_create";
    void* inBuiltin = MEM_ALLOC(200);
    void* again = MEM_ALLOC(16);  // the name is known now: no second NAME record
    g_builtinName = nullptr;
    MemoryManager::PushName("WAD file");
    void* inScope = MEM_ALLOC_RAW(64);
    MemoryManager::PopName();
    MEM_FREE(unmarked);
    MemLog_Event("SwitchRoom to %s", "room_first");
    MemLog_SetCallStackProvider(nullptr);
    void* grown = MEM_REALLOC(inBuiltin, 300);

    EXPECT_EQ(fs::file_size(m_log), 0u) << "records stay in the buffer until it fills or is flushed";
    MemLog_Close();

    const std::string expected = "ALLC " + Hex(unmarked) +
                                 " 10 - 0\n"
                                 "NAME 0 ds_list_create\n"
                                 "NAME 1 gml_Script_spawn\n"
                                 "NAME 2 gml_Object_player_Create_0\n"
                                 "ALLC " +
                                 Hex(inBuiltin) +
                                 " 200 ds_list_create 2 gml_Script_spawn:12 gml_Object_player_Create_0:-1\n"
                                 "ALLC " +
                                 Hex(again) +
                                 " 16 ds_list_create 2 gml_Script_spawn:12 gml_Object_player_Create_0:-1\n"
                                 "NAME 3 WAD file\n"
                                 "ALLC " +
                                 Hex(inScope) +
                                 " 64 WAD file 2 gml_Script_spawn:12 gml_Object_player_Create_0:-1\n"
                                 "FREE " +
                                 Hex(unmarked) +
                                 "\n"
                                 "EVNT SwitchRoom to room_first\n"
                                 "ALLC " +
                                 Hex(grown) +
                                 " 300 - 0\n"
                                 "FREE " +
                                 Hex(inBuiltin) + "\n";
    EXPECT_EQ(ReadLog(m_log), expected);
    MEM_FREE(again);
    MEM_FREE(inScope);
    MEM_FREE(grown);
}

TEST_F(MemLogTest, OtherThreadsLogNoScopeOrStack) {
    ASSERT_TRUE(MemLog_Open(m_log.c_str()));
    MemoryManager_MarkThread(true);
    MemLog_SetCallStackProvider(TwoFrames);
    MemoryManager::PushName("string copy");
    void* p = nullptr;
    std::thread([&p] { p = MEM_ALLOC(33); }).join();
    MemoryManager::PopName();
    MemLog_Close();
    EXPECT_EQ(ReadLog(m_log), "ALLC " + Hex(p) + " 33 - 0\n");
    MEM_FREE(p);
}

TEST_F(MemLogTest, NamesWithTheSameHashKeepTheirOwnIds) {
    // These two collide once masked to 31 bits.
    ASSERT_EQ(MemLog_NameHash("scope_5683", 10), MemLog_NameHash("scope_13813", 11));
    ASSERT_TRUE(MemLog_Open(m_log.c_str()));
    MemoryManager_MarkThread(true);
    MemoryManager::PushName("scope_5683");
    void* a = MEM_ALLOC(8);
    MemoryManager::PopName();
    MemoryManager::PushName("scope_13813");
    void* b = MEM_ALLOC(8);
    MemoryManager::PopName();
    MemLog_Close();
    EXPECT_EQ(ReadLog(m_log), "NAME 0 scope_5683\nALLC " + Hex(a) + " 8 scope_5683 0\n" +
                                  "NAME 1 scope_13813\nALLC " + Hex(b) + " 8 scope_13813 0\n");
    MEM_FREE(a);
    MEM_FREE(b);
}

TEST_F(MemLogTest, ScopesDeeperThanTheStackLogNoName) {
    EXPECT_EQ(MemoryManager::PushName("ignored"), 0) << "unmarked thread";
    ASSERT_TRUE(MemLog_Open(m_log.c_str()));
    MemoryManager_MarkThread(true);
    for (int depth = 1; depth <= 31; ++depth) ASSERT_EQ(MemoryManager::PushName("deep"), depth);
    EXPECT_EQ(MemoryManager::PushName("too deep"), 32);
    void* beyond = MEM_ALLOC(8);
    MemoryManager::PopName();
    void* atLast = MEM_ALLOC(8);
    for (int i = 0; i < 40; ++i) MemoryManager::PopName();  // more pops than pushes
    EXPECT_EQ(MemoryManager::PushName("top"), 1);
    void* top = MEM_ALLOC(8);
    MemLog_Close();
    EXPECT_EQ(ReadLog(m_log), "ALLC " + Hex(beyond) + " 8 - 0\nNAME 0 deep\nALLC " + Hex(atLast) +
                                  " 8 deep 0\nNAME 1 top\nALLC " + Hex(top) + " 8 top 0\n");
    for (void* p : {beyond, atLast, top}) MEM_FREE(p);
}

TEST_F(MemLogTest, AnOverlongStackIsCutAndTheRecordStaysReadable) {
    ASSERT_TRUE(MemLog_Open(m_log.c_str()));
    MemoryManager_MarkThread(true);
    MemLog_SetCallStackProvider(AsManyFramesAsAsked);
    testing::internal::CaptureStdout();
    void* p = MEM_ALLOC(8);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "block too big (> 16384 bytes)\n");
    MemLog_Close();
    const std::string log = ReadLog(m_log);
    // 24 bytes of record head leave room for 2045 frames in 16384 bytes.
    EXPECT_NE(log.find("ALLC " + Hex(p) + " 8 - 2045 gml_Script_recurse:0 "), std::string::npos) << log;
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
    MEM_FREE(p);
}

TEST_F(MemLogTest, TheBufferReachesTheFileOnceAMegabyteHasGathered) {
    ASSERT_TRUE(MemLog_Open(m_log.c_str()));
    // Each round logs 32 + 16 bytes.
    for (int round = 0; round < 30000 && fs::file_size(m_log) == 0; ++round) MEM_FREE(MEM_ALLOC(8));
    const auto flushed = fs::file_size(m_log);
    EXPECT_GT(flushed, 1000000u);
    EXPECT_LT(flushed, 1048576u);
    MemLog_Flush();
    EXPECT_GT(fs::file_size(m_log), flushed);
}

TEST_F(MemLogTest, OpeningIsRefusedTwiceOrWhereNoFileCanBeMade) {
    EXPECT_FALSE(MemLog_Open((m_folder / "missing" / "mem.log").c_str()));
    EXPECT_FALSE(MemLog_IsOpen());
    ASSERT_TRUE(MemLog_Open(m_log.c_str()));
    EXPECT_FALSE(MemLog_Open((m_folder / "second.log").c_str()));
    EXPECT_FALSE(fs::exists(m_folder / "second.log"));
}

TEST(MemLog, NameHashIsMurmur3MaskedTo31Bits) {
    EXPECT_EQ(MemLog_NameHash("", 0), 0u);
    EXPECT_EQ(MemLog_NameHash("hello", 5), 0x248bfa47u);
    EXPECT_EQ(MemLog_NameHash("The quick brown fox jumps over the lazy dog", 43), 0x2e4ff723u);
    EXPECT_EQ(MemLog_NameHash("foo", 3), 0xf6a5c420u & 0x7FFFFFFFu);
}

TEST(MemLog, PathIsTheWordAfterTheSwitch) {
    struct Case {
        const char* commandLine;
        const char* path;  // null: no log
    };
    const Case cases[] = {
        {"runner -memlog out.bin -game x.win", "out.bin"},
        {"runner -memlog out.bin", "out.bin"},
        {"runner -memlog", nullptr},  // no blank after the switch
        {"runner -memlog  out.bin", nullptr},
        {"runner -memlog \"a b\"", "\"a"},  // verbatim, cut at the blank
        {"runner -game x.win", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        char path[64] = "untouched";
        const bool found = MemLog_PathFromCommandLine(c.commandLine, path, sizeof path);
        EXPECT_EQ(found, c.path != nullptr);
        if (c.path) {
            EXPECT_STREQ(path, c.path);
        }
    }
    const std::string longName(3000, 'n');
    char path[4096];
    ASSERT_TRUE(MemLog_PathFromCommandLine(("-memlog " + longName).c_str(), path, sizeof path));
    EXPECT_EQ(std::strlen(path), 2048u);
    EXPECT_FALSE(MemLog_PathFromCommandLine(("-memlog " + longName).c_str(), path, 100)) << "does not fit";
}

// Started again as a child with "-memlog": the log opens at process start and what is still
// buffered reaches the file when the process ends.
TEST_F(MemLogTest, TheCommandLineOpensTheLogAtStartAndExitFlushesIt) {
    if (std::getenv("HV_MEMLOG_CHILD") != nullptr) {
        ASSERT_TRUE(MemLog_IsOpen());
        MEM_FREE(MEM_ALLOC(300));
        MemLog_Event("child done");
        Process_Exit(0);
    }
    const std::string command =
        "HV_MEMLOG_CHILD=1 '" + fs::read_symlink("/proc/self/exe").string() +
        "' --gtest_filter=MemLogTest.TheCommandLineOpensTheLogAtStartAndExitFlushesIt -memlog '" +
        m_log.string() + "' > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string log = ReadLog(m_log);
    EXPECT_NE(log.find("EVNT child done\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
}

}  // namespace
