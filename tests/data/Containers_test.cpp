// The container classes on their own: growth, queue compaction, list order and sort, map
// keys, buckets and iteration, priority selection, grid resize, and the moves that must keep
// reference counts and array owners true.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "DsTestSupport.h"
#include "data/Common.h"
#include "data/Support_Data_Structures.h"
#include "data/ValueCompare.h"

namespace {

// Values handed to a container are copied in; the test keeps and releases its own.
struct Val {
    RValue v;
    explicit Val(RValue value) : v(value) {}
    ~Val() { RValue_Release(&v); }
    const RValue* operator&() const { return &v; }
};

double RealAt(CDS_List& list, int32_t i) {
    const RValue* slot = list.GetItem(i);
    return slot && slot->kind == VALUE_REAL ? slot->val : -999;
}

TEST(ListTest, CapacityGrowsBySixteenThenByAnEighth) {
    CDS_List list;
    std::vector<int32_t> seen;
    for (int i = 0; i < 182; ++i) {
        list.Add(&Val(R(i)));
        if (seen.empty() || seen.back() != list.Capacity()) seen.push_back(list.Capacity());
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{16, 32, 48, 64, 80, 96, 112, 128, 144, 162, 182}));
}

TEST(ListTest, InsertAtTheEndAppendsAndPastItChangesNothing) {
    CDS_List list;
    list.Add(&Val(R(1)));
    list.Add(&Val(R(2)));
    list.Insert(2, &Val(R(3)));
    list.Insert(4, &Val(R(9)));
    list.Insert(-1, &Val(R(9)));
    list.Insert(0, &Val(R(0)));
    ASSERT_EQ(list.Size(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(RealAt(list, i), i);
}

TEST(ListTest, SetPastTheEndLengthensOverWhatTheSlotsHold) {
    CDS_List fresh;
    for (int i = 0; i < 3; ++i) fresh.Add(&Val(R(7)));
    fresh.Set(10, &Val(R(1)), nullptr);
    EXPECT_EQ(fresh.Size(), 11);
    for (int i = 3; i < 10; ++i) EXPECT_EQ(fresh.GetItem(i)->kind, VALUE_REAL) << i;

    CDS_List cleared;
    for (int i = 0; i < 10; ++i) cleared.Add(&Val(S("x")));
    cleared.Clear();
    cleared.Set(5, &Val(R(1)), nullptr);
    EXPECT_EQ(cleared.Size(), 6);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(cleared.GetItem(i)->kind, VALUE_UNDEFINED) << i;

    // out receives what the slot held before; negative positions change nothing.
    Owned out;
    fresh.Set(0, &Val(R(8)), &out.v);
    EXPECT_EQ(out.Real(), 7);
    fresh.Set(-1, &Val(R(8)), nullptr);
    EXPECT_EQ(fresh.Size(), 11);
}

TEST(ListTest, DeleteShiftsDownAndLeavesAPlainRealBehind) {
    CDS_List list;
    for (int i = 0; i < 4; ++i) list.Add(&Val(R(i)));
    list.Add(&Val(S("tail")));
    list.Delete(1);
    list.Delete(7);
    ASSERT_EQ(list.Size(), 4);
    EXPECT_EQ(RealAt(list, 1), 2);
    EXPECT_EQ(TextOf(*list.GetItem(3)), "tail");
    // Setting the vacated slot again must not release the moved string a second time.
    list.Set(4, &Val(R(5)), nullptr);
    EXPECT_EQ(TextOf(*list.GetItem(3)), "tail");
}

TEST(ListTest, SortIsInsertionSortWithItsTieOrder) {
    const double one = 1.0, oneB = 1.0 + 1e-9;  // equal at the data-structure precision
    auto make = [](std::initializer_list<double> values) {
        auto list = std::make_unique<CDS_List>();
        for (double d : values) list->Add(&Val(R(d)));
        return list;
    };
    auto ascending = make({2, one, oneB});
    ascending->Sort(true);
    EXPECT_EQ(RealAt(*ascending, 0), one);
    EXPECT_EQ(RealAt(*ascending, 1), oneB);
    EXPECT_EQ(RealAt(*ascending, 2), 2);

    auto descending = make({one, oneB, 2});
    descending->Sort(false);
    EXPECT_EQ(RealAt(*descending, 0), 2);
    EXPECT_EQ(RealAt(*descending, 1), oneB);
    EXPECT_EQ(RealAt(*descending, 2), one);

    // Mixed kinds: reals sort below strings.
    auto mixed = make({3});
    mixed->Add(&Val(S("a")));
    mixed->Add(&Val(R(1)));
    mixed->Sort(true);
    EXPECT_EQ(RealAt(*mixed, 0), 1);
    EXPECT_EQ(TextOf(*mixed->GetItem(2)), "a");
}

TEST(ListTest, FindIndexComparesWithinThePrecisionAcrossKinds) {
    CDS_List list;
    list.Add(&Val(S("5")));
    list.Add(&Val(I32(5)));
    list.Add(&Val(R(7)));
    EXPECT_EQ(list.FindIndex(&Val(R(5))), 1);
    EXPECT_EQ(list.FindIndex(&Val(R(7 + 1e-9))), 2);
    EXPECT_EQ(list.FindIndex(&Val(S("5"))), 0);
    EXPECT_EQ(list.FindIndex(&Val(R(6))), -1);
}

TEST(ListTest, ShuffleDrawsEightSwapsPerValueFromTheGenerator) {
    CDS_List a, b;
    for (int i = 0; i < 10; ++i) {
        a.Add(&Val(R(i)));
        b.Add(&Val(R(i)));
    }
    Random_SetSeed(42);
    a.Shuffle();
    const uint32_t after = Random_Next();
    Random_SetSeed(42);
    for (int i = 0; i < 160; ++i) Random_Next();
    EXPECT_EQ(Random_Next(), after);
    Random_SetSeed(42);
    b.Shuffle();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(RealAt(a, i), RealAt(b, i));
}

TEST(QueueTest, CompactsOnlyWhenMoreThanHalfLiesBehindTheHead) {
    struct Case {
        int values;
        int dequeues;
        int head;
        int tail;
    };
    for (const Case& c : {Case{20, 17, 0, 3}, Case{40, 17, 17, 40}, Case{20, 16, 16, 20}}) {
        CDS_Queue queue;
        for (int i = 1; i <= c.values; ++i) queue.Enqueue(&Val(R(i)));
        const RValue* last = nullptr;
        for (int i = 0; i < c.dequeues; ++i) last = queue.Dequeue();
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(last->val, c.dequeues) << c.values;  // the dequeued slot survives compaction
        EXPECT_EQ(queue.HeadIndex(), c.head) << c.values;
        EXPECT_EQ(queue.TailIndex(), c.tail) << c.values;
        EXPECT_EQ(queue.Head()->val, c.dequeues + 1);
        EXPECT_EQ(queue.Size(), c.values - c.dequeues);
    }
}

TEST(QueueTest, CopyOfAFullQueueKeepsItsNewestValue) {
    CDS_Queue source, copy;
    for (int i = 1; i <= 16; ++i) source.Enqueue(&Val(S(std::to_string(i).c_str())));
    ASSERT_EQ(source.TailIndex(), source.Capacity());
    copy.Enqueue(&Val(R(1)));
    copy.Copy(&source);
    EXPECT_EQ(TextOf(*copy.Tail()), "16");
    EXPECT_EQ(TextOf(*copy.Head()), "1");
    copy.Copy(&copy);  // onto itself: unchanged
    EXPECT_EQ(copy.Size(), 16);
    copy.Clear();
    EXPECT_TRUE(copy.Empty());
    EXPECT_EQ(copy.Dequeue(), nullptr);
}

TEST(StackTest, PopLeavesTheValueUntilTheNextPushReleasesIt) {
    RValue text = S("held");
    SharedString* record = text.str;
    CDS_Stack stack;
    stack.Push(&text);
    EXPECT_EQ(record->refCount, 2);
    EXPECT_EQ(TextOf(*stack.Pop()), "held");
    EXPECT_EQ(record->refCount, 2);
    stack.Push(&Val(R(1)));
    EXPECT_EQ(record->refCount, 1);
    EXPECT_EQ(stack.Pop()->val, 1);
    EXPECT_EQ(stack.Pop(), nullptr);
    EXPECT_EQ(stack.Top(), nullptr);
    // A popped value still in its slot is released with the stack.
    stack.Push(&text);
    stack.Pop();
    stack.Clear();
    EXPECT_EQ(record->refCount, 1);
    RValue_Release(&text);
}

TEST(PriorityTest, SelectionPrefersTheEarliestOfEqualPriorities) {
    CDS_Priority queue;
    const double priorities[] = {3, 1, 1};
    const char* names[] = {"a", "b", "c"};
    for (int i = 0; i < 3; ++i) queue.Add(&Val(S(names[i])), &Val(R(priorities[i])));
    EXPECT_EQ(TextOf(*queue.FindMin()), "b");
    EXPECT_EQ(TextOf(*queue.FindMax()), "a");
    EXPECT_EQ(queue.FindPriority(&Val(S("c")))->val, 1);

    Owned removed;
    queue.DeleteMin(&removed.v);
    EXPECT_EQ(removed.Text(), "b");
    EXPECT_EQ(TextOf(*queue.FindMin()), "c");  // the last entry moved into the gap
    queue.ChangePriority(&Val(S("c")), &Val(R(9)));
    EXPECT_EQ(TextOf(*queue.FindMax()), "c");
    queue.DeleteValue(&Val(S("a")));
    EXPECT_EQ(queue.Size(), 1);

    CDS_Priority empty;
    RValue zero = S("junk");
    RValue_Release(&zero);
    empty.DeleteMax(&zero);
    EXPECT_EQ(zero.kind, VALUE_REAL);
    EXPECT_EQ(zero.val, 0);
    EXPECT_EQ(empty.FindMin(), nullptr);
}

TEST(MapTest, KeysAreOneWhenHashAndComparisonAgree) {
    CDS_Map map;
    EXPECT_TRUE(map.Add(&Val(R(5)), &Val(S("real"))));
    EXPECT_FALSE(map.Add(&Val(I32(5)), &Val(S("int"))));
    EXPECT_FALSE(map.Add(&Val(I64(5)), &Val(S("int64"))));
    EXPECT_TRUE(map.Add(&Val(R(0.3)), &Val(R(1))));
    EXPECT_TRUE(map.Add(&Val(R(0.1 + 0.2)), &Val(R(2))));  // equal, but hashed apart
    EXPECT_TRUE(map.Add(&Val(R(-0.0)), &Val(R(3))));
    EXPECT_TRUE(map.Add(&Val(R(0.0)), &Val(R(4))));
    EXPECT_EQ(map.Size(), 5);
    EXPECT_EQ(TextOf(map.Find(&Val(I32(5)))->value), "real");

    Owned out;
    map.Set(&Val(S("k")), &Val(R(1)), &out.v);  // new key: out gets the new value
    EXPECT_EQ(out.Real(), 1);
    map.Set(&Val(S("k")), &Val(R(2)), &out.v);
    EXPECT_EQ(out.Real(), 1);
    EXPECT_FALSE(map.Replace(&Val(S("r")), &Val(R(1))));
    EXPECT_TRUE(map.Replace(&Val(S("r")), &Val(R(2))));
    EXPECT_TRUE(map.Delete(&Val(S("r"))));
    EXPECT_FALSE(map.Delete(&Val(S("r"))));
    EXPECT_TRUE(map.AddByName("n", 0, "text"));
    EXPECT_EQ(TextOf(map.Find(&Val(S("n")))->value), "text");
}

// Keys equal within the precision but filed apart are each visited once by a walk by key.
TEST(MapTest, WalkByKeyVisitsEqualKeysFiledApartOnce) {
    for (int32_t buckets : {1, 4096}) {
        CDS_Map map(buckets);
        map.Add(&Val(R(0.3)), &Val(R(1)));
        map.Add(&Val(R(0.1 + 0.2)), &Val(R(2)));
        map.Add(&Val(R(7)), &Val(R(3)));
        int steps = 0;
        for (const RValue* k = map.FindFirst(); k != nullptr && steps < 10; k = map.FindNext(k)) ++steps;
        EXPECT_EQ(steps, 3) << buckets;
        steps = 0;
        for (const RValue* k = map.FindLast(); k != nullptr && steps < 10; k = map.FindPrevious(k)) ++steps;
        EXPECT_EQ(steps, 3) << buckets;
        // A key equal to a stored one but filed under neither starts from the first equal key.
        EXPECT_NE(map.FindNext(&Val(R(0.3 + 1e-12))), nullptr);
    }
}

TEST(MapTest, OneBucketIteratesInTheOrderOfAdding) {
    CDS_Map map(1);
    const double keys[] = {9, 2, 7, 4};
    for (double k : keys) map.Add(&Val(R(k)), &Val(R(0)));
    std::vector<double> order;
    for (const RValue* k = map.FindFirst(); k != nullptr; k = map.FindNext(k)) order.push_back(k->val);
    EXPECT_EQ(order, std::vector<double>(std::begin(keys), std::end(keys)));
    EXPECT_EQ(map.FindLast()->val, 4);
    EXPECT_EQ(map.FindPrevious(&Val(R(9))), nullptr);
    EXPECT_EQ(map.FindPrevious(&Val(R(7)))->val, 2);
    EXPECT_EQ(map.FindNext(&Val(R(5))), nullptr);
}

TEST(MapTest, IterationFollowsBucketsAndNextCrossesEmptyBuckets) {
    CDS_Map map(64);
    for (int i = 0; i < 40; ++i) map.Add(&Val(S(("key" + std::to_string(i)).c_str())), &Val(R(i)));
    std::vector<uint32_t> buckets;
    int visited = 0;
    for (const RValue* k = map.FindFirst(); k != nullptr; k = map.FindNext(k), ++visited)
        buckets.push_back(DS_ValueHash(k) & 63);
    EXPECT_EQ(visited, 40);
    EXPECT_TRUE(std::is_sorted(buckets.begin(), buckets.end()));
    int back = 0;
    for (const RValue* k = map.FindLast(); k != nullptr; k = map.FindPrevious(k)) ++back;
    EXPECT_EQ(back, 40);
    CDS_Map copy(8);
    copy.Copy(&map);
    EXPECT_EQ(copy.Size(), 40);
    EXPECT_EQ(copy.Find(&Val(S("key17")))->value.val, 17);
    copy.Copy(&copy);  // onto itself: unchanged
    EXPECT_EQ(copy.Size(), 40);
}

// Large maps look keys up through their full-hash index; every answer must be the one the
// bucket chain gives, duplicates (old map texts and copies file them unchecked) included.
TEST(MapTest, HashIndexAnswersAsTheChainsDo) {
    std::mt19937 random(7);
    for (int32_t buckets : {1, 4, 256}) {
        CDS_Map map(buckets);
        std::map<int, std::vector<int>> reference;  // key -> values of its entries in chain order
        for (int step = 0; step < 20000; ++step) {
            const int key = static_cast<int>(random() % 3000);
            std::vector<int>& entries = reference[key];
            switch (random() % 4) {
                case 0:
                case 1:
                    EXPECT_EQ(map.Add(&Val(R(key)), &Val(R(step))), entries.empty());
                    if (entries.empty()) entries.push_back(step);
                    break;
                case 2:
                    EXPECT_EQ(map.Delete(&Val(R(key))), !entries.empty());
                    if (!entries.empty()) entries.erase(entries.begin());
                    break;
                default: {
                    const Val k(R(key));
                    map.AppendEntry(&k, &Val(R(-step)), DS_ValueHash(&k));
                    entries.push_back(-step);
                    break;
                }
            }
        }
        size_t total = 0;
        for (const auto& [key, values] : reference) {
            total += values.size();
            const DSMapEntry* entry = map.Find(&Val(R(key)));
            if (values.empty()) {
                EXPECT_EQ(entry, nullptr) << key;
            } else {
                ASSERT_NE(entry, nullptr) << key;
                EXPECT_EQ(entry->value.val, values.front()) << key;
            }
        }
        size_t walked = 0;
        for (const DSMapNode* node = map.FirstNode(); node != nullptr; node = map.NextNode(node)) ++walked;
        EXPECT_EQ(walked, total);
        EXPECT_EQ(static_cast<size_t>(map.Size()), total);
    }
}

TEST(GridClassTest, ResizeKeepsTheSharedCells) {
    CDS_Grid grid(3, 3);
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 3; ++y) grid.SetCell(x, y, &Val(R(x * 10 + y)));
    ASSERT_TRUE(grid.Resize(2, 4));
    for (int x = 0; x < 2; ++x) {
        for (int y = 0; y < 3; ++y) EXPECT_EQ(grid.Cell(x, y)->val, x * 10 + y);
        EXPECT_EQ(grid.Cell(x, 3)->kind, VALUE_REAL);
        EXPECT_EQ(grid.Cell(x, 3)->val, 0);
    }
}

TEST(GridClassTest, SizesThatCannotBeHeldAreRefused) {
    EXPECT_TRUE(CDS_Grid::SizeAllowed(0, 5));
    EXPECT_TRUE(CDS_Grid::SizeAllowed(16000, 16000));
    EXPECT_FALSE(CDS_Grid::SizeAllowed(-1, 5));
    EXPECT_FALSE(CDS_Grid::SizeAllowed(65536, 65536));
    EXPECT_FALSE(CDS_Grid::SizeAllowed(INT32_MAX, 2));
    CDS_Grid grid(2, 2);
    EXPECT_FALSE(grid.Resize(-2, -3));
    EXPECT_FALSE(grid.Resize(100000, 100000));
    EXPECT_EQ(grid.Width(), 2);
    grid.SetSize(-2, -3);  // never a negative size with cells
    EXPECT_EQ(grid.Width(), 0);
    EXPECT_EQ(grid.Height(), 0);
}

// Raw moves (growth, insert, delete, sort, shuffle, priority removal) carry an array's
// owner along with the slot that owns it.
TEST(OwnerTest, ArraysStayOwnedByTheSlotsThatHoldThem) {
    auto arrayOf = [](double d) {
        RValue a = RValue_Undefined();
        RValue item = R(d);
        RValue_SetIndexed(&a, &item, 0);
        return a;
    };
    auto check = [](CDS_List& list) {
        for (int32_t i = 0; i < list.Size(); ++i) {
            const RValue* slot = list.GetItem(i);
            if (slot->kind == VALUE_ARRAY) {
                EXPECT_EQ(slot->arr->owner, slot) << i;
            }
        }
    };
    CDS_List list;
    for (int i = 0; i < 40; ++i) {
        RValue a = arrayOf(40 - i);
        a.arr->owner = nullptr;  // the list's copy takes it
        list.Add(&a);
        RValue_Release(&a);
    }
    check(list);
    list.Insert(3, &Val(R(0)));
    list.Delete(10);
    check(list);
    list.Shuffle();
    check(list);
    list.Sort(true);
    check(list);

    CDS_Grid grid(1, 6);
    for (int y = 0; y < 6; ++y) {
        RValue a = arrayOf(6 - y);
        a.arr->owner = nullptr;
        grid.SetCell(0, y, &a);
        RValue_Release(&a);
    }

    grid.Sort(0, 1);
    for (int y = 0; y < 6; ++y) EXPECT_EQ(grid.Cell(0, y)->arr->owner, grid.Cell(0, y));
}

TEST(MarkTest, OnlyValuesThatReachObjectsArePassed) {
    CDS_List list;
    list.Add(&Val(R(1)));
    list.Add(&Val(S("s")));
    RValue array = RValue_Undefined();
    RValue one = R(1);
    RValue_SetIndexed(&array, &one, 0);
    list.Add(&array);
    RValue_Release(&array);
    int marked = 0;
    list.Mark([](const RValue* v, void* c) { *static_cast<int*>(c) += v->kind == VALUE_ARRAY; }, &marked);
    EXPECT_EQ(marked, 1);

    CDS_Map map;
    map.Add(&Val(S("k")), list.GetItem(2));
    marked = 0;
    map.SetWorkerOwned(true);
    map.Mark([](const RValue*, void* c) { ++*static_cast<int*>(c); }, &marked);
    EXPECT_EQ(marked, 0);
    map.SetWorkerOwned(false);
    map.Mark([](const RValue*, void* c) { ++*static_cast<int*>(c); }, &marked);
    EXPECT_EQ(marked, 1);
}

}  // namespace
