// The object, time-line and room rows of the resource built-ins, called by name as game code
// calls them, over a formpack-made game; reports are captured.
#include <cmath>

#include "GameLoopTestSupport.h"

#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "world/Function_Resource.h"
#include "world/World_Services.h"

using namespace gameloop_test;

namespace resourcetest {

std::vector<std::string>& Reports() {
    static std::vector<std::string> reports;
    return reports;
}

RValue CallRow(const char* name, std::vector<RValue> args) {
    int32_t id = -1;
    if (!Code_Function_Find(name, &id)) {
        InitScriptResourceFunctions();
        InitWorldResourceFunctions();
    }
    RValue result = RValue_Undefined();
    const BuiltinFunction* row = Code_Function_Find(name, &id) ? Code_Function_Row(id) : nullptr;
    EXPECT_NE(row, nullptr) << name;
    if (row) row->function(result, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
    for (RValue& a : args) RValue_Release(&a);
    return result;
}

// The real result (undefined reads as NaN).
double RealRow(const char* name, std::initializer_list<double> values) {
    std::vector<RValue> args;
    for (double v : values) args.push_back(RValue_Real(v));
    RValue result = CallRow(name, std::move(args));
    const double value = result.kind == VALUE_REAL ? result.val : std::nan("");
    RValue_Release(&result);
    return value;
}

class ResourceBuiltins : public GameLoopTest {
protected:
    void SetUp() override {
        GameLoopTest::SetUp();
        Reports().clear();
        m_previous = Runtime_SetNonFatalReporter([](const char* m) { Reports().push_back(m); });
    }
    void TearDown() override {
        Runtime_SetNonFatalReporter(m_previous);
        GameLoopTest::TearDown();
    }
    // Objects a, b (parent a) and c (parent b), one room.
    static void LoadChain() {
        ASSERT_TRUE(Load(MakeGame({MakeObject("a"), MakeObject("b", {}, 0), MakeObject("c", {}, 1)},
                                  {MakeRoom("r")}, {0})));
        Object_LinkParents();
    }
    RuntimeErrorReporter m_previous = nullptr;
};

TEST_F(ResourceBuiltins, ParentsRefuseCyclesAndAncestryFollowsTheChain) {
    LoadChain();
    EXPECT_EQ(RealRow("object_is_ancestor", {2, 0}), 1);
    EXPECT_EQ(RealRow("object_is_ancestor", {0, 0}), 0);
    EXPECT_EQ(RealRow("object_is_ancestor", {9, 0}), 0);

    RealRow("object_set_parent", {0, 2});
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0], "Creating a cycle in the parent relation.");
    EXPECT_EQ(Object_Find(0)->parentIndex, -100);
    EXPECT_EQ(Object_Find(0)->parent, nullptr);

    RealRow("object_set_parent", {0, 0});
    RealRow("object_set_parent", {0, 7});
    ASSERT_EQ(Reports().size(), 2u);
    EXPECT_EQ(Reports()[1], "Setting a non-existing parent.");

    // c moves under a; then, with no parent, it stops inheriting at once.
    RealRow("object_set_parent", {2, 0});
    EXPECT_EQ(RealRow("object_get_parent", {2}), 0);
    EXPECT_EQ(Object_Find(2)->parent, Object_Find(0));
    RealRow("object_set_parent", {2, -1});
    EXPECT_EQ(RealRow("object_get_parent", {2}), -1);
    EXPECT_EQ(Object_Find(2)->parent, nullptr);
    EXPECT_EQ(RealRow("object_is_ancestor", {2, 0}), 0);
    EXPECT_EQ(Reports().size(), 2u);
}

TEST_F(ResourceBuiltins, ObjectPropertiesAndTheirAnswersForMissingObjects) {
    LoadChain();
    const double added = RealRow("object_add", {});
    EXPECT_EQ(RealRow("object_get_visible", {added}), 1);
    EXPECT_EQ(RealRow("object_get_solid", {added}), 0);
    EXPECT_TRUE(Object_Find(int32_t(added))->flags & OBJECT_COLLISIONS);

    RealRow("object_set_solid", {0, 1});
    RealRow("object_set_visible", {0, 0});
    RealRow("object_set_persistent", {0, 1});
    RealRow("object_set_collisions", {0, 0});
    RealRow("object_set_sprite", {0, 12});
    RealRow("object_set_mask", {0, 13});
    RealRow("object_set_depth", {0, -5});
    EXPECT_EQ(Object_Find(0)->flags, OBJECT_SOLID | OBJECT_PERSISTENT);
    const std::pair<const char*, double> present[] = {
        {"object_get_solid", 1},   {"object_get_visible", 0}, {"object_get_persistent", 1},
        {"object_get_sprite", 12}, {"object_get_mask", 13},   {"object_get_depth", -5},
        {"object_get_physics", 0}, {"object_exists", 1},
    };
    for (const auto& [name, want] : present) EXPECT_EQ(RealRow(name, {0}), want) << name;
    const std::pair<const char*, double> missing[] = {
        {"object_get_sprite", -1},    {"object_get_solid", 0},   {"object_get_visible", 0},
        {"object_get_persistent", 0}, {"object_get_depth", -1},  {"object_get_mask", -1},
        {"object_get_parent", -1},    {"object_get_physics", 0}, {"object_exists", 0},
    };
    for (const auto& [name, want] : missing) EXPECT_EQ(RealRow(name, {99}), want) << name;
    RealRow("object_set_solid", {99, 1});
    EXPECT_TRUE(Reports().empty());

    EXPECT_EQ(RealRow("object_delete", {99}), 0);
    EXPECT_EQ(RealRow("object_delete", {added}), 1);
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0], "Trying to delete non-existing object.");
}

TEST_F(ResourceBuiltins, TimeLineMomentsAreAddedOnlyOnNewSteps) {
    LoadChain();
    const double line = RealRow("timeline_add", {});
    EXPECT_EQ(RealRow("timeline_size", {line}), 0);
    EXPECT_EQ(RealRow("timeline_max_moment", {line}), 0);
    RealRow("timeline_moment_add_script", {line, 30, 4});
    RealRow("timeline_moment_add_script", {line, 10, 5});
    RealRow("timeline_moment_add_script", {line, 30, 6});
    const CTimeLine* moments = TimeLine_Get(int32_t(line));
    ASSERT_NE(moments, nullptr);
    EXPECT_EQ(moments->GetCount(), 2);
    EXPECT_EQ(moments->GetEvent(1), uintptr_t(4 * 2 + 1)) << "the step that had a moment keeps its script";
    EXPECT_EQ(RealRow("timeline_max_moment", {line}), 30);
    RealRow("timeline_moment_clear", {line, 10});
    EXPECT_EQ(RealRow("timeline_size", {line}), 1);
    EXPECT_EQ(RealRow("timeline_size", {line + 5}), -1);
    EXPECT_EQ(RealRow("timeline_max_moment", {line + 5}), -1);
    EXPECT_EQ(RealRow("timeline_delete", {line + 5}), 0);
    EXPECT_EQ(Reports(), std::vector<std::string>{"Trying to delete non-existing timeline."});
}

TEST_F(ResourceBuiltins, RoomDefinitionsChangeOnlyInsideTheirSlots) {
    LoadChain();
    RealRow("room_set_view", {0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
    RealRow("room_set_view", {0, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
    const CRoom* room = Room_Get(0);
    EXPECT_TRUE(room->views[1].visible);
    EXPECT_EQ(room->views[1].portH, 9);
    EXPECT_EQ(room->views[1].object, 14);
    for (int32_t v = 0; v < kRoomViews; ++v) {
        if (v != 1) {
            EXPECT_FALSE(room->views[v].visible) << v;
        }
    }
    RealRow("room_set_background", {0, 2, 1, 0, 7, 3, 4, 1, 0, 0.5, 0, 0.25});
    EXPECT_EQ(room->backgrounds[2].index, 7);
    EXPECT_EQ(room->backgrounds[2].alpha, 0.25f);
    EXPECT_FALSE(room->backgrounds[2].tileY);

    EXPECT_EQ(RealRow("room_duplicate", {9}), -1);
    EXPECT_EQ(RealRow("room_instance_add", {9, 0, 0, 0}), -1);
    const double id = RealRow("room_instance_add", {0, 5, 6, 1});
    EXPECT_EQ(room->instanceRecordCount, 1);
    EXPECT_EQ(room->instanceRecords[0]->id, id);
    RealRow("room_instance_clear", {0});
    EXPECT_EQ(room->instanceRecordCount, 1);

    // Tile records need an existing background; their alpha is limited to 0..1. (The world
    // keeps this answer: it only ever serves these rows.)
    WorldServices services = World();
    services.backgroundExists = [](int32_t b) { return b == 3; };
    World_InstallServices(&services);
    EXPECT_EQ(RealRow("room_tile_add", {0, 4, 0, 0, 8, 8, 0, 0, 0}), -1);
    EXPECT_EQ(Reports(), std::vector<std::string>{"Background does not exist."});
    RealRow("room_tile_add_ext", {0, 3, 0, 0, 8, 8, 0, 0, 0, 1, 1, 1.5});
    RealRow("room_tile_add_ext", {0, 3, 0, 0, 8, 8, 0, 0, 0, 1, 1, 0.5});
    ASSERT_EQ(room->tileRecordCount, 2);
    EXPECT_EQ(room->tileRecords[0]->colour, 0xFFFFFFFFu);
    EXPECT_EQ(room->tileRecords[1]->colour >> 24, 127u);
    EXPECT_EQ(room->tileRecords[1]->id, room->tileRecords[0]->id + 1);
    RealRow("room_tile_clear", {0});
    EXPECT_EQ(room->tileRecordCount, 0);

    RValue caption = RValue_Undefined();
    RValue_SetString(&caption, "Level one");
    CallRow("room_set_caption", {RValue_Real(0), caption});
    EXPECT_STREQ(room->caption, "Level one");
}

TEST_F(ResourceBuiltins, ScriptExecuteWithoutAScriptReports) {
    LoadChain();
    RValue none = CallRow("script_execute", {});
    EXPECT_EQ(none.kind, VALUE_UNDEFINED);
    RValue missing = CallRow("script_execute", {RValue_Real(3)});
    EXPECT_EQ(missing.kind, VALUE_UNDEFINED);
    EXPECT_EQ(Reports(), (std::vector<std::string>{"Trying to execute non-existing script.",
                                                   "Trying to execute non-existing script."}));
}

}  // namespace resourcetest
