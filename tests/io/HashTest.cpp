#include <unistd.h>

#include <cstring>
#include <random>
#include <sstream>

#include "IoTestSupport.h"
#include "io/Base64.h"
#include "io/MD5.h"
#include "io/SHA1.h"

namespace {

std::string HexOf(const uint8_t* bytes, size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

std::string Md5(const std::string& data, size_t piece = SIZE_MAX) {
    MD5Context ctx;
    MD5_Init(&ctx);
    for (size_t i = 0; i < data.size(); i += piece)
        MD5_Update(&ctx, data.data() + i, std::min(piece, data.size() - i));
    MD5_Final(&ctx);
    return HexOf(ctx.digest, 16);
}

std::string Sha1(const std::string& data, size_t piece = SIZE_MAX) {
    SHA1Context ctx;
    SHA1_Reset(&ctx);
    for (size_t i = 0; i < data.size(); i += piece)
        SHA1_Input(&ctx, data.data() + i, std::min(piece, data.size() - i));
    EXPECT_EQ(SHA1_Result(&ctx), 1);
    uint8_t digest[20];
    for (int i = 0; i < 20; ++i) digest[i] = static_cast<uint8_t>(ctx.hash[i / 4] >> (24 - 8 * (i % 4)));
    return HexOf(digest, 20);
}

std::string Encode(const std::string& data) {
    std::vector<char> out(static_cast<size_t>(4 * data.size() / 3 + 4));
    Base64_Encode(reinterpret_cast<const uint8_t*>(data.data()), static_cast<int64_t>(data.size()),
                  out.data());
    return out.data();
}

std::string Decode(const char* text, int64_t capacity) {
    std::vector<uint8_t> out(static_cast<size_t>(capacity) + 1, 0xEE);
    const int64_t n = Base64_Decode(text, capacity, out.data(), true);
    EXPECT_EQ(out[static_cast<size_t>(n)], 0) << text;  // the terminator follows the bytes
    EXPECT_EQ(out[static_cast<size_t>(capacity)], 0xEE) << "wrote past the capacity";
    return std::string(reinterpret_cast<char*>(out.data()), static_cast<size_t>(n));
}

TEST(Hashes, Md5MatchesTheRfcSuite) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, digest] : cases) {
        EXPECT_EQ(Md5(text), digest) << text;
        EXPECT_EQ(Md5(text, 7), digest) << text;
    }
}

TEST(Hashes, Sha1MatchesTheFipsVectors) {
    EXPECT_EQ(Sha1("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(Sha1(std::string(1000000, 'a'), 4096), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    EXPECT_EQ(Sha1(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");

    SHA1Context ctx;
    SHA1_Reset(&ctx);
    SHA1_Input(&ctx, "abc", 3);
    EXPECT_EQ(SHA1_Result(&ctx), 1);
    EXPECT_EQ(SHA1_Result(&ctx), 1);  // a second result pads nothing more
    EXPECT_EQ(ctx.hash[0], 0xa9993e36u);
    SHA1_Input(&ctx, "d", 1);  // input after the result spoils the context
    EXPECT_EQ(SHA1_Result(&ctx), 0);
    SHA1_Reset(&ctx);
    EXPECT_EQ(SHA1_Result(&ctx), 1);
}

TEST(Hashes, Base64MatchesTheRfcVectors) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(Encode(plain), encoded);
        EXPECT_EQ(Decode(encoded, 64), plain);
    }
}

TEST(Hashes, Base64DecodingStopsAndBounds) {
    EXPECT_EQ(Decode("Zm9v YmFy", 64), "foo");   // a space ends the text
    EXPECT_EQ(Decode("Zm9v\nYmFy", 64), "foo");  // so does a line break
    EXPECT_EQ(Decode("Zm9vY", 64), "foo");       // a lone fifth character makes no byte
    EXPECT_EQ(Decode("Zg==Zm9v", 64), "f");
    EXPECT_EQ(Decode("-_-_", 64), "");
    EXPECT_EQ(Decode("Zm9vYmFy", 4), "foo");  // capacity - 1 bytes at most
    EXPECT_EQ(Decode("Zm9vYmFy", 1), "");
    uint8_t none[1] = {0xEE};
    EXPECT_EQ(Base64_Decode("Zm9v", 0, none, true), 0);
    EXPECT_EQ(none[0], 0xEE);
    EXPECT_EQ(Base64_EncodedCapacity(0), 1);
    EXPECT_EQ(Base64_EncodedCapacity(4), 9);
}

TEST(Hashes, AgreeWithPythonOnRandomBytes) {
    const std::string dir = ::testing::TempDir() + "hv_io_hash_" + std::to_string(::getpid()) + "/";
    std::filesystem::create_directories(dir);
    std::mt19937 rng(12345);
    std::vector<std::string> blobs;
    for (size_t n : {0, 1, 2, 3, 55, 56, 57, 63, 64, 65, 119, 120, 1000, 65537}) {
        std::string blob(n, '\0');
        for (char& c : blob) c = static_cast<char>(rng());
        iotest::WriteFile(dir + std::to_string(blobs.size()), blob);
        blobs.push_back(blob);
    }
    const std::string script = dir + "digest.py";
    iotest::WriteFile(script,
                      "import base64, hashlib, sys\n"
                      "for i in range(int(sys.argv[2])):\n"
                      "    d = open(sys.argv[1] + str(i), 'rb').read()\n"
                      "    print(hashlib.md5(d).hexdigest(), hashlib.sha1(d).hexdigest(), "
                      "base64.b64encode(d).decode() or '-')\n");
    FILE* p = ::popen(("python3 " + script + " " + dir + " " + std::to_string(blobs.size())).c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    ASSERT_EQ(::pclose(p), 0);
    std::istringstream lines(out);
    for (const std::string& blob : blobs) {
        std::string md5, sha1, b64;
        ASSERT_TRUE(lines >> md5 >> sha1 >> b64);
        if (b64 == "-") b64.clear();
        SCOPED_TRACE(blob.size());
        EXPECT_EQ(Md5(blob), md5);
        EXPECT_EQ(Md5(blob, 13), md5);
        EXPECT_EQ(Sha1(blob), sha1);
        EXPECT_EQ(Sha1(blob, 13), sha1);
        EXPECT_EQ(Encode(blob), b64);
        EXPECT_EQ(Decode(b64.c_str(), static_cast<int64_t>(blob.size()) + 1), blob);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
