#include "core/InstanceWorld.h"

namespace {

CObjectHV* NoObject(int32_t) {
    return nullptr;
}
void NoDefaults(const CObjectHV*, ObjectDefaults* out) {
    *out = ObjectDefaults{-1, -1, 0.0f, 0, false};
}
const char* NoName(int32_t) {
    return nullptr;
}
bool SameIndex(int32_t objectIndex, int32_t ancestorIndex) {
    return objectIndex == ancestorIndex;
}
void NoListChange(CObjectHV*, CInstance*) {}
void NoObjectInstances(int32_t, InstanceVisitor, void*) {}
InstanceList* NoRoom() {
    return nullptr;
}
void NoPending(PendingList, InstanceVisitor, void*) {}
void Ignore(CInstance*) {}
bool NoSprite(int32_t, SpriteInfo*) {
    return false;
}
double DefaultFrameRate() {
    return 30.0;
}
CSkeletonInstance* NoSkeleton(CInstance*, int32_t) {
    return nullptr;
}
CSkeletonInstance* NoSkeletonCopy(const CSkeletonInstance*) {
    return nullptr;
}
void NoSkeletonRelease(CSkeletonInstance*) {}
void NoPhysics(CInstance*, CRoom*, bool) {}

const InstanceWorldHooks kDefaults = {
    .findObject = NoObject,
    .objectDefaults = NoDefaults,
    .objectName = NoName,
    .objectInherits = SameIndex,
    .addInstance = NoListChange,
    .removeInstance = NoListChange,
    .forEachObjectInstance = NoObjectInstances,
    .activeList = NoRoom,
    .forEachPending = NoPending,
    .queueObjectChange = Ignore,
    .queueDepthChange = Ignore,
    .spriteInfo = NoSprite,
    .frameRate = DefaultFrameRate,
    .createSkeleton = NoSkeleton,
    .copySkeleton = NoSkeletonCopy,
    .releaseSkeleton = NoSkeletonRelease,
    .collisionMarkDirty = Ignore,
    .collisionRemoveInstance = Ignore,
    .computeBoundingBox = Ignore,
    .rebuildPhysicsBody = NoPhysics,
    .deletePhysicsBody = Ignore,
};
InstanceWorldHooks g_hooks = kDefaults;

// Copies each member the caller set, keeping the default of the others.
template <typename F>
void Take(F& dest, F source) {
    if (source != nullptr) dest = source;
}

}  // namespace

const InstanceWorldHooks& InstanceWorld() {
    return g_hooks;
}

void InstanceWorld_Install(const InstanceWorldHooks* hooks) {
    g_hooks = kDefaults;
    if (hooks == nullptr) return;
    Take(g_hooks.findObject, hooks->findObject);
    Take(g_hooks.objectDefaults, hooks->objectDefaults);
    Take(g_hooks.objectName, hooks->objectName);
    Take(g_hooks.objectInherits, hooks->objectInherits);
    Take(g_hooks.addInstance, hooks->addInstance);
    Take(g_hooks.removeInstance, hooks->removeInstance);
    Take(g_hooks.forEachObjectInstance, hooks->forEachObjectInstance);
    Take(g_hooks.activeList, hooks->activeList);
    Take(g_hooks.forEachPending, hooks->forEachPending);
    Take(g_hooks.queueObjectChange, hooks->queueObjectChange);
    Take(g_hooks.queueDepthChange, hooks->queueDepthChange);
    Take(g_hooks.spriteInfo, hooks->spriteInfo);
    Take(g_hooks.frameRate, hooks->frameRate);
    Take(g_hooks.createSkeleton, hooks->createSkeleton);
    Take(g_hooks.copySkeleton, hooks->copySkeleton);
    Take(g_hooks.releaseSkeleton, hooks->releaseSkeleton);
    Take(g_hooks.collisionMarkDirty, hooks->collisionMarkDirty);
    Take(g_hooks.collisionRemoveInstance, hooks->collisionRemoveInstance);
    Take(g_hooks.computeBoundingBox, hooks->computeBoundingBox);
    Take(g_hooks.rebuildPhysicsBody, hooks->rebuildPhysicsBody);
    Take(g_hooks.deletePhysicsBody, hooks->deletePhysicsBody);
}
