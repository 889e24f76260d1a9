#include "script/JS_PropertyIterator.h"

#include <cstdio>
#include <cstring>

#include "core/Code_Variable.h"
#include "core/RuntimeError.h"
#include "core/VariableList.h"
#include "script/JS_Convert.h"
#include "script/JS_Exception.h"

namespace {

void SetUnset(RValue* value) {
    value->v64 = 0;
    value->flags = 0;
    value->kind = VALUE_UNSET;
}

constexpr const char* kInbalance =
    "For-in loop stack inbalance - expecting the iterator to be on top of the stack at this point";

JS_PropertyIterator* IteratorOf(const RValue* value) {
    return RValue_Kind(value) == VALUE_ITERATOR ? static_cast<JS_PropertyIterator*>(value->ptr) : nullptr;
}

}  // namespace

JS_PropertyIterator::JS_PropertyIterator(PWObjectBase* walked, int32_t attributeMask)
    : object(walked),
      phase(walked != nullptr && walked->slotHash != nullptr ? kSlots : kNamed),
      mask(attributeMask) {
    FirstNode();
}

JS_PropertyIterator::~JS_PropertyIterator() {
    delete child;
}

void JS_PropertyIterator::FirstNode() {
    node = nullptr;
    CVariableList* list = object != nullptr ? object->variables : nullptr;
    if (list == nullptr) return;
    for (bucket = 0; bucket < bucketEnd; ++bucket)
        if ((node = list->Bucket(bucket)) != nullptr) return;
}

void JS_PropertyIterator::AdvanceNode() {
    if (node->next != nullptr) {
        node = node->next;
        return;
    }
    node = nullptr;
    while (++bucket < bucketEnd)
        if ((node = object->variables->Bucket(bucket)) != nullptr) return;
}

void JS_PropertyIterator::Step(RValue* name, RValue* value) {
    *name = RValue_Undefined();
    SetUnset(value);
    switch (phase) {
        case kSlots: {
            if (position < object->slotCount) {
                RValue_SetString(name, Code_Variable_GetName(nullptr, SCOPE_SELF, position + 100000));
                *value = *object->GetSlot(position);
                ++position;
            }
            if (position >= object->slotCount) {
                phase = object->slotCount > 1 ? kElements : kNamed;
                position = 0;
            }
            return;
        }
        case kElements: {
            const RValue* store = object->slotCount > 1 ? object->PeekSlot(1) : nullptr;
            PWObjectBase* elements = store != nullptr && RValue_IsObject(store) ? store->obj : nullptr;
            if (elements == nullptr || elements->slotCount == 0) {
                RValue_SetString(name, "");
                phase = kNamed;
                return;
            }
            char text[16];
            std::snprintf(text, sizeof text, "%d", position);
            RValue_SetString(name, text);
            *value = *elements->GetSlot(position);
            if (++position >= elements->slotCount) phase = kNamed;
            return;
        }
        case kNamed:
            if (node == nullptr) {
                phase = kFinished;
                return;
            }
            RValue_Assign(name, &node->key);
            *value = node->value;
            AdvanceNode();
            if (node == nullptr) phase = kFinished;
            return;
        default:
            return;
    }
}

bool JS_PropertyIterator::Wanted(const RValue* name, const RValue* value) {
    if (RValue_IsUnset(value)) return false;
    if (mask == 1 && (value->flags & JS_ENUMERABLE) == 0) return false;
    const char* text = RValue_GetStringText(name);
    if (text == nullptr) text = "";
    if (!includeInternal && std::strlen(text) > 2 && std::strncmp(text, "[[", 2) == 0) return false;
    if (start == nullptr) return true;
    // A prototype's property counts only when the starting object reads the same value.
    RValue seen, own;
    JS_GetProperty(start, &seen, text);
    JS_GetProperty(object, &own, text);
    return RValue_Kind(seen) == RValue_Kind(own) && seen.v64 == own.v64;
}

bool JS_PropertyIterator::Next(RValue* name) {
    while (phase != kFinished) {
        RValue value;
        Step(name, &value);
        if (Wanted(name, &value)) return true;
        RValue_Release(name);
    }
    if (!walkChain) return false;
    if (child == nullptr) {
        PWObjectBase* prototype = JS_PrototypeOf(object);
        if (prototype == nullptr) return false;
        child = new JS_PropertyIterator(prototype, mask);
        child->walkChain = 1;
        child->includeInternal = includeInternal;
        child->start = start != nullptr ? start : object;
    }
    if (child->Next(name)) return true;
    delete child;
    child = nullptr;
    return false;
}

// --- for-in -----------------------------------------------------------------------------

void F_JS_ForInIterator(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const uint32_t kind = argc > 0 ? RValue_Kind(args[0]) : VALUE_UNDEFINED;
    RValue_Release(&result);
    if (kind == VALUE_UNDEFINED || kind == VALUE_NULL || kind == VALUE_UNSET) return;
    RValue object = RValue_Undefined();
    if (F_JS_ToObject(&object, &args[0]) != JS_DONE || !RValue_IsObject(object)) {
        RValue_Release(&object);
        JS_ThrowTypeError("Cannot convert argument of for-in loop to an object");
        return;
    }
    auto* iterator = new JS_PropertyIterator(object.obj, 1);
    iterator->walkChain = 1;
    result.ptr = iterator;
    result.flags = 0;
    result.kind = VALUE_ITERATOR;
    RValue_Release(&object);
}

void F_JS_ForInIteratorGetNext(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    RValue_Release(&result);
    // A loop over undefined or null has no iterator and no names.
    if (argc > 0 && RValue_Kind(args[0]) == VALUE_UNDEFINED) return;
    JS_PropertyIterator* iterator = argc > 0 ? IteratorOf(&args[0]) : nullptr;
    if (iterator == nullptr) {
        Runtime_Error("%s", kInbalance);
        return;
    }
    if (!iterator->Next(&result)) result = RValue_Undefined();
}

void F_JS_ForInIteratorDelete(RValue&, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc > 0 && RValue_Kind(args[0]) == VALUE_UNDEFINED) return;
    JS_PropertyIterator* iterator = argc > 0 ? IteratorOf(&args[0]) : nullptr;
    if (iterator == nullptr) {
        Runtime_Error("%s", kInbalance);
        return;
    }
    delete iterator;
    args[0].ptr = nullptr;
    args[0].kind = VALUE_UNDEFINED;
}
