#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ServicesTestSupport.h"
#include "io/LoadSave.h"
#include "world/Run.h"
#include "services/Run_Score.h"

using namespace servicestest;

namespace {

class HighscoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("HV_TEST_TMP");
        std::filesystem::path parent = base && *base ? base : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(parent);
        std::string pattern = (parent / "hiscore-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        Highscore_Init();
    }
    void TearDown() override {
        Highscore_Free();
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    std::string Path(const char* name) const { return folder + "/" + name; }

    // Runs a Python program that writes `name` in the folder with struct.pack.
    void PythonWrites(const char* name, const std::string& body) {
        const std::string script = Path("write.py");
        std::ofstream(script) << "import struct, sys\npath = sys.argv[1]\n" << body;
        const std::string command = "python3 '" + script + "' '" + Path(name) + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << body;
    }

    static std::vector<uint8_t> Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static std::vector<std::pair<std::string, int32_t>> Table() {
        std::vector<std::pair<std::string, int32_t>> table;
        for (int32_t place = 1; place <= HIGHSCORE_PLACES; ++place) {
            const char* name = Highscore_Name(place);
            table.emplace_back(name ? name : "<absent>", Highscore_Value(place));
        }
        return table;
    }

    std::string folder;
};

// Entries as the file lays them out: name length, name, 0xF0 padding to 4, value.
constexpr const char* kPythonEntries = R"PY(
def entry(name, value):
    data = name.encode("utf-8")
    pad = (4 - len(data) % 4) % 4
    return struct.pack("<I", len(data)) + data + b"\xf0" * pad + struct.pack("<i", value)
def table(entries, extra=0):
    body = b"".join(entries)
    return b"HISC" + struct.pack("<I", 8 + len(body) + extra) + body
)PY";

}  // namespace

TEST_F(HighscoreTest, AddKeepsTheTableSortedAndOnlyStrictlyBetterScoresEnter) {
    Highscore_Add("ann", 0);
    EXPECT_FALSE(Highscore_Changed());
    Highscore_Add("ann", 50);
    EXPECT_TRUE(Highscore_Changed());
    EXPECT_EQ(Table()[0], std::make_pair(std::string("ann"), 50));
    for (int32_t place = 2; place <= 10; ++place) EXPECT_EQ(Table()[place - 1].first, "<nobody>");
    Highscore_Add("bob", 30);
    Highscore_Add("cid", 30);
    Highscore_Add("dan", 30);  // equal scores go below the ones already there
    EXPECT_EQ(Table()[3], std::make_pair(std::string("dan"), 30));
    for (int32_t i = 0; i < 7; ++i) Highscore_Add("top", 100 + i);
    EXPECT_EQ(Table()[9], std::make_pair(std::string("cid"), 30));  // dan fell off the end
    EXPECT_EQ(Table()[0], std::make_pair(std::string("top"), 106));
    Highscore_Add(nullptr, 1000);
    EXPECT_EQ(Table()[0], std::make_pair(std::string("<absent>"), 1000));

    Highscore_Clear();
    EXPECT_EQ(Table()[0], std::make_pair(std::string("<nobody>"), 0));
}

TEST_F(HighscoreTest, PlacesOutsideTheTableHoldNothing) {
    Highscore_SetEntry(0, "x", 5);
    Highscore_SetEntry(11, "x", 5);
    Highscore_SetEntry(3, nullptr, 7);
    EXPECT_FALSE(Highscore_Changed());
    EXPECT_EQ(Table()[2], std::make_pair(std::string(""), 7));
    for (int32_t place : {0, 11, -1}) {
        EXPECT_EQ(Call("highscore_value", {RValue_Real(place)}).val, 0) << place;
        EXPECT_EQ(TakeText(Call("highscore_name", {RValue_Real(place)})), "<none>") << place;
    }
    EXPECT_EQ(TakeText(Call("highscore_name", {RValue_Real(1)})), "<nobody>");
}

TEST_F(HighscoreTest, AFileWrittenFromTheLayoutLoadsAndSavesBackByteForByte) {
    PythonWrites("hiscore.dat", std::string(kPythonEntries) + R"PY(
names = [("zoë", 900), ("four", 800), ("", 0), ("x" * 256, -5)] + [("<nobody>", 0)] * 6
open(path, "wb").write(table([entry(n, v) for n, v in names]))
)PY");
    Highscore_Load(Path("hiscore.dat").c_str());
    EXPECT_EQ(Table()[0], std::make_pair(std::string("zoë"), 900));
    EXPECT_EQ(Table()[1], std::make_pair(std::string("four"), 800));
    EXPECT_EQ(Table()[2], std::make_pair(std::string("<absent>"), 0));
    EXPECT_EQ(Table()[3], std::make_pair(std::string(256, 'x'), -5));
    Highscore_Save(Path("again.dat").c_str());
    EXPECT_EQ(Bytes(Path("again.dat")), Bytes(Path("hiscore.dat")));
}

TEST_F(HighscoreTest, TheExampleFileHasPaddingOfF0AndTheTotalSize) {
    Highscore_Add("abc", 20);
    Highscore_Add("abcd", 10);
    Highscore_Save(Path("sub/hiscore.dat").c_str());  // missing folders are made
    EXPECT_FALSE(Highscore_Changed());
    const std::vector<uint8_t> bytes = Bytes(Path("sub/hiscore.dat"));
    ASSERT_EQ(bytes.size(), 160u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "HISC");
    EXPECT_EQ(bytes[4], 160);
    EXPECT_EQ(bytes[8], 3);
    EXPECT_EQ(bytes[15], 0xF0);  // "abc" and one padding byte
    EXPECT_EQ(bytes[16], 20);
    EXPECT_EQ(bytes[20], 4);
    EXPECT_EQ(bytes[28], 10);  // "abcd" needs no padding
    EXPECT_EQ(bytes[32], 8);
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 44), "<nobody>");
}

TEST_F(HighscoreTest, AnEmptyNameKeepsItsValueOnceThenReadsBackNameless) {
    Highscore_Add("", 70);
    Highscore_Save(Path("a.dat").c_str());
    Highscore_Init();
    Highscore_Load(Path("a.dat").c_str());
    EXPECT_EQ(Table()[0], std::make_pair(std::string("<absent>"), 70));
    Highscore_Save(Path("b.dat").c_str());
    const std::vector<uint8_t> bytes = Bytes(Path("b.dat"));
    ASSERT_GE(bytes.size(), 16u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 8, bytes.begin() + 16), std::vector<uint8_t>(8, 0));
}

TEST_F(HighscoreTest, BrokenFilesLeaveThePlacesTheyCannotFill) {
    struct Case {
        const char* what;
        const char* python;
        int32_t placesRead;
    };
    const Case cases[] = {
        {"a first name of 300 bytes",
         "open(path, 'wb').write(table([struct.pack('<I', 300)] + [entry('a', 1)] * 9))", 0},
        {"a stored size one past the end", "open(path, 'wb').write(table([entry('a', 1)] * 10, extra=1))", 0},
        {"a foreign header", "open(path, 'wb').write(b'HISX' + table([entry('a', 1)] * 10)[4:])", 0},
        {"a file shorter than its header", "open(path, 'wb').write(b'HIS')", 0},
        {"three entries only", "open(path, 'wb').write(table([entry('a', 1)] * 3))", 3},
        {"a name that runs past the data",
         "open(path, 'wb').write(table([entry('a', 1), struct.pack('<I', 200)]))", 1},
        {"a value cut short", "open(path, 'wb').write(table([entry('a', 1)])[:-2])", 0},
    };
    // One Python run writes every case's file (bad0.dat, bad1.dat, ...).
    std::string program = kPythonEntries;
    program += "base = path\n";
    for (size_t i = 0; i < std::size(cases); ++i)
        program += "path = base + '" + std::to_string(i) + ".dat'\n" + cases[i].python + "\n";
    PythonWrites("bad", program);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        Highscore_Init();
        Highscore_Load(Path(("bad" + std::to_string(i) + ".dat").c_str()).c_str());
        for (int32_t place = 1; place <= HIGHSCORE_PLACES; ++place) {
            const bool read = place <= c.placesRead;
            EXPECT_EQ(Table()[place - 1].first, read ? "a" : "<nobody>") << c.what << ", place " << place;
        }
        EXPECT_FALSE(Highscore_Changed());
    }
    Highscore_Init();
    Highscore_Load(Path("missing.dat").c_str());
    EXPECT_EQ(Table()[0].first, "<nobody>");
}

TEST_F(HighscoreTest, SettingsTakeTheirDefaultsAndTheBuiltinsRecordThem) {
    HighscoreSettings& settings = Highscore_Settings();
    EXPECT_STREQ(settings.caption->text, "Top Ten Players");
    EXPECT_STREQ(settings.closeHint->text, "press <Escape> to close");
    EXPECT_STREQ(settings.fontName->text, "Times New Roman");
    EXPECT_EQ(settings.backgroundColour, 0xF0FBFF);
    EXPECT_EQ(settings.newColour, 0x0000FF);
    Call("highscore_set_strings", {Text("Best"), Text("---"), Text("Esc")});
    Call("highscore_set_font", {RValue_Real(3), RValue_Real(20), RValue_Real(0)});  // not a name: ignored
    EXPECT_EQ(settings.fontSize, 12);
    Call("highscore_set_font", {Text("Serif"), RValue_Real(20), RValue_Real(0)});
    EXPECT_STREQ(settings.fontName->text, "Serif");
    EXPECT_EQ(settings.fontSize, 20);
    Call("highscore_clear");
    EXPECT_EQ(TakeText(Call("highscore_name", {RValue_Real(10)})), "---");
    Call("highscore_add", {Text("me"), RValue_Real(42)});
    EXPECT_EQ(Call("highscore_value", {RValue_Real(1)}).val, 42);
}

TEST_F(HighscoreTest, AddCurrentEntersTheScoreAsDefaultAndOnlyAnAddIsSavedAtTheEnd) {
    const int32_t score = g_RunState.score;
    g_RunState.score = 25;
    Call("highscore_add_current");
    g_RunState.score = score;
    EXPECT_EQ(Table()[0], std::make_pair(std::string("DEFAULT"), 25));
    EXPECT_TRUE(Highscore_Changed());
    Highscore_Clear();
    EXPECT_TRUE(Highscore_Changed());  // a clear is no change of its own, nor does it undo one
    Highscore_Save(Path("h.dat").c_str());
    EXPECT_FALSE(Highscore_Changed());
    Highscore_SetEntry(1, "x", 9);
    EXPECT_FALSE(Highscore_Changed());
}

TEST_F(HighscoreTest, TheTableLivesInHiscoreDatInTheSaveAreaAndOnlyAnAddWritesIt) {
    const std::string previous = LoadSave_GetSaveArea();
    LoadSave_SetSaveArea(folder.c_str());
    Highscore_SaveAtEnd();
    EXPECT_FALSE(std::filesystem::exists(Path("hiscore.dat")));
    Highscore_Add("kim", 12);
    Highscore_SaveAtEnd();
    EXPECT_TRUE(std::filesystem::exists(Path("hiscore.dat")));
    Highscore_Init();
    Highscore_LoadAtStart();
    EXPECT_EQ(Table()[0], std::make_pair(std::string("kim"), 12));

    // A game without a name has no save area, and so no table file.
    LoadSave_SetSaveArea("");
    Highscore_Init();
    Highscore_LoadAtStart();
    EXPECT_EQ(Table()[0].first, "<nobody>");
    LoadSave_SetSaveArea(previous.c_str());
}
