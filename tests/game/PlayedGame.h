// The embedded game started in its first room and played through the real frame loop: keys go
// in through the input module as the window would send them, collisions and input run as in
// the runner, and every runtime error the game raises is kept for the test to look at.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "EmbeddedGame.h"
#include "assets/Particle_Main.h"
#include "audio/Audio_Chunks.h"
#include "core/Instance.h"
#include "core/RuntimeError.h"
#include "core/StackTrace.h"
#include "core/Variable.h"
#include "game/Game_Assets.h"
#include "game/Game_Kit.h"
#include "game/Game_Link.h"
#include "world/Collision_Main.h"
#include "world/Function_Game.h"
#include "runner/GameLoopTestSupport.h"
#include "world/IO_Main.h"

namespace gametest {

class PlayedGame : public gameloop_test::GameLoopTest {
protected:
    void SetUp() override {
        GameLoopTest::SetUp();
        Errors().clear();
        // Each error with the compiled function that raised it.
        m_previous = Runtime_SetErrorReporter([](const char* m) {
            Errors().push_back(std::string(m) +
                               (StackTraceHead ? std::string(" in ") + StackTraceHead->name : ""));
        });
        RegisterBuiltins();
        g_Switches.audioOff = true;  // no output device is opened in the tests
        Collision_Install();
        IO_InstallHooks();
        IO_Init();
        Audio_RegisterChunkReaders();
        ASSERT_TRUE(LoadEmbedded()) << (Form_LoadError() ? Form_LoadError() : "");
        g_Switches.headless = false;  // a headless run would end after the room's creation code
        BeforeStart();
        Start();
        m_dude = FirstOf(OBJ_obj_dude);
        ASSERT_NE(m_dude, nullptr);
        // The gunmen chase and shoot the player: these tests leave them out.
        std::vector<CInstance*> gunmen;
        for (CInstance* i = Run_Room()->active.head; i != nullptr; i = i->depthNext)
            if (i->object_index == OBJ_obj_gunman) gunmen.push_back(i);
        for (CInstance* gunman : gunmen) Game_InstanceDestroyDirect(gunman);
    }

    // The room's view starts in its top left corner, away from the player, who rests through the
    // first frame until the camera has centred the view on him; the next begin step wakes him.
    void FirstFrame() {
        Frames(1);
        ASSERT_TRUE(m_dude->deactivated);
    }
    void TearDown() override {
        for (int32_t key : m_held) IO_OnKeyUp(key);
        IO_End();
        g_Switches.audioOff = false;
        Runtime_SetErrorReporter(m_previous);
        GameLoopTest::TearDown();
        // No room end runs in the tests: the game's particle systems would outlive it.
        ParticleSystem_DestroyAll();
        ParticleType_DestroyAll();
    }

    // Devices a test plugs in before the room's instances are made.
    virtual void BeforeStart() {}

    static std::vector<std::string>& Errors() {
        static std::vector<std::string> errors;
        return errors;
    }
    static std::string FirstError() { return Errors().empty() ? "" : Errors()[0]; }
    static size_t ErrorCount() { return Errors().size(); }

    void Hold(int32_t key) {
        IO_OnKeyDown(key, false);
        m_held.push_back(key);
    }
    void Release(int32_t key) {
        IO_OnKeyUp(key);
        std::erase(m_held, key);
    }
    // Down and up between two steps: the next step sees it pressed.
    static void Tap(int32_t key) {
        IO_OnKeyDown(key, false);
        IO_OnKeyUp(key);
    }
    static void Frames(int64_t n) { ASSERT_EQ(Harness_RunFrames(n), n); }

    static double Var(CInstance* i, int32_t slot) { return RValue_ToReal(i->SlotRef(slot)); }
    static void SetVar(CInstance* i, int32_t slot, double value) { RValue_SetReal(i->SlotRef(slot), value); }
    static double Builtin(CInstance* i, int32_t ref, int32_t index = ARRAY_INDEX_WHOLE) {
        return hvs::GetBuiltinReal(i, ref, index);
    }
    // A view variable, element 0.
    static double Builtin(int32_t ref) { return hvs::GetBuiltinReal(Camera(), ref, 0); }
    static void SetBuiltin(CInstance* i, int32_t ref, double value, int32_t index = ARRAY_INDEX_WHOLE) {
        hvs::SetBuiltinReal(i, ref, index, value);
    }
    static void Place(CInstance* i, double x, double y) {
        SetBuiltin(i, hvs::V_x, x);
        SetBuiltin(i, hvs::V_y, y);
    }
    static CInstance* Create(double x, double y, int32_t object) {
        const int32_t id = Game_InstanceCreateDirect(static_cast<float>(x), static_cast<float>(y), object);
        return Instance_Find(id);
    }
    static CInstance* StateManager() { return FirstOf(OBJ_obj_state_manager); }
    static CInstance* Camera() { return FirstOf(OBJ_obj_camera); }

    CInstance* m_dude = nullptr;
    std::vector<int32_t> m_held;
    RuntimeErrorReporter m_previous = nullptr;
};

}  // namespace gametest
