// The interpreter's debugger hooks: the breakpoint table, the stop at a break word and the
// single steps, driven by a fake debugger.
#include "core/VMStack.h"
#include "core/VM_Debug.h"
#include "core/VMTestSupport.h"

namespace {

class VMDebugTest : public VMTest {
protected:
    static VMDebugTest*& Self() {
        static VMDebugTest* self = nullptr;
        return self;
    }
    void SetUp() override {
        VMTest::SetUp();
        Self() = this;
        Debug_Init();
        DebuggerHooks hooks;
        hooks.connected = [] { return Self()->connected; };
        hooks.pauseLoop = [](VMExecContext* ctx) {
            ++Self()->stops;
            Self()->stopOffsets.push_back(ctx->pc);
            if (Self()->stepFromStop >= 0) Debug_Step.mode = Self()->stepFromStop;
        };
        Debug_Install(&hooks);
    }
    void TearDown() override {
        Debug_Init();
        Debug_Install(nullptr);
        Self() = nullptr;
        VMTest::TearDown();
    }

    bool connected = true;
    int stops = 0;
    int stepFromStop = -1;
    std::vector<int32_t> stopOffsets;
};

// i counts 1..5 in a local, n sums (i * 10); the "push.i 10" carries an operand word.
const char* kLoop = R"(
    push.d 0
    pop.v.d local.n
    push.i 1
    pop.v.i local.i
top:
    push.l.v local.i
    push.i 5
    conv.i.v
    set.v.v 0x0600
    bt done
    push.l.v local.n
    push.l.v local.i
    push.i 10
    conv.i.v
    mul.v.v
    add.v.v
    pop.v.v local.n
    push.l.v local.i
    push.i 1
    conv.i.v
    add.v.v
    pop.v.v local.i
    b top
done:
    push.l.v local.n
    ret.v
)";

TEST_F(VMDebugTest, BreakpointStopsEachPassAndRunsTheInstructionUnderIt) {
    CCode* code = Code(kLoop);
    VMBuffer* buffer = code->buffer;
    buffer->Prepare();
    // Find "push.i 10": the word 0xC0020000 followed by 10.
    int32_t offset = -1;
    for (int32_t at = 0; at + 8 <= buffer->length; at += 4)
        if (VM_Load<uint32_t>(buffer->code + at) == 0xC0020000u &&
            VM_Load<int32_t>(buffer->code + at + 4) == 10)
            offset = at;
    ASSERT_GE(offset, 0);
    const uint32_t original = VM_Load<uint32_t>(buffer->code + offset);
    ASSERT_TRUE(Debug_AddBreakpoint(buffer, offset));
    Debug_ArmBreakpoints();

    RValue result = RValue_Undefined();
    ASSERT_TRUE(VM::Exec(code, self, self, &result));
    EXPECT_TRUE(reports.empty()) << (reports.empty() ? "" : reports[0]);
    EXPECT_EQ(stops, 5);
    EXPECT_EQ(result.val, 150.0);  // (1 + 2 + 3 + 4 + 5) * 10: the operand was read each time
    EXPECT_EQ(VM_Load<uint32_t>(buffer->code + offset), VM_BREAK_WORD);  // armed again
    for (int32_t at : stopOffsets) EXPECT_EQ(at, offset);

    // Without a debugger the break word only stands aside.
    connected = false;
    Debug_Disconnected();
    EXPECT_EQ(VM_Load<uint32_t>(buffer->code + offset), original);
    EXPECT_EQ(Debug_BreakpointCount(), 0);
}

TEST_F(VMDebugTest, TableTakesValidatedAddressesOnly) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += "push.i 1\n";  // two words each
    CCode* code = Code(text);
    VMBuffer* buffer = code->buffer;
    EXPECT_FALSE(Debug_AddBreakpoint(buffer, 4));  // an operand word
    EXPECT_FALSE(Debug_AddBreakpoint(buffer, 2));  // not a word
    EXPECT_FALSE(Debug_AddBreakpoint(buffer, -8));
    EXPECT_FALSE(Debug_AddBreakpoint(buffer, buffer->length));
    EXPECT_FALSE(Debug_AddBreakpoint(nullptr, 0));
    EXPECT_TRUE(Debug_AddBreakpoint(buffer, 0));
    EXPECT_TRUE(Debug_AddBreakpoint(buffer, 0));
    EXPECT_EQ(Debug_BreakpointCount(), 1);
    for (int32_t i = 1; i < 255; ++i) EXPECT_TRUE(Debug_AddBreakpoint(buffer, 8 * i));
    EXPECT_EQ(Debug_BreakpointCount(), 255);
    EXPECT_FALSE(Debug_AddBreakpoint(buffer, 8 * 255));
    Debug_RemoveBreakpoint(buffer, 4);  // not in the table
    EXPECT_EQ(Debug_BreakpointCount(), 255);
    Debug_RemoveBreakpoint(buffer, 8);
    EXPECT_EQ(Debug_BreakpointCount(), 254);
    Debug_ArmBreakpoints();
    EXPECT_EQ(VM_Load<uint32_t>(buffer->code), VM_BREAK_WORD);
    Debug_ClearBreakpoints();
    EXPECT_EQ(VM_Load<uint32_t>(buffer->code), 0xC0020000u);
    EXPECT_EQ(Debug_BreakpointCount(), 0);
}

TEST_F(VMDebugTest, ABufferThatGoesAwayTakesItsBreakpointsWithIt) {
    std::vector<uint32_t> words = {0xC0020000u, 1, 0x9C500000u};
    auto* buffer = new VMBuffer(reinterpret_cast<uint8_t*>(words.data()), 12, 0, 0);
    ASSERT_TRUE(Debug_AddBreakpoint(buffer, 0));
    delete buffer;
    EXPECT_EQ(Debug_BreakpointCount(), 0);
    Debug_ArmBreakpoints();  // writes nowhere
    EXPECT_EQ(words[0], 0xC0020000u);
}

TEST_F(VMDebugTest, PendingStopAndPollCadence) {
    Debug_Step.stopPending = true;
    RValue result = Run(kLoop);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(result.val, 150.0);
    EXPECT_EQ(Debug_Step.mode, -1);

    int ticks = 0;
    static int* tickCount = nullptr;
    tickCount = &ticks;
    DebuggerHooks hooks;
    hooks.connected = [] { return true; };
    hooks.tick = [] { ++*tickCount; };
    Debug_Install(&hooks);
    Debug_Step.lastPoll = -1000000;
    Debug_Step.pollCounter = 0;
    uint32_t word = 0xC0020000u;
    VMExecContext ctx{};
    for (int i = 0; i < 20000; ++i) Debug_Instruction(&ctx, &word);
    EXPECT_EQ(ticks, 0);  // the clock is not even read before 20000 instructions
    Debug_Instruction(&ctx, &word);
    EXPECT_EQ(ticks, 1);
    for (int i = 0; i < 20001; ++i) Debug_Instruction(&ctx, &word);
    EXPECT_EQ(ticks, 1);  // less than half a second since the last poll
    EXPECT_EQ(word, 0xC0020000u);
}

}  // namespace
