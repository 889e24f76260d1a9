#include "core/Instance.h"

#include <cassert>
#include <initializer_list>

#include "core/CRuntimeCompat.h"
#include "core/Console.h"
#include "core/GarbageCollector.h"
#include "core/InstanceWorld.h"
#include "core/ScriptObjectHooks.h"
#include "core/SlotHash.h"
#include "core/Value_Convert.h"
#include "core/Variable.h"
#include "core/VariableList.h"
#include "core/SerialBuffer.h"

uint64_t EventPassCounter = 0;

namespace {

// --- Save-record helpers ----------------------------------------------------------------

void PutInt(SerialBuffer* buffer, int32_t number) {
    RValue value = RValue_Real(number);
    buffer->PutNumber(eBuffer_S32, &value);
}
void PutUInt(SerialBuffer* buffer, uint32_t number) {
    RValue value = RValue_Real(number);
    buffer->PutNumber(eBuffer_U32, &value);
}
void PutFloat(SerialBuffer* buffer, float number) {
    RValue value = RValue_Real(number);
    buffer->PutNumber(eBuffer_F32, &value);
}

// Reads 4-byte fields in order; once the buffer runs short, the remaining fields keep what
// they held and ok stays false.
struct FieldReader {
    SerialBuffer* buffer;
    bool ok = true;

    bool Next(int32_t type, double* out) {
        if (!ok || buffer->BytesLeft() < 4) return ok = false;
        RValue value = RValue_Undefined();
        if (buffer->GetNumber(type, &value) != 0) return ok = false;
        *out = value.val;
        return true;
    }
    void Int(int32_t& field) {
        double d;
        if (Next(eBuffer_S32, &d)) field = static_cast<int32_t>(d);
    }
    void UInt(uint32_t& field) {
        double d;
        if (Next(eBuffer_U32, &d)) field = static_cast<uint32_t>(d);
    }
    void Float(float& field) {
        double d;
        if (Next(eBuffer_F32, &d)) field = static_cast<float>(d);
    }
    void Flag(uint8_t& field) {
        double d;
        if (Next(eBuffer_S32, &d)) field = d != 0.0 ? 1 : 0;
    }
};

void AddBuiltinAccessors(CInstance* instance) {
    const ScriptObjectHooks& hooks = ScriptObjects();
    for (int32_t row = 0; row < Variable_BuiltIn_Count(); ++row) {
        const BuiltinVariable* variable = Variable_BuiltIn_Row(row);
        if (hooks.isBuiltinGlobalName(variable->name)) continue;
        if (PWObjectBase* accessor = hooks.createNativeAccessor(variable->getter, variable->setter))
            instance->AddObject(variable->name, accessor, 1);
    }
}

}  // namespace

// --- Construction -----------------------------------------------------------------------

CInstance::CInstance(float xPos, float yPos, int32_t instanceId, int32_t objectIndex, bool addToObjectList)
    : PWObjectBase(g_VariableSettings.instanceSlotCount, VALUE_UNSET) {
    for (int32_t& a : alarm) a = -1;
    creationPass = EventPassCounter;
    movedLink.Reset();
    dirtyLink.Reset();
    spareLink.Reset();
    InitObject(objectIndex, addToObjectList);
    boxDirty = 1;
    x = xstart = xprevious = xPos;
    y = ystart = yprevious = yPos;
    id = instanceId;
    collectorSlot = GCTable_Add(this);
    if (g_VariableSettings.objectMode) AddBuiltinAccessors(this);
    objectClass = OBJECT_CLASS_INSTANCE;
}

CInstance::~CInstance() {
    const InstanceWorldHooks& world = InstanceWorld();
    if (object != nullptr) world.removeInstance(object, this);
    if (physicsBody != nullptr) world.deletePhysicsBody(this);
    physicsBody = nullptr;
    if (skeleton != nullptr) world.releaseSkeleton(skeleton);
    skeleton = nullptr;
    GCTable_Remove(collectorSlot);
    collectorSlot = -1;
    world.collisionRemoveInstance(this);
}

// --- Object and sprite ------------------------------------------------------------------

void CInstance::TakeObjectDefaults() {
    ObjectDefaults defaults;
    InstanceWorld().objectDefaults(object, &defaults);
    mask_index = defaults.maskIndex;
    depth = defaults.depth;
    solid = (defaults.flags & OBJECT_FLAG_SOLID) != 0;
    visible = (defaults.flags & OBJECT_FLAG_VISIBLE) != 0;
    persistent = (defaults.flags & OBJECT_FLAG_PERSISTENT) != 0;
    SetSpriteIndex(defaults.spriteIndex);
}

void CInstance::InitObject(int32_t objectIndex, bool addToObjectList) {
    const InstanceWorldHooks& world = InstanceWorld();
    if (object != nullptr) world.removeInstance(object, this);
    object_index = objectIndex == -1 ? 0 : objectIndex;
    object = world.findObject(objectIndex);
    if (object == nullptr) return;
    if (addToObjectList) world.addInstance(object, this);
    TakeObjectDefaults();
    boxDirty = 1;
    world.collisionMarkDirty(this);
}

void CInstance::SetObjectIndex(int32_t objectIndex) {
    const InstanceWorldHooks& world = InstanceWorld();
    world.queueObjectChange(this);
    if (previousObject == nullptr) previousObject = object;
    object_index = objectIndex;
    object = world.findObject(objectIndex);
    if (object == nullptr) return;
    TakeObjectDefaults();
    world.queueDepthChange(this);
    ObjectDefaults defaults;
    world.objectDefaults(object, &defaults);
    world.rebuildPhysicsBody(this, nullptr, defaults.physics);
    boxDirty = 1;
    world.collisionMarkDirty(this);
}

void CInstance::RelinkObject() {
    const InstanceWorldHooks& world = InstanceWorld();
    if (previousObject != nullptr) {
        world.removeInstance(previousObject, this);
        previousObject = nullptr;
    }
    if (object != nullptr) world.addInstance(object, this);
    if (deactivated) return;
    if (InstanceList* list = world.activeList()) {
        list->Remove(this);
        list->InsertByDepth(this);
    }
}

void CInstance::SetSpriteIndex(int32_t spriteIndex) {
    const InstanceWorldHooks& world = InstanceWorld();
    sprite_index = spriteIndex;
    SpriteInfo info{};
    bool exists = world.spriteInfo(spriteIndex, &info);
    if (exists) {
        if (skeleton != nullptr) world.releaseSkeleton(skeleton);
        skeleton = info.skeleton ? world.createSkeleton(this, spriteIndex) : nullptr;
    }
    int32_t frames = exists ? info.frameCount : 0;
    if (CRT_TruncToInt32(image_index) >= frames) image_index = 0.0f;
    boxDirty = 1;
    world.collisionMarkDirty(this);
}

int32_t CInstance::GetImageNumber() const {
    const InstanceWorldHooks& world = InstanceWorld();
    SpriteInfo info{};
    if (!world.spriteInfo(sprite_index, &info)) return 0;
    if (info.skeleton) return CRT_TruncToInt32(info.skeletonDuration * world.frameRate() + 0.5);
    return info.frameCount;
}

void CInstance::RoomStartPhysics(CRoom* room) {
    ObjectDefaults defaults{};
    bool physics = false;
    if (object != nullptr) {
        InstanceWorld().objectDefaults(object, &defaults);
        physics = defaults.physics;
    }
    InstanceWorld().rebuildPhysicsBody(this, room, physics);
}

// --- Saved games ------------------------------------------------------------------------

void CInstance::SaveState(SerialBuffer* buffer) {
    if (boxDirty) InstanceWorld().computeBoundingBox(this);
    PutInt(buffer, id);
    PutInt(buffer, deactivated);
    PutInt(buffer, object_index);
    PutInt(buffer, sprite_index);
    for (float f : {image_index, image_speed, image_xscale, image_yscale, image_angle, image_alpha})
        PutFloat(buffer, f);
    PutUInt(buffer, image_blend);
    PutInt(buffer, mask_index);
    PutFloat(buffer, depth);
    PutInt(buffer, precise);
    for (float f : {x, y, xstart, ystart, xprevious, yprevious, direction, speed, friction, gravity_direction,
                    gravity, hspeed, vspeed})
        PutFloat(buffer, f);
    for (int32_t i : {bbox_left, bbox_right, bbox_top, bbox_bottom}) PutInt(buffer, i);
    for (uint8_t flag : {visible, solid, persistent}) PutInt(buffer, flag);
    for (int32_t a : alarm) PutInt(buffer, a);
    PutInt(buffer, destroyed);
    PutInt(buffer, path_index);
    for (float f : {path_position, path_positionprevious, path_speed, path_scale, path_orientation})
        PutFloat(buffer, f);
    PutInt(buffer, path_endaction);
    PutFloat(buffer, pathStartX);
    PutFloat(buffer, pathStartY);
    PutInt(buffer, timeline_index);
    for (float f : {timelinePrevious, timeline_position, timeline_speed}) PutFloat(buffer, f);
    PutInt(buffer, timeline_running);
    PutInt(buffer, timeline_loop);
    PutInt(buffer, outsideRoom);

    if (variables != nullptr) variables->Save(buffer);
    if (slotCount != 0) {
        int32_t count = g_VariableSettings.instanceSlotCount;
        PutInt(buffer, count);
        for (int32_t i = 0; i < count; ++i) {
            // A slot never touched is saved as the unset value it would read as.
            RValue unset = {{0.0}, 0, defaultSlotKind};
            const RValue* value = PeekSlot(i);
            RValue_Serialise(value ? value : &unset, buffer);
        }
    }
}

bool CInstance::LoadState(SerialBuffer* buffer, bool addToObjectList) {
    FieldReader in{buffer};
    in.Int(id);
    in.Flag(deactivated);
    int32_t objectIndex = object_index;
    in.Int(objectIndex);
    if (!in.ok) return false;
    InitObject(objectIndex, addToObjectList && !deactivated);
    in.Int(sprite_index);
    for (float* f : {&image_index, &image_speed, &image_xscale, &image_yscale, &image_angle, &image_alpha})
        in.Float(*f);
    in.UInt(image_blend);
    in.Int(mask_index);
    in.Float(depth);
    in.Flag(precise);
    for (float* f : {&x, &y, &xstart, &ystart, &xprevious, &yprevious, &direction, &speed, &friction,
                     &gravity_direction, &gravity, &hspeed, &vspeed})
        in.Float(*f);
    for (int32_t* i : {&bbox_left, &bbox_right, &bbox_top, &bbox_bottom}) in.Int(*i);
    for (uint8_t* flag : {&visible, &solid, &persistent}) in.Flag(*flag);
    for (int32_t& a : alarm) in.Int(a);
    in.Flag(destroyed);
    in.Int(path_index);
    for (float* f : {&path_position, &path_positionprevious, &path_speed, &path_scale, &path_orientation})
        in.Float(*f);
    in.Int(path_endaction);
    in.Float(pathStartX);
    in.Float(pathStartY);
    in.Int(timeline_index);
    for (float* f : {&timelinePrevious, &timeline_position, &timeline_speed}) in.Float(*f);
    in.Flag(timeline_running);
    in.Flag(timeline_loop);
    in.Flag(outsideRoom);
    if (!in.ok) return false;

    if (variables != nullptr && !variables->Load(buffer)) return false;
    if (slotCount == 0) return true;

    int32_t count = 0;
    in.Int(count);
    // Each saved value takes at least its kind word: a larger count cannot be true.
    if (!in.ok || count < 0 || count > buffer->BytesLeft() / 4) return false;
    if (count != g_VariableSettings.instanceSlotCount)
        DebugConsole.Output("WARNING! game_load variable mismatch - unpredictable results!\n");
    for (int32_t i = 0; i < count; ++i) {
        if (i < slotCount) {
            if (!RValue_Deserialise(GetSlot(i), buffer)) return false;
        } else {
            // Values for slots this game does not have are read past.
            RValue surplus = RValue_Undefined();
            bool read = RValue_Deserialise(&surplus, buffer);
            RValue_Release(&surplus);
            if (!read) return false;
        }
    }
    return true;
}

void CInstance::CopyFrom(const CInstance* source, bool addToObjectList) {
    if (source == this || source == nullptr) return;
    const InstanceWorldHooks& world = InstanceWorld();
    if (object != nullptr) world.removeInstance(object, this);
    carried = 0;
    id = source->id;
    sprite_index = source->sprite_index;
    image_index = source->image_index;
    image_speed = source->image_speed;
    image_xscale = source->image_xscale;
    image_yscale = source->image_yscale;
    image_angle = source->image_angle;
    image_alpha = source->image_alpha;
    image_blend = source->image_blend;
    mask_index = source->mask_index;
    depth = source->depth;
    precise = source->precise;
    x = source->x;
    y = source->y;
    xstart = source->xstart;
    ystart = source->ystart;
    xprevious = source->xprevious;
    yprevious = source->yprevious;
    direction = source->direction;
    speed = source->speed;
    friction = source->friction;
    gravity_direction = source->gravity_direction;
    gravity = source->gravity;
    hspeed = source->hspeed;
    vspeed = source->vspeed;
    boxDirty = source->boxDirty;
    if (boxDirty) world.collisionMarkDirty(this);
    bbox_left = source->bbox_left;
    bbox_top = source->bbox_top;
    bbox_right = source->bbox_right;
    bbox_bottom = source->bbox_bottom;
    visible = source->visible;
    solid = source->solid;
    persistent = source->persistent;
    object_index = source->object_index;
    object = source->object;
    if (object != nullptr && addToObjectList) world.addInstance(object, this);
    for (int32_t i = 0; i < INSTANCE_ALARM_COUNT; ++i) alarm[i] = source->alarm[i];

    if (source->variables != nullptr) {
        if (variables == nullptr) variables = new CVariableList();
        variables->CopyFrom(source->variables);
    } else if (variables != nullptr) {
        variables->Clear();
    }

    if (slotHash != nullptr) {
        slotHash->ReleaseValues();
        delete slotHash;
        slotHash = nullptr;
    }
    if (const SlotHash* from = source->slotHash) {
        SlotHash* to = EnsureSlotHash();
        int32_t cursor = 0;
        int32_t slot = 0;
        while (const RValue* value = from->Next(cursor, &slot)) {
            RValue* cell = ValueCellPool::Take(VALUE_UNDEFINED);
            RValue_Assign(cell, value);
            to->Insert(slot, cell);
        }
    }

    destroyed = source->destroyed;
    deactivated = source->deactivated;
    path_index = source->path_index;
    path_position = source->path_position;
    path_positionprevious = source->path_positionprevious;
    path_speed = source->path_speed;
    path_scale = source->path_scale;
    path_orientation = source->path_orientation;
    path_endaction = source->path_endaction;
    timeline_index = source->timeline_index;
    timelinePrevious = source->timelinePrevious;
    timeline_position = source->timeline_position;
    timeline_speed = source->timeline_speed;
    timeline_running = source->timeline_running;
    timeline_loop = source->timeline_loop;
    creationCode = source->creationCode;
    outsideRoom = source->outsideRoom;

    if (skeleton != nullptr) world.releaseSkeleton(skeleton);
    skeleton = source->skeleton != nullptr ? world.copySkeleton(source->skeleton) : nullptr;
    layer = source->layer;
}

// --- Depth list -------------------------------------------------------------------------

void InstanceList::InsertByDepth(CInstance* instance) {
    assert(instance->depthNext == nullptr && instance->depthPrev == nullptr && head != instance);
    ++count;
    instance->sortedDepth = instance->depth;
    CInstance* before = tail;
    while (before != nullptr && !(before->sortedDepth <= instance->depth)) before = before->depthPrev;
    instance->depthPrev = before;
    if (before == nullptr) {
        instance->depthNext = head;
        if (head != nullptr) head->depthPrev = instance;
        head = instance;
    } else {
        instance->depthNext = before->depthNext;
        if (before->depthNext != nullptr) before->depthNext->depthPrev = instance;
        before->depthNext = instance;
    }
    if (instance->depthNext == nullptr) tail = instance;
}

void InstanceList::Remove(CInstance* instance) {
    if (instance->depthPrev == nullptr && head != instance) return;
    if (instance->depthPrev != nullptr)
        instance->depthPrev->depthNext = instance->depthNext;
    else
        head = instance->depthNext;
    if (instance->depthNext != nullptr)
        instance->depthNext->depthPrev = instance->depthPrev;
    else
        tail = instance->depthPrev;
    instance->depthNext = instance->depthPrev = nullptr;
    --count;
    assert(count >= 0 && (count == 0) == (head == nullptr));
}

// --- Instances by id --------------------------------------------------------------------

CHash<CInstance>& Instance_IdHash() {
    static CHash<CInstance> hash(512);
    return hash;
}

CInstance* Instance_Find(int32_t id) {
    return id < 0 ? nullptr : Instance_IdHash().Find(id);
}

void Instance_FreeAll() {
    Instance_IdHash().Clear(HashDispose_Delete);
}
