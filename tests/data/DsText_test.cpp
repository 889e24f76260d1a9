// Container texts: streams spelled out byte by byte here from the layout, read back and
// written again unchanged; older layouts; and hostile texts that must be refused or read
// without harm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "DsTestSupport.h"
#include "data/ValueCompare.h"

namespace {

// A little-endian stream built by hand, as hex text.
class Bytes {
public:
    Bytes& I32(int32_t v) { return Put(&v, 4); }
    Bytes& U32(uint32_t v) { return Put(&v, 4); }
    Bytes& I64(int64_t v) { return Put(&v, 8); }
    Bytes& F64(double v) { return Put(&v, 8); }
    Bytes& Text(const std::string& s) {
        I32(static_cast<int32_t>(s.size()));
        return Put(s.data(), s.size());
    }
    // Values in the current layout.
    Bytes& Real(double d) { return I32(0).F64(d); }
    Bytes& Str(const std::string& s) { return I32(1).Text(s); }
    Bytes& Hex(const std::string& hex) {
        m_hex += hex;
        return *this;
    }
    std::string Out() const { return m_hex; }
    std::string Cut(size_t chars) const { return m_hex.substr(0, chars); }

private:
    Bytes& Put(const void* p, size_t n) {
        static const char digits[] = "0123456789ABCDEF";
        for (size_t i = 0; i < n; ++i) {
            const uint8_t b = static_cast<const uint8_t*>(p)[i];
            m_hex += digits[b >> 4];
            m_hex += digits[b & 15];
        }
        return *this;
    }
    std::string m_hex;
};

// One value of every kind the text carries, with a nested array (two rows, the second
// holding an array of its own).
Bytes& AllKinds(Bytes& b) {
    b.Real(-2.5).Str("ab").Str("").I32(13).F64(1).I32(7).I32(-9).I32(10).I64(int64_t{1} << 40).I32(5);
    b.I32(3).I64(0x1234);  // a pointer
    b.I32(2).I32(2).I32(1).Real(4).I32(2).Str("x").I32(2).I32(1).I32(1).Real(8);
    return b;
}
constexpr int32_t kAllKinds = 9;

class DsTextTest : public DsTest {
protected:
    // Reads the text into a fresh container of the kind and writes it again.
    std::string RoundTrip(const char* kind, const std::string& text) {
        const int32_t index =
            Create(("ds_" + std::string(kind) + "_create").c_str(),
                   std::strcmp(kind, "grid") == 0 ? std::vector<RValue>{R(1), R(1)} : std::vector<RValue>{});
        Run(("ds_" + std::string(kind) + "_read").c_str(), {R(index), S(text.c_str())});
        return Text(("ds_" + std::string(kind) + "_write").c_str(), {R(index)});
    }
};

TEST_F(DsTextTest, TextsOfEveryKindReadBackAndWriteUnchanged) {
    Bytes stack, queue, list, map, priority, grid;
    AllKinds(stack.I32(102).I32(kAllKinds));
    // Sixteen slots; head and tail inside them; slots outside are written too.
    AllKinds(queue.I32(202).I32(12).I32(3).I32(16).I32(5).I32(0).F64(0))
        .Real(1)
        .Real(2)
        .Real(3)
        .Real(4)
        .Real(5);
    AllKinds(list.I32(302).I32(kAllKinds));
    // Map entries in iteration order: by bucket of the key's hash in a map of 4096 buckets.
    struct Entry {
        RValue key;
        std::string hex;
    };
    std::vector<Entry> entries = {{S("a"), Bytes().Str("a").Real(1).Out()},
                                  {R(2), Bytes().Real(2).Str("b").Out()},
                                  {S("k"), Bytes().Str("k").I32(2).I32(1).I32(1).I32(7).I32(3).Out()}};
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& x, const Entry& y) {
        return (DS_ValueHash(&x.key) & 4095) < (DS_ValueHash(&y.key) & 4095);
    });
    map.I32(402).I32(3);
    for (Entry& e : entries) {
        map.Hex(e.hex);
        RValue_Release(&e.key);
    }
    priority.I32(502).I32(2).Real(3).Str("p").Str("v1").I32(10).I64(-1);
    AllKinds(grid.I32(602).I32(3).I32(3));
    const struct {
        const char* kind;
        std::string text;
    } cases[] = {{"stack", stack.Out()}, {"queue", queue.Out()},       {"list", list.Out()},
                 {"map", map.Out()},     {"priority", priority.Out()}, {"grid", grid.Out()}};
    for (const auto& c : cases) EXPECT_EQ(RoundTrip(c.kind, c.text), c.text) << c.kind;
    EXPECT_TRUE(Reported().empty());
}

TEST_F(DsTextTest, WrittenBytesFollowTheLayout) {
    const int32_t list = Create("ds_list_create");
    EXPECT_EQ(Text("ds_list_write", {R(list)}), "2E01000000000000");
    const int32_t stack = Create("ds_stack_create");
    Run("ds_stack_push", {R(stack), R(1)});
    EXPECT_EQ(Text("ds_stack_write", {R(stack)}), "660000000100000000000000000000000000F03F");
    Run("ds_list_add", {R(list), S("ab")});
    EXPECT_EQ(Text("ds_list_write", {R(list)}), Bytes().I32(302).I32(1).I32(1).I32(2).Hex("6162").Out());

    // Grids go column by column.
    const int32_t grid = Create("ds_grid_create", {R(2), R(3)});
    for (int x = 0; x < 2; ++x)
        for (int y = 0; y < 3; ++y) Run("ds_grid_set", {R(grid), R(x), R(y), R(x * 10 + y)});
    Bytes expected;
    expected.I32(602).I32(2).I32(3);
    for (double d : {0, 1, 2, 10, 11, 12}) expected.Real(d);
    EXPECT_EQ(Text("ds_grid_write", {R(grid)}), expected.Out());

    // A queue writes every slot of its storage, whatever its head and tail.
    const int32_t queue = Create("ds_queue_create");
    Run("ds_queue_enqueue", {R(queue), R(1), R(2)});
    Run("ds_queue_dequeue", {R(queue)});
    Bytes q;
    q.I32(202).I32(2).I32(1).I32(16).Real(1).Real(2);
    for (int i = 0; i < 14; ++i) q.Real(0);
    EXPECT_EQ(Text("ds_queue_write", {R(queue)}), q.Out());
}

TEST_F(DsTextTest, MarkedValuesAreWrittenAsTheirKindWordAlone) {
    const int32_t map = Create("ds_map_create");
    Run("ds_map_add_map", {R(map), S("m"), R(Create("ds_map_create"))});
    EXPECT_EQ(Text("ds_map_write", {R(map)}), Bytes().I32(402).I32(1).Str("m").U32(0x80000000u).Out());
    EXPECT_EQ(Lines(),
              std::vector<std::string>{"Attempting to WriteValue for unsupported type -2147483648\n"});

    const int32_t back = Create("ds_map_create");
    Run("ds_map_read", {R(back), S(Bytes().I32(402).I32(1).Str("m").U32(0x80000000u).Out().c_str())});
    EXPECT_EQ(Run("ds_map_find_value", {R(back), S("m")})->Kind(), VALUE_UNDEFINED);
    EXPECT_EQ(Lines().back(), "Attempting to ReadValue for unsupported type -2147483648\n");
}

TEST_F(DsTextTest, OlderLayoutsRead) {
    // x01: reals and strings as in the current layout.
    const int32_t list = Create("ds_list_create");
    Run("ds_list_read", {R(list), S(Bytes().I32(301).I32(2).Real(4).Str("s").Out().c_str())});
    EXPECT_EQ(Real("ds_list_find_value", {R(list), R(0)}), 4);
    EXPECT_EQ(Text("ds_list_find_value", {R(list), R(1)}), "s");

    // Legacy flag: every value is a kind word, a double and a text.
    const std::string legacy =
        Bytes().I32(302).I32(2).I32(0).F64(6).Text("unused").I32(1).F64(0).Text("t").Out();
    Run("ds_list_read", {R(list), S(legacy.c_str()), R(1)});
    EXPECT_EQ(Real("ds_list_find_value", {R(list), R(0)}), 6);
    EXPECT_EQ(Text("ds_list_find_value", {R(list), R(1)}), "t");

    // 0.7 is a true flag for the priority reader only.
    const std::string prio = Bytes().I32(502).I32(1).I32(0).F64(2).Text("").I32(1).F64(0).Text("v").Out();
    const int32_t queue = Create("ds_priority_create");
    Run("ds_priority_read", {R(queue), S(prio.c_str()), R(0.7)});
    EXPECT_EQ(Text("ds_priority_find_max", {R(queue)}), "v");
    Run("ds_list_read", {R(list), S(legacy.c_str()), R(0.7)});  // read in the current layout
    EXPECT_NE(Run("ds_list_find_value", {R(list), R(1)})->Kind(), VALUE_STRING);

    // The old plain map text: key 1.0, value 2.0; then a string key and a string value.
    const int32_t map = Create("ds_map_create");
    Run("ds_map_read", {R(map), S("0:3FF0000000000000:4000000000000000,3:6B:7676")});
    EXPECT_EQ(Real("ds_map_find_value", {R(map), R(1)}), 2);
    EXPECT_EQ(Text("ds_map_find_value", {R(map), S("k")}), "vv");
    EXPECT_EQ(Real("ds_map_size", {R(map)}), 2);

    // A key given twice is kept twice; lookups find the first value, and a walk by key passes
    // the repeats and ends (here with a key between them in the text).
    Run("ds_map_read", {R(map), S("0:3FF0000000000000:4000000000000000,0:4000000000000000:0,"
                                  "0:3FF0000000000000:0")});
    EXPECT_EQ(Real("ds_map_size", {R(map)}), 3);
    EXPECT_EQ(Real("ds_map_find_value", {R(map), R(1)}), 2);
    int32_t keys = 1;
    for (double key = Real("ds_map_find_first", {R(map)}); keys < 10; ++keys) {
        auto next = Run("ds_map_find_next", {R(map), R(key)});
        if (next->Kind() != VALUE_REAL) break;
        key = next->v.val;
    }
    EXPECT_EQ(keys, 2);
    // The repeat is written back out (count 3 after the version word): nothing read is lost.
    EXPECT_EQ(Text("ds_map_write", {R(map)}).substr(8, 8), "03000000");
}

TEST_F(DsTextTest, MapReadingKeepsFirstValuesAndEmptiesOnRefusal) {
    const int32_t map = Create("ds_map_create");
    Run("ds_map_read", {R(map), S(Bytes().I32(402).I32(2).Str("k").Real(1).Str("k").Real(2).Out().c_str())});
    EXPECT_EQ(Real("ds_map_size", {R(map)}), 1);
    EXPECT_EQ(Real("ds_map_find_value", {R(map), S("k")}), 1);
    Run("ds_map_read", {R(map), S(Bytes().I32(999).I32(0).Out().c_str())});
    EXPECT_EQ(Real("ds_map_size", {R(map)}), 0);
}

// Counts, sizes, heads and tails a text cannot hold are refused, leaving the container as it
// was; the last value cut short reads as zeros.
TEST_F(DsTextTest, HostileTextsAreRefused) {
    const int32_t list = Create("ds_list_create");
    Run("ds_list_add", {R(list), S("keep")});
    const std::string refused[] = {
        Bytes().I32(302).I32(4).Real(1).Out(),                        // count beyond the bytes
        Bytes().I32(302).I32(-1).Out(),                               // negative count
        Bytes().I32(302).I32(1).I32(1).I32(1000).Hex("41").Out(),     // text length beyond
        Bytes().I32(302).I32(1).I32(1).I32(-5).Out(),                 // negative length
        Bytes().I32(302).I32(1).I32(2).I32(0x7FFFFFFF).Out(),         // rows beyond
        Bytes().I32(302).I32(1).I32(2).I32(1).I32(0x10000000).Out(),  // row length beyond
        Bytes().I32(303).I32(0).Out(),                                // unknown version
        "",
        "zz",
    };
    for (const std::string& text : refused) {
        Run("ds_list_read", {R(list), S(text.c_str())});
        EXPECT_EQ(Real("ds_list_size", {R(list)}), 1) << text;
        EXPECT_EQ(Text("ds_list_find_value", {R(list), R(0)}), "keep") << text;
    }

    // Arrays nested past the limit are refused instead of exhausting the stack.
    Bytes deep;
    deep.I32(302).I32(1);
    for (int i = 0; i < 100000; ++i) deep.I32(2).I32(1).I32(1);
    Run("ds_list_read", {R(list), S(deep.Out().c_str())});
    EXPECT_EQ(Real("ds_list_size", {R(list)}), 1);

    const struct {
        const char* kind;
        std::string text;
    } others[] = {
        {"queue", Bytes().I32(202).I32(1).I32(2).I32(2).Real(0).Real(0).Out()},  // head past tail
        {"queue", Bytes().I32(202).I32(3).I32(0).I32(2).Real(0).Real(0).Out()},  // tail past the slots
        {"grid", Bytes().I32(602).I32(-2).I32(-2).Real(0).Real(0).Real(0).Real(0).Out()},
        {"grid", Bytes().I32(602).I32(65536).I32(65536).Out()},
        {"priority", Bytes().I32(502).I32(5).Real(0).Real(0).Real(0).Out()},
        {"stack", Bytes().I32(102).I32(0x40000000).Out()},
    };
    for (const auto& c : others) {
        const std::string create = "ds_" + std::string(c.kind) + "_create";
        const int32_t index =
            Create(create.c_str(), std::strcmp(c.kind, "grid") == 0 ? std::vector<RValue>{R(1), R(1)}
                                                                    : std::vector<RValue>{});
        const std::string before = Text(("ds_" + std::string(c.kind) + "_write").c_str(), {R(index)});
        Run(("ds_" + std::string(c.kind) + "_read").c_str(), {R(index), S(c.text.c_str())});
        EXPECT_EQ(Text(("ds_" + std::string(c.kind) + "_write").c_str(), {R(index)}), before) << c.kind;
    }

    // A value cut short inside its body reads as zeros.
    const std::string cut = Bytes().I32(302).I32(1).I32(0).Hex("0000").Out();
    Run("ds_list_read", {R(list), S(cut.c_str())});
    EXPECT_EQ(Real("ds_list_find_value", {R(list), R(0)}), 0);
    EXPECT_TRUE(Reported().empty());
}

// Random and cut texts of every kind: whatever they make, nothing crashes or leaks, and
// what was taken writes a text that reads back to the same text.
TEST_F(DsTextTest, RandomAndTruncatedTextsAreHarmless) {
    std::mt19937 random(11);
    const char* kinds[] = {"stack", "queue", "list", "map", "priority", "grid"};
    const int32_t versions[] = {102, 202, 302, 402, 502, 602};
    Bytes full;
    AllKinds(full.I32(0).I32(kAllKinds));
    for (int round = 0; round < 600; ++round) {
        const int k = round % 6;
        std::string text = Bytes().I32(versions[k] - (round / 6) % 2).Out();
        if (round % 3 == 0) {
            text += full.Out().substr(8, random() % (full.Out().size() - 8));
        } else {
            for (int n = random() % 80; n > 0; --n) text += "0123456789ABCDEF"[random() % 16];
        }
        const std::string kind = kinds[k];
        const int32_t index =
            Create(("ds_" + kind + "_create").c_str(),
                   kind == "grid" ? std::vector<RValue>{R(1), R(1)} : std::vector<RValue>{});
        Run(("ds_" + kind + "_read").c_str(), {R(index), S(text.c_str())});
        const std::string written = Text(("ds_" + kind + "_write").c_str(), {R(index)});
        // Array keys hash by their record's address, so a map's order may differ between
        // two readings; its bytes are the same in number.
        const std::string again = RoundTrip(kind.c_str(), written);
        if (kind == "map") {
            EXPECT_EQ(again.size(), written.size()) << text;
        } else {
            EXPECT_EQ(again, written) << kind << " " << text;
        }
        Run(("ds_" + kind + "_destroy").c_str(), {R(index)});
    }
}

}  // namespace
