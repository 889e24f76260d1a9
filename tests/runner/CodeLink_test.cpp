// Reference linking: occurrence chains patched with ids from a fake lookup, the code entries of
// both layouts and the remapping of old opcodes.
#include <map>

#include "LoaderTestSupport.h"

using namespace loadertest;

namespace {

constexpr uint32_t kPushV = 0xC0550000u;
constexpr uint32_t kPopV = 0x45550000u;
constexpr uint32_t kCallI = 0xD9020000u;
constexpr uint32_t kExit = 0x9D000000u;
constexpr uint32_t kVarFlags = 0xA0000000u;  // no index, instance from the immediate

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
int32_t FakeFind(const char* name) { return std::string(name) == "foo" ? 42 : -1; }
void FakeLocals(const char* script, uint32_t count, const char* const* names) {
    std::string line = std::string(script) + ":";
    for (uint32_t i = 0; i < count; ++i) line += std::string(" ") + names[i];
    g_localsLoaded.push_back(line);
}
void FakeFatal(const char* text) { g_fatalText = text; }

// Two entries use x (instance), g (global) and call foo; a third shares the first's block.
formpack::FormFile CodeGame(int format) {
    formpack::FormFile f;
    f.header.format = static_cast<uint8_t>(format);
    formpack::Code& c = f.code.emplace();
    c.entries.push_back({"code0", {kPushV | 0xFFFF, kVarFlags, kCallI, 0, kPopV | 0xFFFF, kVarFlags, kExit}, 2, 1});
    c.entries.push_back({"code1", {kPushV | 0xFFFB, kVarFlags, kCallI, 0, kExit}});
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

uint32_t Word(const CodeEntryView& e, uint32_t i) { return ReadU32(e.code + 4 * i); }

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
    EXPECT_EQ(Word(e0, 0), 0xC055FFFFu);       // index 0 stays
    EXPECT_EQ(Word(e0, 2), 0xD8020000u);       // call: 25 -> 24
    EXPECT_EQ(Word(e0, 4), 0x4955FFFFu);       // 5 -> 9
    EXPECT_EQ(Word(e0, 6), 0x9C000000u);       // 29 -> 28
    EXPECT_EQ(e0.start, 0u);
    EXPECT_EQ(e0.locals, 0);
}

TEST_F(CodeLink, RemapFollowsTheOldNumbering) {
    struct Case {
        uint32_t before, after;
    };
    const Case cases[] = {
        {0x13000000u, 0x15000300u},  // comparisons become 21 with their kind in bits 8-15
        {0x11000000u, 0x15000100u},
        {0x16000000u, 0x15000600u},
        {0x01000000u, 0x05000000u},
        {0x10000000u, 0x14000000u},
        {0x17000000u, 0x16000000u},
        {0x1E000000u, 0x1D000000u},
        {0x1F000000u, 0x1F000000u},
        {0x00000000u, 0x00000000u},
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
        {"bytecode position past the end", 15, [](const std::vector<uint8_t>&, uint32_t) { return 0x7FFFFFF0u; }, 12},
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
        EXPECT_NE(std::string(Form_LoadError()).find("code entry 3 (bad) is not valid bytecode"), std::string::npos)
            << Form_LoadError();
    }
}

}  // namespace
