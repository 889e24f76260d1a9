// Property access and definition on script objects: [[Get]] with getters, the default
// own-property read, [[CanPut]], the default [[DefineOwnProperty]] and [[Delete]], and the
// conversion between descriptor objects and stored values.
//
// A descriptor is one value: a data descriptor is the value itself and an accessor
// descriptor an accessor record, each with all three attribute bits in its flags word.
#pragma once

#include <cstdint>

#include "script/JS_Exception.h"
#include "script/JS_Object.h"

// [[Get]]: the property found on the object or up its chain; an accessor answers its getter's
// result, the getter running with the object as this. Unset when nothing has the property.
// A stored value is copied plainly (no reference taken); a getter's result is the getter's.
void JS_Get(PWObjectBase* object, RValue* result, const char* name);
// The object's own property as stored, accessor records included, for objects served by the
// default hook or by none (instances, bare objects: their storage is all there is); through
// the object's hook otherwise. The write operations need an own accessor as an accessor, with
// its attributes, not as its getter's value. Unset when there is none.
void JS_ReadOwnStored(PWObjectBase* object, RValue* result, const char* name);
void JS_CallGetter(PWObjectBase* object, RValue* result, const RValue* accessor);
void JS_CallSetter(PWObjectBase* object, RValue* value, const RValue* accessor);

// The "[[GetOwnProperty]]" hook of ordinary objects: an own accessor reads as its getter's
// result.
void JS_DefaultGetOwnProperty(PWObjectBase* object, RValue* result, const char* name);
bool JS_CanPut(PWObjectBase* object, const char* name);
// 1 done, 0 refused, 2 refused with throw asked for.
int32_t JS_DefaultDefineOwnProperty(PWObjectBase* object, const char* name, RValue* descriptor,
                                    bool throwFlag);
// The "[[Delete]]" hook of ordinary objects; the result is a bool.
void JS_DefaultDelete(PWObjectBase* object, RValue* result, const char* name, bool throwFlag);

bool JS_DescriptorValueEquals(const RValue* a, const RValue* b);
// JS_DONE, or JS_FAILED when the value is not a valid descriptor object. The descriptor owns
// what it holds (release it).
int32_t JS_ToPropertyDescriptor(RValue* descriptor, const RValue* value);
// A descriptor object for a stored descriptor; undefined for an absent one.
void JS_FromPropertyDescriptor(RValue* result, const RValue* descriptor);

// [[Put]]: the write of a named property, setters and element stores included. A refusal
// throws only with throwFlag.
void JS_Put(PWObjectBase* object, RValue* value, const char* name, bool throwFlag);
