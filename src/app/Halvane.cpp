#include "app/Halvane.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "assets/Background_Main.h"
#include "assets/Font_Main.h"
#include "assets/Function_Background_Draw.h"
#include "assets/Function_Display.h"
#include "assets/Function_Graphics_Colour.h"
#include "assets/Function_Graphics_Text.h"
#include "assets/Function_Particle.h"
#include "assets/Function_Sprite_Draw.h"
#include "assets/Function_Skeleton.h"
#include "assets/Function_Sprite_Resource.h"
#include "assets/Function_Background_Resource.h"
#include "assets/Function_Font_Resource.h"
#include "assets/Function_Asset.h"
#include "assets/Function_Texture.h"
#include "assets/Graphics_Text.h"
#include "assets/ImageDecode.h"
#include "assets/Particle_Effects.h"
#include "assets/Particle_Main.h"
#include "assets/Sprite_Main.h"
#include "assets/Sprite_Skeleton.h"
#include "audio/Audio_Builtins.h"
#include "audio/Audio_Chunks.h"
#include "audio/Audio_Sound.h"
#include "audio/Function_Sound_Resource.h"
#include "audio/Sound_Main.h"
#include "core/Code_Constant.h"
#include "core/Code_Function.h"
#include "core/Code_Main.h"
#include "core/Code_Variable.h"
#include "core/Console.h"
#include "core/Instance.h"
#include "core/MemoryManager.h"
#include "core/Process.h"
#include "core/RunSwitches.h"
#include "core/RuntimeError.h"
#include "core/Script_Main.h"
#include "core/StackTrace.h"
#include "core/Timing.h"
#include "core/VM.h"
#include "core/Value.h"
#include "core/Variable.h"
#include "core/CRC32.h"
#include "data/Common.h"
#include "data/Function_Data_Structures.h"
#include "data/Function_Math.h"
#include "data/Function_Misc.h"
#include "graphics/Buffer_Vertex.h"
#include "graphics/Function_3D.h"
#include "graphics/Function_Window.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Window.h"
#include "graphics/ShaderM.h"
#include "io/Debug_Remote.h"
#include "io/Profiler.h"
#include "app/OverlayWiring.h"
#include "graphics/VertexFormat.h"
#include "io/Buffer_Async.h"
#include "io/Buffer_Manager.h"
#include "io/Function_File.h"
#include "io/HTTP_Main.h"
#include "io/Network_Main.h"
#include "io/Support_SecureMap.h"
#include "io/LoadSave.h"
#include "io/Support_File.h"
#include "platform/Clock.h"
#include "platform/DialogLayer.h"
#include "platform/GamepadM.h"
#include "room/Function_Camera.h"
#include "room/Function_Layer.h"
#include "room/Function_Tile.h"
#include "room/Layer_Manager.h"
#include "room/Layer_Particles.h"
#include "room/Room_Draw.h"
#include "services/Pell_Functions.h"
#include "app/AudioHostWiring.h"
#include "base/CodeLink.h"
#include "base/CommandLine.h"
#include "base/Error_Report.h"
#include "world/Function_Game.h"
#include "world/Event_Main.h"
#include "world/Function_Event.h"
#include "world/Function_Gamepad.h"
#include "world/Function_Path.h"
#include "world/Function_Resource.h"
#include "base/GEN8.h"
#include "base/GameCode.h"
#include "base/GameFile.h"
#include "world/Room_Services.h"
#include "world/GameSave.h"
#include "world/Gamepad_Class.h"
#include "world/Function_IO.h"
#include "world/IO_Main.h"
#include "world/Variable_BuiltIn.h"
#include "world/GameLoopServices.h"
#include "base/GameOptions.h"
#include "world/GameWorld.h"
#include "app/HalvaneM.h"
#include "base/LoadGame.h"
#include "world/Motion_Grid.h"
#include "base/Options.h"
#include "world/Path_Main.h"
#include "world/World_Services.h"
#include "services/Extension_Main.h"
#include "services/Function_Action.h"
#include "services/Function_Extension.h"
#include "services/Function_Interaction.h"
#include "services/Run_Score.h"
#include "services/Pell_Services.h"
#include "services/Steam_Main.h"
#include "script/JS_Runtime.h"
#include "script/JS_StandardObjects.h"
#include "script/JS_VMHelpers.h"
#include "physics/Function_Physics.h"
#include "physics/Function_Physics_Particle.h"
#include "physics/Physics_Main.h"

// The compiled game linked into the program fills the link record.
GameLinkRecord* Game_FillLinkRecord(GameLinkRecord* record);

namespace {

constexpr int kVersionMajor = 1, kVersionMinor = 0, kVersionBuild = 999, kRevision = 32908;
constexpr int32_t kRandomSeed = 2101988;
constexpr uint32_t kRoamingSaveFlag = 0x2000;

bool g_releaseMode = true;

struct PendingGame {
    char* game = nullptr;
    char* returnFile = nullptr;
    char* saveFolder = nullptr;
} g_pending;

void ReplaceText(char*& slot, const char* text) {
    MEM_FREE(slot);
    slot = text ? String_Duplicate(text) : nullptr;
}

// A start-up message box; without a window the log is the only place it goes.
void ShowMessage(const char* text) {
    DebugConsole.Output("%s\n", text);
    if (g_Switches.headless) return;
    const char* caption = g_GameHeader.displayName ? g_GameHeader.displayName : "";
    PlatformDialog_ShowMessage(caption, text);
}

bool ChooseGameFile(char* path, uint32_t capacity) {
    char* chosen = Runner_ChooseGameFile();
    if (!chosen) return false;
    const bool fits = std::strlen(chosen) < capacity;
    if (fits) std::memcpy(path, chosen, std::strlen(chosen) + 1);
    MEM_FREE(chosen);
    return fits;
}

void ShowFatalError(const char* text) {
    Error_Show(text, true);
}

int32_t FindFunction(const char* name) {
    int32_t id = -1;
    Code_Function_Find(name, &id);
    return id;
}

const char* const* GameConstants(int32_t* count) {
    *count = g_GameOptions.constantCount;
    return g_GameOptions.constantNames;
}

void SetGameClockRate(float framesPerSecond) {
    g_GameClock.SetFrameRate(framesPerSecond);
}

// A fatal run-time error of a built-in or a value operator: reported, then the game that
// launched this one gets control back, or the process ends.
void ReportRuntimeError(const char* message) {
    Error_Report(message, true);
    if (g_LoadState.launchedByGame) {
        Run_RequestEnd();
        return;
    }
    Process_Exit(1);
}

// The global variables live in one object per turn, with a slot for each.
void CreateGlobalObject(int32_t slots) {
    if (g_GlobalObject) PWObjectBase_Free(g_GlobalObject);
    g_GlobalObject = PWObjectBase_Alloc(slots, VALUE_UNSET, true);
    g_VariableSettings.instanceSlotCount = g_LoadState.instanceVariableCount;
}

// Global initialisers run with the global object as self and other; compiled code reaches its
// variables through the object base alone.
CInstance* GlobalObjectAsSelf() {
    return reinterpret_cast<CInstance*>(g_GlobalObject);
}

int32_t g_maxLocals = 0;

void InitVariableTables(int32_t globals, int32_t instances, int32_t locals) {
    Code_Variable_InitTables(globals, instances);
    g_maxLocals = locals;
}

// A fatal interpreter error ends the process with -1, or gives control back to the game that
// launched this one.
void EndAfterInterpreterError() {
    if (g_LoadState.launchedByGame) {
        Run_RequestEnd();
        return;
    }
    Process_Exit(-1);
}

const char* StringTableText(int32_t index) {
    return index >= 0 && static_cast<uint32_t>(index) < Form_StringCount()
               ? Form_String(static_cast<uint32_t>(index))
               : nullptr;
}

// Long-running code asks for the message pump every few thousand branches. The pump itself
// makes system calls; a read of the monotonic clock does not (the vDSO answers it), so the
// pump runs at most once per interval and a tight loop keeps its speed.
constexpr int64_t kInterpreterPumpMicroseconds = 2000;

void PumpFromInterpreter() {
    static int64_t next = 0;
    const int64_t now = PlatformClock_Microseconds();
    if (now < next && next - now <= kInterpreterPumpMicroseconds) return;
    next = now + kInterpreterPumpMicroseconds;
    ProcessMessages();
}

void InstallInterpreterHooks() {
    VMHooks hooks;
    hooks.fatal = EndAfterInterpreterError;
    hooks.processMessages = PumpFromInterpreter;
    hooks.stringText = StringTableText;
    hooks.maxLocals = [] { return g_maxLocals; };
    hooks.objectMode = [] { return g_GameHeader.objectMode; };
    hooks.extensionCall = Extension_Call;
    VM_Install(&hooks);
}

const char* DisplayName() {
    return g_GameHeader.displayName ? g_GameHeader.displayName : "";
}

bool LayerModel() {
    return g_GameHeader.layerModel;
}

// screen_save reads the window's client area of the current target.
void* ReadScreenPixels(int32_t* width, int32_t* height) {
    return GR_D3D_Read_Target_Pixels(g_D3D.clientWidth, g_D3D.clientHeight, 0, 0, width, height);
}

bool WriteScreenPng(const char* name, const void* pixels, int32_t width, int32_t height) {
    return write_png_file(name, static_cast<const uint8_t*>(pixels), width, height);
}

bool ImageSavePath(char* buffer, int32_t bufferSize, const char* name) {
    return LoadSave_GetSavePath(buffer, static_cast<size_t>(bufferSize), name);
}

void InstallWorldServices() {
    WorldServices services;
    services.readTargetPixels = ReadScreenPixels;
    services.writePng = WriteScreenPng;
    World_InstallServices(&services);
    Path_InstallChunkReader();
    g_DrawBuiltinHooks.pathExists = Path_Exists;
    g_DrawBuiltinHooks.pathDraw = Path_Draw;
}

void InstallHooks() {
    g_LoaderHooks.fillLinkRecord = Game_FillLinkRecord;
    g_LoaderHooks.chooseGameFile = ChooseGameFile;
    g_LoaderHooks.readOptionsIni = Options_LoadForGame;
    g_LoaderHooks.showMessage = ShowMessage;
    g_LoaderHooks.showFatalError = ShowFatalError;
    g_LoaderHooks.requestGameEnd = Run_RequestEnd;
    g_LoaderHooks.initHVSFunctions = InitHVSFunctions;
    g_LoaderHooks.setFrameRate = SetGameClockRate;
    g_LoaderHooks.createGlobalObject = CreateGlobalObject;
    g_LoaderHooks.initStandardObjects = JS_InitStandardObjects;
    g_LoaderHooks.createResourceObject = JS_CreateResourceObject;
    g_CodeLink.functionFind = FindFunction;
    g_CodeLink.initVariableTables = InitVariableTables;
    g_CodeLink.variableSetName = Code_Variable_SetName;
    g_CodeLink.variableGetId = Code_Variable_GetId;

    Runtime_SetErrorReporter(ReportRuntimeError);
    InstallInterpreterHooks();
    JS_InstallCoreHooks();
    Runtime_SetReportHooks(Error_Report, Error_Show);
    Code_Function_SetScriptFinder(Script_Find);
    Code_Function_SetExtensionFinder(Extension_Find);
    Extension_RegisterChunkReader();
    g_RoomServices.gameStarting = Extension_RunInitFunctions;
    g_RoomServices.gameEnded = Extension_RunFinalFunctions;
    Code_Constant_SetGameConstantSource(GameConstants);
    Code_Constant_SetMessageHook(ShowMessage);
    File_SetMessagePump(ProcessMessages);
    Script_SetGlobalObjectSource(GlobalObjectAsSelf);
    GameCode_Install();
    GameWorld_Init();
    Audio_RegisterChunkReaders();
    Sprite_InstallHooks();
    Skeleton_InstallHooks();
    Background_InstallHooks();
    Font_RegisterChunkReader();
    Shader_RegisterChunkReader();
    VertexBuffer_InstallHooks();
    g_RoomServices.textReset = Text_Reset;
    Particle_InstallHooks();
    Effect_InstallHooks();
    Layer_InstallParticleHooks();
    AudioHost_Install();
    Physics_Install();

    g_GRHooks.processMessages = ProcessMessages;
    g_GRHooks.showMessage = ShowMessage;
    g_GRHooks.displayName = DisplayName;
    g_GRHooks.layerMode = LayerModel;
    g_GRHooks.runtimeError = ReportRuntimeError;
    g_GRHooks.errorReport = Error_Report;
    Overlay_InstallHooks();
    g_WindowHooks.Run_RequestEnd = Run_RequestEnd;
    g_WindowHooks.Platform_RegisterPauseEvent = Pell_RegisterPauseEvent;
    g_LoaderHooks.setWindowColour = Window_Set_Colour;
    g_TextureHooks.drawAlpha = GR_Draw_Get_Alpha;
    Image_InstallTextureReader();
    Image_SetSavePathResolver(ImageSavePath);
    InstallWorldServices();
    Layer_InstallHooks();
    IO_InstallHooks();
    Gamepad_InstallHooks(PlatformGamepad_Sdl());
    Room_InstallDrawHooks();
    Code_Constant_SetPlatformRegistrar(Pell_RegisterOSConstants);
    PellRunnerHooks pellHooks;
    pellHooks.setReleaseMode = SetReleaseMode;
    pellHooks.setPendingGame = Runner_SetPendingGame;
    Pell_SetRunnerHooks(pellHooks);

    Async_SetWorldEventPerformer(Async_PerformEvent);
    DS_SetAsyncPostMapEvent([](int32_t map, int32_t subtype) { Async_PostMapEvent(map, subtype); });
}

// Start-up could not run the game: the turn ends with the running flag at 0.
void StartUpFailed() {
    g_RunnerExitStatus = 1;
}

// The loaded file's folder is where the game's own files are read from.
void AdoptLoadedGame() {
    Runner_SetDataFilePath(g_LoadState.dataFilePath);
    WorkingDirectory_Init(g_LoadState.dataFilePath);
    Runner_ClearBundleFolder();
    LoadSave_SetBundleFolder(GetBundleFolder());
    LoadSave_SetWorkingFolder(GetBundleFolder());
    const GameLinkRecord* link = g_LoadState.linkRecord;
    StackTrace_SetHeadSlot(link ? link->stackTraceHead : nullptr);
}

// The header names the game, and so its save area.
void AdoptHeader() {
    Runner_SetGameName(g_GameHeader.gameName);
    Runner_SetSaveFolderRoaming((g_GameHeader.infoFlags & kRoamingSaveFlag) != 0);
    LoadSave_SetSaveArea(GetSavePrePend());
    // The table loads here rather than under its tag: the save area it lives in is known only
    // once the header is adopted, and still before any game code runs.
    Highscore_LoadAtStart();
    g_VariableSettings.objectMode = g_GameHeader.objectMode;
    g_VariableSettings.newFormat = g_GameHeader.newReferenceFormat;
}

// Each family of built-ins is registered under its tag, in this order. A family's registrars
// take their place in its row as its module joins the runner.
struct RegistrarGroup {
    const char* tag;
    void (*registrars[8])();
};

const RegistrarGroup kRegistrarGroups[] = {
    {"HighScore..", {}},  // the table loads with the header (AdoptHeader)
    {"Game..", {InitGameFunctions}},
    {"Math..", {InitMathFunctions}},
    {"Graphic..",
     {InitColourFunctions, InitTextFunctions, InitSpriteDrawFunctions, InitBackgroundDrawFunctions,
      InitTextureFunctions, InitDisplayFunctions, InitCameraFunctions,
      InitSkeletonFunctions}},  // InitGraphicsFunctions
    {"Action..", {InitActionFunctions}},
    {"File..", {InitFileFunctions}},
    {"Resource..",
     {InitSpriteResourceFunctions, InitBackgroundResourceFunctions, InitFontResourceFunctions,
      InitSoundResourceFunctions, InitScriptResourceFunctions, InitPathFunctions, InitWorldResourceFunctions,
      InitAssetFunctions}},  // the resource built-ins
    {"Interaction..", {Function_Interaction_Init}},
    {"3D..", {Init3DFunctions}},
    {"Particle..", {InitParticleFunctions}},
    {"Misc..", {InitEventFunctions, InitExternalFunctions, InitWindowFunctions, InitMiscFunctions}},
    {"DS..", {InitDataStructureFunctions, InitSecureMapFunctions}},
    {"Sound..", {Audio_RegisterBuiltins}},
    {"Physics..", {InitPhysicsFunctions, InitPhysicsParticleFunctions}},
    {"Gamepad..", {InitGamepadFunctions}},
    {"Buffers..", {InitBufferFunctions, InitBufferAsyncFunctions, InitVertexBufferFunctions}},
    {"Networking..", {InitHttpFunctions, InitNetworkingFunctions}},
    // Steam's built-ins and the notifications come between the vertex formats and the tiles.
    {"Shaders..",
     {InitShaderFunctions, InitVertexFormatFunctions, Steam_RegisterFunctions, InitTileFunctions,
      InitPushFunctions}},
    {"Pell..", {InitLayerFunctions, Pell_Functions_Init, JS_RegisterVMHelpers, InitWin8Functions}},
};

// The sound front starts here, so both sound systems see the sounds the data file gave them.
// A run that ends inside the game (-headless after the first room, a fatal error) closes the
// device on its way out as a finished turn does.
bool PrepareSounds() {
    static const bool closesAtExit = std::atexit(SND_Quit) == 0;
    (void)closesAtExit;
    SND_Init();
    if (!Sound_Prepare()) return false;
    Audio_PrepareAll();
    return true;
}

struct PrepareStep {
    const char* log;
    bool (*run)();
    const char* failure;  // null: the step always succeeds
};

const PrepareStep kPrepareSteps[] = {
    {"Extension_Prepare() \n", Extension_Prepare, "Failed to prepare extension packages."},
    {"Code_Constant_Prepare() \n", Code_Constant_Prepare, "Failed to define the constants."},
    {"Script_Prepare() \n", Script_Prepare, "Failed to compile the scripts."},
    {"TimeLine_Prepare() \n", TimeLine_Prepare, "Failed to compile the actions in the time lines."},
    {"Object_Prepare() \n", Object_Prepare, "Failed to compile the actions in the objects."},
    {"Room_Prepare() \n", Room_Prepare, nullptr},
    {"Sound_Prepare() \n", PrepareSounds, "Failed to prepare the sounds."},
};

// The command line of the next turn: "-game" and the path in double quotes.
std::string GameCommand(const char* game) {
    return std::string("-game \"") + game + "\"";
}

void ClearPendingGame() {
    ReplaceText(g_pending.game, nullptr);
    ReplaceText(g_pending.returnFile, nullptr);
    ReplaceText(g_pending.saveFolder, nullptr);
}

}  // namespace

const char* Runner_VersionText() {
    static char text[64];
    std::snprintf(text, sizeof text, "Pell Works Runner v%d.%d(%d)[r%d]", kVersionMajor, kVersionMinor,
                  kVersionBuild, kRevision);
    return text;
}

bool Runner_EarlyInit() {
    InstallHooks();
    Timing_Init();
    CRC32_InitTable();
    File_InitTempDirectory();
    ExternalsDisabled = g_Switches.steam || g_LoadState.launchedByGame;
    Code_Constant_RegisterBuiltins();
    Variable_BuiltIn_Init();
    Run_InitGlobals();
    Particle_Reset();
    Highscore_Init();
    Run_ClearPendingLists();
    Window_Init();
    GR_Draw_Init();
    ProcessMessages();
    return true;
}

void Runner_StartUp() {
    DebugConsole.Output(
        "\n***************************************\n*     Pell Works Runner v%d.%d(%d)[r%d]    "
        "*\n***************************************\t \n",
        kVersionMajor, kVersionMinor, kVersionBuild, kRevision);
    MemoryManager_MarkThread(true);
    if (!RunnerLoadGame(Runner_DataFilePath())) return StartUpFailed();
    AdoptLoadedGame();

    DebugConsole.Output("Get Resolution\n");
    if (!Form_FirstPass(Form_Base(), Form_Size())) {
        const char* error = Form_LoadError();
        ErrorConsole.Output("%s\n", error ? error : "Bad game data");
        RunnerLoadGame_End();
        return StartUpFailed();
    }
    AdoptHeader();

    // The window, the device, input and the interpreter start in these steps as their layers
    // join the runner; the log keeps the order either way.
    DebugConsole.Output("Create Window\n");
    if (!Window_Create(g_GameHeader.windowWidth, g_GameHeader.windowHeight)) return StartUpFailed();
    DebugConsole.Output("Init Graphics\n");
    if (!Runner_InitGraphics()) return StartUpFailed();
    DebugConsole.Output("IO Init\n");
    if (!IO_Init()) return StartUpFailed();
    DebugConsole.Output("Process Messages\n");
    ProcessMessages();
    DebugConsole.Output("Splash!\n");
    DebugConsole.Output("Start Frame\n");
    // The particle shape textures are made at their first draw (Particle_ShapeTexture).
    DebugConsole.Output("Part Create Textures\n");
    DebugConsole.Output("Debug Init Remote Interface\n");
    Debug_InitRemoteInterface();
    DebugConsole.Output("VM Init\n");
    VM_Init();
    DebugConsole.Output("Create Score Form\n");
    DebugConsole.Output("Create Load Form\n");
    DebugConsole.Output("Create Error Form\n");
    Error_CreateForm();
    DebugConsole.Output("Do The Work\n");
    if (!PrepareGame()) return StartUpFailed();
}

bool Runner_InitGraphics() {
    DebugConsole.Output("GR_D3D_Init()\n");
    GR_Texture_Startup();
    if (!GR_D3D_Init(Window_Get_Handle(), g_GameHeader.windowWidth, g_GameHeader.windowHeight,
                     g_GameHeader.infoFlags)) {
        return false;
    }
    DebugConsole.Output("Background_InitTextures()\n");
    Background_InitTextures();
    DebugConsole.Output("Sprite_InitTextures()\n");
    Sprite_InitTextures();
    DebugConsole.Output("Font_InitTextures()\n");
    Font_InitTextures();
    return true;
}

void InitHVSFunctions() {
    // A restricted run ("-steam", a game launched by another) stays restricted whatever the
    // header says.
    ExternalsDisabled = g_Switches.steam || g_LoadState.launchedByGame || g_GameHeader.externalsDisabled;
    for (const RegistrarGroup& group : kRegistrarGroups) {
        DebugConsole.Output("%s", group.tag);
        for (void (*registrar)() : group.registrars)
            if (registrar) registrar();
    }
    DebugConsole.Output("Fini\n");
}

bool PrepareGame() {
    Random_SetSeed(kRandomSeed);
    CRT_SRand(kRandomSeed);
    if (!LoadGameData(Form_Base(), Form_Size())) {
        DebugConsole.Output("Failed to load the game\n");
        if (const char* error = Form_LoadError()) ErrorConsole.Output("%s\n", error);
        return false;
    }
    g_VariableSettings.markUnsetReads = g_GameOptions.unsetVariablesNotZero;
    Variable_InitFlags();
    DebugConsole.Output("PrepareGame()\n");
    if (!PrepareGame_Modules()) return false;
    DebugConsole.Output("Run_Start\n");
    Run_Start();
    return true;
}

bool PrepareGame_Modules() {
    for (const PrepareStep& step : kPrepareSteps) {
        DebugConsole.Output("%s", step.log);
        if (!step.run() && step.failure) {
            ShowMessage(step.failure);
            return false;
        }
    }
    DebugConsole.Output("InitGraphics() \n");
    DebugConsole.Output("Finished PrepareGame() \n");
    return true;
}

void Run_Start() {
    if (g_RunnerRunning == 0) {
        // Stepping a game that has no room is not possible: it ends here instead.
        if (!Room_Exists(Room_First())) {
            ErrorConsole.Output("No room to start the game in\n");
            g_RunnerExitStatus = 1;
            return;
        }
        g_RunnerRunning = 1;
        StartGame();
    }
    g_RunnerRunning = 1;
    if (g_Switches.profileDump && !g_Profiler.Recording())
        g_Profiler.Start(g_Switches.profileDumpFile.c_str(), g_Switches.profileDumpSeconds,
                         Runner_DataFilePath());
    MainLoop_Begin();
}

// The input layer, the sound layer and the profiler end their turn here.
void Runner_Finish() {
    IO_End();
    SND_Quit();
    if (g_Profiler.Recording()) g_Profiler.Dump();
}

void Runner_Shutdown() {
    Highscore_SaveAtEnd();
    Highscore_Free();
    Pell_Shutdown();
    Steam_Shutdown();
    GR_D3D_Print_Fps_Stats();
    g_Profiler.Shutdown();
    VertexBuffer_Free_All();
    VertexFormat_Free_All();
    GR_D3D_Shutdown();
    Window_Destroy();
    Code_Constant_Free();
    Code_Function_Free();
    Code_Variable_Free();
    Room_FreeAll();
    Instance_FreeAll();
    Run_FreePersistentInstances();
    Object_FreeAll();
    File_CleanTempDirectory();
    Script_Shutdown();
    JS_ForgetStandardObjects();
    Variable_BuiltIn_Free();
    WorkingDirectory_Free();
    TimeLine_FreeAll();
    Path_FreeAll();
    MpGrid_FreeAll();
    Sound_Free();
    // Sockets close and reliable-UDP packets let go of their buffers before the buffers go.
    Network_Shutdown();
    // Requests still running stop before the buffers and maps they would report into go.
    Async_FreeAll();
    BufferAsync_Reset();
    GameLoad_ClearQueue();  // a load queued as the game ended names a buffer about to go
    Buffer_FreeAll();
    File_FreeTables();
    Text_Shutdown();
    Font_Shutdown();
    Particle_Shutdown();
    Sprite_FreeAll();
    Sprite_Shutdown();
    GR_Texture_Free_All();
    // Code objects point into the data file; rooms and instances only borrowed them.
    Code_Shutdown();
    Form_Free();
    StackTrace_SetHeadSlot(nullptr);
    Error_FreeForm();
}

void Runner_PrepareRestart() {
    if (g_pending.game) {
        std::string command = GameCommand(g_pending.game);
        if (g_pending.returnFile) command += " -exit \"" + std::string(g_pending.returnFile) + "\"";
        DebugConsole.Output("%s\n", command.c_str());
        Runner_SetCommandLine(command.c_str());
        g_LoadState.launchedByGame = true;
        g_RunnerRestart = 1;
        Runner_SetSavePrePend(g_pending.saveFolder);
        ClearPendingGame();
    } else if (!g_Switches.exitGame.empty()) {
        Runner_SetCommandLine(GameCommand(g_Switches.exitGame.c_str()).c_str());
        g_LoadState.launchedByGame = false;
        Error_ClearFatalMark();
        g_RunnerRestart = 1;
        g_Switches.exitGame.clear();
        Runner_SetSavePrePend("");
        Runner_SetGameName("");
    }
}

void SetReleaseMode(bool checked) {
    g_releaseMode = checked;
    DS_SetGridBoundsChecking(checked);
    VertexBuffer_Set_Checked(checked);
}

bool Runner_ReleaseMode() {
    return g_releaseMode;
}

void Runner_SetPendingGame(const char* game, const char* returnFile, const char* saveFolder) {
    ReplaceText(g_pending.game, game);
    ReplaceText(g_pending.returnFile, returnFile);
    ReplaceText(g_pending.saveFolder, saveFolder);
}
