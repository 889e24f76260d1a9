// The standard objects of object mode: the start-up chain and the step that makes each
// constructor or object. The steps run once, in the chain's order, because every object made
// later copies the well-known prototypes (g_JSStandard) as they stand when it is created.
#pragma once

#include <cstdint>

#include "core/Code_Function.h"

struct RValue;
class CInstance;
class PWObjectBase;

// Runs the whole chain: Function.prototype, the global and namespace objects, Object, Array,
// String, Math, Boolean, the error kinds, Number, Date, RegExp, JSON.
void JS_InitStandardObjects();
// The resource object under the global object's "resource" (after the last chunk).
void JS_CreateResourceObject();
// Forgets the well-known objects at the end of a run: they die with the run's global object, and
// the next run (another game, or none in object mode) must not mark or copy them.
void JS_ForgetStandardObjects();

// The steps, in chain order.
void JS_SetupFunctionPrototype();
void JS_CreateGlobalObject();
void JS_SetupObjectConstructor();
void JS_SetupArrayConstructor();
void JS_SetupStringConstructor();
void JS_SetupMathObject();
void JS_SetupBooleanConstructor();
void JS_SetupErrorConstructors();
void JS_SetupNumberConstructor();
void JS_SetupDateConstructor();
void JS_SetupRegExpConstructor();
void JS_SetupJSONObject();

// The global functions the global object holds (length 0).
void JS_Global_parseInt(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void JS_Global_parseFloat(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
// decodeURI, decodeURIComponent, encodeURI, encodeURIComponent and the other functions the
// runtime names without providing.
void JS_Unimplemented(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);

// --- Building blocks of the steps -------------------------------------------------------

// A Function object over a native procedure: prototype Function.prototype (as it stands now),
// class "Function", extensible, callable through "[[Call_Cpp]]", the default has-instance
// hook, "[[Construct]]" = the ordinary-object constructor when constructible, and "length".
PWObjectBase* JS_CreateNativeFunction(BuiltinProc function, int32_t length, bool constructible);
// An accessor property record whose getter and setter are native Function objects (length 0)
// over the two procedures; a null procedure leaves its half empty.
PWObjectBase* JS_CreateFunctionAccessor(BuiltinProc getter, BuiltinProc setter);
// Adds a native Function object of that length under the name, with the attributes; answers it.
PWObjectBase* JS_AddNativeMethod(PWObjectBase* object, const char* name, BuiltinProc function, int32_t length,
                                 uint32_t attributes);
// A new ordinary object (prototype Object.prototype as it stands now).
PWObjectBase* JS_NewOrdinaryObject();
// Sets the object's own "[[Prototype]]": the prototype, or null for none.
void JS_SetPrototypeLink(PWObjectBase* object, PWObjectBase* prototype);
// Stores a constructor's prototype object in its prototype slot (slot 0) with the attributes.
void JS_SetPrototypeSlot(PWObjectBase* constructor, PWObjectBase* prototype, uint32_t attributes);
// Adds the three default hooks of ordinary objects.
void JS_AddDefaultHooks(PWObjectBase* object);
// One error kind: its prototype (stored through prototypeOut, inheriting from parent) and its
// constructor, which is answered.
PWObjectBase* JS_CreateErrorConstructor(const char* name, BuiltinProc function, PWObjectBase** prototypeOut,
                                        PWObjectBase* parent);
