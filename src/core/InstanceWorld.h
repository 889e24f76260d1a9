// What instances and variable access ask of the game world built above the core: objects
// and their instance lists, the current room, the frame loop's pending lists, sprites and
// skeletons, collisions, bounding boxes and physics bodies. The runner, the asset and the
// physics modules install the real answers; until then the defaults answer as a world with
// no objects, no room and no sprites, and the side effects do nothing.
#pragma once

#include <cstdint>

class CInstance;
class CObjectHV;
class CRoom;
class CSkeletonInstance;
struct InstanceList;

// Object flag bits that instances take over.
constexpr uint32_t OBJECT_FLAG_SOLID = 1;
constexpr uint32_t OBJECT_FLAG_VISIBLE = 2;
constexpr uint32_t OBJECT_FLAG_PERSISTENT = 4;

// What an instance takes from its object.
struct ObjectDefaults {
    int32_t spriteIndex;
    int32_t maskIndex;
    float depth;
    uint32_t flags;  // OBJECT_FLAG_*
    bool physics;    // the object is a physics object
};

struct SpriteInfo {
    int32_t frameCount;
    bool skeleton;               // sprite type 2
    double skeletonDuration;     // seconds of the skeleton's animation
    float playbackSpeed = 1.0f;  // frames a second in the layer model
};

// Called for each instance of a walk; false stops the walk.
using InstanceVisitor = bool (*)(CInstance* instance, void* context);

enum PendingList : int32_t {
    PENDING_OBJECT_CHANGE = 0,
    PENDING_ACTIVATION = 1,
};

struct InstanceWorldHooks {
    // --- objects ---
    CObjectHV* (*findObject)(int32_t objectIndex);  // null when no object has the index
    void (*objectDefaults)(const CObjectHV* object, ObjectDefaults* out);
    const char* (*objectName)(int32_t objectIndex);  // null when no object has the index
    // True when objectIndex is ancestorIndex or one of its descendants.
    bool (*objectInherits)(int32_t objectIndex, int32_t ancestorIndex);
    void (*addInstance)(CObjectHV* object, CInstance* instance);
    void (*removeInstance)(CObjectHV* object, CInstance* instance);
    // Walks the object's list of the instances of it and of its descendants.
    void (*forEachObjectInstance)(int32_t objectIndex, InstanceVisitor visit, void* context);

    // --- room and frame loop ---
    InstanceList* (*activeList)();  // the current room's active instances; null: no room
    void (*forEachPending)(PendingList list, InstanceVisitor visit, void* context);
    // Queue the instance for the relink after the stage; each list takes an instance once.
    void (*queueObjectChange)(CInstance* instance);
    void (*queueDepthChange)(CInstance* instance);

    // --- sprites and skeletons ---
    bool (*spriteInfo)(int32_t spriteIndex, SpriteInfo* out);  // false: no such sprite
    // Frames per second for skeleton frame counts: the game clock's, else the room speed.
    double (*frameRate)();
    CSkeletonInstance* (*createSkeleton)(CInstance* instance, int32_t spriteIndex);
    CSkeletonInstance* (*copySkeleton)(const CSkeletonInstance* skeleton);
    void (*releaseSkeleton)(CSkeletonInstance* skeleton);

    // --- collisions, bounding box, physics ---
    void (*collisionMarkDirty)(CInstance* instance);
    void (*collisionRemoveInstance)(CInstance* instance);
    void (*computeBoundingBox)(CInstance* instance);
    // Destroys the instance's body in the room's world (null: the current room's) and makes
    // it again when remake is set.
    void (*rebuildPhysicsBody)(CInstance* instance, CRoom* room, bool remake);
    // Destroys and deletes the instance's body.
    void (*deletePhysicsBody)(CInstance* instance);
};

const InstanceWorldHooks& InstanceWorld();
// Installs hooks (copied); null restores the defaults. Null members keep the defaults.
void InstanceWorld_Install(const InstanceWorldHooks* hooks);
