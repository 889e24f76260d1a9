// Numbers as text: the layout rule on fixed examples, and 10,000 random doubles whose digits
// are checked against node's shortest round-trip digits.
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "ScriptTestSupport.h"
#include "script/JS_Number.h"

namespace {

using script_test::ScriptTest;

class NumberTextTest : public ScriptTest {};

std::string Text(double d) {
    char buffer[JS_NUMBER_TEXT_SIZE];
    return JS_NumberToText(d, buffer);
}

TEST_F(NumberTextTest, LayoutExamples) {
    const struct {
        double in;
        const char* out;
    } cases[] = {
        {123, "123"},
        {0.5, "0.5"},
        {-2.25, "-2.25"},
        {100, "100"},
        {1e21, "1e+21"},
        {1e20, "100000000000000000000"},
        {0.000001, "0.000001"},
        {0.0000001, "1e-7"},
        {1.5e-7, "1.5e-7"},
        {1.2345678901234568e30, "1234567890123456800000000000000"},
        {1.5e21, "1500000000000000000000"},
        {1e38, "1e+38"},
        {-0.0, "0"},
        {NAN, "NaN"},
        {INFINITY, "Infinity"},
        {-INFINITY, "-Infinity"},
        {0.1 + 0.2, "0.30000000000000004"},
        {5e-324, "5e-324"},
        {1.7976931348623157e308, "1.7976931348623157e+308"},
        {-1.25e-6, "-0.00000125"},
    };
    for (const auto& c : cases) EXPECT_EQ(Text(c.in), c.out) << c.out;
}

TEST_F(NumberTextTest, ToStringByKind) {
    struct {
        RValue in;
        const char* out;
    } cases[] = {
        {RValue_Int32(5), "5"},
        {RValue_Int32(-2147483647 - 1), "-2147483648"},
        {RValue_Int64(9007199254740993LL), "9007199254740993"},
        {RValue_Bool(1), "true"},
        {RValue_Bool(0), "false"},
        {RValue_Undefined(), "undefined"},
    };
    for (auto& c : cases) {
        RValue out = RValue_Undefined();
        ASSERT_EQ(JS_ToString(&out, &c.in), JS_DONE);
        EXPECT_STREQ(RValue_GetStringText(&out), c.out);
        RValue_Release(&out);
    }
    RValue null = RValue_Undefined(), out = RValue_Undefined();
    null.kind = VALUE_NULL;
    JS_ToString(&out, &null);
    EXPECT_STREQ(RValue_GetStringText(&out), "null");
    RValue pointer = RValue_Undefined();
    pointer.kind = VALUE_PTR;
    JS_ToString(&out, &pointer);
    EXPECT_STREQ(RValue_GetStringText(&out), "[[unknown]]");
    RValue_Release(&out);

    // A string is the same record with one more reference.
    RValue text = String("abc");
    text.flags = 5;
    out = RValue_Undefined();
    JS_ToString(&out, &text);
    EXPECT_EQ(out.str, text.str);
    EXPECT_EQ(text.str->refCount, 2);
    EXPECT_EQ(out.flags, 5u);
    RValue_Release(&out);
    RValue_Release(&text);
}

// Splits a number text (either layout) into its digits without leading or trailing zeros and
// the decimal point position n, |x| = 0.digits x 10^n.
void Decompose(const std::string& text, std::string* digits, int* n) {
    std::string mantissa = text;
    int exponent = 0;
    if (size_t e = text.find('e'); e != std::string::npos) {
        mantissa = text.substr(0, e);
        exponent = std::atoi(text.c_str() + e + 1);
    }
    if (!mantissa.empty() && mantissa[0] == '-') mantissa.erase(0, 1);
    size_t dot = mantissa.find('.');
    int integerDigits = static_cast<int>(dot == std::string::npos ? mantissa.size() : dot);
    if (dot != std::string::npos) mantissa.erase(dot, 1);
    size_t first = mantissa.find_first_not_of('0');
    *digits = mantissa.substr(first);
    *n = integerDigits - static_cast<int>(first) + exponent;
    digits->erase(digits->find_last_not_of('0') + 1);
}

// Random finite non-zero doubles: uniform bit patterns (every magnitude) and decimal-looking
// values near the layout limits.
std::vector<double> RandomDoubles(size_t count) {
    std::mt19937_64 random(2101988);
    std::vector<double> values;
    while (values.size() < count) {
        double d;
        switch (values.size() % 3) {
            case 0:
                d = std::bit_cast<double>(random());
                break;
            case 1:
                d = std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 200) - 120);
                break;
            default:
                d = static_cast<double>(random() % 100000) *
                    std::pow(10.0, static_cast<int>(random() % 50) - 25);
                break;
        }
        if (random() & 1) d = -d;
        if (std::isfinite(d) && d != 0.0) values.push_back(d);
    }
    return values;
}

TEST_F(NumberTextTest, RandomDoublesMatchNodeDigitsAndTheLayoutRule) {
    if (std::system("node --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "node is not installed";
    const std::vector<double> values = RandomDoubles(10000);
    const char* tmp = std::getenv("HV_TEST_TMP");
    std::string dir = tmp ? tmp : "/tmp";
    std::system(("mkdir -p " + dir).c_str());
    const std::string input = dir + "/script_doubles.txt";
    {
        std::ofstream out(input);
        for (double d : values) out << std::hex << std::bit_cast<uint64_t>(d) << '\n';
    }
    // One node process prints every number's text; the bits travel as hexadecimal.
    const std::string command =
        "node -e \"const v=new DataView(new ArrayBuffer(8));"
        "for(const l of require('fs').readFileSync(process.argv[1],'utf8').split('\\n')){if(!l)continue;"
        "v.setBigUint64(0,BigInt('0x'+l));console.log(String(v.getFloat64(0)));}\" " +
        input;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> nodeTexts;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string s = line;
        s.erase(s.find_last_not_of("\r\n") + 1);
        nodeTexts.push_back(s);
    }
    ASSERT_EQ(pclose(pipe), 0);
    ASSERT_EQ(nodeTexts.size(), values.size());

    int exponential = 0, failures = 0;
    for (size_t i = 0; i < values.size() && failures < 10; ++i) {
        const std::string ours = Text(values[i]);
        std::string ourDigits, nodeDigits;
        int ourPoint = 0, nodePoint = 0;
        Decompose(ours, &ourDigits, &ourPoint);
        Decompose(nodeTexts[i], &nodeDigits, &nodePoint);
        const int k = static_cast<int>(ourDigits.size());
        const bool wantExponential = ourPoint <= -6 || ourPoint > k + 20;
        const bool isExponential = ours.find('e') != std::string::npos;
        exponential += isExponential;
        bool ok = ourDigits == nodeDigits && ourPoint == nodePoint && wantExponential == isExponential &&
                  (values[i] < 0) == (ours[0] == '-') && std::strtod(ours.c_str(), nullptr) == values[i];
        if (!ok) {
            ++failures;
            ADD_FAILURE() << "ours " << ours << " node " << nodeTexts[i];
        }
    }
    // Both layouts were exercised.
    EXPECT_GT(exponential, 1000);
    EXPECT_LT(exponential, 9000);
}

TEST_F(NumberTextTest, DecimalTextReadsAsFarAsItCan) {
    const struct {
        const char* text;
        double value;
        int used;
    } cases[] = {{"1.5e3xyz", 1500, 5}, {"-.25", -0.25, 4}, {"1e", 1, 1}, {"abc", 0, 0}, {"0x10", 0, 1}};
    for (const auto& c : cases) {
        int32_t used = -1;
        double d = JS_DecimalTextToDouble(c.text, static_cast<int32_t>(std::strlen(c.text)), &used);
        EXPECT_EQ(used, c.used) << c.text;
        if (c.used > 0) {
            EXPECT_EQ(d, c.value) << c.text;
        }
    }
}

}  // namespace
