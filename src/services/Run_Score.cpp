#include "services/Run_Score.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/MemoryManager.h"
#include "core/Value.h"
#include "io/LoadSave.h"

namespace {

struct Place {
    char* name = nullptr;  // null: a place without a name
    int32_t value = 0;
};

Place g_places[HIGHSCORE_PLACES];
bool g_changed = false;
HighscoreSettings g_settings;

constexpr const char* kFileName = "hiscore.dat";
constexpr uint8_t kMagic[4] = {'H', 'I', 'S', 'C'};
constexpr uint8_t kPadding = 0xF0;
// Longer names are taken as a broken file.
constexpr uint32_t kLongestName = 256;
constexpr size_t kSavePathBytes = 1024;

bool ValidPlace(int32_t place) {
    return place >= 1 && place <= HIGHSCORE_PLACES;
}

void SetPlace(Place& place, char* name, int32_t value) {
    MEM_FREE(place.name);
    place.name = name;
    place.value = value;
}

const char* NobodyText() {
    return g_settings.nobody && g_settings.nobody->text ? g_settings.nobody->text : "";
}

char* CopyBytes(const uint8_t* bytes, uint32_t length) {
    auto* copy = static_cast<char*>(MEM_ALLOC_RAW(length + 1));
    std::memcpy(copy, bytes, length);
    copy[length] = '\0';
    return copy;
}

void PutU32(FILE* file, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    std::fwrite(bytes, 1, 4, file);
}

uint32_t GetU32(const uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint32_t Padded(uint32_t length) {
    return (length + 3) & ~3u;
}

void WriteEntry(FILE* file, const Place& place) {
    if (place.name == nullptr) {
        PutU32(file, 0);
        PutU32(file, 0);
        return;
    }
    const uint32_t length = static_cast<uint32_t>(std::strlen(place.name));
    PutU32(file, length);
    std::fwrite(place.name, 1, length, file);
    for (uint32_t i = length; i < Padded(length); ++i) std::fputc(kPadding, file);
    PutU32(file, static_cast<uint32_t>(place.value));
}

// Reads the places in order from the entries; a place whose entry does not fit in the data
// left (or names more than 256 bytes) ends the reading, and it and the following keep theirs.
void ReadEntries(const uint8_t* data, uint64_t size) {
    uint64_t at = 8;
    for (Place& place : g_places) {
        if (size - at < 4) return;
        const uint32_t length = GetU32(data + at);
        if (length > kLongestName) return;
        const uint64_t valueAt = at + 4 + Padded(length);
        if (valueAt + 4 > size) return;
        char* name = length == 0 ? nullptr : CopyBytes(data + at + 4, length);
        SetPlace(place, name, static_cast<int32_t>(GetU32(data + valueAt)));
        at = valueAt + 4;
    }
}

// Empty for a game without a save area (no name): it keeps no table file.
std::string SavePath() {
    if (LoadSave_GetSaveArea().empty()) return {};
    char path[kSavePathBytes];
    if (!LoadSave_GetSavePath(path, sizeof path, kFileName)) return {};
    return path;
}

}  // namespace

HighscoreSettings& Highscore_Settings() {
    return g_settings;
}

void Highscore_SetText(SharedString*& setting, const char* text) {
    SharedString_ReleaseSafe(setting);
    setting = new SharedString(text ? text : "");
}

void Highscore_Init() {
    Highscore_Free();
    Highscore_SetText(g_settings.fontName, "Times New Roman");
    Highscore_SetText(g_settings.caption, "Top Ten Players");
    Highscore_SetText(g_settings.nobody, "<nobody>");
    Highscore_SetText(g_settings.closeHint, "press <Escape> to close");
    Highscore_Clear();
    g_changed = false;
}

void Highscore_LoadAtStart() {
    const std::string path = SavePath();
    if (!path.empty()) Highscore_Load(path.c_str());
    g_changed = false;
}

void Highscore_SaveAtEnd() {
    if (!g_changed) return;
    const std::string path = SavePath();
    if (!path.empty()) Highscore_Save(path.c_str());
    g_changed = false;
}

void Highscore_Clear() {
    for (Place& place : g_places) SetPlace(place, MEM_COPY_TEXT(NobodyText()), 0);
}

void Highscore_SetEntry(int32_t place, const char* name, int32_t value) {
    if (!ValidPlace(place)) return;
    SetPlace(g_places[place - 1], MEM_COPY_TEXT(name ? name : ""), value);
}

void Highscore_Add(const char* name, int32_t value) {
    int32_t at = 0;
    while (at < HIGHSCORE_PLACES && g_places[at].value >= value) ++at;
    if (at == HIGHSCORE_PLACES) return;
    MEM_FREE(g_places[HIGHSCORE_PLACES - 1].name);
    for (int32_t i = HIGHSCORE_PLACES - 1; i > at; --i) g_places[i] = g_places[i - 1];
    g_places[at].name = name ? MEM_COPY_TEXT(name) : nullptr;
    g_places[at].value = value;
    g_changed = true;
}

int32_t Highscore_Value(int32_t place) {
    return ValidPlace(place) ? g_places[place - 1].value : 0;
}

const char* Highscore_Name(int32_t place) {
    return ValidPlace(place) ? g_places[place - 1].name : nullptr;
}

void Highscore_Save(const char* path) {
    File_CreateDirectoryForFile(path);
    if (FILE* file = LoadSave_wfopen(path, "wb")) {
        std::fwrite(kMagic, 1, sizeof kMagic, file);
        PutU32(file, 0);
        for (const Place& place : g_places) WriteEntry(file, place);
        const long end = std::ftell(file);
        std::fseek(file, 4, SEEK_SET);
        PutU32(file, static_cast<uint32_t>(end));
        std::fclose(file);
    }
    g_changed = false;
}

void Highscore_Load(const char* path) {
    int64_t size = 0;
    auto* data = static_cast<uint8_t*>(LoadSave_ReadWholeFile(path, &size));
    const bool valid = data != nullptr && size >= 8 && std::memcmp(data, kMagic, sizeof kMagic) == 0 &&
                       GetU32(data + 4) <= static_cast<uint64_t>(size);
    if (valid) ReadEntries(data, static_cast<uint64_t>(size));
    MEM_FREE(data);
    g_changed = false;
}

bool Highscore_Changed() {
    return g_changed;
}

void Highscore_Free() {
    for (Place& place : g_places) SetPlace(place, nullptr, 0);
    g_settings.fontName = SharedString_ReleaseSafe(g_settings.fontName);
    g_settings.caption = SharedString_ReleaseSafe(g_settings.caption);
    g_settings.nobody = SharedString_ReleaseSafe(g_settings.nobody);
    g_settings.closeHint = SharedString_ReleaseSafe(g_settings.closeHint);
    g_settings = HighscoreSettings{};
    g_changed = false;
}
