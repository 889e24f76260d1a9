// String objects and String.prototype. Script strings are UTF-8, but lengths, positions and
// character codes count UTF-16 code units: the methods that need positions work on a UTF-16
// copy of the text and convert their answer back.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utf8proc.h>

#include "script/JS_Array.h"
#include "script/JS_Call.h"
#include "script/JS_Convert.h"
#include "script/JS_Exception.h"
#include "script/JS_NativeSupport.h"
#include "script/JS_Number.h"
#include "script/JS_Property.h"
#include "script/JS_StandardObjects.h"
#include "script/JS_UTF16.h"

namespace {

const char* const kNoMessage = "NoMessage";

// result = the text of the value; a failed conversion throws TypeError "NoMessage". False when
// an exception is propagating.
bool TextOf(RValue* result, const RValue* value) {
    const int32_t status = JS_ToString(result, value);
    if (status == JS_FAILED) JS_ThrowTypeError(kNoMessage);
    return status == JS_DONE;
}

// The text of this taken as an object (a String object's own text).
bool ThisText(RValue* result, CInstance* self) {
    const RValue thisValue = JS_ObjectValue(JS_ThisObject(self));
    return TextOf(result, &thisValue);
}

// The argument, or undefined when it was not given.
const RValue* ArgumentOrUndefined(int32_t argc, RValue* args, int32_t n) {
    static const RValue undefined = RValue_Undefined();
    return n < argc && args != nullptr ? &args[n] : &undefined;
}

bool IsUndefinedArgument(int32_t argc, RValue* args, int32_t n) {
    const RValue* value = ArgumentOrUndefined(argc, args, n);
    return RValue_Kind(value) == VALUE_UNDEFINED || RValue_IsUnset(value);
}

// A position argument as an integer (NaN gives 0), clamped to [low, high].
int32_t Position(const RValue* value, int32_t low, int32_t high) {
    const double n = JS_ToInteger(value);
    if (n <= low) return low;
    if (n >= high) return high;
    return static_cast<int32_t>(n);
}

// ES5 ToUint16.
uint16_t ToUint16(const RValue* value) {
    RValue number = RValue_Real(JS_NaN());
    JS_ToNumber(&number, value);
    const double n = RValue_IsReal(number) ? number.val : JS_NaN();
    RValue_Release(&number);
    if (!std::isfinite(n) || n == 0.0) return 0;
    const double wrapped = std::fmod(std::trunc(n), 65536.0);
    return static_cast<uint16_t>(static_cast<int32_t>(wrapped < 0 ? wrapped + 65536.0 : wrapped));
}

void SetUnit(RValue* result, uint16_t unit) {
    JS_Utf16ToUtf8(result, &unit, 1);
}

bool IsTrimSpace(uint32_t c) {
    return c == 9 || c == 10 || c == 12 || c == 13 || c == 32 || c == 0xA0 || c == 0x2028 || c == 0x2029;
}

// The String object's UTF-16 copy, or null.
const C_UTF16String* Utf16Of(PWObjectBase* object) {
    const RValue* copy = JS_FindOwnValue(object, JS_PRIMITIVE_VALUE_UTF16);
    return copy != nullptr && RValue_IsPtr(copy) ? static_cast<const C_UTF16String*>(copy->ptr) : nullptr;
}

// The "[[GetOwnProperty]]" of String objects: stored properties first, then the character
// at an index name.
void StringGetOwnProperty(PWObjectBase* object, RValue* result, const char* name) {
    JS_DefaultGetOwnProperty(object, result, name);
    if (!JS_IsAbsent(result)) return;
    RValue key = RValue_Undefined();
    RValue_SetString(&key, name);
    const double k = JS_ToInteger(&key);
    RValue_Release(&key);
    char digits[JS_NUMBER_TEXT_SIZE];
    RValue_Release(result);
    result->kind = VALUE_UNSET;
    if (std::strcmp(JS_NumberToText(std::fabs(k), digits), name) != 0) return;
    const C_UTF16String* units = Utf16Of(object);
    const int32_t length = units != nullptr ? units->count : 0;
    if (k < length) {
        SetUnit(result, units->units[static_cast<int32_t>(k)]);
        result->flags = JS_ENUMERABLE;
    } else {
        result->kind = VALUE_UNDEFINED;
    }
}

// --- The constructor --------------------------------------------------------------------

void F_String_Call(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc < 1 || args == nullptr || RValue_IsUnset(&args[0])) {
        RValue_SetString(&result, "");
        return;
    }
    TextOf(&result, &args[0]);
}

// new String (V), and the wrapper that converts a string to an object.
void F_String_Construct(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    RValue text = RValue_Undefined();
    RValue_SetString(&text, "");
    if (argc >= 1 && args != nullptr) {
        const int32_t status = JS_ToString(&text, &args[0]);
        if (status != JS_DONE) {
            if (status == JS_FAILED)
                JS_ThrowTypeError("Could not convert argument to a string in new String");
            RValue_Release(&text);
            return;
        }
    }
    PWObjectBase* object = JS_NewClassObject("String");
    JS_SetPrototypeLink(object, g_JSStandard.stringPrototype);
    object->AddPointer(JS_GET_OWN_PROPERTY, reinterpret_cast<void*>(StringGetOwnProperty), 0);
    object->AddValue(JS_PRIMITIVE_VALUE, &text, 0);
    const C_UTF16String* units = JS_AttachUTF16(object, RValue_GetStringText(&text));
    const int32_t length = units != nullptr ? units->count : 0;
    char name[16];
    for (int32_t i = 0; i < length; ++i) {
        std::snprintf(name, sizeof name, "%d", i);
        RValue placeholder = RValue_Undefined();
        object->AddValue(name, &placeholder, JS_ATTRIBUTES);
    }
    object->AddReal("length", length, 0);
    RValue_Release(&text);
    RValue_Release(&result);
    result = JS_ObjectValue(object);
}

void F_String_fromCharCode(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const int32_t count = args != nullptr ? std::max(argc, 0) : 0;
    auto* units = static_cast<uint16_t*>(MEM_ALLOC(static_cast<uint32_t>(count) * 2 + 2));
    for (int32_t i = 0; i < count; ++i) units[i] = ToUint16(&args[i]);
    JS_Utf16ToUtf8(&result, units, count);
    MEM_FREE(units);
}

// --- String.prototype -------------------------------------------------------------------

void F_String_toString(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    PWObjectBase* object = JS_ThisObject(self);
    const RValue* text = JS_HasClass(object, "String") ? JS_OwnPrimitive(object) : nullptr;
    if (text == nullptr) {
        JS_ThrowTypeError(kNoMessage);
        return;
    }
    RValue_Assign(&result, text);
}

void F_String_charAt(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    RValue text = RValue_Undefined();
    if (!ThisText(&text, self)) return;
    const C_UTF16String units(RValue_GetStringText(&text));
    const double pos = JS_ToInteger(ArgumentOrUndefined(argc, args, 0));
    SetUnit(&result, pos >= 0 && pos < units.count ? units.units[static_cast<int32_t>(pos)] : 0);
    RValue_Release(&text);
}

void F_String_charCodeAt(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    RValue text = RValue_Undefined();
    if (!ThisText(&text, self)) return;
    const C_UTF16String units(RValue_GetStringText(&text));
    const double pos = JS_ToInteger(ArgumentOrUndefined(argc, args, 0));
    RValue_SetReal(&result, pos >= 0 && pos < units.count ? units.units[static_cast<int32_t>(pos)] : 0);
    RValue_Release(&text);
}

void F_String_concat(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    RValue text = RValue_Undefined();
    if (!ThisText(&text, self)) return;
    JSTextBuffer joined;
    joined.Append(RValue_GetStringText(&text));
    RValue_Release(&text);
    for (int32_t i = 0; i < argc && args != nullptr; ++i) {
        RValue part = RValue_Undefined();
        if (!TextOf(&part, &args[i])) return;
        joined.Append(RValue_GetStringText(&part));
        RValue_Release(&part);
    }
    RValue_SetString(&result, joined.data != nullptr ? joined.data : "");
}

// The text of this and of argument 0 as UTF-16; false when a conversion threw.
bool TextAndSearch(CInstance* self, int32_t argc, RValue* args, RValue* text, RValue* search) {
    if (!ThisText(text, self)) return false;
    if (!TextOf(search, ArgumentOrUndefined(argc, args, 0))) {
        RValue_Release(text);
        return false;
    }
    return true;
}

void F_String_indexOf(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    RValue text = RValue_Undefined(), search = RValue_Undefined();
    if (!TextAndSearch(self, argc, args, &text, &search)) return;
    const C_UTF16String units(RValue_GetStringText(&text));
    const C_UTF16String needle(RValue_GetStringText(&search));
    const int32_t start = argc < 2 ? 0 : Position(&args[1], 0, units.count);
    RValue_SetReal(&result, units.IndexOf(needle, start));
    RValue_Release(&text);
    RValue_Release(&search);
}

void F_String_lastIndexOf(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    RValue text = RValue_Undefined(), search = RValue_Undefined();
    if (!TextAndSearch(self, argc, args, &text, &search)) return;
    const C_UTF16String units(RValue_GetStringText(&text));
    const C_UTF16String needle(RValue_GetStringText(&search));
    double start = argc < 2 ? units.count : JS_ToInteger(&args[1]);
    start = std::min(start, static_cast<double>(units.count - needle.count));
    int32_t found = -1;
    for (int32_t at = start < 0 ? -1 : static_cast<int32_t>(start); at >= 0 && found < 0; --at) {
        if (needle.count == 0 ||
            std::memcmp(units.units + at, needle.units, static_cast<size_t>(needle.count) * 2) == 0)
            found = at;
    }
    RValue_SetReal(&result, found);
    RValue_Release(&text);
    RValue_Release(&search);
}

void F_String_localeCompare(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    RValue text = RValue_Undefined(), that = RValue_Undefined();
    if (!TextAndSearch(self, argc, args, &text, &that)) return;
    const int compared = std::strcmp(RValue_GetStringText(&text), RValue_GetStringText(&that));
    RValue_SetReal(&result, compared < 0 ? -1 : compared > 0 ? 1 : 0);
    RValue_Release(&text);
    RValue_Release(&that);
}

void F_String_slice(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    RValue text = RValue_Undefined();
    if (!ThisText(&text, self)) return;
    const C_UTF16String units(RValue_GetStringText(&text));
    const int32_t length = units.count;
    auto place = [length](const RValue* value) {
        const double n = JS_ToInteger(value);
        return n < 0 ? static_cast<int32_t>(std::max(length + n, 0.0))
                     : static_cast<int32_t>(std::min(n, static_cast<double>(length)));
    };
    const int32_t start = place(ArgumentOrUndefined(argc, args, 0));
    const int32_t end = IsUndefinedArgument(argc, args, 1) ? length : place(&args[1]);
    units.ToUtf8Range(&result, start, end > start ? end - start : 0);
    RValue_Release(&text);
}

void F_String_substring(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    RValue text = RValue_Undefined();
    if (!ThisText(&text, self)) return;
    const C_UTF16String units(RValue_GetStringText(&text));
    int32_t start = Position(ArgumentOrUndefined(argc, args, 0), 0, units.count);
    int32_t end = IsUndefinedArgument(argc, args, 1) ? units.count : Position(&args[1], 0, units.count);
    if (start > end) std::swap(start, end);
    units.ToUtf8Range(&result, start, end - start);
    RValue_Release(&text);
}

// Appends the replacement with its "$" patterns expanded.
void ExpandReplacement(JSTextBuffer* out, const char* pattern, const char* text, int32_t matchStart,
                       int32_t matchEnd) {
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (*p != '$' || p[1] == '\0') {
            std::memcpy(out->Reserve(1), p, 1);
            out->used += 1;
            out->data[out->used] = '\0';
            continue;
        }
        const char next = *++p;
        const char* from = nullptr;
        int32_t n = 0;
        switch (next) {
            case '$':
                from = "$", n = 1;
                break;
            case '&':
                from = text + matchStart, n = matchEnd - matchStart;
                break;
            case '`':
                from = text, n = matchStart;
                break;
            case '\'':
                from = text + matchEnd, n = static_cast<int32_t>(std::strlen(text + matchEnd));
                break;
            default:
                from = p - 1, n = 2;
                break;
        }
        std::memcpy(out->Reserve(n), from, static_cast<size_t>(n));
        out->used += n;
        out->data[out->used] = '\0';
    }
}

void F_String_replace(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    RValue text = RValue_Undefined(), search = RValue_Undefined();
    if (!TextAndSearch(self, argc, args, &text, &search)) return;
    const char* whole = RValue_GetStringText(&text);
    const char* needle = RValue_GetStringText(&search);
    if (whole == nullptr) whole = "";
    if (needle == nullptr) needle = "";
    const char* found = std::strstr(whole, needle);
    if (found == nullptr) {
        RValue_Assign(&result, &text);
        RValue_Release(&text);
        RValue_Release(&search);
        return;
    }
    const auto matchStart = static_cast<int32_t>(found - whole);
    const auto matchEnd = matchStart + static_cast<int32_t>(std::strlen(needle));
    JSTextBuffer out;
    std::memcpy(out.Reserve(matchStart), whole, static_cast<size_t>(matchStart));
    out.used = matchStart;
    out.data[out.used] = '\0';
    const RValue* replaceValue = ArgumentOrUndefined(argc, args, 1);
    bool ok = true;
    if (JS_IsCallable(replaceValue)) {
        RValue callArgs[3] = {RValue_Undefined(), RValue_Real(matchStart), RValue_Undefined()};
        RValue_Assign(&callArgs[0], &search);
        RValue_Assign(&callArgs[2], &text);
        RValue answer = RValue_Undefined();
        ok = JS_Call(JS_ThisObject(self), &answer, replaceValue->obj, 3, callArgs) == JS_DONE;
        RValue replacement = RValue_Undefined();
        ok = ok && TextOf(&replacement, &answer);
        if (ok) out.Append(RValue_GetStringText(&replacement));
        RValue_Release(&replacement);
        RValue_Release(&answer);
        for (RValue& value : callArgs) RValue_Release(&value);
    } else {
        RValue pattern = RValue_Undefined();
        ok = TextOf(&pattern, replaceValue);
        if (ok) {
            const char* patternText = RValue_GetStringText(&pattern);
            ExpandReplacement(&out, patternText != nullptr ? patternText : "", whole, matchStart, matchEnd);
        }
        RValue_Release(&pattern);
    }
    if (ok) {
        out.Append(whole + matchEnd);
        RValue_SetString(&result, out.data);
    }
    RValue_Release(&text);
    RValue_Release(&search);
}

void F_String_split(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    RValue text = RValue_Undefined(), separator = RValue_Undefined();
    if (!ThisText(&text, self)) return;
    uint32_t limit = UINT32_MAX;
    if (argc >= 2 && args != nullptr) {
        RValue converted = RValue_Undefined();
        if (JS_ToUint32(&converted, &args[1]) != JS_DONE) {
            RValue_Release(&text);
            return;
        }
        // Taken as a signed number: a limit of 2^31 or more means no piece at all.
        const auto asSigned = static_cast<int32_t>(static_cast<uint32_t>(converted.val));
        limit = asSigned < 0 ? 0 : static_cast<uint32_t>(asSigned);
    }
    if (!TextOf(&separator, ArgumentOrUndefined(argc, args, 0))) {
        RValue_Release(&text);
        return;
    }
    JS_CreateArray(result, 0);
    PWObjectBase* array = result.obj;
    uint32_t pieces = 0;
    auto append = [&](const char* bytes, int32_t n) {
        RValue piece = RValue_Undefined();
        RValue_SetStringBytes(&piece, bytes, n);
        RValue key = RValue_Real(pieces++);
        JS_PutElement(array, &key, &piece);
        RValue_Release(&piece);
    };
    const char* s = RValue_GetStringText(&text);
    const char* sep = RValue_GetStringText(&separator);
    if (s == nullptr) s = "";
    if (sep == nullptr) sep = "";
    const auto size = static_cast<int32_t>(std::strlen(s));
    if (limit == 0) {
        // the empty Array
    } else if (argc == 0) {
        append(s, size);
    } else if (size == 0) {
        if (JSMatchRecord* match = JS_MatchLiteralAt(s, 0, sep))
            MEM_FREE(match);
        else
            append(s, 0);
    } else {
        int32_t p = 0, q = 0;
        while (q != size) {
            JSMatchRecord* match = JS_MatchLiteralAt(s, q, sep);
            const int32_t e = match != nullptr ? match->end : -1;
            if (match != nullptr) MEM_FREE(match);
            if (e < 0 || e == p) {
                ++q;
                continue;
            }
            append(s + p, q - p);
            if (pieces == limit) break;
            p = q = e;
        }
        if (pieces != limit) append(s + p, size - p);
    }
    RValue_Release(&text);
    RValue_Release(&separator);
}

void MapCase(RValue& result, CInstance* self, bool upper) {
    RValue text = RValue_Undefined();
    if (!ThisText(&text, self)) return;
    const char* s = RValue_GetStringText(&text);
    const auto size = static_cast<int32_t>(s != nullptr ? std::strlen(s) : 0);
    char* out = static_cast<char*>(MEM_ALLOC(static_cast<uint32_t>(size) * 4 + 1));
    int32_t used = 0;
    Utf8Cursor cursor(s, size);
    while (!cursor.AtEnd()) {
        uint32_t c = cursor.Next();
        // utf8proc gives the sharp s the capital sharp s, which the simple mappings do not.
        if (c <= 0x10FFFF && !(upper && c == 0xDF)) {
            const auto point = static_cast<utf8proc_int32_t>(c);
            c = static_cast<uint32_t>(upper ? utf8proc_toupper(point) : utf8proc_tolower(point));
        }
        used += JS_EncodeUtf8(c, out + used);
    }
    RValue_SetStringBytes(&result, out, used);
    MEM_FREE(out);
    RValue_Release(&text);
}

void F_String_toLowerCase(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    MapCase(result, self, false);
}

void F_String_toUpperCase(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    MapCase(result, self, true);
}

void F_String_trim(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    RValue text = RValue_Undefined();
    if (!ThisText(&text, self)) return;
    const char* s = RValue_GetStringText(&text);
    if (s == nullptr) s = "";
    Utf8Cursor cursor(s);
    const char* begin = nullptr;
    const char* end = s;
    while (!cursor.AtEnd()) {
        const char* at = cursor.Position();
        if (IsTrimSpace(cursor.Next())) continue;
        if (begin == nullptr) begin = at;
        end = cursor.Position();
    }
    if (begin == nullptr) begin = end;
    RValue_SetStringBytes(&result, begin, static_cast<int32_t>(end - begin));
    RValue_Release(&text);
}

}  // namespace

void JS_SetupStringConstructor() {
    PWObjectBase* prototype = JS_NewClassObject("[[String]]");
    prototype->AddReal("length", 0, 0);
    g_JSStandard.stringPrototype = prototype;
    constexpr uint32_t kMethod = JS_WRITABLE | JS_CONFIGURABLE;
    const struct {
        const char* name;
        BuiltinProc method;
        int32_t length;
    } methods[] = {
        {"toString", F_String_toString, 0},
        {"valueOf", F_String_toString, 0},
        {"charAt", F_String_charAt, 1},
        {"charCodeAt", F_String_charCodeAt, 1},
        {"concat", F_String_concat, 1},
        {"indexOf", F_String_indexOf, 1},
        {"lastIndexOf", F_String_lastIndexOf, 1},
        {"localeCompare", F_String_localeCompare, 1},
        {"match", JS_Unimplemented, 1},
        {"replace", F_String_replace, 1},
        {"search", JS_Unimplemented, 1},
        {"slice", F_String_slice, 2},
        {"split", F_String_split, 2},
        {"substring", F_String_substring, 2},
        {"toLowerCase", F_String_toLowerCase, 0},
        {"toLocaleLowerCase", JS_Unimplemented, 0},
        {"toUpperCase", F_String_toUpperCase, 0},
        {"toLocaleUpperCase", JS_Unimplemented, 0},
        {"trim", F_String_trim, 0},
    };
    for (const auto& m : methods) JS_AddNativeMethod(prototype, m.name, m.method, m.length, kMethod);

    PWObjectBase* constructor = JS_CreateNativeFunction(F_String_Call, 1, false);
    constructor->AddPointer(JS_CONSTRUCT, reinterpret_cast<void*>(F_String_Construct), 0);
    JS_AddNativeMethod(constructor, "fromCharCode", F_String_fromCharCode, 1, 0);
    JS_LinkConstructor(constructor, prototype, 0);
    JS_AddGlobal("String", constructor);
    g_JSStandard.stringConstructor = F_String_Construct;
}
