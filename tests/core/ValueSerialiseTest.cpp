#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ValueTestSupport.h"
#include "io/IBuffer.h"

namespace {

// Writes the value layout from a JSON description with Python's struct module, knowing
// nothing of our code: kind word as <i, reals as <d, strings as UTF-8 and a zero byte,
// arrays as a row count and per row its length and items.
const char* kEncoderScript = R"PY(
import json, struct, sys
def enc(v):
    tag = v[0]
    if tag == "real": return struct.pack("<id", 0, v[1])
    if tag == "bits": return struct.pack("<i", 0) + struct.pack("<Q", int(v[1], 16))
    if tag == "str": return struct.pack("<i", 1) + v[1].encode("utf-8") + b"\0"
    if tag == "nostr": return struct.pack("<i", 1) + b"\x04\0"
    if tag == "kind": return struct.pack("<i", v[1])
    if tag == "arr":
        out = struct.pack("<ii", 2, len(v[1]))
        for row in v[1]:
            out += struct.pack("<i", len(row)) + b"".join(enc(x) for x in row)
        return out
    raise ValueError(tag)
with open(sys.argv[1], encoding="utf-8") as f:
    sys.stdout.write(enc(json.load(f)).hex())
)PY";

class ValueSerialise : public ::testing::Test {
protected:
    void SetUp() override {
        const char* root = std::getenv("HV_TEST_TMP");
        std::filesystem::path base = root ? root : std::filesystem::temp_directory_path().string();
        std::filesystem::create_directories(base);
        std::string pattern = (base / "serialise-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    // The bytes Python's encoder makes of a JSON description.
    std::vector<uint8_t> PythonEncode(const std::string& json) {
        std::ofstream(m_dir / "encode.py") << kEncoderScript;
        std::ofstream(m_dir / "value.json") << json;
        std::string command =
            "python3 '" + (m_dir / "encode.py").string() + "' '" + (m_dir / "value.json").string() + "'";
        std::string hex;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char chunk[256];
            while (std::fgets(chunk, sizeof chunk, pipe)) hex += chunk;
            EXPECT_EQ(pclose(pipe), 0);
        }
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            bytes.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
        return bytes;
    }

    static std::vector<uint8_t> Serialise(const RValue* value) {
        Buffer_Standard buffer;
        RValue_Serialise(value, &buffer);
        return {buffer.GetData(), buffer.GetData() + buffer.GetUsedSize()};
    }

    std::filesystem::path m_dir;
};

RValue KindOnly(uint32_t kind) {
    RValue v = RValue_Undefined();
    v.kind = kind;
    return v;
}

// [[1.5, "héllo", int32, undefined, bool, NaN with payload, string without record],
//  [],
//  [[[-0.0, "x"]], int64, array without record, pointer]]
void BuildSample(RValue* value) {
    SetElement(value, 0, RValue_Real(1.5));
    SetElementText(value, 1, "héllo");
    SetElement(value, 2, RValue_Int32(7));
    SetElement(value, 3, RValue_Undefined());
    SetElement(value, 4, RValue_Bool(1.0));
    RValue nan = RValue_Undefined();
    nan.kind = VALUE_REAL;
    nan.v64 = 0x7FF8000000000123;
    SetElement(value, 5, nan);
    SetElement(value, 6, KindOnly(VALUE_STRING));
    RValue* nested = RValue_ElementRef(value, 2 * ARRAY_ROW_STRIDE);
    SetElement(nested, 0, RValue_Real(-0.0));
    SetElementText(nested, 1, "x");
    SetElement(value, 2 * ARRAY_ROW_STRIDE + 1, RValue_Int64(12345678901));
    SetElement(value, 2 * ARRAY_ROW_STRIDE + 2, KindOnly(VALUE_ARRAY));
    RValue pointer = KindOnly(VALUE_PTR);
    pointer.ptr = &pointer;
    SetElement(value, 2 * ARRAY_ROW_STRIDE + 3, pointer);
}

const char* kSampleJson = R"([ "arr", [
    [["real", 1.5], ["str", "héllo"], ["kind", 7], ["kind", 5], ["kind", 13],
     ["bits", "7ff8000000000123"], ["nostr"]],
    [],
    [["arr", [[["real", -0.0], ["str", "x"]]]], ["kind", 10], ["arr", []], ["kind", 3]]
]])";

TEST_F(ValueSerialise, MatchesAnIndependentEncoderByteForByte) {
    Held sample;
    BuildSample(&sample.v);
    std::vector<uint8_t> ours = Serialise(&sample.v);
    std::vector<uint8_t> theirs = PythonEncode(kSampleJson);
    ASSERT_FALSE(theirs.empty()) << "python3 encoder failed";
    EXPECT_EQ(ours, theirs);

    // The other way: read Python's bytes and check what came back.
    Buffer_Standard buffer(theirs.data(), int32_t(theirs.size()), eBufferType_Fixed, 1, false);
    Held back;
    ASSERT_TRUE(RValue_Deserialise(&back.v, &buffer));
    ASSERT_EQ(back.v.kind, VALUE_ARRAY);
    EXPECT_EQ(back.v.arr->owner, &back.v);
    ASSERT_EQ(back.v.arr->rowCount, 3);
    EXPECT_EQ(back.v.arr->rows[0].length, 7);
    EXPECT_EQ(back.v.arr->rows[1].length, 0);
    EXPECT_STREQ(RValue_GetStringText(&ItemAt(back.v, 0, 1)), "héllo");
    EXPECT_EQ(ItemAt(back.v, 0, 5).v64, 0x7FF8000000000123) << "NaN payload kept bit for bit";
    EXPECT_STREQ(RValue_GetStringText(&ItemAt(back.v, 0, 6)), "\x04");
    const RValue& inner = ItemAt(ItemAt(back.v, 2, 0), 0, 0);
    EXPECT_TRUE(std::signbit(inner.val));
    EXPECT_EQ(ItemAt(back.v, 2, 1).kind, VALUE_INT64);
    EXPECT_EQ(ItemAt(back.v, 2, 1).v64, 0);
    EXPECT_EQ(ItemAt(back.v, 2, 3).kind, VALUE_PTR);
    EXPECT_EQ(ItemAt(back.v, 2, 3).ptr, nullptr);
    EXPECT_EQ(Serialise(&back.v), Serialise(&sample.v)) << "read back, it writes the same bytes";
}

TEST_F(ValueSerialise, ScalarsRoundTrip) {
    RValue values[] = {RValue_Real(-1e300),  RValue_Int32(5),       RValue_Undefined(),
                       KindOnly(VALUE_NULL), KindOnly(VALUE_UNSET), KindOnly(VALUE_OBJECT)};
    for (const RValue& value : values) {
        Buffer_Standard buffer;
        RValue_Serialise(&value, &buffer);
        buffer.Seek(0, 0);
        Held back("old payload");
        back.v.flags = 2;
        ASSERT_TRUE(RValue_Deserialise(&back.v, &buffer));
        EXPECT_EQ(back.v.kind, value.kind);
        EXPECT_EQ(back.v.flags, 2u) << "flags are not part of the stream";
        if (value.kind == VALUE_REAL) {
            EXPECT_EQ(back.v.val, value.val);
        }
    }
}

TEST_F(ValueSerialise, SelfContainingArrayIsWrittenFinitely) {
    Held self;
    SetElement(&self.v, 0, RValue_Real(1));
    RValue_SetIndexed(&self.v, &self.v, 1);
    std::vector<uint8_t> ours = Serialise(&self.v);
    EXPECT_EQ(ours, PythonEncode(R"(["arr", [[["real", 1], ["arr", []]]]])"));
    SetElement(&self.v, 1, RValue_Real(0));
}

TEST_F(ValueSerialise, DamagedInputFailsCleanly) {
    Held sample;
    BuildSample(&sample.v);
    std::vector<uint8_t> good = Serialise(&sample.v);

    // Every truncation of a good stream.
    for (size_t length = 0; length < good.size(); ++length) {
        Buffer_Standard buffer(good.data(), int32_t(length), eBufferType_Fixed, 1, false);
        Held back("previous");
        bool ok = RValue_Deserialise(&back.v, &buffer);
        EXPECT_FALSE(ok) << "cut at " << length;
        EXPECT_EQ(back.v.kind, VALUE_UNDEFINED);
    }

    // Counts that the bytes left could never hold, and nesting beyond any real data.
    auto ints = [](std::initializer_list<int32_t> words) {
        std::vector<uint8_t> bytes;
        for (int32_t w : words) {
            uint8_t b[4];
            std::memcpy(b, &w, 4);
            bytes.insert(bytes.end(), b, b + 4);
        }
        return bytes;
    };
    std::vector<std::vector<uint8_t>> bad = {
        ints({2, 0x7FFFFFFF}), ints({2, -1}),      ints({2, 1, 0x40000000, 0}),
        ints({2, 1, -5}),      ints({2, 2, 1, 0}),
    };
    std::vector<int32_t> deep;
    for (int i = 0; i < 5000; ++i) {
        deep.insert(deep.end(), {2, 1, 1});
    }
    deep.push_back(0);
    std::vector<uint8_t> deepBytes(deep.size() * 4);
    std::memcpy(deepBytes.data(), deep.data(), deepBytes.size());
    bad.push_back(deepBytes);
    for (auto& bytes : bad) {
        Buffer_Standard buffer(bytes.data(), int32_t(bytes.size()), eBufferType_Fixed, 1, false);
        Held back;
        EXPECT_FALSE(RValue_Deserialise(&back.v, &buffer));
        EXPECT_EQ(back.v.kind, VALUE_UNDEFINED);
    }
}

}  // namespace
