#include <gtest/gtest.h>

#include <vector>

#include "core/GarbageCollector.h"
#include "core/Instance.h"
#include "core/ObjectBase.h"
#include "core/ObjectTestSupport.h"
#include "core/ValueTestSupport.h"
#include "core/VariableList.h"

namespace {

RValue ObjectValue(PWObjectBase* object) {
    RValue value = RValue_Undefined();
    value.obj = object;
    value.kind = VALUE_OBJECT;
    return value;
}

PWObjectBase* NewObject() {
    return PWObjectBase_Alloc(0, VALUE_UNSET, false);
}

// A freed plain object has left the collector's table for the pool.
bool Freed(const PWObjectBase* object) {
    return object->collectorSlot == -1;
}

class GarbageCollectorTest : public testing::Test {
protected:
    GarbageCollectorTest() : settings(4, true) {
        // Pooled objects made outside object mode have no variable list; start afresh.
        PWObjectBase_ReleasePool();
        global = PWObjectBase_Alloc(8, VALUE_UNSET, true);
        g_GlobalObject = global;
    }
    ~GarbageCollectorTest() override {
        g_GlobalObject = nullptr;
        PWObjectBase_Free(global);
    }

    GameSettingsScope settings;
    FakeWorld world;
    PWObjectBase* global;
};

TEST_F(GarbageCollectorTest, OutsideObjectModeNothingIsCollected) {
    g_VariableSettings.objectMode = false;
    PWObjectBase* loose = NewObject();
    EXPECT_FALSE(VM_CollectGarbage(loose));
    EXPECT_FALSE(VM_CollectGarbage(nullptr));
    EXPECT_FALSE(Freed(loose));
    PWObjectBase_Free(loose);
}

TEST_F(GarbageCollectorTest, WhatTheGlobalsReachSurvivesAndTheRestIsFreed) {
    PWObjectBase* held = NewObject();
    PWObjectBase* property = NewObject();
    PWObjectBase* loose = NewObject();
    PWObjectBase* cycleA = NewObject();
    PWObjectBase* cycleB = NewObject();
    global->slots[0] = ObjectValue(held);
    held->AddObject("child", property, 1);
    cycleA->AddObject("other", cycleB, 1);
    cycleB->AddObject("other", cycleA, 1);

    EXPECT_FALSE(VM_CollectGarbage(held));
    EXPECT_FALSE(VM_CollectGarbage(property));
    EXPECT_TRUE(VM_CollectGarbage(loose));
    EXPECT_FALSE(Freed(loose));  // the query form frees nothing

    EXPECT_FALSE(VM_CollectGarbage(nullptr));
    EXPECT_FALSE(Freed(held));
    EXPECT_FALSE(Freed(property));
    EXPECT_TRUE(Freed(loose));
    EXPECT_TRUE(Freed(cycleA));
    EXPECT_TRUE(Freed(cycleB));
}

// Array items carry the marking through, however deep and however shared the arrays are.
TEST_F(GarbageCollectorTest, AnObjectHeldOnlyByAnArraySurvives) {
    PWObjectBase* direct = NewObject();
    PWObjectBase* nested = NewObject();
    PWObjectBase* inKey = NewObject();
    Held inner;
    SetElement(&inner.v, 0, ObjectValue(nested));
    RValue* list = &global->slots[1];
    SetElement(list, 0, RValue_Real(1));
    SetElement(list, 32000 + 2, ObjectValue(direct));  // row 1
    RValue_SetIndexed(list, &inner.v, 3);
    RValue_Assign(&global->slots[2], list);  // the same record twice

    PWObjectBase* keyed = NewObject();
    global->slots[3] = ObjectValue(keyed);
    Held key;
    SetElement(&key.v, 0, ObjectValue(inKey));
    keyed->variables->Insert(keyed->variables->AllocNode(&key.v));

    VM_CollectGarbage(nullptr);
    EXPECT_FALSE(Freed(direct));
    EXPECT_FALSE(Freed(nested));
    EXPECT_FALSE(Freed(inKey));

    // The test still holds the inner array, but nothing the collector knows reaches it.
    RValue_Release(&global->slots[1]);
    RValue_Release(&global->slots[2]);
    VM_CollectGarbage(nullptr);
    EXPECT_TRUE(Freed(direct));
    EXPECT_TRUE(Freed(nested));
    EXPECT_FALSE(Freed(inKey));
}

TEST_F(GarbageCollectorTest, ALongChainIsMarkedWithoutRecursion) {
    constexpr int kLength = 200000;
    std::vector<PWObjectBase*> chain;
    PWObjectBase* previous = global;
    g_VariableSettings.objectMode = false;  // no variable lists: keeps the chain small
    for (int i = 0; i < kLength; ++i) {
        PWObjectBase* object = PWObjectBase_Alloc(1, VALUE_UNSET, true);
        previous->slots[previous == global ? 4 : 0] = ObjectValue(object);
        chain.push_back(object);
        previous = object;
    }
    g_VariableSettings.objectMode = true;
    VM_CollectGarbage(nullptr);
    EXPECT_FALSE(Freed(chain.front()));
    EXPECT_FALSE(Freed(chain.back()));

    global->slots[4] = RValue_Undefined();
    VM_CollectGarbage(nullptr);
    EXPECT_TRUE(Freed(chain.front()));
    EXPECT_TRUE(Freed(chain.back()));
}

// A data structure's values are roots only while a room is current.
RValue g_mapValue;
void MarkFakeMap(GCMarkContext& marker) {
    GC_MarkValue(&g_mapValue, marker);
}

TEST_F(GarbageCollectorTest, AnObjectInAContainerSurvivesWhileARoomIsCurrent) {
    PWObjectBase* stored = NewObject();
    g_mapValue = ObjectValue(stored);
    GC_RegisterRoots(MarkFakeMap, GC_ROOTS_WHILE_ROOM_CURRENT);
    world.roomCurrent = true;
    VM_CollectGarbage(nullptr);
    EXPECT_FALSE(Freed(stored));

    world.roomCurrent = false;
    VM_CollectGarbage(nullptr);
    EXPECT_TRUE(Freed(stored));
    GC_UnregisterRoots(MarkFakeMap);
}

// The interpreter registers its live frames; once a script has returned its locals object
// is gone and what only it held goes at the next collection.
PWObjectBase* g_runningLocals = nullptr;
void MarkRunningFrames(GCMarkContext& marker) {
    GC_MarkObject(g_runningLocals, marker);
}

TEST_F(GarbageCollectorTest, AnObjectHeldOnlyByALocalOfAReturnedScriptIsFreed) {
    PWObjectBase* local = NewObject();
    g_runningLocals = PWObjectBase_Alloc(3, VALUE_UNSET, true);
    g_runningLocals->slots[0] = ObjectValue(local);
    GC_RegisterRoots(MarkRunningFrames, GC_ROOTS_ALWAYS);
    VM_CollectGarbage(nullptr);
    EXPECT_FALSE(Freed(local));

    // The script returns: its frame is popped and its locals freed.
    GC_UnregisterRoots(MarkRunningFrames);
    PWObjectBase_Free(g_runningLocals);
    g_runningLocals = nullptr;
    EXPECT_FALSE(Freed(local));
    VM_CollectGarbage(nullptr);
    EXPECT_TRUE(Freed(local));
}

// Instances are roots wherever they are still held: the room's active list, the id hash, or
// a persistent room that is not current (through its module's roots).
CInstance* g_parked = nullptr;
void MarkPersistentRooms(GCMarkContext& marker) {
    GC_MarkObject(g_parked, marker);
}

TEST_F(GarbageCollectorTest, InstancesKeepWhatTheirVariablesHold) {
    PWObjectBase* ofActive = NewObject();
    PWObjectBase* ofListed = NewObject();
    PWObjectBase* ofParked = NewObject();
    PWObjectBase* ofLost = NewObject();
    auto* active = new CInstance(0, 0, 100001, -1, false);
    auto* listed = new CInstance(0, 0, 100002, -1, false);
    g_parked = new CInstance(0, 0, 100003, -1, false);
    FakeObject& object = world.AddObject(1, "lost");
    auto* lost = new CInstance(0, 0, 100004, 1, true);
    *active->GetSlot(0) = ObjectValue(ofActive);
    *listed->GetSlot(1) = ObjectValue(ofListed);
    *g_parked->GetSlot(2) = ObjectValue(ofParked);
    *lost->GetSlot(3) = ObjectValue(ofLost);
    world.active.InsertByDepth(active);
    Instance_IdHash().Insert(listed->id, listed);
    GC_RegisterRoots(MarkPersistentRooms, GC_ROOTS_ALWAYS);

    EXPECT_FALSE(VM_CollectGarbage(ofActive));
    VM_CollectGarbage(nullptr);
    for (PWObjectBase* kept : {ofActive, ofListed, ofParked}) EXPECT_FALSE(Freed(kept));
    EXPECT_TRUE(Freed(ofLost));
    EXPECT_TRUE(object.instances.empty());  // the lost instance was deleted

    GC_UnregisterRoots(MarkPersistentRooms);
    Instance_IdHash().Delete(listed->id);
    world.active.Remove(active);
    delete active;
    delete listed;
    delete g_parked;
    g_parked = nullptr;
}

}  // namespace
