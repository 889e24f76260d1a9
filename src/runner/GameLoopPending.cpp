// TEMPORARY, removed at merge: stand-ins for the code-object, error-report, start-up and
// action modules, which live on other branches. Every definition is weak so the real
// module wins as soon as it is linked. Only what the game loop and its tests need is here:
// code objects run the compiled game's functions from the link record.
#include <cstdio>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/Process.h"
#include "runner/GameFile.h"
#include "runner/GameLoopServices.h"
#include "runner/LoadGame.h"
#include "runner/MainLoop.h"
#include "runner/Event_Main.h"
#include "runner/Room_Main.h"
#include "runner/Run.h"

class CCode {
public:
    explicit CCode(int32_t index) : m_index(index) {}
    virtual ~CCode() = default;
    int32_t Index() const { return m_index; }

private:
    int32_t m_index;
};

namespace {
CCode** g_codeTable = nullptr;
int32_t g_codeCount = 0, g_codeCapacity = 0;

bool GameHasCode() {
    return Form_HasBytecode() || (g_LoadState.linkRecord != nullptr && g_LoadState.codeCount > 0);
}
}  // namespace

__attribute__((weak)) int32_t Code_AddCode(int32_t index, int32_t) {
    if (g_codeCount == g_codeCapacity) {
        const int32_t capacity = g_codeCapacity ? (3 * g_codeCapacity + 1) / 2 : 64;
        g_codeTable = static_cast<CCode**>(MEM_REALLOC(g_codeTable, capacity * sizeof(CCode*)));
        g_codeCapacity = capacity;
    }
    g_codeTable[g_codeCount] = GameHasCode() && index != -1 ? new CCode(index) : nullptr;
    return g_codeCount++;
}

__attribute__((weak)) CCode* Code_Get(int32_t n) {
    return n >= 0 && n < g_codeCount ? g_codeTable[n] : nullptr;
}

// Compiled code only: the link record's code table holds event functions taking (self, other).
__attribute__((weak)) bool Code_ExecuteReport(CInstance* self, CInstance* other, CCode* code, RValue*, int32_t) {
    const GameLinkRecord* link = g_LoadState.linkRecord;
    if (code == nullptr || link == nullptr || link->codeTable == nullptr) return true;
    if (code->Index() < 0 || code->Index() >= link->codeCount) return true;
    auto function = reinterpret_cast<void (*)(CInstance*, CInstance*)>(link->codeTable[code->Index()].function);
    if (function) function(self, other);
    return true;
}

__attribute__((weak)) bool Script_Run(int32_t, CInstance*, CInstance*, int32_t, RValue*, ScriptArguments*) {
    return false;
}

// The report's fatal path as far as the loop sees it: the game ends at the end of the frame.
__attribute__((weak)) void Error_Report(const char* message, bool fatal) {
    ErrorConsole.Output("ERROR!!! :: %s%s\n", fatal ? "FATAL " : "", message ? message : "");
    if (fatal) NewRoomCode = ROOM_ABORT_GAME;
}

__attribute__((weak)) bool g_ActionRelative = false;

// What a game start does in the game world: event lists, run state, the first room (and the
// room its start events asked for). Extensions, cursor and interpolation are not here.
__attribute__((weak)) void StartGame() {
    Object_BuildEventLists();
    g_RunState.score = 0;
    g_RunState.lives = -1;
    g_RunState.cursorSprite = -1;
    g_RunState.transitionKind = 0;
    g_FrameTiming.stepCount = 0;
    Run_ResetWorkingRooms();
    NewRoomCode = Room_First();
    Room_Start(NewRoomCode, true);
    if (NewRoomCode >= 0) {
        MemLog_Event("SwitchRoom to %s", Room_GetName(NewRoomCode));
        Room_End(false);
        Room_Start(NewRoomCode, false);
    }
}
