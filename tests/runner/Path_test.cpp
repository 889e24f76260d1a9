// Paths: the polyline (straight and smooth), lengths, times and positions, the transforms, the
// table and its "PATH" reader, and the path built-ins' answers for missing paths and points.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "LoaderTestSupport.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "base/Error_Report.h"
#include "world/Function_Path.h"
#include "world/Path_Main.h"

namespace {

struct P {
    float x, y;
};

void AddAll(CPath* path, std::vector<P> points, float speed = 100.0f) {
    for (const P& p : points) path->AddPoint(p.x, p.y, speed);
}

std::vector<P> Controls(const CPath& path) {
    std::vector<P> out;
    for (int32_t i = 0; i < path.GetNumber(); ++i) out.push_back({path.GetPoint(i).x, path.GetPoint(i).y});
    return out;
}

void ExpectPoints(const std::vector<P>& got, const std::vector<P>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].x, want[i].x, 1e-3) << "point " << i;
        EXPECT_NEAR(got[i].y, want[i].y, 1e-3) << "point " << i;
    }
}

TEST(PathPolyline, StraightClosedAndOpen) {
    CPath path;
    AddAll(&path, {{0, 0}, {100, 0}, {100, 100}});
    ASSERT_EQ(path.GetComputedCount(), 4);
    EXPECT_EQ(path.GetComputed()[3].x, 0.0f);
    EXPECT_EQ(path.GetComputed()[3].y, 0.0f);
    EXPECT_FLOAT_EQ(path.GetLength(), 341.42136f);

    path.SetClosed(false);
    ASSERT_EQ(path.GetComputedCount(), 3);
    EXPECT_EQ(path.GetLength(), 200.0f);
    EXPECT_EQ(path.GetX(0.5), 100.0f);
    EXPECT_EQ(path.GetY(0.5), 0.0f);
    EXPECT_EQ(path.GetX(0.75), 100.0f);
    EXPECT_EQ(path.GetY(0.75), 50.0f);
    // The ends, and the fractions beyond them.
    EXPECT_EQ(path.GetY(-1.0), 0.0f);
    EXPECT_EQ(path.GetY(2.0), 100.0f);
    EXPECT_EQ(path.GetTime(), 200.0f);
}

TEST(PathPolyline, EmptyAndSinglePointPositions) {
    CPath path;
    EXPECT_EQ(path.GetSpeed(0.5), 100.0f);
    EXPECT_EQ(path.GetX(0.5), 0.0f);
    path.AddPoint(7, 9, 50);
    EXPECT_EQ(path.GetX(0.5), 7.0f);
    EXPECT_EQ(path.GetSpeed(0.5), 50.0f);
    EXPECT_EQ(path.GetLength(), 0.0f);
}

TEST(PathPolyline, TimeFollowsThePointSpeeds) {
    CPath path;
    path.SetClosed(false);
    path.AddPoint(0, 0, 50);
    path.AddPoint(100, 0, 50);
    path.AddPoint(200, 0, 200);
    // 100 at half speed, then 100 at an average of 125 %.
    EXPECT_FLOAT_EQ(path.GetTime(), 200.0f + 80.0f);
    EXPECT_FLOAT_EQ(path.GetSpeed(0.75), 125.0f);
    path.ChangePoint(1, 100, 0, 0);
    path.ChangePoint(0, 0, 0, 0);
    EXPECT_TRUE(std::isinf(path.GetTime()));
}

TEST(PathPolyline, SmoothOpenStaysBetweenItsEnds) {
    CPath path;
    path.SetKind(1);
    path.SetClosed(false);
    AddAll(&path, {{0, 0}, {100, 0}, {100, 100}});
    const int32_t n = path.GetComputedCount();
    const PathComputedPoint* c = path.GetComputed();
    EXPECT_EQ(c[0].x, 0.0f);
    EXPECT_EQ(c[n - 1].y, 100.0f);
    EXPECT_GE(n - 2, 1);
    EXPECT_LE(n - 2, 15);
    for (int32_t i = 1; i < n - 1; ++i) {
        EXPECT_GE(c[i].x, 50.0f);
        EXPECT_LE(c[i].y, 50.0f);
        EXPECT_GT(c[i].l, c[i - 1].l);
    }
    // The curve's middle is (P + 2Q + R) / 4 of the halves around the middle point.
    EXPECT_FLOAT_EQ(c[(n - 1) / 2].x, 87.5f);
    EXPECT_FLOAT_EQ(c[(n - 1) / 2].y, 12.5f);
}

TEST(PathPolyline, SmoothClosedRepeatsItsFirstComputedPoint) {
    CPath path;
    path.SetKind(1);
    AddAll(&path, {{0, 0}, {100, 0}, {100, 100}, {0, 100}});
    const int32_t n = path.GetComputedCount();
    ASSERT_GT(n, 4);
    EXPECT_EQ(path.GetComputed()[n - 1].x, path.GetComputed()[0].x);
    EXPECT_EQ(path.GetComputed()[n - 1].y, path.GetComputed()[0].y);
    EXPECT_NE(path.GetComputed()[0].x, 0.0f) << "a closed smooth path starts on the curve";

    // Precision 0 gives no curve point: the first control point stands in.
    path.SetPrecision(0);
    ASSERT_EQ(path.GetComputedCount(), 1);
    EXPECT_EQ(path.GetComputed()[0].x, 0.0f);
    EXPECT_EQ(path.GetX(0.5), 0.0f);
    EXPECT_EQ(path.GetLength(), 0.0f);
}

TEST(PathPolyline, SettingsAreLimited) {
    CPath path;
    path.SetPrecision(12);
    EXPECT_EQ(path.GetPrecision(), 8);
    path.SetPrecision(-1);
    EXPECT_EQ(path.GetPrecision(), 0);
    path.SetKind(2);
    EXPECT_EQ(path.GetKind(), 0);
    path.SetKind(1);
    EXPECT_EQ(path.GetKind(), 1);
    // A file's precision is held to the same range, so smoothing always ends.
    const float points[] = {0, 0, 100, 1000000, 0, 100, 1000000, 1000000, 100};
    path.LoadFromChunk(1, true, 1000, reinterpret_cast<const uint8_t*>(points), 3);
    EXPECT_EQ(path.GetPrecision(), 8);
    EXPECT_LE(path.GetComputedCount(), 3 * 255 + 1);
}

TEST(PathPolyline, PointEdits) {
    CPath path;
    path.SetClosed(false);
    AddAll(&path, {{0, 0}, {10, 0}});
    path.InsertPoint(1, 5, 5, 100);
    path.InsertPoint(4, 9, 9, 100);   // beyond the count: nothing
    path.InsertPoint(-1, 9, 9, 100);  // nothing
    path.InsertPoint(3, 20, 0, 100);  // the count appends
    ExpectPoints(Controls(path), {{0, 0}, {5, 5}, {10, 0}, {20, 0}});
    path.ChangePoint(3, 30, 0, 100);
    path.ChangePoint(4, 1, 1, 100);
    path.DeletePoint(1);
    path.DeletePoint(7);
    ExpectPoints(Controls(path), {{0, 0}, {10, 0}, {30, 0}});
    EXPECT_EQ(path.GetLength(), 30.0f);
    const PathPoint outside = path.GetPoint(3);
    EXPECT_EQ(outside.speed, 1.0f);
    // Growing well past the first capacity keeps every point.
    for (int i = 0; i < 50; ++i) path.AddPoint(30.0f + i, 0, 100);
    EXPECT_EQ(path.GetNumber(), 53);
    EXPECT_EQ(path.GetLength(), 79.0f);
    path.Clear();
    EXPECT_EQ(path.GetNumber(), 0);
    EXPECT_EQ(path.GetLength(), 0.0f);
    EXPECT_FALSE(path.GetClosed()) << "clearing keeps the settings";
}

TEST(PathTransforms, AboutTheCentreOfTheBox) {
    CPath path;
    path.SetClosed(false);
    AddAll(&path, {{0, 0}, {100, 0}, {100, 50}});
    path.Mirror();
    ExpectPoints(Controls(path), {{100, 0}, {0, 0}, {0, 50}});
    path.Flip();
    ExpectPoints(Controls(path), {{100, 50}, {0, 50}, {0, 0}});
    path.Scale(2, 0.5f);
    ExpectPoints(Controls(path), {{150, 37.5f}, {-50, 37.5f}, {-50, 12.5f}});
    path.Shift(50, -12.5f);
    ExpectPoints(Controls(path), {{200, 25}, {0, 25}, {0, 0}});
    // Turning by 90 degrees is counter-clockwise on screen: right becomes up.
    CPath arm;
    AddAll(&arm, {{0, 0}, {100, 0}});
    arm.Rotate(90);
    ExpectPoints(Controls(arm), {{50, 50}, {50, -50}});
}

TEST(PathTransforms, ReverseAndAppendToItself) {
    CPath path;
    path.SetClosed(false);
    AddAll(&path, {{0, 0}, {10, 0}, {10, 10}});
    path.Reverse();
    ExpectPoints(Controls(path), {{10, 10}, {10, 0}, {0, 0}});
    path.Append(&path);
    ExpectPoints(Controls(path), {{10, 10}, {10, 0}, {0, 0}, {10, 10}, {10, 0}, {0, 0}});
    EXPECT_FLOAT_EQ(path.GetLength(), 20.0f + 14.142136f + 20.0f);
    CPath single;
    single.AddPoint(3, 4, 100);
    single.Reverse();
    EXPECT_EQ(single.GetPoint(0).x, 3.0f);
}

class PathTable : public loadertest::LoaderTest {
protected:
    void SetUp() override {
        LoaderTest::SetUp();
        Path_FreeAll();
    }
    void TearDown() override {
        Path_FreeAll();
        LoaderTest::TearDown();
    }
};

TEST_F(PathTable, AddDuplicateAssignDelete) {
    EXPECT_EQ(Path_Add(), 0);
    EXPECT_EQ(Path_Add(), 1);
    EXPECT_STREQ(Path_GetName(1), "__newpath1");
    Path_Get(0)->AddPoint(1, 2, 100);
    EXPECT_EQ(Path_Duplicate(0), 2);
    EXPECT_STREQ(Path_GetName(2), "__newpath2");
    EXPECT_EQ(Path_Get(2)->GetPoint(0).y, 2.0f);
    EXPECT_EQ(Path_FindByName("__newpath2"), 2);
    EXPECT_EQ(Path_FindByName("__NEWPATH2"), -1);

    EXPECT_TRUE(Path_Delete(1));
    EXPECT_FALSE(Path_Delete(1));
    EXPECT_FALSE(Path_Exists(1));
    EXPECT_STREQ(Path_GetName(1), "<undefined>");
    EXPECT_EQ(Path_Count(), 3) << "deleted slots stay";
    EXPECT_EQ(Path_Duplicate(1), -1);
    EXPECT_EQ(Path_Count(), 3);
    EXPECT_EQ(Path_Add(), 3) << "slots are never reused";

    // An empty target slot gets a path; an out-of-range target or missing source fails.
    EXPECT_TRUE(Path_Assign(1, 0));
    EXPECT_EQ(Path_Get(1)->GetNumber(), 1);
    EXPECT_FALSE(Path_Assign(9, 0));
    EXPECT_FALSE(Path_Assign(0, 9));
    EXPECT_FALSE(Path_Assign(0, 0));
    EXPECT_NE(std::string(Error_LastText()).find("ERROR: Can not assign a path to itself!"),
              std::string::npos);
    EXPECT_STREQ(Path_GetName(-1), "<undefined>");
    EXPECT_EQ(Path_Get(-1), nullptr);
}

TEST_F(PathTable, ReaderLoadsPathsAndEmptySlots) {
    Path_InstallChunkReader();
    formpack::FormFile game;
    formpack::Path line{"line", 0, false, 4, {{0, 0, 100}, {100, 0, 50}}};
    formpack::Path curve{"curve", 1, true, 99, {{0, 0, 100}, {64, 0, 100}, {64, 64, 100}}};
    game.paths = std::vector<formpack::Path>{line, formpack::Path{}, curve};
    ASSERT_TRUE(LoadBoth(Build(game))) << (Form_LoadError() ? Form_LoadError() : "");
    ASSERT_EQ(Path_Count(), 3);
    EXPECT_STREQ(Path_GetName(0), "line");
    EXPECT_FALSE(Path_Exists(1));
    EXPECT_STREQ(Path_GetName(2), "curve");
    EXPECT_EQ(Path_FindByName("curve"), 2);
    EXPECT_EQ(Path_Get(0)->GetLength(), 100.0f);
    EXPECT_EQ(Path_Get(0)->GetSpeed(1.0), 50.0f);
    EXPECT_EQ(Path_Get(2)->GetKind(), 1);
    EXPECT_TRUE(Path_Get(2)->GetClosed());
    EXPECT_EQ(Path_Get(2)->GetPrecision(), 8);
}

TEST_F(PathTable, ReaderRefusesPointsBeyondTheFile) {
    Path_InstallChunkReader();
    formpack::FormFile game;
    game.paths = std::vector<formpack::Path>{formpack::Path{"p", 0, false, 4, {{1, 2, 100}}}};
    std::vector<uint8_t> bytes = Build(game);
    const uint32_t chunk = loadertest::ChunkData(bytes, "PATH");
    ASSERT_NE(chunk, 0u);
    const uint32_t entry = loadertest::ReadU32(&bytes[chunk + 4]);
    loadertest::WriteU32(bytes, entry + 16, 0x10000000u);  // point count
    EXPECT_FALSE(LoadBoth(bytes));
    ASSERT_NE(Form_LoadError(), nullptr);
    EXPECT_NE(std::string(Form_LoadError()).find("PATH"), std::string::npos);
}

// --- The built-ins ---

RValue CallPath(const char* name, std::vector<double> args) {
    int32_t id = -1;
    if (!Code_Function_Find("path_exists", &id)) InitPathFunctions();
    EXPECT_TRUE(Code_Function_Find(name, &id)) << name;
    const BuiltinFunction* row = Code_Function_Row(id);
    RValue result = RValue_Undefined();
    std::vector<RValue> values;
    for (double d : args) values.push_back(RValue_Real(d));
    row->function(result, nullptr, nullptr, static_cast<int32_t>(values.size()), values.data());
    return result;
}

double Real(const char* name, std::vector<double> args) {
    RValue r = CallPath(name, std::move(args));
    EXPECT_EQ(r.kind, VALUE_REAL) << name;
    return r.val;
}

TEST_F(PathTable, BuiltinsAnswerForMissingPathsAndPoints) {
    const int32_t p = static_cast<int32_t>(Real("path_add", {}));
    CallPath("path_add_point", {double(p), 10, 20, 30});
    EXPECT_EQ(Real("path_get_point_x", {double(p), 0}), 10.0);
    EXPECT_EQ(Real("path_get_point_speed", {double(p), 0}), 30.0);
    EXPECT_EQ(Real("path_get_point_speed", {double(p), 5}), 0.0);
    EXPECT_EQ(Real("path_get_number", {99}), -1.0);
    EXPECT_EQ(Real("path_get_length", {99}), -1.0);
    EXPECT_EQ(Real("path_get_closed", {99}), 0.0);
    EXPECT_EQ(Real("path_exists", {99}), 0.0);
    CallPath("path_set_kind", {double(p), 7});
    EXPECT_EQ(Real("path_get_kind", {double(p)}), 0.0);
    CallPath("path_set_precision", {double(p), 40});
    EXPECT_EQ(Real("path_get_precision", {double(p)}), 8.0);
    RValue name = CallPath("path_name", {double(p)});
    EXPECT_STREQ(RValue_GetStringText(&name), "__newpath0");
    RValue_Free(&name);

    EXPECT_EQ(Real("path_duplicate", {99}), 0.0);
    EXPECT_NE(std::string(Error_LastText()).find("Trying to duplicate non-existing path."),
              std::string::npos);
    CallPath("path_append", {double(p), 98});
    EXPECT_NE(std::string(Error_LastText()).find("Appending a non-existing path."), std::string::npos);
    EXPECT_EQ(Real("path_delete", {99}), 0.0);
    EXPECT_NE(std::string(Error_LastText()).find("Trying to delete non-existing path."), std::string::npos);
    EXPECT_EQ(Real("path_delete", {double(p)}), 1.0);
}

}  // namespace
