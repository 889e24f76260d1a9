// What the programs that write the end-to-end test games share: code entries assembled from
// text, and the finished game file written where the test asked.
#pragma once

#include <cstdio>
#include <fstream>
#include <optional>
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

// Bytecode text of calls: arguments are pushed last first; a result goes to global.r.
class CallCode {
public:
    CallCode& Real(double v) {
        m_text += "    push.d " + std::to_string(v) + "\n    conv.d.v\n";
        return *this;
    }
    CallCode& Text(const std::string& t) {
        m_text += "    push.s \"" + t + "\"\n    conv.s.v\n";
        return *this;
    }
    CallCode& Global(const std::string& name) {
        m_text += "    push.v global." + name + "\n";
        return *this;
    }
    CallCode& Call(const std::string& name, int argc) {
        m_text += "    call.i " + name + " " + std::to_string(argc) + "\n    pop.v.v global.r\n";
        return *this;
    }
    // global.r kept in global.<name>.
    CallCode& Keep(const std::string& name) {
        m_text += "    push.v global.r\n    pop.v.v global." + name + "\n";
        return *this;
    }
    // A built-in variable (of self, or of the game) into global.r.
    CallCode& Game(const std::string& name) {
        m_text += "    push.v builtin." + name + "\n    pop.v.v global.r\n";
        return *this;
    }
    CallCode& Show(const std::string& label) { return Text(label).Call("show_debug_message", 1); }
    // show_debug_message(label), then show_debug_message(global.r).
    CallCode& ShowResult(const std::string& label) {
        return Keep("shown").Show(label).Global("shown").Call("show_debug_message", 1);
    }
    const std::string& Str() const { return m_text; }

private:
    std::string m_text;
};

// Code that calls each named built-in once without arguments and exits. As a script the game
// never runs, it proves at load that every name is registered.
template <typename Names>
std::string CallEachOnce(const Names& names) {
    std::string code;
    for (const char* name : names) code += std::string("    call.i ") + name + " 0\n    popz.v\n";
    return code + "    exit.i\n";
}

// One room of width x height running roomCreation, and the script "scr_every_row" holding
// everyRow; false when either does not assemble.
inline bool AddRoomAndEveryRowScript(formpack::FormFile& file, const std::string& roomCreation,
                                     const std::string& everyRow, int32_t width, int32_t height) {
    if (!AddCode(file, "gml_RoomCC_room0_Create", roomCreation.c_str()) ||
        !AddCode(file, "gml_Script_scr_every_row", everyRow.c_str()))
        return false;
    file.scripts = std::vector<formpack::Script>{{"scr_every_row", 1}};
    formpack::Room room;
    room.name = "room0";
    room.width = width;
    room.height = height;
    room.creationCode = 0;
    file.rooms = std::vector<std::optional<formpack::Room>>{room};
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
