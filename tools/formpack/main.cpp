// formpack: writes a game data file from a text manifest.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "formpack/FormWriter.h"
#include "formpack/Manifest.h"

namespace {

int Usage(FILE* to, int status) {
    std::fputs(formpack::ManifestHelp(), to);
    return status;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

int main(int argc, char** argv) {
    std::string manifest, output;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) return Usage(stdout, 0);
        if (!std::strcmp(argv[i], "-o") && i + 1 < argc)
            output = argv[++i];
        else if (manifest.empty())
            manifest = argv[i];
        else
            return Usage(stderr, 2);
    }
    if (manifest.empty() || output.empty()) return Usage(stderr, 2);

    std::ifstream in(manifest, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "formpack: cannot read %s\n", manifest.c_str());
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    formpack::FormFile file;
    std::string error;
    if (!formpack::ParseManifest(text, FolderOf(manifest), file, error)) {
        std::fprintf(stderr, "formpack: %s: %s\n", manifest.c_str(), error.c_str());
        return 1;
    }
    const std::vector<uint8_t> bytes = formpack::Build(file, &error);
    if (bytes.empty()) {
        std::fprintf(stderr, "formpack: %s\n", error.c_str());
        return 1;
    }
    std::ofstream out(output, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "formpack: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
