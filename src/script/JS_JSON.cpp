// JSON.parse and JSON.stringify over json-c. Both are shallow in fixed ways: parse keeps
// numbers, strings and nested objects (booleans become 1 and 0, arrays 0, null is left out);
// stringify writes the top object's own enumerable properties through the runner's own
// value-to-JSON conversion, so a property holding another script object is written as null.
#include <cstdio>
#include <cstring>
#include <json-c/json.h>

#include "io/Support_Json.h"
#include "script/JS_Convert.h"
#include "script/JS_Exception.h"
#include "script/JS_NativeSupport.h"
#include "script/JS_Number.h"
#include "script/JS_Property.h"
#include "script/JS_PropertyIterator.h"
#include "script/JS_StandardObjects.h"
#include "script/JS_UTF16.h"

namespace {

// Objects and arrays nest at most this deep in a parsed text.
constexpr int kParseDepth = 32;

void ToScriptValue(json_object* json, RValue* out);

// A new ordinary object holding the members of the JSON object, in the text's order.
PWObjectBase* ToScriptObject(json_object* json) {
    RValue made = RValue_Undefined();
    JS_NewObject(made, nullptr, nullptr, 0, nullptr);
    PWObjectBase* object = made.obj;
    json_object_object_foreach(json, key, member) {
        if (member == nullptr || json_object_get_type(member) == json_type_null) continue;
        // A member named like an internal property would replace the object's own internals
        // (its prototype, class or hooks): the text cannot reach those.
        if (std::strlen(key) > 2 && std::strncmp(key, "[[", 2) == 0) continue;
        RValue value = RValue_Undefined();
        ToScriptValue(member, &value);
        object->AddValue(key, &value, JS_ATTRIBUTES);
        RValue_Release(&value);
    }
    return object;
}

void ToScriptValue(json_object* json, RValue* out) {
    switch (json_object_get_type(json)) {
        case json_type_null:
            out->kind = VALUE_NULL;
            return;
        case json_type_boolean:
            *out = RValue_Real(json_object_get_boolean(json) ? 1.0 : 0.0);
            return;
        case json_type_double:
        case json_type_int:
            *out = RValue_Real(json_object_get_double(json));
            return;
        case json_type_string:
            RValue_SetStringBytes(out, json_object_get_string(json), json_object_get_string_len(json));
            return;
        case json_type_object:
            *out = JS_ObjectValue(ToScriptObject(json));
            return;
        case json_type_array:
            *out = RValue_Real(0.0);
            return;
    }
}

bool IsJsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void F_JSON_parse(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    RValue text = RValue_Undefined();
    const RValue undefined = RValue_Undefined();
    const int32_t status = JS_ToString(&text, argc >= 1 && args != nullptr ? &args[0] : &undefined);
    if (status != JS_DONE) {
        if (status == JS_FAILED)
            JS_ThrowTypeError("Could not convert JSON.parse argument to string before parsing");
        RValue_Release(&text);
        return;
    }
    const char* bytes = RValue_GetStringText(&text);
    if (bytes == nullptr) bytes = "";
    const auto length = static_cast<int32_t>(std::strlen(bytes));
    json_tokener* tokener = json_tokener_new_ex(kParseDepth);
    // The terminator goes in too: it ends a top-level number or literal, which json-c would
    // otherwise wait to see continued.
    json_object* parsed = json_tokener_parse_ex(tokener, bytes, length + 1);
    const json_tokener_error error = json_tokener_get_error(tokener);
    int32_t stopped = static_cast<int32_t>(json_tokener_get_parse_end(tokener));
    // White space after the value is not text after it.
    if (error == json_tokener_success)
        while (stopped < length && IsJsonSpace(bytes[stopped])) ++stopped;
    if (stopped < length) {
        char message[128];
        std::snprintf(message, sizeof message,
                      "JSON.parse - unexpected non-whitespace character at pos %d of input", stopped);
        JS_ThrowSyntaxError(message);
    } else if (error != json_tokener_success) {
        JS_ThrowSyntaxError("JSON.parse - error parsing input data");
    } else {
        RValue_Release(&result);
        if (parsed == nullptr)
            result.kind = VALUE_NULL;  // the text null
        else
            ToScriptValue(parsed, &result);
    }
    json_object_put(parsed);
    json_tokener_free(tokener);
    RValue_Release(&text);
}

// Length of the well-formed UTF-8 sequence at p (not a surrogate), or 0.
int32_t WellFormedLength(const unsigned char* p) {
    auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
    if (p[0] < 0x80) return 1;
    if (p[0] >= 0xC2 && p[0] <= 0xDF) return continuation(p[1]) ? 2 : 0;
    if (p[0] >= 0xE0 && p[0] <= 0xEF) {
        if (!continuation(p[1]) || !continuation(p[2])) return 0;
        if (p[0] == 0xE0 && p[1] < 0xA0) return 0;   // overlong
        if (p[0] == 0xED && p[1] >= 0xA0) return 0;  // a surrogate
        return 3;
    }
    if (p[0] >= 0xF0 && p[0] <= 0xF4) {
        if (!continuation(p[1]) || !continuation(p[2]) || !continuation(p[3])) return 0;
        if ((p[0] == 0xF0 && p[1] < 0x90) || (p[0] == 0xF4 && p[1] >= 0x90)) return 0;
        return 4;
    }
    return 0;
}

// json-c copies the bytes of strings as they are, but JSON text is UTF-8: a lone surrogate
// (which fromCharCode can make) is written as its \u escape, and any other byte that is not
// part of a well-formed sequence as U+FFFD. Valid text passes unchanged.
void SetJsonText(RValue& result, json_object* json) {
    const auto* text =
        reinterpret_cast<const unsigned char*>(json_object_to_json_string_ext(json, JSON_C_TO_STRING_SPACED));
    JSTextBuffer out;
    out.Append("");
    for (const unsigned char* p = text; *p != 0;) {
        const int32_t n = WellFormedLength(p);
        char escaped[8];
        const char* piece = escaped;
        int32_t length = n;
        if (n > 0) {
            piece = reinterpret_cast<const char*>(p);
        } else if (p[0] == 0xED && (p[1] & 0xE0) == 0xA0 && (p[2] & 0xC0) == 0x80) {
            const uint32_t unit = 0xD000u | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
            length = std::snprintf(escaped, sizeof escaped, "\\u%04x", unit);
            p += 2;
        } else {
            length = std::snprintf(escaped, sizeof escaped, "\\ufffd");
        }
        std::memcpy(out.Reserve(length), piece, static_cast<size_t>(length));
        out.used += length;
        out.data[out.used] = '\0';
        p += n > 0 ? n : 1;
    }
    RValue_SetString(&result, out.data);
}

void F_JSON_stringify(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const uint32_t kind = argc >= 1 && args != nullptr ? RValue_Kind(&args[0]) : VALUE_UNDEFINED;
    if (kind == VALUE_UNDEFINED || kind == VALUE_UNSET) return;  // nothing to write: undefined
    if (kind != VALUE_OBJECT || args[0].obj == nullptr) {
        // A value that is no object is written as that one value.
        json_object* json = JSON_FromValue(&args[0]);
        if (json == nullptr) {
            RValue_SetString(&result, "null");
        } else {
            SetJsonText(result, json);
            json_object_put(json);
        }
        return;
    }
    PWObjectBase* object = args[0].obj;
    json_object* json = json_object_new_object();
    JS_PropertyIterator walk(object, 1);
    RValue name = RValue_Undefined();
    while (walk.Next(&name)) {
        const char* key = RValue_GetStringText(&name);
        // As stored: an accessor stays an accessor (no getter runs) and is written as null.
        RValue value = RValue_Undefined();
        JS_ReadOwnStored(object, &value, key);
        json_object_object_add(json, key != nullptr ? key : "", JSON_FromValue(&value));
        RValue_Release(&name);
    }
    SetJsonText(result, json);
    json_object_put(json);
}

}  // namespace

void JS_SetupJSONObject() {
    PWObjectBase* json = JS_NewClassObject("Object");
    JS_AddNativeMethod(json, "parse", F_JSON_parse, 0, JS_WRITABLE | JS_CONFIGURABLE);
    JS_AddNativeMethod(json, "stringify", F_JSON_stringify, 0, JS_WRITABLE | JS_CONFIGURABLE);
    JS_AddGlobal("JSON", json);
}
