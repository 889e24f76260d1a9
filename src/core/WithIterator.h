// With-statements: a block run once for each instance a target names, with self set to that
// instance and other to the self before the block. Compiled code keeps the state in a
// WithIterator; bytecode keeps the same state as an environment record on its stack.
#pragma once

#include <cstdint>

class CInstance;

struct WithIterator {
    CInstance* savedSelf;
    CInstance* savedOther;
    CInstance** list;    // remaining targets (entry 0 is null), or null when none was made
    CInstance** cursor;  // one past the next entry to visit; the walk goes downwards
};

// The number of targets (0 when none; -1 for noone, global and local). With 1 or more, self is
// the first target and other the saved self.
int32_t WithIterator_Begin(WithIterator* it, CInstance** self, CInstance** other, int32_t target);
// Makes the next target self; false when none is left.
bool WithIterator_Next(WithIterator* it, CInstance** self);
// Frees the list and restores self and other.
void WithIterator_Finish(WithIterator* it, CInstance** self, CInstance** other);

// The gathering list, through which the instances of an object are collected without
// duplicates (empty between uses).
void WithList_Reset();
// Appends the instance, moving it to the end when it is there already.
void WithList_Append(CInstance* instance);
// Appends the instance unless it is there; true when it was there already.
bool WithList_AppendOnce(CInstance* instance);
// Collects the live instances of an object and of the pending lists that now belong to it;
// answers the count.
int32_t WithList_Fill(int32_t objectIndex, bool once);
int32_t WithList_Count();
