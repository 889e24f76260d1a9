// What the game loop calls in the code-object, error-report, start-up and action modules. Declared here by their own names so the loop builds before those modules are in;
// each module's header replaces its lines here once it lands.
#pragma once

#include <cstdint>

class CCode;
class CInstance;
struct RValue;

// Code objects: the code table grows by one entry per call and answers the entry's position;
// the entry is null when the game has no code or the index is -1.
int32_t Code_AddCode(int32_t index, int32_t flag);
CCode* Code_Get(int32_t n);
// Runs a code object for (self, other); a failure is reported as a non-fatal error.
bool Code_ExecuteReport(CInstance* self, CInstance* other, CCode* code, RValue* result, int32_t flags);

// Scripts by index.
struct ScriptArguments;
bool Script_Run(int32_t index, CInstance* self, CInstance* other, int32_t argumentCount, RValue* result,
                ScriptArguments* arguments);

// The run-time error report; a fatal one ends the game at the end of the frame.
void Error_Report(const char* message, bool fatal);

// Start-up: begins the game in the first room of the room order.
void StartGame();

// The action functions' relative flag (action_set_relative).
extern bool g_ActionRelative;
