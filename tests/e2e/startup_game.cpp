// A test game linked into the runner the way a compiled game is: its own link record, its logic
// as C++ functions in the code table, and its data (written by formpack) embedded in the
// program. HV_STARTUP_GAME=error adds a global initialiser that raises a run-time error three
// calls deep.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/Code_Main.h"
#include "core/Console.h"
#include "core/RuntimeError.h"
#include "core/StackTrace.h"
#include "core/Value.h"
#include "formpack/FormWriter.h"
#include "app/HalvaneM.h"
#include "base/LoadGame.h"

namespace {

StackTraceNode* g_stackTraceHead = nullptr;  // the game keeps its own head

// The prologue and epilogue of every compiled function.
class Frame {
public:
    Frame(const char* name, int32_t line) { StackTrace_Push(&m_node, name, line); }
    ~Frame() { StackTrace_Pop(&m_node); }
    void Line(int32_t line) { m_node.line = line; }

private:
    StackTraceNode m_node;
};

void GlobalInit(CInstance*, CInstance*) {
    Frame frame("hvs_GlobalInit", 1);
    DebugConsole.Output("compiled global initialiser ran\n");
}

void RoomCreate(CInstance*, CInstance*) {
    Frame frame("hvs_Room_room0_Create", 0);
    DebugConsole.Output("room creation code ran\n");
}

RValue* ScriptInner(CInstance*, CInstance*, RValue* result, int32_t, RValue**) {
    Frame frame("hvs_Script_scr_inner", 3);
    frame.Line(4);
    Runtime_Error("three calls deep");
    return result;
}

RValue* ScriptMiddle(CInstance* self, CInstance* other, RValue* result, int32_t, RValue**) {
    Frame frame("hvs_Script_scr_middle", 7);
    return ScriptInner(self, other, result, 0, nullptr);
}

void FailingInit(CInstance* self, CInstance* other) {
    Frame frame("hvs_GlobalFail", 12);
    RValue result = RValue_Undefined();
    ScriptMiddle(self, other, &result, 0, nullptr);
}

CompiledCodeEntry g_codeTable[] = {
    {"hvs_GlobalInit", reinterpret_cast<void*>(GlobalInit)},
    {"hvs_Room_room0_Create", reinterpret_cast<void*>(RoomCreate)},
    {"hvs_Script_scr_inner", reinterpret_cast<void*>(ScriptInner)},
    {"hvs_Script_scr_middle", reinterpret_cast<void*>(ScriptMiddle)},
    {"hvs_GlobalFail", reinterpret_cast<void*>(FailingInit)},
};

std::vector<uint8_t> BuildData(bool withError) {
    formpack::FormFile file;
    file.header.gameName = "startup_test";
    file.header.roomOrder = {0};
    formpack::Room room;
    room.name = "room0";
    room.creationCode = 1;
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
    file.scripts = std::vector<formpack::Script>{{"scr_inner", 2}, {"scr_middle", 3}};
    file.globalInits = withError ? std::vector<int32_t>{0, 4} : std::vector<int32_t>{0};
    return formpack::Build(file);
}

std::vector<uint8_t> g_data;

}  // namespace

GameLinkRecord* Game_FillLinkRecord(GameLinkRecord* record) {
    if (g_data.empty()) {
        const char* scenario = std::getenv("HV_STARTUP_GAME");
        g_data = BuildData(scenario && std::strcmp(scenario, "error") == 0);
    }
    std::memset(record, 0, sizeof *record);
    record->data = g_data.data();
    record->dataSize = static_cast<uint32_t>(g_data.size());
    record->codeCount = static_cast<int32_t>(sizeof g_codeTable / sizeof g_codeTable[0]);
    record->codeTable = g_codeTable;
    record->stackTraceHead = &g_stackTraceHead;
    return record;
}

int main(int argc, char** argv) {
    return Runner_Main(argc, argv);
}
