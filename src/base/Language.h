// The language table ("LANG"): translated texts by entry name, kept as addresses into the file.
#pragma once

#include <cstdint>

class ChunkView;

struct LanguageRecord {
    const char* name;
    const char* secondName;
    const char** texts;  // one per entry name
};

struct LanguageTable {
    int32_t languageCount = 0;
    int32_t entryCount = 0;
    const char** entryNames = nullptr;
    LanguageRecord* languages = nullptr;
    int32_t current = -1;  // 0 after a load with languages, -1 without
};

extern LanguageTable g_LanguageTable;

void Language_Load(ChunkView& chunk);
void Language_Free();
