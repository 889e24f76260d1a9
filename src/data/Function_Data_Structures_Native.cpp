// Maps and queues for the runner's own code: the maps asynchronous results and queries hand
// to the game, and the helpers through which native code and extensions fill maps and lists.
// The helpers run the ds built-ins with argument arrays of their own, so a bad index is
// reported exactly as a script call would report it.
#include <cmath>
#include <initializer_list>

#include "core/Console.h"
#include "data/Function_Data_Structures.h"
#include "data/Function_Data_Structures_Internal.h"

namespace {

// The built-in's result is dropped; the arguments are released afterwards.
void Run(BuiltinProc builtin, std::initializer_list<RValue> arguments, RValue* result = nullptr) {
    RValue args[4];
    int32_t argc = 0;
    for (const RValue& a : arguments) args[argc++] = a;
    RValue dropped = RValue_Undefined();
    RValue* out = result ? result : &dropped;
    builtin(*out, nullptr, nullptr, argc, args);
    RValue_Release(&dropped);
    for (int32_t i = 0; i < argc; ++i) RValue_Release(&args[i]);
}

// The real result of a built-in, rounded to an int32.
int32_t RunForInt(BuiltinProc builtin, std::initializer_list<RValue> arguments) {
    RValue result = RValue_Undefined();
    Run(builtin, arguments, &result);
    const double d = result.kind == VALUE_REAL ? result.val : 0.0;
    RValue_Release(&result);
    return std::isfinite(d) && std::fabs(d) < 2147483647.0 ? static_cast<int32_t>(std::lround(d)) : 0;
}

RValue Real(double d) {
    return RValue_Real(d);
}

RValue Text(const char* text) {
    RValue value = RValue_Undefined();
    RValue_CreateString(&value, text);
    return value;
}

RValue Int64(int32_t low, int32_t high) {
    return RValue_Int64(static_cast<int64_t>(static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32 |
                                             static_cast<uint32_t>(low)));
}

AsyncPostMapEventFn g_postMapEvent = nullptr;

}  // namespace

// --- Result maps ------------------------------------------------------------------------

int32_t DsMap_CreateFromPairsV(int32_t count, va_list triples) {
    auto* map = new CDS_Map(CDS_Map::kDefaultBuckets);
    for (int32_t i = 0; i < count; ++i) {
        const char* key = va_arg(triples, const char*);
        const double real = va_arg(triples, double);
        const char* text = va_arg(triples, const char*);
        map->AddByName(key, real, text);
    }
    const int32_t index = DS_AllocMapSlot();
    g_DsMapTable.Store(index, map);
    return index;
}

int32_t DsMap_CreateFromPairs(int32_t count, ...) {
    va_list triples;
    va_start(triples, count);
    const int32_t index = DsMap_CreateFromPairsV(count, triples);
    va_end(triples);
    return index;
}

void DsMap_Destroy(int32_t index) {
    Run(F_DsMapDestroy, {Real(index)});
}

int32_t DsQueue_Create() {
    return RunForInt(F_DsQueueCreate, {});
}

void DsQueue_EnqueueValues(int32_t queue, int32_t n, ...) {
    if (queue < 0) return;
    va_list items;
    va_start(items, n);
    for (int32_t i = 0; i < n; ++i) {
        const double real = va_arg(items, double);
        void* pointer = va_arg(items, void*);
        RValue value = Real(real);
        if (pointer != nullptr) {
            value.ptr = pointer;
            value.kind = VALUE_PTR;
        }
        Run(F_DsQueueEnqueue, {Real(queue), value});
    }
    va_end(items);
}

void DsQueue_Dequeue(int32_t queue, RValue* out) {
    if (queue >= 0) Run(F_DsQueueDequeue, {Real(queue)}, out);
}

int32_t DsQueue_Size(int32_t queue) {
    return queue < 0 ? 0 : RunForInt(F_DsQueueSize, {Real(queue)});
}

void DsQueue_Clear(int32_t queue) {
    if (queue >= 0) Run(F_DsQueueClear, {Real(queue)});
}

// --- Native helpers ---------------------------------------------------------------------

int32_t DsMap_Create() {
    const int32_t index = DS_AllocMapSlot();
    g_DsMapTable.Store(index, new CDS_Map(CDS_Map::kDefaultBuckets));
    return index;
}

void DsMap_Clear(int32_t map) {
    Run(F_DsMapClear, {Real(map)});
}

void DsMap_AddInt(int32_t map, const char* key, int32_t value) {
    Run(F_DsMapAdd, {Real(map), Text(key), Real(value)});
}

void DsMap_AddReal(int32_t map, const char* key, double value) {
    Run(F_DsMapAdd, {Real(map), Text(key), Real(value)});
}

void DsMap_AddInt64(int32_t map, const char* key, int32_t low, int32_t high) {
    Run(F_DsMapAdd, {Real(map), Text(key), Int64(low, high)});
}

void DsMap_AddString(int32_t map, const char* key, const char* value) {
    Run(F_DsMapAdd, {Real(map), Text(key), Text(value)});
}

void DsMap_AddList(int32_t map, const char* key, int32_t list) {
    Run(F_DsMapAddList, {Real(map), Text(key), Real(list)});
}

int32_t DsList_Create() {
    return RunForInt(F_DsListCreate, {});
}

void DsList_Clear(int32_t list) {
    Run(F_DsListClear, {Real(list)});
}

void DsList_AddInt64(int32_t list, int32_t low, int32_t high) {
    Run(F_DsListAdd, {Real(list), Int64(low, high)});
}

void DsList_AddMap(int32_t list, int32_t map) {
    Run(F_DsListAdd, {Real(list), Real(map)});
    if (const CDS_List* target = g_DsListTable.Get(list))
        Run(F_DsListMarkAsMap, {Real(list), Real(target->Size() - 1)});
}

bool DsMap_AddRealDirect(int32_t map, const char* key, double value) {
    CDS_Map* target = g_DsMapTable.Get(map);
    return target != nullptr && target->AddByName(key, value, nullptr);
}

bool DsMap_AddStringDirect(int32_t map, const char* key, const char* value) {
    CDS_Map* target = g_DsMapTable.Get(map);
    return target != nullptr && target->AddByName(key, 0.0, value ? value : "");
}

// --- Posting ----------------------------------------------------------------------------

void DS_SetAsyncPostMapEvent(AsyncPostMapEventFn post) {
    g_postMapEvent = post;
}

void DS_PostMapEvent(int32_t map, int32_t subtype) {
    if (g_postMapEvent != nullptr) return g_postMapEvent(map, subtype);
    DebugConsole.Output("No asynchronous stage for event %d: its map is dropped\n", subtype);
    DS_DestroyMap(map);
}

DsExtensionCallbacks DS_GetExtensionCallbacks() {
    return DsExtensionCallbacks{DS_PostMapEvent, DsMap_CreateFromPairs, DsMap_AddRealDirect,
                                DsMap_AddStringDirect};
}
