// Finding and loading the game: the compiled game's link record, the data file (embedded,
// data.win, "-game" or a chosen file), options.ini and the debug information beside it.
#pragma once

#include <cstdint>

struct StackTraceNode;

// A name the compiled game uses, resolved by the runner at load.
struct VariableRef {
    const char* name;
    int32_t variableId;
};
struct FunctionRef {
    const char* name;
    int32_t builtinIndex;
};
struct CompiledCodeEntry {
    const char* name;
    void* function;
};

// Filled by the compiled game. Pointer-sized fields on this build.
struct GameLinkRecord {
    const uint8_t* data;  // embedded data file, or null
    uint32_t dataSize;
    int32_t globalSlotCount;    // used when above 0
    int32_t instanceSlotCount;  // used when above 0
    int32_t codeCount;
    VariableRef** variableRefs;    // null-ended
    FunctionRef** functionRefs;    // null-ended
    CompiledCodeEntry* codeTable;  // codeCount entries
    StackTraceNode** stackTraceHead;
};

// What the loader calls in subsystems that register themselves at start-up. A null entry is a
// service that is not there: the loader does without it (and says so where it matters).
struct LoaderHooks {
    GameLinkRecord* (*fillLinkRecord)(GameLinkRecord* record) = nullptr;
    // The open-file dialog; writes the chosen path and answers true, or false when cancelled.
    bool (*chooseGameFile)(char* path, uint32_t capacity) = nullptr;
    void (*readOptionsIni)(const char* path) = nullptr;
    // A message box; under "-headless" it only logs the text. Unset: the error console.
    void (*showMessage)(const char* text) = nullptr;
    // Shows a fatal load error (the run-time error report's fatal path).
    void (*showFatalError)(const char* text) = nullptr;
    // A game launched by another game ends the game instead of the process.
    void (*requestGameEnd)() = nullptr;
    void (*initHVSFunctions)() = nullptr;  // after the header pass read "GEN8"
    void (*createGlobalObject)(int32_t slots) = nullptr;
    void (*resetCameras)() = nullptr;          // layer model, before the chunks are read
    void (*initStandardObjects)() = nullptr;   // object mode, in "GEN8"
    void (*createResourceObject)() = nullptr;  // object mode, after the last chunk
    void (*setFrameRate)(float framesPerSecond) = nullptr;
    void (*setWindowColour)(uint32_t colour) = nullptr;
};

extern LoaderHooks g_LoaderHooks;

// Run state of the load that other modules read.
struct LoadState {
    GameLinkRecord* linkRecord = nullptr;
    int32_t codeCount = 0;          // from the link record
    bool launchedByGame = false;    // this run was started by another game
    bool gameEndRequested = false;  // set instead of exiting when launchedByGame
    char dataFilePath[1024] = {};
    char workingDirectory[1024] = {};  // the data file's folder, ending in "/"
    char firstGamePath[1024] = {};     // the first game loaded in this process
    int32_t globalVariableCount = 0;   // from the link record or "VARI"
    int32_t instanceVariableCount = 0;
};

extern LoadState g_LoadState;

// Locates and loads the data file for `dataFilePath` (data.win beside the program or the
// "-game" file; may be empty), reads options.ini and the debug information. False when no game
// was found; the process has then ended (or the game end was requested, for a launched game).
bool RunnerLoadGame(const char* dataFilePath);
// The same for data already in memory (copied); `path` names it in the log and places its
// companions (may be null).
bool RunnerLoadGame_FromBytes(const uint8_t* data, uint32_t size, const char* path);
// Ends a failed load: a launched game requests its end, anything else exits with code 1.
void RunnerLoadGame_End();
// Releases the link record.
void RunnerLoadGame_Free();
