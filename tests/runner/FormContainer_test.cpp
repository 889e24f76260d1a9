// The container walk, the chunk trace and the reader table, on formpack-made files.
#include "LoaderTestSupport.h"

using namespace loadertest;

namespace {

// F = 14, room order [1, 0], object slots {A, empty, B}, two rooms, a path, a time line and
// empty code chunks.
formpack::FormFile GameWithTwoRooms() {
    formpack::FormFile f;
    f.header.format = 14;
    f.header.roomOrder = {1, 0};
    formpack::Path path;
    path.name = "path0";
    path.points = {{0, 0, 100}, {10, 0, 100}};
    f.paths = std::vector<formpack::Path>{path};
    formpack::TimeLine line;
    line.name = "tl0";
    line.moments = {{0, -1}};
    f.timeLines = std::vector<formpack::TimeLine>{line};
    formpack::Object a, b;
    a.name = "A";
    b.name = "B";
    f.objects = std::vector<std::optional<formpack::Object>>{a, std::nullopt, b};
    formpack::Room r0, r1;
    r0.name = "room0";
    r1.name = "room1";
    r1.instances.push_back(formpack::RoomInstance{});
    f.rooms = std::vector<std::optional<formpack::Room>>{r0, r1};
    f.code.emplace().empty = true;
    return f;
}

std::vector<uint32_t> g_objectOffsets;
std::vector<std::string> g_objectNames;
std::vector<int32_t> g_roomOrderSeen;

void FakeObjectReader(ChunkView& chunk) {
    const uint32_t n = chunk.Count(0, 4);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t entry = chunk.U32(4 + 4 * i);
        g_objectOffsets.push_back(entry);
        const char* name = entry ? chunk.RequiredString(chunk.FileU32(entry)) : nullptr;
        if (name) g_objectNames.emplace_back(name);
    }
}

void FakeRoomReader(ChunkView&) {
    g_roomOrderSeen.assign(g_GameHeader.roomOrder, g_GameHeader.roomOrder + g_GameHeader.roomCount);
}

class FormContainer : public LoaderTest {
protected:
    void SetUp() override {
        LoaderTest::SetUp();
        g_objectOffsets.clear();
        g_objectNames.clear();
        g_roomOrderSeen.clear();
    }
};

TEST_F(FormContainer, TwoRoomGameGivesTheChunkTraceAndReachesTheReaders) {
    ASSERT_TRUE(Form_RegisterChunkReader("OBJT", ChunkReader{FakeObjectReader}));
    ASSERT_TRUE(Form_RegisterChunkReader("ROOM", ChunkReader{FakeRoomReader}));
    const std::vector<uint8_t> bytes = Build(GameWithTwoRooms());
    ASSERT_TRUE(Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size())));

    ASSERT_TRUE(Form_FirstPass(Form_Base(), Form_Size()));
    EXPECT_EQ(Captured(), "Get Header Information\nInitHVSFunctions\nID_STRG\n");

    CapturedLines().clear();
    ASSERT_TRUE(LoadGameData(Form_Base(), Form_Size())) << (Form_LoadError() ? Form_LoadError() : "");
    EXPECT_EQ(Captured(),
              "LoadGameData()\n"
              "initialise everything!\n"
              "Process Chunk: GEN8   140\n"
              "Process Chunk: PATH   52\n"
              "No reader for chunk PATH, skipped\n"
              "Process Chunk: TMLN   68\n"
              "No reader for chunk TMLN, skipped\n"
              "Process Chunk: OBJT   376\n"
              "Process Chunk: ROOM   260\n"
              "Process Chunk: CODE   0\n"
              "Process Chunk: FUNC   0\n"
              "Process Chunk: STRG   120\n"
              "Process Chunk: VARI   0\n");

    EXPECT_EQ(g_roomOrderSeen, (std::vector<int32_t>{1, 0}));
    ASSERT_EQ(g_objectOffsets.size(), 3u);
    EXPECT_NE(g_objectOffsets[0], 0u);
    EXPECT_EQ(g_objectOffsets[1], 0u);
    EXPECT_NE(g_objectOffsets[2], 0u);
    EXPECT_EQ(g_objectNames, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(g_GameHeader.format, 14);
    EXPECT_STREQ(g_GameHeader.displayName, "Made with Halvane");
    EXPECT_FALSE(Form_HasBytecode());
}

TEST_F(FormContainer, OutputIsByteIdenticalRunToRun) {
    EXPECT_EQ(Build(GameWithTwoRooms()), Build(GameWithTwoRooms()));
}

TEST_F(FormContainer, UnknownTagIsLoggedAndThePassReportsIt) {
    std::vector<uint8_t> bytes = Build(GameWithTwoRooms());
    const uint8_t extra[] = {'Z', 'Z', 'Z', 'Z', 4, 0, 0, 0, 1, 2, 3, 4};
    bytes.insert(bytes.end(), extra, extra + sizeof extra);
    WriteU32(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
    EXPECT_FALSE(LoadBoth(bytes));
    EXPECT_EQ(Form_LoadError(), nullptr);  // not a bad file: the walk went on
    EXPECT_NE(Captured().find("Process Chunk: ZZZZ   4\nunknown Chunk ZZZZ:1515870810\n"), std::string::npos);
}

TEST_F(FormContainer, FormLengthThatDoesNotFitReadsNothing) {
    std::vector<uint8_t> bytes = Build(GameWithTwoRooms());
    WriteU32(bytes, 4, static_cast<uint32_t>(bytes.size()));
    EXPECT_TRUE(LoadBoth(bytes));
    EXPECT_EQ(Captured().find("Process Chunk"), std::string::npos);
    EXPECT_EQ(g_GameHeader.roomCount, 0);
}

TEST_F(FormContainer, FirstBytesNeedNotSayFormWhenTheLengthFits) {
    std::vector<uint8_t> bytes = Build(GameWithTwoRooms());
    std::memcpy(bytes.data(), "XXXX", 4);
    EXPECT_TRUE(LoadBoth(bytes));
    EXPECT_EQ(g_GameHeader.roomCount, 2);
}

TEST_F(FormContainer, OnlyTagsOfTheTableTakeReaders) {
    EXPECT_FALSE(Form_RegisterChunkReader("ZZZZ", ChunkReader{FakeRoomReader}));
    EXPECT_FALSE(Form_RegisterChunkReader("STRG", ChunkReader{FakeRoomReader}));
    EXPECT_TRUE(Form_RegisterChunkReader("SPRT", ChunkReader{FakeRoomReader}));
}

// Every way a file can lie about its bounds fails the load with a message naming the chunk.
struct BadFileCase {
    const char* name;
    void (*damage)(std::vector<uint8_t>& bytes);
    const char* chunk;
};

void ChunkLengthPastTheEnd(std::vector<uint8_t>& b) {
    WriteU32(b, ChunkData(b, "OBJT") - 4, 0x7FFFFFF0);
}
void TruncatedHeaderAtTheEnd(std::vector<uint8_t>& b) {
    b.insert(b.end(), {'T', 'X', 'T', 'R', 9});
    WriteU32(b, 4, static_cast<uint32_t>(b.size() - 8));
}
void RoomOrderPastTheHeader(std::vector<uint8_t>& b) {
    WriteU32(b, ChunkData(b, "GEN8") + 128, 1000);
}
void StringTablePastTheChunk(std::vector<uint8_t>& b) {
    WriteU32(b, ChunkData(b, "STRG"), 0x40000000);
}
void GameNameNotAString(std::vector<uint8_t>& b) {
    WriteU32(b, ChunkData(b, "GEN8") + 40, 9);
}
void GameNameOutsideTheFile(std::vector<uint8_t>& b) {
    WriteU32(b, ChunkData(b, "GEN8") + 40, 0xFFFFFFF0);
}
void StringEntryOutsideTheFile(std::vector<uint8_t>& b) {
    WriteU32(b, ChunkData(b, "STRG") + 4, 0xFFFFFFFF);
}
void ObjectOffsetOutsideTheFile(std::vector<uint8_t>& b) {
    WriteU32(b, ChunkData(b, "OBJT") + 4, static_cast<uint32_t>(b.size()));
}

TEST_F(FormContainer, BadFilesFailCleanlyNamingTheChunk) {
    const BadFileCase cases[] = {
        {"chunk length past the end", ChunkLengthPastTheEnd, "OBJT"},
        {"truncated chunk header", TruncatedHeaderAtTheEnd, "VARI"},
        {"room order past the header", RoomOrderPastTheHeader, "GEN8"},
        {"string table past the chunk", StringTablePastTheChunk, "STRG"},
        {"bad string reference", GameNameNotAString, "GEN8"},
        {"string reference outside the file", GameNameOutsideTheFile, "GEN8"},
        {"string table entry outside the file", StringEntryOutsideTheFile, "STRG"},
        {"object offset outside the file", ObjectOffsetOutsideTheFile, "OBJT"},
    };
    for (const BadFileCase& c : cases) {
        SCOPED_TRACE(c.name);
        Form_ResetChunkReaders();
        ASSERT_TRUE(Form_RegisterChunkReader("OBJT", ChunkReader{FakeObjectReader}));
        std::vector<uint8_t> bytes = Build(GameWithTwoRooms());
        c.damage(bytes);
        EXPECT_FALSE(LoadBoth(bytes));
        ASSERT_NE(Form_LoadError(), nullptr);
        EXPECT_NE(std::string(Form_LoadError()).find(std::string("\"") + c.chunk + "\""), std::string::npos)
            << Form_LoadError();
    }
}

TEST_F(FormContainer, AFailedLoadEndsTheProcessWithCodeOne) {
    std::vector<uint8_t> bytes = Build(GameWithTwoRooms());
    ChunkLengthPastTheEnd(bytes);
    EXPECT_EXIT(
        {
            if (!LoadBoth(bytes)) Form_FailLoad();
        },
        ::testing::ExitedWithCode(1), "");
}

}  // namespace
