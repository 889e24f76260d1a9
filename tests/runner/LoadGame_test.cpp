// Finding the game on disk, its companions, the texture chunks and the formpack manifest.
#include <filesystem>
#include <fstream>

#include "LoaderTestSupport.h"
#include "formpack/Manifest.h"
#include "formpack/Png.h"
#include "base/DebugInfo.h"

using namespace loadertest;
namespace fs = std::filesystem;

namespace {

std::vector<std::pair<size_t, bool>> g_blobsSeen;
std::string g_iniSeen;

class LoadGameTest : public LoaderTest {
protected:
    void SetUp() override {
        LoaderTest::SetUp();
        const char* root = std::getenv("HV_TEST_TMP");
        m_folder = fs::path(root ? root : fs::temp_directory_path().string()) /
                   ("loadgame-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_folder);
        g_blobsSeen.clear();
        g_iniSeen.clear();
    }
    void TearDown() override {
        fs::remove_all(m_folder);
        LoaderTest::TearDown();
    }
    std::string Write(const char* name, const std::vector<uint8_t>& bytes) {
        const fs::path p = m_folder / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return p.string();
    }
    fs::path m_folder;
};

formpack::FormFile SmallGame() {
    formpack::FormFile f;
    f.header.roomOrder = {0};
    formpack::Room r;
    r.name = "room0";
    f.rooms = std::vector<std::optional<formpack::Room>>{r};
    return f;
}

TEST_F(LoadGameTest, DataFileOnDiskIsReadWithItsDebugInformation) {
    const std::vector<uint8_t> bytes = Build(SmallGame());
    const std::string path = Write("game.win", bytes);
    formpack::DebugInfo info;
    info.lineTables = {{{0, 1}, {8, 2}}};
    info.sources = {"x = 1;\ny = 2;"};
    info.instances = {"inst"};
    const std::vector<uint8_t> debug = formpack::BuildDebugInfo(info);
    Write("game.pwdebug", debug);
    g_LoaderHooks.readOptionsIni = [](const char* p) { g_iniSeen = p; };

    ASSERT_TRUE(RunnerLoadGame(path.c_str()));
    const std::string log = Captured();
    EXPECT_EQ(log.rfind("RunnerLoadGame: " + path + "\nRunnerLoadGame() - " + path + "\n", 0), 0u) << log;
    EXPECT_NE(log.find("Process Chunk: DBGI   "), std::string::npos);
    EXPECT_NE(log.find("Reading File " + path + "\nLoaded File " + path + "(" + std::to_string(bytes.size()) +
                       ")\nIFF wad found\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(g_iniSeen, (m_folder / "options.ini").string());
    EXPECT_EQ(std::string(g_LoadState.workingDirectory), m_folder.string() + "/");
    EXPECT_EQ(Form_Size(), bytes.size());

    const int32_t* words = nullptr;
    uint32_t count = 0;
    ASSERT_TRUE(DebugInfo_LineTable(0, &words, &count));
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(words[2], 8);
    EXPECT_STREQ(DebugInfo_Source(0), "x = 1;\ny = 2;");
    EXPECT_EQ(DebugInfo_InstanceCount(), 1u);
    EXPECT_EQ(DebugInfo_Source(1), nullptr);
}

TEST_F(LoadGameTest, DamagedDebugInformationIsIgnored) {
    formpack::DebugInfo info;
    info.sources = {"text"};
    std::vector<uint8_t> debug = formpack::BuildDebugInfo(info);
    const uint32_t scpt = ChunkData(debug, "SCPT");
    WriteU32(debug, scpt + 4, 0xFFFF0000u);
    EXPECT_FALSE(DebugInfo_Load(debug.data(), static_cast<uint32_t>(debug.size())));
    EXPECT_FALSE(DebugInfo_Present());
    EXPECT_EQ(DebugInfo_Source(0), nullptr);
}

TEST_F(LoadGameTest, MissingFileOfALaunchedGameRequestsTheEnd) {
    g_LoadState.launchedByGame = true;
    const std::string path = (m_folder / "none.win").string();
    EXPECT_FALSE(RunnerLoadGame(path.c_str()));
    EXPECT_TRUE(g_LoadState.gameEndRequested);
    EXPECT_NE(Captured().find("FAILED to load File " + path + "\n"), std::string::npos);
    EXPECT_NE(Captured().find("Unable to find game!!: " + path), std::string::npos);
}

// Each way a file can fail to be a game has its own message, on the error console and to the
// player, and ends the load.
TEST_F(LoadGameTest, LoadFailuresNameTheirCause) {
    static std::vector<std::string> shown;
    std::vector<uint8_t> game = Build(SmallGame());
    std::vector<uint8_t> cut(game.begin(), game.begin() + 40);
    std::vector<uint8_t> longer = game;
    longer.push_back(0);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;  // after "Unable to load game: <path> "
    };
    const Case cases[] = {
        {"cut.win", cut, "is damaged (its data holds"},
        {"longer.win", longer, "is damaged (its data holds"},
        {"text.win", {'h', 'e', 'l', 'l', 'o'}, "is not a game data file"},
        {"empty.win", {}, "is empty"},
        {"folder.win", {}, "is a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shown.clear();
        CapturedLines().clear();
        g_LoadState = LoadState();
        g_LoadState.launchedByGame = true;
        g_LoaderHooks.showMessage = [](const char* text) { shown.emplace_back(text); };
        std::string path = (m_folder / c.name).string();
        if (std::string(c.name) == "folder.win")
            fs::create_directories(path);
        else
            Write(c.name, c.bytes);
        EXPECT_FALSE(RunnerLoadGame(path.c_str()));
        EXPECT_TRUE(g_LoadState.gameEndRequested);
        const std::string expected = "Unable to load game: " + path + " " + c.message;
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].rfind(expected, 0), 0u) << shown[0];
        EXPECT_NE(Captured().find(expected), std::string::npos) << Captured();
        EXPECT_EQ(Form_Base(), nullptr);
    }
}

TEST_F(LoadGameTest, MissingFileEndsTheProcessWithCodeOne) {
    const std::string path = (m_folder / "none.win").string();
    EXPECT_EXIT(RunnerLoadGame(path.c_str()), ::testing::ExitedWithCode(1), "");
}

TEST_F(LoadGameTest, NoPathAndNoChoiceUnderHeadlessEndsTheProcess) {
    EXPECT_EXIT(RunnerLoadGame(""), ::testing::ExitedWithCode(1), "");
}

TEST_F(LoadGameTest, EmbeddedDataIsCopiedAndReversedFormTagIsAccepted) {
    static std::vector<uint8_t> embedded;
    embedded = Build(SmallGame());
    std::memcpy(embedded.data(), "MROF", 4);
    g_LoaderHooks.fillLinkRecord = [](GameLinkRecord* r) {
        r->data = embedded.data();
        r->dataSize = static_cast<uint32_t>(embedded.size());
        r->codeCount = 3;
        return r;
    };
    ASSERT_TRUE(RunnerLoadGame(""));
    EXPECT_NE(Form_Base(), embedded.data());
    EXPECT_EQ(0, std::memcmp(Form_Base(), embedded.data(), embedded.size()));
    EXPECT_EQ(g_LoadState.codeCount, 3);
    EXPECT_NE(Captured().find("IFF wad found\n"), std::string::npos);
    EXPECT_TRUE(Form_FirstPass(Form_Base(), Form_Size()));
    EXPECT_TRUE(LoadGameData(Form_Base(), Form_Size()));
    EXPECT_EQ(g_GameHeader.roomCount, 1);
}

// Data files of megabytes get a block of their own (in huge pages where the system has them);
// read from disk or copied from memory, they load as a small one does, with the guard byte after
// them, and each replaces and releases the one before.
TEST_F(LoadGameTest, DataFilesOfMegabytesLoadFromDiskAndFromMemory) {
    formpack::FormFile game = SmallGame();
    for (int s = 0; s < 120000; ++s)
        game.strings.push_back("a string of the large game " + std::to_string(s));
    static std::vector<uint8_t> bytes;
    bytes = Build(game);
    ASSERT_GT(bytes.size(), size_t{4} << 20);
    const std::string path = Write("large.win", bytes);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(RunnerLoadGame(path.c_str()));
        ASSERT_EQ(Form_Size(), bytes.size());
        EXPECT_EQ(0, std::memcmp(Form_Base(), bytes.data(), bytes.size()));
        EXPECT_EQ(Form_Base()[bytes.size()], 0);
        EXPECT_TRUE(Form_FirstPass(Form_Base(), Form_Size()));
        EXPECT_TRUE(LoadGameData(Form_Base(), Form_Size()));
        EXPECT_GE(Form_StringCount(), 120000u);
        EXPECT_STREQ(Form_String(119999), "a string of the large game 119999");
    }
    g_LoaderHooks.fillLinkRecord = [](GameLinkRecord* r) {
        r->data = bytes.data();
        r->dataSize = static_cast<uint32_t>(bytes.size());
        return r;
    };
    ASSERT_TRUE(RunnerLoadGame(""));
    EXPECT_NE(Form_Base(), bytes.data());
    ASSERT_EQ(Form_Size(), bytes.size());
    EXPECT_EQ(0, std::memcmp(Form_Base(), bytes.data(), bytes.size()));
    EXPECT_EQ(Form_Base()[bytes.size()], 0);
    Form_Free();
    EXPECT_EQ(Form_Base(), nullptr);
}

TEST_F(LoadGameTest, TexturesBecomeIdsInThePageEntries) {
    formpack::FormFile f;
    const std::vector<uint8_t> pixels(4 * 4 * 4, 0xFF);
    f.textures = std::vector<formpack::TexturePage>{{1, formpack::EncodePng(4, 4, pixels)},
                                                    {0, formpack::EncodePng(4, 4, pixels)}};
    formpack::PageEntry a, b, c;
    a.texture = 1;
    b.texture = 0;
    c.texture = 5;
    f.pageEntries = std::vector<formpack::PageEntry>{a, b, c};
    TXTR_SetTextureCreator([](const uint8_t* blob, uint32_t length, bool flag) {
        EXPECT_EQ(0, std::memcmp(blob, "\x89PNG", 4));
        EXPECT_TRUE(IsPointerInGameData(blob + length - 1));
        EXPECT_EQ(0, std::memcmp(blob + length, "STRG", 4));  // the bound is the end of the chunk
        g_blobsSeen.emplace_back(length, flag);
        return static_cast<int32_t>(40 + g_blobsSeen.size() - 1);
    });
    ASSERT_TRUE(LoadBoth(Build(f)));
    ASSERT_EQ(g_blobsSeen.size(), 2u);
    EXPECT_TRUE(g_blobsSeen[0].second);
    EXPECT_FALSE(g_blobsSeen[1].second);
    auto textureOf = [](uint32_t i) {
        int16_t v;
        std::memcpy(&v, TPAG_Entry(i) + 20, 2);
        return v;
    };
    EXPECT_EQ(textureOf(0), 41);
    EXPECT_EQ(textureOf(1), 40);
    EXPECT_EQ(textureOf(2), 5);
    EXPECT_NE(Captured().find("what!!!!\n"), std::string::npos);
}

// Pages whose decoded size breaks the limits are refused before any page is decoded. The blobs
// here state their sides in place of an image header.
TEST_F(LoadGameTest, TexturePagesOverTheDecodeLimitsAreRefusedUpFront) {
    struct Case {
        std::vector<std::pair<uint32_t, uint32_t>> sides;
        const char* refusal;  // null: loads
    };
    const Case cases[] = {
        {{{8192, 8192}, {16, 16}}, nullptr},
        {{{16, 16}, {8193, 16}}, "texture 1 is 8193x16, more than 8192 pixels a side"},
        {{{16, 16384}}, "texture 0 is 16x16384"},
        {{{8192, 8192}, {8192, 8192}, {8192, 8192}, {8192, 8192}, {8192, 8192}},
         "textures up to 4 decode to 1280 MB"},
    };
    for (const Case& c : cases) {
        formpack::FormFile f;
        f.textures.emplace();
        for (const auto& [width, height] : c.sides) {
            std::vector<uint8_t> blob(12, 0);
            std::memcpy(blob.data(), "SIDE", 4);
            std::memcpy(&blob[4], &width, 4);
            std::memcpy(&blob[8], &height, 4);
            f.textures->push_back({0, blob});
        }
        g_blobsSeen.clear();
        TXTR_SetTextureCreator(
            [](const uint8_t*, uint32_t length, bool flag) {
                g_blobsSeen.emplace_back(length, flag);
                return 1;
            },
            [](const uint8_t* blob, uint32_t, int32_t* width, int32_t* height) {
                std::memcpy(width, blob + 4, 4);
                std::memcpy(height, blob + 8, 4);
                return true;
            });
        const bool loaded = LoadBoth(Build(f));
        if (c.refusal == nullptr) {
            EXPECT_TRUE(loaded);
            EXPECT_EQ(g_blobsSeen.size(), c.sides.size());
            continue;
        }
        EXPECT_FALSE(loaded) << c.refusal;
        EXPECT_TRUE(g_blobsSeen.empty()) << c.refusal;
        ASSERT_NE(Form_LoadError(), nullptr);
        const std::string error = Form_LoadError();
        EXPECT_NE(error.find("\"TXTR\""), std::string::npos) << error;
        EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
    }
}

TEST_F(LoadGameTest, PageEntryOutsideTheFileFailsNamingTheChunk) {
    formpack::FormFile f;
    f.pageEntries = std::vector<formpack::PageEntry>{formpack::PageEntry{}};
    std::vector<uint8_t> bytes = Build(f);
    WriteU32(bytes, ChunkData(bytes, "TPAG") + 4, static_cast<uint32_t>(bytes.size() - 10));
    EXPECT_FALSE(LoadBoth(bytes));
    ASSERT_NE(Form_LoadError(), nullptr);
    EXPECT_NE(std::string(Form_LoadError()).find("\"TPAG\""), std::string::npos);
}

TEST_F(LoadGameTest, ManifestWritesAFileTheRunnerLoads) {
    const std::vector<uint8_t> pixels(2 * 2 * 4, 0x80);
    Write("page.png", formpack::EncodePng(2, 2, pixels));
    const std::string manifest =
        "# a small game\n"
        "header format=14 name=\"Cat Walk\" rooms=1,0 width=320 height=240\n"
        "options flags=0x14 colour=0x00ff00\n"
        "constant VersionMajor 3\n"
        "object obj_cat depth=-10\n"
        "  event 0 0 -1\n"
        "object -\n"
        "room rm_a\n"
        "room rm_b caption=\"Room B\" speed=60\n"
        "  instance 32 48 0 100001\n"
        "path pth_walk closed=0\n"
        "  point 0 0 100\n"
        "timeline tl_a\n"
        "  moment 5 -1\n"
        "code empty\n"
        "texture page.png\n"
        "page 0 0 2 2 0 0 2 2 2 2 0\n";
    formpack::FormFile f;
    std::string error;
    ASSERT_TRUE(formpack::ParseManifest(manifest, m_folder.string(), f, error)) << error;
    ASSERT_TRUE(LoadBoth(Build(f)));
    EXPECT_STREQ(g_GameHeader.gameName, "Cat Walk");
    EXPECT_EQ(g_GameHeader.roomCount, 2);
    EXPECT_EQ(g_GameHeader.windowWidth, 320);
    EXPECT_EQ(g_GameOptions.windowColour, 0x00FF00u);
    EXPECT_TRUE(g_GameOptions.newAudioEngine);
    EXPECT_EQ(g_GameOptions.versionMajor, 3);
    EXPECT_EQ(TPAG_Count(), 1u);
    const std::string log = Captured();
    for (const char* tag : {"OPTN", "PATH", "TMLN", "OBJT", "ROOM", "TPAG", "CODE", "TXTR", "STRG"})
        EXPECT_NE(log.find(std::string("Process Chunk: ") + tag), std::string::npos) << tag;

    formpack::FormFile bad;
    EXPECT_FALSE(formpack::ParseManifest("header\nevent 0 0 1\n", "", bad, error));
    EXPECT_EQ(error, "line 2: \"event\" must follow the record it belongs to");
}

}  // namespace
