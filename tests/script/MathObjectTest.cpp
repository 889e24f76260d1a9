// Math after the real start-up: the functions against node within one unit in the last place,
// and the runtime's own rounding, extremes and random numbers.
#include <bit>
#include <cinttypes>
#include <limits>
#include <random>

#include "LibraryTestSupport.h"
#include "data/Common.h"

namespace math_object_test {

using script_test::LibraryTest;
using script_test::Num;
using script_test::Show;
using script_test::Undef;

class MathObjectTest : public LibraryTest {
protected:
    static double Math(const char* name, std::vector<RValue> args) {
        RValue r = Call(std::string("Math.") + name, Undef(), std::move(args));
        return RValue_IsReal(r) ? r.val : -12345.678;
    }
};

// Distance in representable doubles (both finite or equal); NaN matches NaN only.
uint64_t UlpDistance(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) ? 0 : UINT64_MAX;
    if (a == b) return 0;
    if (std::isinf(a) || std::isinf(b) || std::signbit(a) != std::signbit(b)) return UINT64_MAX;
    const auto x = std::bit_cast<int64_t>(a), y = std::bit_cast<int64_t>(b);
    return static_cast<uint64_t>(x > y ? x - y : y - x);
}

std::vector<double> Inputs(std::mt19937_64& random, int count, double low, double high) {
    std::uniform_real_distribution<double> pick(low, high);
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1.0,
                                  -1.0,
                                  0.5,
                                  -0.5,
                                  2.0,
                                  1e-300,
                                  -1e-300,
                                  1e300,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
    for (int i = 0; i < count; ++i) values.push_back(pick(random));
    return values;
}

std::string Hex(double d) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIx64, std::bit_cast<uint64_t>(d));
    return text;
}

TEST_F(MathObjectTest, FunctionsAgreeWithNodeWithinOneUlp) {
    if (!script_test::NodeAvailable()) GTEST_SKIP() << "node is not installed";
    std::mt19937_64 random(2101988);
    struct Case {
        std::string name;
        std::vector<double> args;
    };
    std::vector<Case> cases;
    const char* unary[] = {"abs", "acos",  "asin", "atan", "ceil", "cos",
                           "exp", "floor", "log",  "sin",  "sqrt", "tan"};
    for (const char* name : unary) {
        for (double x : Inputs(random, 120, -4, 4)) cases.push_back({name, {x}});
        for (double x : Inputs(random, 60, -800, 800)) cases.push_back({name, {x}});
    }
    std::vector<double> wide = Inputs(random, 40, -50, 50);
    for (double y : wide)
        for (int i = 0; i < 4; ++i)
            cases.push_back({"atan2", {y, wide[(i * 7 + cases.size()) % wide.size()]}});
    // pow where the runtime follows ES5: x positive, or y an integer of 32 bits, or y fractional.
    std::uniform_real_distribution<double> base(0, 20), exponent(-30, 30);
    std::uniform_int_distribution<int> whole(-40, 40);
    for (int i = 0; i < 300; ++i) {
        cases.push_back({"pow", {base(random), exponent(random)}});
        cases.push_back({"pow", {-base(random), static_cast<double>(whole(random))}});
        cases.push_back({"pow", {-base(random), exponent(random)}});
    }
    for (double x : {0.0, -0.0, 1.0, -1.0, 2.0, -2.0, 0.5, -0.5, HUGE_VAL, -HUGE_VAL})
        for (double y : {0.0, -0.0, 1.0, -1.0, 2.0, 3.0, -3.0, 0.5, HUGE_VAL, -HUGE_VAL})
            cases.push_back({"pow", {x, y}});
    for (int i = 0; i < 100; ++i) {
        std::vector<double> values = Inputs(random, 0, 0, 1);
        std::shuffle(values.begin(), values.end(), random);
        values.resize(static_cast<size_t>(i % 5));
        if (i % 3 == 0 && !values.empty()) values.back() = base(random);
        cases.push_back({i % 2 ? "max" : "min", values});
    }
    std::vector<std::string> input;
    for (const Case& c : cases) {
        std::string line = c.name;
        for (double d : c.args) line += " " + Hex(d);
        input.push_back(line);
    }
    const char* script = R"(
const v = new DataView(new ArrayBuffer(8));
const lines = require('fs').readFileSync(process.argv[2], 'utf8').split('\n');
for (const l of lines) {
    if (!l) continue;
    const [name, ...hex] = l.split(' ');
    const args = hex.map(h => { v.setBigUint64(0, BigInt('0x' + h)); return v.getFloat64(0); });
    v.setFloat64(0, Math[name](...args));
    console.log(v.getBigUint64(0).toString(16));
})";
    const std::vector<std::string> node = script_test::NodeLines(script, input, "math_functions");
    ASSERT_EQ(node.size(), cases.size());
    int failures = 0;
    for (size_t i = 0; i < cases.size() && failures < 10; ++i) {
        std::vector<RValue> args;
        for (double d : cases[i].args) args.push_back(Num(d));
        const double ours = Math(cases[i].name.c_str(), args);
        const double theirs = std::bit_cast<double>(std::strtoull(node[i].c_str(), nullptr, 16));
        if (UlpDistance(ours, theirs) > 1) {
            ++failures;
            ADD_FAILURE() << input[i] << ": ours " << ours << " node " << theirs;
        }
        // Between +0 and -0 the sign matters too, except where max and min keep the first zero.
        const bool extreme = cases[i].name == "max" || cases[i].name == "min";
        if (!extreme && ours == 0 && theirs == 0 && std::signbit(ours) != std::signbit(theirs)) {
            ++failures;
            ADD_FAILURE() << input[i] << ": signed zero differs";
        }
    }
}

TEST_F(MathObjectTest, RoundGoesThroughA32BitIntegerWithTiesToEven) {
    const struct {
        double in, out;
    } cases[] = {
        {0.5, 0},
        {1.5, 2},
        {2.5, 2},
        {3.5, 4},
        {-2.5, -2},
        {-0.4, 0},
        {2.6, 3},
        {2147483647.0, 2147483647.0},
        {3e9, -2147483648.0},
        {-3e9, -2147483648.0},
        {NAN, -2147483648.0},
        {HUGE_VAL, -2147483648.0},
    };
    for (const auto& c : cases) EXPECT_EQ(Math("round", {Num(c.in)}), c.out) << c.in;
    EXPECT_TRUE(std::isnan(Math("round", {})));
}

TEST_F(MathObjectTest, ArgumentCountsAndExtremes) {
    EXPECT_EQ(Math("max", {}), -HUGE_VAL);
    EXPECT_EQ(Math("min", {}), HUGE_VAL);
    EXPECT_TRUE(std::isnan(Math("max", {Num(1), Num(NAN), Num(3)})));
    EXPECT_TRUE(std::isnan(Math("abs", {})));
    EXPECT_TRUE(std::isnan(Math("atan2", {Num(1)})));
    EXPECT_TRUE(std::isnan(Math("pow", {Num(2)})));
    EXPECT_TRUE(std::signbit(Math("max", {Num(-0.0), Num(0.0)})));  // the first zero given wins
    EXPECT_FALSE(std::signbit(Math("min", {Num(0.0), Num(-0.0)})));
    EXPECT_EQ(Math("pow", {Num(NAN), Num(0)}), 1);
    EXPECT_TRUE(std::isnan(Math("pow", {Num(1), Num(HUGE_VAL)})));
    EXPECT_TRUE(std::isnan(Math("pow", {Num(-8), Num(1.0 / 3)})));
    EXPECT_TRUE(std::isnan(Math("pow", {Num(-2), Num(1e10)})));  // no 32-bit integer: not an integer
    EXPECT_EQ(Math("log", {Num(0)}), -HUGE_VAL);
    EXPECT_EQ(Math("abs", {Str("-3")}), 3);
}

TEST_F(MathObjectTest, RandomDrawsFromTheRunnersFifteenBitGenerator) {
    CRT_SRand(RANDOM_GAME_SEED);
    std::vector<int32_t> expected;
    for (int i = 0; i < 50; ++i) expected.push_back(CRT_Rand());
    CRT_SRand(RANDOM_GAME_SEED);
    for (int32_t n : expected) EXPECT_EQ(Math("random", {}), n / 32767.0);
}

TEST_F(MathObjectTest, ConstantsCannotBeWritten) {
    PWObjectBase* math = AtObject("Math");
    RValue value = Num(3);
    JS_Put(math, &value, "PI", false);
    EXPECT_EQ(Show(At("Math.PI")), "n:3.141592653589793");
    const struct {
        const char* name;
        double value;
    } constants[] = {{"E", M_E},           {"LN10", M_LN10},       {"LN2", M_LN2},    {"LOG2E", M_LOG2E},
                     {"LOG10E", M_LOG10E}, {"SQRT1_2", M_SQRT1_2}, {"SQRT2", M_SQRT2}};
    for (const auto& c : constants) EXPECT_EQ(At(std::string("Math.") + c.name).val, c.value) << c.name;
    EXPECT_STREQ(JS_ClassOf(math), "Math");
}

}  // namespace math_object_test
