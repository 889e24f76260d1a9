#include <cstring>
#include <filesystem>
#include <iterator>

#include "JsonTestSupport.h"
#include "core/MemoryManager.h"
#include "io/Buffer_Manager.h"
#include "io/Support_SecureMap.h"

namespace {

using filetest::Arg;
using namespace jsontest;

std::string g_machineId;

// The signature and the Base64 part as an independent reader computes them: the position
// from the signed byte at index 2, the code mixed in, two SHA-1 digests interleaved.
const char* const kPythonReader =
    "import sys, hashlib, base64\n"
    "lines = sys.stdin.read().split()\n"
    "for ident, path in zip(lines[0::2], lines[1::2]):\n"
    "    ident = bytes.fromhex(ident)\n"
    "    data = open(path, 'rb').read()\n"
    "    n = len(ident)\n"
    "    b = ident[2 % n]\n"
    "    p = (b - 256 if b > 127 else b) % n\n"
    "    code = b'%03d' % (ident[p] ^ (0x5A if p % 2 == 0 else 0xA7))\n"
    "    d1 = hashlib.sha1(ident[:p] + code + ident[p:] + b'\\0').hexdigest()\n"
    "    d2 = hashlib.sha1(code + b'\\0').hexdigest()\n"
    "    sig = ''.join(d1[8 * i:8 * i + 8] + d2[8 * i:8 * i + 8] for i in range(5))\n"
    "    print(data[:80].decode() == sig)\n"
    "    print(base64.b64decode(data[80:]))\n";

std::string HexOf(const std::string& bytes) {
    return buftest::Hex(reinterpret_cast<const uint8_t*>(bytes.data()), int64_t(bytes.size()));
}

class SecureMaps : public JsonFixture {
protected:
    void SetUp() override {
        JsonFixture::SetUp();
        InitSecureMapFunctions();
        InitBufferFunctions();
        Buffer_FreeAll();
        g_machineId = "3f2a9c0d5e7b41a8b6c4d2e0f1a3b5c7";
        MachineGuid_SetSource([] { return g_machineId; });
    }
    void TearDown() override {
        MachineGuid_SetSource(nullptr);
        Buffer_FreeAll();
        JsonFixture::TearDown();
    }
};

TEST_F(SecureMaps, SavedMapsLoadBackOnTheSameComputer) {
    const int32_t list = List({RValue_Real(1), Text("two")});
    const int32_t map =
        Map({{Text("n"), RValue_Real(42)}, {Text("s"), Text("text")}, {Text("l"), Marked(list, kMarkList)}});
    EXPECT_EQ(ShowCall("ds_map_secure_save", {map, "saves/secure.dat"}), "real:0");
    const std::string bytes = SaveFile("saves/secure.dat");

    const std::string json = R"({ "n": 42.000000, "s": "text", "l": [ 1.000000, "two" ] })";
    const size_t base64 = (json.size() + 1 + 2) / 3 * 4;
    EXPECT_EQ(bytes.size(), 80 + base64);
    EXPECT_EQ(buftest::RunPython(kPythonReader, HexOf(g_machineId) + "\n" + save + "saves/secure.dat\n"),
              "True\nb'" + json + "\\x00'\n");

    const RValue& loaded = Call("ds_map_secure_load", {"saves/secure.dat"});
    EXPECT_EQ(Describe(Marked(int32_t(loaded.val), kMarkMap)), R"({n:42,s:"text",l:[1,"two"]})");

    // An index that names no map saves an empty one.
    Call("ds_map_secure_save", {9999, "empty.dat"});
    EXPECT_EQ(Describe(Marked(int32_t(Real("ds_map_secure_load", {"empty.dat"})), kMarkMap)), "{}");
}

TEST_F(SecureMaps, OtherComputersAndDamagedFilesLoadAsMinusOne) {
    const int32_t map = Map({{Text("k"), RValue_Real(1)}});
    Call("ds_map_secure_save", {map, "s.dat"});
    const std::string good = SaveFile("s.dat");
    for (size_t i : {0u, 41u, 79u}) {
        std::string bad = good;
        bad[i] = bad[i] == '0' ? '1' : '0';
        PutSave("bad.dat", bad);
        EXPECT_EQ(ShowCall("ds_map_secure_load", {"bad.dat"}), "real:-1") << i;
    }
    PutSave("short.dat", good.substr(0, 79));
    EXPECT_EQ(ShowCall("ds_map_secure_load", {"short.dat"}), "real:-1");
    PutSave("head.dat", good.substr(0, 80));
    EXPECT_EQ(ShowCall("ds_map_secure_load", {"head.dat"}), "real:-1") << "a signature with nothing after it";
    PutSave("empty.dat", "");
    EXPECT_EQ(ShowCall("ds_map_secure_load", {"empty.dat"}), "real:-1");
    EXPECT_EQ(ShowCall("ds_map_secure_load", {"none.dat"}), "real:-1");

    g_machineId = "another-computer";
    EXPECT_EQ(ShowCall("ds_map_secure_load", {"s.dat"}), "real:-1");
    EXPECT_EQ(errors.TakeNonFatal(), "");
}

TEST_F(SecureMaps, SignaturePositionFromAnyByte) {
    // Signed bytes at index 2 give a position inside the identifier, whatever their sign.
    const std::string ids[] = {"ab\xF0xyz", "ab\x80", "a",
                               "ab\x7F"
                               "cdefgh",
                               "\xFF\xFF\xFF"};
    std::string pairs, expected;
    for (size_t i = 0; i < std::size(ids); ++i) {
        g_machineId = ids[i];
        char* signature = SecureMap_MakeSignature();
        ASSERT_NE(signature, nullptr) << HexOf(ids[i]);
        EXPECT_EQ(std::strlen(signature), 80u);
        EXPECT_TRUE(SecureMap_CheckSignature(signature));
        MEM_FREE(signature);
        const std::string name = "id" + std::to_string(i) + ".dat";
        Call("ds_map_secure_save", {Map({}), name});
        pairs += HexOf(ids[i]) + " " + save + name + "\n";
        expected += "True\nb'{ }\\x00'\n";
    }
    EXPECT_EQ(buftest::RunPython(kPythonReader, pairs), expected);
    // No identifier, no signature: nothing is written and nothing loads.
    g_machineId = "";
    EXPECT_EQ(SecureMap_MakeSignature(), nullptr);
    Call("ds_map_secure_save", {Map({}), "none.dat"});
    EXPECT_FALSE(SaveHas("none.dat"));
    EXPECT_FALSE(SecureMap_CheckSignature(std::string(80, '0').c_str()));
}

TEST_F(SecureMaps, BuffersReadFromTheirPosition) {
    const int32_t map = Map({{Text("b"), RValue_Real(2)}});
    const double buffer = Real("buffer_create", {16, 1, 1});
    Call("buffer_write", {buffer, 1, 7});
    EXPECT_EQ(ShowCall("ds_map_secure_save_buffer", {map, buffer}), "real:0");
    Call("buffer_seek", {buffer, 0, 1});
    const RValue& loaded = Call("ds_map_secure_load_buffer", {buffer});
    EXPECT_EQ(Describe(Marked(int32_t(loaded.val), kMarkMap)), "{b:2}");
    Call("buffer_seek", {buffer, 0, 0});
    EXPECT_EQ(ShowCall("ds_map_secure_load_buffer", {buffer}), "real:-1")
        << "the signature starts one byte on";

    EXPECT_EQ(ShowCall("ds_map_secure_save_buffer", {map, 77}), "real:-1");
    EXPECT_EQ(errors.TakeNonFatal(), "Illegal Buffer Index");
    EXPECT_EQ(ShowCall("ds_map_secure_load_buffer", {77}), "real:-1");
    EXPECT_EQ(errors.TakeNonFatal(), "");
}

}  // namespace
