// Ini files: section headers in square brackets and key=value lines, parsed into lists in
// memory. Names and keys compare exactly (case matters); duplicates are kept as read and a
// lookup finds the last one of the file.
#pragma once

#include <cstdint>

struct IniKey {
    IniKey* next;
    char* key;
    char* value;
};

struct IniSection {
    IniSection* next;
    IniKey* keys;  // newest first
    char* name;
};

class IniFile {
public:
    // Reads and parses the file; a file that cannot be read gives an empty ini. With the log
    // flag the debug console gets the whole text.
    IniFile(const char* name, bool log);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const IniSection* FindSection(const char* section) const;
    // The value text of the key, or null.
    const char* FindKey(const char* section, const char* key) const;
    const char* ReadString(const char* section, const char* key, const char* defaultValue) const;
    // The value's leading decimal integer (0 when it has none), or the default when absent.
    int32_t ReadInt(const char* section, const char* key, int32_t defaultValue) const;

    const char* Name() const { return m_name; }

private:
    void Parse();
    bool AtEnd() const { return m_position >= m_textLength; }
    char Current() const { return m_text[m_position]; }
    void SkipBlanks();
    IniSection* ReadSection();
    IniKey* ReadKey();

    char* m_name = nullptr;
    int32_t m_textLength = 0;
    IniSection* m_sections = nullptr;  // newest first
    int32_t m_position = 0;
    char* m_text = nullptr;  // only while parsing
    int32_t m_line = 0;      // line ends passed: tells whether a value sits on its key's line
};
