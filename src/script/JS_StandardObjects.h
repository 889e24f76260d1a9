// The standard objects of object mode: the start-up chain and the step that makes each
// constructor or object. The steps run once, in the chain's order, because every object made
// later copies the well-known prototypes (g_JSStandard) as they stand when it is created.
#pragma once

#include <cstdint>

#include "core/Code_Function.h"

struct RValue;
class CInstance;

// Runs the whole chain: Function.prototype, the global and namespace objects, Object, Array,
// String, Math, Boolean, the error kinds, Number, Date, RegExp, JSON.
void JS_InitStandardObjects();
// The resource object under the global object's "resource" (after the last chunk).
void JS_CreateResourceObject();

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
