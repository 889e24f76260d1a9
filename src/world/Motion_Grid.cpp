#include "world/Motion_Grid.h"

#include <algorithm>
#include <cstring>

#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "core/ResourceTable.h"
#include "core/Value.h"
#include "data/Function_Data_Structures.h"
#include "data/Support_Data_Structures.h"
#include "graphics/Graphics_Primitive.h"
#include "base/Error_Report.h"
#include "world/Path_Main.h"
#include "world/World_Services.h"

namespace {

constexpr int32_t kFree = 0;
constexpr int32_t kForbidden = -1;
constexpr uint32_t kForbiddenColour = 255;  // red
constexpr uint32_t kFreeColour = 32768;     // green
constexpr uint32_t kFirstQueueCapacity = 4096;

// The search queue that every grid shares: a ring of cell indexes whose capacity is a power of
// two. It only grows, so searches need no storage of their own.
struct SearchQueue {
    int32_t* cells = nullptr;
    uint32_t capacity = 0;
    uint32_t read = 0, write = 0, count = 0;

    void Empty() { read = write = count = 0; }

    void Push(int32_t cell) {
        if (capacity == 0) {
            cells = static_cast<int32_t*>(MEM_ALLOC(sizeof(int32_t) * kFirstQueueCapacity));
            capacity = kFirstQueueCapacity;
        } else if (count + 1 >= capacity) {
            Grow();
        }
        cells[write] = cell;
        write = (write + 1) & (capacity - 1);
        ++count;
    }

    int32_t Pop() {
        const int32_t cell = cells[read];
        read = (read + 1) & (capacity - 1);
        --count;
        return cell;
    }

    // Doubles the ring and moves the waiting cells, in order, to the front of it.
    void Grow() {
        const uint32_t bigger = capacity * 2;
        auto* grown = static_cast<int32_t*>(MEM_ALLOC(sizeof(int32_t) * static_cast<size_t>(bigger)));
        for (uint32_t i = 0; i < count; ++i) grown[i] = cells[(read + i) & (capacity - 1)];
        MEM_FREE(cells);
        cells = grown;
        capacity = bigger;
        read = 0;
        write = count;
    }

    void Free() {
        MEM_FREE(cells);
        *this = SearchQueue{};
    }
};

SearchQueue g_queue;
ResourceTable<CGrid> g_grids;

int32_t TruncatedCell(int64_t offset, int32_t size) {
    return static_cast<int32_t>(std::clamp<int64_t>(offset / size, INT32_MIN, INT32_MAX));
}

}  // namespace

CGrid::CGrid(int32_t left, int32_t top, int32_t hcells, int32_t vcells, int32_t cellWidth, int32_t cellHeight)
    : m_left(left),
      m_top(top),
      m_cellWidth(cellWidth),
      m_cellHeight(cellHeight),
      m_hcells(hcells),
      m_vcells(vcells),
      m_cells(static_cast<int32_t*>(MEM_ALLOC(sizeof(int32_t) * static_cast<size_t>(hcells) * vcells))),
      m_cellCount(hcells * vcells) {}

CGrid::~CGrid() {
    MEM_FREE(m_cells);
}

void CGrid::ClearAll() {
    std::memset(m_cells, 0, sizeof(int32_t) * static_cast<size_t>(m_cellCount));
}

void CGrid::ClearCell(int32_t x, int32_t y) {
    if (Inside(x, y)) Cell(x, y) = kFree;
}

void CGrid::AddCell(int32_t x, int32_t y) {
    if (Inside(x, y)) Cell(x, y) = kForbidden;
}

int32_t CGrid::GetCell(int32_t x, int32_t y) const {
    return Inside(x, y) ? Cell(x, y) : kForbidden;
}

// Offsets are taken in 64 bits so that far-off coordinates cannot wrap into the grid.
CGrid::Range CGrid::CellRange(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const {
    const int64_t xa = std::min(x1, x2), xb = std::max(x1, x2);
    const int64_t ya = std::min(y1, y2), yb = std::max(y1, y2);
    Range r{TruncatedCell(xa - m_left, m_cellWidth), TruncatedCell(ya - m_top, m_cellHeight),
            TruncatedCell(xb - m_left, m_cellWidth), TruncatedCell(yb - m_top, m_cellHeight)};
    r.x1 = std::max(r.x1, 0);
    r.y1 = std::max(r.y1, 0);
    r.x2 = std::min(r.x2, m_hcells - 1);
    r.y2 = std::min(r.y2, m_vcells - 1);
    return r;
}

void CGrid::FillRange(const Range& range, int32_t value) {
    for (int32_t x = range.x1; x <= range.x2; ++x)
        for (int32_t y = range.y1; y <= range.y2; ++y) Cell(x, y) = value;
}

void CGrid::ClearRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    FillRange(CellRange(x1, y1, x2, y2), kFree);
}

void CGrid::AddRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    FillRange(CellRange(x1, y1, x2, y2), kForbidden);
}

void CGrid::AddInstance(CInstance* instance, bool precise) {
    if (instance->boxDirty) instance->ComputeBoundingBox(true);
    const Range range =
        CellRange(instance->bbox_left, instance->bbox_top, instance->bbox_right, instance->bbox_bottom);
    for (int32_t x = range.x1; x <= range.x2; ++x) {
        for (int32_t y = range.y1; y <= range.y2; ++y) {
            if (!precise) {
                Cell(x, y) = kForbidden;
                continue;
            }
            if (Cell(x, y) == kForbidden) continue;
            const float left = static_cast<float>(m_left + static_cast<int64_t>(x) * m_cellWidth);
            const float top = static_cast<float>(m_top + static_cast<int64_t>(y) * m_cellHeight);
            if (instance->CollisionRectangle(left, top, left + m_cellWidth - 1, top + m_cellHeight - 1, true))
                Cell(x, y) = kForbidden;
        }
    }
}

bool CGrid::CellOf(int32_t px, int32_t py, int32_t* cx, int32_t* cy) const {
    const int64_t dx = static_cast<int64_t>(px) - m_left, dy = static_cast<int64_t>(py) - m_top;
    if (dx < 0 || dx >= static_cast<int64_t>(m_hcells) * m_cellWidth) return false;
    if (dy < 0 || dy >= static_cast<int64_t>(m_vcells) * m_cellHeight) return false;
    *cx = static_cast<int32_t>(dx / m_cellWidth);
    *cy = static_cast<int32_t>(dy / m_cellHeight);
    return true;
}

bool CGrid::FindPath(CPath* path, int32_t xs, int32_t ys, int32_t xg, int32_t yg, bool diagonal) {
    int32_t sx, sy, gx, gy;
    if (!CellOf(xs, ys, &sx, &sy) || !CellOf(xg, yg, &gx, &gy)) return false;
    if (Cell(sx, sy) == kForbidden || Cell(gx, gy) == kForbidden) return false;
    const bool found = Search(sx, sy, gx, gy, diagonal);
    if (found) WriteRoute(path, sx, sy, gx, gy, xs, ys, xg, yg, diagonal);
    ClearLabels();
    return found;
}

// Labels rings of cells outwards from the start (1, 2, ...) until the goal is taken off the queue.
bool CGrid::Search(int32_t sx, int32_t sy, int32_t gx, int32_t gy, bool diagonal) {
    g_queue.Empty();
    Cell(sx, sy) = 1;
    g_queue.Push(sx * m_vcells + sy);
    while (g_queue.count > 0) {
        const int32_t c = g_queue.Pop();
        const int32_t x = c / m_vcells, y = c % m_vcells;
        if (x == gx && y == gy) return true;
        const int32_t label = Cell(x, y) + 1;
        auto open = [&](int32_t nx, int32_t ny) { return Inside(nx, ny) && Cell(nx, ny) == kFree; };
        // Every neighbour is noted before any is labelled.
        const bool left = open(x - 1, y), right = open(x + 1, y), up = open(x, y - 1), down = open(x, y + 1);
        const bool downLeft = open(x - 1, y + 1), upLeft = open(x - 1, y - 1);
        const bool downRight = open(x + 1, y + 1), upRight = open(x + 1, y - 1);
        auto take = [&](bool noted, int32_t nx, int32_t ny) {
            if (!noted) return;
            Cell(nx, ny) = label;
            g_queue.Push(nx * m_vcells + ny);
        };
        take(left, x - 1, y);
        take(right, x + 1, y);
        take(up, x, y - 1);
        take(down, x, y + 1);
        if (!diagonal) continue;
        take(downLeft && down && left, x - 1, y + 1);
        take(upLeft && up && left, x - 1, y - 1);
        take(downRight && down && right, x + 1, y + 1);
        take(upRight && up && right, x + 1, y - 1);
    }
    return false;
}

// Walks back from the goal along falling labels and writes the route from the exact start
// through the centres of the cells between to the exact goal.
void CGrid::WriteRoute(CPath* path, int32_t sx, int32_t sy, int32_t gx, int32_t gy, int32_t xs, int32_t ys,
                       int32_t xg, int32_t yg, bool diagonal) const {
    path->Clear();
    path->SetKind(0);
    path->SetClosed(false);
    path->AddPoint(static_cast<float>(xg), static_cast<float>(yg), 100.0f);
    static constexpr int32_t kSteps[8][2] = {{-1, 0}, {1, 0}, {0, -1},  {0, 1},
                                             {-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
    const int32_t stepCount = diagonal ? 8 : 4;
    int32_t x = gx, y = gy;
    while (x != sx || y != sy) {
        const int32_t wanted = Cell(x, y) - 1;
        for (int32_t s = 0; s < stepCount; ++s) {
            const int32_t nx = x + kSteps[s][0], ny = y + kSteps[s][1];
            if (!Inside(nx, ny) || Cell(nx, ny) != wanted) continue;
            // A diagonal step back passes no forbidden side cell: the search never took such a
            // step, and the cell it did come from always qualifies.
            if (s >= 4 && (Cell(nx, y) == kForbidden || Cell(x, ny) == kForbidden)) continue;
            x = nx;
            y = ny;
            break;
        }
        if (x == sx && y == sy) break;
        const float cx = static_cast<float>(m_left + static_cast<int64_t>(x) * m_cellWidth + m_cellWidth / 2);
        const float cy =
            static_cast<float>(m_top + static_cast<int64_t>(y) * m_cellHeight + m_cellHeight / 2);
        path->AddPoint(cx, cy, 100.0f);
    }
    path->AddPoint(static_cast<float>(xs), static_cast<float>(ys), 100.0f);
    path->Reverse();
}

void CGrid::ClearLabels() {
    for (int32_t i = 0; i < m_cellCount; ++i)
        if (m_cells[i] > 0) m_cells[i] = kFree;
}

void CGrid::Draw() const {
    for (int32_t x = 0; x < m_hcells; ++x) {
        for (int32_t y = 0; y < m_vcells; ++y) {
            const float x1 = static_cast<float>(m_left + static_cast<int64_t>(x) * m_cellWidth);
            const float y1 = static_cast<float>(m_top + static_cast<int64_t>(y) * m_cellHeight);
            const uint32_t colour = Cell(x, y) == kForbidden ? kForbiddenColour : kFreeColour;
            GR_Draw_Rectangle_Colour(x1, y1, x1 + m_cellWidth, y1 + m_cellHeight, colour, colour, colour,
                                     colour, false);
        }
    }
}

// --- The table of grids ---------------------------------------------------------------------------

int32_t MpGrid_Create(int32_t left, int32_t top, int32_t hcells, int32_t vcells, int32_t cellWidth,
                      int32_t cellHeight) {
    if (hcells <= 0 || vcells <= 0 || cellWidth <= 0 || cellHeight <= 0) return -1;
    // The cells, and the search queue that may come to hold them all at twice their count,
    // must stay within what one block of the memory manager can be.
    if (static_cast<int64_t>(hcells) * vcells > static_cast<int64_t>(INT32_MAX / (2 * sizeof(int32_t))))
        return -1;
    auto* grid = new CGrid(left, top, hcells, vcells, cellWidth, cellHeight);
    grid->ClearAll();
    for (int32_t i = 0; i < g_grids.count; ++i) {
        if (g_grids.slots[i] == nullptr) {
            g_grids.slots[i] = grid;
            return i;
        }
    }
    g_grids.slots = static_cast<CGrid**>(
        MEM_REALLOC(g_grids.slots, sizeof(CGrid*) * static_cast<size_t>(g_grids.count + 1)));
    g_grids.slots[g_grids.count] = grid;
    return g_grids.count++;
}

CGrid* MpGrid_Get(int32_t index) {
    return g_grids.Get(index);
}

void MpGrid_Destroy(int32_t index) {
    if (MpGrid_Get(index) == nullptr) return;
    delete g_grids.slots[index];
    g_grids.slots[index] = nullptr;
}

void MpGrid_ToDsGrid(int32_t index, int32_t dsGrid) {
    const CGrid* grid = MpGrid_Get(index);
    CDS_Grid* target = DS_GetGrid(dsGrid);
    if (grid == nullptr || target == nullptr) {
        Error_Report("Invalid source or destination grid", false);
        return;
    }
    if (target->Width() != grid->HCells() || target->Height() != grid->VCells()) {
        Error_Report("Error, grid sizes do not match (mp_grid_to_ds_grid) ", false);
        return;
    }
    for (int32_t x = 0; x < grid->HCells(); ++x) {
        for (int32_t y = 0; y < grid->VCells(); ++y) {
            const RValue value = RValue_Real(grid->GetCell(x, y));
            target->SetCell(x, y, &value);
        }
    }
}

void MpGrid_FreeAll() {
    for (int32_t i = 0; i < g_grids.count; ++i) delete g_grids.slots[i];
    MEM_FREE(g_grids.slots);
    g_grids.slots = nullptr;
    g_grids.count = 0;
    g_queue.Free();
}
