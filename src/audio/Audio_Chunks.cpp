#include "audio/Audio_Chunks.h"

#include <string>

#include "audio/Audio_Group.h"
#include "audio/Audio_Main.h"
#include "audio/Sound_Main.h"
#include "core/Code_Constant.h"
#include "base/GameFile.h"
#include "base/GameOptions.h"

namespace {

AudioChunk ChunkOf(const ChunkView& view) {
    return AudioChunk{Form_Base(), Form_Size(), view.Offset(), view.Length()};
}

void Report(ChunkView& view, bool ok, const std::string& error) {
    if (!ok) view.Fail("%s", error.c_str());
}

// The options chunk comes first: its audio flag chooses the sound system for the whole run.
void LoadSounds(ChunkView& chunk) {
    const bool engine = g_GameOptions.newAudioEngine;
    Audio_SetEngineEnabled(engine);
    std::string error;
    Report(chunk, engine ? Audio_Load(ChunkOf(chunk), &error) : Sound_Init(ChunkOf(chunk), &error), error);
}

void LoadAudio(ChunkView& chunk) {
    std::string error;
    const bool engine = g_GameOptions.newAudioEngine;
    Report(chunk, engine ? Audio_WAVs(ChunkOf(chunk), 0, &error) : Wave_Init(ChunkOf(chunk), &error), error);
}

void LoadAudioGroups(ChunkView& chunk) {
    if (!g_GameOptions.newAudioEngine) return;
    std::string error;
    Report(chunk, AudioGroup_Load(ChunkOf(chunk), &error), error);
}

// Sound records point into the data file: they go with it.
void ReleaseSounds() {
    Sound_Free();
    Audio_FreeSounds();
    CAudioGroupManager::Free();
}

}  // namespace

void Audio_RegisterChunkReaders() {
    Form_RegisterChunkReader("SOND", ChunkReader{LoadSounds, Sound_Reset, ReleaseSounds});
    Form_RegisterChunkReader("AUDO", ChunkReader{LoadAudio, nullptr, nullptr});
    Form_RegisterChunkReader("AGRP", ChunkReader{LoadAudioGroups, nullptr, nullptr});
    Asset_SetFinder(ASSET_SOUND, Sound_Find);
    Asset_SetFinder(ASSET_AUDIO, Audio_Find);
}
