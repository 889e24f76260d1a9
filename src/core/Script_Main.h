// Scripts: the named code objects of the game, called by index (100000 + index from game
// code), by name, or through Script_Run.
#pragma once

#include <cstdint>

class CCode;
class CInstance;
struct RValue;

class CScript {
public:
    explicit CScript(const char* name);
    virtual ~CScript();
    CScript(const CScript&) = delete;
    CScript& operator=(const CScript&) = delete;

    // A game with code keeps the code index; one without keeps a copy of the source text.
    void Load(int32_t codeIndex, const char* sourceText);
    // Binds the code: the compiled function, or a code object of the bytecode. False when the
    // game has no code for it.
    bool Compile();
    CCode* GetCode() const { return m_code; }
    // The copied source text, or "".
    const char* GetText() const;
    const char* Name() const { return m_name; }
    int32_t CodeIndex() const { return m_codeIndex; }
    const void* CompiledEntry() const { return m_compiledEntry; }
    void* CompiledFunction() const { return m_compiledFunction; }

private:
    CCode* m_code = nullptr;  // owned
    const void* m_compiledEntry = nullptr;
    void* m_compiledFunction = nullptr;
    char* m_text = nullptr;  // owned copy
    int32_t m_codeIndex = -1;
    const char* m_name;  // borrowed from the data file
};

// The table. Script_Init sizes it to `count` empty slots (after freeing what it held);
// Script_Set fills one slot, replacing what was there.
void Script_Init(int32_t count);
void Script_Set(int32_t index, const char* name, int32_t codeIndex, const char* sourceText);
// Deletes every script; the table keeps its size.
void Script_FreeAll();
// Deletes every script and the table.
void Script_Free();
inline void Script_Shutdown() {
    Script_Free();
}

int32_t Script_Count();
bool Script_Exists(int32_t index);
// "<undefined>" for an index without a script.
const char* Script_GetName(int32_t index);
// The highest index whose script bears exactly that name, or -1.
int32_t Script_Find(const char* name);
// The table itself: script calls look their script up on every call.
extern CScript** g_ScriptTable;
extern int32_t g_ScriptCount;
inline CScript* Script_Get(int32_t index) {
    return index >= 0 && index < g_ScriptCount ? g_ScriptTable[index] : nullptr;
}

// Runs script `index` with argc arguments (args may be null when argc is 0); the arguments are
// released afterwards. False for an index without a script or a failed run.
bool Script_Run(int32_t index, CInstance* self, CInstance* other, int32_t argc, RValue* result, RValue* args);

// What preparing the scripts needs of the loaded game. Unset members answer "none".
struct ScriptEnvironment {
    uint32_t (*globalInitCount)() = nullptr;  // the global initialisers, in order
    int32_t (*globalInit)(uint32_t i) = nullptr;
    bool (*objectMode)() = nullptr;
};
void Script_SetEnvironment(const ScriptEnvironment* environment);
// The global object, self and other of global initialisers (null until one is installed).
void Script_SetGlobalObjectSource(CInstance* (*source)());

// Compiles every script (the first failure is a fatal "COMPILATION ERROR in Script"), runs the
// global initialisers and, in object mode, the scripts that start their code.
bool Script_Prepare();
