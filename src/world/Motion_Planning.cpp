#include "world/Motion_Planning.h"

#include <cmath>

#include "core/Instance.h"
#include "world/Path_Main.h"
#include "world/Run_Command.h"

namespace {

constexpr double kPi = 3.1415927410125732;
constexpr float kPointSpeed = 100.0f;
constexpr int32_t kMostUnchangedRounds = 100;

MpPotentialSettings g_settings;

// The goal's distance as the planners measure it, in single precision.
float GoalDistance(const CInstance* self, float gx, float gy) {
    const double dx = static_cast<double>(self->x) - gx, dy = static_cast<double>(self->y) - gy;
    return static_cast<float>(std::sqrt(dy * dy + dx * dx));
}

bool TryDirection(double dir, CInstance* self, float step, int32_t filter, bool all) {
    if (Angle_Difference(dir, self->direction) > g_settings.maxRotation) return false;
    const double r = dir * kPi / 180.0;
    const double reach = static_cast<double>(g_settings.ahead) * step;
    const float probeX = static_cast<float>(self->x + std::cos(r) * reach);
    const float probeY = static_cast<float>(self->y - std::sin(r) * reach);
    if (!MP_IsFree(self, probeX, probeY, filter, all)) return false;
    const float nextX = static_cast<float>(self->x + std::cos(r) * step);
    const float nextY = static_cast<float>(self->y - std::sin(r) * step);
    if (!MP_IsFree(self, nextX, nextY, filter, all)) return false;
    self->SetDirection(static_cast<float>(dir));
    self->SetPosition(nextX, nextY);
    return true;
}

// What the path forms put back when they are done.
struct SavedPlace {
    explicit SavedPlace(CInstance* i) : self(i), x(i->x), y(i->y), direction(i->direction) {}
    void Restore() const {
        self->SetPosition(x, y);
        self->SetDirection(direction);
    }
    CInstance* self;
    float x, y, direction;
};

// Empties the path and makes it straight and open for the planners' points.
void PreparePath(CPath* path) {
    path->Clear();
    path->SetKind(0);
    path->SetClosed(false);
}

}  // namespace

MpPotentialSettings& MP_Settings() {
    return g_settings;
}

double Point_Direction(double x1, double y1, double x2, double y2) {
    const double dx = x2 - x1, dy = y2 - y1;
    if (dx == 0.0) {
        if (dy > 0.0) return 270.0;
        if (dy < 0.0) return 90.0;
        return 0.0;
    }
    const double a = std::atan2(dy, dx) * 180.0 / kPi;
    return a <= 0.0 ? -a : 360.0 - a;
}

// The remainders stand for the add-and-subtract loops, which would never end for huge angles.
double Angle_Difference(double a, double b) {
    a = std::fmod(a, 360.0);
    if (a <= 0.0) a += 360.0;
    if (a >= 360.0) a -= 360.0;
    b = std::fmod(b, 360.0);
    if (b < 0.0) b += 360.0;
    if (b >= 360.0) b -= 360.0;
    const double c = std::fabs(b - a);
    return c > 180.0 ? 360.0 - c : c;
}

bool MP_IsFree(CInstance* self, float x, float y, int32_t filter, bool all) {
    if (filter != kFilterAll) return !Command_PlaceMeeting(self, filter, x, y);
    return all ? Command_PlaceEmpty(self, x, y) : Command_PlaceFree(self, x, y);
}

void Command_MpPotentialSettings(float maxRotation, float rotationStep, float ahead, bool onSpot) {
    g_settings.maxRotation = maxRotation < 1.0f ? 1.0f : maxRotation;
    g_settings.rotationStep = rotationStep < 1.0f ? 1.0f : rotationStep;
    g_settings.ahead = ahead < 1.0f ? 1.0f : ahead;
    g_settings.onSpot = onSpot;
}

bool Command_MpLinearStep(CInstance* self, float gx, float gy, float step, int32_t filter, bool all) {
    if (self->x == gx && self->y == gy) return true;
    const float d = GoalDistance(self, gx, gy);
    const bool reached = step >= d;
    float tx = gx, ty = gy;
    if (!reached) {
        tx = static_cast<float>(self->x + (static_cast<double>(gx) - self->x) * step / d);
        ty = static_cast<float>(self->y + (static_cast<double>(gy) - self->y) * step / d);
    }
    if (MP_IsFree(self, tx, ty, filter, all)) {
        self->SetDirection(static_cast<float>(Point_Direction(self->x, self->y, tx, ty)));
        self->SetPosition(tx, ty);
    }
    return reached;
}

bool Command_MpPotentialStep(CInstance* self, float gx, float gy, float step, int32_t filter, bool all) {
    if (self->x == gx && self->y == gy) return true;
    const float d = GoalDistance(self, gx, gy);
    if (step >= d) {
        if (MP_IsFree(self, gx, gy, filter, all)) {
            self->SetDirection(static_cast<float>(Point_Direction(self->x, self->y, gx, gy)));
            self->SetPosition(gx, gy);
        }
        return true;
    }
    const double goal = Point_Direction(self->x, self->y, gx, gy);
    for (double m = 0.0; m < 180.0; m += g_settings.rotationStep) {
        if (TryDirection(goal - m, self, step, filter, all) ||
            TryDirection(goal + m, self, step, filter, all))
            return false;
    }
    if (g_settings.onSpot) self->SetDirection(self->direction + g_settings.maxRotation);
    return false;
}

bool Command_MpLinearPath(CInstance* self, int32_t index, float gx, float gy, float step, int32_t filter,
                          bool all) {
    CPath* path = Path_Get(index);
    if (path == nullptr || !(step > 0.0f)) return false;
    const SavedPlace saved(self);
    PreparePath(path);
    for (;;) {
        path->AddPoint(self->x, self->y, kPointSpeed);
        const float x = self->x, y = self->y;
        if (Command_MpLinearStep(self, gx, gy, step, filter, all)) {
            path->AddPoint(gx, gy, kPointSpeed);
            saved.Restore();
            return true;
        }
        if (self->x == x && self->y == y) break;
    }
    saved.Restore();
    return false;
}

bool Command_MpPotentialPath(CInstance* self, int32_t index, float gx, float gy, float step, float factor,
                             int32_t filter, bool all) {
    CPath* path = Path_Get(index);
    if (path == nullptr || !(factor >= 1.0f) || !(step > 0.0f)) return false;
    const SavedPlace saved(self);
    PreparePath(path);
    path->AddPoint(self->x, self->y, kPointSpeed);
    const float longest = GoalDistance(self, gx, gy) * factor;
    float previous = path->GetLength();
    int32_t unchanged = 0;
    for (;;) {
        if (Command_MpPotentialStep(self, gx, gy, step, filter, all)) {
            path->AddPoint(gx, gy, kPointSpeed);
            saved.Restore();
            return true;
        }
        path->AddPoint(self->x, self->y, kPointSpeed);
        const float length = path->GetLength();
        if (longest < length) break;
        if (length == previous) {
            if (++unchanged > kMostUnchangedRounds) break;
        } else {
            unchanged = 0;
        }
        previous = length;
    }
    saved.Restore();
    return false;
}
