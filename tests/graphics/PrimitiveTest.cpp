// 2-D primitives on the trace device: the draw colour and alpha, the circle precision, and the
// exact vertices, kinds and counts each primitive writes into the batch.
#include <cstring>
#include <string>
#include <vector>

#include "GraphicsFixture.h"
#include "graphics/Graphics_Primitive.h"

namespace {

struct V {
    float x, y;
    uint32_t colour;
    float u, v;
    bool operator==(const V& o) const {
        return x == o.x && y == o.y && colour == o.colour && u == o.u && v == o.v;
    }
};

std::ostream& operator<<(std::ostream& out, const V& v) {
    return out << "(" << v.x << "," << v.y << " " << std::hex << v.colour << std::dec << " " << v.u << ","
               << v.v << ")";
}

struct Draw {
    uint32_t kind;
    std::vector<V> vertices;
};

constexpr uint32_t kBlack = 0xFF000000u;

class PrimitiveTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        g_BatchMethod = 2;  // user-pointer draws, whose vertices the trace device keeps
        GR_Draw_Set_Alpha(1.0f);
        GR_Draw_Set_Colour(0);
        GR_Set_Circle_Precision(24);
        OpenInFrame();
        Trace().drawnVertices.clear();
    }

    // What reached the device since the last call.
    std::vector<Draw> Drawn() {
        GraphicsFlush();
        std::vector<Draw> draws;
        for (const auto& drawn : Trace().drawnVertices) {
            Draw draw{drawn.kind, {}};
            for (size_t at = 0; at + drawn.stride <= drawn.bytes.size(); at += drawn.stride) {
                float f[6] = {};
                std::memcpy(f, &drawn.bytes[at], drawn.stride);
                uint32_t colour;
                std::memcpy(&colour, &drawn.bytes[at + 12], 4);
                EXPECT_EQ(f[2], g_DrawDepth);
                draw.vertices.push_back(
                    {f[0], f[1], colour, drawn.stride == 24 ? f[4] : 0, drawn.stride == 24 ? f[5] : 0});
            }
            draws.push_back(draw);
        }
        Trace().drawnVertices.clear();
        return draws;
    }
};

TEST_F(PrimitiveTest, DrawColourCarriesTheDrawAlpha) {
    GR_Draw_Set_Alpha(0.5f);
    EXPECT_EQ(g_DrawAlpha, 127);
    GR_Draw_Set_Colour(0x0000FF);
    EXPECT_EQ(g_DrawColour, 0x7FFF0000u);
    EXPECT_EQ(GR_Draw_Get_Colour(), 0x7F0000FFu);
    EXPECT_FLOAT_EQ(GR_Draw_Get_Alpha(), 127 / 255.0f);
    GR_Draw_Set_Alpha(7.0f);
    EXPECT_EQ(g_DrawColour, 0xFFFF0000u);
    GR_Draw_Set_Alpha(-1.0f);
    EXPECT_EQ(g_DrawAlpha, 0);
    EXPECT_EQ(GR_Make_Colour(0x101, 2, 3), 0x030201u);
}

TEST_F(PrimitiveTest, CirclePrecisionIsAMultipleOfFourFromFourToSixtyFour) {
    for (const auto& [asked, kept] : {std::pair{3, 4}, {30, 28}, {100, 64}, {24, 24}, {-5, 4}}) {
        GR_Set_Circle_Precision(asked);
        EXPECT_EQ(GR_Get_Circle_Precision(), kept) << asked;
    }
    GR_Set_Circle_Precision(8);
    GR_Draw_Circle(0, 0, 10, true);
    const std::vector<Draw> draws = Drawn();
    ASSERT_EQ(draws.size(), 1u);
    ASSERT_EQ(draws[0].vertices.size(), 9u);
    EXPECT_FLOAT_EQ(draws[0].vertices[2].x, 1.0f);  // a quarter turn: straight down
    EXPECT_FLOAT_EQ(draws[0].vertices[2].y, 11.0f);
}

TEST_F(PrimitiveTest, PointsLinesAndRectanglesWriteTheirVerticesWithTheOffset) {
    const uint32_t c = kBlack;
    struct Case {
        const char* name;
        void (*draw)();
        std::vector<Draw> expected;
    };
    const Case cases[] = {
        {"point", [] { GR_Draw_Point(5, 6); }, {{1, {{6, 7, c, 0, 0}}}}},
        {"point colour", [] { GR_Draw_Point_Colour(5, 6, 0x0000FF); }, {{1, {{6, 7, 0xFFFF0000u, 0, 0}}}}},
        {"line", [] { GR_Draw_Line(1, 2, 3, 4); }, {{2, {{2, 3, c, 0, 0}, {4, 5, c, 0, 0}}}}},
        {"wide line",
         [] { GR_Draw_Line_Width(0, 0, 10, 0, 4); },
         {{6, {{1, 3, c, 0, 0}, {11, 3, c, 0, 0}, {11, -1, c, 0, 0}, {1, -1, c, 0, 0}}}}},
        {"zero-length wide line", [] { GR_Draw_Line_Width(3, 3, 3, 3, 4); }, {}},
        {"filled rectangle",
         [] { GR_Draw_Rectangle(20, 20, 10, 10, false); },
         {{4,
           {{10, 10, c, 0, 0},
            {21, 10, c, 0, 0},
            {21, 21, c, 0, 0},
            {21, 21, c, 0, 0},
            {10, 21, c, 0, 0},
            {10, 10, c, 0, 0}}}}},
        {"outlined rectangle",
         [] { GR_Draw_Rectangle(10, 10, 20, 20, true); },
         {{3,
           {{11, 11, c, 0, 0}, {21, 11, c, 0, 0}, {21, 21, c, 0, 0}, {11, 21, c, 0, 0}, {11, 11, c, 0, 0}}},
          {1, {{11, 11, c, 0, 0}, {21, 11, c, 0, 0}, {21, 21, c, 0, 0}, {11, 21, c, 0, 0}}}}},
        {"rectangle in colours",
         [] { GR_Draw_Rectangle_Colour(10, 10, 20, 20, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, false); },
         {{6,
           {{10, 10, 0xFFFF0000u, 0, 0},
            {21.01f, 10, 0xFF00FF00u, 0, 0},
            {21.01f, 21.01f, 0xFF0000FFu, 0, 0},
            {10, 21.01f, 0xFFFFFFFFu, 0, 0},
            {10, 10, 0xFFFF0000u, 0, 0}}}}},
        {"triangle outline",
         [] { GR_Draw_Triangle(1, 2, 3, 4, 5, 6, true); },
         {{3, {{1, 2, c, 0, 0}, {3, 4, c, 0, 0}, {5, 6, c, 0, 0}, {1, 2, c, 0, 0}}}}},
        {"arrow with a head longer than itself",
         [] { GR_Draw_Arrow(0, 0, 9, 0, 20); },
         {{2, {{1, 1, c, 0, 0}, {10, 1, c, 0, 0}}},
          {4, {{0, 3, c, 0, 0}, {9, 0, c, 0, 0}, {0, -3, c, 0, 0}}}}},
        {"zero-length arrow", [] { GR_Draw_Arrow(4, 4, 4, 4, 3); }, {}},
    };
    for (const Case& test : cases) {
        test.draw();
        const std::vector<Draw> draws = Drawn();
        ASSERT_EQ(draws.size(), test.expected.size()) << test.name;
        for (size_t i = 0; i < draws.size(); ++i) {
            EXPECT_EQ(draws[i].kind, test.expected[i].kind) << test.name;
            EXPECT_EQ(draws[i].vertices, test.expected[i].vertices) << test.name;
        }
    }
}

TEST_F(PrimitiveTest, EllipsesAndRoundedRectanglesFollowTheCircleTables) {
    GR_Set_Circle_Precision(8);
    GR_Draw_Ellipse(0, 0, 20, 10, false);
    std::vector<Draw> draws = Drawn();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].kind, 4u);
    ASSERT_EQ(draws[0].vertices.size(), 24u);
    EXPECT_EQ(draws[0].vertices[0], (V{11, 6, kBlack, 0, 0}));  // the centre
    EXPECT_EQ(draws[0].vertices[1], (V{21, 6, kBlack, 0, 0}));  // angle 0, radius 10
    EXPECT_EQ(draws[0].vertices[23], (V{21, 6, kBlack, 0, 0}));

    GR_Draw_RoundRect_Colour(0, 0, 40, 20, 8, 4, 0x0000FF, 0x00FF00, false);
    draws = Drawn();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].kind, 6u);
    const std::vector<V>& v = draws[0].vertices;
    ASSERT_EQ(v.size(), 14u);  // centre, four arcs of three points, the first edge point again
    EXPECT_NEAR(v[0].x, 21.005f, 1e-4);
    EXPECT_EQ(v[0].colour, 0xFFFF0000u);
    EXPECT_NEAR(v[1].x, 41.01f, 1e-4);  // the right edge, level with the bottom-right arc's centre
    EXPECT_NEAR(v[1].y, 19.01f, 1e-4);
    EXPECT_EQ(v[1].colour, 0xFF00FF00u);
    EXPECT_EQ(v[13], v[1]);

    GR_Draw_RoundRect(0, 0, 40, 20, 8, 4, true);
    draws = Drawn();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].kind, 3u);
    EXPECT_EQ(draws[0].vertices[0], draws[0].vertices[1]);
}

TEST_F(PrimitiveTest, HealthBarTakesTheMiddleColourAtHalfAndOnlyItsFrameAtZero) {
    GR_Draw_Healthbar(0, 0, 100, 10, 50, 0x111111, 0x0000FF, 0x00FF00, 0xFF0000, 0, true, true);
    std::vector<Draw> draws = Drawn();
    ASSERT_EQ(draws.size(), 4u);  // back, its border, the bar, its border
    EXPECT_EQ(draws[0].vertices[0].colour, 0xFF111111u);
    EXPECT_EQ(draws[1].vertices[0].colour, kBlack);
    EXPECT_EQ(draws[2].vertices[0].colour, 0xFF00FF00u);
    EXPECT_FLOAT_EQ(draws[2].vertices[1].x, 51.01f);

    GR_Draw_Healthbar(0, 0, 100, 10, 0, 0x111111, 0x0000FF, 0x00FF00, 0xFF0000, 0, true, true);
    EXPECT_EQ(Drawn().size(), 2u);
    GR_Draw_Healthbar(0, 0, 100, 10, 25, 0, 0x0000FF, 0x00FF00, 0xFF0000, 3, false, false);
    draws = Drawn();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_FLOAT_EQ(draws[0].vertices[0].y, 7.5f);  // growing up from the bottom
}

TEST_F(PrimitiveTest, ClearsGoToTheDeviceInTheGameColourOrder) {
    GR_Draw_Clear_Alpha(0x0000FF, 0.5f);
    EXPECT_EQ(Trace().Count("Clear(0,7,0x7FFF0000,1,0)"), 1u);
}

TEST_F(PrimitiveTest, FreeFormPrimitivesHoldAtMostAThousandAndOneVertices) {
    GR_Primitive_Begin(D3DPT_LINESTRIP, -1);
    for (int i = 0; i < 1005; ++i) GR_Primitive_Vertex(static_cast<float>(i), 0);
    EXPECT_EQ(GR_Primitive_Vertex_Count(), 1001);
    GR_Primitive_End();
    std::vector<Draw> draws = Drawn();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].vertices.size(), 1001u);
    EXPECT_EQ(draws[0].vertices[1000].x, 1000.0f);

    GR_Primitive_Begin(D3DPT_TRIANGLELIST, -1);
    GR_Primitive_Vertex_Colour(0, 0, 0x00FF00, 0.25f);
    GR_Primitive_Vertex(1, 1);
    GR_Primitive_End();
    EXPECT_TRUE(Drawn().empty());
    GR_Primitive_Vertex(2, 0);
    GR_Primitive_End();  // the count was kept
    draws = Drawn();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].vertices[0], (V{0, 0, 0x3F00FF00u, 0, 0}));
}

}  // namespace
