#include <fcntl.h>
#include <sys/stat.h>

#include "IoTestSupport.h"
#include "core/MemoryManager.h"
#include "io/LoadSave.h"
#include "io/Support_File.h"

namespace fs = std::filesystem;
using iotest::ReadFile;

namespace {

// Current folder <root>/cwd, bundle and working folder <root>/game, save area under HOME.
class SaveAreaTest : public iotest::TempTreeTest {
protected:
    void SetUp() override {
        TempTreeTest::SetUp();
        save = LoadSave_MakeSaveArea("MyGame", false);
        ASSERT_EQ(save, home + "/.local/share/MyGame/");
        LoadSave_SetSaveArea(save.c_str());
        LoadSave_SetBundleFolder((root + "/game/").c_str());
        LoadSave_SetWorkingFolder((root + "/game/").c_str());
    }

    // "@S/" stands for the save area, "@T/" for the temporary root.
    std::string Expand(const std::string& text) const {
        if (text.rfind("@S/", 0) == 0) return save + text.substr(3);
        if (text.rfind("@T/", 0) == 0) return root + "/" + text.substr(3);
        return text;
    }

    std::string save;
};

struct ResolveCase {
    const char* name;
    const char* savePath;    // "" refused
    const char* bundlePath;  // "" not readable
};

const ResolveCase kResolveCases[] = {
    {"a.txt", "@S/a.txt", "@T/game/a.txt"},
    {"sub/b.txt", "@S/sub/b.txt", "@T/game/sub/b.txt"},
    {"a\\b.txt", "@S/a/b.txt", "@T/game/a/b.txt"},
    {"./x/../y.txt", "@S/y.txt", "@T/game/y.txt"},
    {"../x", "", ""},
    {"sub/../../x", "", ""},
    {"/etc/x", "", ""},
    {"", "", ""},
    {"@T/cwd/e.txt", "@S/e.txt", "@T/game/e.txt"},
    {"@T/cwd2/x", "", ""},         // sibling whose name starts with the current folder's
    {"@S/c.txt", "@S/c.txt", ""},  // already in the save area
    {"@S/../MyGame2/x", "", ""},   // sibling of the save area
    {"@T/home/.local/share/MyGameX/x", "", ""},
    {"@T/game/d.txt", "@S/d.txt", "@T/game/d.txt"},  // working folder
    {"@T/game2/d.txt", "", ""},
    {"@T/game/../x", "", ""},
};

TEST_F(SaveAreaTest, NamesResolveInsideTheirRootOrAreRefused) {
    for (const ResolveCase& c : kResolveCases) {
        const std::string name = Expand(c.name);
        SCOPED_TRACE(name);
        EXPECT_EQ(LoadSave_GetSavePath(name.c_str()), Expand(c.savePath));
        EXPECT_EQ(LoadSave_GetBundlePath(name.c_str()), Expand(c.bundlePath));
    }
    EXPECT_TRUE(ConsoleHas("Error! not allowing save with filename '/etc/x'\n"));
    EXPECT_TRUE(ConsoleHas("Error! not allowing save with filename '" + root + "/cwd2/x'\n"));
}

TEST_F(SaveAreaTest, WritesThroughTheHelpersLandOnlyInTheSaveArea) {
    for (const ResolveCase& c : kResolveCases) {
        const std::string name = Expand(c.name);
        EXPECT_EQ(LoadSave_WriteFile(name.c_str(), "data", 4), *c.savePath != '\0') << name;
    }
    EXPECT_FALSE(LoadSave_DeleteFile("../x"));
    EXPECT_TRUE(LoadSave_DeleteFile("a.txt"));

    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
        if (e.is_directory()) continue;
        EXPECT_EQ(e.path().string().rfind(save, 0), 0u) << "written outside the save area: " << e.path();
    }
    EXPECT_EQ(ReadFile(save + "sub/b.txt"), "data");
    EXPECT_FALSE(fs::exists(save + "a.txt"));
}

TEST_F(SaveAreaTest, SaveAreaInsideTheCurrentFolderIsNotNested) {
    ASSERT_EQ(::chdir(home.c_str()), 0);
    EXPECT_EQ(LoadSave_GetSavePath((save + "c.txt").c_str()), save + "c.txt");
    EXPECT_EQ(LoadSave_GetSavePath("a.txt"), save + "a.txt");
    EXPECT_EQ(LoadSave_GetSavePath("../x"), "");
}

TEST_F(SaveAreaTest, NoSaveAreaRefusesEveryWrite) {
    LoadSave_SetSaveArea("");
    EXPECT_EQ(LoadSave_GetSavePath("a.txt"), "");
    EXPECT_FALSE(LoadSave_WriteFile("a.txt", "x", 1));
    EXPECT_FALSE(fs::exists(root + "/cwd/a.txt"));
}

TEST_F(SaveAreaTest, ResolvedPathsAreNeverCut) {
    char small[16];
    EXPECT_FALSE(LoadSave_GetSavePath(small, sizeof small, "a.txt"));
    EXPECT_STREQ(small, "");
    EXPECT_FALSE(LoadSave_GetBundlePath(small, sizeof small, "a.txt"));
    EXPECT_STREQ(small, "");
    char big[2048];
    EXPECT_TRUE(LoadSave_GetSavePath(big, sizeof big, "a.txt"));
    EXPECT_EQ(std::string(big), save + "a.txt");
}

TEST_F(SaveAreaTest, PickedPathsAreAllowedOnlyAsPicked) {
    const std::string picked = root + "/out/picked.sav";
    LoadSave_AddAllowedPath(LOADSAVE_WRITE_LIST, picked.c_str(), false);
    iotest::ConsoleLines().clear();
    EXPECT_EQ(LoadSave_GetSavePath(picked.c_str()), picked);
    EXPECT_TRUE(iotest::ConsoleLines().empty());
    EXPECT_TRUE(LoadSave_WriteFile(picked.c_str(), "p", 1));
    EXPECT_EQ(ReadFile(picked), "p");
    // Letter case makes another file here.
    EXPECT_EQ(LoadSave_GetSavePath((root + "/out/Picked.sav").c_str()), "");
    EXPECT_EQ(LoadSave_GetBundlePath(picked.c_str()), "");  // the write list does not admit reads

    // Picked inside the current folder: still redirected into the save area, with a warning.
    const std::string inside = root + "/cwd/p.sav";
    LoadSave_AddAllowedPath(LOADSAVE_WRITE_LIST, inside.c_str(), false);
    EXPECT_EQ(LoadSave_GetSavePath(inside.c_str()), save + "p.sav");
    EXPECT_TRUE(ConsoleHas("Warning! Save location - redirected to: '" + save + "p.sav'\n"));

    const std::string opened = root + "/out/open.txt";
    LoadSave_AddAllowedPath(LOADSAVE_READ_LIST, opened.c_str(), false);
    EXPECT_EQ(LoadSave_GetBundlePath(opened.c_str()), opened);
    EXPECT_EQ(LoadSave_GetSavePath(opened.c_str()), "");
}

TEST_F(SaveAreaTest, PrefixEntriesMatchWholeComponents) {
    const std::string items = root + "/items/42";
    LoadSave_AddAllowedPath(LOADSAVE_WRITE_LIST, items.c_str(), true);
    LoadSave_AddAllowedPath(LOADSAVE_WRITE_LIST, (root + "/exact.bin").c_str(), false);
    struct {
        std::string path;
        bool allowed;
    } cases[] = {
        {items + "/data.bin", true},
        {items, true},
        {items + "\\sub\\x.bin", true},
        {root + "/items/420", false},
        {root + "/items/420/data.bin", false},
        {items + "/../420/x", false},
        {root + "/items/4", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadSave_IsPathAllowed(LOADSAVE_WRITE_LIST, c.path.c_str()), c.allowed) << c.path;
        EXPECT_EQ(LoadSave_IsPathAllowedPrefix(LOADSAVE_WRITE_LIST, c.path.c_str()), c.allowed) << c.path;
    }
    EXPECT_TRUE(LoadSave_IsPathAllowed(LOADSAVE_WRITE_LIST, (root + "/exact.bin").c_str()));
    EXPECT_FALSE(LoadSave_IsPathAllowedPrefix(LOADSAVE_WRITE_LIST, (root + "/exact.bin").c_str()));
    EXPECT_FALSE(LoadSave_IsPathAllowed(LOADSAVE_READ_LIST, (items + "/data.bin").c_str()));
}

TEST_F(SaveAreaTest, WholeFileReads) {
    iotest::WriteFile(save + "empty.dat", "");
    iotest::WriteFile(root + "/game/only-bundle.dat", "bundle");
    int64_t size = -7;
    void* block = LoadSave_ReadSaveFile("empty.dat", &size);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(static_cast<uint8_t*>(block)[0], 0);
    MEM_FREE(block);

    block = LoadSave_ReadBundleFile("only-bundle.dat", &size);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(block), size), "bundle");
    MEM_FREE(block);

    size = -7;
    EXPECT_EQ(LoadSave_ReadSaveFile("only-bundle.dat", &size), nullptr);
    EXPECT_EQ(size, -7);
    EXPECT_TRUE(LoadSave_BundleFileExists("only-bundle.dat"));
    EXPECT_FALSE(LoadSave_SaveFileExists("only-bundle.dat"));

    // Folders and pipes are not files to read (and a pipe must not stall the check).
    fs::create_directories(save + "folder");
    EXPECT_FALSE(LoadSave_SaveFileExists("folder"));
    EXPECT_EQ(LoadSave_ReadSaveFile("folder", &size), nullptr);
    ASSERT_EQ(::mkfifo((save + "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(LoadSave_SaveFileExists("pipe"));
    EXPECT_EQ(LoadSave_ReadSaveFile("pipe", &size), nullptr);
}

TEST_F(SaveAreaTest, GameNamesAreMadeSafe) {
    struct {
        const char* name;
        const char* safe;
    } cases[] = {
        {"My Game", "My Game"}, {"a/b\\c", "a_b_c"}, {"..", "__"}, {".", "_"}, {"a..b", "a..b"}, {"", ""},
        {"x\ny", "x_y"},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadSave_MakeSafeName(c.name), c.safe) << c.name;
    EXPECT_EQ(LoadSave_MakeSaveArea("../../etc", false), home + "/.local/share/.._.._etc/");
}

TEST_F(SaveAreaTest, SaveAreaFollowsTheXdgFolders) {
    EXPECT_EQ(LoadSave_MakeSaveArea("G", true), home + "/.config/G/");
    env.Set("XDG_DATA_HOME", root + "/data");
    env.Set("XDG_CONFIG_HOME", root + "/config/");
    EXPECT_EQ(LoadSave_MakeSaveArea("G", false), root + "/data/G/");
    EXPECT_EQ(LoadSave_MakeSaveArea("G", true), root + "/config/G/");
    env.Set("XDG_DATA_HOME", "relative");  // not absolute: ignored
    EXPECT_EQ(LoadSave_MakeSaveArea("G", false), home + "/.local/share/G/");
    EXPECT_EQ(LoadSave_MakeSaveArea("", false), "");
    EXPECT_EQ(LoadSave_MakeSaveArea(nullptr, false), "");
}

TEST_F(SaveAreaTest, TextModeStreamsWriteCrLf) {
    const std::string text = root + "/t.txt", binary = root + "/b.txt";
    FILE* f = LoadSave_wfopen(text.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("a\nb\n", f);
    std::fclose(f);
    EXPECT_EQ(ReadFile(text), "a\r\nb\r\n");
    f = LoadSave_wfopen(text.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char line[16] = {};
    EXPECT_EQ(std::fread(line, 1, sizeof line, f), 4u);
    EXPECT_STREQ(line, "a\nb\n");
    std::fclose(f);

    f = LoadSave_wfopen(binary.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("a\nb\n", f);
    std::fclose(f);
    EXPECT_EQ(ReadFile(binary), "a\nb\n");
    EXPECT_EQ(LoadSave_wfopen((root + "/missing/x").c_str(), "rb"), nullptr);
}

TEST_F(SaveAreaTest, FoldersForAFileAreMade) {
    EXPECT_TRUE(File_CreateDirectoryForFile((root + "/made/x/y/file.txt").c_str()));
    EXPECT_TRUE(fs::is_directory(root + "/made/x/y"));
    EXPECT_TRUE(File_CreateDirectoryForFile((root + "\\made2\\z\\file.txt").c_str()));
    EXPECT_TRUE(fs::is_directory(root + "/made2/z"));
    EXPECT_FALSE(File_CreateDirectoryForFile("file.txt"));
}

}  // namespace
