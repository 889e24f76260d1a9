// The skeleton-animation layer: texture atlases, skeleton data read from JSON, posed skeletons
// with their world transforms, animations applied through an animation state of tracks with
// looping and mixing, and the bounding polygons of a pose with their point and segment tests.
//
// Conventions: positions in pixels, angles in degrees counter-clockwise in the data's y-up
// space. With y down (the runner's screen) the root flips its y axis, so an angle still turns
// counter-clockwise on screen. Colours are four floats 0..1 (clamped when read or blended).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// ---- atlas ---------------------------------------------------------------------------------

struct SkeletonAtlasPage {
    std::string name;
    int32_t width = 0, height = 0;
    int32_t textureId = -1;  // -1: no texture
};

struct SkeletonAtlasRegion {
    std::string name;
    int32_t page = 0;  // index into the atlas pages
    float u = 0, v = 0, u2 = 1, v2 = 1;
    int32_t x = 0, y = 0, width = 0, height = 0;
    int32_t originalWidth = 0, originalHeight = 0;
    int32_t offsetX = 0, offsetY = 0;
    bool rotate = false;
};

// Gives a page its texture: the page's name as read (with the atlas's folder in front); fills
// the texture id and, when the atlas text gave no size, the width and height.
using SkeletonTextureLoader = void (*)(SkeletonAtlasPage& page, const std::string& path, void* context);

class SkeletonAtlas {
public:
    // Reads the atlas text; null when it names no page. Page textures come from the loader.
    static std::unique_ptr<SkeletonAtlas> Parse(const char* text, int64_t length, const std::string& folder,
                                                SkeletonTextureLoader loader, void* context);
    ~SkeletonAtlas();
    const SkeletonAtlasRegion* FindRegion(const std::string& name) const;

    std::vector<SkeletonAtlasPage> pages;
    std::vector<SkeletonAtlasRegion> regions;
    bool ownsTextures = true;  // the page textures are freed with the atlas
};

// ---- setup data ----------------------------------------------------------------------------

struct SkeletonColour {
    float r = 1, g = 1, b = 1, a = 1;
};

struct SkeletonBoneData {
    std::string name;
    int32_t parent = -1;
    float length = 0, x = 0, y = 0, rotation = 0, scaleX = 1, scaleY = 1;
};

struct SkeletonSlotData {
    std::string name;
    int32_t bone = 0;
    SkeletonColour colour;
    std::string attachment;  // the setup attachment; empty: none
};

enum SkeletonAttachmentKind : int32_t {
    SKELETON_REGION = 0,
    SKELETON_BOUNDING_BOX = 1,
    SKELETON_MESH = 2,
    SKELETON_WEIGHTED_MESH = 3,
};

struct SkeletonAttachment {
    SkeletonAttachmentKind kind = SKELETON_REGION;
    std::string name;
    std::string path;  // the atlas region's name
    // Region: placement on the bone and size.
    float x = 0, y = 0, scaleX = 1, scaleY = 1, rotation = 0, width = 0, height = 0;
    float offset[8] = {};  // corners bottom-left, top-left, top-right, bottom-right, bone space
    float uvs[8] = {};     // region: the four corners; meshes use meshUvs
    // Texture of the region (page texture id), or -1.
    int32_t textureId = -1;
    SkeletonColour colour;
    // Bounding box and mesh: x, y pairs in bone space. Weighted mesh: per vertex a bone count,
    // then per bone its index, x, y and weight.
    std::vector<float> vertices;
    int32_t vertexCount = 0;  // vertices of the polygon or mesh
    std::vector<float> meshUvs;
    std::vector<int32_t> triangles;

    // Region corners from the placement and the region's size and offsets.
    void UpdateOffset(const SkeletonAtlasRegion* region);
    void SetUvs(float u, float v, float u2, float v2, bool rotate);
};

struct SkeletonSkin {
    std::string name;
    struct Entry {
        int32_t slot;
        std::string name;
        std::shared_ptr<SkeletonAttachment> attachment;
    };
    std::vector<Entry> entries;
    SkeletonAttachment* Find(int32_t slot, const std::string& name) const;
};

enum SkeletonCurveKind : int32_t { SKELETON_LINEAR = 0, SKELETON_STEPPED = 1, SKELETON_BEZIER = 2 };

struct SkeletonCurve {
    SkeletonCurveKind kind = SKELETON_LINEAR;
    float cx1 = 0, cy1 = 0, cx2 = 1, cy2 = 1;
    // The eased fraction of a linear fraction 0..1.
    float Apply(float t) const;
};

enum SkeletonTimelineKind : int32_t {
    SKELETON_ROTATE = 0,
    SKELETON_TRANSLATE = 1,
    SKELETON_SCALE = 2,
    SKELETON_ATTACHMENT = 3,
    SKELETON_COLOUR = 4,
};

struct SkeletonKey {
    float time = 0;
    float value[4] = {};  // angle; x, y; r, g, b, a
    std::string name;     // attachment keys; empty: none
    SkeletonCurve curve;  // towards the next key
};

struct SkeletonTimeline {
    SkeletonTimelineKind kind;
    int32_t target;  // bone or slot index
    std::vector<SkeletonKey> keys;
};

struct SkeletonAnimationData {
    std::string name;
    float duration = 0;
    std::vector<SkeletonTimeline> timelines;
};

struct SkeletonData {
    std::vector<SkeletonBoneData> bones;
    std::vector<SkeletonSlotData> slots;
    std::vector<SkeletonSkin> skins;
    int32_t defaultSkin = -1;
    std::vector<SkeletonAnimationData> animations;

    int32_t FindBone(const std::string& name) const;
    int32_t FindSlot(const std::string& name) const;
    int32_t FindSkin(const std::string& name) const;
    const SkeletonAnimationData* FindAnimation(const std::string& name) const;
};

// Reads skeleton JSON; null with the reason in `error` when it is not a skeleton. Region and
// mesh attachments take their region from the atlas (an attachment whose region is missing
// makes the whole read fail, as a broken export would).
std::unique_ptr<SkeletonData> SkeletonData_Read(const char* json, int64_t length, const SkeletonAtlas* atlas,
                                                std::string* error);

// ---- a posed skeleton ----------------------------------------------------------------------

struct SkeletonBone {
    const SkeletonBoneData* data;
    int32_t parent;
    float x, y, rotation, scaleX, scaleY;
    float a = 1, b = 0, c = 0, d = 1, worldX = 0, worldY = 0;
    float WorldRotation() const;
    float WorldScaleX() const;
    float WorldScaleY() const;
};

struct SkeletonSlot {
    const SkeletonSlotData* data;
    SkeletonColour colour;
    SkeletonAttachment* attachment = nullptr;
};

class Skeleton {
public:
    explicit Skeleton(const SkeletonData* data);
    void SetBonesToSetupPose();
    void SetSlotsToSetupPose();
    // False when no skin has the name.
    bool SetSkinByName(const std::string& name);
    void UpdateWorldTransform();
    // The slot's attachment of that name from the current skin, else the default skin.
    SkeletonAttachment* GetAttachment(int32_t slot, const std::string& name) const;
    // World positions of a bounding box's or mesh's vertices on the slot's bone (x, y pairs).
    void ComputeWorldVertices(const SkeletonSlot& slot, const SkeletonAttachment& attachment,
                              std::vector<float>& out) const;
    // The four region corners (bottom-left, top-left, top-right, bottom-right) in world space.
    void ComputeRegionVertices(const SkeletonSlot& slot, const SkeletonAttachment& attachment,
                               float out[8]) const;

    const SkeletonData* data;
    std::vector<SkeletonBone> bones;
    std::vector<SkeletonSlot> slots;
    std::vector<int32_t> drawOrder;
    int32_t skin = -1;
    SkeletonColour colour;
    float x = 0, y = 0;
    bool flipX = false, flipY = false;
    bool yDown = true;
};

// ---- animation -----------------------------------------------------------------------------

// Applies the animation at a time (wrapped when looping) with a weight 0..1 towards its keys.
void SkeletonAnimation_Apply(const SkeletonAnimationData& animation, Skeleton& skeleton, float time,
                             bool loop, float alpha);

struct SkeletonMix {
    const SkeletonAnimationData* from;
    const SkeletonAnimationData* to;
    float duration;
};

class SkeletonAnimationStateData {
public:
    explicit SkeletonAnimationStateData(const SkeletonData* data) : data(data) {}
    // False when either name is no animation.
    bool SetMixByName(const std::string& from, const std::string& to, float duration);
    float GetMix(const SkeletonAnimationData* from, const SkeletonAnimationData* to) const;
    const SkeletonData* data;
    std::vector<SkeletonMix> mixes;
};

struct SkeletonTrack {
    const SkeletonAnimationData* animation = nullptr;
    bool loop = true;
    float time = 0;
    // The animation this one is mixing out of, with its own time.
    const SkeletonAnimationData* previous = nullptr;
    bool previousLoop = true;
    float previousTime = 0;
    float mixTime = 0, mixDuration = 0;
};

class SkeletonAnimationState {
public:
    explicit SkeletonAnimationState(const SkeletonAnimationStateData* data) : data(data) {}
    void SetAnimation(int32_t track, const SkeletonAnimationData* animation, bool loop);
    void ClearTrack(int32_t track);
    void Update(float delta);
    void Apply(Skeleton& skeleton) const;
    int32_t TrackCount() const { return int32_t(tracks.size()); }
    const SkeletonTrack* Track(int32_t track) const;

    const SkeletonAnimationStateData* data;
    std::vector<SkeletonTrack> tracks;
};

// ---- bounds --------------------------------------------------------------------------------

class SkeletonBounds {
public:
    // The world polygons of every bounding-box attachment shown, and their overall box.
    void Update(const Skeleton& skeleton);
    bool Empty() const { return polygons.empty(); }
    bool ContainsPoint(float px, float py) const;
    bool IntersectsSegment(float x1, float y1, float x2, float y2) const;
    // Whether the segment crosses an edge (closing edge included) of this polygon.
    static bool PolygonIntersectsSegment(const std::vector<float>& polygon, float x1, float y1, float x2,
                                         float y2);
    static bool PolygonContainsPoint(const std::vector<float>& polygon, float px, float py);

    std::vector<std::vector<float>> polygons;
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
};
