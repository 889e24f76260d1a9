// Drawing particle systems: the quads shape particles put in the batch, draw order, the end of
// a pass, blending, sprite frames, and real pixels of the built-in shapes on the GL device.
#include <cmath>

#include "ParticleTestSupport.h"
#include "SpriteDrawSupport.h"

namespace particletest {
namespace {

using spritetest::SpriteDrawFixture;

template <typename Base>
class ParticleDrawFixture : public SpriteDrawFixture<Base>, protected ParticleTables {
protected:
    void SetUp() override {
        SpriteDrawFixture<Base>::SetUp();
        StartParticles();
    }
    void TearDown() override {
        StopParticles();  // frees the shape textures before the texture module goes
        SpriteDrawFixture<Base>::TearDown();
    }
    // A system with one type of that shape and one particle of it at (x, y).
    int32_t OneParticle(int32_t shape, float x, float y, int32_t* type = nullptr) {
        const int32_t s = ParticleSystem_Create();
        const int32_t t = ParticleType_Create();
        ParticleType_Shape(t, shape);
        Particles_Create(s, x, y, t, 1);
        if (type) *type = t;
        return s;
    }
};

class ParticleDrawTest : public ParticleDrawFixture<TextureTest> {
protected:
    void SetUp() override {
        ParticleDrawFixture::SetUp();
        OpenInFrame();
        Particle_Init();
        g_VisibleBounds = {0, 0, 640, 480};
        g_VisibleBoundsDirty = false;
        s_batches.clear();
    }
};

TEST_F(ParticleDrawTest, AShapeParticleIsSixVerticesAroundItsTruncatedCentre) {
    int32_t t = -1;
    const int32_t s = OneParticle(2, 100.4f, 50, &t);
    ParticleSystem_Position(s, 10.5f, 20.7f);
    ParticleType_Size(t, 0.5f, 0.5f, 0, 0);
    ParticleType_Scale(t, 2, 1);
    Particles_Clear(s);
    Particles_CreateColour(s, 100.4f, 50, t, 0xFF0000, 1);
    ParticleSystem_Get(s)->particles[0]->alpha = 0.5f;
    g_DrawDepth = 7;
    ParticleSystem_Draw(s);
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(s_batches.back().texture, Particle_ShapeTexture(2));
    EXPECT_EQ(s_batches.back().kind, D3DPT_TRIANGLELIST);
    const float want[6][4] = {{78, 54, 0, 0},  {142, 54, 1, 0}, {142, 86, 1, 1},
                              {142, 86, 1, 1}, {78, 86, 0, 1},  {78, 54, 0, 0}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(v[i].x, want[i][0]) << i;
        EXPECT_EQ(v[i].y, want[i][1]) << i;
        EXPECT_EQ(v[i].u, want[i][2]) << i;
        EXPECT_EQ(v[i].v, want[i][3]) << i;
        EXPECT_EQ(v[i].z, 7.0f);
        EXPECT_EQ(v[i].colour, 0x7F0000FFu);
    }
}

TEST_F(ParticleDrawTest, AShapeTextureIsMadeAtItsFirstDraw) {
    Particle_Shutdown();  // the fixture's shape textures freed: none made yet
    int32_t t = -1;
    const int32_t s = OneParticle(5, 100, 50, &t);
    Particles_Clear(s);
    Particles_Create(s, 100, 50, t, 1);
    ParticleSystem_Draw(s);
    ASSERT_EQ(Flushed().size(), 6u);
    EXPECT_NE(s_batches.back().texture, nullptr);
    EXPECT_EQ(s_batches.back().texture, Particle_ShapeTexture(5));
}

TEST_F(ParticleDrawTest, TheDrawnAngleTurnsTheCornersCounterClockwise) {
    int32_t t = -1;
    const int32_t s = OneParticle(1, 200, 200, &t);
    ParticleType_Orientation(t, 0, 0, 0, 0, true);  // drawn along the motion
    ParticleSystem_Get(s)->particles[0]->direction = 90;
    ParticleSystem_Draw(s);
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 6u);
    // Top-left (-32, -32) turned a quarter: (cx - 32, cy + 32).
    EXPECT_NEAR(v[0].x, 168, 1e-3);
    EXPECT_NEAR(v[0].y, 232, 1e-3);
    EXPECT_NEAR(v[1].x, 168, 1e-3);  // top-right (32, -32) -> (cx - 32, cy - 32)
    EXPECT_NEAR(v[1].y, 168, 1e-3);
}

TEST_F(ParticleDrawTest, DrawOrderAndTheParticlesThatEndAPass) {
    const int32_t s = OneParticle(2, 10, 10);
    const int32_t t2 = ParticleType_Create();
    ParticleType_Shape(t2, 2);
    Particles_Create(s, 300, 10, t2, 1);
    ParticleSystem_Draw(s);
    std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 12u);
    EXPECT_LT(v[0].x, v[6].x);  // oldest first
    s_batches.clear();
    ParticleSystem_DrawOrder(s, false);
    ParticleSystem_Draw(s);
    v = Flushed();
    ASSERT_EQ(v.size(), 12u);
    EXPECT_GT(v[0].x, v[6].x);

    // A shape outside 0..13, or a life below 1, ends the pass; a missing type is only skipped.
    struct Case {
        const char* what;
        void (*spoil)(int32_t system, int32_t type);
        size_t drawn;
    } cases[] = {
        {"shape 14", [](int32_t, int32_t t) { ParticleType_Shape(t, 14); }, 0},
        {"life 0", [](int32_t s, int32_t) { ParticleSystem_Get(s)->particles[0]->life = 0; }, 0},
        {"no type", [](int32_t, int32_t t) { ParticleType_Destroy(t); }, 6},
    };
    for (const Case& c : cases) {
        ParticleSystem_DrawOrder(s, true);
        Particles_Clear(s);
        const int32_t t = ParticleType_Create();
        Particles_Create(s, 10, 10, t, 1);
        Particles_Create(s, 10, 10, t2, 1);
        c.spoil(s, t);
        s_batches.clear();
        ParticleSystem_Draw(s);
        EXPECT_EQ(Flushed().size(), c.drawn) << c.what;
    }
}

TEST_F(ParticleDrawTest, AdditiveParticlesSwitchBlendingAndThePassEndsNormal) {
    const int32_t s = OneParticle(2, 10, 10);
    const int32_t add = ParticleType_Create();
    ParticleType_Shape(add, 2);
    ParticleType_Blend(add, true);
    Particles_Create(s, 10, 10, add, 1);
    Particles_Create(s, 10, 10, add, 1);
    Particles_Create(s, 10, 10, 0, 1);
    ParticleSystem_Draw(s);
    GraphicsFlush();
    // normal, two additive in one call, normal again.
    ASSERT_EQ(s_batches.size(), 3u);
    EXPECT_EQ(s_batches[1].vertices.size(), 12u);
    EXPECT_EQ(GPUState_GetRenderState(&g_GPUState, GPU_RS_DESTBLEND), 6u);

    // A pass that stops early leaves normal blending too.
    Particles_Clear(s);
    Particles_Create(s, 10, 10, add, 1);
    ParticleSystem_Get(s)->particles[0]->life = 0;
    Particles_Create(s, 10, 10, add, 1);
    ParticleSystem_Draw(s);
    EXPECT_EQ(GPUState_GetRenderState(&g_GPUState, GPU_RS_DESTBLEND), 6u);
}

TEST_F(ParticleDrawTest, SpriteParticlesDrawTheFrameTheirAgeGives) {
    ASSERT_TRUE(
        Load(spritetest::StripFile(4, 4, {0xFF0000FFu, 0x00FF00FFu, 0x0000FFFFu, 0xFFFF00FFu}, 2, 2)));
    const int32_t s = ParticleSystem_Create();
    const int32_t t = ParticleType_Create();
    ParticleType_Life(t, 8, 8);
    struct Case {
        bool animate, stretch;
        int32_t age, frame;
    } cases[] = {{false, false, 3, 0},
                 {true, false, 3, 3},
                 {true, false, 5, 1},
                 {true, true, 6, 3},
                 {true, true, 2, 1}};
    for (const Case& c : cases) {
        ParticleType_Sprite(t, 0, c.animate, c.stretch, false);
        Particles_Clear(s);
        Particles_Create(s, 100, 100, t, 1);
        ParticleSystem_Get(s)->particles[0]->age = c.age;
        s_batches.clear();
        ParticleSystem_Draw(s);
        const std::vector<TestVertex> v = Flushed();
        ASSERT_EQ(v.size(), 6u);
        float left = v[0].u;
        for (const TestVertex& vertex : v) left = std::min(left, vertex.u);
        EXPECT_EQ(std::lround(left * 16 / 4), c.frame) << c.age;
    }
    // A sprite index that names no sprite draws the shape.
    ParticleType_Sprite(t, 9, true, false, false);
    s_batches.clear();
    ParticleSystem_Draw(s);
    Flushed();
    EXPECT_EQ(s_batches.back().texture, Particle_ShapeTexture(0));
}

// ---- on the GL device --------------------------------------------------------------------------

class GlParticleDrawTest : public ParticleDrawFixture<GlTextureTest> {};

TEST_F(GlParticleDrawTest, TheBuiltInShapesDrawTheirPixels) {
    Open(0, 64, 64);
    Particle_Init();
    struct Case {
        int32_t shape;
        int32_t lit[2], dark[2];
    } cases[] = {
        {2, {32 + 13, 32 + 13}, {32 + 17, 32}},  // square: corners of the inner square lit
        {1, {32 + 10, 32}, {32 + 13, 32 + 13}},  // disk: a corner outside the circle stays dark
        {0, {32, 32}, {32 + 4, 32}},             // pixel: only the middle
    };
    for (const Case& c : cases) {
        Particle_Shutdown();
        Particle_Init();
        int32_t t = -1;
        const int32_t s = OneParticle(c.shape, 32, 32, &t);
        ParticleType_Size(t, 0.5f, 0.5f, 0, 0);
        ParticleType_Colour1(t, 0x0000FF);
        Particles_Clear(s);
        Particles_Create(s, 32, 32, t, 1);
        ASSERT_TRUE(Start_Frame());
        GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
        ParticleSystem_Draw(s);
        ASSERT_TRUE(End_Frame(true));
        const std::vector<uint32_t> pixels = ReadBackBuffer(g_D3D.device);
        ASSERT_EQ(pixels.size(), 64u * 64u);
        EXPECT_EQ(pixels[32 * 64 + 32], 0xFFFF0000u) << c.shape;
        EXPECT_EQ(pixels[c.lit[1] * 64 + c.lit[0]] & 0x00FF0000u, 0x00FF0000u) << c.shape;
        EXPECT_EQ(pixels[c.dark[1] * 64 + c.dark[0]], 0xFF000000u) << c.shape;
        EXPECT_EQ(pixels[2 * 64 + 2], 0xFF000000u) << c.shape;
    }
}

}  // namespace
}  // namespace particletest
