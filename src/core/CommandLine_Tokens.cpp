#include "core/CommandLine_Tokens.h"

#include <cstring>

#include "core/MemoryManager.h"

namespace {
char g_tokenBuffer[kCommandLineTokenBytes];
char* g_tokens[kCommandLineMaxTokens];
int g_tokenCount = 0;

bool IsSeparator(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 1 && byte <= 32;
}

void AddToken(const char* token, size_t length) {
    if (g_tokenCount >= kCommandLineMaxTokens) return;
    char* copy = static_cast<char*>(MEM_ALLOC(length + 1));
    std::memcpy(copy, token, length + 1);
    g_tokens[g_tokenCount++] = copy;
}

// A token cut at the buffer's size must not end inside a UTF-8 character.
size_t TrimPartialCharacter(const char* token, size_t length) {
    size_t start = length;
    while (start > 0 && (static_cast<unsigned char>(token[start - 1]) & 0xC0) == 0x80) --start;
    if (start == 0) return length;
    const unsigned char lead = static_cast<unsigned char>(token[start - 1]);
    size_t need = 1;
    if ((lead & 0xE0) == 0xC0)
        need = 2;
    else if ((lead & 0xF0) == 0xE0)
        need = 3;
    else if ((lead & 0xF8) == 0xF0)
        need = 4;
    return (length - (start - 1) < need) ? start - 1 : length;
}

}  // namespace

size_t CommandLine_NextToken(size_t position, const char* text) {
    g_tokenBuffer[0] = '\0';
    if (text == nullptr) return position;
    const size_t end = std::strlen(text);
    if (position >= end) return position;

    while (position < end && IsSeparator(text[position])) ++position;
    if (position >= end) return position;

    size_t length = 0;
    bool truncated = false;
    bool inQuotes = false;
    for (; position < end; ++position) {
        const char c = text[position];
        if (c == '"') {
            inQuotes = !inQuotes;
            continue;
        }
        if (!inQuotes && IsSeparator(c)) break;
        if (length + 1 < kCommandLineTokenBytes)
            g_tokenBuffer[length++] = c;
        else
            truncated = true;
    }
    if (truncated) length = TrimPartialCharacter(g_tokenBuffer, length);
    g_tokenBuffer[length] = '\0';
    AddToken(g_tokenBuffer, length);
    return position;
}

const char* CommandLine_CurrentToken() {
    return g_tokenBuffer;
}

void CommandLine_ClearTokens() {
    for (int i = 0; i < g_tokenCount; ++i) MEM_FREE(g_tokens[i]);
    g_tokenCount = 0;
}

int CommandLine_TokenCount() {
    return g_tokenCount;
}

const char* CommandLine_Token(int index) {
    return index >= 0 && index < g_tokenCount ? g_tokens[index] : nullptr;
}
