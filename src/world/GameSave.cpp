#include "world/GameSave.h"

#include <cstdio>
#include <cstring>

#include "core/CRuntimeCompat.h"
#include "core/Console.h"
#include "core/Hash.h"
#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "core/ObjectBase.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "core/Variable.h"
#include "io/Buffer_Manager.h"
#include "io/IBuffer.h"
#include "io/LoadSave.h"
#include "base/Error_Report.h"
#include "base/GEN8.h"
#include "world/Room_Services.h"
#include "world/IO_Main.h"
#include "world/Collision_Main.h"
#include "world/World_Step.h"
#include "world/Object_Main.h"
#include "world/Room_Class.h"
#include "world/Room_Main.h"
#include "world/Run.h"
#include "world/World_Services.h"

namespace {

constexpr int32_t kPathBytes = 1024;

// The queued buffer is held by index: a game may delete its buffer before the step comes.
int32_t g_queued = -1;
int32_t g_fileLoadBuffer = -1;
int32_t g_lastVersion = 0;

// --- typed values ------------------------------------------------------------------------------

void PutValue(IBuffer* buffer, int32_t type, double value) {
    RValue v = RValue_Real(value);
    buffer->Write(type, &v);
}
void PutInt(IBuffer* buffer, int32_t value) {
    PutValue(buffer, eBuffer_S32, value);
}
void PutFlag(IBuffer* buffer, bool value) {
    PutInt(buffer, value ? 1 : 0);
}
void PutFloat(IBuffer* buffer, float value) {
    PutValue(buffer, eBuffer_F32, value);
}
void PutText(IBuffer* buffer, const char* text) {
    buffer->WriteString(text != nullptr ? text : "");
}
const char* CaptionText(const SharedString* caption) {
    return caption != nullptr && caption->text != nullptr ? caption->text : "";
}

int64_t BytesLeft(IBuffer* buffer) {
    return static_cast<int64_t>(buffer->GetUsedSize()) - buffer->GetPosition();
}

// Reads typed values until the first one that is not there; every later read gives 0.
struct Reader {
    IBuffer* buffer;
    bool ok = true;

    double Value(int32_t type) {
        if (!ok) return 0.0;
        RValue v = RValue_Undefined();
        if (buffer->Read(type, &v) != 0) ok = false;
        const double d = ok ? v.val : 0.0;
        RValue_Release(&v);
        return d;
    }
    int32_t Int() { return static_cast<int32_t>(Value(eBuffer_S32)); }
    uint32_t UInt() { return static_cast<uint32_t>(Value(eBuffer_U32)); }
    float Float() { return static_cast<float>(Value(eBuffer_F32)); }
    double Double() { return Value(eBuffer_F64); }
    bool Flag() { return Int() != 0; }
    // A count the rest of the buffer could hold, each entry taking at least 4 bytes.
    int32_t Count() {
        const int32_t n = Int();
        if (ok && (n < 0 || n > BytesLeft(buffer) / 4)) ok = false;
        return ok ? n : 0;
    }
    // A new memory-manager text, or null (and not ok) when none was there.
    char* Text() {
        if (!ok) return nullptr;
        char* text = buffer->ReadString();
        if (text == nullptr) ok = false;
        return text;
    }
};

void ReplaceText(char*& field, char* text) {
    MEM_FREE(field);
    field = text;
}

// --- header --------------------------------------------------------------------------------------

struct SavedHeader {
    int32_t version = 0, gameId = 0, room = -1, newRoomCode = -1, transitionKind = 0, score = 0;
    bool showScore = false, captionSet = false;
    char* captionScore = nullptr;
    int32_t lives = 0;
    bool showLives = false;
    char* captionLives = nullptr;
    double health = 0.0;
    bool showHealth = false;
    char* captionHealth = nullptr;
    int32_t cursorSprite = -1, stepCount = 0;
    bool drawEvents = true;

    SavedHeader() = default;
    SavedHeader(const SavedHeader&) = delete;
    SavedHeader& operator=(const SavedHeader&) = delete;
    ~SavedHeader() {
        MEM_FREE(captionScore);
        MEM_FREE(captionLives);
        MEM_FREE(captionHealth);
    }
};

// Stops after the version when it is not ours: nothing more of the save is read.
bool ReadHeader(IBuffer* buffer, SavedHeader& h) {
    Reader in{buffer};
    h.version = in.Int();
    if (!in.ok) return false;
    g_lastVersion = h.version;
    if (h.version != GAME_SAVE_VERSION) return false;
    h.gameId = in.Int();
    h.room = in.Int();
    h.newRoomCode = in.Int();
    h.transitionKind = in.Int();
    h.score = in.Int();
    h.showScore = in.Flag();
    h.captionSet = in.Flag();
    h.captionScore = in.Text();
    h.lives = in.Int();
    h.showLives = in.Flag();
    h.captionLives = in.Text();
    h.health = in.Double();
    h.showHealth = in.Flag();
    h.captionHealth = in.Text();
    h.cursorSprite = in.Int();
    h.stepCount = in.Int();
    h.drawEvents = in.Flag();
    return in.ok;
}

void SetCaption(SharedString*& caption, const char* text) {
    caption = SharedString_ReleaseSafe(caption);
    caption = new SharedString(text);
}

void ApplyHeader(const SavedHeader& h) {
    NewRoomCode = h.newRoomCode;
    g_RunState.transitionKind = h.transitionKind;
    g_RunState.score = h.score;
    g_RunState.showScore = h.showScore;
    g_RunState.captionSet = h.captionSet;
    SetCaption(g_RunState.captionScore, h.captionScore);
    g_RunState.lives = h.lives;
    g_RunState.showLives = h.showLives;
    SetCaption(g_RunState.captionLives, h.captionLives);
    g_RunState.health = h.health;
    g_RunState.showHealth = h.showHealth;
    SetCaption(g_RunState.captionHealth, h.captionHealth);
    g_RunState.cursorSprite = h.cursorSprite;
    g_FrameTiming.stepCount = h.stepCount;
    g_FrameSwitches.drawingEnabled = h.drawEvents;
}

// --- read-through of a queued save ---------------------------------------------------------------

bool SkipGlobals(IBuffer* buffer) {
    Reader in{buffer};
    const int32_t count = in.Count();
    for (int32_t i = 0; in.ok && i < count; ++i) {
        RValue value = RValue_Undefined();
        in.ok = RValue_Deserialise(&value, buffer);
        RValue_Release(&value);
    }
    const int32_t flags = in.Count();
    for (int32_t i = 0; in.ok && i < flags; ++i) in.Int();
    return in.ok;
}

bool SkipVirtualKeys(IBuffer* buffer) {
    Reader in{buffer};
    if (in.Int() != IO_VIRTUAL_KEY_SAVE_MARK) return false;
    const int32_t count = in.Count();
    for (int32_t i = 0; in.ok && i < count; ++i) {
        in.Value(eBuffer_S16);
        in.Value(eBuffer_S16);
        for (int32_t f = 0; f < 10; ++f) in.Int();
    }
    return in.ok;
}

// Reads every room into rooms of its own that are thrown away; the current room must be one
// of those present, or the game would be left without one.
bool SkipRooms(IBuffer* buffer, int32_t currentRoom) {
    Reader in{buffer};
    const int32_t slots = in.Count();
    in.Int();
    in.Int();
    bool currentPresent = false;
    for (int32_t slot = 0; in.ok && slot < slots; ++slot) {
        if (!in.Flag()) continue;
        CRoom scratch;
        in.ok = scratch.Load(buffer, false);
        currentPresent = currentPresent || slot == currentRoom;
    }
    return in.ok && currentPresent;
}

bool ReadsThrough(IBuffer* buffer) {
    const int32_t start = buffer->GetPosition();
    SavedHeader header;
    bool ok = ReadHeader(buffer, header);
    const bool ours = ok || g_lastVersion == GAME_SAVE_VERSION;
    ok = ok && SkipGlobals(buffer) && SkipRooms(buffer, header.room) && SkipVirtualKeys(buffer);
    buffer->Seek(0, start);
    // A save of another version is turned away silently; a damaged one of ours is worth a line.
    if (!ok && ours) DebugConsole.Output("WARNING: Game load failed, save data damaged or incomplete\n");
    return ok;
}

// --- rooms -----------------------------------------------------------------------------------------

void SaveInstances(const InstanceList& list, IBuffer* buffer) {
    PutInt(buffer, list.count);
    for (CInstance* instance = list.head; instance != nullptr; instance = instance->depthNext)
        instance->SaveState(buffer);
}

void AppendDeactivated(InstanceList& list, CInstance* instance) {
    instance->depthPrev = list.tail;
    instance->depthNext = nullptr;
    if (list.tail != nullptr)
        list.tail->depthNext = instance;
    else
        list.head = instance;
    list.tail = instance;
    ++list.count;
}

void EnterInstance(CRoom* room, CInstance* instance) {
    if (Instance_IdHash().Find(instance->id) != instance) Instance_IdHash().Insert(instance->id, instance);
    ROOM_SERVICE(layerAddInstance, room, instance);
}

bool LoadInstances(CRoom* room, IBuffer* buffer, bool isCurrent, bool active) {
    Reader in{buffer};
    const int32_t count = in.Count();
    for (int32_t i = 0; in.ok && i < count; ++i) {
        auto* instance = new CInstance(0.0f, 0.0f, 0, -1, false);
        if (!instance->LoadState(buffer, isCurrent && active)) {
            delete instance;
            return false;
        }
        if (active) {
            room->active.InsertByDepth(instance);
        } else {
            AppendDeactivated(room->deactivated, instance);
        }
        if (isCurrent) EnterInstance(room, instance);
        if (isCurrent && active) Collision_AddInstance(instance);
    }
    return in.ok;
}

// What the save does not carry comes from the room's definition: its name, creation code,
// physics settings and, in the layer model, its layers and the views' cameras.
void TakeDefinition(CRoom* room, int32_t slot) {
    const CRoom* definition = Room_Get(slot);
    if (definition == nullptr) return;
    room->SetName(definition->Name());
    room->creationCode = definition->creationCode;
    room->usesPhysics = definition->usesPhysics;
    room->gravityX = definition->gravityX;
    room->gravityY = definition->gravityY;
    room->pixelsToMetres = definition->pixelsToMetres;
    room->clearWindow = definition->clearWindow;
    room->clearDisplay = definition->clearDisplay;
    room->entry = definition->entry;
    room->layerListOffset = definition->layerListOffset;
    if (!g_GameHeader.layerModel) return;
    ROOM_SERVICE(copyLayers, room, definition);
    for (int32_t v = 0; v < kRoomViews; ++v) {
        const int32_t camera = definition->views[v].cameraId;
        room->views[v].cameraId =
            camera >= 0 && g_RoomServices.cameraClone != nullptr ? g_RoomServices.cameraClone(camera) : -1;
    }
}

// Instances of the current room leave their objects, layers and the id table; every working
// room goes with what it holds.
void DiscardWorld() {
    if (CRoom* room = Run_Room()) {
        room->DeleteActiveInstances();
        room->DeleteDeactivatedInstances();
    }
    Object_ClearInstanceLists();
    // Kept rooms may still have deactivated instances entered in the table: the rooms own
    // them, so the table only lets go.
    Instance_IdHash().Clear(HashDispose_None);
}

bool ReadRooms(IBuffer* buffer, int32_t currentRoom) {
    DiscardWorld();
    Reader in{buffer};
    const int32_t slots = in.Count();
    const int32_t lastInstance = in.Int();
    const int32_t lastTile = in.Int();
    if (!in.ok) return false;
    Run_ReplaceWorkingRooms(slots);
    Room_SetLastInstanceID(lastInstance);
    Room_SetLastTileID(lastTile);
    for (int32_t slot = 0; slot < slots; ++slot) {
        if (!in.Flag()) continue;
        auto* room = new CRoom();
        Run_PlaceWorkingRoom(slot, room);
        const bool isCurrent = slot == currentRoom;
        if (isCurrent) Run_SelectWorkingRoom(slot);
        TakeDefinition(room, slot);
        if (!room->Load(buffer, isCurrent)) return false;
    }
    if (!in.ok) return false;
    Run_SelectWorkingRoom(currentRoom);
    ROOM_SERVICE(fitWindowSize);
    if (CRoom* room = Run_Room())
        for (CInstance* i = room->active.head; i != nullptr; i = i->depthNext)
            if (Instance_IdHash().Find(i->id) != i) EnterInstance(room, i);
    return true;
}

void FreeFileLoadBuffer() {
    if (g_fileLoadBuffer >= 0) Buffer_Free(g_fileLoadBuffer);
    g_fileLoadBuffer = -1;
}

void WriteAll(IBuffer* buffer) {
    GameSave_WriteHeader(buffer);
    Variable_SaveGlobals(buffer);
    GameSave_WriteRooms(buffer);
    IO_SaveVirtualKeys(buffer);
}

}  // namespace

// --- records -------------------------------------------------------------------------------------

void RoomBackground_Save(const RoomBackground& b, IBuffer* buffer) {
    PutFlag(buffer, b.visible);
    PutFlag(buffer, b.foreground);
    PutInt(buffer, b.index);
    PutFloat(buffer, b.x);
    PutFloat(buffer, b.y);
    PutFlag(buffer, b.tileX);
    PutFlag(buffer, b.tileY);
    for (float f : {b.hspeed, b.vspeed, b.xscale, b.yscale}) PutFloat(buffer, f);
    PutInt(buffer, b.blend);
    PutFloat(buffer, b.alpha);
}

bool RoomBackground_Load(RoomBackground& b, IBuffer* buffer) {
    Reader in{buffer};
    b.visible = in.Flag();
    b.foreground = in.Flag();
    b.index = in.Int();
    b.x = in.Float();
    b.y = in.Float();
    b.tileX = in.Flag();
    b.tileY = in.Flag();
    for (float* f : {&b.hspeed, &b.vspeed, &b.xscale, &b.yscale}) *f = in.Float();
    b.blend = in.Int();
    b.alpha = in.Float();
    return in.ok;
}

// View positions and sizes are kept as whole numbers, cut toward zero.
void RoomView_Save(const RoomView& v, IBuffer* buffer) {
    PutFlag(buffer, v.visible);
    for (float f : {v.viewX, v.viewY, v.viewW, v.viewH}) PutInt(buffer, CRT_TruncToInt32(f));
    for (int32_t i : {v.portX, v.portY, v.portW, v.portH}) PutInt(buffer, i);
    PutFloat(buffer, v.angle);
    for (int32_t i : {v.hborder, v.vborder, v.hspeed, v.vspeed, v.object, v.surfaceId}) PutInt(buffer, i);
}

bool RoomView_Load(RoomView& v, IBuffer* buffer) {
    Reader in{buffer};
    v.visible = in.Flag();
    for (float* f : {&v.viewX, &v.viewY, &v.viewW, &v.viewH}) *f = static_cast<float>(in.Int());
    for (int32_t* i : {&v.portX, &v.portY, &v.portW, &v.portH}) *i = in.Int();
    v.angle = in.Float();
    for (int32_t* i : {&v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.object, &v.surfaceId}) *i = in.Int();
    return in.ok;
}

void RoomTile_Save(const RoomTile& t, IBuffer* buffer) {
    PutFloat(buffer, t.x);
    PutFloat(buffer, t.y);
    for (int32_t i : {t.background, t.left, t.top, t.width, t.height}) PutInt(buffer, i);
    PutFloat(buffer, t.depth);
    PutInt(buffer, t.id);
    PutFloat(buffer, t.xscale);
    PutFloat(buffer, t.yscale);
    PutInt(buffer, t.blend);
    PutFloat(buffer, t.alpha);
    PutFlag(buffer, t.visible);
}

bool RoomTile_Load(RoomTile& t, IBuffer* buffer) {
    Reader in{buffer};
    t.x = in.Float();
    t.y = in.Float();
    for (int32_t* i : {&t.background, &t.left, &t.top, &t.width, &t.height}) *i = in.Int();
    t.depth = in.Float();
    t.id = in.Int();
    t.xscale = in.Float();
    t.yscale = in.Float();
    t.blend = in.Int();
    t.alpha = in.Float();
    t.visible = in.Flag();
    return in.ok;
}

void CRoom::Save(IBuffer* buffer) {
    if (physicsWorld != nullptr) Error_Show("ERROR: game_save unavailable for rooms using physics", true);
    PutText(buffer, caption);
    for (int32_t i : {width, height, speed}) PutInt(buffer, i);
    PutFlag(buffer, persistent);
    PutValue(buffer, eBuffer_U32, static_cast<uint32_t>(colour));
    PutFlag(buffer, showColour);
    PutText(buffer, creationCodeName);
    for (const RoomBackground& b : backgrounds) RoomBackground_Save(b, buffer);
    PutFlag(buffer, viewsEnabled);
    for (const RoomView& v : views) RoomView_Save(v, buffer);
    PutInt(buffer, tileCount);
    for (int32_t t = 0; t < tileCount; ++t) RoomTile_Save(tiles[t], buffer);
    SaveInstances(active, buffer);
    SaveInstances(deactivated, buffer);
}

bool CRoom::Load(IBuffer* buffer, bool isCurrent) {
    Reader in{buffer};
    ReplaceText(caption, in.Text());
    width = in.Int();
    height = in.Int();
    speed = in.Int();
    persistent = in.Flag();
    colour = static_cast<int32_t>(in.UInt());
    showColour = in.Flag();
    ReplaceText(creationCodeName, in.Text());
    for (RoomBackground& b : backgrounds) in.ok = in.ok && RoomBackground_Load(b, buffer);
    viewsEnabled = in.Flag();
    for (RoomView& v : views) {
        // The camera a view had is not saved; the one it has now stays.
        const int32_t camera = v.cameraId;
        in.ok = in.ok && RoomView_Load(v, buffer);
        v.cameraId = camera;
    }
    const int32_t count = in.Count();
    if (!in.ok) return false;
    for (int32_t t = 0; t < count; ++t) {
        RoomTile tile;
        if (!RoomTile_Load(tile, buffer)) return false;
        // The tile keeps its saved id; the counter gives back the one it handed out.
        const int32_t index = AddTile(tile);
        tiles[index].id = tile.id;
        Room_SetLastTileID(Room_LastTileID() - 1);
    }
    return LoadInstances(this, buffer, isCurrent, true) && LoadInstances(this, buffer, isCurrent, false);
}

// --- blocks ----------------------------------------------------------------------------------------

void GameSave_WriteHeader(IBuffer* buffer) {
    PutInt(buffer, GAME_SAVE_VERSION);
    PutInt(buffer, g_GameHeader.gameId);
    PutInt(buffer, Run_RoomIndex());
    PutInt(buffer, NewRoomCode);
    PutInt(buffer, g_RunState.transitionKind);
    PutInt(buffer, g_RunState.score);
    PutFlag(buffer, g_RunState.showScore);
    PutFlag(buffer, g_RunState.captionSet);
    PutText(buffer, CaptionText(g_RunState.captionScore));
    PutInt(buffer, g_RunState.lives);
    PutFlag(buffer, g_RunState.showLives);
    PutText(buffer, CaptionText(g_RunState.captionLives));
    PutValue(buffer, eBuffer_F64, g_RunState.health);
    PutFlag(buffer, g_RunState.showHealth);
    PutText(buffer, CaptionText(g_RunState.captionHealth));
    PutInt(buffer, g_RunState.cursorSprite);
    PutInt(buffer, static_cast<int32_t>(g_FrameTiming.stepCount));
    PutFlag(buffer, g_FrameSwitches.drawingEnabled);
}

void GameSave_WriteRooms(IBuffer* buffer) {
    const int32_t slots = Run_WorkingRoomCount();
    PutInt(buffer, slots);
    PutInt(buffer, Room_LastInstanceID());
    PutInt(buffer, Room_LastTileID());
    for (int32_t slot = 0; slot < slots; ++slot) {
        CRoom* room = Run_WorkingRoom(slot);
        PutFlag(buffer, room != nullptr);
        if (room != nullptr) room->Save(buffer);
    }
}

// --- saving and queuing ----------------------------------------------------------------------------

bool GameSave_File(const char* name) {
    if (name == nullptr) return false;
    IBuffer buffer(GAME_SAVE_FILE_BUFFER_SIZE, eBufferType_Grow, 1);
    buffer.Seek(0, 0);
    WriteAll(&buffer);
    return LoadSave_WriteFile(name, buffer.GetData(), buffer.GetPosition());
}

bool GameSave_Buffer(int32_t index) {
    IBuffer* buffer = Buffer_GetByIndex(index);
    if (buffer == nullptr) return false;
    WriteAll(buffer);
    return true;
}

bool GameLoad_QueueBuffer(int32_t index) {
    if (g_queued >= 0) {
        DebugConsole.Output("WARNING: Load game being ignored due to load game already queued\n");
        return false;
    }
    if (Buffer_GetByIndex(index) == nullptr) {
        DebugConsole.Output("WARNING: No buffer available for %d\n", index);
        return false;
    }
    g_queued = index;
    return true;
}

void GameLoad_File(const char* name) {
    if (name == nullptr) {
        DebugConsole.Output("WARNING: Game load failed, null filename passed\n");
        return;
    }
    std::string path;
    if (LoadSave_SaveFileExists(name)) {
        path = LoadSave_GetSavePath(name);
    } else if (LoadSave_BundleFileExists(name)) {
        path = LoadSave_GetBundlePath(name);
    }
    int64_t size = 0;
    void* data = path.empty() ? nullptr : LoadSave_ReadWholeFile(path.c_str(), &size);
    if (data == nullptr || size > IBuffer::kMaxSize) {
        MEM_FREE(data);
        DebugConsole.Output("WARNING: Game load failed, %s not found\n", path.c_str());
        return;
    }
    const int32_t index = Buffer_Add(
        new IBuffer(static_cast<uint8_t*>(data), static_cast<int32_t>(size), eBufferType_Grow, 1, true));
    if (g_queued >= 0) {
        DebugConsole.Output("WARNING: Load game being ignored due to load game already queued\n");
        Buffer_Free(index);
        return;
    }
    g_queued = g_fileLoadBuffer = index;
}

bool GameLoad_PerformQueued() {
    if (g_queued < 0) return false;
    IBuffer* buffer = Buffer_GetByIndex(g_queued);
    g_queued = -1;
    if (buffer == nullptr) {
        DebugConsole.Output("WARNING: Game load failed, its buffer was deleted\n");
        FreeFileLoadBuffer();
        return false;
    }
    bool ok = ReadsThrough(buffer);
    if (ok) {
        SavedHeader header;
        ok = ReadHeader(buffer, header);
        if (ok) ApplyHeader(header);
        ok = ok && Variable_LoadGlobals(buffer) && ReadRooms(buffer, header.room) &&
             IO_LoadVirtualKeys(buffer);
    }
    FreeFileLoadBuffer();
    return ok;
}

int32_t GameLoad_LastVersion() {
    return g_lastVersion;
}

void GameLoad_ClearQueue() {
    g_queued = -1;
    FreeFileLoadBuffer();
}
