// Boolean and Number after the real start-up: the wrappers, the formatting methods with their
// limits and messages, and the constructors' own shape.
#include <limits>

#include "LibraryTestSupport.h"

namespace number_object_test {

using script_test::LibraryTest;
using script_test::Num;
using script_test::Show;
using script_test::Undef;

class NumberObjectTest : public LibraryTest {
protected:
    static std::string Format(const char* method, double value, std::vector<RValue> args = {}) {
        return Show(Call(std::string("Number.prototype.") + method, Num(value), std::move(args)));
    }
};

TEST_F(NumberObjectTest, FormattingMethods) {
    const struct {
        const char* method;
        double value;
        std::vector<RValue> args;
        const char* shown;
    } cases[] = {
        {"toString", 5, {Num(2)}, "s:101"},
        {"toString", -2.5, {Num(2)}, "s:-10.1"},
        {"toString", 0.5, {Num(2)}, "s:0.1"},
        {"toString", 255, {Num(16)}, "s:ff"},
        {"toString", 35, {Num(36)}, "s:z"},
        {"toString", 0, {Num(7)}, "s:0"},
        {"toString", 1.5, {Num(10)}, "s:1.5"},
        {"toString", 1.5, {}, "s:1.5"},
        {"toString", 1.5, {Undef()}, "s:1.5"},
        {"toString", NAN, {Num(16)}, "s:NaN"},
        {"toString", -HUGE_VAL, {Num(2)}, "s:-Infinity"},
        {"toFixed", 2.5, {Num(0)}, "s:2"},  // ties to even
        {"toFixed", 3.5, {Num(0)}, "s:4"},
        {"toFixed", 0.125, {Num(2)}, "s:0.12"},
        {"toFixed", 1.005, {Num(2)}, "s:1.00"},
        {"toFixed", 123.456, {}, "s:123"},
        {"toFixed", -1.5, {Num(3)}, "s:-1.500"},
        {"toFixed", -0.0, {Num(1)}, "s:0.0"},
        {"toFixed", 1e21, {Num(2)}, "s:1e+21"},
        {"toFixed", -1e21, {Num(2)}, "s:-1e+21"},  // checked before any fixed-point writing
        {"toFixed", -1e300, {Num(20)}, "s:-1e+300"},
        {"toFixed", -HUGE_VAL, {Num(2)}, "s:-Infinity"},
        {"toFixed", NAN, {Num(2)}, "s:NaN"},
        {"toExponential", 123, {}, "s:1.23000e+2"},
        {"toExponential", 123, {Num(1)}, "s:1.2e+2"},
        {"toExponential", 0.00015, {Num(0)}, "s:1e-4"},
        {"toExponential", 0, {Num(2)}, "s:0.00e+0"},
        {"toExponential", 1e300, {Num(3)}, "s:1.000e+300"},
        {"toExponential", NAN, {}, "s:NaN"},
        {"toExponential", HUGE_VAL, {}, "s:Infinity"},
        {"toPrecision", 5, {Num(3)}, "s:5.00"},
        {"toPrecision", 1.5, {Num(4)}, "s:1.5"},
        {"toPrecision", 123456, {Num(2)}, "s:1.2e+5"},
        {"toPrecision", 0.000001234, {Num(2)}, "s:1.2e-6"},
        {"toPrecision", 123.456, {Num(4)}, "s:123.5"},
        {"toPrecision", 123.456, {}, "s:123.456"},
        {"toPrecision", NAN, {Num(3)}, "s:NaN"},
        {"toPrecision", -HUGE_VAL, {Num(3)}, "s:-Infinity"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Format(c.method, c.value, c.args), c.shown) << c.method << " " << c.value;
        EXPECT_EQ(ThrownText(), "");
    }
}

TEST_F(NumberObjectTest, RangeErrors) {
    const struct {
        const char* method;
        double digits;
        const char* message;
    } cases[] = {
        {"toString", 1, "Number.prototype.toString radix must be between 2 and 36 inclusive."},
        {"toString", 37, "Number.prototype.toString radix must be between 2 and 36 inclusive."},
        {"toFixed", 21, "Number.prototype.toFixed fraction digits should be >= 1 and <= 20"},
        {"toFixed", -1, "Number.prototype.toFixed fraction digits should be >= 1 and <= 20"},
        {"toExponential", 21, "Number.prototype.toExponential fraction digits should be >= 1 and <= 20"},
        {"toPrecision", 0, "Number.prototype.toPrecision fraction digits should be > 1 and <= 20"},
        {"toPrecision", 21, "Number.prototype.toPrecision fraction digits should be > 1 and <= 20"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Format(c.method, 5, {Num(c.digits)}), "u");
        EXPECT_EQ(ThrownText(), std::string("RangeError: ") + c.message) << c.method << " " << c.digits;
    }
    EXPECT_EQ(Format("toFixed", 2.5, {Num(NAN)}), "s:2");  // NaN counts as 0 digits
}

TEST_F(NumberObjectTest, RadixFractionsThatNeverEndStop) {
    const RValue text = Call("Number.prototype.toString", Num(0.1), {Num(3)});
    const char* t = RValue_GetStringText(&text);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::string(t).substr(0, 8), "0.002200");
    EXPECT_LE(std::strlen(t), 1200u);
    // A binary fraction of a double always ends: every digit is written.
    const RValue tiny =
        Call("Number.prototype.toString", Num(std::numeric_limits<double>::denorm_min()), {Num(2)});
    EXPECT_EQ(std::strlen(RValue_GetStringText(&tiny)), 2u + 1074u);
}

TEST_F(NumberObjectTest, NumberConstructorAndWrappers) {
    EXPECT_EQ(Show(Call("Number", Undef())), "n:0");
    EXPECT_EQ(Show(Call("Number", Undef(), {Str("abc")})), "n:NaN");
    EXPECT_EQ(Show(Call("Number", Undef(), {Str(" 0x1F ")})), "n:31");
    const RValue wrapped = Construct("Number", {Str("2.5")});
    EXPECT_EQ(Show(wrapped), "o:Number");
    EXPECT_EQ(Show(Call("Number.prototype.valueOf", wrapped)), "n:2.5");
    EXPECT_EQ(Show(Call("Number.prototype.toLocaleString", wrapped)), "s:2.5");
    EXPECT_EQ(Show(Call("Number.prototype.valueOf", Construct("Number", {}))), "n:0");
    EXPECT_EQ(Show(Call("Number.prototype.valueOf", At("Number.prototype"))), "n:0");
    Call("Number.prototype.valueOf", Construct("String", {Str("1")}));
    EXPECT_EQ(ThrownText(), "TypeError: NoMessage");
    Call("Number.prototype.toString", Str("1"));
    EXPECT_EQ(ThrownText(),
              "TypeError: Cannot use Number.prototype.toString on an object which is not of type Number.");
    // A primitive number converts to its wrapper with the prototype's methods.
    RValue object = Undef();
    const RValue five = Num(5);
    ASSERT_EQ(F_JS_ToObject(&object, &five), JS_DONE);
    EXPECT_EQ(JS_PrototypeOf(object.obj), AtObject("Number.prototype"));
}

TEST_F(NumberObjectTest, NumberConstantsAndItsPrototypeLink) {
    EXPECT_EQ(At("Number.MAX_VALUE").val, std::numeric_limits<double>::max());
    EXPECT_EQ(At("Number.MIN_VALUE").val, 5e-324);
    EXPECT_TRUE(std::isnan(At("Number.NaN").val));
    EXPECT_EQ(At("Number.NEGATIVE_INFINITY").val, -HUGE_VAL);
    EXPECT_EQ(At("Number.POSITIVE_INFINITY").val, HUGE_VAL);
    // Its prototype is Object.prototype: no apply, no call.
    EXPECT_EQ(Show(At("Number.apply")), "unset");
    EXPECT_EQ(Show(At("String.apply")), "o:Function");
    EXPECT_EQ(At("Number.prototype.constructor").obj, AtObject("Number"));
}

TEST_F(NumberObjectTest, BooleanConstructorAndWrappers) {
    EXPECT_EQ(Show(Call("Boolean", Undef())), "b:false");
    EXPECT_EQ(Show(Call("Boolean", Undef(), {Str("x")})), "b:true");
    const RValue zero = Construct("Boolean", {Num(0)});
    EXPECT_EQ(Show(zero), "o:Boolean");
    EXPECT_EQ(Show(Call("Boolean.prototype.valueOf", zero)), "b:false");
    EXPECT_EQ(Show(Call("Boolean.prototype.toString", Construct("Boolean", {Num(1)}))), "s:true");
    EXPECT_EQ(Show(Call("Boolean.prototype.toString", At("Boolean.prototype"))), "s:false");
    // The wrapper's slot 0 holds an object whose constructor is the wrapper itself.
    const RValue* slot = zero.obj->PeekSlot(JS_SLOT_PROTOTYPE);
    ASSERT_TRUE(slot != nullptr && RValue_IsObject(slot));
    RValue constructor = Undef();
    JS_Get(slot->obj, &constructor, "constructor");
    EXPECT_EQ(constructor.obj, zero.obj);
    // A Boolean-class object without a value, and objects of other classes.
    PWObjectBase* bare = JS_NewOrdinaryObject();
    bare->AddString(JS_CLASS, "Boolean", 0);
    EXPECT_EQ(Show(Call("Boolean.prototype.toString", Object(bare))), "s:unknown-bool");
    Call("Boolean.prototype.toString", Num(1));
    EXPECT_EQ(ThrownText(), "TypeError: Boolean.toString : object is not a Boolean");
    Call("Boolean.prototype.valueOf", Str("1"));
    EXPECT_EQ(ThrownText(), "TypeError: Boolean.valueOf : object is not a Boolean");
    RValue object = Undef();
    const RValue yes = RValue_Bool(1);
    ASSERT_EQ(F_JS_ToObject(&object, &yes), JS_DONE);
    EXPECT_EQ(Show(Call("Boolean.prototype.valueOf", object)), "b:true");
}

}  // namespace number_object_test
