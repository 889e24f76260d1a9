// The legacy tile built-ins over the current room's tiles, called by name as game code calls
// them, with their reports captured.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/Background_Main.h"
#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "room/Function_Tile.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace tiletest {

std::vector<std::string>& TileShown() {
    static std::vector<std::string> shown;
    return shown;
}

RValue CallTile(const char* name, std::vector<RValue> args) {
    static const bool registered = (InitTileFunctions(), true);
    (void)registered;
    RValue result = RValue_Undefined();
    int32_t id = -1;
    const BuiltinFunction* row = Code_Function_Find(name, &id) ? Code_Function_Row(id) : nullptr;
    EXPECT_NE(row, nullptr) << name;
    if (row) row->function(result, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
    for (RValue& a : args) RValue_Release(&a);
    return result;
}

double RealTile(const char* name, std::initializer_list<double> values) {
    std::vector<RValue> args;
    for (double v : values) args.push_back(RValue_Real(v));
    RValue result = CallTile(name, std::move(args));
    EXPECT_EQ(result.kind, VALUE_REAL) << name;
    const double value = result.kind == VALUE_REAL ? result.val : -12345;
    RValue_Release(&result);
    return value;
}

// The reals of a one-row array result (released), or nothing for another kind.
std::vector<double> Ids(RValue result) {
    std::vector<double> ids;
    if (result.kind == VALUE_ARRAY && result.arr && result.arr->rowCount == 1)
        for (int32_t i = 0; i < result.arr->rows[0].length; ++i)
            ids.push_back(result.arr->rows[0].items[i].val);
    RValue_Release(&result);
    return ids;
}

class TileBuiltinsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Background_Init();
        m_background = Background_AddEmpty();
        m_room = new CRoom();
        Run_SetCurrentRoom(m_room);
        TileShown().clear();
        Runtime_SetReportHooks([](const char* text, bool) { TileShown().push_back(text); },
                               [](const char* text, bool) { TileShown().push_back(text); });
    }
    void TearDown() override {
        Runtime_SetReportHooks(nullptr, nullptr);
        Run_SetCurrentRoom(nullptr);
        delete m_room;
        Background_Init();
    }
    // tile_add(background, 0, 0, width, height, x, y, depth).
    double Add(double x, double y, double depth, double width = 16, double height = 16) {
        return RealTile("tile_add", {double(m_background), 0, 0, width, height, x, y, depth});
    }
    CRoom* m_room = nullptr;
    int32_t m_background = -1;
};

TEST_F(TileBuiltinsTest, AddGivesConsecutiveIdsAndDeletedTilesAreReportedByTheOthers) {
    const double first = Add(10, 20, 100), second = Add(30, 40, 100);
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(RealTile("tile_get_count", {}), 2);
    EXPECT_EQ(RealTile("tile_get_id", {1}), second);
    EXPECT_EQ(RealTile("tile_get_id", {2}), -1);
    EXPECT_EQ(RealTile("tile_get_id", {-1}), -1);
    EXPECT_EQ(RealTile("tile_get_x", {second}), 30);
    EXPECT_EQ(RealTile("tile_get_visible", {second}), 1);
    EXPECT_EQ(RealTile("tile_get_blend", {second}), 0xFFFFFF);

    CallTile("tile_delete", {RValue_Real(first)});
    EXPECT_EQ(RealTile("tile_exists", {first}), 0);
    EXPECT_TRUE(TileShown().empty()) << "tile_exists asks without a report";
    EXPECT_EQ(RealTile("tile_get_x", {first}), 0);
    ASSERT_EQ(TileShown().size(), 1u);
    EXPECT_NE(TileShown()[0].find("Tile does not exist."), std::string::npos);

    EXPECT_EQ(RealTile("tile_add", {double(m_background + 1), 0, 0, 1, 1, 0, 0, 0}), -1);
    EXPECT_NE(TileShown().back().find("Background does not exist."), std::string::npos);
    EXPECT_EQ(RealTile("tile_get_count", {}), 1);
}

TEST_F(TileBuiltinsTest, LayersAreTheTilesOfOneExactDepth) {
    const double a = Add(0, 0, 100);
    CallTile("tile_set_depth", {RValue_Real(a), RValue_Real(100.5)});
    CallTile("tile_layer_hide", {RValue_Real(100.5)});
    EXPECT_EQ(RealTile("tile_get_visible", {a}), 0);
    CallTile("tile_layer_show", {RValue_Real(100.5)});
    EXPECT_EQ(RealTile("tile_get_visible", {a}), 1);
    CallTile("tile_layer_shift", {RValue_Real(100.5), RValue_Real(3), RValue_Real(-2)});
    EXPECT_EQ(RealTile("tile_get_x", {a}), 3);
    EXPECT_EQ(RealTile("tile_get_y", {a}), -2);
    CallTile("tile_layer_depth", {RValue_Real(100.5), RValue_Real(7)});
    EXPECT_EQ(RealTile("tile_get_depth", {a}), 7);

    // Left edges are inside, right edges outside.
    const double left = Add(50, 0, 9), right = Add(34, 0, 9);
    CallTile("tile_layer_delete_at", {RValue_Real(9), RValue_Real(50), RValue_Real(5)});
    EXPECT_EQ(RealTile("tile_exists", {left}), 0);
    EXPECT_EQ(RealTile("tile_exists", {right}), 1);
    CallTile("tile_layer_delete", {RValue_Real(9)});
    EXPECT_EQ(RealTile("tile_exists", {right}), 0);
    EXPECT_EQ(RealTile("tile_exists", {a}), 1);
}

TEST_F(TileBuiltinsTest, FindTakesTheNearestCentreAtTheDepth) {
    const double big = Add(0, 0, 5, 40, 40), small = Add(8, 8, 5, 8, 8);
    Add(0, 0, 6, 100, 100);
    EXPECT_EQ(RealTile("tile_layer_find", {5, 12, 12}), small);
    EXPECT_EQ(RealTile("tile_layer_find", {5, 30, 30}), big);
    EXPECT_EQ(RealTile("tile_layer_find", {4, 12, 12}), -1);
}

TEST_F(TileBuiltinsTest, IdArraysAreUndefinedWithoutTilesAndZeroForAnEmptyDepth) {
    RValue none = CallTile("tile_get_ids", {});
    EXPECT_EQ(none.kind, VALUE_UNDEFINED);
    RValue noneAtDepth = CallTile("tile_get_ids_at_depth", {RValue_Real(1)});
    EXPECT_EQ(noneAtDepth.kind, VALUE_UNDEFINED);

    const double a = Add(0, 0, 1), b = Add(0, 0, 2), c = Add(0, 0, 1);
    EXPECT_EQ(Ids(CallTile("tile_get_ids", {})), (std::vector<double>{a, b, c}));
    EXPECT_EQ(Ids(CallTile("tile_get_ids_at_depth", {RValue_Real(1)})), (std::vector<double>{a, c}));
    EXPECT_EQ(Ids(CallTile("tile_get_ids_at_depth", {RValue_Real(3)})), (std::vector<double>{0}));
    RValue refused = CallTile("tile_get_ids", {RValue_Real(1)});
    EXPECT_EQ(refused.kind, VALUE_UNDEFINED);
    EXPECT_NE(TileShown().back().find("Incorrect argument count"), std::string::npos);
}

TEST_F(TileBuiltinsTest, SettersWriteTheirFields) {
    const double t = Add(0, 0, 0);
    CallTile("tile_set_position", {RValue_Real(t), RValue_Real(5), RValue_Real(6)});
    CallTile("tile_set_region",
             {RValue_Real(t), RValue_Real(1), RValue_Real(2), RValue_Real(3), RValue_Real(4)});
    CallTile("tile_set_scale", {RValue_Real(t), RValue_Real(2), RValue_Real(0.5)});
    CallTile("tile_set_blend", {RValue_Real(t), RValue_Real(0x123456)});
    CallTile("tile_set_alpha", {RValue_Real(t), RValue_Real(0.25)});
    CallTile("tile_set_background", {RValue_Real(t), RValue_Real(77)});
    CallTile("tile_set_visible", {RValue_Real(t), RValue_Real(0)});
    const std::pair<const char*, double> fields[] = {
        {"tile_get_x", 5},        {"tile_get_y", 6},           {"tile_get_left", 1},
        {"tile_get_top", 2},      {"tile_get_width", 3},       {"tile_get_height", 4},
        {"tile_get_xscale", 2},   {"tile_get_yscale", 0.5},    {"tile_get_blend", 0x123456},
        {"tile_get_alpha", 0.25}, {"tile_get_background", 77}, {"tile_get_visible", 0},
    };
    for (const auto& [name, want] : fields) EXPECT_EQ(RealTile(name, {t}), want) << name;
    EXPECT_TRUE(TileShown().empty());
}

}  // namespace tiletest
