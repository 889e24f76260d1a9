// [[Put]]: member assignment of the interpreter and the generic Array methods.
#include <cstdlib>
#include <cstring>

#include "script/JS_Element.h"
#include "script/JS_Property.h"

namespace {

bool HasClass(PWObjectBase* object, const char* name) {
    const char* cls = JS_ClassOf(object);
    return cls != nullptr && std::strcmp(cls, name) == 0;
}

// The first property of the name up the chain as stored: accessors stay accessors.
RValue FindStored(PWObjectBase* object, const char* name) {
    RValue found;
    for (PWObjectBase* current = object; current != nullptr; current = JS_PrototypeOf(current)) {
        JS_ReadOwnStored(current, &found, name);
        if (!RValue_IsUnset(found)) return found;
    }
    return found;
}

// Redefines an existing data property with the new value and the property's attribute byte.
int32_t Redefine(PWObjectBase* object, RValue* value, const char* name, uint32_t attributes, bool throwFlag) {
    RValue descriptor = *value;
    descriptor.flags = attributes;
    return JS_DefineOwnProperty(object, name, &descriptor, throwFlag);
}

// An Array element already in the store keeps its place; the store's growth and "length" belong
// to the Array object.
bool PutArrayElement(PWObjectBase* object, RValue* value, const char* name, uint32_t attributes) {
    PWObjectBase* store = JS_IsElementName(name) && *name != '\0' ? JS_ElementStore(object) : nullptr;
    if (store == nullptr || std::strlen(name) > 10) return false;
    const long long index = std::atoll(name);
    if (index >= store->slotCount) return false;
    RValue* element = store->GetSlot(static_cast<int32_t>(index));
    RValue_Assign(element, value);
    element->flags = attributes;
    return true;
}

}  // namespace

void JS_Put(PWObjectBase* object, RValue* value, const char* name, bool throwFlag) {
    if (object == nullptr) return;
    if (!JS_CanPut(object, name)) {
        if (throwFlag) JS_ThrowTypeError("NoMessage");
        return;
    }
    RValue own;
    JS_ReadOwnStored(object, &own, name);
    if (JS_IsAbsent(&own) || JS_IsAccessor(&own)) {
        RValue found = FindStored(object, name);
        if (JS_IsAccessor(&found)) {
            JS_CallSetter(object, value, &found);
            return;
        }
        Redefine(object, value, name, JS_ATTRIBUTES, throwFlag);
        return;
    }
    const uint32_t attributes = own.flags & JS_ATTRIBUTES;
    if (HasClass(object, "Array")) {
        if (!PutArrayElement(object, value, name, attributes))
            Redefine(object, value, name, attributes, false);
    } else if (HasClass(object, "Arguments")) {
        RValue stored = *value;
        stored.flags = attributes;
        JS_ArgumentsPut(object, &stored, name);
    } else {
        Redefine(object, value, name, attributes, throwFlag);
    }
}
