#include <gtest/gtest.h>

#include "BuiltinTestSupport.h"

namespace {

class ArrayTest : public BuiltinTest {
protected:
    // A one-row array of 1, 2, 3 held by the test.
    void SetUp() override {
        BuiltinTest::SetUp();
        for (int i = 0; i < 3; ++i) {
            RValue item = R(i + 1);
            RValue_SetIndexed(&array.v, &item, i);
        }
    }
    double Cell(int32_t row, int32_t column) const {
        const SharedArray* a = array.v.arr;
        if (row >= a->rowCount || column >= a->rows[row].length) return -1;
        return a->rows[row].items[column].val;
    }
    Owned array;
};

TEST_F(ArrayTest, TypeTestsCompareTheWholeKindWord) {
    RValue marked = R(1);
    marked.kind |= 0x80000000u;
    const struct {
        const char* name;
        RValue value;
        double expected;
    } cases[] = {
        {"is_real", R(1), 1},
        {"is_real", S("1"), 0},
        {"is_real", marked, 0},
        {"is_string", S(""), 1},
        {"is_string", R(0), 0},
        {"is_array", Ref(array.v), 1},
        {"is_undefined", RValue_Undefined(), 1},
        {"is_int32", I32(1), 1},
        {"is_int64", I64(1), 1},
        {"is_int64", I32(1), 0},
        {"is_bool", RValue_Bool(1), 1},
        {"is_ptr", R(1), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Real(c.name, {c.value}), c.expected) << c.name;
    EXPECT_EQ(Real("is_undefined", {Run("array_get", {R(5), R(0)})->v}), 1.0);
}

TEST_F(ArrayTest, Conversions) {
    EXPECT_EQ(Real("real", {S("12abc")}), 12.0);
    EXPECT_EQ(Real("real", {Ref(array.v)}), 1.0);
    auto i = Run("int64", {S("42")});
    EXPECT_EQ(i->Kind(), VALUE_INT64);
    EXPECT_EQ(i->v.v64, 42);
    auto p = Run("ptr", {S("ff")});
    EXPECT_EQ(p->Kind(), VALUE_PTR);
    EXPECT_EQ(reinterpret_cast<intptr_t>(p->v.ptr), 255);
}

TEST_F(ArrayTest, LengthsAndHeight) {
    EXPECT_EQ(Real("array_length_1d", {R(3)}), 0.0);
    EXPECT_EQ(Real("array_length_1d", {Ref(array.v)}), 3.0);
    EXPECT_EQ(Real("array_length_2d", {Ref(array.v), R(0)}), 3.0);
    EXPECT_EQ(Real("array_length_2d", {Ref(array.v), R(1)}), 0.0);
    EXPECT_EQ(Real("array_length_2d", {Ref(array.v), R(-1)}), 0.0);
    EXPECT_EQ(Real("array_height_2d", {Ref(array.v)}), 1.0);
    EXPECT_EQ(Real("array_height_2d", {Ref(array.v), R(0)}), 0.0);
}

TEST_F(ArrayTest, WritesLandInTheSharedRecordAndGrowRows) {
    Owned second;
    RValue_Assign(&second.v, &array.v);
    Run("array_set", {Ref(array.v), R(1), R(20)});
    EXPECT_EQ(second.v.arr, array.v.arr);
    EXPECT_EQ(Cell(0, 1), 20.0);

    EXPECT_EQ(Run("array_set", {Ref(array.v), R(32000 + 5), S("x")})->Kind(), VALUE_UNDEFINED);
    ASSERT_EQ(array.v.arr->rowCount, 2);
    EXPECT_EQ(array.v.arr->rows[1].length, 6);
    EXPECT_EQ(Cell(1, 0), 0.0);
    EXPECT_EQ(Real("array_get_2D", {Ref(array.v), R(1), R(4)}), 0.0);
    EXPECT_EQ(Text("array_get", {Ref(array.v), R(32005)}), "x");

    EXPECT_EQ(Text("array_set_pre", {Ref(array.v), R(2), S("pre")}), "pre");
    EXPECT_EQ(Real("array_set_post", {Ref(array.v), R(7), R(9)}), 0.0);  // a new cell was 0
    EXPECT_EQ(Real("array_set_post", {Ref(array.v), R(7), R(10)}), 9.0);
    EXPECT_EQ(Cell(0, 7), 10.0);

    Run("array_set_2D", {Ref(array.v), R(2), R(1), R(5)});
    EXPECT_EQ(Cell(2, 1), 5.0);
    EXPECT_EQ(Real("array_set_2D_pre", {Ref(array.v), R(2), R(2), R(6)}), 6.0);
    EXPECT_EQ(Real("array_set_2D_post", {Ref(array.v), R(2), R(2), R(7)}), 6.0);
    EXPECT_EQ(Real("array_get_2D", {Ref(array.v), R(2), R(2)}), 7.0);
    EXPECT_TRUE(Fatal().empty());
}

TEST_F(ArrayTest, ReadsOutsideTheArray) {
    EXPECT_EQ(Run("array_get", {Ref(array.v), R(3)})->Real(), 0.0);
    EXPECT_EQ(Fatal(), std::vector<std::string>{"array_get :: Index [0,3] out of range [1,3]"});
    Fatal().clear();
    Run("array_get", {Ref(array.v), R(64000)});
    EXPECT_EQ(Fatal(), std::vector<std::string>{"array_get :: Index [2,0] out of range [1,-1]"});
    Fatal().clear();

    EXPECT_EQ(Real("array_get_2D", {Ref(array.v), R(0), R(3)}), 0.0);
    EXPECT_EQ(Real("array_get_2D", {Ref(array.v), R(-1), R(0)}), 0.0);
    EXPECT_EQ(Real("array_get_2D", {Ref(array.v), R(0), R(-1)}), 0.0);
    EXPECT_EQ(Run("array_get_2D", {Ref(array.v), R(0)})->Kind(), VALUE_UNDEFINED);
    EXPECT_EQ(Run("array_get_2D", {R(1), R(0), R(0)})->Kind(), VALUE_UNDEFINED);
    // An earlier failed read leaves no error behind for a valid one.
    EXPECT_EQ(Real("array_get", {Ref(array.v), R(2)}), 3.0);
    EXPECT_TRUE(Fatal().empty());
}

TEST_F(ArrayTest, NegativeIndicesNeverReachOutsideTheRows) {
    Run("array_set", {Ref(array.v), R(-1), R(9)});
    Run("array_set", {Ref(array.v), R(-32000), R(9)});
    Run("array_set_2D", {Ref(array.v), R(-1), R(32005), R(9)});  // would be cell (0, 5) combined
    Run("array_set_2D", {Ref(array.v), R(0), R(-1), R(9)});
    EXPECT_EQ(array.v.arr->rowCount, 1);
    EXPECT_EQ(array.v.arr->rows[0].length, 3);

    Run("array_get", {Ref(array.v), R(-1)});
    ASSERT_EQ(Fatal().size(), 1u);
    EXPECT_EQ(Fatal()[0].rfind("array_get :: Index [", 0), 0u);
    EXPECT_EQ(Real("array_length_2d", {Ref(array.v), R(-5)}), 0.0);
}

TEST_F(ArrayTest, SetterMisuseIsFatal) {
    Run("array_set", {Ref(array.v), R(0)});
    Run("array_set", {R(1), R(0), R(2)});
    Run("array_set_pre", {S("a"), R(0), R(2)});
    Run("array_set_2D", {Ref(array.v), R(0), R(0)});
    Run("array_set_2D_post", {R(0), R(0), R(0), R(0)});
    Run("array_set", {});
    EXPECT_EQ(Fatal(),
              (std::vector<std::string>{
                  "array_set :: takes 3 arguments", "array_set :: argument 0 is not an array",
                  "array_set :: argument 0 is not an array", "array_set_2d :: takes 4 arguments",
                  "array_set_2d :: argument 0 is not an array", "array_set :: argument 0 is not an array"}));
    Fatal().clear();

    // The post form reads first; a non-array fails there and nothing is written.
    auto post = Run("array_set_post", {R(4), R(0), R(1)});
    EXPECT_EQ(post->Kind(), VALUE_UNDEFINED);
    EXPECT_EQ(Fatal(), std::vector<std::string>{"trying to index a variable which is not an array"});
}

}  // namespace
