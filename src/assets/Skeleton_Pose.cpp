// Posed skeletons: world transforms of the bones, world vertices of the attachments, and the
// bounding polygons with their point and segment tests.
#include <algorithm>
#include <cmath>

#include "assets/Skeleton_Runtime.h"

namespace {

constexpr float kDegrees = 3.14159265358979323846f / 180.0f;

}  // namespace

// ---- attachments ---------------------------------------------------------------------------

void SkeletonAttachment::SetUvs(float u, float v, float u2, float v2, bool rotate) {
    // Corners bottom-left, top-left, top-right, bottom-right; a rotated region lies turned a
    // quarter clockwise on its page.
    const float plain[8] = {u, v2, u, v, u2, v, u2, v2};
    const float turned[8] = {u, v, u2, v, u2, v2, u, v2};
    std::copy(rotate ? turned : plain, (rotate ? turned : plain) + 8, uvs);
}

void SkeletonAttachment::UpdateOffset(const SkeletonAtlasRegion* region) {
    const float originalWidth = region && region->originalWidth > 0 ? float(region->originalWidth) : width;
    const float originalHeight =
        region && region->originalHeight > 0 ? float(region->originalHeight) : height;
    const float regionWidth = region ? float(region->width) : width,
                regionHeight = region ? float(region->height) : height;
    const float offsetX = region ? float(region->offsetX) : 0, offsetY = region ? float(region->offsetY) : 0;
    const float sx = originalWidth != 0 ? width / originalWidth * scaleX : 0;
    const float sy = originalHeight != 0 ? height / originalHeight * scaleY : 0;
    const float left = -width / 2 * scaleX + offsetX * sx, bottom = -height / 2 * scaleY + offsetY * sy;
    const float right = left + regionWidth * sx, top = bottom + regionHeight * sy;
    const float c = std::cos(rotation * kDegrees), s = std::sin(rotation * kDegrees);
    const float corners[4][2] = {{left, bottom}, {left, top}, {right, top}, {right, bottom}};
    for (int i = 0; i < 4; ++i) {
        offset[i * 2] = corners[i][0] * c - corners[i][1] * s + x;
        offset[i * 2 + 1] = corners[i][0] * s + corners[i][1] * c + y;
    }
}

// ---- bones ---------------------------------------------------------------------------------

float SkeletonBone::WorldRotation() const {
    return std::atan2(c, a) / kDegrees;
}
float SkeletonBone::WorldScaleX() const {
    return std::sqrt(a * a + c * c);
}
float SkeletonBone::WorldScaleY() const {
    return std::sqrt(b * b + d * d);
}

// ---- the skeleton --------------------------------------------------------------------------

Skeleton::Skeleton(const SkeletonData* skeletonData) : data(skeletonData) {
    for (const SkeletonBoneData& b : data->bones)
        bones.push_back({&b, b.parent, b.x, b.y, b.rotation, b.scaleX, b.scaleY});
    for (const SkeletonSlotData& s : data->slots) slots.push_back({&s, s.colour, nullptr});
    for (size_t i = 0; i < slots.size(); ++i) drawOrder.push_back(int32_t(i));
}

void Skeleton::SetBonesToSetupPose() {
    for (SkeletonBone& b : bones) {
        b.x = b.data->x, b.y = b.data->y, b.rotation = b.data->rotation;
        b.scaleX = b.data->scaleX, b.scaleY = b.data->scaleY;
    }
}

void Skeleton::SetSlotsToSetupPose() {
    for (size_t i = 0; i < slots.size(); ++i) {
        slots[i].colour = slots[i].data->colour;
        slots[i].attachment = slots[i].data->attachment.empty()
                                  ? nullptr
                                  : GetAttachment(int32_t(i), slots[i].data->attachment);
        drawOrder[i] = int32_t(i);
    }
}

bool Skeleton::SetSkinByName(const std::string& name) {
    const int32_t index = data->FindSkin(name);
    if (index < 0) return false;
    // Slots showing the old skin's attachment take the new skin's of the same name.
    if (skin >= 0) {
        for (size_t i = 0; i < slots.size(); ++i) {
            if (!slots[i].attachment) continue;
            for (const SkeletonSkin::Entry& e : data->skins[size_t(skin)].entries) {
                if (e.slot != int32_t(i) || e.attachment.get() != slots[i].attachment) continue;
                if (SkeletonAttachment* a = data->skins[size_t(index)].Find(int32_t(i), e.name))
                    slots[i].attachment = a;
            }
        }
    }
    skin = index;
    return true;
}

SkeletonAttachment* Skeleton::GetAttachment(int32_t slot, const std::string& name) const {
    if (skin >= 0)
        if (SkeletonAttachment* a = data->skins[size_t(skin)].Find(slot, name)) return a;
    if (data->defaultSkin >= 0) return data->skins[size_t(data->defaultSkin)].Find(slot, name);
    return nullptr;
}

void Skeleton::UpdateWorldTransform() {
    for (SkeletonBone& bone : bones) {
        const float r = bone.rotation * kDegrees;
        float la = std::cos(r) * bone.scaleX, lb = -std::sin(r) * bone.scaleY;
        float lc = std::sin(r) * bone.scaleX, ld = std::cos(r) * bone.scaleY;
        float bx = bone.x, by = bone.y;
        if (bone.parent < 0) {
            if (flipX) bx = -bx, la = -la, lb = -lb;
            if (flipY != yDown) by = -by, lc = -lc, ld = -ld;
            bone.a = la, bone.b = lb, bone.c = lc, bone.d = ld;
            bone.worldX = bx + x;
            bone.worldY = by + y;
            continue;
        }
        // Parents come before their children in the data.
        const SkeletonBone& p = bones[size_t(bone.parent)];
        bone.worldX = p.a * bx + p.b * by + p.worldX;
        bone.worldY = p.c * bx + p.d * by + p.worldY;
        bone.a = p.a * la + p.b * lc, bone.b = p.a * lb + p.b * ld;
        bone.c = p.c * la + p.d * lc, bone.d = p.c * lb + p.d * ld;
    }
}

void Skeleton::ComputeRegionVertices(const SkeletonSlot& slot, const SkeletonAttachment& attachment,
                                     float out[8]) const {
    const SkeletonBone& bone = bones[size_t(slot.data->bone)];
    for (int i = 0; i < 4; ++i) {
        const float ox = attachment.offset[i * 2], oy = attachment.offset[i * 2 + 1];
        out[i * 2] = ox * bone.a + oy * bone.b + bone.worldX;
        out[i * 2 + 1] = ox * bone.c + oy * bone.d + bone.worldY;
    }
}

void Skeleton::ComputeWorldVertices(const SkeletonSlot& slot, const SkeletonAttachment& attachment,
                                    std::vector<float>& out) const {
    out.assign(size_t(attachment.vertexCount) * 2, 0.0f);
    const std::vector<float>& v = attachment.vertices;
    if (attachment.kind != SKELETON_WEIGHTED_MESH) {
        const SkeletonBone& bone = bones[size_t(slot.data->bone)];
        for (size_t i = 0; i + 1 < v.size() && i + 1 < out.size(); i += 2) {
            out[i] = v[i] * bone.a + v[i + 1] * bone.b + bone.worldX;
            out[i + 1] = v[i] * bone.c + v[i + 1] * bone.d + bone.worldY;
        }
        return;
    }
    // Checked when read: every count and bone index stays inside the arrays.
    size_t at = 0;
    for (size_t i = 0; i < out.size(); i += 2) {
        const auto count = int32_t(v[at++]);
        float wx = 0, wy = 0;
        for (int32_t k = 0; k < count; ++k, at += 4) {
            const SkeletonBone& bone = bones[size_t(v[at])];
            const float vx = v[at + 1], vy = v[at + 2], weight = v[at + 3];
            wx += (vx * bone.a + vy * bone.b + bone.worldX) * weight;
            wy += (vx * bone.c + vy * bone.d + bone.worldY) * weight;
        }
        out[i] = wx, out[i + 1] = wy;
    }
}

// ---- bounds --------------------------------------------------------------------------------

void SkeletonBounds::Update(const Skeleton& skeleton) {
    polygons.clear();
    minX = minY = 1e30f;
    maxX = maxY = -1e30f;
    for (const SkeletonSlot& slot : skeleton.slots) {
        if (!slot.attachment || slot.attachment->kind != SKELETON_BOUNDING_BOX) continue;
        std::vector<float> polygon;
        skeleton.ComputeWorldVertices(slot, *slot.attachment, polygon);
        for (size_t i = 0; i + 1 < polygon.size(); i += 2) {
            minX = std::min(minX, polygon[i]), maxX = std::max(maxX, polygon[i]);
            minY = std::min(minY, polygon[i + 1]), maxY = std::max(maxY, polygon[i + 1]);
        }
        polygons.push_back(std::move(polygon));
    }
    if (polygons.empty()) minX = minY = maxX = maxY = 0;
}

bool SkeletonBounds::PolygonContainsPoint(const std::vector<float>& p, float px, float py) {
    const size_t n = p.size() / 2;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const float xi = p[i * 2], yi = p[i * 2 + 1], xj = p[j * 2], yj = p[j * 2 + 1];
        if ((yi < py && yj >= py) || (yj < py && yi >= py)) {
            if (xi + (py - yi) / (yj - yi) * (xj - xi) < px) inside = !inside;
        }
    }
    return inside;
}

bool SkeletonBounds::PolygonIntersectsSegment(const std::vector<float>& p, float x1, float y1, float x2,
                                              float y2) {
    const size_t n = p.size() / 2;
    if (n < 2) return false;
    const float width12 = x1 - x2, height12 = y1 - y2, det1 = x1 * y2 - y1 * x2;
    float x3 = p[(n - 1) * 2], y3 = p[(n - 1) * 2 + 1];
    for (size_t i = 0; i < n; ++i) {
        const float x4 = p[i * 2], y4 = p[i * 2 + 1];
        const float det2 = x3 * y4 - y3 * x4, width34 = x3 - x4, height34 = y3 - y4;
        const float det3 = width12 * height34 - height12 * width34;
        if (det3 != 0) {  // parallel lines never cross at one point
            const float x = (det1 * width34 - width12 * det2) / det3;
            const float y = (det1 * height34 - height12 * det2) / det3;
            const bool inX = ((x >= x3 && x <= x4) || (x >= x4 && x <= x3)) &&
                             ((x >= x1 && x <= x2) || (x >= x2 && x <= x1));
            const bool inY = ((y >= y3 && y <= y4) || (y >= y4 && y <= y3)) &&
                             ((y >= y1 && y <= y2) || (y >= y2 && y <= y1));
            if (inX && inY) return true;
        }
        x3 = x4, y3 = y4;
    }
    return false;
}

bool SkeletonBounds::ContainsPoint(float px, float py) const {
    if (polygons.empty() || px < minX || px > maxX || py < minY || py > maxY) return false;
    for (const std::vector<float>& p : polygons)
        if (PolygonContainsPoint(p, px, py)) return true;
    return false;
}

bool SkeletonBounds::IntersectsSegment(float x1, float y1, float x2, float y2) const {
    if (polygons.empty()) return false;
    if ((x1 <= minX && x2 <= minX) || (y1 <= minY && y2 <= minY) || (x1 >= maxX && x2 >= maxX) ||
        (y1 >= maxY && y2 >= maxY))
        return false;
    for (const std::vector<float>& p : polygons)
        if (PolygonIntersectsSegment(p, x1, y1, x2, y2)) return true;
    return false;
}
