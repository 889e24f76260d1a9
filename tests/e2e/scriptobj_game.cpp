// Writes a game data file in script-object mode whose code names every interpreter support
// built-in (a game naming a row the runner lacks is refused at load), and whose room creation
// code reads the standard objects through the scope chain (the global object, then the
// namespace object) and prints what it finds, then calls standard methods through member calls
// and prints their answers.
// Usage: e2e_scriptobj_game OUTPUT
#include <cstdio>
#include <string>

#include "TestGameFileWriter.h"
#include "VMHelperRows.h"

namespace {


// A name read through the scope chain.
std::string Chain(const std::string& name) {
    return "    push.v -12." + name + "\n";
}

// show_debug_message(label + "=" + typeof value), the value's code leaving it on the stack.
// Nothing is kept in variables: a global variable's slot would stand in front of the names
// the scope chain is asked for.
std::string PrintType(const char* label, const std::string& value) {
    return std::string("    push.s \"") + label + "=\"\n    conv.s.v\n" + value +
           "    call.i @@typeof@@ 1\n    add.v.v\n    call.i show_debug_message 1\n    popz.v\n";
}

const char* const kLiteral =
    "    push.d 2\n    conv.d.v\n    push.d 1\n    conv.d.v\n    push.d 3\n    conv.d.v\n"
    "    call.i @@NewArray@@ 3\n";

// show_debug_message(label + "=" + value) with the script-object add.
std::string PrintValue(const char* label, const std::string& value) {
    return std::string("    push.s \"") + label + "=\"\n    conv.s.v\n" + value +
           "    add.v.v 0x100\n    call.i show_debug_message 1\n    popz.v\n";
}

// A member call object.name(arguments): the arguments' code (last argument first), then the
// object's, which is both this and the object whose member is read.
std::string MemberCall(const std::string& arguments, int argc, const std::string& object, const char* name) {
    return arguments + object + "    dup.v 0\n    push.v -9." + name + "\n    call.v " +
           std::to_string(argc) + "\n";
}

std::string RoomCreation() {
    std::string code;
    code += PrintType("literal", kLiteral);
    code += PrintType("Object", Chain("Object"));
    code += PrintType("Array", Chain("Array"));
    code += PrintType("TypeError", Chain("TypeError"));
    code += PrintType("global", Chain("global"));
    code += PrintType("resource", Chain("resource"));
    // Names the global object lacks come from the namespace object: a constant and a built-in
    // global variable (through its accessor).
    code += PrintType("c_red", Chain("c_red"));
    code += PrintType("room", Chain("room"));
    code +=
        PrintType("constructed", "    push.d 3\n    conv.d.v\n" + Chain("Array") + "    call.i @@new@@ 2\n");
    // instanceof (the constructor on top, the value under it): its answer on the line after.
    code += "    push.s \"instanceof=\"\n    conv.s.v\n    call.i show_debug_message 1\n    popz.v\n";
    code += kLiteral + Chain("Array") +
            "    call.i @@instanceof@@ 2\n    call.i show_debug_message 1\n    popz.v\n";
    // Member calls and reads on standard objects, and operators through ToPrimitive.
    code += PrintValue("pushed", MemberCall("    push.d 9\n    conv.d.v\n", 1, kLiteral, "push"));
    code += PrintValue("joined", MemberCall("    push.s \"-\"\n    conv.s.v\n", 1, kLiteral, "join"));
    code += PrintValue("upper", MemberCall("", 0, "    push.s \"abc\"\n    conv.s.v\n", "toUpperCase"));
    code += PrintValue("length", std::string(kLiteral) + "    push.v -9.length\n");
    code +=
        PrintValue("element", std::string(kLiteral) + "    push.d 2\n    conv.d.v\n    push.v -10.length\n");
    code += PrintValue("product",
                       "    push.d 5\n    conv.d.v\n    call.i @@NewArray@@ 1\n    push.s \"2\"\n"
                       "    conv.s.v\n    mul.v.v 0x100\n");
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_scriptobj_game OUTPUT\n");
        return 2;
    }
    formpack::FormFile file;
    file.header.format = 15;
    file.header.gameName = "scriptobj_test";
    file.header.infoFlags |= 0x8000;  // script-object mode
    file.header.roomOrder = {0};
    file.header.windowWidth = 320;
    file.header.windowHeight = 240;
    // In script-object mode every script runs once at start: this one leaves at once, its
    // calls only named so that loading checks them.
    const std::string everyRow = "    exit.i\n" + e2e::CallEachOnce(kVMHelperRows);
    if (!e2e::AddRoomAndEveryRowScript(file, RoomCreation(), everyRow, 320, 240)) return 1;
    return e2e::WriteGame(file, argv[1]);
}
