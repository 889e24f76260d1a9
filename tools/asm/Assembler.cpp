#include "asm/Assembler.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <map>
#include <optional>
#include <sstream>

#include "formpack/FormWriter.h"

namespace hvasm {
namespace {

struct Mnemonic {
    const char* name;
    uint32_t opcode;
};

// Listing mnemonics; "call", "push" and "pop" take the opcode of their form.
constexpr Mnemonic kMnemonics[] = {
    {"push", 0xC0}, {"pushv", 0x80}, {"push.l", 0xC1}, {"push.g", 0xC2}, {"push.b", 0xC3},  {"push.i", 0x84},
    {"pop", 0x45},  {"popv", 0x05},  {"dup", 0x86},    {"conv", 0x07},   {"mul", 0x08},     {"div", 0x09},
    {"rem", 0x0A},  {"mod", 0x0B},   {"add", 0x0C},    {"sub", 0x0D},    {"and", 0x0E},     {"or", 0x0F},
    {"xor", 0x10},  {"neg", 0x11},   {"not", 0x12},    {"shl", 0x13},    {"shr", 0x14},     {"set", 0x15},
    {"b", 0xB6},    {"bt", 0xB7},    {"bf", 0xB8},     {"call", 0xD9},   {"pushenv", 0xBA}, {"popenv", 0xBB},
    {"ret", 0x9C},  {"exit", 0x9D},  {"popz", 0x9E},   {"break", 0xFF},
};

int SuffixCount(uint32_t opcode) {
    if ((opcode & 0xA0) == 0x80) return 1;
    if ((opcode & 0xA0) == 0) return 2;
    return 0;
}

int TypeOf(const std::string& s) {
    static const char* const kTypes[] = {"d", "f", "i", "l", "b", "v", "s", "ds"};
    for (int i = 0; i < 8; ++i)
        if (s == kTypes[i]) return i;
    if (s == "e") return 15;
    if (s.size() >= 2 && s[0] == 't') return std::atoi(s.c_str() + 1) & 0xF;
    return -1;
}

uint32_t OperandBytes(uint32_t opcode, uint32_t type1) {
    if (!(opcode & 0x40)) return 0;
    switch (type1) {
        case 0:
        case 3:
            return 8;
        case 1:
        case 2:
        case 4:
        case 5:
        case 6:
        case 7:
            return 4;
        default:
            return 0;
    }
}

bool ParseInt(const std::string& s, int64_t* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 0);
    if (*end != '\0') return false;
    *out = v;
    return true;
}

struct Scope {
    const char* name;
    int32_t code;
};
constexpr Scope kScopes[] = {{"self", -1},   {"other", -2},   {"all", -3},   {"noone", -4},
                             {"global", -5}, {"builtin", -6}, {"local", -7}, {"localself", -8}};

// One line turned into words; branches wait for their labels.
struct Line {
    int number = 0;
    uint32_t offset = 0;
    std::vector<uint32_t> words;
    std::string label;                 // a branch target still to resolve
    std::optional<uint32_t> expected;  // listing lines: the bytes as listed
    std::vector<uint32_t> listed;
};

class Assembler {
public:
    Assembler(const Names& names, Assembly* out, std::string* error)
        : m_names(names), m_out(out), m_error(error) {}

    bool Run(const std::string& text) {
        std::istringstream in(text);
        std::string raw;
        int number = 0;
        while (std::getline(in, raw)) {
            ++number;
            if (!Line(raw, number)) return false;
        }
        return Finish();
    }

private:
    bool Fail(int line, const std::string& what) {
        if (m_error) *m_error = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    static std::string Trim(const std::string& s) {
        const size_t a = s.find_first_not_of(" \t\r");
        if (a == std::string::npos) return "";
        const size_t b = s.find_last_not_of(" \t\r");
        return s.substr(a, b - a + 1);
    }

    // Splits into tokens; a quoted string is one token (quotes kept).
    static std::vector<std::string> Tokens(const std::string& s) {
        std::vector<std::string> tokens;
        size_t i = 0;
        while (i < s.size()) {
            while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
            if (i >= s.size()) break;
            size_t j = i;
            if (s[i] == '"') {
                j = s.rfind('"');
                if (j == i) j = s.size() - 1;
                ++j;
            } else if (s[i] == '$' && s.find('$', i + 1) != std::string::npos) {
                j = s.find('$', i + 1) + 1;  // the listing's $name$, which may hold blanks
            } else {
                while (j < s.size() && s[j] != ' ' && s[j] != '\t') ++j;
            }
            tokens.push_back(s.substr(i, j - i));
            i = j;
        }
        return tokens;
    }

    bool Line(const std::string& raw, int number) {
        std::string s = raw;
        // A comment starts at ';' outside quotes.
        bool quoted = false;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '"') quoted = !quoted;
            if (s[i] == ';' && !quoted) {
                s.resize(i);
                break;
            }
        }
        s = Trim(s);
        if (s.empty()) return true;
        std::vector<uint32_t> listed;
        uint32_t listedOffset = 0;
        if (s.size() > 11 && s.compare(8, 3, " : ") == 0) {
            // A listing line: offset, bytes, then the text.
            listedOffset = static_cast<uint32_t>(std::strtoul(s.substr(0, 8).c_str(), nullptr, 16));
            size_t at = 11, end = s.find(' ', at);
            if (end == std::string::npos) end = s.size();
            const std::string hex = s.substr(at, end - at);
            if (hex.size() % 8 != 0 || hex.empty()) return Fail(number, "listed bytes are not whole words");
            for (size_t k = 0; k < hex.size(); k += 8) {
                uint8_t bytes[4];
                for (int b = 0; b < 4; ++b)
                    bytes[b] =
                        static_cast<uint8_t>(std::strtoul(hex.substr(k + 2 * b, 2).c_str(), nullptr, 16));
                uint32_t w;
                std::memcpy(&w, bytes, 4);
                listed.push_back(w);
            }
            s = Trim(s.substr(end));
            if (listedOffset != Offset()) return Fail(number, "listed offset differs from the assembled one");
        } else {
            const size_t colon = s.find(':');
            if (colon != std::string::npos && s.find('"') > colon && s.find(' ') > colon) {
                m_labels[s.substr(0, colon)] = Offset();
                s = Trim(s.substr(colon + 1));
                if (s.empty()) return true;
            }
        }
        const std::vector<std::string> tokens = Tokens(s);
        struct Line line;
        line.number = number;
        line.offset = Offset();
        line.listed = listed;
        if (!Encode(tokens, line)) return false;
        m_lines.push_back(line);
        m_size += 4 * static_cast<uint32_t>(line.words.size());
        return true;
    }

    uint32_t Offset() const { return m_size; }

    bool Encode(const std::vector<std::string>& tokens, struct Line& line) {
        const std::string& head = tokens[0];
        const bool fromListing = !line.listed.empty();
        const uint32_t hidden = fromListing ? line.listed[0] : 0;
        if (head == ".word") {
            for (size_t i = 1; i < tokens.size(); ++i) {
                int64_t v;
                if (!ParseInt(tokens[i], &v)) return Fail(line.number, "bad word " + tokens[i]);
                line.words.push_back(static_cast<uint32_t>(v));
            }
            return true;
        }
        // The longest mnemonic whose suffixes fit.
        std::vector<std::string> parts;
        for (size_t a = 0, b; a <= head.size(); a = b + 1) {
            b = head.find('.', a);
            if (b == std::string::npos) b = head.size();
            parts.push_back(head.substr(a, b - a));
        }
        std::optional<uint32_t> opcode;
        std::vector<std::string> suffixes;
        for (size_t k = parts.size(); k >= 1 && !opcode; --k) {
            std::string base = parts[0];
            for (size_t i = 1; i < k; ++i) base += "." + parts[i];
            for (const Mnemonic& m : kMnemonics) {
                if (base != m.name) continue;
                const int want = SuffixCount(m.opcode);
                const int have = static_cast<int>(parts.size() - k);
                if (have == want) {
                    opcode = m.opcode;
                    suffixes.assign(parts.begin() + static_cast<long>(k), parts.end());
                }
            }
        }
        if (fromListing) {
            // The bytes decide; the text must be what the listing prints for them.
            const uint32_t listedOp = hidden >> 24;
            std::string expected = MnemonicName(listedOp);
            static const char* const kSuffixes[16] = {".d", ".f", ".i", ".l", ".b", ".v", ".s", ".ds",
                                                      "",   "",   "",   "",   "",   "",   "",   ".e"};
            if (SuffixCount(listedOp) >= 1) expected += kSuffixes[(hidden >> 16) & 0xF];
            if (SuffixCount(listedOp) == 2) expected += kSuffixes[(hidden >> 20) & 0xF];
            if (head != expected)
                return Fail(line.number, "the listing reads " + head + " for bytes of " + expected);
            if (std::strcmp(MnemonicName(listedOp), "unknown") == 0) {
                line.words = line.listed;
                return true;
            }
            opcode = listedOp;
            suffixes.clear();
        }
        if (!opcode) return Fail(line.number, "unknown instruction " + head);
        uint32_t op = *opcode;
        uint32_t type1 = (hidden >> 16) & 0xF, type2 = (hidden >> 20) & 0xF;
        if (suffixes.size() >= 1) {
            const int t = TypeOf(suffixes[0]);
            if (t < 0) return Fail(line.number, "unknown type " + suffixes[0]);
            type1 = static_cast<uint32_t>(t);
        }
        if (suffixes.size() >= 2) {
            const int t = TypeOf(suffixes[1]);
            if (t < 0) return Fail(line.number, "unknown type " + suffixes[1]);
            type2 = static_cast<uint32_t>(t);
        }
        if (!fromListing && op == 0xD9 && type1 != 2) op = 0x99;
        if (!fromListing && op == 0xC0 && OperandBytes(0xC0, type1) == 0) op = type1 == 15 ? 0xC0 : 0x80;
        std::vector<std::string> args(tokens.begin() + 1, tokens.end());
        uint32_t word = (op << 24);
        if (op == 0xB6 || op == 0xB7 || op == 0xB8 || op == 0xBA || op == 0xBB)
            return EncodeBranch(op, args, line, hidden);
        if (op == 0xFF && !fromListing) type1 = type2 = 15;
        word |= (type1 | (type2 << 4)) << 16;
        word |= hidden & 0xFFFF;
        const uint32_t operandBytes = OperandBytes(op, type1);
        size_t next = 0;
        std::vector<uint32_t> operand;
        if (operandBytes > 0) {
            if (args.empty() && !fromListing) return Fail(line.number, "missing operand");
            if (!args.empty() && !EncodeOperand(op, type1, args[0], word, operand, line, hidden))
                return false;
            if (args.empty()) operand.assign(line.listed.begin() + 1, line.listed.end());
            next = 1;
        }
        if (next < args.size()) {
            int64_t imm;
            if (!ParseInt(args[next], &imm)) return Fail(line.number, "bad immediate " + args[next]);
            if (!fromListing || type1 == 15)
                word = (word & 0xFFFF0000u) | (static_cast<uint32_t>(imm) & 0xFFFF);
        }
        line.words.push_back(word);
        line.words.insert(line.words.end(), operand.begin(), operand.end());
        if (fromListing && line.words != line.listed)
            return Fail(line.number, "the listing's text does not give its bytes");
        return true;
    }

    static const char* MnemonicName(uint32_t op) {
        for (const Mnemonic& m : kMnemonics)
            if (m.opcode == op) return m.name;
        if (op == 0x99) return "call";
        return "unknown";
    }

    bool EncodeBranch(uint32_t op, const std::vector<std::string>& args, struct Line& line, uint32_t hidden) {
        uint32_t word = op << 24;
        if (op == 0xBB && !args.empty() && args[0] == "exit") {
            line.words.push_back(word | 0x00F00000u);
            return true;
        }
        if (!line.listed.empty()) word |= hidden & 0x00800000u;
        if (args.size() >= 2 && args[1] == "obj") word |= 0x00800000u;
        if (args.empty()) return Fail(line.number, "missing branch target");
        int64_t target;
        if (args[0].rfind("0x", 0) == 0 && ParseInt(args[0], &target)) {
            const int64_t count = (target - static_cast<int64_t>(line.offset)) / 4;
            word |= static_cast<uint32_t>(count) & 0x7FFFFFu;
        } else {
            line.label = args[0];
        }
        line.words.push_back(word);
        if (!line.listed.empty() && line.label.empty() && line.words != line.listed)
            return Fail(line.number, "the listing's target does not give its bytes");
        return true;
    }

    bool EncodeOperand(uint32_t op, uint32_t type1, const std::string& text, uint32_t& word,
                       std::vector<uint32_t>& operand, struct Line& line, uint32_t) {
        auto push32 = [&](uint32_t v) { operand.push_back(v); };
        auto push64 = [&](uint64_t v) {
            operand.push_back(static_cast<uint32_t>(v));
            operand.push_back(static_cast<uint32_t>(v >> 32));
        };
        if (op == 0x45 || op == 0xC1 || op == 0xC2 || op == 0xC3) {
            // The operand of pop (and of push.l, push.g, push.b) is a variable reference.
            int64_t v;
            if (ParseInt(text, &v)) {
                operand.push_back(static_cast<uint32_t>(v));
                return true;
            }
            return EncodeVariable(text, word, operand, line);
        }
        switch (type1) {
            case 0: {
                if (!line.listed.empty()) {
                    operand.assign(line.listed.begin() + 1, line.listed.end());
                    return true;
                }
                const double d = std::strtod(text.c_str(), nullptr);
                uint64_t bits;
                std::memcpy(&bits, &d, 8);
                push64(bits);
                return true;
            }
            case 1: {
                if (!line.listed.empty()) {
                    operand.assign(line.listed.begin() + 1, line.listed.end());
                    return true;
                }
                const float f = std::strtof(text.c_str(), nullptr);
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                push32(bits);
                return true;
            }
            case 2: {
                int64_t v;
                if (ParseInt(text, &v)) {
                    push32(static_cast<uint32_t>(v));
                    return true;
                }
                if (op != 0xD9) return Fail(line.number, "bad integer " + text);
                const int32_t id = m_names.function ? m_names.function(text) : -1;
                if (id < 0) m_out->functions.push_back(Site{text, 0, line.offset});
                push32(static_cast<uint32_t>(id < 0 ? 0 : id));
                return true;
            }
            case 3: {
                int64_t v;
                if (!ParseInt(text, &v)) return Fail(line.number, "bad integer " + text);
                push64(static_cast<uint64_t>(v));
                return true;
            }
            case 4: {
                int64_t v = 0;
                if (text == "true")
                    v = 1;
                else if (text != "false" && !ParseInt(text, &v))
                    return Fail(line.number, "bad bool " + text);
                if (!line.listed.empty() && text == "false") v = line.listed[1] == 1 ? 1 : line.listed[1];
                push32(static_cast<uint32_t>(v));
                return true;
            }
            case 5:
                return EncodeVariable(text, word, operand, line);
            case 6:
            case 7: {
                int64_t v;
                if (text.size() >= 2 && text[0] == '"') {
                    const std::string s = text.substr(1, text.size() - 2);
                    v = m_names.string ? m_names.string(s) : -1;
                    if (v < 0) return Fail(line.number, "no string table for " + text);
                } else if (!(text.size() > 1 && text[0] == '#' && ParseInt(text.substr(1), &v))) {
                    return Fail(line.number, "bad string " + text);
                }
                push32(static_cast<uint32_t>(v));
                return true;
            }
            default:
                return true;
        }
    }

    bool EncodeVariable(const std::string& text, uint32_t& word, std::vector<uint32_t>& operand,
                        struct Line& line) {
        if (text.rfind("=", 0) == 0) {
            int64_t v;
            if (!ParseInt(text.substr(1), &v)) return Fail(line.number, "bad operand " + text);
            operand.push_back(static_cast<uint32_t>(v));
            return true;
        }
        if (text.size() >= 2 && text.front() == '$' && text.back() == '$') {
            // The listing's form: flags from the bytes, the name must give the id.
            if (line.listed.size() < 2) return Fail(line.number, "$name$ needs listed bytes");
            const uint32_t listedOperand = line.listed[1];
            const std::string name = text.substr(1, text.size() - 2);
            int32_t scope = static_cast<int16_t>(word & 0xFFFF);
            if (listedOperand & 0x40000000u) scope += 100000;
            const int32_t id = name == "unknown" || !m_names.variable ? -1 : m_names.variable(name, scope);
            if (id >= 0 && static_cast<uint32_t>(id) != (listedOperand & 0x0FFFFFFFu))
                return Fail(line.number, "variable " + name + " is not the listed id");
            operand.push_back(listedOperand);
            return true;
        }
        std::string ref = text;
        uint32_t flags = 0x80000000u | 0x20000000u;
        if (ref.size() > 2 && ref.compare(ref.size() - 2, 2, "[]") == 0) {
            flags &= ~0x80000000u;
            ref.resize(ref.size() - 2);
        }
        if (!ref.empty() && ref.back() == '!') {
            flags |= 0x10000000u;
            ref.pop_back();
        }
        const size_t dot = ref.find('.');
        if (dot == std::string::npos) {
            // A bare name or id: no scope of its own (push.b).
            ref = "0." + ref;
            return EncodeVariableRef(ref, flags, word, operand, line, true);
        }
        return EncodeVariableRef(ref, flags, word, operand, line, false);
    }

    bool EncodeVariableRef(const std::string& ref, uint32_t flags, uint32_t& word,
                           std::vector<uint32_t>& operand, struct Line& line, bool bare) {
        const size_t dot = ref.find('.');
        const std::string scopeText = ref.substr(0, dot), name = ref.substr(dot + 1);
        int32_t scope = 0;
        bool known = false;
        for (const Scope& s : kScopes)
            if (scopeText == s.name) {
                scope = s.code;
                known = true;
            }
        int64_t number;
        if (scopeText == "stack") {
            flags &= ~0x20000000u;
            scope = 0;
            known = true;
        } else if (!known && ParseInt(scopeText, &number)) {
            scope = static_cast<int32_t>(number);
            known = true;
        }
        if (!known) return Fail(line.number, "unknown scope " + scopeText);
        int32_t immediate = scope;
        if (scope >= 100000) {
            flags |= 0x40000000u;
            immediate = scope - 100000;
        }
        if (!line.listed.empty()) flags = line.listed[1] & 0xF0000000u;
        if (!bare) word = (word & 0xFFFF0000u) | (static_cast<uint32_t>(immediate) & 0xFFFF);
        int32_t id = -1;
        if (!name.empty() && name[0] == '@') {
            int64_t v;
            if (!ParseInt(name.substr(1), &v)) return Fail(line.number, "bad variable id " + name);
            id = static_cast<int32_t>(v);
        } else {
            id = m_names.variable ? m_names.variable(name, scope) : -1;
            if (id < 0) m_out->variables.push_back(Site{name, scope, line.offset});
        }
        operand.push_back(flags | (static_cast<uint32_t>(id < 0 ? 0 : id) & 0x0FFFFFFFu));
        return true;
    }

    bool Finish() {
        for (struct Line& line : m_lines) {
            if (!line.label.empty()) {
                auto it = m_labels.find(line.label);
                if (it == m_labels.end()) return Fail(line.number, "unknown label " + line.label);
                const int64_t count = (static_cast<int64_t>(it->second) - line.offset) / 4;
                line.words[0] |= static_cast<uint32_t>(count) & 0x7FFFFFu;
            }
            m_out->words.insert(m_out->words.end(), line.words.begin(), line.words.end());
        }
        return true;
    }

    const Names& m_names;
    Assembly* m_out;
    std::string* m_error;
    std::vector<struct Line> m_lines;
    std::map<std::string, uint32_t> m_labels;
    uint32_t m_size = 0;
};

}  // namespace

bool Assemble(const std::string& text, const Names& names, Assembly* out, std::string* error) {
    *out = Assembly{};
    Assembler assembler(names, out, error);
    return assembler.Run(text);
}

Names FormNames(formpack::FormFile& file) {
    Names names;
    names.string = [&file](const std::string& text) {
        for (size_t i = 0; i < file.strings.size(); ++i)
            if (file.strings[i] == text) return static_cast<int32_t>(i);
        file.strings.push_back(text);
        return static_cast<int32_t>(file.strings.size() - 1);
    };
    return names;
}

int32_t AddCodeEntry(formpack::FormFile& file, const std::string& name, const Assembly& assembly,
                     uint16_t locals, uint16_t arguments) {
    if (!file.code) file.code = formpack::Code{};
    formpack::Code& code = *file.code;
    const auto entry = static_cast<int32_t>(code.entries.size());
    formpack::CodeEntry e;
    e.name = name;
    e.words = assembly.words;
    e.locals = locals;
    e.arguments = arguments;
    code.entries.push_back(e);
    for (const Site& site : assembly.functions) {
        auto it = std::find_if(code.functions.begin(), code.functions.end(),
                               [&](const formpack::Function& f) { return f.name == site.name; });
        if (it == code.functions.end())
            it = code.functions.insert(code.functions.end(), formpack::Function{site.name, {}});
        it->sites.push_back(formpack::CodeSite{entry, site.offset});
    }
    for (const Site& site : assembly.variables) {
        const int32_t kind = site.scope == -5 || site.scope == -7 || site.scope == -6 ? site.scope : -1;
        auto it =
            std::find_if(code.variables.begin(), code.variables.end(),
                         [&](const formpack::Variable& v) { return v.name == site.name && v.scope == kind; });
        if (it == code.variables.end()) {
            formpack::Variable v;
            v.name = site.name;
            v.scope = kind;
            int32_t& count = kind == -5   ? code.globalCount
                             : kind == -7 ? code.localCount
                                          : code.instanceCount;
            v.index = kind == -6 ? -6 : count++;
            it = code.variables.insert(code.variables.end(), v);
        }
        it->sites.push_back(formpack::CodeSite{entry, site.offset});
    }
    return entry;
}

}  // namespace hvasm
