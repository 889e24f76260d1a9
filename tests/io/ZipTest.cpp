#include <filesystem>

#include "FileBuiltinTestSupport.h"
#include "io/Support_Zip.h"

namespace {

namespace fs = std::filesystem;
using ZipBuiltin = filetest::FileBuiltinTest;

// Writes an archive with Python's zipfile: one "name=text" entry per input line.
void MakeArchive(const std::string& path, const std::string& entries) {
    const std::string program =
        "import sys, zipfile\n"
        "path = sys.stdin.readline().rstrip('\\n')\n"
        "with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    for line in sys.stdin.read().splitlines():\n"
        "        name, text = line.split('=', 1)\n"
        "        z.writestr(zipfile.ZipInfo(name), text)\n";
    fs::create_directories(fs::path(path).parent_path());
    buftest::RunPython(program, path + "\n" + entries);
}

// Every regular file under the folder, as paths relative to it.
std::vector<std::string> FilesUnder(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file()) files.push_back(fs::relative(e.path(), folder).string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST_F(ZipBuiltin, UnpacksOnlyEntriesThatStayInsideTheFolder) {
    MakeArchive(bundle + "pack.zip",
                "a.txt=alpha\n"
                "sub/b.txt=beta\n"
                "empty.txt=\n"
                "../escape.txt=evil\n"
                "sub/../../up.txt=evil\n"
                "/abs.txt=evil\n"
                "C:/drive.txt=evil\n"
                "sub\\..\\..\\back.txt=evil\n"
                "c:d.txt=evil\n");
    EXPECT_EQ(ShowCall("zip_unzip", {"pack.zip", "out"}), "real:9") << "every entry is counted";
    EXPECT_EQ(FilesUnder(save), (std::vector<std::string>{"out/a.txt", "out/sub/b.txt"}));
    EXPECT_EQ(SaveFile("out/a.txt"), "alpha");
    EXPECT_EQ(SaveFile("out/sub/b.txt"), "beta");
    // Nothing landed anywhere else in the tree.
    for (const std::string& f : FilesUnder(root))
        EXPECT_TRUE(f.rfind("home/.local/share/FileGame/out/", 0) == 0 || f == "game/pack.zip") << f;
    EXPECT_TRUE(ConsoleHas("UNZIP: Skipping entry outside the target folder: ../escape.txt\n"));
}

TEST_F(ZipBuiltin, MissingArchivesAndTheSizeLimit) {
    EXPECT_EQ(ShowCall("zip_unzip", {"none.zip", "out"}), "real:0");
    EXPECT_TRUE(ConsoleHas("Unable to open " + save + "none.zip for decompression"));

    MakeArchive(save + "big.zip", "one.bin=" + std::string(600, 'x') + "\ntwo.bin=" + std::string(600, 'y') +
                                      "\nthree.bin=" + std::string(300, 'z') + "\n");
    EXPECT_EQ(Command_Unzip((save + "big.zip").c_str(), (save + "lim").c_str(), 1000), 3);
    EXPECT_EQ(FilesUnder(save + "lim"), (std::vector<std::string>{"one.bin", "three.bin"}));
    EXPECT_TRUE(ConsoleHas("UNZIP: Skipping entry past the size limit: two.bin\n"));

    // A folder the save-area rules refuse writes nothing at all.
    EXPECT_EQ(ShowCall("zip_unzip", {"big.zip", "/elsewhere"}), "real:3");
    EXPECT_TRUE(ConsoleHas("UNZIP: Failed to write compressed file entry :o"));
    EXPECT_FALSE(fs::exists("/elsewhere"));
}

}  // namespace
