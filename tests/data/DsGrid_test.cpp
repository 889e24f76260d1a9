// Grid built-ins: cell operations, regions and disks, region copies, sums and extremes,
// searches, sort, shuffle, the checked and release-mode accessors, and refused sizes.
#include <gtest/gtest.h>

#include <cmath>

#include "DsTestSupport.h"
#include "data/Common.h"

namespace {

class GridTest : public DsTest {
protected:
    // A width x height grid whose cells hold 10 * x + y.
    int32_t Numbered(int32_t width, int32_t height) {
        const int32_t grid = Create("ds_grid_create", {R(width), R(height)});
        for (int x = 0; x < width; ++x)
            for (int y = 0; y < height; ++y) Run("ds_grid_set", {R(grid), R(x), R(y), R(10 * x + y)});
        return grid;
    }
    double At(int32_t grid, int32_t x, int32_t y) { return Real("ds_grid_get", {R(grid), R(x), R(y)}); }
    void TearDown() override {
        DS_SetGridBoundsChecking(true);
        DsTest::TearDown();
    }
};

TEST_F(GridTest, AddJoinsStringsReplacesMixedAndSumsNumbers) {
    const int32_t grid = Create("ds_grid_create", {R(3), R(1)});
    Run("ds_grid_set", {R(grid), R(0), R(0), S("ab")});
    Run("ds_grid_set", {R(grid), R(1), R(0), S("ab")});
    Run("ds_grid_set", {R(grid), R(2), R(0), R(3)});
    Run("ds_grid_add", {R(grid), R(0), R(0), S("cd")});
    Run("ds_grid_add", {R(grid), R(1), R(0), R(2)});
    Run("ds_grid_add", {R(grid), R(2), R(0), R(2)});
    EXPECT_EQ(Text("ds_grid_get", {R(grid), R(0), R(0)}), "abcd");
    EXPECT_EQ(At(grid, 1, 0), 2);
    EXPECT_EQ(At(grid, 2, 0), 5);
    Run("ds_grid_multiply", {R(grid), R(0), R(0), R(3)});
    Run("ds_grid_multiply", {R(grid), R(2), R(0), I32(3)});
    EXPECT_EQ(Text("ds_grid_get", {R(grid), R(0), R(0)}), "abcd");
    EXPECT_EQ(At(grid, 2, 0), 15);
}

TEST_F(GridTest, JoinedStringsHaveNoLengthLimit) {
    const int32_t grid = Create("ds_grid_create", {R(1), R(1)});
    const std::string half(3000, 'x');
    Run("ds_grid_set", {R(grid), R(0), R(0), S(half.c_str())});
    Run("ds_grid_add_region", {R(grid), R(0), R(0), R(0), R(0), S(half.c_str())});
    EXPECT_EQ(Text("ds_grid_get", {R(grid), R(0), R(0)}), half + half);
}

TEST_F(GridTest, OutOfBoundsCellsPrintTheLineAndChangeNothing) {
    const int32_t grid = Numbered(3, 2);
    Run("ds_grid_add", {R(grid), R(3), R(1), R(1)});
    auto got = Run("ds_grid_get", {R(grid), R(-1), R(0)});
    EXPECT_EQ(got->Kind(), VALUE_UNDEFINED);
    Run("ds_grid_set_post", {R(grid), R(0), R(2), R(1)});
    const std::string prefix = "Grid " + std::to_string(grid) + ", index out of bounds writing ";
    EXPECT_EQ(Lines(), (std::vector<std::string>{prefix + "[3,1] - size is [3,2]\n", prefix + "[-1,0] - size is [3,2]\n",
                                                 prefix + "[0,2] - size is [3,2]\n"}));
    EXPECT_TRUE(Reported().empty());
}

TEST_F(GridTest, ReleaseModeAccessorsStaySilentButInBounds) {
    const int32_t grid = Numbered(2, 2);
    DS_SetGridBoundsChecking(false);
    Run("ds_grid_set", {R(grid), R(1), R(1), R(7)});
    Run("ds_grid_set", {R(grid), R(5), R(1), R(7)});
    Run("ds_grid_set", {R(-3), R(0), R(0), R(7)});
    EXPECT_EQ(At(grid, 1, 1), 7);
    EXPECT_EQ(Run("ds_grid_get", {R(grid), R(0), R(9)})->Kind(), VALUE_UNDEFINED);
    EXPECT_EQ(Run("ds_grid_get", {R(99999), R(0), R(0)})->Kind(), VALUE_UNDEFINED);
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(Reported().empty());
    DS_SetGridBoundsChecking(true);
    Run("ds_grid_get", {R(grid), R(0), R(9)});
    EXPECT_EQ(Lines().size(), 1u);
}

TEST_F(GridTest, RegionsClipAndDisksTestTheDistance) {
    const int32_t grid = Create("ds_grid_create", {R(4), R(4)});
    Run("ds_grid_set_region", {R(grid), R(5), R(5), R(-3), R(1), R(1)});
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 4; ++y) EXPECT_EQ(At(grid, x, y), y >= 1 ? 1 : 0) << x << "," << y;

    const int32_t disk = Create("ds_grid_create", {R(3), R(3)});
    Run("ds_grid_set_disk", {R(disk), R(1.5), R(1.5), R(0), R(9)});
    EXPECT_EQ(Real("ds_grid_get_sum", {R(disk), R(0), R(0), R(2), R(2)}), 0);
    Run("ds_grid_set_disk", {R(disk), R(1), R(1), R(0), R(9)});
    EXPECT_EQ(Real("ds_grid_get_sum", {R(disk), R(0), R(0), R(2), R(2)}), 9);
    Run("ds_grid_add_disk", {R(disk), R(1), R(1), R(1), R(1)});  // the centre and its four neighbours
    EXPECT_EQ(Real("ds_grid_get_sum", {R(disk), R(0), R(0), R(2), R(2)}), 14);
    Run("ds_grid_multiply_disk", {R(disk), R(1e300), R(-1e300), R(1e308), R(0)});  // huge: clipped, no crash
    Run("ds_grid_set_disk", {R(disk), R(NAN), R(1), R(1), R(5)});
    EXPECT_EQ(Real("ds_grid_get_disk_sum", {R(disk), R(1), R(1), R(5)}), 0);
}

TEST_F(GridTest, GridRegionCopiesMoveAgainstTheirDirection) {
    const int32_t grid = Numbered(4, 1);
    Run("ds_grid_set_grid_region", {R(grid), R(grid), R(0), R(0), R(2), R(0), R(1), R(0)});
    EXPECT_EQ(At(grid, 0, 0), 0);
    EXPECT_EQ(At(grid, 1, 0), 0);
    EXPECT_EQ(At(grid, 2, 0), 10);
    EXPECT_EQ(At(grid, 3, 0), 20);

    const int32_t source = Numbered(5, 1);
    const int32_t target = Create("ds_grid_create", {R(5), R(1)});
    Run("ds_grid_set_grid_region", {R(target), R(source), R(0), R(0), R(4), R(0), R(-2), R(0)});
    EXPECT_EQ(At(target, 0, 0), 20);  // column xs + 2 lands in column 0
    EXPECT_EQ(At(target, 2, 0), 40);
    EXPECT_EQ(At(target, 3, 0), 0);
    Run("ds_grid_add_grid_region", {R(target), R(source), R(0), R(0), R(0), R(0), R(4), R(0)});
    EXPECT_EQ(At(target, 4, 0), 0);
    Run("ds_grid_set_grid_region", {R(target), R(source), R(INT32_MIN), R(0), R(INT32_MAX), R(0), R(INT32_MIN), R(0)});
}

TEST_F(GridTest, SumsMeansAndSearches) {
    const int32_t grid = Create("ds_grid_create", {R(3), R(2)});
    Run("ds_grid_set", {R(grid), R(0), R(0), S("12")});
    EXPECT_EQ(Real("ds_grid_get_sum", {R(grid), R(0), R(0), R(0), R(0)}), 12);
    EXPECT_EQ(Real("ds_grid_get_disk_sum", {R(grid), R(0), R(0), R(0)}), 0);
    Run("ds_grid_set", {R(grid), R(1), R(0), R(1)});
    Run("ds_grid_set", {R(grid), R(2), R(0), R(2)});
    EXPECT_EQ(Real("ds_grid_get_mean", {R(grid), R(0), R(0), R(2), R(0)}), 1.5);
    EXPECT_EQ(Real("ds_grid_get_disk_mean", {R(grid), R(1), R(0), R(1)}), 1.0);  // "12", 1, 2, 0

    const int32_t search = Create("ds_grid_create", {R(3), R(4)});
    Run("ds_grid_set", {R(search), R(2), R(0), R(5)});
    Run("ds_grid_set", {R(search), R(0), R(3), R(5)});
    EXPECT_EQ(Real("ds_grid_value_x", {R(search), R(0), R(0), R(2), R(3), R(5)}), 0);
    EXPECT_EQ(Real("ds_grid_value_y", {R(search), R(0), R(0), R(2), R(3), R(5)}), 3);
    EXPECT_EQ(Real("ds_grid_value_exists", {R(search), R(0), R(0), R(2), R(3), R(6)}), 0);
    EXPECT_EQ(Real("ds_grid_value_x", {R(search), R(0), R(0), R(2), R(3), R(6)}), -1);
    EXPECT_EQ(Real("ds_grid_value_disk_exists", {R(search), R(2), R(0), R(0.5), R(5)}), 1);
    EXPECT_EQ(Real("ds_grid_value_disk_y", {R(search), R(2), R(0), R(0.5), R(5)}), 0);
}

TEST_F(GridTest, MaximaWarnOnMixedKindsByMode) {
    const int32_t stringFirst = Create("ds_grid_create", {R(1), R(2)});
    Run("ds_grid_set", {R(stringFirst), R(0), R(0), S("s")});
    Run("ds_grid_set", {R(stringFirst), R(0), R(1), R(4)});
    const int32_t realFirst = Create("ds_grid_create", {R(1), R(2)});
    Run("ds_grid_set", {R(realFirst), R(0), R(0), R(4)});
    Run("ds_grid_set", {R(realFirst), R(0), R(1), S("s")});
    const std::string warning = "Warning:: ds_grid_get_max called on grid with mix of strings and numerical values\n";
    for (bool checked : {true, false}) {
        DS_SetGridBoundsChecking(checked);
        Lines().clear();
        EXPECT_EQ(Text("ds_grid_get_max", {R(stringFirst), R(0), R(0), R(0), R(1)}), "s");
        EXPECT_EQ(Lines().size(), checked ? 1u : 0u);
        Lines().clear();
        EXPECT_EQ(Text("ds_grid_get_max", {R(realFirst), R(0), R(0), R(0), R(1)}), "s");
        EXPECT_EQ(Lines(), std::vector<std::string>{warning});
    }
    DS_SetGridBoundsChecking(true);
    Lines().clear();
    EXPECT_EQ(Real("ds_grid_get_disk_min", {R(realFirst), R(0), R(0), R(1)}), 4);
    EXPECT_EQ(Lines(),
              std::vector<std::string>{
                  "Warning:: ds_grid_get_disk_min called on grid with mix of strings and numerical values\n"});
    EXPECT_EQ(Run("ds_grid_get_min", {R(realFirst), R(5), R(5), R(6), R(6)})->Kind(), VALUE_UNDEFINED);
}

TEST_F(GridTest, SortOrdersRowsByOneColumn) {
    const int32_t grid = Create("ds_grid_create", {R(2), R(4)});
    const double column1[] = {2, 9, 4, 7};
    for (int y = 0; y < 4; ++y) {
        Run("ds_grid_set", {R(grid), R(0), R(y), R(y)});
        Run("ds_grid_set", {R(grid), R(1), R(y), R(column1[y])});
    }
    Run("ds_grid_sort", {R(grid), R(2), R(1)});  // a column equal to the width: nothing
    EXPECT_EQ(At(grid, 1, 0), 2);
    Run("ds_grid_sort", {R(grid), R(1), R(0)});
    const double rows[] = {1, 3, 2, 0};
    for (int y = 0; y < 4; ++y) EXPECT_EQ(At(grid, 0, y), rows[y]) << y;
}

TEST_F(GridTest, ShuffleFollowsTheGenerator) {
    const int32_t a = Numbered(3, 3), b = Numbered(3, 3);
    Random_SetSeed(5);
    Run("ds_grid_shuffle", {R(a)});
    Random_SetSeed(5);
    Run("ds_grid_shuffle", {R(b)});
    double sum = 0;
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 3; ++y) {
            EXPECT_EQ(At(a, x, y), At(b, x, y));
            sum += At(a, x, y);
        }
    EXPECT_EQ(sum, 3 * (0 + 10 + 20) + 3 * (0 + 1 + 2));
}

TEST_F(GridTest, SizesAreCheckedWhereTheyAreGiven) {
    EXPECT_EQ(Create("ds_grid_create", {R(-1), R(5)}), -1);
    EXPECT_EQ(Create("ds_grid_create", {R(100000), R(100000)}), -1);
    EXPECT_EQ(Reported().size(), 2u);
    const int32_t empty = Create("ds_grid_create", {R(0), R(3)});
    EXPECT_EQ(Real("ds_grid_height", {R(empty)}), 3);
    EXPECT_EQ(Real("ds_grid_get_sum", {R(empty), R(0), R(0), R(5), R(5)}), 0);
    // A grid with a side of 0 has no cells, however long its other side: nothing walks it.
    const int32_t line = Create("ds_grid_create", {R(2000000000), R(0)});
    Run("ds_grid_clear", {R(line), R(1)});
    Run("ds_grid_copy", {R(empty), R(line)});
    EXPECT_EQ(Text("ds_grid_write", {R(empty)}), "5A0200000094357700000000");

    const int32_t grid = Numbered(2, 2);
    Run("ds_grid_resize", {R(grid), R(0), R(5)});
    EXPECT_EQ(Fatal(), std::vector<std::string>{"Error: Can not resize a grid with a dimension of <=0\n"});
    Run("ds_grid_resize", {R(grid), R(70000), R(70000)});
    EXPECT_EQ(Reported().size(), 3u);
    EXPECT_EQ(Real("ds_grid_width", {R(grid)}), 2);
    Run("ds_grid_resize", {R(grid), R(3), R(1)});
    EXPECT_EQ(At(grid, 1, 0), 10);
    EXPECT_EQ(At(grid, 2, 0), 0);
    Run("ds_grid_clear", {R(grid), S("c")});
    EXPECT_EQ(Text("ds_grid_get", {R(grid), R(2), R(0)}), "c");
    Run("ds_grid_destroy", {R(grid)});
    EXPECT_EQ(Exists(grid, 5), 0);
}

}  // namespace
