#include "app/AudioHostWiring.h"

#include <cstdio>

#include "audio/AudioHost.h"
#include "core/Timing.h"
#include "data/Function_Data_Structures.h"
#include "io/Buffer_Manager.h"
#include "io/HTTP_Main.h"
#include "io/LoadSave.h"
#include "base/Error_Report.h"
#include "base/GEN8.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace {

bool FileIn(const std::string& path, bool exists, char* out, size_t size) {
    if (path.empty() || !exists) return false;
    return std::snprintf(out, size, "%s", path.c_str()) < static_cast<int>(size);
}

bool BundlePath(const char* name, char* out, size_t size) {
    return FileIn(LoadSave_GetBundlePath(name), LoadSave_BundleFileExists(name), out, size);
}

bool SavePath(const char* name, char* out, size_t size) {
    return FileIn(LoadSave_GetSavePath(name), LoadSave_SaveFileExists(name), out, size);
}

void* ReadFile(const char* name, int64_t* size) {
    void* bytes = LoadSave_ReadSaveFile(name, size);
    return bytes ? bytes : LoadSave_ReadBundleFile(name, size);
}

bool BufferBytes(int32_t id, const uint8_t** data, uint32_t* usedSize) {
    const IBuffer* buffer = Buffer_GetByIndex(id);
    if (buffer == nullptr) return false;
    *data = buffer->GetData();
    *usedSize = static_cast<uint32_t>(buffer->GetUsedSize());
    return true;
}

void BufferUse(int32_t id, int32_t delta) {
    IBuffer* buffer = Buffer_GetByIndex(id);
    if (buffer == nullptr) return;
    if (delta > 0)
        buffer->AddUser();
    else
        buffer->RemoveUser();
}

void ShowError(const char* text) {
    Error_Show(text, false);
}

int32_t CreateMap(const AudioMapPair* pairs, int32_t count) {
    const int32_t map = DsMap_Create();
    for (int32_t i = 0; i < count; ++i) {
        if (pairs[i].text)
            DsMap_AddStringDirect(map, pairs[i].key, pairs[i].text);
        else
            DsMap_AddRealDirect(map, pairs[i].key, pairs[i].value);
    }
    return map;
}

// A recording's buffer belongs to its event: the request list frees it once the event ran.
void PostAsync(int32_t subtype, const AudioMapPair* pairs, int32_t count, int32_t ownedBuffer) {
    const int32_t map = CreateMap(pairs, count);
    if (ownedBuffer >= 0)
        Async_PostMapBufferEvent(map, ownedBuffer, subtype);
    else
        Async_PostMapEvent(map, subtype);
}

// Fades count their ticks in frames of the game clock, or of the room without it.
int32_t FramesPerSecond() {
    int32_t fps = 30;
    if (g_GameHeader.layerModel)
        fps = static_cast<int32_t>(g_GameClock.GetFps());
    else if (const CRoom* room = Run_Room())
        fps = room->speed;
    return fps > 0 ? fps : 1;
}

int32_t BufferFromBytes(const uint8_t* bytes, int32_t size) {
    const int32_t id = Buffer_Create(size, 3, 0);
    IBuffer* buffer = Buffer_GetByIndex(id);
    if (buffer == nullptr) return -1;
    buffer->CopyRangeIn(bytes, size, 0, size, 0);
    return id;
}

}  // namespace

void AudioHost_Install() {
    g_AudioHost.bundlePath = BundlePath;
    g_AudioHost.savePath = SavePath;
    g_AudioHost.readFile = ReadFile;
    g_AudioHost.bufferBytes = BufferBytes;
    g_AudioHost.bufferUse = BufferUse;
    g_AudioHost.showError = ShowError;
    g_AudioHost.createMap = CreateMap;
    g_AudioHost.postAsync = PostAsync;
    g_AudioHost.framesPerSecond = FramesPerSecond;
    g_AudioHost.bufferFromBytes = BufferFromBytes;
    g_AudioHost.bufferFree = Buffer_Free;
}
