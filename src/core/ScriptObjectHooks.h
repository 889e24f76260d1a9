// What the value layer asks of the script object runtime. Until that runtime installs its
// own answers, the defaults answer as a game without script objects: strings convert to
// numbers by the script number grammar, objects have no properties and nothing is callable.
#pragma once

#include <cstdint>

struct RValue;
class CInstance;
class PWObjectBase;

// Native accessor functions: the getter and setter of a built-in variable row.
using NativeAccessorGetter = bool (*)(CInstance* self, int32_t index, RValue* out);
using NativeAccessorSetter = bool (*)(CInstance* self, int32_t index, RValue* value);

// The operators of script-object mode, as the interpreter's instructions select them.
enum class ScriptOperator : int32_t {
    Add,         // ToPrimitive, then concatenation or numeric sum
    NumericAdd,  // the numeric-only form of add
    Sub,
    Mul,
    Div,
    Mod,
    And,
    Or,
    Xor,
    Shl,
    Shr,  // arithmetic shift
    ShrUnsigned,
    Negate,  // unary minus (right unused)
    Plus,    // unary plus (right unused)
    LogicalNot,
    BitNot,
    Less,
    Greater,
    LessEqual,
    GreaterEqual,
    In,
    Equal,
    NotEqual,
    StrictEqual,
    StrictNotEqual,
};

// Status of the operations below: done, not available (no runtime), or a script exception is
// now pending (the interpreter's exception handling takes over).
constexpr int32_t SCRIPT_OP_DONE = 0;
constexpr int32_t SCRIPT_OP_UNAVAILABLE = 1;
constexpr int32_t SCRIPT_OP_THROWN = 2;

struct ScriptObjectHooks {
    // ToNumber: 0 converted (out is a real), 1 cannot be converted, any other value: a
    // script exception is pending.
    int32_t (*toNumber)(RValue* out, const RValue* in);
    // out receives the property found on the object or its prototype chain; it stays unset
    // when there is none.
    void (*getProperty)(PWObjectBase* object, RValue* out, const char* name);
    bool (*isCallable)(const RValue* value);
    // Calls function with object as this; result receives the return value.
    void (*callValue)(PWObjectBase* self, RValue* result, RValue* function, int32_t argc, RValue* args);
    // The object's visit stamp for the text form's cycle guard, null when it has none. The
    // default is the object base's own stamp.
    int64_t* (*visitStamp)(PWObjectBase* object);
    // The first object of the scope chain, null when there is none.
    PWObjectBase* (*scopeChainHead)();
    // Run an accessor property's getter or setter with object as this.
    void (*callGetter)(PWObjectBase* object, RValue* result, RValue* accessor);
    void (*callSetter)(PWObjectBase* object, RValue* value, RValue* accessor);
    // A new accessor property object over native functions; null when there is no runtime.
    PWObjectBase* (*createNativeAccessor)(NativeAccessorGetter getter, NativeAccessorSetter setter);
    // The name is one of the built-in global variables (instances get no accessor for it).
    bool (*isBuiltinGlobalName)(const char* name);
    // An operator on values (right is null for the unary ones); out receives a new value that
    // the caller owns: a bool for comparisons and logical not, else a number or a string.
    int32_t (*operate)(ScriptOperator op, RValue* out, const RValue* left, const RValue* right);
    // Member read object[key] (key a name or any value); out receives a value the caller owns.
    int32_t (*getMember)(RValue* out, const RValue* object, const RValue* key);
    // Member write object[key] = value; the value stays the caller's.
    int32_t (*putMember)(const RValue* object, const RValue* key, RValue* value);
    // delete object[key]: out receives the bool answer.
    int32_t (*deleteMember)(RValue* out, const RValue* object, const RValue* key);
    // The this value of a call as an object; out receives it.
    int32_t (*toObject)(RValue* out, const RValue* value);
    // The arguments object of a call of callee, null when there is no runtime.
    PWObjectBase* (*newArguments)(PWObjectBase* callee, int32_t argc, RValue* args);
};

const ScriptObjectHooks& ScriptObjects();
// Installs a runtime's hooks (copied); null restores the defaults. Null members keep theirs.
void ScriptObjects_Install(const ScriptObjectHooks* hooks);

// The default ToNumber: reals, bools and integers as numbers, undefined NaN, null 0,
// strings by the number grammar (white space, sign, decimal with exponent, "Infinity",
// "0x" hexadecimal; anything else NaN, blank 0); other kinds cannot be converted.
int32_t ScriptObjects_DefaultToNumber(RValue* out, const RValue* in);
// The number grammar alone, for a NUL-terminated text.
double ScriptNumber_FromText(const char* text);
