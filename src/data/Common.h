// Small shared services: the process-wide random generator, the '#' line-break rule of
// dialog and drawing texts, and a few conversions and pixel fixes. The runner's CRC-32 is
// in data/CRC32.h.
#pragma once

#include <cstdint>

// --- The random generator ---------------------------------------------------------------
// One WELL512a generator of 16 words for the whole process, main thread only. It starts
// seeded with 0; the game's preparation seeds it with 2101988.

constexpr int32_t RANDOM_GAME_SEED = 2101988;

// Replaces the whole state from the seed; returns the seed.
int32_t Random_SetSeed(int32_t seed);
// The seed last given to Random_SetSeed.
int32_t Random_GetSeed();
// The next 32-bit word.
uint32_t Random_Next();
// x * (next word / 2^32): in [0, x) for positive x.
double Random_Real(double x);
// The next word modulo |n|. n = 0 has no answer below |n|: it gives 0 and draws nothing.
uint32_t Random_IntMod(int32_t n);
// Two words make a non-negative 63-bit v; the result is v mod |n| carrying the sign of n:
// [0, n) for n > 0, (n, 0] for n < 0. n = 0 gives 0 and draws nothing.
int64_t Random_IntRange(int64_t n);
// Switches the tempering constant between the current and the old generator; the state is
// kept, the next step uses the new constant.
void Random_UseOldVersion(bool old);

// The 15-bit generator of the C run-time library (x = x * 214013 + 2531011, result bits
// 16..30), which some game-visible numbers come from. It is seeded beside the generator
// above and never delegates to the host's rand().
void CRT_SRand(uint32_t seed);
int32_t CRT_Rand();  // 0 .. 32767

// --- Text -------------------------------------------------------------------------------

// In place: each '#' becomes a carriage return and "\#" becomes '#'. Characters are copied
// byte for byte, so text the runner cannot decode passes through unharmed. Returns the
// characters in the result; a null text gives 0.
int32_t String_ConvertHashNewlines(char* text);
// New memory-manager text holding the low byte of every 16-bit unit before the terminator;
// the caller frees it. A null text gives null.
char* Common_WideToAscii(const char16_t* text);

// --- Pixels -----------------------------------------------------------------------------

// Whether vertex data must be byte-swapped between buffers and vertex buffers: never here.
bool Platform_VertexColoursNeedSwap();
// Byte 3 (alpha) of every 4-byte pixel becomes 255.
void Pixels_SetOpaque(void* pixels, int32_t width, int32_t height);
// Bytes 0 and 2 of every 4-byte pixel change places (BGRA <-> RGBA).
void Pixels_SwapRedBlue(void* pixels, int32_t width, int32_t height);
