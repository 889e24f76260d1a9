// Array objects. The elements live in an element store (slot 1 of the Array): an object whose
// fixed slot array holds them, its slot count being the Array's length and its capacity the
// slots allocated; an unset slot is a hole. "length" is an accessor over that store, and
// all-digit property names reach the store through the Array's own hooks.
#pragma once

#include <cstdint>

#include "script/JS_Object.h"

// result = a new Array of count holes (prototype Array.prototype as it stands now).
void JS_CreateArray(RValue& result, int32_t count);
// A new element store of count holes.
PWObjectBase* JS_NewElementStore(int32_t count);
// The slots allocated to the store (its length is its slot count).
int32_t JS_ArrayStore_Capacity(const PWObjectBase* store);
// Writes element index (writable and configurable), growing the store by half again (at
// least to index + 1) and filling the holes between the old length and index with undefined.
// False, with a RangeError thrown, when the store cannot grow that far.
bool JS_ArrayStore_Set(PWObjectBase* store, int64_t index, const RValue* value);
// Sets the store's length to exactly n slots: cut values are released, new ones undefined.
// False, with a RangeError thrown, when n slots cannot be allocated.
bool JS_ArrayStore_SetLength(PWObjectBase* store, uint32_t n);

// Member write by value key: an Array and a non-negative integral real write the element;
// anything else (or a refused element) defines a named property called by the key's text.
void JS_PutElement(PWObjectBase* object, const RValue* key, RValue* value);

// The Array hooks.
void JS_ArrayGetOwnProperty(PWObjectBase* object, RValue* result, const char* name);
int32_t JS_ArrayDefineOwnProperty(PWObjectBase* object, const char* name, RValue* descriptor, bool throwFlag);

// The object's "[[Class]]" is "Array".
bool JS_IsArrayObject(PWObjectBase* object);
// The element store of an Array object, or null for anything else.
PWObjectBase* JS_ArrayStoreOf(PWObjectBase* object);
// Element index of an all-digit name ("" is 0); -1 for one too large for any store.
int64_t JS_ElementIndexOfName(const char* name);

// The "length" accessor's halves and the constructor (call and construct alike).
void F_JS_ArrayLengthGet(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_ArrayLengthSet(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_Array(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_ArrayIsArray(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);

// Installs the methods of Array.prototype (the generic ones and those on the store).
void JS_AddArrayGenericMethods(PWObjectBase* prototype);
void JS_AddArrayStoreMethods(PWObjectBase* prototype);
