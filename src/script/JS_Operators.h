// The interpreter's operators, member reads and writes in script-object mode, as the core
// reaches them through its script object hooks.
#pragma once

#include <cstdint>

#include "core/ScriptObjectHooks.h"

// op on left and right (right null for the unary operators): SCRIPT_OP_DONE with a new value
// in out (the caller's), or SCRIPT_OP_THROWN with a ReferenceError or TypeError (or whatever a
// conversion threw) pending.
int32_t JS_Operate(ScriptOperator op, RValue* out, const RValue* left, const RValue* right);
// object[key]: a number key on an Array reads its element store, any other key is converted
// to text and read through the prototype chain (getters run). A primitive is read through its
// wrapper object; undefined and null throw a TypeError.
int32_t JS_GetMember(RValue* out, const RValue* object, const RValue* key);
// delete object[key] through the object's [[Delete]] without throwing mode: out becomes its
// bool answer; a primitive answers true, undefined and null throw a TypeError.
int32_t JS_DeleteMember(RValue* out, const RValue* object, const RValue* key);
// object[key] = value through [[Put]] without throwing mode; undefined and null throw a
// TypeError, a write to another primitive changes nothing.
int32_t JS_PutMember(const RValue* object, const RValue* key, RValue* value);
