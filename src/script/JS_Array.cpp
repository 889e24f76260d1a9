#include "script/JS_Array.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/MemoryManager.h"
#include "core/Value_Convert.h"
#include "script/JS_Element.h"
#include "script/JS_Exception.h"
#include "script/JS_Number.h"
#include "script/JS_Property.h"
#include "script/JS_StandardObjects.h"

namespace {

// Slots are 16-byte values and a block size must fit in 32 bits.
constexpr uint64_t kMaxStoreBytes = UINT32_MAX;

void SetUnset(RValue* value) {
    value->v64 = 0;
    value->flags = 0;
    value->kind = VALUE_UNSET;
}

// Reallocates the slot array to exactly capacity slots (0 frees it); the new slots are unset.
void Reallocate(PWObjectBase* store, uint32_t capacity) {
    const int32_t old = JS_ArrayStore_Capacity(store);
    if (capacity == 0) {
        if (store->slots != nullptr) MEM_FREE(store->slots);
        store->slots = nullptr;
        store->slotCapacity = 0;
        return;
    }
    const uintptr_t oldBase = reinterpret_cast<uintptr_t>(store->slots);
    auto* slots = static_cast<RValue*>(MEM_REALLOC(store->slots, sizeof(RValue) * uint64_t(capacity)));
    if (slots == nullptr) OutOfMemory_Handler(static_cast<int64_t>(sizeof(RValue) * uint64_t(capacity)));
    store->slots = slots;
    const int32_t kept = old < static_cast<int32_t>(capacity) ? old : static_cast<int32_t>(capacity);
    if (oldBase != 0) RValue_RelocateRange(slots, kept, oldBase);
    for (uint32_t i = static_cast<uint32_t>(kept); i < capacity; ++i) SetUnset(&slots[i]);
    store->slotCapacity = static_cast<int32_t>(capacity);
}

bool Fits(uint64_t capacity) {
    return capacity * sizeof(RValue) <= kMaxStoreBytes;
}

// The undefined left where the store grew past holes nobody wrote.
void FillUndefined(PWObjectBase* store, int32_t from, int32_t to) {
    for (int32_t i = from; i < to; ++i)
        if (RValue_IsUnset(store->slots[i])) store->slots[i] = RValue_Undefined();
}

void SetObjectSlot(PWObjectBase* object, int32_t slot, PWObjectBase* value, uint32_t flags) {
    RValue* cell = object->GetSlot(slot);
    RValue_Release(cell);
    cell->obj = value;
    cell->kind = VALUE_OBJECT;
    cell->flags = flags;
}

}  // namespace

// --- The store --------------------------------------------------------------------------

PWObjectBase* JS_NewElementStore(int32_t count) {
    if (count < 0) count = 0;
    PWObjectBase* store = PWObjectBase_Alloc(count, VALUE_UNSET, true);
    if (store->slots == nullptr) store->slotCapacity = 0;
    // A pooled object may bring a longer array than asked for: what lies past the count is
    // spare capacity, and holes.
    for (int32_t i = 0; i < JS_ArrayStore_Capacity(store); ++i) {
        if (i < count) RValue_Release(&store->slots[i]);
        SetUnset(&store->slots[i]);
    }
    return store;
}

int32_t JS_ArrayStore_Capacity(const PWObjectBase* store) {
    return store->slots != nullptr ? store->slotCapacity : 0;
}

bool JS_ArrayStore_Set(PWObjectBase* store, int64_t index, const RValue* value) {
    if (index < 0) return false;
    // The value may live in this very store, which growth moves.
    RValue copy = RValue_Undefined();
    RValue_Assign(&copy, value);
    const uint64_t capacity = static_cast<uint64_t>(JS_ArrayStore_Capacity(store));
    if (static_cast<uint64_t>(index) >= capacity) {
        uint64_t grown = capacity * 3 / 2;
        if (grown <= static_cast<uint64_t>(index)) grown = static_cast<uint64_t>(index) + 1;
        if (!Fits(grown)) {
            RValue_Release(&copy);
            JS_ThrowRangeError("Unable to resize array");
            return false;
        }
        Reallocate(store, static_cast<uint32_t>(grown));
    }
    const int32_t at = static_cast<int32_t>(index);
    if (at >= store->slotCount) {
        FillUndefined(store, store->slotCount, at);
        store->slotCount = at + 1;
    }
    RValue* slot = &store->slots[at];
    RValue_Release(slot);
    RValue_Move(slot, &copy);
    slot->flags = JS_WRITABLE | JS_CONFIGURABLE;
    return true;
}

bool JS_ArrayStore_SetLength(PWObjectBase* store, uint32_t n) {
    if (!Fits(n)) {
        JS_ThrowRangeError("Unable to resize array");
        return false;
    }
    const int32_t length = store->slotCount;
    for (int32_t i = static_cast<int32_t>(n); i < length; ++i) {
        RValue_Release(&store->slots[i]);
        SetUnset(&store->slots[i]);
    }
    Reallocate(store, n);
    if (static_cast<int32_t>(n) > length) FillUndefined(store, length, static_cast<int32_t>(n));
    store->slotCount = static_cast<int32_t>(n);
    return true;
}

// --- Arrays -----------------------------------------------------------------------------

bool JS_IsArrayObject(PWObjectBase* object) {
    const char* cls = object != nullptr ? JS_ClassOf(object) : nullptr;
    return cls != nullptr && std::strcmp(cls, "Array") == 0;
}

PWObjectBase* JS_ArrayStoreOf(PWObjectBase* object) {
    return JS_IsArrayObject(object) ? JS_ElementStore(object) : nullptr;
}

int64_t JS_ElementIndexOfName(const char* name) {
    if (*name == '\0') return 0;
    while (*name == '0' && name[1] != '\0') ++name;
    if (std::strlen(name) > 12) return -1;
    return std::strtoll(name, nullptr, 10);
}

void JS_CreateArray(RValue& result, int32_t count) {
    JS_NewObject(result, nullptr, nullptr, 0, nullptr);
    PWObjectBase* array = result.obj;
    JS_SetPrototypeLink(array, g_JSStandard.arrayPrototype);
    array->AddString(JS_CLASS, "Array", 0);
    array->AddPointer(JS_GET_OWN_PROPERTY, reinterpret_cast<void*>(JS_ArrayGetOwnProperty), 0);
    array->AddPointer(JS_DEFINE_OWN_PROPERTY, reinterpret_cast<void*>(JS_ArrayDefineOwnProperty), 0);
    array->AddObject("length", JS_CreateFunctionAccessor(F_JS_ArrayLengthGet, F_JS_ArrayLengthSet),
                     JS_WRITABLE | JS_CONFIGURABLE);
    PWObjectBase* constructorHolder = JS_NewOrdinaryObject();
    constructorHolder->AddObject("constructor", array, JS_WRITABLE | JS_CONFIGURABLE);
    SetObjectSlot(array, JS_SLOT_PROTOTYPE, constructorHolder, 0);
    SetObjectSlot(array, JS_SLOT_ELEMENTS, JS_NewElementStore(count), 0);
}

void JS_PutElement(PWObjectBase* object, const RValue* key, RValue* value) {
    if (object == nullptr) return;
    if (RValue_IsReal(key) && key->val >= 0 && std::trunc(key->val) == key->val) {
        if (PWObjectBase* store = JS_ArrayStoreOf(object)) {
            if (key->val < 4294967296.0 && JS_ArrayStore_Set(store, static_cast<int64_t>(key->val), value))
                return;
        }
    }
    RValue name = RValue_Undefined();
    if (JS_ToString(&name, key) != JS_DONE) {
        RValue_Release(&name);
        return;
    }
    const char* text = RValue_GetStringText(&name);
    RValue descriptor = *value;
    descriptor.flags = JS_ATTRIBUTES;
    JS_DefaultDefineOwnProperty(object, text != nullptr ? text : "", &descriptor, false);
    RValue_Release(&name);
}

void JS_ArrayGetOwnProperty(PWObjectBase* object, RValue* result, const char* name) {
    if (!JS_IsElementName(name)) {
        JS_DefaultGetOwnProperty(object, result, name);
        return;
    }
    PWObjectBase* store = JS_ArrayStoreOf(object);
    const int64_t index = JS_ElementIndexOfName(name);
    if (store == nullptr || index < 0 || index >= store->slotCount) {
        *result = RValue_Undefined();
        return;
    }
    // A plain copy, attribute byte included; a hole reads as absent.
    *result = store->slots[index];
}

int32_t JS_ArrayDefineOwnProperty(PWObjectBase* object, const char* name, RValue* descriptor,
                                  bool throwFlag) {
    if (!JS_IsElementName(name)) return JS_DefaultDefineOwnProperty(object, name, descriptor, throwFlag);
    const int64_t index = JS_ElementIndexOfName(name);
    const RValue key = RValue_Real(index >= 0 ? static_cast<double>(index) : 4294967296.0);
    if (index < 0) {
        // Too long for an index: a named property of that name.
        RValue copy = *descriptor;
        copy.flags = JS_ATTRIBUTES;
        return JS_DefaultDefineOwnProperty(object, name, &copy, throwFlag);
    }
    JS_PutElement(object, &key, descriptor);
    return 1;
}

// --- length -----------------------------------------------------------------------------

void F_JS_ArrayLengthGet(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    PWObjectBase* store = JS_ArrayStoreOf(reinterpret_cast<PWObjectBase*>(self));
    RValue_SetReal(&result, store != nullptr ? store->slotCount : 0);
}

void F_JS_ArrayLengthSet(RValue&, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    const RValue undefined = RValue_Undefined();
    const uint32_t n = Arg_GetUInt32(argc > 0 ? args : &undefined, 0);
    if (PWObjectBase* store = JS_ArrayStoreOf(reinterpret_cast<PWObjectBase*>(self)))
        JS_ArrayStore_SetLength(store, n);
}

// --- The constructor --------------------------------------------------------------------

void F_JS_Array(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (argc == 1) {
        const uint32_t kind = RValue_Kind(args[0]);
        double n = -1;
        bool count = true;
        if (kind == VALUE_REAL)
            n = args[0].val;
        else if (kind == VALUE_INT32)
            n = args[0].v32;
        else if (kind == VALUE_INT64)
            n = static_cast<double>(args[0].v64);
        else
            count = false;
        if (count) {
            if (!(n >= 0 && n <= 4294967295.0 && std::trunc(n) == n)) {
                JS_ThrowRangeError("NoMessage");
                return;
            }
            // A length whose slots cannot be allocated is refused rather than ending the run.
            if (n * sizeof(RValue) > static_cast<double>(kMaxStoreBytes)) {
                JS_ThrowRangeError("Unable to resize array");
                return;
            }
            RValue_Release(&result);
            JS_CreateArray(result, static_cast<int32_t>(n));
            return;
        }
        RValue_Release(&result);
        JS_CreateArray(result, 1);
        RValue* element = &JS_ElementStore(result.obj)->slots[0];
        RValue_Assign(element, &args[0]);
        element->flags = args[0].flags;
        return;
    }
    RValue_Release(&result);
    JS_CreateArray(result, argc);
    PWObjectBase* store = JS_ElementStore(result.obj);
    for (int32_t i = 0; i < argc; ++i) {
        RValue_Assign(&store->slots[i], &args[i]);
        store->slots[i].flags = JS_WRITABLE | JS_CONFIGURABLE;
    }
}

void F_JS_ArrayIsArray(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const bool answer = argc > 0 && RValue_IsObject(args[0]) && JS_IsArrayObject(args[0].obj);
    RValue_SetBool(&result, answer);
}

void JS_SetupArrayConstructor() {
    PWObjectBase* prototype = JS_NewOrdinaryObject();
    prototype->AddString(JS_CLASS, "[[Array]]", 0);
    g_JSStandard.arrayPrototype = prototype;
    PWObjectBase* constructor = JS_CreateNativeFunction(F_JS_Array, 0, false);
    constructor->AddPointer(JS_CONSTRUCT, reinterpret_cast<void*>(F_JS_Array), 0);
    JS_AddNativeMethod(constructor, "isArray", F_JS_ArrayIsArray, 0, 0);
    JS_SetPrototypeSlot(constructor, prototype, 0);
    prototype->AddObject("constructor", constructor, 0);
    JS_AddArrayGenericMethods(prototype);
    JS_AddArrayStoreMethods(prototype);
    if (g_JSStandard.global != nullptr) g_JSStandard.global->AddObject("Array", constructor, 0);
}
