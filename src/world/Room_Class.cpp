#include "world/Room_Class.h"

#include <cstring>

#include "core/CRuntimeCompat.h"
#include "core/Code_Main.h"
#include "core/Hash.h"
#include "core/InstanceWorld.h"
#include "core/MemoryManager.h"
#include "world/Event_Main.h"
#include "base/GEN8.h"
#include "base/GameFile.h"
#include "world/Room_Services.h"
#include "base/GameOptions.h"
#include "world/World_Step.h"
#include "world/Object_Main.h"
#include "world/Room_Main.h"
#include "world/Run.h"
#include "world/Collision_Main.h"
#include "world/World_Services.h"
#include "world/Physics_Services.h"

namespace {

constexpr int32_t kTileGrowth = 10;
constexpr int32_t kMassRemoval = 250;


void ReplaceText(char*& field, const char* text) {
    char* copy = MEM_COPY_TEXT(text);
    MEM_FREE(field);
    field = copy;
}

float AlphaOf(uint32_t colour) {
    return static_cast<float>(colour >> 24) / 255.0f;
}
int32_t BlendOf(uint32_t colour) {
    return static_cast<int32_t>(colour & 0xFFFFFF);
}

// Appends to a list kept in append order (the deactivated instances).
void AppendToList(InstanceList& list, CInstance* instance) {
    instance->depthNext = nullptr;
    instance->depthPrev = list.tail;
    if (list.tail)
        list.tail->depthNext = instance;
    else
        list.head = instance;
    list.tail = instance;
    ++list.count;
}

// Takes the instance out of the id table only when the table's entry is this instance.
void RemoveFromIdHash(CInstance* instance) {
    if (Instance_IdHash().Find(instance->id) == instance) Instance_IdHash().Delete(instance->id);
}

bool ObjectUsesPhysics(int32_t objectIndex) {
    const CObjectHV* object = Object_Find(objectIndex);
    return object != nullptr && object->physics.uses;
}

// A list of record offsets at `listAt`: fills a new table of pointers to records of `size`
// bytes inside the file. Answers the count (0 and no table for an empty or bad list).
template <typename Record>
int32_t ReadRecordTable(ChunkView& chunk, uint32_t listAt, Record*** table) {
    *table = nullptr;
    if (listAt == 0) return 0;
    const uint32_t count = chunk.FileCount(listAt, 4);
    if (!chunk.Ok() || count == 0) return 0;
    auto** records = static_cast<Record**>(MEM_ALLOC(count * sizeof(Record*)));
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t at = chunk.FileU32(listAt + 4 + 4 * i);
        uint8_t* bytes = chunk.FileBytes(at, sizeof(Record));
        if (bytes == nullptr || (at & 3u) != 0) {
            chunk.Fail("room record %u lies outside the file", i);
            MEM_FREE(records);
            return 0;
        }
        records[i] = reinterpret_cast<Record*>(bytes);
    }
    *table = records;
    return static_cast<int32_t>(count);
}

template <typename Record>
Record** CopyRecordTable(Record* const* source, int32_t count, int32_t extra) {
    if (count + extra == 0) return nullptr;
    auto** table = static_cast<Record**>(MEM_ALLOC((count + extra) * sizeof(Record*)));
    for (int32_t i = 0; i < count; ++i) {
        table[i] = static_cast<Record*>(MEM_ALLOC_RAW(sizeof(Record)));
        std::memcpy(table[i], source[i], sizeof(Record));
    }
    return table;
}

template <typename Record>
void FreeRecordTable(Record** table, int32_t count, bool ownsRecords) {
    if (ownsRecords)
        for (int32_t i = 0; i < count; ++i) MEM_FREE(table[i]);
    MEM_FREE(table);
}

void LoadBackground(ChunkView& chunk, uint32_t at, RoomBackground& b, const CRoom& room) {
    b.visible = chunk.FileU32(at) != 0;
    b.foreground = chunk.FileU32(at + 4) != 0;
    b.index = chunk.FileI32(at + 8);
    b.x = static_cast<float>(chunk.FileI32(at + 12));
    b.y = static_cast<float>(chunk.FileI32(at + 16));
    b.tileX = chunk.FileU32(at + 20) != 0;
    b.tileY = chunk.FileU32(at + 24) != 0;
    b.hspeed = static_cast<float>(chunk.FileI32(at + 28));
    b.vspeed = static_cast<float>(chunk.FileI32(at + 32));
    b.xscale = b.yscale = 1.0f;
    int32_t w = 0, h = 0;
    if (chunk.FileU32(at + 36) != 0 && World().backgroundSize != nullptr &&
        World().backgroundSize(b.index, &w, &h)) {
        if (w > 0) b.xscale = static_cast<float>(room.width) / static_cast<float>(w);
        if (h > 0) b.yscale = static_cast<float>(room.height) / static_cast<float>(h);
    }
    b.blend = 0xFFFFFF;
    b.alpha = 1.0f;
}

void LoadView(ChunkView& chunk, uint32_t at, RoomView& v) {
    v.visible = chunk.FileU32(at) != 0;
    v.viewX = static_cast<float>(chunk.FileI32(at + 4));
    v.viewY = static_cast<float>(chunk.FileI32(at + 8));
    v.viewW = static_cast<float>(chunk.FileI32(at + 12));
    v.viewH = static_cast<float>(chunk.FileI32(at + 16));
    v.portX = chunk.FileI32(at + 20);
    v.portY = chunk.FileI32(at + 24);
    v.portW = chunk.FileI32(at + 28);
    v.portH = chunk.FileI32(at + 32);
    v.hborder = chunk.FileI32(at + 36);
    v.vborder = chunk.FileI32(at + 40);
    v.hspeed = chunk.FileI32(at + 44);
    v.vspeed = chunk.FileI32(at + 48);
    v.object = chunk.FileI32(at + 52);
    v.angle = 0.0f;
}

// Reads a list of at most `limit` records at `listAt`; later entries are ignored.
template <typename Read>
void ReadFixedList(ChunkView& chunk, uint32_t listAt, int32_t limit, Read read) {
    if (listAt == 0) return;
    const uint32_t count = chunk.FileCount(listAt, 4);
    for (uint32_t i = 0; i < count && static_cast<int32_t>(i) < limit && chunk.Ok(); ++i)
        read(static_cast<int32_t>(i), chunk.FileU32(listAt + 4 + 4 * i));
}

bool TileContains(const RoomTile& t, float x, float y) {
    return t.x <= x && x < t.x + static_cast<float>(t.width) * t.xscale && t.y <= y &&
           y < t.y + static_cast<float>(t.height) * t.yscale;
}

}  // namespace

int32_t Room_GetSpeed(const CRoom* room) {
    return room != nullptr ? room->speed : 0;
}

CRoom::CRoom() = default;

CRoom::~CRoom() {
    Clear();
    MEM_FREE(m_name);
}

void CRoom::SetName(const char* name) {
    ReplaceText(m_name, name);
}

void CRoom::SetOwnsRecords() {
    MakeRecordsOwned();
}

// ---------------------------------------------------------------------------------------------
// Clearing, loading and copying

void CRoom::FreeRecords() {
    const bool owns = recordStorage == ROOM_RECORDS_OWNED;
    if (recordStorage != ROOM_RECORDS_SHARED) {
        FreeRecordTable(instanceRecords, instanceRecordCount, owns);
        FreeRecordTable(tileRecords, tileRecordCount, owns);
    }
    instanceRecords = nullptr;
    tileRecords = nullptr;
    instanceRecordCount = tileRecordCount = 0;
}

// Turns whatever records the room refers to into records of its own.
void CRoom::MakeRecordsOwned() {
    if (recordStorage == ROOM_RECORDS_OWNED) return;
    RoomInstanceRecord** instances = CopyRecordTable(instanceRecords, instanceRecordCount, 0);
    RoomTileRecord** tilesCopy = CopyRecordTable(tileRecords, tileRecordCount, 0);
    const int32_t instanceCount = instanceRecordCount, tileCountCopy = tileRecordCount;
    FreeRecords();
    instanceRecords = instances;
    instanceRecordCount = instanceCount;
    tileRecords = tilesCopy;
    tileRecordCount = tileCountCopy;
    recordStorage = ROOM_RECORDS_OWNED;
}

void CRoom::Clear() {
    // The world goes first: it takes the bodies off the instances deleted below.
    if (physicsWorld != nullptr && g_PhysicsServices.destroyWorld != nullptr)
        g_PhysicsServices.destroyWorld(physicsWorld);
    physicsWorld = nullptr;
    FreeRecords();
    recordStorage = ROOM_RECORDS_SHARED;
    MEM_FREE(caption);
    MEM_FREE(creationCodeName);
    MEM_FREE(codeText);
    caption = creationCodeName = codeText = nullptr;
    creationCode = nullptr;
    DeleteActiveInstances();
    DeleteDeactivatedInstances();
    MEM_FREE(tiles);
    tiles = nullptr;
    tileCount = tileCapacity = 0;
    lastTileFound = -1;
    if (layers != nullptr) ROOM_SERVICE(freeLayers, this);
    layers = nullptr;
    MEM_FREE(creationOrder);
    creationOrder = nullptr;
    creationOrderCount = 0;
    for (RoomView& view : views)
        if (view.cameraId >= 0) ROOM_SERVICE(cameraDestroy, view.cameraId);

    width = 640;
    height = 480;
    speed = 30;
    persistent = false;
    colour = 0xC0C0C0;
    showColour = true;
    viewsEnabled = clearWindow = clearDisplay = false;
    usesPhysics = false;
    gravityX = gravityY = 0;
    pixelsToMetres = 0.0f;
    for (RoomBackground& b : backgrounds) b = RoomBackground();
    for (RoomView& v : views) v = RoomView();
    entry = 0;
    layerListOffset = 0;
    destroyedCount = 0;
}

void CRoom::LoadFromChunk(ChunkView& chunk, uint32_t at) {
    Clear();
    entry = at;
    SetName(chunk.RequiredString(chunk.FileU32(at)));
    ReplaceText(caption, chunk.String(chunk.FileU32(at + 4)));
    width = chunk.FileI32(at + 8);
    height = chunk.FileI32(at + 12);
    speed = chunk.FileI32(at + 16);
    persistent = chunk.FileU32(at + 20) != 0;
    colour = chunk.FileI32(at + 24);
    showColour = chunk.FileU32(at + 28) != 0;
    const int32_t codeIndex = chunk.FileI32(at + 32);
    const uint32_t flags = chunk.FileU32(at + 36);
    viewsEnabled = (flags & 1u) != 0;
    clearWindow = (flags & 2u) != 0;
    clearDisplay = (flags & 4u) == 0;
    const int16_t version = static_cast<int16_t>(flags >> 16);
    if (!chunk.Ok()) return;

    if (Code_GameHasCode()) {
        ReplaceText(creationCodeName, "");
        if (codeIndex != -1) creationCode = Code_Get(Code_AddCode(codeIndex, 0));
    }
    if (g_GameHeader.format >= 6) {
        usesPhysics = chunk.FileU32(at + 56) != 0;
        gravityX = CRT_TruncToInt32(chunk.FileF32(at + 76));
        gravityY = CRT_TruncToInt32(chunk.FileF32(at + 80));
        pixelsToMetres = chunk.FileF32(at + 84);
        if (usesPhysics && g_PhysicsServices.createWorld != nullptr) {
            // The layer model runs at the game's speed; older games at the room's.
            const int32_t updateSpeed = g_GameHeader.major >= 2 && g_GameHeader.hasFrameRate
                                            ? static_cast<int32_t>(g_GameHeader.frameRate)
                                            : speed;
            physicsWorld = g_PhysicsServices.createWorld(
                pixelsToMetres, updateSpeed, static_cast<float>(gravityX), static_cast<float>(gravityY));
        }
    }

    // Both lists hold at most eight records; the rest of a longer list is not read.
    ReadFixedList(chunk, chunk.FileU32(at + 40), kRoomBackgrounds,
                  [&](int32_t i, uint32_t record) { LoadBackground(chunk, record, backgrounds[i], *this); });
    ReadFixedList(chunk, chunk.FileU32(at + 44), kRoomViews, [&](int32_t i, uint32_t record) {
        LoadView(chunk, record, views[i]);
        if (g_GameHeader.layerModel && g_RoomServices.cameraFromView != nullptr)
            views[i].cameraId = g_RoomServices.cameraFromView(this, i);
    });

    recordStorage = ROOM_RECORDS_FILE;
    instanceRecordCount = ReadRecordTable(chunk, chunk.FileU32(at + 48), &instanceRecords);
    for (int32_t i = 0; i < instanceRecordCount; ++i)
        instanceRecords[i]->creationCode = Code_AddCode(instanceRecords[i]->creationCode, 0);
    tileRecordCount = ReadRecordTable(chunk, chunk.FileU32(at + 52), &tileRecords);

    if (version >= 2) {
        layerListOffset = chunk.FileU32(at + 88);
        if (chunk.Ok()) ROOM_SERVICE(buildLayers, this, layerListOffset);
    }
}

void CRoom::CopyRecords(const CRoom* source) {
    if (recordStorage == ROOM_RECORDS_OWNED) {
        FreeRecords();
        instanceRecords = CopyRecordTable(source->instanceRecords, source->instanceRecordCount, 0);
        instanceRecordCount = source->instanceRecordCount;
        tileRecords = CopyRecordTable(source->tileRecords, source->tileRecordCount, 0);
        tileRecordCount = source->tileRecordCount;
    } else {
        instanceRecords = source->instanceRecords;
        instanceRecordCount = source->instanceRecordCount;
        tileRecords = source->tileRecords;
        tileRecordCount = source->tileRecordCount;
    }
}

void CRoom::CopyFrom(const CRoom* source, bool createInstances) {
    const RoomRecordStorage storage =
        recordStorage == ROOM_RECORDS_OWNED ? ROOM_RECORDS_OWNED : ROOM_RECORDS_SHARED;
    Clear();
    recordStorage = storage;
    ReplaceText(caption, source->caption);
    width = source->width;
    height = source->height;
    speed = source->speed;
    persistent = source->persistent;
    colour = source->colour;
    showColour = source->showColour;
    ReplaceText(creationCodeName, source->creationCodeName);
    ReplaceText(codeText, source->codeText);
    creationCode = source->creationCode;
    usesPhysics = source->usesPhysics;
    gravityX = source->gravityX;
    gravityY = source->gravityY;
    pixelsToMetres = source->pixelsToMetres;
    if (source->physicsWorld != nullptr && g_PhysicsServices.copyWorld != nullptr)
        physicsWorld = g_PhysicsServices.copyWorld(source->physicsWorld);
    for (int32_t i = 0; i < kRoomBackgrounds; ++i) backgrounds[i] = source->backgrounds[i];
    viewsEnabled = source->viewsEnabled;
    clearWindow = source->clearWindow;
    clearDisplay = source->clearDisplay;
    for (int32_t i = 0; i < kRoomViews; ++i) {
        views[i] = source->views[i];
        if (!g_GameHeader.layerModel) continue;
        const int32_t camera = source->views[i].cameraId;
        views[i].cameraId =
            camera >= 0 && g_RoomServices.cameraClone != nullptr ? g_RoomServices.cameraClone(camera) : -1;
    }
    entry = source->entry;
    layerListOffset = source->layerListOffset;

    CopyRecords(source);
    const bool hasRecords = source->instanceRecordCount > 0 || source->tileRecordCount > 0;
    if (createInstances && hasRecords) {
        CreateRecordInstances(source);
        CreateRecordTiles(source);
    } else if (recordStorage != ROOM_RECORDS_OWNED && source->tileCount > 0) {
        tiles = static_cast<RoomTile*>(MEM_ALLOC(source->tileCount * sizeof(RoomTile)));
        std::memcpy(tiles, source->tiles, source->tileCount * sizeof(RoomTile));
        tileCount = tileCapacity = source->tileCount;
    }
    // A working copy reads the definition's records only while it is made; holding on to them
    // would leave it pointing at tables that room_assign or room_instance_add may replace.
    if (recordStorage == ROOM_RECORDS_SHARED) {
        instanceRecords = nullptr;
        tileRecords = nullptr;
        instanceRecordCount = tileRecordCount = 0;
    }
    CopyInstances(source);
    ROOM_SERVICE(copyLayers, this, source);
}

void CRoom::AppendCreationOrder(int32_t id) {
    creationOrder =
        static_cast<int32_t*>(MEM_REALLOC(creationOrder, (creationOrderCount + 1) * sizeof(int32_t)));
    creationOrder[creationOrderCount++] = id;
}

void CRoom::CreateRecordInstances(const CRoom* source) {
    for (int32_t i = 0; i < source->instanceRecordCount; ++i) {
        const RoomInstanceRecord& record = *source->instanceRecords[i];
        if (record.objectIndex < 0) continue;
        auto* instance = new CInstance(static_cast<float>(record.x), static_cast<float>(record.y), record.id,
                                       record.objectIndex, true);
        instance->creationCode = Code_Get(record.creationCode);
        instance->image_xscale = record.scaleX;
        instance->image_yscale = record.scaleY;
        instance->image_blend = static_cast<uint32_t>(BlendOf(record.colour));
        instance->image_alpha = AlphaOf(record.colour);
        instance->image_angle = record.rotation;
        instance->boxDirty = 1;
        g_CurrentEvent.object = record.objectIndex;
        if (physicsWorld != nullptr && ObjectUsesPhysics(record.objectIndex))
            InstanceWorld().rebuildPhysicsBody(instance, this, true);
        if (g_RoomServices.layerForInstanceId != nullptr)
            instance->layer = g_RoomServices.layerForInstanceId(this, record.id);
        active.InsertByDepth(instance);
        Instance_IdHash().Insert(instance->id, instance);
        Collision_AddInstance(instance);
        AppendCreationOrder(record.id);
    }
}

void CRoom::CreateRecordTiles(const CRoom* source) {
    if (source->tileRecordCount == 0) return;
    tiles = static_cast<RoomTile*>(MEM_ALLOC(source->tileRecordCount * sizeof(RoomTile)));
    tileCapacity = source->tileRecordCount;
    for (int32_t i = 0; i < source->tileRecordCount; ++i) {
        const RoomTileRecord& r = *source->tileRecords[i];
        RoomTile& t = tiles[i];
        t = RoomTile();
        t.x = static_cast<float>(r.x);
        t.y = static_cast<float>(r.y);
        t.depth = static_cast<float>(r.depth);
        t.background = r.background;
        t.left = r.left;
        t.top = r.top;
        t.width = r.width;
        t.height = r.height;
        t.id = r.id;
        t.xscale = r.scaleX;
        t.yscale = r.scaleY;
        t.blend = BlendOf(r.colour);
        t.alpha = AlphaOf(r.colour);
        t.visible = true;
    }
    tileCount = source->tileRecordCount;
}

void CRoom::CopyInstances(const CRoom* source) {
    for (CInstance* from = source->active.head; from != nullptr; from = from->depthNext) {
        auto* copy = new CInstance(from->x, from->y, from->id, from->object_index, false);
        copy->CopyFrom(from, true);
        active.InsertByDepth(copy);
        Instance_IdHash().Insert(copy->id, copy);
    }
    for (CInstance* from = source->deactivated.head; from != nullptr; from = from->depthNext) {
        auto* copy = new CInstance(from->x, from->y, from->id, from->object_index, false);
        copy->CopyFrom(from, false);
        AppendToList(deactivated, copy);
        Instance_IdHash().Insert(copy->id, copy);
    }
}

// ---------------------------------------------------------------------------------------------
// Instances

CInstance* CRoom::NewInstance(float x, float y, int32_t objectIndex, const float* depth) {
    auto* instance = new CInstance(x, y, Room_NextInstanceID(), objectIndex, true);
    if (depth != nullptr) instance->depth = *depth;
    if (physicsWorld != nullptr && ObjectUsesPhysics(objectIndex))
        InstanceWorld().rebuildPhysicsBody(instance, this, true);
    active.InsertByDepth(instance);
    Instance_IdHash().Insert(instance->id, instance);
    return instance;
}

CInstance* CRoom::CreateInstance(float x, float y, int32_t objectIndex) {
    CInstance* instance = NewInstance(x, y, objectIndex, nullptr);
    ROOM_SERVICE(layerAddInstance, this, instance);
    Collision_AddInstance(instance);
    return instance;
}

CInstance* CRoom::CreateInstanceDepth(float x, float y, float depth, int32_t objectIndex) {
    CInstance* instance = NewInstance(x, y, objectIndex, &depth);
    ROOM_SERVICE(layerAddInstance, this, instance);
    Collision_AddInstance(instance);
    return instance;
}

CInstance* CRoom::CreateInstanceLayer(float x, float y, CLayer* layer, int32_t objectIndex) {
    if (layer == nullptr) return nullptr;
    const float depth = g_RoomServices.layerDepth != nullptr ? g_RoomServices.layerDepth(layer) : 0.0f;
    CInstance* instance = NewInstance(x, y, objectIndex, &depth);
    ROOM_SERVICE(layerAttachInstance, this, layer, instance);
    Collision_AddInstance(instance);
    return instance;
}

void CRoom::UpdateActivation() {
    for (CInstance* instance = deactivated.head; instance != nullptr;) {
        CInstance* next = instance->depthNext;
        if (!instance->deactivated) {
            deactivated.Remove(instance);
            active.InsertByDepth(instance);
            if (instance->object != nullptr) instance->object->AddInstance(instance);
        }
        instance = next;
    }
    for (CInstance* instance = active.head; instance != nullptr;) {
        CInstance* next = instance->depthNext;
        if (instance->deactivated) {
            active.Remove(instance);
            AppendToList(deactivated, instance);
            if (instance->object != nullptr) instance->object->RemoveInstance(instance);
        }
        instance = next;
    }
}

void CRoom::DeleteInstance(CInstance* instance) {
    ROOM_SERVICE(layerRemoveInstance, this, instance);
    RemoveFromIdHash(instance);
    delete instance;
}

void CRoom::RemoveMarkedInstances() {
    // A mass destruction rebuilds the collision tree once instead of taking entries out one
    // by one.
    const bool rebuild = g_GameOptions.collisionTreeMode && destroyedCount > kMassRemoval;
    if (rebuild) Collision_DiscardTree();
    for (CInstance* instance = active.head; instance != nullptr;) {
        CInstance* next = instance->depthNext;
        if (instance->destroyed) {
            Pending_RemoveInstance(instance);
            active.Remove(instance);
            DeleteInstance(instance);
        }
        instance = next;
    }
    if (rebuild) Collision_Rebuild();
    destroyedCount = 0;
}

void CRoom::DeleteActiveInstances() {
    while (CInstance* instance = active.head) {
        Pending_RemoveInstance(instance);
        active.Remove(instance);
        DeleteInstance(instance);
    }
}

void CRoom::DeleteDeactivatedInstances() {
    while (CInstance* instance = deactivated.head) {
        Pending_RemoveInstance(instance);
        deactivated.Remove(instance);
        DeleteInstance(instance);
    }
}

// ---------------------------------------------------------------------------------------------
// Definition records

void CRoom::SetCaption(const char* text) {
    ReplaceText(caption, text);
}

void CRoom::SetCodeText(const char* text) {
    ReplaceText(codeText, text);
}

int32_t CRoom::AddInstanceRecord(float x, float y, int32_t objectIndex) {
    MakeRecordsOwned();
    instanceRecords = static_cast<RoomInstanceRecord**>(
        MEM_REALLOC(instanceRecords, (instanceRecordCount + 1) * sizeof(RoomInstanceRecord*)));
    auto* record = static_cast<RoomInstanceRecord*>(MEM_ALLOC_RAW(sizeof(RoomInstanceRecord)));
    *record = RoomInstanceRecord{static_cast<int32_t>(x),
                                 static_cast<int32_t>(y),
                                 objectIndex,
                                 Room_NextInstanceID(),
                                 -1,
                                 1.0f,
                                 1.0f,
                                 0xFFFFFFFFu,
                                 0.0f};
    instanceRecords[instanceRecordCount++] = record;
    return record->id;
}

int32_t CRoom::AddTileRecord(int32_t background, int32_t left, int32_t top, int32_t w, int32_t h, float x,
                             float y, int32_t depth, float xscale, float yscale, uint32_t tileColour) {
    MakeRecordsOwned();
    tileRecords = static_cast<RoomTileRecord**>(
        MEM_REALLOC(tileRecords, (tileRecordCount + 1) * sizeof(RoomTileRecord*)));
    auto* record = static_cast<RoomTileRecord*>(MEM_ALLOC_RAW(sizeof(RoomTileRecord)));
    *record = RoomTileRecord{static_cast<int32_t>(x),
                             static_cast<int32_t>(y),
                             background,
                             left,
                             top,
                             w,
                             h,
                             depth,
                             Room_NextTileID(),
                             xscale,
                             yscale,
                             tileColour};
    tileRecords[tileRecordCount++] = record;
    return record->id;
}

void CRoom::ClearTileRecords() {
    MakeRecordsOwned();
    FreeRecordTable(tileRecords, tileRecordCount, true);
    tileRecords = nullptr;
    tileRecordCount = 0;
}

// ---------------------------------------------------------------------------------------------
// Legacy tiles

int32_t CRoom::AddTile(const RoomTile& tile) {
    if (tileCount == tileCapacity) {
        tileCapacity += kTileGrowth;
        tiles = static_cast<RoomTile*>(MEM_REALLOC(tiles, tileCapacity * sizeof(RoomTile)));
    }
    tiles[tileCount] = tile;
    tiles[tileCount].id = Room_NextTileID();
    lastTileFound = tileCount;
    return tileCount++;
}

int32_t CRoom::FindTile(int32_t id) {
    if (lastTileFound >= 0 && lastTileFound < tileCount && tiles[lastTileFound].id == id)
        return lastTileFound;
    for (int32_t i = 0; i < tileCount; ++i) {
        if (tiles[i].id == id) {
            lastTileFound = i;
            return i;
        }
    }
    return -1;
}

void CRoom::DeleteTile(int32_t index) {
    if (index < 0 || index >= tileCount) return;
    for (int32_t i = index; i + 1 < tileCount; ++i) tiles[i] = tiles[i + 1];
    if (--tileCount == 0) {
        MEM_FREE(tiles);
        tiles = nullptr;
        tileCapacity = 0;
    }
}

namespace {
// Keeps, in order, the tiles for which `keep` answers true.
template <typename Keep>
int32_t FilterTiles(RoomTile* tiles, int32_t count, Keep keep) {
    int32_t kept = 0;
    for (int32_t i = 0; i < count; ++i)
        if (keep(tiles[i])) tiles[kept++] = tiles[i];
    return kept;
}
}  // namespace

void CRoom::DeleteTileLayer(float depth) {
    tileCount = FilterTiles(tiles, tileCount, [&](const RoomTile& t) { return t.depth != depth; });
}

void CRoom::DeleteTilesAt(float depth, float x, float y) {
    tileCount = FilterTiles(tiles, tileCount,
                            [&](const RoomTile& t) { return t.depth != depth || !TileContains(t, x, y); });
}

void CRoom::HideTileLayer(float depth) {
    for (int32_t i = 0; i < tileCount; ++i)
        if (tiles[i].depth == depth) tiles[i].visible = false;
}

void CRoom::ShowTileLayer(float depth) {
    for (int32_t i = 0; i < tileCount; ++i)
        if (tiles[i].depth == depth) tiles[i].visible = true;
}

void CRoom::ShiftTileLayer(float depth, float dx, float dy) {
    for (int32_t i = 0; i < tileCount; ++i) {
        if (tiles[i].depth != depth) continue;
        tiles[i].x += dx;
        tiles[i].y += dy;
    }
}

void CRoom::SetTileLayerDepth(float depth, float newDepth) {
    for (int32_t i = 0; i < tileCount; ++i)
        if (tiles[i].depth == depth) tiles[i].depth = newDepth;
}

int32_t CRoom::FindTileAt(float depth, float x, float y) const {
    int32_t best = -1;
    double bestDistance = 0.0;
    for (int32_t i = 0; i < tileCount; ++i) {
        const RoomTile& t = tiles[i];
        if (t.depth != depth || !TileContains(t, x, y)) continue;
        const double cx = t.x + static_cast<double>(t.width) * t.xscale / 2.0 - x;
        const double cy = t.y + static_cast<double>(t.height) * t.yscale / 2.0 - y;
        const double distance = cx * cx + cy * cy;
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

void CRoom::SortTiles() {
    bool ordered = true;
    for (int32_t i = 1; i < tileCount && ordered; ++i) ordered = tiles[i - 1].depth >= tiles[i].depth;
    if (ordered) return;
    // Stable insertion sort, deepest first.
    for (int32_t i = 1; i < tileCount; ++i) {
        const RoomTile t = tiles[i];
        int32_t j = i - 1;
        while (j >= 0 && tiles[j].depth < t.depth) {
            tiles[j + 1] = tiles[j];
            --j;
        }
        tiles[j + 1] = t;
    }
}

void CRoom::ScrollBackgrounds() {
    for (RoomBackground& b : backgrounds) {
        b.x += b.hspeed;
        b.y += b.vspeed;
    }
}
