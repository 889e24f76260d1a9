// Indexed elements of Array and Arguments objects, kept in an element store: an object in
// slot 1 whose variable slots are the elements.
#pragma once

#include "script/JS_Object.h"

// Reads a member by value key: an Array by index, anything else by the key value itself in
// its named list. False when the object (or the named member) is not there. The copy takes
// references.
bool JS_GetElement(const RValue* object, const RValue* key, RValue* result);

// A property name of decimal digits only; the empty name passes and means index 0.
bool JS_IsElementName(const char* name);
// The element store of an Array or Arguments object, or null.
PWObjectBase* JS_ElementStore(PWObjectBase* object);

// The Arguments "[[GetOwnProperty]]" hook: numeric names below the element count read the store.
void JS_ArgumentsGetOwnProperty(PWObjectBase* object, RValue* result, const char* name);
// The Arguments element write of [[Put]] for an existing own property.
void JS_ArgumentsPut(PWObjectBase* object, RValue* value, const char* name);
