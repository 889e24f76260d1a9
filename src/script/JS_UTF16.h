// Script strings are UTF-8 in shared string records, but the string methods count and index
// UTF-16 code units. Here: a UTF-8 cursor that yields code points, the UTF-16 copy a String
// object owns, the conversions and searches between the two forms, and two text buffers.
#pragma once

#include <cstdint>

#include "core/MemoryManager.h"
#include "core/Value.h"

class PWObjectBase;

// Steps through UTF-8 text one code point at a time (one to four bytes by the lead byte;
// continuation bytes are not checked), never past the text's length.
class Utf8Cursor {
public:
    explicit Utf8Cursor(const char* text);
    Utf8Cursor(const char* text, int32_t length);
    // The next code point, or 0 at the end.
    uint32_t Next();
    const char* Position() const { return m_current; }
    bool AtEnd() const { return m_current >= m_start + m_length; }

private:
    const char* m_start;
    const char* m_current;
    int32_t m_length;
};

// Bytes of the shortest UTF-8 form of a code point, written at out (room for 4).
int32_t JS_EncodeUtf8(uint32_t codePoint, char* out);

// The UTF-16 copy of a text, owned by a String object through an owning pointer value.
class C_UTF16String final : public COwnedObject {
public:
    explicit C_UTF16String(const char* utf8);
    ~C_UTF16String() override;
    C_UTF16String(const C_UTF16String&) = delete;
    C_UTF16String& operator=(const C_UTF16String&) = delete;
    static void* operator new(size_t size) { return MEM_ALLOC(size); }
    static void operator delete(void* p) { MEM_FREE(p); }

    // The first occurrence of the needle at or after from, or -1; an empty needle answers
    // min(from, length).
    int32_t IndexOf(const C_UTF16String& needle, int32_t from) const;
    // result = the units [start, start + count) as UTF-8 (the range is kept inside the text).
    void ToUtf8Range(RValue* result, int32_t start, int32_t count) const;

    uint16_t* units = nullptr;  // memory manager; no terminator
    int32_t count = 0;
};

// result = the code units as UTF-8: a surrogate pair gives its code point, a high surrogate
// followed by anything else is dropped, and a lone surrogate is written as a code point of
// its own.
void JS_Utf16ToUtf8(RValue* result, const uint16_t* units, int32_t count);

// Gives the object the UTF-16 copy of text as its "[[PrimitiveValue_UTF16]]" (owned: releasing
// the property destroys it). Answers the copy.
C_UTF16String* JS_AttachUTF16(PWObjectBase* object, const char* text);

// The UTF-16 code unit at index of a string value's text; 0 past the end.
uint16_t JS_Utf8CodeUnitAt(const RValue* value, int32_t index);

// The match of a literal at a byte position: end is position + the literal's length.
struct JSMatchRecord {
    int32_t end;
    int32_t reserved;
};
// A new record (the caller frees it with MEM_FREE) when the literal is at position, else null.
JSMatchRecord* JS_MatchLiteralAt(const char* text, int32_t position, const char* literal);

// (name, descriptor) pairs gathered before any is defined. The release mode says what
// clearing does: 1 release both values and delete the node, 2 free the node only, 3 release
// and free, 0 leave the nodes alone.
struct JSPairNode : MemoryManaged {
    RValue name;
    RValue descriptor;
    JSPairNode* next;
};
struct JSPairList {
    JSPairNode* head = nullptr;
    JSPairNode* tail = nullptr;
    int32_t count = 0;
    int32_t mode = 1;

    JSPairList() = default;
    explicit JSPairList(int32_t releaseMode) : mode(releaseMode) {}
    ~JSPairList() { Clear(mode); }
    JSPairList(const JSPairList&) = delete;
    JSPairList& operator=(const JSPairList&) = delete;
    // Appends copies of both values (references taken).
    void Append(const RValue* name, const RValue* descriptor);
    void Clear(int32_t releaseMode);
};

// A growable zero-terminated text: each growth is by half again.
struct JSTextBuffer {
    char* data = nullptr;
    int32_t capacity = 0;
    int32_t used = 0;

    JSTextBuffer() = default;
    ~JSTextBuffer() { Free(); }
    JSTextBuffer(const JSTextBuffer&) = delete;
    JSTextBuffer& operator=(const JSTextBuffer&) = delete;
    // Room for n more bytes and a terminator; answers the writing position data + used.
    char* Reserve(int32_t n);
    void Append(const char* text);
    void Free();
};

// One 32 KB block holding a zero-terminated text appended to; what would pass its last byte
// is cut off.
struct JSFixedTextBuffer {
    static constexpr int32_t kSize = 32768;
    char* data = nullptr;
    int32_t length = 0;

    JSFixedTextBuffer();
    ~JSFixedTextBuffer();
    JSFixedTextBuffer(const JSFixedTextBuffer&) = delete;
    JSFixedTextBuffer& operator=(const JSFixedTextBuffer&) = delete;
    void Append(const char* text);
    void Append(char c);
};
