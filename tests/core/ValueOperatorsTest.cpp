// The value operators compiled game code calls: the left operand's kind decides.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Operators.h"

namespace {

std::vector<std::string>* g_errors = nullptr;

class ValueOperatorsTest : public testing::Test {
protected:
    void SetUp() override {
        g_errors = &errors;
        Runtime_SetErrorReporter([](const char* text) { g_errors->push_back(text); });
    }
    void TearDown() override {
        Runtime_SetErrorReporter(nullptr);
        g_errors = nullptr;
    }
    static RValue Str(const char* text) {
        RValue v = RValue_Undefined();
        RValue_CreateString(&v, text);
        return v;
    }
    std::vector<std::string> errors;
};

TEST_F(ValueOperatorsTest, LeftKindDecides) {
    RValue out = RValue_Undefined();
    const RValue i5 = RValue_Int32(5), r27 = RValue_Real(2.7), r5 = RValue_Real(5), i2 = RValue_Int32(2);
    RValue_Add(&out, &i5, &r27);
    EXPECT_EQ(out.kind, VALUE_INT32);
    EXPECT_EQ(out.v32, 7);
    RValue_Add(&out, &r5, &i2);
    EXPECT_EQ(out.kind, VALUE_REAL);
    EXPECT_EQ(out.val, 7.0);
    const RValue t = RValue_Bool(1);
    RValue_MulReal(&out, &t, 3.0);
    EXPECT_EQ(out.kind, VALUE_BOOL);
    EXPECT_EQ(out.val, 3.0);
    const RValue i7 = RValue_Int32(7), r2 = RValue_Real(2.0);
    RValue_DivValue(&out, &i7, &r2);
    EXPECT_EQ(out.kind, VALUE_INT32);
    EXPECT_EQ(out.v32, 3);
    RValue four = Str("4");
    RValue_IntSubValue(&out, 10, &four);
    EXPECT_EQ(out.kind, VALUE_REAL);
    EXPECT_EQ(out.val, 6.0);
    EXPECT_EQ(four.str->refCount, 1);
    RValue_Free(&four);
    const RValue l = RValue_Int64(INT64_MAX), one = RValue_Int32(1);
    RValue_Add(&out, &l, &one);
    EXPECT_EQ(out.kind, VALUE_INT64);
    EXPECT_EQ(out.v64, INT64_MIN);
    RValue_RealMulValue(&out, 1.5, &i2);
    EXPECT_EQ(out.val, 3.0);
    EXPECT_TRUE(errors.empty());
}

TEST_F(ValueOperatorsTest, IntegerDivisionGuards) {
    RValue out = RValue_Undefined();
    const RValue min = RValue_Int32(INT32_MIN), minus1 = RValue_Int32(-1), zero = RValue_Real(0.0);
    RValue_DivValue(&out, &min, &minus1);
    EXPECT_EQ(out.v32, INT32_MIN);
    const RValue i9 = RValue_Int32(9);
    RValue_DivValue(&out, &i9, &zero);
    EXPECT_EQ(out.v32, 9);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "DoDiv :: Divide by zero");
}

TEST_F(ValueOperatorsTest, StringsConcatenateAndOtherOperatorsRaiseTheTypeError) {
    RValue a = Str("ab"), b = Str("cd"), out = RValue_Undefined();
    RValue_Add(&out, &a, &b);
    EXPECT_STREQ(RValue_GetStringText(&out), "abcd");
    EXPECT_STREQ(RValue_GetStringText(&a), "ab");
    RValue_Free(&out);
    RValue_AddAssign(&a, &b);
    EXPECT_STREQ(RValue_GetStringText(&a), "abcd");
    RValue_AddAssign(&a, &a);
    EXPECT_STREQ(RValue_GetStringText(&a), "abcdabcd");
    const RValue one = RValue_Real(1);
    out = RValue_Undefined();
    RValue_Sub(&out, &a, &one);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "invalid type for -= lhs=abcdabcd (type=1), rhs=1 (type=0)");
    RValue_Free(&out);
    RValue_AddFloat(&out, &a, 1.0f);
    EXPECT_EQ(errors.back(), "unable to add a number to string");
    RValue_Free(&out);
    RValue undef = RValue_Undefined();
    RValue_AddFloat(&out, &undef, 2.0f);
    EXPECT_EQ(out.kind, VALUE_UNDEFINED);
    RValue_Free(&a);
    RValue_Free(&b);
}

TEST_F(ValueOperatorsTest, PostfixForms) {
    RValue v = RValue_Int32(INT32_MAX), old = RValue_Undefined();
    RValue_PostIncrement(&v, &old);
    EXPECT_EQ(old.v32, INT32_MAX);
    EXPECT_EQ(v.v32, INT32_MIN);
    RValue r = RValue_Real(1.5);
    RValue_PostDecrement(&r, &old);
    EXPECT_EQ(old.val, 1.5);
    EXPECT_EQ(r.val, 0.5);
    RValue s = Str("x");
    RValue_PostIncrement(&s, &old);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "invalid type for ++ lhs=x (type=1), rhs=x (type=1)");
    RValue_Free(&old);
    RValue_Free(&s);
}

TEST_F(ValueOperatorsTest, ArrayElement2D) {
    RValue arr = RValue_Undefined();
    const RValue seven = RValue_Real(7);
    RValue_SetIndexed(&arr, const_cast<RValue*>(&seven), 1 * 32000 + 1);
    RValue_SetIndexed(&arr, const_cast<RValue*>(&seven), 0);
    RValue* e = RValue_ArrayElement2D(&arr, 32001);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->val, 7.0);
    EXPECT_EQ(RValue_ArrayElement2D(&arr, -1), nullptr);
    EXPECT_EQ(errors.back(), "second index out of bounds request 0,-1 maximum size is 2");
    EXPECT_EQ(RValue_ArrayElement2D(&arr, -32000), nullptr);
    EXPECT_EQ(errors.back(), "first index out of bounds request -1 maximum size is 2");
    RValue real = RValue_Real(1);
    EXPECT_EQ(RValue_ArrayElement2D(&real, 0), &real);
    EXPECT_EQ(errors.back(), "trying to index variable that is not an array");
    RValue_Free(&arr);
}

TEST_F(ValueOperatorsTest, TextBuilderGrowth) {
    TextBuilder builder;
    RValue text = Str("0123456789");
    TextBuilder_AppendValue(&builder, &text);
    EXPECT_EQ(builder.capacity, 16);
    EXPECT_EQ(builder.length, 10);
    TextBuilder_AppendValue(&builder, &text);
    EXPECT_STREQ(builder.buffer, "01234567890123456789");
    EXPECT_GE(builder.capacity, 21);
    TextBuilder_Free(&builder);
    RValue_Free(&text);
}

}  // namespace
