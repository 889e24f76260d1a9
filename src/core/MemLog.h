// The "-memlog" allocation log: one tagged record per allocation and free, with the scope name
// and the interpreter's call stack of the marked thread, plus free-text event records.
//
// File layout: records with no file header; each is a 4-byte ASCII tag, a uint32 payload length
// and the payload, all integers little-endian.
//   "ALLC": uint32 address high half, uint32 address low half, uint32 size, uint32 0,
//           int32 scope name id or -1, int32 N, N x {int32 function name id, int32 line}
//   "FREE": uint32 address high half, uint32 address low half
//   "NAME": the name's bytes; the k-th NAME record of the file declares id k
//   "EVNT": the event text's bytes
#pragma once

#include <cstddef>
#include <cstdint>

// Creates the file empty and starts logging into it. False when a log is already open or the
// file cannot be created. Records are buffered 1 MB at a time and flushed at exit.
bool MemLog_Open(const char* path);
// Appends the buffered records to the file.
void MemLog_Flush();
// Flushes and stops logging; a later MemLog_Open starts a new file with fresh name ids.
void MemLog_Close();
bool MemLog_IsOpen();

// The log file named after "-memlog " in a command line: the next word, verbatim, at most 2048
// characters. False when there is none.
bool MemLog_PathFromCommandLine(const char* commandLine, char* path, size_t pathSize);

// Filled in by the interpreter: the running functions, innermost first.
struct MemLogFrame {
    const char* name;
    int32_t line;  // -1 when the code position has no line
};
// Writes at most capacity frames and returns how many; 0 when no bytecode is running.
using MemLogCallStackProvider = int (*)(MemLogFrame* frames, int capacity);
// The name of the built-in function now running, or null.
using MemLogBuiltinNameProvider = const char* (*)();
void MemLog_SetCallStackProvider(MemLogCallStackProvider provider);
void MemLog_SetCurrentBuiltinNameProvider(MemLogBuiltinNameProvider provider);

// The name table's key: MurmurHash3 (x86, 32-bit, seed 0) of the bytes, masked to 31 bits.
uint32_t MemLog_NameHash(const void* bytes, size_t length);
