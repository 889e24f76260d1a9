// Result maps built by the runner, and the helpers native code and extensions fill
// containers with.
#include <gtest/gtest.h>

#include "DsTestSupport.h"

namespace {

constexpr const char* kMissing = "Data structure with index does not exist.";

TEST_F(DsTest, MapsFromPairsTakeTextOrReal) {
    const int32_t map = DsMap_CreateFromPairs(3, "a", 1.0, static_cast<const char*>(nullptr), "b", 0.0, "x", "a",
                                              5.0, static_cast<const char*>(nullptr));
    EXPECT_EQ(Real("ds_map_find_value", {R(map), S("a")}), 1);
    EXPECT_EQ(Text("ds_map_find_value", {R(map), S("b")}), "x");
    EXPECT_EQ(Real("ds_map_size", {R(map)}), 2);
    EXPECT_EQ(DS_GetMap(map)->BucketCount(), 4096);

    // An event's map freed after the event leaves its index to the next map.
    DsMap_Destroy(map);
    const int32_t empty = DsMap_CreateFromPairs(0);
    EXPECT_EQ(empty, map);
    EXPECT_EQ(Real("ds_map_size", {R(empty)}), 0);
    EXPECT_EQ(DS_GetMap(-1), nullptr);
    EXPECT_EQ(DS_GetMap(1 << 30), nullptr);
    EXPECT_TRUE(Reported().empty());
}

TEST_F(DsTest, NativeQueues) {
    EXPECT_EQ(DsQueue_Size(-1), 0);
    EXPECT_TRUE(Reported().empty());
    const int32_t queue = DsQueue_Create();
    int marker = 0;
    DsQueue_EnqueueValues(queue, 2, 4.0, static_cast<void*>(nullptr), 9.0, static_cast<void*>(&marker));
    EXPECT_EQ(DsQueue_Size(queue), 2);
    Owned first, second;
    DsQueue_Dequeue(queue, &first.v);
    DsQueue_Dequeue(queue, &second.v);
    EXPECT_EQ(first.Real(), 4);
    EXPECT_EQ(second.Kind(), VALUE_PTR);
    EXPECT_EQ(second.v.ptr, &marker);
    DsQueue_Clear(queue);
    Run("ds_queue_destroy", {R(queue)});
    EXPECT_EQ(DsQueue_Size(queue), 0);
    EXPECT_EQ(Reported(), std::vector<std::string>{kMissing});
}

TEST_F(DsTest, NativeMapAndListHelpers) {
    const int32_t map = DsMap_Create();
    DsMap_AddInt(map, "i", 1);
    DsMap_AddInt(map, "i", 2);
    DsMap_AddReal(map, "r", 2.5);
    DsMap_AddInt64(map, "id", 0, 1);
    DsMap_AddString(map, "s", "text");
    EXPECT_EQ(Real("ds_map_find_value", {R(map), S("i")}), 1);
    EXPECT_EQ(Real("ds_map_find_value", {R(map), S("r")}), 2.5);
    auto id = Run("ds_map_find_value", {R(map), S("id")});
    EXPECT_EQ(id->Kind(), VALUE_INT64);
    EXPECT_EQ(id->v.v64, 4294967296ll);
    EXPECT_EQ(Text("ds_map_find_value", {R(map), S("s")}), "text");

    // A map appended to a list is owned by it: clearing the list destroys the map.
    const int32_t list = DsList_Create();
    DsList_AddInt64(list, -1, -1);
    DsList_AddInt64(list, 5, 0);
    const int32_t child = DsMap_Create();
    DsList_AddMap(list, child);
    EXPECT_EQ(Real("ds_list_size", {R(list)}), 3);
    EXPECT_EQ(Run("ds_list_find_value", {R(list), R(2)})->Kind(), 0x80000000u);
    EXPECT_EQ(Run("ds_list_find_value", {R(list), R(0)})->v.v64, -1);
    DsList_Clear(list);
    EXPECT_EQ(Exists(child, 1), 0);

    const int32_t nested = DsList_Create();
    DsMap_AddList(map, "list", nested);
    DsMap_Clear(map);
    EXPECT_EQ(Exists(nested, 2), 0);
    EXPECT_TRUE(Reported().empty());

    Run("ds_list_destroy", {R(list)});
    DsList_AddMap(list, DsMap_Create());
    EXPECT_EQ(Reported(), std::vector<std::string>{kMissing});
}

TEST_F(DsTest, DirectAddersRefuseMissingMapsQuietly) {
    const int32_t map = DsMap_Create();
    EXPECT_TRUE(DsMap_AddRealDirect(map, "type", 1));
    EXPECT_FALSE(DsMap_AddRealDirect(map, "type", 2));
    EXPECT_TRUE(DsMap_AddStringDirect(map, "ip", "127.0.0.1"));
    EXPECT_TRUE(DsMap_AddStringDirect(map, "none", nullptr));
    EXPECT_EQ(Real("ds_map_find_value", {R(map), S("type")}), 1);
    EXPECT_EQ(Text("ds_map_find_value", {R(map), S("none")}), "");
    EXPECT_FALSE(DsMap_AddRealDirect(-1, "k", 1));
    EXPECT_FALSE(DsMap_AddStringDirect(1 << 30, "k", "v"));
    EXPECT_TRUE(Reported().empty());

    const DsExtensionCallbacks callbacks = DS_GetExtensionCallbacks();
    EXPECT_EQ(callbacks.addRealDirect, &DsMap_AddRealDirect);
    const int32_t posted = callbacks.createFromPairs(1, "k", 1.0, static_cast<const char*>(nullptr));
    callbacks.postMapEvent(posted, 75);  // no asynchronous stage yet: the map is dropped
    EXPECT_EQ(Exists(posted, 1), 0);

    static int32_t seen[2];
    DS_SetAsyncPostMapEvent([](int32_t m, int32_t subtype) {
        seen[0] = m;
        seen[1] = subtype;
    });
    DS_PostMapEvent(map, 62);
    DS_SetAsyncPostMapEvent(nullptr);
    EXPECT_EQ(seen[0], map);
    EXPECT_EQ(seen[1], 62);
    EXPECT_EQ(Exists(map, 1), 1);
}

TEST_F(DsTest, EveryLiveContainerIsMarked) {
    RValue array = RValue_Undefined();
    RValue one = R(1);
    RValue_SetIndexed(&array, &one, 0);
    const int32_t list = Create("ds_list_create");
    const int32_t grid = Create("ds_grid_create", {R(2), R(2)});
    Run("ds_list_add", {R(list), Ref(array)});
    Run("ds_grid_set", {R(grid), R(1), R(1), Ref(array)});
    struct Count {
        const SharedArray* record;
        int hits = 0;
    } count{array.arr};
    DS_MarkAll([](const RValue* v, void* c) {
        auto* counter = static_cast<Count*>(c);
        if (v->kind == VALUE_ARRAY && v->arr == counter->record) ++counter->hits;
    }, &count);
    EXPECT_EQ(count.hits, 2);
    RValue_Release(&array);
}

}  // namespace
