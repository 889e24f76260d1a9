// The collision stage of each step and the optional spatial index of instance boxes. Two
// regimes hold for the whole run: without the tree the stage scans the object pairs that have
// collision events; with it, instances live in an R-tree, moved ones are tracked on lists and
// only they search their neighbours.
#pragma once

#include <cstdint>

#include "world/RTree.h"

class CInstance;

using CollisionTree = RTree<CInstance*, int, float, 6, 2>;

// The box as the index keeps it: left, top, right, bottom (inclusive).
struct InstanceBox {
    int32_t left, top, right, bottom;
};

// True when the game's options switch the tree on.
bool Collision_TreeMode();
// The tree, made empty on first use (a query before any instance exists answers from it).
CollisionTree& Collision_Tree();
// The tree's root level: tree-mode object queries search it for objects with at least this
// many instances.
int32_t Collision_RootLevel();

// Index upkeep; each does nothing while the tree is off.
void Collision_MarkMoved(CInstance* instance);
void Collision_MarkDirty(CInstance* instance);
void Collision_UpdateDirtyBoxes();
void Collision_UpdateInstance(CInstance* instance, const InstanceBox& oldBox);
void Collision_AddInstance(CInstance* instance);
void Collision_RemoveInstance(CInstance* instance);
// Deletes the tree (before a mass removal) and builds a new one from the room's instances.
void Collision_DiscardTree();
void Collision_Rebuild();
// Forgets the tree, the lists and the pass count (end of a game turn and tests).
void Collision_Reset();

// The collision stage.
void HandleCollision();
// The solid rule and the two collision events for a meeting pair.
void Collision_Resolve(CInstance* a, CInstance* b);

// Inside the ellipse inscribed in the rectangle (left, top, right, bottom).
bool Ellipse_ContainsPoint(const int32_t rect[4], int32_t x, int32_t y);

// Fills the frame loop's and the instance core's motion and collision hooks.
void Collision_Install();
