// Script exceptions: try handlers kept per interpreter call frame, the one exception state of
// the runtime, the search for a handler across nested interpreter runs and native calls, and
// the error objects native code throws.
//
// The thrown value, the "unwinding toward a handler" flag and the chosen run are the
// interpreter's (VM_PendingException: pending, catcher, position, value); the runtime adds
// the flag that stays set from a throw to the end of the catch that takes it.
#pragma once

#include <cstdint>

#include "script/JS_Object.h"

// One active try statement: byte offsets from the start of its code, -1 for none.
struct JS_TryHandler {
    JS_TryHandler* next;
    int32_t catchOffset;
    int32_t finallyOffset;
};

// Set from a throw to the end of the catch that takes it.
bool JS_ExceptionPending();
// The thrown value (plain view; the state keeps its references).
const RValue* JS_PendingValue();
// Forgets every handler and the exception state (a game's end, tests).
void JS_ResetExceptions();

// Throws value (copied, references taken) exactly as "@@throw@@".
void JS_Throw(const RValue* value);
// Looks for a handler of the thrown value from the running interpreter run outward.
void JS_UnwindToHandler();
// The top handler of the running run's current frame, or null.
JS_TryHandler* JS_CurrentTryHandler();

// Error objects of the seven kinds; argument 0, when given, is the message.
void JS_CreateError(const char* kindName, PWObjectBase* kindPrototype, RValue& result, CInstance* self,
                    CInstance* other, int32_t argc, RValue* args);
void F_JS_Error(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_EvalError(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_RangeError(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_ReferenceError(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_SyntaxError(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_TypeError(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_URIError(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);

// Make an error of the kind with the message and throw it. The caller then answers its own
// failure status so that the native layers unwind.
void JS_ThrowTypeError(const char* message);
void JS_ThrowSyntaxError(const char* message);
void JS_ThrowRangeError(const char* message);
void JS_ThrowReferenceError(const char* message);

// The exception built-ins and the conformance-test hook.
void F_JS_TryHook(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_TryUnhook(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_ThrowValue(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_FinishCatch(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_FinishFinally(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
void F_JS_TestError(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);
