#include <sys/stat.h>

#include <filesystem>

#include "FileBuiltinTestSupport.h"
#include "platform/FileFindM.h"

namespace {

using filetest::Arg;
using filetest::FileBuiltinTest;
namespace fs = std::filesystem;

using FileBinary = FileBuiltinTest;
using FileText = FileBuiltinTest;
using FileLegacy = FileBuiltinTest;
using FileWhole = FileBuiltinTest;

TEST_F(FileBinary, IdsRunFromOneToThirtyOne) {
    EXPECT_EQ(ShowCall("file_bin_open", {"f0.bin", 1}), "real:1");
    for (int i = 2; i < 32; ++i) EXPECT_EQ(Real("file_bin_open", {"f" + std::to_string(i) + ".bin", 1}), i);
    EXPECT_EQ(ShowCall("file_bin_open", {"over.bin", 1}), "real:-1");
    EXPECT_EQ(errors.TakeNonFatal(), "Cannot open another file (maximum exceeded).");
    Call("file_bin_close", {7});
    EXPECT_EQ(ShowCall("file_bin_open", {"again.bin", 1}), "real:7") << "the freed id is taken again";
}

TEST_F(FileBinary, WritesReadsAndRewritesThroughTheSaveArea) {
    EXPECT_EQ(ShowCall("file_bin_open", {"missing.bin", 0}), "real:-1");
    EXPECT_TRUE(ConsoleHas("Error opening binary file missing.bin\n"));

    const double w = Real("file_bin_open", {"sub/one.bin", 1});
    Call("file_bin_write_byte", {w, 65});
    Call("file_bin_write_byte", {w, 256 + 66});
    EXPECT_EQ(ShowCall("file_bin_read_byte", {w}), "real:0") << "a write-only file reads nothing";
    EXPECT_EQ(errors.TakeNonFatal(), "Error reading byte.");
    EXPECT_FALSE(SaveHas("sub/one.bin")) << "nothing reaches the disk before the close";
    Call("file_bin_close", {w});
    EXPECT_EQ(SaveFile("sub/one.bin"), "AB");

    PutBundle("data.bin", std::string("\x01\x02\x03", 3));
    const double r = Real("file_bin_open", {"data.bin", 0});
    Call("file_bin_seek", {r, 1});
    EXPECT_EQ(ShowCall("file_bin_size", {r}), "real:3");
    EXPECT_EQ(ShowCall("file_bin_position", {r}), "real:1") << "the size keeps the position";
    EXPECT_EQ(ShowCall("file_bin_read_byte", {r}), "real:2");
    EXPECT_EQ(ShowCall("file_bin_read_byte", {r}), "real:3");
    EXPECT_EQ(ShowCall("file_bin_read_byte", {r}), "real:0");
    EXPECT_EQ(errors.TakeNonFatal(), "Error reading byte.");
    Call("file_bin_write_byte", {r, 9});  // mode 0 ignores writes
    Call("file_bin_close", {r});
    EXPECT_FALSE(SaveHas("data.bin"));

    // Mode 2 reads the save-area copy first and writes it back whole at the close.
    PutSave("rw.bin", "xyz");
    const double rw = Real("file_bin_open", {"rw.bin", 2});
    EXPECT_EQ(ShowCall("file_bin_read_byte", {rw}), "real:120");
    Call("file_bin_write_byte", {rw, 'Y'});
    Call("file_bin_close", {rw});
    EXPECT_EQ(SaveFile("rw.bin"), "xYz");

    const double again = Real("file_bin_open", {"rw.bin", 2});
    Call("file_bin_rewrite", {again});
    EXPECT_EQ(ShowCall("file_bin_position", {again}), "real:0");
    Call("file_bin_write_byte", {again, 'q'});
    Call("file_bin_close", {again});
    EXPECT_EQ(SaveFile("rw.bin"), "q");
    EXPECT_EQ(errors.TakeNonFatal(), "");
}

TEST_F(FileBinary, UnopenedIdsReport) {
    const struct {
        const char* name;
        std::initializer_list<Arg> args;
        const char* message;
    } cases[] = {
        {"file_bin_rewrite", {3}, "Trying to rewrite unopened file."},
        {"file_bin_close", {3}, "Trying to close unopened file."},
        {"file_bin_position", {0}, "File is not opened."},
        {"file_bin_size", {32}, "File is not opened."},
        {"file_bin_seek", {-1, 0}, "File is not opened."},
        {"file_bin_read_byte", {3}, "File is not opened."},
        {"file_bin_write_byte", {3, 1}, "File is not opened."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShowCall(c.name, c.args), "undefined") << c.name;
        EXPECT_EQ(errors.TakeNonFatal(), c.message) << c.name;
    }
}

TEST_F(FileText, WritesLineEndsAsCarriageReturnLineFeed) {
    const double f = Real("file_text_open_write", {"notes/a.txt"});
    EXPECT_EQ(f, 1);
    Call("file_text_write_string", {f, "a\nb"});
    Call("file_text_close", {f});
    EXPECT_EQ(SaveFile("notes/a.txt"), "a\r\nb");

    const double g = Real("file_text_open_write", {"b.txt"});
    Call("file_text_write_real", {g, 1.5});
    Call("file_text_writeln", {g});
    Call("file_text_write_string", {g, "x\r\ny"});
    Call("file_text_close", {g});
    EXPECT_EQ(SaveFile("b.txt"), "1.5 \r\nx\r\ny") << "a CR LF already there stays one line end";
}

TEST_F(FileText, ReadsStringsLinesAndNumbers) {
    PutBundle("lines.txt", "ab\r\nc");
    const double f = Real("file_text_open_read", {"lines.txt"});
    EXPECT_EQ(ShowCall("file_text_read_string", {f}), "string:ab");
    EXPECT_EQ(ShowCall("file_text_eoln", {f}), "bool:true");
    EXPECT_EQ(ShowCall("file_text_readln", {f}), "string:\r\n");
    EXPECT_EQ(ShowCall("file_text_read_string", {f}), "string:c");
    EXPECT_EQ(ShowCall("file_text_eof", {f}), "bool:true");
    EXPECT_EQ(ShowCall("file_text_readln", {f}), "string:");
    EXPECT_EQ(ShowCall("file_text_eof", {f}), "bool:true");
    Call("file_text_close", {f});

    // The save area wins over the bundle; a byte-order mark is skipped.
    PutBundle("n.txt", "9");
    PutSave("n.txt", "\xEF\xBB\xBF  -2.5e1 x\n7");
    const double n = Real("file_text_open_read", {"n.txt"});
    EXPECT_EQ(ShowCall("file_text_read_real", {n}), "real:-25");
    EXPECT_EQ(ShowCall("file_text_read_real", {n}), "real:0") << "no number at x";
    EXPECT_EQ(ShowCall("file_text_readln", {n}), "string:x\n");
    EXPECT_EQ(ShowCall("file_text_read_real", {n}), "real:7");

    const double s = Real("file_text_open_from_string", {"one\ntwo"});
    EXPECT_EQ(ShowCall("file_text_readln", {s}), "string:one\n");
    EXPECT_EQ(ShowCall("file_text_read_string", {s}), "string:two");
    Call("file_text_close", {s});
    EXPECT_EQ(ShowCall("file_text_open_from_string", {5}), "real:-1");
    EXPECT_TRUE(ConsoleHas("ERROR!!! :: wrong type for filename\n"));
    EXPECT_FALSE(SaveHas("FileFromString")) << "a file over a text is never written";

    EXPECT_EQ(ShowCall("file_text_open_read", {"absent.txt"}), "real:-1");
    EXPECT_TRUE(ConsoleHas("ERROR!!! :: Failed to open file: absent.txt\n"));
    EXPECT_EQ(errors.TakeNonFatal(), "");
}

TEST_F(FileText, AppendStartsFromTheBundleCopy) {
    PutBundle("log.txt", "first\r\n");
    const double f = Real("file_text_open_append", {"log.txt"});
    Call("file_text_write_string", {f, "second"});
    Call("file_text_close", {f});
    EXPECT_EQ(SaveFile("log.txt"), "first\r\nsecond");
    EXPECT_EQ(iotest::ReadFile(bundle + "log.txt"), "first\r\n") << "the bundle is never written";

    const double g = Real("file_text_open_append", {"log.txt"});
    Call("file_text_writeln", {g});
    Call("file_text_close", {g});
    EXPECT_EQ(SaveFile("log.txt"), "first\r\nsecond\r\n");
}

TEST_F(FileText, StatesAndUnopenedIds) {
    const double w = Real("file_text_open_write", {"w.txt"});
    const double r = Real("file_text_open_from_string", {"x"});
    const struct {
        const char* name;
        std::initializer_list<Arg> args;
        const char* message;
    } cases[] = {
        {"file_text_close", {0}, "Trying to close text file that has not been opened."},
        {"file_text_close", {32}, "Trying to close text file that has not been opened."},
        {"file_text_close", {9}, ""},
        {"file_text_eof", {w}, "File is not opened for reading."},
        {"file_text_eoln", {9}, "File is not opened for reading."},
        {"file_text_read_string", {w}, "File is not opened for reading."},
        {"file_text_read_real", {0}, "File is not opened for reading."},
        {"file_text_readln", {w}, "File is not opened for reading."},
        {"file_text_write_string", {r, "x"}, "File not opened for writing."},
        {"file_text_write_real", {r, 1}, "File not opened for writing."},
        {"file_text_writeln", {9}, "File not opened for writing."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShowCall(c.name, c.args), "undefined") << c.name;
        EXPECT_EQ(errors.TakeNonFatal(), c.message) << c.name;
    }
    for (int i = 3; i < 32; ++i) Call("file_text_open_from_string", {"y"});
    EXPECT_EQ(ShowCall("file_text_open_write", {"z.txt"}), "real:-1");
    EXPECT_EQ(errors.TakeNonFatal(), "Cannot open another file (maximum exceeded).");
}

TEST_F(FileText, RefusedNamesFailToOpen) {
    EXPECT_EQ(ShowCall("file_text_open_write", {"/elsewhere/x.txt"}), "real:-1");
    EXPECT_TRUE(ConsoleHas("ERROR!!! :: Failed to open file: \n"));
    EXPECT_EQ(ShowCall("file_bin_open", {"/elsewhere/x.bin", 1}), "real:-1");
    EXPECT_TRUE(ConsoleHas("Error opening binary file /elsewhere/x.bin\n"));
    EXPECT_FALSE(fs::exists("/elsewhere"));
}

// The legacy single file takes names exactly as given: here a path outside both roots.
TEST_F(FileLegacy, ReadsAndWritesTheNameAsGiven) {
    const std::string path = root + "/outside/legacy.txt";
    fs::create_directories(root + "/outside");
    Call("file_open_write", {path});
    Call("file_write_string", {"ab"});
    Call("file_write_real", {2.5});
    Call("file_writeln");
    Call("file_write_string", {"cd"});
    Call("file_close");
    EXPECT_EQ(iotest::ReadFile(path), "ab    2.5000\r\ncd");

    Call("file_open_append", {path});
    Call("file_writeln");
    Call("file_write_real", {-1});
    Call("file_close");

    Call("file_open_read", {path});
    EXPECT_EQ(ShowCall("file_eof"), "bool:false");
    EXPECT_EQ(ShowCall("file_read_string"), "string:ab    2.5000");
    EXPECT_EQ(ShowCall("file_readln"), "string:cd\n");
    EXPECT_EQ(ShowCall("file_read_real"), "real:-1");
    EXPECT_EQ(ShowCall("file_eof"), "bool:true");
    EXPECT_EQ(ShowCall("file_write_string", {"no"}), "undefined");
    EXPECT_EQ(errors.TakeNonFatal(), "File not opened for writing.");
    Call("file_close");

    EXPECT_EQ(ShowCall("file_read_string"), "undefined");
    EXPECT_EQ(errors.TakeNonFatal(), "File not opened for reading.");
    EXPECT_EQ(ShowCall("file_eof"), "undefined");
    EXPECT_EQ(errors.TakeNonFatal(), "File is not opened for reading.");

    Call("file_open_read", {root});  // a folder is not a file: nothing opens
    EXPECT_EQ(ShowCall("file_readln"), "undefined");
    EXPECT_EQ(errors.TakeNonFatal(), "File not opened for reading.");
    Call("file_open_write", {static_cast<const char*>(nullptr)});
    EXPECT_EQ(errors.TakeNonFatal(), "Error opening file for writing.");
}

TEST_F(FileLegacy, LinesStopAtTheLimit) {
    const std::string path = root + "/long.txt";
    iotest::WriteFile(path, std::string(1500, 'x') + "\nrest");
    Call("file_open_read", {path});
    EXPECT_EQ(Call("file_readln").str->length, 1023);
    EXPECT_EQ(ShowCall("file_read_string"), "string:" + std::string(477, 'x'));
    EXPECT_EQ(ShowCall("file_read_string"), "string:rest");
}

TEST_F(FileWhole, ExistsDeleteRenameCopy) {
    PutBundle("b.txt", "bundle");
    EXPECT_EQ(ShowCall("file_exists", {"b.txt"}), "real:1");
    EXPECT_EQ(ShowCall("file_delete", {"b.txt"}), "undefined") << "the bundle is never deleted from";
    EXPECT_TRUE(fs::exists(bundle + "b.txt"));
    EXPECT_EQ(ShowCall("file_exists", {"none.txt"}), "real:0");

    PutSave("s.txt", "save");
    EXPECT_EQ(ShowCall("file_rename", {"s.txt", "t.txt"}), "real:1");
    EXPECT_EQ(SaveFile("t.txt"), "save");
    PutSave("u.txt", "keep");
    EXPECT_EQ(ShowCall("file_rename", {"t.txt", "u.txt"}), "real:0") << "an existing name is not replaced";
    EXPECT_EQ(SaveFile("u.txt"), "keep");
    EXPECT_EQ(ShowCall("file_rename", {"b.txt", "c.txt"}), "undefined");

    EXPECT_EQ(ShowCall("file_copy", {"b.txt", "copies/b2.txt"}), "real:0");
    EXPECT_EQ(SaveFile("copies/b2.txt"), "bundle");
    EXPECT_EQ(ShowCall("file_copy", {"u.txt", "u.txt"}), "real:0");
    EXPECT_EQ(SaveFile("u.txt"), "keep") << "a copy onto itself keeps the bytes";
    EXPECT_EQ(ShowCall("file_copy", {"none.txt", "x.txt"}), "real:-1");
    EXPECT_TRUE(ConsoleHas("Unable to open source file none.txt\n"));
    EXPECT_EQ(ShowCall("file_copy", {"u.txt", "/elsewhere/x"}), "real:-1");
    EXPECT_TRUE(ConsoleHas("Unable to open destination file /elsewhere/x\n"));

    EXPECT_EQ(ShowCall("file_delete", {"u.txt"}), "real:1");
    EXPECT_FALSE(SaveHas("u.txt"));
}

TEST_F(FileWhole, Folders) {
    fs::create_directories(bundle + "levels");
    EXPECT_EQ(ShowCall("directory_exists", {"levels"}), "real:1");
    EXPECT_EQ(ShowCall("directory_exists", {"saves"}), "real:0");
    EXPECT_EQ(ShowCall("directory_create", {"saves/a/b"}), "real:1");
    EXPECT_TRUE(fs::is_directory(save + "saves/a/b"));
    EXPECT_EQ(ShowCall("directory_exists", {"saves"}), "real:1");
    PutSave("saves/a/f.txt", "x");
    fs::create_directory_symlink(bundle + "levels", save + "saves/link");
    iotest::WriteFile(bundle + "levels/keep.txt", "k");
    Call("directory_destroy", {"saves"});
    EXPECT_FALSE(fs::exists(save + "saves"));
    EXPECT_TRUE(fs::exists(bundle + "levels/keep.txt")) << "links are removed, never followed";
    EXPECT_EQ(ShowCall("directory_create", {"/elsewhere/d"}), "real:0");
}

TEST_F(FileWhole, SearchListsEachNameOnceFromBothRoots) {
    PutSave("a.txt", "1");
    PutSave("c.TXT", "1");
    PutBundle("a.txt", "1");
    PutBundle("b.txt", "1");
    PutBundle("b.dat", "1");
    fs::create_directories(save + "dir.txt");
    fs::create_directories(bundle + "folder");

    std::vector<std::string> names;
    for (std::string n = buftest::Text(Call("file_find_first", {"*.txt", 0})); !n.empty();
         n = buftest::Text(Call("file_find_next")))
        names.push_back(n);
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "c.TXT", "b.txt"}));
    EXPECT_EQ(ShowCall("file_find_next"), "string:");
    Call("file_find_close");
    EXPECT_EQ(ShowCall("file_find_next"), "string:");

    EXPECT_EQ(ShowCall("file_find_first", {"*", 16}), "string:a.txt");
    names = {"a.txt"};
    for (std::string n = buftest::Text(Call("file_find_next")); !n.empty();
         n = buftest::Text(Call("file_find_next")))
        names.push_back(n);
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "c.TXT", "dir.txt", "b.dat", "b.txt", "folder"}));

    EXPECT_EQ(ShowCall("file_find_first", {"?.dat", 0}), "string:b.dat");
    EXPECT_EQ(ShowCall("file_find_first", {"*.none", 0}), "string:");

    // Asked attributes other than the folder bit take files that carry one of them.
    PutSave(".hidden", "h");
    ::chmod((save + "a.txt").c_str(), 0444);
    EXPECT_EQ(ShowCall("file_find_first", {"*", 2}), "string:.hidden");
    EXPECT_EQ(ShowCall("file_find_next"), "string:");
    EXPECT_EQ(ShowCall("file_find_first", {"*.txt", 1}), "string:a.txt");
    EXPECT_EQ(ShowCall("file_find_next"), "string:");

    EXPECT_EQ(ShowCall("file_attributes", {"a.txt", 0}), "real:33");
    EXPECT_EQ(ShowCall("file_attributes", {"folder", 0}), "real:16");
    EXPECT_EQ(ShowCall("file_attributes", {".hidden", 0}), "real:34");
    EXPECT_EQ(ShowCall("file_attributes", {"none", 0}), "real:0");
}

TEST(FileFindMatch, WildcardsAndCase) {
    const struct {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*.txt", "a.txt", true},    {"*.txt", "a.TXT", true}, {"*.txt", "a.txt.bak", false},
        {"*.*", "noext", true},      {"a.*", "a", true},       {"?", "ab", false},
        {"a?c", "abc", true},        {"*b*", "abc", true},     {"[1].txt", "[1].txt", true},
        {"[1].txt", "1.txt", false}, {"*", ".hidden", true},   {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbYbZ", false},  {"", "a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileFindM_Match(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

}  // namespace
