// The six container index tables and the ds_* built-ins. Each built-in reads its
// arguments, looks its container up, runs one container operation and turns the outcome
// into its result or a message.
#include "data/Function_Data_Structures.h"

#include <vector>

#include "core/CRuntimeCompat.h"
#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/GarbageCollector.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value_Convert.h"
#include "data/Function_Data_Structures_Internal.h"
#include "data/ValueCompare.h"

// --- Index tables -----------------------------------------------------------------------

template <typename T>
int32_t DsIndexTable<T>::AllocSlot() {
    for (int32_t i = firstMaybeFree; i < this->count; ++i) {
        if (this->slots[i] == nullptr) {
            firstMaybeFree = i;
            return i;
        }
    }
    firstMaybeFree = this->count;
    if (this->count >= capacity) {
        // Grown by half again (at least 16), so a game making many containers does not copy
        // the whole table every sixteenth creation.
        const int64_t grown = int64_t{this->count} + 16 + this->count / 2;
        this->slots = static_cast<T**>(MEM_REALLOC(this->slots, sizeof(T*) * static_cast<size_t>(grown)));
        capacity = static_cast<int32_t>(grown);
    }
    return this->count++;
}

template struct DsIndexTable<CDS_Map>;
template struct DsIndexTable<CDS_List>;
template struct DsIndexTable<CDS_Stack>;
template struct DsIndexTable<CDS_Queue>;
template struct DsIndexTable<CDS_Grid>;
template struct DsIndexTable<CDS_Priority>;

DsIndexTable<CDS_Map> g_DsMapTable;
DsIndexTable<CDS_List> g_DsListTable;

namespace {

DsIndexTable<CDS_Stack> g_stacks;
DsIndexTable<CDS_Queue> g_queues;
DsIndexTable<CDS_Grid> g_grids;
DsIndexTable<CDS_Priority> g_priorities;

template <typename T>
void FreeSlot(DsIndexTable<T>& table, int32_t index) {
    table.slots[index] = nullptr;
    if (index < table.firstMaybeFree) table.firstMaybeFree = index;
}

template <typename T>
int32_t StoreNew(DsIndexTable<T>& table, T* container) {
    const int32_t index = table.AllocSlot();
    table.Store(index, container);
    return index;
}

// Nested containers are destroyed from a work list: a destructor that meets marks of its
// own adds to the list instead of recursing, so no nesting depth can exhaust the stack.
struct PendingDestroy {
    DSKind kind;
    void* container;
};
std::vector<PendingDestroy> g_pendingDestroys;
bool g_drainingDestroys = false;

void DeleteContainer(const PendingDestroy& pending) {
    switch (pending.kind) {
        case DSKIND_MAP:
            delete static_cast<CDS_Map*>(pending.container);
            break;
        case DSKIND_LIST:
            delete static_cast<CDS_List*>(pending.container);
            break;
        case DSKIND_STACK:
            delete static_cast<CDS_Stack*>(pending.container);
            break;
        case DSKIND_QUEUE:
            delete static_cast<CDS_Queue*>(pending.container);
            break;
        case DSKIND_GRID:
            static_cast<CDS_Grid*>(pending.container)->FreeCells();
            delete static_cast<CDS_Grid*>(pending.container);
            break;
        case DSKIND_PRIORITY:
            delete static_cast<CDS_Priority*>(pending.container);
            break;
    }
}

void ScheduleDestroy(DSKind kind, void* container) {
    g_pendingDestroys.push_back(PendingDestroy{kind, container});
    if (g_drainingDestroys) return;
    g_drainingDestroys = true;
    while (!g_pendingDestroys.empty()) {
        const PendingDestroy next = g_pendingDestroys.back();
        g_pendingDestroys.pop_back();
        DeleteContainer(next);
    }
    g_drainingDestroys = false;
}

// The index is free before the container goes, so a mark that leads back to it finds nothing.
template <typename T>
void DestroyAt(DsIndexTable<T>& table, DSKind kind, int32_t index) {
    T* container = table.Get(index);
    if (container == nullptr) return;
    FreeSlot(table, index);
    ScheduleDestroy(kind, container);
}

template <typename T>
T* Lookup(const DsIndexTable<T>& table, const RValue* args, int32_t n) {
    T* container = table.Get(Arg_GetInt32(args, n));
    if (container == nullptr) DS_ReportMissing();
    return container;
}

// The destroy built-ins of the kinds that report a freed index like any missing one.
template <typename T>
void DestroyLookedUp(DsIndexTable<T>& table, DSKind kind, const RValue* args) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (table.Get(index) == nullptr) return DS_ReportMissing();
    DestroyAt(table, kind, index);
}

// A stored value handed back: kind word whole, marks included. Null leaves the result as it is.
inline void ReturnSlot(RValue& result, const RValue* slot) {
    if (slot != nullptr) RValue_Assign(&result, slot);
}

// Values read from a map come back without their marks: a nested container is a plain real.
inline void ReturnMapSlot(RValue& result, const RValue* slot) {
    if (slot == nullptr) return;
    RValue_Assign(&result, slot);
    result.kind &= VALUE_KIND_MASK;
}

inline void ReturnText(RValue& result, char* text) {
    RValue_SetString(&result, text);
    MEM_FREE(text);
}

// The optional legacy flag of the read built-ins, read only when it is passed.
inline bool LegacyFlag(int32_t argc, const RValue* args) {
    return argc == 3 && Arg_GetInt32(args, 2) > 0;
}

// --- General ----------------------------------------------------------------------------

HV_BUILTIN(F_DsSetPrecision) {
    DS_SetPrecision(Arg_GetReal(args, 0));
}

HV_BUILTIN(F_DsExists) {
    const int32_t index = Arg_GetInt32(args, 0);
    bool exists = false;
    switch (Arg_GetInt32(args, 1)) {
        case DSKIND_MAP:
            exists = g_DsMapTable.Get(index) != nullptr;
            break;
        case DSKIND_LIST:
            exists = g_DsListTable.Get(index) != nullptr;
            break;
        case DSKIND_STACK:
            exists = g_stacks.Get(index) != nullptr;
            break;
        case DSKIND_QUEUE:
            exists = g_queues.Get(index) != nullptr;
            break;
        case DSKIND_GRID:
            exists = g_grids.Get(index) != nullptr;
            break;
        case DSKIND_PRIORITY:
            exists = g_priorities.Get(index) != nullptr;
            break;
        default:
            break;
    }
    RValue_SetFlag(&result, exists);
}

// --- Stacks -----------------------------------------------------------------------------

HV_BUILTIN(F_DsStackCreate) {
    RValue_SetReal(&result, DS_CreateStack());
}
HV_BUILTIN(F_DsStackDestroy) {
    DestroyLookedUp(g_stacks, DSKIND_STACK, args);
}
HV_BUILTIN(F_DsStackClear) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) s->Clear();
}
HV_BUILTIN(F_DsStackCopy) {
    CDS_Stack* destination = Lookup(g_stacks, args, 0);
    CDS_Stack* source = destination ? Lookup(g_stacks, args, 1) : nullptr;
    if (source) destination->Copy(source);
}
HV_BUILTIN(F_DsStackSize) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) RValue_SetReal(&result, s->Size());
}
HV_BUILTIN(F_DsStackEmpty) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) RValue_SetFlag(&result, s->Empty());
}
HV_BUILTIN(F_DsStackPush) {
    if (argc < 2) return DS_ReportMissing();
    if (CDS_Stack* s = Lookup(g_stacks, args, 0))
        for (int32_t i = 1; i < argc; ++i) s->Push(&args[i]);
}
HV_BUILTIN(F_DsStackPop) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) ReturnSlot(result, s->Pop());
}
HV_BUILTIN(F_DsStackTop) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) ReturnSlot(result, s->Top());
}
HV_BUILTIN(F_DsStackWrite) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) ReturnText(result, s->Write());
}
HV_BUILTIN(F_DsStackRead) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) s->Read(Arg_GetString(args, 1), LegacyFlag(argc, args));
}

// --- Queues -----------------------------------------------------------------------------

HV_BUILTIN(F_DsQueueDestroy) {
    DestroyLookedUp(g_queues, DSKIND_QUEUE, args);
}
HV_BUILTIN(F_DsQueueCopy) {
    CDS_Queue* destination = Lookup(g_queues, args, 0);
    CDS_Queue* source = destination ? Lookup(g_queues, args, 1) : nullptr;
    if (source) destination->Copy(source);
}
HV_BUILTIN(F_DsQueueEmpty) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) RValue_SetFlag(&result, q->Empty());
}
HV_BUILTIN(F_DsQueueHead) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) ReturnSlot(result, q->Head());
}
HV_BUILTIN(F_DsQueueTail) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) ReturnSlot(result, q->Tail());
}
HV_BUILTIN(F_DsQueueWrite) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) ReturnText(result, q->Write());
}
HV_BUILTIN(F_DsQueueRead) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) q->Read(Arg_GetString(args, 1), LegacyFlag(argc, args));
}

// --- Lists ------------------------------------------------------------------------------

HV_BUILTIN(F_DsListDestroy) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (!g_DsListTable.InRange(index)) return DS_ReportMissing();
    DS_DestroyList(index);  // an index already freed is passed over in silence
}
HV_BUILTIN(F_DsListCopy) {
    CDS_List* destination = Lookup(g_DsListTable, args, 0);
    CDS_List* source = destination ? Lookup(g_DsListTable, args, 1) : nullptr;
    if (source) destination->Copy(source);
}
HV_BUILTIN(F_DsListEmpty) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) RValue_SetFlag(&result, l->Empty());
}
HV_BUILTIN(F_DsListInsert) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Insert(Arg_GetInt32(args, 1), &args[2]);
}
HV_BUILTIN(F_DsListReplace) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Replace(Arg_GetInt32(args, 1), &args[2]);
}
HV_BUILTIN(F_DsListDelete) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Delete(Arg_GetInt32(args, 1));
}
HV_BUILTIN(F_DsListFindIndex) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) RValue_SetReal(&result, l->FindIndex(&args[1]));
}
HV_BUILTIN(F_DsListFindValue) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) ReturnSlot(result, l->GetItem(Arg_GetInt32(args, 1)));
}

// Only a real can carry a mark: a mark on any other kind would hide what the value holds
// from every release and copy. A position outside the list marks nothing and returns nothing.
void MarkListValue(RValue& result, const RValue* args, uint32_t mark) {
    CDS_List* list = Lookup(g_DsListTable, args, 0);
    RValue* slot = list ? list->GetItem(Arg_GetInt32(args, 1)) : nullptr;
    if (slot == nullptr) return;
    if ((slot->kind & 0xFFFF) == VALUE_REAL) slot->kind |= mark;
    ReturnSlot(result, slot);
}
HV_BUILTIN(F_DsListMarkAsList) {
    MarkListValue(result, args, DS_MARK_LIST);
}
HV_BUILTIN(F_DsListSort) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Sort(Arg_GetBool(args, 1));
}
HV_BUILTIN(F_DsListShuffle) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Shuffle();
}
HV_BUILTIN(F_DsListWrite) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) ReturnText(result, l->Write());
}
HV_BUILTIN(F_DsListRead) {
    CDS_List* list = Lookup(g_DsListTable, args, 0);
    if (list == nullptr || !RValue_IsString(args[1])) return;
    list->Read(Arg_GetString(args, 1), LegacyFlag(argc, args));
}
HV_BUILTIN(F_DsListSet) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Set(Arg_GetInt32(args, 1), &args[2], nullptr);
}
HV_BUILTIN(F_DsListSetPost) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Set(Arg_GetInt32(args, 1), &args[2], &result);
}
HV_BUILTIN(F_DsListSetPre) {
    CDS_List* list = Lookup(g_DsListTable, args, 0);
    if (list == nullptr) return;
    list->Set(Arg_GetInt32(args, 1), &args[2], nullptr);
    RValue_Assign(&result, &args[2]);
}

// --- Maps -------------------------------------------------------------------------------

HV_BUILTIN(F_DsMapCopy) {
    CDS_Map* destination = Lookup(g_DsMapTable, args, 0);
    CDS_Map* source = destination ? Lookup(g_DsMapTable, args, 1) : nullptr;
    if (source) destination->Copy(source);
}
HV_BUILTIN(F_DsMapSize) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) RValue_SetReal(&result, m->Size());
}
HV_BUILTIN(F_DsMapEmpty) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) RValue_SetFlag(&result, m->Empty());
}
HV_BUILTIN(F_DsMapSet) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) m->Set(&args[1], &args[2], nullptr);
}
HV_BUILTIN(F_DsMapSetPre) {
    RValue_Assign(&result, &args[2]);
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) m->Set(&args[1], &args[2], nullptr);
}
HV_BUILTIN(F_DsMapSetPost) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) m->Set(&args[1], &args[2], &result);
}

// A nested list or map enters a map only as a plain real naming a live container; it is
// stored with its mark, so the map owns it from then on.
void AddNested(RValue& result, const RValue* args, bool isMap, bool replace) {
    RValue_SetReal(&result, 0.0);
    CDS_Map* map = Lookup(g_DsMapTable, args, 0);
    if (map == nullptr) return;
    const RValue& value = args[2];
    const int32_t index = value.kind == VALUE_REAL ? CRT_TruncToInt32(value.val) : -1;
    const bool valid = value.kind == VALUE_REAL &&
                       (isMap ? g_DsMapTable.Get(index) != nullptr : g_DsListTable.Get(index) != nullptr);
    if (!valid) {
        Runtime_ErrorNonFatal("%s", isMap ? "Invalid map index for value" : "Invalid list index for value");
        return;
    }
    RValue marked = value;
    marked.kind |= isMap ? DS_MARK_MAP : DS_MARK_LIST;
    const bool outcome = replace ? map->Replace(&args[1], &marked) : map->Add(&args[1], &marked);
    RValue_SetFlag(&result, outcome);
}
HV_BUILTIN(F_DsMapAddMap) {
    AddNested(result, args, true, false);
}
HV_BUILTIN(F_DsMapReplace) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) RValue_SetFlag(&result, m->Replace(&args[1], &args[2]));
}
HV_BUILTIN(F_DsMapReplaceList) {
    AddNested(result, args, false, true);
}
HV_BUILTIN(F_DsMapReplaceMap) {
    AddNested(result, args, true, true);
}
HV_BUILTIN(F_DsMapDelete) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) m->Delete(&args[1]);
}
HV_BUILTIN(F_DsMapExists) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) RValue_SetFlag(&result, m->Exists(&args[1]));
}
HV_BUILTIN(F_DsMapFindValue) {
    CDS_Map* map = Lookup(g_DsMapTable, args, 0);
    const DSMapEntry* entry = map ? map->Find(&args[1]) : nullptr;
    if (entry != nullptr) ReturnMapSlot(result, &entry->value);
}
HV_BUILTIN(F_DsMapFindPrevious) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) ReturnMapSlot(result, m->FindPrevious(&args[1]));
}
HV_BUILTIN(F_DsMapFindNext) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) ReturnMapSlot(result, m->FindNext(&args[1]));
}
HV_BUILTIN(F_DsMapFindFirst) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) ReturnMapSlot(result, m->FindFirst());
}
HV_BUILTIN(F_DsMapFindLast) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) ReturnMapSlot(result, m->FindLast());
}
HV_BUILTIN(F_DsMapWrite) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) ReturnText(result, m->Write());
}
HV_BUILTIN(F_DsMapRead) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) m->Read(Arg_GetString(args, 1), LegacyFlag(argc, args));
}
// Secure map files belong to the file formats; until they register their rows, these say so.
HV_BUILTIN(F_DsMapSecureUnavailable) {
    Runtime_ErrorNonFatal("%s() - secure map files are not available", Builtin_CurrentName());
}

// --- Priority queues --------------------------------------------------------------------

HV_BUILTIN(F_DsPriorityCreate) {
    RValue_SetReal(&result, StoreNew(g_priorities, new CDS_Priority()));
}
HV_BUILTIN(F_DsPriorityDestroy) {
    DestroyLookedUp(g_priorities, DSKIND_PRIORITY, args);
}
HV_BUILTIN(F_DsPriorityClear) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) p->Clear();
}
HV_BUILTIN(F_DsPriorityCopy) {
    CDS_Priority* destination = Lookup(g_priorities, args, 0);
    CDS_Priority* source = destination ? Lookup(g_priorities, args, 1) : nullptr;
    if (source) destination->Copy(source);
}
HV_BUILTIN(F_DsPrioritySize) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) RValue_SetReal(&result, p->Size());
}
HV_BUILTIN(F_DsPriorityEmpty) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) RValue_SetFlag(&result, p->Empty());
}
HV_BUILTIN(F_DsPriorityAdd) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) p->Add(&args[1], &args[2]);
}
HV_BUILTIN(F_DsPriorityChangePriority) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) p->ChangePriority(&args[1], &args[2]);
}
HV_BUILTIN(F_DsPriorityFindPriority) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) ReturnSlot(result, p->FindPriority(&args[1]));
}
HV_BUILTIN(F_DsPriorityDeleteValue) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) p->DeleteValue(&args[1]);
}
HV_BUILTIN(F_DsPriorityDeleteMin) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) p->DeleteMin(&result);
}
HV_BUILTIN(F_DsPriorityFindMin) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) ReturnSlot(result, p->FindMin());
}
HV_BUILTIN(F_DsPriorityDeleteMax) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) p->DeleteMax(&result);
}
HV_BUILTIN(F_DsPriorityFindMax) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) ReturnSlot(result, p->FindMax());
}
HV_BUILTIN(F_DsPriorityWrite) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) ReturnText(result, p->Write());
}
// Unlike the other kinds, the legacy flag is taken as a truth value (0.7 counts).
HV_BUILTIN(F_DsPriorityRead) {
    CDS_Priority* queue = Lookup(g_priorities, args, 0);
    if (queue == nullptr) return;
    const char* text = Arg_GetString(args, 1);
    queue->Read(text, argc == 3 && Arg_GetBool(args, 2));
}

// --- Grids ------------------------------------------------------------------------------

void ReportGridSize(const char* name, int32_t width, int32_t height) {
    Runtime_ErrorNonFatal("%s :: cannot make a grid of %d x %d cells", name, width, height);
}

HV_BUILTIN(F_DsGridCreate) {
    const int32_t width = Arg_GetInt32(args, 0);
    const int32_t height = Arg_GetInt32(args, 1);
    const int32_t index = DS_CreateGrid(width, height);
    if (index < 0) ReportGridSize("ds_grid_create", width, height);
    RValue_SetReal(&result, index);
}
HV_BUILTIN(F_DsGridDestroy) {
    DestroyLookedUp(g_grids, DSKIND_GRID, args);
}
HV_BUILTIN(F_DsGridCopy) {
    CDS_Grid* destination = Lookup(g_grids, args, 0);
    CDS_Grid* source = destination ? Lookup(g_grids, args, 1) : nullptr;
    if (source) destination->Copy(source);
}
HV_BUILTIN(F_DsGridResize) {
    CDS_Grid* grid = Lookup(g_grids, args, 0);
    if (grid == nullptr) return;
    const int32_t width = Arg_GetInt32(args, 1);
    const int32_t height = Arg_GetInt32(args, 2);
    if (width <= 0 || height <= 0) {
        Runtime_Error("Error: Can not resize a grid with a dimension of <=0\n");
        return;
    }
    if (!grid->Resize(width, height)) ReportGridSize("ds_grid_resize", width, height);
}
HV_BUILTIN(F_DsGridWidth) {
    RValue_SetReal(&result, 0.0);
    if (CDS_Grid* g = Lookup(g_grids, args, 0)) RValue_SetReal(&result, g->Width());
}
HV_BUILTIN(F_DsGridHeight) {
    RValue_SetReal(&result, 0.0);
    if (CDS_Grid* g = Lookup(g_grids, args, 0)) RValue_SetReal(&result, g->Height());
}
HV_BUILTIN(F_DsGridClear) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0)) g->Clear(&args[1]);
}

// The grid and cell of a checked access; outside the grid the bounds line is printed
// ("writing" stands in it for reads too) and null is returned.
CDS_Grid* CheckedCell(const RValue* args, int32_t* x, int32_t* y) {
    const int32_t index = Arg_GetInt32(args, 0);
    CDS_Grid* grid = g_grids.Get(index);
    if (grid == nullptr) {
        DS_ReportMissing();
        return nullptr;
    }
    *x = Arg_GetInt32(args, 1);
    *y = Arg_GetInt32(args, 2);
    if (grid->InBounds(*x, *y)) return grid;
    ErrorConsole.Output("Grid %d, index out of bounds writing [%d,%d] - size is [%d,%d]\n", index, *x, *y,
                        grid->Width(), grid->Height());
    return nullptr;
}

HV_BUILTIN(F_DsGridSet) {
    int32_t x, y;
    if (CDS_Grid* g = CheckedCell(args, &x, &y)) g->SetCell(x, y, &args[3]);
}
HV_BUILTIN(F_DsGridGet) {
    int32_t x, y;
    if (CDS_Grid* g = CheckedCell(args, &x, &y)) ReturnSlot(result, g->Cell(x, y));
}
HV_BUILTIN(F_DsGridSetPre) {
    int32_t x, y;
    CDS_Grid* grid = CheckedCell(args, &x, &y);
    if (grid == nullptr) return;
    grid->SetCell(x, y, &args[3]);
    RValue_Assign(&result, grid->Cell(x, y));
}
HV_BUILTIN(F_DsGridSetPost) {
    int32_t x, y;
    CDS_Grid* grid = CheckedCell(args, &x, &y);
    if (grid == nullptr) return;
    RValue_Assign(&result, grid->Cell(x, y));
    grid->SetCell(x, y, &args[3]);
}

// The release-mode accessors: no lookup message and no bounds line, but a missing grid or a
// cell outside it is still never touched.
HV_BUILTIN(F_DsGridSetUnchecked) {
    CDS_Grid* grid = g_grids.Get(Arg_GetInt32(args, 0));
    const int32_t x = Arg_GetInt32(args, 1), y = Arg_GetInt32(args, 2);
    if (grid != nullptr && grid->InBounds(x, y)) grid->SetCell(x, y, &args[3]);
}
HV_BUILTIN(F_DsGridGetUnchecked) {
    CDS_Grid* grid = g_grids.Get(Arg_GetInt32(args, 0));
    const int32_t x = Arg_GetInt32(args, 1), y = Arg_GetInt32(args, 2);
    if (grid != nullptr && grid->InBounds(x, y)) ReturnSlot(result, grid->Cell(x, y));
}

template <int32_t Operation>
HV_BUILTIN(F_DsGridOperateCell) {
    const int32_t index = Arg_GetInt32(args, 0);
    CDS_Grid* grid = g_grids.Get(index);
    if (grid == nullptr) return DS_ReportMissing();
    grid->OperateCell(index, Operation, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), &args[3]);
}
template <int32_t Operation>
HV_BUILTIN(F_DsGridOperateRegion) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->OperateRegion(Operation, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                         Arg_GetInt32(args, 4), &args[5]);
}
template <int32_t Operation>
HV_BUILTIN(F_DsGridOperateDisk) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->OperateDisk(Operation, Arg_GetReal(args, 1), Arg_GetReal(args, 2), Arg_GetReal(args, 3), &args[4]);
}
template <int32_t Operation>
HV_BUILTIN(F_DsGridOperateGridRegion) {
    CDS_Grid* grid = Lookup(g_grids, args, 0);
    CDS_Grid* source = grid ? Lookup(g_grids, args, 1) : nullptr;
    if (source == nullptr) return;
    grid->OperateGridRegion(Operation, source, Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                            Arg_GetInt32(args, 4), Arg_GetInt32(args, 5), Arg_GetInt32(args, 6),
                            Arg_GetInt32(args, 7));
}

HV_BUILTIN(F_DsGridGetSum) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->SumRegion(&result, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                     Arg_GetInt32(args, 4));
}
HV_BUILTIN(F_DsGridGetMean) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->MeanRegion(&result, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                      Arg_GetInt32(args, 4));
}
HV_BUILTIN(F_DsGridGetMax) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->MaxRegion(&result, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                     Arg_GetInt32(args, 4), "ds_grid_get_max");
}
HV_BUILTIN(F_DsGridGetMin) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->MinRegion(&result, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                     Arg_GetInt32(args, 4), "ds_grid_get_min");
}
HV_BUILTIN(F_DsGridGetDiskSum) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->SumDisk(&result, Arg_GetReal(args, 1), Arg_GetReal(args, 2), Arg_GetReal(args, 3));
}
HV_BUILTIN(F_DsGridGetDiskMean) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->MeanDisk(&result, Arg_GetReal(args, 1), Arg_GetReal(args, 2), Arg_GetReal(args, 3));
}
HV_BUILTIN(F_DsGridGetDiskMax) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->MaxDisk(&result, Arg_GetReal(args, 1), Arg_GetReal(args, 2), Arg_GetReal(args, 3),
                   "ds_grid_get_disk_max");
}
HV_BUILTIN(F_DsGridGetDiskMin) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->MinDisk(&result, Arg_GetReal(args, 1), Arg_GetReal(args, 2), Arg_GetReal(args, 3),
                   "ds_grid_get_disk_min");
}
template <CDS_Grid::SearchResult What>
HV_BUILTIN(F_DsGridValueRegion) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->ValueRegion(&result, What, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                       Arg_GetInt32(args, 4), &args[5]);
}
template <CDS_Grid::SearchResult What>
HV_BUILTIN(F_DsGridValueDisk) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->ValueDisk(&result, What, Arg_GetReal(args, 1), Arg_GetReal(args, 2), Arg_GetReal(args, 3),
                     &args[4]);
}
HV_BUILTIN(F_DsGridShuffle) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0)) g->Shuffle();
}
HV_BUILTIN(F_DsGridWrite) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0)) ReturnText(result, g->Write());
}
HV_BUILTIN(F_DsGridRead) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0)) g->Read(Arg_GetString(args, 1), LegacyFlag(argc, args));
}
HV_BUILTIN(F_DsGridSort) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0)) g->Sort(Arg_GetInt32(args, 1), Arg_GetBool(args, 2) ? 1 : -1);
}

constexpr BuiltinRow kRows[] = {
    {"ds_set_precision", F_DsSetPrecision, 1, 1},
    {"ds_exists", F_DsExists, 2, 1},

    {"ds_stack_create", F_DsStackCreate, 0, 1},
    {"ds_stack_destroy", F_DsStackDestroy, 1, 1},
    {"ds_stack_clear", F_DsStackClear, 1, 1},
    {"ds_stack_copy", F_DsStackCopy, 2, 1},
    {"ds_stack_size", F_DsStackSize, 1, 1},
    {"ds_stack_empty", F_DsStackEmpty, 1, 1},
    {"ds_stack_push", F_DsStackPush, -1, 1},
    {"ds_stack_pop", F_DsStackPop, 1, 1},
    {"ds_stack_top", F_DsStackTop, 1, 1},
    {"ds_stack_write", F_DsStackWrite, 1, 1},
    {"ds_stack_read", F_DsStackRead, 2, 1},

    {"ds_queue_create", F_DsQueueCreate, 0, 1},
    {"ds_queue_destroy", F_DsQueueDestroy, 1, 1},
    {"ds_queue_clear", F_DsQueueClear, 1, 1},
    {"ds_queue_copy", F_DsQueueCopy, 2, 1},
    {"ds_queue_size", F_DsQueueSize, 1, 1},
    {"ds_queue_empty", F_DsQueueEmpty, 1, 1},
    {"ds_queue_enqueue", F_DsQueueEnqueue, -1, 1},
    {"ds_queue_dequeue", F_DsQueueDequeue, 1, 1},
    {"ds_queue_head", F_DsQueueHead, 1, 1},
    {"ds_queue_tail", F_DsQueueTail, 1, 1},
    {"ds_queue_write", F_DsQueueWrite, 1, 1},
    {"ds_queue_read", F_DsQueueRead, 2, 1},

    {"ds_list_create", F_DsListCreate, 0, 1},
    {"ds_list_destroy", F_DsListDestroy, 1, 1},
    {"ds_list_clear", F_DsListClear, 1, 1},
    {"ds_list_copy", F_DsListCopy, 2, 1},
    {"ds_list_size", F_DsListSize, 1, 1},
    {"ds_list_empty", F_DsListEmpty, 1, 1},
    {"ds_list_add", F_DsListAdd, -1, 1},
    {"ds_list_insert", F_DsListInsert, 3, 1},
    {"ds_list_replace", F_DsListReplace, 3, 1},
    {"ds_list_delete", F_DsListDelete, 2, 1},
    {"ds_list_find_index", F_DsListFindIndex, 2, 1},
    {"ds_list_find_value", F_DsListFindValue, 2, 1},
    {"ds_list_mark_as_list", F_DsListMarkAsList, 2, 1},
    {"ds_list_mark_as_map", F_DsListMarkAsMap, 2, 1},
    {"ds_list_sort", F_DsListSort, 2, 1},
    {"ds_list_shuffle", F_DsListShuffle, 1, 1},
    {"ds_list_write", F_DsListWrite, 1, 1},
    {"ds_list_read", F_DsListRead, 2, 1},
    {"ds_list_set", F_DsListSet, 3, 1},
    {"ds_list_set_post", F_DsListSetPost, 3, 1},
    {"ds_list_set_pre", F_DsListSetPre, 3, 1},

    {"ds_map_create", F_DsMapCreate, 0, 1},
    {"ds_map_destroy", F_DsMapDestroy, 1, 1},
    {"ds_map_clear", F_DsMapClear, 1, 1},
    {"ds_map_copy", F_DsMapCopy, 2, 1},
    {"ds_map_size", F_DsMapSize, 1, 1},
    {"ds_map_empty", F_DsMapEmpty, 1, 1},
    {"ds_map_add", F_DsMapAdd, 3, 1},
    {"ds_map_set", F_DsMapSet, 3, 1},
    {"ds_map_set_pre", F_DsMapSetPre, 3, 1},
    {"ds_map_set_post", F_DsMapSetPost, 3, 1},
    {"ds_map_add_list", F_DsMapAddList, 3, 1},
    {"ds_map_add_map", F_DsMapAddMap, 3, 1},
    {"ds_map_replace", F_DsMapReplace, 3, 1},
    {"ds_map_replace_list", F_DsMapReplaceList, 3, 1},
    {"ds_map_replace_map", F_DsMapReplaceMap, 3, 1},
    {"ds_map_delete", F_DsMapDelete, 2, 1},
    {"ds_map_exists", F_DsMapExists, 2, 1},
    {"ds_map_find_value", F_DsMapFindValue, 2, 1},
    {"ds_map_find_previous", F_DsMapFindPrevious, 2, 1},
    {"ds_map_find_next", F_DsMapFindNext, 2, 1},
    {"ds_map_find_first", F_DsMapFindFirst, 1, 1},
    {"ds_map_find_last", F_DsMapFindLast, 1, 1},
    {"ds_map_write", F_DsMapWrite, 1, 1},
    {"ds_map_read", F_DsMapRead, 2, 1},
    {"ds_map_secure_save", F_DsMapSecureUnavailable, 2, 1},
    {"ds_map_secure_load", F_DsMapSecureUnavailable, 1, 1},
    {"ds_map_secure_load_buffer", F_DsMapSecureUnavailable, 1, 1},
    {"ds_map_secure_save_buffer", F_DsMapSecureUnavailable, 2, 1},

    {"ds_priority_create", F_DsPriorityCreate, 0, 1},
    {"ds_priority_destroy", F_DsPriorityDestroy, 1, 1},
    {"ds_priority_clear", F_DsPriorityClear, 1, 1},
    {"ds_priority_copy", F_DsPriorityCopy, 2, 1},
    {"ds_priority_size", F_DsPrioritySize, 1, 1},
    {"ds_priority_empty", F_DsPriorityEmpty, 1, 1},
    {"ds_priority_add", F_DsPriorityAdd, 3, 1},
    {"ds_priority_change_priority", F_DsPriorityChangePriority, 3, 1},
    {"ds_priority_find_priority", F_DsPriorityFindPriority, 2, 1},
    {"ds_priority_delete_value", F_DsPriorityDeleteValue, 2, 1},
    {"ds_priority_delete_min", F_DsPriorityDeleteMin, 1, 1},
    {"ds_priority_find_min", F_DsPriorityFindMin, 1, 1},
    {"ds_priority_delete_max", F_DsPriorityDeleteMax, 1, 1},
    {"ds_priority_find_max", F_DsPriorityFindMax, 1, 1},
    {"ds_priority_write", F_DsPriorityWrite, 1, 1},
    {"ds_priority_read", F_DsPriorityRead, 2, 1},

    {"ds_grid_create", F_DsGridCreate, 2, 1},
    {"ds_grid_destroy", F_DsGridDestroy, 1, 1},
    {"ds_grid_copy", F_DsGridCopy, 2, 1},
    {"ds_grid_resize", F_DsGridResize, 3, 1},
    {"ds_grid_width", F_DsGridWidth, 1, 1},
    {"ds_grid_height", F_DsGridHeight, 1, 1},
    {"ds_grid_clear", F_DsGridClear, 2, 1},
    {"ds_grid_set", F_DsGridSet, 4, 1},
    {"ds_grid_set_pre", F_DsGridSetPre, 4, 1},
    {"ds_grid_set_post", F_DsGridSetPost, 4, 1},
    {"ds_grid_add", F_DsGridOperateCell<2>, 4, 1},
    {"ds_grid_multiply", F_DsGridOperateCell<3>, 4, 1},
    {"ds_grid_set_region", F_DsGridOperateRegion<1>, 6, 1},
    {"ds_grid_add_region", F_DsGridOperateRegion<2>, 6, 1},
    {"ds_grid_multiply_region", F_DsGridOperateRegion<3>, 6, 1},
    {"ds_grid_set_disk", F_DsGridOperateDisk<1>, 5, 1},
    {"ds_grid_add_disk", F_DsGridOperateDisk<2>, 5, 1},
    {"ds_grid_multiply_disk", F_DsGridOperateDisk<3>, 5, 1},
    {"ds_grid_set_grid_region", F_DsGridOperateGridRegion<1>, 8, 1},
    {"ds_grid_add_grid_region", F_DsGridOperateGridRegion<2>, 8, 1},
    {"ds_grid_multiply_grid_region", F_DsGridOperateGridRegion<3>, 8, 1},
    {"ds_grid_get", F_DsGridGet, 3, 1},
    {"ds_grid_get_sum", F_DsGridGetSum, 5, 1},
    {"ds_grid_get_max", F_DsGridGetMax, 5, 1},
    {"ds_grid_get_min", F_DsGridGetMin, 5, 1},
    {"ds_grid_get_mean", F_DsGridGetMean, 5, 1},
    {"ds_grid_get_disk_sum", F_DsGridGetDiskSum, 4, 1},
    {"ds_grid_get_disk_max", F_DsGridGetDiskMax, 4, 1},
    {"ds_grid_get_disk_min", F_DsGridGetDiskMin, 4, 1},
    {"ds_grid_get_disk_mean", F_DsGridGetDiskMean, 4, 1},
    {"ds_grid_value_exists", F_DsGridValueRegion<CDS_Grid::SEARCH_EXISTS>, 6, 1},
    {"ds_grid_value_x", F_DsGridValueRegion<CDS_Grid::SEARCH_X>, 6, 1},
    {"ds_grid_value_y", F_DsGridValueRegion<CDS_Grid::SEARCH_Y>, 6, 1},
    {"ds_grid_value_disk_exists", F_DsGridValueDisk<CDS_Grid::SEARCH_EXISTS>, 5, 1},
    {"ds_grid_value_disk_x", F_DsGridValueDisk<CDS_Grid::SEARCH_X>, 5, 1},
    {"ds_grid_value_disk_y", F_DsGridValueDisk<CDS_Grid::SEARCH_Y>, 5, 1},
    {"ds_grid_shuffle", F_DsGridShuffle, 1, 1},
    {"ds_grid_write", F_DsGridWrite, 1, 1},
    {"ds_grid_read", F_DsGridRead, 2, 1},
    {"ds_grid_sort", F_DsGridSort, 3, 1},
};
static_assert(sizeof kRows / sizeof kRows[0] == 130, "the ds family has 130 built-ins");

}  // namespace

// --- Built-ins the native helpers also run ----------------------------------------------

void DS_ReportMissing() {
    Runtime_ErrorNonFatal("Data structure with index does not exist.");
}

HV_BUILTIN(F_DsMapCreate) {
    int32_t buckets = CDS_Map::kDefaultBuckets;
    if (argc == 1) {
        buckets = Arg_GetInt32(args, 0);
        if (buckets < 1 || buckets > CDS_Map::kMaxBuckets) {
            Runtime_ErrorNonFatal("ds_map_create :: bucket count %d is outside 1 to %d, the default is used",
                                  buckets, CDS_Map::kMaxBuckets);
            buckets = CDS_Map::kDefaultBuckets;
        }
    }
    const int32_t index = DS_AllocMapSlot();
    g_DsMapTable.Store(index, new CDS_Map(buckets));
    RValue_SetReal(&result, index);
}
HV_BUILTIN(F_DsMapDestroy) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (!g_DsMapTable.InRange(index)) return DS_ReportMissing();
    DS_DestroyMap(index);  // an index already freed is passed over in silence
}
HV_BUILTIN(F_DsMapClear) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) m->Clear();
}
HV_BUILTIN(F_DsMapAdd) {
    RValue_SetReal(&result, 0.0);
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) RValue_SetFlag(&result, m->Add(&args[1], &args[2]));
}
HV_BUILTIN(F_DsMapAddList) {
    AddNested(result, args, false, false);
}
HV_BUILTIN(F_DsListCreate) {
    const int32_t index = DS_AllocListSlot();
    g_DsListTable.Store(index, new CDS_List());
    RValue_SetReal(&result, index);
}
HV_BUILTIN(F_DsListClear) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Clear();
}
HV_BUILTIN(F_DsListAdd) {
    if (argc < 2) return DS_ReportMissing();
    if (CDS_List* l = Lookup(g_DsListTable, args, 0))
        for (int32_t i = 1; i < argc; ++i) l->Add(&args[i]);
}
HV_BUILTIN(F_DsListSize) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) RValue_SetReal(&result, l->Size());
}
HV_BUILTIN(F_DsListMarkAsMap) {
    MarkListValue(result, args, DS_MARK_MAP);
}
HV_BUILTIN(F_DsQueueCreate) {
    RValue_SetReal(&result, StoreNew(g_queues, new CDS_Queue()));
}
HV_BUILTIN(F_DsQueueEnqueue) {
    if (argc < 2) return DS_ReportMissing();
    if (CDS_Queue* q = Lookup(g_queues, args, 0))
        for (int32_t i = 1; i < argc; ++i) q->Enqueue(&args[i]);
}
HV_BUILTIN(F_DsQueueDequeue) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) ReturnSlot(result, q->Dequeue());
}
HV_BUILTIN(F_DsQueueSize) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) RValue_SetReal(&result, q->Size());
}
HV_BUILTIN(F_DsQueueClear) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) q->Clear();
}

// --- Table operations -------------------------------------------------------------------

void DS_DestroyNested(const RValue* value) {
    const uint32_t kind = value->kind;
    if ((kind & 0xFFFF) != 0) return;
    const int32_t index = CRT_TruncToInt32(value->val);
    if ((kind & DS_MARK_MAP) != 0) {
        const CDS_Map* map = g_DsMapTable.Get(index);
        if (map != nullptr && !map->Busy()) DS_DestroyMap(index);
    } else if ((kind & DS_MARK_LIST) != 0) {
        const CDS_List* list = g_DsListTable.Get(index);
        if (list != nullptr && !list->Busy()) DS_DestroyList(index);
    }
}

void DS_DestroyMap(int32_t index) {
    DestroyAt(g_DsMapTable, DSKIND_MAP, index);
}

void DS_DestroyList(int32_t index) {
    DestroyAt(g_DsListTable, DSKIND_LIST, index);
}

int32_t DS_AllocMapSlot() {
    return g_DsMapTable.AllocSlot();
}

int32_t DS_AllocListSlot() {
    return g_DsListTable.AllocSlot();
}

int32_t DS_CreateStack() {
    return StoreNew(g_stacks, new CDS_Stack());
}

int32_t DS_CreateGrid(int32_t width, int32_t height) {
    if (!CDS_Grid::SizeAllowed(width, height)) return -1;
    return StoreNew(g_grids, new CDS_Grid(width, height));
}

CDS_Stack** DS_GetStackTable(int32_t* count) {
    *count = g_stacks.count;
    return g_stacks.slots;
}

CDS_Queue** DS_GetQueueTable(int32_t* count) {
    *count = g_queues.count;
    return g_queues.slots;
}

CDS_Priority** DS_GetPriorityTable(int32_t* count) {
    *count = g_priorities.count;
    return g_priorities.slots;
}

CDS_Grid** DS_GetGridTable(int32_t* count) {
    *count = g_grids.count;
    return g_grids.slots;
}

CDS_Grid* DS_GetGrid(int32_t index) {
    return g_grids.Get(index);
}

void DS_SetGridBoundsChecking(bool checked) {
    g_DSGridCheckedMode = checked;
    Code_Function_Replace("ds_grid_set", checked ? F_DsGridSet : F_DsGridSetUnchecked);
    Code_Function_Replace("ds_grid_get", checked ? F_DsGridGet : F_DsGridGetUnchecked);
}

namespace {
template <typename T>
void MarkTable(const DsIndexTable<T>& table, DSMarkValueFn mark, void* context) {
    for (int32_t i = 0; i < table.count; ++i)
        if (table.slots[i] != nullptr) table.slots[i]->Mark(mark, context);
}
}  // namespace

void DS_MarkAll(DSMarkValueFn mark, void* context) {
    MarkTable(g_DsMapTable, mark, context);
    MarkTable(g_DsListTable, mark, context);
    MarkTable(g_stacks, mark, context);
    MarkTable(g_queues, mark, context);
    MarkTable(g_grids, mark, context);
    MarkTable(g_priorities, mark, context);
}

namespace {
// The containers are a root of the collector: every value they hold is marked.
void MarkContainerRoots(GCMarkContext& marker) {
    DS_MarkAll([](const RValue* value,
                  void* context) { GC_MarkValue(value, *static_cast<GCMarkContext*>(context)); },
               &marker);
}
}  // namespace

void InitDataStructureFunctions() {
    Code_Function_AddRows(kRows);
    GC_RegisterRoots(MarkContainerRoots, GC_ROOTS_WHILE_ROOM_CURRENT);
}

CDS_Map* DS_GetMap(int32_t index) {
    return g_DsMapTable.Get(index);
}
