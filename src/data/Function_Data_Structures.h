// The container index tables and the ds_* built-ins. Game code holds a kind and an index;
// the tables turn the index into a container. Also here: the builders other subsystems use
// to hand results to the game as maps, and the helpers native code and extensions use to
// fill maps and lists.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "core/ResourceTable.h"
#include "data/Support_Data_Structures.h"

// One table per kind. A null slot is a free index; count is the high-water mark and never
// goes down. Indices are handed out lowest free first.
template <typename T>
struct DsIndexTable : ResourceTable<T> {
    int32_t capacity = 0;
    int32_t firstMaybeFree = 0;  // every index below it holds a container

    // The slot rule: the lowest free index below count, else count (the table grows).
    // The slot is reserved, not written: two calls without a store give the same index.
    int32_t AllocSlot();
    // Stores a container at an index AllocSlot gave.
    void Store(int32_t index, T* container) { this->slots[index] = container; }
};

extern DsIndexTable<CDS_Map> g_DsMapTable;
extern DsIndexTable<CDS_List> g_DsListTable;

// Reports "Data structure with index does not exist." (non-fatal), as every ds_* built-in does
// for an index that names no container.
void DS_ReportMissing();

// Registers the 130 ds_* built-ins in their order (the checked grid accessors), and the
// containers as a root of the collector.
void InitDataStructureFunctions();

int32_t DS_AllocMapSlot();
int32_t DS_AllocListSlot();
int32_t DS_CreateStack();
// A size that cannot be held (a negative side, too many cells) creates nothing: -1.
int32_t DS_CreateGrid(int32_t width, int32_t height);

// A table's slots and count, for walks (the collector, CSV loading, motion-grid export).
CDS_Stack** DS_GetStackTable(int32_t* count);
CDS_Queue** DS_GetQueueTable(int32_t* count);
CDS_Priority** DS_GetPriorityTable(int32_t* count);
CDS_Grid** DS_GetGridTable(int32_t* count);
// The grid at the index; null when there is none.
CDS_Grid* DS_GetGrid(int32_t index);

// Points the "ds_grid_set" and "ds_grid_get" rows at the checked (true) or the release-mode
// (false) accessors, and sets the checked mode the grid maximum and minimum searches read.
// The release-mode pair reports nothing, but still ignores a missing grid or a cell
// outside it.
void DS_SetGridBoundsChecking(bool checked);

// The collector's visit of every live container of the six tables. Maps a worker thread is
// still filling are skipped.
void DS_MarkAll(DSMarkValueFn mark, void* context);

// Destroys the container at the index (nested containers it owns go with it) and frees
// the index; a free slot or an index outside the table does nothing.
void DS_DestroyMap(int32_t index);
void DS_DestroyList(int32_t index);

// --- Result maps for asynchronous events and queries -------------------------------------

// A map of 4096 buckets from count triples (key text, double, text or null): the value is
// a string of the text when it is given, else the real. A repeated key keeps its first value.
// The map is filed in the map table; its index is returned.
int32_t DsMap_CreateFromPairs(int32_t count, ...);
int32_t DsMap_CreateFromPairsV(int32_t count, va_list triples);

// The map at the index, or null (negative, beyond the table, or free). Reports nothing.
CDS_Map* DS_GetMap(int32_t index);
// Runs ds_map_destroy on the index (missing maps are reported as the built-in reports them).
void DsMap_Destroy(int32_t index);

// Queue operations for native code, through the queue built-ins. A negative index does
// nothing (0 for the size) and reports nothing.
int32_t DsQueue_Create();
// n items of (double, pointer): a pointer value when the pointer is not null, else the real.
void DsQueue_EnqueueValues(int32_t queue, int32_t n, ...);
void DsQueue_Dequeue(int32_t queue, RValue* out);
int32_t DsQueue_Size(int32_t queue);
void DsQueue_Clear(int32_t queue);

// --- Map and list helpers for native callers ---------------------------------------------
// These run the ds built-ins with an argument array they build, so their checks and
// messages are those of the script call.

int32_t DsMap_Create();
void DsMap_Clear(int32_t map);
void DsMap_AddInt(int32_t map, const char* key, int32_t value);
void DsMap_AddReal(int32_t map, const char* key, double value);
void DsMap_AddInt64(int32_t map, const char* key, int32_t low, int32_t high);
void DsMap_AddString(int32_t map, const char* key, const char* value);
void DsMap_AddList(int32_t map, const char* key, int32_t list);
int32_t DsList_Create();
void DsList_Clear(int32_t list);
void DsList_AddInt64(int32_t list, int32_t low, int32_t high);
void DsList_AddMap(int32_t list, int32_t map);

// The adders handed to extensions: no message, but a missing map is still refused (false).
// True when the key was added, false when it was present.
bool DsMap_AddRealDirect(int32_t map, const char* key, double value);
bool DsMap_AddStringDirect(int32_t map, const char* key, const char* value);

// Queues a map for the asynchronous stage as an Other event of the subtype. The request
// list installs the real poster; until then the map is destroyed at once, so nothing leaks.
using AsyncPostMapEventFn = void (*)(int32_t map, int32_t subtype);
void DS_SetAsyncPostMapEvent(AsyncPostMapEventFn post);
void DS_PostMapEvent(int32_t map, int32_t subtype);

// The four callbacks an extension's "RegisterCallbacks" export receives, in this order.
struct DsExtensionCallbacks {
    void (*postMapEvent)(int32_t map, int32_t subtype);
    int32_t (*createFromPairs)(int32_t count, ...);
    bool (*addRealDirect)(int32_t map, const char* key, double value);
    bool (*addStringDirect)(int32_t map, const char* key, const char* value);
};
DsExtensionCallbacks DS_GetExtensionCallbacks();
