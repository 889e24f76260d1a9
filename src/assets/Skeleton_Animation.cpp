// Animations and the animation state: keyed timelines eased by linear, stepped or bezier
// curves, applied to a skeleton with a weight; tracks that loop and mix from one animation
// into the next.
#include <algorithm>
#include <cmath>

#include "assets/Skeleton_Runtime.h"

namespace {

// An angle difference brought into -180 .. 180.
float WrapDegrees(float angle) {
    angle = std::fmod(angle, 360.0f);
    if (angle > 180) angle -= 360;
    if (angle < -180) angle += 360;
    return angle;
}

float Clamp01(float v) {
    return v < 0 ? 0 : v > 1 ? 1 : v;
}

// The key pair around the time: the last key at or before it, and the eased fraction towards
// the next. Before the first key nothing applies (-1).
int32_t KeyAt(const std::vector<SkeletonKey>& keys, float time, float* fraction) {
    if (keys.empty() || time < keys.front().time) return -1;
    size_t i = 0;
    while (i + 1 < keys.size() && keys[i + 1].time <= time) ++i;
    *fraction = 0;
    if (i + 1 < keys.size()) {
        const float span = keys[i + 1].time - keys[i].time;
        *fraction = span > 0 ? keys[i].curve.Apply(Clamp01((time - keys[i].time) / span)) : 0;
    }
    return int32_t(i);
}

float Lerp(const std::vector<SkeletonKey>& keys, int32_t i, float t, int v) {
    const float a = keys[size_t(i)].value[v];
    if (size_t(i) + 1 >= keys.size()) return a;
    return a + (keys[size_t(i) + 1].value[v] - a) * t;
}

}  // namespace

float SkeletonCurve::Apply(float t) const {
    if (kind == SKELETON_STEPPED) return 0;
    if (kind == SKELETON_LINEAR) return t;
    // Cubic bezier from (0, 0) to (1, 1) with control points (cx1, cy1), (cx2, cy2): find the
    // parameter whose x is t by bisection (x rises with the parameter since cx1, cx2 lie in
    // 0..1), then take its y.
    auto at = [](float p1, float p2, float s) {
        const float u = 1 - s;
        return 3 * u * u * s * p1 + 3 * u * s * s * p2 + s * s * s;
    };
    float low = 0, high = 1, s = t;
    for (int i = 0; i < 32; ++i) {
        s = (low + high) / 2;
        if (at(cx1, cx2, s) < t)
            low = s;
        else
            high = s;
    }
    return at(cy1, cy2, s);
}

void SkeletonAnimation_Apply(const SkeletonAnimationData& animation, Skeleton& skeleton, float time,
                             bool loop, float alpha) {
    if (loop) time = animation.duration > 0 ? std::fmod(time, animation.duration) : 0;
    if (time < 0) time = 0;
    for (const SkeletonTimeline& timeline : animation.timelines) {
        float t = 0;
        const int32_t i = KeyAt(timeline.keys, time, &t);
        if (i < 0) continue;
        const std::vector<SkeletonKey>& keys = timeline.keys;
        switch (timeline.kind) {
            case SKELETON_ROTATE: {
                SkeletonBone& bone = skeleton.bones[size_t(timeline.target)];
                const float a = keys[size_t(i)].value[0];
                const float b = size_t(i) + 1 < keys.size() ? keys[size_t(i) + 1].value[0] : a;
                const float value = a + WrapDegrees(b - a) * t;
                bone.rotation += WrapDegrees(bone.data->rotation + value - bone.rotation) * alpha;
                break;
            }
            case SKELETON_TRANSLATE: {
                SkeletonBone& bone = skeleton.bones[size_t(timeline.target)];
                bone.x += (bone.data->x + Lerp(keys, i, t, 0) - bone.x) * alpha;
                bone.y += (bone.data->y + Lerp(keys, i, t, 1) - bone.y) * alpha;
                break;
            }
            case SKELETON_SCALE: {
                SkeletonBone& bone = skeleton.bones[size_t(timeline.target)];
                bone.scaleX += (bone.data->scaleX * Lerp(keys, i, t, 0) - bone.scaleX) * alpha;
                bone.scaleY += (bone.data->scaleY * Lerp(keys, i, t, 1) - bone.scaleY) * alpha;
                break;
            }
            case SKELETON_ATTACHMENT: {
                SkeletonSlot& slot = skeleton.slots[size_t(timeline.target)];
                const std::string& name = keys[size_t(i)].name;
                slot.attachment = name.empty() ? nullptr : skeleton.GetAttachment(timeline.target, name);
                break;
            }
            case SKELETON_COLOUR: {
                SkeletonColour& c = skeleton.slots[size_t(timeline.target)].colour;
                float* channel[4] = {&c.r, &c.g, &c.b, &c.a};
                for (int v = 0; v < 4; ++v)
                    *channel[v] = Clamp01(*channel[v] + (Lerp(keys, i, t, v) - *channel[v]) * alpha);
                break;
            }
        }
    }
}

// ---- mixes ---------------------------------------------------------------------------------

bool SkeletonAnimationStateData::SetMixByName(const std::string& from, const std::string& to,
                                              float duration) {
    const SkeletonAnimationData* a = data->FindAnimation(from);
    const SkeletonAnimationData* b = data->FindAnimation(to);
    if (!a || !b) return false;
    for (SkeletonMix& mix : mixes) {
        if (mix.from == a && mix.to == b) {
            mix.duration = duration;
            return true;
        }
    }
    mixes.push_back({a, b, duration});
    return true;
}

float SkeletonAnimationStateData::GetMix(const SkeletonAnimationData* from,
                                         const SkeletonAnimationData* to) const {
    for (const SkeletonMix& mix : mixes)
        if (mix.from == from && mix.to == to) return mix.duration;
    return 0;
}

// ---- the state -----------------------------------------------------------------------------

void SkeletonAnimationState::SetAnimation(int32_t track, const SkeletonAnimationData* animation, bool loop) {
    if (track < 0 || !animation) return;
    if (size_t(track) >= tracks.size()) tracks.resize(size_t(track) + 1);
    SkeletonTrack& entry = tracks[size_t(track)];
    const float mix = entry.animation ? data->GetMix(entry.animation, animation) : 0;
    if (mix > 0) {
        entry.previous = entry.animation;
        entry.previousLoop = entry.loop;
        entry.previousTime = entry.time;
        entry.mixTime = 0;
        entry.mixDuration = mix;
    } else {
        entry.previous = nullptr;
        entry.mixDuration = 0;
    }
    entry.animation = animation;
    entry.loop = loop;
    entry.time = 0;
}

void SkeletonAnimationState::ClearTrack(int32_t track) {
    if (track >= 0 && size_t(track) < tracks.size()) tracks[size_t(track)] = SkeletonTrack{};
}

const SkeletonTrack* SkeletonAnimationState::Track(int32_t track) const {
    return track >= 0 && size_t(track) < tracks.size() ? &tracks[size_t(track)] : nullptr;
}

void SkeletonAnimationState::Update(float delta) {
    for (SkeletonTrack& t : tracks) {
        if (!t.animation) continue;
        t.time += delta;
        if (!t.previous) continue;
        t.previousTime += delta;
        t.mixTime += delta;
        if (t.mixTime >= t.mixDuration) t.previous = nullptr;
    }
}

void SkeletonAnimationState::Apply(Skeleton& skeleton) const {
    for (const SkeletonTrack& t : tracks) {
        if (!t.animation) continue;
        if (!t.previous) {
            SkeletonAnimation_Apply(*t.animation, skeleton, t.time, t.loop, 1.0f);
            continue;
        }
        SkeletonAnimation_Apply(*t.previous, skeleton, t.previousTime, t.previousLoop, 1.0f);
        const float alpha = t.mixDuration > 0 ? Clamp01(t.mixTime / t.mixDuration) : 1.0f;
        SkeletonAnimation_Apply(*t.animation, skeleton, t.time, t.loop, alpha);
    }
}
