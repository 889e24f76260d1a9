// Math: the constants and the functions, straight over the C library. Math.random draws from
// the runner's 15-bit generator, so it shares its sequence with the runner's own built-ins.
#include <cfenv>
#include <cmath>
#include <limits>

#include "data/Common.h"
#include "script/JS_Convert.h"
#include "script/JS_Exception.h"
#include "script/JS_NativeSupport.h"
#include "script/JS_StandardObjects.h"

namespace {

// Argument n as a number; false (with TypeError "NoMessage" thrown, or an exception
// propagating) when it cannot be converted.
bool NumberArgument(RValue* args, int32_t n, double* out) {
    RValue number = RValue_Real(JS_NaN());
    const int32_t status = JS_ToNumber(&number, &args[n]);
    if (status == JS_FAILED) JS_ThrowTypeError("NoMessage");
    *out = RValue_IsReal(number) ? number.val : JS_NaN();
    RValue_Release(&number);
    return status == JS_DONE;
}

template <double (*Function)(double)>
void OneArgument(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    double x = JS_NaN();
    if (argc >= 1 && args != nullptr && !NumberArgument(args, 0, &x)) return;
    Result_SetReal(result, argc >= 1 ? Function(x) : JS_NaN());
}

double Abs(double x) {
    return std::fabs(x);
}
double Acos(double x) {
    return std::acos(x);
}
double Asin(double x) {
    return std::asin(x);
}
double Atan(double x) {
    return std::atan(x);
}
double Ceil(double x) {
    return std::ceil(x);
}
double Cos(double x) {
    return std::cos(x);
}
double Exp(double x) {
    return std::exp(x);
}
double Floor(double x) {
    return std::floor(x);
}
double Log(double x) {
    return std::log(x);
}
double Sin(double x) {
    return std::sin(x);
}
double Sqrt(double x) {
    return std::sqrt(x);
}
double Tan(double x) {
    return std::tan(x);
}

void F_Math_atan2(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    double y = JS_NaN(), x = JS_NaN();
    if (argc >= 2 && (!NumberArgument(args, 0, &y) || !NumberArgument(args, 1, &x))) return;
    Result_SetReal(result, argc >= 2 ? std::atan2(y, x) : JS_NaN());
}

template <bool Max>
void Extreme(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    double answer = Max ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    for (int32_t i = 0; i < argc && args != nullptr; ++i) {
        double x = 0;
        if (!NumberArgument(args, i, &x)) return;
        if (std::isnan(x) || (Max ? x > answer : x < answer)) answer = x;
    }
    Result_SetReal(result, answer);
}

// Whether y is an integer, and an odd one, judged by its 32-bit conversion: outside that
// range it is no integer.
bool IsInt32Integer(double y, bool* odd) {
    if (!(y >= -2147483648.0 && y <= 2147483647.0) || y != std::trunc(y)) return false;
    *odd = (static_cast<int32_t>(y) & 1) != 0;
    return true;
}

double Pow(double x, double y) {
    const double inf = std::numeric_limits<double>::infinity();
    if (std::isnan(y)) return JS_NaN();
    if (y == 0) return 1;
    if (std::isnan(x)) return JS_NaN();
    bool odd = false;
    const bool integer = IsInt32Integer(y, &odd);
    if (std::isfinite(y)) {
        if (std::isinf(x)) {
            if (x > 0) return y > 0 ? inf : 0.0;
            if (integer && odd) return y > 0 ? -inf : -0.0;
            return y > 0 ? inf : 0.0;
        }
        if (x != 0) {
            if (x < 0 && !integer) return JS_NaN();
            return std::pow(x, y);
        }
        if (!std::signbit(x)) return y > 0 ? 0.0 : inf;
        if (integer && odd) return y > 0 ? -0.0 : -inf;
        return y > 0 ? 0.0 : inf;
    }
    const double magnitude = std::fabs(x);
    if (magnitude > 1) return y > 0 ? inf : 0.0;
    if (magnitude == 1) return JS_NaN();
    return y > 0 ? 0.0 : inf;
}

void F_Math_pow(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc < 2 || args == nullptr) {
        Result_SetReal(result, JS_NaN());
        return;
    }
    double x = 0, y = 0;
    if (!NumberArgument(args, 1, &y) || !NumberArgument(args, 0, &x)) return;
    Result_SetReal(result, Pow(x, y));
}

void F_Math_random(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    Result_SetReal(result, CRT_Rand() / 32767.0);
}

// To the nearest integer with ties to even, through a 32-bit integer: what cannot be held
// gives the integer indefinite value.
void F_Math_round(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    double x = JS_NaN();
    if (argc < 1 || args == nullptr) {
        Result_SetReal(result, JS_NaN());
        return;
    }
    if (!NumberArgument(args, 0, &x)) return;
    const double rounded = std::nearbyint(x);
    const bool fits = rounded >= -2147483648.0 && rounded <= 2147483647.0;
    Result_SetReal(result, fits ? rounded : -2147483648.0);
}

}  // namespace

void JS_SetupMathObject() {
    PWObjectBase* math = JS_NewClassObject("Math");
    const struct {
        const char* name;
        double value;
    } constants[] = {
        {"E", 2.718281828459045},        {"LN10", 2.302585092994046},    {"LN2", 0.6931471805599453},
        {"LOG2E", 1.4426950408889634},   {"LOG10E", 0.4342944819032518}, {"PI", 3.141592653589793},
        {"SQRT1_2", 0.7071067811865476}, {"SQRT2", 1.4142135623730951},
    };
    for (const auto& c : constants) math->AddReal(c.name, c.value, 0);
    const struct {
        const char* name;
        BuiltinProc function;
    } functions[] = {
        {"abs", OneArgument<Abs>},   {"acos", OneArgument<Acos>}, {"asin", OneArgument<Asin>},
        {"atan", OneArgument<Atan>}, {"atan2", F_Math_atan2},     {"ceil", OneArgument<Ceil>},
        {"cos", OneArgument<Cos>},   {"exp", OneArgument<Exp>},   {"floor", OneArgument<Floor>},
        {"log", OneArgument<Log>},   {"max", Extreme<true>},      {"min", Extreme<false>},
        {"pow", F_Math_pow},         {"random", F_Math_random},   {"round", F_Math_round},
        {"sin", OneArgument<Sin>},   {"sqrt", OneArgument<Sqrt>}, {"tan", OneArgument<Tan>},
    };
    for (const auto& f : functions) JS_AddNativeMethod(math, f.name, f.function, 0, 0);
    JS_AddGlobal("Math", math);
}
