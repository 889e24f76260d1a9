// Typed numbers written and read where they fit plainly take a shorter path than every other
// case; these tests hold that path to the general one: the same bytes, values, positions,
// results and used sizes, at the edges where one path hands over to the other.
#include <cmath>
#include <cstring>
#include <limits>

#include "BufferTestSupport.h"
#include "io/IBuffer.h"

using buftest::Held;
using buftest::Hex;

namespace {

const int32_t kNumberCodes[] = {eBuffer_U8,  eBuffer_S8,  eBuffer_U16, eBuffer_S16,  eBuffer_U32,
                                eBuffer_S32, eBuffer_F32, eBuffer_F64, eBuffer_Bool, eBuffer_U64};

// Reals at and around every conversion's limits, and the ones the getters treat specially.
const double kReals[] = {
    0.0,
    -0.0,
    0.5,
    0.51,
    7.9,
    -7.9,
    255,
    256,
    -1,
    300,
    65535,
    65536,
    -32769,
    2147483647.9,
    -2147483648.9,
    2147483648.0,
    -2147483649.0,
    4294967295.0,
    4294967296.0,
    3e9,
    -3e9,
    9.2e18,
    9223372036854775807.0,
    -9223372036854775808.0,
    1e19,
    -1e19,
    1e300,
    3.5e38,
    1e-310,
    std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
};

TEST(BufferNumbers, RealsAreStoredAsTheGeneralEncodingStoresThem) {
    buftest::ErrorRecorder errors;
    for (int32_t code : kNumberCodes) {
        const int32_t width = Buffer_SizeOfType(code);
        for (double real : kReals) {
            SCOPED_TRACE("code " + std::to_string(code) + " real " + std::to_string(real));
            Held value(real);
            // In place; through Poke's encoding; and through growth, which is never in place.
            Buffer_Standard plain(16, eBufferType_Fixed, 1);
            Buffer_Standard poked(16, eBufferType_Fixed, 1);
            Buffer_Standard grown(0, eBufferType_Grow, 1);
            EXPECT_EQ(plain.Write(code, &value.v), 0);
            poked.Poke(0, code, &value.v);
            EXPECT_EQ(grown.Write(code, &value.v), 0);
            EXPECT_EQ(Hex(plain.GetData(), width), Hex(poked.GetData(), width));
            EXPECT_EQ(Hex(plain.GetData(), width), Hex(grown.GetData(), width));
            EXPECT_EQ(plain.GetPosition(), width);
            EXPECT_EQ(plain.GetUsedSize(), 16);
        }
    }
    EXPECT_TRUE(errors.Fatal().empty());
    EXPECT_EQ(errors.TakeNonFatal(), "");
}

// Bit for bit, so NaN payloads count.
std::string Bits(const RValue& v) {
    return std::to_string(v.kind) + ":" + Hex(reinterpret_cast<const uint8_t*>(&v.v64), 8);
}

TEST(BufferNumbers, ReadsDecodeAsPeekDoes) {
    // Every byte value, and the patterns of NaNs, infinities and signs in f32 and f64.
    Buffer_Standard buffer(288, eBufferType_Fixed, 1);
    uint8_t* data = buffer.GetData();
    for (int32_t i = 0; i < 256; ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
    const uint8_t patterns[] = {0x01, 0x00, 0xC0, 0x7F, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF,
                                0xFF, 0xFF, 0xFF, 0xF7, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0xF0, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80};
    std::memcpy(data + 256, patterns, sizeof patterns);
    for (int32_t code : kNumberCodes) {
        const int32_t width = Buffer_SizeOfType(code);
        for (int32_t offset = 0; offset + width <= 288; ++offset) {
            SCOPED_TRACE("code " + std::to_string(code) + " offset " + std::to_string(offset));
            Held read, peeked;
            buffer.Seek(0, offset);
            ASSERT_EQ(buffer.Read(code, &read.v), 0);
            EXPECT_EQ(buffer.GetPosition(), offset + width);
            buffer.Peek(offset, code, &peeked.v);
            EXPECT_EQ(Bits(read.v), Bits(peeked.v));
        }
    }
}

// --- where the plain case ends --------------------------------------------------------------

struct WriteEdge {
    const char* what;
    int32_t kind, size, alignment, seekTo, code;
    int32_t result, position, sizeAfter, usedAfter;
};

const WriteEdge kWriteEdges[] = {
    {"ends on the end", eBufferType_Fixed, 8, 4, 4, eBuffer_U32, 0, 8, 8, 8},
    {"aligned onto the end", eBufferType_Fixed, 8, 4, 5, eBuffer_U32, -2, 8, 8, 8},
    {"a byte aligned onto the end", eBufferType_Fixed, 8, 4, 5, eBuffer_U8, -2, 8, 8, 8},
    {"one byte over", eBufferType_Fixed, 8, 1, 5, eBuffer_U32, -2, 5, 8, 8},
    {"aligned and fitting", eBufferType_Fixed, 7, 4, 1, eBuffer_U16, 0, 6, 7, 7},
    {"eight-byte alignment", eBufferType_Fixed, 16, 8, 1, eBuffer_F64, 0, 16, 16, 16},
    {"vbuffer as fixed", eBufferType_VBuffer, 8, 2, 3, eBuffer_S16, 0, 6, 8, 8},
    {"far past the end", eBufferType_Fixed, 8, 4, INT32_MAX, eBuffer_U8, -2, INT32_MAX, 8, 8},
    {"grows past the end", eBufferType_Grow, 6, 4, 4, eBuffer_U32, 0, 8, 12, 8},
    {"grow buffer inside", eBufferType_Grow, 6, 4, 0, eBuffer_U32, 0, 4, 6, 6},
    {"wraps round", eBufferType_Wrap, 6, 1, 4, eBuffer_U32, 0, 2, 6, 6},
};

TEST(BufferNumbers, WritesAtTheEdgesOfThePlainCase) {
    for (const WriteEdge& c : kWriteEdges) {
        SCOPED_TRACE(c.what);
        Buffer_Standard buffer(c.size, c.kind, c.alignment);
        buffer.Seek(0, c.seekTo);
        Held value(7);
        EXPECT_EQ(buffer.Write(c.code, &value.v), c.result);
        EXPECT_EQ(buffer.GetPosition(), c.position);
        EXPECT_EQ(buffer.GetSize(), c.sizeAfter);
        EXPECT_EQ(buffer.GetUsedSize(), c.usedAfter);
    }
}

struct ReadEdge {
    const char* what;
    int32_t size, alignment, seekTo, code;
    int32_t result;
    double value;
    int32_t position;
};

// Over bytes 0x00, 0x11, 0x22, ...
const ReadEdge kReadEdges[] = {
    {"ends on the end", 8, 4, 4, eBuffer_U32, 0, 0x77665544, 8},
    {"aligned onto the end", 8, 4, 5, eBuffer_U32, -1, -3, 8},
    {"one byte over", 8, 1, 5, eBuffer_U32, -1, -3, 5},
    {"aligned and fitting", 7, 4, 1, eBuffer_U16, 0, 0x5544, 6},
    {"f16 steps over two bytes", 8, 4, 3, eBuffer_F16, -1, 0, 6},
    {"unknown code", 8, 4, 1, 99, -1, 0, 4},
    {"a byte before the end", 8, 1, 6, eBuffer_S8, 0, 0x66, 7},
};

TEST(BufferNumbers, ReadsAtTheEdgesOfThePlainCase) {
    for (const ReadEdge& c : kReadEdges) {
        SCOPED_TRACE(c.what);
        Buffer_Standard buffer(c.size, eBufferType_Fixed, c.alignment);
        for (int32_t i = 0; i < c.size; ++i) buffer.GetData()[i] = static_cast<uint8_t>(i * 0x11);
        buffer.Seek(0, c.seekTo);
        Held out;
        EXPECT_EQ(buffer.Read(c.code, &out.v), c.result);
        EXPECT_EQ(out.v.kind, uint32_t(VALUE_REAL));
        EXPECT_EQ(out.v.val, c.value);
        EXPECT_EQ(buffer.GetPosition(), c.position);
    }
}

// Every position around the end of fixed buffers of several alignments, against the rule
// itself: the position rounds up to the alignment (and stays there on failure), then the value
// must lie wholly inside.
TEST(BufferNumbers, EveryPositionNearTheEndAlignsThenFitsOrFails) {
    const int32_t alignments[] = {1, 2, 4, 8, 256};
    const int32_t sizes[] = {0, 3, 8, 13, 1030};
    const int32_t codes[] = {eBuffer_U8, eBuffer_U16, eBuffer_U32, eBuffer_F64};
    for (int32_t alignment : alignments) {
        for (int32_t size : sizes) {
            for (int32_t code : codes) {
                const int32_t width = Buffer_SizeOfType(code);
                for (int32_t start = size > 20 ? size - 20 : 0; start < size + 10; ++start) {
                    SCOPED_TRACE(std::to_string(alignment) + "/" + std::to_string(size) + "/" +
                                 std::to_string(code) + "/" + std::to_string(start));
                    const int32_t aligned = (start + alignment - 1) / alignment * alignment;
                    const bool fits = aligned + width <= size;
                    Buffer_Standard buffer(size, eBufferType_Fixed, alignment);
                    buffer.Seek(0, start);
                    Held value(1);
                    EXPECT_EQ(buffer.Write(code, &value.v), fits ? 0 : -2);
                    EXPECT_EQ(buffer.GetPosition(), fits ? aligned + width : aligned);
                    buffer.Seek(0, start);
                    Held out;
                    EXPECT_EQ(buffer.Read(code, &out.v), fits ? 0 : -1);
                    EXPECT_EQ(out.v.val, fits ? 1.0 : -3.0);
                    EXPECT_EQ(buffer.GetPosition(), fits ? aligned + width : aligned);
                }
            }
        }
    }
}

// Whatever leaves the position between multiples of the alignment (a narrower value, raw
// bytes, a seek, a resize) makes the next wider value round up again.
TEST(BufferNumbers, EveryWayOfMisaligningThePositionIsRoundedAfter) {
    Buffer_Standard buffer(64, eBufferType_Grow, 4);
    Held small(7), word(0x01020304);
    ASSERT_EQ(buffer.Write(eBuffer_U32, &word.v), 0);
    ASSERT_EQ(buffer.Write(eBuffer_U8, &small.v), 0);
    ASSERT_EQ(buffer.Write(eBuffer_U32, &word.v), 0);
    EXPECT_EQ(buffer.GetPosition(), 12);
    ASSERT_EQ(buffer.WriteBytes("x", 1, 1), 1);
    ASSERT_EQ(buffer.Write(eBuffer_U32, &word.v), 0);
    EXPECT_EQ(buffer.GetPosition(), 20);
    buffer.Seek(1, 2);
    ASSERT_EQ(buffer.Write(eBuffer_U32, &word.v), 0);
    EXPECT_EQ(buffer.GetPosition(), 28);
    EXPECT_EQ(Hex(buffer.GetData(), 28), "04030201070000000403020178000000040302010000000004030201");
    buffer.Seek(0, 5);
    Held out;
    ASSERT_EQ(buffer.Read(eBuffer_U32, &out.v), 0);
    EXPECT_EQ(out.v.val, double(0x01020304));
    buffer.Seek(0, 1);
    ASSERT_EQ(buffer.ReadBytes(&out.v, 1, 2), 2);
    ASSERT_EQ(buffer.Read(eBuffer_U32, &out.v), 0);
    EXPECT_EQ(buffer.GetPosition(), 8);
    // A new block, grown or resized, keeps a position that still lies inside it.
    buffer.Seek(0, 61);
    ASSERT_EQ(buffer.Write(eBuffer_U32, &word.v), 0);
    EXPECT_EQ(buffer.GetSize(), 128);
    buffer.Seek(0, 65);
    ASSERT_TRUE(buffer.Resize(66));
    ASSERT_EQ(buffer.Write(eBuffer_U16, &small.v), 0);
    EXPECT_EQ(buffer.GetPosition(), 70);
    EXPECT_EQ(buffer.GetSize(), 132);
}

// A read replaces whatever the out value held: its string is released and its kind and flags
// become those of the number read.
TEST(BufferNumbers, ReadsReplaceEveryKindOfOutValue) {
    Buffer_Standard buffer(16, eBufferType_Fixed, 1);
    for (int32_t i = 0; i < 16; ++i) buffer.GetData()[i] = static_cast<uint8_t>(i + 1);
    Held text("held"), wholeNumber, flagged(2), real(3);
    wholeNumber.v = RValue_Int64(5);
    flagged.v.flags = 1;
    for (Held* out : {&text, &wholeNumber, &flagged, &real}) {
        buffer.Seek(0, 0);
        EXPECT_EQ(buffer.Read(eBuffer_U8, &out->v), 0);
        EXPECT_EQ(out->v.kind, uint32_t(VALUE_REAL));
        EXPECT_EQ(out->v.flags, 0u);
        EXPECT_EQ(out->v.val, 1.0);
        EXPECT_EQ(buffer.Read(eBuffer_U64, &out->v), 0);
        EXPECT_EQ(out->v.kind, uint32_t(VALUE_INT64));
        EXPECT_EQ(out->v.v64, 0x0908070605040302);
        EXPECT_EQ(buffer.Read(eBuffer_U16, &out->v), 0);
        EXPECT_EQ(out->v.kind, uint32_t(VALUE_REAL));
        EXPECT_EQ(out->v.val, 0x0b0a);
    }
}

// Over memory the buffer does not own, the data may lie at any address: alignment still counts
// from the data's first byte, whatever the address.
TEST(BufferNumbers, AlignmentOverMemoryCountsFromTheDataNotTheAddress) {
    alignas(8) uint8_t storage[24];
    for (int32_t shift = 0; shift < 4; ++shift) {
        SCOPED_TRACE(shift);
        std::memset(storage, 0xee, sizeof storage);
        Buffer_Standard buffer(storage + shift, 12, eBufferType_Fixed, 4, false);
        Held small(0xaa), word(0x04030201);
        EXPECT_EQ(buffer.Write(eBuffer_U8, &small.v), 0);
        EXPECT_EQ(buffer.Write(eBuffer_U32, &word.v), 0);
        EXPECT_EQ(buffer.GetPosition(), 8);
        EXPECT_EQ(Hex(storage + shift, 8), "aaeeeeee01020304");
        buffer.Seek(0, 1);
        Held out;
        EXPECT_EQ(buffer.Read(eBuffer_U32, &out.v), 0);
        EXPECT_EQ(out.v.val, double(0x04030201));
        EXPECT_EQ(buffer.Write(eBuffer_U32, &word.v), 0);
        EXPECT_EQ(buffer.Write(eBuffer_U8, &small.v), -2);
        EXPECT_EQ(buffer.GetPosition(), 12);
    }
}

// --- kinds and sizes that change the rules ------------------------------------------------

TEST(BufferNumbers, FastBuffersKeepTheirOwnRulesThroughTheBase) {
    Buffer_Fast fast(4, 8);
    IBuffer* buffer = &fast;
    Held a(0xA1), b(0xB2);
    EXPECT_EQ(buffer->Write(eBuffer_U8, &a.v), 0);
    EXPECT_EQ(buffer->Write(eBuffer_U8, &b.v), 0);
    EXPECT_EQ(buffer->GetPosition(), 2) << "no alignment";
    EXPECT_EQ(buffer->Write(eBuffer_U16, &a.v), -4);
    buffer->Seek(0, 1);
    Held out("held");
    EXPECT_EQ(buffer->Read(eBuffer_U32, &out.v), -4);
    EXPECT_EQ(out.v.val, 0.0);
    EXPECT_EQ(buffer->Read(eBuffer_U8, &out.v), 0);
    EXPECT_EQ(out.v.val, 0xB2);
    buffer->Seek(0, 4);
    EXPECT_EQ(buffer->Write(eBuffer_U8, &a.v), -2);
    EXPECT_EQ(buffer->Read(eBuffer_U8, &out.v), -2);
}

TEST(BufferNumbers, ResizingMovesWhereThePlainCaseEnds) {
    Held v(0x01020304);
    Buffer_Standard fixed(4, eBufferType_Fixed, 4);
    EXPECT_EQ(fixed.Write(eBuffer_U32, &v.v), 0);
    EXPECT_EQ(fixed.Write(eBuffer_U32, &v.v), -2);
    ASSERT_TRUE(fixed.Resize(8));
    EXPECT_EQ(fixed.Write(eBuffer_U32, &v.v), 0);
    EXPECT_EQ(Hex(fixed.GetData(), 8), "0403020104030201");
    ASSERT_TRUE(fixed.Resize(2));
    EXPECT_EQ(fixed.GetPosition(), 0);
    EXPECT_EQ(fixed.Write(eBuffer_U32, &v.v), -2);

    // A wrap buffer still wraps once resized.
    Buffer_Standard wrap(4, eBufferType_Wrap, 1);
    ASSERT_TRUE(wrap.Resize(6));
    wrap.Seek(0, 4);
    EXPECT_EQ(wrap.Write(eBuffer_U32, &v.v), 0);
    EXPECT_EQ(Hex(wrap.GetData(), 6), "020100000403");
    EXPECT_EQ(wrap.GetPosition(), 2);

    // The used size follows plain writes into room a grow buffer already has.
    Buffer_Standard grow(0, eBufferType_Grow, 4);
    EXPECT_EQ(grow.Write(eBuffer_U32, &v.v), 0);
    ASSERT_TRUE(grow.Resize(64));
    EXPECT_EQ(grow.GetUsedSize(), 4);
    Held u8(9);
    EXPECT_EQ(grow.Write(eBuffer_U8, &u8.v), 0);
    EXPECT_EQ(grow.GetUsedSize(), 5);
    EXPECT_EQ(grow.Write(eBuffer_U16, &v.v), 0);
    EXPECT_EQ(grow.GetPosition(), 10) << "aligned to 8 first";
    EXPECT_EQ(grow.GetUsedSize(), 10);
}

TEST(BufferNumbers, ReadsReleaseWhatTheOutputHeld) {
    Buffer_Standard buffer(16, eBufferType_Fixed, 1);
    buffer.GetData()[0] = 0xFE;
    std::memset(buffer.GetData() + 1, 0xFF, 8);
    Held out("a string the read must release");
    ASSERT_EQ(buffer.Read(eBuffer_S8, &out.v), 0);
    EXPECT_EQ(out.v.kind, uint32_t(VALUE_REAL));
    EXPECT_EQ(out.v.val, -2.0);
    EXPECT_EQ(buffer.Read(eBuffer_U64, &out.v), 0);
    EXPECT_EQ(out.v.kind, uint32_t(VALUE_INT64));
    EXPECT_EQ(out.v.v64, -1);

    // Values that are not reals are encoded by the general path, in place all the same.
    RValue int64 = RValue_Int64(0x0102030405060708);
    RValue boolean = RValue_Bool(0.25);
    Buffer_Standard typed(16, eBufferType_Fixed, 1);
    EXPECT_EQ(typed.Write(eBuffer_U64, &int64), 0);
    EXPECT_EQ(typed.Write(eBuffer_Bool, &boolean), 0);
    EXPECT_EQ(Hex(typed.GetData(), 9), "080706050403020101");
}

}  // namespace
