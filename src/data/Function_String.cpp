// The string built-ins. Text is UTF-8; positions and counts are in characters (1-based for
// game code) unless the name says byte. A null text (a string without text) reads as "".
#include "data/Function_String.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/MemoryManager.h"
#include "core/UTF8.h"
#include "core/Value_Convert.h"
#include "data/Function_Math_Internal.h"

namespace {

// Widest field and most decimals string_format prints: far beyond any number's digits, and
// small enough that a wild argument cannot ask for gigabytes.
constexpr int32_t kMaxFormatField = 1 << 20;

inline const char* OrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

// The text of argument n, "" for a string without text.

// Steps over up to n characters, never past the terminator.
const char* SkipChars(const char* p, int64_t n) {
    for (; n > 0 && *p != '\0'; --n) UTF8_GetChar(p);
    return p;
}

inline const char* NextChar(const char* p) {
    UTF8_GetChar(p);
    return p;
}

// The first position at or after text where the needle's characters match; null when none.
// An empty needle or text never matches.
const char* FindChars(const char* text, const char* needle, int32_t needleChars) {
    if (*text == '\0' || *needle == '\0') return nullptr;
    const uint16_t first = UTF8_PeekChar(needle);
    for (const char* p = text; *p != '\0';) {
        // A byte below 0x80 is a whole character and its own code point: the common case
        // needs no decoding.
        const unsigned char byte = static_cast<unsigned char>(*p);
        const bool candidate = byte < 0x80 ? byte == first : UTF8_PeekChar(p) == first;
        if (candidate && UTF8_CompareN(p, needle, needleChars) == 0) return p;
        p = byte < 0x80 ? p + 1 : NextChar(p);
    }
    return nullptr;
}

// A result that would pass 2 GB: reported, and the result is "".
void RefuseTooLong(RValue& result) {
    char message[128];
    std::snprintf(message, sizeof message, "%s : result too long", Builtin_CurrentName());
    Function_ReportError(message);
    RValue_SetString(&result, "");
}

// A growing memory-manager text for results assembled piece by piece; one that would pass
// 2 GB is refused.
class TextBuilder {
public:
    TextBuilder() = default;
    TextBuilder(const TextBuilder&) = delete;
    TextBuilder& operator=(const TextBuilder&) = delete;
    ~TextBuilder() { MEM_FREE(m_base); }

    void Append(const char* bytes, int64_t n) {
        if (n <= 0 || m_tooLong) return;
        if (m_length + n >= INT32_MAX) {
            m_tooLong = true;
            return;
        }
        Reserve(m_length + n);
        std::memcpy(m_base + m_length, bytes, static_cast<size_t>(n));
        m_length += n;
    }
    void Append(const char* text) { Append(text, static_cast<int64_t>(std::strlen(text))); }

    void Store(RValue& result) const {
        if (m_tooLong) {
            RefuseTooLong(result);
            return;
        }
        RValue_SetStringBytes(&result, m_base ? m_base : "", static_cast<int32_t>(m_length));
    }

private:
    void Reserve(int64_t needed) {
        if (needed <= m_capacity) return;
        const int64_t capacity = std::min<int64_t>(std::max<int64_t>(needed, m_capacity * 2 + 64), INT32_MAX);
        m_base = static_cast<char*>(MEM_REALLOC(m_base, static_cast<size_t>(capacity)));
        m_capacity = capacity;
    }

    char* m_base = nullptr;
    int64_t m_length = 0;
    int64_t m_capacity = 0;
    bool m_tooLong = false;
};

// --- Conversion and characters ----------------------------------------------------------

HV_BUILTIN(F_String) {
    char* base = nullptr;
    char* cursor = nullptr;
    int32_t capacity = 0;
    RValue_AppendText(cursor, base, capacity, &args[0]);
    RValue_SetString(&result, OrEmpty(base));
    MEM_FREE(base);
}

// The field is tot + dec wide (a negative width pads on the right) with dec decimals; the
// text is as long as the number needs.
HV_BUILTIN(F_StringFormat) {
    if (args[0].kind == VALUE_STRING) {
        RValue_Assign(&result, &args[0]);
        return;
    }
    const double value = Arg_GetReal(args, 0);
    const int32_t tot = Arg_GetInt32(args, 1);
    const int32_t dec = Arg_GetInt32(args, 2);
    const int width =
        static_cast<int>(std::clamp<int64_t>(int64_t{tot} + dec, -kMaxFormatField, kMaxFormatField));
    const int decimals = std::clamp(dec, 0, kMaxFormatField);
    const int n = std::snprintf(nullptr, 0, "%*.*f", width, decimals, value);
    if (n < 0) {
        RValue_SetString(&result, "");
        return;
    }
    char* text = static_cast<char*>(MEM_ALLOC_RAW(static_cast<size_t>(n) + 1));
    std::snprintf(text, static_cast<size_t>(n) + 1, "%*.*f", width, decimals, value);
    RValue_SetStringBytes(&result, text, static_cast<int32_t>(n));
    MEM_FREE(text);
}

// Encodes n as one, two or three bytes; bits above 16 are lost and 0 gives "".
HV_BUILTIN(F_Chr) {
    const int32_t n = Arg_GetInt32(args, 0);
    char bytes[4] = {};
    if (n <= 0x7F) {
        bytes[0] = static_cast<char>(n & 0x7F);
    } else if (n <= 0x7FF) {
        bytes[0] = static_cast<char>(0xC0 + ((n >> 6) & 0x1F));
        bytes[1] = static_cast<char>(0x80 + (n & 0x3F));
    } else {
        bytes[0] = static_cast<char>(0xE0 + ((n >> 12) & 0x0F));
        bytes[1] = static_cast<char>(0x80 + ((n >> 6) & 0x3F));
        bytes[2] = static_cast<char>(0x80 + (n & 0x3F));
    }
    RValue_SetString(&result, bytes);
}

// One raw byte, not encoded.
HV_BUILTIN(F_AnsiChar) {
    const char bytes[2] = {static_cast<char>(Arg_GetInt32(args, 0) & 0xFF), 0};
    RValue_SetString(&result, bytes);
}

HV_BUILTIN(F_Ord) {
    result = RValue_Real(UTF8_PeekChar(Arg_GetStringOrEmpty(args, 0)));
}

HV_BUILTIN(F_StringLength) {
    result = RValue_Real(UTF8_Length(Arg_GetStringOrEmpty(args, 0)));
}

HV_BUILTIN(F_StringByteLength) {
    result = RValue_Real(static_cast<double>(std::strlen(Arg_GetStringOrEmpty(args, 0))));
}

// --- Search, copy and edit --------------------------------------------------------------

HV_BUILTIN(F_StringPos) {
    const char* substr = Arg_GetString(args, 0);
    const char* str = Arg_GetString(args, 1);
    result = RValue_Real(String_FindChar(substr, str) + 1);
}

HV_BUILTIN(F_StringCopy) {
    const char* str = Arg_GetString(args, 0);
    const int64_t index = std::max<int64_t>(Arg_GetInt32(args, 1), 1);
    const int64_t count = std::max<int32_t>(Arg_GetInt32(args, 2), 0);
    const char* start = SkipChars(OrEmpty(str), index - 1);
    const char* end = SkipChars(start, count);
    RValue_SetStringBytes(&result, start, static_cast<int32_t>(end - start));
}

// Positions below 1 mean the first character.
const char* CharAt(const char* text, int32_t index) {
    const int64_t i = std::max<int64_t>(int64_t{index} - 1, 0);
    if (i >= UTF8_Length(text)) return nullptr;
    return SkipChars(text, i);
}

HV_BUILTIN(F_StringCharAt) {
    const char* text = Arg_GetStringOrEmpty(args, 0);
    const char* at = CharAt(text, Arg_GetInt32(args, 1));
    if (at == nullptr) {
        RValue_SetString(&result, "");
        return;
    }
    char bytes[4] = {};
    char* out = bytes;
    UTF8_PutChar(out, UTF8_PeekChar(at));
    RValue_SetString(&result, bytes);
}

HV_BUILTIN(F_StringOrdAt) {
    const char* text = Arg_GetStringOrEmpty(args, 0);
    const char* at = CharAt(text, Arg_GetInt32(args, 1));
    result = RValue_Real(at != nullptr ? UTF8_PeekChar(at) : -1.0);
}

// The byte as a signed 8-bit number; positions are clamped into the text. An empty text
// has no byte: 0.
HV_BUILTIN(F_StringByteAt) {
    const char* text = Arg_GetStringOrEmpty(args, 0);
    const int64_t length = static_cast<int64_t>(std::strlen(text));
    const int64_t i =
        std::clamp<int64_t>(int64_t{Arg_GetInt32(args, 1)} - 1, 0, std::max<int64_t>(length - 1, 0));
    result = RValue_Real(length > 0 ? static_cast<signed char>(text[i]) : 0);
}

HV_BUILTIN(F_StringSetByteAt) {
    const char* text = Arg_GetStringOrEmpty(args, 0);
    const int64_t i = int64_t{Arg_GetInt32(args, 1)} - 1;
    const int32_t byte = Arg_GetInt32(args, 2);
    RValue_SetString(&result, text);
    if (i < 0 || i >= static_cast<int64_t>(std::strlen(text))) {
        Function_ReportError("string_set_byte_at : index beyond end of string");
        return;
    }
    // The copy is changed in place; a 0 byte ends the text there.
    SharedString* copy = result.str;
    if (copy == nullptr || copy->text == nullptr) return;
    copy->text[i] = static_cast<char>(byte & 0xFF);
    if (copy->text[i] == '\0') copy->length = static_cast<int32_t>(i);
}

HV_BUILTIN(F_StringDelete) {
    const char* str = Arg_GetStringOrEmpty(args, 0);
    const int32_t index = Arg_GetInt32(args, 1);
    const int32_t count = Arg_GetInt32(args, 2);
    char* copy = String_Duplicate(str);
    String_DeleteChars(copy, index, count);
    RValue_SetString(&result, copy);
    MEM_FREE(copy);
}

HV_BUILTIN(F_StringInsert) {
    const char* substr = Arg_GetStringOrEmpty(args, 0);
    const char* str = Arg_GetStringOrEmpty(args, 1);
    const int32_t length = UTF8_Length(str);
    const int64_t p = std::clamp<int64_t>(int64_t{Arg_GetInt32(args, 2)} - 1, 0, length);
    const char* split = SkipChars(str, p);
    TextBuilder out;
    out.Append(str, split - str);
    out.Append(substr);
    out.Append(split);
    out.Store(result);
}

// str with the first (or every) occurrence of substr replaced. Replaced text is never
// searched again; an empty substr is never found.
void Replace(RValue& result, RValue* args, bool all) {
    const char* str = Arg_GetString(args, 0);
    const char* substr = Arg_GetStringOrEmpty(args, 1);
    const char* newstr = Arg_GetStringOrEmpty(args, 2);
    if (str == nullptr) {
        RValue_SetString(&result, "");
        return;
    }
    const int32_t substrChars = UTF8_Length(substr);
    TextBuilder out;
    const char* rest = str;
    while (const char* match = FindChars(rest, substr, substrChars)) {
        out.Append(rest, match - rest);
        out.Append(newstr);
        rest = SkipChars(match, substrChars);
        if (!all) break;
    }
    out.Append(rest);
    out.Store(result);
}

HV_BUILTIN(F_StringReplace) {
    Replace(result, args, false);
}
HV_BUILTIN(F_StringReplaceAll) {
    Replace(result, args, true);
}

// Occurrences of substr, overlapping ones included: after each match the search goes on
// from the character after its start. An empty substr counts every byte.
HV_BUILTIN(F_StringCount) {
    const char* substr = Arg_GetStringOrEmpty(args, 0);
    const char* str = Arg_GetStringOrEmpty(args, 1);
    if (*substr == '\0') {
        result = RValue_Real(static_cast<double>(std::strlen(str)));
        return;
    }
    const int32_t substrChars = UTF8_Length(substr);
    int64_t count = 0;
    for (const char* p = str; (p = FindChars(p, substr, substrChars)) != nullptr; p = NextChar(p)) ++count;
    result = RValue_Real(static_cast<double>(count));
}

HV_BUILTIN(F_StringRepeat) {
    const char* str = Arg_GetStringOrEmpty(args, 0);
    const int32_t count = Arg_GetInt32(args, 1);
    const int64_t length = static_cast<int64_t>(std::strlen(str));
    if (count <= 0 || length == 0) {
        RValue_SetString(&result, "");
        return;
    }
    if (length * count >= INT32_MAX) {
        RefuseTooLong(result);
        return;
    }
    TextBuilder out;
    for (int32_t i = 0; i < count; ++i) out.Append(str, length);
    out.Store(result);
}

// --- Case and filters -------------------------------------------------------------------

// Bytes of a complete one- to three-byte character at p, 0 for anything else (a four-byte
// character, a stray continuation byte, a character cut short).
int32_t MappableBytes(const char* p) {
    const unsigned char lead = static_cast<unsigned char>(*p);
    int32_t wanted;
    if (lead < 0x80)
        wanted = 1;
    else if (lead >= 0xC0 && lead < 0xE0)
        wanted = 2;
    else if (lead >= 0xE0 && lead < 0xF0)
        wanted = 3;
    else
        return 0;
    for (int32_t k = 1; k < wanted; ++k) {
        if ((static_cast<unsigned char>(p[k]) & 0xC0) != 0x80) return 0;
    }
    return wanted;
}

// Case mapping by the Unicode tables, the same in every locale and on every thread.
// Characters that cannot be decoded are copied byte for byte.
void MapCase(RValue& result, const char* text, bool upper) {
    const size_t length = std::strlen(text);
    char* out = static_cast<char*>(MEM_ALLOC_RAW(length + length / 2 + 1));  // 2 bytes can become 3
    char* cursor = out;
    for (const char* p = text; *p != '\0';) {
        const int32_t bytes = MappableBytes(p);
        if (bytes == 0) {
            *cursor++ = *p++;
            continue;
        }
        const char* next = p;
        const uint16_t c = UTF8_GetChar(next);
        // Sharp s has no capital in the simple case mappings, so it stays as it is.
        const utf8proc_int32_t mapped = upper ? (c == 0xDF ? c : utf8proc_toupper(c)) : utf8proc_tolower(c);
        UTF8_PutChar(cursor, mapped >= 0 && mapped <= 0xFFFF ? static_cast<uint32_t>(mapped) : c);
        p = next;
    }
    RValue_SetStringBytes(&result, out, static_cast<int32_t>(cursor - out));
    MEM_FREE(out);
}

HV_BUILTIN(F_StringLower) {
    MapCase(result, Arg_GetStringOrEmpty(args, 0), false);
}
HV_BUILTIN(F_StringUpper) {
    MapCase(result, Arg_GetStringOrEmpty(args, 0), true);
}

enum Keep : uint32_t { KeepLetters = 1, KeepDigits = 2 };

void Filter(RValue& result, const char* text, uint32_t keep) {
    char* out = static_cast<char*>(MEM_ALLOC_RAW(std::strlen(text) + 1));
    char* cursor = out;
    for (const char* p = text; *p != '\0';) {
        const uint16_t c = UTF8_GetChar(p);
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool digit = c >= '0' && c <= '9';
        if (((keep & KeepLetters) && letter) || ((keep & KeepDigits) && digit))
            *cursor++ = static_cast<char>(c);
    }
    RValue_SetStringBytes(&result, out, static_cast<int32_t>(cursor - out));
    MEM_FREE(out);
}

HV_BUILTIN(F_StringLetters) {
    Filter(result, Arg_GetStringOrEmpty(args, 0), KeepLetters);
}
HV_BUILTIN(F_StringDigits) {
    Filter(result, Arg_GetStringOrEmpty(args, 0), KeepDigits);
}
HV_BUILTIN(F_StringLettersdigits) {
    Filter(result, Arg_GetStringOrEmpty(args, 0), KeepLetters | KeepDigits);
}

constexpr BuiltinRow kStringRows[] = {
    {"string", F_String, 1},
    {"string_format", F_StringFormat, 3},
    {"chr", F_Chr, 1},
    {"ansi_char", F_AnsiChar, 1},
    {"ord", F_Ord, 1},
    {"string_length", F_StringLength, 1},
    {"string_pos", F_StringPos, 2},
    {"string_copy", F_StringCopy, 3},
    {"string_char_at", F_StringCharAt, 2},
    {"string_ord_at", F_StringOrdAt, 2},
    {"string_byte_length", F_StringByteLength, 1},
    {"string_byte_at", F_StringByteAt, 2},
    {"string_set_byte_at", F_StringSetByteAt, 3},
    {"string_delete", F_StringDelete, 3},
    {"string_insert", F_StringInsert, 3},
    {"string_lower", F_StringLower, 1},
    {"string_upper", F_StringUpper, 1},
    {"string_repeat", F_StringRepeat, 2},
    {"string_letters", F_StringLetters, 1},
    {"string_digits", F_StringDigits, 1},
    {"string_lettersdigits", F_StringLettersdigits, 1},
    {"string_replace", F_StringReplace, 3},
    {"string_replace_all", F_StringReplaceAll, 3},
    {"string_count", F_StringCount, 2},
};

}  // namespace

int32_t String_FindChar(const char* needle, const char* text) {
    if (needle == nullptr || text == nullptr) return -1;
    const char* match = FindChars(text, needle, UTF8_Length(needle));
    if (match == nullptr) return -1;
    int32_t index = 0;
    for (const char* p = text; p < match; p = NextChar(p)) ++index;
    return index;
}

void String_DeleteChars(char* text, int32_t position, int32_t count) {
    if (text == nullptr) return;
    const int64_t n = UTF8_Length(text);
    const int64_t p = int64_t{position} - 1;
    if (p < 0 || p >= n || count <= 0) return;
    char* from = const_cast<char*>(SkipChars(text, p));
    const char* to = SkipChars(from, std::min<int64_t>(count, n - p));
    std::memmove(from, to, std::strlen(to) + 1);
}

void InitStringFunctions() {
    Code_Function_AddRows(kStringRows);
}
