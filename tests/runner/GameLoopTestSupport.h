// Shared by the game-loop tests: a formpack-made game whose handlers are compiled-game
// functions from the link record. Code index n runs Handler<n>, which logs the label a test
// gave it and then runs the test's action for it. The virtual clock is on for every test.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "core/Console.h"
#include "core/GarbageCollector.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "core/Timing.h"
#include "core/Variable.h"
#include "formpack/FormWriter.h"
#include "base/CodeLink.h"
#include "base/Error_Report.h"
#include "world/Event_Main.h"
#include "base/GEN8.h"
#include "base/GameCode.h"
#include "base/GameFile.h"
#include "app/GameLoopHarness.h"
#include "world/GameWorld.h"
#include "app/HalvaneM.h"
#include "base/LoadGame.h"
#include "app/MainLoop.h"
#include "world/Object_Main.h"
#include "world/Room_Main.h"
#include "world/Event_Inputs.h"
#include "world/Room_Services.h"
#include "world/Run.h"
#include "world/World_Services.h"
#include "world/TimeLine.h"

namespace gameloop_test {

constexpr int kHandlers = 64;
using Action = std::function<void(CInstance* self, CInstance* other)>;

struct HandlerTable {
    std::array<std::string, kHandlers> labels;
    std::array<Action, kHandlers> actions;
    std::vector<std::string> log;
};

inline HandlerTable& Handlers() {
    static HandlerTable table;
    return table;
}

template <int N>
void Handler(CInstance* self, CInstance* other) {
    HandlerTable& table = Handlers();
    if (!table.labels[N].empty()) table.log.push_back(table.labels[N]);
    if (table.actions[N]) table.actions[N](self, other);
}

template <int... N>
std::array<CompiledCodeEntry, kHandlers> MakeCodeTable(std::integer_sequence<int, N...>) {
    return {CompiledCodeEntry{"handler", reinterpret_cast<void*>(&Handler<N>)}...};
}

inline CompiledCodeEntry* CodeTable() {
    static std::array<CompiledCodeEntry, kHandlers> table =
        MakeCodeTable(std::make_integer_sequence<int, kHandlers>{});
    return table.data();
}

// An object with one handler per (type, subtype, code index).
inline formpack::Object MakeObject(const std::string& name, std::vector<std::array<int32_t, 3>> handlers = {},
                                   int32_t parent = -100) {
    formpack::Object o;
    o.name = name;
    o.parent = parent;
    for (const auto& [type, subtype, code] : handlers) o.events[type].push_back({subtype, code});
    return o;
}

inline formpack::Room MakeRoom(const std::string& name, std::vector<formpack::RoomInstance> instances = {}) {
    formpack::Room r;
    r.name = name;
    r.speed = 60;
    r.instances = std::move(instances);
    return r;
}

inline formpack::RoomInstance At(int32_t object, int32_t id, int32_t x = 10, int32_t y = 10) {
    formpack::RoomInstance i;
    i.object = object;
    i.id = id;
    i.x = x;
    i.y = y;
    return i;
}

inline formpack::FormFile MakeGame(std::vector<std::optional<formpack::Object>> objects,
                                   std::vector<std::optional<formpack::Room>> rooms,
                                   std::vector<int32_t> order) {
    formpack::FormFile f;
    f.header.format = 14;
    f.header.lastInstanceId = 200000;  // above every editor id the tests use
    f.header.roomOrder = std::move(order);
    f.objects = std::move(objects);
    f.rooms = std::move(rooms);
    f.code.emplace().empty = true;
    return f;
}

class GameLoopTest : public ::testing::Test {
protected:
    // Headless keeps the console off standard output; tests of room creation code turn it off
    // (a headless run ends after the first room's creation code).
    void SetUp() override {
        g_Switches.headless = true;
        ResetWorld();
        Handlers() = HandlerTable();
        Harness_UseVirtualClock(0);
        Run_InitGlobals();
        NewRoomCode = ROOM_NO_CHANGE;
        g_CurrentEvent = CurrentEvent();
    }

    void TearDown() override {
        Handlers() = HandlerTable();  // test actions may hold references to the test's locals
        ResetWorld();
        Harness_StopAfterFrames(0);
        Harness_UseSystemClock();
        ProcessMessages();  // a fatal error's quit request must not reach the next test
        g_RunnerRunning = 0;
        NewRoomCode = ROOM_NO_CHANGE;
        g_Switches.headless = false;
    }

    // Frees what a shutdown frees, in its order (carried copies before the objects).
    static void ResetWorld() {
        EndGame();
        Room_FreeAll();
        Instance_FreeAll();
        Run_FreePersistentInstances();
        Run_ClearPendingLists();
        Pending_ClearActivations();
        Object_FreeEventLists();
        Object_FreeAll();
        TimeLine_FreeAll();
        Form_Free();
        Form_ResetChunkReaders();
        g_LoaderHooks = LoaderHooks();
        g_CodeLink = CodeLinkInterface();
        g_LoadState = LoadState();
        g_RoomServices = RoomServices();
        g_EventInputs = EventInputs();
        World_InstallServices(nullptr);
        InstanceWorld_Install(nullptr);
        GameWorld_Init();
        GameCode_Install();
        Error_ClearFatalMark();
    }

    // Loads the file with the handler table as the compiled game's code.
    static bool Load(const formpack::FormFile& file) {
        std::string error;
        std::vector<uint8_t> bytes = formpack::Build(file, &error);
        EXPECT_FALSE(bytes.empty()) << error;
        auto* record = static_cast<GameLinkRecord*>(MEM_ALLOC(sizeof(GameLinkRecord)));
        record->codeCount = kHandlers;
        record->codeTable = CodeTable();
        g_LoadState.linkRecord = record;
        g_LoadState.codeCount = kHandlers;
        if (!Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size()))) return false;
        if (!Form_FirstPass(Form_Base(), Form_Size())) return false;
        if (!LoadGameData(Form_Base(), Form_Size())) return false;
        return TimeLine_Prepare() && Object_Prepare() && Room_Prepare();
    }

    // The game starts in the first room of the order; the loop is ready for frames.
    static void Start() {
        g_RunnerRunning = 1;
        StartGame();
        MainLoop_Begin();
    }

    static void Label(int code, std::string text, Action action = nullptr) {
        Handlers().labels[code] = std::move(text);
        Handlers().actions[code] = std::move(action);
    }
    static std::vector<std::string>& Log() { return Handlers().log; }

    static int CountInstances(int32_t objectIndex) {
        int n = 0;
        if (CRoom* room = Run_Room())
            for (CInstance* i = room->active.head; i != nullptr; i = i->depthNext)
                if (i->object_index == objectIndex && !i->destroyed) ++n;
        return n;
    }
    static CInstance* FirstOf(int32_t objectIndex) {
        if (CRoom* room = Run_Room())
            for (CInstance* i = room->active.head; i != nullptr; i = i->depthNext)
                if (i->object_index == objectIndex) return i;
        return nullptr;
    }
};

}  // namespace gameloop_test
