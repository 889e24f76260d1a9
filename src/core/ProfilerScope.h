// How the interpreter reaches the frame profiler, which lives above it: the profiler installs
// its scope functions and sets the active flag only while it records a frame, so that a scope
// costs an unprofiled caller one test of the flag.
#pragma once

#include <cstdint>

// Scope categories: a built-in by its index, a code object by its index, a timed section.
constexpr int32_t PROFILE_BUILTIN = 0;
constexpr int32_t PROFILE_CODE = 1;
constexpr int32_t PROFILE_SECTION = 6;

extern bool g_ProfilerActive;

// Open and close a scope; they nest like brackets. Callers test g_ProfilerActive first.
void ProfilerScope_Begin(int32_t category, int32_t id);
void ProfilerScope_End();
// Installed by the profiler; null puts back the ones that do nothing.
void ProfilerScope_SetHooks(void (*begin)(int32_t category, int32_t id), void (*end)());
