#include "io/Support_Json.h"

#include <json-c/json.h>
#include <json-c/printbuf.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/CRuntimeCompat.h"
#include "core/MemoryManager.h"
#include "core/Value_Convert.h"
#include "io/Function_File_Internal.h"

JsonContainers* DefaultContainers();

namespace {

JsonContainers* g_installed = nullptr;

JsonContainers& Containers() {
    return g_installed != nullptr ? *g_installed : *DefaultContainers();
}

// Marks on a real's kind word that make it the index of a nested container.
constexpr uint32_t kMarkMap = 0x80000000u;
constexpr uint32_t kMarkList = 0x40000000u;

// --- value to JSON -----------------------------------------------------------------------

// Reals as "%lf" would print them, in the "C" locale and never cut short; the spellings
// json-c reads back for the values "%lf" has no JSON form for.
int SerialiseReal(json_object* json, printbuf* out, int, int) {
    const double value = json_object_get_double(json);
    std::string text;
    if (std::isnan(value))
        text = "NaN";
    else if (std::isinf(value))
        text = value > 0 ? "Infinity" : "-Infinity";
    else
        text = File_FormatNumber("%f", value);
    return printbuf_memappend(out, text.data(), static_cast<int>(text.size()));
}

json_object* NewReal(double value) {
    json_object* json = json_object_new_double(value);
    json_object_set_serializer(json, SerialiseReal, nullptr, nullptr);
    return json;
}

// What is being converted on the way down: a container or array met again is a cycle.
struct Path {
    std::vector<const void*> arrays;
    std::vector<int64_t> containers;  // map index, or list index + 2^32

    bool Holds(int64_t container) const {
        for (int64_t c : containers)
            if (c == container) return true;
        return false;
    }
    bool Holds(const void* array) const {
        for (const void* a : arrays)
            if (a == array) return true;
        return false;
    }
    size_t Depth() const { return arrays.size() + containers.size(); }
};

json_object* FromValue(const RValue* value, Path& path);

// The member name of a map key: a string as it is, a number as its integer text.
std::string MemberName(const RValue* key) {
    switch (RValue_Kind(key)) {
        case VALUE_STRING: {
            const char* text = RValue_GetStringText(key);
            return text != nullptr ? text : "";
        }
        case VALUE_REAL:
        case VALUE_BOOL:
            return std::to_string(CRT_TruncToInt64(key->val));
        case VALUE_INT32:
            return std::to_string(key->v32);
        case VALUE_INT64:
            return std::to_string(key->v64);
        case VALUE_PTR: {
            char text[32];
            CRT_FormatPointer(text, sizeof text, key->ptr);
            return text;
        }
        default:
            return "undefined";
    }
}

struct MapVisit {
    json_object* object;
    Path* path;
};

json_object* FromMap(int32_t map, Path& path) {
    json_object* object = json_object_new_object();
    path.containers.push_back(map);
    MapVisit visit{object, &path};
    Containers().ForEachMapEntry(
        map,
        [](const RValue* key, const RValue* value, void* context) {
            auto* v = static_cast<MapVisit*>(context);
            json_object_object_add(v->object, MemberName(key).c_str(), FromValue(value, *v->path));
        },
        &visit);
    path.containers.pop_back();
    return object;
}

json_object* FromList(int32_t list, Path& path) {
    json_object* array = json_object_new_array();
    path.containers.push_back(static_cast<int64_t>(list) + (int64_t(1) << 32));
    const int32_t size = Containers().ListSize(list);
    for (int32_t i = 0; i < size; ++i) {
        const RValue* item = Containers().ListItem(list, i);
        json_object_array_add(array, item != nullptr ? FromValue(item, path) : nullptr);
    }
    path.containers.pop_back();
    return array;
}

json_object* FromArray(const SharedArray* record, Path& path) {
    json_object* array = json_object_new_array();
    if (record == nullptr) return array;
    path.arrays.push_back(record);
    for (int32_t row = 0; row < record->rowCount; ++row)
        for (int32_t i = 0; i < record->rows[row].length; ++i)
            json_object_array_add(array, FromValue(&record->rows[row].items[i], path));
    path.arrays.pop_back();
    return array;
}

json_object* FromValue(const RValue* value, Path& path) {
    const uint32_t kind = RValue_Kind(value);
    if (path.Depth() >= static_cast<size_t>(kJsonMaxDepth)) return nullptr;
    if (kind == VALUE_REAL && (value->kind & (kMarkMap | kMarkList)) != 0) {
        const int32_t index = CRT_TruncToInt32(value->val);
        if ((value->kind & kMarkMap) != 0)
            return Containers().IsMap(index) && !path.Holds(index) ? FromMap(index, path) : nullptr;
        const int64_t listKey = static_cast<int64_t>(index) + (int64_t(1) << 32);
        return Containers().IsList(index) && !path.Holds(listKey) ? FromList(index, path) : nullptr;
    }
    switch (kind) {
        case VALUE_REAL:
            return NewReal(value->val);
        case VALUE_STRING: {
            const char* text = RValue_GetStringText(value);
            return json_object_new_string(text != nullptr ? text : "");
        }
        case VALUE_ARRAY:
            return path.Holds(static_cast<const void*>(value->arr)) ? nullptr : FromArray(value->arr, path);
        case VALUE_PTR: {
            char text[32];
            CRT_FormatPointer(text, sizeof text, value->ptr);
            return json_object_new_string(text);
        }
        case VALUE_UNDEFINED:
            return json_object_new_object();
        case VALUE_INT32:
            return json_object_new_int64(value->v32);
        case VALUE_INT64:
            return json_object_new_int64(value->v64);
        case VALUE_BOOL:
            return json_object_new_boolean(value->val != 0.0);
        default:
            return nullptr;
    }
}

// --- JSON to value -----------------------------------------------------------------------

constexpr double kLargestExactInteger = 9007199254740992.0;  // 2^53

void SetMarked(RValue* out, int32_t index, uint32_t mark) {
    *out = RValue_Real(index);
    out->kind |= mark;
}

void IntegerToValue(json_object* json, RValue* out) {
    const int64_t value = json_object_get_int64(json);
    if (value == INT64_MAX && json_object_get_uint64(json) > static_cast<uint64_t>(INT64_MAX)) {
        *out = RValue_Real(static_cast<double>(json_object_get_uint64(json)));
        return;
    }
    const double asReal = static_cast<double>(value);
    if (std::fabs(asReal) <= kLargestExactInteger)
        *out = RValue_Real(asReal);
    else
        *out = RValue_Int64(value);
}

}  // namespace

void JSON_ToValue(json_object* json, RValue* out) {
    switch (json_object_get_type(json)) {
        case json_type_object: {
            const int32_t map = Containers().NewMap();
            json_object_object_foreach(json, name, member) {
                if (member == nullptr) continue;
                RValue item;
                JSON_ToValue(member, &item);
                Containers().MapAdd(map, name, &item);
                RValue_Free(&item);
            }
            SetMarked(out, map, kMarkMap);
            return;
        }
        case json_type_array: {
            const int32_t list = Containers().NewList();
            const size_t length = json_object_array_length(json);
            for (size_t i = 0; i < length; ++i) {
                RValue item;
                JSON_ToValue(json_object_array_get_idx(json, i), &item);
                Containers().ListAdd(list, &item);
                RValue_Free(&item);
            }
            SetMarked(out, list, kMarkList);
            return;
        }
        case json_type_int:
            IntegerToValue(json, out);
            return;
        case json_type_double:
            *out = RValue_Real(json_object_get_double(json));
            return;
        case json_type_boolean:
            *out = RValue_Real(json_object_get_boolean(json) ? 1.0 : 0.0);
            return;
        case json_type_string:
            *out = RValue_Undefined();
            RValue_CreateString(out, json_object_get_string(json));
            return;
        default:
            *out = RValue_Real(0.0);
            return;
    }
}

json_object* JSON_FromValue(const RValue* value) {
    Path path;
    return FromValue(value, path);
}

void JSON_SetContainers(JsonContainers* containers) {
    g_installed = containers;
}

JsonContainers* JSON_GetContainers() {
    return &Containers();
}

// --- texts -------------------------------------------------------------------------------

namespace {

// The whole text parsed by json-c, nesting up to the runner's depth; null on a parse error.
json_object* Parse(const char* text) {
    json_tokener* tokener = json_tokener_new_ex(kJsonMaxDepth);
    if (tokener == nullptr) return nullptr;
    json_object* json = json_tokener_parse_ex(tokener, text, static_cast<int>(std::strlen(text)));
    if (json_tokener_get_error(tokener) != json_tokener_success) {
        json_object_put(json);
        json = nullptr;
    }
    json_tokener_free(tokener);
    return json;
}

// A new map for the parsed object; -1 for anything else.
int32_t MapFromObject(json_object* json) {
    if (!json_object_is_type(json, json_type_object)) return -1;
    RValue value;
    JSON_ToValue(json, &value);
    return CRT_TruncToInt32(value.val);
}

// A new map whose "default" member holds the value.
int32_t MapWithDefault(const RValue* value) {
    const int32_t map = Containers().NewMap();
    Containers().MapAdd(map, "default", value);
    return map;
}

int32_t MapWithDefaultText(const char* text) {
    RValue value = RValue_Undefined();
    RValue_CreateString(&value, text);
    const int32_t map = MapWithDefault(&value);
    RValue_Free(&value);
    return map;
}

// A text that is not JSON is kept whole as the "default" member. A double quote in it would
// end that member's string in the written form of the wrapping, so such a text is refused:
// no text can add members of its own.
int32_t FallBack(const char* text) {
    if (std::strchr(text, '"') != nullptr) return -1;
    return MapWithDefaultText(text);
}

bool IsJsonBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

}  // namespace

char* JSON_EncodeMapText(int32_t map) {
    if (!Containers().IsMap(map)) return nullptr;
    Path path;
    json_object* object = FromMap(map, path);
    char* text = String_Duplicate(json_object_to_json_string_ext(object, JSON_C_TO_STRING_SPACED));
    json_object_put(object);
    return text;
}

void JSON_EncodeMap(int32_t map, char** text) {
    char* encoded = JSON_EncodeMapText(map);
    if (encoded == nullptr) return;
    MEM_FREE(*text);
    *text = encoded;
}

int32_t JSON_DecodeToMap(const char* text, int32_t map) {
    if (text == nullptr) return -1;
    json_object* json = Parse(text);
    if (json == nullptr || !json_object_is_type(json, json_type_object)) {
        json_object_put(json);
        return -1;
    }
    int32_t result = -1;
    if (map < 0) {
        result = MapFromObject(json);
    } else if (Containers().IsMap(map)) {
        // Keys the map holds are passed over before their values are made, so no nested
        // container is made only to be dropped.
        json_object_object_foreach(json, name, member) {
            if (member == nullptr || Containers().MapHas(map, name)) continue;
            RValue item;
            JSON_ToValue(member, &item);
            Containers().MapAdd(map, name, &item);
            RValue_Free(&item);
        }
    }
    json_object_put(json);
    return result;
}

int32_t JSON_Decode(const RValue* value) {
    if (!RValue_IsString(value)) {
        RValue copy = RValue_Undefined();
        RValue_Assign(&copy, value);
        char number[400];
        CRT_FormatFixed2(number, sizeof number, RValue_ToReal(&copy));
        RValue_Release(&copy);
        return MapWithDefaultText(number);
    }
    const char* text = RValue_GetStringText(value);
    if (text == nullptr) text = "";
    const char* first = text;
    while (IsJsonBlank(*first)) ++first;
    const char* last = text + std::strlen(text);
    while (last > first && IsJsonBlank(last[-1])) --last;
    const char opening = first < last ? *first : '\0';
    const char closing = first < last ? last[-1] : '\0';

    if (opening == '{' && closing == '}') {
        json_object* json = Parse(text);
        const int32_t map = json != nullptr ? MapFromObject(json) : -1;
        json_object_put(json);
        return map >= 0 ? map : FallBack(text);
    }
    if (opening == '[' && closing == ']') {
        // Parsed on its own and placed under "default", so nothing after the array can add
        // members of its own.
        json_object* json = Parse(text);
        int32_t map = -1;
        if (json != nullptr && json_object_is_type(json, json_type_array)) {
            RValue list;
            JSON_ToValue(json, &list);
            map = MapWithDefault(&list);
        }
        json_object_put(json);
        return map;
    }
    return FallBack(text);
}
