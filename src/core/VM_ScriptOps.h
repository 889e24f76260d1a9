// The script-object forms of the interpreter's operators: the operands go to the script object
// runtime as values, and a script exception it throws is left to the run loop.
#pragma once

#include <cstdint>

#include "core/ScriptObjectHooks.h"
#include "core/VMBuffer.h"

// How the result goes back on the stack.
enum class VMScriptResult { Value, Bool };

// Applies op to the items on top of the stack (the right operand, of type t1, on top and the
// left, of type t2, beneath; a unary operator takes the top item of type t1 only) and puts the
// result in their place: a 16-byte value, or a 4-byte b for Bool. When the runtime throws, the
// operands are popped and nothing is pushed.
uint8_t* VM_ScriptOperator(ScriptOperator op, bool unary, VMScriptResult form, uint32_t t1, uint32_t t2,
                           uint8_t* sp, VMExecContext* ctx, const char* handler);
