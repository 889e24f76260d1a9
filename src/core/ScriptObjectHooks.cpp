#include "core/ScriptObjectHooks.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/CRuntimeCompat.h"
#include "core/ObjectBase.h"
#include "core/Value.h"

namespace {

void NoProperty(PWObjectBase*, RValue* out, const char*) {
    out->v64 = 0;
    out->flags = 0;
    out->kind = VALUE_UNSET;
}
bool NothingCallable(const RValue*) {
    return false;
}
void CallNothing(PWObjectBase*, RValue* result, RValue*, int32_t, RValue*) {
    *result = RValue_Undefined();
}
// Every object of the object base keeps its own stamp.
int64_t* ObjectStamp(PWObjectBase* object) {
    return &object->visitStamp;
}
PWObjectBase* NoScopeChain() {
    return nullptr;
}
void NoGetter(PWObjectBase*, RValue* result, RValue*) {
    *result = RValue_Undefined();
}
void NoSetter(PWObjectBase*, RValue*, RValue*) {}
PWObjectBase* NoAccessor(NativeAccessorGetter, NativeAccessorSetter) {
    return nullptr;
}
bool NoGlobalName(const char*) {
    return false;
}

int32_t NoOperator(ScriptOperator, RValue*, const RValue*, const RValue*) {
    return SCRIPT_OP_UNAVAILABLE;
}
int32_t NoMemberGet(RValue*, const RValue*, const RValue*) {
    return SCRIPT_OP_UNAVAILABLE;
}
int32_t NoMemberPut(const RValue*, const RValue*, RValue*) {
    return SCRIPT_OP_UNAVAILABLE;
}
int32_t NoMemberDelete(RValue*, const RValue*, const RValue*) {
    return SCRIPT_OP_UNAVAILABLE;
}
int32_t NoToObject(RValue*, const RValue*) {
    return SCRIPT_OP_UNAVAILABLE;
}
PWObjectBase* NoArguments(PWObjectBase*, int32_t, RValue*) {
    return nullptr;
}

const ScriptObjectHooks kDefaults = {
    .toNumber = ScriptObjects_DefaultToNumber,
    .getProperty = NoProperty,
    .isCallable = NothingCallable,
    .callValue = CallNothing,
    .visitStamp = ObjectStamp,
    .scopeChainHead = NoScopeChain,
    .callGetter = NoGetter,
    .callSetter = NoSetter,
    .createNativeAccessor = NoAccessor,
    .isBuiltinGlobalName = NoGlobalName,
    .operate = NoOperator,
    .getMember = NoMemberGet,
    .putMember = NoMemberPut,
    .deleteMember = NoMemberDelete,
    .toObject = NoToObject,
    .newArguments = NoArguments,
};
ScriptObjectHooks g_hooks = kDefaults;

// Byte length of the white-space or line-terminator character at p, 0 when there is none.
// Besides ASCII: no-break space, the byte-order mark, the line and paragraph separators
// and the other space separators.
size_t WhiteSpaceAt(const unsigned char* p) {
    switch (p[0]) {
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x20:
            return 1;
        case 0xC2:
            return p[1] == 0xA0 ? 2 : 0;
        case 0xE1:
            if ((p[1] == 0x9A && p[2] == 0x80) || (p[1] == 0xA0 && p[2] == 0x8E)) return 3;
            return 0;
        case 0xE2:
            if (p[1] == 0x80 &&
                ((p[2] >= 0x80 && p[2] <= 0x8A) || p[2] == 0xA8 || p[2] == 0xA9 || p[2] == 0xAF)) {
                return 3;
            }
            return p[1] == 0x81 && p[2] == 0x9F ? 3 : 0;
        case 0xE3:
            return p[1] == 0x80 && p[2] == 0x80 ? 3 : 0;
        case 0xEF:
            return p[1] == 0xBB && p[2] == 0xBF ? 3 : 0;
        default:
            return 0;
    }
}

const unsigned char* SkipWhiteSpace(const unsigned char* p) {
    while (size_t n = WhiteSpaceAt(p)) p += n;
    return p;
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(unsigned char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Parses a literal at p; on success sets value and returns the end, else null.
const unsigned char* ParseLiteral(const unsigned char* p, double* value) {
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        const unsigned char* digits = p + 2;
        const unsigned char* end = digits;
        while (IsHexDigit(*end)) ++end;
        if (end == digits) return nullptr;
        auto [last, error] =
            std::from_chars(reinterpret_cast<const char*>(digits), reinterpret_cast<const char*>(end), *value,
                            std::chars_format::hex);
        (void)last;
        if (error == std::errc::result_out_of_range) *value = std::numeric_limits<double>::infinity();
        return end;
    }
    const unsigned char* start = p;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    if (std::strncmp(reinterpret_cast<const char*>(p), "Infinity", 8) == 0) {
        *value =
            negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return p + 8;
    }
    const unsigned char* q = p;
    while (IsDigit(*q)) ++q;
    bool any = q != p;
    if (*q == '.') {
        const unsigned char* fraction = ++q;
        while (IsDigit(*q)) ++q;
        any = any || q != fraction;
    }
    if (!any) return nullptr;
    if (*q == 'e' || *q == 'E') {
        const unsigned char* e = q + 1;
        if (*e == '+' || *e == '-') ++e;
        if (!IsDigit(*e)) return nullptr;
        while (IsDigit(*e)) ++e;
        q = e;
    }
    // The span is a plain decimal literal, which the C-runtime reader takes exactly.
    *value = CRT_atof(reinterpret_cast<const char*>(start));
    return q;
}

}  // namespace

double ScriptNumber_FromText(const char* text) {
    if (text == nullptr) return 0.0;
    const unsigned char* p = SkipWhiteSpace(reinterpret_cast<const unsigned char*>(text));
    if (*p == '\0') return 0.0;
    double value = 0.0;
    const unsigned char* end = ParseLiteral(p, &value);
    if (end == nullptr || *SkipWhiteSpace(end) != '\0') return std::numeric_limits<double>::quiet_NaN();
    return value;
}

int32_t ScriptObjects_DefaultToNumber(RValue* out, const RValue* in) {
    double number;
    switch (RValue_Kind(in)) {
        case VALUE_REAL:
            number = in->val;
            break;
        case VALUE_BOOL:
            number = in->val != 0.0 ? 1.0 : 0.0;
            break;
        case VALUE_INT32:
            number = in->v32;
            break;
        case VALUE_INT64:
            number = static_cast<double>(in->v64);
            break;
        case VALUE_UNDEFINED:
            number = std::numeric_limits<double>::quiet_NaN();
            break;
        case VALUE_NULL:
            number = 0.0;
            break;
        case VALUE_STRING:
            number = ScriptNumber_FromText(RValue_GetStringText(in));
            break;
        default:
            return 1;
    }
    *out = RValue_Real(number);
    return 0;
}

const ScriptObjectHooks& ScriptObjects() {
    return g_hooks;
}

void ScriptObjects_Install(const ScriptObjectHooks* hooks) {
    g_hooks = kDefaults;
    if (hooks == nullptr) return;
    if (hooks->toNumber) g_hooks.toNumber = hooks->toNumber;
    if (hooks->getProperty) g_hooks.getProperty = hooks->getProperty;
    if (hooks->isCallable) g_hooks.isCallable = hooks->isCallable;
    if (hooks->callValue) g_hooks.callValue = hooks->callValue;
    if (hooks->visitStamp) g_hooks.visitStamp = hooks->visitStamp;
    if (hooks->scopeChainHead) g_hooks.scopeChainHead = hooks->scopeChainHead;
    if (hooks->callGetter) g_hooks.callGetter = hooks->callGetter;
    if (hooks->callSetter) g_hooks.callSetter = hooks->callSetter;
    if (hooks->createNativeAccessor) g_hooks.createNativeAccessor = hooks->createNativeAccessor;
    if (hooks->isBuiltinGlobalName) g_hooks.isBuiltinGlobalName = hooks->isBuiltinGlobalName;
    if (hooks->operate) g_hooks.operate = hooks->operate;
    if (hooks->getMember) g_hooks.getMember = hooks->getMember;
    if (hooks->putMember) g_hooks.putMember = hooks->putMember;
    if (hooks->deleteMember) g_hooks.deleteMember = hooks->deleteMember;
    if (hooks->toObject) g_hooks.toObject = hooks->toObject;
    if (hooks->newArguments) g_hooks.newArguments = hooks->newArguments;
}
