#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "IoTestSupport.h"
#include "core/MemoryManager.h"
#include "io/LoadSave.h"
#include "io/Support_File.h"
#include "base/CommandLine.h"

namespace fs = std::filesystem;
using iotest::ReadFile;
using iotest::WriteFile;

namespace {

std::string Take(char* text) {
    std::string out = text ? text : "<null>";
    MEM_FREE(text);
    return out;
}

TEST(FileNames, PartsOfAPath) {
    struct {
        const char *path, *name, *directory, *ext, *drive;
    } cases[] = {
        {"C:\\a\\b.txt", "b.txt", "C:\\a", ".txt", "C:"},
        {"b.txt", "b.txt", "", ".txt", ""},
        {"a/b", "b", "a", "", ""},
        {"a.b\\c", "c", "a.b", "", ""},
        {"c.tar.gz", "c.tar.gz", "", ".gz", ""},
        {"/home/u/x.sav", "x.sav", "/home/u", ".sav", ""},
        {"a\\b/c.d", "c.d", "a\\b", ".d", ""},
        {"/top.txt", "top.txt", "", ".txt", ""},
        {"dir/", "", "dir", "", ""},
        {"", "", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(Take(File_GetName(c.path)), c.name);
        EXPECT_EQ(Filename_Name(c.path), c.name);
        EXPECT_EQ(Take(File_GetDirectory(c.path)), c.directory);
        EXPECT_EQ(Take(File_GetExtension(c.path)), c.ext);
        EXPECT_EQ(Filename_Ext(c.path), c.ext);
        EXPECT_EQ(Take(File_GetDrive(c.path)), c.drive);
        EXPECT_EQ(Filename_Drive(c.path), c.drive);
    }
    EXPECT_EQ(Filename_Name(nullptr), "");
    EXPECT_EQ(Filename_Ext(nullptr), "");
}

TEST(FileNames, ChangeExtensionTouchesOnlyTheLastName) {
    struct {
        const char *path, *ext, *result;
    } cases[] = {
        {"a.txt", ".png", "a.png"},
        {"a.txt", "png", "apng"},
        {"a", "png", "a.png"},
        {"a", "", "a"},
        {"a", ".png", "a.png"},
        {"x.dir/file", ".png", "x.dir/file.png"},
        {"x.dir\\f", "png", "x.dir\\f.png"},
        {"c.tar.gz", ".bz2", "c.tar.bz2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Filename_ChangeExt(c.path, c.ext), c.result) << c.path << " " << c.ext;
    EXPECT_EQ(Filename_ChangeExt(nullptr, ".x"), "");
}

TEST(FileNames, StripTrailingSeparatorLeavesTheRoot) {
    char a[] = "dir\\", b[] = "dir/", c[] = "/", d[] = "dir";
    File_StripTrailingSeparator(a);
    File_StripTrailingSeparator(b);
    File_StripTrailingSeparator(c);
    File_StripTrailingSeparator(d);
    EXPECT_STREQ(a, "dir");
    EXPECT_STREQ(b, "dir");
    EXPECT_STREQ(c, "/");
    EXPECT_STREQ(d, "dir");
    EXPECT_EQ(File_FindLastChar("a/b/c", '/'), static_cast<const char*>("a/b/c") + 3);
}

TEST(FileNames, CommandLinesSplitWithoutAShell) {
    struct {
        const char* text;
        std::vector<std::string> args;
    } cases[] = {
        {"", {}},
        {"  a  b\tc ", {"a", "b", "c"}},
        {"\"two words\" x", {"two words", "x"}},
        {"a;b $(rm -rf x) * `id` |", {"a;b", "$(rm", "-rf", "x)", "*", "`id`", "|"}},
        {"say\\\"hi\\\"", {"say\"hi\""}},
        {"c:\\dir\\ \"q\\\\\"", {"c:\\dir\\", "q\\"}},
        {"un\"closed quote", {"unclosed quote"}},
    };
    for (const auto& c : cases) EXPECT_EQ(File_SplitArguments(c.text), c.args) << c.text;
}

class FileSystemTest : public iotest::TempTreeTest {};

TEST_F(FileSystemTest, FolderPartsResolveBareNames) {
    LoadSave_SetSaveArea(LoadSave_MakeSaveArea("G", false).c_str());
    LoadSave_SetBundleFolder((root + "/game").c_str());
    LoadSave_SetWorkingFolder(nullptr);
    WriteFile(root + "/game/inbundle.dat", "x");
    WriteFile(root + "/game/both.dat", "x");
    WriteFile(home + "/.local/share/G/both.dat", "x");
    struct {
        const char* path;
        std::string pathResult, dirResult;
    } cases[] = {
        {"C:\\a\\b.txt", "C:\\a\\", "C:\\a"},
        {"/x/y/z.txt", "/x/y/", "/x/y"},
        {"inbundle.dat", root + "/game/", root + "/game"},
        {"both.dat", home + "/.local/share/G/", home + "/.local/share/G"},
        {"nowhere.dat", "", ""},
    };
    for (const auto& c : cases) {
        std::string out = "?";
        EXPECT_TRUE(Filename_Path(c.path, out));
        EXPECT_EQ(out, c.pathResult) << c.path;
        EXPECT_TRUE(Filename_Dir(c.path, out));
        EXPECT_EQ(out, c.dirResult) << c.path;
    }
    std::string out;
    EXPECT_FALSE(Filename_Path(nullptr, out));
    EXPECT_FALSE(Filename_Dir(nullptr, out));
}

TEST_F(FileSystemTest, FoldersAreMadeAndTested) {
    const std::string deep = root + "/x/y/z";
    EXPECT_TRUE(File_CreateDirectories(deep.c_str()));
    EXPECT_TRUE(Directory_Exists(deep.c_str()));
    EXPECT_TRUE(File_CreateDirectories((deep + "/").c_str()));  // already there
    EXPECT_FALSE(File_CreateDirectory(deep.c_str()));           // one folder, already there
    WriteFile(root + "/file", "f");
    EXPECT_FALSE(File_CreateDirectories((root + "/file/sub").c_str()));
    EXPECT_FALSE(File_CreateDirectories(""));
    EXPECT_FALSE(File_CreateDirectories(nullptr));

    EXPECT_TRUE(File_Exists((root + "/file").c_str()));
    EXPECT_TRUE(File_Exists((root + "\\file").c_str()));
    EXPECT_FALSE(File_Exists(deep.c_str()));
    EXPECT_FALSE(File_Exists("/dev/null"));
    EXPECT_FALSE(File_Exists((root + "/missing").c_str()));
    EXPECT_FALSE(Directory_Exists((root + "/file").c_str()));

    char* current = File_GetCurrentDirectory();
    EXPECT_EQ(Take(current), root + "/cwd");
}

TEST_F(FileSystemTest, DeletingAFolderNeverFollowsLinks) {
    const std::string outside = root + "/outside", tree = root + "/tree";
    WriteFile(outside + "/keep.txt", "keep");
    WriteFile(tree + "/a.txt", "a");
    WriteFile(tree + "/sub/deeper/b.txt", "b");
    ::chmod((tree + "/a.txt").c_str(), 0444);
    fs::create_directory_symlink(outside, tree + "/sub/link-to-dir");
    fs::create_symlink(outside + "/keep.txt", tree + "/link-to-file");
    fs::create_directory_symlink(outside, root + "/top-link");

    EXPECT_FALSE(Directory_Delete((root + "/top-link").c_str()));
    EXPECT_TRUE(Directory_Delete(tree.c_str()));
    EXPECT_FALSE(fs::exists(tree));
    EXPECT_EQ(ReadFile(outside + "/keep.txt"), "keep");
    EXPECT_TRUE(fs::is_symlink(root + "/top-link"));
    EXPECT_FALSE(Directory_Delete((root + "/missing").c_str()));
}

TEST_F(FileSystemTest, ProgramsGetTheirArgumentsVerbatim) {
    const std::string script = root + "/args.sh", out = root + "/args.txt";
    WriteFile(
        script,
        "#!/bin/sh\nsleep 0.2\nout=\"$1\"; shift\nfor a; do printf '[%s]\\n' \"$a\"; done > \"$out\"\n");
    ::chmod(script.c_str(), 0755);
    static int pumps;
    pumps = 0;
    File_SetMessagePump([] { ++pumps; });
    const std::string args = out + " \"two words\" a;b $(touch " + root + "/pwned) *";
    EXPECT_EQ(Execute_Program(script.c_str(), args.c_str(), true), 0);
    File_SetMessagePump(nullptr);
    EXPECT_GE(pumps, 1);
    EXPECT_EQ(ReadFile(out), "[two words]\n[a;b]\n[$(touch]\n[" + root + "/pwned)]\n[*]\n");
    EXPECT_FALSE(fs::exists(root + "/pwned"));

    EXPECT_EQ(Execute_Program((root + "/no-such-program").c_str(), "", false), -1);
    EXPECT_TRUE(ConsoleHas("Cannot execute " + root + "/no-such-program\n"));
}

TEST_F(FileSystemTest, ShellOpensAnExecutableWithItsParameters) {
    const std::string script = root + "/cwd/run.sh", out = root + "/shell.txt";
    WriteFile(script, "#!/bin/sh\nprintf '%s' \"$1\" > \"$2.tmp\" && mv \"$2.tmp\" \"$2\"\n");
    ::chmod(script.c_str(), 0755);
    EXPECT_EQ(Execute_Shell("run.sh", ("\"x y\" " + out).c_str()), 0);
    for (int i = 0; i < 200 && !fs::exists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadFile(out), "x y");
    EXPECT_EQ(Execute_Shell(nullptr, nullptr), 0);
    FileM_ReapFinishedProcesses();
}

TEST_F(FileSystemTest, TempCleanUpRemovesOnlyOurFiles) {
    File_InitTempDirectory();
    EXPECT_STREQ(File_GetTempDirectory(), (root + "/tmp").c_str());
    const std::string ours = root + "/tmp/ours.tmp", theirs = root + "/tmp/theirs.tmp";
    WriteFile(ours, "o");
    WriteFile(theirs, "t");
    File_AddTempFile(ours.c_str());
    File_CleanTempDirectory();
    EXPECT_FALSE(fs::exists(ours));
    EXPECT_TRUE(fs::exists(theirs));
    env.Set("TMPDIR", std::nullopt);
    File_InitTempDirectory();
    EXPECT_STREQ(Support_GetTempDirectory(), "/tmp");
}

TEST_F(FileSystemTest, ParametersAndEnvironment) {
    CommandLine_Parse("runner -game x.win");
    EXPECT_EQ(Parameters_Count(), 3);
    EXPECT_STREQ(Parameters_String(1), "-game");
    EXPECT_STREQ(Parameters_String(-1), "");
    EXPECT_STREQ(Parameters_String(3), "");
    env.Set("HV_IO_TEST_VAR", "välue");
    EXPECT_EQ(Environment_GetVariable("HV_IO_TEST_VAR"), "välue");
    env.Set("HV_IO_TEST_VAR", std::nullopt);
    EXPECT_EQ(Environment_GetVariable("HV_IO_TEST_VAR"), "");
    EXPECT_EQ(Environment_GetVariable(nullptr), "");
    EXPECT_EQ(Environment_GetVariable(""), "");
}

}  // namespace
