// What the native functions of String, Math, Boolean, Number, Date, RegExp and JSON share: the
// this object of a method, the objects' own primitive values, and small steps of making them.
#pragma once

#include <cstdint>

#include "script/JS_Object.h"

// The object a method runs on (the interpreter passes this as the calling instance).
inline PWObjectBase* JS_ThisObject(CInstance* self) {
    return reinterpret_cast<PWObjectBase*>(self);
}
// An object value (flags 0); undefined for null.
RValue JS_ObjectValue(PWObjectBase* object);
// The object's own "[[PrimitiveValue]]", or null (also for a null object).
const RValue* JS_OwnPrimitive(PWObjectBase* object);
// Whether the object's own "[[Class]]" is the name.
bool JS_HasClass(PWObjectBase* object, const char* className);

// A new ordinary object of the class (prototype Object.prototype as it stands now).
PWObjectBase* JS_NewClassObject(const char* className);
// Slot 0 of the constructor holds the prototype, with the flags; the prototype's "constructor"
// (no attributes) points back.
void JS_LinkConstructor(PWObjectBase* constructor, PWObjectBase* prototype, uint32_t slotFlags);
// The global object's property (no attributes).
void JS_AddGlobal(const char* name, PWObjectBase* object);
