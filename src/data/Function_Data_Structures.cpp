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
    for (int32_t i = firstMaybeFree; i < count; ++i) {
        if (slots[i] == nullptr) {
            firstMaybeFree = i;
            return i;
        }
    }
    firstMaybeFree = count;
    if (count >= capacity) {
        // Grown by half again (at least 16), so a game making many containers does not copy
        // the whole table every sixteenth creation.
        const int64_t grown = int64_t{count} + 16 + count / 2;
        slots = static_cast<T**>(MEM_REALLOC(slots, sizeof(T*) * static_cast<size_t>(grown)));
        capacity = static_cast<int32_t>(grown);
    }
    return count++;
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

HV_BUILTIN(F_ds_set_precision) {
    DS_SetPrecision(Arg_GetReal(args, 0));
}

HV_BUILTIN(F_ds_exists) {
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

HV_BUILTIN(F_ds_stack_create) {
    RValue_SetReal(&result, DS_CreateStack());
}
HV_BUILTIN(F_ds_stack_destroy) {
    DestroyLookedUp(g_stacks, DSKIND_STACK, args);
}
HV_BUILTIN(F_ds_stack_clear) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) s->Clear();
}
HV_BUILTIN(F_ds_stack_copy) {
    CDS_Stack* destination = Lookup(g_stacks, args, 0);
    CDS_Stack* source = destination ? Lookup(g_stacks, args, 1) : nullptr;
    if (source) destination->Copy(source);
}
HV_BUILTIN(F_ds_stack_size) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) RValue_SetReal(&result, s->Size());
}
HV_BUILTIN(F_ds_stack_empty) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) RValue_SetFlag(&result, s->Empty());
}
HV_BUILTIN(F_ds_stack_push) {
    if (argc < 2) return DS_ReportMissing();
    if (CDS_Stack* s = Lookup(g_stacks, args, 0))
        for (int32_t i = 1; i < argc; ++i) s->Push(&args[i]);
}
HV_BUILTIN(F_ds_stack_pop) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) ReturnSlot(result, s->Pop());
}
HV_BUILTIN(F_ds_stack_top) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) ReturnSlot(result, s->Top());
}
HV_BUILTIN(F_ds_stack_write) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) ReturnText(result, s->Write());
}
HV_BUILTIN(F_ds_stack_read) {
    if (CDS_Stack* s = Lookup(g_stacks, args, 0)) s->Read(Arg_GetString(args, 1), LegacyFlag(argc, args));
}

// --- Queues -----------------------------------------------------------------------------

HV_BUILTIN(F_ds_queue_destroy) {
    DestroyLookedUp(g_queues, DSKIND_QUEUE, args);
}
HV_BUILTIN(F_ds_queue_copy) {
    CDS_Queue* destination = Lookup(g_queues, args, 0);
    CDS_Queue* source = destination ? Lookup(g_queues, args, 1) : nullptr;
    if (source) destination->Copy(source);
}
HV_BUILTIN(F_ds_queue_empty) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) RValue_SetFlag(&result, q->Empty());
}
HV_BUILTIN(F_ds_queue_head) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) ReturnSlot(result, q->Head());
}
HV_BUILTIN(F_ds_queue_tail) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) ReturnSlot(result, q->Tail());
}
HV_BUILTIN(F_ds_queue_write) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) ReturnText(result, q->Write());
}
HV_BUILTIN(F_ds_queue_read) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) q->Read(Arg_GetString(args, 1), LegacyFlag(argc, args));
}

// --- Lists ------------------------------------------------------------------------------

HV_BUILTIN(F_ds_list_destroy) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (index < 0 || index >= g_DsListTable.count) return DS_ReportMissing();
    DS_DestroyList(index);  // an index already freed is passed over in silence
}
HV_BUILTIN(F_ds_list_copy) {
    CDS_List* destination = Lookup(g_DsListTable, args, 0);
    CDS_List* source = destination ? Lookup(g_DsListTable, args, 1) : nullptr;
    if (source) destination->Copy(source);
}
HV_BUILTIN(F_ds_list_empty) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) RValue_SetFlag(&result, l->Empty());
}
HV_BUILTIN(F_ds_list_insert) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Insert(Arg_GetInt32(args, 1), &args[2]);
}
HV_BUILTIN(F_ds_list_replace) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Replace(Arg_GetInt32(args, 1), &args[2]);
}
HV_BUILTIN(F_ds_list_delete) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Delete(Arg_GetInt32(args, 1));
}
HV_BUILTIN(F_ds_list_find_index) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) RValue_SetReal(&result, l->FindIndex(&args[1]));
}
HV_BUILTIN(F_ds_list_find_value) {
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
HV_BUILTIN(F_ds_list_mark_as_list) {
    MarkListValue(result, args, DS_MARK_LIST);
}
HV_BUILTIN(F_ds_list_sort) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Sort(Arg_GetBool(args, 1));
}
HV_BUILTIN(F_ds_list_shuffle) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Shuffle();
}
HV_BUILTIN(F_ds_list_write) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) ReturnText(result, l->Write());
}
HV_BUILTIN(F_ds_list_read) {
    CDS_List* list = Lookup(g_DsListTable, args, 0);
    if (list == nullptr || (args[1].kind & VALUE_KIND_MASK) != VALUE_STRING) return;
    list->Read(Arg_GetString(args, 1), LegacyFlag(argc, args));
}
HV_BUILTIN(F_ds_list_set) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Set(Arg_GetInt32(args, 1), &args[2], nullptr);
}
HV_BUILTIN(F_ds_list_set_post) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Set(Arg_GetInt32(args, 1), &args[2], &result);
}
HV_BUILTIN(F_ds_list_set_pre) {
    CDS_List* list = Lookup(g_DsListTable, args, 0);
    if (list == nullptr) return;
    list->Set(Arg_GetInt32(args, 1), &args[2], nullptr);
    RValue_Assign(&result, &args[2]);
}

// --- Maps -------------------------------------------------------------------------------

HV_BUILTIN(F_ds_map_copy) {
    CDS_Map* destination = Lookup(g_DsMapTable, args, 0);
    CDS_Map* source = destination ? Lookup(g_DsMapTable, args, 1) : nullptr;
    if (source) destination->Copy(source);
}
HV_BUILTIN(F_ds_map_size) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) RValue_SetReal(&result, m->Size());
}
HV_BUILTIN(F_ds_map_empty) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) RValue_SetFlag(&result, m->Empty());
}
HV_BUILTIN(F_ds_map_set) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) m->Set(&args[1], &args[2], nullptr);
}
HV_BUILTIN(F_ds_map_set_pre) {
    RValue_Assign(&result, &args[2]);
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) m->Set(&args[1], &args[2], nullptr);
}
HV_BUILTIN(F_ds_map_set_post) {
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
HV_BUILTIN(F_ds_map_add_map) {
    AddNested(result, args, true, false);
}
HV_BUILTIN(F_ds_map_replace) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) RValue_SetFlag(&result, m->Replace(&args[1], &args[2]));
}
HV_BUILTIN(F_ds_map_replace_list) {
    AddNested(result, args, false, true);
}
HV_BUILTIN(F_ds_map_replace_map) {
    AddNested(result, args, true, true);
}
HV_BUILTIN(F_ds_map_delete) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) m->Delete(&args[1]);
}
HV_BUILTIN(F_ds_map_exists) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) RValue_SetFlag(&result, m->Exists(&args[1]));
}
HV_BUILTIN(F_ds_map_find_value) {
    CDS_Map* map = Lookup(g_DsMapTable, args, 0);
    const DSMapEntry* entry = map ? map->Find(&args[1]) : nullptr;
    if (entry != nullptr) ReturnMapSlot(result, &entry->value);
}
HV_BUILTIN(F_ds_map_find_previous) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) ReturnMapSlot(result, m->FindPrevious(&args[1]));
}
HV_BUILTIN(F_ds_map_find_next) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) ReturnMapSlot(result, m->FindNext(&args[1]));
}
HV_BUILTIN(F_ds_map_find_first) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) ReturnMapSlot(result, m->FindFirst());
}
HV_BUILTIN(F_ds_map_find_last) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) ReturnMapSlot(result, m->FindLast());
}
HV_BUILTIN(F_ds_map_write) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) ReturnText(result, m->Write());
}
HV_BUILTIN(F_ds_map_read) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) m->Read(Arg_GetString(args, 1), LegacyFlag(argc, args));
}
// Secure map files belong to the file formats; until they register their rows, these say so.
HV_BUILTIN(F_ds_map_secure_unavailable) {
    Runtime_ErrorNonFatal("%s() - secure map files are not available", Builtin_CurrentName());
}

// --- Priority queues --------------------------------------------------------------------

HV_BUILTIN(F_ds_priority_create) {
    RValue_SetReal(&result, StoreNew(g_priorities, new CDS_Priority()));
}
HV_BUILTIN(F_ds_priority_destroy) {
    DestroyLookedUp(g_priorities, DSKIND_PRIORITY, args);
}
HV_BUILTIN(F_ds_priority_clear) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) p->Clear();
}
HV_BUILTIN(F_ds_priority_copy) {
    CDS_Priority* destination = Lookup(g_priorities, args, 0);
    CDS_Priority* source = destination ? Lookup(g_priorities, args, 1) : nullptr;
    if (source) destination->Copy(source);
}
HV_BUILTIN(F_ds_priority_size) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) RValue_SetReal(&result, p->Size());
}
HV_BUILTIN(F_ds_priority_empty) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) RValue_SetFlag(&result, p->Empty());
}
HV_BUILTIN(F_ds_priority_add) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) p->Add(&args[1], &args[2]);
}
HV_BUILTIN(F_ds_priority_change_priority) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) p->ChangePriority(&args[1], &args[2]);
}
HV_BUILTIN(F_ds_priority_find_priority) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) ReturnSlot(result, p->FindPriority(&args[1]));
}
HV_BUILTIN(F_ds_priority_delete_value) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) p->DeleteValue(&args[1]);
}
HV_BUILTIN(F_ds_priority_delete_min) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) p->DeleteMin(&result);
}
HV_BUILTIN(F_ds_priority_find_min) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) ReturnSlot(result, p->FindMin());
}
HV_BUILTIN(F_ds_priority_delete_max) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) p->DeleteMax(&result);
}
HV_BUILTIN(F_ds_priority_find_max) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) ReturnSlot(result, p->FindMax());
}
HV_BUILTIN(F_ds_priority_write) {
    if (CDS_Priority* p = Lookup(g_priorities, args, 0)) ReturnText(result, p->Write());
}
// Unlike the other kinds, the legacy flag is taken as a truth value (0.7 counts).
HV_BUILTIN(F_ds_priority_read) {
    CDS_Priority* queue = Lookup(g_priorities, args, 0);
    if (queue == nullptr) return;
    const char* text = Arg_GetString(args, 1);
    queue->Read(text, argc == 3 && Arg_GetBool(args, 2));
}

// --- Grids ------------------------------------------------------------------------------

void ReportGridSize(const char* name, int32_t width, int32_t height) {
    Runtime_ErrorNonFatal("%s :: cannot make a grid of %d x %d cells", name, width, height);
}

HV_BUILTIN(F_ds_grid_create) {
    const int32_t width = Arg_GetInt32(args, 0);
    const int32_t height = Arg_GetInt32(args, 1);
    const int32_t index = DS_CreateGrid(width, height);
    if (index < 0) ReportGridSize("ds_grid_create", width, height);
    RValue_SetReal(&result, index);
}
HV_BUILTIN(F_ds_grid_destroy) {
    DestroyLookedUp(g_grids, DSKIND_GRID, args);
}
HV_BUILTIN(F_ds_grid_copy) {
    CDS_Grid* destination = Lookup(g_grids, args, 0);
    CDS_Grid* source = destination ? Lookup(g_grids, args, 1) : nullptr;
    if (source) destination->Copy(source);
}
HV_BUILTIN(F_ds_grid_resize) {
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
HV_BUILTIN(F_ds_grid_width) {
    RValue_SetReal(&result, 0.0);
    if (CDS_Grid* g = Lookup(g_grids, args, 0)) RValue_SetReal(&result, g->Width());
}
HV_BUILTIN(F_ds_grid_height) {
    RValue_SetReal(&result, 0.0);
    if (CDS_Grid* g = Lookup(g_grids, args, 0)) RValue_SetReal(&result, g->Height());
}
HV_BUILTIN(F_ds_grid_clear) {
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

HV_BUILTIN(F_ds_grid_set) {
    int32_t x, y;
    if (CDS_Grid* g = CheckedCell(args, &x, &y)) g->SetCell(x, y, &args[3]);
}
HV_BUILTIN(F_ds_grid_get) {
    int32_t x, y;
    if (CDS_Grid* g = CheckedCell(args, &x, &y)) ReturnSlot(result, g->Cell(x, y));
}
HV_BUILTIN(F_ds_grid_set_pre) {
    int32_t x, y;
    CDS_Grid* grid = CheckedCell(args, &x, &y);
    if (grid == nullptr) return;
    grid->SetCell(x, y, &args[3]);
    RValue_Assign(&result, grid->Cell(x, y));
}
HV_BUILTIN(F_ds_grid_set_post) {
    int32_t x, y;
    CDS_Grid* grid = CheckedCell(args, &x, &y);
    if (grid == nullptr) return;
    RValue_Assign(&result, grid->Cell(x, y));
    grid->SetCell(x, y, &args[3]);
}

// The release-mode accessors: no lookup message and no bounds line, but a missing grid or a
// cell outside it is still never touched.
HV_BUILTIN(F_ds_grid_set_unchecked) {
    CDS_Grid* grid = g_grids.Get(Arg_GetInt32(args, 0));
    const int32_t x = Arg_GetInt32(args, 1), y = Arg_GetInt32(args, 2);
    if (grid != nullptr && grid->InBounds(x, y)) grid->SetCell(x, y, &args[3]);
}
HV_BUILTIN(F_ds_grid_get_unchecked) {
    CDS_Grid* grid = g_grids.Get(Arg_GetInt32(args, 0));
    const int32_t x = Arg_GetInt32(args, 1), y = Arg_GetInt32(args, 2);
    if (grid != nullptr && grid->InBounds(x, y)) ReturnSlot(result, grid->Cell(x, y));
}

template <int32_t Operation>
HV_BUILTIN(F_ds_grid_operate_cell) {
    const int32_t index = Arg_GetInt32(args, 0);
    CDS_Grid* grid = g_grids.Get(index);
    if (grid == nullptr) return DS_ReportMissing();
    grid->OperateCell(index, Operation, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), &args[3]);
}
template <int32_t Operation>
HV_BUILTIN(F_ds_grid_operate_region) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->OperateRegion(Operation, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                         Arg_GetInt32(args, 4), &args[5]);
}
template <int32_t Operation>
HV_BUILTIN(F_ds_grid_operate_disk) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->OperateDisk(Operation, Arg_GetReal(args, 1), Arg_GetReal(args, 2), Arg_GetReal(args, 3), &args[4]);
}
template <int32_t Operation>
HV_BUILTIN(F_ds_grid_operate_grid_region) {
    CDS_Grid* grid = Lookup(g_grids, args, 0);
    CDS_Grid* source = grid ? Lookup(g_grids, args, 1) : nullptr;
    if (source == nullptr) return;
    grid->OperateGridRegion(Operation, source, Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                            Arg_GetInt32(args, 4), Arg_GetInt32(args, 5), Arg_GetInt32(args, 6),
                            Arg_GetInt32(args, 7));
}

HV_BUILTIN(F_ds_grid_get_sum) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->SumRegion(&result, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                     Arg_GetInt32(args, 4));
}
HV_BUILTIN(F_ds_grid_get_mean) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->MeanRegion(&result, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                      Arg_GetInt32(args, 4));
}
HV_BUILTIN(F_ds_grid_get_max) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->MaxRegion(&result, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                     Arg_GetInt32(args, 4), "ds_grid_get_max");
}
HV_BUILTIN(F_ds_grid_get_min) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->MinRegion(&result, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                     Arg_GetInt32(args, 4), "ds_grid_get_min");
}
HV_BUILTIN(F_ds_grid_get_disk_sum) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->SumDisk(&result, Arg_GetReal(args, 1), Arg_GetReal(args, 2), Arg_GetReal(args, 3));
}
HV_BUILTIN(F_ds_grid_get_disk_mean) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->MeanDisk(&result, Arg_GetReal(args, 1), Arg_GetReal(args, 2), Arg_GetReal(args, 3));
}
HV_BUILTIN(F_ds_grid_get_disk_max) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->MaxDisk(&result, Arg_GetReal(args, 1), Arg_GetReal(args, 2), Arg_GetReal(args, 3),
                   "ds_grid_get_disk_max");
}
HV_BUILTIN(F_ds_grid_get_disk_min) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->MinDisk(&result, Arg_GetReal(args, 1), Arg_GetReal(args, 2), Arg_GetReal(args, 3),
                   "ds_grid_get_disk_min");
}
template <CDS_Grid::SearchResult What>
HV_BUILTIN(F_ds_grid_value_region) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->ValueRegion(&result, What, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), Arg_GetInt32(args, 3),
                       Arg_GetInt32(args, 4), &args[5]);
}
template <CDS_Grid::SearchResult What>
HV_BUILTIN(F_ds_grid_value_disk) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0))
        g->ValueDisk(&result, What, Arg_GetReal(args, 1), Arg_GetReal(args, 2), Arg_GetReal(args, 3),
                     &args[4]);
}
HV_BUILTIN(F_ds_grid_shuffle) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0)) g->Shuffle();
}
HV_BUILTIN(F_ds_grid_write) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0)) ReturnText(result, g->Write());
}
HV_BUILTIN(F_ds_grid_read) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0)) g->Read(Arg_GetString(args, 1), LegacyFlag(argc, args));
}
HV_BUILTIN(F_ds_grid_sort) {
    if (CDS_Grid* g = Lookup(g_grids, args, 0)) g->Sort(Arg_GetInt32(args, 1), Arg_GetBool(args, 2) ? 1 : -1);
}

constexpr BuiltinRow kRows[] = {
    {"ds_set_precision", F_ds_set_precision, 1, 1},
    {"ds_exists", F_ds_exists, 2, 1},

    {"ds_stack_create", F_ds_stack_create, 0, 1},
    {"ds_stack_destroy", F_ds_stack_destroy, 1, 1},
    {"ds_stack_clear", F_ds_stack_clear, 1, 1},
    {"ds_stack_copy", F_ds_stack_copy, 2, 1},
    {"ds_stack_size", F_ds_stack_size, 1, 1},
    {"ds_stack_empty", F_ds_stack_empty, 1, 1},
    {"ds_stack_push", F_ds_stack_push, -1, 1},
    {"ds_stack_pop", F_ds_stack_pop, 1, 1},
    {"ds_stack_top", F_ds_stack_top, 1, 1},
    {"ds_stack_write", F_ds_stack_write, 1, 1},
    {"ds_stack_read", F_ds_stack_read, 2, 1},

    {"ds_queue_create", F_ds_queue_create, 0, 1},
    {"ds_queue_destroy", F_ds_queue_destroy, 1, 1},
    {"ds_queue_clear", F_ds_queue_clear, 1, 1},
    {"ds_queue_copy", F_ds_queue_copy, 2, 1},
    {"ds_queue_size", F_ds_queue_size, 1, 1},
    {"ds_queue_empty", F_ds_queue_empty, 1, 1},
    {"ds_queue_enqueue", F_ds_queue_enqueue, -1, 1},
    {"ds_queue_dequeue", F_ds_queue_dequeue, 1, 1},
    {"ds_queue_head", F_ds_queue_head, 1, 1},
    {"ds_queue_tail", F_ds_queue_tail, 1, 1},
    {"ds_queue_write", F_ds_queue_write, 1, 1},
    {"ds_queue_read", F_ds_queue_read, 2, 1},

    {"ds_list_create", F_ds_list_create, 0, 1},
    {"ds_list_destroy", F_ds_list_destroy, 1, 1},
    {"ds_list_clear", F_ds_list_clear, 1, 1},
    {"ds_list_copy", F_ds_list_copy, 2, 1},
    {"ds_list_size", F_ds_list_size, 1, 1},
    {"ds_list_empty", F_ds_list_empty, 1, 1},
    {"ds_list_add", F_ds_list_add, -1, 1},
    {"ds_list_insert", F_ds_list_insert, 3, 1},
    {"ds_list_replace", F_ds_list_replace, 3, 1},
    {"ds_list_delete", F_ds_list_delete, 2, 1},
    {"ds_list_find_index", F_ds_list_find_index, 2, 1},
    {"ds_list_find_value", F_ds_list_find_value, 2, 1},
    {"ds_list_mark_as_list", F_ds_list_mark_as_list, 2, 1},
    {"ds_list_mark_as_map", F_ds_list_mark_as_map, 2, 1},
    {"ds_list_sort", F_ds_list_sort, 2, 1},
    {"ds_list_shuffle", F_ds_list_shuffle, 1, 1},
    {"ds_list_write", F_ds_list_write, 1, 1},
    {"ds_list_read", F_ds_list_read, 2, 1},
    {"ds_list_set", F_ds_list_set, 3, 1},
    {"ds_list_set_post", F_ds_list_set_post, 3, 1},
    {"ds_list_set_pre", F_ds_list_set_pre, 3, 1},

    {"ds_map_create", F_ds_map_create, 0, 1},
    {"ds_map_destroy", F_ds_map_destroy, 1, 1},
    {"ds_map_clear", F_ds_map_clear, 1, 1},
    {"ds_map_copy", F_ds_map_copy, 2, 1},
    {"ds_map_size", F_ds_map_size, 1, 1},
    {"ds_map_empty", F_ds_map_empty, 1, 1},
    {"ds_map_add", F_ds_map_add, 3, 1},
    {"ds_map_set", F_ds_map_set, 3, 1},
    {"ds_map_set_pre", F_ds_map_set_pre, 3, 1},
    {"ds_map_set_post", F_ds_map_set_post, 3, 1},
    {"ds_map_add_list", F_ds_map_add_list, 3, 1},
    {"ds_map_add_map", F_ds_map_add_map, 3, 1},
    {"ds_map_replace", F_ds_map_replace, 3, 1},
    {"ds_map_replace_list", F_ds_map_replace_list, 3, 1},
    {"ds_map_replace_map", F_ds_map_replace_map, 3, 1},
    {"ds_map_delete", F_ds_map_delete, 2, 1},
    {"ds_map_exists", F_ds_map_exists, 2, 1},
    {"ds_map_find_value", F_ds_map_find_value, 2, 1},
    {"ds_map_find_previous", F_ds_map_find_previous, 2, 1},
    {"ds_map_find_next", F_ds_map_find_next, 2, 1},
    {"ds_map_find_first", F_ds_map_find_first, 1, 1},
    {"ds_map_find_last", F_ds_map_find_last, 1, 1},
    {"ds_map_write", F_ds_map_write, 1, 1},
    {"ds_map_read", F_ds_map_read, 2, 1},
    {"ds_map_secure_save", F_ds_map_secure_unavailable, 2, 1},
    {"ds_map_secure_load", F_ds_map_secure_unavailable, 1, 1},
    {"ds_map_secure_load_buffer", F_ds_map_secure_unavailable, 1, 1},
    {"ds_map_secure_save_buffer", F_ds_map_secure_unavailable, 2, 1},

    {"ds_priority_create", F_ds_priority_create, 0, 1},
    {"ds_priority_destroy", F_ds_priority_destroy, 1, 1},
    {"ds_priority_clear", F_ds_priority_clear, 1, 1},
    {"ds_priority_copy", F_ds_priority_copy, 2, 1},
    {"ds_priority_size", F_ds_priority_size, 1, 1},
    {"ds_priority_empty", F_ds_priority_empty, 1, 1},
    {"ds_priority_add", F_ds_priority_add, 3, 1},
    {"ds_priority_change_priority", F_ds_priority_change_priority, 3, 1},
    {"ds_priority_find_priority", F_ds_priority_find_priority, 2, 1},
    {"ds_priority_delete_value", F_ds_priority_delete_value, 2, 1},
    {"ds_priority_delete_min", F_ds_priority_delete_min, 1, 1},
    {"ds_priority_find_min", F_ds_priority_find_min, 1, 1},
    {"ds_priority_delete_max", F_ds_priority_delete_max, 1, 1},
    {"ds_priority_find_max", F_ds_priority_find_max, 1, 1},
    {"ds_priority_write", F_ds_priority_write, 1, 1},
    {"ds_priority_read", F_ds_priority_read, 2, 1},

    {"ds_grid_create", F_ds_grid_create, 2, 1},
    {"ds_grid_destroy", F_ds_grid_destroy, 1, 1},
    {"ds_grid_copy", F_ds_grid_copy, 2, 1},
    {"ds_grid_resize", F_ds_grid_resize, 3, 1},
    {"ds_grid_width", F_ds_grid_width, 1, 1},
    {"ds_grid_height", F_ds_grid_height, 1, 1},
    {"ds_grid_clear", F_ds_grid_clear, 2, 1},
    {"ds_grid_set", F_ds_grid_set, 4, 1},
    {"ds_grid_set_pre", F_ds_grid_set_pre, 4, 1},
    {"ds_grid_set_post", F_ds_grid_set_post, 4, 1},
    {"ds_grid_add", F_ds_grid_operate_cell<2>, 4, 1},
    {"ds_grid_multiply", F_ds_grid_operate_cell<3>, 4, 1},
    {"ds_grid_set_region", F_ds_grid_operate_region<1>, 6, 1},
    {"ds_grid_add_region", F_ds_grid_operate_region<2>, 6, 1},
    {"ds_grid_multiply_region", F_ds_grid_operate_region<3>, 6, 1},
    {"ds_grid_set_disk", F_ds_grid_operate_disk<1>, 5, 1},
    {"ds_grid_add_disk", F_ds_grid_operate_disk<2>, 5, 1},
    {"ds_grid_multiply_disk", F_ds_grid_operate_disk<3>, 5, 1},
    {"ds_grid_set_grid_region", F_ds_grid_operate_grid_region<1>, 8, 1},
    {"ds_grid_add_grid_region", F_ds_grid_operate_grid_region<2>, 8, 1},
    {"ds_grid_multiply_grid_region", F_ds_grid_operate_grid_region<3>, 8, 1},
    {"ds_grid_get", F_ds_grid_get, 3, 1},
    {"ds_grid_get_sum", F_ds_grid_get_sum, 5, 1},
    {"ds_grid_get_max", F_ds_grid_get_max, 5, 1},
    {"ds_grid_get_min", F_ds_grid_get_min, 5, 1},
    {"ds_grid_get_mean", F_ds_grid_get_mean, 5, 1},
    {"ds_grid_get_disk_sum", F_ds_grid_get_disk_sum, 4, 1},
    {"ds_grid_get_disk_max", F_ds_grid_get_disk_max, 4, 1},
    {"ds_grid_get_disk_min", F_ds_grid_get_disk_min, 4, 1},
    {"ds_grid_get_disk_mean", F_ds_grid_get_disk_mean, 4, 1},
    {"ds_grid_value_exists", F_ds_grid_value_region<CDS_Grid::SEARCH_EXISTS>, 6, 1},
    {"ds_grid_value_x", F_ds_grid_value_region<CDS_Grid::SEARCH_X>, 6, 1},
    {"ds_grid_value_y", F_ds_grid_value_region<CDS_Grid::SEARCH_Y>, 6, 1},
    {"ds_grid_value_disk_exists", F_ds_grid_value_disk<CDS_Grid::SEARCH_EXISTS>, 5, 1},
    {"ds_grid_value_disk_x", F_ds_grid_value_disk<CDS_Grid::SEARCH_X>, 5, 1},
    {"ds_grid_value_disk_y", F_ds_grid_value_disk<CDS_Grid::SEARCH_Y>, 5, 1},
    {"ds_grid_shuffle", F_ds_grid_shuffle, 1, 1},
    {"ds_grid_write", F_ds_grid_write, 1, 1},
    {"ds_grid_read", F_ds_grid_read, 2, 1},
    {"ds_grid_sort", F_ds_grid_sort, 3, 1},
};
static_assert(sizeof kRows / sizeof kRows[0] == 130, "the ds family has 130 built-ins");

}  // namespace

// --- Built-ins the native helpers also run ----------------------------------------------

void DS_ReportMissing() {
    Runtime_ErrorNonFatal("Data structure with index does not exist.");
}

HV_BUILTIN(F_ds_map_create) {
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
HV_BUILTIN(F_ds_map_destroy) {
    const int32_t index = Arg_GetInt32(args, 0);
    if (index < 0 || index >= g_DsMapTable.count) return DS_ReportMissing();
    DS_DestroyMap(index);  // an index already freed is passed over in silence
}
HV_BUILTIN(F_ds_map_clear) {
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) m->Clear();
}
HV_BUILTIN(F_ds_map_add) {
    RValue_SetReal(&result, 0.0);
    if (CDS_Map* m = Lookup(g_DsMapTable, args, 0)) RValue_SetFlag(&result, m->Add(&args[1], &args[2]));
}
HV_BUILTIN(F_ds_map_add_list) {
    AddNested(result, args, false, false);
}
HV_BUILTIN(F_ds_list_create) {
    const int32_t index = DS_AllocListSlot();
    g_DsListTable.Store(index, new CDS_List());
    RValue_SetReal(&result, index);
}
HV_BUILTIN(F_ds_list_clear) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) l->Clear();
}
HV_BUILTIN(F_ds_list_add) {
    if (argc < 2) return DS_ReportMissing();
    if (CDS_List* l = Lookup(g_DsListTable, args, 0))
        for (int32_t i = 1; i < argc; ++i) l->Add(&args[i]);
}
HV_BUILTIN(F_ds_list_size) {
    if (CDS_List* l = Lookup(g_DsListTable, args, 0)) RValue_SetReal(&result, l->Size());
}
HV_BUILTIN(F_ds_list_mark_as_map) {
    MarkListValue(result, args, DS_MARK_MAP);
}
HV_BUILTIN(F_ds_queue_create) {
    RValue_SetReal(&result, StoreNew(g_queues, new CDS_Queue()));
}
HV_BUILTIN(F_ds_queue_enqueue) {
    if (argc < 2) return DS_ReportMissing();
    if (CDS_Queue* q = Lookup(g_queues, args, 0))
        for (int32_t i = 1; i < argc; ++i) q->Enqueue(&args[i]);
}
HV_BUILTIN(F_ds_queue_dequeue) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) ReturnSlot(result, q->Dequeue());
}
HV_BUILTIN(F_ds_queue_size) {
    if (CDS_Queue* q = Lookup(g_queues, args, 0)) RValue_SetReal(&result, q->Size());
}
HV_BUILTIN(F_ds_queue_clear) {
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

void DS_SetGridBoundsChecking(bool checked) {
    g_DSGridCheckedMode = checked;
    Code_Function_Replace("ds_grid_set", checked ? F_ds_grid_set : F_ds_grid_set_unchecked);
    Code_Function_Replace("ds_grid_get", checked ? F_ds_grid_get : F_ds_grid_get_unchecked);
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
