// The object table: objects by index, read from "OBJT", prepared at start-up, grown by
// object_add and thinned by object_delete. A deleted object's index is never handed out again.
#pragma once

#include <cstdint>

#include "core/Hash.h"
#include "world/Object_Class.h"

// Empty table, count 0 (before the chunks are read).
void Object_Init();
// The "OBJT" reader.
void Object_Load(ChunkView& chunk);
// "Object_Prepare() ": compiles every handler; true on success.
bool Object_Prepare();

// Slots: one more than the highest index ever made.
int32_t Object_Count();
bool Object_Exists(int32_t index);
CObjectHV* Object_Find(int32_t index);
// "<undefined>" when the index names no object.
const char* Object_GetName(int32_t index);
// The first object in table order with exactly that name (case-sensitive), or -1.
int32_t Object_FindByName(const char* name);

int32_t Object_Add();
bool Object_Delete(int32_t index);

// Resolves every parent index that names an object into its parent reference.
void Object_LinkParents();
// Empties every object's instance lists without touching the instances (game load).
void Object_ClearInstanceLists();
// Shutdown: every object destroyed, the table emptied.
void Object_FreeAll();

// Walks the table in its order (bucket by bucket).
template <typename Visit>
void Object_ForEach(Visit visit);

// Implementation detail of Object_ForEach.
CObjectHV* Object_IterateFirst(CHashIterator& it);
CObjectHV* Object_IterateNext(CHashIterator& it);

template <typename Visit>
void Object_ForEach(Visit visit) {
    CHashIterator it;
    for (CObjectHV* object = Object_IterateFirst(it); it.node != nullptr; object = Object_IterateNext(it))
        if (object != nullptr) visit(object);
}
