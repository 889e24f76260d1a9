#include "core/Hash.h"

#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "core/MemoryManager.h"

namespace {

int g_destroyed = 0;

struct Counted {
    explicit Counted(int id) : id(id) {}
    virtual ~Counted() { ++g_destroyed; }
    int id;
};

int* NewInt(int value) {
    int* p = static_cast<int*>(MEM_ALLOC(sizeof(int)));
    *p = value;
    return p;
}

TEST(HashTest, KeysSharingABucketAreFoundIndependently) {
    CHash<int> hash(512);
    int five = 5, other = 517;
    hash.Insert(5, &five);
    hash.Insert(517, &other);
    EXPECT_EQ(hash.Find(5), &five);
    EXPECT_EQ(hash.Find(517), &other);
    EXPECT_EQ(hash.Find(1029), nullptr);

    EXPECT_TRUE(hash.Delete(5));
    EXPECT_EQ(hash.Find(5), nullptr);
    EXPECT_EQ(hash.Find(517), &other);
    EXPECT_FALSE(hash.Delete(5));
    EXPECT_EQ(hash.Count(), 1);
}

TEST(HashTest, DuplicateKeysKeepBothNodesAndFindTheOlderFirst) {
    CHash<int> hash(8);
    int first = 1, second = 2;
    hash.Insert(7, &first);
    hash.Insert(7, &second);
    EXPECT_EQ(hash.Count(), 2);
    EXPECT_EQ(hash.Find(7), &first);
    EXPECT_TRUE(hash.Delete(7));
    EXPECT_EQ(hash.Find(7), &second);
    EXPECT_TRUE(hash.Delete(7));
    EXPECT_EQ(hash.Find(7), nullptr);
    EXPECT_FALSE(hash.Delete(7));
    EXPECT_EQ(hash.Count(), 0);
}

// The walk goes bucket by bucket in insertion order, which shows where each key landed.
TEST(HashTest, NegativeKeysSelectBucketKeyAndMask) {
    CHash<int> hash(512);
    EXPECT_EQ(hash.BucketCount(), 512);
    std::vector<int> values = {-1, 0, 511, -512, 1};
    for (int& v : values) hash.Insert(v, &v);
    for (int& v : values) EXPECT_EQ(hash.Find(v), &v);

    std::vector<int> order;
    CHashIterator it;
    for (int* v = hash.IteratorFirst(it); it.node; v = hash.IteratorNext(it)) order.push_back(*v);
    EXPECT_EQ(order, (std::vector<int>{0, -512, 1, -1, 511}));
    EXPECT_EQ(it.bucket, -1);
}

TEST(HashTest, BucketCountIsRoundedUpToAPowerOfTwo) {
    EXPECT_EQ(CHash<int>(100).BucketCount(), 128);
    EXPECT_EQ(CHash<int>(1).BucketCount(), 1);
    EXPECT_EQ(CHash<int>(0).BucketCount(), 1);
}

TEST(HashTest, ClearDisposesOfEveryValueByItsMode) {
    {
        CHash<int> hash(4);
        for (int k = 0; k < 20; ++k) hash.Insert(k, NewInt(k));
        hash.Clear(HashDispose_Free);  // a value left behind shows up as a leak under the sanitizers
        EXPECT_EQ(hash.Count(), 0);
        EXPECT_EQ(hash.Find(3), nullptr);
    }
    for (HashDispose mode : {HashDispose_Delete, HashDispose_DestructFree}) {
        SCOPED_TRACE(mode);
        g_destroyed = 0;
        CHash<Counted> hash(4);
        for (int k = 0; k < 10; ++k) {
            Counted* value =
                mode == HashDispose_Delete ? new Counted(k) : new (MEM_ALLOC(sizeof(Counted))) Counted(k);
            hash.Insert(k, value);
        }
        EXPECT_TRUE(hash.DeleteDispose(4, mode));
        EXPECT_FALSE(hash.DeleteDispose(4, mode));
        EXPECT_EQ(g_destroyed, 1);
        hash.Clear(mode);
        EXPECT_EQ(g_destroyed, 10);
        EXPECT_EQ(hash.Count(), 0);
    }
}

TEST(HashTest, WalkSurvivesRemovalOfTheCurrentNode) {
    CHash<int> hash(8);
    std::vector<int> keys = {3, 11, 19, 4, 0, 27, 7};  // 3, 11, 19 and 27 share bucket 3
    for (int& k : keys) hash.Insert(k, &k);

    int visited = 0;
    CHashIterator it;
    for (int* v = hash.IteratorFirst(it); it.node; v = hash.IteratorNext(it)) {
        ++visited;
        EXPECT_TRUE(hash.Delete(*v));
    }
    EXPECT_EQ(visited, 7);
    EXPECT_EQ(hash.Count(), 0);
}

// A value whose destructor takes itself out of the hash that owns it.
struct SelfRemoving {
    SelfRemoving(CHash<SelfRemoving>* owner, int key) : owner(owner), key(key) {}
    CHash<SelfRemoving>* owner;
    int key;
    virtual ~SelfRemoving() { owner->Delete(key); }
};

TEST(HashTest, DisposingAValueThatUnlinksItselfIsSafe) {
    CHash<SelfRemoving> hash(512);
    hash.Insert(5, new SelfRemoving(&hash, 5));
    hash.Insert(517, new SelfRemoving(&hash, 517));
    EXPECT_TRUE(hash.DeleteDispose(5, HashDispose_Delete));
    EXPECT_EQ(hash.Count(), 1);
    EXPECT_NE(hash.Find(517), nullptr);
    hash.Clear(HashDispose_Delete);
    EXPECT_EQ(hash.Count(), 0);
}

}  // namespace
