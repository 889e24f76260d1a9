// Writes a few well-formed data files as the fuzzer's starting corpus.
#include <cstdio>
#include <fstream>
#include <string>

#include "formpack/FormWriter.h"
#include "formpack/Png.h"

namespace {

void Save(const std::string& folder, const char* name, const std::vector<uint8_t>& bytes) {
    std::ofstream(folder + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

formpack::FormFile Game(int format) {
    formpack::FormFile f;
    f.header.format = static_cast<uint8_t>(format);
    f.header.major = format >= 15 ? 2 : 1;
    f.header.roomOrder = {1, 0};
    f.options.emplace().constants = {{"VersionMajor", "2"}};
    f.languages = formpack::LanguageTable{{"a"}, {{"English", "en", {"A"}}}};
    formpack::Code& c = f.code.emplace();
    c.entries.push_back({"c0", {0xC0550000u, 0xA0000000u, 0xD9020000u, 0, 0x13000000u, 0x9D000000u}});
    c.variables.push_back({"x", -1, 0, {{0, 0}}});
    c.functions.push_back({"f", {{0, 8}}});
    c.locals.push_back({"s", {"l"}});
    formpack::Object o;
    o.name = "obj";
    o.events[0].push_back({0, 0});
    f.objects = std::vector<std::optional<formpack::Object>>{o, std::nullopt};
    formpack::Room r;
    r.name = "rm";
    r.instances.resize(1);
    f.rooms = std::vector<std::optional<formpack::Room>>{r, r};
    f.textures =
        std::vector<formpack::TexturePage>{{1, formpack::EncodePng(2, 2, std::vector<uint8_t>(16, 9))}};
    formpack::PageEntry e;
    f.pageEntries = std::vector<formpack::PageEntry>{e};
    f.globalInits = std::vector<int32_t>{0};
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    Save(argv[1], "f14.win", formpack::Build(Game(14)));
    Save(argv[1], "f15.win", formpack::Build(Game(15)));
    Save(argv[1], "f9.win", formpack::Build(Game(9)));
    formpack::DebugInfo d;
    d.lineTables = {{{0, 1}}};
    d.sources = {"x"};
    d.instances = {"i"};
    Save(argv[1], "debug.pwdebug", formpack::BuildDebugInfo(d));
    return 0;
}
