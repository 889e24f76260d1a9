// libFuzzer target: random bytecode through the loader's check, the code buffers and the
// interpreter (FuzzCode_RunInput).
#include <cstddef>
#include <cstdint>

#include "FuzzGame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzCode_RunInput(data, size);
    return 0;
}
