// What instance motion, collisions and the game-world built-ins ask of the modules above the
// world: the sprite and background tables (mask boxes, per-pixel tests, sizes), skeletons, the
// room's layers and the screen read-back. Each module fills its members at start-up through
// World_InstallServices; a member left null answers as a world without that module: no
// sprites, no skeleton boxes, and per-pixel tests that accept what the boxes accept.
#pragma once

#include <cstdint>

class CInstance;
class CLayer;
class CRoom;

// A sprite as a collision mask.
struct SpriteCollisionShape {
    int32_t left, top, right, bottom;  // the mask's box in the sprite, inclusive
    int32_t xorigin, yorigin;
    int32_t width, height;
    int32_t frames;
    bool precise;  // the sprite carries per-pixel masks
};

// One side of a per-pixel test: the sprite, its frame and the instance's placement.
struct MaskPose {
    int32_t sprite;
    int32_t frame;
    int32_t box[4];  // the instance box: left, top, right, bottom
    int32_t x, y;    // the position, rounded (or truncated in tree mode for pair tests)
    float xscale, yscale, angle;
};

struct WorldServices {
    // --- sprites ---
    bool (*spriteMask)(int32_t sprite, SpriteCollisionShape* out) = nullptr;  // false: no such sprite
    bool (*spritePointTest)(const MaskPose& pose, int32_t px, int32_t py) = nullptr;
    // rect: left, top, right, bottom (rounded)
    bool (*spriteRectangleTest)(const MaskPose& pose, const int32_t rect[4]) = nullptr;
    bool (*spriteEllipseTest)(const MaskPose& pose, const int32_t rect[4]) = nullptr;
    bool (*spriteLineTest)(const MaskPose& pose, int32_t x1, int32_t y1, int32_t x2, int32_t y2) = nullptr;
    bool (*spritePairTest)(const MaskPose& a, const MaskPose& b) = nullptr;

    // --- backgrounds ---
    bool (*backgroundExists)(int32_t background) = nullptr;
    bool (*backgroundSize)(int32_t background, int32_t* width, int32_t* height) = nullptr;

    // --- skeletons ---
    // The box of the instance's skeleton at its frame, position, scales and angle; false when
    // the skeleton gives none.
    bool (*skeletonBox)(CInstance* instance, int32_t box[4]) = nullptr;
    // Precise tests of the instance's skeleton (its bounding polygons at its frame and
    // placement); a skeleton without polygons answers as its box.
    bool (*skeletonPointTest)(CInstance* instance, float px, float py) = nullptr;
    bool (*skeletonLineTest)(CInstance* instance, float x1, float y1, float x2, float y2) = nullptr;
    bool (*skeletonRectangleTest)(CInstance* instance, float x1, float y1, float x2, float y2) = nullptr;
    bool (*skeletonEllipseTest)(CInstance* instance, const int32_t rect[4]) = nullptr;
    // Against another instance: its skeleton's polygons, else its mask.
    bool (*skeletonInstanceTest)(CInstance* instance, CInstance* other) = nullptr;

    // --- layers ---
    CLayer* (*layerFind)(CRoom* room, int32_t id) = nullptr;  // null when the room has none
    CLayer* (*layerFindByName)(CRoom* room, const char* name) = nullptr;

    // --- the screen ---
    // New memory-manager block of width x height 4-byte pixels (B, G, R, A) of the current
    // render target over the window's client size; null when there is nothing to read.
    void* (*readTargetPixels)(int32_t* width, int32_t* height) = nullptr;
    // Writes R, G, B, A pixels as a PNG file; false on failure.
    bool (*writePng)(const char* name, const void* pixels, int32_t width, int32_t height) = nullptr;
};

const WorldServices& World();
// Copies the members the caller set; the others keep what they had. Null forgets them all.
void World_InstallServices(const WorldServices* services);
