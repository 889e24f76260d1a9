// CRoom: a room's definition (read from "ROOM" or made at run time) and the working copy that
// exists while the room is current or kept persistent, with its instances, legacy tiles,
// backgrounds and views.
#pragma once

#include <cstdint>

#include "core/Instance.h"

class CCode;
class CLayer;
class CPhysicsWorld;
class IBuffer;
class ChunkView;
struct RoomLayers;  // the layer subsystem's part of a room

constexpr int32_t kRoomBackgrounds = 8;
constexpr int32_t kRoomViews = 8;

struct RoomBackground {
    bool visible = false;
    bool foreground = false;
    int32_t index = -1;
    float x = 0.0f, y = 0.0f;
    bool tileX = true, tileY = true;
    float hspeed = 0.0f, vspeed = 0.0f;
    float xscale = 1.0f, yscale = 1.0f;
    int32_t blend = 0xFFFFFF;
    float alpha = 1.0f;
};

struct RoomView {
    bool visible = false;
    float viewX = 0.0f, viewY = 0.0f, viewW = 640.0f, viewH = 480.0f;
    int32_t portX = 0, portY = 0, portW = 640, portH = 480;
    float angle = 0.0f;
    int32_t hborder = 32, vborder = 32;
    int32_t hspeed = -1, vspeed = -1;
    int32_t object = -1;
    int32_t surfaceId = -1;
    int32_t cameraId = -1;
};

// An editor instance, 36 bytes as in the data file.
struct RoomInstanceRecord {
    int32_t x, y;
    int32_t objectIndex;
    int32_t id;
    int32_t creationCode;  // a code-table slot once loaded (-1 none)
    float scaleX, scaleY;
    uint32_t colour;  // top byte alpha, 0xBBGGRR below
    float rotation;
};
static_assert(sizeof(RoomInstanceRecord) == 36);

// An editor tile, 48 bytes as in the data file.
struct RoomTileRecord {
    int32_t x, y;
    int32_t background;
    int32_t left, top, width, height;
    int32_t depth;
    int32_t id;
    float scaleX, scaleY;
    uint32_t colour;
};
static_assert(sizeof(RoomTileRecord) == 48);

// A legacy tile of a working room.
struct RoomTile {
    float x = 0.0f, y = 0.0f;
    int32_t background = 0;
    int32_t left = 0, top = 0, width = 0, height = 0;
    float depth = 0.0f;
    int32_t id = 0;
    float xscale = 1.0f, yscale = 1.0f;
    int32_t blend = 0xFFFFFF;
    float alpha = 1.0f;
    bool visible = true;
};

// Where a room's definition records live.
enum RoomRecordStorage : int32_t {
    ROOM_RECORDS_SHARED = 0,  // another room's tables (working copies)
    ROOM_RECORDS_FILE = 1,    // own tables pointing into the data file
    ROOM_RECORDS_OWNED = 2,   // own tables and own records (rooms made at run time)
};

class CRoom {
public:
    CRoom();
    virtual ~CRoom();
    CRoom(const CRoom&) = delete;
    CRoom& operator=(const CRoom&) = delete;

    // Reads a ROOM entry at file offset `entry`.
    void LoadFromChunk(ChunkView& chunk, uint32_t entry);
    // Makes this room a copy of `source`; with createInstances the editor instances and tiles
    // are made from the records. Instances the source holds are copied with their ids.
    void CopyFrom(const CRoom* source, bool createInstances);
    // Destroys the contents; the room is left as a cleared record.
    void Clear();
    void SetName(const char* name);
    // Each stores a copy of the text (room_set_caption, room_set_code).
    void SetCaption(const char* text);
    void SetCodeText(const char* text);
    // The room then owns its records (rooms made at run time).
    void SetOwnsRecords();

    // Instances made at run time take the next instance id.
    CInstance* CreateInstance(float x, float y, int32_t objectIndex);
    CInstance* CreateInstanceDepth(float x, float y, float depth, int32_t objectIndex);
    // At the layer's depth, on that layer; null (and nothing made) for a null layer.
    CInstance* CreateInstanceLayer(float x, float y, CLayer* layer, int32_t objectIndex);
    // Moves instances between the active and deactivated lists after their flags changed.
    void UpdateActivation();
    // Deletes the instances marked destroyed.
    void RemoveMarkedInstances();
    void DeleteActiveInstances();
    void DeleteDeactivatedInstances();

    // Definition records (room_instance_add, room_tile_add, room_tile_clear).
    int32_t AddInstanceRecord(float x, float y, int32_t objectIndex);
    int32_t AddTileRecord(int32_t background, int32_t left, int32_t top, int32_t width, int32_t height,
                          float x, float y, int32_t depth, float xscale, float yscale, uint32_t colour);
    void ClearTileRecords();

    // Legacy tiles of the working room.
    int32_t AddTile(const RoomTile& tile);
    int32_t FindTile(int32_t id);
    void DeleteTile(int32_t index);
    void DeleteTileLayer(float depth);
    void DeleteTilesAt(float depth, float x, float y);
    void HideTileLayer(float depth);
    void ShowTileLayer(float depth);
    void ShiftTileLayer(float depth, float dx, float dy);
    void SetTileLayerDepth(float depth, float newDepth);
    int32_t FindTileAt(float depth, float x, float y) const;
    void SortTiles();

    void ScrollBackgrounds();

    // Saved games (runner/GameSave.cpp): the working room's record, and its reading; a room
    // read as current enters its instances in the id table, their objects and layers.
    void Save(IBuffer* buffer);
    bool Load(IBuffer* buffer, bool isCurrent);

    const char* Name() const { return m_name ? m_name : ""; }

    char* caption = nullptr;
    int32_t width = 640, height = 480;
    int32_t speed = 30;
    bool persistent = false;
    int32_t colour = 0xC0C0C0;
    bool showColour = true;
    char* creationCodeName = nullptr;
    char* codeText = nullptr;  // set by room_set_code; nothing compiles it
    CCode* creationCode = nullptr;
    bool viewsEnabled = false;
    bool clearWindow = false;
    bool clearDisplay = false;
    bool usesPhysics = false;
    int32_t gravityX = 0, gravityY = 0;
    float pixelsToMetres = 0.0f;
    CPhysicsWorld* physicsWorld = nullptr;
    RoomBackground backgrounds[kRoomBackgrounds];
    RoomView views[kRoomViews];
    uint32_t entry = 0;            // file offset of the ROOM entry (0 for rooms made at run time)
    uint32_t layerListOffset = 0;  // entries of version 2 and later
    RoomLayers* layers = nullptr;

    RoomRecordStorage recordStorage = ROOM_RECORDS_SHARED;
    RoomInstanceRecord** instanceRecords = nullptr;
    int32_t instanceRecordCount = 0;
    RoomTileRecord** tileRecords = nullptr;
    int32_t tileRecordCount = 0;

    InstanceList active;
    InstanceList deactivated;
    int32_t* creationOrder = nullptr;  // ids made from the records by the last copy
    int32_t creationOrderCount = 0;
    int32_t destroyedCount = 0;  // instances destroyed since the last removal

    RoomTile* tiles = nullptr;
    int32_t tileCount = 0;
    int32_t tileCapacity = 0;
    int32_t lastTileFound = -1;

private:
    void FreeRecords();
    void CopyRecords(const CRoom* source);
    void MakeRecordsOwned();
    CInstance* NewInstance(float x, float y, int32_t objectIndex, const float* depth);
    void CreateRecordInstances(const CRoom* source);
    void CreateRecordTiles(const CRoom* source);
    void CopyInstances(const CRoom* source);
    void DeleteInstance(CInstance* instance);
    void AppendCreationOrder(int32_t id);

    char* m_name = nullptr;
};

// The room's speed in steps per second (read by the sound layer).
int32_t Room_GetSpeed(const CRoom* room);
