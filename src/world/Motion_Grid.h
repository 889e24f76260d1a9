// Motion grids: a rectangle of the room cut into equal cells, each free (0) or forbidden (-1),
// and the breadth-first search for a route of cells between two points, written into a path.
#pragma once

#include <cstdint>

class CInstance;
class CPath;

class CGrid {
public:
    // Callers check the sizes first (MpGrid_Create).
    CGrid(int32_t left, int32_t top, int32_t hcells, int32_t vcells, int32_t cellWidth, int32_t cellHeight);
    virtual ~CGrid();
    CGrid(const CGrid&) = delete;
    CGrid& operator=(const CGrid&) = delete;

    void ClearAll();
    void ClearCell(int32_t x, int32_t y);
    void AddCell(int32_t x, int32_t y);
    // -1 outside the grid.
    int32_t GetCell(int32_t x, int32_t y) const;
    // Room coordinates, corners in either order.
    void ClearRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    void AddRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    void AddInstance(CInstance* instance, bool precise);
    // True with the path rewritten when a route exists; false with the path untouched.
    bool FindPath(CPath* path, int32_t xstart, int32_t ystart, int32_t xgoal, int32_t ygoal, bool diagonal);
    void Draw() const;

    int32_t HCells() const { return m_hcells; }
    int32_t VCells() const { return m_vcells; }

private:
    struct Range {
        int32_t x1, y1, x2, y2;
    };
    Range CellRange(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const;
    void FillRange(const Range& range, int32_t value);
    bool Inside(int32_t x, int32_t y) const { return x >= 0 && x < m_hcells && y >= 0 && y < m_vcells; }
    int32_t& Cell(int32_t x, int32_t y) const { return m_cells[static_cast<int64_t>(x) * m_vcells + y]; }
    // The cell holding a room point, false outside the grid's area.
    bool CellOf(int32_t px, int32_t py, int32_t* cx, int32_t* cy) const;
    bool Search(int32_t sx, int32_t sy, int32_t gx, int32_t gy, bool diagonal);
    void WriteRoute(CPath* path, int32_t sx, int32_t sy, int32_t gx, int32_t gy, int32_t xs, int32_t ys,
                    int32_t xg, int32_t yg, bool diagonal) const;
    void ClearLabels();

    int32_t m_left, m_top;
    int32_t m_cellWidth, m_cellHeight;
    int32_t m_hcells, m_vcells;
    int32_t* m_cells;
    int32_t m_cellCount;
};

// The grid's index, or -1 for sizes or counts of 0 or less, or a cell count the memory manager
// cannot hold.
int32_t MpGrid_Create(int32_t left, int32_t top, int32_t hcells, int32_t vcells, int32_t cellWidth,
                      int32_t cellHeight);
void MpGrid_Destroy(int32_t index);
// Null for an index outside the table or an empty slot.
CGrid* MpGrid_Get(int32_t index);
void MpGrid_ToDsGrid(int32_t index, int32_t dsGrid);
void MpGrid_FreeAll();
