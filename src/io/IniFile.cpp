#include "io/IniFile.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/Value.h"
#include "io/LoadSave.h"

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

void FreeKey(IniKey* key) {
    MEM_FREE(key->key);
    MEM_FREE(key->value);
    MEM_FREE(key);
}

void FreeSection(IniSection* section) {
    while (IniKey* key = section->keys) {
        section->keys = key->next;
        FreeKey(key);
    }
    MEM_FREE(section->name);
    MEM_FREE(section);
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

IniFile::IniFile(const char* path, bool log) {
    if (path == nullptr) return;
    m_name = String_Duplicate(path);
    m_text = ReadWholeFile(m_name, m_textLength);
    if (log && m_text != nullptr) DebugConsole.Output("%s file contents: %s\n", m_name, m_text);
    Parse();
}

IniFile* IniFile::Open(const char* name, bool log) {
    auto* ini = new IniFile();
    if (name == nullptr) return ini;
    ini->m_name = String_Duplicate(name);
    int64_t size = 0;
    void* block = LoadSave_SaveFileExists(name) ? LoadSave_ReadSaveFile(name, &size) : nullptr;
    if (block == nullptr && LoadSave_BundleFileExists(name)) block = LoadSave_ReadBundleFile(name, &size);
    if (block != nullptr) {
        // One more byte for the terminator the log line and the parser's lookups rely on.
        ini->m_textLength = static_cast<int32_t>(size);
        ini->m_text = static_cast<char*>(MEM_REALLOC(block, static_cast<size_t>(size) + 1));
        ini->m_text[size] = '\0';
        if (log) DebugConsole.Output("%s file contents: %s\n", ini->m_name, ini->m_text);
    }
    ini->Parse();
    return ini;
}

IniFile* IniFile::OpenFromString(const char* text) {
    auto* ini = new IniFile();
    if (text == nullptr) text = "";
    const size_t length = std::strlen(text);
    if (length < static_cast<size_t>(INT32_MAX)) {
        ini->m_textLength = static_cast<int32_t>(length);
        ini->m_text = CopyText(text, length);
    }
    ini->Parse();
    return ini;
}

IniFile::~IniFile() {
    while (IniSection* section = m_sections) {
        m_sections = section->next;
        FreeSection(section);
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

IniSection* IniFile::FindSectionEntry(const char* section) const {
    if (section == nullptr) return nullptr;
    for (IniSection* s = m_sections; s != nullptr; s = s->next)
        if (std::strcmp(s->name, section) == 0) return s;
    return nullptr;
}

IniKey* IniFile::FindKeyEntry(const char* section, const char* key) const {
    const IniSection* s = FindSectionEntry(section);
    if (s == nullptr || key == nullptr) return nullptr;
    for (IniKey* k = s->keys; k != nullptr; k = k->next)
        if (std::strcmp(k->key, key) == 0) return k;
    return nullptr;
}

const IniSection* IniFile::FindSection(const char* section) const {
    return FindSectionEntry(section);
}

const char* IniFile::FindKey(const char* section, const char* key) const {
    const IniKey* entry = FindKeyEntry(section, key);
    return entry != nullptr ? entry->value : nullptr;
}

const char* IniFile::ReadString(const char* section, const char* key, const char* defaultValue) const {
    const char* value = FindKey(section, key);
    return value != nullptr ? value : defaultValue;
}

int32_t IniFile::ReadInt(const char* section, const char* key, int32_t defaultValue) const {
    const char* value = FindKey(section, key);
    return value != nullptr ? LeadingInt(value) : defaultValue;
}

bool IniFile::WriteString(const char* section, const char* key, const char* value) {
    m_dirty = true;
    if (section != nullptr && std::strcmp(section, "SYSTEM_COMMAND") == 0) {
        if (key != nullptr && value != nullptr && std::strcmp(key, "INI_FILE_FLUSH") == 0 &&
            std::strcmp(value, "NOW") == 0)
            MEM_FREE(Write());
        return true;
    }
    if (section == nullptr || key == nullptr) return false;

    IniKey* entry = FindKeyEntry(section, key);
    if (entry == nullptr) {
        IniSection* s = FindSectionEntry(section);
        if (s == nullptr) {
            s = static_cast<IniSection*>(MEM_ALLOC(sizeof(IniSection)));
            s->name = String_Duplicate(section);
            s->next = m_sections;
            m_sections = s;
        }
        entry = static_cast<IniKey*>(MEM_ALLOC(sizeof(IniKey)));
        entry->key = String_Duplicate(key);
        entry->next = s->keys;
        s->keys = entry;
    }
    MEM_FREE(entry->value);
    entry->value = String_Duplicate(value != nullptr ? value : "");
    return true;
}

bool IniFile::DeleteKey(const char* section, const char* key) {
    IniSection* s = FindSectionEntry(section);
    if (s == nullptr || key == nullptr) return false;
    for (IniKey** link = &s->keys; *link != nullptr; link = &(*link)->next) {
        IniKey* entry = *link;
        if (std::strcmp(entry->key, key) != 0) continue;
        *link = entry->next;
        FreeKey(entry);
        m_dirty = true;
        return true;
    }
    return false;
}

bool IniFile::DeleteSection(const char* section) {
    if (section == nullptr) return false;
    for (IniSection** link = &m_sections; *link != nullptr; link = &(*link)->next) {
        IniSection* entry = *link;
        if (std::strcmp(entry->name, section) != 0) continue;
        *link = entry->next;
        FreeSection(entry);
        m_dirty = true;
        return true;
    }
    return false;
}

char* IniFile::Write(int32_t* outLength) {
    int64_t length = 0;
    for (const IniSection* s = m_sections; s != nullptr; s = s->next) {
        length += static_cast<int64_t>(std::strlen(s->name)) + 4;
        for (const IniKey* k = s->keys; k != nullptr; k = k->next)
            length += static_cast<int64_t>(std::strlen(k->key) + std::strlen(k->value)) + 5;
    }
    // A text past 2 GB cannot be handed back or written whole; give the empty text and keep
    // the file as it was rather than write part of it.
    const bool fits = length < INT32_MAX;
    if (!fits) length = 0;

    char* text = static_cast<char*>(MEM_ALLOC(static_cast<size_t>(length) + 1));
    char* out = text;
    auto put = [&out](const char* part) {
        const size_t n = std::strlen(part);
        std::memcpy(out, part, n);
        out += n;
    };
    for (const IniSection* s = fits ? m_sections : nullptr; s != nullptr; s = s->next) {
        put("[");
        put(s->name);
        put("]\r\n");
        for (const IniKey* k = s->keys; k != nullptr; k = k->next) {
            // A value holding a double quote is written between single quotes when it can be,
            // so it reads back whole; everything else keeps the double quotes.
            const char* quote = std::strchr(k->value, '"') && !std::strchr(k->value, '\'') ? "'" : "\"";
            put(k->key);
            put("=");
            put(quote);
            put(k->value);
            put(quote);
            put("\r\n");
        }
    }
    *out = '\0';
    if (outLength != nullptr) *outLength = static_cast<int32_t>(length);

    if (m_dirty && m_name != nullptr && fits) {
        LoadSave_WriteFile(m_name, text, length);
        m_dirty = false;
    }
    return text;
}
