#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "IoTestSupport.h"
#include "core/MemoryManager.h"
#include "io/LoadSave.h"
#include "data/Support_Stream.h"

namespace {

std::string Hex(const CStream& s) {
    char* text = s.ConvertToHex();
    std::string out = text ? text : "<null>";
    MEM_FREE(text);
    return out;
}

std::string Bytes(const CStream& s) {
    return std::string(reinterpret_cast<const char*>(s.GetMemory()), static_cast<size_t>(s.GetSize()));
}

// Runs python3 with a script; its standard output.
std::string Python(const std::string& script) {
    const std::string path = ::testing::TempDir() + "hv_io_stream_" + std::to_string(::getpid()) + ".py";
    iotest::WriteFile(path, script);
    std::string out;
    if (FILE* p = ::popen(("python3 " + path).c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        EXPECT_EQ(::pclose(p), 0);
    }
    std::remove(path.c_str());
    return out;
}

TEST(Stream, GrowsToTwiceOrWhatIsNeeded) {
    CStream s(4);
    EXPECT_EQ(s.WriteBuffer("\x01\x02\x03\x04\x05", 5), 5);
    EXPECT_EQ(s.GetSize(), 8);
    EXPECT_EQ(s.GetPosition(), 5);
    EXPECT_EQ(Hex(s), "0102030405");
    EXPECT_EQ(s.WriteBuffer("x", 0), 0);
    EXPECT_EQ(s.WriteBuffer(nullptr, 3), 0);
    s.SetPosition(20);  // a gap: the bytes between are cleared, never left over from the heap
    s.WriteInteger(-2);
    EXPECT_EQ(s.GetSize(), 24);
    EXPECT_EQ(Hex(s), "0102030405000000000000000000000000000000FEFFFFFF");
    s.SetPosition(-1);
    EXPECT_EQ(s.WriteBuffer("x", 1), 0);
    s.SetPosition(CStream::kMaxCapacity);
    EXPECT_EQ(s.WriteBuffer("x", 1), 0);
    EXPECT_EQ(s.GetSize(), 24);
}

TEST(Stream, TypedValuesRoundTripLittleEndian) {
    CStream s;
    s.WriteInteger(0x01020304);
    s.WriteInteger64(-5);
    s.WriteReal(0.5);
    s.WriteString("héllo");
    s.WriteString("");
    s.WriteString(nullptr);
    EXPECT_EQ(Hex(s).substr(0, 8), "04030201");
    s.SetPosition(0);
    EXPECT_EQ(s.ReadInteger(), 0x01020304);
    EXPECT_EQ(s.ReadInteger64(), -5);
    EXPECT_EQ(s.ReadReal(), 0.5);
    char* text = nullptr;
    EXPECT_EQ(s.ReadString(&text), 6);
    EXPECT_STREQ(text, "héllo");
    MEM_FREE(text);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(s.ReadString(&text), 0);
        EXPECT_EQ(text, nullptr);
    }
}

TEST(Stream, ReadsStopAtTheCapacity) {
    CStream s;
    s.WriteBuffer(
        "\x05\x00\x00\x00"
        "ab",
        6);  // a string claiming 5 bytes with 2 left
    const int64_t size = s.GetSize();
    s.SetPosition(0);
    char* text = reinterpret_cast<char*>(1);
    EXPECT_EQ(s.ReadString(&text), 0);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(s.GetPosition(), size);

    s.SetPosition(size - 2);  // two bytes left: too few for any fixed-size value
    EXPECT_EQ(s.ReadInteger(), 0);
    EXPECT_EQ(s.GetPosition(), size);
    EXPECT_EQ(s.ReadInteger64(), 0);
    EXPECT_EQ(s.ReadReal(), 0.0);
    s.SetPosition(-4);
    EXPECT_EQ(s.ReadInteger(), 0);
    char buf[8];
    EXPECT_EQ(s.ReadBuffer(buf, 8), 0);
    s.SetPosition(size - 1);
    EXPECT_EQ(s.ReadBuffer(buf, 8), 1);
    EXPECT_EQ(s.ReadBuffer(nullptr, 8), 0);

    EXPECT_EQ(s.Seek(2, 0), 2);
    EXPECT_EQ(s.Seek(3, 1), 5);
    EXPECT_EQ(s.Seek(-1, 2), size - 1);
    EXPECT_EQ(s.Seek(100, 7), size - 1);
    EXPECT_EQ(s.Seek(INT64_MAX, 1), size - 1);
}

TEST(Stream, HexTextDecodesExactlyTheCountedPairs) {
    struct {
        const char* text;
        std::string bytes;
    } cases[] = {
        {"0aFF", std::string("\x0a\xff", 2)},
        {"0aF", std::string("\x0a", 1)},         // a lone last digit is not a pair
        {"0aZZff", std::string("\x0a\xff", 2)},  // a bad pair is skipped, not decoded
        {"0Z", ""},
        {"00", std::string("\0", 1)},
    };
    for (const auto& c : cases) {
        CStream s(16);
        s.SetPosition(3);
        s.ConvertFromHex(c.text);
        EXPECT_EQ(s.GetSize(), static_cast<int64_t>(c.bytes.size())) << c.text;
        EXPECT_EQ(s.GetPosition(), 0);
        EXPECT_EQ(Bytes(s), c.bytes) << c.text;
    }
    CStream keep;
    keep.WriteInteger(7);
    keep.ConvertFromHex("");
    EXPECT_EQ(keep.GetPosition(), 4);
    EXPECT_EQ(Hex(keep), "07000000");

    CStream empty;
    EXPECT_EQ(Hex(empty), "<null>");
}

TEST(Stream, CopyTakesWholeRangesAndReferences) {
    CStream source;
    source.WriteBuffer("0123456789", 10);
    source.SetPosition(4);

    CStream all;
    EXPECT_EQ(all.CopyFrom(&source, 0, false), 10);
    EXPECT_EQ(source.GetPosition(), 10);

    source.SetPosition(6);
    CStream part;
    EXPECT_EQ(part.CopyFrom(&source, 100, false), 4);  // only what is there
    EXPECT_EQ(std::string(reinterpret_cast<char*>(part.GetMemory()), 4), "6789");

    source.SetPosition(8);
    CStream ref;
    EXPECT_EQ(ref.CopyFrom(&source, 100, true), 2);  // a view never reaches past the source
    EXPECT_TRUE(ref.IsReference());
    EXPECT_EQ(ref.GetSize(), 2);
    EXPECT_EQ(ref.GetMemory(), source.GetMemory() + 8);
    // Growing a view moves it into memory of its own; the source is untouched past the view.
    ref.WriteBuffer("abc", 3);
    EXPECT_FALSE(ref.IsReference());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(source.GetMemory()), 10), "0123456789");
}

TEST(Stream, UnscrambleIsAPermutationKeepingZero) {
    for (uint32_t key : {0u, 1u, 0x12345678u, 0xFFFFFFFFu}) {
        CStream s(256);
        for (int i = 0; i < 256; ++i) s.GetMemory()[i] = static_cast<uint8_t>(i);
        s.Unscramble(key, 0, 0);
        std::vector<bool> seen(256);
        for (int i = 0; i < 256; ++i) seen[s.GetMemory()[i]] = true;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 256) << key;
        EXPECT_EQ(s.GetMemory()[0], 0);
    }
    CStream a(256), b(256);
    for (int i = 0; i < 256; ++i) a.GetMemory()[i] = b.GetMemory()[i] = static_cast<uint8_t>(i);
    a.Unscramble(1, 0, 0);
    b.Unscramble(2, 0, 0);
    EXPECT_NE(Bytes(a), Bytes(b));
    CStream c(4);
    c.Unscramble(3, 2, 1 << 30);  // a range past the end stops at the capacity
}

class StreamFileTest : public iotest::TempTreeTest {};

TEST_F(StreamFileTest, InflatesWhatPythonCompressed) {
    const std::string dir = root + "/cwd/";
    Python(
        "import zlib, random\n"
        "random.seed(7)\n"
        "data = random.randbytes(70000) + b'abc' * 50000\n"
        "open('" +
        dir +
        "plain.bin', 'wb').write(data)\n"
        "z = zlib.compress(data, 9)\n"
        "open('" +
        dir +
        "framed.bin', 'wb').write(len(z).to_bytes(4, 'little') + z + b'TAIL')\n"
        "open('" +
        dir +
        "cut.bin', 'wb').write(len(z).to_bytes(4, 'little') + z[:len(z) // 2])\n"
        "open('" +
        dir +
        "long.bin', 'wb').write((len(z) + 1000).to_bytes(4, 'little') + z[:100])\n"
        "open('" +
        dir +
        "empty.bin', 'wb').write(len(zlib.compress(b'')).to_bytes(4, 'little') + zlib.compress(b''))\n");
    const std::string plain = iotest::ReadFile(dir + "plain.bin");
    ASSERT_EQ(plain.size(), 220000u);
    LoadSave_SetBundleFolder(dir.c_str());
    LoadSave_SetWorkingFolder(nullptr);
    LoadSave_SetSaveArea(LoadSave_MakeSaveArea("StreamGame", false).c_str());

    CStream framed;
    LoadSave_ReadIntoStream(&framed, "framed.bin", 0);
    std::unique_ptr<CStream> inflated(ZDecompressStream(&framed));
    ASSERT_NE(inflated, nullptr);
    EXPECT_EQ(inflated->GetPosition(), 0);
    EXPECT_EQ(Bytes(*inflated), plain);
    EXPECT_TRUE(ConsoleHas("Done ZDecompressStream\n"));
    char tail[5] = {};
    EXPECT_EQ(framed.ReadBuffer(tail, 4), 4);  // the source stands just past the compressed bytes
    EXPECT_STREQ(tail, "TAIL");

    for (const char* bad : {"cut.bin", "long.bin"}) {
        CStream s;
        LoadSave_ReadIntoStream(&s, bad, 0);
        EXPECT_EQ(ZDecompressStream(&s), nullptr) << bad;
    }
    CStream none;
    EXPECT_EQ(ZDecompressStream(&none), nullptr);

    CStream empty;
    LoadSave_ReadIntoStream(&empty, "empty.bin", 0);
    std::unique_ptr<CStream> nothing(ZDecompressStream(&empty));
    ASSERT_NE(nothing, nullptr);
    EXPECT_EQ(nothing->GetSize(), 0);

    // Inflate straight from a stream: skip the length word when loading.
    CStream raw;
    LoadSave_ReadIntoStream(&raw, "framed.bin", 4);
    CStream out;
    EXPECT_EQ(raw.Inflate(&out), 0);
    EXPECT_EQ(out.GetPosition(), static_cast<int64_t>(plain.size()));
    EXPECT_EQ(std::memcmp(out.GetMemory(), plain.data(), plain.size()), 0);
    CStream garbage;
    garbage.WriteBuffer("not zlib data", 13);
    garbage.SetPosition(0);
    EXPECT_EQ(garbage.Inflate(&out), -3);
}

TEST_F(StreamFileTest, LoadFromFileSkipsAndPrefersTheSaveArea) {
    LoadSave_SetBundleFolder((root + "/game").c_str());
    const std::string save = LoadSave_MakeSaveArea("StreamGame", false);
    LoadSave_SetSaveArea(save.c_str());
    iotest::WriteFile(root + "/game/f.bin", "bundle");
    CStream s;
    s.SetPosition(2);
    LoadSave_ReadIntoStream(&s, "f.bin", 2);
    EXPECT_EQ(Bytes(s), "ndle");
    EXPECT_EQ(s.GetPosition(), 2);
    iotest::WriteFile(save + "f.bin", "saved");
    LoadSave_ReadIntoStream(&s, "f.bin", 0);
    EXPECT_EQ(Bytes(s), "saved");
    LoadSave_ReadIntoStream(&s, "f.bin", 99);
    EXPECT_EQ(s.GetSize(), 0);
    LoadSave_ReadIntoStream(&s, "missing.bin", 0);
    EXPECT_EQ(s.GetSize(), 0);
    EXPECT_EQ(s.GetMemory(), nullptr);
}

}  // namespace
