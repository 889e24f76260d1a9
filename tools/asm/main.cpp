// hvasm SOURCE OUTPUT: assembles a bytecode text into little-endian words. Names are left to
// a data file's linking (their operands hold only their flag bits).
#include <cstdio>
#include <fstream>
#include <sstream>

#include "asm/Assembler.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hvasm SOURCE OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "hvasm: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::string> strings;
    hvasm::Names names;
    names.string = [&strings](const std::string& s) {
        strings.push_back(s);
        return static_cast<int32_t>(strings.size() - 1);
    };
    hvasm::Assembly assembly;
    std::string error;
    if (!hvasm::Assemble(text.str(), names, &assembly, &error)) {
        std::fprintf(stderr, "hvasm: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary);
    for (uint32_t word : assembly.words) {
        const unsigned char bytes[4] = {
            static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8),
            static_cast<unsigned char>(word >> 16), static_cast<unsigned char>(word >> 24)};
        out.write(reinterpret_cast<const char*>(bytes), 4);
    }
    return out ? 0 : 1;
}
