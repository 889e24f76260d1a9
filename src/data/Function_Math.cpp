// The numeric built-ins: random numbers, rounding and elementary functions, trigonometry in
// single precision, selection and statistics, and 2-D geometry. Degrees and radians convert
// with pi as a float, and trigonometric results below 0.00001 snap to 0, as game code
// written against this runner expects (sin(pi) is exactly 0, dcos(90) is exactly 0).
#include "data/Function_Math.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value_Convert.h"
#include "data/Common.h"
#include "data/Function_Math_Internal.h"
#include "platform/Clock.h"


namespace {

constexpr double kPi = static_cast<double>(3.14159265358979323846f);  // 3.1415927410125732
constexpr float kTrigSnap = 1e-5f;                                    // 9.99999974737875e-06
constexpr float kLengthSnap = 1e-4f;                                  // 9.99999974737875e-05

// The library functions run in double precision on the widened float; the callers round.
inline double D(float f) {
    return static_cast<double>(f);
}

float DegreesToRadians(float degrees) {
    return static_cast<float>(degrees * kPi / 180.0);
}
float RadiansToDegrees(float radians) {
    return static_cast<float>(radians * 180.0 / kPi);
}

// A trigonometric result: rounded to single precision, then snapped to 0 when tiny.
void SetTrig(RValue& result, double value) {
    const float f = static_cast<float>(value);
    Result_SetReal(result, std::fabs(f) < kTrigSnap ? 0.0 : static_cast<double>(f));
}

// Values just past a whole number in magnitude become that number: 3.00001 gives 3 while
// 2.99999 stays, so lengths along the axes come out whole.
float SnapJustPastInteger(float value) {
    float whole;
    const float fraction = std::modf(value, &whole);
    return std::fabs(fraction) < kLengthSnap ? whole : value;
}

// Two words joined into v in [0, 2^63), v mod span; a span beyond int64 is narrowed to
// the largest one so the ends of the 64-bit range still get an answer.
int64_t RandomBelow(uint64_t span) {
    if (span == 0 || span > static_cast<uint64_t>(INT64_MAX)) span = INT64_MAX;
    return Random_IntRange(static_cast<int64_t>(span));
}

int64_t IRandom(int64_t n) {
    if (n >= 0) return RandomBelow(static_cast<uint64_t>(n) + 1);
    return -RandomBelow(0 - static_cast<uint64_t>(n) + 1);
}

int64_t IRandomRange(int64_t a, int64_t b) {
    const int64_t lo = b > a ? a : b;
    const int64_t hi = b > a ? b : a;
    const uint64_t span = static_cast<uint64_t>(hi) - static_cast<uint64_t>(lo) + 1;
    return static_cast<int64_t>(static_cast<uint64_t>(lo) + static_cast<uint64_t>(RandomBelow(span)));
}

// Nearest integer with halves to even, held to the int32 range; a not-a-number gives 0.
double RoundToInt32(double x) {
    if (std::isnan(x)) return 0.0;
    const double r = std::nearbyint(x);
    return std::clamp(r, static_cast<double>(INT32_MIN), static_cast<double>(INT32_MAX));
}

double SignOf(double x) {
    if (x > 0) return 1.0;
    return x == 0 ? 0.0 : -1.0;  // a not-a-number counts as negative
}

// Arguments as contiguous values (the built-ins) or as pointers (compiled code's entries).
struct ContiguousArgs {
    RValue* args;
    RValue* Value(int32_t i) const { return &args[i]; }
    double Real(int32_t i) const { return Arg_GetReal(args, i); }
};
struct PointedArgs {
    RValue** args;
    RValue* Value(int32_t i) const { return args[i]; }
    double Real(int32_t i) const { return Arg_GetReal(args[i], 0); }
};

// A copy of the first argument of the smallest (largest) value; ties keep the earlier one.
template <typename Args>
void PickExtreme(RValue& result, int32_t count, const Args& source, bool wantMax) {
    if (count <= 0) {
        RValue_Release(&result);
        Result_SetReal(result, 0.0);
        return;
    }
    RValue_Assign(&result, source.Value(0));
    double best = source.Real(0);
    for (int32_t i = 1; i < count; ++i) {
        const double c = source.Real(i);
        if (wantMax ? c > best : c < best) {
            best = c;
            RValue_Assign(&result, source.Value(i));
        }
    }
}

template <typename Args>
void PickRandom(RValue& result, int32_t count, const Args& source) {
    if (count <= 0) {
        RValue_Release(&result);
        Result_SetReal(result, 0.0);
        return;
    }
    const uint32_t r = Random_IntMod(count);
    const int32_t index = std::min<int64_t>(r, count - 1);
    RValue_Assign(&result, source.Value(index));
}

// The seed mixes the clock's absolute reading in microseconds (time since start plus the
// start stamp) into 32 bits.
uint32_t SeedFromClock() {
    const uint64_t t = static_cast<uint64_t>(PlatformClock_Microseconds());
    const uint32_t lo = static_cast<uint32_t>(t);
    const uint32_t hi = static_cast<uint32_t>(t >> 32);
    return (hi + lo) ^ (static_cast<uint32_t>(t >> 16) & 0xFFFFu) ^ (lo << 16);
}

// --- Random -----------------------------------------------------------------------------

HV_BUILTIN(F_Random) {
    Result_SetReal(result, Direct_random(Arg_GetReal(args, 0)));
}

HV_BUILTIN(F_RandomRange) {
    const double a = Arg_GetReal(args, 0);
    Result_SetReal(result, Direct_random_range(a, Arg_GetReal(args, 1)));
}

HV_BUILTIN(F_Irandom) {
    Result_SetReal(result, static_cast<double>(IRandom(Arg_GetInt64(args, 0))));
}

HV_BUILTIN(F_IrandomRange) {
    const int64_t a = Arg_GetInt64(args, 0);
    Result_SetReal(result, static_cast<double>(IRandomRange(a, Arg_GetInt64(args, 1))));
}

HV_BUILTIN(F_RandomUseOldVersion) {
    Random_UseOldVersion(Arg_GetInt32(args, 0) > 0);
    Result_SetReal(result, 0.0);
}

HV_BUILTIN(F_RandomSetSeed) {
    Random_SetSeed(static_cast<int32_t>(Arg_GetUInt32(args, 0)));
    Result_SetReal(result, 0.0);
}

HV_BUILTIN(F_RandomGetSeed) {
    Result_SetReal(result, static_cast<uint32_t>(Random_GetSeed()));
}

HV_BUILTIN(F_Randomize) {
    const uint32_t seed = SeedFromClock();
    Random_SetSeed(static_cast<int32_t>(seed));
    Result_SetReal(result, seed);
}

// --- Rounding and elementary functions --------------------------------------------------

HV_BUILTIN(F_Abs) {
    Result_SetReal(result, std::fabs(Arg_GetReal(args, 0)));
}
HV_BUILTIN(F_Round) {
    Result_SetReal(result, RoundToInt32(Arg_GetReal(args, 0)));
}
HV_BUILTIN(F_Floor) {
    Result_SetReal(result, std::floor(Arg_GetReal(args, 0)));
}
HV_BUILTIN(F_Ceil) {
    Result_SetReal(result, std::ceil(Arg_GetReal(args, 0)));
}
HV_BUILTIN(F_Sign) {
    Result_SetReal(result, SignOf(Arg_GetReal(args, 0)));
}

HV_BUILTIN(F_Frac) {
    double whole;
    Result_SetReal(result, std::modf(Arg_GetReal(args, 0), &whole));
}

HV_BUILTIN(F_Sqrt) {
    const double x = Arg_GetReal(args, 0);
    if (x < 0) {
        Function_ReportError("Cannot apply sqrt to negative number.");
        Result_SetReal(result, 0.0);
        return;
    }
    Result_SetReal(result, std::sqrt(x));
}

HV_BUILTIN(F_Sqr) {
    const double x = Arg_GetReal(args, 0);
    Result_SetReal(result, x * x);
}

HV_BUILTIN(F_Exp) {
    Result_SetReal(result, std::exp(Arg_GetReal(args, 0)));
}
HV_BUILTIN(F_Ln) {
    Result_SetReal(result, std::log(Arg_GetReal(args, 0)));
}
HV_BUILTIN(F_Log10) {
    Result_SetReal(result, std::log10(Arg_GetReal(args, 0)));
}
HV_BUILTIN(F_Log2) {
    Result_SetReal(result, std::log(Arg_GetReal(args, 0)) / std::log(2.0));
}

HV_BUILTIN(F_Power) {
    const double x = Arg_GetReal(args, 0);
    Result_SetReal(result, std::pow(x, Arg_GetReal(args, 1)));
}

HV_BUILTIN(F_Logn) {
    const double n = Arg_GetReal(args, 0);
    Result_SetReal(result, std::log(Arg_GetReal(args, 1)) / std::log(n));
}

HV_BUILTIN(F_Degtorad) {
    Result_SetReal(result, Arg_GetReal(args, 0) * kPi / 180.0);
}
HV_BUILTIN(F_Radtodeg) {
    Result_SetReal(result, Arg_GetReal(args, 0) * 180.0 / kPi);
}

// --- Trigonometry -----------------------------------------------------------------------

HV_BUILTIN(F_Sin) {
    SetTrig(result, std::sin(D(Arg_GetFloat(args, 0))));
}
HV_BUILTIN(F_Cos) {
    SetTrig(result, std::cos(D(Arg_GetFloat(args, 0))));
}
HV_BUILTIN(F_Tan) {
    SetTrig(result, std::tan(D(Arg_GetFloat(args, 0))));
}
HV_BUILTIN(F_Dsin) {
    SetTrig(result, std::sin(D(DegreesToRadians(Arg_GetFloat(args, 0)))));
}
HV_BUILTIN(F_Dcos) {
    SetTrig(result, std::cos(D(DegreesToRadians(Arg_GetFloat(args, 0)))));
}
HV_BUILTIN(F_Dtan) {
    SetTrig(result, std::tan(D(DegreesToRadians(Arg_GetFloat(args, 0)))));
}

// The inverse functions are defined on [-1, 1]; outside it the error is reported and the
// result is 0.
bool InUnitRange(float x, const char* message) {
    if (x >= -1.0f && x <= 1.0f) return true;
    Function_ReportError(message);
    return false;
}

constexpr const char* kArcsinError = "Error in function arcsin().";
constexpr const char* kArccosError = "Error in function arccos().";

HV_BUILTIN(F_Arcsin) {
    const float x = Arg_GetFloat(args, 0);
    if (InUnitRange(x, kArcsinError))
        SetTrig(result, std::asin(D(x)));
    else
        Result_SetReal(result, 0.0);
}

HV_BUILTIN(F_Arccos) {
    const float x = Arg_GetFloat(args, 0);
    if (InUnitRange(x, kArccosError))
        SetTrig(result, std::acos(D(x)));
    else
        Result_SetReal(result, 0.0);
}

HV_BUILTIN(F_Darcsin) {
    const float x = Arg_GetFloat(args, 0);
    if (InUnitRange(x, kArcsinError))
        SetTrig(result, RadiansToDegrees(static_cast<float>(std::asin(D(x)))));
    else
        Result_SetReal(result, 0.0);
}

HV_BUILTIN(F_Darccos) {
    const float x = Arg_GetFloat(args, 0);
    if (InUnitRange(x, kArccosError))
        SetTrig(result, RadiansToDegrees(static_cast<float>(std::acos(D(x)))));
    else
        Result_SetReal(result, 0.0);
}

HV_BUILTIN(F_Arctan) {
    SetTrig(result, std::atan(D(Arg_GetFloat(args, 0))));
}

HV_BUILTIN(F_Darctan) {
    SetTrig(result, RadiansToDegrees(static_cast<float>(std::atan(D(Arg_GetFloat(args, 0))))));
}

HV_BUILTIN(F_Arctan2) {
    const float y = Arg_GetFloat(args, 0);
    SetTrig(result, std::atan2(D(y), D(Arg_GetFloat(args, 1))));
}

HV_BUILTIN(F_Darctan2) {
    const float y = Arg_GetFloat(args, 0);
    SetTrig(result, RadiansToDegrees(static_cast<float>(std::atan2(D(y), D(Arg_GetFloat(args, 1))))));
}

// --- Selection and statistics -----------------------------------------------------------

HV_BUILTIN(F_Min) {
    PickExtreme(result, argc, ContiguousArgs{args}, false);
}
HV_BUILTIN(F_Max) {
    PickExtreme(result, argc, ContiguousArgs{args}, true);
}

HV_BUILTIN(F_Mean) {
    double sum = 0.0;
    for (int32_t i = 0; i < argc; ++i) sum += Arg_GetReal(args, i);
    Result_SetReal(result, argc > 0 ? sum / argc : 0.0);
}

// The middle of the sorted arguments (the upper middle for an even count). The scratch
// array is on the heap: the argument count has no bound. Not-a-numbers sort above every
// number so that the order is total.
HV_BUILTIN(F_Median) {
    if (argc <= 0) {
        Result_SetReal(result, 0.0);
        return;
    }
    double* values = static_cast<double*>(MEM_ALLOC_RAW(sizeof(double) * static_cast<size_t>(argc)));
    for (int32_t i = 0; i < argc; ++i) values[i] = Arg_GetReal(args, i);
    std::sort(values, values + argc,
              [](double a, double b) { return std::isnan(b) ? !std::isnan(a) : a < b; });
    Result_SetReal(result, values[argc / 2]);
    MEM_FREE(values);
}

HV_BUILTIN(F_Choose) {
    PickRandom(result, argc, ContiguousArgs{args});
}

HV_BUILTIN(F_Clamp) {
    const double v = Arg_GetReal(args, 0);
    const double lo = Arg_GetReal(args, 1);
    const double hi = Arg_GetReal(args, 2);
    const double m = lo > v ? lo : v;
    Result_SetReal(result, m > hi ? hi : m);  // hi wins when lo > hi
}

HV_BUILTIN(F_Lerp) {
    const double a = Arg_GetReal(args, 0);
    const double b = Arg_GetReal(args, 1);
    Result_SetReal(result, a + (b - a) * Arg_GetReal(args, 2));
}

// --- Geometry ---------------------------------------------------------------------------

// sqrt of the sum of squares, the sum rounded to single precision and the root too.
float LengthOf(float dx, float dy, float dz = 0.0f) {
    const double squares =
        static_cast<double>(dx) * dx + static_cast<double>(dy) * dy + static_cast<double>(dz) * dz;
    return static_cast<float>(std::sqrt(static_cast<float>(squares)));
}

HV_BUILTIN(F_PointDistance) {
    float v[4];
    for (int32_t i = 0; i < 4; ++i) v[i] = Arg_GetFloat(args, i);
    Result_SetReal(result, LengthOf(v[2] - v[0], v[3] - v[1]));
}

HV_BUILTIN(F_PointDistance3d) {
    float v[6];
    for (int32_t i = 0; i < 6; ++i) v[i] = Arg_GetFloat(args, i);
    Result_SetReal(result, LengthOf(v[3] - v[0], v[4] - v[1], v[5] - v[2]));
}

HV_BUILTIN(F_PointDirection) {
    float v[4];
    for (int32_t i = 0; i < 4; ++i) v[i] = Arg_GetFloat(args, i);
    Result_SetReal(result, Direct_point_direction(v[0], v[1], v[2], v[3]));
}

HV_BUILTIN(F_LengthdirX) {
    const float length = Arg_GetFloat(args, 0);
    Result_SetReal(result, Direct_lengthdir_x(length, Arg_GetFloat(args, 1)));
}

HV_BUILTIN(F_LengthdirY) {
    const float length = Arg_GetFloat(args, 0);
    Result_SetReal(result, Direct_lengthdir_y(length, Arg_GetFloat(args, 1)));
}

HV_BUILTIN(F_DotProduct) {
    double v[4];
    for (int32_t i = 0; i < 4; ++i) v[i] = Arg_GetReal(args, i);
    Result_SetReal(result, v[0] * v[2] + v[1] * v[3]);
}

HV_BUILTIN(F_DotProduct3d) {
    double v[6];
    for (int32_t i = 0; i < 6; ++i) v[i] = Arg_GetReal(args, i);
    Result_SetReal(result, v[0] * v[3] + v[1] * v[4] + v[2] * v[5]);
}

// Lengths are single-precision roots of single-precision sums; a zero-length vector gives
// whatever the division gives.
float FloatLength(float x, float y, float z = 0.0f) {
    const float squares = x * x + y * y + z * z;
    return static_cast<float>(std::sqrt(squares));
}

HV_BUILTIN(F_DotProductNormalised) {
    float v[4];
    for (int32_t i = 0; i < 4; ++i) v[i] = Arg_GetFloat(args, i);
    const double dot = static_cast<double>(v[0]) * v[2] + static_cast<double>(v[1]) * v[3];
    Result_SetReal(result, dot / (static_cast<double>(FloatLength(v[0], v[1])) * FloatLength(v[2], v[3])));
}

HV_BUILTIN(F_DotProduct3dNormalised) {
    float v[6];
    for (int32_t i = 0; i < 6; ++i) v[i] = Arg_GetFloat(args, i);
    const double dot = static_cast<double>(v[0]) * v[3] + static_cast<double>(v[1]) * v[4] +
                       static_cast<double>(v[2]) * v[5];
    const double lengths = static_cast<double>(FloatLength(v[0], v[1], v[2])) * FloatLength(v[3], v[4], v[5]);
    Result_SetReal(result, dot / lengths);
}

// a - b folded into [-180, 180), every step in single precision.
HV_BUILTIN(F_AngleDifference) {
    const float a = Arg_GetFloat(args, 0);
    const float b = Arg_GetFloat(args, 1);
    float d = a - b;
    d = std::fmod(d, 360.0f);
    d = d + 540.0f;
    d = std::fmod(d, 360.0f);
    Result_SetReal(result, d - 180.0f);
}

// Accepts 0 <= e < 1; 0 is stored as 1e-11 so that equality keeps some tolerance.
HV_BUILTIN(F_MathSetEpsilon) {
    const double e = Arg_GetReal(args, 0);
    if (e >= 0.0 && e < 1.0) MathEpsilon = e == 0.0 ? 1e-11 : e;
}

HV_BUILTIN(F_MathGetEpsilon) {
    Result_SetReal(result, MathEpsilon);
}

constexpr BuiltinRow kMathRows[] = {
    {"random", F_Random, 1, 0},
    {"random_range", F_RandomRange, 2, 0},
    {"irandom", F_Irandom, 1, 0},
    {"irandom_range", F_IrandomRange, 2, 0},
    {"random_use_old_version", F_RandomUseOldVersion, 1, 0},
    {"random_set_seed", F_RandomSetSeed, 1, 0},
    {"random_get_seed", F_RandomGetSeed, 0, 0},
    {"randomize", F_Randomize, 0, 0},
    {"abs", F_Abs, 1, 0},
    {"round", F_Round, 1, 0},
    {"floor", F_Floor, 1, 0},
    {"ceil", F_Ceil, 1, 0},
    {"sign", F_Sign, 1, 0},
    {"frac", F_Frac, 1, 0},
    {"sqrt", F_Sqrt, 1, 0},
    {"sqr", F_Sqr, 1, 0},
    {"exp", F_Exp, 1, 0},
    {"ln", F_Ln, 1, 0},
    {"log10", F_Log10, 1, 0},
    {"log2", F_Log2, 1, 0},
    {"power", F_Power, 2, 0},
    {"logn", F_Logn, 2, 0},
    {"degtorad", F_Degtorad, 1, 0},
    {"radtodeg", F_Radtodeg, 1, 0},
    {"sin", F_Sin, 1, 0},
    {"cos", F_Cos, 1, 0},
    {"tan", F_Tan, 1, 0},
    {"dsin", F_Dsin, 1, 0},
    {"dcos", F_Dcos, 1, 0},
    {"dtan", F_Dtan, 1, 0},
    {"arcsin", F_Arcsin, 1, 0},
    {"arccos", F_Arccos, 1, 0},
    {"darcsin", F_Darcsin, 1, 0},
    {"darccos", F_Darccos, 1, 0},
    {"arctan", F_Arctan, 1, 0},
    {"darctan", F_Darctan, 1, 0},
    {"arctan2", F_Arctan2, 2, 0},
    {"darctan2", F_Darctan2, 2, 0},
    {"min", F_Min, -1, 0},
    {"max", F_Max, -1, 0},
    {"min3", F_Min, 3, 0},
    {"max3", F_Max, 3, 0},
    {"mean", F_Mean, -1, 0},
    {"median", F_Median, -1, 0},
    {"choose", F_Choose, -1, 0},
    {"clamp", F_Clamp, 3, 1},
    {"lerp", F_Lerp, 3, 1},
    {"point_distance", F_PointDistance, 4, 0},
    {"point_distance_3d", F_PointDistance3d, 6, 0},
    {"point_direction", F_PointDirection, 4, 0},
    {"lengthdir_x", F_LengthdirX, 2, 0},
    {"lengthdir_y", F_LengthdirY, 2, 0},
    {"dot_product", F_DotProduct, 4, 0},
    {"dot_product_3d", F_DotProduct3d, 6, 0},
    {"dot_product_normalised", F_DotProductNormalised, 4, 0},
    {"dot_product_3d_normalised", F_DotProduct3dNormalised, 6, 0},
    {"angle_difference", F_AngleDifference, 2, 0},
    {"math_set_epsilon", F_MathSetEpsilon, 1, 0},
    {"math_get_epsilon", F_MathGetEpsilon, 0, 0},
};

}  // namespace

void Function_ReportError(const char* message) {
    Runtime_ErrorNonFatal("%s", message);
}

void InitMathFunctions() {
    Code_Function_AddRows(kMathRows);
    InitStringFunctions();
    InitArrayFunctions();
}

// --- Typed entries ----------------------------------------------------------------------

double Direct_random(double x) {
    return x * Random_Real(1.0);
}

double Direct_random_range(double a, double b) {
    const double lo = b > a ? a : b;
    const double hi = b > a ? b : a;
    return lo + Random_Real(1.0) * (hi - lo);
}

int64_t Direct_irandom(int32_t n) {
    return IRandom(n);
}

int32_t Direct_irandom_range(int32_t a, int32_t b) {
    const int32_t lo = a < b ? a : b;
    const int32_t hi = a < b ? b : a;
    return static_cast<int32_t>(lo + Random_IntRange(static_cast<int64_t>(hi) - lo + 1));
}

double Direct_abs(double x) {
    return std::fabs(x);
}
double Direct_sign(double x) {
    return SignOf(x);
}

double Direct_cos(double x) {
    const double c = std::cos(x);
    return std::fabs(c) < static_cast<double>(kTrigSnap) ? 0.0 : c;
}

float Direct_point_direction(float x1, float y1, float x2, float y2) {
    const float dx = x2 - x1;
    const float dy = y2 - y1;
    if (dx == 0.0f) {
        if (dy > 0.0f) return 270.0f;
        return dy < 0.0f ? 90.0f : 0.0f;
    }
    // Counter-clockwise on a screen whose y axis points down.
    const float a = static_cast<float>(std::atan2(D(dy), D(dx)) * 180.0 / kPi);
    return a > 0.0f ? 360.0f - a : -a;
}

float Direct_lengthdir_x(float length, float direction) {
    const float c = static_cast<float>(std::cos(D(DegreesToRadians(direction))));
    return SnapJustPastInteger(c * length);
}

float Direct_lengthdir_y(float length, float direction) {
    const float s = static_cast<float>(std::sin(D(DegreesToRadians(direction))));
    return SnapJustPastInteger(-(s * length));
}

RValue* Direct_max(RValue* result, int32_t count, RValue** args) {
    PickExtreme(*result, count, PointedArgs{args}, true);
    return result;
}

RValue* Direct_choose(RValue* result, int32_t count, RValue** args) {
    PickRandom(*result, count, PointedArgs{args});
    return result;
}
