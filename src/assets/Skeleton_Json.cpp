// Skeleton JSON through json-c: "bones", "slots", "skins" (an object of skins, or an array of
// {"name", "attachments"}), and "animations" with bone timelines "rotate", "translate", "scale"
// and slot timelines "attachment" and "color"/"colour". Unknown members are passed over.
#include <json-c/json.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "assets/Skeleton_Runtime.h"

namespace {

json_object* Member(json_object* o, const char* key) {
    json_object* v = nullptr;
    return o && json_object_is_type(o, json_type_object) && json_object_object_get_ex(o, key, &v) ? v
                                                                                                  : nullptr;
}

float Number(json_object* o, const char* key, float fallback) {
    json_object* v = Member(o, key);
    if (!v || !(json_object_is_type(v, json_type_double) || json_object_is_type(v, json_type_int)))
        return fallback;
    const double d = json_object_get_double(v);
    return std::isfinite(d) ? float(d) : fallback;
}

std::string Text(json_object* o, const char* key, const std::string& fallback = "") {
    json_object* v = Member(o, key);
    return v && json_object_is_type(v, json_type_string) ? json_object_get_string(v) : fallback;
}

// Calls f(key, value) for each member of an object (nothing for anything else); stops at false.
template <typename F>
bool ForEach(json_object* o, F f) {
    if (!o || !json_object_is_type(o, json_type_object)) return true;
    json_object_object_foreach(o, key, value) {
        if (!f(key, value)) return false;
    }
    return true;
}

size_t Length(json_object* array) {
    return array && json_object_is_type(array, json_type_array) ? json_object_array_length(array) : 0;
}

float Clamp01(float v) {
    return v < 0 ? 0 : v > 1 ? 1 : v;
}

// "rrggbbaa" (six digits: opaque) as a clamped colour.
SkeletonColour ParseColour(const std::string& hex) {
    SkeletonColour c;
    auto byte = [&](size_t i) -> float {
        if (hex.size() < i * 2 + 2) return 1.0f;
        unsigned v = 0;
        return std::sscanf(hex.c_str() + i * 2, "%2x", &v) == 1 ? float(v) / 255.0f : 1.0f;
    };
    c.r = Clamp01(byte(0)), c.g = Clamp01(byte(1)), c.b = Clamp01(byte(2)), c.a = Clamp01(byte(3));
    return c;
}

std::vector<float> Floats(json_object* array) {
    std::vector<float> out;
    if (!array || !json_object_is_type(array, json_type_array)) return out;
    const size_t n = json_object_array_length(array);
    out.reserve(n);
    for (size_t i = 0; i < n; ++i)
        out.push_back(float(json_object_get_double(json_object_array_get_idx(array, i))));
    return out;
}

SkeletonCurve ReadCurve(json_object* key) {
    SkeletonCurve curve;
    json_object* c = Member(key, "curve");
    if (!c) return curve;
    if (json_object_is_type(c, json_type_string)) {
        if (std::strcmp(json_object_get_string(c), "stepped") == 0) curve.kind = SKELETON_STEPPED;
        return curve;
    }
    if (json_object_is_type(c, json_type_array)) {
        const std::vector<float> v = Floats(c);
        if (v.size() < 4) return curve;
        curve = {SKELETON_BEZIER, v[0], v[1], v[2], v[3]};
    } else {  // "curve": cx1, "c2": cy1, "c3": cx2, "c4": cy2
        curve = {SKELETON_BEZIER, float(json_object_get_double(c)), Number(key, "c2", 0),
                 Number(key, "c3", 1), Number(key, "c4", 1)};
    }
    curve.cx1 = Clamp01(curve.cx1), curve.cx2 = Clamp01(curve.cx2);
    return curve;
}

class Reader {
public:
    Reader(const SkeletonAtlas* atlas, std::string* error) : m_atlas(atlas), m_error(error) {}

    std::unique_ptr<SkeletonData> Read(json_object* root) {
        auto data = std::make_unique<SkeletonData>();
        m_data = data.get();
        if (!json_object_is_type(root, json_type_object)) return Fail("the skeleton is not a JSON object");
        if (!ReadBones(Member(root, "bones")) || !ReadSlots(Member(root, "slots")) ||
            !ReadSkins(Member(root, "skins")) || !ReadAnimations(Member(root, "animations")))
            return nullptr;
        return data;
    }

private:
    std::nullptr_t Fail(const std::string& why) {
        if (m_error) *m_error = why;
        return nullptr;
    }

    bool ReadBones(json_object* bones) {
        if (!bones || !json_object_is_type(bones, json_type_array))
            return Fail("the skeleton has no bones"), false;
        for (size_t i = 0; i < Length(bones); ++i) {
            json_object* b = json_object_array_get_idx(bones, i);
            SkeletonBoneData bone;
            bone.name = Text(b, "name");
            const std::string parent = Text(b, "parent");
            if (!parent.empty()) {
                bone.parent = m_data->FindBone(parent);
                if (bone.parent < 0) return Fail("parent bone not found: " + parent), false;
            }
            bone.length = Number(b, "length", 0);
            bone.x = Number(b, "x", 0);
            bone.y = Number(b, "y", 0);
            bone.rotation = Number(b, "rotation", 0);
            bone.scaleX = Number(b, "scaleX", 1);
            bone.scaleY = Number(b, "scaleY", 1);
            m_data->bones.push_back(bone);
        }
        if (m_data->bones.empty()) return Fail("the skeleton has no bones"), false;
        return true;
    }

    bool ReadSlots(json_object* slots) {
        if (!slots) return true;
        for (size_t i = 0; i < Length(slots); ++i) {
            json_object* s = json_object_array_get_idx(slots, i);
            SkeletonSlotData slot;
            slot.name = Text(s, "name");
            const std::string bone = Text(s, "bone");
            slot.bone = m_data->FindBone(bone);
            if (slot.bone < 0) return Fail("slot bone not found: " + bone), false;
            const std::string colour = Text(s, "color", Text(s, "colour"));
            if (!colour.empty()) slot.colour = ParseColour(colour);
            slot.attachment = Text(s, "attachment");
            m_data->slots.push_back(slot);
        }
        return true;
    }

    bool ReadSkin(const std::string& name, json_object* slots) {
        SkeletonSkin skin;
        skin.name = name;
        const bool ok = ForEach(slots, [&](const char* slotName, json_object* attachments) {
            const int32_t slot = m_data->FindSlot(slotName);
            if (slot < 0) return Fail(std::string("skin slot not found: ") + slotName), false;
            return ForEach(attachments, [&](const char* attachmentName, json_object* a) {
                auto attachment = ReadAttachment(attachmentName, a);
                if (!attachment) return false;
                skin.entries.push_back({slot, attachmentName, std::move(attachment)});
                return true;
            });
        });
        if (!ok) return false;
        if (name == "default") m_data->defaultSkin = int32_t(m_data->skins.size());
        m_data->skins.push_back(std::move(skin));
        return true;
    }

    bool ReadSkins(json_object* skins) {
        if (!skins) return true;
        if (json_object_is_type(skins, json_type_array)) {
            for (size_t i = 0; i < Length(skins); ++i) {
                json_object* s = json_object_array_get_idx(skins, i);
                if (!ReadSkin(Text(s, "name"), Member(s, "attachments"))) return false;
            }
            return true;
        }
        return ForEach(skins, [&](const char* name, json_object* slots) { return ReadSkin(name, slots); });
    }

    std::shared_ptr<SkeletonAttachment> ReadAttachment(const std::string& name, json_object* a) {
        auto at = std::make_shared<SkeletonAttachment>();
        at->name = Text(a, "name", name);
        at->path = Text(a, "path", at->name);
        const std::string type = Text(a, "type", "region");
        const std::string colour = Text(a, "color", Text(a, "colour"));
        if (!colour.empty()) at->colour = ParseColour(colour);
        if (type == "boundingbox") {
            at->kind = SKELETON_BOUNDING_BOX;
            at->vertices = Floats(Member(a, "vertices"));
            if (at->vertices.size() % 2) at->vertices.pop_back();
            at->vertexCount = int32_t(at->vertices.size() / 2);
            return at;
        }
        const SkeletonAtlasRegion* region = m_atlas ? m_atlas->FindRegion(at->path) : nullptr;
        if (!region) return Fail("region not found in atlas: " + at->path), nullptr;
        at->textureId = m_atlas->pages[size_t(region->page)].textureId;
        if (type == "region") {
            at->x = Number(a, "x", 0), at->y = Number(a, "y", 0);
            at->scaleX = Number(a, "scaleX", 1), at->scaleY = Number(a, "scaleY", 1);
            at->rotation = Number(a, "rotation", 0);
            at->width = Number(a, "width", float(region->width));
            at->height = Number(a, "height", float(region->height));
            at->SetUvs(region->u, region->v, region->u2, region->v2, region->rotate);
            at->UpdateOffset(region);
            return at;
        }
        if (type != "mesh" && type != "skinnedmesh" && type != "weightedmesh")
            return Fail("attachment type not read: " + type), nullptr;
        const std::vector<float> regionUvs = Floats(Member(a, "uvs"));
        const size_t vertexCount = regionUvs.size() / 2;
        at->vertexCount = int32_t(vertexCount);
        at->vertices = Floats(Member(a, "vertices"));
        for (float t : Floats(Member(a, "triangles"))) {
            const auto index = int32_t(t);
            if (index < 0 || size_t(index) >= vertexCount)
                return Fail("mesh triangle out of range: " + name), nullptr;
            at->triangles.push_back(index);
        }
        // Region uvs 0..1 to page uvs.
        at->meshUvs.resize(regionUvs.size());
        const float w = region->u2 - region->u, h = region->v2 - region->v;
        for (size_t i = 0; i + 1 < regionUvs.size(); i += 2) {
            if (region->rotate) {
                at->meshUvs[i] = region->u + regionUvs[i + 1] * w;
                at->meshUvs[i + 1] = region->v + h - regionUvs[i] * h;
            } else {
                at->meshUvs[i] = region->u + regionUvs[i] * w;
                at->meshUvs[i + 1] = region->v + regionUvs[i + 1] * h;
            }
        }
        const bool weighted = type != "mesh" || at->vertices.size() > regionUvs.size();
        if (!weighted) {
            if (at->vertices.size() != regionUvs.size())
                return Fail("mesh vertices do not match: " + name), nullptr;
            at->kind = SKELETON_MESH;
            return at;
        }
        // Every weighted vertex names bones that exist and stays inside the array.
        at->kind = SKELETON_WEIGHTED_MESH;
        size_t i = 0;
        for (size_t v = 0; v < vertexCount; ++v) {
            if (i >= at->vertices.size()) return Fail("weighted mesh cut short: " + name), nullptr;
            const auto bones = int32_t(at->vertices[i++]);
            if (bones < 0 || i + size_t(bones) * 4 > at->vertices.size())
                return Fail("weighted mesh cut short: " + name), nullptr;
            for (int32_t b = 0; b < bones; ++b, i += 4) {
                const auto bone = int32_t(at->vertices[i]);
                if (bone < 0 || size_t(bone) >= m_data->bones.size())
                    return Fail("weighted mesh bone out of range: " + name), nullptr;
            }
        }
        return at;
    }

    bool ReadKeys(json_object* keys, SkeletonTimelineKind kind, int32_t target, SkeletonAnimationData& anim) {
        if (!keys || !json_object_is_type(keys, json_type_array)) return true;
        SkeletonTimeline timeline{kind, target, {}};
        for (size_t i = 0; i < Length(keys); ++i) {
            json_object* k = json_object_array_get_idx(keys, i);
            SkeletonKey key;
            key.time = std::max(0.0f, Number(k, "time", 0));
            key.curve = ReadCurve(k);
            switch (kind) {
                case SKELETON_ROTATE:
                    key.value[0] = Number(k, "angle", Number(k, "value", 0));
                    break;
                case SKELETON_TRANSLATE:
                    key.value[0] = Number(k, "x", 0), key.value[1] = Number(k, "y", 0);
                    break;
                case SKELETON_SCALE:
                    key.value[0] = Number(k, "x", 1), key.value[1] = Number(k, "y", 1);
                    break;
                case SKELETON_ATTACHMENT:
                    key.name = Text(k, "name");
                    key.curve.kind = SKELETON_STEPPED;
                    break;
                case SKELETON_COLOUR: {
                    const SkeletonColour c = ParseColour(Text(k, "color", Text(k, "colour", "ffffffff")));
                    key.value[0] = c.r, key.value[1] = c.g, key.value[2] = c.b, key.value[3] = c.a;
                    break;
                }
            }
            if (!timeline.keys.empty() && key.time < timeline.keys.back().time)
                return Fail("timeline keys out of order in " + anim.name), false;
            anim.duration = std::max(anim.duration, key.time);
            timeline.keys.push_back(key);
        }
        if (!timeline.keys.empty()) anim.timelines.push_back(std::move(timeline));
        return true;
    }

    bool ReadAnimations(json_object* animations) {
        if (!animations) return true;
        return ForEach(animations, [&](const char* name, json_object* a) {
            SkeletonAnimationData anim;
            anim.name = name;
            const bool ok =
                ForEach(Member(a, "bones"),
                        [&](const char* boneName, json_object* timelines) {
                            const int32_t bone = m_data->FindBone(boneName);
                            if (bone < 0)
                                return Fail(std::string("animation bone not found: ") + boneName), false;
                            return ReadKeys(Member(timelines, "rotate"), SKELETON_ROTATE, bone, anim) &&
                                   ReadKeys(Member(timelines, "translate"), SKELETON_TRANSLATE, bone, anim) &&
                                   ReadKeys(Member(timelines, "scale"), SKELETON_SCALE, bone, anim);
                        }) &&
                ForEach(Member(a, "slots"), [&](const char* slotName, json_object* slotTimelines) {
                    const int32_t slot = m_data->FindSlot(slotName);
                    if (slot < 0) return Fail(std::string("animation slot not found: ") + slotName), false;
                    json_object* colour = Member(slotTimelines, "color");
                    return ReadKeys(Member(slotTimelines, "attachment"), SKELETON_ATTACHMENT, slot, anim) &&
                           ReadKeys(colour ? colour : Member(slotTimelines, "colour"), SKELETON_COLOUR, slot,
                                    anim);
                });
            if (!ok) return false;
            m_data->animations.push_back(std::move(anim));
            return true;
        });
    }

    const SkeletonAtlas* m_atlas;
    std::string* m_error;
    SkeletonData* m_data = nullptr;
};

}  // namespace

std::unique_ptr<SkeletonData> SkeletonData_Read(const char* json, int64_t length, const SkeletonAtlas* atlas,
                                                std::string* error) {
    if (!json || length <= 0 || length > 0x7FFFFFFF) {
        if (error) *error = "no skeleton text";
        return nullptr;
    }
    json_tokener* tokener = json_tokener_new();
    json_object* root = json_tokener_parse_ex(tokener, json, int(length));
    const json_tokener_error status = json_tokener_get_error(tokener);
    json_tokener_free(tokener);
    if (!root || status != json_tokener_success) {
        if (error) *error = std::string("invalid JSON: ") + json_tokener_error_desc(status);
        if (root) json_object_put(root);
        return nullptr;
    }
    std::unique_ptr<SkeletonData> data = Reader(atlas, error).Read(root);
    json_object_put(root);
    return data;
}

// ---- lookups ---------------------------------------------------------------------------------

int32_t SkeletonData::FindBone(const std::string& name) const {
    for (size_t i = 0; i < bones.size(); ++i)
        if (bones[i].name == name) return int32_t(i);
    return -1;
}

int32_t SkeletonData::FindSlot(const std::string& name) const {
    for (size_t i = 0; i < slots.size(); ++i)
        if (slots[i].name == name) return int32_t(i);
    return -1;
}

int32_t SkeletonData::FindSkin(const std::string& name) const {
    for (size_t i = 0; i < skins.size(); ++i)
        if (skins[i].name == name) return int32_t(i);
    return -1;
}

const SkeletonAnimationData* SkeletonData::FindAnimation(const std::string& name) const {
    for (const SkeletonAnimationData& a : animations)
        if (a.name == name) return &a;
    return nullptr;
}

SkeletonAttachment* SkeletonSkin::Find(int32_t slot, const std::string& name) const {
    for (const Entry& e : entries)
        if (e.slot == slot && e.name == name) return e.attachment.get();
    return nullptr;
}
