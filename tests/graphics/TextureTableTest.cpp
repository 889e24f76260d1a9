// The texture table, texture handles and the textured-quad routines (vertices read back from
// the batch on the trace device).
#include <cmath>
#include <vector>

#include "TextureTestSupport.h"

namespace {

class TextureTableTest : public TextureTest {
protected:
    // A texture entry of a given image size in a texture of a given size, without a device.
    int32_t FakeTexture(int32_t imageWidth, int32_t imageHeight, int32_t textureWidth,
                        int32_t textureHeight) {
        TextureRecord* record = TextureRecord_Init(textureWidth, textureHeight, 1);
        const int32_t id = GR_Texture_Add_Record(record, imageWidth, imageHeight);
        TextureEntry* entry = GR_Texture_Get_Entry(id);
        entry->invWidth = 1.0f / textureWidth;
        entry->invHeight = 1.0f / textureHeight;
        return id;
    }

    static TexturePageEntry Page(int16_t sx, int16_t sy, int16_t sw, int16_t sh, int16_t tx, int16_t ty,
                                 int16_t tw, int16_t th, int16_t bw, int16_t bh, int16_t texture) {
        return {sx, sy, sw, sh, tx, ty, tw, th, bw, bh, texture};
    }

    // The corners of the first quad: left, top, right, bottom of its vertices.
    static void Bounds(const std::vector<TestVertex>& v, float* left, float* top, float* right,
                       float* bottom) {
        *left = *right = v[0].x;
        *top = *bottom = v[0].y;
        for (size_t i = 0; i < 6 && i < v.size(); ++i) {
            *left = std::min(*left, v[i].x);
            *right = std::max(*right, v[i].x);
            *top = std::min(*top, v[i].y);
            *bottom = std::max(*bottom, v[i].y);
        }
    }
};

TEST_F(TextureTableTest, FreedIdsAreReusedLowestFirstAndNewOnesGoAtTheEnd) {
    for (int i = 0; i < 5; ++i) EXPECT_EQ(FakeTexture(8, 8, 8, 8), i);
    GR_Texture_Free(3);
    GR_Texture_Free(1);
    EXPECT_FALSE(GR_Texture_Exists(3));
    EXPECT_EQ(GR_Texture_Get(3), nullptr);
    EXPECT_EQ(FakeTexture(8, 8, 8, 8), 1);
    EXPECT_EQ(FakeTexture(8, 8, 8, 8), 3);
    EXPECT_EQ(FakeTexture(8, 8, 8, 8), 5);
    EXPECT_EQ(GR_Texture_Count(), 6);
}

TEST_F(TextureTableTest, LookupsOutsideTheTableGiveNothingAndWidthsGiveOne) {
    const int32_t id = FakeTexture(100, 50, 128, 64);
    for (int32_t bad : {-1, GR_Texture_Count(), 1 << 30}) {
        EXPECT_EQ(GR_Texture_Get(bad), nullptr);
        EXPECT_FALSE(GR_Texture_Exists(bad));
        EXPECT_EQ(GR_Texture_Get_Width(bad), 1.0f);
        EXPECT_EQ(GR_Texture_Get_Height(bad), 1.0f);
        EXPECT_FALSE(GR_Texture_Draw(bad, 0, 0));
    }
    EXPECT_EQ(GR_Texture_Get_Width(id), 0.78125f);
    EXPECT_EQ(GR_Texture_Get_Height(id), 0.78125f);
}

TEST_F(TextureTableTest, CreationPathsTakeTheirReciprocalsFromTheRightSize) {
    Open();
    const int32_t empty = GR_Texture_Create_Empty(100, 50, false, false, 0);
    EXPECT_EQ(GR_Texture_Get_Width(empty), 100.0f / 128);
    const int32_t target = GR_Texture_Create_Empty(100, 50, true, true, 4);
    EXPECT_EQ(GR_Texture_Get_Width(target), 1.0f);
    const std::vector<uint32_t> pixels(3 * 5, 0xFF00FF00u);
    const int32_t fromPixels = GR_Texture_Create_From_Pixels(3, 5, pixels.data(), 3 * 5 * 4);
    EXPECT_EQ(GR_Texture_Get_Width(fromPixels), 0.75f);
    EXPECT_EQ(GR_Texture_Get_Height(fromPixels), 5.0f / 8);

    const uint8_t coverage[2 * 2] = {0, 64, 128, 255};
    const int32_t alpha = GR_Texture_Create_From_Alpha(2, 2, coverage);
    ASSERT_TRUE(GR_Texture_Exists(alpha));
    const uint8_t* copy = GR_Texture_Get(alpha)->pixels;
    uint32_t word;
    std::memcpy(&word, copy + 4, 4);
    EXPECT_EQ(word, 0x40FFFFFFu);
    EXPECT_EQ(GR_Texture_Create_From_Alpha(2, 2, nullptr), -1);
}

TEST_F(TextureTableTest, PageHandlesAreTaggedRegisteredAndNeverFollowedWhenUnknown) {
    TexturePageEntry a = Page(0, 0, 4, 4, 0, 0, 4, 4, 4, 4, 0), b = a;
    const int32_t ha = GR_Texture_Page_Handle(&a);
    const int32_t hb = GR_Texture_Page_Handle(&b);
    EXPECT_NE(ha, hb);
    EXPECT_EQ(GR_Texture_Page_Handle(&a), ha);
    EXPECT_GT(ha, 16384);  // never mistaken for a texture id
    EXPECT_TRUE(GR_Texture_Is_Page_Handle(ha));
    EXPECT_EQ(GR_Texture_Page_From_Handle(ha), &a);
    EXPECT_EQ(GR_Texture_Page_From_Handle(hb), &b);
    for (int32_t unknown :
         {0, 3, -1, int32_t(GR_PAGE_HANDLE_TAG), hb + 1, int32_t(GR_PAGE_HANDLE_TAG | 0xFFFFFF)})
        EXPECT_EQ(GR_Texture_Page_From_Handle(unknown), nullptr) << unknown;
    GR_Texture_Page_Forget(&a);
    EXPECT_EQ(GR_Texture_Page_From_Handle(ha), nullptr);
    EXPECT_NE(GR_Texture_Page_Handle(&a), ha);  // a new registration, never the old value
    EXPECT_EQ(GR_Texture_Page_Handle(nullptr), -1);
}

TEST_F(TextureTableTest, PageEntryQuadHonoursTheTrimAndFixesAZeroTargetSize) {
    const int32_t id = FakeTexture(64, 64, 64, 64);
    TexturePageEntry entry = Page(16, 8, 8, 4, 3, 2, 0, 4, 20, 20, int16_t(id));
    g_TextureHooks.drawAlpha = [] { return 0.5f; };
    ASSERT_TRUE(GR_TPE_Draw(&entry, 10, 20));
    EXPECT_EQ(entry.targetWidth, 1);
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0].x, 13);
    EXPECT_EQ(v[0].y, 22);
    EXPECT_EQ(v[2].x, 14);
    EXPECT_EQ(v[2].y, 26);
    EXPECT_EQ(v[0].u, 0.25f);
    EXPECT_EQ(v[0].v, 0.125f);
    EXPECT_EQ(v[2].u, 0.375f);
    EXPECT_EQ(v[2].v, 0.1875f);
    EXPECT_EQ(v[0].colour, 0x7FFFFFFFu);
    EXPECT_EQ(s_batches[0].texture, GR_Texture_Get(id));

    TexturePageEntry missing = Page(0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 99);
    EXPECT_FALSE(GR_TPE_Draw(&missing, 0, 0));
    EXPECT_FALSE(GR_TPE_Draw(nullptr, 0, 0));
}

TEST_F(TextureTableTest, ExtOfAnEmptyImageDrawsEightByEightAndKeepsIt) {
    const int32_t id = FakeTexture(0, 5, 64, 64);
    ASSERT_TRUE(GR_Texture_Draw_Ext(id, 0, 0, 0, 0, 1, 1, 0, 0xFFFFFF, 1));
    float left, top, right, bottom;
    Bounds(Flushed(), &left, &top, &right, &bottom);
    EXPECT_EQ(right - left, 8);
    EXPECT_EQ(bottom - top, 8);
    EXPECT_EQ(GR_Texture_Get_Entry(id)->width, 8);
    EXPECT_EQ(GR_Texture_Get_Width(id), 1.0f);
}

TEST_F(TextureTableTest, SmallAnglesBelowEachRoutinesThresholdStayAxisAligned) {
    const int32_t id = FakeTexture(32, 32, 32, 32);
    TexturePageEntry entry = Page(0, 0, 32, 32, 0, 0, 32, 32, 32, 32, int16_t(id));
    struct Case {
        const char* routine;
        float angle;
        bool aligned;
    };
    const Case cases[] = {{"ext", 0.0005f, true},        {"ext", 0.002f, false},
                          {"tpe ext", 0.0005f, true},    {"part", 0.0009f, true},
                          {"general", 0.005f, true},     {"general", 0.02f, false},
                          {"tpe general", 0.005f, true}, {"tpe general", 0.02f, false}};
    for (const Case& c : cases) {
        s_batches.clear();
        const std::string r = c.routine;
        if (r == "ext") GR_Texture_Draw_Ext(id, 0, 0, 100, 100, 1, 1, c.angle, 0xFFFFFF, 1);
        if (r == "tpe ext") GR_TPE_Draw_Ext(&entry, 0, 0, 100, 100, 1, 1, c.angle, 0xFFFFFF, 1);
        if (r == "part") GR_Texture_Draw_Part(id, 0, 0, 32, 32, 100, 100, 1, 1, c.angle, 0xFFFFFF, 1);
        if (r == "general") GR_Texture_Draw_General(id, 0, 0, 32, 32, 100, 100, 1, 1, c.angle, 0, 0, 0, 0, 1);
        if (r == "tpe general")
            GR_TPE_Draw_General(&entry, 0, 0, 32, 32, 100, 100, 1, 1, c.angle, 0, 0, 0, 0, 1);
        const std::vector<TestVertex> v = Flushed();
        ASSERT_EQ(v.size(), 6u) << r;
        EXPECT_EQ(v[0].y == v[1].y, c.aligned) << r << " at " << c.angle;
    }
}

TEST_F(TextureTableTest, RotatingAQuarterTurnAboutTheOriginMovesTheTopLeftCorner) {
    const int32_t id = FakeTexture(32, 32, 32, 32);
    ASSERT_TRUE(GR_Texture_Draw_Ext(id, 16, 16, 100, 100, 1, 1, float(M_PI / 2), 0xFFFFFF, 1));
    const std::vector<TestVertex> v = Flushed();
    EXPECT_NEAR(v[0].x, 100 - 16, 1e-4);
    EXPECT_NEAR(v[0].y, 100 + 16, 1e-4);
    EXPECT_NEAR(v[1].x, 100 - 16, 1e-4);  // top-right turned up: counter-clockwise on screen
    EXPECT_NEAR(v[1].y, 100 - 16, 1e-4);
}

TEST_F(TextureTableTest, PartsStartingInTheTrimmedMarginMoveByTheScaledMargin) {
    const int32_t id = FakeTexture(64, 64, 64, 64);
    TexturePageEntry entry = Page(0, 0, 10, 10, 5, 0, 10, 10, 20, 10, int16_t(id));
    struct Case {
        float scale;
        float wantX, wantWidth;
    };
    for (const Case c : {Case{1, 5, 10}, Case{2, 10, 20}, Case{1.5f, 7, 15}}) {
        s_batches.clear();
        ASSERT_TRUE(GR_TPE_Draw_Part(&entry, 0, 0, 20, 10, 0, 0, c.scale, 1, 0, 0xFFFFFF, 1));
        float left, top, right, bottom;
        Bounds(Flushed(), &left, &top, &right, &bottom);
        EXPECT_EQ(left, c.wantX) << c.scale;
        EXPECT_EQ(right - left, c.wantWidth) << c.scale;  // 20 - 5 wide, cut to the 10 trimmed pixels
    }
    s_batches.clear();
    EXPECT_TRUE(GR_TPE_Draw_Part(&entry, 0, 0, 4, 10, 0, 0, 1, 1, 0, 0xFFFFFF, 1));  // all in the margin
    EXPECT_TRUE(Flushed().empty());
}

TEST_F(TextureTableTest, APartOfAScaledEntryMapsTargetPixelsOntoTheirSourcePixels) {
    const int32_t id = FakeTexture(128, 128, 128, 128);
    TexturePageEntry entry = Page(64, 0, 64, 64, 0, 0, 1, 1, 1, 1, int16_t(id));
    ASSERT_TRUE(GR_TPE_Draw_Part(&entry, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0xFFFFFF, 1));
    const std::vector<TestVertex> v = Flushed();
    EXPECT_EQ(v[0].u, 0.5f);
    EXPECT_EQ(v[1].u, 1.0f);
    EXPECT_EQ(v[4].v, 0.5f);
}

TEST_F(TextureTableTest, CornerIdsFollowTheCornersNotTheVertexSlots) {
    const int32_t id = FakeTexture(8, 8, 8, 8);
    TexturePageEntry entry = Page(0, 0, 8, 8, 0, 0, 8, 8, 8, 8, int16_t(id));
    GR_Texture_Set_Corner_Id(true);
    ASSERT_TRUE(GR_TPE_Draw_Part(&entry, 0, 0, 8, 8, 0, 0, 1, 1, 0, 0xFFFFFF, 1));
    const std::vector<TestVertex> v = Flushed();
    // Order: top-left, top-right, bottom-left, top-right, bottom-right, bottom-left.
    const uint32_t want[6] = {0xFFFEFFFEu, 0xFFFEFFFFu, 0xFFFFFFFFu, 0xFFFEFFFFu, 0xFFFFFFFEu, 0xFFFFFFFFu};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(v[i].colour, want[i]) << i;
    s_batches.clear();
    GR_Texture_Draw_Ext(id, 0, 0, 0, 0, 1, 1, 0, 0xFFFFFF, 1);  // this routine does not mark
    for (const TestVertex& vertex : Flushed()) EXPECT_EQ(vertex.colour, 0xFFFFFFFFu);
}

TEST_F(TextureTableTest, GeneralQuadsMixRoundedOrTruncatedAlphaPerRoutine) {
    const int32_t id = FakeTexture(8, 8, 8, 8);
    TexturePageEntry entry = Page(0, 0, 8, 8, 0, 0, 8, 8, 8, 8, int16_t(id));
    GR_Texture_Draw_General(id, 0, 0, 8, 8, 0, 0, 1, 1, 0, 0x0000FF, 0x00FF00, 0xFF0000, 0x123456, 0.999f);
    GR_TPE_Draw_General(&entry, 0, 0, 8, 8, 0, 0, 1, 1, 0, 0x0000FF, 0x00FF00, 0xFF0000, 0x123456, 0.999f);
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 12u);
    EXPECT_EQ(v[0].colour, 0xFEFF0000u);  // top-left, 254.7 truncated
    EXPECT_EQ(v[1].colour, 0xFE00FF00u);
    EXPECT_EQ(v[2].colour, 0xFE0000FFu);
    EXPECT_EQ(v[4].colour, 0xFE563412u);
    EXPECT_EQ(v[6].colour, 0xFFFF0000u);  // rounded
}

TEST_F(TextureTableTest, TiledTextureStepsByWholePixelsAndRefusesTinyScales) {
    const int32_t id = FakeTexture(10, 10, 16, 16);
    ASSERT_TRUE(GR_Texture_Draw_Tiled(id, 0, 0, 3, 0, 1.07f, 1.07f, true, false, 0, 0, 40, 40, 0xFFFFFF, 1));
    GraphicsFlush();
    std::vector<float> columns;
    for (const CapturedBatch& b : s_batches) {
        ASSERT_EQ(b.kind, int32_t{D3DPT_TRIANGLEFAN});
        ASSERT_EQ(b.vertices.size(), 4u);
        columns.push_back(b.vertices[0].x);
        EXPECT_NEAR(b.vertices[1].x - b.vertices[0].x, 10.7f, 1e-5);
    }
    EXPECT_EQ(columns, (std::vector<float>{-7, 3, 13, 23, 33}));
    s_batches.clear();
    EXPECT_FALSE(GR_Texture_Draw_Tiled(id, 0, 0, 0, 0, 0.09f, 1, true, true, 0, 0, 40, 40, 0xFFFFFF, 1));
    EXPECT_TRUE(Flushed().empty());
}

TEST_F(TextureTableTest, TiledPageEntryCoversTheVisibleBoundsFromBeforeTheirStart) {
    const int32_t id = FakeTexture(64, 64, 64, 64);
    TexturePageEntry entry = Page(0, 0, 32, 32, 0, 0, 32, 32, 32, 32, int16_t(id));
    g_VisibleBounds = {0, 0, 480, 32};
    ASSERT_TRUE(GR_TPE_Draw_Tiled(&entry, 0, 0, 5, 0, 1, 1, true, false, 0, 0, 0, 0, 0xFFFFFF, 1));
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 17u * 6);
    EXPECT_EQ(v[1].x, -27);  // vertex 1 is the top-left corner
    EXPECT_EQ(v[6 + 1].x, 5);
    EXPECT_FALSE(GR_TPE_Draw_Tiled(&entry, 0, 0, 5, 0, 0.00005f, 1, true, false, 0, 0, 0, 0, 0xFFFFFF, 1));
}

TEST_F(TextureTableTest, ATiledRowTooLongForOneReservationIsWrittenWhole) {
    const int32_t id = FakeTexture(64, 64, 64, 64);
    TexturePageEntry entry = Page(0, 0, 1, 1, 0, 0, 1, 1, 1, 1, int16_t(id));
    g_VisibleBounds = {0, 0, 12000, 2};
    ASSERT_TRUE(GR_TPE_Draw_Tiled(&entry, 0, 0, 0, 0, 1, 1, true, true, 0, 0, 0, 0, 0xFFFFFF, 1));
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), size_t{12002} * 4 * 6);  // 12000 + 2 columns, 2 + 2 rows
    const TestVertex& lastTopLeft = v[v.size() - 5];
    EXPECT_EQ(lastTopLeft.x, 12000);
    EXPECT_EQ(lastTopLeft.y, 2);
}

TEST_F(TextureTableTest, UntiledPageEntryIsDrawnOnceWhereExtPutsIt) {
    const int32_t id = FakeTexture(64, 64, 64, 64);
    TexturePageEntry entry = Page(0, 0, 8, 8, 2, 2, 8, 8, 12, 12, int16_t(id));
    ASSERT_TRUE(GR_TPE_Draw_Tiled(&entry, 4, 4, 100, 100, 1, 1, false, false, 0, 0, 0, 0, 0xFFFFFF, 1));
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0].x, 98);
}

}  // namespace
