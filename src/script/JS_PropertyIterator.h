// Property names of a script object one at a time, in storage order: the variable slots from
// 2 upward, then the elements of the element store, then the named list by hash bucket
// (newest first within a bucket); optionally enumerable ones only, optionally going on up the
// prototype chain with names the starting object does not see left out.
#pragma once

#include <cstdint>

#include "script/JS_Object.h"

struct CVariableNode;

class JS_PropertyIterator {
public:
    JS_PropertyIterator(PWObjectBase* object, int32_t mask);
    ~JS_PropertyIterator();
    JS_PropertyIterator(const JS_PropertyIterator&) = delete;
    JS_PropertyIterator& operator=(const JS_PropertyIterator&) = delete;

    // True with the next name (a string value the caller releases); false when done.
    bool Next(RValue* name);
    // One raw entry of the current phase, unfiltered: name (released by the caller) and a
    // plain copy of the value; an unset value when the phase had nothing.
    void Step(RValue* name, RValue* value);

    enum Phase : int32_t { kSlots = 0, kElements = 1, kNamed = 2, kFinished = 3 };

    PWObjectBase* object;
    int32_t phase;
    int32_t position = 2;
    int32_t mask;                   // 0 every property, 1 enumerable ones only
    uint8_t walkChain = 0;          // go on into the prototype chain when finished
    uint8_t includeInternal = 0;    // also report "[[" names
    PWObjectBase* start = nullptr;  // for an iterator over a prototype: where the walk began
    int32_t bucket = 0;
    CVariableNode* node = nullptr;
    int32_t bucketEnd = 64;
    JS_PropertyIterator* child = nullptr;

private:
    void FirstNode();
    void AdvanceNode();
    bool Wanted(const RValue* name, const RValue* value);
};

// The for-in built-ins.
void F_JS_ForInIterator(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_ForInIteratorGetNext(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_ForInIteratorDelete(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
