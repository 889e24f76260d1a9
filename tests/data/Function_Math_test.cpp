#include "data/Function_Math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "BuiltinTestSupport.h"
#include "data/Common.h"

namespace {

constexpr double kFloatPi = 3.1415927410125732;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

class MathTest : public BuiltinTest {
protected:
    void TearDown() override {
        Random_SetSeed(RANDOM_GAME_SEED);
        MathEpsilon = 1e-10;
        BuiltinTest::TearDown();
    }
};

TEST_F(MathTest, RegistersEveryRowWithItsArgumentCount) {
    const int32_t before = Code_Function_Count();
    InitMathFunctions();  // a second set of rows; lookups still find the first
    EXPECT_EQ(Code_Function_Count() - before, 108);

    const struct {
        const char* name;
        int32_t argc;
    } rows[] = {{"min", -1},          {"choose", -1},           {"max3", 3},
                {"clamp", 3},         {"random_get_seed", 0},   {"point_distance_3d", 6},
                {"string_format", 3}, {"array_set_2D_post", 4}, {"is_bool", 1}};
    for (const auto& r : rows) {
        int32_t id = -1;
        ASSERT_TRUE(Code_Function_Find(r.name, &id)) << r.name;
        EXPECT_EQ(Code_Function_Row(id)->argc, r.argc) << r.name;
    }
}

// --- Random -----------------------------------------------------------------------------

TEST_F(MathTest, IntegerDrawsStayInTheirClosedRanges) {
    Random_SetSeed(42);
    std::set<double> irandomNegative, rangeSwapped;
    for (int n = 0; n < 400; ++n) {
        EXPECT_EQ(Real("irandom", {R(0)}), 0.0);
        irandomNegative.insert(Real("irandom", {R(-3)}));
        rangeSwapped.insert(Real("irandom_range", {R(5), R(2)}));
        const double r = Real("random_range", {R(5), R(2)});
        ASSERT_GE(r, 2.0);
        ASSERT_LT(r, 5.0);
        const double x = Real("random", {R(3)});
        ASSERT_GE(x, 0.0);
        ASSERT_LT(x, 3.0);
    }
    EXPECT_EQ(irandomNegative, (std::set<double>{-3, -2, -1, 0}));
    EXPECT_EQ(rangeSwapped, (std::set<double>{2, 3, 4, 5}));

    // The ends of the 64-bit range have an answer too.
    for (int n = 0; n < 20; ++n) {
        EXPECT_GE(Real("irandom", {I64(INT64_MAX)}), 0.0);
        EXPECT_LE(Real("irandom", {I64(INT64_MIN)}), 0.0);
        const double wide = Real("irandom_range", {I64(INT64_MIN), I64(INT64_MAX)});
        EXPECT_TRUE(wide >= -9.3e18 && wide <= 9.3e18);
    }
}

TEST_F(MathTest, IntegerDrawsUseTheSixtyThreeBitCore) {
    Random_SetSeed(7);
    const double drawn = Real("irandom", {R(10)});
    const double ranged = Real("irandom_range", {R(-4), R(4)});
    Random_SetSeed(7);
    EXPECT_EQ(drawn, static_cast<double>(Random_IntRange(11)));
    EXPECT_EQ(ranged, static_cast<double>(-4 + Random_IntRange(9)));
}

TEST_F(MathTest, TheSameSeedRepeatsEveryRandomBuiltin) {
    auto draw = [] {
        std::vector<double> out;
        for (int n = 0; n < 5; ++n) {
            out.push_back(Real("random", {R(100)}));
            out.push_back(Real("random_range", {R(-1), R(1)}));
            out.push_back(Real("irandom", {R(1000)}));
            out.push_back(Real("irandom_range", {R(10), R(20)}));
            out.push_back(Real("choose", {R(1), R(2), R(3), R(4)}));
        }
        return out;
    };
    EXPECT_EQ(Real("random_set_seed", {R(99)}), 0.0);
    const std::vector<double> first = draw();
    Run("random_set_seed", {R(99)});
    EXPECT_EQ(draw(), first);
    EXPECT_EQ(Real("random_get_seed"), 99.0);

    // Seeds keep all 32 bits.
    Run("random_set_seed", {R(4294967295.0)});
    EXPECT_EQ(Real("random_get_seed"), 4294967295.0);

    const double seed = Real("randomize");
    EXPECT_EQ(Real("random_get_seed"), seed);
    EXPECT_EQ(Real("random_use_old_version", {R(1)}), 0.0);
    Run("random_use_old_version", {R(0)});
}

// --- Rounding and elementary functions --------------------------------------------------

TEST_F(MathTest, RoundingAndElementaryFunctions) {
    const struct {
        const char* name;
        double x;
        double expected;
    } cases[] = {
        {"round", 2.5, 2},
        {"round", 3.5, 4},
        {"round", -2.5, -2},
        {"round", 0.5000001, 1},
        {"round", 1e12, INT32_MAX},
        {"round", -1e12, INT32_MIN},
        {"round", kNaN, 0},
        {"floor", -1.5, -2},
        {"ceil", -1.5, -1},
        {"sign", -3, -1},
        {"sign", 0, 0},
        {"sign", 2, 1},
        {"sign", kNaN, -1},
        {"frac", -1.25, -0.25},
        {"abs", -4, 4},
        {"sqr", -3, 9},
        {"sqrt", 16, 4},
        {"log2", 8, 3},
        {"degtorad", 180, kFloatPi},
        {"radtodeg", kFloatPi, 180},
        {"exp", 0, 1},
        {"log10", 1000, 3},
        {"ln", 1, 0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(Real(c.name, {R(c.x)}), c.expected) << c.name << "(" << c.x << ")";
    EXPECT_EQ(Real("logn", {R(2), R(8)}), 3.0);
    EXPECT_EQ(Real("power", {R(2), R(10)}), 1024.0);
    EXPECT_EQ(Real("ln", {R(0)}), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(Reported().empty());
}

TEST_F(MathTest, DomainErrorsAreReportedAndTheGameGoesOn) {
    EXPECT_EQ(Run("sqrt", {R(-1)})->Kind(), VALUE_REAL);
    EXPECT_EQ(Real("arcsin", {R(1.5)}), 0.0);
    EXPECT_EQ(Real("darcsin", {R(-2)}), 0.0);
    EXPECT_EQ(Real("arccos", {R(2)}), 0.0);
    EXPECT_EQ(Real("darccos", {R(-1.0001)}), 0.0);
    EXPECT_EQ(Reported(),
              (std::vector<std::string>{"Cannot apply sqrt to negative number.",
                                        "Error in function arcsin().", "Error in function arcsin().",
                                        "Error in function arccos().", "Error in function arccos()."}));
    EXPECT_TRUE(Fatal().empty());
}

// --- Trigonometry -----------------------------------------------------------------------

TEST_F(MathTest, TrigonometryIsSinglePrecisionAndSnapsToZero) {
    EXPECT_EQ(Real("sin", {R(M_PI)}), 0.0);
    EXPECT_EQ(Real("cos", {R(M_PI / 2)}), 0.0);
    EXPECT_EQ(Real("dcos", {R(90)}), 0.0);
    EXPECT_EQ(Real("dsin", {R(180)}), 0.0);
    EXPECT_EQ(Real("sin", {R(1)}), static_cast<double>(static_cast<float>(std::sin(1.0))));
    EXPECT_EQ(Real("dsin", {R(30)}),
              static_cast<double>(static_cast<float>(std::sin(static_cast<float>(30 * kFloatPi / 180)))));
    EXPECT_EQ(Real("darcsin", {R(1)}), 90.0);
    EXPECT_EQ(Real("darccos", {R(-1)}), 180.0);
    EXPECT_EQ(Real("darctan2", {R(1), R(1)}), 45.0);
    EXPECT_EQ(Real("arctan2", {R(0), R(-1)}), static_cast<double>(static_cast<float>(M_PI)));
    EXPECT_EQ(Real("darctan", {R(1e-7)}), 0.0);  // snapped in degrees
    EXPECT_EQ(Direct_cos(M_PI / 2), 0.0);
    EXPECT_EQ(Direct_cos(1.0), std::cos(1.0));  // the direct entry stays in double precision
}

// --- Geometry ---------------------------------------------------------------------------

TEST_F(MathTest, PointDirectionGrowsCounterClockwiseWithYDown) {
    const struct {
        float x2, y2, expected;
    } cases[] = {{0, 0, 0},    {10, 0, 0},    {0, -10, 90}, {-10, 0, 180},
                 {0, 10, 270}, {10, -10, 45}, {10, 10, 315}};
    for (const auto& c : cases) {
        EXPECT_EQ(Real("point_direction", {R(0), R(0), R(c.x2), R(c.y2)}), c.expected) << c.x2 << "," << c.y2;
    }
}

TEST_F(MathTest, LengthdirSnapsValuesJustPastAWholeNumber) {
    const double x90 = Real("lengthdir_x", {R(10), R(90)});
    EXPECT_EQ(x90, 0.0);
    EXPECT_TRUE(std::signbit(x90));
    EXPECT_EQ(Real("lengthdir_y", {R(10), R(90)}), -10.0);
    EXPECT_EQ(Real("lengthdir_x", {R(10), R(180)}), -10.0);
    EXPECT_EQ(Real("lengthdir_x", {R(3.00001), R(0)}), 3.0);
    EXPECT_EQ(Real("lengthdir_x", {R(-3.00001), R(0)}), -3.0);
    EXPECT_EQ(Real("lengthdir_x", {R(2.99999), R(0)}), static_cast<double>(2.99999f));
}

TEST_F(MathTest, DistancesDotProductsAndAngles) {
    EXPECT_EQ(Real("point_distance", {R(1), R(1), R(4), R(5)}), 5.0);
    EXPECT_EQ(Real("point_distance_3d", {R(0), R(0), R(0), R(1), R(2), R(2)}), 3.0);
    EXPECT_EQ(Real("dot_product", {R(1), R(2), R(3), R(4)}), 11.0);
    EXPECT_EQ(Real("dot_product_3d", {R(1), R(2), R(3), R(4), R(5), R(6)}), 32.0);
    EXPECT_EQ(Real("dot_product_normalised", {R(3), R(0), R(0), R(2)}), 0.0);
    EXPECT_EQ(Real("dot_product_normalised", {R(3), R(4), R(6), R(8)}), 1.0);
    EXPECT_TRUE(std::isnan(Real("dot_product_normalised", {R(1), R(0), R(0), R(0)})));
    EXPECT_EQ(Real("dot_product_3d_normalised", {R(0), R(0), R(2), R(0), R(0), R(-5)}), -1.0);

    EXPECT_EQ(Real("angle_difference", {R(10), R(350)}), 20.0);
    EXPECT_EQ(Real("angle_difference", {R(350), R(10)}), -20.0);
    EXPECT_EQ(Real("angle_difference", {R(0), R(180)}), -180.0);
    EXPECT_EQ(Real("angle_difference", {R(720), R(0)}), 0.0);
}

// --- Selection and statistics -----------------------------------------------------------

TEST_F(MathTest, SelectionKeepsTheChosenArgumentsKind) {
    auto minimum = Run("min", {S("3"), R(2)});
    EXPECT_EQ(minimum->Real(), 2.0);
    auto maximum = Run("max", {S("5"), R(5)});
    EXPECT_EQ(maximum->Text(), "5");  // ties keep the earlier argument
    EXPECT_EQ(Run("min", {R(2), S("2")})->Real(), 2.0);
    EXPECT_EQ(Run("max3", {I32(1), I64(9), R(3)})->Kind(), VALUE_INT64);

    for (const char* name : {"min", "max", "mean", "median", "choose"}) EXPECT_EQ(Real(name), 0.0) << name;
    EXPECT_EQ(Real("mean", {R(1), R(2), R(6)}), 3.0);
    EXPECT_EQ(Real("clamp", {R(5), R(10), R(0)}), 0.0);
    EXPECT_EQ(Real("clamp", {R(-1), R(0), R(10)}), 0.0);
    EXPECT_EQ(Real("lerp", {R(0), R(10), R(0.25)}), 2.5);

    RValue a = S("1"), b = I32(3);
    RValue* pointers[] = {&a, &b};
    Owned largest;
    Direct_max(&largest.v, 2, pointers);
    EXPECT_EQ(largest.v.kind, VALUE_INT32);
    Owned picked;
    Direct_choose(&picked.v, 2, pointers);
    EXPECT_TRUE(picked.v.kind == VALUE_STRING || picked.v.kind == VALUE_INT32);
    RValue_Release(&a);
}

TEST_F(MathTest, MedianTakesTheUpperMiddleOfAnyCount) {
    EXPECT_EQ(Real("median", {R(4), R(1), R(3), R(2)}), 3.0);
    EXPECT_EQ(Real("median", {R(5), R(-1), R(3)}), 3.0);
    EXPECT_EQ(Real("median", {R(kNaN), R(1), R(2)}), 2.0);  // not-a-number sorts last

    // Far more arguments than a stack scratch array would hold.
    std::vector<RValue> many;
    for (int64_t i = 0; i < 300001; ++i) many.push_back(R(static_cast<double>(i * 7919 % 300001)));
    EXPECT_EQ(Real("median", std::move(many)), 150000.0);
}

TEST_F(MathTest, ChooseReachesEveryArgument) {
    Random_SetSeed(3);
    std::set<std::string> seen;
    for (int n = 0; n < 200; ++n) seen.insert(Text("choose", {S("x"), S("y"), S("z")}));
    EXPECT_EQ(seen, (std::set<std::string>{"x", "y", "z"}));
}

TEST_F(MathTest, EpsilonAcceptsOnlyZeroUpToOne) {
    EXPECT_EQ(Real("math_get_epsilon"), 1e-10);
    EXPECT_EQ(Run("math_set_epsilon", {R(0)})->Kind(), VALUE_UNDEFINED);
    EXPECT_EQ(Real("math_get_epsilon"), 1e-11);
    for (double ignored : {1.0, -0.5, kNaN}) {
        Run("math_set_epsilon", {R(ignored)});
        EXPECT_EQ(MathEpsilon, 1e-11) << ignored;
    }
    Run("math_set_epsilon", {R(0.01)});
    EXPECT_EQ(Real("math_get_epsilon"), 0.01);
}

TEST_F(MathTest, DirectEntriesMatchTheirBuiltins) {
    Random_SetSeed(5);
    for (int n = 0; n < 100; ++n) {
        const int32_t r = Direct_irandom_range(5, 2);
        ASSERT_TRUE(r >= 2 && r <= 5);
        const int64_t i = Direct_irandom(-2);
        ASSERT_TRUE(i >= -2 && i <= 0);
        const int32_t extremes = Direct_irandom_range(INT32_MIN, INT32_MAX);
        (void)extremes;
    }
    EXPECT_EQ(Direct_point_direction(0, 0, 0, 10), 270.0f);
    EXPECT_EQ(Direct_lengthdir_y(10, 90), -10.0f);
    EXPECT_EQ(Direct_sign(-0.0), 0.0);
    EXPECT_EQ(Direct_abs(-2), 2.0);
}

}  // namespace
