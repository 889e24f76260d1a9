#include "core/DebugInfo_Lines.h"

#include <cstdlib>
#include <cstring>

#include "core/VMBuffer.h"

namespace {

constexpr char kLineDirective[] = "#line ";
constexpr size_t kDirectiveLength = sizeof kLineDirective - 1;
constexpr size_t kLineTextBytes = 256;
char g_lineText[kLineTextBytes];

// The start of the UTF-8 character before `at`.
size_t PreviousCharacter(const char* text, size_t at) {
    do {
        --at;
    } while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80);
    return at;
}

// The position clamped into the text: beyond its end it is its last byte; -1 for none.
int64_t ClampPosition(const DebugInfoEntry* entry, const char* source) {
    if (entry == nullptr || source == nullptr) return -1;
    const int64_t length = static_cast<int64_t>(std::strlen(source));
    int64_t position = entry->sourcePosition;
    if (position >= length) position = length - 1;
    return position;
}

// Reads "NAME N" after a directive; the line number N, with NAME copied out when asked.
int32_t ReadDirective(const char* text, char** fileOut) {
    const char* name = text;
    const char* end = name;
    while (*end != '\0' && *end != ' ' && *end != '\t' && *end != '\r' && *end != '\n') ++end;
    if (fileOut != nullptr) {
        const size_t length = static_cast<size_t>(end - name);
        *fileOut = static_cast<char*>(std::malloc(length + 1));
        if (*fileOut != nullptr) {
            std::memcpy(*fileOut, name, length);
            (*fileOut)[length] = '\0';
        }
    }
    return static_cast<int32_t>(std::strtol(end, nullptr, 10));
}

}  // namespace

const DebugInfoEntry* DebugInfo_FindEntry(const VMBuffer* table, int32_t codeOffset) {
    if (table == nullptr || table->code == nullptr || table->length <= 0) return nullptr;
    const auto* pairs = reinterpret_cast<const DebugInfoEntry*>(table->code);
    const int32_t count = table->length / static_cast<int32_t>(sizeof(DebugInfoEntry));
    const DebugInfoEntry* found = nullptr;
    for (int32_t i = 0; i < count && pairs[i].codeOffset <= codeOffset; ++i) found = &pairs[i];
    return found;
}

int32_t DebugInfo_GetLine(const DebugInfoEntry* entry, const char* source, char** fileOut) {
    if (fileOut != nullptr) *fileOut = nullptr;
    const int64_t position = ClampPosition(entry, source);
    if (position < 0) return -1;
    int32_t lineFeeds = 0;
    for (size_t at = static_cast<size_t>(position); at > 0;) {
        at = PreviousCharacter(source, at);
        if (source[at] != '\n') continue;
        if (std::strncmp(source + at + 1, kLineDirective, kDirectiveLength) == 0)
            return ReadDirective(source + at + 1 + kDirectiveLength, fileOut) + lineFeeds - 1;
        ++lineFeeds;
    }
    return lineFeeds + 1;
}

const char* DebugInfo_GetLineText(const DebugInfoEntry* entry, const char* source) {
    const int64_t position = ClampPosition(entry, source);
    if (position < 0) return "<unknown source line>";
    size_t start = static_cast<size_t>(position);
    while (start > 0 && source[start - 1] != '\n') --start;
    // The line ends at its line break, whichever form it takes.
    size_t length = std::strcspn(source + start, "\r\n");
    if (length > kLineTextBytes - 1) {
        length = kLineTextBytes - 1;
        // Never end inside a character.
        while (length > 0 && (static_cast<unsigned char>(source[start + length]) & 0xC0) == 0x80) --length;
    }
    std::memcpy(g_lineText, source + start, length);
    g_lineText[length] = '\0';
    return g_lineText;
}
