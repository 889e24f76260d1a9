// One path: control points {x, y, speed} and the polyline computed from them (straight or
// smoothed), with the running length along it, its total length and its time. Every change
// recomputes the polyline at once, so position queries, which instances following the path make
// every step, only search a flat array.
#pragma once

#include <cstdint>

struct PathPoint {
    float x, y, speed;  // speed: a factor in percent of the instance's own path speed
};

struct PathComputedPoint {
    float x, y, speed;
    float l;  // distance from the first computed point
};

class CPath {
public:
    static constexpr int32_t kMaxPrecision = 8;

    CPath() = default;
    ~CPath();
    CPath(const CPath&) = delete;
    CPath& operator=(const CPath&) = delete;

    // Kind, closed flag, precision and the n points (12 bytes each: float x, y, speed).
    void LoadFromChunk(int32_t kind, bool closed, int32_t precision, const uint8_t* points, int32_t n);
    void Assign(const CPath* other);
    // Drops the points; kind, closed flag and precision stay.
    void Clear();

    int32_t AddPoint(float x, float y, float speed);
    // 0..count (count appends); another index does nothing.
    void InsertPoint(int32_t index, float x, float y, float speed);
    void ChangePoint(int32_t index, float x, float y, float speed);
    void DeletePoint(int32_t index);
    // {0, 0, 1} outside the points.
    PathPoint GetPoint(int32_t index) const;

    int32_t GetNumber() const { return m_count; }
    int32_t GetKind() const { return m_kind; }
    bool GetClosed() const { return m_closed; }
    int32_t GetPrecision() const { return m_precision; }
    float GetLength() const { return m_length; }
    float GetTime() const { return m_time; }
    int32_t GetComputedCount() const { return m_computedCount; }
    const PathComputedPoint* GetComputed() const { return m_computed; }

    // 1 smooth; any other value straight (0).
    void SetKind(int32_t kind);
    void SetClosed(bool closed);
    // Limited to 0..8.
    void SetPrecision(int32_t precision);

    // The point at fraction t of the length.
    PathComputedPoint GetPosition(double t) const;
    float GetX(double t) const { return GetPosition(t).x; }
    float GetY(double t) const { return GetPosition(t).y; }
    float GetSpeed(double t) const { return GetPosition(t).speed; }

    void Shift(float dx, float dy);
    void Append(const CPath* other);
    void Reverse();
    void Mirror();
    void Flip();
    void Rotate(float angle);
    void Scale(float xscale, float yscale);
    // A line strip in the draw colour, starting at (x, y) unless absolute.
    void Draw(float x, float y, bool absolute) const;

private:
    void Recompute();
    void ComputeStraight();
    void ComputeSmooth();
    void Subdivide(const PathComputedPoint& p, const PathComputedPoint& q, const PathComputedPoint& r,
                   int32_t depth);
    void AddComputed(const PathComputedPoint& point);
    void ComputeLengths();
    void Centre(float* cx, float* cy) const;
    // Shifts by minus the centre, applies the change to every point and shifts back.
    template <typename Change>
    void AboutCentre(Change change);

    int32_t m_capacity = 0;
    PathPoint* m_points = nullptr;
    int32_t m_computedCapacity = 0;
    PathComputedPoint* m_computed = nullptr;
    int32_t m_count = 0;
    int32_t m_kind = 0;
    bool m_closed = true;
    int32_t m_precision = 4;
    int32_t m_computedCount = 0;
    float m_length = 0.0f;
    float m_time = 0.0f;
};
