// Every test program runs with the same environment, whether ctest starts it from
// scripts/test or a developer runs it by hand: no sound device, software GL.
#include <cstdlib>

namespace {

const bool kEnvironmentSet = [] {
    // A variable already set by the caller wins.
    setenv("ALSOFT_DRIVERS", "null", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    setenv("GALLIUM_DRIVER", "llvmpipe", 0);
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    setenv("LP_NUM_THREADS", "2", 0);
    return true;
}();

}  // namespace
