// Instance motion: the coupled speed fields, friction and gravity, path following, alarms and
// the integer bounding box. Fields are single precision; every expression is evaluated in
// double precision and stored back as single, and degrees turn into radians with pi taken as
// the float 3.1415927410125732, so motion matches game code written against this runner bit
// for bit.
#include <algorithm>
#include <cmath>

#include "core/CRuntimeCompat.h"
#include "core/Instance.h"
#include "world/Collision_Main.h"
#include "world/Path_Class.h"
#include "world/Path_Main.h"
#include "world/World_Services.h"

namespace {

constexpr double kPi = static_cast<double>(3.14159265358979323846f);
constexpr double kSnap = static_cast<double>(1e-4f);  // 9.9999997e-05
// Directions this far out are reduced before the wrapping loops: past it, adding or taking
// 360 no longer changes a float and the loops would never end.
constexpr float kDirectionReduceFrom = 1e6f;

float Radians(float degrees) {
    return static_cast<float>(degrees * kPi / 180.0);
}

// Values within 0.0001 of a whole number become it (halves go to even). A negative zero
// comes out as zero.
float Snap(float v) {
    const double nearest = std::nearbyint(static_cast<double>(v));
    if (std::fabs(v - nearest) < kSnap) return static_cast<float>(nearest) + 0.0f;
    return v;
}

bool PathUsable(int32_t path) {
    const CPath* p = Path_Get(path);
    return p != nullptr && p->GetLength() > 0.0;
}

// The point at a position (0 start, 1 end) and its speed factor in percent.
void PathPointAt(int32_t path, double position, float* x, float* y, float* speed) {
    const CPath* p0 = Path_Get(path);
    const PathComputedPoint p = p0 != nullptr ? p0->GetPosition(position) : PathComputedPoint{0, 0, 100, 0};
    *x = p.x;
    *y = p.y;
    *speed = p.speed;
}

// The box conversion: truncation in tree mode, else nearest with ties to even.
int32_t BoxInt(double v) {
    return CRT_TruncToInt32(Collision_TreeMode() ? std::trunc(v) : std::nearbyint(v));
}

}  // namespace

// --- Position and speeds ------------------------------------------------------------------

void CInstance::SetPosition(float newX, float newY) {
    if (newX == x && newY == y) return;
    x = newX;
    y = newY;
    boxDirty = 1;
    Collision_MarkDirty(this);
}

void CInstance::SetHSpeed(float value) {
    if (value == hspeed) return;
    hspeed = value;
    ComputeDirectionSpeed();
}

void CInstance::SetVSpeed(float value) {
    if (value == vspeed) return;
    vspeed = value;
    ComputeDirectionSpeed();
}

void CInstance::SetSpeed(float value) {
    if (value == speed) return;
    speed = value;
    ComputeHVSpeed();
}

void CInstance::SetDirection(float d) {
    if (std::fabs(d) >= kDirectionReduceFrom) d = std::fmod(d, 360.0f);
    while (d < 0.0f) d += 360.0f;
    while (d > 360.0f) d -= 360.0f;
    direction = std::fmod(d, 360.0f);
    ComputeHVSpeed();
}

void CInstance::AddMotion(float dir, float amount) {
    const double r = Radians(dir);
    hspeed = static_cast<float>(hspeed + std::cos(r) * amount);
    vspeed = static_cast<float>(vspeed - std::sin(r) * amount);
    ComputeDirectionSpeed();
}

void CInstance::ComputeDirectionSpeed() {
    if (hspeed == 0.0f) {
        direction = vspeed > 0.0f ? 270.0f : (vspeed < 0.0f ? 90.0f : 0.0f);
    } else {
        const double a = std::atan2(static_cast<double>(vspeed), static_cast<double>(hspeed)) * 180.0 / kPi;
        direction = static_cast<float>(a > 0.0 ? 360.0 - a : -a);
    }
    direction = std::fmod(Snap(direction), 360.0f);
    const float sum =
        static_cast<float>(static_cast<double>(vspeed) * vspeed + static_cast<double>(hspeed) * hspeed);
    speed = Snap(static_cast<float>(std::sqrt(static_cast<double>(sum))));
    boxDirty = 1;
    Collision_MarkDirty(this);
}

void CInstance::ComputeHVSpeed() {
    const double r = Radians(direction);
    hspeed = Snap(static_cast<float>(std::cos(r) * speed));
    vspeed = Snap(static_cast<float>(std::sin(r) * -static_cast<double>(speed)));
    boxDirty = 1;
    Collision_MarkDirty(this);
}

void CInstance::ApplyFriction() {
    if (friction != 0.0f && speed != 0.0f) {
        const float n = static_cast<float>(speed > 0.0f ? static_cast<double>(speed) - friction
                                                        : static_cast<double>(speed) + friction);
        if ((speed > 0.0f && n < 0.0f) || (speed < 0.0f && n > 0.0f)) {
            speed = 0.0f;  // friction never reverses a motion
            ComputeHVSpeed();
        } else if (n != speed) {
            speed = n;
            ComputeHVSpeed();
        }
    }
    if (gravity != 0.0f) AddMotion(gravity_direction, gravity);
}

// --- Transform ----------------------------------------------------------------------------

void CInstance::SetImageXScale(float value) {
    if (value == image_xscale) return;
    image_xscale = value;
    boxDirty = 1;
    Collision_MarkDirty(this);
}

void CInstance::SetImageYScale(float value) {
    if (value == image_yscale) return;
    image_yscale = value;
    boxDirty = 1;
    Collision_MarkDirty(this);
}

void CInstance::SetImageAngle(float value) {
    if (value == image_angle) return;
    image_angle = value;
    boxDirty = 1;
    Collision_MarkDirty(this);
}

void CInstance::SetMaskIndex(int32_t value) {
    if (value == mask_index) return;
    mask_index = value;
    boxDirty = 1;
    Collision_MarkDirty(this);
}

// --- Alarms -------------------------------------------------------------------------------

int32_t CInstance::GetAlarm(int32_t n) const {
    return n >= 0 && n < INSTANCE_ALARM_COUNT ? alarm[n] : -1;
}

void CInstance::SetAlarm(int32_t n, int32_t value) {
    if (n >= 0 && n < INSTANCE_ALARM_COUNT) alarm[n] = value;
}

// --- Paths --------------------------------------------------------------------------------

void CInstance::SetPathPosition(float value) {
    path_position = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}

void CInstance::SetPathPositionPrevious(float value) {
    path_positionprevious = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}

void CInstance::SetPathSpeed(float value) {
    path_speed = value;
}

void CInstance::StartPath(int32_t path, float pathSpeed, float scale, float orientation, bool relative,
                          int32_t endAction) {
    path_index = path;
    if (path < 0) return;
    if (!PathUsable(path)) {
        path_index = -1;
        return;
    }
    path_speed = pathSpeed;
    const bool forwards = pathSpeed >= 0.0f;
    path_position = path_positionprevious = forwards ? 0.0f : 1.0f;
    path_scale = scale;
    if (scale < 0.0f) {
        path_index = -1;
        return;
    }
    path_orientation = orientation;
    path_endaction = endAction;
    float px, py, ps;
    if (relative) {
        pathStartX = x;
        pathStartY = y;
        return;
    }
    PathPointAt(path, forwards ? 0.0 : 1.0, &px, &py, &ps);
    SetPosition(px, py);
    PathPointAt(path, 0.0, &px, &py, &ps);
    pathStartX = px;
    pathStartY = py;
}

bool CInstance::AdvancePath() {
    // The path read at the start serves the whole step, also after an end stopped it.
    const int32_t path = path_index;
    if (!PathUsable(path)) return false;
    const double length = Path_Get(path)->GetLength();
    const double o = Radians(path_orientation);
    float px, py, factor;
    PathPointAt(path, path_position, &px, &py, &factor);
    const double step = path_speed * (factor / (static_cast<double>(path_scale) * 100.0));
    path_position = static_cast<float>(path_position + step / length);

    const double c = std::cos(o), s = std::sin(o);
    bool ended = false;
    if (path_position >= 1.0f || path_position <= 0.0f) {
        ended = path_speed != 0.0f;
        switch (path_endaction) {
            case 0:
                if (path_speed != 0.0f) {
                    path_position = 1.0f;
                    path_index = -1;
                }
                break;
            case 1:
                path_position =
                    static_cast<float>(path_position < 0.0f ? path_position + 1.0 : path_position - 1.0);
                break;
            case 2: {
                float x0, y0, x1, y1, ignored;
                PathPointAt(path, 0.0, &x0, &y0, &ignored);
                PathPointAt(path, 1.0, &x1, &y1, &ignored);
                const double dx = static_cast<double>(x1) - x0, dy = static_cast<double>(y1) - y0;
                const double mx = (c * dx + s * dy) * path_scale, my = (c * dy - s * dx) * path_scale;
                if (path_position >= 0.0f) {
                    pathStartX = static_cast<float>(pathStartX + mx);
                    pathStartY = static_cast<float>(pathStartY + my);
                    path_position = static_cast<float>(path_position - 1.0);
                } else {
                    pathStartX = static_cast<float>(pathStartX - mx);
                    pathStartY = static_cast<float>(pathStartY - my);
                    path_position = static_cast<float>(path_position + 1.0);
                }
                break;
            }
            case 3:
                if (path_position >= 0.0f) {
                    path_position = static_cast<float>(2.0 - path_position);
                    path_speed = -std::fabs(path_speed);
                } else {
                    path_position = -path_position;
                    path_speed = std::fabs(path_speed);
                }
                break;
            default:
                path_position = 1.0f;
                path_index = -1;
                break;
        }
    }
    float tx0, ty0, ax, ay, ignored;
    PathPointAt(path, path_position, &ax, &ay, &ignored);
    PathPointAt(path, 0.0, &tx0, &ty0, &ignored);
    const double qx = static_cast<double>(ax) - tx0, qy = static_cast<double>(ay) - ty0;
    const float tx = static_cast<float>((c * qx + s * qy) * path_scale + pathStartX);
    const float ty = static_cast<float>((c * qy - s * qx) * path_scale + pathStartY);

    const float dh = static_cast<float>(static_cast<double>(tx) - x);
    if (dh != hspeed) {
        hspeed = dh;
        ComputeDirectionSpeed();
    }
    const float dv = static_cast<float>(static_cast<double>(ty) - y);
    if (dv != vspeed) {
        vspeed = dv;
        ComputeDirectionSpeed();
    }
    if (speed != 0.0f) {
        speed = 0.0f;
        ComputeHVSpeed();
    }
    if (tx != x || ty != y) {
        x = tx;
        y = ty;
        boxDirty = 1;
        Collision_MarkDirty(this);
    }
    return ended;
}

// --- Bounding box -------------------------------------------------------------------------

void CInstance::ComputeBoundingBox(bool updateIndex) {
    const InstanceBox old{bbox_left, bbox_top, bbox_right, bbox_bottom};
    SpriteCollisionShape m{};
    const bool hasSprite = World().spriteMask != nullptr && World().spriteMask(MaskSprite(), &m);
    if (!hasSprite) {
        bbox_left = bbox_right = CRT_TruncToInt32(x);
        bbox_top = bbox_bottom = CRT_TruncToInt32(y);
        precise = 0;
    } else if (image_angle == 0.0f) {
        bbox_left = BoxInt((m.left - m.xorigin) * static_cast<double>(image_xscale) + x);
        bbox_right = BoxInt((m.right - m.left + 1) * static_cast<double>(image_xscale) + bbox_left);
        if (bbox_left > bbox_right) std::swap(bbox_left, bbox_right);
        bbox_top = BoxInt((m.top - m.yorigin) * static_cast<double>(image_yscale) + y);
        bbox_bottom = BoxInt((m.bottom - m.top + 1) * static_cast<double>(image_yscale) + bbox_top);
        if (bbox_top > bbox_bottom) std::swap(bbox_top, bbox_bottom);
        --bbox_right;
        --bbox_bottom;
        precise = m.precise;
    } else {
        const double xs = image_xscale, ys = image_yscale;
        const double x0 = (std::min(m.left, m.right) - m.xorigin) * xs;
        const double x1 = (std::max(m.left, m.right) - m.xorigin + 1) * xs;
        const double y0 = (std::min(m.top, m.bottom) - m.yorigin) * ys;
        const double y1 = (std::max(m.top, m.bottom) - m.yorigin + 1) * ys;
        const double r = Radians(image_angle);
        // The rotation's cosine and sine are single precision, like the fields.
        const double c = static_cast<float>(std::cos(r)), s = static_cast<float>(std::sin(r));
        bbox_left = BoxInt(x + std::min(c * x0, c * x1) + std::min(s * y0, s * y1));
        bbox_right = BoxInt(x + std::max(c * x0, c * x1) + std::max(s * y0, s * y1)) - 1;
        bbox_top = BoxInt(y + std::min(c * y0, c * y1) - std::max(s * x0, s * x1));
        bbox_bottom = BoxInt(y + std::max(c * y0, c * y1) - std::min(s * x0, s * x1)) - 1;
        precise = m.precise;
    }
    boxDirty = 0;
    if (updateIndex) Collision_UpdateInstance(this, old);
}
