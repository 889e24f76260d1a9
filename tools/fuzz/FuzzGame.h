// The fuzzers' entry points into the whole runner: bytes as a game data file run through the
// real start-up (loading every chunk, preparing the game, the first room's creation code and a
// few frames under -headless) in this process, and bytecode run as a room's code. The libFuzzer
// targets and the corpus replay test call the same functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The folder (made on first use) that holds the game file and stands in for the per-user data
// and config folders; child processes forked after the first use share it.
const std::string& FuzzGame_ScratchFolder();

// Frames a game gets before the turn ends.
constexpr int64_t FUZZ_GAME_FRAMES = 3;

// Runs one turn of the runner on the bytes as its data file; answers the exit status the turn
// ended with (0 when it ran its frames). A crash is a crash: no filter catches it.
int FuzzGame_RunFile(const uint8_t* data, size_t size);

// A small well-formed game whose first room's creation code and whose object's create and step
// events run the given bytecode words (the words of a code entry, little-endian).
std::vector<uint8_t> FuzzCode_GameWith(const uint8_t* code, size_t size);
// FuzzGame_RunFile on FuzzCode_GameWith: the loader checks the code, then it runs.
int FuzzCode_Run(const uint8_t* code, size_t size);

// What the libFuzzer targets and the corpus replay run for one input.
// fuzz_load: the bytes as a data file (FuzzGame_RunFile), then as a debug-information file.
int FuzzLoad_RunInput(const uint8_t* data, size_t size);
// fuzz_code: the first byte picks the shape (odd: the rest as one code entry of the fuzz game;
// even: as the fuzz game's whole "CODE" chunk). The raw words must prepare and list without
// reading outside them; then the game runs.
int FuzzCode_RunInput(const uint8_t* data, size_t size);
