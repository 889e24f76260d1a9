// Code objects: every piece of game logic the runner runs by index (an object's event, a room's
// creation code, an instance's creation code, a script, a global initialiser). A code object
// either calls a function of the compiled game or holds bytecode for the interpreter.
#pragma once

#include <cstdint>

class CInstance;
struct RValue;
struct VMBuffer;

// The two shapes of compiled game functions: events and creation code, and scripts.
using CompiledEventFn = void (*)(CInstance* self, CInstance* other);
using CompiledScriptFn = RValue* (*)(CInstance* self, CInstance* other, RValue* result, int32_t argc,
                                     RValue** args);

class CCode {
public:
    // Binds the code entry `index` of the game: its compiled function, or its bytecode with the
    // debug table and source text when the game carries them. An index of 0 or more joins the
    // code list. The flag is 0 in every use.
    CCode(int32_t index, int32_t flag);
    // Leaves the code list unless `keep` is set.
    virtual ~CCode();
    CCode(const CCode&) = delete;
    CCode& operator=(const CCode&) = delete;

    CCode* next = nullptr;  // the code list, newest first
    int32_t kind = 1;
    const char* text = "";           // source text; "" for compiled code, null for bytecode without one
    VMBuffer* buffer = nullptr;      // bytecode (owned); null for compiled code
    VMBuffer* debugTable = nullptr;  // (code offset, source position) pairs (owned), or null
    const char* source = nullptr;    // the text source lines are read from
    const char* name = nullptr;      // borrowed from the data file or the compiled game
    int32_t index = -1;
    const void* compiledEntry = nullptr;  // the compiled game's code-table entry, or null
    void* compiledFunction = nullptr;     // its function
    bool keep = false;
    int32_t start = 0;  // byte offset in the buffer where this code begins
    int32_t locals = 0;
    int32_t arguments = 0;
};

// Counts the changes that can make a script call reach other code: a code object freed, a script
// set, compiled or freed. The interpreter keeps what a call step resolved together with the count
// it was resolved at, and resolves again when the count has moved. Starts at 1 (0: never resolved).
extern uint32_t g_CodeGeneration;
inline void Code_Changed() {
    ++g_CodeGeneration;
}

// What code objects are made from: the loaded game, as the loader hands it over. Unset members
// answer "none".
struct CodeEntryInfo {
    const char* name;
    uint8_t* code;
    uint32_t length;
    uint32_t start;
    int32_t locals;
    int32_t arguments;
};
struct CompiledEntryInfo {
    const void* entry;
    const char* name;
    void* function;
};
struct CodeSource {
    bool (*gameIsCompiled)() = nullptr;  // the game's logic is compiled into the program
    bool (*gameHasCode)() = nullptr;     // a code chunk was read, or the game is compiled in
    bool (*compiledEntry)(int32_t index, CompiledEntryInfo* out) = nullptr;
    bool (*bytecodeEntry)(int32_t index, CodeEntryInfo* out) = nullptr;
    const char* (*debugSource)(int32_t index) = nullptr;
    bool (*debugLines)(int32_t index, const int32_t** words, uint32_t* count) = nullptr;
};
// Copied; null forgets the game.
void Code_SetSource(const CodeSource* source);
bool Code_GameIsCompiled();
bool Code_GameHasCode();
// The compiled game's code-table entry `index`; false outside its table.
bool Code_CompiledEntry(int32_t index, CompiledEntryInfo* out);

// Runs a code object's bytecode (the interpreter); false when the run failed. Until one is
// installed bytecode does nothing.
using BytecodeRunner = bool (*)(CCode* code, CInstance* self, CInstance* other, RValue* result);
void Code_SetBytecodeRunner(BytecodeRunner runner);

// The code table: code objects that rooms refer to by position. The table owns them.
// Adds a code object for the entry (null when the game has no code or index is -1) and returns
// its position; 0 with nothing added when the table cannot grow.
int32_t Code_AddCode(int32_t index, int32_t flag);
CCode* Code_Get(int32_t n);  // null outside the table
int32_t Code_Count();
// Every code object with an index of 0 or more, newest first.
CCode* Code_ListHead();
int32_t Code_ListCount();
// Deletes the table's code objects and empties it (the end of a turn).
void Code_Shutdown();

// Runs the code for self and other. Nothing runs under "-oldexec" (true). False when the run
// left the error flag set. Null code runs nothing.
bool Code_Execute(CInstance* self, CInstance* other, CCode* code, RValue* result, int32_t flags);
// As Code_Execute; a failed run is reported as a non-fatal error and the flag cleared.
bool Code_ExecuteReport(CInstance* self, CInstance* other, CCode* code, RValue* result, int32_t flags);
// As Code_Execute; a failed run makes the result the string "ERROR".
bool Code_ExecuteValue(CInstance* self, CInstance* other, CCode* code, RValue* result, int32_t flags);

// The arguments of the code now running; the argument variables and script calls read them.
extern RValue* VM_Args;
extern int32_t VM_ArgCount;
