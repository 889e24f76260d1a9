#include "world/Path_Main.h"

#include <cstdio>
#include <cstring>

#include "core/MemoryManager.h"
#include "base/Error_Report.h"
#include "base/GameFile.h"

namespace {

int32_t g_count = 0;
CPath** g_paths = nullptr;
char** g_names = nullptr;

bool InRange(int32_t index) {
    return index >= 0 && index < g_count;
}

// One more slot at the end; answers its index.
int32_t AppendSlot(CPath* path, char* name) {
    const int32_t index = g_count;
    g_paths = static_cast<CPath**>(MEM_REALLOC(g_paths, sizeof(CPath*) * static_cast<size_t>(index + 1)));
    g_names = static_cast<char**>(MEM_REALLOC(g_names, sizeof(char*) * static_cast<size_t>(index + 1)));
    g_paths[index] = path;
    g_names[index] = name;
    g_count = index + 1;
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
    g_paths[slot] = path;
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
    g_paths = static_cast<CPath**>(MEM_ALLOC(sizeof(CPath*) * count));
    g_names = static_cast<char**>(MEM_ALLOC(sizeof(char*) * count));
    g_count = static_cast<int32_t>(count);
    for (uint32_t i = 0; i < count; ++i) {
        g_paths[i] = nullptr;
        g_names[i] = nullptr;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t entry = chunk.U32(4 + 4 * i);
        if (entry != 0 && !LoadEntry(chunk, entry, static_cast<int32_t>(i))) return;
    }
}

int32_t Path_Count() {
    return g_count;
}

bool Path_Exists(int32_t index) {
    return Path_Get(index) != nullptr;
}

CPath* Path_Get(int32_t index) {
    return InRange(index) ? g_paths[index] : nullptr;
}

const char* Path_GetName(int32_t index) {
    if (!Path_Exists(index)) return "<undefined>";
    return g_names[index] != nullptr ? g_names[index] : "";
}

int32_t Path_FindByName(const char* name) {
    if (name == nullptr) return -1;
    for (int32_t i = 0; i < g_count; ++i)
        if (g_paths[i] != nullptr && g_names[i] != nullptr && std::strcmp(g_names[i], name) == 0) return i;
    return -1;
}

int32_t Path_Add() {
    return AppendSlot(new CPath(), NewPathName(g_count));
}

int32_t Path_Duplicate(int32_t index) {
    const CPath* source = Path_Get(index);
    if (source == nullptr) return -1;
    auto* copy = new CPath();
    copy->Assign(source);
    return AppendSlot(copy, NewPathName(g_count));
}

bool Path_Assign(int32_t target, int32_t source) {
    const CPath* from = Path_Get(source);
    if (from == nullptr || !InRange(target)) return false;
    if (target == source) {
        Error_Report("ERROR: Can not assign a path to itself!", false);
        return false;
    }
    if (g_paths[target] == nullptr) g_paths[target] = new CPath();
    g_paths[target]->Assign(from);
    return true;
}

bool Path_Delete(int32_t index) {
    if (!Path_Exists(index)) return false;
    delete g_paths[index];
    MEM_FREE(g_names[index]);
    g_paths[index] = nullptr;
    g_names[index] = nullptr;
    return true;
}

void Path_FreeAll() {
    for (int32_t i = 0; i < g_count; ++i) {
        delete g_paths[i];
        MEM_FREE(g_names[i]);
    }
    MEM_FREE(g_paths);
    MEM_FREE(g_names);
    g_paths = nullptr;
    g_names = nullptr;
    g_count = 0;
}

void Path_Draw(int32_t index, float x, float y, bool absolute) {
    if (const CPath* path = Path_Get(index)) path->Draw(x, y, absolute);
}
