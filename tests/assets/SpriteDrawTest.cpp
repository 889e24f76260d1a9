// Sprite drawing: frame choice, culling against the visible bounds, what each variant hands the
// quad routines, the drawing built-ins' checks and messages, and real pixels on the GL device.
#include <cmath>
#include <set>
#include <utility>

#include "SpriteDrawSupport.h"
#include "core/Instance.h"

namespace spritetest {
namespace {

constexpr uint32_t kColours[5] = {0xFF0000FFu, 0x00FF00FFu, 0x0000FFFFu, 0xFFFF00FFu, 0xFF00FFFFu};

class SpriteDrawTest : public SpriteDrawFixture<TextureTest> {
protected:
    void SetUp() override {
        SpriteDrawFixture::SetUp();
        OpenInFrame();
        // A 16 x 12 sprite with origin (0, 0) has radius 20.
        ASSERT_TRUE(Load(StripFile(16, 12, {kColours, kColours + 5}, 0, 0)));
        ASSERT_TRUE(Sprite_Exists(0));
        g_VisibleBounds = {100, 100, 500, 400};
        g_VisibleBoundsDirty = false;
        s_batches.clear();
    }

    static size_t VerticesDrawn() { return Flushed().size(); }
    // The frame the last quad came from: its left texture coordinate in frame widths.
    static int FrameOfLastQuad() {
        const std::vector<TestVertex> v = Flushed();
        if (v.empty()) return -100;
        float left = v.back().u;
        for (size_t i = v.size() - 6; i < v.size(); ++i) left = std::min(left, v[i].u);
        TextureRecord* page = s_batches.back().texture;
        return static_cast<int>(std::lround(left * GR_Texture_Width(page) / 16));
    }
    void Reset() { s_batches.clear(); }
};

TEST_F(SpriteDrawTest, FrameNumbersWrapIntoTheFrameCount) {
    CSprite* sprite = Sprite_Get(0);
    EXPECT_EQ(sprite->m_boundingRadius, 20);
    struct Case {
        int32_t frame, drawn;
    } cases[] = {{0, 0}, {4, 4}, {7, 2}, {-1, 4}, {-6, 4}, {10, 0}};
    for (const Case& c : cases) {
        Reset();
        sprite->Draw(c.frame, 200, 200);
        EXPECT_EQ(FrameOfLastQuad(), c.drawn) << "frame " << c.frame;
    }
}

TEST_F(SpriteDrawTest, TheBatchTakesSixVerticesOfTwentyFourBytesPerSprite) {
    RValue result = Call("draw_sprite", {R(0), R(0), R(200), R(200)});
    EXPECT_EQ(result.kind, VALUE_UNDEFINED);
    EXPECT_EQ(g_Batch.count, 6u);
    EXPECT_EQ(g_Batch.stride, 24u);
    EXPECT_EQ(g_Batch.kind, D3DPT_TRIANGLELIST);
}

TEST_F(SpriteDrawTest, RadiusCullingKeepsAnythingThatCanReachTheBounds) {
    CSprite* sprite = Sprite_Get(0);
    struct Case {
        float x, y;
        bool drawn;
    } cases[] = {{80, 200, true}, {79, 200, false}, {520, 200, true}, {521, 200, false},
                 {200, 80, true}, {200, 79, false}, {200, 420, true}, {200, 421, false}};
    for (const Case& c : cases) {
        Reset();
        sprite->Draw(0, c.x, c.y);
        EXPECT_EQ(VerticesDrawn(), c.drawn ? 6u : 0u) << c.x << "," << c.y;
    }
    // Extended draws cull by the radius times the larger scale on both axes.
    Reset();
    sprite->DrawExt(0, 200, 100 - 59, 3, 0.5f, 0, 0xFFFFFF, 1);
    EXPECT_EQ(VerticesDrawn(), 6u);
    Reset();
    sprite->DrawExt(0, 200, 100 - 61, 3, 0.5f, 0, 0xFFFFFF, 1);
    EXPECT_EQ(VerticesDrawn(), 0u);
    // The general draw scales each axis on its own.
    Reset();
    sprite->DrawGeneral(0, 0, 0, 16, 12, 200, 100 - 11, 3, 0.5f, 0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                        1);
    EXPECT_EQ(VerticesDrawn(), 0u);
}

TEST_F(SpriteDrawTest, ThreeDModeAndTheOrthographicBypassTurnCullingOff) {
    CSprite* sprite = Sprite_Get(0);
    g_3DMode = true;
    sprite->DrawExt(0, -1000, -1000, 1, 1, 0, 0xFFFFFF, 1);
    EXPECT_EQ(VerticesDrawn(), 6u);  // the extended draw never culls in 3-D
    Reset();
    sprite->Draw(0, -1000, -1000);
    EXPECT_EQ(VerticesDrawn(), 0u);  // the plain one still does
    g_3DMode = false;
    g_SpriteCullBypass = true;
    Reset();
    sprite->Draw(0, -1000, -1000);
    EXPECT_EQ(VerticesDrawn(), 6u);
    // In layer mode a perspective camera sees past the bounds: nothing is culled.
    g_SpriteCullBypass = false;
    g_GRHooks.layerMode = [] { return true; };
    g_TextureHooks.cameraIs2D = [] { return false; };
    Reset();
    sprite->Draw(0, -1000, -1000);
    EXPECT_EQ(VerticesDrawn(), 6u);
    g_TextureHooks.cameraIs2D = [] { return true; };
    Reset();
    sprite->Draw(0, -1000, -1000);
    EXPECT_EQ(VerticesDrawn(), 0u);
}

TEST_F(SpriteDrawTest, StretchedDrawsScaleToTheSizeAndIgnoreTheOrigin) {
    CSprite* sprite = Sprite_Get(0);
    sprite->m_originX = 5;
    sprite->DrawStretched(0, 200, 150, 32, 36, 0xFFFFFF, 1);
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 6u);
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (const TestVertex& p : v) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    EXPECT_FLOAT_EQ(minX, 200);
    EXPECT_FLOAT_EQ(maxX, 232);
    EXPECT_FLOAT_EQ(minY, 150);
    EXPECT_FLOAT_EQ(maxY, 186);
    Reset();
    sprite->DrawStretched(0, 200, 150, 0, 36, 0xFFFFFF, 1);
    sprite->DrawStretched(0, 200, 150, 10, -1, 0xFFFFFF, 1);
    EXPECT_EQ(VerticesDrawn(), 0u);
}

TEST_F(SpriteDrawTest, AFrameWithoutPageEntryLogsTheSpriteName) {
    CSprite* sprite = Sprite_Get(0);
    sprite->m_pageEntries[2] = nullptr;
    s_log.clear();
    sprite->Draw(2, 200, 200);
    sprite->DrawPart(2, 0, 0, 4, 4, 200, 200, 1, 1, 0xFFFFFF, 1);
    EXPECT_EQ(VerticesDrawn(), 0u);
    EXPECT_EQ(s_log,
              "Error attempting to draw sprite spr_strip\nError attempting to draw sprite spr_strip\n");
}

TEST(SpriteColour, GameColourAndAlphaBecomeADeviceColour) {
    struct Case {
        uint32_t colour;
        float alpha;
        uint32_t argb;
    } cases[] = {{0x0000FF, 1.0f, 0xFFFF0000u},   {0x0000FF, 1.5f, 0xFFFF0000u},
                 {0x0000FF, -0.2f, 0x00FF0000u},  {0x123456, 0.5f, 0x7F563412u},
                 {0xAB123456, 1.0f, 0xFF563412u}, {0xFFFFFF, 0.999f, 0xFEFFFFFFu}};
    for (const Case& c : cases) EXPECT_EQ(Colour_ToARGB(c.colour, c.alpha), c.argb) << std::hex << c.colour;
}

// ---- the built-ins -----------------------------------------------------------------------------

TEST_F(SpriteDrawTest, NegativeFramesTakeTheInstancesImageIndexRoundedDown) {
    CInstance self(0, 0, 100001, -1, false);
    struct Case {
        float imageIndex;
        int32_t frame, drawn;
    } cases[] = {{2.7f, -1, 2}, {-0.5f, -1, 4}, {3.0f, 7, 2}, {6.2f, -3, 1}};
    for (const Case& c : cases) {
        Reset();
        self.image_index = c.imageIndex;
        Call("draw_sprite", {R(0), R(c.frame), R(200), R(200)}, &self);
        EXPECT_EQ(FrameOfLastQuad(), c.drawn) << c.imageIndex << " / " << c.frame;
    }
    // The compiled game's entry truncates instead: -0.5 is frame 0.
    Reset();
    self.image_index = -0.5f;
    Direct_draw_sprite(&self, 0, -1, 200, 200);
    EXPECT_EQ(FrameOfLastQuad(), 0);
    Reset();
    Direct_draw_sprite(&self, 5, 0, 200, 200);  // no such sprite: nothing, and no report
    EXPECT_EQ(VerticesDrawn(), 0u);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(SpriteDrawTest, MissingSpritesAndUnsupportedKindsAreReported) {
    Call("draw_sprite", {R(1), R(0), R(200), R(200)});
    Call("draw_sprite_ext", {R(-1), R(0), R(200), R(200), R(1), R(1), R(0), R(0xFFFFFF), R(1)});
    Call("draw_sprite_pos", {R(9), R(0), R(0), R(0), R(1), R(0), R(1), R(1), R(0), R(1), R(1)});
    CInstance self(0, 0, 100001, -1, false);
    self.sprite_index = -1;
    Call("draw_self", {}, &self);
    EXPECT_EQ(Reports(), std::vector<std::string>(4, "Trying to draw non-existing sprite."));

    Reports().clear();
    Sprite_Get(0)->m_kind = SPRITE_VECTOR;
    Call("draw_sprite_part", {R(0), R(0), R(0), R(0), R(4), R(4), R(200), R(200)});
    Sprite_Get(0)->m_kind = SPRITE_SKELETON;
    Call("draw_sprite_general", {R(0), R(0), R(0), R(0), R(4), R(4), R(200), R(200), R(1), R(1), R(0), R(0),
                                 R(0), R(0), R(0), R(1)});
    Sprite_Get(0)->m_kind = SPRITE_BITMAP;
    EXPECT_EQ(Reports(),
              (std::vector<std::string>{"draw_sprite_part: not supported for vector sprites",
                                        "draw_sprite_general: not supported for skeleton based sprites"}));
    EXPECT_EQ(VerticesDrawn(), 0u);
}

TEST_F(SpriteDrawTest, DrawSelfUsesTheInstanceAndMarksItAsBeingDrawn) {
    CInstance self(300, 250, 100001, -1, false);
    self.sprite_index = 0;
    self.image_index = 3.9f;
    self.image_xscale = 2;
    self.image_blend = 0x0000FF;
    self.image_alpha = 0.5f;
    Call("draw_self", {}, &self);
    EXPECT_EQ(Draw_CurrentInstance, nullptr);
    EXPECT_EQ(FrameOfLastQuad(), 3);
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0].colour, 0x7FFF0000u);
    EXPECT_FLOAT_EQ(v[0].x, 300);
    EXPECT_FLOAT_EQ(v[1].x, 332);
}

TEST_F(SpriteDrawTest, PartStretchedAndPosRowsFillInWhiteAndTheDrawAlpha) {
    GR_Draw_Set_Alpha(0.5f);
    Call("draw_sprite_part", {R(0), R(1), R(2), R(2), R(4), R(4), R(200), R(200)});
    Call("draw_sprite_stretched", {R(0), R(1), R(200), R(200), R(8), R(8)});
    Call("draw_sprite_pos",
         {R(0), R(-1), R(200), R(200), R(210), R(200), R(210), R(210), R(200), R(210), R(1)});
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 18u);
    EXPECT_EQ(v[0].colour, 0x7FFFFFFFu);
    EXPECT_EQ(v[6].colour, 0x7FFFFFFFu);
    EXPECT_EQ(v[12].colour, 0xFFFFFFFFu);  // draw_sprite_pos takes its own alpha
    EXPECT_TRUE(Reports().empty());
}

// ---- on the GL device --------------------------------------------------------------------------

class GlSpriteDrawTest : public SpriteDrawFixture<GlTextureTest> {};

TEST_F(GlSpriteDrawTest, ARedSpriteWithOriginTwoTwoLightsExactlyItsSixteenPixels) {
    Open(0, 32, 32);
    ASSERT_TRUE(Load(StripFile(4, 4, {0xFF0000FFu}, 2, 2)));
    ASSERT_TRUE(Start_Frame());
    GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
    Call("draw_sprite", {R(0), R(0), R(10), R(10)});
    EXPECT_EQ(g_Batch.stride, 24u);
    ASSERT_TRUE(End_Frame(true));
    const std::vector<uint32_t> pixels = ReadBackBuffer(g_D3D.device);
    std::set<std::pair<int, int>> red, want;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const uint32_t p = pixels[y * 32 + x];
            if (p == 0xFFFF0000u)
                red.emplace(x, y);
            else
                EXPECT_EQ(p, 0xFF000000u) << x << "," << y;
        }
    }
    for (int y = 8; y <= 11; ++y)
        for (int x = 8; x <= 11; ++x) want.emplace(x, y);
    EXPECT_EQ(red, want);
    EXPECT_EQ(pixels[12 * 32 + 12], 0xFF000000u);
    EXPECT_TRUE(Reports().empty());
}

}  // namespace
}  // namespace spritetest
