// Script objects: ES5-style objects kept on the object base. What ES5 holds in internal
// slots lives here in named properties with double-bracket names; the property attributes
// sit in the flags word of each stored value; an accessor property is an object of class 2
// whose slot 0 is the getter and slot 1 the setter. Per-class hooks are pointer properties
// found up the prototype chain.
#pragma once

#include <cstdint>

#include "core/Code_Function.h"
#include "core/ObjectBase.h"
#include "core/Value.h"

// Attribute bits of a property value's flags word.
constexpr uint32_t JS_ENUMERABLE = 1;
constexpr uint32_t JS_CONFIGURABLE = 2;
constexpr uint32_t JS_WRITABLE = 4;
constexpr uint32_t JS_ATTRIBUTES = JS_ENUMERABLE | JS_CONFIGURABLE | JS_WRITABLE;

// Reserved slots: a script object's "prototype" and an Array or Arguments element store.
constexpr int32_t JS_SLOT_PROTOTYPE = 0;
constexpr int32_t JS_SLOT_ELEMENTS = 1;

// Answers of the operations that may run script code: done, failed (the caller raises its
// own TypeError), an exception is propagating.
constexpr int32_t JS_DONE = 0;
constexpr int32_t JS_FAILED = 1;
constexpr int32_t JS_EXCEPTION = 2;

// The per-class hooks.
using JSGetOwnPropertyHook = void (*)(PWObjectBase* object, RValue* result, const char* name);
using JSDefineOwnPropertyHook = int32_t (*)(PWObjectBase* object, const char* name, RValue* descriptor,
                                            bool throwFlag);
using JSDeleteHook = void (*)(PWObjectBase* object, RValue* result, const char* name, bool throwFlag);
using JSHasInstanceHook = int32_t (*)(PWObjectBase* function, RValue* value);

// The objects every constructor reads; the standard objects fill them at start-up and until
// then they are null. They are roots of the object collector.
struct JSStandardObjects {
    PWObjectBase* global = nullptr;
    PWObjectBase* objectPrototype = nullptr;
    PWObjectBase* functionPrototype = nullptr;
    PWObjectBase* booleanPrototype = nullptr;
    PWObjectBase* stringPrototype = nullptr;
    PWObjectBase* datePrototype = nullptr;
    PWObjectBase* arrayPrototype = nullptr;
    PWObjectBase* numberPrototype = nullptr;
    PWObjectBase* regExpPrototype = nullptr;
    // The Object constructor, and the namespace object that exposes the built-in functions,
    // constants and global variables behind the global object on the scope chain.
    PWObjectBase* objectConstructor = nullptr;
    PWObjectBase* namespaceObject = nullptr;
    // Error, EvalError, RangeError, ReferenceError, SyntaxError, TypeError, URIError.
    PWObjectBase* errorPrototypes[7] = {};
    // The wrapper constructors behind ToObject: each makes the wrapper of arguments[0].
    BuiltinProc numberConstructor = nullptr;
    BuiltinProc stringConstructor = nullptr;
    BuiltinProc booleanConstructor = nullptr;
};
extern JSStandardObjects g_JSStandard;

// --- Making objects ---------------------------------------------------------------------

// result = a new ordinary object: prototype Object.prototype, class "Object", extensible, the
// default hooks. Also the default "[[Construct]]" of native functions (the rest is ignored).
void JS_NewObject(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
// A new object with the instance-variable slots (at least two) and nothing else.
PWObjectBase* JS_NewBareObject();
// A new accessor record: two unset slots, class 2.
PWObjectBase* JS_NewAccessorRecord();

// --- Own storage ------------------------------------------------------------------------

// The value stored on the object itself under the name: its named-list node, else its
// instance-variable slot when that is set; null when neither. Runs no hook and no getter.
RValue* JS_FindOwnValue(PWObjectBase* object, const char* name);
// The instance-variable slot index of the name on this object, or -1.
int32_t JS_OwnSlotIndex(PWObjectBase* object, const char* name);
// The object's own "[[Prototype]]" when it is a non-null object, else null.
PWObjectBase* JS_PrototypeOf(PWObjectBase* object);
// The object's own "[[Class]]" text, or null.
const char* JS_ClassOf(PWObjectBase* object);

// --- Hook dispatch and the prototype chain ----------------------------------------------

void JS_GetOwnProperty(PWObjectBase* object, RValue* result, const char* name);
// The property found on the object or up its chain (a plain copy, no reference taken); unset
// when none has it.
void JS_GetProperty(PWObjectBase* object, RValue* result, const char* name);
int32_t JS_DefineOwnProperty(PWObjectBase* object, const char* name, RValue* descriptor, bool throwFlag);
// The nearest "[[GetOwnProperty]]" hook of the chain; null when none (found = false) or a null
// one (found = true) is found.
JSGetOwnPropertyHook JS_FindGetOwnPropertyHook(PWObjectBase* object, bool* found = nullptr);

// --- Kind tests -------------------------------------------------------------------------

bool JS_IsFunctionObject(PWObjectBase* object);
bool JS_IsCallable(const RValue* value);
inline bool JS_IsUnsetValue(const RValue* value) {
    return RValue_IsUnset(value);
}
inline bool JS_IsAccessor(const RValue* value) {
    return RValue_IsObject(value) && value->obj != nullptr &&
           value->obj->objectClass == OBJECT_CLASS_ACCESSOR;
}
inline bool JS_IsDataValue(const RValue* value) {
    return RValue_Kind(value) != VALUE_UNDEFINED && !RValue_IsUnset(value) && !JS_IsAccessor(value);
}
// Missing for the property operations: undefined or unset.
inline bool JS_IsAbsent(const RValue* value) {
    return RValue_Kind(value) == VALUE_UNDEFINED || RValue_IsUnset(value);
}
bool JS_IsPrimitive(const RValue* value);

// The built-in variables that belong to the global object rather than to instances.
bool JS_IsBuiltinGlobalName(const char* name);

// Internal property names.
extern const char* const JS_PROTOTYPE;
extern const char* const JS_CLASS;
extern const char* const JS_EXTENSIBLE;
extern const char* const JS_PRIMITIVE_VALUE;
extern const char* const JS_PRIMITIVE_VALUE_UTF16;
extern const char* const JS_GET_OWN_PROPERTY;
extern const char* const JS_DEFINE_OWN_PROPERTY;
extern const char* const JS_DELETE;
extern const char* const JS_HAS_INSTANCE;
extern const char* const JS_CONSTRUCT;
extern const char* const JS_CALL_SCRIPT;
extern const char* const JS_CALL_CPP;
extern const char* const JS_CALL_CPP_BUILTIN;
extern const char* const JS_SCOPE;
extern const char* const JS_CODE;
extern const char* const JS_FORMAL_PARAMETERS;
