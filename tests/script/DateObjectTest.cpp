// Date after the real start-up: Date.UTC and toISOString over years 1 to 9999 against node,
// the program's own text form, the clock in whole seconds, and the unprovided methods.
#include <cinttypes>
#include <random>

#include "LibraryTestSupport.h"

namespace date_object_test {

using script_test::LibraryTest;
using script_test::Num;
using script_test::Show;
using script_test::Undef;

class DateObjectTest : public LibraryTest {
protected:
    static double Utc(std::vector<RValue> args) {
        const RValue r = Call("Date.UTC", Undef(), std::move(args));
        return RValue_IsReal(r) ? r.val : -1.5;
    }
    static double Parse(const char* text) {
        const RValue r = Call("Date.parse", Undef(), {Str(text)});
        return RValue_IsReal(r) ? r.val : -1.5;
    }
    static std::string Iso(double t) {
        return Show(Call("Date.prototype.toISOString", Construct("Date", {Num(t)})));
    }
};

TEST_F(DateObjectTest, UtcAndIsoTextAgreeWithNodeOverYearsOneToTenThousand) {
    if (!script_test::NodeAvailable()) GTEST_SKIP() << "node is not installed";
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int> year(1, 9999), month(-3, 14), date(0, 32), hour(0, 23), minute(0, 59),
        milli(0, 999);
    std::vector<std::vector<int>> components;
    for (int i = 0; i < 400; ++i)
        components.push_back({year(random), month(random), date(random), hour(random), minute(random),
                              minute(random), milli(random)});
    for (int y : {1, 99, 100, 1600, 1900, 1969, 1970, 2000, 2016, 2100, 9999})
        components.push_back({y, 1, 29});
    std::vector<std::string> input;
    for (const auto& c : components) {
        std::string line = "u";
        for (int n : c) line += " " + std::to_string(n);
        input.push_back(line);
    }
    // Time values from the first millisecond of year 1 to the last of 9999.
    std::uniform_int_distribution<int64_t> time(-62135596800000LL, 253402300799999LL);
    std::vector<double> times = {-62135596800000.0, 253402300799999.0, 0, -1, 86400000, 951782400000.0};
    for (int i = 0; i < 400; ++i) times.push_back(static_cast<double>(time(random)));
    for (double t : times) input.push_back("i " + std::to_string(static_cast<int64_t>(t)));
    const char* script = R"(
const lines = require('fs').readFileSync(process.argv[2], 'utf8').split('\n');
for (const l of lines) {
    if (!l) continue;
    const [kind, ...n] = l.split(' ').map((x, i) => i ? Number(x) : x);
    console.log(kind === 'u' ? String(Date.UTC(...n)) : new Date(n[0]).toISOString());
})";
    const std::vector<std::string> node = script_test::NodeLines(script, input, "date_values");
    ASSERT_EQ(node.size(), input.size());
    char buffer[JS_NUMBER_TEXT_SIZE];
    int failures = 0;
    for (size_t i = 0; i < components.size() && failures < 10; ++i) {
        std::vector<RValue> args;
        for (int n : components[i]) args.push_back(Num(n));
        const std::string ours = JS_NumberToText(Utc(args), buffer);
        if (ours != node[i])
            ++failures, ADD_FAILURE() << input[i] << ": ours " << ours << " node " << node[i];
    }
    for (size_t i = 0; i < times.size() && failures < 10; ++i) {
        const std::string ours = Iso(times[i]);
        const std::string& theirs = node[components.size() + i];
        if (ours != "s:" + theirs)
            ++failures, ADD_FAILURE() << input[components.size() + i] << ": ours " << ours;
    }
}

TEST_F(DateObjectTest, UtcComponents) {
    EXPECT_EQ(Utc({Num(2000), Num(0), Num(1)}), 946684800000.0);
    EXPECT_EQ(Utc({Num(99), Num(11), Num(31)}), Utc({Num(1999), Num(11), Num(31)}));
    EXPECT_EQ(Utc({Num(2016), Num(2), Num(1)}) - Utc({Num(2016), Num(1), Num(29)}), 86400000.0);
    EXPECT_EQ(Utc({Num(2000), Num(12), Num(1)}), Utc({Num(2001), Num(0), Num(1)}));
    EXPECT_EQ(Utc({Num(2000), Num(-1), Num(1)}), Utc({Num(1999), Num(11), Num(1)}));
    EXPECT_EQ(Utc({}), Utc({Num(1900), Num(0), Num(1)}));
    EXPECT_TRUE(std::isnan(Utc({Num(275761), Num(0)})));
    EXPECT_TRUE(std::isnan(Utc({Num(NAN), Num(0)})));
    EXPECT_TRUE(std::isnan(Utc({Num(2000), Num(HUGE_VAL)})));
    // An undefined component gives an invalid time, not a fatal error.
    EXPECT_TRUE(std::isnan(Utc({Num(2000), Undef(), Num(1)})));
    EXPECT_TRUE(script_test::Errors().empty());
}

TEST_F(DateObjectTest, IsoTextOfTimeValues) {
    EXPECT_EQ(Iso(86400000), "s:1970-01-02T00:00:00.000Z");
    EXPECT_EQ(Iso(-1), "s:1969-12-31T23:59:59.999Z");
    EXPECT_EQ(Iso(-62198755200000.0), "s:-000001-01-01T00:00:00.000Z");
    EXPECT_EQ(Iso(253402300800000.0), "s:+010000-01-01T00:00:00.000Z");
    // An invalid date has no text: RangeError, as for an object with no time value.
    for (double t : {static_cast<double>(NAN), 1e20}) {
        EXPECT_EQ(Iso(t), "u");
        EXPECT_EQ(ThrownText(), "RangeError: NoMessage") << t;
    }
    Call("Date.prototype.toISOString", At("Date.prototype"));
    EXPECT_EQ(ThrownText(), "RangeError: NoMessage");
}

TEST_F(DateObjectTest, ParseReadsTheProgramsOwnFormAsFarAsItFits) {
    const struct {
        const char* text;
        double t;
    } cases[] = {
        {"2000-01-01", 946684800000.0},
        {"2000-01-01T00:00:00:000+01:00", 946688400000.0},
        {"2000-01-01T00:00:00:000-01:30", 946684800000.0 - 5400000.0},
        {"2000-01-01T10:20:30:456", 946684800000.0 + 37230456.0},
        {"2000-01-01T10:20:30.456Z", 946684800000.0 + 37230000.0},  // a full stop ends the parse
        {"2000-03", 951868800000.0},
        {"2000-3-01", 946684800000.0},
        {"abc", 0},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Parse(c.text), c.t) << c.text;
    const RValue date = Construct("Date", {Str("2000-01-01")});
    EXPECT_EQ(Show(Call("Date.prototype.toISOString", date)), "s:2000-01-01T00:00:00.000Z");
}

TEST_F(DateObjectTest, ConstructionAndTheClock) {
    const RValue now = Call("Date.now", Undef());
    ASSERT_TRUE(RValue_IsReal(now));
    EXPECT_EQ(std::fmod(now.val, 1000.0), 0.0);
    EXPECT_NEAR(now.val, static_cast<double>(std::time(nullptr)) * 1000.0, 2000.0);
    const RValue made = Construct("Date", {});
    EXPECT_EQ(Show(made), "o:Date");
    EXPECT_EQ(std::fmod(JS_FindOwnValue(made.obj, JS_PRIMITIVE_VALUE)->val, 1000.0), 0.0);
    const RValue big = Construct("Date", {Num(1e20)});
    EXPECT_EQ(JS_FindOwnValue(big.obj, JS_PRIMITIVE_VALUE)->val, 1e20);  // not clipped
    const RValue parts = Construct("Date", {Num(70), Num(0), Num(2), Num(1)});
    EXPECT_EQ(JS_FindOwnValue(parts.obj, JS_PRIMITIVE_VALUE)->val, 86400000.0 + 3600000.0);
    EXPECT_EQ(JS_PrototypeOf(made.obj), AtObject("Date.prototype"));
}

TEST_F(DateObjectTest, TheUnprovidedMethodsThrowReferenceError) {
    const RValue date = Construct("Date", {Num(0)});
    for (const char* name : {"getTime", "valueOf", "toString", "getUTCFullYear", "setTime", "toJSON"}) {
        Call(std::string("Date.prototype.") + name, date);
        EXPECT_EQ(ThrownText(), "ReferenceError: unimplemented function") << name;
    }
    // Calling Date as a function converts the new Date to text, which is not provided.
    Call("Date", Undef(), {Num(0)});
    EXPECT_EQ(ThrownText(), "ReferenceError: unimplemented function");
    // So does arithmetic on a Date.
    RValue number = Undef();
    JS_ToNumber(&number, &date);
    EXPECT_EQ(ThrownText(), "ReferenceError: unimplemented function");
}

}  // namespace date_object_test
