// Ini files: section headers in square brackets and key=value lines, parsed into lists in
// memory, changed there and written back whole. Names and keys compare exactly (case
// matters); duplicates are kept as read and a lookup finds the last one of the file. The
// written form is fixed: "[name]" and key="value" lines, each ended by CR LF, newest first.
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
    // The runner's own file at the path as given (options.ini beside the game), not resolved
    // through the save area. A file that cannot be read gives an empty ini. With the log flag
    // the debug console gets the whole text.
    IniFile(const char* path, bool log);
    // A game's ini: read from the save area, else the bundle. A file in neither gives an empty
    // ini that keeps its name, so a later flush creates it in the save area.
    static IniFile* Open(const char* name, bool log);
    // Parses a copy of the text (null: the empty text). Without a name it never reaches a file.
    static IniFile* OpenFromString(const char* text);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const IniSection* FindSection(const char* section) const;
    // The value text of the key, or null.
    const char* FindKey(const char* section, const char* key) const;
    const char* ReadString(const char* section, const char* key, const char* defaultValue) const;
    // The value's leading decimal integer (0 when it has none), or the default when absent.
    int32_t ReadInt(const char* section, const char* key, int32_t defaultValue) const;

    // Stores a copy of the value (null: the empty text), making the section and key at the
    // front of their lists when new. False without a section or key. Section "SYSTEM_COMMAND",
    // key "INI_FILE_FLUSH", value "NOW" stores nothing and flushes the file at once.
    bool WriteString(const char* section, const char* key, const char* value);
    // True when the entry was there (the one a lookup finds).
    bool DeleteKey(const char* section, const char* key);
    bool DeleteSection(const char* section);

    // The whole text as a new zero-terminated memory-manager block (the caller frees it),
    // its length in outLength when given. When the ini has changed and has a name, the text
    // is first written to the save area; a write that fails is silent.
    char* Write(int32_t* outLength = nullptr);

    const char* Name() const { return m_name; }
    bool IsDirty() const { return m_dirty; }

private:
    IniFile() = default;
    void Parse();
    bool AtEnd() const { return m_position >= m_textLength; }
    char Current() const { return m_text[m_position]; }
    void SkipBlanks();
    IniSection* ReadSection();
    IniKey* ReadKey();
    IniSection* FindSectionEntry(const char* section) const;
    IniKey* FindKeyEntry(const char* section, const char* key) const;

    char* m_name = nullptr;
    int32_t m_textLength = 0;
    IniSection* m_sections = nullptr;  // newest first
    int32_t m_position = 0;
    char* m_text = nullptr;  // only while parsing
    int32_t m_line = 0;      // line ends passed: tells whether a value sits on its key's line
    bool m_dirty = false;
};
