// The rows of the built-in variable table: instance variables, the argument family and the
// game, room, view, input, caption, time, event and error globals, in the order game code
// sees their ids.
#pragma once

#include <cstdint>

// Clears the table and registers every row (instance rows first, then the globals).
void Variable_BuiltIn_Init();
void Variable_BuiltIn_RegisterInstance();
void Variable_BuiltIn_RegisterGlobals();

// Keeps the data file's folder (up to and including its last "/", else "\") for the run.
void WorkingDirectory_Init(const char* dataFilePath);
const char* WorkingDirectory_Get();
void WorkingDirectory_Free();

// The conversions assigned values go through.
int32_t BuiltIn_Round(double value);  // halves to even; NaN and out of range give INT32_MIN
