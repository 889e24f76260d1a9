// The extension packages of the loaded game: the "EXTN" chunk's reader, the prepare step that
// defines their library functions, the lookup and call of those functions by game code, and
// the initialisation and finalisation runs at game start and end.
#pragma once

#include <cstdint>

class ChunkView;
struct RValue;

// Function ids above this are refused when the data file is read: the call table holds one
// row per id.
constexpr int32_t EXTENSION_MAX_FUNCTION_ID = 100000;

// Registers the "EXTN" reader with the data-file loader.
void Extension_RegisterChunkReader();
// Reads the chunk body into the package table (what a previous file left is dropped).
void Extension_Load(ChunkView& chunk);
// Drops the packages named "PellWorks", builds the call table and defines every library
// function. Always succeeds.
bool Extension_Prepare();
// Run as the game starts (and restarts) and as it ends: each file's initialisation or
// finalisation function, a script of that name first, else a function of the same package.
// False (after the fatal error "Could not locate ... function %s", or a failing script) stops.
bool Extension_RunInitFunctions();
bool Extension_RunFinalFunctions();
// The id of the first function with exactly this name, over the packages, their files and
// functions in order; -1 when none has it.
int32_t Extension_Find(const char* name);
// Calls function id; false (result untouched) for an id outside the call table.
bool Extension_Call(int32_t id, int32_t argc, RValue* args, RValue* result);
// Forgets the packages and the call table.
void Extension_Free();

// For tests: the kept packages and the highest function id.
int32_t Extension_PackageCount();  // slots, empty ones included
const struct CExtensionPackage* Extension_GetPackage(int32_t index);
int32_t Extension_HighestId();
