// Saved games: the bytes a save holds, read back by a decoder of the test's own; a save loaded
// in a later step restoring instances, rooms, views, tiles and globals; and damaged, foreign
// and doubled loads leaving the running game as it was.
#include "world/GameSave.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "GameLoopTestSupport.h"
#include "core/ObjectBase.h"
#include "io/Buffer_Manager.h"
#include "io/IBuffer.h"
#include "io/LoadSave.h"
#include "world/IO_Main.h"
#include "world/Object_Class.h"
#include "world/World_Services.h"

using namespace gameloop_test;

namespace {

// Little-endian fields straight from the bytes, no buffer code involved.
struct Decoder {
    const std::vector<uint8_t>& bytes;
    size_t at = 0;

    uint32_t U32() {
        EXPECT_LE(at + 4, bytes.size());
        if (at + 4 > bytes.size()) return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(bytes[at + i]) << (8 * i);
        at += 4;
        return v;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    float F32() {
        const uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    double F64() {
        const uint64_t low = U32(), high = U32();
        const uint64_t bits = low | high << 32;
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    std::string Text() {
        std::string s;
        while (at < bytes.size() && bytes[at] != 0) s += char(bytes[at++]);
        ++at;
        return s;
    }
    void Skip(int words) {
        for (int i = 0; i < words; ++i) U32();
    }
    // A serialised value: its kind, then a double for reals, a text for strings.
    double Value() {
        const int32_t kind = I32();
        if (kind == VALUE_REAL) return F64();
        if (kind == VALUE_STRING) Text();
        return 0.0;
    }
};

struct DecodedInstance {
    int32_t id, deactivated, object;
    float x, y;
};

DecodedInstance DecodeInstance(Decoder& d, bool slots) {
    DecodedInstance i{};
    i.id = d.I32();
    i.deactivated = d.I32();
    i.object = d.I32();
    d.Skip(1 + 6 + 1 + 1 + 1 + 1);  // sprite, image fields, blend, mask, depth, precise
    i.x = d.F32();
    i.y = d.F32();
    d.Skip(11 + 4 + 3 + 12 + 1 + 1 + 5 + 1 + 2 + 1 + 3 + 2 + 1);
    if (slots) {
        const int32_t count = d.I32();
        for (int32_t s = 0; s < count; ++s) d.Value();
    }
    return i;
}

// What the consoles print while it lives.
class ConsoleCaptureLines {
public:
    ConsoleCaptureLines() {
        Text().clear();
        Console_SetDebuggerSink([](const char* text) { Text() += text; });
    }
    ~ConsoleCaptureLines() { Console_SetDebuggerSink(nullptr); }
    ConsoleCaptureLines(const ConsoleCaptureLines&) = delete;
    ConsoleCaptureLines& operator=(const ConsoleCaptureLines&) = delete;
    static std::string& Text() {
        static std::string text;
        return text;
    }
};

class GameSaveTest : public GameLoopTest {
protected:
    void SetUp() override {
        GameLoopTest::SetUp();
        IO_Init();
        Variable_InitFlags();
        ASSERT_TRUE(
            Load(MakeGame({MakeObject("ball"), MakeObject("wall")},
                          {MakeRoom("first", {At(0, 100001, 10, 20), At(0, 100002, 30, 40), At(1, 100003)}),
                           MakeRoom("second")},
                          {0, 1})));
        g_GlobalObject = PWObjectBase_Alloc(3, VALUE_UNSET, true);
        Start();
        g_GlobalObject->slots[0] = RValue_Real(7.5);
        g_GlobalObject->slots[2] = RValue_Real(-2.0);
        m_buffer = Buffer_Create(64, eBufferType_Grow, 1);
    }
    void TearDown() override {
        GameLoad_ClearQueue();
        Buffer_FreeAll();
        IO_End();
        World_InstallServices(nullptr);
        GameLoopTest::TearDown();
    }

    // The saved bytes of the game's buffer.
    std::vector<uint8_t> SavedBytes() const {
        IBuffer* b = Buffer_GetByIndex(m_buffer);
        return std::vector<uint8_t>(b->GetData(), b->GetData() + b->GetPosition());
    }
    // A fresh game buffer holding the bytes, ready to be queued.
    static int32_t BufferOf(const std::vector<uint8_t>& bytes) {
        const int32_t index = Buffer_Create(static_cast<int32_t>(bytes.size()), eBufferType_Grow, 1);
        IBuffer* b = Buffer_GetByIndex(index);
        std::memcpy(b->GetData(), bytes.data(), bytes.size());
        b->Seek(0, 0);
        return index;
    }

    // What a test changes between save and load, and checks afterwards.
    static std::string World() {
        std::string s =
            "room " + std::to_string(Run_RoomIndex()) + " score " + std::to_string(g_RunState.score);
        for (CInstance* i = Run_Room()->active.head; i != nullptr; i = i->depthNext)
            s += " " + std::to_string(i->id) + "@" + std::to_string(int(i->x)) + "," +
                 std::to_string(int(i->y));
        s += " globals " + std::to_string(g_GlobalObject->slots[0].val);
        return s;
    }

    int32_t m_buffer = -1;
};

TEST_F(GameSaveTest, SaveHoldsTheFourBlocksFieldByField) {
    g_RunState.score = 42;
    g_RunState.health = 37.25;
    CRoom* room = Run_Room();
    room->views[0].viewX = 10.75f;
    room->views[0].portW = 320;
    room->backgrounds[1].x = 10.75f;
    RoomTile tile;
    tile.x = 5;
    tile.background = 3;
    const int32_t tileIndex = room->AddTile(tile);
    const int32_t tileId = room->tiles[tileIndex].id;
    ASSERT_TRUE(GameSave_Buffer(m_buffer));

    const std::vector<uint8_t> bytes = SavedBytes();
    Decoder d{bytes};
    EXPECT_EQ(d.I32(), 851);
    EXPECT_EQ(d.I32(), g_GameHeader.gameId);
    EXPECT_EQ(d.I32(), 0) << "room";
    EXPECT_EQ(d.I32(), -1) << "pending room change";
    EXPECT_EQ(d.I32(), 0) << "transition";
    EXPECT_EQ(d.I32(), 42);
    EXPECT_EQ(d.I32(), 1) << "show_score";
    EXPECT_EQ(d.I32(), 0) << "caption flag";
    EXPECT_EQ(d.Text(), "Score: '");
    EXPECT_EQ(d.I32(), -1) << "lives";
    EXPECT_EQ(d.I32(), 0);
    EXPECT_EQ(d.Text(), "Lives: ");
    EXPECT_EQ(d.F64(), 37.25);
    EXPECT_EQ(d.I32(), 0);
    EXPECT_EQ(d.Text(), "Health: ");
    EXPECT_EQ(d.I32(), -1) << "cursor";
    d.I32();  // steps
    EXPECT_EQ(d.I32(), 1) << "draw events";

    ASSERT_EQ(d.I32(), 3) << "global slots";
    EXPECT_EQ(d.Value(), 7.5);
    d.Value();
    EXPECT_EQ(d.Value(), -2.0);
    const int32_t flags = d.I32();
    d.Skip(flags);

    ASSERT_EQ(d.I32(), 2) << "working-room slots";
    EXPECT_EQ(d.I32(), Room_LastInstanceID());
    EXPECT_EQ(d.I32(), Room_LastTileID());
    ASSERT_EQ(d.I32(), 1) << "slot 0 present";
    EXPECT_EQ(d.Text(), "");
    EXPECT_EQ(d.I32(), 640);
    EXPECT_EQ(d.I32(), 480);
    EXPECT_EQ(d.I32(), 60);
    EXPECT_EQ(d.I32(), 0) << "persistent";
    EXPECT_EQ(d.U32(), 0xC0C0C0u);
    EXPECT_EQ(d.I32(), 1);
    EXPECT_EQ(d.Text(), "");
    for (int b = 0; b < 8; ++b) {
        d.Skip(3);
        const float x = d.F32();
        if (b == 1) {
            EXPECT_EQ(x, 10.75f) << "backgrounds keep their fractions";
        }
        d.Skip(9);
    }
    d.I32();
    for (int v = 0; v < 8; ++v) {
        d.I32();
        const int32_t x = d.I32();
        d.Skip(5);
        const int32_t portW = d.I32();
        if (v == 0) {
            EXPECT_EQ(x, 10) << "view positions are cut to whole numbers";
            EXPECT_EQ(portW, 320);
        }
        d.Skip(8);
    }
    ASSERT_EQ(d.I32(), 1) << "tiles";
    EXPECT_EQ(d.F32(), 5.0f);
    d.F32();
    EXPECT_EQ(d.I32(), 3);
    d.Skip(5);
    EXPECT_EQ(d.I32(), tileId);
    d.Skip(5);
    const bool slots = g_VariableSettings.instanceSlotCount != 0;
    ASSERT_EQ(d.I32(), 3) << "active instances";
    std::vector<int32_t> ids;
    for (int n = 0; n < 3; ++n) {
        const DecodedInstance i = DecodeInstance(d, slots);
        ids.push_back(i.id);
        if (i.id == 100002) {
            EXPECT_EQ(i.x, 30.0f);
            EXPECT_EQ(i.y, 40.0f);
            EXPECT_EQ(i.object, 0);
        }
    }
    EXPECT_EQ(std::set<int32_t>(ids.begin(), ids.end()), (std::set<int32_t>{100001, 100002, 100003}));
    EXPECT_EQ(d.I32(), 0) << "deactivated instances";
    EXPECT_EQ(d.I32(), 0) << "slot 1 absent";

    EXPECT_EQ(d.I32(), 851) << "virtual keys";
    ASSERT_EQ(d.I32(), 128);
    d.Skip(128 * 11);  // two 16-bit fields share a word's worth, then ten words
    EXPECT_EQ(d.at, bytes.size()) << "nothing after the virtual keys";
}

TEST_F(GameSaveTest, LoadWaitsForTheNextStepAndRestoresTheWorld) {
    g_RunState.score = 42;
    Run_Room()->views[0].viewX = 10.75f;
    const int32_t lastId = Room_LastInstanceID();
    ASSERT_TRUE(GameSave_Buffer(m_buffer));
    const std::string saved = World();

    CInstance* ball = Instance_Find(100002);
    ball->x = 300;
    Run_Room()->CreateInstance(1, 2, 1);
    Instance_Find(100001)->destroyed = 1;
    g_RunState.score = 0;
    g_GlobalObject->slots[0] = RValue_Real(1.0);
    Buffer_GetByIndex(m_buffer)->Seek(0, 0);
    ASSERT_TRUE(GameLoad_QueueBuffer(m_buffer));
    EXPECT_NE(World(), saved) << "nothing happens before the step";

    DoAStep();
    EXPECT_EQ(World(), saved);
    EXPECT_EQ(Room_LastInstanceID(), lastId) << "the next id handed out is the saved one";
    EXPECT_EQ(Run_Room()->views[0].viewX, 10.0f);
    EXPECT_EQ(Instance_Find(100002)->object_index, 0);
    EXPECT_EQ(CountInstances(0), 2);
    EXPECT_EQ(CountInstances(1), 1);
    EXPECT_EQ(Object_Find(0)->instances.Count(), 2) << "the loaded instances are their object's again";
}

TEST_F(GameSaveTest, KeptRoomComesBackInItsSlotOutOfTheIdTable) {
    Run_Room()->persistent = true;
    Instance_Find(100002)->x = 55;
    SwitchRoom(1);
    ASSERT_EQ(Run_RoomIndex(), 1);
    ASSERT_TRUE(GameSave_Buffer(m_buffer));
    SwitchRoom(0);
    Instance_Find(100002)->x = 1;
    SwitchRoom(1);

    Buffer_GetByIndex(m_buffer)->Seek(0, 0);
    ASSERT_TRUE(GameLoad_QueueBuffer(m_buffer));
    ASSERT_TRUE(GameLoad_PerformQueued());
    EXPECT_EQ(Run_RoomIndex(), 1);
    ASSERT_NE(Run_WorkingRoom(0), nullptr);
    EXPECT_EQ(Run_WorkingRoom(0)->active.count, 3);
    EXPECT_EQ(Instance_Find(100002), nullptr) << "a kept room's instances wait outside the table";
    EXPECT_EQ(Object_Find(0)->instances.Count(), 0);

    SwitchRoom(0);
    ASSERT_NE(Instance_Find(100002), nullptr);
    EXPECT_EQ(Instance_Find(100002)->x, 55.0f);
    EXPECT_EQ(Object_Find(0)->instances.Count(), 2);
}

TEST_F(GameSaveTest, DamagedOrForeignSavesLeaveTheGameRunning) {
    ASSERT_TRUE(GameSave_Buffer(m_buffer));
    const std::vector<uint8_t> bytes = SavedBytes();
    Instance_Find(100002)->x = 300;
    g_RunState.score = 5;
    const std::string before = World();

    std::vector<uint8_t> foreign = bytes;
    foreign[0] = 0x52;  // 850
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
    };
    const Case cases[] = {
        {"cut in the rooms", std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2)},
        {"cut in the virtual keys", std::vector<uint8_t>(bytes.begin(), bytes.end() - 8)},
        {"cut in the header", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10)},
        {"another version", foreign},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(GameLoad_QueueBuffer(BufferOf(c.data))) << c.what;
        EXPECT_FALSE(GameLoad_PerformQueued()) << c.what;
        EXPECT_EQ(World(), before) << c.what;
        ASSERT_NE(Instance_Find(100003), nullptr) << c.what;
    }
    DoAStep();
    EXPECT_EQ(World(), before);
}

TEST_F(GameSaveTest, OnlyOneLoadIsQueued) {
    ASSERT_TRUE(GameSave_Buffer(m_buffer));
    ConsoleCaptureLines console;
    const int32_t second = BufferOf(SavedBytes());
    Buffer_GetByIndex(m_buffer)->Seek(0, 0);
    EXPECT_TRUE(GameLoad_QueueBuffer(m_buffer));
    EXPECT_FALSE(GameLoad_QueueBuffer(second));
    EXPECT_FALSE(GameLoad_QueueBuffer(999));
    EXPECT_TRUE(GameLoad_PerformQueued());
    EXPECT_FALSE(GameLoad_PerformQueued()) << "nothing is left queued";
    EXPECT_FALSE(GameLoad_QueueBuffer(999));
    EXPECT_EQ(console.Text(),
              "WARNING: Load game being ignored due to load game already queued\n"
              "WARNING: Load game being ignored due to load game already queued\n"
              "WARNING: No buffer available for 999\n");
}

TEST_F(GameSaveTest, BufferDeletedWhileQueuedFailsTheLoad) {
    ASSERT_TRUE(GameSave_Buffer(m_buffer));
    Buffer_GetByIndex(m_buffer)->Seek(0, 0);
    ASSERT_TRUE(GameLoad_QueueBuffer(m_buffer));
    Buffer_Free(m_buffer);
    const std::string before = World();
    EXPECT_FALSE(GameLoad_PerformQueued());
    EXPECT_EQ(World(), before);
}

TEST_F(GameSaveTest, FilesInTheSaveArea) {
    const char* base = std::getenv("HV_TEST_TMP");
    std::filesystem::path parent = base && *base ? base : std::filesystem::temp_directory_path().string();
    std::filesystem::create_directories(parent);
    std::string folder = (parent / "save-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    LoadSave_SetSaveArea((folder + "/").c_str());

    g_RunState.score = 9;
    const std::string saved = World();
    ASSERT_TRUE(GameSave_File("slot/one.sav"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/slot/one.sav"));
    g_RunState.score = 1;
    Instance_Find(100001)->y = 99;
    {
        ConsoleCaptureLines console;
        GameLoad_File("slot/one.sav");
        GameLoad_File("slot/one.sav");
        GameLoad_File("missing.sav");
        GameLoad_File(nullptr);
        EXPECT_EQ(console.Text(),
                  "WARNING: Load game being ignored due to load game already queued\n"
                  "WARNING: Game load failed,  not found\n"
                  "WARNING: Game load failed, null filename passed\n");
    }
    DoAStep();
    EXPECT_EQ(World(), saved);
    EXPECT_EQ(Buffer_GetByIndex(1), nullptr) << "the file's buffer is freed after the load";

    LoadSave_SetSaveArea("");
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

}  // namespace
