#include "world/Path_Class.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/MemoryManager.h"
#include "graphics/Graphics_Primitive.h"

namespace {

constexpr int32_t kPointGrowth = 6;
constexpr int32_t kComputedGrowth = 10;
constexpr float kCentreSearchStart = 100000000.0f;
constexpr int32_t kLineStripKind = 3;

PathComputedPoint FromControl(const PathPoint& p) {
    return PathComputedPoint{p.x, p.y, p.speed, 0.0f};
}

PathComputedPoint Mid(const PathComputedPoint& a, const PathComputedPoint& b) {
    return PathComputedPoint{(a.x + b.x) / 2.0f, (a.y + b.y) / 2.0f, (a.speed + b.speed) / 2.0f, 0.0f};
}

float Distance2(const PathComputedPoint& a, const PathComputedPoint& b) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    return dx * dx + dy * dy;
}

}  // namespace

CPath::~CPath() {
    MEM_FREE(m_points);
    MEM_FREE(m_computed);
}

void CPath::LoadFromChunk(int32_t kind, bool closed, int32_t precision, const uint8_t* points, int32_t n) {
    Clear();
    m_kind = kind;
    m_closed = closed;
    // A file's precision is the subdivision depth; beyond 8 (or below 0) the smoothing would not
    // end in any useful time, so it is held to the same range as a precision set at run time.
    m_precision = std::clamp(precision, 0, kMaxPrecision);
    if (n > 0) {
        m_points = static_cast<PathPoint*>(MEM_ALLOC(sizeof(PathPoint) * static_cast<size_t>(n)));
        for (int32_t i = 0; i < n; ++i) std::memcpy(&m_points[i], points + 12 * static_cast<size_t>(i), 12);
        m_capacity = m_count = n;
    }
    Recompute();
}

void CPath::Assign(const CPath* other) {
    if (other == this) return;
    Clear();
    m_kind = other->m_kind;
    m_closed = other->m_closed;
    m_precision = other->m_precision;
    if (other->m_count > 0) {
        m_points =
            static_cast<PathPoint*>(MEM_ALLOC(sizeof(PathPoint) * static_cast<size_t>(other->m_count)));
        std::memcpy(m_points, other->m_points, sizeof(PathPoint) * static_cast<size_t>(other->m_count));
        m_capacity = m_count = other->m_count;
    }
    Recompute();
}

void CPath::Clear() {
    MEM_FREE(m_points);
    MEM_FREE(m_computed);
    m_points = nullptr;
    m_computed = nullptr;
    m_capacity = m_computedCapacity = 0;
    m_count = m_computedCount = 0;
    m_length = m_time = 0.0f;
}

int32_t CPath::AddPoint(float x, float y, float speed) {
    InsertPoint(m_count, x, y, speed);
    return m_count - 1;
}

void CPath::InsertPoint(int32_t index, float x, float y, float speed) {
    if (index < 0 || index > m_count) return;
    if (m_count >= m_capacity) {
        m_capacity = m_count + kPointGrowth;
        m_points = static_cast<PathPoint*>(
            MEM_REALLOC(m_points, sizeof(PathPoint) * static_cast<size_t>(m_capacity)));
    }
    std::memmove(&m_points[index + 1], &m_points[index],
                 sizeof(PathPoint) * static_cast<size_t>(m_count - index));
    m_points[index] = PathPoint{x, y, speed};
    ++m_count;
    Recompute();
}

void CPath::ChangePoint(int32_t index, float x, float y, float speed) {
    if (index < 0 || index >= m_count) return;
    m_points[index] = PathPoint{x, y, speed};
    Recompute();
}

void CPath::DeletePoint(int32_t index) {
    if (index < 0 || index >= m_count) return;
    std::memmove(&m_points[index], &m_points[index + 1],
                 sizeof(PathPoint) * static_cast<size_t>(m_count - index - 1));
    --m_count;
    Recompute();
}

PathPoint CPath::GetPoint(int32_t index) const {
    if (index < 0 || index >= m_count) return PathPoint{0.0f, 0.0f, 1.0f};
    return m_points[index];
}

void CPath::SetKind(int32_t kind) {
    m_kind = kind == 1 ? 1 : 0;
    Recompute();
}

void CPath::SetClosed(bool closed) {
    m_closed = closed;
    Recompute();
}

void CPath::SetPrecision(int32_t precision) {
    m_precision = std::clamp(precision, 0, kMaxPrecision);
    Recompute();
}

// --- The polyline ---------------------------------------------------------------------------------

void CPath::Recompute() {
    m_computedCount = 0;
    if (m_kind == 1)
        ComputeSmooth();
    else
        ComputeStraight();
    ComputeLengths();
}

void CPath::AddComputed(const PathComputedPoint& point) {
    if (m_computedCount >= m_computedCapacity) {
        m_computedCapacity = m_computedCount + 1 + kComputedGrowth;
        m_computed = static_cast<PathComputedPoint*>(
            MEM_REALLOC(m_computed, sizeof(PathComputedPoint) * static_cast<size_t>(m_computedCapacity)));
    }
    m_computed[m_computedCount++] = point;
}

void CPath::ComputeStraight() {
    if (m_count < 1) return;
    for (int32_t i = 0; i < m_count; ++i) AddComputed(FromControl(m_points[i]));
    if (m_closed) AddComputed(FromControl(m_points[0]));
}

void CPath::ComputeSmooth() {
    const int32_t n = m_count;
    if (n < 1) return;
    if (!m_closed) AddComputed(FromControl(m_points[0]));
    const int32_t last = m_closed ? n : n - 2;
    for (int32_t i = 1; i <= last; ++i) {
        const PathComputedPoint p = FromControl(m_points[(i - 1) % n]);
        const PathComputedPoint q = FromControl(m_points[i % n]);
        const PathComputedPoint r = FromControl(m_points[(i + 1) % n]);
        Subdivide(Mid(p, q), q, Mid(q, r), m_precision);
    }
    if (!m_closed) {
        AddComputed(FromControl(m_points[n - 1]));
    } else if (m_computedCount > 0) {
        const PathComputedPoint first = m_computed[0];
        AddComputed(first);
    } else {
        // Precision 0 gives no curve points to close the loop with: the first control point
        // stands in for them, so the path still has a position.
        AddComputed(FromControl(m_points[0]));
    }
}

void CPath::Subdivide(const PathComputedPoint& p, const PathComputedPoint& q, const PathComputedPoint& r,
                      int32_t depth) {
    if (depth <= 0) return;
    const PathComputedPoint m{(p.x + 2.0f * q.x + r.x) / 4.0f, (p.y + 2.0f * q.y + r.y) / 4.0f,
                              (p.speed + 2.0f * q.speed + r.speed) / 4.0f, 0.0f};
    if (Distance2(p, q) > 16.0f) Subdivide(p, Mid(p, q), m, depth - 1);
    AddComputed(m);
    if (Distance2(q, r) > 16.0f) Subdivide(m, Mid(q, r), r, depth - 1);
}

void CPath::ComputeLengths() {
    m_length = 0.0f;
    m_time = 0.0f;
    if (m_computedCount == 0) return;
    m_computed[0].l = 0.0f;
    float running = 0.0f, time = 0.0f;
    for (int32_t i = 1; i < m_computedCount; ++i) {
        const PathComputedPoint& a = m_computed[i - 1];
        PathComputedPoint& b = m_computed[i];
        const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
        const float segment = static_cast<float>(std::sqrt(dx * dx + dy * dy));
        running += segment;
        b.l = running;
        const float pace = (a.speed + b.speed) * 0.5f / 100.0f;
        // Two neighbouring points of speed 0 make the path take for ever.
        time = pace != 0.0f ? time + segment / pace : std::numeric_limits<float>::infinity();
    }
    m_length = running;
    m_time = time;
}

PathComputedPoint CPath::GetPosition(double t) const {
    if (m_computedCount == 0) return PathComputedPoint{0.0f, 0.0f, 100.0f, 0.0f};
    if (m_computedCount == 1 || m_length == 0.0f || t <= 0.0) return m_computed[0];
    if (t >= 1.0) return m_computed[m_computedCount - 1];
    const float d = static_cast<float>(m_length * t);
    int32_t i = 0;
    while (i < m_computedCount - 2 && !(m_computed[i + 1].l > d)) ++i;
    const PathComputedPoint& a = m_computed[i];
    const PathComputedPoint& b = m_computed[i + 1];
    if (a.l == b.l) return a;
    const float f = (d - a.l) / (b.l - a.l);
    return PathComputedPoint{a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.speed + (b.speed - a.speed) * f,
                             d};
}

// --- Transforms -----------------------------------------------------------------------------------

void CPath::Shift(float dx, float dy) {
    for (int32_t i = 0; i < m_count; ++i) {
        m_points[i].x += dx;
        m_points[i].y += dy;
    }
    Recompute();
}

void CPath::Append(const CPath* other) {
    // Copied first: a path may be appended to itself.
    const int32_t n = other->m_count;
    if (n <= 0) {
        Recompute();
        return;
    }
    auto* copy = static_cast<PathPoint*>(MEM_ALLOC(sizeof(PathPoint) * static_cast<size_t>(n)));
    std::memcpy(copy, other->m_points, sizeof(PathPoint) * static_cast<size_t>(n));
    m_points =
        static_cast<PathPoint*>(MEM_REALLOC(m_points, sizeof(PathPoint) * static_cast<size_t>(m_count + n)));
    std::memcpy(&m_points[m_count], copy, sizeof(PathPoint) * static_cast<size_t>(n));
    MEM_FREE(copy);
    m_count += n;
    m_capacity = m_count;
    Recompute();
}

void CPath::Reverse() {
    if (m_count <= 1) return;
    std::reverse(m_points, m_points + m_count);
    Recompute();
}

void CPath::Centre(float* cx, float* cy) const {
    float minX = kCentreSearchStart, maxX = -kCentreSearchStart;
    float minY = kCentreSearchStart, maxY = -kCentreSearchStart;
    for (int32_t i = 0; i < m_count; ++i) {
        minX = std::min(minX, m_points[i].x);
        maxX = std::max(maxX, m_points[i].x);
        minY = std::min(minY, m_points[i].y);
        maxY = std::max(maxY, m_points[i].y);
    }
    *cx = (minX + maxX) / 2.0f;
    *cy = (minY + maxY) / 2.0f;
}

template <typename Change>
void CPath::AboutCentre(Change change) {
    float cx, cy;
    Centre(&cx, &cy);
    for (int32_t i = 0; i < m_count; ++i) {
        float x = m_points[i].x - cx, y = m_points[i].y - cy;
        change(&x, &y);
        m_points[i].x = x + cx;
        m_points[i].y = y + cy;
    }
    Recompute();
}

void CPath::Mirror() {
    AboutCentre([](float* x, float*) { *x = -*x; });
}

void CPath::Flip() {
    AboutCentre([](float*, float* y) { *y = -*y; });
}

void CPath::Rotate(float angle) {
    const float r = angle * 3.1415927f / 180.0f;
    const float c = std::cos(r), s = std::sin(r);
    AboutCentre([c, s](float* x, float* y) {
        const float nx = c * *x + s * *y;
        const float ny = c * *y - s * *x;
        *x = nx;
        *y = ny;
    });
}

void CPath::Scale(float xscale, float yscale) {
    AboutCentre([xscale, yscale](float* x, float* y) {
        *x *= xscale;
        *y *= yscale;
    });
}

void CPath::Draw(float x, float y, bool absolute) const {
    float dx = x, dy = y;
    if (!absolute) {
        const PathComputedPoint start = GetPosition(0.0);
        dx = x - start.x;
        dy = y - start.y;
    }
    // Beyond a million segments a path is far larger than any view; it is sampled that finely.
    constexpr double kMostSegments = 1000000.0;
    const double segments = static_cast<double>(m_length) / 4.0;
    if (!(segments >= 0.0)) return;
    const int64_t n = std::llround(std::min(segments, kMostSegments));
    if (n <= 0) return;
    // A long path is drawn as several strips, each sharing its first vertex with the end of the
    // one before, since one primitive holds a bounded number of vertices.
    constexpr int64_t kPerStrip = GR_PRIMITIVE_MAX_VERTICES - 1;
    for (int64_t first = 0; first < n; first += kPerStrip) {
        const int64_t last = std::min(n, first + kPerStrip);
        GR_Primitive_Begin(kLineStripKind, -1);
        for (int64_t i = first; i <= last; ++i) {
            const PathComputedPoint p = GetPosition(static_cast<double>(i) / static_cast<double>(n));
            GR_Primitive_Vertex(p.x + dx, p.y + dy);
        }
        GR_Primitive_End();
    }
}
