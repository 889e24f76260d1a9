// Path and motion-grid drawing on the trace device: what reaches the batch.
#include <cstring>
#include <vector>

#include "../graphics/GraphicsFixture.h"
#include "graphics/Graphics_Primitive.h"
#include "world/Motion_Grid.h"
#include "world/Path_Class.h"

namespace {

struct Drawn {
    uint32_t kind;
    std::vector<std::pair<float, float>> points;
    std::vector<uint32_t> colours;
};

class PathDrawing : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        g_BatchMethod = 2;  // user-pointer draws, whose vertices the trace device keeps
        GR_Draw_Set_Alpha(1.0f);
        GR_Draw_Set_Colour(0);
        OpenInFrame();
        Trace().drawnVertices.clear();
        MpGrid_FreeAll();
    }
    void TearDown() override {
        MpGrid_FreeAll();
        GraphicsTest::TearDown();
    }

    std::vector<Drawn> Draws() {
        GraphicsFlush();
        std::vector<Drawn> out;
        for (const auto& d : Trace().drawnVertices) {
            Drawn drawn{d.kind, {}, {}};
            for (size_t at = 0; at + d.stride <= d.bytes.size(); at += d.stride) {
                float f[2];
                uint32_t colour;
                std::memcpy(f, &d.bytes[at], 8);
                std::memcpy(&colour, &d.bytes[at + 12], 4);
                drawn.points.push_back({f[0], f[1]});
                drawn.colours.push_back(colour);
            }
            out.push_back(drawn);
        }
        Trace().drawnVertices.clear();
        return out;
    }
};

TEST_F(PathDrawing, ShortPathsDrawNothingAndOthersStartWhereAsked) {
    CPath path;
    path.SetClosed(false);
    path.AddPoint(10, 10, 100);
    path.AddPoint(11, 10, 100);
    path.Draw(0, 0, true);
    EXPECT_TRUE(Draws().empty());

    path.ChangePoint(1, 110, 10, 100);  // 100 long: 25 segments
    path.Draw(500, 300, false);
    std::vector<Drawn> draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].kind, 3u);  // line strip
    ASSERT_EQ(draws[0].points.size(), 26u);
    EXPECT_EQ(draws[0].points.front(), std::make_pair(500.0f, 300.0f));
    EXPECT_EQ(draws[0].points[1], std::make_pair(504.0f, 300.0f));
    EXPECT_EQ(draws[0].points.back(), std::make_pair(600.0f, 300.0f));
    EXPECT_EQ(draws[0].colours[0], 0xFF000000u);
}

TEST_F(PathDrawing, LongPathsAreDrawnWhole) {
    CPath path;
    path.SetClosed(false);
    path.AddPoint(0, 0, 100);
    path.AddPoint(8000, 0, 100);  // 2,000 segments: more than one primitive holds
    path.Draw(0, 0, true);
    std::vector<Drawn> draws = Draws();
    std::vector<std::pair<float, float>> all;
    for (const Drawn& d : draws) {
        ASSERT_FALSE(d.points.empty());
        if (!all.empty()) {
            EXPECT_EQ(d.points.front(), all.back()) << "strips join";
        }
        all.insert(all.end(), d.points.begin(), d.points.end());
    }
    ASSERT_GE(draws.size(), 2u);
    EXPECT_EQ(all.back(), std::make_pair(8000.0f, 0.0f));
}

TEST_F(PathDrawing, GridCellsInRedAndGreen) {
    CGrid* grid = MpGrid_Get(MpGrid_Create(10, 20, 2, 1, 16, 8));
    grid->AddCell(1, 0);
    GR_Draw_Set_Alpha(0.5f);
    grid->Draw();
    std::vector<Drawn> draws = Draws();
    std::vector<uint32_t> colours;
    std::vector<std::pair<float, float>> corners;
    for (const Drawn& d : draws) {
        colours.insert(colours.end(), d.colours.begin(), d.colours.end());
        corners.insert(corners.end(), d.points.begin(), d.points.end());
    }
    ASSERT_EQ(colours.size(), 10u);  // two rectangles of five vertices
    EXPECT_EQ(colours[0], 0x7F008000u);
    EXPECT_EQ(colours[9], 0x7FFF0000u);
    EXPECT_EQ(corners[0], std::make_pair(10.0f, 20.0f));
    EXPECT_EQ(corners[5], std::make_pair(26.0f, 20.0f));
}

}  // namespace
