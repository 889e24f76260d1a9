// Work on many grid cells at once: combining a value into cells, rectangles, disks and
// regions of other grids; sums, means, extremes and searches; row sort and shuffle.
// Cells are visited column by column (x outer, y inner) unless said otherwise.
#include <cmath>
#include <cstring>
#include <vector>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/Value_Convert.h"
#include "data/Common.h"
#include "data/Support_Data_Structures.h"
#include "data/ValueCompare.h"

bool g_DSGridCheckedMode = true;

namespace {

enum GridOperation : int32_t { OP_SET = 1, OP_ADD = 2, OP_MULTIPLY = 3 };

// The clipped rectangle of two corners in any order; empty when lo > hi on either axis.
struct Span {
    int64_t lo;
    int64_t hi;
    bool Empty() const { return lo > hi; }
};

Span Clip(int32_t a, int32_t b, int32_t size) {
    const int64_t lo = a < b ? a : b;
    const int64_t hi = a < b ? b : a;
    return Span{lo < 0 ? 0 : lo, hi > int64_t{size} - 1 ? int64_t{size} - 1 : hi};
}

// The columns (or rows) a disk may touch: floor(centre - r) to ceil(centre + r), kept inside
// the grid. Computed in double first, so huge or not-a-number arguments clip instead of
// overflowing.
Span DiskSpan(double centre, double r, int32_t size) {
    double lo = std::floor(centre - r);
    double hi = std::ceil(centre + r);
    if (!(lo >= 0)) lo = 0;
    if (!(hi <= size - 1.0)) hi = size - 1.0;
    if (lo > hi) return Span{1, 0};
    return Span{static_cast<int64_t>(lo), static_cast<int64_t>(hi)};
}

template <typename Visit>
void ForEachInRect(const CDS_Grid& grid, int32_t x1, int32_t y1, int32_t x2, int32_t y2, Visit visit) {
    const Span xs = Clip(x1, x2, grid.Width());
    const Span ys = Clip(y1, y2, grid.Height());
    if (xs.Empty() || ys.Empty()) return;
    for (int64_t x = xs.lo; x <= xs.hi; ++x)
        for (int64_t y = ys.lo; y <= ys.hi; ++y)
            if (!visit(static_cast<int32_t>(x), static_cast<int32_t>(y))) return;
}

// A cell belongs to the disk when (x - xm)^2 + (y - ym)^2 <= r^2.
template <typename Visit>
void ForEachInDisk(const CDS_Grid& grid, double xm, double ym, double r, Visit visit) {
    const Span xs = DiskSpan(xm, r, grid.Width());
    const Span ys = DiskSpan(ym, r, grid.Height());
    if (xs.Empty() || ys.Empty()) return;
    const double r2 = r * r;
    for (int64_t x = xs.lo; x <= xs.hi; ++x) {
        for (int64_t y = ys.lo; y <= ys.hi; ++y) {
            const double dx = static_cast<double>(x) - xm;
            const double dy = static_cast<double>(y) - ym;
            if (dx * dx + dy * dy <= r2 && !visit(static_cast<int32_t>(x), static_cast<int32_t>(y))) return;
        }
    }
}

inline bool IsString(const RValue* value) {
    return value->kind == VALUE_STRING;
}

// A new string of the destination's text followed by the source's; texts of any length.
void JoinStrings(RValue* destination, const RValue* source) {
    const char* a = RValue_GetStringText(destination);
    const char* b = RValue_GetStringText(source);
    const size_t la = a ? std::strlen(a) : 0;
    const size_t lb = b ? std::strlen(b) : 0;
    const int64_t total = static_cast<int64_t>(la + lb);
    if (total > INT32_MAX - 1) OutOfMemory_Handler(total);
    SharedString* joined = SharedString_Alloc(static_cast<int32_t>(total));
    if (la) std::memcpy(joined->text, a, la);
    if (lb) std::memcpy(joined->text + la, b, lb);
    joined->text[total] = '\0';
    RValue_Release(destination);
    destination->str = joined;
    destination->kind = VALUE_STRING;
}

// The destination becomes the real result of combining two numbers; whatever it held is
// released first, its flags stay.
void SetNumber(RValue* destination, double value) {
    RValue_Free(destination);
    destination->val = value;
    destination->kind = VALUE_REAL;
}

// Mean of the unmarked reals met.
struct Mean {
    double sum = 0;
    int64_t count = 0;
    void Add(const RValue* cell) {
        if (cell->kind != VALUE_REAL) return;
        sum += cell->val;
        ++count;
    }
    void Store(RValue* result) const {
        RValue_Release(result);
        *result = RValue_Real(count > 0 ? sum / static_cast<double>(count) : 0.0);
    }
};

// The running best of a maximum or minimum search, with the mixed-kinds test.
struct Extreme {
    bool maximum;
    const RValue* best = nullptr;
    bool mixed = false;

    void Visit(const RValue* cell) {
        if (best == nullptr) {
            best = cell;
            return;
        }
        const bool bestString = IsString(best);
        const bool cellString = IsString(cell);
        if (g_DSGridCheckedMode ? bestString != cellString : (!bestString && cellString)) mixed = true;
        const int32_t c = RValue_Compare(best, cell, g_DSPrecision);
        if (maximum ? c < 0 : c > 0) best = cell;
    }
    void Store(RValue* result, const char* caller) const {
        if (best == nullptr) return;
        if (mixed) {
            ErrorConsole.Output("Warning:: %s called on grid with mix of strings and numerical values\n", caller);
        }
        RValue_Assign(result, best);
    }
};

// The first cell equal to the value ends a search.
struct Search {
    CDS_Grid::SearchResult what;
    const RValue* value;
    double found;

    explicit Search(CDS_Grid::SearchResult w, const RValue* v)
        : what(w), value(v), found(w == CDS_Grid::SEARCH_EXISTS ? 0.0 : -1.0) {}
    bool Visit(const RValue* cell, int32_t x, int32_t y) {
        if (RValue_Compare(cell, value, g_DSPrecision) != 0) return true;
        found = what == CDS_Grid::SEARCH_EXISTS ? 1.0 : (what == CDS_Grid::SEARCH_X ? x : y);
        return false;
    }
    void Store(RValue* result) const {
        RValue_Release(result);
        *result = RValue_Real(found);
    }
};

// Stable merge sort of row numbers. Written out rather than taken from the library because
// the comparison (a tolerance, and kinds that never compare equal) is no strict weak order,
// and the sort must stay inside its arrays whatever the comparison answers.
template <typename Less>
void SortRows(std::vector<int32_t>& rows, Less less) {
    std::vector<int32_t> scratch(rows.size());
    const size_t n = rows.size();
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            const size_t mid = lo + width < n ? lo + width : n;
            const size_t hi = lo + 2 * width < n ? lo + 2 * width : n;
            size_t a = lo, b = mid, out = lo;
            while (a < mid && b < hi) scratch[out++] = less(rows[b], rows[a]) ? rows[b++] : rows[a++];
            while (a < mid) scratch[out++] = rows[a++];
            while (b < hi) scratch[out++] = rows[b++];
        }
        rows.swap(scratch);
    }
}

}  // namespace

void DS_CombineValue(int32_t operation, RValue* destination, const RValue* source) {
    switch (operation) {
        case OP_SET:
            RValue_Assign(destination, source);
            break;
        case OP_ADD:
            if (IsString(destination) && IsString(source)) {
                JoinStrings(destination, source);
            } else if (IsString(destination) || IsString(source)) {
                RValue_Assign(destination, source);
            } else {
                const double sum = Arg_GetReal(destination, 0) + Arg_GetReal(source, 0);
                SetNumber(destination, sum);
            }
            break;
        case OP_MULTIPLY:
            if (!IsString(destination) && !IsString(source)) {
                const double product = Arg_GetReal(destination, 0) * Arg_GetReal(source, 0);
                SetNumber(destination, product);
            }
            break;
        default:
            break;
    }
}

void CDS_Grid::OperateCell(int32_t gridIndex, int32_t operation, int32_t x, int32_t y, const RValue* value) {
    if (!InBounds(x, y)) {
        ErrorConsole.Output("Grid %d, index out of bounds writing [%d,%d] - size is [%d,%d]\n", gridIndex, x, y,
                            m_width, m_height);
        return;
    }
    DS_CombineValue(operation, Cell(x, y), value);
}

void CDS_Grid::OperateRegion(int32_t operation, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                             const RValue* value) {
    ForEachInRect(*this, x1, y1, x2, y2, [&](int32_t x, int32_t y) {
        DS_CombineValue(operation, Cell(x, y), value);
        return true;
    });
}

void CDS_Grid::OperateDisk(int32_t operation, double xm, double ym, double r, const RValue* value) {
    ForEachInDisk(*this, xm, ym, r, [&](int32_t x, int32_t y) {
        DS_CombineValue(operation, Cell(x, y), value);
        return true;
    });
}

// The walk runs against the direction of the move, so a region moved within its own grid
// never reads a cell it has already written.
void CDS_Grid::OperateGridRegion(int32_t operation, const CDS_Grid* source, int32_t x1, int32_t y1, int32_t x2,
                                 int32_t y2, int32_t xpos, int32_t ypos) {
    const Span cols = Clip(x1, x2, source->m_width);
    const Span rows = Clip(y1, y2, source->m_height);
    int64_t xs = cols.lo, xe = cols.hi, ys = rows.lo, ye = rows.hi;
    int64_t px = xpos, py = ypos;
    if (px < 0) {
        xs -= px;
        px = 0;
    }
    if (py < 0) {
        ys -= py;
        py = 0;
    }
    if (xe - xs + px > int64_t{m_width} - 1) xe = m_width + xs - px - 1;
    if (ye - ys + py > int64_t{m_height} - 1) ye = m_height + ys - py - 1;
    if (xs > xe || ys > ye) return;

    const bool columnsDown = xs < px;
    const bool rowsDown = ys < py;
    for (int64_t i = 0; i <= xe - xs; ++i) {
        const int64_t sx = columnsDown ? xe - i : xs + i;
        for (int64_t j = 0; j <= ye - ys; ++j) {
            const int64_t sy = rowsDown ? ye - j : ys + j;
            const int64_t dx = px + sx - xs;
            const int64_t dy = py + sy - ys;
            if (sx < 0 || sy < 0 || sx >= source->m_width || sy >= source->m_height) continue;
            if (dx < 0 || dy < 0 || dx >= m_width || dy >= m_height) continue;
            DS_CombineValue(operation, Cell(static_cast<int32_t>(dx), static_cast<int32_t>(dy)),
                            source->Cell(static_cast<int32_t>(sx), static_cast<int32_t>(sy)));
        }
    }
}

void CDS_Grid::SumRegion(RValue* result, int32_t x1, int32_t y1, int32_t x2, int32_t y2) const {
    double sum = 0;
    ForEachInRect(*this, x1, y1, x2, y2, [&](int32_t x, int32_t y) {
        sum += Arg_GetReal(Cell(x, y), 0);
        return true;
    });
    RValue_Release(result);
    *result = RValue_Real(sum);
}

void CDS_Grid::SumDisk(RValue* result, double xm, double ym, double r) const {
    double sum = 0;
    ForEachInDisk(*this, xm, ym, r, [&](int32_t x, int32_t y) {
        if (Cell(x, y)->kind == VALUE_REAL) sum += Cell(x, y)->val;
        return true;
    });
    RValue_Release(result);
    *result = RValue_Real(sum);
}

void CDS_Grid::MeanRegion(RValue* result, int32_t x1, int32_t y1, int32_t x2, int32_t y2) const {
    Mean mean;
    ForEachInRect(*this, x1, y1, x2, y2, [&](int32_t x, int32_t y) {
        mean.Add(Cell(x, y));
        return true;
    });
    mean.Store(result);
}

void CDS_Grid::MeanDisk(RValue* result, double xm, double ym, double r) const {
    Mean mean;
    ForEachInDisk(*this, xm, ym, r, [&](int32_t x, int32_t y) {
        mean.Add(Cell(x, y));
        return true;
    });
    mean.Store(result);
}

void CDS_Grid::MaxRegion(RValue* result, int32_t x1, int32_t y1, int32_t x2, int32_t y2, const char* caller) const {
    Extreme best{true};
    ForEachInRect(*this, x1, y1, x2, y2, [&](int32_t x, int32_t y) {
        best.Visit(Cell(x, y));
        return true;
    });
    best.Store(result, caller);
}

void CDS_Grid::MinRegion(RValue* result, int32_t x1, int32_t y1, int32_t x2, int32_t y2, const char* caller) const {
    Extreme best{false};
    ForEachInRect(*this, x1, y1, x2, y2, [&](int32_t x, int32_t y) {
        best.Visit(Cell(x, y));
        return true;
    });
    best.Store(result, caller);
}

void CDS_Grid::MaxDisk(RValue* result, double xm, double ym, double r, const char* caller) const {
    Extreme best{true};
    ForEachInDisk(*this, xm, ym, r, [&](int32_t x, int32_t y) {
        best.Visit(Cell(x, y));
        return true;
    });
    best.Store(result, caller);
}

void CDS_Grid::MinDisk(RValue* result, double xm, double ym, double r, const char* caller) const {
    Extreme best{false};
    ForEachInDisk(*this, xm, ym, r, [&](int32_t x, int32_t y) {
        best.Visit(Cell(x, y));
        return true;
    });
    best.Store(result, caller);
}

void CDS_Grid::ValueRegion(RValue* result, SearchResult what, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                           const RValue* value) const {
    Search search(what, value);
    ForEachInRect(*this, x1, y1, x2, y2, [&](int32_t x, int32_t y) { return search.Visit(Cell(x, y), x, y); });
    search.Store(result);
}

void CDS_Grid::ValueDisk(RValue* result, SearchResult what, double xm, double ym, double r,
                         const RValue* value) const {
    Search search(what, value);
    ForEachInDisk(*this, xm, ym, r, [&](int32_t x, int32_t y) { return search.Visit(Cell(x, y), x, y); });
    search.Store(result);
}

// Rows are reordered by raw moves; an array keeps its owner on the cell that owned it.
void CDS_Grid::Sort(int32_t column, int32_t direction) {
    if (column < 0 || column >= m_width || m_cells == nullptr) return;
    std::vector<int32_t> order(static_cast<size_t>(m_height));
    for (int32_t i = 0; i < m_height; ++i) order[i] = i;
    SortRows(order, [&](int32_t a, int32_t b) {
        return RValue_Compare(Cell(column, a), Cell(column, b), g_DSPrecision) * direction < 0;
    });

    const int64_t cellCount = int64_t{m_width} * m_height;
    std::vector<RValue> copy(m_cells, m_cells + cellCount);
    std::vector<uint8_t> owned(static_cast<size_t>(cellCount));
    for (int64_t i = 0; i < cellCount; ++i) {
        const RValue& cell = copy[i];
        owned[i] = cell.kind == VALUE_ARRAY && cell.arr != nullptr && cell.arr->owner == &m_cells[i];
    }
    for (int32_t row = 0; row < m_height; ++row) {
        for (int32_t x = 0; x < m_width; ++x) {
            const int64_t from = x + int64_t{order[row]} * m_width;
            RValue* to = Cell(x, row);
            *to = copy[from];
            if (owned[from]) to->arr->owner = to;
        }
    }
}

// Exchanges go through a held copy, one more reference for a moment.
void CDS_Grid::Shuffle() {
    const int64_t draws = int64_t{8} * m_width * m_height;
    for (int64_t k = 0; k < draws; ++k) {
        const int32_t x1 = static_cast<int32_t>(Random_IntMod(m_width));
        const int32_t x2 = static_cast<int32_t>(Random_IntMod(m_width));
        const int32_t y1 = static_cast<int32_t>(Random_IntMod(m_height));
        const int32_t y2 = static_cast<int32_t>(Random_IntMod(m_height));
        if (x1 == x2 && y1 == y2) continue;
        RValue held = RValue_Undefined();
        RValue_Assign(&held, Cell(x1, y1));
        SetCell(x1, y1, Cell(x2, y2));
        SetCell(x2, y2, &held);
        RValue_Release(&held);
    }
}
