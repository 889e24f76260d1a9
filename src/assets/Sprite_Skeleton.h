// Skeleton sprites: the skeleton data a kind-2 sprite shares (CSkeletonAsset, from a "SPRT"
// skeleton block or from ".json" and ".atlas" files) and the posed skeleton each instance that
// shows one keeps (CSkeletonInstance), animated by the instance's image index, drawn through the
// vertex batch and tested against points, lines, boxes, masks and other skeletons.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "assets/Skeleton_Runtime.h"
#include "core/MemoryManager.h"

class CInstance;
class CSprite;
class CSkeletonInstance;

// The one-byte seeds of the running keys of the scrambled texts of a skeleton block.
constexpr uint8_t kSkeletonJsonSeed = 0x6B;
constexpr uint8_t kSkeletonAtlasSeed = 0x2F;
// Restores text stored as plain byte + key (mod 256), key' = key x (key + 1) (mod 256).
void Skeleton_Unscramble(uint8_t* bytes, int64_t count, uint8_t seed);

class CSkeletonAsset : public MemoryManaged {
public:
    // From a "SPRT" skeleton block: size bytes from the unread first word on. The texts are
    // unscrambled in place. A block that is cut short or does not read leaves the asset invalid.
    CSkeletonAsset(uint8_t* block, int64_t size);
    // From "<folder>/<name>.json" beside "<name>.atlas" (the path's extension is dropped).
    explicit CSkeletonAsset(const char* path);
    ~CSkeletonAsset();
    CSkeletonAsset(const CSkeletonAsset&) = delete;
    CSkeletonAsset& operator=(const CSkeletonAsset&) = delete;

    bool LoadFiles(const std::string& name, const std::string& folder);
    bool IsValid() const { return m_atlas && m_data; }
    // The bones' setup data is the game's to edit (skeleton_bone_data_set), for every instance.
    SkeletonData* Data() const { return m_data.get(); }
    // Seconds of the first animation (0 without animations).
    float FirstAnimationDuration() const;

    void ListAnimations(int32_t list) const;
    void ListSkins(int32_t list) const;
    void ListSlots(int32_t list) const;

    void DrawInstance(int32_t imageIndex, float x, float y, float xScale, float yScale, float angle,
                      uint32_t colour, float alpha);
    void Draw(const char* animation, const char* skin, int32_t imageIndex, float x, float y, float xScale,
              float yScale, float angle, uint32_t colour, float alpha, CInstance* instance);
    void DrawTime(const char* animation, const char* skin, float time, float x, float y, float xScale,
                  float yScale, float angle, uint32_t colour, float alpha);
    void DrawCollision(const char* animation, int32_t imageIndex, float x, float y, float xScale,
                       float yScale, float angle);
    static void DrawSlots(const Skeleton& skeleton, uint32_t colour, float alpha);
    static void DrawBounds(const SkeletonBounds& bounds);

    // The poses made from this data; they are released when the data goes (a deleted or
    // replaced sprite), so none is left pointing into it.
    void Attach(CSkeletonInstance* user) const;
    void Detach(CSkeletonInstance* user) const;

private:
    std::unique_ptr<SkeletonAtlas> m_atlas;
    std::unique_ptr<SkeletonData> m_data;
    mutable std::vector<CSkeletonInstance*> m_users;
};

class CSkeletonInstance : public MemoryManaged {
public:
    explicit CSkeletonInstance(const CSkeletonAsset* asset);
    ~CSkeletonInstance();
    CSkeletonInstance(const CSkeletonInstance&) = delete;
    CSkeletonInstance& operator=(const CSkeletonInstance&) = delete;

    void Init(SkeletonData* data);
    void Release();
    // The data is going: release the pose and forget the asset.
    void Orphan();
    void CopyFrom(const CSkeletonInstance& other);

    // Poses the skeleton for an image index at a placement; with an instance its Animation
    // Update event runs before the world transform.
    void Update(int32_t imageIndex, float x, float y, float xScale, float yScale, float angle,
                CInstance* instance);
    void UpdateByTime(float time, float x, float y, float xScale, float yScale, float angle);
    bool GetBounds(int32_t box[4], int32_t imageIndex, float x, float y, float xScale, float yScale,
                   float angle);

    bool CollidePoint(int32_t imageIndex, float x, float y, float xScale, float yScale, float angle, float px,
                      float py);
    bool CollideLine(int32_t imageIndex, float x, float y, float xScale, float yScale, float angle, float x1,
                     float y1, float x2, float y2);
    bool CollideRectangle(int32_t imageIndex, float x, float y, float xScale, float yScale, float angle,
                          float x1, float y1, float x2, float y2);
    bool CollideEllipse(int32_t imageIndex, float x, float y, float xScale, float yScale, float angle,
                        const int32_t box[4]);
    bool CollideSkeleton(int32_t imageIndex, float x, float y, float xScale, float yScale, float angle,
                         CSkeletonInstance* other, int32_t otherImageIndex, float otherX, float otherY,
                         float otherXScale, float otherYScale, float otherAngle);
    bool CollideSprite(int32_t imageIndex, float x, float y, float xScale, float yScale, float angle,
                       CSprite* sprite, const int32_t otherBox[4], int32_t frame, float otherX, float otherY,
                       float otherXScale, float otherYScale, float otherAngle);

    void SetAnimation(const char* name);
    void SetAnimationExt(const char* name, int32_t track);
    void ClearTrack(int32_t track);
    bool SetMix(const char* from, const char* to, float duration);
    const char* GetAnimation(int32_t track) const;
    float GetAnimationDuration(const char* name) const;
    void SetSkin(const char* name);
    const char* GetSkin() const;
    void SetAttachment(const char* slot, const char* attachment);
    const char* GetAttachment(const char* slot) const;
    void CreateAttachmentFromSprite(const char* name, CSprite* sprite, int32_t frame, float x, float y,
                                    float xScale, float yScale, float angle);
    void CreateAttachment(const char* name, const char* pageName, int32_t textureId, int32_t width,
                          int32_t height, float u, float v, float u2, float v2, float x, float y,
                          float xScale, float yScale, float angle);

    bool GetBoneData(const char* bone, int32_t map) const;
    bool SetBoneData(const char* bone, int32_t map);
    bool GetBoneState(const char* bone, int32_t map) const;
    bool SetBoneState(const char* bone, int32_t map);

    Skeleton* GetSkeleton() const { return m_skeleton.get(); }
    const SkeletonBounds& Bounds() const { return m_bounds; }
    const SkeletonAnimationState* State() const { return m_state.get(); }

    int32_t m_lastImageIndex = 0;
    bool m_collisionDraw = false;
    float m_baseXScale = 1, m_baseYScale = 1;

private:
    struct CustomAttachment {
        std::shared_ptr<SkeletonAttachment> attachment;
        std::unique_ptr<SkeletonAtlas> atlas;
    };
    const CSkeletonAsset* m_asset;
    SkeletonData* m_data = nullptr;
    std::vector<CustomAttachment> m_custom;
    std::unique_ptr<Skeleton> m_skeleton;
    SkeletonBounds m_bounds;
    const SkeletonAnimationData* m_current = nullptr;
    std::unique_ptr<SkeletonAnimationStateData> m_stateData;
    std::unique_ptr<SkeletonAnimationState> m_state;

    float FramesPerSecond() const;
};

// The skeleton sprite of an index, or null.
CSkeletonAsset* Skeleton_AssetOf(int32_t sprite);
// The instance's skeleton state (made on first use for a skeleton sprite), or null.
CSkeletonInstance* Skeleton_InstanceOf(CInstance* instance);
// Start-up: instances make, copy and release their skeletons here, and collisions ask for
// skeleton boxes and tests.
void Skeleton_InstallHooks();
