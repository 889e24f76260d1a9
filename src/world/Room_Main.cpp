#include "world/Room_Main.h"

#include <cstdio>
#include <cstring>

#include "core/MemoryManager.h"
#include "core/ResourceTable.h"
#include "base/GEN8.h"
#include "base/GameFile.h"
#include "world/Room_Services.h"
#include "world/World_Step.h"
#include "world/Run.h"

namespace {

ResourceTable<CRoom> g_rooms;
char** g_names = nullptr;
int32_t* g_order = nullptr;
int32_t g_orderCount = 0;
int32_t g_lastInstanceId = 0;
int32_t g_lastTileId = 0;


void ResizeTable(int32_t count) {
    for (int32_t i = count; i < g_rooms.count; ++i) {
        delete g_rooms.slots[i];
        MEM_FREE(g_names[i]);
    }
    if (count == 0) {
        MEM_FREE(g_rooms.slots);
        MEM_FREE(g_names);
        g_rooms.slots = nullptr;
        g_names = nullptr;
    } else {
        g_rooms.slots = static_cast<CRoom**>(MEM_REALLOC(g_rooms.slots, count * sizeof(CRoom*)));
        g_names = static_cast<char**>(MEM_REALLOC(g_names, count * sizeof(char*)));
    }
    g_rooms.count = count;
}

// Appends an empty room that owns its records, named "__newroom" and its index.
int32_t AppendRoom() {
    const int32_t index = g_rooms.count;
    ResizeTable(g_rooms.count + 1);
    char name[128];
    std::snprintf(name, sizeof name, "__newroom%d", index);
    g_names[index] = MEM_COPY_TEXT(name);
    g_rooms.slots[index] = new CRoom();
    g_rooms.slots[index]->SetName(name);
    g_rooms.slots[index]->SetOwnsRecords();
    return index;
}

void FreeOrder() {
    MEM_FREE(g_order);
    g_order = nullptr;
    g_orderCount = 0;
}

}  // namespace

void Room_Init() {
    Room_FreeAll();
    ROOM_SERVICE(resetDisplayMapping);
}

void Room_Load(ChunkView& chunk) {
    const uint32_t count = chunk.Count(0, 4);
    if (!chunk.Ok()) return;
    ResizeTable(0);
    ResizeTable(static_cast<int32_t>(count));
    for (uint32_t i = 0; i < count; ++i) {
        g_rooms.slots[i] = nullptr;
        g_names[i] = nullptr;
    }
    for (uint32_t i = 0; i < count && chunk.Ok(); ++i) {
        const uint32_t entry = chunk.U32(4 + 4 * i);
        if (entry == 0) continue;
        auto* room = new CRoom();
        g_rooms.slots[i] = room;
        room->LoadFromChunk(chunk, entry);
        g_names[i] = MEM_COPY_TEXT(room->Name());
    }
    Room_SetOrder();
    Room_SetLastInstanceID(g_GameHeader.lastInstanceId);
    Room_SetLastTileID(g_GameHeader.lastTileId);
}

void Room_SetOrder() {
    FreeOrder();
    if (g_GameHeader.roomCount <= 0 || g_GameHeader.roomOrder == nullptr) return;
    g_orderCount = g_GameHeader.roomCount;
    g_order = static_cast<int32_t*>(MEM_ALLOC(g_orderCount * sizeof(int32_t)));
    std::memcpy(g_order, g_GameHeader.roomOrder, g_orderCount * sizeof(int32_t));
}

void Room_SetLastInstanceID(int32_t id) {
    g_lastInstanceId = id;
}
void Room_SetLastTileID(int32_t id) {
    g_lastTileId = id;
}
int32_t Room_NextInstanceID() {
    return ++g_lastInstanceId;
}
int32_t Room_NextTileID() {
    return ++g_lastTileId;
}
int32_t Room_LastInstanceID() {
    return g_lastInstanceId;
}
int32_t Room_LastTileID() {
    return g_lastTileId;
}

bool Room_Prepare() {
    return true;
}

int32_t Room_Count() {
    return g_rooms.count;
}
bool Room_Exists(int32_t index) {
    return Room_Get(index) != nullptr;
}
CRoom* Room_Get(int32_t index) {
    return g_rooms.Get(index);
}

const char* Room_GetName(int32_t index) {
    return Room_Exists(index) && g_names[index] != nullptr ? g_names[index] : "<undefined>";
}

int32_t Room_FindByName(const char* name) {
    if (name == nullptr) return -1;
    for (int32_t i = 0; i < g_rooms.count; ++i)
        if (g_rooms.slots[i] != nullptr && g_names[i] != nullptr && std::strcmp(g_names[i], name) == 0)
            return i;
    return -1;
}

int32_t Room_First() {
    return g_orderCount > 0 ? g_order[0] : -1;
}
int32_t Room_Last() {
    return g_orderCount > 0 ? g_order[g_orderCount - 1] : -1;
}

int32_t Room_Previous(int32_t room) {
    if (g_orderCount < 2) return -1;
    for (int32_t p = 0; p < g_orderCount; ++p)
        if (g_order[p] == room) return p > 0 ? g_order[p - 1] : -1;
    return -1;
}

int32_t Room_Next(int32_t room) {
    if (g_orderCount < 2) return -1;
    for (int32_t p = g_orderCount - 1; p >= 0; --p)
        if (g_order[p] == room) return p < g_orderCount - 1 ? g_order[p + 1] : -1;
    return -1;
}

int32_t Room_Add() {
    const int32_t index = AppendRoom();
    g_rooms.slots[index]->speed = 30;
    return index;
}

int32_t Room_Duplicate(int32_t index) {
    if (!Room_Exists(index)) return -1;
    const int32_t copy = AppendRoom();
    g_rooms.slots[copy]->CopyFrom(g_rooms.slots[index], false);
    return copy;
}

bool Room_Assign(int32_t index, int32_t source) {
    if (!Room_Exists(index) || !Room_Exists(source)) return false;
    // The new definition keeps records of its own and no live instances: instances held by a
    // definition would be made a second time, with the same ids, when the room is entered.
    auto* room = new CRoom();
    room->SetName(g_rooms.slots[index]->Name());
    room->SetOwnsRecords();
    room->CopyFrom(g_rooms.slots[source], false);
    delete g_rooms.slots[index];
    g_rooms.slots[index] = room;
    return true;
}

void Room_FreeAll() {
    Run_SetCurrentRoom(nullptr);
    ResizeTable(0);
    FreeOrder();
    g_FrameTiming.stepCount = 0;
}
