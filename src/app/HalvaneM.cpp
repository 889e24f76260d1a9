#include "app/HalvaneM.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/Console.h"
#include "core/ErrorDialog.h"
#include "core/MemoryManager.h"
#include "core/Process.h"
#include "core/RunSwitches.h"
#include "platform/DialogLayer.h"
#include "platform/EventPump.h"
#include "platform/HostOS.h"
#include "platform/QuitSignals.h"
#include "base/CommandLine.h"
#include "base/Runner.h"
#include "app/Halvane.h"

namespace {
constexpr size_t kAtNameBytes = 2048;

bool IsUnsafePathPart(const std::string& part) {
    return part.empty() || part == "." || part == "..";
}

void FindDataWinBesideProgram() {
    const std::string program = GetExePath();
    const size_t slash = program.rfind('/');
    if (slash == std::string::npos) return;  // the program's folder is unknown
    const std::string path = program.substr(0, slash + 1) + "data.win";
    if (HostOS_FileReadable(path.c_str())) Runner_SetDataFilePath(path.c_str());
}

void RunOneTurn() {
    g_RunnerRestart = 0;
    FindDataWinBesideProgram();
    CommandLine_Parse(Runner_CommandLine());
    // Test runs set HV_NO_CRASH_FILTER so that a crash stays a crash for the sanitizers.
    const char* noFilter = std::getenv("HV_NO_CRASH_FILTER");
    if (g_Switches.headless && !(noFilter && *noFilter)) HostOS_InstallCrashHandler(Headless_ExceptionFilter);
    if (Runner_DataFilePath() != nullptr) {
        const std::string full = HostOS_FullPath(Runner_DataFilePath());
        if (!full.empty()) Runner_SetDataFilePath(full.c_str());
    }
    if (!Runner_EarlyInit()) return;  // the restart flag is clear: the loop ends
    Runner_StartUp();
    while (g_RunnerRunning == 1) {
        MainLoop_Frame();
        ProcessMessages();
    }
    if (g_RunnerRunning == 0) EndGame();
    Runner_Finish();
    Runner_PostQuit();
    Runner_Shutdown();
    Runner_PrepareRestart();
    Run_FreeGlobals();
}
}  // namespace

namespace {
void ShowOutOfMemoryBox(const char* text, const char* title) {
    PlatformDialog_ShowMessage(title, text);
}

constexpr const char kUsage[] =
    "Usage: %s [options]\n"
    "Runs the game embedded in the program, else data.win beside it, else the file -game names.\n"
    "\n"
    "  -game FILE                 the game data file to run\n"
    "  -headless                  no window, no output to standard output, no dialogs; the process\n"
    "                             ends after the first room's creation code\n"
    "  -output FILE               append the error console to a file\n"
    "  -debugoutput FILE          append the debug console to a file\n"
    "  -memlog FILE               write the memory manager's allocation log\n"
    "  -noaudio                   no sound\n"
    "  -noerrors                  no error dialogs\n"
    "  -inawindow                 a window even where the game asks for full screen\n"
    "  -debug                     the debug overlay\n"
    "  -trace                     the interpreter trace\n"
    "  -sleepmargin MS            sleep margin of the frame wait (default 10 ms)\n"
    "  -record FILE               record the player's input\n"
    "  -playback FILE             replay recorded input\n"
    "  -profiledump FILE SECONDS  profile every frame, the report rewritten every SECONDS\n"
    "  -help, --help, -h          this text\n"
    "  --version                  the runner's version\n"
    "\n"
    "Other options are left to the game, which reads its own parameters.\n";

bool IsOneOf(const char* text, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (std::strcmp(text, name) == 0) return true;
    return false;
}

// -help or --version anywhere on the line answers and ends the process before anything starts.
bool AnswerInformationOptions(int argc, char** argv, int* status) {
    for (int i = 1; i < argc; ++i) {
        if (IsOneOf(argv[i], {"-help", "--help", "-h"})) {
            std::printf(kUsage, argc > 0 ? argv[0] : "halvane-runner");
        } else if (IsOneOf(argv[i], {"--version"})) {
            std::printf("%s\n", Runner_VersionText());
        } else {
            continue;
        }
        *status = 0;
        return true;
    }
    return false;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The "@" names are tidied only in the game's own folder: the program's, or the data file's.
bool WorkingFolderIsTheGames(int argc, char** argv) {
    const std::string here = HostOS_FullPath(".");
    if (FolderOf(GetExePath()) == here) return true;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-game") == 0 && FolderOf(HostOS_FullPath(argv[i + 1])) == here) return true;
    return false;
}
}  // namespace

int Runner_Main(int argc, char** argv) {
    int status = 0;
    if (AnswerInformationOptions(argc, argv, &status)) return status;
    QuitSignals_Install();
    MemoryManager_MarkThread(true);
    OutOfMemory_SetBoxHook(ShowOutOfMemoryBox);
    ErrorDialog_SetMessagePump(ProcessMessages);
    char* commandLine = Runner_CommandLineFromArgs(argc, argv);
    Runner_SetCommandLine(commandLine);
    MEM_FREE(commandLine);
    if (WorkingFolderIsTheGames(argc, argv)) Runner_MoveAtNamedFiles();
    return Runner_WinMain();
}

int Runner_WinMain() {
    do {
        RunOneTurn();
        g_RunnerFirstRun = 0;
    } while (g_RunnerRestart != 0);
    return g_RunnerExitStatus;
}

void Runner_MoveAtNamedFiles() {
    for (const std::string& name : HostOS_ListPlainFiles(".")) Runner_MoveAtNamedFile(name.c_str());
}

bool Runner_MoveAtNamedFile(const char* name) {
    if (name == nullptr || std::strchr(name, '@') == nullptr) return false;
    if (std::strlen(name) >= kAtNameBytes) return false;

    // Check every part before touching the disk, so a refused name creates no folder.
    std::vector<std::string> parts;
    for (const char* start = name;;) {
        const char* at = std::strchr(start, '@');
        parts.emplace_back(start, at != nullptr ? at : start + std::strlen(start));
        if (at == nullptr) break;
        start = at + 1;
    }
    for (const std::string& part : parts)
        if (IsUnsafePathPart(part)) return false;

    std::string target;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        target += parts[i];
        if (!HostOS_MakeFolder(target.c_str())) return false;
        target += '/';
    }
    target += parts.back();
    return HostOS_MoveFileNoReplace(name, target.c_str());
}

// Runs inside a signal handler: no allocation, no locks, no stdio.
void Headless_ExceptionFilter(int) {
    HostOS_WriteAndExit("Exception detected during the unit tests!\n", 1);
}

void Headless_CheckFailure(int errorType, const char* file, int line, const char* module) {
    std::printf("Error type %d at %s line %d in %s", errorType, file ? file : "", line, module ? module : "");
    Process_Exit(1);
}
