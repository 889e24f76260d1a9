// The game-world built-ins as game code calls them: the 94 rows in their order, the geometry
// tests, and the built-ins whose answers have edges of their own.
#include "MotionTestSupport.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "world/Function_Game.h"

using namespace motion_test;

namespace {

const char* const kOrder[] = {
    "move_random",
    "place_free",
    "place_empty",
    "place_meeting",
    "place_snapped",
    "move_snap",
    "move_towards_point",
    "move_contact",
    "move_contact_solid",
    "move_contact_all",
    "move_outside_solid",
    "move_outside_all",
    "move_bounce",
    "move_bounce_solid",
    "move_bounce_all",
    "move_wrap",
    "motion_set",
    "motion_add",
    "distance_to_point",
    "distance_to_object",
    "path_start",
    "path_end",
    "mp_linear_step",
    "mp_linear_path",
    "mp_linear_step_object",
    "mp_linear_path_object",
    "mp_potential_settings",
    "mp_potential_step",
    "mp_potential_path",
    "mp_potential_step_object",
    "mp_potential_path_object",
    "mp_grid_create",
    "mp_grid_destroy",
    "mp_grid_clear_all",
    "mp_grid_clear_cell",
    "mp_grid_clear_rectangle",
    "mp_grid_add_cell",
    "mp_grid_get_cell",
    "mp_grid_add_rectangle",
    "mp_grid_add_instances",
    "mp_grid_path",
    "mp_grid_draw",
    "mp_grid_to_ds_grid",
    "collision_point",
    "collision_rectangle",
    "collision_circle",
    "collision_ellipse",
    "collision_line",
    "instance_find",
    "instance_exists",
    "instance_number",
    "instance_position",
    "instance_nearest",
    "instance_furthest",
    "instance_place",
    "instance_create",
    "instance_create_depth",
    "instance_create_layer",
    "instance_copy",
    "instance_change",
    "instance_destroy",
    "instance_sprite",
    "position_empty",
    "position_meeting",
    "position_destroy",
    "position_change",
    "instance_id_get",
    "instance_deactivate_all",
    "instance_deactivate_object",
    "instance_deactivate_region",
    "instance_activate_all",
    "instance_activate_object",
    "instance_activate_region",
    "room_goto",
    "room_goto_previous",
    "room_goto_next",
    "room_previous",
    "room_next",
    "room_restart",
    "game_end",
    "game_restart",
    "game_load",
    "game_save",
    "game_save_buffer",
    "game_load_buffer",
    "transition_define",
    "transition_exists",
    "sleep",
    "point_in_rectangle",
    "point_in_triangle",
    "point_in_circle",
    "rectangle_in_rectangle",
    "rectangle_in_triangle",
    "rectangle_in_circle",
};

class GameFunctions : public WorldTest {
protected:
    static const BuiltinFunction* Row(const char* name) {
        int32_t id = -1;
        static const bool registered = Code_Function_Find("move_random", &id) || (InitGameFunctions(), true);
        (void)registered;
        return Code_Function_Find(name, &id) ? Code_Function_Row(id) : nullptr;
    }

    // Calls the built-in with real arguments as self; answers the result.
    static RValue Call(const char* name, std::vector<double> args, CInstance* self = nullptr) {
        const BuiltinFunction* row = Row(name);
        EXPECT_NE(row, nullptr) << name;
        RValue result = RValue_Undefined();
        if (row == nullptr) return result;
        std::vector<RValue> values;
        for (double d : args) values.push_back(RValue_Real(d));
        Builtin_Current = row;
        row->function(result, self, nullptr, static_cast<int32_t>(values.size()), values.data());
        Builtin_Current = nullptr;
        return result;
    }
    static double Real(const char* name, std::vector<double> args, CInstance* self = nullptr) {
        RValue r = Call(name, std::move(args), self);
        EXPECT_EQ(r.kind, VALUE_REAL) << name;
        return r.val;
    }
};

TEST_F(GameFunctions, NinetyFourRowsInTheirOrder) {
    int32_t first = -1;
    Row("move_random");
    ASSERT_TRUE(Code_Function_Find("move_random", &first));
    for (int32_t n = 0; n < 94; ++n) {
        const BuiltinFunction* row = Code_Function_Row(first + n);
        ASSERT_NE(row, nullptr);
        EXPECT_STREQ(row->name, kOrder[n]) << "row " << n;
    }
    EXPECT_EQ(Code_Function_Row(first + 12)->function, Code_Function_Row(first + 13)->function)
        << "move_bounce and move_bounce_solid are one function";
    EXPECT_EQ(Code_Function_Row(first + 93)->argc, 7);
}

TEST_F(GameFunctions, Geometry) {
    struct Case {
        const char* name;
        std::vector<double> args;
        double answer;
    };
    const Case cases[] = {
        {"point_in_triangle", {5, 0, 0, 0, 10, 0, 0, 10}, 1},
        {"point_in_triangle", {5, 5, 0, 0, 10, 0, 0, 10}, 0},  // on the edge from the second to the third
        {"point_in_triangle", {1, 1, 0, 0, 5, 5, 10, 10}, 0},  // degenerate
        {"rectangle_in_rectangle", {0, 0, 10, 10, 5, 5, 20, 20}, 2},
        {"rectangle_in_rectangle", {6, 6, 8, 8, 5, 5, 20, 20}, 1},
        {"rectangle_in_rectangle", {0, 0, 4, 4, 5, 5, 20, 20}, 0},
        {"rectangle_in_rectangle", {0, 0, 5, 5, 5, 5, 20, 20}, 2},
        {"rectangle_in_rectangle", {8, 0, 12, 30, 0, 10, 20, 20}, 2},  // a cross
        {"point_in_rectangle", {10, 10, 0, 0, 10, 10}, 1},
        {"point_in_rectangle", {5, 5, 10, 10, 0, 0}, 0},  // corners are not reordered
        {"point_in_circle", {3, 4, 0, 0, 5}, 1},
        {"rectangle_in_circle", {0, 0, 1, 1, 0, 0, 5}, 1},
        {"rectangle_in_circle", {0, 0, 10, 10, 0, 0, 5}, 2},
        {"rectangle_in_circle", {20, 20, 30, 30, 0, 0, 5}, 0},
        {"rectangle_in_triangle", {1, 1, 2, 2, 0, 0, 10, 0, 0, 10}, 1},
        {"rectangle_in_triangle", {-1, -1, 100, 100, 1, 1, 2, 1, 1, 2}, 0},  // triangle inside
    };
    for (const Case& c : cases) EXPECT_EQ(Real(c.name, c.args), c.answer) << c.name;
}

TEST_F(GameFunctions, InstanceAnswersAtTheirEdges) {
    MakeRoom(false, 100, 100);
    Sprites()[0] = Rect(10, 10);
    const int32_t object = AddObject(0);
    CInstance* a = Make(object, 0, 0);
    CInstance* b = Make(object, 50, 0);
    EXPECT_EQ(Real("instance_find", {static_cast<double>(object), 2}), b->id) << "n = count: the last one";
    EXPECT_EQ(Real("instance_find", {static_cast<double>(object), 0}), a->id);
    EXPECT_EQ(Real("instance_nearest", {0, 0, static_cast<double>(a->id)}), -4);
    EXPECT_EQ(Real("place_meeting", {0, 0, -4}, a), 0);
    EXPECT_EQ(Real("place_meeting", {45, 0, static_cast<double>(object)}, a), 1);
    RValue meeting = Call("position_meeting", {55, 5, static_cast<double>(object)});
    EXPECT_EQ(meeting.kind, VALUE_BOOL);
    EXPECT_EQ(meeting.val, 1.0);
    EXPECT_EQ(Real("distance_to_object", {-1}, a), 1000000);
    EXPECT_EQ(Real("distance_to_object", {static_cast<double>(a->id)}, a), 1000000);
    EXPECT_EQ(Real("distance_to_object", {static_cast<double>(object)}, a), 41);
    EXPECT_EQ(Real("distance_to_point", {20, 0}, a), 11);
    EXPECT_EQ(Real("instance_create", {0, 0, 999}), -1);
    EXPECT_EQ(Real("room_previous", {0}), -1);

    // Far-apart boxes give their distance: a 32-bit sum of squares would wrap 65536^2 to 0.
    b->SetPosition(65545, 0);
    EXPECT_EQ(Real("distance_to_object", {static_cast<double>(b->id)}, a), 65536);

    // An instance as large as the room has nowhere to go; it stays where it is.
    Sprites()[1] = Rect(100, 100);
    CInstance* big = Make(AddObject(1), 0, 0);
    Call("move_random", {0, 0}, big);
    EXPECT_EQ(big->x, 0.0f);
    Call("move_random", {10, 10}, a);
    EXPECT_GE(a->x, 0.0f);
    EXPECT_LE(a->x, 90.0f);
    EXPECT_EQ(static_cast<int>(a->x) % 10, 0);

    b->SetPosition(-1, 0);
    Call("move_wrap", {1, 0, 0}, b);
    EXPECT_EQ(b->x, 99.0f);

    // Calls without an instance do nothing.
    for (const char* name :
         {"move_random", "move_wrap", "motion_set", "place_free", "instance_copy", "path_end"})
        Call(name, {1, 1, 1}, nullptr);
}

TEST_F(GameFunctions, DeactivationTakesEffectAfterTheStage) {
    MakeRoom(false);
    const int32_t object = AddObject(-1);
    CInstance* a = Make(object, 0, 0);
    CInstance* b = Make(object, 500, 0);
    Call("instance_deactivate_region", {0, 0, 100, 100, 1, 0}, b);
    EXPECT_TRUE(a->deactivated);
    EXPECT_FALSE(b->deactivated);
    EXPECT_EQ(Real("instance_exists", {static_cast<double>(object)}), 1);
    UpdateActiveLists();
    EXPECT_EQ(m_room->deactivated.head, a);
    Call("instance_activate_all", {});
    UpdateActiveLists();
    EXPECT_EQ(m_room->deactivated.head, nullptr);
    EXPECT_EQ(Real("instance_number", {static_cast<double>(object)}), 2);
}

}  // namespace
