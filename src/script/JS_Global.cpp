// The global number parsers, the one function that stands in for every standard function
// the runtime does not provide, and RegExp, which is made only of such functions.
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "script/JS_Convert.h"
#include "script/JS_Exception.h"
#include "script/JS_NativeSupport.h"
#include "script/JS_Number.h"
#include "script/JS_StandardObjects.h"

namespace {

bool IsParseSpace(char c) {
    return c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

// The text of argument 0; a failed conversion throws TypeError with the message.
bool TextArgument(RValue* args, RValue* text, const char* message) {
    const int32_t status = JS_ToString(text, &args[0]);
    if (status == JS_FAILED) JS_ThrowTypeError(message);
    return status == JS_DONE;
}

double ParseInt(const char* p, int32_t radix) {
    while (IsParseSpace(*p)) ++p;
    const int32_t sign = *p == '-' ? -1 : 1;
    if (*p == '-' || *p == '+') ++p;
    const bool hexPrefix = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    if (radix != 0) {
        if (radix < 2 || radix > 36) return JS_NaN();
        if (radix == 16 && hexPrefix) p += 2;
    } else if (hexPrefix) {
        radix = 16;
        p += 2;
    } else {
        radix = 10;
    }
    if (JS_DigitValue(static_cast<unsigned char>(*p), radix) < 0) return JS_NaN();
    // A signed 32-bit accumulator that wraps.
    uint32_t value = 0;
    for (int32_t digit; (digit = JS_DigitValue(static_cast<unsigned char>(*p), radix)) >= 0; ++p)
        value = value * static_cast<uint32_t>(radix) + static_cast<uint32_t>(digit);
    return static_cast<double>(sign) * static_cast<int32_t>(value);
}

}  // namespace

void JS_Global_parseInt(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc < 1 || args == nullptr) {
        RValue_SetReal(&result, JS_NaN());
        return;
    }
    RValue text = RValue_Undefined();
    if (!TextArgument(args, &text, "parseInt expects a string as the first argument")) {
        RValue_Release(&text);
        return;
    }
    int32_t radix = 0;
    if (argc >= 2 && RValue_Kind(&args[1]) != VALUE_UNDEFINED && !RValue_IsUnset(&args[1])) {
        RValue converted = RValue_Undefined();
        if (JS_ToInt32(&converted, &args[1]) != JS_DONE) {
            RValue_Release(&text);
            return;
        }
        radix = static_cast<int32_t>(converted.val);
    }
    const char* bytes = RValue_GetStringText(&text);
    const double value = ParseInt(bytes != nullptr ? bytes : "", radix);
    RValue_Release(&text);
    RValue_SetReal(&result, value);
}

void JS_Global_parseFloat(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc < 1 || args == nullptr) {
        RValue_SetReal(&result, JS_NaN());
        return;
    }
    RValue text = RValue_Undefined();
    if (!TextArgument(args, &text, "parseFloat expects a string as the first argument")) {
        RValue_Release(&text);
        return;
    }
    const char* p = RValue_GetStringText(&text);
    if (p == nullptr) p = "";
    while (IsParseSpace(*p)) ++p;
    int32_t used = 0;
    double value = JS_DecimalTextToDouble(p, static_cast<int32_t>(std::strlen(p)), &used);
    if (used == 0 || std::isinf(value)) value = JS_NaN();
    RValue_Release(&text);
    RValue_SetReal(&result, value);
}

void JS_Unimplemented(RValue&, CInstance*, CInstance*, int32_t, RValue*) {
    JS_ThrowReferenceError("unimplemented function");
}

void JS_SetupRegExpConstructor() {
    constexpr uint32_t kMethod = JS_WRITABLE | JS_CONFIGURABLE;
    PWObjectBase* prototype = JS_NewClassObject("RegExp");
    for (const char* name : {"toString", "exec", "test"})
        JS_AddNativeMethod(prototype, name, JS_Unimplemented, 0, kMethod);
    PWObjectBase* constructor = JS_CreateNativeFunction(JS_Unimplemented, 0, false);
    constructor->AddPointer(JS_CONSTRUCT, reinterpret_cast<void*>(JS_Unimplemented), 0);
    JS_LinkConstructor(constructor, prototype, kMethod);
    JS_AddGlobal("RegExp", constructor);
    g_JSStandard.regExpPrototype = prototype;
}
