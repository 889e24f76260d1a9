// What the programs that write the end-to-end test games share: code entries assembled from
// text, and the finished game file written where the test asked.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "asm/Assembler.h"
#include "formpack/FormWriter.h"

namespace e2e {

// Assembles text into a new code entry of file; false (with the reason on stderr) when it
// does not assemble.
inline bool AddCode(formpack::FormFile& file, const char* name, const char* text) {
    hvasm::Assembly assembly;
    std::string error;
    if (!hvasm::Assemble(text, hvasm::FormNames(file), &assembly, &error)) {
        std::fprintf(stderr, "%s: %s\n", name, error.c_str());
        return false;
    }
    hvasm::AddCodeEntry(file, name, assembly);
    return true;
}

// The process exit code: 0 when the file was built and written whole.
inline int WriteGame(const formpack::FormFile& file, const char* path) {
    std::string error;
    const std::vector<uint8_t> bytes = formpack::Build(file, &error);
    if (bytes.empty()) {
        std::fprintf(stderr, "formpack: %s\n", error.c_str());
        return 1;
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out ? 0 : 1;
}

}  // namespace e2e
