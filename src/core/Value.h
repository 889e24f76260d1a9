// RValue, the one value type of the runtime, with its counted strings and copy-on-write
// arrays. Compiled game code reads and writes these fields directly: the layout is fixed.
#pragma once

#include <cstddef>
#include <cstdint>

class PWObjectBase;
class CInstance;
struct SharedArray;

enum RValueKind : uint32_t {
    VALUE_REAL = 0,
    VALUE_STRING = 1,
    VALUE_ARRAY = 2,
    VALUE_PTR = 3,
    VALUE_VEC3 = 4,  // reserved: nothing makes one
    VALUE_UNDEFINED = 5,
    VALUE_OBJECT = 6,
    VALUE_INT32 = 7,
    VALUE_VEC4 = 8,    // reserved
    VALUE_MATRIX = 9,  // reserved
    VALUE_INT64 = 10,
    VALUE_ACCESSOR = 11,  // function reference: getter and setter of an accessor property
    VALUE_NULL = 12,
    VALUE_BOOL = 13,
    VALUE_ITERATOR = 14,
    VALUE_UNSET = 0x00FFFFFF,  // a slot never assigned
};

constexpr uint32_t VALUE_KIND_MASK = 0x00FFFFFF;
// Flags bit 3 on a pointer value: the value owns the object (stored as a COwnedObject*)
// and deletes it on release.
constexpr uint32_t VALUE_FLAG_OWNS_OBJECT = 8;

// Element index = row * 32000 + column in one int32; INT32_MIN (0x80000000) is the whole value.
constexpr int32_t ARRAY_ROW_STRIDE = 32000;
constexpr int32_t ARRAY_INDEX_WHOLE = INT32_MIN;

// Base of native objects held by owning pointer values (flags bit 3).
class COwnedObject {
public:
    virtual ~COwnedObject() = default;
};

struct SharedString {
    char* text;        // memory-manager block owned by the record; may be null
    int32_t refCount;  // values holding the record
    int32_t length;    // strlen of the text when the record was made

    // Copy of text (null stays null), count 1.
    explicit SharedString(const char* text);
    // Count - 1; at 0 frees the text and the record.
    void Release();
};

struct RValue {
    union {
        double val;  // real, bool
        int64_t v64;
        int32_t v32;
        void* ptr;
        SharedString* str;
        SharedArray* arr;
        PWObjectBase* obj;
    };
    uint32_t flags;
    uint32_t kind;  // low 24 bits: RValueKind
};
static_assert(sizeof(RValue) == 16, "RValue is 16 bytes: payload, flags, kind");
static_assert(offsetof(RValue, flags) == 8 && offsetof(RValue, kind) == 12);

// --- Kind tests -------------------------------------------------------------------------
// The kind word's high byte carries container marks: every test of a kind goes through these.

inline uint32_t RValue_Kind(const RValue& value) {
    return value.kind & VALUE_KIND_MASK;
}
inline uint32_t RValue_Kind(const RValue* value) {
    return value->kind & VALUE_KIND_MASK;
}
#define HV_VALUE_KIND_TEST(Name, KIND) \
    inline bool RValue_Is##Name(const RValue& value) { \
        return RValue_Kind(value) == KIND; \
    } \
    inline bool RValue_Is##Name(const RValue* value) { \
        return RValue_Kind(value) == KIND; \
    }
HV_VALUE_KIND_TEST(Real, VALUE_REAL)
HV_VALUE_KIND_TEST(String, VALUE_STRING)
HV_VALUE_KIND_TEST(Array, VALUE_ARRAY)
HV_VALUE_KIND_TEST(Ptr, VALUE_PTR)
HV_VALUE_KIND_TEST(Object, VALUE_OBJECT)
HV_VALUE_KIND_TEST(Int32, VALUE_INT32)
HV_VALUE_KIND_TEST(Unset, VALUE_UNSET)
#undef HV_VALUE_KIND_TEST

struct ArrayRow {
    int32_t length;    // items in use
    int32_t capacity;  // items allocated; those past length are real 0
    RValue* items;
};

struct SharedArray {
    int32_t refCount;
    int32_t rowCount;
    ArrayRow* rows;
    RValue* owner;       // the one holder that may write in place; null when none
    int64_t visitStamp;  // pass of the text form's cycle guard
    int32_t rowCapacity;
    int64_t markStamp;  // the last collection that scanned the items
};

// Filled by a failed element read or write; the callers turn it into their own message.
struct ArrayIndexErrorRecord {
    uint8_t raised;
    int32_t row;
    int32_t column;
    int32_t rowCount;   // 0 when the value held no record
    int32_t rowLength;  // -1 when the row does not exist
};
extern ArrayIndexErrorRecord ArrayIndexError;

// --- Release and assignment -------------------------------------------------------------

// Copies a value's 16 bytes as two 8-byte halves. Values are mostly written a half at a time
// (payload, then flags and kind); one 16-byte read of a value just written that way stalls
// until the writes retire, which the interpreter's pushes and pops would pay on every item.
inline void RValue_CopyBits(void* dest, const void* source) {
    uint64_t low, high;
    __builtin_memcpy(&low, source, 8);
    __builtin_memcpy(&high, static_cast<const char*>(source) + 8, 8);
    asm("" : "+r"(low), "+r"(high));  // keeps the halves apart: a merged vector read would stall
    __builtin_memcpy(dest, &low, 8);
    __builtin_memcpy(static_cast<char*>(dest) + 8, &high, 8);
}

void RValue_FreePayload(RValue* value);

// Releases what the value holds (string or array reference, owned object). The payload
// becomes null; kind and flags stay as they were.
inline void RValue_Free(RValue* value) {
    if (value->kind - 1u < 4u) RValue_FreePayload(value);
}

// Releases the value and leaves it undefined (kind 5, flags 0, payload 0).
inline void RValue_Release(RValue* value) {
    RValue_Free(value);
    value->v64 = 0;
    value->flags = 0;
    value->kind = VALUE_UNDEFINED;
}

// Releases the destination, then copies kind, flags and payload; strings and arrays are
// shared (count + 1) and an array without owner takes the destination as owner. Safe when
// the source lives inside what the destination releases. Assigning a value to itself does nothing.
RValue* RValue_Assign(RValue* dest, const RValue* source);

// --- Moving values ----------------------------------------------------------------------
// An array's owner is the address of the value that owns it. Code that moves values as raw
// bytes (stack growth, item blocks, container slots) must tell the arrays where they went,
// or a later holder at the old address would write into a shared array in place.

// The value now at `value` used to live at `oldAddress`.
inline void RValue_Relocated(RValue* value, uintptr_t oldAddress);
// count values now at `values` used to start at `oldBase` (after a realloc or memmove).
void RValue_RelocateRange(RValue* values, int32_t count, uintptr_t oldBase);
// Releases dest, moves src's 16 bytes into it (owner kept true) and leaves src undefined.
void RValue_Move(RValue* dest, RValue* src);
// memmove of count values from src to dest with owners kept true. Source slots that the
// move did not overwrite still hold the old bytes: the caller overwrites them without release.
void RValue_MoveRange(RValue* dest, RValue* src, int32_t count);

// --- Strings ----------------------------------------------------------------------------

// Memory-manager copy of a text under the allocation name "string copy"; null gives null.
char* String_Duplicate(const char* text);
// Record with an uninitialised text block of n + 1 bytes, length n, count 1.
SharedString* SharedString_Alloc(int32_t n);
// Release when not null; returns null.
SharedString* SharedString_ReleaseSafe(SharedString* record);

// Makes the value a string of a new record (text copied, count 1) without releasing the
// old payload; flags left as they were. A record that cannot be made leaves a null record.
void RValue_CreateString(RValue* value, const char* text);
// Releases the value (undefined, flags 0), then as RValue_CreateString.
void RValue_SetString(RValue* value, const char* text);
// Releases the value, then makes it a string with its own copy of the record's text.
void RValue_SetStringRecord(RValue* value, const SharedString* record);
// The text of a string value; null for other kinds and for a record without text.
const char* RValue_GetStringText(const RValue* value);

// --- Arrays -----------------------------------------------------------------------------

// New empty record, count 1, the given owner.
SharedArray* SharedArray_Create(RValue* owner);
// New record with the same rows and items (references counted), count 1, owned by
// newOwner. A null record gives null. The old record is not changed.
SharedArray* SharedArray_CopyOnWrite(const SharedArray* record, RValue* newOwner);

// Reads the whole source (ARRAY_INDEX_WHOLE) or one element into dest. False, with dest
// the real 0 and ArrayIndexError filled, when the element does not exist.
bool RValue_GetIndexed(RValue* dest, RValue* source, int32_t index);
// Writes the whole variable or one element, making the variable an array as needed and
// copying a shared array first.
void RValue_SetIndexed(RValue* variable, RValue* source, int32_t index);
// Writes one element of an array record in place, growing it; new items read as 0.
void RValue_SetElement(RValue* arrayValue, const RValue* source, int32_t index);
// Address of one element, making the variable an owned array and growing it; null for a
// negative row or column.
RValue* RValue_ElementRef(RValue* variable, int32_t index);

// dest = source + d, keeping the source's kind (compiled-code operator). dest is written
// without releasing it: callers pass a fresh slot or the source itself.
void RValue_AddReal(RValue* dest, const RValue* source, double d);

// Memory-manager access for compiled game code.
void* Mem_Alloc(uint32_t size);
void* Mem_Realloc(void* p, uint32_t size);
void Mem_Free(void* p);

// --- Small constructors -----------------------------------------------------------------

inline RValue RValue_Real(double d) {
    RValue v;
    v.val = d;
    v.flags = 0;
    v.kind = VALUE_REAL;
    return v;
}
inline RValue RValue_Int32(int32_t i) {
    RValue v;
    v.v64 = 0;
    v.v32 = i;
    v.flags = 0;
    v.kind = VALUE_INT32;
    return v;
}
inline RValue RValue_Int64(int64_t i) {
    RValue v;
    v.v64 = i;
    v.flags = 0;
    v.kind = VALUE_INT64;
    return v;
}
inline RValue RValue_Bool(double d) {
    RValue v = RValue_Real(d);
    v.kind = VALUE_BOOL;
    return v;
}
inline RValue RValue_Undefined() {
    RValue v;
    v.v64 = 0;
    v.flags = 0;
    v.kind = VALUE_UNDEFINED;
    return v;
}

// --- Setting a value --------------------------------------------------------------------
// The RValue_Set* setters release what the value held first, as RValue_SetString does. A
// built-in's result arrives undefined, so the Result_Set* setters write over it without that
// release; they are for results nothing has been put in yet.

inline void RValue_SetReal(RValue* value, double d) {
    RValue_Release(value);
    *value = RValue_Real(d);
}
// Truth as the real 1 or 0, the way most built-ins answer.
inline void RValue_SetFlag(RValue* value, bool b) {
    RValue_SetReal(value, b ? 1.0 : 0.0);
}
// Truth of kind bool.
inline void RValue_SetBool(RValue* value, bool b) {
    RValue_Release(value);
    *value = RValue_Bool(b ? 1.0 : 0.0);
}
// Releases the value, then makes it a string of a new record holding the n bytes (which need
// no terminator), flags 0.
void RValue_SetStringBytes(RValue* value, const char* bytes, int32_t n);

inline void Result_SetReal(RValue& result, double d) {
    result = RValue_Real(d);
}
// Truth as the real 1 or 0.
inline void Result_SetFlag(RValue& result, bool b) {
    result = RValue_Real(b ? 1.0 : 0.0);
}
// Masks and packed fields reach game code as unsigned 32-bit numbers.
inline void Result_SetUnsigned(RValue& result, uint32_t u) {
    result = RValue_Real(static_cast<double>(u));
}

inline void RValue_Relocated(RValue* value, uintptr_t oldAddress) {
    if (value->kind == VALUE_ARRAY && value->arr != nullptr &&
        reinterpret_cast<uintptr_t>(value->arr->owner) == oldAddress) {
        value->arr->owner = value;
    }
}
