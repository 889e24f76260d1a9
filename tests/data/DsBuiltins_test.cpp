// The ds built-ins called by name as game code calls them: index tables and their slot rule,
// nested containers owned through marks, results and messages.
#include <gtest/gtest.h>

#include "DsTestSupport.h"

namespace {

constexpr const char* kMissing = "Data structure with index does not exist.";
enum { MAP = 1, LIST = 2, STACK = 3, QUEUE = 4, GRID = 5, PRIORITY = 6 };

TEST_F(DsTest, FreedIndicesAreReusedLowestFirst) {
    const int32_t a = Create("ds_list_create");
    const int32_t b = Create("ds_list_create");
    const int32_t c = Create("ds_list_create");
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(c, b + 1);
    Run("ds_list_destroy", {R(b)});
    EXPECT_EQ(Exists(b, LIST), 0);
    EXPECT_EQ(Create("ds_list_create"), b);
    EXPECT_EQ(Exists(c, LIST), 1);
    EXPECT_TRUE(Reported().empty());

    // Kinds number independently; unknown kinds never exist and never report.
    const int32_t map = Create("ds_map_create");
    const int32_t grid = Create("ds_grid_create", {R(1), R(1)});
    EXPECT_EQ(Exists(map, MAP), 1);
    EXPECT_EQ(Exists(grid, GRID), 1);
    EXPECT_EQ(Exists(map, 7), 0);
    EXPECT_EQ(Exists(-1, LIST), 0);
    EXPECT_EQ(Exists(100000, MAP), 0);
    EXPECT_TRUE(Reported().empty());
}

TEST_F(DsTest, MissingIndicesAreReportedExceptForAFreedListOrMap) {
    const int32_t list = Create("ds_list_create");
    Run("ds_list_destroy", {R(list)});
    Run("ds_list_destroy", {R(list)});
    const int32_t map = Create("ds_map_create");
    Run("ds_map_destroy", {R(map)});
    Run("ds_map_destroy", {R(map)});
    EXPECT_TRUE(Reported().empty());
    Run("ds_list_destroy", {R(-1)});
    EXPECT_EQ(Reported().size(), 1u);

    const int32_t stack = Create("ds_stack_create");
    Run("ds_stack_destroy", {R(stack)});
    Run("ds_stack_destroy", {R(stack)});
    Run("ds_stack_push", {R(Create("ds_stack_create"))});  // no value: reported as a missing index
    Run("ds_list_size", {R(list)});
    EXPECT_TRUE(Run("ds_queue_head", {R(-5)})->Kind() == VALUE_UNDEFINED);
    EXPECT_EQ(Reported(), std::vector<std::string>(5, kMissing));
    EXPECT_EQ(Real("ds_grid_width", {R(-1)}), 0);  // 0 before the lookup
}

TEST_F(DsTest, EmptyContainersGiveUndefinedOrZero) {
    const int32_t stack = Create("ds_stack_create");
    const int32_t queue = Create("ds_queue_create");
    const int32_t priority = Create("ds_priority_create");
    const int32_t map = Create("ds_map_create");
    const int32_t list = Create("ds_list_create");
    const struct {
        const char* name;
        int32_t index;
    } undefinedCases[] = {{"ds_stack_pop", stack},      {"ds_stack_top", stack},         {"ds_queue_dequeue", queue},
                          {"ds_queue_tail", queue},     {"ds_priority_find_min", priority}, {"ds_map_find_first", map},
                          {"ds_map_find_last", map}};
    for (const auto& c : undefinedCases) EXPECT_EQ(Run(c.name, {R(c.index)})->Kind(), VALUE_UNDEFINED) << c.name;
    EXPECT_EQ(Real("ds_priority_delete_min", {R(priority)}), 0);
    EXPECT_EQ(Real("ds_priority_delete_max", {R(priority)}), 0);
    EXPECT_EQ(Run("ds_list_find_value", {R(list), R(0)})->Kind(), VALUE_UNDEFINED);
    EXPECT_EQ(Real("ds_stack_empty", {R(stack)}), 1);
    EXPECT_TRUE(Reported().empty());
}

TEST_F(DsTest, VariadicAddersTakeEveryArgumentInOrder) {
    const int32_t stack = Create("ds_stack_create");
    Run("ds_stack_push", {R(stack), R(1), S("two"), R(3)});
    EXPECT_EQ(Real("ds_stack_size", {R(stack)}), 3);
    EXPECT_EQ(Real("ds_stack_pop", {R(stack)}), 3);
    EXPECT_EQ(Text("ds_stack_top", {R(stack)}), "two");

    const int32_t queue = Create("ds_queue_create");
    Run("ds_queue_enqueue", {R(queue), R(1), R(2)});
    EXPECT_EQ(Real("ds_queue_tail", {R(queue)}), 2);
    EXPECT_EQ(Real("ds_queue_dequeue", {R(queue)}), 1);

    const int32_t list = Create("ds_list_create");
    Run("ds_list_add", {R(list), R(5), R(6), R(7)});
    EXPECT_EQ(Real("ds_list_find_index", {R(list), R(7)}), 2);
}

TEST_F(DsTest, MapResultsFollowWhetherTheKeyWasPresent) {
    const int32_t map = Create("ds_map_create");
    EXPECT_EQ(Real("ds_map_add", {R(map), S("k"), R(1)}), 1);
    EXPECT_EQ(Real("ds_map_add", {R(map), S("k"), R(2)}), 0);
    EXPECT_EQ(Real("ds_map_find_value", {R(map), S("k")}), 1);
    EXPECT_EQ(Real("ds_map_replace", {R(map), S("new"), R(3)}), 0);
    EXPECT_EQ(Real("ds_map_replace", {R(map), S("new"), R(4)}), 1);
    EXPECT_EQ(Real("ds_map_find_value", {R(map), S("new")}), 4);
    EXPECT_EQ(Real("ds_map_set_post", {R(map), S("k"), R(9)}), 1);
    EXPECT_EQ(Real("ds_map_set_post", {R(map), S("fresh"), R(8)}), 8);
    EXPECT_EQ(Real("ds_map_set_pre", {R(map), S("k"), R(10)}), 10);
    EXPECT_EQ(Real("ds_map_set_pre", {R(-1), S("k"), R(11)}), 11);  // made before the lookup
    EXPECT_EQ(Real("ds_map_add", {R(-1), S("k"), R(1)}), 0);        // 0 before the lookup
    EXPECT_EQ(Reported().size(), 2u);
    EXPECT_EQ(Real("ds_map_exists", {R(map), S("k")}), 1);
    Run("ds_map_delete", {R(map), S("k")});
    EXPECT_EQ(Real("ds_map_exists", {R(map), S("k")}), 0);
    EXPECT_EQ(Real("ds_map_size", {R(map)}), 2);
}

TEST_F(DsTest, ListSetVariantsAndMarks) {
    const int32_t list = Create("ds_list_create");
    Run("ds_list_add", {R(list), R(1), R(2), R(3)});
    Run("ds_list_set", {R(list), R(10), R(4)});
    EXPECT_EQ(Real("ds_list_size", {R(list)}), 11);
    EXPECT_EQ(Real("ds_list_set_post", {R(list), R(0), R(5)}), 1);
    EXPECT_EQ(Real("ds_list_set_pre", {R(list), R(1), R(6)}), 6);

    // A mark on a position outside the list marks nothing; on a string, nothing either.
    EXPECT_EQ(Run("ds_list_mark_as_list", {R(list), R(50)})->Kind(), VALUE_UNDEFINED);
    Run("ds_list_replace", {R(list), R(2), S("text")});
    auto marked = Run("ds_list_mark_as_map", {R(list), R(2)});
    EXPECT_EQ(marked->Kind(), VALUE_STRING);
}

TEST_F(DsTest, NestedContainersGoWithTheirHolder) {
    // A list added to a map dies with the map.
    const int32_t map = Create("ds_map_create");
    const int32_t child = Create("ds_list_create");
    EXPECT_EQ(Real("ds_map_add_list", {R(map), S("k"), R(child)}), 1);
    auto found = Run("ds_map_find_value", {R(map), S("k")});
    EXPECT_EQ(found->Kind(), VALUE_REAL);  // a plain real without its mark
    Run("ds_map_destroy", {R(map)});
    EXPECT_EQ(Exists(child, LIST), 0);

    // Clearing a list destroys what its marks name; deleting the position does not.
    const int32_t holder = Create("ds_list_create");
    const int32_t nested = Create("ds_list_create");
    const int32_t kept = Create("ds_map_create");
    Run("ds_list_add", {R(holder), R(nested), R(kept)});
    auto mark = Run("ds_list_mark_as_list", {R(holder), R(0)});
    EXPECT_EQ(mark->Kind(), 0x40000000u);
    Run("ds_list_mark_as_map", {R(holder), R(1)});
    auto withMark = Run("ds_list_find_value", {R(holder), R(1)});
    EXPECT_EQ(withMark->Kind(), 0x80000000u);  // a list hands its marks back
    Run("ds_list_delete", {R(holder), R(1)});
    Run("ds_list_clear", {R(holder)});
    EXPECT_EQ(Exists(nested, LIST), 0);
    EXPECT_EQ(Exists(kept, MAP), 1);
    EXPECT_TRUE(Reported().empty());
}

TEST_F(DsTest, NestedValuesMustBePlainRealsNamingLiveContainers) {
    const int32_t map = Create("ds_map_create");
    const int32_t list = Create("ds_list_create");
    Run("ds_list_add", {R(list), R(map)});
    auto markedValue = Run("ds_list_mark_as_map", {R(list), R(0)});
    const struct {
        const char* name;
        RValue value;
        const char* message;
    } cases[] = {
        {"ds_map_add_list", S("0"), "Invalid list index for value"},
        {"ds_map_add_list", R(99999), "Invalid list index for value"},
        {"ds_map_add_map", Ref(markedValue->v), "Invalid map index for value"},
        {"ds_map_replace_map", I32(map), "Invalid map index for value"},
    };
    for (const auto& c : cases) {
        Reported().clear();
        EXPECT_EQ(Real(c.name, {R(map), S("k"), c.value}), 0) << c.name;
        EXPECT_EQ(Reported(), std::vector<std::string>{c.message}) << c.name;
    }
    EXPECT_EQ(Real("ds_map_size", {R(map)}), 0);
    const int32_t inner = Create("ds_map_create");
    EXPECT_EQ(Real("ds_map_replace_map", {R(map), S("m"), R(inner)}), 0);  // added
    Run("ds_map_clear", {R(map)});
    EXPECT_EQ(Exists(inner, MAP), 0);
}

// Containers that own each other, or themselves, are destroyed once and the walk ends.
TEST_F(DsTest, CyclesOfMarksEndDestruction) {
    const int32_t a = Create("ds_list_create");
    const int32_t b = Create("ds_map_create");
    Run("ds_list_add", {R(a), R(a), R(b)});
    Run("ds_list_mark_as_list", {R(a), R(0)});
    Run("ds_list_mark_as_map", {R(a), R(1)});
    Run("ds_map_add_list", {R(b), S("back"), R(a)});
    Run("ds_list_clear", {R(a)});  // destroys b, whose mark back to a is passed over
    EXPECT_EQ(Exists(a, LIST), 1);
    EXPECT_EQ(Exists(b, MAP), 0);

    const int32_t c = Create("ds_map_create");
    Run("ds_list_add", {R(a), R(c)});
    Run("ds_list_mark_as_map", {R(a), R(0)});
    Run("ds_map_add_list", {R(c), S("back"), R(a)});
    Run("ds_map_add_map", {R(c), S("self"), R(c)});
    Run("ds_map_destroy", {R(c)});
    EXPECT_EQ(Exists(a, LIST), 0);
    EXPECT_EQ(Exists(c, MAP), 0);
    EXPECT_TRUE(Reported().empty());
}

TEST_F(DsTest, DeepNestingIsDestroyedWithoutRecursion) {
    // The rows are looked up once: a chain this long is built with direct calls.
    auto proc = [](const char* name) {
        int32_t id = -1;
        Code_Function_Find(name, &id);
        return Code_Function_Row(id)->function;
    };
    const BuiltinProc create = proc("ds_list_create"), add = proc("ds_list_add"), mark = proc("ds_list_mark_as_list");
    auto call = [](BuiltinProc f, std::vector<RValue> args) {
        RValue result = RValue_Undefined();
        f(result, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
        const double d = result.kind == VALUE_REAL ? result.val : -1;
        RValue_Release(&result);
        return static_cast<int32_t>(d);
    };
    const int32_t top = call(create, {});
    int32_t parent = top;
    for (int i = 0; i < 100000; ++i) {
        const int32_t child = call(create, {});
        call(add, {R(parent), R(child)});
        call(mark, {R(parent), R(0)});
        parent = child;
    }
    Run("ds_list_destroy", {R(top)});
    EXPECT_EQ(Exists(parent, LIST), 0);
    EXPECT_EQ(Create("ds_list_create"), top);
}

TEST_F(DsTest, CopiesNeverEmptyAContainerCopiedOntoItself) {
    const int32_t map = Create("ds_map_create");
    Run("ds_map_add", {R(map), S("k"), R(1)});
    Run("ds_map_copy", {R(map), R(map)});
    EXPECT_EQ(Real("ds_map_find_value", {R(map), S("k")}), 1);
    const int32_t grid = Create("ds_grid_create", {R(2), R(2)});
    Run("ds_grid_set", {R(grid), R(1), R(1), R(5)});
    Run("ds_grid_copy", {R(grid), R(grid)});
    EXPECT_EQ(Real("ds_grid_get", {R(grid), R(1), R(1)}), 5);
}

TEST_F(DsTest, MapBucketCounts) {
    const int32_t custom = Create("ds_map_create", {R(64)});
    EXPECT_EQ(DS_GetMap(custom)->BucketCount(), 64);
    EXPECT_EQ(DS_GetMap(Create("ds_map_create"))->BucketCount(), 4096);
    for (double bad : {0.0, -3.0, 1e9}) {
        Reported().clear();
        const int32_t map = Create("ds_map_create", {R(bad)});
        EXPECT_EQ(DS_GetMap(map)->BucketCount(), 4096) << bad;
        EXPECT_EQ(Reported().size(), 1u) << bad;
        Run("ds_map_add", {R(map), S("k"), R(1)});
        EXPECT_EQ(Real("ds_map_find_value", {R(map), S("k")}), 1);
    }
}

TEST_F(DsTest, PriorityBuiltins) {
    const int32_t queue = Create("ds_priority_create");
    Run("ds_priority_add", {R(queue), S("low"), R(1)});
    Run("ds_priority_add", {R(queue), S("high"), R(5)});
    Run("ds_priority_add", {R(queue), S("mid"), R(3)});
    EXPECT_EQ(Text("ds_priority_find_max", {R(queue)}), "high");
    EXPECT_EQ(Real("ds_priority_find_priority", {R(queue), S("mid")}), 3);
    Run("ds_priority_change_priority", {R(queue), S("mid"), R(0)});
    EXPECT_EQ(Text("ds_priority_delete_min", {R(queue)}), "mid");
    Run("ds_priority_delete_value", {R(queue), S("low")});
    EXPECT_EQ(Real("ds_priority_size", {R(queue)}), 1);
    const int32_t copy = Create("ds_priority_create");
    Run("ds_priority_copy", {R(copy), R(queue)});
    EXPECT_EQ(Text("ds_priority_delete_max", {R(copy)}), "high");
    EXPECT_EQ(Real("ds_priority_empty", {R(copy)}), 1);
}

TEST_F(DsTest, PrecisionIsTheAbsoluteValue) {
    const int32_t list = Create("ds_list_create");
    Run("ds_list_add", {R(list), R(1.0005)});
    Run("ds_set_precision", {R(-0.001)});
    EXPECT_EQ(Real("ds_list_find_index", {R(list), R(1)}), 0);
    Run("ds_set_precision", {R(1e-8)});
    EXPECT_EQ(Real("ds_list_find_index", {R(list), R(1)}), -1);
}

}  // namespace
