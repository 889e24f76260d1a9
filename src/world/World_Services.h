// What instance motion, collisions and the game-world built-ins ask of modules that plug in
// beside them: the sprite table (mask boxes and per-pixel tests), skeletons, paths, motion
// planning and motion grids, saved games and the screen read-back. Each module fills its
// members at start-up through World_InstallServices; a member left null answers as a world
// without that module: no sprites, no skeleton boxes, no paths, and per-pixel tests that
// accept what the boxes accept.
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

    // --- skeletons ---
    // The box of the instance's skeleton at its frame, position, scales and angle; false when
    // the skeleton gives none.
    bool (*skeletonBox)(CInstance* instance, int32_t box[4]) = nullptr;

    // --- paths ---
    bool (*pathExists)(int32_t path) = nullptr;
    double (*pathLength)(int32_t path) = nullptr;
    // The point at a position (0 start, 1 end) and its speed factor in percent.
    void (*pathPoint)(int32_t path, double position, float* x, float* y, float* speed) = nullptr;

    // --- motion planning (filter -3 with all = check every instance) ---
    bool (*mpLinearStep)(CInstance* self, float x, float y, float step, int32_t filter, bool all) = nullptr;
    bool (*mpLinearPath)(CInstance* self, int32_t path, float x, float y, float step, int32_t filter,
                         bool all) = nullptr;
    void (*mpPotentialSettings)(float maxRotation, float rotationStep, float ahead, bool onSpot) = nullptr;
    bool (*mpPotentialStep)(CInstance* self, float x, float y, float step, int32_t filter,
                            bool all) = nullptr;
    bool (*mpPotentialPath)(CInstance* self, int32_t path, float x, float y, float step, float factor,
                            int32_t filter, bool all) = nullptr;

    // --- motion grids ---
    int32_t (*gridCreate)(int32_t left, int32_t top, int32_t hcells, int32_t vcells, int32_t cellWidth,
                          int32_t cellHeight) = nullptr;
    void (*gridDestroy)(int32_t grid) = nullptr;
    void (*gridClearAll)(int32_t grid) = nullptr;
    void (*gridClearCell)(int32_t grid, int32_t h, int32_t v) = nullptr;
    void (*gridClearRectangle)(int32_t grid, int32_t x1, int32_t y1, int32_t x2, int32_t y2) = nullptr;
    void (*gridAddCell)(int32_t grid, int32_t h, int32_t v) = nullptr;
    int32_t (*gridGetCell)(int32_t grid, int32_t h, int32_t v) = nullptr;
    void (*gridAddRectangle)(int32_t grid, int32_t x1, int32_t y1, int32_t x2, int32_t y2) = nullptr;
    void (*gridAddInstance)(int32_t grid, CInstance* instance, bool precise) = nullptr;
    bool (*gridFindPath)(int32_t grid, int32_t path, int32_t xstart, int32_t ystart, int32_t xgoal,
                         int32_t ygoal, bool diagonal) = nullptr;
    void (*gridDraw)(int32_t grid) = nullptr;
    void (*gridToDsGrid)(int32_t grid, int32_t dsGrid) = nullptr;

    // --- backgrounds ---
    bool (*backgroundExists)(int32_t background) = nullptr;

    // --- layers ---
    CLayer* (*layerFind)(CRoom* room, int32_t id) = nullptr;  // null when the room has none
    CLayer* (*layerFindByName)(CRoom* room, const char* name) = nullptr;

    // --- saved games ---
    void (*gameSaveFile)(const char* name) = nullptr;
    void (*gameLoadFile)(const char* name) = nullptr;
    void (*gameSaveBuffer)(int32_t buffer) = nullptr;
    void (*gameLoadQueueBuffer)(int32_t buffer) = nullptr;

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
