#include "FuzzGame.h"

#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/Console.h"
#include "core/Process.h"
#include "core/VMBuffer.h"
#include "base/DebugInfo.h"
#include "formpack/FormWriter.h"
#include "base/LoadGame.h"
#include "base/Runner.h"
#include "world/Run.h"
#include "app/GameLoopHarness.h"
#include "app/Halvane.h"
#include "app/HalvaneM.h"

namespace {

// The runner ends the process where a real run ends (a failed load, the headless exit after the
// first room's creation code, a fatal error): here such an end leaves the turn instead.
std::jmp_buf g_turnEnd;
bool g_inTurn = false;
int g_exitCode = 0;

void LeaveTurn(int code) {
    if (!g_inTurn) return;
    g_exitCode = code;
    std::longjmp(g_turnEnd, 1);
}

}  // namespace

// Saves stay in a folder of this process, never in the user's save area.
const std::string& FuzzGame_ScratchFolder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/hv-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        std::string path = made ? made : "/tmp";
        setenv("XDG_DATA_HOME", path.c_str(), 1);
        setenv("XDG_CONFIG_HOME", path.c_str(), 1);
        setenv("HV_NO_CRASH_FILTER", "1", 1);
        return path;
    }();
    return folder;
}

namespace {

bool WriteGame(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool whole = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && whole;
}

// A turn cut short by a jump is ended as a finished turn is: the game's end (its end events
// may end the process again, which only cuts them short), then the shutdown.
void CloseCutTurn() {
    g_inTurn = true;
    if (setjmp(g_turnEnd) == 0) EndGame();
    g_inTurn = false;
    Runner_Finish();
    Runner_Shutdown();
    Run_FreeGlobals();
}

class NullConsole final : public tagIConsole {
public:
    void Output(const char*, ...) override {}
};

void PrepareAndList(uint8_t* code, uint32_t length) {
    VMBuffer buffer(code, static_cast<int32_t>(length), 0, 0);
    buffer.Prepare();
    NullConsole console;
    Code_List(nullptr, &buffer, &console);
    for (int32_t at = 0; at <= buffer.runLength; at += 4) (void)buffer.IsInstructionStart(at);
}

// The fuzz game with the bytes in place of its "CODE" chunk's body.
std::vector<uint8_t> GameWithCodeChunk(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes = FuzzCode_GameWith(nullptr, 0);
    for (size_t at = 8; at + 8 <= bytes.size();) {
        uint32_t length;
        std::memcpy(&length, &bytes[at + 4], 4);
        if (std::memcmp(&bytes[at], "CODE", 4) == 0) {
            std::vector<uint8_t> out(bytes.begin(), bytes.begin() + static_cast<long>(at + 8));
            out.insert(out.end(), data, data + size);
            out.insert(out.end(), bytes.begin() + static_cast<long>(at + 8 + length), bytes.end());
            const auto body = static_cast<uint32_t>(size);
            std::memcpy(&out[at + 4], &body, 4);
            const auto form = static_cast<uint32_t>(out.size() - 8);
            std::memcpy(&out[4], &form, 4);
            return out;
        }
        at += 8 + length;
    }
    return bytes;
}

}  // namespace

int FuzzGame_RunFile(const uint8_t* data, size_t size) {
    const std::string path = FuzzGame_ScratchFolder() + "/game.win";
    if (!WriteGame(path, data, size)) return -1;
    const std::string command = "fuzz -game " + path + " -headless -noaudio";
    Runner_SetCommandLine(command.c_str());
    // As for a game another one started: a fatal error ends the game, not the process.
    g_LoadState.launchedByGame = true;
    Harness_UseVirtualClock();
    Harness_StopAfterFrames(FUZZ_GAME_FRAMES);
    const ProcessExitHook previous = Process_SetExitHook(LeaveTurn);
    g_exitCode = 0;
    g_inTurn = true;
    if (setjmp(g_turnEnd) == 0) {
        g_exitCode = Runner_WinMain();
        g_inTurn = false;
    } else {
        g_inTurn = false;
        CloseCutTurn();
    }
    Process_SetExitHook(previous);
    Harness_StopAfterFrames(0);
    Harness_UseSystemClock();
    return g_exitCode;
}

std::vector<uint8_t> FuzzCode_GameWith(const uint8_t* code, size_t size) {
    formpack::FormFile file;
    file.header.format = 15;
    file.header.major = 2;
    file.header.roomOrder = {0};
    file.strings = {"a", "b"};
    formpack::Code& table = file.code.emplace();
    formpack::CodeEntry entry;
    entry.name = "fuzz";
    entry.words.resize(size / 4);
    if (!entry.words.empty()) std::memcpy(entry.words.data(), code, entry.words.size() * 4);
    table.entries.push_back(entry);
    table.variables.push_back({"x", -1, 0, {}});
    formpack::Object object;
    object.name = "obj";
    object.events[0].push_back({0, 0});  // create
    object.events[3].push_back({0, 0});  // step
    file.objects = std::vector<std::optional<formpack::Object>>{object};
    formpack::Room room;
    room.name = "room0";
    room.instances.resize(1);
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    return formpack::Build(file);
}

int FuzzCode_Run(const uint8_t* code, size_t size) {
    const std::vector<uint8_t> game = FuzzCode_GameWith(code, size);
    if (game.empty()) return -1;
    return FuzzGame_RunFile(game.data(), game.size());
}

int FuzzLoad_RunInput(const uint8_t* data, size_t size) {
    if (size > (1u << 22)) return 0;
    const int status = FuzzGame_RunFile(data, size);
    DebugInfo_Load(data, static_cast<uint32_t>(size));
    return status;
}

int FuzzCode_RunInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 16)) return 0;
    const bool asEntry = (data[0] & 1) != 0;
    ++data;
    --size;
    std::vector<uint8_t> raw(data, data + size);
    PrepareAndList(raw.data(), static_cast<uint32_t>(raw.size()));
    if (asEntry) return FuzzCode_Run(data, size);
    const std::vector<uint8_t> file = GameWithCodeChunk(data, size);
    return file.empty() ? -1 : FuzzGame_RunFile(file.data(), file.size());
}
