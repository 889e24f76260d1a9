// Motion grids: cell ranges, the table, the breadth-first route search with and without
// diagonal steps (checked against models of our own on random grids), instances and ds_grid
// copies.
#include "world/Motion_Grid.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>
#include <vector>

#include "MotionTestSupport.h"
#include "core/Value.h"
#include "data/Function_Data_Structures.h"
#include "data/Support_Data_Structures.h"
#include "base/Error_Report.h"
#include "world/Path_Main.h"

namespace {

struct Pt {
    float x, y;
};

std::vector<Pt> Route(const CPath& path) {
    std::vector<Pt> out;
    for (int32_t i = 0; i < path.GetNumber(); ++i) out.push_back({path.GetPoint(i).x, path.GetPoint(i).y});
    return out;
}

void ExpectRoute(const CPath& path, const std::vector<Pt>& want) {
    const std::vector<Pt> got = Route(path);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].x, want[i].x) << "point " << i;
        EXPECT_EQ(got[i].y, want[i].y) << "point " << i;
    }
}

class MotionGrids : public ::testing::Test {
protected:
    void SetUp() override { MpGrid_FreeAll(); }
    void TearDown() override { MpGrid_FreeAll(); }
    CPath m_path;
};

TEST_F(MotionGrids, TheThreeExampleRoutes) {
    CGrid* grid = MpGrid_Get(MpGrid_Create(0, 0, 3, 3, 32, 32));
    ASSERT_NE(grid, nullptr);
    ASSERT_TRUE(grid->FindPath(&m_path, 5, 5, 90, 90, false));
    ExpectRoute(m_path, {{5, 5}, {16, 48}, {16, 80}, {48, 80}, {90, 90}});
    EXPECT_FALSE(m_path.GetClosed());
    EXPECT_EQ(m_path.GetKind(), 0);

    ASSERT_TRUE(grid->FindPath(&m_path, 5, 5, 90, 90, true));
    ExpectRoute(m_path, {{5, 5}, {48, 48}, {90, 90}});

    grid->AddCell(1, 1);
    ASSERT_TRUE(grid->FindPath(&m_path, 5, 40, 40, 5, true));
    ExpectRoute(m_path, {{5, 40}, {16, 16}, {40, 5}});

    // One shared cell: the two exact points.
    ASSERT_TRUE(grid->FindPath(&m_path, 3, 4, 20, 30, false));
    ExpectRoute(m_path, {{3, 4}, {20, 30}});
}

TEST_F(MotionGrids, RefusedSearchesLeaveThePath) {
    CGrid* grid = MpGrid_Get(MpGrid_Create(10, 10, 3, 3, 32, 32));
    m_path.AddPoint(1, 2, 3);
    grid->AddCell(0, 0);
    EXPECT_FALSE(grid->FindPath(&m_path, 15, 15, 90, 90, true)) << "forbidden start";
    EXPECT_FALSE(grid->FindPath(&m_path, 90, 90, 15, 15, true)) << "forbidden goal";
    EXPECT_FALSE(grid->FindPath(&m_path, 9, 50, 90, 90, true)) << "start left of the grid";
    EXPECT_FALSE(grid->FindPath(&m_path, 50, 50, 106, 50, true)) << "goal at the right edge";
    grid->AddRectangle(10, 42, 105, 74);  // a wall across the middle row
    EXPECT_FALSE(grid->FindPath(&m_path, 50, 20, 50, 90, true)) << "no route";
    ExpectRoute(m_path, {{1, 2}});
    for (int32_t x = 0; x < 3; ++x)
        for (int32_t y = 0; y < 3; ++y) EXPECT_LE(grid->GetCell(x, y), 0) << "labels are cleared";
}

TEST_F(MotionGrids, CellsAndRectangles) {
    CGrid* grid = MpGrid_Get(MpGrid_Create(100, 100, 4, 3, 10, 10));
    EXPECT_EQ(grid->GetCell(4, 0), -1) << "outside reads forbidden";
    grid->AddCell(9, 9);  // ignored
    grid->AddRectangle(125, 125, 111, 111);
    CGrid* swapped = MpGrid_Get(MpGrid_Create(100, 100, 4, 3, 10, 10));
    swapped->AddRectangle(111, 111, 125, 125);
    for (int32_t x = 0; x < 4; ++x) {
        for (int32_t y = 0; y < 3; ++y) {
            EXPECT_EQ(grid->GetCell(x, y), swapped->GetCell(x, y));
            EXPECT_EQ(grid->GetCell(x, y), (x >= 1 && x <= 2 && y >= 1 && y <= 2) ? -1 : 0);
        }
    }
    grid->ClearAll();
    // Less than one cell above and left of the grid still touches row and column 0; beyond the
    // grid is clipped; far away touches nothing.
    grid->AddRectangle(95, 95, 100, 100);
    EXPECT_EQ(grid->GetCell(0, 0), -1);
    grid->ClearRectangle(0, 0, 1000, 1000);
    EXPECT_EQ(grid->GetCell(0, 0), 0);
    grid->AddRectangle(-2000000000, -2000000000, 2000000000, 2000000000);
    EXPECT_EQ(grid->GetCell(3, 2), -1);
    grid->ClearAll();
    grid->AddRectangle(2000000000, 0, 2100000000, 1000);
    grid->AddRectangle(0, 0, 80, 1000);
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(grid->GetCell(x, 0), 0);
}

TEST_F(MotionGrids, TableRefusesBadSizesAndReusesSlots) {
    const int32_t cases[][4] = {{0, 5, 1, 1},  {5, 0, 1, 1},           {5, 5, 0, 1},         {5, 5, 1, -1},
                                {-5, 5, 1, 1}, {100000, 100000, 1, 1}, {2147483647, 2, 1, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(MpGrid_Create(0, 0, c[0], c[1], c[2], c[3]), -1) << c[0] << "x" << c[1];
    EXPECT_EQ(MpGrid_Create(0, 0, 2, 2, 8, 8), 0);
    EXPECT_EQ(MpGrid_Create(0, 0, 2, 2, 8, 8), 1);
    MpGrid_Destroy(0);
    MpGrid_Destroy(0);
    MpGrid_Destroy(-3);
    EXPECT_EQ(MpGrid_Get(0), nullptr);
    EXPECT_EQ(MpGrid_Create(0, 0, 2, 2, 8, 8), 0) << "an empty slot is taken first";
}

TEST_F(MotionGrids, SearchesFarBeyondTheFirstQueue) {
    CGrid* grid = MpGrid_Get(MpGrid_Create(0, 0, 300, 300, 2, 2));
    ASSERT_TRUE(grid->FindPath(&m_path, 0, 0, 599, 599, false));
    EXPECT_EQ(m_path.GetNumber(), 598 + 1);
    ASSERT_TRUE(grid->FindPath(&m_path, 0, 0, 599, 599, true));
    EXPECT_EQ(m_path.GetNumber(), 299 + 1);
}

// --- Random grids against models of our own ---

struct Model {
    int32_t w, h;
    std::vector<int8_t> blocked;  // row-major here, unlike the grid
    bool Blocked(int32_t x, int32_t y) const {
        return x < 0 || y < 0 || x >= w || y >= h || blocked[y * w + x];
    }
};

// Steps from start to goal: a plain 4-way search, or the labelling rule with diagonals (a
// diagonal needs both side cells free and unlabelled when its cell is expanded). -1: none.
int32_t ModelSteps(const Model& m, int32_t sx, int32_t sy, int32_t gx, int32_t gy, bool diagonal) {
    std::vector<int32_t> dist(static_cast<size_t>(m.w * m.h), -1);
    auto at = [&](int32_t x, int32_t y) -> int32_t& { return dist[static_cast<size_t>(y * m.w + x)]; };
    auto unlabelled = [&](int32_t x, int32_t y) { return !m.Blocked(x, y) && at(x, y) < 0; };
    std::deque<std::pair<int32_t, int32_t>> queue{{sx, sy}};
    at(sx, sy) = 0;
    while (!queue.empty()) {
        auto [x, y] = queue.front();
        queue.pop_front();
        if (x == gx && y == gy) return at(x, y);
        bool side[4] = {unlabelled(x - 1, y), unlabelled(x + 1, y), unlabelled(x, y - 1),
                        unlabelled(x, y + 1)};
        const int32_t ox[4] = {-1, 1, 0, 0}, oy[4] = {0, 0, -1, 1};
        std::vector<std::pair<int32_t, int32_t>> next;
        for (int k = 0; k < 4; ++k)
            if (side[k]) next.push_back({x + ox[k], y + oy[k]});
        if (diagonal) {
            for (int dx : {-1, 1})
                for (int dy : {-1, 1}) {
                    const bool sideX = side[dx < 0 ? 0 : 1], sideY = side[dy < 0 ? 2 : 3];
                    if (sideX && sideY && unlabelled(x + dx, y + dy)) next.push_back({x + dx, y + dy});
                }
        }
        for (auto [nx, ny] : next) {
            at(nx, ny) = at(x, y) + 1;
            queue.push_back({nx, ny});
        }
    }
    return -1;
}

TEST_F(MotionGrids, RandomGridsMatchTheModels) {
    std::mt19937 random(2101988);
    constexpr int32_t kCell = 8;
    int32_t routes = 0, longerThanEightWay = 0;
    for (int round = 0; round < 300; ++round) {
        Model m{static_cast<int32_t>(3 + random() % 14), static_cast<int32_t>(3 + random() % 14), {}};
        m.blocked.resize(static_cast<size_t>(m.w * m.h));
        const int density = static_cast<int>(random() % 45);
        const int32_t index = MpGrid_Create(0, 0, m.w, m.h, kCell, kCell);
        CGrid* grid = MpGrid_Get(index);
        for (int32_t y = 0; y < m.h; ++y)
            for (int32_t x = 0; x < m.w; ++x)
                if (static_cast<int>(random() % 100) < density) {
                    m.blocked[static_cast<size_t>(y * m.w + x)] = 1;
                    grid->AddCell(x, y);
                }
        const int32_t sx = random() % m.w, sy = random() % m.h, gx = random() % m.w, gy = random() % m.h;
        for (bool diagonal : {false, true}) {
            CPath path;
            const bool found = grid->FindPath(&path, sx * kCell + 1, sy * kCell + 2, gx * kCell + 3,
                                              gy * kCell + 4, diagonal);
            const int32_t steps =
                m.Blocked(sx, sy) || m.Blocked(gx, gy) ? -1 : ModelSteps(m, sx, sy, gx, gy, diagonal);
            ASSERT_EQ(found, steps >= 0) << "round " << round;
            for (int32_t x = 0; x < m.w; ++x)
                for (int32_t y = 0; y < m.h; ++y) ASSERT_LE(grid->GetCell(x, y), 0);
            if (!found) continue;
            ++routes;
            // Start, the centres between, goal; each step to a free neighbour, a diagonal one
            // past free side cells only.
            const std::vector<Pt> r = Route(path);
            ASSERT_EQ(static_cast<int32_t>(r.size()), steps == 0 ? 2 : steps + 1) << "round " << round;
            EXPECT_EQ(r.front().x, sx * kCell + 1);
            EXPECT_EQ(r.back().y, gy * kCell + 4);
            int32_t px = sx, py = sy;
            for (size_t i = 1; i < r.size(); ++i) {
                const int32_t cx = static_cast<int32_t>(r[i].x) / kCell,
                              cy = static_cast<int32_t>(r[i].y) / kCell;
                if (i + 1 < r.size()) {
                    EXPECT_EQ(r[i].x, cx * kCell + kCell / 2);
                    EXPECT_EQ(r[i].y, cy * kCell + kCell / 2);
                }
                ASSERT_FALSE(m.Blocked(cx, cy));
                const int32_t dx = std::abs(cx - px), dy = std::abs(cy - py);
                if (steps > 0) {
                    ASSERT_TRUE(dx + dy == 1 || (diagonal && dx == 1 && dy == 1)) << "round " << round;
                }
                if (dx == 1 && dy == 1) {
                    ASSERT_TRUE(!m.Blocked(cx, py) && !m.Blocked(px, cy)) << "round " << round;
                }
                px = cx;
                py = cy;
            }
            if (diagonal) {
                // A plain 8-way search never needs more steps than the labelling rule allows.
                int32_t eightWay = 0;
                {
                    std::vector<int32_t> d(static_cast<size_t>(m.w * m.h), -1);
                    std::deque<std::pair<int32_t, int32_t>> q{{sx, sy}};
                    d[static_cast<size_t>(sy * m.w + sx)] = 0;
                    while (!q.empty()) {
                        auto [x, y] = q.front();
                        q.pop_front();
                        for (int ddx = -1; ddx <= 1; ++ddx)
                            for (int ddy = -1; ddy <= 1; ++ddy) {
                                const int32_t nx = x + ddx, ny = y + ddy;
                                if (m.Blocked(nx, ny) || d[static_cast<size_t>(ny * m.w + nx)] >= 0) continue;
                                if (ddx != 0 && ddy != 0 && (m.Blocked(nx, y) || m.Blocked(x, ny))) continue;
                                d[static_cast<size_t>(ny * m.w + nx)] =
                                    d[static_cast<size_t>(y * m.w + x)] + 1;
                                q.push_back({nx, ny});
                            }
                    }
                    eightWay = d[static_cast<size_t>(gy * m.w + gx)];
                }
                EXPECT_LE(eightWay, steps);
                if (steps > eightWay) ++longerThanEightWay;
            }
        }
        MpGrid_Destroy(index);
    }
    EXPECT_GT(routes, 200);
    EXPECT_GT(longerThanEightWay, 0) << "the labelling rule sometimes gives a longer route";
}

// --- Instances and ds_grid copies ---

class MotionGridWorld : public motion_test::WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        MpGrid_FreeAll();
    }
    void TearDown() override {
        MpGrid_FreeAll();
        WorldTest::TearDown();
    }
};

TEST_F(MotionGridWorld, InstancesForbidTheCellsOfTheirBox) {
    MakeRoom(false);
    motion_test::Sprites()[0] = motion_test::Rect(20, 20);
    CInstance* block = Make(AddObject(0), 40, 40);  // box 40..59
    CGrid* grid = MpGrid_Get(MpGrid_Create(0, 0, 8, 8, 16, 16));
    grid->AddInstance(block, false);
    for (int32_t x = 0; x < 8; ++x) {
        for (int32_t y = 0; y < 8; ++y)
            EXPECT_EQ(grid->GetCell(x, y), (x >= 2 && x <= 3 && y >= 2 && y <= 3) ? -1 : 0) << x << "," << y;
    }
    // Precise: only the cells the instance really touches.
    CGrid* fine = MpGrid_Get(MpGrid_Create(0, 0, 8, 8, 16, 16));
    fine->AddInstance(block, true);
    EXPECT_EQ(fine->GetCell(2, 2), -1);
    EXPECT_EQ(fine->GetCell(3, 3), -1);
    EXPECT_EQ(fine->GetCell(4, 4), 0);
}

TEST_F(MotionGridWorld, CopiesIntoADsGrid) {
    const int32_t index = MpGrid_Create(0, 0, 3, 2, 8, 8);
    MpGrid_Get(index)->AddCell(2, 1);
    const int32_t target = DS_CreateGrid(3, 2);
    int32_t count = 0;
    CDS_Grid* ds = DS_GetGridTable(&count)[target];
    MpGrid_ToDsGrid(index, target);
    EXPECT_EQ(ds->Cell(2, 1)->val, -1.0);
    EXPECT_EQ(ds->Cell(0, 0)->val, 0.0);
    EXPECT_EQ(ds->Cell(0, 0)->kind, VALUE_REAL);

    const int32_t wrong = DS_CreateGrid(2, 3);
    MpGrid_ToDsGrid(index, wrong);
    EXPECT_NE(std::string(Error_LastText()).find("Error, grid sizes do not match (mp_grid_to_ds_grid) "),
              std::string::npos);
    MpGrid_ToDsGrid(index + 5, target);
    EXPECT_NE(std::string(Error_LastText()).find("Invalid source or destination grid"), std::string::npos);
}

}  // namespace
