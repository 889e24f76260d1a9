#include "data/ValueCompare.h"

#include <cmath>
#include <cstring>

#include "core/CRuntimeCompat.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "core/CRC32.h"

double g_DSPrecision = 1e-08;

namespace {

constexpr uint32_t Pair(uint32_t first, uint32_t second) {
    return first * 16 + second;
}

template <typename T>
int32_t Order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Equal within the tolerance; otherwise by sign, a not-a-number counting as above.
int32_t OrderWithin(double d, double tolerance) {
    if (std::fabs(d) <= tolerance) return 0;
    return d < 0 ? -1 : 1;
}

// The int32 side is widened to float and the real narrowed to it: integers above 2^24
// meet reals at float precision, which is how stored values and counters compare.
int32_t CompareRealInt32(double real, int32_t integer, bool realFirst, double tolerance) {
    const float r = static_cast<float>(real);
    const float i = static_cast<float>(integer);
    const double d = realFirst ? static_cast<double>(r) - i : static_cast<double>(i) - r;
    return OrderWithin(static_cast<float>(d), tolerance);
}

int64_t Int64Of(const RValue* value) {
    return RValue_IsInt32(value) ? value->v32 : value->v64;
}

int32_t CompareStrings(const RValue* first, const RValue* second) {
    if (first->str == nullptr || second->str == nullptr) return 1;
    const char* a = first->str->text ? first->str->text : "";
    const char* b = second->str->text ? second->str->text : "";
    const int c = std::strcmp(a, b);  // compares as unsigned char
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

// Integer pairs compare by value, not by a wrapped difference, so the order stays true
// across the whole range (2147483647 sorts above -1).
int32_t RValue_Compare(const RValue* first, const RValue* second, double tolerance) {
    const uint32_t k1 = RValue_Kind(first);
    const uint32_t k2 = RValue_Kind(second);
    switch (Pair(k1, k2)) {
        case Pair(VALUE_REAL, VALUE_REAL):
        case Pair(VALUE_REAL, VALUE_BOOL):
        case Pair(VALUE_BOOL, VALUE_REAL):
        case Pair(VALUE_BOOL, VALUE_BOOL):
            return OrderWithin(first->val - second->val, tolerance);
        case Pair(VALUE_REAL, VALUE_INT32):
            return CompareRealInt32(first->val, second->v32, true, tolerance);
        case Pair(VALUE_INT32, VALUE_REAL):
            return CompareRealInt32(second->val, first->v32, false, tolerance);
        case Pair(VALUE_REAL, VALUE_INT64):
        case Pair(VALUE_BOOL, VALUE_INT64):
            return Order(CRT_TruncToInt64(first->val), second->v64);
        case Pair(VALUE_INT64, VALUE_REAL):
        case Pair(VALUE_INT64, VALUE_BOOL):
            return Order(first->v64, CRT_TruncToInt64(second->val));
        case Pair(VALUE_INT32, VALUE_INT32):
            return Order(first->v32, second->v32);
        case Pair(VALUE_INT32, VALUE_INT64):
        case Pair(VALUE_INT64, VALUE_INT32):
        case Pair(VALUE_INT64, VALUE_INT64):
            return Order(Int64Of(first), Int64Of(second));
        case Pair(VALUE_INT32, VALUE_BOOL):
            return Order(first->v32, CRT_TruncToInt32(second->val));
        case Pair(VALUE_BOOL, VALUE_INT32):
            return Order(CRT_TruncToInt32(first->val), second->v32);
        case Pair(VALUE_STRING, VALUE_STRING):
            return CompareStrings(first, second);
        case Pair(VALUE_PTR, VALUE_PTR):
            // Addresses order downward: the lower address compares above.
            return first->ptr == second->ptr ? 0 : (first->ptr < second->ptr ? 1 : -1);
        case Pair(VALUE_UNDEFINED, VALUE_UNDEFINED):
            return 0;
        default:
            return k1 == VALUE_REAL ? -1 : 1;
    }
}

uint32_t DS_ValueHash(const RValue* value) {
    const uint32_t kind = RValue_Kind(value);
    switch (kind) {
        case VALUE_STRING:
            return CRC32_String(value->str ? value->str->text : nullptr);
        case VALUE_ARRAY:
        case VALUE_PTR:
        case VALUE_VEC3:
        case VALUE_OBJECT:
        case VALUE_VEC4:
        case VALUE_MATRIX:
        case VALUE_ACCESSOR:
            return CRC32_Bytes(&value->v64, 8);
        case VALUE_UNDEFINED:
        case VALUE_UNSET:
            return 0;
        default: {
            // Numbers hash as the double they convert to, so equal numbers of different kinds
            // land in the same bucket. The copy keeps the conversion from touching the key.
            RValue copy = *value;
            const double d = RValue_ToReal(&copy);
            return CRC32_Bytes(&d, 8);
        }
    }
}

void DS_SetPrecision(double x) {
    g_DSPrecision = std::fabs(x);
}
