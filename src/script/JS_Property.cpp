#include "script/JS_Property.h"

#include "script/JS_Array.h"
#include "script/JS_Element.h"

#include <cstdlib>
#include <cstring>

#include "core/RuntimeError.h"
#include "core/Variable.h"
#include "core/VariableList.h"
#include "script/JS_Call.h"
#include "script/JS_Convert.h"

namespace {

void SetUnset(RValue* value) {
    value->v64 = 0;
    value->flags = 0;
    value->kind = VALUE_UNSET;
}

PWObjectBase* AccessorFunction(const RValue* accessor, int32_t slot) {
    if (!JS_IsAccessor(accessor)) return nullptr;
    const RValue* f = accessor->obj->PeekSlot(slot);
    if (f == nullptr || (RValue_Kind(f) != VALUE_ACCESSOR && !RValue_IsObject(f))) return nullptr;
    return f->obj;
}

bool HasAccessorSlot(const RValue* accessor, int32_t slot) {
    return AccessorFunction(accessor, slot) != nullptr;
}

bool HasOwnName(PWObjectBase* object, const char* name) {
    return object->variables != nullptr && object->variables->FindName(name) != nullptr;
}

// Built-in variable accessors read the fields of an instance: they run only for an instance
// or the global object, never for another object that inherited them.
bool MayRunBuiltinAccessor(PWObjectBase* object) {
    return object->objectClass == OBJECT_CLASS_INSTANCE || object == g_GlobalObject ||
           (object != nullptr && object == g_JSStandard.namespaceObject);
}

// Runs accessor slot 0 (getter) or 1 (setter) with object as this.
void RunAccessor(PWObjectBase* object, RValue* result, RValue* value, PWObjectBase* function, bool getter) {
    if (HasOwnName(function, JS_CALL_SCRIPT) || HasOwnName(function, JS_CALL_CPP)) {
        JS_Call(object, result, function, getter ? 0 : 1, getter ? nullptr : value);
        return;
    }
    CVariableNode* node = function->variables ? function->variables->FindName(JS_CALL_CPP_BUILTIN) : nullptr;
    if (node == nullptr || !RValue_IsPtr(node->value) || node->value.ptr == nullptr) return;
    if (!MayRunBuiltinAccessor(object)) return;
    // The namespace object's accessors are the game's global variables: they run as on the
    // global object.
    if (object == g_JSStandard.namespaceObject) object = g_GlobalObject;
    auto* instance = reinterpret_cast<CInstance*>(object);
    if (getter)
        reinterpret_cast<NativeAccessorGetter>(node->value.ptr)(instance, 0, result);
    else
        reinterpret_cast<NativeAccessorSetter>(node->value.ptr)(instance, 0, value);
}

double ExtensibleValue(PWObjectBase* object) {
    RValue value;
    JS_GetProperty(object, &value, JS_EXTENSIBLE);
    switch (RValue_Kind(value)) {
        case VALUE_REAL:
        case VALUE_BOOL:
            return value.val;
        case VALUE_INT32:
            return value.v32;
        case VALUE_INT64:
            return static_cast<double>(value.v64);
        default:
            return 0.0;
    }
}

bool AccessorsEqual(const RValue* a, const RValue* b) {
    return AccessorFunction(a, 0) == AccessorFunction(b, 0) &&
           AccessorFunction(a, 1) == AccessorFunction(b, 1);
}

void StoreDescriptor(PWObjectBase* object, const char* name, const RValue* descriptor) {
    int32_t slot = JS_OwnSlotIndex(object, name);
    if (slot >= 0) {
        RValue* value = object->GetSlot(slot);
        RValue_Assign(value, descriptor);
        value->flags = descriptor->flags;
        return;
    }
    // An existing property changes whether or not the object takes new ones.
    if (CVariableNode* node = object->variables ? object->variables->FindName(name) : nullptr) {
        RValue_Assign(&node->value, descriptor);
        node->value.flags = descriptor->flags;
        return;
    }
    object->AddValue(name, descriptor, descriptor->flags);
}

bool IsNumericName(const char* name) {
    if (name == nullptr || *name == '\0') return false;
    for (const char* p = name; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    return true;
}

// Element delete of Arrays and Arguments: the element becomes undefined, the count stays.
bool DeleteElement(PWObjectBase* object, const char* name) {
    RValue* elements = object->PeekSlot(JS_SLOT_ELEMENTS);
    if (elements == nullptr || !RValue_IsObject(elements) || elements->obj == nullptr) return false;
    PWObjectBase* items = elements->obj;
    unsigned long long index = std::strtoull(name, nullptr, 10);
    if (index >= static_cast<unsigned long long>(items->slotCount)) return false;
    RValue_Release(items->GetSlot(static_cast<int32_t>(index)));
    return true;
}

void SetDescriptorField(PWObjectBase* object, const char* name, RValue value) {
    value.flags = JS_ATTRIBUTES;
    JS_DefineOwnProperty(object, name, &value, false);
}

RValue FunctionOrUndefined(PWObjectBase* function) {
    if (function == nullptr) return RValue_Undefined();
    RValue value = RValue_Undefined();
    value.obj = function;
    value.kind = VALUE_OBJECT;
    return value;
}

}  // namespace

void JS_ReadOwnStored(PWObjectBase* object, RValue* result, const char* name) {
    SetUnset(result);
    bool found = false;
    JSGetOwnPropertyHook hook = JS_FindGetOwnPropertyHook(object, &found);
    // An Array's hook serves its elements; its other properties are stored as on any object.
    if (hook == JS_DefaultGetOwnProperty || !found ||
        (hook == JS_ArrayGetOwnProperty && !JS_IsElementName(name))) {
        if (const RValue* stored = JS_FindOwnValue(object, name)) *result = *stored;
        return;
    }
    JS_GetOwnProperty(object, result, name);
}

// --- Reading ----------------------------------------------------------------------------

void JS_CallGetter(PWObjectBase* object, RValue* result, const RValue* accessor) {
    if (!JS_IsAccessor(accessor)) return;
    PWObjectBase* function = AccessorFunction(accessor, 0);
    // The result may hold a plain copy of the record being read: it is overwritten, not released.
    *result = RValue_Undefined();
    if (function != nullptr) RunAccessor(object, result, nullptr, function, true);
}

void JS_CallSetter(PWObjectBase* object, RValue* value, const RValue* accessor) {
    PWObjectBase* function = AccessorFunction(accessor, 1);
    if (function == nullptr) return;
    RValue scratch = RValue_Undefined();
    RunAccessor(object, &scratch, value, function, false);
    RValue_Release(&scratch);
}

void JS_Get(PWObjectBase* object, RValue* result, const char* name) {
    // Walks the chain itself so that an inherited getter runs with the object read as this.
    for (PWObjectBase* current = object; current != nullptr; current = JS_PrototypeOf(current)) {
        JS_ReadOwnStored(current, result, name);
        if (RValue_IsUnset(result)) continue;
        if (JS_IsAccessor(result)) {
            RValue accessor = *result;
            JS_CallGetter(object, result, &accessor);
        }
        return;
    }
    SetUnset(result);
}

void JS_DefaultGetOwnProperty(PWObjectBase* object, RValue* result, const char* name) {
    SetUnset(result);
    const RValue* stored = JS_FindOwnValue(object, name);
    if (stored == nullptr) return;
    *result = *stored;
    if (JS_IsAccessor(result)) {
        RValue accessor = *result;
        JS_CallGetter(object, result, &accessor);
    }
}

bool JS_CanPut(PWObjectBase* object, const char* name) {
    RValue own;
    JS_ReadOwnStored(object, &own, name);
    if (JS_IsAccessor(&own)) return HasAccessorSlot(&own, 1);
    if (!JS_IsAbsent(&own)) return (own.flags & JS_WRITABLE) != 0;
    for (PWObjectBase* p = JS_PrototypeOf(object); p != nullptr; p = JS_PrototypeOf(p)) {
        RValue inherited;
        JS_ReadOwnStored(p, &inherited, name);
        if (RValue_IsUnset(inherited)) continue;
        if (JS_IsDataValue(&inherited)) return (inherited.flags & JS_WRITABLE) != 0;
        break;
    }
    return object->IsExtensible();
}

// --- Defining ---------------------------------------------------------------------------

int32_t JS_DefaultDefineOwnProperty(PWObjectBase* object, const char* name, RValue* descriptor,
                                    bool throwFlag) {
    const int32_t reject = throwFlag ? 2 : 0;
    RValue current;
    JS_ReadOwnStored(object, &current, name);
    if (JS_IsAbsent(&current)) {
        if (!(ExtensibleValue(object) > 0.5)) return reject;
        StoreDescriptor(object, name, descriptor);
        return 1;
    }
    if (RValue_IsUnset(descriptor)) return 1;
    const bool currentAccessor = JS_IsAccessor(&current);
    const bool descriptorAccessor = JS_IsAccessor(descriptor);
    const bool sameAttributes = current.flags == descriptor->flags;
    if (sameAttributes &&
        (currentAccessor && descriptorAccessor ? AccessorsEqual(&current, descriptor)
                                               : JS_DescriptorValueEquals(&current, descriptor)))
        return 1;
    const bool configurable = (current.flags & JS_CONFIGURABLE) != 0;
    if (!configurable) {
        if (descriptor->flags & JS_CONFIGURABLE) return reject;
        if ((descriptor->flags & JS_ENUMERABLE) && !(current.flags & JS_ENUMERABLE)) return reject;
    }
    if (currentAccessor != descriptorAccessor) {
        // Between data and accessor form: only a configurable property may change.
        if (!configurable) return reject;
    } else if (currentAccessor) {
        if (!configurable && !AccessorsEqual(&current, descriptor)) return reject;
    } else if (!configurable && !(current.flags & JS_WRITABLE)) {
        if (descriptor->flags & JS_WRITABLE) return reject;
        if (!JS_DescriptorValueEquals(&current, descriptor)) return reject;
    }
    StoreDescriptor(object, name, descriptor);
    return 1;
}

bool JS_DescriptorValueEquals(const RValue* a, const RValue* b) {
    const uint32_t kind = RValue_Kind(a);
    if (kind != RValue_Kind(b) || kind > VALUE_NULL) return false;
    switch (kind) {
        case VALUE_REAL:
            return a->val == b->val;
        case VALUE_INT32:
            return static_cast<double>(a->v32) == static_cast<double>(b->v32);
        case VALUE_INT64:
            return static_cast<double>(a->v64) == static_cast<double>(b->v64);
        case VALUE_STRING: {
            const char* x = RValue_GetStringText(a);
            const char* y = RValue_GetStringText(b);
            return std::strcmp(x ? x : "", y ? y : "") == 0;
        }
        case VALUE_UNDEFINED:
        case VALUE_NULL:
            return true;
        case VALUE_OBJECT:
            return a->obj == b->obj;
        default:
            return false;
    }
}

// --- Deleting ---------------------------------------------------------------------------

void JS_DefaultDelete(PWObjectBase* object, RValue* result, const char* name, bool throwFlag) {
    auto answer = [result](bool b) { *result = RValue_Bool(b ? 1.0 : 0.0); };
    if (IsNumericName(name)) {
        const char* cls = JS_ClassOf(object);
        if (cls != nullptr && (std::strcmp(cls, "Array") == 0 || std::strcmp(cls, "Arguments") == 0))
            return answer(DeleteElement(object, name));
    }
    CVariableNode* node = object->variables ? object->variables->FindName(name) : nullptr;
    RValue* slot = nullptr;
    if (node == nullptr) {
        int32_t index = JS_OwnSlotIndex(object, name);
        slot = index >= 0 ? object->PeekSlot(index) : nullptr;
        if (slot == nullptr || RValue_IsUnset(slot)) return answer(true);
    }
    const uint32_t flags = node ? node->value.flags : slot->flags;
    if (!(flags & JS_CONFIGURABLE)) {
        if (throwFlag)
            JS_ThrowTypeError("Trying to delete a non-configurable variable in a strict mode script.");
        return answer(false);
    }
    if (node != nullptr) {
        object->variables->Remove(node);
    } else {
        RValue_Release(slot);
        slot->kind = VALUE_UNSET;
    }
    answer(true);
}

// --- Descriptor objects -----------------------------------------------------------------

int32_t JS_ToPropertyDescriptor(RValue* out, const RValue* value) {
    if (!RValue_IsObject(value) || value->obj == nullptr) return JS_FAILED;
    PWObjectBase* object = value->obj;
    *out = RValue_Undefined();
    bool data = false;
    RValue field;
    JS_GetProperty(object, &field, "value");
    if (!RValue_IsUnset(field)) {
        RValue_Assign(out, &field);
        out->flags = 0;
        data = true;
    }
    static const struct {
        const char* name;
        uint32_t bit;
    } kBits[] = {{"enumerable", JS_ENUMERABLE}, {"configurable", JS_CONFIGURABLE}, {"writable", JS_WRITABLE}};
    for (const auto& bit : kBits) {
        JS_GetProperty(object, &field, bit.name);
        if (RValue_IsUnset(field)) continue;
        if (JS_ToBoolean(&field)) out->flags |= bit.bit;
        if (bit.bit == JS_WRITABLE) data = true;
    }
    const char* kAccessors[2] = {"get", "set"};
    for (int32_t slot = 0; slot < 2; ++slot) {
        JS_GetProperty(object, &field, kAccessors[slot]);
        if (RValue_IsUnset(field)) continue;
        const bool callable = JS_IsCallable(&field);
        if ((!callable && RValue_Kind(field) != VALUE_UNDEFINED) || data) {
            RValue_Release(out);
            return JS_FAILED;
        }
        if (!JS_IsAccessor(out)) {
            const uint32_t flags = out->flags;
            RValue_Release(out);
            out->obj = JS_NewAccessorRecord();
            out->kind = VALUE_OBJECT;
            out->flags = flags;
        }
        if (callable) {
            RValue* target = out->obj->GetSlot(slot);
            target->obj = field.obj;
            target->flags = 0;
            target->kind = VALUE_ACCESSOR;
        }
    }
    return JS_DONE;
}

void JS_FromPropertyDescriptor(RValue* result, const RValue* descriptor) {
    if (JS_IsAbsent(descriptor)) {
        *result = RValue_Undefined();
        return;
    }
    JS_NewObject(*result, nullptr, nullptr, 0, nullptr);
    PWObjectBase* object = result->obj;
    if (JS_IsAccessor(descriptor)) {
        SetDescriptorField(object, "get", FunctionOrUndefined(AccessorFunction(descriptor, 0)));
        SetDescriptorField(object, "set", FunctionOrUndefined(AccessorFunction(descriptor, 1)));
    } else {
        RValue value = *descriptor;  // the define takes its own references
        SetDescriptorField(object, "value", value);
        SetDescriptorField(object, "writable", RValue_Bool(descriptor->flags & JS_WRITABLE ? 1.0 : 0.0));
    }
    SetDescriptorField(object, "enumerable", RValue_Bool(descriptor->flags & JS_ENUMERABLE ? 1.0 : 0.0));
    SetDescriptorField(object, "configurable", RValue_Bool(descriptor->flags & JS_CONFIGURABLE ? 1.0 : 0.0));
}
