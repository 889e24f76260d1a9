#include "world/Object_Main.h"

#include <cstdio>
#include <cstring>

#include "core/Console.h"
#include "core/Hash.h"
#include "world/Event_Main.h"
#include "base/GameFile.h"
#include "world/Run.h"

namespace {
constexpr int32_t kTableBuckets = 512;

CHash<CObjectHV>* g_objects = nullptr;
int32_t g_objectCount = 0;

CHash<CObjectHV>& Table() {
    if (g_objects == nullptr) g_objects = new CHash<CObjectHV>(kTableBuckets);
    return *g_objects;
}
}  // namespace

void Object_Init() {
    Object_FreeAll();
    Table();
}

void Object_Load(ChunkView& chunk) {
    const uint32_t count = chunk.Count(0, 4);
    if (!chunk.Ok()) return;
    Object_FreeAll();
    g_objectCount = static_cast<int32_t>(count);
    for (uint32_t i = 0; i < count && chunk.Ok(); ++i) {
        const uint32_t entry = chunk.U32(4 + 4 * i);
        if (entry == 0) continue;
        auto* object = new CObjectHV(static_cast<int32_t>(i));
        object->LoadFromChunk(chunk, entry, g_objectCount);
        object->SetName(chunk.RequiredString(chunk.FileU32(entry)));
        Table().Insert(static_cast<int32_t>(i), object);
    }
    Object_LinkParents();
}

bool Object_Prepare() {
    ErrorConsole.Output("Preparing %d objects:\n", g_objectCount);
    bool ok = true;
    Object_ForEach([&](CObjectHV* object) {
        if (!ok) return;
        ErrorConsole.Output("\tObjects %d: %s\n", object->Index(), object->Name());
        g_CurrentEvent.object = object->Index();
        ok = object->Compile();
    });
    if (!ok) return false;
    Object_LinkParents();
    return true;
}

int32_t Object_Count() {
    return g_objectCount;
}

bool Object_Exists(int32_t index) {
    return Object_Find(index) != nullptr;
}

CObjectHV* Object_Find(int32_t index) {
    if (g_objects == nullptr || index < 0) return nullptr;
    return g_objects->Find(index);
}

const char* Object_GetName(int32_t index) {
    const CObjectHV* object = Object_Find(index);
    return object != nullptr ? object->Name() : "<undefined>";
}

int32_t Object_FindByName(const char* name) {
    if (name == nullptr) return -1;
    int32_t found = -1;
    Object_ForEach([&](CObjectHV* object) {
        if (found < 0 && std::strcmp(object->Name(), name) == 0) found = object->Index();
    });
    return found;
}

int32_t Object_Add() {
    const int32_t index = g_objectCount;
    auto* object = new CObjectHV(index);
    char name[32];
    std::snprintf(name, sizeof name, "__newobject%d", index);
    object->SetName(name);
    Table().Insert(index, object);
    ++g_objectCount;
    return index;
}

bool Object_Delete(int32_t index) {
    CObjectHV* doomed = Object_Find(index);
    if (doomed == nullptr) return true;
    // Children keep their parent index (which now names nothing) but must not keep a
    // reference to the freed record.
    Object_ForEach([&](CObjectHV* object) {
        if (object->parent == doomed) object->parent = nullptr;
    });
    // The instances it lists leave its ancestors' lists too, and its own instances keep their
    // index but lose the record.
    int32_t steps = Object_Count();
    for (CObjectHV* ancestor = doomed->parent; ancestor != nullptr && steps-- >= 0;
         ancestor = ancestor->parent)
        for (auto* node = doomed->instancesRecursive.First(); node != nullptr; node = node->next)
            ancestor->instancesRecursive.Remove(node->item);
    Run_ForgetObject(doomed);
    g_objects->DeleteDispose(index, HashDispose_Delete);
    return true;
}

void Object_LinkParents() {
    Object_ForEach([](CObjectHV* object) {
        if (object->parentIndex < 0 || object->parentIndex > 99999) return;
        CObjectHV* parent = Object_Find(object->parentIndex);
        if (parent != nullptr) object->parent = parent;
    });
}

void Object_ClearInstanceLists() {
    Object_ForEach([](CObjectHV* object) { object->FreeInstanceLists(); });
}

void Object_FreeAll() {
    if (g_objects != nullptr) {
        g_objects->Clear(HashDispose_Delete);
        delete g_objects;
        g_objects = nullptr;
    }
    g_objectCount = 0;
}

CObjectHV* Object_IterateFirst(CHashIterator& it) {
    it = CHashIterator();
    if (g_objects == nullptr) {
        it.node = nullptr;
        return nullptr;
    }
    return g_objects->IteratorFirst(it);
}

CObjectHV* Object_IterateNext(CHashIterator& it) {
    return g_objects->IteratorNext(it);
}
