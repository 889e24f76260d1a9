// Skeleton sprites: the shared skeleton data of a kind-2 sprite and the posed skeleton of each
// instance showing one. An instance's image index drives the animation: one cycle of the current
// animation takes trunc(frames per second x duration + 0.5) image indices.
#include "assets/Sprite_Skeleton.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "assets/Function_Sprite_Draw.h"
#include "assets/ImageDecode.h"
#include "assets/Sprite_Main.h"
#include "core/Console.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "data/Function_Data_Structures.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Texture.h"
#include "io/LoadSave.h"
#include "world/Event_Main.h"
#include "world/Object_Class.h"
#include "world/World_Services.h"

namespace {

constexpr int32_t kAnimationUpdateEvent = 58;
constexpr float kDegrees = 3.14159265358979323846f / 180.0f;

// ---- textures of atlas pages ---------------------------------------------------------------

struct InMemoryTexture {
    const uint8_t* png;
    int64_t size;
    int32_t width, height;
};

int32_t TextureFromPng(const uint8_t* png, int64_t size, int32_t* width, int32_t* height) {
    if (!png || size <= 0 || size > 0x7FFFFFFF) return -1;
    int32_t w = 0, h = 0;
    uint8_t* pixels = PNG_Decode(png, int32_t(size), &w, &h);
    int32_t id = -1;
    if (pixels && w > 0 && h > 0)
        id = GR_Texture_Create_From_Pixels(w, h, pixels, uint32_t(w) * uint32_t(h) * 4);
    PNG_Release();
    if (id >= 0 && !GR_Texture_Exists(id)) id = -1;
    *width = w, *height = h;
    return id;
}

// The block's PNG; the page takes the block's texture size.
void LoadBlockTexture(SkeletonAtlasPage& page, const std::string&, void* context) {
    const auto* t = static_cast<const InMemoryTexture*>(context);
    int32_t w = 0, h = 0;
    page.textureId = TextureFromPng(t->png, t->size, &w, &h);
    page.width = t->width, page.height = t->height;
}

// A whole file as read by the plain run-time file functions (no save-area rules).
std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        const long size = std::ftell(f);
        if (size > 0 && std::fseek(f, 0, SEEK_SET) == 0) {
            bytes.resize(size_t(size));
            if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
        }
    }
    std::fclose(f);
    return bytes;
}

// A page's picture from the save area, else the bundle; the page takes the picture's size.
void LoadFileTexture(SkeletonAtlasPage& page, const std::string& path, void*) {
    int64_t size = 0;
    // A folder that came resolved (a sprite added from a file) is read as it stands.
    void* bytes = nullptr;
    if (!path.empty() && path[0] == '/')
        bytes = LoadSave_ReadWholeFile(path.c_str(), &size);
    else if (LoadSave_SaveFileExists(path.c_str()))
        bytes = LoadSave_ReadSaveFile(path.c_str(), &size);
    else
        bytes = LoadSave_ReadBundleFile(path.c_str(), &size);
    if (!bytes) return;
    int32_t w = 0, h = 0;
    page.textureId = TextureFromPng(static_cast<const uint8_t*>(bytes), size, &w, &h);
    MEM_FREE(bytes);
    if (page.textureId >= 0) page.width = w, page.height = h;
}

uint32_t ReadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// A colour channel 0..1 as a byte, clamped.
uint32_t Channel(float value) {
    const float scaled = value * 255.0f;
    return !(scaled > 0) ? 0u : scaled >= 255.0f ? 255u : uint32_t(scaled);
}

struct Vertex24 {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

void DrawRegion(const Skeleton& skeleton, const SkeletonSlot& slot, uint32_t colour) {
    const SkeletonAttachment& a = *slot.attachment;
    TextureRecord* texture = GR_Texture_Get(a.textureId);
    if (!texture) return;
    float w[8];
    skeleton.ComputeRegionVertices(slot, a, w);
    auto* v = static_cast<Vertex24*>(GR_Batch_Alloc(D3DPT_TRIANGLELIST, texture, GR_FORMAT_XYZCUV, 6));
    if (!v) return;
    // Corners 0..3: bottom-left, top-left, top-right, bottom-right.
    static const int kOrder[6] = {1, 2, 3, 3, 0, 1};
    for (int i = 0; i < 6; ++i) {
        const int c = kOrder[i];
        v[i] = {w[c * 2], w[c * 2 + 1], g_DrawDepth, colour, a.uvs[c * 2], a.uvs[c * 2 + 1]};
    }
}

void DrawMesh(const Skeleton& skeleton, const SkeletonSlot& slot, uint32_t colour) {
    const SkeletonAttachment& a = *slot.attachment;
    TextureRecord* texture = GR_Texture_Get(a.textureId);
    if (!texture || a.triangles.empty() || a.triangles.size() > size_t(GR_Batch_Max_Vertices())) return;
    std::vector<float> world;
    skeleton.ComputeWorldVertices(slot, a, world);
    auto* v = static_cast<Vertex24*>(
        GR_Batch_Alloc(D3DPT_TRIANGLELIST, texture, GR_FORMAT_XYZCUV, int32_t(a.triangles.size())));
    if (!v) return;
    for (size_t i = 0; i < a.triangles.size(); ++i) {
        const auto k = size_t(a.triangles[i]) * 2;  // checked against the vertex count when read
        v[i] = {world[k], world[k + 1], g_DrawDepth, colour, a.meshUvs[k], a.meshUvs[k + 1]};
    }
}

std::string Name(const char* text) {
    return text ? text : "";
}

// ---- bone maps ------------------------------------------------------------------------------

void PutReal(CDS_Map* map, const char* key, double value) {
    RValue k = RValue_Undefined(), v = RValue_Real(value);
    RValue_SetString(&k, key);
    map->Set(&k, &v, nullptr);
    RValue_Release(&k);
}

void PutString(CDS_Map* map, const char* key, const char* value) {
    RValue k = RValue_Undefined(), v = RValue_Undefined();
    RValue_SetString(&k, key);
    RValue_SetString(&v, value);
    map->Set(&k, &v, nullptr);
    RValue_Release(&k);
    RValue_Release(&v);
}

// The map's value of a key as a real, when the key is there.
bool TakeReal(CDS_Map* map, const char* key, float* out) {
    RValue k = RValue_Undefined();
    RValue_SetString(&k, key);
    DSMapEntry* entry = map->Find(&k);
    RValue_Release(&k);
    if (!entry) return false;
    *out = float(RValue_ToReal(&entry->value));
    return true;
}

}  // namespace

void Skeleton_Unscramble(uint8_t* bytes, int64_t count, uint8_t seed) {
    uint8_t key = seed;
    for (int64_t i = 0; i < count; ++i) {
        bytes[i] = uint8_t(bytes[i] - key);
        key = uint8_t(key * (key + 1));
    }
}

// ---- the asset -----------------------------------------------------------------------------

CSkeletonAsset::CSkeletonAsset(uint8_t* block, int64_t size) {
    if (!block || size < 24) return;
    const uint64_t json = ReadU32(block + 4), atlas = ReadU32(block + 8), texture = ReadU32(block + 12);
    if (24 + json + atlas + texture > uint64_t(size)) {
        DebugConsole.Output("Error: skeleton block is cut short\n");
        return;
    }
    InMemoryTexture pngData{block + 24 + json + atlas, int64_t(texture), int32_t(ReadU32(block + 16)),
                            int32_t(ReadU32(block + 20))};
    char* jsonText = reinterpret_cast<char*>(block + 24);
    char* atlasText = jsonText + json;
    Skeleton_Unscramble(block + 24, int64_t(json), kSkeletonJsonSeed);
    Skeleton_Unscramble(block + 24 + json, int64_t(atlas), kSkeletonAtlasSeed);
    m_atlas = SkeletonAtlas::Parse(atlasText, int64_t(atlas), "", LoadBlockTexture, &pngData);
    if (!m_atlas) {
        DebugConsole.Output("Error: skeleton atlas names no page\n");
        return;
    }
    std::string error;
    m_data = SkeletonData_Read(jsonText, int64_t(json), m_atlas.get(), &error);
    if (!m_data) DebugConsole.Output("Error: %s\n", error.c_str());
}

CSkeletonAsset::CSkeletonAsset(const char* path) {
    std::string p = Name(path);
    const size_t dot = p.find_last_of('.'), slash = p.find_last_of("\\/");
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) p.erase(dot);
    const std::string folder = slash == std::string::npos ? "" : p.substr(0, slash + 1);
    LoadFiles(p.substr(folder.size()), folder);
}

CSkeletonAsset::~CSkeletonAsset() {
    // Orphan() detaches each user from the list as it goes.
    while (!m_users.empty()) m_users.back()->Orphan();
}

void CSkeletonAsset::Attach(CSkeletonInstance* user) const {
    if (std::find(m_users.begin(), m_users.end(), user) == m_users.end()) m_users.push_back(user);
}

void CSkeletonAsset::Detach(CSkeletonInstance* user) const {
    m_users.erase(std::remove(m_users.begin(), m_users.end(), user), m_users.end());
}

bool CSkeletonAsset::LoadFiles(const std::string& name, const std::string& folder) {
    const std::vector<uint8_t> atlasText = ReadWholeFile(folder + name + ".atlas");
    m_atlas = SkeletonAtlas::Parse(reinterpret_cast<const char*>(atlasText.data()), int64_t(atlasText.size()),
                                   folder, LoadFileTexture, nullptr);
    if (m_atlas && !m_atlas->regions.empty()) {
        const SkeletonAtlasRegion& r = m_atlas->regions.front();
        DebugConsole.Output("First region name: %s, x: %d, y: %d\n", r.name.c_str(), r.x, r.y);
    }
    if (m_atlas) {
        const SkeletonAtlasPage& page = m_atlas->pages.front();
        DebugConsole.Output("First page name: %s, size: %d, %d\n", page.name.c_str(), page.width,
                            page.height);
    }
    const std::vector<uint8_t> json = ReadWholeFile(folder + name + ".json");
    std::string error = m_atlas ? "" : "could not read " + folder + name + ".atlas";
    if (m_atlas)
        m_data = SkeletonData_Read(reinterpret_cast<const char*>(json.data()), int64_t(json.size()),
                                   m_atlas.get(), &error);
    if (!m_data) {
        DebugConsole.Output("Error: %s\n", error.c_str());
        return false;
    }
    const int32_t skin = m_data->defaultSkin;
    DebugConsole.Output("Default skin name: %s\n", skin >= 0 ? m_data->skins[size_t(skin)].name.c_str() : "");
    return true;
}

float CSkeletonAsset::FirstAnimationDuration() const {
    return m_data && !m_data->animations.empty() ? m_data->animations.front().duration : 0.0f;
}

namespace {
// Appends the name of each record to the ds_list (nothing when the list does not exist).
template <typename Records>
void AppendNames(int32_t list, const Records& records) {
    CDS_List* l = g_DsListTable.Get(list);
    if (!l) return;
    for (const auto& record : records) {
        RValue v = RValue_Undefined();
        RValue_SetString(&v, record.name.c_str());
        l->Add(&v);
        RValue_Release(&v);
    }
}
}  // namespace

void CSkeletonAsset::ListAnimations(int32_t list) const {
    if (m_data) AppendNames(list, m_data->animations);
}

void CSkeletonAsset::ListSkins(int32_t list) const {
    if (m_data) AppendNames(list, m_data->skins);
}

void CSkeletonAsset::ListSlots(int32_t list) const {
    CDS_List* l = g_DsListTable.Get(list);
    if (!l || !m_data) return;
    for (const SkeletonSlotData& s : m_data->slots) {
        const char* attachment = s.attachment.empty() ? "(none)" : s.attachment.c_str();
        const int32_t map =
            DsMap_CreateFromPairs(3, "name", 0.0, s.name.c_str(), "bone", 0.0,
                                  m_data->bones[size_t(s.bone)].name.c_str(), "attachment", 0.0, attachment);
        RValue v = RValue_Real(map);
        l->Add(&v);
    }
}

void CSkeletonAsset::DrawSlots(const Skeleton& skeleton, uint32_t colour, float alpha) {
    const float red = float(colour & 0xFF) / 255.0f, green = float(colour >> 8 & 0xFF) / 255.0f,
                blue = float(colour >> 16 & 0xFF) / 255.0f;
    for (int32_t index : skeleton.drawOrder) {
        const SkeletonSlot& slot = skeleton.slots[size_t(index)];
        if (!slot.attachment) continue;
        const SkeletonColour& s = slot.colour;
        const SkeletonColour& k = skeleton.colour;
        const uint32_t device = Channel(s.a * k.a * alpha) << 24 | Channel(s.r * k.r * red) << 16 |
                                Channel(s.g * k.g * green) << 8 | Channel(s.b * k.b * blue);
        switch (slot.attachment->kind) {
            case SKELETON_REGION:
                DrawRegion(skeleton, slot, device);
                break;
            case SKELETON_MESH:
            case SKELETON_WEIGHTED_MESH:
                DrawMesh(skeleton, slot, device);
                break;
            case SKELETON_BOUNDING_BOX:
                break;
        }
    }
}

void CSkeletonAsset::DrawBounds(const SkeletonBounds& bounds) {
    if (bounds.Empty()) return;
    GR_Draw_Line(bounds.minX, bounds.minY, bounds.minX, bounds.maxY);
    GR_Draw_Line(bounds.minX, bounds.maxY, bounds.maxX, bounds.maxY);
    GR_Draw_Line(bounds.maxX, bounds.maxY, bounds.maxX, bounds.minY);
    GR_Draw_Line(bounds.maxX, bounds.minY, bounds.minX, bounds.minY);
    for (const std::vector<float>& p : bounds.polygons) {
        const size_t n = p.size() / 2;
        for (size_t i = 0; i < n; ++i) {
            const size_t j = (i + 1) % n;
            GR_Draw_Line(p[i * 2], p[i * 2 + 1], p[j * 2], p[j * 2 + 1]);
        }
    }
}

void CSkeletonAsset::DrawInstance(int32_t imageIndex, float x, float y, float xScale, float yScale,
                                  float angle, uint32_t colour, float alpha) {
    CInstance* instance = Draw_CurrentInstance;
    CSkeletonInstance* state = instance ? Skeleton_InstanceOf(instance) : nullptr;
    if (!state)
        return Draw(nullptr, nullptr, imageIndex, x, y, xScale, yScale, angle, colour, alpha, nullptr);
    state->Update(imageIndex, x, y, xScale, yScale, angle, instance);
    if (!state->GetSkeleton()) return;
    DrawSlots(*state->GetSkeleton(), colour, alpha);
    if (state->m_collisionDraw) DrawBounds(state->Bounds());
}

void CSkeletonAsset::Draw(const char* animation, const char* skin, int32_t imageIndex, float x, float y,
                          float xScale, float yScale, float angle, uint32_t colour, float alpha,
                          CInstance* instance) {
    if (!IsValid()) return;
    CSkeletonInstance* state = instance ? Skeleton_InstanceOf(instance) : nullptr;
    std::unique_ptr<CSkeletonInstance> temporary;
    if (!state) {
        temporary = std::make_unique<CSkeletonInstance>(this);
        state = temporary.get();
    }
    if (animation && *animation) {
        const char* current = state->GetAnimation(0);
        if (std::strcmp(current, animation) != 0) state->SetAnimation(animation);
    } else {
        state->SetAnimation(nullptr);
    }
    if (skin && *skin) {
        if (std::strcmp(state->GetSkin(), skin) != 0) state->SetSkin(skin);
    } else {
        state->SetSkin(nullptr);
    }
    state->Update(imageIndex, x, y, xScale, yScale, angle, nullptr);
    if (state->GetSkeleton()) DrawSlots(*state->GetSkeleton(), colour, alpha);
}

void CSkeletonAsset::DrawTime(const char* animation, const char* skin, float time, float x, float y,
                              float xScale, float yScale, float angle, uint32_t colour, float alpha) {
    if (!IsValid()) return;
    CSkeletonInstance state(this);
    state.SetAnimation(animation && *animation ? animation : nullptr);
    state.SetSkin(skin && *skin ? skin : nullptr);
    state.UpdateByTime(time, x, y, xScale, yScale, angle);
    DrawSlots(*state.GetSkeleton(), colour, alpha);
}

void CSkeletonAsset::DrawCollision(const char* animation, int32_t imageIndex, float x, float y, float xScale,
                                   float yScale, float angle) {
    if (!IsValid()) return;
    CSkeletonInstance state(this);
    state.SetAnimation(animation && *animation ? animation : nullptr);
    state.Update(imageIndex, x, y, xScale, yScale, angle, nullptr);
    DrawBounds(state.Bounds());
}

// ---- the instance's skeleton ---------------------------------------------------------------

CSkeletonInstance::CSkeletonInstance(const CSkeletonAsset* asset) : m_asset(asset) {
    if (!asset) return;
    asset->Attach(this);
    if (asset->IsValid()) Init(asset->Data());
}

CSkeletonInstance::~CSkeletonInstance() {
    if (m_asset) m_asset->Detach(this);
    Release();
}

void CSkeletonInstance::Orphan() {
    if (m_asset) m_asset->Detach(this);
    m_asset = nullptr;
    Release();
    m_data = nullptr;
}

void CSkeletonInstance::Init(SkeletonData* data) {
    Release();
    m_data = data;
    if (!data) return;
    m_skeleton = std::make_unique<Skeleton>(data);
    m_baseXScale = m_skeleton->bones[0].scaleX;
    m_baseYScale = m_skeleton->bones[0].scaleY;
    m_stateData = std::make_unique<SkeletonAnimationStateData>(data);
    m_state = std::make_unique<SkeletonAnimationState>(m_stateData.get());
    if (!data->animations.empty()) {
        m_current = &data->animations.front();
        m_state->SetAnimation(0, m_current, true);
        m_lastImageIndex = 0;
    }
    if (data->defaultSkin >= 0) m_skeleton->SetSkinByName(data->skins[size_t(data->defaultSkin)].name);
    m_skeleton->SetSlotsToSetupPose();
    // The first pose is the animation's start, placed at the origin, until the first update.
    m_state->Apply(*m_skeleton);
    m_skeleton->UpdateWorldTransform();
    m_bounds.Update(*m_skeleton);
}

void CSkeletonInstance::Release() {
    m_state.reset();
    m_stateData.reset();
    m_bounds = SkeletonBounds{};
    m_skeleton.reset();
    m_custom.clear();
    m_current = nullptr;
}

float CSkeletonInstance::FramesPerSecond() const {
    const double fps = InstanceWorld().frameRate();
    return fps > 0 ? float(fps) : 30.0f;
}

void CSkeletonInstance::Update(int32_t f, float x, float y, float xScale, float yScale, float angle,
                               CInstance* instance) {
    if (!m_skeleton) return;
    const float sx = std::fabs(xScale * m_baseXScale), sy = std::fabs(yScale * m_baseYScale);
    SkeletonBone& root = m_skeleton->bones[0];
    const bool changed = f != m_lastImageIndex || m_skeleton->x != x || m_skeleton->y != y ||
                         root.scaleX != sx || root.scaleY != sy || root.rotation != angle;
    if (changed) {
        const float duration = m_current ? m_current->duration : 0.0f;
        const auto n = int32_t(std::trunc(double(FramesPerSecond()) * duration + 0.5));
        if (n > 0) {
            int32_t delta = f % n - m_lastImageIndex % n;
            if (f % n < m_lastImageIndex % n) delta += n;
            m_state->Update(float(delta) / float(n) * duration);
        }
        // An animation of no duration never moves on, but still holds its keys' pose.
        m_state->Apply(*m_skeleton);
        m_lastImageIndex = f;
        m_skeleton->x = x, m_skeleton->y = y;
        m_skeleton->flipX = xScale * m_baseXScale < 0;
        m_skeleton->flipY = yScale * m_baseYScale < 0;
        root.scaleX = sx, root.scaleY = sy, root.rotation = angle;
    }
    if (!changed && !instance) return;
    if (instance) PerformEvent_Instance(instance, instance, EVENT_OTHER, kAnimationUpdateEvent);
    m_skeleton->UpdateWorldTransform();
    m_bounds.Update(*m_skeleton);
}

void CSkeletonInstance::UpdateByTime(float time, float x, float y, float xScale, float yScale, float angle) {
    const float duration = m_current ? m_current->duration : 0.0f;
    int32_t f = 0;
    if (duration > 0) {
        const double n = std::trunc(double(FramesPerSecond()) * duration + 0.5);
        const double frame = std::trunc(n * (double(time) / duration) + 0.5);
        f = std::isfinite(frame) && std::fabs(frame) < 2e9 ? int32_t(frame) : 0;
    }
    Update(f, x, y, xScale, yScale, angle, nullptr);
}

bool CSkeletonInstance::GetBounds(int32_t box[4], int32_t f, float x, float y, float xScale, float yScale,
                                  float angle) {
    if (m_bounds.Empty()) return false;
    Update(f, x, y, xScale, yScale, angle, nullptr);
    box[0] = int32_t(std::trunc(m_bounds.minX + 0.5f));
    box[1] = int32_t(std::trunc(m_bounds.minY + 0.5f));
    box[2] = int32_t(std::trunc(m_bounds.maxX + 0.5f));
    box[3] = int32_t(std::trunc(m_bounds.maxY + 0.5f));
    return true;
}

bool CSkeletonInstance::CollidePoint(int32_t f, float x, float y, float xScale, float yScale, float angle,
                                     float px, float py) {
    Update(f, x, y, xScale, yScale, angle, nullptr);
    return m_bounds.ContainsPoint(px, py);
}

bool CSkeletonInstance::CollideLine(int32_t f, float x, float y, float xScale, float yScale, float angle,
                                    float x1, float y1, float x2, float y2) {
    Update(f, x, y, xScale, yScale, angle, nullptr);
    return m_bounds.IntersectsSegment(x1, y1, x2, y2);
}

bool CSkeletonInstance::CollideRectangle(int32_t f, float x, float y, float xScale, float yScale, float angle,
                                         float x1, float y1, float x2, float y2) {
    Update(f, x, y, xScale, yScale, angle, nullptr);
    return m_bounds.IntersectsSegment(x1, y1, x2, y2) || m_bounds.IntersectsSegment(x1, y1, x2, y1) ||
           m_bounds.IntersectsSegment(x2, y1, x2, y2) || m_bounds.IntersectsSegment(x2, y2, x1, y2) ||
           m_bounds.IntersectsSegment(x1, y2, x1, y1);
}

bool CSkeletonInstance::CollideEllipse(int32_t f, float x, float y, float xScale, float yScale, float angle,
                                       const int32_t box[4]) {
    Update(f, x, y, xScale, yScale, angle, nullptr);
    if (m_bounds.Empty()) return false;
    const int32_t cx = (box[0] + box[2]) / 2, cy = (box[1] + box[3]) / 2;
    const int32_t rx = (box[2] - box[0]) / 2, ry = (box[3] - box[1]) / 2;
    const int32_t left = std::max(box[0], int32_t(std::floor(m_bounds.minX)));
    const int32_t right = std::min(box[2], int32_t(std::ceil(m_bounds.maxX)));
    const int32_t top = std::max(box[1], int32_t(std::floor(m_bounds.minY)));
    const int32_t bottom = std::min(box[3], int32_t(std::ceil(m_bounds.maxY)));
    // A zero radius leaves only the centre line of that axis inside.
    auto term = [](int32_t d, int32_t r) {
        return r != 0 ? double(d) * d / (double(r) * r) : d == 0 ? 0.0 : 2.0;
    };
    for (int32_t i = left; i <= right; ++i)
        for (int32_t j = top; j <= bottom; ++j)
            if (term(i - cx, rx) + term(j - cy, ry) <= 1.0 && m_bounds.ContainsPoint(float(i), float(j)))
                return true;
    return false;
}

bool CSkeletonInstance::CollideSkeleton(int32_t f, float x, float y, float xScale, float yScale, float angle,
                                        CSkeletonInstance* other, int32_t otherF, float otherX, float otherY,
                                        float otherXScale, float otherYScale, float otherAngle) {
    if (!other) return false;
    Update(f, x, y, xScale, yScale, angle, nullptr);
    other->Update(otherF, otherX, otherY, otherXScale, otherYScale, otherAngle, nullptr);
    for (const std::vector<float>& p : other->m_bounds.polygons) {
        const size_t n = p.size() / 2;
        for (size_t i = 0; i < n; ++i) {
            const size_t j = (i + 1) % n;
            if (m_bounds.IntersectsSegment(p[i * 2], p[i * 2 + 1], p[j * 2], p[j * 2 + 1])) return true;
        }
    }
    return false;
}

bool CSkeletonInstance::CollideSprite(int32_t f, float x, float y, float xScale, float yScale, float angle,
                                      CSprite* sprite, const int32_t otherBox[4], int32_t frame, float otherX,
                                      float otherY, float otherXScale, float otherYScale, float otherAngle) {
    Update(f, x, y, xScale, yScale, angle, nullptr);
    if (!sprite || sprite->m_frameCount < 1 || m_bounds.Empty()) return false;
    sprite->UnpackMasks();
    const uint8_t* mask = nullptr;
    int64_t maskSize = 0;
    if (sprite->m_masksUnpacked && sprite->m_maskCount > 0) {
        int32_t m = frame % sprite->m_maskCount;
        if (m < 0) m += sprite->m_maskCount;
        mask = sprite->m_masks[m].data;
        maskSize = sprite->m_masks[m].size;
    }
    const int32_t left = std::max(otherBox[0], int32_t(std::floor(m_bounds.minX)));
    const int32_t right = std::min(otherBox[2], int32_t(std::ceil(m_bounds.maxX)));
    const int32_t top = std::max(otherBox[1], int32_t(std::floor(m_bounds.minY)));
    const int32_t bottom = std::min(otherBox[3], int32_t(std::ceil(m_bounds.maxY)));
    const float s = std::sin(-otherAngle * kDegrees), c = std::cos(-otherAngle * kDegrees);
    for (int32_t i = left; i <= right; ++i) {
        for (int32_t j = top; j <= bottom; ++j) {
            const float dx = float(i) - otherX, dy = float(j) - otherY;
            const float u = (dx * c + dy * s) / otherXScale + float(sprite->m_originX);
            const float v = (dy * c - dx * s) / otherYScale + float(sprite->m_originY);
            if (!(u >= 0 && v >= 0 && u < float(sprite->m_width) && v < float(sprite->m_height))) continue;
            const int32_t px = int32_t(u), py = int32_t(v);
            const int64_t at = int64_t(py) * sprite->m_width + px;
            if (mask && (at >= maskSize || mask[at] == 0)) continue;
            if (m_bounds.ContainsPoint(float(i), float(j))) return true;
        }
    }
    return false;
}

// ---- animation, skins and attachments ------------------------------------------------------

void CSkeletonInstance::SetAnimation(const char* name) {
    if (!m_data) return;
    const SkeletonAnimationData* a = name && *name                ? m_data->FindAnimation(name)
                                     : m_data->animations.empty() ? nullptr
                                                                  : &m_data->animations.front();
    if (!a) return;
    m_current = a;
    m_lastImageIndex = 0;
    m_state->SetAnimation(0, a, true);
}

void CSkeletonInstance::SetAnimationExt(const char* name, int32_t track) {
    if (!m_data || track < 0) return;
    const SkeletonAnimationData* a = nullptr;
    if (name && *name)
        a = m_data->FindAnimation(name);
    else if (track == 0 && !m_data->animations.empty())
        a = &m_data->animations.front();
    if (!a) return;
    if (track == 0) {
        m_current = a;
        m_lastImageIndex = 0;
    }
    m_state->SetAnimation(track, a, true);
}

void CSkeletonInstance::ClearTrack(int32_t track) {
    if (m_state && track >= 0 && track < m_state->TrackCount()) m_state->ClearTrack(track);
}

bool CSkeletonInstance::SetMix(const char* from, const char* to, float duration) {
    return m_stateData && m_stateData->SetMixByName(Name(from), Name(to), duration);
}

const char* CSkeletonInstance::GetAnimation(int32_t track) const {
    const SkeletonTrack* t = m_state ? m_state->Track(track) : nullptr;
    return t && t->animation ? t->animation->name.c_str() : "";
}

float CSkeletonInstance::GetAnimationDuration(const char* name) const {
    const SkeletonAnimationData* a = m_data ? m_data->FindAnimation(Name(name)) : nullptr;
    if (a) return a->duration;
    DebugConsole.Output("WARNING: Could not find animation \"%s\"\n", Name(name).c_str());
    return 0;
}

void CSkeletonInstance::SetSkin(const char* name) {
    if (!m_skeleton) return;
    std::string skin = Name(name);
    if (skin.empty() && m_data->defaultSkin >= 0) skin = m_data->skins[size_t(m_data->defaultSkin)].name;
    if (!skin.empty()) m_skeleton->SetSkinByName(skin);
    m_skeleton->SetSlotsToSetupPose();
}

const char* CSkeletonInstance::GetSkin() const {
    return m_skeleton && m_skeleton->skin >= 0 ? m_data->skins[size_t(m_skeleton->skin)].name.c_str() : "";
}

void CSkeletonInstance::SetAttachment(const char* slotName, const char* attachment) {
    if (!m_skeleton) return;
    const int32_t slot = m_data->FindSlot(Name(slotName));
    if (slot < 0) return;
    if (!attachment || !*attachment) {
        m_skeleton->slots[size_t(slot)].attachment = nullptr;
        return;
    }
    SkeletonAttachment* found = nullptr;
    for (const SkeletonSkin& skin : m_data->skins)
        if ((found = skin.Find(slot, attachment)) != nullptr) break;
    for (size_t i = 0; !found && i < m_custom.size(); ++i)
        if (m_custom[i].attachment->name == attachment) found = m_custom[i].attachment.get();
    if (found) m_skeleton->slots[size_t(slot)].attachment = found;
}

const char* CSkeletonInstance::GetAttachment(const char* slotName) const {
    if (!m_skeleton) return "";
    const int32_t slot = m_data->FindSlot(Name(slotName));
    if (slot < 0 || !m_skeleton->slots[size_t(slot)].attachment) return "";
    return m_skeleton->slots[size_t(slot)].attachment->name.c_str();
}

void CSkeletonInstance::CreateAttachmentFromSprite(const char* name, CSprite* sprite, int32_t frame, float x,
                                                   float y, float xScale, float yScale, float angle) {
    if (!sprite) return;
    if (!sprite->m_pageEntries || sprite->m_frameCount < 1) {
        DebugConsole.Output("ERROR: Sprite '%s' is not valid for use as an attachment\n", sprite->GetName());
        return;
    }
    const TexturePageEntry* entry = sprite->m_pageEntries[frame % sprite->m_frameCount];
    const TextureEntry* texture = entry ? GR_Texture_Get_Entry(entry->texture) : nullptr;
    if (!texture) {
        DebugConsole.Output("ERROR: Sprite '%s' is not valid for use as an attachment\n", sprite->GetName());
        return;
    }
    const float u = float(entry->sourceX) * texture->invWidth, v = float(entry->sourceY) * texture->invHeight;
    const float u2 = float(entry->sourceX + entry->sourceWidth) * texture->invWidth;
    const float v2 = float(entry->sourceY + entry->sourceHeight) * texture->invHeight;
    CreateAttachment(name, sprite->GetName(), entry->texture, sprite->m_width, sprite->m_height, u, v, u2, v2,
                     x, y, xScale, yScale, angle);
}

void CSkeletonInstance::CreateAttachment(const char* name, const char* pageName, int32_t textureId,
                                         int32_t width, int32_t height, float u, float v, float u2, float v2,
                                         float x, float y, float xScale, float yScale, float angle) {
    auto atlas = std::make_unique<SkeletonAtlas>();
    atlas->ownsTextures = false;  // the sprite's page
    const TextureEntry* texture = GR_Texture_Get_Entry(textureId);
    atlas->pages.push_back(
        {Name(pageName), texture ? texture->width : width, texture ? texture->height : height, textureId});
    SkeletonAtlasRegion region;
    region.name = Name(name);
    region.u = u, region.v = v, region.u2 = u2, region.v2 = v2;
    region.width = region.originalWidth = width;
    region.height = region.originalHeight = height;
    atlas->regions.push_back(region);
    auto attachment = std::make_shared<SkeletonAttachment>();
    attachment->kind = SKELETON_REGION;
    attachment->name = attachment->path = Name(name);
    attachment->textureId = textureId;
    attachment->width = float(width), attachment->height = float(height);
    attachment->x = x, attachment->y = y, attachment->scaleX = xScale, attachment->scaleY = yScale;
    attachment->rotation = angle;
    attachment->SetUvs(u, v, u2, v2, false);
    attachment->UpdateOffset(&atlas->regions.front());
    m_custom.push_back({std::move(attachment), std::move(atlas)});
}

// ---- bones ---------------------------------------------------------------------------------

bool CSkeletonInstance::GetBoneData(const char* bone, int32_t map) const {
    CDS_Map* m = DS_GetMap(map);
    const int32_t index = m_data ? m_data->FindBone(Name(bone)) : -1;
    if (!m || index < 0) return false;
    const SkeletonBoneData& b = m_data->bones[size_t(index)];
    PutReal(m, "length", b.length);
    PutReal(m, "x", b.x);
    PutReal(m, "y", b.y);
    PutReal(m, "angle", b.rotation);
    PutReal(m, "xscale", b.scaleX);
    PutReal(m, "yscale", b.scaleY);
    if (b.parent >= 0) PutString(m, "parent", m_data->bones[size_t(b.parent)].name.c_str());
    return true;
}

bool CSkeletonInstance::SetBoneData(const char* bone, int32_t map) {
    CDS_Map* m = DS_GetMap(map);
    const int32_t index = m_data ? m_data->FindBone(Name(bone)) : -1;
    if (!m || index < 0) return false;
    SkeletonBoneData& b = m_data->bones[size_t(index)];
    TakeReal(m, "length", &b.length);
    TakeReal(m, "x", &b.x);
    TakeReal(m, "y", &b.y);
    TakeReal(m, "angle", &b.rotation);
    TakeReal(m, "xscale", &b.scaleX);
    TakeReal(m, "yscale", &b.scaleY);
    return true;
}

bool CSkeletonInstance::GetBoneState(const char* bone, int32_t map) const {
    CDS_Map* m = DS_GetMap(map);
    const int32_t index = m_data ? m_data->FindBone(Name(bone)) : -1;
    if (!m || index < 0 || !m_skeleton) return false;
    const SkeletonBone& b = m_skeleton->bones[size_t(index)];
    PutReal(m, "x", b.x);
    PutReal(m, "y", b.y);
    PutReal(m, "angle", b.rotation);
    PutReal(m, "xscale", b.scaleX);
    PutReal(m, "yscale", b.scaleY);
    PutReal(m, "worldX", b.worldX);
    PutReal(m, "worldY", b.worldY);
    PutReal(m, "worldAngle", b.WorldRotation());
    PutReal(m, "worldScaleX", b.WorldScaleX());
    PutReal(m, "worldScaleY", b.WorldScaleY());
    if (b.parent >= 0) PutString(m, "parent", m_data->bones[size_t(b.parent)].name.c_str());
    return true;
}

bool CSkeletonInstance::SetBoneState(const char* bone, int32_t map) {
    CDS_Map* m = DS_GetMap(map);
    const int32_t index = m_data ? m_data->FindBone(Name(bone)) : -1;
    if (!m || index < 0 || !m_skeleton) return false;
    SkeletonBone& b = m_skeleton->bones[size_t(index)];
    TakeReal(m, "x", &b.x);
    TakeReal(m, "y", &b.y);
    TakeReal(m, "angle", &b.rotation);
    TakeReal(m, "xscale", &b.scaleX);
    TakeReal(m, "yscale", &b.scaleY);
    return true;
}

// ---- copies --------------------------------------------------------------------------------

void CSkeletonInstance::CopyFrom(const CSkeletonInstance& other) {
    if (m_asset != other.m_asset) {
        if (m_asset) m_asset->Detach(this);
        m_asset = other.m_asset;
        if (m_asset) m_asset->Attach(this);
    }
    Init(other.m_data);
    if (!m_skeleton || !other.m_skeleton) return;
    if (const SkeletonTrack* t = other.m_state->Track(0); t && t->animation)
        SetAnimation(t->animation->name.c_str());
    SetSkin(other.GetSkin());
    for (const CustomAttachment& c : other.m_custom) {
        const SkeletonAtlasPage& page = c.atlas->pages.front();
        const SkeletonAtlasRegion& r = c.atlas->regions.front();
        const SkeletonAttachment& a = *c.attachment;
        CreateAttachment(a.name.c_str(), page.name.c_str(), page.textureId, r.width, r.height, r.u, r.v, r.u2,
                         r.v2, a.x, a.y, a.scaleX, a.scaleY, a.rotation);
    }
    for (size_t i = 0; i < other.m_skeleton->slots.size(); ++i)
        if (const SkeletonAttachment* a = other.m_skeleton->slots[i].attachment)
            SetAttachment(m_data->slots[i].name.c_str(), a->name.c_str());
    m_stateData->mixes = other.m_stateData->mixes;
    m_collisionDraw = other.m_collisionDraw;
    const SkeletonBone& root = other.m_skeleton->bones[0];
    m_skeleton->x = -other.m_skeleton->x;
    if (m_skeleton->x == other.m_skeleton->x) m_skeleton->x = other.m_skeleton->x + 1;  // x of 0
    Update(other.m_lastImageIndex, other.m_skeleton->x, other.m_skeleton->y, root.scaleX, root.scaleY,
           root.rotation, nullptr);
}

// ---- lookups and start-up ------------------------------------------------------------------

CSkeletonAsset* Skeleton_AssetOf(int32_t sprite) {
    CSprite* s = Sprite_Get(sprite);
    return s && s->m_kind == SPRITE_SKELETON && s->m_skeleton && s->m_skeleton->IsValid() ? s->m_skeleton
                                                                                          : nullptr;
}

CSkeletonInstance* Skeleton_InstanceOf(CInstance* instance) {
    if (!instance) return nullptr;
    if (!instance->skeleton && Skeleton_AssetOf(instance->sprite_index))
        instance->skeleton = new CSkeletonInstance(Skeleton_AssetOf(instance->sprite_index));
    return instance->skeleton;
}

namespace {

CSkeletonInstance* CreateFor(CInstance*, int32_t sprite) {
    CSkeletonAsset* asset = Skeleton_AssetOf(sprite);
    return asset ? new CSkeletonInstance(asset) : nullptr;
}

CSkeletonInstance* CopyOf(const CSkeletonInstance* source) {
    if (!source) return nullptr;
    auto* copy = new CSkeletonInstance(nullptr);
    copy->CopyFrom(*source);
    return copy;
}

void ReleaseSkeleton(CSkeletonInstance* skeleton) {
    delete skeleton;
}

int32_t FrameOf(const CInstance* i) {
    return int32_t(std::floor(i->image_index));
}

bool BoxOf(CInstance* i, int32_t box[4]) {
    return i->skeleton && i->skeleton->GetBounds(box, FrameOf(i), i->x, i->y, i->image_xscale,
                                                 i->image_yscale, i->image_angle);
}

// A skeleton without bounding polygons answers as its box did.
bool HasPolygons(const CInstance* i) {
    return i->skeleton && !i->skeleton->Bounds().Empty();
}

bool PointTest(CInstance* i, float px, float py) {
    return !HasPolygons(i) || i->skeleton->CollidePoint(FrameOf(i), i->x, i->y, i->image_xscale,
                                                        i->image_yscale, i->image_angle, px, py);
}

bool LineTest(CInstance* i, float x1, float y1, float x2, float y2) {
    return !HasPolygons(i) || i->skeleton->CollideLine(FrameOf(i), i->x, i->y, i->image_xscale,
                                                       i->image_yscale, i->image_angle, x1, y1, x2, y2);
}

bool RectangleTest(CInstance* i, float x1, float y1, float x2, float y2) {
    return !HasPolygons(i) || i->skeleton->CollideRectangle(FrameOf(i), i->x, i->y, i->image_xscale,
                                                            i->image_yscale, i->image_angle, x1, y1, x2, y2);
}

bool EllipseTest(CInstance* i, const int32_t rect[4]) {
    return !HasPolygons(i) || i->skeleton->CollideEllipse(FrameOf(i), i->x, i->y, i->image_xscale,
                                                          i->image_yscale, i->image_angle, rect);
}

bool InstanceTest(CInstance* i, CInstance* other) {
    if (!HasPolygons(i)) return true;
    CSkeletonInstance* mine = i->skeleton;
    if (other->skeleton) {
        if (other->skeleton->Bounds().Empty()) {
            return mine->CollideRectangle(FrameOf(i), i->x, i->y, i->image_xscale, i->image_yscale,
                                          i->image_angle, float(other->bbox_left), float(other->bbox_top),
                                          float(other->bbox_right), float(other->bbox_bottom));
        }
        return mine->CollideSkeleton(FrameOf(i), i->x, i->y, i->image_xscale, i->image_yscale, i->image_angle,
                                     other->skeleton, FrameOf(other), other->x, other->y, other->image_xscale,
                                     other->image_yscale, other->image_angle);
    }
    const int32_t box[4] = {other->bbox_left, other->bbox_top, other->bbox_right, other->bbox_bottom};
    return mine->CollideSprite(FrameOf(i), i->x, i->y, i->image_xscale, i->image_yscale, i->image_angle,
                               Sprite_Get(other->MaskSprite()), box, FrameOf(other), other->x, other->y,
                               other->image_xscale, other->image_yscale, other->image_angle);
}

}  // namespace

void Skeleton_InstallHooks() {
    InstanceWorldHooks hooks = InstanceWorld();
    hooks.createSkeleton = CreateFor;
    hooks.copySkeleton = CopyOf;
    hooks.releaseSkeleton = ReleaseSkeleton;
    InstanceWorld_Install(&hooks);
    WorldServices services;
    services.skeletonBox = BoxOf;
    services.skeletonPointTest = PointTest;
    services.skeletonLineTest = LineTest;
    services.skeletonRectangleTest = RectangleTest;
    services.skeletonEllipseTest = EllipseTest;
    services.skeletonInstanceTest = InstanceTest;
    World_InstallServices(&services);
}
