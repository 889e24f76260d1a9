// One game instance: identity, object, sprite and image, position and motion, bounding box,
// alarms, path and time-line state, depth and layer, and the flags the frame loop tests.
// Fields named like the script-facing built-in variables are those variables.
#pragma once

#include <cstdint>

#include "core/Hash.h"
#include "core/ObjectBase.h"

class CCode;
class CObjectHV;
class CPhysicsObject;
class CRoom;
class CSkeletonInstance;
class SerialBuffer;

// The pass counter of the event passes; each instance records it at creation so a pass can
// skip instances created during it.
extern uint64_t EventPassCounter;

constexpr int32_t INSTANCE_ALARM_COUNT = 12;

// Membership of an intrusive list (the collision module's moved and dirty lists): linked to
// itself and owned by no list when out of every list.
struct InstanceLink {
    InstanceLink* next;
    InstanceLink* prev;
    void* list;

    void Reset() {
        next = prev = this;
        list = nullptr;
    }
};

class CInstance : public PWObjectBase {
public:
    CInstance(float x, float y, int32_t id, int32_t objectIndex, bool addToObjectList);
    ~CInstance() override;

    // Leaves the current object's lists and takes the object of the index (-1 stores 0 but
    // looks up -1); an index without object leaves the object-derived fields unchanged.
    void InitObject(int32_t objectIndex, bool addToObjectList);
    // Changes the object now and queues the relink for after the stage.
    void SetObjectIndex(int32_t objectIndex);
    // The deferred half of SetObjectIndex: object lists and the depth place.
    void RelinkObject();
    void SetSpriteIndex(int32_t spriteIndex);
    int32_t GetImageNumber() const;
    void RoomStartPhysics(CRoom* room);

    void SaveState(SerialBuffer* buffer);
    // False when the buffer ran short or held a count it cannot hold; what was read stays.
    bool LoadState(SerialBuffer* buffer, bool addToObjectList);
    void CopyFrom(const CInstance* source, bool addToObjectList);

    // --- Motion, paths, alarms and the bounding box (runner/Instance_Motion.cpp) ---------
    // Every change of position, speed or transform goes through these, never through the
    // fields, so the box and the collision index follow.
    void SetPosition(float newX, float newY);
    void SetHSpeed(float value);
    void SetVSpeed(float value);
    void SetSpeed(float value);
    void SetDirection(float value);
    void AddMotion(float dir, float amount);
    void ApplyFriction();
    void ComputeDirectionSpeed();
    void ComputeHVSpeed();
    void SetImageXScale(float value);
    void SetImageYScale(float value);
    void SetImageAngle(float value);
    void SetMaskIndex(int32_t value);
    void SetPathPosition(float value);
    void SetPathPositionPrevious(float value);
    void SetPathSpeed(float value);
    int32_t GetAlarm(int32_t n) const;
    void SetAlarm(int32_t n, int32_t value);
    void StartPath(int32_t path, float pathSpeed, float scale, float orientation, bool relative,
                   int32_t endAction);
    // One step along the path; true when an end was passed with a non-zero path speed.
    bool AdvancePath();
    void ComputeBoundingBox(bool updateIndex);
    // The mask sprite: mask_index when set, else sprite_index.
    int32_t MaskSprite() const { return mask_index >= 0 ? mask_index : sprite_index; }

    // --- Collision tests (runner/Collision_Main.cpp) -------------------------------------
    bool CollisionPoint(float px, float py, bool preciseTest);
    bool CollisionRectangle(float x1, float y1, float x2, float y2, bool preciseTest);
    bool CollisionEllipse(float x1, float y1, float x2, float y2, bool preciseTest);
    bool CollisionLine(float x1, float y1, float x2, float y2, bool preciseTest);
    bool CollisionInstance(CInstance* other, bool preciseTest);
    bool CollisionSkeleton(CInstance* other, bool preciseTest);

    uint8_t boxDirty = 0;
    uint8_t visible = 0;
    uint8_t solid = 0;
    uint8_t persistent = 0;
    uint8_t destroyed = 0;
    uint8_t deactivated = 0;
    uint8_t destroyEventDone = 0;  // the Destroy event runs only once
    uint8_t carried = 0;           // the copy that carries a persistent instance into a room
    uint8_t created = 0;           // the maker has performed its Create event
    uint64_t creationPass = 0;
    int32_t id = 0;
    int32_t object_index = 0;
    CObjectHV* object = nullptr;
    CPhysicsObject* physicsBody = nullptr;
    CSkeletonInstance* skeleton = nullptr;
    int32_t sprite_index = -1;
    float image_index = 0.0f;
    float image_speed = 1.0f;
    float image_xscale = 1.0f;
    float image_yscale = 1.0f;
    float image_angle = 0.0f;
    float image_alpha = 1.0f;
    uint32_t image_blend = 0xFFFFFF;
    int32_t mask_index = -1;
    uint8_t precise = 0;
    float x = 0.0f, y = 0.0f;
    float xstart = 0.0f, ystart = 0.0f;
    float xprevious = 0.0f, yprevious = 0.0f;
    float direction = 0.0f, speed = 0.0f;
    float friction = 0.0f;
    float gravity_direction = 270.0f;
    float gravity = 0.0f;
    float hspeed = 0.0f, vspeed = 0.0f;
    int32_t bbox_left = 0, bbox_top = 0, bbox_right = 0, bbox_bottom = 0;
    int32_t alarm[INSTANCE_ALARM_COUNT];
    int32_t path_index = -1;
    float path_position = 0.0f, path_positionprevious = 0.0f, path_speed = 0.0f;
    float path_scale = 1.0f;
    float path_orientation = 0.0f;
    int32_t path_endaction = 0;
    float pathStartX = 0.0f, pathStartY = 0.0f;
    int32_t timeline_index = -1;
    float timelinePrevious = 0.0f;  // position at the last time-line step
    float timeline_position = 0.0f;
    float timeline_speed = 1.0f;
    uint8_t timeline_running = 0, timeline_loop = 0;
    uint8_t outsideRoom = 0;  // state of the Other event "Outside Room"
    CCode* creationCode = nullptr;
    CObjectHV* previousObject = nullptr;  // the object to leave at the next relink
    int32_t mouseOverState = 2;
    int32_t layer = -1;
    int32_t onLayer = 0;  // 1 while a layer element refers to the instance
    CInstance* depthNext = nullptr;
    CInstance* depthPrev = nullptr;
    float depth = 0.0f;
    float sortedDepth = 0.0f;  // depth when inserted into the depth list
    int32_t collisionPass = -1;
    InstanceLink movedLink;
    InstanceLink dirtyLink;
    InstanceLink spareLink;

private:
    // Mask, depth, flags and sprite from the object.
    void TakeObjectDefaults();
};

// A room's active instances in ascending depth from head to tail.
struct InstanceList {
    CInstance* head = nullptr;
    CInstance* tail = nullptr;
    int32_t count = 0;

    // After every instance of lower or equal sorted depth; sorted depth = depth.
    void InsertByDepth(CInstance* instance);
    // Unlinks the instance; an instance that is not in the list is left alone.
    void Remove(CInstance* instance);
};

// Instances by id (512 buckets).
CHash<CInstance>& Instance_IdHash();
// Null for negative ids and absent ones.
CInstance* Instance_Find(int32_t id);
// At shutdown: deletes every instance of the id hash and empties it.
void Instance_FreeAll();
