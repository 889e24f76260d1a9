#include "data/ValueCompare.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "BuiltinTestSupport.h"
#include "core/CRC32.h"

namespace {

RValue Bool(double d) {
    return RValue_Bool(d);
}
RValue Undefined() {
    return RValue_Undefined();
}
RValue Pointer(void* p) {
    RValue v = RValue_Undefined();
    v.ptr = p;
    v.kind = VALUE_PTR;
    return v;
}

struct CompareCase {
    const char* what;
    RValue a;
    RValue b;
    double tolerance;
    int32_t expected;
};

TEST(ValueCompareTest, Table) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    int cells[2];
    CompareCase cases[] = {
        {"reals within the tolerance", R(1.0), R(1.000000005), 1e-8, 0},
        {"reals beyond a finer tolerance", R(1.0), R(1.000000005), 1e-10, -1},
        {"real above", R(2.0), R(1.0), 1e-8, 1},
        {"not-a-number first", R(nan), R(0.0), 1e-8, 1},
        {"not-a-number second", R(0.0), R(nan), 1e-8, 1},
        {"bool against real", Bool(1.0), R(1.0), 0.0, 0},
        {"int32 above 2^24 meets the real in float", I32((1 << 24) + 1), R(1 << 24), 0.0, 0},
        {"real against int32 in float", R(1 << 24), I32((1 << 24) + 1), 0.0, 0},
        {"real below int32", R(1.5), I32(2), 0.0, -1},
        {"int32 above real", I32(2), R(1.5), 0.0, 1},
        {"real truncated against int64", R(2.7), I64(2), 0.0, 0},
        {"negative real truncated toward zero", R(-2.7), I64(-2), 0.0, 0},
        {"int64 against truncated real", I64(3), R(2.9), 0.0, 1},
        {"int32 pair ordered by value, not a wrapped difference", I32(INT32_MAX), I32(-1), 0.0, 1},
        {"int32 pair below", I32(-1), I32(INT32_MAX), 0.0, -1},
        {"int64 extremes", I64(INT64_MAX), I64(INT64_MIN), 0.0, 1},
        {"int32 against int64", I32(INT32_MIN), I64(INT64_MAX), 0.0, -1},
        {"int32 equal to int64", I32(5), I64(5), 0.0, 0},
        {"bool truncated against int32", Bool(0.9), I32(0), 0.0, 0},
        {"int32 against truncated bool", I32(2), Bool(1.0), 0.0, 1},
        {"strings", S("b"), S("a"), 0.0, 1},
        {"equal strings", S("abc"), S("abc"), 0.0, 0},
        {"shorter string below", S(""), S("a"), 0.0, -1},
        {"bytes compare unsigned", S("a\x80"), S("az"), 0.0, 1},
        {"string without text as empty", S(nullptr), S(""), 0.0, 0},
        {"undefined pair", Undefined(), Undefined(), 0.0, 0},
        {"undefined against real", Undefined(), R(0.0), 0.0, 1},
        {"real against undefined", R(0.0), Undefined(), 0.0, -1},
        {"real against string", R(3), S("3"), 0.0, -1},
        {"string against real", S("3"), R(3), 0.0, 1},
        {"equal pointers", Pointer(&cells[0]), Pointer(&cells[0]), 0.0, 0},
        {"lower address compares above", Pointer(&cells[0]), Pointer(&cells[1]), 0.0, 1},
        {"higher address compares below", Pointer(&cells[1]), Pointer(&cells[0]), 0.0, -1},
    };
    for (CompareCase& c : cases) {
        EXPECT_EQ(RValue_Compare(&c.a, &c.b, c.tolerance), c.expected) << c.what;
        RValue_Release(&c.a);
        RValue_Release(&c.b);
    }
}

TEST(ValueCompareTest, ReferenceKindsNeverCompareEqual) {
    Owned array;
    RValue one = R(1);
    RValue_SetIndexed(&array.v, &one, 0);
    EXPECT_EQ(RValue_Compare(&array.v, &array.v, 1.0), 1);

    // A string value whose record is missing never equals anything.
    RValue missing = RValue_Undefined();
    missing.kind = VALUE_STRING;
    Owned text;
    text.v = S("x");
    EXPECT_EQ(RValue_Compare(&missing, &text.v, 0.0), 1);
    EXPECT_EQ(RValue_Compare(&text.v, &missing, 0.0), 1);

    // Marks in the upper byte of the kind word play no part.
    RValue marked = R(4);
    marked.kind |= 0x80000000u;
    RValue plain = R(4);
    EXPECT_EQ(RValue_Compare(&marked, &plain, 0.0), 0);
}

TEST(ValueHashTest, EqualNumbersShareAHashAcrossKinds) {
    RValue values[] = {I32(7), I64(7), R(7.0), Bool(7.0)};
    const double seven = 7.0;
    for (RValue& v : values) EXPECT_EQ(DS_ValueHash(&v), CRC32_Bytes(&seven, 8));

    RValue zero = R(0.0), negativeZero = R(-0.0), undefined = RValue_Undefined();
    EXPECT_NE(DS_ValueHash(&zero), DS_ValueHash(&negativeZero));
    EXPECT_EQ(DS_ValueHash(&undefined), 0u);
    RValue unset = RValue_Undefined();
    unset.kind = VALUE_UNSET;
    EXPECT_EQ(DS_ValueHash(&unset), 0u);
}

TEST(ValueHashTest, StringsByTextAndReferencesByPayloadBytes) {
    Owned abc, empty;
    abc.v = S("abc");
    empty.v = S(nullptr);
    EXPECT_EQ(DS_ValueHash(&abc.v), 0xCADBBE3Du);
    EXPECT_EQ(DS_ValueHash(&empty.v), 0xFFFFFFFFu);

    int cell = 0;
    RValue pointer = RValue_Undefined();
    pointer.ptr = &cell;
    pointer.kind = VALUE_PTR;
    EXPECT_EQ(DS_ValueHash(&pointer), CRC32_Bytes(&pointer.v64, 8));
}

TEST(ValueCompareTest, PrecisionIsTheMagnitude) {
    const double saved = g_DSPrecision;
    DS_SetPrecision(-0.001);
    EXPECT_EQ(g_DSPrecision, 0.001);
    DS_SetPrecision(std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(std::isnan(g_DSPrecision));
    g_DSPrecision = saved;
}

}  // namespace
