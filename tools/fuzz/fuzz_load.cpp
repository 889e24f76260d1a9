// libFuzzer target: any bytes as a data file through the whole runner, and as a
// debug-information file (FuzzLoad_RunInput).
#include <cstddef>
#include <cstdint>

#include "FuzzGame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzLoad_RunInput(data, size);
    return 0;
}
