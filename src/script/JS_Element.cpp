#include "script/JS_Element.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/VariableList.h"
#include "core/Value_Convert.h"
#include "script/JS_Property.h"

namespace {

void CopyElement(RValue* result, const RValue* element) {
    RValue copy = RValue_Undefined();
    RValue_Assign(&copy, element);
    copy.flags = element->flags;
    *result = copy;
}

// The index of a numeric name, clamped so that one past any store reads as out of range.
int64_t ElementIndex(const char* name) {
    if (*name == '\0') return 0;
    if (std::strlen(name) > 12) return INT32_MAX;
    return std::strtoll(name, nullptr, 10);
}

}  // namespace

bool JS_IsElementName(const char* name) {
    if (name == nullptr) return false;
    for (const char* p = name; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    return true;
}

PWObjectBase* JS_ElementStore(PWObjectBase* object) {
    if (object == nullptr || object->slotCount <= JS_SLOT_ELEMENTS) return nullptr;
    RValue* store = object->PeekSlot(JS_SLOT_ELEMENTS);
    return store != nullptr && RValue_IsObject(store) ? store->obj : nullptr;
}

bool JS_GetElement(const RValue* object, const RValue* key, RValue* result) {
    if (!RValue_IsObject(object) || object->obj == nullptr) return false;
    PWObjectBase* target = object->obj;
    const char* cls = JS_ClassOf(target);
    if (cls != nullptr && std::strcmp(cls, "Array") == 0) {
        PWObjectBase* store = JS_ElementStore(target);
        const double index = RValue_IsReal(key) ? std::trunc(key->val) : Arg_GetInt32(key, 0);
        if (store == nullptr || !(index >= 0) || index >= store->slotCount) {
            RValue_Release(result);
            return true;
        }
        RValue_Release(result);
        CopyElement(result, store->GetSlot(static_cast<int32_t>(index)));
        return true;
    }
    CVariableNode* node = target->variables != nullptr ? target->variables->FindValueKey(key) : nullptr;
    if (node == nullptr) return false;
    RValue_Release(result);
    CopyElement(result, &node->value);
    return true;
}

void JS_ArgumentsGetOwnProperty(PWObjectBase* object, RValue* result, const char* name) {
    if (JS_IsElementName(name)) {
        PWObjectBase* store = JS_ElementStore(object);
        const int64_t index = ElementIndex(name);
        if (store != nullptr && index < store->slotCount) {
            CopyElement(result, store->GetSlot(static_cast<int32_t>(index)));
            return;
        }
    }
    JS_DefaultGetOwnProperty(object, result, name);
}

void JS_ArgumentsPut(PWObjectBase* object, RValue* value, const char* name) {
    PWObjectBase* store = JS_IsElementName(name) ? JS_ElementStore(object) : nullptr;
    const int64_t index = store != nullptr ? ElementIndex(name) : -1;
    if (store == nullptr || index >= store->slotCount) {
        JS_DefineOwnProperty(object, name, value, false);
        return;
    }
    RValue* element = store->GetSlot(static_cast<int32_t>(index));
    RValue_Assign(element, value);
    element->flags = value->flags;
}
