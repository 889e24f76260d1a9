// Calling function objects. A function object is callable through one of three internal
// properties: "[[Call_Script]]" (a script run by the interpreter with a fresh locals object
// chained to the function's "[[Scope]]"), "[[Call_Cpp]]" (a built-in procedure) or
// "[[Call_Cpp_Builtin]]" (a built-in variable's getter or setter, reached only as the getter
// or setter of an accessor property).
#pragma once

#include <cstdint>

#include "core/ScriptObjectHooks.h"
#include "script/JS_Object.h"

// Calls the function with self as this: a script or a built-in procedure; anything else
// calls nothing. JS_EXCEPTION when an exception is propagating afterwards, else JS_DONE.
int32_t JS_Call(PWObjectBase* self, RValue* result, PWObjectBase* function, int32_t argc, RValue* args);
// JS_Call for a value of kind object, else JS_FAILED and nothing is called.
int32_t JS_CallValue(PWObjectBase* self, RValue* result, const RValue* function, int32_t argc, RValue* args);

// The arguments object of a script call: length, the element store (slot 1, as large as the
// callee's "length" when that is more) and, unless noCallee, "callee".
void JS_CreateArgumentsObject(RValue* result, PWObjectBase* callee, int32_t argc, RValue* args,
                              bool noCallee);

// A function object over a built-in variable's getter (length 0) or setter (length 1).
PWObjectBase* JS_CreateAccessorFunction(void* accessor, int32_t length);
// An accessor record whose getter and setter call the native functions; a null one leaves its
// slot unset.
PWObjectBase* JS_CreateNativeAccessor(NativeAccessorGetter getter, NativeAccessorSetter setter);

// "[[Construct]]" of script functions: a new object whose prototype is the constructor's slot 0
// (null when that is no object), with the constructor run on it; its return value is dropped.
void JS_ScriptConstruct(RValue& result, CInstance* constructor, CInstance* other, int32_t argc, RValue* args);
// The default "[[HasInstance]]": 1 when the function's slot-0 prototype is on the value's
// chain, 0 when not or the value is no object, 2 when slot 0 holds no object.
int32_t JS_HasInstance(PWObjectBase* function, RValue* value);
// "@@script_ref@@": a function object for the script id (script index + 100000), closing over
// the running call's locals. An unknown id leaves the result untouched.
void JS_CreateScriptFunction(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);

// Does nothing at all (the result is left as it is).
void JS_NativeNoOp(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
// result = undefined.
void JS_NativeReturnUndefined(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
