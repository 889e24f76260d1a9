// Writes a game data file with one extension package: the test library named as
// "hvtestext.dll" (the runner loads the ".so" beside the game), its functions called by name,
// a script as the package's initialisation function and a library function as its
// finalisation. Its code names every external_* built-in (a game naming a row the runner lacks
// is refused at load); its one instance prints what the calls answer and ends the game.
// With "missing-init" the initialisation function names nothing, so the game cannot start.
// Usage: e2e_extension_game OUTPUT [missing-init]
#include <cstdio>
#include <string>

#include "TestGameFileWriter.h"

namespace {

const char* const kEveryRow[] = {
    "external_define",  "external_call",    "external_free",    "external_define0", "external_call0",
    "external_define1", "external_call1",   "external_define2", "external_call2",   "external_define3",
    "external_call3",   "external_define4", "external_call4",   "external_define5", "external_call5",
    "external_define6", "external_call6",   "external_define7", "external_call7",   "external_define8",
    "external_call8",
};

// "label=" and the text of global.r, on the output console.
std::string Print(const char* label) {
    return "    push.v global.r\n    call.i string 1\n    pop.v.v global.value\n    push.s \"" +
           std::string(label) +
           "=\"\n    conv.s.v\n    push.v global.value\n    add.v.v\n"
           "    call.i show_debug_message 1\n    popz.v\n";
}

std::string RoomCreation() {
    e2e::CallCode c;
    c.Real(3).Real(2).Call("ext_add", 2);
    std::string code = c.Str() + Print("add");
    e2e::CallCode echo;
    echo.Text("h\xC3\xA9llo \xE2\x9C\x93").Call("ext_echo", 1);
    code += echo.Str() + Print("echo");
    e2e::CallCode sum;
    for (int i = 16; i >= 1; --i) sum.Real(i);
    sum.Call("ext_sum16", 16);
    code += sum.Str() + Print("sum16");
    e2e::CallCode registered;
    registered.Call("ext_registered", 0);
    code += registered.Str() + Print("registered");
    // At run time: external_define("hvtestext.so", "add", dll_cdecl, ty_real, 2, ty_real, ty_real).
    e2e::CallCode define;
    define.Real(0)
        .Real(0)
        .Real(2)
        .Real(0)
        .Real(0)
        .Text("add")
        .Text("hvtestext.so")
        .Call("external_define", 7);
    define.Keep("id").Real(22).Real(20).Global("id").Call("external_call", 3);
    code += define.Str() + Print("external");
    // The game ends at once, so its end runs the finalisation function.
    return code + "    call.i game_end 0\n    popz.v\n";
}

formpack::ExtensionFunction Function(const char* name, const char* external, int32_t id, int32_t args,
                                     int32_t result = 2, int32_t argType = 2) {
    formpack::ExtensionFunction f;
    f.name = name;
    f.externalName = external;
    f.id = id;
    f.argTypes.assign(static_cast<size_t>(args), argType);
    f.resultType = result;
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const bool missingInit = argc == 3 && std::string(argv[2]) == "missing-init";
    if (argc != 2 && !missingInit) {
        std::fprintf(stderr, "usage: e2e_extension_game OUTPUT [missing-init]\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "extension_test";
    file.header.roomOrder = {0};
    file.header.windowWidth = 320;
    file.header.windowHeight = 240;
    if (!e2e::AddRoomAndEveryRowScript(file, RoomCreation(), e2e::CallEachOnce(kEveryRow), 320, 240))
        return 1;
    // The checks run in the create event of the room's one instance, not as the room's creation
    // code, after which a headless run ends before the game does.
    formpack::Object checker;
    checker.name = "obj_checks";
    checker.events[0].push_back({0, 0});
    file.objects = std::vector<std::optional<formpack::Object>>{checker};
    formpack::RoomInstance instance;
    instance.object = 0;
    (*file.rooms)[0]->creationCode = -1;
    (*file.rooms)[0]->instances.push_back(instance);
    e2e::CallCode init;
    init.Show("init=ran");
    if (!e2e::AddCode(file, "gml_Script_ext_init_script", (init.Str() + "    exit.i\n").c_str())) return 1;
    file.scripts->push_back({"ext_init_script", 2});

    formpack::ExtensionFile library;
    library.name = "hvtestext.dll";
    library.initFunction = missingInit ? "ext_nowhere" : "ext_init_script";
    library.finalFunction = "ext_end";
    library.functions = {Function("ext_add", "add", 1, 2),
                         Function("ext_echo", "echo", 2, 1, 1, 1),
                         Function("ext_sum16", "sum16", 3, 16),
                         Function("ext_end", "ext_end", 4, 0),
                         Function("ext_register", "RegisterCallbacks", 5, 4),
                         Function("ext_registered", "registered", 6, 0)};
    formpack::ExtensionPackage package;
    package.name = "TestExtension";
    package.files = {library};
    file.extensions = std::vector<std::optional<formpack::ExtensionPackage>>{package};
    return e2e::WriteGame(file, argv[1]);
}
