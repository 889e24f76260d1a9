// The built-ins through which code compiled for script objects reaches the runtime: literals,
// new, delete, typeof, instanceof, this, other and the global scope, for-in, the exception
// statements and script references, plus the conformance-test hooks.
#pragma once

#include <cstdint>

#include "script/JS_Object.h"

// Registers them all (every start-up, whatever the game's mode).
void JS_RegisterVMHelpers();

void F_JS_New(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_Delete(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_InstanceOf(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_This(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_Other(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_GlobalScope(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_NewHVSArray(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_NewArray(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_NewObjectLiteral(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_NewProperty(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
