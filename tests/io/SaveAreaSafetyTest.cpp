// No file built-in follows a symbolic link out of the save area, and a save that is killed
// half-way leaves the old file or the new one, never a part of one.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "FileBuiltinTestSupport.h"
#include "io/IBuffer.h"

namespace fs = std::filesystem;
using namespace filetest;

namespace {

// Every file under `folder` with its bytes, links as "-> target".
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> all;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).string();
        if (entry.is_symlink())
            all[name] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_regular_file())
            all[name] = iotest::ReadFile(entry.path().string());
        else
            all[name] = "<folder>";
    }
    return all;
}

class SaveAreaLinks : public FileBuiltinTest {
protected:
    void SetUp() override {
        FileBuiltinTest::SetUp();
        outside = root + "/outside";
        iotest::WriteFile(outside + "/secret.txt", "keep");
        iotest::WriteFile(outside + "/dir/inner.txt", "inner");
        iotest::WriteFile(outside + "/dir/inner.ini", "[s]\nk=1\n");
        fs::create_directories(save + "real");
        fs::create_symlink(outside + "/secret.txt", save + "lf");
        fs::create_symlink(outside + "/dir", save + "ld");
        fs::create_symlink(outside + "/dir", save + "real/ld");
        fs::create_symlink(outside + "/secret.txt", save + "real/lf");
        PutSave("mine.txt", "mine");
        before = Snapshot(outside);
    }
    std::string outside;
    std::map<std::string, std::string> before;
};

TEST_F(SaveAreaLinks, NoBuiltinChangesAnythingOutside) {
    for (const char* name : {"lf", "ld/inner.txt", "ld/new.txt", "real/ld/new.txt", "ld/sub/new.txt"}) {
        SCOPED_TRACE(name);
        const double text = Real("file_text_open_write", {name});
        if (text >= 0) {
            Call("file_text_write_string", {text, "changed"});
            Call("file_text_close", {text});
        }
        const double append = Real("file_text_open_append", {name});
        if (append >= 0) {
            Call("file_text_write_string", {append, "more"});
            Call("file_text_close", {append});
        }
        const double binary = Real("file_bin_open", {name, 2});
        if (binary >= 0) {
            Call("file_bin_write_byte", {binary, 65});
            Call("file_bin_close", {binary});
        }
        Call("file_copy", {"mine.txt", name});
        Call("file_rename", {name, "moved.txt"});
        Call("file_rename", {"mine.txt", name});
        Call("file_delete", {name});
        EXPECT_TRUE(LoadSave_WriteFile(name, "w", 1) || true);
        LoadSave_DeleteFile(name);
    }
    for (const char* name : {"ld/inner.ini", "lf"}) {
        Call("ini_open", {name});
        Call("ini_write_string", {"s", "k", "2"});
        Call("ini_close");
    }
    for (const char* folder : {"ld/made", "real/ld/made", "ld", "real/ld"}) {
        Call("directory_create", {folder});
        Call("directory_destroy", {folder});
    }
    EXPECT_EQ(Snapshot(outside), before);

    // A recursive delete of a folder of the area removes the links in it, not what they name.
    Call("directory_destroy", {"real"});
    EXPECT_FALSE(fs::exists(fs::symlink_status(save + "real")));
    EXPECT_EQ(Snapshot(outside), before);
}

TEST_F(SaveAreaLinks, AWriteReplacesTheLinkAndLeavesNoTemporaryFile) {
    ASSERT_TRUE(LoadSave_WriteFile("lf", "new", 3));
    EXPECT_FALSE(fs::is_symlink(save + "lf"));
    EXPECT_EQ(SaveFile("lf"), "new");
    EXPECT_FALSE(LoadSave_WriteFile("ld/x.txt", "new", 3));
    ASSERT_TRUE(LoadSave_WriteFile("deep/er/x.txt", "made", 4));
    EXPECT_EQ(SaveFile("deep/er/x.txt"), "made");
    for (const auto& entry : fs::recursive_directory_iterator(save))
        EXPECT_EQ(entry.path().filename().string().find(".hv-save-"), std::string::npos) << entry.path();
    EXPECT_EQ(Snapshot(outside), before);
}

// A child saves two different contents over one file as fast as it can and is killed at a
// random moment; the file is then whole every time. Bounded to a few dozen kills.
TEST_F(FileBuiltinTest, AKilledSaveLeavesTheOldFileOrTheNewOne) {
    const std::string first(300000, 'a'), second(200000, 'b');
    ASSERT_TRUE(LoadSave_WriteFile("slot.sav", first.data(), int64_t(first.size())));
    std::mt19937 random(4242);
    for (int round = 0; round < 24; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (uint64_t i = 0;; ++i) {
                const std::string& bytes = i % 2 ? first : second;
                LoadSave_WriteFile("slot.sav", bytes.data(), int64_t(bytes.size()));
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200 + random() % 20000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string now = SaveFile("slot.sav");
        ASSERT_TRUE(now == first || now == second) << "round " << round << ": " << now.size() << " bytes";
    }
}

// A file larger than any buffer is refused by its size, before a byte of it is read (the file
// is sparse: reading it whole would take gigabytes).
TEST_F(FileBuiltinTest, BufferLoadRefusesAFileLargerThanAnyBufferUnread) {
    PutSave("big.bin", "");
    fs::resize_file(save + "big.bin", uint64_t(IBuffer::kMaxSize) + 1);
    PutSave("small.bin", "abc");
    Buffer_Standard buffer;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(buffer.Load("big.bin", 0, -1, 0), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(buffer.Load("small.bin", 0, -1, 0), 1);
    EXPECT_EQ(buffer.GetSize(), 3);
}

}  // namespace
