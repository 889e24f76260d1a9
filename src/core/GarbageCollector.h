// The collector of object-base objects: one table of every registered object, a mark pass
// from the roots, and a sweep that frees what nothing reached. Runs in object mode only.
#pragma once

#include <cstdint>

#include "core/Value.h"

class PWObjectBase;

// --- The collector's object table -------------------------------------------------------

// The object's collector slot, or -1 when no free entry was found.
int32_t GCTable_Add(PWObjectBase* object);
// Empties an entry (the object's own slot); -1 does nothing.
void GCTable_Remove(int32_t slot);
int32_t GCTable_Count();
int32_t GCTable_Capacity();
PWObjectBase* GCTable_Entry(int32_t slot);

// --- Marking ----------------------------------------------------------------------------

// One mark pass: the mark table (one byte per table entry) and the work stack of objects
// and arrays still to scan. Marking never recurses, so deep structures cannot exhaust the
// native stack.
struct GCMarkContext;

// Marks the object and everything it reaches: slots, variable-list keys and values, and the
// items of arrays (each array record scanned once per pass).
void GC_MarkObject(PWObjectBase* object, GCMarkContext& marker);
// Marks what a value reaches: an object or function reference, or an array's items.
void GC_MarkValue(const RValue* value, GCMarkContext& marker);

// --- Roots ------------------------------------------------------------------------------
// Besides the global object and the instances of the instance-id hash, modules that hold
// objects register their roots: the rooms (active and deactivated instances, the scratch
// instances of layer and camera scripts, and the instances of persistent rooms that are not
// current), the ds_* containers, the interpreter's live frames.

using GCRootEnumerator = void (*)(GCMarkContext& marker);
enum GCRootPhase : int32_t {
    GC_ROOTS_ALWAYS = 0,
    GC_ROOTS_WHILE_ROOM_CURRENT = 1,  // skipped when no room is current (the ds_* containers)
};
void GC_RegisterRoots(GCRootEnumerator enumerator, GCRootPhase phase);
void GC_UnregisterRoots(GCRootEnumerator enumerator);

// --- The pass ---------------------------------------------------------------------------

// With null: collect, freeing every registered object the roots do not reach; false. With
// an object: true when that object is unreachable now; nothing is freed. Outside object
// mode: false and nothing done.
bool VM_CollectGarbage(PWObjectBase* query);
// Number of passes run so far.
int64_t GC_PassNumber();
