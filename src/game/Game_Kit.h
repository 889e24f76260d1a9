// What every compiled function of the game is built from: the stack-trace frame, frame values
// released on every way out, the unit's scratch result, slot and built-in variable access, calls
// of built-ins through the function reference table, with-statements, the epsilon comparisons,
// conditions, repeat counts and the inline compound assignments.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "core/CRuntimeCompat.h"
#include "core/Instance.h"
#include "core/StackTrace.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "core/WithIterator.h"
#include "game/Game_Link.h"

namespace hvs {

// The prologue and epilogue: links the function's node for as long as the function runs.
class Frame {
public:
    explicit Frame(const char* name) { StackTrace_Push(&m_node, name, 0); }
    ~Frame() { StackTrace_Pop(&m_node); }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
    void Line(int32_t line) { m_node.line = line; }

private:
    StackTraceNode m_node;
};

// Locals and temporaries of a frame: undefined at the start, released on the way out.
// Declared after the Frame, so they are released before the node is unlinked.
template <int N>
class Locals {
public:
    Locals() {
        for (RValue& v : m_values) v = RValue_Undefined();
    }
    ~Locals() {
        for (RValue& v : m_values) RValue_Release(&v);
    }
    Locals(const Locals&) = delete;
    Locals& operator=(const Locals&) = delete;
    RValue* operator[](int i) { return &m_values[i]; }

private:
    RValue m_values[N];
};

// The result slot of a unit's built-in calls; undefined between uses.
struct UnitScratch {
    RValue value;
    UnitScratch() : value(RValue_Undefined()) {}
    ~UnitScratch() { RValue_Release(&value); }
    UnitScratch(const UnitScratch&) = delete;
    UnitScratch& operator=(const UnitScratch&) = delete;
    RValue* operator&() { return &value; }
};

// A result consumed: converted or copied out, then the slot released back to undefined.
double TakeReal(RValue* result);
void Take(RValue* dest, RValue* result);
void Drop(RValue* result);

// Instance slots of non-built-in variables, by the slot number of the variable table.
inline RValue* Slot(CInstance* instance, int32_t slot) {
    return instance->SlotRef(slot);
}
inline double Real(RValue* value) {
    return RValue_ToReal(value);
}

// Built-in variables through the variable reference table; `index` is the element or
// ARRAY_INDEX_WHOLE.
void GetBuiltin(CInstance* self, int32_t ref, int32_t index, RValue* out);
double GetBuiltinReal(CInstance* self, int32_t ref, int32_t index = ARRAY_INDEX_WHOLE);
void SetBuiltin(CInstance* self, int32_t ref, int32_t index, RValue* value);
void SetBuiltinReal(CInstance* self, int32_t ref, int32_t index, double value);

// A built-in called by its function reference. An unresolved reference raises an error instead
// of calling through a bad index.
RValue* Call(CInstance* self, CInstance* other, RValue* result, int32_t ref,
             std::initializer_list<RValue*> args);

// The with-statement: `body` runs once per target with self the target and other the former self.
template <typename Body>
void With(CInstance*& self, CInstance*& other, double target, Body body) {
    WithIterator it;
    if (WithIterator_Begin(&it, &self, &other, CRT_TruncToInt32(target)) > 0) {
        do {
            body();
        } while (WithIterator_Next(&it, &self));
    }
    WithIterator_Finish(&it, &self, &other);
}

// Comparisons of reals within the math epsilon.
bool Greater(double a, double b);
bool Less(double a, double b);
bool Equal(double a, double b);
bool GreaterEqual(double a, double b);
// A value used as a condition.
inline bool Condition(double value) {
    return value > 0.5;
}
bool Condition(RValue* value);
// The number of passes of a repeat statement.
inline int32_t RepeatCount(double count) {
    int32_t n = CRT_TruncToInt32(count);
    return n > 0 ? n : 0;
}

// Inline compound assignments on a variable's value.
void AddAssign(RValue* target, RValue* right);
void SubAssign(RValue* target, RValue* right);
void MulAssign(RValue* target, RValue* right);
void DivAssign(RValue* target, RValue* right);
// Raises "invalid type for %s lhs=%s (type=%d), rhs=%s (type=%d)".
void OperatorTypeError(const char* op, const RValue* left, const RValue* right);

// A number as a value, for arguments.
inline RValue Number(double value) {
    return RValue_Real(value);
}

// Constants shared by every unit.
extern RValue kZero, kOne, kMinusOne;

}  // namespace hvs
