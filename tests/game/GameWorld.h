// The embedded game running through the real game loop for the characters' tests: loaded from
// its own link record, seeded, with the input layer in place (keys reach the game through the
// back end, as from a window) and a spy on audio_play_sound that lists the sounds played.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EmbeddedGame.h"
#include "assets/Particle_Main.h"
#include "audio/Audio_Chunks.h"
#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/StackTrace.h"
#include "core/Value_Convert.h"
#include "game/Game_Assets.h"
#include "game/Game_Kit.h"
#include "game/Game_Link.h"
#include "world/Collision_Main.h"
#include "world/Function_Game.h"
#include "app/GameLoopHarness.h"
#include "runner/GameLoopTestSupport.h"
#include "world/IO_Main.h"
#include "world/Room_Class.h"

namespace gametest {

struct PlayLog {
    std::vector<std::string> errors;
    std::vector<int32_t> sounds;  // every audio_play_sound, by sound index
    BuiltinProc playSound = nullptr;
};

inline PlayLog& Played() {
    static PlayLog log;
    return log;
}

inline void SpyPlaySound(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args) {
    Played().sounds.push_back(static_cast<int32_t>(RValue_ToReal(&args[0])));
    Played().playSound(result, self, other, argc, args);
}

class GameWorldTest : public gameloop_test::GameLoopTest {
protected:
    void SetUp() override {
        GameLoopTest::SetUp();
        Played().errors.clear();
        Played().sounds.clear();
        // Each error with the compiled function and line that raised it.
        m_previous = Runtime_SetErrorReporter([](const char* m) {
            std::string where = StackTraceHead ? std::string(" in ") + StackTraceHead->name + ":" +
                                                     std::to_string(StackTraceHead->line)
                                               : "";
            Played().errors.push_back(m + where);
        });
        RegisterBuiltins();
        ClearParticles();
        int32_t id = -1;
        ASSERT_TRUE(Code_Function_Find("audio_play_sound", &id));
        const char* name = nullptr;
        int32_t argc = 0;
        Code_Function_GetInfo(id, &name, &Played().playSound, &argc);
        Code_Function_Replace("audio_play_sound", SpyPlaySound);
    }
    void TearDown() override {
        if (Played().playSound) Code_Function_Replace("audio_play_sound", Played().playSound);
        Runtime_SetErrorReporter(m_previous);
        IO_End();
        g_Switches.audioOff = false;
        GameLoopTest::TearDown();
        ClearParticles();  // no room end runs in the tests
    }

    // The game from its first room, seeded as a game start seeds it, ready for frames.
    void StartGame() {
        g_Switches.audioOff = true;  // no output device is opened in the tests
        Collision_Install();
        Audio_RegisterChunkReaders();
        IO_InstallHooks();
        IO_Init();
        ASSERT_TRUE(LoadEmbedded()) << (Form_LoadError() ? Form_LoadError() : "");
        g_Switches.headless = false;  // a headless run would end after the room's creation code
        Harness_SeedRandom();
        Start();
        // The first step's end centres the view on the player: the camera keeps only what is
        // near the view active.
        Frames(1);
    }

    // The game from its first room without its gunmen, who would chase and shoot the player.
    void StartGameWithoutGunmen() {
        StartGame();
        for (CInstance* gunman : All(OBJ_obj_gunman)) Game_InstanceDestroyDirect(gunman);
    }

    static void ClearParticles() {
        ParticleSystem_DestroyAll();
        ParticleType_DestroyAll();
    }

    // Puts the player at (x, y) with the camera and its view already on him, so that the
    // camera keeps what is around him active from the next step on.
    static void MovePlayer(float x, float y) {
        CInstance* dude = First(OBJ_obj_dude);
        ASSERT_NE(dude, nullptr);
        dude->SetPosition(x, y);
        CInstance* camera = First(OBJ_obj_camera);
        if (camera == nullptr) return;
        camera->SetPosition(x, y);
        SetSlot(camera, hvs::S_target_x, x);
        SetSlot(camera, hvs::S_target_y, y);
        const double w = hvs::GetBuiltinReal(camera, hvs::V_view_wview, 0);
        const double h = hvs::GetBuiltinReal(camera, hvs::V_view_hview, 0);
        hvs::SetBuiltinReal(camera, hvs::V_view_xview, 0, x - w * 0.5);
        hvs::SetBuiltinReal(camera, hvs::V_view_yview, 0, y - h * 0.5);
    }

    static void Frames(int64_t n) { ASSERT_EQ(Harness_RunFrames(n), n); }
    // A key pressed and released within one step.
    static void Press(int32_t key) {
        IO_OnKeyDown(key, false);
        Frames(1);
        IO_OnKeyUp(key);
    }

    static double Slot(CInstance* i, int32_t slot) { return RValue_ToReal(i->SlotRef(slot)); }
    static void SetSlot(CInstance* i, int32_t slot, double value) {
        RValue* v = i->SlotRef(slot);
        RValue_Release(v);
        *v = RValue_Real(value);
    }
    static int Count(int32_t object) { return static_cast<int>(All(object).size()); }
    // The instances of the object, active ones first, then those the camera deactivated.
    static std::vector<CInstance*> All(int32_t object) {
        std::vector<CInstance*> out;
        if (CRoom* room = Run_Room())
            for (const InstanceList* list : {&room->active, &room->deactivated})
                for (CInstance* i = list->head; i != nullptr; i = i->depthNext)
                    if (i->object_index == object && !i->destroyed) out.push_back(i);
        return out;
    }
    static CInstance* First(int32_t object) {
        std::vector<CInstance*> all = All(object);
        return all.empty() ? nullptr : all.front();
    }
    static int Plays(int32_t sound) {
        int n = 0;
        for (int32_t s : Played().sounds) n += s == sound;
        return n;
    }
    static std::string Errors() {
        std::string text;
        for (const std::string& e : Played().errors) text += e + "\n";
        return text;
    }

    RuntimeErrorReporter m_previous = nullptr;
};

}  // namespace gametest
