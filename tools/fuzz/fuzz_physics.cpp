// libFuzzer target for the physics built-ins: the bytes drive the same calls as the bounded
// test's random runs (tests/physics/PhysicsFuzzDriver.h) on a fresh room with a world and four
// instances; no input may end the process.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/Code_Main.h"
#include "core/RunSwitches.h"
#include "core/RuntimeError.h"
#include "physics/Function_Physics.h"
#include "physics/Physics_Fixture.h"
#include "physics/Physics_Main.h"
#include "physics/PhysicsFuzzDriver.h"
#include "world/GameWorld.h"
#include "world/Object_Main.h"
#include "world/Room_Class.h"
#include "world/Room_Main.h"
#include "world/Run.h"

namespace {

std::vector<physicsfuzz::Row> g_rows;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_Switches.headless = true;
    GameWorld_Init();
    Physics_Install();
    Object_Init();
    for (int i = 0; i < 4; ++i) Object_Add();
    InitPhysicsFunctions();
    g_rows = physicsfuzz::FindRows();
    // Reports and the fatal errors of bad shapes are recorded by the game, not the process's end.
    Runtime_SetReportHooks([](const char*, bool) {}, [](const char*, bool) {});
    Runtime_SetErrorReporter([](const char*) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    Room_SetLastInstanceID(100000);
    auto* room = new CRoom();
    room->speed = 60;
    room->physicsWorld = new CPhysicsWorld(0.1f, 60);
    Run_SetCurrentRoom(room);
    std::vector<CInstance*> instances;
    for (int32_t i = 0; i < 4; ++i) instances.push_back(room->CreateInstance(40.0f * i, 100.0f, i));
    physicsfuzz::Run(data, size, g_rows, instances);
    Run_SetCurrentRoom(nullptr);
    delete room;
    Fixture_DeleteAll();
    return 0;
}
