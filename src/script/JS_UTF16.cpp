#include "script/JS_UTF16.h"

#include <algorithm>
#include <cstring>

#include "core/ObjectBase.h"
#include "core/VariableList.h"
#include "script/JS_Object.h"

namespace {

bool IsHighSurrogate(uint32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(uint32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

int32_t TextLength(const char* text) {
    return text != nullptr ? static_cast<int32_t>(std::strlen(text)) : 0;
}

}  // namespace

// --- The cursor -------------------------------------------------------------------------

Utf8Cursor::Utf8Cursor(const char* text) : Utf8Cursor(text, TextLength(text)) {}

Utf8Cursor::Utf8Cursor(const char* text, int32_t length)
    : m_start(text), m_current(text), m_length(text != nullptr ? length : 0) {}

uint32_t Utf8Cursor::Next() {
    const char* end = m_start + m_length;
    if (m_current >= end) return 0;
    const auto lead = static_cast<unsigned char>(*m_current++);
    int32_t extra;
    uint32_t c;
    if (lead < 0x80) {
        return lead;
    } else if (lead >= 0xF0 && lead <= 0xF7) {
        extra = 3;
        c = lead & 7;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        c = lead & 0xF;
    } else {
        extra = 1;
        c = lead & 0x1F;
    }
    // A sequence cut short by the end of the text reads its missing bytes as zero bits.
    for (int32_t i = 0; i < extra; ++i) {
        uint32_t bits = m_current < end ? static_cast<unsigned char>(*m_current++) & 0x3F : 0;
        c = c << 6 | bits;
    }
    return c;
}

int32_t JS_EncodeUtf8(uint32_t c, char* out) {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | c >> 6);
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | c >> 12);
        out[1] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18 & 7));
    out[1] = static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out[2] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

// --- UTF-16 strings ---------------------------------------------------------------------

C_UTF16String::C_UTF16String(const char* utf8) {
    Utf8Cursor counter(utf8);
    while (!counter.AtEnd()) count += counter.Next() > 0xFFFF ? 2 : 1;
    units = static_cast<uint16_t*>(MEM_ALLOC(static_cast<uint32_t>(count) * 2));
    Utf8Cursor cursor(utf8);
    int32_t i = 0;
    while (!cursor.AtEnd() && i < count) {
        uint32_t c = cursor.Next();
        if (c < 0x10000) {
            units[i++] = static_cast<uint16_t>(c);
        } else {
            units[i++] = static_cast<uint16_t>(0xD800 | ((c - 0x10000) >> 10 & 0x3FF));
            if (i < count) units[i++] = static_cast<uint16_t>(0xDC00 | (c & 0x3FF));
        }
    }
}

C_UTF16String::~C_UTF16String() {
    if (units != nullptr) MEM_FREE(units);
}

int32_t C_UTF16String::IndexOf(const C_UTF16String& needle, int32_t from) const {
    if (from < 0) from = 0;
    if (needle.count == 0) return std::min(from, count);
    if (from >= count) return -1;
    for (int32_t a = from; a + needle.count <= count; ++a) {
        if (std::memcmp(units + a, needle.units, static_cast<size_t>(needle.count) * 2) == 0) return a;
    }
    return -1;
}

void C_UTF16String::ToUtf8Range(RValue* result, int32_t start, int32_t n) const {
    start = std::clamp(start, 0, count);
    n = std::clamp(n, 0, count - start);
    JS_Utf16ToUtf8(result, units + start, n);
}

void JS_Utf16ToUtf8(RValue* result, const uint16_t* units, int32_t n) {
    char* text = static_cast<char*>(MEM_ALLOC(static_cast<uint32_t>(n) * 6 + 1));
    char* out = text;
    for (int32_t i = 0; i < n; ++i) {
        uint32_t c = units[i];
        if (IsHighSurrogate(c) && i + 1 < n) {
            uint32_t next = units[++i];
            c = IsLowSurrogate(next) ? ((c - 0xD800) << 10) + (next - 0xDC00) + 0x10000 : next;
        }
        out += JS_EncodeUtf8(c, out);
    }
    *out = '\0';
    RValue_SetString(result, text);
    MEM_FREE(text);
}

C_UTF16String* JS_AttachUTF16(PWObjectBase* object, const char* text) {
    auto* copy = new C_UTF16String(text);
    object->AddPointer(JS_PRIMITIVE_VALUE_UTF16, copy, 0);
    // The property setters never make a pointer owning: ownership is given here, once.
    RValue* value = object->FindName(JS_PRIMITIVE_VALUE_UTF16);
    if (value->kind == VALUE_PTR && value->ptr == copy) {
        value->flags |= VALUE_FLAG_OWNS_OBJECT;
    } else {
        delete copy;  // a non-extensible object took nothing
        copy = nullptr;
    }
    return copy;
}

uint16_t JS_Utf8CodeUnitAt(const RValue* value, int32_t index) {
    if (index < 0) return 0;
    Utf8Cursor cursor(RValue_GetStringText(value));
    int32_t at = 0;
    while (!cursor.AtEnd()) {
        uint32_t c = cursor.Next();
        if (c <= 0xFFFF) {
            if (at == index) return static_cast<uint16_t>(c);
            ++at;
            continue;
        }
        if (at == index) return static_cast<uint16_t>(0xD800 | ((c - 0x10000) >> 10 & 0x3FF));
        if (at + 1 == index) return static_cast<uint16_t>(0xDC00 | (c & 0x3FF));
        at += 2;
    }
    return 0;
}

JSMatchRecord* JS_MatchLiteralAt(const char* text, int32_t position, const char* literal) {
    if (text == nullptr || literal == nullptr || position < 0) return nullptr;
    const size_t n = std::strlen(literal);
    if (std::strlen(text) < static_cast<size_t>(position) + n) return nullptr;
    if (std::memcmp(text + position, literal, n) != 0) return nullptr;
    auto* match = static_cast<JSMatchRecord*>(MEM_ALLOC(sizeof(JSMatchRecord)));
    match->end = position + static_cast<int32_t>(n);
    match->reserved = 0;
    return match;
}

// --- Pair list --------------------------------------------------------------------------

void JSPairList::Append(const RValue* name, const RValue* descriptor) {
    auto* node = new JSPairNode;
    node->name = RValue_Undefined();
    node->descriptor = RValue_Undefined();
    RValue_Assign(&node->name, name);
    RValue_Assign(&node->descriptor, descriptor);
    node->next = nullptr;
    if (tail != nullptr)
        tail->next = node;
    else
        head = node;
    tail = node;
    ++count;
}

void JSPairList::Clear(int32_t releaseMode) {
    if (releaseMode != 0) {
        for (JSPairNode* node = head; node != nullptr;) {
            JSPairNode* next = node->next;
            if (releaseMode != 2) {
                RValue_Release(&node->name);
                RValue_Release(&node->descriptor);
            }
            delete node;
            node = next;
        }
    }
    head = tail = nullptr;
    count = 0;
}

// --- Text buffers -----------------------------------------------------------------------

char* JSTextBuffer::Reserve(int32_t n) {
    if (n < 0) n = 0;
    if (capacity - used - 1 < n) {
        int32_t grown = capacity == 0 ? n * 3 / 2 : capacity * 3 / 2;
        if (grown - used - 1 < n) grown = (n + used) * 3 / 2;
        // Small requests still get room for the bytes and their terminator.
        grown = std::max(grown, used + n + 1);
        auto* block = static_cast<char*>(MEM_ALLOC(static_cast<uint32_t>(grown)));
        if (data != nullptr) {
            std::memcpy(block, data, static_cast<size_t>(capacity));
            MEM_FREE(data);
        }
        data = block;
        capacity = grown;
    }
    return data + used;
}

void JSTextBuffer::Append(const char* text) {
    const int32_t length = TextLength(text);
    char* at = Reserve(length + 1);
    if (length > 0) std::memcpy(at, text, static_cast<size_t>(length));
    at[length] = '\0';
    used += length;
}

void JSTextBuffer::Free() {
    if (data != nullptr) MEM_FREE(data);
    data = nullptr;
    capacity = 0;
    used = 0;
}

JSFixedTextBuffer::JSFixedTextBuffer() : data(static_cast<char*>(MEM_ALLOC(kSize))) {}

JSFixedTextBuffer::~JSFixedTextBuffer() {
    MEM_FREE(data);
}

void JSFixedTextBuffer::Append(const char* text) {
    const int32_t room = kSize - 1 - length;
    const int32_t n = std::min(TextLength(text), room);
    if (n > 0) std::memcpy(data + length, text, static_cast<size_t>(n));
    length += n;
    data[length] = '\0';
}

void JSFixedTextBuffer::Append(char c) {
    if (length >= kSize - 1) return;
    data[length++] = c;
    data[length] = '\0';
}
