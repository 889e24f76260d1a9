// The bytecode assembler: a readable text form of the runner's bytecode, for tests.
//
// One instruction a line, with the listing's mnemonics and type suffixes, an optional label
// ("name:") in front and a comment after ";". A line of the runner's listing
// ("%08x : bytes   mnemonic   operand") assembles too: its bytes supply the fields the listing
// does not show, and the shown mnemonic and operand must agree with them.
//
//   push.d 1.5          push.i 7 (a push of type i: operand word)   push.l 9   push.b true
//   push.s "text"       push.e -3 (the immediate)                   push.i.i -3 (immediate)
//   push.v self.x       push.v global.score[]  (index from the stack)
//   push.v stack.x      (instance code from the stack)   push.v 100005.x (an instance id)
//   push.l.v local.n    push.g.v global.n   push.b.v @12 (built-in variable id)
//   pop.v.i self.x      pop.e.v 0x0104 (immediate)       dup.v 0x8002   conv.i.v   rem.i.i
//   b label   bt label   bf label   pushenv label   pushenv label obj   popenv label   popenv exit
//   call.i show_debug_message 1   call.i 100002 2   call.v 1   ret.v   exit.i   break 0xffff
//   .word 0x12345678    (any raw word)
// Variable references: SCOPE.NAME with SCOPE one of self other all noone global builtin local
// localself stack, an object index or an instance id; NAME a name, or @ID for an id; "[]"
// takes the element index from the stack; "!" after the name clears the deletable flag; "=0x.."
// in place of a reference gives the raw operand word. "$name$" (the listing's form) takes the
// scope from the immediate.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace formpack {
struct FormFile;
}

namespace hvasm {

// Name lookups. An answer below 0 leaves the name to the data file's linking: the operand is
// written with its flag bits and the place is recorded as a site.
struct Names {
    std::function<int32_t(const std::string& name)> function;
    // scope is the reference's instance code (-5 global, -7 local, -6 built-in, ...).
    std::function<int32_t(const std::string& name, int32_t scope)> variable;
    // Index of a text in the string table (push.s "text").
    std::function<int32_t(const std::string& text)> string;
};

struct Site {
    std::string name;
    int32_t scope = 0;    // variables: the instance code the reference was written with
    uint32_t offset = 0;  // byte offset of the instruction
};

struct Assembly {
    std::vector<uint32_t> words;
    std::vector<Site> variables;
    std::vector<Site> functions;
};

// False with a message naming the line when the text cannot be assembled.
bool Assemble(const std::string& text, const Names& names, Assembly* out, std::string* error);

// Adds an assembled code entry to a data file: its words, its variable and function sites
// (variables become "VARI" entries: global, local, built-in or instance by the scope they were
// written with), and answers the entry's code index. Strings go through `file.strings`.
int32_t AddCodeEntry(formpack::FormFile& file, const std::string& name, const Assembly& assembly,
                     uint16_t locals = 0, uint16_t arguments = 0);
// Names that put strings into file.strings and leave every variable and function to linking.
Names FormNames(formpack::FormFile& file);

}  // namespace hvasm
