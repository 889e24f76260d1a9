#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "core/ObjectBase.h"
#include "core/SlotHash.h"

namespace {

// Every cell handed out here goes back to the pool at the end of the test.
class CellScope {
public:
    RValue* Take() {
        RValue* cell = ValueCellPool::Take(VALUE_UNSET);
        m_cells.push_back(cell);
        return cell;
    }
    ~CellScope() {
        for (RValue* cell : m_cells) ValueCellPool::Give(cell);
    }

private:
    std::vector<RValue*> m_cells;
};

TEST(SlotHashTest, GrowsOnTheEighthInsertAndKeepsEverySlot) {
    CellScope cells;
    SlotHash hash;
    std::vector<RValue*> values;
    for (int32_t slot = 0; slot < 8; ++slot) {
        EXPECT_EQ(hash.Size(), 8) << "before insert " << slot;
        values.push_back(cells.Take());
        hash.Insert(slot, values.back());
    }
    // The count (7) exceeded the threshold (6) when the eighth slot came in.
    EXPECT_EQ(hash.Size(), 16);
    for (int32_t slot = 0; slot < 8; ++slot) EXPECT_EQ(hash.Lookup(slot), values[slot]) << slot;
    EXPECT_EQ(hash.Lookup(8), nullptr);
}

TEST(SlotHashTest, CollidingSlotsAreBothFound) {
    CellScope cells;
    SlotHash hash;
    RValue* seven = cells.Take();
    RValue* fifteen = cells.Take();
    hash.Insert(7, seven);     // hash 8 -> cell 0
    hash.Insert(15, fifteen);  // hash 16 -> cell 0 too
    EXPECT_EQ(hash.Lookup(7), seven);
    EXPECT_EQ(hash.Lookup(15), fifteen);
    EXPECT_EQ(hash.Lookup(23), nullptr);
}

// Robin Hood displacement and growth against a plain map over scattered slot numbers.
TEST(SlotHashTest, AgreesWithAMapOverManyScatteredSlots) {
    CellScope cells;
    SlotHash hash;
    std::map<int32_t, RValue*> expected;
    std::mt19937 random(1234);
    std::uniform_int_distribution<int32_t> slots(0, 5000);
    for (int i = 0; i < 2000; ++i) {
        int32_t slot = slots(random);
        if (expected.count(slot)) continue;
        RValue* cell = cells.Take();
        hash.Insert(slot, cell);
        expected[slot] = cell;
    }
    for (int32_t slot = 0; slot <= 5000; ++slot) {
        auto it = expected.find(slot);
        ASSERT_EQ(hash.Lookup(slot), it == expected.end() ? nullptr : it->second) << slot;
    }
    // Iteration visits every used cell once.
    std::map<int32_t, RValue*> seen;
    int32_t cursor = 0, slot = 0;
    while (RValue* value = hash.Next(cursor, &slot)) EXPECT_TRUE(seen.emplace(slot, value).second);
    EXPECT_EQ(seen, expected);
}

TEST(SlotHashTest, ASpentPoolMakesASecondBlockOnTheNextSlot) {
    CellScope cells;
    if (ValueCellPool::FreeCount() == 0) ValueCellPool::AddBlock();
    while (ValueCellPool::FreeCount() > 0) cells.Take();
    int32_t blocks = ValueCellPool::BlockCount();

    PWObjectBase* object = PWObjectBase_Alloc(4, VALUE_UNSET, false);
    RValue* slot = object->GetSlot(2);
    EXPECT_EQ(ValueCellPool::BlockCount(), blocks + 1);
    EXPECT_EQ(ValueCellPool::FreeCount(), ValueCellPool::kCellsPerBlock - 1);
    EXPECT_EQ(slot->kind, uint32_t(VALUE_UNSET));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(slot) % 16, 0u);
    PWObjectBase_Free(object);
}

TEST(SlotHashTest, SlotsStayPutAndOutOfRangeNumbersKeepNothing) {
    PWObjectBase* hashed = PWObjectBase_Alloc(4, VALUE_UNSET, false);
    RValue* first = hashed->GetSlot(0);
    *first = RValue_Real(5);
    for (int32_t slot = 1; slot < 100; ++slot) hashed->GetSlot(slot);  // several growths
    EXPECT_EQ(hashed->GetSlot(0), first);
    EXPECT_EQ(first->val, 5.0);

    PWObjectBase* fixed = PWObjectBase_Alloc(4, VALUE_UNSET, true);
    for (PWObjectBase* object : {hashed, fixed}) {
        for (int32_t slot : {-1, -2, INT32_MAX, INT32_MIN}) {
            if (object == fixed && slot >= 0) slot = 4;  // past the fixed array
            RValue* sink = object->GetSlot(slot);
            *sink = RValue_Real(9);
            EXPECT_EQ(object->GetSlot(slot)->kind, uint32_t(VALUE_UNSET)) << slot;
            EXPECT_EQ(object->PeekSlot(slot), nullptr) << slot;
        }
    }
    EXPECT_EQ(fixed->GetSlot(3), &fixed->slots[3]);
    PWObjectBase_Free(hashed);
    PWObjectBase_Free(fixed);
}

}  // namespace
