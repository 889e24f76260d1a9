#include "world/Path_Main.h"

#include <cstdio>
#include <cstring>

#include "core/MemoryManager.h"
#include "core/ResourceTable.h"
#include "base/Error_Report.h"
#include "base/GameFile.h"

namespace {

ResourceTable<CPath> g_paths;
char** g_names = nullptr;

// One more slot at the end; answers its index.
int32_t AppendSlot(CPath* path, char* name) {
    const int32_t index = g_paths.count;
    g_paths.slots =
        static_cast<CPath**>(MEM_REALLOC(g_paths.slots, sizeof(CPath*) * static_cast<size_t>(index + 1)));
    g_names = static_cast<char**>(MEM_REALLOC(g_names, sizeof(char*) * static_cast<size_t>(index + 1)));
    g_paths.slots[index] = path;
    g_names[index] = name;
    g_paths.count = index + 1;
    return index;
}

char* NewPathName(int32_t index) {
    char name[32];
    std::snprintf(name, sizeof(name), "__newpath%d", index);
    return MEM_COPY_TEXT(name);
}

// One path entry of the chunk; false when it does not fit in the file.
bool LoadEntry(ChunkView& chunk, uint32_t entry, int32_t slot) {
    const char* name = chunk.String(chunk.FileU32(entry));
    const int32_t kind = chunk.FileI32(entry + 4);
    const bool closed = chunk.FileU32(entry + 8) != 0;
    const int32_t precision = chunk.FileI32(entry + 12);
    const uint32_t n = chunk.FileCount(entry + 16, 12);
    const uint8_t* points = n > 0 ? chunk.FileBytes(entry + 20, n * 12) : nullptr;
    if (!chunk.Ok()) return false;
    if (n > static_cast<uint32_t>(INT32_MAX) / 12) return chunk.Fail("path %d has too many points", slot);
    auto* path = new CPath();
    path->LoadFromChunk(kind, closed, precision, points, static_cast<int32_t>(n));
    g_paths.slots[slot] = path;
    g_names[slot] = MEM_COPY_TEXT(name != nullptr ? name : "");
    return true;
}

}  // namespace

void Path_Init() {
    Path_FreeAll();
}

void Path_Load(ChunkView& chunk) {
    Path_Init();
    const uint32_t count = chunk.Count(0, 4);
    if (!chunk.Ok() || count == 0) return;
    g_paths.slots = static_cast<CPath**>(MEM_ALLOC(sizeof(CPath*) * count));
    g_names = static_cast<char**>(MEM_ALLOC(sizeof(char*) * count));
    g_paths.count = static_cast<int32_t>(count);
    for (uint32_t i = 0; i < count; ++i) {
        g_paths.slots[i] = nullptr;
        g_names[i] = nullptr;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t entry = chunk.U32(4 + 4 * i);
        if (entry != 0 && !LoadEntry(chunk, entry, static_cast<int32_t>(i))) return;
    }
}

int32_t Path_Count() {
    return g_paths.count;
}

bool Path_Exists(int32_t index) {
    return Path_Get(index) != nullptr;
}

CPath* Path_Get(int32_t index) {
    return g_paths.Get(index);
}

const char* Path_GetName(int32_t index) {
    if (!Path_Exists(index)) return "<undefined>";
    return g_names[index] != nullptr ? g_names[index] : "";
}

int32_t Path_FindByName(const char* name) {
    if (name == nullptr) return -1;
    for (int32_t i = 0; i < g_paths.count; ++i)
        if (g_paths.slots[i] != nullptr && g_names[i] != nullptr && std::strcmp(g_names[i], name) == 0)
            return i;
    return -1;
}

int32_t Path_Add() {
    return AppendSlot(new CPath(), NewPathName(g_paths.count));
}

int32_t Path_Duplicate(int32_t index) {
    const CPath* source = Path_Get(index);
    if (source == nullptr) return -1;
    auto* copy = new CPath();
    copy->Assign(source);
    return AppendSlot(copy, NewPathName(g_paths.count));
}

bool Path_Assign(int32_t target, int32_t source) {
    const CPath* from = Path_Get(source);
    if (from == nullptr || !g_paths.InRange(target)) return false;
    if (target == source) {
        Error_Report("ERROR: Can not assign a path to itself!", false);
        return false;
    }
    if (g_paths.slots[target] == nullptr) g_paths.slots[target] = new CPath();
    g_paths.slots[target]->Assign(from);
    return true;
}

bool Path_Delete(int32_t index) {
    if (!Path_Exists(index)) return false;
    delete g_paths.slots[index];
    MEM_FREE(g_names[index]);
    g_paths.slots[index] = nullptr;
    g_names[index] = nullptr;
    return true;
}

void Path_FreeAll() {
    for (int32_t i = 0; i < g_paths.count; ++i) {
        delete g_paths.slots[i];
        MEM_FREE(g_names[i]);
    }
    MEM_FREE(g_paths.slots);
    MEM_FREE(g_names);
    g_paths.slots = nullptr;
    g_names = nullptr;
    g_paths.count = 0;
}

void Path_Draw(int32_t index, float x, float y, bool absolute) {
    if (const CPath* path = Path_Get(index)) path->Draw(x, y, absolute);
}

void Path_InstallChunkReader() {
    Form_RegisterChunkReader("PATH", ChunkReader{Path_Load, Path_Init, Path_FreeAll});
}
