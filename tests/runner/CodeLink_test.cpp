// Reference linking: occurrence chains patched with ids from a fake lookup, the code entries of
// both layouts and the remapping of old opcodes.
#include <cstdlib>
#include <map>
#include <random>

#include "LoaderTestSupport.h"
#include "core/Code_Variable.h"

using namespace loadertest;

namespace {

constexpr uint32_t kPushV = 0xC0550000u;
constexpr uint32_t kPopV = 0x45550000u;
constexpr uint32_t kCallI = 0xD9020000u;
constexpr uint32_t kExit = 0x9D000000u;
constexpr uint32_t kVarFlags = 0xA0000000u;  // no index, instance from the immediate
// The same instructions in the numbering of files before format 15, which the loader remaps.
constexpr uint32_t kOldPopV = 0x41550000u;
constexpr uint32_t kOldCallI = 0xDA020000u;
constexpr uint32_t kOldExit = 0x9E000000u;

uint32_t PopV(int format) {
    return format >= 15 ? kPopV : kOldPopV;
}
uint32_t CallI(int format) {
    return format >= 15 ? kCallI : kOldCallI;
}
uint32_t Exit(int format) {
    return format >= 15 ? kExit : kOldExit;
}

std::vector<std::string> g_setNameCalls;
std::vector<std::string> g_localsLoaded;
std::string g_fatalText;

int32_t FakeSetName(const char* name, int32_t scope, int32_t index) {
    g_setNameCalls.push_back(std::string(name) + ":" + std::to_string(scope) + ":" + std::to_string(index));
    return 100000 + index;
}
int32_t FakeGetId(const char* name) {
    static const std::map<std::string, int32_t> ids = {{"x", 100007}, {"g", 100009}};
    auto it = ids.find(name);
    return it == ids.end() ? -1 : it->second;
}
int32_t FakeFind(const char* name) {
    return std::string(name) == "foo" ? 42 : -1;
}
void FakeLocals(const char* script, uint32_t count, const char* const* names) {
    std::string line = std::string(script) + ":";
    for (uint32_t i = 0; i < count; ++i) line += std::string(" ") + names[i];
    g_localsLoaded.push_back(line);
}
void FakeFatal(const char* text) {
    g_fatalText = text;
}

// Two entries use x (instance), g (global) and call foo; a third shares the first's block.
formpack::FormFile CodeGame(int format) {
    formpack::FormFile f;
    f.header.format = static_cast<uint8_t>(format);
    formpack::Code& c = f.code.emplace();
    c.entries.push_back(
        {"code0",
         {kPushV | 0xFFFF, kVarFlags, CallI(format), 0, PopV(format) | 0xFFFF, kVarFlags, Exit(format)},
         2,
         1});
    c.entries.push_back({"code1", {kPushV | 0xFFFB, kVarFlags, CallI(format), 0, Exit(format)}});
    if (format >= 15) c.entries.push_back({"code2", {}, 0, 0, 0, 16});
    c.variables.push_back({"x", -1, 0, {{0, 0}, {0, 16}}});
    c.variables.push_back({"g", -5, 3, {{1, 0}}});
    c.functions.push_back({"foo", {{0, 8}, {1, 8}}});
    c.locals.push_back({"scr", {"a", "b"}});
    c.globalCount = 4;
    c.instanceCount = 0;
    c.localCount = 2;
    return f;
}

uint32_t Word(const CodeEntryView& e, uint32_t i) {
    return ReadU32(e.code + 4 * i);
}

class CodeLink : public LoaderTest {
protected:
    void SetUp() override {
        LoaderTest::SetUp();
        g_setNameCalls.clear();
        g_localsLoaded.clear();
        g_fatalText.clear();
        g_CodeLink.variableSetName = FakeSetName;
        g_CodeLink.variableGetId = FakeGetId;
        g_CodeLink.functionFind = FakeFind;
        g_CodeLink.loadLocals = FakeLocals;
        g_LoaderHooks.showFatalError = FakeFatal;
    }
};

TEST_F(CodeLink, NewFormatPatchesEveryOccurrenceWithItsId) {
    ASSERT_TRUE(LoadBoth(Build(CodeGame(15)))) << (Form_LoadError() ? Form_LoadError() : "");
    EXPECT_EQ(g_setNameCalls, (std::vector<std::string>{"x:-1:0", "g:-5:3"}));
    EXPECT_NE(Captured().find("got 4 global variables\ngot 2 instance variables\ngot 2 local variables\n"),
              std::string::npos);
    EXPECT_EQ(g_localsLoaded, (std::vector<std::string>{"scr: a b"}));

    ASSERT_EQ(Code_EntryCount(), 3u);
    CodeEntryView e0, e1, e2;
    ASSERT_TRUE(Code_GetEntry(0, &e0));
    ASSERT_TRUE(Code_GetEntry(1, &e1));
    ASSERT_TRUE(Code_GetEntry(2, &e2));
    EXPECT_EQ(Word(e0, 1), kVarFlags | 100000u);
    EXPECT_EQ(Word(e0, 3), 42u);
    EXPECT_EQ(Word(e0, 5), kVarFlags | 100000u);
    EXPECT_EQ(Word(e1, 1), kVarFlags | 100003u);
    EXPECT_EQ(Word(e1, 3), 42u);
    EXPECT_EQ(Word(e0, 0), kPushV | 0xFFFF);  // no remapping from format 15 on
    EXPECT_STREQ(e0.name, "code0");
    EXPECT_EQ(e0.locals, 2);
    EXPECT_EQ(e0.arguments, 1);
    EXPECT_EQ(e2.code, e0.code);
    EXPECT_EQ(e2.start, 16u);
    EXPECT_EQ(e2.length, 28u);
}

TEST_F(CodeLink, OldFormatPatchesAndRemapsOpcodes) {
    ASSERT_TRUE(LoadBoth(Build(CodeGame(14)))) << (Form_LoadError() ? Form_LoadError() : "");
    EXPECT_TRUE(g_setNameCalls.empty());
    CodeEntryView e0, e1;
    ASSERT_TRUE(Code_GetEntry(0, &e0));
    ASSERT_TRUE(Code_GetEntry(1, &e1));
    EXPECT_EQ(Word(e0, 1), kVarFlags | 100007u);
    EXPECT_EQ(Word(e0, 5), kVarFlags | 100007u);
    EXPECT_EQ(Word(e1, 1), kVarFlags | 100009u);
    EXPECT_EQ(Word(e0, 3), 42u);
    EXPECT_EQ(Word(e0, 0), 0xC055FFFFu);     // index 0 stays
    EXPECT_EQ(Word(e0, 2), kCallI);          // call: 26 -> 25
    EXPECT_EQ(Word(e0, 4), kPopV | 0xFFFF);  // pop: 1 -> 5
    EXPECT_EQ(Word(e0, 6), kExit);           // exit: 30 -> 29
    EXPECT_EQ(e0.start, 0u);
    EXPECT_EQ(e0.locals, 0);
}

TEST_F(CodeLink, RemapFollowsTheOldNumbering) {
    struct Case {
        uint32_t before, after;
    };
    const Case cases[] = {
        {0x13000000u, 0x15000300u},  // comparisons become 21 with their kind in bits 8-15
        {0x11000000u, 0x15000100u}, {0x16000000u, 0x15000600u},
        {0x01000000u, 0x05000000u}, {0x10000000u, 0x14000000u},
        {0x17000000u, 0x16000000u}, {0x1E000000u, 0x1D000000u},
        {0x1F000000u, 0x1F000000u}, {0x00000000u, 0x00000000u},
        {0xA1000000u, 0xA5000000u},  // the top three bits stay
    };
    for (const Case& c : cases) {
        uint8_t code[4];
        std::memcpy(code, &c.before, 4);
        Code_RemapOpcodes(code, 4);
        EXPECT_EQ(ReadU32(code), c.after) << std::hex << c.before;
    }
}

TEST_F(CodeLink, WalkSkipsOperandsByTypeAndStopsAtTheEnd) {
    // push.d with its 8-byte double, push.i with a 4-byte operand, then a word whose operand is cut.
    const uint32_t words[] = {0x40000000u, 0x01000000u, 0x01000000u, 0x40020000u, 0x01000000u, 0x40000000u};
    uint8_t code[sizeof words];
    std::memcpy(code, words, sizeof words);
    EXPECT_EQ(Code_WalkInstructions(code, sizeof code, nullptr), 20u);
    Code_RemapOpcodes(code, sizeof code);
    EXPECT_EQ(ReadU32(code + 4), 0x01000000u);  // operands are not instructions
    EXPECT_EQ(ReadU32(code + 20), 0x40000000u);
}

TEST_F(CodeLink, UnresolvedNameOfALaunchedGameRequestsTheEndAndLinkingGoesOn) {
    g_LoadState.launchedByGame = true;
    g_CodeLink.functionFind = [](const char*) { return -1; };
    EXPECT_TRUE(LoadBoth(Build(CodeGame(15))));
    EXPECT_TRUE(g_LoadState.gameEndRequested);
    EXPECT_EQ(g_fatalText, "Error on load\nUnable to find function foo\n");
    CodeEntryView e1;
    ASSERT_TRUE(Code_GetEntry(1, &e1));
    EXPECT_EQ(Word(e1, 1), kVarFlags | 100003u);
}

TEST_F(CodeLink, UnresolvedNameEndsTheProcess) {
    g_CodeLink.variableGetId = [](const char*) { return -1; };
    const std::vector<uint8_t> bytes = Build(CodeGame(14));
    EXPECT_EXIT(LoadBoth(bytes), ::testing::ExitedWithCode(1), "");
}

void FirstVariableEntry(std::vector<uint8_t>& b, uint32_t field, uint32_t value) {
    WriteU32(b, ChunkData(b, "VARI") + 12 + field, value);
}

TEST_F(CodeLink, ChainsThatLeaveTheCodeFailNamingTheChunk) {
    struct Case {
        const char* name;
        uint32_t field;  // inside the first 20-byte VARI entry
        uint32_t value;
        const char* chunk;
    };
    const Case cases[] = {
        {"first occurrence outside the file", 16, 0xFFFFFF00u, "VARI"},
        {"first occurrence outside the code", 16, 8, "VARI"},
        {"more occurrences than the code holds", 12, 0x7FFFFFFF, "VARI"},
        {"name that is not a string", 0, 12, "VARI"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = Build(CodeGame(15));
        FirstVariableEntry(bytes, c.field, c.value);
        EXPECT_FALSE(LoadBoth(bytes));
        ASSERT_NE(Form_LoadError(), nullptr);
        EXPECT_NE(std::string(Form_LoadError()).find(std::string("\"") + c.chunk + "\""), std::string::npos)
            << Form_LoadError();
    }
}

TEST_F(CodeLink, ChainWithABadDistanceStopsAtTheCodeBounds) {
    std::vector<uint8_t> bytes = Build(CodeGame(14));
    // Point the second occurrence of x far away by damaging the first operand's distance.
    const uint32_t code = ChunkData(bytes, "CODE");
    const uint32_t firstEntry = ReadU32(&bytes[code + 4]);
    WriteU32(bytes, firstEntry + 8 + 4, kVarFlags | 0x0FFFFF00u);
    EXPECT_FALSE(LoadBoth(bytes));
    ASSERT_NE(Form_LoadError(), nullptr);
    EXPECT_NE(std::string(Form_LoadError()).find("\"VARI\""), std::string::npos);
}

// Bytecode is patched in place: an entry whose bytecode leaves the code chunk (past the file,
// or over another chunk's header) is refused before anything is rewritten.
TEST_F(CodeLink, CodeEntryOutsideTheCodeChunkFailsNamingCode) {
    struct Case {
        const char* name;
        int format;
        uint32_t (*value)(const std::vector<uint8_t>& bytes, uint32_t entry);
        uint32_t field;
    };
    const Case cases[] = {
        {"bytecode position past the end", 15,
         [](const std::vector<uint8_t>&, uint32_t) { return 0x7FFFFFF0u; }, 12},
        {"old entry over the string chunk", 14,
         [](const std::vector<uint8_t>& b, uint32_t) { return ChunkData(b, "STRG") - 16; }, 0xFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = Build(CodeGame(c.format));
        const uint32_t code = ChunkData(bytes, "CODE");
        const uint32_t entry = ReadU32(&bytes[code + 4]);
        if (c.field == 0xFFFF)
            WriteU32(bytes, code + 4, c.value(bytes, entry));  // the entry itself moves
        else
            WriteU32(bytes, entry + c.field, c.value(bytes, entry));
        EXPECT_FALSE(LoadBoth(bytes));
        ASSERT_NE(Form_LoadError(), nullptr);
        EXPECT_NE(std::string(Form_LoadError()).find("\"CODE\""), std::string::npos) << Form_LoadError();
    }
}

// A megabyte of bytecode, far more than one cache-sized window, with variable and function
// occurrences scattered at random: every operand of the model ends up holding its id (with the
// variables' flag bits kept), and no other word of the code changes.
struct ScatteredSite {
    int32_t entry;
    uint32_t word;  // of the instruction
    bool function;
    int32_t chain;
};

// Script variables have ids from 100000.
int32_t ScatteredVariableId(const char*, int32_t, int32_t index) {
    return 105000 + index;
}
int32_t ScatteredOldVariableId(const char* name) {
    return 107000 + std::atoi(name + 1);
}
int32_t ScatteredFunctionId(const char* name) {
    return 300 + std::atoi(name + 1);
}

formpack::FormFile ScatteredGame(int format, std::vector<ScatteredSite>* sites) {
    constexpr int kEntries = 64, kWords = 4096, kVariables = 30, kFunctions = 7;
    formpack::FormFile f;
    f.header.format = static_cast<uint8_t>(format);
    formpack::Code& c = f.code.emplace();
    for (int v = 0; v < kVariables; ++v) c.variables.push_back({"v" + std::to_string(v), -1, v, {}});
    for (int fn = 0; fn < kFunctions; ++fn) c.functions.push_back({"f" + std::to_string(fn), {}});
    c.instanceCount = kVariables;
    std::mt19937 random(20240611);
    for (int e = 0; e < kEntries; ++e) {
        formpack::CodeEntry entry;
        entry.name = "code" + std::to_string(e);
        entry.words.assign(kWords, Exit(format));
        for (uint32_t w = 0; w + 1 < kWords; w += 2) {
            if (random() % 3 == 0) continue;
            const bool function = random() % 4 == 0;
            const int32_t chain = static_cast<int32_t>(random() % (function ? kFunctions : kVariables));
            entry.words[w] = function ? CallI(format) : (kPushV | 0xFFFF);
            entry.words[w + 1] = function ? 0 : kVarFlags;
            const formpack::CodeSite site{e, w * 4};
            (function ? c.functions[chain].sites : c.variables[chain].sites).push_back(site);
            sites->push_back({e, w, function, chain});
        }
        c.entries.push_back(std::move(entry));
    }
    return f;
}

TEST_F(CodeLink, OneSweepPatchesEveryChainAcrossTheWholeCode) {
    g_CodeLink.variableSetName = ScatteredVariableId;
    g_CodeLink.variableGetId = ScatteredOldVariableId;
    g_CodeLink.functionFind = ScatteredFunctionId;
    for (int format : {14, 15}) {
        SCOPED_TRACE(format);
        std::vector<ScatteredSite> sites;
        const formpack::FormFile f = ScatteredGame(format, &sites);
        ASSERT_TRUE(LoadBoth(Build(f))) << (Form_LoadError() ? Form_LoadError() : "");
        std::vector<bool> isOperand;
        for (const ScatteredSite& site : sites) {
            CodeEntryView e;
            ASSERT_TRUE(Code_GetEntry(static_cast<uint32_t>(site.entry), &e));
            const uint32_t id = site.function
                                    ? 300u + site.chain
                                    : (format >= 15 ? 105000u : 107000u) + static_cast<uint32_t>(site.chain);
            const uint32_t expected = site.function ? id : (kVarFlags | id);
            ASSERT_EQ(Word(e, site.word + 1), expected) << "entry " << site.entry << " word " << site.word;
        }
        if (format < 15) continue;  // old code has its opcodes remapped too
        // Nothing but the operands moved: every other word is as the model wrote it.
        for (size_t e = 0; e < f.code->entries.size(); ++e) {
            CodeEntryView view;
            ASSERT_TRUE(Code_GetEntry(static_cast<uint32_t>(e), &view));
            const std::vector<uint32_t>& words = f.code->entries[e].words;
            for (uint32_t w = 0; w < words.size(); ++w) {
                const bool operand = w > 0 && (words[w - 1] == kCallI || words[w - 1] == (kPushV | 0xFFFF));
                if (operand) continue;
                ASSERT_EQ(Word(view, w), words[w]) << "entry " << e << " word " << w;
            }
        }
    }
}

// A chain may visit its occurrences in any order: one that jumps back over most of a megabyte
// of code still has each of its occurrences patched once.
TEST_F(CodeLink, ChainJumpingBackwardsIsFollowed) {
    formpack::FormFile f;
    f.header.format = 15;
    formpack::Code& c = f.code.emplace();
    formpack::CodeEntry entry{"code0", std::vector<uint32_t>(300000, kExit)};
    const uint32_t near = 0, next = 8, far = 290000 * 4;  // byte offsets of the three sites
    for (uint32_t at : {near, next, far}) {
        entry.words[at / 4] = kPushV | 0xFFFF;
        entry.words[at / 4 + 1] = kVarFlags;
    }
    c.entries.push_back(std::move(entry));
    c.variables.push_back({"x", -1, 0, {{0, near}, {0, next}, {0, far}}});
    c.variables.push_back({"y", -1, 1, {}});
    std::vector<uint8_t> bytes = Build(f);

    // Relink x as far -> near -> next.
    const uint32_t code = ReadU32(&bytes[ChunkData(bytes, "CODE") + 4]);
    const uint32_t block = code + 12 + ReadU32(&bytes[code + 12]);
    const uint32_t vari = ChunkData(bytes, "VARI");
    WriteU32(bytes, vari + 12 + 16, block + far);
    WriteU32(bytes, block + far + 4, kVarFlags | ((near - far) & 0x0FFFFFFFu));
    WriteU32(bytes, block + near + 4, kVarFlags | (next - near));
    WriteU32(bytes, block + next + 4, kVarFlags);

    ASSERT_TRUE(LoadBoth(bytes)) << (Form_LoadError() ? Form_LoadError() : "");
    CodeEntryView e;
    ASSERT_TRUE(Code_GetEntry(0, &e));
    for (uint32_t at : {near, next, far}) EXPECT_EQ(Word(e, at / 4 + 1), kVarFlags | 100000u) << at;
}

// The variables' chains are patched in the chunk pass with the functions'; a bad variable chain
// is still the one reported when both are bad, and without function chains (or without a "FUNC"
// chunk at all) the variables are patched at the end of the pass.
TEST_F(CodeLink, BadChainsNameTheirOwnChunk) {
    struct Case {
        const char* name;
        int format;
        bool badVariable, badFunction, noFunctions;
        const char* chunk;  // null: loads
    };
    const Case cases[] = {
        {"bad function chain", 15, false, true, false, "FUNC"},
        {"bad variable and function chains", 15, true, true, false, "VARI"},
        {"bad variable chain, no functions", 15, true, false, true, "VARI"},
        {"bad variable chain, no FUNC chunk", 14, true, false, true, "VARI"},
        {"no FUNC chunk", 14, false, false, true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        formpack::FormFile f = CodeGame(c.format);
        if (c.noFunctions) {
            f.code->functions.clear();
            const uint32_t exit = Exit(c.format);  // the calls become plain words
            f.code->entries[0].words[2] = exit;
            f.code->entries[0].words[3] = exit;
            f.code->entries[1].words[2] = exit;
            f.code->entries[1].words[3] = exit;
        }
        std::vector<uint8_t> bytes = Build(f);
        // Each first occurrence moved into the middle of the code chunk's entry table.
        const uint32_t outside = 0x7FFFFFF0u;
        if (c.badVariable) FirstVariableEntry(bytes, c.format >= 15 ? 16 : 8, outside);
        if (c.badFunction) WriteU32(bytes, ChunkData(bytes, "FUNC") + 4 + 8, outside);
        if (c.format < 15 && c.noFunctions) {
            uint32_t func = 0, length = 1;
            ASSERT_TRUE(Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size())));
            ASSERT_TRUE(Form_FirstPass(Form_Base(), Form_Size()));
            ASSERT_TRUE(Form_FindChunk("FUNC", &func, &length));
            ASSERT_EQ(length, 0u);
        }
        const bool loaded = LoadBoth(bytes);
        if (!c.chunk) {
            ASSERT_TRUE(loaded) << (Form_LoadError() ? Form_LoadError() : "");
            CodeEntryView e0, e1;
            ASSERT_TRUE(Code_GetEntry(0, &e0));
            ASSERT_TRUE(Code_GetEntry(1, &e1));
            EXPECT_EQ(Word(e0, 1), kVarFlags | 100007u);
            EXPECT_EQ(Word(e0, 5), kVarFlags | 100007u);
            EXPECT_EQ(Word(e1, 1), kVarFlags | 100009u);
            continue;
        }
        EXPECT_FALSE(loaded);
        ASSERT_NE(Form_LoadError(), nullptr);
        EXPECT_NE(std::string(Form_LoadError()).find(std::string("\"") + c.chunk + "\""), std::string::npos)
            << Form_LoadError();
    }
}

TEST_F(CodeLink, StringTableIsCheckedAgainOnEveryUse) {
    formpack::FormFile f = CodeGame(15);
    f.strings = {"hello"};
    ASSERT_TRUE(LoadBoth(Build(f)));
    ASSERT_STREQ(Form_String(0), "hello");
    uint32_t strg = 0, length = 0;
    ASSERT_TRUE(Form_FindChunk("STRG", &strg, &length));
    const uint32_t lengthAt = ReadU32(Form_Base() + strg + 4);
    const uint32_t huge = 0x7FFFFFFF;
    std::memcpy(Form_Base() + lengthAt, &huge, 4);  // as if a later patch had landed there
    EXPECT_EQ(Form_String(0), nullptr);
    EXPECT_EQ(Form_String(1000), nullptr);
}

}  // namespace

namespace {

// Bytecode that could step outside itself or its tables is refused at load, naming the entry.
TEST_F(CodeLink, BadBytecodeIsRefusedAtLoad) {
    struct Case {
        const char* name;
        std::vector<uint32_t> words;
    };
    const Case cases[] = {
        {"a branch past the end", {0xB6000005u}},
        {"an operand cut off", {0xC0000000u, 0}},
        {"a string outside the table", {0xC0060000u, 9999}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        formpack::FormFile f = CodeGame(15);
        f.code->entries.push_back({"bad", c.words});
        EXPECT_FALSE(LoadBoth(Build(f)));
        ASSERT_NE(Form_LoadError(), nullptr);
        EXPECT_NE(std::string(Form_LoadError()).find("code entry 3 (bad) is not valid bytecode"),
                  std::string::npos)
            << Form_LoadError();
    }
}

// Opcode bytes the interpreter has no instruction for: push.b without its operand, breaks other
// than the one break word, and bytes that name nothing.
TEST_F(CodeLink, UndefinedOpcodesAreRefused) {
    for (const uint32_t opcode : {0x03u, 0x23u, 0x83u, 0xA3u, 0x1Fu, 0x3Fu, 0x9Fu, 0xBFu, 0x00u, 0x98u}) {
        SCOPED_TRACE(opcode);
        formpack::FormFile f = CodeGame(15);
        f.code->entries.push_back({"bad", {kExit, opcode << 24, kExit}});
        EXPECT_FALSE(LoadBoth(Build(f)));
        ASSERT_NE(Form_LoadError(), nullptr);
        EXPECT_NE(std::string(Form_LoadError())
                      .find("(bad) is not valid bytecode: the instruction at 4 has an "
                            "opcode the interpreter does not define"),
                  std::string::npos)
            << Form_LoadError();
    }
}

// An occurrence must be an instruction whose operand word it rewrites: one inside another
// instruction's operand, one off the word grid and a link of -1 are refused.
TEST_F(CodeLink, OccurrencesOutsideInstructionsAreRefused) {
    constexpr uint32_t kPushD = 0xC0000000u;
    struct Case {
        const char* name;
        uint32_t site;          // byte offset of x's second occurrence in entry "d"
        uint32_t firstOperand;  // replaces the first occurrence's operand when not 0
        const char* error;
    };
    const Case cases[] = {
        {"inside a double", 12, 0, "is not an instruction with an operand"},
        {"the double's instruction", 8, 0, nullptr},
        {"off the words", 10, 0, "lies outside the code"},
        {"link of -1", 8, 0xFFFFFFFFu, "lies outside the code"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        formpack::FormFile f = CodeGame(15);
        f.code->entries.push_back({"d", {kPushV | 0xFFFF, kVarFlags, kPushD, 0, 0, kExit}});
        f.code->variables.push_back({"y", -1, 1, {{3, 0}, {3, c.site}}});
        std::vector<uint8_t> bytes = Build(f);
        if (c.firstOperand) {
            const uint32_t code = ChunkData(bytes, "CODE");
            const uint32_t entry = ReadU32(&bytes[code + 4 + 4 * 3]);
            const uint32_t block = entry + 12 + ReadU32(&bytes[entry + 12]);
            WriteU32(bytes, block + 4, c.firstOperand);
        }
        const bool loaded = LoadBoth(bytes);
        if (!c.error) {
            EXPECT_TRUE(loaded) << (Form_LoadError() ? Form_LoadError() : "");
            continue;
        }
        EXPECT_FALSE(loaded);
        ASSERT_NE(Form_LoadError(), nullptr);
        EXPECT_NE(std::string(Form_LoadError()).find(c.error), std::string::npos) << Form_LoadError();
    }
}

// Slot counts size the name tables, the global object and every call's locals: counts no file
// could need are refused, and a slot index whose id would pass 28 bits names no variable.
TEST_F(CodeLink, VariableCountsBeyondTheFileAreRefused) {
    for (const uint32_t field : {0u, 4u, 8u}) {
        for (const uint32_t count : {0x0FFFFFFFu, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            SCOPED_TRACE(std::to_string(field) + " " + std::to_string(count));
            std::vector<uint8_t> bytes = Build(CodeGame(15));
            WriteU32(bytes, ChunkData(bytes, "VARI") + field, count);
            EXPECT_FALSE(LoadBoth(bytes));
            ASSERT_NE(Form_LoadError(), nullptr);
            EXPECT_NE(std::string(Form_LoadError()).find("variable count"), std::string::npos)
                << Form_LoadError();
        }
    }
    EXPECT_EQ(Code_Variable_SetName("v", -1, 0x7FFFFFFF), -1);
    EXPECT_EQ(Code_Variable_SetName("v", -1, 0x0FFFFFFF - 100000), 0x0FFFFFFF);
}

// Code of several megabytes is checked in parts side by side; the first bad entry is still the
// one named.
TEST_F(CodeLink, LargeCodeNamesItsFirstBadEntry) {
    const std::vector<std::vector<uint32_t>> badSets = {{25, 33}, {15, 25}};
    for (const std::vector<uint32_t>& bad : badSets) {
        formpack::FormFile f = CodeGame(15);
        for (uint32_t e = 0; e < 40; ++e) {
            std::vector<uint32_t> words(32768, 0x9D000000u);
            for (uint32_t b : bad)
                if (e == b) words.back() = 0xB6000005u;  // a branch past the end
            f.code->entries.push_back({"entry" + std::to_string(e), words});
        }
        EXPECT_FALSE(LoadBoth(Build(f)));
        ASSERT_NE(Form_LoadError(), nullptr);
        const std::string expected = "(entry" + std::to_string(bad[0]) + ") is not valid bytecode";
        EXPECT_NE(std::string(Form_LoadError()).find(expected), std::string::npos) << Form_LoadError();
    }
}

}  // namespace
