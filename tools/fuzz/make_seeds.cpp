// Writes well-formed starting inputs: data files for fuzz_load, and for fuzz_code a shape byte
// followed by bytecode words (programs that keep to the stack, so they need no linking).
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "asm/Assembler.h"
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

// A game that plays: an object with create and step events and a sprite, in a room with no
// creation code, so the fuzzed turn runs its frames.
formpack::FormFile PlayingGame() {
    formpack::FormFile f = Game(15);
    f.code.reset();
    f.globalInits.reset();
    std::string error;
    hvasm::Assembly create;
    if (!hvasm::Assemble("push.i 0\npop.v.i self.x\nexit.i\n", hvasm::FormNames(f), &create, &error))
        std::fprintf(stderr, "%s\n", error.c_str());
    hvasm::AddCodeEntry(f, "gml_Object_obj_Create_0", create);
    hvasm::Assembly step;
    const char* text = R"(
    push.v self.x
    push.i 3
    add.i.v
    pop.v.v self.x
    push.v self.x
    push.i 100
    set.i.v 0x0600
    bf done
    push.i 0
    pop.v.i self.x
    push.s "wrapped"
    conv.s.v
    call.i show_debug_message 1
    popz.v
done:
    exit.i
)";
    if (!hvasm::Assemble(text, hvasm::FormNames(f), &step, &error))
        std::fprintf(stderr, "%s\n", error.c_str());
    hvasm::AddCodeEntry(f, "gml_Object_obj_Step_0", step);
    f.objects = std::vector<std::optional<formpack::Object>>{};
    formpack::Object o;
    o.name = "obj";
    o.events[0].push_back({0, 0});
    o.events[3].push_back({0, 1});
    f.objects->push_back(o);
    formpack::Room r;
    r.name = "rm";
    r.instances.resize(1);
    f.rooms = std::vector<std::optional<formpack::Room>>{r};
    f.header.roomOrder = {0};
    return f;
}

void SaveCode(const std::string& folder, const char* name, uint8_t shape, const char* text) {
    formpack::FormFile scratch;
    hvasm::Assembly assembly;
    std::string error;
    if (!hvasm::Assemble(text, hvasm::FormNames(scratch), &assembly, &error)) {
        std::fprintf(stderr, "%s: %s\n", name, error.c_str());
        return;
    }
    std::vector<uint8_t> bytes{shape};
    for (uint32_t word : assembly.words)
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(word >> shift));
    Save(folder, name, bytes);
}

void SaveCodeSeeds(const std::string& folder) {
    SaveCode(folder, "arith", 1, "push.i 7\npush.d 2.5\nmul.d.i\npush.i 3\nrem.i.d\npopz.v\nexit.i\n");
    SaveCode(folder, "branch", 1,
             "push.i 1\npush.i 2\nset.i.i 0x0100\nbf skip\npush.s \"x\"\nconv.s.v\npopz.v\nskip:\nexit.i\n");
    SaveCode(folder, "loop", 1,
             "push.i 10\ntop:\ndup.i 0\npush.i 0\nset.i.i 0x0600\nbf end\npush.i 1\nsub.i.i\nb top\n"
             "end:\npopz.i\nexit.i\n");
    // A whole "CODE" chunk (the even shape): the playing game's, entries and all.
    const std::vector<uint8_t> game = formpack::Build(PlayingGame());
    for (size_t at = 8; at + 8 <= game.size();) {
        uint32_t length = 0;
        std::memcpy(&length, &game[at + 4], 4);
        if (std::memcmp(&game[at], "CODE", 4) == 0) {
            std::vector<uint8_t> bytes{0};
            bytes.insert(bytes.end(), game.begin() + static_cast<long>(at + 8),
                         game.begin() + static_cast<long>(at + 8 + length));
            Save(folder, "code_chunk", bytes);
            break;
        }
        at += 8 + length;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_seeds LOAD_FOLDER [CODE_FOLDER]\n");
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
    Save(argv[1], "playing.win", formpack::Build(PlayingGame()));
    if (argc > 2) SaveCodeSeeds(argv[2]);
    return 0;
}
