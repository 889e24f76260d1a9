#include "io/IniFile.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "core/Console.h"
#include "core/MemoryManager.h"

namespace {
char* CopyText(const char* text, size_t length) {
    char* copy = static_cast<char*>(MEM_ALLOC(length + 1));
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

bool IsBlankOrComment(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '#' || c == ';';
}

// The whole file in one zero-ended block, or null. Over 2 GB is not an ini file.
char* ReadWholeFile(const char* name, int32_t& length) {
    length = 0;
    FILE* file = std::fopen(name, "rb");
    if (file == nullptr) return nullptr;
    char* text = nullptr;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size >= 0 && size < INT32_MAX && std::fseek(file, 0, SEEK_SET) == 0) {
            text = static_cast<char*>(MEM_ALLOC(static_cast<size_t>(size) + 1));
            length = static_cast<int32_t>(std::fread(text, 1, static_cast<size_t>(size), file));
            text[length] = '\0';
        }
    }
    std::fclose(file);
    return text;
}

// Leading decimal integer after optional blanks and sign, clamped to 32 bits.
int32_t LeadingInt(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(value);
}
}  // namespace

IniFile::IniFile(const char* name, bool log) {
    if (name != nullptr) m_name = CopyText(name, std::strlen(name));
    if (m_name == nullptr) return;
    m_text = ReadWholeFile(m_name, m_textLength);
    if (log && m_text != nullptr) DebugConsole.Output("%s file contents: %s\n", m_name, m_text);
    Parse();
}

IniFile::~IniFile() {
    while (IniSection* section = m_sections) {
        m_sections = section->next;
        while (IniKey* key = section->keys) {
            section->keys = key->next;
            MEM_FREE(key->key);
            MEM_FREE(key->value);
            MEM_FREE(key);
        }
        MEM_FREE(section->name);
        MEM_FREE(section);
    }
    MEM_FREE(m_text);
    MEM_FREE(m_name);
}

void IniFile::Parse() {
    if (m_text == nullptr) return;
    m_position = 0;
    m_line = 0;
    if (m_textLength > 2 && std::memcmp(m_text, "\xEF\xBB\xBF", 3) == 0) m_position = 3;

    IniSection* current = ReadSection();
    if (current != nullptr) {
        m_sections = current;
        while (!AtEnd()) {
            const int32_t before = m_position;
            if (IniKey* key = ReadKey()) {
                key->next = current->keys;
                current->keys = key;
            } else if (!AtEnd() && Current() == '[') {
                IniSection* next = ReadSection();
                if (next == nullptr) break;
                next->next = m_sections;
                m_sections = next;
                current = next;
            } else if (m_position == before) {
                break;
            }
        }
    }
    MEM_FREE(m_text);
    m_text = nullptr;
}

void IniFile::SkipBlanks() {
    while (!AtEnd() && IsBlankOrComment(Current())) {
        const char c = Current();
        if (c == '#' || c == ';') {
            while (!AtEnd() && Current() != '\r' && Current() != '\n') ++m_position;
            if (!AtEnd() && Current() == '\r') ++m_position;
            if (!AtEnd() && Current() == '\n') {
                ++m_position;
                ++m_line;
            }
            continue;
        }
        if (c == '\n') ++m_line;
        ++m_position;
    }
}

IniSection* IniFile::ReadSection() {
    SkipBlanks();
    while (!AtEnd() && Current() != '[') ++m_position;
    if (AtEnd()) return nullptr;
    const int32_t start = m_position + 1;
    const char* close = static_cast<const char*>(std::memchr(m_text + start, ']', m_textLength - start));
    if (close == nullptr) {
        m_position = m_textLength;
        return nullptr;
    }
    const int32_t end = static_cast<int32_t>(close - m_text);
    for (int32_t i = start; i < end; ++i)
        if (m_text[i] == '\n') ++m_line;
    auto* section = static_cast<IniSection*>(MEM_ALLOC(sizeof(IniSection)));
    section->name = CopyText(m_text + start, static_cast<size_t>(end - start));
    m_position = end + 1;
    return section;
}

IniKey* IniFile::ReadKey() {
    SkipBlanks();
    if (AtEnd() || Current() == '[') return nullptr;
    const int32_t keyStart = m_position;
    const char* equals =
        static_cast<const char*>(std::memchr(m_text + keyStart, '=', m_textLength - keyStart));
    if (equals == nullptr) {
        m_position = m_textLength;
        return nullptr;
    }
    int32_t keyEnd = static_cast<int32_t>(equals - m_text);
    for (int32_t i = keyStart; i < keyEnd; ++i)
        if (m_text[i] == '\n') ++m_line;
    m_position = keyEnd + 1;
    while (keyEnd > keyStart && IsBlankOrComment(m_text[keyEnd - 1])) --keyEnd;

    const int32_t keyLine = m_line;
    SkipBlanks();
    if (m_line != keyLine) return nullptr;  // nothing but blanks or a comment after the "="

    int32_t valueStart = m_position;
    int32_t valueEnd;
    if (!AtEnd() && (Current() == '"' || Current() == '\'')) {
        const char quote = Current();
        valueStart = ++m_position;
        while (!AtEnd() && Current() != quote && Current() != '\r' && Current() != '\n') ++m_position;
        valueEnd = m_position;
        while (!AtEnd() && Current() != '\r' && Current() != '\n') ++m_position;
    } else {
        while (!AtEnd() && Current() != '#' && Current() != ';' && Current() != '\r' && Current() != '\n')
            ++m_position;
        valueEnd = m_position;
    }
    while (valueEnd > valueStart && (m_text[valueEnd - 1] == ' ' || m_text[valueEnd - 1] == '\t')) --valueEnd;

    auto* entry = static_cast<IniKey*>(MEM_ALLOC(sizeof(IniKey)));
    entry->key = CopyText(m_text + keyStart, static_cast<size_t>(keyEnd - keyStart));
    entry->value = CopyText(m_text + valueStart, static_cast<size_t>(valueEnd - valueStart));
    return entry;
}

const IniSection* IniFile::FindSection(const char* section) const {
    if (section == nullptr) return nullptr;
    for (const IniSection* s = m_sections; s != nullptr; s = s->next)
        if (std::strcmp(s->name, section) == 0) return s;
    return nullptr;
}

const char* IniFile::FindKey(const char* section, const char* key) const {
    const IniSection* s = FindSection(section);
    if (s == nullptr || key == nullptr) return nullptr;
    for (const IniKey* k = s->keys; k != nullptr; k = k->next)
        if (std::strcmp(k->key, key) == 0) return k->value;
    return nullptr;
}

const char* IniFile::ReadString(const char* section, const char* key, const char* defaultValue) const {
    const char* value = FindKey(section, key);
    return value != nullptr ? value : defaultValue;
}

int32_t IniFile::ReadInt(const char* section, const char* key, int32_t defaultValue) const {
    const char* value = FindKey(section, key);
    return value != nullptr ? LeadingInt(value) : defaultValue;
}
