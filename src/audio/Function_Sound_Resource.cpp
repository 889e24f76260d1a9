// The sound rows of the resource built-ins. Existence and names answer from whichever sound
// system the game uses; the changes act on the legacy sound layer only, and do nothing at all
// while the audio engine serves the game.
#include "audio/Function_Sound_Resource.h"

#include <iterator>

#include "audio/Audio_Control.h"
#include "audio/Audio_Main.h"
#include "audio/Sound_Main.h"
#include "core/RuntimeError.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Convert.h"

namespace {

#define BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)

bool Engine() {
    return Audio_UsingNewSystem();
}

BUILTIN(SoundExists) {
    const int32_t index = Arg_GetInt32(args, 0);
    Result_SetFlag(result, Engine() ? Audio_Exists(index) : Sound_Exists(index));
}

BUILTIN(SoundGetName) {
    const int32_t index = Arg_GetInt32(args, 0);
    RValue_SetString(&result, Engine() ? Audio_GetName(index) : Sound_GetName(index));
}

BUILTIN(SoundGetKind) {
    const CSound* sound = Sound_Get(Arg_GetInt32(args, 0));
    Result_SetReal(result, sound ? sound->kind : -1);
}

BUILTIN(SoundGetPreload) {
    const CSound* sound = Sound_Get(Arg_GetInt32(args, 0));
    Result_SetFlag(result, sound && sound->preload);
}

BUILTIN(SoundDiscard) {
    if (Engine()) return;
    if (CSound* sound = Sound_Get(Arg_GetInt32(args, 0))) sound->Discard();
}

BUILTIN(SoundRestore) {
    if (Engine()) return;
    if (CSound* sound = Sound_Get(Arg_GetInt32(args, 0))) sound->Prepare();
}

BUILTIN(SoundAdd) {
    if (Engine()) return;
    const char* file = Arg_GetString(args, 0);
    const int32_t kind = Arg_GetInt32(args, 1);
    Result_SetReal(result, Sound_Add(file, kind, Arg_GetBool(args, 2)));
}

BUILTIN(SoundReplace) {
    if (Engine()) return;
    const int32_t index = Arg_GetInt32(args, 0);
    const char* file = Arg_GetString(args, 1);
    const int32_t kind = Arg_GetInt32(args, 2);
    const bool preload = Arg_GetBool(args, 3);
    Result_SetFlag(result, Sound_Exists(index) && Sound_Replace(index, file, kind, preload));
}

BUILTIN(SoundDelete) {
    if (Engine()) return;
    const int32_t index = Arg_GetInt32(args, 0);
    Result_SetReal(result, 0);
    if (!Sound_Exists(index)) return Runtime_ErrorNonFatal("Trying to delete non-existing sound.");
    Result_SetFlag(result, Sound_Delete(index));
}

}  // namespace

void InitSoundResourceFunctions() {
    static const BuiltinRow kRows[] = {
        {"sound_name", F_SoundGetName, 1},           {"sound_exists", F_SoundExists, 1},
        {"sound_get_name", F_SoundGetName, 1},       {"sound_get_kind", F_SoundGetKind, 1},
        {"sound_get_preload", F_SoundGetPreload, 1}, {"sound_discard", F_SoundDiscard, 1},
        {"sound_restore", F_SoundRestore, 1},        {"sound_add", F_SoundAdd, 3},
        {"sound_replace", F_SoundReplace, 4},        {"sound_delete", F_SoundDelete, 1},
        {"audio_delete", F_SoundDelete, 1},
    };
    static_assert(std::size(kRows) == 11);
    Code_Function_AddRows(kRows);
}
