// Provisional turn: it locates the game and reads options.ini, then stops. The game loader,
// the frame loop and the subsystems' start-up and shutdown land here later.
#include "runner/Halvane.h"

#include <cstdio>
#include <string>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/Process.h"
#include "core/RunSwitches.h"
#include "platform/DialogLayer.h"
#include "platform/HostOS.h"
#include "runner/CommandLine.h"
#include "runner/HalvaneM.h"
#include "runner/Options.h"

namespace {
constexpr int kVersionMajor = 1, kVersionMinor = 0, kVersionBuild = 999, kRevision = 32908;
constexpr size_t kMessageBytes = 1024;

void ShowStartUpMessage(const char* text) {
    DebugConsole.Output("%s\n", text);
    if (!g_Switches.headless) PlatformDialog_ShowMessage("", text);
}

// Finds the data file; a run with no game to load ends here with exit code 1.
void LocateGame() {
    const char* path = Runner_DataFilePath();
    DebugConsole.Output("RunnerLoadGame: %s\n", path != nullptr ? path : "(null)");
    if (path == nullptr || path[0] == '\0') {
        char* chosen = Runner_ChooseGameFile();
        if (chosen == nullptr) Process_Exit(1);
        Runner_SetDataFilePath(chosen);
        MEM_FREE(chosen);
    }
    path = Runner_DataFilePath();
    DebugConsole.Output("RunnerLoadGame() - %s\n", path);
    Options_LoadForGame(path);
    DebugConsole.Output("Reading File %s\n", path);
    if (!HostOS_FileReadable(path)) {
        DebugConsole.Output("FAILED to load File %s\n", path);
        char message[kMessageBytes];
        std::snprintf(message, sizeof message, "Unable to find game!!: %s", path);
        ShowStartUpMessage(message);
        Process_Exit(1);
    }
}
}  // namespace

bool Runner_EarlyInit() {
    ProcessMessages();
    return true;
}

void Runner_StartUp() {
    DebugConsole.Output(
        "\n***************************************\n*     Pell Works Runner v%d.%d(%d)[r%d]    "
        "*\n***************************************\t \n",
        kVersionMajor, kVersionMinor, kVersionBuild, kRevision);
    LocateGame();
    DebugConsole.Output("Loading game data is not available yet: %s\n", Runner_DataFilePath());
    g_RunnerExitStatus = 1;
}

void Runner_Finish() {}
void Runner_Shutdown() {}
void Runner_PrepareRestart() {}
