#include <gtest/gtest.h>

#include <cstdint>

#include "core/ResourceTable.h"

namespace {

// One lookup for every table: indices outside the slots and free slots give null, and a
// 64-bit index is not cut to 32 bits on the way (1 << 32 would otherwise read slot 0).
TEST(ResourceTable, GetValidatesTheIndex) {
    int a = 1, c = 3;
    int* slots[] = {&a, nullptr, &c};
    ResourceTable<int> table;
    table.slots = slots;
    table.count = 3;

    struct Case {
        int64_t index;
        int* record;
        bool inRange;
    };
    const Case cases[] = {
        {0, &a, true},
        {1, nullptr, true},
        {2, &c, true},
        {3, nullptr, false},
        {-1, nullptr, false},
        {int64_t{1} << 32, nullptr, false},
        {INT32_MIN, nullptr, false},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(table.Get(k.index), k.record) << k.index;
        EXPECT_EQ(table.InRange(k.index), k.inRange) << k.index;
    }
    EXPECT_EQ(table.Count(), 3);

    const ResourceTable<int> empty;
    EXPECT_EQ(empty.Get(0), nullptr);
    EXPECT_FALSE(empty.InRange(0));
}

}  // namespace
