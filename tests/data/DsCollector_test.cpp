// Containers as a root of the collector: an object only a container holds lives as long as
// the container does.
#include <gtest/gtest.h>

#include "DsTestSupport.h"
#include "core/GarbageCollector.h"
#include "core/ObjectBase.h"
#include "core/ObjectTestSupport.h"

namespace {

class DsCollectorTest : public DsTest {
protected:
    DsCollectorTest() : settings(4, true) {
        PWObjectBase_ReleasePool();
        global = PWObjectBase_Alloc(8, VALUE_UNSET, true);
        g_GlobalObject = global;
    }
    ~DsCollectorTest() override {
        g_GlobalObject = nullptr;
        PWObjectBase_Free(global);
    }
    static RValue ObjectValue(PWObjectBase* object) {
        RValue value = RValue_Undefined();
        value.obj = object;
        value.kind = VALUE_OBJECT;
        return value;
    }

    GameSettingsScope settings;
    FakeWorld world;
    PWObjectBase* global;
};

TEST_F(DsCollectorTest, ObjectsHeldByContainersSurviveUntilTheContainerGoes) {
    PWObjectBase* inList = PWObjectBase_Alloc(0, VALUE_UNSET, false);
    PWObjectBase* mapKey = PWObjectBase_Alloc(0, VALUE_UNSET, false);
    PWObjectBase* loose = PWObjectBase_Alloc(0, VALUE_UNSET, false);
    const int32_t list = Create("ds_list_create");
    const int32_t map = Create("ds_map_create");
    Run("ds_list_add", {R(list), ObjectValue(inList)});
    Run("ds_map_add", {R(map), ObjectValue(mapKey), R(1)});

    VM_CollectGarbage(nullptr);
    EXPECT_NE(inList->collectorSlot, -1);
    EXPECT_NE(mapKey->collectorSlot, -1);
    EXPECT_EQ(loose->collectorSlot, -1);

    Run("ds_list_destroy", {R(list)});
    Run("ds_map_destroy", {R(map)});
    VM_CollectGarbage(nullptr);
    EXPECT_EQ(inList->collectorSlot, -1);
    EXPECT_EQ(mapKey->collectorSlot, -1);
}

}  // namespace
