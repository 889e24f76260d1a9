// Object.prototype, the root of every prototype chain, and the Object constructor with its
// reflective functions.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/RuntimeError.h"
#include "core/VariableList.h"
#include "script/JS_Array.h"
#include "script/JS_Call.h"
#include "script/JS_Convert.h"
#include "script/JS_Element.h"
#include "script/JS_Exception.h"
#include "script/JS_Number.h"
#include "script/JS_Property.h"
#include "script/JS_PropertyIterator.h"
#include "script/JS_StandardObjects.h"

namespace {

PWObjectBase* Self(CInstance* self) {
    return reinterpret_cast<PWObjectBase*>(self);
}

void SetObject(RValue& result, PWObjectBase* object) {
    RValue_Release(&result);
    result.obj = object;
    result.flags = 0;
    result.kind = VALUE_OBJECT;
}

// The first argument as the object O the Object functions need; null after throwing.
PWObjectBase* RequireObject(int32_t argc, RValue* args) {
    if (argc < 1 || !RValue_IsObject(args[0]) || args[0].obj == nullptr) {
        JS_ThrowTypeError("NoMessage");
        return nullptr;
    }
    return args[0].obj;
}

// The text of a property-name argument (undefined when missing). False when the conversion
// threw (the exception propagates) or failed (failMessage thrown, when given).
bool NameText(int32_t argc, RValue* args, int32_t n, std::string* name, const char* failMessage) {
    RValue text = RValue_Undefined();
    const RValue undefined = RValue_Undefined();
    const int32_t status = JS_ToString(&text, argc > n ? &args[n] : &undefined);
    if (status != JS_DONE) {
        RValue_Release(&text);
        if (status == JS_FAILED && failMessage != nullptr) JS_ThrowTypeError(failMessage);
        return false;
    }
    const char* chars = RValue_GetStringText(&text);
    name->assign(chars != nullptr ? chars : "");
    RValue_Release(&text);
    return true;
}

// The names of the object's own properties, internal ones left out: all of them, or only the
// enumerable ones.
std::vector<std::string> OwnNames(PWObjectBase* object, bool enumerableOnly) {
    std::vector<std::string> names;
    JS_PropertyIterator iterator(object, enumerableOnly ? 1 : 0);
    RValue name = RValue_Undefined();
    while (iterator.Next(&name)) {
        const char* text = RValue_GetStringText(&name);
        names.emplace_back(text != nullptr ? text : "");
        RValue_Release(&name);
    }
    return names;
}

bool IsArrayElement(PWObjectBase* object, const std::string& name) {
    const char* cls = JS_ClassOf(object);
    return cls != nullptr && std::strcmp(cls, "Array") == 0 && JS_IsElementName(name.c_str());
}

// Seal or freeze: clears the bits on every own property, then makes the object non-extensible.
void Restrict(PWObjectBase* object, uint32_t clearedBits) {
    for (const std::string& name : OwnNames(object, false)) {
        // An Array keeps its elements in the store: their attribute bytes change in place.
        if (IsArrayElement(object, name)) {
            PWObjectBase* store = JS_ElementStore(object);
            const int64_t index = name.empty() ? 0 : std::strtoll(name.c_str(), nullptr, 10);
            if (store != nullptr && index < store->slotCount && name.size() <= 10)
                store->GetSlot(static_cast<int32_t>(index))->flags &= ~clearedBits;
            continue;
        }
        RValue descriptor;
        JS_ReadOwnStored(object, &descriptor, name.c_str());
        if (RValue_IsUnset(descriptor)) continue;
        RValue copy = RValue_Undefined();
        RValue_Assign(&copy, &descriptor);
        copy.flags = descriptor.flags & ~clearedBits;
        const int32_t done = JS_DefaultDefineOwnProperty(object, name.c_str(), &copy, true);
        RValue_Release(&copy);
        if (done != 1) {
            JS_ThrowTypeError("NoMessage");
            return;
        }
    }
    RValue* extensible = object->FindName(JS_EXTENSIBLE);
    RValue_Release(extensible);
    *extensible = RValue_Real(0.0);
}

bool Extensible(PWObjectBase* object) {
    return object->IsExtensible();
}

// Object.defineProperties on O; false after throwing.
bool DefineProperties(PWObjectBase* object, const RValue* properties) {
    RValue source = RValue_Undefined();
    if (JS_ToObjectForDefineProperties(&source, properties) != JS_DONE || !RValue_IsObject(source) ||
        source.obj == nullptr) {
        RValue_Release(&source);
        JS_ThrowTypeError("NoMessage");
        return false;
    }
    std::vector<std::pair<std::string, RValue>> list;
    bool ok = true;
    for (const std::string& name : OwnNames(source.obj, true)) {
        RValue value;
        JS_Get(source.obj, &value, name.c_str());
        if (JS_ExceptionPending()) {
            ok = false;
            break;
        }
        RValue descriptor = RValue_Undefined();
        if (JS_ToPropertyDescriptor(&descriptor, &value) != JS_DONE) {
            JS_ThrowTypeError("NoMessage");
            ok = false;
            break;
        }
        list.emplace_back(name, descriptor);
    }
    for (auto& [name, descriptor] : list) {
        if (ok && JS_DefineOwnProperty(object, name.c_str(), &descriptor, true) != 1) {
            JS_ThrowTypeError("NoMessage");
            ok = false;
        }
        RValue_Release(&descriptor);
    }
    RValue_Release(&source);
    return ok;
}

// --- Object.prototype -------------------------------------------------------------------

void F_ObjectPrototype_ToString(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    const char* cls = Self(self) != nullptr ? JS_ClassOf(Self(self)) : "Undefined";
    const std::string text = std::string("[object ") + (cls != nullptr ? cls : "") + "]";
    RValue_SetString(&result, text.c_str());
}

void F_ObjectPrototype_ToLocaleString(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    PWObjectBase* object = Self(self);
    RValue method = RValue_Undefined();
    if (object != nullptr) JS_Get(object, &method, "toString");
    if (!RValue_IsObject(method) || !JS_IsCallable(&method)) {
        JS_ThrowTypeError("NoMessage");
        return;
    }
    JS_Call(object, &result, method.obj, 0, nullptr);
}

void F_ObjectPrototype_ValueOf(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    if (Self(self) != nullptr) SetObject(result, Self(self));
}

// The own property named by argument 0 (plain copy), unset when missing; false after a throw.
bool OwnPropertyOfArgument(CInstance* self, int32_t argc, RValue* args, RValue* own) {
    *own = RValue{{0}, 0, VALUE_UNSET};
    std::string name;
    if (!NameText(argc, args, 0, &name, "NoMessage")) return false;
    if (Self(self) != nullptr) JS_GetOwnProperty(Self(self), own, name.c_str());
    return true;
}

void F_ObjectPrototype_HasOwnProperty(RValue& result, CInstance* self, CInstance*, int32_t argc,
                                      RValue* args) {
    RValue own;
    if (!OwnPropertyOfArgument(self, argc, args, &own)) return;
    RValue_SetBool(&result, !RValue_IsUnset(own));
}

void F_ObjectPrototype_IsPrototypeOf(RValue& result, CInstance* self, CInstance*, int32_t argc,
                                     RValue* args) {
    bool found = false;
    if (argc > 0 && RValue_IsObject(args[0]) && args[0].obj != nullptr)
        for (PWObjectBase* p = JS_PrototypeOf(args[0].obj); p != nullptr && !found; p = JS_PrototypeOf(p))
            found = p == Self(self);
    RValue_SetBool(&result, found);
}

void F_ObjectPrototype_PropertyIsEnumerable(RValue& result, CInstance* self, CInstance*, int32_t argc,
                                            RValue* args) {
    RValue own;
    if (!OwnPropertyOfArgument(self, argc, args, &own)) return;
    const bool answer = !JS_IsAbsent(&own) && (own.flags & JS_ENUMERABLE) != 0;
    RValue_SetReal(&result, answer ? 1.0 : 0.0);
}

// --- The constructor --------------------------------------------------------------------

bool IsMissingValue(int32_t argc, RValue* args) {
    if (argc < 1) return true;
    const uint32_t kind = RValue_Kind(args[0]);
    return kind == VALUE_UNDEFINED || kind == VALUE_NULL || kind == VALUE_UNSET;
}

void F_Object_Call(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args) {
    if (IsMissingValue(argc, args)) {
        RValue_Release(&result);
        JS_NewObject(result, nullptr, nullptr, 0, nullptr);
        return;
    }
    if (F_JS_Object_ToObject(result, self, other, argc, args) != JS_DONE) JS_ThrowTypeError("NoMessage");
}

void F_Object_Construct(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    RValue_Release(&result);
    switch (argc > 0 ? RValue_Kind(args[0]) : VALUE_UNDEFINED) {
        case VALUE_REAL:
        case VALUE_STRING:
        case VALUE_INT32:
        case VALUE_INT64:
        case VALUE_BOOL:
            if (F_JS_ToObject(&result, &args[0]) != JS_DONE)
                JS_ThrowTypeError("Could not convert argument to new Object");
            return;
        case VALUE_OBJECT:
            if (args[0].obj != nullptr) {
                SetObject(result, args[0].obj);
                return;
            }
            break;
        default:
            break;
    }
    JS_NewObject(result, nullptr, nullptr, 0, nullptr);
}

// --- The Object functions ---------------------------------------------------------------

void F_Object_GetPrototypeOf(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* object = RequireObject(argc, args);
    if (object == nullptr) return;
    const RValue* link = JS_FindOwnValue(object, JS_PROTOTYPE);
    RValue_Release(&result);
    if (link == nullptr) {
        result.kind = VALUE_NULL;
        return;
    }
    RValue_Assign(&result, link);
    result.flags = 0;
}

void F_Object_GetOwnPropertyDescriptor(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* object = RequireObject(argc, args);
    if (object == nullptr) return;
    std::string name;
    if (!NameText(argc, args, 1, &name, "Could not convert property name to a string")) return;
    RValue descriptor;
    JS_ReadOwnStored(object, &descriptor, name.c_str());
    RValue_Release(&result);
    JS_FromPropertyDescriptor(&result, &descriptor);
}

void NamesArray(RValue& result, int32_t argc, RValue* args, bool enumerableOnly) {
    PWObjectBase* object = RequireObject(argc, args);
    if (object == nullptr) return;
    const std::vector<std::string> names = OwnNames(object, enumerableOnly);
    RValue_Release(&result);
    JS_CreateArray(result, static_cast<int32_t>(names.size()));
    PWObjectBase* store = JS_ElementStore(result.obj);
    for (size_t i = 0; i < names.size(); ++i) {
        RValue* element = store->GetSlot(static_cast<int32_t>(i));
        RValue_SetString(element, names[i].c_str());
        element->flags = JS_ATTRIBUTES;
    }
}

void F_Object_GetOwnPropertyNames(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    NamesArray(result, argc, args, false);
}

void F_Object_Keys(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    NamesArray(result, argc, args, true);
}

void F_Object_Create(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const uint32_t kind = argc > 0 ? RValue_Kind(args[0]) : VALUE_UNDEFINED;
    if (kind != VALUE_NULL && (kind != VALUE_OBJECT || args[0].obj == nullptr)) {
        JS_ThrowTypeError("NoMessage");
        return;
    }
    PWObjectBase* made = JS_NewOrdinaryObject();
    JS_SetPrototypeLink(made, kind == VALUE_OBJECT ? args[0].obj : nullptr);
    SetObject(result, made);
    if (argc > 1 && RValue_Kind(args[1]) != VALUE_UNDEFINED) DefineProperties(made, &args[1]);
}

void F_Object_DefineProperty(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* object = RequireObject(argc, args);
    if (object == nullptr) return;
    std::string name;
    if (!NameText(argc, args, 1, &name, "NoMessage")) return;
    RValue descriptor = RValue_Undefined();
    const RValue undefined = RValue_Undefined();
    if (JS_ToPropertyDescriptor(&descriptor, argc > 2 ? &args[2] : &undefined) != JS_DONE) {
        JS_ThrowTypeError("NoMessage");
        return;
    }
    const int32_t done = JS_DefineOwnProperty(object, name.c_str(), &descriptor, true);
    RValue_Release(&descriptor);
    if (done != 1) {
        if (!JS_ExceptionPending()) JS_ThrowTypeError("NoMessage");
        return;
    }
    SetObject(result, object);
}

void F_Object_DefineProperties(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* object = RequireObject(argc, args);
    if (object == nullptr) return;
    const RValue undefined = RValue_Undefined();
    if (DefineProperties(object, argc > 1 ? &args[1] : &undefined)) SetObject(result, object);
}

void F_Object_Seal(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* object = RequireObject(argc, args);
    if (object == nullptr) return;
    Restrict(object, JS_CONFIGURABLE);
    if (!JS_ExceptionPending()) SetObject(result, object);
}

void F_Object_Freeze(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* object = RequireObject(argc, args);
    if (object == nullptr) return;
    Restrict(object, JS_CONFIGURABLE | JS_WRITABLE);
    if (!JS_ExceptionPending()) SetObject(result, object);
}

void F_Object_PreventExtensions(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* object = RequireObject(argc, args);
    if (object == nullptr) return;
    RValue* extensible = object->FindName(JS_EXTENSIBLE);
    RValue_Release(extensible);
    *extensible = RValue_Real(0.0);
    SetObject(result, object);
}

// isSealed and isFrozen: the own enumerable properties and the extensibility.
bool Restricted(PWObjectBase* object, bool frozen) {
    for (const std::string& name : OwnNames(object, true)) {
        RValue stored;
        JS_ReadOwnStored(object, &stored, name.c_str());
        if (RValue_IsUnset(stored)) continue;
        if (stored.flags & JS_CONFIGURABLE) return false;
        if (frozen && !JS_IsAccessor(&stored) && (stored.flags & JS_WRITABLE) && !JS_IsAbsent(&stored))
            return false;
    }
    return !Extensible(object);
}

void F_Object_IsSealed(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (PWObjectBase* object = RequireObject(argc, args)) RValue_SetBool(&result, Restricted(object, false));
}

void F_Object_IsFrozen(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    if (PWObjectBase* object = RequireObject(argc, args)) RValue_SetBool(&result, Restricted(object, true));
}

void F_Object_IsExtensible(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    // An object without its own "[[Extensible]]" answers as the object base does (extensible).
    if (PWObjectBase* object = RequireObject(argc, args)) RValue_SetBool(&result, Extensible(object));
}

}  // namespace

void JS_SetupObjectConstructor() {
    PWObjectBase* prototype = JS_NewOrdinaryObject();
    prototype->AddNull(JS_PROTOTYPE, 0);
    g_JSStandard.objectPrototype = prototype;
    const uint32_t method = JS_WRITABLE | JS_CONFIGURABLE;

    PWObjectBase* constructor = JS_CreateNativeFunction(F_Object_Call, 1, false);
    constructor->AddPointer(JS_CONSTRUCT, reinterpret_cast<void*>(F_Object_Construct), 0);
    JS_SetPrototypeSlot(constructor, prototype, method);
    g_JSStandard.objectConstructor = constructor;

    prototype->AddObject("constructor", constructor, method);
    JS_AddNativeMethod(prototype, "toString", F_ObjectPrototype_ToString, 0, method);
    JS_AddNativeMethod(prototype, "toLocaleString", F_ObjectPrototype_ToLocaleString, 0, method);
    JS_AddNativeMethod(prototype, "valueOf", F_ObjectPrototype_ValueOf, 0, method);
    JS_AddNativeMethod(prototype, "hasOwnProperty", F_ObjectPrototype_HasOwnProperty, 0, method);
    JS_AddNativeMethod(prototype, "isPrototypeOf", F_ObjectPrototype_IsPrototypeOf, 0, method);
    JS_AddNativeMethod(prototype, "propertyIsEnumerable", F_ObjectPrototype_PropertyIsEnumerable, 0, method);

    static const struct {
        const char* name;
        BuiltinProc function;
        int32_t length;
    } kFunctions[] = {
        {"getPrototypeOf", F_Object_GetPrototypeOf, 1},
        {"getOwnPropertyDescriptor", F_Object_GetOwnPropertyDescriptor, 2},
        {"getOwnPropertyNames", F_Object_GetOwnPropertyNames, 1},
        {"create", F_Object_Create, 2},
        {"defineProperty", F_Object_DefineProperty, 3},
        {"defineProperties", F_Object_DefineProperties, 2},
        {"seal", F_Object_Seal, 1},
        {"freeze", F_Object_Freeze, 1},
        {"preventExtensions", F_Object_PreventExtensions, 1},
        {"isSealed", F_Object_IsSealed, 1},
        {"isFrozen", F_Object_IsFrozen, 1},
        {"isExtensible", F_Object_IsExtensible, 1},
        {"keys", F_Object_Keys, 1},
    };
    for (const auto& entry : kFunctions)
        JS_AddNativeMethod(constructor, entry.name, entry.function, entry.length, method);

    // Made before Object.prototype existed: they link to it now.
    for (PWObjectBase* early :
         {g_JSStandard.functionPrototype, g_JSStandard.global, g_JSStandard.namespaceObject})
        if (early != nullptr) JS_SetPrototypeLink(early, prototype);
    if (g_JSStandard.global != nullptr) g_JSStandard.global->AddObject("Object", constructor, 0);
}
