// The collision tree against a brute-force scan: after random inserts, moves and removals,
// searches by rectangle and by segment report the same entries, and every node but the root
// keeps 2 to 6 branches.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "world/RTree.h"

namespace {

using Tree = RTree<int, int, float, 6, 2>;

struct Checker {
    int leaves = 0;
    bool ok = true;
    void Walk(const Tree::Node* node, bool root, int level) {
        if (node->level != level) ok = false;
        if (!root && (node->count < 2 || node->count > 6)) ok = false;
        for (int i = 0; i < node->count; ++i) {
            const Tree::Branch& b = node->branch[i];
            if (node->level == 0) {
                ++leaves;
                continue;
            }
            // Each inner branch's rectangle covers its child.
            const Tree::Rect cover = Tree::CoverOfNode(b.child);
            if (cover.min[0] < b.rect.min[0] || cover.min[1] < b.rect.min[1] ||
                cover.max[0] > b.rect.max[0] || cover.max[1] > b.rect.max[1])
                ok = false;
            Walk(b.child, false, level - 1);
        }
    }
};

bool Collect(int data, void* context) {
    static_cast<std::vector<int>*>(context)->push_back(data);
    return true;
}

std::vector<int> Sorted(std::vector<int> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST(CollisionTree, MatchesABruteForceScanThroughRandomChanges) {
    std::mt19937 random(2101988);
    auto coordinate = [&] { return static_cast<int>(random() % 2000) - 200; };
    Tree tree;
    std::map<int, Tree::Rect> boxes;
    int nextId = 1;
    for (int op = 0; op < 10000; ++op) {
        const int what = static_cast<int>(random() % 10);
        if (what < 5 || boxes.size() < 20) {
            Tree::Rect r;
            r.min[0] = coordinate();
            r.min[1] = coordinate();
            r.max[0] = r.min[0] + static_cast<int>(random() % 60);
            r.max[1] = r.min[1] + static_cast<int>(random() % 60);
            tree.Insert(r.min, r.max, nextId);
            boxes[nextId++] = r;
            continue;
        }
        auto it = boxes.begin();
        std::advance(it, random() % boxes.size());
        // A removal with a stale rectangle must still find its entry through the retry.
        Tree::Rect stale = it->second;
        if (what == 9) stale.min[0] = stale.max[0] = 5000;
        EXPECT_FALSE(tree.Remove(stale.min, stale.max, it->first, true));
        if (what < 8) {  // a move: out and in again
            Tree::Rect r = it->second;
            const int dx = static_cast<int>(random() % 41) - 20, dy = static_cast<int>(random() % 41) - 20;
            r.min[0] += dx;
            r.max[0] += dx;
            r.min[1] += dy;
            r.max[1] += dy;
            tree.Insert(r.min, r.max, it->first);
            it->second = r;
        } else {
            boxes.erase(it);
        }

        if (op % 100 != 0) continue;
        Checker checker;
        checker.Walk(tree.Root(), true, tree.Root()->level);
        ASSERT_TRUE(checker.ok) << "after operation " << op;
        ASSERT_EQ(checker.leaves, static_cast<int>(boxes.size()));

        Tree::Rect q;
        q.min[0] = coordinate();
        q.min[1] = coordinate();
        q.max[0] = q.min[0] + static_cast<int>(random() % 300);
        q.max[1] = q.min[1] + static_cast<int>(random() % 300);
        std::vector<int> found, expected;
        const int count = tree.Search(q.min, q.max, Collect, &found);
        EXPECT_EQ(count, static_cast<int>(found.size()));
        for (const auto& [id, r] : boxes)
            if (Tree::Overlap(r, q)) expected.push_back(id);
        ASSERT_EQ(Sorted(found), expected) << "rectangle search after operation " << op;

        const int x1 = coordinate(), y1 = coordinate(), x2 = coordinate(), y2 = coordinate();
        found.clear();
        expected.clear();
        tree.SearchSegment(x1, y1, x2, y2, Collect, &found);
        Tree::Segment s;
        s.x0 = std::min(x1, x2);
        s.y0 = x1 <= x2 ? y1 : y2;
        s.dx = std::abs(x2 - x1);
        s.dy = (x1 <= x2 ? y2 : y1) - s.y0;
        for (const auto& [id, r] : boxes)
            if (Tree::SegmentMeets(r, s)) expected.push_back(id);
        ASSERT_EQ(Sorted(found), expected) << "segment search after operation " << op;
    }
}

TEST(CollisionTree, RemovalOfWhatIsNotThereAnswersNotFound) {
    Tree tree;
    const int min[2] = {0, 0}, max[2] = {10, 10};
    EXPECT_TRUE(tree.Remove(min, max, 1, true)) << "empty tree";
    tree.Insert(min, max, 1);
    EXPECT_TRUE(tree.Remove(min, max, 2, true));
    EXPECT_FALSE(tree.Remove(min, max, 1, false));
    EXPECT_EQ(tree.Root()->count, 0);
}

TEST(CollisionTree, SegmentTestClipsToTheBox) {
    // (0, 0)-(100, 100) passes x 40..50 at y 40..50: it misses 40..49 x 0..9 and meets 40..49 x 40..49.
    Tree::Segment s{0, 0, 100, 100};
    EXPECT_FALSE(Tree::SegmentMeets(Tree::Rect{{40, 0}, {49, 9}}, s));
    EXPECT_TRUE(Tree::SegmentMeets(Tree::Rect{{40, 40}, {49, 49}}, s));
    // A vertical segment inside the box's x range.
    EXPECT_TRUE(Tree::SegmentMeets(Tree::Rect{{0, 0}, {9, 9}}, Tree::Segment{5, -5, 0, 20}));
    EXPECT_FALSE(Tree::SegmentMeets(Tree::Rect{{0, 0}, {9, 9}}, Tree::Segment{10, -5, 0, 20}));
}

}  // namespace
