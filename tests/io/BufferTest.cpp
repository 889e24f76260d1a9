#include <cmath>
#include <cstring>
#include <sstream>

#include "BufferTestSupport.h"
#include "IoTestSupport.h"
#include "core/MemoryManager.h"
#include "io/IBuffer.h"
#include "io/LoadSave.h"

using buftest::Held;
using buftest::Hex;

namespace {

// --- typed writes against an independent model ----------------------------------------

struct WriteOp {
    int32_t code;
    double number;
    const char* text;  // for codes 11 and 13
};

const WriteOp kWrites[] = {
    {eBuffer_U8, 200, nullptr},
    {eBuffer_U32, 4294967295.0, nullptr},
    {eBuffer_S8, -5, nullptr},
    {eBuffer_F64, 3.25, nullptr},
    {eBuffer_U16, 65535, nullptr},
    {eBuffer_String, 0, "h\xc3\xa9llo"},
    {eBuffer_F32, 0.1, nullptr},
    {eBuffer_S16, -2, nullptr},
    {eBuffer_Bool, 1, nullptr},
    {eBuffer_Text, 0, "ab"},
    {eBuffer_S32, -123456, nullptr},
    {eBuffer_U64, 1099511627777.0, nullptr},
    {eBuffer_F16, 1.5, nullptr},
    {99, 1, nullptr},
    {eBuffer_U8, 7.9, nullptr},
    {eBuffer_Bool, 0.25, nullptr},
    {eBuffer_U32, 3000000000.0, nullptr},
    {eBuffer_S8, 300, nullptr},
};

struct BufferShape {
    int32_t kind;
    int32_t size;
    int32_t alignment;
};

const BufferShape kShapes[] = {
    {eBufferType_Fixed, 24, 4},   {eBufferType_Fixed, 64, 1}, {eBufferType_Grow, 4, 4},
    {eBufferType_Grow, 0, 1},     {eBufferType_Grow, 3, 8},   {eBufferType_Wrap, 10, 4},
    {eBufferType_Wrap, 7, 8},     {eBufferType_Wrap, 13, 1},  {eBufferType_Fast, 6, 1},
    {eBufferType_VBuffer, 20, 2},
};

// What a buffer of each shape must hold after the writes, worked out in Python from the
// rules alone: the alignment on position + phase, byte-wise wrapping, doubling growth,
// struct encodings.
const char* kWriteModel = R"PY(
import json, struct, sys
cases = json.loads(sys.stdin.buffer.read().decode("utf-8"))
def encode(code, v):
    if code in (1, 2): return struct.pack("<B", int(v) & 0xFF)
    if code in (3, 4): return struct.pack("<H", int(v) & 0xFFFF)
    if code in (5, 6): return struct.pack("<I", int(v) & 0xFFFFFFFF)
    if code == 8: return struct.pack("<f", v)
    if code == 9: return struct.pack("<d", v)
    if code == 10: return b"\x01" if v > 0.5 else b"\x00"
    if code == 11: return v.encode("utf-8") + b"\x00"
    if code == 12: return struct.pack("<q", int(v))
    if code == 13: return v.encode("utf-8")
    return None
out = []
for case in cases:
    kind, size, want = case["kind"], case["size"], case["alignment"] % 512
    a = 1
    while a < want: a *= 2
    data = bytearray(size); pos = 0; phase = 0; used = size; results = []
    for code, v in case["writes"]:
        if kind == 3:
            if code != 1: results.append(-4)
            elif pos >= len(data): results.append(-2)
            else: data[pos] = int(v) & 0xFF; pos += 1; results.append(0)
            continue
        pos = -(-(pos + phase) // a) * a - phase
        if kind == 2:
            while pos >= len(data): pos -= len(data); phase = (phase + len(data)) % a
        if pos >= len(data) and kind not in (1, 2): results.append(-2); continue
        b = encode(code, v)
        if b is None: results.append(-1); continue
        if pos + len(b) > len(data):
            if kind == 1:
                n = max(len(data), 1)
                while n < pos + len(b): n *= 2
                data.extend(bytes(n - len(data)))
            elif kind != 2: results.append(-2); continue
        if kind == 2:
            for byte in b:
                data[pos] = byte; pos += 1
                if pos == len(data): pos = 0; phase = (phase + len(data)) % a
        else:
            data[pos:pos + len(b)] = b; pos += len(b)
        used = min(max(used, pos), len(data))
        results.append(0)
    print(" ".join(map(str, results)), data.hex(), pos, used)
)PY";

std::string ModelInput() {
    std::ostringstream json;
    json.precision(17);
    json << "[";
    bool firstShape = true;
    for (const BufferShape& shape : kShapes) {
        json << (firstShape ? "" : ",") << "{\"kind\":" << shape.kind << ",\"size\":" << shape.size
             << ",\"alignment\":" << shape.alignment << ",\"writes\":[";
        firstShape = false;
        bool firstWrite = true;
        for (const WriteOp& op : kWrites) {
            json << (firstWrite ? "" : ",") << "[" << op.code << ",";
            if (op.text)
                json << "\"" << op.text << "\"";
            else
                json << op.number;
            json << "]";
            firstWrite = false;
        }
        json << "]}";
    }
    json << "]";
    return json.str();
}

IBuffer* MakeBuffer(const BufferShape& shape) {
    if (shape.kind == eBufferType_Fast) return new Buffer_Fast(shape.size, shape.alignment);
    return new Buffer_Standard(shape.size, shape.kind, shape.alignment);
}

TEST(Buffer, TypedWritesOfEveryKindGiveTheBytesOfTheModel) {
    buftest::ErrorRecorder errors;
    std::istringstream expected(buftest::RunPython(kWriteModel, ModelInput()));
    for (const BufferShape& shape : kShapes) {
        SCOPED_TRACE("kind " + std::to_string(shape.kind) + " size " + std::to_string(shape.size) +
                     " alignment " + std::to_string(shape.alignment));
        IBuffer* buffer = MakeBuffer(shape);
        std::string results;
        for (const WriteOp& op : kWrites) {
            Held value(op.number);
            if (op.text) RValue_SetString(&value.v, op.text);
            results += (results.empty() ? "" : " ") + std::to_string(buffer->Write(op.code, &value.v));
        }
        std::string line;
        ASSERT_TRUE(std::getline(expected, line)) << "python3 model gave no line";
        std::ostringstream ours;
        ours << results << " " << Hex(buffer->GetData(), buffer->GetSize()) << " " << buffer->GetPosition()
             << " " << buffer->GetUsedSize();
        EXPECT_EQ(ours.str(), line);
        delete buffer;
    }
    EXPECT_TRUE(errors.Fatal().empty());
}

TEST(Buffer, ValuesReadBackAsWritten) {
    // Up to the f16 write, which writes nothing (its read would step over 2 bytes).
    const int kReadable = 12;
    Buffer_Standard buffer(0, eBufferType_Grow, 4);
    for (const WriteOp& op : kWrites) {
        Held value(op.number);
        if (op.text) RValue_SetString(&value.v, op.text);
        buffer.Write(op.code, &value.v);
    }
    buffer.Seek(0, 0);
    const char* expected[kReadable] = {"200", "4294967295", "-5", "3.25", "65535",   "h\xc3\xa9llo",
                                       "0.1", "-2",         "1",  "ab",   "-123456", "i64:1099511627777"};
    for (int i = 0; i < kReadable; ++i) {
        const WriteOp& op = kWrites[i];
        SCOPED_TRACE(i);
        Held out;
        const int32_t result = buffer.Read(op.code, &out.v);
        std::string got;
        if (result != 0)
            got = "-";
        else if (out.v.kind == VALUE_STRING)
            got = buftest::Text(out.v);
        else if (out.v.kind == VALUE_INT64)
            got = "i64:" + std::to_string(out.v.v64);
        else if (op.code == eBuffer_F32)
            got = std::fabs(out.v.val - 0.1) < 1e-7 ? "0.1" : std::to_string(out.v.val);
        else {
            std::ostringstream s;
            s.precision(17);
            s << out.v.val;
            got = s.str();
        }
        EXPECT_EQ(got, expected[i]);
    }
}

// --- construction and positions ---------------------------------------------------------

TEST(Buffer, AlignmentIsAPowerOfTwoBelow512AndTheDataSitsOnIt) {
    const int32_t cases[][2] = {{0, 1},     {1, 1},   {2, 2},    {3, 4},   {5, 8}, {300, 512},
                                {511, 512}, {512, 1}, {1024, 1}, {513, 1}, {-4, 1}};
    for (const auto& c : cases) {
        Buffer_Standard buffer(16, eBufferType_Fixed, c[0]);
        EXPECT_EQ(buffer.GetAlignment(), c[1]) << c[0];
        EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.GetData()) % uintptr_t(c[1]), 0u) << c[0];
        EXPECT_EQ(buffer.GetUsedSize(), 16);
    }
    Buffer_Standard empty;
    EXPECT_EQ(empty.GetType(), eBufferType_Grow);
    EXPECT_EQ(empty.GetSize(), 0);
    EXPECT_EQ(empty.GetUsedSize(), 0);
}

TEST(Buffer, WritesStopGrowAndWrapAtTheEnd) {
    Held u8(1), u32(0xAABBCCDD);
    Buffer_Standard fixed(8, eBufferType_Fixed, 4);
    EXPECT_EQ(fixed.Write(eBuffer_U8, &u8.v), 0);
    EXPECT_EQ(fixed.Write(eBuffer_U32, &u32.v), 0);
    EXPECT_EQ(Hex(fixed.GetData(), 8), "01000000ddccbbaa");
    EXPECT_EQ(fixed.Write(eBuffer_U8, &u8.v), -2);

    Buffer_Standard grow(4, eBufferType_Grow, 1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(grow.Write(eBuffer_U8, &u8.v), 0);
    EXPECT_EQ(grow.GetSize(), 8);
    Buffer_Standard far(4, eBufferType_Grow, 1);
    far.Seek(0, 20);
    EXPECT_EQ(far.Write(eBuffer_U32, &u32.v), 0);
    EXPECT_EQ(far.GetSize(), 32);
    EXPECT_EQ(far.GetUsedSize(), 24);

    // Wrap 6, alignment 4: the third byte rounds up to 8, wraps to 2 with phase 2.
    Buffer_Standard wrap(6, eBufferType_Wrap, 4);
    Held a(0xA1), b(0xB2), c(0xC3);
    wrap.Write(eBuffer_U8, &a.v);
    wrap.Write(eBuffer_U8, &b.v);
    wrap.Write(eBuffer_U8, &c.v);
    EXPECT_EQ(Hex(wrap.GetData(), 6), "a100c300b200");

    Buffer_Fast fast(4, 8);
    EXPECT_EQ(fast.Write(eBuffer_U16, &u8.v), -4);
    EXPECT_EQ(fast.GetPosition(), 0);
    EXPECT_EQ(fast.Write(eBuffer_U8, &u32.v), 0);
    EXPECT_EQ(fast.GetPosition(), 1);
}

TEST(Buffer, SeekFromStartRelativeAndEnd) {
    Buffer_Standard fixed(10, eBufferType_Fixed, 1);
    EXPECT_EQ(fixed.Seek(2, 3), 7);
    EXPECT_EQ(fixed.Seek(2, 30), 0);
    EXPECT_EQ(fixed.Seek(2, -5), 10);
    EXPECT_EQ(fixed.Seek(0, -5), 0);
    EXPECT_EQ(fixed.Seek(0, 50), 50) << "start seeks are not limited above";
    EXPECT_EQ(fixed.Seek(1, -60), 0);
    EXPECT_EQ(fixed.Seek(7, 3), 0) << "unknown base";
    fixed.Seek(0, INT32_MAX);
    EXPECT_EQ(fixed.Seek(1, INT32_MAX), INT32_MAX) << "relative seeks stop at the largest position";

    // Backwards across the start of a wrap buffer moves the phase by the size.
    Buffer_Standard wrap(6, eBufferType_Wrap, 4);
    EXPECT_EQ(wrap.Seek(1, -1), 5);
    Held v(0x11);
    wrap.Write(eBuffer_U8, &v.v);  // 5 + phase 2 rounds to 8: position 6 wraps to 0
    EXPECT_EQ(Hex(wrap.GetData(), 6), "110000000000");
    EXPECT_EQ(wrap.Seek(1, 13), 2) << "forward laps";
    EXPECT_EQ(wrap.Seek(1, -14), 0);
}

TEST(Buffer, ReadsAtTheEndAndOfStringsWithoutTerminator) {
    Held big(4294967295.0);
    Buffer_Standard buffer(4, eBufferType_Fixed, 1);
    buffer.Write(eBuffer_U32, &big.v);
    buffer.Seek(0, 0);
    Held out;
    EXPECT_EQ(buffer.Read(eBuffer_U32, &out.v), 0);
    EXPECT_EQ(out.v.val, 4294967295.0);
    EXPECT_EQ(buffer.Read(eBuffer_U8, &out.v), -1);
    EXPECT_EQ(out.v.val, -3.0);
    buffer.Seek(0, 2);
    EXPECT_EQ(buffer.Read(eBuffer_U32, &out.v), -1) << "value runs past the end";
    EXPECT_EQ(out.v.val, -3.0);
    EXPECT_EQ(buffer.Read(eBuffer_F16, &out.v), -1);
    EXPECT_EQ(out.v.val, 0.0);
    EXPECT_EQ(buffer.GetPosition(), 4);

    // Bytes run to the used size without a zero: the position ends one past it.
    Buffer_Standard grow;
    Held text("abc");
    grow.Write(eBuffer_Text, &text.v);
    grow.Seek(0, 0);
    EXPECT_EQ(grow.Read(eBuffer_String, &out.v), 0);
    EXPECT_EQ(buftest::Text(out.v), "abc");
    EXPECT_EQ(grow.GetPosition(), 4);
    EXPECT_EQ(grow.GetUsedSize(), 3);
}

TEST(Buffer, PeekAndPokeStayInsideOrWrap) {
    Buffer_Standard fixed(4, eBufferType_Fixed, 4);
    Buffer_Standard wrap(4, eBufferType_Wrap, 4);
    Held word(0x1234);
    fixed.Poke(3, eBuffer_U16, &word.v);
    EXPECT_EQ(Hex(fixed.GetData(), 4), "00000000") << "does not fit";
    wrap.Poke(3, eBuffer_U16, &word.v);
    EXPECT_EQ(Hex(wrap.GetData(), 4), "12000034");
    wrap.Poke(-1, eBuffer_U8, &word.v);
    EXPECT_EQ(Hex(wrap.GetData(), 4), "12000034") << "negative offsets do nothing";

    Held out;
    fixed.Peek(3, eBuffer_U16, &out.v);
    EXPECT_EQ(out.v.val, 0.0);
    wrap.Peek(3, eBuffer_U16, &out.v);
    EXPECT_EQ(out.v.val, double(0x1234));
    wrap.Peek(7, eBuffer_U8, &out.v);
    EXPECT_EQ(out.v.val, double(0x34)) << "offsets reduce modulo the size";
    EXPECT_EQ(wrap.GetPosition(), 0);

    Buffer_Standard grow(8, eBufferType_Grow, 1);
    Held text("hi"), big(1099511627777.0);
    grow.Poke(1, eBuffer_String, &text.v);
    grow.Peek(1, eBuffer_String, &out.v);
    EXPECT_EQ(buftest::Text(out.v), "hi");
    grow.Poke(0, eBuffer_U64, &big.v);
    grow.Peek(0, eBuffer_U64, &out.v);
    EXPECT_EQ(out.v.kind, VALUE_INT64);
    EXPECT_EQ(out.v.v64, 1099511627777);
    grow.Poke(6, eBuffer_Text, &text.v);
    grow.Poke(7, eBuffer_Text, &text.v);
    EXPECT_EQ(Hex(grow.GetData() + 6, 2), "6869") << "text that does not fit is not written";
}

TEST(Buffer, FillPlacesAlignedCopiesAndZeroes) {
    Held seven(7), word(0x01020304);
    Buffer_Standard aligned(10, eBufferType_Fixed, 4);
    std::memset(aligned.GetData(), 0xEE, 10);
    aligned.Fill(0, 10, eBuffer_U8, &seven.v);
    EXPECT_EQ(Hex(aligned.GetData(), 10), "07000000070000000700");

    Buffer_Standard tail(10, eBufferType_Fixed, 1);
    std::memset(tail.GetData(), 0xEE, 10);
    tail.Fill(1, -1, eBuffer_U32, &word.v);
    EXPECT_EQ(Hex(tail.GetData(), 10), "ee040302010403020100") << "a tail too short for a value is zeroed";

    Buffer_Standard wrap(6, eBufferType_Wrap, 2);
    wrap.Fill(-2, 6, eBuffer_U16, &word.v);
    EXPECT_EQ(Hex(wrap.GetData(), 6), "040304030403");

    Buffer_Standard grow(4, eBufferType_Grow, 1);
    grow.Fill(4, 2, eBuffer_U8, &seven.v);
    grow.Fill(0, 2, eBuffer_F16, &seven.v);
    EXPECT_EQ(grow.GetSize(), 4);
    EXPECT_EQ(Hex(grow.GetData(), 4), "00000000");
}

// --- raw bytes and copies ---------------------------------------------------------------

TEST(Buffer, RawBytesClipGrowOrWrap) {
    const uint8_t bytes[] = {1, 2, 3, 4, 5, 6};
    Buffer_Standard fixed(4, eBufferType_Fixed, 4);
    fixed.Seek(0, 1);
    EXPECT_EQ(fixed.WriteBytes(bytes, 2, 3), 3);
    EXPECT_EQ(Hex(fixed.GetData(), 4), "00010203");
    EXPECT_EQ(fixed.WriteBytes(bytes, 1, 1), 0);
    EXPECT_EQ(fixed.WriteBytes(bytes, -1, 3), 0);

    Buffer_Standard grow(2, eBufferType_Grow, 4);
    grow.Seek(0, 3);
    EXPECT_EQ(grow.WriteBytes(bytes, 1, 2), 2);
    EXPECT_EQ(grow.GetSize(), 5) << "grown to exactly what is needed";

    Buffer_Standard wrap(4, eBufferType_Wrap, 1);
    wrap.Seek(0, 2);
    EXPECT_EQ(wrap.WriteBytes(bytes, 1, 6), 6);
    EXPECT_EQ(Hex(wrap.GetData(), 4), "03040506");
    EXPECT_EQ(wrap.GetPosition(), 0);
    uint8_t back[6] = {};
    wrap.Seek(0, 3);
    EXPECT_EQ(wrap.ReadBytes(back, 1, 6), 6);
    EXPECT_EQ(Hex(back, 6), "060304050603");
    EXPECT_EQ(wrap.GetPosition(), 1);

    fixed.Seek(0, 2);
    EXPECT_EQ(fixed.ReadBytes(back, 1, 6), 2) << "reads stop at the size";
}

struct CopyCase {
    const char* name;
    int32_t kind, size;
    int32_t sourceOffset, count, destinationOffset;
    bool sourceWraps;
    int32_t result;
    const char* bytes;  // the destination afterwards
};

TEST(Buffer, CopiesFromMemoryFollowTheDestinationKind) {
    const uint8_t source[] = {'a', 'b', 'c', 'd', 'e', 'f', 'g'};
    const CopyCase cases[] = {
        {"fixed clips", eBufferType_Fixed, 4, 0, -1, 2, false, 4, "00006162"},
        {"fixed offset past the end", eBufferType_Fixed, 4, 0, 2, 4, false, -1, "00000000"},
        {"negative offset is 0", eBufferType_Fixed, 4, 0, 2, -3, false, 2, "61620000"},
        {"grow to the exact end", eBufferType_Grow, 2, 0, 3, 3, false, 6, "000000616263"},
        {"wrap destination", eBufferType_Wrap, 4, 0, 3, 3, false, 2, "62630061"},
        {"wrap laps keep the last", eBufferType_Wrap, 3, 0, -1, 0, false, 1, "676566"},
        {"source wraps", eBufferType_Fixed, 4, 5, 4, 0, true, 4, "66676162"},
        {"source offset clamps", eBufferType_Fixed, 4, 10, 3, 0, false, 1, "67000000"},
        {"empty fixed buffer refuses", eBufferType_Fixed, 0, 0, 3, 0, false, -1, ""},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.name);
        Buffer_Standard buffer(c.size, c.kind, 1);
        const bool mayGrow = c.kind == eBufferType_Grow;
        EXPECT_EQ(IBuffer_CopyFromMemory(&buffer, source, 7, c.sourceOffset, c.count, c.destinationOffset,
                                         mayGrow, c.kind == eBufferType_Wrap, c.sourceWraps),
                  c.result);
        EXPECT_EQ(Hex(buffer.GetData(), buffer.GetSize()), c.bytes);
    }
    uint8_t plain[3] = {};
    EXPECT_EQ(IBuffer_CopyToMemory(plain, 3, source, 7, 6, 4, 1, true, true), 2);
    EXPECT_EQ(Hex(plain, 3), "626361") << "only the last lap of a, b, c from g reaches it";
}

TEST(Buffer, CopyToAnotherBufferGrowsWrapsOrClips) {
    Buffer_Standard source(4, eBufferType_Wrap, 1);
    std::memcpy(source.GetData(), "wxyz", 4);
    Buffer_Standard grow;
    source.CopyTo(2, 4, &grow, 1);
    EXPECT_EQ(Hex(grow.GetData(), grow.GetSize()), "00797a7778") << "source wraps, empty destination grows";
    EXPECT_EQ(grow.GetUsedSize(), 5);
    Buffer_Standard fixed(3, eBufferType_Fixed, 1);
    source.CopyTo(0, -1, &fixed, 1);
    EXPECT_EQ(Hex(fixed.GetData(), 3), "007778");
    source.CopyTo(1, 2, &source, 0);
    EXPECT_EQ(Hex(source.GetData(), 4), "7879797a") << "a buffer copied into itself";
}

TEST(Buffer, ResizeKeepsTheBytesAndResetsAPositionPastTheEnd) {
    Buffer_Standard buffer(4, eBufferType_Fixed, 8);
    std::memcpy(buffer.GetData(), "abcd", 4);
    buffer.Seek(0, 3);
    EXPECT_TRUE(buffer.Resize(6));
    EXPECT_EQ(Hex(buffer.GetData(), 6), "616263640000");
    EXPECT_EQ(buffer.GetPosition(), 3);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.GetData()) % 8, 0u);
    EXPECT_TRUE(buffer.Resize(2));
    EXPECT_EQ(buffer.GetPosition(), 0);
    EXPECT_EQ(buffer.GetUsedSize(), 2);
    EXPECT_FALSE(buffer.Resize(-1));
    EXPECT_EQ(buffer.GetSize(), 2);

    // A buffer over memory it does not own takes its own block on resize.
    uint8_t outside[3] = {9, 8, 7};
    Buffer_Standard over(outside, 3, eBufferType_Grow, 1, false);
    over.Resize(4);
    EXPECT_EQ(Hex(over.GetData(), 4), "09080700");
    EXPECT_NE(over.GetData(), outside);
}

// --- guards against sizes that cannot be held --------------------------------------------

TEST(Buffer, FarSeeksAndEmptyBuffersNeverOverflowOrLoop) {
    Held word(1);
    Held out;
    Buffer_Standard grow(4, eBufferType_Grow, 4);
    for (int32_t position : {INT32_MAX, INT32_MAX - 3, IBuffer::kMaxSize - 2}) {
        grow.Seek(0, position);
        EXPECT_EQ(grow.Write(eBuffer_U32, &word.v), -2) << position;
        EXPECT_EQ(grow.WriteBytes("abcd", 1, 4), 0) << position;
        EXPECT_EQ(grow.GetSize(), 4);
    }

    Buffer_Standard emptyGrow(0, eBufferType_Grow, 1);
    EXPECT_EQ(emptyGrow.Write(eBuffer_U32, &word.v), 0);
    EXPECT_EQ(emptyGrow.GetSize(), 4);

    Buffer_Standard emptyWrap(0, eBufferType_Wrap, 4);
    EXPECT_EQ(emptyWrap.Write(eBuffer_U8, &word.v), -2);
    EXPECT_EQ(emptyWrap.Read(eBuffer_U8, &out.v), -1);
    EXPECT_EQ(emptyWrap.Seek(1, -7), 0);
    emptyWrap.Poke(3, eBuffer_U8, &word.v);
    emptyWrap.Peek(3, eBuffer_U8, &out.v);
    emptyWrap.Fill(0, -1, eBuffer_U8, &word.v);
    EXPECT_EQ(emptyWrap.WriteBytes("ab", 1, 2), 0);
    EXPECT_EQ(emptyWrap.ReadBytes(&out, 1, 2), 0);
    Held unchanged("kept");
    emptyWrap.MD5(&unchanged.v, 0, -1);
    EXPECT_EQ(buftest::Text(unchanged.v), "kept");

    // A wrap buffer seeked far from its start wraps in one step.
    Buffer_Standard wrap(3, eBufferType_Wrap, 1);
    wrap.Seek(0, 2000000000);
    EXPECT_EQ(wrap.Write(eBuffer_U8, &word.v), 0);
    EXPECT_EQ(wrap.GetPosition(), 0);  // 2000000000 mod 3 = 2, plus one byte wraps
}

// --- surfaces -----------------------------------------------------------------------------

// One 2 x 2 surface, id 5, whose pixels the tests can see.
uint32_t g_surfacePixels[4];
const BufferSurfaceAccess kFakeSurface = {
    [](int32_t id, int32_t* w, int32_t* h) {
        *w = *h = 2;
        return id == 5;
    },
    [](int32_t, uint32_t* pixels) { std::memcpy(pixels, g_surfacePixels, sizeof g_surfacePixels); },
    [](int32_t, const uint32_t* pixels) { std::memcpy(g_surfacePixels, pixels, sizeof g_surfacePixels); },
};

TEST(Buffer, SurfaceRowsLandWithTheirGapAndBadRangesAreRefused) {
    Buffer_SetSurfaceAccess(&kFakeSurface);
    const uint32_t picture[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
    std::memcpy(g_surfacePixels, picture, sizeof picture);
    Buffer_Standard buffer(21, eBufferType_Fixed, 1);
    buffer.GetSurface(5, 0, 1, 4);
    EXPECT_EQ(Hex(buffer.GetData(), 21),
              "00"
              "1111111122222222"
              "00000000"
              "3333333344444444");

    std::memset(g_surfacePixels, 0, sizeof g_surfacePixels);
    buffer.SetSurface(5, 1, 4);
    EXPECT_EQ(std::memcmp(g_surfacePixels, picture, sizeof picture), 0) << "the same rows back";

    Buffer_Standard fresh(21, eBufferType_Fixed, 1);
    fresh.GetSurface(5, 0, 2, 4);   // one byte short
    fresh.GetSurface(5, 0, -1, 4);  // before the start
    fresh.GetSurface(5, 0, 0, -8);  // rows overlapping backwards
    fresh.GetSurface(6, 0, 0, 0);   // no such surface
    EXPECT_EQ(Hex(fresh.GetData(), 21), std::string(42, '0'));
    std::memset(g_surfacePixels, 0xAB, sizeof g_surfacePixels);
    fresh.SetSurface(5, -4, 0);
    fresh.SetSurface(5, 0, -4);
    fresh.SetSurface(5, 14, 0);
    EXPECT_EQ(g_surfacePixels[0], 0xABABABABu);
    Buffer_SetSurfaceAccess(nullptr);
}

// --- files and text forms -----------------------------------------------------------------

class BufferFiles : public iotest::TempTreeTest {
protected:
    void SetUp() override {
        TempTreeTest::SetUp();
        save = LoadSave_MakeSaveArea("BufferGame", false);
        LoadSave_SetSaveArea(save.c_str());
        LoadSave_SetBundleFolder((root + "/game/").c_str());
        LoadSave_SetWorkingFolder(nullptr);
    }
    std::string save;
};

TEST_F(BufferFiles, SaveAndLoadRangesThroughTheSaveArea) {
    Buffer_Standard buffer(6, eBufferType_Fixed, 1);
    std::memcpy(buffer.GetData(), "abcdef", 6);
    EXPECT_EQ(buffer.Save("out/whole.bin", 0, -1), 1);
    EXPECT_EQ(iotest::ReadFile(save + "out/whole.bin"), "abcdef");
    EXPECT_EQ(buffer.Save("part.bin", 2, 3), 1);
    EXPECT_EQ(iotest::ReadFile(save + "part.bin"), "cde");
    EXPECT_EQ(buffer.Save("../escape.bin", 0, -1), 0);
    Buffer_Standard empty;
    EXPECT_EQ(empty.Save("empty.bin", 0, -1), 1);
    EXPECT_EQ(iotest::ReadFile(save + "empty.bin"), "");

    iotest::WriteFile(root + "/game/bundled.bin", "0123456789");
    Buffer_Standard wrap(4, eBufferType_Wrap, 1);
    EXPECT_EQ(wrap.Load("bundled.bin", 5, 3, 2), 1);
    EXPECT_EQ(Hex(wrap.GetData(), 4),
              "3700"
              "3536");
    Buffer_Standard grow;
    EXPECT_EQ(grow.Load("part.bin", 0, -1, 2), 1) << "the save area is asked first";
    EXPECT_EQ(Hex(grow.GetData(), grow.GetSize()), "0000636465");
    EXPECT_EQ(grow.Load("missing.bin", 0, -1, 0), 0);
    EXPECT_EQ(grow.Load("https://example.invalid/x", 0, -1, 0), 0);
    EXPECT_EQ(grow.Load("empty.bin", 0, -1, 0), 1);
    EXPECT_EQ(grow.GetSize(), 5) << "an empty file copies nothing";
}

TEST(Buffer, Base64DecodeWritesOnlyTheDecodedBytes) {
    Buffer_Standard fresh;
    EXPECT_EQ(fresh.Base64Decode("AQID", 0, -1), 1);
    EXPECT_EQ(Hex(fresh.GetData(), fresh.GetSize()), "010203");
    Buffer_Standard existing(6, eBufferType_Fixed, 1);
    std::memset(existing.GetData(), 0xEE, 6);
    EXPECT_EQ(existing.Base64Decode("AQID", 2, -1), 1);
    EXPECT_EQ(Hex(existing.GetData(), 6), "eeee010203ee");
    EXPECT_EQ(existing.Base64Decode("BAUG", 0, 1), 1);
    EXPECT_EQ(Hex(existing.GetData(), 6), "04ee010203ee");
    EXPECT_EQ(existing.Base64Decode(nullptr, 0, -1), 0);

    Held text;
    existing.Base64Encode(&text.v, 4, -1);
    EXPECT_EQ(buftest::Text(text.v), "A+4=");
    fresh.MD5(&text.v, 1, 0);
    EXPECT_EQ(buftest::Text(text.v), "d41d8cd98f00b204e9800998ecf8427e") << "a range of no bytes";
    fresh.SHA1(&text.v, 0, 0);
    EXPECT_EQ(buftest::Text(text.v), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST(Buffer, StringsThroughTheScratchValue) {
    Buffer_Standard buffer;
    EXPECT_EQ(buffer.WriteString("one"), 0);
    EXPECT_EQ(buffer.WriteString(nullptr), 0);
    buffer.Seek(0, 0);
    char* first = buffer.ReadString();
    char* second = buffer.ReadString();
    EXPECT_STREQ(first, "one");
    EXPECT_STREQ(second, "\x04");
    char* beyondUsed = buffer.ReadString();
    EXPECT_STREQ(beyondUsed, "") << "inside the size but past what was written";
    buffer.Seek(2, 0);
    EXPECT_EQ(buffer.ReadString(), nullptr) << "at the end";
    MEM_FREE(first);
    MEM_FREE(second);
    MEM_FREE(beyondUsed);
}

}  // namespace
