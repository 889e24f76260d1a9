// The general header by format, the game options in both formats and the language table.
#include "LoaderTestSupport.h"

using namespace loadertest;

namespace {

class GameHeaderTest : public LoaderTest {};

float g_rateSeen = 0;
uint32_t g_colourSeen = 0;

TEST_F(GameHeaderTest, RoomOrderIsFoundAtTheFormatsPlace) {
    for (int format : {5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}) {
        SCOPED_TRACE(format);
        formpack::FormFile f;
        f.header.format = static_cast<uint8_t>(format);
        f.header.roomOrder = {2, 0, 1};
        f.header.lastInstanceId = 100123;
        ASSERT_TRUE(LoadBoth(Build(f)));
        ASSERT_EQ(g_GameHeader.roomCount, 3);
        EXPECT_EQ(g_GameHeader.roomOrder[0], 2);
        EXPECT_EQ(g_GameHeader.roomOrder[2], 1);
        EXPECT_EQ(g_GameHeader.lastInstanceId, 100123);
        EXPECT_EQ(g_GameHeader.newReferenceFormat, format >= 15);
    }
}

TEST_F(GameHeaderTest, FormatNineKeepsTheDefaultsOfLaterWords) {
    formpack::FormFile f;
    f.header.format = 9;
    f.header.displayName = "Not Read";
    f.header.optionFlags = 4;
    f.header.gameName = "cats";
    f.header.windowWidth = 800;
    ASSERT_TRUE(LoadBoth(Build(f)));
    EXPECT_STREQ(g_GameHeader.displayName, "Made with Halvane");
    EXPECT_EQ(g_GameHeader.optionFlags, ~0ull);
    EXPECT_EQ(g_GameHeader.debuggerPort, 6502);
    EXPECT_STREQ(g_GameHeader.gameName, "cats");
    EXPECT_EQ(g_GameHeader.windowWidth, 800);
    EXPECT_EQ(g_GameHeader.compatibilityLevel, 800);
}

TEST_F(GameHeaderTest, LayerModelHeaderSetsFrameRateFlagsAndNames) {
    g_LoaderHooks.setFrameRate = [](float r) { g_rateSeen = r; };
    g_Switches.windowedOverride = true;
    formpack::FormFile f;
    f.header.format = 16;
    f.header.major = 2;
    f.header.frameRate = 45.5f;
    f.header.roomOrder = {0};
    f.header.displayName = "Cats";
    f.header.infoFlags = 0x1 | 0x1000 | 0x8000;
    f.header.optionFlags = 4;
    f.header.steamAppId = 480;
    f.header.debuggerPort = 6510;
    ASSERT_TRUE(LoadBoth(Build(f)));
    g_Switches.windowedOverride = false;
    EXPECT_TRUE(g_GameHeader.layerModel);
    EXPECT_TRUE(g_GameHeader.hasFrameRate);
    EXPECT_EQ(g_rateSeen, 45.5f);
    EXPECT_STREQ(g_GameHeader.displayName, "Cats");
    EXPECT_EQ(g_GameHeader.infoFlags, 0x9000u);  // full screen cleared by "-inawindow"
    EXPECT_TRUE(g_GameHeader.objectMode);
    EXPECT_TRUE(g_GameHeader.externalsDisabled);
    EXPECT_EQ(g_GameHeader.optionFlags, 4u);
    EXPECT_EQ(g_GameHeader.steamAppId, 480);
    EXPECT_EQ(g_GameHeader.debuggerPort, 6510);
}

formpack::FormFile WithOptions(const formpack::Options& o) {
    formpack::FormFile f;
    f.options = o;
    return f;
}

TEST_F(GameHeaderTest, NewFormatFlagsSetTheirSwitches) {
    formpack::Options o;
    uint32_t flags = 0;
    for (int bit : {2, 4, 9, 11, 12, 13, 14, 18, 19, 22, 23}) flags |= 1u << bit;
    o.flags = flags;
    o.words[5] = 0x112233;
    o.words[7] = 7;
    g_LoaderHooks.setWindowColour = [](uint32_t c) { g_colourSeen = c; };
    ASSERT_TRUE(LoadBoth(Build(WithOptions(o))));
    const GameOptions& g = g_GameOptions;
    EXPECT_TRUE(g.newAudioEngine);
    EXPECT_TRUE(g.showCursor);
    EXPECT_TRUE(g.altEnterFullScreen);
    EXPECT_TRUE(g.unsetVariablesNotZero);
    EXPECT_FALSE(g.freezeWhenInactive);
    EXPECT_FALSE(g.errorsFatal);
    EXPECT_FALSE(g.collisionTreeMode);
    EXPECT_EQ(g_colourSeen, 0x112233u);
    int32_t w = 0, h = 0;
    EXPECT_FALSE(Options_Resolution(&w, &h));  // setting 7 leaves the display alone
}

TEST_F(GameHeaderTest, OldFormatReadsOneWordPerOption) {
    formpack::Options o;
    o.newFormat = false;
    o.words[0] = 1;   // full screen
    o.words[4] = 0;   // show cursor off
    o.words[11] = 3;  // resolution 800x600
    o.words[12] = 5;  // 120 Hz
    o.words[22] = 1;  // freeze when inactive
    o.words[32] = 1;  // errors are fatal
    o.constants = {{"VersionMinor", "12abc"}, {"VersionMajor", " -3"}, {"versionminor", "99"}};
    ASSERT_TRUE(LoadBoth(Build(WithOptions(o))));
    const GameOptions& g = g_GameOptions;
    EXPECT_TRUE(g.fullScreen);
    EXPECT_FALSE(g.showCursor);
    EXPECT_TRUE(g.freezeWhenInactive);
    EXPECT_TRUE(g.errorsFatal);
    EXPECT_EQ(g.versionMinor, 12);
    EXPECT_EQ(g.versionMajor, -3);
    ASSERT_EQ(g.constantCount, 3);
    EXPECT_STREQ(g.constantNames[2], "versionminor");
    EXPECT_STREQ(g.constantValues[0], "12abc");
    int32_t w = 0, h = 0;
    EXPECT_TRUE(Options_Resolution(&w, &h));
    EXPECT_EQ(w, 800);
    EXPECT_EQ(Options_RefreshRate(), 120);
}

TEST_F(GameHeaderTest, NewFormatOfAnotherVersionChangesNothing) {
    formpack::Options o;
    o.version = 3;
    o.flags = 1u << 21;
    o.constants = {{"A", "1"}};
    ASSERT_TRUE(LoadBoth(Build(WithOptions(o))));
    EXPECT_FALSE(g_GameOptions.errorsFatal);
    EXPECT_EQ(g_GameOptions.constantCount, 0);
}

TEST_F(GameHeaderTest, OptionsWithABadConstantFailNamingTheChunk) {
    formpack::Options o;
    o.constants = {{"A", "1"}};
    std::vector<uint8_t> bytes = Build(WithOptions(o));
    WriteU32(bytes, ChunkData(bytes, "OPTN") + 64, 3);  // the name reference
    EXPECT_FALSE(LoadBoth(bytes));
    ASSERT_NE(Form_LoadError(), nullptr);
    EXPECT_NE(std::string(Form_LoadError()).find("\"OPTN\""), std::string::npos);
}

TEST_F(GameHeaderTest, LanguageTableKeepsTextsByLanguage) {
    formpack::FormFile f;
    f.languages = formpack::LanguageTable{
        {"hello", "bye"}, {{"English", "en", {"Hello", "Bye"}}, {"Deutsch", "de", {"Hallo", "Tschuess"}}}};
    ASSERT_TRUE(LoadBoth(Build(f)));
    const LanguageTable& t = g_LanguageTable;
    EXPECT_EQ(t.current, 0);
    ASSERT_EQ(t.languageCount, 2);
    ASSERT_EQ(t.entryCount, 2);
    EXPECT_STREQ(t.entryNames[1], "bye");
    EXPECT_STREQ(t.languages[1].name, "Deutsch");
    EXPECT_STREQ(t.languages[1].secondName, "de");
    EXPECT_STREQ(t.languages[1].texts[1], "Tschuess");
    EXPECT_TRUE(IsPointerInGameData(t.languages[0].texts[0]));
}

TEST_F(GameHeaderTest, LanguageTableWithoutLanguagesHasNoCurrentLanguage) {
    formpack::FormFile f;
    f.languages = formpack::LanguageTable{{"hello"}, {}};
    ASSERT_TRUE(LoadBoth(Build(f)));
    EXPECT_EQ(g_LanguageTable.current, -1);
    EXPECT_EQ(g_LanguageTable.entryCount, 0);
}

TEST_F(GameHeaderTest, LanguageTableLargerThanItsChunkFails) {
    formpack::FormFile f;
    f.languages = formpack::LanguageTable{{"hello"}, {{"English", "en", {"Hello"}}}};
    std::vector<uint8_t> bytes = Build(f);
    WriteU32(bytes, ChunkData(bytes, "LANG") + 4, 1000);
    EXPECT_FALSE(LoadBoth(bytes));
    ASSERT_NE(Form_LoadError(), nullptr);
    EXPECT_NE(std::string(Form_LoadError()).find("\"LANG\""), std::string::npos);
    EXPECT_EQ(g_LanguageTable.current, -1);
}

}  // namespace
