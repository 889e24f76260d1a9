// JSON text of maps and lists and back, over json-c. The mapping between runner values and
// JSON values is the runner's own: a real marked as holding a map or list index nests that
// container; a JSON object becomes a new ds_map and an array a new ds_list.
#pragma once

#include <cstdint>

#include "core/Value.h"

struct json_object;

// What the conversions ask of the containers. The runner installs the ds_* tables; tests may
// install their own.
class JsonContainers {
public:
    virtual ~JsonContainers() = default;
    virtual bool IsMap(int32_t index) = 0;
    virtual bool IsList(int32_t index) = 0;
    // Calls visit for every entry of the map in the map's own order.
    virtual void ForEachMapEntry(int32_t map,
                                 void (*visit)(const RValue* key, const RValue* value, void* context),
                                 void* context) = 0;
    virtual int32_t ListSize(int32_t list) = 0;
    virtual const RValue* ListItem(int32_t list, int32_t position) = 0;
    virtual int32_t NewMap() = 0;
    virtual int32_t NewList() = 0;
    virtual bool MapHas(int32_t map, const char* key) = 0;
    // Adds a copy under the key unless the map already holds it.
    virtual void MapAdd(int32_t map, const char* key, const RValue* value) = 0;
    virtual void ListAdd(int32_t list, const RValue* value) = 0;
};

// Null restores the ds_* tables.
void JSON_SetContainers(JsonContainers* containers);
// The containers in use.
JsonContainers* JSON_GetContainers();

// Containers nested deeper than this, and a container or array met again inside itself, are
// written as null; texts nested deeper do not parse.
constexpr int32_t kJsonMaxDepth = 512;

// A new json-c value for the runner value; the caller releases it with json_object_put. Reals
// are written with six decimals ("%lf"), integers in full; a value with no JSON form is null.
json_object* JSON_FromValue(const RValue* value);
// The runner value of a json-c value; out is overwritten without being released. Integers
// become reals, except those a double cannot hold exactly (beyond 2^53), which stay 64-bit
// integers; null becomes the real 0.
void JSON_ToValue(json_object* json, RValue* out);

// The JSON text of the map as a new memory-manager text (the caller frees it); null when the
// index names no map.
char* JSON_EncodeMapText(int32_t map);
// Replaces *text (freed) by a new copy of the map's JSON text; an index that names no map
// leaves it as it was.
void JSON_EncodeMap(int32_t map, char** text);
// Parses the text as it is. A parse error, or a text that is not an object, gives -1. With a
// negative index the result is a new map's index; otherwise the members are added to that
// map (existing keys keep their entries) and the result is -1.
int32_t JSON_DecodeToMap(const char* text, int32_t map);
// json_decode: the index of a new map for the value, or -1.
int32_t JSON_Decode(const RValue* value);
